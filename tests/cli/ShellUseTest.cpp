// SPDX-License-Identifier: GPL-3.0-or-later
// krt as a shell user drives it: a part number alone for the device, list
// --find, the bash completion, the progress on a terminal, --quiet and
// --verbose. Each runs the built krt (and bash, and script for a terminal)
// as a user would type it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/KrtProcess.h"

namespace krt {
namespace {

namespace fs = std::filesystem;

struct Ran {
    int status = -1;
    std::string out, err;
};

using test::Slurp;

class ShellUse : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("krt-shell-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::ofstream(dir / "data.bin", std::ios::binary) << std::string(0x100, '\x5A');
    }
    void TearDown() override { fs::remove_all(dir); }

    // A shell command line run in the test's directory; KRT names the built
    // krt with the source catalogue and no settings of the user's.
    Ran Shell(const std::string& line) const {
        const std::string krt = std::string("'") + KRT_CLI_PATH + "' --settings /dev/null --catalogue '" +
                                KRT_SOURCE_DIR + "/devices'";
        const std::string script = "cd '" + dir.string() + "' && KRT=\"" + krt + "\" && " + line + " >out.txt 2>err.txt";
        Ran ran;
        const int raw = std::system(("bash -c " + Quote(script)).c_str());
        ran.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        ran.out = Slurp(dir / "out.txt");
        ran.err = Slurp(dir / "err.txt");
        return ran;
    }
    static std::string Quote(const std::string& text) {
        std::string out = "'";
        for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return out + "'";
    }

    fs::path dir;
};

TEST_F(ShellUse, APartNumberAloneSelectsTheDevice) {
    // A unique part, in any case: the same chip file as the three-word form.
    Ran unique = Shell("eval $KRT --port sim --sim-chip a.chip write at28c16 data.bin --length 100 && "
                       "eval $KRT --port sim --sim-chip a.chip verify EEPROM Atmel AT28C16 data.bin --length 100");
    EXPECT_EQ(unique.status, 0) << unique.out << unique.err;
    EXPECT_NE(unique.out.find("VERIFY operation is successful."), std::string::npos) << unique.out;

    // Several entries loading one record (the EPROM and the OTP of one maker): the first.
    Ran shared = Shell("eval $KRT info 27c512a");
    EXPECT_EQ(shared.status, 0) << shared.err;
    EXPECT_NE(shared.out.find("name: 27C512A"), std::string::npos) << shared.out;

    // Several makers with their own parameters: a usage error listing them in full.
    Ran ambiguous = Shell("eval $KRT --port sim write 27C128 data.bin");
    EXPECT_EQ(ambiguous.status, 64);
    EXPECT_NE(ambiguous.err.find("  EPROM Intel 27C128\n"), std::string::npos) << ambiguous.err;
    EXPECT_NE(ambiguous.err.find("  OTPROM Microchip 27C128\n"), std::string::npos) << ambiguous.err;
    EXPECT_FALSE(fs::exists(dir / "a.chip.tmp"));

    // Neither a type nor a part: a usage error that points at the parts that contain it.
    Ran unknown = Shell("eval $KRT --port sim read 28C25 out.bin");
    EXPECT_EQ(unknown.status, 64);
    EXPECT_NE(unknown.err.find("AT28C256"), std::string::npos) << unknown.err;
    EXPECT_FALSE(fs::exists(dir / "out.bin"));

    // sdp takes its device after on|off.
    Ran sdp = Shell("eval $KRT --port sim sdp off AT28C256");
    EXPECT_EQ(sdp.status, 0) << sdp.out << sdp.err;
}

TEST_F(ShellUse, ListFindsPartsAcrossTypesAndMakers) {
    Ran found = Shell("eval $KRT list --find 28c");
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_NE(found.out.find("EEPROM Atmel AT28C256\n"), std::string::npos) << found.out;
    EXPECT_NE(found.out.find("EEPROM Xicor X28C256\n"), std::string::npos) << found.out;
    EXPECT_EQ(found.out.find("27C256"), std::string::npos) << found.out;

    Ran json = Shell("eval $KRT list --find X28C256 --json");
    EXPECT_EQ(json.out, "{\"find\": \"X28C256\", \"devices\": [{\"type\": \"EEPROM\", \"maker\": \"Xicor\", "
                        "\"name\": \"X28C256\"}]}\n");
    EXPECT_EQ(Shell("eval $KRT list --find NOSUCHPART").status, 1);
}

TEST_F(ShellUse, BashCompletionKnowsCommandsFaultsAndTheCatalogue) {
    // The completion function as bash calls it, with COMP_WORDS and COMP_CWORD set.
    auto complete = [&](const std::string& words, int cword) {
        return Shell("source '" + std::string(KRT_SOURCE_DIR) + "/cli/completion/krt.bash' && krt() { eval $KRT \"$@\"; } && "
                     "COMP_WORDS=(krt " + words + ") && COMP_CWORD=" + std::to_string(cword) +
                     " && _krt && printf '%s\\n' \"${COMPREPLY[@]}\"")
            .out;
    };
    EXPECT_EQ(complete("write AT28C2", 2), "AT28C256\nAT28C256F\n");
    EXPECT_EQ(complete("read at27c01", 2), "AT27C010\n");
    EXPECT_EQ(complete("read EEPROM Xi", 3), "Xicor\n");
    EXPECT_EQ(complete("read EEPROM Xicor X", 4), "X28C256\nX28HC256\n");
    EXPECT_EQ(complete("sdp o", 2), "on\noff\n");
    EXPECT_EQ(complete("ver", 1), "verify\n");
    EXPECT_NE(complete("--sim-fault dead", 2).find("dead-cells\n"), std::string::npos);
    EXPECT_NE(complete("--sim-s", 1).find("--sim-strict\n"), std::string::npos);
    // The prefix is a word, also when it looks like an option.
    const Ran prefix = Shell("eval $KRT complete options --no-");
    EXPECT_EQ(prefix.status, 0) << prefix.err;
    EXPECT_NE(prefix.out.find("--no-id-check\n"), std::string::npos) << prefix.out;
}

TEST_F(ShellUse, QuietPrintsTheResultLineAndOnFailureWhy) {
    Ran ok = Shell("eval $KRT --port sim --quiet --sim-chip q.chip write AT28C16 data.bin --length 100");
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out, "WRITE operation is successful\n");
    EXPECT_EQ(ok.err, "");

