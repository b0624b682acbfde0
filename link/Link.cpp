// SPDX-License-Identifier: GPL-3.0-or-later
// Frames, read slots, the ready handshake, the eighteen commands and the
// output port register.
#include "link/Link.h"

#include <algorithm>
#include <cmath>

#include "catalogue/DeviceRecord.h"
#include "link/LinkTexts.h"
#include "base/Log.h"

namespace krt {

namespace {

constexpr uint8_t kAck = 0x40;

// WaitReady gives up after this long on the link's clock: longer than the
// longest busy period the programmer has (a full 10-bit count of 256-clock
// units at the lowest accepted clock, about 0.6 s).
constexpr std::chrono::nanoseconds kReadyTimeout = std::chrono::seconds(2);
// Without a clock, the same bound as a count of status reads (one read costs
// about a microsecond on the ISA bus).
constexpr uint32_t kReadyPollsWithoutClock = 2'000'000;
// With a clock, a backstop for a clock that does not advance.
constexpr uint32_t kReadyPollsWithClock = 20'000'000;

}  // namespace

// The longer of kReadyTimeout and one and a half times the longest timer
// period at the current clock (1023 units of 256 clocks): at clocks below
// about 131 kHz a legitimate pulse outlasts the fixed bound.
// Kept for the clock it was worked out for: WaitReady runs once per fetch.
std::chrono::nanoseconds LinkContext::ReadyTimeout() const {
    if (clockFrequency == readyBoundClock_) return readyBound_;
    readyBoundClock_ = clockFrequency;
    readyBound_ = kReadyTimeout;
    if (clockFrequency > 0.0) {
        const double longestNs = 1023.0 * 256.0 * 1e9 / clockFrequency;
        const auto scaled = std::chrono::nanoseconds(static_cast<int64_t>(longestNs * 1.5));
        readyBound_ = std::max<std::chrono::nanoseconds>(kReadyTimeout, scaled);
    }
    return readyBound_;
}

void LinkContext::SendCommand(uint8_t opcode) {
    ++commandCounts[opcode & 0x1F];
    SendFrame(opcode);
}

void LinkContext::SendCommand(uint8_t opcode, uint8_t operand) {
    ++commandCounts[opcode & 0x1F];
    SendFrame(opcode);
    SendFrame(operand);
}

// Bounded: see kReadyTimeout. Once it has given up in a request, later calls
// in the same request look at the line once and do not wait again: the
// request ends with result 4 anyway, and waiting 2 s per unit would hang it.
bool LinkContext::WaitReady() {
    const uint16_t status = static_cast<uint16_t>(portBase + 1);
    if (PortRead(status) & kAck) return true;
    if (!readyTimedOut) {
        if (clock) {
            const std::chrono::nanoseconds start = clock->now();
            const std::chrono::nanoseconds bound = ReadyTimeout();
            for (uint32_t polls = 0; polls < kReadyPollsWithClock; ++polls) {
                if (PortRead(status) & kAck) return true;
                if (clock->now() - start >= bound) break;
            }
        } else {
            for (uint32_t polls = 0; polls < kReadyPollsWithoutClock; ++polls)
                if (PortRead(status) & kAck) return true;
        }
    }
    readyTimedOut = true;
    if (!timeoutLogged_) {
        timeoutLogged_ = true;
        Log(log, "%s", NotReadyLine(language));
    }
    return false;
}

void LinkContext::WaitUntil(std::chrono::nanoseconds deadline) {
    if (!clock) return;
    const uint16_t status = static_cast<uint16_t>(portBase + 1);
    const std::chrono::nanoseconds start = clock->now();
    if (start >= deadline) return;
    // A status read takes about a microsecond on the ISA bus and never less
    // than a nanosecond: the read count bounds the wait if the clock stands.
    const int64_t reads = (deadline - start).count() + 1000;
    for (int64_t i = 0; i < reads; ++i) {
        PortRead(status);
        if (clock->now() >= deadline) return;
    }
}

std::chrono::nanoseconds LinkContext::SendFrameAt(uint8_t byte, std::chrono::nanoseconds notBefore) {
    PortIo* const p = port;
    const uint16_t control = static_cast<uint16_t>(portBase + 2);
    const uint8_t asserted = static_cast<uint8_t>(controlShadow | 0x01);
    const uint8_t released = static_cast<uint8_t>(asserted & ~0x01);
    p->write(portBase, byte);
    WaitUntil(notBefore);
    p->write(control, asserted);
    const std::chrono::nanoseconds latched = clock ? clock->now() : std::chrono::nanoseconds(0);
    p->write(control, released);
    controlShadow = released;
    return latched;
}

std::chrono::nanoseconds LinkContext::DLSENDAt(uint8_t v, std::chrono::nanoseconds notBefore) {
    ++commandCounts[OP_DLSEND & 0x1F];
    SendFrame(OP_DLSEND);
    return SendFrameAt(dataLow.apply(v), notBefore);
}

std::chrono::nanoseconds LinkContext::DLREADAt(std::chrono::nanoseconds notBefore) {
    ++commandCounts[OP_DLREAD & 0x1F];
    return SendFrameAt(OP_DLREAD, notBefore);
}

std::chrono::nanoseconds LinkContext::TimerPeriod() const {
    const double count = double((timerHigh & 3) << 8 | timerLow);
    const double unit = (timerHigh & 0x08) ? 256.0 : (timerHigh & 0x04) ? 16.0 : 1.0;
    if (clockFrequency <= 0.0) return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds(static_cast<int64_t>(std::ceil(count * unit * 1e9 / clockFrequency)));
}

void LinkContext::NOP() { SendCommand(OP_NOP); }
void LinkContext::INC() { SendCommand(OP_INC); }
void LinkContext::DLREAD() { SendCommand(OP_DLREAD); }
void LinkContext::DHREAD() { SendCommand(OP_DHREAD); }
void LinkContext::REVREAD() { SendCommand(OP_REVREAD); }
void LinkContext::DLSEND(uint8_t v) { SendCommand(OP_DLSEND, dataLow.apply(v)); }
void LinkContext::DHSEND(uint8_t v) { SendCommand(OP_DHSEND, dataHigh.apply(v)); }
void LinkContext::ALSET(uint8_t v) { SendCommand(OP_ALSET, addressLow.apply(v)); }
void LinkContext::AHSET(uint8_t v) { SendCommand(OP_AHSET, addressMiddle.apply(v)); }
void LinkContext::DLSET(uint8_t v) { SendCommand(OP_DLSET, dataLow.apply(v)); }
void LinkContext::DHSET(uint8_t v) { SendCommand(OP_DHSET, dataHigh.apply(v)); }
void LinkContext::CSET(uint8_t v) { SendCommand(OP_CSET, addressHigh.apply(v)); }
void LinkContext::DEVSET(uint8_t v) { SendCommand(OP_DEVSET, v); }
void LinkContext::TIMLOSET(uint8_t v) { SendCommand(OP_TIMLOSET, v); }
void LinkContext::TIMHISET(uint8_t v) { SendCommand(OP_TIMHISET, v); }
void LinkContext::OPORTSET(uint8_t v) { SendCommand(OP_OPORTSET, v); }
void LinkContext::VOLTSET(uint8_t v) { SendCommand(OP_VOLTSET, v); }
void LinkContext::WAITTIM() { SendCommand(OP_WAITTIM); }

void LinkContext::LoadBusMasks(const DeviceRecord& record) {
    addressHigh = {record.ahand, record.ahor};
    addressMiddle = {record.amand, record.amor};
    addressLow = {record.aland, record.alor};
    dataHigh = {record.dhand, record.dhor};
    dataLow = {record.dland, record.dlor};
}

void LinkContext::SetAuxOutput(int on) {
    if (on == 1) {
        outputPortRegister |= 0x01;
    } else if (on == 0) {
        outputPortRegister &= static_cast<uint8_t>(~0x01);
    } else {
        return;
    }
    OPORTSET(outputPortRegister);
}

bool LinkContext::SetResultIndicator(uint32_t state) {
    constexpr uint8_t kSucceeded = 0x02, kFailed = 0x04;
    uint8_t bits;
    switch (state) {
        case 0: bits = 0; break;
        case 1: bits = kFailed; break;
        case 2: bits = kSucceeded; break;
        case 3: bits = kSucceeded | kFailed; break;
        default: return false;
    }
    outputPortRegister = static_cast<uint8_t>((outputPortRegister & ~(kSucceeded | kFailed)) | bits);
    OPORTSET(outputPortRegister);
    return state != 3;
}

}  // namespace krt
