// SPDX-License-Identifier: GPL-3.0-or-later
#include "families/ZVGAL.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "catalogue/FillDeviceRecord.h"
#include "families/FamilyTexts.h"
#include "link/Log.h"

namespace krt {

namespace {

// The timer's largest count (range 3: ten bits of 256 clocks).
constexpr double kTimerReachCounts = 1023.0 * 256.0;
constexpr unsigned kPowerUpMs = 1000;
constexpr unsigned kSupplySettleMs = 100;
constexpr unsigned kPowerDownMs = 500;
constexpr unsigned kRetryMs = 1;
constexpr unsigned kRowSettleMs = 1;
constexpr unsigned kSerialEraseSettleMs = 100;

// Fixed rows.
constexpr int kAcwRow = 60;
constexpr int kSecurityRow = 61;
constexpr int kEraseRow = 63;
constexpr int kSerialSignatureRow = 44;
constexpr int kAsrRow = 16;
constexpr int kSerialEraseRow = 61;
constexpr int kPesFirstRow = 32;
constexpr int kPesLastRow = 63;

constexpr int kSignatureBits = 64;
constexpr int kAcwBits = 82;
constexpr int kAsrBits = 20;
constexpr int kAddressBits = 6;
constexpr int kSerialSignatureRowBits = 138;  // 64 signature, 68 filler, 6 address
constexpr int kPesBits = 96;
constexpr int kPesRow = 58;

struct Maker {
    uint8_t code;
    const char* name;
};
constexpr Maker kMakers[] = {{0xA1, "Lattice"}, {0x8F, "National"}, {0x20, "ST"}};

struct Part {
    uint8_t code;
    const char* name;
    uint8_t typeCode;
};
constexpr Part kParts[] = {{0x00, "GAL16V8", 5}, {0x1A, "GAL16V8", 5}, {0x20, "GAL20V8", 6},
                           {0x3A, "GAL20V8", 6}, {0x48, "GAL22V10", 7}, {0x49, "GAL22V10", 7}};

// Programming voltage and pulse by algorithm code; National's parts take
// 15.0 V where the others take 14.5 V. Algorithm 5 carries its own values.
struct Algorithm {
    double vpp;
    unsigned pulseMs;
};
constexpr Algorithm kAlgorithmsV8[] = {{15.75, 100}, {15.75, 80}, {16.5, 10}, {14.5, 40}, {14.0, 100}};
constexpr Algorithm kAlgorithms22V10[] = {{16.5, 10}, {15.75, 100}, {14.5, 40}, {14.0, 100}};
constexpr unsigned kAlgorithm5PulseMs[] = {1, 2, 5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 200};

}  // namespace

bool GalSignature::FitsTypeCode(uint8_t typeCode) const {
    for (const Part& p : kParts)
        if (part != nullptr && p.code == bytes[2] && p.typeCode == typeCode) return true;
    return false;
}

GalSignature ZVGAL::DecodeSignature(const uint8_t* bits) {
    GalSignature s;
    for (int b = 0; b < 8; ++b)
        for (int i = 0; i < 8; ++i) s.bytes[b] = static_cast<uint8_t>(s.bytes[b] | (bits[8 * b + i] ? 1 << i : 0));
    for (const Maker& m : kMakers)
        if (m.code == s.bytes[3]) s.maker = m.name;
    s.algorithm = s.bytes[1] & 0x0F;
    s.lowVoltage = (s.bytes[1] & 0x10) != 0;
    // Without a known maker the other bytes mean nothing (an erased-all
    // signature reads 0 throughout).
    if (s.maker == nullptr) return s;
    uint8_t typeCode = 0;
    for (const Part& p : kParts)
        if (p.code == s.bytes[2]) {
            s.part = p.name;
            typeCode = p.typeCode;
        }
    if (s.part == nullptr) return s;
    const bool national = s.bytes[3] == 0x8F;
    if (s.algorithm == 5) {
        const unsigned index = ((s.bytes[5] << 8 | s.bytes[4]) >> 5) & 15;
        if (index < std::size(kAlgorithm5PulseMs)) {
            s.vpp = 5.0 + 0.5 * ((s.bytes[5] >> 1) & 31);
            s.pulseSeconds = kAlgorithm5PulseMs[index] / 1000.0;
        }
        return s;
    }
    const Algorithm* table = typeCode == 7 ? kAlgorithms22V10 : kAlgorithmsV8;
    const size_t count = typeCode == 7 ? std::size(kAlgorithms22V10) : std::size(kAlgorithmsV8);
    if (static_cast<size_t>(s.algorithm) >= count) return s;
    s.vpp = table[s.algorithm].vpp;
    if (national && s.vpp == 14.5) s.vpp = 15.0;
    s.pulseSeconds = table[s.algorithm].pulseMs / 1000.0;
    return s;
}

GalSignature ZVGAL::ReadSignature() {
    SetRow(kPesRow);
    if (!ShiftOut(kSignatureBits)) return GalSignature{};
    return DecodeSignature(shift);
}

bool ZVGAL::ReadIdentity(GalSignature& signature, std::string& described) {
    if (!PowerOn(true)) return false;
    signature = ReadSignature();
    described = DescribeSignature(signature);
    PowerOff();
    return !Stalled();
}

std::string ZVGAL::DescribeSignature(const GalSignature& s) const {
    std::string text = Format("%s %s, algorithm %d", s.maker ? s.maker : "unknown maker",
                              s.part ? s.part : "unknown part", s.algorithm);
    if (s.lowVoltage) text += " (3.3 V)";
    if (s.vpp > 0.0) text += Format(": %.2f V, %g ms", s.vpp, s.pulseSeconds * 1000.0);
    text += " (PES";
    for (uint8_t b : s.bytes) text += Format(" %02X", b);
    return text + ")";
}

bool ZVGAL::TakeSignature(uint8_t& result) {
    const unsigned language = link_.language == 0 ? 0 : 1;
    const GalSignature s = ReadSignature();
    if (Stalled()) {
        PowerOff();
        result = RESULT_FATAL;
        return false;
    }
    const std::string described = DescribeSignature(s);
    // A signature of all ones or all zeros is no chip's: nothing drives the
    // data-out line. Going on would report an erase or a write of nothing as done.
    const bool allOnes = std::all_of(std::begin(s.bytes), std::end(s.bytes), [](uint8_t b) { return b == 0xFF; });
    const bool allZeros = std::all_of(std::begin(s.bytes), std::end(s.bytes), [](uint8_t b) { return b == 0x00; });
    if (record->idcheck && (allOnes || allZeros)) {
        PowerOff();
        Log(link_.log, texts::kGalNoChipAnswers[language], allOnes ? "1" : "0");
        result = RESULT_FATAL;
        return false;
    }
    if (record->idcheck && s.Valid() && !s.FitsTypeCode(typeCode)) {
        PowerOff();
        const std::string found = "signature " + described;
        Log(link_.log, texts::kWrongPart[language], record->name.c_str(), found.c_str());
        result = RESULT_FATAL;
        return false;
    }
    if (!s.Valid() || !s.FitsTypeCode(typeCode)) {
        Log(link_.log, texts::kGalSignatureUnknown[language], described.c_str(), record->VppW, record->tpw * 1000.0);
        return true;
    }
    Log(link_.log, texts::kGalSignatureUsed[language], described.c_str());
    pulse_ = s.pulseSeconds;
    if (s.vpp != vppW_) {
        PowerOff();
        vppW_ = s.vpp;
        if (!PowerOn(true)) {
            result = RESULT_ERRORS;
            return false;
        }
    }
    return true;
}

ZVGAL::ZVGAL(LinkContext& link, const LinkRequest& request, DeviceRecord& record) : ZVDevice(link) {
    TakeRequest(request, record, request.startAddress);
    fuses_ = request.buffer;
    lines_ = record.LineNumber > 0 ? static_cast<uint32_t>(record.LineNumber) : 0;
    columns_ = record.ArrayLen > 0 ? static_cast<uint32_t>(record.ArrayLen) : 0;
    vppW_ = record.VppW;
    pulse_ = record.tpw;
}

const ZVGAL::Lines& ZVGAL::LinesOf() const {
    static constexpr Lines kCode5 = {{0x0800, 0x0040, 0x0020, 0x0010, 0x0008, 0x0004}, 0x0400, 0x10};
    static constexpr Lines kCode6 = {{0x0400, 0x0100, 0x0080, 0x0040, 0x0008, 0x0004}, 0x0200, 0x20};
    static constexpr Lines kCode7 = {{0x0080, 0x0040, 0x0020, 0x0010, 0x0008, 0x0004}, 0x0100, 0x10};
    return typeCode == 6 ? kCode6 : typeCode == 7 ? kCode7 : kCode5;
}

int ZVGAL::AcwOffset(int p) {
    if (p < 4) return p;
    if (p == 4) return 145;
    if (p < 9) return 72 + (p - 5);
    if (p < 73) return 80 + (p - 9);
    if (p < 77) return 76 + (p - 73);
    if (p == 77) return 144;
    return 4 + (p - 78);
}

bool ZVGAL::Usable() {
    std::string reason;
    if (typeCode < 5 || typeCode > 7) {
        reason = Format("type code %02X has no GAL wiring (05, 06 or 07)", typeCode);
    } else if (!CheckDeviceRecord(*record, reason)) {
        // reason set
    } else if (fuses_ == nullptr) {
        reason = "there is no fuse buffer";
    }
    if (reason.empty()) return true;
    Log(link_.log, texts::kGalBadLayout, reason.c_str());
    return false;
}

void ZVGAL::SendPortWord() {
    link_.DLSET(static_cast<uint8_t>(portWord));
    link_.DHSET(static_cast<uint8_t>(portWord >> 8));
}

void ZVGAL::SetRow(int row) {
    const Lines& lines = LinesOf();
    portWord = 0;
    for (int bit = 0; bit < 6; ++bit)
        if (row & (1 << bit)) portWord |= lines.row[bit];
    SendPortWord();
}

void ZVGAL::ApplyLines() {
    const uint16_t pv = LinesOf().programVerify;
    portWord = static_cast<uint16_t>(portWord & ~(pv | kDataIn | kClock));
    if (programVerify) portWord |= pv;
    if (dataIn) portWord |= kDataIn;
    if (clockLine) portWord |= kClock;
    SendPortWord();
}

// The record's wait in whole milliseconds, rounded up; without one the fixed wait.
unsigned ZVGAL::WaitMs(double seconds, unsigned fixedMs) {
    return seconds >= 0.0 ? static_cast<unsigned>(std::ceil(seconds * 1000.0 - 1e-9)) : fixedMs;
}

bool ZVGAL::ShiftIn(int count, bool program, double pulseSeconds) {
    link_.CSET(0x00);
    programVerify = program ? 1 : 0;
    clockLine = 0;
    ApplyLines();
    for (int i = 0; i < count; ++i) {
        portWord = static_cast<uint16_t>((portWord & ~kDataIn) | (shift[i] ? kDataIn : 0));
        const auto low = static_cast<uint8_t>(portWord);
        link_.DLSET(low);
        link_.DLSET(static_cast<uint8_t>(low | kClock));
        link_.DLSET(static_cast<uint8_t>(low | kClock));
        link_.DLSET(low);
    }
    if (Serial()) {
        dataIn = 0;
        ApplyLines();
    }
    if (!program) return true;
    // A pulse longer than the timer reaches (about 65 ms at 4 MHz) is given
    // as equal strobes back to back, together at least the pulse.
    if (pulseSeconds < 0.0) pulseSeconds = pulse_;
    const double reach = link_.clockFrequency > 0.0 ? kTimerReachCounts / link_.clockFrequency : pulseSeconds;
    const int strobes = pulseSeconds > reach ? static_cast<int>(std::ceil(pulseSeconds / reach)) : 1;
    link_.SetTimerSeconds(pulseSeconds / strobes);
    bool ready = true;
    for (int i = 0; i < strobes && ready; ++i) {
        link_.DLSEND(static_cast<uint8_t>(portWord));
        ready = link_.WaitReady();
    }
    programVerify = 0;
    ApplyLines();
    return ready;
}

bool ZVGAL::ShiftOut(int count) {
    const uint8_t dataOut = LinesOf().dataOut;
    link_.CSET(0x00);
    programVerify = dataIn = clockLine = 0;
    ApplyLines();
    link_.SetTimerFromText("5us");
    // The read cycle strobes /STB (C port bit 7 clear): the row is loaded and
    // its first bit is on the data-out line before any clock.
    link_.DLREAD();
    if (!link_.WaitReady()) return false;
    shift[0] = (link_.ReadReply() & dataOut) ? 1 : 0;
    link_.CSET(0x80);
    link_.SetTimer(0, 2);
    for (int i = 1; i < count; ++i) {
        clockLine = 1;
        ApplyLines();
        link_.DLSET(static_cast<uint8_t>(portWord));
        clockLine = 0;
        ApplyLines();
        link_.DLSET(static_cast<uint8_t>(portWord));
        link_.DLREAD();
        if (!link_.WaitReady()) return false;
        shift[i] = (link_.ReadReply() & dataOut) ? 1 : 0;
    }
    return true;
}

int ZVGAL::WriteRow(int row, int count) {
    const std::vector<uint8_t> target(shift, shift + count);
    int attempt = 0;
    while (attempt < retryCount) {
        std::copy(target.begin(), target.end(), shift);
        SetRow(row);
        if (!ShiftIn(count, true) || !ShiftOut(count)) return attempt;  // the programmer stopped answering
        if (std::equal(target.begin(), target.end(), shift)) break;
        link_.clock->sleepMs(kRetryMs);
        ++attempt;
    }
    if (attempt == retryCount) {
        std::string w = "w", r = "r";
        for (int i = 0; i < count; ++i) {
            w += target[static_cast<size_t>(i)] ? '1' : '0';
            r += shift[i] ? '1' : '0';
        }
        Log(link_.log, "%s", w.c_str());
        Log(link_.log, "%s", r.c_str());
        Log(link_.log, "%s", Text(texts::kGalWriteFailed));
    } else if (attempt > 0) {
        Log(link_.log, Text(texts::kGalWriteSucceededAt), attempt + 1);
    }
    return attempt;
}

// The six bits of a row number, bit 0 first, at shift positions at .. at + 5.
void ZVGAL::PutRowAddress(int at, int row) {
    for (int bit = 0; bit < kAddressBits; ++bit) shift[at + bit] = static_cast<uint8_t>((row >> bit) & 1);
}

// A range that starts beyond the fuse map, or has no length, leaves nothing
// to read or write: refused as the other families refuse it (result 2).
// Otherwise the whole map is taken, whatever the range.
bool ZVGAL::RangeRefused() {
    const uint32_t start = request->startAddress;
    const uint32_t length = request->length;
    if (length != 0 && start < record->maxsize) return false;
    if (length != 0)
        Log(link_.log, texts::kRangeCut, static_cast<unsigned long>(start), static_cast<unsigned long>(length),
            static_cast<unsigned long>(record->maxsize), 0ul);
    return true;
}

// Counts the array and architecture fuses (what the security cell hides)
// that hold `value`, at the indexes that ReadFuseMap fills.
uint32_t ZVGAL::CountFunctional(uint8_t value) const {
    const uint32_t L = lines_;
    const uint32_t columns = Serial() ? columns_ : 64;
    uint32_t n = 0;
    for (uint32_t l = 0; l < L; ++l)
        for (uint32_t c = 0; c < columns; ++c) n += fuses_[c * L + l] == value;
    if (Serial()) {
        for (int i = 0; i < kAsrBits; ++i) n += fuses_[record->ASRBase + i] == value;
    } else {
        for (int p = 0; p < kAcwBits; ++p) n += fuses_[record->ACWBase + AcwOffset(p)] == value;
    }
    return n;
}

// After an erase or a secure the chip is read back (silently, the buffer
// kept as it was) to see that the operation took: an erased chip reads 1
// in every fuse, a secured one 0 in every array and architecture fuse. A
// chip that did not take the programming voltage ends the operation with 3.
uint8_t ZVGAL::CheckReadBack(bool erased) {
    const std::vector<uint8_t> kept(fuses_, fuses_ + record->maxsize);
    std::fill(fuses_, fuses_ + record->maxsize, 1);
    ReadFuseMap(true);
    uint32_t wrong = 0, first = 0;
    if (erased) {
        for (uint32_t i = 0; i < record->maxsize; ++i) {
            if (fuses_[i] != 0) continue;
            if (wrong++ == 0) first = i;
        }
    } else {
        wrong = CountFunctional(1);
    }
    std::copy(kept.begin(), kept.end(), fuses_);
    if (Stalled()) return RESULT_FATAL;
    if (wrong == 0) return RESULT_OK;
    const unsigned language = link_.language == 0 ? 0 : 1;
    if (erased)
        Log(link_.log, texts::kGalEraseNotBlank[language], wrong, first);
    else
        Log(link_.log, texts::kGalSecureNotSet[language], wrong);
    return RESULT_ERRORS;
}

// A secured chip reads 0 in every array and architecture fuse; so would
// one programmed all 0, which the line allows for.
void ZVGAL::SayIfReadsSecured() {
    if (CountFunctional(1) != 0) return;
    Log(link_.log, "%s", texts::kGalReadsSecured[link_.language == 0 ? 0 : 1]);
}

bool ZVGAL::ReadFuseMap(bool quiet) {
    PowerOn(false);
    const uint32_t L = lines_;
    uint8_t* const sig = fuses_ + record->SigBase;
    if (!Serial()) {
        for (uint32_t l = 0; l < L && !Stalled(); ++l) {
            SetRow(static_cast<int>(l));
            if (!quiet) Log(link_.log, Text(texts::kGalReadingLine), static_cast<int>(l + 1), static_cast<int>(L));
            ShiftOut(64);
            for (uint32_t c = 0; c < 64; ++c) fuses_[c * L + l] = shift[c];
        }
        SetRow(static_cast<int>(L));
        ShiftOut(kSignatureBits);
        std::copy(shift, shift + kSignatureBits, sig);
        SetRow(kAcwRow);
        ShiftOut(kAcwBits);
        uint8_t* const acw = fuses_ + record->ACWBase;
        for (int p = 0; p < kAcwBits; ++p) acw[AcwOffset(p)] = shift[p];
    } else {
        const uint32_t A = columns_;
        for (uint32_t l = 0; l < L && !Stalled(); ++l) {
            SetRow(0);
            link_.clock->sleepMs(kRowSettleMs);
            if (!quiet) Log(link_.log, Text(texts::kGalReadingLine), static_cast<int>(l + 1), static_cast<int>(L));
            PutRowAddress(0, static_cast<int>(l));
            ShiftIn(kAddressBits, false);
            ShiftOut(static_cast<int>(A) + kAddressBits);
            for (uint32_t c = 0; c < A; ++c) fuses_[c * L + l] = shift[c];
        }
        PutRowAddress(0, kSerialSignatureRow);
        ShiftIn(kAddressBits, false);
        ShiftOut(kSignatureBits + kAddressBits);
        std::copy(shift, shift + kSignatureBits, sig);
        SetRow(kAsrRow);
        ShiftOut(kAsrBits);
        uint8_t* const asr = fuses_ + record->ASRBase;
        for (int j = 0; j < kAsrBits / 2; ++j) {
            asr[2 * j + 1] = shift[2 * j];
            asr[2 * j] = shift[2 * j + 1];
        }
    }
    PowerOff();
    return !Stalled();
}

uint8_t ZVGAL::Read() {
    if (!Usable()) return RESULT_FATAL;
    if (RangeRefused()) return RESULT_ZERO_LENGTH;
    if (!ReadFuseMap()) return Stalled() ? RESULT_FATAL : RESULT_ERRORS;
    SayIfReadsSecured();
    return RESULT_OK;
}

uint8_t ZVGAL::Write() {
    if (!Usable()) return RESULT_FATAL;
    if (RangeRefused()) return RESULT_ZERO_LENGTH;
    if (!PowerOn(true)) return RESULT_ERRORS;
    if (uint8_t refused; !TakeSignature(refused)) return refused;
    const uint32_t size = record->maxsize;
    const uint32_t L = lines_, A = columns_;
    std::vector<uint8_t> written(size, 0xFF);
    auto stopHere = [&]() -> bool {
        // The cancel flag is looked at before each row only.
        return cancel.load(std::memory_order_relaxed) || Stalled();
    };
    auto abandon = [&]() -> uint8_t {
        if (Stalled()) {
            PowerOff();
            return RESULT_FATAL;
        }
        Stop();
        return RESULT_CANCELED;
    };

    if (!Serial()) {
        for (uint32_t l = 0; l < L; ++l) {
            if (stopHere()) return abandon();
            Log(link_.log, Text(texts::kGalWritingLine), static_cast<int>(l + 1), static_cast<int>(L));
            for (uint32_t c = 0; c < A; ++c) shift[c] = fuses_[c * L + l] ? 1 : 0;
            WriteRow(static_cast<int>(l), static_cast<int>(A));
            for (uint32_t c = 0; c < A; ++c) written[c * L + l] = shift[c];
        }
        if (stopHere()) return abandon();
        Log(link_.log, "%s", Text(texts::kGalWritingSignature));
        for (int i = 0; i < kSignatureBits; ++i) shift[i] = fuses_[record->SigBase + i] ? 1 : 0;
        WriteRow(static_cast<int>(L), kSignatureBits);
        std::copy(shift, shift + kSignatureBits, written.begin() + record->SigBase);
        if (stopHere()) return abandon();
        Log(link_.log, "%s", Text(texts::kGalWritingAcw));
        for (int p = 0; p < kAcwBits; ++p) shift[p] = fuses_[record->ACWBase + AcwOffset(p)] ? 1 : 0;
        WriteRow(kAcwRow, kAcwBits);
        for (int p = 0; p < kAcwBits; ++p) written[static_cast<size_t>(record->ACWBase + AcwOffset(p))] = shift[p];
    } else {
        for (uint32_t l = 0; l < L; ++l) {
            if (stopHere()) return abandon();
            Log(link_.log, Text(texts::kGalWritingLine), static_cast<int>(l + 1), static_cast<int>(L));
            for (uint32_t c = 0; c < A; ++c) shift[c] = fuses_[c * L + l] ? 1 : 0;
            PutRowAddress(static_cast<int>(A), static_cast<int>(l));
            WriteRow(0, static_cast<int>(A) + kAddressBits);
            for (uint32_t c = 0; c < A; ++c) written[c * L + l] = shift[c];
        }
        if (stopHere()) return abandon();
        Log(link_.log, "%s", Text(texts::kGalWritingSignature));
        for (int i = 0; i < kSignatureBits; ++i) shift[i] = fuses_[record->SigBase + i] ? 1 : 0;
        std::fill(shift + kSignatureBits, shift + kSerialSignatureRowBits - kAddressBits, 0);
        PutRowAddress(kSerialSignatureRowBits - kAddressBits, kSerialSignatureRow);
        WriteRow(0, kSerialSignatureRowBits);
        std::copy(shift, shift + kSignatureBits, written.begin() + record->SigBase);
        if (stopHere()) return abandon();
        Log(link_.log, "%s", Text(texts::kGalWritingAsr));
        const uint8_t* asr = fuses_ + record->ASRBase;
        for (int j = 0; j < kAsrBits / 2; ++j) {
            shift[2 * j] = asr[2 * j + 1] ? 1 : 0;
            shift[2 * j + 1] = asr[2 * j] ? 1 : 0;
        }
        WriteRow(kAsrRow, kAsrBits);
        uint8_t* wasr = written.data() + record->ASRBase;
        for (int j = 0; j < kAsrBits / 2; ++j) {
            wasr[2 * j + 1] = shift[2 * j];
            wasr[2 * j] = shift[2 * j + 1];
        }
    }
    if (Stalled()) return abandon();
    Log(link_.log, "%s", Text(texts::kGalWriteEnd));
    link_.clock->sleepMs(WaitMs(record->galdown, kPowerDownMs));
    PowerOff();

    const uint32_t errors = Compare(written, true);
    if (errors == 0) {
        Log(link_.log, "%s", Text(texts::kGalVerifyOk));
        return RESULT_OK;
    }
    Summary(errors);
    return RESULT_ERRORS;
}

// Write: buffer against the written image, "Buffer" then "Written".
// Verify: the chip (now in the buffer) against the saved file image.
uint32_t ZVGAL::Compare(const std::vector<uint8_t>& other, bool writeLines) {
    const uint32_t size = record->maxsize;
    const uint32_t sigFirst = static_cast<uint32_t>(record->SigBase);
    const uint32_t sigEnd = sigFirst + kSignatureBits;
    const uint32_t permitted = request->permittedErrorCount;
    uint32_t errors = 0;
    for (uint32_t i = 0; i < size; ++i) {
        if (i >= sigFirst && i < sigEnd) continue;
        if (fuses_[i] == other[i]) continue;
        Log(link_.log, writeLines ? texts::kGalWriteDifference : Text(texts::kGalVerifyDifference), static_cast<int>(i),
            fuses_[i], other[i]);
        if (++errors > permitted) {
            Log(link_.log, "%s", Text(texts::kGalTooManyErrors));
            break;
        }
    }
    return errors;
}

uint32_t ZVGAL::BlankCount() {
    const uint32_t size = record->maxsize;
    const uint32_t permitted = request->permittedErrorCount;
    uint32_t errors = 0;
    for (uint32_t i = 0; i < size; ++i) {
        if (fuses_[i] != 0) continue;
        Log(link_.log, texts::kGalNotBlank, static_cast<int>(i));
        if (++errors > permitted) {
            Log(link_.log, "%s", Text(texts::kGalTooManyErrors));
            break;
        }
    }
    return errors;
}

void ZVGAL::Summary(uint32_t errors) { Log(link_.log, Text(texts::kGalVerifyErrors), static_cast<int>(errors)); }

uint8_t ZVGAL::Verify() {
    if (!Usable()) return RESULT_FATAL;
    if (RangeRefused()) return RESULT_ZERO_LENGTH;
    const std::vector<uint8_t> file(fuses_, fuses_ + record->maxsize);
    ReadFuseMap();
    const uint32_t errors = Stalled() ? 0 : Compare(file, false);
    if (errors != 0) Summary(errors);
    if (errors != 0) SayIfReadsSecured();
    std::copy(file.begin(), file.end(), fuses_);
    if (Stalled()) return RESULT_FATAL;
    return errors == 0 ? RESULT_OK : RESULT_ERRORS;
}

uint8_t ZVGAL::BlankCheck() {
    if (!Usable()) return RESULT_FATAL;
    if (RangeRefused()) return RESULT_ZERO_LENGTH;
    const std::vector<uint8_t> file(fuses_, fuses_ + record->maxsize);
    ReadFuseMap();
    const uint32_t errors = Stalled() ? 0 : BlankCount();
    std::copy(file.begin(), file.end(), fuses_);
    if (Stalled()) return RESULT_FATAL;
    if (errors == 0) return RESULT_OK;
    Summary(errors);
    return RESULT_ERRORS;
}

uint8_t ZVGAL::Erase() {
    if (!Usable()) return RESULT_FATAL;
    if (!PowerOn(true)) return RESULT_ERRORS;
    if (uint8_t refused; !TakeSignature(refused)) return refused;
    if (!Serial()) {
        SetRow(kEraseRow);
        link_.clock->sleepMs(kRowSettleMs);
    } else {
        SetRow(kSerialEraseRow);
        link_.clock->sleepMs(kSerialEraseSettleMs);
    }
    // The 16V8 and 20V8 take one 1 bit into SDIN before the erase strobe;
    // the 22V10's erase row takes none. The erase pulse is the record's
    // (the datasheet's erase time), without one the programming pulse.
    const bool datasheetErase = record->erasepulse >= 0.0;
    shift[0] = 1;
    ShiftIn(Serial() && datasheetErase ? 0 : 1, true, datasheetErase ? record->erasepulse : -1.0);
    SetRow(0);
    link_.clock->sleepMs(WaitMs(record->galdown, kPowerDownMs));
    PowerOff();
    if (Stalled()) return RESULT_FATAL;
    return CheckReadBack(true);
}

uint8_t ZVGAL::Secure() {
    if (!Usable()) return RESULT_FATAL;
    if (!PowerOn(true)) return RESULT_ERRORS;
    if (Serial()) {
        PowerOff();
        Log(link_.log, "%s", Text(texts::kGalSecureUnsupported));
        return RESULT_INCOMPLETE;
    }
    SetRow(kSecurityRow);
    shift[0] = 1;
    ShiftIn(1, true);
    PowerOff();
    if (Stalled()) return RESULT_FATAL;
    return CheckReadBack(false);
}

// The signature decoded: maker, part, algorithm, and the voltage and pulse
// width it asks for.
uint8_t ZVGAL::DeviceOption() {
    if (!Usable()) return RESULT_FATAL;
    Log(link_.log, "%s", Text(texts::kGalPesStart));
    PowerOn(false);
    const GalSignature s = ReadSignature();
    PowerOff();
    if (Stalled()) return RESULT_FATAL;
    const unsigned language = link_.language == 0 ? 0 : 1;
    Log(link_.log, texts::kGalSignatureShown[language], DescribeSignature(s).c_str());
    if (!s.Valid()) Log(link_.log, "%s", texts::kGalSignatureInvalid[language]);
    return RESULT_OK;
}

uint8_t ZVGAL::Stop() {
    link_.clock->sleepMs(WaitMs(record->galdown, kPowerDownMs));
    PowerOff();
    return RESULT_OK;
}

bool ZVGAL::PowerOn(bool programming) {
    link_.LinkReset();
    link_.HoldSupplyOutputs();  // the supplies reach the socket together, when switched on
    if (programming) {
        // A programming supply the programmer cannot make would leave Vpp
        // where the reset put it and program nothing: end before powering.
        if (!link_.SetVpp(static_cast<float>(vppW_)) || !link_.SetVcc(static_cast<float>(record->VccW))) {
            link_.LinkReset();
            return false;
        }
    } else {
        link_.SetVpp(static_cast<float>(record->VppR));
        link_.SetVcc(static_cast<float>(record->VccR));
    }
    link_.SupplyOutput(false);
    link_.clock->sleepMs(WaitMs(record->galsettle, kSupplySettleMs));
    link_.DEVSET(typeCode);
    link_.SupplyOutput(true);
    SetRow(0);
    programVerify = dataIn = clockLine = 0;
    ApplyLines();
    link_.clock->sleepMs(WaitMs(record->galentry, kPowerUpMs));
    return true;
}

void ZVGAL::PowerOff() {
    link_.DEVSET(0);
    link_.LinkReset();
}

}  // namespace krt
