// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "DataTestSupport.h"

namespace krt {
namespace {

using test::LogLines;
using test::MemoryFile;
using test::ReadText;
using test::WriteText;

DataFile Gal(std::vector<uint8_t>& fuses, uint8_t typecode = 5) {
    DataFile f = MemoryFile(fuses, FORMAT_JEDEC, 1, typecode);
    return f;
}

// A map's fields, ended as every complete map ends: with ETX.
int ReadJed(DataFile& f, const std::string& fields) { return ReadText(f, fields + "\x03"); }

uint16_t Checksum(std::vector<uint8_t>& fuses, uint8_t typecode = 5) {
    DataFile f = Gal(fuses, typecode);
    return FuseChecksum(f);
}

TEST(FuseChecksum, EqualsJedecByteSum) {
    std::vector<uint8_t> fuses(2194, 0);
    for (size_t i = 0; i < fuses.size(); ++i) fuses[i] = (i * 37 + i / 5) % 3 == 0;
    uint32_t bytes = 0;
    for (size_t i = 0; i < fuses.size(); i += 8) {
        uint32_t b = 0;
        for (size_t k = 0; k < 8 && i + k < fuses.size(); ++k) b |= static_cast<uint32_t>(fuses[i + k]) << k;
        bytes += b;
    }
    EXPECT_EQ(Checksum(fuses), static_cast<uint16_t>(bytes));
    EXPECT_EQ(Checksum(fuses, 0), 0);  // not a PLD
}

TEST(JedecRead, FillFusesAndChecksum) {
    std::vector<uint8_t> fuses(16, 0xAA);
    std::vector<uint8_t> expect = {1, 1, 1, 1, 0, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1};
    char check[8];
    std::snprintf(check, sizeof check, "%04X", Checksum(expect));
    std::string file = std::string("\x02header*\nQF16*F1*\nL0004 0110*\nC") + check + "*\n\x03" "0000";
    DataFile f = Gal(fuses);
    EXPECT_EQ(ReadText(f, file), FILE_OK);
    EXPECT_EQ(fuses, expect);
    EXPECT_EQ(f.count, 4u);

    // One fuse digit changed: 5, with both checksums logged.
    LogLines log;
    std::string bad = file;
    bad[bad.find("0110")] = '1';
    f = Gal(fuses);
    f.log = &log;
    EXPECT_EQ(ReadText(f, bad), FILE_CHECKSUM_ERROR);
    ASSERT_EQ(log.lines.size(), 1u);
    uint16_t computed = Checksum(fuses);
    char line[64];
    std::snprintf(line, sizeof line, "メモリ内容=%04X ファイル記述=%s", computed, check);
    EXPECT_EQ(log.lines[0], line);
}

TEST(JedecRead, FieldsSpanLinesAndSkipOtherCharacters) {
    std::vector<uint8_t> fuses(16, 0);
    DataFile f = Gal(fuses);
    // Fuse digits split by a line end and spaces.
    EXPECT_EQ(ReadJed(f, "*L0000 0101\r\n11 0 1*"), FILE_OK);
    EXPECT_EQ((std::vector<uint8_t>(fuses.begin(), fuses.begin() + 8)), (std::vector<uint8_t>{0, 1, 0, 1, 1, 1, 0, 1}));
    EXPECT_EQ(f.count, 8u);
    // Fuses no L field mentions keep their value; an F after L overwrites.
    f = Gal(fuses);
    EXPECT_EQ(ReadJed(f, "*L0002 11*F0*"), FILE_OK);
    EXPECT_EQ(std::count(fuses.begin(), fuses.end(), 0), 16);
}

TEST(JedecRead, FuseNumberIsTheWholeDecimalNumber) {
    std::vector<uint8_t> fuses(20000, 0);
    DataFile f = Gal(fuses);
    EXPECT_EQ(ReadJed(f, "*L01234 1*L12345 1*L00000 1*L0768 11*"), FILE_OK);
    EXPECT_EQ(fuses[1234], 1);
    EXPECT_EQ(fuses[12345], 1);
    EXPECT_EQ(fuses[0], 1);
    EXPECT_EQ(fuses[768], 1);
    EXPECT_EQ(fuses[769], 1);
    EXPECT_EQ(fuses[123], 0);
    EXPECT_EQ(fuses[1], 0);
    EXPECT_EQ(std::count(fuses.begin(), fuses.end(), 1), 5);
    // A single-digit number is a number too.
    std::fill(fuses.begin(), fuses.end(), 0);
    f = Gal(fuses);
    EXPECT_EQ(ReadJed(f, "*L0 0110*"), FILE_OK);
    EXPECT_EQ((std::vector<uint8_t>(fuses.begin(), fuses.begin() + 4)), (std::vector<uint8_t>{0, 1, 1, 0}));
    // Absurdly long numbers do not wrap into the buffer.
    f = Gal(fuses);
    EXPECT_EQ(ReadJed(f, "*L99999999999999999999999 1*"), FILE_BEYOND_BUFFER);
}

TEST(JedecRead, BeyondTheBuffer) {
    std::vector<uint8_t> fuses(8, 0);
    DataFile f = Gal(fuses);
    // Ending exactly at the last fuse is fine, with "*" right after it or on
    // the next line.
    EXPECT_EQ(ReadJed(f, "*L0004 1111*"), FILE_OK);
    f = Gal(fuses);
    EXPECT_EQ(ReadJed(f, "*L0004 1111 \r\n*"), FILE_OK);
    f = Gal(fuses);
    EXPECT_EQ(ReadJed(f, "*L0006 0011*"), FILE_BEYOND_BUFFER);
    EXPECT_EQ(fuses[6], 0);
    EXPECT_EQ(fuses[7], 0);
    EXPECT_EQ(f.count, 2u);
}

TEST(JedecRead, EndsOfStream) {
    std::vector<uint8_t> fuses(8, 0);
    // A map that ends before its ETX, or a field without its value, is not
    // read as a map of no fuses.
    for (const char* text : {"no asterisk at all", "*L", "*L  \n", "*C", "*C\n1234*\x03", "*L0001 1", "*Q", "*F",
                             "*G", "*QF\x03"}) {
        DataFile f = Gal(fuses);
        EXPECT_EQ(ReadText(f, text), FILE_FORMAT_ERROR) << text;
    }
    // Nothing after ETX counts.
    DataFile f = Gal(fuses);
    EXPECT_EQ(ReadText(f, "*L0000 1*\x03L0001 1*C9999*"), FILE_OK);
    EXPECT_EQ(fuses[1], 0);
}

TEST(JedecRead, FuseValuesOtherThanZeroOrOneAndControlBytesAreNoFuseMap) {
    // Without a C field nothing else would catch them: each is refused, with
    // where and what for the message.
    struct Case {
        std::string text;
        DataFile::JedecFault fault;
        uint32_t offset;
    };
    const Case cases[] = {
        {"*F2*L0000 1*", DataFile::JedecFault::FuseValue, 2},
        {"*L0000 0121*", DataFile::JedecFault::FuseValue, 9},
        {"*L0000 1?1*", DataFile::JedecFault::FuseValue, 8},
        {"*L0000 1\x01" "1*", DataFile::JedecFault::NotText, 8},
        {std::string("\x02head\x00" "er*F0*", 12), DataFile::JedecFault::NotText, 5},
        {"*N no\x1bte*F0*", DataFile::JedecFault::NotText, 5},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> fuses(8, 0);
        DataFile f = Gal(fuses);
        EXPECT_EQ(ReadJed(f, c.text), FILE_FORMAT_ERROR) << c.text;
        EXPECT_EQ(f.jedecFault, c.fault) << c.text;
        EXPECT_EQ(f.faultOffset, c.offset) << c.text;
    }
    // UTF-8 in a note and form feeds are text.
    std::vector<uint8_t> fuses(8, 0);
    DataFile f = Gal(fuses);
    EXPECT_EQ(ReadJed(f, "\x02設計*N 作者*\fL0000 1*"), FILE_OK);
}

TEST(JedecRead, NoteAndVectorFieldsAreSkippedWhole) {
    std::vector<uint8_t> fuses(8, 0);
    DataFile f = Gal(fuses);
    EXPECT_EQ(ReadJed(f, "*N CLOCK ON PIN 1, FUSE LIST FOLLOWS*V0001 C01LHXXX*L0000 1*"), FILE_OK);
    EXPECT_EQ(fuses, (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(JedecRead, SecurityAndDefaultFlags) {
    std::vector<uint8_t> fuses(8, 0);
    DataFile f = Gal(fuses);
    EXPECT_EQ(ReadJed(f, "*G1*F1*"), FILE_OK);
    EXPECT_TRUE(f.securityFlag);
    EXPECT_TRUE(f.defaultFuseState);
    EXPECT_EQ(std::count(fuses.begin(), fuses.end(), 1), 8);
}

TEST(JedecWrite, Layout) {
    std::vector<uint8_t> fuses(2194, 0);
    for (size_t i = 0; i < fuses.size(); ++i) fuses[i] = i % 3 == 0;
    DataFile f = Gal(fuses);
    f.deviceName = "GAL16V8";
    f.PinNumber = 20;
    f.LineNumber = 32;
    f.length = 2194;
    std::string text = WriteText(f);
    EXPECT_EQ(text.substr(0, 65), "\x02" "FUSE MAP DUMP (JEDEC STANDARD FORMAT). Auto generated by KRTWIN\n");
    EXPECT_NE(text.find("\nDEVICE GAL16V8*\nQP20*\nQF2194*\nG0*\nF0*\nL0000 100100"), std::string::npos);
    EXPECT_NE(text.find("\nL0032 "), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), 'L'), 69 + 1);  // 69 lines and the "L" of GAL16V8
    size_t last = text.find("\nL2176 ");
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(text.find("*\n", last) - (last + 7), 18u);
    char tail[32];
    std::snprintf(tail, sizeof tail, "*\nC%04X*\n\x03" "0000\n", Checksum(fuses));
    EXPECT_EQ(text.substr(text.size() - std::strlen(tail)), tail);
    EXPECT_EQ(f.count, 2194u);

    std::vector<uint8_t> back(2194, 0xEE);
    DataFile r = Gal(back);
    EXPECT_EQ(ReadText(r, text), FILE_OK);
    EXPECT_EQ(back, fuses);
}

TEST(JedecWrite, EmptyLengthZeroLineNumberAndOddValues) {
    std::vector<uint8_t> fuses(10, 0);
    DataFile f = Gal(fuses);
    f.deviceName = "X";
    f.length = 0;
    // QF is the device's fuse count: the fuses left out are at the F value.
    EXPECT_EQ(WriteText(f), "\x02" "FUSE MAP DUMP (JEDEC STANDARD FORMAT). Auto generated by KRTWIN\n"
                            "DEVICE X*\nQP0*\nQF10*\nG0*\nF0*\nC0000*\n\x03" "0000\n");

    fuses = {1, 0, 2, 1, 0xFF, 0, 1, 1, 0, 1};
    f = Gal(fuses);
    f.LineNumber = 0;  // a non-PLD layout: one line, no division by zero
    f.length = 100;    // more than the buffer: only the fuses that exist
    std::string text = WriteText(f);
    EXPECT_NE(text.find("QF10*\nG0*\nF0*\nL0000 10?1?01101*\n"), std::string::npos);

    // Non-PLD: checksum 0000, and reading accepts only 0.
    std::vector<uint8_t> rom(4, 1);
    f = MemoryFile(rom, FORMAT_JEDEC, 1, 0);
    f.length = 4;
    text = WriteText(f);
    EXPECT_NE(text.find("C0000*\n"), std::string::npos);
    DataFile r = MemoryFile(rom, FORMAT_JEDEC, 1, 0);
    EXPECT_EQ(ReadJed(r, "*L0000 1*C0001*"), FILE_CHECKSUM_ERROR);
}

// Real files from the galette assembler, read at the devices' exact sizes.
TEST(JedecRead, GaletteFiles) {
    const std::filesystem::path dir = std::filesystem::path(KRT_SOURCE_DIR) / "tests/data/jedec";
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".jed") continue;
        const std::string name = entry.path().filename().string();
        uint32_t size = name.rfind("GAL22V10", 0) == 0 ? 5892 : name.rfind("GAL20V8", 0) == 0 ? 2706 : 2194;
        uint8_t code = size == 5892 ? 7 : size == 2706 ? 6 : 5;
        std::vector<uint8_t> fuses(size, 0xEE);
        DataFile f = Gal(fuses, code);
        EXPECT_EQ(ReadText(f, test::Slurp(entry.path())), FILE_OK) << name;
        EXPECT_EQ(std::count_if(fuses.begin(), fuses.end(), [](uint8_t v) { return v > 1; }), 0) << name;
        ++seen;
    }
    EXPECT_EQ(seen, 9);
}

}  // namespace
}  // namespace krt
