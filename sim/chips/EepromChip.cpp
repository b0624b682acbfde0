// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/chips/EepromChip.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "catalogue/DeviceRecord.h"
#include "sim/ChipImageValues.h"
#include "sim/SimTexts.h"

namespace krt {

namespace {


struct EepromPart {
    const char* number;
    EepromFacts facts;
};

// From the makers' datasheets (Atmel AT28C16, AT28C64, AT28C64B, AT28C256,
// AT28C010, AT28C040; Xicor X28C256; Catalyst CAT28C256): size, page, tBLC,
// tWC max, end-of-write signals, software data protection, write-inhibit
// Vcc, Vcc absolute maximum. The bare numbers stand for the Atmel parts.
const EepromPart kEepromParts[] = {
    {"28C16", {0x800, 1, 0, 1 * kNsPerMs, false, false, false, 3.8, 5 * kNsPerMs, 6.25}},
    {"28C64", {0x2000, 1, 0, 1 * kNsPerMs, false, true, false, 3.8, 5 * kNsPerMs, 6.25}},
    {"28C64B", {0x2000, 64, 150 * kNsPerUs, 10 * kNsPerMs, true, false, true, 3.8, 5 * kNsPerMs, 6.25}},
    {"28C256", {0x8000, 64, 150 * kNsPerUs, 10 * kNsPerMs, true, false, true, 3.8, 5 * kNsPerMs, 6.25}},
    {"28C010", {0x20000, 128, 150 * kNsPerUs, 10 * kNsPerMs, true, false, true, 3.8, 5 * kNsPerMs, 6.25}},
    {"28C040", {0x80000, 256, 150 * kNsPerUs, 10 * kNsPerMs, true, false, true, 3.8, 5 * kNsPerMs, 6.25}},
    {"X28C256", {0x8000, 64, 100 * kNsPerUs, 5 * kNsPerMs, true, false, true, 3.5, 5 * kNsPerMs, 6.25}},
    {"CAT28C256", {0x8000, 64, 100 * kNsPerUs, 5 * kNsPerMs, true, false, true, 3.8, 5 * kNsPerMs, 6.25}},
    // AT28C17: the AT28C64's byte write and RDY/BUSY on 2K x 8; the F grade
    // of the AT28C256 and the high-speed AT28HC parts write the same pages
    // (3 ms cycle on the F grade); X28HC256 ships unprotected, its 5 ms
    // cycle and its page as the X28C256's.
    {"28C17", {0x800, 1, 0, 1 * kNsPerMs, false, true, false, 3.8, 5 * kNsPerMs, 6.25}},
    {"28C256F", {0x8000, 64, 150 * kNsPerUs, 3 * kNsPerMs, true, false, true, 3.8, 5 * kNsPerMs, 6.25}},
    {"28HC256", {0x8000, 64, 150 * kNsPerUs, 10 * kNsPerMs, true, false, true, 3.8, 5 * kNsPerMs, 6.25}},
    {"28HC64B", {0x2000, 64, 150 * kNsPerUs, 10 * kNsPerMs, true, false, true, 3.8, 5 * kNsPerMs, 6.25}},
    {"X28HC256", {0x8000, 64, 100 * kNsPerUs, 5 * kNsPerMs, true, false, true, 3.5, 5 * kNsPerMs, 6.25}},
};

// Software data protection sequences; the chip decodes A0-A14 (A0-A12 on 8K parts).
struct Step {
    uint32_t address;
    uint8_t data;
};
constexpr Step kEnable[] = {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0xA0}};
constexpr Step kDisable[] = {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x80},
                             {0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x20}};

constexpr const char* kEepromDescription = "EEPROM %s (%lu x 8 bits%s)";
constexpr const char* kEepromProtectedNote = ", software data protection on";
constexpr const char* kEepromNoProtection = "this part has no software data protection";
constexpr const char* kEepromNoArguments = "takes no arguments";

}  // namespace

bool LookUpEepromPart(const std::string& name, EepromFacts& facts) {
    std::string u(name);
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const EepromPart* best = nullptr;
    for (const EepromPart& p : kEepromParts)
        if (u.find(p.number) != std::string::npos && (!best || std::strlen(p.number) > std::strlen(best->number)))
            best = &p;
    if (!best) return false;
    facts = best->facts;
    return true;
}

