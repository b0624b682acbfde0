// SPDX-License-Identifier: GPL-3.0-or-later
// krt --project: a saved job runs as the full command line does, and an
// option on the line takes precedence over the project's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "session/Project.h"
#include "support/CliCommandTest.h"

namespace krt {
namespace {

namespace fs = std::filesystem;

TEST(ProjectOption, SavedJobRunsAsTheFullCommandAndTheLineTakesPrecedence) {
    const fs::path dir = fs::temp_directory_path() / ("krt-project-cli-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string file = (dir / "fw.bin").string();
    std::ofstream(file, std::ios::binary) << "hello world";
    Project project;
    project.job.type = "EEPROM";
    project.job.maker = "Atmel";
    project.job.name = "AT28C64";
    project.job.file = file;
    project.job.length = "4";
    std::string error;
    ASSERT_TRUE(SaveProject((dir / "p.krtproj").string(), project, error)) << error;
    const std::string chip = (dir / "c.chip").string();
    const std::string saved = (dir / "p.krtproj").string();

    std::string out, err, fullOut, fullErr;
    EXPECT_EQ(test::RunCliCaptured({"--port", "sim", "--sim-chip", chip, "--project", saved, "write"}, out, err), 0)
        << err;
    EXPECT_EQ(test::RunCliCaptured({"--port", "sim", "--sim-chip", (dir / "d.chip").string(), "--length", "4",
                                    "write", "EEPROM", "Atmel", "AT28C64", file},
                                   fullOut, fullErr),
              0);
    EXPECT_EQ(out, fullOut);
    // Four bytes were written: the project's length passes, the line's longer one does not.
    EXPECT_EQ(test::RunCliCaptured({"--port", "sim", "--sim-chip", chip, "--project", saved, "verify"}, out, err),
              0);
    EXPECT_EQ(test::RunCliCaptured({"--port", "sim", "--sim-chip", chip, "--project", saved, "--length", "8",
                                    "verify"},
                                   out, err),
              3);
    EXPECT_EQ(test::RunCliCaptured({"--project", (dir / "none.krtproj").string(), "sum"}, out, err), kExitNoInput);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace krt
