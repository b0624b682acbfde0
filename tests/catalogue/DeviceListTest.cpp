// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "support/RecordingPort.h"
#include "catalogue/DeviceList.h"

namespace krt {
namespace {

using test::CollectingLog;
using test::Lines;

const char* const kLineError = "ファイルdevice.lstの%d行目にエラーがあります。";

std::string LineError(int line) {
    char buf[128];
    std::snprintf(buf, sizeof buf, kLineError, line);
    return buf;
}

TEST(DeviceList, FiveFieldsOfAnEntry) {
    DeviceList list = DeviceList::FromText(
        "EPROM,Intel,27C256,0,params1\nPIC,Microchip,PIC16F84,4,params2\nFLASH,ST,M28F101,18,f\n");
    ASSERT_TRUE(list.loaded);
    ASSERT_EQ(list.count, 3);
    EXPECT_EQ(list.types[0], "EPROM");
    EXPECT_EQ(list.makers[0], "Intel");
    EXPECT_EQ(list.names[0], "27C256");
    EXPECT_EQ(list.codes[0], 0);
    EXPECT_EQ(list.files[0], "params1");
    EXPECT_EQ(list.CodeOf("PIC", "Microchip", "PIC16F84"), 4);
    EXPECT_EQ(list.CodeOf("flash", "st", "m28f101"), 0x18);  // hexadecimal, any case
    EXPECT_EQ(list.FileOf("eprom", "INTEL", "27c256"), "params1");
}

TEST(DeviceList, FieldSyntax) {
    DeviceList list = DeviceList::FromText(
        "EPROM, Intel,27C256,0,p\n"            // a space belongs to the field
        "\t\tEPROM,AMD\tjunk,27C512,x1y2,p\n"  // control chars skipped; TAB ends a value
        "GAL,Lattice,GAL16V8,05,gal.prm,extra,fields\n"
        "  # not a comment,M,N,0,f\n"
        "EEPROM,Atmel,AT28C64,12,e.prm\r\n");  // CR LF line end
    ASSERT_EQ(list.count, 5);
    EXPECT_EQ(list.makers[0], " Intel");
    EXPECT_EQ(list.types[1], "EPROM");
    EXPECT_EQ(list.makers[1], "AMD");
    EXPECT_EQ(list.codes[1], 0x12);  // non-hex characters skipped
    EXPECT_EQ(list.files[2], "gal.prm");
    EXPECT_EQ(list.types[3], "  # not a comment");
    EXPECT_EQ(list.files[4], "e.prm");
    EXPECT_EQ(list.codes[4], 0x12);
}

TEST(DeviceList, CodeKeepsLowEightBits) {
    DeviceList list = DeviceList::FromText("EPROM,I,N,1FF,f\n");
    EXPECT_EQ(list.codes[0], 0xFF);
}

TEST(DeviceList, EmptyFieldsAreLoggedWithTheirLineNumberAndKept) {
    CollectingLog log;
    DeviceList list = DeviceList::FromText(
        "# comment\n# comment\n\nEPROM,Intel,27C256\n,,X,0,f\n \t\n", &log);
    ASSERT_EQ(list.count, 2);
    EXPECT_EQ(log.lines(), (Lines{LineError(4), LineError(4), LineError(5), LineError(5)}));
    EXPECT_EQ(list.FileOf("EPROM", "Intel", "27C256"), "");
    EXPECT_EQ(list.CodeOf("EPROM", "Intel", "27C256"), 0);
    EXPECT_EQ(list.Find("EPROM", "Intel", "27C256"), 0);
    EXPECT_EQ(list.names[1], "X");
}

TEST(DeviceList, CommentsAndBlankLinesCountInLineNumbers) {
    CollectingLog log;
    DeviceList list = DeviceList::FromText("#a\n#b\n\nA,B,,0,f\nA,B,,0,f\nA,B,,0,f", &log);
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(log.lines(), (Lines{LineError(4), LineError(5), LineError(6)}));
}

TEST(DeviceList, FailedLookupGivesTheEmptyEntry) {
    DeviceList list = DeviceList::FromText("EPROM,Intel,27C256,3,p\nEPROM,Intel,27c256,5,q\n");
    EXPECT_EQ(list.Find("EPROM", "Intel", "2716"), list.count);
    EXPECT_EQ(list.FileOf("EPROM", "Intel", "2716"), "");
    EXPECT_EQ(list.CodeOf("EPROM", "Intel", "2716"), 0);
    EXPECT_EQ(list.FileOf("EPROM", "Intel", "27C256"), "p");  // duplicates: the first wins
    EXPECT_EQ(list.types.size(), static_cast<size_t>(list.count) + 1);
}

TEST(DeviceList, DistinctMakersAndNamesInFirstOrder) {
    DeviceList list = DeviceList::FromText(
        "EPROM,Intel,2716,0,f\nEPROM,AMD,27C256,0,f\nEPROM,intel,2732,0,f\n"
        "EEPROM,Atmel,AT28C64,12,f\nEPROM,INTEL,2716,0,f\neprom,Intel,27C256,0,f\n");
    EXPECT_EQ(list.MakersOf("EPROM"), (std::vector<std::string>{"Intel", "AMD"}));
    EXPECT_EQ(list.NamesOf("EPROM", "Intel"),
              (std::vector<std::string>{"2716", "2732", "27C256"}));
    EXPECT_TRUE(list.MakersOf("GAL").empty());
    EXPECT_TRUE(list.NamesOf("EPROM", "Nobody").empty());
    EXPECT_EQ(list.TypesOf(), (std::vector<std::string>{"EPROM", "EEPROM"}));
}

TEST(DeviceList, MoreThan99MakersAreAllReturned) {
    std::string text;
    for (int i = 0; i < 150; ++i) text += "EPROM,M" + std::to_string(i) + ",N,0,f\n";
    DeviceList list = DeviceList::FromText(text);
    EXPECT_EQ(list.MakersOf("EPROM").size(), 150u);
}

TEST(DeviceList, LongLinesAreCutNotSplit) {
    CollectingLog log;
    std::string longName(400, 'N');
    DeviceList list =
        DeviceList::FromText("EPROM,Intel," + longName + ",0,p\nGAL,L,G,5,g\n", &log);
    ASSERT_EQ(list.count, 2);  // the rest of the long line is not a line of its own
    EXPECT_EQ(list.names[0].size(), 254u - 12u);
    EXPECT_EQ(list.files[0], "");  // fields 4 and 5 were cut off
    EXPECT_EQ(log.lines(), (Lines{LineError(1), LineError(1)}));
    EXPECT_EQ(list.names[1], "G");
}

TEST(DeviceList, MissingFileDoesNotLoad) {
    DeviceList list("no/such/DEVICE.LST");
    EXPECT_FALSE(list.loaded);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.FileOf("EPROM", "Intel", "27C256"), "");
}

}  // namespace
}  // namespace krt
