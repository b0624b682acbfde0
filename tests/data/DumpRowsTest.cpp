// SPDX-License-Identifier: GPL-3.0-or-later
// The dump rows and the checksum figure where the window cannot reach:
// records that promise more than the buffer holds, odd sizes, 16-bit ranges.
#include <gtest/gtest.h>

#include "catalogue/DeviceRecord.h"
#include "data/BufferChecksum.h"
#include "data/DataBuffer.h"
#include "data/DumpRows.h"

namespace krt {
namespace {

TEST(DumpRows, NothingBeyondTheBufferIsRead) {
    DeviceRecord record;
    record.bufsize = record.maxsize = 0x100;  // the record says 256 bytes...
    DataBuffer buffer;
    ASSERT_TRUE(buffer.Allocate(0x18));  // ...but only 24 exist
    for (uint32_t i = 0; i < 0x18; ++i) buffer[i] = static_cast<uint8_t>(i);
    const DumpSource source = DumpSourceOf(record, buffer);
    const DumpLayout layout = DumpSetup(source, false);
    EXPECT_EQ(layout.units, 0x100u);
    DumpPage page;
    DumpFill(source, layout, 0, page);
    EXPECT_EQ(page.cells[1][8], "17");
    EXPECT_EQ(page.cells[1][9], "");
    EXPECT_EQ(page.cells[1][17], "........   ........");
    SwapWordBytes(buffer.data(), 0x17, 0x80);  // an odd size: the last byte stays
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[0x15], 0x14);
    EXPECT_EQ(buffer[0x16], 0x16);
}

// A PIC16F84's record (1K words, configuration and data EEPROM) and its buffer.
DeviceRecord Pic16F84(DataBuffer& buffer) {
    DeviceRecord record;
    record.typecode = 4;
    record.maxsize = 0x400;
    record.bufsize = 0x4280;
    record.bytesPerWord = 2;
    record.wordsize = 1;
    EXPECT_TRUE(buffer.Allocate(0x4280));
    return record;
}

// A PIC's data-EEPROM rows follow its configuration words: the bytes
// between them stand for nothing and get no rows, in either view.
TEST(DumpRows, PicEepromRowsFollowTheConfigurationWords) {
    DataBuffer buffer;
    DeviceRecord record = Pic16F84(buffer);
    buffer[0x4200] = 0x5A;
    buffer[0x4201] = 0xA5;
    const DumpSource source = DumpSourceOf(record, buffer);
    DumpPage page;

    // The row of a label on the page, or -1.
    auto rowOf = [&page](const std::string& label) {
        for (size_t row = 0; row < page.cells.size(); ++row)
            if (page.cells[row][0] == label) return static_cast<int>(row);
        return -1;
    };
    const DumpLayout bytes = DumpSetup(source, false);
    // The last page ends with the EEPROM's last row, the gap's rows left out.
    DumpFill(source, bytes, bytes.scrollMaximum, page);
    EXPECT_EQ(page.cells[kDumpRows - 1][0], "004270");
    const uint32_t at = DumpPositionOf(bytes, source, 0x4000);
    DumpFill(source, bytes, at, page);
    ASSERT_GE(rowOf("004000"), 0);
    EXPECT_EQ(rowOf("004200"), rowOf("004000") + 1);
    EXPECT_EQ(page.cells[static_cast<size_t>(rowOf("004200"))][1], "5A");
    EXPECT_EQ(rowOf("004100"), -1);
    // An address typed in the gap shows the EEPROM.
    DumpFill(source, bytes, DumpPositionOf(bytes, source, 0x4100), page);
    EXPECT_GE(rowOf("004200"), 0);
    // Below the gap nothing moves.
    EXPECT_EQ(DumpFirstUnit(bytes, source, DumpPositionOf(bytes, source, 0x1000)), 0x1000u);

    const DumpLayout words = DumpSetup(source, true);
    DumpFill(source, words, DumpPositionOf(words, source, 0x2000), page);
    ASSERT_GE(rowOf("002000"), 0);
    EXPECT_EQ(rowOf("002100"), rowOf("002000") + 1);
    EXPECT_EQ(page.cells[static_cast<size_t>(rowOf("002100"))][1], "5A-A5");

    // Any other device keeps every row.
    record.typecode = 0;
    const DumpSource plain = DumpSourceOf(record, buffer);
    DumpFill(plain, DumpSetup(plain, false), 0x401, page);
    EXPECT_EQ(page.cells[0][0], "004010");
}

TEST(DumpRows, CharactersOfTheTextColumn) {
    EXPECT_STREQ(DumpCharacter('A'), "A");
    EXPECT_STREQ(DumpCharacter(0x0A), ".");
    EXPECT_STREQ(DumpCharacter(0x7F), ".");
    EXPECT_STREQ(DumpCharacter(0xA1), "｡");
    EXPECT_STREQ(DumpCharacter(0xDF), "ﾟ");
    EXPECT_STREQ(DumpCharacter(0xFF), ".");
}

TEST(BufferChecksum, SixteenBitRangeIsInWords) {
    DeviceRecord record;
    record.maxsize = 4;
    record.bufsize = 8;
    record.bytesPerWord = 2;
    DataBuffer buffer;
    ASSERT_TRUE(buffer.Allocate(8));
    for (uint32_t i = 0; i < 8; ++i) buffer[i] = static_cast<uint8_t>(0x10 + i);
    OperationRange range;
    range.Reset(4);
    EXPECT_EQ(BufferChecksum(record, buffer, range), 0x10 * 8 + 28);
    range.start = "000001";
    range.length = "000002";
    EXPECT_EQ(BufferChecksum(record, buffer, range), 0x12 + 0x13 + 0x14 + 0x15);
    range.length = "FFFFFF";  // cut at the buffer's end
    EXPECT_EQ(BufferChecksum(record, buffer, range), 0x12 + 0x13 + 0x14 + 0x15 + 0x16 + 0x17);
    EXPECT_EQ(ChecksumText(record, buffer, range), "007B");
    DataBuffer none;
    EXPECT_EQ(ChecksumText(record, none, range), "");
    EXPECT_EQ(ChecksumLine(0x1A2B, 1), "CheckSum: 1A2B");
    EXPECT_EQ(ChecksumLine(0x1A2B, 0), "チェックサム: 1A2B");
}

TEST(BufferChecksum, PicSumTakesInTheConfigurationWordAndSaysSo) {
    DataBuffer buffer;
    DeviceRecord record = Pic16F84(buffer);
    FillBlank(buffer.data(), 0x4280, 4);
    OperationRange range;
    range.Reset(0x400);
    const uint16_t open = BufferChecksum(record, buffer, range);
    buffer[0x400F] = 0x0F;  // 3F0Fh: code protection on
    const uint16_t protectedSum = BufferChecksum(record, buffer, range);
    EXPECT_EQ(static_cast<uint16_t>(open - protectedSum), 0xFF - 0x0F);
    // The data EEPROM (64 blank bytes of FF) is in the sum too, marked +EE.
    EXPECT_EQ(protectedSum, static_cast<uint16_t>(0x400 * (0x3F + 0xFF) + 0x3F + 0x0F + 64 * 0xFF));
    EXPECT_EQ(ChecksumText(record, buffer, range), "380E +CFG +EE");
    EXPECT_EQ(ChecksumLine(protectedSum, 1, ChecksumMarks(record, buffer)), "CheckSum: 380E +CFG +EE");
    // Two images that differ only in their data EEPROM do not sum alike.
    buffer[0x4201] = 0x00;
    EXPECT_EQ(static_cast<uint16_t>(protectedSum - BufferChecksum(record, buffer, range)), 0xFF);
    buffer[0x4201] = 0xFF;
    // A buffer that ends before the configuration words has none to add.
    record.bufsize = 0x800;
    EXPECT_FALSE(SumHasConfigWord(record, buffer));
    EXPECT_EQ(ChecksumText(record, buffer, range), "F800");
}

TEST(DumpRows, ScrollEndsWithTheLastUnitOnTheLastRow) {
    struct Case {
        uint32_t words;
        bool wordsize, asWords;
        uint8_t typecode;
        uint16_t line;
        uint32_t maximum;
    } cases[] = {
        {0x100, false, false, 0, 0, 0},            // one page: no scrolling
        {0x10, false, false, 0, 0, 0},             // less than a page
        {0x101, false, false, 0, 0, 1},            // one byte more: one step
        {0x8000, false, false, 0, 0, 0x7F0},
        {0x10000, true, true, 0, 0, 0xFF8},        // words, 8 a row, 16 a step
        {0x10000, true, false, 0, 0, 0x1FF0},      // the same device's bytes
        {2194, false, false, 6, 44, 34},           // fuses: ceil(2194 / 44) - 16 rows
        {0, false, false, 6, 0, 0},                // no line length, no fuses
    };
    for (const Case& c : cases) {
        DumpSource s;
        s.words = c.words;
        s.wordsize = c.wordsize;
        s.typecode = c.typecode;
        s.lineLength = c.line;
        const DumpLayout l = DumpSetup(s, c.asWords);
        EXPECT_EQ(l.scrollMaximum, c.maximum) << c.words << " " << c.asWords;
        // The last unit lies on the last position's page.
        if (c.words == 0) continue;
        const uint32_t first = DumpFirstUnit(l, s, l.scrollMaximum);
        const uint32_t perPage = c.typecode ? 16u * c.line : (c.asWords ? 128u : 256u);
        EXPECT_LT(l.units - 1 - first, perPage) << c.words;
        EXPECT_LE(first, l.units - 1) << c.words;
    }
}

TEST(DumpRows, JumpReadsTheRowLabelsOfTheView) {
    DumpSource s;
    s.words = 2194;
    s.typecode = 6;
    s.lineLength = 44;
    const DumpLayout fuses = DumpSetup(s, false);
    EXPECT_EQ(DumpJumpPosition(fuses, s, "88"), 2u);    // decimal, as the labels
    EXPECT_EQ(DumpJumpPosition(fuses, s, "131"), 2u);   // inside the row of 88
    EXPECT_EQ(DumpJumpPosition(fuses, s, "99999"), fuses.scrollMaximum);
    EXPECT_EQ(DumpJumpPosition(fuses, s, "x"), 0u);
    s = DumpSource{};
    s.words = 0x8000;
    const DumpLayout bytes = DumpSetup(s, false);
    EXPECT_EQ(DumpJumpPosition(bytes, s, "1234"), 0x123u);
    EXPECT_EQ(DumpJumpPosition(bytes, s, "FFFFFF"), bytes.scrollMaximum);
}

TEST(DumpRows, FindPatterns) {
    using Bytes = std::vector<uint8_t>;
    EXPECT_EQ(DumpFindPattern("DE AD", DumpKind::Bytes), (Bytes{0xDE, 0xAD}));
    EXPECT_EQ(DumpFindPattern(" dead ", DumpKind::Bytes), (Bytes{0xDE, 0xAD}));
    EXPECT_EQ(DumpFindPattern("0A", DumpKind::Words), (Bytes{0x0A}));
    EXPECT_EQ(DumpFindPattern("ADD", DumpKind::Bytes), (Bytes{'A', 'D', 'D'}));  // odd digits: text
    EXPECT_EQ(DumpFindPattern("\"AB\"", DumpKind::Bytes), (Bytes{'A', 'B'}));
    EXPECT_EQ(DumpFindPattern("ｱ1", DumpKind::Bytes), (Bytes{0xB1, '1'}));
    EXPECT_EQ(DumpFindPattern("0110 1", DumpKind::Fuses), (Bytes{0, 1, 1, 0, 1}));
    EXPECT_FALSE(DumpFindPattern("012", DumpKind::Fuses));
    EXPECT_FALSE(DumpFindPattern("", DumpKind::Bytes));
    EXPECT_FALSE(DumpFindPattern("\"\"", DumpKind::Bytes));
    EXPECT_FALSE(DumpFindPattern("é", DumpKind::Bytes));
}

TEST(DumpRows, FindWrapsAndNeverReadsPastTheBuffer) {
    uint8_t data[8] = {1, 2, 3, 1, 2, 9, 1, 2};
    DumpSource s;
    s.buffer = data;
    s.size = 8;
    const std::vector<uint8_t> p{1, 2};
    EXPECT_EQ(DumpFind(s, p, 0, true), 0u);
    EXPECT_EQ(DumpFind(s, p, 1, true), 3u);
    EXPECT_EQ(DumpFind(s, p, 7, true), 0u);  // 7 alone is no match: round to 0
    EXPECT_EQ(DumpFind(s, p, 6, true), 6u);  // the last two bytes
    EXPECT_EQ(DumpFind(s, p, 5, false), 3u);
    EXPECT_EQ(DumpFind(s, p, 3, false), 3u);
    EXPECT_EQ(DumpFind(s, p, 99, false), 6u);
    s.size = 7;  // the last byte is not there
    EXPECT_EQ(DumpFind(s, p, 4, true), 0u);
    EXPECT_FALSE(DumpFind(s, std::vector<uint8_t>(9, 1), 0, true));
    EXPECT_FALSE(DumpFind(s, {9, 9}, 0, false));
    s.buffer = nullptr;
    EXPECT_FALSE(DumpFind(s, p, 0, true));
}

TEST(BufferChecksum, GalIsTheFuseChecksumOfTheWholeMap) {
    DeviceRecord record;
    record.typecode = 5;
    record.bufsize = record.maxsize = 16;
    DataBuffer buffer;
    ASSERT_TRUE(buffer.Allocate(16));
    for (uint32_t i = 0; i < 16; ++i) buffer[i] = 0;
    buffer[0] = 1;   // bit 0 of the first byte
    buffer[9] = 1;   // bit 1 of the second
    OperationRange range;
    range.start = "000004";
    range.length = "000001";  // the range does not matter
    EXPECT_EQ(BufferChecksum(record, buffer, range), 1 + 2);
}

}  // namespace
}  // namespace krt
