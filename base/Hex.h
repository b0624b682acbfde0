// SPDX-License-Identifier: GPL-3.0-or-later
// The hexadecimal texts that the range fields, the parameter editor and the
// command line read and write.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace krt {

// Every hexadecimal digit shifts the result four bits left and adds the
// digit; every other character is skipped. No digits give 0.
uint32_t ParseHex(std::string_view text);

// "%06lX": at least six upper-case hexadecimal digits.
std::string FormatHex6(uint32_t value);

}  // namespace krt
