// SPDX-License-Identifier: GPL-3.0-or-later
// The 5 V command-set flash model on its pins, against the datasheets: the
// command state machine, the status bits while busy, the page-load window,
// the power-up write inhibit and the host breaches strict mode reports.
#include <gtest/gtest.h>

#include "sim/chips/Flash5vChip.h"
#include "support/ParallelChipSocket.h"

namespace krt {
namespace {

using test::Cycles;
using test::kMs;
using test::kUs;
using Flash5vSocket = test::ParallelChipSocket<Flash5vChip, Flash5vFacts, LookUpFlash5vPart, 200 * kMs>;

const Cycles kProgram = {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0xA0}};

// A wrong unlock address, a missing cycle or a wrong command leaves the
// chip in read mode: the data cycle after it programs nothing. AMD parts
// decode A10-A0, so 555h/2AAh are the same cycles there (not on SST).
TEST(Flash5vChip, OnlyTheWholeSequenceProgramsAndOnlyClearsBits) {
    struct Case {
        const char* part;
        Cycles cycles;
        bool programs;
        uint8_t data = 0x3C;  // over F0: SST keeps the AND (AMD would never finish a 1 over a 0)
    };
    for (const Case& c : {Case{"SST39SF010A", kProgram, true},
                          Case{"SST39SF010A", {{0x5555, 0xAA}, {0x2AAB, 0x55}, {0x5555, 0xA0}}, false},
                          Case{"SST39SF010A", {{0x5555, 0xAA}, {0x5555, 0xA0}}, false},
                          Case{"SST39SF010A", {{0x555, 0xAA}, {0x2AA, 0x55}, {0x555, 0xA0}}, false},
                          Case{"AM29F040B", {{0x555, 0xAA}, {0x2AA, 0x55}, {0x555, 0xA0}}, true, 0x30},
                          Case{"AT49F040", {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x80}}, false}}) {
        Flash5vSocket k(c.part);
        k.chip.SetCell(0x1234, 0xF0);
        k.Sequence(c.cycles);
        k.Write(0x1234, c.data);
        k.Settle();
        EXPECT_EQ(k.chip.Cell(0x1234), c.programs ? 0x30 : 0xF0) << c.part;
        EXPECT_TRUE(k.chip.TakeHostBreach().empty());
    }
}

// While a program or erase runs: DQ7 the complement of the data's bit 7
// (0 during an erase), DQ6 toggling, DQ5 set once an AMD part's time limit
// has passed; a command written then is a host breach. Erase takes the
// datasheet's time and leaves FF.
TEST(Flash5vChip, StatusBitsWhileBusyAndEraseTime) {
    Flash5vSocket k("AM29F010B");
    k.chip.SetCell(0x10, 0x00);
    k.Sequence(kProgram);
    k.Write(0x10, 0x80, 0);  // a 1 over a 0: never completes on AMD
    const uint8_t a = k.Read(0x10, 1 * kUs), b = k.Read(0x10, 1 * kUs);
    EXPECT_EQ(a & 0x80, 0);
    EXPECT_NE(a & 0x40, b & 0x40);
    EXPECT_EQ(a & 0x20, 0);
    EXPECT_EQ(k.Read(0x10, 400 * kUs) & 0x20, 0x20);
    k.Write(0, 0xF0);  // the reset after DQ5 is allowed
    EXPECT_TRUE(k.chip.TakeHostBreach().empty());
    EXPECT_FALSE(k.chip.Busy(k.s.nowNs));

    Flash5vSocket e("SST39SF010A");
    e.chip.SetCell(0x100, 0x00);
    e.Sequence({{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x80}, {0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x10}});
    EXPECT_EQ(e.Read(0x100) & 0x80, 0);
    e.Write(0x5555, 0xAA);
    EXPECT_NE(e.chip.TakeHostBreach().find("while its erase was running"), std::string::npos);
    e.Settle(69 * kMs);
    EXPECT_TRUE(e.chip.Busy(e.s.nowNs));
    e.Settle(2 * kMs);
    EXPECT_EQ(e.Read(0x100), 0xFF);
}

