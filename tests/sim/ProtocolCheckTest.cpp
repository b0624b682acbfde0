// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated programmer's protocol check and socket wiring, driven from
// the wire side with deliberately wrong host sequences.
#include <gtest/gtest.h>

#include <memory>

#include "SimWire.h"
#include "sim/chips/EpromChip.h"

namespace krt::simtest {
namespace {

std::unique_ptr<EpromChip> Eprom27C256() {
    EpromElectrical facts;
    LookUpEpromPart("27C256", facts);
    return std::make_unique<EpromChip>("27C256", 0x8000, false, false, facts);
}

TEST(ProtocolCheck, TheSequencesOfTheProtocolAreNoBreach) {
    VirtualKrt k;
    k.InsertChip(Eprom27C256());
    Wire w(k);
    w.Cmd(DEVSET, 0x00);
    w.Cmd(DLREAD);  // KRT2's revision
    w.WaitReady();
    w.Reply();
    w.Address(0x10);
    EXPECT_EQ(w.Fetch(DLREAD), 0xFF);
    w.Cmd(TIMLOSET, 100);
    w.Cmd(DLSEND, 0x55);
    w.WaitReady();
    w.Cmd(INC);
    EXPECT_FALSE(k.HasBreaches());
    EXPECT_TRUE(k.BreachLines().empty());
}

TEST(ProtocolCheck, ReplyReadWithoutWaitingForTheFetch) {
    VirtualKrt k;
    k.InsertChip(Eprom27C256());
    Wire w(k);
    w.Address(0);
    for (int i = 0; i < 3; ++i) {
        w.Cmd(DLREAD);
        w.Reply();  // no wait for ready
    }
    EXPECT_TRUE(k.HasBreach(VirtualKrt::Breach::ReplyBeforeReady));
    EXPECT_EQ(k.BreachLines().size(), 1u) << "each kind is reported once";
    k.ClearBreaches();
    EXPECT_FALSE(k.HasBreaches());
}

TEST(ProtocolCheck, FrameDuringAWritePulseOrTimer) {
    VirtualKrt k;
    k.InsertChip(Eprom27C256());
    Wire w(k);
    w.Cmd(TIMLOSET, 200);  // 50 us at 4 MHz
    w.Cmd(DLSEND, 0x00);
    w.Cmd(INC);  // while the pulse still runs
    ASSERT_TRUE(k.HasBreach(VirtualKrt::Breach::FrameWhileBusy));
    EXPECT_NE(k.BreachLines()[0].find("write pulse"), std::string::npos);

    VirtualKrt t;
    Wire tw(t);
    tw.Cmd(TIMLOSET, 200);
    tw.Cmd(WAITTIM);
    tw.Cmd(NOP);
    EXPECT_NE(t.BreachLines().at(0).find("timer"), std::string::npos);
}

TEST(ProtocolCheck, WriteStrobeInAnotherConfigurationNeverReachesTheChip) {
    VirtualKrt k;
    k.SetRevisions(0x10, 0x10);
    k.InsertChip(Eprom27C256());
    auto* chip = static_cast<EpromChip*>(k.SocketChip());
    Wire w(k);
    w.Cmd(VOLTSET, 0x08);  // programming levels: Vpp 12.5 V, Vcc 6.25 V
    w.Cmd(DEVSET, 0x03);   // the two-wire socket
    w.Address(0x20);
    w.Fetch(DLREAD);      // reading in another configuration is harmless
    EXPECT_FALSE(k.HasBreaches());
    w.Cmd(TIMHISET, 0x04);  // 100 x 16 clocks: 400 us
    w.Cmd(TIMLOSET, 100);
    w.Cmd(DLSEND, 0x00);
    w.WaitReady();
    EXPECT_TRUE(k.HasBreach(VirtualKrt::Breach::OtherConfig));
    EXPECT_EQ(chip->Cell(0x20) & 0xFF, 0xFF);
    w.Cmd(DEVSET, 0x00);  // the same pulse in the chip's own configuration programs it
    w.Cmd(DLSEND, 0x00);
    w.WaitReady();
    EXPECT_EQ(chip->Cell(0x20) & 0xFF, 0x00);
    EXPECT_NE(k.BreachLines()[0].find("DEVSET held 03"), std::string::npos) << k.BreachLines()[0];
}

TEST(ProtocolCheck, SupplyAboveTheChipsAbsoluteMaximum) {
    VirtualKrt k;
    k.SetRevisions(0x10, 0x10);  // fixed supply levels
    k.InsertChip(Eprom27C256());
    Wire w(k);
    w.Cmd(VOLTSET, 0x08 | 0x00 | 0x60);  // Vpp 12.5 V, Vcc 5 V
    EXPECT_FALSE(k.HasBreaches());
    w.Cmd(VOLTSET, 0x08 | 0x03 | 0x60);  // Vpp 16.1 V
    EXPECT_TRUE(k.HasBreach(VirtualKrt::Breach::Supply));
}

// Vpp more than 1 V above a Vcc below the chip's operating minimum (4.5 V
// for the 27C256) is a breach, whichever way the register gets there; the
// same supplies in the safe order, or arriving together, are none.
TEST(ProtocolCheck, VppOnAnUnpoweredChipIsABreach) {
    struct Case {
        const char* what;
        void (*drive)(Wire&);
        bool breach;
    };
    const Case cases[] = {
        {"DAC: Vpp loaded with the outputs open while Vcc is 0 (the power-up as it was)",
         [](Wire& w) {
             w.Volt(0x20);
             w.Volt(0x28);
             w.DacWord(0, 125);  // 12.70 V
             w.DacWord(2, 213);  // 6.25 V, too late
         },
         true},
        {"DAC: Vcc taken to 0 while Vpp stays on (the power-down as it was)",
         [](Wire& w) {
             w.DacWord(2, 213);
             w.Volt(0x28);
             w.DacWord(0, 125);
             w.DacWord(2, 0);
             w.Volt(0x20);
         },
         true},
        {"DAC: Vcc first, then Vpp; Vpp off first, then Vcc",
         [](Wire& w) {
             w.Volt(0x20);
             w.DacWord(2, 213);
             w.Volt(0x28);
             w.DacWord(0, 125);
             w.Volt(0x20);
             w.DacWord(2, 0);
         },
         false},
        {"DAC: both loaded behind the gate, switched on and off together",
         [](Wire& w) {
             w.Volt(0x2C);
             w.DacWord(0, 125);
             w.DacWord(2, 213);
             w.Volt(0x28);
             w.Volt(0x2C);
             w.DacWord(2, 0);
         },
         false},
    };
    for (const Case& c : cases) {
        VirtualKrt k;
        k.InsertChip(Eprom27C256());
        Wire w(k);
        c.drive(w);
        EXPECT_EQ(k.HasBreach(VirtualKrt::Breach::SupplyOrder), c.breach) << c.what;
        EXPECT_EQ(k.BreachLines().size(), c.breach ? 1u : 0u) << c.what;
    }
    // The line names the voltages, the chip and its minimum.
    VirtualKrt k;
    k.InsertChip(Eprom27C256());
    Wire w(k);
    cases[0].drive(w);
    EXPECT_NE(k.BreachLines().at(0).find("Vpp 6.25 V reached the EPROM 27C256 (32768 x 8 bits) while its Vcc was "
                                         "0.00 V, below its operating minimum of 4.50 V"),
              std::string::npos)
        << k.BreachLines()[0];
}

TEST(ProtocolCheck, FixedLevelsAreCheckedAgainstTheirRegister) {
    struct Case { uint8_t reg; bool breach; };
    // 0x88: Vpp 12.5 V with Vcc 3.3 V; 0x08: 12.5 / 6.25 V; 0x68: 12.5 / 5 V;
    // 0x8C: the same as 0x88 gated off; 0x80: Vpp off.
    for (const Case& c : {Case{0x88, true}, Case{0x08, false}, Case{0x68, false}, Case{0x8C, false},
                          Case{0x80, false}}) {
        VirtualKrt k;
        k.SetRevisions(0x10, 0x10);
        k.InsertChip(Eprom27C256());
        Wire w(k);
        w.Cmd(VOLTSET, c.reg);
        EXPECT_EQ(k.HasBreach(VirtualKrt::Breach::SupplyOrder), c.breach) << int(c.reg);
    }
}

// A two-wire slave that holds SDA low while it is selected: shows what the
// wiring table gives a chip and what the programmer reads back.
class SdaHolder : public Chip {
public:
    SdaHolder() : Chip("holder") { SetSocketConfig(0x03); }
    const char* Kind() const override { return "TEST"; }
    void PinsChanged(const SocketState& s, uint32_t) override {
        scl = s.Level(Pin::SCL);
        sdaFromHost = s.Level(Pin::SDA);
    }
    bool Output(Pin pin, const SocketState&) override { return pin != Pin::SDA || !pullLow; }
    void Save(ChipImage&) const override {}
    bool Load(const ChipImage&, std::string&) override { return true; }
    bool scl = false, sdaFromHost = false, pullLow = true;
};

TEST(SocketWiring, NamedPinsFollowTheConfigurationAndTheSharedLine) {
    VirtualKrt k;
    k.InsertChip(std::make_unique<SdaHolder>());
    auto* chip = static_cast<SdaHolder*>(k.SocketChip());
    Wire w(k);
    w.Cmd(DEVSET, 0x03);
    w.Cmd(CSET, 0x80);
    w.Cmd(DLSET, 0x18);  // SDA 1, SCL 1
    EXPECT_TRUE(chip->scl);
    EXPECT_TRUE(chip->sdaFromHost);
    EXPECT_EQ(w.Fetch(DLREAD) & 0x08, 0) << "open drain: the chip pulls the driven line low";
    chip->pullLow = false;
    EXPECT_EQ(w.Fetch(DLREAD) & 0x08, 0x08);
    w.Cmd(CSET, 0x00);   // the chip drives SDA
    w.Cmd(DLSET, 0x10);  // the programmer's SDA bit is 0 but not driven
    EXPECT_TRUE(chip->sdaFromHost) << "released line reads high";
    chip->pullLow = true;
    EXPECT_EQ(w.Fetch(DLREAD) & 0x08, 0);

    w.Cmd(DEVSET, 0x02);  // another configuration: the chip is not wired as it expects
    EXPECT_FALSE(chip->scl);
    EXPECT_EQ(w.Fetch(DLREAD) & 0x08, 0x08) << "a disconnected chip does not answer";
}

}  // namespace
}  // namespace krt::simtest
