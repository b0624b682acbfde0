// SPDX-License-Identifier: GPL-3.0-or-later
// Filling a device record from its parameter file, and the checks that a
// record must pass before a device is selected.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/DeviceRecord.h"
#include "catalogue/ParamFile.h"

namespace krt {

// Fills `record` (reset to a fresh record first) from the device's section of
// `file`: the keys in their order with their defaults and rules, then the
// type-code effects. typeKey, maker and name are the selection's, the
// defaults of the "type", "manufacture" and "name" keys.
void FillDeviceRecord(DeviceRecord& record, ParamFile& file, uint8_t typecode,
                      const std::string& typeKey, const std::string& maker,
                      const std::string& name);

// True for the type codes whose devices are 16 bits wide.
bool IsWordTypeCode(uint8_t typecode);
// True for the PLD type codes 5, 6 and 7.
bool IsPldTypeCode(uint8_t typecode);
// The wait mode a "waitmode" value names.
uint8_t WaitModeFromText(const std::string& text);

// The largest data buffer a device may ask for. A size beyond it is a typing
// error in a parameter file, not a chip.
inline constexpr uint64_t kMaxDeviceBufferBytes = 256u * 1024u * 1024u;

// Checks that the record's sizes fit a data buffer and, for a PLD, that its
// fuse-map layout lies inside `maxsize` fuses and the buffer. False with the
// reason (in terms of the parameter keys) when the device must be refused.
bool CheckDeviceRecord(const DeviceRecord& record, std::string& reason);

}  // namespace krt
