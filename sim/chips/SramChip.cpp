// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/chips/SramChip.h"

#include <algorithm>
#include <cstdlib>

#include "catalogue/DeviceRecord.h"
#include "sim/SimTexts.h"

namespace krt {

namespace {

uint32_t MaskFor(uint32_t bytes) {
    uint32_t mask = 1;
    while (mask < bytes) mask <<= 1;
    return mask - 1;
}

constexpr uint32_t kCs2Line = 1u << 13;

}  // namespace

std::unique_ptr<Chip> MakeBlankSram(const DeviceRecord& record, std::string& note) {
    if (record.maxsize == 0 || record.maxsize > SramChip::kMaxBytes) {
        note = "the simulated static RAM holds 1 to 512K bytes";
        return nullptr;
    }
    return std::make_unique<SramChip>(record.name, record.maxsize);
}

std::unique_ptr<Chip> MakeShapedSram(const ChipImage& image, std::string& error) {
    auto it = image.values.find("bytes");
    const unsigned long bytes = it == image.values.end() ? 0 : std::strtoul(it->second.c_str(), nullptr, 10);
    if (bytes == 0 || bytes > SramChip::kMaxBytes) {
        error = kSimTextChipFileBadContents;
        return nullptr;
    }
    return std::make_unique<SramChip>(image.device, static_cast<uint32_t>(bytes));
}

SramChip::SramChip(std::string deviceName, uint32_t bytes)
    : Chip(std::move(deviceName)), bytes_(bytes), mask_(MaskFor(bytes)), cells_(bytes, 0) {
    needsCs2_ = deviceName_.find("6264") != std::string::npos;
    LoseContents();
}

void SramChip::LoseContents() {
    for (uint8_t& c : cells_) {
        noise_ ^= noise_ << 13;
        noise_ ^= noise_ >> 17;
        noise_ ^= noise_ << 5;
        c = static_cast<uint8_t>(noise_);
    }
}

void SramChip::PinsChanged(const SocketState& socket, uint32_t changed) {
    if (!(changed & kPinSupply)) return;
    if (socket.vcc < kRetentionVcc) {
        if (powered_) LoseContents();
        powered_ = false;
    } else {
        powered_ = true;
    }
}

bool SramChip::Selected(const SocketState& socket) const {
    return socket.vcc >= kVccMin && (!needsCs2_ || (socket.address & kCs2Line) != 0);
}

uint16_t SramChip::ReadCycle(const SocketState& socket, DataLane lane) {
    (void)lane;
    if (!Selected(socket)) return 0xFFFF;
    const uint32_t a = fakes_.Address(socket.address & mask_);
    return fakes_.Read(a, static_cast<uint16_t>(0xFF00 | (a < bytes_ ? cells_[a] : 0xFF)));
}

void SramChip::WriteCycle(const SocketState& socket, DataLane lane, uint64_t strobeNs) {
    (void)lane;
    (void)strobeNs;
    if (!Selected(socket)) return;
    const uint32_t a = fakes_.Address(socket.address & mask_);
    if (a >= bytes_ || std::binary_search(dead_.begin(), dead_.end(), a)) return;
    cells_[a] = socket.dataLow;
}

bool SramChip::ApplyFault(std::string_view name, std::string_view args, std::string& error) {
    return fakes_.Take(name, args, {AddressLines(mask_), false, true}, error);
}

void SramChip::SetCellFaults(const CellFaults& faults) {
    dead_ = faults.dead;
    std::sort(dead_.begin(), dead_.end());
}

void SramChip::Save(ChipImage& image) const {
    image.kind = Kind();
    image.device = deviceName_;
    image.values["bytes"] = std::to_string(bytes_);
    image.blobs["cells"] = cells_;
}

bool SramChip::Load(const ChipImage& image, std::string& error) {
    auto blob = image.blobs.find("cells");
    if (image.kind != Kind() || blob == image.blobs.end() || blob->second.size() != cells_.size()) {
        error = kSimTextChipFileBadContents;
        return false;
    }
    cells_ = blob->second;
    return true;
}

}  // namespace krt
