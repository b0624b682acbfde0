// SPDX-License-Identifier: GPL-3.0-or-later
// krt's figures of a file and of a chip against the same figures computed
// outside the program: the checksum (python3, srec_cat's HEX), the CRC-32
// and SHA-1 (crc32, sha1sum) of sum, info --json and read --json; compare's
// listing; split and join against srec_cat's -split; the man page against
// krt --help.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/KrtProcess.h"

namespace krt {
namespace {

namespace fs = std::filesystem;

using test::KrtRun;
using test::Slurp;

std::string FigureQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

class KrtFigures : public test::KrtDirTest {
protected:
    KrtFigures() : KrtDirTest("krt-figures", KRT_CLI_PATH) {}

    // A tool of the system, run by the shell in the test's directory.
    KrtRun Shell(const std::string& command) {
        const int raw = std::system(("cd " + FigureQuote(dir.string()) + " && " + command +
                                     " >tool-out.txt 2>tool-err.txt </dev/null")
                                        .c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(dir / "tool-out.txt"), Slurp(dir / "tool-err.txt")};
    }
    // The first word that a tool prints for a file.
    std::string ToolSays(const std::string& tool, const std::string& file) {
        const KrtRun run = Shell(tool + " " + FigureQuote(file));
        EXPECT_EQ(run.status, 0) << tool << ": " << run.err;
        return run.out.substr(0, run.out.find_first_of(" \t\n"));
    }
    // The 16-bit sum of a file's bytes [first, first + count) by python3.
    std::string PythonSum(const std::string& file, size_t first, size_t count) {
        const KrtRun run = Shell("python3 -c " +
                                 FigureQuote("import sys; d = open(sys.argv[1], 'rb').read()[int(sys.argv[2]):"
                                       "int(sys.argv[2]) + int(sys.argv[3])]; print('%04X' % (sum(d) & 0xFFFF))") +
                                 " " + FigureQuote(file) + " " + std::to_string(first) + " " + std::to_string(count));
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out.substr(0, 4);
    }
    // The first of the tools that is not installed; null when all are.
    const char* Missing(std::initializer_list<const char*> tools) {
        for (const char* tool : tools)
            if (Shell(std::string("command -v ") + tool).status != 0) return tool;
        return nullptr;
    }
    std::string WriteImage(const std::string& name, size_t size, unsigned seed) {
        std::mt19937 random(seed);
        std::string bytes(size, '\0');
        for (char& b : bytes) b = static_cast<char>(random());
        test::Spit(dir / name, bytes);
        return bytes;
    }
    std::string Bytes(const std::string& name) { return Slurp(dir / name); }
};

#define REQUIRE_TOOLS(...)                  \
    if (const char* tool = Missing({__VA_ARGS__})) \
    GTEST_SKIP() << tool << " is not installed (Debian: libarchive-zip-perl, coreutils, srecord, python3)"

// One 27C256 image, its part files and its chip, and every command that
// gives a figure of them: what each prints on stdout and stderr.
TEST_F(KrtFigures, EveryCommandGivesTheFiguresOfTheToolsForTheSameImage) {
    REQUIRE_TOOLS("python3", "crc32", "sha1sum", "srec_cat");
    const std::string image = WriteImage("image.bin", 0x8000, 5);
    ASSERT_EQ(Shell("srec_cat image.bin -binary -o image.hex -intel").status, 0);
    test::Spit(dir / "part.bin", image.substr(0x1234, 0x321));
    // A file shorter than the device: the rest stays blank (FF), as the window loads it.
    const std::string shortFile = WriteImage("short.bin", 0x10, 3);
    test::Spit(dir / "padded.bin", shortFile + std::string(0x8000 - 0x10, '\xFF'));
    test::Spit(dir / "blank.bin", std::string(0x8000, '\xFF'));
    WriteImage("wide.bin", 0x20000, 9);  // a 16-bit device digests its buffer's bytes
    // The writer puts a GAL's fuse checksum in the C field; krt sum gives the same.
    ASSERT_EQ(Krt({"convert", "GAL", "Lattice", "GAL16V8", KRT_TESTDATA_DIR "/jedec/GAL16V8_reg.jed", "copy.jed"})
                  .status,
              0);
    const std::string jed = Bytes("copy.jed");
    ASSERT_NE(jed.find("\nC"), std::string::npos);

    const std::string sum = "CheckSum: " + PythonSum("image.bin", 0, 0x8000) + "\n";
    const std::string crc = Upper(ToolSays("crc32", "image.bin")), sha = ToolSays("sha1sum", "image.bin");
    const std::vector<std::string> k27C256 = {"EPROM", "Intel", "27C256"};
    const auto On = [&](const char* command, std::vector<std::string> args) {
        return test::Args({{"--port", "sim", "--sim-chip", "chip", command}, k27C256, args});
    };
    const auto Sum = [&](std::vector<std::string> args) { return test::Args({{"sum"}, k27C256, args}); };

    struct Case {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> out = {}, err = {};  // each found in its stream
        std::vector<std::string> notOut = {};
    };
    const Case cases[] = {
        {Sum({"image.bin"}), 0, {sum}, {}, {"CRC-32", "SHA-1"}},
        {Sum({"image.bin", "--start", "100", "--length", "80"}), 0,
         {"CheckSum: " + PythonSum("image.bin", 0x100, 0x80) + "\n"}},
        {test::Args({{"--lang", "ja"}, Sum({"image.bin"})}), 0,
         {"チェックサム: " + PythonSum("image.bin", 0, 0x8000) + "\n"}},
        {Sum({"image.hex"}), 0, {sum}},
        {Sum({"short.bin"}), 0, {"CheckSum: " + PythonSum("padded.bin", 0, 0x8000) + "\n"}},
        {Sum({"image.bin", "--crc32", "--sha1"}), 0, {"CRC-32: " + crc + "\n", "SHA-1: " + sha + "\n"}},
        {Sum({"image.bin", "--start", "1234", "--length", "321", "--crc32", "--sha1"}), 0,
         {"CRC-32: " + Upper(ToolSays("crc32", "part.bin")) + "\n",
          "SHA-1: " + ToolSays("sha1sum", "part.bin") + "\n"}},
        {{"sum", "EPROM", "AMD", "27C1024", "wide.bin", "--sha1"}, 0,
         {"SHA-1: " + ToolSays("sha1sum", "wide.bin") + "\n"}},
        {{"sum", "GAL", "Lattice", "GAL16V8", "copy.jed"}, 0,
         {"CheckSum: " + jed.substr(jed.find("\nC") + 2, 4) + "\n"}},
        {{"info", "EPROM", "Intel", "27C256", "--json"}, 0,
         {"\"blank\": {\"sum\": \"8000\", \"crc32\": \"" + Upper(ToolSays("crc32", "blank.bin")) +
          "\", \"sha1\": \"" + ToolSays("sha1sum", "blank.bin") + "\", \"bytes\": 32768}"}},
        {Sum({}), 64},
        {Sum({"missing.bin"}), 11},
        // The chip: the line after the file is loaded, and after the read.
        {On("write", {"image.bin"}), 0, {sum}},
        {On("verify", {"image.bin"}), 0, {sum}},
        {On("read", {"back.bin"}), 0, {sum}},
        // With --json, stdout holds the one document; the log goes to stderr.
        {On("read", {"back.hex", "--json"}), 0,
         {"{\"file\": \"back.hex\", \"start\": \"000000\", \"length\": \"008000\", ", "\"crc32\": \"" + crc + "\"",
          "\"sha1\": \"" + sha + "\""},
         {"READ operation", sum},
         {"READ operation", "CheckSum"}},
        {On("read", {"-", "--json"}), 64},
    };
    for (const Case& c : cases) {
        std::string label;
        for (const std::string& a : c.args) label += a + " ";
        SCOPED_TRACE(label);
        const KrtRun run = Krt(c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        for (const std::string& text : c.out) EXPECT_NE(run.out.find(text), std::string::npos) << text << run.out;
        for (const std::string& text : c.err) EXPECT_NE(run.err.find(text), std::string::npos) << text << run.err;
        for (const std::string& text : c.notOut) EXPECT_EQ(run.out.find(text), std::string::npos) << text;
    }
    EXPECT_EQ(Bytes("back.bin"), image);
}

// compare on an 8-bit EPROM, a 16-bit EPROM and a PIC, each equal, with a
// few words changed and with more than 1000 changed.
TEST_F(KrtFigures, CompareListsTheWordsThatDifferAndCountsThoseBeyondAThousand) {
    struct Device {
        std::vector<std::string> name;
        uint32_t words, width, wordMask;  // the bytes a word, the bits it holds
    };
    const Device k27C256{{"EPROM", "Intel", "27C256"}, 0x8000, 1, 0xFF};
    const Device k27C1024{{"EPROM", "AMD", "27C1024"}, 0x10000, 2, 0xFFFF};
    const Device kPic16F84{{"PIC", "Microchip", "PIC16F84"}, 0x400, 2, 0x3FFF};
    // A word of an image as the listing shows it (high byte first).
    const auto Word = [](const std::string& image, const Device& d, uint32_t a) {
        char text[8];
        const auto* p = reinterpret_cast<const unsigned char*>(image.data()) + a * d.width;
        std::snprintf(text, sizeof text, d.width == 2 ? "%04X" : "%02X", d.width == 2 ? p[0] << 8 | p[1] : p[0]);
        return std::string(text);
    };
    struct Case {
        const Device& device;
        uint32_t changed;  // words changed from 10h on, every 3rd
    };
    const Case cases[] = {{k27C256, 0}, {k27C256, 3}, {k27C256, 1500}, {k27C1024, 0}, {k27C1024, 2},
                          {k27C1024, 1200}, {kPic16F84, 0}, {kPic16F84, 4}, {kPic16F84, 300}};
    // A compare leaves the chip as it is: each device's chip is written once,
    // for all of its cases.
    const Device* written = nullptr;
    for (const Case& c : cases) {
        const Device& d = c.device;
        SCOPED_TRACE(d.name[2] + " " + std::to_string(c.changed));
        const auto Run = [&](std::vector<std::string> command, std::vector<std::string> args) {
            return Krt(test::Args({{"--port", "sim", "--sim-chip", "chip"}, command, d.name, args}));
        };
        std::string chip;
        for (uint32_t i = 0; i < d.words; ++i) {
            const uint32_t w = (i * 2654435761u + 1) >> 7 & d.wordMask;
            if (d.width == 2) chip += static_cast<char>(w >> 8);
            chip += static_cast<char>(w & 0xFF);
        }
        if (written != &d) {
            fs::remove(dir / "chip");
            test::Spit(dir / "chip.bin", chip);
            ASSERT_EQ(Run({"write"}, {"chip.bin"}).status, 0);
            written = &d;
        }
        std::string file = chip;
        std::vector<uint32_t> addresses;
        for (uint32_t n = 0, a = 0x10; n < c.changed && a < d.words; ++n, a += 3) {
            addresses.push_back(a);
            // Flip the word's low bit (and a high bit of a 16-bit word).
            file[a * d.width + d.width - 1] ^= 0x01;
            if (d.width == 2) file[a * d.width] ^= 0x10;
        }
        test::Spit(dir / "file.bin", file);
        const KrtRun run = Run({"compare"}, {"file.bin"});
        EXPECT_EQ(run.status, addresses.empty() ? 0 : 3) << run.err;
        std::string expected;
        for (size_t i = 0; i < addresses.size() && i < 1000; ++i) {
            char address[8];
            std::snprintf(address, sizeof address, "%06X", addresses[i]);
            expected += std::string(address) + " " + Word(chip, d, addresses[i]) + " " + Word(file, d, addresses[i]);
            expected += "\n";
        }
        if (addresses.size() > 1000)
            expected += "... and " + std::to_string(addresses.size() - 1000) + " more differences\n";
        EXPECT_EQ(run.out, expected);
        EXPECT_NE(run.err.find(std::to_string(addresses.size()) + " differences"), std::string::npos) << run.err;

        // -o: the same listing in the file, nothing of it on stdout.
        const KrtRun saved = Run({"compare"}, {"file.bin", "-o", "list.txt"});
        EXPECT_EQ(saved.status, run.status);
        EXPECT_EQ(Bytes("list.txt"), expected);
        EXPECT_EQ(saved.out.find("000010 "), std::string::npos);
    }
}

// Each split's chips are srec_cat's lanes of the image (whatever format
// each file has), and the join of them is the image again.
TEST_F(KrtFigures, SplitAndJoinMatchSrecCat) {
    REQUIRE_TOOLS("srec_cat");
    const std::string image = WriteImage("image.bin", 0x4000, 17);
    ASSERT_EQ(Shell("srec_cat image.bin -binary -o image.hex -intel").status, 0);
    struct Case {
        std::vector<std::string> split;
        std::vector<std::pair<std::string, std::string>> chips;  // krt's file, srec_cat's filter
        std::vector<std::string> join;
    };
    const Case cases[] = {
        // Two chips, the input and outputs in three formats.
        {{"image.hex", "--even", "even.mot", "--odd", "odd.bin"},
         {{"even.mot", "-split 2 0"}, {"odd.bin", "-split 2 1"}},
         {"--even", "even.mot", "--odd", "odd.bin", "joined.hex"}},
        // Four byte lanes.
        {{"image.bin", "--ways", "4", "l0.bin", "l1.bin", "l2.bin", "l3.bin"},
         {{"l0.bin", "-split 4 0"}, {"l1.bin", "-split 4 1"}, {"l2.bin", "-split 4 2"}, {"l3.bin", "-split 4 3"}},
         {"--ways", "4", "l0.bin", "l1.bin", "l2.bin", "l3.bin", "four.bin"}},
        // Two 16-bit chips of a 32-bit bus, the image's words in the other byte order.
        {{"image.bin", "--bytes", "2", "--swap", "--even", "w0.bin", "--odd", "w1.bin"},
         {{"w0.bin", "-byte-swap 2 -split 4 0 2"}, {"w1.bin", "-byte-swap 2 -split 4 2 2"}},
         {"--bytes", "2", "--swap", "--even", "w0.bin", "--odd", "w1.bin", "words.bin"}},
    };
    const auto SrecFormat = [](const std::string& name) {
        const std::string ext = name.substr(name.rfind('.'));
        return ext == ".mot" ? " -motorola" : ext == ".hex" ? " -intel" : " -binary";
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.join.back());
        KrtRun run = Krt(test::Args({{"split"}, c.split}));
        ASSERT_EQ(run.status, 0) << run.err;
        for (const auto& [file, filter] : c.chips) {
            ASSERT_EQ(Shell("srec_cat image.bin -binary " + filter + " -o ref.bin -binary").status, 0);
            ASSERT_EQ(Shell("srec_cat " + file + SrecFormat(file) + " -o chip.bin -binary").status, 0);
            EXPECT_EQ(Bytes("chip.bin"), Bytes("ref.bin")) << file;
        }
        run = Krt(test::Args({{"join"}, c.join}));
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string& joined = c.join.back();
        ASSERT_EQ(Shell("srec_cat " + joined + SrecFormat(joined) + " -o joined.bin -binary").status, 0);
        EXPECT_EQ(Bytes("joined.bin"), image);
    }
}

TEST_F(KrtFigures, RefusedSplitsAndJoinsSayWhyAndWriteNothing) {
    WriteImage("odd-size.bin", 101, 3);
    WriteImage("a.bin", 0x100, 1);
    WriteImage("b.bin", 0x80, 2);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string said;
    };
    const Case cases[] = {
        {{"split", "odd-size.bin", "--even", "e.bin", "--odd", "o.bin"}, 65,
         "the image of 101 bytes does not split into 2 chips"},
        {{"join", "--even", "a.bin", "--odd", "b.bin", "out.bin"}, 65, "a.bin has 256 bytes, b.bin has 128"},
        {{"--lang", "ja", "join", "--even", "a.bin", "--odd", "b.bin", "out.bin"}, 65,
         "a.bin は 256 バイト、b.bin は 128 バイトです"},
        {{"split", "a.bin", "--ways", "3", "x", "y"}, 64, ""},
        {{"split", "missing.bin", "--even", "e.bin", "--odd", "o.bin"}, 66, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        const KrtRun run = Krt(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        for (const char* output : {"e.bin", "o.bin", "out.bin"}) EXPECT_FALSE(fs::exists(dir / output)) << output;
    }
}

// The man page is made from krt --help by help2man: every command and
// option of the help is in it.
TEST_F(KrtFigures, ManPageHasEveryCommandAndOptionOfTheHelp) {
    const fs::path page = fs::path(KRT_BINARY_DIR) / "man" / "krt.1";
    if (!fs::exists(page)) GTEST_SKIP() << "help2man is not installed: no man page was made";
    std::string man = Slurp(page);
    // Undo roff's escapes of the characters that the help text uses.
    for (const std::string& from : {std::string("\\fB"), std::string("\\fR"), std::string("\\fI"), std::string("\\fP")})
        for (size_t at; (at = man.find(from)) != std::string::npos;) man.erase(at, from.size());
    for (size_t at; (at = man.find("\\-")) != std::string::npos;) man.replace(at, 2, "-");
    const KrtRun help = Krt({"--help"});
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
