// SPDX-License-Identifier: GPL-3.0-or-later
// Direct I/O on x86: the process asks the kernel for the three printer-port
// addresses with ioperm and then reads and writes them with inb/outb.
#include <atomic>
#include <cerrno>
#include <cstring>

#include "base/Log.h"
#include "platform/Platform.h"
#include "platform/SystemCalls.h"

namespace krt {

namespace {

constexpr unsigned kSpan = 3;
// As a failed ppdev port reads: ready, no reply.
constexpr uint8_t kDirectFailedStatus = 0xDF;

// Every opened port gets its own number, so that a thread can tell whether
// it asked for this port's permission (a number is never used twice, a
// freed port's address may be).
std::atomic<uint64_t> lastPortNumber{0};
// The port whose addresses this thread may touch.
thread_local uint64_t threadPermission = 0;

// The permission to touch I/O ports belongs to the thread that asked for it
// (threads made later inherit it, threads made earlier do not). The window
// thread and the operation's worker both drive the port, and the port may be
// reopened on either, so each thread asks on its first access.
class DirectPort final : public PortIo {
public:
    DirectPort(SystemCalls& kernel, uint16_t base, PortFaultHandler onFault)
        : kernel_(kernel), base_(base), number_(++lastPortNumber), onFault_(std::move(onFault)) {
        threadPermission = number_;  // the opening thread has just asked
    }
    ~DirectPort() override {
        // Only this thread's permission can be given back; other threads
        // keep theirs until they end.
        kernel_.Ioperm(base_, kSpan, 0);
        if (threadPermission == number_) threadPermission = 0;
    }
    // Only the granted addresses are touched: anything else would fault.
    uint8_t read(uint16_t address) override {
        if (!Granted(address)) return 0xFF;
        if (!Permitted()) return address == base_ + 1 ? kDirectFailedStatus : 0x00;
        return kernel_.Inb(address);
    }
    void write(uint16_t address, uint8_t value) override {
        if (Granted(address) && Permitted()) kernel_.Outb(value, address);
    }

private:
    bool Granted(uint16_t address) const { return address >= base_ && unsigned(address - base_) < kSpan; }
    bool Permitted() {
        if (threadPermission == number_) return true;
        if (kernel_.Ioperm(base_, kSpan, 1) == 0) {
            threadPermission = number_;
            return true;
        }
        const int e = errno;
        if (onFault_)
            onFault_(Format("direct I/O at %X: this thread was refused the port (ioperm: %s); the request "
                            "was stopped",
                            base_, std::strerror(e)));
        return false;
    }

    SystemCalls& kernel_;
    uint16_t base_;
    uint64_t number_;
    PortFaultHandler onFault_;
};

}  // namespace

std::unique_ptr<PortIo> OpenDirectPort(uint16_t base, std::string& error, PortFaultHandler onFault) {
    SystemCalls& kernel = Kernel();
    if (!PortBaseAccepted(base)) {
        error = Format("direct I/O: port base %X is not a printer-port address (100 to FFF8, a multiple of 4)",
                       base);
        return nullptr;
    }
    if (kernel.Ioperm(base, kSpan, 1) != 0) {
        const int e = errno;
        if (e == EPERM)
            error = Format("direct I/O at %X: permission denied; it needs CAP_SYS_RAWIO "
                           "(run as root, or use ppdev as a member of the lp group)", base);
        else if (e == ENOSYS)
            error = Format("direct I/O at %X: this system gives no program the I/O ports (ioperm: %s; "
                           "not x86 Linux, or a container or a virtual machine without port access); direct "
                           "I/O needs x86 Linux on the machine that has the printer port, with CAP_SYS_RAWIO. "
                           "Use ppdev there (the parport_pc and ppdev modules), or the simulator to work "
                           "without the hardware", base, std::strerror(e));
        else
            error = Format("direct I/O at %X: ioperm failed: %s; use ppdev (the parport_pc and "
                           "ppdev modules), or the simulator to work without the hardware", base, std::strerror(e));
        return nullptr;
    }
    return std::make_unique<DirectPort>(kernel, base, std::move(onFault));
}

}  // namespace krt
