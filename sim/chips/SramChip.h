// SPDX-License-Identifier: GPL-3.0-or-later
// Static RAM 6116, 6264 and 62256 (the JEDEC byte-wide pinout, the same as
// the 28C16 and 28C256 EEPROMs'): a /WE strobe stores the data at once, a
// read gives it back, and everything is lost when Vcc goes: the cells come
// up holding whatever the die settles to. The 6264 is selected only while
// its CS2 (pin 26, where the 28C256 has A13) is high, so its device holds
// that line high. Faults: aliased:N, unstable-bits and dead cells (a cell
// stuck at what it holds).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/Chip.h"
#include "sim/chips/FakeChipFaults.h"

namespace krt {

struct DeviceRecord;

std::unique_ptr<Chip> MakeBlankSram(const DeviceRecord& record, std::string& note);
std::unique_ptr<Chip> MakeShapedSram(const ChipImage& image, std::string& error);

class SramChip : public Chip {
public:
    static constexpr uint32_t kMaxBytes = 1u << 19;
    static constexpr double kVccMin = 4.5;        // reads and writes below this are not answered
    static constexpr double kRetentionVcc = 2.0;  // below this the cells are lost

    SramChip(std::string deviceName, uint32_t bytes);

    const char* Kind() const override { return "SRAM"; }
    void PinsChanged(const SocketState& socket, uint32_t changed) override;
    uint16_t ReadCycle(const SocketState& socket, DataLane lane) override;
    void WriteCycle(const SocketState& socket, DataLane lane, uint64_t strobeNs) override;
    bool ApplyFault(std::string_view name, std::string_view args, std::string& error) override;
    void SetCellFaults(const CellFaults& faults) override;
    bool TakesDeadCells() const override { return true; }
    void Save(ChipImage& image) const override;
    bool Load(const ChipImage& image, std::string& error) override;

private:
    bool Selected(const SocketState& socket) const;
    void LoseContents();

    uint32_t bytes_;
    uint32_t mask_;
    bool needsCs2_;  // the 6264's CS2 on the A13 line
    std::vector<uint8_t> cells_;
    std::vector<uint32_t> dead_;
    bool powered_ = false;
    uint32_t noise_ = 0x6C078965u;
    FakeChipFaults fakes_;
};

}  // namespace krt
