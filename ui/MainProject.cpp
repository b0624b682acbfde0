// SPDX-License-Identifier: GPL-3.0-or-later
// The Project menu: New, Open, Save, Save As and the temporary project (the
// last session's settings, kept in the settings folder). The project file is
// read and written by session/Project; the window only asks and shows.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>

#include "WindowTexts.h"
#include "FileFolders.h"
#include "Prompter.h"
#include "SettingsStore.h"
#include "TQV17MainForm.h"
#include "base/Texts.h"
#include "session/Project.h"

namespace krt {

namespace {

constexpr TextPair kNewProject{"新しいプロジェクトを始めました。", "A new project is started."};
constexpr TextPair kOpenTitle{"プロジェクトを開く", "Open project"};
constexpr TextPair kSaveTitle{"プロジェクトを保存", "Save project"};
constexpr TextPair kSaved{"プロジェクトを保存しました: %1", "Project saved: %1"};
constexpr TextPair kOpened{"プロジェクトを開きました: %1", "Project opened: %1"};
constexpr TextPair kNotOpened{"プロジェクト %1 を開けません: %2", "Cannot open project %1: %2"};
constexpr TextPair kNotSaved{"プロジェクト %1 を保存できません: %2", "Cannot save project %1: %2"};
constexpr TextPair kNoDevice{"デバイス一覧に %1 がありません。プロジェクトは開きません。",
                             "The device list has no %1. The project is not opened."};
constexpr TextPair kDataChanged{"データファイル %1 は保存後に変わりました (%2)。このまま開きますか?",
                                "The data file %1 changed since the project was saved (%2). Open it anyway?"};
constexpr TextPair kNoTemporary{"一時プロジェクトはまだありません。", "There is no temporary project yet."};

const QString& ProjectFileFilter() {
    static const QString filter = QStringLiteral("KRTwin project (*.krtproj);;all files (*)");
    return filter;
}

}  // namespace

QString TQV17MainForm::TemporaryProjectPath() const {
    const QSettings settings(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
    return QFileInfo(settings.fileName()).absoluteDir().filePath(QStringLiteral("last-session.krtproj"));
}

// A new project starts from the device in use as Select leaves it: the
// blank buffer, the whole device as the range, the default permitted
// errors and no data file. Unsaved edits are asked about first.
void TQV17MainForm::ProjectNew1Execute() {
    if (Inert()) return;
    if (deviceSelected_ && !ClearBufferAsked()) return;
    projectPath_.clear();
    project_ = Project{};
    lastDataFile_.clear();
    Edit1->setText(QString::number(Job{}.permittedErrors));
    ShowPermittedErrors();
    Log(TextIn(kNewProject, language_));
}

void TQV17MainForm::ProjectOpen1Execute() {
    if (Inert()) return;
    const QString path = Prompter::Current().OpenFileName(this, TextIn(kOpenTitle, language_), ProjectFileFilter());
    if (!path.isEmpty() && OpenProject(path)) RememberFolder(ProjectFileFilter(), path);
}

void TQV17MainForm::ProjectSave1Execute() {
    if (Inert()) return;
    if (projectPath_.isEmpty()) {
        ProjectSaveAs1Execute();
        return;
    }
    SaveProjectTo(projectPath_);
}

void TQV17MainForm::ProjectSaveAs1Execute() {
    if (Inert()) return;
    QString path = Prompter::Current().SaveFileName(this, TextIn(kSaveTitle, language_), ProjectFileFilter());
    if (path.isEmpty()) return;
    // A name typed without an extension gets the project's, so that the
    // open dialog's filter finds the file again.
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".krtproj");
    if (!SaveProjectTo(path)) return;
    projectPath_ = path;
    RememberFolder(ProjectFileFilter(), path);
}

void TQV17MainForm::ProjectTemporaryExecute() {
    if (Inert()) return;
    const QString path = TemporaryProjectPath();
    if (!QFileInfo::exists(path)) {
        Prompter::Current().Box(this, TextIn(kNoTemporary, language_), QString::fromLatin1(kMessageCaption),
                                QMessageBox::Ok);
        return;
    }
    if (OpenProject(path)) projectPath_.clear();
}

// The window's job as it stands: the device in use, the data file last
// read, the range, the permitted errors and the settings that differ from
// the datasheet's (wait mode, page/byte write, identity check, verify,
// changed-only); the batch settings and the note are kept from the project
// opened.
Project TQV17MainForm::CurrentProject() {
    CommitTypedRange();
    Project project = project_;
    Job& job = project.job;
    job.type = selectedTypeKey_.toStdString();
    job.maker = selectedMaker_.toStdString();
    job.name = deviceName_.toStdString();
    job.part.clear();
    job.file = dataLoaded_ ? lastDataFile_.toStdString() : std::string();
    job.format = FORMAT_BY_NAME;
    job.start = session_->range.start;
    job.length = session_->range.length;
    job.permittedErrors = PermittedErrors();
    job.overrides = OverridesOf(datasheetRecord_, session_->record);
    return project;
}

bool TQV17MainForm::SaveProjectTo(const QString& path, bool quiet) {
    if (!deviceSelected_) {
        if (!quiet) Prompter::Current().Box(this, MessageOf(11), QString::fromLatin1(kMessageCaption), QMessageBox::Ok);
        return false;
    }
    Project project = CurrentProject();
    std::string error;
    if (!SaveProject(path.toStdString(), project, error)) {
        const QString line = TextIn(kNotSaved, language_).arg(path, QString::fromStdString(error));
        Log(line);
        if (!quiet)
            Prompter::Current().Box(this, line, QString::fromLatin1(kMessageCaption), QMessageBox::Ok,
                                    QMessageBox::Warning);
        return false;
    }
    project_ = project;
    if (!quiet) Log(TextIn(kSaved, language_).arg(path));
    return true;
}

bool TQV17MainForm::OpenProject(const QString& path) {
    Prompter& ask = Prompter::Current();
    const QString caption = QString::fromLatin1(kMessageCaption);
    Project project;
    std::string error;
    if (!LoadProject(path.toStdString(), project, error)) {
        const QString line = TextIn(kNotOpened, language_).arg(path, QString::fromStdString(error));
        Log(line);
        ask.Box(this, line, caption, QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    const Job& job = project.job;
    const QString type = QString::fromStdString(job.type), maker = QString::fromStdString(job.maker),
                  name = QString::fromStdString(job.name);
    // The device must be in the catalogue before anything changes; the
    // boxes go back to what they showed when the project is not opened.
    const int shown[] = {ComboBox1->currentIndex(), ComboBox2->currentIndex(), ComboBox3->currentIndex()};
    const auto restore = [this, &shown] {
        ComboBox1->setCurrentIndex(shown[0]);
        ComboBox1Change();
        ComboBox2->setCurrentIndex(shown[1]);
        ComboBox2Change();
        ComboBox3->setCurrentIndex(shown[2]);
    };
    ChooseInLists(type, maker, name);
    const bool listed = typeKey_.compare(type, Qt::CaseInsensitive) == 0 && maker_ == maker &&
                        ComboBox3->currentText().compare(name, Qt::CaseInsensitive) == 0;
    if (!listed) {
        restore();
        const QString line = TextIn(kNoDevice, language_).arg(type + QLatin1Char(' ') + maker + QLatin1Char(' ') + name);
        Log(line);
        ask.Box(this, line, caption, QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    const std::string change = DataFileChange(project);
    if (!change.empty()) {
        const QString text =
            TextIn(kDataChanged, language_).arg(QString::fromStdString(job.file), QString::fromStdString(change));
        if (ask.Ask(this, text, caption, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
            restore();
            return false;
        }
    }
    dataLoaded_ = false;
    LoadDevice([&job](DeviceRecord& record) { ApplyOverrides(job.overrides, record); });
    if (!deviceSelected_) return false;
    if (!job.file.empty()) {
        lastDataFile_ = QString::fromStdString(job.file);
        ReadDataFile(lastDataFile_);
    }
    if (!job.start.empty()) {
        ComboBox4->setEditText(QString::fromStdString(job.start));
        CommitStart();
    }
    if (!job.length.empty()) {
        ComboBox6->setEditText(QString::fromStdString(job.length));
        CommitLength();
    }
    WriteRangeFields();
    Edit1->setText(QString::number(job.permittedErrors));
    CommitTypedFields();
    project_ = project;
    projectPath_ = path;
    Log(TextIn(kOpened, language_).arg(path));
    return true;
}

void TQV17MainForm::SaveTemporaryProject() {
    if (!deviceSelected_) return;
    QDir().mkpath(QFileInfo(TemporaryProjectPath()).absolutePath());
    SaveProjectTo(TemporaryProjectPath(), true);
}

}  // namespace krt
