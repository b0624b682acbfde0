// SPDX-License-Identifier: GPL-3.0-or-later
#include "DevOpThread.h"

#include "TQV17MainForm.h"

namespace krt {

DevOpThread::DevOpThread(TQV17MainForm* form, uint8_t code)
    : work_(form->Programmer(), form->BuildRequest(code), form->Record(), *this) {}

DevOpThread::DevOpThread(TQV17MainForm* form, OperationWorker::FamilyOperation operation)
    : work_(form->Programmer(), std::move(operation), form->Record(), *this) {}

DevOpThread::~DevOpThread() { wait(); }

void DevOpThread::run() { work_.Run(); }

QString DevOpThread::TimeLine() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return timeLine_;
}

std::vector<std::string> DevOpThread::TakeLines() {
    std::vector<std::string> taken;
    std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(lines_);
    linesSignalled_ = false;
    return taken;
}

bool DevOpThread::Line(std::string_view line) {
    bool signal;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(line);
        signal = !linesSignalled_;
        linesSignalled_ = true;
    }
    if (signal) emit LinesLogged();
    return true;
}

std::chrono::milliseconds DevOpThread::ProgressInterval() const {
    return std::chrono::milliseconds(kProgressIntervalMs);
}

void DevOpThread::Progress(int32_t position) { emit ProgressMoved(position); }

void DevOpThread::BufferChanged() { emit BufferChangedByOperation(); }

void DevOpThread::Finished(uint8_t result, const std::string& timeLine) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        timeLine_ = QString::fromStdString(timeLine);
    }
    result_.store(result);
    terminated_.store(true);
    emit OperationFinished(result);
}

}  // namespace krt
