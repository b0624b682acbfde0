// SPDX-License-Identifier: GPL-3.0-or-later
// The user manual behind Help: the HTML pages installed with the program
// (manual/en and manual/ja beside the programs in the build, the data
// directory once installed), shown in a QTextBrowser in the program's language.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

class QPushButton;
class QTextBrowser;

namespace krt {

class TManualForm : public QDialog {
    Q_OBJECT

public:
    explicit TManualForm(QWidget* parent = nullptr);

    // Opens the contents page of the manual in the language (0 Japanese,
    // 1 English); false (with a note in the browser) when it is not installed.
    bool ShowContents(uint32_t language);
    uint32_t Language() const { return language_; }

    // The manual's directory of a language: the first of the program's own
    // directory's manual/ and the installed data directory's that has it;
    // empty when neither has.
    static QString ManualDirectory(uint32_t language);

public slots:
    void HomeClick();

private:
    uint32_t language_ = 1;

public:
    QTextBrowser* Browser = nullptr;
    QPushButton* ButtonHome = nullptr;
    QPushButton* ButtonBack = nullptr;
    QPushButton* ButtonClose = nullptr;
};

}  // namespace krt
