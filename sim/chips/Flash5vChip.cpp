// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/chips/Flash5vChip.h"

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

constexpr uint64_t kS = 1000 * kNsPerMs;
constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();

struct Flash5vPart {
    const char* number;
    Flash5vFacts facts;
};

Flash5vFacts ByteProgram(uint32_t bytes, uint8_t maker, uint8_t device, uint32_t sector, uint64_t progTyp,
                         uint64_t progMax, uint64_t eraseTyp, uint64_t eraseMax, uint32_t decode, bool dq5,
                         double inhibit, uint64_t powerUp) {
    Flash5vFacts f;
    f.bytes = bytes;
    f.maker = maker;
    f.device = device;
    f.page = 1;
    f.sector = sector;
    f.programTypNs = progTyp;
    f.programMaxNs = progMax;
    f.eraseTypNs = eraseTyp;
    f.eraseMaxNs = eraseMax;
    f.decodeMask = decode;
    f.dq5 = dq5;
    f.inhibitVcc = inhibit;
    f.powerUpDelayNs = powerUp;
    return f;
}

Flash5vFacts PageMode(uint32_t bytes, uint8_t maker, uint8_t device, uint32_t page, uint64_t cycleTyp,
                      uint64_t cycleMax, uint64_t eraseTyp, uint64_t eraseMax, uint64_t window, bool unloadedFF,
                      bool threeByteId, double inhibit) {
    Flash5vFacts f;
    f.bytes = bytes;
    f.maker = maker;
    f.device = device;
    f.page = page;
    f.sector = page;
    f.programTypNs = cycleTyp;
    f.programMaxNs = cycleMax;
    f.eraseTypNs = eraseTyp;
    f.eraseMaxNs = eraseMax;
    f.loadWindowNs = window;
    f.unloadedFF = unloadedFF;
    f.threeByteId = threeByteId;
    f.protection = true;
    f.inhibitVcc = inhibit;
    f.powerUpDelayNs = 5 * kNsPerMs;
    return f;
}

// resetOnPin1: the part without "N" has RESET# on pin 1.
Flash5vFacts WithReset(Flash5vFacts f, bool resetOnPin1) {
    f.resetOnPin1 = resetOnPin1;
    return f;
}

// Atmel AT49F: byte program 50 us, chip erase 10 s, the whole chip one sector.
Flash5vFacts Atmel49(uint32_t bytes, uint8_t device, bool resetOnPin1) {
    return WithReset(ByteProgram(bytes, 0x1F, device, bytes, 50 * kNsPerUs, 50 * kNsPerUs, 10 * kS, 10 * kS, 0x7FFF, false, 3.8,
                                 5 * kNsPerMs),
                     resetOnPin1);
}

// The 2 Mbit boot-block parts of AMD and Macronix: as the Am29F0x0B.
Flash5vFacts Boot002(uint8_t maker, uint8_t device, bool resetOnPin1) {
    return WithReset(ByteProgram(0x40000, maker, device, 0x10000, 7 * kNsPerUs, 300 * kNsPerUs, 4 * kS, 64 * kS, 0x7FF, true,
                                 3.2, 100 * kNsPerUs),
                     resetOnPin1);
}

