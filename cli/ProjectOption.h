// SPDX-License-Identifier: GPL-3.0-or-later
// krt --project FILE: a saved job as the defaults of one run of krt.
#pragma once

#include <string>
#include <vector>

namespace krt {

struct CliOptions;
struct Project;

// Reads the project and sets the options it holds (before the command
// line's own options are applied, which then take precedence). 0, or the
// exit status with why on stderr.
int LoadProjectOptions(const std::string& path, Project& project, CliOptions& options);
// Puts the project's device (and data file) in front of the command's
// words when the command does not name them. 0, or the exit status.
int ProjectWordsFor(const Project& project, const std::string& command, std::vector<std::string>& words);

}  // namespace krt
