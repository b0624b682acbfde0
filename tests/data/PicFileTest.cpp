// SPDX-License-Identifier: GPL-3.0-or-later
// Microcontroller (type code 4) buffers in Intel HEX and Motorola S files:
// no byte written twice (other tools refuse overlapping records), the
// configuration words at 4000h, and data-EEPROM records that are left out
// with a plain line instead of the "larger than the device" box.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sys/wait.h>

#include "DataTestSupport.h"
#include "base/TypeCodes.h"
#include "catalogue/DeviceRecord.h"
#include "data/DataBuffer.h"
#include "data/DataTransfer.h"

namespace krt {
namespace {

using test::MemoryFile;
using test::ReadText;
using test::WriteText;

constexpr uint32_t kPicBuffer = 0x4010;

std::vector<uint8_t> PicImage() {
    std::vector<uint8_t> image(kPicBuffer);
    for (size_t i = 0; i < image.size(); i += 2) {
        const uint16_t word = static_cast<uint16_t>((i * 7 + 3) & 0x3FFF);
        image[i] = static_cast<uint8_t>(word >> 8);
        image[i + 1] = static_cast<uint8_t>(word);
    }
    return image;
}

// Byte address -> how often a data record of the file wrote it.
std::map<uint32_t, int> IntelCoverage(const std::string& text) {
    std::map<uint32_t, int> seen;
    size_t pos = 0;
    while ((pos = text.find(':', pos)) != std::string::npos) {
        const unsigned n = std::stoul(text.substr(pos + 1, 2), nullptr, 16);
        const unsigned address = std::stoul(text.substr(pos + 3, 4), nullptr, 16);
        const unsigned type = std::stoul(text.substr(pos + 7, 2), nullptr, 16);
        if (type == 0)
            for (unsigned i = 0; i < n; ++i) ++seen[address + i];
        ++pos;
    }
    return seen;
}

std::map<uint32_t, int> MotorolaCoverage(const std::string& text) {
    std::map<uint32_t, int> seen;
    size_t pos = 0;
    while ((pos = text.find("S2", pos)) != std::string::npos) {
        const unsigned n = std::stoul(text.substr(pos + 2, 2), nullptr, 16) - 4;
        const unsigned address = std::stoul(text.substr(pos + 4, 6), nullptr, 16);
        for (unsigned i = 0; i < n; ++i) ++seen[address + i];
        pos += 2;
    }
    return seen;
}

TEST(PicFiles, WritersNeverRepeatABytePosition) {
    std::vector<uint8_t> image = PicImage();
    for (uint32_t format : {FORMAT_INTEL_HEX, FORMAT_MOTOROLA}) {
        for (uint32_t start : {0u, 0x2000u, 0x2004u, 0x3000u}) {
            DataFile f = MemoryFile(image, format, 2, 4);
            f.start = start;
            const std::string text = WriteText(f);
            const auto seen = format == FORMAT_INTEL_HEX ? IntelCoverage(text) : MotorolaCoverage(text);
            for (const auto& [address, times] : seen) ASSERT_EQ(times, 1) << "format " << format << " start " << start << " address " << address;
            // The 8 bytes from 2000h are in the file whatever the start.
            for (uint32_t a = 0x2000; a < 0x2008; ++a) EXPECT_EQ(seen.count(a), 1u) << "start " << start;
            EXPECT_EQ(seen.size(), kPicBuffer - start + (start > 0x2000 ? std::min(8u, start - 0x2000) : 0));
        }
    }
}

TEST(PicFiles, WrittenFileReadsBackWithConfigurationWords) {
    std::vector<uint8_t> image = PicImage();
    DataFile out = MemoryFile(image, FORMAT_INTEL_HEX, 2, 4);
    const std::string text = WriteText(out);
    EXPECT_NE(text.find(":104000"), std::string::npos) << "configuration words at byte 4000h";
    std::vector<uint8_t> back(kPicBuffer, 0);
    DataFile in = MemoryFile(back, FORMAT_INTEL_HEX, 2, 4);
    EXPECT_EQ(ReadText(in, text), FILE_OK);
    EXPECT_EQ(back, image);
}

// gpasm's layout: program words, IDs at 4000h, configuration at 400Eh,
// data EEPROM from 4200h (one byte per word).
constexpr char kGpasmFile[] =
    ":020000040000FA\n"
    ":0A000000831686018312860A032886\n"
    ":084000000100020003000400AE\n"
    ":02400E00F13F80\n"
    ":06420000010002000300B2\n"
    ":00000001FF\n";

TEST(PicFiles, DataEepromRecordsAreLeftOutAndSaidSo) {
    std::vector<uint8_t> buffer(kPicBuffer, 0xEE);
    DataFile f = MemoryFile(buffer, FORMAT_INTEL_HEX, 2, 4);
    EXPECT_EQ(ReadText(f, kGpasmFile), FILE_OK);
    EXPECT_EQ(f.dataEepromBytes, 3u);
    EXPECT_EQ(buffer[0], 0x16);
    EXPECT_EQ(buffer[1], 0x83);
    EXPECT_EQ(buffer[0x400E], 0x3F);
    EXPECT_EQ(buffer[0x400F], 0xF1);
    EXPECT_EQ(buffer[0x4006], 0x00);
    EXPECT_EQ(buffer[0x4007], 0x04);

    // Data beyond the buffer that is not the data EEPROM is still refused.
    std::vector<uint8_t> other(kPicBuffer, 0xEE);
    DataFile g = MemoryFile(other, FORMAT_INTEL_HEX, 2, 4);
    EXPECT_EQ(ReadText(g, ":02430000010BAF\n"), FILE_BEYOND_BUFFER);
    EXPECT_EQ(g.dataEepromBytes, 0u);
}

TEST(PicFiles, TransferLogsTheLeftOutDataEeprom) {
    const auto dir = test::ScratchDir("pic-eeprom");
    test::Spit(dir / "eep.hex", kGpasmFile);
    DeviceRecord record;
    record.typecode = 4;
    record.maxsize = 0x400;
    record.bufsize = kPicBuffer;
    record.bytesPerWord = 2;
    DataBuffer buffer;
    ASSERT_TRUE(buffer.Allocate(kPicBuffer));
    OperationRange range;
    range.start = "000000";
    range.length = "000400";
    for (uint32_t language : {0u, 1u}) {
        test::LogLines log;
        const TransferReport report = ReadDataFile((dir / "eep.hex").string(), record, buffer, range, language, &log);
        EXPECT_TRUE(report.success);
        EXPECT_TRUE(report.messageBox.empty());
        ASSERT_EQ(log.lines.size(), 2u);
        EXPECT_NE(log.lines[1].find(language == 0 ? "データEEPROM 3バイト" : "3 data-EEPROM bytes"), std::string::npos)
            << log.lines[1];
    }
}

// Other tools read a PIC image we saved without a complaint.
int PicShell(const std::string& command, std::string* output = nullptr) {
    const std::string file = (test::ScratchDir("pic-shell") / "out.txt").string();
    const int status = std::system((command + " >'" + file + "' 2>&1").c_str());
    if (output) *output = test::Slurp(file);
    return status == -1 ? -1 : WEXITSTATUS(status);
}

TEST(PicFiles, OtherToolsReadOurPicFilesWithoutComplaint) {
    const auto dir = test::ScratchDir("pic-interop");
    std::vector<uint8_t> image = PicImage();
    DataFile hex = MemoryFile(image, FORMAT_INTEL_HEX, 2, 4);
    test::Spit(dir / "pic.hex", WriteText(hex));
    DataFile mot = MemoryFile(image, FORMAT_MOTOROLA, 2, 4);
    test::Spit(dir / "pic.mot", WriteText(mot));
    bool ran = false;
    std::string said;
    if (PicShell("command -v srec_cat") == 0) {
        ran = true;
        for (const char* args : {"pic.hex -intel", "pic.mot -motorola"}) {
            EXPECT_EQ(PicShell("cd '" + dir.string() + "' && srec_cat " + args + " -o /dev/null -binary", &said), 0);
            // Our S files carry no header record (S0), which srec_cat notes
            // for every such file; nothing else may be said.
            const std::string noHeader = "srec_cat: pic.mot: 1: warning: no header record\n";
            if (said.rfind(noHeader, 0) == 0) said.erase(0, noHeader.size());
            EXPECT_EQ(said, "") << "srec_cat " << args;
        }
    }
    if (PicShell("/usr/bin/python3 -c 'import intelhex'") == 0) {
        ran = true;
        EXPECT_EQ(PicShell("/usr/bin/python3 -c 'import sys, intelhex; h = intelhex.IntelHex(sys.argv[1]); "
                        "assert h[0x400F] == " + std::to_string(image[0x400E]) + "' '" + (dir / "pic.hex").string() + "'",
                        &said),
                  0)
            << said;
    }
    if (!ran) GTEST_SKIP() << "neither srec_cat (srecord) nor python3-intelhex is installed";
}

}  // namespace
}  // namespace krt

