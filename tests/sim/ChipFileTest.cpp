// SPDX-License-Identifier: GPL-3.0-or-later
// Chip files and the chip factory: round trips, refusal of another device,
// creation when missing, damaged and foreign files.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "catalogue/DeviceRecord.h"
#include "sim/ChipFactory.h"
#include "sim/ChipFile.h"
#include "sim/chips/EpromChip.h"

namespace krt {
namespace {

DeviceRecord Record(const char* type, const char* name, uint32_t maxsize, uint8_t typecode = 0) {
    DeviceRecord r;
    r.type = type;
    r.name = name;
    r.maxsize = maxsize;
    r.typecode = typecode;
    r.VppW = 12.75;
    r.VccW = 6.25;
    r.tpw = 100e-6;
    return r;
}

class SimChipFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = std::string(KRT_BINARY_DIR) + "/sim-chipfile-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".krtchip";
        std::remove(path.c_str());
    }
    void TearDown() override { std::remove(path.c_str()); }
    std::string Contents() {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void Overwrite(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    std::string path;
};

TEST(SimChipFactory, KindsAndWidthsFromTheRecord) {
    std::string note;
    auto c = MakeBlankChip(Record("EPROM", "27C256", 0x8000), note);
    ASSERT_TRUE(c);
    auto* e = dynamic_cast<EpromChip*>(c.get());
    ASSERT_TRUE(e);
    EXPECT_FALSE(e->Wide());
    EXPECT_EQ(e->Words(), 0x8000u);
    EXPECT_EQ(e->Cell(0x7FFF), 0xFFFF);
    c = MakeBlankChip(Record("eprom", "27C1024", 0x10000, 0x18), note);
    ASSERT_TRUE(c);
    EXPECT_TRUE(dynamic_cast<EpromChip*>(c.get())->Wide());
    c = MakeBlankChip(Record("OTPROM", "27C512", 0x10000), note);
    ASSERT_TRUE(c);
    EXPECT_STREQ(c->Kind(), "OTPROM");
    c = MakeBlankChip(Record("EPROM", "27C800", 16u << 20, 0x1B), note);
    ASSERT_TRUE(c);
    EXPECT_EQ(dynamic_cast<EpromChip*>(c.get())->Words(), 16u << 20);

    c = MakeBlankChip(Record("EEPROM", "28C64", 0x2000, 0x12), note);
    ASSERT_TRUE(c);
    EXPECT_STREQ(c->Kind(), "EEPROM");
    EXPECT_EQ(c->SocketConfig(), 0x12);
    c = MakeBlankChip(Record("MASKROM", "23C256", 0x8000, 0x00), note);  // a type no model serves
    EXPECT_FALSE(c);
    EXPECT_NE(note.find("MASKROM"), std::string::npos) << note;
    EXPECT_NE(note.find("empty"), std::string::npos) << note;
    EXPECT_FALSE(MakeBlankChip(Record("EPROM", "nothing", 0), note));
    EXPECT_FALSE(MakeBlankChip(Record("EPROM", "huge", (16u << 20) + 1), note));
}

TEST_F(SimChipFileTest, RoundTripKeepsKindNameContentsAndDamage) {
    EpromElectrical facts;
    facts.progVppMin = 12.25;
    EpromChip chip("27C1024", 0x10000, true, false, facts);
    chip.SetCell(0, 0x1234);
    chip.SetCell(0xFFFF, 0x00A5);
    std::string error;
    ASSERT_TRUE(SaveChipFile(path, chip, error)) << error;
    const std::string text = Contents();
    EXPECT_EQ(text.rfind("KRTSIM-CHIP\nversion 1\nkind EPROM\ndevice 27C1024\n", 0), 0u);

    std::unique_ptr<Chip> loaded;
    ASSERT_TRUE(LoadChipFile(path, loaded, error)) << error;
    auto* e = dynamic_cast<EpromChip*>(loaded.get());
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->Wide());
    EXPECT_EQ(e->Cell(0), 0x1234);
    EXPECT_EQ(e->Cell(0xFFFF), 0x00A5);
    EXPECT_EQ(e->Cell(1), 0xFFFF);
    EXPECT_DOUBLE_EQ(e->Electrical().progVppMin, 12.25);
    EXPECT_FALSE(e->Changed());
    EXPECT_FALSE(e->Damaged());

    SocketState over;
    over.vpp = 20.0;
    e->PinsChanged(over, kPinSupply);
    ASSERT_TRUE(SaveChipFile(path, *e, error)) << error;
    ASSERT_TRUE(LoadChipFile(path, loaded, error)) << error;
    EXPECT_TRUE(loaded->Damaged());
}

TEST_F(SimChipFileTest, CreatedBlankWhenMissingThenReusedForTheSameDevice) {
    const DeviceRecord r = Record("EPROM", "27C256", 0x8000);
    std::unique_ptr<Chip> chip;
    std::string error;
    ASSERT_TRUE(LoadOrCreateChipFile(path, r, chip, error)) << error;
    ASSERT_TRUE(ChipFileExists(path));
    dynamic_cast<EpromChip&>(*chip).SetCell(7, 0x77);
    ASSERT_TRUE(SaveChipFile(path, *chip, error));
    DeviceRecord other_case = r;
    other_case.name = "27c256";
    ASSERT_TRUE(LoadOrCreateChipFile(path, other_case, chip, error)) << error;
    EXPECT_EQ(dynamic_cast<EpromChip&>(*chip).Cell(7), 0xFF77);
}

TEST_F(SimChipFileTest, AnotherDeviceIsRefusedNamingBoth) {
    std::unique_ptr<Chip> chip;
    std::string error;
    ASSERT_TRUE(LoadOrCreateChipFile(path, Record("EPROM", "27C256", 0x8000), chip, error));
    EXPECT_FALSE(LoadOrCreateChipFile(path, Record("EPROM", "27C512", 0x10000), chip, error));
    EXPECT_NE(error.find("27C256"), std::string::npos) << error;
    EXPECT_NE(error.find("27C512"), std::string::npos) << error;
    EXPECT_FALSE(LoadOrCreateChipFile(path, Record("OTPROM", "27C256", 0x8000), chip, error));
    EXPECT_NE(error.find("OTPROM"), std::string::npos) << error;
}

TEST_F(SimChipFileTest, ForeignDamagedAndNewerFilesAreRefused) {
    std::unique_ptr<Chip> chip;
    std::string error;
    EXPECT_FALSE(LoadChipFile(path, chip, error)) << "missing";
    EXPECT_NE(error.find("cannot open"), std::string::npos);

    Overwrite("hello\n");
    EXPECT_FALSE(LoadChipFile(path, chip, error));
    EXPECT_NE(error.find("not a simulated chip file"), std::string::npos) << error;

    Overwrite("KRTSIM-CHIP\nversion 2\nkind EPROM\nend\n");
    EXPECT_FALSE(LoadChipFile(path, chip, error));
    EXPECT_NE(error.find("version 2"), std::string::npos) << error;

    EpromChip small("2716", 0x800, false, false, EpromElectrical{});
    ASSERT_TRUE(SaveChipFile(path, small, error));
    std::string good = Contents();
    Overwrite(good.substr(0, good.size() - 100));
    EXPECT_FALSE(LoadChipFile(path, chip, error));
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;

    std::string wrongSize = good;
    wrongSize.replace(wrongSize.find("value words 2048"), 16, "value words 4096");
    Overwrite(wrongSize);
    EXPECT_FALSE(LoadChipFile(path, chip, error));

    std::string unknown = good;
    unknown.replace(unknown.find("kind EPROM"), 10, "kind FLUXCAP");
    Overwrite(unknown);
    EXPECT_FALSE(LoadChipFile(path, chip, error));
    EXPECT_NE(error.find("FLUXCAP"), std::string::npos) << error;

    Overwrite(good);
    EXPECT_TRUE(LoadChipFile(path, chip, error)) << error;
}

TEST_F(SimChipFileTest, UnwritablePlaceIsAClearError) {
    EpromChip chip("2716", 0x800, false, false, EpromElectrical{});
    std::string error;
    EXPECT_FALSE(SaveChipFile(std::string(KRT_BINARY_DIR) + "/no/such/dir/chip", chip, error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
}

}  // namespace
}  // namespace krt
