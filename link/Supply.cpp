// SPDX-License-Identifier: GPL-3.0-or-later
// Pulse timer, supply voltages and LinkReset.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include "link/Link.h"
#include "link/LinkTexts.h"
#include "base/Log.h"

namespace krt {

namespace {

constexpr uint8_t kDacData = 0x01;
constexpr uint8_t kDacClock = 0x02;
constexpr uint8_t kOutputGate = 0x04;
constexpr uint8_t kVppEnable = 0x08;
constexpr uint8_t kDacLoad = 0x20;
constexpr uint8_t kDacRevision = 0x20;
constexpr uint8_t kVppChannel = 0;
constexpr uint8_t kVccChannel = 2;

// Timer counts that fit one of the three units; from here on it overflows.
constexpr long long kTimerLimit = 262144;

// The clock count of a duration, rounded to six decimal places first so
// that a product like 1999.9999999999998 counts as 2000. Negative and
// not-a-number durations count as 0; -1 means the count does not fit.
long long ClockCount(double seconds, double clockHz) {
    const double cycles = seconds * clockHz;
    if (std::isnan(cycles) || cycles <= 0.0) return 0;
    if (!(cycles < 1e12)) return -1;
    // std::to_chars rounds exactly as printf's "%f" does, at a fraction of
    // its cost: this runs for every pulse an operation sends.
    char text[64];
    const std::to_chars_result printed = std::to_chars(text, text + sizeof text, cycles, std::chars_format::fixed, 6);
    long long count = 0;
    std::from_chars(text, printed.ptr, count);
    return count;
}

}  // namespace

void LinkContext::SetTimer(uint8_t high, uint8_t low) {
    timerHigh = high;
    timerLow = low;
    TIMLOSET(low);
    TIMHISET(high);
}

void LinkContext::KeepTimer(uint8_t high, uint8_t low) {
    if (high != timerHigh || low != timerLow) SetTimer(high, low);
}

namespace {

// The timer bytes of a duration; false when it does not fit.
bool TimerBytes(double seconds, double clockHz, uint8_t& high, uint8_t& low) {
    const long long n = ClockCount(seconds, clockHz);
    if (n < 0 || n >= kTimerLimit) return false;
    if (n < 1024) {
        high = static_cast<uint8_t>((n >> 8) & 3);
        low = static_cast<uint8_t>(n & 0xFF);
    } else if (n < 16384) {
        const long long m = (n >> 4) & 0x3FF;
        high = static_cast<uint8_t>(((m >> 8) & 3) | 0x04);
        low = static_cast<uint8_t>(m & 0xFF);
    } else {
        const long long m = (n >> 8) & 0x3FF;
        high = static_cast<uint8_t>(((m >> 8) & 3) | 0x08);
        low = static_cast<uint8_t>(m & 0xFF);
    }
    return true;
}

}  // namespace

// The timer bytes for a duration at the link's clock; a duration the timer
// cannot hold is logged and gives none.
static bool TimerBytesOrLog(const LinkContext& link, double seconds, uint8_t& high, uint8_t& low) {
    if (TimerBytes(seconds, link.clockFrequency, high, low)) return true;
    Log(link.log, "%s", LinkLine(kTimerOverflowLine, link.language));
    return false;
}

void LinkContext::SetTimerSeconds(double seconds) {
    uint8_t high = 0, low = 0;
    if (TimerBytesOrLog(*this, seconds, high, low)) SetTimer(high, low);
}

void LinkContext::KeepTimerSeconds(double seconds) {
    uint8_t high = 0, low = 0;
    if (TimerBytesOrLog(*this, seconds, high, low)) KeepTimer(high, low);
}

// A decimal number and exactly one unit (ns, us, ms, s, any case); anything
// else is a duration of 0. The number is read without the C locale so that
// a window program's locale cannot change it.
void LinkContext::SetTimerFromText(const std::string& text) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    double value = 0.0;
    const auto [rest, error] = std::from_chars(first, last, value, std::chars_format::general);
    double seconds = 0.0;
    if (error == std::errc()) {
        const std::string unit(rest, last);
        if (strcasecmp(unit.c_str(), "ns") == 0) seconds = value * 1e-9;
        else if (strcasecmp(unit.c_str(), "us") == 0) seconds = value * 1e-6;
        else if (strcasecmp(unit.c_str(), "ms") == 0) seconds = value * 0.001;
        else if (strcasecmp(unit.c_str(), "s") == 0) seconds = value;
    }
    const long long n = ClockCount(seconds, clockFrequency);
    if (n < 0 || n >= kTimerLimit) {
        Log(log, "%s", LinkLine(kTimerTextOverflowLine, language));
        return;
    }
    SetTimerSeconds(seconds);
}

