// SPDX-License-Identifier: GPL-3.0-or-later
// Line splitting shared by the device list and the parameter files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace krt {

// The catalogue files are read with a 255-character line buffer, so at most
// 254 characters of a line are seen; the rest of a longer line is dropped
// (it does not become a line of its own).
inline constexpr std::size_t kMaxCatalogueLine = 254;

// Splits text at LF; a CR right before the LF belongs to the line end. Each
// line is cut to kMaxCatalogueLine characters. A last line without LF counts.
std::vector<std::string> SplitCatalogueLines(std::string_view text);

// Reads a whole file. False when it cannot be opened or read (a directory
// counts as unreadable).
bool ReadWholeFile(const std::string& path, std::string& text);

// ASCII case-insensitive equality; other bytes (UTF-8) compare exactly.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Every hexadecimal digit shifts the result four bits left; every other
// character is skipped. No digits give 0. Wraps modulo 2^32.
uint32_t HexDigitsValue(std::string_view text);

}  // namespace krt
