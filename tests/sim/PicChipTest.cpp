// SPDX-License-Identifier: GPL-3.0-or-later
// PIC16x84 in the socket, driven bit by bit from the wire as the programming
// specification describes it: program mode entry, commands and data frames,
// the read's output timing, programming time, wrap and configuration space,
// code protection and its erase, faults and chip files.
#include <gtest/gtest.h>

#include "SimWire.h"
#include "sim/chips/PicChip.h"

namespace krt {
namespace {

using namespace simtest;

// Fixed-level supplies (KRT1 1.0): 0x60 Vcc 5 V, Vpp off; 0x68 Vpp 12.5 V;
// 0x6A Vpp 14.9 V; 0x04 outputs gated off.
class PicWire : public ::testing::Test {
protected:
    void Insert(PicChip::Part part, const char* name) {
        k.SetRevisions(0x10, 0x10);
        auto c = std::make_unique<PicChip>(name, part);
        chip = c.get();
        k.InsertChip(std::move(c));
        w.Cmd(DEVSET, 0x04);
        w.Cmd(CSET, 0x80);
        w.Cmd(DHSET, 0x00);
    }
    void SetUp() override { Insert(PicChip::Part::F84, "PIC16F84"); }

    void PowerUp(uint8_t volt = 0x68) {
        w.Volt(0x60);
        w.Volt(volt);
    }
    void Bit(bool one) {
        w.Cmd(DHSET, one ? 0x30 : 0x20);
        w.Cmd(DHSET, one ? 0x10 : 0x00);
    }
    void Command(uint8_t c) {
        for (int i = 0; i < 6; ++i) Bit((c >> i) & 1);
    }
    void Load(uint8_t c, uint16_t data) {
        Command(c);
        Bit(false);
        for (int i = 0; i < 14; ++i) Bit((data >> i) & 1);
        Bit(false);
    }
    bool Sample() { return w.Fetch(DLREAD) & 0x40; }
    void Clock() {
        w.Cmd(DHSET, 0x20);
        w.Cmd(DHSET, 0x00);
    }
    uint16_t Read(uint8_t c = 4) {
        Command(c);
        w.Cmd(CSET, 0x00);
        Clock();
        uint16_t v = 0;
        for (int i = 0; i < 14; ++i) {
            Clock();
            if (Sample()) v = static_cast<uint16_t>(v | 1u << i);
        }
        Clock();
        w.Cmd(CSET, 0x80);
        return v;
    }
    void Program(uint16_t value, unsigned waitMs = 10) {
        Load(2, value);
        Command(8);
        k.sleepMs(waitMs);
        w.Cmd(DLSET, 0x00);  // any event after the wait: the chip looks at its time
    }

