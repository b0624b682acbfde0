// SPDX-License-Identifier: GPL-3.0-or-later
// 28F flash (Intel 28F010 and 28F020, ST M28F101, and their kin), from the
// datasheets:
// - with Vpp at or below 6.5 V the command register is off and the chip
//   reads like an EPROM; with Vpp at 11.4 to 12.6 V commands written as data
//   run its command state machine: 00 read, 90 read ID (A0 selects maker or
//   device code), 40 program set-up then the data write, C0 program verify,
//   20 20 erase set-up and erase, A0 erase verify at the address written
//   with it, FF FF reset;
// - a program pulse starts at the rising edge of the data write's /WE and
//   lasts until the next command write (or until Vpp or Vcc leave their
//   window); it programs (1 to 0 only) when it lasted at least 10 us. An
//   erase pulse starts at the second 20's rising edge and lasts until the
//   next command write; erase time adds up over pulses (an internal stop
//   timer ends each pulse after 9.5 ms), and every byte reads FF once it has
//   had the erase time it needs (one pulse unless a fault says otherwise);
// - a byte that enters an erase with erased bits (not pre-programmed to 00)
//   is over-erased once the erase has run its course: those cells go into
//   depletion and leak on their bit lines, so the same bit of every byte in
//   that column reads 1 from then on (and fails program verify). This is
//   permanent: it is kept in the chip file.
// The fault aliased:N makes a smaller die under the label: address lines N
// and above reach nothing, and the cells beyond 2^N take no part in reads,
// programming or the over-erase of an erase.
// Reads need Vcc; Vpp or Vcc beyond the absolute maximum ratings destroys
// the chip.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/Chip.h"
#include "sim/chips/FakeChipFaults.h"

namespace krt {

struct DeviceRecord;

// Size and identifier codes of one part.
struct FlashPart {
    const char* number;
    uint32_t bytes;
    uint8_t maker;
    uint8_t device;
};

// The part whose number the name contains (longest match wins); false when none.
bool LookUpFlashPart(const std::string& name, FlashPart& part);

// Registry entries.
std::unique_ptr<Chip> MakeBlankFlash(const DeviceRecord& record, std::string& note);
std::unique_ptr<Chip> MakeShapedFlash(const ChipImage& image, std::string& error);

class FlashChip : public Chip {
public:
    static constexpr uint32_t kMaxBytes = 1u << 20;
    // Datasheet timings (ns) and supply windows (V).
    static constexpr uint64_t kProgramPulseNs = 10'000;      // shortest program pulse that counts
    static constexpr uint64_t kErasePulseNs = 9'500'000;     // one erase pulse; the stop timer ends it here
    static constexpr uint64_t kVerifySettleNs = 6'000;       // program/erase verify: command to valid read
    static constexpr double kVppLowMax = 6.5, kVppHighMin = 11.4, kVppHighMax = 12.6;
    static constexpr double kVccMin = 4.5, kVccMax = 5.5;
    static constexpr double kAbsMaxVpp = 14.0, kAbsMaxVcc = 7.0;

    FlashChip(std::string deviceName, uint32_t bytes, uint8_t makerCode, uint8_t deviceCode);

    const char* Kind() const override { return "FLASH"; }
    std::string Describe() const override;

    void PinsChanged(const SocketState& socket, uint32_t changed) override;
    uint16_t ReadCycle(const SocketState& socket, DataLane lane) override;
    void WriteCycle(const SocketState& socket, DataLane lane, uint64_t strobeNs) override;

    bool ApplyFault(std::string_view name, std::string_view args, std::string& error) override;
    void SetCellFaults(const CellFaults& faults) override;
    bool TakesWeakCells() const override { return true; }
    bool TakesDeadCells() const override { return true; }
    bool Damaged() const override { return damaged_; }
    double AbsMaxVcc() const override { return kAbsMaxVcc; }
    double AbsMaxVpp() const override { return kAbsMaxVpp; }
    double VccOperatingMin() const override { return kVccMin; }

    void Save(ChipImage& image) const override;
    bool Load(const ChipImage& image, std::string& error) override;

    // Erase pulses every byte needs (the erase-pulses fault); 0 = never erases.
    void SetErasePulsesNeeded(uint32_t pulses);
    // One byte that needs more erase pulses than the rest; until it has
    // them its bit 7 stays programmed while the others erase.
    void SetSlowEraseByte(uint32_t address, uint32_t pulses);

