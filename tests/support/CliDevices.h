// SPDX-License-Identifier: GPL-3.0-or-later
// The devices that the command tests name most, as krt takes them on its
// line (type, maker, name).
#pragma once

#include <string>
#include <vector>

namespace krt {

inline const std::vector<std::string> k27C64 = {"EPROM", "AMD", "27C64"};
inline const std::vector<std::string> k27C256 = {"EPROM", "AMD", "27C256"};
inline const std::vector<std::string> k24C02 = {"SEEPROM", "Atmel", "AT24C02"};
inline const std::vector<std::string> kGal16 = {"GAL", "Lattice", "GAL16V8"};
inline const std::vector<std::string> kGal22 = {"GAL", "Lattice", "GAL22V10"};
inline const std::vector<std::string> kPic84 = {"PIC", "Microchip", "PIC16F84"};

}  // namespace krt
