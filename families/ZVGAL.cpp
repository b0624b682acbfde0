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
constexpr unsigned kGalSupplySettleMs = 100;
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
constexpr int kPowerDownRow = 59;
constexpr int kFillBits = 68;  // an ATF22V10's signature row: fill bits before the signature
constexpr int kSerialDataBits = 132;

}  // namespace

GalSignature ZVGAL::ReadSignature() {
    SetRow(kPesRow);
    if (!ShiftOut(kSignatureBits)) return GalSignature{};
    GalSignature s = DecodeGalSignature(shift);
    if (typeCode != 5 || s.Valid() || s.Atf()) return s;
    SetRow(kPesRow);
    if (!ShiftOut(kSignatureBits, true)) return s;
    GalSignature raised = DecodeGalSignature(shift);
    return raised.Atf() ? raised : s;
}

bool ZVGAL::ReadIdentity(GalSignature& signature, std::string& described) {
    // At the read level: a check never puts a programming voltage on a part
    // whose signature it has not read.
    if (!PowerOn(false)) return false;
    signature = ReadSignature();
    described = DescribeSignature(signature);
    PowerOff();
    return !Stalled();
}

bool ZVGAL::RefuseSignature(const GalSignature& s, uint8_t& result, bool programming) {
    const unsigned language = link_.language == 0 ? 0 : 1;
    std::string select;
    if (s.Atf() && (record->galpart != s.atfAlgorithm || !s.FitsTypeCode(typeCode)))
        select = std::string("Atmel ") + s.atfAlgorithm;
    else if (!s.Atf() && atf_ && s.Valid())
        select = std::string("Lattice ") + s.part;
    // Another algorithm's part: refused unless the check is off; but a
    // Lattice entry's voltage never reaches an ATF part, check or not.
    const bool voltageAbove = programming && s.Atf() && !atf_;
    if (!select.empty() && (record->idcheck || voltageAbove)) {
        Log(link_.log, texts::kGalOtherAlgorithm[language], record->name.c_str(), DescribeSignature(s).c_str(),
            select.c_str());
        result = RESULT_FATAL;
        return true;
    }
    if (!programming || !record->idcheck) return false;
    // A signature of all ones or all zeros is no chip's: nothing drives the
    // data-out line. Going on would report an erase or a write of nothing as done.
    if (s.AllBits(1) || s.AllBits(0)) {
        Log(link_.log, texts::kGalNoChipAnswers[language], s.AllBits(1) ? "1" : "0");
        result = RESULT_FATAL;
        return true;
    }
    if (s.Valid() && !s.FitsTypeCode(typeCode)) {
        const std::string found = "signature " + DescribeSignature(s);
        Log(link_.log, texts::kWrongPart[language], record->name.c_str(), found.c_str());
        result = RESULT_FATAL;
        return true;
    }
    return false;
}

bool ZVGAL::Identify(uint8_t& result, bool programming) {
    // An entry's level the programmer cannot make ends the operation before
    // any supply reaches the socket (the outputs stay gated).
    if (programming) {
        link_.LinkReset();
        link_.HoldSupplyOutputs();
        const bool made = link_.SetVpp(static_cast<float>(vppW_)) && link_.SetVcc(static_cast<float>(record->VccW));
        link_.LinkReset();
        if (!made) {
            result = RESULT_ERRORS;
            return false;
        }
    }
    PowerOn(false);
    const GalSignature s = ReadSignature();
    // A read powers up again for itself; a write goes on from here.
    if (!programming || Stalled()) PowerOff();
    if (Stalled()) {
        result = RESULT_FATAL;
        return false;
    }
    if (RefuseSignature(s, result, programming)) {
        PowerOff();
        return false;
    }
    if (!programming) return true;
    const unsigned language = link_.language == 0 ? 0 : 1;
    const std::string described = DescribeSignature(s);
    if (s.Atf() || atf_ || !s.Valid() || !s.FitsTypeCode(typeCode)) {
        // The entry's own values: an ATF part's, or the most that a
        // signature that names nothing may get.
        Log(link_.log, s.Atf() ? texts::kGalAtfSignatureUsed[language] : texts::kGalSignatureUnknown[language],
            described.c_str(), record->VppW, record->tpw * 1000.0);
        return true;
    }
    Log(link_.log, texts::kGalSignatureUsed[language], described.c_str());
    pulse_ = s.pulseSeconds;
    vppW_ = s.vpp;
    signatureLevel_ = true;
    return true;
}

