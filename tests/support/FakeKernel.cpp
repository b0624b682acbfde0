// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeKernel.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "sim/VirtualKrt.h"

namespace krt::test {

namespace fs = std::filesystem;

namespace {

// The first port's programmer keeps the time, as the simulator does.
class KrtClock final : public Clock {
public:
    explicit KrtClock(VirtualKrt* krt) : krt_(krt) {}
    std::chrono::nanoseconds now() override { return krt_->now(); }
    void sleepMs(unsigned ms) override { krt_->sleepMs(ms); }

private:
    VirtualKrt* krt_;
};

}  // namespace

FakeKernel::FakeKernel() {
    static int made = 0;
    root_ = fs::temp_directory_path() / ("krt-kernel-" + std::to_string(::getpid()) + "-" + std::to_string(++made));
    fs::remove_all(root_);
    fs::create_directories(root_);
    parportDir = (root_ / "parport").string();
    devDir = (root_ / "dev").string();
    procDir = (root_ / "proc").string();
    sysDir = (root_ / "sys").string();
    claimBound = std::chrono::milliseconds(300);
    WriteFiles();
    replaced_ = InstallSystemCalls(this);
}

FakeKernel::~FakeKernel() {
    InstallSystemCalls(replaced_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void FakeKernel::WriteFiles() {
    for (const char* dir : {"parport", "dev", "proc", "sys"}) fs::remove_all(root_ / dir);
    fs::create_directories(root_ / "dev");
    fs::create_directories(root_ / "proc");
    fs::create_directories(root_ / "sys");
    if (ppdev_) fs::create_directories(root_ / "sys" / "class" / "ppdev");
    if (!parport_) return;
    fs::create_directories(root_ / "parport" / "default");
    for (size_t n = 0; n < ports_.size(); ++n) {
        const Port& port = ports_[n];
        if (!port.present) continue;
        const fs::path dir = root_ / "parport" / port.name;
        fs::create_directories(dir / "devices");
        std::ofstream(dir / "base-addr") << port.base << "\t" << -1 << "\n";
        std::ofstream(dir / "devices" / "active") << (port.claimedBy == -1 ? "none" : "ppdev" + std::to_string(n))
                                                  << "\n";
        if (ppdev_) std::ofstream(root_ / "dev" / port.name) << "";
        const auto other = others_.find(static_cast<int>(n));
        if (other != others_.end()) {
            const fs::path process = root_ / "proc" / std::to_string(other->second.first);
            fs::create_directories(process / "fd");
            std::ofstream(process / "comm") << other->second.second << "\n";
            fs::create_symlink(root_ / "dev" / port.name, process / "fd" / "3");
        }
    }
}

int FakeKernel::AddPort(uint16_t base, VirtualKrt* krt) {
    std::lock_guard<std::mutex> lock(mutex_);
    Port port;
    port.base = base;
    port.name = "parport" + std::to_string(ports_.size());
    port.krt = krt;
    ports_.push_back(port);
    WriteFiles();
    return static_cast<int>(ports_.size() - 1);
}

void FakeKernel::LoadModules(bool parport, bool ppdev) {
    std::lock_guard<std::mutex> lock(mutex_);
    parport_ = parport;
    ppdev_ = parport && ppdev;
    WriteFiles();
}

void FakeKernel::RemovePort(int n) {
    std::lock_guard<std::mutex> lock(mutex_);
    ports_.at(n).present = false;
    WriteFiles();
    changed_.notify_all();
}

void FakeKernel::FailAccessesAfter(uint64_t count, int error) {
    std::lock_guard<std::mutex> lock(mutex_);
    failArmed_ = true;
    failAfter_ = count;
    failError_ = error;
}

void FakeKernel::HoldByOther(int n, int pid, const std::string& comm, bool exclusive) {
    std::lock_guard<std::mutex> lock(mutex_);
    Port& port = ports_.at(n);
    port.registered.insert(kOther);
    port.exclusive = port.exclusive || exclusive;
    if (port.claimedBy == -1) port.claimedBy = kOther;
    others_[n] = {pid, comm};
    WriteFiles();
}

void FakeKernel::LetGo(int n) {
    std::lock_guard<std::mutex> lock(mutex_);
    Port& port = ports_.at(n);
    port.registered.erase(kOther);
    port.exclusive = false;
    others_.erase(n);
    Release(kOther, port);
}

uint64_t FakeKernel::PermissionFaults() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return permissionFaults_;
}

uint64_t FakeKernel::SleptClaims() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sleptClaims_;
}

size_t FakeKernel::OpenFiles() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return files_.size();
}

int FakeKernel::Fail(int error) const {
    errno = error;
    return -1;
}

// ---------------------------------------------------------------- ppdev

int FakeKernel::Open(const char* path, int) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (openError_) return Fail(openError_);
    for (size_t n = 0; n < ports_.size(); ++n) {
        if (devDir + "/" + ports_[n].name != path) continue;
        if (!ppdev_ || !parport_) return Fail(ENOENT);
        // As ppdev's open: the port itself is looked for at the first claim.
        const int fd = nextFd_++;
        files_[fd] = File{static_cast<int>(n)};
        return fd;
    }
    return Fail(ENOENT);
}

