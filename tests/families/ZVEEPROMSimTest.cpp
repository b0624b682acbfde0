// SPDX-License-Identifier: GPL-3.0-or-later
// The parallel EEPROM family end to end through Dispatch on the simulated
// programmer with 28C chip models: each wait mode against a chip that has
// its signal, page chunks, retries and the recovery power cycle, erase,
// software data protection, a chip that never finishes, and cancel inside
// a completion wait.
#include <gtest/gtest.h>

#include <chrono>

#include "FamilyTestSupport.h"
#include "SimBench.h"
#include "catalogue/DeviceLoader.h"
#include "catalogue/TextLines.h"
#include "families/ZVEEPROM.h"
#include "sim/chips/EepromChip.h"

namespace krt::test {
namespace {

DeviceRecord Eeprom(const char* name, uint32_t bytes, uint32_t page, double tpw, uint8_t mode) {
    DeviceRecord r;
    r.name = name;
    r.type = "EEPROM";
    r.manufacture = "Atmel";
    r.maxsize = r.bufsize = bytes;
    r.pagesize = page;
    r.tpw = tpw;
    r.tpr = 1e-6;
    r.retry = 3;
    r.verify = 1;
    r.typecode = 0x12;
    r.waitmode = mode;
    r.ahand = r.amand = r.aland = r.dhand = r.dland = 0xFF;
    r.VppR = r.VccR = r.VppW = r.VccW = 5.0;
    r.bytesPerWord = 1;
    return r;
}
DeviceRecord At28c256(uint8_t mode) { return Eeprom("AT28C256", 0x8000, 64, 10e-3, mode); }
// A part with the signal the wait mode watches: the AT28C64's RDY/BUSY pin.
DeviceRecord PartFor(uint8_t mode) { return mode == 1 ? Eeprom("AT28C64", 0x2000, 1, 1e-3, 1) : At28c256(mode); }

// A chip whose write cycle never ends, and a buffer of 00h to write to it.
struct NeverReadyBench : SimBench {
    explicit NeverReadyBench(const DeviceRecord& r) : SimBench(r) {
        Fault("never-ready");
        buffer.assign(buffer.size(), 0x00);
    }
};

EepromChip& EepromChipOf(SimBench& b) { return *dynamic_cast<EepromChip*>(b.sim.SocketChip()); }

// Writes random data over [start, start + length), then checks the cells,
// a read-back and a verify; nothing outside the range may change.
void EepromRoundTrip(const DeviceRecord& record, uint32_t start, uint32_t length, uint32_t seed) {
    SimBench b(record);
    const auto data = RandomBytes(b.buffer.size(), seed);
    b.buffer = data;
    ASSERT_EQ(b.Operation(5, start, length), 0) << "mode " << int(record.waitmode);
    EXPECT_EQ(b.log.lines(), Lines{"Written without errors."});
    for (uint32_t a = 0; a < record.maxsize; ++a)
        ASSERT_EQ(EepromChipOf(b).Cell(a), a >= start && a < start + length ? data[a] : 0xFF) << "address " << a;
    b.buffer.assign(b.buffer.size(), 0xEE);
    ASSERT_EQ(b.Operation(4, start, length), 0);
    b.buffer = data;
    EXPECT_EQ(b.Operation(6, start, length), 0);
}

TEST(ZVEEPROMSim, EachWaitModeWritesAgainstAChipWithItsSignal) {
    EepromRoundTrip(At28c256(0), 0x30, 0x1000, 1);                               // programmer's timer, tpw 10 ms
    EepromRoundTrip(PartFor(1), 0x1F00, 0x100, 2);                             // RDY/BUSY
    EepromRoundTrip(At28c256(2), 0x7000, 0x1000, 3);                             // toggle bit
    EepromRoundTrip(Eeprom("AT28C16", 0x800, 1, 1e-3, 3), 0, 0x800, 4);          // DATA polling
    EepromRoundTrip(At28c256(3), 0, 0x8000, 5);                                  // the whole device
    EepromRoundTrip(At28c256(4), 0x10, 0x1000, 6);                               // the computer's 20 ms
    EepromRoundTrip(Eeprom("AT28C040", 0x80000, 256, 10e-3, 3), 0x7FD80, 0x200, 7);
}

TEST(ZVEEPROMSim, ChunksNeverCrossAPageAndStopAtTheRangeEnd) {
    struct Case {
        uint32_t start, length, cycles;
        uint8_t mode, verify;
    };
    // 0x30-0x3F and 0x40-0x4F; 0-63 and 64-99. With verify off and a fixed
    // wait nothing else sets the short strobe timer between pages: a page's
    // bytes strobed with the write-cycle timer would each outlast the
    // byte-load window and cost a cycle of their own.
    for (const Case& c : {Case{0x30, 0x20, 2, 3, 1}, Case{0, 100, 2, 3, 1}, Case{0x30, 0x20, 2, 0, 0},
                          Case{0x30, 0x20, 2, 4, 0}}) {
        DeviceRecord r = At28c256(c.mode);
        r.verify = c.verify;
        SimBench b(r);
        b.buffer = RandomBytes(b.buffer.size(), c.start);
        ASSERT_EQ(b.Operation(5, c.start, c.length), 0);
        EXPECT_EQ(EepromChipOf(b).Cycles(), c.cycles) << "mode " << int(c.mode) << ", verify " << int(c.verify);
        for (uint32_t a = c.start; a < c.start + c.length; ++a) ASSERT_EQ(EepromChipOf(b).Cell(a), b.buffer[a]) << a;
        EXPECT_EQ(EepromChipOf(b).Cell(c.start + c.length), 0xFF);
        EXPECT_EQ(EepromChipOf(b).Cell(c.start + c.length - 1), b.buffer[c.start + c.length - 1]);
    }
    // Page size 1: every byte has its own write cycle.
    DeviceRecord r = At28c256(3);
    r.pagesize = 1;
    SimBench b(r);
    b.buffer = RandomBytes(b.buffer.size(), 9);
    ASSERT_EQ(b.Operation(5, 0x3E, 5), 0);
    EXPECT_EQ(EepromChipOf(b).Cycles(), 5u);
}

TEST(ZVEEPROMSim, APageThatNeverVerifiesCostsRetryWritesOneLineAndAPowerCycle) {
    SimBench b(At28c256(3));
    b.DeadCells({0x45});
    b.buffer.assign(b.buffer.size(), 0x00);
    EXPECT_EQ(b.Operation(5, 0, 0x100, 1), 3);
    EXPECT_EQ(b.log.lines(), (Lines{"Verify error at 000040 page", "Errors during the write: 1",
                                    "Too many errors: stopped"}));
    EXPECT_EQ(EepromChipOf(b).Cycles(), 1u + 3u);    // page 0, then three attempts at page 0x40
    EXPECT_EQ(EepromChipOf(b).Cell(0x80), 0xFF);     // the write ended there
    EXPECT_EQ(EepromChipOf(b).Cell(0x44), 0x00);

    // With more errors permitted the write goes on after the power cycle.
    b.log.clear();
    EXPECT_EQ(b.Operation(5, 0, 0x100), 3);
    EXPECT_EQ(EepromChipOf(b).Cell(0xFF), 0x00);
    // A weak cell that takes its value on the second attempt is no error.
    b.WeakCells({{0x10, 2}});
    b.buffer.assign(b.buffer.size(), 0x5A);
    b.log.clear();
    EXPECT_EQ(b.Operation(5, 0, 0x40), 0);
    EXPECT_EQ(EepromChipOf(b).Cell(0x10), 0x5A);
}

TEST(ZVEEPROMSim, EraseWritesFFAndLeavesTheBufferAsItWas) {
    SimBench b(At28c256(3));
    b.buffer = RandomBytes(b.buffer.size(), 11);
    ASSERT_EQ(b.Operation(5, 0, 0x8000), 0);
    const auto held = b.buffer;
    EXPECT_EQ(b.Operation(7, 0x20, 0), 2);
    EXPECT_EQ(b.buffer, held);
    EXPECT_EQ(b.Operation(7, 0x20, 0x100), 0);
    EXPECT_EQ(b.buffer, held);
    for (uint32_t a : {0x1Fu, 0x20u, 0x11Fu, 0x120u})
        EXPECT_EQ(EepromChipOf(b).Cell(a), a >= 0x20 && a < 0x120 ? 0xFF : held[a]) << a;
    EXPECT_EQ(b.Operation(9, 0x20, 0x100), 0);  // blank
    // An erase that fails keeps the buffer too.
    b.Fault("never-ready");
    EXPECT_EQ(b.Operation(7, 0, 0x8000), 4);
    EXPECT_EQ(b.buffer, held);
}

TEST(ZVEEPROMSim, ProtectedChipFailsWithTheHintUntilProtectionIsOff) {
    SimBench b(At28c256(4));
    b.Fault("sdp-locked");
    b.buffer = RandomBytes(b.buffer.size(), 12);
    EXPECT_EQ(b.Operation(5, 0, 0x100, 1), 3);
    EXPECT_EQ(b.log.lines(),
              (Lines{"Verify error at 000000 page",
                     "Not one byte of the page at 000000 changed: the chip is probably software data protected. "
                     "To turn the protection off: krt sdp off EEPROM Atmel AT28C256",
                     "Errors during the write: 1", "Too many errors: stopped"}));
    EXPECT_EQ(EepromChipOf(b).Cell(0), 0xFF);

    EXPECT_TRUE(b.link.protectionSuspected);

    // With errors permitted, the write still stops at the first page that
    // kept its old data, rather than failing every page after it.
    b.log.clear();
    EXPECT_EQ(b.Operation(5, 0, 0x400, 100), 3);
    EXPECT_EQ(b.log.lines(),
              (Lines{"Verify error at 000000 page",
                     "Not one byte of the page at 000000 changed: the chip is probably software data protected. "
                     "To turn the protection off: krt sdp off EEPROM Atmel AT28C256",
                     "Errors during the write: 1"}));
    EXPECT_TRUE(b.link.protectionSuspected);

    b.log.clear();
    EXPECT_EQ(RunProtectionOperation(b.link, b.record, false), 0);
    EXPECT_EQ(b.log.lines(), Lines{"Software data protection is off (a test write at 007FFF took effect; its old "
                                   "value was put back)"});
    EXPECT_FALSE(EepromChipOf(b).Protected());
    EXPECT_EQ(EepromChipOf(b).Cell(0x7FFF), 0xFF);
    EXPECT_EQ(b.Operation(5, 0, 0x100), 0);
    EXPECT_FALSE(b.link.protectionSuspected);

    // Turned on again, the chip keeps its data and refuses plain writes.
    b.log.clear();
    EXPECT_EQ(RunProtectionOperation(b.link, b.record, true), 0);
    EXPECT_TRUE(EepromChipOf(b).Protected());
    EXPECT_EQ(b.log.lines(), Lines{"Software data protection is on (a test write at 007FFF was ignored)"});
    EXPECT_EQ(b.Operation(6, 0, 0x100), 0);
}

// A first page that already held the file's data proves nothing about
// protection: the pages after it are still watched and get the hint.
TEST(ZVEEPROMSim, HintComesAfterAFirstPageThatAlreadyHeldItsData) {
    SimBench b(At28c256(4));
    b.Fault("sdp-locked");
    b.buffer = RandomBytes(b.buffer.size(), 14);
    std::fill(b.buffer.begin(), b.buffer.begin() + 64, 0xFF);  // what the blank chip holds
    EXPECT_EQ(b.Operation(5, 0, 0x100, 100), 3);
    EXPECT_EQ(b.CountLines("Not one byte of the page at 000040 changed"), 1u);
    EXPECT_TRUE(b.link.protectionSuspected);
}

// The protection sequences reach an 8K part at its own 1555h and 0AAAh,
// and the state is judged after the chip has ended its cycle, even when the
// record's write time is shorter than the chip's (here at its maximum).
TEST(ZVEEPROMSim, ProtectionCommandWaitsForTheChipOnEveryPartSize) {
    for (const auto& [name, bytes] : {std::pair{"AT28C64B", 0x2000u}, std::pair{"AT28C256", 0x8000u}}) {
        DeviceRecord r = Eeprom(name, bytes, 64, 1e-3, 4);
        r.sdp = 1;
        SimBench b(r);
        b.Fault("slow-write");
        EXPECT_EQ(RunProtectionOperation(b.link, b.record, true), 0) << name;
        EXPECT_TRUE(EepromChipOf(b).Protected()) << name;
        EXPECT_EQ(RunProtectionOperation(b.link, b.record, false), 0) << name;
        EXPECT_FALSE(EepromChipOf(b).Protected()) << name;
        EXPECT_EQ(EepromChipOf(b).Cell(bytes - 1), 0xFF) << name << ": the test byte put back";
    }
}

// On a part without protection every strobe writes a byte: the protection
// command is refused before the chip is powered, and a failed page does not
// send the user to it.
TEST(ZVEEPROMSim, PartWithoutProtectionRefusesTheCommandAndGivesNoHint) {
    DeviceRecord r = Eeprom("AT28C16", 0x800, 1, 1e-3, 4);
    r.sdp = 0;
    SimBench b(r);
    EepromChipOf(b).SetCell(0x555, 0x12);
    const uint64_t frames = b.sim.Frames();
    for (bool enable : {false, true}) {
        EXPECT_EQ(RunProtectionOperation(b.link, b.record, enable), 9);
        EXPECT_EQ(b.log.lines(), Lines{"This part has no software data protection: there is nothing to turn on or off"});
        b.log.clear();
    }
    EXPECT_EQ(b.sim.Frames(), frames);
    EXPECT_EQ(EepromChipOf(b).Cell(0x555), 0x12);
    EXPECT_EQ(EepromChipOf(b).Cycles(), 0u);

    b.DeadCells({0x00});  // the first page, which is watched for protection
    b.buffer.assign(b.buffer.size(), 0x00);
    EXPECT_EQ(b.Operation(5, 0, 0x20), 3);
    EXPECT_EQ(b.log.lines(), (Lines{"Verify error at 000000 page", "Errors during the write: 1"}));
}

// The catalogue's protection key and the chip models, both from the
// datasheets, agree for every shipped parallel EEPROM.
TEST(ZVEEPROMSim, ShippedProtectionKeyMatchesTheDatasheetModels) {
    CollectingLog log;
    Catalogue catalogue;
    ASSERT_TRUE(OpenCatalogue(std::string(KRT_SOURCE_DIR) + "/devices", &log, catalogue));
    const DeviceList& list = catalogue.list;
    int seen = 0;
    for (int32_t i = 0; i < list.count; ++i) {
        if (!EqualsNoCase(list.types[i], "EEPROM")) continue;
        DeviceRecord record;
        ASSERT_TRUE(LoadDeviceRecord(list, catalogue.directory, list.types[i], list.makers[i], list.names[i], 1,
                                     &log, record)
                        .selected);
        EepromFacts facts;
        ASSERT_TRUE(LookUpEepromPart(record.name, facts)) << record.name;
        EXPECT_EQ(record.sdp != 0, facts.protection) << record.name;
        ++seen;
    }
    EXPECT_GE(seen, 8);
}

// Polling waits for the last byte of the page; a cell there that does not
// take its value is a verify error of that page once the toggle bit shows
// the chip has finished, and the write goes on.
TEST(ZVEEPROMSim, PollingOnAStuckLastCellIsAVerifyErrorOfThatPage) {
    DeviceRecord r = At28c256(3);
    r.retry = 1;
    SimBench b(r);
    b.DeadCells({0x7F});
    b.buffer.assign(b.buffer.size(), 0x00);
    EXPECT_EQ(b.Operation(5, 0, 0x100), 3);
    EXPECT_EQ(b.log.lines(), (Lines{"Verify error at 000040 page", "Errors during the write: 1"}));
    EXPECT_EQ(EepromChipOf(b).Cell(0xFF), 0x00) << "the pages after it are written";
    EXPECT_EQ(EepromChipOf(b).Cell(0x7E), 0x00);

    // A part without a toggle bit whose cycle never ends still shows DATA
    // polling after the bound: that is no verify error but the time-out.
    NeverReadyBench slow(Eeprom("AT28C16", 0x800, 1, 1e-3, 3));
    EXPECT_EQ(slow.Operation(5, 0x10, 0x10), 4);
    EXPECT_EQ(slow.log.lines(), Lines{"EEPROM write cycle did not end within 100 ms at 000010 (data polling)"});
}

// The write cycle starts when the byte-load window closes: the timer mode
// waits tpw after that, so a chip at its datasheet maximum passes.
TEST(ZVEEPROMSim, TimerModeWaitsOutTheByteLoadWindowToo) {
    SimBench b(At28c256(0));
    b.Fault("slow-write");
    b.buffer = RandomBytes(b.buffer.size(), 13);
    EXPECT_EQ(b.Operation(5, 0, 0x100), 0);
    EXPECT_EQ(b.log.lines(), Lines{"Written without errors."});
    EXPECT_EQ(EepromChipOf(b).Cycles(), 4u);
}

TEST(ZVEEPROMSim, ChipThatNeverFinishesEndsWithFourWithinTheBound) {
    struct Case {
        uint8_t mode;
        const char* line;
    };
    for (const Case& c : {Case{1, "EEPROM write cycle did not end within 100 ms at 000040 (busy flag)"},
                          Case{2, "EEPROM write cycle did not end within 100 ms at 000040 (toggle bit)"},
                          Case{3, "EEPROM write cycle did not end within 100 ms at 000040 (data polling)"},
                          Case{4, "EEPROM write cycle did not end within 100 ms at 000040 (Windows timer)"}}) {
        NeverReadyBench b(PartFor(c.mode));
        const auto before = b.sim.now();
        EXPECT_EQ(b.Operation(5, 0x40, 0x100), 4) << int(c.mode);
        EXPECT_EQ(b.log.lines(), Lines{c.line});
        EXPECT_LT(b.sim.now() - before, std::chrono::seconds(2)) << int(c.mode);  // virtual time
        EXPECT_EQ(b.sim.Vcc(), 0.0);
    }
}

// Forwards to the simulator and cancels the running operation once the
// chip has been in its write cycle for `reads` status reads.
class EepromCancellingPort : public PortIo {
public:
    EepromCancellingPort(SimBench& b, unsigned reads) : b_(b), reads_(reads) {}
    uint8_t read(uint16_t a) override {
        const uint8_t v = b_.sim.read(a);
        if (EepromChipOf(b_).Busy(b_.sim.VirtualNs()) && --reads_ == 0) b_.link.CancelOperation();
        return v;
    }
    void write(uint16_t a, uint8_t v) override { b_.sim.write(a, v); }

private:
    SimBench& b_;
    unsigned reads_;
};

TEST(ZVEEPROMSim, CancelEndsACompletionWaitAtOnce) {
    for (uint8_t mode : {1, 2, 3}) {
        NeverReadyBench b(PartFor(mode));
        EepromCancellingPort port(b, 200);  // well inside the wait, many reads after the first
        b.link.port = &port;
        const auto before = b.sim.now();
        EXPECT_EQ(b.Operation(5, 0, 0x100), 1) << int(mode);
        // No time-out, no error line, no power cycle: only how far it got.
        ASSERT_EQ(b.log.lines().size(), 1u) << int(mode);
        EXPECT_EQ(b.log.lines()[0].rfind("Write cancelled at 0000", 0), 0u) << b.log.lines()[0];
        EXPECT_LT(b.sim.now() - before, std::chrono::milliseconds(900)) << int(mode);
    }
}

}  // namespace
}  // namespace krt::test
