// SPDX-License-Identifier: GPL-3.0-or-later
// CancelOperation and OperationProgress from a second thread while family
// objects are published, run and withdrawn. Run this under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/TestLink.h"
#include "families/ZVDevice.h"

namespace krt::test {
namespace {

constexpr uint32_t kUnits = 32;
constexpr int kOperations = 1000;

class SpinningFamily : public ZVDevice {
public:
    using ZVDevice::ZVDevice;
    bool PowerOn(bool) override { return true; }
    void PowerOff() override {}
    // Walks the addresses like a real operation: checks the cancel flag and
    // moves the current address, both without a lock.
    uint8_t Read() override {
        for (uint32_t i = 0; i < kUnits; ++i) {
            if (cancel.load(std::memory_order_relaxed)) return 1;
            currentAddress.store(StartAddress() + i + 1, std::memory_order_relaxed);
            std::this_thread::yield();
        }
        return 0;
    }
    uint8_t Write() override { return Read(); }
    uint8_t Verify() override { return Read(); }
    uint8_t Erase() override { return 9; }
    uint8_t Secure() override { return 9; }
    uint8_t BlankCheck() override { return Read(); }
    uint8_t DeviceOption() override { return 9; }
    uint8_t Stop() override { return 0; }
    // Scribbles over the object on the way out, so a reader that still held
    // it would see garbage (and ASan/TSan would see the access).
    ~SpinningFamily() override { currentAddress.store(0xDEADBEEF); }
};

std::unique_ptr<ZVDevice> CreateSpinning(LinkContext& link, const LinkRequest& request,
                                         DeviceRecord& record) {
    auto device = std::make_unique<SpinningFamily>(link);
    device->request = &request;
    device->record = &record;
    device->currentAddress = request.startAddress;
    return device;
}

TEST(Concurrency, CancelAndProgressWhileObjectsComeAndGo) {
    TestLink t;
    t.link.createFamily = &CreateSpinning;
    t.link.programmerFound = true;
    std::atomic<bool> done{false};
    std::atomic<int> badProgress{0};
    std::atomic<uint64_t> polls{0};

    std::thread ui([&] {
        uint64_t n = 0;
        while (!done.load()) {
            const int32_t progress = t.link.OperationProgress();
            if (progress < -1 || progress > int32_t(kUnits)) badProgress.fetch_add(1);
            if (++n % 7 == 0) t.link.CancelOperation();
        }
        polls = n;
    });

    int canceled = 0, completed = 0;
    for (int op = 0; op < kOperations; ++op) {
        LinkRequest request;
        request.code = uint8_t(4 + op % 3);
        request.startAddress = uint32_t(op) * 0x100;
        request.length = kUnits;
        const uint8_t result = Dispatch(t.link, request, t.record);
        ASSERT_TRUE(result == 0 || result == 1) << int(result);
        (result == 1 ? canceled : completed)++;
        ASSERT_EQ(t.link.OperationProgress(), -1);
    }
    done = true;
    ui.join();
    EXPECT_EQ(badProgress.load(), 0);
    EXPECT_GT(polls.load(), 0u);
    EXPECT_EQ(canceled + completed, kOperations);
}

}  // namespace
}  // namespace krt::test
