// SPDX-License-Identifier: GPL-3.0-or-later
// The worker thread of one device operation. The request is built on the
// window thread before the worker starts (the operation fields are widgets,
// which only the window thread may read); the worker runs it through the
// session and turns every call of the session's observer into a signal
// queued to the window's thread: it never calls into a widget.
#pragma once

#include <QThread>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <QString>

#include "link/Link.h"
#include "session/Operations.h"

namespace krt {

class TQV17MainForm;

class DevOpThread : public QThread, private OperationObserver {
    Q_OBJECT

public:
    // How often the worker reports the operation's position.
    static constexpr int kProgressIntervalMs = 100;

    // Created suspended: nothing runs until start().
    DevOpThread(TQV17MainForm* form, uint8_t code);
    // A family's own operation without a request code (the parallel
    // EEPROM's protection command).
    DevOpThread(TQV17MainForm* form, OperationWorker::FamilyOperation operation);
    // Waits for the thread to end.
    ~DevOpThread() override;

    uint8_t Code() const { return work_.Code(); }
    // Written once when the operation returns.
    uint8_t Result() const { return result_.load(); }
    // Set by the worker itself when it has finished.
    bool Terminated() const { return terminated_.load(); }
    const LinkRequest& Request() const { return work_.Request(); }
    // With the simulator: the line with the operation's virtual time.
    QString TimeLine() const;
    // The log lines reported since the last call, in the order logged (any
    // thread; the window takes them after LinesLogged). The next line
    // reported signals again.
    std::vector<std::string> TakeLines();

signals:
    // All emitted on the worker's threads and queued to the window's thread.
    // Lines wait in TakeLines: one signal until they are taken, so that a
    // flood of lines is a few events, not one per line.
    void LinesLogged();
    void ProgressMoved(int position);
    void BufferChangedByOperation();
    void OperationFinished(int result);

protected:
    void run() override;

private:
    bool Line(std::string_view line) override;
    std::chrono::milliseconds ProgressInterval() const override;
    void Progress(int32_t position) override;
    void BufferChanged() override;
    void Finished(uint8_t result, const std::string& timeLine) override;

    OperationWorker work_;
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    bool linesSignalled_ = false;
    QString timeLine_;
    std::atomic<uint8_t> result_{0};
    std::atomic<bool> terminated_{false};
};

// Deletes a finished worker when the scope that waited for it ends, so that
// the window is free for the next command whichever way the scope is left.
struct FinishedWorker {
    DevOpThread*& worker;
    ~FinishedWorker() {
        delete worker;
        worker = nullptr;
    }
};

}  // namespace krt
