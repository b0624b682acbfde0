// SPDX-License-Identifier: GPL-3.0-or-later
// Files we write must read the same in srec_cat, objcopy, python3-intelhex and
// MAME's jedutil, and files they write must read the same here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include <sys/wait.h>

#include "DataTestSupport.h"

namespace krt {
namespace {

namespace fs = std::filesystem;
using test::MemoryFile;
using test::ReadText;
using test::Slurp;
using test::Spit;
using test::WriteText;

int InteropShell(const std::string& command) {
    int status = std::system((command + " >/dev/null 2>&1").c_str());
    return status == -1 ? -1 : WEXITSTATUS(status);
}

bool Have(const char* tool) { return InteropShell(std::string("command -v ") + tool) == 0; }

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

// A python3 that has the intelhex module, or empty.
const std::string& PythonWithIntelHex() {
    static const std::string found = [] {
        for (const char* candidate : {"python3", "/usr/bin/python3"})
            if (InteropShell(std::string(candidate) + " -c 'import intelhex'") == 0) return std::string(candidate);
        return std::string();
    }();
    return found;
}

#define REQUIRE_TOOL(tool) \
    if (!Have(tool)) GTEST_SKIP() << tool << " is not installed (Debian: srecord, binutils, mame-tools)"

std::vector<uint8_t> Pattern(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

std::vector<uint8_t> Bytes(const fs::path& p) {
    std::string s = Slurp(p);
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> SwapPairs(std::vector<uint8_t> v) {
    for (size_t i = 0; i + 1 < v.size(); i += 2) std::swap(v[i], v[i + 1]);
    return v;
}

// Writes `image` in `format` with our writer to `path`.
void WriteOurs(const fs::path& path, uint32_t format, std::vector<uint8_t>& image, uint32_t bytesPerWord = 1) {
    DataFile f = MemoryFile(image, format, bytesPerWord, bytesPerWord == 2 ? 0x18 : 0);
    Spit(path, WriteText(f));
}

// Reads `path` with our reader into a buffer of `size` bytes (blank 0xFF).
std::vector<uint8_t> ReadOurs(const fs::path& path, uint32_t format, size_t size, int& result,
                              uint32_t bytesPerWord = 1) {
    std::vector<uint8_t> image(size, 0xFF);
    DataFile f = MemoryFile(image, format, bytesPerWord, bytesPerWord == 2 ? 0x18 : 0);
    f.length = static_cast<uint32_t>(size / bytesPerWord);
    result = ReadText(f, Slurp(path));
    return image;
}

class Interop : public ::testing::Test {
protected:
    void SetUp() override {
        dir = test::ScratchDir(std::string("interop-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir);  // keep the files of a failure to look at
    }
    fs::path dir;
};

// Sizes that cross 64 KiB (base records) and one beyond 1 MiB (linear records).
constexpr size_t kSizes[] = {0x1F3, 0x12345, 0x140010};

TEST_F(Interop, IntelHexWeWriteOthersRead) {
    REQUIRE_TOOL("srec_cat");
    REQUIRE_TOOL("objcopy");
    for (size_t size : kSizes) {
        std::vector<uint8_t> image = Pattern(size, static_cast<uint32_t>(size));
        WriteOurs(dir / "ours.hex", FORMAT_INTEL_HEX, image);
        ASSERT_EQ(InteropShell("srec_cat " + Quote(dir / "ours.hex") + " -intel -o " + Quote(dir / "srec.bin") + " -binary"), 0);
        EXPECT_EQ(Bytes(dir / "srec.bin"), image) << "srec_cat, size " << size;
        ASSERT_EQ(InteropShell("objcopy -I ihex -O binary " + Quote(dir / "ours.hex") + " " + Quote(dir / "objcopy.bin")), 0);
        EXPECT_EQ(Bytes(dir / "objcopy.bin"), image) << "objcopy, size " << size;
        if (!PythonWithIntelHex().empty()) {
            ASSERT_EQ(InteropShell(PythonWithIntelHex() + " -c 'import sys, intelhex; intelhex.IntelHex(sys.argv[1]).tobinfile(sys.argv[2])' " +
                          Quote(dir / "ours.hex") + " " + Quote(dir / "py.bin")),
                      0);
            EXPECT_EQ(Bytes(dir / "py.bin"), image) << "python3-intelhex, size " << size;
        }
    }
    if (PythonWithIntelHex().empty()) GTEST_SKIP() << "python3 with the intelhex module (python3-intelhex) is not installed";
}

TEST_F(Interop, IntelHexOthersWriteWeRead) {
    REQUIRE_TOOL("srec_cat");
    REQUIRE_TOOL("objcopy");
    for (size_t size : kSizes) {
        std::vector<uint8_t> image = Pattern(size, static_cast<uint32_t>(size) + 1);
        Spit(dir / "in.bin", std::string(image.begin(), image.end()));
        std::vector<std::pair<std::string, std::string>> makers = {
            {"srec_cat", "srec_cat " + Quote(dir / "in.bin") + " -binary -o " + Quote(dir / "x.hex") + " -intel"},
            {"srec_cat with start address", "srec_cat " + Quote(dir / "in.bin") + " -binary -execution-start-address=0x1234 -o " +
                                                Quote(dir / "x.hex") + " -intel"},
            {"objcopy", "objcopy -I binary -O ihex " + Quote(dir / "in.bin") + " " + Quote(dir / "x.hex")},
        };
        if (!PythonWithIntelHex().empty())
            makers.push_back({"python3-intelhex",
                              PythonWithIntelHex() + " -c 'import sys, intelhex; h = intelhex.IntelHex(); "
                              "h.loadbin(sys.argv[1]); h.start_addr = {\"EIP\": 0x1234}; h.write_hex_file(sys.argv[2])' " +
                                  Quote(dir / "in.bin") + " " + Quote(dir / "x.hex")});
        for (const auto& [who, command] : makers) {
            ASSERT_EQ(InteropShell(command), 0) << command;
            int result = -1;
            EXPECT_EQ(ReadOurs(dir / "x.hex", FORMAT_INTEL_HEX, size, result), image) << who << ", size " << size;
            EXPECT_EQ(result, FILE_OK) << who;
        }
    }
}

TEST_F(Interop, MotorolaBothWays) {
    REQUIRE_TOOL("srec_cat");
    REQUIRE_TOOL("objcopy");
    for (size_t size : kSizes) {
        std::vector<uint8_t> image = Pattern(size, static_cast<uint32_t>(size) + 2);
        WriteOurs(dir / "ours.mot", FORMAT_MOTOROLA, image);
        ASSERT_EQ(InteropShell("srec_cat " + Quote(dir / "ours.mot") + " -motorola -o " + Quote(dir / "srec.bin") + " -binary"), 0);
        EXPECT_EQ(Bytes(dir / "srec.bin"), image) << size;
        ASSERT_EQ(InteropShell("objcopy -I srec -O binary " + Quote(dir / "ours.mot") + " " + Quote(dir / "objcopy.bin")), 0);
        EXPECT_EQ(Bytes(dir / "objcopy.bin"), image) << size;

        Spit(dir / "in.bin", std::string(image.begin(), image.end()));
        for (const std::string& command :
             {"srec_cat " + Quote(dir / "in.bin") + " -binary -o " + Quote(dir / "x.mot") + " -motorola",
              "srec_cat " + Quote(dir / "in.bin") + " -binary -o " + Quote(dir / "x.mot") + " -motorola -address-length=4",
              "objcopy -I binary -O srec " + Quote(dir / "in.bin") + " " + Quote(dir / "x.mot"),
              "objcopy -I binary -O srec --srec-forceS3 " + Quote(dir / "in.bin") + " " + Quote(dir / "x.mot")}) {
            ASSERT_EQ(InteropShell(command), 0) << command;
            int result = -1;
            EXPECT_EQ(ReadOurs(dir / "x.mot", FORMAT_MOTOROLA, size, result), image) << command;
            EXPECT_EQ(result, FILE_OK) << command;
        }
    }
}

// Our Motorola files use S2 records whatever the size (where srec_cat picks S1
// for a small image) and end in S8: the choice of record changes nothing of
// the data that other tools read.
TEST_F(Interop, MotorolaS2OnlyIsTheIntendedDifference) {
    REQUIRE_TOOL("srec_cat");
    std::vector<uint8_t> image = Pattern(0x100, 7);
    WriteOurs(dir / "ours.mot", FORMAT_MOTOROLA, image);
    Spit(dir / "in.bin", std::string(image.begin(), image.end()));
    ASSERT_EQ(InteropShell("srec_cat " + Quote(dir / "in.bin") + " -binary -o " + Quote(dir / "theirs.mot") + " -motorola"), 0);
    const std::string ours = Slurp(dir / "ours.mot"), theirs = Slurp(dir / "theirs.mot");
    EXPECT_NE(theirs.find("\nS1"), std::string::npos);  // srec_cat: S1 for 16-bit addresses
    std::istringstream lines(ours);
    std::string line;
    int data = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("S2", 0) == 0) {
            ++data;
        } else if (line.rfind("S0", 0) != 0) {
            EXPECT_EQ(line, "S804000000FB");
        }
    }
    EXPECT_EQ(data, 16);
    // Compare the two files record for record through srec_cat itself.
    EXPECT_EQ(InteropShell("srec_cmp " + Quote(dir / "ours.mot") + " -motorola " + Quote(dir / "theirs.mot") + " -motorola"), 0);
}

// A 16-bit device: Intel HEX carries each word low byte first, Motorola S
// carries the buffer (high byte first) as it stands. srec_cat sees the same
// words in both once the Intel HEX image is byte-swapped.
TEST_F(Interop, WordByteOrdersAreTheIntendedOnes) {
    REQUIRE_TOOL("srec_cat");
    std::vector<uint8_t> image = Pattern(0x20000, 9);  // buffer: high byte first
    WriteOurs(dir / "w.hex", FORMAT_INTEL_HEX, image, 2);
    WriteOurs(dir / "w.mot", FORMAT_MOTOROLA, image, 2);
    ASSERT_EQ(InteropShell("srec_cat " + Quote(dir / "w.hex") + " -intel -o " + Quote(dir / "hex.bin") + " -binary"), 0);
    ASSERT_EQ(InteropShell("srec_cat " + Quote(dir / "w.mot") + " -motorola -o " + Quote(dir / "mot.bin") + " -binary"), 0);
    EXPECT_EQ(Bytes(dir / "hex.bin"), SwapPairs(image));
    EXPECT_EQ(Bytes(dir / "mot.bin"), image);
    ASSERT_EQ(InteropShell("srec_cat " + Quote(dir / "w.hex") + " -intel -byte-swap 2 -o " + Quote(dir / "swapped.bin") + " -binary"), 0);
    EXPECT_EQ(Bytes(dir / "swapped.bin"), image);
    // A binary file carries the buffer as it stands, as Motorola S does: the
    // HEX file's words turned by srec_cat -byte-swap 2.
    DataFile bin = MemoryFile(image, FORMAT_BINARY, 2, 0x18);
    bin.length = static_cast<uint32_t>(image.size() / 2);
    Spit(dir / "w.bin", WriteText(bin));
    EXPECT_EQ(Bytes(dir / "w.bin"), Bytes(dir / "swapped.bin"));

    // And back: a little-endian word image made by srec_cat reads high byte first.
    Spit(dir / "le.bin", std::string(image.begin(), image.end()));
    ASSERT_EQ(InteropShell("srec_cat " + Quote(dir / "le.bin") + " -binary -o " + Quote(dir / "le.hex") + " -intel"), 0);
    int result = -1;
    EXPECT_EQ(ReadOurs(dir / "le.hex", FORMAT_INTEL_HEX, image.size(), result, 2), SwapPairs(image));
}

TEST_F(Interop, BinaryBothWays) {
    REQUIRE_TOOL("srec_cat");
    std::vector<uint8_t> image = Pattern(0x8000, 11);
    DataFile w = MemoryFile(image, FORMAT_BINARY);
    w.length = 0x8000;
    Spit(dir / "ours.bin", WriteText(w));
    ASSERT_EQ(InteropShell("srec_cat " + Quote(dir / "ours.bin") + " -binary -o " + Quote(dir / "ours.hex") + " -intel"), 0);
    int result = -1;
    EXPECT_EQ(ReadOurs(dir / "ours.hex", FORMAT_INTEL_HEX, image.size(), result), image);

    WriteOurs(dir / "src.hex", FORMAT_INTEL_HEX, image);
    ASSERT_EQ(InteropShell("srec_cat " + Quote(dir / "src.hex") + " -intel -o " + Quote(dir / "theirs.bin") + " -binary"), 0);
    EXPECT_EQ(ReadOurs(dir / "theirs.bin", FORMAT_BINARY, image.size(), result), image);
    EXPECT_EQ(result, FILE_OK);
}

// jedutil's binary form: the fuse count (32 bits, big-endian), then the
// fuses packed eight to a byte, lowest fuse number in the lowest bit.
std::vector<uint8_t> JedutilFuses(const fs::path& bin) {
    std::vector<uint8_t> raw = Bytes(bin);
    if (raw.size() < 4) return {};
    uint32_t count = uint32_t{raw[0]} << 24 | uint32_t{raw[1]} << 16 | uint32_t{raw[2]} << 8 | raw[3];
    std::vector<uint8_t> fuses(count);
    for (uint32_t i = 0; i < count && 4 + i / 8 < raw.size(); ++i) fuses[i] = (raw[4 + i / 8] >> (i % 8)) & 1;
    return fuses;
}

std::string FieldOf(const std::string& jed, char letter) {
    size_t at = jed.find(std::string("\n") + letter);
    if (at == std::string::npos) return {};
    return jed.substr(at + 2, jed.find('*', at) - at - 2);
}

struct GalLayout {
    const char* prefix;
    uint32_t fuses;
    uint8_t typecode;
    uint32_t lineNumber;
};
constexpr GalLayout kGals[] = {{"GAL16V8", 2194, 5, 32}, {"GAL20V8", 2706, 6, 40}, {"GAL22V10", 5892, 7, 44}};

const GalLayout& LayoutFor(const std::string& name) {
    for (const GalLayout& g : kGals)
        if (name.rfind(g.prefix, 0) == 0) return g;
    return kGals[0];  // security_bit.jed is a GAL16V8 map
}

std::vector<uint8_t> ReadOursJedec(const fs::path& path, const GalLayout& gal, int& result) {
    std::vector<uint8_t> fuses(gal.fuses, 0xEE);
    DataFile f = MemoryFile(fuses, FORMAT_JEDEC, 1, gal.typecode);
    result = ReadText(f, Slurp(path));
    return fuses;
}

TEST_F(Interop, JedecOthersWriteWeRead) {
    REQUIRE_TOOL("jedutil");
    const fs::path data = fs::path(KRT_SOURCE_DIR) / "tests/data/jedec";
    int files = 0;
    for (const auto& entry : fs::directory_iterator(data)) {
        if (entry.path().extension() != ".jed") continue;
        const std::string name = entry.path().filename().string();
        const GalLayout& gal = LayoutFor(name);
        ASSERT_EQ(InteropShell("jedutil -convert " + Quote(entry.path()) + " " + Quote(dir / "g.bin")), 0) << name;
        std::vector<uint8_t> theirs = JedutilFuses(dir / "g.bin");
        ASSERT_EQ(theirs.size(), gal.fuses) << name;

        // galette's file as it is.
        int result = -1;
        std::vector<uint8_t> ours = ReadOursJedec(entry.path(), gal, result);
        EXPECT_EQ(result, FILE_OK) << name;
        for (uint32_t i = 0; i < gal.fuses; ++i) ASSERT_EQ(ours[i], theirs[i]) << name << " fuse " << i;

        // jedutil's own JEDEC writing (five-digit L numbers), with its checksum.
        ASSERT_EQ(InteropShell("jedutil -convert " + Quote(dir / "g.bin") + " " + Quote(dir / "j.jed")), 0) << name;
        const std::string written = Slurp(dir / "j.jed");
        EXPECT_NE(written.find("\nL0"), std::string::npos);
        ours = ReadOursJedec(dir / "j.jed", gal, result);
        EXPECT_EQ(result, FILE_OK) << name << ": checksum " << FieldOf(written, 'C');
        for (uint32_t i = 0; i < gal.fuses; ++i) ASSERT_EQ(ours[i], theirs[i]) << name << " fuse " << i;
        ++files;
    }
    EXPECT_EQ(files, 9);
}

TEST_F(Interop, JedecWeWriteJedutilReads) {
    REQUIRE_TOOL("jedutil");
    for (const GalLayout& gal : kGals) {
        std::vector<uint8_t> fuses = Pattern(gal.fuses, gal.fuses);
        for (auto& f : fuses) f &= 1;
        DataFile w = MemoryFile(fuses, FORMAT_JEDEC, 1, gal.typecode);
        w.deviceName = gal.prefix;
        w.PinNumber = 24;
        w.LineNumber = gal.lineNumber;
        w.length = gal.fuses;
        const std::string ours = WriteText(w);
        Spit(dir / "ours.jed", ours);
        // jedutil checks the fuse checksum of the C field: a converted file is
        // one whose checksum it agrees with.
        ASSERT_EQ(InteropShell("jedutil -convert " + Quote(dir / "ours.jed") + " " + Quote(dir / "o.bin")), 0) << gal.prefix;
        std::vector<uint8_t> theirs = JedutilFuses(dir / "o.bin");
        ASSERT_EQ(theirs.size(), gal.fuses);
        for (uint32_t i = 0; i < gal.fuses; ++i) ASSERT_EQ(theirs[i], fuses[i]) << gal.prefix << " fuse " << i;
        // The same fuses written by jedutil carry the same checksum.
        ASSERT_EQ(InteropShell("jedutil -convert " + Quote(dir / "o.bin") + " " + Quote(dir / "o.jed")), 0);
        EXPECT_EQ(FieldOf(Slurp(dir / "o.jed"), 'C'), FieldOf(ours, 'C')) << gal.prefix;
        // A changed checksum is refused by jedutil, as by us.
        std::string bad = ours;
        size_t c = bad.find("\nC") + 2;
        bad[c + 3] = bad[c + 3] == '0' ? '1' : '0';
        Spit(dir / "bad.jed", bad);
        EXPECT_NE(InteropShell("jedutil -convert " + Quote(dir / "bad.jed") + " " + Quote(dir / "bad.bin")), 0);
    }
}

}  // namespace
}  // namespace krt
