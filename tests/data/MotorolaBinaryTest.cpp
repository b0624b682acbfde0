// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "DataTestSupport.h"

namespace krt {
namespace {

using test::MemoryFile;
using test::ReadText;
using test::WriteText;

TEST(MotorolaRead, AddressSizesAndNoByteExchange) {
    std::vector<uint8_t> bytes(0x20000, 0xFF);
    DataFile f = MemoryFile(bytes, FORMAT_MOTOROLA, 2, 0x18);
    EXPECT_EQ(ReadText(f,
                       "S00600004844521B\n"
                       "S10500101234A4\n"
                       "S20601002056780A\n"
                       "S307000180309ABCF1\n"
                       "S9030000FC\n"),
              FILE_OK);
    EXPECT_EQ(bytes[0x10], 0x12);
    EXPECT_EQ(bytes[0x11], 0x34);
    EXPECT_EQ(bytes[0x10020], 0x56);
    EXPECT_EQ(bytes[0x18030], 0x9A);
    EXPECT_EQ(bytes[0x18031], 0xBC);
    EXPECT_EQ(f.count, (0x18031u + 1) / 2);
}

TEST(MotorolaRead, ChecksumBeyondAndFormat) {
    std::vector<uint8_t> bytes(0x20, 0xFF);
    DataFile f = MemoryFile(bytes, FORMAT_MOTOROLA);
    EXPECT_EQ(ReadText(f, "S10500101234A5\nS104000155A5\n"), FILE_CHECKSUM_ERROR);
    EXPECT_EQ(bytes[0x10], 0x12);
    EXPECT_EQ(bytes[0x01], 0x55);  // reading went on

    // A guard byte past the buffer the reader is given: a byte stored at
    // bufsize shows without AddressSanitizer.
    std::vector<uint8_t> guarded(0x21, 0xFF);
    f = MemoryFile(guarded, FORMAT_MOTOROLA);
    f.bufsize = 0x20;
    EXPECT_EQ(ReadText(f, "S105001F123495\n"), FILE_BEYOND_BUFFER);
    EXPECT_EQ(guarded[0x1F], 0x12);
    EXPECT_EQ(guarded[0x20], 0xFF) << "stored beyond the buffer";

    // Byte counts reaching past the line, or smaller than the address.
    f = MemoryFile(bytes, FORMAT_MOTOROLA);
    EXPECT_EQ(ReadText(f, "S1FF0010\n"), FILE_FORMAT_ERROR);
    f = MemoryFile(bytes, FORMAT_MOTOROLA);
    EXPECT_EQ(ReadText(f, "S30200FD\n"), FILE_FORMAT_ERROR);
    // Headers and terminations are not data, whatever they hold.
    f = MemoryFile(bytes, FORMAT_MOTOROLA);
    EXPECT_EQ(ReadText(f, "S0xx\nS9\nS5FFFF\nSX12\n"), FILE_OK);
}

TEST(MotorolaWrite, S2RecordsAndS8Termination) {
    std::vector<uint8_t> words(4, 0xFF);
    words[0] = 0x12;
    words[1] = 0x34;
    DataFile f = MemoryFile(words, FORMAT_MOTOROLA, 2, 0x18);
    // High byte first, as in the buffer; count grows per byte.
    EXPECT_EQ(WriteText(f), "S00600004844521B\nS2080000001234FFFFB3\nS804000000FB\n");
    EXPECT_EQ(f.count, 4u);
}

TEST(MotorolaWrite, RoundTrip) {
    std::vector<uint8_t> bytes(0x30011);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i ^ (i >> 9));
    DataFile f = MemoryFile(bytes, FORMAT_MOTOROLA);
    std::string text = WriteText(f);
    EXPECT_EQ(text.substr(0, 27), "S00600004844521B\nS214000000");
    std::vector<uint8_t> back(bytes.size(), 0);
    DataFile r = MemoryFile(back, FORMAT_MOTOROLA);
    EXPECT_EQ(ReadText(r, text), FILE_OK);
    EXPECT_EQ(back, bytes);
}

TEST(BinaryRead, ShortFileAndCounts) {
    std::vector<uint8_t> bytes(0x8000, 0xFF);
    DataFile f = MemoryFile(bytes, FORMAT_BINARY);
    f.length = 0x8000;
    EXPECT_EQ(ReadText(f, std::string(100, 'A')), FILE_SHORT);
    EXPECT_EQ(f.count, 100u);
    EXPECT_EQ(bytes[99], 'A');
    EXPECT_EQ(bytes[100], 0xFF);

    f = MemoryFile(bytes, FORMAT_BINARY);
    f.length = 0x8000;
    EXPECT_EQ(ReadText(f, ""), FILE_FORMAT_ERROR);

    std::fill(bytes.begin(), bytes.end(), 0xFF);
    f = MemoryFile(bytes, FORMAT_BINARY);
    f.start = 0x10;
    f.length = 4;
    EXPECT_EQ(ReadText(f, "wxyzMORE"), FILE_OK);
    EXPECT_EQ(std::string(bytes.begin() + 0x10, bytes.begin() + 0x15), std::string("wxyz\xFF"));
}

TEST(BinaryRead, WordsAndRangeBeyondBuffer) {
    std::vector<uint8_t> words(8, 0);
    DataFile f = MemoryFile(words, FORMAT_BINARY, 2, 0x18);
    f.start = 1;
    f.length = 2;
    EXPECT_EQ(ReadText(f, "ABCDEF"), FILE_OK);
    EXPECT_EQ(std::string(words.begin() + 2, words.begin() + 6), "ABCD");
    EXPECT_EQ(f.count, 2u);

    // Range runs past the end: 6, and the part that fits is read (and
    // nothing lands on the guard word past the buffer).
    words.assign(10, 0);
    f = MemoryFile(words, FORMAT_BINARY, 2, 0x18);
    f.bufsize = 8;
    f.start = 3;
    f.length = 2;
    EXPECT_EQ(ReadText(f, "ABCDEFGH"), FILE_BEYOND_BUFFER);
    EXPECT_EQ(std::string(words.begin() + 6, words.begin() + 8), "AB");
    EXPECT_EQ(words[8] | words[9], 0) << "stored beyond the buffer";
    EXPECT_EQ(f.count, 1u);
    words.resize(8);

    // A byte-wide range one byte longer than the buffer.
    std::vector<uint8_t> bytes(9, 0);
    f = MemoryFile(bytes, FORMAT_BINARY);
    f.bufsize = 8;
    f.start = 4;
    f.length = 5;
    EXPECT_EQ(ReadText(f, "ABCDEFGH"), FILE_BEYOND_BUFFER);
    EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 8), "ABCD");
    EXPECT_EQ(bytes[8], 0) << "stored beyond the buffer";

    // Start far beyond the buffer: nothing touched, no wrap of start x 2.
    f = MemoryFile(words, FORMAT_BINARY, 2, 0x18);
    f.start = 0x80000000u;
    f.length = 0x80000000u;
    EXPECT_EQ(ReadText(f, "ABCDEFGH"), FILE_BEYOND_BUFFER);
}

