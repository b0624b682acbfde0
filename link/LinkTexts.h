// SPDX-License-Identifier: GPL-3.0-or-later
// The link's own lines for the log and the result-code texts.
#pragma once

#include <cstdint>

namespace krt {

// The link's own lines, [0] Japanese and [1] English, posted in the link's
// language (LinkLine).
inline constexpr const char* kPortFallbackLine[2] = {
    "プリンターポートが見つかりません。標準の0x378を使います",
    "Printer port not found: using the standard 0x378"};
inline constexpr const char* kTimerOverflowLine[2] = {"この値にはセットできません",
                                                       "The timer cannot be set to this value"};
inline constexpr const char* kTimerTextOverflowLine[2] = {
    "\x1b[31;1mこの値にはセットできません！\x1b[0m",
    "\x1b[31;1mThe timer cannot be set to this value!\x1b[0m"};
inline constexpr const char* kVoltageRefusedLine[2] = {"その電圧には設定できません",
                                                        "The supply cannot be set to that voltage"};

// One of a pair of lines in a language (0 Japanese, any other English).
inline const char* LinkLine(const char* const (&pair)[2], uint32_t language) {
    return pair[language == 0 ? 0 : 1];
}

// WaitReady gave up; by language (0 Japanese, else English).
const char* NotReadyLine(uint32_t language);

// The result text of a code (0 to 9) in a language (0, 1); null otherwise.
const char* ResultTextOrNull(uint32_t language, uint32_t code);

}  // namespace krt
