// SPDX-License-Identifier: GPL-3.0-or-later
// A project: a saved job (device, data file and its format, range, the run's
// overrides), the batch's serial and log settings and a free note, in a small
// versioned JSON document, pretty-printed so that it diffs well. The window's
// Project menu saves and opens them; krt --project runs one.
#pragma once

#include <cstdint>
#include <string>

#include "session/Job.h"

namespace krt {

// The version this program writes; a project of a newer one is refused.
inline constexpr int kProjectVersion = 1;
// The value of the document's "kind" member: what tells a project of ours.
inline constexpr const char* kProjectKind = "krtwin-project";

struct Project {
    // The job: job.file is the data file's path as the program uses it
    // (saved relative to the project file's folder); operation is not saved.
    Job job;
    // The data file as it was when the project was saved: its size and a
    // digest of its bytes (empty: no file, or not known).
    uint64_t dataSize = 0;
    std::string dataDigest;
    // krt batch: the serial (ADDR:WIDTH:START[:STEP][:ENC]), the log file
    // (relative like the data file) and the count of chips (0: until ended).
    std::string batchSerial;
    std::string batchLog;
    uint32_t batchCount = 0;
    std::string note;
};

// Writes the project (UTF-8, pretty-printed); the data file's size and
// digest are taken from the file as it is now. The file is replaced only
// when written completely. False with why in error.
bool SaveProject(const std::string& path, Project& project, std::string& error);
// Why a project was not taken, for the face's status: the file (missing,
// not a regular file, not a project of ours, cut short, of a newer version,
// a member of the wrong kind) or a value that the same option on krt's
// command line refuses (a usage error there).
enum class ProjectRefusal : uint8_t { None, File, Value };

// Reads a project and turns it into its job: the one reader of both faces
// (krt --project and the window's Project menu). Its relative paths are
// made relative to the project's folder; every value is checked as krt's
// option parser checks the same option, and a refusal names the project
// file and the member. False with the reason in error (and in refusal, when
// given); project is then left as it was. A directory, a FIFO or a socket
// is refused before anything reads or waits on it.
bool LoadProject(const std::string& path, Project& project, std::string& error,
                 ProjectRefusal* refusal = nullptr);
// The same from the document's text (path names the file in messages and
// anchors relative paths).
bool ParseProject(const std::string& text, const std::string& path, Project& project, std::string& error,
                  ProjectRefusal* refusal = nullptr);
// How the data file differs from when the project was saved ("" when it
// does not, or nothing was kept): missing, or its size or contents changed.
std::string DataFileChange(const Project& project);
// The size and digest of a file's bytes; false when it cannot be read.
bool DigestFile(const std::string& path, uint64_t& size, std::string& digest);

}  // namespace krt
