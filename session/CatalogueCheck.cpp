// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/CatalogueCheck.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <random>

#include "base/Log.h"
#include "base/TypeCodes.h"
#include "catalogue/TextLines.h"
#include "data/DataBuffer.h"
#include "link/LinkTexts.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "session/SessionTexts.h"
#include "sim/VirtualKrt.h"

namespace krt {

namespace {

// The highest Vpp the programmer's supply reaches (the DAC scheme's last
// code). A part that needs more can only be read here.
constexpr double kProgrammerVppLimit = 19.4;

// PIC buffer: the configuration word itself at 400Eh.
constexpr uint32_t kPicConfigWordByte = 0x400E;

// Differences a step may log before it stops; the check wants none, and
// enough lines to say what went wrong.
constexpr uint32_t kPermittedErrors = 16;

// The two-wire erase writes FF byte by byte, each with its own write cycle:
// on a sampled run it is left out for parts larger than this (krt selftest
// without --length runs it on every part).
constexpr uint32_t kSampledByteEraseLimit = 2048;

class CatalogueCheckLines final : public LogSink {
public:
    void line(std::string_view utf8) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(utf8);
    }
    std::string Last() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_.empty() ? std::string() : lines_.back();
    }
    bool Has(std::string_view text) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::find(lines_.begin(), lines_.end(), text) != lines_.end();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

using Span = WordSpan;

// The image the check writes: what the device can hold, at random. A GAL
// fuse is 0 or 1; a PIC word has 14 bits and its configuration keeps code
// protection off (a protected chip reads zeros by design) with the
// oscillator, watchdog and power-up timer bits at random.
void FillImage(std::vector<uint8_t>& image, const DeviceRecord& record, uint32_t seed) {
    std::mt19937 random(seed);
    if (IsGalType(record.typecode)) {
        for (uint32_t i = 0; i < record.maxsize && i < image.size(); ++i) image[i] = random() & 1;
        return;
    }
    if (IsPicType(record.typecode)) {
        for (uint32_t w = 0; w < record.maxsize && 2 * w + 1 < kPicConfigByte; ++w) {
            const uint16_t v = random() & 0x3FFF;
            image[2 * w] = static_cast<uint8_t>(v >> 8);
            image[2 * w + 1] = static_cast<uint8_t>(v);
        }
        if (image.size() > kPicConfigWordByte + 1) {
            image[kPicConfigWordByte] = 0x3F;
            image[kPicConfigWordByte + 1] = static_cast<uint8_t>(0xF0 | (random() & 0x0F));
        }
        // Data-EEPROM words hold one byte each.
        for (uint32_t i = kPicDataEepromByte; i + 1 < image.size() && i < kPicBufferBytes; i += 2) {
            image[i] = 0;
            image[i + 1] = static_cast<uint8_t>(random());
        }
        return;
    }
    for (uint8_t& b : image) b = static_cast<uint8_t>(random());
}

class EntryRun {
public:
    EntryRun(EntryProof& proof, const CatalogueCheckOptions& options) : proof_(proof), options_(options) {}

