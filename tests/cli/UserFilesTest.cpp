// SPDX-License-Identifier: GPL-3.0-or-later
// What a user owns stays theirs: the chip file is saved without following a
// planted link, through the user's own link, keeping its mode, never over a
// file the user may not write; outputs that fail say so; a signal ends a
// wait for input; and values that would do nothing or the wrong thing are
// refused before the chip is touched. Each runs the built krt binary.
#include <gtest/gtest.h>

#include "support/KrtProcess.h"
#include "support/CliDevices.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <sstream>
#include <thread>

namespace krt {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::Args;
using test::KrtRun;
using test::Slurp;
using test::Spit;
using test::Start;

// A small part keeps each run short.

class UserFiles : public test::KrtDirTest {
protected:
    UserFiles() : KrtDirTest("krt-user-files", KRT_CLI_PATH) { simulatorUnlessNamed = true; }
    void SetUp() override {
        KrtDirTest::SetUp();
        fs::permissions(dir, fs::perms::all);  // the user nobody works here too
        std::mt19937 random(21);
        data.resize(0x2000);
        for (char& b : data) b = static_cast<char>(random());
        Spit(dir / "d.bin", data);
    }

    // Waits until the process sleeps in the kernel (blocked in a read or an open).
    static bool Blocked(pid_t pid) {
        for (int i = 0; i < 400; ++i) {
            std::istringstream stat(Slurp("/proc/" + std::to_string(pid) + "/stat"));
            std::string id, name, state;
            stat >> id >> name >> state;
            // The name is in parentheses without spaces (krt).
            if (state == "S") {
                std::this_thread::sleep_for(50ms);  // past the start-up, into the wait
                return true;
            }
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    fs::perms Mode(const std::string& name) const { return fs::status(dir / name).permissions(); }

    std::string data;
};

// ---------------------------------------------------------------- saving the chip file

TEST_F(UserFiles, ASaveNeverFollowsAPlantedLinkAndKeepsTheUsersLinkAndMode) {
    Spit(dir / "victim.txt", "mine");
    fs::create_symlink("victim.txt", dir / "c.chip.tmp");
    ASSERT_EQ(Krt(Args({{"--sim-chip", "c.chip", "write"}, k27C64, {"d.bin"}})).status, 0);
    EXPECT_EQ(Slurp(dir / "victim.txt"), "mine");
    EXPECT_TRUE(fs::is_symlink(dir / "c.chip.tmp"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "c.chip")));

    // The mode of the file it replaces.
    fs::permissions(dir / "c.chip", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(Krt(Args({{"--sim-chip", "c.chip", "sim-erase"}})).status, 0);
    EXPECT_EQ(Mode("c.chip"), fs::perms::owner_read | fs::perms::owner_write);

    // A chip file named through a link: the target is saved, the link stays.
    fs::create_directories(dir / "keep");
    fs::rename(dir / "c.chip", dir / "keep" / "real.chip");
    fs::create_symlink("keep/real.chip", dir / "l.chip");
    ASSERT_EQ(Krt(Args({{"--sim-chip", "l.chip", "write"}, k27C64, {"d.bin"}})).status, 0);
    EXPECT_TRUE(fs::is_symlink(dir / "l.chip"));
    EXPECT_EQ(Mode("keep/real.chip"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Krt(Args({{"--sim-chip", "keep/real.chip", "verify"}, k27C64, {"d.bin"}})).status, 0);
    // A link that leads nowhere yet: the chip file is made where it leads.
    fs::create_symlink("keep/later.chip", dir / "later.chip");
    EXPECT_EQ(Krt(Args({{"--sim-chip", "later.chip", "blank"}, k27C64})).status, 0);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "keep" / "later.chip")));
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.path().filename() == "c.chip.tmp") continue;
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    }

    // A data file written beside and renamed keeps its mode too.
    Spit(dir / "r.bin", "old");
    fs::permissions(dir / "r.bin", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(Krt(Args({{"--sim-chip", "l.chip", "read"}, k27C64, {"r.bin"}})).status, 0);
    EXPECT_TRUE(Slurp(dir / "r.bin") == data);
    EXPECT_EQ(Mode("r.bin"), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(UserFiles, AChipFileTheUserMayNotWriteIsRefusedBeforeTheChipIsTouched) {
    ASSERT_EQ(Krt(Args({{"--sim-chip", "c.chip", "blank"}, k27C64})).status, 0);
    const std::string chip = Slurp(dir / "c.chip");
    fs::permissions(dir / "c.chip", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // Root may write any file: the refusal is seen as the user nobody.
    const bool asNobody = geteuid() == 0;
    const KrtRun run = Krt(Start{Args({{"--sim-chip", "c.chip", "write"}, k27C64, {"d.bin"}}), "/dev/null",
                                "out.txt", asNobody});
    if (run.status == 126 || run.status == 127) GTEST_SKIP() << "cannot run krt as another user here";
    EXPECT_EQ(run.status, 73) << run.err;
    EXPECT_NE(run.err.find("could not be saved after the write: the file may not be written: Permission denied"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.out.find("WRITE operation"), std::string::npos) << run.out;
    EXPECT_TRUE(Slurp(dir / "c.chip") == chip);
    const KrtRun erase = Krt(Start{{"--sim-chip", "c.chip", "sim-erase"}, "/dev/null", "out.txt", asNobody});
    EXPECT_EQ(erase.status, 73) << erase.err;
    EXPECT_TRUE(Slurp(dir / "c.chip") == chip);
    // Reading it is still fine.
    EXPECT_EQ(Krt(Start{Args({{"--sim-chip", "c.chip", "blank"}, k27C64}), "/dev/null", "out.txt", asNobody}).status, 0);
}

TEST_F(UserFiles, AnEmptyChipFileOrABadSocketConfigurationIsNotAChipFile) {
    Spit(dir / "e.chip", "");
    const KrtRun empty = Krt(Args({{"--sim-chip", "e.chip", "read"}, k27C64, {"o.bin"}}));
    EXPECT_EQ(empty.status, 66);
    EXPECT_NE(empty.err.find("e.chip is not a simulated chip file"), std::string::npos) << empty.err;
    EXPECT_EQ(Slurp(dir / "e.chip"), "");
    EXPECT_FALSE(fs::exists(dir / "o.bin"));

    ASSERT_EQ(Krt(Args({{"--sim-chip", "c.chip", "write"}, k27C64, {"d.bin"}})).status, 0);
    std::string chip = Slurp(dir / "c.chip");
    const size_t at = chip.find("value config ");
    ASSERT_NE(at, std::string::npos);
    // Hexadecimal but not this device's socket (04 wires a PIC, 12 an EEPROM):
    // the chip would not answer there.
    for (const char* bad : {"ZZ", "1FF", "", "-1", "04", "12"}) {
        std::string damaged = chip;
        damaged.replace(at, chip.find('\n', at) - at, std::string("value config ") + bad);
        Spit(dir / "z.chip", damaged);
        const KrtRun run = Krt(Args({{"--sim-chip", "z.chip", "read"}, k27C64, {"o.bin"}}));
        EXPECT_EQ(run.status, 66) << bad;
        EXPECT_NE(run.err.find("socket configuration"), std::string::npos) << run.err;
        EXPECT_TRUE(Slurp(dir / "z.chip") == damaged) << bad;
    }
}

TEST_F(UserFiles, ClosedStandardStreamsNeverBecomeTheChipFile) {
    ASSERT_EQ(Krt(Args({{"--sim-chip", "c.chip", "write"}, k27C64, {"d.bin"}})).status, 0);
    const std::string chip = Slurp(dir / "c.chip");
    // As cron or a daemon starts it, or a shell with >&- or 2>&-: what would
    // go to a closed stream goes nowhere, and the chip file stays the chip's.
    for (const std::vector<int>& closed : {std::vector<int>{1}, {2}, {0, 1, 2}}) {
        Start start{Args({{"--sim-chip", "c.chip", "read"}, k27C64, {"-"}})};
        start.closed = closed;
        EXPECT_EQ(Krt(start).status, 0) << closed.size();
        EXPECT_TRUE(Slurp(dir / "c.chip") == chip) << closed.size();
    }
    EXPECT_EQ(Krt(Args({{"--sim-chip", "c.chip", "verify"}, k27C64, {"d.bin"}})).status, 0);
}

TEST_F(UserFiles, DataThatIsNoFuseMapIsNotProgrammedAsOne) {
    // A binary image named a fuse map, and a map whose fuse values are not
    // 0 or 1 (no C field to catch them): 66 with what is wrong, chip untouched.
    ASSERT_EQ(Krt(Args({{"--sim-chip", "c.chip", "write"}, k27C64, {"d.bin"}})).status, 0);
    const std::string chip = Slurp(dir / "c.chip");
    Spit(dir / "f.jed", "\x02x*QF2194*F0*L0000 0120*\x03" "0000\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {Args({{"--format", "jed", "--sim-chip", "c.chip", "write"}, k27C64, {"d.bin"}}), "is not JEDEC text"},
        {{"--sim-chip", "g.chip", "write", "GAL", "Lattice", "GAL16V8", "f.jed"}, "holds the fuse value \"2\""}};
    for (const auto& [args, says] : cases) {
        const KrtRun run = Krt(args);
        EXPECT_EQ(run.status, 66) << run.err;
        EXPECT_NE((run.out + run.err).find(says), std::string::npos) << run.out << run.err;
    }
    EXPECT_TRUE(Slurp(dir / "c.chip") == chip);
}

// ---------------------------------------------------------------- outputs and signals

TEST_F(UserFiles, AnOutputThatCannotBeWrittenIsSeventyThreeWithTheReason) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list"}, std::vector<std::string>{"--help"}, std::vector<std::string>{"detect"}}) {
        const KrtRun run = Krt(Start{args, "/dev/null", "/dev/full"});
        EXPECT_EQ(run.status, 73) << args[0];
        EXPECT_NE(run.err.find("cannot write standard output: No space left on device"), std::string::npos)
            << run.err;
    }
    const KrtRun trace = Krt({"--trace", "/dev/full", "detect"});
    EXPECT_EQ(trace.status, 73);
    EXPECT_NE(trace.err.find("cannot write the trace file /dev/full: No space left on device"), std::string::npos)
        << trace.err;
    // A run that failed keeps its own status.
    EXPECT_EQ(Krt({"--trace", "/dev/full", "--sim-fault", "no-programmer-low", "detect"}).status, 7);
}

TEST_F(UserFiles, TheFirstSignalEndsAWaitForInputOrForAFifosReader) {
    ASSERT_EQ(mkfifo((dir / "in.fifo").c_str(), 0600), 0);
    // Held open for writing here, so that krt's read waits for data.
    const int writer = open((dir / "in.fifo").c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    const Start fromFifo{Args({{"--sim-chip", "c.chip", "write"}, k27C64, {"-"}}), "in.fifo"};
    const pid_t write = Launch(fromFifo);
    ASSERT_TRUE(Blocked(write));
    const auto sent = std::chrono::steady_clock::now();
    kill(write, SIGTERM);
    const KrtRun stopped = Wait(write, fromFifo);
    close(writer);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 10s);
    EXPECT_EQ(stopped.status, 1) << stopped.err;
    EXPECT_NE(stopped.err.find("stopped by a signal while reading -"), std::string::npos) << stopped.err;
    EXPECT_FALSE(fs::exists(dir / "c.chip"));

    // A read into a FIFO nobody reads, and a trace into one.
    ASSERT_EQ(Krt(Args({{"--sim-chip", "c.chip", "write"}, k27C64, {"d.bin"}})).status, 0);
    const std::string chip = Slurp(dir / "c.chip");
    ASSERT_EQ(mkfifo((dir / "out.fifo").c_str(), 0600), 0);
    // The read is done (its time line is out) before the output is opened;
    // the trace is opened before the simulator's banner.
    const std::vector<std::pair<std::vector<std::string>, std::string>> waits = {
        {Args({{"--sim-chip", "c.chip", "read"}, k27C64, {"out.fifo"}}), "Time on a real programmer"},
        {Args({{"--sim-chip", "c.chip", "--trace", "out.fifo", "write"}, k27C64, {"d.bin"}}), ""}};
    for (const auto& [args, marker] : waits) {
        const pid_t pid = Launch(Start{args});
        for (int i = 0; i < 2000 && !marker.empty() && Slurp(dir / "err.txt").find(marker) == std::string::npos; ++i)
            std::this_thread::sleep_for(5ms);
        ASSERT_TRUE(Blocked(pid));
        kill(pid, SIGINT);
        const KrtRun run = Wait(pid, Start{args});
        EXPECT_EQ(run.status, 1) << args[4] << run.err;
        EXPECT_NE(run.err.find("stopped by a signal"), std::string::npos) << run.err;
        EXPECT_TRUE(Slurp(dir / "c.chip") == chip);
    }
}

// ---------------------------------------------------------------- values refused

TEST_F(UserFiles, FaultsThatWouldDoNothingAreRefusedNamingTheirRange) {
    const std::vector<std::string> gal = {"GAL", "Lattice", "GAL16V8"};
    const std::vector<std::string> eeprom = {"EEPROM", "Atmel", "AT28C64"};
    struct Case {
        std::string fault;
        std::vector<std::string> device;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"erase-pulses:0", k27C64, "1 to 1000000"},
        {"erase-pulses:-1", k27C64, "1 to 1000000"},
        {"weak-rows:64", gal, "0 to 63"},
        {"sdp-locked:1", eeprom, "takes no arguments"},
        {"sdp-locked", eeprom, "no software data protection"},
        {"sdp-locked", k27C64, "the chip in the socket (EPROM 27C64) does not know it"},
        {"secured", k27C64, "it is for GALs"},
        // Cell faults a model would ignore: a GAL has rows, a serial EEPROM's
        // cells are dead or sound.
        {"dead-cells:20", gal, "the chip in the socket (GAL GAL16V8) does not know it"},
        {"weak-cells:10", gal, "it is for EPROMs"},
        {"weak-cells:10", {"SEEPROM", "Atmel", "AT24C02"}, "(SEEPROM-2W AT24C02) does not know it"},
        {"weak-cells:10", {"SEEPROM", "Microchip", "93C46"}, "(SEEPROM-3W 93C46) does not know it"},
    };
    for (const Case& c : cases) {
        const KrtRun run = Krt(Args({{"--sim-chip", "c.chip", "--sim-fault", c.fault, "blank"}, c.device}));
        EXPECT_EQ(run.status, 64) << c.fault;
        EXPECT_NE(run.err.find("\"" + c.fault + "\""), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("operation start"), std::string::npos);
        EXPECT_FALSE(fs::exists(dir / "c.chip")) << c.fault;
    }
    // A chip file in the socket of a command without a device, and no chip at all.
    ASSERT_EQ(Krt(Args({{"--sim-chip", "c.chip", "blank"}, k27C64})).status, 0);
    const std::string chip = Slurp(dir / "c.chip");
    EXPECT_EQ(Krt({"--sim-chip", "c.chip", "--sim-fault", "weak-words:10", "detect"}).status, 64);
    EXPECT_EQ(Krt({"--sim-fault", "no-ack", "detect"}).status, 64);
    EXPECT_TRUE(Slurp(dir / "c.chip") == chip);
    // What fits is taken.
    EXPECT_EQ(Krt(Args({{"--sim-fault", "weak-rows:31@3", "blank"}, gal})).status, 0);
    EXPECT_EQ(Krt(Args({{"--sim-fault", "dead-cells:20", "blank"}, {"SEEPROM", "Atmel", "AT24C02"}})).status, 0);
}

TEST_F(UserFiles, NothingReportsAStateItDidNotObserve) {
    const KrtRun sdp = Krt({"--sim-fault", "no-programmer-high", "--force", "sdp", "on", "EEPROM", "Atmel", "AT28C256"});
    EXPECT_EQ(sdp.status, 7) << sdp.err;
    EXPECT_EQ(sdp.out.find("protection is on"), std::string::npos) << sdp.out;
    EXPECT_NE(sdp.out.find("was not observed"), std::string::npos) << sdp.out;

    // A ready wait that gave up ends the detection: no reply is read after it.
    const KrtRun busy = Krt({"--sim-strict", "--sim-fault", "stays-busy", "detect"});
    EXPECT_EQ(busy.status, 7) << busy.err;
    EXPECT_EQ(busy.err.find("protocol breach"), std::string::npos) << busy.err;

    const KrtRun negative = Krt({"vpp", "-5"});
    EXPECT_EQ(negative.status, 64);
    EXPECT_NE(negative.err.find("negative voltage (-5 V)"), std::string::npos) << negative.err;
    EXPECT_EQ(Krt({"vcc", "-0.5"}).status, 64);
    for (const char* revisions : {"20,10", "10,10"}) {
        const KrtRun off = Krt({"--sim-revisions", revisions, "vpp", "5"});
        EXPECT_EQ(off.status, 0) << revisions;
        EXPECT_NE(off.out.find("Vpp was switched off (5 V"), std::string::npos) << off.out;
        const KrtRun on = Krt({"--sim-revisions", revisions, "vpp", "12.5"});
        EXPECT_NE(on.out.find("Vpp was set to 12.5 V"), std::string::npos) << on.out;
    }
}

TEST_F(UserFiles, AnUnknownDeviceIsAUsageErrorNamingTheClosestPartNumbers) {
    const KrtRun run = Krt(Args({{"--sim-chip", "c.chip", "write"}, {"EPROM", "AMD", "27C265"}, {"d.bin"}}));
    EXPECT_EQ(run.status, 64);
    EXPECT_NE(run.err.find("the closest part numbers: EPROM AMD 27C256"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir / "c.chip"));
    EXPECT_EQ(Krt({"blank", "EPROM", "Nobody", "27C256"}).status, 64);
}

}  // namespace
}  // namespace krt
