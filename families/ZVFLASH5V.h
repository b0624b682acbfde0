// SPDX-License-Identifier: GPL-3.0-or-later
// 5 V single-supply flash with the JEDEC command set (type "FLASH5V"):
// SST39SF, Am29F, AT49F, MX29F parts that program a byte per command
// sequence, and, with "pagewrite 1", the page-mode AT29C, W29C/W29EE and
// SST29EE parts that write a whole sector per write cycle.
//
// Reading, verifying and blank checking are the EPROM family's read cycles.
// Writing and erasing first read the product ID (AA/55/90 at 5555h/2AAAh,
// or Winbond's six-cycle form) and compare maker and device code as a pair
// with the record's "chipid"; another part is refused (result 4) unless
// the identity check is off, a part whose ID the datasheet does not confirm
// is only warned about. Every command address is written as 5555h/2AAAh
// with the high address latches driven, which the A14-A0 decoders (SST,
// Atmel, Winbond) and the A10-A0 decoders (AMD: 555h/2AAh) both take.
//
// Byte program: AA 55 A0 and the byte, its end found by DQ7 data polling
// (the poll read that shows the byte is its read-back), bounded by the
// record's program time (tpw) plus a margin, and on parts with "dq5 1" by
// AMD's time-limit bit. A byte whose value is FF is not programmed once it
// reads back as FF (programming FF changes nothing on the chip). Chip
// erase: AA 55 80 AA 55 10, polled until DQ7 reads 1, bounded by the
// record's "erasetime" plus a margin. Page mode: each page is loaded whole
// (bytes outside the range are the chip's own, read first) in one burst
// whose gaps are measured against the byte-load window ("loadwindow"),
// preceded by AA 55 A0 when the part has software data protection; the
// write cycle is ended by DATA polling; parts without chip erase are erased
// by writing FF pages.
//
// After every write or erase, and after any failure, the chip gets the
// reset F0 before the supplies go off, unless it is still busy (a chip that
// gave up): then only the supplies going off end it.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "families/ZVROM.h"

namespace krt {

class ZVFLASH5V : public ZVROM {
public:
    // The margin on the datasheet's longest program or page cycle, and on
    // the longest chip erase (a tenth more, at least this much).
    static constexpr double kProgramMarginS = 1e-3;
    static constexpr double kEraseMarginS = 0.1;
    // Without an "erasetime" key a chip erase is bounded by this.
    static constexpr double kDefaultEraseS = 60.0;
    // The shortest byte-load window a burst of this programmer can meet: a
    // byte load is a data frame and an address increment on the port.
    static constexpr double kShortestLoadWindowS = 20e-6;
    // A program time up to this long (tpw) is waited out before the first
    // poll; a longer one (AMD's 300 us maximum against 7 us typical) is polled at once.
    static constexpr double kWaitOutProgramS = 50e-6;

    ZVFLASH5V(LinkContext& link, const LinkRequest& request, DeviceRecord& record);

    bool PowerOn(bool programming) override;
    void PowerOff() override;
    uint8_t Write() override;
    uint8_t Erase() override;
    uint8_t DeviceOption() override { return RESULT_INCOMPLETE; }

    // Software data protection of a page-mode part: the sequence with the
    // last page's own bytes, then a test write of that page without the
    // sequence (its old contents are put back). Results as for the
    // parallel EEPROMs' protection command.
    uint8_t SetProtection(bool enable);

    // Reads the product ID: false when the programmer stopped answering.
    // `answered` is false when the bytes read under the ID command are the
    // same as the plain read of addresses 0 and 1 (no chip that takes the
    // command: an EPROM, an empty socket). The chip is reset afterwards.
    bool ReadProductId(uint8_t& maker, uint8_t& device, bool& answered);
    // The product ID of a chip that is not known (identify): a chip without
    // software data protection takes the command cycles as data, so the
    // bytes they can reach (the pages around 5555h and 2AAAh) are read
    // first and, where the cycles changed them, written back with plain
    // write cycles, one burst per page. `restored` counts the bytes put
    // back, `lost` those that would not take their old value again.
    bool ReadProductIdKeepingChip(uint8_t& maker, uint8_t& device, bool& answered, uint32_t& restored,
                                  uint32_t& lost);

private:
    bool PageMode() const { return record->pagewrite != 0 && record->pagesize > 1; }
    bool Canceled() const { return cancel.load(std::memory_order_relaxed) != 0; }
    // One bus write cycle at `address`; only the address latches that change are sent.
    void BusWrite(uint32_t address, uint8_t data);
    void Unlock();
    void CommandCycle(uint8_t command) { BusWrite(0x5555, command); }
    void LatchAddress(uint32_t address);
    bool ReadAt(uint32_t address, uint8_t& value);
    bool ReadNext(uint8_t& value);
    bool IdentityMatches();
    // Waits for the end of a program (data polling against `data`) or an
    // erase (`data` FF); `read` gets the last read. Program: false on
    // give-up (waitGaveUp_ or dq5Seen_ set) or cancel.
    // The first read is not sent before `firstNotBefore` (0: at once).
    bool WaitDone(uint8_t data, double boundS, bool sleepBetween, uint8_t& read,
                  std::chrono::nanoseconds firstNotBefore = std::chrono::nanoseconds(0));
    uint8_t WriteBytes(uint32_t end);
    uint8_t WritePages(uint32_t start, uint32_t end, bool erasing);
    // Loads one whole page from `page` (the bytes to write) and waits for
    // its cycle; false when the burst broke the window or the wait failed.
    bool LoadPage(uint32_t pageStart, const std::vector<uint8_t>& page, bool sequence);
    bool ReadPage(uint32_t pageStart, uint32_t count, std::vector<uint8_t>& out);
    double ProgramBoundS() const;
    void LogGiveUp(uint32_t address, double boundS, bool erase);

    bool programming_ = false;
    bool waitGaveUp_ = false;
    bool dq5Seen_ = false;
    bool windowBroken_ = false;
    // The programmer's address counter as last set or incremented (-1: unknown).
    int64_t counter_ = -1;
};

// The protection command of a page-mode 5 V flash record, as a device
// operation (RunProtectionOperation hands FLASH5V records here).
uint8_t RunFlash5vProtection(LinkContext& link, DeviceRecord& record, bool enable);

}  // namespace krt
