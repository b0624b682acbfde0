#include "DevOpThread.h"

#include "TQV17MainForm.h"

namespace krt {

DevOpThread::DevOpThread(TQV17MainForm* form, uint8_t code)
    : work_(form->Programmer(), form->BuildRequest(code), form->Record(), *this) {}

DevOpThread::~DevOpThread() { wait(); }

void DevOpThread::run() { work_.Run(); }

void DevOpThread::BufferChanged() { emit BufferChangedByOperation(); }

void DevOpThread::Finished(uint8_t result, const std::string& timeLine) {
    timeLine_ = QString::fromStdString(timeLine);
    result_.store(result);
    terminated_.store(true);
    emit OperationFinished(result);
}

}  // namespace krt