// Page mode: bytes may follow each other within the byte-load window; a
// byte after it finds the chip busy (lost, a breach), and the cycle wrote
// only what was loaded, FF for the rest (Winbond). With protection on, a
// page without AA 55 A0 writes nothing.
TEST(Flash5vChip, PageLoadWindowAndProtection) {
    Flash5vSocket w("W29C020");
    for (uint32_t i = 0; i < 0x80; ++i) w.chip.SetCell(0x200 + i, 0x00);
    for (uint32_t i = 0; i < 0x40; ++i) w.Write(0x200 + i, static_cast<uint8_t>(i), 150 * kUs);
    w.Write(0x240, 0x55, 250 * kUs);
    EXPECT_NE(w.chip.TakeHostBreach().find("page write cycle"), std::string::npos);
    w.Settle();
    EXPECT_EQ(w.chip.Cell(0x23F), 0x3F);
    EXPECT_EQ(w.chip.Cell(0x240), 0xFF);
    EXPECT_EQ(w.chip.Cell(0x27F), 0xFF);

    w.chip.SetProtected(true);
    w.Write(0x300, 0x12);
    w.Settle();
    EXPECT_EQ(w.chip.Cell(0x300), 0xFF);
    w.Sequence(kProgram);
    w.Write(0x300, 0x12);
    w.Settle();
    EXPECT_EQ(w.chip.Cell(0x300), 0x12);
}

// A write cycle outside a command sequence: page data on a page-mode part
// without protection, written when the load ends, also by the supply's
// fall (a stray reset byte rewrites its page, and the bytes not loaded
// lose their data); nothing to a byte-program part, nor to a protected page
// part. Sector erase (30) is no command of the AT49F, which erases only
// the whole chip.
TEST(Flash5vChip, WriteCycleThatIsNoCommand) {
    struct Case {
        const char* part;
        bool protect;
        Cycles cycles;
        bool rewrites;  // the page around 0x210
    };
    const Cycles sectorErase = {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x80},
                                {0x5555, 0xAA}, {0x2AAA, 0x55}, {0x200, 0x30}};
    for (const Case& c : {Case{"W29C020", false, {{0x210, 0xF0}}, true},
                          Case{"AT29C010A", false, {{0x210, 0xF0}}, true},
                          Case{"W29C020", true, {{0x210, 0xF0}}, false},
                          Case{"SST39SF010A", false, {{0x210, 0xF0}}, false},
                          Case{"AT49F040", false, sectorErase, false}}) {
        SCOPED_TRACE(c.part);
        Flash5vSocket k(c.part);
        for (uint32_t a = 0x200; a < 0x280; ++a) k.chip.SetCell(a, 0x00);
        k.chip.SetProtected(c.protect);
        k.Sequence(c.cycles);
        k.Supply(0.0);  // at once: well inside the byte-load window
        k.Settle();
        EXPECT_EQ(k.chip.Cell(0x210), c.rewrites ? 0xF0 : 0x00);
        // Not loaded: FF on the Winbond part, indeterminate (not the old data) on the Atmel one.
        EXPECT_EQ(k.chip.Cell(0x211) == 0x00, !c.rewrites);
        EXPECT_EQ(k.chip.Erases(), 0u);
    }
}

// The identity answers to its entry (three-byte, or six-byte only on the
// W29EE011) and is left by AA 55 F0; writes below the operating Vcc and
// inside the power-up inhibit are refused and reported.
TEST(Flash5vChip, ProductIdAndWriteInhibit) {
    Flash5vSocket s("W29EE011");
    s.Sequence({{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x90}});
    s.Settle();
    EXPECT_NE(s.Read(1), 0xC1);  // the three-byte form is page data here
    s.Sequence({{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x80}, {0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x60}});
    EXPECT_EQ(s.Read(0), 0xDA);
    EXPECT_EQ(s.Read(1), 0xC1);
    s.Sequence({{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0xF0}});
    EXPECT_FALSE(s.chip.InIdMode());

    Flash5vSocket v("AT29C010A");
    v.Supply(0.0);
    v.Supply(5.0);
    v.Write(0x10, 0x00, 1 * kMs);
    EXPECT_NE(v.chip.TakeHostBreach().find("power-up write inhibit"), std::string::npos);
    v.Supply(4.2);
    v.Write(0x10, 0x00, 10 * kMs);
    EXPECT_NE(v.chip.TakeHostBreach().find("below its operating"), std::string::npos);
    v.Settle();
    EXPECT_EQ(v.chip.Cell(0x10), 0xFF);
}

}  // namespace
}  // namespace krt
