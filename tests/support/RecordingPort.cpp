// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingPort.h"

#include <cstdio>

namespace krt::test {

uint8_t RecordingPort::read(uint16_t address) {
    uint8_t value = 0xFF;
    if (address == base) {
        value = data;
    } else if (address == base + 1) {
        if (!statusScript.empty()) {
            value = statusScript.front();
            statusScript.pop_front();
        } else {
            value = statusDefault;
        }
    } else if (address == base + 2) {
        value = control;
    }
    ++reads;
    if (record) accesses.push_back({false, address, value});
    return value;
}

void RecordingPort::write(uint16_t address, uint8_t value) {
    if (address == base) data = value;
    if (address == base + 2) control = value;
    ++writes;
    if (record) accesses.push_back({true, address, value});
}

void RecordingPort::ScriptReply(uint8_t value) {
    for (int bit = 0; bit < 8; ++bit) statusScript.push_back((value >> bit) & 1 ? 0x00 : 0x40);
}

void RecordingPort::ScriptBusy(unsigned count) {
    for (unsigned i = 0; i < count; ++i) statusScript.push_back(0x00);
}

Lines RecordingPort::Trace() const {
    Lines out;
    out.reserve(accesses.size());
    char text[16];
    for (const PortAccess& a : accesses) {
        std::snprintf(text, sizeof text, "%c %04X %02X", a.write ? 'W' : 'R', a.address, a.value);
        out.emplace_back(text);
    }
    return out;
}

std::vector<uint8_t> RecordingPort::Frames() const {
    std::vector<uint8_t> out;
    uint8_t lastData = 0, lastControl = 0;
    for (const PortAccess& a : accesses) {
        if (!a.write) continue;
        if (a.address == base) lastData = a.value;
        if (a.address == base + 2) {
            if ((a.value & 1) && !(lastControl & 1)) out.push_back(lastData);
            lastControl = a.value;
        }
    }
    return out;
}

std::vector<uint8_t> RecordingPort::CommandFrames() const {
    // A read slot is a NOP frame with a status read while the strobe is up.
    std::vector<uint8_t> out;
    uint8_t lastData = 0, lastControl = 0;
    bool pending = false;
    uint8_t pendingByte = 0;
    for (const PortAccess& a : accesses) {
        if (!a.write) {
            if (a.address == base + 1 && (lastControl & 1)) pending = false;  // a read slot
            continue;
        }
        if (a.address == base) lastData = a.value;
        if (a.address == base + 2) {
            if ((a.value & 1) && !(lastControl & 1)) {
                pending = true;
                pendingByte = lastData;
            } else if (!(a.value & 1) && (lastControl & 1) && pending) {
                out.push_back(pendingByte);
                pending = false;
            }
            lastControl = a.value;
        }
    }
    return out;
}

}  // namespace krt::test
