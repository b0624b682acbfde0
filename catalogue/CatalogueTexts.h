// SPDX-License-Identifier: GPL-3.0-or-later
// Every text of the device catalogue for the user, in both languages.
#pragma once

#include <cstdint>

namespace krt {

enum class CatalogueText {
    ListLineError,    // %d: line number of DEVICE.LST
    ListOpenFailed,   // the window's message-box text when DEVICE.LST does not open
    RecordRefused,    // %s device name, %s reason
    NotListed,        // %s type, %s maker, %s device name
    PrintedNumber,    // %s the text searched, %s the part number inside it, %s the entry to use
};

// language 0 Japanese, anything else English.
const char* CatalogueTextOf(uint32_t language, CatalogueText text);

}  // namespace krt
