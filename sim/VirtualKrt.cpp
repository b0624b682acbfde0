// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/VirtualKrt.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <thread>

#include "sim/SimTexts.h"

namespace krt {

namespace {

// Opcodes as they arrive on the wire.
enum : uint8_t {
    kNop = 0x00, kInc = 0x01, kDlRead = 0x04, kDhRead = 0x05, kRevRead = 0x06, kDlSend = 0x08,
    kDhSend = 0x09, kAlSet = 0x0A, kAhSet = 0x0B, kDlSet = 0x0C, kDhSet = 0x0D, kCSet = 0x0E,
    kDevSet = 0x0F, kTimLoSet = 0x10, kTimHiSet = 0x11, kOPortSet = 0x12, kVoltSet = 0x13, kWaitTim = 0x14,
};

// Voltage register bits.
constexpr uint8_t kVoltDacData = 0x01;
constexpr uint8_t kVoltDacClock = 0x02;
constexpr uint8_t kVoltGateOff = 0x04;
constexpr uint8_t kVoltVppOn = 0x08;
constexpr uint8_t kVoltDacLoad = 0x20;

constexpr uint8_t kStatusAck = 0x40;
constexpr uint8_t kStatusIdleBits = 0x9F;  // BUSY reads 1, PE 0, SLCT 1, ERROR 1, bits 0-2 1
constexpr uint8_t kStatusFloatHigh = 0x7F;
constexpr uint8_t kStatusFloatLow = 0x87;

constexpr uint64_t kForever = std::numeric_limits<uint64_t>::max();

// How far Vpp may stand above a Vcc that is not yet (or no longer) at the
// chip's operating level: a volt, the clamp diodes' forward drop and more.
constexpr double kSupplyOrderMarginV = 1.0;

// The supply DAC's output stages (volts from the 8-bit code). With the
// range bit clear the DAC puts out half its full-range voltage.
double DacVppVolts(uint8_t code, bool fullRange) { return 6.2492 + 0.0516 * (fullRange ? code : code / 2.0); }
double DacVccVolts(uint8_t code, bool fullRange) { return (fullRange ? code : code / 2.0) * 7.5 / 256.0; }

// Fixed-level supplies. Vpp: bit 3 switches it on, bits 0-1 pick the level.
// Vcc: bit 7 selects 3.3 V whatever bits 5-6 say (the table's combinations
// 0xA0, 0xC0 and 0xE0 therefore give 3.3 V); otherwise bits 5-6 pick 6.25,
// 5.15, 6.0 or 5.0 V.
double FixedVppVolts(uint8_t reg) {
    static constexpr double kLevels[4] = {12.5, 13.7, 14.9, 16.1};
    return (reg & kVoltVppOn) ? kLevels[reg & 3] : 0.0;
}
double FixedVccVolts(uint8_t reg) {
    static constexpr double kLevels[4] = {6.25, 5.15, 6.0, 5.0};
    return (reg & 0x80) ? 3.3 : kLevels[(reg >> 5) & 3];
}

}  // namespace

VirtualKrt::VirtualKrt(uint16_t portBase) : base_(portBase) { UpdateSupplies(); }

VirtualKrt::~VirtualKrt() = default;

uint8_t VirtualKrt::read(uint16_t address) {
    uint8_t value;
    switch (static_cast<uint16_t>(address - base_)) {
    case 0: value = data_; break;
    case 1:
        value = Status();
        if (fetchUnconfirmed_ && (value & kStatusAck) && !Busy()) fetchUnconfirmed_ = false;
        break;
    case 2: value = control_; break;
    default: value = 0xFF; break;
    }
    now_ += kAccessNs;
    if ((++accesses_ & 0x3FF) == 0 && paced_) Pace();
    return value;
}

void VirtualKrt::write(uint16_t address, uint8_t value) {
    switch (static_cast<uint16_t>(address - base_)) {
    case 0: data_ = value; break;
    case 2: ControlWritten(value); break;
    default: break;  // the status register and foreign addresses take nothing
    }
    now_ += kAccessNs;
    if ((++accesses_ & 0x3FF) == 0 && paced_) Pace();
}

void VirtualKrt::sleepMs(unsigned ms) {
    now_ += static_cast<uint64_t>(ms) * 1000000u;
    if (paced_) Pace();
}

uint8_t VirtualKrt::Status() const {
    if (presence_ == Presence::AckFloatsHigh) return kStatusFloatHigh;
    if (presence_ == Presence::AckFloatsLow) return kStatusFloatLow;
    bool ack;
    if (staysBusyNow_ || now_ < busyUntil_) ack = false;       // busy
    else if (replySlot_) ack = !(reply_ & 1);                   // reply bit, active low
    else ack = true;                                            // ready
    return static_cast<uint8_t>(kStatusIdleBits | (ack ? kStatusAck : 0));
}

void VirtualKrt::ControlWritten(uint8_t value) {
    const uint8_t old = control_;
    control_ = value;
    if (presence_ != Presence::Present) return;
    if ((value & 1) && !(old & 1)) {
        Latch(data_);
    } else if (!(value & 1) && (old & 1) && replySlot_) {
        replySlot_ = false;
        reply_ >>= 1;
        --replyBitsLeft_;
    }
}

void VirtualKrt::Latch(uint8_t byte) {
    ++frames_;
    if (byte == kNop && !pendingOpcode_ && replyBitsLeft_ && fetchUnconfirmed_) {
        NoteBreach(Breach::ReplyBeforeReady, {});
    } else if (Busy()) {
        const char* cause = busyCause_ == BusyCause::Pulse   ? kSimTextBusyPulse
                            : busyCause_ == BusyCause::Timer ? kSimTextBusyTimer
                                                             : kSimTextBusyFetch;
        NoteBreach(Breach::FrameWhileBusy, cause);
    }
    if (pendingOpcode_) {
        const uint8_t opcode = pendingOpcode_;
        pendingOpcode_ = 0;
        Execute(opcode, byte);
        return;
    }
    if (byte == kNop) {
        if (replyBitsLeft_) replySlot_ = true;
        return;
    }
    if (byte == 0x02 || byte == 0x03 || byte == 0x07 || byte > kWaitTim) return;  // not decoded
    // Every decoded command ends a reply that was being clocked out.
    replyBitsLeft_ = 0;
    replySlot_ = false;
    if (byte >= kDlSend && byte <= kVoltSet) {
        pendingOpcode_ = byte;
        if (byte != kDevSet) revisionArmed_ = false;
        return;
    }
    switch (byte) {
    case kInc:
        revisionArmed_ = false;
        socket_.address = (socket_.address + 1) & 0xFFFFFF;
        Notify(kPinAddress);
        break;
    case kDlRead: Fetch(DataLane::Low); break;
    case kDhRead: revisionArmed_ = false; Fetch(DataLane::High); break;
    case kRevRead:
        revisionArmed_ = false;
        reply_ = krt1_;
        replyBitsLeft_ = 8;
        break;
    case kWaitTim:
        revisionArmed_ = false;
        busyCause_ = BusyCause::Timer;
        StartBusy(TimerPeriodNs());
        break;
    default: break;
    }
}

void VirtualKrt::Execute(uint8_t opcode, uint8_t v) {
    switch (opcode) {
    case kDlSend:
        socket_.dataLow = v;
        Notify(kPinDataLow);
        Pulse(DataLane::Low);
        break;
    case kDhSend:
        socket_.dataHigh = v;
        Notify(kPinDataHigh);
        Pulse(DataLane::High);
        break;
    case kAlSet:
        socket_.address = (socket_.address & 0xFFFF00u) | v;
        Notify(kPinAddress);
        break;
    case kAhSet:
        socket_.address = (socket_.address & 0xFF00FFu) | (uint32_t(v) << 8);
        Notify(kPinAddress);
        break;
    case kCSet:
        socket_.address = (socket_.address & 0x00FFFFu) | (uint32_t(v) << 16);
        Notify(kPinAddress);
        break;
    case kDlSet:
        socket_.dataLow = v;
        Notify(kPinDataLow);
        break;
    case kDhSet:
        socket_.dataHigh = v;
        Notify(kPinDataHigh);
        break;
    case kDevSet:
        // Configuration 0 is also KRT2's identification: the DLREAD that
        // follows directly presents its revision instead of the socket's
        // data. Any other command in between lets DLREAD read the socket, so
        // chips configured as 0 (byte-wide EPROMs) read normally.
        {
            const bool wasConnected = ChipConnected();
            socket_.deviceConfig = v;
            socket_.wiring = WiringFor(v);
            revisionArmed_ = v == 0;
            // A chip that comes into (or drops out of) its configuration sees all its pins change.
            Notify(wasConnected != ChipConnected() ? kPinAll : kPinConfig);
        }
        break;
    case kTimLoSet: timerLow_ = v; break;
    case kTimHiSet: timerHigh_ = v; break;
    case kOPortSet:
        socket_.outputPort = v;
        outputSeen_.store(v, std::memory_order_relaxed);
        Notify(kPinOutputPort);
        break;
    case kVoltSet: VoltageWritten(v); break;
    default: break;
    }
}

void VirtualKrt::Fetch(DataLane lane) {
    if (lane == DataLane::Low && revisionArmed_) {
        reply_ = krt2_;
    } else {
        Chip* chip = WiredChip();
        const SocketWiring* wiring = socket_.wiring;
        uint16_t lines = 0xFFFF;
        socket_.nowNs = now_;
        if (chip) {
            if (wiring && wiring->strobeGated && !(socket_.cPort() & 0x80)) {
                chip->Strobe(socket_, kFetchNs);
                if (std::string rule = chip->TakeHostBreach(); !rule.empty())
                    NoteBreach(Breach::ChipRule, std::move(rule));
            }
            lines = chip->ReadCycle(socket_, lane);
        }
        if (wiring) {
            const ReplyLane wanted = lane == DataLane::Low ? ReplyLane::Low : ReplyLane::High;
            for (const PinOutput& out : wiring->outputs) {
                if (out.lane != wanted) continue;
                bool level = chip ? chip->Output(out.pin, socket_) : true;
                if (out.pin == wiring->sharedLine && socket_.ProgrammerDrives(out.pin))
                    level = level && socket_.Level(out.pin);  // both drive: open drain
                const uint16_t mask = static_cast<uint16_t>(1u << (out.bit + (lane == DataLane::High ? 8 : 0)));
                lines = static_cast<uint16_t>(level ? (lines | mask) : (lines & ~mask));
            }
        }
        reply_ = static_cast<uint8_t>(lane == DataLane::Low ? lines : lines >> 8);
    }
    revisionArmed_ = false;
    replyBitsLeft_ = 8;
    fetchUnconfirmed_ = true;
    busyCause_ = BusyCause::Fetch;
    StartBusy(kFetchNs);
}

void VirtualKrt::Pulse(DataLane lane) {
    const uint64_t length = TimerPeriodNs();
    if (Chip* chip = ActiveChip()) {
        socket_.nowNs = now_;
        if (!ChipConnected()) {
            char detail[200];
            std::snprintf(detail, sizeof detail, kSimTextBreachOtherConfig, chip->Describe().c_str(),
                          socket_.deviceConfig, chip->SocketConfig());
            NoteBreach(Breach::OtherConfig, detail);
        } else if (socket_.wiring && socket_.wiring->strobeGated) {
            if (!(socket_.cPort() & 0x80)) chip->Strobe(socket_, length);
            if (std::string rule = chip->TakeHostBreach(); !rule.empty()) NoteBreach(Breach::ChipRule, std::move(rule));
        } else {
            chip->WriteCycle(socket_, lane, length);
            if (std::string rule = chip->TakeHostBreach(); !rule.empty()) NoteBreach(Breach::ChipRule, std::move(rule));
        }
    }
    busyCause_ = BusyCause::Pulse;
    StartBusy(length);
}

void VirtualKrt::StartBusy(uint64_t lengthNs) {
    if (staysBusy_) {
        staysBusyNow_ = true;
        busyUntil_ = kForever;
        return;
    }
    busyUntil_ = now_ + lengthNs;
}

uint64_t VirtualKrt::TimerPeriodNs() const {
    const uint64_t count = (uint64_t(timerHigh_ & 3) << 8) | timerLow_;
    // Bit 3 selects 256 clock periods, bit 2 16; with both set bit 3 wins.
    const uint64_t unit = (timerHigh_ & 0x08) ? 256 : (timerHigh_ & 0x04) ? 16 : 1;
    return count * unit * 1000000000ull / crystalHz_;
}

void VirtualKrt::VoltageWritten(uint8_t value) {
    const uint8_t old = voltage_;
    voltage_ = value;
    if (UsesSupplyDac()) {
        // Serial supply DAC: the data bit is taken on the clock's falling
        // edge, the word of 11 bits (channel 2 bits, range, 8-bit code) on
        // the falling edge of the load line.
        if ((old & kVoltDacClock) && !(value & kVoltDacClock))
            dacShift_ = static_cast<uint16_t>(((dacShift_ << 1) | (value & kVoltDacData)) & 0x7FF);
        if ((old & kVoltDacLoad) && !(value & kVoltDacLoad)) {
            const int channel = (dacShift_ >> 9) & 3;
            dacFullRange_[channel] = (dacShift_ >> 8) & 1;
            dacCode_[channel] = static_cast<uint8_t>(dacShift_);
        }
    }
    UpdateSupplies();
}

void VirtualKrt::UpdateSupplies() {
    double vcc, vpp;
    if (UsesSupplyDac()) {
        vcc = DacVccVolts(dacCode_[2], dacFullRange_[2]);
        vpp = (voltage_ & kVoltVppOn) ? DacVppVolts(dacCode_[0], dacFullRange_[0]) : 0.0;
    } else {
        vcc = FixedVccVolts(voltage_);
        vpp = FixedVppVolts(voltage_);
    }
    if (voltage_ & kVoltGateOff) vcc = vpp = 0.0;
    if (vcc == socket_.vcc && vpp == socket_.vpp) return;
    socket_.vcc = vcc;
    socket_.vpp = vpp;
    vccSeen_.store(vcc, std::memory_order_relaxed);
    vppSeen_.store(vpp, std::memory_order_relaxed);
    highestVpp_ = std::max(highestVpp_, vpp);
    if (Chip* chip = ActiveChip(); chip && (vcc > chip->AbsMaxVcc() || vpp > chip->AbsMaxVpp())) {
        char detail[300];
        std::snprintf(detail, sizeof detail, kSimTextBreachSupply, vcc, vpp, chip->Describe().c_str(),
                      chip->AbsMaxVcc(), chip->AbsMaxVpp() > 1e6 ? 0.0 : chip->AbsMaxVpp());
        NoteBreach(Breach::Supply, detail);
    }
    if (Chip* chip = ActiveChip(); chip && vpp > vcc + kSupplyOrderMarginV && vcc < chip->VccOperatingMin()) {
        char detail[300];
        std::snprintf(detail, sizeof detail, kSimTextBreachSupplyOrder, vpp, chip->Describe().c_str(), vcc,
                      chip->VccOperatingMin());
        NoteBreach(Breach::SupplyOrder, detail);
    }
    if (recordSupplies_) supplySteps_.push_back({vcc, vpp});
    Notify(kPinSupply);
}

bool VirtualKrt::ChipConnected() const {
    return chip_ && !socketEmptied_ && chip_->SocketConfig() == socket_.deviceConfig;
}

void VirtualKrt::Notify(uint32_t changed) {
    Chip* chip = ActiveChip();
    if (!chip) return;
    socket_.nowNs = now_;
    if (ChipConnected()) {
        chip->PinsChanged(socket_, changed);
        return;
    }
    // Wired for another configuration: the chip keeps its supplies, and its
    // signal pins are not driven as it expects (seen as all low).
    SocketState unwired;
    unwired.nowNs = now_;
    unwired.deviceConfig = socket_.deviceConfig;
    unwired.vcc = socket_.vcc;
    unwired.vpp = socket_.vpp;
    chip->PinsChanged(unwired, changed);
}

void VirtualKrt::NoteBreach(Breach kind, std::string detail) {
    const unsigned bit = 1u << static_cast<unsigned>(kind);
    if (breachSeen_ & bit) return;
    breachSeen_ |= bit;
    breachDetail_[static_cast<size_t>(kind)] = std::move(detail);
}

std::vector<std::string> VirtualKrt::BreachLines() const {
    std::vector<std::string> lines;
    char text[512];
    for (unsigned k = 0; k < static_cast<unsigned>(Breach::Count); ++k) {
        if (!(breachSeen_ & (1u << k))) continue;
        const std::string& detail = breachDetail_[k];
        switch (static_cast<Breach>(k)) {
        case Breach::FrameWhileBusy:
            std::snprintf(text, sizeof text, kSimTextBreachFrameWhileBusy, detail.c_str());
            lines.emplace_back(text);
            break;
        case Breach::ReplyBeforeReady: lines.emplace_back(kSimTextBreachReplyBeforeReady); break;
        default: lines.push_back(detail); break;  // already the whole line
        }
    }
    return lines;
}

void VirtualKrt::ClearBreaches() {
    breachSeen_ = 0;
    for (std::string& d : breachDetail_) d.clear();
}

void VirtualKrt::Pace() {
    const auto real = std::chrono::steady_clock::now() - paceRealStart_;
    const auto virt = std::chrono::nanoseconds(static_cast<int64_t>(now_ - paceVirtualStart_));
    if (virt > real + std::chrono::milliseconds(1)) std::this_thread::sleep_for(virt - real);
}

void VirtualKrt::SetPacedToRealTime(bool paced) {
    paced_ = paced;
    paceVirtualStart_ = now_;
    paceRealStart_ = std::chrono::steady_clock::now();
}

void VirtualKrt::SetRevisions(uint8_t krt1, uint8_t krt2) {
    krt1_ = krt1;
    krt2_ = krt2;
    UpdateSupplies();  // the supply scheme follows KRT1's revision
}

void VirtualKrt::SetCrystalHz(uint32_t hz) {
    if (hz) crystalHz_ = hz;
}

void VirtualKrt::SetCellFaults(const CellFaults& faults) {
    cellFaults_ = faults;
    if (chip_) chip_->SetCellFaults(cellFaults_);
}

void VirtualKrt::InsertChip(std::unique_ptr<Chip> chip) {
    chip_ = std::move(chip);
    if (chip_) {
        chip_->SetCellFaults(cellFaults_);
        ApplyChipFaults();
        Notify(kPinAll);
    }
}

std::unique_ptr<Chip> VirtualKrt::RemoveChip() { return std::move(chip_); }

std::string VirtualKrt::DescribeSocket() const {
    Chip* chip = ActiveChip();
    return chip ? chip->Describe() : std::string(kSimTextEmptySocket);
}

std::string VirtualKrt::Banner(uint32_t language, const std::string& socket) const {
    const bool ja = language == 0;
    std::string faults;
    if (!faultSummary_.empty()) faults = (ja ? kSimTextFaultsPrefixJa : kSimTextFaultsPrefix) + faultSummary_;
    std::string described = socket;
    if (described.empty()) described = ActiveChip() || !ja ? DescribeSocket() : std::string(kSimTextEmptySocketJa);
    char text[1024];
    std::snprintf(text, sizeof text, ja ? kSimTextBannerJa : kSimTextBanner, krt1_, krt2_, crystalHz_ / 1e6,
                  described.c_str(), faults.c_str());
    return text;
}

}  // namespace krt
