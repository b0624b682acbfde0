// SPDX-License-Identifier: GPL-3.0-or-later
// Serial EEPROMs as bus slaves, decoded from the edges of their named pins.
//
// TwoWireEepromChip, the 24C01 to 24C512 (socket configuration 03): START
// and STOP are SDA edges while SCL is high; bits are taken on the rising
// edge of SCL and the chip changes SDA only while SCL is low; SDA is a wired
// AND of the programmer's driver and the chip's. Device select 1010 with the
// block bits a10-a8 on the 24C04/08/16 (their other select bits must match
// the address pins, tied low in the socket); one word-address byte up to the
// 24C16, two above; the address counter is kept between transfers; a page
// write wraps inside its page and starts only at STOP after a whole
// acknowledged data byte; a sequential read wraps from the last byte to 0;
// during the self-timed write cycle the chip acknowledges nothing.
//
// ThreeWireEepromChip, the 93C46/56/66 in 16-bit organisation (socket
// configuration 02): DI is taken on the rising edge of SK while CS is high;
// the first 1 is the start bit, then two opcode bits and the address; READ
// answers a dummy 0 and then the words most significant bit first,
// continuing with the next word while clocks go on; the part powers up
// write-disabled (EWDS) and writes only after EWEN; WRITE, ERASE, ERAL and
// WRAL start their self-timed cycle when CS falls after the whole
// instruction; with CS high again DO reads 0 while busy and 1 when ready,
// until the next start bit.
//
// Faults: never-ready (the write cycle never ends) on both; no-ack (the
// two-wire part acknowledges nothing; the three-wire part holds DO low, so
// it never reads ready) and write-protect (WP tied high: the two-wire part
// acknowledges every byte and writes nothing); dead cells never change.
//
// Both are fed from the socket's logic supply (the programmable supply stays
// gated off for the serial sockets), so they do not depend on Vcc: the
// two-wire socket's supply is the auxiliary output (the family switches it
// on at power-up, LinkReset switches it off), the three-wire part is powered
// while the programmer holds its configuration. Power lost before a write
// cycle has ended loses that write (its cells keep what they held, the
// datasheets promise nothing better) and the three-wire part comes back
// write-disabled. Both models run every write cycle at the datasheet's
// maximum (tWR, tEW, tEC): a host that waits less fails against them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/Chip.h"
#include "sim/chips/FakeChipFaults.h"

namespace krt {

struct DeviceRecord;

// Registry entries. Each returns null with a note for type codes it does not serve.
std::unique_ptr<Chip> MakeBlankTwoWireEeprom(const DeviceRecord& record, std::string& note);
std::unique_ptr<Chip> MakeShapedTwoWireEeprom(const ChipImage& image, std::string& error);
std::unique_ptr<Chip> MakeBlankThreeWireEeprom(const DeviceRecord& record, std::string& note);
std::unique_ptr<Chip> MakeShapedThreeWireEeprom(const ChipImage& image, std::string& error);

// The datasheet facts of a two-wire part.
struct TwoWireFacts {
    uint32_t bytes = 256;
    uint32_t page = 8;
    uint64_t writeNs = 5'000'000;  // tWR max
};
// By the density in the part number (24C02, 24LC256, M24C16, M24512...); false when none is found.
bool LookUpTwoWirePart(const std::string& name, TwoWireFacts& facts);
// By the size alone (the 24Cxx of that many bytes); false for a size no 24Cxx has.
bool TwoWireFactsForSize(uint32_t bytes, TwoWireFacts& facts);

struct ThreeWireFacts {
    uint32_t words = 64;
    unsigned addressBits = 6;       // in 16-bit organisation
    uint64_t writeNs = 2'000'000;   // WRITE, ERASE
    uint64_t eraseAllNs = 6'000'000;
    uint64_t writeAllNs = 15'000'000;
};
bool LookUpThreeWirePart(const std::string& name, ThreeWireFacts& facts);
bool ThreeWireFactsForWords(uint32_t words, ThreeWireFacts& facts);

// What both models share: dead cells, the write cycle and its never-ready fault.
class SerialEepromChip : public Chip {
public:
    using Chip::Chip;
    // From the datasheets' absolute maximum ratings (Vcc 7.0 V; no Vpp pin).
    double AbsMaxVcc() const override { return 7.0; }
    void SetCellFaults(const CellFaults& faults) override;
    bool TakesDeadCells() const override { return true; }
    bool Busy(uint64_t nowNs) const { return neverReady_ ? busyStarted_ : nowNs < busyUntil_; }

    // Write cycles cut short by a power-down.
    uint64_t LostWrites() const { return lostWrites_; }

protected:
    bool Dead(uint32_t cell) const;
    void StartWriteCycle(uint64_t nowNs, uint64_t lengthNs);
    // Before a cycle changes a cell: what it held, for a power-down that cuts the cycle.
    void NoteOld(uint32_t index, uint8_t old) { cycleOld_.emplace_back(index, old); }
    // The supply went off: a cycle still running is lost and stops.
    void LosePower(uint64_t nowNs, std::vector<uint8_t>& cells);

