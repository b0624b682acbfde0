// SPDX-License-Identifier: GPL-3.0-or-later
// The built krt binary: the link commands, the option parser, the settings
// store and the port trace, each run as a user would run it.
#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/Cli.h"
#include "support/KrtProcess.h"
#include "support/RecordingPort.h"

namespace krt {
namespace {

namespace fs = std::filesystem;
using test::KrtRun;
using test::Lines;
using test::Slurp;

Lines SplitLines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Runs krt in the test's directory with its own (empty unless written)
// settings directory, so that the user's window settings do not leak in.
class KrtBinary : public test::KrtDirTest {
protected:
    KrtBinary() : KrtDirTest("krt-link-cli", KRT_CLI_PATH) {}

    void WriteSettings(const std::string& text) {
        fs::create_directories(dir / "config" / "Kavimeru");
        std::ofstream(SettingsPath()) << text;
    }
    fs::path SettingsPath() const { return dir / "config" / "Kavimeru" / "KRTwin.conf"; }

    Lines Trace() const { return SplitLines(Slurp(dir / "t.txt")); }
};

const Lines kAlsetFrames = {"W 0378 0A", "W 037A 01", "W 037A 00", "W 0378 5A", "W 037A 01", "W 037A 00"};

// A command ends the trace with its frame pair, with the options before or
// after it and given with '=' or apart.
TEST_F(KrtBinary, OneCommandEndsTheTraceWithItsFramePair) {
    KrtRun run = Krt({"--port", "sim", "--trace", "t.txt", "cmd", "ALSET", "5A"});
    ASSERT_EQ(run.status, 0) << run.err;
    Lines trace = Trace();
    ASSERT_GT(trace.size(), 8u);
    EXPECT_EQ(Lines(trace.end() - 6, trace.end()), kAlsetFrames);
    // Right before them: the last read slot of the start-up's detection.
    EXPECT_EQ(trace[trace.size() - 7], "W 037A 00");
    EXPECT_EQ(trace[trace.size() - 8].substr(0, 6), "R 0379");
    EXPECT_NE(std::find(trace.begin(), trace.end(), "W 0378 06"), trace.end());  // REVREAD
    EXPECT_NE(run.out.find("Command ALSET(0x0A),5A was sent. The result is \"Operation is successful\"."),
              std::string::npos) << run.out;

    run = Krt({"cmd", "alset", "0x5A", "--trace=t.txt", "--port", "sim", "--lang", "ja"});
    ASSERT_EQ(run.status, 0) << run.err;
    trace = Trace();
    ASSERT_GE(trace.size(), 6u);
    EXPECT_EQ(Lines(trace.end() - 6, trace.end()), kAlsetFrames);
    EXPECT_NE(run.out.find("コマンドALSET(0x0A),5Aを送信しました。 結果は「成功」です。"), std::string::npos) << run.out;

    run = Krt({"--port", "sim", "--trace", "t.txt", "cmd", "INC"});
    EXPECT_EQ(run.status, 0) << run.err;
    trace = Trace();
    ASSERT_GE(trace.size(), 3u);
    EXPECT_EQ(Lines(trace.end() - 3, trace.end()), (Lines{"W 0378 01", "W 037A 01", "W 037A 00"}));
}

// A wrong command line is a usage error (64), or 66 for a settings file that
// is not there; the port is never opened for it.
TEST_F(KrtBinary, UsageErrors) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* said;  // on stderr, when given
    };
    const Case cases[] = {
        {{"--trace", "t.txt", "cmd", "ALSETX", "5A"}, 64, "unknown programmer command \"ALSETX\""},
        {{"--port", "sim", "--trace", "t.txt", "cmd", "ALSET"}, 64, nullptr},
        {{"--port", "sim", "--trace", "t.txt", "cmd", "ALSET", "100"}, 64, nullptr},
        {{"--port", "sim", "--trace", "t.txt", "cmd", "ALSET", "G1"}, 64, nullptr},
        {{"--port", "sim", "--trace", "t.txt", "cmd", "INC", "01"}, 64, nullptr},
        {{"--port", "lpt", "detect"}, 64, nullptr},
        {{"--port-base", "zz", "detect"}, 64, nullptr},
        {{"--clock", "-5", "detect"}, 64, nullptr},
        {{"--power-circuit", "3", "detect"}, 64, nullptr},
        {{"--lang", "de", "detect"}, 64, nullptr},
        {{"--frobnicate", "detect"}, 64, nullptr},
        {{"detect", "--trace"}, 64, nullptr},
        {{"nosuchcommand"}, 64, nullptr},
        {{}, 64, nullptr},
        {{"--settings", "missing.conf", "detect"}, 66, nullptr},
    };
    for (const Case& c : cases) {
        fs::remove(dir / "t.txt");
        const KrtRun run = Krt(c.args);
        const std::string label = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(run.status, c.status) << label;
        if (c.said) {
            EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        }
        EXPECT_FALSE(fs::exists(dir / "t.txt")) << label;  // the port was never opened
    }
}

