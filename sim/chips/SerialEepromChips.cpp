// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/chips/SerialEepromChips.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "catalogue/DeviceRecord.h"

namespace krt {

namespace {


constexpr const char* kNoModel =
    "no simulated serial EEPROM for type code %02X: the two-wire model takes 03, the three-wire model 02";
constexpr const char* kNoTwoWireSize = "device %s has %lu bytes; no 24Cxx of that size is simulated";
constexpr const char* kNoThreeWireSize = "device %s has %lu words; no 93Cx6 of that size is simulated";
constexpr const char* kBadContents = "the contents do not fit the chip";
constexpr const char* kNoArgs = "takes no arguments";
constexpr const char* kSerialDescription = "%s %s (%lu x %d bits)";

// The number after the series digits ("24", "93") and any maker letters:
// "AT24C256" gives "256", "24LC16B" "16", "M24512" "512". Letters go to `letters`.
bool PartNumber(const std::string& name, const char* series, std::string& letters, std::string& number) {
    const std::string u = UpperCase(name);
    for (size_t at = u.find(series); at != std::string::npos; at = u.find(series, at + 1)) {
        size_t i = at + std::strlen(series);
        letters.clear();
        number.clear();
        while (i < u.size() && std::isalpha(static_cast<unsigned char>(u[i])) && letters.size() < 3) letters += u[i++];
        while (i < u.size() && std::isdigit(static_cast<unsigned char>(u[i]))) number += u[i++];
        if (!number.empty()) return true;
    }
    return false;
}

uint32_t Value(const ChipImage& image, const char* key) {
    auto it = image.values.find(key);
    return it == image.values.end() ? 0 : static_cast<uint32_t>(std::strtoul(it->second.c_str(), nullptr, 10));
}

uint64_t Value64(const ChipImage& image, const char* key) {
    auto it = image.values.find(key);
    return it == image.values.end() ? 0 : std::strtoull(it->second.c_str(), nullptr, 10);
}

bool NoArgs(std::string_view args, std::string& error) {
    if (args.empty()) return true;
    error = kNoArgs;
    return false;
}

}  // namespace

// --- facts ---

// Page sizes by density (Atmel AT24C and Microchip 24AA/24LC data sheets);
// ST's M24C01/02 load 16-byte pages.
bool TwoWireFactsForSize(uint32_t bytes, TwoWireFacts& facts) {
    struct Row { uint32_t bytes, page; };
    static constexpr Row kRows[] = {{128, 8},     {256, 8},     {512, 16},    {1024, 16},   {2048, 16},
                                    {4096, 32},   {8192, 32},   {16384, 64},  {32768, 64},  {65536, 128}};
    for (const Row& r : kRows) {
        if (r.bytes != bytes) continue;
        facts = TwoWireFacts{};
        facts.bytes = r.bytes;
        facts.page = r.page;
        facts.writeNs = 5 * kNsPerMs;
        return true;
    }
    return false;
}

bool LookUpTwoWirePart(const std::string& name, TwoWireFacts& facts) {
    std::string letters, number;
    if (!PartNumber(name, "24", letters, number)) return false;
    static const char* const kDensities[] = {"01", "02", "04", "08", "16", "32", "64", "128", "256", "512"};
    for (const char* d : kDensities) {
        if (number != d) continue;
        if (!TwoWireFactsForSize(static_cast<uint32_t>(std::atoi(d)) * 128u, facts)) return false;
        const std::string u = UpperCase(name);
        if (u.rfind("M24C01", 0) == 0 || u.rfind("M24C02", 0) == 0) facts.page = 16;
        return true;
    }
    return false;
}

bool ThreeWireFactsForWords(uint32_t words, ThreeWireFacts& facts) {
    facts = ThreeWireFacts{};
    switch (words) {
    case 64: facts.words = 64; facts.addressBits = 6; return true;
    case 128: facts.words = 128; facts.addressBits = 8; return true;  // the top address bit is don't care
    case 256: facts.words = 256; facts.addressBits = 8; return true;
    default: return false;
    }
}

// Write times: Microchip 93C46 2 ms, 93AA/93LC 6 ms (ERAL 6 ms, WRAL 15 ms);
// Atmel AT93C46 10 ms, AT93C56/66 5 ms (maxima at 5 V).
bool LookUpThreeWirePart(const std::string& name, ThreeWireFacts& facts) {
    std::string letters, number;
    if (!PartNumber(name, "93", letters, number)) return false;
    const uint32_t words = number == "46" ? 64 : number == "56" ? 128 : number == "66" ? 256 : 0;
    if (!ThreeWireFactsForWords(words, facts)) return false;
    const std::string u = UpperCase(name);
    if (letters.find("LC") != std::string::npos || letters.find("AA") != std::string::npos) facts.writeNs = 6 * kNsPerMs;
    else if (u.rfind("AT", 0) == 0) facts.writeNs = (words == 64 ? 10 : 5) * kNsPerMs;
    else facts.writeNs = 2 * kNsPerMs;
    return true;
}

// --- registry entries ---

std::unique_ptr<Chip> MakeBlankTwoWireEeprom(const DeviceRecord& record, std::string& note) {
    char text[256];
    if (record.typecode != 3) {
        std::snprintf(text, sizeof text, kNoModel, record.typecode);
        note = text;
        return nullptr;
    }
    // The part number decides; the catalogue's size only for a name without one.
    TwoWireFacts facts;
    if (!LookUpTwoWirePart(record.name, facts) && !TwoWireFactsForSize(record.maxsize, facts)) {
        std::snprintf(text, sizeof text, kNoTwoWireSize, record.name.c_str(),
                      static_cast<unsigned long>(record.maxsize));
        note = text;
        return nullptr;
    }
    return std::make_unique<TwoWireEepromChip>(record.name, facts);
}

std::unique_ptr<Chip> MakeShapedTwoWireEeprom(const ChipImage& image, std::string& error) {
    TwoWireFacts facts;
    if (!TwoWireFactsForSize(Value(image, "bytes"), facts)) {
        error = kBadContents;
        return nullptr;
    }
    if (uint32_t page = Value(image, "page"); page != 0 && page <= facts.bytes) facts.page = page;
    if (uint64_t ns = Value64(image, "write-ns"); ns != 0) facts.writeNs = ns;
    return std::make_unique<TwoWireEepromChip>(image.device, facts);
}

std::unique_ptr<Chip> MakeBlankThreeWireEeprom(const DeviceRecord& record, std::string& note) {
    char text[256];
    if (record.typecode != 2) {
        std::snprintf(text, sizeof text, kNoModel, record.typecode);
        note = text;
        return nullptr;
    }
    ThreeWireFacts facts;
    if (!LookUpThreeWirePart(record.name, facts) && !ThreeWireFactsForWords(record.maxsize, facts)) {
        std::snprintf(text, sizeof text, kNoThreeWireSize, record.name.c_str(),
                      static_cast<unsigned long>(record.maxsize));
        note = text;
        return nullptr;
    }
    return std::make_unique<ThreeWireEepromChip>(record.name, facts);
}

std::unique_ptr<Chip> MakeShapedThreeWireEeprom(const ChipImage& image, std::string& error) {
    ThreeWireFacts facts;
    if (!ThreeWireFactsForWords(Value(image, "words"), facts)) {
        error = kBadContents;
        return nullptr;
    }
    if (uint64_t ns = Value64(image, "write-ns"); ns != 0) facts.writeNs = ns;
    if (uint64_t ns = Value64(image, "erase-all-ns"); ns != 0) facts.eraseAllNs = ns;
    if (uint64_t ns = Value64(image, "write-all-ns"); ns != 0) facts.writeAllNs = ns;
    return std::make_unique<ThreeWireEepromChip>(image.device, facts);
}

// --- common ---

void SerialEepromChip::SetCellFaults(const CellFaults& faults) {
    dead_ = faults.dead;
    std::sort(dead_.begin(), dead_.end());
}

bool SerialEepromChip::Dead(uint32_t cell) const {
    return !dead_.empty() && std::binary_search(dead_.begin(), dead_.end(), cell);
}

void SerialEepromChip::StartWriteCycle(uint64_t nowNs, uint64_t lengthNs) {
    busyStarted_ = true;
    busyUntil_ = nowNs + lengthNs;
}

void SerialEepromChip::LosePower(uint64_t nowNs, std::vector<uint8_t>& cells) {
    if (Busy(nowNs)) {
        for (auto it = cycleOld_.rbegin(); it != cycleOld_.rend(); ++it) cells[it->first] = it->second;
        ++lostWrites_;
        changed_ = true;
    }
    cycleOld_.clear();
    busyStarted_ = false;
    busyUntil_ = 0;
}

// --- two-wire ---

TwoWireEepromChip::TwoWireEepromChip(std::string deviceName, const TwoWireFacts& facts)
    : SerialEepromChip(std::move(deviceName)),
      facts_(facts),
      cells_(facts.bytes, 0xFF),
      pageLatch_(facts.page, 0xFF),
      pageLoaded_(facts.page, false) {
    socketConfig_ = 0x03;
}

std::string TwoWireEepromChip::Describe() const {
    char text[200];
    std::snprintf(text, sizeof text, kSerialDescription, "two-wire serial EEPROM", deviceName_.c_str(),
                  static_cast<unsigned long>(facts_.bytes), 8);
    return text;
}

void TwoWireEepromChip::SetCell(uint32_t a, uint8_t v) {
    if (a >= cells_.size()) return;
    cells_[a] = v;
    changed_ = true;
}

bool TwoWireEepromChip::ApplyFault(std::string_view name, std::string_view args, std::string& error) {
    if (fakes_.Take(name, args, {AddressLines(facts_.bytes - 1), true, false}, error)) return true;
    if (!error.empty()) return false;
    bool* flag = name == "no-ack" ? &noAck_ : name == "write-protect" ? &writeProtect_
                                            : name == "never-ready"   ? &neverReady_
                                                                      : nullptr;
    if (!flag) return false;
    if (!NoArgs(args, error)) return false;
    *flag = true;
    return true;
}

void TwoWireEepromChip::PinsChanged(const SocketState& socket, uint32_t changed) {
    if (!socket.wiring || !(socket.outputPort & 0x01)) {
        // Out of its configuration or without the auxiliary supply: the chip
        // is off, forgets a transfer and loses a write cycle still running.
        if (powered_) LosePower(socket.nowNs, cells_);
        powered_ = false;
        phase_ = Phase::Idle;
        drive_ = true;
        scl_ = false;
        sda_ = true;
        return;
    }
    const bool scl = socket.Level(Pin::SCL);
    const bool sda = socket.Level(Pin::SDA) && drive_;
    if ((changed & kPinConfig) || !powered_) {
        powered_ = true;
        // Just connected: the levels are where they are; no edge to decode.
        scl_ = scl;
        sda_ = sda;
        return;
    }
    // Latch bits change together; SDA is taken against the clock as it was,
    // then the clock.
    if (sda != sda_) {
        sda_ = sda;
        if (scl_) {
            if (sda) Stop(socket.nowNs);
            else Start(socket.nowNs);
        }
    }
    if (scl != scl_) {
        scl_ = scl;
        if (scl) ClockRise(sda_);
        else ClockFall();
    }
    sda_ = socket.Level(Pin::SDA) && drive_;
}

bool TwoWireEepromChip::Output(Pin pin, const SocketState& socket) {
    (void)socket;
    return pin == Pin::SDA ? drive_ : true;
}

void TwoWireEepromChip::Start(uint64_t nowNs) {
    drive_ = true;
    bits_ = 0;
    shift_ = 0;
    byteIndex_ = 0;
    dataBytes_ = 0;  // a repeated start ends a write before it began
    // Inside the write cycle the inputs are off: nothing is acknowledged.
    phase_ = Busy(nowNs) ? Phase::Ignore : Phase::Receive;
}

void TwoWireEepromChip::Stop(uint64_t nowNs) {
    // The write cycle starts here, after at least one whole acknowledged
    // data byte. With WP high the bytes were taken but nothing is written
    // and the chip is ready at once.
    if (mode_ == Mode::Write && dataBytes_ > 0 && !writeProtect_) {
        cycleOld_.clear();
        for (uint32_t off = 0; off < facts_.page; ++off) {
            if (!pageLoaded_[off] || Dead(pageBase_ + off)) continue;
            NoteOld(pageBase_ + off, cells_[pageBase_ + off]);
            cells_[pageBase_ + off] = pageLatch_[off];
        }
        changed_ = true;
        ++writeCycles_;
        StartWriteCycle(nowNs, fakes_.Length(facts_.writeNs, facts_.writeNs));
    }
    dataBytes_ = 0;
    drive_ = true;
    phase_ = Phase::Idle;
}

void TwoWireEepromChip::ClockRise(bool sda) {
    if (phase_ == Phase::Receive) {
        shift_ = static_cast<uint8_t>((shift_ << 1) | (sda ? 1 : 0));
        ++bits_;
    } else if (phase_ == Phase::SendAck) {
        masterAck_ = !sda;
    }
}

void TwoWireEepromChip::ClockFall() {
    switch (phase_) {
    case Phase::Receive:
        if (bits_ < 8) break;
        bits_ = 0;
        if (ByteReceived(shift_)) {
            drive_ = false;  // acknowledge in the ninth clock
            phase_ = Phase::ReceiveAck;
        } else {
            phase_ = Phase::Ignore;  // not for this chip, or refused: wait for START or STOP
        }
        break;
    case Phase::ReceiveAck:
        drive_ = true;
        if (mode_ == Mode::Read) {
            LoadSendByte();
            phase_ = Phase::Send;
        } else {
            phase_ = Phase::Receive;
        }
        break;
    case Phase::Send:
        if (++bits_ < 8) {
            drive_ = (shift_ >> (7 - bits_)) & 1;
        } else {
            drive_ = true;  // the master acknowledges
            phase_ = Phase::SendAck;
        }
        break;
    case Phase::SendAck:
        if (masterAck_) {
            LoadSendByte();
            phase_ = Phase::Send;
        } else {
            phase_ = Phase::Ignore;  // no acknowledge: the read ends, STOP follows
        }
        break;
    default: break;
    }
}

void TwoWireEepromChip::LoadSendByte() {
    shift_ = cells_[fakes_.Address(counter_)];
    counter_ = (counter_ + 1) % facts_.bytes;  // the sequential read wraps at the end of memory
    bits_ = 0;
    drive_ = (shift_ >> 7) & 1;
}

bool TwoWireEepromChip::ByteReceived(uint8_t b) {
    const unsigned index = byteIndex_++;
    if (index == 0) {
        // Block bits a8-a10 on the 24C04/08/16; the other select bits are
        // the address pins, tied low in the socket.
        const unsigned blockBits = facts_.bytes == 512 ? 1 : facts_.bytes == 1024 ? 2 : facts_.bytes == 2048 ? 3 : 0;
        const uint8_t blockMask = static_cast<uint8_t>(((1u << blockBits) - 1) << 1);
        if ((b & 0xF0) != 0xA0 || (b & 0x0E & ~blockMask) != 0 || noAck_) return false;
        mode_ = (b & 1) ? Mode::Read : Mode::Write;
        pointer_ = static_cast<uint32_t>(b & blockMask) << 7;
        return true;
    }
    if (mode_ != Mode::Write) return false;
    const unsigned addressBytes = AddressBytes();
    if (index <= addressBytes) {
        if (addressBytes == 1) pointer_ |= b;
        else if (index == 1) pointer_ = static_cast<uint32_t>(b) << 8;
        else pointer_ |= b;
        if (index == addressBytes) {
            counter_ = fakes_.Address(pointer_ % facts_.bytes);
            pageBase_ = counter_ - counter_ % facts_.page;
            std::fill(pageLoaded_.begin(), pageLoaded_.end(), false);
        }
        return true;
    }
    // Data: loaded into the page latch; the counter wraps inside the page.
    const uint32_t offset = counter_ - pageBase_;
    pageLatch_[offset] = b;
    pageLoaded_[offset] = true;
    counter_ = pageBase_ + (offset + 1) % facts_.page;
    ++dataBytes_;
    return true;
}

void TwoWireEepromChip::Save(ChipImage& image) const {
    image.kind = Kind();
    image.device = deviceName_;
    image.values["bytes"] = std::to_string(facts_.bytes);
    image.values["page"] = std::to_string(facts_.page);
    image.values["write-ns"] = std::to_string(facts_.writeNs);
    image.blobs["cells"] = cells_;
}

bool TwoWireEepromChip::Load(const ChipImage& image, std::string& error) {
    auto blob = image.blobs.find("cells");
    if (image.kind != Kind() || Value(image, "bytes") != facts_.bytes || blob == image.blobs.end() ||
        blob->second.size() != cells_.size()) {
        error = kBadContents;
        return false;
    }
    cells_ = blob->second;
    changed_ = false;
    return true;
}

// --- three-wire ---

ThreeWireEepromChip::ThreeWireEepromChip(std::string deviceName, const ThreeWireFacts& facts)
    : SerialEepromChip(std::move(deviceName)), facts_(facts), cells_(size_t(facts.words) * 2, 0xFF) {
    socketConfig_ = 0x02;
}

std::string ThreeWireEepromChip::Describe() const {
    char text[200];
    std::snprintf(text, sizeof text, kSerialDescription, "three-wire serial EEPROM", deviceName_.c_str(),
                  static_cast<unsigned long>(facts_.words), 16);
    return text;
}

uint16_t ThreeWireEepromChip::Word(uint32_t a) const {
    if (a >= facts_.words) return 0xFFFF;
    return static_cast<uint16_t>(cells_[2 * size_t(a)] << 8 | cells_[2 * size_t(a) + 1]);
}

void ThreeWireEepromChip::SetWord(uint32_t a, uint16_t v) {
    if (a >= facts_.words) return;
    cells_[2 * size_t(a)] = static_cast<uint8_t>(v >> 8);
    cells_[2 * size_t(a) + 1] = static_cast<uint8_t>(v);
    changed_ = true;
}

bool ThreeWireEepromChip::ApplyFault(std::string_view name, std::string_view args, std::string& error) {
    if (fakes_.Take(name, args, {AddressLines(facts_.words - 1), false, false}, error)) return true;
    if (!error.empty()) return false;
    // A three-wire part answers only on DO: one that never answers holds it low.
    bool* flag = name == "never-ready" ? &neverReady_ : name == "no-ack" ? &silent_ : nullptr;
    if (!flag) return false;
    if (!NoArgs(args, error)) return false;
    *flag = true;
    return true;
}

void ThreeWireEepromChip::PinsChanged(const SocketState& socket, uint32_t changed) {
    if (!socket.wiring) {
        // Out of its configuration the part is off: a running cycle is lost
        // and it powers up write-disabled.
        if (powered_) LosePower(socket.nowNs, cells_);
        powered_ = false;
        writeEnabled_ = false;
        statusArmed_ = false;
        cs_ = sk_ = false;
        state_ = State::WaitStart;
        pending_ = Pending::None;
        showStatus_ = false;
        return;
    }
    const bool cs = socket.Level(Pin::CS);
    const bool sk = socket.Level(Pin::SK);
    if ((changed & kPinConfig) || !powered_) {
        powered_ = true;
        cs_ = cs;
        sk_ = sk;
        return;
    }
    if (cs != cs_) {
        cs_ = cs;
        if (cs) {
            state_ = State::WaitStart;
            pending_ = Pending::None;
            showStatus_ = statusArmed_;  // ready/busy on DO after a cycle began
        } else {
            CsFall(socket.nowNs);
        }
    }
    if (sk != sk_) {
        sk_ = sk;
        if (sk && cs_) SkRise(socket.Level(Pin::DI), socket.nowNs);
    }
}

bool ThreeWireEepromChip::Output(Pin pin, const SocketState& socket) {
    if (pin != Pin::DO) return true;
    if (silent_) return false;
    if (!cs_) return true;  // DO is high impedance while CS is low
    if (showStatus_) return !Busy(socket.nowNs);
    if (state_ == State::Reading) return doLevel_;
    return true;
}

void ThreeWireEepromChip::SkRise(bool di, uint64_t nowNs) {
    switch (state_) {
    case State::WaitStart:
        if (!di) break;  // leading zeros are not a start bit
        showStatus_ = false;
        statusArmed_ = false;
        // Inside a write cycle the part takes no instruction.
        state_ = Busy(nowNs) ? State::Done : State::Opcode;
        bits_ = 0;
        opcode_ = 0;
        break;
    case State::Opcode:
        opcode_ = (opcode_ << 1) | (di ? 1 : 0);
        if (++bits_ == 2) {
            state_ = State::Address;
            bits_ = 0;
            address_ = 0;
        }
        break;
    case State::Address:
        address_ = (address_ << 1) | (di ? 1 : 0);
        if (++bits_ == facts_.addressBits) Decode();
        break;
    case State::Data:
        data_ = (data_ << 1) | (di ? 1 : 0);
        if (++bits_ == 16) state_ = State::Done;
        break;
    case State::Reading:
        // Output changes on the rising edge; after D0 the next word follows.
        if (readBit_ == 0) {
            readAddress_ = fakes_.Address((readAddress_ + 1) % facts_.words);
            readWord_ = Word(readAddress_);
            readBit_ = 16;
        }
        --readBit_;
        doLevel_ = (readWord_ >> readBit_) & 1;
        break;
    case State::Done: break;  // further bits are ignored until CS falls
    }
}

void ThreeWireEepromChip::Decode() {
    const uint32_t a = fakes_.Address(address_ % facts_.words);  // the 93C56's top bit is don't care
    const unsigned top = (address_ >> (facts_.addressBits - 2)) & 3;
    state_ = State::Done;
    switch (opcode_) {
    case 2:  // READ: a dummy 0, then the word
        state_ = State::Reading;
        doLevel_ = false;
        readAddress_ = a;
        readWord_ = Word(a);
        readBit_ = 16;
        break;
    case 1:  // WRITE
        pending_ = Pending::Write;
        state_ = State::Data;
        bits_ = 0;
        data_ = 0;
        break;
    case 3: pending_ = Pending::Erase; break;
    default:
        if (top == 3) writeEnabled_ = true;
        else if (top == 0) writeEnabled_ = false;
        else if (top == 2) pending_ = Pending::EraseAll;
        else {
            pending_ = Pending::WriteAll;
            state_ = State::Data;
            bits_ = 0;
            data_ = 0;
        }
        break;
    }
    address_ = a;
}

void ThreeWireEepromChip::CsFall(uint64_t nowNs) {
    showStatus_ = false;
    const Pending pending = state_ == State::Done ? pending_ : Pending::None;
    pending_ = Pending::None;
    state_ = State::WaitStart;
    // Writes start when CS falls after the whole instruction, and only while enabled.
    if (pending == Pending::None || !writeEnabled_ || Busy(nowNs)) return;
    uint64_t length = facts_.writeNs;
    cycleOld_.clear();
    if (pending == Pending::Write || pending == Pending::Erase) {
        NoteOld(2 * address_, cells_[2 * size_t(address_)]);
        NoteOld(2 * address_ + 1, cells_[2 * size_t(address_) + 1]);
    } else {
        for (uint32_t i = 0; i < cells_.size(); ++i) NoteOld(i, cells_[i]);
    }
    switch (pending) {
    case Pending::Write:
        if (!Dead(address_)) SetWord(address_, static_cast<uint16_t>(data_));
        break;
    case Pending::Erase:
        if (!Dead(address_)) SetWord(address_, 0xFFFF);
        break;
    case Pending::EraseAll:
    case Pending::WriteAll:
        for (uint32_t w = 0; w < facts_.words; ++w)
            if (!Dead(w)) SetWord(w, pending == Pending::EraseAll ? 0xFFFF : static_cast<uint16_t>(data_));
        length = pending == Pending::EraseAll ? facts_.eraseAllNs : facts_.writeAllNs;
        break;
    case Pending::None: break;
    }
    changed_ = true;
    ++writeCycles_;
    statusArmed_ = true;
    StartWriteCycle(nowNs, length);
}

void ThreeWireEepromChip::Save(ChipImage& image) const {
    image.kind = Kind();
    image.device = deviceName_;
    image.values["words"] = std::to_string(facts_.words);
    image.values["write-ns"] = std::to_string(facts_.writeNs);
    image.values["erase-all-ns"] = std::to_string(facts_.eraseAllNs);
    image.values["write-all-ns"] = std::to_string(facts_.writeAllNs);
    image.blobs["cells"] = cells_;
}

bool ThreeWireEepromChip::Load(const ChipImage& image, std::string& error) {
    auto blob = image.blobs.find("cells");
    if (image.kind != Kind() || Value(image, "words") != facts_.words || blob == image.blobs.end() ||
        blob->second.size() != cells_.size()) {
        error = kBadContents;
        return false;
    }
    cells_ = blob->second;
    changed_ = false;
    return true;
}

}  // namespace krt
