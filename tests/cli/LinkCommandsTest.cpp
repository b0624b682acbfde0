// SPDX-License-Identifier: GPL-3.0-or-later
// The built krt binary: the link commands, the option parser, the settings
// store and the port trace, each run as a user would run it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/Cli.h"
#include "support/RecordingPort.h"

#include "support/KrtProcess.h"

namespace krt {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

struct KrtRun {
    int status = -1;
    std::string out, err;
};

Lines SplitLines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

using test::Slurp;

class KrtBinary : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("krt-link-cli-" + std::to_string(getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "config");
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string Quote(const std::string& s) {
        std::string q = "'";
        for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    }

    // Runs krt in the test's directory, with its own (empty unless written)
    // settings directory so that the user's window settings do not leak in.
    KrtRun Krt(const std::vector<std::string>& args) {
        std::string command = "cd " + Quote(dir.string()) + " && XDG_CONFIG_HOME=" +
                              Quote((dir / "config").string()) + " " + Quote(KRT_CLI_PATH);
        for (const std::string& a : args) command += " " + Quote(a);
        command += " >out.txt 2>err.txt </dev/null";
        KrtRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = Slurp(dir / "out.txt");
        run.err = Slurp(dir / "err.txt");
        return run;
    }

    void WriteSettings(const std::string& text) {
        fs::create_directories(dir / "config" / "Kavimeru");
        std::ofstream(dir / "config" / "Kavimeru" / "KRTwin.conf") << text;
    }
    fs::path SettingsPath() const { return dir / "config" / "Kavimeru" / "KRTwin.conf"; }

    Lines Trace() const { return SplitLines(Slurp(dir / "t.txt")); }

    fs::path dir;
};

const Lines kAlsetFrames = {"W 0378 0A", "W 037A 01", "W 037A 00", "W 0378 5A", "W 037A 01", "W 037A 00"};

TEST_F(KrtBinary, OneCommandEndsTheTraceWithItsFramePair) {
    const KrtRun run = Krt({"--port", "sim", "--trace", "t.txt", "cmd", "ALSET", "5A"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Lines trace = Trace();
    ASSERT_GT(trace.size(), 8u);
    EXPECT_EQ(Lines(trace.end() - 6, trace.end()), kAlsetFrames);
    // Right before them: the last read slot of the start-up's detection.
    EXPECT_EQ(trace[trace.size() - 7], "W 037A 00");
    EXPECT_EQ(trace[trace.size() - 8].substr(0, 6), "R 0379");
    EXPECT_NE(std::find(trace.begin(), trace.end(), "W 0378 06"), trace.end());  // REVREAD
    EXPECT_NE(run.out.find("Command ALSET(0x0A),5A was sent. The result is \"Operation is successful\"."),
              std::string::npos) << run.out;
}

TEST_F(KrtBinary, OptionsMayFollowTheCommandAndValuesMayUseEquals) {
    const KrtRun run = Krt({"cmd", "alset", "0x5A", "--trace=t.txt", "--port", "sim", "--lang", "ja"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Lines trace = Trace();
    ASSERT_GE(trace.size(), 6u);
    EXPECT_EQ(Lines(trace.end() - 6, trace.end()), kAlsetFrames);
    EXPECT_NE(run.out.find("コマンドALSET(0x0A),5Aを送信しました。 結果は「成功」です。"), std::string::npos) << run.out;
}

TEST_F(KrtBinary, UnknownMnemonicIsAnErrorNotAReset) {
    const KrtRun run = Krt({"--trace", "t.txt", "cmd", "ALSETX", "5A"});
    EXPECT_EQ(run.status, 64);
    EXPECT_NE(run.err.find("unknown programmer command \"ALSETX\""), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir / "t.txt"));  // the port was never opened
}

TEST_F(KrtBinary, OperandRules) {
    EXPECT_EQ(Krt({"--port", "sim", "cmd", "ALSET"}).status, 64);
    EXPECT_EQ(Krt({"--port", "sim", "cmd", "ALSET", "100"}).status, 64);
    EXPECT_EQ(Krt({"--port", "sim", "cmd", "ALSET", "G1"}).status, 64);
    EXPECT_EQ(Krt({"--port", "sim", "cmd", "INC", "01"}).status, 64);
    const KrtRun inc = Krt({"--port", "sim", "--trace", "t.txt", "cmd", "INC"});
    EXPECT_EQ(inc.status, 0) << inc.err;
    const Lines trace = Trace();
    ASSERT_GE(trace.size(), 3u);
    EXPECT_EQ(Lines(trace.end() - 3, trace.end()), (Lines{"W 0378 01", "W 037A 01", "W 037A 00"}));
}

TEST_F(KrtBinary, DetectInBothLanguages) {
    KrtRun run = Krt({"--port", "sim", "detect"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SplitLines(run.out), (Lines{"KRT1 version is 2.0", "KRT2 version is 2.0", "Operation is successful"}));
    EXPECT_NE(run.err.find("simulated programmer"), std::string::npos);  // always named as such
    run = Krt({"--port", "sim", "detect", "--lang", "ja"});
    EXPECT_EQ(SplitLines(run.out), (Lines{"KRT1のバージョンは 2.0です。", "KRT2のバージョンは 1.0です。", "成功"}));
}

TEST_F(KrtBinary, DetectionFailureIsTheExitStatus) {
    KrtRun run = Krt({"--port", "sim", "--sim-revisions", "10,00", "detect"});
    EXPECT_EQ(run.status, 7) << run.err;
    EXPECT_EQ(SplitLines(run.out),
              (Lines{"KRT1 was found. KRT1 version is 1.0",
                     "KRT2 was not found. Please check power and cable connection.",
                     "-----KRT2 does not run.", "KRT not found"}));
    run = Krt({"--port", "sim", "--sim-revisions", "10,00", "reset"});
    EXPECT_EQ(run.status, 7);
    EXPECT_EQ(test::Last(SplitLines(run.out)), "KRT initialization is failed.");
    run = Krt({"--port", "sim", "reset"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(test::Last(SplitLines(run.out)), "KRT is initialized successfully.");
}

TEST_F(KrtBinary, ProgrammerThatNeverAnswersEndsInBoundedTime) {
    const KrtRun run = Krt({"--port", "sim", "--sim-fault", "no-programmer-low", "detect"});
    EXPECT_EQ(run.status, 7) << run.err;
    EXPECT_NE(run.out.find("KRT does not report ready"), std::string::npos) << run.out;
}

TEST_F(KrtBinary, SettingsStoreGivesTheDefaultsAndIsNeverWritten) {
    WriteSettings("[General]\nClockFreq=2000000\nLanguage=0\nLprPort=632\nPwrCircuitVersion=1\nUseSimulator=1\n");
    const auto before = fs::last_write_time(SettingsPath());
    const std::string content = Slurp(SettingsPath());
    KrtRun run = Krt({"--trace", "t.txt", "detect"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::Last(SplitLines(run.out)), "成功");
    // The port base 0x278 came from LprPort (632).
    const Lines trace = Trace();
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.front().substr(0, 6), "W 0278");
    run = Krt({"--lang", "en", "--port-base", "378", "--trace", "t.txt", "detect"});
    EXPECT_EQ(test::Last(SplitLines(run.out)), "Operation is successful");
    EXPECT_EQ(test::First(Trace()).substr(0, 6), "W 0378");
    EXPECT_EQ(Slurp(SettingsPath()), content);
    EXPECT_EQ(fs::last_write_time(SettingsPath()), before);
}

TEST_F(KrtBinary, OutOfRangeSettingsKeepTheDefaults) {
    WriteSettings("[General]\nLanguage=7\nLprPort=957\nClockFreq=abc\n");
    const KrtRun run = Krt({"--port", "sim", "--trace", "t.txt", "detect"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(test::Last(SplitLines(run.out)), "Operation is successful");
    EXPECT_EQ(test::First(Trace()).substr(0, 6), "W 0378");
}

TEST_F(KrtBinary, PrinterPortChosenInTheWindowIsNeverReplacedBySimulator) {
    WriteSettings("[General]\nUseSimulator=0\nLprPort=956\n");  // 0x3BC
    const KrtRun run = Krt({"detect"});
    EXPECT_EQ(run.status, 69);
    EXPECT_EQ(run.err.find("simulated programmer in use"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("3BC"), std::string::npos) << run.err;
    EXPECT_EQ(Krt({"--port", "sim", "detect"}).status, 0);
}

// A new account: no settings, no --port. Nothing runs, least of all on the
// simulator in place of the real programmer.
TEST_F(KrtBinary, WithoutAChosenPortNothingRuns) {
    std::ofstream(dir / "fw.bin", std::ios::binary) << std::string(0x100, '\x5A');
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"detect"}, {"cmd", "INC"}, {"write", "EPROM", "Intel", "27C256", "fw.bin"}}) {
        const KrtRun run = Krt(args);
        EXPECT_EQ(run.status, 64) << args[0];
        EXPECT_NE(run.err.find("--port sim|ppdev|direct"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(SettingsPath().string()), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("simulated programmer in use"), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("successful"), std::string::npos) << run.out;
    }
    // The settings' choice of the simulator, or --port sim, is asking for it.
    EXPECT_EQ(Krt({"--port", "sim", "detect"}).status, 0);
    WriteSettings("[General]\nUseSimulator=1\n");
    EXPECT_EQ(Krt({"detect"}).status, 0);
}

TEST_F(KrtBinary, PortErrorsNameThePortAndTheFix) {
    const KrtRun run = Krt({"--port", "ppdev:/nonexistent/parport7", "detect"});
    EXPECT_EQ(run.status, 69);
    EXPECT_NE(run.err.find("/nonexistent/parport7 does not exist"), std::string::npos) << run.err;
}

TEST_F(KrtBinary, UsageErrors) {
    EXPECT_EQ(Krt({"--port", "lpt", "detect"}).status, 64);
    EXPECT_EQ(Krt({"--port-base", "zz", "detect"}).status, 64);
    EXPECT_EQ(Krt({"--clock", "-5", "detect"}).status, 64);
    EXPECT_EQ(Krt({"--power-circuit", "3", "detect"}).status, 64);
    EXPECT_EQ(Krt({"--lang", "de", "detect"}).status, 64);
    EXPECT_EQ(Krt({"--frobnicate", "detect"}).status, 64);
    EXPECT_EQ(Krt({"detect", "--trace"}).status, 64);
    EXPECT_EQ(Krt({"nosuchcommand"}).status, 64);
    EXPECT_EQ(Krt({}).status, 64);
    EXPECT_EQ(Krt({"--settings", "missing.conf", "detect"}).status, 66);
}

TEST_F(KrtBinary, HelpListsEveryCommandAndOption) {
    const KrtRun run = Krt({"--help"});
    EXPECT_EQ(run.status, 0);
    std::vector<CliCommand> table;
    RegisterLinkCommands(table);
    RegisterSimCommands(table);
    RegisterCatalogueCommands(table);
    RegisterDataCommands(table);
    RegisterDeviceCommands(table);
    EXPECT_GE(table.size(), 8u);
    for (const CliCommand& c : table) EXPECT_NE(run.out.find(std::string("  ") + c.synopsis), std::string::npos) << c.name;
    for (const char* option : {"--port ", "--port-base", "--clock", "--power-circuit", "--lang", "--trace",
                               "--settings", "--catalogue", "--sim-chip", "--sim-revisions", "--sim-fault",
                               "--start", "--length", "--errors", "--help"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
}

TEST_F(KrtBinary, RawPortAndPins) {
    KrtRun run = Krt({"--port", "sim", "--trace", "t.txt", "out", "A5"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::Last(Trace()), "W 0378 A5");  // no strobe after it
    EXPECT_NE(run.out.find("'A5' was sent to the parallel port (378)."), std::string::npos) << run.out;

    run = Krt({"--port", "sim", "--trace", "t.txt", "pins", "00"});
    EXPECT_EQ(run.status, 0) << run.err;
    const Lines trace = Trace();
    ASSERT_GE(trace.size(), 2u);
    EXPECT_EQ(trace[trace.size() - 2], "W 0378 00");
    ASSERT_EQ(trace.back().substr(0, 7), "R 0379 ");
    const unsigned status = std::stoul(trace.back().substr(7), nullptr, 16);
    const Lines out = SplitLines(run.out);
    ASSERT_GE(out.size(), 2u);
    char expected[80];
    std::snprintf(expected, sizeof expected, "00 was written to the data port, and the status %02X came back", status);
    EXPECT_EQ(out[out.size() - 2], expected);
    EXPECT_EQ(out.back().substr(0, 21), "KRT1 output (ACK)=" + std::to_string((status >> 6) & 1) + " k");

    run = Krt({"--port", "sim", "--trace", "t.txt", "in"});
    EXPECT_EQ(run.status, 0) << run.err;
    const Lines inTrace = Trace();
    ASSERT_GE(inTrace.size(), 4u);
    EXPECT_EQ(inTrace[inTrace.size() - 4], "W 0378 00");  // a read slot, no command before it
    const Lines inOut = SplitLines(run.out);
    ASSERT_GE(inOut.size(), 2u);
    EXPECT_EQ(inOut.rbegin()[1].size(), 2u);
}

TEST_F(KrtBinary, SuppliesOnBothSchemes) {
    // Revision 2.0: the supply DAC takes the value at once.
    KrtRun run = Krt({"--port", "sim", "vpp", "12.5"});
    EXPECT_EQ(run.status, 0) << run.err;
    run = Krt({"--port", "sim", "vpp", "21"});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.out.find("The supply cannot be set to that voltage"), std::string::npos) << run.out;
    EXPECT_EQ(Krt({"--port", "sim", "vcc", "five"}).status, 64);

    // Fixed levels: the copy is sent with a VOLTSET (5 V: bits 0x60, Vpp off).
    run = Krt({"--port", "sim", "--sim-revisions", "10,10", "--trace", "t.txt", "vcc", "5"});
    EXPECT_EQ(run.status, 0) << run.err;
    const Lines trace = Trace();
    EXPECT_EQ(Lines(trace.end() - 6, trace.end()),
              (Lines{"W 0378 13", "W 037A 01", "W 037A 00", "W 0378 60", "W 037A 01", "W 037A 00"}));
}

}  // namespace
}  // namespace krt
