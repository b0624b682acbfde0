// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a UTF-8 text holds Japanese: kana, CJK ideographs, Japanese
// punctuation or full-width forms. For tests that check the English mode.
#pragma once

#include <cstdint>
#include <string_view>

namespace krt::test {

inline bool IsJapaneseCodePoint(uint32_t c) {
    return (c >= 0x3000 && c <= 0x30FF)      // punctuation, hiragana, katakana
           || (c >= 0x3400 && c <= 0x9FFF)   // CJK ideographs
           || (c >= 0xFF00 && c <= 0xFFEF);  // full-width and half-width forms
}

// Every code point of the ranges above is a three-byte sequence.
inline bool HasJapanese(std::string_view utf8) {
    for (size_t i = 0; i + 2 < utf8.size(); ++i) {
        const auto b0 = static_cast<uint8_t>(utf8[i]);
        if ((b0 & 0xF0) != 0xE0) continue;
        const auto b1 = static_cast<uint8_t>(utf8[i + 1]);
        const auto b2 = static_cast<uint8_t>(utf8[i + 2]);
        if ((b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80) continue;
        if (IsJapaneseCodePoint((b0 & 0x0Fu) << 12 | (b1 & 0x3Fu) << 6 | (b2 & 0x3Fu))) return true;
    }
    return false;
}

}  // namespace krt::test
