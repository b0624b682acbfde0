// SPDX-License-Identifier: GPL-3.0-or-later
// The Operation menu: the operations with their checks, confirmation, the
// worker with its progress dialog, the result messages, the indicator
// request, Compare and Batch.
#include <QApplication>
#include <QTimer>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QToolBar>
#include <QLineEdit>
#include <QComboBox>
#include <QSaveFile>

#include <QDir>

#include "DevOpThread.h"
#include "FileFolders.h"
#include "TBatchForm.h"
#include "LogPane.h"
#include "Prompter.h"
#include "TProgressForm.h"
#include "TQV17MainForm.h"
#include "base/Log.h"
#include "base/StatusMessages.h"
#include "base/Texts.h"
#include "base/TypeCodes.h"
#include "WindowTexts.h"
#include "families/ZVEEPROM.h"
#include "session/Identify.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "session/SessionTexts.h"

namespace krt {

namespace {

constexpr TextPair kGoOnAtFixedLevel{"12.5 Vで続けますか?", "Go on at 12.5 V?"};
constexpr TextPair kSame{"チップとバッファは同じです。", "The chip and the buffer are the same."};
constexpr TextPair kDiffer{"%1 個所が違います。", "%1 differences."};
constexpr TextPair kOneDifference{"1 個所が違います。", "1 difference."};
constexpr TextPair kMoreDifferences{"... ほか %llu 個所", "... and %llu more differences"};
constexpr TextPair kSaveList{"違いの一覧をファイルに保存しますか?", "Save the list of differences to a file?"};
constexpr TextPair kListTitle{"違いの一覧を保存", "Save the list of differences"};
constexpr TextPair kListSaved{"違いの一覧を保存しました: %1", "The list of differences is saved: %1"};
const QString kListFilter = QStringLiteral("text (*.txt);;all files (*)");
constexpr TextPair kListNotSaved{"違いの一覧 %1 を保存できません: %2", "Cannot save the list of differences %1: %2"};

}  // namespace

// The decimal number in Edit1, which takes digits only; a field left
// empty permits the default 100 errors rather than stopping at the first.
uint32_t TQV17MainForm::PermittedErrors() const {
    bool ok = false;
    const long long n = Edit1->text().trimmed().toLongLong(&ok);
    if (!ok || n < 0) return 100;
    return static_cast<uint32_t>(std::min<long long>(n, UINT32_MAX));
}

LinkRequest TQV17MainForm::BuildRequest(uint8_t code) const { return session_->RangeRequest(code, PermittedErrors()); }

bool TQV17MainForm::CheckSelected(bool asBox) {
    if (deviceSelected_) {
        // The confirmation and the operation show and use the fields' values.
        CommitTypedFields();
        return true;
    }
    if (asBox)
        Prompter::Current().Box(this, MessageOf(11), QString::fromLatin1(kMessageCaption),
                                QMessageBox::Ok);
    else
        Prompter::Current().Message(this, MessageOf(11));
    return false;
}

bool TQV17MainForm::CheckListsMatch() {
    if (ListsShowDeviceInUse()) return true;
    const QString lists = DeviceNameText(language_, TypeKeyOf(ComboBox1->currentText()), ComboBox2->currentText(),
                                         ComboBox3->currentText());
    const QString text = ListsDifferText(language_, lists, DeviceInUse());
    Log(text);
    Prompter::Current().Box(this, text, QString::fromLatin1(kMessageCaption), QMessageBox::Ok,
                            QMessageBox::Warning);
    return false;
}

bool TQV17MainForm::Confirm(int captionCode) {
    // The question names the device whose algorithm and voltages will be used.
    const QString text = MessageOf(22) + QStringLiteral("\n\n") + DeviceInUseText(language_, DeviceInUse());
    const auto answer =
        Prompter::Current().Box(this, text, MessageOf(captionCode),
                                QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Question);
    if (answer == QMessageBox::Ok) return true;
    LogMessage(24);
    return false;
}

namespace {

// An ATF part on a programmer with fixed levels only would get 12.5 V:
// a write or erase asks first, No by default.
bool AcceptsFixedLevel(QWidget* parent, const Session& session, uint32_t language, int captionCode) {
    if (session.record.galpart.empty() || !session.link.programmerFound || !session.link.FixedSupplyLevels())
        return true;
    const QString text = QString::fromStdString(Format(InLanguage(kFixedLevelQuestionText, language),
                                                       session.record.name.c_str())) +
                         QStringLiteral("\n\n") + TextIn(kGoOnAtFixedLevel, language);
    return Prompter::Current().Ask(parent, text, QString::fromStdString(MessageText(language, captionCode)),
                                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace

bool TQV17MainForm::RefusedBeforeAsking(uint8_t code) {
    const uint8_t outcome = KnownOutcome(session_->record, code);
    if (outcome == RESULT_OK) return false;
    // An electrically erasable EPROM: the session's own line says why and what to do.
    const std::string refused = code == REQ_ERASE ? EraseRefusedLine(session_->record, language_) : std::string();
    const QString text = !refused.empty()
                             ? QString::fromStdString(refused)
                             : KnownOutcomeText(language_, code, outcome, QString::fromStdString(session_->record.name));
    Log(text);
    Prompter::Current().Box(this, text, QString::fromLatin1(kMessageCaption), QMessageBox::Ok,
                            QMessageBox::Information);
    return true;
}

bool TQV17MainForm::ReportResult(const OperationInfo& operation, uint8_t result) {
    Log(QString::fromStdString(ResultMessage(operation, result, language_)));
    // After a close the link has been reset; the indicator stays off.
    if (!closing_) lastIndicator_ = session_->ShowResult(result);
    return result == RESULT_OK;
}

void TQV17MainForm::ReloadChangedChip() {
    std::string note, error;
    if (session_->ReloadSocketIfChanged(note, error))
        Log(QString::fromStdString(note));
    else if (!error.empty())
        Log(QString::fromStdString(error));
}

uint8_t TQV17MainForm::RunOperation(uint8_t code, const QString& progressCaption) {
    // The caller reports; see RunCommand.
    ReloadChangedChip();
    return RunWorker(new DevOpThread(this, code), progressCaption);
}

uint8_t TQV17MainForm::RunWorker(DevOpThread* worker, const QString& progressCaption) {
    worker_ = worker;
    ++workersStarted_;
    const uint32_t length = worker->Request().length;
    // Every report of the worker arrives as a queued signal. The worker is
    // the context: what it queued goes with it when it is deleted. Lines are
    // taken a moment after their signal, so that a flood comes in batches
    // rather than waking the window for every line.
    connect(
        worker, &DevOpThread::LinesLogged, worker,
        [this, worker] { QTimer::singleShot(kWorkerLinePauseMs, worker, [this, worker] { MoveWorkerLines(*worker); }); },
        Qt::QueuedConnection);
    connect(worker, &DevOpThread::ProgressMoved, worker, [this](int position) { progress_->SetPosition(position); },
            Qt::QueuedConnection);

    // The dialog closes as soon as the worker has finished, not at its next tick.
    connect(worker, &DevOpThread::OperationFinished, worker, [this] { progress_->Timer1Timer(); },
            Qt::QueuedConnection);
    progress_->SetWorkerDone([worker] { return worker->Terminated(); });
    progress_->SetLanguage(language_);
    progress_->PrepareProgress(static_cast<int>(std::min<uint32_t>(length, INT32_MAX)),
                               progressCaption);
    worker->start(QThread::HighestPriority);
    SetCommandsEnabled(false);
    Prompter::Current().Exec(*progress_);

    // The dialog may close (cancel) before the worker has noticed: keep the
    // window alive until it has finished. Commands are inert meanwhile.
    while (!worker->Terminated()) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        worker->wait(5);
    }
    worker->wait();
    progress_->SetWorkerDone(nullptr);
    if (!closing_) SetCommandsEnabled(true);
    // The worker's last lines, then the time line: the result message is
    // queued behind them, so it appears after every line the worker logged.
    MoveWorkerLines(*worker);
    if (!worker->TimeLine().isEmpty()) Log(worker->TimeLine());
    return worker->Result();
}

void TQV17MainForm::SetCommandsEnabled(bool enabled) {
    // The log stays usable (it can be scrolled while the lines come), and so
    // does the window's close button.
    for (QWidget* w : std::initializer_list<QWidget*>{menuBar(), ToolBar1, GroupBox1, GroupBox2, Label8, Edit1})
        w->setEnabled(enabled);
}

void TQV17MainForm::MoveWorkerLines(DevOpThread& worker) { pane_->Take(worker.TakeLines()); }

uint8_t TQV17MainForm::RunCommand(const OperationInfo& operation) {
    const uint8_t result = RunOperation(operation.code, MessageOf(operation.progress));
    FinishedWorker finished{worker_};
    // Read before the indicator request, which starts a new request.
    const bool protectedChip = session_->link.protectionSuspected;
    ReportResult(operation, result);
    if (protectedChip && !closing_) {
        FlushLog();
        Prompter::Current().Box(this, ProtectionSuspectedText(language_), QString::fromLatin1(kMessageCaption),
                                QMessageBox::Ok, QMessageBox::Warning);
    }
    return result;
}

void TQV17MainForm::OpReadExecute() {
    // The chip's contents replace the buffer: unsaved edits are asked about first.
    if (Inert() || !CheckSelected(false) || KeepUnsavedEdits() || !Confirm(OperationOf(REQ_READ)->confirm)) return;
    ClearLog();
    if (RunCommand(*OperationOf(REQ_READ)) == RESULT_OK) unsaved_ = true;
    SetStatusMessage(kMessageReadFinished);
}

void TQV17MainForm::OpWriteExecute() {
    if (Inert() || !CheckSelected(false) || !CheckListsMatch() || !Confirm(OperationOf(REQ_WRITE)->confirm) ||
        !AcceptsFixedLevel(this, *session_, language_, OperationOf(REQ_WRITE)->confirm))
        return;
    ClearLog();
    RunCommand(*OperationOf(REQ_WRITE));
}

void TQV17MainForm::OpVerifyExecute() {
    if (Inert() || !CheckSelected(false) || !Confirm(OperationOf(REQ_VERIFY)->confirm)) return;
    ClearLog();
    RunCommand(*OperationOf(REQ_VERIFY));
}

void TQV17MainForm::OpEraseExecute() {
    if (Inert() || !CheckSelected(true) || !CheckListsMatch() || RefusedBeforeAsking(REQ_ERASE) ||
        !Confirm(OperationOf(REQ_ERASE)->confirm) ||
        !AcceptsFixedLevel(this, *session_, language_, OperationOf(REQ_ERASE)->confirm))
        return;
    ClearLog();
    RunCommand(*OperationOf(REQ_ERASE));
}

void TQV17MainForm::OpSecureExecute() {
    if (Inert() || !CheckSelected(false) || !CheckListsMatch() || RefusedBeforeAsking(REQ_SECURE) ||
        !Confirm(OperationOf(REQ_SECURE)->confirm) ||
        !AcceptsFixedLevel(this, *session_, language_, OperationOf(REQ_SECURE)->confirm))
        return;
    ClearLog();
    RunCommand(*OperationOf(REQ_SECURE));
}

void TQV17MainForm::OpBlankExecute() {
    if (Inert() || !CheckSelected(false) || !Confirm(OperationOf(REQ_BLANK_CHECK)->confirm)) return;
    ClearLog();
    RunCommand(*OperationOf(REQ_BLANK_CHECK));
}

void TQV17MainForm::N16Click() {
    if (Inert() || !CheckSelected(true)) return;
    if (RefusedBeforeAsking(REQ_DEVICE_OPTION)) return;
    ClearLog();
    RunCommand(*OperationOf(REQ_DEVICE_OPTION));
}

void TQV17MainForm::OpAutoExecute() {
    if (Inert() || !CheckSelected(false) || !CheckListsMatch() || !Confirm(kMessageAutoConfirm) ||
        !AcceptsFixedLevel(this, *session_, language_, kMessageAutoConfirm))
        return;
    ClearLog();
    // Three separate runs, each with its own worker, dialog and indicator.
    const uint8_t result = AutomaticWrite(session_->link, [this](const OperationInfo& step) { return RunCommand(step); },
                                          [this] { return !closing_; }, Sink(), language_);
    if (result == RESULT_OK && !closing_) LogMessage(kMessageAutoDone);
}

// The chip is read over the range (the read's own question, dialog and
// result line) and compared with the buffer, which keeps its contents; the
// listing goes into the log, and can be saved as krt compare writes it.
void TQV17MainForm::OpCompareExecute() {
    if (Inert() || !CheckSelected(false) || !Confirm(OperationOf(REQ_READ)->confirm)) return;
    ClearLog();
    DifferenceList differences;
    const uint8_t result =
        session_->CompareWithChip([this] { return RunCommand(*OperationOf(REQ_READ)); }, differences);
    if (closing_ || (result != RESULT_OK && result != RESULT_ERRORS)) return;
    const std::string listing =
        FormatDifferences(differences, session_->record.bytesPerWord, InLanguage(kMoreDifferences, language_));
    for (const QString& line : QString::fromStdString(listing).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) Log(line);
    if (differences.total == 0) {
        Log(TextIn(kSame, language_));
        return;
    }
    Log(differences.total == 1 ? TextIn(kOneDifference, language_) : TextIn(kDiffer, language_).arg(differences.total));
    FlushLog();
    const QString caption = Compare1->text().remove(QLatin1Char('&'));
    if (Prompter::Current().Ask(this, TextIn(kSaveList, language_), caption, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) != QMessageBox::Yes)
        return;
    const QString path = Prompter::Current().SaveFileName(this, TextIn(kListTitle, language_), kListFilter);
    if (path.isEmpty()) return;
    QSaveFile file(path);
    const QByteArray bytes = QByteArray::fromStdString(listing);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const QString line = TextIn(kListNotSaved, language_).arg(path, file.errorString());
        Log(line);
        Prompter::Current().Box(this, line, QString::fromLatin1(kMessageCaption), QMessageBox::Ok,
                                QMessageBox::Warning);
        return;
    }
    RememberFolder(kListFilter, path);
    Log(TextIn(kListSaved, language_).arg(path));
}

void TQV17MainForm::BatchClick() {
    if (Inert() || !CheckSelected(false) || !CheckListsMatch()) return;
    // With the simulator each chip of a batch has its own file, apart from
    // the one chip per device that the window keeps.
    TBatchForm dialog(this, *session_, language_, QDir(chipDir_).filePath(QStringLiteral("batch")));
    Prompter::Current().Exec(dialog);
}

}  // namespace krt
