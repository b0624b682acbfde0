// SPDX-License-Identifier: GPL-3.0-or-later
// The family factory: the record's type string chooses the class.
#pragma once

#include <memory>

#include "families/ZVDevice.h"

namespace krt {

// Compares the record's type with "GAL", "OTPROM", "EPROM", "EEPROM",
// "SEEPROM", "FLASH", "PIC" in this order, ignoring case, and creates the
// first family that matches; none for any other type (result 6).
// Matches the link's FamilyFactory, so it can be installed as link.createFamily.
std::unique_ptr<ZVDevice> CreateFamily(LinkContext& link, const LinkRequest& request, DeviceRecord& record);

}  // namespace krt
