// The worker thread of one device operation. The request is built on the
// window thread before the worker starts (the operation fields are widgets,
// which only the window thread may read); the worker runs it through the
// session and turns what the session reports into queued signals: it never
// calls into a widget.
#pragma once

#include <QThread>
#include <atomic>
#include <cstdint>
#include <functional>

#include <QString>
#include <string>

#include "link/Link.h"
#include "session/Operations.h"

namespace krt {

struct DeviceRecord;
class TQV17MainForm;

class DevOpThread : public QThread, private OperationObserver {
    Q_OBJECT

public:
    // Created suspended: nothing runs until start().
    DevOpThread(TQV17MainForm* form, uint8_t code);
    // Waits for the thread to end.
    ~DevOpThread() override;

    uint8_t Code() const { return work_.Code(); }
    // Written once when the operation returns.
    uint8_t Result() const { return result_.load(); }
    // Set by the worker itself when it has finished.
    bool Terminated() const { return terminated_.load(); }
    const LinkRequest& Request() const { return work_.Request(); }
    // With the simulator: the line with the operation's virtual time.
    QString TimeLine() const { return timeLine_; }

signals:
    // Queued to the window's thread.
    void BufferChangedByOperation();
    void OperationFinished(int result);

protected:
    void run() override;

private:
    void BufferChanged() override;
    void Finished(uint8_t result, const std::string& timeLine) override;

    OperationWorker work_;
    QString timeLine_;
    std::atomic<uint8_t> result_{0};
    std::atomic<bool> terminated_{false};
};

}  // namespace krt
