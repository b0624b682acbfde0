// SPDX-License-Identifier: GPL-3.0-or-later
// Shared set-up of the family tests: device records and a link on the
// recording port with the family factory installed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/TestLink.h"
#include "families/CreateFamily.h"

namespace krt::test {

// A 27C256-like byte-wide EPROM of `words` addresses.
inline DeviceRecord ByteEprom(uint32_t words = 0x8000) {
    DeviceRecord r;
    r.name = "27C256";
    r.type = "EPROM";
    r.manufacture = "TEST";
    r.maxsize = words;
    r.bufsize = words;
    r.tpw = 100e-6;
    r.retry = 25;
    r.verify = 1;
    r.typecode = 0;
    r.ahand = r.amand = r.aland = r.dhand = r.dland = 0xFF;
    r.VppR = 5.0;
    r.VccR = 5.0;
    r.VppW = 12.75;
    r.VccW = 6.25;
    r.bytesPerWord = 1;
    return r;
}

// A 27C1024-like 16-bit EPROM (type code 0x18).
inline DeviceRecord WordEprom(uint32_t words = 0x10000) {
    DeviceRecord r = ByteEprom(words);
    r.name = "27C1024";
    r.typecode = 0x18;
    r.wordsize = 1;
    r.wordaccess = 1;
    r.bytesPerWord = 2;
    r.bufsize = words * 2;
    return r;
}

// The frames that LinkReset sends on a programmer with fixed supply levels:
// timer count 2, output port 0.
inline const std::vector<uint8_t> kResetFrames = {0x10, 0x02, 0x11, 0x00, 0x12, 0x00};

inline std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// How often a command was sent: the frames are walked command by command
// (opcode, then its operand when it has one), so operands never count.
inline size_t CountOf(const std::vector<uint8_t>& frames, uint8_t opcode) {
    auto hasOperand = [](uint8_t op) { return !(op <= 0x01 || (op >= 0x04 && op <= 0x06) || op == 0x14); };
    size_t n = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        n += frames[i] == opcode;
        if (hasOperand(frames[i])) ++i;
    }
    return n;
}

// A link on the recording port, found programmer, family factory installed.
struct FamilyLink : TestLink {
    std::vector<uint8_t> buffer;

    explicit FamilyLink(DeviceRecord r = ByteEprom(0x100)) {
        record = std::move(r);
        buffer.assign(record.bufsize, 0xFF);
        link.createFamily = &CreateFamily;
        link.programmerFound = true;
        link.clockFrequency = 4e6;
    }

    uint8_t Operation(uint8_t code, uint32_t start, uint32_t length, uint32_t permitted = 100) {
        LinkRequest request;
        request.code = code;
        request.buffer = buffer.data();
        request.startAddress = start;
        request.length = length;
        request.permittedErrorCount = permitted;
        return Dispatch(link, request, record);
    }

    bool Logged(const std::string& line) const {
        for (const auto& l : log.lines())
            if (l == line) return true;
        return false;
    }
};

}  // namespace krt::test
