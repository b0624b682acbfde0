// SPDX-License-Identifier: GPL-3.0-or-later
// Writes that leave alone what the chip holds already (blank words of the
// file, EEPROM pages that hold their data), on the simulated programmer in
// strict mode, and what goes wrong in them.
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
    const auto eprom = [](SimBench& b, uint32_t a, uint16_t v) {
        dynamic_cast<EpromChip*>(b.sim.SocketChip())->SetCell(a, v);
    };
    return {
        {"EPROM", ShippedRecord("EPROM", "AMD", "27C256"), 0xFF, 0x5A, eprom},
        {"OTP PROM", ShippedRecord("OTPROM", "AMD", "27C512"), 0xFF, 0x5A, eprom},
        {"16-bit EPROM", ShippedRecord("EPROM", "AMD", "27C1024"), 0xFFFF, 0x5AA5, eprom},
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
        if (record.bytesPerWord == 2) SetWord(buffer, word, value);
        else buffer[word] = static_cast<uint8_t>(value);
    }
    uint16_t FileWord(uint32_t word) const {
        return record.bytesPerWord == 2 ? WordAt(buffer, word) : buffer[word];
    }
    uint8_t Auto() {
        link.automaticWrite = true;
        uint8_t result = Operation(REQ_BLANK_CHECK, 0, kWords);
        if (result == 0) result = Operation(5, 0, kWords);
        link.automaticWrite = false;
        return result;
    }
    bool VerifyErrorAt(uint32_t address) const {
        char line[32];
        std::snprintf(line, sizeof line, "Verify error at %06lX", static_cast<unsigned long>(address));
        for (const auto& l : log.lines())
            if (l.rfind(line, 0) == 0) return true;
        return false;
    }
};

