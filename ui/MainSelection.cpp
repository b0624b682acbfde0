// SPDX-License-Identifier: GPL-3.0-or-later
// The Device selecting group (the three lists and Select, which loads the
// device and shows the parameter editor) and the Operation config group's
// range fields.
#include <QComboBox>
#include <QCompleter>
#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "LogPane.h"
#include "Prompter.h"
#include "PartFinder.h"
#include "ShellWindows.h"
#include "TQV17MainForm.h"
#include <QDir>
#include "WindowTexts.h"
#include "catalogue/NaturalOrder.h"
#include "ui/TWConfigForm.h"
#include "base/Log.h"
#include "base/TypeCodes.h"
#include "session/Session.h"
#include "base/StatusMessages.h"
#include "base/Version.h"

namespace krt {

// ---------------------------------------------------------------- selection cascade

namespace {

// The Number box takes typing: a part is found by any piece of its number
// (27c256 finds M27C256B), in any case, and Return picks the number that
// was typed in full; a number of another type or maker, or the one printed
// on a chip (W27C512-45Z), moves the boxes to its entry. A typed text is
// never added to the list.
void MakeNumberBoxSearchable(QComboBox* box) {
    if (box->isEditable()) return;
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    auto* completer = new QCompleter(box->model(), box);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    box->setCompleter(completer);
}

}  // namespace

void TQV17MainForm::ComboBox1Change() {
    if (Inert()) return;
    typeKey_ = TypeKeyOf(ComboBox1->currentText());
    auto makers = session_->devices.MakersOf(typeKey_.toStdString());
    SortNaturally(makers);
    ComboBox2->clear();
    for (const auto& m : makers) ComboBox2->addItem(QString::fromStdString(m));
    ComboBox2->setCurrentIndex(0);
    ComboBox3->clear();
    ComboBox3->setCurrentIndex(0);
    ComboBox2Change();
}

void TQV17MainForm::ComboBox2Change() {
    if (Inert()) return;
    maker_ = ComboBox2->currentText();
    auto names = session_->devices.NamesOf(typeKey_.toStdString(), maker_.toStdString());
    SortNaturally(names);
    MakeNumberBoxSearchable(ComboBox3);
    // Enter in the Number box presses Select.
    connect(ComboBox3->lineEdit(), &QLineEdit::returnPressed, this, &TQV17MainForm::Button1Click,
            Qt::UniqueConnection);
    ComboBox3->clear();
    for (const auto& n : names) ComboBox3->addItem(QString::fromStdString(n));
    ComboBox3->setCurrentIndex(0);
}

// The part number is read when the user confirms.
void TQV17MainForm::ComboBox3Change() {}

void TQV17MainForm::Button1Click() {
    if (Inert()) return;
    // Boxes that still show their placeholders name no device: nothing to load.
    const QString name = ComboBox3->currentText();
    if (name.isEmpty() || name == WindowTextOf(language_, WindowText::ComboBox3Placeholder)) return;
    // A number of another type or maker, or the one printed on a chip: the
    // boxes move to the entry to use, as if it had been chosen.
    const FoundPart part = FindPartForBoxes(session_->devices, name, ComboBox1, ComboBox3, language_);
    if (part.typeIndex >= 0) {
        ComboBox1->setCurrentIndex(part.typeIndex);
        ComboBox1Change();
        ComboBox2->setCurrentIndex(ComboBox2->findText(part.maker));
        ComboBox2Change();
        ComboBox3->setCurrentIndex(ComboBox3->findText(part.name));
        Log(part.line);
    }
    if (typeKey_.isEmpty()) return;
    LoadDevice();
}

void TQV17MainForm::LoadDevice(const std::function<void(DeviceRecord&)>& beforeEditor) {
    if (Inert()) return;
    deviceSelected_ = false;
    deviceName_ = ComboBox3->currentText();
    // The session's record is replaced by what the loader leaves (an empty
    // record when it fails). The buffer is sized before the editor is shown,
    // so that a failure to get the memory leaves the old buffer and range as
    // they were.
    DataBuffer next;
    const Session::DeviceLoad loaded = session_->LoadDevice(typeKey_.toStdString(), maker_.toStdString(),
                                                            deviceName_.toStdString(), language_, Sink(), next);
    if (!loaded.load.selected) {
        ShowDeviceInUse();
        return;
    }
    if (loaded.noMemory) {
        LogMessage(19);
        return;
    }
    DeviceRecord& record = session_->record;
    datasheetRecord_ = record;
    // A project's settings are in the record before the editor shows it.
    if (beforeEditor) beforeEditor(record);
    deviceSelected_ = true;
    selectedTypeKey_ = typeKey_;
    selectedMaker_ = maker_;
    ShowDeviceInUse();
    paramEditor_->SetRecord(&record);
    paramEditor_->Fill();
    Prompter::Current().Exec(*paramEditor_);

    session_->StartBlank(std::move(next));
    session_->edits.Reset(session_->buffer);
    unsaved_ = false;
    session_->BufferChanged();

    if (session_->Simulated()) {
        QDir().mkpath(chipDir_);
        const std::string path =
            QDir(chipDir_).filePath(QString::fromStdString(Session::ChipFileName(record))).toStdString();
        std::string note, error;
        session_->LoadSocket(record, path, note, error);
        if (!note.empty()) Log(QString::fromStdString(note));
        if (!error.empty()) Log(QString::fromStdString(error));
    }
    // The new device starts blank; the last data file is read again only
    // when it fits the new device (else the session says so, and the buffer
    // stays blank).
    // A file named on the command line is read as File Open reads it.
    if (!pendingFile_.isEmpty()) {
        lastDataFile_ = pendingFile_;
        pendingFile_.clear();
        ReadDataFile(lastDataFile_);
    } else if (dataLoaded_) {
        ReadDataFile(lastDataFile_, true);
    } else {
        SetStatusMessage(29);
    }
}

void TQV17MainForm::OpenOnceSelected(const QString& path) {
    if (deviceSelected_) {
        lastDataFile_ = path;
        ReadDataFile(path);
        return;
    }
    pendingFile_ = path;
    Log(OpenOnceSelectedText(language_, path));
}

QString TQV17MainForm::DeviceInUse() const {
    if (!deviceSelected_) return {};
    return DeviceNameText(language_, selectedTypeKey_, selectedMaker_, deviceName_);
}

bool TQV17MainForm::ListsShowDeviceInUse() const {
    return deviceSelected_ &&
           TypeKeyOf(ComboBox1->currentText()).compare(selectedTypeKey_, Qt::CaseInsensitive) == 0 &&
           ComboBox2->currentText() == selectedMaker_ &&
           ComboBox3->currentText().compare(deviceName_, Qt::CaseInsensitive) == 0;
}

void TQV17MainForm::ShowDeviceInUse() {
    DeviceStatus->setText(deviceSelected_ ? DeviceInUseText(language_, DeviceInUse()) : QString());
    UpdateCaption();
}

// ---------------------------------------------------------------- range fields

void TQV17MainForm::WriteRangeFields() {
    ComboBox4->setEditText(QString::fromStdString(session_->range.start));
    ComboBox5->setEditText(QString::fromStdString(session_->range.end));
    ComboBox6->setEditText(QString::fromStdString(session_->range.length));
}

void TQV17MainForm::ReadRangeFields() {
    session_->range.start = ComboBox4->currentText().toStdString();
    session_->range.end = ComboBox5->currentText().toStdString();
    session_->range.length = ComboBox6->currentText().toStdString();
}

void TQV17MainForm::CommitStart() {
    if (session_->range.Busy() || Inert()) return;
    ReadRangeFields();
    session_->range.CommitStart(session_->record.maxsize);
}

void TQV17MainForm::CommitEnd() {
    if (session_->range.Busy() || Inert()) return;
    ReadRangeFields();
    session_->range.CommitEnd(session_->record.maxsize);
}

void TQV17MainForm::CommitLength() {
    if (session_->range.Busy() || Inert()) return;
    ReadRangeFields();
    session_->range.CommitLength(session_->record.maxsize);
}

void TQV17MainForm::CommitTypedRange() {
    const OperationRange& range = session_->range;
    if (ComboBox4->currentText().toStdString() != range.start) CommitStart();
    else if (ComboBox5->currentText().toStdString() != range.end) CommitEnd();
    else if (ComboBox6->currentText().toStdString() != range.length) CommitLength();
}

void TQV17MainForm::ShowPermittedErrors() {
    const QString used = QString::number(PermittedErrors());
    if (Edit1->text() != used) Edit1->setText(used);
}

void TQV17MainForm::CommitTypedFields() {
    CommitTypedRange();
    ShowPermittedErrors();
}

bool TQV17MainForm::eventFilter(QObject* watched, QEvent* event) {
    // An editable box hands its keys and focus changes to its line edit
    // directly, past any filter there: the boxes themselves are watched (and
    // their line edits for what is sent to them alone).
    void (TQV17MainForm::*commit)() = nullptr;
    auto is = [watched](QComboBox* box) { return box && (watched == box || watched == box->lineEdit()); };
    if (is(ComboBox4)) commit = &TQV17MainForm::CommitStart;
    else if (is(ComboBox5)) commit = &TQV17MainForm::CommitEnd;
    else if (is(ComboBox6)) commit = &TQV17MainForm::CommitLength;
    else if (Edit1 && watched == Edit1) commit = &TQV17MainForm::ShowPermittedErrors;
    if (commit) {
        if (event->type() == QEvent::FocusOut) {
            (this->*commit)();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                (this->*commit)();
                return true;  // consumed: the field gets no character
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- File menu

}  // namespace krt
