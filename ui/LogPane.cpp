// SPDX-License-Identifier: GPL-3.0-or-later
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

void LogPane::Take(std::vector<std::string> lines) {
    if (lines.empty()) return;
    bool schedule = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (incoming_.empty()) {
            incoming_.swap(lines);
        } else {
            incoming_.insert(incoming_.end(), std::make_move_iterator(lines.begin()),
                             std::make_move_iterator(lines.end()));
        }
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
    readyPos_ = 0;
    memo_->clear();
    shown_ = 0;
}

void LogPane::Flush() { MoveLines(SIZE_MAX, false); }

size_t LogPane::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return incoming_.size() + (ready_.size() - readyPos_);
}

void LogPane::Drain() {
    MoveLines(SIZE_MAX, true);
    std::lock_guard<std::mutex> lock(mutex_);
    if (readyPos_ == ready_.size() && incoming_.empty()) {
        scheduled_ = false;
        return;
    }
    // More to move: come back after the window has had its turn.
    QTimer::singleShot(kBatchPauseMs, this, &LogPane::Drain);
}

void LogPane::MoveLines(size_t maxLines, bool timed) {
    if (readyPos_ == ready_.size()) {
        // Take the whole queue at once: the worker's lock is held for a swap only.
        ready_.clear();
        readyPos_ = 0;
        std::lock_guard<std::mutex> lock(mutex_);
        ready_.swap(incoming_);
    }
    if (readyPos_ == ready_.size()) return;
    QElapsedTimer clock;
    clock.start();
    QScrollBar* bar = memo_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    size_t moved = 0;
    while (moved < maxLines) {
        if (readyPos_ == ready_.size()) {
            if (!timed) {
                ready_.clear();
                readyPos_ = 0;
                std::lock_guard<std::mutex> lock(mutex_);
                ready_.swap(incoming_);
            }
            if (readyPos_ == ready_.size()) break;
        }
        // Lines go in as one block of up to kBlockLines per append: a single append
        // of many lines costs far less than one append per line.
        QString block;
        size_t n = 0;
        while (readyPos_ < ready_.size() && n < kBlockLines && moved + n < maxLines) {
            if (n) block += QLatin1Char('\n');
            const std::string& l = ready_[readyPos_++];
            block += QString::fromUtf8(l.data(), static_cast<qsizetype>(l.size()));
            ++n;
        }
        memo_->appendPlainText(block);
        moved += n;
        if (timed && clock.elapsed() >= kBatchBudgetMs) break;
    }
    shown_ += moved;
    if (atEnd) bar->setValue(bar->maximum());
    longestBatchMs_ = std::max(longestBatchMs_, clock.nsecsElapsed() / 1e6);
}

}  // namespace krt
