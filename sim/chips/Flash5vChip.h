// SPDX-License-Identifier: GPL-3.0-or-later
// 5 V single-supply flash with the JEDEC command set, from the makers'
// datasheets (SST39SF010A/020A/040, Am29F010B/040B, AT49F010/040,
// MX29F040; the page-mode AT29C512/010A/020/040A, W29C020/040, W29EE011,
// SST29EE010):
// - commands are written as bus cycles at fixed addresses: AA at 5555h, 55
//   at 2AAAh, then the command at 5555h. The chip decodes A14-A0 (AMD
//   parts A10-A0, so 555h/2AAh are the same cycles); any other cycle in the
//   middle of a sequence returns it to read mode, and nothing is programmed.
//   Commands: A0 program (the next cycle's address and data), 90 product
//   ID (address 0 the maker code, 1 the device code), 80 AA 55 10 chip
//   erase, 80 AA 55 30-at-a-sector sector erase (not on the AT49F, which
//   erases only the whole chip), 80 AA 55 60 product ID
//   (Winbond's six-byte form), F0 at any address leaves ID mode and resets;
//   AA 55 F0 does the same;
// - byte-program parts: the program runs from the fourth cycle's rising
//   edge; it only clears bits. While it or an erase runs, reads give DQ7 the
//   complement of the data's bit 7 (0 during an erase), DQ6 toggling, and
//   on AMD parts DQ5 set once the internal time limit has passed (a 1 over
//   a 0, or a chip that never finishes); commands are ignored. Erase sets
//   the chip or the sector to FF when its time has run;
// - page-mode parts: every write cycle loads a byte into the page of the
//   last byte loaded; each next byte must come within the byte-load window
//   (tBLC) or the page's write cycle starts with what was loaded (a later
//   byte finds the chip busy and is lost). The cycle erases the page and
//   programs it: bytes not loaded become FF (Winbond, SST) or indeterminate
//   (Atmel). A read also ends the load, and so does the supply's fall: a
//   load open at power-down is written. Any cycle outside a command
//   sequence is page data, a lone F0 too. With software data protection on, a
//   page must follow AA/55/A0 (which also turns the protection on) or the
//   chip runs a cycle that writes nothing; AA 55 80 AA 55 20 turns it off
//   (and the page that follows is written). The state is nonvolatile;
// - writes are inhibited below the write-inhibit Vcc and for a power-up
//   delay after Vcc has crossed it; losing Vcc abandons what runs.
// Times: the datasheets' typical figures; the slow-write fault takes the
// maximum. Strict mode (the protocol check) is told of a write cycle while
// the chip is busy, and of one at a Vcc below the operating minimum.
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
struct Flash5vFacts {
    uint32_t bytes = 0x20000;
    uint8_t maker = 0xBF;
    uint8_t device = 0xB5;
    uint32_t page = 1;                 // > 1: page-mode part
    uint32_t sector = 0x1000;          // sector-erase size (byte-program parts)
    uint64_t programTypNs = 14000;     // byte program, or the page's write cycle
    uint64_t programMaxNs = 20000;
    uint64_t eraseTypNs = 70000000;    // chip erase; 0: the part has no chip-erase command
    uint64_t eraseMaxNs = 100000000;
    uint64_t loadWindowNs = 150000;    // tBLC (page-mode parts)
    uint32_t decodeMask = 0x7FFF;      // the command address bits the chip decodes
    bool dq5 = false;                  // AMD's time-limit bit
    bool toggleBit = true;             // DQ6
    bool threeByteId = true;           // 5555/90 enters ID mode (W29EE011: only the six-byte form)
    bool unloadedFF = true;            // page mode: bytes not loaded become FF (else indeterminate)
    bool protection = false;           // page mode: switchable software data protection
    double inhibitVcc = 3.8;
    uint64_t powerUpDelayNs = 5000000;
    // Pin 1 is RESET# (the 002 parts without N): the socket drives it as
    // address bit 18, and while it is low the chip is held in reset.
    bool resetOnPin1 = false;
};

// The part whose number the name contains (longest match wins); false when none.
bool LookUpFlash5vPart(const std::string& name, Flash5vFacts& facts);

// Registry entries.
std::unique_ptr<Chip> MakeBlankFlash5v(const DeviceRecord& record, std::string& note);
std::unique_ptr<Chip> MakeShapedFlash5v(const ChipImage& image, std::string& error);

class Flash5vChip : public Chip {
public:
    static constexpr uint32_t kMaxBytes = 1u << 20;
    static constexpr double kVccMin = 4.5, kVccMax = 5.5, kAbsMaxVcc = 6.25;

