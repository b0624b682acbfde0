// SPDX-License-Identifier: GPL-3.0-or-later
#include "families/ZVEEPROM.h"

#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <span>

#include "families/FamilyTexts.h"
#include "families/ZVFLASH5V.h"
#include "link/Log.h"

namespace krt {

namespace {

constexpr uint8_t kEepromGoOn = 0xFF;
constexpr unsigned kRecoveryMs = 1000;
// A clock that does not advance must not hang a wait: a backstop count of
// reads far beyond what kCycleWaitLimitMs allows (a read costs about 40 us).
constexpr uint32_t kEepromMaxWaitReads = 1'000'000;

// Software data protection sequences (address, data), the same on every
// 28C part that has it; 8K parts decode only A0-A12 (1555/0AAA).
struct Step {
    uint16_t address;
    uint8_t data;
};
constexpr Step kEnable[] = {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0xA0}};
constexpr Step kDisable[] = {{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x80},
                             {0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0x20}};

unsigned EepromLang(uint32_t language) { return language == 1 ? 1u : 0u; }

}  // namespace

ZVEEPROM::ZVEEPROM(LinkContext& link, const LinkRequest& request, DeviceRecord& record)
    : ZVROM(link, request, record) {}

bool ZVEEPROM::WaitOver(std::chrono::nanoseconds start, uint32_t& reads) {
    if (++reads >= kEepromMaxWaitReads || link_.clock->now() - start >= std::chrono::milliseconds(kCycleWaitLimitMs)) {
        waitGaveUp_ = true;
        return true;
    }
    return false;
}

bool ZVEEPROM::ReadByte(uint8_t& value) {
    link_.DLREAD();
    if (!link_.WaitReady()) return false;
    value = link_.ReadReply();
    return true;
}

bool ZVEEPROM::WaitDataPolling(uint8_t expected) {
    link_.SetTimerFromText("1us");
    const auto start = link_.clock->now();
    uint32_t reads = 0;
    while (true) {
        link_.DLREAD();
        if (!link_.WaitReady()) return false;
        if (Canceled()) return false;
        if (link_.ReadReply() == expected) return true;
        if (WaitOver(start, reads)) return false;
    }
}

// The cancel flag is tested on every read, not only before the first.
bool ZVEEPROM::WaitToggleBit() {
    link_.SetTimerFromText("1us");
    const auto start = link_.clock->now();
    uint32_t reads = 0;
    uint8_t previous = 0;
    if (!ReadByte(previous) || Canceled()) return false;
    while (true) {
        uint8_t now = 0;
        if (!ReadByte(now) || Canceled()) return false;
        if (now == previous) return true;
        previous = now;
        if (WaitOver(start, reads)) return false;
    }
}

bool ZVEEPROM::WaitBusyFlag() {
    link_.SetTimer(0, 2);
    const auto start = link_.clock->now();
    uint32_t reads = 0;
    while (true) {
        link_.DHREAD();
        if (!link_.WaitReady()) return false;
        if (link_.ReadReply() & 0x08) return true;
        if (Canceled()) return false;
        if (WaitOver(start, reads)) return false;
    }
}

void ZVEEPROM::LogCycleTimeout(uint32_t pageStart) {
    const unsigned lang = EepromLang(link_.language);
    const unsigned mode = record->waitmode <= 4 ? record->waitmode : 5;
    Log(link_.log, texts::kCycleTimeout[lang], static_cast<unsigned long>(pageStart),
        texts::kWaitModeNames[lang][mode]);
}

