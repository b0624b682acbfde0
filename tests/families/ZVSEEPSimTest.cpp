// SPDX-License-Identifier: GPL-3.0-or-later
// The serial EEPROM family end to end on the simulated programmer, with
// two-wire and three-wire bus slaves in the socket: round trips (the word
// address of the small 24Cxx, the word layout of the 93Cx6), erase, the
// chip faults and their bounded waits, cancel, and what is refused.
#include <gtest/gtest.h>

#include <atomic>

#include "FamilyTestSupport.h"
#include "SimBench.h"
#include "ZVSEEPTestSupport.h"
#include "families/ZVSEEP.h"
#include "sim/chips/SerialEepromChips.h"

namespace krt::test {
namespace {

TwoWireEepromChip& TwoWire(SimBench& b) { return *dynamic_cast<TwoWireEepromChip*>(b.sim.SocketChip()); }
ThreeWireEepromChip& ThreeWire(SimBench& b) { return *dynamic_cast<ThreeWireEepromChip*>(b.sim.SocketChip()); }

// The chip's cells as the host's buffer holds them.
std::vector<uint8_t> Cells(SimBench& b) {
    std::vector<uint8_t> out;
    if (b.record.typecode == 3) {
        for (uint32_t a = 0; a < b.record.maxsize; ++a) out.push_back(TwoWire(b).Cell(a));
    } else {
        for (uint32_t w = 0; w < b.record.maxsize; ++w) {
            out.push_back(static_cast<uint8_t>(ThreeWire(b).Word(w) >> 8));
            out.push_back(static_cast<uint8_t>(ThreeWire(b).Word(w)));
        }
    }
    return out;
}

// Write a range, check the chip's own cells, read the whole device back,
// verify, and a mismatch found.
void SeepRoundTrip(const DeviceRecord& record, uint32_t start, uint32_t length, uint32_t seed) {
    SimBench b(record);
    const size_t unit = record.wordaccess ? 2 : 1;
    auto data = RandomBytes(b.buffer.size(), seed);
    for (size_t i = 0; i < data.size(); ++i)
        if (i < start * unit || i >= (start + length) * unit) data[i] = 0xFF;
    b.buffer = data;
    ASSERT_EQ(b.Operation(5, start, length), 0);
    EXPECT_EQ(b.log.lines(), Lines{"Written without errors."});
    ASSERT_EQ(Cells(b), data) << "every byte landed where it belongs, and nowhere else";

    b.buffer.assign(b.buffer.size(), 0x5A);
    ASSERT_EQ(b.Operation(4, 0, record.maxsize), 0);
    EXPECT_EQ(b.buffer, data);

    b.log.clear();
    EXPECT_EQ(b.Operation(6, start, length), 0);
    EXPECT_TRUE(b.log.lines().empty());
    b.buffer[(start + length) * unit - 1] ^= 0x80;
    EXPECT_EQ(b.Operation(6, start, length), 3);
    EXPECT_EQ(b.CountLines("Verify error Addr: "), 1u);
}

TEST(ZVSEEPSim, RoundTrips) {
    SeepRoundTrip(TwoWireEeprom("AT24C02", 0x100, 8), 0, 0x100, 1);
    // Eight blocks of 256: address bits 8-10 travel in the device select.
    SeepRoundTrip(TwoWireEeprom("AT24C16", 0x800, 16), 0, 0x800, 2);
    // Two address bytes: across a change of the high byte, and the last page.
    SeepRoundTrip(TwoWireEeprom("AT24C256", 0x8000, 64), 0x0F0, 0x120, 3);
    SeepRoundTrip(TwoWireEeprom("AT24C256", 0x8000, 64), 0x7FC0, 0x40, 4);
    SeepRoundTrip(ThreeWireEeprom("93C46", 0x40, 6), 0, 0x40, 5);
    SeepRoundTrip(ThreeWireEeprom("93C66", 0x100, 8), 0, 0x100, 6);
}

TEST(ZVSEEPSim, PageWriteRoundTripsWithOneWriteCyclePerPage) {
    DeviceRecord r = TwoWireEeprom("AT24C256", 0x8000, 64);
    r.pagewrite = 1;
    SeepRoundTrip(r, 0, 0x8000, 9);
    // A range that starts and ends inside pages: its partial pages are
    // written alone, the bytes around them stay.
    r = TwoWireEeprom("AT24C32", 0x1000, 32);
    r.pagewrite = 1;
    SimBench b(r);
    b.buffer = RandomBytes(b.buffer.size(), 10);
    ASSERT_EQ(b.Operation(5, 0x3E, 0x44), 0);
    EXPECT_EQ(TwoWire(b).WriteCycles(), 4u);
    for (uint32_t a = 0; a < 0x1000; ++a)
        ASSERT_EQ(TwoWire(b).Cell(a), a >= 0x3E && a < 0x82 ? b.buffer[a] : 0xFF) << a;
}

TEST(ZVSEEPSim, SubRangeAcrossABlockBoundaryLeavesTheRestAlone) {
    SimBench b(TwoWireEeprom("AT24C16", 0x800, 16));
    b.buffer = RandomBytes(b.buffer.size(), 6);
    ASSERT_EQ(b.Operation(5, 0x2F8, 0x10), 0);
    for (uint32_t a = 0; a < 0x800; ++a)
        ASSERT_EQ(TwoWire(b).Cell(a), a >= 0x2F8 && a < 0x308 ? b.buffer[a] : 0xFF) << a;
    std::vector<uint8_t> written(b.buffer.begin() + 0x2F8, b.buffer.begin() + 0x308);
    b.buffer.assign(b.buffer.size(), 0);
    ASSERT_EQ(b.Operation(4, 0x2FB, 0xA), 0);
    EXPECT_EQ(std::vector<uint8_t>(b.buffer.begin() + 0x2FB, b.buffer.begin() + 0x305),
              std::vector<uint8_t>(written.begin() + 3, written.begin() + 13));
}

TEST(ZVSEEPSim, WordLayoutOfTheThreeWireBus) {
    SimBench b(ThreeWireEeprom("93C46", 0x40, 6));
    ThreeWire(b).SetWord(5, 0x1234);
    ASSERT_EQ(b.Operation(4, 5, 1), 0);
    EXPECT_EQ(b.buffer[10], 0x12);
    EXPECT_EQ(b.buffer[11], 0x34);
    EXPECT_EQ(b.buffer[5], 0xFF);
}

TEST(ZVSEEPSim, EraseAndBlankCheckOnBothBuses) {
    for (DeviceRecord record : {TwoWireEeprom("AT24C02", 0x100, 8), ThreeWireEeprom("93C66", 0x100, 8)}) {
        SimBench b(record);
        b.buffer = RandomBytes(b.buffer.size(), 7);
        b.buffer[0] = 0x00;
        ASSERT_EQ(b.Operation(5, 0, record.maxsize), 0);
        EXPECT_EQ(b.Operation(9, 0, record.maxsize), 3) << record.name;
        // The erase covers the whole device whatever the range says.
        EXPECT_EQ(b.Operation(7, 0x10, 1), 0) << record.name;
        EXPECT_EQ(Cells(b), std::vector<uint8_t>(b.buffer.size(), 0xFF)) << record.name;
        b.log.clear();
        EXPECT_EQ(b.Operation(9, 0, record.maxsize), 0) << record.name;
        EXPECT_TRUE(b.log.lines().empty());
    }
}

TEST(ZVSEEPSim, ThreeWireChipPowersUpWriteDisabledAndTheFamilyEnablesIt) {
    SimBench b(ThreeWireEeprom("93C56", 0x80, 8));
    EXPECT_FALSE(ThreeWire(b).WriteEnabled());
    b.buffer = RandomBytes(b.buffer.size(), 8);
    ASSERT_EQ(b.Operation(5, 0x7E, 2), 0);
    EXPECT_EQ(ThreeWire(b).Word(0x7F), b.buffer[0xFE] << 8 | b.buffer[0xFF]);
}

// A chip that never answers ends the operation with 4, one line naming the
// address, within the bound of virtual time.
TEST(ZVSEEPSim, ChipThatNeverAnswersGivesFourWithinTheBound) {
    struct Case {
        DeviceRecord record;
        const char* fault;
        uint8_t code;
        uint32_t start;
        const char* line;
    };
    const Case cases[] = {
        {TwoWireEeprom("AT24C02", 0x100, 8), "no-ack", 5, 0,
         "no acknowledge from the serial EEPROM at 000000 (device select A0)"},
        {TwoWireEeprom("AT24C16", 0x800, 16), "no-ack", 4, 0x50F,
         "no acknowledge from the serial EEPROM at 000500 (device select AA)"},
        // The first byte starts a write cycle that never ends; its read-back waits for it.
        {TwoWireEeprom("AT24C256", 0x8000, 64), "never-ready", 5, 0x500,
         "no acknowledge from the serial EEPROM at 000500 (device select A0)"},
        {ThreeWireEeprom("93C46", 0x40, 6), "never-ready", 5, 5, "serial EEPROM still busy at 000005"},
        {ThreeWireEeprom("93C46", 0x40, 6), "never-ready", 7, 0, "serial EEPROM still busy at 000000"},
        {ThreeWireEeprom("93C66", 0x100, 8), "no-ack", 5, 0x80, "serial EEPROM still busy at 000080"},
    };
    for (const Case& c : cases) {
        SimBench b(c.record);
        std::string error;
        ASSERT_TRUE(b.sim.ApplyFault(c.fault, error)) << error;
        const uint64_t before = b.sim.VirtualNs();
        EXPECT_EQ(b.Operation(c.code, c.start, 4), 4) << c.record.name << " " << c.fault;
        EXPECT_EQ(b.log.lines(), Lines{c.line});
        EXPECT_LT(b.sim.VirtualNs() - before, 400'000'000u) << "bounded";
        EXPECT_FALSE(b.sim.AuxOutput()) << "powered down";
    }
}

TEST(ZVSEEPSim, GiveUpLineFollowsTheLanguage) {
    SimBench b(TwoWireEeprom("AT24C02", 0x100, 8));
    b.Request(45, 0);
    std::string error;
    ASSERT_TRUE(b.sim.ApplyFault("no-ack", error));
    EXPECT_EQ(b.Operation(4, 0x10, 1), 4);
    EXPECT_EQ(b.log.lines(), Lines{"シリアルEEPROMから応答がありません アドレス 000010 (デバイスセレクト A0)"});
}

// A two-wire chip acknowledges a byte it does not store (WP tied high, a
// dead cell): the write and the erase read back what they wrote, in byte
// and page mode, and name each address that did not take its value.
TEST(ZVSEEPSim, TwoWireWriteAndEraseReadBackWhatTheyWrote) {
    struct Case {
        bool pageWrite;
        const char* fault;
        uint32_t failing;  // addresses of the first 0x10 that fail
    };
    for (const Case& c : {Case{false, "write-protect", 0x10}, Case{true, "write-protect", 0x10},
                          Case{false, "dead-cells:A", 1}, Case{true, "dead-cells:A", 1}}) {
        DeviceRecord r = TwoWireEeprom("AT24C02", 0x100, 8);
        r.pagewrite = c.pageWrite;
        SimBench b(r);
        std::string error;
        ASSERT_TRUE(b.sim.ApplyFault(c.fault, error)) << error;
        const std::string label = std::string(c.fault) + (c.pageWrite ? " page" : " byte");
        b.buffer.assign(b.buffer.size(), 0x00);
        EXPECT_EQ(b.Operation(5, 0, 0x10), 3) << label;
        EXPECT_EQ(b.CountLines("Verify error at "), c.failing) << label;
        EXPECT_EQ(b.CountLines("Verify error at 00000A Read:FF File:00 retry 0"), 1u) << label;
        EXPECT_EQ(b.CountLines("Written without errors."), 0u) << label;

        // Cells that hold data and cannot be changed fail the erase.
        for (uint32_t a = 0; a < 0x10; ++a) TwoWire(b).SetCell(a, 0x00);
        b.log.clear();
        EXPECT_EQ(b.Operation(7, 0, 0x100), 3) << label;
        EXPECT_EQ(b.CountLines("Verify error at 00000A Read:00 File:FF retry 0"), 1u) << label;
        EXPECT_EQ(b.CountLines("Verify error at "), c.failing) << label;
    }
    // Without faults both modes pass and the erase leaves the chip blank.
    for (bool pageWrite : {false, true}) {
        DeviceRecord r = TwoWireEeprom("AT24C02", 0x100, 8);
        r.pagewrite = pageWrite;
        SimBench b(r);
        b.buffer = RandomBytes(b.buffer.size(), 21);
        EXPECT_EQ(b.Operation(5, 3, 0x20), 0);
        EXPECT_EQ(b.Operation(7, 0, 0x100), 0);
        EXPECT_EQ(Cells(b), std::vector<uint8_t>(0x100, 0xFF));
    }
}

TEST(ZVSEEPSim, DeadCellsFailTheThreeWireReadBack) {
    SimBench b(ThreeWireEeprom("93C46", 0x40, 6));
    std::string error;
    ASSERT_TRUE(b.sim.ApplyFault("dead-cells:3", error));
    b.buffer.assign(b.buffer.size(), 0x00);
    EXPECT_EQ(b.Operation(5, 0, 0x40), 3);
    EXPECT_EQ(b.CountLines("Verify error at 000003"), 3u) << "each of the three tries";
    EXPECT_EQ(ThreeWire(b).Word(4), 0x0000);
}

// The link's clock, cancelling the operation once virtual time passes a mark.
struct CancellingClock : Clock {
    VirtualKrt& sim;
    LinkContext& link;
    uint64_t markNs;
    CancellingClock(VirtualKrt& s, LinkContext& l, uint64_t mark) : sim(s), link(l), markNs(mark) {}
    std::chrono::nanoseconds now() override {
        if (sim.VirtualNs() >= markNs) link.CancelOperation();
        return sim.now();
    }
    void sleepMs(unsigned ms) override { sim.sleepMs(ms); }
};

TEST(ZVSEEPSim, CancelEndsTheAcknowledgePollingAtOnce) {
    SimBench b(TwoWireEeprom("AT24C02", 0x100, 8));
    std::string error;
    ASSERT_TRUE(b.sim.ApplyFault("never-ready", error));
    // Power-up takes 80 ms; the second byte then polls a chip that stays busy.
    CancellingClock clock(b.sim, b.link, b.sim.VirtualNs() + 100'000'000);
    b.link.clock = &clock;
    EXPECT_EQ(b.Operation(5, 0, 0x100), 1);
    ASSERT_EQ(b.log.lines().size(), 1u);
    EXPECT_EQ(b.log.lines()[0].rfind("Write cancelled at 0000", 0), 0u) << b.log.lines()[0];
    EXPECT_LT(b.sim.VirtualNs(), clock.markNs + 5'000'000) << "no wait for the bound";
}

TEST(ZVSEEPSim, RefusedBeforeAnyProgrammerTraffic) {
    {
        DeviceRecord r = TwoWireEeprom("placeholder", 0x100, 8);
        r.typecode = 1;
        SimBench b(r, false);
        const uint64_t frames = b.sim.Frames();
        for (uint8_t code : {4, 5, 6, 7, 9}) EXPECT_EQ(b.Operation(code, 0, 0x100), 8) << int(code);
        EXPECT_EQ(b.sim.Frames(), frames);
        EXPECT_TRUE(b.log.lines().empty());
    }
    {
        DeviceRecord r = ThreeWireEeprom("93C46", 0x40, 6);
        r.wordaccess = 0;  // byte access
        SimBench b(r);
        const uint64_t frames = b.sim.Frames();
        EXPECT_EQ(b.Operation(5, 0, 0x40), 8);
        EXPECT_EQ(b.sim.Frames(), frames);
        EXPECT_EQ(b.log.lines(), Lines{"byte access on the three-wire bus is not supported: the device is used in "
                                       "its 16-bit organisation"});
    }
    {
        DeviceRecord r = TwoWireEeprom("AT24C02", 0x100, 8);
        r.wordaccess = 1;
        SimBench b(r);
        EXPECT_EQ(b.Operation(4, 0, 0x80), 8);
        EXPECT_EQ(b.log.lines(), Lines{"word access on the two-wire bus is not supported: the device is used 8 bits wide"});
    }
}

}  // namespace
}  // namespace krt::test
