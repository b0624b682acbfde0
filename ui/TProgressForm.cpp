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
    Button1 = new QPushButton(QString::fromUtf8(kProgressCancel), this);
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
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(Button1);
    row->addStretch();
    layout->addLayout(row);
    setFixedSize(320, 118);
    FormCreate();
}

void TProgressForm::FormCreate() {
    Timer1->stop();
    Timer1->setInterval(500);
}

void TProgressForm::PrepareProgress(int total, const QString& caption) {
    setWindowTitle(caption);
    Button1->setText(QString::fromUtf8(kProgressCancel));
    ProgressBar1->setMaximum(total > 0 ? total : 1);
    ProgressBar1->setValue(0);
    StaticText1->setText(QString::asprintf("0/%d (0%%)終了しました", ProgressBar1->maximum()));
    position_ = 0;
    closing_ = false;
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
    StaticText1->setText(QString::asprintf("%d/%d (%3.0f%%)終了しました", position, maximum,
                                           position * 100.0 / maximum));
}

void TProgressForm::Timer1Timer() {
    if (closing_) {
        Timer1->stop();
        accept();
        return;
    }
    int p = position_;
    // Only a worker that has finished means the end; until then the count
    // is the last position reported (0 before the first).
    if (!workerDone_ || workerDone_()) {
        p = ProgressBar1->maximum();
        Button1->setText(QString::fromUtf8(kProgressFinished));
        Timer1->setInterval(1000);
        closing_ = true;
    }
    ShowCount(p);
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
