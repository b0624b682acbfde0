// The socket of the simulated programmer and the chip models that sit in it.
//
// A chip sees only its pins: the address counter, the data latches, the C
// port, the device configuration, the output port and the two supplies in
// volts (SocketState), plus three kinds of event: a latch changed
// (PinsChanged, with a mask of what changed), a read cycle (ReadCycle: the
// programmer enables the outputs and samples the data lines) and a write
// cycle whose strobe lasts the timer period (WriteCycle: the programming
// pulse of an EPROM, the write enable of an EEPROM or flash, the /STB of a
// GAL). Bit-banged chips (serial EEPROMs, PIC, GAL) read the raw latch bits
// in PinsChanged and run their own state machines; chips with internal
// timers compare SocketState::nowNs with the time they noted.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace krt {

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

    virtual void SetCellFaults(const CellFaults& faults) { (void)faults; }
    // UV light on the window. False with the reason when the chip has none.
    virtual bool UvErase(std::string& reason);
    virtual bool Damaged() const { return false; }

    virtual void Save(ChipImage& image) const = 0;
    // Restores from an image of the same kind and device; false with a reason otherwise.
    virtual bool Load(const ChipImage& image, std::string& error) = 0;

    // Set whenever the persistent state changes, so that a run saves only a changed chip.
    bool Changed() const { return changed_; }
    void ClearChanged() { changed_ = false; }

protected:
    std::string deviceName_;
    bool changed_ = false;
};

}  // namespace krt
