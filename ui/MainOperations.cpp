// The operation commands: checks, confirmation, the worker with its
// progress dialog, the result messages and the indicator request.
#include <QApplication>
#include <QLineEdit>
#include <QComboBox>

#include "DevOpThread.h"
#include "LogPane.h"
#include "Prompter.h"
#include "TProgressForm.h"
#include "TQV17MainForm.h"
#include "WindowLink.h"
#include "base/Log.h"
#include "base/StatusMessages.h"

namespace krt {

namespace {

// The rows of the command table: confirmation caption, progress caption and
// the messages of result 0, result 3 and every other result.
struct CommandMessages {
    uint8_t code;
    int confirm;
    int progress;
    int ok;
    int errors;
    int failed;
};

constexpr CommandMessages kRead{4, 23, 25, 26, 27, 27};
constexpr CommandMessages kWrite{5, 30, 31, 32, 33, 34};
constexpr CommandMessages kVerify{6, 49, 50, 53, 51, 52};
constexpr CommandMessages kErase{7, 54, 55, 56, 57, 58};
constexpr CommandMessages kSecure{8, 38, 39, 40, 41, 41};
constexpr CommandMessages kBlank{9, 42, 43, 44, 45, 46};
constexpr CommandMessages kOption{10, 0, 35, 36, 37, 37};
constexpr int kAutoConfirm = 47;
constexpr int kAutoDone = 48;

// The permitted error count: the decimal number in Edit1. A text that is no
// number permits the default 100 errors rather than stopping at the first.
uint32_t PermittedErrors(const QString& text) {
    bool ok = false;
    const long long n = text.trimmed().toLongLong(&ok);
    if (!ok || n < 0) return 100;
    return static_cast<uint32_t>(std::min<long long>(n, UINT32_MAX));
}

}  // namespace

LinkRequest TQV17MainForm::BuildRequest(uint8_t code) const {
    LinkRequest request;
    request.code = code;
    request.buffer = buffer_.Exists() ? const_cast<uint8_t*>(buffer_.data()) : nullptr;
    request.startAddress = ParseHex(ComboBox4->currentText().toStdString());
    request.length = ParseHex(ComboBox6->currentText().toStdString());
    request.permittedErrorCount = PermittedErrors(Edit1->text());
    // A range that reaches beyond the device (or the buffer) is cut at its
    // end, as the families cut it, so that no operation walks off the buffer.
    uint64_t limit = record_->maxsize;
    if (buffer_.Exists() && record_->bytesPerWord)
        limit = std::min<uint64_t>(limit, buffer_.size() / record_->bytesPerWord);
    if (limit && static_cast<uint64_t>(request.startAddress) + request.length > limit)
        request.length =
            request.startAddress >= limit ? 0 : static_cast<uint32_t>(limit - request.startAddress);
    return request;
}

bool TQV17MainForm::CheckSelected(bool asBox) {
    if (deviceSelected_) return true;
    if (asBox)
        Prompter::Current().Box(this, MessageOf(11), QString::fromLatin1(kMessageCaption),
                                QMessageBox::Ok);
    else
        Prompter::Current().Message(this, MessageOf(11));
    return false;
}

bool TQV17MainForm::Confirm(int captionCode) {
    const auto answer =
        Prompter::Current().Box(this, MessageOf(22), MessageOf(captionCode),
                                QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Question);
    if (answer == QMessageBox::Ok) return true;
    LogMessage(24);
    return false;
}

bool TQV17MainForm::ReportResult(uint8_t result, int okCode, int errorsCode, int failCode) {
    const int code = result == 0 ? okCode : result == 3 ? errorsCode : failCode;
    const std::string reason = ResultText(language_, result);
    Log(QString::fromStdString(Format(MessageText(language_, code), reason.c_str())));
    const uint32_t indicator = result == 0 ? 2 : 1;
    // After a close the link has been reset; the indicator stays off.
    if (!closing_) {
        LinkRequest request;
        request.code = 13;
        request.parameter = indicator;
        Send(request, *record_);
        lastIndicator_ = indicator;
    }
    return result == 0;
}

uint8_t TQV17MainForm::RunOperation(uint8_t code, const QString& progressCaption) {
    // The caller reports; see RunCommand.
    auto* worker = new DevOpThread(this, code);
    worker_ = worker;
    ++workersStarted_;
    const uint32_t length = worker->Request().length;
    worker->start(QThread::HighestPriority);

    progress_->SetWorkerDone([worker] { return worker->Terminated(); });
    progress_->PrepareProgress(static_cast<int>(std::min<uint32_t>(length, INT32_MAX)),
                               progressCaption);
    Prompter::Current().Exec(*progress_);

    // The dialog may close (cancel) before the worker has noticed: keep the
    // window alive until it has finished. Commands are inert meanwhile.
    while (!worker->Terminated()) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        worker->wait(5);
    }
    worker->wait();
    // The result message is queued behind every line the worker logged, so
    // it appears after them without moving a flood of lines in one go.
    return worker->Result();
}

