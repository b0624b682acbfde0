// SPDX-License-Identifier: GPL-3.0-or-later
// The command set: opcodes, operands, bus masks and the output port register.
#include <gtest/gtest.h>

#include "support/TestLink.h"

namespace krt::test {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Commands, AddressLowMaskIsAppliedToTheOperand) {
    TestLink t;
    t.link.addressLow = {0xF0, 0x03};
    t.link.ALSET(0x5A);
    EXPECT_EQ(t.port.Frames(), (Bytes{0x0A, 0x53}));
}

TEST(Commands, EachMaskPairGuardsItsOwnCommands) {
    TestLink t;
    DeviceRecord r;
    r.ahand = 0x0F; r.ahor = 0x10;  // CSET
    r.amand = 0x0F; r.amor = 0x20;  // AHSET
    r.aland = 0x0F; r.alor = 0x30;  // ALSET
    r.dhand = 0x0F; r.dhor = 0x40;  // DHSEND, DHSET
    r.dland = 0x0F; r.dlor = 0x50;  // DLSEND, DLSET
    t.link.LoadBusMasks(r);
    t.link.CSET(0xFF);
    t.link.AHSET(0xFF);
    t.link.ALSET(0xFF);
    t.link.DHSEND(0xFF);
    t.link.DHSET(0xFF);
    t.link.DLSEND(0xFF);
    t.link.DLSET(0xFF);
    // Unmasked commands pass the operand as it is.
    t.link.DEVSET(0xFF);
    t.link.TIMLOSET(0xFF);
    t.link.TIMHISET(0xFF);
    t.link.OPORTSET(0xFF);
    t.link.VOLTSET(0xFF);
    EXPECT_EQ(t.port.Frames(), (Bytes{0x0E, 0x1F, 0x0B, 0x2F, 0x0A, 0x3F, 0x09, 0x4F, 0x0D, 0x4F,
                                      0x08, 0x5F, 0x0C, 0x5F, 0x0F, 0xFF, 0x10, 0xFF, 0x11, 0xFF,
                                      0x12, 0xFF, 0x13, 0xFF}));
}

TEST(Commands, LinkResetMakesTheMasksNeutral) {
    TestLink t;
    DeviceRecord r;  // all masks 0: every operand would be 0
    t.link.LoadBusMasks(r);
    t.link.LinkReset();
    t.port.Clear();
    t.link.CSET(0xA5); t.link.AHSET(0xA5); t.link.ALSET(0xA5); t.link.DHSEND(0xA5);
    t.link.DHSET(0xA5); t.link.DLSEND(0xA5); t.link.DLSET(0xA5);
    EXPECT_EQ(t.port.Frames(), (Bytes{0x0E, 0xA5, 0x0B, 0xA5, 0x0A, 0xA5, 0x09, 0xA5, 0x0D, 0xA5,
                                      0x08, 0xA5, 0x0C, 0xA5}));
}

TEST(Commands, OperandlessCommandsAreOneFrame) {
    TestLink t;
    t.link.NOP(); t.link.INC(); t.link.DLREAD(); t.link.DHREAD(); t.link.REVREAD(); t.link.WAITTIM();
    EXPECT_EQ(t.port.Frames(), (Bytes{0x00, 0x01, 0x04, 0x05, 0x06, 0x14}));
}

TEST(OutputPort, ResultIndicatorKeepsTheAuxiliaryOutput) {
    TestLink t;
    t.link.SetAuxOutput(1);
    EXPECT_TRUE(t.link.SetResultIndicator(2));
    EXPECT_TRUE(t.link.SetResultIndicator(1));
    EXPECT_EQ(t.port.Frames(), (Bytes{0x12, 0x01, 0x12, 0x03, 0x12, 0x05}));
    t.port.Clear();
    EXPECT_TRUE(t.link.SetResultIndicator(0));
    EXPECT_EQ(t.port.Frames(), (Bytes{0x12, 0x01}));
}

TEST(OutputPort, InvalidStatesAndAuxValues) {
    TestLink t;
    EXPECT_FALSE(t.link.SetResultIndicator(3));  // both bits, still sent
    EXPECT_EQ(t.port.Frames(), (Bytes{0x12, 0x06}));
    t.port.Clear();
    EXPECT_FALSE(t.link.SetResultIndicator(4));
    EXPECT_FALSE(t.link.SetResultIndicator(0x102));  // compared as a whole, not its low byte
    t.link.SetAuxOutput(2);
    t.link.SetAuxOutput(-1);
    EXPECT_TRUE(t.port.accesses.empty());
    EXPECT_EQ(t.link.outputPortRegister, 0x06);
    t.link.SetAuxOutput(0);
    EXPECT_EQ(t.port.Frames(), (Bytes{0x12, 0x06}));
}

// The debug window's single commands: request codes 16 to 33.
TEST(Commands, RequestCodesSendTheirCommandWithMaskedOperands) {
    struct Row { uint8_t code; Bytes frames; };
    const Row rows[] = {
        {16, {0x00}}, {17, {0x01}}, {18, {0x04}}, {19, {0x05}}, {20, {0x06}},
        {21, {0x08, 0xA4}}, {22, {0x09, 0xA4}}, {23, {0x0A, 0xA4}}, {24, {0x0B, 0xA4}},
        {25, {0x0C, 0xA4}}, {26, {0x0D, 0xA4}}, {27, {0x0E, 0xA4}}, {28, {0x0F, 0xA5}},
        {29, {0x10, 0xA5}}, {30, {0x11, 0xA5}}, {31, {0x13, 0xA5}}, {32, {0x14}},
        {33, {0x12, 0xA5}},
    };
    for (const Row& row : rows) {
        TestLink t;
        t.link.addressHigh = t.link.addressMiddle = t.link.addressLow = t.link.dataHigh =
            t.link.dataLow = MaskPair{0xFE, 0x00};
        t.Request(row.code, 0x1234A5);
        EXPECT_EQ(t.port.CommandFrames(), row.frames) << int(row.code);
    }
}

TEST(Commands, RawRequestsLeaveTheHostCopiesAlone) {
    TestLink t;
    t.link.voltageRegister = 0x69;
    t.link.outputPortRegister = 0x01;
    t.Request(31, 0xFF);  // raw VOLTSET
    t.Request(33, 0xFF);  // raw OPORTSET
    t.Request(29, 0xFF);
    EXPECT_EQ(t.link.voltageRegister, 0x69);
    EXPECT_EQ(t.link.outputPortRegister, 0x01);
    EXPECT_EQ(t.link.timerLow, 0);
    t.port.Clear();
    t.link.SupplyOutput(true);  // starts again from the copy
    EXPECT_EQ(t.port.Frames(), (Bytes{0x13, 0x69}));
}

TEST(Commands, RawPortRequests) {
    TestLink t;
    uint32_t value = 0;
    t.Request(34, 0x1A5);
    EXPECT_EQ(t.port.Trace(), (Lines{"W 0378 A5"}));
    t.Request(35, 0, &value);
    EXPECT_EQ(value, 0xA5u);
    t.port.ScriptStatus(0x87);
    t.Request(36, 0, &value);
    EXPECT_EQ(value, 0x87u);
    t.port.Clear();
    t.port.ScriptReply(0x3C);
    t.Request(15, 0, &value);  // ReadReply, no command first
    EXPECT_EQ(value, 0x3Cu);
    EXPECT_EQ(t.port.CommandFrames(), Bytes{});
}

}  // namespace
}  // namespace krt::test
