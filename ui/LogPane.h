// SPDX-License-Identifier: GPL-3.0-or-later
// The log pane's sink. Any thread may log; the lines reach Memo1 on the
// window thread in the order logged. A flood of lines is moved in batches
// bounded in time, so the window keeps handling its events meanwhile.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <mutex>
#include <string>
#include <vector>

#include "link/PortIo.h"

class QPlainTextEdit;

namespace krt {

class LogPane : public QObject, public LogSink {
    Q_OBJECT

public:
    // Memo1 keeps at most this many lines; older ones scroll away, so that
    // a long failing run cannot exhaust memory.
    static constexpr int kMaxLines = 250000;
    // One batch moves lines for at most this long before yielding.
    static constexpr int kBatchBudgetMs = 8;
    // Pause between two batches, in which the window handles its events.
    static constexpr int kBatchPauseMs = 15;
    // Lines per append inside a batch.
    static constexpr size_t kBlockLines = 200;

    explicit LogPane(QPlainTextEdit* memo, QObject* parent = nullptr);

    // LogSink, any thread.
    void line(std::string_view utf8) override;
    // Several lines at once, in order (any thread).
    void Take(std::vector<std::string> lines);
    // Window thread.
    void Append(const QString& text);
    void Clear();
    void Flush();
    // Lines logged but not yet in Memo1.
    size_t Pending() const;
    // Lines appended to Memo1 since the last Clear.
    size_t Shown() const { return shown_; }
    // The longest time one batch took, in milliseconds (for measurements).
    double LongestBatchMs() const { return longestBatchMs_; }

private slots:
    void Drain();

private:
    void Schedule();
    void MoveLines(size_t maxLines, bool timed);

    QPlainTextEdit* memo_;
    mutable std::mutex mutex_;
    std::vector<std::string> incoming_;
    bool scheduled_ = false;
    // Window thread only.
    std::vector<std::string> ready_;
    size_t readyPos_ = 0;
    size_t shown_ = 0;
    double longestBatchMs_ = 0;
};

}  // namespace krt
