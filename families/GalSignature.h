// SPDX-License-Identifier: GPL-3.0-or-later
// What a GAL's electronic signature (the PES row, read as 8 bytes, each
// least significant bit first) says of the chip. Lattice-style signatures
// carry maker, device and programming-algorithm codes; Atmel's ATF parts
// carry their part name as ASCII text, last character first ("1B8V61F1" on
// an ATF16V8B), whose bytes mean nothing as codes: read as Lattice codes
// they would ask for a voltage above the ATF's absolute maximum.
#pragma once

#include <cstdint>
#include <string>

namespace krt {

struct GalSignature {
    uint8_t bytes[8] = {};
    const char* maker = nullptr;  // null: no maker this family knows
    const char* part = nullptr;   // null: a device code this family does not know
    int algorithm = -1;
    bool lowVoltage = false;      // a 3.3 V part
    double vpp = 0.0;             // volts; 0 when the algorithm is unknown
    double pulseSeconds = 0.0;
    // An ATF text signature: the programming algorithm it needs, which is
    // also the name of its catalogue entry ("ATF22V10C"), and the part the
    // text names ("ATF22V10CQZ"). Null otherwise.
    const char* atfAlgorithm = nullptr;
    std::string atfName;
    uint8_t atfTypeCode = 0;

    bool Atf() const { return atfAlgorithm != nullptr; }
    // A Lattice-style signature whose maker, part and algorithm are known.
    bool Valid() const { return maker != nullptr && part != nullptr && vpp > 0.0; }
    // The part names the wiring of `typeCode` (5 16V8, 6 20V8, 7 22V10).
    bool FitsTypeCode(uint8_t typeCode) const;
    // Every bit the same: nothing drives the data-out line.
    bool AllBits(uint8_t value) const;
};

// Decodes 64 PES bits (shift order): an ATF text first, else the codes by
// the algorithm table the GAL programmers share.
GalSignature DecodeGalSignature(const uint8_t* bits);

// "Lattice GAL16V8, algorithm 3: 14.50 V, 40 ms (PES 00 03 ...)" or
// "Atmel ATF16V8B (PES 31 42 ...)".
std::string DescribeGalSignature(const GalSignature& s);

}  // namespace krt