// The DAC word's code must fit 8 bits: a Vpp whose code would exceed 255
// (above 6.2492 + 255 x 0.0516 = 19.4072 V) is refused like any other
// out-of-range voltage. NaN is refused on both supply schemes.
bool LinkContext::SetVpp(float volts) {
    if (std::isnan(volts)) {
        Log(log, "%s", LinkLine(kVoltageRefusedLine, language));
        return false;
    }
    if (krt1Revision == kDacRevision) {
        if (volts <= 8.0f) {
            voltageRegister &= static_cast<uint8_t>(~kVppEnable);
            SendVoltageRegister();
            return true;
        }
        const long double code = (static_cast<long double>(volts) - 6.2492L) * 19.37984496124031L;
        if (volts >= 20.0f || code >= 256.0L) {
            Log(log, "%s", LinkLine(kVoltageRefusedLine, language));
            return false;
        }
        voltageRegister |= kVppEnable;
        WriteSupplyDac(kVppChannel, static_cast<uint8_t>(code));
        return true;
    }
    // Fixed levels; the thresholds compare in single precision so that the
    // nominal 15.6 given as a float falls in the row that names it.
    uint8_t nibble;
    if (volts < 8.0f) nibble = 0x0;
    else if (volts <= 13.0f) nibble = 0x8;
    else if (volts < 14.5f) nibble = 0x9;
    else if (volts <= 15.6f) nibble = 0xA;
    else nibble = 0xB;
    voltageRegister = static_cast<uint8_t>((voltageRegister & 0xF0) | nibble);
    return true;
}

bool LinkContext::SetVcc(float volts) {
    if (std::isnan(volts)) {
        Log(log, "%s", LinkLine(kVoltageRefusedLine, language));
        return false;
    }
    if (krt1Revision == kDacRevision) {
        if (!(volts >= 0.0f && volts < 7.5f)) {
            Log(log, "%s", LinkLine(kVoltageRefusedLine, language));
            return false;
        }
        const long double code = static_cast<long double>(volts) * 256.0L / 7.5L;
        WriteSupplyDac(kVccChannel, static_cast<uint8_t>(code));
        return true;
    }
    uint8_t bits;
    if (volts <= 3.3f) bits = 0x80;
    else if (volts <= 5.0f) bits = 0x60;
    else if (volts < 6.0f) bits = 0x20;
    else if (volts < 6.25f) bits = 0x40;
    else bits = 0x00;
    voltageRegister = static_cast<uint8_t>((voltageRegister & 0x0F) | bits);
    return true;
}

// The copy, with the output gate while the outputs are held off.
void LinkContext::SendVoltageRegister() {
    VOLTSET(supplyHeld ? static_cast<uint8_t>(voltageRegister | kOutputGate) : voltageRegister);
}

void LinkContext::ShiftSupplyBit(int bit) {
    voltageRegister |= kDacClock;
    SendVoltageRegister();
    voltageRegister = static_cast<uint8_t>(bit ? (voltageRegister | kDacData)
                                               : (voltageRegister & ~kDacData));
    SendVoltageRegister();
    voltageRegister &= static_cast<uint8_t>(~kDacClock);
    SendVoltageRegister();
}

void LinkContext::WriteSupplyDac(uint8_t channel, uint8_t code) {
    voltageRegister |= kDacLoad;
    SendVoltageRegister();
    ShiftSupplyBit((channel >> 1) & 1);
    ShiftSupplyBit(channel & 1);
    ShiftSupplyBit(1);
    for (int bit = 7; bit >= 0; --bit) ShiftSupplyBit((code >> bit) & 1);
    voltageRegister &= static_cast<uint8_t>(~kDacLoad);
    SendVoltageRegister();
    voltageRegister |= kDacLoad;
    SendVoltageRegister();
}

void LinkContext::SupplyOutput(bool on) {
    supplyHeld = !on;
    SendVoltageRegister();
}

void LinkContext::LinkReset() {
    controlShadow = 0;
    if (portBase == 0) {
        Log(log, "%s", LinkLine(kPortFallbackLine, language));
        portBase = 0x378;
    }
    voltageRegister = 0;
    // The clearing goes out with the outputs gated: on the DAC programmer the
    // first VOLTSET takes Vcc and Vpp off the socket together, where loading
    // Vcc 0 first would leave Vpp on an unpowered chip. The hold ends with
    // the reset, so a supply set by hand afterwards reaches the socket.
    supplyHeld = true;
    for (int i = 0; i < 4; ++i) {
        SetVcc(0.0f);
        SetVpp(0.0f);
    }
    supplyHeld = false;
    SetTimer(0, 2);
    outputPortRegister = 0;
    SetResultIndicator(0);
    addressHigh = addressMiddle = addressLow = dataHigh = dataLow = MaskPair{};
}

bool LinkContext::FixedSupplyLevels() const { return krt1Revision != kDacRevision; }

}  // namespace krt
