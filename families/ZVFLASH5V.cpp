// SPDX-License-Identifier: GPL-3.0-or-later
#include "families/ZVFLASH5V.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "families/FamilyTexts.h"
#include "link/Log.h"

namespace krt {

namespace {

constexpr uint8_t kFlash5vGoOn = 0xFF;
// Command cycles: AA at 5555h, 55 at 2AAAh, then the command at 5555h.
constexpr uint32_t kUnlock1 = 0x5555, kUnlock2 = 0x2AAA;
constexpr uint8_t kProgram = 0xA0, kProductId = 0x90, kEraseSetup = 0x80, kChipErase = 0x10;
constexpr uint8_t kSixByteId = 0x60, kDisableProtection = 0x20, kReset = 0xF0;
// The pause the Winbond and Atmel sheets ask after the ID entry and exit.
constexpr unsigned kIdPauseMs = 10;
// Identify keeps the chip: the pages its command cycles can reach (the
// widest page of the parts, aligned) and a pause longer than any byte or
// page write cycle of the parts (10 ms), so that one the cycles started has
// ended before the pages are read again.
constexpr uint32_t kGuardedPage = 256;
constexpr unsigned kWriteCycleMs = 20;
// A clock that does not advance must not hang a wait: a backstop on reads.
constexpr uint32_t kFlash5vMaxWaitReads = 2'000'000;

unsigned Flash5vLang(uint32_t language) { return language == 1 ? 1u : 0u; }

}  // namespace

ZVFLASH5V::ZVFLASH5V(LinkContext& link, const LinkRequest& request, DeviceRecord& record)
    : ZVROM(link, request, record) {}

void ZVFLASH5V::LatchAddress(uint32_t address) {
    const int64_t a = address;
    if (counter_ < 0 || ((counter_ ^ a) & 0xFF)) link_.ALSET(static_cast<uint8_t>(address));
    if (counter_ < 0 || (((counter_ ^ a) >> 8) & 0xFF)) link_.AHSET(static_cast<uint8_t>(address >> 8));
    if (counter_ < 0 || (((counter_ ^ a) >> 16) & 0xFF)) link_.CSET(static_cast<uint8_t>(address >> 16));
    counter_ = a;
}

// The high address byte stays as it was (always driven): command cycles
// need only A14-A0.
void ZVFLASH5V::BusWrite(uint32_t address, uint8_t data) {
    if (counter_ >= 0 && address <= 0xFFFF) address |= static_cast<uint32_t>(counter_) & 0xFF0000;
    LatchAddress(address);
    link_.DLSEND(data);
}

void ZVFLASH5V::Unlock() {
    BusWrite(kUnlock1, 0xAA);
    BusWrite(kUnlock2, 0x55);
}

bool ZVFLASH5V::ReadNext(uint8_t& value) {
    link_.DLREAD();
    if (!link_.WaitReady()) return false;
    value = link_.ReadReply();
    return true;
}

bool ZVFLASH5V::ReadAt(uint32_t address, uint8_t& value) {
    LatchAddress(address);
    return ReadNext(value);
}

bool ZVFLASH5V::ReadPage(uint32_t pageStart, uint32_t count, std::vector<uint8_t>& out) {
    out.assign(count, 0xFF);
    LatchAddress(pageStart);
    for (uint32_t i = 0; i < count; ++i) {
        if (!ReadNext(out[i])) return false;
        link_.INC();
        ++counter_;
    }
    return true;
}

double ZVFLASH5V::ProgramBoundS() const {
    const double tpw = record->tpw > 0 ? record->tpw : 10e-3;
    return tpw * 1.1 + kProgramMarginS;
}

void ZVFLASH5V::LogGiveUp(uint32_t address, double boundS, bool erase) {
    const unsigned lang = Flash5vLang(link_.language);
    if (dq5Seen_) {
        Log(link_.log, texts::kFlash5vTimeLimit[lang], static_cast<unsigned long>(address));
    } else if (erase) {
        Log(link_.log, texts::kFlash5vEraseTimeout[lang], boundS * 1e3);
    } else {
        Log(link_.log, texts::kFlash5vProgramTimeout[lang], static_cast<unsigned long>(address), boundS * 1e3);
    }
}

bool ZVFLASH5V::WaitDone(uint8_t data, double boundS, bool sleepBetween, uint8_t& read,
                         std::chrono::nanoseconds firstNotBefore) {
    const auto start = link_.clock->now();
    const auto bound = std::chrono::nanoseconds(static_cast<int64_t>(boundS * 1e9));
    for (uint32_t reads = 0;; ++reads) {
        if (reads == 0 && firstNotBefore.count() > 0) {
            link_.DLREADAt(firstNotBefore);
            if (!link_.WaitReady()) return false;
            read = link_.ReadReply();
        } else if (!ReadNext(read)) {
            return false;
        }
        if (((read ^ data) & 0x80) == 0) {
            // DQ7 may settle before the other outputs: one more read when
            // the byte is not yet all there.
            if (read != data && !ReadNext(read)) return false;
            return true;
        }
        if (record->dq5 && (read & 0x20)) {
            // The time limit passed: a last look at DQ7, then the reset
            // that the chip needs after DQ5.
            if (!ReadNext(read)) return false;
            if (((read ^ data) & 0x80) == 0) return true;
            dq5Seen_ = true;
            BusWrite(static_cast<uint32_t>(counter_), kReset);
            return false;
        }
        if (link_.clock->now() - start >= bound || reads >= kFlash5vMaxWaitReads) {
            // DQ7 never showed the data: a chip that ignored the write (a
            // protected page, a cell that does not take its value) has
            // ended its cycle and reads steady; one still toggling DQ6 has
            // not. The steady one is left to the verify.
            uint8_t again = 0;
            if (!ReadNext(read) || !ReadNext(again)) return false;
            if (read == again) return true;
            waitGaveUp_ = true;
            return false;
        }
        if (sleepBetween) link_.clock->sleepMs(1);
    }
}

bool ZVFLASH5V::PowerOn(bool programming) {
    counter_ = -1;
    if (!ZVROM::PowerOn(programming)) return false;
    link_.KeepTimer(0, 3);  // every strobe is a bus write cycle, well under a microsecond of /WE
    if (!programming) return true;
    programming_ = true;
    if (IdentityMatches()) return true;
    PowerOff();
    return false;
}

void ZVFLASH5V::PowerOff() {
    // A chip still busy (given up on) is ended by the supplies alone: a
    // command now would be written into its running cycle.
    // The reset is the full AA 55 F0, which every part takes: a lone F0 is
    // a byte of page data to a page-mode part without protection, whose
    // write cycle would start as the supplies fall.
    if (programming_ && !waitGaveUp_ && !windowBroken_ && !link_.readyTimedOut) {
        Unlock();
        CommandCycle(kReset);
        link_.WaitReady();
    }
    programming_ = false;
    ZVROM::PowerOff();
}

bool ZVFLASH5V::ReadProductId(uint8_t& maker, uint8_t& device, bool& answered) {
    uint8_t plain0 = 0, plain1 = 0;
    if (!ReadAt(0, plain0) || !ReadAt(1, plain1)) return false;
    Unlock();
    if (record->identry == 6) {
        CommandCycle(kEraseSetup);
        Unlock();
        CommandCycle(kSixByteId);
    } else {
        CommandCycle(kProductId);
    }
    link_.clock->sleepMs(kIdPauseMs);
    if (!ReadAt(0, maker) || !ReadAt(1, device)) return false;
    // Leave ID mode: AA 55 F0, which every part takes (a lone F0 would be
    // a page byte on the page-mode parts).
    Unlock();
    CommandCycle(kReset);
    link_.clock->sleepMs(kIdPauseMs);
    answered = maker != plain0 || device != plain1;
    return link_.WaitReady();
}

bool ZVFLASH5V::ReadProductIdKeepingChip(uint8_t& maker, uint8_t& device, bool& answered, uint32_t& restored,
                                         uint32_t& lost) {
    restored = lost = 0;
    const uint32_t pages[] = {kUnlock1 & ~(kGuardedPage - 1), kUnlock2 & ~(kGuardedPage - 1)};
    std::vector<uint8_t> before[2], after;
    for (int p = 0; p < 2; ++p)
        if (!ReadPage(pages[p], kGuardedPage, before[p])) return false;
    if (!ReadProductId(maker, device, answered)) return false;
    link_.clock->sleepMs(kWriteCycleMs);
    for (int p = 0; p < 2; ++p) {
        if (!ReadPage(pages[p], kGuardedPage, after)) return false;
        std::vector<uint32_t> changed;
        for (uint32_t i = 0; i < kGuardedPage; ++i)
            if (after[i] != before[p][i]) changed.push_back(i);
        if (changed.empty()) continue;
        // The chip took the cycles as data: it takes these alike, one page
        // load (or byte writes) that ends in its own write cycle.
        for (uint32_t i : changed) BusWrite(pages[p] + i, before[p][i]);
        link_.clock->sleepMs(kWriteCycleMs);
        if (!ReadPage(pages[p], kGuardedPage, after)) return false;
        for (uint32_t i : changed) ++(after[i] == before[p][i] ? restored : lost);
    }
    return link_.WaitReady();
}

bool ZVFLASH5V::IdentityMatches() {
    if (!record->idcheck || record->chipid < 0) return true;
    uint8_t maker = 0, device = 0;
    bool answered = false;
    if (!ReadProductId(maker, device, answered)) return false;
    const uint8_t wantMaker = static_cast<uint8_t>(record->chipid >> 8);
    const uint8_t wantDevice = static_cast<uint8_t>(record->chipid);
    if (answered && maker == wantMaker && device == wantDevice) return true;
    char expected[96], found[96];
    std::snprintf(expected, sizeof expected, "%s (%02Xh/%02Xh)", record->name.c_str(), wantMaker, wantDevice);
    if (answered)
        std::snprintf(found, sizeof found, "identifier %02Xh/%02Xh", maker, device);
    else
        std::snprintf(found, sizeof found, "no identifier (addresses 0 and 1 read %02Xh/%02Xh as data)", maker,
                      device);
    const unsigned language = Flash5vLang(link_.language);
    if (!record->idconfirmed && answered) {
        Log(link_.log, texts::kFlashIdUnconfirmed[language], expected, found);
        return true;
    }
    Log(link_.log, texts::kWrongPart[language], expected, found);
    return false;
}

uint8_t ZVFLASH5V::WriteBytes(uint32_t end) {
    const uint8_t* data = request->buffer;
    const double bound = ProgramBoundS();
    bool fatal = false;
    for (uint32_t a = CurrentAddress(); a < end; a = CurrentAddress()) {
        if (Canceled()) {
            Stop();
            break;
        }
        const uint8_t v = data[a];
        uint8_t read = 0;
        if (v == 0xFF) {
            // Programming FF changes nothing: the byte is looked at instead.
            if (!ReadAt(a, read)) {
                fatal = true;
                break;
            }
        } else {
            for (int32_t attempt = 0; attempt < retryCount; ++attempt) {
                Unlock();
                CommandCycle(kProgram);
                LatchAddress(a);
                const auto latched = link_.DLSENDAt(v, std::chrono::nanoseconds(0));
                // A short program time is waited out before the first poll,
                // which then mostly finds the byte done and is its read-back.
                const auto first = record->tpw > 0 && record->tpw <= kWaitOutProgramS
                                       ? latched + link_.TimerPeriod() +
                                             std::chrono::nanoseconds(static_cast<int64_t>(record->tpw * 1e9))
                                       : std::chrono::nanoseconds(0);
                if (!WaitDone(v, bound, false, read, first)) {
                    fatal = true;
                    break;
                }
                if (read == v || verifyFlag == 0) break;
            }
            if (fatal) {
                if (waitGaveUp_ || dq5Seen_) LogGiveUp(a, bound, false);
                break;
            }
        }
        if (read != v && (verifyFlag != 0 || v == 0xFF)) {
            ++errorCount;
            Log(link_.log, Text(texts::kWriteVerifyByte), static_cast<unsigned long>(a), read, v, retryCount - 1);
            if (ErrorLimitReached()) {
                currentAddress.store(a + 1, std::memory_order_relaxed);
                break;
            }
        }
        currentAddress.store(a + 1, std::memory_order_relaxed);
    }
    return fatal ? static_cast<uint8_t>(RESULT_FATAL) : kFlash5vGoOn;
}

bool ZVFLASH5V::LoadPage(uint32_t pageStart, const std::vector<uint8_t>& page, bool sequence) {
    const double window = record->loadwindow > 0 ? record->loadwindow : 150e-6;
    if (sequence) {
        Unlock();
        CommandCycle(kProgram);
    }
    // One burst: no log line, no allocation; each gap between two write
    // cycles (the last command cycle or the address, and every byte load)
    // is measured on the clock.
    auto previous = link_.clock->now();
    LatchAddress(pageStart);
    std::chrono::nanoseconds widest{0};
    for (size_t i = 0; i < page.size(); ++i) {
        link_.DLSEND(page[i]);
        const auto now = link_.clock->now();
        widest = std::max(widest, now - previous);
        previous = now;
        if (i + 1 < page.size()) {
            link_.INC();
            ++counter_;
        }
    }
    const double gapS = static_cast<double>(widest.count()) * 1e-9;
    if (gapS > window) {
        windowBroken_ = true;
        Log(link_.log, texts::kFlash5vLoadWindow[Flash5vLang(link_.language)], static_cast<unsigned long>(pageStart),
            gapS * 1e6, window * 1e6);
        return false;
    }
    uint8_t read = 0;
    // The first read ends the load; the cycle runs from there.
    if (!WaitDone(page.back(), ProgramBoundS(), true, read)) {
        if (waitGaveUp_ || dq5Seen_) LogGiveUp(pageStart, ProgramBoundS(), false);
        return false;
    }
    return true;
}

uint8_t ZVFLASH5V::WritePages(uint32_t start, uint32_t end, bool erasing) {
    const uint32_t size = record->pagesize;
    const uint8_t* data = request->buffer;
    std::vector<uint8_t> page(size), before, after;
    bool hinted = false;
    uint32_t watched = 0;
    for (uint32_t pageStart = start - start % size; pageStart < end; pageStart += size) {
        if (Canceled()) {
            Stop();
            break;
        }
        const uint32_t lo = std::max(start, pageStart), hi = std::min(end, pageStart + size);
        for (uint32_t i = 0; i < size; ++i)
            page[i] = erasing || pageStart + i >= record->maxsize ? 0xFF : data[pageStart + i];
        const bool partial = lo > pageStart || hi < pageStart + size;
        const bool allFF = !erasing && std::all_of(page.begin(), page.end(), [](uint8_t b) { return b == 0xFF; });
        const bool watch = verifyFlag != 0 && watched < 1;
        before.clear();
        if (partial || allFF || watch) {
            if (!ReadPage(pageStart, size, before)) return RESULT_FATAL;
            // Bytes outside the range are the chip's own: the cycle rewrites the whole page.
            for (uint32_t i = 0; i < size; ++i)
                if (pageStart + i < lo || pageStart + i >= hi) page[i] = before[i];
            if (allFF && before == page) {
                currentAddress.store(hi, std::memory_order_relaxed);
                continue;
            }
        }
        if (!LoadPage(pageStart, page, record->sdp != 0)) return RESULT_FATAL;
        if (verifyFlag != 0) {
            if (!ReadPage(pageStart, size, after)) return RESULT_FATAL;
            if (after != page) {
                ++errorCount;
                Log(link_.log, texts::kPageVerifyError, static_cast<unsigned long>(pageStart));
                if (watch && !hinted && after == before && before != page) {
                    hinted = true;
                    Log(link_.log, texts::kFlash5vProtectionHint[Flash5vLang(link_.language)],
                        static_cast<unsigned long>(pageStart), record->manufacture.c_str(), record->name.c_str());
                    link_.protectionSuspected = true;
                    currentAddress.store(hi, std::memory_order_relaxed);
                    break;
                }
                if (ErrorLimitReached()) {
                    currentAddress.store(hi, std::memory_order_relaxed);
                    break;
                }
            }
            ++watched;
        }
        currentAddress.store(hi, std::memory_order_relaxed);
    }
    return kFlash5vGoOn;
}

uint8_t ZVFLASH5V::Write() {
    if (PageMode() && record->loadwindow > 0 && record->loadwindow < kShortestLoadWindowS) {
        Log(link_.log, texts::kFlash5vWindowTooShort[Flash5vLang(link_.language)], record->loadwindow * 1e6,
            kShortestLoadWindowS * 1e6);
        return RESULT_FATAL;
    }
    uint32_t end = 0;
    const uint8_t early = BeginOperation(true, true, end);
    if (early != kFlash5vGoOn) return early;
    const uint8_t stopped = PageMode() ? WritePages(request->startAddress, end, false) : WriteBytes(end);
    const bool brokenOff = stopped == RESULT_FATAL || link_.readyTimedOut;
    LogWriteEnd(brokenOff);
    PowerOff();
    LogErrorLimit();
    if (brokenOff) return RESULT_FATAL;
    return FrameResult();
}

uint8_t ZVFLASH5V::Erase() {
    errorCount = 0;
    currentAddress.store(0, std::memory_order_relaxed);
    if (record->maxsize == 0) return RESULT_ZERO_LENGTH;
    if (!PowerOn(true)) return RESULT_FATAL;
    uint8_t result = RESULT_OK;
    if (PageMode() && record->erasetime < 0) {
        // No chip-erase command: every page written as FF.
        if (WritePages(0, record->maxsize, true) == RESULT_FATAL) result = RESULT_FATAL;
    } else {
        const double erase = record->erasetime >= 0 ? record->erasetime : kDefaultEraseS;
        const double bound = erase * 1.1 + kEraseMarginS;
        Unlock();
        CommandCycle(kEraseSetup);
        Unlock();
        CommandCycle(kChipErase);
        uint8_t read = 0;
        if (!WaitDone(0xFF, bound, true, read)) {
            if (waitGaveUp_ || dq5Seen_) LogGiveUp(0, bound, true);
            result = RESULT_FATAL;
        } else if (read != 0xFF) {
            errorCount = 1;
        }
        currentAddress.store(record->maxsize, std::memory_order_relaxed);
    }
    PowerOff();
    if (result != RESULT_OK || link_.readyTimedOut) return RESULT_FATAL;
    return FrameResult();
}

uint8_t ZVFLASH5V::SetProtection(bool enable) {
    currentAddress.store(0, std::memory_order_relaxed);
    const unsigned lang = Flash5vLang(link_.language);
    if (!PageMode() || !record->sdp) {
        Log(link_.log, "%s", PageMode() ? texts::kNoProtection[lang] : texts::kFlash5vNoPageMode[lang]);
        return RESULT_UNSUPPORTED;
    }
    const uint32_t size = record->pagesize;
    if (record->maxsize < size) return RESULT_ZERO_LENGTH;
    if (!PowerOn(true)) return RESULT_FATAL;
    const uint32_t last = record->maxsize - size;
    uint8_t result = RESULT_OK;
    std::vector<uint8_t> old, seen;
    bool ok = ReadPage(last, size, old);
    if (ok) {
        // The sequence, then the last page's own bytes: the Atmel sheets
        // want a page after the disable code too.
        Unlock();
        if (enable) {
            CommandCycle(kProgram);
        } else {
            CommandCycle(kEraseSetup);
            Unlock();
            CommandCycle(kDisableProtection);
        }
        ok = LoadPage(last, old, false);
    }
    if (ok && !link_.programmerFound) {
        Log(link_.log, "%s", texts::kProtectionUnobserved[lang]);
        result = RESULT_NOT_FOUND;
        ok = false;
    }
    if (ok) {
        std::vector<uint8_t> test = old;
        test.back() = static_cast<uint8_t>(~test.back());
        ok = LoadPage(last, test, false) && ReadPage(last, size, seen);
        if (ok) {
            const bool on = seen == old;
            if (!on && (!LoadPage(last, old, false) || !ReadPage(last, size, seen) || seen != old)) {
                if (!waitGaveUp_ && !windowBroken_ && !link_.readyTimedOut) {
                    Log(link_.log, texts::kProtectionRestoreFailed[lang], static_cast<unsigned long>(record->maxsize - 1),
                        old.back(), seen.empty() ? 0 : seen.back());
                    result = RESULT_ERRORS;
                }
            }
            if (!waitGaveUp_ && !windowBroken_ && !link_.readyTimedOut)
                Log(link_.log, texts::kProtectionState[lang][on ? 1 : 0], static_cast<unsigned long>(record->maxsize - 1));
            if (on != enable) result = RESULT_ERRORS;
        }
    }
    PowerOff();
    if (waitGaveUp_ || windowBroken_ || dq5Seen_ || link_.readyTimedOut) return RESULT_FATAL;
    if (Canceled()) return RESULT_CANCELED;
    return result;
}

uint8_t RunFlash5vProtection(LinkContext& link, DeviceRecord& record, bool enable) {
    LinkRequest request;
    request.code = 10;  // never dispatched: only the record of what runs
    if (!link.port || !link.clock) return RESULT_FATAL;
    link.readyTimedOut = false;
    ZVFLASH5V device(link, request, record);
    if (!link.Publish(&device)) return RESULT_FATAL;
    const uint8_t result = device.SetProtection(enable);
    link.Withdraw();
    return result;
}

}  // namespace krt
