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

// The chip check (session/ChipCheck.h). Verdicts as printed.
inline constexpr TextPair kCheckOkText{"正常", "ok"};
inline constexpr TextPair kCheckSuspectText{"疑わしい", "suspect"};
inline constexpr TextPair kCheckFailedText{"不合格", "failed"};
// %s: the kept file; %s: the krt line that writes it back.
inline constexpr TextPair kCheckKeptText{
    "チップの内容を%sに保存しました。チェックが途中で止まったときは次のコマンドで書き戻せます: %s",
    "The chip's content is kept in %s; should the check stop on the way, write it back with: %s"};
// %s: the file; %s: why.
inline constexpr TextPair kCheckKeepFailedText{
    "チップの内容を%sに保存できません（%s）。何も書きこまずにチェックを止めます",
    "The chip's content cannot be kept in %s (%s): the check stops without writing anything"};
// %s: the kept file; %s: the krt line.
inline constexpr TextPair kCheckNotRestoredText{
    "チップは元の内容に戻っていません。元の内容は%sにあります。書き戻すには: %s",
    "the chip does not hold its content of before the check: it is kept in %s; write it back with: %s"};
inline constexpr TextPair kCheckRestoredText{
    "チェック前の内容を書き戻し、ベリファイしました",
    "the content of before the check was written back and verified"};
// %02X %02X: the product ID read.
inline constexpr TextPair kCheckIdOwnText{"識別コード%02X %02Xはこのデバイスのものです",
                                          "product ID %02X %02X is this part's own"};
// %02X %02X; %s: the catalogue entries with that ID, or the expected ID.
inline constexpr TextPair kCheckIdOtherText{"識別コード%02X %02Xは別のデバイスのものです: %s",
                                            "product ID %02X %02X is another part's: %s"};
inline constexpr TextPair kCheckIdUnknownPartText{"カタログにないデバイス（このデバイスは%02X %02X）",
                                                  "a part the catalogue does not list (this part is %02X %02X)"};
// %02X %02X: what addresses 0 and 1 read.
inline constexpr TextPair kCheckIdNoAnswerText{
    "識別コマンドに答えません（%02X %02Xを読みました）: 識別コードが空か、別の種類のチップです",
    "no answer to the product ID command (read %02X %02X): a blank signature or another kind of chip"};
// %s: the size; %s: the address lines.
inline constexpr TextPair kCheckAliasedText{
    "チップは%sとして応答します: %sは何も変えません",
    "the chip answers as %s: %s change nothing"};
inline constexpr TextPair kCheckAliasedOneText{
    "チップは%sとして応答します: %sは何も変えません",
    "the chip answers as %s: %s changes nothing"};
// %u: address lines; %s: the size.
inline constexpr TextPair kCheckCapacityOkText{
    "A0からA%uまでの各アドレス線がそれぞれのセルに届きます（%s）",
    "each address line A0 to A%u reaches a cell of its own (%s)"};
// %06X: the address; %02X: written; %02X: read back; %s: the result text.
inline constexpr TextPair kCheckMarkFailedText{
    "%06X番地の書きこみに失敗しました（%02Xを書き、%02Xを読みました; %s）",
    "the write at %06X failed (wrote %02X, read %02X; %s)"};
// %s: the measured time; %s: the datasheet's maximum.
inline constexpr TextPair kCheckCycleText{"最も遅い書きこみサイクルは%s（データシートの最大%s）",
                                          "the slowest write cycle took %s (the datasheet's maximum: %s)"};
inline constexpr TextPair kCheckCycleSlowText{
    "書きこみサイクルが%sかかりました。データシートの最大は%sです: 遅いか古いチップです",
    "a write cycle took %s, the datasheet's maximum is %s: a slower or older die"};
inline constexpr TextPair kCheckCycleNotTimedText{
    "待ち方が固定時間なので書きこみサイクルは測れません",
    "the write cycle is not timed: the wait mode waits a fixed time"};
inline constexpr TextPair kCheckEraseText{"チップ消去は%s（データシートの最大%s）",
                                          "the chip erase took %s (the datasheet's maximum: %s)"};
inline constexpr TextPair kCheckEraseSlowText{
    "チップ消去に%sかかりました。データシートの最大は%sです: 遅いか古いチップです",
    "the chip erase took %s, the datasheet's maximum is %s: a slower or older die"};
