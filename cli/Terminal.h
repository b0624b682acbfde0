// SPDX-License-Identifier: GPL-3.0-or-later
// Whether krt may move the cursor on standard error (the progress line that
// rewrites itself): only on a terminal that understands it, and never when
// the user asked for plain output with NO_COLOR or a dumb terminal.
#pragma once

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace krt {

inline bool ControlSequencesWanted(int descriptor) {
    if (isatty(descriptor) != 1) return false;
    const char* noColor = std::getenv("NO_COLOR");
    if (noColor && *noColor) return false;
    const char* term = std::getenv("TERM");
    return !(term && std::strcmp(term, "dumb") == 0);
}

}  // namespace krt
