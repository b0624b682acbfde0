// SPDX-License-Identifier: GPL-3.0-or-later
#include <chrono>
#include <thread>

#include "platform/Platform.h"

namespace krt {

namespace {

class SystemClock final : public Clock {
public:
    std::chrono::nanoseconds now() override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
    void sleepMs(unsigned ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

}  // namespace

std::unique_ptr<Clock> MakeSystemClock() { return std::make_unique<SystemClock>(); }

}  // namespace krt
