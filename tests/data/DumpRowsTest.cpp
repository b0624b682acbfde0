// SPDX-License-Identifier: GPL-3.0-or-later
// The dump rows and the checksum figure where the window cannot reach:
// records that promise more than the buffer holds, odd sizes, 16-bit ranges.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/Hex.h"
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
    EXPECT_EQ(DumpFirstUnit(bytes, source, DumpPositionOf(bytes, source, 0x700)), 0x700u);

    const DumpLayout words = DumpSetup(source, true);
    DumpFill(source, words, DumpPositionOf(words, source, 0x2000), page);
    ASSERT_GE(rowOf("002000"), 0);
    EXPECT_EQ(rowOf("002100"), rowOf("002000") + 1);
    EXPECT_EQ(page.cells[static_cast<size_t>(rowOf("002100"))][1], "5A-A5");

    // Find passes over the bytes that have no rows, both ways.
    const std::vector<uint8_t> mark{0xA7, 0x7A};
    const auto put = [&buffer](uint32_t at) { buffer[at] = 0xA7, buffer[at + 1] = 0x7A; };
    put(0x1000);
    EXPECT_FALSE(DumpFind(source, mark, 0, true));
    EXPECT_FALSE(DumpFind(source, mark, 0x4000, false));
    put(0x7FE);  // the last program word
    put(0x4202);
    EXPECT_EQ(DumpFind(source, mark, 0, true), 0x7FEu);
    EXPECT_EQ(DumpFind(source, mark, 0x7FF, true), 0x4202u);
    EXPECT_EQ(DumpFind(source, mark, 0x4201, false), 0x7FEu);
    EXPECT_EQ(DumpFind(source, mark, 0x7FD, false), 0x4202u);  // round past the start
    buffer[0x7FE] = 0;  // a match that runs out of program memory does not count
    put(0x7FF);
    EXPECT_EQ(DumpFind(source, mark, 0, true), 0x4202u);

    // Any other device keeps every row.
    record.typecode = 0;
    const DumpSource plain = DumpSourceOf(record, buffer);
    DumpFill(plain, DumpSetup(plain, false), 0x401, page);
    EXPECT_EQ(page.cells[0][0], "004010");
}

// Every view shows the rows of the device and nothing else: the first and
// the last row, how many there are, no row outside the device's memories
// on any page, no blank row, and which bytes the edits may touch.
TEST(DumpRows, RowsLieInsideTheDevice) {
    struct Case {
        const char* device;
        uint8_t typecode;
        uint32_t maxsize, bufsize, bytesPerWord, wordsize, line;
        bool asWords;
        const char* first;
        const char* last;
        uint32_t rows;
        std::vector<uint32_t> inside, outside;  // bytes an edit may touch, ones it may not (PICs only)
    } cases[] = {
        {"PIC16F84A bytes", 4, 0x400, 0x4280, 2, 1, 0, false, "000000", "004270", 0x80 + 1 + 8, {0x7FF}, {0x800}},
        {"PIC16F84A words", 4, 0x400, 0x4280, 2, 1, 0, true, "000000", "002138", 0x80 + 1 + 8, {0x400F, 0x427F},
         {0x4010, 0x4280}},
        // A PIC of 200h words: its program rows end at 3F8h (words), 7F0h (bytes).
        {"PIC 200h words", 4, 0x200, 0x4280, 2, 1, 0, false, "000000", "004270", 0x40 + 1 + 8, {0x3FF}, {0x400}},
        {"27C1024 words", 0, 0x10000, 0x20000, 2, 1, 0, true, "000000", "00FFF8", 0x2000, {0x1FFFF}, {}},
        {"27C1024 bytes", 0, 0x10000, 0x20000, 2, 1, 0, false, "000000", "01FFF0", 0x2000, {0x1FFFF}, {}},
        {"27C256", 0, 0x8000, 0x8000, 1, 0, 0, false, "000000", "007FF0", 0x800, {0x7FFF}, {}},
        {"24C01 (less than a page)", 0, 0x80, 0x80, 1, 0, 0, false, "000000", "000070", 8, {0x7F}, {}},
        {"GAL16V8 fuses", 6, 2194, 2194, 1, 0, 44, false, "0", "2156", 50, {0}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        DeviceRecord record;
        record.typecode = c.typecode;
        record.maxsize = c.maxsize;
        record.bufsize = c.bufsize;
        record.bytesPerWord = static_cast<uint8_t>(c.bytesPerWord);
        record.wordsize = static_cast<uint8_t>(c.wordsize);
        record.LineNumber = static_cast<int32_t>(c.line);
        DataBuffer buffer;
        ASSERT_TRUE(buffer.Allocate(c.bufsize));
        const DumpSource source = DumpSourceOf(record, buffer);
        const DumpLayout layout = DumpSetup(source, c.asWords);
        EXPECT_EQ(DumpRowCount(layout, source), c.rows);
        DumpPage page;
        DumpFill(source, layout, 0, page);
        EXPECT_EQ(page.cells[0][0], c.first);
        DumpFill(source, layout, layout.scrollMaximum, page);
        const size_t shown = std::min<size_t>(c.rows, kDumpRows);
        EXPECT_EQ(page.cells[shown - 1][0], c.last);
        for (size_t r = shown; r < kDumpRows; ++r) EXPECT_EQ(page.cells[r][0], "") << r;
        // Every page: each row labelled, in the device, in address order.
        const bool fuses = c.typecode == 6;
        const uint32_t perUnit = c.asWords ? 2 : 1;
        int64_t previous = -1;
        for (uint32_t start = 0; start < c.rows; start += kDumpRows) {
            const uint32_t position = std::min(start, layout.scrollMaximum);
            DumpFill(source, layout, position, page);
            for (uint32_t r = start - position; r < kDumpRows && position + r < c.rows; ++r) {
                const std::string& label = page.cells[r][0];
                ASSERT_FALSE(label.empty()) << position + r;
                const uint32_t unit = fuses ? static_cast<uint32_t>(std::stoul(label)) : ParseHex(label);
                EXPECT_GT(int64_t{unit}, previous);
                previous = unit;
                if (fuses) continue;
                const uint32_t byte = unit * perUnit;
                EXPECT_LT(byte, c.bufsize) << label;
                // A PIC's rows start in program memory, at the ID/configuration words or in the data EEPROM.
                if (c.typecode == 4) {
                    EXPECT_TRUE(byte < c.maxsize * 2 || byte == 0x4000 || (byte >= 0x4200 && byte < 0x4280)) << label;
                }
                EXPECT_TRUE(DumpBytesInRows(source, byte, 16)) << label;
            }
        }
        for (uint32_t byte : c.inside) EXPECT_TRUE(DumpBytesInRows(source, byte, 1)) << byte;
        for (uint32_t byte : c.outside) EXPECT_FALSE(DumpBytesInRows(source, byte, 1)) << byte;
        if (c.typecode == 4) {
            EXPECT_FALSE(DumpBytesInRows(source, c.maxsize * 2 - 0x10, 0x20));  // across the gap
        }
    }
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
        {0x10000, true, true, 0, 0, 0x1FF0},       // words, 8 a row, a row a step
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
