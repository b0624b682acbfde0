// SPDX-License-Identifier: GPL-3.0-or-later
// krt convert on the shipped catalogue, through the command table.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "support/RecordingPort.h"

#include "support/KrtProcess.h"

namespace krt {
namespace {

namespace fs = std::filesystem;
using test::Lines;

using test::Slurp;

class Convert : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterDataCommands(table);
        auto collecting = std::make_unique<test::CollectingLog>();
        log = collecting.get();
        session.log = std::move(collecting);
        session.options.catalogue = std::string(KRT_SOURCE_DIR) + "/devices";
        dir = fs::path(KRT_BINARY_DIR) / "test-scratch" / "cli-convert" /
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    int Run(const std::vector<std::string>& args) {
        auto it = std::find_if(table.begin(), table.end(), [](const CliCommand& c) { return std::string(c.name) == "convert"; });
        EXPECT_NE(it, table.end());
        return it->run(session, args);
    }
    std::string At(const char* name) { return (dir / name).string(); }

    std::vector<CliCommand> table;
    CliSession session;
    test::CollectingLog* log = nullptr;
    fs::path dir;
};

TEST_F(Convert, HexToMotorolaWithTheWindowsMessages) {
    std::ofstream(At("in.hex"), std::ios::binary) << ":0400100001020304E2\n:00000001FF\n";
    EXPECT_EQ(Run({"EPROM", "intel", "27c256", At("in.hex"), At("out.mot")}), 0);
    EXPECT_EQ(log->lines(), (Lines{"Device 27C256's parameter was loaded successfully.",
                                   "From file \"" + At("in.hex") + "\", 20 word length data is read.",
                                   "File:" + At("out.mot") + ": 32768 words written."}));
    const std::string mot = Slurp(At("out.mot"));
    // Blank (0xFF) around the four bytes read.
    EXPECT_NE(mot.find("S214000010" "01020304" "FFFFFFFFFFFFFFFFFFFFFFFF"), std::string::npos);
    EXPECT_EQ(mot.substr(mot.size() - 13), "S804000000FB\n");
}

TEST_F(Convert, RangeOptionsSelectTheWords) {
    std::string data(0x8000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i);
    std::ofstream(At("in.bin"), std::ios::binary) << data;
    session.options.start = "100";
    session.options.length = "10";
    EXPECT_EQ(Run({"EPROM", "Intel", "27C256", At("in.bin"), At("out.bin")}), 0);
    // Read: the first 16 bytes of the file land at 0x100; written: 0x100 to 0x10F.
    EXPECT_EQ(Slurp(At("out.bin")), data.substr(0, 16));
}

TEST_F(Convert, FailuresExitWithTheFileResultPlusTen) {
    EXPECT_EQ(Run({"EPROM", "Intel", "27C256", At("missing.hex"), At("out.hex")}), 11);
    std::ofstream(At("bad.hex"), std::ios::binary) << ":0100000011EF\n";
    EXPECT_EQ(Run({"EPROM", "Intel", "27C256", At("bad.hex"), At("out.hex")}), 15);
    std::ofstream(At("short.hex"), std::ios::binary) << ":01\n";
    EXPECT_EQ(Run({"EPROM", "Intel", "27C256", At("short.hex"), At("out.hex")}), 12);
    std::ofstream(At("far.hex"), std::ios::binary) << ":020000021000EC\n:0100000011EE\n";
    EXPECT_EQ(Run({"EPROM", "Intel", "27C256", At("far.hex"), At("out.hex")}), 16);
    std::ofstream(At("ok.hex"), std::ios::binary) << ":0100000011EE\n";
    EXPECT_EQ(Run({"EPROM", "Intel", "27C256", At("ok.hex"), At("no/such/dir/out.hex")}), 17);
    EXPECT_FALSE(fs::exists(At("out.hex")));
    EXPECT_EQ(Run({"EPROM", "Intel", "99C999", At("ok.hex"), At("out.hex")}), 1);
    EXPECT_EQ(Run({"EPROM", "Intel"}), 64);
}

TEST_F(Convert, GalFuseMapThroughTheDevice) {
    const std::string source = std::string(KRT_SOURCE_DIR) + "/tests/data/jedec/GAL22V10_reg.jed";
    EXPECT_EQ(Run({"GAL", "Lattice", "GAL22V10", source, At("out.jed")}), 0);
    EXPECT_EQ(Run({"GAL", "Lattice", "GAL22V10", At("out.jed"), At("again.jed")}), 0);
    EXPECT_EQ(Slurp(At("out.jed")), Slurp(At("again.jed")));
    EXPECT_NE(Slurp(At("out.jed")).find("DEVICE GAL22V10*\n"), std::string::npos);
}

}  // namespace
}  // namespace krt
