// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SystemCalls.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/Platform.h"

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
#include <sys/io.h>
#define KRT_HAVE_PORT_IO 1
#endif

namespace krt {

namespace {

// The signal that wakes a claim sleeping in the kernel. Its handler does
// nothing; it is installed without SA_RESTART so that the ioctl returns EINTR.
int WakeSignal() { return SIGRTMIN + 3; }

void Wake(int) {}

std::atomic<SystemCalls*> installed{nullptr};

}  // namespace

int SystemCalls::Open(const char* path, int flags) { return ::open(path, flags); }

int SystemCalls::Close(int fd) { return ::close(fd); }

int SystemCalls::Ioctl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }

void SystemCalls::Interrupt(pthread_t thread) {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = &Wake;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(WakeSignal(), &action, nullptr);
    });
    pthread_kill(thread, WakeSignal());
}

#ifdef KRT_HAVE_PORT_IO
int SystemCalls::Ioperm(unsigned long from, unsigned long count, int on) { return ::ioperm(from, count, on); }
uint8_t SystemCalls::Inb(uint16_t port) { return ::inb(port); }
void SystemCalls::Outb(uint8_t value, uint16_t port) { ::outb(value, port); }
#else
int SystemCalls::Ioperm(unsigned long, unsigned long, int) {
    errno = ENOSYS;
    return -1;
}
uint8_t SystemCalls::Inb(uint16_t) { return 0xFF; }
void SystemCalls::Outb(uint8_t, uint16_t) {}
#endif

std::unique_ptr<Clock> SystemCalls::MakeClock() { return MakeSystemClock(); }

SystemCalls& Kernel() {
    static SystemCalls real;
    SystemCalls* calls = installed.load();
    return calls ? *calls : real;
}

SystemCalls* InstallSystemCalls(SystemCalls* calls) { return installed.exchange(calls); }

}  // namespace krt