// From the read level to the programming level without leaving edit mode:
// the chip stays powered while Vpp rises; the wait is the edit-mode entry's.
bool ZVGAL::RaiseToProgramming() {
    if (!link_.SetVpp(static_cast<float>(vppW_)) || !link_.SetVcc(static_cast<float>(record->VccW))) {
        PowerOff();
        return false;
    }
    link_.SupplyOutput(true);
    link_.clock->sleepMs(WaitMs(record->galentry, kPowerUpMs));
    return true;
}

bool ZVGAL::TakeAlgorithm() {
    struct Variant {
        const char* name;
        uint8_t typeCode;
        bool pvLowShift, uesAfterFill, msbAddress, pvHighRead, powerDown;
    };
    static constexpr Variant kVariants[] = {
        {"ATF16V8B", 5, false, false, false, false, false}, {"ATF16V8C", 5, false, false, false, true, true},
        {"ATF20V8B", 6, false, false, false, false, false}, {"ATF22V10B", 7, true, true, false, false, false},
        {"ATF22V10C", 7, true, true, true, false, true},
    };
    if (record->galpart.empty()) return true;
    for (const Variant& v : kVariants) {
        if (record->galpart != v.name || typeCode != v.typeCode) continue;
        atf_ = true;
        pvLowShift_ = v.pvLowShift;
        uesAfterFill_ = v.uesAfterFill;
        msbAddress_ = v.msbAddress;
        pvHighRead_ = clockHighStrobe_ = v.pvHighRead;
        powerDown_ = v.powerDown;
        return true;
    }
    return false;
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
    } else if (!TakeAlgorithm()) {
        reason = Format("galpart %s is no algorithm for type code %02X", record->galpart.c_str(), typeCode);
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
    programVerify = program && !pvLowShift_ ? 1 : 0;
    clockLine = 0;
    ApplyLines();
    for (int i = 0; i < count; ++i) {
        portWord = static_cast<uint16_t>((portWord & ~kDataIn) | (shift[i] ? kDataIn : 0));
        const auto low = static_cast<uint8_t>(portWord);
        link_.DLSET(low);
        const bool last = i == count - 1;
        if (last && msbAddress_) break;  // the last bit stays on SDIN, unclocked
        link_.DLSET(static_cast<uint8_t>(low | kClock));
        link_.DLSET(static_cast<uint8_t>(low | kClock));
        if (last && program && clockHighStrobe_) {
            clockLine = 1;
            portWord |= kClock;
            break;
        }
        link_.DLSET(low);
    }
    if (msbAddress_ && count > 0) {
        dataIn = shift[count - 1];
    } else if (Serial()) {
        dataIn = 0;
        ApplyLines();
    }
    if (!program) return true;
    if (pvLowShift_) {
        programVerify = 1;
        ApplyLines();
    }
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
    programVerify = clockLine = 0;
    ApplyLines();
    return ready;
}

