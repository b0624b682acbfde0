// SPDX-License-Identifier: GPL-3.0-or-later
// The dump window's edits of the buffer: each undoes and redoes, marks the
// bytes it changed, and a refused one says why and leaves the buffer as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/BufferEdits.h"
#include "data/DataBuffer.h"

namespace krt {
namespace {

class Edits : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(buffer.Allocate(0x100));
        for (uint32_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i);
        edits.Reset(buffer);
    }
    std::vector<uint8_t> Bytes() const { return {buffer.data(), buffer.data() + buffer.size()}; }

    DataBuffer buffer;
    BufferEdits edits;
    std::string error;
};

TEST_F(Edits, EveryEditUndoesAndRedoesInOrder) {
    const std::vector<uint8_t> loaded = Bytes();
    ASSERT_TRUE(edits.Write(buffer, 0x10, {0xAA}, error, 1));
    ASSERT_TRUE(edits.Fill(buffer, 0x20, 5, {0xDE, 0xAD}, false, error, 1));
    ASSERT_TRUE(edits.Copy(buffer, 0x00, 4, 0x02, error, 1));  // overlapping
    ASSERT_TRUE(edits.Swap(buffer, 0x40, 4, 2, error, 1));
    uint32_t replaced = 0;
    ASSERT_TRUE(edits.Replace(buffer, 0, 0x100, {0xDE, 0xAD}, {0xBE, 0xEF}, replaced, error, 1));
    EXPECT_EQ(replaced, 2u);  // DE AD DE AD DE: twice

    EXPECT_EQ(buffer[0x10], 0xAA);
    EXPECT_EQ((std::vector<uint8_t>{buffer[0x20], buffer[0x21], buffer[0x22], buffer[0x23], buffer[0x24]}),
              (std::vector<uint8_t>{0xBE, 0xEF, 0xBE, 0xEF, 0xDE}));
    EXPECT_EQ((std::vector<uint8_t>{buffer[0], buffer[1], buffer[2], buffer[3], buffer[4], buffer[5]}),
              (std::vector<uint8_t>{0, 1, 0, 1, 2, 3}));
    EXPECT_EQ((std::vector<uint8_t>{buffer[0x40], buffer[0x41], buffer[0x42], buffer[0x43]}),
              (std::vector<uint8_t>{0x41, 0x40, 0x43, 0x42}));
    const std::vector<uint8_t> edited = Bytes();

    while (edits.CanUndo()) ASSERT_TRUE(edits.Undo(buffer));
    EXPECT_EQ(Bytes(), loaded);
    EXPECT_FALSE(edits.Changed(buffer, 0x10));
    while (edits.CanRedo()) ASSERT_TRUE(edits.Redo(buffer));
    EXPECT_EQ(Bytes(), edited);
    EXPECT_TRUE(edits.Changed(buffer, 0x10));
    EXPECT_FALSE(edits.Changed(buffer, 0x11));
}

TEST_F(Edits, TwoDigitsOfOneCellAreOneStep) {
    ASSERT_TRUE(edits.Write(buffer, 5, {0xA5}, error, 1));
    ASSERT_TRUE(edits.Write(buffer, 5, {0xAB}, error, 1, true));
    EXPECT_EQ(buffer[5], 0xAB);
    ASSERT_TRUE(edits.Undo(buffer));
    EXPECT_EQ(buffer[5], 0x05);
    EXPECT_FALSE(edits.CanUndo());
}

TEST_F(Edits, UnsavedUntilSavedAndAgainAfterAnUndo) {
    EXPECT_FALSE(edits.Unsaved());
    ASSERT_TRUE(edits.Write(buffer, 1, {0}, error, 1));
    EXPECT_TRUE(edits.Unsaved());
    edits.MarkSaved();
    EXPECT_FALSE(edits.Unsaved());
    ASSERT_TRUE(edits.Undo(buffer));
    EXPECT_TRUE(edits.Unsaved());
    ASSERT_TRUE(edits.Redo(buffer));
    EXPECT_FALSE(edits.Unsaved());
    edits.Reset(buffer);
    EXPECT_FALSE(edits.Unsaved());
    EXPECT_FALSE(edits.Changed(buffer, 1));
}

