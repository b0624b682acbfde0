// The chip kinds of the simulated programmer's socket: one row each.
#include "sim/ChipFactory.h"
#include "sim/chips/EpromChip.h"
#include "sim/chips/FlashChip.h"

namespace krt {

namespace {

const ChipKind kChipKinds[] = {
    {"EPROM", "EPROM", MakeBlankEprom, MakeShapedEprom},
    {"OTPROM", "OTPROM", MakeBlankEprom, MakeShapedEprom},
    {"FLASH", "FLASH", MakeBlankFlash, MakeShapedFlash},
};

}  // namespace

std::span<const ChipKind> ChipKinds() { return kChipKinds; }

}  // namespace krt
