// SPDX-License-Identifier: GPL-3.0-or-later
// The 28C EEPROM model on its pins, against the datasheets: page loads and
// the byte-load window, the signals of the write cycle, software data
// protection, write inhibit, faults and the chip file.
#include <gtest/gtest.h>

#include "catalogue/DeviceRecord.h"
#include "sim/ChipFactory.h"
#include "sim/chips/EepromChip.h"
#include "support/ParallelChipSocket.h"

namespace krt {
namespace {

using test::Cycles;
using test::kMs;
using test::kUs;
// Settle() lets 20 ms pass: a write cycle's worst case.
using EepromSocket = test::ParallelChipSocket<EepromChip, EepromFacts, LookUpEepromPart, 20 * kMs>;

const Cycles kEnable = {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0xA0}};
const Cycles kDisable = {
    {0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x80}, {0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x20}};

TEST(EepromChip, WriteCycleShowsPollingToggleAndBusyThenTheData) {
    EepromSocket t("AT28C256");
    t.Write(0x100, 0x12);
    t.Write(0x101, 0x3C);  // last byte: bit 7 clear
    const uint8_t first = t.Read(0x101);
    const uint8_t second = t.Read(0x101);
    EXPECT_EQ(first & 0x80, 0x80);           // the complement of bit 7 of 0x3C
    EXPECT_NE(first & 0x40, second & 0x40);  // I/O6 toggles on every read
    EXPECT_EQ(first & 0x3F, 0x03);           // undefined: never the data
    t.Write(0x102, 0x77);                    // ignored: the cycle runs
    t.Settle();
    EXPECT_EQ(t.Read(0x100), 0x12);
    EXPECT_EQ(t.Read(0x101), 0x3C);
    EXPECT_EQ(t.Read(0x101), 0x3C);  // steady once done
    EXPECT_EQ(t.chip.Cell(0x102), 0xFF);
    EXPECT_EQ(t.chip.Cycles(), 1u);

    // AT28C64: byte writes, RDY/BUSY low for the cycle, no toggle bit.
    EepromSocket b("AT28C64");
    b.Write(0x10, 0xA5);
    EXPECT_FALSE(b.chip.Output(Pin::RdyBusy, b.s));
    EXPECT_EQ(b.Read(0x10), 0x5A);  // I/O7 inverted, the undefined rest unlike the data
    EXPECT_EQ(b.Read(0x10), 0x5A);
    b.Settle();
    EXPECT_TRUE(b.chip.Output(Pin::RdyBusy, b.s));
    EXPECT_EQ(b.Read(0x10), 0xA5);
    // AT28C256 has no RDY/BUSY pin: it reads released.
    t.Write(0x200, 0);
    EXPECT_TRUE(t.chip.Output(Pin::RdyBusy, t.s));
}

TEST(EepromChip, SlowPageLoadWritesWhatCameInTheWindow) {
    EepromSocket t("AT28C256");
    t.Write(0x40, 1);
    t.Write(0x41, 2, 100 * kUs);
    t.Write(0x42, 3, 200 * kUs);  // past tBLC: the cycle has started, the byte is lost
    t.Settle();
    EXPECT_EQ(t.chip.Cell(0x40), 1);
    EXPECT_EQ(t.chip.Cell(0x41), 2);
    EXPECT_EQ(t.chip.Cell(0x42), 0xFF);

    // Bytes for two pages in one window land in the page of the last byte.
    t.Write(0x13F, 0xAB);
    t.Write(0x140, 0xCD);
    t.Settle();
    EXPECT_EQ(t.chip.Cell(0x13F), 0xFF);
    EXPECT_EQ(t.chip.Cell(0x17F), 0xAB);
    EXPECT_EQ(t.chip.Cell(0x140), 0xCD);
}

TEST(EepromChip, SoftwareDataProtection) {
    EepromSocket t("AT28C256");
    // Enable with data in the same window: the data is written, the command bytes are not.
    t.Sequence(kEnable);
    t.Write(0x0010, 0x42);
    t.Settle();
    EXPECT_TRUE(t.chip.Protected());
    EXPECT_EQ(t.chip.Cell(0x0010), 0x42);
    EXPECT_EQ(t.chip.Cell(0x5555), 0xFF);
    // A plain write runs a dummy cycle: it polls, then nothing has changed.
    t.Write(0x0010, 0x00);
    EXPECT_EQ(t.Read(0x0010) & 0x80, 0x80);
    t.Settle();
    EXPECT_EQ(t.chip.Cell(0x0010), 0x42);
    // A disable sequence with a gap beyond tBLC is not one.
    t.Sequence(kDisable, 200 * kUs);
    t.Settle();
    EXPECT_TRUE(t.chip.Protected());
    // The state survives power-off and the chip file.
    t.Supply(0.0);
    t.Supply(5.0);
    t.Settle();
    ChipImage image;
    t.chip.Save(image);
    std::string error;
    auto loaded = MakeChipFromImage(image, error);
    ASSERT_TRUE(loaded) << error;
    auto& chip = dynamic_cast<EepromChip&>(*loaded);
    EXPECT_TRUE(chip.Protected());
    EXPECT_EQ(chip.Cell(0x0010), 0x42);
    EXPECT_EQ(chip.Facts().page, 64u);
    t.Sequence(kDisable);
    t.Settle();
    EXPECT_FALSE(t.chip.Protected());
    t.Write(0x0010, 0x00);
    t.Settle();
    EXPECT_EQ(t.chip.Cell(0x0010), 0x00);

    // 8K parts decode A0-A12: 1555/0AAA.
    EepromSocket b("AT28C64B");
    b.Sequence({{0x1555, 0xAA}, {0x0AAA, 0x55}, {0x1555, 0xA0}});
    b.Settle();
    EXPECT_TRUE(b.chip.Protected());
}

TEST(EepromChip, WritesInhibitedAtLowVccAndWhilePoweringUp) {
    EepromSocket t("AT28C256");
    t.Supply(3.3);
    t.Write(0x10, 0x00);
    t.Settle();
    EXPECT_EQ(t.chip.Cell(0x10), 0xFF);
    t.Supply(5.0);
    t.Write(0x10, 0x00, 1 * kMs);  // inside the 5 ms power-up delay
    t.Settle();
    EXPECT_EQ(t.chip.Cell(0x10), 0xFF);
    t.Write(0x10, 0x00);
    t.Supply(0.0);  // cut off during the cycle: nothing written
    t.Supply(5.0);
    t.Settle();
    EXPECT_EQ(t.chip.Cell(0x10), 0xFF);
}

TEST(EepromChip, Faults) {
    std::string error;
    EepromSocket t("AT28C256");
    EXPECT_FALSE(t.chip.ApplyFault("no-ack", "", error));
    EXPECT_TRUE(error.empty());
    EXPECT_FALSE(t.chip.ApplyFault("slow-write", "3", error));
    EXPECT_FALSE(error.empty());
    ASSERT_TRUE(t.chip.ApplyFault("slow-write", "", error));
    t.Write(0x10, 0x01);
    t.s.nowNs += 9 * kMs;
    EXPECT_TRUE(t.chip.Busy(t.s.nowNs));  // the datasheet's 10 ms
    ASSERT_TRUE(t.chip.ApplyFault("never-ready", "", error));
    t.Settle();
    EXPECT_TRUE(t.chip.Busy(t.s.nowNs));
    EXPECT_EQ(t.chip.Cell(0x10), 0xFF);
    t.Supply(0.0);  // only losing the supply ends it
    EXPECT_FALSE(t.chip.Busy(t.s.nowNs));

    EepromSocket old("AT28C16");
    EXPECT_FALSE(old.chip.ApplyFault("sdp-locked", "", error));
    EXPECT_FALSE(error.empty());
    CellFaults cells;
    cells.dead = {0x20};
    cells.weak = {{0x21, 2}};
    old.chip.SetCellFaults(cells);
    for (int attempt = 0; attempt < 2; ++attempt) {
        old.Write(0x20, 0x00);
        old.Settle();
        old.Write(0x21, 0x00);
        old.Settle();
        EXPECT_EQ(old.chip.Cell(0x21), attempt == 0 ? 0xFF : 0x00);
    }
    EXPECT_EQ(old.chip.Cell(0x20), 0xFF);
}

TEST(EepromChip, FactsFromTheTableOrTheRecord) {
    DeviceRecord r;
    r.type = "EEPROM";
    r.name = "CAT28C256";
    r.maxsize = 0x8000;
    bool known = false;
    EepromFacts f = EepromFactsFor(r, &known);
    EXPECT_TRUE(known);
    EXPECT_EQ(f.loadWindowNs, 100 * kUs);  // not the Atmel 150 us
    r.name = "XYZ28C999";
    r.pagesize = 32;
    r.tpw = 3e-3;
    f = EepromFactsFor(r, &known);
    EXPECT_FALSE(known);
    EXPECT_EQ(f.page, 32u);
    EXPECT_EQ(f.cycleMaxNs, 3 * kMs);
    EXPECT_TRUE(f.protection);
}

}  // namespace
}  // namespace krt
