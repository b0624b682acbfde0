// SPDX-License-Identifier: GPL-3.0-or-later
// Chip files: a virtual chip's kind, part name and contents, so that
// separate runs can write and then read the same chip.
//
// Format (version 1), a text header with binary blobs:
//   KRTSIM-CHIP\n                 magic
//   version 1\n
//   kind EPROM\n                  the chip model
//   device 27C256\n               the part name (rest of the line)
//   value KEY TEXT\n              zero or more model values (sizes, electrical facts, flags)
//   blob NAME LENGTH\n            zero or more: LENGTH raw bytes, then \n
//   end\n
// An EPROM/OTP stores words, width (8 or 16), damaged, its electrical facts
// and the blob "cells": one byte per address, or two (high byte first) on a
// 16-bit chip, as the host's buffer holds them. Files are written to a new
// file of a unique name beside the chip file and renamed over it, so a crash
// never leaves half a chip; the new file keeps the old one's mode, a file
// the user may not write is not replaced, and a chip file that is a
// symbolic link is saved to the link's target.
#pragma once

#include <memory>
#include <string>

#include "sim/Chip.h"

namespace krt {

struct DeviceRecord;

inline constexpr const char* kChipFileMagic = "KRTSIM-CHIP";
inline constexpr int kChipFileVersion = 1;

bool ReadChipImage(const std::string& path, ChipImage& image, std::string& error);
bool WriteChipImage(const std::string& path, const ChipImage& image, std::string& error);

// The chip a file holds, whatever device it is.
bool LoadChipFile(const std::string& path, std::unique_ptr<Chip>& chip, std::string& error);
bool SaveChipFile(const std::string& path, const Chip& chip, std::string& error);

// The chip of the file for this device; when the file does not exist a
// blank chip for the device is made and saved there at once. A file that
// holds another device (kind or name differ, names compared without regard
// to case) is refused with a message naming both.
bool LoadOrCreateChipFile(const std::string& path, const DeviceRecord& record, std::unique_ptr<Chip>& chip,
                          std::string& error);

bool ChipFileExists(const std::string& path);

// The file a save of the chip file at path replaces: path itself, or where
// the symbolic links it names lead (also when the last one leads nowhere yet).
std::string ChipFileTarget(const std::string& path);

}  // namespace krt
