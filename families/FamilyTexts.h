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

// 28F flash: the last failed attempt of the clearing before an erase.
inline constexpr char kFlashClearVerifyError[] = "Verify error at %06lX";
// Serial EEPROM (two-wire 24Cxx, three-wire 93Cx6). Unlike the lines above,
// these come in both languages: [0] Japanese, [1] English, picked by the
// link's language.
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

}  // namespace krt::texts
