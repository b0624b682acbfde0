// SPDX-License-Identifier: GPL-3.0-or-later
// The two seams below the link: register access and time (the third, the
// log sink, is in base/ because every layer uses it).
// Only platform/ and sim/ implement PortIo; every wait goes through Clock;
// every line meant for the user goes through LogSink.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

#include "base/LogSink.h"

namespace krt {

// 8-bit access to the PC's I/O space at absolute addresses.
struct PortIo {
    virtual ~PortIo() = default;
    virtual uint8_t read(uint16_t address) = 0;
    virtual void write(uint16_t address, uint8_t value) = 0;
};

// Time source of the link. The real clock sleeps; the simulator's clock is
// virtual, so simulated operations run as fast as the CPU allows.
struct Clock {
    virtual ~Clock() = default;
    virtual std::chrono::nanoseconds now() = 0;
    virtual void sleepMs(unsigned ms) = 0;
};

}  // namespace krt