// The simulator's port, counting the accesses; from a progress on it
// cancels the operation once or leaves the programmer busy.
struct TestPort : PortIo {
    enum Stop { kNone, kCancel, kSilence };
    SimBench& b;
    Stop stop;
    uint64_t accesses = 0;
    explicit TestPort(SimBench& bench, Stop s = kNone) : b(bench), stop(s) {}
    uint8_t read(uint16_t a) override { return ++accesses, b.sim.read(a); }
    void write(uint16_t a, uint8_t v) override {
        ++accesses, b.sim.write(a, v);
        if (stop == kNone || b.link.OperationProgress() < 0x90) return;
        if (stop == kSilence) return b.sim.SetStaysBusy(true);
        stop = kNone;
        b.link.CancelOperation();
    }
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

// A word the write cannot make as the file wants fails at its address, the
// words after it fine: a chip not blank where the file is blank (the
// automatic write stops at its blank check there; the PIC16F84A erases each
// word as it programs it, so there the word ends blank), and a dead cell
// that reads blank, so passes the blank check, but does not program.
TEST(WriteSkipSim, WordTheWriteCannotMakeFailsAtItsAddress) {
    for (const Family& f : Families()) {
        for (bool dead : {false, true}) {
            for (bool automatic : {false, true}) {
                SCOPED_TRACE(std::string(f.label) + (dead ? " dead" : " not blank") + (automatic ? " auto" : ""));
                Skip b(f);
                const uint32_t at = dead ? 0x21 : 0x80;
                dead ? b.DeadCells({at}) : f.setCell(b, at, f.data);
                const bool picErases = !dead && f.record.typecode == 4;
                if (picErases && automatic) continue;
                EXPECT_EQ(automatic ? b.Auto() : b.Operation(5, 0, kWords), picErases ? 0 : 3);
                if (picErases) {
                    EXPECT_EQ(dynamic_cast<PicChip*>(b.sim.SocketChip())->Program(at), f.blank);
                }
                if (picErases || (automatic && !dead)) continue;
                EXPECT_TRUE(b.VerifyErrorAt(at));
                EXPECT_FALSE(b.VerifyErrorAt(at + 1)) << "the words after it are fine";
                if (dead) {
                    EXPECT_EQ(b.Operation(6, 0, kWords), 3);
                }
            }
        }
    }
}

// The blank check's range reaches only the write right after it in an
// automatic write, and only its own words: any other request between them
// (here a read), a blank check of its own (the chip may be changed before
// the user's write), or a word just past the checked range makes the write
// look at the chip again.
TEST(WriteSkipSim, TheBlankCheckCountsOnlyForTheWriteRightAfterIt) {
    struct Case {
        const char* what;
        bool automatic, between;
        uint32_t checked;  // words from 0
        uint8_t result;
    };
    const Family f = Families().front();
    for (const Case& c : {Case{"right after it", true, false, kWords, 0}, Case{"a read between", true, true, kWords, 3},
                          Case{"a blank check of its own", false, false, kWords, 3},
                          Case{"the word after its range", true, false, 0x80, 3}}) {
        Skip b(f);
        b.link.automaticWrite = c.automatic;
        ASSERT_EQ(b.Operation(REQ_BLANK_CHECK, 0, c.checked), 0);
        std::vector<uint8_t> file = b.buffer;
        if (c.between) {
            EXPECT_EQ(b.Operation(4, 0, 1), 0);
        }
        f.setCell(b, 0x80, f.data);  // another chip's word, unseen by the blank check
        b.buffer = file;
        EXPECT_EQ(b.Operation(5, 0, kWords), c.result) << c.what;
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
            TestPort port(b);
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

// A cancel (result 1) or a programmer that stops answering (result 4)
// inside a run of blank words read on the chip: the words after it
// untouched, no line that claims the write was done, and after a cancel the
// last line says how many were skipped.
TEST(WriteSkipSim, CancelOrSilenceInsideASkippedRunWritesNothingAfterIt) {
    for (const Family& f : Families()) {
        for (bool cancel : {true, false}) {
            SCOPED_TRACE(std::string(f.label) + (cancel ? " cancel" : " silence"));
            Skip b(f);
            if (!cancel) b.ExpectBreaches();  // frames sent to a programmer that stays busy
            b.SetFile(kWords - 1, f.data);  // the word after the run
            TestPort port(b, cancel ? TestPort::kCancel : TestPort::kSilence);
            b.link.port = &port;
            EXPECT_EQ(b.Operation(5, 0, kWords), cancel ? 1 : 4);
            for (const auto& l : b.log.lines()) EXPECT_EQ(l.find("without errors"), std::string::npos);
            const Lines logged = b.log.lines();
            b.sim.SetStaysBusy(false);
            b.link.port = &b.sim;
            ASSERT_EQ(b.Operation(4, 0, kWords), 0);
            EXPECT_EQ(b.FileWord(kWords - 1), f.blank) << "not written";
            if (!cancel || f.record.typecode == 4) continue;  // the PIC logs its own cancel
            ASSERT_GE(logged.size(), 2u);
            EXPECT_EQ(logged.back().rfind("(", 0), 0u) << logged.back();
            EXPECT_NE(logged.back().find("were blank in the file and on the chip"), std::string::npos);
        }
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

// EEPROMs with changedonly: the page (parallel, two-wire page write) or
// the word (byte write, three-wire) that differs is the only write cycle;
// without the key every page is written as before. At the parallel part's
// longest write cycle too. The rows that write one changed byte where a
// mistake would hide it: a range that starts inside a page, a page whose
// last or first byte alone differs, the page after one left alone.
TEST(WriteSkipSim, EepromChangedOnlyWritesWhatDiffers) {
    struct Case {
        const char* name;
        int pageWrite;  // -1: the record's own
        uint8_t changedOnly;
        bool slow;
        uint64_t cycles;
        const char* held;  // the units the log says were not written
        uint32_t start = 0;
        int changed = -1;  // the file's byte that differs; -1: one inside a page
    };
    for (const Case& c : {Case{"AT24C02", 1, 1, false, 1, "7 pages"}, Case{"AT24C02", 0, 1, false, 1, "63 words"},
                          Case{"93C46", 0, 1, false, 1, "31 words"}, Case{"AT28C256", -1, 1, false, 1, "15 pages"},
                          Case{"AT28C256", -1, 1, true, 1, "15 pages"}, Case{"AT28C256", -1, 0, false, 16, nullptr},
                          Case{"AT28C256", -1, 0, true, 16, nullptr},
                          Case{"AT28C256", -1, 1, false, 1, "15 pages", 0x20, 0x40},
                          Case{"AT28C256", -1, 1, false, 1, "15 pages", 0, 0x17F},
                          Case{"AT28C256", -1, 1, false, 1, "15 pages", 0, 0x180},
                          Case{"AT24C02", 1, 1, false, 1, "7 pages", 0x03, 0x08},
                          Case{"AT24C02", 1, 1, false, 1, "7 pages", 0, 0x0F},
                          Case{"AT24C02", 1, 1, false, 1, "7 pages", 0, 0x10},
                          Case{"AT24C02", 0, 1, false, 1, "60 words", 0x03, 0x3F},
                          Case{"93C46", 0, 1, false, 1, "29 words", 2, 0x06}}) {
        SCOPED_TRACE(std::string(c.name) + " page write " + std::to_string(c.pageWrite) + " changedonly " +
                     std::to_string(c.changedOnly) + (c.slow ? " slow" : "") + " from " + std::to_string(c.start) +
                     " changed " + std::to_string(c.changed));
        const bool parallel = c.name[3] == '8', threeWire = c.name[0] == '9';
        DeviceRecord r = ShippedRecord(parallel ? "EEPROM" : "SEEPROM", threeWire ? "Microchip" : "Atmel", c.name);
        EXPECT_EQ(r.changedonly, 0) << "a file without the key";
        if (c.pageWrite >= 0) r.pagewrite = static_cast<uint8_t>(c.pageWrite);
        r.changedonly = c.changedOnly;
        SimBench b(r);
        if (c.slow) b.Fault("slow-write");
        b.buffer = RandomBytes(b.buffer.size(), parallel ? 31 : 32);
        auto* two = dynamic_cast<TwoWireEepromChip*>(b.sim.SocketChip());
        auto* three = dynamic_cast<ThreeWireEepromChip*>(b.sim.SocketChip());
        auto* eeprom = dynamic_cast<EepromChip*>(b.sim.SocketChip());
        const uint32_t units = parallel ? 0x400 : threeWire ? 0x20 : 0x40;
        const uint32_t changed = c.changed >= 0 ? static_cast<uint32_t>(c.changed) : parallel ? 0x155 : 0x11;
        for (uint32_t a = 0; a < units; ++a) {
            if (three) three->SetWord(a, WordAt(b.buffer, a));
            if (two) two->SetCell(a, b.buffer[a]);
            if (eeprom) eeprom->SetCell(a, b.buffer[a]);
        }
        const auto cycles = [&] { return two ? two->WriteCycles() : three ? three->WriteCycles() : eeprom->Cycles(); };
        b.buffer[changed] ^= 0x01;
        const uint64_t before = cycles();
        ASSERT_EQ(b.Operation(5, c.start, units - c.start), 0);
        EXPECT_EQ(cycles() - before, c.cycles);
        if (c.held) {
            EXPECT_EQ(b.log.lines(), (Lines{std::string(c.held) + " already held their data and were not written",
                                            "Written without errors."}));
        }
        EXPECT_EQ(b.Operation(6, 0, units), 0);
    }
}

}  // namespace
}  // namespace krt::test
