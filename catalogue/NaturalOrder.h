// SPDX-License-Identifier: GPL-3.0-or-later
// The order in which the selection boxes list makers and part numbers: runs
// of digits compare by their value and everything else without regard to
// case, so that 27C64 comes before 27C128 and AMD before Atmel.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace krt {

// True when a sorts before b. Equal values of different spelling (a leading
// zero, another case) fall back to plain byte order, so the order is total.
bool NaturalLess(std::string_view a, std::string_view b);

void SortNaturally(std::vector<std::string>& names);

}  // namespace krt
