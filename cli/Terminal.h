// SPDX-License-Identifier: GPL-3.0-or-later
// What krt does differently when a stream is a terminal: the progress line
// that rewrites itself on standard error, and binary data on standard output.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "data/DataFile.h"

namespace krt {

// Whether krt may move the cursor on standard error: only on a terminal,
// and never when the user asked for plain output with NO_COLOR (any value
// but an empty one) or a dumb terminal (TERM=dumb). The environment's
// values as given (null when unset).
inline bool ControlSequencesWanted(bool terminal, const char* noColor, const char* term) {
    if (!terminal) return false;
    if (noColor && *noColor) return false;
    return !(term && std::strcmp(term, "dumb") == 0);
}

inline bool ControlSequencesWanted(int descriptor) {
    return ControlSequencesWanted(isatty(descriptor) == 1, std::getenv("NO_COLOR"), std::getenv("TERM"));
}

// Whether a data file written to standard output is refused because it
// would put binary data on a terminal (as gzip refuses): only when the
// output is a terminal and the format was left to the name, which makes
// standard output binary. --format names the format (a text one, or bin
// when binary is what the user wants to see); --force sends it anyway.
inline bool BinaryToTerminalRefused(bool terminal, uint32_t format, bool force) {
    return terminal && format == FORMAT_BY_NAME && !force;
}

inline constexpr const char* kBinaryToTerminalText =
    "binary data is not written to a terminal: redirect standard output to a file or a pipe, give "
    "--format hex, srec or jed for text, or --format bin or --force to send the binary data anyway";

}  // namespace krt
