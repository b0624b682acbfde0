// SPDX-License-Identifier: GPL-3.0-or-later
// PIC16C84, PIC16F84 and PIC16F84A in serial program/verify mode, from
// Microchip's programming specifications (DS30189, DS30262) and data sheets:
// - program mode is entered when MCLR (the socket's Vpp) comes into its
//   12-14 V window with Vdd at 4.5-5.5 V while RB6 and RB7 are low; leaving
//   the window leaves program mode, and the address counter starts again at 0;
// - a 6-bit command is taken on six falling edges of RB6, least significant
//   bit first; load commands take a 16-clock data frame (start bit, 14 data
//   bits least significant first, stop bit; start and stop are ignored);
//   read commands drive RB7 from the 2nd rising edge, one bit per rising
//   edge, and release it after the 16th clock;
// - begin programming (08h) erases and programs the addressed word in the
//   part's time; a clock edge or a power-down before that time cuts the cycle
//   short and the word is not programmed;
// - program memory wraps at 1K; load configuration moves the counter to
//   2000h: IDs 2000h-2003h, 2004h/2005h reserved, device ID 2006h (16F84A
//   only), configuration word 2007h; the data EEPROM holds 64 bytes;
// - code protection (16C84: bit 4 of the configuration word; 16F84/84A:
//   bits 13-4) makes program memory and data EEPROM read 0 and refuses to
//   program them; only the code-protect disable sequence (load configuration
//   3FFFh, seven increments to 2007h, commands 1, 7, 8, then 1, 7) clears it,
//   erasing the whole chip.
// The fault aliased:N makes a smaller program memory under the label: the
// counter's bits N and above reach no word of their own.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/Chip.h"
#include "sim/chips/FakeChipFaults.h"

namespace krt {

struct DeviceRecord;

std::unique_ptr<Chip> MakeBlankPic(const DeviceRecord& record, std::string& note);
std::unique_ptr<Chip> MakeShapedPic(const ChipImage& image, std::string& error);

class PicChip : public Chip {
public:
    enum class Part : uint8_t { C84, F84, F84A };
    static constexpr uint32_t kProgramWords = 1024;
    static constexpr uint32_t kDataBytes = 64;
    static constexpr uint32_t kConfigBase = 0x2000;
    static constexpr uint16_t kBlank = 0x3FFF;
    static constexpr uint16_t kDeviceId84A = 0x0560;
    // What the fault "wrong-part" puts at 2006h: a PIC16F628's device ID.
    static constexpr uint16_t kDeviceIdOtherPart = 0x07C0;
    static constexpr uint8_t kSocketConfig = 0x04;
    // Program/verify mode windows and absolute maximum ratings (volts).
    static constexpr double kVppMin = 12.0, kVppMax = 14.0;
    static constexpr double kVddMin = 4.5, kVddMax = 5.5;
    static constexpr double kAbsMaxVpp = 14.0, kAbsMaxVdd = 7.5;
    // Cycles a weak word needs before it takes its value.
    static constexpr uint32_t kWeakCycles = 3;

    PicChip(std::string deviceName, Part part);

    // The part a device name names ("PIC16F84A" before "PIC16F84"); false
    // when it names none of the three.
    static bool PartFromName(const std::string& name, Part& part);

    const char* Kind() const override { return "PIC"; }
    std::string Describe() const override;
    void PinsChanged(const SocketState& socket, uint32_t changed) override;
    bool Output(Pin pin, const SocketState& socket) override;
    double AbsMaxVcc() const override { return kAbsMaxVdd; }
    double AbsMaxVpp() const override { return kAbsMaxVpp; }
    double VccOperatingMin() const override { return kVddMin; }
    bool ApplyFault(std::string_view name, std::string_view args, std::string& error) override;
    // A 16F84A's device ID at 2006h holds the part (DEV, bits 13-5) and the
    // silicon revision (REV, bits 4-0): parts of later revisions read
    // 0561h to 057Fh. Only the 16F84A has one.
    void SetRevision(uint8_t revision);
    void SetCellFaults(const CellFaults& faults) override;
    bool TakesWeakCells() const override { return true; }
    bool TakesDeadCells() const override { return true; }
    void Save(ChipImage& image) const override;
    bool Load(const ChipImage& image, std::string& error) override;

