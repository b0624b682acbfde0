// SPDX-License-Identifier: GPL-3.0-or-later
// Every log line of the device families. A line that a user reads comes in
// both languages, [0] Japanese and [1] English, picked by the link's
// language (ZVDevice::Text); the Japanese texts are the ones users and scripts
// know and stay as they are. Lines of a single text are plain English.
#pragma once

namespace krt::texts {

// The shared frame.
inline constexpr const char* kTooManyErrors[2] = {"エラーが多すぎるので中止しました",
    "Too many errors: stopped"};
inline constexpr const char* kWriteWithoutErrors[2] = {"書きこみはエラーなく行われました。",
    "Written without errors."};
inline constexpr const char* kWriteErrorCount[2] = {"書きこみの途中で%ld個のエラーが発生しました",
    "Errors during the write: %ld"};
// A write cancelled before its end says how far it got (reached address,
// words written, start address), in the link's language.
inline constexpr const char* kWriteCanceledAt[2] = {
    "書きこみは%06lXで中止されました（書きこみ済み%luワード、開始アドレス%06lX）",
    "Write cancelled at %06lX: %lu words from %06lX were written"};
// A serial EEPROM write that reads each word first (changedonly).
inline constexpr const char* kWordsSkipped[2] = {
    "%lu ワードは内容が同じだったため書きこみませんでした",
    "%lu words already held their data and were not written"};
// After the line above: how many of those words were blank in the file and
// on the chip, and so were not programmed.
inline constexpr const char* kWriteCanceledBlank[2] = {
    "（そのうち%luワードはファイルもチップもブランクのため書きこんでいません）",
    "(%lu of them were blank in the file and on the chip and were not programmed)"};
// A range that reaches beyond the device is cut at its end rather than
// refused, so that "the whole device from here" keeps working.
inline constexpr char kRangeCut[] =
    "Range %06lX+%06lX reaches beyond the device end %06lX: cut to %06lX addresses";

// Parallel EPROM and OTP.
inline constexpr const char* kVerifyErrorWord[2] = {"ベリファイエラー Addr: %06lX ROM-Data:%02X-%02X FileData:%02X-%02X",
    "Verify error Addr: %06lX ROM-Data:%02X-%02X FileData:%02X-%02X"};
inline constexpr const char* kVerifyErrorByte[2] = {"ベリファイエラー Addr: %06lX ROM-Data:%02X FileData:%02X",
    "Verify error Addr: %06lX ROM-Data:%02X FileData:%02X"};
inline constexpr const char* kBlankErrorWord[2] = {"ブランクチェックエラー Addr: %06lX Data:%02X-%02X ",
    "Blank check error Addr: %06lX Data:%02X-%02X"};
inline constexpr const char* kBlankErrorByte[2] = {"ブランクチェックエラー Addr: %06lX Data:%02X ",
    "Blank check error Addr: %06lX Data:%02X"};
inline constexpr const char* kWriteVerifyWord[2] = {"Verify error at %06lX Read:%02X-%02X File:%02X-%02X %d回目",
    "Verify error at %06lX Read:%02X-%02X File:%02X-%02X retry %d"};
inline constexpr const char* kWriteVerifyByte[2] = {"Verify error at %06lX Read:%02X File:%02X %d回目",
    "Verify error at %06lX Read:%02X File:%02X retry %d"};

// A write's retry lines stop after kRetryLinesShown; the rest are counted.
inline constexpr unsigned kRetryLinesShown = 20;
inline constexpr const char* kRetryLinesHidden[2] = {"ほかに%lu行の再試行の行を省略しました",
    "%lu more retry lines not shown"};
// A byte that reads a 0 bit where the data has a 1: programming only turns
// 1s into 0s. %06lX: the address; %02X: read; %02X: wanted.
inline constexpr const char* kEraseFirst[2] = {
    "%06lX 番地は%02Xと読めますが%02Xが必要です。書きこみでは0のビットを1にできません：先にチップを消去してください"
    "（EPROMは紫外線で消去します）",
    "The byte at %06lX reads %02X where %02X is wanted: programming cannot turn a 0 bit into 1. Erase the chip "
    "first (an EPROM with ultraviolet light)."};

// 28F flash: the last failed attempt of the clearing before an erase.
inline constexpr char kFlashClearVerifyError[] = "Verify error at %06lX";
// %06lX: the first address that did not erase; %u: the erase pulses given.
inline constexpr const char* kFlashNotErased[2] = {
    "消去できませんでした：%06lX 番地は %u 回の消去パルスの後も FF になりません",
    "The chip did not erase: the byte at %06lX does not read FF after %u erase pulses"};
// The clearing (every byte to 00) that comes before the erase, and the erase.
inline constexpr const char* kFlashCleared[2] = {"消去の前に全バイトを00にしました",
    "Every byte programmed to 00 before the erase"};
// %u: the erase pulses given.
inline constexpr const char* kFlashErased[2] = {"消去しました：%u回の消去パルスで全バイトがFFになりました",
    "Erased: every byte reads FF after %u erase pulses"};
// Serial EEPROM (two-wire 24Cxx, three-wire 93Cx6).
inline constexpr const char* kSeepNoAck[2] = {
    "シリアルEEPROMから応答がありません アドレス %06lX (デバイスセレクト %02X)",
    "no acknowledge from the serial EEPROM at %06lX (device select %02X)"};
inline constexpr const char* kSeepStillBusy[2] = {"シリアルEEPROMがビジーのままです アドレス %06lX",
                                                   "serial EEPROM still busy at %06lX"};
inline constexpr const char* kSeepNoByteAccess[2] = {
    "3線式バスのバイトアクセスには対応していません: このデバイスは16ビット構成で使います",
    "byte access on the three-wire bus is not supported: the device is used in its 16-bit organisation"};
inline constexpr const char* kSeepNoWordAccess[2] = {
    "2線式バスのワードアクセスには対応していません: このデバイスは8ビットで使います",
    "word access on the two-wire bus is not supported: the device is used 8 bits wide"};
// Parallel EEPROM.
inline constexpr char kPageVerifyError[] = "Verify error at %06lX page";
// A write that reads each page first (changedonly): %lu pages left as they were.
inline constexpr const char* kPagesSkipped[2] = {
    "%lu ページは内容が同じだったため書きこみませんでした",
    "%lu pages already held their data and were not written"};
inline constexpr const char* kCycleTimeout[2] = {
    "%06lX のEEPROM書きこみサイクルが100 ms以内に終わりませんでした（%s）",
    "EEPROM write cycle did not end within 100 ms at %06lX (%s)"};
// Wait modes 0 to 4 and "none", as the parameter editor names them.
inline constexpr const char* kWaitModeNames[2][6] = {
    {"タイマー", "ビジーフラグ", "トグルビット", "ポーリング", "Windowsタイマー", "待ちなし"},
    {"timer", "busy flag", "toggle bit", "data polling", "Windows timer", "no wait"}};
inline constexpr const char* kProtectionHint[2] = {
    "%06lX のページは1バイトも変わりませんでした。ソフトウェアデータ保護がかかっている可能性があります。"
    "解除するには: krt sdp off EEPROM %s %s",
    "Not one byte of the page at %06lX changed: the chip is probably software data protected. "
    "To turn the protection off: krt sdp off EEPROM %s %s"};
// The same hint in the window, which has its own command for it.
inline constexpr const char* kProtectionHintWindow[2] = {
    "%06lX のページは1バイトも変わりませんでした。ソフトウェアデータ保護がかかっている可能性があります。"
    "解除するには:「デバイス」→「データ保護の解除」(%s %s)",
    "Not one byte of the page at %06lX changed: the chip is probably software data protected. "
    "To turn the protection off: Device > Unprotect (%s %s)"};
inline constexpr const char* kProtectionState[2][2] = {
    {"ソフトウェアデータ保護は解除されています（%06lX への試し書きが反映され、元の値に戻しました）",
     "ソフトウェアデータ保護がかかっています（%06lX への試し書きは無視されました）"},
    {"Software data protection is off (a test write at %06lX took effect; its old value was put back)",
     "Software data protection is on (a test write at %06lX was ignored)"}};
inline constexpr const char* kProtectionUnobserved[2] = {
    "プログラマが見つからないため、ソフトウェアデータ保護の状態は確かめられませんでした",
    "No programmer was found: the state of the software data protection was not observed"};
inline constexpr const char* kNoProtection[2] = {
    "このデバイスにはソフトウェアデータ保護がありません。解除も設定もできません",
    "This part has no software data protection: there is nothing to turn on or off"};
inline constexpr const char* kProtectionRestoreFailed[2] = {
    "%06lX の元の値 %02X を書き戻せませんでした（読み出し値 %02X）",
    "Could not put back the old value at %06lX: %02X wanted, %02X read"};
// 5 V command-set flash (FLASH5V).
// %06lX: the address; %.1f: the bound in milliseconds.
inline constexpr const char* kFlash5vProgramTimeout[2] = {
    "%06lX の書きこみが %.1f ms 以内に終わりませんでした。電源を切りました",
    "The chip did not finish programming at %06lX within %.1f ms: the supplies were switched off"};
inline constexpr const char* kFlash5vEraseTimeout[2] = {
    "チップ消去が %.1f ms 以内に終わりませんでした。電源を切りました",
    "The chip erase did not finish within %.1f ms: the supplies were switched off"};
inline constexpr const char* kFlash5vTimeLimit[2] = {
    "%06lX でチップが内部の制限時間を超えました（DQ5）。リセットしました",
    "The chip exceeded its internal time limit at %06lX (DQ5): it was reset"};
// %06lX: the page; %.0f: the gap seen and the window, in microseconds.
inline constexpr const char* kFlash5vLoadWindow[2] = {
    "%06lX のページの書きこみで %.0f us の間があき、バイトロード時間 %.0f us を超えました。ページは失われています",
    "Loading the page at %06lX took a gap of %.0f us, longer than the byte-load window of %.0f us: the page is lost"};
inline constexpr const char* kFlash5vWindowTooShort[2] = {
    "バイトロード時間 %.0f us ではページを送りきれません（%.0f us 以上が必要です）。何も書きこんでいません",
    "A byte-load window of %.0f us cannot be met by this programmer (at least %.0f us is needed): nothing was written"};
inline constexpr const char* kFlash5vProtectionHint[2] = {
    "%06lX のページは1バイトも変わりませんでした。ソフトウェアデータ保護が解除できない可能性があります。"
    "解除するには: krt sdp off FLASH5V %s %s",
    "Not one byte of the page at %06lX changed: the chip is probably software data protected. "
    "To turn the protection off: krt sdp off FLASH5V %s %s"};
inline constexpr const char* kFlash5vNoPageMode[2] = {
    "このデバイスはページ書きこみ式ではないため、ソフトウェアデータ保護はコマンドに組みこまれています",
    "This part is not page-mode flash: its software data protection is part of every command"};
// PIC microcontroller.
inline constexpr char kPicVerifyError[] = "Verify error at %06lX";
inline constexpr char kPicNotBlank[] = "Not Blank at %06lX";
// A data EEPROM byte: its buffer address, the byte read, the byte wanted.
inline constexpr char kPicDataVerifyError[] = "Verify error at %06lX (data EEPROM) Read:%02X File:%02X";
// Lines that explain what a code-protected chip shows.
inline constexpr const char* kPicCodeProtected[2] = {
    "チップはコードプロテクトされています：プログラムメモリは0000と読めます",
    "The chip is code protected: its program memory reads as 0000"};
inline constexpr const char* kPicProtectedAsFileAsks[2] = {
    "チップはファイルのとおりコードプロテクトされています：プログラムメモリは0000と読めるため、ファイルとは"
    "比較していません（書きこみはプロテクトがかかる前に1ワードずつ比較します）。コンフィギュレーションワードは比較しました",
    "The chip is code protected, as the file asks: its program memory reads as 0000 and was not compared with "
    "the file (a write compares each word before the protection takes effect); the configuration words were "
    "compared"};
// Identity of the part in the socket, read before a write or erase.
inline constexpr const char* kWrongPart[2] = {
    "ソケットのデバイスが違います：%sのはずが%sでした。書きこみも消去もしていません",
    "Wrong device in the socket: expected %s, found %s; nothing was written or erased"};
inline constexpr const char* kFlashIdUnconfirmed[2] = {
    "%sのはずが%sでした（このデバイスの識別コードは確かめられていないため、続けます）",
    "Expected %s, found %s (this part's identifier is not confirmed: going on)"};
inline constexpr const char* kPicNoDeviceId[2] = {
    "%sにはデバイスIDがないため、ソケットのデバイスは確かめていません",
    "The %s has no device ID: the part in the socket was not checked"};
// GAL/PLD.
inline constexpr const char* kGalWriteFailed[2] = {"うまく書きこみができませんでした",
    "The write did not succeed"};
inline constexpr const char* kGalWriteSucceededAt[2] = {"%d回目の書きこみで成功しました",
    "Written successfully at attempt %d"};
inline constexpr const char* kGalReadingLine[2] = {"%d/%d行目を読み込み中",
    "Reading row %d/%d"};
inline constexpr const char* kGalWritingLine[2] = {"%d/%d行目を書き込み中",
    "Writing row %d/%d"};
inline constexpr const char* kGalWritingSignature[2] = {"Signatureを書き込み中",
    "Writing the signature"};
inline constexpr const char* kGalWritingAcw[2] = {"ACWを書き込み中",
    "Writing the ACW"};
inline constexpr const char* kGalWritingAsr[2] = {"ASRを書き込み中",
    "Writing the ASR"};
inline constexpr const char* kGalWriteEnd[2] = {"書き込み終了",
    "Write finished"};
inline constexpr char kGalWriteDifference[] = "Verify error at %d Buffer:%d Written:%d";
inline constexpr const char* kGalVerifyDifference[2] = {"Verify error at %d デバイス:%d バッファ:%d",
    "Verify error at %d Device:%d Buffer:%d"};
inline constexpr char kGalNotBlank[] = "Not Blank at FUSE:%d";
inline constexpr const char* kGalTooManyErrors[2] = {"エラーが多いので表示を中止します",
    "Too many errors: no more are shown"};
inline constexpr const char* kGalVerifyOk[2] = {"ベリファイは成功しました",
    "Verify succeeded"};
inline constexpr const char* kGalVerifyErrors[2] = {"ベリファイの結果、%d個所のエラーがありました。",
    "Errors found by the verify: %d"};
inline constexpr const char* kGalSecureUnsupported[2] = {"GAL22のセキュリティーにはまだ対応していません",
    "Security of the GAL22 is not supported yet"};
inline constexpr const char* kGalPesStart[2] = {"PESの内容を読みます",
    "Reading the PES"};
// The chip's electronic signature, and which programming values a write
// or erase uses.
inline constexpr const char* kGalSignatureUsed[2] = {"電子署名 %s：この電圧とパルス幅で書きこみます",
                                                      "Signature %s: programming with its voltage and pulse"};
// Unknown maker, part or algorithm, or (identity check off) another part.
inline constexpr const char* kGalSignatureUnknown[2] = {
    "電子署名は使いません（%s）：デバイスパラメータの%.2f V、%g msで書きこみます",
    "Signature not used (%s): programming with the device parameters' %.2f V and %g ms"};
// A part of another programming algorithm (an ATF in a Lattice entry's
// socket or the reverse), found at the read level: %s the entry, %s what
// the signature says, %s the entry to select.
inline constexpr const char* kGalOtherAlgorithm[2] = {
    "ソケットのデバイスが違います：%sのはずが%sでした。%sを選んでください（読み出しより高い電圧はかけていません）",
    "Wrong device in the socket: expected %s, found %s; select %s (nothing above the read level was applied)"};
// An ATF part in its own entry: the entry's voltage and pulse.
inline constexpr const char* kGalAtfSignatureUsed[2] = {
    "電子署名 %s：デバイスパラメータの%.2f V、%g msで書きこみます",
    "Signature %s: programming with the device parameters' %.2f V and %g ms"};
inline constexpr const char* kGalSignatureShown[2] = {"電子署名: %s", "Signature: %s"};
// Every signature bit read the same (%s: 1 or 0): the lines float or are
// held, as with an empty socket or a chip that makes no contact.
inline constexpr const char* kGalNoChipAnswers[2] = {
    "チップが応答しません：電子署名(PES)がすべて%sと読めます。ソケットが空か、チップが接触していません。"
    "書きこみも消去もしていません（確かめずに続けるには --no-id-check）",
    "No chip answers: every bit of the signature (PES) reads %s, as from an empty socket or a chip that makes "
    "no contact; nothing was written or erased (--no-id-check goes on without the check)"};
inline constexpr const char* kGalSignatureInvalid[2] = {
    "この電子署名は知られたメーカー・デバイス・アルゴリズムを示していません",
    "This signature names no known maker, part and algorithm"};
// A record whose layout would lead the rows outside the fuse image (a
// parameter edited by hand, a type code without a wiring) is refused before
// the programmer is touched.
inline constexpr char kGalBadLayout[] = "GAL: the device parameters cannot be used: %s";
// What an erase or a secure found when it read the chip back, and what a
// secured chip reads as.
inline constexpr const char* kGalEraseNotBlank[2] = {
    "消去の後も%u個のヒューズが0のままです（最初はFUSE:%u）：消去されませんでした",
    "After the erase %u fuses still read 0 (the first at FUSE:%u): the chip was not erased"};
inline constexpr const char* kGalSecureNotSet[2] = {
    "セキュリティーをかけた後もアレイが読み出せます（%u個のヒューズが1）：セキュリティーヒューズはかかりませんでした",
    "After securing, the array still reads back (%u fuses read 1): the security fuse was not set"};
inline constexpr const char* kGalReadsSecured[2] = {
    "アレイとアーキテクチャのヒューズがすべて0と読めます。セキュリティーのかかったGALはこう読めます："
    "その場合ヒューズは読み出せません",
    "Every array and architecture fuse reads 0, as a secured GAL reads: if the chip is secured, its fuses "
    "cannot be read back"};

}  // namespace krt::texts
