// The chip kinds of the simulated programmer's socket: one row each.
#include "sim/ChipFactory.h"
#include "sim/chips/EpromChip.h"
#include "sim/chips/GalChip.h"

namespace krt {

namespace {

const ChipKind kChipKinds[] = {
    {"EPROM", "EPROM", MakeBlankEprom, MakeShapedEprom},
    {"OTPROM", "OTPROM", MakeBlankEprom, MakeShapedEprom},
    {"GAL", "GAL", MakeBlankGal, MakeShapedGal},
};

}  // namespace

std::span<const ChipKind> ChipKinds() { return kChipKinds; }

}  // namespace krt
