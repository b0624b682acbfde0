// SPDX-License-Identifier: GPL-3.0-or-later
// Detection: every revision class in both languages, and the found flag.
#include <gtest/gtest.h>

#include "support/TestLink.h"

namespace krt::test {
namespace {

struct DetectCase {
    uint8_t krt1, krt2;
    uint32_t language;
    Lines lines;
    bool found;
};

const std::string kDlJa = "-----このバージョンには多くの問題があります。最新版をダウンロードしてください。";
const std::string kWebJa = "-----最新版はKavimeruのWebページにあります。";
const std::string kDlEn = "-----This version has many problem.Plese download latest version.";
const std::string kWebEn = "-----The latest version is on Kavimeru's web page.";

class Detection : public testing::TestWithParam<DetectCase> {};

TEST_P(Detection, LinesAndFoundFlag) {
    const DetectCase& c = GetParam();
    TestLink t;
    t.link.language = c.language;
    const uint8_t result = t.Detect(c.krt1, c.krt2);
    EXPECT_EQ(t.log.lines(), c.lines);
    EXPECT_EQ(t.link.programmerFound, c.found);
    EXPECT_EQ(result, c.found ? 0 : 7);
    EXPECT_EQ(t.link.krt1Revision, c.krt1);
}

INSTANTIATE_TEST_SUITE_P(
    Revisions, Detection,
    testing::Values(
        DetectCase{0x20, 0x10, 1, {"KRT1 version is 2.0", "KRT2 version is 1.0"}, true},
        DetectCase{0x20, 0x10, 0, {"KRT1のバージョンは 2.0です。", "KRT2のバージョンは 1.0です。"}, true},
        DetectCase{0x10, 0x00, 1,
                   {"KRT1 was found. KRT1 version is 1.0",
                    "KRT2 was not found. Please check power and cable connection.",
                    "-----KRT2 does not run."},
                   false},
        DetectCase{0x10, 0x00, 0,
                   {"KRT1 was found. KRT1のバージョンは 1.0です。",
                    "KRT2がみつかりませんでした。電源とケーブルの接続を確かめてください。",
                    "-----KRT2は動作しません。"},
                   false},
        DetectCase{0x85, 0x89, 1,
                   {"KRT1 is obsolete beta version.(before 11 Oct 1999)", kDlEn, kWebEn,
                    "KRT2 is the last prelease version (99/09/14)"},
                   true},
        DetectCase{0x81, 0x89, 0,
                   {"KRT1のバージョンは古いベータ版です。(8月11日版以前)。", kDlJa, kWebJa,
                    "KRT2のバージョンは最終プレリリース版です。(99/09/14)"},
                   true},
        DetectCase{0x8B, 0x86, 1,
                   {"KRT1 version is prerelease version.(rev. 0.9.0 beta,11 Oct 1999)",
                    "KRT2 is obsolete beta version.(before 7 Oct 1999)", kDlEn, kWebEn},
                   true},
        DetectCase{0x8B, 0x81, 0,
                   {"KRT1のバージョンはプレリリース版(rev 0.9.0)です。(beta 8/11)",
                    "KRT2のバージョンは古いベータ版です。(8月7日版以前)。", kDlJa, kWebJa},
                   true},
        DetectCase{0x8A, 0x87, 1,
                   {"KRT1 is obsolete beta version.(before 11 Oct 1999)", kDlEn, kWebEn,
                    "KRT2 is prerelease version.(rev 0.9.0 , beta 8/7)",
                    "-----There is some problem on PIC writing."},
                   true},
        DetectCase{0x20, 0x87, 0,
                   {"KRT1のバージョンは 2.0です。",
                    "KRT2のバージョンはプレリリース版(rev 0.9.0)です。(beta 8/7)",
                    "-----このバージョンはPICの書きこみができません。"},
                   true},
        DetectCase{0x20, 0x88, 1,
                   {"KRT1 version is 2.0", "KRT2 is prerelease version.(rev 0.9.1 , beta 8/18)"}, true},
        DetectCase{0x20, 0x88, 0,
                   {"KRT1のバージョンは 2.0です。",
                    "KRT2のバージョンはプレリリース版(rev 0.9.1)です。(beta 8/18)"},
                   true},
        DetectCase{0x00, 0x00, 1,
                   {"KRT1 was not found. Please check power and cable connection.",
                    "-----KRT1 does not run.",
                    "KRT2 was not found. Please check power and cable connection.",
                    "-----KRT2 does not run."},
                   false},
        DetectCase{0x00, 0x10, 0,
                   {"KRT1がみつかりませんでした。電源とケーブルの接続を確かめてください。",
                    "-----KRT1は動作しません。", "KRT2のバージョンは 1.0です。"},
                   false},
        DetectCase{0x30, 0x10, 1,
                   {"KRT1 is incomprehensible version.", "-----KRT1 does not run.",
                    "KRT2 version is 1.0"},
                   false},
        DetectCase{0x8C, 0x10, 0,
                   {"KRT1は不明なバージョンです。", "-----KRT1は動作しません。",
                    "KRT2のバージョンは 1.0です。"},
                   false},
        DetectCase{0x20, 0x42, 1,
                   {"KRT1 version is 2.0", "KRT2 is incomprehensible version.", "-----KRT2 does not run."},
                   false},
        DetectCase{0x20, 0x8A, 0,
                   {"KRT1のバージョンは 2.0です。", "KRT2は不明なバージョンです。",
                    "-----KRT2は動作しません。"},
                   false},
        DetectCase{0x80, 0x80, 1,
                   {"KRT1 is incomprehensible version.", "-----KRT1 does not run.",
                    "KRT2 is incomprehensible version.", "-----KRT2 does not run."},
                   false},
        DetectCase{0x20, 0x10, 2, {}, false}));

TEST(DetectionProtocol, ReadsKrt1ThenKrt2WithTheirCommands) {
    TestLink t;
    t.Detect(0x20, 0x10);
    // REVREAD, eight slots, DEVSET 0, DLREAD, the ready check, eight slots.
    std::vector<uint8_t> expected = {0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0x0F, 0x00, 0x04,
                                     0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(t.port.Frames(), expected);
    const Lines trace = t.port.Trace();
    // The status read of WaitReady comes right after the DLREAD frame, strobe released.
    const size_t afterDlread = 3 + 32 + 6 + 3;
    ASSERT_GT(trace.size(), afterDlread);
    EXPECT_EQ(trace[afterDlread - 1], "W 037A 00");
    EXPECT_EQ(trace[afterDlread], "R 0379 40");
}

TEST(DetectionProtocol, UnlistedKrt2IsStoredAsZero) {
    TestLink t;
    t.Detect(0x20, 0x42);
    uint32_t value = 1;
    EXPECT_EQ(t.Request(42, 0, &value), 7);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(t.Request(41, 0, &value), 7);
    EXPECT_EQ(value, 0x20u);
}

TEST(DetectionProtocol, Code12ReturnsBothRevisions) {
    TestLink t;
    t.port.ScriptReply(0x20);
    t.port.ScriptStatus(0x40);
    t.port.ScriptReply(0x10);
    uint32_t value = 0;
    EXPECT_EQ(t.Request(12, 0, &value), 0);
    EXPECT_EQ(value, 0x2010u);
    EXPECT_TRUE(t.link.programmerFound);
}

TEST(DetectionProtocol, ANewDetectionReplacesTheOldOne) {
    TestLink t;
    ASSERT_EQ(t.Detect(0x20, 0x10), 0);
    EXPECT_EQ(t.Detect(0x00, 0x00), 7);  // switched off since
    EXPECT_FALSE(t.link.programmerFound);
    EXPECT_EQ(t.Request(0), 7);
}

TEST(DetectionProtocol, SilentProgrammerWithAckLowIsNotFoundAndDoesNotHang) {
    TestLink t;
    t.link.language = 1;
    t.port.statusDefault = 0x00;  // ACK floats low: reads 0xFF, never ready
    t.clock.step = std::chrono::milliseconds(1);
    EXPECT_EQ(t.Request(2), 7);
    EXPECT_FALSE(t.link.programmerFound);
    EXPECT_EQ(t.link.krt1Revision, 0xFF);
    EXPECT_EQ(t.link.krt2Revision, 0);  // unlisted: stored as 0
    const Lines lines = t.log.lines();
    ASSERT_EQ(lines.size(), 5u);  // the not-ready line, then both units' lines
    EXPECT_EQ(lines[1], "KRT1 is incomprehensible version.");
}

}  // namespace
}  // namespace krt::test
