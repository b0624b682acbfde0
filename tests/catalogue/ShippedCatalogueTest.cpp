// SPDX-License-Identifier: GPL-3.0-or-later
// Loads every entry of the catalogue that ships beside the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "support/RecordingPort.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/DeviceLoader.h"
#include "catalogue/FillDeviceRecord.h"
#include "catalogue/ParamFile.h"
#include "catalogue/TextLines.h"

namespace krt {
namespace {

const std::string kDir = std::string(KRT_SOURCE_DIR) + "/devices";

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

class Shipped : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(OpenCatalogue(kDir, &log, catalogue));
        ASSERT_TRUE(log.lines().empty()) << log.lines().front();
        ASSERT_GT(catalogue.list.count, 0);
    }
    test::CollectingLog log;
    Catalogue catalogue;
};

TEST_F(Shipped, EveryEntryLoadsWithNoEmptyField) {
    const DeviceList& list = catalogue.list;
    std::set<std::tuple<std::string, std::string, std::string>> seen;
    for (int32_t i = 0; i < list.count; ++i) {
        SCOPED_TRACE(list.types[i] + "," + list.makers[i] + "," + list.names[i]);
        EXPECT_TRUE(seen.insert({Upper(list.types[i]), Upper(list.makers[i]), Upper(list.names[i])}).second)
            << "duplicate triple";
        ASSERT_TRUE(std::filesystem::is_regular_file(ResolveCatalogueFile(catalogue.directory, list.files[i])));

        // Every key line of the section carries a value.
        std::string text;
        ASSERT_TRUE(ReadWholeFile(ResolveCatalogueFile(catalogue.directory, list.files[i]), text));
        // Every key line of the section carries a value, and the section is
        // the only one of its name in the file (a second would never be read).
        bool inSection = false;
        int sectionsOfName = 0;
        for (const std::string& line : SplitCatalogueLines(text)) {
            std::vector<std::string> tokens = ParamTokens(line);
            if (tokens.empty() || tokens[0][0] == '#') continue;
            if (EqualsNoCase(tokens[0], "device")) {
                inSection = tokens.size() > 1 && EqualsNoCase(tokens[1], list.names[i]);
                sectionsOfName += inSection ? 1 : 0;
                continue;
            }
            if (inSection) {
                EXPECT_EQ(tokens.size(), 2u) << "key without value: " << line;
            }
        }
        EXPECT_EQ(sectionsOfName, 1);

        ParamFile file(ResolveCatalogueFile(catalogue.directory, list.files[i]), list.names[i]);
        ASSERT_EQ(file.status(), 0u);
        for (const char* key : {"type", "manufacture", "name", "maxsize", "Vcc", "Vpp", "Vccp",
                                "tpw", "retry", "note", "algol"}) {
            std::string value;
            EXPECT_TRUE(file.FindValue(key, value)) << key;
            EXPECT_FALSE(value.empty()) << key;
        }

        DeviceRecord record;
        DeviceLoadResult r = LoadDeviceRecord(list, catalogue.directory, list.types[i],
                                              list.makers[i], list.names[i], 1, &log, record);
        ASSERT_TRUE(r.selected) << test::Last(log.lines());
        EXPECT_TRUE(EqualsNoCase(record.type, list.types[i]));
        EXPECT_EQ(record.name, list.names[i]);
        EXPECT_EQ(record.manufacture, list.makers[i]);
        EXPECT_GT(record.maxsize, 0u);
        EXPECT_EQ(record.bufsize, record.typecode == 4 ? 0x4280u : record.maxsize * record.bytesPerWord);
        EXPECT_GT(record.VccR, 0.0);
        EXPECT_GE(record.VppW, record.VccR);
        EXPECT_GT(record.tpw, 0.0);
        EXPECT_LE(record.tpw, 1.0);

        const uint8_t code = record.typecode;
        const std::string type = Upper(list.types[i]);
        const std::map<std::string, std::set<int>> codesOfType = {
            {"EPROM", {0, 0x18, 0x19}}, {"OTPROM", {0, 0x18}},  {"EEPROM", {0x12}}, {"FLASH", {0x10}},
            {"SEEPROM", {2, 3}},  {"PIC", {4}},     {"GAL", {5, 6, 7}}, {"FLASH5V", {0x12}},
            {"SRAM", {0x12}}};
        ASSERT_TRUE(codesOfType.count(type)) << "unknown type key";
        EXPECT_TRUE(codesOfType.at(type).count(code)) << "type code " << int(code);
        if (code == 2) {
            EXPECT_GT(record.addrlen, 0);
        }
        if (code == 3) {
            EXPECT_EQ(record.controlcode, 0xA0);
            EXPECT_EQ(record.retry, 1);  // one write each; a byte that does not read back is an error at once
            EXPECT_EQ(record.maxsize % record.pagesize, 0u);
        }
        if (code == 0x12) {
            EXPECT_EQ(record.maxsize % record.pagesize, 0u);
        }
        if (IsPldTypeCode(code)) {
            const int32_t array = record.LineNumber * record.ArrayLen;
            const int32_t architecture = code == 7 ? 20 : 82;
            // The ATF C parts end with their power-down fuse.
            const int32_t powerDown = record.galpart.size() > 0 && record.galpart.back() == 'C' ? 1 : 0;
            EXPECT_EQ(array + 64 + architecture + powerDown, static_cast<int32_t>(record.maxsize));
            EXPECT_EQ(record.SigBase, code == 7 ? array + 20 : array + 8);
            EXPECT_EQ(code == 7 ? record.ASRBase : record.ACWBase, array);
            EXPECT_GT(record.PinNumber, 0);
        }
    }
}

