// SPDX-License-Identifier: GPL-3.0-or-later
// Parallel EEPROM 28Cxx, from the makers' datasheets:
// - a write (a /WE strobe) loads a byte into the page buffer; each further
//   byte must follow within the byte-load window (tBLC), else the internal
//   write cycle starts with what was loaded; a read also ends the load.
//   The page is the one of the last byte loaded (its upper address bits);
//   bytes loaded for another page land at their offsets in that one. Parts
//   without pages start their cycle at the strobe;
// - during the write cycle reads give DATA polling (I/O7 the complement of
//   bit 7 of the last byte loaded), a toggling I/O6 on parts with the
//   toggle bit, RDY/BUSY low on parts with that pin; the other outputs are
//   undefined (the model gives them complemented); writes are ignored;
//   afterwards reads give the data;
// - software data protection (parts that have it): the enable sequence
//   AA/5555, 55/2AAA, A0/5555 and the disable sequence AA, 55, 80, AA, 55,
//   20 (same addresses, low 15 address bits; 8K parts decode A0-A12) take
//   effect at the end of their write cycle; bytes loaded after a sequence in
//   the same window are written; command bytes are never stored. While
//   protection is on, a window without the sequence runs a dummy cycle that
//   writes nothing. The state is nonvolatile;
// - writes are inhibited below the Vcc threshold and for a power-up delay
//   after Vcc has crossed it; losing Vcc abandons a load or a cycle;
// - cycle time: the model takes half the datasheet maximum (the datasheets
//   give no typical figure); the slow-write fault takes the maximum.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/Chip.h"
#include "sim/chips/FakeChipFaults.h"

namespace krt {

struct DeviceRecord;

// Facts of one part (bytes, nanoseconds, volts).
struct EepromFacts {
    uint32_t bytes = 0x8000;
    uint32_t page = 64;            // bytes per page; 1: byte writes only
    uint64_t loadWindowNs = 150000;  // tBLC
    uint64_t cycleMaxNs = 10000000;  // tWC max
    bool toggleBit = true;
    bool readyBusy = false;        // RDY/BUSY on pin 1
    bool protection = true;        // software data protection
    double inhibitVcc = 3.8;       // writes inhibited below
    uint64_t powerUpDelayNs = 5000000;
    double absMaxVcc = 6.25;
};

// Facts from the parts table when the name contains a known part number
// (longest match wins), else derived from the record (page size, write
// cycle from tpw). Writes whether the table knew the part into fromTable.
EepromFacts EepromFactsFor(const DeviceRecord& record, bool* fromTable = nullptr);
bool LookUpEepromPart(const std::string& name, EepromFacts& facts);

// Registry entries.
std::unique_ptr<Chip> MakeBlankEeprom(const DeviceRecord& record, std::string& note);
std::unique_ptr<Chip> MakeShapedEeprom(const ChipImage& image, std::string& error);

class EepromChip : public Chip {
public:
    static constexpr uint32_t kMaxBytes = 1u << 20;
    static constexpr double kReadVccMin = 4.5;  // below this the outputs stay off

    EepromChip(std::string deviceName, const EepromFacts& facts);

    const char* Kind() const override { return "EEPROM"; }
    std::string Describe() const override;

    void PinsChanged(const SocketState& socket, uint32_t changed) override;
    uint16_t ReadCycle(const SocketState& socket, DataLane lane) override;
    void WriteCycle(const SocketState& socket, DataLane lane, uint64_t strobeNs) override;
    bool Output(Pin pin, const SocketState& socket) override;

    bool ApplyFault(std::string_view name, std::string_view args, std::string& error) override;
    void SetCellFaults(const CellFaults& faults) override;
    bool TakesWeakCells() const override { return true; }
    bool TakesDeadCells() const override { return true; }
    double AbsMaxVcc() const override { return facts_.absMaxVcc; }
    double VccOperatingMin() const override { return kReadVccMin; }

    void Save(ChipImage& image) const override;
    bool Load(const ChipImage& image, std::string& error) override;

    const EepromFacts& Facts() const { return facts_; }
    uint64_t CycleNs() const {
        return fakes_.Length(slowWrite_ ? facts_.cycleMaxNs : facts_.cycleMaxNs / 2, facts_.cycleMaxNs);
    }
    bool Protected() const { return protected_; }
    void SetProtected(bool on);
    // Whether a write cycle runs at `nowNs` (events bring the chip up to date first).
    bool Busy(uint64_t nowNs);
    uint32_t Cycles() const { return cycles_; }
    // Direct cell access for tests and tools (no electrical rules).
    uint8_t Cell(uint32_t address) const { return address < cells_.size() ? cells_[address] : 0xFF; }
    void SetCell(uint32_t address, uint8_t value);

private:
    void Advance(uint64_t nowNs);
    void Load(uint32_t address, uint8_t data, uint64_t nowNs);
    void PutInPage(uint32_t address, uint8_t data);
    void StartCycle(uint64_t startNs);
    void EndCycle();
    void Abandon();
    bool TakesWrite(uint32_t address);

    EepromFacts facts_;
    uint32_t mask_;  // address lines the chip has
    std::vector<uint8_t> cells_;
    bool protected_ = false;

    // Supply.
    bool powered_ = false;
    uint64_t poweredSinceNs_ = 0;

    // The byte-load window.
    bool loading_ = false;
    uint64_t lastStrobeNs_ = 0;
    uint8_t lastByte_ = 0xFF;
    uint32_t pageBase_ = 0;
    std::vector<int16_t> pageData_;     // -1: not loaded
    std::vector<uint32_t> loadedOffsets_;
    // Protection sequences seen at the window's start.
    bool matching_ = false;             // the window's bytes so far follow a sequence
    unsigned matched_ = 0;              // bytes of the sequence matched
    std::vector<std::pair<uint32_t, uint8_t>> held_;  // matched bytes not yet known to be commands
    bool unlocked_ = false;             // a complete sequence came first: the window's data is written
    int pendingProtection_ = -1;        // set at the cycle's end: 0 off, 1 on

    // The write cycle.
    bool busy_ = false;
    uint64_t busyUntilNs_ = 0;
    bool writesData_ = false;
    bool toggle_ = false;
    uint32_t cycles_ = 0;

    // Faults.
    bool neverReady_ = false;
    bool slowWrite_ = false;
    std::vector<WeakCell> weak_;
    std::vector<uint32_t> weakSeen_;
    std::vector<uint32_t> dead_;
    FakeChipFaults fakes_;
};

}  // namespace krt
