// SPDX-License-Identifier: GPL-3.0-or-later
// The Bin, Hardware and Help menus: the dump window, reset, the debug
// window, the programmer's settings, the manual and the about box; and the
// views' part of the window (the checksum box, the unsaved edits' question).
#include <QAction>
#include <QLabel>

#include <QDialog>

#include "Prompter.h"
#include "ShellWindows.h"
#include "WindowTexts.h"
#include "base/Version.h"
#include "TForm3.h"
#include "THDebugForm.h"
#include "TManualForm.h"
#include "TQV17MainForm.h"
#include "data/BufferChecksum.h"
#include "session/Session.h"

namespace krt {

void TQV17MainForm::CreateViews() {
    dumpForm_ = new TForm3(*session_, this);
    debugForm_ = new THDebugForm(*session_, this);
    debugForm_->SetBusyCheck([this] { return Inert(); });
    manualForm_ = new TManualForm(this);
    connect(BinDump, &QAction::triggered, this, &TQV17MainForm::BinDumpExecute);
    connect(HardDebug, &QAction::triggered, this, &TQV17MainForm::HardDebugExecute);
    connect(HelpContents1, &QAction::triggered, this, &TQV17MainForm::HelpContents1Execute);
    // The session calls this on the thread that changed the buffer (an
    // operation's worker, or this one): the views hear it on this thread.
    session_->SetBufferListener([this] {
        QMetaObject::invokeMethod(this, [this] { BufferViewsChanged(); }, Qt::QueuedConnection);
    });
}

void TQV17MainForm::BufferViewsChanged() {
    if (dumpForm_) dumpForm_->BufferChanged();
    UpdateChecksum();
    // The caption's mark of unsaved edits.
    UpdateCaption();
}

bool TQV17MainForm::KeepUnsavedEdits() {
    if (!session_ || !session_->edits.Unsaved()) return false;
    // No is the default: Enter must not throw the edits away.
    const auto answer = Prompter::Current().Ask(this, UnsavedEditsText(language_), QString::fromLatin1(kMessageCaption),
                                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return answer != QMessageBox::Yes;
}

void TQV17MainForm::UpdateChecksum() {
    if (StaticText1) StaticText1->setText(QString::fromStdString(session_->ChecksumText()));
}

void TQV17MainForm::BinDumpExecute() {
    if (Inert() || !CheckSelected(true)) return;
    dumpForm_->SetLanguage(language_);
    dumpForm_->Prepare();
    Prompter::Current().Exec(*dumpForm_);
}

void TQV17MainForm::HardDebugExecute() {
    if (Inert() || !debugForm_->CanOpen()) return;
    Prompter::Current().Exec(*debugForm_);
}

void TQV17MainForm::HelpContents1Execute() {
    manualForm_->ShowContents(language_);
    manualForm_->show();
    manualForm_->raise();
    manualForm_->activateWindow();
}

void TQV17MainForm::HardResetExecute() {
    if (Inert()) return;
    ClearLog();
    LogMessage(session_->ResetAndDetect() == RESULT_OK ? 5 : 6);
}

void TQV17MainForm::HardConfigExecute() {
    if (Inert()) return;
    if (auto* d = qobject_cast<QDialog*>(hconfigForm_)) Prompter::Current().Exec(*d);
}

void TQV17MainForm::HelpAbout1Execute() {
    auto* d = qobject_cast<QDialog*>(aboutBox_);
    if (!d) return;
    SetAboutVersion(d, QStringLiteral("Version ") + QString::fromLatin1(ProgramVersionNumber()));
    Prompter::Current().Exec(*d);
}

}  // namespace krt
