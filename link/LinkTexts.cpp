// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LinkTexts.h"

#include <string>

#include "link/Link.h"

namespace krt {

namespace {

struct ResultTexts {
    const char* japanese;
    const char* english;
};

const ResultTexts kResultTexts[10] = {
    /* 0 */ {"成功", "Operation is successful"},
    /* 1 */ {"操作はキャンセルされた", "Operation is canceled"},
    /* 2 */ {"長さが0の操作はできない", "Can not perform zero length operation"},
    /* 3 */ {"エラーが発生した", "Errors are detected"},
    /* 4 */ {"致命的なエラーが発生した", "Fatal error occured"},
    /* 5 */ {"未定義のコマンドを実行しようとした", "Undefined command"},
    /* 6 */ {"未定義のデバイスを扱うことはできない", "Undefined device"},
    /* 7 */ {"KRTがみつからない", "KRT not found"},
    /* 8 */ {"ルーチンが未完成のため", "Sorry, this program is incomplete"},
    /* 9 */ {"デバイスがサポートしていない操作を行おうとした",
             "Unsupported operation in this device"},
};

}  // namespace

const char* NotReadyLine(uint32_t language) {
    return language == 0 ? "KRTがレディになりません（2秒間応答がありません）。"
                         : "KRT does not report ready (no answer for 2 seconds).";
}

const char* ResultTextOrNull(uint32_t language, uint32_t code) {
    if (code >= 10) return nullptr;
    if (language == 0) return kResultTexts[code].japanese;
    if (language == 1) return kResultTexts[code].english;
    return nullptr;
}

std::string ResultText(uint32_t language, uint32_t code) {
    const char* text = ResultTextOrNull(language, code);
    return text ? std::string(text) : std::string();
}

}  // namespace krt
