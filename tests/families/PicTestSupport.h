// SPDX-License-Identifier: GPL-3.0-or-later
// Device records of the PIC16x84 parts, as the catalogue loads them.
#pragma once

#include <string>

#include "catalogue/DeviceRecord.h"
#include "data/DataBuffer.h"

namespace krt::test {

inline DeviceRecord PicRecord(const std::string& name = "PIC16F84") {
    DeviceRecord r;
    r.name = name;
    r.type = "PIC";
    r.manufacture = "Microchip";
    r.maxsize = 0x400;
    r.bufsize = 0x4010;
    r.typecode = 4;
    r.wordsize = 1;
    r.wordaccess = 1;
    r.bytesPerWord = 2;
    r.retry = 1;
    r.tpw = 10e-3;
    r.ahand = r.amand = r.aland = r.dhand = r.dland = 0xFF;
    r.VppR = r.VppW = 13.0;
    r.VccR = r.VccW = 5.0;
    // The identity check has its own tests; the others look at one operation's lines.
    r.idcheck = 0;
    return r;
}

// The cleared PIC buffer: every word 3FFFh, data-EEPROM words 00FFh.
inline void ClearPicBuffer(std::vector<uint8_t>& buffer) {
    FillBlank(buffer.data(), static_cast<uint32_t>(buffer.size()), 4);
}

inline uint16_t WordAt(const std::vector<uint8_t>& buffer, size_t word) {
    return static_cast<uint16_t>(buffer[2 * word] << 8 | buffer[2 * word + 1]);
}

inline void SetWord(std::vector<uint8_t>& buffer, size_t word, uint16_t value) {
    buffer[2 * word] = static_cast<uint8_t>(value >> 8);
    buffer[2 * word + 1] = static_cast<uint8_t>(value);
}

}  // namespace krt::test
