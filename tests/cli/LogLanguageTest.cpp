// SPDX-License-Identifier: GPL-3.0-or-later
// The language of the operation lines: in English every family speaks
// English, in its failures (per-address errors, counts, limits) as in its
// successes (progress lines, end lines); the Japanese mode keeps its texts.
// Each run is one krt run on the strict simulator, as a user types it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "sim/VirtualKrt.h"
#include "support/JapaneseText.h"
#include "support/RecordingPort.h"
#include "support/CliDevices.h"

namespace krt {
namespace {

namespace fs = std::filesystem;

class LogLanguage : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterDeviceCommands(table);
        dir = fs::temp_directory_path() / ("krt-log-language-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::mt19937 random(25);
        for (const auto& [name, size] : {std::pair<const char*, size_t>{"d.bin", 0x2000}, {"s.bin", 0x100},
                                         {"t.bin", 0x80}}) {
            std::string bytes(size, '\0');
            for (char& b : bytes) b = static_cast<char>(random());
            std::ofstream(Path(name), std::ios::binary) << bytes;
        }
        // Two PIC words (a GOTO and a RETURN), as an assembler writes them.
        std::ofstream(Path("p.hex")) << ":0400000005280800C7\n:00000001FF\n";
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    struct Run {
        std::vector<std::string> device;  // TYPE MAKER NAME
        const char* command;
        const char* file;   // the data file, a name in the test's directory or a JEDEC sample; "" for none
        const char* chip;   // runs that name the same chip use it in turn
        std::vector<std::string> faults;
        const char* errors = "";  // --errors
        const char* length = "";  // --length
    };

    int Execute(const Run& run, uint32_t language) {
        session = std::make_unique<CliSession>();
        auto collecting = std::make_unique<test::CollectingLog>();
        log = collecting.get();
        session->log = std::move(collecting);
        session->options.port = "sim";
        session->options.language = language;
        session->options.catalogue = std::string(KRT_SOURCE_DIR) + "/devices";
        session->options.simChip = Path(std::string(run.chip) + ".chip");
        session->options.simFaults = run.faults;
        session->options.simStrict = true;
        session->options.errors = run.errors;
        session->options.length = run.length;
        std::vector<std::string> args = run.device;
        if (*run.file) {
            const std::string jedec = std::string(KRT_SOURCE_DIR) + "/tests/data/jedec/" + run.file;
            args.push_back(fs::exists(jedec) ? jedec : Path(run.file));
        }
        auto it = std::find_if(table.begin(), table.end(), [&](const CliCommand& c) { return run.command == std::string(c.name); });
        EXPECT_NE(it, table.end());
        if (it == table.end()) return -1;
        const int status = it->run(*session, args);
        if (session->Simulator()) {
            EXPECT_FALSE(session->Simulator()->HasBreaches()) << run.command;
        }
        return status;
    }
    bool Has(const std::string& line) const {
        const test::Lines lines = log->lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    std::vector<CliCommand> table;
    std::unique_ptr<CliSession> session;
    test::CollectingLog* log = nullptr;
    fs::path dir;
};

const std::vector<std::string> k27C1024 = {"EPROM", "AMD", "27C1024"};
const std::vector<std::string> k2716 = {"EPROM", "Intel", "2716"};
const std::vector<std::string> kAT28C64 = {"EEPROM", "Atmel", "AT28C64"};
const std::vector<std::string> kAT28C256 = {"EEPROM", "Atmel", "AT28C256"};
const std::vector<std::string> k28F010 = {"FLASH", "Intel", "P28F010"};
const std::vector<std::string> k93C46 = {"SEEPROM", "Microchip", "93C46"};

TEST_F(LogLanguage, EveryFamilySpeaksEnglishInEnglishMode) {
    struct Case {
        Run run;
        int status;
    };
    const Case cases[] = {
        // Parallel EPROM, byte- and word-wide; the link's refusal of a supply.
        {{k27C64, "write", "d.bin", "a", {}}, 0},
        {{k27C64, "blank", "", "a", {}, "2"}, 3},
        {{k27C64, "auto", "d.bin", "a", {}}, 3},
        {{k27C64, "verify", "d.bin", "b", {}, "2"}, 3},
        {{k27C64, "write", "d.bin", "c", {"dead-cells:10"}, "1"}, 3},
        {{k27C1024, "write", "d.bin", "w", {"dead-cells:10"}, "1", "40"}, 3},
        {{k27C1024, "blank", "", "w", {}, "2", "40"}, 3},
        {{k27C1024, "verify", "d.bin", "w2", {}, "2", "40"}, 3},
        {{k2716, "write", "s.bin", "v", {}}, 4},
        // Parallel EEPROM.
        {{kAT28C64, "write", "d.bin", "e", {}}, 0},
        {{kAT28C256, "write", "d.bin", "e2", {"sdp-locked"}}, 4},
        // Flash.
        {{k28F010, "write", "d.bin", "f", {}, "", "40"}, 0},
        {{k28F010, "write", "d.bin", "f2", {"dead-cells:10"}, "1", "40"}, 3},
        {{k28F010, "erase", "", "f3", {"never-erases"}}, 3},
        // Serial EEPROM, two-wire and three-wire.
        {{k24C02, "write", "s.bin", "s", {}}, 0},
        {{k24C02, "write", "s.bin", "s2", {"dead-cells:5"}, "1"}, 3},
        {{k93C46, "write", "t.bin", "t", {}}, 0},
        {{k93C46, "write", "t.bin", "t2", {"dead-cells:5"}, "1"}, 3},
        // GAL: a row that takes a second try, a verify against another
        // file, the blank check of a written chip, the signature, the 22V10.
        {{kGal16, "write", "GAL16V8_reg.jed", "g", {"weak-rows:3@2"}}, 0},
        {{kGal16, "verify", "GAL16V8_tri.jed", "g", {}}, 3},
        {{kGal16, "blank", "", "g", {}}, 3},
        {{kGal16, "option", "", "g", {}}, 0},
        {{kGal22, "write", "GAL22V10_reg.jed", "h", {}}, 0},
        {{kGal22, "secure", "", "h", {}}, 8},
        // PIC.
        {{kPic84, "write", "p.hex", "p", {}}, 0},
        {{kPic84, "write", "p.hex", "p2", {"weak-words:0"}, "1"}, 3},
        {{kPic84, "verify", "p.hex", "p3", {}, "1"}, 3},
    };
    for (const Case& c : cases) {
        const std::string label = c.run.device[2] + " " + c.run.command;
        SCOPED_TRACE(label);
        EXPECT_EQ(Execute(c.run, 1), c.status);
        ASSERT_NE(log, nullptr);
        const test::Lines lines = log->lines();
        EXPECT_GT(lines.size(), 3u);
        for (const std::string& line : lines) EXPECT_FALSE(test::HasJapanese(line)) << line;
    }
}

TEST_F(LogLanguage, JapaneseModeKeepsItsTexts) {
    ASSERT_EQ(Execute({k27C64, "write", "d.bin", "a", {}}, 0), 0);
    EXPECT_TRUE(Has("書きこみはエラーなく行われました。"));
    ASSERT_EQ(Execute({k27C64, "blank", "", "a", {}, "2"}, 0), 3);
    std::ifstream in(Path("d.bin"), std::ios::binary);
    const int first = in.get();
    char line[64];
    std::snprintf(line, sizeof line, "ブランクチェックエラー Addr: 000000 Data:%02X ", first);
    EXPECT_TRUE(Has(line));
    EXPECT_TRUE(Has("エラーが多すぎるので中止しました"));
    ASSERT_EQ(Execute({k27C64, "auto", "d.bin", "a", {}, "2"}, 0), 3);
    EXPECT_TRUE(Has("ブランクチェックで止まったので、何も書きこんでいません。"));
}

}  // namespace
}  // namespace krt
