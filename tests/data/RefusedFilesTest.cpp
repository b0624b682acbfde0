// SPDX-License-Identifier: GPL-3.0-or-later
// Files that do not hold what the device needs are refused whole, with a
// reason the user can act on, and leave the buffer as it was.
#include <gtest/gtest.h>

#include <cstdlib>

#include "DataTestSupport.h"
#include "catalogue/DeviceRecord.h"
#include "data/DataTransfer.h"

namespace krt {
namespace {

namespace fs = std::filesystem;
using test::LogLines;
using test::MemoryFile;
using test::ReadText;
using test::Slurp;
using test::Spit;
using test::WriteText;

// 16 bytes at 0000, 16 at 0010 and the end record, as objcopy writes them.
const char kImage[] =
    ":10000000000102030405060708090A0B0C0D0E0F78\n"
    ":10001000101112131415161718191A1B1C1D1E1F68\n"
    ":00000001FF\n";

TEST(CutFiles, HexOrMotorolaCutInsideARecordIsRefused) {
    const std::string image = kImage;
    const std::string motorola =
        "S00600004844521B\nS1130000000102030405060708090A0B0C0D0E0F74\nS9030000FC\n";
    struct Case {
        uint32_t format;
        std::string text;
        int result;
    } cases[] = {
        // Cut inside the second data record: its line has no end and no checksum.
        {FORMAT_INTEL_HEX, image.substr(0, image.find('\n') + 30), FILE_FORMAT_ERROR},
        // Cut one digit before the end of the checksum byte.
        {FORMAT_INTEL_HEX, image.substr(0, image.find('\n') + 43), FILE_FORMAT_ERROR},
        {FORMAT_MOTOROLA, motorola.substr(0, 40), FILE_FORMAT_ERROR},
        // A complete last record without its line end is read.
        {FORMAT_INTEL_HEX, image.substr(0, image.find('\n') + 44), FILE_OK},
        {FORMAT_INTEL_HEX, image.substr(0, image.size() - 1), FILE_OK},
        {FORMAT_MOTOROLA, motorola.substr(0, motorola.find("S9")) + "S9030000FC", FILE_OK},
        {FORMAT_MOTOROLA, motorola.substr(0, motorola.find("S9") - 1), FILE_OK},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes(0x100, 0xFF);
        DataFile f = MemoryFile(bytes, c.format);
        EXPECT_EQ(ReadText(f, c.text), c.result) << c.text;
        if (c.result == FILE_OK) {
            EXPECT_EQ(bytes[0x0F], 0x0F) << c.text;
        }
    }
    // The second record of the whole image, read without a line end.
    std::vector<uint8_t> bytes(0x100, 0xFF);
    DataFile f = MemoryFile(bytes, FORMAT_INTEL_HEX);
    EXPECT_EQ(ReadText(f, image.substr(0, image.find(":00000001"))), FILE_OK);
    EXPECT_EQ(bytes[0x1F], 0x1F);
}

// gpasm -a inhx16: byte counts and addresses in words, words high byte first.
TEST(WordAddressedHex, IsNamedNotTakenForAChecksumError) {
    const std::string inhx16 = ":010000002804D3\n:0300040030120086280405\n:00000001FF\n";
    std::vector<uint8_t> words(0x4010, 0xFF);
    DataFile f = MemoryFile(words, FORMAT_INTEL_HEX, 2, 4);
    EXPECT_EQ(ReadText(f, inhx16), FILE_FORMAT_ERROR);
    EXPECT_TRUE(f.wordAddressed);
    // A record that is merely wrong stays a checksum error.
    f = MemoryFile(words, FORMAT_INTEL_HEX, 2, 4);
    EXPECT_EQ(ReadText(f, ":020000000428D3\n"), FILE_CHECKSUM_ERROR);
    EXPECT_FALSE(f.wordAddressed);
}

TEST(PicFiles, ProgramWordsBeyondTheChipAreDataBeyondTheDevice) {
    // Word 600h (byte C00h) of a 2K-word part, loaded for a 1K-word one.
    std::vector<uint8_t> words(0x4010, 0xFF);
    DataFile f = MemoryFile(words, FORMAT_INTEL_HEX, 2, 4);
    f.maxsize = 0x400;
    EXPECT_EQ(ReadText(f, ":020C0000FF30C3\n:02400E00F13F80\n:00000001FF\n"), FILE_BEYOND_BUFFER);
    // The last program word and the configuration word are the chip's.
    f = MemoryFile(words, FORMAT_INTEL_HEX, 2, 4);
    f.maxsize = 0x400;
    EXPECT_EQ(ReadText(f, ":0207FE00FF30CA\n:02400E00F13F80\n:00000001FF\n"), FILE_OK);
    f = MemoryFile(words, FORMAT_MOTOROLA, 2, 4);
    f.maxsize = 0x400;
    EXPECT_EQ(ReadText(f, "S1050C0030FFBF\n"), FILE_BEYOND_BUFFER);
}

TEST(BinaryFiles, LargerThanTheDeviceIsRefusedUnlessTheRangeCutsIt) {
    std::vector<uint8_t> bytes(0x100, 0xFF);
    const std::string file(0x180, '\x5A');
    DataFile f = MemoryFile(bytes, FORMAT_BINARY);
    f.length = 0x100;
    EXPECT_EQ(ReadText(f, file), FILE_BEYOND_BUFFER);
    EXPECT_TRUE(f.fileLonger);
    // A range that stops before the device's end asked for the cut.
    f = MemoryFile(bytes, FORMAT_BINARY);
    f.length = 0x80;
    EXPECT_EQ(ReadText(f, file), FILE_OK);
    EXPECT_TRUE(f.fileLonger);
    // Exactly the device: nothing left over.
    f = MemoryFile(bytes, FORMAT_BINARY);
    f.length = 0x100;
    EXPECT_EQ(ReadText(f, file.substr(0, 0x100)), FILE_OK);
    EXPECT_FALSE(f.fileLonger);
}

// The JEDEC tail every complete map has.
std::string Jed(const std::string& fields) { return "\x02" "DEVICE X*\n" + fields + "\x03" "0000\n"; }

TEST(JedecFiles, IncompleteOrForeignFilesAreRefused) {
    std::vector<uint8_t> fuses(16, 0);
    const std::string whole = Jed("QF16*\nF0*\nL0000 0101010101010101*\n");
    struct Case {
        std::string text;
        int result;
    } cases[] = {
        {"", FILE_FORMAT_ERROR},
        {":0400100001020304E2\n:00000001FF\n", FILE_FORMAT_ERROR},            // not JEDEC
        {whole.substr(0, whole.find('\x03')), FILE_FORMAT_ERROR},             // no ETX
        {whole.substr(0, whole.find("0101")), FILE_FORMAT_ERROR},             // cut in the fuses
        {"\x02" "DEVICE X\n" "\x03", FILE_FORMAT_ERROR},                      // no "*"
        {Jed("QF16*\n"), FILE_FORMAT_ERROR},                                   // no fuses at all
        {whole, FILE_OK},
        {Jed("QF16*\nF1*\n"), FILE_OK},                                        // all at the default
    };
    for (const Case& c : cases) {
        DataFile f = MemoryFile(fuses, FORMAT_JEDEC, 1, 5);
        EXPECT_EQ(ReadText(f, c.text), c.result) << c.text;
    }
}

TEST(JedecFiles, FuseCountOfAnotherDeviceIsRefused) {
    std::vector<uint8_t> fuses(2706, 0);  // a GAL20V8
    DataFile f = MemoryFile(fuses, FORMAT_JEDEC, 1, 6);
    EXPECT_EQ(ReadText(f, Jed("QF2194*\nF0*\nL0000 1111*\n")), FILE_FORMAT_ERROR);
    EXPECT_EQ(f.statedFuses, 2194u);
    EXPECT_EQ(fuses[0], 0);
    f = MemoryFile(fuses, FORMAT_JEDEC, 1, 6);
    EXPECT_EQ(ReadText(f, Jed("QF5892*\nF0*\n")), FILE_BEYOND_BUFFER);
}

// A map saved over a short range reads back, here and in MAME's jedutil.
TEST(JedecFiles, ShortRangeSaveReadsBack) {
    std::vector<uint8_t> fuses(2194, 0);
    for (size_t i = 0; i < fuses.size(); ++i) fuses[i] = (i * 7 + i / 3) % 5 < 2;
    DataFile w = MemoryFile(fuses, FORMAT_JEDEC, 1, 5);
    w.deviceName = "GAL16V8";
    w.LineNumber = 32;
    w.length = 100;
    const std::string text = WriteText(w);
    EXPECT_NE(text.find("QF2194*"), std::string::npos);
    std::vector<uint8_t> back(2194, 1);
    DataFile r = MemoryFile(back, FORMAT_JEDEC, 1, 5);
    ASSERT_EQ(ReadText(r, text), FILE_OK);
    for (size_t i = 0; i < back.size(); ++i) ASSERT_EQ(back[i], i < 100 ? fuses[i] : 0) << i;

    if (std::system("command -v jedutil >/dev/null 2>&1") != 0) GTEST_SKIP() << "jedutil is not installed";
    const fs::path dir = test::ScratchDir("short-range-jedec");
    Spit(dir / "short.jed", text);
    const std::string command = "jedutil -convert '" + (dir / "short.jed").string() + "' '" +
                                (dir / "short.bin").string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

DeviceRecord RefusedRom() {
    DeviceRecord r;
    r.name = "27C256";
    r.maxsize = r.bufsize = 0x100;
    r.bytesPerWord = 1;
    return r;
}

TEST(RefusedTransfer, LeavesTheBufferAsItWasAndSaysWhy) {
    const fs::path dir = test::ScratchDir("refused-transfer");
    const DeviceRecord record = RefusedRom();
    DataBuffer buffer;
    OperationRange range;
    ASSERT_TRUE(buffer.Allocate(record.bufsize));
    ClearBuffer(buffer, record, range);
    // The first record is good, the second has a wrong checksum.
    Spit(dir / "bad.hex", ":0100000011EE\n:0100010022DD\n");
    LogLines log;
    TransferReport r = ReadDataFile((dir / "bad.hex").string(), record, buffer, range, 1, &log);
    EXPECT_EQ(r.result, FILE_CHECKSUM_ERROR);
    EXPECT_FALSE(r.success);
    EXPECT_EQ(buffer[0], 0xFF);

    Spit(dir / "w16.hex", ":010000002804D3\n:00000001FF\n");
    r = ReadDataFile((dir / "w16.hex").string(), record, buffer, range, 1, &log);
    EXPECT_EQ(r.messageBox, "File format is incorrect.");
    EXPECT_NE(r.detail.find("word-addressed HEX file (INHX16"), std::string::npos) << r.detail;
    ASSERT_FALSE(log.lines.empty());
    EXPECT_EQ(log.lines.back(), r.detail);

    Spit(dir / "big.bin", std::string(0x101, '\0'));
    r = ReadDataFile((dir / "big.bin").string(), record, buffer, range, 1, &log);
    EXPECT_EQ(r.result, FILE_BEYOND_BUFFER);
    EXPECT_NE(r.detail.find("larger than the device"), std::string::npos) << r.detail;
    EXPECT_EQ(buffer[0], 0xFF);
}

}  // namespace
}  // namespace krt
