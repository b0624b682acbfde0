// SPDX-License-Identifier: GPL-3.0-or-later
// The numbered status messages of the shell and the catalogue, in Japanese
// and English. Texts with %s and %d are formatted by the caller.
#pragma once

#include <cstdint>

namespace krt {

// Number of entries: codes 0 to kStatusMessageCount - 1.
inline constexpr int kStatusMessageCount = 59;

// The text shown for a code nobody defined.
inline constexpr const char* kUndefinedMessage = "(undefined strings,softwere bugs)";

// Language 0 Japanese, 1 English; any other language or code gives
// kUndefinedMessage. Never null.
const char* MessageText(int64_t language, int64_t code);

}  // namespace krt
