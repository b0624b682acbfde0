// SPDX-License-Identifier: GPL-3.0-or-later
#include "families/ZVFLASH.h"

#include <strings.h>

#include <cstdio>

#include "families/FamilyTexts.h"
#include "link/Log.h"

namespace krt {

using namespace std::chrono_literals;

namespace {

// Chip commands, written as data bytes (through the data-low masks).
constexpr uint8_t kCmdRead = 0x00;
constexpr uint8_t kCmdProgramSetup = 0x40;
constexpr uint8_t kCmdProgramVerify = 0xC0;
constexpr uint8_t kCmdErase = 0x20;
constexpr uint8_t kCmdEraseVerify = 0xA0;
constexpr uint8_t kCmdReadId = 0x90;

// The identifier codes the makers' datasheets give. The ST code comes from
// a single source only: a difference there is reported and the operation
// goes on.
struct Identity {
    const char* maker;
    const char* name;
    uint8_t makerCode;
    uint8_t deviceCode;
    bool confirmed;
};
constexpr Identity kIdentities[] = {
    {"intel", "P28F010", 0x89, 0xB4, true},
    {"intel", "P28F020", 0x89, 0xBD, true},
    {"st", "M28F101", 0x20, 0x07, false},
};

// Every strobe of the loops is a command or data write, whose /WE needs
// well under a microsecond: the timer holds 3 counts throughout (never
// reloaded per byte). The chip's own times are kept on the clock, from the
// moment a write strobe had begun plus the strobe's length (its /WE rise):
// - a program pulse runs from the data write's rise to the next command
//   write and programs only when it lasted 10 us (longer when the record's
//   tpw says so): the next command's strobe waits for that;
// - after program verify (C0h) and erase verify (A0h) the margin read is
//   valid 6 us after the command's rise: the read's strobe waits for that.
// The waits pass between a frame's byte and its strobe, so the frame's own
// port accesses count towards them.
constexpr uint8_t kStrobeTimerHigh = 0;
constexpr uint8_t kStrobeTimerLow = 3;
constexpr std::chrono::nanoseconds kProgramPulse = std::chrono::microseconds(10);
constexpr std::chrono::nanoseconds kVerifyWait = std::chrono::microseconds(6);

// A program pulse lasts at least 10 us; the PowerOff that would cut one short waits this long first.
constexpr unsigned kPulseEndMs = 1;

bool Same(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

const Identity* IdentityOf(const DeviceRecord& record) {
    for (const Identity& id : kIdentities)
        if (Same(record.manufacture, id.maker) && Same(record.name, id.name)) return &id;
    return nullptr;
}

}  // namespace

ZVFLASH::ZVFLASH(LinkContext& link, const LinkRequest& request, DeviceRecord& record)
    : ZVROM(link, request, record) {}

bool ZVFLASH::KnownPart() const {
    const std::string& maker = record->manufacture;
    const std::string& name = record->name;
    return (Same(maker, "st") && Same(name, "M28F101")) ||
           (Same(maker, "intel") && (Same(name, "P28F010") || Same(name, "P28F020")));
}

std::chrono::nanoseconds ZVFLASH::ProgramPulse() const {
    // The record's tpw when longer than the datasheet's minimum (at most a
    // second: beyond that the value is no pulse width).
    if (record->tpw > 10e-6 && record->tpw <= 1.0)
        return std::chrono::nanoseconds(static_cast<int64_t>(record->tpw * 1e9 + 0.5));
    return kProgramPulse;
}

std::chrono::nanoseconds ZVFLASH::ChipWrite(uint8_t value) {
    const std::chrono::nanoseconds latched = link_.DLSENDAt(value, commandNotBefore_);
    commandNotBefore_ = std::chrono::nanoseconds(0);
    pulsePending_ = false;
    return latched;
}

bool ZVFLASH::VerifyRead(std::chrono::nanoseconds commandLatched, uint16_t& read) {
    if (!link_.WaitReady()) return false;
    link_.DLREADAt(commandLatched + link_.TimerPeriod() + kVerifyWait);
    if (!link_.WaitReady()) return false;
    read = link_.ReadReply();
    return true;
}

bool ZVFLASH::ProgramWord(uint16_t value) {
    link_.KeepTimer(kStrobeTimerHigh, kStrobeTimerLow);
    if (!KnownPart()) return true;
    ChipWrite(kCmdProgramSetup);
    arrayRead_ = false;
    if (!link_.WaitReady()) return false;
    const std::chrono::nanoseconds latched = link_.DLSENDAt(static_cast<uint8_t>(value), 0ns);
    pulsePending_ = true;
    commandNotBefore_ = latched + link_.TimerPeriod() + ProgramPulse();
    return link_.WaitReady();
}

bool ZVFLASH::ReadBack(uint16_t value, uint16_t& read) {
    (void)value;
    read = 0;
    link_.KeepTimer(kStrobeTimerHigh, kStrobeTimerLow);
    const std::chrono::nanoseconds latched = ChipWrite(kCmdProgramVerify);  // ends the pulse
    return VerifyRead(latched, read);
}

bool ZVFLASH::PreRead(uint16_t& value) {
    value = 0;
    if (!arrayRead_ && KnownPart()) {
        link_.KeepTimer(kStrobeTimerHigh, kStrobeTimerLow);
        ChipWrite(kCmdRead);  // waits out a program pulse still running
        if (!link_.WaitReady()) return false;
        arrayRead_ = true;
    }
    return ReadWord(value);
}

bool ZVFLASH::PowerOn(bool programming) {
    arrayRead_ = true;
    if (!ZVROM::PowerOn(programming)) return false;
    if (!programming || IdentityMatches()) return true;
    PowerOff();
    return false;
}

bool ZVFLASH::DatasheetIdentifier(const DeviceRecord& record, uint8_t& maker, uint8_t& device, bool& confirmed) {
    const Identity* id = IdentityOf(record);
    if (id == nullptr) return false;
    maker = id->makerCode;
    device = id->deviceCode;
    confirmed = id->confirmed;
    return true;
}

bool ZVFLASH::ReadIdCodes(uint8_t& maker, uint8_t& device) {
    // Command strobes as short as the write loop's.
    link_.KeepTimer(kStrobeTimerHigh, kStrobeTimerLow);
    link_.DLSEND(kCmdReadId);
    if (!link_.WaitReady()) return false;
    uint16_t codes[2] = {0, 0};
    for (uint32_t address = 0; address < 2; ++address) {
        SetAddress(address);
        if (!ReadWord(codes[address])) return false;
    }
    link_.DLSEND(kCmdRead);
    if (!link_.WaitReady()) return false;
    maker = static_cast<uint8_t>(codes[0]);
    device = static_cast<uint8_t>(codes[1]);
    return true;
}

bool ZVFLASH::ReadIdentifier(uint8_t& maker, uint8_t& device) {
    arrayRead_ = true;
    if (!ZVROM::PowerOn(true)) return false;
    const bool read = ReadIdCodes(maker, device);
    PowerOff();
    return read;
}

bool ZVFLASH::IdentityMatches() {
    const Identity* id = IdentityOf(*record);
    if (!record->idcheck || id == nullptr) return true;
    uint8_t maker = 0, device = 0;
    if (!ReadIdCodes(maker, device)) return false;
    if (maker == id->makerCode && device == id->deviceCode) return true;
    char expected[64], found[64];
    std::snprintf(expected, sizeof expected, "%s (%02Xh/%02Xh)", record->name.c_str(), id->makerCode,
                  id->deviceCode);
    std::snprintf(found, sizeof found, "identifier %02Xh/%02Xh", maker, device);
    const unsigned language = link_.language == 0 ? 0 : 1;
    if (!id->confirmed) {
        Log(link_.log, texts::kFlashIdUnconfirmed[language], expected, found);
        return true;
    }
    Log(link_.log, texts::kWrongPart[language], expected, found);
    return false;
}

// The chip ends a program pulse at the next command write; without
// read-back the last pulse of a write would otherwise be ended by the
// supplies going off a few microseconds after it began, shorter than the
// chip's minimum, and the last byte would silently stay unprogrammed.
void ZVFLASH::PowerOff() {
    if (pulsePending_) {
        link_.clock->sleepMs(kPulseEndMs);
        pulsePending_ = false;
    }
    ZVROM::PowerOff();
}

uint8_t ZVFLASH::Write() { return ZVROM::Write(); }

uint8_t ZVFLASH::ClearToZero() {
    const uint32_t size = record->maxsize;
    currentAddress.store(0, std::memory_order_relaxed);
    if (size == 0) return RESULT_ZERO_LENGTH;
    if (!PowerOn(true)) return RESULT_FATAL;
    SetAddress(0);

    const bool verifying = VerifyWhileWriting();
    bool stopped = false;
    while (CurrentAddress() < size) {
        if (cancel.load(std::memory_order_relaxed) || stopped || link_.readyTimedOut) {
            Stop();
            stopped = true;
            break;
        }
        for (int32_t attempt = 0; attempt < retryCount; ++attempt) {
            if (!ProgramWord(0)) {
                stopped = true;
                break;
            }
            if (!verifying) continue;  // every attempt is one more program operation
            uint16_t read;
            if (!ReadBack(0, read)) {
                stopped = true;
                break;
            }
            if (read == 0) break;
            const auto address = static_cast<unsigned long>(CurrentAddress());
            if (WordWide())
                Log(link_.log, Text(texts::kWriteVerifyWord), address, read >> 8, read & 0xFF, 0, 0,
                    static_cast<int>(attempt));
            else
                Log(link_.log, Text(texts::kWriteVerifyByte), address, read & 0xFF, 0, static_cast<int>(attempt));
            if (attempt == retryCount - 1) {
                ++errorCount;
                if (ErrorLimitReached()) {
                    stopped = true;
                    break;
                }
                Log(link_.log, texts::kFlashClearVerifyError, address);
            }
            SetAddress(CurrentAddress());
        }
        NextAddress();
    }
    // The clearing is a step of the erase, not a write: its own line.
    if (errorCount == 0 && !link_.readyTimedOut && cancel.load(std::memory_order_relaxed) == 0)
        Log(link_.log, "%s", Text(texts::kFlashCleared));
    else
        LogWriteEnd(link_.readyTimedOut);
    LogErrorLimit();
    return FrameResult();
}

uint8_t ZVFLASH::Erase() {
    errorCount = 0;
    const uint8_t cleared = ClearToZero();
    // A device of no size: nothing was sent, nothing to power down. A
    // refused power-up (a supply, another part) erased nothing.
    if (cleared == RESULT_ZERO_LENGTH) return cleared;
    if (cleared == RESULT_FATAL && !link_.readyTimedOut) return cleared;

    const uint32_t size = record->maxsize;
    if (cleared == RESULT_OK) {
        currentAddress.store(0, std::memory_order_relaxed);
        SetAddress(0);
        bool erased = false;
        bool stopped = false;
        unsigned pulses = 0;
        for (unsigned pass = 0; pass < kErasePasses && !erased && !stopped; ++pass, ++pulses) {
            if (cancel.load(std::memory_order_relaxed) || link_.readyTimedOut) {
                Stop();
                break;
            }
            link_.KeepTimer(kStrobeTimerHigh, kStrobeTimerLow);
            ChipWrite(kCmdErase);  // ends the last program pulse of the clearing
            if (!link_.WaitReady()) break;
            ChipWrite(kCmdErase);
            link_.clock->sleepMs(kErasePulseMs);  // the erase pulse, ended by the erase-verify command
            // Erase verify from where the last scan stopped.
            while (CurrentAddress() < size) {
                if (cancel.load(std::memory_order_relaxed)) {
                    Stop();
                    stopped = true;
                    break;
                }
                uint16_t read = 0;
                if (!VerifyRead(ChipWrite(kCmdEraseVerify), read)) {
                    stopped = true;
                    break;
                }
                if (read != 0xFF) break;
                NextAddress();
            }
            if (!stopped && CurrentAddress() >= size) {
                ChipWrite(kCmdRead);
                // The read command's strobe ends before the supplies go off.
                if (link_.WaitReady()) erased = true;
            }
        }
        if (!erased) errorCount = 1;
        if (erased) Log(link_.log, Text(texts::kFlashErased), pulses);
        // The clearing's summary said "without errors": say that the erase
        // itself failed, and where, unless a cancel or the link ended it.
        if (!erased && !cancel.load(std::memory_order_relaxed) && !link_.readyTimedOut && !stopped)
            Log(link_.log, Text(texts::kFlashNotErased), static_cast<unsigned long>(CurrentAddress()), pulses);
    }
    PowerOff();
    // A clearing that did not succeed gives its own result: a power-up that
    // failed (a programming supply out of reach) is 4, never a success.
    if (cleared != RESULT_OK) return cleared;
    return FrameResult();
}

}  // namespace krt
