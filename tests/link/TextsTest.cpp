// SPDX-License-Identifier: GPL-3.0-or-later
// The status-message table and the Log/Format helpers.
#include <gtest/gtest.h>

#include <set>

#include "support/RecordingPort.h"
#include "base/Log.h"
#include "base/StatusMessages.h"

namespace krt::test {
namespace {

TEST(StatusMessages, OutsideTheTableIsTheUndefinedText) {
    const std::string undefined = "(undefined strings,softwere bugs)";
    EXPECT_EQ(MessageText(0, 59), undefined);
    EXPECT_EQ(MessageText(2, 0), undefined);
    EXPECT_EQ(MessageText(1, -1), undefined);
    EXPECT_EQ(MessageText(-1, 0), undefined);
    EXPECT_EQ(MessageText(0x100000000LL, 0), undefined);
}

TEST(StatusMessages, SampledEntriesAreExact) {
    EXPECT_STREQ(MessageText(1, 15), "%d devices are registrered.");
    EXPECT_STREQ(MessageText(0, 15), "%d個のデバイスが登録されました。");
    EXPECT_STREQ(MessageText(1, 0), "File not found.");
    EXPECT_STREQ(MessageText(1, 8), "From file \"%s\", %d word length data is read.");
    EXPECT_STREQ(MessageText(0, 27), "読みこみは失敗しました。理由は「%s」です。");
    EXPECT_STREQ(MessageText(1, 58), "ERASE operation is failed. Because \"%s\".");
    EXPECT_STREQ(MessageText(0, 58), "消去に失敗しました。理由は「%s」です。");
}

// Both languages of an entry take the same arguments in the same order, so a
// caller that formats one can format the other.
TEST(StatusMessages, BothLanguagesTakeTheSameArguments) {
    auto specifiers = [](const char* text) {
        std::string out;
        for (const char* c = text; *c; ++c)
            if (c[0] == '%' && c[1]) out += *++c;
        return out;
    };
    std::set<std::string> english;
    for (int code = 0; code < kStatusMessageCount; ++code) {
        EXPECT_EQ(specifiers(MessageText(0, code)), specifiers(MessageText(1, code))) << code;
        EXPECT_STRNE(MessageText(0, code), MessageText(1, code)) << code;
        english.insert(MessageText(1, code));
    }
    EXPECT_EQ(english.size(), size_t(kStatusMessageCount));  // no entry copied twice
}

TEST(StatusMessages, ReasonMessagesTakeTheResultText) {
    for (int code : {27, 34, 37, 41, 46, 52, 58}) {
        EXPECT_NE(std::string(MessageText(1, code)).find("%s"), std::string::npos) << code;
        EXPECT_NE(std::string(MessageText(0, code)).find("「%s」"), std::string::npos) << code;
    }
}

TEST(LogHelpers, FormatNeverTruncatesAndNullSinkDrops) {
    const std::string longText(1000, 'x');
    EXPECT_EQ(Format("%s-%d", longText.c_str(), 42), longText + "-42");
    CollectingLog log;
    Log(&log, MessageText(1, 15), 12);
    Log(&log, "%s", "KRTを初期化しました");
    Log(nullptr, "%d", 1);
    EXPECT_EQ(log.lines(), (Lines{"12 devices are registrered.", "KRTを初期化しました"}));
}

}  // namespace
}  // namespace krt::test
