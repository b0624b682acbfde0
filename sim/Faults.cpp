// SPDX-License-Identifier: GPL-3.0-or-later
// The faults that the simulated programmer can be given by name: the
// programmer's own (no programmer, stays busy, empty socket, weak and dead
// cells, crystal) and the chip faults of the table below, which the chip
// in the socket applies when it is of the kind that knows them.
#include <cctype>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimTexts.h"
#include "sim/VirtualKrt.h"

namespace krt {

namespace {

// Chip faults: one row each; the chip model that knows the name applies it
// (Chip::ApplyFault).
struct ChipFault {
    const char* name;
    const char* usage;  // as listed in the help
    const char* chips;  // the chips that know it, for a refusal
};
const std::vector<ChipFault> kChipFaults = {
    // Parallel EEPROM.
    {"sdp-locked", "sdp-locked", "parallel EEPROMs with software data protection, page-mode 5 V flash"},
    {"slow-write", "slow-write", "parallel EEPROMs, 5 V flash"},
    // Parallel and serial EEPROM: the chip's own write cycle never ends.
    {"never-ready", "never-ready", "parallel and serial EEPROMs, 5 V flash"},
    // 28F flash.
    {"erase-pulses", "erase-pulses:N", "flash"},
    {"never-erases", "never-erases", "flash"},
    // Serial EEPROM.
    {"no-ack", "no-ack", "serial EEPROMs"},
    {"write-protect", "write-protect", "two-wire serial EEPROMs"},
    // GAL.
    {"weak-rows", "weak-rows:ROW[,ROW...][@N]", "GALs"},
    {"secured", "secured", "GALs"},
    {"wrong-vpp", "wrong-vpp", "GALs"},
    {"slow-erase", "slow-erase", "GALs"},
    // PIC.
    {"code-protected", "code-protected", "PICs"},
    {"weak-words", "weak-words:ADDR[,ADDR...]", "PICs"},
    {"wrong-part", "wrong-part", "PICs, flash and GALs (another part's identity)"},
    // 5 V flash: the same maker's code with another device code.
    {"other-device", "other-device", "5 V flash"},
    // Chips other than their label says (what krt check looks for).
    {"aliased", "aliased:N", "parallel and serial EEPROMs, 28F and 5 V flash, PICs, EPROMs and OTP PROMs, static RAMs"},
    {"slow", "slow:F", "parallel and two-wire serial EEPROMs, 5 V flash"},
    {"unstable-bits", "unstable-bits", "EPROMs and OTP PROMs, static RAMs"},
    {"blank-signature", "blank-signature", "5 V flash, PIC16F84A, GALs"},
};

bool ParseHexByte(std::string_view text, uint8_t& value) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    if (text.empty() || text.size() > 2) return false;
    unsigned v = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        v = v * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::tolower(c) - 'a' + 10));
    }
    value = static_cast<uint8_t>(v);
    return true;
}

bool ParseNumber(std::string_view text, int base, uint64_t limit, uint64_t& value) {
    if (base == 16 && text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    if (text.empty() || text.size() > 16) return false;
    uint64_t v = 0;
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        unsigned d;
        if (std::isdigit(u)) d = static_cast<unsigned>(u - '0');
        else if (base == 16 && std::isxdigit(u)) d = static_cast<unsigned>(std::tolower(u) - 'a' + 10);
        else return false;
        v = v * static_cast<uint64_t>(base) + d;
        if (v > limit) return false;
    }
    value = v;
    return true;
}

