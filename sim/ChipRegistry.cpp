// SPDX-License-Identifier: GPL-3.0-or-later
// The chip kinds of the simulated programmer's socket: one row each.
#include "sim/ChipFactory.h"
#include "sim/chips/EepromChip.h"
#include "sim/chips/EpromChip.h"
#include "sim/chips/FlashChip.h"
#include "sim/chips/Flash5vChip.h"
#include "sim/chips/SerialEepromChips.h"
#include "sim/chips/PicChip.h"
#include "sim/chips/GalChip.h"
#include "sim/chips/SramChip.h"

namespace krt {

namespace {

const ChipKind kChipKinds[] = {
    {"EPROM", "EPROM", MakeBlankEprom, MakeShapedEprom},
    {"OTPROM", "OTPROM", MakeBlankEprom, MakeShapedEprom},
    {"FLASH", "FLASH", MakeBlankFlash, MakeShapedFlash},
    {"SEEPROM-2W", "SEEPROM", MakeBlankTwoWireEeprom, MakeShapedTwoWireEeprom},
    {"SEEPROM-3W", "SEEPROM", MakeBlankThreeWireEeprom, MakeShapedThreeWireEeprom},
    {"EEPROM", "EEPROM", MakeBlankEeprom, MakeShapedEeprom},
    {"PIC", "PIC", MakeBlankPic, MakeShapedPic},
    {"GAL", "GAL", MakeBlankGal, MakeShapedGal},
    {"FLASH5V", "FLASH5V", MakeBlankFlash5v, MakeShapedFlash5v},
    {"SRAM", "SRAM", MakeBlankSram, MakeShapedSram},
};

}  // namespace

std::span<const ChipKind> ChipKinds() { return kChipKinds; }

}  // namespace krt
