// SPDX-License-Identifier: GPL-3.0-or-later
// Devices named by their part number alone, and the catalogue searches of
// krt list --find and the shell completion.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/DeviceList.h"

namespace krt {

class CliSession;

// "TYPE MAKER NAME" of an entry.
std::string EntryLine(const DeviceList& list, int32_t entry);

// For a command that takes TYPE MAKER NAME: when its arguments give a part
// number in place of the three words, replaces it with them. Returns 0, or
// the exit status with the reason on stderr (an unknown word, a part number
// whose entries are programmed differently).
int ExpandPartNumber(CliSession& session, const std::string& command, std::vector<std::string>& args);

}  // namespace krt
