// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Chip.h"

#include <cctype>

#include "sim/SimTexts.h"

namespace krt {

namespace {

const PinInput* FindInput(const SocketWiring* wiring, Pin pin) {
    if (!wiring) return nullptr;
    for (const PinInput& in : wiring->inputs)
        if (in.pin == pin) return &in;
    return nullptr;
}

}  // namespace

bool SocketState::ProgrammerDrives(Pin pin) const {
    if (!wiring || !FindInput(wiring, pin)) return false;
    return wiring->sharedLine != pin || (cPort() & 0x80);
}

bool SocketState::Level(Pin pin) const {
    const PinInput* in = FindInput(wiring, pin);
    if (!in) return false;
    if (wiring->sharedLine == pin && !(cPort() & 0x80)) return true;  // released: the pull-up
    const uint8_t latch = in->latch == LatchByte::DataLow ? dataLow : dataHigh;
    return (latch >> in->bit) & 1;
}

std::string UpperCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Chip::Describe() const { return std::string(Kind()) + " " + deviceName_; }

bool Chip::UvErase(std::string& reason) {
    reason = kSimTextNoErase;
    return false;
}

}  // namespace krt
