// SPDX-License-Identifier: GPL-3.0-or-later
// The program's version as the build made it: the project's version, and
// the git description of the source when it was built from a git checkout.
#pragma once

namespace krt {

// For example "0.1.0" or "0.1.0 (v0.1.0-12-gabc1234)".
const char* ProgramVersion();

// The version number alone, for example "0.8.7": what the window's title
// and About box show and the package carries.
const char* ProgramVersionNumber();

}  // namespace krt
