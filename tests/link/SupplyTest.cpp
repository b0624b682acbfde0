// SPDX-License-Identifier: GPL-3.0-or-later
// Pulse timer, both supply schemes and LinkReset.
#include <cmath>
#include <gtest/gtest.h>

#include "support/TestLink.h"
#include "link/LinkTexts.h"

namespace krt::test {
namespace {

using Bytes = std::vector<uint8_t>;

// The operands of every command with the given opcode, in order.
Bytes Operands(const RecordingPort& port, uint8_t opcode) {
    const Bytes frames = port.CommandFrames();
    Bytes out;
    for (size_t i = 0; i < frames.size(); ++i) {
        const bool hasOperand = frames[i] >= 0x08 && frames[i] <= 0x13;
        if (hasOperand && i + 1 < frames.size()) {
            if (frames[i] == opcode) out.push_back(frames[i + 1]);
            ++i;
        }
    }
    return out;
}

// A model of the supply DAC: data is taken on the falling clock edge, the
// word is taken on the low pulse of the load line.
struct DacWord { int channel; int code; };
std::vector<DacWord> DecodeDac(const Bytes& voltsets) {
    std::vector<DacWord> words;
    unsigned shift = 0, bits = 0;
    uint8_t last = 0x00;
    for (uint8_t v : voltsets) {
        if ((last & 0x02) && !(v & 0x02)) {
            shift = (shift << 1) | (v & 0x01);
            ++bits;
        }
        if ((last & 0x20) && !(v & 0x20)) {
            if (bits >= 11) words.push_back({int((shift >> 9) & 3), int(shift & 0xFF)});
            EXPECT_EQ(bits, 11u);
            EXPECT_EQ((shift >> 8) & 1, 1u);  // the fixed 1 bit
            shift = bits = 0;
        }
        last = v;
    }
    return words;
}

struct TimerCase { double seconds; uint8_t low, high; };

TEST(Timer, SecondsAtOneMegahertz) {
    for (const TimerCase& c : {TimerCase{10e-6, 0x0A, 0x00}, TimerCase{0.002, 0x7D, 0x04},
                               TimerCase{0.1, 0x86, 0x09}, TimerCase{1023e-6, 0xFF, 0x03},
                               TimerCase{1024e-6, 0x40, 0x04}, TimerCase{0.016384, 0x40, 0x08}}) {
        TestLink t;
        t.link.clockFrequency = 1e6;
        t.link.SetTimerSeconds(c.seconds);
        EXPECT_EQ(t.port.CommandFrames(), (Bytes{0x10, c.low, 0x11, c.high})) << c.seconds;
        EXPECT_EQ(t.link.timerLow, c.low);
        EXPECT_EQ(t.link.timerHigh, c.high);
        EXPECT_TRUE(t.log.lines().empty());
    }
}

TEST(Timer, CountIsRoundedToSixPlacesBeforeTruncation) {
    TestLink t;
    t.link.clockFrequency = 1e6;
    const double seconds = std::nextafter(0.002, 0.0);
    ASSERT_LT(seconds * 1e6, 2000.0);
    t.link.SetTimerSeconds(seconds);  // counts as 2000, not 1999
    EXPECT_EQ(t.port.CommandFrames(), (Bytes{0x10, 0x7D, 0x11, 0x04}));
}

TEST(Timer, OverflowPostsTheMessageAndKeepsTheTimer) {
    TestLink t;
    t.link.clockFrequency = 1e6;
    t.link.SetTimer(0x01, 0x23);
    t.port.Clear();
    t.link.SetTimerSeconds(0.3);
    t.link.SetTimerSeconds(0.262144);
    t.link.SetTimerSeconds(INFINITY);
    EXPECT_TRUE(t.port.accesses.empty());
    EXPECT_EQ(t.log.lines(), (Lines{kTimerOverflowLine[0], kTimerOverflowLine[0], kTimerOverflowLine[0]}));
    EXPECT_EQ(t.link.timerHigh, 0x01);
    EXPECT_EQ(t.link.timerLow, 0x23);
}

TEST(Timer, NegativeAndUnsetClockGiveZero) {
    TestLink t;
    t.link.SetTimerSeconds(0.5);  // clock 0 Hz: every duration is 0 clocks
    t.link.clockFrequency = 1e6;
    t.link.SetTimerSeconds(-1.0);
    t.link.SetTimerSeconds(NAN);
    EXPECT_EQ(t.port.CommandFrames(),
              (Bytes{0x10, 0x00, 0x11, 0x00, 0x10, 0x00, 0x11, 0x00, 0x10, 0x00, 0x11, 0x00}));
    EXPECT_TRUE(t.log.lines().empty());
}

TEST(Timer, FromText) {
    struct Case { const char* text; Bytes frames; };
    const Case cases[] = {
        {"10us", {0x10, 0x0A, 0x11, 0x00}},   {"10US", {0x10, 0x0A, 0x11, 0x00}},
        {"10000ns", {0x10, 0x0A, 0x11, 0x00}}, {"2ms", {0x10, 0x7D, 0x11, 0x04}},
        {"0.1s", {0x10, 0x86, 0x11, 0x09}},   {"0.1S", {0x10, 0x86, 0x11, 0x09}},
        {"1e1uS", {0x10, 0x0A, 0x11, 0x00}},  {"10", {0x10, 0x00, 0x11, 0x00}},
        {"10 us", {0x10, 0x00, 0x11, 0x00}},  {"10usec", {0x10, 0x00, 0x11, 0x00}},
        {"us", {0x10, 0x00, 0x11, 0x00}},     {"", {0x10, 0x00, 0x11, 0x00}},
    };
    for (const Case& c : cases) {
        TestLink t;
        t.link.clockFrequency = 1e6;
        t.link.SetTimerFromText(c.text);
        EXPECT_EQ(t.port.CommandFrames(), c.frames) << c.text;
    }
}

TEST(Timer, FromTextOverflowPostsTheColouredLine) {
    TestLink t;
    t.link.clockFrequency = 1e6;
    t.link.SetTimerFromText("300ms");
    EXPECT_TRUE(t.port.accesses.empty());
    EXPECT_EQ(t.log.lines(), (Lines{"\x1b[31;1mこの値にはセットできません！\x1b[0m"}));
}

TEST(DacSupply, VppAndVccCodes) {
    struct Case { bool vpp; float volts; int channel; int code; };
    for (const Case& c : {Case{true, 12.5f, 0, 121}, Case{true, 12.75f, 0, 125},
                          Case{true, 19.4f, 0, 254}, Case{true, 19.41f, 0, 255}, Case{true, 8.01f, 0, 34},
                          Case{false, 5.0f, 2, 170}, Case{false, 0.0f, 2, 0},
                          Case{false, 7.49f, 2, 255}, Case{false, 3.3f, 2, 112}}) {
        TestLink t;
        t.link.krt1Revision = 0x20;
        EXPECT_TRUE(c.vpp ? t.link.SetVpp(c.volts) : t.link.SetVcc(c.volts));
        const Bytes voltsets = Operands(t.port, 0x13);
        EXPECT_EQ(voltsets.size(), 36u) << c.volts;
        const auto words = DecodeDac(voltsets);
        ASSERT_EQ(words.size(), 1u) << c.volts;
        EXPECT_EQ(words[0].channel, c.channel) << c.volts;
        EXPECT_EQ(words[0].code, c.code) << c.volts;
        EXPECT_EQ(bool(t.link.voltageRegister & 0x08), c.vpp) << c.volts;
        EXPECT_EQ(t.link.voltageRegister & 0x20, 0x20);  // load line idles high
        EXPECT_EQ(t.link.voltageRegister & 0x04, 0);     // the gate is never stored
    }
}

TEST(DacSupply, OutOfRangeIsRefusedWithoutChange) {
    // From about 19.46 V the code would be 256 or more, which the 8-bit word cannot carry.
    for (float vpp : {21.0f, 20.0f, 19.5f, 19.46f, NAN}) {
        TestLink t;
        t.link.krt1Revision = 0x20;
        t.link.voltageRegister = 0x28;
        EXPECT_FALSE(t.link.SetVpp(vpp)) << vpp;
        EXPECT_TRUE(t.port.accesses.empty()) << vpp;
        EXPECT_EQ(t.link.voltageRegister, 0x28);
        EXPECT_EQ(t.log.lines(), (Lines{"その電圧には設定できません"})) << vpp;
    }
    for (float vcc : {7.5f, -0.1f, 100.0f, NAN}) {
        TestLink t;
        t.link.krt1Revision = 0x20;
        EXPECT_FALSE(t.link.SetVcc(vcc)) << vcc;
        EXPECT_TRUE(t.port.accesses.empty()) << vcc;
        EXPECT_EQ(t.log.lines(), (Lines{"その電圧には設定できません"})) << vcc;
    }
}

TEST(DacSupply, LowVppSwitchesVppOff) {
    TestLink t;
    t.link.krt1Revision = 0x20;
    t.link.voltageRegister = 0x29;
    EXPECT_TRUE(t.link.SetVpp(5.0f));
    EXPECT_TRUE(t.link.SetVpp(8.0f));
    EXPECT_EQ(t.port.CommandFrames(), (Bytes{0x13, 0x21, 0x13, 0x21}));
    EXPECT_EQ(t.link.voltageRegister, 0x21);
}

TEST(FixedSupply, LevelsAreSetInTheCopyOnly) {
    struct Case { float volts; uint8_t nibble; };
    for (const Case& c : {Case{-1.0f, 0x0}, Case{5.0f, 0x0}, Case{7.99f, 0x0}, Case{8.0f, 0x8},
                          Case{12.5f, 0x8}, Case{13.0f, 0x8}, Case{13.05f, 0x9}, Case{13.7f, 0x9},
                          Case{14.5f, 0xA}, Case{14.9f, 0xA}, Case{15.6f, 0xA}, Case{15.61f, 0xB},
                          Case{16.1f, 0xB}, Case{25.0f, 0xB}}) {
        TestLink t;
        t.link.voltageRegister = 0x65;
        EXPECT_TRUE(t.link.SetVpp(c.volts));
        EXPECT_EQ(t.link.voltageRegister, 0x60 | c.nibble) << c.volts;
        EXPECT_TRUE(t.port.accesses.empty());
    }
    struct VccCase { float volts; uint8_t bits; };
    for (const VccCase& c : {VccCase{0.0f, 0x80}, VccCase{3.3f, 0x80}, VccCase{3.31f, 0x60},
                             VccCase{5.0f, 0x60}, VccCase{5.15f, 0x20}, VccCase{5.99f, 0x20},
                             VccCase{6.0f, 0x40}, VccCase{6.24f, 0x40}, VccCase{6.25f, 0x00},
                             VccCase{9.0f, 0x00}}) {
        TestLink t;
        t.link.voltageRegister = 0x1B;  // bit 4 is cleared, the Vpp nibble stays
        EXPECT_TRUE(t.link.SetVcc(c.volts));
        EXPECT_EQ(t.link.voltageRegister, 0x0B | c.bits) << c.volts;
        EXPECT_TRUE(t.port.accesses.empty());
    }
}

TEST(FixedSupply, NotANumberIsRefused) {
    TestLink t;
    t.link.voltageRegister = 0x68;
    EXPECT_FALSE(t.link.SetVpp(NAN));
    EXPECT_FALSE(t.link.SetVcc(NAN));
    EXPECT_EQ(t.link.voltageRegister, 0x68);
    EXPECT_EQ(t.log.lines().size(), 2u);
}

TEST(Supply, OutputGate) {
    TestLink t;
    t.link.voltageRegister = 0x69;
    t.link.SupplyOutput(false);
    t.link.SupplyOutput(true);
    EXPECT_EQ(t.port.CommandFrames(), (Bytes{0x13, 0x6D, 0x13, 0x69}));
    EXPECT_EQ(t.link.voltageRegister, 0x69);
}

TEST(LinkReset, FixedLevelProgrammer) {
    TestLink t;
    t.link.controlShadow = 1;
    t.link.voltageRegister = 0xFF;
    t.link.outputPortRegister = 0x07;
    t.link.dataLow = {0x00, 0xFF};
    t.link.LinkReset();
    EXPECT_EQ(t.port.Trace(), (Lines{"W 0378 10", "W 037A 01", "W 037A 00", "W 0378 02",
                                     "W 037A 01", "W 037A 00", "W 0378 11", "W 037A 01",
                                     "W 037A 00", "W 0378 00", "W 037A 01", "W 037A 00",
                                     "W 0378 12", "W 037A 01", "W 037A 00", "W 0378 00",
                                     "W 037A 01", "W 037A 00"}));
    EXPECT_EQ(t.link.voltageRegister, 0x80);
    EXPECT_EQ(t.link.timerHigh, 0);
    EXPECT_EQ(t.link.timerLow, 2);
    EXPECT_EQ(t.link.outputPortRegister, 0);
    EXPECT_EQ(t.link.dataLow.andMask, 0xFF);
    EXPECT_EQ(t.link.dataLow.orMask, 0x00);
    EXPECT_TRUE(t.log.lines().empty());
}

TEST(LinkReset, DacProgrammerSwitchesBothSuppliesOffFourTimes) {
    TestLink t;
    t.link.krt1Revision = 0x20;
    t.link.LinkReset();
    const Bytes voltsets = Operands(t.port, 0x13);
    EXPECT_EQ(voltsets.size(), 4u * 37u);
    const auto words = DecodeDac(voltsets);
    ASSERT_EQ(words.size(), 4u);
    for (const DacWord& w : words) {
        EXPECT_EQ(w.channel, 2);
        EXPECT_EQ(w.code, 0);
    }
    EXPECT_EQ(t.link.voltageRegister, 0x20);
    // All of it behind the output gate: Vcc and Vpp leave the socket together
    // at the first VOLTSET; the gate is not kept for what follows.
    for (uint8_t v : voltsets) EXPECT_EQ(v & 0x04, 0x04);
    EXPECT_FALSE(t.link.supplyHeld);
    t.port.Clear();
    t.link.SetVcc(5.0f);
    for (uint8_t v : Operands(t.port, 0x13)) EXPECT_EQ(v & 0x04, 0);
}

// A power-up's DAC loads go out gated until the outputs are switched on;
// switching them off gates what follows again.
TEST(DacSupply, HeldOutputsStayGatedUntilSwitchedOn) {
    TestLink t;
    t.link.krt1Revision = 0x20;
    t.link.LinkReset();
    t.link.HoldSupplyOutputs();
    t.port.Clear();
    t.link.SetVpp(12.75f);
    t.link.SetVcc(6.25f);
    t.link.SetVpp(5.0f);         // VOLTSETs 0 to 72: gated
    t.link.SupplyOutput(true);   // 73
    t.link.SetVcc(5.0f);         // 74 to 109
    t.link.SupplyOutput(false);  // 110: gated from here on
    t.link.SetVcc(6.25f);
    const Bytes loads = Operands(t.port, 0x13);
    ASSERT_EQ(loads.size(), 36u + 36u + 1u + 1u + 36u + 1u + 36u);
    for (size_t i = 0; i < loads.size(); ++i) EXPECT_EQ(loads[i] & 0x04, i < 73 || i >= 110 ? 0x04 : 0) << i;
    EXPECT_EQ(DecodeDac(loads).size(), 4u);
    EXPECT_EQ(t.link.voltageRegister & 0x04, 0) << "the gate is never stored";
}

TEST(LinkReset, PortBaseFallback) {
    TestLink t;
    t.link.portBase = 0;
    t.link.LinkReset();
    EXPECT_EQ(t.log.lines(), (Lines{"プリンターポートが見つかりません。標準の0x378を使います"}));
    EXPECT_EQ(t.link.portBase, 0x378);
    ASSERT_FALSE(t.port.accesses.empty());
    for (const PortAccess& a : t.port.accesses) EXPECT_TRUE(a.address == 0x378 || a.address == 0x37A);
    t.link.LinkReset();  // the base is set now: no second line
    EXPECT_EQ(t.log.lines().size(), 1u);
}

TEST(LinkReset, AnyNonZeroBaseIsUsedUnprobed) {
    TestLink t;
    t.port.base = 0x278;
    t.link.portBase = 0x278;
    t.link.LinkReset();
    EXPECT_TRUE(t.log.lines().empty());
    for (const PortAccess& a : t.port.accesses) EXPECT_TRUE(a.address == 0x278 || a.address == 0x27A);
}

}  // namespace
}  // namespace krt::test
