// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SocketWiring.h"

namespace krt {

namespace {

using L = LatchByte;

// Three-wire 93Cx6 (configurations 01 and 02): CS, SK and DI on data-low
// bits 0 to 2; DO comes back on bit 7 of the DLREAD reply.
constexpr PinInput kThreeWireIn[] = {{Pin::CS, L::DataLow, 0}, {Pin::SK, L::DataLow, 1}, {Pin::DI, L::DataLow, 2}};
constexpr PinOutput kThreeWireOut[] = {{Pin::DO, ReplyLane::Low, 7}};

// Two-wire 24Cxx (configuration 03): SDA on data-low bit 3, SCL on bit 4;
// the line SDA is read back on bit 3.
constexpr PinInput kTwoWireIn[] = {{Pin::SDA, L::DataLow, 3}, {Pin::SCL, L::DataLow, 4}};
constexpr PinOutput kTwoWireOut[] = {{Pin::SDA, ReplyLane::Low, 3}};

// PIC16x84 (configuration 04): RB6 clock on data-high bit 5, RB7 data on
// data-high bit 4; RB7 is read back on bit 6 of the DLREAD reply.
constexpr PinInput kPicIn[] = {{Pin::RB6, L::DataHigh, 5}, {Pin::RB7, L::DataHigh, 4}};
constexpr PinOutput kPicOut[] = {{Pin::RB7, ReplyLane::Low, 6}};

// GAL edit mode: the 16-bit port word is data-low (bits 0-7) and
// data-high (bits 8-15).
constexpr PinInput Word(Pin pin, unsigned bit) {
    return {pin, bit < 8 ? L::DataLow : L::DataHigh, static_cast<uint8_t>(bit & 7)};
}
constexpr PinInput kGal16In[] = {Word(Pin::SDIN, 0), Word(Pin::SCLK, 1), Word(Pin::RA0, 11), Word(Pin::RA1, 6),
                                 Word(Pin::RA2, 5),  Word(Pin::RA3, 4),  Word(Pin::RA4, 3),  Word(Pin::RA5, 2),
                                 Word(Pin::PV, 10)};
constexpr PinOutput kGal16Out[] = {{Pin::SDOUT, ReplyLane::Low, 4}};
constexpr PinInput kGal20In[] = {Word(Pin::SDIN, 0), Word(Pin::SCLK, 1), Word(Pin::RA0, 10), Word(Pin::RA1, 8),
                                 Word(Pin::RA2, 7),  Word(Pin::RA3, 6),  Word(Pin::RA4, 3),  Word(Pin::RA5, 2),
                                 Word(Pin::PV, 9)};
constexpr PinOutput kGal20Out[] = {{Pin::SDOUT, ReplyLane::Low, 5}};
constexpr PinInput kGal22In[] = {Word(Pin::SDIN, 0), Word(Pin::SCLK, 1), Word(Pin::RA0, 7), Word(Pin::RA1, 6),
                                 Word(Pin::RA2, 5),  Word(Pin::RA3, 4),  Word(Pin::RA4, 3), Word(Pin::RA5, 2),
                                 Word(Pin::PV, 8)};
constexpr PinOutput kGal22Out[] = {{Pin::SDOUT, ReplyLane::Low, 4}};

// Parallel EEPROM 28Cxx (configuration 12): RDY/BUSY on data-high bit 3.
constexpr PinOutput kEepromOut[] = {{Pin::RdyBusy, ReplyLane::High, 3}};

const SocketWiring kWirings[] = {
    {0x01, "three-wire serial EEPROM", kThreeWireIn, kThreeWireOut},
    {0x02, "three-wire serial EEPROM, 16-bit words", kThreeWireIn, kThreeWireOut},
    {0x03, "two-wire serial EEPROM", kTwoWireIn, kTwoWireOut, Pin::SDA},
    {0x04, "PIC16x84 serial programming", kPicIn, kPicOut, Pin::RB7},
    {0x05, "GAL16V8 edit mode", kGal16In, kGal16Out, Pin::Count, true},
    {0x06, "GAL20V8 edit mode", kGal20In, kGal20Out, Pin::Count, true},
    {0x07, "GAL22V10 edit mode", kGal22In, kGal22Out, Pin::Count, true},
    {0x12, "parallel EEPROM with RDY/BUSY", {}, kEepromOut},
};

constexpr const char* kPinNames[] = {"SDA", "SCL", "CS",  "SK",  "DI",  "DO",  "SDIN", "SCLK", "SDOUT", "P/V",
                                     "/STB", "RA0", "RA1", "RA2", "RA3", "RA4", "RA5",  "RB6",  "RB7",   "RDY/BUSY"};
static_assert(sizeof kPinNames / sizeof kPinNames[0] == static_cast<size_t>(Pin::Count));

}  // namespace

const char* PinName(Pin pin) {
    return pin < Pin::Count ? kPinNames[static_cast<size_t>(pin)] : "?";
}

const SocketWiring* WiringFor(uint8_t config) {
    for (const SocketWiring& w : kWirings)
        if (w.config == config) return &w;
    return nullptr;
}

}  // namespace krt
