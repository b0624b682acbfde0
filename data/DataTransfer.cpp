// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/DataTransfer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "data/DataFile.h"
#include "base/Log.h"
#include "base/StatusMessages.h"
#include "base/Texts.h"

namespace krt {

namespace {

// A PIC file's data-EEPROM records are left out of a buffer that ends
// before them (a record sized by hand); the user is told so.
constexpr char kDataEepromNotLoadedEn[] =
    "The file's %u data-EEPROM bytes (from address 4200h) were not loaded: this device's buffer ends before "
    "them, so its operations leave the data EEPROM alone.";
constexpr char kDataEepromNotLoadedJa[] =
    "ファイルのデータEEPROM %uバイト(アドレス4200hから)は読みこまれませんでした。このデバイスのバッファーはその手前で終わるため、データEEPROMは操作されません。";
// A JEDEC file's security field (G1): a write programs fuses only; the
// security fuse is set by the Secure operation, which the 22V10 does not
// have here. [0] Japanese, [1] English.
constexpr const char* kFileAsksSecurity[2] = {
    "ファイルはセキュリティーヒューズを求めています（G1）。書きこみではかかりません。書きこみとベリファイの後に"
    "セキュリティー操作でかけてください（krt secure GAL %s %s）。",
    "The file asks for the security fuse (G1); a write does not set it. Set it after writing and verifying "
    "with the Secure operation (krt secure GAL %s %s)."};
constexpr const char* kFileAsksSecurityNone[2] = {
    "ファイルはセキュリティーヒューズを求めています（G1）が、%sのセキュリティーにはここでは対応していません："
    "チップはセキュリティーなしで書かれます。",
    "The file asks for the security fuse (G1), but the %s's security is not available here: the chip is "
    "written without it."};

// Why a file was refused, or cut, beyond the message box's text.
// %s: the file.
constexpr TextPair kWordAddressedText{
    "%sはワードアドレスのHEXファイル(INHX16、gpasm -a inhx16 の出力)です。アドレスとバイト数がワード単位なので読みこめません。"
    "INHX8M形式(gpasmの標準の形式)で書き出したファイルを開いてください。",
    "%s is a word-addressed HEX file (INHX16, as gpasm -a inhx16 writes it): its addresses and byte counts count "
    "words, not bytes. Write it as INHX8M (gpasm's default format) and open that file."};
// %s: the file; %u: the file's fuse count; %s: the device; %u: its fuse count.
constexpr TextPair kFuseCountText{
    "%sは%uヒューズのヒューズマップ(QF%u)ですが、%sのヒューズは%uです。このデバイス用のファイルを開いてください。",
    "%s is a fuse map of %u fuses (QF%u), but the %s has %u fuses: open a file made for this device."};
constexpr TextPair kJedecIncompleteText{
    "%sは完全なJEDECファイルではありません。JEDECファイルには\"*\"で終わるフィールド、ヒューズ(LまたはF)、"
    "最後のETX(テキスト終了文字)が必要です。",
    "%s is not a complete JEDEC fuse map: a fuse map has fields that end in \"*\", its fuses (L or F fields) and "
    "the end-of-text character (ETX) at its end."};
// %s: the file; %u: the offset; %02X: the byte.
constexpr TextPair kJedecNotTextText{
    "%sはJEDECのテキストではありません。オフセット%uに制御文字%02Xhがありますが、ヒューズマップにはこのような文字はありません。",
    "%s is not JEDEC text: at offset %u it holds the control character %02Xh, which no fuse map holds."};
// %s: the file; %c: the field; %u: the offset; %c: the character.
constexpr TextPair kJedecFuseValueText{
    "%sの%cフィールド(オフセット%u)にヒューズの値\"%c\"があります。ヒューズの値は0か1です。",
    "%s: the %c field at offset %u holds the fuse value \"%c\"; a fuse is 0 or 1."};
// %s: the file; %u: the offset.
constexpr TextPair kJedecFuseNumberText{
    "%sのLフィールド(オフセット%u)にはヒューズ番号とヒューズの値の両方が必要です(L番号 値*)。",
    "%s: the L field at offset %u wants its fuse number and then the fuse states (L number states*)."};
// %s: the file; %u: the words read.
constexpr TextPair kBinaryLargerText{
    "%sはデバイスより大きいファイルです。開始アドレスからデバイスの終わりまでの%uワードを越える部分はデバイスに入りません。"
    "一部だけを読みこむには長さを指定してください。",
    "%s is larger than the device: it holds more than the %u words from the start to the end of the device, and the "
    "rest has no place on it. To read a part of it, set the length."};
// The same for krt. %s: the file; %u: the words read; %s: krt's option.
constexpr TextPair kBinaryLargerOptionText{
    "%sはデバイスより大きいファイルです。開始アドレスからデバイスの終わりまでの%uワードを越える部分はデバイスに入りません。"
    "一部だけを読みこむには%sで長さを指定してください。",
    "%s is larger than the device: it holds more than the %u words from the start to the end of the device, and the "
    "rest has no place on it. To read a part of it, give the length with %s."};
constexpr TextPair kBinaryCutText{
    "%sの先頭%uワード(範囲の長さ)だけを読みこみました。ファイルの残りは読みこんでいません。",
    "Only the first %u words of %s were read (the range's length); the rest of the file was not read."};

// A file saved. %s: the file; %u: the words written.
constexpr TextPair kSavedText{"File:%sに%uワード書き込まれました。", "File:%s: %u words written."};
constexpr TextPair kSavedStatusText{"File:%s書きこみました", "File: %s written"};
// A file not saved. %s: the file; %s: the system's reason.
constexpr TextPair kNotSavedText{"ファイル\"%s\"は保存されませんでした: %s",
                                 "File \"%s\" was not saved: %s"};
constexpr TextPair kNoReasonText{"書きこめません", "it cannot be written"};

}  // namespace

std::string TransferStatusText(const std::string& name, bool written, uint32_t language) {
    return written ? Format(InLanguage(kSavedStatusText, language), name.c_str())
                   : Format(MessageText(language, 9), name.c_str());
}

namespace {

void Prepare(DataFile& file, const DeviceRecord& record, uint8_t* data, uint32_t size, const OperationRange& range,
             LogSink* log) {
    file.typecode = record.typecode;
    file.bytesPerWord = record.bytesPerWord ? record.bytesPerWord : 1;
    // Never beyond the memory that exists, whatever the record says.
    file.bufsize = std::min(record.bufsize, size);
    file.buffer = data;
    file.start = range.Start();
    file.length = range.Length();
    file.maxsize = record.maxsize;
    file.shorterFuseCounts = record.fusecounts;
    file.log = log;
}

}  // namespace

TransferReport ReadDataFile(const std::string& name, const DeviceRecord& record, DataBuffer& buffer,
                            const OperationRange& range, uint32_t language, LogSink* log, uint32_t format,
                            bool cutConsented, const char* lengthOption) {
    TransferReport report;
    DataFile file(name, ChooseFormat(name, format));
    Prepare(file, record, buffer.data(), buffer.Exists() ? buffer.size() : 0, range, log);
    file.cutConsented = cutConsented;
    // A refused file leaves the buffer as it was: what a reader stored before
    // it met the fault is put back, so that no half-read file is programmed.
    std::vector<uint8_t> before(buffer.data(), buffer.data() + file.bufsize);
    report.result = buffer.Exists() ? file.Read() : FILE_INTERNAL_ERROR;
    report.count = file.count;
    const char* fileName = name.c_str();
    if (file.wordAddressed) {
        report.detail = Format(InLanguage(kWordAddressedText, language), fileName);
    } else if (file.format == FORMAT_JEDEC && file.fuseCountStated && !file.FuseCountFits(file.statedFuses)) {
        report.detail = Format(InLanguage(kFuseCountText, language), fileName, static_cast<unsigned>(file.statedFuses),
                               static_cast<unsigned>(file.statedFuses), record.name.c_str(),
                               static_cast<unsigned>(file.bufsize));
    } else if (file.format == FORMAT_JEDEC && file.jedecFault == DataFile::JedecFault::NotText) {
        report.detail = Format(InLanguage(kJedecNotTextText, language), fileName,
                               static_cast<unsigned>(file.faultOffset), static_cast<unsigned>(file.faultByte));
    } else if (file.format == FORMAT_JEDEC && file.jedecFault == DataFile::JedecFault::FuseValue) {
        report.detail = Format(InLanguage(kJedecFuseValueText, language), fileName, file.faultField,
                               static_cast<unsigned>(file.faultOffset), static_cast<char>(file.faultByte));
    } else if (file.format == FORMAT_JEDEC && file.jedecFault == DataFile::JedecFault::FuseNumber) {
        report.detail = Format(InLanguage(kJedecFuseNumberText, language), fileName,
                               static_cast<unsigned>(file.faultOffset));
    } else if (file.format == FORMAT_JEDEC && report.result == FILE_FORMAT_ERROR) {
        report.detail = Format(InLanguage(kJedecIncompleteText, language), fileName);
    } else if (file.fileLonger && report.result == FILE_BEYOND_BUFFER) {
        report.detail = lengthOption == nullptr
                            ? Format(InLanguage(kBinaryLargerText, language), fileName, static_cast<unsigned>(file.count))
                            : Format(InLanguage(kBinaryLargerOptionText, language), fileName,
                                     static_cast<unsigned>(file.count), lengthOption);
    } else if (file.fileLonger) {
        report.detail = Format(InLanguage(kBinaryCutText, language), static_cast<unsigned>(file.count), fileName);
    }
    switch (report.result) {
    case FILE_OPEN_FAILED: report.messageCode = 0; break;
    case FILE_CHECKSUM_ERROR: report.messageCode = 1; break;
    case FILE_FORMAT_ERROR: report.messageCode = 2; break;
    case FILE_BEYOND_BUFFER: report.messageCode = 3; break;
    case FILE_INTERNAL_ERROR: report.messageCode = 4; break;
    default: break;
    }
    if (report.messageCode >= 0) {
        report.messageBox = MessageText(language, report.messageCode);
        if (!before.empty()) std::copy(before.begin(), before.end(), buffer.data());
        if (!report.detail.empty()) Log(log, "%s", report.detail.c_str());
        return report;
    }
    report.success = true;
    Log(log, MessageText(language, 8), name.c_str(), static_cast<int>(file.count));
    if (!report.detail.empty()) Log(log, "%s", report.detail.c_str());
    if (file.dataEepromBytes != 0)
        Log(log, language == 0 ? kDataEepromNotLoadedJa : kDataEepromNotLoadedEn,
            static_cast<unsigned>(file.dataEepromBytes));
    if (file.format == FORMAT_JEDEC && file.securityFlag) {
        const unsigned face = language == 0 ? 0 : 1;
        if (record.typecode == 7)
            Log(log, kFileAsksSecurityNone[face], record.name.c_str());
        else
            Log(log, kFileAsksSecurity[face], record.manufacture.c_str(), record.name.c_str());
    }
    report.statusText = TransferStatusText(name, false, language);
    return report;
}

TransferReport WriteDataFile(const std::string& name, const DeviceRecord& record, const DataBuffer& buffer,
                             const OperationRange& range, uint32_t language, LogSink* log, uint32_t format) {
    TransferReport report;
    // Standard output has no extension and nothing to read: binary unless asked.
    DataFile file(name, format != FORMAT_BY_NAME ? format : FormatFromName(name));
    // Writers only read the buffer.
    Prepare(file, record, const_cast<uint8_t*>(buffer.data()), buffer.Exists() ? buffer.size() : 0, range, log);
    file.deviceName = record.name;
    file.PinNumber = static_cast<uint16_t>(record.PinNumber);
    file.LineNumber = static_cast<uint32_t>(std::max(record.LineNumber, 0));
    errno = 0;
    report.result = file.Write();
    const int systemError = errno;
    report.count = file.count;
    if (report.result == FILE_CREATE_FAILED) {
        // The file and the system's reason, in the box and in the log.
        report.messageCode = 10;
        const std::string reason = systemError != 0 ? std::strerror(systemError) : InLanguage(kNoReasonText, language);
        report.detail = Format(InLanguage(kNotSavedText, language), name.c_str(), reason.c_str());
        Log(log, "%s", report.detail.c_str());
    }
    else if (report.result == FILE_FORMAT_ERROR) report.messageCode = 21;
    if (report.messageCode >= 0) {
        report.messageBox = MessageText(language, report.messageCode);
        return report;
    }
    report.success = true;
    Log(log, InLanguage(kSavedText, language), name.c_str(), static_cast<unsigned>(file.count));
    report.statusText = TransferStatusText(name, true, language);
    return report;
}

}  // namespace krt
