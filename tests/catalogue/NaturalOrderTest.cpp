// SPDX-License-Identifier: GPL-3.0-or-later
// The selection boxes' order of makers and part numbers.
#include <gtest/gtest.h>

#include <utility>

#include "catalogue/NaturalOrder.h"

namespace krt {
namespace {

TEST(NaturalOrder, PartNumbersSortByTheValueOfTheirDigits) {
    std::vector<std::string> names = {"27C512", "27C128", "27C64", "27C1024", "27C256", "2764", "27C010"};
    SortNaturally(names);
    EXPECT_EQ(names, (std::vector<std::string>{"27C010", "27C64", "27C128", "27C256", "27C512", "27C1024", "2764"}));
}

TEST(NaturalOrder, MakersSortWithoutRegardToCaseAndTheOrderIsTotal) {
    std::vector<std::string> makers = {"ST", "Intel", "atmel", "AMD", "Microchip"};
    SortNaturally(makers);
    EXPECT_EQ(makers, (std::vector<std::string>{"AMD", "atmel", "Intel", "Microchip", "ST"}));
    // Same value, other spelling: still strictly ordered, never equal.
    EXPECT_NE(NaturalLess("27C010", "27C10"), NaturalLess("27C10", "27C010"));
    EXPECT_NE(NaturalLess("m27c801", "M27C801"), NaturalLess("M27C801", "m27c801"));
    EXPECT_FALSE(NaturalLess("M27C801", "M27C801"));
    // A name before every longer name it begins.
    for (const auto& [shorter, longer] : {std::pair{"2764", "2764A"}, std::pair{"GAL", "GAL16V8"},
                                          std::pair{"27C", "27C010"}}) {
        EXPECT_TRUE(NaturalLess(shorter, longer)) << shorter;
        EXPECT_FALSE(NaturalLess(longer, shorter)) << longer;
    }
    // A run longer than any integer type still compares by value.
    EXPECT_TRUE(NaturalLess("X99999999999999999999999", "X100000000000000000000000"));
}

}  // namespace
}  // namespace krt
