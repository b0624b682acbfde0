// SPDX-License-Identifier: GPL-3.0-or-later
// Parallel EPROM and one-time PROM family, 8 or 16 bits wide, and the base of
// the parallel EEPROM, flash and serial EEPROM families: address handling,
// power-up, the read cycle and the address-by-address frame live here.
#pragma once

#include <cstdint>

#include "families/ZVDevice.h"

namespace krt {

class ZVROM : public ZVDevice {
public:
    ZVROM(LinkContext& link, const LinkRequest& request, DeviceRecord& record);

    bool ReadWord(uint16_t& value) override;
    bool ProgramWord(uint16_t value) override;
    bool ReadBack(uint16_t value, uint16_t& read) override;
    bool PowerOn(bool programming) override;
    void PowerOff() override;
    uint8_t Read() override;
    uint8_t Write() override;
    uint8_t Verify() override;
    uint8_t Erase() override { return RESULT_UNSUPPORTED; }
    uint8_t Secure() override { return RESULT_UNSUPPORTED; }
    uint8_t BlankCheck() override;
    uint8_t DeviceOption() override { return RESULT_INCOMPLETE; }
    uint8_t Stop() override { return RESULT_INCOMPLETE; }
    // Slot 16: INC, and the current address follows the programmer's counter.
    virtual void NextAddress();

    // Loads the full address (after two discarded reply reads) and makes it
    // the current address.
    void SetAddress(uint32_t address);

protected:
    // What one unit of a loop came to.
    enum class Unit { Done, Failed, Abort };

    // In a write: reads the word at the current address before it is
    // programmed, to see whether it is blank already. False when the
    // programmer stopped answering.
    virtual bool PreRead(uint16_t& value) { return ReadWord(value); }
    // Whether a write leaves out the file's blank words where the chip is
    // blank: on chips whose blank value is what programming leaves alone.
    // An EEPROM writes FF as data, so the serial families say no.
    virtual bool SkipsBlankWords() const { return true; }
    // Whether a write reads every word first and writes only those that
    // differ (the serial EEPROMs with changedonly).
    virtual bool WritesChangedOnly() const { return false; }

    bool WordWide() const { return record->wordaccess != 0; }
    unsigned BytesPerUnit() const { return WordWide() ? 2u : 1u; }
    // Verify while writing: only with the verify flag, and never for type
    // codes whose two low bits are set (those chips cannot be read back
    // while programming). A family whose chips can be read back there says so.
    virtual bool VerifyWhileWriting() const { return (typeCode & 3) != 3 && verifyFlag == 1; }

    // Length of the running operation, cut so that start + length stays
    // within maxsize (and within the buffer when the operation uses it);
    // a cut is logged once.
    uint32_t OperationLength(bool usesBuffer);
    // Frame steps 1 to 3: current address, cursor, zero length, power-up.
    // Returns 0xFF to go on, or the result to return at once.
    uint8_t BeginOperation(bool programming, bool usesBuffer, uint32_t& end);
    // The result by the frame's rule; a programmer that stopped answering is fatal.
    uint8_t FrameResult() const;
    // Logs the too-many-errors line when the permitted count was reached.
    void LogErrorLimit();
    bool ErrorLimitReached() const { return errorCount >= request->permittedErrorCount; }

    uint16_t TakeBufferValue();
    void StoreBufferValue(uint16_t value);

    // The address-by-address frame shared by Read, Verify and BlankCheck:
    // `work` does one unit and tells how it went; a failed unit has logged
    // its own line.
    template <class UnitWork>
    uint8_t RunFrame(bool usesBuffer, UnitWork&& work) {
        uint32_t end = 0;
        uint8_t early = BeginOperation(false, usesBuffer, end);
        if (early != 0xFF) return early;
        link_.SetTimer(0, 3);
        SetAddress(request->startAddress);
        while (CurrentAddress() < end) {
            if (cancel.load(std::memory_order_relaxed) || link_.readyTimedOut) {
                Stop();
                break;
            }
            Unit unit = work();
            if (unit == Unit::Abort) {
                Stop();
                break;
            }
            if (unit == Unit::Failed) {
                ++errorCount;
                if (ErrorLimitReached()) {
                    Stop();
                    break;
                }
            }
            NextAddress();
        }
        PowerOff();
        LogErrorLimit();
        return FrameResult();
    }
};

}  // namespace krt
