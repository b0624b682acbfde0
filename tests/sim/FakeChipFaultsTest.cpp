// SPDX-License-Identifier: GPL-3.0-or-later
// The faults of chips other than their label says: each chip model takes
// those its datasheet allows, with the arguments its size allows, and
// refuses the others (so that krt refuses them with status 64).
#include <gtest/gtest.h>

#include <string>

#include "catalogue/DeviceRecord.h"
#include "sim/ChipFactory.h"
#include "sim/VirtualKrt.h"

namespace krt {
namespace {

struct FaultCase {
    const char* type;
    const char* name;
    uint8_t typecode;
    uint32_t size;
    const char* fault;
    bool taken;
};

class FakeChipFaultTable : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FakeChipFaultTable, TakenOnlyWhereTheDatasheetAllows) {
    const FaultCase& c = GetParam();
    DeviceRecord record;
    record.type = c.type;
    record.name = c.name;
    record.typecode = c.typecode;
    record.maxsize = record.bufsize = c.size;
    record.bytesPerWord = 1;
    std::string note, error;
    std::unique_ptr<Chip> chip = MakeBlankChip(record, note);
    ASSERT_TRUE(chip) << note;
    EXPECT_EQ(VirtualKrt::CheckChipFaults({c.fault}, chip.get(), error), c.taken) << c.fault << ": " << error;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FakeChipFaultTable,
    ::testing::Values(FaultCase{"EEPROM", "AT28C256", 0x12, 0x8000, "aliased:13", true},
                      FaultCase{"EEPROM", "AT28C256", 0x12, 0x8000, "aliased:15", false},  // A0-A14 only
                      FaultCase{"EEPROM", "AT28C256", 0x12, 0x8000, "slow:4", true},
                      FaultCase{"EEPROM", "AT28C256", 0x12, 0x8000, "unstable-bits", false},
                      FaultCase{"EEPROM", "AT28C256", 0x12, 0x8000, "blank-signature", false},
                      FaultCase{"FLASH5V", "SST39SF010A", 0x12, 0x20000, "aliased:16", true},
                      FaultCase{"FLASH5V", "SST39SF010A", 0x12, 0x20000, "slow:2", true},
                      FaultCase{"FLASH5V", "SST39SF010A", 0x12, 0x20000, "blank-signature", true},
                      FaultCase{"SEEPROM", "AT24C256", 3, 0x8000, "aliased:13", true},
                      FaultCase{"SEEPROM", "AT24C256", 3, 0x8000, "slow:1001", false},
                      FaultCase{"SEEPROM", "93C46", 2, 0x40, "aliased:5", true},
                      FaultCase{"SEEPROM", "93C46", 2, 0x40, "aliased:6", false},  // 64 words: A0-A5
                      FaultCase{"FLASH", "P28F010", 0x10, 0x20000, "aliased:16", true},
                      FaultCase{"FLASH", "P28F010", 0x10, 0x20000, "aliased:17", false},
                      FaultCase{"FLASH", "P28F010", 0x10, 0x20000, "slow:2", false},  // the host times its pulses
                      FaultCase{"EPROM", "27C256", 0, 0x8000, "aliased:13", true},
                      FaultCase{"EPROM", "27C256", 0, 0x8000, "unstable-bits", true},
                      FaultCase{"EPROM", "27C256", 0, 0x8000, "slow:2", false},  // no write cycle to time
                      FaultCase{"SRAM", "62256", 0x12, 0x8000, "aliased:13", true},
                      FaultCase{"SRAM", "62256", 0x12, 0x8000, "unstable-bits", true},
                      FaultCase{"SRAM", "62256", 0x12, 0x8000, "slow:2", false},
                      FaultCase{"PIC", "PIC16F84A", 4, 0x400, "blank-signature", true},
                      FaultCase{"PIC", "PIC16F84", 4, 0x400, "blank-signature", false},  // no device ID
                      FaultCase{"PIC", "PIC16F84", 4, 0x400, "aliased:9", true},
                      FaultCase{"PIC", "PIC16F84", 4, 0x400, "aliased:10", false},  // 1K program words
                      FaultCase{"GAL", "GAL16V8", 5, 2194, "blank-signature", true},
                      FaultCase{"GAL", "GAL16V8", 5, 2194, "aliased:4", false}));

// A static RAM forgets with its supply; a 6264 answers only while CS2 (A13) is high.
TEST(SramChip, ForgetsWithItsSupplyAndAnswersOnlyWithCs2High) {
    DeviceRecord record;
    record.type = "SRAM";
    record.name = "6264";
    record.typecode = 0x12;
    record.maxsize = 0x2000;
    std::string note;
    std::unique_ptr<Chip> chip = MakeBlankChip(record, note);
    ASSERT_TRUE(chip) << note;
    SocketState s;
    s.vcc = 5.0;
    chip->PinsChanged(s, kPinSupply);
    s.address = 0x2123;  // CS2 high
    s.dataLow = 0xA5;
    chip->WriteCycle(s, DataLane::Low, 1000);
    EXPECT_EQ(chip->ReadCycle(s, DataLane::Low) & 0xFF, 0xA5);
    s.address = 0x0123;  // CS2 low: not selected
    EXPECT_EQ(chip->ReadCycle(s, DataLane::Low) & 0xFF, 0xFF);
    s.vcc = 0.0;
    chip->PinsChanged(s, kPinSupply);
    s.vcc = 5.0;
    chip->PinsChanged(s, kPinSupply);
    s.address = 0x2123;
    uint32_t same = 0;
    for (uint32_t a = 0x2000; a < 0x2100; ++a) {
        s.address = a;
        same += (chip->ReadCycle(s, DataLane::Low) & 0xFF) == 0xA5;
    }
    EXPECT_LT(same, 16u) << "the content survived the supply going off";
}

}  // namespace
}  // namespace krt
