// SPDX-License-Identifier: GPL-3.0-or-later
// The built krt binary as scripts and shells use it: standard streams,
// checked option values, the chip file guarded (locked, never overwritten by
// a read), signals, a missing programmer, the exit statuses and the
// messages that tell a user what went wrong. Each test is the repro of a
// fault that was met running krt, written as a user met it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "cli/ChipFileLock.h"
#include "support/KrtProcess.h"
#include "support/CliDevices.h"

namespace krt {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::Args;
using test::KrtRun;
using test::Slurp;
using test::Spit;
using test::Start;

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

class ScriptUse : public test::KrtDirTest {
protected:
    ScriptUse() : KrtDirTest("krt-script-use", KRT_CLI_PATH) {}
    void SetUp() override {
        KrtDirTest::SetUp();
        fs::create_directories(dir / "config" / "Kavimeru");
        // The settings as the window leaves them once the simulator is chosen:
        // krt uses it only when told to.
        std::ofstream(dir / "config" / "Kavimeru" / "KRTwin.conf") << "[General]\nUseSimulator=1\n";
        fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
        std::mt19937 random(16);
        data.resize(0x8000);
        for (char& b : data) b = static_cast<char>(random());
        Spit(dir / "d.bin", data);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir / "ro", fs::perms::owner_all, ec);
        KrtDirTest::TearDown();
    }

