// SPDX-License-Identifier: GPL-3.0-or-later
// What a device's type code (the record's typecode, also the DEVSET value of
// its socket configuration) says about the device, named once.
#pragma once

#include <cstdint>

namespace krt {

// The PIC microcontroller: 14-bit words, blank 0x3FFF, configuration word at 0x2007.
inline constexpr bool IsPicType(uint8_t typecode) { return typecode == 4; }

// A PIC's buffer mirrors the byte addresses of its Intel HEX files, each word
// high byte first: program words from 0, the eight configuration words
// (2000h-2007h) from byte 4000h, and the 64 data-EEPROM bytes (2100h-213Fh)
// from byte 4200h, one byte in the low half of each word. The bytes between
// 4010h and 41FFh stand for no memory of the chip.
inline constexpr uint32_t kPicConfigByte = 0x4000;
inline constexpr uint32_t kPicConfigEnd = 0x4010;
inline constexpr uint32_t kPicDataEepromByte = 0x4200;
inline constexpr uint32_t kPicDataEepromBytes = 64;
inline constexpr uint32_t kPicBufferBytes = kPicDataEepromByte + 2 * kPicDataEepromBytes;
// A blank data-EEPROM byte as its buffer word holds it.
inline constexpr uint16_t kPicBlankDataWord = 0x00FF;

// The PLDs (GAL16V8, GAL20V8, GAL22V10): fuse maps in JEDEC files.
inline constexpr bool IsGalType(uint8_t typecode) { return typecode >= 5 && typecode <= 7; }

// The PLDs, whose signature row the device option reads and decodes (the
// 22V10's on the row lines too, where Atmel's ATF22V10s tell their name).
inline constexpr bool HasDeviceOption(uint8_t typecode) { return IsGalType(typecode); }

// The parallel EEPROMs whose end of a write the user may choose to wait for
// (timer, busy flag, toggle bit, polling or the computer's timer).
inline constexpr bool HasWaitModeChoice(uint8_t typecode) { return typecode == 0x12; }

// The 16-bit parallel EPROMs.
inline constexpr bool IsSixteenBitType(uint8_t typecode) { return typecode >= 0x18 && typecode <= 0x1B; }

// The serial EEPROMs: 3 on the two-wire bus, 2 on the three-wire bus, 1 a
// serial device that is only read.
inline constexpr bool IsSerialType(uint8_t typecode) { return typecode >= 1 && typecode <= 3; }
inline constexpr bool IsTwoWireType(uint8_t typecode) { return typecode == 3; }
inline constexpr bool IsThreeWireType(uint8_t typecode) { return typecode == 2; }

}  // namespace krt
