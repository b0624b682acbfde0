// SPDX-License-Identifier: GPL-3.0-or-later
// The EPROM and OTP family end to end through Dispatch on the simulated
// programmer: round trips, weak and dead cells, cancel, a programmer that
// stops answering, blank checks and the word layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>

#include "FamilyTestSupport.h"
#include "sim/ChipFactory.h"
#include "sim/chips/EpromChip.h"
#include "sim/VirtualKrt.h"
#include "SimBench.h"

namespace krt::test {
namespace {

// The EPROM chip in the bench's socket.
EpromChip& EpromChipOf(SimBench& b) { return *dynamic_cast<EpromChip*>(b.sim.SocketChip()); }
// A cell as the device's data lines carry it (8 or 16 bits).
uint16_t CellOf(SimBench& b, uint32_t address) {
    return EpromChipOf(b).Cell(address) & (b.record.wordaccess ? 0xFFFF : 0x00FF);
}

DeviceRecord Otp(uint32_t words) {
    DeviceRecord r = ByteEprom(words);
    r.type = "OTPROM";
    r.name = "27C256";  // the same die without a window
    return r;
}

void RomRoundTrip(DeviceRecord record, uint32_t start, uint32_t length, uint32_t seed) {
    SimBench b(record);
    const unsigned bpw = record.wordaccess ? 2 : 1;
    const auto data = RandomBytes(b.buffer.size(), seed);
    b.buffer = data;
    ASSERT_EQ(b.Operation(5, start, length), 0);
    EXPECT_EQ(b.log.lines(), Lines{"Written without errors."});

    b.buffer.assign(b.buffer.size(), 0xEE);
    ASSERT_EQ(b.Operation(4, start, length), 0);
    for (size_t i = 0; i < b.buffer.size(); ++i) {
        const bool inRange = i >= size_t(start) * bpw && i < size_t(start + length) * bpw;
        ASSERT_EQ(b.buffer[i], inRange ? data[i] : 0xEE) << "byte " << i;
    }
    // Outside the range the chip is still blank.
    if (start > 0) {
        EXPECT_EQ(CellOf(b, start - 1), bpw == 2 ? 0xFFFF : 0xFF);
    }

    b.buffer = data;
    b.log.clear();
    EXPECT_EQ(b.Operation(6, start, length), 0);
    EXPECT_TRUE(b.log.lines().empty());
    b.buffer[size_t(start) * bpw] ^= 0x01;
    EXPECT_EQ(b.Operation(6, start, length), 3);
    EXPECT_EQ(b.CountLines("Verify error Addr: "), 1u);
}

TEST(ZVROMSim, ByteEpromRoundTripWholeDevice) { RomRoundTrip(ByteEprom(0x8000), 0, 0x8000, 1); }
TEST(ZVROMSim, ByteEpromRoundTripSubRange) { RomRoundTrip(ByteEprom(0x8000), 0x1234, 0x0321, 2); }
TEST(ZVROMSim, WordEpromRoundTripWholeDevice) { RomRoundTrip(WordEprom(0x10000), 0, 0x10000, 3); }
TEST(ZVROMSim, WordEpromRoundTripSubRange) { RomRoundTrip(WordEprom(0x10000), 0x8001, 0x0100, 4); }
TEST(ZVROMSim, OtpRoundTripWholeDevice) { RomRoundTrip(Otp(0x8000), 0, 0x8000, 5); }
TEST(ZVROMSim, OtpRoundTripSubRange) { RomRoundTrip(Otp(0x8000), 0x7F00, 0x100, 6); }

TEST(ZVROMSim, WordLayoutOfARangeThatDoesNotStartAtZero) {
    SimBench b(WordEprom(0x1000));
    EpromChipOf(b).SetCell(0x100, 0x1234);
    EpromChipOf(b).SetCell(0x101, 0xABCD);
    ASSERT_EQ(b.Operation(4, 0x100, 2), 0);
    EXPECT_EQ(b.buffer[0x200], 0x12);
    EXPECT_EQ(b.buffer[0x201], 0x34);
    EXPECT_EQ(b.buffer[0x202], 0xAB);
    EXPECT_EQ(b.buffer[0x203], 0xCD);
    EXPECT_EQ(b.buffer[0x1FF], 0xFF);
    EXPECT_EQ(b.buffer[0x100], 0xFF);  // not byte A: byte 2A
}

TEST(ZVROMSim, BlankCheckOfBlankAndProgrammedChip) {
    SimBench b(ByteEprom(0x8000));
    EXPECT_EQ(b.Operation(9, 0, 0x8000), 0);
    EXPECT_TRUE(b.log.lines().empty());
    EpromChipOf(b).SetCell(0x10, 0x7F);
    EpromChipOf(b).SetCell(0x7FFF, 0x00);
    EXPECT_EQ(b.Operation(9, 0, 0x8000), 3);
    EXPECT_EQ(b.log.lines(), (Lines{"Blank check error Addr: 000010 Data:7F",
                                    "Blank check error Addr: 007FFF Data:00"}));

    SimBench w(WordEprom(0x100));
    EpromChipOf(w).SetCell(0x10, 0x00FF);
    EXPECT_EQ(w.Operation(9, 0, 0x100), 3);
    EXPECT_EQ(w.log.lines(), Lines{"Blank check error Addr: 000010 Data:00-FF"});
}

TEST(ZVROMSim, WeakCellsNeedSeveralPulsesWithoutAnError) {
    SimBench b(ByteEprom(0x100));
    b.WeakCells({{0x10, 3}, {0x11, 3}});
    b.buffer.assign(b.buffer.size(), 0x5A);
    ASSERT_EQ(b.Operation(5, 0, 0x100), 0);
    EXPECT_EQ(b.log.lines(), (Lines{"Verify error at 000010 Read:FF File:5A retry 0",
                                    "Verify error at 000010 Read:FF File:5A retry 1",
                                    "Verify error at 000011 Read:FF File:5A retry 0",
                                    "Verify error at 000011 Read:FF File:5A retry 1",
                                    "Written without errors."}));
    EXPECT_EQ(CellOf(b, 0x10), 0x5A);
}

// Three dead cells at 20h, 40h and 60h under a buffer of 00h.
struct DeadCellBench : SimBench {
    explicit DeadCellBench(uint32_t retry) : SimBench(WithRetry(retry)) {
        DeadCells({0x20, 0x40, 0x60});
        buffer.assign(buffer.size(), 0x00);
    }
    static DeviceRecord WithRetry(uint32_t retry) {
        DeviceRecord r = ByteEprom(0x100);
        r.retry = retry;
        return r;
    }
};

TEST(ZVROMSim, DeadCellsAreCountedAfterTheirLastAttempt) {
    DeadCellBench b(3);
    EXPECT_EQ(b.Operation(5, 0, 0x100), 3);
    // Three attempts per dead cell, each logged.
    EXPECT_EQ(b.CountLines("Verify error at 000020 Read:FF File:00 "), 3u);
    EXPECT_EQ(b.CountLines("Verify error at "), 9u);
    EXPECT_EQ(Last(b.log.lines()), "Errors during the write: 3");
    EXPECT_EQ(CellOf(b, 0xFF), 0x00);  // the write went on to the end

    b.log.clear();
    EXPECT_EQ(b.Operation(6, 0, 0x100), 3);
    EXPECT_EQ(b.CountLines("Verify error Addr: "), 3u);
}

// A 16-bit word is compared whole: a dead word whose file value differs only
// in the high byte fails the write.
TEST(ZVROMSim, WordWriteComparesTheHighByteToo) {
    SimBench b(WordEprom(0x100));
    b.DeadCells({0x20});
    for (size_t i = 0; i < b.buffer.size(); i += 2) b.buffer[i] = 0x00, b.buffer[i + 1] = 0xFF;
    EXPECT_EQ(b.Operation(5, 0, 0x100), 3);
    EXPECT_GE(b.CountLines("Verify error at 000020 Read:FF-FF File:00-FF "), 1u);
}

TEST(ZVROMSim, DeadCellsStopTheWriteAtThePermittedCount) {
    DeadCellBench b(2);
    EXPECT_EQ(b.Operation(5, 0, 0x100, 2), 3);
    EXPECT_EQ(b.log.lines(), (Lines{"Verify error at 000020 Read:FF File:00 retry 0",
                                    "Verify error at 000020 Read:FF File:00 retry 1",
                                    "Verify error at 000040 Read:FF File:00 retry 0",
                                    "Errors during the write: 2",
                                    "Too many errors: stopped"}));
    EXPECT_EQ(CellOf(b, 0x3F), 0x00);
    EXPECT_EQ(CellOf(b, 0x41), 0xFF);  // nothing after the stop
}

// Forwards to the simulator; once the operation has passed `holdAt`
// addresses it holds the worker (at most a few seconds) until the other
// thread has cancelled, so that a fast build cannot finish first.
class HoldingPort : public PortIo {
public:
    HoldingPort(VirtualKrt& sim, LinkContext& link, int32_t holdAt) : sim_(sim), link_(link), holdAt_(holdAt) {}
    uint8_t read(uint16_t a) override { return sim_.read(a); }
    void write(uint16_t a, uint8_t v) override {
        sim_.write(a, v);
        if (link_.OperationProgress() < holdAt_) return;
        reached = true;
        for (int i = 0; i < 5000 && !cancelled; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::atomic<bool> reached{false};
    std::atomic<bool> cancelled{false};

private:
    VirtualKrt& sim_;
    LinkContext& link_;
    int32_t holdAt_;
};

TEST(ZVROMSim, CancelFromAnotherThreadEndsWithOne) {
    for (uint8_t code : {4, 5}) {
        SimBench b(ByteEprom(0x8000));
        HoldingPort port(b.sim, b.link, 16);
        b.link.port = &port;
        b.buffer.assign(b.buffer.size(), 0x00);
        std::atomic<uint8_t> result{0xFF};
        std::thread worker([&] { result = b.Operation(code, 0, 0x8000); });
        while (!port.reached && result == 0xFF) std::this_thread::yield();
        b.link.CancelOperation();
        port.cancelled = true;
        worker.join();
        EXPECT_EQ(result, 1) << int(code);
        EXPECT_EQ(b.link.OperationProgress(), -1);
        // The supplies are off again: the device was powered down.
        EXPECT_EQ(b.sim.Vpp(), 0.0) << int(code);
        if (code == 5) {
            EXPECT_NE(CellOf(b, 0x7FFF), 0x00);
        }
    }
}

TEST(ZVROMSim, ProgrammerThatStopsAnsweringMidWriteNeverHangs) {
    SimBench b(ByteEprom(0x8000));
    b.ExpectBreaches();  // frames sent to a programmer that stays busy
    StopsAnsweringPort port(b, 0x100);
    b.link.port = &port;
    b.buffer.assign(b.buffer.size(), 0x00);
    const auto before = b.sim.now();
    EXPECT_EQ(b.Operation(5, 0, 0x8000), 4);
    EXPECT_EQ(b.log.lines(), Lines{"KRT does not report ready (no answer for 2 seconds)."});
    // One bounded wait plus the power-up pauses, in virtual time.
    EXPECT_LT(b.sim.now() - before, std::chrono::seconds(4));
    EXPECT_EQ(b.link.OperationProgress(), -1);
    EXPECT_EQ(CellOf(b, 0xFF), 0x00);
    EXPECT_EQ(CellOf(b, 0x101), 0xFF);
}

TEST(ZVROMSim, RangeBeyondTheDeviceIsCutAtMaxsize) {
    SimBench b(ByteEprom(0x8000));
    b.buffer.assign(b.buffer.size(), 0x11);
    EXPECT_EQ(b.Operation(5, 0x7FF0, 0x100), 0);
    EXPECT_EQ(b.log.lines(),
              (Lines{"Range 007FF0+000100 reaches beyond the device end 008000: cut to 000010 addresses",
                     "Written without errors."}));
    EXPECT_EQ(CellOf(b, 0x7FFF), 0x11);
}

TEST(ZVROMSim, ProgrammingVoltageTheProgrammerCannotMakeEndsTheWriteAtOnce) {
    DeviceRecord r = ByteEprom(0x800);
    r.name = "2716";
    r.VppW = 25.0;  // beyond the programmer's supply
    r.VccW = 5.0;
    SimBench b(r);
    b.buffer.assign(b.buffer.size(), 0x00);
    EXPECT_EQ(b.Operation(5, 0, 0x800), 4);
    EXPECT_EQ(b.CountLines("The supply cannot be set to that voltage"), 1u);
    EXPECT_EQ(b.CountLines("Verify error"), 0u) << "no byte was tried";
    EXPECT_EQ(CellOf(b, 0), 0xFF);
    EXPECT_EQ(b.sim.Vpp(), 0.0) << "the device is left unpowered";
}

}  // namespace
}  // namespace krt::test