TEST_F(Shipped, ListsTheChipsOfEveryFamily) {
    const DeviceList& list = catalogue.list;
    auto listed = [&](const char* type, const char* name) {
        for (int32_t i = 0; i < list.count; ++i)
            if (EqualsNoCase(list.types[i], type) &&
                (EqualsNoCase(list.names[i], name) || EqualsNoCase(list.names[i], std::string("AT") + name) ||
                 EqualsNoCase(list.names[i], std::string("P") + name)))
                return true;
        return false;
    };
    for (const char* n : {"2716", "2732", "2764", "27128", "27C256", "27C512", "27C010", "27C020",
                          "27C040", "27C1024"})
        EXPECT_TRUE(listed("EPROM", n)) << n;
    EXPECT_FALSE(list.NamesOf("OTPROM", list.MakersOf("OTPROM").at(0)).empty());
    for (const char* n : {"28C16", "28C64", "28C256"}) EXPECT_TRUE(listed("EEPROM", n)) << n;
    for (const char* n : {"28F010", "28F020", "M28F101"}) EXPECT_TRUE(listed("FLASH", n)) << n;
    for (const char* n : {"24C01", "24C02", "24C04", "24C08", "24C16", "24C32", "24C64", "24C128",
                          "24C256", "24C512", "93C46", "93C56", "93C66"})
        EXPECT_TRUE(listed("SEEPROM", n)) << n;
    for (const char* n : {"GAL16V8", "GAL20V8", "GAL22V10"}) EXPECT_TRUE(listed("GAL", n)) << n;
    for (const char* n : {"PIC16C84", "PIC16F84", "PIC16F84A"}) EXPECT_TRUE(listed("PIC", n)) << n;
}

// Every 5 V flash entry carries its product ID, and no two share a pair:
// device code A4h alone is AMD's, Atmel's and Macronix's. Only a part and
// its "N" twin (the same die without RESET# on pin 1) answer alike.
TEST_F(Shipped, FiveVoltFlashIdentitiesAreUniquePairs) {
    const DeviceList& list = catalogue.list;
    auto nTwins = [](const std::string& a, const std::string& b) {
        for (size_t i = 0; i < b.size(); ++i)
            if (b[i] == 'N' && b.substr(0, i) + b.substr(i + 1) == a) return true;
        return false;
    };
    std::map<int32_t, std::string> byId;
    for (int32_t i = 0; i < list.count; ++i) {
        if (!EqualsNoCase(list.types[i], "FLASH5V")) continue;
        DeviceRecord record;
        ASSERT_TRUE(LoadDeviceRecord(list, catalogue.directory, list.types[i], list.makers[i], list.names[i], 1, &log,
                                     record)
                        .selected);
        ASSERT_GE(record.chipid, 0) << list.names[i];
        const auto [at, first] = byId.emplace(record.chipid, list.names[i]);
        EXPECT_TRUE(first || nTwins(at->second, list.names[i]) || nTwins(list.names[i], at->second))
            << list.names[i] << " shares its ID with " << at->second;
    }
    EXPECT_EQ(byId[0x01A4], "AM29F040B");
    EXPECT_EQ(byId[0x1FA4], "AT29C040A");
    EXPECT_EQ(byId[0xC2A4], "MX29F040");
}

TEST_F(Shipped, GalLayoutsMatchTheJedecFuseCounts) {
    const std::pair<const char*, uint32_t> expected[] = {
        {"GAL16V8", 2194}, {"GAL20V8", 2706}, {"GAL22V10", 5892}};
    for (auto [name, fuses] : expected) {
        DeviceRecord record;
        ASSERT_TRUE(LoadDeviceRecord(catalogue.list, catalogue.directory, "GAL", "Lattice", name, 1,
                                     &log, record).selected);
        EXPECT_EQ(record.maxsize, fuses) << name;
        EXPECT_DOUBLE_EQ(record.VppR, 12.0);
    }
}

}  // namespace
}  // namespace krt