    bool Run(const Catalogue& catalogue, int32_t index) {
        const DeviceList& list = catalogue.list;
        if (!LoadDeviceRecord(list, catalogue.directory, list.types[index], list.makers[index], list.names[index], 1,
                              &log_, session_.record)
                 .selected)
            return Fail("load", log_.Last());
        DeviceRecord& record = session_.record;
        std::string error;
        if (!session_.OpenBackend("sim", 0x378, error)) return Fail("port", error);
        session_.Simulator()->SetStrict(true);
        session_.SetLog(&log_);
        SessionSettings settings;
        if (session_.StartUp(settings) != RESULT_OK) return Fail("detect", log_.Last());
        std::string note;
        if (!session_.LoadSocket(record, "", note, error) || !session_.SocketHasChip())
            return Fail("socket", note.empty() ? error : note);

        MakeSpans(record);
        if (!session_.buffer.Allocate(record.bufsize)) return Fail("buffer", "");
        ClearBuffer(session_.buffer, record, session_.range);
        blank_.assign(session_.buffer.data(), session_.buffer.data() + session_.buffer.size());
        image_ = blank_;
        FillImage(image_, record, options_.seed);

        if (EqualsNoCase(record.type, "SRAM")) return ProveRam();
        if (!Step(REQ_BLANK_CHECK, "blank")) return false;
        Load(image_);
        bool readOnly = false;
        for (const Span& s : spans_) {
            const uint8_t result = Send(REQ_WRITE, s);
            if (result == RESULT_OK) continue;
            // A part beyond the programmer's supply: its write is refused
            // before the chip is powered for programming.
            if (result == RESULT_FATAL && record.VppW > kProgrammerVppLimit &&
                log_.Has(LinkLine(kVoltageRefusedLine, settings.language))) {
                readOnly = true;
                break;
            }
            return Fail("write", Format("result %u: %s", result, log_.Last().c_str()));
        }
        if (readOnly) {
            Done("write refused (Vpp %.1f V)", record.VppW);
            Load(blank_);
            if (!Step(REQ_BLANK_CHECK, "blank")) return false;
            if (!PlaceInChip(image_)) return Fail("chip", "cannot place the image in the chip");
            Load(image_);
        } else {
            Done("write");
        }
        if (!Step(REQ_VERIFY, "verify")) return false;
        Load(blank_);
        // A read must fill every word it covers: start from the image's
        // complement so that a word left alone shows.
        for (const Span& s : spans_) Flip(s);
        if (!Step(REQ_READ, "read")) return false;
        if (!SameAsImage()) return false;
        if (!EraseAndBlank(record)) return false;
        if (session_.Simulator()->HasBreaches()) {
            std::string lines;
            for (const std::string& l : session_.Simulator()->BreachLines()) lines += (lines.empty() ? "" : "; ") + l;
            return Fail("protocol", lines);
        }
        proof_.outcome = readOnly ? ProofOutcome::ReadOnly : ProofOutcome::ReadWrite;
        proof_.virtualNs = session_.VirtualNs();
        return true;
    }

private:
    void MakeSpans(const DeviceRecord& record) {
        const uint32_t n = record.maxsize;
        const bool whole = IsGalType(record.typecode) || IsPicType(record.typecode);
        spans_ = SampledSpans(n, whole ? 0 : options_.sampleWords);
        proof_.words = 0;
        for (const Span& s : spans_) proof_.words += s.length;
    }

    // A static RAM keeps nothing once its supply is off: its write is
    // refused, and an image placed in it reads back (its own test is krt check).
    bool ProveRam() {
        // One read of the whole chip: the supply goes off after each operation.
        spans_ = {{0, session_.record.maxsize}};
        Load(image_);
        if (const uint8_t refused = Send(REQ_WRITE, spans_.front()); refused != RESULT_UNSUPPORTED)
            return Fail("write", Format("result %u where the write of a RAM is refused", refused));
        Done("write refused (a RAM)");
        if (!PlaceInChip(image_)) return Fail("chip", "cannot place the image in the chip");
        Load(blank_);
        for (const Span& s : spans_) Flip(s);
        if (!Step(REQ_READ, "read") || !SameAsImage()) return false;
        if (session_.Simulator()->HasBreaches()) return Fail("protocol", session_.Simulator()->BreachLines().front());
        proof_.outcome = ProofOutcome::ReadOnly;
        proof_.virtualNs = session_.VirtualNs();
        return true;
    }

    uint8_t Send(uint8_t code, const Span& s) {
        LinkRequest request = OperationRequest(code, s.start, s.length, kPermittedErrors, session_.buffer);
        return session_.Send(request, session_.record);
    }

    bool Step(uint8_t code, const char* name) {
        for (const Span& s : spans_) {
            const uint8_t result = Send(code, s);
            if (result == RESULT_OK) continue;
            return Fail(name, Format("result %u: %s", result, log_.Last().c_str()));
        }
        Done("%s", name);
        return true;
    }