// From the makers' datasheets. SST39SF0x0: 4 KB sectors, byte program 14 us
// typ / 20 us max, chip erase 70 ms typ (100 ms taken as the maximum), no
// DQ5. Am29F0x0B: A10-A0 decoded, DQ5, byte 7 us typ / 300 us max, 64 KB
// (040B) or 16 KB (010B) sectors, chip erase 8 s typ. AT49F0x0: byte 50 us,
// chip erase 10 s. MX29F040: byte 7 us typ, chip erase 4 s typ (29F040C
// figures), 64 KB sectors. Page mode: AT29C 10 ms sector cycle, tBLC 150 us,
// bytes not loaded indeterminate, writes inhibited below 3.8 V for 5 ms;
// W29C020 128-byte page, tBLC 200 us, bytes not loaded FF, inhibit 2.5 V;
// W29EE011 10 ms page cycle, chip erase 50 ms, six-byte ID entry only;
// SST29EE010 5 ms typ page cycle. Where a sheet gives only one figure it is
// both typical and maximum here.
const Flash5vPart kFlash5vParts[] = {
    {"SST39SF010", ByteProgram(0x20000, 0xBF, 0xB5, 0x1000, 14 * kNsPerUs, 20 * kNsPerUs, 70 * kNsPerMs, 100 * kNsPerMs, 0x7FFF,
                               false, 2.5, 100 * kNsPerUs)},
    {"SST39SF020", ByteProgram(0x40000, 0xBF, 0xB6, 0x1000, 14 * kNsPerUs, 20 * kNsPerUs, 70 * kNsPerMs, 100 * kNsPerMs, 0x7FFF,
                               false, 2.5, 100 * kNsPerUs)},
    {"SST39SF040", ByteProgram(0x80000, 0xBF, 0xB7, 0x1000, 14 * kNsPerUs, 20 * kNsPerUs, 70 * kNsPerMs, 100 * kNsPerMs, 0x7FFF,
                               false, 2.5, 100 * kNsPerUs)},
    {"29F010", ByteProgram(0x20000, 0x01, 0x20, 0x4000, 7 * kNsPerUs, 300 * kNsPerUs, 2 * kS, 30 * kS, 0x7FF, true, 3.2,
                           100 * kNsPerUs)},
    {"29F040", ByteProgram(0x80000, 0x01, 0xA4, 0x10000, 7 * kNsPerUs, 300 * kNsPerUs, 8 * kS, 64 * kS, 0x7FF, true, 3.2,
                           100 * kNsPerUs)},
    {"MX29F040", ByteProgram(0x80000, 0xC2, 0xA4, 0x10000, 7 * kNsPerUs, 300 * kNsPerUs, 4 * kS, 32 * kS, 0x7FF, true, 3.2,
                             100 * kNsPerUs)},
    {"AT49F010", ByteProgram(0x20000, 0x1F, 0x17, 0x20000, 50 * kNsPerUs, 50 * kNsPerUs, 10 * kS, 10 * kS, 0x7FFF, false,
                             3.8, 5 * kNsPerMs)},
    {"AT49F040", ByteProgram(0x80000, 0x1F, 0x13, 0x80000, 50 * kNsPerUs, 50 * kNsPerUs, 10 * kS, 10 * kS, 0x7FFF, false,
                             3.8, 5 * kNsPerMs)},
    {"AT29C512", PageMode(0x10000, 0x1F, 0x5D, 128, 10 * kNsPerMs, 10 * kNsPerMs, 0, 0, 150 * kNsPerUs, false, true, 3.8)},
    {"AT29C010", PageMode(0x20000, 0x1F, 0xD5, 128, 10 * kNsPerMs, 10 * kNsPerMs, 0, 0, 150 * kNsPerUs, false, true, 3.8)},
    {"AT29C020", PageMode(0x40000, 0x1F, 0xDA, 256, 10 * kNsPerMs, 10 * kNsPerMs, 0, 0, 150 * kNsPerUs, false, true, 3.8)},
    {"AT29C040", PageMode(0x80000, 0x1F, 0xA4, 256, 10 * kNsPerMs, 10 * kNsPerMs, 0, 0, 150 * kNsPerUs, false, true, 3.8)},
    {"W29C020", PageMode(0x40000, 0xDA, 0x45, 128, 5 * kNsPerMs, 10 * kNsPerMs, 50 * kNsPerMs, 50 * kNsPerMs, 200 * kNsPerUs, true, false,
                         2.5)},
    {"W29C040", PageMode(0x80000, 0xDA, 0x46, 256, 5 * kNsPerMs, 10 * kNsPerMs, 50 * kNsPerMs, 50 * kNsPerMs, 200 * kNsPerUs, true, true,
                         2.5)},
    {"W29EE011", PageMode(0x20000, 0xDA, 0xC1, 128, 5 * kNsPerMs, 10 * kNsPerMs, 50 * kNsPerMs, 50 * kNsPerMs, 200 * kNsPerUs, true, false,
                          2.5)},
    {"SST29EE010", PageMode(0x20000, 0xBF, 0x07, 128, 5 * kNsPerMs, 10 * kNsPerMs, 0, 0, 100 * kNsPerUs, true, true, 2.5)},
    // Parts of the same families: the SST39SF512 as its SST39SF siblings;
    // SST29EE512/020 as the SST29EE010; W29EE512 as the W29EE011 with the
    // three-byte ID entry as well; M29F040B as the Am29F040B (ST's code);
    // AT49F512/020/001/002 as the AT49F010; the 002 parts of AMD and
    // Macronix decode A10-A0 as the Am29F0x0B. IDs from the parts' tables.
    {"SST39SF512", ByteProgram(0x10000, 0xBF, 0xB4, 0x1000, 14 * kNsPerUs, 20 * kNsPerUs, 70 * kNsPerMs, 100 * kNsPerMs, 0x7FFF,
                               false, 2.5, 100 * kNsPerUs)},
    {"SST29EE512", PageMode(0x10000, 0xBF, 0x5D, 128, 5 * kNsPerMs, 10 * kNsPerMs, 0, 0, 100 * kNsPerUs, true, true, 2.5)},
    {"SST29EE020", PageMode(0x40000, 0xBF, 0x10, 128, 5 * kNsPerMs, 10 * kNsPerMs, 0, 0, 100 * kNsPerUs, true, true, 2.5)},
    {"W29EE512", PageMode(0x10000, 0xDA, 0xC8, 128, 5 * kNsPerMs, 10 * kNsPerMs, 50 * kNsPerMs, 50 * kNsPerMs, 200 * kNsPerUs, true, true,
                          2.5)},
    // ST's number is inside AMD's: AMD's whole number keeps its own row.
    {"AM29F040B", ByteProgram(0x80000, 0x01, 0xA4, 0x10000, 7 * kNsPerUs, 300 * kNsPerUs, 8 * kS, 64 * kS, 0x7FF, true, 3.2,
                              100 * kNsPerUs)},
    {"M29F040B", ByteProgram(0x80000, 0x20, 0xE2, 0x10000, 7 * kNsPerUs, 300 * kNsPerUs, 8 * kS, 64 * kS, 0x7FF, true, 3.2,
                             100 * kNsPerUs)},
    {"AT49F512", Atmel49(0x10000, 0x03, false)},
    {"AT49F020", Atmel49(0x40000, 0x0B, false)},
    {"AT49F001", Atmel49(0x20000, 0x05, true)},
    {"AT49F001T", Atmel49(0x20000, 0x04, true)},
    {"AT49F001N", Atmel49(0x20000, 0x05, false)},
    {"AT49F001NT", Atmel49(0x20000, 0x04, false)},
    {"AT49F002", Atmel49(0x40000, 0x07, true)},
    {"AT49F002T", Atmel49(0x40000, 0x08, true)},
    {"AT49F002N", Atmel49(0x40000, 0x07, false)},
    {"AT49F002NT", Atmel49(0x40000, 0x08, false)},
    {"29F002BB", Boot002(0x01, 0x34, true)},
    {"29F002BT", Boot002(0x01, 0xB0, true)},
    {"29F002NBB", Boot002(0x01, 0x34, false)},
    {"29F002NBT", Boot002(0x01, 0xB0, false)},
    {"MX29F002B", Boot002(0xC2, 0x34, true)},
    {"MX29F002T", Boot002(0xC2, 0xB0, true)},
    {"MX29F002NB", Boot002(0xC2, 0x34, false)},
    {"MX29F002NT", Boot002(0xC2, 0xB0, false)},
};