namespace {

struct WorkerReset {
    TQV17MainForm* form;
    DevOpThread*& worker;
    ~WorkerReset() {
        delete worker;
        worker = nullptr;
    }
};

}  // namespace

// One operation from the command table: run it, report its result, send
// the indicator request, and only then let the worker go.
static bool RunCommand(TQV17MainForm* form, DevOpThread*& worker, const CommandMessages& m,
                       bool (TQV17MainForm::*report)(uint8_t, int, int, int)) {
    const uint8_t result = form->RunOperation(m.code, form->MessageOf(m.progress));
    WorkerReset reset{form, worker};
    return (form->*report)(result, m.ok, m.errors, m.failed);
}

void TQV17MainForm::OpReadExecute() {
    if (Inert() || !CheckSelected(false) || !Confirm(kRead.confirm)) return;
    ClearLog();
    RunCommand(this, worker_, kRead, &TQV17MainForm::ReportResult);
    SetStatus(MessageOf(28));
}

void TQV17MainForm::OpWriteExecute() {
    if (Inert() || !CheckSelected(false) || !Confirm(kWrite.confirm)) return;
    ClearLog();
    RunCommand(this, worker_, kWrite, &TQV17MainForm::ReportResult);
    SaveSocket();
}

void TQV17MainForm::OpVerifyExecute() {
    if (Inert() || !CheckSelected(false) || !Confirm(kVerify.confirm)) return;
    ClearLog();
    RunCommand(this, worker_, kVerify, &TQV17MainForm::ReportResult);
}

void TQV17MainForm::OpEraseExecute() {
    if (Inert() || !CheckSelected(true) || !Confirm(kErase.confirm)) return;
    ClearLog();
    RunCommand(this, worker_, kErase, &TQV17MainForm::ReportResult);
    SaveSocket();
}

void TQV17MainForm::OpSecureExecute() {
    if (Inert() || !CheckSelected(false) || !Confirm(kSecure.confirm)) return;
    ClearLog();
    RunCommand(this, worker_, kSecure, &TQV17MainForm::ReportResult);
    SaveSocket();
}

void TQV17MainForm::OpBlankExecute() {
    if (Inert() || !CheckSelected(false) || !Confirm(kBlank.confirm)) return;
    ClearLog();
    RunCommand(this, worker_, kBlank, &TQV17MainForm::ReportResult);
}

void TQV17MainForm::N16Click() {
    if (Inert() || !CheckSelected(true)) return;
    if (record_->typecode != 5 && record_->typecode != 6) return;
    ClearLog();
    RunCommand(this, worker_, kOption, &TQV17MainForm::ReportResult);
}

void TQV17MainForm::OpAutoExecute() {
    if (Inert() || !CheckSelected(false) || !Confirm(kAutoConfirm)) return;
    ClearLog();
    // Three separate runs, each with its own worker, dialog and indicator.
    if (!RunCommand(this, worker_, kBlank, &TQV17MainForm::ReportResult) || closing_) return;
    const bool written = RunCommand(this, worker_, kWrite, &TQV17MainForm::ReportResult);
    SaveSocket();
    if (!written || closing_) return;
    if (!RunCommand(this, worker_, kVerify, &TQV17MainForm::ReportResult)) return;
    LogMessage(kAutoDone);
}

void TQV17MainForm::HardResetExecute() {
    if (Inert()) return;
    ClearLog();
    DeviceRecord fresh;
    LinkRequest request;
    request.code = 1;
    Send(request, fresh);
    request = LinkRequest{};
    request.code = 2;
    const uint8_t result = Send(request, fresh);
    LogMessage(result == 0 ? 5 : 6);
}

void TQV17MainForm::SaveSocket() {
    if (!link_->Simulated() || closing_) return;
    QString message;
    if (!link_->SaveChip(message) && !message.isEmpty()) Log(message);
}

}  // namespace krt
