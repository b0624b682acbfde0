// SPDX-License-Identifier: GPL-3.0-or-later
// The words in which two images of a device differ (the chip as read and
// the buffer), as Operation > Compare and krt compare list them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace krt {

struct Difference {
    uint32_t address;  // in device words
    uint32_t chip;
    uint32_t file;
};

struct DifferenceList {
    std::vector<Difference> first;  // the first `limit` differences, in address order
    uint64_t total = 0;             // every difference, listed or not
};

inline constexpr size_t kDifferencesListed = 1000;

// Compares the words start .. start + length - 1 of two images of
// bytesPerWord-byte words (1 or 2; a 16-bit word is stored high byte first),
// each of size bytes; words beyond either image are not compared.
DifferenceList ListDifferences(const uint8_t* chip, const uint8_t* file, uint32_t size, uint32_t start,
                               uint32_t length, uint32_t bytesPerWord, size_t limit = kDifferencesListed);

// The listing: one line "ADDRESS CHIP FILE" a difference, in hexadecimal
// (six digits of address, two or four of data), then when more differences
// were found than listed, a line with their count.
std::string FormatDifferences(const DifferenceList& list, uint32_t bytesPerWord, const char* moreLine);

}  // namespace krt
