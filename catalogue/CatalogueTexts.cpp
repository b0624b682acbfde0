// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/CatalogueTexts.h"

namespace krt {

namespace {

struct TextPair {
    CatalogueText id;
    const char* japanese;
    const char* english;
};

constexpr TextPair kTexts[] = {
    // Logged while the list is read, before any language is known: the
    // same in both.
    {CatalogueText::ListLineError, "ファイルdevice.lstの%d行目にエラーがあります。",
     "ファイルdevice.lstの%d行目にエラーがあります。"},
    {CatalogueText::ListOpenFailed, "ファイルDEVICE.LSTのオープンに失敗しました",
     "The file DEVICE.LST could not be opened"},
    {CatalogueText::RecordRefused, "デバイス%sのパラメータは使用できません: %s",
     "Device %s's parameters cannot be used: %s"},
    {CatalogueText::NotListed, "デバイス一覧に%s %s %sはありません。一覧から型番を選んでください。",
     "Device %s %s %s is not in the device list: choose a number from the list."},
    {CatalogueText::PrintedNumber, "「%s」は型番%sの表記です。使うデバイス: %s",
     "\"%s\" is marked part number %s: use %s"},
};

}  // namespace

const char* CatalogueTextOf(uint32_t language, CatalogueText text) {
    for (const TextPair& t : kTexts)
        if (t.id == text) return language == 0 ? t.japanese : t.english;
    return "";
}

}  // namespace krt
