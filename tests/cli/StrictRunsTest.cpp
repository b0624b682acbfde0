// SPDX-License-Identifier: GPL-3.0-or-later
// The newer commands as strict as the oldest: nothing a run does changes a
// chip or a file the user did not name, every file is looked at before it
// is read, and a project's values are checked as their options are.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "support/KrtProcess.h"

namespace krt {
namespace {

namespace fs = std::filesystem;

class StrictRuns : public test::KrtDirTest {
protected:
    StrictRuns() : KrtDirTest("krt-strict", KRT_CLI_PATH) {}
    void SetUp() override {
        KrtDirTest::SetUp();
        simulatorUnlessNamed = true;
    }
    // krt on the simulator with the shipped catalogue and the chip file
    // c.chip (a batch has its chips' folder).
    test::KrtRun Run(std::vector<std::string> args) {
        if (std::find(args.begin(), args.end(), "--sim-chip-dir") == args.end())
            args.insert(args.begin(), {"--sim-chip", "c.chip"});
        args.insert(args.begin(), {"--catalogue", std::string(KRT_SOURCE_DIR) + "/devices"});
        return Krt(args);
    }
    // Bytes that are neither blank nor alike, so that a changed byte shows.
    void Image(const std::string& name, size_t size) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) % 251);
        test::Spit(dir / name, bytes);
    }
    void Project(const std::string& name, const std::string& members) {
        test::Spit(dir / name, "{\"kind\": \"krtwin-project\", \"version\": 1, \"device\": {\"type\": \"EEPROM\", "
                               "\"maker\": \"Atmel\", \"name\": \"AT28C64\"}, \"data\": {\"file\": \"f.bin\"}" +
                                   members + "}");
    }
};

