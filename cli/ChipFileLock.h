// SPDX-License-Identifier: GPL-3.0-or-later
// The lock that keeps one simulated chip file to one run of krt at a time,
// and the checks of the paths around it.
//
// The lock is a POSIX advisory write lock over the whole file, held on an
// open file description (F_OFD_SETLK, so that the chip file's own readers and
// writers in this process, which open and close it, never drop it; plain
// F_SETLK where the system has no OFD locks). A chip file is saved by writing
// a new file and renaming it over the old one, which leaves the lock on the
// old file: so a lock counts only while the name still leads to the locked
// file. A missing chip file is made whole under a name of its own, locked,
// and then put in place without replacing anything.
#pragma once

#include <functional>
#include <string>

namespace krt {

class ChipFileLock {
public:
    enum class Outcome {
        Locked,    // the file is locked for this run (or there is none to lock)
        InUse,     // another run holds the lock
        Failed,    // the file cannot be used: error says why
    };

    // Makes the chip file at path (a blank chip of the device); false with
    // error when it cannot be saved, false with an empty error when the
    // device has no chip model (the file is then not made).
    using Maker = std::function<bool(const std::string& path, std::string& error)>;

    ChipFileLock() = default;
    ~ChipFileLock() { Release(); }
    ChipFileLock(const ChipFileLock&) = delete;
    ChipFileLock& operator=(const ChipFileLock&) = delete;

    // Locks the chip file at path (a symbolic link: its target). A missing
    // file is made by make, given a private name, and locked before it takes
    // the chip file's name (without make nothing is locked, as there is
    // nothing to keep). An empty file is locked as it is: reading it then
    // says it is no chip file. A directory or anything but a regular file
    // fails.
    Outcome Acquire(const std::string& path, const Maker& make, std::string& error);
    void Release();
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// True when a and b name the same file: the same inode when both exist,
// else the same absolute path once symbolic links and "." and ".." are
// resolved. "-" (standard output) is no file.
bool SameFile(const std::string& a, const std::string& b);


// Empty when the chip file at path can be saved after it changed (the user
// may write it, and its directory lets a new file be made there); else why not.
std::string ChipFileSaveProblem(const std::string& path);

}  // namespace krt
