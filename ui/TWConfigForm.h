// SPDX-License-Identifier: GPL-3.0-or-later
// The device parameter editor: shows the chosen device's record and lets the
// user adjust pulse widths, retry count, supplies, bus masks, wait mode and
// flags before programming. Changes are made in the record in place.
#pragma once

#include <QDialog>
#include <string>
#include <utility>
#include <vector>

#include "base/Texts.h"
#include "catalogue/DeviceRecord.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace krt {

// "1.0us", "50.0ns", "10.0ms": the time in the unit that suits it, one decimal.
std::string TimeText(double seconds);
// Reads a time text: blanks removed, a decimal number and directly after it
// one of ns, us, ms or s (any case). No unit, or other text, gives 0.
double ParseTimeText(const std::string& text);

class TWConfigForm : public QDialog {
    Q_OBJECT

public:
    explicit TWConfigForm(QWidget* parent = nullptr);

    // Points the editor at the record it edits (the main window's; may be null).
    void SetRecord(DeviceRecord* record);
    // The device type's parts can tell what they are (the identity check box applies).
    static bool HasIdentity(const std::string& type);
    DeviceRecord* Record() const { return record_; }

    // Copies the record into the controls.
    void Fill();
    // Takes the controls into the record, bounded, and shows the result.
    // Takes the fields into the record; false (nothing taken, the user told
    // the field's range) when a voltage is beyond what the programmer supplies.
    bool Apply();
    // Whether the window may close; asks to apply pending changes.
    bool FormCloseQuery();

    bool Modified() const { return modified_; }

    // The window's language (0 Japanese, 1 English): sets every text it
    // shows. The main window passes its own on each switch; the editor is
    // modal, so the language cannot change while it is open.
    void SetLanguage(uint32_t language);
    uint32_t Language() const { return language_; }

    // The window's text table: [Japanese, English].
    struct Texts {
        static constexpr TextPair kCaption = {"書きこみ方法の確認", "Programming method"};
        static constexpr TextPair kCloseQuestion = {"パラメータが変更されています。反映させますか？",
                                                    "The parameters were changed. Apply them?"};
        static constexpr TextPair kCloseCaption = {"確認", "Confirm"};
        static constexpr TextPair kControlCode = {"コントロールコードは%02Xです。", "The control code is %02X."};
        static constexpr TextPair kAddressLength = {"アドレス長は%02Xビットです。",
                                                    "The address length is %02X bits."};
        static constexpr TextPair kNote = {"注意：", "Note: "};
        static constexpr TextPair kAlgorithm = {"書きこみアルゴリズム：", "Programming algorithm: "};
        static constexpr const char* kNotApplicable = "N/A";
        static constexpr const char* kUnitWord = "(Word)";
        static constexpr const char* kUnitByte = "(Byte)";
        static constexpr TextPair kFlagsGroup = {"特殊フラグ", "Special flags"};
        static constexpr TextPair kVerify = {"書き込み時ベリファイ", "Verify while writing"};
        static constexpr TextPair kWordSize = {"16bitサイズでアクセス", "16-bit access"};
        static constexpr TextPair kSwap = {"上下バイトのスワップ", "Swap high and low bytes"};
        static constexpr TextPair kIdCheck = {"書きこみ前にデバイスを確認", "Check the device before writing"};
        static constexpr TextPair kIdCheckTip = {
            "ソケットのデバイスが自分の識別情報（PICのデバイスID、フラッシュの識別コード、GALの電子署名）を"
            "返すものか確かめ、違えば書きこみも消去もしません",
            "Checks that the device in the socket gives its own identity (a PIC's device ID, a flash's "
            "identifier code, a GAL's electronic signature); if it does not, nothing is written or erased"};
        static constexpr TextPair kPageWrite = {"ページ書込", "Page write"};
        static constexpr TextPair kChangedOnly = {"変わったページだけ書く", "Write changed pages only"};
        static constexpr TextPair kChangedOnlyTip = {
            "書きこみの前に各ページを読み、違うページだけを書く (EEPROMのみ)",
            "Reads each page first and writes only the pages that differ (EEPROMs only)"};
        static constexpr TextPair kPageWriteTip = {"書きこみサイクルごとに1ページ (2線式シリアルEEPROMのみ)",
                                                   "One page per write cycle (two-wire serial EEPROMs only)"};
        static constexpr TextPair kWaitModes[5] = {{"タイマー", "Timer"},
                                                   {"ビジーフラグ", "Busy flag"},
                                                   {"トグルビット", "Toggle bit"},
                                                   {"ポーリング", "Data polling"},
                                                   {"Windowsタイマー", "Windows timer"}};
        static constexpr TextPair kWaitModeTip = {"書きこみ完了の待ち方 (EEPROMのみ)",
                                                  "How to wait for the end of a write (EEPROMs only)"};
        static constexpr TextPair kApply = {"適用(&A)", "&Apply"};
        static constexpr TextPair kClose = {"閉じる(&C)", "&Close"};
        // Captions of the fields, chosen for this window.
        static constexpr TextPair kDeviceGroup = {"デバイス", "Device"};
        static constexpr TextPair kType = {"種類", "Type"};
        static constexpr TextPair kVendor = {"製造元", "Maker"};
        static constexpr TextPair kName = {"型番", "Part"};
        static constexpr TextPair kCode = {"タイプコード", "Type code"};
        static constexpr const char* kCodePrefix = "0x";
        static constexpr TextPair kMaxsize = {"容量", "Size"};
        static constexpr TextPair kPagesize = {"ページサイズ", "Page size"};
        static constexpr TextPair kTimingGroup = {"書きこみ条件", "Programming"};
        static constexpr TextPair kTpw = {"書きこみパルス幅", "Write pulse"};
        static constexpr TextPair kTpr = {"読み出しパルス幅", "Read pulse"};
        static constexpr TextPair kRetry = {"リトライ回数", "Retries"};
        static constexpr TextPair kRetryUnit = {"回", "times"};
        static constexpr TextPair kTpwTip = {"書きこみパルス幅 (1.0us～50.0ms、単位 ns/us/ms)",
                                             "Write pulse width (1.0us to 50.0ms; units ns, us, ms)"};
        static constexpr TextPair kTprTip = {"読み出しパルス幅 (1.0us～50.0ms、単位 ns/us/ms)",
                                             "Read pulse width (1.0us to 50.0ms; units ns, us, ms)"};
        static constexpr TextPair kRetryTip = {"書きこみのリトライ回数 (0～100)", "Write retries (0 to 100)"};
        static constexpr TextPair kSupplyGroup = {"電源電圧", "Supplies"};
        static constexpr TextPair kRead = {"読み出し時", "Reading"};
        static constexpr TextPair kWrite = {"書きこみ時", "Writing"};
        static constexpr TextPair kVccReadTip = {"読み出し時のVcc (0～7.5V)", "Vcc when reading (0 to 7.5 V)"};
        static constexpr TextPair kVppReadTip = {"読み出し時のVpp (0～21V)", "Vpp when reading (0 to 21 V)"};
        static constexpr TextPair kVccWriteTip = {"書きこみ時のVcc (0～7.5V)", "Vcc when writing (0 to 7.5 V)"};
        static constexpr TextPair kVppWriteTip = {"書きこみ時のVpp (0～21V)", "Vpp when writing (0 to 21 V)"};
        // A voltage beyond the field's range. %s: the field's tip (with its
        // range); %s: the text typed.
        static constexpr TextPair kSupplyRefused = {"%s: %s Vはプログラマが供給できません。適用していません。",
                                                    "%s: the programmer cannot supply %s V. Nothing was applied."};
        static constexpr const char* kVcc = "Vcc";
        static constexpr const char* kVpp = "Vpp";
        static constexpr const char* kVolt = "V";
        static constexpr const char* kAnd = "AND";
        static constexpr const char* kOr = "OR";
        static constexpr TextPair kAndTip = {"ANDマスク (16進数)", "AND mask (hexadecimal)"};
        static constexpr TextPair kOrTip = {"ORマスク (16進数)", "OR mask (hexadecimal)"};
        static constexpr const char* kMaskColumns[5] = {"AH", "AM", "AL", "DH", "DL"};
        static constexpr TextPair kWaitMode = {"完了の待ち方", "Wait by"};
        static constexpr TextPair kNotes = {"備考", "Notes"};
    };

protected:
    void showEvent(QShowEvent* event) override;

public slots:
    void reject() override;

private slots:
    void Button2Click();
    void Button1Click();
    void EditChange();
    void CheckWordSizeClick();

private:
    void BuildControls();
    void SetEdit(QLineEdit* edit, int length, const QString& text);
    // The record's lines in the notes, in the window's language.
    void FillNotes();
    QString Text(const TextPair& pair) const;

