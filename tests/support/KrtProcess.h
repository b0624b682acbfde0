// SPDX-License-Identifier: GPL-3.0-or-later
// The built krt started as a shell starts it: in a directory of the test's,
// with its standard streams on files, its own settings directory, and
// optionally as the user nobody; and waited for with a bound.
#pragma once

#include <gtest/gtest.h>
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
    std::vector<int> closed = {};          // standard descriptors closed at the start (a daemon's, >&-)
};

// Forks and executes; the parent gets the process id.
pid_t LaunchKrt(const KrtStart& start);

// The exit status once the process has ended; -1 when a signal ended it.
// A process still running after a minute is killed and the test fails.
int WaitForKrt(pid_t pid);

// What one run left: its exit status (-1 when a signal ended it) and what it printed.
struct KrtRun {
    int status = -1;
    std::string out, err;
};

// How one run is started.
struct Start {
    std::vector<std::string> args;
    std::string input = "/dev/null";  // standard input, in the test's directory unless absolute
    std::string output = "out.txt";   // standard output, likewise
    bool otherUser = false;           // as the user nobody (only when the tests run as root)
    std::vector<int> closed = {};     // of 0, 1 and 2: closed instead of opened
};

// The parts of a command line, joined.
inline std::vector<std::string> Args(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A test whose runs of the program (krt) happen in a directory of its own,
// named after the test, with an empty settings directory (dir/config).
class KrtDirTest : public testing::Test {
protected:
    KrtDirTest(std::string prefix, std::string program) : prefix_(std::move(prefix)), program_(std::move(program)) {}
    void SetUp() override;
    void TearDown() override;

    // Starts krt; its standard error goes to err<tag>.txt, emptied first.
    pid_t Launch(const Start& start, const std::string& tag = "");
    // Waits for the process and collects what it printed.
    KrtRun Wait(pid_t pid, const Start& start, const std::string& tag = "");
    KrtRun Krt(const Start& start) { return Wait(Launch(start), start); }
    KrtRun Krt(const std::vector<std::string>& args) { return Krt(Start{args}); }
    std::string Path(const std::string& name) const { return (dir / name).string(); }

    std::filesystem::path dir;
    // Runs that name no port get --port=sim.
    bool simulatorUnlessNamed = false;

private:
    std::string prefix_, program_;
};

}  // namespace krt::test