bool ZVEEPROM::WritePage(uint32_t count) {
    const uint32_t pageStart = CurrentAddress();
    SetAddress(pageStart);
    if (count == 0) return true;
    link_.SetTimer(0, 3);
    const uint8_t* data = request->buffer;
    for (uint32_t i = 0; i < count; ++i) {
        link_.DLSEND(data[CurrentAddress()]);
        if (i + 1 < count) NextAddress();
    }
    bool ok = true;
    switch (record->waitmode) {
        case 0:
            // The write cycle starts only when the byte-load window closes
            // after the last byte: tpw is counted from there.
            link_.SetTimerSeconds(record->tpw + kByteLoadWindowS);
            link_.WAITTIM();
            ok = link_.WaitReady();
            break;
        case 1: WaitBusyFlag(); break;
        case 2: WaitToggleBit(); break;
        case 3: {
            // A last byte that never reads back (a cell that does not take
            // its value) keeps the polling going to its bound. Then a chip
            // still toggling, or one without a toggle bit that still shows
            // DATA polling, has not finished; any other has, and its page
            // is left to the verify. DATA polling defines bit 7 only, and
            // during the cycle every address reads the same: bit 7 inverted
            // at the last byte and the same byte at its neighbour is a
            // cycle still running.
            const uint32_t last = CurrentAddress();
            const uint8_t expected = data[last];
            if (!WaitDataPolling(expected) && waitGaveUp_) {
                waitGaveUp_ = false;
                uint8_t seen = 0, neighbour = 0;
                if (WaitToggleBit() && ReadByte(seen) && ((seen ^ expected) & 0x80) != 0) {
                    SetAddress(last ^ 1);
                    const bool read = ReadByte(neighbour);
                    SetAddress(last);
                    if (read && neighbour == seen) waitGaveUp_ = true;
                }
            }
            break;
        }
        case 4: link_.clock->sleepMs(kComputerTimerMs); break;
        default: break;
    }
    if (waitGaveUp_) {
        LogCycleTimeout(pageStart);
        ok = false;
    }
    NextAddress();
    currentAddress.store(pageStart, std::memory_order_relaxed);
    return ok;
}

bool ZVEEPROM::VerifyPage(uint32_t count) {
    const uint32_t pageStart = CurrentAddress();
    SetAddress(pageStart);
    link_.SetTimer(0, 4);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t value = 0;
        if (!ReadByte(value) || value != request->buffer[CurrentAddress()]) {
            currentAddress.store(pageStart, std::memory_order_relaxed);
            return false;
        }
        NextAddress();
    }
    currentAddress.store(pageStart, std::memory_order_relaxed);
    return true;
}

bool ZVEEPROM::ReadPage(uint32_t count, std::vector<uint8_t>& out) {
    const uint32_t pageStart = CurrentAddress();
    SetAddress(pageStart);
    link_.SetTimer(0, 4);
    out.assign(count, 0);
    bool ok = true;
    for (uint32_t i = 0; i < count && ok; ++i) {
        ok = ReadByte(out[i]);
        NextAddress();
    }
    currentAddress.store(pageStart, std::memory_order_relaxed);
    return ok;
}

// Modes 0 and 4 (and "no wait") wait a fixed time and mode 1 trusts a pin
// that many parts do not have: a chip that never finishes its write cycle
// would show only as verify errors and power cycles, page after page. So a
// page that failed is looked at once more with the toggle bit, which every
// 28C part with pages has: a chip still toggling after the bounded wait has
// not ended its cycle. (Parts without a toggle bit read steady and keep
// their verify error.)
bool ZVEEPROM::CycleStillRunning(uint32_t pageStart, uint32_t count) {
    if (record->waitmode == 2 || record->waitmode == 3) return false;  // the wait itself has looked
    SetAddress(pageStart + count - 1);
    WaitToggleBit();
    currentAddress.store(pageStart, std::memory_order_relaxed);
    if (!waitGaveUp_) return false;
    LogCycleTimeout(pageStart);
    return true;
}

