// SPDX-License-Identifier: GPL-3.0-or-later
// Linux ppdev: the parport driver owns the hardware; we claim the port and
// move the three registers through its ioctls. No root needed, only access
// to /dev/parportN (the lp group).
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "base/Log.h"
#include "platform/Platform.h"
#include "platform/SystemCalls.h"

#ifdef __linux__
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#endif

namespace krt {

namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::string Basename(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// The parports the kernel knows, with their bases ("378 (parport0)").
std::vector<std::string> KnownPorts(const std::string& parportDir) {
    std::vector<std::string> ports;
    DIR* dir = opendir(parportDir.c_str());
    if (!dir) return ports;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind("parport", 0) != 0) continue;
        std::ifstream file(parportDir + "/" + name + "/base-addr");
        unsigned long address = 0;
        if (file >> address) ports.push_back(Format("%lX (%s)", address, name.c_str()));
    }
    closedir(dir);
    std::sort(ports.begin(), ports.end());
    return ports;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

}  // namespace

std::string FindParportDevice(uint16_t base, const std::string& procRoot,
                              const std::string& devRoot, std::string& error) {
    DIR* dir = opendir(procRoot.c_str());
    if (!dir) {
        // The parport core makes this directory: without it neither parport
        // nor ppdev is loaded.
        error = Format("ppdev: no parallel port at %X: the kernel's parallel-port drivers are not loaded "
                       "(%s does not exist). Load them with: sudo modprobe parport_pc ppdev "
                       "(some PCI and PCIe cards need parport_serial in place of parport_pc)",
                       base, procRoot.c_str());
        return std::string();
    }
    std::string found;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind("parport", 0) != 0) continue;
        std::ifstream file(procRoot + "/" + name + "/base-addr");
        unsigned long address = 0;
        // The file holds the base and the ECP base, in decimal.
        if (!(file >> address)) continue;
        if (address == base) {
            found = devRoot + "/" + name;
            break;
        }
    }
    closedir(dir);
    if (!found.empty()) return found;
    const std::vector<std::string> known = KnownPorts(procRoot);
    if (known.empty())
        error = Format("ppdev: no parallel port at %X: the kernel knows no parallel port. Load the port's "
                       "driver (sudo modprobe parport_pc; parport_serial for some PCI and PCIe cards) "
                       "and check that the card is seated",
                       base);
    else
        error = Format("ppdev: no parallel port at %X; the kernel knows %s (hexadecimal base, device). "
                       "Set the port address to the one the programmer is on",
                       base, Joined(known).c_str());
    return found;
}

namespace {

// The programs (other than this one) that have the device open, from
// /proc/PID/fd; else the driver that holds the port, from the parport's
// devices/active. Empty when the kernel does not say.
std::string PortHolder(const SystemCalls& kernel, const std::string& device) {
    std::vector<std::string> holders;
    const std::string self = std::to_string(::getpid());
    if (DIR* proc = opendir(kernel.procDir.c_str())) {
        while (const dirent* entry = readdir(proc)) {
            const std::string pid = entry->d_name;
            if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
            const std::string fdDir = kernel.procDir + "/" + pid + "/fd";
            DIR* fds = opendir(fdDir.c_str());
            if (!fds) continue;  // another user's process
            bool holds = false;
            while (const dirent* fd = readdir(fds)) {
                char target[512];
                const ssize_t n = ::readlink((fdDir + "/" + fd->d_name).c_str(), target, sizeof target - 1);
                if (n > 0 && std::string(target, static_cast<size_t>(n)) == device) holds = true;
            }
            closedir(fds);
            if (holds) holders.push_back(FirstLine(kernel.procDir + "/" + pid + "/comm") + " (pid " + pid + ")");
        }
        closedir(proc);
    }
    std::sort(holders.begin(), holders.end());
    if (!holders.empty()) return Joined(holders);
    // A kernel driver (lp0) or a program of another user (ppdev0).
    const std::string active = FirstLine(kernel.parportDir + "/" + Basename(device) + "/devices/active");
    if (active.empty() || active == "none") return std::string();
    if (active.rfind("ppdev", 0) == 0) return "a program of another user";
    return "the kernel driver " + active;
}

}  // namespace

#ifdef __linux__

namespace {

// Status, data and control as they read on a port that has failed: ready,
// no reply. The request that met the failure ends through the fault handler.
constexpr uint8_t kPpdevFailedStatus = 0xDF;

class PpdevPort final : public PortIo {
public:
    PpdevPort(SystemCalls& kernel, int fd, uint16_t base, std::string device, PortFaultHandler onFault)
        : kernel_(kernel), fd_(fd), base_(base), device_(std::move(device)), onFault_(std::move(onFault)) {}
    ~PpdevPort() override {
        kernel_.Ioctl(fd_, PPRELEASE, nullptr);
        kernel_.Close(fd_);
    }
    uint8_t read(uint16_t address) override {
        unsigned char value = 0xFF;
        switch (address - base_) {
            case 0: Check(kernel_.Ioctl(fd_, PPRDATA, &value), "PPRDATA", value, 0x00); break;
            case 1: Check(kernel_.Ioctl(fd_, PPRSTATUS, &value), "PPRSTATUS", value, kPpdevFailedStatus); break;
            case 2: Check(kernel_.Ioctl(fd_, PPRCONTROL, &value), "PPRCONTROL", value, 0x00); break;
            default: break;
        }
        return value;
    }
    void write(uint16_t address, uint8_t value) override {
        unsigned char v = value;
        unsigned char ignored = 0;
        switch (address - base_) {
            case 0: Check(kernel_.Ioctl(fd_, PPWDATA, &v), "PPWDATA", ignored, 0); break;
            case 2: Check(kernel_.Ioctl(fd_, PPWCONTROL, &v), "PPWCONTROL", ignored, 0); break;
            default: break;  // the status register cannot be written
        }
    }

private:
    void Check(int result, const char* call, unsigned char& value, unsigned char failedValue) {
        if (result == 0) return;
        const int e = errno;
        value = failedValue;
        if (onFault_)
            onFault_(Format("ppdev: %s failed during the request (%s: %s); the request was stopped. "
                            "Check the card and the cable, then reset the programmer",
                            device_.c_str(), call, std::strerror(e)));
    }

