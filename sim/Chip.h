// SPDX-License-Identifier: GPL-3.0-or-later
// The socket of the simulated programmer and the chip models that sit in it.
//
// A chip sees only its pins: parallel chips the address counter, the data
// latches and the two supplies in volts (SocketState); bit-banged chips
// (serial EEPROMs, PIC, GAL) the named pins that the socket's wiring table
// gives for the current device configuration (SocketState::Level), never
// latch bits. Events: a latch changed (PinsChanged, with a mask of what
// changed), a read cycle (ReadCycle: outputs enabled, data lines sampled;
// Output then gives each wired output pin), a write cycle whose strobe
// lasts the timer period (WriteCycle: the programming pulse of an EPROM,
// the write enable of an EEPROM or flash) and, on GAL sockets, a /STB
// pulse (Strobe). Chips with internal timers compare SocketState::nowNs
// with the time they noted.
//
// A chip belongs to one socket configuration (SocketConfig, the DEVSET
// value its device sends). While DEVSET holds another, the chip is not
// connected as the host expects: it sees its supplies only and does not
// answer.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SocketWiring.h"

namespace krt {

// The chip models count virtual time in nanoseconds.
constexpr uint64_t kNsPerUs = 1000;
constexpr uint64_t kNsPerMs = 1000 * kNsPerUs;

// A part name in capitals, as the models' part tables spell them.
std::string UpperCase(std::string text);

// What the programmer presents to the socket.
struct SocketState {
    uint64_t nowNs = 0;        // virtual time of the event
    uint32_t address = 0;      // 24-bit counter: ALSET bits 0-7, AHSET 8-15, CSET 16-23
    uint8_t dataLow = 0;       // DL latch, D0-D7 while the programmer drives the bus
    uint8_t dataHigh = 0;      // DH latch, D8-D15
    uint8_t deviceConfig = 0;  // DEVSET
    uint8_t outputPort = 0;    // OPORTSET; bit 0 is the auxiliary output
    double vcc = 0.0;          // volts at the socket; 0 while the outputs are gated off
    double vpp = 0.0;          // volts at the socket; 0 while Vpp is off or gated off
    const SocketWiring* wiring = nullptr;  // named pins of the current configuration

    // The level the programmer puts on a named input pin: false where the
    // configuration does not wire the pin; true (released) on a shared line
    // while the programmer lets the chip drive it.
    bool Level(Pin pin) const;
    // Whether the programmer drives the shared line now (C port bit 7).
    bool ProgrammerDrives(Pin pin) const;

    // The C port is the top byte of the address counter (CSET loads it, INC carries into it).
    uint8_t cPort() const { return static_cast<uint8_t>(address >> 16); }
    uint16_t data() const { return static_cast<uint16_t>(dataHigh << 8 | dataLow); }
};

// Bits of the change mask given to Chip::PinsChanged.
enum PinChange : uint32_t {
    kPinAddress = 1u << 0,     // also the C port
    kPinDataLow = 1u << 1,
    kPinDataHigh = 1u << 2,
    kPinConfig = 1u << 3,
    kPinSupply = 1u << 4,
    kPinOutputPort = 1u << 5,
    kPinAll = 0x3F,
};

// Which data latch a read or write cycle belongs to (DLREAD/DLSEND or DHREAD/DHSEND).
enum class DataLane : uint8_t { Low, High };

// Cells that misbehave, by cell address (word address on 16-bit chips).
struct WeakCell {
    uint32_t address = 0;
    uint32_t pulses = 10;  // good pulses the cell needs before it takes its value
};
struct CellFaults {
    static constexpr uint32_t kDefaultWeakPulses = 10;
    std::vector<WeakCell> weak;
    std::vector<uint32_t> dead;  // never program
};

// A chip's persistent state in a neutral form: what the chip file holds.
struct ChipImage {
    std::string kind;    // "EPROM", "OTPROM", ...
    std::string device;  // part name, e.g. "27C256"
    std::map<std::string, std::string> values;
    std::map<std::string, std::vector<uint8_t>> blobs;
};

class Chip {
public:
    explicit Chip(std::string deviceName) : deviceName_(std::move(deviceName)) {}
    virtual ~Chip() = default;
    Chip(const Chip&) = delete;
    Chip& operator=(const Chip&) = delete;

