// SPDX-License-Identifier: GPL-3.0-or-later
// GAL16V8, GAL20V8 and GAL22V10 in edit mode, from the public descriptions
// of GAL programming (Lattice data sheets; the afterburner programmer's notes):
//
// - Edit mode needs Vcc and the edit voltage on the Vpp pin; then the chip
//   listens to its row-address lines RA0-RA5, SDIN, SCLK, P/V and /STB and
//   drives SDOUT. Without it the pins are logic pins and nothing is shifted.
// - SDIN is taken on each rising SCLK edge into a shift register whose far
//   end is SDOUT: the first bit shifted in is the first one out.
// - /STB with P/V low loads the addressed row into the register (its first
//   bit is on SDOUT at once). /STB with P/V high programs the addressed row
//   from the register, if the pulse is at least the programming time and
//   Vpp is in the programming window; programming only clears cells (an
//   erased cell reads 1). The 22V10 takes its array and signature rows from
//   six address bits shifted in behind the data (RA lines at 0), least
//   significant first; those bits stay in the register when a row loads.
// - Fixed rows, 16V8/20V8: signature (UES) 32 / 40, PES 58, architecture
//   word 60 (82 bits), security 61, erase-all 62, erase 63. 22V10: ASR 16
//   (20 bits) on the row lines, signature 44 and PES 58 by serial address,
//   erase-all 60, erase 61. Erase clears the array, the signature, the
//   architecture bits and the security cell to 1s and keeps the PES;
//   erase-all also clears the PES to 0s. The PES cannot be programmed.
// - A set security cell blocks reading of the functional bits (array and
//   architecture word): they load as 0s. The signature and the PES stay
//   readable.
//
// Atmel's ATF16V8B/C, ATF20V8B and ATF22V10B/C (their datasheets and the
// open programmers' practice, as gathered for this project) have the same
// rows, with these differences:
// - the PES is the part name in ASCII, last character first ("1B8V61F1");
// - programming and input voltages above 14.0 V are beyond the absolute
//   maximum; cells program from 10 V up;
// - an erase takes its own, longer pulse (100 ms) whatever the programming
//   pulse; the erase-all rows are not modelled (the sources disagree);
// - 22V10B/C: bits are shifted with P/V low (clocks with P/V high are not
//   taken), and the signature row holds 68 fill bits (reading 1, taking no
//   programming) before the 64 signature bits;
// - 22V10C: the serial row address is five clocked bits, most significant
//   first, with row bit 0 on SDIN at the strobe (the register is 137 bits);
//   the configuration row likewise takes its 20th bit from SDIN;
// - 16V8C: SDOUT is driven only while P/V is high;
// - C parts: a power-down cell, erased 1 (power-down enabled), cleared by a
//   program strobe on row 59 (22V10C: serial address 59), read on row 59.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/Chip.h"

namespace krt {

struct DeviceRecord;

struct GalPart {
    const char* name;     // "GAL16V8"
    uint8_t config;       // socket configuration (DEVSET value)
    int rows;             // array rows (edit rows = JEDEC lines)
    int columns;          // bits per array row
    int configBits;       // 82 (ACW) or 20 (ASR)
    int pesBytes;         // 8 or 10
    uint8_t pes[10];      // the electronic signature, byte 0 first, each least significant bit first
    double progVpp;       // programming voltage the PES's algorithm names
    uint64_t progPulseNs; // programming time the PES's algorithm names
    // ATF parts (all false, absMaxVpp 17: Lattice).
    double absMaxVpp = 17.0;
    bool atf = false;
    bool pvLowShift = false;   // 22V10B/C
    bool fillBits = false;     // 22V10B/C signature row
    bool msbAddress = false;   // 22V10C
    bool pvHighOut = false;    // 16V8C
    bool powerDown = false;    // C parts
};

// An ATF part by its algorithm's name ("ATF22V10C"), or null.
const GalPart* GalPartNamed(std::string_view name);

// The part for a socket configuration (5, 6, 7), or null.
const GalPart* GalPartForConfig(uint8_t config);

std::unique_ptr<Chip> MakeBlankGal(const DeviceRecord& record, std::string& note);
std::unique_ptr<Chip> MakeShapedGal(const ChipImage& image, std::string& error);

class GalChip : public Chip {
public:
    static constexpr double kEditVppMin = 10.0;   // edit mode on the Vpp pin
    static constexpr double kReadVccMin = 4.5;
    static constexpr double kWindowBelow = 1.0;   // programming window around the PES voltage
    static constexpr double kWindowAbove = 1.0;
    static constexpr double kWrongVppShift = 2.5; // the wrong-vpp fault: the part wants this much more
    static constexpr uint32_t kDefaultWeakPulses = 2;

    GalChip(std::string deviceName, const GalPart& part);

    const char* Kind() const override { return "GAL"; }
    std::string Describe() const override;

    void PinsChanged(const SocketState& socket, uint32_t changed) override;
    bool Output(Pin pin, const SocketState& socket) override;
    void Strobe(const SocketState& socket, uint64_t pulseNs) override;

