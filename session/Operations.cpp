// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/Operations.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "base/Log.h"
#include "base/StatusMessages.h"
#include "base/TypeCodes.h"
#include "catalogue/DeviceRecord.h"
#include "data/DataBuffer.h"
#include "session/Session.h"
#include "session/SessionTexts.h"

namespace krt {

namespace {

constexpr OperationInfo kOperations[] = {
    {REQ_READ, "read", 23, 25, 26, 27, 27, false, true, false},
    {REQ_WRITE, "write", 30, 31, 32, 33, 34, true, false, true},
    {REQ_VERIFY, "verify", 49, 50, 53, 51, 52, true, false, false},
    {REQ_ERASE, "erase", 54, 55, 56, 57, 58, false, false, true},
    {REQ_SECURE, "secure", 38, 39, 40, 41, 41, false, false, true},
    {REQ_BLANK_CHECK, "blank", 42, 43, 44, 45, 46, false, false, false},
    {REQ_DEVICE_OPTION, "option", -1, 35, 36, 37, 37, false, false, false},
};

}  // namespace

const OperationInfo* OperationOf(uint8_t code) {
    for (const OperationInfo& o : kOperations)
        if (o.code == code) return &o;
    return nullptr;
}

namespace {

bool IsType(const std::string& type, const char* key) {
    const size_t n = std::strlen(key);
    if (type.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(type[i])) != key[i]) return false;
    return true;
}

}  // namespace

uint8_t KnownOutcome(const DeviceRecord& record, uint8_t code) {
    const bool rom = IsType(record.type, "EPROM") || IsType(record.type, "OTPROM");
    const bool gal = IsType(record.type, "GAL");
    // A static RAM keeps nothing once its supply is off: it is only read (and checked).
    if (IsType(record.type, "SRAM") && code != REQ_READ) return RESULT_UNSUPPORTED;
    switch (code) {
    case REQ_ERASE: return rom ? RESULT_UNSUPPORTED : RESULT_OK;
    case REQ_SECURE:
        // Only the GALs have a security operation; the GAL22V10's is not done yet.
        if (!gal) return RESULT_UNSUPPORTED;
        return record.typecode == 7 ? RESULT_INCOMPLETE : RESULT_OK;
    case REQ_DEVICE_OPTION: return HasDeviceOption(record.typecode) ? RESULT_OK : RESULT_UNSUPPORTED;
    default: return RESULT_OK;
    }
}

std::string EraseRefusedLine(const DeviceRecord& record, uint32_t language) {
    if (!(record.a9erase > 0.0)) return {};
    return Format(InLanguage(kEraseNeedsA9Text, language), record.name.c_str(), record.a9erase, record.a9erase);
}

std::string ResultMessage(const OperationInfo& operation, uint8_t result, uint32_t language) {
    const int number = result == RESULT_OK ? operation.ok : result == RESULT_ERRORS ? operation.errors : operation.failed;
    const char* text = MessageText(language, number);
    if (!std::strstr(text, "%s")) return text;
    return Format(text, ResultText(language, result).c_str());
}

LinkRequest OperationRequest(uint8_t code, uint32_t start, uint32_t length, uint32_t permittedErrors,
                             DataBuffer& buffer) {
    LinkRequest request;
    request.code = code;
    request.buffer = buffer.Exists() ? buffer.data() : nullptr;
    request.startAddress = start;
    request.length = length;
    request.permittedErrorCount = permittedErrors;
    return request;
}

void CutRange(LinkRequest& request, const DeviceRecord& record, const DataBuffer& buffer) {
    uint64_t limit = record.maxsize;
    if (buffer.Exists() && record.bytesPerWord)
        limit = std::min<uint64_t>(limit, buffer.size() / record.bytesPerWord);
    if (limit && static_cast<uint64_t>(request.startAddress) + request.length > limit)
        request.length = request.startAddress >= limit ? 0 : static_cast<uint32_t>(limit - request.startAddress);
}

uint8_t AutomaticWrite(const std::function<uint8_t(const OperationInfo&)>& step,
                       const std::function<bool()>& goOn, LogSink* log, uint32_t language) {
    uint8_t result = RESULT_OK;
    for (uint8_t code : {REQ_BLANK_CHECK, REQ_WRITE, REQ_VERIFY}) {
        result = step(*OperationOf(code));
        if (result != RESULT_OK && code == REQ_BLANK_CHECK && result != RESULT_CANCELED)
            ::krt::Log(log, "%s", InLanguage(kAutoNothingWrittenText, language));
        if (result != RESULT_OK) break;
        if (code != REQ_VERIFY && !goOn()) return RESULT_CANCELED;
    }
    return result;
}