TEST(BinaryRead, PldKeepsBitZero) {
    std::vector<uint8_t> fuses(8, 0);
    DataFile f = MemoryFile(fuses, FORMAT_BINARY, 1, 5);
    f.length = 8;
    EXPECT_EQ(ReadText(f, std::string("\x01\x02\x03\xFF\x10\x11\x00\x81", 8)), FILE_OK);
    EXPECT_EQ(fuses, (std::vector<uint8_t>{1, 0, 1, 1, 0, 1, 0, 1}));
}

TEST(BinaryWrite, RangeAndBeyond) {
    std::vector<uint8_t> words = {'a', 'b', 'c', 'd', 'e', 'f'};
    DataFile f = MemoryFile(words, FORMAT_BINARY, 2, 0x18);
    f.start = 1;
    f.length = 1;
    int result = -1;
    EXPECT_EQ(WriteText(f, &result), "cd");  // unchanged byte order
    EXPECT_EQ(result, FILE_OK);
    EXPECT_EQ(f.count, 1u);

    f = MemoryFile(words, FORMAT_BINARY, 2, 0x18);
    f.start = 2;
    f.length = 5;
    EXPECT_EQ(WriteText(f, &result), "ef");
    EXPECT_EQ(result, FILE_BEYOND_BUFFER);
    EXPECT_EQ(f.count, 1u);
}