// Each row repeats one fault as a user met it; `kept` names the files that
// must come out as they went in, `then` looks at what else the mend promises.
TEST_F(StrictRuns, EachFaultEndsWithItsStatusAndLeavesTheFilesAsTheyWere) {
    struct Row {
        const char* fault;
        std::function<void()> setUp;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> kept;
        std::function<void(const test::KrtRun&)> then;
    };
    const auto says = [](const char* text) {
        return [text](const test::KrtRun& run) {
            EXPECT_NE((run.out + run.err).find(text), std::string::npos) << run.out << run.err;
        };
    };
    const auto chipWritten = [this] {
        Image("f.bin", 0x2000);
        ASSERT_EQ(Run({"write", "EEPROM", "Atmel", "AT28C64", "f.bin"}).status, 0);
    };
    const std::vector<Row> rows = {
        {"compare's listing over a link to the chip file",
         [&] {
             chipWritten();
             fs::create_symlink("c.chip", dir / "l.chip");
         },
         {"compare", "EEPROM", "Atmel", "AT28C64", "f.bin", "-o", "l.chip"}, 64, {"c.chip"},
         says("the chip file of --sim-chip")},
        {"compare's listing over the file it compares with", chipWritten,
         {"compare", "EEPROM", "Atmel", "AT28C64", "f.bin", "-o", "f.bin"}, 64, {"f.bin", "c.chip"}, nullptr},
        {"identify on a chip without protection", chipWritten, {"identify"}, 7, {"c.chip"}, nullptr},
        {"split of a directory", [&] { fs::create_directory(dir / "D"); }, {"split", "D", "a.bin", "b.bin"}, 66, {},
         says("Is a directory")},
        {"join of directories", [&] { fs::create_directory(dir / "D"); }, {"join", "D", "D", "o.bin"}, 66, {},
         says("Is a directory")},
        {"a project that is a directory", [&] { fs::create_directory(dir / "p.krtproj"); },
         {"--project", "p.krtproj", "info"}, 66, {}, nullptr},
        {"a project that is a FIFO", [&] { ASSERT_EQ(::mkfifo(Path("p.krtproj").c_str(), 0600), 0); },
         {"--project", "p.krtproj", "info"}, 66, {}, says("FIFO")},
        {"a project without verify writes without reading back",
         [&] {
             // DQ7 set: the weak cell ends its polling and only a verify sees it.
             test::Spit(dir / "f.bin", std::string(0x2000, '\xA5'));
             Project("p.krtproj", ", \"overrides\": {\"verify\": false}");
         },
         {"--project", "p.krtproj", "--sim-fault", "weak-cells:0", "write"}, 0, {}, nullptr},
        {"a project's wait mode out of range",
         [&] { Project("p.krtproj", ", \"overrides\": {\"waitMode\": 99}"); }, {"--project", "p.krtproj", "write"},
         64, {}, says("p.krtproj, \"overrides.waitMode\": --wait-mode wants")},
        {"a read with a project over its data file",
         [&] {
             chipWritten();
             Image("f.bin", 100);
             Project("p.krtproj", "");
         },
         {"--project", "p.krtproj", "read"}, 64, {"f.bin"}, nullptr},
        {"a batch state that lags its log",
         [&] {
             fs::create_directory(dir / "chips");
             test::Spit(dir / "f.bin", std::string(0x2000, '\xFF'));
             test::Spit(dir / "run.log", "{\"index\":2,\"serial\":\"1001\"}\n");
             test::Spit(dir / "run.log.state", "serial 100:4:1000:1:le\nnext 1000\nindex 1\n");
         },
         {"--sim-chip-dir", "chips", "--count", "1", "--serial", "100:4", "--log", "run.log", "batch", "auto",
          "EEPROM", "Atmel", "AT28C64", "f.bin"},
         0, {}, [&](const test::KrtRun&) {
             EXPECT_NE(test::Slurp(dir / "run.log").find("\"index\":3,"), std::string::npos);
             EXPECT_NE(test::Slurp(dir / "run.log").find("\"serial\":\"1002\""), std::string::npos);
         }},
        {"a JEDEC L field without its fuse number",
         [&] { test::Spit(dir / "g.jed", "\x02*QF2194*F0*L 0101*\x03"); },
         {"write", "GAL", "Lattice", "GAL16V8", "g.jed"}, 66, {}, says("offset 12")},
        {"settings that are a directory", [&] { fs::create_directory(dir / "D"); },
         {"--settings", "D", "list"}, 66, {}, says("Is a directory")},
        {"split into one file twice", [&] { Image("in.bin", 64); },
         {"split", "in.bin", "--even", "a.bin", "--odd", "a.bin"}, 64, {}, nullptr},
        {"split whose second output is a directory",
         [&] {
             Image("in.bin", 64);
             test::Spit(dir / "a.bin", "old");
             fs::create_directory(dir / "D");
         },
         {"split", "in.bin", "--even", "a.bin", "--odd", "D"}, 73, {"a.bin"}, nullptr},
        {"compare with a project",
         [&] {
             chipWritten();
             Project("p.krtproj", "");
         },
         {"--project", "p.krtproj", "compare"}, 0, {}, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        fs::remove_all(dir);
        fs::create_directories(dir / "config");
        row.setUp();
        std::vector<std::string> before;
        for (const std::string& name : row.kept) before.push_back(test::Slurp(dir / name));
        const test::KrtRun run = Run(row.args);
        EXPECT_EQ(run.status, row.status) << run.err;
        for (size_t i = 0; i < row.kept.size(); ++i) EXPECT_EQ(test::Slurp(dir / row.kept[i]), before[i]) << row.kept[i];
        if (row.then) row.then(run);
    }
}

// Every chip model of the writable families, its protection off, holds
// after identify (either entry) what it held before: a test a model, so
// that the models run side by side.
struct IdentifyModel {
    const char* type;
    const char* maker;
    const char* name;
    size_t bytes;  // written and verified from 0: past both command pages
    bool protection;
};
const IdentifyModel kIdentifyModels[] = {
    {"EEPROM", "Atmel", "AT28C16", 0x800, false},      {"EEPROM", "Atmel", "AT28C64", 0x2000, false},
    {"EEPROM", "Atmel", "AT28C64B", 0x2000, true},     {"EEPROM", "Catalyst", "CAT28C256", 0x6000, true},
    {"EEPROM", "Atmel", "AT28C256", 0x6000, true},     {"EEPROM", "Xicor", "X28C256", 0x6000, true},
    {"FLASH5V", "Atmel", "AT29C512", 0x6000, true},   {"FLASH5V", "Atmel", "AT29C010A", 0x6000, true},
    {"FLASH5V", "Atmel", "AT29C040A", 0x6000, true},  {"FLASH5V", "Winbond", "W29C020", 0x6000, true},
    {"FLASH5V", "Winbond", "W29EE011", 0x6000, true}, {"FLASH5V", "SST", "SST29EE010", 0x6000, true},
    {"FLASH5V", "SST", "SST39SF010A", 0x6000, false}, {"FLASH5V", "AMD", "AM29F010B", 0x6000, false},
    {"FLASH", "Intel", "P28F010", 0x6000, false},
};

// gtest names a parameter by its bytes otherwise.
void PrintTo(const IdentifyModel& m, std::ostream* os) { *os << m.name; }

class StrictIdentify : public StrictRuns, public testing::WithParamInterface<IdentifyModel> {};

TEST_P(StrictIdentify, LeavesTheWritableChipAsItFoundIt) {
    const IdentifyModel& m = GetParam();
    for (const char* entry : {"3", "6"}) {
        SCOPED_TRACE(std::string(m.name) + " entry " + entry);
        fs::remove(Path("c.chip"));
        Image("f.bin", m.bytes);
        const std::vector<std::string> device = {m.type, m.maker, m.name};
        const auto on = [&](std::vector<std::string> args) {
            args.insert(args.end(), device.begin(), device.end());
            return args;
        };
        char length[16];
        std::snprintf(length, sizeof length, "%zX", m.bytes);
        const std::vector<std::string> range = {"--length", length};
        ASSERT_EQ(Run(test::Args({range, on({"write"}), {"f.bin"}})).status, 0);
        if (m.protection) {
            ASSERT_EQ(Run(on({"sdp", "off"})).status, 0);
        }
        const test::KrtRun identify = Run({"identify", entry});
        EXPECT_TRUE(identify.status == 0 || identify.status == 7) << identify.err;
        EXPECT_EQ(identify.out.find("did not take"), std::string::npos) << identify.out;
        const test::KrtRun verify = Run(test::Args({range, on({"verify"}), {"f.bin"}}));
        EXPECT_EQ(verify.status, 0) << verify.out;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryWritableModel, StrictIdentify, testing::ValuesIn(kIdentifyModels),
                         [](const testing::TestParamInfo<IdentifyModel>& info) {
                             return std::string(info.param.name);
                         });

// A project's value is refused as the same option on the command line is:
// the same status and the option's own words, naming the file and member.
TEST_F(StrictRuns, ProjectValuesAreCheckedAsTheirOptions) {
    const struct {
        const char* members;
        std::vector<std::string> option;
        const char* member;
    } rows[] = {
        {", \"range\": {\"start\": \"zz\"}", {"--start", "zz"}, "range.start"},
        {", \"range\": {\"length\": \"100000000\"}", {"--length", "100000000"}, "range.length"},
        {", \"permittedErrors\": -1", {"--errors", "-1"}, "permittedErrors"},
        {", \"overrides\": {\"waitMode\": 99}", {"--wait-mode", "99"}, "overrides.waitMode"},
        {", \"batch\": {\"count\": -1}", {"--count", "-1"}, "batch.count"},
        {", \"overrides\": {\"pageWrite\": true, \"byteWrite\": true}", {"--page-write", "--byte-write"},
         "overrides.pageWrite"},
    };
    Image("f.bin", 0x2000);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.member);
        Project("p.krtproj", row.members);
        const test::KrtRun project = Run({"--project", "p.krtproj", "verify"});
        const test::KrtRun line = Run(test::Args({row.option, {"verify", "EEPROM", "Atmel", "AT28C64", "f.bin"}}));
        EXPECT_EQ(project.status, 64) << project.err;
        EXPECT_EQ(line.status, 64) << line.err;
        EXPECT_NE(project.err.find("p.krtproj, \"" + std::string(row.member) + "\""), std::string::npos)
            << project.err;
        // The option's own words ("--start wants ...") follow in both.
        const std::string words = line.err.substr(line.err.find("--"), 12);
        EXPECT_NE(project.err.find(words), std::string::npos) << project.err << " | " << line.err;
    }
    // What the option takes, the project takes too.
    Project("p.krtproj", ", \"range\": {\"start\": \"0x10\", \"length\": \"20\"}, \"overrides\": {\"waitMode\": "
                         "\"toggle\"}, \"batch\": {\"count\": 0}");
    EXPECT_EQ(Run({"--project", "p.krtproj", "sum"}).status, 0);
}

}  // namespace
}  // namespace krt
