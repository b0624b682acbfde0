// SPDX-License-Identifier: GPL-3.0-or-later
#include "TWelcomeForm.h"

#include <QHBoxLayout>
#include <QStringList>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTextEdit>
#include <QVBoxLayout>

#include "DialogTexts.h"
#include "ShellServices.h"
#include "ShownByShell.h"
#include "link/Link.h"

namespace krt {

TWelcomeForm::TWelcomeForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("WelcomeForm"));
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(8, 8, 8, 8);
    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setAcceptRichText(false);
    RichEdit1->setLineWrapMode(QTextEdit::NoWrap);
    RichEdit1->setFocusPolicy(Qt::ClickFocus);
    top->addWidget(RichEdit1, 1);

    Button1 = new QPushButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TWelcomeForm::Button1Click);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addStretch();
    top->addLayout(buttons);
    SetLanguage(1);
}

void TWelcomeForm::SetLanguage(uint32_t language) {
    setWindowTitle(DialogTextOf(language, DialogText::WelcomeCaption));
    RichEdit1->setPlainText(WelcomeText(language));
    Button1->setText(DialogTextOf(language, DialogText::WelcomeClose));
    // Room for the longest line without a scroll bar.
    const QFontMetrics metrics = RichEdit1->fontMetrics();
    int width = 0;
    const QStringList lines = WelcomeText(language).split(u'\n');
    for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
    const int height = metrics.lineSpacing() * static_cast<int>(lines.size());
    RichEdit1->setMinimumSize(width + 32, height + 16);
    adjustSize();
}

void TWelcomeForm::Button1Click() { accept(); }

void TWelcomeForm::showEvent(QShowEvent* event) {
    PrepareShownByShell(this, event);
    QDialog::showEvent(event);
}

}  // namespace krt
