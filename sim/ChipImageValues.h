// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers in a ChipImage's values, as the chip models save and load them.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "sim/Chip.h"

namespace krt {

inline void PutDouble(ChipImage& image, const char* key, double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.6f", v);
    image.values[key] = text;
}

// False when the key is missing or its value is not wholly a number.
inline bool GetNumber(const ChipImage& image, const char* key, double& v) {
    auto it = image.values.find(key);
    if (it == image.values.end()) return false;
    char* end = nullptr;
    v = std::strtod(it->second.c_str(), &end);
    return end && *end == '\0' && end != it->second.c_str();
}

inline bool GetNumber(const ChipImage& image, const char* key, unsigned long& v, int base = 10) {
    auto it = image.values.find(key);
    if (it == image.values.end()) return false;
    char* end = nullptr;
    v = std::strtoul(it->second.c_str(), &end, base);
    return end && *end == '\0' && end != it->second.c_str();
}

}  // namespace krt
