// Device selection, the parameter editor, the range fields and the File
// menu's data-file commands.
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "LogPane.h"
#include "Prompter.h"
#include "ShellWindows.h"
#include "TQV17MainForm.h"
#include "WindowLink.h"
#include "WindowTexts.h"
#include "catalogue/DeviceLoader.h"
#include "catalogue/TWConfigForm.h"
#include "data/DataFile.h"
#include "link/Log.h"
#include "link/StatusMessages.h"

namespace krt {

// ---------------------------------------------------------------- selection cascade

void TQV17MainForm::ComboBox1Change() {
    if (Inert()) return;
    typeKey_ = TypeKeyOf(ComboBox1->currentText());
    const auto makers = deviceList_ ? deviceList_->MakersOf(typeKey_.toStdString())
                                    : std::vector<std::string>{};
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
    const auto names = deviceList_ ? deviceList_->NamesOf(typeKey_.toStdString(),
                                                          maker_.toStdString())
                                   : std::vector<std::string>{};
    ComboBox3->clear();
    for (const auto& n : names) ComboBox3->addItem(QString::fromStdString(n));
    ComboBox3->setCurrentIndex(0);
}

// The part number is read when the user confirms.
void TQV17MainForm::ComboBox3Change() {}

void TQV17MainForm::Button1Click() {
    if (Inert()) return;
    LoadDevice();
}

void TQV17MainForm::LoadDevice() {
    if (Inert() || !deviceList_) return;
    deviceSelected_ = false;
    deviceName_ = ComboBox3->currentText();
    // The editor must not keep pointing at the record that is replaced.
    paramEditor_->SetRecord(nullptr);
    auto fresh = std::make_unique<DeviceRecord>();
    const DeviceLoadResult loaded = LoadDeviceRecord(
        *deviceList_, catalogueDir_.toStdString(), typeKey_.toStdString(), maker_.toStdString(),
        deviceName_.toStdString(), language_, Sink(), *fresh);
    record_ = std::move(fresh);
    if (!loaded.selected) return;

    // The buffer is sized before the editor is shown, so that a failure to
    // get the memory leaves the old buffer and range as they were.
    DataBuffer next;
    if (!next.Allocate(record_->bufsize)) {
        LogMessage(19);
        record_ = std::make_unique<DeviceRecord>();
        return;
    }
    deviceSelected_ = true;
    paramEditor_->SetRecord(record_.get());
    paramEditor_->Fill();
    Prompter::Current().Exec(*paramEditor_);

    buffer_ = std::move(next);
    ClearBuffer(buffer_, *record_, range_);

    if (link_->Simulated()) {
        QString message;
        link_->InsertChipFor(*record_, message);
        if (!message.isEmpty()) Log(message);
    }
    if (dataLoaded_)
        ReadDataFile(lastDataFile_);
    else
        SetStatus(MessageOf(29));
}

void TQV17MainForm::T1Click() { ComboBox1->setFocus(); }
void TQV17MainForm::V1Click() { ComboBox2->setFocus(); }
void TQV17MainForm::T2Click() { ComboBox3->setFocus(); }

void TQV17MainForm::N12Click() {
    if (Inert()) return;
    paramEditor_->SetRecord(record_.get());
    paramEditor_->Fill();
    Prompter::Current().Exec(*paramEditor_);
}

void TQV17MainForm::HardConfigExecute() {
    if (Inert()) return;
    if (auto* d = qobject_cast<QDialog*>(hconfigForm_)) Prompter::Current().Exec(*d);
}

void TQV17MainForm::HelpAbout1Execute() {
    auto* d = qobject_cast<QDialog*>(aboutBox_);
    if (!d) return;
    SetAboutVersion(d, QStringLiteral("Version ") + QString::fromLatin1(kProgramVersion));
    Prompter::Current().Exec(*d);
}

// ---------------------------------------------------------------- range fields

void TQV17MainForm::WriteRangeFields() {
    ComboBox4->setEditText(QString::fromStdString(range_.start));
    ComboBox5->setEditText(QString::fromStdString(range_.end));
    ComboBox6->setEditText(QString::fromStdString(range_.length));
}

void TQV17MainForm::ReadRangeFields() {
    range_.start = ComboBox4->currentText().toStdString();
    range_.end = ComboBox5->currentText().toStdString();
    range_.length = ComboBox6->currentText().toStdString();
}

void TQV17MainForm::CommitStart() {
    if (range_.Busy() || Inert()) return;
    ReadRangeFields();
    range_.CommitStart(record_->maxsize);
}

void TQV17MainForm::CommitEnd() {
    if (range_.Busy() || Inert()) return;
    ReadRangeFields();
    range_.CommitEnd(record_->maxsize);
}

void TQV17MainForm::CommitLength() {
    if (range_.Busy() || Inert()) return;
    ReadRangeFields();
    range_.CommitLength(record_->maxsize);
}

bool TQV17MainForm::eventFilter(QObject* watched, QEvent* event) {
    void (TQV17MainForm::*commit)() = nullptr;
    if (ComboBox4 && watched == ComboBox4->lineEdit()) commit = &TQV17MainForm::CommitStart;
    else if (ComboBox5 && watched == ComboBox5->lineEdit()) commit = &TQV17MainForm::CommitEnd;
    else if (ComboBox6 && watched == ComboBox6->lineEdit()) commit = &TQV17MainForm::CommitLength;
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

void TQV17MainForm::FileNew1Execute() {
    if (Inert()) return;
    ClearBuffer(buffer_, *record_, range_);
    LogMessage(7);
    dataLoaded_ = false;
    SetStatus(QString());
}

QString TQV17MainForm::FileFilter() const {
    const uint8_t t = record_->typecode;
    if (t == 5 || t == 6 || t == 7) return QStringLiteral("JEDEC files(*.jed)");
    // "*.*" would hide files without an extension on this system.
    return QStringLiteral("all files(*.*) (*);;Intel HEX files(*.hex);;Motolora S files(*.mot)");
}

void TQV17MainForm::FileOpen1Execute() {
    if (Inert()) return;
    if (!deviceSelected_) {
        Prompter::Current().Box(this, MessageOf(11), QString::fromLatin1(kMessageCaption),
                                QMessageBox::Ok);
        return;
    }
    const QString name = Prompter::Current().OpenFileName(this, MessageOf(12), FileFilter());
    if (name.isEmpty()) return;
    lastDataFile_ = name;
    ReadDataFile(name);
}

void TQV17MainForm::FileSave1Execute() {
    if (Inert()) return;
    if (!deviceSelected_) {
        Prompter::Current().Box(this, MessageOf(11), QString::fromLatin1(kMessageCaption),
                                QMessageBox::Ok);
        return;
    }
    const QString name = Prompter::Current().SaveFileName(this, MessageOf(13), FileFilter());
    if (name.isEmpty()) return;
    WriteDataFile(name);
}

void TQV17MainForm::FileSaveAs1Execute() { FileSave1Execute(); }

void TQV17MainForm::ReadDataFile(const QString& name) {
    if (Inert() || !buffer_.Exists()) return;
    const std::string path = name.toStdString();
    DataFile file(path, FormatFromName(path));
    file.typecode = record_->typecode;
    file.bytesPerWord = record_->bytesPerWord;
    file.bufsize = buffer_.size();
    file.buffer = buffer_.data();
    file.start = ParseHex(ComboBox4->currentText().toStdString());
    file.length = ParseHex(ComboBox6->currentText().toStdString());
    file.deviceName = record_->name;
    file.PinNumber = static_cast<uint16_t>(record_->PinNumber);
    file.LineNumber = static_cast<uint32_t>(record_->LineNumber);
    file.log = Sink();
    const int result = file.Read();
    int box = -1;
    switch (result) {
        case FILE_OPEN_FAILED: box = 0; break;
        case FILE_CHECKSUM_ERROR: box = 1; break;
        case FILE_FORMAT_ERROR: box = 2; break;
        case FILE_BEYOND_BUFFER: box = 3; break;
        case FILE_INTERNAL_ERROR: box = 4; break;
        default: break;
    }
    if (box >= 0) {
        Prompter::Current().Box(this, MessageOf(box), QString::fromLatin1(kMessageCaption),
                                QMessageBox::Ok, QMessageBox::Warning);
        dataLoaded_ = false;
        return;
    }
    Log(QString::fromStdString(Format(MessageText(language_, 8), path.c_str(),
                                      static_cast<int>(file.count))));
    dataLoaded_ = true;
    SetStatus(QString::fromStdString(Format(MessageText(language_, 9), path.c_str())));
}

void TQV17MainForm::WriteDataFile(const QString& name) {
    if (Inert() || !buffer_.Exists()) return;
    const std::string path = name.toStdString();
    DataFile file(path, FormatFromName(path));
    file.typecode = record_->typecode;
    file.bytesPerWord = record_->bytesPerWord;
    file.bufsize = buffer_.size();
    file.buffer = buffer_.data();
    file.start = ParseHex(ComboBox4->currentText().toStdString());
    file.length = ParseHex(ComboBox6->currentText().toStdString());
    file.deviceName = record_->name;
    file.PinNumber = static_cast<uint16_t>(record_->PinNumber);
    file.LineNumber = static_cast<uint32_t>(record_->LineNumber);
    file.log = Sink();
    const int result = file.Write();
    if (result == FILE_CREATE_FAILED || result == FILE_FORMAT_ERROR) {
        // The data layer writes beside the target and renames only a
        // complete file, so the previous file is still there.
        Prompter::Current().Box(this, MessageOf(result == FILE_CREATE_FAILED ? 10 : 21),
                                QString::fromLatin1(kMessageCaption), QMessageBox::Ok,
                                QMessageBox::Warning);
        return;
    }
    Log(SavedLogText(name, file.count));
    SetStatus(SavedStatusText(name));
}

}  // namespace krt
