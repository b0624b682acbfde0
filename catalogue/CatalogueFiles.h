// SPDX-License-Identifier: GPL-3.0-or-later
// Where the catalogue lives and how its files are found on a case-sensitive
// file system.
#pragma once

#include <string>
#include <vector>

namespace krt {

// The directory of the running program; empty when it cannot be told.
std::string ProgramDirectory();

// Where the program's own data (the catalogue, the manual) may be, in order:
// the program's directory, <program>/../share/krtwin (an installation under
// any prefix), then the data directory of the prefix it was built for.
std::vector<std::string> DataDirectories();

// The directories searched for DEVICE.LST, in order: the override alone when
// it is given; else DataDirectories().
std::vector<std::string> CatalogueDirectories(const std::string& overrideDir);

// dir followed by name, each component of name matched without regard to
// case when the exact name is not there. When nothing matches, the exact
// joined path is returned (so that messages name what was asked for).
std::string ResolveCatalogueFile(const std::string& dir, const std::string& name);

// The first directory of CatalogueDirectories that holds a DEVICE.LST (in
// any case); empty when none does.
std::string FindCatalogueDirectory(const std::string& overrideDir);

// The path of the device list in dir ("DEVICE.LST", in any case).
std::string DeviceListPath(const std::string& dir);

}  // namespace krt