constexpr const char* kFlash5vDescription = "FLASH5V %s (%lu x 8 bits%s)";
constexpr const char* kFlash5vProtectedNote = ", software data protection on";
constexpr const char* kFlash5vNoProtection = "this part has no switchable software data protection";
constexpr const char* kFlash5vNoArguments = "takes no arguments";
constexpr const char* kBreachBusy = "a write cycle reached %s at %.3f ms while its %s was running";
constexpr const char* kBreachVcc = "a write cycle reached %s at %.3f ms with Vcc %.2f V, below its operating %.2f V";
constexpr const char* kBreachPowerUp =
    "a write cycle reached %s at %.3f ms, inside its power-up write inhibit of %.1f ms";

}  // namespace

bool LookUpFlash5vPart(const std::string& name, Flash5vFacts& facts) {
    std::string u(name);
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const Flash5vPart* best = nullptr;
    for (const Flash5vPart& p : kFlash5vParts)
        if (u.find(p.number) != std::string::npos && (!best || std::strlen(p.number) > std::strlen(best->number)))
            best = &p;
    if (!best) return false;
    facts = best->facts;
    return true;
}

std::unique_ptr<Chip> MakeBlankFlash5v(const DeviceRecord& record, std::string& note) {
    if (record.maxsize == 0 || record.maxsize > Flash5vChip::kMaxBytes) {
        char text[256];
        std::snprintf(text, sizeof text, "device %s has %lu addresses; the simulated flash holds 1 to 1M",
                      record.name.c_str(), static_cast<unsigned long>(record.maxsize));
        note = text;
        return nullptr;
    }
    Flash5vFacts facts;
    if (!LookUpFlash5vPart(record.name, facts)) {
        // A part the table does not know: the catalogue's page and times.
        facts.page = record.pagewrite && std::has_single_bit(record.pagesize) ? record.pagesize : 1;
        facts.protection = facts.page > 1;
        if (record.tpw > 0) facts.programTypNs = facts.programMaxNs = static_cast<uint64_t>(record.tpw * 1e9);
    }
    facts.bytes = record.maxsize;
    return std::make_unique<Flash5vChip>(record.name, facts);
}