    std::vector<uint32_t> dead_;  // sorted cell addresses (bytes or words)
    bool neverReady_ = false;
    bool busyStarted_ = false;
    uint64_t busyUntil_ = 0;
    std::vector<std::pair<uint32_t, uint8_t>> cycleOld_;  // cell byte index, old value
    uint64_t lostWrites_ = 0;
};

class TwoWireEepromChip final : public SerialEepromChip {
public:
    TwoWireEepromChip(std::string deviceName, const TwoWireFacts& facts);

    const char* Kind() const override { return "SEEPROM-2W"; }
    std::string Describe() const override;
    void PinsChanged(const SocketState& socket, uint32_t changed) override;
    bool Output(Pin pin, const SocketState& socket) override;
    bool ApplyFault(std::string_view name, std::string_view args, std::string& error) override;
    void Save(ChipImage& image) const override;
    bool Load(const ChipImage& image, std::string& error) override;

    const TwoWireFacts& Facts() const { return facts_; }
    uint8_t Cell(uint32_t a) const { return a < cells_.size() ? cells_[a] : 0xFF; }
    void SetCell(uint32_t a, uint8_t v);
    uint32_t AddressCounter() const { return counter_; }
    // Write cycles run so far (page writes and byte writes alike).
    uint64_t WriteCycles() const { return writeCycles_; }

private:
    enum class Phase : uint8_t { Idle, Receive, ReceiveAck, Send, SendAck, Ignore };
    enum class Mode : uint8_t { Write, Read };

    unsigned AddressBytes() const { return facts_.bytes <= 0x800 ? 1u : 2u; }
    void Start(uint64_t nowNs);
    void Stop(uint64_t nowNs);
    void ClockRise(bool sda);
    void ClockFall();
    bool ByteReceived(uint8_t b);  // true: acknowledge
    void LoadSendByte();

    TwoWireFacts facts_;
    std::vector<uint8_t> cells_;
    bool noAck_ = false;
    bool writeProtect_ = false;
    FakeChipFaults fakes_;

    // Bus state (volatile: lost with power, not saved).
    bool powered_ = false;
    bool scl_ = false;
    bool sda_ = true;        // the line as both drivers make it
    bool drive_ = true;      // what the chip puts on SDA (false pulls it low)
    Phase phase_ = Phase::Idle;
    Mode mode_ = Mode::Write;
    unsigned bits_ = 0;
    uint8_t shift_ = 0;
    unsigned byteIndex_ = 0;  // bytes of this transfer so far
    uint32_t counter_ = 0;    // the address counter
    uint32_t pointer_ = 0;    // the word address being assembled
    bool masterAck_ = false;
    // The page being loaded: its base, the bytes loaded and which of them.
    uint32_t pageBase_ = 0;
    std::vector<uint8_t> pageLatch_;
    std::vector<bool> pageLoaded_;
    unsigned dataBytes_ = 0;
    uint64_t writeCycles_ = 0;
};

class ThreeWireEepromChip final : public SerialEepromChip {
public:
    ThreeWireEepromChip(std::string deviceName, const ThreeWireFacts& facts);

    const char* Kind() const override { return "SEEPROM-3W"; }
    std::string Describe() const override;
    void PinsChanged(const SocketState& socket, uint32_t changed) override;
    bool Output(Pin pin, const SocketState& socket) override;
    bool ApplyFault(std::string_view name, std::string_view args, std::string& error) override;
    void Save(ChipImage& image) const override;
    bool Load(const ChipImage& image, std::string& error) override;

    const ThreeWireFacts& Facts() const { return facts_; }
    uint16_t Word(uint32_t a) const;
    void SetWord(uint32_t a, uint16_t v);
    bool WriteEnabled() const { return writeEnabled_; }
    uint64_t WriteCycles() const { return writeCycles_; }

private:
    enum class State : uint8_t { WaitStart, Opcode, Address, Data, Reading, Done };

    void SkRise(bool di, uint64_t nowNs);
    void Decode();
    void CsFall(uint64_t nowNs);

    ThreeWireFacts facts_;
    std::vector<uint8_t> cells_;  // high byte first, as the host's buffer

    bool powered_ = false;
    bool cs_ = false;
    bool sk_ = false;
    State state_ = State::WaitStart;
    unsigned bits_ = 0;
    uint32_t opcode_ = 0;
    uint32_t address_ = 0;
    uint32_t data_ = 0;
    bool doLevel_ = true;     // the bit being read out
    uint32_t readAddress_ = 0;
    uint16_t readWord_ = 0;
    unsigned readBit_ = 0;
    enum class Pending : uint8_t { None, Write, Erase, EraseAll, WriteAll } pending_ = Pending::None;
    bool silent_ = false;        // no-ack: DO held low, nothing ever reads ready
    FakeChipFaults fakes_;       // aliased: the upper address bits reach no word of their own
    bool writeEnabled_ = false;  // powers up disabled
    bool statusArmed_ = false;   // a cycle started since the last start bit
    bool showStatus_ = false;    // DO carries ready/busy
    uint64_t writeCycles_ = 0;
};

}  // namespace krt
