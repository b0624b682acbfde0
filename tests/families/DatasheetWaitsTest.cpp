// SPDX-License-Identifier: GPL-3.0-or-later
// The datasheet waits of the catalogue: a record without our keys runs
// exactly as before (same port accesses, same virtual time), the keys make
// the operation shorter, and a wait shorter than the chip needs fails.
#include <gtest/gtest.h>

#include <functional>

#include "PicTestSupport.h"
#include "SimBench.h"
#include "base/TypeCodes.h"
#include "ZVSEEPTestSupport.h"
#include "sim/chips/EepromChip.h"
#include "sim/chips/GalChip.h"
#include "sim/chips/SerialEepromChips.h"
#include "support/ShippedRecord.h"

namespace krt::test {
namespace {

// Forwards to the simulated programmer and folds every access into a hash.
struct HashingPort : PortIo {
    PortIo* inner = nullptr;
    uint64_t hash = 14695981039346656037ull;
    void Mix(uint64_t v) { hash = (hash ^ v) * 1099511628211ull; }
    uint8_t read(uint16_t address) override {
        const uint8_t v = inner->read(address);
        Mix(0x10000u | address);
        Mix(v);
        return v;
    }
    void write(uint16_t address, uint8_t value) override {
        Mix(0x20000u | address);
        Mix(value);
        inner->write(address, value);
    }
};

struct Outcome {
    uint64_t hash = 0;
    uint64_t ns = 0;
    uint8_t result = 0xFF;
};

Outcome RunOnce(const DeviceRecord& record, uint8_t code, uint32_t length) {
    SimBench b(record);
    b.buffer = RandomBytes(b.buffer.size(), 5);
    for (size_t i = 0; i + 1 < b.buffer.size() && record.typecode == 4; i += 2)
        b.buffer[i] &= i >= kPicDataEepromByte ? 0x00 : 0x3F;  // data-EEPROM words hold a byte
    HashingPort port;
    port.inner = &b.sim;
    b.link.port = &port;
    const uint64_t start = b.sim.VirtualNs();
    Outcome run;
    run.result = b.Operation(code, 0, length);
    run.ns = b.sim.VirtualNs() - start;
    run.hash = port.hash;
    return run;
}

// Keys set to the fixed waits give the very run of a record without them.
TEST(DatasheetWaits, WithoutTheKeysEveryFamilyRunsAsBefore) {
    struct Case {
        const char* what;
        DeviceRecord plain;
        std::function<void(DeviceRecord&)> oldValues;
        uint8_t code;
        uint32_t length;
    };
    DeviceRecord gal = ShippedRecord("GAL", "Lattice", "GAL16V8");
    gal.erasepulse = gal.galsettle = gal.galentry = gal.galdown = -1.0;
    const Case cases[] = {
        {"PIC write", PicRecord("PIC16F84A"), [](DeviceRecord& r) { r.picprog = 0.05; r.picgap = 0.001; r.picsettle = 0.5; }, 5, 4},
        {"three-wire write", ThreeWireEeprom("93C46", 64, 6), [](DeviceRecord& r) { r.readywait = 0.015; }, 5, 4},
        {"GAL erase", gal, [](DeviceRecord& r) { r.galsettle = 0.1; r.galentry = 1.0; r.galdown = 0.5; }, 7, 1},
    };
    for (const Case& c : cases) {
        DeviceRecord keyed = c.plain;
        c.oldValues(keyed);
        const Outcome before = RunOnce(c.plain, c.code, c.length);
        const Outcome after = RunOnce(keyed, c.code, c.length);
        EXPECT_EQ(before.result, 0) << c.what;
        EXPECT_EQ(after.result, 0) << c.what;
        EXPECT_EQ(before.ns, after.ns) << c.what;
        EXPECT_EQ(before.hash, after.hash) << c.what;
    }
}

// The GAL's wait before power-down is the record's after a write and an
// erase alike.
TEST(DatasheetWaits, GalPowerDownWaitIsTheRecords) {
    for (const auto& [what, code] : {std::pair{"write", 5}, std::pair{"erase", 7}}) {
        DeviceRecord r = ShippedRecord("GAL", "Lattice", "GAL16V8");
        r.galdown = 0.1;
        const Outcome shorter = RunOnce(r, static_cast<uint8_t>(code), 1);
        r.galdown = 0.6;
        const Outcome longer = RunOnce(r, static_cast<uint8_t>(code), 1);
        EXPECT_EQ(longer.result, shorter.result) << what;
        EXPECT_EQ(longer.ns - shorter.ns, 500'000'000u) << what;
    }
}

// The PIC16F84A programs a word in 8 ms: the shipped wait writes it, a wait
// below that cuts every cycle short and the write fails.
TEST(DatasheetWaits, PicProgrammingWaitAgainstTheChipsTime) {
    DeviceRecord r = ShippedRecord("PIC", "Microchip", "PIC16F84A");
    ASSERT_GE(r.picprog, 0.008);
    const Outcome shipped = RunOnce(r, 5, 8);
    EXPECT_EQ(shipped.result, 0);
    r.picprog = 0.007;
    EXPECT_EQ(RunOnce(r, 5, 8).result, 3);
    DeviceRecord plain = PicRecord("PIC16F84A");
    plain.bufsize = r.bufsize;  // the same memories written, the same identity read
    plain.idcheck = r.idcheck;
    EXPECT_LT(shipped.ns, RunOnce(plain, 5, 8).ns);
}

// Three-wire: the ready poll at once and ERAL for the whole chip.
TEST(DatasheetWaits, ThreeWireEraseAllAndReadyAtOnce) {
    DeviceRecord r = ShippedRecord("SEEPROM", "Microchip", "93C46");
    ASSERT_GE(r.eraltime, 0.0);
    ASSERT_GE(r.readywait, 0.0);
    SimBench b(r);
    b.buffer = RandomBytes(b.buffer.size(), 9);
    ASSERT_EQ(b.Operation(5, 0, 64), 0);
    auto& chip = *dynamic_cast<ThreeWireEepromChip*>(b.sim.SocketChip());
    const uint64_t cycles = chip.WriteCycles();
    ASSERT_EQ(b.Operation(7, 0, 64), 0);
    EXPECT_EQ(chip.WriteCycles() - cycles, 1u) << "one ERAL";
    EXPECT_EQ(b.Operation(9, 0, 64), 0);
}

// The two-wire byte write reads nothing back, nor does the page write
// without the verify flag: the last cycle (the model's tWR maximum) must end
// before the power-down, or the last byte or page is lost.
TEST(DatasheetWaits, TwoWireWriteKeepsItsLastCycle) {
    for (const auto& [pagewrite, verify] : {std::pair{0, 1}, std::pair{1, 0}}) {
        DeviceRecord r = TwoWireEeprom("24C02", 256, 8);
        r.pagewrite = pagewrite;
        r.verify = verify;
        SimBench b(r);
        b.buffer = RandomBytes(b.buffer.size(), 11);
        b.buffer[0x13] = 0x00;
        const std::string which = "pagewrite " + std::to_string(pagewrite) + " verify " + std::to_string(verify);
        ASSERT_EQ(b.Operation(5, 0x10, 4), 0) << which;
        auto& chip = *dynamic_cast<TwoWireEepromChip*>(b.sim.SocketChip());
        EXPECT_EQ(chip.LostWrites(), 0u) << which;
        EXPECT_EQ(chip.Cell(0x13), 0x00) << "the last byte written, " << which;
        EXPECT_FALSE(b.sim.AuxOutput()) << "powered down after it, " << which;
    }
}

// Erase by bytes, and with page write a page per write cycle; either way the
// last cycle ends before the power-down, also without the verify flag, when
// no read-back follows the last write.
TEST(DatasheetWaits, TwoWireEraseByBytesOrPagesKeepsItsLastCycle) {
    for (int verify : {1, 0}) {
        for (const auto& [pagewrite, cycles] : {std::pair{0, 128u}, std::pair{1, 16u}}) {
            DeviceRecord r = TwoWireEeprom("24C01", 128, 8);
            r.pagewrite = pagewrite;
            r.verify = verify;
            SimBench b(r);
            auto& chip = *dynamic_cast<TwoWireEepromChip*>(b.sim.SocketChip());
            for (uint32_t a = 0; a < 128; ++a) chip.SetCell(a, static_cast<uint8_t>(a));
            const std::string which = "pagewrite " + std::to_string(pagewrite) + " verify " + std::to_string(verify);
            ASSERT_EQ(b.Operation(7, 0, 128), 0) << which;
            EXPECT_EQ(chip.WriteCycles(), cycles) << which;
            EXPECT_EQ(chip.LostWrites(), 0u) << which;
            EXPECT_EQ(chip.Cell(127), 0xFF) << which;
            EXPECT_EQ(b.Operation(9, 0, 128), 0) << which;
        }
    }
}

// A three-wire chip that never ends its cycle: the erase gives up with 4 and
// still powers the programmer down (LinkReset leaves the timer at 2 counts
// and the supplies cleared), on both erase paths.
TEST(DatasheetWaits, ThreeWireEraseThatGivesUpStillPowersDown) {
    for (double eral : {-1.0, 0.006}) {
        DeviceRecord r = ThreeWireEeprom("93C46", 64, 6);
        r.eraltime = eral;
        r.readywait = 0.0;
        SimBench b(r);
        std::string error;
        ASSERT_TRUE(b.sim.ApplyFault("never-ready", error)) << error;
        EXPECT_EQ(b.Operation(7, 0, 64), 4) << eral;
        EXPECT_EQ(b.sim.TimerHigh(), 0) << eral;
        EXPECT_EQ(b.sim.TimerLow(), 2) << eral;
        EXPECT_EQ(b.sim.Vcc(), 0.0) << eral;
    }
}

// Wait mode 4 sleeps the computer's 20 ms: enough for a parallel EEPROM at
// its datasheet maximum (slow-write, given to the programmer with the chip
// already in the socket). The cycle starts when the byte-load window closes
// after the last byte, so the page's loading time counts for nothing. One
// attempt per page: a retry would hide a sleep that is too short, as the
// second load falls into the still running cycle and is ignored.
TEST(DatasheetWaits, ParallelEepromFixedSleepAgainstTheSlowestChip) {
    DeviceRecord r = ShippedRecord("EEPROM", "Atmel", "AT28C256");
    r.waitmode = 4;
    r.retry = 1;
    SimBench b(r);
    std::string error;
    ASSERT_TRUE(b.sim.ApplyFault("slow-write", error)) << error;
    auto* chip = dynamic_cast<EepromChip*>(b.sim.SocketChip());
    ASSERT_NE(chip, nullptr);
    EXPECT_EQ(chip->CycleNs(), chip->Facts().cycleMaxNs) << "the fault reached the chip in the socket";
    b.buffer = RandomBytes(b.buffer.size(), 12);
    ASSERT_EQ(b.Operation(5, 0, 256), 0);
    EXPECT_EQ(chip->Cycles(), 4u) << "one cycle per page, none again";
    EXPECT_EQ(b.CountLines("Verify error"), 0u);
    for (uint32_t a = 0; a < 256; ++a) ASSERT_EQ(chip->Cell(a), b.buffer[a]) << a;
    EXPECT_EQ(b.Operation(6, 0, 256), 0);
}

// During the write cycle only I/O7 (and the toggle bit) mean something: a
// timer shorter than the slowest chip's cycle reads the page too early, and
// the other bits, undefined, make that verify fail on every page.
TEST(DatasheetWaits, ParallelEepromReadDuringTheCycleFailsTheVerify) {
    DeviceRecord r = ShippedRecord("EEPROM", "Atmel", "AT28C256");
    r.waitmode = 0;
    r.tpw = 0.004;
    r.retry = 1;
    SimBench b(r);
    std::string error;
    ASSERT_TRUE(b.sim.ApplyFault("slow-write", error)) << error;
    b.buffer = RandomBytes(b.buffer.size(), 3);
    EXPECT_NE(b.Operation(5, 0, 128), 0);
    EXPECT_EQ(b.CountLines("Verify error"), 2u);
}

// An erase pulse shorter than the GAL's erase time leaves a chip at its
// datasheet maximum as it was; the shipped 100 ms erases it.
TEST(DatasheetWaits, GalEraseShorterThanTheEraseTimeIsRefused) {
    for (double pulse : {0.1, 0.05, -1.0}) {
        DeviceRecord r = ShippedRecord("GAL", "Lattice", "GAL16V8");
        r.erasepulse = pulse;
        SimBench b(r);
        std::string error;
        ASSERT_TRUE(b.sim.ApplyFault("slow-erase", error)) << error;
        auto* chip = dynamic_cast<GalChip*>(b.sim.SocketChip());
        ASSERT_NE(chip, nullptr);
        chip->SetArrayBit(3, 5, 0);
        const uint8_t result = b.Operation(7, 0, 1);
        if (pulse == 0.1) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(chip->ArrayBit(3, 5), 1);
        } else {
            EXPECT_NE(result, 0) << pulse;
            EXPECT_EQ(chip->ArrayBit(3, 5), 0) << pulse;
        }
    }
}

}  // namespace
}  // namespace krt::test
