// SPDX-License-Identifier: GPL-3.0-or-later
// The GAL edit-mode model at its pins: the register between SDIN and
// SDOUT, what a program strobe needs (edit mode, the Vpp window, the pulse
// time), the erase rows, the faults by name and the chip file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "catalogue/DeviceRecord.h"
#include "sim/ChipFactory.h"
#include "sim/ChipFile.h"
#include "sim/chips/GalChip.h"

namespace krt {
namespace {

constexpr uint64_t kPulse = 40'000'000;

// Drives a 16V8's pins as configuration 05 wires them (port word bits).
struct Pins16 {
    GalChip chip{"GAL16V8", *GalPartForConfig(5)};
    SocketState s;
    uint16_t word = 0;
    Pins16() {
        s.wiring = WiringFor(5);
        s.vcc = 5.0;
        s.vpp = 12.0;
        Apply();
    }
    void Apply() {
        s.dataLow = static_cast<uint8_t>(word);
        s.dataHigh = static_cast<uint8_t>(word >> 8);
        chip.PinsChanged(s, kPinDataLow | kPinDataHigh);
    }
    void Row(int r) {
        static constexpr uint16_t kRa[6] = {0x0800, 0x0040, 0x0020, 0x0010, 0x0008, 0x0004};
        word &= static_cast<uint16_t>(~0x087C);
        for (int b = 0; b < 6; ++b)
            if (r & (1 << b)) word |= kRa[b];
        Apply();
    }
    void Pv(bool on) {
        word = static_cast<uint16_t>(on ? word | 0x0400 : word & ~0x0400);
        Apply();
    }
    void Clock(int bit) {
        word = static_cast<uint16_t>((word & ~3) | (bit ? 1 : 0));
        Apply();
        word |= 2;
        Apply();
        word &= static_cast<uint16_t>(~2);
        Apply();
    }
    bool Out() { return chip.Output(Pin::SDOUT, s); }
    std::vector<int> ReadRow(int r, int n) {
        Row(r);
        Pv(false);
        chip.Strobe(s, 3000);
        std::vector<int> bits;
        for (int i = 0; i < n; ++i) {
            bits.push_back(Out());
            Clock(0);
        }
        return bits;
    }
    void ProgramRow(int r, const std::vector<int>& bits, uint64_t pulse = kPulse, double vpp = 14.5) {
        Row(r);
        Pv(true);
        for (int b : bits) Clock(b);
        s.vpp = vpp;
        chip.Strobe(s, pulse);
        s.vpp = 12.0;
        Pv(false);
    }
};

std::vector<int> Alternating(int n) {
    std::vector<int> v;
    for (int i = 0; i < n; ++i) v.push_back(i % 3 == 0 ? 0 : 1);
    return v;
}

TEST(GalChip, ProgramsOnlyInsideTheWindowAndOnlyClearsCells) {
    Pins16 p;
    const auto data = Alternating(64);
    p.ProgramRow(7, data, kPulse / 2);   // too short
    p.ProgramRow(7, data, kPulse, 12.5);  // below the window
    p.ProgramRow(7, data, kPulse, 16.0);  // above it
    EXPECT_EQ(p.ReadRow(7, 64), std::vector<int>(64, 1));
    p.ProgramRow(7, data);
    EXPECT_EQ(p.ReadRow(7, 64), data);
    p.ProgramRow(7, std::vector<int>(64, 1));  // ones program nothing
    EXPECT_EQ(p.ReadRow(7, 64), data);
    EXPECT_EQ(p.chip.ArrayBit(7, 0), 0);
    EXPECT_EQ(p.chip.ArrayBit(6, 0), 1);

    // Without the edit voltage the pins are logic pins: nothing loads.
    p.s.vpp = 5.0;
    p.Apply();
    p.chip.Strobe(p.s, 3000);
    EXPECT_TRUE(p.Out());
}

TEST(GalChip, FixedRowsSecurityAndTheTwoErases) {
    Pins16 p;
    p.ProgramRow(3, std::vector<int>(64, 0));
    p.ProgramRow(60, std::vector<int>(82, 0));
    p.ProgramRow(61, {0});  // a 0 clocked in does not set the cell
    EXPECT_FALSE(p.chip.Secured());
    p.ProgramRow(61, {1});
    EXPECT_TRUE(p.chip.Secured());
    EXPECT_EQ(p.ReadRow(4, 64), std::vector<int>(64, 0));  // erased, but blocked
    EXPECT_EQ(p.ReadRow(60, 82), std::vector<int>(82, 0));
    EXPECT_EQ(p.ReadRow(32, 64), std::vector<int>(64, 1));  // the signature stays readable
    // The PES stays readable and cannot be programmed.
    const auto pes = p.ReadRow(58, 64);
    p.ProgramRow(58, std::vector<int>(64, 0));
    EXPECT_EQ(p.ReadRow(58, 64), pes);
    EXPECT_EQ(pes[24], 1);  // maker byte A1: bit 0 set

    p.ProgramRow(63, {1});
    EXPECT_FALSE(p.chip.Secured());
    EXPECT_EQ(p.ReadRow(3, 64), std::vector<int>(64, 1));
    EXPECT_EQ(p.ReadRow(60, 82), std::vector<int>(82, 1));
    EXPECT_EQ(p.ReadRow(58, 64), pes);
    p.ProgramRow(62, {1});  // erase-all clears the PES too
    EXPECT_EQ(p.ReadRow(58, 64), std::vector<int>(64, 0));
}

TEST(GalChip, FaultsByName) {
    GalChip chip("GAL22V10", *GalPartForConfig(7));
    std::string error;
    EXPECT_FALSE(chip.ApplyFault("sdp-locked", "", error));
    EXPECT_TRUE(error.empty());
    for (const char* bad : {"", "64", "1,", "x", "3@0", "3@256", "3@"}) {
        EXPECT_FALSE(chip.ApplyFault("weak-rows", bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_TRUE(chip.ApplyFault("weak-rows", "0,43@3", error)) << error;
    EXPECT_FALSE(chip.ApplyFault("secured", "1", error));
    EXPECT_TRUE(chip.ApplyFault("secured", "", error));
    EXPECT_TRUE(chip.Secured());
    EXPECT_TRUE(chip.ApplyFault("wrong-vpp", "", error));
    EXPECT_GT(chip.ProgVppMin(), 15.0);
}

TEST(GalChip, ChipFileKeepsCellsSignatureAndSecurity) {
    const std::string path = std::string(KRT_BINARY_DIR) + "/sim-gal-" + std::to_string(::getpid()) + ".krtchip";
    Pins16 p;
    p.ProgramRow(5, Alternating(64));
    p.ProgramRow(32, std::vector<int>(64, 0));
    p.ProgramRow(61, {1});
    std::string error;
    ASSERT_TRUE(SaveChipFile(path, p.chip, error)) << error;
    std::unique_ptr<Chip> loaded;
    ASSERT_TRUE(LoadChipFile(path, loaded, error)) << error;
    std::remove(path.c_str());
    auto* gal = dynamic_cast<GalChip*>(loaded.get());
    ASSERT_NE(gal, nullptr);
    EXPECT_EQ(gal->SocketConfig(), 5);
    EXPECT_TRUE(gal->Secured());
    EXPECT_EQ(gal->Ues(), std::vector<uint8_t>(64, 0));
    for (int c = 0; c < 64; ++c) EXPECT_EQ(gal->ArrayBit(5, c), c % 3 == 0 ? 0 : 1) << c;
    EXPECT_EQ(gal->Pes(), p.chip.Pes());
}

TEST(GalChip, BlankChipsForTheThreeConfigurations) {
    DeviceRecord r;
    r.type = "GAL";
    for (uint8_t code : {5, 6, 7}) {
        r.typecode = code;
        r.name = "X";
        std::string note;
        auto chip = MakeBlankChip(r, note);
        ASSERT_NE(chip, nullptr) << note;
        EXPECT_EQ(chip->SocketConfig(), code);
        EXPECT_STREQ(chip->Kind(), "GAL");
    }
    r.typecode = 8;
    std::string note;
    EXPECT_EQ(MakeBlankChip(r, note), nullptr);
    EXPECT_NE(note.find("08"), std::string::npos);
}

}  // namespace
}  // namespace krt
