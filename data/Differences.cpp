// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/Differences.h"

#include <cstdio>

namespace krt {

DifferenceList ListDifferences(const uint8_t* chip, const uint8_t* file, uint32_t size, uint32_t start,
                               uint32_t length, uint32_t bytesPerWord, size_t limit) {
    DifferenceList list;
    const uint32_t width = bytesPerWord == 2 ? 2 : 1;
    const uint64_t words = size / width;
    const uint64_t end = uint64_t{start} + length;
    for (uint64_t a = start; a < end && a < words; ++a) {
        const uint8_t* c = chip + a * width;
        const uint8_t* f = file + a * width;
        const uint32_t cw = width == 2 ? uint32_t{c[0]} << 8 | c[1] : c[0];
        const uint32_t fw = width == 2 ? uint32_t{f[0]} << 8 | f[1] : f[0];
        if (cw == fw) continue;
        if (list.first.size() < limit) list.first.push_back({static_cast<uint32_t>(a), cw, fw});
        ++list.total;
    }
    return list;
}

std::string FormatDifferences(const DifferenceList& list, uint32_t bytesPerWord, const char* moreLine) {
    std::string text;
    char line[64];
    const int digits = bytesPerWord == 2 ? 4 : 2;
    for (const Difference& d : list.first) {
        std::snprintf(line, sizeof line, "%06X %0*X %0*X\n", d.address, digits, d.chip, digits, d.file);
        text += line;
    }
    if (list.total > list.first.size()) {
        std::snprintf(line, sizeof line, moreLine, static_cast<unsigned long long>(list.total - list.first.size()));
        text += line;
        text += '\n';
    }
    return text;
}

}  // namespace krt
