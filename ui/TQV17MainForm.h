// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: device selection, operation range, operation commands,
// File menu, language switch, log pane and status line.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "ShellServices.h"
#include "catalogue/DeviceList.h"
#include "catalogue/DeviceRecord.h"
#include "data/DataBuffer.h"
#include "link/Link.h"
#include "session/Project.h"
#include "session/Session.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QToolBar;
class QStatusBar;

namespace krt {

class DevOpThread;
struct OperationInfo;
class LogPane;
class TProgressForm;
class TForm3;
class THDebugForm;
class TManualForm;
class TWConfigForm;
class VirtualKrt;
class Session;

// What the program was told when it started.
struct StartOptions {
    // Where DEVICE.LST and the parameter files are; empty: the program's directory.
    QString catalogueDir;
    // --port: empty (the setting decides), "sim", "ppdev[:/dev/parportN]" or "direct".
    QString port;
    // Where the simulated chips are kept; empty: the user's data directory.
    QString chipDir;
};

class TQV17MainForm : public QMainWindow, public ShellServices {
    Q_OBJECT

public:
    explicit TQV17MainForm(const StartOptions& options, QWidget* parent = nullptr);
    ~TQV17MainForm() override;

    // Start-up: settings, language, device list, link reset and detection.
    void FormCreate();
    // A data file named on krtwin's command line. The buffer's size and
    // layout come from the device, so the file is read once a device is
    // selected (the last one is already chosen in the boxes: Select loads
    // it), and the log says so now. With a device loaded it is read at once.
    void OpenOnceSelected(const QString& path);
    QString PendingDataFile() const { return pendingFile_; }
    // After the window is shown: the port failure box and the first-run windows.
    void FormShow();

    // ShellServices.
    LinkContext& Link() override;
    bool SimulatorInUse() const override;
    bool BlankSocketChip(QString& message) override;
    bool OperationRunning() const override { return worker_ != nullptr; }

    // Texts and languages.
    void ApplyLanguage();
    uint32_t Language() const { return language_; }

    // The log pane and the status line.
    void Log(const QString& line);
    void LogMessage(int code);
    void ClearLog();
    // Moves every pending log line into Memo1 now.
    void FlushLog();
    LogPane& Pane() { return *pane_; }
    LogSink* Sink();
    void SetStatus(const QString& text);
    // A status line that is said again in the other language when the
    // language changes.
    void SetStatusIn(std::function<QString(uint32_t language)> text);
    void SetStatusMessage(int code);
    QString StatusText() const;
    QString MessageOf(int code) const;

    // Device selection.
    // beforeEditor changes the datasheet's record (a project's overrides)
    // before the parameter editor shows it.
    void LoadDevice(const std::function<void(DeviceRecord&)>& beforeEditor = {});

    // The log pane's context menu (the standard one and "Save log"); the
    // caller owns it. SaveLog writes the log as shown to a UTF-8 file and
    // says so in a box when it cannot.
    QMenu* LogContextMenu();
    bool SaveLog(const QString& path);

    // Data files.
    // reload: the last data file after a device change.
    // A data file into the buffer: into the device's blank buffer, laid
    // over the buffer as it is (merge), or the last file again after a
    // device change (reload).
    void ReadDataFile(const QString& name, bool reload = false, bool merge = false);
    void WriteDataFile(const QString& name);
    void ShowTransferStatus(const QString& name, bool written);
    // The buffer back to the device's blank, after asking about unsaved
    // edits or an unsaved read; false when the user keeps them.
    bool ClearBufferAsked();

    // Range commits.
    void CommitStart();
    void CommitEnd();
    void CommitLength();

    // One device operation on a worker thread with the progress dialog;
    // returns the result code.
    uint8_t RunOperation(uint8_t code, const QString& progressCaption);

