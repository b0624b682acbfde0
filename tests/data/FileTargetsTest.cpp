// SPDX-License-Identifier: GPL-3.0-or-later
// Files that are not plain data files: no records at all, odd record
// addresses on 16-bit devices, device nodes, FIFOs and standard streams.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "DataTestSupport.h"

namespace krt {
namespace {

namespace fs = std::filesystem;
using test::MemoryFile;
using test::ReadText;

TEST(DataFileRecords, AFileWithoutAnyRecordIsNoHexOrSFile) {
    for (uint32_t format : {FORMAT_INTEL_HEX, FORMAT_MOTOROLA}) {
        std::vector<uint8_t> bytes(0x100, 0xFF);
        DataFile text = MemoryFile(bytes, format);
        EXPECT_EQ(ReadText(text, "just some text\nof two lines\n"), FILE_FORMAT_ERROR) << format;
        DataFile nuls = MemoryFile(bytes, format);
        EXPECT_EQ(ReadText(nuls, std::string(64, '\0')), FILE_FORMAT_ERROR) << format;
    }
    std::vector<uint8_t> bytes(0x100, 0xFF);
    DataFile endOnly = MemoryFile(bytes, FORMAT_INTEL_HEX);
    EXPECT_EQ(ReadText(endOnly, ":00000001FF\n"), FILE_OK) << "an empty but well-formed file";
}

TEST(DataFileRecords, WordRecordAtAnOddAddressExchangesByAddress) {
    std::vector<uint8_t> words(0x20, 0xEE);
    DataFile f = MemoryFile(words, FORMAT_INTEL_HEX, 2, 0x18);
    // Bytes at 0x11 (high byte of word 8), 0x12 and 0x13 (low and high of word 9).
    ASSERT_EQ(ReadText(f, ":03001100010203E6\n:00000001FF\n"), FILE_OK);
    EXPECT_EQ(words[0x10], 1);
    EXPECT_EQ(words[0x11], 0xEE);
    EXPECT_EQ(words[0x12], 3);
    EXPECT_EQ(words[0x13], 2);
}

class DataFileTargets : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("krt-targets-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    DataFile BinaryOf(std::vector<uint8_t>& bytes, const std::string& name) {
        DataFile f = MemoryFile(bytes, FORMAT_BINARY);
        f.length = static_cast<uint32_t>(bytes.size());
        f.fileName = name;
        return f;
    }
    fs::path dir;
};

TEST_F(DataFileTargets, DeviceNodesAreWrittenInPlaceNeverReplaced) {
    std::vector<uint8_t> bytes(0x100, 0x5A);
    DataFile null = BinaryOf(bytes, "/dev/null");
    EXPECT_EQ(null.Write(), FILE_OK);
    EXPECT_TRUE(fs::is_character_file("/dev/null")) << "the device node survives";
    if (fs::exists("/dev/full")) {
        DataFile full = BinaryOf(bytes, "/dev/full");
        EXPECT_EQ(full.Write(), FILE_CREATE_FAILED) << "a write error is no success";
        EXPECT_TRUE(fs::is_character_file("/dev/full"));
    }
}

TEST_F(DataFileTargets, FifoIsNeitherReplacedNorWaitedFor) {
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<uint8_t> bytes(0x10, 0);
    DataFile in = BinaryOf(bytes, fifo.string());
    EXPECT_EQ(in.Read(), FILE_OPEN_FAILED) << "returns at once instead of waiting for a writer";
    EXPECT_TRUE(fs::is_fifo(fifo));
}

}  // namespace
}  // namespace krt