std::unique_ptr<Chip> MakeShapedFlash5v(const ChipImage& image, std::string& error) {
    auto it = image.values.find("bytes");
    const unsigned long bytes = it == image.values.end() ? 0 : std::strtoul(it->second.c_str(), nullptr, 10);
    if (bytes == 0 || bytes > Flash5vChip::kMaxBytes) {
        error = kSimTextChipFileBadContents;
        return nullptr;
    }
    Flash5vFacts facts;
    LookUpFlash5vPart(image.device, facts);
    facts.bytes = static_cast<uint32_t>(bytes);
    return std::make_unique<Flash5vChip>(image.device, facts);
}

Flash5vChip::Flash5vChip(std::string deviceName, const Flash5vFacts& facts)
    : Chip(std::move(deviceName)), facts_(facts) {
    facts_.bytes = std::clamp<uint32_t>(facts_.bytes, 1, kMaxBytes);
    if (!std::has_single_bit(facts_.page)) facts_.page = 1;
    if (!std::has_single_bit(facts_.sector)) facts_.sector = facts_.bytes;
    mask_ = std::bit_ceil(facts_.bytes) - 1;
    cells_.assign(facts_.bytes, 0xFF);
    pageData_.assign(facts_.page, -1);
    // The 32-pin socket of the parallel EEPROMs: WE# on pin 31, pin 1 NC or A18.
    socketConfig_ = 0x12;
}

std::string Flash5vChip::Describe() const {
    char text[200];
    std::snprintf(text, sizeof text, kFlash5vDescription, deviceName_.c_str(), static_cast<unsigned long>(facts_.bytes),
                  protected_ ? kFlash5vProtectedNote : "");
    return text;
}

void Flash5vChip::SetCell(uint32_t address, uint8_t value) {
    if (address >= cells_.size()) return;
    cells_[address] = value;
    changed_ = true;
}

void Flash5vChip::SetProtected(bool on) {
    if (protected_ != on) changed_ = true;
    protected_ = on;
}

bool Flash5vChip::Busy(uint64_t nowNs) {
    Advance(nowNs);
    return busy_ != Run::None;
}

std::string Flash5vChip::TakeHostBreach() {
    std::string b;
    b.swap(breach_);
    return b;
}

void Flash5vChip::NoteBreach(const char* what, uint64_t nowNs) {
    if (!breach_.empty()) return;
    const char* running = busy_ == Run::Erase ? "erase" : busy_ == Run::Page ? "page write cycle" : "program";
    char text[300];
    std::snprintf(text, sizeof text, what, Describe().c_str(), static_cast<double>(nowNs) / 1e6, running);
    breach_ = text;
}

