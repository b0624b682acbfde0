// SPDX-License-Identifier: GPL-3.0-or-later
#include "KrtProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

namespace krt::test {

pid_t LaunchKrt(const KrtStart& start) {
    std::vector<std::string> argv = start.argv;
    const pid_t pid = fork();
    if (pid != 0) return pid;
    if (chdir(start.directory.c_str()) != 0) _exit(126);
    const int i = open(start.input.c_str(), O_RDONLY);
    const int o = open(start.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int e = open(start.error.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (i < 0 || o < 0 || e < 0) _exit(126);
    dup2(i, 0);
    dup2(o, 1);
    dup2(e, 2);
    for (int fd : start.closed) close(fd);
    setenv("XDG_CONFIG_HOME", start.configHome.c_str(), 1);
    if (start.asNobody) {
        const gid_t none[1] = {65534};
        if (setgroups(1, none) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(126);
    }
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    execv(raw[0], raw.data());
    _exit(127);
}

int WaitForKrt(pid_t pid) {
    int raw = 0;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(pid, &raw, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > giveUp) {
            kill(pid, SIGKILL);
            waitpid(pid, &raw, 0);
            ADD_FAILURE() << "krt did not end within a minute";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

void KrtDirTest::SetUp() {
    // A parameterised test's name ("Case/3") would make two folders, and
    // removing the inner one would leave the outer behind.
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    dir = std::filesystem::temp_directory_path() / (prefix_ + "-" + std::to_string(getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "config");
}

void KrtDirTest::TearDown() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

pid_t KrtDirTest::Launch(const Start& start, const std::string& tag) {
    const auto inDir = [this](const std::string& name) { return name[0] == '/' ? name : Path(name); };
    const std::string err = Path("err" + tag + ".txt");
    std::vector<std::string> argv = {program_};
    const auto namesPort = [](const std::string& a) { return a.rfind("--port", 0) == 0; };
    if (simulatorUnlessNamed && std::none_of(start.args.begin(), start.args.end(), namesPort))
        argv.push_back("--port=sim");
    argv.insert(argv.end(), start.args.begin(), start.args.end());
    // Emptied before the start, so that nothing of an earlier run is read.
    std::ofstream(err, std::ios::trunc).close();
    return LaunchKrt({dir.string(), argv, inDir(start.input), inDir(start.output), err, Path("config"),
                      start.otherUser, start.closed});
}

KrtRun KrtDirTest::Wait(pid_t pid, const Start& start, const std::string& tag) {
    KrtRun run;
    run.status = WaitForKrt(pid);
    if (start.output[0] != '/') run.out = Slurp(dir / start.output);
    run.err = Slurp(dir / ("err" + tag + ".txt"));
    return run;
}

}  // namespace krt::test