uint8_t ZVEEPROM::WriteRange() {
    uint32_t end = 0;
    const uint8_t early = BeginOperation(true, true, end);
    if (early != kEepromGoOn) return early;
    link_.SetTimerSeconds(record->tpw);
    const uint32_t pageSize = std::max<uint32_t>(record->pagesize, 1);
    const uint8_t* data = request->buffer;
    std::vector<uint8_t> before, after;

    while (CurrentAddress() < end) {
        if (Canceled() || waitGaveUp_ || link_.readyTimedOut) {
            Stop();
            break;
        }
        const uint32_t pageStart = CurrentAddress();
        const uint32_t n = std::min(pageSize - pageStart % pageSize, end - pageStart);
        const bool watch = verifyFlag != 0 && !chipTookWrite_ && watchedPages_ < kWatchedPages;
        const bool compare = record->changedonly != 0;
        if ((watch || compare) && !ReadPage(n, before)) continue;  // the programmer stopped: the loop ends above
        // A page that holds its data already is left alone: no write cycle
        // spent on the chip's endurance, and the time of one read.
        if (compare && std::memcmp(before.data(), data + pageStart, n) == 0) {
            ++pagesSkipped;
            currentAddress.store(pageStart + n, std::memory_order_relaxed);
            continue;
        }

        bool verified = false;
        for (int32_t attempt = 0; attempt < retryCount; ++attempt) {
            if (!WritePage(n)) break;
            if (verifyFlag == 0 || VerifyPage(n)) {
                verified = true;
                break;
            }
            // A cancel (which ends a wait at once) or a silent programmer
            // ends the attempts: more writes, an error line and a power
            // cycle would only delay the stop.
            if (Canceled() || link_.readyTimedOut) break;
        }
        if (waitGaveUp_ || link_.readyTimedOut || (!verified && Canceled())) continue;

        if (verified) {
            if (watch) {
                ++watchedPages_;
                if (std::memcmp(before.data(), data + pageStart, n) != 0) chipTookWrite_ = true;
            }
        } else {
            if (CycleStillRunning(pageStart, n)) continue;
            ++errorCount;
            Log(link_.log, texts::kPageVerifyError, static_cast<unsigned long>(pageStart));
            if (watch && record->sdp && !protectionHinted_ && ReadPage(n, after) && after == before &&
                std::memcmp(before.data(), data + pageStart, n) != 0) {
                protectionHinted_ = true;
                const unsigned l = EepromLang(link_.language);
                Log(link_.log, link_.windowFace ? texts::kProtectionHintWindow[l] : texts::kProtectionHint[l],
                    static_cast<unsigned long>(pageStart),
                    record->manufacture.c_str(), record->name.c_str());
                // When most of the page was to change, every further page
                // would fail the same way, each after its retries and a
                // power cycle: stop here. A page with one dead cell among
                // bytes that already held their data goes on.
                uint32_t differing = 0;
                for (uint32_t i = 0; i < n; ++i) differing += before[i] != data[pageStart + i];
                if (differing * 2 >= n) {
                    link_.protectionSuspected = true;
                    currentAddress.store(pageStart + n, std::memory_order_relaxed);
                    break;
                }
            }
            link_.LinkReset();
            link_.clock->sleepMs(kRecoveryMs);
            link_.LinkReset();
            link_.clock->sleepMs(kRecoveryMs);
            PowerOn(true);
            if (ErrorLimitReached()) {
                Stop();
                break;
            }
        }
        currentAddress.store(pageStart + n, std::memory_order_relaxed);
    }

    const bool brokenOff = waitGaveUp_ || link_.readyTimedOut;
    if (record->changedonly)
        Log(link_.log, texts::kPagesSkipped[EepromLang(link_.language)], static_cast<unsigned long>(pagesSkipped));
    // A write ended by a wait that gave up did not finish: it never claims
    // "without errors"; the line before has said why.
    LogWriteEnd(brokenOff);
    PowerOff();
    LogErrorLimit();
    if (brokenOff) return RESULT_FATAL;
    return FrameResult();
}

uint8_t ZVEEPROM::Write() { return WriteRange(); }

uint8_t ZVEEPROM::Erase() {
    uint8_t* buffer = request->buffer;
    if (buffer == nullptr) return WriteRange();  // refused there without touching anything
    size_t size = record->maxsize;
    if (record->bufsize != 0) size = std::min<size_t>(size, record->bufsize);
    // The saved bytes go back on every way out, whatever WriteRange returns.
    struct Restore {
        uint8_t* buffer;
        std::vector<uint8_t> saved;
        ~Restore() { std::copy(saved.begin(), saved.end(), buffer); }
    } restore{buffer, std::vector<uint8_t>(buffer, buffer + size)};
    std::fill(buffer, buffer + size, 0xFF);
    return WriteRange();
}

// The write cycle outside the page loop: the record's write time (the
// datasheet's longest cycle), then the toggle bit, which every part with
// protection has, for a cycle that is slower still; a cycle that does not
// end gives up after the bound. Parts without a toggle bit read steady and
// are done after the write time.
void ZVEEPROM::WaitWriteCycle() {
    link_.clock->sleepMs(static_cast<unsigned>(std::ceil(record->tpw * 1000.0)));
    WaitToggleBit();
}

