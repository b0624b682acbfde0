// SPDX-License-Identifier: GPL-3.0-or-later
// Frames, read slots and the bounded ready wait, compared register by register.
#include <gtest/gtest.h>

#include "support/TestLink.h"
#include "link/LinkTexts.h"

namespace krt::test {
namespace {

TEST(Wire, CommandWithOperandIsTwoStrobedFrames) {
    TestLink t;
    t.link.SendCommand(0x0A, 0x5A);
    EXPECT_EQ(t.port.Trace(), (Lines{"W 0378 0A", "W 037A 01", "W 037A 00",
                                     "W 0378 5A", "W 037A 01", "W 037A 00"}));
    EXPECT_EQ(t.link.controlShadow, 0);
}

TEST(Wire, FramesFollowThePortBase) {
    TestLink t;
    t.port.base = 0x278;
    t.link.portBase = 0x278;
    t.link.SendCommand(0x01);
    EXPECT_EQ(t.port.Trace(), (Lines{"W 0278 01", "W 027A 01", "W 027A 00"}));
}

TEST(Wire, ReadReplySlotsWriteNopThenStrobeThenSample) {
    TestLink t;
    t.port.ScriptStatus(0x00);  // slot 0 carries a 1: bit 0
    EXPECT_EQ(t.link.ReadReply(), 0x01);
    const Lines trace = t.port.Trace();
    ASSERT_EQ(trace.size(), 32u);
    EXPECT_EQ(Lines(trace.begin(), trace.begin() + 8),
              (Lines{"W 0378 00", "W 037A 01", "R 0379 00", "W 037A 00",
                     "W 0378 00", "W 037A 01", "R 0379 40", "W 037A 00"}));
    for (size_t slot = 0; slot < 8; ++slot) {
        EXPECT_EQ(trace[slot * 4], "W 0378 00") << slot;
        EXPECT_EQ(trace[slot * 4 + 1], "W 037A 01") << slot;
        EXPECT_EQ(trace[slot * 4 + 2][0], 'R') << slot;
        EXPECT_EQ(trace[slot * 4 + 3], "W 037A 00") << slot;
    }
}

TEST(Wire, ReadReplyIsLeastSignificantBitFirstAndActiveLow) {
    TestLink t;
    for (int i = 0; i < 8; ++i) t.port.ScriptStatus(0x40);
    EXPECT_EQ(t.link.ReadReply(), 0x00);
    for (int i = 0; i < 8; ++i) t.port.ScriptStatus(0x00);
    EXPECT_EQ(t.link.ReadReply(), 0xFF);
    // Only bit 6 counts: the other status lines are noise.
    for (int bit = 0; bit < 8; ++bit) t.port.ScriptStatus(bit == 7 ? 0xBF : 0xFF);
    EXPECT_EQ(t.link.ReadReply(), 0x80);
    for (uint8_t value : {0x20, 0x10, 0xA5, 0x5A}) {
        t.port.ScriptReply(value);
        EXPECT_EQ(t.link.ReadReply(), value);
    }
}

TEST(WaitReady, ReturnsAtOnceWhenReadyAndAfterABusySpell) {
    TestLink t;
    EXPECT_TRUE(t.link.WaitReady());
    EXPECT_EQ(t.port.Trace(), (Lines{"R 0379 40"}));
    t.port.Clear();
    t.port.ScriptBusy(5);
    EXPECT_TRUE(t.link.WaitReady());
    EXPECT_EQ(t.port.reads, 7u);
    EXPECT_FALSE(t.link.readyTimedOut);
    EXPECT_TRUE(t.log.lines().empty());
}

TEST(WaitReady, GivesUpAfterTwoSecondsOfVirtualTime) {
    TestLink t;
    t.link.language = 1;
    t.port.statusDefault = 0x00;  // ACK never goes high
    t.clock.step = std::chrono::milliseconds(1);
    EXPECT_FALSE(t.link.WaitReady());
    EXPECT_TRUE(t.link.readyTimedOut);
    EXPECT_GE(t.clock.time, std::chrono::seconds(2));
    EXPECT_LT(t.clock.time, std::chrono::milliseconds(2100));
    EXPECT_EQ(t.log.lines(), (Lines{NotReadyLine(1)}));

    // Later waits of the same request do not wait again, nor log again.
    const uint64_t readsBefore = t.port.reads;
    EXPECT_FALSE(t.link.WaitReady());
    EXPECT_FALSE(t.link.WaitReady());
    EXPECT_EQ(t.port.reads - readsBefore, 2u);
    EXPECT_EQ(t.log.lines().size(), 1u);
}

TEST(WaitReady, AtASlowClockOutlastsTheLongestTimerPeriod) {
    TestLink t;
    t.link.clockFrequency = 100000.0;  // longest period 1023 x 256 clocks: 2.62 s
    t.port.statusDefault = 0x00;
    t.clock.step = std::chrono::milliseconds(1);
    EXPECT_FALSE(t.link.WaitReady());
    EXPECT_GE(t.clock.time, std::chrono::milliseconds(3928));
    EXPECT_LT(t.clock.time, std::chrono::milliseconds(4100));
}

TEST(WaitReady, IsBoundedByACountWithoutAClock) {
    TestLink t;
    t.link.clock = nullptr;
    t.port.statusDefault = 0x00;
    t.port.record = false;
    EXPECT_FALSE(t.link.WaitReady());
    EXPECT_TRUE(t.link.readyTimedOut);
    // About two seconds of status reads at a microsecond each, as with a clock.
    EXPECT_GE(t.port.reads, 1'500'000u);
    EXPECT_LE(t.port.reads, 2'500'000u);
}

// The bound follows the clock: worked out again when the clock changes, in
// either direction.
TEST(WaitReady, BoundFollowsEachNewClock) {
    TestLink t;
    const auto at = [&t](double hz) {
        t.link.clockFrequency = hz;
        return t.link.ReadyTimeout();
    };
    EXPECT_EQ(at(4e6), std::chrono::seconds(2));
    const auto slow = at(100000.0);  // 1.5 x 1023 x 256 clocks: 3.93 s
    EXPECT_GE(slow, std::chrono::milliseconds(3928));
    EXPECT_LT(slow, std::chrono::milliseconds(3930));
    EXPECT_EQ(at(4e6), std::chrono::seconds(2));
    EXPECT_GT(at(50000.0), slow);
}

TEST(WaitReady, IsBoundedWhenTheClockStandsStill) {
    TestLink t;
    t.port.statusDefault = 0x00;
    t.port.record = false;
    t.clock.step = std::chrono::nanoseconds(0);
    EXPECT_FALSE(t.link.WaitReady());
    EXPECT_TRUE(t.link.readyTimedOut);
}

TEST(WaitReady, TimeoutFailsTheRequestAndLogsOncePerRequest) {
    TestLink t;
    t.link.programmerFound = true;
    t.port.statusDefault = 0x00;
    t.clock.step = std::chrono::milliseconds(10);
    EXPECT_EQ(t.Request(32), 4);  // WAITTIM, then the wait gives up
    EXPECT_EQ(t.log.lines().size(), 1u);
    // The next request starts with a clean mark and waits (and logs) again.
    t.port.statusDefault = 0x40;
    EXPECT_EQ(t.Request(16), 0);
    EXPECT_FALSE(t.link.readyTimedOut);
    t.port.statusDefault = 0x00;
    EXPECT_EQ(t.Request(32), 4);
    EXPECT_EQ(t.log.lines().size(), 2u);
}

TEST(WaitReady, TimeoutLineFollowsTheLanguage) {
    TestLink t;
    t.link.language = 0;
    t.port.statusDefault = 0x00;
    t.clock.step = std::chrono::milliseconds(10);
    t.link.WaitReady();
    EXPECT_EQ(t.log.lines(), (Lines{NotReadyLine(0)}));
    EXPECT_STRNE(NotReadyLine(0), NotReadyLine(1));
}

}  // namespace
}  // namespace krt::test
