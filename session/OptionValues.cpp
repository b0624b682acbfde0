// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/OptionValues.h"

#include <string_view>

#include "base/Log.h"

namespace krt {

bool ParseUnsigned(const std::string& text, int base, uint64_t max, uint64_t& out) {
    std::string_view digits = text;
    if (base == 16 && digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits.remove_prefix(2);
    if (digits.empty()) return false;
    uint64_t value = 0;
    for (char c : digits) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return false;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > max) return false;
    }
    out = value;
    return true;
}

std::string CheckHexValue(const char* option, const std::string& text, std::string& out) {
    uint64_t n = 0;
    if (!ParseUnsigned(text, 16, 0xFFFFFFFFu, n))
        return std::string(option) + " wants a hexadecimal number that fits 32 bits (0 to FFFFFFFF)";
    out = Format("%X", static_cast<unsigned>(n));
    return {};
}

std::string CheckErrorsValue(const std::string& text, uint32_t& out) {
    uint64_t n = 0;
    if (!ParseUnsigned(text, 10, 0xFFFFFFFFu, n))
        return "--errors wants a decimal count that fits 32 bits (0 to 4294967295)";
    out = static_cast<uint32_t>(n);
    return {};
}

std::string CheckWaitModeValue(const std::string& text, int& out) {
    static const char* const kNames[] = {"timer", "busyflag", "toggle", "polling", "sleep"};
    int mode = -1;
    for (int i = 0; i < 5; ++i)
        if (text == kNames[i] || (text.size() == 1 && text[0] == char('0' + i))) mode = i;
    if (mode < 0) return "--wait-mode wants 0 to 4, timer, busyflag, toggle, polling or sleep";
    out = mode;
    return {};
}

std::string CheckCountValue(const std::string& text, uint32_t& out) {
    uint64_t n = 0;
    if (!ParseUnsigned(text, 10, 0xFFFFFFFFu, n) || n == 0) return "--count wants a decimal number from 1";
    out = static_cast<uint32_t>(n);
    return {};
}

}  // namespace krt
