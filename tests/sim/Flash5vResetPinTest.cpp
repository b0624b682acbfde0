// SPDX-License-Identifier: GPL-3.0-or-later
// The 2 Mbit boot-block parts without "N": RESET# on pin 1, which the
// 32-pin socket drives as address bit 18. Low, the chip ignores commands
// and its outputs are off; high, it works as its "N" sibling.
#include <gtest/gtest.h>

#include "sim/chips/Flash5vChip.h"
#include "support/ParallelChipSocket.h"

namespace krt {
namespace {

using test::kMs;
using Socket = test::ParallelChipSocket<Flash5vChip, Flash5vFacts, LookUpFlash5vPart, 200 * kMs>;

constexpr uint32_t kPin1 = 1u << 18;

TEST(Flash5vResetPin, OnlyTheNamesWithoutNHoldTheChipInResetWhilePin1IsLow) {
    struct Case {
        const char* part;
        bool resetPin;
        uint8_t maker, device;
    };
    for (const Case& c : {Case{"AM29F002BT", true, 0x01, 0xB0}, Case{"AM29F002NBT", false, 0x01, 0xB0},
                          Case{"MX29F002B", true, 0xC2, 0x34}, Case{"AT49F002NT", false, 0x1F, 0x08},
                          Case{"AT49F001", true, 0x1F, 0x05}}) {
        SCOPED_TRACE(c.part);
        for (uint32_t pin1 : {0u, kPin1}) {
            Socket k(c.part);
            k.Sequence({{pin1 | 0x5555, 0xAA}, {pin1 | 0x2AAA, 0x55}, {pin1 | 0x5555, 0x90}});
            const bool works = !c.resetPin || pin1 != 0;
            EXPECT_EQ(k.Read(pin1 | 0), works ? c.maker : 0xFF);
            EXPECT_EQ(k.Read(pin1 | 1), works ? c.device : 0xFF);
        }
    }
}

}  // namespace
}  // namespace krt
