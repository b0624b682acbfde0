// SPDX-License-Identifier: GPL-3.0-or-later
// The programmer link: the one link context of the process, the frame and
// read-slot primitives, the eighteen programmer commands, timer and supplies,
// detection, and the request dispatcher.
//
// The application creates one LinkContext and passes it down; tests make
// their own. The port, clock and log seams are set before the first request.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "link/PortIo.h"

namespace krt {

struct DeviceRecord;
class ZVDevice;
class LinkContext;

// The request record; the caller owns it for one Dispatch call.
struct LinkRequest {
    uint8_t code = 0;
    uint8_t* buffer = nullptr;
    uint32_t startAddress = 0;
    uint32_t length = 0;
    uint32_t parameter = 0;
    uint32_t resultValue = 0;
    uint32_t permittedErrorCount = 0;
};

// Creates the family object for a device operation, or none (result 6).
// The application installs CreateFamily here; an empty factory means that no
// family is known yet.
using FamilyFactory = std::unique_ptr<ZVDevice> (*)(LinkContext& link, const LinkRequest& request,
                                                    DeviceRecord& record);

// Programmer opcodes.
enum Opcode : uint8_t {
    OP_NOP = 0x00, OP_INC = 0x01, OP_DLREAD = 0x04, OP_DHREAD = 0x05, OP_REVREAD = 0x06,
    OP_DLSEND = 0x08, OP_DHSEND = 0x09, OP_ALSET = 0x0A, OP_AHSET = 0x0B, OP_DLSET = 0x0C,
    OP_DHSET = 0x0D, OP_CSET = 0x0E, OP_DEVSET = 0x0F, OP_TIMLOSET = 0x10, OP_TIMHISET = 0x11,
    OP_OPORTSET = 0x12, OP_VOLTSET = 0x13, OP_WAITTIM = 0x14,
};

// One and/or pair of the bus masks.
struct MaskPair {
    uint8_t andMask = 0xFF;
    uint8_t orMask = 0x00;
    uint8_t apply(uint8_t v) const { return static_cast<uint8_t>((v & andMask) | orMask); }
};

class LinkContext {
public:
    // --- seams (not part of the zeroed state) ---
    PortIo* port = nullptr;
    Clock* clock = nullptr;
    LogSink* log = nullptr;
    FamilyFactory createFamily = nullptr;

    // --- link context fields ---
    uint16_t portBase = 0;
    uint8_t controlShadow = 0;
    uint8_t krt1Revision = 0;
    // A KRT1 without the supply DAC: Vpp only at its fixed levels (12.5 V the lowest).
    bool FixedSupplyLevels() const;
    uint8_t krt2Revision = 0;
    bool programmerFound = false;
    uint8_t voltageRegister = 0;
    // While set, every VOLTSET that loads the supplies carries the output
    // gate (bit 2, never stored in the copy), so the socket sees no supply
    // until the outputs are switched on. Set by LinkReset during its
    // clearing, by HoldSupplyOutputs and by SupplyOutput(false); cleared by
    // SupplyOutput(true) and at the end of LinkReset.
    bool supplyHeld = false;
    uint8_t timerHigh = 0;
    uint8_t timerLow = 0;
    uint8_t outputPortRegister = 0;
    MaskPair addressHigh, addressMiddle, addressLow, dataHigh, dataLow;
    uint8_t powerCircuitVersion = 0;
    double clockFrequency = 0.0;
    uint32_t language = 0;

    // Set when WaitReady has given up during the running request; the
    // families end their loop and return 4. Cleared by Dispatch at the start
    // of every request.
    bool readyTimedOut = false;
    // Set when a parallel EEPROM write stopped at a page that kept its old
    // data (software data protection is the likely cause), so that a face
    // can tell the user how to turn it off. Cleared by Dispatch at the
    // start of every request.
    bool protectionSuspected = false;
    // An automatic write (blank check, write, verify) sets `automaticWrite`
    // for its time: a blank check that passes there leaves its range in
    // `blankChecked`, and the write that comes next, and only that write,
    // finds it in `blankForWrite`: it need not program a blank word of the
    // file inside that range, nor read it first. Dispatch moves and clears
    // both on every request, so no other request can take the range.
    struct AddressRange {
        uint32_t start = 0, end = 0;
        bool Holds(uint32_t address) const { return address >= start && address < end; }
        bool Empty() const { return start >= end; }
    };
    bool automaticWrite = false;
    AddressRange blankChecked;
    AddressRange blankForWrite;
    // Set by the window program: a line that tells how to do something
    // names the window's command rather than krt's.
    bool windowFace = false;
    // ReadyTimeout's last result and the clock it belongs to.
    mutable double readyBoundClock_ = -1.0;
    mutable std::chrono::nanoseconds readyBound_{0};
    // How often each opcode was sent since the context was made (krt --verbose;
    // a family that skips rewriting a register it holds a copy of also tells
    // by it whether anyone else wrote the register since).
    std::array<uint64_t, 32> commandCounts{};

