// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "catalogue/FillDeviceRecord.h"

namespace krt {
namespace {

DeviceRecord Fill(const std::string& section, uint8_t code, const std::string& name = "D") {
    ParamFile file = ParamFile::FromText("device\t" + name + "\n" + section, name);
    EXPECT_EQ(file.status() & ~uint32_t{ParamFile::kKeyMissing}, 0u);
    DeviceRecord r;
    FillDeviceRecord(r, file, code, "EPROM", "Maker", name);
    return r;
}

TEST(FillDeviceRecord, EmptySectionGivesEveryDefault) {
    DeviceRecord r = Fill("", 0);
    EXPECT_EQ(r.type, "EPROM");
    EXPECT_EQ(r.manufacture, "Maker");
    EXPECT_EQ(r.name, "D");
    EXPECT_EQ(r.note, "");
    EXPECT_EQ(r.algol, "");
    EXPECT_DOUBLE_EQ(r.VppR, 5.0);
    EXPECT_DOUBLE_EQ(r.VccR, 5.0);
    EXPECT_DOUBLE_EQ(r.VppW, 5.0);
    EXPECT_DOUBLE_EQ(r.VccW, 5.0);
    EXPECT_DOUBLE_EQ(r.tpw, 1e-6);
    EXPECT_DOUBLE_EQ(r.tpr, 1e-6);
    EXPECT_EQ(r.retry, 1);
    EXPECT_EQ(r.pagesize, 1u);
    for (uint8_t m : {r.ahand, r.amand, r.aland, r.dhand, r.dland}) EXPECT_EQ(m, 0xFF);
    for (uint8_t m : {r.ahor, r.amor, r.alor, r.dhor, r.dlor}) EXPECT_EQ(m, 0x00);
    EXPECT_EQ(r.maxsize, 0u);
    EXPECT_EQ(r.bufsize, 0u);
    EXPECT_EQ(r.verify, 1);
    EXPECT_EQ(r.swap, 0);
    EXPECT_EQ(r.waitmode, 4);
    EXPECT_EQ(r.bwalt, 0);
    EXPECT_EQ(r.wordsize, 0);
    EXPECT_EQ(r.wordaccess, 0);
    EXPECT_EQ(r.bytesPerWord, 1);
    EXPECT_EQ(r.addrlen, 0);
    EXPECT_EQ(r.controlcode, 0);
}

TEST(FillDeviceRecord, PldDefaultsTakeTwelveVoltsOnVppR) {
    for (uint8_t code : {5, 6, 7}) {
        DeviceRecord r = Fill("Vpp\t15\n", code);
        EXPECT_DOUBLE_EQ(r.VppR, 12.0);
        EXPECT_DOUBLE_EQ(r.VppW, 15.0);
    }
}

TEST(FillDeviceRecord, VccIsReadIntoBothReadSupplies) {
    DeviceRecord eprom = Fill("Vcc\t6.25\nVpp\t12.75\nVccp\t6.5\n", 0);
    EXPECT_DOUBLE_EQ(eprom.VppR, 6.25);
    EXPECT_DOUBLE_EQ(eprom.VccR, 6.25);
    EXPECT_DOUBLE_EQ(eprom.VppW, 12.75);
    EXPECT_DOUBLE_EQ(eprom.VccW, 6.5);
    DeviceRecord pic = Fill("Vcc\t5\nVpp\t13\n", 4);
    EXPECT_DOUBLE_EQ(pic.VppR, 13.0);  // the programming voltage during read too
    EXPECT_DOUBLE_EQ(pic.VccR, 5.0);
}

TEST(FillDeviceRecord, MaxsizeIsHexExceptOnPlds) {
    EXPECT_EQ(Fill("maxsize\t8000\n", 0).maxsize, 0x8000u);
    EXPECT_EQ(Fill("maxsize\t8000\n", 0).bufsize, 0x8000u);
    EXPECT_EQ(Fill("maxsize\t8000\n", 5).maxsize, 8000u);
    EXPECT_EQ(Fill("maxsize\t8000\n", 7).bufsize, 8000u);
}

TEST(FillDeviceRecord, PldLayoutKeysAreReadOnlyForPlds) {
    const std::string layout =
        "ACWBase\t2048\nASRBase\t1\nSigBase\t2056\nPinNumber\t20\nLineNumber\t32\nArrayLen\t64\n";
    DeviceRecord gal = Fill(layout, 5);
    EXPECT_EQ(gal.ACWBase, 2048);
    EXPECT_EQ(gal.ASRBase, 1);
    EXPECT_EQ(gal.SigBase, 2056);
    EXPECT_EQ(gal.PinNumber, 20);
    EXPECT_EQ(gal.LineNumber, 32);
    EXPECT_EQ(gal.ArrayLen, 64);
    DeviceRecord eprom = Fill(layout, 0);
    EXPECT_EQ(eprom.ACWBase, 0);
    EXPECT_EQ(eprom.LineNumber, 0);
}

TEST(FillDeviceRecord, WordDevicesAndTheirBuffers) {
    for (uint8_t code : {2, 0x18, 0x19, 0x1A, 0x1B}) {
        DeviceRecord r = Fill("maxsize\t10000\n", code);
        EXPECT_EQ(r.wordsize, 1) << int(code);
        EXPECT_EQ(r.wordaccess, 1);
        EXPECT_EQ(r.bytesPerWord, 2);
        EXPECT_EQ(r.bufsize, 131072u);
    }
    for (uint8_t code : {0, 1, 3, 5, 0x10, 0x12, 0x17, 0x1C}) {
        DeviceRecord r = Fill("maxsize\t100\n", code);
        EXPECT_EQ(r.wordsize, 0) << int(code);
        EXPECT_EQ(r.bytesPerWord, 1);
    }
}

TEST(FillDeviceRecord, PicSizeIsFixed) {
    DeviceRecord r = Fill("maxsize\t8000\n", 4);
    EXPECT_EQ(r.maxsize, 0x400u);
    // Program words, the configuration words at 4000h, the data EEPROM at 4200h.
    EXPECT_EQ(r.bufsize, 0x4280u);
    EXPECT_EQ(r.wordsize, 1);
}

TEST(FillDeviceRecord, RulesOnRetryPagesizeWaitmodeAndBwalt) {
    EXPECT_EQ(Fill("retry\t0\n", 0).retry, 1);
    EXPECT_EQ(Fill("retry\t25\n", 0).retry, 25);
    EXPECT_EQ(Fill("pagesize\t-5\n", 0).pagesize, 1u);
    EXPECT_EQ(Fill("pagesize\t64\n", 0).pagesize, 64u);
    EXPECT_EQ(Fill("bwalt\tno\n", 0x12).waitmode, 4) << "no waitmode key: the computer's timer";
    EXPECT_EQ(Fill("bwalt\tno\n", 0).bwalt, 0);
    EXPECT_EQ(Fill("bwalt\tYES\n", 0).bwalt, 1);
}

TEST(FillDeviceRecord, WaitModeKeyIsHonoured) {
    const std::pair<const char*, int> cases[] = {{"busyflag", 1}, {"TOGGLE", 2}, {"polling", 3},
                                                 {"timer", 0},    {"3", 3},      {"4", 4}, {"9", 0}};
    for (auto [text, mode] : cases)
        EXPECT_EQ(Fill(std::string("waitmode\t") + text + "\n", 0x12).waitmode, mode) << text;
}

// The datasheet waits are ours: absent (or no valid time) they are negative,
// and the families keep their fixed waits.
TEST(FillDeviceRecord, DatasheetWaitKeys) {
    DeviceRecord none = Fill("maxsize\t100\n", 4);
    for (double v : {none.picprog, none.picgap, none.readywait, none.eraltime, none.erasepulse, none.galsettle,
                     none.galentry, none.picsettle, none.galdown})
        EXPECT_LT(v, 0.0);
    DeviceRecord r = Fill("picprog\t9ms\npicgap\t1us\nreadywait\t0\neraltime\t6ms\nerasepulse\t100ms\n"
                          "galsettle\t-5ms\ngalentry\tx\npicsettle\t100ms\ngaldown\t100ms\n",
                          4);
    EXPECT_DOUBLE_EQ(r.picprog, 9e-3);
    EXPECT_DOUBLE_EQ(r.picgap, 1e-6);
    EXPECT_DOUBLE_EQ(r.picsettle, 0.1);
    EXPECT_DOUBLE_EQ(r.galdown, 0.1);
    EXPECT_DOUBLE_EQ(r.readywait, 0.0);
    EXPECT_DOUBLE_EQ(r.eraltime, 6e-3);
    EXPECT_DOUBLE_EQ(r.erasepulse, 0.1);
    EXPECT_LT(r.galsettle, 0.0);
    EXPECT_DOUBLE_EQ(r.galentry, 0.0) << "text that is no number is 0 s, as every time key";
}

// Software data protection: only "sdp 0" says a part has none; a file
// without the key keeps the protection command for its parts.
TEST(FillDeviceRecord, ProtectionKeyDefaultsToPresent) {
    EXPECT_EQ(Fill("", 0x12).sdp, 1);
    EXPECT_EQ(Fill("sdp\t0\n", 0x12).sdp, 0);
    EXPECT_EQ(Fill("sdp\t1\n", 0x12).sdp, 1);
}

TEST(FillDeviceRecord, TimesMasksAndStrings) {
    DeviceRecord r = Fill(
        "tpw\t100us\ntpr\t100 us\nahand\t0x3f\ndlor\t80\naddrlen\t8\ncontrolcode\tA0\n"
        "type\tSEEPROM\nmanufacture\tAtmel\nname\tAT24C02\nnote\ttwo wire\nalgol\tack poll\n",
        3);
    EXPECT_DOUBLE_EQ(r.tpw, 1e-4);
    EXPECT_DOUBLE_EQ(r.tpr, 100.0);
    EXPECT_EQ(r.ahand, 0x3F);
    EXPECT_EQ(r.dlor, 0x80);
    EXPECT_EQ(r.addrlen, 8);
    EXPECT_EQ(r.controlcode, 0xA0);
    EXPECT_EQ(r.type, "SEEPROM");
    EXPECT_EQ(r.manufacture, "Atmel");
    EXPECT_EQ(r.name, "AT24C02");
    EXPECT_EQ(r.note, "two wire");
    EXPECT_EQ(r.algol, "ack poll");
}

TEST(FillDeviceRecord, HugeWordDeviceSaturatesInsteadOfWrapping) {
    DeviceRecord r = Fill("maxsize\t80000000\n", 0x18);
    EXPECT_EQ(r.bufsize, UINT32_MAX);
    std::string reason;
    EXPECT_FALSE(CheckDeviceRecord(r, reason));
    EXPECT_NE(reason.find("maxsize"), std::string::npos);
}

DeviceRecord Gal16V8() {
    return Fill("maxsize\t2194\nLineNumber\t32\nArrayLen\t64\nACWBase\t2048\nSigBase\t2056\n", 5);
}

TEST(CheckDeviceRecord, StandardGalLayoutsPass) {
    std::string reason;
    EXPECT_TRUE(CheckDeviceRecord(Gal16V8(), reason)) << reason;
    DeviceRecord v10 = Fill(
        "maxsize\t5892\nLineNumber\t44\nArrayLen\t132\nASRBase\t5808\nSigBase\t5828\n", 7);
    EXPECT_TRUE(CheckDeviceRecord(v10, reason)) << reason;
    EXPECT_TRUE(CheckDeviceRecord(Fill("maxsize\t8000\n", 0), reason));
}

TEST(CheckDeviceRecord, GalLayoutsThatDoNotFitAreRefused) {
    std::string reason;
    DeviceRecord r = Gal16V8();
    r.SigBase = 2131;  // 2131 + 64 > 2194
    EXPECT_FALSE(CheckDeviceRecord(r, reason));
    EXPECT_NE(reason.find("SigBase"), std::string::npos);

    r = Gal16V8();
    r.ACWBase = 2049;  // offset 145 lands on 2194
    EXPECT_FALSE(CheckDeviceRecord(r, reason));

    r = Gal16V8();
    r.LineNumber = 35;  // 35 x 64 > 2194
    EXPECT_FALSE(CheckDeviceRecord(r, reason));

    r = Gal16V8();
    r.ArrayLen = 257;  // longer than the shift buffer
    EXPECT_FALSE(CheckDeviceRecord(r, reason));

    r = Gal16V8();
    r.SigBase = -1;
    EXPECT_FALSE(CheckDeviceRecord(r, reason));

    r = Gal16V8();
    r.LineNumber = 64;  // the signature row must be a six-bit row number
    r.maxsize = r.bufsize = 100000;
    EXPECT_FALSE(CheckDeviceRecord(r, reason));

    r = Gal16V8();
    r.bufsize = 2000;  // the buffer is smaller than the fuse map
    EXPECT_FALSE(CheckDeviceRecord(r, reason));

    DeviceRecord empty = Fill("", 6);  // maxsize 0: nothing fits
    EXPECT_FALSE(CheckDeviceRecord(empty, reason));

    DeviceRecord negative = Fill("maxsize\t-5\n", 7);
    EXPECT_FALSE(CheckDeviceRecord(negative, reason));

    DeviceRecord v10 = Fill(
        "maxsize\t5892\nLineNumber\t44\nArrayLen\t251\nASRBase\t5808\nSigBase\t5828\n", 7);
    EXPECT_FALSE(CheckDeviceRecord(v10, reason));  // 250 data bits plus six address bits at most
}

}  // namespace
}  // namespace krt
