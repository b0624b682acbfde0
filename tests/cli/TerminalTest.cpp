// SPDX-License-Identifier: GPL-3.0-or-later
// krt before a terminal: binary data is not written to one (standard output
// on a pseudo-terminal), the progress line moves the cursor only where the
// terminal and the user allow it, and the simulator's line speaks the run's
// language.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <string>
#include <vector>

#include "cli/Terminal.h"
#include "support/KrtProcess.h"

namespace krt {
namespace {

namespace fs = std::filesystem;
using test::Args;
using test::KrtRun;
using test::Start;

TEST(ControlSequences, OnlyOnATerminalThatIsNotDumbAndWithoutNoColor) {
    struct Case {
        bool terminal;
        const char* noColor;
        const char* term;
        bool wanted;
    };
    const Case cases[] = {
        {true, nullptr, "xterm-256color", true},
        {true, nullptr, nullptr, true},
        {true, "", "xterm", true},  // NO_COLOR set but empty asks for nothing
        {true, "1", "xterm", false},
        {true, nullptr, "dumb", false},
        {true, "yes", "dumb", false},
        {false, nullptr, "xterm", false},
        {true, nullptr, "dumb-ish", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ControlSequencesWanted(c.terminal, c.noColor, c.term), c.wanted)
            << c.terminal << " NO_COLOR=" << (c.noColor ? c.noColor : "(unset)")
            << " TERM=" << (c.term ? c.term : "(unset)");
    }
}

// A pseudo-terminal: krt's standard output is its other end.
class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
            const char* name = ptsname(master_);
            if (name) slave_ = name;
            // Held open, so that what krt wrote stays readable after it ended.
            if (name) held_ = open(name, O_RDWR | O_NOCTTY);
        }
        if (master_ >= 0) fcntl(master_, F_SETFL, O_NONBLOCK);
    }
    ~PseudoTerminal() {
        if (held_ >= 0) close(held_);
        if (master_ >= 0) close(master_);
    }
    const std::string& Slave() const { return slave_; }
    // What krt wrote to the terminal so far.
    std::string Drain() {
        std::string all;
        char buffer[4096];
        for (ssize_t n; (n = read(master_, buffer, sizeof buffer)) > 0;) all.append(buffer, static_cast<size_t>(n));
        return all;
    }
    // Runs krt while reading its terminal (a whole device in HEX is more
    // than a terminal holds unread); what it showed.
    template <typename Run>
    std::string ReadWhile(Run&& run) {
        std::atomic<bool> done{false};
        std::string shown;
        std::thread reader([&] {
            while (!done) {
                shown += Drain();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            shown += Drain();
        });
        run();
        done = true;
        reader.join();
        return shown;
    }

private:
    int master_ = -1, held_ = -1;
    std::string slave_;
};

class Terminal : public test::KrtDirTest {
protected:
    Terminal() : KrtDirTest("krt-terminal", KRT_CLI_PATH) {}
    void SetUp() override {
        KrtDirTest::SetUp();
        simulatorUnlessNamed = true;
        std::string bytes(0x8000, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 1);
        test::Spit(dir / "d.bin", bytes);
    }
};

const std::vector<std::string> k27C256 = {"EPROM", "AMD", "27C256"};

TEST_F(Terminal, BinaryDataIsNotWrittenToATerminalUnlessTheFormatOrForceSaysSo) {
    ASSERT_EQ(Krt(Args({{"--sim-chip", "c.chip", "write"}, k27C256, {"d.bin"}})).status, 0);
    // --format names the format of every data file of the command, the input's too.
    ASSERT_EQ(Krt(Args({{"convert"}, k27C256, {"d.bin", "d.mot"}})).status, 0);
    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> command;  // the device's words follow the first
        int status;
        const char* shown;  // what the terminal shows at least ("" when refused: nothing)
    };
    const Case cases[] = {
        {{}, {"read", "-"}, 64, ""},
        {{}, {"convert", "d.bin", "-"}, 64, ""},
        {{"--format", "hex"}, {"read", "-"}, 0, ":10000000"},
        {{"--format", "srec"}, {"convert", "d.mot", "-"}, 0, "S21400000001080F"},
        {{"--format", "bin"}, {"read", "-"}, 0, "\x01\x08\x0F"},
        {{"--force"}, {"convert", "d.bin", "-"}, 0, "\x01\x08\x0F"},
    };
    for (const Case& c : cases) {
        PseudoTerminal terminal;
        ASSERT_FALSE(terminal.Slave().empty());
        Start start{Args({{"--sim-chip", "c.chip", "--length", "10"}, c.options, {c.command[0]}, k27C256,
                          {c.command.begin() + 1, c.command.end()}})};
        start.output = terminal.Slave();
        KrtRun run;
        const std::string shown = terminal.ReadWhile([&] { run = Krt(start); });
        SCOPED_TRACE(c.command[0] + (c.options.empty() ? "" : " " + c.options[0]));
        EXPECT_EQ(run.status, c.status) << run.err;
        if (c.status == 64) {
            EXPECT_TRUE(shown.empty()) << shown.size() << " bytes on the terminal";
            EXPECT_NE(run.err.find("krt: binary data is not written to a terminal"), std::string::npos) << run.err;
        } else {
            EXPECT_NE(shown.find(c.shown), std::string::npos) << shown.substr(0, 80);
        }
    }
    // Standard output on a file is no terminal: binary as before.
    const KrtRun redirected = Krt(Args({{"--sim-chip", "c.chip", "--length", "10", "read"}, k27C256, {"-"}}));
    EXPECT_EQ(redirected.status, 0) << redirected.err;
    EXPECT_EQ(redirected.out.substr(0, 3), "\x01\x08\x0F");
}

TEST_F(Terminal, TheSimulatorsLineSpeaksTheRunsLanguage) {
    struct Case {
        const char* language;
        const char* line;
        const char* other;
    };
    const Case cases[] = {
        {"ja", "シミュレートしたプログラマを使います: KRT1リビジョン 20、KRT2リビジョン 10", "simulated programmer in use"},
        {"en", "simulated programmer in use: KRT1 revision 20, KRT2 revision 10", "シミュレート"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        // A chip file not there yet, and one in the socket.
        for (const char* chip : {"new.chip", "c.chip"}) {
            const KrtRun run = Krt(Args({{"--lang", c.language, "--sim-chip", chip, "blank"}, k27C256}));
            EXPECT_NE(run.err.find(c.line), std::string::npos) << run.err;
            EXPECT_EQ(run.err.find(c.other), std::string::npos) << run.err;
        }
        const KrtRun detect = Krt(Args({{"--lang", c.language, "--sim-chip", "later.chip", "detect"}}));
        EXPECT_NE(detect.err.find(c.line), std::string::npos) << detect.err;
        EXPECT_NE(detect.err.find("later.chip"), std::string::npos) << detect.err;
    }
}

}  // namespace
}  // namespace krt
