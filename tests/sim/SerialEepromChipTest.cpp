// SPDX-License-Identifier: GPL-3.0-or-later
// The serial EEPROM bus slaves, driven pin by pin as their datasheets draw
// the waveforms: what the family's own sequences never show (page wrap,
// the dummy write, a write left without STOP, sequential reads, EWDS, ERAL
// and WRAL), the part facts by name, and the chip file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/DeviceRecord.h"
#include "sim/ChipFactory.h"
#include "sim/chips/SerialEepromChips.h"

namespace krt {
namespace {

// Drives a chip's pins through the socket wiring of its configuration.
struct Pins {
    Chip& chip;
    SocketState s;
    explicit Pins(Chip& c) : chip(c) {
        s.deviceConfig = c.SocketConfig();
        s.wiring = WiringFor(s.deviceConfig);
        s.address = 0x800000;  // C port bit 7: the programmer drives SDA
        s.outputPort = 0x01;   // the auxiliary output: the two-wire socket's supply
        chip.PinsChanged(s, kPinAll);
    }
    void Set(uint8_t bit, bool on) {
        s.dataLow = on ? uint8_t(s.dataLow | bit) : uint8_t(s.dataLow & ~bit);
        chip.PinsChanged(s, kPinDataLow);
    }
    void Release(bool released) {
        s.address = released ? 0 : 0x800000;
        chip.PinsChanged(s, kPinAddress);
    }
    void Wait(uint64_t ns) { s.nowNs += ns; }
};

// The two-wire master, bit by bit.
struct I2c : Pins {
    using Pins::Pins;
    static constexpr uint8_t kSda = 0x08, kScl = 0x10;
    void Start() { Set(kSda, true), Set(kScl, true), Set(kSda, false), Set(kScl, false); }
    void Stop() { Set(kSda, false), Set(kScl, true), Set(kSda, true); }
    bool Send(uint8_t b) {
        for (int i = 7; i >= 0; --i) Set(kSda, (b >> i) & 1), Set(kScl, true), Set(kScl, false);
        Release(true);
        Set(kScl, true);
        const bool ack = !chip.Output(Pin::SDA, s);
        Set(kScl, false);
        Release(false);
        return ack;
    }
    uint8_t Receive(bool ack) {
        Release(true);
        unsigned v = 0;
        for (int i = 0; i < 8; ++i) {
            Set(kScl, true);
            v = v << 1 | (chip.Output(Pin::SDA, s) ? 1 : 0);
            Set(kScl, false);
        }
        Release(false);
        Set(kSda, !ack), Set(kScl, true), Set(kScl, false);
        return static_cast<uint8_t>(v);
    }
    std::vector<uint8_t> ReadFrom(uint16_t a, size_t n) {
        Start();
        EXPECT_TRUE(Send(0xA0) && Send(static_cast<uint8_t>(a >> 8)) && Send(static_cast<uint8_t>(a)));
        Start();
        EXPECT_TRUE(Send(0xA1));
        std::vector<uint8_t> out;
        for (size_t i = 0; i < n; ++i) out.push_back(Receive(i + 1 < n));
        Stop();
        return out;
    }
};

TwoWireFacts Facts24(const char* name) {
    TwoWireFacts f;
    EXPECT_TRUE(LookUpTwoWirePart(name, f)) << name;
    return f;
}

TEST(SerialEepromChip, TwoWirePageWriteWrapsInsideItsPageAndStartsAtStop) {
    TwoWireEepromChip chip("AT24C32", Facts24("AT24C32"));
    I2c bus(chip);
    bus.Start();
    ASSERT_TRUE(bus.Send(0xA0) && bus.Send(0x00) && bus.Send(0x3E));
    for (uint8_t v : {0x11, 0x22, 0x33, 0x44}) ASSERT_TRUE(bus.Send(v));
    EXPECT_EQ(chip.Cell(0x3E), 0xFF) << "nothing before STOP";
    bus.Stop();
    EXPECT_EQ(chip.Cell(0x3E), 0x11);
    EXPECT_EQ(chip.Cell(0x3F), 0x22);
    EXPECT_EQ(chip.Cell(0x20), 0x33) << "wrapped to the start of the 32-byte page";
    EXPECT_EQ(chip.Cell(0x21), 0x44);
    EXPECT_EQ(chip.Cell(0x40), 0xFF);
    // Inside the write cycle nothing is acknowledged; afterwards the counter
    // stands after the last byte written.
    bus.Start();
    EXPECT_FALSE(bus.Send(0xA1));
    bus.Stop();
    bus.Wait(5 * kNsPerMs);
    chip.SetCell(0x22, 0x77);
    bus.Start();
    ASSERT_TRUE(bus.Send(0xA1));
    EXPECT_EQ(bus.Receive(false), 0x77);
    bus.Stop();
    EXPECT_EQ(chip.WriteCycles(), 1u);
}

TEST(SerialEepromChip, TwoWireDummyWriteSetsTheCounterOnlyAndReadsWrapAtTheEnd) {
    TwoWireEepromChip chip("24LC64", Facts24("24LC64"));
    chip.SetCell(0x1FFF, 0xAB);
    chip.SetCell(0x0000, 0xCD);
    I2c bus(chip);
    EXPECT_EQ(bus.ReadFrom(0x1FFF, 3), (std::vector<uint8_t>{0xAB, 0xCD, 0xFF}));
    EXPECT_EQ(chip.WriteCycles(), 0u) << "a repeated start is no write";
    // Address bits beyond the part are don't care; a wrong select is not answered.
    EXPECT_EQ(bus.ReadFrom(0xFFFF, 1), (std::vector<uint8_t>{0xAB}));
    bus.Start();
    EXPECT_FALSE(bus.Send(0xA2)) << "A0 pin is tied low";
    bus.Stop();
}

TEST(SerialEepromChip, TwoWireBlockBitsOfThe24C16AndTheWriteProtectPin) {
    TwoWireEepromChip chip("AT24C16", Facts24("AT24C16"));
    I2c bus(chip);
    bus.Start();
    ASSERT_TRUE(bus.Send(0xAE) && bus.Send(0x10) && bus.Send(0x5A));
    bus.Stop();
    EXPECT_EQ(chip.Cell(0x710), 0x5A);
    std::string error;
    ASSERT_TRUE(chip.ApplyFault("write-protect", "", error));
    bus.Wait(5 * kNsPerMs);
    bus.Start();
    EXPECT_TRUE(bus.Send(0xA0) && bus.Send(0x00) && bus.Send(0x00)) << "everything acknowledged";
    bus.Stop();
    EXPECT_EQ(chip.Cell(0), 0xFF);
    bus.Start();
    EXPECT_TRUE(bus.Send(0xA0)) << "and no write cycle";
    bus.Stop();
    EXPECT_FALSE(chip.ApplyFault("sdp-locked", "", error));
    EXPECT_TRUE(error.empty());
    EXPECT_FALSE(chip.ApplyFault("no-ack", "x", error));
    EXPECT_FALSE(error.empty());
}

// The three-wire master: DI then a rising SK, CS held high.
struct Microwire : Pins {
    using Pins::Pins;
    void Select(bool on) { Set(0x01, on), Set(0x02, false); }
    void Clock(bool bit) { Set(0x02, false), Set(0x04, bit), Set(0x02, true); }
    void Bits(uint32_t v, unsigned n) {
        while (n--) Clock((v >> n) & 1);
    }
    void Instruction(uint32_t v, unsigned n) {
        Select(true);
        Bits(v, n);
        Select(false);
    }
    bool Do() { return chip.Output(Pin::DO, s); }
};

TEST(SerialEepromChip, ThreeWireWritesOnlyWhenEnabledAndShowsReadyOnDo) {
    ThreeWireFacts f;
    ASSERT_TRUE(LookUpThreeWirePart("93C46", f));
    ThreeWireEepromChip chip("93C46", f);
    Microwire bus(chip);
    bus.Select(true), bus.Bits(0b101000011, 9), bus.Bits(0x1234, 16), bus.Select(false);
    EXPECT_EQ(chip.Word(3), 0xFFFF) << "powers up write-disabled";
    bus.Instruction(0b100110000, 9);  // EWEN
    bus.Select(true), bus.Bits(0b101000011, 9), bus.Bits(0x1234, 16), bus.Select(false);
    EXPECT_EQ(chip.Word(3), 0x1234);
    bus.Select(true);
    EXPECT_FALSE(bus.Do()) << "busy";
    bus.Wait(f.writeNs);
    EXPECT_TRUE(bus.Do()) << "ready";
    bus.Select(false);
    // Sequential READ from word 63: a dummy 0, word 63, then word 0.
    chip.SetWord(63, 0x8001);
    chip.SetWord(0, 0x7FFE);
    bus.Select(true);
    bus.Bits(0b110111111, 9);
    EXPECT_FALSE(bus.Do()) << "the dummy 0";
    uint32_t v = 0;
    for (int i = 0; i < 32; ++i) bus.Clock(false), v = v << 1 | (bus.Do() ? 1 : 0);
    bus.Select(false);
    EXPECT_EQ(v, 0x80017FFEu);
    // WRAL then ERAL; EWDS disables again.
    bus.Select(true), bus.Bits(0b100010000, 9), bus.Bits(0x0F0F, 16), bus.Select(false);
    EXPECT_EQ(chip.Word(17), 0x0F0F);
    bus.Wait(f.writeAllNs);
    bus.Instruction(0b100100000, 9);
    EXPECT_EQ(chip.Word(17), 0xFFFF);
    bus.Wait(f.eraseAllNs);
    bus.Instruction(0b100000000, 9);
    EXPECT_FALSE(chip.WriteEnabled());
}

// A power-down before the write cycle's end loses that write; after the
// cycle the data stays. The two-wire part is fed by the auxiliary output and
// answers nothing without it; the three-wire part comes back write-disabled.
TEST(SerialEepromChip, PowerDownCutsTheWriteCycleAndWriteEnable) {
    TwoWireEepromChip two("24C02", Facts24("24C02"));
    I2c bus(two);
    auto writeByte = [&](uint8_t a, uint8_t v) {
        bus.Start();
        ASSERT_TRUE(bus.Send(0xA0) && bus.Send(a) && bus.Send(v));
        bus.Stop();
    };
    auto aux = [&](bool on) {
        bus.s.outputPort = on ? 0x01 : 0x00;
        two.PinsChanged(bus.s, kPinOutputPort);
    };
    writeByte(0x10, 0x5A);
    bus.Wait(Facts24("24C02").writeNs - 1);
    aux(false);
    EXPECT_EQ(two.Cell(0x10), 0xFF) << "cut one nanosecond early";
    EXPECT_EQ(two.LostWrites(), 1u);
    bus.Start();
    EXPECT_FALSE(bus.Send(0xA0)) << "no supply, no acknowledge";
    bus.Stop();
    aux(true);
    writeByte(0x10, 0x5A);
    bus.Wait(Facts24("24C02").writeNs);
    aux(false);
    EXPECT_EQ(two.Cell(0x10), 0x5A);
    EXPECT_EQ(two.LostWrites(), 1u);

    ThreeWireFacts f;
    ASSERT_TRUE(LookUpThreeWirePart("93C46", f));
    ThreeWireEepromChip three("93C46", f);
    Microwire wire(three);
    auto power = [&](bool on) {
        wire.s.wiring = on ? WiringFor(three.SocketConfig()) : nullptr;
        three.PinsChanged(wire.s, kPinConfig);
    };
    wire.Instruction(0b100110000, 9);  // EWEN
    wire.Select(true), wire.Bits(0b101000011, 9), wire.Bits(0x1234, 16), wire.Select(false);
    wire.Wait(f.writeNs / 2);
    power(false);
    power(true);
    EXPECT_EQ(three.Word(3), 0xFFFF);
    EXPECT_EQ(three.LostWrites(), 1u);
    EXPECT_FALSE(three.WriteEnabled()) << "write enable does not survive a power cycle";
    wire.Select(true), wire.Bits(0b101000011, 9), wire.Bits(0x1234, 16), wire.Select(false);
    EXPECT_EQ(three.Word(3), 0xFFFF);
}

TEST(SerialEepromChip, PartFactsByNameAndTheChipFile) {
    EXPECT_EQ(Facts24("AT24C01").bytes, 128u);
    EXPECT_EQ(Facts24("24LC16B").page, 16u);
    EXPECT_EQ(Facts24("M24512").page, 128u);
    EXPECT_EQ(Facts24("M24C02").page, 16u);
    ThreeWireFacts f;
    ASSERT_TRUE(LookUpThreeWirePart("93LC56B", f));
    EXPECT_EQ(f.words, 128u);
    EXPECT_EQ(f.addressBits, 8u);

    DeviceRecord r;
    r.type = "SEEPROM";
    r.name = "93C66";
    r.maxsize = 0x100;
    r.typecode = 2;
    std::string note;
    auto chip = MakeBlankChip(r, note);
    ASSERT_TRUE(chip) << note;
    EXPECT_EQ(chip->SocketConfig(), 2);
    dynamic_cast<ThreeWireEepromChip&>(*chip).SetWord(0xFF, 0xBEEF);
    ChipImage image;
    chip->Save(image);
    std::string error;
    auto back = MakeChipFromImage(image, error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(dynamic_cast<ThreeWireEepromChip&>(*back).Word(0xFF), 0xBEEF);

    r.typecode = 1;
    EXPECT_FALSE(MakeBlankChip(r, note));
    EXPECT_NE(note.find("type code 01"), std::string::npos);
}

}  // namespace
}  // namespace krt
