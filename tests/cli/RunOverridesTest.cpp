// SPDX-License-Identifier: GPL-3.0-or-later
// krt --wait-mode and --byte-write: they change what the run does (the
// simulated programmer's time), and a value krt does not know is refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "support/CliCommandTest.h"

namespace krt {
namespace {

namespace fs = std::filesystem;

class RunOverrides : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("krt-overrides-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::ofstream(dir / "settings.conf") << "[General]\n";
        std::mt19937 random(7);
        std::ofstream data(dir / "d.bin", std::ios::binary);
        for (int i = 0; i < 0x100; ++i) data.put(static_cast<char>(random()));
    }
    void TearDown() override { fs::remove_all(dir); }

    // krt on the simulated programmer, strict, with a fresh chip each run.
    // Without a range of its own the run is given --length 100 (d.bin's size).
    int Krt(const std::vector<std::string>& options, const std::vector<std::string>& command, bool range = true) {
        std::vector<std::string> line = {"--settings", (dir / "settings.conf").string(), "--catalogue",
                                         std::string(KRT_SOURCE_DIR) + "/devices", "--port", "sim", "--sim-strict",
                                         "--sim-chip", (dir / ("c" + std::to_string(runs++) + ".chip")).string()};
        if (range) line.insert(line.end(), {"--length", "100"});
        line.insert(line.end(), options.begin(), options.end());
        line.insert(line.end(), command.begin(), command.end());
        return test::RunCliCaptured(line, out, err);
    }
    // Seconds on the time line the simulated run ends with; -1 without one.
    double Seconds() const {
        static const std::string kTime = "(the simulator's virtual time): ";
        const size_t at = err.rfind(kTime);
        if (at == std::string::npos) return -1;
        return std::strtod(err.c_str() + at + kTime.size(), nullptr);
    }
    std::vector<std::string> Write(const char* type, const char* maker, const char* name) const {
        return {"write", type, maker, name, (dir / "d.bin").string()};
    }

    fs::path dir;
    int runs = 0;
    std::string out, err;
};

TEST_F(RunOverrides, WaitModeChangesHowAParallelEepromIsWaitedFor) {
    const auto write = Write("EEPROM", "Atmel", "AT28C256");
    ASSERT_EQ(Krt({}, write), 0) << err;
    const double polled = Seconds();
    ASSERT_EQ(Krt({"--wait-mode", "sleep"}, write), 0) << err;
    const double slept = Seconds();
    ASSERT_EQ(Krt({"--wait-mode", "4"}, write), 0) << err;
    EXPECT_EQ(Seconds(), slept) << "the number names the same mode";
    ASSERT_GT(polled, 0) << err;
    // Four pages: each sleeps 20 ms, where polling ends with the chip's cycle.
    EXPECT_GE(slept, 0.08);
    EXPECT_LT(polled, slept);
}

TEST_F(RunOverrides, ByteWriteWritesATwoWirePartAByteACycle) {
    const auto write = Write("SEEPROM", "Atmel", "AT24C02");
    ASSERT_EQ(Krt({}, write), 0) << err;
    const double paged = Seconds();
    ASSERT_EQ(Krt({"--byte-write"}, write), 0) << err;
    const double bytewise = Seconds();
    ASSERT_GT(paged, 0) << err;
    // 256 write cycles of the chip against 32 pages.
    EXPECT_GT(bytewise, 4 * paged);
}

TEST_F(RunOverrides, ChangedOnlyLeavesThePagesThatHoldTheirData) {
    const auto write = Write("EEPROM", "Atmel", "AT28C256");
    ASSERT_EQ(Krt({}, write), 0) << err;
    const std::string chip = (dir / ("c" + std::to_string(runs - 1) + ".chip")).string();
    std::vector<std::string> line = {"--settings", (dir / "settings.conf").string(), "--catalogue",
                                     std::string(KRT_SOURCE_DIR) + "/devices", "--port", "sim", "--sim-strict",
                                     "--sim-chip", chip, "--length", "100"};
    for (const char* option : {"", "--changed-only"}) {
        std::vector<std::string> run = line;
        if (*option) run.push_back(option);
        run.insert(run.end(), write.begin(), write.end());
        ASSERT_EQ(test::RunCliCaptured(run, out, err), 0) << err;
        const bool skipped = out.find("4 pages already held their data and were not written") != std::string::npos;
        EXPECT_EQ(skipped, *option != 0) << option << out;
    }
}

// Each row a way the range or the overrides could mislead: what the run
// comes to. d.bin holds 100h bytes.
TEST_F(RunOverrides, RangesAndOverridesEndAsAsked) {
    struct Case {
        const char* mistake;
        std::vector<std::string> options;
        const char* name;  // a two-wire EEPROM of Atmel
        int status;
        const char* says;
        bool range = true;  // false: no --length of the fixture's
    };
    const Case cases[] = {
        {"--length 0 read as an empty binary file", {"--length", "0"}, "AT24C02", 2, ""},
        {"a range to the device's end not consent to cut", {"--length", "80"}, "AT24C01", 0, "Only the first 128"},
        {"opposite overrides taken silently", {"--page-write", "--byte-write"}, "AT24C02", kExitUsage,
         "--page-write and --byte-write"},
        {"--no-verify still reads back (it is then taken as written)", {"--no-verify", "--sim-fault",
         "write-protect"}, "AT24C02", 0, ""},
        {"the read-back skipped without --no-verify", {"--sim-fault", "write-protect"}, "AT24C02", 3, ""},
        {"a larger file without a range taken", {}, "AT24C01", 66, "give the length with --length", false},
        {"a range from a start to the device's end not consent to cut", {"--start", "0"}, "AT24C01", 0,
         "Only the first 128", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Krt(c.options, Write("SEEPROM", "Atmel", c.name), c.range), c.status) << c.mistake << "\n" << err;
        EXPECT_NE((out + err).find(c.says), std::string::npos) << c.mistake << "\n" << out << err;
    }
}

TEST_F(RunOverrides, ABadWaitModeIsRefused) {
    const auto write = Write("EEPROM", "Atmel", "AT28C256");
    for (const std::vector<std::string>& options :
         std::vector<std::vector<std::string>>{{"--wait-mode", "5"},
                                               {"--wait-mode", "fast"},
                                               {"--wait-mode", ""},
                                               {"--wait-mode", "03"},
                                               {"--wait-mode", "2", "--wait-mode", "9"}}) {
        EXPECT_EQ(Krt(options, write), kExitUsage) << options.back();
        EXPECT_NE(err.find("--wait-mode wants"), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(dir / ("c" + std::to_string(runs - 1) + ".chip"))) << "nothing was run";
    }
}

}  // namespace
}  // namespace krt
