// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu: New, Open, Merge, Save, Save As of the buffer's data file;
// Split and Join (the even and odd bytes of an image, two 8-bit chips of a
// 16-bit bus, into two files and back, as krt split and krt join do with
// --even and --odd); and Exit. The Language submenu is MainLanguage's.
#include <QDir>
#include <QMessageBox>
#include <string>
#include <vector>

#include "FileFolders.h"
#include "Prompter.h"
#include "TForm3.h"
#include "TQV17MainForm.h"
#include "WindowTexts.h"
#include "base/StatusMessages.h"
#include "base/Texts.h"
#include "base/TypeCodes.h"
#include "data/DataTransfer.h"
#include "data/RomSet.h"
#include "session/Session.h"

namespace krt {

namespace {

constexpr TextPair kSplitItem{"偶数・奇数バイトに分割(&I)...", "Spl&it into even and odd bytes..."};
constexpr TextPair kJoinItem{"偶数・奇数バイトを結合(&J)...", "&Join even and odd bytes..."};
constexpr TextPair kSplitSource{"分割するイメージ", "Image to split"};
constexpr TextPair kEvenFile{"偶数バイトのファイル", "File of the even bytes"};
constexpr TextPair kOddFile{"奇数バイトのファイル", "File of the odd bytes"};
constexpr TextPair kJoinTarget{"結合したイメージ", "Joined image"};
constexpr TextPair kMergeTitle{"データファイルを重ねて開く", "Merge data file"};
constexpr TextPair kWritten{"%1: %2 バイト", "%1: %2 bytes"};

const QString& DataFileFilter() {
    static const QString filter =
        QStringLiteral("all files (*);;Intel HEX files (*.hex);;Motolora S files (*.mot)");
    return filter;
}

}  // namespace

QString SplitJoinMenuText(uint32_t language, bool join) { return TextIn(join ? kJoinItem : kSplitItem, language); }

void TQV17MainForm::FileSplit1Execute() {
    if (Inert()) return;
    Prompter& ask = Prompter::Current();
    const QString in = ask.OpenFileName(this, TextIn(kSplitSource, language_), DataFileFilter());
    if (in.isEmpty()) return;
    const QString even = ask.SaveFileName(this, TextIn(kEvenFile, language_), DataFileFilter());
    if (even.isEmpty()) return;
    const QString odd = ask.SaveFileName(this, TextIn(kOddFile, language_), DataFileFilter());
    if (odd.isEmpty()) return;
    std::string error;
    std::vector<uint8_t> image;
    std::vector<std::vector<uint8_t>> lanes;
    const RomSetLayout layout;
    bool ok = ReadImageFile(in.toStdString(), FORMAT_BY_NAME, image, error, language_) &&
              SplitImage(image, layout, lanes, error, language_);
    const QString outs[] = {even, odd};
    for (size_t i = 0; ok && i < 2; ++i) {
        ok = WriteImageFile(outs[i].toStdString(), FORMAT_BY_NAME, lanes[i], error, language_);
        if (ok) Log(TextIn(kWritten, language_).arg(outs[i]).arg(lanes[i].size()));
    }
    if (ok) {
        RememberFolder(DataFileFilter(), odd);
        return;
    }
    Log(QString::fromStdString(error));
    ask.Box(this, QString::fromStdString(error), QString::fromLatin1(kMessageCaption), QMessageBox::Ok);
}

void TQV17MainForm::FileJoin1Execute() {
    if (Inert()) return;
    Prompter& ask = Prompter::Current();
    const QString even = ask.OpenFileName(this, TextIn(kEvenFile, language_), DataFileFilter());
    if (even.isEmpty()) return;
    const QString odd = ask.OpenFileName(this, TextIn(kOddFile, language_), DataFileFilter());
    if (odd.isEmpty()) return;
    const QString out = ask.SaveFileName(this, TextIn(kJoinTarget, language_), DataFileFilter());
    if (out.isEmpty()) return;
    std::string error;
    std::vector<std::vector<uint8_t>> lanes(2);
    std::vector<uint8_t> image;
    const std::vector<std::string> names = {even.toStdString(), odd.toStdString()};
    const bool ok = ReadImageFile(names[0], FORMAT_BY_NAME, lanes[0], error, language_) &&
                    ReadImageFile(names[1], FORMAT_BY_NAME, lanes[1], error, language_) &&
                    JoinImages(lanes, names, RomSetLayout(), image, error, language_) &&
                    WriteImageFile(out.toStdString(), FORMAT_BY_NAME, image, error, language_);
    if (ok) {
        Log(TextIn(kWritten, language_).arg(out).arg(image.size()));
        RememberFolder(DataFileFilter(), out);
        return;
    }
    Log(QString::fromStdString(error));
    ask.Box(this, QString::fromStdString(error), QString::fromLatin1(kMessageCaption), QMessageBox::Ok);
}

void TQV17MainForm::FileNew1Execute() {
    if (Inert()) return;
    ClearBufferAsked();
}

bool TQV17MainForm::ClearBufferAsked() {
    // Unsaved edits ask their own question; an unsaved read asks this one.
    const bool keep = session_->edits.Unsaved()
                          ? KeepUnsavedEdits()
                          : unsaved_ && Prompter::Current().Ask(this, DiscardUnsavedText(language_),
                                                                QString::fromLatin1(kMessageCaption),
                                                                QMessageBox::Yes | QMessageBox::No,
                                                                QMessageBox::No) != QMessageBox::Yes;
    if (keep)
        return false;
    unsaved_ = false;
    ClearBuffer(session_->buffer, session_->record, session_->range);
    session_->edits.Reset(session_->buffer);
    session_->BufferChanged();
    LogMessage(7);
    dataLoaded_ = false;
    SetStatus(QString());
    return true;
}

QString TQV17MainForm::FileFilter() const {
    const uint8_t t = session_->record.typecode;
    // The dialog shows each filter's patterns once, after a space; "*.*"
    // would hide files without an extension on this system. Every format
    // the program reads is offered.
    if (IsGalType(t)) return QStringLiteral("JEDEC files (*.jed);;all files (*)");
    return QStringLiteral("all files (*);;Intel HEX files (*.hex);;split Intel HEX files (*.hxl *.hxh);;"
                          "Motolora S files (*.mot);;binary files (*.bin)");
}

void TQV17MainForm::FileOpen1Execute() { OpenDataFileAsked(false); }

void TQV17MainForm::FileMerge1Execute() { OpenDataFileAsked(true); }

void TQV17MainForm::OpenDataFileAsked(bool merge) {
    if (Inert()) return;
    if (!deviceSelected_) {
        Prompter::Current().Box(this, MessageOf(11), QString::fromLatin1(kMessageCaption),
                                QMessageBox::Ok);
        return;
    }
    if (KeepUnsavedEdits()) return;
    const QString title = merge ? TextIn(kMergeTitle, language_) : MessageOf(12);
    const QString name = Prompter::Current().OpenFileName(this, title, FileFilter());
    if (name.isEmpty()) return;
    lastDataFile_ = name;
    ReadDataFile(name, false, merge);
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

void TQV17MainForm::ReadDataFile(const QString& name, bool reload, bool merge) {
    if (Inert() || !session_->buffer.Exists()) return;
    CommitTypedRange();
    const TransferReport report = reload ? session_->ReloadDataFile(name.toStdString(), language_)
                                         : session_->OpenDataFile(name.toStdString(), language_, merge);
    dataLoaded_ = report.success;
    if (report.success) {
        // The file read is the one a project or a later device change reads
        // again; a merged file only adds to it.
        if (!merge) lastDataFile_ = name;
        if (!reload) RememberFolder(FileFilter(), name);
        unsaved_ = false;
        session_->BufferChanged();
    }
    if (!report.success) {
        // A refused file leaves the buffer as it was (a reload: blank, which
        // the session has said).
        const QString reason = QString::fromStdString(report.messageBox);
        if (!reload) Log(NotReadLogText(language_, name, reason));
        if (reload) SetStatusMessage(29);
        QString box = reason;
        if (!report.detail.empty()) box += QStringLiteral("\n\n") + QString::fromStdString(report.detail);
        Prompter::Current().Box(this, box, QString::fromLatin1(kMessageCaption), QMessageBox::Ok,
                                QMessageBox::Warning);
        return;
    }
    ShowTransferStatus(name, false);
}

void TQV17MainForm::WriteDataFile(const QString& name) {
    if (Inert() || !session_->buffer.Exists()) return;
    CommitTypedRange();
    // The data layer writes beside the target and renames only a complete
    // file, so a failed save leaves the previous file in place.
    const TransferReport report = session_->WriteDataFile(name.toStdString(), language_);
    if (!report.success) {
        // The box names the file and the system's reason (the log has the
        // same line); the status bar no longer names an earlier file.
        QString box = QString::fromStdString(report.messageBox);
        if (!report.detail.empty()) box += QStringLiteral("\n\n") + QString::fromStdString(report.detail);
        SetStatus(QString::fromStdString(report.detail));
        Prompter::Current().Box(this, box, QString::fromLatin1(kMessageCaption), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    unsaved_ = false;
    RememberFolder(FileFilter(), name);
    ShowTransferStatus(name, true);
}

void TQV17MainForm::ShowTransferStatus(const QString& name, bool written) {
    SetStatusIn([file = name.toStdString(), written](uint32_t language) {
        return QString::fromStdString(TransferStatusText(file, written, language));
    });
}

void TQV17MainForm::FileExit1Execute() { close(); }

}  // namespace krt
