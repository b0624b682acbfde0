// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "DataTestSupport.h"

namespace krt {
namespace {

using test::MemoryFile;
using test::ReadText;
using test::WriteText;

TEST(IntelHexRead, ByteWideAndWordWideByteOrder) {
    std::vector<uint8_t> bytes(0x100, 0xFF);
    DataFile f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    EXPECT_EQ(ReadText(f, ":0400100001020304E2\n"), FILE_OK);
    EXPECT_EQ((std::vector<uint8_t>(bytes.begin() + 0x10, bytes.begin() + 0x14)),
              (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(f.count, 0x14u);  // from the lowest address (the start, 0) to the highest byte

    std::vector<uint8_t> words(0x100, 0xFF);
    DataFile w = MemoryFile(words, FORMAT_INTEL_HEX, 2, 0x18);
    EXPECT_EQ(ReadText(w, ":0400100001020304E2\r\n:00000001FF\r\n"), FILE_OK);
    EXPECT_EQ((std::vector<uint8_t>(words.begin() + 0x10, words.begin() + 0x14)),
              (std::vector<uint8_t>{2, 1, 4, 3}));
    EXPECT_EQ(w.count, 0x14u / 2);
}

TEST(IntelHexRead, ChecksumErrorKeepsData) {
    std::vector<uint8_t> bytes(0x100, 0xFF);
    DataFile f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    EXPECT_EQ(ReadText(f, ":0400100001020304E3\n:01002000558A\n"), FILE_CHECKSUM_ERROR);
    EXPECT_EQ(bytes[0x10], 1);
    EXPECT_EQ(bytes[0x20], 0x55);  // reading went on
}

TEST(IntelHexRead, BaseRecords) {
    std::vector<uint8_t> bytes(0x30000, 0xFF);
    DataFile f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    // 02 moves the base to 0x10000.
    EXPECT_EQ(ReadText(f, ":020000021000EC\n:01000000AA55\n"), FILE_OK);
    EXPECT_EQ(bytes[0x10000], 0xAA);
    // 04 (extended linear address) is applied: base 0x20000.
    f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    EXPECT_EQ(ReadText(f, ":020000040002F8\n:01000500BB3F\n:0400000300001234B3\n:04000005000000CD2A\n:00000001FF\n"),
              FILE_OK);
    EXPECT_EQ(bytes[0x20005], 0xBB);
    // A corrupt base record is reported.
    f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    EXPECT_EQ(ReadText(f, ":020000040002F9\n"), FILE_CHECKSUM_ERROR);
}

TEST(IntelHexRead, StopsAtEndRecordAndIgnoresOtherLines) {
    std::vector<uint8_t> bytes(0x100, 0xFF);
    DataFile f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    EXPECT_EQ(ReadText(f, "comment\n\n:0100000011EE\n:00000001FF\n:0100010022DC\n"), FILE_OK);
    EXPECT_EQ(bytes[0], 0x11);
    EXPECT_EQ(bytes[1], 0xFF);
}

TEST(IntelHexRead, LastLineWithoutLineEndIsRead) {
    std::vector<uint8_t> bytes(0x100, 0xFF);
    DataFile f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    EXPECT_EQ(ReadText(f, ":0100000011EE\n:0100010022DC"), FILE_OK);
    EXPECT_EQ(bytes[0], 0x11);
    EXPECT_EQ(bytes[1], 0x22);
}

TEST(IntelHexRead, FormatErrors) {
    std::vector<uint8_t> bytes(0x100, 0xFF);
    DataFile f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    // A short line stops the read; lines before it are stored.
    EXPECT_EQ(ReadText(f, ":0100000011EE\n:010000\n:0100010022DC\n"), FILE_FORMAT_ERROR);
    EXPECT_EQ(bytes[0], 0x11);
    EXPECT_EQ(bytes[1], 0xFF);
    // A byte count reaching past the line is never read beyond it.
    f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    EXPECT_EQ(ReadText(f, ":10000000112233\n"), FILE_FORMAT_ERROR);
    EXPECT_EQ(bytes[0], 0x11);
    // Non-hexadecimal characters inside a record.
    f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    EXPECT_EQ(ReadText(f, ":01000000G1EE\n"), FILE_FORMAT_ERROR);
    EXPECT_EQ(bytes[0], 0x11);
}

TEST(IntelHexRead, BeyondBufferDropsOnlyThoseBytes) {
    // One guard byte past the buffer the reader is given: a byte stored at
    // bufsize shows in every build, not only under AddressSanitizer.
    std::vector<uint8_t> bytes(0x11, 0xFF);
    DataFile f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    f.bufsize = 0x10;
    EXPECT_EQ(ReadText(f, ":04000E0001020304E4\n"), FILE_BEYOND_BUFFER);
    EXPECT_EQ(bytes[0x0E], 1);
    EXPECT_EQ(bytes[0x0F], 2);
    EXPECT_EQ(bytes[0x10], 0xFF) << "stored beyond the buffer";
    bytes.pop_back();
    // Far away through a linear base: no wrap into the buffer.
    std::fill(bytes.begin(), bytes.end(), 0xFF);
    f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    EXPECT_EQ(ReadText(f, ":02000004FFFFFC\n:01FFFF0055AC\n"), FILE_BEYOND_BUFFER);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0xFF), 0x10);
    // A word-wide device: the last byte (address 0x0F, the high byte of the
    // last word) is stored in the buffer; a byte at 0x10 is beyond it.
    std::vector<uint8_t> words(0x10, 0xFF);
    f = MemoryFile(words, FORMAT_INTEL_HEX, 2, 0x18);
    EXPECT_EQ(ReadText(f, ":01000F0011DF\n"), FILE_OK);
    EXPECT_EQ(words[0x0E], 0x11);
    f = MemoryFile(words, FORMAT_INTEL_HEX, 2, 0x18);
    EXPECT_EQ(ReadText(f, ":0100100022CD\n"), FILE_BEYOND_BUFFER);
    EXPECT_EQ(std::count(words.begin(), words.end(), 0xFF), 0x0F);
}

TEST(IntelHexRead, LongLinesAreCutNotSplit) {
    std::vector<uint8_t> bytes(0x100, 0xFF);
    DataFile f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    // A 300-character comment whose tail looks like a record must not be
    // taken for one.
    std::string junk(270, 'x');
    std::string text = junk + ":0100000011EE\n:0100010022DC\n";
    EXPECT_EQ(ReadText(f, text), FILE_OK);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0x22);
    // A record line longer than 254 characters is seen as its first 254.
    std::string longRecord = ":7F000000" + std::string(254, '0') + "81\n";
    f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    EXPECT_EQ(ReadText(f, longRecord), FILE_FORMAT_ERROR);
}

TEST(IntelHexWrite, OneRecordAndEndOfFile) {
    std::vector<uint8_t> bytes(16);
    for (int i = 0; i < 16; ++i) bytes[i] = static_cast<uint8_t>(i);
    DataFile f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    EXPECT_EQ(WriteText(f), ":10000000000102030405060708090A0B0C0D0E0F78\n:00000001FF\n");
    EXPECT_EQ(f.count, 16u);
}

TEST(IntelHexWrite, ChecksumZeroIsTwoDigits) {
    std::vector<uint8_t> bytes = {0xFF};  // 01 + 00 + 00 + 00 + FF = 0x100
    DataFile f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    EXPECT_EQ(WriteText(f), ":01000000FF00\n:00000001FF\n");
}

TEST(IntelHexWrite, SegmentRecordsAndStart) {
    std::vector<uint8_t> bytes(0x20000, 0xFF);
    DataFile f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    std::string text = WriteText(f);
    EXPECT_EQ(text.find(":02000002"), text.find(":020000021000EC\n"));
    size_t at = text.find(":020000021000EC\n");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(text.substr(at + 16, 9), ":10000000");
    EXPECT_EQ(text.rfind(":1000000"), at + 16);  // only one line for address 0 after it
    EXPECT_EQ(text.find(":10FFF000"), at - 44);

    // From a start, the writer begins there.
    f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    f.start = 0x1FFF8;
    EXPECT_EQ(WriteText(f), ":020000021000EC\n:08FFF800FFFFFFFFFFFFFFFF09\n:00000001FF\n");
}

TEST(IntelHexWrite, WordWideLowByteFirst) {
    std::vector<uint8_t> words(4, 0xFF);
    words[0] = 0x12;
    words[1] = 0x34;
    DataFile f = MemoryFile(words, FORMAT_INTEL_HEX, 2, 0x18);
    EXPECT_EQ(WriteText(f), ":040000003412FFFFB8\n:00000001FF\n");
    EXPECT_EQ(f.count, 2u);

    // A buffer that ends inside a word: the missing byte is blank (FF),
    // never the one past the buffer (00 here).
    std::vector<uint8_t> cut = {0x12, 0x34, 0x56, 0x00};
    f = MemoryFile(cut, FORMAT_INTEL_HEX, 2, 0x18);
    f.bufsize = 3;
    EXPECT_EQ(WriteText(f), ":030000003412FFB8\n:00000001FF\n");
}

TEST(IntelHexWrite, BeyondOneMebibyteUsesLinearRecords) {
    std::vector<uint8_t> bytes(0x200000, 0xFF);
    bytes[0x1ABCDE] = 0x42;
    DataFile f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    std::string text = WriteText(f);
    EXPECT_EQ(text.find(":02000002"), std::string::npos);
    EXPECT_NE(text.find(":02000004001AE0\n"), std::string::npos);
    std::vector<uint8_t> back(bytes.size(), 0);
    DataFile r = MemoryFile(back, FORMAT_INTEL_HEX);
    EXPECT_EQ(ReadText(r, text), FILE_OK);
    EXPECT_EQ(back, bytes);
}

TEST(IntelHexWrite, RoundTripAnyBuffer) {
    for (uint32_t bpw : {1u, 2u}) {
        std::vector<uint8_t> bytes(0x12345 & ~1u);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
        DataFile f = MemoryFile(bytes, FORMAT_INTEL_HEX, bpw);
        std::string text = WriteText(f);
        std::vector<uint8_t> back(bytes.size(), 0);
        DataFile r = MemoryFile(back, FORMAT_INTEL_HEX, bpw);
        EXPECT_EQ(ReadText(r, text), FILE_OK);
        EXPECT_EQ(back, bytes) << bpw;
        EXPECT_EQ(r.count, bytes.size() / bpw);
    }
}

}  // namespace
}  // namespace krt
