// SPDX-License-Identifier: GPL-3.0-or-later
// The dispatcher: request codes, the found-flag rule, results and their texts,
// and device operations through the family factory.
#include <functional>
#include <gtest/gtest.h>

#include "support/TestLink.h"
#include "families/ZVDevice.h"

namespace krt::test {
namespace {

// A family whose operations only move the current address; each slot
// returns its own number so the tests can see which one ran.
class FakeFamily : public ZVDevice {
public:
    using ZVDevice::ZVDevice;
    std::function<uint8_t(FakeFamily&)> onSlot;
    bool PowerOn(bool) override { return true; }
    void PowerOff() override {}
    uint8_t Read() override { return Run(40); }
    uint8_t Write() override { return Run(50); }
    uint8_t Verify() override { return Run(60); }
    uint8_t Erase() override { return Run(70); }
    uint8_t Secure() override { return Run(80); }
    uint8_t BlankCheck() override { return Run(90); }
    uint8_t DeviceOption() override { return Run(100); }
    uint8_t Stop() override { return Run(110); }
    uint8_t Run(uint8_t slot) {
        ranSlot = slot;
        return onSlot ? onSlot(*this) : 0;
    }
    uint8_t ranSlot = 0;
};

// The factory's state for one test.
struct Factory {
    static inline std::function<uint8_t(FakeFamily&)> onSlot;
    static inline uint8_t lastSlot = 0;
    static inline int created = 0;
    static std::unique_ptr<ZVDevice> Create(LinkContext& link, const LinkRequest& request,
                                            DeviceRecord& record) {
        if (record.type != "EPROM") return nullptr;
        ++created;
        auto device = std::make_unique<FakeFamily>(link);
        device->request = &request;
        device->record = &record;
        device->currentAddress = request.startAddress;
        device->onSlot = [](FakeFamily& f) {
            const uint8_t r = onSlot ? onSlot(f) : 0;
            lastSlot = f.ranSlot;
            return r;
        };
        return device;
    }
    static void Reset() {
        onSlot = nullptr;
        lastSlot = 0;
        created = 0;
    }
};

TEST(Dispatch, UndefinedCodesAreRefusedWhateverTheFoundFlag) {
    TestLink t;
    for (bool found : {false, true}) {
        t.link.programmerFound = found;
        for (int code : {3, 47, 100, 200, 255}) EXPECT_EQ(t.Request(uint8_t(code)), 5) << code;
    }
    EXPECT_TRUE(t.port.accesses.empty());
}

TEST(Dispatch, FoundFlagRuleAcrossCodes) {
    // Codes that succeed on a quiet link; 13 with state 0; no device codes.
    std::vector<uint8_t> codes = {0, 1, 13, 15};
    for (uint8_t c = 16; c <= 46; ++c) codes.push_back(c);
    for (bool found : {false, true}) {
        for (uint8_t code : codes) {
            TestLink t;
            t.link.programmerFound = found;
            t.link.clockFrequency = 1e6;
            const uint32_t parameter = code == 45 ? 1 : code == 37 ? 0x378 : code == 43 ? 2 : 0;
            EXPECT_EQ(t.Request(code, parameter), found ? 0 : 7) << int(code);
        }
    }
    // Failures pass unchanged either way.
    for (bool found : {false, true}) {
        TestLink t;
        t.link.programmerFound = found;
        EXPECT_EQ(t.Request(13, 5), 3);
        EXPECT_EQ(t.Request(14), 4);
        EXPECT_EQ(t.Request(4), 6);
    }
}

TEST(Dispatch, SettingsAreStoredEvenBeforeDetection) {
    TestLink t;
    uint32_t value = 0;
    EXPECT_EQ(t.Request(37, 0x10278), 7);  // low 16 bits
    EXPECT_EQ(t.Request(38, 0, &value), 7);
    EXPECT_EQ(value, 0x278u);
    t.port.base = 0x278;
    ASSERT_EQ(t.Detect(0x20, 0x10), 0);
    EXPECT_EQ(t.Request(37, 0x378), 0);

    EXPECT_EQ(t.Request(39, 3579545), 0);
    EXPECT_EQ(t.Request(40, 0, &value), 0);
    EXPECT_EQ(value, 3579545u);
    EXPECT_EQ(t.Request(39, 0xFFFFFFFFu), 0);
    EXPECT_EQ(t.Request(40, 0, &value), 0);
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_EQ(t.Request(43, 0x102), 0);
    EXPECT_EQ(t.Request(44, 0, &value), 0);
    EXPECT_EQ(value, 2u);
    EXPECT_EQ(t.Request(45, 7), 0);
    EXPECT_EQ(t.Request(46, 0, &value), 0);
    EXPECT_EQ(value, 7u);
    EXPECT_TRUE(t.port.accesses.size() > 0);
}

TEST(Dispatch, ResultIndicatorStates) {
    TestLink t;
    t.link.programmerFound = true;
    EXPECT_EQ(t.Request(13, 2), 0);
    EXPECT_EQ(t.Request(13, 3), 3);
    EXPECT_EQ(t.link.outputPortRegister, 0x06);
    t.port.Clear();
    EXPECT_EQ(t.Request(13, 0x102), 3);
    EXPECT_TRUE(t.port.accesses.empty());
}

TEST(Dispatch, WithoutAPortOnlyTheSettingsWork) {
    TestLink t;
    t.link.port = nullptr;
    t.link.programmerFound = true;
    EXPECT_EQ(t.Request(16), 4);
    EXPECT_EQ(t.Request(1), 4);
    EXPECT_EQ(t.Request(2), 4);
    EXPECT_EQ(t.Request(37, 0x278), 0);
    EXPECT_EQ(t.link.portBase, 0x278);
    EXPECT_EQ(t.Request(0), 0);
}

TEST(ResultTexts, BothLanguagesAndOutOfRange) {
    EXPECT_EQ(ResultText(1, 3), "Errors are detected");
    EXPECT_EQ(ResultText(0, 3), "エラーが発生した");
    EXPECT_EQ(ResultText(1, 7), "KRT not found");
    EXPECT_EQ(ResultText(0, 7), "KRTがみつからない");
    EXPECT_EQ(ResultText(1, 4), "Fatal error occured");
    EXPECT_EQ(ResultText(1, 10), "");
    EXPECT_EQ(ResultText(0, 10), "");
    EXPECT_EQ(ResultText(2, 0), "");
    for (uint32_t code = 0; code < 10; ++code) {
        EXPECT_FALSE(ResultText(0, code).empty());
        EXPECT_FALSE(ResultText(1, code).empty());
    }
}

class DeviceDispatch : public testing::Test {
protected:
    void SetUp() override {
        Factory::Reset();
        t.link.createFamily = &Factory::Create;
        t.link.programmerFound = true;
        t.record.type = "EPROM";
    }
    uint8_t Operation(uint8_t code, uint32_t start = 0x100) {
        LinkRequest request;
        request.code = code;
        request.startAddress = start;
        request.length = 0x10;
        return Dispatch(t.link, request, t.record);
    }
    TestLink t;
};

TEST_F(DeviceDispatch, EachCodeRunsItsSlot) {
    const uint8_t slots[] = {40, 50, 60, 70, 80, 90, 100, 110};
    for (uint8_t code = 4; code <= 11; ++code) {
        EXPECT_EQ(Operation(code), 0);
        EXPECT_EQ(Factory::lastSlot, slots[code - 4]) << int(code);
    }
    EXPECT_EQ(Factory::created, 8);
}

TEST_F(DeviceDispatch, ResultOfTheSlotPassesThroughTheFoundFlagRule) {
    Factory::onSlot = [](FakeFamily&) -> uint8_t { return 3; };
    EXPECT_EQ(Operation(5), 3);
    Factory::onSlot = nullptr;
    t.link.programmerFound = false;
    EXPECT_EQ(Operation(5), 7);
}

TEST_F(DeviceDispatch, UnknownTypeOrNoFactoryIsUndefinedDevice) {
    t.record.type = "NOSUCH";
    for (uint8_t code = 4; code <= 11; ++code) {
        EXPECT_EQ(Operation(code), 6);
        EXPECT_EQ(t.link.OperationProgress(), -1);
    }
    t.record.type = "EPROM";
    t.link.createFamily = nullptr;
    EXPECT_EQ(Operation(4), 6);
    EXPECT_TRUE(t.port.accesses.empty());
}

TEST_F(DeviceDispatch, ProgressIsSeenOnlyWhileTheSlotRuns) {
    EXPECT_EQ(t.link.OperationProgress(), -1);
    int32_t during = -2;
    Factory::onSlot = [&](FakeFamily& f) -> uint8_t {
        f.currentAddress = f.StartAddress() + 7;
        during = t.link.OperationProgress();
        return 0;
    };
    EXPECT_EQ(Operation(4, 0x100), 0);
    EXPECT_EQ(during, 7);
    EXPECT_EQ(t.link.OperationProgress(), -1);
}

TEST_F(DeviceDispatch, CancelReachesTheRunningObjectOnly) {
    t.link.CancelOperation();  // nothing current: no effect
    uint8_t seen = 9;
    Factory::onSlot = [&](FakeFamily& f) -> uint8_t {
        t.link.CancelOperation();
        seen = f.cancel.load();
        return f.cancel ? 1 : 0;
    };
    EXPECT_EQ(Operation(5), 1);
    EXPECT_EQ(seen, 1);
}

TEST_F(DeviceDispatch, Code14ReportsTheCurrentAddressDuringAnOperation) {
    uint8_t result14 = 0;
    uint32_t value14 = 0;
    Factory::onSlot = [&](FakeFamily& f) -> uint8_t {
        f.currentAddress = 0x1234;
        t.link.readyTimedOut = true;  // must survive the nested request
        LinkRequest r;
        r.code = 14;
        result14 = Dispatch(t.link, r, t.record);
        value14 = r.resultValue;
        const bool kept = t.link.readyTimedOut;
        t.link.readyTimedOut = false;
        return kept ? 0 : 3;
    };
    EXPECT_EQ(Operation(4), 0);
    EXPECT_EQ(result14, 0);
    EXPECT_EQ(value14, 0x1234u);
}

TEST_F(DeviceDispatch, AnotherOperationWhileOneRunsIsRefused) {
    uint8_t nested11 = 0, nested4 = 0;
    Factory::onSlot = [&](FakeFamily& f) -> uint8_t {
        if (f.ranSlot != 40) return 0;
        nested11 = Operation(11);
        nested4 = Operation(4);
        return 0;
    };
    EXPECT_EQ(Operation(4), 0);
    EXPECT_EQ(nested11, 4);
    EXPECT_EQ(nested4, 4);
    // Both were refused before an object was made.
    EXPECT_EQ(Factory::created, 1);
    EXPECT_EQ(Factory::lastSlot, 40);
}

TEST_F(DeviceDispatch, ReadyTimeoutTurnsSuccessIntoFatal) {
    Factory::onSlot = [&](FakeFamily&) -> uint8_t {
        t.port.statusDefault = 0x00;
        t.clock.step = std::chrono::milliseconds(5);
        t.link.DLREAD();
        t.link.WaitReady();
        return 0;  // a family that forgot to look at the mark
    };
    EXPECT_EQ(Operation(4), 4);
    EXPECT_EQ(t.log.lines().size(), 1u);
}

}  // namespace
}  // namespace krt::test
