// SPDX-License-Identifier: GPL-3.0-or-later
// ROM sets: one image split into the chips of a wider bus (the even and odd
// bytes of a 68000 or 8086 board, four lanes of a 32-bit one, 16-bit chips
// side by side), and such chips joined back into one image. Files are read
// and written in binary, Intel HEX or Motorola S, each by its own name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace krt {

struct RomSetLayout {
    uint32_t ways = 2;   // chips (lanes), 2 to 16
    uint32_t bytes = 1;  // bytes of one chip's word: 1, 2 or 4
    // The image's words (bytes wide, but at least 16 bits) in the other
    // byte order: they are reversed before a split and after a join.
    bool swap = false;
};

// Why a split or a join was refused, in the language given (0 Japanese,
// 1 English). Each check comes before anything is changed or written.
std::string RomSetLayoutProblem(const RomSetLayout& layout, uint32_t language);

// Lane j gets bytes [k*ways*bytes + j*bytes, + bytes) of the image for
// every k. False with the reason (the size is not a multiple of ways x
// bytes, nor of the swapped word) and lanes untouched.
bool SplitImage(const std::vector<uint8_t>& image, const RomSetLayout& layout,
                std::vector<std::vector<uint8_t>>& lanes, std::string& error, uint32_t language);

// The reverse of SplitImage. names[i] is the file of lanes[i], for the
// message when two sizes differ. False with the reason and image untouched.
bool JoinImages(const std::vector<std::vector<uint8_t>>& lanes, const std::vector<std::string>& names,
                const RomSetLayout& layout, std::vector<uint8_t>& image, std::string& error, uint32_t language);

// A whole data file as an image from address 0: binary as it is; Intel
// HEX and Motorola S up to their highest data byte, gaps 0xFF. format is a
// DataFormat code or FORMAT_BY_NAME. JEDEC fuse maps are refused.
bool ReadImageFile(const std::string& name, uint32_t format, std::vector<uint8_t>& image, std::string& error,
                   uint32_t language);

// Writes the image to name (format by name unless given), replacing the
// file only once it is complete.
bool WriteImageFile(const std::string& name, uint32_t format, const std::vector<uint8_t>& image,
                    std::string& error, uint32_t language);

// The largest image a HEX or Motorola file may give: 16 MiB, the reach of
// the window's six-digit addresses.
inline constexpr uint32_t kRomSetMaxImage = 0x1000000;

}  // namespace krt
