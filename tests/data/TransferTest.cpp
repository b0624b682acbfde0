// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "DataTestSupport.h"
#include "catalogue/DeviceRecord.h"
#include "data/DataTransfer.h"

#include <csignal>

#include <sys/resource.h>
#include <unistd.h>

namespace krt {
namespace {

namespace fs = std::filesystem;
using test::LogLines;
using test::Slurp;
using test::Spit;

DeviceRecord Rom(uint32_t size = 0x8000) {
    DeviceRecord r;
    r.name = "27C256";
    r.maxsize = size;
    r.bufsize = size;
    r.bytesPerWord = 1;
    return r;
}

class Transfer : public ::testing::Test {
protected:
    void SetUp() override {
        dir = test::ScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(buffer.Allocate(record.bufsize));
        ClearBuffer(buffer, record, range);
    }
    DeviceRecord record = Rom();
    DataBuffer buffer;
    OperationRange range;
    LogLines log;
    fs::path dir;
};

TEST_F(Transfer, ReadLogsWordsAndStatusInBothLanguages) {
    const std::string name = (dir / "DATA.HEX").string();
    Spit(name, ":0400100001020304E2\n:00000001FF\n");
    TransferReport r = ReadDataFile(name, record, buffer, range, 1, &log);
    EXPECT_EQ(r.result, FILE_OK);
    EXPECT_TRUE(r.success);
    EXPECT_EQ(buffer[0x13], 4);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "From file \"" + name + "\", 20 word length data is read.");
    EXPECT_EQ(r.statusText, "File \"" + name + "\" is read");