    // --- Part of the link: wire primitives ---
    uint8_t PortRead(uint16_t address) { return port->read(address); }
    void PortWrite(uint16_t address, uint8_t value) { port->write(address, value); }
    void SendFrame(uint8_t byte);
    void SendCommand(uint8_t opcode);
    void SendCommand(uint8_t opcode, uint8_t operand);
    uint8_t ReadReply();
    // Returns false (and marks readyTimedOut) when the programmer has not
    // reported ready within the time-out measured on the clock.
    bool WaitReady();
    // How long WaitReady waits before it gives up.
    std::chrono::nanoseconds ReadyTimeout() const;
    // Reads the status register until the clock reaches `deadline`: for chip
    // waits of microseconds, below the clock's sleep step, without touching
    // the programmer's timer. Bounded by a count of reads too, for a clock
    // that does not advance; without a clock it returns at once.
    void WaitUntil(std::chrono::nanoseconds deadline);
    // One frame whose strobe asserts no sooner than `notBefore` on the clock
    // (the time passes between the byte and its strobe); returns the clock's
    // time just after the strobe asserted, by which the programmer has
    // latched the byte.
    std::chrono::nanoseconds SendFrameAt(uint8_t byte, std::chrono::nanoseconds notBefore);
    // DLSEND and DLREAD whose latching strobe comes no sooner than
    // `notBefore`; the result as SendFrameAt's.
    std::chrono::nanoseconds DLSENDAt(uint8_t v, std::chrono::nanoseconds notBefore);
    std::chrono::nanoseconds DLREADAt(std::chrono::nanoseconds notBefore);
    // The strobe and WAITTIM length the timer holds now (host copy, at clockFrequency).
    std::chrono::nanoseconds TimerPeriod() const;

    // --- the eighteen commands ---
    void NOP();
    void INC();
    void DLREAD();
    void DHREAD();
    void REVREAD();
    void DLSEND(uint8_t v);
    void DHSEND(uint8_t v);
    void ALSET(uint8_t v);
    void AHSET(uint8_t v);
    void DLSET(uint8_t v);
    void DHSET(uint8_t v);
    void CSET(uint8_t v);
    void DEVSET(uint8_t v);
    void TIMLOSET(uint8_t v);
    void TIMHISET(uint8_t v);
    void OPORTSET(uint8_t v);
    void VOLTSET(uint8_t v);
    void WAITTIM();

    void LoadBusMasks(const DeviceRecord& record);
    void SetAuxOutput(int on);
    bool SetResultIndicator(uint32_t state);

    // --- timer and supplies ---
    void SetTimer(uint8_t high, uint8_t low);
    void SetTimerSeconds(double seconds);
    void SetTimerFromText(const std::string& text);
    // As SetTimer and SetTimerSeconds, but nothing is sent when the host
    // copy of the timer already holds that value (the programmer keeps it).
    void KeepTimer(uint8_t high, uint8_t low);
    void KeepTimerSeconds(double seconds);
    // True when the supply was set; false when the voltage was refused
    // (the message has been logged and nothing changed).
    bool SetVpp(float volts);
    bool SetVcc(float volts);
    void WriteSupplyDac(uint8_t channel, uint8_t code);
    void SupplyOutput(bool on);
    // Keeps the outputs gated off while the supplies are loaded, until
    // SupplyOutput(true): a family's power-up calls it right after LinkReset
    // so that Vpp never reaches the socket before Vcc. Sends nothing.
    void HoldSupplyOutputs() { supplyHeld = true; }
    void LinkReset();

    // --- detection ---
    void DetectProgrammer();

    // --- running operation, shared with the user-interface thread ---
    void CancelOperation();
    int32_t OperationProgress();
    // Whether the running operation has been asked to cancel (false with none running).
    bool CancelRequested();

    // Publishes/withdraws the family object of the running request. Publish
    // refuses (returns false) while another object is current.
    bool Publish(ZVDevice* device);
    void Withdraw();

private:
    friend uint8_t Dispatch(LinkContext& link, LinkRequest& request, DeviceRecord& record);
    std::mutex currentMutex_;
    ZVDevice* currentFamily_ = nullptr;
    bool timeoutLogged_ = false;
    void ShiftSupplyBit(int bit);
    void SendVoltageRegister();
};

// Performs one request and returns its result code (0 to 9).
uint8_t Dispatch(LinkContext& link, LinkRequest& request, DeviceRecord& record);

// Result-code text in the given language (0 Japanese, 1 English); empty otherwise.
std::string ResultText(uint32_t language, uint32_t code);

// The hot path, inline so that a family's command costs its register
// accesses and little else: no allocation, no lock, no logging, one virtual
// call per access. The port pointer and base are loaded once per call (the
// port never changes them).
inline void LinkContext::SendFrame(uint8_t byte) {
    PortIo* const p = port;
    const uint16_t base = portBase;
    const uint16_t control = static_cast<uint16_t>(base + 2);
    const uint8_t asserted = static_cast<uint8_t>(controlShadow | 0x01);
    const uint8_t released = static_cast<uint8_t>(asserted & ~0x01);
    p->write(base, byte);
    p->write(control, asserted);
    p->write(control, released);
    controlShadow = released;
}

// Eight read slots, least significant bit first; ACK (status bit 6) is
// active low. Each slot is a NOP frame sampled while the strobe is up.
inline uint8_t LinkContext::ReadReply() {
    PortIo* const p = port;
    const uint16_t base = portBase;
    const uint16_t status = static_cast<uint16_t>(base + 1);
    const uint16_t control = static_cast<uint16_t>(base + 2);
    const uint8_t asserted = static_cast<uint8_t>(controlShadow | 0x01);
    const uint8_t released = static_cast<uint8_t>(asserted & ~0x01);
    unsigned value = 0;
    for (int slot = 0; slot < 8; ++slot) {
        p->write(base, OP_NOP);
        p->write(control, asserted);
        const unsigned bit = (p->read(status) & 0x40) ? 0u : 1u;
        value = (value >> 1) | (bit << 7);
        p->write(control, released);
    }
    controlShadow = released;
    return static_cast<uint8_t>(value);
}

}  // namespace krt
