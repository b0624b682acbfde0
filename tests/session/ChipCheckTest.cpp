// SPDX-License-Identifier: GPL-3.0-or-later
// The chip check against simulated chips, genuine and fake: each fake is
// found by the check that can show it, a genuine chip passes every check,
// and the chip holds afterwards exactly what it held before.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "session/ChipCheck.h"
#include "session/Job.h"
#include "session/Session.h"
#include "sim/VirtualKrt.h"
#include "support/RecordingPort.h"

namespace krt {
namespace {

struct CheckedChip {
    test::CollectingLog log;
    Session session{&log};
    std::string keep;
    char type_[32] = {}, maker_[32] = {}, name_[32] = {};

    // The part loaded, its chip in the socket holding pseudo-random data.
    explicit CheckedChip(const std::string& part) {
        std::string error, note;
        EXPECT_TRUE(session.OpenBackend("sim", 0x378, error)) << error;
        session.Simulator()->SetStrict(true);
        EXPECT_EQ(session.StartUp(SessionSettings{}), RESULT_OK);
        Job job;
        if (std::sscanf(part.c_str(), "%31s %31s %31s", type_, maker_, name_) == 3) {
            job.type = type_;
            job.maker = maker_;
            job.name = name_;
        } else {
            job.part = part;
        }
        job.catalogue = KRT_SOURCE_DIR "/devices";
        LogJobFace face(&log);
        JobReport report;
        EXPECT_TRUE(session.PrepareJob(job, face, report)) << part;
        EXPECT_TRUE(session.LoadSocket(session.record, "", note, error)) << error;
        ChipImage image;
        Chip* chip = session.Simulator()->SocketChip();
        chip->Save(image);
        uint32_t seed = 12345;
        for (uint8_t& b : image.blobs[ContentBlob()]) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<uint8_t>(seed >> 16);
        }
        EXPECT_TRUE(chip->Load(image, error)) << error;
        if (!*name_) std::snprintf(name_, sizeof name_, "%s", part.c_str());
        keep = (std::filesystem::temp_directory_path() / ("check-" + std::to_string(::getpid()) + "-" + name_ + ".bin")).string();
    }
    ~CheckedChip() { std::filesystem::remove(keep); }

    std::vector<uint8_t> Cells() const {
        ChipImage image;
        session.Simulator()->SocketChip()->Save(image);
        return image.blobs[ContentBlob()];
    }
    // A PIC's program memory; every other model's cells.
    std::string ContentBlob() const { return session.record.type == "PIC" ? "program" : "cells"; }
    ChipCheckReport Check(std::function<bool()> stop = {}) {
        ChipCheckOptions options;
        options.keepFile = keep;
        options.log = &log;
        options.stopRequested = std::move(stop);
        return CheckChip(session, options);
    }
};

const CheckLine* Find(const ChipCheckReport& report, const std::string& check) {
    for (const CheckLine& l : report.lines)
        if (l.check == check) return &l;
    return nullptr;
}

struct CheckCase {
    const char* part;
    const char* fault;     // empty: a genuine chip
    const char* check;     // the check that must find the fake
    const char* evidence;  // a piece of its evidence
};
// Shown by part and fault: gtest prints a parameter's bytes otherwise.
void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.part << ' ' << (*c.fault ? c.fault : "genuine"); }

class ChipCheckTable : public ::testing::TestWithParam<CheckCase> {};

TEST_P(ChipCheckTable, FindsEachFakePassesGenuineChipsAndLeavesTheContent) {
    const CheckCase& c = GetParam();
    CheckedChip chip(c.part);
    if (*c.fault) {
        std::string error;
        ASSERT_TRUE(chip.session.Simulator()->ApplyFault(c.fault, error)) << error;
    }
    std::vector<uint8_t> before = chip.Cells();
    const ChipCheckReport report = chip.Check();
    ASSERT_EQ(report.result, RESULT_OK);
    if (!*c.fault) {
        EXPECT_TRUE(report.AllOk()) << CheckReportJson(chip.session.record, report);
        EXPECT_EQ(report.ExitStatus(), 0);
    } else {
        const CheckLine* line = Find(report, c.check);
        ASSERT_NE(line, nullptr) << CheckReportJson(chip.session.record, report);
        EXPECT_NE(line->verdict, CheckVerdict::Ok) << line->evidence;
        EXPECT_NE(line->evidence.find(c.evidence), std::string::npos) << line->evidence;
        EXPECT_EQ(report.ExitStatus(), RESULT_ERRORS);
    }
    // An aliased chip's model keeps cells that no address reaches: only
    // the reachable ones are its content.
    std::vector<uint8_t> after = chip.Cells();
    if (unsigned n = 0; std::sscanf(c.fault, "aliased:%u", &n) == 1) {
        const size_t reachable = (size_t{1} << n) * chip.session.record.bytesPerWord;
        before.resize(reachable);
        after.resize(reachable);
    }
    // A static RAM forgets with its supply: there is nothing to keep.
    if (chip.session.record.type != "SRAM") {
        EXPECT_TRUE(after == before) << "the chip's content changed";
    }
    EXPECT_FALSE(chip.session.Simulator()->HasBreaches());
}

