// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/chips/PicChip.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "catalogue/DeviceRecord.h"
#include "sim/SimTexts.h"

namespace krt {

namespace {


// Serial commands of the programming specification.
enum : uint8_t {
    kLoadConfig = 0x00, kEraseStep1 = 0x01, kLoadProgram = 0x02, kLoadData = 0x03, kReadProgram = 0x04,
    kReadData = 0x05, kIncrement = 0x06, kEraseStep2 = 0x07, kBeginProgramming = 0x08,
    kBulkEraseProgram = 0x09, kBulkEraseData = 0x0B,
};

const char* PartName(PicChip::Part part) {
    switch (part) {
    case PicChip::Part::C84: return "16C84";
    case PicChip::Part::F84: return "16F84";
    default: return "16F84A";
    }
}

bool ParseWordList(std::string_view text, std::vector<uint32_t>& out) {
    if (text.empty()) return false;
    while (true) {
        const size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        if (item.size() > 2 && item[0] == '0' && (item[1] == 'x' || item[1] == 'X')) item.remove_prefix(2);
        if (item.empty() || item.size() > 4) return false;
        uint32_t v = 0;
        for (char c : item) {
            if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
            v = v * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                                         : std::tolower(c) - 'a' + 10);
        }
        out.push_back(v);
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

}  // namespace

bool PicChip::PartFromName(const std::string& name, Part& part) {
    const std::string u = UpperCase(name);
    if (u.find("16F84A") != std::string::npos) part = Part::F84A;
    else if (u.find("16F84") != std::string::npos) part = Part::F84;
    else if (u.find("16C84") != std::string::npos) part = Part::C84;
    else return false;
    return true;
}

PicChip::PicChip(std::string deviceName, Part part) : Chip(std::move(deviceName)), part_(part) {
    program_.fill(kBlank);
    config_.fill(kBlank);
    data_.fill(0xFF);
    if (part_ == Part::F84A) config_[6] = kDeviceId84A;
    socketConfig_ = kSocketConfig;
}

std::unique_ptr<Chip> MakeBlankPic(const DeviceRecord& record, std::string& note) {
    PicChip::Part part;
    if (!PicChip::PartFromName(record.name, part)) {
        char text[256];
        std::snprintf(text, sizeof text, kSimTextNoModel, record.name.c_str(), record.typecode);
        note = text;
        return nullptr;
    }
    return std::make_unique<PicChip>(record.name, part);
}

std::unique_ptr<Chip> MakeShapedPic(const ChipImage& image, std::string& error) {
    PicChip::Part part;
    if (!PicChip::PartFromName(image.device, part)) {
        error = kSimTextChipFileBadContents;
        return nullptr;
    }
    return std::make_unique<PicChip>(image.device, part);
}

std::string PicChip::Describe() const {
    char text[200];
    std::snprintf(text, sizeof text, "PIC %s (%u x 14 bits, %u bytes data EEPROM)%s", deviceName_.c_str(),
                  kProgramWords, kDataBytes, CodeProtected() ? ", code-protected" : "");
    return text;
}

bool PicChip::CodeProtected() const { return (config_[7] & CpMask()) != CpMask(); }

uint16_t PicChip::ConfigWordRead() const {
    return part_ == Part::C84 ? static_cast<uint16_t>(config_[7] | 0x3FE0) : config_[7];
}

uint64_t PicChip::ProgramTimeNs() const { return part_ == Part::F84A ? 8 * kNsPerMs : 10 * kNsPerMs; }

uint16_t PicChip::ReadWord(uint32_t address) const {
    if (address < kConfigBase) return CodeProtected() ? 0x0000 : program_[ProgramIndex(address)];
    const uint32_t k = address - kConfigBase;
    if (k >= 8 || k == 4 || k == 5) return kBlank;  // nothing there, reserved
    if (k == 6) return otherPart_ ? kDeviceIdOtherPart : part_ == Part::F84A && !blankId_ ? config_[6] : kBlank;
    if (k == 7) return ConfigWordRead();
    return config_[k];
}

void PicChip::SetProgram(uint32_t word, uint16_t value) {
    program_[word % kProgramWords] = value & kBlank;
    changed_ = true;
}

void PicChip::SetConfig(uint32_t k, uint16_t value) {
    config_[k & 7] = value & kBlank;
    changed_ = true;
}

void PicChip::SetDataByte(uint32_t a, uint8_t value) {
    data_[a % kDataBytes] = value;
    changed_ = true;
}

// --- pins ---

void PicChip::PinsChanged(const SocketState& socket, uint32_t changed) {
    nowNs_ = socket.nowNs;
    Settle(nowNs_);
    if (changed & (kPinSupply | kPinConfig)) Supplies(socket);
    if (!programMode_) return;
    const bool clock = socket.Level(Pin::RB6);
    if (clock == clock_) return;
    clock_ = clock;
    // A clock edge before the programming time has passed cuts the cycle short.
    pending_ = Pending::None;
    if (clock)
        RisingEdge();
    else
        FallingEdge(socket.Level(Pin::RB7));
}

void PicChip::Supplies(const SocketState& socket) {
    const bool valid = socket.vcc >= kVddMin && socket.vcc <= kVddMax && socket.vpp >= kVppMin &&
                       socket.vpp <= kVppMax;
    if (valid && !supplyValid_) {
        // MCLR reached its high voltage: program/verify mode only with RB6 and RB7 low.
        if (!socket.Level(Pin::RB6) && !socket.Level(Pin::RB7)) EnterProgramMode();
    } else if (!valid && programMode_) {
        programMode_ = false;
        driving_ = false;
        pending_ = Pending::None;  // power gone before the cycle ended
    }
    supplyValid_ = valid;
}

void PicChip::EnterProgramMode() {
    programMode_ = true;
    pc_ = 0;
    clock_ = false;
    phase_ = Phase::Command;
    bits_ = 0;
    shift_ = 0;
    driving_ = false;
    step1_ = eraseArmed_ = false;
    bulk_ = 0;
}

bool PicChip::Output(Pin pin, const SocketState& socket) {
    (void)socket;
    if (pin != Pin::RB7 || !programMode_ || !driving_) return true;
    return outBit_;
}

void PicChip::RisingEdge() {
    if (phase_ != Phase::ReadData) return;
    ++bits_;
    // Rising edge 2 puts out bit 0, edge 15 bit 13; the 16th is the stop bit.
    if (bits_ >= 2 && bits_ <= 15) {
        driving_ = true;
        outBit_ = (outWord_ >> (bits_ - 2)) & 1;
    } else {
        outBit_ = true;
    }
}

void PicChip::FallingEdge(bool data) {
    switch (phase_) {
    case Phase::Command:
        shift_ |= static_cast<uint32_t>(data) << bits_;
        if (++bits_ == 6) {
            const auto command = static_cast<uint8_t>(shift_);
            bits_ = 0;
            shift_ = 0;
            Execute(command);
        }
        break;
    case Phase::LoadData:
        shift_ |= static_cast<uint32_t>(data) << bits_;
        if (++bits_ == 16) {
            const auto value = static_cast<uint16_t>((shift_ >> 1) & kBlank);
            phase_ = Phase::Command;
            bits_ = 0;
            shift_ = 0;
            LoadDone(value);
        }
        break;
    case Phase::ReadData:
        if (bits_ >= 16) {
            driving_ = false;  // released after the 16th clock
            phase_ = Phase::Command;
            bits_ = 0;
        }
        break;
    }
}

void PicChip::Execute(uint8_t command) {
    const bool afterStep1 = step1_;
    const bool armed = eraseArmed_;
    const uint8_t bulk = bulk_;
    step1_ = eraseArmed_ = false;
    bulk_ = 0;
    switch (command) {
    case kLoadConfig:
    case kLoadProgram:
    case kLoadData:
        command_ = command;
        phase_ = Phase::LoadData;
        break;
    case kReadProgram:
        outWord_ = ReadWord(pc_);
        phase_ = Phase::ReadData;
        break;
    case kReadData:
        outWord_ = CodeProtected() || pc_ >= kConfigBase ? 0 : data_[pc_ % kDataBytes];
        phase_ = Phase::ReadData;
        break;
    case kIncrement: pc_ = (pc_ + 1) & 0x3FFF; break;
    case kEraseStep1: step1_ = true; break;
    case kEraseStep2: eraseArmed_ = afterStep1 && pc_ == kConfigBase + 7 && programLatch_ == kBlank; break;
    case kBulkEraseProgram:
    case kBulkEraseData: bulk_ = command; break;
    case kBeginProgramming: BeginProgramming(armed, bulk); break;
    default: break;  // not a command of these parts
    }
}

void PicChip::LoadDone(uint16_t value) {
    switch (command_) {
    case kLoadConfig:
        pc_ = kConfigBase;
        programLatch_ = value;
        dataLoadedLast_ = false;
        break;
    case kLoadProgram:
        programLatch_ = value;
        dataLoadedLast_ = false;
        break;
    case kLoadData:
        dataLatch_ = static_cast<uint8_t>(value);
        dataLoadedLast_ = true;
        break;
    default: break;
    }
}

// The cycle starts at the command's last falling edge and ends after the
// part's erase/program time (the chip erase after about 10 ms).
void PicChip::BeginProgramming(bool chipErase, uint8_t bulk) {
    pendingAddress_ = pc_;
    pendingEndNs_ = nowNs_ + (chipErase ? 10 * kNsPerMs : ProgramTimeNs());
    if (chipErase) pending_ = Pending::ChipErase;
    else if (bulk == kBulkEraseProgram) pending_ = Pending::BulkProgram;
    else if (bulk == kBulkEraseData) pending_ = Pending::BulkData;
    else if (dataLoadedLast_) pending_ = Pending::Data;
    else pending_ = Pending::Program;
}

void PicChip::Settle(uint64_t nowNs) {
    if (pending_ == Pending::None || nowNs < pendingEndNs_) return;
    Commit();
    pending_ = Pending::None;
}

bool PicChip::TakeCycle(uint32_t address) {
    if (std::find(dead_.begin(), dead_.end(), address) != dead_.end()) return false;
    for (Weak& w : weak_) {
        if (w.address != address) continue;
        if (w.seen < w.cycles) ++w.seen;
        return w.seen >= w.cycles;
    }
    return true;
}

void PicChip::Commit() {
    const bool protectedNow = CodeProtected();
    const uint32_t a = pendingAddress_;
    switch (pending_) {
    case Pending::Program:
        if (a < kConfigBase) {
            if (protectedNow) return;
            const uint32_t word = ProgramIndex(a);
            // The cycle erases the word first; a weak word is left erased.
            program_[word] = TakeCycle(word) ? programLatch_ : kBlank;
        } else if (a < kConfigBase + 8) {
            const uint32_t k = a - kConfigBase;
            if (k >= 4 && k <= 6) return;  // reserved and device ID: read-only
            if (!TakeCycle(a)) return;
            // Only the code-protect disable sequence lifts protection.
            config_[k] = (k == 7 && protectedNow) ? static_cast<uint16_t>(config_[k] & programLatch_) : programLatch_;
        } else {
            return;
        }
        break;
    case Pending::Data:
        if (protectedNow || a >= kConfigBase) return;
        data_[a % kDataBytes] = dataLatch_;
        break;
    case Pending::BulkProgram:
        if (protectedNow) return;
        program_.fill(kBlank);
        break;
    case Pending::BulkData:
        if (protectedNow) return;
        data_.fill(0xFF);
        break;
    case Pending::ChipErase:
        program_.fill(kBlank);
        data_.fill(0xFF);
        for (uint32_t k : {0u, 1u, 2u, 3u, 7u}) config_[k] = kBlank;
        break;
    case Pending::None: return;
    }
    changed_ = true;
}

// --- faults and files ---

void PicChip::SetRevision(uint8_t revision) {
    if (part_ == Part::F84A) config_[6] = static_cast<uint16_t>(kDeviceId84A | (revision & 0x1F));
}

bool PicChip::ApplyFault(std::string_view name, std::string_view args, std::string& error) {
    if (fakes_.Take(name, args, {AddressLines(kProgramWords - 1), false, false}, error)) return true;
    if (!error.empty()) return false;
    if (name == "code-protected") {
        if (!args.empty()) {
            error = kSimTextNoArgs;
            return false;
        }
        config_[7] = static_cast<uint16_t>(config_[7] & ~CpMask());
        changed_ = true;
        return true;
    }
    // Only the 16F84A has a device ID to read blank.
    if (name == "blank-signature" && part_ != Part::F84A) return false;
    if (name == "wrong-part" || name == "blank-signature") {
        if (!args.empty()) {
            error = kSimTextNoArgs;
            return false;
        }
        (name == "wrong-part" ? otherPart_ : blankId_) = true;
        return true;
    }
    if (name == "weak-words") {
        std::vector<uint32_t> words;
        if (!ParseWordList(args, words)) {
            error = kSimTextNeedsAddresses;
            return false;
        }
        for (uint32_t a : words) weak_.push_back({a, kWeakCycles, 0});
        return true;
    }
    return false;
}

void PicChip::SetCellFaults(const CellFaults& faults) {
    weak_.clear();
    for (const WeakCell& w : faults.weak) weak_.push_back({w.address, std::max<uint32_t>(w.pulses, 1), 0});
    dead_ = faults.dead;
}

void PicChip::Save(ChipImage& image) const {
    image.kind = Kind();
    image.device = deviceName_;
    image.values["part"] = PartName(part_);
    std::vector<uint8_t> program, config;
    for (uint16_t w : program_) {
        program.push_back(static_cast<uint8_t>(w >> 8));
        program.push_back(static_cast<uint8_t>(w));
    }
    for (uint16_t w : config_) {
        config.push_back(static_cast<uint8_t>(w >> 8));
        config.push_back(static_cast<uint8_t>(w));
    }
    image.blobs["program"] = std::move(program);
    image.blobs["config"] = std::move(config);
    image.blobs["data"] = std::vector<uint8_t>(data_.begin(), data_.end());
}

bool PicChip::Load(const ChipImage& image, std::string& error) {
    auto part = image.values.find("part");
    auto program = image.blobs.find("program");
    auto config = image.blobs.find("config");
    auto data = image.blobs.find("data");
    if (image.kind != Kind() || part == image.values.end() || part->second != PartName(part_) ||
        program == image.blobs.end() || program->second.size() != 2 * kProgramWords || config == image.blobs.end() ||
        config->second.size() != 16 || data == image.blobs.end() || data->second.size() != kDataBytes) {
        error = kSimTextChipFileBadContents;
        return false;
    }
    for (uint32_t i = 0; i < kProgramWords; ++i)
        program_[i] = static_cast<uint16_t>((program->second[2 * i] << 8 | program->second[2 * i + 1]) & kBlank);
    for (uint32_t k = 0; k < 8; ++k)
        config_[k] = static_cast<uint16_t>((config->second[2 * k] << 8 | config->second[2 * k + 1]) & kBlank);
    std::copy(data->second.begin(), data->second.end(), data_.begin());
    changed_ = false;
    return true;
}

}  // namespace krt