TEST(FormatChoice, ByExtension) {
    EXPECT_EQ(FormatFromName("DATA.HEX"), FORMAT_INTEL_HEX);
    EXPECT_EQ(FormatFromName("a/b.hex"), FORMAT_INTEL_HEX);
    EXPECT_EQ(FormatFromName("x.hxl"), FORMAT_INTEL_SPLIT);
    EXPECT_EQ(FormatFromName("x.HXH"), FORMAT_INTEL_SPLIT);
    EXPECT_EQ(FormatFromName("x.Mot"), FORMAT_MOTOROLA);
    EXPECT_EQ(FormatFromName("gal.JED"), FORMAT_JEDEC);
    EXPECT_EQ(FormatFromName("DATA.BIN"), FORMAT_BINARY);
    EXPECT_EQ(FormatFromName("DATA"), FORMAT_BINARY);
    EXPECT_EQ(FormatFromName("dir.hex/DATA"), FORMAT_BINARY);
    EXPECT_EQ(FormatFromName("x.hex.bak"), FORMAT_BINARY);
}

TEST(FormatChoice, ByContentForStandardInput) {
    const struct {
        std::string head;
        uint32_t format;
    } cases[] = {
        {":10000000000102030405060708090A0B0C0D0E0F78\n", FORMAT_INTEL_HEX},
        {"\r\n  :00000001FF\r\n", FORMAT_INTEL_HEX},
        {"S00600004844521B\n", FORMAT_MOTOROLA},
        {"S9030000FC", FORMAT_MOTOROLA},
        {"\x02" "GAL16V8*\nQF2194*\n", FORMAT_JEDEC},
        {"made by a tool\nQF5892* QP24* F0*\nL00000 0101*\n", FORMAT_JEDEC},
        // Near misses are binary: a colon without a record, an S without digits, a star without a fuse count.
        {":hello", FORMAT_BINARY},
        {"Some text", FORMAT_BINARY},
        {"text* only", FORMAT_BINARY},
        {std::string("\x00\x01QF*\xFF", 6), FORMAT_BINARY},
        {"", FORMAT_BINARY},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatFromContent(c.head), c.format) << c.head;
    EXPECT_EQ(ChooseFormat("-", FORMAT_BY_NAME), FORMAT_BY_CONTENT);
    EXPECT_EQ(ChooseFormat("-", FORMAT_MOTOROLA), FORMAT_MOTOROLA);
    EXPECT_EQ(ChooseFormat("a.hex", FORMAT_BY_NAME), FORMAT_INTEL_HEX);
    EXPECT_EQ(ChooseFormat("a.hex", FORMAT_BINARY), FORMAT_BINARY);

    // Read from a stream with the format left to the content.
    std::vector<uint8_t> bytes(16, 0xFF);
    DataFile f = MemoryFile(bytes, FORMAT_BY_CONTENT);
    EXPECT_EQ(ReadText(f, "S1060000AABBCCC8\nS9030000FC\n"), FILE_OK);
    EXPECT_EQ(f.format, FORMAT_MOTOROLA);
    EXPECT_EQ(bytes[0], 0xAA);
    EXPECT_EQ(bytes[2], 0xCC);
}

TEST(FormatChoice, CodesOutsideTheTableAreRefused) {
    std::vector<uint8_t> bytes(16, 0);
    DataFile f = MemoryFile(bytes, 7);
    EXPECT_EQ(ReadText(f, ":0100000011EE\n"), FILE_FORMAT_ERROR);
    f = MemoryFile(bytes, 9);
    int result = -1;
    WriteText(f, &result);
    EXPECT_EQ(result, FILE_FORMAT_ERROR);
    // 4 and 5 go the way of 2 and 3.
    f = MemoryFile(bytes, 4);
    EXPECT_EQ(ReadText(f, ":0100000011EE\n"), FILE_OK);
    EXPECT_EQ(bytes[0], 0x11);
}

}  // namespace
}  // namespace krt
