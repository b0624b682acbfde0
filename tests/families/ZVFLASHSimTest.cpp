// SPDX-License-Identifier: GPL-3.0-or-later
// The 28F flash family end to end through Dispatch on the simulated
// programmer with 28F chips in the socket: round trips, the three parts and
// nothing else, erase with pre-programming and resumed erase verify, the
// chip's erase faults, weak and dead cells, cancel at each place the
// erase tests it.
#include <gtest/gtest.h>

#include <functional>

#include "FamilyTestSupport.h"
#include "SimBench.h"
#include "sim/chips/FlashChip.h"

namespace krt::test {
namespace {

constexpr uint32_t k28F010 = 0x20000;

DeviceRecord Flash(const char* maker = "Intel", const char* name = "P28F010", uint32_t size = k28F010) {
    DeviceRecord r;
    r.type = "FLASH";
    r.manufacture = maker;
    r.name = name;
    r.maxsize = size;
    r.bufsize = size;
    r.tpw = 10e-6;
    r.retry = 25;
    r.verify = 1;
    r.typecode = 0x10;
    r.ahand = r.amand = r.aland = r.dhand = r.dland = 0xFF;
    r.VppR = 5.0;
    r.VccR = 5.0;
    r.VppW = 12.0;
    r.VccW = 5.0;
    r.bytesPerWord = 1;
    return r;
}

FlashChip& FlashChipOf(SimBench& b) { return *dynamic_cast<FlashChip*>(b.sim.SocketChip()); }

constexpr const char* kNoErrors = "Written without errors.";

void FlashRoundTrip(DeviceRecord record, uint32_t start, uint32_t length, uint32_t seed) {
    SimBench b(record);
    const auto data = RandomBytes(b.buffer.size(), seed);
    b.buffer = data;
    ASSERT_EQ(b.Operation(5, start, length), 0);
    EXPECT_EQ(b.log.lines(), Lines{kNoErrors});
    b.buffer.assign(b.buffer.size(), 0xEE);
    ASSERT_EQ(b.Operation(4, start, length), 0);
    for (size_t i = 0; i < b.buffer.size(); ++i) {
        const bool inRange = i >= start && i < size_t(start) + length;
        ASSERT_EQ(b.buffer[i], inRange ? data[i] : 0xEE) << "byte " << i;
        if (!inRange) {
            ASSERT_EQ(FlashChipOf(b).Cell(static_cast<uint32_t>(i)), 0xFF) << "byte " << i;
        }
    }
    b.buffer = data;
    b.log.clear();
    EXPECT_EQ(b.Operation(6, start, length), 0);
    EXPECT_TRUE(b.log.lines().empty());
    b.buffer[start] ^= 0x80;
    EXPECT_EQ(b.Operation(6, start, length), 3);
    EXPECT_EQ(b.CountLines("Verify error Addr: "), 1u);
}

TEST(ZVFLASHSim, RoundTripWholeAndSubRange) {
    FlashRoundTrip(Flash(), 0, k28F010, 1);
    FlashRoundTrip(Flash(), 0x1234, 0x321, 2);
    FlashRoundTrip(Flash("Intel", "P28F020", 0x40000), 0x3FF00, 0x100, 3);
    FlashRoundTrip(Flash("ST", "M28F101"), 0x10000, 0x200, 4);
}

// Each of the three parts, its maker and name in any case, passes the
// identifier check and is written; the chip is back in read mode after it.
TEST(ZVFLASHSim, MakerAndNameMatchInAnyCase) {
    for (auto [maker, name] : {std::pair{"INTEL", "p28f010"}, {"intel", "P28F020"}, {"st", "m28F101"}}) {
        SimBench b(Flash(maker, name, std::string(name).find("020") != std::string::npos ? 0x40000 : k28F010));
        b.buffer[0x10] = 0x42;
        EXPECT_EQ(b.Operation(5, 0x10, 1), 0) << maker << " " << name;
        EXPECT_EQ(b.log.lines(), Lines{kNoErrors});
        EXPECT_EQ(FlashChipOf(b).Cell(0x10), 0x42) << maker << " " << name;
        EXPECT_EQ(FlashChipOf(b).LastCommand(), 0xC0) << "back in read mode after the identifier";
    }
}

TEST(ZVFLASHSim, AnyOtherFlashIsNeverProgrammed) {
    // A fourth name, and a known name under another maker.
    for (auto [maker, name] : {std::pair{"Intel", "P28F512"}, {"AMD", "P28F010"}}) {
        SimBench b(Flash(maker, name));
        b.buffer.assign(b.buffer.size(), 0x00);
        b.buffer[0x21] = 0xFF;  // what the chip already holds verifies
        EXPECT_EQ(b.Operation(5, 0x20, 4), 3) << name;
        // The first twenty retry lines; the other 3 x 25 - 20 are counted.
        EXPECT_EQ(b.CountLines("Verify error at 000020 Read:FF File:00 "), 20u);
        EXPECT_EQ(b.CountLines("55 more retry lines not shown"), 1u);
        EXPECT_EQ(b.CountLines("Verify error at 000021 "), 0u);
        EXPECT_EQ(FlashChipOf(b).ProgramPulses(), 0u);
        EXPECT_EQ(FlashChipOf(b).LastCommand(), 0xC0) << "only program verify reached the chip";

        b.record.verify = 0;
        b.log.clear();
        EXPECT_EQ(b.Operation(5, 0x20, 4), 0);
        EXPECT_EQ(FlashChipOf(b).ProgramPulses(), 0u);
        EXPECT_EQ(FlashChipOf(b).Cell(0x20), 0xFF);
    }
}

// Before a write or an erase the chip's identifier is read; another part
// in the socket is refused with nothing programmed or erased.
TEST(ZVFLASHSim, AnotherPartIsRefusedBeforeAnyWriteOrErase) {
    for (uint8_t code : {uint8_t{5}, uint8_t{7}}) {
        SimBench b(Flash());
        b.Fault("wrong-part");
        FlashChipOf(b).SetCell(0x10, 0x5A);
        b.buffer.assign(b.buffer.size(), 0x00);
        EXPECT_EQ(b.Operation(code, 0, 0x20), 4) << "code " << int{code};
        EXPECT_EQ(b.log.lines(), Lines{"Wrong device in the socket: expected P28F010 (89h/B4h), found identifier "
                                       "01h/A7h; nothing was written or erased"});
        EXPECT_EQ(FlashChipOf(b).ProgramPulses(), 0u);
        EXPECT_EQ(FlashChipOf(b).ErasePulses(), 0u);
        EXPECT_EQ(FlashChipOf(b).Cell(0x10), 0x5A);
        EXPECT_EQ(b.sim.Vpp(), 0.0);

        // Skipped on request: the operation goes on.
        b.record.idcheck = 0;
        b.log.clear();
        EXPECT_EQ(b.Operation(code, 0, 0x20), 0) << "code " << int{code};
        EXPECT_EQ(FlashChipOf(b).Cell(0x10), code == 5 ? 0x00 : 0xFF);
    }
}

// The maker's code alone does not make the part: Intel's 28F010 and
// 28F020 answer 89h, and only their device codes (B4h, BDh) tell them apart.
TEST(ZVFLASHSim, TheSameMakersOtherPartIsRefused) {
    struct Case {
        const char* record;
        uint32_t recordSize;
        const char* chip;
        uint32_t chipSize;
        const char* found;
    };
    const Case cases[] = {
        {"P28F010", k28F010, "P28F020", 2 * k28F010, "identifier 89h/BDh"},
        {"P28F020", 2 * k28F010, "P28F010", k28F010, "identifier 89h/B4h"},
    };
    for (const Case& c : cases) {
        SimBench b(Flash("Intel", c.record, c.recordSize), false);
        std::string note;
        b.sim.InsertChip(MakeBlankChip(Flash("Intel", c.chip, c.chipSize), note));
        ASSERT_NE(b.sim.SocketChip(), nullptr) << note;
        b.buffer.assign(b.buffer.size(), 0x00);
        EXPECT_EQ(b.Operation(5, 0, 0x20), 4) << c.chip << " for " << c.record;
        ASSERT_EQ(b.log.lines().size(), 1u);
        EXPECT_NE(b.log.lines()[0].find(c.found), std::string::npos) << b.log.lines()[0];
        EXPECT_EQ(FlashChipOf(b).ProgramPulses(), 0u) << c.chip << " for " << c.record;
    }
}

TEST(ZVFLASHSim, TheUnconfirmedIdentifierOnlyWarns) {
    SimBench b(Flash("ST", "M28F101"));
    b.Fault("wrong-part");
    b.buffer[0] = 0x42;
    EXPECT_EQ(b.Operation(5, 0, 1), 0);
    EXPECT_EQ(b.log.lines(), (Lines{"Expected M28F101 (20h/07h), found identifier 01h/A7h (this "
                                    "part's identifier is not confirmed: going on)",
                                    kNoErrors}));
    EXPECT_EQ(FlashChipOf(b).Cell(0), 0x42);
}

TEST(ZVFLASHSim, WriteWithoutReadBackProgramsEveryByteUpToTheLast) {
    DeviceRecord r = Flash();
    r.verify = 0;
    r.retry = 1;
    SimBench b(r);
    const auto data = RandomBytes(b.buffer.size(), 7);
    b.buffer = data;
    ASSERT_EQ(b.Operation(5, 0x100, 0x100), 0);
    for (uint32_t a = 0x100; a < 0x200; ++a) ASSERT_EQ(FlashChipOf(b).Cell(a), data[a]) << a;
}

// Every byte takes its first pulse (a pulse shorter than the chip's 10 us
// programs nothing and costs retries), no verify read comes before the
// chip's 6 us margin-voltage settling (an earlier one sees no valid data
// and fails program and erase verify), and the
// loops cost what the protocol needs: about 71 us of port time per written
// byte and 51 us per erase-verified address on top of it.
TEST(ZVFLASHSim, OnePulsePerByteAtTheProtocolsCost) {
    constexpr uint32_t kBytes = 0x400;
    SimBench b(Flash("Intel", "P28F010", kBytes));
    b.buffer = RandomBytes(b.buffer.size(), 22);
    for (auto& v : b.buffer) v &= 0x7F;  // no byte left erased: each one takes a pulse
    uint64_t start = b.sim.VirtualNs();
    ASSERT_EQ(b.Operation(5, 0, kBytes), 0);
    const uint64_t write = b.sim.VirtualNs() - start;
    EXPECT_EQ(FlashChipOf(b).ProgramPulses(), kBytes);
    EXPECT_EQ(FlashChipOf(b).EarlyVerifyReads(), 0u);
    constexpr uint64_t kPowerUpNs = 800'000'000;
    EXPECT_LE(write, kPowerUpNs + kBytes * 73'000ull);
    start = b.sim.VirtualNs();
    ASSERT_EQ(b.Operation(7, 0, kBytes), 0);
    const uint64_t erase = b.sim.VirtualNs() - start;
    EXPECT_EQ(FlashChipOf(b).EarlyVerifyReads(), 0u);
    EXPECT_EQ(FlashChipOf(b).EraseVerifyReads(), kBytes);
    EXPECT_LE(erase, kPowerUpNs + 10'000'000 + kBytes * (73'000ull + 53'000ull));
    EXPECT_EQ(b.Operation(9, 0, kBytes), 0);
}

TEST(ZVFLASHSim, EraseVerifiedAfterTheFirstPulse) {
    SimBench b(Flash());
    b.buffer = RandomBytes(b.buffer.size(), 8);
    ASSERT_EQ(b.Operation(5, 0, k28F010), 0);
    const uint32_t programmed = FlashChipOf(b).ProgramPulses();
    b.log.clear();
    // The range is ignored: the whole device is cleared and erased.
    EXPECT_EQ(b.Operation(7, 0x100, 0x10), 0);
    EXPECT_EQ(b.log.lines(),
              (Lines{"Every byte programmed to 00 before the erase", "Erased: every byte reads FF after 1 erase pulses"}));
    FlashChip& chip = FlashChipOf(b);
    EXPECT_EQ(chip.ProgramPulses() - programmed, k28F010) << "every byte pre-programmed once";
    EXPECT_EQ(chip.ErasePulses(), 1u);
    EXPECT_EQ(chip.EraseVerifyReads(), k28F010);
    EXPECT_EQ(chip.LastCommand(), 0x00) << "back to reading";
    EXPECT_FALSE(chip.OverErased());
    EXPECT_EQ(b.Operation(9, 0, k28F010), 0);
    EXPECT_EQ(b.sim.Vpp(), 0.0);
}

TEST(ZVFLASHSim, EraseVerifyResumesWhereTheByteFailed) {
    SimBench b(Flash());
    FlashChipOf(b).SetSlowEraseByte(0x100, 3);  // reads 7F after the first and second pulse
    EXPECT_EQ(b.Operation(7, 0, k28F010), 0);
    FlashChip& chip = FlashChipOf(b);
    EXPECT_EQ(chip.ErasePulses(), 3u);
    EXPECT_EQ(chip.EraseVerifyFailures(), 2u);
    // 0 to 100, 100 again, then 100 to the end: never from the start again.
    EXPECT_EQ(chip.EraseVerifyReads(), 0x101u + 1u + (k28F010 - 0x100));
    EXPECT_EQ(b.Operation(9, 0, k28F010), 0);
}

TEST(ZVFLASHSim, ErasePulsesFaultAndNeverErases) {
    {
        SimBench b(Flash());
        b.Fault("erase-pulses:7");
        EXPECT_EQ(b.Operation(7, 0, 1), 0);
        EXPECT_EQ(FlashChipOf(b).ErasePulses(), 7u);
        EXPECT_EQ(b.Operation(9, 0, k28F010), 0);
    }
    SimBench b(Flash("ST", "M28F101"));
    b.Fault("never-erases");
    EXPECT_EQ(b.Operation(7, 0, k28F010), 3);
    EXPECT_EQ(FlashChipOf(b).ErasePulses(), 1000u);
    EXPECT_EQ(FlashChipOf(b).EraseVerifyReads(), 1000u) << "each pass stops at address 0";
    EXPECT_EQ(b.log.lines(),
              (Lines{"Every byte programmed to 00 before the erase",
                     "The chip did not erase: the byte at 000000 does not read FF after 1000 erase pulses"}))
        << "the clearing's line, then the erase's failure";
    EXPECT_EQ(b.sim.Vpp(), 0.0);

    // The line names the first byte that stayed, not where the scan began.
    SimBench slow(Flash());
    FlashChipOf(slow).SetSlowEraseByte(0x100, 2000);
    EXPECT_EQ(slow.Operation(7, 0, k28F010), 3);
    EXPECT_EQ(Last(slow.log.lines()),
              "The chip did not erase: the byte at 000100 does not read FF after 1000 erase pulses");
}

TEST(ZVFLASHSim, WeakCellsTakeSeveralPulses) {
    SimBench b(Flash());
    b.WeakCells({{0x10, 3}});
    b.buffer.assign(b.buffer.size(), 0x5A);
    ASSERT_EQ(b.Operation(5, 0, 0x20), 0);
    EXPECT_EQ(b.log.lines(), (Lines{"Verify error at 000010 Read:FF File:5A retry 0",
                                    "Verify error at 000010 Read:FF File:5A retry 1", kNoErrors}));
    EXPECT_EQ(FlashChipOf(b).Cell(0x10), 0x5A);
}

TEST(ZVFLASHSim, DeadCellStopsTheEraseBeforeAnyPulse) {
    DeviceRecord r = Flash();
    r.retry = 2;
    SimBench b(r);
    b.DeadCells({0x20, 0x30});
    EXPECT_EQ(b.Operation(7, 0, k28F010, 2), 3);
    EXPECT_EQ(b.log.lines(), (Lines{"Verify error at 000020 Read:FF File:00 retry 0",
                                    "Verify error at 000020 Read:FF File:00 retry 1", "Verify error at 000020",
                                    "Verify error at 000030 Read:FF File:00 retry 0",
                                    "Verify error at 000030 Read:FF File:00 retry 1",
                                    "Errors during the write: 2",
                                    "Too many errors: stopped"}));
    EXPECT_EQ(FlashChipOf(b).ErasePulses(), 0u);
    EXPECT_EQ(FlashChipOf(b).Cell(0x31), 0xFF) << "the clearing stopped at the limit";
    EXPECT_FALSE(FlashChipOf(b).OverErased());
}

// Forwards to the simulator and, the first time `when` holds after a
// register access, cancels the running operation (or does `then`).
class FlashCancellingPort : public PortIo {
public:
    FlashCancellingPort(SimBench& b, std::function<bool()> when, std::function<void()> then = {})
        : b_(b), when_(std::move(when)), then_(std::move(then)) {}
    uint8_t read(uint16_t a) override {
        const uint8_t v = b_.sim.read(a);
        Check();
        return v;
    }
    void write(uint16_t a, uint8_t v) override {
        b_.sim.write(a, v);
        Check();
    }

private:
    void Check() {
        if (!fired_ && when_()) {
            fired_ = true;
            if (then_)
                then_();
            else
                b_.link.CancelOperation();
        }
    }
    SimBench& b_;
    std::function<bool()> when_;
    std::function<void()> then_;
    bool fired_ = false;
};

TEST(ZVFLASHSim, CancelIsTestedBeforeEveryUnitPulseAndVerifyRead) {
    {  // in the pre-programming: the byte in hand is finished, no pulse follows
        SimBench b(Flash());
        FlashCancellingPort port(b, [&] { return FlashChipOf(b).ProgramPulses() >= 0x100; });
        b.link.port = &port;
        EXPECT_EQ(b.Operation(7, 0, k28F010), 1);
        EXPECT_EQ(FlashChipOf(b).ProgramPulses(), 0x100u);
        EXPECT_EQ(FlashChipOf(b).ErasePulses(), 0u);
        EXPECT_EQ(b.sim.Vpp(), 0.0);
    }
    {  // between erase pulses
        SimBench b(Flash());
        FlashChipOf(b).SetSlowEraseByte(0x100, 3);
        FlashCancellingPort port(b, [&] { return FlashChipOf(b).EraseVerifyFailures() >= 1; });
        b.link.port = &port;
        EXPECT_EQ(b.Operation(7, 0, k28F010), 1);
        EXPECT_EQ(FlashChipOf(b).ErasePulses(), 1u);
        EXPECT_EQ(b.sim.Vpp(), 0.0);
        EXPECT_EQ(b.CountLines("The chip did not erase"), 0u) << "a cancelled erase has not failed";
    }
    {  // in the erase-verify scan
        SimBench b(Flash());
        FlashCancellingPort port(b, [&] { return FlashChipOf(b).EraseVerifyReads() >= 0x80; });
        b.link.port = &port;
        EXPECT_EQ(b.Operation(7, 0, k28F010), 1);
        EXPECT_EQ(FlashChipOf(b).EraseVerifyReads(), 0x80u);
        EXPECT_EQ(FlashChipOf(b).ErasePulses(), 1u);
        EXPECT_NE(FlashChipOf(b).LastCommand(), 0x00);
    }
}

TEST(ZVFLASHSim, ProgrammerThatStopsAnsweringMidEraseEndsItAtOnce) {
    SimBench b(Flash());
    b.ExpectBreaches();  // frames sent to a programmer that stays busy
    b.Fault("never-erases");
    FlashCancellingPort port(b, [&] { return FlashChipOf(b).ErasePulses() >= 2; }, [&] { b.sim.SetStaysBusy(true); });
    b.link.port = &port;
    EXPECT_EQ(b.Operation(7, 0, k28F010), 4);
    EXPECT_EQ(FlashChipOf(b).ErasePulses(), 2u) << "no pass after the programmer fell silent";
    EXPECT_EQ(Last(b.log.lines()), "KRT does not report ready (no answer for 2 seconds).");
}

TEST(ZVFLASHSim, OperationsTheFamilyDoesNotHave) {
    SimBench b(Flash());
    EXPECT_EQ(b.Operation(8, 0, 1), 9);
    EXPECT_EQ(b.Operation(10, 0, 1), 8);
    b.record.maxsize = 0;
    EXPECT_EQ(b.Operation(7, 0, 1), 2);
}

}  // namespace
}  // namespace krt::test
