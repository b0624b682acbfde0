// SPDX-License-Identifier: GPL-3.0-or-later
// The 5 V command-set flash family end to end on the simulated programmer
// in strict mode, with the shipped catalogue's records: round trips of
// every kind, the identity pair, the chips that never finish, software
// data protection of the page-mode parts and the byte-load window.
#include <gtest/gtest.h>

#include "FamilyTestSupport.h"
#include "SimBench.h"
#include "families/ZVEEPROM.h"
#include "sim/chips/Flash5vChip.h"
#include "support/ShippedRecord.h"

namespace krt::test {
namespace {

Flash5vChip& Flash5vChipOf(SimBench& b) { return *dynamic_cast<Flash5vChip*>(b.sim.SocketChip()); }

DeviceRecord Part(const char* maker, const char* name) { return ShippedRecord("FLASH5V", maker, name); }

constexpr const char* kFlash5vNoErrors = "Written without errors.";

// Forwards to the simulator and lets a millisecond pass once, when the
// link has sent `at` data writes.
class JitterPort : public PortIo {
public:
    JitterPort(SimBench& b, uint32_t at) : b_(b), at_(at) {}
    uint8_t read(uint16_t a) override { return b_.sim.read(a); }
    void write(uint16_t a, uint8_t v) override {
        b_.sim.write(a, v);
        if (!done_ && b_.link.commandCounts[OP_DLSEND & 0x1F] == at_) {
            done_ = true;
            b_.sim.sleepMs(1);
        }
    }

private:
    SimBench& b_;
    uint32_t at_;
    bool done_ = false;
};

// A range that starts and ends inside a page, on a chip that already holds
// data: the range is written, verified and read back; the bytes around it
// keep the chip's own data (page parts rewrite whole pages); erase blanks all.
// A page-mode part written without protection takes any stray data cycle
// (a lone reset byte) as a page to write.
TEST(ZVFLASH5VSim, RoundTripOfEveryKindKeepsTheBytesAroundTheRange) {
    struct Case {
        const char* maker;
        const char* name;
        bool protectedWrites = true;  // page mode: the catalogue's sdp
    };
    for (const Case& c : {Case{"SST", "SST39SF010A"}, Case{"AMD", "AM29F040B"}, Case{"Atmel", "AT49F010"},
                          Case{"Atmel", "AT29C010A"}, Case{"Winbond", "W29C020"}, Case{"Winbond", "W29EE011"},
                          Case{"SST", "SST29EE010"}, Case{"Winbond", "W29C020", false}}) {
        SCOPED_TRACE(std::string(c.name) + (c.protectedWrites ? "" : " without protection"));
        SimBench b(Part(c.maker, c.name));
        if (!c.protectedWrites) b.record.sdp = 0;
        const uint32_t start = 0x1F3, length = 0x2A7;
        for (uint32_t a = 0; a < 0x800; ++a) Flash5vChipOf(b).SetCell(a, static_cast<uint8_t>(a * 7));
        // Only bits the chip can clear for the byte parts: the range starts blank there.
        for (uint32_t a = start; a < start + length; ++a) Flash5vChipOf(b).SetCell(a, 0xFF);
        const auto data = RandomBytes(b.buffer.size(), 5);
        b.buffer = data;
        b.buffer[start + 3] = 0xFF;  // a blank byte in the range: looked at, not programmed
        ASSERT_EQ(b.Operation(5, start, length), 0);
        EXPECT_EQ(b.log.lines(), Lines{kFlash5vNoErrors});
        for (uint32_t a = 0; a < 0x800; ++a) {
            const bool in = a >= start && a < start + length;
            ASSERT_EQ(Flash5vChipOf(b).Cell(a), in ? b.buffer[a] : static_cast<uint8_t>(a * 7)) << a;
        }
        EXPECT_FALSE(Flash5vChipOf(b).InIdMode());
        b.log.clear();
        EXPECT_EQ(b.Operation(6, start, length), 0);
        b.buffer.assign(b.buffer.size(), 0);
        EXPECT_EQ(b.Operation(4, start, length), 0);
        EXPECT_EQ(b.buffer[start + 10], Flash5vChipOf(b).Cell(start + 10));
        EXPECT_EQ(b.Operation(7, 0, b.record.maxsize), 0);
        EXPECT_EQ(b.Operation(9, 0, b.record.maxsize), 0);
        EXPECT_TRUE(b.log.lines().empty()) << b.log.lines().front();
    }
}

// A file blank (FF) over a chip that holds something else: the page-mode
// parts write each page where any byte of the range differs (whatever its
// place in the page, after a page left alone too) and keep the bytes
// outside the range; a byte-program part cannot make FF, which is an error
// with the verify off as well, never "without errors".
TEST(ZVFLASH5VSim, BlankFileOverOldDataIsWrittenOrReported) {
    struct Case {
        const char* what;
        const char* maker;
        const char* name;
        uint8_t verify;
        uint32_t start, length;
        std::vector<uint32_t> old;  // cells that hold 00
    };
    for (const Case& c :
         {Case{"an all-FF page over old data", "Winbond", "W29C020", 1, 0, 0x100, {0x05, 0x90}},
          Case{"only the page's last byte differs", "Winbond", "W29C020", 1, 0, 0x100, {0x7F}},
          Case{"only the page's first byte differs", "Winbond", "W29C020", 1, 0, 0x100, {0x80}},
          Case{"a start inside a page", "Atmel", "AT29C010A", 1, 0x40, 0x80, {0x3F, 0x40, 0x7F, 0xBF, 0xC0}},
          Case{"the page after one left alone", "Winbond", "W29EE011", 1, 0, 0x180, {0x100}},
          Case{"verify off", "Atmel", "AT29C010A", 0, 0, 0x100, {0x05}},
          Case{"a byte-program part, verify off", "SST", "SST39SF010A", 0, 0, 0x20, {0x10}}}) {
        SCOPED_TRACE(c.what);
        SimBench b(Part(c.maker, c.name));
        b.record.verify = c.verify;
        for (uint32_t a : c.old) Flash5vChipOf(b).SetCell(a, 0x00);
        const bool pages = b.record.pagewrite != 0;
        EXPECT_EQ(b.Operation(5, c.start, c.length), pages ? 0 : 3);
        EXPECT_EQ(b.CountLines(kFlash5vNoErrors), pages ? 1u : 0u);
        for (uint32_t a : c.old) {
            const bool in = a >= c.start && a < c.start + c.length;
            EXPECT_EQ(Flash5vChipOf(b).Cell(a), in && pages ? 0xFF : 0x00) << a;
        }
        if (!pages) {
            EXPECT_EQ(b.CountLines("Verify error at 000010 Read:00 File:FF"), 1u);
        }
    }
}

// Maker and device code are one pair: another maker's part with a shared
// device code, and the same maker's sibling, are both refused before a
// cycle reaches the array; a part whose ID the datasheet does not confirm
// is warned about and written.
TEST(ZVFLASH5VSim, TheIdentityPairDecidesWriteAndErase) {
    struct Case {
        const char* maker;
        const char* name;
        const char* fault;
        uint8_t result;
        const char* line;
    };
    for (const Case& c :
         {Case{"SST", "SST39SF010A", "wrong-part", 4,
               "Wrong device in the socket: expected SST39SF010A (BFh/B5h), found identifier 01h/A4h; nothing was "
               "written or erased"},
          Case{"AMD", "AM29F040B", "other-device", 4,
               "Wrong device in the socket: expected AM29F040B (01h/A4h), found identifier 01h/A5h; nothing was "
               "written or erased"},
          Case{"Atmel", "AT29C010A", "wrong-part", 0,
               "Expected AT29C010A (1Fh/D5h), found identifier 01h/A4h (this part's identifier is not confirmed: "
               "going on)"}}) {
        SCOPED_TRACE(c.name);
        SimBench b(Part(c.maker, c.name));
        b.Fault(c.fault);
        b.buffer.assign(b.buffer.size(), 0x00);
        EXPECT_EQ(b.Operation(5, 0, 0x100), c.result);
        ASSERT_FALSE(b.log.lines().empty());
        EXPECT_EQ(b.log.lines().front(), c.line);
        EXPECT_EQ(Flash5vChipOf(b).Cell(0), c.result == 0 ? 0x00 : 0xFF);
        EXPECT_EQ(b.sim.Vcc(), 0.0);
        if (c.result != 0) {
            EXPECT_EQ(b.log.lines().size(), 1u);
            EXPECT_EQ(b.Operation(7, 0, b.record.maxsize), 4);
            EXPECT_EQ(Flash5vChipOf(b).Programs() + Flash5vChipOf(b).Erases(), 0u);
        }
        // The identity check switched off writes whatever part is there.
        b.record.idcheck = 0;
        b.log.clear();
        EXPECT_EQ(b.Operation(5, 0, 0x100), 0);
    }
}

// A chip that never ends its program or erase: given up within the bound
// (the program time's, the erase time's; on AMD parts the DQ5 time limit,
// after which it is reset), result 4, one line, supplies off, never
// "without errors".
TEST(ZVFLASH5VSim, ChipThatNeverFinishesEndsWithFourWithinTheBound) {
    struct Case {
        const char* maker;
        const char* name;
        uint8_t code;
        const char* line;
        double boundS;
    };
    for (const Case& c : {Case{"SST", "SST39SF010A", 5,
                               "The chip did not finish programming at 000010 within 1.0 ms: the supplies were "
                               "switched off",
                               0.01},
                          Case{"SST", "SST39SF040", 7,
                               "The chip erase did not finish within 210.0 ms: the supplies were switched off", 0.3},
                          Case{"AMD", "AM29F010B", 5,
                               "The chip exceeded its internal time limit at 000010 (DQ5): it was reset", 0.01},
                          Case{"Atmel", "AT29C512", 5,
                               "The chip did not finish programming at 000000 within 12.0 ms: the supplies were "
                               "switched off",
                               0.05}}) {
        SCOPED_TRACE(c.name);
        SimBench b(Part(c.maker, c.name));
        b.buffer = RandomBytes(b.buffer.size(), 9);
        b.Fault("never-ready");
        const auto before = b.sim.now();
        EXPECT_EQ(b.Operation(c.code, 0x10, 0x40), 4);
        ASSERT_FALSE(b.log.lines().empty());
        EXPECT_EQ(b.log.lines().front(), c.line);
        EXPECT_EQ(b.CountLines(kFlash5vNoErrors), 0u);
        EXPECT_LT(b.sim.now() - before, std::chrono::duration<double>(1.0 + c.boundS));  // supplies settle 0.8 s
        EXPECT_EQ(b.sim.Vcc(), 0.0);
    }
}

// A page-mode chip whose protection the sequence does not lift keeps its
// data: a verify failure with the protection hint, never a success. With
// a chip that takes the sequences, "sdp off" and "sdp on" are observed by
// a test write of the last page, whose bytes are put back.
TEST(ZVFLASH5VSim, ProtectionOfPageModeParts) {
    {
        SimBench b(Part("Atmel", "AT29C010A"));
        b.Fault("sdp-locked");
        b.buffer = RandomBytes(b.buffer.size(), 3);
        EXPECT_EQ(b.Operation(5, 0, 0x400), 3);
        EXPECT_EQ(b.log.lines(),
                  (Lines{"Verify error at 000000 page",
                         "Not one byte of the page at 000000 changed: the chip is probably software data protected. "
                         "To turn the protection off: krt sdp off FLASH5V Atmel AT29C010A",
                         "Errors during the write: 1"}));
        EXPECT_EQ(Flash5vChipOf(b).Cell(0), 0xFF);
        EXPECT_TRUE(b.link.protectionSuspected);
        // "sdp off" the chip does not take is an error, not a success.
        b.log.clear();
        EXPECT_EQ(RunProtectionOperation(b.link, b.record, false), 3);
        EXPECT_EQ(b.log.lines(), Lines{"Software data protection is on (a test write at 01FFFF was ignored)"});
    }
    SimBench b(Part("Winbond", "W29EE011"));
    Flash5vChipOf(b).SetProtected(true);
    const uint32_t last = b.record.maxsize - 1;
    Flash5vChipOf(b).SetCell(last - 5, 0x12);
    EXPECT_EQ(RunProtectionOperation(b.link, b.record, false), 0);
    EXPECT_EQ(b.log.lines(), Lines{"Software data protection is off (a test write at 01FFFF took effect; its old "
                                   "value was put back)"});
    EXPECT_FALSE(Flash5vChipOf(b).Protected());
    EXPECT_EQ(Flash5vChipOf(b).Cell(last - 5), 0x12);
    EXPECT_EQ(Flash5vChipOf(b).Cell(last), 0xFF);
    b.log.clear();
    EXPECT_EQ(RunProtectionOperation(b.link, b.record, true), 0);
    EXPECT_EQ(b.log.lines(), Lines{"Software data protection is on (a test write at 01FFFF was ignored)"});
    EXPECT_TRUE(Flash5vChipOf(b).Protected());
    EXPECT_EQ(Flash5vChipOf(b).Cell(last - 5), 0x12);
    // Byte-program parts carry the protection in every command.
    SimBench s(Part("SST", "SST39SF010A"));
    EXPECT_EQ(RunProtectionOperation(s.link, s.record, false), 9);
    EXPECT_EQ(Flash5vChipOf(s).Programs(), 0u);
}

// A byte-load window the programmer cannot meet is refused before the
// chip is powered; one that a burst breaks (a slow port) loses the page and
// says so, never a success.
TEST(ZVFLASH5VSim, ByteLoadWindowIsMeasuredAgainstTheBurst) {
    SimBench b(Part("Winbond", "W29C020"));
    b.buffer = RandomBytes(b.buffer.size(), 4);
    b.record.loadwindow = 10e-6;
    EXPECT_EQ(b.Operation(5, 0, 0x100), 4);
    EXPECT_EQ(b.log.lines(), Lines{"A byte-load window of 10 us cannot be met by this programmer (at least 20 us is "
                                   "needed): nothing was written"});
    EXPECT_EQ(b.sim.Vcc(), 0.0);
    EXPECT_EQ(Flash5vChipOf(b).Programs(), 0u);

    // The computer stops for a millisecond in the middle of a page (a
    // busy system): the chip starts its cycle early, the rest of the page
    // is lost, and the write says so and stops with 4.
    b.record.loadwindow = 200e-6;
    b.ExpectBreaches();  // the bytes after the gap reach a busy chip
    JitterPort jitter(b, b.link.commandCounts[OP_DLSEND & 0x1F] + 40);
    b.link.port = &jitter;
    b.log.clear();
    EXPECT_EQ(b.Operation(5, 0, 0x80), 4);
    ASSERT_FALSE(b.log.lines().empty());
    EXPECT_EQ(b.log.lines().front().rfind("Loading the page at 000000 took a gap of 10", 0), 0u)
        << b.log.lines().front();
    EXPECT_EQ(b.CountLines(kFlash5vNoErrors), 0u);
    EXPECT_NE(Flash5vChipOf(b).Cell(0x7F), b.buffer[0x7F]);
}

}  // namespace
}  // namespace krt::test
