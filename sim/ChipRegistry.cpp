// The chip kinds of the simulated programmer's socket: one row each.
#include "sim/ChipFactory.h"
#include "sim/chips/EpromChip.h"
#include "sim/chips/PicChip.h"

namespace krt {

namespace {

const ChipKind kChipKinds[] = {
    {"EPROM", "EPROM", MakeBlankEprom, MakeShapedEprom},
    {"OTPROM", "OTPROM", MakeBlankEprom, MakeShapedEprom},
    {"PIC", "PIC", MakeBlankPic, MakeShapedPic},
};

}  // namespace

std::span<const ChipKind> ChipKinds() { return kChipKinds; }

}  // namespace krt
