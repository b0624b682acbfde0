#include "cli/ChipFileLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/Log.h"

namespace krt {

namespace {

namespace fs = std::filesystem;

// A write lock (or a read lock on a file opened read-only) over the whole
// file, owned by the open file description where the system can.
bool LockWhole(int fd, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
#ifdef F_OFD_SETLK
    if (fcntl(fd, F_OFD_SETLK, &lock) == 0) return true;
    if (errno != EINVAL) return false;
#endif
    return fcntl(fd, F_SETLK, &lock) == 0;
}

bool SameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The absolute path a name leads to: symbolic links followed (also a last
// one that points to nothing yet), "." and ".." resolved.
fs::path Resolved(const std::string& name) {
    std::error_code ec;
    fs::path path = fs::absolute(name, ec);
    if (ec) return fs::path(name).lexically_normal();
    for (int hops = 0; hops < 40 && fs::is_symlink(path, ec); ++hops) {
        const fs::path target = fs::read_symlink(path, ec);
        if (ec) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    fs::path canonical = fs::weakly_canonical(path, ec);
    return (ec ? path : canonical).lexically_normal();
}

}  // namespace

ChipFileLock::Outcome ChipFileLock::Acquire(const std::string& path, const Maker& make, std::string& error) {
    Release();
    error.clear();
    // The lock on an empty file while the chip that replaces it is made.
    int hold = -1;
    auto finish = [&hold](Outcome outcome) {
        if (hold >= 0) ::close(hold);
        return outcome;
    };
    for (int attempt = 0; attempt < 8; ++attempt) {
        bool created = false;
        short type = F_WRLCK;
        int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)) {
            // A chip file this user may only read: a read lock still keeps
            // out every run that would change it.
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
            type = F_RDLCK;
        }
        if (fd < 0 && errno == ENOENT) {
            if (!make) return finish(Outcome::Locked);  // nothing there, nothing will be saved
            fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
            if (fd < 0 && errno == EEXIST) continue;  // another run made it first
            if (fd < 0) {
                error = Format("cannot create the chip file %s: %s", path.c_str(), std::strerror(errno));
                return finish(Outcome::Failed);
            }
            created = true;
        }
        if (fd < 0) {
            if (errno == EISDIR)
                error = Format("the chip file %s is a directory; --sim-chip wants a chip file (created when missing)",
                               path.c_str());
            else
                error = Format("cannot open the chip file %s: %s", path.c_str(), std::strerror(errno));
            return finish(Outcome::Failed);
        }
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            error = S_ISDIR(opened.st_mode)
                        ? Format("the chip file %s is a directory; --sim-chip wants a chip file (created when missing)",
                                 path.c_str())
                        : Format("the chip file %s is not a regular file", path.c_str());
            return finish(Outcome::Failed);
        }
        if (!LockWhole(fd, type)) {
            const int e = errno;
            ::close(fd);
            if (e == EAGAIN || e == EACCES) return finish(Outcome::InUse);
            error = Format("cannot lock the chip file %s: %s", path.c_str(), std::strerror(e));
            return finish(Outcome::Failed);
        }
        // Another run may have replaced the file between the open and the lock.
        struct stat named {};
        if (::stat(path.c_str(), &named) != 0 || !SameInode(named, opened)) {
            ::close(fd);
            continue;
        }
        if (opened.st_size == 0 && make) {
            // Ours to fill: just created, or left empty by a run stopped while
            // it made the file. The lock keeps others out while the chip is
            // made and renamed over it; then the made file is locked.
            if (hold >= 0) ::close(hold);
            hold = fd;
            std::string why;
            if (!make(path, why)) {
                if (created) ::unlink(path.c_str());
                if (why.empty()) return finish(Outcome::Locked);  // no chip model: no file
                error = why;
                return finish(Outcome::Failed);
            }
            continue;
        }
        fd_ = fd;
        return finish(Outcome::Locked);
    }
    error = Format("the chip file %s keeps being replaced by another program", path.c_str());
    return finish(Outcome::Failed);
}

void ChipFileLock::Release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty() || a == "-" || b == "-") return false;
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0) return SameInode(sa, sb);
    return Resolved(a) == Resolved(b);
}

std::string InputFileProblem(const std::string& path) {
    if (path == "-") return {};
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    if (S_ISFIFO(st.st_mode))
        return "a FIFO: krt reads one only as standard input, with - as the file name and the FIFO "
               "redirected to it";
    if (S_ISSOCK(st.st_mode)) return "it is a socket, not a file";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    return {};
}

std::string ChipFileSaveProblem(const std::string& path) {
    fs::path directory = fs::path(path).parent_path();
    if (directory.empty()) directory = ".";
    // A chip file is saved by making a new file beside it and renaming it.
    if (::access(directory.c_str(), W_OK | X_OK) != 0)
        return Format("its directory %s does not let a new file be made there: %s", directory.c_str(),
                      std::strerror(errno));
    return {};
}

}  // namespace krt