EepromFacts EepromFactsFor(const DeviceRecord& record, bool* fromTable) {
    EepromFacts facts;
    const bool found = LookUpEepromPart(record.name, facts);
    if (fromTable) *fromTable = found;
    if (!found) {
        // Unknown part: the catalogue's page size (when a power of two) and
        // its write time as the cycle's maximum; paged parts get the toggle
        // bit and protection, as every paged 28C part has them.
        facts.page = std::has_single_bit(record.pagesize) ? record.pagesize : 1;
        facts.cycleMaxNs = record.tpw >= 100e-6 ? static_cast<uint64_t>(std::llround(record.tpw * 1e9)) : 10 * kNsPerMs;
        facts.toggleBit = facts.protection = facts.page > 1;
        facts.readyBusy = false;
    }
    facts.bytes = record.maxsize;
    return facts;
}

std::unique_ptr<Chip> MakeBlankEeprom(const DeviceRecord& record, std::string& note) {
    if (record.maxsize == 0 || record.maxsize > EepromChip::kMaxBytes) {
        char text[256];
        std::snprintf(text, sizeof text, "device %s has %lu addresses; the simulated EEPROM holds 1 to 1M",
                      record.name.c_str(), static_cast<unsigned long>(record.maxsize));
        note = text;
        return nullptr;
    }
    return std::make_unique<EepromChip>(record.name, EepromFactsFor(record));
}

std::unique_ptr<Chip> MakeShapedEeprom(const ChipImage& image, std::string& error) {
    auto it = image.values.find("bytes");
    const unsigned long bytes = it == image.values.end() ? 0 : std::strtoul(it->second.c_str(), nullptr, 10);
    if (bytes == 0 || bytes > EepromChip::kMaxBytes) {
        error = kSimTextChipFileBadContents;
        return nullptr;
    }
    EepromFacts facts;
    LookUpEepromPart(image.device, facts);  // the file's own facts override these in Load
    facts.bytes = static_cast<uint32_t>(bytes);
    return std::make_unique<EepromChip>(image.device, facts);
}

EepromChip::EepromChip(std::string deviceName, const EepromFacts& facts)
    : Chip(std::move(deviceName)), facts_(facts) {
    facts_.bytes = std::clamp<uint32_t>(facts_.bytes, 1, kMaxBytes);
    if (!std::has_single_bit(facts_.page)) facts_.page = 1;
    mask_ = std::bit_ceil(facts_.bytes) - 1;
    cells_.assign(facts_.bytes, 0xFF);
    pageData_.assign(facts_.page, -1);
    socketConfig_ = 0x12;
}

std::string EepromChip::Describe() const {
    char text[200];
    std::snprintf(text, sizeof text, kEepromDescription, deviceName_.c_str(), static_cast<unsigned long>(facts_.bytes),
                  protected_ ? kEepromProtectedNote : "");
    return text;
}

void EepromChip::SetCell(uint32_t address, uint8_t value) {
    if (address >= cells_.size()) return;
    cells_[address] = value;
    changed_ = true;
}

void EepromChip::SetProtected(bool on) {
    if (protected_ != on) changed_ = true;
    protected_ = on;
}

bool EepromChip::Busy(uint64_t nowNs) {
    Advance(nowNs);
    return busy_;
}

void EepromChip::Advance(uint64_t nowNs) {
    if (loading_ && nowNs > lastStrobeNs_ + facts_.loadWindowNs) StartCycle(lastStrobeNs_ + facts_.loadWindowNs);
    if (busy_ && nowNs >= busyUntilNs_) EndCycle();
}

void EepromChip::PutInPage(uint32_t address, uint8_t data) {
    const uint32_t offset = address & (facts_.page - 1);
    if (pageData_[offset] < 0) loadedOffsets_.push_back(offset);
    pageData_[offset] = data;
    // The page is the one of the last byte loaded.
    pageBase_ = address & ~(facts_.page - 1);
}

void EepromChip::Load(uint32_t address, uint8_t data, uint64_t nowNs) {
    if (!loading_) {
        loading_ = true;
        matching_ = facts_.protection;
        matched_ = 0;
        held_.clear();
        unlocked_ = false;
        pendingProtection_ = -1;
    }
    lastStrobeNs_ = nowNs;
    lastByte_ = data;
    if (matching_) {
        const uint32_t decoded = address & 0x7FFF & mask_;
        auto is = [&](const Step& s) { return decoded == (s.address & mask_) && data == s.data; };
        if (matched_ == 2 && is(kEnable[2])) {
            unlocked_ = true;
            pendingProtection_ = 1;
            matching_ = false;
            held_.clear();
        } else if (matched_ == 5 && is(kDisable[5])) {
            unlocked_ = true;
            pendingProtection_ = 0;
            matching_ = false;
            held_.clear();
        } else if (matched_ < 5 && is(kDisable[matched_])) {
            held_.emplace_back(address, data);
            ++matched_;
        } else {
            // Not a command after all: what was held was data.
            matching_ = false;
            for (const auto& [a, d] : held_) PutInPage(a, d);
            held_.clear();
            PutInPage(address, data);
        }
    } else {
        PutInPage(address, data);
    }
    if (facts_.page <= 1 && !matching_) StartCycle(nowNs);
}

