// SPDX-License-Identifier: GPL-3.0-or-later
// krt reads back every file it writes: for every family and every format, a
// chip read into a file verifies against that file, and the file written to
// a blank chip makes the same chip. Each runs the built krt binary in a
// scratch folder.
#include <gtest/gtest.h>

#include "support/KrtProcess.h"

#include <cctype>
#include <cstdio>
#include <iterator>
#include <random>

namespace krt {
namespace {

using test::Args;
using test::KrtRun;
using test::Spit;

// Intel HEX records of a PIC16F84 image as PIC tools write them: program
// words, the configuration word at byte 400Eh and the data EEPROM from 4200h,
// each word low byte first.
std::string PicHex(std::mt19937& random) {
    std::string text;
    const auto record = [&text](unsigned address, const std::vector<unsigned>& bytes) {
        char line[80];
        unsigned sum = static_cast<unsigned>(bytes.size()) + (address >> 8) + (address & 0xFF);
        std::snprintf(line, sizeof line, ":%02zX%04X00", bytes.size(), address);
        text += line;
        for (unsigned b : bytes) {
            std::snprintf(line, sizeof line, "%02X", b);
            text += line;
            sum += b;
        }
        std::snprintf(line, sizeof line, "%02X\n", (256 - (sum & 0xFF)) & 0xFF);
        text += line;
    };
    for (unsigned at = 0; at < 0x800; at += 16) {
        std::vector<unsigned> bytes;
        for (int w = 0; w < 8; ++w) {
            const unsigned word = static_cast<unsigned>(random() & 0x3FFF);
            bytes.insert(bytes.end(), {word & 0xFF, word >> 8});
        }
        record(at, bytes);
    }
    record(0x400E, {0xF9, 0x3F});  // XT oscillator, watchdog off, no code protection
    for (unsigned at = 0x4200; at < 0x4280; at += 16) {
        std::vector<unsigned> bytes;
        for (int k = 0; k < 8; ++k) bytes.insert(bytes.end(), {static_cast<unsigned>(random() & 0xFF), 0u});
        record(at, bytes);
    }
    return text + ":00000001FF\n";
}

struct Row {
    std::vector<std::string> device;
    unsigned bytes;  // of the random binary the chip is written from; 0: the PIC's HEX image
    unsigned mask;   // of each byte of it
    std::vector<std::string> formats;
};

// A binary file holds the range's words: the PIC's program memory alone.
// Its configuration words and data EEPROM travel in the record formats.
const std::vector<std::string> kWordFormats = {"hex", "hxl", "mot", "bin"};
const Row kRows[] = {
    {{"EPROM", "AMD", "27C64"}, 0x2000, 0xFF, kWordFormats},
    {{"OTPROM", "Microchip", "27C64"}, 0x2000, 0xFF, kWordFormats},
    {{"EEPROM", "Atmel", "AT28C16"}, 0x800, 0xFF, kWordFormats},
    {{"FLASH", "Intel", "P28F010"}, 0x20000, 0xFF, kWordFormats},
    {{"SEEPROM", "Atmel", "AT24C02"}, 0x100, 0xFF, kWordFormats},
    {{"SEEPROM", "Microchip", "93C46"}, 0x80, 0xFF, kWordFormats},
    {{"GAL", "Lattice", "GAL16V8"}, 2194, 0x01, {"jed", "hex", "hxl", "mot", "bin"}},
    {{"PIC", "Microchip", "PIC16F84"}, 0, 0, {"hex", "hxl", "mot"}},
    {{"PIC", "Microchip", "PIC16F84A"}, 0x800, 0xFF, {"bin"}},
};

// One test a device, so that the devices run side by side.
class RoundTrip : public test::KrtDirTest, public testing::WithParamInterface<size_t> {
protected:
    RoundTrip() : KrtDirTest("krt-round-trip", KRT_CLI_PATH) { simulatorUnlessNamed = true; }
};

TEST_P(RoundTrip, EveryFileKrtWritesReadsBackVerifiesAndProgramsABlankChip) {
    const Row& row = kRows[GetParam()];
    std::mt19937 random(40 + static_cast<unsigned>(GetParam()));
    const std::string name = row.device[0] + "-" + row.device[2];
    std::string source = "src-" + name + (row.bytes ? ".bin" : ".hex");
    if (row.bytes) {
        std::string image(row.bytes, '\0');
        for (size_t i = 0; i < image.size(); ++i)
            // PIC words are 14 bits, high byte first.
            image[i] = static_cast<char>(random() & (row.device[0] == "PIC" && i % 2 == 0 ? 0x3F : row.mask));
        Spit(dir / source, image);
    } else {
        Spit(dir / source, PicHex(random));
    }
    const std::string chip = name + ".chip";
    ASSERT_EQ(Krt(Args({{"--sim-chip", chip, "write"}, row.device, {source}})).status, 0) << name;
    for (const std::string& format : row.formats) {
        const std::string file = name + "." + format, blank = name + "-" + format + ".chip";
        const KrtRun read = Krt(Args({{"--sim-chip", chip, "read"}, row.device, {file}}));
        EXPECT_EQ(read.status, 0) << file << read.err;
        const KrtRun verify = Krt(Args({{"--sim-chip", chip, "verify"}, row.device, {file}}));
        EXPECT_EQ(verify.status, 0) << file << verify.err;
        const KrtRun write = Krt(Args({{"--sim-chip", blank, "write"}, row.device, {file}}));
        // The write reads the chip back: the blank chip now holds the file.
        EXPECT_EQ(write.status, 0) << file << write.err;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, RoundTrip, testing::Range<size_t>(0, std::size(kRows)),
                         [](const testing::TestParamInfo<size_t>& info) {
                             std::string name = kRows[info.param].device[0] + "_" + kRows[info.param].device[2];
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// A parameterised test's name holds a '/' ("Value/0"): its folder is still
// one folder in the temporary directory, so that removing it leaves nothing.
class KrtDirOfAParameterisedTest : public test::KrtDirTest, public testing::WithParamInterface<int> {
public:
    KrtDirOfAParameterisedTest() : KrtDirTest("krt-dir-name", KRT_CLI_PATH) {}
};

TEST_P(KrtDirOfAParameterisedTest, IsOneFolderInTheTemporaryDirectory) {
    EXPECT_EQ(dir.parent_path(), std::filesystem::temp_directory_path()) << dir;
}

INSTANTIATE_TEST_SUITE_P(Value, KrtDirOfAParameterisedTest, testing::Values(0));

}  // namespace
}  // namespace krt
