// krt read/write/verify/blank/erase/option/auto on the simulated programmer,
// through the command table, one session per run as separate krt runs are.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "cli/Cli.h"
#include "cli/Session.h"
#include "sim/VirtualKrt.h"
#include "support/RecordingPort.h"

namespace krt {
namespace {

namespace fs = std::filesystem;
using test::Lines;

class DeviceCommands : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterDeviceCommands(table);
        dir = fs::temp_directory_path() /
              ("krt-device-commands-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::mt19937 random(11);
        data.resize(0x8000);
        for (auto& b : data) b = static_cast<uint8_t>(random());
        WriteFile(Path("some.bin"), data);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    static void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<std::streamsize>(bytes.size()));
    }
    static std::vector<uint8_t> ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }

    // A fresh session, as one run of krt has, with the log collected.
    CliSession& NewSession(const std::string& chip = "c.chip", void (*configure)(CliOptions&) = nullptr) {
        session = std::make_unique<CliSession>();
        auto collecting = std::make_unique<test::CollectingLog>();
        log = collecting.get();
        session->log = std::move(collecting);
        session->options.port = "sim";
        session->options.catalogue = std::string(KRT_SOURCE_DIR) + "/devices";
        if (!chip.empty()) session->options.simChip = Path(chip);
        if (configure) configure(session->options);
        return *session;
    }
    int Execute(const std::string& name, const std::vector<std::string>& args) {
        auto it = std::find_if(table.begin(), table.end(), [&](const CliCommand& c) { return name == c.name; });
        EXPECT_NE(it, table.end());
        return it->run(*session, args);
    }
    int Run(const std::string& name, const std::vector<std::string>& args, const std::string& chip = "c.chip",
            void (*configure)(CliOptions&) = nullptr) {
        NewSession(chip, configure);
        return Execute(name, args);
    }
    // The last run's simulated programmer: a run that failed before the
    // port opened has none, so check it before use.
    VirtualKrt* Sim() const { return session ? session->Simulator() : nullptr; }
    bool Has(const std::string& line) const {
        Lines lines = log->lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // The lines that belong to the operation commands, in order.
    Lines ResultLines() const {
        static const std::vector<std::string> known = {
            "WRITE operation start", "WRITE operation is successful", "READ operation start",
            "READ operation is successful", "VERIFY operation start", "VERIFY operation is successful.",
            "BLANK check operation start", "This device is BLANK", "This device is NOT BLANK",
            "AUTO WRITE operation start", "AUTO WRITE operation is successful",
            "Errors were found through VERIFY operation"};
        Lines out;
        for (const auto& l : log->lines())
            if (std::find(known.begin(), known.end(), l) != known.end()) out.push_back(l);
        return out;
    }

    std::vector<CliCommand> table;
    std::unique_ptr<CliSession> session;
    test::CollectingLog* log = nullptr;
    fs::path dir;
    std::vector<uint8_t> data;
};

const std::vector<std::string> k27C256 = {"EPROM", "AMD", "27C256"};

std::vector<std::string> With(std::vector<std::string> device, const std::string& file) {
    device.push_back(file);
    return device;
}

TEST_F(DeviceCommands, WriteReadVerifyRoundTripThroughTheChipFile) {
    EXPECT_EQ(Run("write", With(k27C256, Path("some.bin"))), 0);
    EXPECT_EQ(ResultLines(), (Lines{"WRITE operation start", "WRITE operation is successful"}));
    EXPECT_TRUE(Has("書きこみはエラーなく行われました。"));
    ASSERT_NE(Sim(), nullptr);
    EXPECT_TRUE(Sim()->ResultOkIndicator());
    EXPECT_FALSE(Sim()->ResultFailIndicator());

    EXPECT_EQ(Run("read", With(k27C256, Path("back.bin"))), 0);
    EXPECT_EQ(ResultLines(), (Lines{"READ operation start", "READ operation is successful"}));
    EXPECT_TRUE(Has("Reading from device to buffer has finished."));
    EXPECT_EQ(ReadFile(Path("back.bin")), data);

    EXPECT_EQ(Run("verify", With(k27C256, Path("some.bin"))), 0);
    EXPECT_EQ(ResultLines(), (Lines{"VERIFY operation start", "VERIFY operation is successful."}));

    EXPECT_EQ(Run("blank", k27C256), 3);
    EXPECT_EQ(ResultLines(), (Lines{"BLANK check operation start", "This device is NOT BLANK"}));
    EXPECT_TRUE(Has("エラーが多すぎるので中止しました"));  // 100 errors permitted by default
    ASSERT_NE(Sim(), nullptr);
    EXPECT_TRUE(Sim()->ResultFailIndicator());
}

TEST_F(DeviceCommands, WithoutAChipFileTheSocketHoldsABlankChipOfTheDevice) {
    EXPECT_EQ(Run("blank", k27C256, ""), 0);
    EXPECT_EQ(ResultLines(), (Lines{"BLANK check operation start", "This device is BLANK"}));
    EXPECT_EQ(Run("write", With(k27C256, Path("some.bin")), ""), 0);
    EXPECT_EQ(Run("blank", k27C256, ""), 0);  // nothing kept between runs
    EXPECT_EQ(Run("blank", {"EPROM", "Intel", "27C1024"}, ""), 0);
}

