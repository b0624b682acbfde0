#include "LogPane.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

namespace krt {

LogPane::LogPane(QPlainTextEdit* memo, QObject* parent) : QObject(parent), memo_(memo) {
    memo_->setMaximumBlockCount(kMaxLines);
}

void LogPane::line(std::string_view utf8) {
    bool schedule = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        incoming_.emplace_back(utf8);
        if (!scheduled_) {
            scheduled_ = true;
            schedule = true;
        }
    }
    if (schedule) QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
}

void LogPane::Append(const QString& text) { line(text.toStdString()); }

void LogPane::Clear() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        incoming_.clear();
    }
    ready_.clear();
    memo_->clear();
    shown_ = 0;
}

void LogPane::Flush() { MoveLines(SIZE_MAX, false); }

size_t LogPane::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return incoming_.size() + ready_.size();
}

void LogPane::Drain() {
    MoveLines(SIZE_MAX, true);
    std::lock_guard<std::mutex> lock(mutex_);
    if (ready_.empty() && incoming_.empty()) {
        scheduled_ = false;
        return;
    }
    // More to move: come back after the window has had its turn.
    QTimer::singleShot(kBatchPauseMs, this, &LogPane::Drain);
}

void LogPane::MoveLines(size_t maxLines, bool timed) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& l : incoming_) ready_.push_back(std::move(l));
        incoming_.clear();
    }
    if (ready_.empty()) return;
    QElapsedTimer clock;
    clock.start();
    QScrollBar* bar = memo_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    size_t moved = 0;
    while (!ready_.empty() && moved < maxLines) {
        // Lines go in as one block of up to 500 per append: a single append
        // of many lines costs far less than one append per line.
        QString block;
        size_t n = 0;
        while (!ready_.empty() && n < 500 && moved + n < maxLines) {
            if (n) block += QLatin1Char('\n');
            block += QString::fromUtf8(ready_.front().data(),
                                       static_cast<qsizetype>(ready_.front().size()));
            ready_.pop_front();
            ++n;
        }
        memo_->appendPlainText(block);
        moved += n;
        if (timed && clock.elapsed() >= kBatchBudgetMs) break;
    }
    shown_ += moved;
    if (atEnd) bar->setValue(bar->maximum());
}

}  // namespace krt
