// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the Linux kernel under the real port backends: ppdev's
// open/ioctl/close and port I/O's ioperm/inb/outb, with a simulated
// programmer behind each printer port, and the files the kernel shows
// (/proc/sys/dev/parport, /dev/parportN, /sys/class/ppdev, /proc/PID) in a
// temporary directory. It behaves as the kernel does where the backends
// depend on it:
// - ppdev registers a device on its first claim (ENXIO when the port is
//   gone, or when another holder registered exclusively, or when PPEXCL was
//   asked and another device is registered); PPCLAIM sleeps while another
//   holder has the port and returns EINTR when interrupted; register ioctls
//   without a claim fail with EINVAL; close releases and unregisters;
// - the registers pass as register values: the status byte as the port
//   reads (BUSY inverted by the hardware), the control byte's low four
//   bits written (/STROBE, /AUTOFD, /SELECTIN inverted on the wire) and
//   read back from the driver's copy, not from the port;
// - I/O permission belongs to the thread that asked for it; an access
//   without it is counted (a real machine kills the program with SIGSEGV).
// Installed for its life: backends opened meanwhile use it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/SystemCalls.h"

namespace krt {
class VirtualKrt;
}

namespace krt::test {

class FakeKernel final : public SystemCalls {
public:
    // parport and ppdev loaded, no port yet; installs itself.
    FakeKernel();
    ~FakeKernel() override;
    FakeKernel(const FakeKernel&) = delete;
    FakeKernel& operator=(const FakeKernel&) = delete;

    // Adds parportN (N in order) at base with krt on it; returns N.
    int AddPort(uint16_t base, VirtualKrt* krt);
    // Which modules are loaded (the files that show them come and go).
    void LoadModules(bool parport, bool ppdev);
    // The card is pulled: the port's files go, registering fails with
    // ENXIO, a claimed holder's register ioctls fail with ENODEV.
    void RemovePort(int n);
    // Every open fails with this errno (0: opens work).
    void FailOpens(int error) { openError_ = error; }
    // After count more register ioctls, every one fails with error.
    void FailAccessesAfter(uint64_t count, int error);
    // Another program, in /proc as pid with the name comm, holds parportN
    // (claimed, registered exclusively when asked) until LetGo.
    void HoldByOther(int n, int pid, const std::string& comm, bool exclusive = false);
    void LetGo(int n);
    // Whether ioperm grants ports (CAP_SYS_RAWIO).
    void AllowRawIo(bool allow) { rawIo_ = allow; }

    // Accesses to a port without the thread's permission.
    uint64_t PermissionFaults() const;
    // Claims that slept (another holder had the port).
    uint64_t SleptClaims() const;
    // Holders (open files) now.
    size_t OpenFiles() const;

    // SystemCalls
    int Open(const char* path, int flags) override;
    int Close(int fd) override;
    int Ioctl(int fd, unsigned long request, void* argument) override;
    void Interrupt(pthread_t thread) override;
    int Ioperm(unsigned long from, unsigned long count, int on) override;
    uint8_t Inb(uint16_t port) override;
    void Outb(uint8_t value, uint16_t port) override;
    // The time of the first port's programmer (virtual).
    std::unique_ptr<Clock> MakeClock() override;

private:
    static constexpr int kOther = -2;
    struct Port {
        uint16_t base;
        std::string name;
        VirtualKrt* krt;
        bool present = true;
        uint8_t control = 0;        // the driver's copy of the control register
        int claimedBy = -1;         // fd, kOther, or -1
        std::set<int> registered;   // fds and kOther
        bool exclusive = false;     // a registrant asked for the port alone
    };
    struct File {
        int port;
        bool registered = false;
        bool claimed = false;
        bool exclusive = false;
    };
    struct Waiter {
        pthread_t thread;
        bool interrupted = false;
    };
    int Fail(int error) const;
    int Claim(std::unique_lock<std::mutex>& lock, int fd, File& file);
    void Release(int holder, Port& port);
    int Access(File& file, unsigned long request, unsigned char* value);
    Port* PortAt(uint16_t address);
    void WriteFiles();

    std::filesystem::path root_;
    SystemCalls* replaced_ = nullptr;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Port> ports_;
    std::map<int, File> files_;
    std::vector<Waiter*> waiters_;
    int nextFd_ = 100;
    int openError_ = 0;
    bool parport_ = true;
    bool ppdev_ = true;
    bool rawIo_ = true;
    bool failArmed_ = false;
    uint64_t failAfter_ = 0;
    int failError_ = 0;
    uint64_t permissionFaults_ = 0;
    uint64_t sleptClaims_ = 0;
    std::map<std::thread::id, std::set<uint16_t>> permissions_;
    std::map<int, std::pair<int, std::string>> others_;  // port: pid, comm
};

}  // namespace krt::test