    uint32_t Bytes() const { return bytes_; }
    uint8_t MakerCode() const { return maker_; }
    uint8_t DeviceCode() const { return device_; }
    // The byte as a plain read would show it (over-erased columns included).
    uint8_t Cell(uint32_t address) const;
    // Direct cell access for tests and tools (no electrical rules; the
    // byte counts as freshly programmed).
    void SetCell(uint32_t address, uint8_t value);
    bool OverErased() const { return overErasedBits_ != 0; }

    // What the chip has seen, for tests and benchmarks.
    uint32_t ProgramPulses() const { return programPulses_; }    // pulses that programmed
    uint32_t ErasePulses() const { return erasePulses_; }        // erase pulses begun and ended
    uint32_t EraseVerifyReads() const { return eraseVerifyReads_; }
    uint32_t EraseVerifyFailures() const { return eraseVerifyFailures_; }
    // Verify reads sooner than kVerifySettleNs after their command (undefined data).
    uint32_t EarlyVerifyReads() const { return earlyVerifyReads_; }
    uint8_t LastCommand() const { return lastCommand_; }

private:
    enum class Mode : uint8_t {
        Read, ReadId, ProgramSetup, Programming, ProgramVerify, EraseSetup, Erasing, EraseVerify
    };

    // The cells an address reaches (all of them unless the chip is aliased).
    uint32_t Reachable() const { return std::min(bytes_, wrapMask_ + 1); }
    bool Powered(const SocketState& s) const { return s.vcc >= kVccMin && s.vcc <= kVccMax; }
    bool CommandsOn(const SocketState& s) const {
        return Powered(s) && s.vpp >= kVppHighMin && s.vpp <= kVppHighMax;
    }
    uint64_t NeedNs(uint32_t address) const;
    uint64_t ExposureNs(uint32_t address) const { return eraseClock_ - mark_[address]; }
    // The stored byte after the erase time it has had (without column leaks).
    uint8_t Settled(uint32_t address) const;
    uint8_t ColumnLeak(uint32_t address) const { return leak_[address % columns_]; }
    // Ends a running program or erase pulse at `atNs`.
    void EndPulse(uint64_t atNs);
    void Command(uint8_t command, const SocketState& socket);
    void Program(uint32_t address, uint8_t data);
    void Erase(uint64_t ns);
    void RebuildLeaks();

    uint32_t bytes_;
    uint32_t wrapMask_;
    FakeChipFaults fakes_;
    uint32_t columns_;
    uint8_t maker_, device_;
    bool otherPart_ = false;  // the wrong-part fault: the identifier of another part
    bool damaged_ = false;
    uint32_t garbageSeed_ = 0x2545F491u;

    std::vector<uint8_t> cells_;        // stored bits; see Settled
    std::vector<uint64_t> mark_;        // erase clock when the byte was last programmed
    std::vector<uint8_t> overErased_;   // per byte: cells in depletion
    std::vector<uint8_t> leak_;         // per column: bits that read 1 through a leaking cell
    uint32_t overErasedBits_ = 0;
    uint64_t eraseClock_ = 0;           // erase time the array has had, ever

    // Erase sequence: from the first erase pulse after a program pulse.
    bool sequenceOpen_ = false;
    uint64_t sequenceNs_ = 0;
    std::vector<std::pair<uint32_t, uint8_t>> pendingOverErase_;  // erased bits that entered the sequence

    uint32_t erasePulsesNeeded_ = 1;    // 0: never erases
    std::vector<std::pair<uint32_t, uint32_t>> slowErase_;  // address, pulses

    std::vector<WeakCell> weak_;
    std::vector<uint32_t> weakSeen_;
    std::vector<uint32_t> dead_;

    // Command state machine.
    Mode mode_ = Mode::Read;
    uint64_t pulseStartNs_ = 0;
    uint32_t pulseAddress_ = 0;
    uint8_t pulseData_ = 0xFF;
    uint32_t verifyAddress_ = 0;

    uint32_t programPulses_ = 0;
    uint32_t erasePulses_ = 0;
    uint32_t eraseVerifyReads_ = 0;
    uint32_t eraseVerifyFailures_ = 0;
    uint32_t earlyVerifyReads_ = 0;
    uint64_t verifyValidNs_ = 0;
    uint8_t lastCommand_ = 0x00;
};

}  // namespace krt
