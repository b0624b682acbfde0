// Every log line of the device families. These texts are fixed: they do not
// follow the language setting.
#pragma once

namespace krt::texts {

// The shared frame.
inline constexpr char kTooManyErrors[] = "エラーが多すぎるので中止しました";
inline constexpr char kWriteWithoutErrors[] = "書きこみはエラーなく行われました。";
inline constexpr char kWriteErrorCount[] = "書きこみの途中で%ld個のエラーが発生しました";
// A range that reaches beyond the device is cut at its end rather than
// refused, so that "the whole device from here" keeps working.
inline constexpr char kRangeCut[] =
    "Range %06lX+%06lX reaches beyond the device end %06lX: cut to %06lX addresses";

// Parallel EPROM and OTP.
inline constexpr char kVerifyErrorWord[] =
    "ベリファイエラー Addr: %06lX ROM-Data:%02X-%02X FileData:%02X-%02X";
inline constexpr char kVerifyErrorByte[] = "ベリファイエラー Addr: %06lX ROM-Data:%02X FileData:%02X";
inline constexpr char kBlankErrorWord[] = "ブランクチェックエラー Addr: %06lX Data:%02X-%02X ";
inline constexpr char kBlankErrorByte[] = "ブランクチェックエラー Addr: %06lX Data:%02X ";
inline constexpr char kWriteVerifyWord[] = "Verify error at %06lX Read:%02X-%02X File:%02X-%02X %d回目";
inline constexpr char kWriteVerifyByte[] = "Verify error at %06lX Read:%02X File:%02X %d回目";

// GAL/PLD.
inline constexpr char kGalWriteFailed[] = "うまく書きこみができませんでした";
inline constexpr char kGalWriteSucceededAt[] = "%d回目の書きこみで成功しました";
inline constexpr char kGalReadingLine[] = "%d/%d行目を読み込み中";
inline constexpr char kGalWritingLine[] = "%d/%d行目を書き込み中";
inline constexpr char kGalWritingSignature[] = "Signatureを書き込み中";
inline constexpr char kGalWritingAcw[] = "ACWを書き込み中";
inline constexpr char kGalWritingAsr[] = "ASRを書き込み中";
inline constexpr char kGalWriteEnd[] = "書き込み終了";
inline constexpr char kGalWriteDifference[] = "Verify error at %d Buffer:%d Written:%d";
inline constexpr char kGalVerifyDifference[] = "Verify error at %d デバイス:%d バッファ:%d";
inline constexpr char kGalNotBlank[] = "Not Blank at FUSE:%d";
inline constexpr char kGalTooManyErrors[] = "エラーが多いので表示を中止します";
inline constexpr char kGalVerifyOk[] = "ベリファイは成功しました";
inline constexpr char kGalVerifyErrors[] = "ベリファイの結果、%d個所のエラーがありました。";
inline constexpr char kGalSecureUnsupported[] = "GAL22のセキュリティーにはまだ対応していません";
inline constexpr char kGalPesStart[] = "PESの内容を読みます";
inline constexpr char kGalPesLine[] = "LINE %d";
// A record whose layout would lead the rows outside the fuse image (a
// parameter edited by hand, a type code without a wiring) is refused before
// the programmer is touched.
inline constexpr char kGalBadLayout[] = "GAL: the device parameters cannot be used: %s";

}  // namespace krt::texts
