// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/chips/GalChip.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "catalogue/DeviceRecord.h"
#include "sim/ChipImageValues.h"
#include "sim/SimTexts.h"

namespace krt {

namespace {


// The PES bytes: [1] the programming algorithm, [2] the device, [3] the
// maker (A1 Lattice). Algorithm 3 of the 16V8/20V8 and algorithm 2 of the
// 22V10 both ask for 14.5 V and 40 ms pulses.
const GalPart kGalParts[] = {
    {"GAL16V8", 0x05, 32, 64, 82, 8, {0x00, 0x03, 0x00, 0xA1, 0x00, 0x00, 0x00, 0x90}, 14.5, 40 * kNsPerMs},
    {"GAL20V8", 0x06, 40, 64, 82, 8, {0x00, 0x03, 0x3A, 0xA1, 0x00, 0x00, 0x00, 0x90}, 14.5, 40 * kNsPerMs},
    {"GAL22V10", 0x07, 44, 132, 20, 10, {0x00, 0x02, 0x48, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 14.5,
     40 * kNsPerMs},
};

// The ATF parts: their text PES (bytes 0 and 7 of the 16V8B and 22V10C as
// read from chips; the others' first and last characters are not known and
// take the same), 11 V and 10 ms as the peers program them, 14 V maximum.
const GalPart kAtfParts[] = {
    {"ATF16V8B", 0x05, 32, 64, 82, 8, {'1', 'B', '8', 'V', '6', '1', 'F', '1'}, 11.0, 10 * kNsPerMs, 14.0, true},
    {"ATF16V8C", 0x05, 32, 64, 82, 8, {'1', 'C', '8', 'V', '6', '1', 'F', '1'}, 11.0, 10 * kNsPerMs, 14.0, true, false,
     false, false, true, true},
    {"ATF20V8B", 0x06, 40, 64, 82, 8, {'1', 'B', '8', 'V', '0', '2', 'F', '1'}, 11.0, 10 * kNsPerMs, 14.0, true},
    {"ATF22V10B", 0x07, 44, 132, 20, 10, {'3', 'B', '0', '1', 'V', '2', '2', 'F', '1', 0xFF}, 11.0, 10 * kNsPerMs, 14.0,
     true, true, true},
    {"ATF22V10C", 0x07, 44, 132, 20, 10, {'3', 'C', '0', '1', 'V', '2', '2', 'F', '1', 0xFF}, 11.0, 10 * kNsPerMs, 14.0,
     true, true, true, true, false, true},
};

constexpr int kPesRow = 58;
constexpr int kAcwRow = 60;
constexpr int kSecurityRow = 61;
constexpr int kEraseAllRow = 62;
constexpr int kEraseRow = 63;
constexpr int kAsrRow = 16;
constexpr int kSerialEraseAllRow = 60;
constexpr int kSerialEraseRow = 61;
constexpr int kPowerDownRow = 59;
constexpr int kFillBits = 68;

constexpr const char* kTextGalDescription = "GAL %s (%d x %d bits)%s";
constexpr const char* kTextSecured = ", secured";
constexpr const char* kTextNoGalModel = "no simulated GAL for type code %02X (GAL16V8 05, GAL20V8 06, GAL22V10 07)";
constexpr const char* kTextLatticeOrder =
    "%s: a row strobed after six clocked address bits, the Lattice order (this part takes five, most significant "
    "first, with row bit 0 held on SDIN)";
constexpr const char* kTextWeakRowsArgs = "needs decimal row numbers 0 to 63, optionally @PULSES (1 to 255)";

bool ParseDecimal(std::string_view text, unsigned limit, unsigned& value) {
    if (text.empty() || text.size() > 3) return false;
    unsigned v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v > limit) return false;
    value = v;
    return true;
}

std::vector<uint8_t> PesBits(const GalPart& part) {
    std::vector<uint8_t> bits;
    for (int b = 0; b < part.pesBytes; ++b)
        for (int i = 0; i < 8; ++i) bits.push_back(static_cast<uint8_t>((part.pes[b] >> i) & 1));
    return bits;
}

}  // namespace

const GalPart* GalPartForConfig(uint8_t config) {
    for (const GalPart& p : kGalParts)
        if (p.config == config) return &p;
    return nullptr;
}

const GalPart* GalPartNamed(std::string_view name) {
    for (const GalPart& p : kAtfParts)
        if (name == p.name) return &p;
    return nullptr;
}

std::unique_ptr<Chip> MakeBlankGal(const DeviceRecord& record, std::string& note) {
    if (const GalPart* atf = GalPartNamed(record.galpart); atf && atf->config == record.typecode) {
        auto chip = std::make_unique<GalChip>(record.name, *atf);
        // The CZ and CQZ name themselves with a Z where the C has its C.
        if (!record.name.empty() && record.name.back() == 'Z') chip->SetPesByte(1, 'Z');
        return chip;
    }
    const GalPart* part = GalPartForConfig(record.typecode);
    if (!part) {
        char text[160];
        std::snprintf(text, sizeof text, kTextNoGalModel, record.typecode);
        note = text;
        return nullptr;
    }
    return std::make_unique<GalChip>(record.name.empty() ? part->name : record.name, *part);
}

std::unique_ptr<Chip> MakeShapedGal(const ChipImage& image, std::string& error) {
    double rows = 0, columns = 0;
    GetNumber(image, "rows", rows);
    GetNumber(image, "columns", columns);
    if (auto named = image.values.find("part"); named != image.values.end()) {
        if (const GalPart* atf = GalPartNamed(named->second)) return std::make_unique<GalChip>(image.device, *atf);
    }
    for (const GalPart& p : kGalParts)
        if (p.rows == static_cast<int>(rows) && p.columns == static_cast<int>(columns))
            return std::make_unique<GalChip>(image.device, p);
    error = kSimTextChipFileBadContents;
    return nullptr;
}

GalChip::GalChip(std::string deviceName, const GalPart& part)
    : Chip(std::move(deviceName)),
      part_(part),
      array_(static_cast<size_t>(part.rows * part.columns), 1),
      ues_(static_cast<size_t>(UesBits()), 1),
      config_(static_cast<size_t>(part.configBits), 1),
      pes_(PesBits(part)) {
    socketConfig_ = part.config;
}

std::string GalChip::Describe() const {
    char text[160];
    std::snprintf(text, sizeof text, kTextGalDescription, deviceName_.c_str(), part_.rows, part_.columns,
                  secured_ ? kTextSecured : "");
    return text;
}

bool GalChip::EditMode(const SocketState& socket) const {
    return socket.vcc >= kReadVccMin && socket.vpp >= kEditVppMin;
}

int GalChip::RowLines(const SocketState& socket) const {
    static constexpr Pin kRow[6] = {Pin::RA0, Pin::RA1, Pin::RA2, Pin::RA3, Pin::RA4, Pin::RA5};
    int ra = 0;
    for (int bit = 0; bit < 6; ++bit)
        if (socket.Level(kRow[bit])) ra |= 1 << bit;
    return ra;
}

// The register between SDIN and SDOUT is as long as the row the lines address.
int GalChip::RegisterLength(int ra) const {
    if (Serial()) return ra == kAsrRow ? part_.configBits : SerialRegisterBits();
    if (part_.powerDown && ra == kPowerDownRow) return 1;
    return ra == kAcwRow ? part_.configBits : 64;
}

int GalChip::SerialAddress(const SocketState& socket) const {
    const int d = SerialDataBits();
    int a = 0;
    if (part_.msbAddress) {
        for (int bit = 0; bit < 5; ++bit) a |= (sr_[d + bit] & 1) << (5 - bit);
        return a | (socket.Level(Pin::SDIN) ? 1 : 0);
    }
    for (int bit = 0; bit < 6; ++bit) a |= (sr_[d + bit] & 1) << bit;
    return a;
}

void GalChip::PinsChanged(const SocketState& socket, uint32_t changed) {
    (void)changed;
    if (!EditMode(socket)) {
        // Out of edit mode the register forgets its contents.
        std::fill(std::begin(sr_), std::end(sr_), 0);
        lastClock_ = false;
        clocksSinceStrobe_ = 0;
        return;
    }
    const bool clock = socket.Level(Pin::SCLK);
    // The 22V10B/C take no bit while P/V is high.
    if (clock && !lastClock_ && !(part_.pvLowShift && socket.Level(Pin::PV))) {
        ++clocksSinceStrobe_;
        const int n = RegisterLength(RowLines(socket));
        std::memmove(sr_, sr_ + 1, static_cast<size_t>(n - 1));
        sr_[n - 1] = socket.Level(Pin::SDIN) ? 1 : 0;
    }
    lastClock_ = clock;
}

bool GalChip::Output(Pin pin, const SocketState& socket) {
    if (pin != Pin::SDOUT || !EditMode(socket)) return true;
    if (part_.pvHighOut && !socket.Level(Pin::PV)) return true;  // not driven
    return sr_[0] != 0;
}

void GalChip::Strobe(const SocketState& socket, uint64_t pulseNs) {
    if (!EditMode(socket)) return;
    const int ra = RowLines(socket);
    const int address = Serial() && ra == 0 ? SerialAddress(socket) : -1;
    const uint32_t clocks = std::exchange(clocksSinceStrobe_, 0u);
    sdinAtStrobe_ = socket.Level(Pin::SDIN) ? 1 : 0;
    if (part_.msbAddress && ra == 0 && (clocks == 6 || clocks == 138)) {
        char text[300];
        std::snprintf(text, sizeof text, kTextLatticeOrder, part_.name);
        hostBreach_ = text;
    }
    if (!socket.Level(Pin::PV)) {
        Load(ra, address);
        return;
    }
    if (socket.vpp < ProgVppMin() || socket.vpp > ProgVppMax() || pulseNs < MinPulseNs()) return;
    uint64_t eraseNs = pulseNs;
    // The ATF's erase-all rows are not modelled: they do nothing.
    const bool eraseRow = Serial() ? ra == kSerialEraseRow || (ra == kSerialEraseAllRow && !part_.atf)
                                   : ra == kEraseRow || (ra == kEraseAllRow && !part_.atf);
    if (eraseRow) {
        eraseRunNs_ = ra == eraseRow_ && socket.nowNs <= eraseEndNs_ + kEraseGapNs ? eraseRunNs_ + pulseNs : pulseNs;
        eraseRow_ = ra;
        eraseEndNs_ = socket.nowNs + pulseNs;
        eraseNs = eraseRunNs_;
    }
    Program(ra, address, eraseNs);
}

void GalChip::Load(int ra, int address) {
    auto put = [&](const std::vector<uint8_t>& bits, size_t first, size_t n, bool blocked) {
        for (size_t i = 0; i < n; ++i) sr_[i] = blocked ? 0 : bits[first + i];
    };
    if (Serial()) {
        if (ra == 0) {
            // Only the data part loads; the address bits stay behind it.
            const int a = address;
            std::fill(sr_, sr_ + SerialDataBits(), 0);
            if (a < part_.rows)
                put(array_, static_cast<size_t>(a * part_.columns), SerialDataBits(), secured_);
            else if (a == UesRow())
                put(ues_, 0, ues_.size(), false);
            else if (a == kPesRow)
                put(PesAsRead(), 0, pes_.size(), false);
            else if (a == kPowerDownRow && part_.powerDown)
                sr_[0] = powerDown_;
            return;
        }
        std::fill(std::begin(sr_), std::end(sr_), 0);
        if (ra == kAsrRow) put(config_, 0, config_.size(), secured_);
        else if (ra == kPesRow) put(PesAsRead(), 0, pes_.size(), false);
        return;
    }
    std::fill(std::begin(sr_), std::end(sr_), 0);
    if (ra < part_.rows) put(array_, static_cast<size_t>(ra * part_.columns), 64, secured_);
    else if (ra == UesRow()) put(ues_, 0, ues_.size(), false);
    else if (ra == kPesRow) put(PesAsRead(), 0, pes_.size(), false);
    else if (ra == kAcwRow) put(config_, 0, config_.size(), secured_);
    else if (ra == kPowerDownRow && part_.powerDown) sr_[0] = powerDown_;
}

bool GalChip::TakesData(int row) {
    auto need = weakNeeds_.find(row);
    if (need == weakNeeds_.end()) return true;
    uint32_t& seen = weakSeen_[row];
    if (seen < need->second) ++seen;
    return seen >= need->second;
}

void GalChip::AndInto(std::vector<uint8_t>& cells, size_t first, int n) {
    for (int i = 0; i < n; ++i) {
        uint8_t& c = cells[first + static_cast<size_t>(i)];
        const uint8_t v = static_cast<uint8_t>(c & sr_[i]);
        if (v != c) changed_ = true;
        c = v;
    }
    ++programStrobes_;
}

void GalChip::Program(int ra, int address, uint64_t pulseNs) {
    // An erase strobe shorter than the chip's erase time leaves it as it was.
    const bool erases = pulseNs >= MinErasePulseNs();
    if (Serial()) {
        if (ra == 0) {
            const int a = address;
            if (a < part_.rows) {
                if (TakesData(a)) AndInto(array_, static_cast<size_t>(a * part_.columns), part_.columns);
            } else if (a == UesRow()) {
                if (TakesData(a)) AndInto(ues_, 0, static_cast<int>(ues_.size()));
                // The fill bits are no cells.
                if (part_.fillBits) std::fill(ues_.begin(), ues_.begin() + kFillBits, 1);
            } else if (a == kPowerDownRow && part_.powerDown) {
                powerDown_ = 0;
                changed_ = true;
            }
        } else if (ra == kAsrRow) {
            // The 22V10C's 20th bit is on SDIN, behind the 19 clocked ones.
            if (part_.msbAddress) {
                std::memmove(sr_, sr_ + 1, static_cast<size_t>(part_.configBits - 1));
                sr_[part_.configBits - 1] = sdinAtStrobe_;
            }
            AndInto(config_, 0, part_.configBits);
        } else if (ra == kSerialEraseRow) {
            if (erases) Erase(false);
        } else if (ra == kSerialEraseAllRow) {
            if (erases) Erase(true);
        }
        return;
    }
    if (ra < part_.rows) {
        if (TakesData(ra)) AndInto(array_, static_cast<size_t>(ra * part_.columns), part_.columns);
    } else if (ra == UesRow()) {
        if (TakesData(ra)) AndInto(ues_, 0, 64);
    } else if (ra == kAcwRow) {
        if (TakesData(ra)) AndInto(config_, 0, part_.configBits);
    } else if (ra == kSecurityRow) {
        // The bit clocked in last (nearest SDIN) must be a 1.
        if (sr_[RegisterLength(ra) - 1] && !secured_) {
            secured_ = true;
            changed_ = true;
        }
    } else if (ra == kEraseRow) {
        if (erases) Erase(false);
    } else if (ra == kEraseAllRow) {
        if (erases) Erase(true);
    } else if (ra == kPowerDownRow && part_.powerDown) {
        powerDown_ = static_cast<uint8_t>(powerDown_ & sr_[0]);
        changed_ = true;
    }
}

void GalChip::Erase(bool all) {
    std::fill(array_.begin(), array_.end(), 1);
    std::fill(ues_.begin(), ues_.end(), 1);
    std::fill(config_.begin(), config_.end(), 1);
    if (all) std::fill(pes_.begin(), pes_.end(), 0);
    secured_ = false;
    powerDown_ = 1;
    weakSeen_.clear();
    changed_ = true;
}

void GalChip::SetPesByte(int index, uint8_t value) {
    for (int i = 0; i < 8; ++i) pes_[static_cast<size_t>(8 * index + i)] = static_cast<uint8_t>((value >> i) & 1);
    changed_ = true;
}

std::vector<uint8_t> GalChip::PesAsRead() const {
    std::vector<uint8_t> bits = otherPes_.empty() ? pes_ : otherPes_;
    if (blankPes_) std::fill(bits.begin(), bits.end(), uint8_t{0});
    return bits;
}

void GalChip::SetAlgorithm(uint8_t algorithm, double vpp, uint64_t pulseNs) {
    SetPesByte(1, algorithm);
    part_.progVpp = vpp;
    part_.progPulseNs = pulseNs;
}

bool GalChip::ApplyFault(std::string_view name, std::string_view args, std::string& error) {
    error.clear();
    if (name == "secured" || name == "wrong-vpp" || name == "slow-erase") {
        if (!args.empty()) {
            error = kSimTextNoArgs;
            return false;
        }
        if (name == "secured") {
            secured_ = true;
            changed_ = true;
        } else if (name == "wrong-vpp") {
            wrongVpp_ = true;
        } else {
            slowErase_ = true;
        }
        return true;
    }
    if (name == "blank-signature") {
        if (!args.empty()) {
            error = kSimTextNoArgs;
            return false;
        }
        blankPes_ = true;  // for this run only, as wrong-part
        return true;
    }
    if (name == "wrong-part") {
        if (!args.empty()) {
            error = kSimTextNoArgs;
            return false;
        }
        // Another part's device code in the signature: a 20V8's on a 16V8
        // or a 22V10, a 16V8's on a 20V8. For this run only: the chip file
        // keeps the chip's own signature.
        // An ATF reads as the other ATF of its socket (B for C and C for B;
        // the 20V8B as a 16V8B).
        otherPes_ = pes_;
        auto putByte = [&](int index, uint8_t value) {
            for (int i = 0; i < 8; ++i) otherPes_[size_t(8 * index + i)] = static_cast<uint8_t>((value >> i) & 1);
        };
        if (!part_.atf) {
            putByte(2, part_.config == 6 ? 0x00 : 0x3A);
        } else if (part_.config == 6) {
            putByte(5, '1');
            putByte(4, '6');
        } else {
            putByte(1, part_.powerDown ? 'B' : 'C');
        }
        return true;
    }
    if (name != "weak-rows") return false;
    std::string_view list = args;
    unsigned pulses = kDefaultWeakPulses;
    const size_t at = list.find('@');
    if (at != std::string_view::npos) {
        if (!ParseDecimal(list.substr(at + 1), 255, pulses) || pulses == 0) {
            error = kTextWeakRowsArgs;
            return false;
        }
        list = list.substr(0, at);
    }
    std::vector<int> rows;
    while (true) {
        const size_t comma = list.find(',');
        unsigned row = 0;
        if (!ParseDecimal(list.substr(0, comma), 63, row)) {
            error = kTextWeakRowsArgs;
            return false;
        }
        rows.push_back(static_cast<int>(row));
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    for (int row : rows) {
        weakNeeds_[row] = pulses;
        weakSeen_[row] = 0;
    }
    return true;
}

void GalChip::Save(ChipImage& image) const {
    image.kind = Kind();
    image.device = deviceName_;
    image.values["rows"] = std::to_string(part_.rows);
    image.values["columns"] = std::to_string(part_.columns);
    image.values["secured"] = secured_ ? "1" : "0";
    if (part_.atf) {
        image.values["part"] = part_.name;
        image.values["power-down"] = powerDown_ ? "1" : "0";
    }
    PutDouble(image, "vpp", part_.progVpp);
    image.values["pulse-ns"] = std::to_string(part_.progPulseNs);
    image.blobs["array"] = array_;
    image.blobs["signature"] = ues_;
    image.blobs["architecture"] = config_;
    image.blobs["pes"] = pes_;
}

bool GalChip::Load(const ChipImage& image, std::string& error) {
    double rows = 0, columns = 0, secured = 0, v = 0;
    auto fits = [&](const char* key, size_t size) {
        auto it = image.blobs.find(key);
        return it != image.blobs.end() && it->second.size() == size;
    };
    if (image.kind != Kind() || !GetNumber(image, "rows", rows) || !GetNumber(image, "columns", columns) ||
        static_cast<int>(rows) != part_.rows || static_cast<int>(columns) != part_.columns ||
        !fits("array", array_.size()) || !fits("signature", ues_.size()) ||
        !fits("architecture", config_.size()) || !fits("pes", pes_.size())) {
        error = kSimTextChipFileBadContents;
        return false;
    }
    array_ = image.blobs.at("array");
    ues_ = image.blobs.at("signature");
    config_ = image.blobs.at("architecture");
    pes_ = image.blobs.at("pes");
    for (auto* cells : {&array_, &ues_, &config_, &pes_})
        for (uint8_t& c : *cells) c &= 1;
    secured_ = GetNumber(image, "secured", secured) && secured != 0;
    double pd = 1;
    powerDown_ = !GetNumber(image, "power-down", pd) || pd != 0;
    if (GetNumber(image, "vpp", v)) part_.progVpp = v;
    if (GetNumber(image, "pulse-ns", v)) part_.progPulseNs = static_cast<uint64_t>(v);
    changed_ = false;
    return true;
}

}  // namespace krt
