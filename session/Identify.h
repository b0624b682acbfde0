// SPDX-License-Identifier: GPL-3.0-or-later
// Identify a chip: the product ID of the 5 V flash command set, read from
// the chip in the socket, and the catalogue entries whose "chipid" is that
// pair (maker and device code together: one device code serves several
// makers). Both faces run it through here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/DeviceLoader.h"
#include "session/Session.h"

namespace krt {

struct IdentifyReport {
    // RESULT_OK when a chip answered, RESULT_NOT_FOUND when nothing did
    // (the ID reads are the plain data of addresses 0 and 1), RESULT_FATAL
    // when the programmer stopped answering.
    uint8_t result = 0;
    bool answered = false;
    uint8_t maker = 0xFF, device = 0xFF;
    std::vector<std::string> matches;  // "TYPE MAKER NAME" of each matching entry
    std::string line;                  // the line for the user, in the language asked
    // Bytes the ID's command cycles changed (a chip without protection takes
    // them as data): written back, and those that did not take their old
    // value; each said in its own line for the user.
    uint32_t restored = 0, lost = 0;
    std::string restoreLine;
};

// The chip is left as it was found: what the command cycles changed is
// written back (see ZVFLASH5V::ReadProductIdKeepingChip).
// `entry` 3: AA 55 90 (the JEDEC form, which nearly every part takes); 6:
// AA 55 80 AA 55 60 (Winbond's W29EE011 and W29C020 take only this).
IdentifyReport IdentifyChip(Session& session, const Catalogue& catalogue, uint32_t language, uint8_t entry = 3);

// The entries of the catalogue with this ID pair, "TYPE MAKER NAME" each.
std::vector<std::string> EntriesWithId(const Catalogue& catalogue, uint8_t maker, uint8_t device);

}  // namespace krt
