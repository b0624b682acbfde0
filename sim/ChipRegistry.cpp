// The chip kinds of the simulated programmer's socket: one row each.
#include "sim/ChipFactory.h"
#include "sim/chips/EepromChip.h"
#include "sim/chips/EpromChip.h"

namespace krt {

namespace {

const ChipKind kChipKinds[] = {
    {"EPROM", "EPROM", MakeBlankEprom, MakeShapedEprom},
    {"OTPROM", "OTPROM", MakeBlankEprom, MakeShapedEprom},
    {"EEPROM", "EEPROM", MakeBlankEeprom, MakeShapedEeprom},
};

}  // namespace

std::span<const ChipKind> ChipKinds() { return kChipKinds; }

}  // namespace krt