    // The EPROM families cannot erase: a windowed EPROM is erased by UV
    // light in the simulator, an OTP PROM not at all. The parallel EEPROM
    // erases the request's range; the other families the whole chip.
    bool EraseAndBlank(const DeviceRecord& record) {
        const bool eprom = EqualsNoCase(record.type, "EPROM") || EqualsNoCase(record.type, "OTPROM");
        if (eprom) {
            // An electrically erasable EPROM: the family refuses the erase
            // and leaves the chip as it was; the simulator then erases it as
            // another programmer would.
            if (record.a9erase > 0.0) {
                const uint8_t result = Send(REQ_ERASE, {0, record.maxsize});
                if (result != RESULT_UNSUPPORTED) return Fail("erase", Format("result %u, not refused", result));
                Load(blank_);
                for (const Span& s : spans_) Flip(s);
                if (!Step(REQ_READ, "read") || !SameAsImage()) return false;
                Done("erase refused (%.1f V on A9)", record.a9erase);
            }
            std::string reason;
            if (!session_.Simulator()->SocketChip()->UvErase(reason)) {
                Done("no erase (OTP)");
                return true;
            }
            Done(record.a9erase > 0.0 ? "erased elsewhere" : "UV erase");
        } else if (options_.sampleWords != 0 && EqualsNoCase(record.type, "SEEPROM") &&
                   IsTwoWireType(record.typecode) && record.maxsize > kSampledByteEraseLimit) {
            Done("erase not sampled");
            return true;
        } else {
            const std::vector<Span> spans =
                EqualsNoCase(record.type, "EEPROM") ? spans_ : std::vector<Span>{{0, record.maxsize}};
            for (const Span& s : spans) {
                const uint8_t result = Send(REQ_ERASE, s);
                if (result != RESULT_OK) return Fail("erase", Format("result %u: %s", result, log_.Last().c_str()));
            }
            Done("erase");
        }
        Load(blank_);
        return Step(REQ_BLANK_CHECK, "blank");
    }

    void Load(const std::vector<uint8_t>& bytes) {
        std::copy(bytes.begin(), bytes.end(), session_.buffer.data());
    }

    std::pair<size_t, size_t> Bytes(const Span& s) const {
        const size_t per = session_.record.bytesPerWord ? session_.record.bytesPerWord : 1;
        return {size_t(s.start) * per, std::min(size_t(s.start + s.length) * per, image_.size())};
    }

    void Flip(const Span& s) {
        auto [from, to] = Bytes(s);
        const uint8_t mask = IsGalType(session_.record.typecode) ? 1 : 0xFF;
        for (size_t i = from; i < to; ++i) session_.buffer.data()[i] = static_cast<uint8_t>(image_[i] ^ mask);
    }

    bool SameAsImage() {
        const uint8_t* got = session_.buffer.data();
        std::vector<Span> spans = spans_;
        // The PIC's configuration words come with every read.
        if (IsPicType(session_.record.typecode)) spans.push_back({kPicConfigWordByte / 2, 1});
        for (const Span& s : spans) {
            auto [from, to] = Bytes(s);
            for (size_t i = from; i < to; ++i)
                if (got[i] != image_[i])
                    return Fail("compare", Format("byte %06zX read %02X, written %02X", i, got[i], image_[i]));
        }
        Done("compare");
        return true;
    }

    // Puts the image straight into an EPROM's cells (the chip file's
    // layout is the buffer's: one byte per word, or high byte first).
    bool PlaceInChip(const std::vector<uint8_t>& bytes) {
        Chip* chip = session_.Simulator()->SocketChip();
        ChipImage saved;
        chip->Save(saved);
        auto cells = saved.blobs.find("cells");
        if (cells == saved.blobs.end()) return false;
        const size_t n = std::min(cells->second.size(), bytes.size());
        std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), cells->second.begin());
        std::string error;
        return chip->Load(saved, error);
    }

    void Done(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char text[120];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        proof_.detail += (proof_.detail.empty() ? "" : ", ") + std::string(text);
    }

    bool Fail(const char* step, const std::string& why) {
        proof_.outcome = ProofOutcome::Failed;
        proof_.detail = std::string(step) + (why.empty() ? "" : ": " + why);
        return false;
    }

    EntryProof& proof_;
    const CatalogueCheckOptions& options_;
    CatalogueCheckLines log_;
    Session session_;
    std::vector<Span> spans_;
    std::vector<uint8_t> blank_, image_;
};

}  // namespace

