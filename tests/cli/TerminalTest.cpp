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
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/Terminal.h"
#include "support/KrtProcess.h"
#include "support/CliDevices.h"

namespace krt {
namespace {

namespace fs = std::filesystem;
using test::Args;
using test::KrtRun;
using test::Start;

TEST(ControlSequences, OnlyOnATerminalThatIsNotDumbAndWithoutNoColor) {
    const struct {
        bool terminal;
        const char *noColor, *term;
        bool wanted;
    } cases[] = {
        {true, nullptr, "xterm-256color", true},
        {true, nullptr, nullptr, true},
        {true, "", "xterm", true},  // NO_COLOR set but empty asks for nothing
        {true, "1", "xterm", false},
        {true, nullptr, "dumb", false},
        {true, "yes", "dumb", false},
        {false, nullptr, "xterm", false},
        {true, nullptr, "dumb-ish", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ControlSequencesWanted(c.terminal, c.noColor, c.term), c.wanted)
            << c.terminal << " NO_COLOR=" << (c.noColor ? c.noColor : "(unset)")
            << " TERM=" << (c.term ? c.term : "(unset)");
}

// A pseudo-terminal: krt's standard output is its other end.
class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0) fcntl(master_, F_SETFL, O_NONBLOCK);
        const char* name = master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0 ? ptsname(master_) : nullptr;
        if (!name) return;
        slave_ = name;
        held_ = open(name, O_RDWR | O_NOCTTY);  // held open: what krt wrote stays readable after it ended
    }
    ~PseudoTerminal() {
        if (held_ >= 0) close(held_);
        if (master_ >= 0) close(master_);
    }
    const std::string& Slave() const { return slave_; }
    // Runs krt while reading its terminal (a whole device in HEX is more
    // than a terminal holds unread); what it showed.
    template <typename Run>
    std::string ReadWhile(Run&& run) {
        std::atomic<bool> done{false};
        std::string shown;
        std::thread reader([&] {
            char buffer[4096];
            for (bool last = false; !last; std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
                last = done;
                for (ssize_t n; (n = read(master_, buffer, sizeof buffer)) > 0;) shown.append(buffer, size_t(n));
            }
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


TEST_F(Terminal, BinaryDataIsNotWrittenToATerminalUnlessTheFormatOrForceSaysSo) {
    ASSERT_EQ(Krt(Args({{"--sim-chip", "c.chip", "write"}, k27C256, {"d.bin"}})).status, 0);
    // --format names the format of every data file of the command, the input's too.
    ASSERT_EQ(Krt(Args({{"convert"}, k27C256, {"d.bin", "d.mot"}})).status, 0);
    const struct {
        std::vector<std::string> options, command;  // the device's words follow the command's first
        int status;
        const char* shown;  // what the terminal shows at least ("" when refused: nothing)
    } cases[] = {
        {{}, {"read", "-"}, 64, ""},
        {{}, {"convert", "d.bin", "-"}, 64, ""},
        {{"--format", "hex"}, {"read", "-"}, 0, ":10000000"},
        {{"--format", "srec"}, {"convert", "d.mot", "-"}, 0, "S21400000001080F"},
        {{"--format", "bin"}, {"read", "-"}, 0, "\x01\x08\x0F"},
        {{"--force"}, {"convert", "d.bin", "-"}, 0, "\x01\x08\x0F"},
    };
    for (const auto& c : cases) {
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
}

TEST_F(Terminal, TheSimulatorsLineSpeaksTheRunsLanguage) {
    const struct {
        const char *language, *line, *other;
    } cases[] = {
        {"ja", "シミュレートしたプログラマを使います: KRT1リビジョン 20、KRT2リビジョン 10", "simulated programmer in use"},
        {"en", "simulated programmer in use: KRT1 revision 20, KRT2 revision 10", "シミュレート"},
    };
    for (const auto& c : cases) {
        // A chip file not there yet, one in the socket, and detect naming the file it will use.
        const std::vector<std::string> blank = Args({{"blank"}, k27C256});
        const std::pair<const char*, std::vector<std::string>> runs[] = {
            {"new.chip", blank}, {"c.chip", blank}, {"later.chip", {"detect"}}};
        for (const auto& [chip, command] : runs) {
            SCOPED_TRACE(std::string(c.language) + " " + chip);
            const KrtRun run = Krt(Args({{"--lang", c.language, "--sim-chip", chip}, command}));
            EXPECT_NE(run.err.find(c.line), std::string::npos) << run.err;
            EXPECT_EQ(run.err.find(c.other), std::string::npos) << run.err;
            if (command[0] == "detect") {
                EXPECT_NE(run.err.find(chip), std::string::npos) << run.err;
            }
        }
    }
}

}  // namespace
}  // namespace krt
