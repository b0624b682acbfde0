// SPDX-License-Identifier: GPL-3.0-or-later
// Parts sold or salvaged today, through krt on the simulated programmer in
// strict mode: krt identify names the 5 V flash ones (the parts with RESET#
// on pin 1 too), the erase of an electrically erasable EPROM is refused
// with nothing applied, and krt list --find takes the number printed on a
// chip.
#include <fstream>

#include "support/CliCommandTest.h"

namespace krt::test {
namespace {

class TodayParts : public CliCommandTest {
protected:
    TodayParts() : CliCommandTest("krt-today") {}
    void SetUp() override {
        CliCommandTest::SetUp();
        RegisterIdentifyCommands(table);
        RegisterCatalogueCommands(table);
    }
    CliSession& Strict(const std::string& chip) {
        CliSession& s = NewSession(chip);
        s.options.simStrict = true;
        return s;
    }
};

TEST_F(TodayParts, IdentifyNamesTheNewFlashParts) {
    struct Case {
        const char* maker;
        const char* name;
        const char* line;
    };
    const Case cases[] = {
        {"SST", "SST39SF512", "BF B4: FLASH5V SST SST39SF512"},
        {"Winbond", "W29EE512", "DA C8: FLASH5V Winbond W29EE512"},
        {"ST", "M29F040B", "20 E2: FLASH5V ST M29F040B"},
        {"Atmel", "AT49F020", "1F 0B: FLASH5V Atmel AT49F020"},
        // RESET# on pin 1: found by the second probe, with pin 1 high.
        {"AMD", "AM29F002BT", "01 B0: FLASH5V AMD AM29F002BT, FLASH5V AMD AM29F002NBT"},
        {"Atmel", "AT49F001", "1F 05: FLASH5V Atmel AT49F001, FLASH5V Atmel AT49F001N"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string chip = std::string(c.name) + ".chip";
        Strict(chip);
        ASSERT_EQ(Execute("blank", {"FLASH5V", c.maker, c.name}), 0);
        Strict(chip);
        EXPECT_EQ(Execute("identify", {}), 0);
        EXPECT_TRUE(Has(c.line));
        EXPECT_FALSE(Sim() && Sim()->HasBreaches());
    }
}

TEST_F(TodayParts, EraseOfAnElectricallyErasableEpromIsRefusedWithNothingApplied) {
    const std::vector<std::string> part = {"EPROM", "Winbond", "W27C512"};
    std::ofstream(Path("in.bin"), std::ios::binary) << std::string(0x400, '\x5A');
    Strict("w.chip");
    ASSERT_EQ(Execute("write", With(part, Path("in.bin"))), 0);
    Strict("w.chip");
    EXPECT_EQ(Execute("erase", part), RESULT_UNSUPPORTED);
    EXPECT_TRUE(Has("W27C512 cannot be erased by this KRT: its erase needs 14.0 V on A9 as well as on its Vpp pin, "
                    "and this KRT cannot put a high voltage on A9 (nothing was applied). Erase it in a programmer "
                    "that drives A9 to 14.0 V; a chip that passes the blank check can be written as it is. It has "
                    "no window: UV light does not erase it."));
    EXPECT_TRUE(!Sim() || Sim()->SupplySteps().empty());
    Strict("w.chip");
    EXPECT_EQ(Execute("verify", With(part, Path("in.bin"))), 0);  // the chip holds what it held
}

TEST_F(TodayParts, FindTakesThePrintedNumber) {
    for (const auto& [typed, use] : {std::pair{"W27C512-45Z", "EPROM Winbond W27C512"},
                                     std::pair{"AT28C256-15PU", "EEPROM Atmel AT28C256"},
                                     std::pair{"SST39SF010A-70-4C-PHE", "FLASH5V SST SST39SF010A"}}) {
        SCOPED_TRACE(typed);
        CliSession& s = NewSession("");
        s.options.find = typed;
        s.options.findGiven = true;
        EXPECT_EQ(Execute("list", {}), 0);
        EXPECT_TRUE(Has(use));
        EXPECT_TRUE(HasLineWith(std::string(": use ") + use));
    }
}

}  // namespace
}  // namespace krt::test
