// SPDX-License-Identifier: GPL-3.0-or-later
// Makes chips: a blank one for a device of the catalogue, or the one a chip
// file describes. Every chip kind is one row of the registry
// (sim/ChipRegistry.cpp) and one model under sim/chips/.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "sim/Chip.h"

namespace krt {

struct DeviceRecord;

struct ChipKind {
    const char* kind;        // the chip file's kind, e.g. "EPROM"
    const char* deviceType;  // the catalogue's type key it serves (any case)
    // A blank chip for the device, or null with the reason in note (e.g. a
    // type code this model does not cover).
    std::unique_ptr<Chip> (*blank)(const DeviceRecord& record, std::string& note);
    // An empty chip shaped as the image says, before Load; null with a reason.
    std::unique_ptr<Chip> (*shaped)(const ChipImage& image, std::string& error);
};

std::span<const ChipKind> ChipKinds();

// The blank chip for the device: the first kind serving its type key that
// makes one; its socket configuration is the record's type code. Null with
// the reason in note when no model serves the device.
std::unique_ptr<Chip> MakeBlankChip(const DeviceRecord& record, std::string& note);

// The chip an image describes (kind, size, contents); null with a reason.
std::unique_ptr<Chip> MakeChipFromImage(const ChipImage& image, std::string& error);

}  // namespace krt