bool ZVEEPROM::WriteOneByte(uint32_t address, uint8_t value) {
    SetAddress(address);
    link_.SetTimer(0, 3);
    link_.DLSEND(value);
    WaitWriteCycle();
    return !waitGaveUp_ && !link_.readyTimedOut && !Canceled();
}

uint8_t ZVEEPROM::SetProtection(bool enable) {
    currentAddress.store(StartAddress(), std::memory_order_relaxed);
    // Without protection the sequences are plain byte writes (AA at 555h on
    // a 2K part): refused before the chip is powered.
    if (!record->sdp) {
        Log(link_.log, "%s", texts::kNoProtection[EepromLang(link_.language)]);
        return RESULT_UNSUPPORTED;
    }
    if (record->maxsize == 0) return RESULT_ZERO_LENGTH;
    if (!PowerOn(true)) return RESULT_FATAL;
    const uint32_t mask = record->maxsize <= 0x2000 ? 0x1FFF : 0x7FFF;
    const unsigned lang = EepromLang(link_.language);
    uint8_t result = RESULT_OK;

    // The whole sequence inside one byte-load window: only the low and
    // middle address bytes change between its bytes.
    SetAddress(kEnable[0].address & mask);
    link_.SetTimer(0, 3);
    const auto sequence = enable ? std::span<const Step>(kEnable) : std::span<const Step>(kDisable);
    for (const Step& s : sequence) {
        const uint32_t a = s.address & mask;
        link_.ALSET(static_cast<uint8_t>(a));
        link_.AHSET(static_cast<uint8_t>(a >> 8));
        link_.DLSEND(s.data);
    }
    currentAddress.store(StartAddress(), std::memory_order_relaxed);
    const uint32_t test = record->maxsize - 1;
    WaitWriteCycle();

    uint8_t old = 0, seen = 0;
    // Without a programmer the test write reads back whatever the port
    // floats to: no state was seen, and none is reported.
    const bool observable = link_.programmerFound;
    if (!observable && !waitGaveUp_ && !Canceled() && !link_.readyTimedOut) {
        Log(link_.log, "%s", texts::kProtectionUnobserved[lang]);
        result = RESULT_NOT_FOUND;
    }
    if (observable && !waitGaveUp_ && !Canceled() && !link_.readyTimedOut) {
        SetAddress(test);
        link_.SetTimer(0, 4);
        if (ReadByte(old) && WriteOneByte(test, static_cast<uint8_t>(~old))) {
            SetAddress(test);
            link_.SetTimer(0, 4);
            if (ReadByte(seen)) {
                const bool on = seen != static_cast<uint8_t>(~old);
                if (!on) {
                    uint8_t back = 0;
                    if (WriteOneByte(test, old)) {
                        SetAddress(test);
                        link_.SetTimer(0, 4);
                        if (ReadByte(back) && back != old) {
                            Log(link_.log, texts::kProtectionRestoreFailed[lang], static_cast<unsigned long>(test),
                                old, back);
                            result = RESULT_ERRORS;
                        }
                    }
                }
                if (!waitGaveUp_ && !link_.readyTimedOut)
                    Log(link_.log, texts::kProtectionState[lang][on ? 1 : 0], static_cast<unsigned long>(test));
                if (on != enable) result = RESULT_ERRORS;
            }
        }
    }
    if (waitGaveUp_) LogCycleTimeout(test);
    PowerOff();
    if (waitGaveUp_ || link_.readyTimedOut) return RESULT_FATAL;
    if (Canceled()) return RESULT_CANCELED;
    return result;
}

uint8_t RunProtectionOperation(LinkContext& link, DeviceRecord& record, bool enable) {
    // Page-mode 5 V flash has the same command; its test write is a whole page.
    if (strcasecmp(record.type.c_str(), "FLASH5V") == 0) return RunFlash5vProtection(link, record, enable);
    LinkRequest request;
    request.code = 10;  // never dispatched: only the record of what runs
    if (!link.port || !link.clock) return RESULT_FATAL;
    link.readyTimedOut = false;
    ZVEEPROM device(link, request, record);
    if (!link.Publish(&device)) return RESULT_FATAL;
    const uint8_t result = device.SetProtection(enable);
    link.Withdraw();
    return result;
}

}  // namespace krt
