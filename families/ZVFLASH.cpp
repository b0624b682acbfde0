#include "families/ZVFLASH.h"

#include <strings.h>

#include <cstdio>

#include "families/FamilyTexts.h"
#include "link/Log.h"

namespace krt {

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

// After program verify (C0h) and erase verify (A0h) the chip needs 6 us
// before its margin read is valid, and a program pulse needs 10 us from the
// data write to the verify command that ends it. The pulse timer holds 6 us
// through the whole loop (no reload per byte): WAITTIM waits it out once
// after a verify command and twice after the data write, and every command
// write's strobe lasts it too (longer than the 3 counts before).
constexpr double kVerifyWaitSeconds = 6e-6;
constexpr int kProgramPulseWaits = 2;

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

bool ZVFLASH::VerifyWait() {
    if (!link_.WaitReady()) return false;
    link_.WAITTIM();
    return link_.WaitReady();
}

bool ZVFLASH::ProgramWord(uint16_t value) {
    link_.KeepTimerSeconds(kVerifyWaitSeconds);
    if (!KnownPart()) return true;
    link_.DLSEND(kCmdProgramSetup);
    if (!link_.WaitReady()) return false;
    link_.DLSEND(static_cast<uint8_t>(value));
    pulsePending_ = true;
    for (int i = 0; i < kProgramPulseWaits; ++i)
        if (!VerifyWait()) return false;
    return link_.WaitReady();
}

bool ZVFLASH::ReadBack(uint16_t value, uint16_t& read) {
    (void)value;
    read = 0;
    link_.KeepTimerSeconds(kVerifyWaitSeconds);
    link_.DLSEND(kCmdProgramVerify);
    pulsePending_ = false;  // the verify command ended the pulse
    if (!VerifyWait()) return false;
    link_.DLREAD();
    if (!link_.WaitReady()) return false;
    read = link_.ReadReply();
    return true;
}

bool ZVFLASH::PowerOn(bool programming) {
    if (!ZVROM::PowerOn(programming)) return false;
    if (!programming || IdentityMatches()) return true;
    PowerOff();
    return false;
}

bool ZVFLASH::IdentityMatches() {
    const Identity* id = IdentityOf(*record);
    if (!record->idcheck || id == nullptr) return true;
    link_.KeepTimerSeconds(kVerifyWaitSeconds);
    link_.DLSEND(kCmdReadId);
    if (!link_.WaitReady()) return false;
    uint16_t codes[2] = {0, 0};
    for (uint32_t address = 0; address < 2; ++address) {
        SetAddress(address);
        if (!ReadWord(codes[address])) return false;
    }
    link_.DLSEND(kCmdRead);
    if (!link_.WaitReady()) return false;
    const uint8_t maker = static_cast<uint8_t>(codes[0]), device = static_cast<uint8_t>(codes[1]);
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
    link_.SetTimerFromText("10us");
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
            if (!ProgramWord(0) || !link_.WaitReady()) {
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
                Log(link_.log, texts::kWriteVerifyWord, address, read >> 8, read & 0xFF, 0, 0,
                    static_cast<int>(attempt));
            else
                Log(link_.log, texts::kWriteVerifyByte, address, read & 0xFF, 0, static_cast<int>(attempt));
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
    if (errorCount != 0)
        Log(link_.log, texts::kWriteErrorCount, static_cast<long>(errorCount));
    else if (!link_.readyTimedOut)
        Log(link_.log, "%s", texts::kWriteWithoutErrors);
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
        for (unsigned pass = 0; pass < kErasePasses && !erased && !stopped; ++pass) {
            if (cancel.load(std::memory_order_relaxed) || link_.readyTimedOut) {
                Stop();
                break;
            }
            link_.KeepTimerSeconds(kVerifyWaitSeconds);
            link_.DLSEND(kCmdErase);
            pulsePending_ = false;  // a command write ends the last program pulse of the clearing
            if (!link_.WaitReady()) break;
            link_.DLSEND(kCmdErase);
            link_.clock->sleepMs(kErasePulseMs);  // the erase pulse, ended by the erase-verify command
            // Erase verify from where the last scan stopped.
            while (CurrentAddress() < size) {
                if (cancel.load(std::memory_order_relaxed)) {
                    Stop();
                    stopped = true;
                    break;
                }
                link_.KeepTimerSeconds(kVerifyWaitSeconds);
                link_.DLSEND(kCmdEraseVerify);
                if (!VerifyWait()) {
                    stopped = true;
                    break;
                }
                link_.DLREAD();
                if (!link_.WaitReady()) {
                    stopped = true;
                    break;
                }
                if (link_.ReadReply() != 0xFF) break;
                NextAddress();
            }
            if (!stopped && CurrentAddress() >= size) {
                link_.DLSEND(kCmdRead);
                // The read command's strobe ends before the supplies go off.
                if (link_.WaitReady()) erased = true;
            }
        }
        if (!erased) errorCount = 1;
    }
    PowerOff();
    return FrameResult();
}

}  // namespace krt
