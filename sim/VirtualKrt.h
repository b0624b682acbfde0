// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated KRT programmer: the three printer-port registers at its port
// base, as the programmer answers them, and the time source of the link.
//
// Wire behaviour:
// - a frame is latched on the strobe's rising edge (control bit 0 from 0 to
//   1) with the byte then on the data register; opcode frames and operand
//   frames pair up by the command table; opcodes 0x02, 0x03, 0x07 and above
//   0x14 are ignored;
// - ACK (status bit 6): during a strobe-asserted NOP frame after DLREAD,
//   DHREAD or REVREAD it carries the reply, least significant bit first,
//   active low; the reply shifts when the strobe is released; any other
//   command ends the reply. Otherwise ACK reads 1 when ready, 0 while busy
//   (fetching, pulsing, waiting out the timer);
// - the other status bits read as an idle printer would present them: BUSY
//   line low (bit 7 reads 1), PE low (bit 5 reads 0), SLCT high (bit 4 1),
//   ERROR high (bit 3 1), the unused bits 0-2 read 1; so 0xDF ready, 0x9F
//   busy. Without a programmer every input floats: 0x7F high, 0x87 low;
// - the data and control registers read back what was last written; other
//   addresses read 0xFF.
//
// Time: virtual, one microsecond per register access plus every sleep; the
// sim can be paced so that virtual time does not run ahead of real time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/PortIo.h"
#include "sim/Chip.h"

namespace krt {

class VirtualKrt final : public PortIo, public Clock {
public:
    static constexpr uint8_t kDefaultKrt1Revision = 0x20;
    static constexpr uint8_t kDefaultKrt2Revision = 0x10;
    static constexpr uint32_t kDefaultCrystalHz = 4000000;
    static constexpr uint64_t kAccessNs = 1000;   // one ISA bus access
    static constexpr uint64_t kFetchNs = 3000;    // a read cycle: one busy status read after the frame

    enum class Presence : uint8_t { Present, AckFloatsHigh, AckFloatsLow };

    explicit VirtualKrt(uint16_t portBase = 0x378);
    ~VirtualKrt() override;

    // PortIo
    uint8_t read(uint16_t address) override;
    void write(uint16_t address, uint8_t value) override;
    // Clock
    std::chrono::nanoseconds now() override { return std::chrono::nanoseconds(static_cast<int64_t>(now_)); }
    void sleepMs(unsigned ms) override;

    // --- settings and faults ---
    // The printer port the programmer hangs on (the host reopened its port
    // at another base).
    void SetPortBase(uint16_t base) { base_ = base; }
    void SetRevisions(uint8_t krt1, uint8_t krt2);
    void SetCrystalHz(uint32_t hz);  // 0 is refused (kept)
    void SetPacedToRealTime(bool paced);
    void SetPresence(Presence presence) { presence_ = presence; }
    // Clearing the fault also ends a busy period that it made endless, as
    // a programmer that is switched off and on again would.
    void SetStaysBusy(bool staysBusy) {
        staysBusy_ = staysBusy;
        if (!staysBusy && staysBusyNow_) {
            staysBusyNow_ = false;
            busyUntil_ = now_;
        }
    }
    // The socket appears empty while set; the chip stays aside and is not touched.
    void SetSocketEmptied(bool emptied) { socketEmptied_ = emptied; }
    void SetCellFaults(const CellFaults& faults);
    // One fault by its command-line name: no-programmer-high, no-programmer-low,
    // stays-busy, empty-socket, weak-cells:ADDR[,ADDR...][@PULSES],
    // dead-cells:ADDR[,ADDR...], crystal:HZ, and the chip faults of
    // sim/Faults.cpp. False with a message on bad input.
    bool ApplyFault(std::string_view fault, std::string& error);
    // Checks the chip faults among faults (each NAME[:ARGS]) against probe,
    // a chip of the socket's kind that they may change (null: the socket
    // holds none). False with a message naming the fault when the chip does
    // not know one or its arguments do not fit the chip.
    static bool CheckChipFaults(const std::vector<std::string>& faults, Chip* probe, std::string& error);
    // Every fault name with its arguments, for the help.
    static std::string FaultList();
    // "HEX,HEX": KRT1 and KRT2 revisions.
    bool ApplyRevisions(std::string_view text, std::string& error);

    // --- the socket ---
    void InsertChip(std::unique_ptr<Chip> chip);
    std::unique_ptr<Chip> RemoveChip();
    Chip* SocketChip() const { return chip_.get(); }
    // What people are told about the socket: the chip, or "empty".
    std::string DescribeSocket() const;
    // The line that says the simulator is in use: its revisions, crystal,
    // socket and faults, in language (0 Japanese, else English). socket, when
    // not empty, takes the place of the socket's description.
    std::string Banner(uint32_t language = 1, const std::string& socket = {}) const;

    // --- the protocol check ---
    // Breaches of the wire protocol that the real unit would punish: a frame
    // strobed while busy, reply slots read before a fetch was seen to end, a
    // write strobe reaching a chip while DEVSET holds another configuration
    // than the chip's, a supply beyond the chip's absolute maximum, Vpp more
    // than 1 V above a Vcc that is below the chip's operating minimum (the
    // supplies switched in the wrong order), a chip's own rule broken (its
    // TakeHostBreach). One line per kind, with the
    // first occurrence's details.
    enum class Breach : uint8_t { FrameWhileBusy, ReplyBeforeReady, OtherConfig, Supply, SupplyOrder, ChipRule, Count };
    bool HasBreaches() const { return breachSeen_ != 0; }
    bool HasBreach(Breach kind) const { return breachSeen_ & (1u << static_cast<unsigned>(kind)); }
    std::vector<std::string> BreachLines() const;
    void ClearBreaches();
    // Strict: the caller treats any breach as a failure (tests, krt --sim-strict).
    void SetStrict(bool strict) { strict_ = strict; }
    bool Strict() const { return strict_; }

