// SPDX-License-Identifier: GPL-3.0-or-later
// The detection lines: for each unit, the revision rows in the order in
// which they are matched (the first match wins), each with its log lines in
// both languages and whether the revision counts as a working unit.
#pragma once

#include <cstdint>

namespace krt {

struct DetectionRow {
    uint8_t lowest;    // revision range, inclusive
    uint8_t highest;
    bool listed;       // a known, working revision
    const char* japanese[3];  // unused entries are null
    const char* english[3];
};

enum class KrtUnit { Krt1, Krt2 };

// The first row of the unit's table that matches the revision.
const DetectionRow& FindDetectionRow(KrtUnit unit, uint8_t revision);

}  // namespace krt
