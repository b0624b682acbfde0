// SPDX-License-Identifier: GPL-3.0-or-later
// The request dispatcher and the running operation shared with the
// user-interface thread.
#include <algorithm>
#include <cstdint>

#include "families/ZVDevice.h"
#include "link/Link.h"
#include "link/Protocol.h"

namespace krt {

namespace {

constexpr uint8_t kOk = RESULT_OK;
constexpr uint8_t kErrors = RESULT_ERRORS;
constexpr uint8_t kFatal = RESULT_FATAL;
constexpr uint8_t kUndefinedCommand = RESULT_UNDEFINED_COMMAND;
constexpr uint8_t kUndefinedDevice = RESULT_UNDEFINED_DEVICE;
constexpr uint8_t kNotFound = RESULT_NOT_FOUND;

uint8_t RunSlot(ZVDevice& device, uint8_t code) {
    switch (code) {
        case REQ_READ: return device.Read();
        case REQ_WRITE: return device.Write();
        case REQ_VERIFY: return device.Verify();
        case REQ_ERASE: return device.Erase();
        case REQ_SECURE: return device.Secure();
        case REQ_BLANK_CHECK: return device.BlankCheck();
        case REQ_DEVICE_OPTION: return device.DeviceOption();
        default: return device.Stop();
    }
}

}  // namespace

bool LinkContext::Publish(ZVDevice* device) {
    std::lock_guard<std::mutex> lock(currentMutex_);
    if (currentFamily_) return false;
    currentFamily_ = device;
    return true;
}

void LinkContext::Withdraw() {
    std::lock_guard<std::mutex> lock(currentMutex_);
    currentFamily_ = nullptr;
}

void LinkContext::CancelOperation() {
    std::lock_guard<std::mutex> lock(currentMutex_);
    if (currentFamily_) currentFamily_->cancel.store(1);
}

bool LinkContext::CancelRequested() {
    std::lock_guard<std::mutex> lock(currentMutex_);
    return currentFamily_ && currentFamily_->cancel.load() != 0;
}

int32_t LinkContext::OperationProgress() {
    std::lock_guard<std::mutex> lock(currentMutex_);
    if (!currentFamily_) return -1;
    return static_cast<int32_t>(currentFamily_->CurrentAddress() - currentFamily_->StartAddress());
}

namespace {

// Codes 4 to 11. The object is complete before it becomes current and stops
// being current before it is destroyed. A device operation requested while
// another one is current (only possible from a second thread) is refused
// with result 4 before anything is created or sent: the port belongs to the
// running operation, and calling Stop on an object that another thread is
// using cannot be made safe.
uint8_t DeviceOperation(LinkContext& link, LinkRequest& request, DeviceRecord& record) {
    if (!link.createFamily) return kUndefinedDevice;
    std::unique_ptr<ZVDevice> device = link.createFamily(link, request, record);
    if (!device) return kUndefinedDevice;
    if (!link.port) return kFatal;
    if (!device->request) device->request = &request;
    if (!device->record) device->record = &record;
    if (!link.Publish(device.get())) return kFatal;
    const uint8_t result = RunSlot(*device, request.code);
    link.Withdraw();
    device.reset();
    return result;
}

}  // namespace

uint8_t Dispatch(LinkContext& link, LinkRequest& request, DeviceRecord& record) {
    const uint8_t code = request.code;

    // While an operation runs, a second thread may ask for its address
    // (code 14) or for another device operation, which is refused (see
    // DeviceOperation). Neither may touch the running request's state.
    if (IsDeviceOperation(code) || code == REQ_CURRENT_ADDRESS) {
        std::unique_lock<std::mutex> lock(link.currentMutex_);
        if (link.currentFamily_) {
            if (code != REQ_CURRENT_ADDRESS) return kFatal;
            request.resultValue = link.currentFamily_->CurrentAddress();
            lock.unlock();
            return link.programmerFound ? kOk : kNotFound;
        }
    }

    link.readyTimedOut = false;
    link.protectionSuspected = false;
    // A blank check's range reaches the very next request only, and only
    // when that is a write (the result indicator between them aside).
    if (code != REQ_RESULT_INDICATOR) {
        link.blankForWrite = code == REQ_WRITE ? link.blankChecked : LinkContext::AddressRange{};
        link.blankChecked = {};
    }
    link.timeoutLogged_ = false;
    if (!link.port && RequestNeedsPort(code)) return kFatal;

    uint8_t result = kOk;
    const uint32_t p = request.parameter;
    const uint8_t p8 = static_cast<uint8_t>(p);
    switch (code) {
        case REQ_NOTHING: break;
        case REQ_RESET: link.LinkReset(); break;
        case REQ_DETECT: link.DetectProgrammer(); break;
        case REQ_READ: case REQ_WRITE: case REQ_VERIFY: case REQ_ERASE:
        case REQ_SECURE: case REQ_BLANK_CHECK: case REQ_DEVICE_OPTION: case REQ_STOP:
            result = DeviceOperation(link, request, record);
            link.blankForWrite = {};
            if (code == REQ_BLANK_CHECK && result == kOk && link.automaticWrite) {
                const uint64_t end = uint64_t(request.startAddress) + request.length;
                link.blankChecked = {request.startAddress, static_cast<uint32_t>(std::min<uint64_t>(end, UINT32_MAX))};
            }
            break;
        case REQ_DETECT_REVISIONS:
            link.DetectProgrammer();
            request.resultValue = (static_cast<uint32_t>(link.krt1Revision) << 8) | link.krt2Revision;
            break;
        case REQ_RESULT_INDICATOR:
            if (!link.SetResultIndicator(p)) result = kErrors;
            break;
        case REQ_CURRENT_ADDRESS: result = kFatal; break;  // no running operation (checked above)
        case REQ_READ_REPLY: request.resultValue = link.ReadReply(); break;
        case REQ_NOP: link.NOP(); break;
        case REQ_INC: link.INC(); break;
        case REQ_DLREAD: link.DLREAD(); break;
        case REQ_DHREAD: link.DHREAD(); break;
        case REQ_REVREAD: link.REVREAD(); break;
        case REQ_DLSEND: link.DLSEND(p8); break;
        case REQ_DHSEND: link.DHSEND(p8); break;
        case REQ_ALSET: link.ALSET(p8); break;
        case REQ_AHSET: link.AHSET(p8); break;
        case REQ_DLSET: link.DLSET(p8); break;
        case REQ_DHSET: link.DHSET(p8); break;
        case REQ_CSET: link.CSET(p8); break;
        case REQ_DEVSET: link.DEVSET(p8); break;
        case REQ_TIMLOSET: link.TIMLOSET(p8); break;
        case REQ_TIMHISET: link.TIMHISET(p8); break;
        case REQ_VOLTSET: link.VOLTSET(p8); break;
        case REQ_WAITTIM:
            link.WAITTIM();
            link.WaitReady();
            break;
        case REQ_OPORTSET: link.OPORTSET(p8); break;
        case REQ_PORT_WRITE_DATA: link.PortWrite(link.portBase, p8); break;
        case REQ_PORT_READ_DATA: request.resultValue = link.PortRead(link.portBase); break;
        case REQ_PORT_READ_STATUS: request.resultValue = link.PortRead(static_cast<uint16_t>(link.portBase + 1)); break;
        case REQ_SET_PORT_BASE: link.portBase = static_cast<uint16_t>(p); break;
        case REQ_GET_PORT_BASE: request.resultValue = link.portBase; break;
        case REQ_SET_CLOCK: link.clockFrequency = static_cast<double>(p); break;
        case REQ_GET_CLOCK: request.resultValue = static_cast<uint32_t>(link.clockFrequency); break;
        case REQ_GET_KRT1_REVISION: request.resultValue = link.krt1Revision; break;
        case REQ_GET_KRT2_REVISION: request.resultValue = link.krt2Revision; break;
        case REQ_SET_POWER_CIRCUIT: link.powerCircuitVersion = p8; break;
        case REQ_GET_POWER_CIRCUIT: request.resultValue = link.powerCircuitVersion; break;
        case REQ_SET_LANGUAGE: link.language = p; break;
        case REQ_GET_LANGUAGE: request.resultValue = link.language; break;
        default: return kUndefinedCommand;  // 3 and above 46: nothing done
    }

    // A programmer that stopped reporting ready fails the request, unless
    // the request already failed. Detection reports a silent programmer
    // through the found flag instead.
    if (link.readyTimedOut && result == kOk && code != REQ_DETECT && code != REQ_DETECT_REVISIONS) result = kFatal;
    if (!link.programmerFound && result == kOk) result = kNotFound;
    return result;
}

}  // namespace krt
