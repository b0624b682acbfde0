// SPDX-License-Identifier: GPL-3.0-or-later
// krt --project: a saved job runs as the full command line does, and an
// option on the line takes precedence over the project's.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "session/Project.h"
#include "support/CliCommandTest.h"
#include "support/KrtProcess.h"

namespace krt {
namespace {

class ProjectOption : public test::KrtDirTest {
protected:
    ProjectOption() : KrtDirTest("krt-project-cli", KRT_CLI_PATH) {}
};

TEST_F(ProjectOption, SavedJobRunsAsTheFullCommandAndTheLineTakesPrecedence) {
    const std::string file = Path("fw.bin"), saved = Path("p.krtproj");
    test::Spit(file, "hello world");
    Project project;
    project.job.type = "EEPROM";
    project.job.maker = "Atmel";
    project.job.name = "AT28C64";
    project.job.file = file;
    project.job.length = "4";
    std::string error, out, err, fullOut;
    ASSERT_TRUE(SaveProject(saved, project, error)) << error;
    const auto run = [&](const char* chip, std::vector<std::string> line, std::string& output) {
        line.insert(line.begin(), {"--port", "sim", "--sim-chip", Path(chip)});
        return test::RunCliCaptured(line, output, err);
    };
    EXPECT_EQ(run("c.chip", {"--project", saved, "write"}, out), 0) << err;
    EXPECT_EQ(run("d.chip", {"--length", "4", "write", "EEPROM", "Atmel", "AT28C64", file}, fullOut), 0) << err;
    EXPECT_EQ(out, fullOut);
    // Four bytes were written: the project's length passes, the line's longer one does not.
    EXPECT_EQ(run("c.chip", {"--project", saved, "verify"}, out), 0) << err;
    EXPECT_EQ(run("c.chip", {"--project", saved, "--length", "8", "verify"}, out), 3);
    EXPECT_EQ(run("c.chip", {"--project", Path("none.krtproj"), "sum"}, out), kExitNoInput);
    // The line's own words: a file alone, or the device as well.
    EXPECT_EQ(run("c.chip", {"--project", saved, "verify", file}, out), 0) << err;
    EXPECT_EQ(run("e.chip", {"--project", saved, "blank", "EEPROM", "Atmel", "AT28C64"}, out), 0) << err;
    // blank needs no data file: the project's may be gone.
    std::filesystem::remove(file);
    EXPECT_EQ(run("e.chip", {"--project", saved, "blank"}, out), 0) << err;
}

}  // namespace
}  // namespace krt