    SystemCalls& kernel_;
    int fd_;
    uint16_t base_;
    std::string device_;
    PortFaultHandler onFault_;
};

// PPCLAIM sleeps until every other holder has let go. A watchdog wakes it
// after the bound (and keeps waking it: a wake that comes before the call
// sleeps is lost). An EINTR before the bound (another signal) claims again.
int ClaimBounded(SystemCalls& kernel, int fd, std::chrono::milliseconds bound, bool& timedOut) {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool expired = false;
    const pthread_t claimer = pthread_self();
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (changed.wait_for(lock, bound, [&] { return done; })) return;
        expired = true;
        while (!done) {
            kernel.Interrupt(claimer);
            changed.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; });
        }
    });
    int result = 0;
    int e = 0;
    for (;;) {
        result = kernel.Ioctl(fd, PPCLAIM, nullptr);
        e = errno;
        if (result == 0 || e != EINTR) break;
        std::lock_guard<std::mutex> lock(mutex);
        if (expired) break;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        timedOut = result != 0 && e == EINTR && expired;
    }
    changed.notify_all();
    watchdog.join();
    errno = e;
    return result;
}

// detail: said after the holder ("; waited 3.0 s for it").
std::string InUseText(const SystemCalls& kernel, const std::string& path, const std::string& detail) {
    const std::string holder = PortHolder(kernel, path);
    return Format("ppdev: %s is in use by another program%s%s%s%s. Close it (or wait until it has "
                  "finished) and try again",
                  path.c_str(), holder.empty() ? "" : " (", holder.c_str(), holder.empty() ? "" : ")",
                  detail.c_str());
}

}  // namespace

std::unique_ptr<PortIo> OpenPpdevPort(uint16_t base, const std::string& device, std::string& error,
                                      PortFaultHandler onFault) {
    SystemCalls& kernel = Kernel();
    std::string path = device;
    if (path.empty()) {
        path = FindParportDevice(base, kernel.parportDir, kernel.devDir, error);
        if (path.empty()) return nullptr;
    }
    const int fd = kernel.Open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        const bool portKnown = Exists(kernel.parportDir + "/" + Basename(path));
        if (e == EACCES || e == EPERM)
            error = Format("ppdev: %s: permission denied; add the user to the lp group "
                           "(sudo adduser $USER lp, then log in again)", path.c_str());
        else if ((e == ENOENT || e == ENODEV || e == ENXIO) && portKnown && !Exists(kernel.sysDir + "/class/ppdev"))
            error = Format("ppdev: %s does not exist: the parport driver knows the port but the ppdev module "
                           "is not loaded. Load it with: sudo modprobe ppdev (the KRTwin package loads it at boot)",
                           path.c_str());
        else if (e == ENOENT || e == ENXIO || e == ENODEV)
            error = Format("ppdev: %s does not exist (load the ppdev module: sudo modprobe ppdev)",
                           path.c_str());
        else if (e == EBUSY)
            error = InUseText(kernel, path, "");
        else if (e == EISDIR)
            error = Format("ppdev: %s is a directory; name the port's device, /dev/parportN", path.c_str());
        else
            error = Format("ppdev: cannot open %s: %s", path.c_str(), std::strerror(e));
        return nullptr;
    }
    bool timedOut = false;
    if (ClaimBounded(kernel, fd, kernel.claimBound, timedOut) != 0) {
        const int e = errno;
        const bool portKnown = Exists(kernel.parportDir + "/" + Basename(path));
        if (timedOut)
            error = InUseText(kernel, path,
                              Format("; waited %.1f s for it", kernel.claimBound.count() / 1000.0));
        else if (e == EBUSY)
            error = InUseText(kernel, path, "");
        else if (e == ENXIO && portKnown)
            // The port is there, but another holder has it exclusively.
            error = InUseText(kernel, path, ", which holds it exclusively");
        else if (e == ENXIO || e == ENODEV)
            error = Format("ppdev: the port of %s has gone (the card was removed, or its driver was unloaded); "
                           "check the card and load its driver (sudo modprobe parport_pc)", path.c_str());
        else if (e == ENOTTY || e == EINVAL)
            error = Format("ppdev: %s is not a ppdev parallel port (%s); name /dev/parportN",
                           path.c_str(), std::strerror(e));
        else
            error = Format("ppdev: cannot claim %s: %s", path.c_str(), std::strerror(e));
        kernel.Close(fd);
        return nullptr;
    }
    return std::make_unique<PpdevPort>(kernel, fd, base, path, std::move(onFault));
}

#else

std::unique_ptr<PortIo> OpenPpdevPort(uint16_t base, const std::string& device, std::string& error,
                                      PortFaultHandler) {
    (void)device;
    error = Format("ppdev: not available on this system (port %X)", base);
    return nullptr;
}

#endif

}  // namespace krt
