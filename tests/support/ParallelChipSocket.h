// SPDX-License-Identifier: GPL-3.0-or-later
// A byte-wide parallel chip model (EEPROM, 5 V flash) on its pins as the
// simulated socket drives it: powered, past its power-up delay, with bus
// write and read cycles, command sequences and time that passes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "sim/Chip.h"

namespace krt::test {

inline constexpr uint64_t kUs = 1000;
inline constexpr uint64_t kMs = 1000 * kUs;

using Cycles = std::initializer_list<std::pair<uint32_t, uint8_t>>;

// ChipT is made from its part name and the facts LookUp finds for it;
// Settle() lets settleNs pass by default (a write cycle's worst case).
template <class ChipT, class FactsT, bool (*LookUp)(const std::string&, FactsT&), uint64_t settleNs>
struct ParallelChipSocket {
    ChipT chip;
    SocketState s;

    explicit ParallelChipSocket(const char* name) : chip(name, Facts(name)) {
        s.deviceConfig = 0x12;
        Supply(5.0);
        s.nowNs += 10 * kMs;
    }
    static FactsT Facts(const char* name) {
        FactsT f;
        EXPECT_TRUE(LookUp(name, f)) << name;
        return f;
    }
    void Supply(double vcc) {
        s.vcc = vcc;
        chip.PinsChanged(s, kPinSupply);
    }
    void Write(uint32_t address, uint8_t data, uint64_t gapNs = 10 * kUs) {
        s.nowNs += gapNs;
        s.address = address;
        s.dataLow = data;
        chip.WriteCycle(s, DataLane::Low, 750);
    }
    void Sequence(Cycles cycles, uint64_t gapNs = 10 * kUs) {
        for (auto [a, d] : cycles) Write(a, d, gapNs);
    }
    uint8_t Read(uint32_t address, uint64_t gapNs = 40 * kUs) {
        s.nowNs += gapNs;
        s.address = address;
        return static_cast<uint8_t>(chip.ReadCycle(s, DataLane::Low));
    }
    // Lets the time pass and brings the chip up to date (as any event does).
    void Settle(uint64_t ns = settleNs) {
        s.nowNs += ns;
        chip.Busy(s.nowNs);
    }
};

}  // namespace krt::test
