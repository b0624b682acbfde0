// SPDX-License-Identifier: GPL-3.0-or-later
// How the programmer's socket is wired for each device configuration (the
// value sent with DEVSET): which latch bit drives which chip pin, and which
// bit of a read reply carries which chip output. Chip models see the named
// pins only; the latch bits stay here.
#pragma once

#include <cstdint>
#include <span>

namespace krt {

// Named chip pins of the bit-banged and handshaking sockets. Parallel chips
// see the address counter and data latches directly, and their /CE, /OE and
// /WE as the programmer's read and write cycles.
enum class Pin : uint8_t {
    SDA,      // two-wire data (shared: the programmer drives it while C port bit 7 is set)
    SCL,      // two-wire clock
    CS,       // three-wire chip select
    SK,       // three-wire clock
    DI,       // three-wire data into the chip
    DO,       // three-wire data out of the chip
    SDIN,     // GAL edit mode: serial data in
    SCLK,     // GAL edit mode: shift clock
    SDOUT,    // GAL edit mode: serial data out
    PV,       // GAL edit mode: program/verify
    STB,      // GAL edit mode: /STB (pulsed, see SocketWiring::strobeGated)
    RA0, RA1, RA2, RA3, RA4, RA5,  // GAL edit mode: row address
    RB6,      // PIC serial clock
    RB7,      // PIC serial data (shared like SDA)
    RdyBusy,  // parallel EEPROM ready/busy output (low while busy)
    Count
};

const char* PinName(Pin pin);

enum class LatchByte : uint8_t { DataLow, DataHigh };
enum class ReplyLane : uint8_t { Low, High };

struct PinInput {
    Pin pin;
    LatchByte latch;
    uint8_t bit;
};

struct PinOutput {
    Pin pin;
    ReplyLane lane;  // DLREAD or DHREAD reply
    uint8_t bit;
};

struct SocketWiring {
    uint8_t config;          // the DEVSET value
    const char* name;        // for people and breach reports
    std::span<const PinInput> inputs;
    std::span<const PinOutput> outputs;
    // A line that both sides drive: the programmer drives it while bit 7
    // of the C port is set and lets the chip drive it while it is clear.
    Pin sharedLine = Pin::Count;
    // GAL sockets: read and write cycles strobe /STB only while bit 7 of
    // the C port is clear; with it set /STB stays high while bits are
    // clocked out.
    bool strobeGated = false;
};

// The wiring of a device configuration; null for a configuration that
// wires no named pins (the parallel sockets without handshake lines).
const SocketWiring* WiringFor(uint8_t config);

}  // namespace krt
