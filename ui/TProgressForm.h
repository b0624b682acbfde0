// SPDX-License-Identifier: GPL-3.0-or-later
// The progress dialog of a device operation: shows the count line of the
// position the worker reports (SetPosition) at every tick, and cancels the
// operation on request.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <cstdint>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace krt {

class LinkContext;

class TProgressForm : public QDialog {
    Q_OBJECT

public:
    explicit TProgressForm(LinkContext& link, QWidget* parent = nullptr);

    void PrepareProgress(int total, const QString& caption);
    // Tells an operation that has not yet begun from one that has ended.
    void SetWorkerDone(std::function<bool()> done) { workerDone_ = std::move(done); }
    bool Closing() const { return closing_; }
    // The language of the time-left line (the count line is Japanese in both).
    void SetLanguage(uint32_t language) { language_ = language; }
    // The time left is shown once an operation has run this long (3 s).
    void SetTimeLeftAfter(qint64 ms) { timeLeftAfterMs_ = ms; }

    QProgressBar* ProgressBar1 = nullptr;
    QLabel* StaticText1 = nullptr;
    QLabel* TimeLeft = nullptr;
    QPushButton* Button1 = nullptr;
    QTimer* Timer1 = nullptr;

public slots:
    // The position the worker reported last (words done since the start).
    void SetPosition(int position) { position_ = position; }
    void Timer1Timer();
    void Button1Click();
    // Esc acts as the cancel button.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void ShowCount(int position);
    void ShowTimeLeft(int position);

    LinkContext& link_;
    std::function<bool()> workerDone_;
    int position_ = 0;
    bool closing_ = true;
    uint32_t language_ = 1;
    QElapsedTimer started_;
    qint64 timeLeftAfterMs_ = 3000;
};

}  // namespace krt
