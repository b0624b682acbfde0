// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "catalogue/ParamFile.h"

namespace krt {
namespace {

TEST(ParamValues, Hex) {
    EXPECT_EQ(ParamHexValue("0x1F"), 0x1Fu);
    EXPECT_EQ(ParamHexValue("1F"), 0x1Fu);
    EXPECT_EQ(ParamHexValue("1 F"), 0x1Fu);
    EXPECT_EQ(ParamHexValue(""), 0u);
    EXPECT_EQ(ParamHexValue("zz"), 0u);
    EXPECT_EQ(ParamHexValue("123456789"), 0x23456789u);  // 32 bits
}

TEST(ParamValues, Decimal) {
    EXPECT_EQ(ParamDecimalValue("  -5"), -5);
    EXPECT_EQ(ParamDecimalValue("+12abc"), 12);
    EXPECT_EQ(ParamDecimalValue("abc"), 0);
    EXPECT_EQ(ParamDecimalValue("8000"), 8000);
    EXPECT_EQ(ParamDecimalValue("99999999999999999999"), 2147483647);  // saturates
    EXPECT_EQ(ParamDecimalValue("-99999999999"), -2147483647 - 1);
}

TEST(ParamValues, Real) {
    EXPECT_DOUBLE_EQ(ParamRealValue("12.75"), 12.75);
    EXPECT_DOUBLE_EQ(ParamRealValue(" +6.25V"), 6.25);
    EXPECT_DOUBLE_EQ(ParamRealValue("1e1"), 10.0);
    EXPECT_DOUBLE_EQ(ParamRealValue("-.5"), -0.5);
    EXPECT_DOUBLE_EQ(ParamRealValue("volts"), 0.0);
    EXPECT_DOUBLE_EQ(ParamRealValue("nan"), 0.0);
    EXPECT_DOUBLE_EQ(ParamRealValue("inf"), 0.0);
    EXPECT_DOUBLE_EQ(ParamRealValue("1e999"), 0.0);
}

TEST(ParamValues, TimeUnitsFollowTheNumberDirectly) {
    EXPECT_DOUBLE_EQ(ParamTimeValue("100ns"), 1e-7);
    EXPECT_DOUBLE_EQ(ParamTimeValue("100us"), 1e-4);
    EXPECT_DOUBLE_EQ(ParamTimeValue("100US"), 1e-4);
    EXPECT_DOUBLE_EQ(ParamTimeValue("50ms"), 0.05);
    EXPECT_DOUBLE_EQ(ParamTimeValue("50MS"), 0.05);
    EXPECT_DOUBLE_EQ(ParamTimeValue("2s"), 2.0);
    EXPECT_DOUBLE_EQ(ParamTimeValue("0.0001"), 1e-4);
    EXPECT_DOUBLE_EQ(ParamTimeValue("100 us"), 100.0);
    EXPECT_DOUBLE_EQ(ParamTimeValue("100usec"), 100.0);
}

TEST(ParamValues, Tokens) {
    EXPECT_EQ(ParamTokens("  Vcc \t\t 6.25  "), (std::vector<std::string>{"Vcc", "6.25"}));
    EXPECT_EQ(ParamTokens("note\ttwo words here"),
              (std::vector<std::string>{"note", "two words here"}));
    EXPECT_EQ(ParamTokens("Vcc 6.25"), (std::vector<std::string>{"Vcc 6.25"}));
}

const char* const kFile =
    "# catalogue file\n"
    "DEVICE\t27c256\n"
    "Vcc\t6.25\n"
    "maxsize  \t 8000\n"
    "Vpp 12.75\n"  // spaces only: one token, not the key
    "note\tquick pulse, 25 tries\n"
    "bwalt\tno\n"
    "device\tOTHER\n"
    "tpw\t100us\n"
    "device\t27C256\n"  // a second section of the same name is never used
    "tpw\t1ms\n";

TEST(ParamFile, FindsTheFirstSectionInAnyCase) {
    ParamFile file = ParamFile::FromText(kFile, "27C256");
    ASSERT_EQ(file.status(), 0u);
    uint32_t size = 0;
    EXPECT_TRUE(file.ReadHex(size, "MAXSIZE", 0));
    EXPECT_EQ(size, 0x8000u);
    double vcc = 0;
    EXPECT_TRUE(file.ReadReal(vcc, "vcc", 5.0));
    EXPECT_DOUBLE_EQ(vcc, 6.25);
    std::string note;
    EXPECT_TRUE(file.ReadString(note, "note", ""));
    EXPECT_EQ(note, "quick pulse, 25 tries");
    EXPECT_EQ(file.status(), 0u);
}

TEST(ParamFile, KeysEndAtTheNextSection) {
    ParamFile file = ParamFile::FromText(kFile, "27C256");
    double tpw = 0;
    EXPECT_FALSE(file.ReadTime(tpw, "tpw", 1e-6));
    EXPECT_DOUBLE_EQ(tpw, 1e-6);
    EXPECT_EQ(file.status(), uint32_t{ParamFile::kKeyMissing});
    double vpp = 0;
    EXPECT_FALSE(file.ReadReal(vpp, "Vpp", 5.0));  // separated by a space only
    EXPECT_DOUBLE_EQ(vpp, 5.0);
    // A missed key does not silence the keys looked up after it.
    double vcc = 0;
    EXPECT_TRUE(file.ReadReal(vcc, "Vcc", 5.0));
    EXPECT_DOUBLE_EQ(vcc, 6.25);

    ParamFile other = ParamFile::FromText(kFile, "other");
    EXPECT_TRUE(other.ReadTime(tpw, "tpw", 1e-6));
    EXPECT_DOUBLE_EQ(tpw, 1e-4);
}

TEST(ParamFile, BoolLeavesTheFieldOnOtherValues) {
    ParamFile file = ParamFile::FromText("device\tX\nbwalt\tno\nverify\tYES\nswap\ton\n", "X");
    uint8_t flag = 7;
    EXPECT_FALSE(file.ReadBool(flag, "bwalt", 0));
    EXPECT_EQ(flag, 7);
    EXPECT_TRUE(file.ReadBool(flag, "verify", 0));
    EXPECT_EQ(flag, 1);
    flag = 0;
    EXPECT_TRUE(file.ReadBool(flag, "swap", 0));
    EXPECT_EQ(flag, 1);
    flag = 9;
    EXPECT_FALSE(file.ReadBool(flag, "absent", 0));
    EXPECT_EQ(flag, 0);
}

TEST(ParamFile, TypedLookupsAndDefaults) {
    ParamFile file = ParamFile::FromText(
        "device\tX\naland\t1FF\nretry\t-3\nhex\t0xDEADbeef\n", "X");
    uint8_t mask = 0;
    EXPECT_TRUE(file.ReadHexByte(mask, "aland", 0xFF));
    EXPECT_EQ(mask, 0xFF);
    EXPECT_FALSE(file.ReadHexByte(mask, "dlor", 0x00));
    EXPECT_EQ(mask, 0x00);
    EXPECT_EQ(file.ReadDecimal("retry", 1), -3);
    EXPECT_EQ(file.ReadDecimal("nothing", 42), 42);
    uint32_t hex = 0;
    EXPECT_TRUE(file.ReadHex(hex, "hex", 0));
    EXPECT_EQ(hex, 0xDEADBEEFu);
    std::string s = "old";
    EXPECT_FALSE(file.ReadString(s, "absent", "dflt"));
    EXPECT_EQ(s, "dflt");
}

TEST(ParamFile, MissingDeviceAndFileStatus) {
    ParamFile noDevice = ParamFile::FromText("device\tA\nVcc\t6\n", "B");
    EXPECT_EQ(noDevice.status(), uint32_t{ParamFile::kDeviceMissing});
    double v = 0;
    EXPECT_FALSE(noDevice.ReadReal(v, "Vcc", 5.0));
    EXPECT_DOUBLE_EQ(v, 5.0);

    ParamFile missing("no/such/file.prm", "A");
    EXPECT_EQ(missing.status(), uint32_t{ParamFile::kOpenFailedNamed | ParamFile::kOpenFailed});
    ParamFile unnamed("", "A");
    EXPECT_EQ(unnamed.status(), uint32_t{ParamFile::kOpenFailed});
    ParamFile directory(".", "A");  // a directory is not a parameter file
    EXPECT_EQ(directory.status(), uint32_t{ParamFile::kOpenFailedNamed | ParamFile::kOpenFailed});
}

TEST(ParamFile, LongLinesAreCutAt254) {
    std::string longValue(300, 'x');
    ParamFile file = ParamFile::FromText(
        "device\tX\nnote\t" + longValue + "\nVcc\t6.5\n", "X");
    std::string note;
    ASSERT_TRUE(file.ReadString(note, "note", ""));
    EXPECT_EQ(note.size(), 254u - 5u);
    double v = 0;
    EXPECT_TRUE(file.ReadReal(v, "Vcc", 5.0));  // the cut rest is no line of its own
    EXPECT_DOUBLE_EQ(v, 6.5);
}

TEST(ParamFile, DeviceLineWithoutNameAndCrLf) {
    ParamFile file = ParamFile::FromText("device\r\nVcc\t4\r\ndevice\tY\r\nVcc\t6.0\r\n", "Y");
    double v = 0;
    EXPECT_TRUE(file.ReadReal(v, "Vcc", 5.0));
    EXPECT_DOUBLE_EQ(v, 6.0);
}

}  // namespace
}  // namespace krt
