// SPDX-License-Identifier: GPL-3.0-or-later
// Project files: a saved job reads back as the same job, its data file's
// changes are told, and a file that is not a project of ours (or of a newer
// version, or cut short) is refused with its reason and changes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "session/Project.h"
#include "support/KrtProcess.h"

namespace krt {
namespace {

namespace fs = std::filesystem;

// A folder of the test's own; Path names a file in it.
class ProjectFile : public test::KrtDirTest {
protected:
    ProjectFile() : KrtDirTest("krt-project", "") {}
    void Write(const std::string& name, const std::string& text) const { test::Spit(dir / name, text); }
};

TEST_F(ProjectFile, SavedJobReadsBackTheSameWithItsFileRelative) {
    fs::create_directories(dir / "images");
    Write("images/fw.hex", ":00000001FF\n");
    Project saved;
    saved.job.type = "EEPROM";
    saved.job.maker = "Atmel";
    saved.job.name = "AT28C64";
    saved.job.file = Path("images/fw.hex");
    saved.job.format = 1;
    saved.job.start = "000100";
    saved.job.length = "000200";
    saved.job.permittedErrors = 7;
    saved.job.overrides.waitMode = 2;
    saved.job.overrides.pageWrite = true;
    saved.job.overrides.idCheck = false;
    saved.job.overrides.changedOnly = true;
    saved.job.overrides.verify = false;
    saved.batchSerial = "10:2:100";
    saved.batchLog = Path("runs.log");
    saved.batchCount = 5;
    saved.note = "ボード A の ROM";
    std::string error;
    ASSERT_TRUE(SaveProject(Path("p.krtproj"), saved, error)) << error;
    const std::string text = test::Slurp(dir / "p.krtproj");
    EXPECT_NE(text.find("\"file\": \"images/fw.hex\""), std::string::npos) << text;

    // Read from another working folder: the paths follow the project file.
    Project read;
    ASSERT_TRUE(LoadProject(Path("p.krtproj"), read, error)) << error;
    const Job& a = saved.job;
    const Job& b = read.job;
    EXPECT_EQ(fs::weakly_canonical(b.file), fs::weakly_canonical(a.file));
    EXPECT_EQ(std::tie(b.type, b.maker, b.name, b.format, b.start, b.length, b.permittedErrors),
              std::tie(a.type, a.maker, a.name, a.format, a.start, a.length, a.permittedErrors));
    EXPECT_EQ(std::tie(b.overrides.waitMode, b.overrides.pageWrite, b.overrides.byteWrite, b.overrides.idCheck,
                       b.overrides.verify, b.overrides.changedOnly),
              std::tie(a.overrides.waitMode, a.overrides.pageWrite, a.overrides.byteWrite, a.overrides.idCheck,
                       a.overrides.verify, a.overrides.changedOnly));
    EXPECT_EQ(std::tie(read.batchSerial, read.batchCount, read.note),
              std::tie(saved.batchSerial, saved.batchCount, saved.note));
    EXPECT_EQ(fs::weakly_canonical(read.batchLog), fs::weakly_canonical(saved.batchLog));
    EXPECT_EQ(DataFileChange(read), "");

    // The data file changes: in size, in contents, or goes.
    Write("images/fw.hex", ":00000001FE\n");
    EXPECT_NE(DataFileChange(read).find("other contents"), std::string::npos);
    Write("images/fw.hex", ":00000001FF\n\n");
    EXPECT_NE(DataFileChange(read).find("12 bytes then, 13 now"), std::string::npos);
    fs::remove(Path("images/fw.hex"));
    EXPECT_NE(DataFileChange(read).find("missing"), std::string::npos);

    // Standard input stays standard input.
    saved.job.file = "-";
    ASSERT_TRUE(SaveProject(Path("p.krtproj"), saved, error)) << error;
    ASSERT_TRUE(LoadProject(Path("p.krtproj"), read, error)) << error;
    EXPECT_EQ(read.job.file, "-");
}

TEST_F(ProjectFile, WhatIsNotOurProjectIsRefusedWithItsReason) {
    const struct {
        const char* text;  // nullptr: no file at all
        const char* reason;
    } cases[] = {
        {"{\"kind\": \"other\", \"version\": 1}", "not a project file of this program"},
        {"S00600004844521B\n", "not a project file"},
        {"{\"kind\": \"krtwin-project\", \"version\": 1, \"device\": {\"type\": \"EPR", "cut short"},
        {"{\"kind\": \"krtwin-project\", \"version\": 9, \"device\": {}}", "newer version (9"},
        {"{\"kind\": \"krtwin-project\", \"version\": 1, \"device\": {\"type\": 3}}", "wrong kind"},
        {"{\"kind\": \"krtwin-project\", \"version\": 1, \"device\": {\"type\": \"\", \"maker\": \"\", "
         "\"name\": \"\"}}",
         "names no device"},
        {nullptr, "cannot open"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        fs::remove(Path("bad.krtproj"));
        if (c.text) Write("bad.krtproj", c.text);
        Project project;
        project.note = "untouched";
        std::string error;
        EXPECT_FALSE(LoadProject(Path("bad.krtproj"), project, error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(project.note, "untouched");
    }
}

}  // namespace
}  // namespace krt
