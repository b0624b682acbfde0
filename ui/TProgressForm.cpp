// SPDX-License-Identifier: GPL-3.0-or-later
#include "TProgressForm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "WindowTexts.h"
#include "link/Link.h"

namespace krt {

TProgressForm::TProgressForm(LinkContext& link, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      link_(link) {
    setObjectName(QStringLiteral("ProgressForm"));
    // Not modal: a modal dialog would keep the main window's close button
    // from reaching it, and closing the main window must cancel the
    // operation (the main window turns its own commands off meanwhile).
    setModal(false);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setMinimum(0);
    ProgressBar1->setTextVisible(false);
    StaticText1 = new QLabel(this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setAlignment(Qt::AlignCenter);
    TimeLeft = new QLabel(this);
    TimeLeft->setObjectName(QStringLiteral("TimeLeft"));
    TimeLeft->setAlignment(Qt::AlignCenter);
    Button1 = new QPushButton(ProgressCancelText(link_.language), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TProgressForm::Button1Click);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &TProgressForm::Timer1Timer);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(8);
    layout->addWidget(ProgressBar1);
    layout->addWidget(StaticText1);
    layout->addWidget(TimeLeft);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(Button1);
    row->addStretch();
    layout->addLayout(row);
    setFixedSize(320, 136);
    FormCreate();
}

void TProgressForm::FormCreate() {
    Timer1->stop();
    Timer1->setInterval(500);
}

void TProgressForm::PrepareProgress(int total, const QString& caption) {
    setWindowTitle(caption);
    Button1->setText(ProgressCancelText(link_.language));
    ProgressBar1->setMaximum(total > 0 ? total : 1);
    ProgressBar1->setValue(0);
    StaticText1->setText(ProgressStartText(link_.language, ProgressBar1->maximum()));
    TimeLeft->clear();
    position_ = 0;
    closing_ = false;
    started_.start();
    Timer1->stop();
}

void TProgressForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Timer1->start();
}

void TProgressForm::ShowCount(int position) {
    const int maximum = ProgressBar1->maximum();
    ProgressBar1->setValue(std::min(position, maximum));
    StaticText1->setText(ProgressCountText(link_.language, position, maximum));
}

void TProgressForm::Timer1Timer() {
    // A late call (the worker's end after a cancel closed the dialog) does nothing.
    if (!isVisible()) return;
    if (closing_) {
        Timer1->stop();
        if (isVisible()) accept();
        return;
    }
    int p = position_;
    // Only a worker that has finished means the end; until then the count
    // is the last position reported (0 before the first). The dialog closes
    // at the end at once: a pause there would only lengthen every operation.
    if (!workerDone_ || workerDone_()) {
        p = ProgressBar1->maximum();
        Button1->setText(ProgressFinishedText(link_.language));
        closing_ = true;
        ShowCount(p);
        TimeLeft->clear();
        Timer1->stop();
        accept();
        return;
    }
    ShowCount(p);
    ShowTimeLeft(p);
}

void TProgressForm::ShowTimeLeft(int position) {
    // Said only once the operation has run a while and moved, so that the
    // estimate (the rate so far) means something.
    const qint64 ms = started_.isValid() ? started_.elapsed() : 0;
    const int maximum = ProgressBar1->maximum();
    if (ms < timeLeftAfterMs_ || position <= 0 || position >= maximum) {
        TimeLeft->clear();
        return;
    }
    const qint64 left = (ms * (maximum - position) / position + 999) / 1000;
    TimeLeft->setText(TimeLeftText(language_, left));
}

void TProgressForm::Button1Click() {
    link_.CancelOperation();
    Timer1->stop();
    done(QDialog::Rejected);
}

void TProgressForm::reject() { Button1Click(); }

void TProgressForm::closeEvent(QCloseEvent* event) {
    // The window has no close button; a close from elsewhere cancels.
    Timer1->stop();
    if (!closing_) link_.CancelOperation();
    QDialog::closeEvent(event);
}

}  // namespace krt
