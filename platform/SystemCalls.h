// SPDX-License-Identifier: GPL-3.0-or-later
// The calls through which the real backends reach the kernel: ppdev's open,
// ioctl and close, port I/O's ioperm, inb and outb, the clock, and where the
// kernel shows the ports (/proc, /sys, /dev). The base class is the real
// kernel; tests install a stand-in that behaves as the kernel does, with a
// simulated programmer behind its ports, so that the backends' own code runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <pthread.h>
#include <string>

#include "link/PortIo.h"

namespace krt {

class SystemCalls {
public:
    virtual ~SystemCalls() = default;

    // -1 with errno set on failure, as the system calls themselves.
    virtual int Open(const char* path, int flags);
    virtual int Close(int fd);
    virtual int Ioctl(int fd, unsigned long request, void* argument);
    // Makes an Ioctl that sleeps in the kernel on thread (a claim waiting for
    // another holder) return -1 with EINTR. A call that is not sleeping yet
    // may miss it: callers repeat it until the call has returned.
    virtual void Interrupt(pthread_t thread);

    // Port I/O permission belongs to the thread that asked for it.
    virtual int Ioperm(unsigned long from, unsigned long count, int on);
    virtual uint8_t Inb(uint16_t port);
    virtual void Outb(uint8_t value, uint16_t port);

    // The time source of a link on a real port.
    virtual std::unique_ptr<Clock> MakeClock();

    // Where the kernel shows its ports and drivers.
    std::string parportDir = "/proc/sys/dev/parport";
    std::string devDir = "/dev";
    std::string procDir = "/proc";
    std::string sysDir = "/sys";
    // How long a claim waits for another holder of the port to let go.
    std::chrono::milliseconds claimBound{3000};
};

// The calls the backends opened from now on use: the real kernel unless a
// test has installed its own.
SystemCalls& Kernel();
// Installs calls (null: the real kernel again); returns the one it replaces.
SystemCalls* InstallSystemCalls(SystemCalls* calls);

}  // namespace krt
