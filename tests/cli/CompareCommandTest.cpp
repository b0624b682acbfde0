// SPDX-License-Identifier: GPL-3.0-or-later
// krt compare on the simulator: an 8-bit EPROM, a 16-bit EPROM and a PIC,
// each equal, with a few words changed and with more than 1000 changed.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

struct Device {
    const char* type;
    const char* maker;
    const char* name;
    uint32_t words;
    uint32_t width;     // bytes a word
    uint32_t wordMask;  // the bits a word holds
};

constexpr Device k27C256{"EPROM", "Intel", "27C256", 0x8000, 1, 0xFF};
constexpr Device k27C1024{"EPROM", "AMD", "27C1024", 0x10000, 2, 0xFFFF};
constexpr Device kPic16F84{"PIC", "Microchip", "PIC16F84", 0x400, 2, 0x3FFF};

class KrtCompare : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("krt-compare-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "config");
    }
    void TearDown() override { fs::remove_all(dir); }

    struct Run {
        int status = -1;
        std::string out, err;
    };
    Run Krt(const std::vector<std::string>& args) {
        std::string command = "cd " + Quote(dir.string()) + " && XDG_CONFIG_HOME=" + Quote((dir / "config").string()) +
                              " " + Quote(KRT_CLI_PATH) + " --catalogue " +
                              Quote(std::string(KRT_SOURCE_DIR) + "/devices") + " --port sim --sim-chip chip";
        for (const std::string& a : args) command += " " + Quote(a);
        command += " >out.txt 2>err.txt </dev/null";
        Run run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = Slurp(dir / "out.txt");
        run.err = Slurp(dir / "err.txt");
        return run;
    }
    // A binary image of the device's words (high byte first), word i = f(i).
    static std::string Image(const Device& d, uint32_t salt) {
        std::string bytes;
        for (uint32_t i = 0; i < d.words; ++i) {
            const uint32_t w = (i * 2654435761u + salt) >> 7 & d.wordMask;
            if (d.width == 2) bytes += static_cast<char>(w >> 8);
            bytes += static_cast<char>(w & 0xFF);
        }
        return bytes;
    }
    void Save(const char* name, const std::string& bytes) { std::ofstream(dir / name, std::ios::binary) << bytes; }

    fs::path dir;
};

std::string Word(const std::string& image, const Device& d, uint32_t a) {
    char text[8];
    const auto* p = reinterpret_cast<const unsigned char*>(image.data()) + a * d.width;
    if (d.width == 2)
        std::snprintf(text, sizeof text, "%04X", p[0] << 8 | p[1]);
    else
        std::snprintf(text, sizeof text, "%02X", p[0]);
    return text;
}

TEST_F(KrtCompare, ListsTheWordsThatDifferAndCountsThoseBeyondAThousand) {
    struct Case {
        Device device;
        uint32_t changed;  // words changed from 10h on, every 3rd
    };
    const Case cases[] = {{k27C256, 0}, {k27C256, 3}, {k27C256, 1500}, {k27C1024, 0}, {k27C1024, 2},
                          {k27C1024, 1200}, {kPic16F84, 0}, {kPic16F84, 4}, {kPic16F84, 300}};
    for (const Case& c : cases) {
        const Device& d = c.device;
        const std::string label = std::string(d.name) + " " + std::to_string(c.changed);
        fs::remove(dir / "chip");
        const std::string chip = Image(d, 1);
        Save("chip.bin", chip);
        ASSERT_EQ(Krt({"write", d.type, d.maker, d.name, "chip.bin"}).status, 0) << label;
        std::string file = chip;
        std::vector<uint32_t> addresses;
        for (uint32_t n = 0; n < c.changed; ++n) {
            const uint32_t a = 0x10 + 3 * n;
            if (a >= d.words) break;
            addresses.push_back(a);
            // Flip the word's low bit (and a high bit of a 16-bit word).
            file[a * d.width + d.width - 1] ^= 0x01;
            if (d.width == 2) file[a * d.width] ^= 0x10;
        }
        Save("file.bin", file);
        const Run run = Krt({"compare", d.type, d.maker, d.name, "file.bin"});
        EXPECT_EQ(run.status, addresses.empty() ? 0 : 3) << label << run.err;
        std::string expected;
        for (size_t i = 0; i < addresses.size() && i < 1000; ++i) {
            char address[8];
            std::snprintf(address, sizeof address, "%06X", addresses[i]);
            expected += std::string(address) + " " + Word(chip, d, addresses[i]) + " " + Word(file, d, addresses[i]) + "\n";
        }
        if (addresses.size() > 1000)
            expected += "... and " + std::to_string(addresses.size() - 1000) + " more differences\n";
        EXPECT_EQ(run.out, expected) << label;
        EXPECT_NE(run.err.find(std::to_string(addresses.size()) + " differences"), std::string::npos) << label << run.err;

        // -o: the same listing in the file, nothing of it on stdout.
        const Run saved = Krt({"compare", d.type, d.maker, d.name, "file.bin", "-o", "list.txt"});
        EXPECT_EQ(saved.status, run.status) << label;
        EXPECT_EQ(Slurp(dir / "list.txt"), expected) << label;
        EXPECT_EQ(saved.out.find("000010 "), std::string::npos) << label;
    }
}

}  // namespace
}  // namespace krt
