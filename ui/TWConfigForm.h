// SPDX-License-Identifier: GPL-3.0-or-later
// The device parameter editor: shows the chosen device's record and lets the
// user adjust pulse widths, retry count, supplies, bus masks, wait mode and
// flags before programming. Changes are made in the record in place.
#pragma once

#include <QDialog>
#include <string>

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
    void Apply();
    // Whether the window may close; asks to apply pending changes.
    bool FormCloseQuery();

    bool Modified() const { return modified_; }

    // The window's text table (it speaks Japanese only).
    struct Texts {
        static constexpr const char* kCaption = "書きこみ方法の確認";
        static constexpr const char* kCloseQuestion = "パラメータが変更されています。反映させますか？";
        static constexpr const char* kCloseCaption = "確認";
        static constexpr const char* kControlCode = "コントロールコードは%02Xです。";
        static constexpr const char* kAddressLength = "アドレス長は%02Xビットです。";
        static constexpr const char* kNote = "注意：";
        static constexpr const char* kAlgorithm = "書きこみアルゴリズム：";
        static constexpr const char* kNotApplicable = "N/A";
        static constexpr const char* kUnitWord = "(Word)";
        static constexpr const char* kUnitByte = "(Byte)";
        static constexpr const char* kFlagsGroup = "特殊フラグ";
        static constexpr const char* kVerify = "書き込み時ベリファイ";
        static constexpr const char* kWordSize = "16bitサイズでアクセス";
        static constexpr const char* kSwap = "上下バイトのスワップ";
        static constexpr const char* kIdCheck = "書きこみ前にデバイスを確認";
        static constexpr const char* kIdCheckTip =
            "ソケットのデバイスが自分の識別情報（PICのデバイスID、フラッシュの識別コード、GALの電子署名）を"
            "返すものか確かめ、違えば書きこみも消去もしません";
        static constexpr const char* kPageWrite = "ページ書込";
        static constexpr const char* kWaitModes[5] = {"タイマー", "ビジーフラグ", "トグルビット",
                                                      "ポーリング", "Windowsタイマー"};
        static constexpr const char* kApply = "適用(&A)";
        static constexpr const char* kClose = "閉じる(&C)";
        // Captions of the fields, chosen for this window.
        static constexpr const char* kDeviceGroup = "デバイス";
        static constexpr const char* kType = "種類";
        static constexpr const char* kVendor = "製造元";
        static constexpr const char* kName = "型番";
        static constexpr const char* kCode = "タイプコード";
        static constexpr const char* kCodePrefix = "0x";
        static constexpr const char* kMaxsize = "容量";
        static constexpr const char* kPagesize = "ページサイズ";
        static constexpr const char* kTimingGroup = "書きこみ条件";
        static constexpr const char* kTpw = "書きこみパルス幅";
        static constexpr const char* kTpr = "読み出しパルス幅";
        static constexpr const char* kRetry = "リトライ回数";
        static constexpr const char* kRetryUnit = "回";
        static constexpr const char* kSupplyGroup = "電源電圧";
        static constexpr const char* kRead = "読み出し時";
        static constexpr const char* kWrite = "書きこみ時";
        static constexpr const char* kVcc = "Vcc";
        static constexpr const char* kVpp = "Vpp";
        static constexpr const char* kVolt = "V";
        static constexpr const char* kAnd = "AND";
        static constexpr const char* kOr = "OR";
        static constexpr const char* kMaskColumns[5] = {"AH", "AM", "AL", "DH", "DL"};
        static constexpr const char* kWaitMode = "完了の待ち方";
        static constexpr const char* kNotes = "備考";
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

    DeviceRecord* record_ = nullptr;
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
    QComboBox* ComboWaitmode = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button1 = nullptr;
};

}  // namespace krt
