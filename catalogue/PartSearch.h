// SPDX-License-Identifier: GPL-3.0-or-later
// Finding catalogue entries from what a user types: a piece of a part
// number, or the whole number printed on a chip, with the maker's prefix
// and the speed, package and grade suffixes ("W27C512-45Z",
// "AM27C256-150DC", "SST39SF010A-70-4C-PHE").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/DeviceList.h"

namespace krt {

struct PartSearch {
    // The entries found, the best first.
    std::vector<int32_t> entries;
    // The entries' part number stands inside the text: the text is a
    // printed marking, and `entries.front()` is the one to use.
    bool marking = false;
    // The part number found inside the marking (empty otherwise).
    std::string number;
};

// Entries whose part number contains `text` (any case), in list order. When
// none does, the entries whose part number stands inside `text` with no
// digit joined to either end (so 27C256 is not found in 27C2560); of those
// only the longest number counts (W27C512, not 27C512, in "W27C512-45Z"),
// and the makers whose usual prefix comes before it (AM for AMD, TMS for
// TI) are placed first.
PartSearch SearchParts(const DeviceList& list, const std::string& text);

}  // namespace krt