void Flash5vChip::Advance(uint64_t nowNs) {
    if (loading_ && nowNs > lastLoadNs_ + facts_.loadWindowNs) StartPageCycle(lastLoadNs_ + facts_.loadWindowNs);
    if (busy_ == Run::None) return;
    if (facts_.dq5 && !exceeded_) {
        const uint64_t limit = busy_ == Run::Erase ? facts_.eraseMaxNs : facts_.programMaxNs;
        if (busyUntilNs_ > busyFromNs_ + limit && nowNs >= busyFromNs_ + limit) exceeded_ = true;
    }
    if (nowNs >= busyUntilNs_) EndBusy();
}

bool Flash5vChip::TakesWrite(uint32_t address) {
    if (std::binary_search(dead_.begin(), dead_.end(), address)) return false;
    auto it = std::lower_bound(weak_.begin(), weak_.end(), address,
                               [](const WeakCell& w, uint32_t a) { return w.address < a; });
    if (it == weak_.end() || it->address != address) return true;
    uint32_t& seen = weakSeen_[static_cast<size_t>(it - weak_.begin())];
    if (seen < it->pulses) ++seen;
    return seen >= it->pulses;
}

void Flash5vChip::EndBusy() {
    switch (busy_) {
        case Run::Program:
            if (programAddress_ < cells_.size() && TakesWrite(programAddress_)) {
                const uint8_t v = static_cast<uint8_t>(cells_[programAddress_] & programData_);
                if (v != cells_[programAddress_]) changed_ = true;
                cells_[programAddress_] = v;
            }
            break;
        case Run::Erase:
            for (uint32_t a = eraseFrom_; a < eraseFrom_ + eraseCount_ && a < cells_.size(); ++a) {
                if (cells_[a] != 0xFF) changed_ = true;
                cells_[a] = 0xFF;
            }
            break;
        case Run::Page:
            if (!protected_ || unlocked_) {
                for (uint32_t offset = 0; offset < facts_.page; ++offset) {
                    const uint32_t address = pageBase_ | offset;
                    if (address >= cells_.size()) continue;
                    uint8_t value;
                    if (pageData_[offset] >= 0) {
                        value = static_cast<uint8_t>(pageData_[offset]);
                        if (!TakesWrite(address)) value = cells_[address];
                    } else {
                        value = facts_.unloadedFF ? 0xFF : static_cast<uint8_t>(cells_[address] ^ 0x5A);
                    }
                    if (cells_[address] != value) changed_ = true;
                    cells_[address] = value;
                }
            }
            if (pendingProtection_ >= 0) SetProtected(pendingProtection_ == 1);
            break;
        case Run::None: break;
    }
    Abandon();
}

// Clears the page buffer, the command sequence and anything running.
void Flash5vChip::Abandon() {
    std::fill(pageData_.begin(), pageData_.end(), int16_t{-1});
    held_.clear();
    loading_ = unlocked_ = false;
    pendingProtection_ = -1;
    busy_ = Run::None;
    exceeded_ = false;
    step_ = 0;
    erasePrefix_ = programArmed_ = false;
}

void Flash5vChip::Reset() {
    mode_ = Mode::Read;
    step_ = 0;
    erasePrefix_ = programArmed_ = false;
}

void Flash5vChip::StartProgram(uint32_t address, uint8_t data, uint64_t nowNs) {
    programAddress_ = address;
    programData_ = data;
    pollData_ = data;
    busy_ = Run::Program;
    busyFromNs_ = nowNs;
    exceeded_ = false;
    ++programs_;
    // AMD: a 1 over a 0 never completes (DQ5 after the limit); a stuck chip neither.
    const bool raises = address < cells_.size() && (cells_[address] & data) != data;
    busyUntilNs_ = neverReady_ || (facts_.dq5 && raises) ? kNever : nowNs + ProgramNs();
}