    virtual const char* Kind() const = 0;
    const std::string& DeviceName() const { return deviceName_; }
    // One line for people, e.g. "EPROM 27C256 (32768 x 8 bits)".
    virtual std::string Describe() const;

    // Events from the programmer. Defaults: a chip that ignores its pins and floats its outputs.
    virtual void PinsChanged(const SocketState& socket, uint32_t changed) {
        (void)socket;
        (void)changed;
    }
    // Returns the 16 data lines as the chip drives them; 1 where nothing drives.
    virtual uint16_t ReadCycle(const SocketState& socket, DataLane lane) {
        (void)socket;
        (void)lane;
        return 0xFFFF;
    }
    virtual void WriteCycle(const SocketState& socket, DataLane lane, uint64_t strobeNs) {
        (void)socket;
        (void)lane;
        (void)strobeNs;
    }

    // The level the chip drives on an output pin during a read cycle (or
    // on a shared line: false pulls it low); true where it drives nothing.
    virtual bool Output(Pin pin, const SocketState& socket) {
        (void)pin;
        (void)socket;
        return true;
    }
    // GAL sockets: /STB pulsed low for pulseNs.
    virtual void Strobe(const SocketState& socket, uint64_t pulseNs) {
        (void)socket;
        (void)pulseNs;
    }

    // The device configuration this chip's socket needs (DEVSET value).
    uint8_t SocketConfig() const { return socketConfig_; }
    void SetSocketConfig(uint8_t config) { socketConfig_ = config; }
    // Absolute maximum ratings; a supply beyond them is a breach of the
    // programmer's protocol (and may destroy the chip).
    virtual double AbsMaxVcc() const { return 7.0; }
    virtual double AbsMaxVpp() const { return 1e9; }  // no Vpp pin unless the chip says so
    // The lowest Vcc at which the chip works. Below it a programming voltage
    // more than 1 V above Vcc is the sequence that datasheets warn may
    // destroy the part (Vcc must come with or before Vpp and go with or
    // after it). 5 V parts at -10 % unless the chip says otherwise.
    virtual double VccOperatingMin() const { return 4.5; }

    // A chip fault by its command-line name (see sim/Faults.cpp). True when
    // this chip knows the fault; false with error empty when the fault is for
    // another kind of chip, with error set when the arguments are bad.
    virtual bool ApplyFault(std::string_view name, std::string_view args, std::string& error) {
        (void)name;
        (void)args;
        error.clear();
        return false;
    }

    virtual void SetCellFaults(const CellFaults& faults) { (void)faults; }
    // Whether the model honours weak cells and dead cells (SetCellFaults); a
    // cell fault it would ignore is refused, not shown as injected.
    virtual bool TakesWeakCells() const { return false; }
    virtual bool TakesDeadCells() const { return false; }
    // UV light on the window. False with the reason when the chip has none.
    virtual bool UvErase(std::string& reason);
    virtual bool Damaged() const { return false; }
    // A breach of the chip's own rules by the host since the last call (a
    // command written while the chip is busy, a write cycle below its
    // operating Vcc), as one line; empty when none. The protocol check
    // takes it after every write cycle.
    virtual std::string TakeHostBreach() { return {}; }

    virtual void Save(ChipImage& image) const = 0;
    // Restores from an image of the same kind and device; false with a reason otherwise.
    virtual bool Load(const ChipImage& image, std::string& error) = 0;

    // Set whenever the persistent state changes, so that a run saves only a changed chip.
    bool Changed() const { return changed_; }
    void ClearChanged() { changed_ = false; }

protected:
    std::string deviceName_;
    bool changed_ = false;
    uint8_t socketConfig_ = 0;
};

}  // namespace krt
