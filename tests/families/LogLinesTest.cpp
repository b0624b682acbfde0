// SPDX-License-Identifier: GPL-3.0-or-later
// Lines that tell the user what happened and what to do: an erase says it
// erased (not "written"), a write over programmed bytes says to erase
// first and does not drown the log in retries, the protection hint names
// the window's command in the window, and a PIC's data EEPROM errors carry
// the bytes.
#include <gtest/gtest.h>

#include <functional>

#include "FamilyTestSupport.h"
#include "PicTestSupport.h"
#include "SimBench.h"
#include "base/TypeCodes.h"
#include "data/DataBuffer.h"
#include "sim/chips/FlashChip.h"
#include "support/ShippedRecord.h"

namespace krt::test {
namespace {

struct Case {
    const char* what;
    std::function<DeviceRecord()> record;
    // Prepares the chip and the buffer, then runs what the user ran; returns its result.
    std::function<uint8_t(SimBench&)> run;
    uint8_t result;
    Lines lines;
};

DeviceRecord P28F010Record() { return ShippedRecord("FLASH", "Intel", "P28F010"); }

TEST(LogLines, SayWhatHappenedAndWhatToDo) {
    const std::vector<Case> cases = {
        {"a flash erase", P28F010Record, [](SimBench& b) { return b.Operation(7, 0, 0x20000); }, 0,
         {"Every byte programmed to 00 before the erase", "Erased: every byte reads FF after 1 erase pulses"}},
        {"a write over programmed flash",
         [] {
             DeviceRecord r = P28F010Record();
             r.retry = 25;
             return r;
         },
         [](SimBench& b) {
             b.buffer.assign(b.buffer.size(), 0x00);
             EXPECT_EQ(b.Operation(5, 0, 0x10), 0);
             b.log.clear();
             b.buffer.assign(b.buffer.size(), 0x5A);
             return b.Operation(5, 0, 0x10, 2);
         },
         3,
         [] {
             // Twenty retry lines, the hint at the byte's last attempt, then
             // a count of the 25 + 24 - 20 lines left out.
             Lines l;
             for (int i = 0; i < 20; ++i) l.push_back("Verify error at 000000 Read:00 File:5A retry " + std::to_string(i));
             l.push_back("The byte at 000000 reads 00 where 5A is wanted: programming cannot turn a 0 bit into 1. "
                         "Erase the chip first (an EPROM with ultraviolet light).");
             l.push_back("29 more retry lines not shown");
             l.push_back("Errors during the write: 2");
             l.push_back("Too many errors: stopped");
             return l;
         }()},
        {"a protected EEPROM in the window",
         [] {
             DeviceRecord r = ShippedRecord("EEPROM", "Atmel", "AT28C256");
             r.waitmode = 4;  // a timed wait: a locked chip never answers a poll
             return r;
         },
         [](SimBench& b) {
             b.Fault("sdp-locked");
             b.link.windowFace = true;
             b.buffer.assign(b.buffer.size(), 0x5A);
             return b.Operation(5, 0, 0x100, 1);
         },
         3,
         {"Verify error at 000000 page",
          "Not one byte of the page at 000000 changed: the chip is probably software data protected. To turn the "
          "protection off: Device > Unprotect (Atmel AT28C256)",
          "Errors during the write: 1", "Too many errors: stopped"}},
        {"a PIC data EEPROM byte that differs",
         [] {
             DeviceRecord r = PicRecord("PIC16F84");
             r.bufsize = kPicBufferBytes;
             return r;
         },
         [](SimBench& b) {
             FillBlank(b.buffer.data(), kPicBufferBytes, 4);
             b.buffer[kPicDataEepromByte + 2 * 7] = 0x00;
             b.buffer[kPicDataEepromByte + 2 * 7 + 1] = 0x07;
             return b.Operation(6, 0, 0x400);
         },
         3,
         {"Verify error at 002107 (data EEPROM) Read:FF File:07"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimBench b(c.record());
        EXPECT_EQ(c.run(b), c.result);
        const Lines lines = b.log.lines();
        EXPECT_EQ(lines, c.lines);
    }
}

}  // namespace
}  // namespace krt::test