// Where a mistake would hide: a match that ends at the range's end, bytes
// a replacement made that match again, a pattern that starts at an odd
// address, a replace that finds nothing (no step to undo), a new edit after
// an undo (nothing left to redo), a digit typed after a save (a step of its
// own, so the saved state stays reachable).
TEST_F(Edits, EditsAtTheirEdges) {
    uint32_t replaced = 0;
    ASSERT_TRUE(edits.Write(buffer, 0x30, {0x11, 0x11, 0x11}, error, 1));
    ASSERT_TRUE(edits.Replace(buffer, 0x30, 3, {0x11, 0x11}, {0x22, 0x11}, replaced, error, 1));
    EXPECT_EQ(replaced, 1u);
    EXPECT_EQ((std::vector<uint8_t>{buffer[0x30], buffer[0x31], buffer[0x32]}),
              (std::vector<uint8_t>{0x22, 0x11, 0x11}));
    ASSERT_TRUE(edits.Replace(buffer, 0x50, 4, {0x52, 0x53}, {0, 0}, replaced, error, 1));
    EXPECT_EQ(replaced, 1u);
    EXPECT_EQ(buffer[0x53], 0);
    ASSERT_TRUE(edits.Fill(buffer, 0x61, 3, {0xA1, 0xB2}, false, error, 1));
    EXPECT_EQ((std::vector<uint8_t>{buffer[0x61], buffer[0x62], buffer[0x63]}),
              (std::vector<uint8_t>{0xA1, 0xB2, 0xA1}));

    edits.Reset(buffer);
    ASSERT_TRUE(edits.Replace(buffer, 0, 0x100, {0xEE, 0xEE}, {0, 0}, replaced, error, 1));
    EXPECT_EQ(replaced, 0u);
    EXPECT_FALSE(edits.CanUndo());
    ASSERT_TRUE(edits.Write(buffer, 1, {0xA0}, error, 1));
    ASSERT_TRUE(edits.Undo(buffer));
    ASSERT_TRUE(edits.Write(buffer, 2, {0xB0}, error, 1));
    EXPECT_FALSE(edits.CanRedo());

    edits.Reset(buffer);
    ASSERT_TRUE(edits.Write(buffer, 5, {0xA5}, error, 1));
    edits.MarkSaved();
    ASSERT_TRUE(edits.Write(buffer, 5, {0xAB}, error, 1, true));
    EXPECT_TRUE(edits.Unsaved());
    ASSERT_TRUE(edits.Undo(buffer));
    EXPECT_EQ(buffer[5], 0xA5);
    EXPECT_FALSE(edits.Unsaved());
}

TEST_F(Edits, RefusedEditsSayWhyAndChangeNothing) {
    const std::vector<uint8_t> loaded = Bytes();
    EXPECT_FALSE(edits.Write(buffer, 0xFF, {1, 2}, error, 1));
    EXPECT_EQ(error, "2 bytes from 0000FF reach beyond the buffer (100 bytes); nothing was changed");
    EXPECT_FALSE(edits.Fill(buffer, 0, 0x10, {1, 2, 3}, true, error, 1));
    EXPECT_EQ(error, "on a 16-bit device the pattern must have an even number of bytes (it had 3); nothing was changed");
    EXPECT_FALSE(edits.Fill(buffer, 0, 0x10, {1, 2, 3}, true, error, 0));
    EXPECT_NE(error.find("16ビットのデバイスでは"), std::string::npos);
    EXPECT_FALSE(edits.Copy(buffer, 0, 0x10, 0xF8, error, 1));
    EXPECT_FALSE(edits.Swap(buffer, 0, 3, 2, error, 1));
    uint32_t replaced = 0;
    EXPECT_FALSE(edits.Replace(buffer, 0, 0x100, {1, 2}, {3}, replaced, error, 1));
    EXPECT_EQ(Bytes(), loaded);
    EXPECT_FALSE(edits.CanUndo());
    EXPECT_FALSE(edits.Unsaved());
}

}  // namespace
}  // namespace krt
