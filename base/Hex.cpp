// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Hex.h"

#include <cstdio>

namespace krt {

uint32_t ParseHex(std::string_view text) {
    uint32_t value = 0;
    for (char c : text) {
        uint32_t digit;
        if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
        else continue;
        value = (value << 4) | digit;
    }
    return value;
}

std::string FormatHex6(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06lX", static_cast<unsigned long>(value));
    return text;
}

}  // namespace krt
