// SPDX-License-Identifier: GPL-3.0-or-later
// The link's own lines for the log and the result-code texts.
#pragma once

#include <cstdint>

namespace krt {

// Posted in Japanese whatever the language: these lines have no English form.
inline constexpr const char* kPortFallbackLine =
    "プリンターポートが見つかりません。標準の0x378を使います";
inline constexpr const char* kTimerOverflowLine = "この値にはセットできません";
inline constexpr const char* kTimerTextOverflowLine =
    "\x1b[31;1mこの値にはセットできません！\x1b[0m";
inline constexpr const char* kVoltageRefusedLine = "その電圧には設定できません";

// WaitReady gave up; by language (0 Japanese, else English).
const char* NotReadyLine(uint32_t language);

// The result text of a code (0 to 9) in a language (0, 1); null otherwise.
const char* ResultTextOrNull(uint32_t language, uint32_t code);

}  // namespace krt
