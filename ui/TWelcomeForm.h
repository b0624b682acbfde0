// SPDX-License-Identifier: GPL-3.0-or-later
// The welcome window of the first run, shown before the hardware
// configuration dialog.
#pragma once

#include <QDialog>
#include <cstdint>

class QPushButton;
class QTextEdit;

namespace krt {

class TWelcomeForm : public QDialog {
    Q_OBJECT

public:
    explicit TWelcomeForm(QWidget* parent = nullptr);

    // Texts of the window in the language (0 Japanese, 1 English). Opened by
    // the main window, it takes its language from the link when shown.
    void SetLanguage(uint32_t language);

public slots:
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

public:
    QTextEdit* RichEdit1 = nullptr;
    QPushButton* Button1 = nullptr;
};

}  // namespace krt
