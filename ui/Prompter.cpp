// SPDX-License-Identifier: GPL-3.0-or-later
#include "Prompter.h"

#include <QDialog>
#include <QEventLoop>
#include <QAbstractFileIconProvider>
#include <QFileDialog>
#include <QFileInfo>

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

namespace {

// Icons by kind only: the standard provider reads a file's first bytes to
// guess its type, and a device or kernel file (a FIFO, /proc/kmsg) can
// block that read for good, with the dialog and the window.
class KindIconProvider : public QAbstractFileIconProvider {
public:
    QIcon icon(IconType type) const override { return QAbstractFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo& info) const override {
        if (info.isRoot()) return icon(Drive);
        return icon(info.isDir() ? Folder : File);
    }
};

QString AskFileName(QWidget* parent, const QString& title, const QString& filter, QFileDialog::AcceptMode mode) {
    static KindIconProvider icons;
    QFileDialog dialog(parent, title, FolderFor(filter), filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setIconProvider(&icons);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace

// Each kind of file dialog (by its filter) opens where its last file was
// read or written (the caller remembers the folder once that succeeded).
QString Prompter::OpenFileName(QWidget* parent, const QString& title, const QString& filter) {
    return AskFileName(parent, title, filter, QFileDialog::AcceptOpen);
}

QString Prompter::SaveFileName(QWidget* parent, const QString& title, const QString& filter) {
    return AskFileName(parent, title, filter, QFileDialog::AcceptSave);
}

Prompter& Prompter::Current() { return *gPrompter; }

void Prompter::Install(Prompter* prompter) { gPrompter = prompter ? prompter : &gRealPrompter; }

}  // namespace krt