std::vector<WordSpan> SampledSpans(uint32_t words, uint32_t sampleWords) {
    if (words == 0) return {};
    if (sampleWords == 0 || words <= 2 * static_cast<uint64_t>(sampleWords)) return {{0, words}};
    // Every address line the device has set.
    uint32_t lines = words - 1;
    for (uint32_t shift = 1; shift < 32; shift <<= 1) lines |= lines >> shift;
    std::vector<WordSpan> spans = {{0, sampleWords}, {words - sampleWords, sampleWords}};
    for (uint32_t bit = 1; bit != 0 && bit <= lines; bit <<= 1) {
        for (uint32_t word : {bit, lines ^ bit})
            if (word < words) spans.push_back({word, 1});
    }
    std::sort(spans.begin(), spans.end(), [](const WordSpan& a, const WordSpan& b) { return a.start < b.start; });
    std::vector<WordSpan> merged;
    for (const WordSpan& s : spans) {
        if (!merged.empty() && s.start <= merged.back().start + merged.back().length) {
            WordSpan& last = merged.back();
            last.length = std::max(last.start + last.length, s.start + s.length) - last.start;
        } else {
            merged.push_back(s);
        }
    }
    return merged;
}

EntryProof ProveCatalogueEntry(const Catalogue& catalogue, int32_t index, const CatalogueCheckOptions& options) {
    EntryProof proof;
    const DeviceList& list = catalogue.list;
    if (index < 0 || index >= list.count) {
        proof.detail = "no entry";
        return proof;
    }
    proof.type = list.types[index];
    proof.maker = list.makers[index];
    proof.name = list.names[index];
    EntryRun run(proof, options);
    run.Run(catalogue, index);
    return proof;
}

std::vector<int32_t> SelectEntries(const DeviceList& list, const std::string& type, const std::string& maker,
                                   const std::string& name) {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < list.count; ++i) {
        if (!type.empty() && !EqualsNoCase(type, list.types[i])) continue;
        if (!maker.empty() && !EqualsNoCase(maker, list.makers[i])) continue;
        if (!name.empty() && !EqualsNoCase(name, list.names[i])) continue;
        out.push_back(i);
    }
    return out;
}

std::string ProofLine(const EntryProof& proof, uint32_t language) {
    const TextPair& outcome = proof.outcome == ProofOutcome::ReadWrite  ? kProofReadWriteText
                              : proof.outcome == ProofOutcome::ReadOnly ? kProofReadOnlyText
                                                                        : kProofFailedText;
    std::string line = Format("%s %s %s: %s (%s", proof.type.c_str(), proof.maker.c_str(), proof.name.c_str(),
                              InLanguage(outcome, language), proof.detail.c_str());
    if (proof.outcome != ProofOutcome::Failed)
        line += Format(InLanguage(kProofWordsText, language), proof.words,
                       static_cast<double>(proof.virtualNs) / 1e9);
    return line + ")";
}

std::string ProofSummary(const std::vector<EntryProof>& proofs, uint32_t language) {
    size_t readWrite = 0, readOnly = 0, failed = 0;
    for (const EntryProof& p : proofs) {
        readWrite += p.outcome == ProofOutcome::ReadWrite;
        readOnly += p.outcome == ProofOutcome::ReadOnly;
        failed += p.outcome == ProofOutcome::Failed;
    }
    return Format(InLanguage(kProofSummaryText, language), proofs.size(), readWrite, readOnly, failed);
}

}  // namespace krt