    double AbsMaxVpp() const override { return part_.absMaxVpp; }
    std::string TakeHostBreach() override { return std::exchange(hostBreach_, std::string()); }
    double VccOperatingMin() const override { return kReadVccMin; }
    bool ApplyFault(std::string_view name, std::string_view args, std::string& error) override;

    void Save(ChipImage& image) const override;
    bool Load(const ChipImage& image, std::string& error) override;

    const GalPart& Part() const { return part_; }
    bool Secured() const { return secured_; }
    bool Serial() const { return part_.config == 7; }
    int UesRow() const { return Serial() ? 44 : part_.rows; }
    int UesBits() const { return Serial() ? 132 : 64; }
    static constexpr double kAtfProgVppMin = 10.0;
    double ProgVppMin() const {
        return (part_.atf ? kAtfProgVppMin : part_.progVpp - kWindowBelow) + (wrongVpp_ ? kWrongVppShift : 0.0);
    }
    double ProgVppMax() const {
        return (part_.atf ? part_.absMaxVpp : part_.progVpp + kWindowAbove) + (wrongVpp_ ? kWrongVppShift : 0.0);
    }
    uint64_t MinPulseNs() const { return part_.progPulseNs * 95 / 100; }
    // The erase time of the PES's algorithm (100 ms on every modelled part).
    // A chip at its datasheet maximum (slow-erase) erases only with a
    // pulse of at least 95 % of it; otherwise the programming time does.
    static constexpr uint64_t kEraseNs = 100000000;
    uint64_t MinErasePulseNs() const { return slowErase_ || part_.atf ? kEraseNs * 95 / 100 : MinPulseNs(); }

    // Direct cell access for tests and tools (no electrical rules).
    // The JEDEC fuse number of array bit c in row r is c x rows + r.
    uint8_t ArrayBit(int row, int column) const { return array_[static_cast<size_t>(row * part_.columns + column)]; }
    void SetArrayBit(int row, int column, uint8_t v) {
        array_[static_cast<size_t>(row * part_.columns + column)] = v;
        changed_ = true;
    }
    const std::vector<uint8_t>& Ues() const { return ues_; }
    const std::vector<uint8_t>& ConfigBits() const { return config_; }
    const std::vector<uint8_t>& Pes() const { return pes_; }
    // The power-down cell of a C part: 1 (erased) power-down enabled.
    uint8_t PowerDown() const { return powerDown_; }
    // One PES byte (0 first), as the maker wrote it.
    void SetPesByte(int index, uint8_t value);
    // A part of another programming algorithm: its code in the PES and the
    // voltage and pulse width it then needs.
    void SetAlgorithm(uint8_t algorithm, double vpp, uint64_t pulseNs);
    // Program strobes that reached the chip and programmed a row.
    uint32_t ProgramStrobes() const { return programStrobes_; }

private:
    bool EditMode(const SocketState& socket) const;
    int RowLines(const SocketState& socket) const;
    int RegisterLength(int ra) const;
    int SerialAddress(const SocketState& socket) const;
    void Load(int ra, int address);
    void Program(int ra, int address, uint64_t pulseNs);
    int SerialDataBits() const { return 132; }
    int SerialRegisterBits() const { return part_.msbAddress ? 137 : 138; }
    void Erase(bool all);
    // AND the register's first n bits into cells; counts weak-row pulses.
    bool TakesData(int row);
    void AndInto(std::vector<uint8_t>& cells, size_t first, int n);

    GalPart part_;
    std::vector<uint8_t> array_;  // rows x columns, row-major, one byte per cell
    std::vector<uint8_t> ues_;    // the signature row (22V10: 64 signature + 68 filler bits)
    std::vector<uint8_t> config_; // ACW or ASR in shift order
    std::vector<uint8_t> pes_;    // PES bits in shift order
    bool secured_ = false;
    uint8_t powerDown_ = 1;
    std::string hostBreach_;
    uint32_t clocksSinceStrobe_ = 0;
    uint8_t sdinAtStrobe_ = 0;

    uint8_t sr_[138] = {};
    bool lastClock_ = false;
    bool wrongVpp_ = false;
    bool slowErase_ = false;
    // The wrong-part fault: the PES another part reads with, for this run
    // (empty without it). The stored PES is never changed by a fault.
    std::vector<uint8_t> otherPes_;
    bool blankPes_ = false;  // blank-signature: the PES reads all zeros
    // The PES as the chip shifts it out.
    std::vector<uint8_t> PesAsRead() const;
    // Erase strobes on one erase row back to back (the programmer's timer
    // does not reach the whole erase time) count as one pulse.
    static constexpr uint64_t kEraseGapNs = 1000000;
    int eraseRow_ = -1;
    uint64_t eraseEndNs_ = 0;
    uint64_t eraseRunNs_ = 0;
    std::map<int, uint32_t> weakNeeds_;  // row -> pulses it needs
    std::map<int, uint32_t> weakSeen_;
    uint32_t programStrobes_ = 0;
};

}  // namespace krt
