// SPDX-License-Identifier: GPL-3.0-or-later
// The Device menu: the three lists, the parameter editor, the software data
// protection of EEPROM and 5 V flash parts, and Identify.
#include <QComboBox>
#include <QMessageBox>
#include <memory>

#include "DevOpThread.h"
#include "Prompter.h"
#include "TQV17MainForm.h"
#include "WindowTexts.h"
#include "base/Log.h"
#include "base/StatusMessages.h"
#include "base/Texts.h"
#include "families/ZVEEPROM.h"
#include "session/Identify.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "ui/TWConfigForm.h"

namespace krt {

namespace {

constexpr TextPair kTrySixCycleEntry{
    "JEDEC形式の製品ID (AA 55 90) に答えるチップはありません。Winbondの W29EE011 / W29C020 の6サイクル形式 "
    "(AA 55 80 AA 55 60) を試しますか?",
    "No chip answered the JEDEC product ID entry (AA 55 90). Try the six-cycle entry of Winbond's W29EE011 "
    "and W29C020 (AA 55 80 AA 55 60)?"};

// The parts found are named with the Type box's words, as the user chose
// them there ("5V FLASHROM", not the catalogue's key).
void NameTypesAsListed(IdentifyReport& report, uint32_t language) {
    for (const std::string& match : report.matches) {
        const size_t space = match.find(' ');
        if (space == std::string::npos) continue;
        const QString type = QString::fromStdString(match.substr(0, space));
        const std::string listed = TypeItemOf(language, type).toStdString() + match.substr(space);
        const size_t at = report.line.find(match);
        if (at != std::string::npos) report.line.replace(at, match.size(), listed);
    }
}

}  // namespace

void TQV17MainForm::T1Click() { ComboBox1->setFocus(); }

void TQV17MainForm::V1Click() { ComboBox2->setFocus(); }

void TQV17MainForm::T2Click() { ComboBox3->setFocus(); }

void TQV17MainForm::N12Click() {
    if (Inert()) return;
    paramEditor_->SetRecord(&session_->record);
    paramEditor_->Fill();
    Prompter::Current().Exec(*paramEditor_);
}

void TQV17MainForm::SdpOffExecute() { RunProtection(false); }

void TQV17MainForm::SdpOnExecute() { RunProtection(true); }

void TQV17MainForm::RunProtection(bool enable) {
    if (Inert() || !CheckSelected(true) || !CheckListsMatch()) return;
    // The selected device's record decides, not the Type box, which may
    // have changed since Select.
    const QString type = QString::fromStdString(session_->record.type);
    if (type.compare(QStringLiteral("EEPROM"), Qt::CaseInsensitive) != 0 &&
        type.compare(QStringLiteral("FLASH5V"), Qt::CaseInsensitive) != 0) {
        Prompter::Current().Box(this, ProtectionOnlyEepromText(language_), QString::fromLatin1(kMessageCaption),
                                QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    const QString caption = (enable ? SdpOn1 : SdpOff1)->text().remove(QLatin1Char('&'));
    const QString question = MessageOf(22) + QStringLiteral("\n\n") + DeviceInUseText(language_, DeviceInUse());
    const auto answer = Prompter::Current().Box(this, question, caption,
                                                QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Question);
    if (answer != QMessageBox::Ok) {
        LogMessage(kMessageCanceled);
        return;
    }
    ClearLog();
    ReloadChangedChip();
    // The family logs the state it observed; a failure says why here.
    const uint8_t result = RunWorker(
        new DevOpThread(this, [enable](LinkContext& link, DeviceRecord& record) {
            return RunProtectionOperation(link, record, enable);
        }),
        caption);
    FinishedWorker finished{worker_};
    if (result != RESULT_OK) Log(ProtectionFailedText(language_, QString::fromStdString(ResultText(language_, result))));
    if (!closing_) lastIndicator_ = session_->ShowResult(result);
}

void TQV17MainForm::IdentifyExecute() {
    // No selection needed: the probe is the family's own (any 32-pin 5 V
    // flash part), and what answers is named from the catalogue. When no
    // chip answers the JEDEC entry, the user may try Winbond's six-cycle one
    // (asked, not tried on its own: it is a command other parts do not know).
    if (Inert()) return;
    ClearLog();
    ReloadChangedChip();
    const QString caption = Identify1->text().remove(QLatin1Char('&'));
    Catalogue catalogue;
    catalogue.directory = session_->catalogueDirectory;
    catalogue.list = session_->devices;
    auto report = std::make_shared<IdentifyReport>();
    Session* session = session_.get();
    const uint32_t language = language_;
    uint8_t result = RESULT_NOT_FOUND;
    // A selected part that takes only the six-cycle entry is probed with it
    // alone: on such a part the three-cycle entry would be page data.
    const bool sixCycleOnly = deviceSelected_ && session_->record.identry == 6;
    for (uint8_t entry : {uint8_t{3}, uint8_t{6}}) {
        if (entry == 3 && sixCycleOnly) continue;
        const bool offered = entry == 6 && !sixCycleOnly;
        if (offered && (closing_ || result != RESULT_NOT_FOUND ||
                        Prompter::Current().Ask(this, TextIn(kTrySixCycleEntry, language_), caption,
                                                QMessageBox::Yes | QMessageBox::No,
                                                QMessageBox::No) != QMessageBox::Yes))
            break;
        // The line goes through the worker's log sink, as the family's lines do.
        result = RunWorker(new DevOpThread(this,
                                           [session, catalogue, language, report, entry](LinkContext& link,
                                                                                         DeviceRecord&) {
                                               *report = IdentifyChip(*session, catalogue, language, entry);
                                               NameTypesAsListed(*report, language);
                                               if (!report->restoreLine.empty())
                                                   ::krt::Log(link.log, "%s", report->restoreLine.c_str());
                                               if (!report->line.empty())
                                                   ::krt::Log(link.log, "%s", report->line.c_str());
                                               return report->result;
                                           }),
                           caption);
        FinishedWorker finished{worker_};
        if (report->line.empty()) Log(QString::fromStdString(ResultText(language_, result)));
        FlushLog();
    }
    if (closing_) return;
    lastIndicator_ = session_->ShowResult(result);
    const QString shown = report->line.empty() ? QString::fromStdString(ResultText(language_, result))
                                               : QString::fromStdString(report->line);
    Prompter::Current().Box(this, shown, caption, QMessageBox::Ok,
                            report->matches.empty() ? QMessageBox::Warning : QMessageBox::Information);
}

}  // namespace krt
