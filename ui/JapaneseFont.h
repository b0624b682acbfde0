// SPDX-License-Identifier: GPL-3.0-or-later
// The window font for Japanese, "ＭＳ ゴシック", is a Windows font; it is
// mapped to an installed Japanese font, so that no text shows as boxes.
#pragma once

#include <QString>

namespace krt {

// Installs the substitutions once; returns the family "ＭＳ ゴシック" maps to
// (empty when no Japanese font is installed).
QString InstallJapaneseFont();

}  // namespace krt