    Part GetPart() const { return part_; }
    bool InProgramMode() const { return programMode_; }
    bool CodeProtected() const;
    // The word a read command would give at a chip address, protection
    // applied (program memory wraps at 1K; 2000h-2007h configuration).
    uint16_t ReadWord(uint32_t address) const;
    // Direct cell access for tests (no protocol, no protection).
    uint16_t Program(uint32_t word) const { return program_[word % kProgramWords]; }
    void SetProgram(uint32_t word, uint16_t value);
    uint16_t Config(uint32_t k) const { return config_[k & 7]; }
    void SetConfig(uint32_t k, uint16_t value);
    uint8_t DataByte(uint32_t a) const { return data_[a % kDataBytes]; }
    void SetDataByte(uint32_t a, uint8_t value);

private:
    enum class Phase : uint8_t { Command, LoadData, ReadData };

    // The program word a counter value reaches (memory wraps at 1K, or
    // sooner on an aliased part).
    uint32_t ProgramIndex(uint32_t address) const { return fakes_.Address(address % kProgramWords); }
    uint16_t CpMask() const { return part_ == Part::C84 ? 0x0010 : 0x3FF0; }
    // The configuration word as read: unimplemented bits of the 16C84 read 1.
    uint16_t ConfigWordRead() const;
    uint64_t ProgramTimeNs() const;
    void Supplies(const SocketState& socket);
    void EnterProgramMode();
    void RisingEdge();
    void FallingEdge(bool data);
    void Execute(uint8_t command);
    void LoadDone(uint16_t value);
    void BeginProgramming(bool chipErase, uint8_t bulk);
    // Ends a programming cycle whose time has passed.
    void Settle(uint64_t nowNs);
    void Commit();
    // Counts a programming cycle at a weak or dead word; true when it takes.
    bool TakeCycle(uint32_t address);

    Part part_;
    FakeChipFaults fakes_;
    std::array<uint16_t, kProgramWords> program_;
    std::array<uint16_t, 8> config_;
    std::array<uint8_t, kDataBytes> data_;

    // Program/verify mode (not persistent).
    uint64_t nowNs_ = 0;
    bool supplyValid_ = false;
    bool programMode_ = false;
    bool clock_ = false;
    uint32_t pc_ = 0;
    uint16_t programLatch_ = kBlank;
    uint8_t dataLatch_ = 0xFF;
    bool dataLoadedLast_ = false;  // the last load was for the data EEPROM
    Phase phase_ = Phase::Command;
    uint8_t command_ = 0;
    unsigned bits_ = 0;
    uint32_t shift_ = 0;
    uint16_t outWord_ = 0;
    bool driving_ = false;
    bool outBit_ = true;
    bool step1_ = false;       // command 1 was the last command
    bool eraseArmed_ = false;  // 1, 7 at 2007h with 3FFFh loaded: the next 8 erases the chip
    uint8_t bulk_ = 0;         // 09h or 0Bh was the last command
    enum class Pending : uint8_t { None, Program, Data, BulkProgram, BulkData, ChipErase } pending_ = Pending::None;
    uint32_t pendingAddress_ = 0;
    uint64_t pendingEndNs_ = 0;

    struct Weak {
        uint32_t address;
        uint32_t cycles;  // needed
        uint32_t seen;
    };
    std::vector<Weak> weak_;
    std::vector<uint32_t> dead_;
    bool otherPart_ = false;  // the socket holds another part: its device ID at 2006h
    bool blankId_ = false;  // blank-signature: 2006h reads blank
};

}  // namespace krt
