// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <array>

#include "link/Protocol.h"

namespace krt {

namespace {

struct WindowPair {
    const char* ja;
    const char* en;
};

constexpr std::array<WindowPair, static_cast<size_t>(WindowText::Count)> kWindowTexts = {{
    {"許容するエラーの数", "Permissible errors"},
    {"デバイス読み出し", "READ"},
    {"デバイス書きこみ", "WRITE"},
    {"デバイスベリファイ", "VERIFY"},
    {"ブランクチェック", "BLANK CHECK"},
    {"デバイス消去", "ERASE"},
    {"セキュリティー", "SECURITY"},
    {"自動書きこみ", "AUTO WRITE"},
    {"バッファーのダンプ", "Buffer DUMP"},
    {"ハードウェアリセット", "Hardware RESET"},
    {"ハードウェア設定", "Hardware Configuration"},
    {"デバイス選択", "Device selecting"},
    {"種類(&T)", "&Type"},
    {"製造元(&M)", "&Manufacture"},
    {"型番(&N)", "&Number"},
    {"(種類を選択してください)", "(Select device's TYPE)"},
    {"(メーカーを選択してください)", "(Select device's Manufacture)"},
    {"(型番を選択してください。)", "(Select device's number)"},
    {"決定(&S)", "&Select"},
    {"操作設定", "Operation config"},
    {"開始アドレス", "Start ADDR"},
    {"終了アドレス", "End ADDR"},
    {"操作長", "Op. Length"},
    {"チェックサム", "CheckSum"},
    {"ファイル(&F)", "&File"},
    {"ファイルに関連した機能", "functions related to file"},
    {"新規作成(&N)", "&New"},
    {"開く(&O)", "&Open"},
    {"上書き保存(&S)", "&Save"},
    {"名前をつけて保存(&A)", "Save &As"},
    {"言語(&L)", "&Language"},
    {"日本語(&J)", "&Japanese"},
    {"英語(&E)", "&English"},
    {"終了(&X)", "E&xit"},
    {"プロジェクト(&P)", "&Project"},
    {"新規作成(&N)", "&New"},
    {"開く(&O)", "&Open"},
    {"上書き保存(&S)", "&Save"},
    {"名前をつけて保存(&A)", "Save &as"},
    {"一時プロジェクト(&T)", "&Temporary project"},
    {"デバイス(&D)", "&Device"},
    {"種類(&T)", "&Type"},
    {"メーカー(&M)", "&Manufacture"},
    {"型番(&N)", "&Number"},
    {"設定(&E)", "Configur&e"},
    {"操作(&O)", "&Opeation"},
    {"読みこみ(&R)", "&Read"},
    {"書きこみ(&W)", "&Write"},
    {"ベリファイ(&V)", "&Verify"},
    {"ブランクチェック(&B)", "&Blank"},
    {"消去(&E)", "&Erase"},
    {"セキュリティー(&S)", "&Security option"},
    {"自動書きこみ(&A)", "&Automatic write"},
    {"デバイスオプション(&O)", "Device &Option"},
    {"バイナリ(&B)", "&Binary"},
    {"ダンプ(&D)", "&Dump"},
    {"ハードウェア(&W)", "Hard&ware"},
    {"リセット(&R)", "&Reset"},
    {"デバッグ(&D)", "&Debug"},
    {"設定(&C)", "&Configure"},
    {"ヘルプ(&H)", "&Help"},
    {"目次(&C)", "&Contents"},
    {"バージョン情報(&A)", "&About..."},
    {"ワンタイムPROM", "One Time PROM"},
    {"データ保護の解除(&U)", "&Unprotect (data protection off)"},
    {"データ保護をかける(&P)", "&Protect (data protection on)"},
    {"5VフラッシュROM", "5V FLASHROM"},
    {"チップの識別(&I)", "&Identify (read the chip's product ID)"},
    {"重ねて開く(&M)...", "&Merge..."},
    {"チップとバッファの比較(&C)", "&Compare chip with buffer"},
    {"チップのチェック(&K)...", "Chec&k chip..."},
    {"スタティックRAM", "Static RAM"},
}};

constexpr const char* kTypeItems[kSystemDeviceTypeCount - 1] = {
    "EPROM", "EEPROM", "Serial EEPROM", "FLASHROM", "PLD", "MicroControler"};

struct TypeKey {
    const char* text;
    const char* key;
};
constexpr TypeKey kTypeKeys[] = {
    {"EPROM", "EPROM"},          {"EEPROM", "EEPROM"},       {"Serial EEPROM", "SEEPROM"},
    {"シリアルEEPROM", "SEEPROM"}, {"FLASHROM", "FLASH"},      {"PLD", "GAL"},
    {"MicroControler", "PIC"},   {"ワンタイムPROM", "OTPROM"}, {"One Time PROM", "OTPROM"},
    {"5V FLASHROM", "FLASH5V"},  {"5VフラッシュROM", "FLASH5V"},
    {"Static RAM", "SRAM"},      {"スタティックRAM", "SRAM"},
};

}  // namespace

QString WindowTextOf(uint32_t language, WindowText text) {
    const auto index = static_cast<size_t>(text);
    if (index >= kWindowTexts.size()) return {};
    return QString::fromUtf8(language == 0 ? kWindowTexts[index].ja : kWindowTexts[index].en);
}

QString DeviceTypeItem(uint32_t language, int index) {
    if (index < 0 || index >= kDeviceTypeCount) return {};
    if (index == kSystemDeviceTypeCount - 1) return WindowTextOf(language, WindowText::OneTimePromType);
    if (index == kSystemDeviceTypeCount) return WindowTextOf(language, WindowText::Flash5vType);
    if (index == kSystemDeviceTypeCount + 1) return WindowTextOf(language, WindowText::SramType);
    return QString::fromUtf8(kTypeItems[index]);
}

QString TypeItemOf(uint32_t language, const QString& key) {
    for (int i = 0; i < kDeviceTypeCount; ++i)
        if (TypeKeyOf(DeviceTypeItem(language, i)).compare(key, Qt::CaseInsensitive) == 0)
            return DeviceTypeItem(language, i);
    return key;
}

QString TypeKeyOf(const QString& text) {
    for (const auto& entry : kTypeKeys)
        if (text == QString::fromUtf8(entry.text)) return QString::fromUtf8(entry.key);
    return {};
}

QString DeviceListFailedText() {
    return QStringLiteral("ファイル") + QStringLiteral("DEVICE.LST") +
           QStringLiteral("のオープンに失敗しました");
}

QString SimulatorInUseText(uint32_t language) {
    return language == 0 ? QStringLiteral("シミュレータを使用しています（実機のKRTは使われません）")
                         : QStringLiteral("Using the simulated programmer (no KRT hardware is driven)");
}

QString PortFailedText(uint32_t language, const QString& port, const QString& reason) {
    if (language == 0)
        return QStringLiteral("プリンタポート%1を開けません: %2\n"
                              "ファイルの操作はこのまま使えます。"
                              "ハードウェアの設定でシミュレータを選ぶか、ポートを直してから起動し直してください。")
            .arg(port, reason);
    return QStringLiteral("Printer port %1 could not be opened: %2\n"
                          "File work stays available. Choose the simulated programmer in "
                          "Hardware > Configure, or fix the port and start the program again.")
        .arg(port, reason);
}

QString NotReadLogText(uint32_t language, const QString& file, const QString& reason) {
    if (language == 0)
        return QStringLiteral("ファイル\"%1\"は読みこまれませんでした（%2）。バッファは変わっていません。").arg(file, reason);
    return QStringLiteral("File \"%1\" is not read (%2); the buffer is as it was.").arg(file, reason);
}

QString OpenOnceSelectedText(uint32_t language, const QString& file) {
    if (language == 0)
        return QStringLiteral("ファイル\"%1\"はデバイスを選択すると読みこみます（デバイスを選んで「決定」を押してください）。")
            .arg(file);
    return QStringLiteral("File \"%1\" is read once a device is selected (choose it and press Select).").arg(file);
}

QString ProtectionOnlyEepromText(uint32_t language) {
    if (language == 0)
        return QStringLiteral("ソフトウェアデータ保護はパラレルEEPROMとページ書きこみの5VフラッシュROMだけの機能です。"
                              "先にそのどちらかを選択してください。");
    return QStringLiteral("Software data protection is a feature of parallel EEPROMs and page-mode 5V flash only: "
                          "select one of them first.");
}

QString ProtectionSuspectedText(uint32_t language) {
    if (language == 0)
        return QStringLiteral("ページのデータが1バイトも変わらなかったので、書きこみを中止しました。"
                              "チップにソフトウェアデータ保護がかかっている可能性があります。\n"
                              "「デバイス」メニューの「データ保護の解除」で保護を解いてから、もう一度書きこんでください。");
    return QStringLiteral("The write stopped: not one byte of a page changed, so the chip is probably "
                          "software data protected.\n"
                          "Turn the protection off with Device > Unprotect, then write again.");
}

QString ProtectionFailedText(uint32_t language, const QString& reason) {
    if (language == 0) return QStringLiteral("データ保護の操作に失敗しました（%1）").arg(reason);
    return QStringLiteral("The data protection command failed (%1)").arg(reason);
}

QString KnownOutcomeText(uint32_t language, uint8_t code, uint8_t outcome, const QString& device) {
    const bool ja = language == 0;
    if (code == REQ_DEVICE_OPTION)
        return (ja ? QStringLiteral("デバイスオプション（IDの読み出し）はGALだけの機能です。%1にはありません。")
                   : QStringLiteral("The device option (an ID read) exists only for GALs: %1 has none."))
            .arg(device);
    if (code == REQ_ERASE)
        return (ja ? QStringLiteral("%1はプログラマでは消去できません（EPROMは紫外線で消去します。ワンタイムPROMは消去できません）。")
                   : QStringLiteral("%1 cannot be erased by the programmer: an EPROM is erased with ultraviolet light, "
                                    "a one-time PROM not at all."))
            .arg(device);
    if (outcome == RESULT_INCOMPLETE)
        return (ja ? QStringLiteral("%1のセキュリティーにはまだ対応していません。")
                   : QStringLiteral("The security operation of %1 is not supported yet."))
            .arg(device);
    return (ja ? QStringLiteral("%1にはセキュリティーの操作がありません（GAL16V8とGAL20V8だけにあります）。")
               : QStringLiteral("%1 has no security operation (only GAL16V8 and GAL20V8 have one)."))
        .arg(device);
}

QString SaveLogMenuText(uint32_t language) {
    return language == 0 ? QStringLiteral("ログを保存(&L)...") : QStringLiteral("Save &log...");
}

QString SaveLogFailedText(uint32_t language, const QString& path, const QString& reason) {
    if (language == 0) return QStringLiteral("ログをファイル\"%1\"に保存できませんでした（%2）").arg(path, reason);
    return QStringLiteral("The log could not be saved to \"%1\" (%2)").arg(path, reason);
}

QString TimeLeftText(uint32_t language, qint64 seconds) {
    const QString time = seconds >= 60 ? QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'))
                                       : QString::number(seconds);
    if (language == 0) return seconds >= 60 ? QStringLiteral("残り約%1").arg(time) : QStringLiteral("残り約%1秒").arg(time);
    return seconds >= 60 ? QStringLiteral("about %1 left").arg(time) : QStringLiteral("about %1 s left").arg(time);
}

QString QuitWhileRunningText(uint32_t language) {
    if (language == 0)
        return QStringLiteral("操作の実行中です。操作を中止して終了しますか？\n"
                              "中止すると、デバイスは途中まで書きこまれた状態で残ります。");
    return QStringLiteral("An operation is running: cancel it and quit?\n"
                          "A cancelled operation leaves the device as far as it got.");
}

QString ProgressCancelText(uint32_t language) {
    return language == 0 ? QString::fromUtf8(kProgressCancel) : QStringLiteral("Cancel");
}

QString ProgressFinishedText(uint32_t language) {
    return language == 0 ? QString::fromUtf8(kProgressFinished) : QStringLiteral("Finished");
}

QString ProgressStartText(uint32_t language, int maximum) {
    if (language == 0) return QString::asprintf("0/%d (0%%)終了しました", maximum);
    return QString::asprintf("0/%d (0%%) done", maximum);
}

QString ProgressCountText(uint32_t language, int position, int maximum) {
    const double percent = maximum > 0 ? position * 100.0 / maximum : 0.0;
    if (language == 0) return QString::asprintf("%d/%d (%3.0f%%)終了しました", position, maximum, percent);
    return QString::asprintf("%d/%d (%3.0f%%) done", position, maximum, percent);
}

QString DiscardUnsavedText(uint32_t language) {
    if (language == 0)
        return QStringLiteral("バッファにはチップから読み出して保存していないデータがあります。消去しますか？");
    return QStringLiteral("The buffer holds data read from the chip that was not saved. Clear it?");
}

uint32_t LanguageOfLocale(const QString& localeName) { return localeName.startsWith(QStringLiteral("ja")) ? 0 : 1; }

QString TypeItemOfKey(uint32_t language, const QString& key) {
    for (int i = 0; i < kDeviceTypeCount; ++i)
        if (TypeKeyOf(DeviceTypeItem(language, i)).compare(key, Qt::CaseInsensitive) == 0)
            return DeviceTypeItem(language, i);
    return key;
}

QString DeviceNameText(uint32_t language, const QString& typeKey, const QString& maker, const QString& name) {
    return QStringLiteral("%1 / %2 / %3").arg(TypeItemOfKey(language, typeKey), maker, name);
}

QString DeviceInUseText(uint32_t language, const QString& device) {
    return (language == 0 ? QStringLiteral("使用中のデバイス: %1") : QStringLiteral("Device in use: %1")).arg(device);
}

QString ListsDifferText(uint32_t language, const QString& lists, const QString& inUse) {
    if (language == 0)
        return QStringLiteral("一覧は%1を示していますが、使用中のデバイスは%2です。何もしていません。"
                              "一覧のデバイスを使うには「決定」を押してください。")
            .arg(lists, inUse);
    return QStringLiteral("The lists show %1, but the device in use is %2: nothing was done. "
                          "Press Select to use the device the lists show.")
        .arg(lists, inUse);
}

bool UseQtTranslations(uint32_t language) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return false;
    // One translator for the program's life, installed while Japanese is chosen.
    static QTranslator* translator = nullptr;
    if (!translator) translator = new QTranslator(app);
    QCoreApplication::removeTranslator(translator);
    if (language != 0) return true;
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(translator);
}

}  // namespace krt