void EepromChip::StartCycle(uint64_t startNs) {
    loading_ = false;
    if (matching_) {
        // The window ended inside a sequence that was not completed: data.
        for (const auto& [a, d] : held_) PutInPage(a, d);
        held_.clear();
        matching_ = false;
    }
    writesData_ = !protected_ || unlocked_;
    busy_ = true;
    ++cycles_;
    busyUntilNs_ = neverReady_ ? std::numeric_limits<uint64_t>::max() : startNs + CycleNs();
}

bool EepromChip::TakesWrite(uint32_t address) {
    if (std::binary_search(dead_.begin(), dead_.end(), address)) return false;
    auto it = std::lower_bound(weak_.begin(), weak_.end(), address,
                               [](const WeakCell& w, uint32_t a) { return w.address < a; });
    if (it == weak_.end() || it->address != address) return true;
    uint32_t& seen = weakSeen_[static_cast<size_t>(it - weak_.begin())];
    if (seen < it->pulses) ++seen;
    return seen >= it->pulses;
}

void EepromChip::EndCycle() {
    busy_ = false;
    if (writesData_) {
        for (uint32_t offset : loadedOffsets_) {
            const uint32_t address = pageBase_ | offset;
            if (address >= cells_.size() || !TakesWrite(address)) continue;
            const uint8_t value = static_cast<uint8_t>(pageData_[offset]);
            if (cells_[address] != value) changed_ = true;
            cells_[address] = value;
        }
    }
    if (pendingProtection_ >= 0) SetProtected(pendingProtection_ == 1);
    Abandon();
}

// Clears the page buffer and any load or cycle in progress.
void EepromChip::Abandon() {
    for (uint32_t offset : loadedOffsets_) pageData_[offset] = -1;
    loadedOffsets_.clear();
    held_.clear();
    loading_ = matching_ = busy_ = false;
    pendingProtection_ = -1;
}

void EepromChip::PinsChanged(const SocketState& socket, uint32_t changed) {
    if (!(changed & kPinSupply)) return;
    Advance(socket.nowNs);
    if (socket.vcc < facts_.inhibitVcc) {
        if (powered_) Abandon();  // a load or a cycle cut off by the supply leaves the cells as they were
        powered_ = false;
    } else if (!powered_) {
        powered_ = true;
        poweredSinceNs_ = socket.nowNs;
    }
}

void EepromChip::WriteCycle(const SocketState& socket, DataLane lane, uint64_t strobeNs) {
    (void)lane;  // a byte-wide chip takes D0-D7 on either strobe
    (void)strobeNs;
    const uint64_t now = socket.nowNs;
    Advance(now);
    if (!powered_ || socket.vcc < facts_.inhibitVcc || now < poweredSinceNs_ + facts_.powerUpDelayNs) return;
    if (busy_) return;  // writes are ignored during the write cycle
    Load(socket.address & mask_, socket.dataLow, now);
}

uint16_t EepromChip::ReadCycle(const SocketState& socket, DataLane lane) {
    (void)lane;  // D8-D15 float; RDY/BUSY comes through Output
    Advance(socket.nowNs);
    if (socket.vcc < kReadVccMin) return 0xFFFF;
    // Output enable ends the byte-load window: the write cycle starts now.
    if (loading_) StartCycle(socket.nowNs);
    if (busy_) {
        // I/O7 is the complement of the last byte's bit 7; the datasheets
        // leave the other outputs undefined: the model shows them
        // complemented too, so that no read during the cycle passes for data.
        uint8_t v = static_cast<uint8_t>(~lastByte_);
        if (facts_.toggleBit) {
            v = static_cast<uint8_t>((v & ~0x40) | (toggle_ ? 0x40 : 0));
            toggle_ = !toggle_;
        }
        return static_cast<uint16_t>(0xFF00 | v);
    }
    const uint32_t a = socket.address & mask_;
    return static_cast<uint16_t>(0xFF00 | (a < cells_.size() ? cells_[a] : 0xFF));
}

bool EepromChip::Output(Pin pin, const SocketState& socket) {
    if (pin != Pin::RdyBusy || !facts_.readyBusy || socket.vcc < kReadVccMin) return true;
    Advance(socket.nowNs);
    return !busy_;  // open drain: low while the write cycle runs
}

