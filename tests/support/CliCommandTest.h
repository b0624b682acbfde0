// SPDX-License-Identifier: GPL-3.0-or-later
// krt's device commands run through the command table on the simulated
// programmer, one session per run as separate krt runs are, in a directory
// of the test's own with the log collected.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "sim/VirtualKrt.h"
#include "support/RecordingPort.h"

namespace krt::test {

// krt's whole command line run in this process, its two streams captured.
inline int RunCliCaptured(const std::vector<std::string>& line, std::string& out, std::string& err) {
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    const int status = RunCli(line);
    out = testing::internal::GetCapturedStdout();
    err = testing::internal::GetCapturedStderr();
    return status;
}

// The device's three names and then the file.
inline std::vector<std::string> With(std::vector<std::string> device, const std::string& file) {
    device.push_back(file);
    return device;
}

class CliCommandTest : public ::testing::Test {
protected:
    explicit CliCommandTest(std::string prefix) : prefix_(std::move(prefix)) {}
    void SetUp() override {
        RegisterDeviceCommands(table);
        dir = std::filesystem::temp_directory_path() /
              (prefix_ + "-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    // A fresh session on the simulator with the chip file chip (none when empty).
    CliSession& NewSession(const std::string& chip = "c.chip") {
        session = std::make_unique<CliSession>();
        auto collecting = std::make_unique<CollectingLog>();
        log = collecting.get();
        session->log = std::move(collecting);
        session->options.port = "sim";
        session->options.catalogue = std::string(KRT_SOURCE_DIR) + "/devices";
        if (!chip.empty()) session->options.simChip = Path(chip);
        return *session;
    }
    int Execute(const std::string& name, const std::vector<std::string>& args) {
        auto it = std::find_if(table.begin(), table.end(), [&](const CliCommand& c) { return name == c.name; });
        if (it == table.end()) {
            ADD_FAILURE() << "no command " << name;
            return -1;
        }
        return it->run(*session, args);
    }
    // The last run's simulated programmer: a run that failed before the
    // port opened has none, so check it before use.
    VirtualKrt* Sim() const { return session ? session->Simulator() : nullptr; }

    bool Has(const std::string& line) const {
        const Lines lines = log->lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    bool HasLineWith(const std::string& part) const {
        for (const auto& l : log->lines())
            if (l.find(part) != std::string::npos) return true;
        return false;
    }
    size_t CountStarting(const std::string& prefix) const {
        size_t n = 0;
        for (const auto& l : log->lines()) n += l.rfind(prefix, 0) == 0;
        return n;
    }

    std::vector<CliCommand> table;
    std::unique_ptr<CliSession> session;
    CollectingLog* log = nullptr;
    std::filesystem::path dir;

private:
    std::string prefix_;
};

}  // namespace krt::test
