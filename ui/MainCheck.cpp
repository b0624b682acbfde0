// SPDX-License-Identifier: GPL-3.0-or-later
// Device > Check chip: the session's chip check (session/ChipCheck.h) of the
// selected device on the worker, its findings in the log as they come, and
// the report in a box at the end.
#include <memory>

#include "DevOpThread.h"
#include "Prompter.h"
#include "TQV17MainForm.h"
#include "WindowTexts.h"
#include "base/Log.h"
#include "base/StatusMessages.h"
#include "session/ChipCheck.h"
#include "session/Session.h"
#include "session/SessionTexts.h"

namespace krt {

void TQV17MainForm::CheckChipExecute() {
    if (Inert() || !CheckSelected(true)) return;
    const QString caption = CheckChip1->text().remove(QLatin1Char('&')).remove(QStringLiteral("..."));
    if (!ChipCheckApplies(session_->record)) {
        Prompter::Current().Box(this, TextIn(kCheckNothingText, language_), caption, QMessageBox::Ok,
                                QMessageBox::Warning);
        return;
    }
    ClearLog();
    ReloadChangedChip();
    auto report = std::make_shared<ChipCheckReport>();
    Session* session = session_.get();
    const uint32_t language = language_;
    // The findings go through the worker's log sink, as the family's lines do.
    const uint8_t result = RunWorker(new DevOpThread(this,
                                                     [session, language, report](LinkContext& link, DeviceRecord&) {
                                                         ChipCheckOptions options;
                                                         options.language = language;
                                                         options.log = link.log;
                                                         *report = CheckChip(*session, options);
                                                         return static_cast<uint8_t>(report->ExitStatus());
                                                     }),
                                     caption);
    delete worker_;
    worker_ = nullptr;
    FlushLog();
    if (closing_) return;
    lastIndicator_ = session_->ShowResult(result);
    QString shown;
    for (const CheckLine& line : report->lines)
        shown += QString::fromStdString(CheckLineText(line, language_)) + QLatin1Char('\n');
    if (report->result != RESULT_OK) shown += QString::fromStdString(ResultText(language_, report->result));
    Prompter::Current().Box(this, shown.trimmed(), caption, QMessageBox::Ok,
                            result == RESULT_OK ? QMessageBox::Information : QMessageBox::Warning);
}

}  // namespace krt
