// The worker thread of one device operation. The request is built on the
// window thread before the worker starts (the operation fields are widgets,
// which only the window thread may read); the worker only dispatches it.
#pragma once

#include <QThread>
#include <atomic>
#include <cstdint>
#include <functional>

#include "link/Link.h"

namespace krt {

struct DeviceRecord;
class TQV17MainForm;

class DevOpThread : public QThread {
    Q_OBJECT

public:
    // Created suspended: nothing runs until start().
    DevOpThread(TQV17MainForm* form, uint8_t code);
    // Waits for the thread to end.
    ~DevOpThread() override;

    uint8_t Code() const { return code_; }
    // Written once when the operation returns.
    uint8_t Result() const { return result_.load(); }
    // Set by the worker itself when it has finished.
    bool Terminated() const { return terminated_.load(); }
    const LinkRequest& Request() const { return request_; }

protected:
    void run() override;

private:
    TQV17MainForm* form_;
    // The record of this operation, taken when the worker is made: the
    // window replaces its record only when no worker exists.
    DeviceRecord* record_;
    uint8_t code_;
    LinkRequest request_;
    std::atomic<uint8_t> result_{0};
    std::atomic<bool> terminated_{false};
};

}  // namespace krt
