// SPDX-License-Identifier: GPL-3.0-or-later
// A few checks with the link's own host code on top of the simulator:
// detection answers and an EPROM programmed and read back through the link
// primitives. The wire-side tests stand without these.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/Link.h"
#include "sim/chips/EpromChip.h"
#include "sim/VirtualKrt.h"

namespace krt {
namespace {

struct Lines : LogSink {
    std::vector<std::string> lines;
    void line(std::string_view utf8) override { lines.emplace_back(utf8); }
};

struct Bench {
    explicit Bench(uint8_t krt1 = 0x20, uint8_t krt2 = 0x10) {
        sim.SetRevisions(krt1, krt2);
        link.port = &sim;
        link.clock = &sim;
        link.log = &log;
        link.portBase = 0x378;
        link.clockFrequency = 4e6;
        link.language = 1;
    }
    VirtualKrt sim;
    LinkContext link;
    Lines log;
};

TEST(SimWithLink, DetectionFindsBothUnits) {
    Bench b;
    b.link.LinkReset();
    b.link.DetectProgrammer();
    EXPECT_TRUE(b.link.programmerFound);
    EXPECT_EQ(b.link.krt1Revision, 0x20);
    EXPECT_EQ(b.link.krt2Revision, 0x10);
    ASSERT_EQ(b.log.lines.size(), 2u);
    EXPECT_EQ(b.log.lines[0], "KRT1 version is 2.0");
    EXPECT_EQ(b.log.lines[1], "KRT2 version is 1.0");
}

TEST(SimWithLink, AckLowEndsWithinTheReadyTimeOut) {
    Bench b;
    std::string error;
    ASSERT_TRUE(b.sim.ApplyFault("no-programmer-low", error));
    b.link.DetectProgrammer();
    EXPECT_FALSE(b.link.programmerFound);
    EXPECT_EQ(b.link.krt1Revision, 0xFF);
    EXPECT_LT(b.sim.VirtualNs(), 3'000'000'000ull);
    EXPECT_GE(b.sim.VirtualNs(), 2'000'000'000ull);
}

TEST(SimWithLink, LinkSuppliesReachTheSocketInBothSchemes) {
    for (uint8_t revision : {0x20, 0x10}) {
        Bench b(revision);
        b.link.LinkReset();
        b.link.DetectProgrammer();
        b.link.SetVpp(12.75f);
        b.link.SetVcc(6.25f);
        b.link.SupplyOutput(true);
        EXPECT_GE(b.sim.Vpp(), 12.5) << int(revision);
        EXPECT_LE(b.sim.Vpp(), 12.75) << int(revision);
        EXPECT_GE(b.sim.Vcc(), 6.2) << int(revision);
        EXPECT_LE(b.sim.Vcc(), 6.25) << int(revision);
        b.link.SupplyOutput(false);
        EXPECT_EQ(b.sim.Vcc(), 0.0);
        b.link.SetResultIndicator(2);
        EXPECT_TRUE(b.sim.ResultOkIndicator());
    }
}

TEST(SimWithLink, EpromWrittenAndReadThroughTheLink) {
    Bench b;
    EpromElectrical facts;
    ASSERT_TRUE(LookUpEpromPart("27C256", facts));
    auto c = std::make_unique<EpromChip>("27C256", 0x8000, false, false, facts);
    EpromChip* chip = c.get();
    b.sim.InsertChip(std::move(c));
    b.link.LinkReset();
    b.link.DetectProgrammer();
    b.link.SetVpp(12.75f);
    b.link.SetVcc(6.25f);
    b.link.SupplyOutput(false);
    b.link.DEVSET(0);
    b.link.SupplyOutput(true);
    b.link.ALSET(0x00);
    b.link.AHSET(0x10);
    b.link.CSET(0);
    b.link.SetTimerSeconds(100e-6);
    for (int i = 0; i < 16; ++i) {
        b.link.DLSEND(static_cast<uint8_t>(0xF0 - i));
        ASSERT_TRUE(b.link.WaitReady());
        b.link.INC();
    }
    b.link.LinkReset();
    b.link.SetVpp(0.0f);
    b.link.SetVcc(5.0f);
    b.link.DEVSET(0);
    b.link.SupplyOutput(true);
    b.link.ALSET(0x00);
    b.link.AHSET(0x10);
    b.link.CSET(0);
    for (int i = 0; i < 16; ++i) {
        b.link.DLREAD();
        ASSERT_TRUE(b.link.WaitReady());
        EXPECT_EQ(b.link.ReadReply(), 0xF0 - i) << i;
        b.link.INC();
    }
    EXPECT_EQ(chip->Cell(0x1000), 0xFFF0);
}

}  // namespace
}  // namespace krt