    Flash5vChip(std::string deviceName, const Flash5vFacts& facts);

    const char* Kind() const override { return "FLASH5V"; }
    std::string Describe() const override;

    void PinsChanged(const SocketState& socket, uint32_t changed) override;
    uint16_t ReadCycle(const SocketState& socket, DataLane lane) override;
    void WriteCycle(const SocketState& socket, DataLane lane, uint64_t strobeNs) override;
    std::string TakeHostBreach() override;

    bool ApplyFault(std::string_view name, std::string_view args, std::string& error) override;
    void SetCellFaults(const CellFaults& faults) override;
    double AbsMaxVcc() const override { return kAbsMaxVcc; }
    double VccOperatingMin() const override { return kVccMin; }

    void Save(ChipImage& image) const override;
    bool Load(const ChipImage& image, std::string& error) override;

    const Flash5vFacts& Facts() const { return facts_; }
    bool Protected() const { return protected_; }
    void SetProtected(bool on);
    bool InIdMode() const { return mode_ == Mode::Id; }
    bool Busy(uint64_t nowNs);
    uint32_t Programs() const { return programs_; }  // byte programs and page cycles begun
    uint32_t Erases() const { return erases_; }
    uint8_t Cell(uint32_t address) const { return address < cells_.size() ? cells_[address] : 0xFF; }
    void SetCell(uint32_t address, uint8_t value);

private:
    enum class Mode : uint8_t { Read, Id };
    enum class Run : uint8_t { None, Program, Page, Erase };

    void Advance(uint64_t nowNs);
    void Command(uint32_t address, uint8_t data, uint64_t nowNs);
    void Reset();
    void StartProgram(uint32_t address, uint8_t data, uint64_t nowNs);
    void StartErase(uint32_t from, uint32_t count, uint64_t nowNs);
    void PageLoad(uint32_t address, uint8_t data, uint64_t nowNs);
    void StartPageCycle(uint64_t startNs);
    void EndBusy();
    void Abandon();
    bool TakesWrite(uint32_t address);
    void NoteBreach(const char* what, uint64_t nowNs);
    bool HeldInReset(const SocketState& socket);
    // The address bit the 32-pin socket puts on pin 1 (A18).
    static constexpr uint32_t kPin1AddressBit = 1u << 18;
    uint64_t ProgramNs() const { return fakes_.Length(slow_ ? facts_.programMaxNs : facts_.programTypNs, facts_.programMaxNs); }
    uint64_t EraseNs() const { return fakes_.Length(slow_ ? facts_.eraseMaxNs : facts_.eraseTypNs, facts_.eraseMaxNs); }

    Flash5vFacts facts_;
    uint32_t mask_;
    std::vector<uint8_t> cells_;
    bool protected_ = false;

    bool powered_ = false;
    uint64_t poweredSinceNs_ = 0;

    // The command sequence: cycles matched so far (0 = read mode).
    Mode mode_ = Mode::Read;
    unsigned step_ = 0;
    bool erasePrefix_ = false;   // 80 seen: the second unlock leads to an erase or six-byte command
    bool programArmed_ = false;  // A0 seen: the next cycle is the address and data

    // Page load (page-mode parts).
    bool loading_ = false;
    uint64_t lastLoadNs_ = 0;
    uint32_t pageBase_ = 0;
    std::vector<int16_t> pageData_;
    bool unlocked_ = false;          // AA 55 A0 began the load
    int pendingProtection_ = -1;     // set at the cycle's end: 0 off, 1 on
    std::vector<std::pair<uint32_t, uint8_t>> held_;  // cycles of a sequence not yet known to be commands

    // Busy.
    Run busy_ = Run::None;
    uint64_t busyFromNs_ = 0;
    uint64_t busyUntilNs_ = 0;
    uint8_t pollData_ = 0xFF;        // what DQ7 polls against
    bool toggle_ = false;
    bool exceeded_ = false;          // AMD: DQ5 once the time limit has passed
    uint32_t eraseFrom_ = 0, eraseCount_ = 0;
    uint32_t programAddress_ = 0;
    uint8_t programData_ = 0xFF;

    uint32_t programs_ = 0, erases_ = 0;

    // Faults.
    bool neverReady_ = false;
    bool slow_ = false;
    bool locked_ = false;  // sdp-locked: protection on, and no sequence lifts it
    int identity_ = 0;  // 1: another maker's part, 2: the same maker's other part, 3: a blank ID (FF FF)
    FakeChipFaults fakes_;
    std::vector<WeakCell> weak_;
    std::vector<uint32_t> weakSeen_;
    std::vector<uint32_t> dead_;

    std::string breach_;
};

}  // namespace krt
