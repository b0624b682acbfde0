// SPDX-License-Identifier: GPL-3.0-or-later
// krt's checksum figure (krt sum, and the lines after read and after a file
// is loaded for write or verify) against the same sum computed outside the
// program, and the man page against krt --help.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/KrtProcess.h"

namespace krt {
namespace {

namespace fs = std::filesystem;

using test::Slurp;

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class KrtChecksum : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("krt-sum-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "config");
    }
    void TearDown() override { fs::remove_all(dir); }

    struct Run {
        int status = -1;
        std::string out, err;
    };
    Run Shell(const std::string& command) {
        const std::string line = "cd " + Quote(dir.string()) + " && XDG_CONFIG_HOME=" +
                                 Quote((dir / "config").string()) + " " + command +
                                 " >out.txt 2>err.txt </dev/null";
        Run run;
        const int raw = std::system(line.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = Slurp(dir / "out.txt");
        run.err = Slurp(dir / "err.txt");
        return run;
    }
    Run Krt(const std::vector<std::string>& args) {
        std::string command = Quote(KRT_CLI_PATH);
        for (const std::string& a : args) command += " " + Quote(a);
        return Shell(command);
    }
    // The 16-bit sum of a file's bytes [first, first + count) by python3.
    std::string PythonSum(const std::string& file, size_t first, size_t count) {
        const Run run = Shell("python3 -c " +
                              Quote("import sys; d = open(sys.argv[1], 'rb').read()[int(sys.argv[2]):"
                                    "int(sys.argv[2]) + int(sys.argv[3])]; print('%04X' % (sum(d) & 0xFFFF))") +
                              " " + Quote(file) + " " + std::to_string(first) + " " + std::to_string(count));
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out.substr(0, 4);
    }
    void WriteImage(const char* name, size_t size, unsigned seed) {
        std::mt19937 random(seed);
        std::string bytes(size, '\0');
        for (char& b : bytes) b = static_cast<char>(random());
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }

    fs::path dir;
};

TEST_F(KrtChecksum, SumOfAKnownImageMatchesPython) {
    WriteImage("image.bin", 0x8000, 7);
    const std::string expected = PythonSum((dir / "image.bin").string(), 0, 0x8000);
    const Run run = Krt({"sum", "EPROM", "Intel", "27C256", "image.bin"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("CheckSum: " + expected + "\n"), std::string::npos) << run.out;

    // Over a range: the words that --start and --length name.
    const std::string part = PythonSum((dir / "image.bin").string(), 0x100, 0x80);
    const Run ranged = Krt({"sum", "EPROM", "Intel", "27C256", "image.bin", "--start", "100", "--length", "80"});
    ASSERT_EQ(ranged.status, 0) << ranged.err;
    EXPECT_NE(ranged.out.find("CheckSum: " + part + "\n"), std::string::npos) << ranged.out;

    const Run japanese = Krt({"--lang", "ja", "sum", "EPROM", "Intel", "27C256", "image.bin"});
    EXPECT_NE(japanese.out.find("チェックサム: " + expected + "\n"), std::string::npos) << japanese.out;

    // A file shorter than the device: the rest stays blank (FF), as the window loads it.
    WriteImage("short.bin", 0x10, 3);
    const Run shortRun = Krt({"sum", "EPROM", "Intel", "27C256", "short.bin"});
    std::ofstream(dir / "padded.bin", std::ios::binary)
        << Slurp(dir / "short.bin") << std::string(0x8000 - 0x10, '\xFF');
    EXPECT_NE(shortRun.out.find("CheckSum: " + PythonSum((dir / "padded.bin").string(), 0, 0x8000)),
              std::string::npos)
        << shortRun.out;

    EXPECT_EQ(Krt({"sum", "EPROM", "Intel", "27C256"}).status, 64);
    EXPECT_EQ(Krt({"sum", "EPROM", "Intel", "27C256", "missing.bin"}).status, 11);
}

TEST_F(KrtChecksum, SrecCatAgreesOnAnIntelHexFile) {
    if (Shell("command -v srec_cat").status != 0) GTEST_SKIP() << "srec_cat is not installed";
    WriteImage("image.bin", 0x8000, 11);
    ASSERT_EQ(Shell("srec_cat image.bin -binary -o image.hex -intel").status, 0);
    // srec_cat's own figure: the sum of the bytes, negated and cut to 16 bits,
    // stored little-endian behind the data; undo it.
    ASSERT_EQ(Shell("srec_cat image.bin -binary -checksum-negative-little-endian 0x8000 2 1 -o sum.bin -binary").status, 0);
    const std::string all = Slurp(dir / "sum.bin");
    ASSERT_EQ(all.size(), 0x8002u);
    const unsigned negated = static_cast<uint8_t>(all[0x8000]) | static_cast<uint8_t>(all[0x8001]) << 8;
    char expected[8];
    std::snprintf(expected, sizeof expected, "%04X", (0x10000u - negated) & 0xFFFFu);
    const Run run = Krt({"sum", "EPROM", "Intel", "27C256", "image.hex"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(std::string("CheckSum: ") + expected + "\n"), std::string::npos) << run.out;
}

TEST_F(KrtChecksum, WriteVerifyAndReadPrintTheSameFigure) {
    WriteImage("image.bin", 0x8000, 5);
    const std::string expected = "CheckSum: " + PythonSum((dir / "image.bin").string(), 0, 0x8000) + "\n";
    const Run write = Krt({"--port", "sim", "--sim-chip", "chip.bin", "write", "EPROM", "Intel", "27C256", "image.bin"});
    ASSERT_EQ(write.status, 0) << write.err;
    EXPECT_NE(write.out.find(expected), std::string::npos) << write.out;
    const Run verify = Krt({"--port", "sim", "--sim-chip", "chip.bin", "verify", "EPROM", "Intel", "27C256", "image.bin"});
    ASSERT_EQ(verify.status, 0) << verify.err;
    EXPECT_NE(verify.out.find(expected), std::string::npos) << verify.out;
    const Run read = Krt({"--port", "sim", "--sim-chip", "chip.bin", "read", "EPROM", "Intel", "27C256", "back.bin"});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_NE(read.out.find(expected), std::string::npos) << read.out;
}

TEST_F(KrtChecksum, GalFilesGiveTheirJedecFuseChecksum) {
    // The writer puts the fuse checksum in the C field; krt sum gives the same.
    const std::string jed = std::string(KRT_SOURCE_DIR) + "/tests/data/jedec/GAL16V8_reg.jed";
    ASSERT_EQ(Krt({"convert", "GAL", "Lattice", "GAL16V8", jed, "copy.jed"}).status, 0);
    const std::string copy = Slurp(dir / "copy.jed");
    const size_t c = copy.find("\nC");
    ASSERT_NE(c, std::string::npos);
    const Run run = Krt({"sum", "GAL", "Lattice", "GAL16V8", "copy.jed"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("CheckSum: " + copy.substr(c + 2, 4) + "\n"), std::string::npos) << run.out;
}

// The man page is made from krt --help by help2man: every command and
// option of the help is in it.
TEST_F(KrtChecksum, ManPageHasEveryCommandAndOptionOfTheHelp) {
    const fs::path page = fs::path(KRT_BINARY_DIR) / "man" / "krt.1";
    if (!fs::exists(page)) GTEST_SKIP() << "help2man is not installed: no man page was made";
    std::string man = Slurp(page);
    // Undo roff's escapes of the characters that the help text uses.
    for (const std::string& from : {std::string("\\fB"), std::string("\\fR"), std::string("\\fI"), std::string("\\fP")})
        for (size_t at; (at = man.find(from)) != std::string::npos;) man.erase(at, from.size());
    for (size_t at; (at = man.find("\\-")) != std::string::npos;) man.replace(at, 2, "-");
    const Run help = Krt({"--help"});
    ASSERT_EQ(help.status, 0);
    std::istringstream lines(help.out);
    std::string line;
    int items = 0;
    while (std::getline(lines, line)) {
        if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
        const std::string item = line.substr(2, line.find("  ", 2) - 2);
        EXPECT_NE(man.find(item), std::string::npos) << "the man page lacks: " << item;
        ++items;
    }
    EXPECT_GT(items, 30);
    EXPECT_NE(man.find("sum TYPE MAKER NAME FILE"), std::string::npos);
}

}  // namespace
}  // namespace krt
