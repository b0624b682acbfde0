// SPDX-License-Identifier: GPL-3.0-or-later
#include "families/ZVSEEP.h"

#include <algorithm>
#include <cmath>

#include "families/FamilyTexts.h"
#include "link/Log.h"

namespace krt {

namespace {

constexpr uint8_t kSeepGoOn = 0xFF;

// Two-wire lines on the data-low latch, and the C port bit that lets the
// programmer drive SDA (clear: the chip drives it).
constexpr uint8_t kSda = 0x08;
constexpr uint8_t kScl = 0x10;
constexpr uint8_t kDriveSda = 0x80;
constexpr uint8_t kReadImage = 0x60;
constexpr uint8_t kWriteImage = 0x40;

// Three-wire lines: CS bit 0, SK bit 1, DI bit 2, bit 6 always set; DO
// comes back on bit 7.
constexpr uint8_t kSelect = 0x41;
constexpr uint8_t kDeselect = 0x40;
constexpr uint8_t kDi = 0x04;
constexpr uint8_t kSk = 0x02;
constexpr uint8_t kDo = 0x80;

constexpr unsigned kSeepSupplySettleMs = 50;
constexpr unsigned kSeepDeviceSettleMs = 30;
constexpr unsigned kFirstReadyPollMs = 15;
constexpr unsigned kEraseTailMs = 100;

// The largest two-wire part with a one-byte word address (24C16); its
// address bits 8-10 travel in the device-select byte.
constexpr uint32_t kOneByteAddressLimit = 0x800;

// Without a clock the chip waits are bounded by a count of attempts instead
// (an attempt costs well over 100 us on the ISA bus); with one, a clock
// that does not advance still ends them after many more.
constexpr uint32_t kAttemptsWithoutClock = 1000;
constexpr uint32_t kAttemptsWithClock = 1'000'000;

// The bound of one wait for the chip, on the link's clock.
class ChipWait {
public:
    explicit ChipWait(Clock* clock) : clock_(clock), start_(clock ? clock->now() : std::chrono::nanoseconds(0)) {}
    bool Expired() {
        ++attempts_;
        if (!clock_) return attempts_ >= kAttemptsWithoutClock;
        return clock_->now() - start_ >= ZVSEEP::kChipWaitLimit || attempts_ >= kAttemptsWithClock;
    }

private:
    Clock* clock_;
    std::chrono::nanoseconds start_;
    uint32_t attempts_ = 0;
};

}  // namespace

ZVSEEP::ZVSEEP(LinkContext& link, const LinkRequest& request, DeviceRecord& record)
    : ZVROM(link, request, record), pageSize_(std::max<uint32_t>(record.pagesize, 1)) {
    pageBuffer = std::make_unique<uint8_t[]>(pageSize_);
}

ZVSEEP::~ZVSEEP() = default;

ZVSEEP::Bus ZVSEEP::BusOf() const {
    if (typeCode == 3) return Bus::TwoWire;
    if (typeCode == 2) return Bus::ThreeWire;
    return Bus::None;
}

// Type code 1 is not written, and no other code names a bus: rather than
// read zeros or "write" nothing and report success, every operation says
// it is not written. An access width the bus does not have is refused
// before the programmer is touched.
uint8_t ZVSEEP::Refusal() {
    const Bus bus = BusOf();
    if (bus == Bus::None) return RESULT_INCOMPLETE;
    const unsigned language = link_.language == 0 ? 0 : 1;
    if (bus == Bus::ThreeWire && !record->wordaccess) {
        Log(link_.log, "%s", texts::kSeepNoByteAccess[language]);
        return RESULT_INCOMPLETE;
    }
    if (bus == Bus::TwoWire && record->wordaccess) {
        Log(link_.log, "%s", texts::kSeepNoWordAccess[language]);
        return RESULT_INCOMPLETE;
    }
    return kSeepGoOn;
}

// A chip that never answered ends the request as a programmer that stopped
// answering does: the loops leave, nothing claims success, the result is 4.
void ZVSEEP::GiveUp() { link_.readyTimedOut = true; }

bool ZVSEEP::PowerOn(bool programming) {
    ForgetRegisters();
    link_.LinkReset();
    link_.HoldSupplyOutputs();  // the supplies reach the socket together, when switched on
    link_.LoadBusMasks(*record);
    if (programming) {
        link_.SetVpp(static_cast<float>(record->VppW));
        link_.SetVcc(static_cast<float>(record->VccW));
    } else {
        link_.SetVpp(static_cast<float>(record->VppR));
        link_.SetVcc(static_cast<float>(record->VccR));
    }
    link_.SupplyOutput(false);
    link_.clock->sleepMs(kSeepSupplySettleMs);
    link_.DEVSET(typeCode);
    link_.clock->sleepMs(kSeepDeviceSettleMs);
    if (typeCode == 3) link_.SetAuxOutput(1);
    return true;
}

void ZVSEEP::NextAddress() { currentAddress.store(CurrentAddress() + 1, std::memory_order_relaxed); }

uint8_t ZVSEEP::Read() {
    const uint8_t refused = Refusal();
    return refused != kSeepGoOn ? refused : ZVROM::Read();
}

uint8_t ZVSEEP::Verify() {
    const uint8_t refused = Refusal();
    return refused != kSeepGoOn ? refused : ZVROM::Verify();
}

uint8_t ZVSEEP::BlankCheck() {
    const uint8_t refused = Refusal();
    return refused != kSeepGoOn ? refused : ZVROM::BlankCheck();
}

uint8_t ZVSEEP::Write() {
    const uint8_t refused = Refusal();
    if (refused != kSeepGoOn) return refused;
    cachedPage = -1;
    if (BusOf() == Bus::TwoWire && record->pagewrite) return WritePages();
    // The byte write reads nothing back on this bus: the cycle of its last
    // byte runs on after the loop, and PowerOff waits for it.
    finishCycleAtPowerOff_ = BusOf() == Bus::TwoWire;
    return ZVROM::Write();
}

bool ZVSEEP::VerifyWhileWriting() const {
    return BusOf() == Bus::TwoWire ? verifyFlag == 1 : ZVROM::VerifyWhileWriting();
}

// The chip acknowledges its address again once the cycle has ended.
void ZVSEEP::PowerOff() {
    const bool finish = finishCycleAtPowerOff_;
    finishCycleAtPowerOff_ = false;
    if (finish && !cancel.load(std::memory_order_relaxed) && !link_.readyTimedOut && CurrentAddress() > 0) {
        lineImage = kWriteImage;
        if (AddressChip(CurrentAddress() - 1, true) == Addressed::Yes) BusStop();
    }
    ZVROM::PowerOff();
    ForgetRegisters();
}

// One write cycle per byte is the byte write. A page write loads the bytes
// of the range that fall in one page and lets one cycle write them all; the
// range's first and last pages may be partial. With the verify flag each
// page is read back (one sequential read) and written again up to retry
// times; every byte that never took its value is an error of its own.
uint8_t ZVSEEP::WritePages() {
    uint32_t end = 0;
    const uint8_t early = BeginOperation(true, true, end);
    if (early != kSeepGoOn) return early;
    const bool verifying = VerifyWhileWriting();
    const bool changedOnly = record->changedonly != 0;
    uint32_t unchanged = 0;
    const uint8_t* data = request->buffer;
    bool stopped = false;
    while (CurrentAddress() < end) {
        if (cancel.load(std::memory_order_relaxed) || link_.readyTimedOut) {
            Stop();
            break;
        }
        const uint32_t a = CurrentAddress();
        const uint32_t page = a - a % pageSize_;
        const uint32_t n = std::min(end, page + pageSize_) - a;
        // changedonly: a page that holds its data already gets no cycle.
        if (changedOnly) {
            if (!ReadPage(page)) {
                Stop();
                break;
            }
            cachedPage = -1;
            if (std::equal(data + a, data + a + n, pageBuffer.get() + (a - page))) {
                ++unchanged;
                currentAddress.store(a + n, std::memory_order_relaxed);
                continue;
            }
        }
        for (int32_t attempt = 0; attempt < retryCount && !stopped; ++attempt) {
            lineImage = kWriteImage;
            if (AddressChip(a, true) != Addressed::Yes) {
                stopped = true;
                break;
            }
            for (uint32_t i = 0; i < n; ++i) {
                SendByte(data[a + i]);
                GetAck();
            }
            BusStop();
            if (!verifying) break;
            if (!ReadPage(page)) {
                stopped = true;
                break;
            }
            cachedPage = -1;  // later pages are written after this read
            bool all = true;
            const bool last = attempt == retryCount - 1;
            for (uint32_t i = 0; i < n && !stopped; ++i) {
                const uint8_t read = pageBuffer[a - page + i];
                if (read == data[a + i]) continue;
                all = false;
                if (last) ++errorCount;
                Log(link_.log, Text(texts::kWriteVerifyByte), static_cast<unsigned long>(a + i), read, data[a + i],
                    static_cast<int>(attempt));
                if (last && ErrorLimitReached()) stopped = true;
            }
            if (all) break;
        }
        if (stopped) {
            Stop();
            break;
        }
        currentAddress.store(a + n, std::memory_order_relaxed);
    }
    // The last page's write cycle runs on after its STOP: power-down would
    // cut it, so wait for the chip's acknowledge first.
    if (!cancel.load(std::memory_order_relaxed) && !link_.readyTimedOut && CurrentAddress() > 0) {
        if (AddressChip(CurrentAddress() - 1, true) == Addressed::Yes) BusStop();
    }
    if (changedOnly)
        Log(link_.log, texts::kPagesSkipped[link_.language == 0 ? 0 : 1], static_cast<unsigned long>(unchanged));
    LogWriteEnd(link_.readyTimedOut);
    PowerOff();
    LogErrorLimit();
    return FrameResult();
}

ZVSEEP::Unit ZVSEEP::EraseUnit(uint32_t a) {
    const bool twoWire = BusOf() == Bus::TwoWire;
    const bool verifying = verifyFlag == 1;
    const int32_t attempts = verifying ? retryCount : 1;
    for (int32_t attempt = 0; attempt < attempts; ++attempt) {
        if (!(twoWire ? WriteByteAt(a, 0xFF) : EraseWordAt(a))) return Unit::Abort;
        if (!verifying) return Unit::Done;
        uint16_t read = 0;
        if (twoWire) {
            uint8_t byte = 0;
            if (!ReadOneByte(a, byte)) return Unit::Abort;
            read = byte;
            if (read == 0xFF) return Unit::Done;
            Log(link_.log, Text(texts::kWriteVerifyByte), static_cast<unsigned long>(a), read, 0xFF,
                static_cast<int>(attempt));
        } else {
            if (!ReadWordAt(a, read)) return Unit::Abort;
            if (read == 0xFFFF) return Unit::Done;
            Log(link_.log, Text(texts::kWriteVerifyWord), static_cast<unsigned long>(a), read >> 8, read & 0xFF, 0xFF,
                0xFF, static_cast<int>(attempt));
        }
    }
    ++errorCount;
    return Unit::Failed;
}

// The whole device from 0, whatever the range. A cancel ends it at the next
// unit with result 1 on both buses (a cancelled erase is not a success).
// With the verify flag every unit is read back: a cell that keeps its data
// fails the erase (3) with its address, as a write does.
uint8_t ZVSEEP::Erase() {
    const uint8_t refused = Refusal();
    if (refused != kSeepGoOn) return refused;
    const uint32_t n = record->maxsize;
    if (n == 0) return RESULT_ZERO_LENGTH;
    cachedPage = -1;
    PowerOn(true);
    link_.SetTimerSeconds(record->tpw);
    currentAddress.store(0, std::memory_order_relaxed);
    const bool threeWire = BusOf() == Bus::ThreeWire;
    if (threeWire) WriteEnable();
    if ((threeWire && record->eraltime >= 0.0) || (!threeWire && record->pagewrite)) {
        if (threeWire) {
            // The record names the chip's erase-all time: one ERAL for the whole chip.
            EraseAll();
        } else {
            // FFh a page per write cycle, as the page write loads data.
            lineImage = kWriteImage;
            while (CurrentAddress() < n) {
                if (cancel.load(std::memory_order_relaxed) || link_.readyTimedOut) break;
                const uint32_t a = CurrentAddress();
                const uint32_t count = std::min(n, a - a % pageSize_ + pageSize_) - a;
                if (AddressChip(a, true) != Addressed::Yes) break;
                for (uint32_t i = 0; i < count; ++i) {
                    SendByte(0xFF);
                    GetAck();
                }
                BusStop();
                currentAddress.store(a + count, std::memory_order_relaxed);
            }
        }
        // With the verify flag the whole chip is read back; a unit that kept
        // its data is erased again on its own, and fails as a write does.
        if (verifyFlag == 1 && !cancel.load(std::memory_order_relaxed) && !link_.readyTimedOut) {
            currentAddress.store(0, std::memory_order_relaxed);
            cachedPage = -1;
            while (CurrentAddress() < n) {
                if (cancel.load(std::memory_order_relaxed) || link_.readyTimedOut) break;
                const uint32_t a = CurrentAddress();
                bool erased = false;
                if (threeWire) {
                    uint16_t word = 0;
                    if (!ReadWordAt(a, word)) break;
                    erased = word == 0xFFFF;
                } else {
                    const uint32_t page = a - a % pageSize_;
                    if (cachedPage != static_cast<int32_t>(page) && !ReadPage(page)) break;
                    erased = pageBuffer[a - page] == 0xFF;
                }
                if (!erased) {
                    cachedPage = -1;
                    const Unit unit = EraseUnit(a);
                    if (unit == Unit::Abort || (unit == Unit::Failed && ErrorLimitReached())) break;
                }
                NextAddress();
            }
            cachedPage = -1;
        }
    } else {
        while (CurrentAddress() < n) {
            if (cancel.load(std::memory_order_relaxed) || link_.readyTimedOut) break;
            const Unit unit = EraseUnit(CurrentAddress());
            if (unit == Unit::Abort || (unit == Unit::Failed && ErrorLimitReached())) break;
            NextAddress();
        }
    }
    if (BusOf() == Bus::TwoWire && !link_.readyTimedOut) link_.clock->sleepMs(kEraseTailMs);
    PowerOff();
    if (errorCount != 0) LogErrorLimit();
    return FrameResult();
}

bool ZVSEEP::ReadWord(uint16_t& value) {
    value = 0;
    if (BusOf() == Bus::ThreeWire) return ReadWordAt(CurrentAddress(), value);
    uint8_t byte = 0;
    if (!ReadByteAt(CurrentAddress(), byte)) return false;
    value = byte;
    return true;
}

bool ZVSEEP::ProgramWord(uint16_t value) {
    if (BusOf() == Bus::TwoWire) return WriteByteAt(CurrentAddress(), static_cast<uint8_t>(value));
    if (BusOf() == Bus::ThreeWire) {
        WriteEnable();
        return WriteWordAt(CurrentAddress(), value);
    }
    return false;
}

bool ZVSEEP::ReadBack(uint16_t value, uint16_t& read) {
    (void)value;
    if (BusOf() != Bus::TwoWire) return ReadWord(read);
    // The chip, not the page buffer read before this byte was written.
    uint8_t byte = 0;
    read = 0;
    if (!ReadOneByte(CurrentAddress(), byte)) return false;
    read = byte;
    return true;
}

// --- two-wire bus ---

void ZVSEEP::Line(uint8_t bit, bool on) {
    lineImage = on ? static_cast<uint8_t>(lineImage | bit) : static_cast<uint8_t>(lineImage & ~bit);
    SetLatch(lineImage);
}

// DLSET and DLSEND write the data-low latch, DEVSET rewires the socket
// behind it; CSET writes the C port.
uint64_t ZVSEEP::LatchStamp() const {
    return link_.commandCounts[OP_DLSET] + link_.commandCounts[OP_DLSEND] + link_.commandCounts[OP_DEVSET];
}

uint64_t ZVSEEP::DriveStamp() const { return link_.commandCounts[OP_CSET] + link_.commandCounts[OP_DEVSET]; }

// A skipped write is one the pins would not have seen. Once the programmer
// has stopped answering a frame may have been lost: every value is sent.
void ZVSEEP::SetLatch(uint8_t value) {
    const uint8_t operand = link_.dataLow.apply(value);
    if (latch_.known && latch_.operand == operand && latch_.stamp == LatchStamp() && !link_.readyTimedOut) return;
    link_.DLSET(value);
    latch_ = {true, operand, LatchStamp()};
}

void ZVSEEP::SetDrive(uint8_t value) {
    const uint8_t operand = link_.addressHigh.apply(value);
    if (drive_.known && drive_.operand == operand && drive_.stamp == DriveStamp() && !link_.readyTimedOut) return;
    link_.CSET(value);
    drive_ = {true, operand, DriveStamp()};
}

void ZVSEEP::ForgetRegisters() { latch_ = drive_ = KnownRegister{}; }

bool ZVSEEP::Sample(uint8_t& reply) {
    link_.DLREAD();
    if (!link_.WaitReady()) {
        reply = 0xFF;
        return false;
    }
    reply = link_.ReadReply();
    return true;
}

void ZVSEEP::BusStart() {
    SetDrive(kDriveSda);
    Line(kSda, true);
    Line(kScl, true);
    Line(kSda, false);
    Line(kScl, false);
}

void ZVSEEP::BusStop() {
    Line(kScl, false);
    SetDrive(kDriveSda);
    Line(kSda, false);
    Line(kScl, true);
    Line(kSda, true);
}

void ZVSEEP::SendByte(uint8_t b) {
    if (typeCode != 3) return;
    for (int bit = 7; bit >= 0; --bit) {
        Line(kSda, (b >> bit) & 1);
        Line(kScl, true);
        Line(kScl, false);
    }
}

bool ZVSEEP::GetAck() {
    SetDrive(0x00);
    Line(kScl, true);
    uint8_t reply = 0xFF;
    const bool sampled = Sample(reply);
    Line(kScl, false);
    SetDrive(kDriveSda);
    return sampled && !(reply & kSda);
}

uint8_t ZVSEEP::ReceiveByte(bool ack) {
    if (typeCode != 3) return 0;
    SetDrive(0x00);
    unsigned value = 0;
    for (int i = 0; i < 8; ++i) {
        Line(kScl, true);
        value <<= 1;
        uint8_t reply = 0xFF;
        Sample(reply);
        value |= (reply >> 3) & 1;
        Line(kScl, false);
    }
    SetDrive(kDriveSda);
    Line(kSda, !ack);
    Line(kScl, true);
    Line(kScl, false);
    return static_cast<uint8_t>(value);
}

bool ZVSEEP::OneAddressByte() const { return record->maxsize <= kOneByteAddressLimit; }

// The 24C01 to 24C16 take one word-address byte; the 24C04/08/16 take
// address bits 8-10 in bits 1-3 of the device select (their own address
// pins there are not connected, so the strap bits of controlcode survive
// on the smaller parts). Larger parts take two address bytes.
uint8_t ZVSEEP::DeviceSelect(uint32_t a) const {
    uint8_t select = static_cast<uint8_t>(record->controlcode & 0xFE);
    if (OneAddressByte()) select = static_cast<uint8_t>(select | ((a >> 7) & 0x0E));
    return select;
}

ZVSEEP::Addressed ZVSEEP::AddressChip(uint32_t a, bool stopBetween) {
    const uint8_t select = DeviceSelect(a);
    ChipWait wait(link_.clock);
    for (;;) {
        if (cancel.load(std::memory_order_relaxed)) return Addressed::Cancelled;
        if (link_.readyTimedOut) return Addressed::Failed;
        BusStart();
        SendByte(select);
        bool acked = GetAck();
        if (acked && !OneAddressByte()) {
            SendByte(static_cast<uint8_t>(a >> 8));
            acked = GetAck();
        }
        if (acked) {
            SendByte(static_cast<uint8_t>(a));
            acked = GetAck();
        }
        if (acked) return Addressed::Yes;
        if (link_.readyTimedOut) return Addressed::Failed;
        if (wait.Expired()) {
            BusStop();
            Log(link_.log, texts::kSeepNoAck[link_.language == 0 ? 0 : 1], static_cast<unsigned long>(a),
                static_cast<unsigned>(select));
            GiveUp();
            return Addressed::Failed;
        }
        if (stopBetween) BusStop();
    }
}

// A cancel during the addressing abandons the page: the read stops there
// rather than storing a byte from wherever the chip's counter stood.
bool ZVSEEP::ReadPage(uint32_t page) {
    cachedPage = static_cast<int32_t>(page);
    lineImage = kReadImage;
    if (AddressChip(page, false) != Addressed::Yes) {
        cachedPage = -1;
        return false;
    }
    BusStart();
    SendByte(static_cast<uint8_t>(DeviceSelect(page) | 1));
    GetAck();
    for (uint32_t i = 0; i < pageSize_; ++i) pageBuffer[i] = ReceiveByte(i + 1 < pageSize_);
    BusStop();
    if (link_.readyTimedOut) {
        cachedPage = -1;
        return false;
    }
    return true;
}

bool ZVSEEP::ReadByteAt(uint32_t a, uint8_t& value) {
    value = 0;
    if (BusOf() != Bus::TwoWire) return false;
    const uint32_t page = a - a % pageSize_;
    if (static_cast<int32_t>(page) != cachedPage && !ReadPage(page)) return false;
    value = pageBuffer[a - page];
    return true;
}

bool ZVSEEP::ReadOneByte(uint32_t a, uint8_t& value) {
    value = 0;
    lineImage = kReadImage;
    if (AddressChip(a, false) != Addressed::Yes) return false;
    BusStart();
    SendByte(static_cast<uint8_t>(DeviceSelect(a) | 1));
    GetAck();
    value = ReceiveByte(false);
    BusStop();
    return !link_.readyTimedOut;
}

bool ZVSEEP::WriteByteAt(uint32_t a, uint8_t v) {
    lineImage = kWriteImage;
    const Addressed addressed = AddressChip(a, true);
    if (addressed == Addressed::Failed) return false;
    // After a cancel the byte still goes out; the chip, not addressed, ignores it.
    SendByte(v);
    GetAck();
    BusStop();
    return addressed == Addressed::Yes && !link_.readyTimedOut;
}

// --- three-wire bus ---

void ZVSEEP::Select() { SetLatch(kSelect); }
void ZVSEEP::Deselect() { SetLatch(kDeselect); }

void ZVSEEP::ClockBit(bool one) {
    const uint8_t low = one ? static_cast<uint8_t>(kSelect | kDi) : kSelect;
    SetLatch(low);
    SetLatch(static_cast<uint8_t>(low | kSk));
}

void ZVSEEP::SendBits(uint32_t v, unsigned n) {
    while (n > 0) {
        --n;
        ClockBit((v >> n) & 1);
    }
}

uint16_t ZVSEEP::ReceiveWord() {
    ClockBit(false);  // passes the chip's leading dummy 0
    unsigned value = 0;
    for (int i = 0; i < 16; ++i) {
        uint8_t reply = 0xFF;
        if (!Sample(reply)) break;
        value = (value << 1) | ((reply & kDo) ? 1u : 0u);
        ClockBit(false);
    }
    return static_cast<uint16_t>(value);
}

bool ZVSEEP::ReadWordAt(uint32_t a, uint16_t& value) {
    Select();
    ClockBit(true);
    ClockBit(true);
    ClockBit(false);
    SendBits(a, record->addrlen);
    value = ReceiveWord();
    Deselect();
    return !link_.readyTimedOut;
}

// ERAL: start bit, opcode 00, then 10 and the rest of the address bits.
bool ZVSEEP::EraseAll() {
    Select();
    SendBits(0x12, 5);
    SendBits(0, record->addrlen >= 2 ? record->addrlen - 2u : 0u);
    Deselect();
    return CompletionWait(record->eraltime);
}

void ZVSEEP::WriteEnable() {
    Select();
    SendBits(0x13, 5);  // start bit, opcode 00, then 11
    SendBits(0, record->addrlen >= 2 ? record->addrlen - 2u : 0u);
    Deselect();
}

bool ZVSEEP::WriteWordAt(uint32_t a, uint16_t v) {
    Select();
    SendBits(0x5, 3);  // start bit, opcode 01
    SendBits(a, record->addrlen);
    SendBits(v, 16);
    Deselect();
    return CompletionWait(record->readywait);
}

bool ZVSEEP::EraseWordAt(uint32_t a) {
    Select();
    SendBits(0x7, 3);  // start bit, opcode 11
    SendBits(a, record->addrlen);
    Deselect();
    return CompletionWait(record->readywait);
}

bool ZVSEEP::CompletionWait(double firstPollSeconds) {
    Select();
    // The record's ready wait (0: poll at once); without it the fixed 15 ms.
    const unsigned ms = firstPollSeconds >= 0.0 ? static_cast<unsigned>(std::ceil(firstPollSeconds * 1000.0))
                                                : kFirstReadyPollMs;
    if (link_.clock && ms != 0) link_.clock->sleepMs(ms);
    ChipWait wait(link_.clock);
    bool ready = false;
    while (!cancel.load(std::memory_order_relaxed)) {
        uint8_t reply = 0;
        if (!Sample(reply)) break;
        if (reply & kDo) {
            ready = true;
            break;
        }
        if (wait.Expired()) {
            Log(link_.log, texts::kSeepStillBusy[link_.language == 0 ? 0 : 1],
                static_cast<unsigned long>(CurrentAddress()));
            GiveUp();
            break;
        }
    }
    Deselect();
    return ready;
}

}  // namespace krt
