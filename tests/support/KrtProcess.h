// SPDX-License-Identifier: GPL-3.0-or-later
// The built krt started as a shell starts it: in a directory of the test's,
// with its standard streams on files, its own settings directory, and
// optionally as the user nobody; and waited for with a bound.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace krt::test {

// A whole file as bytes (empty when it cannot be read), and a file made of bytes.
inline std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
inline void Spit(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct KrtStart {
    std::string directory;                 // the working directory
    std::vector<std::string> argv;         // the program first
    std::string input, output, error;      // absolute paths of the three streams
    std::string configHome;                // XDG_CONFIG_HOME of the run
    bool asNobody = false;                 // drop to the user nobody (the tests run as root)
};

// Forks and executes; the parent gets the process id.
pid_t LaunchKrt(const KrtStart& start);

// The exit status once the process has ended; -1 when a signal ended it.
// A process still running after a minute is killed and the test fails.
int WaitForKrt(pid_t pid);

}  // namespace krt::test
