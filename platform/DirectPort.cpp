// Direct I/O on x86: the process asks the kernel for the three printer-port
// addresses with ioperm and then reads and writes them with inb/outb.
#include <cerrno>
#include <cstring>

#include "base/Log.h"
#include "platform/Platform.h"

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
#include <sys/io.h>
#define KRT_HAVE_DIRECT_IO 1
#endif

namespace krt {

#ifdef KRT_HAVE_DIRECT_IO

namespace {

class DirectPort final : public PortIo {
public:
    explicit DirectPort(uint16_t base) : base_(base) {}
    ~DirectPort() override { ioperm(base_, kSpan, 0); }
    // Only the granted addresses are touched: anything else would fault.
    uint8_t read(uint16_t address) override {
        return Granted(address) ? inb(address) : 0xFF;
    }
    void write(uint16_t address, uint8_t value) override {
        if (Granted(address)) outb(value, address);
    }

    static constexpr unsigned kSpan = 3;

private:
    bool Granted(uint16_t address) const { return address >= base_ && unsigned(address - base_) < kSpan; }
    uint16_t base_;
};

}  // namespace

std::unique_ptr<PortIo> OpenDirectPort(uint16_t base, std::string& error) {
    if (base == 0 || static_cast<unsigned>(base) + DirectPort::kSpan > 0x400) {
        error = Format("direct I/O: port base %X is outside the range ioperm can grant (1 to 3FD)", base);
        return nullptr;
    }
    if (ioperm(base, DirectPort::kSpan, 1) != 0) {
        const int e = errno;
        if (e == EPERM)
            error = Format("direct I/O at %X: permission denied; it needs CAP_SYS_RAWIO "
                           "(run as root, or use --port ppdev as a member of the lp group)", base);
        else if (e == ENOSYS)
            error = Format("direct I/O at %X: this kernel gives no program the I/O ports (ioperm: %s; "
                           "a container or a virtual machine without port access); direct I/O needs x86 "
                           "Linux on the machine that has the printer port, with CAP_SYS_RAWIO. Use "
                           "--port ppdev there (the parport_pc and ppdev modules), or --port sim to work without "
                           "the hardware", base, std::strerror(e));
        else
            error = Format("direct I/O at %X: ioperm failed: %s; use --port ppdev (the parport_pc and "
                           "ppdev modules), or --port sim to work without the hardware", base, std::strerror(e));
        return nullptr;
    }
    return std::make_unique<DirectPort>(base);
}

#else

std::unique_ptr<PortIo> OpenDirectPort(uint16_t base, std::string& error) {
    error = Format("direct I/O at %X: only available on x86 Linux; use --port ppdev, or --port sim to "
                   "work without the hardware", base);
    return nullptr;
}

#endif

}  // namespace krt
