// The request dispatcher and the running operation shared with the
// user-interface thread.
#include "families/ZVDevice.h"
#include "link/Link.h"

namespace krt {

namespace {

constexpr uint8_t kOk = 0;
constexpr uint8_t kErrors = 3;
constexpr uint8_t kFatal = 4;
constexpr uint8_t kUndefinedCommand = 5;
constexpr uint8_t kUndefinedDevice = 6;
constexpr uint8_t kNotFound = 7;

// Codes that drive the port themselves (device operations check on their own).
bool NeedsPort(uint8_t code) {
    return (code >= 1 && code <= 2) || (code >= 12 && code <= 36 && code != 14);
}

uint8_t RunSlot(ZVDevice& device, uint8_t code) {
    switch (code) {
        case 4: return device.Read();
        case 5: return device.Write();
        case 6: return device.Verify();
        case 7: return device.Erase();
        case 8: return device.Secure();
        case 9: return device.BlankCheck();
        case 10: return device.DeviceOption();
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
    if ((code >= 4 && code <= 11) || code == 14) {
        std::unique_lock<std::mutex> lock(link.currentMutex_);
        if (link.currentFamily_) {
            if (code != 14) return kFatal;
            request.resultValue = link.currentFamily_->CurrentAddress();
            lock.unlock();
            return link.programmerFound ? kOk : kNotFound;
        }
    }

    link.readyTimedOut = false;
    link.timeoutLogged_ = false;
    if (!link.port && NeedsPort(code)) return kFatal;

    uint8_t result = kOk;
    const uint32_t p = request.parameter;
    const uint8_t p8 = static_cast<uint8_t>(p);
    switch (code) {
        case 0: break;
        case 1: link.LinkReset(); break;
        case 2: link.DetectProgrammer(); break;
        case 4: case 5: case 6: case 7: case 8: case 9: case 10: case 11:
            result = DeviceOperation(link, request, record);
            break;
        case 12:
            link.DetectProgrammer();
            request.resultValue = (static_cast<uint32_t>(link.krt1Revision) << 8) | link.krt2Revision;
            break;
        case 13:
            if (!link.SetResultIndicator(p)) result = kErrors;
            break;
        case 14: result = kFatal; break;  // no running operation (checked above)
        case 15: request.resultValue = link.ReadReply(); break;
        case 16: link.NOP(); break;
        case 17: link.INC(); break;
        case 18: link.DLREAD(); break;
        case 19: link.DHREAD(); break;
        case 20: link.REVREAD(); break;
        case 21: link.DLSEND(p8); break;
        case 22: link.DHSEND(p8); break;
        case 23: link.ALSET(p8); break;
        case 24: link.AHSET(p8); break;
        case 25: link.DLSET(p8); break;
        case 26: link.DHSET(p8); break;
        case 27: link.CSET(p8); break;
        case 28: link.DEVSET(p8); break;
        case 29: link.TIMLOSET(p8); break;
        case 30: link.TIMHISET(p8); break;
        case 31: link.VOLTSET(p8); break;
        case 32:
            link.WAITTIM();
            link.WaitReady();
            break;
        case 33: link.OPORTSET(p8); break;
        case 34: link.PortWrite(link.portBase, p8); break;
        case 35: request.resultValue = link.PortRead(link.portBase); break;
        case 36: request.resultValue = link.PortRead(static_cast<uint16_t>(link.portBase + 1)); break;
        case 37: link.portBase = static_cast<uint16_t>(p); break;
        case 38: request.resultValue = link.portBase; break;
        case 39: link.clockFrequency = static_cast<double>(p); break;
        case 40: request.resultValue = static_cast<uint32_t>(link.clockFrequency); break;
        case 41: request.resultValue = link.krt1Revision; break;
        case 42: request.resultValue = link.krt2Revision; break;
        case 43: link.powerCircuitVersion = p8; break;
        case 44: request.resultValue = link.powerCircuitVersion; break;
        case 45: link.language = p; break;
        case 46: request.resultValue = link.language; break;
        default: return kUndefinedCommand;  // 3 and above 46: nothing done
    }

    // A programmer that stopped reporting ready fails the request, unless
    // the request already failed. Detection reports a silent programmer
    // through the found flag instead.
    if (link.readyTimedOut && result == kOk && code != 2 && code != 12) result = kFatal;
    if (!link.programmerFound && result == kOk) result = kNotFound;
    return result;
}

}  // namespace krt
