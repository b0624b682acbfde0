// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/chips/EpromChip.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "catalogue/DeviceRecord.h"
#include "sim/ChipImageValues.h"
#include "sim/SimTexts.h"

namespace krt {

namespace {

struct EpromPart {
    const char* number;
    EpromElectrical facts;
};


// Electrically erasable parts in the EPROM pinout, programmed at 12 V
// with Vcc at 5 V: Winbond W27C/W27E (erased with 14 V on A9 and Vpp, so
// their Vpp rating reaches above 14 V) and SST27SF (erased at 12 V).
// Their DC programming tables were not seen: 12 V +/- 0.25 V and 5 V
// +/- 0.25 V taken, so that a part outside them takes nothing. Pulses:
// 100 us (Winbond), 20 us typical byte program (SST).
constexpr EpromElectrical kWinbondEe = {11.75, 12.25, 4.75, 5.25, 4.5, 14.5, 7.0, 95 * kNsPerUs};
constexpr EpromElectrical kSstMtp = {11.75, 12.25, 4.75, 5.25, 4.5, 13.0, 7.0, 19 * kNsPerUs};

// From the makers' datasheets: programming Vpp and Vcc windows, absolute
// maximum Vpp and Vcc, minimum program pulse (tPW min). Windows that makers
// differ on (12.75/6.25 V against 13.0/6.5 V) take both.
const EpromPart kEpromParts[] = {
    {"2716", {24.0, 26.0, 4.75, 5.25, 4.5, 26.5, 6.0, 45 * kNsPerMs}},
    {"2732", {24.0, 26.0, 4.75, 5.25, 4.5, 26.5, 6.0, 45 * kNsPerMs}},
    {"2732A", {20.5, 21.5, 4.75, 5.25, 4.5, 22.0, 7.0, 45 * kNsPerMs}},
    {"2764", {20.5, 21.5, 4.75, 5.25, 4.5, 22.0, 7.0, 45 * kNsPerMs}},
    {"2764A", {12.2, 12.8, 5.75, 6.25, 4.5, 14.0, 7.0, 950 * kNsPerUs}},
    {"27128", {20.5, 21.5, 4.75, 5.25, 4.5, 22.0, 7.0, 45 * kNsPerMs}},
    {"27128A", {12.2, 12.8, 5.75, 6.25, 4.5, 14.0, 7.0, 950 * kNsPerUs}},
    {"27256", {12.2, 12.8, 5.75, 6.25, 4.5, 14.0, 7.0, 950 * kNsPerUs}},
    {"27512", {12.2, 12.8, 5.75, 6.25, 4.5, 14.0, 7.0, 950 * kNsPerUs}},
    {"27C256", {12.5, 13.0, 6.0, 6.5, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C512", {12.5, 13.0, 6.0, 6.5, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C010", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C020", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C040", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C1024", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C2048", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C4096", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    // CMOS parts of the larger catalogue: quick-pulse programming at 12.75 V
    // / 6.25 V (Intel, AMD, ST PRESTO II, Macronix) or 13.0 V / 6.5 V
    // (Microchip, TI SNAP! Pulse, Atmel), 100 us pulses, absolute maximum
    // Vpp 14 V and Vcc 7 V.
    {"27C64", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C128", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C080", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C1001", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C2001", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C4001", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C801", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C1000", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C2000", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C4000", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C8000", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C210", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C240", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27C4002", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    // TI's plastic OTP parts carry a P in the number (TMS27PC256).
    {"27PC256", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27PC512", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27PC010", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27PC020", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27PC040", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27PC210", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    {"27PC240", {12.5, 13.25, 6.0, 6.75, 4.5, 14.0, 7.0, 95 * kNsPerUs}},
    // 16-bit 42-pin parts (Vpp on the BYTE pin): ST PRESTO III at 12.5 V /
    // 6.25 V with 50 us pulses; AMD and Macronix at 12.75 V / 6.25 V.
    {"27C400", {12.25, 13.0, 6.0, 6.5, 4.5, 14.0, 7.0, 47500}},
    {"27C800", {12.25, 13.0, 6.0, 6.5, 4.5, 14.0, 7.0, 47500}},
    {"27C160", {12.25, 13.0, 6.0, 6.5, 4.5, 14.0, 7.0, 47500}},
    {"27C322", {12.25, 13.0, 6.0, 6.5, 4.5, 14.0, 7.0, 47500}},
    {"27C4100", {12.25, 13.0, 6.0, 6.5, 4.5, 14.0, 7.0, 47500}},
    {"27C8100", {12.25, 13.0, 6.0, 6.5, 4.5, 14.0, 7.0, 47500}},
    // Electrically erasable parts (above).
    {"W27C257", kWinbondEe},
    {"W27E257", kWinbondEe},
    {"W27C512", kWinbondEe},
    {"W27E512", kWinbondEe},
    {"W27C010", kWinbondEe},
    {"W27E010", kWinbondEe},
    {"W27C020", kWinbondEe},
    {"W27E020", kWinbondEe},
    {"27SF256", kSstMtp},
    {"27SF512", kSstMtp},
    {"27SF010", kSstMtp},
    {"27SF020", kSstMtp},
};

bool Contains(const std::vector<uint32_t>& sorted, uint32_t a) {
    return std::binary_search(sorted.begin(), sorted.end(), a);
}

}  // namespace

bool LookUpEpromPart(const std::string& name, EpromElectrical& facts) {
    const std::string u = UpperCase(name);
    const EpromPart* best = nullptr;
    for (const EpromPart& p : kEpromParts) {
        if (u.find(p.number) != std::string::npos && (!best || std::strlen(p.number) > std::strlen(best->number)))
            best = &p;
    }
    if (!best) return false;
    facts = best->facts;
    return true;
}

EpromElectrical EpromElectricalFor(const DeviceRecord& record, bool* fromTable) {
    EpromElectrical facts;
    bool found = LookUpEpromPart(record.name, facts);
    if (fromTable) *fromTable = found;
    if (found) return facts;
    // Unknown part: trust the catalogue's write voltages with the usual
    // datasheet tolerances; without them assume a 12.75 V / 6.25 V CMOS part.
    if (record.VppW > 8.0) {
        facts.progVppMin = record.VppW - 0.5;
        facts.progVppMax = record.VppW + 0.5;
        facts.absMaxVpp = record.VppW + 1.25;
    } else {
        facts.progVppMin = 12.5;
        facts.progVppMax = 13.25;
        facts.absMaxVpp = 14.0;
    }
    if (record.VccW > 0.0) {
        facts.progVccMin = record.VccW - 0.35;
        facts.progVccMax = record.VccW + 0.35;
        facts.absMaxVcc = std::max(7.0, record.VccW + 0.75);
    } else {
        facts.progVccMin = 6.0;
        facts.progVccMax = 6.75;
        facts.absMaxVcc = 7.0;
    }
    facts.minPulseNs = record.tpw > 0.0 ? static_cast<uint64_t>(std::llround(record.tpw * 0.95e9)) : 95 * kNsPerUs;
    return facts;
}

EpromChip::EpromChip(std::string deviceName, uint32_t words, bool wide, bool otp, const EpromElectrical& facts)
    : Chip(std::move(deviceName)),
      words_(std::clamp<uint32_t>(words, 1, kMaxWords)),
      wrapMask_(std::bit_ceil(words_) - 1),
      wide_(wide),
      otp_(otp),
      facts_(facts),
      cells_(static_cast<size_t>(words_) * (wide ? 2 : 1), 0xFF) {
    socketConfig_ = wide ? 0x18 : 0x00;
}

std::unique_ptr<Chip> MakeBlankEprom(const DeviceRecord& record, std::string& note) {
    if (record.maxsize == 0 || record.maxsize > EpromChip::kMaxWords) {
        char text[256];
        std::snprintf(text, sizeof text, kSimTextBadSize, record.name.c_str(),
                      static_cast<unsigned long>(record.maxsize));
        note = text;
        return nullptr;
    }
    const bool wide = (record.typecode >= 0x18 && record.typecode <= 0x1B) || record.wordaccess == 1;
    const bool otp = strcasecmp(record.type.c_str(), "OTPROM") == 0;
    return std::make_unique<EpromChip>(record.name, record.maxsize, wide, otp, EpromElectricalFor(record));
}

std::unique_ptr<Chip> MakeShapedEprom(const ChipImage& image, std::string& error) {
    auto value = [&](const char* key) -> uint32_t {
        auto it = image.values.find(key);
        return it == image.values.end() ? 0 : static_cast<uint32_t>(std::strtoul(it->second.c_str(), nullptr, 10));
    };
    const uint32_t words = value("words");
    if (words == 0 || words > EpromChip::kMaxWords) {
        error = kSimTextChipFileBadContents;
        return nullptr;
    }
    EpromElectrical facts;
    LookUpEpromPart(image.device, facts);  // the file's own facts override these in Load
    return std::make_unique<EpromChip>(image.device, words, value("width") == 16, image.kind == "OTPROM", facts);
}

std::string EpromChip::Describe() const {
    char text[160];
    std::snprintf(text, sizeof text, kSimTextChipDescription, Kind(), deviceName_.c_str(),
                  static_cast<unsigned long>(words_), wide_ ? 16 : 8, damaged_ ? kSimTextDamaged : "");
    return text;
}

uint16_t EpromChip::Cell(uint32_t a) const {
    if (a >= words_) return 0xFFFF;
    if (wide_) return static_cast<uint16_t>(cells_[2 * size_t(a)] << 8 | cells_[2 * size_t(a) + 1]);
    return static_cast<uint16_t>(0xFF00 | cells_[a]);
}

void EpromChip::SetCell(uint32_t a, uint16_t value) {
    if (a >= words_) return;
    if (wide_) {
        cells_[2 * size_t(a)] = static_cast<uint8_t>(value >> 8);
        cells_[2 * size_t(a) + 1] = static_cast<uint8_t>(value);
    } else {
        cells_[a] = static_cast<uint8_t>(value);
    }
    changed_ = true;
}

void EpromChip::PinsChanged(const SocketState& socket, uint32_t changed) {
    if (!(changed & kPinSupply) || damaged_) return;
    if (socket.vpp > facts_.absMaxVpp || socket.vcc > facts_.absMaxVcc) {
        damaged_ = true;
        changed_ = true;
    }
}

uint16_t EpromChip::ReadCycle(const SocketState& socket, DataLane lane) {
    (void)lane;  // both halves of the bus are driven at once
    if (socket.vcc < facts_.readVccMin) return 0xFFFF;  // unpowered: the lines float
    if (damaged_) {
        // A destroyed die answers something different on every read.
        garbageSeed_ ^= garbageSeed_ << 13;
        garbageSeed_ ^= garbageSeed_ >> 17;
        garbageSeed_ ^= garbageSeed_ << 5;
        return static_cast<uint16_t>((garbageSeed_ ^ socket.address) | (wide_ ? 0 : 0xFF00));
    }
    const uint32_t a = socket.address & wrapMask_;
    return fakes_.Read(a, Cell(a));
}

bool EpromChip::ApplyFault(std::string_view name, std::string_view args, std::string& error) {
    if (!fakes_.Take(name, args, {AddressLines(wrapMask_), false, true}, error)) return false;
    wrapMask_ &= fakes_.aliasMask;
    return true;
}

bool EpromChip::CountPulse(uint32_t a) {
    if (!weak_.empty()) {
        auto it = std::lower_bound(weak_.begin(), weak_.end(), a,
                                   [](const WeakCell& w, uint32_t x) { return w.address < x; });
        if (it != weak_.end() && it->address == a) {
            uint32_t& seen = weakCount_[static_cast<size_t>(it - weak_.begin())];
            if (seen < it->pulses) ++seen;
            return seen >= it->pulses;
        }
    }
    if (pulsesPerCell_ <= 1) return true;
    uint8_t& seen = pulseCount_[a];
    if (seen < 255) ++seen;
    return seen >= pulsesPerCell_;
}

void EpromChip::WriteCycle(const SocketState& socket, DataLane lane, uint64_t strobeNs) {
    (void)lane;  // the pulse programs whatever the data lines carry
    if (damaged_) return;
    if (socket.vpp < facts_.progVppMin || socket.vpp > facts_.progVppMax) return;
    if (socket.vcc < facts_.progVccMin || socket.vcc > facts_.progVccMax) return;
    if (strobeNs < facts_.minPulseNs) return;
    const uint32_t a = socket.address & wrapMask_;
    if (a >= words_) return;
    if (!dead_.empty() && Contains(dead_, a)) return;
    if (!CountPulse(a)) return;
    if (wide_) {
        uint8_t& hi = cells_[2 * size_t(a)];
        uint8_t& lo = cells_[2 * size_t(a) + 1];
        const uint8_t newHi = hi & socket.dataHigh, newLo = lo & socket.dataLow;
        if (newHi != hi || newLo != lo) changed_ = true;
        hi = newHi;
        lo = newLo;
    } else {
        uint8_t& c = cells_[a];
        const uint8_t n = c & socket.dataLow;
        if (n != c) changed_ = true;
        c = n;
    }
}

void EpromChip::SetCellFaults(const CellFaults& faults) {
    // The last entry for an address wins.
    weak_.clear();
    for (auto it = faults.weak.rbegin(); it != faults.weak.rend(); ++it) {
        bool seen = false;
        for (const WeakCell& w : weak_) seen = seen || w.address == it->address;
        if (!seen) weak_.push_back({it->address, std::max<uint32_t>(it->pulses, 1)});
    }
    std::sort(weak_.begin(), weak_.end(), [](const WeakCell& x, const WeakCell& y) { return x.address < y.address; });
    weakCount_.assign(weak_.size(), 0);
    dead_ = faults.dead;
    std::sort(dead_.begin(), dead_.end());
}

void EpromChip::SetPulsesPerCell(uint32_t pulses) {
    pulsesPerCell_ = std::clamp<uint32_t>(pulses, 1, 255);
    if (pulsesPerCell_ > 1)
        pulseCount_.assign(words_, 0);
    else
        pulseCount_.clear();
}

bool EpromChip::UvErase(std::string& reason) {
    if (otp_) {
        reason = kSimTextOtpNoErase;
        return false;
    }
    // UV light clears the floating gates; it does not mend a destroyed die.
    std::fill(cells_.begin(), cells_.end(), 0xFF);
    std::fill(pulseCount_.begin(), pulseCount_.end(), 0);
    std::fill(weakCount_.begin(), weakCount_.end(), 0);
    changed_ = true;
    return true;
}

void EpromChip::Save(ChipImage& image) const {
    image.kind = Kind();
    image.device = deviceName_;
    image.values["words"] = std::to_string(words_);
    image.values["width"] = wide_ ? "16" : "8";
    image.values["damaged"] = damaged_ ? "1" : "0";
    PutDouble(image, "vpp-min", facts_.progVppMin);
    PutDouble(image, "vpp-max", facts_.progVppMax);
    PutDouble(image, "vcc-min", facts_.progVccMin);
    PutDouble(image, "vcc-max", facts_.progVccMax);
    PutDouble(image, "vcc-read-min", facts_.readVccMin);
    PutDouble(image, "vpp-abs-max", facts_.absMaxVpp);
    PutDouble(image, "vcc-abs-max", facts_.absMaxVcc);
    image.values["pulse-min-ns"] = std::to_string(facts_.minPulseNs);
    image.blobs["cells"] = cells_;
}

bool EpromChip::Load(const ChipImage& image, std::string& error) {
    double words = 0, width = 0, damaged = 0;
    if (image.kind != Kind() || !GetNumber(image, "words", words) || !GetNumber(image, "width", width)) {
        error = kSimTextChipFileBadContents;
        return false;
    }
    auto blob = image.blobs.find("cells");
    if (static_cast<uint32_t>(words) != words_ || (width == 16) != wide_ || blob == image.blobs.end() ||
        blob->second.size() != cells_.size()) {
        error = kSimTextChipFileBadContents;
        return false;
    }
    cells_ = blob->second;
    if (GetNumber(image, "damaged", damaged)) damaged_ = damaged != 0;
    double v = 0;
    if (GetNumber(image, "vpp-min", v)) facts_.progVppMin = v;
    if (GetNumber(image, "vpp-max", v)) facts_.progVppMax = v;
    if (GetNumber(image, "vcc-min", v)) facts_.progVccMin = v;
    if (GetNumber(image, "vcc-max", v)) facts_.progVccMax = v;
    if (GetNumber(image, "vcc-read-min", v)) facts_.readVccMin = v;
    if (GetNumber(image, "vpp-abs-max", v)) facts_.absMaxVpp = v;
    if (GetNumber(image, "vcc-abs-max", v)) facts_.absMaxVcc = v;
    if (GetNumber(image, "pulse-min-ns", v)) facts_.minPulseNs = static_cast<uint64_t>(v);
    changed_ = false;
    return true;
}

}  // namespace krt
