// SPDX-License-Identifier: GPL-3.0-or-later
// The EPROM family on the recording port: the exact command sequences, the
// frame's edge cases and the log lines.
#include <gtest/gtest.h>

#include "FamilyTestSupport.h"
#include "families/ZVEEPROM.h"
#include "families/ZVFLASH.h"
#include "families/ZVGAL.h"
#include "families/ZVPIC.h"
#include "families/ZVROM.h"
#include "families/ZVSEEP.h"

namespace krt::test {
namespace {

const std::vector<uint8_t> kPowerOnRead = {0x13, 0x64, 0x0F, 0x00, 0x13, 0x60};
const std::vector<uint8_t> kLoopTimer = {0x10, 0x03, 0x11, 0x00};
// tpw 100 us at 4 MHz: 400 clocks, count 0x190 in the finest unit.
const std::vector<uint8_t> kPulseTimer = {0x10, 0x90, 0x11, 0x01};

std::vector<uint8_t> Address(uint32_t a) {
    return {0x0A, static_cast<uint8_t>(a), 0x0B, static_cast<uint8_t>(a >> 8), 0x0E, static_cast<uint8_t>(a >> 16)};
}

// The status reads of SetAddress's two discarded replies.
void ScriptSetAddress(RecordingPort& port) {
    port.ScriptReply(0);
    port.ScriptReply(0);
}

// One byte fetch: the ready read after DLREAD, then the reply.
void ScriptFetch(RecordingPort& port, uint8_t value) {
    port.ScriptStatus(0x40);
    port.ScriptReply(value);
}

TEST(CreateFamily, KeywordsIgnoreCaseAndPickTheirClass) {
    LinkContext link;
    LinkRequest request;
    DeviceRecord record;
    auto make = [&](const char* type) {
        record.type = type;
        return CreateFamily(link, request, record);
    };
    EXPECT_NE(dynamic_cast<ZVROM*>(make("eprom").get()), nullptr);
    EXPECT_NE(dynamic_cast<ZVROM*>(make("OtPrOm").get()), nullptr);
    EXPECT_NE(dynamic_cast<ZVEEPROM*>(make("EEPROM").get()), nullptr);
    EXPECT_NE(dynamic_cast<ZVSEEP*>(make("seeprom").get()), nullptr);
    EXPECT_NE(dynamic_cast<ZVFLASH*>(make("Flash").get()), nullptr);
    EXPECT_NE(dynamic_cast<ZVGAL*>(make("gal").get()), nullptr);
    EXPECT_NE(dynamic_cast<ZVPIC*>(make("PIC").get()), nullptr);
    // An EPROM object is exactly a ZVROM, not one of its descendants.
    auto rom = make("EPROM");
    EXPECT_EQ(typeid(*rom), typeid(ZVROM));
    EXPECT_EQ(make("ROM"), nullptr);
    EXPECT_EQ(make(""), nullptr);
    EXPECT_EQ(make("EPROM "), nullptr);
}

TEST(CreateFamily, ConstructorsTakeTheRecordAndRequest) {
    LinkContext link;
    LinkRequest request;
    request.startAddress = 0x40;
    uint8_t byte = 0;
    request.buffer = &byte;
    DeviceRecord record = ByteEprom();
    record.retry = 7;
    record.typecode = 3;
    auto rom = CreateFamily(link, request, record);
    EXPECT_EQ(rom->CurrentAddress(), 0x40u);
    EXPECT_EQ(rom->StartAddress(), 0x40u);
    EXPECT_EQ(rom->retryCount, 7);
    EXPECT_EQ(rom->verifyFlag, 1);
    EXPECT_EQ(rom->typeCode, 3);
    EXPECT_EQ(rom->cursor, &byte);
    EXPECT_EQ(rom->errorCount, 0u);
    EXPECT_EQ(rom->cancel.load(), 0);
    record.type = "PIC";
    EXPECT_EQ(CreateFamily(link, request, record)->CurrentAddress(), 0u);  // a PIC walks from word 0
}

TEST(FamilyDispatch, UnknownTypeGivesSixAndLeavesNoFamily) {
    FamilyLink t;
    t.record.type = "ROM";
    for (uint8_t code = 4; code <= 11; ++code) EXPECT_EQ(t.Operation(code, 0, 1), 6) << int(code);
    EXPECT_EQ(t.link.OperationProgress(), -1);
    EXPECT_TRUE(t.port.accesses.empty());
}

TEST(FamilyDispatch, OperationsAnEpromDoesNotHaveSendNothing) {
    FamilyLink t;
    EXPECT_EQ(t.Operation(7, 0, 1), 9);   // Erase
    EXPECT_EQ(t.Operation(8, 0, 1), 9);   // Secure
    EXPECT_EQ(t.Operation(10, 0, 1), 8);  // DeviceOption
    EXPECT_EQ(t.Operation(11, 0, 1), 8);  // Stop
    EXPECT_TRUE(t.port.accesses.empty());
}

TEST(FamilyDispatch, ShellFamiliesAnswerIncompleteWithoutTraffic) {
    for (const char* type : {"SEEPROM"}) {  // type code 0: no bus of its own
        FamilyLink t;
        t.record.type = type;
        for (uint8_t code = 4; code <= 9; ++code) {
            const uint8_t r = t.Operation(code, 0, 1);
            EXPECT_TRUE(r == 8 || r == 9) << type << " code " << int(code);
        }
        EXPECT_TRUE(t.port.accesses.empty()) << type;
    }
    FamilyLink t;
    t.record.type = "EEPROM";
    EXPECT_EQ(t.Operation(8, 0, 1), 9);
    EXPECT_EQ(t.Operation(10, 0, 1), 8);
    EXPECT_TRUE(t.port.accesses.empty());
}

TEST(FamilyFrame, ZeroLengthReturnsTwoAndSendsNothing) {
    FamilyLink t;
    for (uint8_t code : {4, 5, 6, 9}) EXPECT_EQ(t.Operation(code, 0x10, 0), 2) << int(code);
    EXPECT_TRUE(t.port.accesses.empty());
    EXPECT_TRUE(t.log.lines().empty());
}

TEST(ZVROMSequence, ByteReadSendsTheAddressOnceThenIncPerAddress) {
    FamilyLink t(ByteEprom(0x20000));
    ScriptSetAddress(t.port);
    ScriptFetch(t.port, 0x5A);
    ScriptFetch(t.port, 0xC3);
    ASSERT_EQ(t.Operation(4, 0x012345, 2), 0);
    EXPECT_EQ(t.port.CommandFrames(),
              Concat({kResetFrames, kPowerOnRead, kLoopTimer, Address(0x012345), {0x04, 0x01, 0x04, 0x01},
                      kResetFrames}));
    EXPECT_EQ(t.buffer[0x012345], 0x5A);
    EXPECT_EQ(t.buffer[0x012346], 0xC3);
    EXPECT_EQ(t.buffer[0x012344], 0xFF);
    EXPECT_EQ(t.buffer[0x012347], 0xFF);
    EXPECT_EQ(t.clock.sleptMs, 800u);
    EXPECT_TRUE(t.log.lines().empty());
    EXPECT_EQ(t.link.OperationProgress(), -1);
}

TEST(ZVROMSequence, ByteReadCostsThirtyNineAccessesPerAddress) {
    FamilyLink t;
    ASSERT_EQ(t.Operation(4, 0, 1), 0);
    const uint64_t one = t.port.reads + t.port.writes;
    FamilyLink u;
    ASSERT_EQ(u.Operation(4, 0, 101), 0);
    EXPECT_EQ((u.port.reads + u.port.writes - one) / 100, 39u);
}

TEST(ZVROMSequence, WordReadStoresHighByteFirstAtTwiceTheAddress) {
    FamilyLink t(WordEprom(0x400));
    ScriptSetAddress(t.port);
    ScriptFetch(t.port, 0x34);  // low byte
    ScriptFetch(t.port, 0x12);  // high byte
    ASSERT_EQ(t.Operation(4, 0x100, 1), 0);
    EXPECT_EQ(t.buffer[0x200], 0x12);
    EXPECT_EQ(t.buffer[0x201], 0x34);
    EXPECT_EQ(t.buffer[0x1FF], 0xFF);
    EXPECT_EQ(t.buffer[0x202], 0xFF);
    const auto frames = t.port.CommandFrames();
    const std::vector<uint8_t> unit = {0x04, 0x05, 0x01};
    EXPECT_NE(std::search(frames.begin(), frames.end(), unit.begin(), unit.end()), frames.end());
}

TEST(ZVROMSequence, ReadOfTypeCodeThreeKeepsOutputsOffAndSwitchesAux) {
    DeviceRecord r = ByteEprom(0x100);
    r.typecode = 3;
    FamilyLink t(r);
    ASSERT_EQ(t.Operation(4, 0, 1), 0);
    EXPECT_EQ(t.port.CommandFrames(),
              Concat({kResetFrames, {0x13, 0x64, 0x0F, 0x03, 0x12, 0x01}, kLoopTimer, Address(0), {0x04, 0x01},
                      kResetFrames}));
}

TEST(ZVROMSequence, WriteOfTypeCodeThreeSwitchesOutputsOn) {
    DeviceRecord r = ByteEprom(0x100);
    r.typecode = 3;
    r.retry = 1;
    FamilyLink t(r);
    ASSERT_EQ(t.Operation(5, 0, 1), 0);
    // Write levels 12.75 / 6.25 V: copy 0x08; gated 0x0C, then on, then the auxiliary output.
    const auto powerUp = Concat({kResetFrames, {0x13, 0x0C, 0x0F, 0x03, 0x13, 0x08, 0x12, 0x01}});
    const auto frames = t.port.CommandFrames();
    ASSERT_GE(frames.size(), powerUp.size());
    EXPECT_TRUE(std::equal(powerUp.begin(), powerUp.end(), frames.begin()));
}

// The pulse timer is loaded once for the loop: every pulse keeps tpw, and
// no pulse reloads the value the programmer holds already.
TEST(ZVROMSequence, PulseTimerIsLoadedOncePerWrite) {
    DeviceRecord r = ByteEprom(0x100);
    r.verify = 0;
    r.retry = 3;
    FamilyLink t(r);
    ASSERT_EQ(t.Operation(5, 0, 4), 0);
    const auto frames = t.port.CommandFrames();
    const auto loads = std::search(frames.begin(), frames.end(), kPulseTimer.begin(), kPulseTimer.end());
    ASSERT_NE(loads, frames.end());
    EXPECT_EQ(std::search(loads + 1, frames.end(), kPulseTimer.begin(), kPulseTimer.end()), frames.end());
}

TEST(ZVROMSequence, WordWriteLatchesLowThenPulsesHigh) {
    DeviceRecord r = WordEprom(0x100);
    r.verify = 0;
    r.retry = 1;
    FamilyLink t(r);
    t.buffer[0x20] = 0xAB;
    t.buffer[0x21] = 0xCD;
    ASSERT_EQ(t.Operation(5, 0x10, 1), 0);
    EXPECT_EQ(t.port.CommandFrames(),
              Concat({kResetFrames, {0x13, 0x0C, 0x0F, 0x18, 0x13, 0x08}, kLoopTimer, Address(0x10), kPulseTimer,
                      {0x0C, 0xCD, 0x09, 0xAB, 0x01}, kResetFrames}));
    EXPECT_EQ(t.log.lines(), Lines{"書きこみはエラーなく行われました。"});
}

TEST(ZVROMSequence, MasksApplyToAddressAndData) {
    DeviceRecord r = ByteEprom(0x100);
    r.aland = 0xF0;
    r.alor = 0x03;
    r.dland = 0x0F;
    r.verify = 0;
    r.retry = 1;
    FamilyLink t(r);
    t.buffer[0x5A] = 0xFF;
    ASSERT_EQ(t.Operation(5, 0x5A, 1), 0);
    const auto frames = t.port.CommandFrames();
    const std::vector<uint8_t> address = {0x0A, 0x53};
    const std::vector<uint8_t> pulse = {0x08, 0x0F};
    EXPECT_NE(std::search(frames.begin(), frames.end(), address.begin(), address.end()), frames.end());
    EXPECT_NE(std::search(frames.begin(), frames.end(), pulse.begin(), pulse.end()), frames.end());
}

TEST(ZVROMWrite, WithoutVerifyEveryAddressGetsRetryPulsesAndNoLine) {
    for (uint8_t typecode : {0, 3, 7, 11}) {
        DeviceRecord r = ByteEprom(0x100);
        r.retry = 4;
        r.typecode = typecode;
        r.verify = typecode == 0 ? 0 : 1;  // type codes with both low bits set never verify
        FamilyLink t(r);
        t.buffer.assign(t.buffer.size(), 0x00);  // words to program: a blank word is read first
        ASSERT_EQ(t.Operation(5, 0, 3), 0) << int(typecode);
        const auto frames = t.port.CommandFrames();
        EXPECT_EQ(CountOf(frames, 0x08), 12u) << int(typecode);
        EXPECT_EQ(CountOf(frames, 0x04), 0u) << int(typecode);
        EXPECT_EQ(t.log.lines(), Lines{"書きこみはエラーなく行われました。"});
    }
}

// Verify while writing on the recording port: each attempt is the pulse's
// ready read, the DLREAD ready read and the reply.
void ScriptAttempt(RecordingPort& port, uint8_t readBack) {
    port.ScriptStatus(0x40);
    ScriptFetch(port, readBack);
}

// An address that takes on its third pulse logs two attempts and no error;
// with one attempt a mismatch counts at once.
TEST(ZVROMWrite, AttemptsAreLoggedAndOnlyTheLastOneCounts) {
    struct Case {
        uint32_t retry;
        uint8_t file;
        std::vector<uint8_t> readBack;
        uint8_t result;
        Lines lines;
    };
    const Case cases[] = {
        {5, 0x12, {0xFF, 0x13, 0x12}, 0,
         {"Verify error at 000000 Read:FF File:12 0回目", "Verify error at 000000 Read:13 File:12 1回目",
          "書きこみはエラーなく行われました。"}},
        {1, 0x00, {0xFF}, 3, {"Verify error at 000000 Read:FF File:00 0回目", "書きこみの途中で1個のエラーが発生しました"}},
    };
    for (const Case& c : cases) {
        DeviceRecord r = ByteEprom(0x100);
        r.retry = c.retry;
        FamilyLink t(r);
        t.buffer[0] = c.file;
        ScriptSetAddress(t.port);
        for (uint8_t value : c.readBack) ScriptAttempt(t.port, value);
        ASSERT_EQ(t.Operation(5, 0, 1), c.result);
        EXPECT_EQ(t.log.lines(), c.lines);
        EXPECT_EQ(CountOf(t.port.CommandFrames(), 0x08), c.readBack.size());
    }
}

TEST(ZVROMWrite, ErrorThatReachesTheLimitIsNotLoggedAsVerifyLine) {
    DeviceRecord r = ByteEprom(0x100);
    r.retry = 2;
    FamilyLink t(r);
    // Buffer 0xFF everywhere, device reads 0x00: every address fails.
    ASSERT_EQ(t.Operation(5, 0, 10, 2), 3);
    // A 0 bit that must become 1: the first such byte says to erase first.
    EXPECT_EQ(t.log.lines(), (Lines{"Verify error at 000000 Read:00 File:FF 0回目",
                                    "Verify error at 000000 Read:00 File:FF 1回目",
                                    "000000 番地は00と読めますがFFが必要です。書きこみでは0のビットを1にできません："
                                    "先にチップを消去してください（EPROMは紫外線で消去します）",
                                    "Verify error at 000001 Read:00 File:FF 0回目",
                                    "書きこみの途中で2個のエラーが発生しました",
                                    "エラーが多すぎるので中止しました"}));
    // Two addresses pulsed twice each, then the loop stopped.
    EXPECT_EQ(CountOf(t.port.CommandFrames(), 0x08), 4u);
}

TEST(ZVROMVerify, ThirdFailureEndsTheLoopWithPermittedThree) {
    FamilyLink t;
    ASSERT_EQ(t.Operation(6, 0, 10, 3), 3);  // device reads 0x00, file 0xFF
    const auto lines = t.log.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "ベリファイエラー Addr: 000002 ROM-Data:00 FileData:FF");
    EXPECT_EQ(lines[3], "エラーが多すぎるので中止しました");
    const auto frames = t.port.CommandFrames();
    EXPECT_EQ(CountOf(frames, 0x04), 3u);
    EXPECT_EQ(CountOf(frames, 0x01), 2u);
}

TEST(ZVROMVerify, PermittedZeroStopsAtFirstErrorAndAlwaysLogsTheLimit) {
    FamilyLink failing;
    ASSERT_EQ(failing.Operation(6, 0, 10, 0), 3);
    EXPECT_EQ(CountOf(failing.port.CommandFrames(), 0x04), 1u);
    EXPECT_TRUE(failing.Logged("エラーが多すぎるので中止しました"));

    FamilyLink passing;
    std::fill(passing.buffer.begin(), passing.buffer.end(), 0x00);  // device reads 0x00 too
    ASSERT_EQ(passing.Operation(6, 0, 10, 0), 0);
    EXPECT_EQ(passing.log.lines(), Lines{"エラーが多すぎるので中止しました"});
}

// A scripted read of one or two addresses and the one line it gives.
TEST(ZVROMVerify, MismatchAndBlankCheckLines) {
    struct Case {
        DeviceRecord record;
        uint8_t code;
        uint32_t start, length;
        std::vector<uint8_t> fetched;  // a word's low byte first
        std::vector<std::pair<uint32_t, uint8_t>> file;
        const char* line;
    };
    const Case cases[] = {
        {ByteEprom(0x2000), 6, 0x1234, 1, {0x5A}, {{0x1234, 0xA5}}, "ベリファイエラー Addr: 001234 ROM-Data:5A FileData:A5"},
        {WordEprom(0x100), 6, 0x10, 1, {0x34, 0x13}, {{0x20, 0x12}, {0x21, 0x34}},
         "ベリファイエラー Addr: 000010 ROM-Data:13-34 FileData:12-34"},
        {WordEprom(0x100), 9, 0x10, 1, {0xFF, 0x00}, {}, "ブランクチェックエラー Addr: 000010 Data:00-FF "},
        {ByteEprom(0x100), 9, 0x20, 2, {0xFF, 0x7F}, {}, "ブランクチェックエラー Addr: 000021 Data:7F "},
    };
    for (const Case& c : cases) {
        FamilyLink t(c.record);
        for (const auto& [at, value] : c.file) t.buffer[at] = value;
        ScriptSetAddress(t.port);
        for (uint8_t value : c.fetched) ScriptFetch(t.port, value);
        ASSERT_EQ(t.Operation(c.code, c.start, c.length), 3) << c.line;
        EXPECT_EQ(t.log.lines(), Lines{c.line});
    }
}

TEST(ZVROMFrame, CancelBeforeTheFirstUnitStillPowersUpAndDown) {
    FamilyLink t;
    LinkRequest request;
    request.code = 4;
    request.buffer = t.buffer.data();
    request.length = 5;
    request.permittedErrorCount = 100;
    ZVROM rom(t.link, request, t.record);
    rom.cancel.store(1);
    EXPECT_EQ(rom.Read(), 1);
    EXPECT_EQ(t.port.CommandFrames(), Concat({kResetFrames, kPowerOnRead, kLoopTimer, Address(0), kResetFrames}));
}

// Cancels the running operation, as the cancel button does, once the
// progress has reached `cancelAt`; the family notices at its next unit.
class RomCancellingPort : public RecordingPort {
public:
    void write(uint16_t address, uint8_t value) override {
        RecordingPort::write(address, value);
        if (link->OperationProgress() >= cancelAt) link->CancelOperation();
    }
    LinkContext* link = nullptr;
    int32_t cancelAt = 0;
};

TEST(ZVROMFrame, CancelInTheMiddleStopsAtTheNextUnit) {
    for (uint8_t code : {4, 5}) {
        FamilyLink t;
        RomCancellingPort port;
        port.link = &t.link;
        port.cancelAt = 3;
        t.link.port = &port;
        t.record.verify = 0;
        t.record.retry = 1;
        EXPECT_EQ(t.Operation(code, 0, 0x80), 1) << int(code);
        const auto frames = port.CommandFrames();
        // Units 0 to 2 done, the cancel comes during unit 3, which completes.
        EXPECT_EQ(CountOf(frames, code == 4 ? 0x04 : 0x08), 4u) << int(code);
        EXPECT_EQ(std::vector<uint8_t>(frames.end() - 6, frames.end()), kResetFrames);
        if (code == 5) {
            // Units 0 to 3 written: the line says so, not "without errors".
            EXPECT_EQ(t.log.lines(), Lines{"書きこみは000004で中止されました（書きこみ済み4ワード、開始アドレス000000）"});
        }
    }
}

TEST(ZVROMFrame, RangeBeyondTheDeviceIsCutWithOneLine) {
    FamilyLink t(ByteEprom(0x10));
    t.buffer.assign(0x10, 0xFF);
    ASSERT_EQ(t.Operation(4, 0x0C, 0x10), 0);
    EXPECT_EQ(CountOf(t.port.CommandFrames(), 0x04), 4u);
    EXPECT_EQ(t.log.lines(),
              Lines{"Range 00000C+000010 reaches beyond the device end 000010: cut to 000004 addresses"});
    EXPECT_EQ(t.buffer[0x0C], 0x00);
    EXPECT_EQ(t.buffer[0x0F], 0x00);

    FamilyLink beyond(ByteEprom(0x10));
    EXPECT_EQ(beyond.Operation(5, 0x20, 1), 2);
    EXPECT_EQ(beyond.log.lines().size(), 1u);
    EXPECT_TRUE(beyond.port.accesses.empty());

    // start + length wrapping around 32 bits is beyond the device too.
    FamilyLink wrap(ByteEprom(0x10));
    EXPECT_EQ(wrap.Operation(6, 0x08, 0xFFFFFFFF), 3);
    EXPECT_EQ(CountOf(wrap.port.CommandFrames(), 0x04), 8u);
}

TEST(ZVROMFrame, WordAccessOnAByteBufferStaysInsideTheBuffer) {
    DeviceRecord r = ByteEprom(0x10);  // 16-byte buffer
    r.wordaccess = 1;                  // switched to words by the user
    FamilyLink t(r);
    t.buffer.assign(0x10, 0xFF);
    ASSERT_EQ(t.Operation(4, 0, 0x10), 0);
    EXPECT_EQ(CountOf(t.port.CommandFrames(), 0x05), 8u);
    EXPECT_EQ(t.log.lines().size(), 1u);
    // Blank check reads no buffer: the whole device.
    FamilyLink blank(r);
    blank.log.clear();
    EXPECT_EQ(blank.Operation(9, 0, 0x10, 1000), 3);
    EXPECT_EQ(CountOf(blank.port.CommandFrames(), 0x05), 16u);
}

TEST(ZVROMFrame, NoBufferIsFatalBeforeAnyTraffic) {
    FamilyLink t;
    LinkRequest request;
    request.code = 4;
    request.length = 1;
    request.permittedErrorCount = 100;
    EXPECT_EQ(Dispatch(t.link, request, t.record), 4);
    EXPECT_TRUE(t.port.accesses.empty());
}

// From here on the programmer stops answering: the ACK line stays low
// (busy) for ever, and each status read costs a millisecond.
void StopAnswering(FamilyLink& t) {
    t.port.statusDefault = 0x00;
    t.clock.step = std::chrono::milliseconds(1);
}

TEST(ZVROMTimeout, ProgrammerThatStopsAnsweringMidWriteEndsWithFour) {
    DeviceRecord r = ByteEprom(0x100);
    r.verify = 0;
    r.retry = 1;
    FamilyLink t(r);
    t.buffer.assign(t.buffer.size(), 0x00);
    ScriptSetAddress(t.port);
    for (int i = 0; i < 3; ++i) t.port.ScriptStatus(0x40);
    StopAnswering(t);
    EXPECT_EQ(t.Operation(5, 0, 0x100), 4);
    const auto frames = t.port.CommandFrames();
    EXPECT_EQ(CountOf(frames, 0x08), 4u);  // the fourth pulse never ended
    EXPECT_EQ(std::vector<uint8_t>(frames.end() - 6, frames.end()), kResetFrames);
    EXPECT_EQ(t.log.lines(), Lines{"KRTがレディになりません（2秒間応答がありません）。"});
    // Bounded in virtual time: one wait of about two seconds.
    EXPECT_LT(t.clock.time, std::chrono::seconds(4));
    EXPECT_EQ(t.link.OperationProgress(), -1);
}

TEST(ZVROMTimeout, ProgrammerThatStopsAnsweringMidReadEndsWithFour) {
    for (uint8_t code : {4, 6, 9}) {
        FamilyLink t;
        ScriptSetAddress(t.port);
        for (int i = 0; i < 5; ++i) ScriptFetch(t.port, 0xFF);  // five good units, as the buffer and blank
        StopAnswering(t);
        EXPECT_EQ(t.Operation(code, 0, 0x100), 4) << int(code);
        EXPECT_EQ(CountOf(t.port.CommandFrames(), 0x04), 6u) << int(code);
        EXPECT_EQ(t.log.lines().size(), 1u) << int(code);
    }
}

TEST(ZVROMTimeout, ErrorsBeforeTheTimeoutAreStillReported) {
    DeviceRecord r = ByteEprom(0x100);
    r.retry = 1;
    FamilyLink t(r);
    t.buffer.assign(t.buffer.size(), 0x00);
    ScriptSetAddress(t.port);
    ScriptAttempt(t.port, 0xFF);  // buffer holds 0x00: one error
    StopAnswering(t);
    EXPECT_EQ(t.Operation(5, 0, 0x10), 4);
    EXPECT_TRUE(t.Logged("書きこみの途中で1個のエラーが発生しました"));
    EXPECT_FALSE(t.Logged("書きこみはエラーなく行われました。"));
}

}  // namespace
}  // namespace krt::test
