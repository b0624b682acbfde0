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

// PIC microcontroller.
inline constexpr char kPicVerifyError[] = "Verify error at %06lX";
inline constexpr char kPicNotBlank[] = "Not Blank at %06lX";

}  // namespace krt::texts
