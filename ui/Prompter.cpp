// SPDX-License-Identifier: GPL-3.0-or-later
#include "Prompter.h"

#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>

#include "FileFolders.h"

namespace krt {

namespace {
Prompter gRealPrompter;
Prompter* gPrompter = &gRealPrompter;
}  // namespace

QMessageBox::StandardButton Prompter::Box(QWidget* parent, const QString& text,
                                          const QString& caption,
                                          QMessageBox::StandardButtons buttons,
                                          QMessageBox::Icon icon) {
    QMessageBox box(icon, caption, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QMessageBox::StandardButton Prompter::Ask(QWidget* parent, const QString& text, const QString& caption,
                                          QMessageBox::StandardButtons buttons,
                                          QMessageBox::StandardButton defaultButton) {
    QMessageBox box(QMessageBox::Question, caption, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    box.setEscapeButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void Prompter::Message(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

int Prompter::Exec(QDialog& dialog) {
    if (dialog.isModal()) return dialog.exec();
    // A dialog that must leave its window usable (exec would block it):
    // shown, and waited for in a loop of its own until it is done.
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.setResult(0);
    dialog.show();
    if (dialog.isVisible()) loop.exec(QEventLoop::DialogExec);
    return dialog.result();
}

// Each kind of file dialog (by its filter) opens where its last file was.
QString Prompter::OpenFileName(QWidget* parent, const QString& title, const QString& filter) {
    const QString name = QFileDialog::getOpenFileName(parent, title, FolderFor(filter), filter);
    RememberFolder(filter, name);
    return name;
}

QString Prompter::SaveFileName(QWidget* parent, const QString& title, const QString& filter) {
    const QString name = QFileDialog::getSaveFileName(parent, title, FolderFor(filter), filter);
    RememberFolder(filter, name);
    return name;
}

Prompter& Prompter::Current() { return *gPrompter; }

void Prompter::Install(Prompter* prompter) { gPrompter = prompter ? prompter : &gRealPrompter; }

}  // namespace krt
