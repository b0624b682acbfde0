// The device family object: one lives for exactly one device operation.
#pragma once

#include <atomic>
#include <cstdint>

#include "link/Link.h"

namespace krt {

class ZVDevice {
public:
    ZVDevice(LinkContext& link) : link_(link) {}
    // Sets the cancel flag before the object goes away.
    virtual ~ZVDevice() { cancel.store(1); }
    ZVDevice(const ZVDevice&) = delete;
    ZVDevice& operator=(const ZVDevice&) = delete;

    // Slots in order.
    virtual bool ReadWord(uint16_t& value) { (void)value; return false; }
    virtual bool ProgramWord(uint16_t value) { (void)value; return false; }
    virtual bool ReadBack(uint16_t value, uint16_t& read) { (void)value; (void)read; return false; }
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

protected:
    LinkContext& link_;
};

}  // namespace krt