    // State for the other windows and the tests. The device list, the
    // device record, the buffer and the range are the session's: the views
    // over the session see what this window works on.
    bool DeviceSelected() const { return deviceSelected_; }
    // The device in use as the status and title bars name it; empty
    // before a device is selected.
    QString DeviceInUse() const;
    // Whether the three lists show the device in use.
    bool ListsShowDeviceInUse() const;
    bool DataLoaded() const { return dataLoaded_; }
    bool Unsaved() const { return unsaved_; }
    bool SettingsOk() const { return settingsOk_; }
    bool DeviceListLoaded() const { return session_->devices.loaded; }
    DeviceRecord& Record() { return session_->record; }
    DataBuffer& Buffer() { return session_->buffer; }
    OperationRange& Range() { return session_->range; }
    const DeviceList& Devices() const { return session_->devices; }
    QString TypeKey() const { return typeKey_; }
    QString LastDataFile() const { return lastDataFile_; }
    TProgressForm* ProgressForm() const { return progress_; }
    TWConfigForm* ParamEditor() const { return paramEditor_; }
    // Last indicator state sent with request 13 (0 before any operation).
    uint32_t LastIndicator() const { return lastIndicator_; }
    // How many workers were started so far.
    int WorkersStarted() const { return workersStarted_; }
    // The request the next worker will run: the session's range (cut at the
    // device's and the buffer's end) and the permitted error count of Edit1.
    LinkRequest BuildRequest(uint8_t code) const;
    // The simulated programmer, or null.
    VirtualKrt* Simulator() const;
    // Sends a request from the window thread (not while a worker exists).
    uint8_t Send(LinkRequest& request, DeviceRecord& record);
    uint8_t Send(LinkRequest& request) override;
    // The programmer session the window is a face of.
    Session& Programmer() { return *session_; }
    TForm3* DumpForm() const { return dumpForm_; }
    THDebugForm* DebugForm() const { return debugForm_; }
    TManualForm* ManualForm() const { return manualForm_; }

public slots:
    void FileNew1Execute();
    void FileOpen1Execute();
    void FileMerge1Execute();
    void FileSave1Execute();
    void FileSaveAs1Execute();
    // File > Split: an image into the files of its even and odd bytes;
    // File > Join: two such files back into one image.
    void FileSplit1Execute();
    void FileJoin1Execute();
    // Project > New, Open, Save, Save As and the temporary project (the
    // last session's job, kept in the settings folder).
    void ProjectNew1Execute();
    void ProjectOpen1Execute();
    void ProjectSave1Execute();
    void ProjectSaveAs1Execute();
    void ProjectTemporaryExecute();
    // Opens a project: refuses a file that is not a project of ours and a
    // device the catalogue lacks, asks when the data file changed; false
    // when nothing was opened.
    bool OpenProject(const QString& path);
    bool SaveProjectTo(const QString& path, bool quiet = false);
    QString ProjectPath() const { return projectPath_; }
    QString TemporaryProjectPath() const;
    void FileExit1Execute();
    void J1Click();
    void E1Click();
    void T1Click();
    void V1Click();
    void T2Click();
    void N12Click();
    void OpReadExecute();
    void OpWriteExecute();
    void OpVerifyExecute();
    void OpEraseExecute();
    void OpSecureExecute();
    void OpBlankExecute();
    void OpAutoExecute();
    // Operation > Compare: the chip read and every difference from the buffer listed.
    void OpCompareExecute();
    void N16Click();
    // Operation, Batch: the production-run dialog.
    void BatchClick();
    void HardResetExecute();
    // The parallel EEPROM's software data protection off / on.
    void SdpOffExecute();
    void SdpOnExecute();
    // Device > Identify: the 5 V flash product ID of the chip in the socket
    // and the catalogue entries with it, as krt identify answers.
    void IdentifyExecute();
    // Device > Check chip: the chip check of the selected device (ui/MainCheck.cpp).
    void CheckChipExecute();
    void HardConfigExecute();
    void HelpAbout1Execute();
    void BinDumpExecute();
    void HardDebugExecute();
    void HelpContents1Execute();
    // The checksum box: the buffer's sum over the range (MainViews.cpp).
    void UpdateChecksum();
    void ComboBox1Change();
    void ComboBox2Change();
    void ComboBox3Change();
    void Button1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    void ApplyMenuTexts();
    void KeepDesignSize();
    void BuildControls();
    void SetLanguage(uint32_t language);
    void DisableForMissingList();
    void FormClose();
    Project CurrentProject();
    void SaveTemporaryProject();
    void FormDestroy();
    // The window's size and the device selected, kept for the next start.
    void RememberWindow();
    void ChooseLastDevice();
    void OpenPort(int32_t lprPort, int32_t useSimulator);
    void UpdateCaption();
    void WriteRangeFields();
    void ReadRangeFields();
    // The range field typed into and not committed yet (Enter, Tab) is
    // committed, so that what an operation or a file transfer uses is what
    // the fields show.
    void CommitTypedRange();
    // The permitted error count that operations use, shown in Edit1.
    uint32_t PermittedErrors() const;
    void ShowPermittedErrors();
    void CommitTypedFields();
    // Off while an operation runs, since the progress dialog does not block
    // the window.
    void SetCommandsEnabled(bool enabled);
    // How long the worker's lines wait to be taken after their signal.
    static constexpr int kWorkerLinePauseMs = 10;
    // The worker's lines, in the order logged, into the log pane.
    void MoveWorkerLines(DevOpThread& worker);
    bool Inert() const;
    // The common command: selected check, confirmation, log clearing, run.
    bool CheckSelected(bool asBox);
    // Before an operation that changes the chip: refused (with a line and
    // a box that say to press Select) while the lists show another device.
    bool CheckListsMatch();
    void ShowDeviceInUse();
    void ChooseInLists(const QString& typeKey, const QString& maker, const QString& name);
    void OpenDataFileAsked(bool merge);
    bool Confirm(int captionCode);
    // True (after saying why, in the log and a box) when the operation is
    // known not to run on the selected device.
    bool RefusedBeforeAsking(uint8_t code);
    // Logs the result of an operation with the messages of its command and
    // sends the indicator request; true on success.
    bool ReportResult(const OperationInfo& operation, uint8_t result);
    // One operation of the table: run it, report its result, send the
    // indicator request, and only then let the worker go. Returns the result.
    uint8_t RunCommand(const OperationInfo& operation);
    // The common core of RunOperation and the protection command: runs the
    // worker with the progress dialog until it has finished.
    uint8_t RunWorker(DevOpThread* worker, const QString& progressCaption);
    // Loads the simulated chip again when its file changed on disk.
    void ReloadChangedChip();
    void RunProtection(bool enable);
    QString FileFilter() const;
    QString CatalogueDir() const;
    // The dump window, the debug window and the manual (MainViews.cpp).
    void CreateViews();
    void BufferViewsChanged();
    // True when the buffer has unsaved edits and the user keeps them
    // (answers no to discarding them): the caller then does nothing.
    bool KeepUnsavedEdits();

