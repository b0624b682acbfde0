// SPDX-License-Identifier: GPL-3.0-or-later
// The search behind krt list --find and the window's Number box, over the
// shipped catalogue: a piece of a part number, and the number printed on a
// chip with its maker's prefix and its speed, package and grade suffixes.
#include <gtest/gtest.h>

#include "catalogue/DeviceLoader.h"
#include "catalogue/PartSearch.h"

namespace krt {
namespace {

std::string Line(const DeviceList& list, int32_t entry) {
    const size_t i = static_cast<size_t>(entry);
    return list.types[i] + " " + list.makers[i] + " " + list.names[i];
}

TEST(PartSearch, PrintedNumbersNameTheEntryToUse) {
    struct Case {
        const char* typed;
        const char* first;  // "": nothing found
        bool marking;
    };
    const Case cases[] = {
        {"W27C512-45Z", "EPROM Winbond W27C512", true},  // not the 27C512 inside it
        {"AT28C256-15PU", "EEPROM Atmel AT28C256", true},
        {"SST39SF010A-70-4C-PHE", "FLASH5V SST SST39SF010A", true},
        {"am27c256-150dc", "EPROM AMD 27C256", true},  // the prefix names the maker
        {"TMS27C256-15JL", "EPROM TI TMS27C256", true},
        {"AM29F002NBT-90JC", "FLASH5V AMD AM29F002NBT", true},
        {"NM27C256Q150", "EPROM National NM27C256", true},
        {"27C2560", "", false},  // a digit joined on: another number
        {"29f002nb", "FLASH5V AMD AM29F002NBB", false},  // a piece: every entry that contains it
    };
    Catalogue catalogue;
    ASSERT_TRUE(OpenCatalogue(std::string(KRT_SOURCE_DIR) + "/devices", nullptr, catalogue));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const PartSearch found = SearchParts(catalogue.list, c.typed);
        if (*c.first == '\0') {
            EXPECT_TRUE(found.entries.empty());
            continue;
        }
        ASSERT_FALSE(found.entries.empty());
        EXPECT_EQ(Line(catalogue.list, found.entries.front()), c.first);
        EXPECT_EQ(found.marking, c.marking);
    }
}

}  // namespace
}  // namespace krt