    // --- observable state (readable from any thread) ---
    uint8_t OutputPort() const { return outputSeen_.load(std::memory_order_relaxed); }
    bool AuxOutput() const { return OutputPort() & 0x01; }
    bool ResultOkIndicator() const { return OutputPort() & 0x02; }
    bool ResultFailIndicator() const { return OutputPort() & 0x04; }
    double Vcc() const { return vccSeen_.load(std::memory_order_relaxed); }
    double Vpp() const { return vppSeen_.load(std::memory_order_relaxed); }
    // The highest Vpp the socket has had since the programmer was made.
    double HighestVpp() const { return highestVpp_; }

    // The socket's supplies after each change, kept while recording is on
    // (tests and the supply-order report).
    struct SupplyStep {
        double vcc;
        double vpp;
    };
    void RecordSupplies(bool on) {
        recordSupplies_ = on;
        supplySteps_.clear();
    }
    const std::vector<SupplyStep>& SupplySteps() const { return supplySteps_; }

    // --- inspection for tests and the debug views ---
    uint16_t PortBase() const { return base_; }
    uint8_t Krt1Revision() const { return krt1_; }
    uint8_t Krt2Revision() const { return krt2_; }
    uint32_t CrystalHz() const { return crystalHz_; }
    bool UsesSupplyDac() const { return krt1_ == 0x20; }
    Presence GetPresence() const { return presence_; }
    bool StaysBusy() const { return staysBusy_; }
    bool SocketEmptied() const { return socketEmptied_; }
    const CellFaults& GetCellFaults() const { return cellFaults_; }
    const std::string& FaultSummary() const { return faultSummary_; }
    const SocketState& Socket() const { return socket_; }
    uint8_t VoltageRegister() const { return voltage_; }
    uint8_t TimerHigh() const { return timerHigh_; }
    uint8_t TimerLow() const { return timerLow_; }
    uint64_t TimerPeriodNs() const;
    uint8_t DacCode(int channel) const { return dacCode_[channel & 3]; }
    bool Busy() const { return staysBusyNow_ || now_ < busyUntil_; }
    uint64_t VirtualNs() const { return now_; }
    uint64_t Accesses() const { return accesses_; }
    uint64_t Frames() const { return frames_; }

private:
    uint8_t Status() const;
    void NoteBreach(Breach kind, std::string detail);
    bool ChipConnected() const;
    void ApplyChipFaults();
    void ControlWritten(uint8_t value);
    void Latch(uint8_t byte);
    void Execute(uint8_t opcode, uint8_t operand);
    void Fetch(DataLane lane);
    void Pulse(DataLane lane);
    void StartBusy(uint64_t lengthNs);
    void VoltageWritten(uint8_t value);
    void UpdateSupplies();
    void Notify(uint32_t changed);
    void Pace();
    void NoteFault(std::string_view name);
    Chip* ActiveChip() const { return socketEmptied_ ? nullptr : chip_.get(); }
    // The chip when DEVSET holds its configuration (else it does not answer).
    Chip* WiredChip() const { return ChipConnected() ? chip_.get() : nullptr; }

    // Port registers.
    uint16_t base_;
    uint8_t data_ = 0;
    uint8_t control_ = 0;

    // Programmer registers.
    SocketState socket_;
    uint8_t pendingOpcode_ = 0;      // an opcode waiting for its operand frame (0: none)
    uint8_t timerHigh_ = 0, timerLow_ = 0;
    uint8_t voltage_ = 0x04;         // power-on: supply outputs gated off
    uint16_t dacShift_ = 0;
    uint8_t dacCode_[4] = {0, 0, 0, 0};
    bool dacFullRange_[4] = {true, true, true, true};

    // Reply shift register.
    uint8_t reply_ = 0;
    uint8_t replyBitsLeft_ = 0;      // > 0 while a reply is being clocked out
    bool replySlot_ = false;         // a NOP read slot has the strobe asserted
    bool revisionArmed_ = true;      // DEVSET(0) arms KRT2's identification for the next DLREAD
    bool fetchUnconfirmed_ = false;  // a fetch ran and no status read has seen it end
    enum class BusyCause : uint8_t { Fetch, Pulse, Timer } busyCause_ = BusyCause::Fetch;

    // Busy and time.
    uint64_t now_ = 0;
    uint64_t busyUntil_ = 0;
    bool staysBusyNow_ = false;
    uint64_t accesses_ = 0;
    uint64_t frames_ = 0;
    bool paced_ = false;
    uint64_t paceVirtualStart_ = 0;
    std::chrono::steady_clock::time_point paceRealStart_;

    // Settings.
    uint8_t krt1_ = kDefaultKrt1Revision;
    uint8_t krt2_ = kDefaultKrt2Revision;
    uint32_t crystalHz_ = kDefaultCrystalHz;
    Presence presence_ = Presence::Present;
    bool staysBusy_ = false;
    bool socketEmptied_ = false;
    CellFaults cellFaults_;
    std::string faultSummary_;
    std::vector<std::pair<std::string, std::string>> chipFaults_;  // name, arguments

    // Protocol check.
    uint32_t breachSeen_ = 0;
    std::string breachDetail_[static_cast<size_t>(Breach::Count)];
    bool strict_ = false;
    bool recordSupplies_ = false;
    std::vector<SupplyStep> supplySteps_;

    std::unique_ptr<Chip> chip_;

    std::atomic<uint8_t> outputSeen_{0};
    std::atomic<double> vccSeen_{0.0};
    std::atomic<double> vppSeen_{0.0};
    double highestVpp_ = 0.0;
};

}  // namespace krt
