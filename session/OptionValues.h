// SPDX-License-Identifier: GPL-3.0-or-later
// The checks of the values that both krt's options and a project's members
// carry (range, permitted errors, wait mode, batch count). krt's option
// parser and the project reader call the same check, so that a value is
// refused alike, with the same words, wherever it is written.
#pragma once

#include <cstdint>
#include <string>

namespace krt {

// A whole text of digits in base 10 or 16 (hexadecimal may start with 0x),
// no sign, no spaces, at most max.
bool ParseUnsigned(const std::string& text, int base, uint64_t max, uint64_t& out);

// Each check returns an empty text when the value is accepted (and sets
// out), else why not in the option's words ("--start wants ...").
// --start and --length: a hexadecimal number that fits 32 bits, kept as
// plain upper-case digits.
std::string CheckHexValue(const char* option, const std::string& text, std::string& out);
// --errors: a decimal count that fits 32 bits.
std::string CheckErrorsValue(const std::string& text, uint32_t& out);
// --wait-mode: 0 to 4 or the mode's name.
std::string CheckWaitModeValue(const std::string& text, int& out);
// --count: a decimal number from 1.
std::string CheckCountValue(const std::string& text, uint32_t& out);

}  // namespace krt