// %s: the result text.
inline constexpr TextPair kCheckEraseFailedText{"チップ消去に失敗しました（%s）", "the chip erase failed (%s)"};
// %u: reads; %s: the bits that differ ("0012 bit 3, ...").
inline constexpr TextPair kCheckStableText{"%u回の読み出しはすべて一致しました",
                                           "%u reads of the whole chip agree"};
inline constexpr TextPair kCheckUnstableText{
    "%u回の読み出しで値の変わるビットがあります（弱いセルか接触不良）: %s",
    "bits that read differently in %u reads (weak cells or a poor contact): %s"};
// %s: the period; %u: the first address line.
inline constexpr TextPair kCheckRepeatText{
    "内容が%sごとに繰り返しています（A%u以上が何も変えない小さいチップか、そう書かれた内容です）",
    "the content repeats every %s (a smaller part whose lines from A%u change nothing, or an image written so)"};
inline constexpr TextPair kCheckNoRepeatText{"内容は2のべき乗の大きさで繰り返していません",
                                             "the content does not repeat at a power-of-two size"};
// %02X: the one value read.
inline constexpr TextPair kCheckUniformText{
    "全番地が%02Xです: 大きさはこの内容からはわかりません",
    "every address reads %02X: the content cannot tell the chip's size"};
// %s: the result text.
inline constexpr TextPair kCheckStoppedText{"チェックは途中で止まりました（%s）",
                                            "the check stopped on the way (%s)"};
// %s: the size.
inline constexpr TextPair kCheckMarchOkText{
    "March C-（00/FFと55/AA）を%s全体で行い、どのセルも書いた値を保ちました",
    "March C- (backgrounds 00/FF and 55/AA) over %s: every cell kept what was written"};
// %llu: wrong reads; %s: the cells.
inline constexpr TextPair kCheckMarchFailedText{"March C-で%llu回の読み出しが違いました: %s",
                                                "March C-: %llu reads were wrong: %s"};
// %s: separator; %06X: address; %u: bit; %u: read; %u: written.
inline constexpr TextPair kCheckMarchCellText{"%s%06X番地ビット%uが%u（書いたのは%u）",
                                              "%s%06X bit %u read %u (wrote %u)"};
// %06X: the first wrong address; %s: the size it suggests.
inline constexpr TextPair kCheckMarchAliasText{"（最初の誤りは%06X番地: %sとして応答するチップかもしれません）",
                                               " (the first wrong cell is at %06X: the chip may answer as %s)"};
// PIC: %04X the device ID word; %s the part; %u the revision.
inline constexpr TextPair kCheckPicIdOwnText{"デバイスID %04Xhは%sのものです（リビジョン%u）",
                                             "device ID %04Xh is the %s's own (revision %u)"};
inline constexpr TextPair kCheckPicIdOtherText{"デバイスID %04Xhは別のデバイスのものです（%sは%04Xh）",
                                               "device ID %04Xh is another part's (the %s's is %04Xh)"};
inline constexpr TextPair kCheckPicIdBlankText{
    "デバイスIDがありません（%04Xh）: 空のID語か、別の種類のチップです",
    "no device ID (%04Xh): a blank ID word or another kind of chip"};
inline constexpr TextPair kCheckPicProtectedText{
    "コード保護がかかっています: プログラムメモリは0と読め、印を書けないので容量はわかりません（チップを消去すればチェックできます）",
    "code protection is on: the program memory reads 0 and takes no marks, so its capacity cannot be told (an erased chip can be checked)"};
// %s: the part.
inline constexpr TextPair kCheckPicNoIdText{"%sにはデバイスIDがないので識別は確かめられません",
                                            "the %s has no device ID: its identity cannot be read"};
// GAL: %s the signature as the family describes it.
inline constexpr TextPair kCheckGalOwnText{"電子署名: %s", "electronic signature: %s"};
inline constexpr TextPair kCheckGalOtherText{"電子署名は別のデバイスのものです: %s",
                                             "the electronic signature is another part's: %s"};
inline constexpr TextPair kCheckGalUnknownText{"この種類のGALが知らない電子署名です: %s",
                                               "an electronic signature no GAL of this kind has: %s"};
// %s: "0" or "1".
inline constexpr TextPair kCheckGalBlankText{
    "電子署名が空です（すべて%s）: 署名の消されたチップか、チップがありません",
    "a blank electronic signature (all %s): a chip whose signature was erased, or no chip"};
inline constexpr TextPair kCheckNothingText{
    "このデバイスの種類にはチップチェックがありません",
    "the chip check knows no check for this kind of device"};

}  // namespace krt