int FakeKernel::Close(int fd) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = files_.find(fd);
    if (it == files_.end()) return Fail(EBADF);
    Port& port = ports_[it->second.port];
    if (it->second.claimed) Release(fd, port);
    if (it->second.registered) {
        port.registered.erase(fd);
        if (it->second.exclusive) port.exclusive = false;
    }
    files_.erase(it);
    changed_.notify_all();
    return 0;
}

void FakeKernel::Release(int holder, Port& port) {
    if (port.claimedBy != holder) return;
    port.claimedBy = -1;
    for (auto& [fd, file] : files_)
        if (fd == holder) file.claimed = false;
    WriteFiles();
    changed_.notify_all();
}

int FakeKernel::Claim(std::unique_lock<std::mutex>& lock, int fd, File& file) {
    Port& port = ports_[file.port];
    if (file.claimed) return Fail(EINVAL);
    if (!file.registered) {
        // The device is registered with the parport on the first claim.
        if (!port.present) return Fail(ENXIO);
        if (port.exclusive) return Fail(ENXIO);
        if (file.exclusive && !port.registered.empty()) return Fail(ENXIO);
        port.registered.insert(fd);
        port.exclusive = file.exclusive;
        file.registered = true;
    }
    if (port.claimedBy != -1) {
        ++sleptClaims_;
        Waiter waiter{pthread_self()};
        waiters_.push_back(&waiter);
        changed_.wait(lock, [&] { return port.claimedBy == -1 || waiter.interrupted; });
        waiters_.erase(std::find(waiters_.begin(), waiters_.end(), &waiter));
        if (port.claimedBy != -1) return Fail(EINTR);
    }
    port.claimedBy = fd;
    file.claimed = true;
    WriteFiles();
    return 0;
}

int FakeKernel::Access(File& file, unsigned long request, unsigned char* value) {
    Port& port = ports_[file.port];
    if (!file.claimed) return Fail(EINVAL);
    if (!port.present) return Fail(ENODEV);
    if (failArmed_) {
        if (failAfter_ == 0) return Fail(failError_);
        --failAfter_;
    }
    switch (request) {
        case PPWDATA: port.krt->write(port.base, *value); return 0;
        case PPRDATA: *value = port.krt->read(port.base); return 0;
        case PPRSTATUS: *value = port.krt->read(static_cast<uint16_t>(port.base + 1)); return 0;
        case PPWCONTROL:
            // The driver keeps the other bits (interrupt enable, direction).
            port.control = static_cast<uint8_t>((port.control & ~0x0F) | (*value & 0x0F));
            port.krt->write(static_cast<uint16_t>(port.base + 2), port.control);
            return 0;
        case PPRCONTROL: *value = port.control & 0x0F; return 0;
        default: return Fail(ENOTTY);
    }
}

int FakeKernel::Ioctl(int fd, unsigned long request, void* argument) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto it = files_.find(fd);
    if (it == files_.end()) return Fail(EBADF);
    File& file = it->second;
    switch (request) {
        case PPCLAIM: return Claim(lock, fd, file);
        case PPRELEASE:
            if (!file.claimed) return Fail(EINVAL);
            Release(fd, ports_[file.port]);
            return 0;
        case PPEXCL:
            if (file.registered) return file.exclusive ? 0 : Fail(EINVAL);
            file.exclusive = true;
            return 0;
        default: return Access(file, request, static_cast<unsigned char*>(argument));
    }
}

void FakeKernel::Interrupt(pthread_t thread) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Only a claim that sleeps now is woken; a signal that comes earlier
    // finds nothing to interrupt.
    for (Waiter* waiter : waiters_)
        if (pthread_equal(waiter->thread, thread)) waiter->interrupted = true;
    changed_.notify_all();
}

// ---------------------------------------------------------------- port I/O

int FakeKernel::Ioperm(unsigned long from, unsigned long count, int on) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (from + count > 0x10000 || from + count < from) return Fail(EINVAL);
    if (!rawIo_) return Fail(EPERM);
    std::set<uint16_t>& granted = permissions_[std::this_thread::get_id()];
    for (unsigned long port = from; port < from + count; ++port) {
        if (on) granted.insert(static_cast<uint16_t>(port));
        else granted.erase(static_cast<uint16_t>(port));
    }
    return 0;
}

FakeKernel::Port* FakeKernel::PortAt(uint16_t address) {
    for (Port& port : ports_)
        if (port.present && address >= port.base && address < port.base + 3) return &port;
    return nullptr;
}

uint8_t FakeKernel::Inb(uint16_t address) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!permissions_[std::this_thread::get_id()].count(address)) {
        ++permissionFaults_;
        return 0xFF;
    }
    Port* port = PortAt(address);
    return port ? port->krt->read(address) : 0xFF;
}

void FakeKernel::Outb(uint8_t value, uint16_t address) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!permissions_[std::this_thread::get_id()].count(address)) {
        ++permissionFaults_;
        return;
    }
    if (Port* port = PortAt(address)) port->krt->write(address, value);
}

std::unique_ptr<Clock> FakeKernel::MakeClock() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::make_unique<KrtClock>(ports_.empty() ? nullptr : ports_.front().krt);
}

}  // namespace krt::test
