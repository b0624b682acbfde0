// SPDX-License-Identifier: GPL-3.0-or-later
// EPROM and OTP PROM in the socket, driven from the wire: programming only
// under Vpp and programming Vcc, only 1 to 0, pulse widths and pulse counts,
// weak and dead cells, over-voltage, reads that need Vcc, UV erase.
#include <gtest/gtest.h>

#include <set>

#include "SimWire.h"
#include "catalogue/DeviceRecord.h"
#include "sim/chips/EpromChip.h"

namespace krt {
namespace {

using namespace simtest;

// A 27C256 on a fixed-level programmer (KRT1 1.0), so that one register
// value sets both supplies: 0x08 = Vpp 12.5 V, Vcc 6.25 V; 0x60 = read at 5 V.
class SimEpromTest : public ::testing::Test {
protected:
    void SetUp() override {
        k.SetRevisions(0x10, 0x10);
        EpromElectrical facts;
        ASSERT_TRUE(LookUpEpromPart("27C256", facts));
        auto c = std::make_unique<EpromChip>("27C256", 0x8000, false, false, facts);
        chip = c.get();
        k.InsertChip(std::move(c));
        w.Cmd(DEVSET, 0x00);
        w.Timer(0x01, 0x90);  // 400 clocks = 100 us at 4 MHz
    }
    void Program(uint32_t a, uint8_t v) {
        w.Address(a);
        w.Cmd(DLSEND, v);
        ASSERT_GE(w.WaitReady(), 0);
    }
    uint8_t ReadAt(uint32_t a) {
        w.Address(a);
        return w.Fetch(DLREAD);
    }
    VirtualKrt k;
    Wire w{k};
    EpromChip* chip = nullptr;
};

TEST_F(SimEpromTest, ErasedReadsOnesAndAPulseClearsBitsOnly) {
    w.Volt(0x60);
    EXPECT_EQ(ReadAt(0x1234), 0xFF);
    w.Volt(0x08);
    Program(0x1234, 0x5A);
    EXPECT_EQ(ReadAt(0x1234), 0x5A) << "verify at programming Vcc";
    Program(0x1234, 0xF0);  // would set bits 0 and 2: impossible
    EXPECT_EQ(ReadAt(0x1234), 0x50);
    Program(0x1234, 0xFF);
    EXPECT_EQ(ReadAt(0x1234), 0x50);
    w.Volt(0x60);
    EXPECT_EQ(ReadAt(0x1234), 0x50);
    EXPECT_EQ(ReadAt(0x1235), 0xFF);
    EXPECT_TRUE(chip->Changed());
}

TEST_F(SimEpromTest, NoProgrammingWithoutVppOrAtReadVcc) {
    w.Volt(0x00);  // Vpp off, Vcc 6.25
    Program(0x10, 0x00);
    w.Volt(0x68);  // Vpp 12.5, Vcc 5 V: below the programming level
    Program(0x11, 0x00);
    w.Volt(0x0C);  // programming levels but gated off
    Program(0x12, 0x00);
    w.Volt(0x09);  // Vpp 13.7: above the 27C256 window, below its maximum rating
    Program(0x13, 0x00);
    w.Volt(0x60);
    for (uint32_t a = 0x10; a <= 0x13; ++a) EXPECT_EQ(ReadAt(a), 0xFF) << a;
    EXPECT_FALSE(chip->Damaged());
    EXPECT_FALSE(chip->Changed());
}

TEST_F(SimEpromTest, PulsesShorterThanTheMinimumDoNothing) {
    w.Volt(0x08);
    w.Timer(0x01, 0x7B);  // 379 clocks = 94.75 us
    Program(0x20, 0x00);
    w.Timer(0x01, 0x7C);  // 95 us
    Program(0x21, 0x00);
    EXPECT_EQ(ReadAt(0x20), 0xFF);
    EXPECT_EQ(ReadAt(0x21), 0x00);
}

TEST_F(SimEpromTest, CrystalFasterThanTheHostShortensPulsesBelowTheMinimum) {
    std::string error;
    ASSERT_TRUE(k.ApplyFault("crystal:8000000", error));
    w.Volt(0x08);
    Program(0x30, 0x00);  // the host meant 100 us; the programmer makes 50 us
    EXPECT_EQ(ReadAt(0x30), 0xFF);
}

TEST_F(SimEpromTest, CellsTakeTheirValueAfterTheSetNumberOfPulses) {
    chip->SetPulsesPerCell(3);
    w.Volt(0x08);
    Program(0x40, 0x0F);
    Program(0x40, 0x0F);
    EXPECT_EQ(ReadAt(0x40), 0xFF);
    Program(0x40, 0x0F);
    EXPECT_EQ(ReadAt(0x40), 0x0F);
    Program(0x41, 0x00);
    EXPECT_EQ(ReadAt(0x41), 0xFF) << "every cell counts its own pulses";
}

TEST_F(SimEpromTest, WeakAndDeadCells) {
    std::string error;
    ASSERT_TRUE(k.ApplyFault("weak-cells:100,101@4", error));
    ASSERT_TRUE(k.ApplyFault("dead-cells:200", error));
    w.Volt(0x08);
    for (int pulse = 1; pulse <= 4; ++pulse) {
        Program(0x100, 0x00);
        EXPECT_EQ(ReadAt(0x100), pulse < 4 ? 0xFF : 0x00) << pulse;
    }
    for (int pulse = 0; pulse < 30; ++pulse) Program(0x200, 0x00);
    EXPECT_EQ(ReadAt(0x200), 0xFF);
    Program(0x201, 0x00);
    EXPECT_EQ(ReadAt(0x201), 0x00) << "neighbours are healthy";
}

TEST_F(SimEpromTest, ReadsNeedVccElseTheLinesFloat) {
    chip->SetCell(0x50, 0x00);
    w.Volt(0x64);  // gated off
    EXPECT_EQ(ReadAt(0x50), 0xFF);
    w.Volt(0x80);  // 3.3 V: too low for a 5 V part
    EXPECT_EQ(ReadAt(0x50), 0xFF);
    w.Volt(0x60);
    EXPECT_EQ(ReadAt(0x50), 0x00);
    EXPECT_EQ(w.Fetch(DHREAD), 0xFF) << "an 8-bit chip leaves D8-D15 floating";
}

TEST_F(SimEpromTest, AddressLinesAboveTheChipWrap) {
    chip->SetCell(0x0001, 0x12);
    w.Volt(0x60);
    EXPECT_EQ(ReadAt(0x8001), 0x12);
    EXPECT_EQ(ReadAt(0xFF8001), 0x12);
}

TEST_F(SimEpromTest, OverVoltageDestroysTheChip) {
    chip->SetCell(0, 0x00);
    w.Volt(0x0B);  // 16.1 V: beyond the 14 V maximum rating
    EXPECT_TRUE(chip->Damaged());
    EXPECT_TRUE(chip->Changed());
    w.Volt(0x60);
    std::set<int> seen;
    for (int i = 0; i < 16; ++i) seen.insert(ReadAt(0));
    EXPECT_GT(seen.size(), 4u) << "garbage, not the stored byte";
    w.Volt(0x08);
    std::string reason;
    ASSERT_TRUE(chip->UvErase(reason));
    EXPECT_TRUE(chip->Damaged()) << "UV light does not mend it";
}

TEST_F(SimEpromTest, DacProgrammerAtTheDatasheetLevels) {
    k.SetRevisions(0x20, 0x10);
    w.Volt(0x28);
    w.DacWord(0, 125);  // 12.70 V
    w.DacWord(2, 213);  // 6.24 V
    Program(0x60, 0xA5);
    w.Volt(0x20);
    w.DacWord(2, 170);  // 4.98 V
    EXPECT_EQ(ReadAt(0x60), 0xA5);
}

TEST_F(SimEpromTest, UvEraseRestoresOnes) {
    w.Volt(0x08);
    Program(0x70, 0x00);
    std::string reason;
    ASSERT_TRUE(chip->UvErase(reason));
    w.Volt(0x60);
    EXPECT_EQ(ReadAt(0x70), 0xFF);
}

TEST(SimOtp, ProgramsLikeAnEpromButNeverErases) {
    VirtualKrt k;
    k.SetRevisions(0x10, 0x10);
    EpromElectrical facts;
    ASSERT_TRUE(LookUpEpromPart("27C512", facts));
    auto c = std::make_unique<EpromChip>("27C512", 0x10000, false, true, facts);
    EpromChip* chip = c.get();
    k.InsertChip(std::move(c));
    Wire w(k);
    w.Timer(0x01, 0x90);
    w.Volt(0x08);
    w.Address(0xFFFF);
    w.Cmd(DLSEND, 0x3C);
    w.WaitReady();
    EXPECT_STREQ(chip->Kind(), "OTPROM");
    EXPECT_EQ(chip->Cell(0xFFFF), 0xFF3C);
    std::string reason;
    EXPECT_FALSE(chip->UvErase(reason));
    EXPECT_NE(reason.find("cannot be erased"), std::string::npos);
    EXPECT_EQ(chip->Cell(0xFFFF), 0xFF3C);
}

TEST(SimEprom16, WordProgrammedThroughDlsetAndDhsend) {
    VirtualKrt k;
    k.SetRevisions(0x10, 0x10);
    EpromElectrical facts;
    ASSERT_TRUE(LookUpEpromPart("27C1024", facts));
    auto c = std::make_unique<EpromChip>("27C1024", 0x10000, true, false, facts);
    EpromChip* chip = c.get();
    k.InsertChip(std::move(c));
    Wire w(k);
    w.Cmd(DEVSET, 0x18);
    w.Timer(0x01, 0x90);
    w.Volt(0x08);
    w.Address(0x100);
    w.Cmd(DLSET, 0x34);  // latched, no pulse
    EXPECT_EQ(chip->Cell(0x100), 0xFFFF);
    w.Cmd(DHSEND, 0x12);  // the pulse starts with both halves latched
    w.WaitReady();
    EXPECT_EQ(chip->Cell(0x100), 0x1234);
    w.Volt(0x60);
    w.Cmd(DLREAD);
    w.WaitReady();
    EXPECT_EQ(w.Reply(), 0x34);
    w.Cmd(DHREAD);
    w.WaitReady();
    EXPECT_EQ(w.Reply(), 0x12);
}

TEST(SimEpromParts, TableByPartNumberElseFromTheRecord) {
    EpromElectrical f;
    ASSERT_TRUE(LookUpEpromPart("M27C256B", f));
    EXPECT_DOUBLE_EQ(f.absMaxVpp, 14.0);
    EXPECT_EQ(f.minPulseNs, 95000u);
    ASSERT_TRUE(LookUpEpromPart("i2764a", f));
    EXPECT_DOUBLE_EQ(f.progVppMax, 12.8);
    ASSERT_TRUE(LookUpEpromPart("2764", f));
    EXPECT_DOUBLE_EQ(f.progVppMin, 20.5) << "the non-A part needs 21 V";
    ASSERT_TRUE(LookUpEpromPart("2716", f));
    EXPECT_EQ(f.minPulseNs, 45000000u);
    EXPECT_FALSE(LookUpEpromPart("AT27HC641", f));

    DeviceRecord r;
    r.name = "AT27HC641";
    r.VppW = 13.0;
    r.VccW = 6.5;
    r.tpw = 50e-6;
    bool fromTable = true;
    f = EpromElectricalFor(r, &fromTable);
    EXPECT_FALSE(fromTable);
    EXPECT_DOUBLE_EQ(f.progVppMin, 12.5);
    EXPECT_DOUBLE_EQ(f.progVppMax, 13.5);
    EXPECT_NEAR(f.progVccMin, 6.15, 1e-9);
    EXPECT_EQ(f.minPulseNs, 47500u);
    EXPECT_GT(f.absMaxVpp, f.progVppMax);
}

}  // namespace
}  // namespace krt