    VirtualKrt k;
    Wire w{k};
    PicChip* chip = nullptr;
};

TEST_F(PicWire, ProgramModeNeedsMclrInItsWindowWithRb6AndRb7Low) {
    w.Cmd(DHSET, 0x10);  // RB7 high while MCLR rises
    PowerUp();
    EXPECT_FALSE(chip->InProgramMode());
    w.Cmd(DHSET, 0x00);
    EXPECT_FALSE(chip->InProgramMode()) << "the lines must be low when MCLR rises, not after";
    PowerUp(0x6A);  // 14.9 V: beyond the window
    EXPECT_FALSE(chip->InProgramMode());
    PowerUp();
    EXPECT_TRUE(chip->InProgramMode());
    w.Volt(0x08);  // Vdd 6.25 V
    EXPECT_FALSE(chip->InProgramMode());
}

TEST_F(PicWire, LoadProgramReadIncrementWrapAndConfigurationSpace) {
    PowerUp();
    Program(0x2ABC);
    EXPECT_EQ(chip->Program(0), 0x2ABC);
    EXPECT_EQ(Read(), 0x2ABC);
    Command(6);
    EXPECT_EQ(Read(), 0x3FFF);
    for (int i = 0; i < 0x3FF; ++i) Command(6);
    EXPECT_EQ(Read(), 0x2ABC) << "program memory wraps at 1K";

    Load(0, 0x0005);  // to 2000h; the data goes to the latch only
    EXPECT_EQ(Read(), 0x3FFF);
    Command(8);
    k.sleepMs(10);
    EXPECT_EQ(Read(), 0x0005);
    EXPECT_EQ(chip->Config(0), 0x0005);
    for (int i = 0; i < 6; ++i) Command(6);
    EXPECT_EQ(Read(), 0x3FFF) << "2006h: no device ID on the 16F84";
    Program(0x0123);  // read-only
    EXPECT_EQ(chip->Config(6), 0x3FFF);

    // Leaving program mode starts the counter at 0 again.
    w.Volt(0x60);
    PowerUp();
    EXPECT_EQ(Read(), 0x2ABC);
}

TEST_F(PicWire, ReadDrivesRb7FromTheSecondRisingEdgeAndProgrammingTakesItsTime) {
    PowerUp();
    Program(0x0000);
    Command(4);
    w.Cmd(CSET, 0x00);
    Clock();
    EXPECT_TRUE(Sample()) << "start bit: the line is still released";
    Clock();
    EXPECT_FALSE(Sample()) << "bit 0 after the second rising edge";
    for (int i = 0; i < 14; ++i) Clock();
    EXPECT_TRUE(Sample()) << "released after the 16th clock";
    w.Cmd(CSET, 0x80);

    // The programmer holding RB7 low during a read reads 0s.
    chip->SetProgram(1, 0x3FFF);
    Command(6);
    Command(4);
    Clock();
    Clock();
    EXPECT_FALSE(Sample());
    for (int i = 0; i < 14; ++i) Clock();

    // A command before 10 ms have passed cuts the cycle short.
    Program(0x1111, 5);
    Command(6);
    EXPECT_EQ(chip->Program(1), 0x3FFF);
    Program(0x1111, 10);
    Command(6);
    EXPECT_EQ(chip->Program(2), 0x1111);
}

TEST_F(PicWire, CodeProtectionAndTheEraseThatLiftsIt) {
    Insert(PicChip::Part::C84, "PIC16C84");
    chip->SetProgram(0, 0x1234);
    chip->SetDataByte(0, 0x55);
    chip->SetConfig(7, 0x0000);
    EXPECT_EQ(chip->ReadWord(0x2007), 0x3FE0) << "16C84: bits 13-5 unimplemented, read as 1";
    EXPECT_TRUE(chip->CodeProtected());
    PowerUp();
    EXPECT_EQ(Read(), 0x0000);
    EXPECT_EQ(Read(5), 0x0000);
    Program(0x0001);
    EXPECT_EQ(chip->Program(0), 0x1234) << "protected words do not program";

    // The sequence with anything but 3FFFh loaded does nothing.
    Load(0, 0x0000);
    for (int i = 0; i < 7; ++i) Command(6);
    Command(1);
    Command(7);
    Command(8);
    k.sleepMs(10);
    EXPECT_TRUE(chip->CodeProtected());

    Load(0, 0x3FFF);
    for (int i = 0; i < 7; ++i) Command(6);
    Command(1);
    Command(7);
    Command(8);
    k.sleepMs(10);
    Command(1);
    Command(7);
    EXPECT_FALSE(chip->CodeProtected());
    EXPECT_EQ(chip->Program(0), 0x3FFF);
    EXPECT_EQ(chip->DataByte(0), 0xFF);
    EXPECT_EQ(chip->Config(7), 0x3FFF);
}

TEST_F(PicWire, DataEepromAndDeviceId) {
    Insert(PicChip::Part::F84A, "PIC16F84A");
    PowerUp();
    Command(6);
    Load(3, 0x00A5);
    Command(8);
    k.sleepMs(8);
    EXPECT_EQ(Read(5), 0x00A5);
    EXPECT_EQ(chip->DataByte(1), 0xA5);
    EXPECT_EQ(chip->Program(1), 0x3FFF);
    Load(0, 0);
    for (int i = 0; i < 6; ++i) Command(6);
    EXPECT_EQ(Read(), PicChip::kDeviceId84A);
}

TEST_F(PicWire, FaultsAndChipFiles) {
    std::string error;
    EXPECT_FALSE(chip->ApplyFault("code-protected", "x", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(chip->ApplyFault("weak-words", "zz", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(chip->ApplyFault("sdp-locked", "", error));
    EXPECT_TRUE(error.empty()) << "another chip's fault";
    ASSERT_TRUE(chip->ApplyFault("weak-words", "0,2007", error));

    PowerUp();
    Program(0x0042);
    EXPECT_EQ(chip->Program(0), 0x3FFF) << "a weak word is left erased";
    Program(0x0042);
    Program(0x0042);
    EXPECT_EQ(chip->Program(0), 0x0042) << "and takes its value on the third cycle";
    ASSERT_TRUE(chip->ApplyFault("code-protected", "", error));
    EXPECT_TRUE(chip->CodeProtected());

    chip->SetDataByte(63, 0x12);
    ChipImage image;
    chip->Save(image);
    PicChip copy("PIC16F84", PicChip::Part::F84);
    ASSERT_TRUE(copy.Load(image, error)) << error;
    EXPECT_EQ(copy.Program(0), 0x0042);
    EXPECT_EQ(copy.DataByte(63), 0x12);
    EXPECT_TRUE(copy.CodeProtected());
    PicChip other("PIC16F84A", PicChip::Part::F84A);
    EXPECT_FALSE(other.Load(image, error));
}

}  // namespace
}  // namespace krt
