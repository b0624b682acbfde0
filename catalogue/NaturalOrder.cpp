// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/NaturalOrder.h"

#include <algorithm>
#include <cctype>

namespace krt {

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

// -1, 0 or 1 as a is before, equal to or after b in natural order.
int Compare(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (Digit(a[i]) && Digit(b[j])) {
            // Compare the runs by value: skip leading zeros, then the longer
            // run is the larger, then digit by digit.
            size_t ei = i, ej = j;
            while (ei < a.size() && Digit(a[ei])) ++ei;
            while (ej < b.size() && Digit(b[ej])) ++ej;
            size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0') ++si;
            while (sj + 1 < ej && b[sj] == '0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
            for (size_t k = 0; k < ei - si; ++k)
                if (a[si + k] != b[sj + k]) return a[si + k] < b[sj + k] ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[j]));
        if (ca != cb) return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
    const int c = Compare(a, b);
    return c != 0 ? c < 0 : a < b;
}

void SortNaturally(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
}

}  // namespace krt
