// SPDX-License-Identifier: GPL-3.0-or-later
// 28F flash in the socket, driven from the wire: the command register only
// under programming Vpp, read ID, program pulses that must last their
// minimum and only clear bits, FF FF reset, erase time that adds up,
// over-erasure of bytes that were not pre-programmed, the erase faults,
// over-voltage and the chip file.
#include <gtest/gtest.h>

#include "SimWire.h"
#include "catalogue/DeviceRecord.h"
#include "sim/ChipFactory.h"
#include "sim/chips/FlashChip.h"

namespace krt {
namespace {

using namespace simtest;

// A 28F010 on a fixed-level programmer (KRT1 1.0): register 0x60 reads at
// Vcc 5.0 V with Vpp off, 0x68 adds Vpp 12.5 V (inside 11.4 to 12.6 V).
class SimFlashTest : public ::testing::Test {
protected:
    static constexpr uint8_t kRead = 0x60, kProgram = 0x68;
    void SetUp() override {
        k.SetRevisions(0x10, 0x10);
        DeviceRecord r;
        r.type = "FLASH";
        r.name = "P28F010";
        std::string note;
        auto c = MakeBlankFlash(r, note);
        ASSERT_TRUE(c) << note;
        chip = dynamic_cast<FlashChip*>(c.get());
        k.InsertChip(std::move(c));
        w.Cmd(DEVSET, 0x10);
        w.Timer(0, 3);
        w.Volt(kProgram);
    }
    void Write(uint8_t v) {
        w.Cmd(DLSEND, v);
        ASSERT_GE(w.WaitReady(), 0);
    }
    // Program set-up, data, `waitMs` of pulse, program verify and the read.
    uint8_t Program(uint32_t a, uint8_t v, unsigned waitMs = 1) {
        w.Address(a);
        Write(0x40);
        Write(v);
        k.sleepMs(waitMs);
        Write(0xC0);
        k.sleepMs(1);  // the verify margin voltage settles (6 us)
        return w.Fetch(DLREAD);
    }
    void ErasePulse(unsigned ms = 10) {
        Write(0x20);
        Write(0x20);
        k.sleepMs(ms);
    }
    uint8_t EraseVerify(uint32_t a) {
        w.Address(a);
        Write(0xA0);
        k.sleepMs(1);  // the verify margin voltage settles (6 us)
        return w.Fetch(DLREAD);
    }
    uint8_t ReadAt(uint32_t a) {
        w.Address(a);
        return w.Fetch(DLREAD);
    }
    VirtualKrt k;
    Wire w{k};
    FlashChip* chip = nullptr;
};

TEST_F(SimFlashTest, WithoutProgrammingVppCommandsAreIgnored) {
    w.Volt(kRead);
    w.Address(0x10);
    Write(0x40);
    Write(0x00);
    Write(0x90);
    EXPECT_EQ(ReadAt(0x10), 0xFF);
    EXPECT_EQ(ReadAt(0x00), 0xFF) << "no identifier: the chip reads its array";
    EXPECT_EQ(chip->ProgramPulses(), 0u);
}

TEST_F(SimFlashTest, ReadIdentifierAndBackToReading) {
    w.Address(0);
    Write(0x90);
    EXPECT_EQ(ReadAt(0), 0x89);
    EXPECT_EQ(ReadAt(1), 0xB4);
    Write(0x00);
    EXPECT_EQ(ReadAt(1), 0xFF);
    std::string note;
    DeviceRecord r;
    r.name = "M28F101";
    auto st = MakeBlankFlash(r, note);
    EXPECT_EQ(dynamic_cast<FlashChip&>(*st).MakerCode(), 0x20);
    EXPECT_EQ(dynamic_cast<FlashChip&>(*st).DeviceCode(), 0x07);
    r.name = "P28F020";
    EXPECT_EQ(dynamic_cast<FlashChip&>(*MakeBlankFlash(r, note)).Bytes(), 0x40000u);
}

TEST_F(SimFlashTest, ProgramPulseClearsBitsOnlyAndMustLastItsMinimum) {
    EXPECT_EQ(Program(0x1234, 0x5A), 0x5A);
    EXPECT_EQ(Program(0x1234, 0xF0), 0x50) << "a 0 never turns back into 1";
    // Program verify at once: the pulse lasted a few microseconds only.
    w.Address(0x2000);
    Write(0x40);
    Write(0x00);
    Write(0xC0);
    k.sleepMs(1);
    EXPECT_EQ(w.Fetch(DLREAD), 0xFF);
    // Program set-up, then FF FF: a reset that leaves the memory alone.
    w.Address(0x1234);
    Write(0x40);
    Write(0xFF);
    Write(0xFF);
    EXPECT_EQ(ReadAt(0x1234), 0x50);
    // The supplies going off end a pulse too.
    w.Address(0x3000);
    Write(0x40);
    Write(0x00);
    w.Volt(kRead);
    EXPECT_EQ(ReadAt(0x3000), 0xFF);
}

TEST_F(SimFlashTest, EraseTimeAddsUpAndFFAbortsTheSetUp) {
    for (uint32_t a = 0; a < chip->Bytes(); ++a) chip->SetCell(a, 0x00);
    Write(0x20);
    Write(0xFF);  // not the second 20: no erase
    k.sleepMs(10);
    EXPECT_EQ(EraseVerify(0), 0x00);
    EXPECT_EQ(chip->ErasePulses(), 0u);
    ErasePulse(5);
    EXPECT_EQ(EraseVerify(0), 0x00) << "half the erase time";
    ErasePulse(5);
    EXPECT_EQ(EraseVerify(0), 0xFF);
    EXPECT_EQ(EraseVerify(0x1FFFF), 0xFF);
    // The stop timer ends a pulse: a long wait is still one pulse.
    std::string error;
    ASSERT_TRUE(chip->ApplyFault("erase-pulses", "3", error));
    chip->SetCell(0x10, 0x00);
    ErasePulse(1000);
    EXPECT_EQ(EraseVerify(0x10), 0x00);
    EXPECT_FALSE(chip->OverErased()) << "one erase sequence: erased bytes may take further pulses";
}

TEST_F(SimFlashTest, EraseWithoutPreProgrammingOverErasesAColumn) {
    // Everything pre-programmed except 0x80 (one bit still erased).
    for (uint32_t a = 0; a < chip->Bytes(); ++a) chip->SetCell(a, a == 0x80 ? 0x01 : 0x00);
    ErasePulse();
    EXPECT_EQ(EraseVerify(0), 0xFF);
    EXPECT_TRUE(chip->OverErased());
    // The depleted cell leaks bit 0 on its bit line: bytes of the same
    // column (128 column addresses) cannot hold a 0 there any more.
    EXPECT_EQ(Program(0x80 + 128 * 5, 0x00), 0x01);
    EXPECT_EQ(Program(0x81, 0x00), 0x00) << "another column is sound";
    EXPECT_NE(chip->Describe().find("over-erased"), std::string::npos);
}

TEST_F(SimFlashTest, ChipFileKeepsCellsOverErasureAndAHalfDoneErase) {
    for (uint32_t a = 0; a < chip->Bytes(); ++a) chip->SetCell(a, a == 0x3 ? 0xFE : 0x00);
    ErasePulse();
    Program(0x40, 0x12);
    chip->SetCell(0x41, 0x00);
    ErasePulse(5);  // a new sequence: half the time, then the supplies go off
    w.Volt(kRead);
    ChipImage image;
    chip->Save(image);
    std::string error;
    auto loaded = MakeChipFromImage(image, error);
    ASSERT_TRUE(loaded) << error;
    auto& copy = dynamic_cast<FlashChip&>(*loaded);
    for (uint32_t a : {0x0u, 0x3u, 0x40u, 0x41u, 0x83u, 0x1FFFFu}) EXPECT_EQ(copy.Cell(a), chip->Cell(a)) << a;
    EXPECT_TRUE(copy.OverErased());
    EXPECT_EQ(copy.Cell(0x41), 0x00);
    // The other half of the erase finishes the byte in the copy as well.
    k.InsertChip(std::move(loaded));
    w.Cmd(DEVSET, 0x10);
    w.Volt(kProgram);
    ErasePulse(5);
    EXPECT_EQ(EraseVerify(0x41), 0xFF);
}

TEST_F(SimFlashTest, FaultsAndOverVoltage) {
    std::string error;
    EXPECT_FALSE(chip->ApplyFault("erase-pulses", "0", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(chip->ApplyFault("never-erases", "1", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(chip->ApplyFault("sdp-locked", "", error));
    EXPECT_TRUE(error.empty()) << "another chip's fault";
    ASSERT_TRUE(chip->ApplyFault("never-erases", "", error));
    chip->SetCell(0, 0x00);
    ErasePulse();
    EXPECT_EQ(EraseVerify(0), 0x00);

    w.Volt(0x6B);  // Vpp 16.1 V: beyond the absolute maximum of 14 V
    EXPECT_TRUE(chip->Damaged());
    EXPECT_TRUE(k.HasBreach(VirtualKrt::Breach::Supply));
}

}  // namespace
}  // namespace krt
