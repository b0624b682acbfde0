// SPDX-License-Identifier: GPL-3.0-or-later
// krt list and krt info on the shipped catalogue, through the command table.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "support/RecordingPort.h"

namespace krt {
namespace {

using test::Lines;

class CatalogueCommands : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterCatalogueCommands(table);
        RegisterSelftestCommands(table);
        auto collecting = std::make_unique<test::CollectingLog>();
        log = collecting.get();
        session.log = std::move(collecting);
        session.options.catalogue = std::string(KRT_SOURCE_DIR) + "/devices";
    }
    int Run(const std::string& name, const std::vector<std::string>& args) {
        auto it = std::find_if(table.begin(), table.end(),
                               [&](const CliCommand& c) { return name == c.name; });
        EXPECT_NE(it, table.end());
        return it->run(session, args);
    }
    bool Has(const std::string& line) {
        Lines lines = log->lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    std::vector<CliCommand> table;
    CliSession session;
    test::CollectingLog* log = nullptr;
};

TEST_F(CatalogueCommands, ListsTypesMakersAndDevicesInListOrder) {
    EXPECT_EQ(Run("list", {}), 0);
    EXPECT_EQ(log->lines(),
              (Lines{"EPROM", "OTPROM", "EEPROM", "SRAM", "FLASH", "SEEPROM", "GAL", "PIC", "FLASH5V"}));
    log->clear();
    EXPECT_EQ(Run("list", {"eprom"}), 0);
    EXPECT_EQ(log->lines(), (Lines{"Intel", "AMD", "Atmel", "ST", "Microchip", "TI", "Macronix", "Winbond", "SST",
                                   "Greenliant", "National", "Toshiba"}));
    log->clear();
    EXPECT_EQ(Run("list", {"gal", "LATTICE"}), 0);
    EXPECT_EQ(log->lines(), (Lines{"GAL16V8", "GAL20V8", "GAL22V10"}));
    log->clear();
    EXPECT_EQ(Run("list", {"NOSUCHTYPE"}), 1);
    EXPECT_TRUE(log->lines().empty());
    EXPECT_EQ(Run("list", {"a", "b", "c"}), 2);
}

TEST_F(CatalogueCommands, InfoShowsTheLoadMessageAndEveryField) {
    EXPECT_EQ(Run("info", {"GAL", "lattice", "gal22v10"}), 0);
    EXPECT_TRUE(Has("Device GAL22V10's parameter was loaded successfully."));
    EXPECT_TRUE(Has("maxsize: 0x001704 (5892)"));
    EXPECT_TRUE(Has("typecode: 0x07"));
    EXPECT_TRUE(Has("VppR: 12 V"));
    EXPECT_TRUE(Has("ASRBase: 5808"));
    EXPECT_TRUE(Has("waitmode: 4"));
    EXPECT_EQ(log->lines().size(), 1u + 1u + 41u);  // message, file, the record's fields
    EXPECT_EQ(session.record.name, "GAL22V10");
}

TEST_F(CatalogueCommands, InfoInJapaneseAndOnFailure) {
    session.options.language = 0;
    EXPECT_EQ(Run("info", {"PIC", "Microchip", "PIC16F84A"}), 0);
    EXPECT_TRUE(Has("デバイスPIC16F84Aのパラメータがロードされました。"));
    EXPECT_TRUE(Has("bufsize: 0x004280 (17024)"));
    log->clear();
    session.options.language = 1;
    EXPECT_EQ(Run("info", {"EPROM", "Intel", "99C999"}), 1);
    EXPECT_EQ(log->lines(),
              (Lines{"Device EPROM Intel 99C999 is not in the device list: choose a number from the list."}));
    EXPECT_EQ(Run("info", {"EPROM"}), 2);
}

TEST_F(CatalogueCommands, MissingCatalogueIsAnError) {
    session.options.catalogue = std::string(KRT_SOURCE_DIR) + "/no-such-directory";
    for (const auto& [language, text] : {std::pair{1u, "The file DEVICE.LST could not be opened"},
                                         std::pair{0u, "ファイルDEVICE.LSTのオープンに失敗しました"}}) {
        session.options.language = language;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(Run("list", {}), 2);
        EXPECT_EQ(Run("info", {"EPROM", "Intel", "27C256"}), 2);
        EXPECT_NE(::testing::internal::GetCapturedStderr().find(text), std::string::npos) << language;
    }
}

TEST_F(CatalogueCommands, SelftestPrintsOneLinePerDeviceAndTheSummary) {
    EXPECT_EQ(Run("selftest", {"gal", "lattice"}), 0);
    const Lines lines = log->lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("GAL Lattice GAL16V8: read/write proven (blank, write, verify, read, compare, erase, blank; "
                             "2194 words, ", 0), 0u) << lines[0];
    // Proven side by side, reported in the catalogue's order.
    EXPECT_EQ(lines[1].rfind("GAL Lattice GAL20V8: ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("GAL Lattice GAL22V10: ", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3], "3 devices: 3 read/write, 0 read-only, 0 failed");
    log->clear();
    // The Intel 2716 needs 25 V: proven read-only, which is no failure.
    EXPECT_EQ(Run("selftest", {"EPROM", "Intel", "2716"}), 0);
    EXPECT_EQ(test::Last(log->lines()), "1 devices: 0 read/write, 1 read-only, 0 failed");
    EXPECT_EQ(Run("selftest", {"EPROM", "Nobody"}), 1);
}

}  // namespace
}  // namespace krt