void Flash5vChip::StartErase(uint32_t from, uint32_t count, uint64_t nowNs) {
    eraseFrom_ = from;
    eraseCount_ = count;
    pollData_ = 0x00;  // DQ7 reads 0 until the erase has ended
    busy_ = Run::Erase;
    busyFromNs_ = nowNs;
    exceeded_ = false;
    ++erases_;
    const uint64_t length = from == 0 && count >= facts_.bytes ? EraseNs() : std::max<uint64_t>(EraseNs() / 4, 1);
    busyUntilNs_ = neverReady_ ? kNever : nowNs + length;
}

// The byte-program parts' command register.
void Flash5vChip::Command(uint32_t address, uint8_t data, uint64_t nowNs) {
    const uint32_t decoded = address & facts_.decodeMask;
    const uint32_t a5555 = 0x5555 & facts_.decodeMask, a2AAA = 0x2AAA & facts_.decodeMask;
    if (programArmed_) {
        programArmed_ = false;
        step_ = 0;
        StartProgram(address, data, nowNs);
        return;
    }
    if (data == 0xF0 && step_ != 2) {  // reset / ID exit at any address
        Reset();
        return;
    }
    switch (step_) {
        case 0:
            step_ = decoded == a5555 && data == 0xAA ? 1 : 0;
            if (step_ == 0) erasePrefix_ = false;  // 80 must be followed by the second unlock
            return;
        case 1:
            step_ = decoded == a2AAA && data == 0x55 ? 2 : 0;
            if (step_ == 0) erasePrefix_ = false;
            return;
        case 2: {
            step_ = 0;
            const bool prefixed = erasePrefix_;
            erasePrefix_ = false;
            if (prefixed) {
                if (decoded == a5555 && data == 0x10 && facts_.eraseTypNs != 0) StartErase(0, facts_.bytes, nowNs);
                else if (data == 0x30 && facts_.eraseTypNs != 0 && facts_.sector < facts_.bytes)
                    StartErase(address & ~(facts_.sector - 1) & mask_, facts_.sector, nowNs);
                else if (decoded == a5555 && data == 0x60) mode_ = Mode::Id;
                return;
            }
            if (decoded != a5555) return;
            if (data == 0xA0) programArmed_ = true;
            else if (data == 0x90 && facts_.threeByteId) mode_ = Mode::Id;
            else if (data == 0x80) erasePrefix_ = true;
            else if (data == 0xF0) Reset();
            return;
        }
        default: step_ = 0; return;
    }
}

// A page-mode part's write cycle: a sequence's cycles are held until they
// are known to be a command; anything else is page data.
void Flash5vChip::PageLoad(uint32_t address, uint8_t data, uint64_t nowNs) {
    const uint32_t decoded = address & 0x7FFF;
    if (!loading_) {
        loading_ = true;
        unlocked_ = false;
        pendingProtection_ = -1;
        held_.clear();
        step_ = 0;
        erasePrefix_ = false;
    }
    lastLoadNs_ = nowNs;
    pollData_ = data;
    auto toPage = [this](uint32_t a, uint8_t d) {
        pageData_[a & (facts_.page - 1)] = d;
        pageBase_ = a & ~(facts_.page - 1) & mask_;
    };
    auto notCommand = [&] {
        for (const auto& [a, d] : held_) toPage(a, d);
        held_.clear();
        step_ = 0;
        erasePrefix_ = false;
        toPage(address, data);
    };
    // Sequences are recognised at the start of a load (or right after one).
    const bool atStart = !unlocked_ && std::all_of(pageData_.begin(), pageData_.end(), [](int16_t v) { return v < 0; });
    if (!atStart) {
        toPage(address, data);
        return;
    }
    const bool expectAA = step_ == 0 || step_ == 3;
    if (expectAA) {
        if (decoded == 0x5555 && data == 0xAA) {
            held_.emplace_back(address, data);
            ++step_;
        } else {
            notCommand();
        }
        return;
    }
    if (step_ == 1 || step_ == 4) {
        if (decoded == 0x2AAA && data == 0x55) {
            held_.emplace_back(address, data);
            ++step_;
        } else {
            notCommand();
        }
        return;
    }
    // The command cycle (step 2 after AA 55, step 5 after AA 55 80 AA 55).
    if (decoded != 0x5555) {
        notCommand();
        return;
    }
    const bool six = step_ == 5;
    if (!six && data == 0x80) {
        held_.emplace_back(address, data);
        step_ = 3;
        return;
    }
    const bool protectedWrite = !six && data == 0xA0;
    const bool disable = six && data == 0x20 && facts_.protection;
    const bool idEntry = (!six && data == 0x90 && facts_.threeByteId) || (six && data == 0x60);
    const bool idExit = !six && data == 0xF0;
    const bool chipErase = six && data == 0x10 && facts_.eraseTypNs != 0;
    if (!protectedWrite && !disable && !idEntry && !idExit && !chipErase) {
        notCommand();  // not a command this part knows: the cycles were data
        return;
    }
    held_.clear();
    step_ = 0;
    if (protectedWrite || disable) {
        unlocked_ = !locked_;
        if (facts_.protection && !locked_) pendingProtection_ = protectedWrite ? 1 : 0;
        return;
    }
    // Commands without page data: the load ends without a write cycle.
    loading_ = false;
    if (idEntry) mode_ = Mode::Id;
    else if (idExit) mode_ = Mode::Read;
    else StartErase(0, facts_.bytes, nowNs);
}

