// SPDX-License-Identifier: GPL-3.0-or-later
// The socket's supplies in a safe order: every family's operations, on the
// programmer with the supply DAC and on one with fixed levels, never put Vpp
// on a chip whose Vcc is below its operating level (the simulator notes that
// as a breach), also when a supply is refused, the user cancels or the
// programmer stops answering; and one write per family as the socket sees
// its supplies (KRT_PRINT_SUPPLY_STEPS=1 prints them).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "FamilyTestSupport.h"
#include "PicTestSupport.h"
#include "SimBench.h"
#include "support/ShippedRecord.h"

namespace krt::test {
namespace {

constexpr uint8_t kDacRevision = 0x20;
constexpr uint8_t kFixedRevision = 0x10;

struct SupplyPart {
    const char* type;
    const char* maker;
    const char* name;
    uint32_t cut;  // addresses kept of the record's size (0: all), to keep whole-chip steps short
    // The socket's Vcc/Vpp after each change during a write, on each kind of
    // programmer: the supplies arrive together and leave together (the
    // fixed-level reset sends nothing, so they stay on from the operation
    // before until this power-up gates them).
    const char* dacWrite;
    const char* fixedWrite;
};

const SupplyPart kParts[] = {
    {"EPROM", "AMD", "27C256", 0x40, "6.24/12.70 0.00/0.00", "0.00/0.00 6.25/12.50"},
    {"EPROM", "AMD", "27C1024", 0x40, "6.24/12.70 0.00/0.00", "0.00/0.00 6.25/12.50"},
    {"EEPROM", "Atmel", "AT28C64", 0x40, "4.98/0.00 0.00/0.00", "0.00/0.00 5.00/0.00"},
    {"FLASH", "Intel", "P28F010", 0x40, "4.98/11.98 0.00/0.00", "0.00/0.00 5.00/12.50"},
    // The serial sockets run from the logic supply; the outputs stay gated.
    {"SEEPROM", "Atmel", "AT24C02", 0x40, "", ""},
    {"SEEPROM", "Microchip", "93C46", 0, "", ""},
    // The signature is read at the read level first; Vpp rises from there.
    {"GAL", "Lattice", "GAL16V8", 0, "4.98/11.98 4.98/14.45 0.00/0.00", "0.00/0.00 5.00/12.50 5.00/14.90"},
    // The data EEPROM takes its own entry into program mode.
    {"PIC", "Microchip", "PIC16F84", 0x10, "4.98/12.96 0.00/0.00 4.98/12.96 0.00/0.00",
     "0.00/0.00 5.00/12.50 0.00/0.00 5.00/12.50"},
};

DeviceRecord Shipped(const SupplyPart& part) {
    DeviceRecord r = ShippedRecord(part.type, part.maker, part.name);
    if (part.cut && r.maxsize > part.cut) r.maxsize = part.cut;
    return r;
}

uint32_t Length(const DeviceRecord& r) { return r.type == "PIC" ? r.maxsize : std::min<uint32_t>(r.maxsize, 0x40); }

// Data the chip can hold: fuses are 0 or 1, PIC words 14 bits with the
// configuration left blank.
void FillForWrite(SimBench& b) {
    b.buffer = RandomBytes(b.buffer.size(), 7);
    if (b.record.type == "GAL") {
        for (uint8_t& fuse : b.buffer) fuse &= 1;
    } else if (b.record.type == "PIC") {
        ClearPicBuffer(b.buffer);
        const auto words = RandomBytes(2 * b.record.maxsize, 9);
        for (size_t i = 0; i < words.size(); ++i) b.buffer[i] = i % 2 ? words[i] : words[i] & 0x3F;
    }
}

// Forwards to the simulator; from the given port write on, the user cancels
// or the programmer stays busy. A dead programmer's status reads take a
// millisecond each, so the two-second ready bound is reached quickly.
class TroublePort : public PortIo {
public:
    enum class Trouble { None, Cancel, StopsAnswering };
    TroublePort(SimBench& b, Trouble trouble, uint64_t atWrite) : b_(b), trouble_(trouble), at_(atWrite) {}
    uint8_t read(uint16_t a) override {
        if (stopped_) b_.sim.sleepMs(1);
        return b_.sim.read(a);
    }
    void write(uint16_t a, uint8_t v) override {
        b_.sim.write(a, v);
        if (++writes_ != at_) return;
        if (trouble_ == Trouble::Cancel) b_.link.CancelOperation();
        if (trouble_ == Trouble::StopsAnswering) {
            b_.sim.SetStaysBusy(true);
            stopped_ = true;
        }
    }
    uint64_t writes() const { return writes_; }

private:
    SimBench& b_;
    Trouble trouble_;
    uint64_t at_;
    uint64_t writes_ = 0;
    bool stopped_ = false;
};

const char* Kind(uint8_t revision) { return revision == kDacRevision ? "supply DAC" : "fixed levels"; }

std::string Steps(const VirtualKrt& sim) {
    std::string out;
    char step[32];
    for (const VirtualKrt::SupplyStep& s : sim.SupplySteps()) {
        std::snprintf(step, sizeof step, "%s%.2f/%.2f", out.empty() ? "" : " ", s.vcc, s.vpp);
        out += step;
    }
    return out;
}

// Each operation code once, in an order that leaves something to verify.
constexpr uint8_t kOperations[] = {9, 4, 5, 6, 10, 8, 7};

TEST(SupplyOrder, EveryOperationOfEveryFamilyOnBothProgrammers) {
    for (const SupplyPart& part : kParts) {
        for (uint8_t revision : {kDacRevision, kFixedRevision}) {
            SCOPED_TRACE(std::string(part.name) + " on " + Kind(revision));
            SimBench b(Shipped(part), true, revision);  // strict: any breach fails
            FillForWrite(b);
            const std::vector<uint8_t> written = b.buffer;
            for (uint8_t code : kOperations) {
                if (code == 5) b.buffer = written;  // the read before filled it from the blank chip
                b.sim.RecordSupplies(code == 5);
                const uint8_t result = b.Operation(code, 0, Length(b.record));
                if (code == 5 || code == 6) {
                    EXPECT_EQ(result, 0) << "operation " << int(code);
                }
                if (code == 5) {
                    EXPECT_EQ(Steps(b.sim), revision == kDacRevision ? part.dacWrite : part.fixedWrite);
                    if (std::getenv("KRT_PRINT_SUPPLY_STEPS"))
                        std::printf("%-9s %-12s write: %s\n", part.name, Kind(revision), Steps(b.sim).c_str());
                }
                if (revision == kDacRevision) {
                    // Powered down: the DAC programmer's reset reaches the socket.
                    EXPECT_EQ(b.sim.Vpp(), 0.0) << "operation " << int(code);
                    EXPECT_EQ(b.sim.Vcc(), 0.0) << "operation " << int(code);
                }
            }
        }
    }
}

// A cancel or a dead programmer in the middle of a read and of a write.
TEST(SupplyOrder, CancelAndAProgrammerThatStopsAnswering) {
    for (const SupplyPart& part : kParts) {
        for (uint8_t revision : {kDacRevision, kFixedRevision}) {
            for (uint8_t code : {4, 5}) {
                uint64_t writes = 0;
                {
                    SimBench b(Shipped(part), true, revision);
                    FillForWrite(b);
                    TroublePort port(b, TroublePort::Trouble::None, 0);
                    b.link.port = &port;
                    b.Operation(code, 0, Length(b.record));
                    writes = port.writes();
                }
                for (auto trouble : {TroublePort::Trouble::Cancel, TroublePort::Trouble::StopsAnswering}) {
                    SCOPED_TRACE(std::string(part.name) + " on " + Kind(revision) + ", operation " +
                                 std::to_string(code) +
                                 (trouble == TroublePort::Trouble::Cancel ? ", cancelled" : ", stops answering"));
                    SimBench b(Shipped(part), true, revision);
                    FillForWrite(b);
                    TroublePort port(b, trouble, writes / 2);
                    b.link.port = &port;
                    // Frames to a programmer that stays busy are a breach of their own.
                    if (trouble == TroublePort::Trouble::StopsAnswering) b.ExpectBreaches();
                    const uint8_t result = b.Operation(code, 0, Length(b.record));
                    if (trouble == TroublePort::Trouble::StopsAnswering) {
                        EXPECT_EQ(result, 4);
                    }
                    EXPECT_FALSE(b.sim.HasBreach(VirtualKrt::Breach::SupplyOrder));
                    EXPECT_FALSE(b.sim.HasBreach(VirtualKrt::Breach::Supply));
                    if (revision == kDacRevision) {
                        EXPECT_EQ(b.sim.Vpp(), 0.0);
                        EXPECT_EQ(b.sim.Vcc(), 0.0);
                    }
                }
            }
        }
    }
}

// A programming supply that is accepted and a Vcc that is refused (the DAC
// ends below 7.5 V): result 4, and the programmer is left with Vpp switched
// off, not merely gated, so that no later supply change brings it back.
TEST(SupplyOrder, RefusedVccAfterAnAcceptedVppLeavesTheSocketAtZero) {
    for (const SupplyPart& part : kParts) {
        SCOPED_TRACE(part.name);
        DeviceRecord r = Shipped(part);
        r.VppW = 12.75;
        r.VccW = 7.5;
        SimBench b(r);
        FillForWrite(b);
        b.sim.RecordSupplies(true);
        const uint8_t result = b.Operation(5, 0, Length(b.record));
        if (r.type == "SEEPROM") continue;  // its power-up sets the supplies but never switches them on
        EXPECT_EQ(result, r.type == "GAL" ? 3 : 4);  // the GAL's write reports a failed power-up as errors
        EXPECT_EQ(b.sim.Vpp(), 0.0);
        EXPECT_EQ(b.sim.Vcc(), 0.0);
        EXPECT_EQ(b.sim.VoltageRegister() & 0x08, 0) << "Vpp still enabled behind the gate";
        EXPECT_EQ(b.link.voltageRegister & 0x08, 0);
        EXPECT_TRUE(b.sim.SupplySteps().empty()) << "the socket never saw a supply";
    }
}

}  // namespace
}  // namespace krt::test
