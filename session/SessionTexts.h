// SPDX-License-Identifier: GPL-3.0-or-later
// The session's own lines for the user, Japanese and English.
#pragma once

#include "base/Texts.h"

namespace krt {

// An ATF part to be written or erased on a programmer whose lowest
// programming level is 12.5 V. %s: the device.
inline constexpr TextPair kFixedLevelQuestionText{
    "このプログラマの書きこみ電圧は固定で、%sには12.5 Vがかかります。チップの最大定格14.0 V以下ですが、"
    "このチップを扱うプログラマが使う10.5〜12 Vより高い電圧です",
    "This programmer has fixed programming levels only: the %s would get 12.5 V, under the chip's 14.0 V "
    "maximum but above the 10.5-12 V its programmers use"};

// %s: the name the user gave.
inline constexpr TextPair kUnknownPortText{
    "ポート\"%s\"はありません: sim、ppdev、ppdev:/dev/parportN、direct のいずれかを指定してください",
    "unknown port \"%s\": use sim, ppdev, ppdev:/dev/parportN or direct"};

// %X: the new base; %s: why the backend did not open there.
inline constexpr TextPair kRebaseFailedText{
    "ポートアドレス%Xでプリンタポートを開けません: %s",
    "The printer port cannot be opened at the base %X: %s"};

// %X: the new base.
inline constexpr TextPair kRebasedText{
    "シミュレータのKRTをポートアドレス%Xに接続しました",
    "The simulated KRT is now connected at the base %X"};

// %s: the time in seconds with three decimals; the time that the same
// operation takes on a real programmer.
inline constexpr TextPair kVirtualTimeText{
    "実機での所要時間（シミュレータの仮想時間）: %s秒",
    "Time on a real programmer (the simulator's virtual time): %s s"};

// %s: the data file; %s: the device; %s: why it was refused.
inline constexpr TextPair kReloadFailedText{
    "前回のデータファイル%sは%sに読みこめませんでした（%s）。バッファは消去状態のままです。",
    "The last data file %s was not read into the %s (%s): the buffer is blank."};

// A data file that cannot be opened. %s: the file as named; %s: the
// system's reason (in the C library's words).
inline constexpr TextPair kInputFileText{"%sを読めません: %s", "cannot read %s: %s"};

inline constexpr TextPair kSocketEmptyText{"シミュレータのソケットは空です。",
                                           "The simulated socket is empty."};

// %s: the chip.
inline constexpr TextPair kSocketBlankText{"%s: 消去しました", "%s: blank"};
inline constexpr TextPair kSocketReloadedText{"チップファイル %s が外で変更されていたので、読みこみ直しました",
                                              "The chip file %s changed on disk: the chip was loaded from it again"};

// The catalogue check's outcome of one entry, before its steps.
inline constexpr TextPair kProofReadWriteText{"書き込み・読み出しを確認", "read/write proven"};
inline constexpr TextPair kProofReadOnlyText{"読み出しのみ確認（このKRTでは書き込めません）",
                                             "read-only proven (this KRT cannot program it)"};
inline constexpr TextPair kProofFailedText{"不合格", "FAILED"};

// %u: words written and read back; %.3f: the virtual time in seconds.
inline constexpr TextPair kProofWordsText{"; %uワード, %.3f秒", "; %u words, %.3f s"};

// %zu: entries checked, read/write, read-only, failed.
inline constexpr TextPair kProofSummaryText{
    "%zu個のデバイス: 書き込み・読み出し%zu, 読み出しのみ%zu, 不合格%zu",
    "%zu devices: %zu read/write, %zu read-only, %zu failed"};

// Identify: %02X %02X the maker and device code; %s the matching entries.
inline constexpr TextPair kIdentifyMatchText{"%02X %02X: %s", "%02X %02X: %s"};
inline constexpr TextPair kIdentifyUnknownText{
    "%02X %02X: カタログにこの識別コードのデバイスはありません",
    "%02X %02X: no device of the catalogue has this identifier"};
// %02X %02X: what addresses 0 and 1 read.
inline constexpr TextPair kIdentifyNoAnswerText{
    "フラッシュの識別コマンドに答えるチップはありません（0番地と1番地はデータ %02X %02X のままです）："
    "EPROMなど別の種類のチップか、ソケットが空です",
    "No chip answered the flash product ID command (addresses 0 and 1 read their data %02X %02X): another kind "
    "of chip, such as an EPROM, or an empty socket"};

// The erase of an electrically erasable EPROM, refused before power-up.
// %s: the device; %.1f: the A9 voltage its erase needs (twice).
inline constexpr TextPair kEraseNeedsA9Text{
    "%sはこのKRTでは消去できません: 消去にはA9とVpp端子に%.1f Vが必要ですが、このKRTはA9に高電圧をかけられません"
    "（何も印加していません）。A9に%.1f Vをかけられるプログラマで消去してください。ブランクチェックに合格したチップは"
    "そのまま書きこめます。窓がないので紫外線では消えません。",
    "%s cannot be erased by this KRT: its erase needs %.1f V on A9 as well as on its Vpp pin, and this KRT "
    "cannot put a high voltage on A9 (nothing was applied). Erase it in a programmer that drives A9 to %.1f V; "
    "a chip that passes the blank check can be written as it is. It has no window: UV light does not erase it."};

// Identify on a chip that took its command cycles as data. %u: the bytes.
inline constexpr TextPair kIdentifyRestoredText{
    "識別コマンドがチップの%uバイトを書き換えたので、元の値に戻しました",
    "The product ID command cycles changed %u bytes of the chip; their old values were written back"};
inline constexpr TextPair kIdentifyLostText{
    "識別コマンドが書き換えたチップの%uバイトが元の値に戻りません（書き込み禁止か、書き込めないチップです）",
    "%u bytes of the chip that the product ID command cycles changed did not take their old values again "
    "(a write-protected or worn chip)"};

// A batch state that lags its log. %s: the state file, the log; %u: the
// next index; %s: the next serial.
inline constexpr TextPair kBatchStateBehindLogText{
    "%sは%sより遅れています。ログを信頼して、次のチップは%u番、シリアルは%sから続けます",
    "%s lags behind %s: the log is trusted, the next chip is number %u and its serial %s"};

// An automatic write that stopped at its blank check.
inline constexpr TextPair kAutoNothingWrittenText{
    "ブランクチェックで止まったので、何も書きこんでいません。",
    "The automatic write stopped at the blank check: nothing was written."};

// After File > Open: %s: the device. The file was read into the device's
// blank buffer, so nothing of an earlier file stays.
inline constexpr TextPair kOpenedOnBlankText{
    "%sの消去状態のバッファに読みこみました。ファイルにないアドレスは消去状態です（重ねるときは「ファイル」→「重ねて開く」）。",
    "Read into the %s's blank buffer: addresses the file does not hold are blank (File > Merge lays a file over "
    "the buffer instead)."};
// After File > Merge: %s: the file.
inline constexpr TextPair kMergedText{
    "%sをバッファに重ねました。ファイルにないアドレスは前のデータのままです。",
    "%s was laid over the buffer: addresses the file does not hold keep their earlier data."};

}  // namespace krt