    StartOptions options_;
    std::unique_ptr<Session> session_;
    QString chipDir_;
    std::unique_ptr<LogPane> pane_;

    // Main window state (the device, buffer and range are the session's).
    QString typeKey_;
    QString maker_;
    QString deviceName_;
    // The lists' type and maker when the device in use was selected.
    QString selectedTypeKey_;
    QString selectedMaker_;
    bool deviceSelected_ = false;
    bool dataLoaded_ = false;
    // The buffer holds data read from a chip that no file has taken yet.
    bool unsaved_ = false;
    bool settingsOk_ = false;
    DevOpThread* worker_ = nullptr;
    uint32_t language_ = 1;

    QString lastDataFile_;
    DeviceRecord datasheetRecord_;  // the device's record as the catalogue gave it
    QString pendingFile_;  // named on the command line, read at the next device load
    std::function<QString(uint32_t)> statusIn_;  // the status line in either language
    QString projectPath_;
    Project project_;
    QString portFailure_;
    bool firstRunShown_ = false;
    bool closing_ = false;
    bool formClosed_ = false;
    uint32_t lastIndicator_ = 0;
    int workersStarted_ = 0;

    TProgressForm* progress_ = nullptr;
    TWConfigForm* paramEditor_ = nullptr;
    QWidget* aboutBox_ = nullptr;
    QWidget* welcomeForm_ = nullptr;
    QWidget* hconfigForm_ = nullptr;
    TForm3* dumpForm_ = nullptr;
    THDebugForm* debugForm_ = nullptr;
    TManualForm* manualForm_ = nullptr;

public:
    // Controls, named as in the window's design.
    QMenu* File1 = nullptr;
    QAction* FileNewItem = nullptr;
    QAction* FileOpenItem = nullptr;
    QAction* FileSaveItem = nullptr;
    QAction* FileSaveAsItem = nullptr;
    QMenu* L1 = nullptr;
    QAction* J1 = nullptr;
    QAction* E1 = nullptr;
    QAction* FileExitItem = nullptr;
    QMenu* pu1 = nullptr;
    QAction* shinki1 = nullptr;
    QAction* Open1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* SaveAs1 = nullptr;
    QAction* N15 = nullptr;
    QMenu* N2 = nullptr;
    QAction* T1 = nullptr;
    QAction* V1 = nullptr;
    QAction* T2 = nullptr;
    QAction* N12 = nullptr;
    QAction* SdpOff1 = nullptr;
    QAction* SdpOn1 = nullptr;
    QAction* Identify1 = nullptr;
    QAction* CheckChip1 = nullptr;
    QAction* Compare1 = nullptr;
    QMenu* O1 = nullptr;
    QAction* N4 = nullptr;
    QAction* K1 = nullptr;
    QAction* N5 = nullptr;
    QAction* N6 = nullptr;
    QAction* N7 = nullptr;
    QAction* N8 = nullptr;
    QAction* N10 = nullptr;
    QAction* N16 = nullptr;
    QAction* Batch1 = nullptr;
    QMenu* B1 = nullptr;
    QAction* D1 = nullptr;
    QMenu* N3 = nullptr;
    QAction* N14 = nullptr;
    QAction* N13 = nullptr;
    QAction* S1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* HelpContentsItem = nullptr;
    QAction* HelpAboutItem = nullptr;

