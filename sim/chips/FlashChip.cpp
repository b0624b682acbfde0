// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/chips/FlashChip.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "catalogue/DeviceRecord.h"
#include "sim/ChipImageValues.h"
#include "sim/SimTexts.h"

namespace krt {

namespace {

// Texts of this model (the common ones are in SimTexts.h).
constexpr const char* kTextBadSize = "device %s has %lu addresses; the simulated 28F flash holds 1 to 1M";
constexpr const char* kTextNeedsErasePulses = "needs the number of erase pulses each byte needs (1 to 1000000)";
constexpr const char* kTextOverErased = ", over-erased";

// From the makers' datasheets: size and the two identifier codes (read ID
// command 90h, address 0 maker, address 1 device).
const FlashPart kFlashParts[] = {
    {"28F010", 128u * 1024u, 0x89, 0xB4},
    {"28F020", 256u * 1024u, 0x89, 0xBD},
    {"28F101", 128u * 1024u, 0x20, 0x07},
    {"AM28F010", 128u * 1024u, 0x01, 0xA7},
    {"AM28F020", 256u * 1024u, 0x01, 0x2A},
};

// The array has 1024 rows; the low address lines choose the column, so
// every byte whose address has the same low bits shares its bit lines.
constexpr uint32_t kRows = 1024;

}  // namespace

bool LookUpFlashPart(const std::string& name, FlashPart& part) {
    std::string u(name);
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const FlashPart* best = nullptr;
    for (const FlashPart& p : kFlashParts) {
        if (u.find(p.number) != std::string::npos && (!best || std::strlen(p.number) > std::strlen(best->number)))
            best = &p;
    }
    if (!best) return false;
    part = *best;
    return true;
}

std::unique_ptr<Chip> MakeBlankFlash(const DeviceRecord& record, std::string& note) {
    FlashPart part{"", record.maxsize, 0xFF, 0xFF};
    // A known part is as big as its datasheet says, whatever the catalogue claims.
    LookUpFlashPart(record.name, part);
    if (part.bytes == 0 || part.bytes > FlashChip::kMaxBytes) {
        char text[256];
        std::snprintf(text, sizeof text, kTextBadSize, record.name.c_str(), static_cast<unsigned long>(part.bytes));
        note = text;
        return nullptr;
    }
    return std::make_unique<FlashChip>(record.name, part.bytes, part.maker, part.device);
}

std::unique_ptr<Chip> MakeShapedFlash(const ChipImage& image, std::string& error) {
    unsigned long bytes = 0, maker = 0xFF, device = 0xFF;
    if (!GetNumber(image, "bytes", bytes) || bytes == 0 || bytes > FlashChip::kMaxBytes) {
        error = kSimTextChipFileBadContents;
        return nullptr;
    }
    GetNumber(image, "maker-id", maker, 16);
    GetNumber(image, "device-id", device, 16);
    return std::make_unique<FlashChip>(image.device, static_cast<uint32_t>(bytes), static_cast<uint8_t>(maker),
                                       static_cast<uint8_t>(device));
}

FlashChip::FlashChip(std::string deviceName, uint32_t bytes, uint8_t makerCode, uint8_t deviceCode)
    : Chip(std::move(deviceName)),
      bytes_(std::clamp<uint32_t>(bytes, 1, kMaxBytes)),
      wrapMask_(std::bit_ceil(bytes_) - 1),
      columns_(std::max<uint32_t>(1, bytes_ / kRows)),
      maker_(makerCode),
      device_(deviceCode),
      cells_(bytes_, 0xFF),  // shipped erased
      mark_(bytes_, 0),
      overErased_(bytes_, 0),
      leak_(columns_, 0) {
    socketConfig_ = 0x10;
}

std::string FlashChip::Describe() const {
    char text[200];
    std::snprintf(text, sizeof text, kSimTextChipDescription, Kind(), deviceName_.c_str(),
                  static_cast<unsigned long>(bytes_), 8, damaged_ ? kSimTextDamaged : "");
    std::string out = text;
    if (OverErased()) out += kTextOverErased;
    return out;
}

uint64_t FlashChip::NeedNs(uint32_t address) const {
    uint64_t pulses = erasePulsesNeeded_;
    for (const auto& [a, p] : slowErase_)
        if (a == address) pulses = std::max<uint64_t>(pulses, p);
    return pulses * kErasePulseNs;
}

uint8_t FlashChip::Settled(uint32_t a) const {
    const uint8_t stored = cells_[a];
    if (erasePulsesNeeded_ == 0 || stored == 0xFF) return stored;
    const uint64_t exposure = ExposureNs(a);
    if (exposure < uint64_t(erasePulsesNeeded_) * kErasePulseNs) return stored;
    if (slowErase_.empty() || exposure >= NeedNs(a)) return 0xFF;
    return stored | 0x7F;  // a slow byte: its bit 7 erases last
}

uint8_t FlashChip::Cell(uint32_t a) const {
    if (a >= bytes_) return 0xFF;
    return Settled(a) | ColumnLeak(a);
}

void FlashChip::SetCell(uint32_t a, uint8_t value) {
    if (a >= bytes_) return;
    cells_[a] = value;
    mark_[a] = eraseClock_;
    changed_ = true;
}

void FlashChip::SetErasePulsesNeeded(uint32_t pulses) { erasePulsesNeeded_ = pulses; }

void FlashChip::SetSlowEraseByte(uint32_t address, uint32_t pulses) {
    slowErase_.emplace_back(address & wrapMask_, pulses);
}

void FlashChip::PinsChanged(const SocketState& socket, uint32_t changed) {
    if (!(changed & kPinSupply)) return;
    if (!damaged_ && (socket.vpp > kAbsMaxVpp || socket.vcc > kAbsMaxVcc)) {
        damaged_ = true;
        changed_ = true;
    }
    // Without the programming voltage the command register is off: a pulse
    // ends there, and the chip comes back reading its array.
    if (!CommandsOn(socket)) {
        EndPulse(socket.nowNs);
        mode_ = Mode::Read;
    }
}

void FlashChip::EndPulse(uint64_t atNs) {
    if (mode_ == Mode::Programming) {
        mode_ = Mode::Read;
        if (atNs >= pulseStartNs_ && atNs - pulseStartNs_ >= kProgramPulseNs) Program(pulseAddress_, pulseData_);
    } else if (mode_ == Mode::Erasing) {
        mode_ = Mode::Read;
        if (atNs > pulseStartNs_) Erase(std::min<uint64_t>(atNs - pulseStartNs_, kErasePulseNs));
    }
}

void FlashChip::Program(uint32_t a, uint8_t data) {
    if (!dead_.empty() && std::binary_search(dead_.begin(), dead_.end(), a)) return;
    if (!weak_.empty()) {
        auto it = std::lower_bound(weak_.begin(), weak_.end(), a,
                                   [](const WeakCell& w, uint32_t x) { return w.address < x; });
        if (it != weak_.end() && it->address == a) {
            uint32_t& seen = weakSeen_[static_cast<size_t>(it - weak_.begin())];
            if (seen < it->pulses) ++seen;
            if (seen < it->pulses) return;
        }
    }
    const uint8_t before = Settled(a);
    const uint8_t after = before & data;
    if (after != cells_[a]) changed_ = true;
    cells_[a] = after;
    // Programmed cells hold their full charge again: their erase starts over.
    if (data != 0xFF) mark_[a] = eraseClock_;
    ++programPulses_;
    // A program operation ends an erase sequence; the next erase pulse
    // starts a new one.
    sequenceOpen_ = false;
    pendingOverErase_.clear();
}

void FlashChip::Erase(uint64_t ns) {
    ++erasePulses_;
    if (erasePulsesNeeded_ == 0 || ns == 0) return;
    if (!sequenceOpen_) {
        // Bits already erased when the erase begins were not pre-programmed:
        // they will be over-erased once the erase has run its course.
        sequenceOpen_ = true;
        sequenceNs_ = 0;
        pendingOverErase_.clear();
        for (uint32_t a = 0; a < Reachable(); ++a) {
            const uint8_t erased = static_cast<uint8_t>(Settled(a) & ~overErased_[a]);
            if (erased) pendingOverErase_.emplace_back(a, erased);
        }
    }
    eraseClock_ += ns;
    sequenceNs_ += ns;
    changed_ = true;
    if (!pendingOverErase_.empty() && sequenceNs_ >= uint64_t(erasePulsesNeeded_) * kErasePulseNs) {
        for (const auto& [a, bits] : pendingOverErase_) overErased_[a] |= bits;
        pendingOverErase_.clear();
        RebuildLeaks();
    }
}

void FlashChip::RebuildLeaks() {
    std::fill(leak_.begin(), leak_.end(), 0);
    overErasedBits_ = 0;
    for (uint32_t a = 0; a < Reachable(); ++a) {
        if (!overErased_[a]) continue;
        leak_[a % columns_] |= overErased_[a];
        overErasedBits_ += static_cast<uint32_t>(__builtin_popcount(overErased_[a]));
    }
}

void FlashChip::Command(uint8_t command, const SocketState& socket) {
    lastCommand_ = command;
    switch (command) {
    case 0x90: mode_ = Mode::ReadId; break;
    case 0x40: mode_ = Mode::ProgramSetup; break;
    case 0xC0: mode_ = Mode::ProgramVerify; break;
    case 0x20: mode_ = Mode::EraseSetup; break;
    case 0xA0:
        mode_ = Mode::EraseVerify;
        verifyAddress_ = socket.address & wrapMask_;
        break;
    default: mode_ = Mode::Read; break;  // 00 read, FF reset, and anything undefined
    }
}

void FlashChip::WriteCycle(const SocketState& socket, DataLane lane, uint64_t strobeNs) {
    (void)lane;  // a byte-wide chip: every write strobe is /WE with D0-D7 on the bus
    if (damaged_ || !CommandsOn(socket)) return;
    EndPulse(socket.nowNs);
    const uint64_t rise = socket.nowNs + strobeNs;
    const uint8_t data = socket.dataLow;
    switch (mode_) {
    case Mode::ProgramSetup:
        // The data write: address latched, the pulse starts at /WE's rise.
        pulseAddress_ = socket.address & wrapMask_;
        pulseData_ = data;
        pulseStartNs_ = rise;
        mode_ = (pulseAddress_ < bytes_) ? Mode::Programming : Mode::Read;
        return;
    case Mode::EraseSetup:
        lastCommand_ = data;
        if (data == 0x20) {
            pulseStartNs_ = rise;
            mode_ = Mode::Erasing;
        } else {
            mode_ = Mode::Read;  // anything but the second 20 (FF included) aborts the erase
        }
        return;
    default:
        // Program verify and erase verify apply their margin voltage from
        // /WE's rise; the read is valid 6 us later.
        verifyValidNs_ = rise + kVerifySettleNs;
        Command(data, socket);
        return;
    }
}

uint16_t FlashChip::ReadCycle(const SocketState& socket, DataLane lane) {
    if (lane == DataLane::High || socket.vcc < kVccMin) return 0xFFFF;  // D8-D15 unwired; unpowered lines float
    if (damaged_) {
        garbageSeed_ ^= garbageSeed_ << 13;
        garbageSeed_ ^= garbageSeed_ >> 17;
        garbageSeed_ ^= garbageSeed_ << 5;
        return static_cast<uint16_t>(0xFF00 | ((garbageSeed_ ^ socket.address) & 0xFF));
    }
    const uint32_t a = socket.address & wrapMask_;
    uint8_t out = 0xFF;
    switch (CommandsOn(socket) ? mode_ : Mode::Read) {
    case Mode::Read: out = Cell(a); break;
    case Mode::ProgramVerify:
        out = Cell(a);
        if (socket.nowNs < verifyValidNs_) {
            ++earlyVerifyReads_;
            out = static_cast<uint8_t>(~out);  // the margin voltage has not settled: no valid data
        }
        break;
    case Mode::ReadId: {
        // Another part in the socket: an Am28F010's codes, or a 28F010's
        // when the chip already is one of those.
        const bool amd = maker_ == 0x01 && device_ == 0xA7;
        const uint8_t maker = !otherPart_ ? maker_ : amd ? 0x89 : 0x01;
        const uint8_t device = !otherPart_ ? device_ : amd ? 0xB4 : 0xA7;
        out = (a & 1) ? device : maker;
        break;
    }
    case Mode::EraseVerify:
        out = Cell(verifyAddress_);
        if (socket.nowNs < verifyValidNs_) {
            ++earlyVerifyReads_;
            out = static_cast<uint8_t>(~out);
        }
        ++eraseVerifyReads_;
        if (out != 0xFF) ++eraseVerifyFailures_;
        break;
    default: break;  // set-up or a pulse running: the outputs are inactive and the lines float
    }
    return static_cast<uint16_t>(0xFF00 | out);
}

bool FlashChip::ApplyFault(std::string_view name, std::string_view args, std::string& error) {
    if (fakes_.Take(name, args, {AddressLines(wrapMask_), false, false}, error)) {
        wrapMask_ &= fakes_.aliasMask;
        RebuildLeaks();
        return true;
    }
    if (!error.empty()) return false;
    if (name == "erase-pulses") {
        unsigned long n = 0;
        bool ok = !args.empty() && args.size() <= 7;
        for (char c : args) ok = ok && std::isdigit(static_cast<unsigned char>(c));
        if (ok) n = std::strtoul(std::string(args).c_str(), nullptr, 10);
        if (!ok || n == 0 || n > 1000000) {
            error = kTextNeedsErasePulses;
            return false;
        }
        SetErasePulsesNeeded(static_cast<uint32_t>(n));
        return true;
    }
    if (name == "wrong-part") {
        if (!args.empty()) {
            error = kSimTextNoArgs;
            return false;
        }
        otherPart_ = true;
        return true;
    }
    if (name == "never-erases") {
        if (!args.empty()) {
            error = kSimTextNoArgs;
            return false;
        }
        SetErasePulsesNeeded(0);
        return true;
    }
    return false;
}

void FlashChip::SetCellFaults(const CellFaults& faults) {
    // The last entry for an address wins.
    weak_.clear();
    for (auto it = faults.weak.rbegin(); it != faults.weak.rend(); ++it) {
        bool seen = false;
        for (const WeakCell& w : weak_) seen = seen || w.address == it->address;
        if (!seen) weak_.push_back({it->address, std::max<uint32_t>(it->pulses, 1)});
    }
    std::sort(weak_.begin(), weak_.end(), [](const WeakCell& x, const WeakCell& y) { return x.address < y.address; });
    weakSeen_.assign(weak_.size(), 0);
    dead_ = faults.dead;
    std::sort(dead_.begin(), dead_.end());
}

// Persistent: the cells, the cells in depletion, and the erase time of
// bytes whose erase was left half done.
void FlashChip::Save(ChipImage& image) const {
    image.kind = Kind();
    image.device = deviceName_;
    image.values["bytes"] = std::to_string(bytes_);
    char id[8];
    std::snprintf(id, sizeof id, "%02X", maker_);
    image.values["maker-id"] = id;
    std::snprintf(id, sizeof id, "%02X", device_);
    image.values["device-id"] = id;
    image.values["damaged"] = damaged_ ? "1" : "0";
    std::vector<uint8_t> cells(bytes_);
    std::vector<uint8_t> partial;
    for (uint32_t a = 0; a < bytes_; ++a) {
        cells[a] = Settled(a);
        const uint64_t exposure = cells[a] == 0xFF || erasePulsesNeeded_ == 0 ? 0 : ExposureNs(a);
        if (exposure == 0) continue;
        if (partial.empty()) partial.assign(size_t(bytes_) * 4, 0);
        const uint32_t us = static_cast<uint32_t>(std::min<uint64_t>(exposure / 1000, 0xFFFFFFFFu));
        for (int i = 0; i < 4; ++i) partial[size_t(a) * 4 + size_t(i)] = static_cast<uint8_t>(us >> (8 * i));
    }
    image.blobs["cells"] = std::move(cells);
    if (!partial.empty()) image.blobs["erase-us"] = std::move(partial);
    if (OverErased()) image.blobs["over-erased"] = overErased_;
}

bool FlashChip::Load(const ChipImage& image, std::string& error) {
    unsigned long bytes = 0, damaged = 0;
    auto cells = image.blobs.find("cells");
    if (image.kind != Kind() || !GetNumber(image, "bytes", bytes) || bytes != bytes_ || cells == image.blobs.end() ||
        cells->second.size() != bytes_) {
        error = kSimTextChipFileBadContents;
        return false;
    }
    auto partial = image.blobs.find("erase-us");
    auto over = image.blobs.find("over-erased");
    if ((partial != image.blobs.end() && partial->second.size() != size_t(bytes_) * 4) ||
        (over != image.blobs.end() && over->second.size() != bytes_)) {
        error = kSimTextChipFileBadContents;
        return false;
    }
    cells_ = cells->second;
    eraseClock_ = 0;
    std::fill(mark_.begin(), mark_.end(), 0);
    if (partial != image.blobs.end()) {
        const std::vector<uint8_t>& p = partial->second;
        for (uint32_t a = 0; a < bytes_; ++a) {
            uint64_t us = 0;
            for (int i = 3; i >= 0; --i) us = us << 8 | p[size_t(a) * 4 + size_t(i)];
            mark_[a] = eraseClock_ - us * 1000;  // exposure = eraseClock_ - mark_ (modulo 2^64)
        }
    }
    overErased_.assign(bytes_, 0);
    if (over != image.blobs.end()) overErased_ = over->second;
    RebuildLeaks();
    damaged_ = GetNumber(image, "damaged", damaged) && damaged != 0;
    sequenceOpen_ = false;
    pendingOverErase_.clear();
    mode_ = Mode::Read;
    changed_ = false;
    return true;
}

}  // namespace krt
