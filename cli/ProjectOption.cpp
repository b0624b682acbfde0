// SPDX-License-Identifier: GPL-3.0-or-later
// krt --project FILE COMMAND: the project's job fills what the command line
// leaves out. The project's settings come before the line's options, so any
// option on the line takes precedence; the device (and the data file) are
// put in front of the command's words when the command does not name them.
#include "cli/ProjectOption.h"

#include <cstdio>
#include <string>

#include "cli/Cli.h"
#include "session/Project.h"

namespace krt {

namespace {

// How many words a command takes after its device words: the file of the
// commands that need one.
struct ProjectWords {
    const char* command;
    bool file;
};

constexpr ProjectWords kProjectWords[] = {
    {"read", true},     {"write", true},   {"verify", true},  {"auto", true},    {"sum", true},
    {"compare", true},  {"blank", false},  {"erase", false},  {"secure", false}, {"option", false},
    {"info", false},
};

}  // namespace

int LoadProjectOptions(const std::string& path, Project& project, CliOptions& options) {
    std::string error;
    ProjectRefusal refusal = ProjectRefusal::None;
    if (!LoadProject(path, project, error, &refusal)) {
        std::fprintf(stderr, "krt: %s\n", error.c_str());
        return refusal == ProjectRefusal::Value ? kExitUsage : kExitNoInput;
    }
    const Job& job = project.job;
    options.start = job.start;
    options.length = job.length;
    if (job.permittedErrors != 100) options.errors = std::to_string(job.permittedErrors);
    options.format = job.format;
    options.waitMode = job.overrides.waitMode;
    options.pageWrite = job.overrides.pageWrite;
    options.byteWrite = job.overrides.byteWrite;
    options.noIdCheck = !job.overrides.idCheck;
    options.noVerify = !job.overrides.verify;
    options.changedOnly = job.overrides.changedOnly;
    options.batchSerial = project.batchSerial;
    options.batchLog = project.batchLog;
    options.batchCount = project.batchCount;
    return 0;
}

int ProjectWordsFor(const Project& project, const std::string& command, std::vector<std::string>& words) {
    const Job& job = project.job;
    const std::vector<std::string> device = {job.type, job.maker, job.name};
    if (command == "batch") {
        // krt --project FILE batch [auto|write]: the device and the file follow.
        if (words.size() > 1) return 0;
        if (words.empty()) words.push_back("auto");
        words.insert(words.end(), device.begin(), device.end());
        words.push_back(job.file);
        return 0;
    }
    for (const ProjectWords& p : kProjectWords) {
        if (command != p.command) continue;
        // Words already there are the command's own: a file alone, or nothing.
        const size_t own = words.size();
        if (own >= 3) return 0;
        words.insert(words.begin(), device.begin(), device.end());
        if (p.file && own == 0) {
            // A read writes its file: the project's data file (the image
            // the project programs) is replaced only when the user names it.
            if (command == "read") {
                std::fprintf(stderr,
                             "krt: read with --project writes the chip's contents into a file: name it after read "
                             "(the project's data file is replaced only when named)\n");
                return kExitUsage;
            }
            if (job.file.empty()) {
                std::fprintf(stderr, "krt: the project names no data file; give one after the command\n");
                return kExitUsage;
            }
            words.push_back(job.file);
        }
        // A data file that changed since the project was saved is said, not refused.
        if (p.file && own == 0) {
            const std::string change = DataFileChange(project);
            if (!change.empty()) std::fprintf(stderr, "krt: note: %s\n", change.c_str());
        }
        return 0;
    }
    std::fprintf(stderr, "krt: --project is for the device commands, sum, info and batch, not %s\n", command.c_str());
    return kExitUsage;
}

}  // namespace krt
