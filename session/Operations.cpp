#include "session/Operations.h"

#include <algorithm>
#include <cstring>

#include "base/Log.h"
#include "base/StatusMessages.h"
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
                       const std::function<bool()>& goOn) {
    uint8_t result = RESULT_OK;
    for (uint8_t code : {REQ_BLANK_CHECK, REQ_WRITE, REQ_VERIFY}) {
        result = step(*OperationOf(code));
        if (result != RESULT_OK) break;
        if (code != REQ_VERIFY && !goOn()) return RESULT_CANCELED;
    }
    return result;
}

std::string VirtualTimeLine(uint64_t elapsedNs, uint32_t language) {
    const std::string seconds = Format("%.3f", static_cast<double>(elapsedNs) / 1e9);
    return Format(InLanguage(kVirtualTimeText, language), seconds.c_str());
}

OperationWorker::OperationWorker(Session& session, const LinkRequest& request, DeviceRecord& record,
                                 OperationObserver& observer)
    : session_(session), record_(record), request_(request), observer_(observer) {}

void OperationWorker::Run() {
    const bool simulated = session_.Simulated();
    const uint64_t started = session_.VirtualNs();
    const uint8_t result = session_.Send(request_, record_);
    const uint64_t elapsed = session_.VirtualNs() - started;
    const OperationInfo* info = OperationOf(request_.code);
    if (info && info->changesChip) {
        std::string error;
        if (!session_.SaveSocket(error)) ::krt::Log(session_.Log(), "%s", error.c_str());
    }
    if (info && info->changesBuffer && result == RESULT_OK) {
        observer_.BufferChanged();
        session_.BufferChanged();
    }
    observer_.Finished(result, simulated ? VirtualTimeLine(elapsed, session_.link.language) : std::string());
}

}  // namespace krt