    // Actions shared by menu items and toolbar buttons.
    QAction* FileNew1 = nullptr;
    QAction* FileOpen1 = nullptr;
    QAction* FileSave1 = nullptr;
    QAction* FileSaveAs1 = nullptr;
    QAction* FileSplit1 = nullptr;
    QAction* FileJoin1 = nullptr;
    QAction* FileExit1 = nullptr;
    QAction* ProjectNew1 = nullptr;
    QAction* ProjectOpen1 = nullptr;
    QAction* ProjectSave1 = nullptr;
    QAction* OpRead = nullptr;
    QAction* OpWrite = nullptr;
    QAction* OpVerify = nullptr;
    QAction* OpBlank = nullptr;
    QAction* OpErase = nullptr;
    QAction* OpSecure = nullptr;
    QAction* OpAuto = nullptr;
    QAction* BinDump = nullptr;
    QAction* HardReset = nullptr;
    QAction* HardConfig = nullptr;
    QAction* HardDebug = nullptr;
    QAction* HelpContents1 = nullptr;
    QAction* HelpAbout1 = nullptr;

    QToolBar* ToolBar1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    QPushButton* Button1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* ComboBox4 = nullptr;
    QComboBox* ComboBox5 = nullptr;
    QComboBox* ComboBox6 = nullptr;
    QLabel* StaticText1 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel = nullptr;
    // The status bar's permanent field: the device in use.
    QLabel* DeviceStatus = nullptr;
    // File > Merge: a file laid over the buffer as it is.
    QAction* FileMerge1 = nullptr;
    QAction* FileMergeItem = nullptr;
};

}  // namespace krt