void Flash5vChip::StartPageCycle(uint64_t startNs) {
    loading_ = false;
    for (const auto& [a, d] : held_) {  // a sequence the window cut short: its cycles were data
        pageData_[a & (facts_.page - 1)] = d;
        pageBase_ = a & ~(facts_.page - 1) & mask_;
    }
    held_.clear();
    busy_ = Run::Page;
    busyFromNs_ = startNs;
    ++programs_;
    busyUntilNs_ = neverReady_ ? kNever : startNs + ProgramNs();
}

// RESET# low abandons what runs and returns the chip to read mode.
bool Flash5vChip::HeldInReset(const SocketState& socket) {
    if (!facts_.resetOnPin1 || (socket.address & kPin1AddressBit) != 0) return false;
    Abandon();
    Reset();
    return true;
}

void Flash5vChip::PinsChanged(const SocketState& socket, uint32_t changed) {
    if (!(changed & kPinSupply)) return;
    Advance(socket.nowNs);
    if (socket.vcc < facts_.inhibitVcc) {
        if (powered_) {
            // A page load still open is written: the supply falls through the
            // byte-load window long before it reaches the inhibit level, so
            // the window closes and the cycle runs on the charge left. A lone
            // data cycle (a stray reset byte) thus rewrites its page.
            if (loading_) {
                StartPageCycle(socket.nowNs);
                EndBusy();
            }
            Abandon();  // what ran is cut off; ID mode is lost at power-down
            mode_ = Mode::Read;
        }
        powered_ = false;
    } else if (!powered_) {
        powered_ = true;
        poweredSinceNs_ = socket.nowNs;
    }
}

void Flash5vChip::WriteCycle(const SocketState& socket, DataLane lane, uint64_t strobeNs) {
    (void)lane;
    (void)strobeNs;
    const uint64_t now = socket.nowNs;
    Advance(now);
    if (socket.vcc < kVccMin) {
        char text[300];
        std::snprintf(text, sizeof text, kBreachVcc, Describe().c_str(), static_cast<double>(now) / 1e6,
                      socket.vcc, kVccMin);
        if (breach_.empty()) breach_ = text;
        return;
    }
    if (!powered_ || now < poweredSinceNs_ + facts_.powerUpDelayNs) {
        char text[300];
        std::snprintf(text, sizeof text, kBreachPowerUp, Describe().c_str(), static_cast<double>(now) / 1e6,
                      static_cast<double>(facts_.powerUpDelayNs) / 1e6);
        if (breach_.empty()) breach_ = text;
        return;
    }
    if (HeldInReset(socket)) return;
    const uint32_t address = socket.address & mask_;
    const uint8_t data = socket.dataLow;
    if (busy_ != Run::None) {
        // AMD: after DQ5 the reset is what the host must write.
        if (exceeded_ && data == 0xF0) {
            Abandon();
            Reset();
            return;
        }
        NoteBreach(kBreachBusy, now);
        return;
    }
    if (facts_.page > 1) PageLoad(address, data, now);
    else Command(address, data, now);
}