bool ZVGAL::ShiftOut(int count, bool pvHigh) {
    const uint8_t dataOut = LinesOf().dataOut;
    link_.CSET(0x00);
    programVerify = clockLine = 0;
    if (!msbAddress_) dataIn = 0;  // else row bit 0 stays on SDIN through the load strobe
    ApplyLines();
    link_.SetTimerFromText("5us");
    // The read cycle strobes /STB (C port bit 7 clear): the row is loaded and
    // its first bit is on the data-out line before any clock.
    link_.DLREAD();
    if (!link_.WaitReady()) return false;
    shift[0] = (link_.ReadReply() & dataOut) ? 1 : 0;
    link_.CSET(0x80);
    link_.SetTimer(0, 2);
    const bool raised = pvHigh || pvHighRead_;
    if (raised) {
        // Some parts drive the data-out line only with P/V high: raised
        // after the strobe, the first bit is sampled again.
        programVerify = 1;
        dataIn = 0;
        ApplyLines();
        link_.DLREAD();
        if (!link_.WaitReady()) return false;
        shift[0] = (link_.ReadReply() & dataOut) ? 1 : 0;
    }
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
    if (raised) {
        programVerify = 0;
        ApplyLines();
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

// The six bits of a row number at shift positions at .. at + 5: bit 0
// first, or on the ATF22V10C bit 5 first.
void ZVGAL::PutRowAddress(int at, int row) {
    for (int bit = 0; bit < kAddressBits; ++bit)
        shift[at + bit] = static_cast<uint8_t>((row >> (msbAddress_ ? kAddressBits - 1 - bit : bit)) & 1);
}

bool ZVGAL::WritePowerDown() {
    if (!powerDown_ || fuses_[PowerDownFuse()] != 0) return true;
    if (Serial()) {
        SetRow(0);
        PutRowAddress(0, kPowerDownRow);
        return ShiftIn(kAddressBits, true);
    }
    SetRow(kPowerDownRow);
    shift[0] = 0;
    return ShiftIn(1, true);
}

void ZVGAL::ReadPowerDown() {
    if (!powerDown_) return;
    if (Serial()) {
        SetRow(0);
        PutRowAddress(0, kPowerDownRow);
        ShiftIn(kAddressBits, false);
    } else {
        SetRow(kPowerDownRow);
    }
    ShiftOut(1);
    fuses_[PowerDownFuse()] = shift[0];
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
        const int skipped = uesAfterFill_ ? kFillBits : 0;
        ShiftOut(skipped + kSignatureBits + kAddressBits);
        std::copy(shift + skipped, shift + skipped + kSignatureBits, sig);
        SetRow(kAsrRow);
        ShiftOut(kAsrBits);
        uint8_t* const asr = fuses_ + record->ASRBase;
        for (int j = 0; j < kAsrBits / 2; ++j) {
            asr[2 * j + 1] = shift[2 * j];
            asr[2 * j] = shift[2 * j + 1];
        }
    }
    ReadPowerDown();
    PowerOff();
    return !Stalled();
}

uint8_t ZVGAL::Read() {
    if (!Usable()) return RESULT_FATAL;
    if (RangeRefused()) return RESULT_ZERO_LENGTH;
    if (uint8_t refused; !Identify(refused, false)) return refused;
    if (!ReadFuseMap()) return Stalled() ? RESULT_FATAL : RESULT_ERRORS;
    SayIfReadsSecured();
    return RESULT_OK;
}

uint8_t ZVGAL::Write() {
    if (!Usable()) return RESULT_FATAL;
    if (RangeRefused()) return RESULT_ZERO_LENGTH;
    if (uint8_t refused; !Identify(refused, true)) return refused;
    if (!RaiseToProgramming()) return RESULT_ERRORS;
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
        // Lattice: the signature, then 68 zeros; ATF: 68 ones, then the signature.
        const int at = uesAfterFill_ ? kFillBits : 0;
        std::fill(shift, shift + kSerialDataBits, uesAfterFill_ ? 1 : 0);
        for (int i = 0; i < kSignatureBits; ++i) shift[at + i] = fuses_[record->SigBase + i] ? 1 : 0;
        PutRowAddress(kSerialDataBits, kSerialSignatureRow);
        WriteRow(0, kSerialSignatureRowBits);
        std::copy(shift + at, shift + at + kSignatureBits, written.begin() + record->SigBase);
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
    if (powerDown_) {
        WritePowerDown();
        const uint8_t wanted = fuses_[PowerDownFuse()];
        ReadPowerDown();
        written[PowerDownFuse()] = fuses_[PowerDownFuse()];
        fuses_[PowerDownFuse()] = wanted;
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
    if (uint8_t refused; !Identify(refused, false)) return refused;
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
    if (uint8_t refused; !Identify(refused, false)) return refused;
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
    if (uint8_t refused; !Identify(refused, true)) return refused;
    // The erase level where the record has one, unless the signature named its own.
    if (!signatureLevel_ && record->erasevpp > 0.0) vppW_ = record->erasevpp;
    if (!RaiseToProgramming()) return RESULT_ERRORS;
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
    // Refused before any supply: nothing is done.
    if (Serial()) {
        Log(link_.log, "%s", Text(texts::kGalSecureUnsupported));
        return RESULT_INCOMPLETE;
    }
    if (uint8_t refused; !Identify(refused, true)) return refused;
    if (!RaiseToProgramming()) return RESULT_ERRORS;
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
    if (!s.Valid() && !s.Atf()) Log(link_.log, "%s", texts::kGalSignatureInvalid[language]);
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
    link_.clock->sleepMs(WaitMs(record->galsettle, kGalSupplySettleMs));
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
