// SPDX-License-Identifier: GPL-3.0-or-later
#include "TAboutBox.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

#include "DialogTexts.h"
#include "Icons.h"
#include "WindowTexts.h"
#include "ShellServices.h"
#include "ShownByShell.h"
#include "link/Link.h"
#include "base/Version.h"

namespace krt {

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("AboutBox"));

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(8, 8, 8, 8);
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    top->addWidget(Panel1);

    auto* panel = new QVBoxLayout(Panel1);
    panel->setContentsMargins(12, 12, 12, 12);
    panel->setSpacing(10);
    auto* head = new QHBoxLayout;
    head->setSpacing(14);
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    QIcon icon = krt::ProgramIcon();
    if (icon.isNull()) icon = style()->standardIcon(QStyle::SP_ComputerIcon);
    ProgramIcon->setPixmap(icon.pixmap(48, 48));
    ProgramIcon->setAlignment(Qt::AlignTop);
    head->addWidget(ProgramIcon);
    auto* names = new QVBoxLayout;
    ProductName = new QLabel(Panel1);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont big = ProductName->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    ProductName->setFont(big);
    Version = new QLabel(Panel1);
    Version->setObjectName(QStringLiteral("Version"));
    names->addWidget(ProductName);
    names->addWidget(Version);
    names->addStretch();
    head->addLayout(names, 1);
    panel->addLayout(head);
    Copyright = new QLabel(Panel1);
    Copyright->setObjectName(QStringLiteral("Copyright"));
    Copyright->setWordWrap(true);
    Comments = new QLabel(Panel1);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setWordWrap(true);
    panel->addWidget(Copyright);
    panel->addWidget(Comments);
    panel->addStretch();

    Button1 = new QPushButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TAboutBox::Button1Click);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addStretch();
    top->addLayout(buttons);

    SetLanguage(1);
    Version->setText(DialogTextOf(1, DialogText::VersionPrefix) + QString::fromLatin1(ProgramVersionNumber()));
    setFixedSize(340, 230);
}

void TAboutBox::SetLanguage(uint32_t language) {
    setWindowTitle(DialogTextOf(language, DialogText::AboutCaption));
    ProductName->setText(DialogTextOf(language, DialogText::ProductName));
    Copyright->setText(DialogTextOf(language, DialogText::AboutLine1));
    Comments->setText(DialogTextOf(language, DialogText::AboutLine2));
    Button1->setText(DialogTextOf(language, DialogText::AboutClose));
}

void TAboutBox::Button1Click() { accept(); }

void TAboutBox::showEvent(QShowEvent* event) {
    PrepareShownByShell(this, event);
    QDialog::showEvent(event);
}

}  // namespace krt
