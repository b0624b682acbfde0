// SPDX-License-Identifier: GPL-3.0-or-later
#include "families/ZVROM.h"

#include <algorithm>

#include "families/FamilyTexts.h"
#include "link/Log.h"

namespace krt {

namespace {
constexpr unsigned kRomSupplySettleMs = 500;
constexpr unsigned kRomDeviceSettleMs = 300;
constexpr uint8_t kRomGoOn = 0xFF;

uint8_t High(uint16_t v) { return static_cast<uint8_t>(v >> 8); }
uint8_t Low(uint16_t v) { return static_cast<uint8_t>(v & 0xFF); }
}  // namespace

ZVROM::ZVROM(LinkContext& link, const LinkRequest& req, DeviceRecord& rec) : ZVDevice(link) {
    TakeRequest(req, rec, req.startAddress);
}

void ZVROM::SetAddress(uint32_t address) {
    link_.ReadReply();
    link_.ReadReply();
    link_.ALSET(static_cast<uint8_t>(address));
    link_.AHSET(static_cast<uint8_t>(address >> 8));
    link_.CSET(static_cast<uint8_t>(address >> 16));
    currentAddress.store(address, std::memory_order_relaxed);
}

void ZVROM::NextAddress() {
    link_.INC();
    currentAddress.store(CurrentAddress() + 1, std::memory_order_relaxed);
}

// The fetches wait for the programmer; a wait that gave up fails the unit.
bool ZVROM::ReadWord(uint16_t& value) {
    value = 0;
    link_.DLREAD();
    if (!link_.WaitReady()) return false;
    value = link_.ReadReply();
    if (WordWide()) {
        link_.DHREAD();
        if (!link_.WaitReady()) return false;
        value = static_cast<uint16_t>(value | (link_.ReadReply() << 8));
    }
    return true;
}

// The pulse timer is reloaded only when it does not hold tpw already: the
// write loop loads it once, and every pulse keeps its full length.
bool ZVROM::ProgramWord(uint16_t value) {
    link_.KeepTimerSeconds(record->tpw);
    if (WordWide()) {
        link_.DLSET(Low(value));
        link_.DHSEND(High(value));
    } else {
        link_.DLSEND(Low(value));
    }
    return link_.WaitReady();
}

bool ZVROM::ReadBack(uint16_t value, uint16_t& read) {
    (void)value;
    return ZVROM::ReadWord(read);
}

bool ZVROM::PowerOn(bool programming) {
    link_.LinkReset();
    link_.HoldSupplyOutputs();  // the supplies reach the socket together, when switched on
    link_.LoadBusMasks(*record);
    if (programming) {
        // Programming at a voltage other than the device's would damage it
        // or program nothing: a supply the programmer cannot make ends the
        // operation before the device is powered.
        if (!link_.SetVpp(static_cast<float>(record->VppW)) || !link_.SetVcc(static_cast<float>(record->VccW))) {
            link_.LinkReset();
            return false;
        }
    } else {
        link_.SetVpp(static_cast<float>(record->VppR));
        link_.SetVcc(static_cast<float>(record->VccR));
    }
    link_.SupplyOutput(false);
    link_.clock->sleepMs(kRomSupplySettleMs);
    link_.DEVSET(typeCode);
    if (programming || (typeCode & 3) != 3) link_.SupplyOutput(true);
    link_.clock->sleepMs(kRomDeviceSettleMs);
    if (typeCode == 3) link_.SetAuxOutput(1);
    return true;
}

void ZVROM::PowerOff() { link_.LinkReset(); }

uint32_t ZVROM::OperationLength(bool usesBuffer) {
    const uint32_t start = request->startAddress;
    const uint32_t length = request->length;
    uint64_t limit = record->maxsize;
    // A record whose word access was switched on for a byte-sized buffer
    // must not walk past the buffer either.
    if (usesBuffer && record->bufsize != 0) limit = std::min<uint64_t>(limit, record->bufsize / BytesPerUnit());
    if (static_cast<uint64_t>(start) + length <= limit) return length;
    const uint32_t cut = start >= limit ? 0 : static_cast<uint32_t>(limit - start);
    Log(link_.log, texts::kRangeCut, static_cast<unsigned long>(start), static_cast<unsigned long>(length),
        static_cast<unsigned long>(limit), static_cast<unsigned long>(cut));
    return cut;
}

uint8_t ZVROM::BeginOperation(bool programming, bool usesBuffer, uint32_t& end) {
    const uint32_t start = request->startAddress;
    currentAddress.store(start, std::memory_order_relaxed);
    cursor = request->buffer ? request->buffer + static_cast<size_t>(start) * BytesPerUnit() : nullptr;
    const uint32_t length = OperationLength(usesBuffer);
    if (length == 0) return RESULT_ZERO_LENGTH;
    // Without a buffer there is nothing to read into or write from.
    if (usesBuffer && request->buffer == nullptr) return RESULT_FATAL;
    if (!PowerOn(programming)) return RESULT_FATAL;
    end = start + length;
    return kRomGoOn;
}

uint8_t ZVROM::FrameResult() const {
    if (link_.readyTimedOut) return RESULT_FATAL;
    if (cancel.load(std::memory_order_relaxed)) return RESULT_CANCELED;
    return errorCount != 0 ? RESULT_ERRORS : RESULT_OK;
}

void ZVROM::LogErrorLimit() {
    if (ErrorLimitReached()) Log(link_.log, "%s", Text(texts::kTooManyErrors));
}

uint16_t ZVROM::TakeBufferValue() {
    uint16_t value;
    if (WordWide()) {
        value = static_cast<uint16_t>((cursor[0] << 8) | cursor[1]);
        cursor += 2;
    } else {
        value = cursor[0];
        cursor += 1;
    }
    return value;
}

void ZVROM::StoreBufferValue(uint16_t value) {
    if (WordWide()) {
        cursor[0] = High(value);
        cursor[1] = Low(value);
        cursor += 2;
    } else {
        cursor[0] = Low(value);
        cursor += 1;
    }
}

uint8_t ZVROM::Read() {
    return RunFrame(true, [this] {
        uint16_t value;
        if (!ReadWord(value)) return Unit::Abort;
        StoreBufferValue(value);
        return Unit::Done;
    });
}

uint8_t ZVROM::Verify() {
    return RunFrame(true, [this] {
        uint16_t value;
        if (!ReadWord(value)) return Unit::Abort;
        const uint16_t file = TakeBufferValue();
        if (value == file) return Unit::Done;
        const auto address = static_cast<unsigned long>(CurrentAddress());
        if (WordWide())
            Log(link_.log, Text(texts::kVerifyErrorWord), address, High(value), Low(value), High(file), Low(file));
        else
            Log(link_.log, Text(texts::kVerifyErrorByte), address, Low(value), Low(file));
        return Unit::Failed;
    });
}

uint8_t ZVROM::BlankCheck() {
    const uint16_t blank = WordWide() ? 0xFFFF : 0x00FF;
    return RunFrame(false, [this, blank] {
        uint16_t value;
        if (!ReadWord(value)) return Unit::Abort;
        if (value == blank) return Unit::Done;
        const auto address = static_cast<unsigned long>(CurrentAddress());
        if (WordWide())
            Log(link_.log, Text(texts::kBlankErrorWord), address, High(value), Low(value));
        else
            Log(link_.log, Text(texts::kBlankErrorByte), address, Low(value));
        return Unit::Failed;
    });
}

uint8_t ZVROM::Write() {
    uint32_t end = 0;
    uint8_t early = BeginOperation(true, true, end);
    if (early != kRomGoOn) return early;
    link_.SetTimer(0, 3);
    SetAddress(request->startAddress);
    link_.SetTimerSeconds(record->tpw);

    const bool verifying = VerifyWhileWriting();
    // A blank word of the file is not programmed where the chip holds the
    // blank value already: inside the range a blank check has just passed
    // over, without a look; elsewhere after reading it as blank (a read
    // costs far less than a pulse and its read-back). Skipped words send
    // nothing: the address is sent again where the run of them ends. A
    // chip not blank there is programmed as any other word and fails its
    // read-back as it always did.
    const uint16_t blank = WordWide() ? 0xFFFF : 0x00FF;
    const LinkContext::AddressRange known = link_.blankForWrite;
    const bool skipping = SkipsBlankWords();
    const bool changedOnly = WritesChangedOnly();
    uint32_t unchanged = 0;
    bool addressSent = true;
    bool failed = false;
    // A write over programmed bytes would log every retry of every byte:
    // the first lines are shown, the rest counted, and a byte that needs a
    // 0 bit back at 1 says once that the chip needs an erase.
    unsigned long retryLines = 0;
    bool eraseHinted = false;
    while (CurrentAddress() < end) {
        if (cancel.load(std::memory_order_relaxed) || failed || link_.readyTimedOut) {
            Stop();
            failed = true;
            break;
        }
        const uint16_t value = TakeBufferValue();
        if (changedOnly) {
            uint16_t onChip;
            if (!PreRead(onChip)) {
                failed = true;
                continue;
            }
            if (onChip == value) {
                ++unchanged;
                NextAddress();
                continue;
            }
        }
        if (skipping && value == blank) {
            if (known.Holds(CurrentAddress())) {
                ++blankSkipped;
                currentAddress.store(CurrentAddress() + 1, std::memory_order_relaxed);
                addressSent = false;
                continue;
            }
            if (!addressSent) SetAddress(CurrentAddress());
            addressSent = true;
            uint16_t onChip;
            if (!PreRead(onChip)) {
                failed = true;
                continue;
            }
            if (onChip == blank) {
                ++blankSkipped;
                NextAddress();
                continue;
            }
        }
        if (!addressSent) SetAddress(CurrentAddress());
        addressSent = true;
        for (int32_t attempt = 0; attempt < retryCount; ++attempt) {
            if (!ProgramWord(value)) {
                failed = true;
                break;
            }
            if (!verifying) continue;  // every attempt is one more pulse
            uint16_t read;
            if (!ReadBack(value, read)) {
                failed = true;
                break;
            }
            if (read == value) break;
            const bool last = attempt == retryCount - 1;
            const uint16_t mask = WordWide() ? 0xFFFF : 0x00FF;
            const bool hint = last && !eraseHinted && (~read & value & mask) != 0;
            eraseHinted = eraseHinted || hint;
            const auto address = static_cast<unsigned long>(CurrentAddress());
            auto logHint = [&] {
                if (hint)
                    Log(link_.log, Text(texts::kEraseFirst), address, static_cast<unsigned>(read & mask),
                        static_cast<unsigned>(value & mask));
            };
            if (last) {
                ++errorCount;
                if (ErrorLimitReached()) {
                    logHint();
                    failed = true;
                    break;
                }
            }
            if (retryLines++ < texts::kRetryLinesShown) {
                if (WordWide())
                    Log(link_.log, Text(texts::kWriteVerifyWord), address, High(read), Low(read), High(value),
                        Low(value), static_cast<int>(attempt));
                else
                    Log(link_.log, Text(texts::kWriteVerifyByte), address, Low(read), Low(value),
                        static_cast<int>(attempt));
            }
            logHint();
        }
        NextAddress();
    }
    if (retryLines > texts::kRetryLinesShown)
        Log(link_.log, Text(texts::kRetryLinesHidden), retryLines - texts::kRetryLinesShown);
    if (changedOnly) Log(link_.log, Text(texts::kWordsSkipped), static_cast<unsigned long>(unchanged));
    // A write cut short by a programmer that stopped answering did not
    // finish: it never claims "without errors"; the link has said why.
    LogWriteEnd(link_.readyTimedOut);
    PowerOff();
    LogErrorLimit();
    return FrameResult();
}

}  // namespace krt