uint16_t Flash5vChip::ReadCycle(const SocketState& socket, DataLane lane) {
    (void)lane;
    Advance(socket.nowNs);
    if (socket.vcc < kVccMin) return 0xFFFF;
    if (HeldInReset(socket)) return 0xFFFF;  // the outputs are off in reset
    if (loading_) StartPageCycle(socket.nowNs);  // output enable ends the load
    if (busy_ != Run::None) {
        // DQ7 the complement of the polled bit (0 during an erase); DQ6
        // toggles; DQ5 the time-limit flag on AMD parts. The other outputs
        // are not data: the model shows them complemented.
        uint8_t v = static_cast<uint8_t>(~pollData_);
        if (busy_ == Run::Erase) v = 0x00;
        v = static_cast<uint8_t>((v & ~0x40) | (toggle_ ? 0x40 : 0));
        if (facts_.dq5) v = static_cast<uint8_t>((v & ~0x20) | (exceeded_ ? 0x20 : 0));
        toggle_ = !toggle_;
        return static_cast<uint16_t>(0xFF00 | v);
    }
    const uint32_t a = socket.address & mask_;
    if (mode_ == Mode::Id) {
        uint8_t maker = facts_.maker, device = facts_.device;
        if (identity_ == 1) {
            maker = facts_.maker == 0x01 ? 0xBF : 0x01;
            device = facts_.device == 0xA4 ? 0xB5 : 0xA4;
        } else if (identity_ == 2) {
            device = static_cast<uint8_t>(facts_.device + 1);
        } else if (identity_ == 3) {
            maker = device = 0xFF;
        }
        const uint8_t v = (a & ~1u) == 0 ? ((a & 1) ? device : maker) : 0x00;
        return static_cast<uint16_t>(0xFF00 | v);
    }
    return static_cast<uint16_t>(0xFF00 | (a < cells_.size() ? cells_[a] : 0xFF));
}

bool Flash5vChip::ApplyFault(std::string_view name, std::string_view args, std::string& error) {
    error.clear();
    if (fakes_.Take(name, args, {AddressLines(mask_), true, false}, error)) {
        mask_ &= fakes_.aliasMask;
        return true;
    }
    if (!error.empty()) return false;
    if (name != "sdp-locked" && name != "never-ready" && name != "slow-write" && name != "wrong-part" &&
        name != "other-device" && name != "blank-signature")
        return false;
    if (!args.empty()) {
        error = kFlash5vNoArguments;
        return false;
    }
    if (name == "sdp-locked") {
        if (!facts_.protection) {
            error = kFlash5vNoProtection;
            return false;
        }
        SetProtected(true);
        locked_ = true;
    } else if (name == "never-ready") {
        neverReady_ = true;
        if (busy_ != Run::None) busyUntilNs_ = kNever;
    } else if (name == "slow-write") {
        slow_ = true;
    } else {
        identity_ = name == "wrong-part" ? 1 : name == "other-device" ? 2 : 3;
    }
    return true;
}

void Flash5vChip::SetCellFaults(const CellFaults& faults) {
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

void Flash5vChip::Save(ChipImage& image) const {
    image.kind = Kind();
    image.device = deviceName_;
    image.values["bytes"] = std::to_string(facts_.bytes);
    image.values["page"] = std::to_string(facts_.page);
    image.values["maker-code"] = std::to_string(facts_.maker);
    image.values["device-code"] = std::to_string(facts_.device);
    image.values["protected"] = protected_ ? "1" : "0";
    image.blobs["cells"] = cells_;
}

bool Flash5vChip::Load(const ChipImage& image, std::string& error) {
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
    }
    if (GetNumber(image, "maker-code", v)) facts_.maker = static_cast<uint8_t>(v);
    if (GetNumber(image, "device-code", v)) facts_.device = static_cast<uint8_t>(v);
    if (GetNumber(image, "protected", v)) protected_ = v != 0;
    cells_ = blob->second;
    changed_ = false;
    return true;
}

}  // namespace krt
