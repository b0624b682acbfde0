// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "support/RecordingPort.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/DeviceLoader.h"

namespace krt {
namespace {

namespace fs = std::filesystem;
using test::CollectingLog;
using test::Lines;

// A scratch catalogue directory, removed at the end of the test.
class ScratchDir {
public:
    ScratchDir() {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("krt-catalogue-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    void Write(const std::string& name, const std::string& text) const {
        fs::create_directories((path_ / name).parent_path());
        std::ofstream(path_ / name, std::ios::binary) << text;
    }
    std::string str() const { return path_.string(); }

private:
    fs::path path_;
};

TEST(CatalogueFiles, NamesMatchWithoutRegardToCase) {
    ScratchDir dir;
    dir.Write("device.lst", "x");
    dir.Write("Sub/Gal.PRM", "y");
    EXPECT_EQ(DeviceListPath(dir.str()), (fs::path(dir.str()) / "device.lst").string());
    EXPECT_EQ(ResolveCatalogueFile(dir.str(), "sub/gal.prm"),
              (fs::path(dir.str()) / "Sub" / "Gal.PRM").string());
    // Nothing matches: the exact name is returned.
    EXPECT_EQ(ResolveCatalogueFile(dir.str(), "none.prm"), (fs::path(dir.str()) / "none.prm").string());
    EXPECT_EQ(FindCatalogueDirectory(dir.str()), dir.str());
}

TEST(CatalogueFiles, ExactNameIsPreferred) {
    ScratchDir dir;
    dir.Write("DEVICE.LST", "exact");
    dir.Write("device.lst", "other");
    EXPECT_EQ(DeviceListPath(dir.str()), (fs::path(dir.str()) / "DEVICE.LST").string());
}

TEST(CatalogueFiles, SeveralCaseVariantsChooseTheSameOneEveryTime) {
    ScratchDir dir;
    dir.Write("Gal.prm", "a");
    dir.Write("GAL.prm", "b");
    dir.Write("gAL.prm", "c");
    EXPECT_EQ(ResolveCatalogueFile(dir.str(), "gal.prm"), (fs::path(dir.str()) / "GAL.prm").string());
}

TEST(CatalogueFiles, OverrideReplacesTheSearchPath) {
    EXPECT_EQ(CatalogueDirectories("somewhere"), (std::vector<std::string>{"somewhere"}));
    std::vector<std::string> dirs = CatalogueDirectories("");
    ASSERT_FALSE(dirs.empty());
    EXPECT_EQ(dirs.front(), ProgramDirectory());
    EXPECT_EQ(dirs.back(), std::string(KRT_DATA_DIR));
    ScratchDir empty;
    EXPECT_EQ(FindCatalogueDirectory(empty.str()), "");
}

class Loader : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Write("Device.Lst",
                  "EPROM,Intel,27C256,0,Eprom.prm\n"
                  "GAL,Lattice,GAL16V8,5,gal.prm\n"
                  "GAL,Lattice,BADGAL,5,gal.prm\n"
                  "EPROM,Intel,NOSECTION,0,eprom.prm\n"
                  "EPROM,Intel,NOFILE,0,missing.prm\n");
        dir.Write("EPROM.PRM", "device\t27C256\nmaxsize\t8000\nVpp\t12.75\n");
        dir.Write("gal.prm",
                  "device\tGAL16V8\nmaxsize\t2194\nLineNumber\t32\nArrayLen\t64\n"
                  "ACWBase\t2048\nSigBase\t2056\n"
                  "device\tBADGAL\nmaxsize\t2194\nLineNumber\t32\nArrayLen\t64\n"
                  "ACWBase\t2048\nSigBase\t2194\n");
        ASSERT_TRUE(OpenCatalogue(dir.str(), &log, catalogue));
    }

    DeviceLoadResult Load(const std::string& type, const std::string& maker,
                          const std::string& name, uint32_t language = 1) {
        record.name = "stale";
        return LoadDeviceRecord(catalogue.list, catalogue.directory, type, maker, name, language,
                                &log, record);
    }

    ScratchDir dir;
    CollectingLog log;
    Catalogue catalogue;
    DeviceRecord record;
};

TEST_F(Loader, LoadsThroughCaseInsensitiveNames) {
    DeviceLoadResult r = Load("eprom", "INTEL", "27c256");
    EXPECT_TRUE(r.selected);
    EXPECT_EQ(r.paramStatus, 0u);
    EXPECT_EQ(log.lines(), (Lines{"Device 27C256's parameter was loaded successfully."}));
    // The defaults take the list's spelling, as the selection boxes show it.
    EXPECT_EQ(record.type, "EPROM");
    EXPECT_EQ(record.manufacture, "Intel");
    EXPECT_EQ(record.name, "27C256");
    EXPECT_EQ(record.maxsize, 0x8000u);
    EXPECT_DOUBLE_EQ(record.VppW, 12.75);
}

TEST_F(Loader, JapaneseMessages) {
    EXPECT_TRUE(Load("GAL", "Lattice", "GAL16V8", 0).selected);
    EXPECT_EQ(log.lines(), (Lines{"デバイスGAL16V8のパラメータがロードされました。"}));
    EXPECT_EQ(record.maxsize, 2194u);
    EXPECT_EQ(record.typecode, 5);
}

TEST_F(Loader, MissingFileLogsSeventeenAndTwenty) {
    DeviceLoadResult r = Load("EPROM", "Intel", "NOFILE");
    EXPECT_FALSE(r.selected);
    EXPECT_EQ(log.lines(), (Lines{"Parameter file missing.prm not found.",
                                  "Reading parameter file \"missing.prm\" is failed."}));
    EXPECT_TRUE(record.name.empty());
    EXPECT_EQ(record.typecode, 0);
}

TEST_F(Loader, MissingSectionLogsEighteen) {
    EXPECT_FALSE(Load("EPROM", "Intel", "NOSECTION").selected);
    EXPECT_EQ(log.lines(),
              (Lines{"In parameter file eprom.prm. No description was found about device NOSECTION."}));
}

TEST_F(Loader, UnlistedDeviceNamesItself) {
    DeviceLoadResult r = Load("EPROM", "Intel", "2716");
    EXPECT_FALSE(r.selected);
    EXPECT_EQ(r.entry, catalogue.list.count);
    EXPECT_TRUE(record.name.empty());
    EXPECT_EQ(log.lines(), (Lines{"Device EPROM Intel 2716 is not in the device list: choose a number from the list."}));
}

TEST_F(Loader, GalLayoutThatDoesNotFitIsRefused) {
    EXPECT_FALSE(Load("GAL", "Lattice", "BADGAL").selected);
    Lines lines = log.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Device BADGAL's parameters cannot be used: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("SigBase 2194"), std::string::npos);
    EXPECT_TRUE(record.name.empty());
    EXPECT_EQ(record.maxsize, 0u);
}

}  // namespace
}  // namespace krt
