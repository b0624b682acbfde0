// Linux ppdev: the parport driver owns the hardware; we claim the port and
// move the three registers through its ioctls. No root needed, only access
// to /dev/parportN (the lp group).
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

#include "base/Log.h"
#include "platform/Platform.h"

#ifdef __linux__
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#endif

namespace krt {

std::string FindParportDevice(uint16_t base, const std::string& procRoot,
                              const std::string& devRoot, std::string& error) {
    DIR* dir = opendir(procRoot.c_str());
    if (!dir) {
        error = Format("ppdev: no parallel port at %X: %s does not exist "
                       "(load the parport_pc module: sudo modprobe parport_pc; or, to work without the "
                       "hardware, give --port sim)", base, procRoot.c_str());
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
    if (found.empty())
        error = Format("ppdev: no parallel port at %X (none of %s/parport* has that base address); "
                       "check --port-base", base, procRoot.c_str());
    return found;
}

#ifdef __linux__

namespace {

class PpdevPort final : public PortIo {
public:
    PpdevPort(int fd, uint16_t base) : fd_(fd), base_(base) {}
    ~PpdevPort() override {
        ioctl(fd_, PPRELEASE);
        close(fd_);
    }
    uint8_t read(uint16_t address) override {
        unsigned char value = 0xFF;
        switch (address - base_) {
            case 0: ioctl(fd_, PPRDATA, &value); break;
            case 1: ioctl(fd_, PPRSTATUS, &value); break;
            case 2: ioctl(fd_, PPRCONTROL, &value); break;
            default: break;
        }
        return value;
    }
    void write(uint16_t address, uint8_t value) override {
        unsigned char v = value;
        switch (address - base_) {
            case 0: ioctl(fd_, PPWDATA, &v); break;
            case 2: ioctl(fd_, PPWCONTROL, &v); break;
            default: break;  // the status register cannot be written
        }
    }

private:
    int fd_;
    uint16_t base_;
};

}  // namespace

std::unique_ptr<PortIo> OpenPpdevPort(uint16_t base, const std::string& device, std::string& error) {
    std::string path = device;
    if (path.empty()) {
        path = FindParportDevice(base, "/proc/sys/dev/parport", "/dev", error);
        if (path.empty()) return nullptr;
    }
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (e == EACCES || e == EPERM)
            error = Format("ppdev: %s: permission denied; add the user to the lp group "
                           "(sudo adduser $USER lp, then log in again)", path.c_str());
        else if (e == ENOENT || e == ENXIO || e == ENODEV)
            error = Format("ppdev: %s does not exist (load the ppdev module: sudo modprobe ppdev)",
                           path.c_str());
        else if (e == EBUSY)
            error = Format("ppdev: %s is busy (another program holds the port)", path.c_str());
        else if (e == EISDIR)
            error = Format("ppdev: %s is a directory; name the port's device, /dev/parportN", path.c_str());
        else
            error = Format("ppdev: cannot open %s: %s", path.c_str(), std::strerror(e));
        return nullptr;
    }
    if (ioctl(fd, PPCLAIM) != 0) {
        const int e = errno;
        if (e == EBUSY)
            error = Format("ppdev: %s is busy (another driver or program holds the port, "
                           "for example the lp printer driver)", path.c_str());
        else if (e == ENOTTY || e == EINVAL)
            error = Format("ppdev: %s is not a ppdev parallel port (%s); name /dev/parportN",
                           path.c_str(), std::strerror(e));
        else
            error = Format("ppdev: cannot claim %s: %s", path.c_str(), std::strerror(e));
        close(fd);
        return nullptr;
    }
    return std::make_unique<PpdevPort>(fd, base);
}

#else

std::unique_ptr<PortIo> OpenPpdevPort(uint16_t base, const std::string& device, std::string& error) {
    (void)device;
    error = Format("ppdev: not available on this system (port %X)", base);
    return nullptr;
}

#endif

}  // namespace krt
