// SPDX-License-Identifier: GPL-3.0-or-later
// The faults that make a chip other than its label says, for the chip models
// whose datasheet lets them show it:
// - aliased:N, address lines N and above reach no cell of their own (a chip
//   of 2^N words under a larger label: the image wraps at 2^N);
// - slow:F, every write cycle and erase takes F times the datasheet maximum
//   (an older or slower die);
// - unstable-bits, a few cells read differently from one read to the next
//   (weak charge or a poor contact): one cell in 512, a fixed bit each, and
//   that bit reads inverted on about one read in four.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace krt {

// The address lines of a chip whose addresses are masked with mask (2^n - 1).
inline uint32_t AddressLines(uint32_t mask) {
    uint32_t n = 0;
    while (n < 32 && (mask >> n) & 1) ++n;
    return n;
}

struct FakeChipFaults {
    // What the chip model allows; a fault outside it is not taken.
    struct Allowed {
        uint32_t addressLines = 0;  // 0: aliased is not taken
        bool slow = false;
        bool unstable = false;
    };

    uint32_t aliasMask = 0xFFFFFFFFu;
    uint32_t slowFactor = 0;  // 0: the model's own timing
    bool unstable = false;

    // True when name is one of the three and the chip takes it; false with
    // error empty when it is not one of them or the chip does not take it,
    // with error set when the arguments are wrong for this chip.
    bool Take(std::string_view name, std::string_view args, const Allowed& allowed, std::string& error) {
        error.clear();
        uint64_t n = 0;
        if (name == "aliased" && allowed.addressLines > 0) {
            if (!Number(args, n) || n < 1 || n >= allowed.addressLines) {
                error = "needs N from 1 to " + std::to_string(allowed.addressLines - 1) +
                        " (the chip has address lines A0 to A" + std::to_string(allowed.addressLines - 1) + ")";
                return false;
            }
            aliasMask = (1u << n) - 1;
            return true;
        }
        if (name == "slow" && allowed.slow) {
            if (!Number(args, n) || n < 1 || n > 1000) {
                error = "needs a factor F from 1 to 1000";
                return false;
            }
            slowFactor = static_cast<uint32_t>(n);
            return true;
        }
        if (name == "unstable-bits" && allowed.unstable) {
            if (!args.empty()) {
                error = "takes no arguments";
                return false;
            }
            unstable = true;
            return true;
        }
        return false;
    }

    uint32_t Address(uint32_t address) const { return address & aliasMask; }
    // The length of a write cycle or erase: F times the maximum under slow:F.
    uint64_t Length(uint64_t normalNs, uint64_t maximumNs) const { return slowFactor ? maximumNs * slowFactor : normalNs; }
    // A cell's value as read (cell: its address after aliasing).
    uint16_t Read(uint32_t cell, uint16_t value) {
        if (!unstable || (cell & 0x1FF) != 0x155) return value;
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        if ((state_ & 3) != 0) return value;
        return static_cast<uint16_t>(value ^ (1u << ((cell >> 9) & 7)));
    }

private:
    static bool Number(std::string_view text, uint64_t& value) {
        if (text.empty() || text.size() > 9) return false;
        value = 0;
        for (char c : text) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + static_cast<uint64_t>(c - '0');
        }
        return true;
    }
    uint32_t state_ = 0x2545F491u;
};

}  // namespace krt
