// SPDX-License-Identifier: GPL-3.0-or-later
// The device family object: one lives for exactly one device operation.
//
// The dispatcher creates it with CreateFamily, publishes it as the current
// family object, calls one operation slot and destroys it. The user-interface
// thread only reads the current address and sets the cancel flag; both are
// atomics, so the operation loops take no lock.
#pragma once

#include <atomic>
#include <cstdint>

#include "catalogue/DeviceRecord.h"
#include "link/Link.h"
#include "link/Protocol.h"

namespace krt {

// The family operations return the result codes of the protocol.
using FamilyResult = ResultCode;

class ZVDevice {
public:
    explicit ZVDevice(LinkContext& link) : link_(link) {}
    ZVDevice(const ZVDevice&) = delete;
    ZVDevice& operator=(const ZVDevice&) = delete;

    // Slots in order: 0 to 2 are the unit primitives, 3 the destructor,
    // 4 and 5 the supplies, 6 to 13 the operations of request codes 4 to 11.
    virtual bool ReadWord(uint16_t& value) { (void)value; return false; }
    virtual bool ProgramWord(uint16_t value) { (void)value; return false; }
    virtual bool ReadBack(uint16_t value, uint16_t& read) { (void)value; (void)read; return false; }
    // Sets the cancel flag before the object goes away.
    virtual ~ZVDevice() { cancel.store(1); }
    virtual bool PowerOn(bool programming) = 0;
    virtual void PowerOff() = 0;
    virtual uint8_t Read() = 0;
    virtual uint8_t Write() = 0;
    virtual uint8_t Verify() = 0;
    virtual uint8_t Erase() = 0;
    virtual uint8_t Secure() = 0;
    virtual uint8_t BlankCheck() = 0;
    virtual uint8_t DeviceOption() = 0;
    virtual uint8_t Stop() = 0;
    // Slots 14 and 15: the progress position is CurrentAddress() - StartAddress().
    uint32_t CurrentAddress() const { return currentAddress.load(std::memory_order_relaxed); }
    uint32_t StartAddress() const { return request ? request->startAddress : 0; }

    // Fields in order. The current address and the cancel flag are read and
    // written across threads without a lock.
    std::atomic<uint32_t> currentAddress{0};
    const LinkRequest* request = nullptr;
    DeviceRecord* record = nullptr;
    int32_t retryCount = 0;
    uint8_t verifyFlag = 0;
    uint8_t typeCode = 0;
    uint8_t* cursor = nullptr;
    uint32_t errorCount = 0;
    std::atomic<uint8_t> cancel{0};
    // Words of a write that were blank in the file and on the chip and so
    // were not programmed (a cancelled write's last line counts them).
    uint32_t blankSkipped = 0;

protected:
    // Fills the common fields from the request and the record, as every
    // family constructor does; the current address starts at `start`.
    void TakeRequest(const LinkRequest& req, DeviceRecord& rec, uint32_t start) {
        request = &req;
        record = &rec;
        retryCount = rec.retry < 1 ? 1 : rec.retry;
        verifyFlag = rec.verify;
        typeCode = rec.typecode;
        cursor = req.buffer;
        currentAddress.store(start, std::memory_order_relaxed);
    }

    // The line that ends a write: the error count when there were errors;
    // for a write cancelled before its end, how far it got; otherwise
    // "without errors", unless the write was broken off by the programmer
    // or a wait (brokenOff: the line before has said why).
    void LogWriteEnd(bool brokenOff) const;

    // One of a pair of texts, [0] Japanese and [1] English, in the link's
    // language (any language but 0 reads English).
    const char* Text(const char* const (&pair)[2]) const { return pair[link_.language == 0 ? 0 : 1]; }

    LinkContext& link_;
};

}  // namespace krt
