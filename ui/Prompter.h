// SPDX-License-Identifier: GPL-3.0-or-later
// The one seam through which the window program asks the user something:
// message boxes, modal dialogs and the file dialogs. Production shows real
// QMessageBoxes with the caption "qv17win"; tests install their own Prompter
// that answers without a nested event loop and records what was asked.
#pragma once

#include <QMessageBox>
#include <QString>

class QDialog;
class QWidget;

namespace krt {

// Caption of every message box of the main window.
inline constexpr const char* kMessageCaption = "qv17win";
// Caption of the plain message dialog (the application's title).
inline constexpr const char* kApplicationTitle = "QV17win";

class Prompter {
public:
    virtual ~Prompter() = default;

    // A message box: text, caption and buttons; returns the button pressed
    // (NoButton when the box was closed without one).
    virtual QMessageBox::StandardButton Box(QWidget* parent, const QString& text,
                                            const QString& caption,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::Icon icon = QMessageBox::NoIcon);

    // A question whose default button (the one Enter presses) is given:
    // where the first button would do harm, the harmless one.
    virtual QMessageBox::StandardButton Ask(QWidget* parent, const QString& text, const QString& caption,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton);

    // The plain message dialog: the text with an OK button under the
    // application's title.
    virtual void Message(QWidget* parent, const QString& text);

    // Shows a dialog and waits until it is done; returns its
    // QDialog::DialogCode. A modal dialog blocks the other windows meanwhile;
    // one made non-modal (setModal(false)) leaves them usable.
    virtual int Exec(QDialog& dialog);

    // The standard file dialogs; an empty name means cancelled. The filter
    // is given in Qt's form ("all files (*.*);;Intel HEX files (*.hex)").
    virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& filter);
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& filter);

    // The prompter in use; never null. Install(nullptr) restores the real one.
    static Prompter& Current();
    static void Install(Prompter* prompter);
};

}  // namespace krt
