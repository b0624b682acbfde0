// SPDX-License-Identifier: GPL-3.0-or-later
// The serial EEPROM family's exact bus sequences, decoded from the frames
// on the recording port (every sampled bit reads 0 there: each byte is
// acknowledged, every data bit is 0).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FamilyTestSupport.h"
#include "ZVSEEPTestSupport.h"
#include "families/ZVSEEP.h"

namespace krt::test {
namespace {

constexpr uint8_t kDlset = 0x0C, kCset = 0x0E;

// The two-wire bus as the programmer drives it: "S" start, "P" stop, a byte
// the host sent in hex, "rd" a byte the chip sent (SDA released), then the
// ninth clock: "a" released (the chip acknowledges), "A"/"N" the host's
// acknowledge or no-acknowledge.
std::vector<std::string> TwoWireBus(const std::vector<uint8_t>& frames) {
    std::vector<std::string> out;
    bool drive = false, sda = true, scl = false;
    unsigned bits = 0, value = 0;
    bool released = false;
    for (size_t i = 0; i + 1 < frames.size(); ++i) {
        const uint8_t op = frames[i];
        if (op != kDlset && op != kCset) continue;
        const uint8_t v = frames[++i];
        bool newDrive = drive, newSda = sda, newScl = scl;
        if (op == kCset) newDrive = v & 0x80;
        else {
            newSda = v & 0x08;
            newScl = v & 0x10;
        }
        const bool line = !drive || sda, newLine = !newDrive || newSda;
        if (scl && newScl && line != newLine) {
            out.push_back(newLine ? "P" : "S");
            bits = value = 0;
            released = false;
        }
        if (!scl && newScl) {
            if (bits < 8) {
                value = value << 1 | (newLine ? 1 : 0);
                released = released || !newDrive;
                ++bits;
            } else {
                char text[8];
                std::snprintf(text, sizeof text, "%02X", value);
                out.push_back(released ? "rd" : text);
                out.push_back(!newDrive ? "a" : newSda ? "N" : "A");
                bits = value = 0;
                released = false;
            }
        }
        drive = newDrive;
        sda = newSda;
        scl = newScl;
    }
    return out;
}

// The three-wire instructions: the DI bits taken on each SK rise between a
// rise and a fall of CS.
std::vector<std::string> ThreeWireInstructions(const std::vector<uint8_t>& frames) {
    std::vector<std::string> out;
    uint8_t lines = 0;
    std::string bits;
    for (size_t i = 0; i + 1 < frames.size(); ++i) {
        if (frames[i] == 0x04) continue;  // DLREAD has no operand
        if (frames[i] != kDlset) {
            if (frames[i] >= 0x08 && frames[i] <= 0x13) ++i;
            continue;
        }
        const uint8_t v = frames[++i];
        EXPECT_EQ(v & 0x40, 0x40) << "bit 6 is held";
        if ((v & 1) && (lines & 1) && (v & 2) && !(lines & 2)) bits += (v & 4) ? '1' : '0';
        if (!(v & 1) && (lines & 1)) {
            out.push_back(bits);
            bits.clear();
        }
        lines = v;
    }
    return out;
}

std::vector<std::string> PageRead(std::vector<std::string> addressing, unsigned bytes) {
    std::vector<std::string> out = {"S"};
    for (const std::string& b : addressing) {
        out.push_back(b);
        out.push_back("a");
    }
    char readSelect[4];
    std::snprintf(readSelect, sizeof readSelect, "%02X", std::stoi(addressing[0], nullptr, 16) | 1);
    out.insert(out.end(), {"S", readSelect, "a"});
    for (unsigned i = 0; i < bytes; ++i) out.insert(out.end(), {"rd", i + 1 < bytes ? "A" : "N"});
    out.push_back("P");
    return out;
}

TEST(ZVSEEPSequence, TwoPageReadsOfThirtyTwoBytesWithTwoAddressBytes) {
    FamilyLink t(TwoWireEeprom("AT24C32", 0x1000, 32));
    ASSERT_EQ(t.Operation(4, 0, 64), 0);
    std::vector<std::string> expected = PageRead({"A0", "00", "00"}, 32);
    const auto second = PageRead({"A0", "00", "20"}, 32);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(TwoWireBus(t.port.CommandFrames()), expected);
}

TEST(ZVSEEPSequence, PageSizeOneReadsEachByteOnItsOwn) {
    FamilyLink t(TwoWireEeprom("AT24C64", 0x2000, 1));
    ASSERT_EQ(t.Operation(4, 0x1FFE, 2), 0);
    std::vector<std::string> expected = PageRead({"A0", "1F", "FE"}, 1);
    const auto second = PageRead({"A0", "1F", "FF"}, 1);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(TwoWireBus(t.port.CommandFrames()), expected);
}

TEST(ZVSEEPSequence, SmallPartsTakeOneAddressByteAndTheBlockInTheDeviceSelect) {
    FamilyLink t(TwoWireEeprom("AT24C16", 0x800, 16));
    ASSERT_EQ(t.Operation(4, 0x5F0, 1), 0);
    EXPECT_EQ(TwoWireBus(t.port.CommandFrames()), PageRead({"AA", "F0"}, 16));

    t.port.Clear();
    t.record.verify = 0;
    t.buffer[0x7FF] = 0x3C;
    ASSERT_EQ(t.Operation(5, 0x7FF, 1), 0);
    // The write, then the address once more: acknowledged once the write
    // cycle has ended, before the power-down.
    EXPECT_EQ(TwoWireBus(t.port.CommandFrames()),
              (std::vector<std::string>{"S", "AE", "a", "FF", "a", "3C", "a", "P", "S", "AE", "a", "FF", "a", "P"}));

    // With the verify flag the byte is read back by a random read (every
    // sampled bit reads 0 here, so a 00 verifies).
    t.port.Clear();
    t.record.verify = 1;
    t.buffer[0x7FF] = 0x00;
    ASSERT_EQ(t.Operation(5, 0x7FF, 1), 0);
    EXPECT_EQ(TwoWireBus(t.port.CommandFrames()),
              (std::vector<std::string>{"S", "AE", "a", "FF", "a", "00", "a", "P", "S", "AE", "a", "FF", "a", "S",
                                        "AF", "a", "rd", "N", "P", "S", "AE", "a", "FF", "a", "P"}));
}

TEST(ZVSEEPSequence, TwoWireEraseWritesFFToEveryByteInTurn) {
    DeviceRecord r = TwoWireEeprom("AT24C02", 0x100, 8);
    r.verify = 0;  // the writes alone; the read-back is shown above
    FamilyLink t(r);
    ASSERT_EQ(t.Operation(7, 0, 0), 0);
    const auto bus = TwoWireBus(t.port.CommandFrames());
    ASSERT_EQ(bus.size(), 256u * 8);
    for (unsigned a = 0; a < 256; ++a) {
        char address[4];
        std::snprintf(address, sizeof address, "%02X", a);
        ASSERT_EQ(std::vector<std::string>(bus.begin() + a * 8, bus.begin() + a * 8 + 8),
                  (std::vector<std::string>{"S", "A0", "a", address, "a", "FF", "a", "P"}));
    }
}

TEST(ZVSEEPSequence, ThreeWireInstructionsWithSixAddressBits) {
    FamilyLink t(ThreeWireEeprom("93C46", 0x40, 6));
    ASSERT_EQ(t.Operation(4, 5, 1), 0);
    EXPECT_EQ(ThreeWireInstructions(t.port.CommandFrames()),
              (std::vector<std::string>{"110000101" + std::string(17, '0')}));

    // Every sampled DO reads 0 here: the completion wait sees a busy chip
    // until it gives up.
    t.port.Clear();
    t.clock.step = std::chrono::milliseconds(1);
    t.buffer[0] = 0xA5;
    t.buffer[1] = 0x0F;
    EXPECT_EQ(t.Operation(5, 0, 1), 4);
    EXPECT_EQ(ThreeWireInstructions(t.port.CommandFrames()),
              (std::vector<std::string>{"100110000", "101000000" "1010010100001111", ""}));
    EXPECT_EQ(t.log.lines(), Lines{"シリアルEEPROMがビジーのままです アドレス 000000"});

    t.port.Clear();
    t.log.clear();
    EXPECT_EQ(t.Operation(7, 0, 0), 4);
    EXPECT_EQ(ThreeWireInstructions(t.port.CommandFrames()), (std::vector<std::string>{"100110000", "111000000", ""}));
}

// A DLSET or CSET that would load the value its register holds already is
// not sent: over a read, a verified page write and an erase, every one
// changes its register (DEVSET starts each power-up afresh).
TEST(ZVSEEPSequence, NoDlsetOrCsetRepeatsWhatItsRegisterHolds) {
    DeviceRecord r = TwoWireEeprom("AT24C02", 0x100, 8);
    r.pagewrite = 1;
    FamilyLink t(r);
    t.buffer.assign(t.buffer.size(), 0x00);  // every sampled bit reads 0: the write verifies
    ASSERT_EQ(t.Operation(4, 0, 64), 0);
    ASSERT_EQ(t.Operation(5, 0x10, 0x30), 0);
    ASSERT_EQ(t.Operation(7, 0, 0, 2), 3);  // the erase reads back zeros
    const std::vector<uint8_t> frames = t.port.CommandFrames();
    int dl = -1, c = -1;
    size_t dlsets = 0;
    for (size_t i = 0; i + 1 < frames.size(); ++i) {
        const uint8_t op = frames[i];
        if (op <= 0x01 || (op >= 0x04 && op <= 0x06) || op == 0x14) continue;
        const uint8_t v = frames[++i];
        if (op == 0x0F) dl = c = -1;
        if (op == kDlset) {
            ++dlsets;
            ASSERT_NE(v, dl) << "DLSET " << dlsets;
            dl = v;
        }
        if (op == kCset) {
            ASSERT_NE(v, c) << "CSET at frame " << i;
            c = v;
        }
    }
    EXPECT_GT(dlsets, 1000u);
}

// The family keeps no copy of a register that something else wrote, that
// the masks send differently, or that a power cycle has passed over: the
// next primitive writes it again, though the image is the same.
TEST(ZVSEEPSequence, RegistersWrittenElsewhereAreWrittenAgain) {
    FamilyLink t(TwoWireEeprom("AT24C02", 0x100, 8));
    LinkRequest request;
    ZVSEEP family(t.link, request, t.record);
    family.PowerOn(true);
    family.lineImage = 0x40;
    family.BusStart();
    t.port.Clear();
    t.link.DLSET(0x58);  // as the debug window's raw command
    t.link.CSET(0x00);
    t.port.Clear();
    family.BusStop();
    EXPECT_EQ(t.port.CommandFrames(), (std::vector<uint8_t>{kDlset, 0x40, kCset, 0x80, kDlset, 0x50, kDlset, 0x58}));

    t.port.Clear();
    t.link.dataLow = MaskPair{0xFF, 0x01};
    family.BusStart();
    EXPECT_EQ(t.port.CommandFrames(), (std::vector<uint8_t>{kDlset, 0x59, kDlset, 0x51, kDlset, 0x41}));

    family.BusStop();
    family.PowerOff();
    family.PowerOn(true);
    t.port.Clear();
    family.BusStart();
    EXPECT_EQ(t.port.CommandFrames(),
              (std::vector<uint8_t>{kCset, 0x80, kDlset, 0x58, kDlset, 0x50, kDlset, 0x40}));
    family.PowerOff();
}

TEST(ZVSEEPSequence, TypeCodeOneWritesNothing) {
    DeviceRecord r = TwoWireEeprom("placeholder", 0x100, 8);
    r.typecode = 1;
    FamilyLink t(r);
    EXPECT_EQ(t.Operation(5, 0, 0x100), 8);
    EXPECT_EQ(t.Operation(7, 0, 0x100), 8);
    EXPECT_TRUE(t.port.accesses.empty());
    EXPECT_TRUE(t.log.lines().empty());
}

}  // namespace
}  // namespace krt::test