// "A,B,C" of hexadecimal cell addresses.
bool ParseAddressList(std::string_view text, std::vector<uint32_t>& out) {
    if (text.empty()) return false;
    while (true) {
        size_t comma = text.find(',');
        uint64_t a = 0;
        if (!ParseNumber(text.substr(0, comma), 16, 0xFFFFFF, a)) return false;
        out.push_back(static_cast<uint32_t>(a));
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

std::string Formatted(const char* format, std::string_view a, std::string_view b = {}) {
    std::string sa(a), sb(b);
    int n = std::snprintf(nullptr, 0, format, sa.c_str(), sb.c_str());
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    std::snprintf(out.data(), out.size() + 1, format, sa.c_str(), sb.c_str());
    return out;
}

// What is wrong with a chip fault's arguments, told without a chip (the
// chip that takes the fault checks them again against itself); empty when
// nothing is.
std::string ChipFaultArgsProblem(std::string_view name, bool hasArgs, std::string_view args) {
    uint64_t n = 0;
    if (name == "erase-pulses") {
        if (!ParseNumber(args, 10, 1000000, n) || n == 0)
            return "needs the number of erase pulses each byte needs (1 to 1000000)";
        return {};
    }
    if (name == "weak-rows") {
        std::string_view list = args;
        const size_t at = list.find('@');
        if (at != std::string_view::npos) {
            if (!ParseNumber(list.substr(at + 1), 10, 255, n) || n == 0)
                return "needs decimal row numbers 0 to 63, optionally @PULSES (1 to 255)";
            list = list.substr(0, at);
        }
        while (true) {
            const size_t comma = list.find(',');
            if (!ParseNumber(list.substr(0, comma), 10, 63, n))
                return "needs decimal row numbers 0 to 63, optionally @PULSES (1 to 255)";
            if (comma == std::string_view::npos) return {};
            list.remove_prefix(comma + 1);
        }
    }
    if (name == "aliased" || name == "slow") {
        if (!ParseNumber(args, 10, 1000, n) || n == 0)
            return name == "aliased" ? "needs the first address line that does nothing (decimal)"
                                     : "needs the factor F (1 to 1000) over the datasheet's maximum";
        return {};
    }
    if (name == "weak-words") {
        std::vector<uint32_t> addresses;
        if (!ParseAddressList(args, addresses)) return kSimTextNeedsAddresses;
        return {};
    }
    if (hasArgs) return kSimTextNoArgs;
    return {};
}

}  // namespace

void VirtualKrt::NoteFault(std::string_view name) {
    if (!faultSummary_.empty()) faultSummary_ += ", ";
    faultSummary_ += name;
}

bool VirtualKrt::ApplyFault(std::string_view fault, std::string& error) {
    const size_t colon = fault.find(':');
    const std::string_view name = fault.substr(0, colon);
    const bool hasArgs = colon != std::string_view::npos;
    const std::string_view args = hasArgs ? fault.substr(colon + 1) : std::string_view{};
    auto noArgs = [&](auto apply) {
        if (hasArgs) {
            error = Formatted(kSimTextBadFaultArgs, fault, kSimTextNoArgs);
            return false;
        }
        apply();
        NoteFault(fault);
        return true;
    };
    if (name == "no-programmer-high") return noArgs([&] { presence_ = Presence::AckFloatsHigh; });
    if (name == "no-programmer-low") return noArgs([&] { presence_ = Presence::AckFloatsLow; });
    if (name == "stays-busy") return noArgs([&] { staysBusy_ = true; });
    if (name == "empty-socket") return noArgs([&] { socketEmptied_ = true; });
    if (name == "weak-cells") {
        std::string_view list = args;
        uint64_t pulses = CellFaults::kDefaultWeakPulses;
        const size_t at = list.find('@');
        if (at != std::string_view::npos) {
            if (!ParseNumber(list.substr(at + 1), 10, 255, pulses) || pulses == 0) {
                error = Formatted(kSimTextBadFaultArgs, fault, kSimTextNeedsPulses);
                return false;
            }
            list = list.substr(0, at);
        }
        std::vector<uint32_t> addresses;
        if (!ParseAddressList(list, addresses)) {
            error = Formatted(kSimTextBadFaultArgs, fault, kSimTextNeedsAddresses);
            return false;
        }
        CellFaults faults = cellFaults_;
        for (uint32_t a : addresses) faults.weak.push_back({a, static_cast<uint32_t>(pulses)});
        SetCellFaults(faults);
        NoteFault(fault);
        return true;
    }
    if (name == "dead-cells") {
        std::vector<uint32_t> addresses;
        if (!ParseAddressList(args, addresses)) {
            error = Formatted(kSimTextBadFaultArgs, fault, kSimTextNeedsAddresses);
            return false;
        }
        CellFaults faults = cellFaults_;
        faults.dead.insert(faults.dead.end(), addresses.begin(), addresses.end());
        SetCellFaults(faults);
        NoteFault(fault);
        return true;
    }
    if (name == "crystal") {
        uint64_t hz = 0;
        if (!ParseNumber(args, 10, 0xFFFFFFFFu, hz) || hz == 0) {
            error = Formatted(kSimTextBadFaultArgs, fault, kSimTextNeedsHz);
            return false;
        }
        crystalHz_ = static_cast<uint32_t>(hz);
        NoteFault(fault);
        return true;
    }
    for (const ChipFault& known : kChipFaults) {
        if (name != known.name) continue;
        if (const std::string problem = ChipFaultArgsProblem(name, hasArgs, args); !problem.empty()) {
            error = Formatted(kSimTextBadFaultArgs, fault, problem);
            return false;
        }
        chipFaults_.emplace_back(std::string(name), std::string(args));
        if (Chip* chip = chip_.get()) {
            if (!chip->ApplyFault(name, args, error) && !error.empty()) {
                chipFaults_.pop_back();
                error = Formatted(kSimTextBadFaultArgs, fault, error);
                return false;
            }
        }
        NoteFault(fault);
        return true;
    }
    error = Formatted(kSimTextUnknownFault, fault, FaultList());
    return false;
}

bool VirtualKrt::CheckChipFaults(const std::vector<std::string>& faults, Chip* probe, std::string& error) {
    for (const std::string& fault : faults) {
        const size_t colon = fault.find(':');
        const std::string name = fault.substr(0, colon);
        const std::string args = colon == std::string::npos ? std::string() : fault.substr(colon + 1);
        // Cell faults belong to the programmer's list but act through the
        // chip: one the chip in the socket would ignore tests nothing.
        const bool weak = name == "weak-cells", dead = name == "dead-cells";
        if (probe && ((weak && !probe->TakesWeakCells()) || (dead && !probe->TakesDeadCells()))) {
            const std::string chip = std::string(probe->Kind()) + " " + probe->DeviceName();
            error = Formatted(kSimTextFaultOtherChip, fault, chip);
            error += Formatted(kSimTextFaultIsFor, weak ? kSimTextWeakCellChips : kSimTextDeadCellChips);
            return false;
        }
        const ChipFault* known = nullptr;
        for (const ChipFault& f : kChipFaults)
            if (name == f.name) known = &f;
        if (!known) continue;  // a fault of the programmer
        if (!probe) {
            error = Formatted(kSimTextFaultNoChip, fault, known->chips);
            return false;
        }
        std::string why;
        if (probe->ApplyFault(name, args, why)) continue;
        if (why.empty()) {
            const std::string chip = std::string(probe->Kind()) + " " + probe->DeviceName();
            error = Formatted(kSimTextFaultOtherChip, fault, chip);
            error += Formatted(kSimTextFaultIsFor, known->chips);
        } else {
            error = Formatted(kSimTextBadFaultArgs, fault, why);
        }
        return false;
    }
    return true;
}

void VirtualKrt::ApplyChipFaults() {
    std::string ignored;
    for (const auto& [name, args] : chipFaults_) chip_->ApplyFault(name, args, ignored);
}

std::string VirtualKrt::FaultList() {
    std::string list = kSimTextFaultList;
    for (const ChipFault& known : kChipFaults) {
        list += ", ";
        list += known.usage;
    }
    return list;
}

bool VirtualKrt::ApplyRevisions(std::string_view text, std::string& error) {
    const size_t comma = text.find(',');
    uint8_t a = 0, b = 0;
    if (comma == std::string_view::npos || !ParseHexByte(text.substr(0, comma), a) ||
        !ParseHexByte(text.substr(comma + 1), b)) {
        error = Formatted(kSimTextBadRevisions, text);
        return false;
    }
    SetRevisions(a, b);
    return true;
}

}  // namespace krt
