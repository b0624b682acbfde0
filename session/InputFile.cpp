// SPDX-License-Identifier: GPL-3.0-or-later
// What keeps a file from being read, looked at before anything reads or
// waits on it. A source of its own, so that the project reader's fuzz
// target takes it without the rest of the session.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "session/Job.h"

namespace krt {

std::string InputFileProblem(const std::string& path) {
    namespace fs = std::filesystem;
    if (path == kStandardStream) return {};
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error) return error.message();
    if (fs::is_directory(status)) return std::generic_category().message(EISDIR);
    if (fs::is_fifo(status))
        return "a FIFO: krt reads one only as standard input, with - as the file name and the FIFO "
               "redirected to it";
    if (fs::is_socket(status)) return "it is a socket, not a file";
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::generic_category().message(errno ? errno : EACCES);
    std::fclose(file);
    return {};
}

}  // namespace krt