namespace krt {
namespace {

TEST(PicFiles, FullBufferHoldsTheDataEepromAndWritersSkipTheGapBeforeIt) {
    std::vector<uint8_t> buffer(kPicBufferBytes, 0xEE);
    DataFile f = test::MemoryFile(buffer, FORMAT_INTEL_HEX, 2, 4);
    EXPECT_EQ(test::ReadText(f, kGpasmFile), FILE_OK);
    EXPECT_EQ(f.dataEepromBytes, 0u);
    // One byte per word, high byte first like every word of the buffer.
    EXPECT_EQ(buffer[0x4200], 0x00);
    EXPECT_EQ(buffer[0x4201], 0x01);
    EXPECT_EQ(buffer[0x4205], 0x03);

    for (uint32_t format : {FORMAT_INTEL_HEX, FORMAT_MOTOROLA}) {
        DataFile out = test::MemoryFile(buffer, format, 2, 4);
        const std::string text = test::WriteText(out);
        const auto seen = format == FORMAT_INTEL_HEX ? IntelCoverage(text) : MotorolaCoverage(text);
        for (uint32_t a = 0x4010; a < 0x4200; ++a) ASSERT_EQ(seen.count(a), 0u) << "format " << format << " gap byte " << a;
        for (uint32_t a = 0x4000; a < 0x4010; ++a) EXPECT_EQ(seen.count(a), 1u) << "format " << format;
        for (uint32_t a = 0x4200; a < 0x4280; ++a) EXPECT_EQ(seen.count(a), 1u) << "format " << format;
        std::vector<uint8_t> back(kPicBufferBytes, 0xEE);
        DataFile in = test::MemoryFile(back, format, 2, 4);
        EXPECT_EQ(test::ReadText(in, text), FILE_OK);
        EXPECT_TRUE(std::equal(back.begin() + 0x4200, back.end(), buffer.begin() + 0x4200)) << "format " << format;
        EXPECT_TRUE(std::equal(back.begin(), back.begin() + 0x4010, buffer.begin())) << "format " << format;
    }
}

TEST(PicFiles, ClearedBufferHasBlankDataEepromBytes) {
    std::vector<uint8_t> buffer(kPicBufferBytes, 0xEE);
    FillBlank(buffer.data(), kPicBufferBytes, 4);
    EXPECT_EQ(buffer[0x400E], 0x3F);
    EXPECT_EQ(buffer[0x400F], 0xFF);
    for (uint32_t a = 0x4200; a < 0x4280; a += 2) {
        ASSERT_EQ(buffer[a], 0x00) << a;
        ASSERT_EQ(buffer[a + 1], 0xFF) << a;
    }
}

}  // namespace
}  // namespace krt
