// SPDX-License-Identifier: GPL-3.0-or-later
// The hardware debug window: single programmer commands from the
// one mnemonic table of link/Protocol.h, a raw byte to the printer port, one
// byte from the programmer, the supply voltages, the pin check of the
// printer port's status lines, and the link reset. Every action is one
// request through the session, sent from the window thread with a freshly
// made, empty device record; the result goes to the status line. Its texts
// are Japanese only.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QStatusBar;

namespace krt {

struct TextPair;

class Session;
struct CommandMnemonic;

class THDebugForm : public QDialog {
    Q_OBJECT

public:
    explicit THDebugForm(Session& session, QWidget* parent = nullptr);

    // True while a device operation runs: the window then does not open.
    void SetBusyCheck(std::function<bool()> busy) { busy_ = std::move(busy); }
    bool CanOpen() const { return !busy_ || !busy_(); }

    // The command table entry of a ComboBox3 text (case-sensitive), or null.
    static const CommandMnemonic* CommandOf(const QString& name);

    QString StatusText() const;

public slots:
    void FormCreate();
    void FormActivate();
    void ComboBox3Change();
    void Button5Click();
    void Button3Click();
    void Button4Click();
    void PinCheckClick();
    void ScrollBar1Change();
    void ComboBox1Change();
    void ScrollBar2Change();
    void ComboBox2Change();
    void Button6Click();
    void Button7Click();
    int exec() override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One request with a fresh, empty device record.
    uint8_t Send(uint8_t code, uint32_t parameter = 0, uint32_t* value = nullptr);
    QString Result(uint8_t result) const;
    void SetStatus(const QString& text);
    // The captions in the link's language.
    void ApplyLanguage();
    QString Text(const TextPair& pair) const;

    Session& session_;
    std::function<bool()> busy_;
    bool comboUpdate_ = false;

public:
    // Controls, named as in the window's design.
    QGroupBox* GroupBox1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QScrollBar* ScrollBar1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QScrollBar* ScrollBar2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button3 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QPushButton* Button4 = nullptr;
    QLabel* StaticText1 = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* Button5 = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QCheckBox* CheckBox4 = nullptr;
    QCheckBox* CheckBox5 = nullptr;
    QCheckBox* CheckBox6 = nullptr;
    QCheckBox* CheckBox7 = nullptr;
    QCheckBox* CheckBox8 = nullptr;
    QCheckBox* CheckBox9 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* StaticText2 = nullptr;
    QLabel* StaticText3 = nullptr;
    QLabel* StaticText4 = nullptr;
    QLabel* StaticText5 = nullptr;
    QLabel* StaticText6 = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    QGroupBox* RadioGroup2 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button6 = nullptr;
    QPushButton* Button7 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel = nullptr;
};

}  // namespace krt
