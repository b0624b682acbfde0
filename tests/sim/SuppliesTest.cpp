// SPDX-License-Identifier: GPL-3.0-or-later
// The voltage register in both supply schemes, decoded to volts at the socket.
#include <gtest/gtest.h>

#include <cmath>

#include "SimWire.h"

namespace krt {
namespace {

using namespace simtest;

// The host's conversions, written from the supply tables.
int VppCode(double v) { return static_cast<int>((static_cast<long double>(v) - 6.2492L) * 19.37984496124031L); }
int VccCode(double v) { return static_cast<int>(static_cast<long double>(v) * 256.0L / 7.5L); }

TEST(SimSupplyDac, CodesDecodeToTheTableVolts) {
    VirtualKrt k;  // KRT1 revision 0x20 carries the DAC
    ASSERT_TRUE(k.UsesSupplyDac());
    Wire w(k);
    w.Volt(0x28);  // load idle high, Vpp on, outputs on
    w.DacWord(0, 121);
    w.DacWord(2, 170);
    EXPECT_EQ(k.DacCode(0), 121);
    EXPECT_EQ(k.DacCode(2), 170);
    EXPECT_NEAR(k.Vpp(), 6.2492 + 0.0516 * 121, 1e-9);
    EXPECT_NEAR(k.Vcc(), 170 * 7.5 / 256, 1e-9);
    EXPECT_DOUBLE_EQ(k.Socket().vpp, k.Vpp());
    w.DacWord(0, 255);
    EXPECT_NEAR(k.Vpp(), 19.4072, 1e-9);
    w.DacWord(2, 0);
    EXPECT_EQ(k.Vcc(), 0.0);
}

TEST(SimSupplyDac, VoltsThroughTheHostFormulaComeBackWithinOneStep) {
    VirtualKrt k;
    Wire w(k);
    w.Volt(0x28);
    for (double v : {8.1, 12.0, 12.5, 12.75, 13.0, 14.9, 19.4}) {
        const int code = VppCode(v);
        ASSERT_LE(code, 255);
        w.DacWord(0, static_cast<uint8_t>(code));
        EXPECT_LE(k.Vpp(), v + 1e-9) << v;
        EXPECT_GT(k.Vpp(), v - 0.0516) << v;
    }
    for (double v : {0.0, 3.3, 5.0, 6.25, 7.49}) {
        w.DacWord(2, static_cast<uint8_t>(VccCode(v)));
        EXPECT_LE(k.Vcc(), v + 1e-9) << v;
        EXPECT_GT(k.Vcc(), v - 7.5 / 256) << v;
    }
    // The examples the host uses: 12.5 V is code 121, 12.75 V 125, 5 V 170.
    EXPECT_EQ(VppCode(12.5), 121);
    EXPECT_EQ(VppCode(12.75), 125);
    EXPECT_EQ(VccCode(5.0), 170);
}

TEST(SimSupplyDac, WordIsTakenOnlyOnTheLoadPulse) {
    VirtualKrt k;
    Wire w(k);
    w.Volt(0x28);
    w.DacWord(2, 170);
    const double before = k.Vcc();
    // Shift a whole new word without the load pulse.
    w.ShiftBit(1);
    w.ShiftBit(0);
    w.ShiftBit(1);
    for (int b = 7; b >= 0; --b) w.ShiftBit((200 >> b) & 1);
    EXPECT_EQ(k.Vcc(), before);
    w.Volt(w.volt & ~0x20);
    EXPECT_NEAR(k.Vcc(), 200 * 7.5 / 256, 1e-9);
}

TEST(SimSupplyDac, RangeBitClearHalvesTheOutput) {
    VirtualKrt k;
    Wire w(k);
    w.Volt(0x28);
    w.DacWord(2, 200, /*range=*/0);
    EXPECT_NEAR(k.Vcc(), 100 * 7.5 / 256, 1e-9);
}

TEST(SimSupplyDac, VppEnableAndOutputGate) {
    VirtualKrt k;
    Wire w(k);
    EXPECT_EQ(k.Vcc(), 0.0) << "power-on: outputs gated off";
    w.Volt(0x28);
    w.DacWord(0, 125);
    w.DacWord(2, 213);
    EXPECT_GT(k.Vpp(), 12.6);
    w.Volt(0x20);  // Vpp off
    EXPECT_EQ(k.Vpp(), 0.0);
    EXPECT_GT(k.Vcc(), 6.2);
    w.Volt(0x2C);  // Vpp on, outputs gated off
    EXPECT_EQ(k.Vpp(), 0.0);
    EXPECT_EQ(k.Vcc(), 0.0);
    w.Volt(0x28);  // the DAC kept its codes
    EXPECT_NEAR(k.Vpp(), 6.2492 + 0.0516 * 125, 1e-9);
}

struct FixedRow {
    uint8_t reg;
    double vpp, vcc;
};

class SimFixedLevels : public ::testing::TestWithParam<FixedRow> {};

TEST_P(SimFixedLevels, RegisterBitsSelectTheLevels) {
    VirtualKrt k;
    k.SetRevisions(0x10, 0x10);
    ASSERT_FALSE(k.UsesSupplyDac());
    Wire w(k);
    w.Volt(GetParam().reg);
    EXPECT_DOUBLE_EQ(k.Vpp(), GetParam().vpp);
    EXPECT_DOUBLE_EQ(k.Vcc(), GetParam().vcc);
    w.Volt(GetParam().reg | 0x04);
    EXPECT_EQ(k.Vpp(), 0.0);
    EXPECT_EQ(k.Vcc(), 0.0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SimFixedLevels,
    ::testing::Values(FixedRow{0x80, 0.0, 3.3}, FixedRow{0x60, 0.0, 5.0}, FixedRow{0x20, 0.0, 5.15},
                      FixedRow{0x40, 0.0, 6.0}, FixedRow{0x00, 0.0, 6.25}, FixedRow{0x68, 12.5, 5.0},
                      FixedRow{0x09, 13.7, 6.25}, FixedRow{0x4A, 14.9, 6.0}, FixedRow{0x0B, 16.1, 6.25},
                      FixedRow{0x83, 0.0, 3.3}, FixedRow{0xE8, 12.5, 3.3}));

TEST(SimFixedLevels, DacSequenceMeansNothingWithoutTheDac) {
    VirtualKrt k;
    k.SetRevisions(0x10, 0x10);
    Wire w(k);
    w.Volt(0x28);
    w.DacWord(2, 170);
    EXPECT_EQ(k.DacCode(2), 0);
    EXPECT_DOUBLE_EQ(k.Vcc(), 5.15);  // the register ends at 0x28: bit 5 alone selects 5.15 V
}

}  // namespace
}  // namespace krt
