// SPDX-License-Identifier: GPL-3.0-or-later
// krt batch on the simulated programmer: a series of chips, each from its own
// chip file, with a serial each, a log line each and the series resumed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "base/Log.h"
#include "cli/Cli.h"
#include "cli/PartNumbers.h"
#include "cli/CliSession.h"
#include "data/BufferChecksum.h"
#include "session/Batch.h"
#include "sim/ChipFile.h"
#include "sim/VirtualKrt.h"
#include "support/RecordingPort.h"

namespace krt {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSerialAt = 0x10;

class BatchCommand : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterBatchCommands(table);
        dir = fs::temp_directory_path() / ("krt-batch-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "chips");
        std::mt19937 random(5);
        data.resize(0x2000);
        for (auto& b : data) b = static_cast<uint8_t>(random() | 0x01);
        // The serial's place is left blank in the file; the bad chip's dead
        // cell at 0 must hold a 0 bit to show.
        std::fill(data.begin() + kSerialAt, data.begin() + kSerialAt + 4, 0xFF);
        data[0] = 0x00;
        Write("fw.bin", data);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    int Batch(uint32_t count, const std::string& serial, uint32_t bad = 0, bool force = false,
              bool stopOnFailure = false, const std::string& mode = "auto") {
        session = std::make_unique<CliSession>();
        auto collecting = std::make_unique<StoppingLog>();
        collecting->at = stopAt;
        log = collecting.get();
        session->log = std::move(collecting);
        CliOptions& o = session->options;
        o.port = "sim";
        o.simStrict = true;
        o.catalogue = std::string(KRT_SOURCE_DIR) + "/devices";
        o.batchCount = count;
        o.batchSerial = serial;
        o.batchLog = Path("run.log");
        o.simChipDir = Path("chips");
        o.simBadChip = bad;
        o.force = force;
        o.stopOnFailure = stopOnFailure;
        o.length = length;
        o.restartSeries = restart;
        if (!logDir.empty()) o.batchLog = Path(logDir + "/run.log");
        const int status = table.front().run(*session, {mode, "EPROM", "Intel", "27C64", Path("fw.bin")});
        if (session->Simulator()) {
            EXPECT_FALSE(session->Simulator()->HasBreaches());
        }
        return status;
    }

    std::vector<uint8_t> Cells(uint32_t index) const {
        ChipImage image;
        std::string error;
        char name[32];
        std::snprintf(name, sizeof name, "chip-%04u.chip", index);
        EXPECT_TRUE(ReadChipImage((dir / "chips" / name).string(), image, error)) << error;
        return image.blobs["cells"];
    }
    std::vector<uint8_t> Expected(uint32_t serial) const {
        std::vector<uint8_t> image = data;
        for (int i = 0; i < 4; ++i) image[kSerialAt + i] = static_cast<uint8_t>(serial >> (8 * i));
        return image;
    }
    std::vector<std::string> LogLines() const {
        std::ifstream in(Path("run.log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    std::string State() const {
        std::ifstream in(Path("run.log.state"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // The user's Ctrl-C as the line that begins with stopAt is shown.
    struct StoppingLog final : test::CollectingLog {
        std::string at;
        void line(std::string_view utf8) override {
            CollectingLog::line(utf8);
            if (!at.empty() && utf8.rfind(at, 0) == 0) std::raise(SIGINT);
        }
    };
    std::string stopAt;
    std::string length;  // --length
    bool restart = false;  // --restart-series
    std::string logDir;  // the log in this folder instead
    std::vector<CliCommand> table;
    std::unique_ptr<CliSession> session;
    test::CollectingLog* log = nullptr;
    fs::path dir;
    std::vector<uint8_t> data;
};

TEST_F(BatchCommand, FiveChipsOneBadThenResumedAndRestarted) {
    // Chip 3 is bad: the batch goes on and ends with that chip's status.
    EXPECT_EQ(Batch(5, "10:4:1000", 3), 3);
    for (uint32_t i = 1; i <= 5; ++i) {
        if (i == 3) {
            EXPECT_NE(Cells(i), Expected(1002)) << "the bad chip";
            continue;
        }
        EXPECT_EQ(Cells(i), Expected(1000 + i - 1)) << "chip " << i;
    }
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 5u);
    for (uint32_t i = 1; i <= 5; ++i) {
        const std::string& line = lines[i - 1];
        EXPECT_NE(line.find("\"index\":" + std::to_string(i) + ","), std::string::npos) << line;
        EXPECT_NE(line.find("\"serial\":\"" + std::to_string(1000 + i - 1) + "\""), std::string::npos) << line;
        EXPECT_NE(line.find("\"device\":\"EPROM Intel 27C64\""), std::string::npos) << line;
        if (i == 3) {
            EXPECT_NE(line.find("\"result\":3,"), std::string::npos) << line;
            EXPECT_NE(line.find("\"chip_checksum\":null"), std::string::npos) << line;
        } else {
            EXPECT_NE(line.find("\"result\":0,"), std::string::npos) << line;
            // The checksum read back is the image's with this chip's serial.
            const std::vector<uint8_t> image = Expected(1000 + i - 1);
            const std::string sum = Format("\"chip_checksum\":\"%04X\"", ByteSum(image.data(), image.size()));
            EXPECT_NE(line.find(sum), std::string::npos) << line << " wants " << sum;
        }
        EXPECT_NE(line.find(Format("\"file_checksum\":\"%04X\"", ByteSum(data.data(), data.size()))),
                  std::string::npos)
            << line;
    }
    EXPECT_NE(State().find("next 1005\nindex 6\n"), std::string::npos) << State();

    // Started again without START: the series goes on, nothing repeated or skipped.
    EXPECT_EQ(Batch(2, "10:4"), 0);
    EXPECT_EQ(Cells(6), Expected(1005));
    EXPECT_EQ(Cells(7), Expected(1006));
    lines = LogLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_NE(lines[6].find("\"index\":7,\"device\""), std::string::npos) << lines[6];
    EXPECT_NE(lines[6].find("\"serial\":\"1006\""), std::string::npos) << lines[6];

    // A START restarts the numbers only when asked to; the log's chips keep counting.
    EXPECT_EQ(Batch(1, "10:4:1"), kExitUsage);
    restart = true;
    EXPECT_EQ(Batch(1, "10:4:1"), 0);
    EXPECT_EQ(Cells(8), Expected(1));
    EXPECT_NE(State().find("next 2\nindex 9\n"), std::string::npos) << State();
}

TEST_F(BatchCommand, StopOnFailureEndsAtTheBadChip) {
    // Chip 2 is bad: chips 3 and 4 are never taken.
    EXPECT_EQ(Batch(4, "10:4:7", 2, false, true, "write"), 3);
    EXPECT_EQ(LogLines().size(), 2u);
    EXPECT_FALSE(fs::exists(dir / "chips" / "chip-0003.chip"));
    // The bad chip's serial is used up: the next chip gets the one after it.
    EXPECT_NE(State().find("next 9\n"), std::string::npos) << State();
}

TEST_F(BatchCommand, SerialOverFileDataIsRefusedUnlessForced) {
    // 0x20 holds the file's data.
    EXPECT_EQ(Batch(1, "20:2:5"), kExitUsage);
    EXPECT_FALSE(fs::exists(Path("run.log")));
    EXPECT_FALSE(fs::exists(dir / "chips" / "chip-0001.chip"));
    // Beyond the device: never written, so refused even with --force.
    EXPECT_EQ(Batch(1, "1FFF:2:5", 0, true), kExitUsage);
    EXPECT_EQ(Batch(1, "20:2:5", 0, true), 0);
    std::vector<uint8_t> expected = data;
    expected[0x20] = 5;
    expected[0x21] = 0;
    EXPECT_EQ(Cells(1), expected);
}

TEST_F(BatchCommand, FirstRunWithoutStartIsRefused) {
    EXPECT_EQ(Batch(1, "10:4"), kExitUsage);
    EXPECT_FALSE(fs::exists(Path("run.log.state")));
}

// The series' rules, each row a mistake that would give two chips one
// serial or a chip half a serial: refused with 64 before any chip, or the
// serials the chips get.
TEST_F(BatchCommand, SeriesRulesGiveEachChipItsOwnWholeSerial) {
    struct Run {
        uint32_t count;
        const char* serial;
        const char* length;
        bool restart;
        int status;
    };
    struct Case {
        const char* mistake;
        std::vector<Run> runs;
        std::vector<uint32_t> serials;  // of chips 1, 2...
        const char* named;  // in the refusal
    };
    const Case cases[] = {
        {"a serial straddling the range end taken", {{1, "10:4:1", "12", false, kExitUsage}}, {}, "13 lies outside"},
        {"a serial one byte past the range end taken", {{1, "10:4:1", "13", false, kExitUsage}}, {},
         "13 lies outside"},
        {"file data in the serial's last byte overwritten", {{1, "10:5:1", "", false, kExitUsage}}, {}, "(at 14)"},
        {"a resume that forgets its STEP", {{2, "10:4:1:2", "", false, 0}, {2, "10:4", "", false, 0}}, {1, 3, 5, 7}, ""},
        {"going on at the next START forgets the STEP",
         {{2, "10:4:1:2", "", false, 0}, {2, "10:4:5", "", false, 0}}, {1, 3, 5, 7}, ""},
        {"another STEP taken on a resume", {{2, "10:4:1:2", "", false, 0}, {1, "10:4:5:1", "", false, kExitUsage}},
         {1, 3}, "1 to 3 by 2"},
        {"the same START run twice", {{3, "10:4:1000", "", false, 0}, {1, "10:4:1000", "", false, kExitUsage}},
         {1000, 1001, 1002}, "1000 to 1002"},
        {"--restart-series not honoured", {{1, "10:4:1000", "", false, 0}, {1, "10:4:1000", "", true, 0}},
         {1000, 1000}, ""},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir / "chips");
        fs::remove(Path("run.log"));
        fs::remove(Path("run.log.state"));
        std::string err;
        for (const Run& run : c.runs) {
            length = run.length;
            restart = run.restart;
            testing::internal::CaptureStderr();
            EXPECT_EQ(Batch(run.count, run.serial), run.status) << c.mistake << ": " << run.serial;
            err = testing::internal::GetCapturedStderr();
        }
        EXPECT_NE(err.find(c.named), std::string::npos) << c.mistake << ": " << err;
        for (uint32_t i = 1; i <= c.serials.size(); ++i) EXPECT_EQ(Cells(i), Expected(c.serials[i - 1])) << c.mistake;
        EXPECT_FALSE(fs::exists(dir / "chips" / SimChipSeries::FileName(c.serials.size() + 1))) << c.mistake;
    }
}

// What the log and the state must know: each row a way a chip could carry
// a serial that the next run hands out again, or a run a script takes for
// a finished one.
TEST_F(BatchCommand, NoChipCarriesASerialTheRecordsDoNotKnow) {
    // The log's folder is missing: refused before chip 1 is touched.
    logDir = "missing";
    EXPECT_EQ(Batch(2, "10:4:1"), kExitCannotCreate);
    EXPECT_FALSE(fs::exists(dir / "chips" / SimChipSeries::FileName(1)));
    logDir.clear();

    // Stopped after chip 1: exit 1, the state past every chip taken.
    SignalGuard guard;  // a late signal is then only a flag
    std::thread user([this] {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (LogLines().empty() && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
        std::raise(SIGINT);
    });
    const int status = Batch(50, "10:4:1");
    user.join();
    EXPECT_EQ(status, 1);
    ASSERT_FALSE(log->lines().empty());
    EXPECT_EQ(log->lines().back().rfind("batch: stopped by the user", 0), 0u) << log->lines().back();
    const size_t chips = LogLines().size();
    EXPECT_LT(chips, 50u);
    EXPECT_NE(State().find(Format("next %zu\n", chips + 1)), std::string::npos) << State();
}

// A batch the user stopped ends 1 wherever the stop came, also between two
// chips that both succeeded, so that a script tells it from a finished one.
TEST_F(BatchCommand, AStoppedBatchEndsOneWhereverTheStopCame) {
    for (const char* at : {"chip 1: OK", "chip 2: serial"}) {
        SCOPED_TRACE(at);
        fs::remove(Path("run.log"));
        fs::remove(Path("run.log.state"));
        SignalGuard guard;  // the signal is then only a flag
        stopAt = at;
        EXPECT_EQ(Batch(5, "10:4:1"), 1);
        stopAt.clear();
        ASSERT_FALSE(log->lines().empty());
        EXPECT_EQ(log->lines().back().rfind("batch: stopped by the user", 0), 0u) << log->lines().back();
    }
}

// A part number stands for its device only: 2764 is the prefix of 2764A,
// and each names its own.
TEST_F(BatchCommand, PartNumberStandsForTheDevice) {
    CliSession s;
    s.options.catalogue = std::string(KRT_SOURCE_DIR) + "/devices";
    for (const char* part : {"2764A", "2764"}) {
        std::vector<std::string> args = {"auto", part, "fw.bin"};
        ASSERT_EQ(ExpandPartNumber(s, "batch", args), 0) << part;
        ASSERT_EQ(args.size(), 5u) << part;
        EXPECT_EQ(args[0], "auto");
        EXPECT_EQ(args[3], part);
        EXPECT_EQ(args[4], "fw.bin");
    }
}

}  // namespace
}  // namespace krt
