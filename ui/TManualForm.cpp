// SPDX-License-Identifier: GPL-3.0-or-later
#include "TManualForm.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "catalogue/CatalogueFiles.h"

namespace krt {

namespace {

const char* Folder(uint32_t language) { return language == 0 ? "ja" : "en"; }

constexpr const char* kContents = "index.html";

}  // namespace

QString TManualForm::ManualDirectory(uint32_t language) {
    QStringList roots;
    for (const std::string& dir : DataDirectories()) roots << QString::fromStdString(dir) + QStringLiteral("/manual");
    for (const QString& root : roots) {
        const QString dir = root + QLatin1Char('/') + QString::fromLatin1(Folder(language));
        if (QFileInfo::exists(dir + QLatin1Char('/') + QString::fromLatin1(kContents))) return dir;
    }
    return {};
}

TManualForm::TManualForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ManualForm"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setModal(false);
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(6, 6, 6, 6);
    auto* bar = new QHBoxLayout;
    ButtonHome = new QPushButton(this);
    ButtonHome->setObjectName(QStringLiteral("ButtonHome"));
    ButtonBack = new QPushButton(this);
    ButtonBack->setObjectName(QStringLiteral("ButtonBack"));
    ButtonClose = new QPushButton(this);
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
    for (QPushButton* b : {ButtonHome, ButtonBack, ButtonClose}) b->setAutoDefault(false);
    bar->addWidget(ButtonHome);
    bar->addWidget(ButtonBack);
    bar->addStretch();
    bar->addWidget(ButtonClose);
    top->addLayout(bar);
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    Browser->setOpenLinks(true);
    Browser->setOpenExternalLinks(false);
    top->addWidget(Browser, 1);
    connect(ButtonHome, &QPushButton::clicked, this, &TManualForm::HomeClick);
    connect(ButtonBack, &QPushButton::clicked, Browser, &QTextBrowser::backward);
    connect(Browser, &QTextBrowser::backwardAvailable, ButtonBack, &QPushButton::setEnabled);
    connect(ButtonClose, &QPushButton::clicked, this, &QDialog::close);
    ButtonBack->setEnabled(false);
    resize(720, 560);
}

bool TManualForm::ShowContents(uint32_t language) {
    language_ = language;
    const bool japanese = language == 0;
    setWindowTitle(japanese ? QStringLiteral("KRTwin マニュアル") : QStringLiteral("KRTwin manual"));
    ButtonHome->setText(japanese ? QStringLiteral("目次(&C)") : QStringLiteral("&Contents"));
    ButtonBack->setText(japanese ? QStringLiteral("戻る(&B)") : QStringLiteral("&Back"));
    ButtonClose->setText(japanese ? QStringLiteral("閉じる(&X)") : QStringLiteral("Close"));
    QFont f(japanese ? QStringLiteral("ＭＳ ゴシック") : QStringLiteral("Arial"));
    f.setPointSize(10);
    Browser->setFont(f);

    const QString dir = ManualDirectory(language);
    if (dir.isEmpty()) {
        Browser->clearHistory();
        Browser->setPlainText(japanese ? QStringLiteral("マニュアルがインストールされていません。")
                                       : QStringLiteral("The manual is not installed (manual/%1 beside the "
                                                        "program or in the data directory).")
                                             .arg(QString::fromLatin1(Folder(language))));
        return false;
    }
    Browser->setSearchPaths({dir});
    Browser->setSource(QUrl::fromLocalFile(dir + QLatin1Char('/') + QString::fromLatin1(kContents)));
    Browser->clearHistory();
    return true;
}

void TManualForm::HomeClick() { ShowContents(language_); }

}  // namespace krt