    DeviceRecord* record_ = nullptr;
    uint32_t language_ = 0;
    // Every caption and tip of the window with its pair of texts, set again
    // by SetLanguage.
    std::vector<std::pair<QWidget*, const TextPair*>> captions_;
    std::vector<std::pair<QWidget*, const TextPair*>> tips_;
    bool modified_ = false;
    bool filling_ = false;

public:
    // Controls, named as in the window's design.
    QLineEdit* TextType = nullptr;
    QLineEdit* TextVendor = nullptr;
    QLineEdit* TextName = nullptr;
    QLineEdit* TextCode = nullptr;
    QLineEdit* TextMaxsize = nullptr;
    QLineEdit* TextPagesize = nullptr;
    QLabel* LabelBW1 = nullptr;
    QLabel* LabelBW2 = nullptr;
    QLineEdit* EditTpw = nullptr;
    QLineEdit* EditTpr = nullptr;
    QLineEdit* EditRetry = nullptr;
    QLineEdit* EditVccR = nullptr;
    QLineEdit* EditVccW = nullptr;
    QLineEdit* EditVppR = nullptr;
    QLineEdit* EditVppW = nullptr;
    QLineEdit* EditAHAND = nullptr;
    QLineEdit* EditAMAND = nullptr;
    QLineEdit* EditALAND = nullptr;
    QLineEdit* EditDHAND = nullptr;
    QLineEdit* EditDLAND = nullptr;
    QLineEdit* EditAHOR = nullptr;
    QLineEdit* EditAMOR = nullptr;
    QLineEdit* EditALOR = nullptr;
    QLineEdit* EditDHOR = nullptr;
    QLineEdit* EditDLOR = nullptr;
    QCheckBox* CheckVerify = nullptr;
    QCheckBox* CheckWordSize = nullptr;
    QCheckBox* CheckSwap = nullptr;
    QCheckBox* CheckIdCheck = nullptr;
    QCheckBox* CheckPageWrite = nullptr;
    QCheckBox* CheckChangedOnly = nullptr;
    QComboBox* ComboWaitmode = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button1 = nullptr;
};

}  // namespace krt
