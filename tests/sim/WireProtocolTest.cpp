// SPDX-License-Identifier: GPL-3.0-or-later
// The programmer as the wire sees it: frames, operand pairing, replies,
// busy periods, detection answers and the faults that change them.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "SimWire.h"
#include "sim/chips/EpromChip.h"

namespace krt {
namespace {

using namespace simtest;

std::unique_ptr<EpromChip> Chip256() {
    return std::make_unique<EpromChip>("27C256", 0x8000, false, false, EpromElectrical{});
}

TEST(SimFrames, OperandsPairWithTheirOpcodesAndLoadTheCounter) {
    VirtualKrt k;
    Wire w(k);
    w.Cmd(ALSET, 0x01);  // 0x01 is the operand here, not INC
    w.Cmd(AHSET, 0x0A);
    w.Cmd(CSET, 0x7E);
    EXPECT_EQ(k.Socket().address, 0x7E0A01u);
    EXPECT_EQ(k.Socket().cPort(), 0x7E);
    w.Cmd(INC);
    EXPECT_EQ(k.Socket().address, 0x7E0A02u);
    w.Cmd(DLSET, 0x5A);
    w.Cmd(DHSET, 0xA5);
    w.Cmd(DEVSET, 0x18);
    EXPECT_EQ(k.Socket().dataLow, 0x5A);
    EXPECT_EQ(k.Socket().dataHigh, 0xA5);
    EXPECT_EQ(k.Socket().deviceConfig, 0x18);
    w.Timer(0x0B, 0x34);
    EXPECT_EQ(k.TimerHigh(), 0x0B);
    EXPECT_EQ(k.TimerLow(), 0x34);
}

TEST(SimFrames, CounterCarriesThroughTwentyFourBits) {
    VirtualKrt k;
    Wire w(k);
    w.Address(0x00FFFF);
    w.Cmd(INC);
    EXPECT_EQ(k.Socket().address, 0x010000u);
    w.Address(0xFFFFFF);
    w.Cmd(INC);
    EXPECT_EQ(k.Socket().address, 0u);
}

TEST(SimFrames, UndecodedOpcodesTakeNoOperand) {
    for (uint8_t ignored : {0x02, 0x03, 0x07, 0x15, 0x80, 0xFF}) {
        VirtualKrt k;
        Wire w(k);
        w.Cmd(ignored);
        w.Cmd(ALSET, 0x42);  // must still pair as opcode + operand
        EXPECT_EQ(k.Socket().address, 0x42u) << int(ignored);
        EXPECT_EQ(k.Frames(), 3u);
    }
}

TEST(SimFrames, OnlyTheRisingStrobeEdgeLatches) {
    VirtualKrt k;
    Wire w(k);
    k.write(0x378, ALSET);
    k.write(0x37A, 1);
    k.write(0x378, 0x99);  // changing data while the strobe is held does nothing
    k.write(0x37A, 1);     // no edge
    k.write(0x37A, 0);
    EXPECT_EQ(k.Frames(), 1u);
    w.Frame(0x33);  // the operand of the ALSET
    EXPECT_EQ(k.Socket().address, 0x33u);
    // A frame at another port base is not the programmer's.
    k.write(0x278, ALSET);
    k.write(0x27A, 1);
    k.write(0x27A, 0);
    EXPECT_EQ(k.Frames(), 2u);
}

TEST(SimFrames, RegistersReadBackAndOtherAddressesFloat) {
    VirtualKrt k(0x278);
    k.write(0x278, 0x5C);
    k.write(0x27A, 0x0A);
    EXPECT_EQ(k.read(0x278), 0x5C);
    EXPECT_EQ(k.read(0x27A), 0x0A);
    EXPECT_EQ(k.read(0x379), 0xFF);
    EXPECT_EQ(k.read(0x279), 0xDF);  // idle and ready
}

TEST(SimReply, BitsLeastSignificantFirstActiveLowShiftOnRelease) {
    VirtualKrt k;
    k.SetRevisions(0xA5, 0x10);
    Wire w(k);
    w.Cmd(REVREAD);
    for (int i = 0; i < 8; ++i) {
        k.write(0x378, 0);
        k.write(0x37A, 1);
        const bool bit = (0xA5 >> i) & 1;
        // The level holds for as long as the strobe does.
        EXPECT_EQ(w.Ack(), !bit) << i;
        EXPECT_EQ(w.Ack(), !bit) << i;
        k.write(0x37A, 0);
        EXPECT_TRUE(w.Ack()) << "released strobe shows ready";
    }
    // After eight bits the slots read the ready level: zeros.
    EXPECT_EQ(w.Reply(), 0x00);
}

TEST(SimReply, AnotherCommandEndsTheReply) {
    VirtualKrt k;
    k.SetRevisions(0xFF, 0x10);
    Wire w(k);
    w.Cmd(REVREAD);
    w.Cmd(INC);
    EXPECT_EQ(w.Reply(), 0x00);
    // Undecoded opcodes are not commands: the reply survives them.
    w.Cmd(REVREAD);
    w.Cmd(0x07);
    EXPECT_EQ(w.Reply(), 0xFF);
}

TEST(SimReply, SocketDataOnBothLanes) {
    VirtualKrt k;
    auto chip = std::make_unique<EpromChip>("27C1024", 0x10000, true, false, EpromElectrical{});
    chip->SetCell(0x100, 0x1234);
    k.InsertChip(std::move(chip));
    Wire w(k);
    w.Cmd(DEVSET, 0x18);
    w.Volt(0x08);  // DAC scheme: Vcc from channel 2, gate on
    w.DacWord(2, 170);
    w.Address(0x100);
    EXPECT_EQ(w.Fetch(DLREAD), 0x34);
    EXPECT_EQ(w.Fetch(DHREAD), 0x12);
}

TEST(SimBusy, FetchIsShortAndThenReady) {
    VirtualKrt k;
    Wire w(k);
    w.Cmd(DLREAD);
    const long busyReads = w.WaitReady();
    EXPECT_GE(busyReads, 1);
    EXPECT_LE(busyReads, 3);
}

// Busy time of WAITTIM: the first ready status read is the first one at or
// after the end of the period.
struct TimerCase {
    uint32_t crystal;
    uint8_t high, low;
    uint64_t expectNs;
};

class SimTimerUnits : public ::testing::TestWithParam<TimerCase> {};

TEST_P(SimTimerUnits, BusyLastsCountTimesUnitClockPeriods) {
    const TimerCase c = GetParam();
    VirtualKrt k;
    k.SetCrystalHz(c.crystal);
    Wire w(k);
    w.Timer(c.high, c.low);
    EXPECT_EQ(k.TimerPeriodNs(), c.expectNs);
    k.write(0x378, WAITTIM);
    const uint64_t latched = k.VirtualNs();
    k.write(0x37A, 1);
    k.write(0x37A, 0);
    uint64_t readyAt = 0;
    for (int i = 0; i < 2'000'000; ++i) {
        const uint64_t t = k.VirtualNs();
        if (w.Ack()) {
            readyAt = t;
            break;
        }
        ASSERT_LT(t, latched + c.expectNs) << "busy after the period";
    }
    EXPECT_GE(readyAt, latched + c.expectNs);
    EXPECT_LT(readyAt, latched + c.expectNs + 2 * VirtualKrt::kAccessNs);
}

INSTANTIATE_TEST_SUITE_P(
    TwoCrystals, SimTimerUnits,
    ::testing::Values(TimerCase{4000000, 0x00, 0x64, 25000},          // 100 x 1 at 4 MHz
                      TimerCase{4000000, 0x04, 0x7D, 500000},         // 125 x 16
                      TimerCase{4000000, 0x09, 0x86, 24960000},       // 0x186 x 256
                      TimerCase{4000000, 0x03, 0xFF, 255750},         // full 10-bit count, unit 1
                      TimerCase{1000000, 0x00, 0x64, 100000},         // 100 x 1 at 1 MHz
                      TimerCase{1000000, 0x04, 0x7D, 2000000},        // 125 x 16
                      TimerCase{1000000, 0x09, 0x86, 99840000},       // 0x186 x 256
                      TimerCase{1000000, 0x0C, 0x02, 512000}));       // both unit bits: 256 wins

TEST(SimBusy, ProgrammingPulseIsBusyForTheTimerPeriod) {
    VirtualKrt k;
    Wire w(k);
    w.Timer(0x01, 0x90);  // 400 clocks: 100 us at 4 MHz
    w.Cmd(DLSEND, 0x00);
    const long busy = w.WaitReady();
    EXPECT_GE(busy, 97);
    EXPECT_LE(busy, 100);
}

TEST(SimDetection, DefaultRevisions) {
    VirtualKrt k;
    Wire w(k);
    w.Cmd(REVREAD);
    EXPECT_EQ(w.Reply(), 0x20);
    w.Cmd(DEVSET, 0);
    EXPECT_EQ(w.Fetch(DLREAD), 0x10);
}

TEST(SimDetection, GivenRevisions) {
    VirtualKrt k;
    std::string error;
    ASSERT_TRUE(k.ApplyRevisions("10,00", error)) << error;
    Wire w(k);
    w.Cmd(REVREAD);
    EXPECT_EQ(w.Reply(), 0x10);
    w.Cmd(DEVSET, 0);
    EXPECT_EQ(w.Fetch(DLREAD), 0x00);
    ASSERT_TRUE(k.ApplyRevisions("0x8B,89", error)) << error;
    w.Cmd(REVREAD);
    EXPECT_EQ(w.Reply(), 0x8B);
    for (const char* bad : {"", "20", "20,", "123,10", "2g,10", "20;10"})
        EXPECT_FALSE(k.ApplyRevisions(bad, error)) << bad;
}

TEST(SimDetection, ConfigurationZeroIdentifiesOnlyOnTheNextRead) {
    VirtualKrt k;
    auto chip = Chip256();
    chip->SetCell(0, 0x5A);
    k.InsertChip(std::move(chip));
    Wire w(k);
    w.Volt(0x28);  // gate on, Vpp on (code 0)
    w.DacWord(2, 170);
    w.Cmd(DEVSET, 0);
    EXPECT_EQ(w.Fetch(DLREAD), 0x10);
    EXPECT_EQ(w.Fetch(DLREAD), 0x5A) << "the second read is the socket's";
    w.Cmd(DEVSET, 0);
    w.Volt(w.volt);  // an EPROM's power-up sends the supplies after DEVSET
    EXPECT_EQ(w.Fetch(DLREAD), 0x5A);
}

TEST(SimDetection, NoProgrammerWithAckHigh) {
    VirtualKrt k;
    std::string error;
    ASSERT_TRUE(k.ApplyFault("no-programmer-high", error));
    Wire w(k);
    EXPECT_EQ(k.read(0x379), 0x7F);
    w.Cmd(REVREAD);
    EXPECT_EQ(w.Reply(), 0x00);
    w.Cmd(DEVSET, 0x55);
    w.Cmd(DLREAD);
    EXPECT_EQ(w.WaitReady(), 0);
    EXPECT_EQ(w.Reply(), 0x00);
    EXPECT_EQ(k.Socket().deviceConfig, 0) << "nothing is latched";
}

TEST(SimDetection, NoProgrammerWithAckLow) {
    VirtualKrt k;
    std::string error;
    ASSERT_TRUE(k.ApplyFault("no-programmer-low", error));
    Wire w(k);
    EXPECT_EQ(k.read(0x379), 0x87);
    w.Cmd(REVREAD);
    EXPECT_EQ(w.Reply(), 0xFF);
    w.Cmd(DEVSET, 0);
    w.Cmd(DLREAD);
    EXPECT_EQ(w.WaitReady(100000), -1);
}

TEST(SimDetection, StaysBusyAnswersRevreadButNeverGetsReady) {
    VirtualKrt k;
    std::string error;
    ASSERT_TRUE(k.ApplyFault("stays-busy", error));
    Wire w(k);
    EXPECT_TRUE(w.Ack()) << "ready until the first busy period";
    w.Cmd(REVREAD);
    EXPECT_EQ(w.Reply(), 0x20);
    w.Cmd(DEVSET, 0);
    w.Cmd(DLREAD);
    EXPECT_EQ(w.WaitReady(100000), -1);
    k.sleepMs(5000);
    EXPECT_FALSE(w.Ack());
    // Clearing the fault brings the programmer back.
    k.SetStaysBusy(false);
    EXPECT_TRUE(w.Ack());
    w.Cmd(DLREAD);
    EXPECT_GE(w.WaitReady(100000), 0);
}

TEST(SimDetection, EmptySocketReadsFloating) {
    VirtualKrt k;
    auto chip = Chip256();
    chip->SetCell(0, 0x00);
    k.InsertChip(std::move(chip));
    std::string error;
    ASSERT_TRUE(k.ApplyFault("empty-socket", error));
    Wire w(k);
    w.Volt(0x28);
    w.DacWord(2, 170);
    w.Cmd(DEVSET, 0);
    w.Cmd(NOP);
    w.Cmd(OPORTSET, 0);
    EXPECT_EQ(w.Fetch(DLREAD), 0xFF);
    EXPECT_EQ(w.Fetch(DHREAD), 0xFF);
    EXPECT_EQ(k.DescribeSocket(), "empty");
}

TEST(SimFaults, NamesAndArguments) {
    VirtualKrt k;
    std::string error;
    EXPECT_TRUE(k.ApplyFault("weak-cells:10,0x20,7FFF@25", error)) << error;
    EXPECT_TRUE(k.ApplyFault("weak-cells:30", error)) << error;
    EXPECT_TRUE(k.ApplyFault("dead-cells:5,6", error)) << error;
    EXPECT_TRUE(k.ApplyFault("crystal:8000000", error)) << error;
    ASSERT_EQ(k.GetCellFaults().weak.size(), 4u);
    EXPECT_EQ(k.GetCellFaults().weak[2].address, 0x7FFFu);
    EXPECT_EQ(k.GetCellFaults().weak[2].pulses, 25u);
    EXPECT_EQ(k.GetCellFaults().weak[3].pulses, CellFaults::kDefaultWeakPulses);
    EXPECT_EQ(k.GetCellFaults().dead.size(), 2u);
    EXPECT_EQ(k.CrystalHz(), 8000000u);
    for (const char* bad : {"no-such-fault", "weak-cells", "weak-cells:", "weak-cells:1@0", "weak-cells:1@x",
                            "dead-cells:zz", "dead-cells:1,,2", "crystal:", "crystal:0", "crystal:4MHz",
                            "stays-busy:1", "weak-cells:1000000"}) {
        error.clear();
        EXPECT_FALSE(k.ApplyFault(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_NE(k.Banner().find("faults: weak-cells:10,0x20,7FFF@25"), std::string::npos) << k.Banner();
}

TEST(SimOutputPort, AuxAndResultIndicatorsAreVisible) {
    VirtualKrt k;
    Wire w(k);
    w.Cmd(OPORTSET, 0x05);
    EXPECT_TRUE(k.AuxOutput());
    EXPECT_FALSE(k.ResultOkIndicator());
    EXPECT_TRUE(k.ResultFailIndicator());
    w.Cmd(OPORTSET, 0x02);
    EXPECT_EQ(k.OutputPort(), 0x02);
    EXPECT_TRUE(k.ResultOkIndicator());
}

TEST(SimTime, OneMicrosecondPerAccessPlusSleeps) {
    VirtualKrt k;
    const auto t0 = k.now();
    Wire w(k);
    w.Frame(NOP);
    EXPECT_EQ(k.now() - t0, std::chrono::microseconds(3));
    k.sleepMs(250);
    EXPECT_EQ(k.now() - t0, std::chrono::microseconds(250003));
    EXPECT_EQ(k.Accesses(), 3u);
}

TEST(SimTime, PacedSleepsWaitInRealTime) {
    VirtualKrt k;
    k.SetPacedToRealTime(true);
    const auto start = std::chrono::steady_clock::now();
    k.sleepMs(40);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    k.SetPacedToRealTime(false);
    const auto start2 = std::chrono::steady_clock::now();
    k.sleepMs(60000);  // a minute of virtual time
    EXPECT_LT(std::chrono::steady_clock::now() - start2, std::chrono::seconds(5));
}

}  // namespace
}  // namespace krt
