// SPDX-License-Identifier: GPL-3.0-or-later
// Every galette fuse map goes into the simulated GAL and comes back out as a
// .jed file whose fuses MAME's jedutil finds equal to the original's,
// compared fuse by fuse through jedutil's binary form.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "SimBench.h"
#include "catalogue/DeviceLoader.h"
#include "data/DataFile.h"

namespace krt::test {
namespace {

namespace fs = std::filesystem;

int JedutilShell(const std::string& command) {
    int status = std::system((command + " >/dev/null 2>&1").c_str());
    return status == -1 ? -1 : WEXITSTATUS(status);
}

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

// jedutil's binary form: the fuse count (32 bits, big-endian), then the
// fuses eight to a byte, lowest fuse number in the lowest bit.
std::vector<uint8_t> JedutilFuses(const fs::path& jed, const fs::path& bin) {
    if (JedutilShell("jedutil -convert " + Quote(jed) + " " + Quote(bin)) != 0) return {};
    std::ifstream in(bin, std::ios::binary);
    std::vector<uint8_t> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (raw.size() < 4) return {};
    const uint32_t count = uint32_t{raw[0]} << 24 | uint32_t{raw[1]} << 16 | uint32_t{raw[2]} << 8 | raw[3];
    std::vector<uint8_t> fuses(count);
    for (uint32_t i = 0; i < count && 4 + i / 8 < raw.size(); ++i) fuses[i] = (raw[4 + i / 8] >> (i % 8)) & 1;
    return fuses;
}

// The device of a fuse map by its QF field.
std::string PartOf(const fs::path& jed) {
    std::ifstream in(jed, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    if (s.find("QF2706") != std::string::npos) return "GAL20V8";
    if (s.find("QF5892") != std::string::npos) return "GAL22V10";
    return "GAL16V8";
}

int TransferJed(const DeviceRecord& record, std::vector<uint8_t>& fuses, const fs::path& path, bool write) {
    DataFile f(path.string(), FORMAT_JEDEC);
    f.buffer = fuses.data();
    f.bufsize = record.bufsize;
    f.length = record.maxsize;
    f.typecode = record.typecode;
    f.deviceName = record.name;
    f.PinNumber = static_cast<uint16_t>(record.PinNumber);
    f.LineNumber = static_cast<uint32_t>(record.LineNumber);
    f.shorterFuseCounts = record.fusecounts;
    return write ? f.Write() : f.Read();
}

TEST(ZVGALJedutil, GaletteMapsRoundTripThroughTheChip) {
    if (JedutilShell("command -v jedutil") != 0) GTEST_SKIP() << "jedutil is not installed (Debian: mame-tools)";
    const fs::path data = fs::path(KRT_SOURCE_DIR) / "tests/data/jedec";
    const fs::path dir = fs::path(KRT_BINARY_DIR) / "test-scratch" / "families" / "gal-jedutil";
    fs::remove_all(dir);
    fs::create_directories(dir);
    Catalogue catalogue;
    ASSERT_TRUE(OpenCatalogue(std::string(KRT_SOURCE_DIR) + "/devices", nullptr, catalogue));
    int files = 0;
    for (const auto& entry : fs::directory_iterator(data)) {
        if (entry.path().extension() != ".jed") continue;
        const std::string name = entry.path().stem().string();
        SCOPED_TRACE(name);
        ++files;
        DeviceRecord record;
        ASSERT_TRUE(LoadDeviceRecord(catalogue.list, catalogue.directory, "GAL", "Lattice", PartOf(entry.path()), 1,
                                     nullptr, record)
                        .selected);
        SimBench b(record);
        ASSERT_EQ(TransferJed(record, b.buffer, entry.path(), false), FILE_OK);
        ASSERT_EQ(b.Operation(7, 0, record.maxsize), 0);
        ASSERT_EQ(b.Operation(5, 0, record.maxsize), 0);
        b.buffer.assign(b.buffer.size(), 0xEE);
        ASSERT_EQ(b.Operation(4, 0, record.maxsize), 0);
        const fs::path back = dir / (name + "-back.jed");
        ASSERT_EQ(TransferJed(record, b.buffer, back, true), FILE_OK);

        const std::vector<uint8_t> original = JedutilFuses(entry.path(), dir / (name + ".bin"));
        const std::vector<uint8_t> readBack = JedutilFuses(back, dir / (name + "-back.bin"));
        ASSERT_EQ(original.size(), record.maxsize);
        EXPECT_EQ(readBack, original);
    }
    EXPECT_EQ(files, 9);
    if (!HasFailure()) fs::remove_all(dir);
}

// A fuse map that jedutil makes from its binary form: `count` random fuses.
void MakeJedutilMap(const fs::path& bin, const fs::path& jed, uint32_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> raw = {uint8_t(count >> 24), uint8_t(count >> 16), uint8_t(count >> 8), uint8_t(count)};
    raw.resize(4 + (count + 7) / 8);
    for (uint32_t i = 0; i < count; ++i) raw[4 + i / 8] = uint8_t(raw[4 + i / 8] | (random() & 1) << (i % 8));
    std::ofstream(bin, std::ios::binary).write(reinterpret_cast<const char*>(raw.data()), std::streamsize(raw.size()));
    ASSERT_EQ(JedutilShell("jedutil -convert " + Quote(bin) + " " + Quote(jed)), 0);
}

// The ATF entries take jedutil's maps of every fuse count they know; a
// shorter map leaves the power-down fuse at 0 (disabled) on the chip.
TEST(ZVGALJedutil, AtfEntriesProgramJedutilMapsFuseExact) {
    if (JedutilShell("command -v jedutil") != 0) GTEST_SKIP() << "jedutil is not installed (Debian: mame-tools)";
    const fs::path dir = fs::path(KRT_BINARY_DIR) / "test-scratch" / "families" / "atf-jedutil";
    fs::remove_all(dir);
    fs::create_directories(dir);
    Catalogue catalogue;
    ASSERT_TRUE(OpenCatalogue(std::string(KRT_SOURCE_DIR) + "/devices", nullptr, catalogue));
    const std::pair<const char*, uint32_t> cases[] = {
        {"ATF16V8B", 2194}, {"ATF16V8C", 2194},  {"ATF16V8C", 2195},  {"ATF20V8B", 2706},
        {"ATF22V10B", 5892}, {"ATF22V10B", 5828}, {"ATF22V10C", 5893}, {"ATF22V10C", 5892},
    };
    for (const auto& [name, count] : cases) {
        const std::string tag = std::string(name) + "-" + std::to_string(count);
        SCOPED_TRACE(tag);
        DeviceRecord record;
        ASSERT_TRUE(LoadDeviceRecord(catalogue.list, catalogue.directory, "GAL", "Atmel", name, 1, nullptr, record)
                        .selected);
        MakeJedutilMap(dir / (tag + ".bin"), dir / (tag + ".jed"), count, count);
        SimBench b(record);
        ASSERT_EQ(TransferJed(record, b.buffer, dir / (tag + ".jed"), false), FILE_OK);
        ASSERT_EQ(b.Operation(7, 0, record.maxsize), 0);
        ASSERT_EQ(b.Operation(5, 0, record.maxsize), 0);
        b.buffer.assign(b.buffer.size(), 0xEE);
        ASSERT_EQ(b.Operation(4, 0, record.maxsize), 0);
        ASSERT_EQ(TransferJed(record, b.buffer, dir / (tag + "-back.jed"), true), FILE_OK);
        std::vector<uint8_t> original = JedutilFuses(dir / (tag + ".jed"), dir / (tag + "-1.bin"));
        ASSERT_EQ(original.size(), count);
        original.resize(record.maxsize, 0);
        EXPECT_EQ(JedutilFuses(dir / (tag + "-back.jed"), dir / (tag + "-2.bin")), original);
    }
    if (!HasFailure()) fs::remove_all(dir);
}

}  // namespace
}  // namespace krt::test