    Ran failed = Shell("eval $KRT --port sim --quiet --sim-fault dead-cells:10 --sim-chip blank.chip "
                       "write EPROM AMD 27C64 data.bin --length 100");
    EXPECT_EQ(failed.status, 3);
    const size_t why = failed.out.find("Verify error at 000010");
    const size_t result = failed.out.find("Errors were detected on WRITE operation\n");
    EXPECT_NE(why, std::string::npos) << failed.out;
    EXPECT_NE(result, std::string::npos) << failed.out;
    EXPECT_LT(why, result);
}

TEST_F(ShellUse, VerboseCountsEachCommandSent) {
    Ran ran = Shell("eval $KRT --port sim --verbose --sim-chip v.chip read AT28C16 out.bin --length 100");
    EXPECT_EQ(ran.status, 0) << ran.err;
    // A byte read is one DLREAD and one INC.
    EXPECT_NE(ran.err.find("Programmer commands sent: "), std::string::npos) << ran.err;
    EXPECT_NE(ran.err.find("  INC      256\n"), std::string::npos) << ran.err;
}

TEST_F(ShellUse, ProgressOnATerminalShowsAddressTimeLeftAndElapsed) {
    // script gives krt a terminal; its output is what the user saw.
    Ran ran = Shell("script -qec \"$KRT --port sim --sim-chip t.chip read AT28C16 out.bin --length 100\" /dev/null");
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_NE(ran.out.find("100% 000100 256/256 left 0:00"), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find("Time taken: 0:0"), std::string::npos) << ran.out;
    // Without a terminal the plain lines stay as they were.
    Ran plain = Shell("eval $KRT --port sim --sim-chip t.chip read AT28C16 out.bin --length 100");
    EXPECT_NE(plain.err.find("Now reading.. 100% 256/256\n"), std::string::npos) << plain.err;
    EXPECT_EQ(plain.err.find("left"), std::string::npos);
    EXPECT_EQ(plain.err.find("Time taken"), std::string::npos);
}

TEST_F(ShellUse, StandardInputAndOutputTakeTheirFormat) {
    // A HEX and an S file made by krt itself from the binary.
    ASSERT_EQ(Shell("eval $KRT convert AT28C16 data.bin fw.hex --length 100 && "
                    "eval $KRT convert AT28C16 data.bin fw.mot --length 100").status, 0);
    // Piped HEX and S text are told by their first bytes and programmed as the data they hold.
    for (const char* file : {"fw.hex", "fw.mot"}) {
        Ran piped = Shell(std::string("cat ") + file + " | eval $KRT --port sim --sim-chip " + file +
                          ".chip write AT28C16 - --length 100 && eval $KRT --port sim --sim-chip " + file +
                          ".chip read AT28C16 back.bin --length 100 && cmp data.bin back.bin");
        EXPECT_EQ(piped.status, 0) << file << piped.out << piped.err;
    }
    // --format bin takes the text as it is.
    Ran raw = Shell("cat fw.hex | eval $KRT --port sim --sim-chip raw.chip write AT28C16 - --format bin --length 100 && "
                    "eval $KRT --port sim --sim-chip raw.chip read AT28C16 - --length 1 | od -c");
    EXPECT_EQ(raw.status, 0) << raw.err;
    EXPECT_NE(raw.out.find(":"), std::string::npos) << raw.out;
    // Standard output in the format asked for.
    Ran out = Shell("eval $KRT --port sim --sim-chip fw.hex.chip read AT28C16 - --length 100 --format hex");
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_EQ(out.out.rfind(":10000000", 0), 0u) << out.out.substr(0, 40);
    EXPECT_NE(out.out.find(":00000001FF"), std::string::npos);
    EXPECT_EQ(Shell("eval $KRT --format ihex list").status, 64);
}

TEST_F(ShellUse, VersionFromTheBuild) {
    Ran ran = Shell("eval $KRT --version");
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(ran.out.rfind("krt 0.", 0), 0u) << ran.out;
}

}  // namespace
}  // namespace krt
