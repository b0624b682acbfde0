// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/ChipCheck.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/Log.h"
#include "base/StatusMessages.h"
#include "base/TypeCodes.h"
#include "families/ZVFLASH.h"
#include "families/ZVFLASH5V.h"
#include "families/ZVGAL.h"
#include "families/ZVPIC.h"
#include "families/ZVSRAM.h"
#include "session/Identify.h"
#include "session/SessionTexts.h"

namespace krt {

namespace {

enum class Kind { None, Eeprom, TwoWire, ThreeWire, Flash28, Flash5v, Rom, Sram, Pic, Gal };

Kind KindOf(const DeviceRecord& r) {
    auto is = [&](const char* t) { return strcasecmp(r.type.c_str(), t) == 0; };
    if (is("PIC")) return Kind::Pic;
    if (is("GAL")) return Kind::Gal;
    // The three-wire parts are organised in 16-bit words.
    if (is("SEEPROM") && !IsTwoWireType(r.typecode)) return Kind::ThreeWire;
    if (r.bytesPerWord != 1 && !(is("EPROM") || is("OTPROM"))) return Kind::None;
    if (is("EEPROM")) return Kind::Eeprom;
    if (is("FLASH5V")) return Kind::Flash5v;
    if (is("FLASH")) return Kind::Flash28;
    if (is("SEEPROM") && IsTwoWireType(r.typecode)) return Kind::TwoWire;
    if (is("EPROM") || is("OTPROM")) return Kind::Rom;
    if (is("SRAM")) return Kind::Sram;
    return Kind::None;
}

// How often an EPROM is read to find cells that read differently.
constexpr unsigned kRomReads = 4;
// A time this much over the datasheet's maximum is suspect.
constexpr double kSlowFactor = 1.5;
// The check's own waits allow a slow chip this many times the datasheet's
// figures, so that a slow chip is timed (and written back) rather than
// given up on.
constexpr double kWaitAllowance = 10.0;
// The mark at address 0, and the marks of the address lines (none is FF,
// the erased value of a flash, nor the mark at 0).
constexpr uint8_t kMarkZero = 0x5A;
uint8_t MarkOf(unsigned line) { return static_cast<uint8_t>(0x10 + line); }

// Lines of a sub-operation are the check's own business: kept, not shown.
class ChipCheckLines final : public LogSink {
public:
    void line(std::string_view text) override { lines.emplace_back(text); }
    std::vector<std::string> lines;
};

std::string Seconds(double s) {
    if (s >= 1.0) return Format("%.2f s", s);
    if (s >= 1e-3) return Format("%.1f ms", s * 1e3);
    return Format("%.0f us", s * 1e6);
}

std::string Bytes(uint64_t n) {
    if (n >= (1u << 20) && n % (1u << 20) == 0) return Format("%llu MB", static_cast<unsigned long long>(n >> 20));
    if (n >= 1024 && n % 1024 == 0) return Format("%llu KB", static_cast<unsigned long long>(n >> 10));
    return Format("%llu bytes", static_cast<unsigned long long>(n));
}

unsigned LinesFor(uint32_t size) {
    unsigned n = 0;
    while (n < 32 && (uint64_t{1} << n) < size) ++n;
    return n;
}

std::string Quoted(const std::string& word) {
    if (word.find_first_of(" \t'\"\\$") == std::string::npos && !word.empty()) return word;
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

class Checker {
public:
    Checker(Session& session, const ChipCheckOptions& options, ChipCheckReport& report)
        : session_(session), options_(options), report_(report), datasheet_(session.record), record_(session.record) {
        record_.idcheck = 0;  // the identity is a check of its own
        if (KindOf(record_) == Kind::Flash5v) {
            if (record_.tpw > 0) record_.tpw *= kWaitAllowance;
            if (record_.erasetime > 0) record_.erasetime *= kWaitAllowance;
        }
        size_ = record_.maxsize * record_.bytesPerWord;
        marks_ = record_;
        if (KindOf(record_) == Kind::Pic) {
            // A PIC's buffer holds the configuration words and the data
            // EEPROM above the program words; a mark leaves the data EEPROM
            // alone (a buffer short of it), the keep and write-back do not.
            size_ = std::max<size_t>(size_, record_.bufsize);
            marks_.bufsize = std::min(marks_.bufsize, kPicDataEepromByte);
        }
    }

    void Run() {
        const uint64_t started = Now();
        switch (KindOf(record_)) {
        case Kind::Rom: CheckRom(); break;
        case Kind::Sram: CheckSram(); break;
        case Kind::Gal: CheckGal(); break;
        case Kind::None:
            report_.result = RESULT_UNSUPPORTED;
            Say("", CheckVerdict::Failed, InLanguage(kCheckNothingText, options_.language));
            break;
        default: CheckWritable(); break;
        }
        report_.virtualNs = Now() - started;
    }

private:
    uint64_t Now() const { return session_.link.clock ? static_cast<uint64_t>(session_.link.clock->now().count()) : 0; }
    const char* T(const TextPair& text) const { return InLanguage(text, options_.language); }

    void Say(const char* check, CheckVerdict verdict, std::string evidence) {
        CheckLine line{check, verdict, std::move(evidence)};
        if (*check) ::krt::Log(options_.log, "%s", CheckLineText(line, options_.language).c_str());
        report_.lines.push_back(std::move(line));
    }

    bool StopAsked() {
        if (options_.stopRequested && options_.stopRequested()) report_.result = RESULT_CANCELED;
        return report_.result != RESULT_OK;
    }

    // One device operation over [start, start+length) with image as the
    // chip-sized buffer; its time on the link's clock in lastNs_.
    uint8_t Op(uint8_t code, uint32_t start, uint32_t length, std::vector<uint8_t>& image,
               const DeviceRecord* record = nullptr) {
        DeviceRecord use = record ? *record : record_;
        LinkRequest request;
        request.code = code;
        request.buffer = image.data();
        request.startAddress = start;
        request.length = length;
        ChipCheckLines lines;
        LogSink* previous = session_.link.log;
        session_.link.log = &lines;
        const uint64_t t0 = Now();
        const uint8_t result = session_.Send(request, use);
        lastNs_ = Now() - t0;
        session_.link.log = previous;
        return result;
    }

    std::string ResultWords(uint8_t result) const { return ResultText(options_.language, result); }

    // Runs read on a family object of the record, published for its time,
    // with its lines kept from the user; false when it could not be published.
    template <class Family, class Work>
    bool WithFamily(Work&& read) {
        LinkRequest request;
        request.code = REQ_READ;
        request.length = record_.maxsize;
        ChipCheckLines lines;
        LogSink* previous = session_.link.log;
        session_.link.log = &lines;
        bool published = false;
        {
            Family family(session_.link, request, record_);
            published = session_.link.Publish(&family);
            if (published) {
                read(family);
                session_.link.Withdraw();
            }
        }
        session_.link.log = previous;
        return published;
    }

    // --- keep and write back ---

    bool Keep() {
        kept_.assign(size_, 0xFF);
        const uint8_t read = Op(REQ_READ, 0, record_.maxsize, kept_);
        if (read != RESULT_OK) {
            report_.result = read;
            return false;
        }
        const std::string path = options_.keepFile.empty() ? KeptFileFor(datasheet_) : options_.keepFile;
        std::error_code ignored;
        const std::filesystem::path parent = std::filesystem::path(path).parent_path();
        if (!parent.empty()) std::filesystem::create_directories(parent, ignored);
        errno = 0;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        bool written = f && std::fwrite(kept_.data(), 1, kept_.size(), f) == kept_.size();
        if (f) written = std::fclose(f) == 0 && written;
        if (!written) {
            ::krt::Log(options_.log, T(kCheckKeepFailedText), path.c_str(), std::strerror(errno ? errno : EIO));
            report_.result = RESULT_FATAL;
            return false;
        }
        report_.keptFile = path;
        const std::string device =
            Quoted(datasheet_.type) + " " + Quoted(datasheet_.manufacture) + " " + Quoted(datasheet_.name);
        // A flash left with marks takes the content only once erased.
        report_.restoreCommand = (ErasedBeforeWriting() ? "krt erase " + device + " && " : std::string()) +
                                 "krt write " + device + " " + Quoted(path);
        ::krt::Log(options_.log, T(kCheckKeptText), path.c_str(), report_.restoreCommand.c_str());
        return true;
    }

    void WriteBack() {
        const uint64_t t0 = Now();
        DeviceRecord restore = record_;
        restore.changedonly = 1;  // the pages the check left alone stay as they are
        uint8_t result = RESULT_OK;
        if (ErasedBeforeWriting()) result = Op(REQ_ERASE, 0, record_.maxsize, kept_, &restore);
        std::vector<uint8_t> image = kept_;
        if (result == RESULT_OK) result = Op(REQ_WRITE, 0, record_.maxsize, image, &restore);
        if (result == RESULT_OK) result = Op(REQ_VERIFY, 0, record_.maxsize, image, &restore);
        report_.restoreNs = Now() - t0;
        report_.restored = result == RESULT_OK;
        // A write-back cancelled or cut off stops the check as any step does.
        if ((result == RESULT_CANCELED || result == RESULT_FATAL) && report_.result == RESULT_OK)
            report_.result = result;
        if (report_.restored) Say("restore", CheckVerdict::Ok, T(kCheckRestoredText));
        else NotRestored();
    }

    void NotRestored() {
        CheckLine line{"restore", CheckVerdict::Failed,
                       Format(T(kCheckNotRestoredText), report_.keptFile.c_str(), report_.restoreCommand.c_str())};
        ::krt::Log(options_.log, "%s", CheckLineText(line, options_.language).c_str());
        report_.lines.insert(report_.lines.begin(), std::move(line));
    }

    // --- the writable families ---

    // Flash takes a write only into erased cells.
    bool ErasedBeforeWriting() const {
        const Kind kind = KindOf(record_);
        return kind == Kind::Flash5v || kind == Kind::Flash28;
    }

    void CheckWritable() {
        if (!Keep()) return;
        const Kind kind = KindOf(record_);
        if (kind == Kind::Flash5v) Identity();
        if (kind == Kind::Flash28) Identifier28F();
        if (kind == Kind::Pic) PicIdentity();
        if (kind == Kind::Pic && PicProtected()) return;
        if (!StopAsked()) {
            if (ErasedBeforeWriting()) EraseThenMark();
            else RewriteMarks();
        }
        // Nothing written (a refused first write, a programmer gone before
        // the marks): nothing to put back.
        if (!touched_) return;
        if (report_.result == RESULT_CANCELED) NotRestored();
        else WriteBack();
    }

    void Identity() {
        const uint8_t want = static_cast<uint8_t>(datasheet_.chipid >> 8), wantDevice = static_cast<uint8_t>(datasheet_.chipid);
        if (datasheet_.chipid < 0) return;
        uint8_t maker = 0xFF, device = 0xFF;
        bool answered = false, read = false;
        WithFamily<ZVFLASH5V>([&](ZVFLASH5V& flash) {
            read = flash.PowerOn(true) && flash.ReadProductId(maker, device, answered);
            flash.PowerOff();
        });
        if (!read) {
            report_.result = RESULT_FATAL;
            return;
        }
        JudgeId(maker, device, answered, want, wantDevice, datasheet_.idconfirmed);
    }

    // 28F flash: the identifier the family knows from the datasheet.
    void Identifier28F() {
        uint8_t want = 0, wantDevice = 0, maker = 0xFF, device = 0xFF;
        bool confirmed = false, read = false;
        if (!ZVFLASH::DatasheetIdentifier(datasheet_, want, wantDevice, confirmed)) return;
        WithFamily<ZVFLASH>([&](ZVFLASH& flash) { read = flash.ReadIdentifier(maker, device); });
        if (!read) {
            report_.result = RESULT_FATAL;
            return;
        }
        JudgeId(maker, device, true, want, wantDevice, confirmed);
    }

    // The part's own codes, no answer, or another part's (named from the
    // catalogue where it knows them); only an identifier that more than one
    // source confirms fails the chip.
    void JudgeId(uint8_t maker, uint8_t device, bool answered, uint8_t want, uint8_t wantDevice, bool confirmed) {
        if (!answered || (maker == 0xFF && device == 0xFF)) {
            Say("identity", CheckVerdict::Suspect, Format(T(kCheckIdNoAnswerText), maker, device));
        } else if (maker == want && device == wantDevice) {
            Say("identity", CheckVerdict::Ok, Format(T(kCheckIdOwnText), maker, device));
        } else {
            Catalogue catalogue;
            catalogue.directory = session_.catalogueDirectory;
            catalogue.list = session_.devices;
            std::string names;
            for (const std::string& m : EntriesWithId(catalogue, maker, device)) names += (names.empty() ? "" : ", ") + m;
            if (names.empty()) names = Format(T(kCheckIdUnknownPartText), want, wantDevice);
            Say("identity", confirmed ? CheckVerdict::Failed : CheckVerdict::Suspect,
                Format(T(kCheckIdOtherText), maker, device, names.c_str()));
        }
    }

    // A mark written at one address (the image is chip-sized; a word's mark
    // is in its low byte, kept high byte first, the high byte 0); false with
    // a failed line when the write did not succeed.
    bool Mark(std::vector<uint8_t>& image, uint32_t address, uint8_t value) {
        const unsigned perWord = record_.bytesPerWord;
        for (unsigned i = 0; i < perWord; ++i) image[size_t{address} * perWord + i] = i + 1 == perWord ? value : 0;
        touched_ = true;
        const uint8_t result = Op(REQ_WRITE, address, 1, image, &marks_);
        if (result == RESULT_OK) return true;
        if (result == RESULT_CANCELED || result == RESULT_FATAL) report_.result = result;
        std::vector<uint8_t> seen(size_, 0xFF);
        Op(REQ_READ, address, 1, seen, &marks_);
        Say("capacity", CheckVerdict::Failed,
            Format(T(kCheckMarkFailedText), address, value, LowByte(seen, address), ResultWords(result).c_str()));
        return false;
    }

    uint8_t ReadAt(uint32_t address) {
        std::vector<uint8_t> seen(size_, 0xFF);
        const uint8_t result = Op(REQ_READ, address, 1, seen, &marks_);
        if (result != RESULT_OK && report_.result == RESULT_OK) report_.result = result;
        return LowByte(seen, address);
    }

    uint8_t LowByte(const std::vector<uint8_t>& image, uint32_t address) const {
        return image[(size_t{address} + 1) * record_.bytesPerWord - 1];
    }

    // EEPROMs: for each line, the mark at 0 and the line's own mark; a line
    // whose write lands on address 0 changes nothing. Each write cycle is
    // timed against a read of one byte.
    void RewriteMarks() {
        std::vector<uint8_t> image = kept_;
        ReadAt(0);
        const uint64_t readOne = lastNs_;
        uint64_t slowest = 0;
        auto timed = [&](uint32_t address, uint8_t value) {
            if (!Mark(image, address, value)) return false;
            slowest = std::max(slowest, lastNs_ > readOne ? lastNs_ - readOne : 0);
            return true;
        };
        if (!timed(0, kMarkZero)) return;
        std::vector<unsigned> dead;
        const unsigned lines = LinesFor(record_.maxsize);
        for (unsigned k = 0; k < lines; ++k) {
            if (StopAsked()) return;
            if (!timed(uint32_t{1} << k, MarkOf(k))) return;
            if (ReadAt(0) != kMarkZero) {
                dead.push_back(k);
                if (!timed(0, kMarkZero)) return;
            }
            if (report_.result != RESULT_OK) return;
        }
        Capacity(dead, lines);
        // A PIC's programming cycle is a fixed wait, not the chip's to tell.
        if (KindOf(record_) != Kind::Pic) WriteCycle(slowest);
    }

    // 5 V flash: erased, the mark at 0, then each line's address read
    // before its mark: a line that reaches no cell of its own shows the
    // mark at 0.
    void EraseThenMark() {
        std::vector<uint8_t> image(size_, 0xFF);
        // The erase is timed against a read of one byte: the power-up and
        // the commands around it are not the chip's.
        ReadAt(0);
        const uint64_t readOne = lastNs_;
        touched_ = true;
        const uint8_t erased = Op(REQ_ERASE, 0, record_.maxsize, image);
        if (erased != RESULT_OK) {
            Say("erase", CheckVerdict::Failed, Format(T(kCheckEraseFailedText), ResultWords(erased).c_str()));
            if (erased == RESULT_CANCELED) report_.result = erased;
            return;
        }
        if (datasheet_.erasetime > 0) {
            const double took = static_cast<double>(lastNs_ > readOne ? lastNs_ - readOne : 0) / 1e9;
            const bool slow = took > datasheet_.erasetime * kSlowFactor;
            Say("erase", slow ? CheckVerdict::Suspect : CheckVerdict::Ok,
                Format(T(slow ? kCheckEraseSlowText : kCheckEraseText), Seconds(took).c_str(),
                       Seconds(datasheet_.erasetime).c_str()));
        }
        if (!Mark(image, 0, kMarkZero)) return;
        std::vector<unsigned> dead;
        const unsigned lines = LinesFor(record_.maxsize);
        for (unsigned k = 0; k < lines; ++k) {
            if (StopAsked()) return;
            const uint32_t address = uint32_t{1} << k;
            if (ReadAt(address) == kMarkZero) {
                dead.push_back(k);
                continue;
            }
            if (!Mark(image, address, MarkOf(k))) return;
        }
        Capacity(dead, lines);
    }

    void Capacity(const std::vector<unsigned>& dead, unsigned lines) {
        if (dead.empty()) {
            Say("capacity", CheckVerdict::Ok,
                Format(T(kCheckCapacityOkText), lines - 1,
                       Bytes(uint64_t{record_.maxsize} * record_.bytesPerWord).c_str()));
            return;
        }
        std::string names;
        for (unsigned k : dead) names += (names.empty() ? "A" : ", A") + std::to_string(k);
        // The lines below the first that does nothing still address cells.
        const uint64_t answers = (uint64_t{1} << dead.front()) * record_.bytesPerWord;
        Say("capacity", CheckVerdict::Failed, Format(T(dead.size() == 1 ? kCheckAliasedOneText : kCheckAliasedText), Bytes(answers).c_str(), names.c_str()));
    }

    void WriteCycle(uint64_t slowestNs) {
        // The serial parts report their own ready; a parallel EEPROM is timed
        // by the polling its wait mode names.
        const bool timed = KindOf(record_) == Kind::TwoWire || KindOf(record_) == Kind::ThreeWire ||
                           (record_.waitmode >= 1 && record_.waitmode <= 3);
        if (!timed) {
            Say("write-cycle", CheckVerdict::Ok, T(kCheckCycleNotTimedText));
            return;
        }
        const double took = static_cast<double>(slowestNs) / 1e9;
        const bool slow = datasheet_.tpw > 0 && took > datasheet_.tpw * kSlowFactor;
        Say("write-cycle", slow ? CheckVerdict::Suspect : CheckVerdict::Ok,
            Format(T(slow ? kCheckCycleSlowText : kCheckCycleText), Seconds(took).c_str(),
                   Seconds(datasheet_.tpw).c_str()));
    }

    // --- identity: PICs and GALs ---

    // A protected PIC reads 0 and refuses programming: nothing to mark.
    bool PicProtected() {
        const uint16_t config = static_cast<uint16_t>(kept_[ZVPIC::kConfigWordByte] << 8 | kept_[ZVPIC::kConfigWordByte + 1]);
        if (!ZVPIC::ProtectsCode(datasheet_.name, config)) return false;
        Say("capacity", CheckVerdict::Suspect, T(kCheckPicProtectedText));
        return true;
    }

    void PicIdentity() {
        uint16_t id = 0;
        bool has = false, read = false;
        if (!WithFamily<ZVPIC>([&](ZVPIC& pic) {
                has = pic.HasDeviceId();
                read = !has || pic.ReadDeviceId(id);
            }) || !read) {
            report_.result = RESULT_FATAL;
            return;
        }
        const char* name = datasheet_.name.c_str();
        if (!has) Say("identity", CheckVerdict::Ok, Format(T(kCheckPicNoIdText), name));
        else if ((id & ZVPIC::kDeviceIdMask) == ZVPIC::kDeviceId84A)
            Say("identity", CheckVerdict::Ok, Format(T(kCheckPicIdOwnText), id, name, id & 0x1Fu));
        else if (id == 0x3FFF || id == 0)
            Say("identity", CheckVerdict::Suspect, Format(T(kCheckPicIdBlankText), id));
        else
            Say("identity", CheckVerdict::Failed, Format(T(kCheckPicIdOtherText), id, name, ZVPIC::kDeviceId84A));
    }

    void CheckGal() {
        GalSignature s;
        std::string described;
        bool read = false;
        if (!WithFamily<ZVGAL>([&](ZVGAL& gal) {
                read = gal.ReadIdentity(s, described);
            }) || !read) {
            report_.result = RESULT_FATAL;
            return;
        }
        const auto all = [&s](uint8_t v) { return std::all_of(std::begin(s.bytes), std::end(s.bytes), [v](uint8_t b) { return b == v; }); };
        if (all(0x00) || all(0xFF))
            Say("identity", CheckVerdict::Suspect, Format(T(kCheckGalBlankText), all(0x00) ? "0" : "1"));
        else if (s.Valid() && s.FitsTypeCode(record_.typecode))
            Say("identity", CheckVerdict::Ok, Format(T(kCheckGalOwnText), described.c_str()));
        else if (s.Valid())
            Say("identity", CheckVerdict::Failed, Format(T(kCheckGalOtherText), described.c_str()));
        else
            Say("identity", CheckVerdict::Suspect, Format(T(kCheckGalUnknownText), described.c_str()));
    }

    // --- static RAMs: nothing to keep (a RAM forgets with its supply) ---

    void CheckSram() {
        std::vector<MarchError> errors;
        uint64_t total = 0;
        uint8_t result = RESULT_FATAL;
        WithFamily<ZVSRAM>([&](ZVSRAM& ram) { result = ram.MarchTest(errors, total); });
        if (result != RESULT_OK) {
            report_.result = result;
            return;
        }
        if (total == 0) {
            Say("march", CheckVerdict::Ok, Format(T(kCheckMarchOkText), Bytes(record_.maxsize).c_str()));
            return;
        }
        std::string cells;
        for (const MarchError& e : errors) {
            const uint8_t differ = e.expected ^ e.read;
            unsigned bit = 0;
            while (!(differ >> bit & 1)) ++bit;
            cells += Format(T(kCheckMarchCellText), cells.empty() ? "" : ", ", e.address, bit, e.read >> bit & 1,
                            e.expected >> bit & 1);
        }
        // The first pass meets an address line that reaches no cell of its
        // own first at that line's power of two.
        const uint32_t first = errors.front().address;
        if (first >= 2 && (first & (first - 1)) == 0 &&
            std::all_of(errors.begin(), errors.end(), [first](const MarchError& e) { return e.address >= first; }))
            cells += Format(T(kCheckMarchAliasText), first, Bytes(first).c_str());
        Say("march", CheckVerdict::Failed,
            Format(T(kCheckMarchFailedText), static_cast<unsigned long long>(total), cells.c_str()));
    }

    // --- EPROMs and OTP PROMs: only read ---

    void CheckRom() {
        std::vector<std::vector<uint8_t>> reads(kRomReads, std::vector<uint8_t>(size_, 0xFF));
        for (auto& image : reads) {
            if (StopAsked()) return;
            const uint8_t result = Op(REQ_READ, 0, record_.maxsize, image);
            if (result != RESULT_OK) {
                report_.result = result;
                return;
            }
        }
        Stability(reads);
        Repeat(reads.front());
    }

    void Stability(const std::vector<std::vector<uint8_t>>& reads) {
        std::string bits;
        size_t count = 0;
        const unsigned perWord = record_.bytesPerWord;
        for (size_t i = 0; i < size_; ++i) {
            uint8_t differ = 0;
            for (const auto& image : reads) differ |= static_cast<uint8_t>(image[i] ^ reads.front()[i]);
            for (unsigned b = 0; b < 8; ++b) {
                if (!(differ >> b & 1)) continue;
                // Words are kept high byte first.
                const unsigned bit = perWord == 2 && i % 2 == 0 ? b + 8 : b;
                if (++count <= 8) bits += Format("%s%06zX bit %u", bits.empty() ? "" : ", ", i / perWord, bit);
            }
        }
        if (count > 8) bits += Format(" (+%zu)", count - 8);
        if (count == 0) Say("stability", CheckVerdict::Ok, Format(T(kCheckStableText), kRomReads));
        else Say("stability", CheckVerdict::Suspect, Format(T(kCheckUnstableText), kRomReads, bits.c_str()));
    }

    void Repeat(const std::vector<uint8_t>& image) {
        if (std::all_of(image.begin(), image.end(), [&](uint8_t v) { return v == image.front(); })) {
            Say("repeat", CheckVerdict::Ok, Format(T(kCheckUniformText), image.empty() ? 0xFF : image.front()));
            return;
        }
        for (size_t period = record_.bytesPerWord; period < image.size(); period *= 2) {
            if (!std::equal(image.begin() + static_cast<std::ptrdiff_t>(period), image.end(), image.begin())) continue;
            Say("repeat", CheckVerdict::Suspect,
                Format(T(kCheckRepeatText), Bytes(period).c_str(), LinesFor(static_cast<uint32_t>(period / record_.bytesPerWord))));
            return;
        }
        Say("repeat", CheckVerdict::Ok, T(kCheckNoRepeatText));
    }

    Session& session_;
    const ChipCheckOptions& options_;
    ChipCheckReport& report_;
    const DeviceRecord datasheet_;  // the limits the findings are judged against
    DeviceRecord record_;           // what the check's operations run with
    DeviceRecord marks_;            // what the marks are written and read with
    size_t size_ = 0;
    std::vector<uint8_t> kept_;
    bool touched_ = false;  // the chip was erased or written
    uint64_t lastNs_ = 0;
};

}  // namespace

bool ChipCheckReport::AllOk() const {
    return std::all_of(lines.begin(), lines.end(), [](const CheckLine& l) { return l.verdict == CheckVerdict::Ok; });
}

int ChipCheckReport::ExitStatus() const {
    if (result != RESULT_OK) return result;
    return AllOk() ? 0 : RESULT_ERRORS;
}

std::string KeptFileFor(const DeviceRecord& record) {
    std::string dir;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) dir = std::string(xdg) + "/krtwin";
    else if (const char* home = std::getenv("HOME"); home && *home) dir = std::string(home) + "/.local/share/krtwin";
    else dir = ".";
    std::string name = record.name;
    for (char& c : name)
        if (c == '/' || c == '\\' || c == ' ') c = '_';
    return dir + "/" + name + "-before-check.bin";
}

bool ChipCheckApplies(const DeviceRecord& record) { return KindOf(record) != Kind::None; }

ChipCheckReport CheckChip(Session& session, const ChipCheckOptions& options) {
    ChipCheckReport report;
    if (!session.link.port || !session.link.clock) {
        report.result = RESULT_FATAL;
        return report;
    }
    Checker(session, options, report).Run();
    if (report.result != RESULT_OK && report.result != RESULT_UNSUPPORTED)
        ::krt::Log(options.log, InLanguage(kCheckStoppedText, options.language),
                   ResultText(options.language, report.result).c_str());
    return report;
}

std::string CheckLineText(const CheckLine& line, uint32_t language) {
    const TextPair& verdict = line.verdict == CheckVerdict::Ok        ? kCheckOkText
                              : line.verdict == CheckVerdict::Suspect ? kCheckSuspectText
                                                                      : kCheckFailedText;
    return Format("%-8s %s: %s", InLanguage(verdict, language), line.check.c_str(), line.evidence.c_str());
}

std::string CheckReportJson(const DeviceRecord& record, const ChipCheckReport& report) {
    nlohmann::ordered_json doc;
    doc["device"] = record.type + " " + record.manufacture + " " + record.name;
    doc["result"] = report.result;
    doc["status"] = report.ExitStatus();
    nlohmann::ordered_json lines = nlohmann::ordered_json::array();
    for (const CheckLine& l : report.lines) {
        const char* verdict = l.verdict == CheckVerdict::Ok ? "ok" : l.verdict == CheckVerdict::Suspect ? "suspect" : "failed";
        lines.push_back({{"check", l.check}, {"verdict", verdict}, {"evidence", l.evidence}});
    }
    doc["checks"] = lines;
    doc["kept_file"] = report.keptFile;
    doc["restore_command"] = report.restoreCommand;
    doc["restored"] = report.restored;
    doc["virtual_seconds"] = static_cast<double>(report.virtualNs) / 1e9;
    doc["restore_seconds"] = static_cast<double>(report.restoreNs) / 1e9;
    return doc.dump(2);
}

}  // namespace krt
