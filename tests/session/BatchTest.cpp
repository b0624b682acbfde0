// SPDX-License-Identifier: GPL-3.0-or-later
// The serial's encodings, its option text and the state file of a batch.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "link/Protocol.h"
#include "session/Batch.h"
#include "session/Session.h"

namespace krt {
namespace {

namespace fs = std::filesystem;

SerialFormat Place(SerialEncoding encoding, uint32_t width) {
    SerialFormat f;
    f.used = true;
    f.width = width;
    f.encoding = encoding;
    return f;
}

TEST(BatchSerial, EncodingsPlaceTheBytesAndRefuseWhatDoesNotFit) {
    struct Case {
        SerialEncoding encoding;
        uint32_t width;
        uint64_t value;
        bool fits;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {SerialEncoding::Le, 4, 0x01020304, true, {0x04, 0x03, 0x02, 0x01}},
        {SerialEncoding::Be, 4, 0x01020304, true, {0x01, 0x02, 0x03, 0x04}},
        {SerialEncoding::Le, 1, 255, true, {0xFF}},
        {SerialEncoding::Le, 1, 256, false, {}},
        {SerialEncoding::Be, 8, 0xFFFFFFFFFFFFFFFFull, true, std::vector<uint8_t>(8, 0xFF)},
        {SerialEncoding::Bcd, 3, 123456, true, {0x12, 0x34, 0x56}},
        {SerialEncoding::Bcd, 2, 7, true, {0x00, 0x07}},
        {SerialEncoding::Bcd, 3, 1234567, false, {}},
        {SerialEncoding::Ascii, 5, 42, true, {'0', '0', '0', '4', '2'}},
        {SerialEncoding::Ascii, 2, 100, false, {}},
        {SerialEncoding::Ascii, 3, 100, true, {'1', '0', '0'}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes;
        const bool fits = EncodeSerial(Place(c.encoding, c.width), c.value, bytes);
        EXPECT_EQ(fits, c.fits) << c.value << " in " << c.width;
        if (c.fits) {
            EXPECT_EQ(bytes, c.bytes) << c.value;
        }
    }
}

TEST(BatchSerial, OptionTextIsParsedAndBadTextRefused) {
    SerialFormat f;
    std::string error;
    ASSERT_TRUE(ParseSerialFormat("7FF0:4:1000:5:be", f, error)) << error;
    EXPECT_EQ(f.address, 0x7FF0u);
    EXPECT_EQ(f.width, 4u);
    EXPECT_TRUE(f.startGiven);
    EXPECT_EQ(f.start, 1000u);
    EXPECT_EQ(f.step, 5u);
    EXPECT_EQ(f.encoding, SerialEncoding::Be);
    EXPECT_EQ(SerialFormatText(f), "7FF0:4:1000:5:be");

    ASSERT_TRUE(ParseSerialFormat("10:10:1:bcd", f, error)) << error;
    EXPECT_EQ(f.width, 10u);

    // Without START the series of the log goes on.
    ASSERT_TRUE(ParseSerialFormat("10:6:ascii", f, error)) << error;
    EXPECT_FALSE(f.startGiven);
    EXPECT_EQ(f.encoding, SerialEncoding::Ascii);

    for (const char* bad : {"10", "10:0:1", "10:9:1", "zz:4:1", "10:4:1:0", "10:2:70000", "10:4:x", "10:4:1:1:1",
                            "10:11:1:bcd"}) {
        error.clear();
        EXPECT_FALSE(ParseSerialFormat(bad, f, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(BatchState, RoundTripsAndRefusesAForeignFile) {
    const fs::path dir = fs::temp_directory_path() / ("krt-batch-state-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "log.state").string();
    BatchState state;
    state.serial = "10:4:1000:1:le";
    state.nextSerial = 1005;
    state.nextIndex = 6;
    std::string error;
    ASSERT_TRUE(WriteBatchState(path, state, error)) << error;
    BatchState back;
    ASSERT_TRUE(ReadBatchState(path, back, error)) << error;
    EXPECT_EQ(back.serial, state.serial);
    EXPECT_EQ(back.nextSerial, 1005u);
    EXPECT_EQ(back.nextIndex, 6u);
    EXPECT_FALSE(fs::exists(path + ".tmp"));

    // A missing file is no error; a file of something else is.
    EXPECT_FALSE(ReadBatchState((dir / "none").string(), back, error));
    EXPECT_TRUE(error.empty());
    std::ofstream(path) << "hello\n";
    EXPECT_FALSE(ReadBatchState(path, back, error));
    EXPECT_FALSE(error.empty());
    for (const char* cut : {"serial 10:4:1:1:le\nindex 3\n", "serial 10:4:1:1:le\nnext 3\n",
                            "serial 10:4:1:1:le\nnext 3\nindex 0\n"}) {
        std::ofstream(path) << cut;
        EXPECT_FALSE(ReadBatchState(path, back, error)) << cut;
    }
    fs::remove_all(dir);
}

TEST(BatchLog, LineIsOneJsonObjectWithEveryField) {
    BatchChip chip;
    chip.index = 3;
    chip.time = "2024-01-02T03:04:05Z";
    chip.serial = "1002";
    chip.fileChecksum = 0x1A2B;
    chip.chipChecksumRead = false;
    chip.result = 3;
    chip.seconds = 1.5;
    EXPECT_EQ(BatchLogLine(chip, "EPROM \"X\" 27C64"),
              "{\"time\":\"2024-01-02T03:04:05Z\",\"index\":3,\"device\":\"EPROM \\\"X\\\" 27C64\","
              "\"file_checksum\":\"1A2B\",\"serial\":\"1002\",\"chip_checksum\":null,\"result\":3,"
              "\"seconds\":1.500}");
}

// A face that records what the state file says while each chip is being
// programmed, and can ask to stop after some chips.
class WatchingFace final : public BatchFace {
public:
    explicit WatchingFace(std::string statePath, uint32_t stopAfter = 0)
        : statePath_(std::move(statePath)), stopAfter_(stopAfter) {}
    bool NextChip(uint32_t) override { return true; }
    uint8_t RunRequest(LinkRequest&) override {
        BatchState state;
        std::string error;
        nextDuringChip.push_back(ReadBatchState(statePath_, state, error) ? state.nextSerial : 0);
        return RESULT_OK;
    }
    bool StopRequested() override { return stopAfter_ != 0 && finished >= stopAfter_; }
    void ChipFinished(const BatchChip&) override { ++finished; }
    std::vector<uint64_t> nextDuringChip;
    uint32_t finished = 0;

private:
    std::string statePath_;
    uint32_t stopAfter_;
};

// Each row a way a chip could carry a serial that the log and its state do
// not know, or a stopped batch that would look finished.
TEST(BatchRun, EverySerialIsRecordedBeforeItsChipAndAStopIsSaid) {
    const fs::path dir = fs::temp_directory_path() / ("krt-batch-run-" + std::to_string(::getpid()));
    struct Case {
        const char* mistake;
        const char* blocked;  // a folder where the log (+ "") or its state's temporary file is written
        uint32_t stopAfter;
        uint32_t done;
        bool problem;
        bool stopped;
    };
    const Case cases[] = {
        {"the serial recorded after its chip", nullptr, 0, 2, false, false},
        {"the log not checked before chip 1", "", 0, 0, true, false},
        {"the state not checked before chip 1", ".state.tmp", 0, 0, true, false},
        {"a stop not reported", nullptr, 1, 1, false, true},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        const std::string log = (dir / "run.log").string();
        if (c.blocked) fs::create_directories(log + c.blocked);
        Session session;
        session.record.type = "EPROM";
        session.record.name = "27C64";
        session.record.maxsize = session.record.bufsize = 0x100;
        ASSERT_TRUE(session.buffer.Allocate(0x100));
        std::fill(session.buffer.data(), session.buffer.data() + 0x100, 0xFF);
        session.range.start = "000000";
        session.range.length = "000100";
        BatchSettings settings;
        settings.automatic = false;
        settings.count = 2;
        settings.logPath = log;
        std::string error;
        ASSERT_TRUE(ParseSerialFormat("10:2:5:3", settings.serial, error)) << error;
        Batch batch(session, settings);
        ASSERT_TRUE(batch.Prepare(error)) << c.mistake << ": " << error;
        WatchingFace face(BatchStatePath(log), c.stopAfter);
        const BatchSummary summary = batch.Run(face);
        EXPECT_EQ(summary.done, c.done) << c.mistake;
        EXPECT_EQ(!summary.problem.empty(), c.problem) << c.mistake << ": " << summary.problem;
        EXPECT_EQ(summary.stopped, c.stopped) << c.mistake;
        // Write, verify and the read-back of each chip: the state already
        // past the chip's serial (5, then 8) throughout.
        std::vector<uint64_t> expected;
        for (uint32_t chip = 0; chip < c.done; ++chip) expected.insert(expected.end(), 3, 8 + 3 * chip);
        EXPECT_EQ(face.nextDuringChip, expected) << c.mistake;
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace krt
