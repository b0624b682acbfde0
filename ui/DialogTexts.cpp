// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialogTexts.h"

#include <QStringList>
#include <array>

namespace krt {

namespace {

struct DialogPair {
    DialogText id;
    const char* japanese;
    const char* english;
};

// The configuration dialog's controls keep their Japanese texts in
// Japanese; in English the whole dialog speaks English, so that a first
// run is in one language.
constexpr DialogPair kDialogTexts[] = {
    {DialogText::HConfigCaption, "ハードウェアの設定", "Hardware configuration"},
    {DialogText::RadioGroup1, "プリンタポポートのアドレス", "Printer port address"},
    {DialogText::Port378, "0x378", "0x378"},
    {DialogText::Port278, "0x278", "0x278"},
    {DialogText::Port3BC, "0x3bc", "0x3bc"},
    {DialogText::RadioGroup2, "電源回路のバージョン", "Power circuit version"},
    {DialogText::Ver1, "Ver1仕様", "Ver1 circuit"},
    {DialogText::Ver2, "Ver2仕様", "Ver2 circuit"},
    {DialogText::GroupBox1, "KRTのクロック周波数", "KRT clock frequency"},
    {DialogText::Edit1Initial, "4.0000", "4.0000"},
    {DialogText::Label2, "MHz", "MHz"},
    {DialogText::Label1, "KRT1のバージョン", "KRT1 version"},
    {DialogText::Label3, "KRT2のバージョン", "KRT2 version"},
    {DialogText::Button1, "OK", "OK"},

    {DialogText::ConnectionGroup, "プログラマの接続", "Programmer connection"},
    {DialogText::RadioSimulator, "シミュレータ", "Simulated programmer"},
    {DialogText::RadioPrinterPort, "プリンタポート", "Printer port"},
    {DialogText::ButtonBlankChip, "ソケットのチップを消去(&E)", "&Erase the chip in the socket"},
    {DialogText::BlankChipHint,
     "シミュレータのソケットにあるチップを消去します（EPROMは紫外線消去、その他はブランクに戻します）",
     "Erases the chip in the simulated socket (UV erase for an EPROM, blank for the others)"},
    {DialogText::BlankChipQuestion,
     "シミュレータのソケットにあるチップを消去しますか？\n内容は失われます。",
     "Erase the chip in the simulated socket?\nIts contents are lost."},
    {DialogText::ConnectionHint, "次回の起動から有効になります。",
     "Takes effect at the next start."},
    {DialogText::SimulatorNotInUse, "シミュレータは使われていません。",
     "The simulated programmer is not in use."},
    {DialogText::ClockRange, "%1～%2 MHz", "%1 to %2 MHz"},
    {DialogText::ClockRefused,
     "KRTのクロック周波数は%1～%2 MHzの範囲で入力してください。",
     "The KRT clock must be from %1 to %2 MHz."},
    {DialogText::PortBaseHint,
     "PCI・PCIeカードは /proc/sys/dev/parport/parport*/base-addr（10進）か lspci -v の値を16進で入力",
     "A PCI or PCIe card's base: /proc/sys/dev/parport/parport*/base-addr (decimal) or lspci -v, typed in hex"},
    {DialogText::PortBaseRefused,
     "プリンタポートのアドレスは16進数で100～FFF8の4の倍数を入力してください（例: 378、278、3BC、D010）。",
     "The printer-port address must be hexadecimal, from 100 to FFF8, a multiple of 4 (for example 378, 278, 3BC, D010)."},

    {DialogText::VersionRequired,
     "電源回路のバージョン（Ver1仕様かVer2仕様）を選んでください。組み立てたKRTの版が分からないままでは、"
     "正しい電圧をかけられません。",
     "Choose the power-circuit version (Ver1 or Ver2) of the KRT you built: without it the programmer cannot "
     "apply the right voltages."},
    {DialogText::AboutCaption, "バージョン情報", "About"},
    {DialogText::ProductName, "QV17win", "QV17win"},
    {DialogText::VersionPrefix, "Version ", "Version "},
    {DialogText::AboutLine1, "ユニバーサルプログラマＫＲＴ用コントロールソフト",
     "Control software of the KRT universal programmer"},
    {DialogText::AboutLine2, "KRT1・KRT2 (プリンタポート接続) 対応",
     "For the units KRT1 and KRT2 on the printer port"},
    {DialogText::AboutClose, "閉じる", "Close"},

    {DialogText::WelcomeCaption, "Welcome", "Welcome"},
    {DialogText::WelcomeClose, "閉じる", "Close"},
    {DialogText::PortTip, "KRTをつないだプリンタポートのベースアドレス", "The base address of the printer port the KRT is on"},
    {DialogText::VersionTip, "組み立てたKRTの電源回路の版", "The version of the power circuit of the KRT you built"},
    {DialogText::ClockTip, "KRTの水晶発振器の周波数 (MHz)", "The frequency of the KRT's crystal (MHz)"},
};

static_assert(std::size(kDialogTexts) == static_cast<size_t>(DialogText::Count));

constexpr bool InOrder() {
    for (size_t i = 0; i < std::size(kDialogTexts); ++i) {
        if (static_cast<size_t>(kDialogTexts[i].id) != i) return false;
    }
    return true;
}
static_assert(InOrder(), "the table follows the order of DialogText");

constexpr const char* kWelcomeJapanese[] = {
    "　　　　　　　　　ＫＲＴへようこそ",
    "",
    "これはユニバーサルプログラマＫＲＴ用のコントロールソフトです。",
    "最初にこのプログラムを起動したときには、各種の設定を行わな",
    "ければなりません。",
    "閉じるを押して設定を完了させてください。",
    "設定の内容は、使った水晶発信器の周波数や参考にした回路図",
    "のバージョンなどです。",
    "ＫＲＴの水晶は普通3.5MHzです（設定はこの値で始まります）。",
    "",
};

constexpr const char* kWelcomeEnglish[] = {
    "                  Welcome to the KRT",
    "",
    "This is the control software of the universal programmer KRT.",
    "When this program is started for the first time, several settings",
    "must be made.",
    "Press Close to complete the settings.",
    "The settings are the frequency of the crystal oscillator used and",
    "the version of the circuit diagram followed.",
    "The KRT's usual crystal is 3.5 MHz (the settings start with it).",
    "",
};

}  // namespace

QString DialogTextOf(uint32_t language, DialogText text) {
    const size_t i = static_cast<size_t>(text);
    if (i >= std::size(kDialogTexts)) return {};
    return QString::fromUtf8(language == 0 ? kDialogTexts[i].japanese : kDialogTexts[i].english);
}

QString WelcomeText(uint32_t language) {
    QStringList lines;
    if (language == 0) {
        for (const char* line : kWelcomeJapanese) lines << QString::fromUtf8(line);
    } else {
        for (const char* line : kWelcomeEnglish) lines << QString::fromUtf8(line);
    }
    return lines.join(u'\n');
}

}  // namespace krt
