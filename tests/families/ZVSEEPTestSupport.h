// SPDX-License-Identifier: GPL-3.0-or-later
// Device records of the serial EEPROM tests, as the shipped catalogue and
// the loader make them.
#pragma once

#include <string>

#include "catalogue/DeviceRecord.h"

namespace krt::test {

// A 24Cxx (type code 3): bytes, pages, device select A0.
inline DeviceRecord TwoWireEeprom(const std::string& name, uint32_t bytes, uint32_t page) {
    DeviceRecord r;
    r.name = name;
    r.type = "SEEPROM";
    r.manufacture = "Atmel";
    r.maxsize = bytes;
    r.bufsize = bytes;
    r.pagesize = page;
    r.tpw = 10e-3;
    r.tpr = 1e-6;
    r.retry = 1;
    r.verify = 1;
    r.typecode = 3;
    r.controlcode = 0xA0;
    r.ahand = r.amand = r.aland = r.dhand = r.dland = 0xFF;
    r.VppR = r.VccR = r.VppW = r.VccW = 5.0;
    r.waitmode = 4;
    return r;
}

// A 93Cx6 in 16-bit organisation (type code 2): words, address bits.
inline DeviceRecord ThreeWireEeprom(const std::string& name, uint32_t words, uint8_t addrlen) {
    DeviceRecord r = TwoWireEeprom(name, words, 1);
    r.manufacture = "Microchip";
    r.typecode = 2;
    r.controlcode = 0;
    r.addrlen = addrlen;
    r.retry = 3;
    r.wordsize = r.wordaccess = 1;
    r.bytesPerWord = 2;
    r.bufsize = words * 2;
    return r;
}

}  // namespace krt::test