bool EepromChip::ApplyFault(std::string_view name, std::string_view args, std::string& error) {
    error.clear();
    if (fakes_.Take(name, args, {AddressLines(mask_), true, false}, error)) {
        mask_ &= fakes_.aliasMask;
        return true;
    }
    if (!error.empty()) return false;
    if (name != "sdp-locked" && name != "never-ready" && name != "slow-write") return false;
    if (!args.empty()) {
        error = kEepromNoArguments;
        return false;
    }
    if (name == "sdp-locked") {
        if (!facts_.protection) {
            error = kEepromNoProtection;
            return false;
        }
        SetProtected(true);
    } else if (name == "never-ready") {
        neverReady_ = true;
        if (busy_) busyUntilNs_ = std::numeric_limits<uint64_t>::max();
    } else {
        slowWrite_ = true;
    }
    return true;
}

void EepromChip::SetCellFaults(const CellFaults& faults) {
    weak_.clear();
    for (auto it = faults.weak.rbegin(); it != faults.weak.rend(); ++it) {  // the last entry for an address wins
        bool seen = false;
        for (const WeakCell& w : weak_) seen = seen || w.address == it->address;
        if (!seen) weak_.push_back({it->address, std::max<uint32_t>(it->pulses, 1)});
    }
    std::sort(weak_.begin(), weak_.end(), [](const WeakCell& x, const WeakCell& y) { return x.address < y.address; });
    weakSeen_.assign(weak_.size(), 0);
    dead_ = faults.dead;
    std::sort(dead_.begin(), dead_.end());
}

void EepromChip::Save(ChipImage& image) const {
    image.kind = Kind();
    image.device = deviceName_;
    image.values["bytes"] = std::to_string(facts_.bytes);
    image.values["page"] = std::to_string(facts_.page);
    image.values["load-window-ns"] = std::to_string(facts_.loadWindowNs);
    image.values["cycle-max-ns"] = std::to_string(facts_.cycleMaxNs);
    image.values["toggle-bit"] = facts_.toggleBit ? "1" : "0";
    image.values["ready-busy"] = facts_.readyBusy ? "1" : "0";
    image.values["has-protection"] = facts_.protection ? "1" : "0";
    char volts[32];
    std::snprintf(volts, sizeof volts, "%.3f", facts_.inhibitVcc);
    image.values["inhibit-vcc"] = volts;
    std::snprintf(volts, sizeof volts, "%.3f", facts_.absMaxVcc);
    image.values["vcc-abs-max"] = volts;
    image.values["power-up-delay-ns"] = std::to_string(facts_.powerUpDelayNs);
    image.values["protected"] = protected_ ? "1" : "0";
    image.blobs["cells"] = cells_;
}

bool EepromChip::Load(const ChipImage& image, std::string& error) {
    double v = 0;
    auto blob = image.blobs.find("cells");
    if (image.kind != Kind() || !GetNumber(image, "bytes", v) || static_cast<uint32_t>(v) != facts_.bytes ||
        blob == image.blobs.end() || blob->second.size() != cells_.size()) {
        error = kSimTextChipFileBadContents;
        return false;
    }
    if (GetNumber(image, "page", v)) {
        const uint32_t page = static_cast<uint32_t>(v);
        if (!std::has_single_bit(page) || page > facts_.bytes) {
            error = kSimTextChipFileBadContents;
            return false;
        }
        facts_.page = page;
        pageData_.assign(page, -1);
        loadedOffsets_.clear();
    }
    if (GetNumber(image, "load-window-ns", v)) facts_.loadWindowNs = static_cast<uint64_t>(v);
    if (GetNumber(image, "cycle-max-ns", v)) facts_.cycleMaxNs = static_cast<uint64_t>(v);
    if (GetNumber(image, "toggle-bit", v)) facts_.toggleBit = v != 0;
    if (GetNumber(image, "ready-busy", v)) facts_.readyBusy = v != 0;
    if (GetNumber(image, "has-protection", v)) facts_.protection = v != 0;
    if (GetNumber(image, "inhibit-vcc", v)) facts_.inhibitVcc = v;
    if (GetNumber(image, "vcc-abs-max", v)) facts_.absMaxVcc = v;
    if (GetNumber(image, "power-up-delay-ns", v)) facts_.powerUpDelayNs = static_cast<uint64_t>(v);
    if (GetNumber(image, "protected", v)) protected_ = v != 0;
    cells_ = blob->second;
    changed_ = false;
    return true;
}

}  // namespace krt
