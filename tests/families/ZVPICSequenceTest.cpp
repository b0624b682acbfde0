// SPDX-License-Identifier: GPL-3.0-or-later
// The PIC family on the recording port, where the exact sequence is the
// point: the line encoding of a command and its data phase, the order of the
// code-protect erase, and a cancel in program memory.
#include <gtest/gtest.h>

#include "FamilyTestSupport.h"
#include "PicTestSupport.h"
#include "families/ZVPIC.h"

namespace krt::test {
namespace {

// The PIC commands carried by a frame sequence, decoded from the DHSET
// values (clock bit 5, data bit 4, taken on the clock's falling edge): each
// command with the data of its load phase (-1 for none).
std::vector<std::pair<int, int>> PicCommands(const std::vector<uint8_t>& frames) {
    auto hasOperand = [](uint8_t op) { return !(op <= 0x01 || (op >= 0x04 && op <= 0x06) || op == 0x14); };
    std::vector<std::pair<int, int>> out;
    bool clock = false;
    std::vector<int> bits;
    int want = 6;  // bits of the current phase
    int command = -1;
    for (size_t i = 0; i < frames.size(); ++i) {
        const uint8_t op = frames[i];
        if (!hasOperand(op)) continue;
        const uint8_t v = frames[++i];
        if (op != 0x0D) continue;
        const bool c = v & 0x20;
        if (clock && !c) {
            bits.push_back((v & 0x10) ? 1 : 0);
            if (static_cast<int>(bits.size()) == want) {
                int value = 0;
                for (int b = want - 1; b >= 0; --b) value = value << 1 | bits[b];
                bits.clear();
                if (want == 6) {
                    command = value;
                    if (value == 0 || value == 2 || value == 3 || value == 4 || value == 5) {
                        want = 16;
                    } else {
                        out.emplace_back(value, -1);
                    }
                } else {
                    const bool load = command == 0 || command == 2 || command == 3;
                    out.emplace_back(command, load ? (value >> 1) & 0x3FFF : -1);
                    want = 6;
                }
            }
        }
        clock = c;
    }
    return out;
}

TEST(ZVPICSequence, CommandLinesAndDataPhases) {
    FamilyLink t(PicRecord());
    LinkRequest request;
    ZVPIC pic(t.link, request, t.record);
    pic.PicCommand(ZVPIC::PIC_INCREMENT);  // 6 = 0 1 1 0 0 0, least significant bit first
    EXPECT_EQ(t.port.CommandFrames(),
              (std::vector<uint8_t>{0x10, 0x04, 0x11, 0x00, 0x0E, 0x80, 0x0C, 0x00, 0x0D, 0x00,  //
                                    0x0D, 0x20, 0x0D, 0x00, 0x0D, 0x30, 0x0D, 0x10, 0x0D, 0x30, 0x0D, 0x10,
                                    0x0D, 0x20, 0x0D, 0x00, 0x0D, 0x20, 0x0D, 0x00, 0x0D, 0x20, 0x0D, 0x00}));
    t.port.Clear();
    EXPECT_EQ(pic.PicCommand(ZVPIC::PIC_LOAD_PROGRAM, 0xC2A5), 0);
    EXPECT_EQ(PicCommands(t.port.CommandFrames()), (std::vector<std::pair<int, int>>{{2, 0x02A5}}));

    // A read lets the chip drive RB7 (C port 00h) and takes reply bit 6 after
    // each of the 14 data clocks.
    t.port.Clear();
    const uint16_t word = 0x2C35;
    for (int i = 0; i < 14; ++i) {
        t.port.ScriptStatus(0x40);
        t.port.ScriptReply((word >> i) & 1 ? 0x40 : 0xBF);
    }
    EXPECT_EQ(pic.PicCommand(ZVPIC::PIC_READ_PROGRAM), word);
    const auto frames = t.port.CommandFrames();
    EXPECT_EQ(CountOf(frames, 0x04), 14u);
    EXPECT_EQ(CountOf(frames, 0x0E), 3u);  // 80h, 00h for the data phase, 80h after it
    EXPECT_EQ(std::vector<uint8_t>(frames.end() - 6, frames.end()),
              (std::vector<uint8_t>{0x0D, 0x20, 0x0D, 0x00, 0x0E, 0x80}));
    EXPECT_EQ(pic.PicCommand(0x15), 1);
}

TEST(ZVPICSequence, EraseSendsTheCodeProtectReleaseInOrder) {
    FamilyLink t(PicRecord());
    EXPECT_EQ(t.Operation(7, 0, 0x400), 0);
    EXPECT_EQ(PicCommands(t.port.CommandFrames()),
              (std::vector<std::pair<int, int>>{{0, 0x3FFF}, {6, -1}, {6, -1}, {6, -1}, {6, -1}, {6, -1}, {6, -1},
                                                {6, -1}, {1, -1}, {7, -1}, {8, -1}, {1, -1}, {7, -1}}));
    EXPECT_TRUE(t.log.lines().empty());
    EXPECT_EQ(t.Operation(8, 0, 0x400), 9);   // Secure
    EXPECT_EQ(t.Operation(10, 0, 0x400), 9);  // DeviceOption
    EXPECT_EQ(t.Operation(11, 0, 0x400), 8);  // Stop
}

// Sets the family's cancel flag after the given number of DLREAD fetches.
class PicCancellingPort : public RecordingPort {
public:
    void write(uint16_t address, uint8_t value) override {
        RecordingPort::write(address, value);
        if (address == 0x378 && value == 0x04 && ++fetches == after && pic) pic->cancel = 1;
    }
    ZVPIC* pic = nullptr;
    int fetches = 0;
    int after = 0;
};

TEST(ZVPICSequence, CancelInProgramMemorySendsOnlyTheConfigurationLoad) {
    FamilyLink t(PicRecord());
    PicCancellingPort port;
    port.after = 14 * 3;  // during the third word
    t.link.port = &port;
    LinkRequest request;
    request.buffer = t.buffer.data();
    request.length = 0x400;
    request.permittedErrorCount = 100;
    ZVPIC pic(t.link, request, t.record);
    port.pic = &pic;
    EXPECT_EQ(pic.Read(), 1);
    EXPECT_EQ(PicCommands(port.CommandFrames()),
              (std::vector<std::pair<int, int>>{{4, -1}, {6, -1}, {4, -1}, {6, -1}, {4, -1}, {6, -1}, {0, 0}}));
    EXPECT_EQ(pic.CurrentAddress(), 0x2000u);
}

}  // namespace
}  // namespace krt::test
