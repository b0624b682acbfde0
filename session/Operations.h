// SPDX-License-Identifier: GPL-3.0-or-later
// The device operations as both faces offer them: one table (request code,
// captions, result messages, what each needs and changes), the automatic
// write, the range cut, and the worker that runs one operation and reports
// to an observer.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "link/Link.h"
#include "link/Protocol.h"

namespace krt {

class Session;
class DataBuffer;
struct DeviceRecord;

// One row of the operation table. The numbers are status messages: the
// confirmation caption (-1: none), the progress caption, and the messages
// of result 0, result 3 and every other result (formatted with the result text).
struct OperationInfo {
    uint8_t code;
    const char* name;  // as krt names the command
    int confirm;
    int progress;
    int ok;
    int errors;
    int failed;
    bool needsData;      // takes the buffer's contents to the device
    bool changesBuffer;  // fills the buffer from the device
    bool changesChip;    // may change what the chip holds
};

// The rows of codes 4 to 10; null for any other code.
const OperationInfo* OperationOf(uint8_t code);

// Status messages of the commands around the table.
inline constexpr int kMessageNotSelected = 11;
inline constexpr int kMessageCanceled = 24;
inline constexpr int kMessageReadFinished = 28;
inline constexpr int kMessageAutoConfirm = 47;
inline constexpr int kMessageAutoDone = 48;

// What an operation is known to end in for this device before it touches
// the programmer: RESULT_UNSUPPORTED (an erase of a UV EPROM or a one-time
// PROM, a security operation of a family without one, the device option of
// a device without an ID row), RESULT_INCOMPLETE (the GAL22V10's security),
// or RESULT_OK when only running it can tell. A face says so before it
// asks for the chip.
uint8_t KnownOutcome(const DeviceRecord& record, uint8_t code);

// The line that refuses the erase of an electrically erasable EPROM (a
// record with a9erase): why this programmer cannot, and what to do
// instead. Empty for every other device.
std::string EraseRefusedLine(const DeviceRecord& record, uint32_t language);

// The log line of a result: the row's message for it, with the result text.
std::string ResultMessage(const OperationInfo& operation, uint8_t result, uint32_t language);

// The request of a device operation over the range. The buffer is the
// session's (none when it has none yet).
LinkRequest OperationRequest(uint8_t code, uint32_t start, uint32_t length, uint32_t permittedErrors,
                             DataBuffer& buffer);

// A range that reaches beyond the device (or the buffer) is cut at its end,
// so that no operation walks off the buffer.
void CutRange(LinkRequest& request, const DeviceRecord& record, const DataBuffer& buffer);

// The automatic write: blank check, write, verify; each step runs only
// when the one before succeeded; when goOn() says no, the run stops with
// result 1 (canceled). Returns the last result. A run that stops at a
// failed blank check says on log (when given) that nothing was written.
uint8_t AutomaticWrite(const std::function<uint8_t(const OperationInfo&)>& step,
                       const std::function<bool()>& goOn, LogSink* log = nullptr, uint32_t language = 1);
// The same on a link: its write step knows which words the blank check
// found blank and does not program the file's blank words there.
uint8_t AutomaticWrite(LinkContext& link, const std::function<uint8_t(const OperationInfo&)>& step,
                       const std::function<bool()>& goOn, LogSink* log = nullptr, uint32_t language = 1);

// The line that gives the time an operation would take on a real
// programmer: the simulator's virtual time it took.
std::string VirtualTimeLine(uint64_t elapsedNs, uint32_t language);

// What a worker reports, in this order: the operation's log lines (Line) and
// its position (Progress) while it runs, then BufferChanged (only after an
// operation that fills the buffer and succeeded), then Finished. Line,
// BufferChanged and Finished are called on the worker's thread, Progress on
// a helper thread of the worker (so an observer must take calls from both);
// no call comes after Finished.
struct OperationObserver {
    virtual ~OperationObserver() = default;
    // One log line of the operation (UTF-8), in the order logged: the
    // family's lines, a port reopened on a new base, a chip file that could
    // not be saved. Returns true when the observer took it; a line it leaves
    // (the default) goes on to the session's log sink.
    virtual bool Line(std::string_view line) {
        (void)line;
        return false;
    }
    // How often the worker reports the position; zero (the default): never,
    // and no helper thread runs.
    virtual std::chrono::milliseconds ProgressInterval() const { return std::chrono::milliseconds(0); }
    // The words done since the operation's start, each time it has moved.
    virtual void Progress(int32_t position) { (void)position; }
    virtual void BufferChanged() {}
    // result: the result code; timeLine: the virtual-time line with the
    // simulator, else empty.
    virtual void Finished(uint8_t result, const std::string& timeLine) = 0;
};

// An observer that keeps the result and the time line and lets another
// thread wait for the end (krt's commands, the batch dialog).
struct FinishSignal : OperationObserver {
    std::mutex mutex;
    std::condition_variable signal;
    bool done = false;
    uint8_t result = 0;
    std::string timeLine;
    void Finished(uint8_t r, const std::string& line) override {
        std::lock_guard<std::mutex> lock(mutex);
        result = r;
        timeLine = line;
        done = true;
        signal.notify_all();
    }
    bool IsDone() {
        std::lock_guard<std::mutex> lock(mutex);
        return done;
    }
    // Waits at most `period` for the end.
    void Wait(std::chrono::milliseconds period) {
        std::unique_lock<std::mutex> lock(mutex);
        signal.wait_for(lock, period, [this] { return done; });
    }
};

// One device operation. The request is built on the face's thread before
// the worker starts; Run is called on the worker's thread and only
// dispatches it. While it runs, the link's log sink is the worker's, which
// hands every line to the observer. After an operation that may change the
// chip, a simulated chip is saved; after one that filled the buffer, the
// session says that the buffer changed.
class OperationWorker {
public:
    // record: the device record of this operation, taken when the worker
    // is made (the face replaces its record only when no worker exists).
    OperationWorker(Session& session, const LinkRequest& request, DeviceRecord& record, OperationObserver& observer);
    // A family's own operation that has no request code (the EEPROM's
    // protection command): run in place of the dispatcher, counted as one
    // that may change the chip.
    using FamilyOperation = std::function<uint8_t(LinkContext& link, DeviceRecord& record)>;
    OperationWorker(Session& session, FamilyOperation operation, DeviceRecord& record, OperationObserver& observer);

    void Run();
    const LinkRequest& Request() const { return request_; }
    uint8_t Code() const { return request_.code; }

private:
    Session& session_;
    DeviceRecord& record_;
    LinkRequest request_;
    FamilyOperation operation_;
    OperationObserver& observer_;
};

}  // namespace krt