uint8_t AutomaticWrite(LinkContext& link, const std::function<uint8_t(const OperationInfo&)>& step,
                       const std::function<bool()>& goOn, LogSink* log, uint32_t language) {
    struct Marked {
        LinkContext& link;
        explicit Marked(LinkContext& l) : link(l) { link.automaticWrite = true; }
        ~Marked() {
            link.automaticWrite = false;
            link.blankChecked = {};
        }
    } marked(link);
    return AutomaticWrite(step, goOn, log, language);
}

std::string VirtualTimeLine(uint64_t elapsedNs, uint32_t language) {
    const std::string seconds = Format("%.3f", static_cast<double>(elapsedNs) / 1e9);
    return Format(InLanguage(kVirtualTimeText, language), seconds.c_str());
}

namespace {

// The link's log sink while a worker runs: each line goes to the observer,
// and on to the session's sink when the observer leaves it.
class ObserverSink final : public LogSink {
public:
    ObserverSink(OperationObserver& observer, LogSink* next) : observer_(observer), next_(next) {}
    void line(std::string_view text) override {
        if (!observer_.Line(text) && next_) next_->line(text);
    }

private:
    OperationObserver& observer_;
    LogSink* next_;
};

// Puts the worker's sink in the link for the time of one operation.
class SinkSwap {
public:
    SinkSwap(LinkContext& link, LogSink* sink) : link_(link), previous_(link.log) { link_.log = sink; }
    ~SinkSwap() { link_.log = previous_; }
    SinkSwap(const SinkSwap&) = delete;
    SinkSwap& operator=(const SinkSwap&) = delete;

private:
    LinkContext& link_;
    LogSink* previous_;
};

// Reads the running operation's position at the observer's interval and
// reports it when it has moved; stops (and is joined) before the worker
// reports anything else.
class ProgressTicker {
public:
    ProgressTicker(LinkContext& link, OperationObserver& observer) {
        const std::chrono::milliseconds interval = observer.ProgressInterval();
        if (interval.count() <= 0) return;
        thread_ = std::thread([this, &link, &observer, interval] {
            int32_t last = -1;
            std::unique_lock<std::mutex> lock(mutex_);
            while (!cv_.wait_for(lock, interval, [this] { return stop_; })) {
                lock.unlock();
                const int32_t position = link.OperationProgress();
                if (position >= 0 && position != last) {
                    last = position;
                    observer.Progress(position);
                }
                lock.lock();
            }
        });
    }
    ~ProgressTicker() { Stop(); }
    ProgressTicker(const ProgressTicker&) = delete;
    ProgressTicker& operator=(const ProgressTicker&) = delete;

    void Stop() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace

OperationWorker::OperationWorker(Session& session, const LinkRequest& request, DeviceRecord& record,
                                 OperationObserver& observer)
    : session_(session), record_(record), request_(request), observer_(observer) {}

OperationWorker::OperationWorker(Session& session, FamilyOperation operation, DeviceRecord& record,
                                 OperationObserver& observer)
    : session_(session), record_(record), operation_(std::move(operation)), observer_(observer) {}

void OperationWorker::Run() {
    const bool simulated = session_.Simulated();
    const uint64_t started = session_.VirtualNs();
    uint8_t result;
    uint64_t elapsed;
    {
        ObserverSink sink(observer_, session_.Log());
        SinkSwap swap(session_.link, &sink);
        ProgressTicker ticker(session_.link, observer_);
        result = operation_ ? operation_(session_.link, record_) : session_.Send(request_, record_);
        elapsed = session_.VirtualNs() - started;
        ticker.Stop();
        const OperationInfo* info = OperationOf(request_.code);
        if (operation_ || (info && info->changesChip)) {
            std::string error;
            if (!session_.SaveSocket(error)) ::krt::Log(session_.Log(), "%s", error.c_str());
        }
    }
    // Only a read into the session's own buffer replaces it (and so ends its
    // edits); a read into another buffer, as a batch's read-back, leaves
    // the buffer, its edits and their unsaved mark alone.
    const OperationInfo* info = OperationOf(request_.code);
    const bool intoBuffer = request_.buffer == (session_.buffer.Exists() ? session_.buffer.data() : nullptr);
    if (info && info->changesBuffer && intoBuffer && result == RESULT_OK) {
        session_.edits.Reset(session_.buffer);
        observer_.BufferChanged();
        session_.BufferChanged();
    }
    observer_.Finished(result, simulated ? VirtualTimeLine(elapsed, session_.link.language) : std::string());
}

}  // namespace krt
