// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/DetectionTexts.h"

#include <iterator>

namespace krt {

namespace {

// The maker's page for newer logic; the two lines follow the obsolete-beta line.
constexpr const char* kDownloadJa =
    "-----このバージョンには多くの問題があります。最新版をダウンロードしてください。";
constexpr const char* kDownloadEn =
    "-----This version has many problem.Plese download latest version.";
constexpr const char* kWebPageJa = "-----最新版はKavimeruのWebページにあります。";
constexpr const char* kWebPageEn = "-----The latest version is on Kavimeru's web page.";

// The last row of each table matches every revision ("other").
const DetectionRow kKrt1Rows[] = {
    {0x20, 0x20, true, {"KRT1のバージョンは 2.0です。"}, {"KRT1 version is 2.0"}},
    {0x10, 0x10, true,
     {"KRT1 was found. KRT1のバージョンは 1.0です。"},
     {"KRT1 was found. KRT1 version is 1.0"}},
    {0x81, 0x8A, true,
     {"KRT1のバージョンは古いベータ版です。(8月11日版以前)。", kDownloadJa, kWebPageJa},
     {"KRT1 is obsolete beta version.(before 11 Oct 1999)", kDownloadEn, kWebPageEn}},
    {0x8B, 0x8B, true,
     {"KRT1のバージョンはプレリリース版(rev 0.9.0)です。(beta 8/11)"},
     {"KRT1 version is prerelease version.(rev. 0.9.0 beta,11 Oct 1999)"}},
    {0x00, 0x00, false,
     {"KRT1がみつかりませんでした。電源とケーブルの接続を確かめてください。",
      "-----KRT1は動作しません。"},
     {"KRT1 was not found. Please check power and cable connection.",
      "-----KRT1 does not run."}},
    {0x00, 0xFF, false,
     {"KRT1は不明なバージョンです。", "-----KRT1は動作しません。"},
     {"KRT1 is incomprehensible version.", "-----KRT1 does not run."}},
};

const DetectionRow kKrt2Rows[] = {
    {0x10, 0x10, true, {"KRT2のバージョンは 1.0です。"}, {"KRT2 version is 1.0"}},
    {0x81, 0x86, true,
     {"KRT2のバージョンは古いベータ版です。(8月7日版以前)。", kDownloadJa, kWebPageJa},
     {"KRT2 is obsolete beta version.(before 7 Oct 1999)", kDownloadEn, kWebPageEn}},
    {0x87, 0x87, true,
     {"KRT2のバージョンはプレリリース版(rev 0.9.0)です。(beta 8/7)",
      "-----このバージョンはPICの書きこみができません。"},
     {"KRT2 is prerelease version.(rev 0.9.0 , beta 8/7)",
      "-----There is some problem on PIC writing."}},
    {0x88, 0x88, true,
     {"KRT2のバージョンはプレリリース版(rev 0.9.1)です。(beta 8/18)"},
     {"KRT2 is prerelease version.(rev 0.9.1 , beta 8/18)"}},
    {0x89, 0x89, true,
     {"KRT2のバージョンは最終プレリリース版です。(99/09/14)"},
     {"KRT2 is the last prelease version (99/09/14)"}},
    {0x00, 0x00, false,
     {"KRT2がみつかりませんでした。電源とケーブルの接続を確かめてください。",
      "-----KRT2は動作しません。"},
     {"KRT2 was not found. Please check power and cable connection.",
      "-----KRT2 does not run."}},
    {0x00, 0xFF, false,
     {"KRT2は不明なバージョンです。", "-----KRT2は動作しません。"},
     {"KRT2 is incomprehensible version.", "-----KRT2 does not run."}},
};

}  // namespace

const DetectionRow& FindDetectionRow(KrtUnit unit, uint8_t revision) {
    const DetectionRow* begin = unit == KrtUnit::Krt1 ? std::begin(kKrt1Rows) : std::begin(kKrt2Rows);
    const DetectionRow* end = unit == KrtUnit::Krt1 ? std::end(kKrt1Rows) : std::end(kKrt2Rows);
    for (const DetectionRow* row = begin; row != end; ++row)
        if (revision >= row->lowest && revision <= row->highest) return *row;
    return end[-1];
}

}  // namespace krt
