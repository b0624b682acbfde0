// SPDX-License-Identifier: GPL-3.0-or-later
// The hardware configuration dialog: printer-port base, power-circuit
// version and crystal clock of the programmer, with the revisions detection
// read from its two units. Every change goes at once to the link context and
// (but for the clock, which OK stores) to the settings store. A group below
// chooses between the simulated programmer and the printer port and blanks
// the simulated socket's chip.
#pragma once

#include <QDialog>
#include <cstdint>

#include "DialogTexts.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace krt {

class ShellServices;

class THConfigForm : public QDialog {
    Q_OBJECT

public:
    explicit THConfigForm(ShellServices& shell, QWidget* parent = nullptr);

    // The connection group's texts follow the language (0 Japanese, 1
    // English); showing the dialog takes the link's language.
    void SetLanguage(uint32_t language);

    // Reads the link's values into the controls; runs whenever the dialog is
    // shown or becomes active.
    void FormActivate();

signals:
    // The user chose the simulated programmer (true) or the printer port.
    void PortChoiceChanged(bool useSimulator);
    // The chip in the simulated socket was erased or blanked.
    void SocketChipBlanked();

public slots:
    void RadioGroup1Click();
    void RadioGroup2Click();
    // Sends the clock typed in Edit1; a clock that the start-up would not
    // accept is refused with a message that gives the range (false).
    bool Edit1Exit();
    // Sends the base typed in EditPortBase (any printer-port base, a PCI
    // card's included); another text is refused with a message (false).
    bool EditPortBaseExit();
    void Button1Click();
    void RadioConnectionClick();
    void ButtonBlankChipClick();
    // Escape and the title bar's close act as OK.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    uint32_t Request(uint8_t code, uint32_t value = 0);
    void WriteSetting(const char* name, int32_t value);
    void UpdateConnectionGroup();
    // The message refusing a clock; the field keeps the focus.
    void RefuseClock();
    QString ClockRangeText(DialogText text) const;

    ShellServices& shell_;
    uint32_t language_ = 1;
    bool closing_ = false;
    bool blankMessageShown_ = false;
    bool refusing_ = false;

public:
    // Controls, named as in the dialog's design.
    QGroupBox* RadioGroup1 = nullptr;
    QButtonGroup* RadioGroup1Items = nullptr;
    // Below the presets: the base in hexadecimal, editable for any card.
    QLineEdit* EditPortBase = nullptr;
    QLabel* LabelPortBase = nullptr;
    QGroupBox* RadioGroup2 = nullptr;
    QButtonGroup* RadioGroup2Items = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label2 = nullptr;
    // The accepted clocks, below the field.
    QLabel* LabelClockRange = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* StaticText1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* StaticText2 = nullptr;
    QPushButton* Button1 = nullptr;
    // The programmer-connection group.
    QGroupBox* GroupConnection = nullptr;
    QButtonGroup* ConnectionItems = nullptr;
    QRadioButton* RadioSimulator = nullptr;
    QRadioButton* RadioPrinterPort = nullptr;
    QLabel* LabelConnection = nullptr;
    QPushButton* ButtonBlankChip = nullptr;
    QLabel* LabelBlankChip = nullptr;

    // RadioGroup1's item of a port base (-1 for none), and back.
    static int PortItem(uint32_t base);
    static uint32_t PortOfItem(int item);
    // The base of a hexadecimal text ("d010", "0xD010", "378h"); 0 when it is
    // no printer-port base.
    static uint32_t PortOfText(const QString& text);
    static QString TextOfPort(uint32_t base);
    static int VersionItem(uint32_t version);
    static uint32_t VersionOfItem(int item);
    // The clock in Hz of an MHz text: its leading number times one million,
    // truncated; text without a number (or a value out of range) gives 0.
    static uint32_t ClockOfText(const QString& text);
    static QString TextOfClock(uint32_t hz);
    // A unit's revision byte as the version the log names: 20h is "2.0";
    // "-" for a unit that was not found.
    static QString TextOfRevision(uint32_t revision);
    // The power-circuit version that the KRT1 revision implies (2.0 has the
    // DAC supplies of the Ver2 circuit, 1.0 the Ver1 one); 0 when unknown.
    static uint32_t DetectedVersion(uint32_t krt1Revision);
    // The crystal that a first run starts with: the KRT's usual 3.5 MHz.
    static constexpr uint32_t kUsualClockHz = 3500000;
};

}  // namespace krt
