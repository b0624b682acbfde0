// SPDX-License-Identifier: GPL-3.0-or-later
// Parallel EEPROM family (28Cxx): reading, verifying and blank checking are
// the EPROM family's; writing loads whole pages (never across a page
// boundary) and waits for the chip's internal write cycle in the way the
// record's wait mode chooses; erasing writes 0xFF with the same algorithm.
//
// Every completion wait (data polling, toggle bit, busy flag) is bounded:
// it gives up after kCycleWaitLimitMs on the link's clock, which ends the
// operation with result 4 and a line naming the page and the wait mode.
#pragma once

#include <cstdint>
#include <vector>

#include "families/ZVROM.h"

namespace krt {

class ZVEEPROM : public ZVROM {
public:
    // Ten times the longest write cycle in the datasheets of the shipped parts (10 ms).
    static constexpr unsigned kCycleWaitLimitMs = 100;
    // Mode 4: the computer's own sleep after each page.
    static constexpr unsigned kComputerTimerMs = 20;
    // The longest byte-load window (tBLC max) of the paged parts' datasheets:
    // their write cycle starts this long after the last byte loaded.
    static constexpr double kByteLoadWindowS = 150e-6;

    ZVEEPROM(LinkContext& link, const LinkRequest& request, DeviceRecord& record);
    uint8_t Write() override;
    uint8_t Erase() override;

    // Loads `count` bytes from the current address and waits for the write
    // cycle; the current address is the same on return. False only when the
    // ready wait of mode 0 failed or a completion wait gave up.
    bool WritePage(uint32_t count);
    // Reads `count` bytes from the current address and compares them with the buffer.
    bool VerifyPage(uint32_t count);
    // True when the write cycle has ended; false when cancelled or when the
    // wait gave up (then CycleWaitGaveUp() is set).
    bool WaitDataPolling(uint8_t expected);
    bool WaitToggleBit();
    bool WaitBusyFlag();
    bool CycleWaitGaveUp() const { return waitGaveUp_; }

    // Software data protection: sends the datasheets' enable or disable
    // sequence inside one byte-load window, waits for its write cycle, then
    // observes the state with a test write at the chip's last address (whose
    // old value is put back). Result 0 when the observed state is the one
    // asked for, 3 when it is not, 1 when cancelled, 4 when the chip never
    // finished a cycle or the programmer stopped answering, 9 (the chip
    // untouched) for a part whose record says it has no protection.
    uint8_t SetProtection(bool enable);

private:
    // The write algorithm on the request's range (Write, and Erase over a
    // buffer of 0xFF).
    uint8_t WriteRange();
    // Reads `count` bytes from the current address into out (the address is kept).
    bool ReadPage(uint32_t count, std::vector<uint8_t>& out);
    // After a page failed in a mode without a completion signal: true when
    // the chip still shows a running write cycle after the bounded wait.
    bool CycleStillRunning(uint32_t pageStart, uint32_t count);
    void LogCycleTimeout(uint32_t pageStart);
    // One read cycle of the data low byte; false when the programmer stopped answering.
    bool ReadByte(uint8_t& value);
    // True once the bounded wait started at `start` has run out (counts the read).
    bool WaitOver(std::chrono::nanoseconds start, uint32_t& reads);
    // One byte written outside the page loop (protection test) and its
    // write cycle waited for; false when the wait failed.
    bool WriteOneByte(uint32_t address, uint8_t value);
    void WaitWriteCycle();
    bool Canceled() const { return cancel.load(std::memory_order_relaxed) != 0; }

    bool waitGaveUp_ = false;
    // The first pages of a write are read before they are written, until
    // the chip has been seen to take a write (or kWatchedPages pages already
    // held their data): a page that then fails and reads back exactly as
    // before names software data protection as the likely cause.
    static constexpr uint32_t kWatchedPages = 8;
    bool chipTookWrite_ = false;
    uint32_t watchedPages_ = 0;
    bool protectionHinted_ = false;
    // Pages a changed-only write found holding their data and left alone.
    uint32_t pagesSkipped = 0;
};

// The protection command as a device operation of its own: the family
// object is created for the record and published for the request's
// duration (progress and cancel work as for codes 4 to 11), then withdrawn.
uint8_t RunProtectionOperation(LinkContext& link, DeviceRecord& record, bool enable);

}  // namespace krt
