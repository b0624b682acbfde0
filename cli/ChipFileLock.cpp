// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ChipFileLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "base/Log.h"
#include "sim/ChipFile.h"

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

namespace {

// A new, empty file of a unique name beside path (exclusive: never a link
// planted there). The descriptor, -1 with errno set.
int CreateBeside(const std::string& path, std::string& made) {
    std::random_device seed;
    std::mt19937_64 random((static_cast<uint64_t>(seed()) << 32) ^ seed() ^ static_cast<uint64_t>(::getpid()));
    const fs::path target(path);
    for (int attempt = 0; attempt < 32; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%012llx.new.tmp",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        const std::string candidate = (target.parent_path() / ("." + target.filename().string() + suffix)).string();
        const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            made = candidate;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

ChipFileLock::Outcome ChipFileLock::Acquire(const std::string& named, const Maker& make, std::string& error) {
    Release();
    error.clear();
    // A link names its target: that is the file locked, made and saved.
    const std::string path = ChipFileTarget(named);
    for (int attempt = 0; attempt < 8; ++attempt) {
        short type = F_WRLCK;
        int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)) {
            // A chip file this user may only read: a read lock still keeps
            // out every run that would change it.
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
            type = F_RDLCK;
        }
        if (fd < 0 && errno == ENOENT) {
            if (!make) return Outcome::Locked;  // nothing there, nothing will be saved
            // The chip is made complete under a name of its own, locked, and
            // only then linked in under the chip file's name, which fails
            // when another run made the file first. So the name never leads
            // to an empty or half-made chip file.
            std::string made;
            const int scratch = CreateBeside(path, made);
            if (scratch < 0) {
                error = Format("cannot create the chip file %s: %s", named.c_str(), std::strerror(errno));
                return Outcome::Failed;
            }
            ::close(scratch);
            std::string why;
            if (!make(made, why)) {
                ::unlink(made.c_str());
                if (why.empty()) return Outcome::Locked;  // no chip model: no file
                error = why;
                return Outcome::Failed;
            }
            const int madeFd = ::open(made.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
            if (madeFd < 0 || !LockWhole(madeFd, F_WRLCK)) {
                const int e = errno;
                if (madeFd >= 0) ::close(madeFd);
                ::unlink(made.c_str());
                error = Format("cannot create the chip file %s: %s", named.c_str(), std::strerror(e));
                return Outcome::Failed;
            }
            // Renamed without replacing anything; a file system that cannot
            // do that takes a hard link.
            bool linked = ::renameat2(AT_FDCWD, made.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0;
            int e = errno;
            if (!linked && (e == EINVAL || e == ENOSYS || e == ENOTSUP)) {
                linked = ::link(made.c_str(), path.c_str()) == 0;
                e = errno;
                ::unlink(made.c_str());
            } else if (!linked) {
                ::unlink(made.c_str());
            }
            if (linked) {
                fd_ = madeFd;
                return Outcome::Locked;
            }
            ::close(madeFd);
            if (e == EEXIST) continue;  // another run made it first
            error = Format("cannot create the chip file %s: %s", named.c_str(), std::strerror(e));
            return Outcome::Failed;
        }
        if (fd < 0) {
            if (errno == EISDIR)
                error = Format("the chip file %s is a directory; --sim-chip wants a chip file (created when missing)",
                               named.c_str());
            else
                error = Format("cannot open the chip file %s: %s", named.c_str(), std::strerror(errno));
            return Outcome::Failed;
        }
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            error = S_ISDIR(opened.st_mode)
                        ? Format("the chip file %s is a directory; --sim-chip wants a chip file (created when missing)",
                                 named.c_str())
                        : Format("the chip file %s is not a regular file", named.c_str());
            return Outcome::Failed;
        }
        if (!LockWhole(fd, type)) {
            const int e = errno;
            ::close(fd);
            if (e == EAGAIN || e == EACCES) return Outcome::InUse;
            error = Format("cannot lock the chip file %s: %s", named.c_str(), std::strerror(e));
            return Outcome::Failed;
        }
        // Another run may have replaced the file between the open and the lock.
        struct stat now {};
        if (::stat(path.c_str(), &now) != 0 || !SameInode(now, opened)) {
            ::close(fd);
            continue;
        }
        // An empty file is kept as it is: it is no chip file, and reading it
        // says so (a file is never left empty by a run of krt).
        fd_ = fd;
        return Outcome::Locked;
    }
    error = Format("the chip file %s keeps being replaced by another program", named.c_str());
    return Outcome::Failed;
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

std::string ChipFileSaveProblem(const std::string& path) {
    const std::string target = ChipFileTarget(path);
    // A file this user may not write is not replaced by a save.
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && ::access(target.c_str(), W_OK) != 0)
        return Format("the file may not be written: %s", std::strerror(errno));
    fs::path directory = fs::path(target).parent_path();
    if (directory.empty()) directory = ".";
    // A chip file is saved by making a new file beside it and renaming it.
    if (::access(directory.c_str(), W_OK | X_OK) != 0)
        return Format("its directory %s does not let a new file be made there: %s", directory.c_str(),
                      std::strerror(errno));
    return {};
}

}  // namespace krt