// What detect and reset print, and their exit status; a programmer that never
// answers ends in bounded time.
TEST_F(KrtBinary, DetectAndResetSayWhatWasFound) {
    struct Case {
        std::vector<std::string> args;
        int status;
        Lines out;         // the whole output, when given
        std::string last;  // else its last line
    };
    const Case cases[] = {
        {{"detect"}, 0, {"KRT1 version is 2.0", "KRT2 version is 1.0", "Operation is successful"}, ""},
        {{"detect", "--lang", "ja"}, 0, {"KRT1のバージョンは 2.0です。", "KRT2のバージョンは 1.0です。", "成功"}, ""},
        {{"--sim-revisions", "10,00", "detect"},
         7,
         {"KRT1 was found. KRT1 version is 1.0", "KRT2 was not found. Please check power and cable connection.",
          "-----KRT2 does not run.", "KRT not found"},
         ""},
        {{"--sim-revisions", "10,00", "reset"}, 7, {}, "KRT initialization is failed."},
        {{"reset"}, 0, {}, "KRT is initialized successfully."},
        {{"--sim-fault", "no-programmer-low", "detect"}, 7, {}, "KRT does not report ready"},
    };
    for (const Case& c : cases) {
        const KrtRun run = Krt(test::Args({{"--port", "sim"}, c.args}));
        const std::string label = c.args[0] + " " + c.args.back();
        EXPECT_EQ(run.status, c.status) << label << run.err;
        // Always named as such, in the run's language.
        const bool ja = std::find(c.args.begin(), c.args.end(), "ja") != c.args.end();
        EXPECT_NE(run.err.find(ja ? "シミュレートしたプログラマ" : "simulated programmer"), std::string::npos) << label;
        if (c.out.empty()) {
            EXPECT_NE(run.out.find(c.last), std::string::npos) << label << run.out;
        } else {
            EXPECT_EQ(SplitLines(run.out), c.out) << label;
        }
    }
}

// The window's settings give the defaults (the port base from LprPort, the
// language); values out of range keep the built-in ones; krt never writes them.
TEST_F(KrtBinary, SettingsStoreGivesTheDefaultsAndIsNeverWritten) {
    struct Case {
        const char* settings;
        std::vector<std::string> args;
        const char* last;
        const char* base;
    };
    const Case cases[] = {
        {"[General]\nClockFreq=2000000\nLanguage=0\nLprPort=632\nPwrCircuitVersion=1\nUseSimulator=1\n", {}, "成功",
         "W 0278"},
        {nullptr, {"--lang", "en", "--port-base", "378"}, "Operation is successful", "W 0378"},
        {"[General]\nLanguage=7\nLprPort=957\nClockFreq=abc\n", {"--port", "sim"}, "Operation is successful", "W 0378"},
    };
    for (const Case& c : cases) {
        if (c.settings) WriteSettings(c.settings);
        const auto before = fs::last_write_time(SettingsPath());
        const std::string content = Slurp(SettingsPath());
        const KrtRun run = Krt(test::Args({c.args, {"--trace", "t.txt", "detect"}}));
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(test::Last(SplitLines(run.out)), c.last);
        EXPECT_EQ(test::First(Trace()).substr(0, 6), c.base);
        EXPECT_EQ(Slurp(SettingsPath()), content);
        EXPECT_EQ(fs::last_write_time(SettingsPath()), before);
    }
}

// A port that cannot be had is named with the fix (69); a printer port chosen
// in the window is never replaced by the simulator.
TEST_F(KrtBinary, PortErrorsNameThePortAndTheFix) {
    WriteSettings("[General]\nUseSimulator=0\nLprPort=956\n");  // 0x3BC
    KrtRun run = Krt({"detect"});
    EXPECT_EQ(run.status, 69);
    EXPECT_EQ(run.err.find("simulated programmer in use"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("3BC"), std::string::npos) << run.err;
    EXPECT_EQ(Krt({"--port", "sim", "detect"}).status, 0);

    run = Krt({"--port", "ppdev:/nonexistent/parport7", "detect"});
    EXPECT_EQ(run.status, 69);
    EXPECT_NE(run.err.find("/nonexistent/parport7 does not exist"), std::string::npos) << run.err;
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
    // The settings' choice of the simulator is asking for it.
    WriteSettings("[General]\nUseSimulator=1\n");
    EXPECT_EQ(Krt({"detect"}).status, 0);
}

// The help lists every command and option, and says what scripts rely on.
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
                               "--start", "--length", "--errors", "--help", "--no-id-check", "--force",
                               // what scripts rely on
                               "FILE (IN, OUT) of - is standard input", "go to standard error",
                               "450001 to 3500000", "the chip file is in use by another run of krt"})
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
    ASSERT_GE(trace.size(), 6u);
    EXPECT_EQ(Lines(trace.end() - 6, trace.end()),
              (Lines{"W 0378 13", "W 037A 01", "W 037A 00", "W 0378 60", "W 037A 01", "W 037A 00"}));
}

}  // namespace
}  // namespace krt
