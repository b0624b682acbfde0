// SPDX-License-Identifier: GPL-3.0-or-later
#include "families/ZVPIC.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include "base/TypeCodes.h"
#include "families/FamilyTexts.h"
#include "link/Log.h"

namespace krt {

namespace {

// Lines on the data-high latch and in the DLREAD reply.
constexpr uint8_t kClockLine = 0x20;   // RB6
constexpr uint8_t kDataLine = 0x10;    // RB7 towards the chip
constexpr uint8_t kReplyData = 0x40;   // RB7 as read back
constexpr uint8_t kDriveData = 0x80;   // C port: the programmer drives RB7
constexpr unsigned kPicSupplySettleMs = 500;
constexpr unsigned kPicDeviceSettleMs = 10;
constexpr unsigned kCommandToDataMs = 1;
constexpr unsigned kProgrammingMs = 50;
constexpr unsigned kEraseSettleMs = 100;
constexpr unsigned kDataBits = 14;

// Chip addresses 2004h and 2005h are reserved and 2006h holds the maker's
// device ID: none of them can be programmed, so Write, Verify and BlankCheck
// leave them alone (a 16F84A's device ID never reads 3FFFh, and a file never
// carries it). Read still covers them.
bool ReadOnlyConfigWord(uint32_t address) { return address >= 0x2004 && address <= 0x2006; }

constexpr uint32_t kConfigWordAddress = 0x2007;

}  // namespace

// Each operation sets the current address where its frame starts.
ZVPIC::ZVPIC(LinkContext& link, const LinkRequest& request, DeviceRecord& record) : ZVDevice(link) {
    TakeRequest(request, record, 0);
}

void ZVPIC::Clock() {
    link_.DHSET(kClockLine);
    link_.DHSET(0x00);
}

// Clock high with the data bit, then clock low with the bit held: the chip
// takes the bit on the falling edge.
void ZVPIC::SendBit(bool one) {
    link_.DHSET(one ? kClockLine | kDataLine : kClockLine);
    link_.DHSET(one ? kDataLine : 0x00);
}

// The record's datasheet wait; without one the fixed wait. Below a
// millisecond the programmer's timer waits it (WAITTIM; the 1 us command
// gap costs no reload, PicCommand has loaded 1 us already); longer waits
// sleep whole milliseconds, rounded up.
void ZVPIC::SleepFor(double seconds, unsigned fixedMs) {
    if (seconds < 0.0) {
        link_.clock->sleepMs(fixedMs);
    } else if (seconds < 1e-3) {
        if (seconds == 0.0) return;
        link_.KeepTimerSeconds(seconds);
        link_.WAITTIM();
        link_.WaitReady();
    } else {
        link_.clock->sleepMs(static_cast<unsigned>(std::ceil(seconds * 1000.0 - 1e-9)));
    }
}

uint16_t ZVPIC::PicCommand(uint8_t command, uint16_t data) {
    link_.SetTimerFromText("1us");
    link_.CSET(kDriveData);
    link_.DLSET(0x00);
    link_.DHSET(0x00);
    for (unsigned i = 0; i < 6; ++i) SendBit((command >> i) & 1);
    SleepFor(record->picgap, kCommandToDataMs);
    switch (command) {
    case PIC_LOAD_CONFIG:
    case PIC_LOAD_PROGRAM:
    case PIC_LOAD_DATA:
        SendBit(false);  // start
        for (unsigned i = 0; i < kDataBits; ++i) SendBit((data >> i) & 1);
        SendBit(false);  // stop
        return 0;
    case PIC_READ_PROGRAM:
    case PIC_READ_DATA: {
        link_.CSET(0x00);  // the chip drives RB7 now
        Clock();           // start
        uint16_t value = 0;
        for (unsigned i = 0; i < kDataBits; ++i) {
            Clock();
            link_.DLREAD();
            // A programmer that stopped answering gets no further frames;
            // the operation ends on readyTimedOut.
            if (!link_.WaitReady()) return value;
            if (link_.ReadReply() & kReplyData) value = static_cast<uint16_t>(value | (1u << i));
        }
        Clock();  // stop
        link_.CSET(kDriveData);
        return value;
    }
    case PIC_INCREMENT: return 0;
    case PIC_BEGIN_PROGRAMMING: SleepFor(record->picprog, kProgrammingMs); return 0;
    default: return 1;
    }
}

// RB6 and RB7 are set low before the configuration is wired: the chip
// enters program mode only when MCLR rises with both lines low, and the
// data latch may still hold what an earlier operation left in it.
bool ZVPIC::PowerOn(bool programming) {
    link_.LinkReset();
    link_.HoldSupplyOutputs();  // the supplies reach the socket together, when switched on
    link_.LoadBusMasks(*record);
    const double vpp = programming ? record->VppW : record->VppR;
    const double vcc = programming ? record->VccW : record->VccR;
    // A refused voltage would leave MCLR low: the chip would never listen,
    // and every word would read as the line's pull-up (blank).
    if (!link_.SetVpp(static_cast<float>(vpp)) || !link_.SetVcc(static_cast<float>(vcc))) {
        link_.LinkReset();
        return false;
    }
    link_.SupplyOutput(false);
    // The programmer's supplies rise; the chip's own 5 us after VDD and VPP
    // (thld0, tppdp) lie inside the device settle below, which stays fixed.
    SleepFor(record->picsettle, kPicSupplySettleMs);
    link_.CSET(kDriveData);
    link_.DLSET(0x00);
    link_.DHSET(0x00);
    link_.DEVSET(typeCode);
    link_.clock->sleepMs(kPicDeviceSettleMs);
    return true;
}

void ZVPIC::PowerOff() { link_.LinkReset(); }

uint32_t ZVPIC::OperationLength() {
    const uint32_t start = request->startAddress;
    const uint32_t length = request->length;
    // Words beyond the chip's would wrap onto word 0 and overwrite it; the
    // buffer holds the program words below its configuration bytes. A start
    // at or beyond the end leaves nothing to do: the operation is refused.
    const uint32_t limit = std::min<uint32_t>(record->maxsize ? record->maxsize : kProgramWords,
                                              kConfigBufferByte / 2);
    if (static_cast<uint64_t>(start) + length <= limit) return length;
    const uint32_t cut = start >= limit ? 0 : limit - start;
    Log(link_.log, texts::kRangeCut, static_cast<unsigned long>(start), static_cast<unsigned long>(length),
        static_cast<unsigned long>(limit), static_cast<unsigned long>(cut));
    return cut;
}

// Code protection bits of the configuration word: bit 4 on the 16C84,
// bits 13 to 4 on the 16F84 and 16F84A. Protection is on when any of them
// is 0 (the chip reads its unused 16C84 bits as 1).
bool ZVPIC::ProtectsCode(const std::string& partName, uint16_t configWord) {
    std::string name = partName;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const uint16_t mask = name.find("16C84") != std::string::npos ? 0x0010 : 0x3FF0;
    return (configWord & mask) != mask;
}

uint16_t ZVPIC::BufferConfigWord() const {
    const uint8_t* word = request->buffer + kConfigWordByte;
    return static_cast<uint16_t>(word[0] << 8 | word[1]);
}

uint16_t ZVPIC::BufferWord() const { return static_cast<uint16_t>(cursor[0] << 8 | cursor[1]); }

bool ZVPIC::CountError(const char* format) {
    ++errorCount;
    if (ErrorLimitReached()) {
        failed_ = true;
        return false;
    }
    Log(link_.log, format, static_cast<unsigned long>(CurrentAddress()));
    return true;
}

bool ZVPIC::CountDataError(uint16_t read, uint16_t value) {
    ++errorCount;
    if (ErrorLimitReached()) {
        failed_ = true;
        return false;
    }
    Log(link_.log, texts::kPicDataVerifyError, static_cast<unsigned long>(CurrentAddress()), static_cast<unsigned>(read),
        static_cast<unsigned>(value));
    return true;
}

template <class Work>
bool ZVPIC::RunFrame(uint32_t start, uint32_t length, ConfigWords config, Work&& work) {
    currentAddress.store(start, std::memory_order_relaxed);
    if (!PowerOn(true)) return false;
    link_.SetTimer(0, 3);
    link_.SupplyOutput(true);

    uint8_t* const buffer = request->buffer;
    // The chip's counter starts at word 0 in program mode: it is moved on
    // to the start, and the buffer is taken from the start's own word.
    for (uint32_t w = 0; w < start && !link_.readyTimedOut; ++w) PicCommand(PIC_INCREMENT);
    size_t offset = 2 * static_cast<size_t>(start);
    auto aim = [&] { cursor = buffer ? buffer + offset : nullptr; };
    aim();
    for (uint32_t done = 0; done < length; ++done) {
        if (Cancelled()) {
            Stop();
            break;
        }
        if (work() == Unit::Failed || link_.readyTimedOut) break;
        PicCommand(PIC_INCREMENT);
        offset += 2;
        aim();
        currentAddress.store(CurrentAddress() + 1, std::memory_order_relaxed);
    }
    if (link_.readyTimedOut) return true;

    currentAddress.store(kConfigAddress, std::memory_order_relaxed);
    offset = kConfigBufferByte;
    aim();
    PicCommand(PIC_LOAD_CONFIG, 0);
    while (CurrentAddress() < kConfigAddress + kConfigWords) {
        if (Cancelled()) {
            Stop();
            break;
        }
        const bool skip = config == ConfigWords::Writable && ReadOnlyConfigWord(CurrentAddress());
        if (!skip && (work() == Unit::Failed || link_.readyTimedOut)) break;
        PicCommand(PIC_INCREMENT);
        offset += 2;
        aim();
        currentAddress.store(CurrentAddress() + 1, std::memory_order_relaxed);
    }
    return true;
}

bool ZVPIC::HasDataEeprom() const { return request->buffer != nullptr && record->bufsize >= kPicBufferBytes; }

template <class Work>
bool ZVPIC::RunDataPass(Work&& work) {
    if (!HasDataEeprom() || Cancelled() || link_.readyTimedOut) return true;
    currentAddress.store(kDataAddress, std::memory_order_relaxed);
    if (!PowerOn(true)) return false;
    link_.SetTimer(0, 3);
    link_.SupplyOutput(true);
    for (uint32_t i = 0; i < kPicDataEepromBytes; ++i) {
        if (Cancelled()) {
            Stop();
            break;
        }
        cursor = request->buffer + kPicDataEepromByte + 2 * i;
        if (work() == Unit::Failed || link_.readyTimedOut) break;
        PicCommand(PIC_INCREMENT);
        currentAddress.store(CurrentAddress() + 1, std::memory_order_relaxed);
    }
    PowerOff();
    return true;
}

bool ZVPIC::HasDeviceId() const {
    std::string name = record->name;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name.find("16F84A") != std::string::npos;
}

bool ZVPIC::ReadDeviceId(uint16_t& id) {
    if (!PowerOn(true)) return false;
    link_.SupplyOutput(true);
    PicCommand(PIC_LOAD_CONFIG, kBlankWord);  // loads the latch only: nothing is programmed
    for (int i = 0; i < 6; ++i) PicCommand(PIC_INCREMENT);  // to 2006h
    id = PicCommand(PIC_READ_PROGRAM);
    PowerOff();
    return !link_.readyTimedOut;
}

bool ZVPIC::IdentityMatches() {
    if (!record->idcheck) return true;
    if (!HasDeviceId()) {
        Log(link_.log, texts::kPicNoDeviceId[Language()], record->name.c_str());
        return true;
    }
    uint16_t id = 0;
    if (!ReadDeviceId(id)) return false;
    if ((id & kDeviceIdMask) == kDeviceId84A) return true;
    char expected[64], found[64];
    std::snprintf(expected, sizeof expected, "%s (%04Xh)", record->name.c_str(), kDeviceId84A);
    std::snprintf(found, sizeof found, id == kBlankWord ? "no device ID (%04Xh)" : "device ID %04Xh", id);
    Log(link_.log, texts::kWrongPart[Language()], expected, found);
    return false;
}

// The too-many-errors line after power-down, and the result: a programmer
// that stopped answering is fatal, a cancel wins over errors.
uint8_t ZVPIC::Ending(bool failed) {
    PowerOff();
    if (ErrorLimitReached()) Log(link_.log, "%s", Text(texts::kTooManyErrors));
    if (link_.readyTimedOut) return RESULT_FATAL;
    if (Cancelled()) return RESULT_CANCELED;
    return failed ? RESULT_ERRORS : RESULT_OK;
}

uint8_t ZVPIC::Read() {
    const uint32_t length = OperationLength();
    if (length == 0) return RESULT_ZERO_LENGTH;
    if (request->buffer == nullptr || record->bufsize < kConfigBufferByte + 2 * kConfigWords) return RESULT_FATAL;
    if (!RunFrame(request->startAddress, length, ConfigWords::All, [this] {
            const uint16_t value = PicCommand(PIC_READ_PROGRAM);
            cursor[0] = static_cast<uint8_t>(value >> 8);
            cursor[1] = static_cast<uint8_t>(value);
            return Unit::Done;
        }))
        return RESULT_FATAL;
    PowerOff();
    if (!RunDataPass([this] {
            // Eight bits of data: what the chip puts out above them means nothing.
            cursor[0] = 0;
            cursor[1] = static_cast<uint8_t>(PicCommand(PIC_READ_DATA));
            return Unit::Done;
        }))
        return RESULT_FATAL;
    if (link_.readyTimedOut) return RESULT_FATAL;
    if (Cancelled()) return RESULT_CANCELED;
    // The program words just read are zeros by the chip's design, not its code.
    if (ProtectsCode(BufferConfigWord())) Log(link_.log, "%s", texts::kPicCodeProtected[Language()]);
    return RESULT_OK;
}

uint8_t ZVPIC::Write() {
    const uint32_t length = OperationLength();
    if (length == 0) return RESULT_ZERO_LENGTH;
    if (request->buffer == nullptr || record->bufsize < kConfigBufferByte + 2 * kConfigWords) return RESULT_FATAL;
    failed_ = false;
    if (!IdentityMatches()) return RESULT_FATAL;
    // A data byte that already holds its value is not programmed again: the
    // cells last a limited number of cycles. A buffer word with bits above
    // the byte never verifies.
    if (!RunDataPass([this] {
            const uint16_t value = BufferWord();
            if ((PicCommand(PIC_READ_DATA) & 0xFF) == value || link_.readyTimedOut) return Unit::Done;
            PicCommand(PIC_LOAD_DATA, value);
            PicCommand(PIC_BEGIN_PROGRAMMING);
            const uint16_t read = PicCommand(PIC_READ_DATA) & 0xFF;
            if (read == value || link_.readyTimedOut) return Unit::Done;
            return CountDataError(read, value) ? Unit::Done : Unit::Failed;
        }))
        return RESULT_FATAL;
    // Each word is programmed once and read back over all 16 bits, so a
    // buffer word with its top bits set never verifies. A blank word of the
    // file (3FFFh) is not programmed where the chip holds it already: after
    // the blank check of an automatic write (which covers the whole chip)
    // without a look, otherwise after reading it.
    const bool knownBlank = !link_.blankForWrite.Empty();
    if (!Cancelled() && !link_.readyTimedOut && !RunFrame(request->startAddress, length, ConfigWords::Writable, [&] {
            const uint16_t value = BufferWord();
            if (value == kBlankWord && (knownBlank || PicCommand(PIC_READ_PROGRAM) == kBlankWord)) {
                ++blankSkipped;
                return Unit::Done;
            }
            PicCommand(PIC_LOAD_PROGRAM, value);
            PicCommand(PIC_BEGIN_PROGRAMMING);
            const uint16_t read = PicCommand(PIC_READ_PROGRAM);
            if (read == value || link_.readyTimedOut) return Unit::Done;
            return CountError(texts::kPicVerifyError) ? Unit::Done : Unit::Failed;
        }))
        return RESULT_FATAL;
    // A write cut short by a programmer that stopped answering never claims
    // "without errors"; the link has said why.
    if (errorCount != 0) failed_ = true;
    LogWriteEnd(link_.readyTimedOut);
    return Ending(failed_);
}

uint8_t ZVPIC::Verify() {
    const uint32_t length = OperationLength();
    if (length == 0) return RESULT_ZERO_LENGTH;
    if (request->buffer == nullptr || record->bufsize < kConfigBufferByte + 2 * kConfigWords) return RESULT_FATAL;
    failed_ = false;
    // A file that turns code protection on makes the chip's program memory
    // read 0000 once written: the write compares each word before the
    // configuration word (programmed last) takes effect, and a verify can
    // only take such a word as 0000 too, and say so. The configuration
    // word is compared as it stands, so a chip left unprotected fails there.
    const bool fileProtects = ProtectsCode(BufferConfigWord());
    uint16_t chipConfig = kBlankWord;
    if (!RunFrame(request->startAddress, length, ConfigWords::Writable, [&] {
            const uint16_t value = BufferWord();
            const uint16_t read = PicCommand(PIC_READ_PROGRAM);
            const bool program = CurrentAddress() < kConfigAddress;
            if (CurrentAddress() == kConfigWordAddress) chipConfig = read;
            if (read == value || link_.readyTimedOut || (program && fileProtects && read == 0)) return Unit::Done;
            return CountError(texts::kPicVerifyError) ? Unit::Done : Unit::Failed;
        }))
        return RESULT_FATAL;
    PowerOff();
    // Protection hides the data EEPROM as it hides program memory.
    if (!RunDataPass([&] {
            const uint16_t value = BufferWord();
            const uint16_t read = PicCommand(PIC_READ_DATA) & 0xFF;
            if (read == value || link_.readyTimedOut || (ProtectsCode(chipConfig) && read == 0)) return Unit::Done;
            return CountDataError(read, value) ? Unit::Done : Unit::Failed;
        }))
        return RESULT_FATAL;
    const uint8_t result = Ending(failed_ || errorCount != 0);
    if (result == RESULT_OK || result == RESULT_ERRORS) {
        if (ProtectsCode(chipConfig))
            Log(link_.log, "%s",
                (fileProtects ? texts::kPicProtectedAsFileAsks : texts::kPicCodeProtected)[Language()]);
    }
    return result;
}

// Always the whole chip: 1024 words from 0 and the configuration words
// that can be programmed, each against 3FFFh, whatever the range says; then
// the data EEPROM against FFh.
uint8_t ZVPIC::BlankCheck() {
    failed_ = false;
    if (!RunFrame(0, kProgramWords, ConfigWords::Writable, [this] {
            const uint16_t read = PicCommand(PIC_READ_PROGRAM);
            if (read == kBlankWord || link_.readyTimedOut) return Unit::Done;
            return CountError(texts::kPicNotBlank) ? Unit::Done : Unit::Failed;
        }))
        return RESULT_FATAL;
    PowerOff();
    if (!RunDataPass([this] {
            const uint16_t read = PicCommand(PIC_READ_DATA) & 0xFF;
            if (read == 0xFF || link_.readyTimedOut) return Unit::Done;
            return CountError(texts::kPicNotBlank) ? Unit::Done : Unit::Failed;
        }))
        return RESULT_FATAL;
    return Ending(failed_ || errorCount != 0);
}

// The code-protection release sequence: it clears program memory, data
// memory and configuration. The cancel flag is not looked at on the way.
uint8_t ZVPIC::Erase() {
    if (!IdentityMatches()) return RESULT_FATAL;
    if (!PowerOn(true)) return RESULT_FATAL;
    link_.SupplyOutput(true);
    PicCommand(PIC_LOAD_CONFIG, kBlankWord);
    for (int i = 0; i < 7; ++i) PicCommand(PIC_INCREMENT);  // to 2007h, the configuration word
    PicCommand(PIC_ERASE_STEP1);
    PicCommand(PIC_ERASE_STEP2);
    PicCommand(PIC_BEGIN_PROGRAMMING);
    link_.clock->sleepMs(kEraseSettleMs);
    PicCommand(PIC_ERASE_STEP1);
    PicCommand(PIC_ERASE_STEP2);
    link_.clock->sleepMs(kEraseSettleMs);
    link_.SupplyOutput(false);
    PowerOff();
    return Cancelled() ? RESULT_CANCELED : RESULT_OK;
}

}  // namespace krt