INSTANTIATE_TEST_SUITE_P(
    Families, ChipCheckTable,
    ::testing::Values(CheckCase{"AT28C256", "", "", ""},
                      CheckCase{"AT28C256", "aliased:13", "capacity", "8 KB: A13, A14"},
                      CheckCase{"AT28C256", "slow:4", "write-cycle", "maximum is 10.0 ms"},
                      CheckCase{"SST39SF010A", "", "", ""},
                      CheckCase{"SST39SF010A", "aliased:16", "capacity", "64 KB: A16"},
                      CheckCase{"SST39SF010A", "slow:4", "erase", "maximum is 100.0 ms"},
                      CheckCase{"SST39SF010A", "blank-signature", "identity", "FF FF"},
                      CheckCase{"SST39SF010A", "wrong-part", "identity", "another part"},
                      CheckCase{"AT24C256", "", "", ""},
                      CheckCase{"AT24C256", "aliased:13", "capacity", "8 KB"},
                      CheckCase{"AT24C256", "slow:4", "write-cycle", "maximum is 10.0 ms"},
                      CheckCase{"FLASH Intel P28F010", "", "", ""},
                      CheckCase{"FLASH Intel P28F010", "aliased:15", "capacity", "32 KB: A15, A16"},
                      CheckCase{"FLASH Intel P28F010", "wrong-part", "identity", "01 A7 is another part's"},
                      CheckCase{"93C46", "", "", ""},
                      CheckCase{"93C46", "aliased:4", "capacity", "32 bytes: A4, A5"},
                      CheckCase{"EPROM Intel 27C64", "", "", ""},
                      CheckCase{"EPROM Intel 27C64", "aliased:11", "repeat", "every 2 KB"},
                      CheckCase{"EPROM Intel 27C64", "unstable-bits", "stability", "bit"},
                      CheckCase{"62256", "", "", ""},
                      CheckCase{"62256", "aliased:13", "march", "may answer as 8 KB"},
                      CheckCase{"62256", "unstable-bits", "march", "bit"},
                      CheckCase{"62256", "dead-cells:123", "march", "000123 bit"},
                      CheckCase{"6264", "", "", ""},
                      CheckCase{"PIC16F84A", "", "", ""},
                      CheckCase{"PIC16F84A", "aliased:9", "capacity", "1 KB: A9 changes"},
                      CheckCase{"PIC16F84A", "code-protected", "capacity", "code protection is on"},
                      CheckCase{"PIC16F84A", "wrong-part", "identity", "07C0h is another part's"},
                      CheckCase{"PIC16F84A", "blank-signature", "identity", "3FFFh"},
                      CheckCase{"GAL16V8", "", "", ""},
                      CheckCase{"GAL16V8", "wrong-part", "identity", "GAL20V8"},
                      CheckCase{"GAL22V10", "blank-signature", "identity", "blank"}),
    [](const ::testing::TestParamInfo<CheckCase>& info) {
        std::string name = std::string(info.param.part) + "_" + (*info.param.fault ? info.param.fault : "genuine");
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

// A check stopped after it has begun writing leaves the chip's content in
// the kept file, says so first, and the line it gives writes the chip back
// (a flash erased first).
struct StopCase {
    const char* part;
    const char* restore;  // the restore line up to the kept file
};
void PrintTo(const StopCase& c, std::ostream* os) { *os << c.part; }

class ChipCheckStopped : public ::testing::TestWithParam<StopCase> {};

TEST_P(ChipCheckStopped, LeavesTheKeptFileAndTheLineThatRestoresTheChip) {
    CheckedChip chip(GetParam().part);
    const std::vector<uint8_t> before = chip.Cells();
    int asked = 0;
    const ChipCheckReport report = chip.Check([&asked] { return ++asked > 3; });
    EXPECT_EQ(report.result, RESULT_CANCELED);
    ASSERT_FALSE(report.lines.empty());
    EXPECT_EQ(report.lines.front().check, "restore");
    EXPECT_EQ(report.lines.front().verdict, CheckVerdict::Failed);
    const std::string restore = GetParam().restore + chip.keep;
    EXPECT_NE(report.lines.front().evidence.find(restore), std::string::npos) << report.lines.front().evidence;
    EXPECT_FALSE(chip.Cells() == before) << "the check had not written yet";

    std::ifstream kept(chip.keep, std::ios::binary);
    const std::vector<uint8_t> file{std::istreambuf_iterator<char>(kept), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(file == before);
    // What the restore line does: the chip erased when it says so, the file written.
    std::vector<uint8_t> image = file;
    LinkRequest request;
    request.buffer = image.data();
    request.length = static_cast<uint32_t>(image.size());
    if (restore.find("krt erase") != std::string::npos) {
        request.code = REQ_ERASE;
        EXPECT_EQ(chip.session.Send(request), RESULT_OK);
    }
    request.code = REQ_WRITE;
    EXPECT_EQ(chip.session.Send(request), RESULT_OK);
    EXPECT_TRUE(chip.Cells() == before);
}

INSTANTIATE_TEST_SUITE_P(Families, ChipCheckStopped,
                         ::testing::Values(StopCase{"AT28C256", "krt write EEPROM Atmel AT28C256 "},
                                           StopCase{"FLASH Intel P28F010",
                                                    "krt erase FLASH Intel P28F010 && krt write FLASH Intel P28F010 "}),
                         [](const ::testing::TestParamInfo<StopCase>& info) {
                             std::string name = info.param.part;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

}  // namespace
}  // namespace krt