TEST_F(DeviceCommands, ChipFileOfAnotherDeviceIsRefused) {
    ASSERT_EQ(Run("write", With(k27C256, Path("some.bin"))), 0);
    const auto before = ReadFile(Path("c.chip"));
    EXPECT_NE(Run("blank", {"EPROM", "AMD", "27C512"}), 0);
    EXPECT_FALSE(Has("BLANK check operation start"));
    EXPECT_EQ(ReadFile(Path("c.chip")), before);
}

TEST_F(DeviceCommands, AutoWriteRunsBlankWriteVerify) {
    EXPECT_EQ(Run("auto", With(k27C256, Path("some.bin"))), 0);
    EXPECT_EQ(ResultLines(), (Lines{"AUTO WRITE operation start", "This device is BLANK",
                                    "WRITE operation is successful", "VERIFY operation is successful.",
                                    "AUTO WRITE operation is successful"}));
    // On a programmed chip the blank check fails and nothing is written.
    EXPECT_EQ(Run("auto", With(k27C256, Path("some.bin"))), 3);
    EXPECT_EQ(ResultLines(), (Lines{"AUTO WRITE operation start", "This device is NOT BLANK"}));
}

TEST_F(DeviceCommands, RangeAndErrorOptions) {
    // The file fills the buffer over the whole device; the range picks its end.
    ASSERT_EQ(Run("write", With(k27C256, Path("some.bin")), "c.chip", [](CliOptions& o) {
                  o.start = "7FF0";
                  o.length = "100";
              }),
              0);
    EXPECT_TRUE(Has("Range 007FF0+000100 reaches beyond the device end 008000: cut to 000010 addresses"));
    EXPECT_EQ(Run("blank", k27C256, "c.chip", [](CliOptions& o) { o.length = "7FF0"; }), 0);
    EXPECT_EQ(Run("blank", k27C256, "c.chip", [](CliOptions& o) {
                  o.start = "7FF0";
                  o.errors = "2";
              }),
              3);
    size_t blankLines = 0;
    for (const auto& l : log->lines()) blankLines += l.rfind("ブランクチェックエラー", 0) == 0;
    EXPECT_LE(blankLines, 2u);
    EXPECT_TRUE(Has("エラーが多すぎるので中止しました"));
    EXPECT_EQ(Run("blank", k27C256, "c.chip", [](CliOptions& o) { o.errors = "many"; }), 64);
}

TEST_F(DeviceCommands, FailedReadLeavesTheFileAndUnsupportedOperationsSayWhy) {
    WriteFile(Path("keep.bin"), {1, 2, 3});
    // A programmer that stays busy is not found at start-up: --force runs the read anyway.
    EXPECT_EQ(Run("read", With(k27C256, Path("keep.bin")), "c.chip",
                  [](CliOptions& o) {
                      o.simFaults = {"stays-busy"};
                      o.force = true;
                  }),
              4);
    EXPECT_TRUE(Has("READ operation is failed. Because \"Fatal error occured\"."));
    EXPECT_EQ(ReadFile(Path("keep.bin")), (std::vector<uint8_t>{1, 2, 3}));

    EXPECT_EQ(Run("erase", k27C256), 9);
    EXPECT_TRUE(Has("ERASE operation is failed. Because \"Unsupported operation in this device\"."));
    EXPECT_EQ(Run("option", k27C256), 9);
    EXPECT_EQ(Run("write", With(k27C256, Path("missing.bin"))), 66);
    EXPECT_EQ(Run("write", k27C256), 64);
    EXPECT_EQ(Run("blank", {"EPROM", "AMD", "27C999"}), 66);
    EXPECT_TRUE(Has("Device is not selected."));
}

TEST_F(DeviceCommands, JapaneseResultMessages) {
    EXPECT_EQ(Run("blank", k27C256, "", [](CliOptions& o) { o.language = 0; }), 0);
    EXPECT_TRUE(Has("ブランクチェック開始"));
    EXPECT_TRUE(Has("デバイスはブランクです"));
}

TEST_F(DeviceCommands, InterruptCancelsTheRunningOperation) {
    LinkContext& link = NewSession().link;
    std::thread interrupter([&link] {
        // Wait for the operation to be under way, then press Ctrl-C.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (link.OperationProgress() <= 64) {
            if (std::chrono::steady_clock::now() > giveUp) return;
            std::this_thread::yield();
        }
        std::raise(SIGINT);
    });
    const int status = Execute("write", With(k27C256, Path("some.bin")));
    interrupter.join();
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Has("WRITE operation is failed. Because \"Operation is canceled\""));
    ASSERT_NE(Sim(), nullptr);
    EXPECT_TRUE(Sim()->ResultFailIndicator());
}

}  // namespace
}  // namespace krt
