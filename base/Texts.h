// SPDX-License-Identifier: GPL-3.0-or-later
// Texts by language. Every subsystem keeps its user-facing texts in one
// table of pairs and looks them up with the language of the link context:
// 0 Japanese, 1 English.
#pragma once

#include <cstdint>

namespace krt {

struct TextPair {
    const char* japanese;
    const char* english;
};

// The Japanese text for language 0, the English one for any other.
inline const char* InLanguage(const TextPair& text, uint32_t language) {
    return language == 0 ? text.japanese : text.english;
}

// The text of a language that exists (0 or 1); null for any other.
inline const char* InLanguageOrNull(const TextPair& text, uint32_t language) {
    if (language == 0) return text.japanese;
    if (language == 1) return text.english;
    return nullptr;
}

}  // namespace krt
