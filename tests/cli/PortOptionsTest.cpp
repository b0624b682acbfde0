// SPDX-License-Identifier: GPL-3.0-or-later
// krt on the real port backends (on a stand-in kernel): any printer-port
// base from the option or the window's settings, and a port held by
// another program ending the run with 69 and the holder's name.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "cli/Cli.h"
#include "support/CliCommandTest.h"
#include "sim/VirtualKrt.h"
#include "support/FakeKernel.h"

namespace krt {
namespace {

namespace fs = std::filesystem;

class PortOptions : public ::testing::Test {
protected:
    void SetUp() override {
        settings = fs::temp_directory_path() / ("krt-port-options-" + std::to_string(::getpid()) + ".conf");
        WriteSettings("");
    }
    void TearDown() override { fs::remove(settings); }
    void WriteSettings(const std::string& general) { std::ofstream(settings) << "[General]\n" << general; }
    // krt with these arguments before the command; stderr in err.
    int Krt(std::vector<std::string> args, const std::string& command = "detect") {
        std::vector<std::string> line = {"--settings", settings.string(), "--catalogue",
                                         std::string(KRT_SOURCE_DIR) + "/devices"};
        line.insert(line.end(), args.begin(), args.end());
        line.push_back(command);
        return test::RunCliCaptured(line, out, err);
    }
    fs::path settings;
    std::string out, err;
};

TEST_F(PortOptions, AnyPrinterPortBaseIsTakenAndNoOtherOne) {
    VirtualKrt krt(0xD010);
    test::FakeKernel kernel;
    kernel.AddPort(0xD010, &krt);
    EXPECT_EQ(Krt({"--port", "ppdev", "--port-base", "d010"}), 0) << err;
    for (const char* base : {"3BD", "FC", "FFFC", "0"}) {
        EXPECT_EQ(Krt({"--port", "ppdev", "--port-base", base}), kExitUsage) << base;
        EXPECT_NE(err.find("from 100 to FFF8"), std::string::npos) << err;
    }
}

// A base written by hand in the window's settings is used, not replaced by 378.
TEST_F(PortOptions, APciCardsBaseFromTheSettingsIsUsed) {
    VirtualKrt krt(0xD010);
    test::FakeKernel kernel;
    kernel.AddPort(0xD010, &krt);
    WriteSettings("LprPort=0xd010\nUseSimulator=0\n");
    EXPECT_EQ(Krt({}), 0) << err << out;
    EXPECT_TRUE(krt.Frames() > 0);
    // One the window would refuse (not a multiple of 4) is not used: 378 is.
    VirtualKrt lpt1(0x378);
    kernel.AddPort(0x378, &lpt1);
    WriteSettings("LprPort=0xd011\nUseSimulator=0\n");
    EXPECT_EQ(Krt({}), 0) << err << out;
    EXPECT_TRUE(lpt1.Frames() > 0);
}

TEST_F(PortOptions, APortHeldByAnotherProgramEndsTheRunWith69NamingIt) {
    VirtualKrt krt;
    test::FakeKernel kernel;
    const int port = kernel.AddPort(0x378, &krt);
    kernel.HoldByOther(port, 31337, "krtwin");
    EXPECT_EQ(Krt({"--port", "ppdev"}), kExitUnavailable);
    EXPECT_NE(err.find("in use by another program (krtwin (pid 31337))"), std::string::npos) << err;
    kernel.LetGo(port);
}

}  // namespace
}  // namespace krt
