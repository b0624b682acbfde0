// SPDX-License-Identifier: GPL-3.0-or-later
// PIC microcontroller family: PIC16x84 parts with 14-bit program words,
// programmed serially on two lines of the data-high latch (RB6 clock on bit
// 5, RB7 data on bit 4, RB7 read back on bit 6 of the DLREAD reply; MCLR is
// the programmer's Vpp). It reads, programs, verifies and blank-checks the
// 1K program words and the eight configuration words (chip addresses 2000h
// to 2007h, buffer bytes 4000h to 400Fh), and erases the chip with its
// code-protection release sequence.
//
// The 64 data-EEPROM bytes (chip addresses 2100h to 213Fh, buffer words
// from byte 4200h, one byte in each word's low half) are read, written,
// verified and blank-checked too when the buffer reaches them. They take
// their own entry into program mode, where the address counter starts at 0:
// a write does them first, so that the configuration word, which may turn
// code protection on, is still the last word programmed; the other
// operations do them last.
//
// Read, Write and Verify take the program words of the range: from chip
// word `start` (the chip's counter is moved on from 0) and the buffer bytes
// of that word, for `length` words; the configuration words follow.
#pragma once

#include <cstdint>

#include "families/ZVDevice.h"

namespace krt {

class ZVPIC : public ZVDevice {
public:
    // The chip's 6-bit serial commands that this family sends.
    enum PicCode : uint8_t {
        PIC_LOAD_CONFIG = 0,
        PIC_ERASE_STEP1 = 1,
        PIC_LOAD_PROGRAM = 2,
        PIC_LOAD_DATA = 3,
        PIC_READ_PROGRAM = 4,
        PIC_READ_DATA = 5,
        PIC_INCREMENT = 6,
        PIC_ERASE_STEP2 = 7,
        PIC_BEGIN_PROGRAMMING = 8,
    };
    static constexpr uint32_t kConfigAddress = 0x2000;  // chip address of the first configuration word
    static constexpr uint32_t kConfigWords = 8;
    static constexpr uint32_t kConfigBufferByte = 0x4000;
    static constexpr uint32_t kProgramWords = 1024;     // what BlankCheck always covers
    static constexpr uint16_t kBlankWord = 0x3FFF;
    static constexpr uint16_t kDeviceId84A = 0x0560;  // 2006h of a PIC16F84A, revision bits 4-0 apart
    static constexpr uint16_t kDeviceIdMask = 0x3FE0;
    static constexpr uint32_t kDataAddress = 0x2100;    // what the progress position shows for data byte 0

    ZVPIC(LinkContext& link, const LinkRequest& request, DeviceRecord& record);
    bool PowerOn(bool programming) override;
    void PowerOff() override;
    uint8_t Read() override;
    uint8_t Write() override;
    uint8_t Verify() override;
    uint8_t Erase() override;
    uint8_t Secure() override { return RESULT_UNSUPPORTED; }
    uint8_t BlankCheck() override;
    uint8_t DeviceOption() override { return RESULT_UNSUPPORTED; }
    uint8_t Stop() override { return RESULT_INCOMPLETE; }

    // One serial command, with its data phase: commands 0, 2 and 3 send the
    // 14 low bits of data; 4 and 5 read 14 bits and return them; 8 waits out
    // the programming time; 6 returns 0 and any other command 1.
    uint16_t PicCommand(uint8_t command, uint16_t data = 0);
    // Whether the part has a device ID word (the 16F84A); its 2006h read in
    // id (program mode entered and left). False when the power-up failed or
    // the programmer stopped answering.
    bool HasDeviceId() const;
    bool ReadDeviceId(uint16_t& id);

private:
    void SleepFor(double seconds, unsigned fixedMs);
    // What one word of a loop came to.
    enum class Unit { Done, Failed };
    // Chooses which words of the configuration part a unit touches.
    enum class ConfigWords { All, Writable };

    void SendBit(bool one);
    void Clock();
    // Length of Read, Write and Verify: the request's, cut to the words the
    // chip has and the buffer holds (logged once when cut); 0 when the
    // start lies beyond them.
    uint32_t OperationLength();
    // The shared frame: program words start to start + length - 1, then the
    // configuration words. `work` does one word with the buffer
    // cursor on it; the loop of a part ends at its first failure once the
    // permitted error count is reached, and both end when the programmer
    // stops answering. Returns false only when the power-up failed.
    template <class Work>
    bool RunFrame(uint32_t start, uint32_t length, ConfigWords config, Work&& work);
    // The data-EEPROM pass: one program-mode entry, `work` on each of the 64
    // bytes with the cursor on its buffer word, left at its first failure
    // once the permitted error count is reached. False when the power-up
    // failed; true at once when the buffer does not reach the data EEPROM.
    template <class Work>
    bool RunDataPass(Work&& work);
    bool HasDataEeprom() const;
    // Before a write or erase: a part with a device ID (the 16F84A) must
    // give its own; one without is said so and passed. False refuses the
    // operation (the line is logged); the record's idcheck 0 skips it.
    bool IdentityMatches();
    uint16_t BufferWord() const;
    bool ErrorLimitReached() const { return errorCount >= request->permittedErrorCount; }
    // Counts a failed word; true when the loop goes on (the line is logged).
    bool CountError(const char* format);
    // A data EEPROM byte that did not verify: counted, and logged with the
    // byte read and the byte wanted.
    bool CountDataError(uint16_t read, uint16_t value);
    uint8_t Ending(bool failed);
    bool Cancelled() const { return cancel.load(std::memory_order_relaxed) != 0; }
    unsigned Language() const { return link_.language == 0 ? 0 : 1; }
    // Whether a configuration word turns the part's code protection on.
    bool ProtectsCode(uint16_t configWord) const { return ProtectsCode(record->name, configWord); }
public:
    static bool ProtectsCode(const std::string& partName, uint16_t configWord);
    // Where the configuration word (2007h) lies in the buffer, high byte first.
    static constexpr uint32_t kConfigWordByte = kConfigBufferByte + 2 * 7;
private:
    // The configuration word (2007h) as the buffer holds it.
    uint16_t BufferConfigWord() const;

    bool failed_ = false;
};

}  // namespace krt