    // Waits until the background run's stderr shows its operation at least
    // 5 percent and at most 50 percent done (without a terminal krt prints
    // one progress line per ten percent: "Now writing..  12% 31457/262144").
    bool UnderWay(const std::string& tag, const std::string& caption) {
        const auto giveUp = std::chrono::steady_clock::now() + 60s;
        while (std::chrono::steady_clock::now() < giveUp) {
            std::istringstream err(Slurp(dir / ("err" + tag + ".txt")));
            for (std::string line; std::getline(err, line);) {
                if (line.rfind(caption, 0) != 0) continue;
                const int percent = std::atoi(line.c_str() + caption.size());
                if (percent >= 50) return false;
                if (percent >= 5) return true;
            }
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    std::string data;
};


// ---------------------------------------------------------------- standard streams

TEST_F(ScriptUse, DashIsStandardInputAndOutputAndTheLogKeepsOutOfTheData) {
    Start write{Args({{"--sim-chip", "c.chip", "write"}, k27C256, {"-"}})};
    write.input = "d.bin";
    const KrtRun written = Krt(write);
    ASSERT_EQ(written.status, 0) << written.out << written.err;
    EXPECT_NE(written.out.find("From file \"-\", 32768 word length data is read."), std::string::npos);

    // The data alone on stdout; krt's own lines on stderr.
    const KrtRun read = Krt(Args({{"--sim-chip", "c.chip", "read"}, k27C256, {"-"}}));
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_TRUE(read.out == data) << read.out.size() << " bytes";
    EXPECT_NE(read.err.find("READ operation is successful"), std::string::npos) << read.err;
    EXPECT_FALSE(fs::exists(dir / "-"));

    const KrtRun converted = Krt(Args({{"convert"}, k27C256, {"d.bin", "-"}}));
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_TRUE(converted.out == data) << converted.out.size() << " bytes";
    EXPECT_NE(converted.err.find("word length data is read"), std::string::npos) << converted.err;

    Start toHex{Args({{"convert"}, k27C256, {"-", "o.hex"}})};
    toHex.input = "d.bin";
    ASSERT_EQ(Krt(toHex).status, 0);
    EXPECT_EQ(Krt(Args({{"--sim-chip", "c.chip", "verify"}, k27C256, {"o.hex"}})).status, 0);
}

TEST_F(ScriptUse, DeviceNodesAreWrittenInPlaceAndTheirErrorsReported) {
    ASSERT_EQ(Krt(Args({{"--sim-chip", "c.chip", "write"}, k27C256, {"d.bin"}})).status, 0);
    EXPECT_EQ(Krt(Args({{"--sim-chip", "c.chip", "read"}, k27C256, {"/dev/null"}})).status, 0);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const KrtRun full = Krt(Args({{"--sim-chip", "c.chip", "read"}, k27C256, {"/dev/full"}}));
    EXPECT_EQ(full.status, 73);
    EXPECT_NE(full.err.find("/dev/full: File create is failed."), std::string::npos) << full.err;
    Start toFull{Args({{"--sim-chip", "c.chip", "read"}, k27C256, {"-"}})};
    toFull.output = "/dev/full";
    EXPECT_EQ(Krt(toFull).status, 73);
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// ---------------------------------------------------------------- the chip file as an output

TEST_F(ScriptUse, AReadIntoTheChipFileIsRefusedUnderEveryName) {
    ASSERT_EQ(Krt(Args({{"--sim-chip", "c.chip", "write"}, k27C256, {"d.bin"}})).status, 0);
    const std::string chip = Slurp(dir / "c.chip");
    fs::create_directories(dir / "sub");
    fs::create_symlink("c.chip", dir / "link.chip");
    fs::create_hard_link(dir / "c.chip", dir / "hard.chip");
    for (const std::string& name : {std::string("c.chip"), std::string("./c.chip"), std::string("sub/../c.chip"),
                                    Path("c.chip"), std::string("link.chip"), std::string("hard.chip")}) {
        const KrtRun run = Krt(Args({{"--sim-chip", "c.chip", "read"}, k27C256, {name}}));
        EXPECT_EQ(run.status, 64) << name;
        EXPECT_NE(run.err.find("is the chip file of --sim-chip"), std::string::npos) << name << run.err;
        EXPECT_EQ(run.out.find("READ operation start"), std::string::npos) << name;
        EXPECT_TRUE(Slurp(dir / "c.chip") == chip) << name;
    }
    // The other way round, and a chip file that does not exist yet.
    EXPECT_EQ(Krt(Args({{"--sim-chip", "link.chip", "read"}, k27C256, {"c.chip"}})).status, 64);
    EXPECT_EQ(Krt(Args({{"--sim-chip", "new.chip", "read"}, k27C256, {"sub/../new.chip"}})).status, 64);
    EXPECT_FALSE(fs::exists(dir / "new.chip"));
    // The port trace is an output too.
    const KrtRun trace = Krt(Args({{"--sim-chip", "c.chip", "--trace", "./link.chip", "blank"}, k27C256}));
    EXPECT_EQ(trace.status, 64);
    EXPECT_NE(trace.err.find("is the chip file of --sim-chip"), std::string::npos) << trace.err;
    EXPECT_TRUE(Slurp(dir / "c.chip") == chip);
    const KrtRun convert = Krt(Args({{"--sim-chip", "c.chip", "convert"}, k27C256, {"d.bin", "hard.chip"}}));
    EXPECT_EQ(convert.status, 64);
    EXPECT_NE(convert.err.find("is the chip file of --sim-chip"), std::string::npos) << convert.err;
    EXPECT_TRUE(Slurp(dir / "c.chip") == chip);
    // Any other file is fine.
    EXPECT_EQ(Krt(Args({{"--sim-chip", "c.chip", "read"}, k27C256, {"sub/back.bin"}})).status, 0);
    EXPECT_TRUE(Slurp(dir / "sub" / "back.bin") == data);
}

// ---------------------------------------------------------------- option values

TEST_F(ScriptUse, EveryNumericOptionIsCheckedAndNamedWhenWrong) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
        {{"--start", "100000000"}, "--start"},  {{"--start", "12G4"}, "--start"},
        {{"--start", ""}, "--start"},           {{"--start", " 10"}, "--start"},
        {{"--start", "-1"}, "--start"},         {{"--length", "1FFFFFFFF"}, "--length"},
        {{"--length", "0x"}, "--length"},       {{"--errors", "abc"}, "--errors"},
        {{"--errors", "4294967296"}, "--errors"}, {{"--errors", "1.5"}, "--errors"},
        {{"--port-base", "10000"}, "--port-base"}, {{"--port-base", "37G"}, "--port-base"},
        {{"--clock", "450000"}, "--clock"},     {{"--clock", "3500001"}, "--clock"},
        {{"--clock", "4000000"}, "--clock"},    {{"--clock", "2e6"}, "--clock"},
        {{"--power-circuit", "3"}, "--power-circuit"},
    };
    for (const auto& [option, name] : wrong) {
        const KrtRun run = Krt(Args({{"--sim-chip", "c.chip", "write"}, k27C256, {"d.bin"}, option}));
        EXPECT_EQ(run.status, 64) << option[0] << " " << option[1];
        EXPECT_EQ(run.err.rfind("krt: " + name + " ", 0), 0u) << run.err;
        EXPECT_EQ(run.out.find("WRITE operation start"), std::string::npos);
    }
    // Nothing was programmed, nothing was made.
    EXPECT_FALSE(fs::exists(dir / "c.chip"));

    // Within the bounds every value is taken.
    EXPECT_EQ(Krt(Args({{"blank"}, k27C256, {"--start", "0x7FF0", "--errors", "4294967295"}})).status, 0);
    EXPECT_EQ(Krt(Args({{"blank"}, k27C256, {"--length", "FFFFFFFF"}})).status, 0);
    for (const char* hz : {"450001", "3500000", "1843200"}) {
        const KrtRun run = Krt({"--clock", hz, "detect"});
        EXPECT_EQ(run.status, 0) << hz << run.err;
    }
}

// ---------------------------------------------------------------- data files without data

TEST_F(ScriptUse, AFileWithoutRecordsIsAFormatErrorAndNothingIsProgrammed) {
    Spit(dir / "text.hex", "This is not an Intel HEX file.\n");
    Spit(dir / "nuls.mot", std::string(4096, '\0'));
    for (const char* file : {"text.hex", "nuls.mot"}) {
        for (const char* command : {"write", "auto", "verify"}) {
            const KrtRun run = Krt(Args({{"--sim-chip", "c.chip", command}, k27C256, {file}}));
            EXPECT_EQ(run.status, 66) << command << " " << file;
            EXPECT_NE(run.err.find(std::string(file) + ": File format is incorrect."), std::string::npos) << run.err;
            EXPECT_EQ(run.out.find("operation start"), std::string::npos) << run.out;
            EXPECT_EQ(run.out.find("word length data is read"), std::string::npos) << run.out;
        }
        const KrtRun convert = Krt(Args({{"convert"}, k27C256, {file, "o.bin"}}));
        EXPECT_EQ(convert.status, 12);
        EXPECT_NE(convert.err.find("File format is incorrect."), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(dir / "c.chip"));
}

TEST_F(ScriptUse, AFifoGivenAsInputDoesNotHang) {
    ASSERT_EQ(mkfifo((dir / "f.bin").c_str(), 0600), 0);
    // Wait() fails the test when krt does not end.
    const KrtRun run = Krt(Args({{"write"}, k27C256, {"f.bin"}}));
    EXPECT_EQ(run.status, 66);
    EXPECT_NE(run.err.find("cannot read f.bin: a FIFO: krt reads one only as standard input"),
              std::string::npos) << run.err;
    EXPECT_EQ(Krt(Args({{"convert"}, k27C256, {"f.bin", "o.bin"}})).status, 11);
    EXPECT_TRUE(fs::is_fifo(dir / "f.bin"));
}

// ---------------------------------------------------------------- signals

TEST_F(ScriptUse, TermAndHangUpCancelPowerDownAndSaveThePartlyProgrammedChip) {
    const std::vector<std::string> device = {"EPROM", "AMD", "27C020"};
    std::string big(0x40000, '\0');
    std::mt19937 random(13);
    for (char& b : big) b = static_cast<char>(random() | 1);  // never blank
    Spit(dir / "big.bin", big);
    for (int signal : {SIGTERM, SIGHUP}) {
        fs::remove(dir / "c.chip");
        const Start write{Args({{"--sim-chip", "c.chip", "write"}, device, {"big.bin"}})};
        const pid_t pid = Launch(write, "w");
        ASSERT_TRUE(UnderWay("w", "Now writing..")) << Slurp(dir / "errw.txt");
        // Held still while the signal is sent, so that it lands mid-write.
        kill(pid, SIGSTOP);
        kill(pid, signal);
        kill(pid, SIGCONT);
        const KrtRun run = Wait(pid, write, "w");
        EXPECT_EQ(run.status, 1) << strsignal(signal) << run.err;
        EXPECT_NE(run.out.find("WRITE operation is failed. Because \"Operation is canceled\""), std::string::npos)
            << run.out;
        // The chip file holds what was programmed: the start, not the end.
        const KrtRun back = Krt(Args({{"--sim-chip", "c.chip", "read"}, device, {"back.bin"}}));
        ASSERT_EQ(back.status, 0) << back.err;
        const std::string chip = Slurp(dir / "back.bin");
        ASSERT_EQ(chip.size(), big.size());
        EXPECT_TRUE(chip.compare(0, 0x1000, big, 0, 0x1000) == 0) << strsignal(signal);
        EXPECT_TRUE(chip.compare(chip.size() - 0x100, 0x100, std::string(0x100, '\xFF')) == 0) << strsignal(signal);
        // No temporary file left behind.
        for (const auto& entry : fs::directory_iterator(dir))
            EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

// ---------------------------------------------------------------- two runs, one chip file

TEST_F(ScriptUse, ASecondRunOnTheSameChipFileIsTurnedAway) {
    const std::vector<std::string> device = {"EPROM", "AMD", "27C020"};
    fs::create_symlink("c.chip", dir / "link.chip");
    // The first run locks the chip file, then waits to open its trace, a
    // FIFO that nobody reads yet: it holds the lock until the test reads.
    ASSERT_EQ(mkfifo((dir / "trace").c_str(), 0600), 0);
    const Start first{Args({{"--sim-chip", "c.chip", "--trace", "trace", "--length", "100", "write"}, device,
                            {"d.bin"}})};
    const pid_t pid = Launch(first, "1");
    // The chip file takes its name only once it is made and locked.
    const auto giveUp = std::chrono::steady_clock::now() + 60s;
    while (!fs::exists(dir / "c.chip") && std::chrono::steady_clock::now() < giveUp) std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(fs::exists(dir / "c.chip")) << Slurp(dir / "err1.txt");
    for (const std::string& name : {std::string("c.chip"), std::string("./link.chip"), Path("c.chip")}) {
        const KrtRun second = Krt(Args({{"--sim-chip", name, "blank"}, device}));
        EXPECT_EQ(second.status, 75) << name;
        EXPECT_NE(second.err.find("is in use by another run of krt"), std::string::npos) << second.err;
        EXPECT_EQ(second.out.find("BLANK check operation start"), std::string::npos);
    }
    const KrtRun erase = Krt({"--sim-chip", "c.chip", "sim-erase"});
    EXPECT_EQ(erase.status, 75) << erase.err;
    std::thread reader([this] {
        std::ifstream trace(dir / "trace");
        for (std::string line; std::getline(trace, line);) {
        }
    });
    const KrtRun done = Wait(pid, first, "1");
    reader.join();
    EXPECT_EQ(done.status, 0) << done.err;
    // The first run's chip stands, and the file is free again.
    EXPECT_EQ(Krt(Args({{"--sim-chip", "link.chip", "--length", "100", "verify"}, device, {"d.bin"}})).status, 0);
}

// ---------------------------------------------------------------- identity check

TEST_F(ScriptUse, AnotherPartIsRefusedUnlessNoIdCheckIsGiven) {
    const std::vector<std::string> gal = {"GAL", "Lattice", "GAL16V8"};
    const KrtRun refused = Krt(Args({{"--sim-chip", "g.chip", "--sim-fault", "wrong-part", "erase"}, gal}));
    EXPECT_EQ(refused.status, 4) << refused.err;
    EXPECT_NE((refused.out + refused.err).find("Wrong device in the socket: expected GAL16V8"), std::string::npos)
        << refused.out;
    const KrtRun skipped =
        Krt(Args({{"--sim-chip", "g.chip", "--sim-fault", "wrong-part", "--no-id-check", "erase"}, gal}));
    EXPECT_EQ(skipped.status, 0) << skipped.err;
    EXPECT_EQ((skipped.out + skipped.err).find("Wrong device"), std::string::npos);
}

// ---------------------------------------------------------------- no programmer

TEST_F(ScriptUse, WithoutAProgrammerDeviceOperationsStopWithSevenUnlessForced) {
    ASSERT_EQ(Krt(Args({{"--sim-chip", "c.chip", "write"}, k27C256, {"d.bin"}})).status, 0);
    const std::string chip = Slurp(dir / "c.chip");
    for (const char* fault : {"no-programmer-high", "no-programmer-low"}) {
        for (const char* command : {"verify", "write", "read"}) {
            const std::string file = std::string(command) == "read" ? "r.bin" : "d.bin";
            const KrtRun run = Krt(Args({{"--sim-chip", "c.chip", "--sim-fault", fault, command}, k27C256, {file}}));
            EXPECT_EQ(run.status, 7) << fault << " " << command;
            // The detection lines, then what to check.
            EXPECT_NE(run.out.find("-----KRT1 does not run."), std::string::npos) << run.out;
            EXPECT_NE(run.err.find("found no programmer"), std::string::npos) << run.err;
            EXPECT_NE(run.err.find("cable"), std::string::npos);
            EXPECT_NE(run.err.find("--force"), std::string::npos);
            EXPECT_EQ(run.out.find("operation start"), std::string::npos) << run.out;
            EXPECT_EQ(run.out.find("Verify error"), std::string::npos);
            EXPECT_TRUE(Slurp(dir / "c.chip") == chip);
            EXPECT_FALSE(fs::exists(dir / "r.bin"));
        }
    }
    // --force runs it anyway: a programmer that never answers reads as 00.
    const KrtRun forced =
        Krt(Args({{"--sim-chip", "c.chip", "--sim-fault", "no-programmer-high", "--force", "verify"}, k27C256, {"d.bin"}}));
    EXPECT_EQ(forced.status, 3);
    EXPECT_NE(forced.out.find("VERIFY operation start"), std::string::npos);
}

// ---------------------------------------------------------------- messages

// Every command that reads a data file says the same line for one that
// cannot be opened: the file and the system's reason.
TEST_F(ScriptUse, AnUnreadableInputIsNamedWithTheSystemsReasonByEveryCommand) {
    struct Command {
        std::vector<std::string> words;  // before TYPE MAKER NAME
        std::vector<std::string> after;  // after the file
        int status;
    };
    const Command commands[] = {
        {{"write"}, {}, 66}, {{"verify"}, {}, 66}, {{"auto"}, {}, 66},
        {{"convert"}, {"o.bin"}, 11}, {{"sum"}, {}, 11},
    };
    fs::create_directories(dir / "folder.bin");
    ASSERT_EQ(mkfifo((dir / "f.bin").c_str(), 0600), 0);
    struct File {
        const char* name;
        const char* line;
    };
    const File files[] = {
        {"missing.bin", "krt: cannot read missing.bin: No such file or directory\n"},
        {"folder.bin", "krt: cannot read folder.bin: Is a directory\n"},
        {"f.bin", "krt: cannot read f.bin: a FIFO: krt reads one only as standard input"},
    };
    for (const Command& command : commands) {
        for (const File& file : files) {
            const KrtRun run = Krt(Args({command.words, k27C256, {file.name}, command.after}));
            SCOPED_TRACE(command.words[0] + " " + file.name);
            EXPECT_EQ(run.status, command.status);
            EXPECT_NE(run.err.find(file.line), std::string::npos) << run.err;
            // One line, not the window's box beside it.
            EXPECT_EQ(run.err.find("File not found."), std::string::npos) << run.err;
        }
    }
    // In the run's language.
    const KrtRun ja = Krt(Args({{"--lang", "ja", "write"}, k27C256, {"missing.bin"}}));
    EXPECT_NE(ja.err.find("krt: missing.binを読めません: "), std::string::npos) << ja.err;

    // A file this user may not read.
    Spit(dir / "secret.bin", data);
    fs::permissions(dir / "secret.bin", fs::perms::owner_read | fs::perms::owner_write);
    Start locked{Args({{"write"}, k27C256, {"secret.bin"}})};
    locked.otherUser = geteuid() == 0;
    if (!locked.otherUser) fs::permissions(dir / "secret.bin", fs::perms::none);
    const KrtRun denied = Krt(locked);
    if (denied.status == 126 || denied.status == 127) GTEST_SKIP() << "cannot run krt as another user here";
    EXPECT_EQ(denied.status, 66);
    EXPECT_NE(denied.err.find("krt: cannot read secret.bin: Permission denied\n"), std::string::npos) << denied.err;
}

TEST_F(ScriptUse, AChipFileThatIsADirectorySaysSo) {
    fs::create_directories(dir / "chipdir");
    for (const char* command : {"blank", "detect"}) {
        const KrtRun run = Krt(Args({{"--sim-chip", "chipdir", command}, std::string(command) == "blank" ? k27C256
                                                                                                          : std::vector<std::string>{}}));
        EXPECT_EQ(run.status, 66) << command;
        EXPECT_NE(run.err.find("the chip file chipdir is a directory"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("Input/output error"), std::string::npos) << run.err;
    }
}

TEST_F(ScriptUse, BadSimulatorValuesAreUsageErrors) {
    const KrtRun fault = Krt({"--sim-fault", "bogus", "detect"});
    EXPECT_EQ(fault.status, 64);
    EXPECT_NE(fault.err.find("--sim-fault: unknown simulator fault \"bogus\""), std::string::npos) << fault.err;
    EXPECT_EQ(Krt({"--sim-fault", "weak-cells:xyz", "detect"}).status, 64);
    EXPECT_EQ(Krt({"--sim-fault", "stays-busy:1", "detect"}).status, 64);
    const KrtRun revisions = Krt({"--sim-revisions", "zz", "detect"});
    EXPECT_EQ(revisions.status, 64);
    EXPECT_NE(revisions.err.find("--sim-revisions"), std::string::npos);
    EXPECT_EQ(Krt({"--sim-revisions", "20,10", "--sim-fault", "crystal:3579545", "detect"}).status, 0);
}

TEST_F(ScriptUse, DirectIoThatCannotBeHadSaysWhatItNeedsAndWhatElseToUse) {
    const KrtRun run = Krt({"--port", "direct", "detect"});
    if (run.status != 69) GTEST_SKIP() << "direct I/O opened on this machine";
    EXPECT_NE(run.err.find("direct I/O at 378"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--port ppdev"), std::string::npos) << run.err;
    if (run.err.find("permission denied") == std::string::npos) {
        EXPECT_NE(run.err.find("--port sim"), std::string::npos) << run.err;
    }
}

TEST_F(ScriptUse, AChipFileInAReadOnlyDirectoryIsRefusedBeforeProgramming) {
    fs::create_directories(dir / "ro");
    ASSERT_EQ(Krt(Args({{"--sim-chip", "ro/c.chip", "blank"}, k27C256})).status, 0);
    const std::string chip = Slurp(dir / "ro" / "c.chip");
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const bool asOther = geteuid() == 0;  // root writes anywhere: run as nobody
    Start write{Args({{"--sim-chip", "ro/c.chip", "write"}, k27C256, {"d.bin"}})};
    write.otherUser = asOther;
    const KrtRun run = Krt(write);
    if (run.status == 126 || run.status == 127) GTEST_SKIP() << "cannot run krt as another user here";
    EXPECT_EQ(run.status, 73);
    EXPECT_EQ(run.out.find("WRITE operation"), std::string::npos) << run.out;
    EXPECT_EQ(Count(run.out + run.err, "ro/c.chip"), 1u) << run.out << run.err;
    EXPECT_NE(run.err.find("could not be saved after the write"), std::string::npos) << run.err;
    EXPECT_TRUE(Slurp(dir / "ro" / "c.chip") == chip);
    // What does not change the chip still runs; a new chip file cannot be made.
    Start blank{Args({{"--sim-chip", "ro/c.chip", "blank"}, k27C256})};
    blank.otherUser = asOther;
    EXPECT_EQ(Krt(blank).status, 0);
    Start fresh{Args({{"--sim-chip", "ro/new.chip", "blank"}, k27C256})};
    fresh.otherUser = asOther;
    const KrtRun made = Krt(fresh);
    EXPECT_EQ(made.status, 73);
    EXPECT_NE(made.err.find("cannot create the chip file ro/new.chip: Permission denied"), std::string::npos)
        << made.err;
}

// ---------------------------------------------------------------- the lock itself

TEST_F(ScriptUse, ChipFileLockKeepsOneHolderAndMakesMissingFilesUnderIt) {
    const std::string path = Path("l.chip");
    int made = 0;
    const ChipFileLock::Maker make = [&made](const std::string& file, std::string&) {
        ++made;
        std::ofstream(file + ".new") << "KRTSIM-CHIP\n";
        fs::rename(file + ".new", file);  // a new file, as the chip files are saved
        return true;
    };
    std::string error;
    ChipFileLock first, second;
    // Without a maker a missing file is left missing.
    EXPECT_EQ(first.Acquire(path, nullptr, error), ChipFileLock::Outcome::Locked);
    EXPECT_FALSE(first.Held());
    EXPECT_FALSE(fs::exists(path));
    // With one it is made under the lock, and the made file is the locked one.
    EXPECT_EQ(first.Acquire(path, make, error), ChipFileLock::Outcome::Locked) << error;
    EXPECT_TRUE(first.Held());
    EXPECT_EQ(made, 1);
    EXPECT_EQ(Slurp(path), "KRTSIM-CHIP\n");
    EXPECT_EQ(second.Acquire(path, make, error), ChipFileLock::Outcome::InUse);
    EXPECT_EQ(second.Acquire(Path("./l.chip"), nullptr, error), ChipFileLock::Outcome::InUse);
    first.Release();
    EXPECT_EQ(second.Acquire(path, make, error), ChipFileLock::Outcome::Locked);
    EXPECT_EQ(made, 1);
    second.Release();
    // An empty file is no chip file krt made: it is locked as it is, not replaced.
    Spit(path, "");
    EXPECT_EQ(first.Acquire(path, make, error), ChipFileLock::Outcome::Locked);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(Slurp(path), "");
    // A maker without a chip model: no file is left.
    fs::remove(path);
    first.Release();
    EXPECT_EQ(first.Acquire(path, [](const std::string&, std::string&) { return false; }, error),
              ChipFileLock::Outcome::Locked);
    EXPECT_FALSE(fs::exists(path));
    fs::create_directories(Path("d.chip"));
    EXPECT_EQ(first.Acquire(Path("d.chip"), make, error), ChipFileLock::Outcome::Failed);
    EXPECT_NE(error.find("is a directory"), std::string::npos);
}

TEST_F(ScriptUse, SameFileSeesThroughSpellingsLinksAndFilesNotMadeYet) {
    Spit(dir / "a.bin", "a");
    fs::create_directories(dir / "sub");
    fs::create_symlink("a.bin", dir / "s.bin");
    fs::create_symlink("later.bin", dir / "dangling.bin");
    fs::create_hard_link(dir / "a.bin", dir / "h.bin");
    EXPECT_TRUE(SameFile(Path("a.bin"), Path("sub/../a.bin")));
    EXPECT_TRUE(SameFile(Path("a.bin"), Path("s.bin")));
    EXPECT_TRUE(SameFile(Path("a.bin"), Path("h.bin")));
    EXPECT_TRUE(SameFile(Path("later.bin"), Path("./sub/../dangling.bin")));
    EXPECT_FALSE(SameFile(Path("a.bin"), Path("later.bin")));
    EXPECT_FALSE(SameFile("-", "-"));
    EXPECT_FALSE(SameFile(Path("a.bin"), ""));
}

}  // namespace
}  // namespace krt
