// SPDX-License-Identifier: GPL-3.0-or-later
// Writes that leave alone what the chip holds already, on the simulated
// programmer in strict mode: blank words of the file on EPROM, OTP PROM,
// 28F flash and PIC program memory (after an automatic write's blank check,
// or after reading them), and EEPROM pages that hold their data
// (changedonly). A chip not blank where the file is, a dead cell, a cancel
// in a skipped run and a programmer that stops answering in the pre-read.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "PicTestSupport.h"
#include "SimBench.h"
#include "sim/chips/EepromChip.h"
#include "sim/chips/EpromChip.h"
#include "sim/chips/FlashChip.h"
#include "sim/chips/PicChip.h"
#include "sim/chips/SerialEepromChips.h"
#include "support/ShippedRecord.h"

namespace krt::test {
namespace {

struct Family {
    const char* label;
    DeviceRecord record;
    uint16_t blank;
    uint16_t data;  // a value the family programs
    // Puts a value into the chip's cell at a word address.
    std::function<void(SimBench&, uint32_t, uint16_t)> setCell;
};

std::vector<Family> Families() {
    return {
        {"EPROM", ShippedRecord("EPROM", "AMD", "27C256"), 0xFF, 0x5A,
         [](SimBench& b, uint32_t a, uint16_t v) { dynamic_cast<EpromChip*>(b.sim.SocketChip())->SetCell(a, v); }},
        {"OTP PROM", ShippedRecord("OTPROM", "AMD", "27C512"), 0xFF, 0x5A,
         [](SimBench& b, uint32_t a, uint16_t v) { dynamic_cast<EpromChip*>(b.sim.SocketChip())->SetCell(a, v); }},
        {"16-bit EPROM", ShippedRecord("EPROM", "AMD", "27C1024"), 0xFFFF, 0x5AA5,
         [](SimBench& b, uint32_t a, uint16_t v) { dynamic_cast<EpromChip*>(b.sim.SocketChip())->SetCell(a, v); }},
        {"28F flash", ShippedRecord("FLASH", "Intel", "P28F010"), 0xFF, 0x5A,
         [](SimBench& b, uint32_t a, uint16_t v) {
             dynamic_cast<FlashChip*>(b.sim.SocketChip())->SetCell(a, static_cast<uint8_t>(v));
         }},
        {"PIC program memory", ShippedRecord("PIC", "Microchip", "PIC16F84A"), 0x3FFF, 0x1A5A,
         [](SimBench& b, uint32_t a, uint16_t v) { dynamic_cast<PicChip*>(b.sim.SocketChip())->SetProgram(a, v); }},
    };
}

constexpr uint32_t kWords = 0x100;
constexpr uint32_t kCode = 0x40;  // words of data at the start; the rest of the range is blank

// A bench whose file holds data in the first kCode words and blank after.
struct Skip : SimBench {
    const Family& f;
    explicit Skip(const Family& family) : SimBench(family.record), f(family) {
        if (f.record.typecode == 4) ClearPicBuffer(buffer);
        for (uint32_t w = 0; w < kCode; ++w) SetFile(w, static_cast<uint16_t>(f.data ^ w));
    }
    void SetFile(uint32_t word, uint16_t value) {
        if (record.bytesPerWord == 2) {
            SetWord(buffer, word, value);
        } else {
            buffer[word] = static_cast<uint8_t>(value);
        }
    }
    uint8_t Auto() {
        link.automaticWrite = true;
        uint8_t result = Operation(REQ_BLANK_CHECK, 0, kWords);
        if (result == 0) result = Operation(5, 0, kWords);
        link.automaticWrite = false;
        return result;
    }
    bool Logged(const char* format, uint32_t address) const {
        char line[64];
        std::snprintf(line, sizeof line, format, static_cast<unsigned long>(address));
        for (const auto& l : log.lines())
            if (l.rfind(line, 0) == 0) return true;
        return false;
    }
};

// Counts the port accesses of the operations run through it.
struct CountingPort : PortIo {
    PortIo* inner;
    uint64_t accesses = 0;
    explicit CountingPort(PortIo* p) : inner(p) {}
    uint8_t read(uint16_t a) override { return ++accesses, inner->read(a); }
    void write(uint16_t a, uint8_t v) override { ++accesses, inner->write(a, v); }
};

TEST(WriteSkipSim, BlankWordsEndAsTheFileWantsAndTheVerifyComparesThemAll) {
    for (const Family& f : Families()) {
        for (bool automatic : {false, true}) {
            Skip b(f);
            ASSERT_EQ(automatic ? b.Auto() : b.Operation(5, 0, kWords), 0) << f.label << automatic;
            EXPECT_EQ(b.log.lines().back(), "Written without errors.") << f.label;
            EXPECT_EQ(b.Operation(6, 0, kWords), 0) << f.label << automatic;
            // A blank word of the file the chip does not hold is a verify error.
            f.setCell(b, kWords - 1, f.data);
            EXPECT_EQ(b.Operation(6, 0, kWords), 3) << f.label << automatic;
        }
    }
}

// A chip not blank where the file is blank: the plain write reads it and
// programs it as any other word; a chip that programs only 1 to 0 fails
// there, naming the address. The PIC16F84A erases each word as it programs
// it, so there the word ends blank.
TEST(WriteSkipSim, ChipNotBlankWhereTheFileIsBlankFailsAtThatAddress) {
    for (const Family& f : Families()) {
        Skip b(f);
        f.setCell(b, 0x80, f.data);
        if (f.record.typecode == 4) {
            EXPECT_EQ(b.Operation(5, 0, kWords), 0);
            EXPECT_EQ(dynamic_cast<PicChip*>(b.sim.SocketChip())->Program(0x80), f.blank);
            continue;
        }
        EXPECT_EQ(b.Operation(5, 0, kWords), 3) << f.label;
        EXPECT_TRUE(b.Logged("Verify error at %06lX", 0x80)) << f.label;
        EXPECT_FALSE(b.Logged("Verify error at %06lX", 0x81)) << f.label << ": the words after it are fine";
        // The automatic write stops at its blank check there.
        Skip a(f);
        f.setCell(a, 0x80, f.data);
        EXPECT_EQ(a.Auto(), 3) << f.label;
    }
}

// A cell that reads blank but does not program passes the blank check; the
// write's read-back catches it and names it.
TEST(WriteSkipSim, DeadCellAfterAPassedBlankCheckIsAnErrorOfItsAddress) {
    for (const Family& f : Families()) {
        Skip b(f);
        b.DeadCells({0x21});
        EXPECT_EQ(b.Auto(), 3) << f.label;
        EXPECT_TRUE(b.Logged("Verify error at %06lX", 0x21)) << f.label;
        EXPECT_EQ(b.Operation(6, 0, kWords), 3) << f.label;
    }
}

// The blank check's range reaches only the write right after it: any other
// request between them (here a read) makes the write look at the chip again.
TEST(WriteSkipSim, TheBlankCheckCountsOnlyForTheWriteRightAfterIt) {
    const Family f = Families().front();
    for (bool between : {false, true}) {
        Skip b(f);
        b.link.automaticWrite = true;
        ASSERT_EQ(b.Operation(REQ_BLANK_CHECK, 0, kWords), 0);
        std::vector<uint8_t> file = b.buffer;
        if (between) EXPECT_EQ(b.Operation(4, 0, 1), 0);
        f.setCell(b, 0x80, f.data);  // another chip's word, unseen by the blank check
        b.buffer = file;
        EXPECT_EQ(b.Operation(5, 0, kWords), between ? 3 : 0) << between;
    }
}

// After the blank check, a skipped word sends nothing: not even its address
// (the address goes out again only where a run of them ends).
TEST(WriteSkipSim, SkippedWordsCostNoTrafficAfterTheBlankCheck) {
    for (const Family& f : Families()) {
        if (f.record.typecode == 4) continue;  // the PIC steps its counter word by word
        uint64_t counts[2];
        for (uint32_t words : {kCode + 1, kWords}) {
            Skip b(f);
            b.SetFile(kCode - 1, f.blank);  // a run inside the code, ended by a word to program
            CountingPort port(&b.sim);
            b.link.port = &port;
            b.link.automaticWrite = true;
            ASSERT_EQ(b.Operation(REQ_BLANK_CHECK, 0, words), 0) << f.label;
            port.accesses = 0;
            ASSERT_EQ(b.Operation(5, 0, words), 0) << f.label;
            counts[words == kWords] = port.accesses;
        }
        EXPECT_EQ(counts[0], counts[1]) << f.label << ": 0xBF more blank words cost nothing";
    }
}

// A cancel inside a run of blank words read on the chip: result 1, the
// words after it untouched, and the last line says how many were skipped.
TEST(WriteSkipSim, CancelInsideASkippedRunWritesNothingAfterIt) {
    struct CancelAt : PortIo {
        SimBench& b;
        int32_t at;
        CancelAt(SimBench& bench, int32_t a) : b(bench), at(a) {}
        uint8_t read(uint16_t a) override { return b.sim.read(a); }
        void write(uint16_t a, uint8_t v) override {
            b.sim.write(a, v);
            if (at >= 0 && b.link.OperationProgress() >= at) {
                at = -1;
                b.link.CancelOperation();
            }
        }
    };
    for (const Family& f : Families()) {
        Skip b(f);
        b.SetFile(kWords - 1, f.data);  // the word after the run
        CancelAt port(b, 0x90);
        b.link.port = &port;
        EXPECT_EQ(b.Operation(5, 0, kWords), 1) << f.label;
        EXPECT_EQ(b.Operation(4, 0, kWords), 0) << f.label;
        const uint16_t last = b.record.bytesPerWord == 2 ? WordAt(b.buffer, kWords - 1) : b.buffer[kWords - 1];
        EXPECT_EQ(last, f.blank) << f.label << ": not written";
        if (f.record.typecode == 4) continue;  // the PIC logs its own cancel
        ASSERT_GE(b.log.lines().size(), 2u) << f.label;
        EXPECT_EQ(b.log.lines().back().rfind("(", 0), 0u) << f.label << ": " << b.log.lines().back();
        EXPECT_NE(b.log.lines().back().find("were blank in the file and on the chip"), std::string::npos);
    }
}

// The programmer stops answering while blank words are read: result 4, and
// no line that claims the write was done.
TEST(WriteSkipSim, ProgrammerThatStopsAnsweringInThePreReadEndsFatal) {
    for (const Family& f : Families()) {
        Skip b(f);
        b.ExpectBreaches();  // frames sent to a programmer that stays busy
        b.SetFile(kWords - 1, f.data);
        StopsAnsweringPort port(b, 0x90);
        b.link.port = &port;
        EXPECT_EQ(b.Operation(5, 0, kWords), 4) << f.label;
        for (const auto& l : b.log.lines()) EXPECT_EQ(l.find("without errors"), std::string::npos) << f.label;
        b.sim.SetStaysBusy(false);
        b.link.port = &b.sim;
        b.log.clear();
        ASSERT_EQ(b.Operation(4, 0, kWords), 0) << f.label;
        const uint16_t last = b.record.bytesPerWord == 2 ? WordAt(b.buffer, kWords - 1) : b.buffer[kWords - 1];
        EXPECT_EQ(last, f.blank) << f.label;
    }
}

// An EEPROM writes FF as data: the serial families write a blank word of
// the file over a chip that holds something else there, byte write or not.
TEST(WriteSkipSim, SerialEepromWritesTheBlankWordsOfTheFile) {
    for (uint8_t pageWrite : {0, 1}) {
        DeviceRecord r = ShippedRecord("SEEPROM", "Atmel", "AT24C02");
        r.pagewrite = pageWrite;
        SimBench b(r);
        auto* chip = dynamic_cast<TwoWireEepromChip*>(b.sim.SocketChip());
        for (uint32_t a = 0; a < 0x20; ++a) chip->SetCell(a, 0x00);
        b.buffer[0x03] = 0x12;
        ASSERT_EQ(b.Operation(5, 0, 0x20), 0) << int(pageWrite);
        EXPECT_EQ(chip->Cell(0x03), 0x12);
        for (uint32_t a = 4; a < 0x20; ++a) ASSERT_EQ(chip->Cell(a), 0xFF) << a << " page write " << int(pageWrite);
    }
}

// Serial EEPROMs with changedonly: the page (two-wire page write) or the
// word (byte write, three-wire) that differs is the only write cycle.
TEST(WriteSkipSim, SerialEepromChangedOnlyWritesWhatDiffers) {
    struct Case {
        const char* name;
        uint8_t pageWrite;
        const char* line;
    };
    for (const Case& c : {Case{"AT24C02", 1, "7 pages already held their data and were not written"},
                          Case{"AT24C02", 0, "63 words already held their data and were not written"},
                          Case{"93C46", 0, "31 words already held their data and were not written"}}) {
        const bool twoWire = c.name[0] == 'A';
        DeviceRecord r = ShippedRecord("SEEPROM", twoWire ? "Atmel" : "Microchip", c.name);
        r.pagewrite = c.pageWrite;
        r.changedonly = 1;
        SimBench b(r);
        b.buffer = RandomBytes(b.buffer.size(), 32);
        auto* two = dynamic_cast<TwoWireEepromChip*>(b.sim.SocketChip());
        auto* three = dynamic_cast<ThreeWireEepromChip*>(b.sim.SocketChip());
        for (uint32_t a = 0; a < 0x40; ++a) {
            if (two) two->SetCell(a, b.buffer[a]);
            if (three && a < 0x20) three->SetWord(a, WordAt(b.buffer, a));
        }
        b.buffer[0x11] ^= 0x01;
        const uint32_t units = twoWire ? 0x40 : 0x20;
        const uint64_t before = two ? two->WriteCycles() : three->WriteCycles();
        ASSERT_EQ(b.Operation(5, 0, units), 0) << c.name << int(c.pageWrite);
        EXPECT_EQ((two ? two->WriteCycles() : three->WriteCycles()) - before, 1u) << c.name << int(c.pageWrite);
        EXPECT_EQ(b.log.lines(), (Lines{c.line, "Written without errors."})) << c.name;
        EXPECT_EQ(b.Operation(6, 0, units), 0) << c.name;
    }
}

// Parallel EEPROM with changedonly: a page that differs in one byte is the
// only write cycle; without the key every page is written as before. At the
// datasheet's longest write cycle too.
TEST(WriteSkipSim, EepromChangedOnlyWritesThePageThatDiffers) {
    for (bool slow : {false, true}) {
        for (uint8_t changedOnly : {0, 1}) {
            DeviceRecord r = ShippedRecord("EEPROM", "Atmel", "AT28C256");
            EXPECT_EQ(r.changedonly, 0) << "a file without the key";
            r.changedonly = changedOnly;
            SimBench b(r);
            if (slow) b.Fault("slow-write");
            auto* chip = dynamic_cast<EepromChip*>(b.sim.SocketChip());
            b.buffer = RandomBytes(b.buffer.size(), 31);
            for (uint32_t a = 0; a < 0x400; ++a) chip->SetCell(a, b.buffer[a]);
            b.buffer[0x155] ^= 0x01;  // page 5
            const uint64_t before = chip->Cycles();
            ASSERT_EQ(b.Operation(5, 0, 0x400), 0) << slow;
            EXPECT_EQ(chip->Cycles() - before, changedOnly ? 1u : 16u) << slow;
            EXPECT_EQ(chip->Cell(0x155), b.buffer[0x155]);
            if (changedOnly) {
                EXPECT_EQ(b.log.lines(), (Lines{"15 pages already held their data and were not written",
                                                "Written without errors."}));
            }
            EXPECT_EQ(b.Operation(6, 0, 0x400), 0) << slow;
        }
    }
}

}  // namespace
}  // namespace krt::test
