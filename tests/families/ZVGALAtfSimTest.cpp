// SPDX-License-Identifier: GPL-3.0-or-later
// The Atmel ATF entries on their strict simulated parts: every operation of
// each, the power-down fuse both ways, and a part of another algorithm in
// the socket refused with nothing above the read level applied. A strict
// ATF model fails the test on any Vpp above its 14.0 V maximum, and a
// 22V10C on a row strobed in the Lattice order.
#include <gtest/gtest.h>

#include "SimBench.h"
#include "sim/chips/GalChip.h"
#include "support/ShippedRecord.h"

namespace krt::test {
namespace {

DeviceRecord Atf(const std::string& name) { return ShippedRecord("GAL", "Atmel", name); }

GalChip& AtfChipOf(SimBench& b) { return *dynamic_cast<GalChip*>(b.sim.SocketChip()); }

std::vector<uint8_t> AtfRandomFuses(size_t n, uint32_t seed) {
    std::vector<uint8_t> v = RandomBytes(n, seed);
    for (auto& b : v) b &= 1;
    return v;
}

TEST(ZVGALAtfSim, EveryEntryWritesVerifiesReadsErasesAndSecures) {
    struct Case {
        const char* name;
        bool secures;    // 22V10: security not offered (result 8)
        bool powerDown;  // the last fuse is the power-down fuse
    };
    const Case cases[] = {
        {"ATF16V8B", true, false},   {"ATF16V8BQL", true, false},  {"ATF16V8C", true, true},
        {"ATF16V8CZ", true, true},   {"ATF20V8B", true, false},    {"ATF22V10B", false, false},
        {"ATF22V10C", false, true},  {"ATF22V10CQ", false, true},  {"ATF22V10CQZ", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DeviceRecord record = Atf(c.name);
        for (uint8_t powerDown : {uint8_t{0}, uint8_t{1}}) {
            if (powerDown && !c.powerDown) continue;
            SimBench b(record);
            const std::vector<uint8_t> image = [&] {
                std::vector<uint8_t> v = AtfRandomFuses(b.buffer.size(), 7 + powerDown);
                if (c.powerDown) v.back() = powerDown;
                return v;
            }();
            b.buffer = image;
            ASSERT_EQ(b.Operation(5, 0, record.maxsize), 0) << b.log.lines().back();
            EXPECT_EQ(b.Operation(6, 0, record.maxsize), 0);
            if (c.powerDown) {
                EXPECT_EQ(AtfChipOf(b).PowerDown(), powerDown);
            }
            b.log.clear();
            EXPECT_EQ(b.Operation(10, 0, record.maxsize), 0);
            ASSERT_EQ(b.log.lines().size(), 2u);
            EXPECT_EQ(b.log.lines()[1].rfind("Signature: Atmel " + record.galpart, 0), 0u) << b.log.lines()[1];
            b.buffer.assign(b.buffer.size(), 0xEE);
            ASSERT_EQ(b.Operation(4, 0, record.maxsize), 0);
            EXPECT_EQ(b.buffer, image);
            if (AtfChipOf(b).Part().fillBits) {
                // The signature sits behind the 68 fill bits of its row.
                for (int i = 0; i < 64; ++i)
                    ASSERT_EQ(AtfChipOf(b).Ues()[size_t(68 + i)], image[size_t(record.SigBase + i)]) << i;
            }
            EXPECT_EQ(b.Operation(8, 0, record.maxsize), c.secures ? 0 : 8);
            EXPECT_EQ(AtfChipOf(b).Secured(), c.secures);
            EXPECT_EQ(b.Operation(7, 0, record.maxsize), 0);
            EXPECT_EQ(b.Operation(9, 0, record.maxsize), 0);
            EXPECT_FALSE(AtfChipOf(b).Secured());
        }
    }
}

// An erase shorter than the ATF's erase time leaves it as it was: the
// entries erase with their own pulse, not the programming pulse.
TEST(ZVGALAtfSim, EraseTakesItsOwnPulseAndTheWrongPartFaultIsRefused) {
    for (const char* name : {"ATF16V8B", "ATF20V8B", "ATF22V10C"}) {
        SCOPED_TRACE(name);
        SimBench b(Atf(name));
        b.buffer.assign(b.buffer.size(), 0);
        ASSERT_EQ(b.Operation(5, 0, b.record.maxsize), 0);
        b.record.erasepulse = -1.0;
        EXPECT_EQ(b.Operation(7, 0, b.record.maxsize), 3);
        b.record = Atf(name);
        EXPECT_EQ(b.Operation(7, 0, b.record.maxsize), 0);

        b.Fault("wrong-part");
        b.log.clear();
        const uint32_t strobes = AtfChipOf(b).ProgramStrobes();
        EXPECT_EQ(b.Operation(5, 0, b.record.maxsize), 4);
        ASSERT_EQ(b.log.lines().size(), 1u);
        EXPECT_NE(b.log.lines()[0].find("; select Atmel ATF"), std::string::npos) << b.log.lines()[0];
        EXPECT_EQ(AtfChipOf(b).ProgramStrobes(), strobes);
    }
}

// Who is in the socket is read at the read level: a part of the other
// algorithm never sees the entry's programming voltage, and the one line
// names the entry to select. Each case: the entry, the part in the socket
// (the entry its model is made from), the operation, --no-id-check, and
// the result with the entry the refusal names ("" when it goes on).
TEST(ZVGALAtfSim, SignatureDecidesBeforeAnyProgrammingVoltage) {
    struct Case {
        std::vector<std::string> entry;
        std::vector<std::string> chip;
        uint8_t code;
        bool idcheck;
        uint8_t result;
        const char* select;
    };
    const std::vector<std::string> gal16 = {"Lattice", "GAL16V8"}, gal22 = {"Lattice", "GAL22V10"};
    const std::vector<std::string> atf16b = {"Atmel", "ATF16V8B"}, atf16c = {"Atmel", "ATF16V8C"};
    const std::vector<std::string> atf16bql = {"Atmel", "ATF16V8BQL"}, atf22c = {"Atmel", "ATF22V10C"};
    const Case cases[] = {
        {gal16, atf16b, 5, true, 4, "Atmel ATF16V8B"},   {gal16, atf16b, 7, true, 4, "Atmel ATF16V8B"},
        {gal16, atf16c, 7, true, 4, "Atmel ATF16V8C"},   {gal22, atf22c, 5, true, 4, "Atmel ATF22V10C"},
        {gal22, atf22c, 7, true, 4, "Atmel ATF22V10C"},  {gal22, atf22c, 4, true, 4, "Atmel ATF22V10C"},
        {atf16b, gal16, 7, true, 4, "Lattice GAL16V8"},  {atf22c, gal22, 5, true, 4, "Lattice GAL22V10"},
        {atf16b, atf16c, 7, true, 4, "Atmel ATF16V8C"},  {atf16bql, atf16b, 7, true, 0, ""},
        // Without the check another part goes on, but never at a Lattice
        // entry's voltage on an ATF part.
        {gal16, atf16b, 7, false, 4, "Atmel ATF16V8B"},  {gal16, atf16b, 9, false, 0, ""},
        {atf16b, gal16, 7, false, 0, ""},                {atf16b, atf16c, 7, false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry[1] + " holding " + c.chip[1] + " op " + std::to_string(c.code) +
                     (c.idcheck ? "" : " --no-id-check"));
        DeviceRecord entry = ShippedRecord("GAL", c.entry[0], c.entry[1]);
        entry.idcheck = c.idcheck ? 1 : 0;
        SimBench b(entry, false);
        std::string note;
        b.sim.InsertChip(MakeBlankChip(ShippedRecord("GAL", c.chip[0], c.chip[1]), note));
        b.sim.RecordSupplies(true);
        EXPECT_EQ(b.Operation(c.code, 0, entry.maxsize), c.result);
        if (c.select[0] != '\0') {
            ASSERT_EQ(b.log.lines().size(), 1u);
            EXPECT_NE(b.log.lines()[0].find(std::string("; select ") + c.select + " (nothing above the read level"),
                      std::string::npos)
                << b.log.lines()[0];
            double highest = 0.0;
            for (const auto& step : b.sim.SupplySteps()) highest = std::max(highest, step.vpp);
            EXPECT_LE(highest, entry.VppR + 0.05);
            EXPECT_EQ(AtfChipOf(b).ProgramStrobes(), 0u);
        }
    }
}

// A 22V10C takes its serial row address as five bits, most significant
// first: a host that strobes after the Lattice order's six bits reads the
// wrong rows, and the strict model names that breach. Each case: the entry,
// the part in the socket (--no-id-check, so that the entry's algorithm
// reaches it), the operation, and whether the model sees the Lattice order.
TEST(ZVGALAtfSim, StrictModelFlagsTheLatticeRowOrderOnA22V10C) {
    struct Case {
        std::vector<std::string> entry;
        std::vector<std::string> chip;
        uint8_t code;
        bool latticeOrder;
    };
    const std::vector<std::string> gal22 = {"Lattice", "GAL22V10"}, atf22b = {"Atmel", "ATF22V10B"};
    const std::vector<std::string> atf22c = {"Atmel", "ATF22V10C"}, atf22cq = {"Atmel", "ATF22V10CQ"};
    const Case cases[] = {
        {gal22, atf22c, 4, true},   {gal22, atf22c, 6, true},   {gal22, atf22cq, 4, true},
        {gal22, atf22b, 4, false},  {atf22c, atf22c, 4, false}, {atf22c, atf22c, 6, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry[1] + " holding " + c.chip[1] + " op " + std::to_string(c.code));
        DeviceRecord entry = ShippedRecord("GAL", c.entry[0], c.entry[1]);
        entry.idcheck = 0;
        SimBench b(entry, false);
        std::string note;
        b.sim.InsertChip(MakeBlankChip(ShippedRecord("GAL", c.chip[0], c.chip[1]), note));
        // The breach is the expected outcome here: looked at below, not failed on.
        if (c.latticeOrder) b.ExpectBreaches();
        b.Operation(c.code, 0, entry.maxsize);
        EXPECT_EQ(b.sim.HasBreach(VirtualKrt::Breach::ChipRule), c.latticeOrder);
        if (!c.latticeOrder) continue;
        const std::vector<std::string> lines = b.sim.BreachLines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find("ATF22V10C: a row strobed after six clocked address bits, the Lattice order"),
                  std::string::npos)
            << lines[0];
    }
}

}  // namespace
}  // namespace krt::test
