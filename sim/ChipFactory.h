// Makes chips: a blank one for a device of the catalogue, or the one a chip
// file describes.
#pragma once

#include <memory>
#include <string>

#include "sim/Chip.h"

namespace krt {

struct DeviceRecord;

// The blank chip for the device: type "EPROM" or "OTPROM" (any case) makes
// a parallel EPROM/OTP, 16 bits wide for type codes 0x18 to 0x1B or word
// access, else 8 bits, with maxsize addresses. For any other device the
// socket stays empty: returns null and says why in note.
std::unique_ptr<Chip> MakeBlankChip(const DeviceRecord& record, std::string& note);

// The chip an image describes (kind, size, contents); null with a reason.
std::unique_ptr<Chip> MakeChipFromImage(const ChipImage& image, std::string& error);

}  // namespace krt
