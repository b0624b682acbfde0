// SPDX-License-Identifier: GPL-3.0-or-later
// The window's two languages: every control's text, the fonts and the
// language the programmer is told.
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "SettingsStore.h"
#include "ShellWindows.h"
#include "TQV17MainForm.h"
#include "WindowTexts.h"
#include "ui/TWConfigForm.h"

namespace krt {

void TQV17MainForm::ApplyLanguage() {
    const uint32_t l = language_;
    auto t = [l](WindowText w) { return WindowTextOf(l, w); };
    UseQtTranslations(l);

    QFont f = font();
    f.setFamily(l == 0 ? QStringLiteral("ＭＳ ゴシック") : QStringLiteral("Arial"));
    // The window's design size: 9 points, as the fixed layout expects.
    f.setPointSize(9);
    setFont(f);
    // The menus take the window's font too (some styles give them their own).
    menuBar()->setFont(f);
    for (QMenu* m : menuBar()->findChildren<QMenu*>()) m->setFont(f);

    Label8->setText(t(WindowText::Label8));
    if (paramEditor_) paramEditor_->SetLanguage(l);

    GroupBox1->setTitle(t(WindowText::GroupBox1));
    Label5->setText(t(WindowText::Label5));
    Label6->setText(t(WindowText::Label6));
    Label7->setText(t(WindowText::Label7));

    ComboBox1->clear();
    ComboBox1->addItem(t(WindowText::ComboBox1Placeholder));
    for (int i = 0; i < kDeviceTypeCount; ++i) ComboBox1->addItem(DeviceTypeItem(l, i));
    ComboBox2->clear();
    ComboBox2->addItem(t(WindowText::ComboBox2Placeholder));
    ComboBox3->clear();
    ComboBox3->addItem(t(WindowText::ComboBox3Placeholder));
    ComboBox1->setCurrentIndex(0);
    ComboBox2->setCurrentIndex(0);
    ComboBox3->setCurrentIndex(0);
    typeKey_.clear();
    // The device in use stays in use: the lists show it again in the new
    // language, and its range, buffer and checksum stay its own.
    if (deviceSelected_) ChooseInLists(selectedTypeKey_, selectedMaker_, deviceName_);

    Button1->setText(t(WindowText::Button1));
    GroupBox2->setTitle(t(WindowText::GroupBox2));
    Label1->setText(t(WindowText::Label1));
    Label2->setText(t(WindowText::Label2));
    Label3->setText(t(WindowText::Label3));
    Label4->setText(t(WindowText::Label4));

    ApplyMenuTexts();
    if (auto* d = qobject_cast<QDialog*>(hconfigForm_)) SetHConfigLanguage(d, l);
    ShowDeviceInUse();
    if (statusIn_) StatusPanel->setText(statusIn_(l));
    KeepDesignSize();
}

void TQV17MainForm::SetLanguage(uint32_t language) {
    if (Inert()) {
        // Keep the check marks as they were.
        J1->setChecked(language_ == 0);
        E1->setChecked(language_ != 0);
        return;
    }
    language_ = language;
    SettingsStore settings;
    if (settings.Open(QString::fromLatin1(kSettingsKey), true))
        settings.WriteInt(QString::fromLatin1(kLanguage), static_cast<int32_t>(language));
    settings.Close();
    ApplyLanguage();
    DeviceRecord empty;
    LinkRequest request;
    request.code = REQ_SET_LANGUAGE;
    request.parameter = language;
    Send(request, empty);
}

void TQV17MainForm::J1Click() { SetLanguage(0); }

void TQV17MainForm::E1Click() { SetLanguage(1); }
}  // namespace krt
