// SPDX-License-Identifier: GPL-3.0-or-later
// Parallel UV EPROM and OTP PROM, 8 or 16 bits wide, from the datasheets:
// erased cells read 1; a programming pulse clears bits (1 to 0) only with Vpp
// inside the programming window, Vcc at the programming level and a pulse of
// at least the minimum width; a cell takes its value after a set number of
// such pulses; Vpp or Vcc beyond the absolute maximum ratings destroys the
// chip; reads need Vcc; only the EPROM's window lets UV light erase it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/Chip.h"
#include "sim/chips/FakeChipFaults.h"

namespace krt {

struct DeviceRecord;

// Electrical facts of one part (volts, nanoseconds).
struct EpromElectrical {
    double progVppMin = 12.5, progVppMax = 13.0;   // programming window of Vpp
    double progVccMin = 6.0, progVccMax = 6.5;     // Vcc while programming
    double readVccMin = 4.5;                       // below this the outputs stay off
    double absMaxVpp = 14.0, absMaxVcc = 7.0;      // beyond these the chip is destroyed
    uint64_t minPulseNs = 95000;                   // shortest pulse that counts
};

// Facts from the parts table when the name contains a known part number
// (longest match wins: "M27C256B" is a 27C256), else derived from the
// record's write voltages and pulse width. Writes the source into fromTable.
EpromElectrical EpromElectricalFor(const DeviceRecord& record, bool* fromTable = nullptr);
bool LookUpEpromPart(const std::string& name, EpromElectrical& facts);

// Registry entries: a blank chip for an EPROM or OTPROM record, and an
// empty chip shaped by a chip file's image.
std::unique_ptr<Chip> MakeBlankEprom(const DeviceRecord& record, std::string& note);
std::unique_ptr<Chip> MakeShapedEprom(const ChipImage& image, std::string& error);

class EpromChip : public Chip {
public:
    static constexpr uint32_t kMaxWords = 16u * 1024u * 1024u;

    // words: 1 to kMaxWords; wide: 16-bit data; otp: no window.
    EpromChip(std::string deviceName, uint32_t words, bool wide, bool otp, const EpromElectrical& facts);

    const char* Kind() const override { return otp_ ? "OTPROM" : "EPROM"; }
    std::string Describe() const override;

    void PinsChanged(const SocketState& socket, uint32_t changed) override;
    uint16_t ReadCycle(const SocketState& socket, DataLane lane) override;
    // aliased:N and unstable-bits (no write cycle to slow down).
    bool ApplyFault(std::string_view name, std::string_view args, std::string& error) override;
    void WriteCycle(const SocketState& socket, DataLane lane, uint64_t strobeNs) override;

    void SetCellFaults(const CellFaults& faults) override;
    bool TakesWeakCells() const override { return true; }
    bool TakesDeadCells() const override { return true; }
    bool UvErase(std::string& reason) override;
    bool Damaged() const override { return damaged_; }
    double AbsMaxVcc() const override { return facts_.absMaxVcc; }
    double AbsMaxVpp() const override { return facts_.absMaxVpp; }
    double VccOperatingMin() const override { return facts_.readVccMin; }

    void Save(ChipImage& image) const override;
    bool Load(const ChipImage& image, std::string& error) override;

    // Good pulses every cell needs before it takes its value (default 1).
    void SetPulsesPerCell(uint32_t pulses);

    uint32_t Words() const { return words_; }
    bool Wide() const { return wide_; }
    bool Otp() const { return otp_; }
    const EpromElectrical& Electrical() const { return facts_; }
    // Direct cell access for tests and tools (no electrical rules).
    uint16_t Cell(uint32_t address) const;
    void SetCell(uint32_t address, uint16_t value);

private:
    // Counts one good pulse at cell a; true when the cell now takes the data.
    bool CountPulse(uint32_t a);

    uint32_t words_;
    uint32_t wrapMask_;  // unconnected address lines: the counter wraps at the next power of two
    bool wide_;
    bool otp_;
    EpromElectrical facts_;
    bool damaged_ = false;
    uint32_t garbageSeed_ = 0x9E3779B9u;
    FakeChipFaults fakes_;
    std::vector<uint8_t> cells_;      // word high byte first on 16-bit chips
    uint32_t pulsesPerCell_ = 1;
    std::vector<uint8_t> pulseCount_;  // per cell, only while pulsesPerCell_ > 1
    std::vector<WeakCell> weak_;       // sorted by address
    std::vector<uint32_t> weakCount_;  // pulses seen, parallel to weak_
    std::vector<uint32_t> dead_;       // sorted addresses
};

}  // namespace krt
