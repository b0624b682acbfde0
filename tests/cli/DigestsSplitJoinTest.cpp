// SPDX-License-Identifier: GPL-3.0-or-later
// The CRC-32 and SHA-1 of krt sum, info --json and read --json against
// crc32 and sha1sum of the same bytes, and krt split/join against
// srec_cat's -split and -unsplit on the same files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
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

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

class KrtDigests : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("krt-digests-" + std::to_string(getpid()) + "-" +
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
                                 Quote((dir / "config").string()) + " " + command + " >out.txt 2>err.txt </dev/null";
        Run run;
        const int raw = std::system(line.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = Slurp(dir / "out.txt");
        run.err = Slurp(dir / "err.txt");
        return run;
    }
    Run Krt(const std::vector<std::string>& args) {
        std::string command = Quote(KRT_CLI_PATH) + " --catalogue " + Quote(std::string(KRT_SOURCE_DIR) + "/devices");
        for (const std::string& a : args) command += " " + Quote(a);
        return Shell(command);
    }
    bool Have(const char* tool) { return Shell(std::string("command -v ") + tool).status == 0; }
    // The first word that a tool prints for a file.
    std::string ToolSays(const char* tool, const std::string& file) {
        const Run run = Shell(std::string(tool) + " " + Quote(file));
        EXPECT_EQ(run.status, 0) << tool << ": " << run.err;
        return run.out.substr(0, run.out.find_first_of(" \t\n"));
    }
    std::string WriteImage(const char* name, size_t size, unsigned seed) {
        std::mt19937 random(seed);
        std::string bytes(size, '\0');
        for (char& b : bytes) b = static_cast<char>(random());
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return bytes;
    }
    std::string Bytes(const char* name) { return Slurp(dir / name); }

    fs::path dir;
};

#define REQUIRE_TOOL(tool) \
    if (!Have(tool)) GTEST_SKIP() << tool << " is not installed (Debian: libarchive-zip-perl, coreutils, srecord)"

