// SPDX-License-Identifier: GPL-3.0-or-later
// Serial EEPROM family: two-wire 24Cxx (type code 3, bytes) and three-wire
// 93Cx6 in 16-bit organisation (type code 2, words). It keeps the EPROM
// family's loops and replaces the unit primitives: every bus bit is a DLSET
// of the data-low latch, every sampled bit a DLREAD; on the two-wire bus
// CSET bit 7 says whether the programmer or the chip drives SDA.
//
// Waits for the chip (acknowledge polling, the three-wire ready poll) give up
// after kChipWaitLimit on the link's clock; the operation then ends as the
// link's own bounded wait ends it: powered down, one log line, result 4.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "families/ZVROM.h"

namespace krt {

class ZVSEEP : public ZVROM {
public:
    // Ten times the longest write cycle of the shipped parts.
    static constexpr std::chrono::milliseconds kChipWaitLimit{100};

    ZVSEEP(LinkContext& link, const LinkRequest& request, DeviceRecord& record);
    ~ZVSEEP() override;

    bool ReadWord(uint16_t& value) override;
    bool ProgramWord(uint16_t value) override;
    bool SkipsBlankWords() const override { return false; }
    bool WritesChangedOnly() const override { return record->changedonly != 0; }
    bool ReadBack(uint16_t value, uint16_t& read) override;
    bool PowerOn(bool programming) override;
    // Waits out the two-wire byte write's last cycle first (see Write).
    void PowerOff() override;
    uint8_t Read() override;
    uint8_t Write() override;
    uint8_t Verify() override;
    uint8_t Erase() override;
    uint8_t BlankCheck() override;
    // The serial bus carries the address; the programmer's counter plays no part.
    void NextAddress() override;

    // Two-wire primitives.
    void BusStart();
    void BusStop();
    void SendByte(uint8_t b);
    bool GetAck();
    uint8_t ReceiveByte(bool ack);
    // Fills the page buffer from address `page`; false when the chip did
    // not answer its addressing within the limit (logged).
    bool ReadPage(uint32_t page);
    bool ReadByteAt(uint32_t a, uint8_t& value);
    // One byte by a random read, past the page buffer: what the chip holds
    // now. Its addressing waits out a write cycle. False as ReadPage.
    bool ReadOneByte(uint32_t a, uint8_t& value);
    // False after a cancel (the byte is still clocked out) or when the
    // chip never acknowledged (logged).
    bool WriteByteAt(uint32_t a, uint8_t v);

    // Three-wire primitives.
    void Select();
    void Deselect();
    void ClockBit(bool one);
    void SendBits(uint32_t v, unsigned n);
    uint16_t ReceiveWord();
    bool ReadWordAt(uint32_t a, uint16_t& value);
    void WriteEnable();
    bool WriteWordAt(uint32_t a, uint16_t v);
    bool EraseWordAt(uint32_t a);
    // ERAL with its ready wait (the record's erase-all time).
    bool EraseAll();
    // Waits firstPollSeconds (negative: the fixed 15 ms), then for DO to
    // report ready; false on cancel or when it never did (logged).
    bool CompletionWait(double firstPollSeconds = -1.0);

    int32_t cachedPage = -1;
    // Set by a two-wire byte write: its last write cycle still runs when the
    // loop ends, and PowerOff must not cut it.
    bool finishCycleAtPowerOff_ = false;
    std::unique_ptr<uint8_t[]> pageBuffer;
    uint8_t lineImage = 0;

protected:
    // The two-wire chip acknowledges bytes it does not store (WP tied high,
    // a worn cell): it is read back after writing too, when the verify flag
    // is set.
    bool VerifyWhileWriting() const override;

private:
    enum class Bus { None, TwoWire, ThreeWire };
    Bus BusOf() const;
    // Refuses what this family does not drive: 8 (with a log line for an
    // access width the bus does not have), or 0xFF to go on.
    uint8_t Refusal();
    // The image with one bit changed, sent with DLSET (see SetLatch).
    void Line(uint8_t bit, bool on);
    // DLSET and CSET of this family. A value the programmer's register is
    // known to hold already is not sent again: its pins keep their level.
    void SetLatch(uint8_t value);
    void SetDrive(uint8_t value);
    // Power-up and power-down: what the registers hold is no longer known.
    void ForgetRegisters();

    // One programmer register as this object last wrote it: the operand
    // sent (masks applied) and a stamp of the link's counts of every
    // command that writes or reconfigures it. A stamp that moved means that
    // someone else wrote it since.
    struct KnownRegister {
        bool known = false;
        uint8_t operand = 0;
        uint64_t stamp = 0;
    };
    uint64_t LatchStamp() const;
    uint64_t DriveStamp() const;
    KnownRegister latch_;
    KnownRegister drive_;
    // DLREAD, wait, reply; false (nothing read) when the programmer stayed busy.
    bool Sample(uint8_t& reply);
    // The device-select byte for address a (the small parts take address
    // bits 8-10 in it) and whether the word address is a single byte.
    uint8_t DeviceSelect(uint32_t a) const;
    bool OneAddressByte() const;
    // Sends the device select and word address of a until all are
    // acknowledged. stopBetween: BusStop before each new attempt (the byte
    // write). Stops on cancel (noted), on the programmer's own time-out, or
    // after kChipWaitLimit (logged, the request then ends fatally).
    enum class Addressed { Yes, Cancelled, Failed };
    Addressed AddressChip(uint32_t a, bool stopBetween);
    // Marks the request as ended by a wait that gave up.
    void GiveUp();
    // Two-wire Write with the record's pagewrite: up to a page of bytes per
    // write cycle, one acknowledge polling per page.
    uint8_t WritePages();
    // Erases the byte or word at a (up to retry times when verifying, each
    // read back); a unit that stays unerased is counted and logged.
    Unit EraseUnit(uint32_t a);

    uint32_t pageSize_ = 1;
};

}  // namespace krt