    r = ReadDataFile(name, record, buffer, range, 0, &log);
    EXPECT_EQ(log.lines[1], name + "から20ワードが読みこまれました");
    EXPECT_EQ(r.statusText, "ファイル\"" + name + "\"を読みこみました");
}

TEST_F(Transfer, ReadFailuresGiveTheirBoxes) {
    struct Case {
        const char* file;
        const char* text;
        int result;
        const char* box;
    };
    const Case cases[] = {
        {"bad.hex", ":0100000011EF\n", FILE_CHECKSUM_ERROR, "File's check sum is wrong."},
        {"short.hex", ":0100\n", FILE_FORMAT_ERROR, "File format is incorrect."},
        {"far.hex", ":020000021000EC\n:0100000011EE\n", FILE_BEYOND_BUFFER, "File size is larger than the device size."},
    };
    for (const Case& c : cases) {
        Spit(dir / c.file, c.text);
        TransferReport r = ReadDataFile((dir / c.file).string(), record, buffer, range, 1, &log);
        EXPECT_EQ(r.result, c.result) << c.file;
        EXPECT_FALSE(r.success);
        EXPECT_EQ(r.messageBox, c.box);
    }
    TransferReport r = ReadDataFile((dir / "missing.hex").string(), record, buffer, range, 0, &log);
    EXPECT_EQ(r.result, FILE_OPEN_FAILED);
    EXPECT_EQ(r.messageBox, "ファイルが見つかりません");
    EXPECT_TRUE(log.lines.empty());
    // A refused file leaves the buffer as it was, its good bytes included.
    EXPECT_EQ(buffer[0], 0xFF);
}

TEST_F(Transfer, ShortBinaryCountsAsRead) {
    Spit(dir / "DATA.BIN", std::string(100, '\x42'));
    TransferReport r = ReadDataFile((dir / "DATA.BIN").string(), record, buffer, range, 1, &log);
    EXPECT_EQ(r.result, FILE_SHORT);
    EXPECT_TRUE(r.success);
    EXPECT_EQ(r.count, 100u);
    EXPECT_NE(log.lines.at(0).find(", 100 word length"), std::string::npos);
}

TEST_F(Transfer, WriteLogsAndReplacesAtomically) {
    const fs::path target = dir / "out.mot";
    Spit(target, "old contents");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    buffer[0] = 0x5A;
    TransferReport r = WriteDataFile(target.string(), record, buffer, range, 1, &log);
    EXPECT_EQ(r.result, FILE_OK);
    EXPECT_EQ(r.count, 0x8000u);
    ASSERT_FALSE(log.lines.empty());
    EXPECT_EQ(log.lines.at(0), "File:" + target.string() + ": 32768 words written.");
    EXPECT_EQ(r.statusText, "File: " + target.string() + " written");
    // In Japanese, the texts as the window has always shown them.
    log.lines.clear();
    r = WriteDataFile(target.string(), record, buffer, range, 0, &log);
    ASSERT_FALSE(log.lines.empty());
    EXPECT_EQ(log.lines.at(0), "File:" + target.string() + "に32768ワード書き込まれました。");
    EXPECT_EQ(r.statusText, "File:" + target.string() + "書きこみました");
    EXPECT_EQ(Slurp(target).substr(17, 12), "S2140000005A");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(Transfer, FailedSaveKeepsTheOldFile) {
    // A directory that cannot be written: the save fails, the file stays.
    if (geteuid() == 0) {
        // root writes anywhere; use a target whose directory does not exist instead.
        TransferReport r = WriteDataFile((dir / "no/such/dir/x.hex").string(), record, buffer, range, 1, &log);
        EXPECT_EQ(r.result, FILE_CREATE_FAILED);
        EXPECT_EQ(r.messageBox, "File create is failed.");
    } else {
        const fs::path locked = dir / "locked";
        fs::create_directories(locked);
        Spit(locked / "x.hex", "precious");
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        TransferReport r = WriteDataFile((locked / "x.hex").string(), record, buffer, range, 1, &log);
        fs::permissions(locked, fs::perms::owner_all);
        EXPECT_EQ(r.result, FILE_CREATE_FAILED);
        EXPECT_EQ(Slurp(locked / "x.hex"), "precious");
    }
    // A read-only file is not replaced behind the user's back.
    if (geteuid() != 0) {
        Spit(dir / "ro.hex", "read only");
        fs::permissions(dir / "ro.hex", fs::perms::owner_read);
        EXPECT_EQ(WriteDataFile((dir / "ro.hex").string(), record, buffer, range, 1, &log).result, FILE_CREATE_FAILED);
        EXPECT_EQ(Slurp(dir / "ro.hex"), "read only");
    }
    // A target that is a directory is not replaced.
    fs::create_directories(dir / "d.hex");
    EXPECT_EQ(WriteDataFile((dir / "d.hex").string(), record, buffer, range, 1, &log).result, FILE_CREATE_FAILED);
    EXPECT_TRUE(fs::is_directory(dir / "d.hex"));
    // Each failure is logged with the file and the system's reason.
    ASSERT_FALSE(log.lines.empty());
    for (const std::string& line : log.lines) EXPECT_NE(line.find("\" was not saved: "), std::string::npos) << line;
    EXPECT_EQ(log.lines.back(), "File \"" + (dir / "d.hex").string() + "\" was not saved: Is a directory");
}

TEST_F(Transfer, WriteFailureMidwayKeepsTheOldFile) {
    // A file-size limit makes the save fail part-way, like a full disk.
    const fs::path target = dir / "keep.hex";
    Spit(target, "precious");
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    TransferReport r = WriteDataFile(target.string(), record, buffer, range, 1, &log);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(r.result, FILE_CREATE_FAILED);
    EXPECT_EQ(r.messageBox, "File create is failed.");
    EXPECT_EQ(Slurp(target), "precious");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no temporary left
    EXPECT_EQ(log.lines, std::vector<std::string>{"File \"" + target.string() + "\" was not saved: File too large"});
}

TEST_F(Transfer, SymlinkKeepsTheLink) {
    const fs::path real = dir / "real.bin";
    Spit(real, "x");
    fs::create_symlink("real.bin", dir / "link.bin");
    range.length = "10";
    EXPECT_EQ(WriteDataFile((dir / "link.bin").string(), record, buffer, range, 1, &log).result, FILE_OK);
    EXPECT_TRUE(fs::is_symlink(dir / "link.bin"));
    EXPECT_EQ(Slurp(real).size(), 0x10u);
}

TEST_F(Transfer, JedecUsesTheRecordLayout) {
    DeviceRecord gal;
    gal.name = "GAL16V8";
    gal.typecode = 5;
    gal.maxsize = gal.bufsize = 2194;
    gal.PinNumber = 20;
    gal.LineNumber = 32;
    DataBuffer fuses;
    ASSERT_TRUE(fuses.Allocate(2194));
    ClearBuffer(fuses, gal, range);
    fuses[5] = 1;
    const std::string name = (dir / "g.jed").string();
    TransferReport w = WriteDataFile(name, gal, fuses, range, 1, &log);
    EXPECT_EQ(w.result, FILE_OK);
    EXPECT_EQ(w.count, 2194u);
    const std::string text = Slurp(name);
    EXPECT_NE(text.find("DEVICE GAL16V8*\nQP20*\nQF2194*\n"), std::string::npos);
    EXPECT_NE(text.find("L0032 "), std::string::npos);
    fuses[5] = 0;
    TransferReport r = ReadDataFile(name, gal, fuses, range, 1, &log);
    EXPECT_EQ(r.result, FILE_OK);
    EXPECT_EQ(fuses[5], 1);
    EXPECT_EQ(r.count, 2194u);
}

// The buffer that exists bounds a read, not the record: a buffer made for a
// smaller device (the record changed, the buffer not yet) takes no byte
// beyond its end, and the refused file leaves it as it was.
TEST_F(Transfer, ReadIsBoundedByTheBufferThatExists) {
    DataBuffer small;
    ASSERT_TRUE(small.Allocate(0x10));
    std::fill(small.data(), small.data() + small.size(), uint8_t{0xFF});
    const std::string name = (dir / "over.hex").string();
    Spit(name, ":02000F00112CB2\n:00000001FF\n");
    TransferReport r = ReadDataFile(name, record, small, range, 1, &log);
    EXPECT_EQ(r.result, FILE_BEYOND_BUFFER);
    EXPECT_EQ(r.messageBox, "File size is larger than the device size.");
    EXPECT_EQ(small[0x0F], 0xFF);
}

}  // namespace
}  // namespace krt
