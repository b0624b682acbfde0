// SPDX-License-Identifier: GPL-3.0-or-later
// The about box: the program's name and version in a lowered panel.
#pragma once

#include <QDialog>
#include <cstdint>

class QFrame;
class QLabel;
class QPushButton;

namespace krt {

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // Texts of the box in the language (0 Japanese, 1 English). Opened by the
    // main window, the box takes its language from the link when shown.
    void SetLanguage(uint32_t language);

public slots:
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

public:
    // Controls, named as in the box's design. HelpAbout1Execute sets Version.
    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* Comments = nullptr;
    QPushButton* Button1 = nullptr;
};

}  // namespace krt
