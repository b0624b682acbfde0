// SPDX-License-Identifier: GPL-3.0-or-later
// Parallel 28F flash family (type "FLASH"): chips that take commands written
// to them as data. Reading, verifying and blank checking are the EPROM
// family's plain read cycles; writing is the EPROM family's write loop with
// program set-up plus data in place of the pulse and program verify in
// place of the read-back; erasing pre-programs every byte to 00 and then
// gives 10 ms erase pulses, each followed by an erase-verify scan that
// resumes where the last one failed, up to 1000 pulses.
#pragma once

#include <chrono>

#include "families/ZVROM.h"

namespace krt {

class ZVFLASH : public ZVROM {
public:
    ZVFLASH(LinkContext& link, const LinkRequest& request, DeviceRecord& record);

    // Program set-up 40h and the data byte; only for the three parts this
    // family knows how to program, and nothing for any other.
    bool ProgramWord(uint16_t value) override;
    // Program verify C0h and a read.
    bool ReadBack(uint16_t value, uint16_t& read) override;
    // An array read: the read command 00h first when the chip was left in
    // another mode (program verify reads the byte last programmed only).
    bool PreRead(uint16_t& value) override;
    // Powering up to program also reads the chip's identifier and refuses a
    // part other than the record's (the supplies go off again).
    bool PowerOn(bool programming) override;
    void PowerOff() override;
    uint8_t Write() override;
    // Covers the whole device, whatever range the request gives.
    uint8_t Erase() override;
    uint8_t DeviceOption() override { return RESULT_INCOMPLETE; }

    // The first half of Erase: 00 into every address of the device. The
    // supplies stay on for the erase that follows.
    uint8_t ClearToZero();

    // The identifier codes the datasheet gives the record's part, and
    // whether more than one source confirms them; false for a part this
    // family knows no identifier of.
    static bool DatasheetIdentifier(const DeviceRecord& record, uint8_t& maker, uint8_t& device, bool& confirmed);
    // The chip's identifier read under the programming voltage (powered up
    // and down again); false when the power-up failed or the programmer
    // stopped answering.
    bool ReadIdentifier(uint8_t& maker, uint8_t& device);

    static constexpr unsigned kErasePasses = 1000;
    static constexpr unsigned kErasePulseMs = 10;

private:
    bool KnownPart() const;
    // A command or data write to the chip; its strobe waits for a program
    // pulse still running to reach its length. Returns the time by which
    // the strobe had begun.
    std::chrono::nanoseconds ChipWrite(uint8_t value);
    // After a verify command that had begun by `commandLatched`: its strobe,
    // the chip's 6 us, the read. False when the programmer stopped answering.
    bool VerifyRead(std::chrono::nanoseconds commandLatched, uint16_t& read);
    // How long a program pulse runs before the next command ends it.
    std::chrono::nanoseconds ProgramPulse() const;
    // The earliest time the next command write may begin (end of a program
    // pulse); 0 when no pulse runs.
    std::chrono::nanoseconds commandNotBefore_{0};
    // Read-ID command 90h, maker code at address 0 and device code at 1,
    // compared with the datasheet's; then the read command. False (and the
    // line logged) for another part; true when idcheck is 0 or the part has
    // no identifier on record.
    bool IdentityMatches();
    // Read-ID 90h, the codes at addresses 0 and 1, then the read command.
    bool ReadIdCodes(uint8_t& maker, uint8_t& device);
    // Set while a program pulse may still be running: the chip ends it at
    // the next command write, and only a pulse of its full length programs.
    bool pulsePending_ = false;
    // Set while the chip is in read mode (after power-up and the read
    // command); a program command leaves it.
    bool arrayRead_ = true;
};

}  // namespace krt
