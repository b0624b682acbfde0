// SPDX-License-Identifier: GPL-3.0-or-later
#include "families/GalSignature.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/Log.h"

namespace krt {

namespace {

struct Maker {
    uint8_t code;
    const char* name;
};
constexpr Maker kMakers[] = {{0xA1, "Lattice"}, {0x8F, "National"}, {0x20, "ST"}};

struct Part {
    uint8_t code;
    const char* name;
    uint8_t typeCode;
};
constexpr Part kParts[] = {{0x00, "GAL16V8", 5}, {0x1A, "GAL16V8", 5}, {0x20, "GAL20V8", 6},
                           {0x3A, "GAL20V8", 6}, {0x48, "GAL22V10", 7}, {0x49, "GAL22V10", 7}};

// Programming voltage and pulse by algorithm code; National's parts take
// 15.0 V where the others take 14.5 V. Algorithm 5 carries its own values.
struct Algorithm {
    double vpp;
    unsigned pulseMs;
};
constexpr Algorithm kAlgorithmsV8[] = {{15.75, 100}, {15.75, 80}, {16.5, 10}, {14.5, 40}, {14.0, 100}};
constexpr Algorithm kAlgorithms22V10[] = {{16.5, 10}, {15.75, 100}, {14.5, 40}, {14.0, 100}};
constexpr unsigned kAlgorithm5PulseMs[] = {1, 2, 5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 200};

// ATF texts, read from byte 2 on (the name's characters before the letter
// of its variant, last first), and the variant letter in byte 1 that makes
// the part a C: the C parts carry a power-down fuse and have their own
// read-out (16V8) or row-address order (22V10).
struct AtfFamily {
    const char* text;  // bytes 2, 3, ...
    const char* base;  // the name without its variant letter
    uint8_t typeCode;
    const char* algorithmB;
    const char* algorithmC;  // null: every variant is a B
};
constexpr AtfFamily kAtfFamilies[] = {
    {"8V61F", "ATF16V8", 5, "ATF16V8B", "ATF16V8C"},
    {"8V02F", "ATF20V8", 6, "ATF20V8B", nullptr},
    {"01V22F", "ATF22V10", 7, "ATF22V10B", "ATF22V10C"},
};

void DecodeAtf(GalSignature& s) {
    for (const AtfFamily& f : kAtfFamilies) {
        const size_t n = std::strlen(f.text);
        if (std::memcmp(s.bytes + 2, f.text, n) != 0) continue;
        const char variant = static_cast<char>(s.bytes[1]);
        const bool c = f.algorithmC != nullptr && (f.typeCode == 7 ? variant != 'B' : variant == 'C' || variant == 'Z');
        s.atfAlgorithm = c ? f.algorithmC : f.algorithmB;
        s.atfTypeCode = f.typeCode;
        s.atfName = f.base;
        if (variant == 'Z') s.atfName += f.typeCode == 7 ? "CQZ" : "CZ";
        else if (variant >= 'A' && variant <= 'Z') s.atfName += variant;
        return;
    }
}

}  // namespace

bool GalSignature::FitsTypeCode(uint8_t typeCode) const {
    if (Atf()) return atfTypeCode == typeCode;
    for (const Part& p : kParts)
        if (part != nullptr && p.code == bytes[2] && p.typeCode == typeCode) return true;
    return false;
}

bool GalSignature::AllBits(uint8_t value) const {
    const uint8_t byte = value ? 0xFF : 0x00;
    return std::all_of(std::begin(bytes), std::end(bytes), [&](uint8_t b) { return b == byte; });
}

GalSignature DecodeGalSignature(const uint8_t* bits) {
    GalSignature s;
    for (int b = 0; b < 8; ++b)
        for (int i = 0; i < 8; ++i) s.bytes[b] = static_cast<uint8_t>(s.bytes[b] | (bits[8 * b + i] ? 1 << i : 0));
    DecodeAtf(s);
    if (s.Atf()) return s;
    for (const Maker& m : kMakers)
        if (m.code == s.bytes[3]) s.maker = m.name;
    s.algorithm = s.bytes[1] & 0x0F;
    s.lowVoltage = (s.bytes[1] & 0x10) != 0;
    // Without a known maker the other bytes mean nothing (an erased-all
    // signature reads 0 throughout).
    if (s.maker == nullptr) return s;
    uint8_t typeCode = 0;
    for (const Part& p : kParts)
        if (p.code == s.bytes[2]) {
            s.part = p.name;
            typeCode = p.typeCode;
        }
    if (s.part == nullptr) return s;
    const bool national = s.bytes[3] == 0x8F;
    if (s.algorithm == 5) {
        const unsigned index = ((s.bytes[5] << 8 | s.bytes[4]) >> 5) & 15;
        if (index < std::size(kAlgorithm5PulseMs)) {
            s.vpp = 5.0 + 0.5 * ((s.bytes[5] >> 1) & 31);
            s.pulseSeconds = kAlgorithm5PulseMs[index] / 1000.0;
        }
        return s;
    }
    const Algorithm* table = typeCode == 7 ? kAlgorithms22V10 : kAlgorithmsV8;
    const size_t count = typeCode == 7 ? std::size(kAlgorithms22V10) : std::size(kAlgorithmsV8);
    if (static_cast<size_t>(s.algorithm) >= count) return s;
    s.vpp = table[s.algorithm].vpp;
    if (national && s.vpp == 14.5) s.vpp = 15.0;
    s.pulseSeconds = table[s.algorithm].pulseMs / 1000.0;
    return s;
}

std::string DescribeGalSignature(const GalSignature& s) {
    std::string text;
    if (s.Atf()) {
        text = "Atmel " + s.atfName;
    } else {
        text = Format("%s %s, algorithm %d", s.maker ? s.maker : "unknown maker", s.part ? s.part : "unknown part",
                      s.algorithm);
        if (s.lowVoltage) text += " (3.3 V)";
        if (s.vpp > 0.0) text += Format(": %.2f V, %g ms", s.vpp, s.pulseSeconds * 1000.0);
    }
    text += " (PES";
    for (uint8_t b : s.bytes) text += Format(" %02X", b);
    return text + ")";
}

}  // namespace krt