TEST_F(KrtDigests, SumPrintsTheCrc32AndSha1OfTheToolsForTheRange) {
    REQUIRE_TOOL("crc32");
    REQUIRE_TOOL("sha1sum");
    const std::string image = WriteImage("image.bin", 0x8000, 5);
    Run run = Krt({"sum", "EPROM", "Intel", "27C256", "image.bin", "--crc32", "--sha1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("CRC-32: " + Upper(ToolSays("crc32", "image.bin")) + "\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("SHA-1: " + ToolSays("sha1sum", "image.bin") + "\n"), std::string::npos) << run.out;

    // A range covers its own bytes only.
    std::ofstream(dir / "part.bin", std::ios::binary) << image.substr(0x1234, 0x321);
    run = Krt({"sum", "EPROM", "Intel", "27C256", "image.bin", "--start", "1234", "--length", "321", "--crc32",
               "--sha1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("CRC-32: " + Upper(ToolSays("crc32", "part.bin")) + "\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("SHA-1: " + ToolSays("sha1sum", "part.bin") + "\n"), std::string::npos) << run.out;

    // Without the flags, the sum alone as before.
    run = Krt({"sum", "EPROM", "Intel", "27C256", "image.bin"});
    EXPECT_EQ(run.out.find("CRC-32"), std::string::npos) << run.out;
}

TEST_F(KrtDigests, SixteenBitDevicesDigestTheirBufferBytes) {
    REQUIRE_TOOL("sha1sum");
    WriteImage("image.bin", 0x20000, 9);
    const Run run = Krt({"sum", "EPROM", "AMD", "27C1024", "image.bin", "--sha1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("SHA-1: " + ToolSays("sha1sum", "image.bin") + "\n"), std::string::npos) << run.out;
}

TEST_F(KrtDigests, InfoJsonGivesTheBlankChipsFigures) {
    REQUIRE_TOOL("crc32");
    std::ofstream(dir / "blank.bin", std::ios::binary) << std::string(0x8000, '\xFF');
    const Run run = Krt({"info", "EPROM", "Intel", "27C256", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"blank\": {\"sum\": \"8000\", \"crc32\": \"" + Upper(ToolSays("crc32", "blank.bin")) +
                           "\", \"sha1\": \"" + ToolSays("sha1sum", "blank.bin") + "\", \"bytes\": 32768}"),
              std::string::npos)
        << run.out;
}

TEST_F(KrtDigests, ReadJsonDigestsWhatItWrote) {
    REQUIRE_TOOL("crc32");
    WriteImage("image.bin", 0x8000, 13);
    ASSERT_EQ(Krt({"--port", "sim", "--sim-chip", "chip", "write", "EPROM", "Intel", "27C256", "image.bin"}).status,
              0);
    const Run run =
        Krt({"--port", "sim", "--sim-chip", "chip", "read", "EPROM", "Intel", "27C256", "back.hex", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    // stdout holds the one document; the log went to stderr.
    EXPECT_EQ(run.out.rfind("{\"file\": \"back.hex\", \"start\": \"000000\", \"length\": \"008000\", ", 0), 0u)
        << run.out;
    EXPECT_NE(run.out.find("\"crc32\": \"" + Upper(ToolSays("crc32", "image.bin")) + "\""), std::string::npos);
    EXPECT_NE(run.out.find("\"sha1\": \"" + ToolSays("sha1sum", "image.bin") + "\""), std::string::npos);
    EXPECT_NE(run.err.find("READ operation"), std::string::npos) << run.err;
    EXPECT_EQ(Krt({"--port", "sim", "--sim-chip", "chip", "read", "EPROM", "Intel", "27C256", "-", "--json"}).status,
              64);
}

TEST_F(KrtDigests, SplitAndJoinMatchSrecCat) {
    REQUIRE_TOOL("srec_cat");
    const std::string image = WriteImage("image.bin", 0x4000, 17);
    ASSERT_EQ(Shell("srec_cat image.bin -binary -o image.hex -intel").status, 0);

    // Two chips, the input and outputs in three formats.
    Run run = Krt({"split", "image.hex", "--even", "even.mot", "--odd", "odd.bin"});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(Shell("srec_cat image.bin -binary -split 2 0 -o ref0.bin -binary").status, 0);
    ASSERT_EQ(Shell("srec_cat image.bin -binary -split 2 1 -o ref1.bin -binary").status, 0);
    ASSERT_EQ(Shell("srec_cat even.mot -motorola -o even.bin -binary").status, 0);
    EXPECT_EQ(Bytes("even.bin"), Bytes("ref0.bin"));
    EXPECT_EQ(Bytes("odd.bin"), Bytes("ref1.bin"));
    run = Krt({"join", "--even", "even.mot", "--odd", "odd.bin", "joined.hex"});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(Shell("srec_cat joined.hex -intel -o joined.bin -binary").status, 0);
    EXPECT_EQ(Bytes("joined.bin"), image);
    ASSERT_EQ(Shell("srec_cat ref0.bin -binary -unsplit 2 0 ref1.bin -binary -unsplit 2 1 -o ref.bin -binary").status,
              0);
    EXPECT_EQ(Bytes("ref.bin"), image);

    // Four byte lanes.
    run = Krt({"split", "image.bin", "--ways", "4", "l0.bin", "l1.bin", "l2.bin", "l3.bin"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (int j = 0; j < 4; ++j) {
        const std::string ref = "r" + std::to_string(j) + ".bin";
        ASSERT_EQ(Shell("srec_cat image.bin -binary -split 4 " + std::to_string(j) + " -o " + ref + " -binary").status,
                  0);
        EXPECT_EQ(Bytes(("l" + std::to_string(j) + ".bin").c_str()), Bytes(ref.c_str())) << "lane " << j;
    }
    run = Krt({"join", "--ways", "4", "l0.bin", "l1.bin", "l2.bin", "l3.bin", "four.bin"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Bytes("four.bin"), image);

    // Two 16-bit chips of a 32-bit bus, the image's words in the other byte order.
    run = Krt({"split", "image.bin", "--bytes", "2", "--swap", "--even", "w0.bin", "--odd", "w1.bin"});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(Shell("srec_cat image.bin -binary -byte-swap 2 -split 4 0 2 -o s0.bin -binary").status, 0);
    ASSERT_EQ(Shell("srec_cat image.bin -binary -byte-swap 2 -split 4 2 2 -o s1.bin -binary").status, 0);
    EXPECT_EQ(Bytes("w0.bin"), Bytes("s0.bin"));
    EXPECT_EQ(Bytes("w1.bin"), Bytes("s1.bin"));
    run = Krt({"join", "--bytes", "2", "--swap", "--even", "w0.bin", "--odd", "w1.bin", "words.bin"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Bytes("words.bin"), image);
}

TEST_F(KrtDigests, RefusedSplitsAndJoinsSayWhyAndWriteNothing) {
    WriteImage("odd-size.bin", 101, 3);
    Run run = Krt({"split", "odd-size.bin", "--even", "e.bin", "--odd", "o.bin"});
    EXPECT_EQ(run.status, 65);
    EXPECT_NE(run.err.find("the image of 101 bytes does not split into 2 chips"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir / "e.bin"));
    EXPECT_FALSE(fs::exists(dir / "o.bin"));

    WriteImage("a.bin", 0x100, 1);
    WriteImage("b.bin", 0x80, 2);
    run = Krt({"join", "--even", "a.bin", "--odd", "b.bin", "out.bin"});
    EXPECT_EQ(run.status, 65);
    EXPECT_NE(run.err.find("a.bin has 256 bytes, b.bin has 128"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir / "out.bin"));

    run = Krt({"--lang", "ja", "join", "--even", "a.bin", "--odd", "b.bin", "out.bin"});
    EXPECT_NE(run.err.find("a.bin は 256 バイト、b.bin は 128 バイトです"), std::string::npos) << run.err;

    EXPECT_EQ(Krt({"split", "a.bin", "--ways", "3", "x", "y"}).status, 64);
    EXPECT_EQ(Krt({"split", "missing.bin", "--even", "e.bin", "--odd", "o.bin"}).status, 66);
}

}  // namespace
}  // namespace krt
