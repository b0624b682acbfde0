// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, the controls' layout, the log pane, the link and the orderly
// end of the main window. The menus are built in MainMenus.cpp, their
// actions are in one file each (MainFile, MainProject, MainDevice,
// MainOperations, MainViews), the texts of both languages in MainLanguage.
#include "TQV17MainForm.h"
#include "TBatchForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QLocale>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "DevOpThread.h"
#include "FileFolders.h"
#include "Icons.h"
#include "LogPane.h"
#include "Prompter.h"
#include "TForm3.h"
#include "SettingsStore.h"
#include "ShellWindows.h"
#include "TProgressForm.h"
#include "WindowTexts.h"
#include "catalogue/CatalogueFiles.h"
#include "ui/TWConfigForm.h"
#include "base/Log.h"
#include "session/Session.h"
#include "base/StatusMessages.h"
#include "base/Version.h"

namespace krt {

// The simulated chips live beside the settings' name (Kavimeru/KRTwin), in
// the user's data folder. Chips kept under the window's former program name
// are moved there once, so that none is lost.
static QString DefaultChipDirectory() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString chips = data + QStringLiteral("/Kavimeru/KRTwin/chips");
    const QString former = data + QStringLiteral("/Kavimeru/QV17win/chips");
    if (!QFileInfo::exists(chips) && QFileInfo(former).isDir()) {
        QDir().mkpath(data + QStringLiteral("/Kavimeru/KRTwin"));
        QDir().rename(former, chips);
    }
    return chips;
}

namespace {

const QString kMainLogFilter = QStringLiteral("log (*.log *.txt);;all files (*)");

// The client area below the menu bar.
constexpr int kClientWidth = 532;
constexpr int kClientHeight = 314;

}  // namespace

TQV17MainForm::TQV17MainForm(const StartOptions& options, QWidget* parent)
    : QMainWindow(parent), options_(options), session_(std::make_unique<Session>()) {
    setObjectName(QStringLiteral("QV17MainForm"));
    BuildActions();
    BuildMenus();
    BuildToolBar();
    BuildControls();
    pane_ = std::make_unique<LogPane>(Memo1, this);
    session_->SetLog(pane_.get());
    // Hints in the log name the window's commands.
    session_->link.windowFace = true;
    chipDir_ = options_.chipDir;
    if (chipDir_.isEmpty()) chipDir_ = DefaultChipDirectory();

    // The construction's own state: empty selection, the session's empty
    // record, no buffer.
    typeKey_.clear();
    maker_.clear();
    deviceName_.clear();
    deviceSelected_ = dataLoaded_ = false;

    // The other windows, in the order the program creates them.
    aboutBox_ = CreateAboutBox(this);
    progress_ = new TProgressForm(session_->link, this);
    CreateViews();
    paramEditor_ = new TWConfigForm(this);
    welcomeForm_ = CreateWelcomeForm(this);
    hconfigForm_ = CreateHConfigForm(*this, this);

    // The design size is the smallest and the first size; the window grows
    // and the log pane takes the room.
    KeepDesignSize();
    resize(minimumSize());
}

TQV17MainForm::~TQV17MainForm() {
    if (!formClosed_) FormClose();
    FormDestroy();
}

// ---------------------------------------------------------------- layout

void TQV17MainForm::BuildControls() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Client"));
    setCentralWidget(central);

    GroupBox1 = new QGroupBox(central);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* g1 = new QGridLayout(GroupBox1);
    g1->setContentsMargins(8, 4, 8, 6);
    g1->setHorizontalSpacing(6);
    g1->setVerticalSpacing(3);
    auto makeCombo = [&](const char* name, QWidget* parent) {
        auto* c = new QComboBox(parent);
        c->setObjectName(QString::fromLatin1(name));
        return c;
    };
    Label5 = new QLabel(GroupBox1);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label6 = new QLabel(GroupBox1);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label7 = new QLabel(GroupBox1);
    Label7->setObjectName(QStringLiteral("Label7"));
    ComboBox1 = makeCombo("ComboBox1", GroupBox1);
    ComboBox2 = makeCombo("ComboBox2", GroupBox1);
    ComboBox3 = makeCombo("ComboBox3", GroupBox1);
    for (QComboBox* c : {ComboBox1, ComboBox2, ComboBox3}) {
        c->setMaxVisibleItems(20);
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c->setMinimumContentsLength(14);
    }
    Label5->setBuddy(ComboBox1);
    Label6->setBuddy(ComboBox2);
    Label7->setBuddy(ComboBox3);
    Button1 = new QPushButton(GroupBox1);
    Button1->setObjectName(QStringLiteral("Button1"));
    g1->addWidget(Label5, 0, 0);
    g1->addWidget(ComboBox1, 0, 1);
    g1->addWidget(Label6, 1, 0);
    g1->addWidget(ComboBox2, 1, 1);
    g1->addWidget(Label7, 2, 0);
    g1->addWidget(ComboBox3, 2, 1);
    g1->addWidget(Button1, 3, 1, Qt::AlignRight);
    g1->setColumnStretch(1, 1);
    connect(ComboBox1, &QComboBox::activated, this, &TQV17MainForm::ComboBox1Change);
    connect(ComboBox2, &QComboBox::activated, this, &TQV17MainForm::ComboBox2Change);
    connect(ComboBox3, &QComboBox::activated, this, &TQV17MainForm::ComboBox3Change);
    connect(Button1, &QPushButton::clicked, this, &TQV17MainForm::Button1Click);

    GroupBox2 = new QGroupBox(central);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    auto* g2 = new QGridLayout(GroupBox2);
    g2->setContentsMargins(8, 4, 8, 6);
    g2->setHorizontalSpacing(6);
    g2->setVerticalSpacing(3);
    Label1 = new QLabel(GroupBox2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(GroupBox2);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(GroupBox2);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label4 = new QLabel(GroupBox2);
    Label4->setObjectName(QStringLiteral("Label4"));
    ComboBox4 = makeCombo("ComboBox4", GroupBox2);
    ComboBox5 = makeCombo("ComboBox5", GroupBox2);
    ComboBox6 = makeCombo("ComboBox6", GroupBox2);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (QComboBox* c : {ComboBox4, ComboBox5, ComboBox6}) {
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->lineEdit()->setMaxLength(10);
        c->installEventFilter(this);
        c->lineEdit()->installEventFilter(this);
        c->setMinimumContentsLength(10);
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    }
    ComboBox6->lineEdit()->setMaxLength(10);
    WriteRangeFields();
    StaticText1 = new QLabel(GroupBox2);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setFrameShape(QFrame::Panel);
    StaticText1->setFrameShadow(QFrame::Sunken);
    StaticText1->setMinimumWidth(60);
    g2->addWidget(Label1, 0, 0);
    g2->addWidget(ComboBox4, 0, 1);
    g2->addWidget(Label2, 1, 0);
    g2->addWidget(ComboBox5, 1, 1);
    g2->addWidget(Label3, 2, 0);
    g2->addWidget(ComboBox6, 2, 1);
    g2->addWidget(Label4, 3, 0);
    g2->addWidget(StaticText1, 3, 1);
    g2->setColumnStretch(1, 1);
    session_->range.onRewrite = [this](const OperationRange&) {
        WriteRangeFields();
        UpdateChecksum();
    };

    Label8 = new QLabel(central);
    Label8->setObjectName(QStringLiteral("Label8"));
    Edit1 = new QLineEdit(central);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(6);
    Edit1->setText(QStringLiteral("100"));
    // Digits only; leaving the field shows the count that operations will use.
    Edit1->setValidator(new QIntValidator(0, 999999, Edit1));
    Edit1->installEventFilter(this);
    Edit1->setFixedWidth(64);
    Label8->setBuddy(Edit1);

    Memo1 = new QPlainTextEdit(central);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Long lines wrap, so that a message is read whole at any width.
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setUndoRedoEnabled(false);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        std::unique_ptr<QMenu> menu(LogContextMenu());
        menu->exec(Memo1->viewport()->mapToGlobal(at));
    });

    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    top->addWidget(GroupBox1, 3);
    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    right->addWidget(GroupBox2);
    auto* errors = new QHBoxLayout;
    errors->addWidget(Label8);
    errors->addWidget(Edit1);
    errors->addStretch();
    right->addLayout(errors);
    right->addStretch();
    top->addLayout(right, 2);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(6, 4, 6, 2);
    outer->setSpacing(4);
    outer->addLayout(top);
    outer->addWidget(Memo1, 1);

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    StatusPanel = new QLabel(StatusBar1);
    StatusPanel->setObjectName(QStringLiteral("StatusPanel"));
    StatusBar1->addWidget(StatusPanel, 1);
    DeviceStatus = new QLabel(StatusBar1);
    DeviceStatus->setObjectName(QStringLiteral("DeviceStatus"));
    StatusBar1->addPermanentWidget(DeviceStatus);
}

// The menu bar's height follows the font; the client area's design size
// stays the smallest.
void TQV17MainForm::KeepDesignSize() {
    setMinimumSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    if (width() < minimumWidth() || height() < minimumHeight()) resize(size().expandedTo(minimumSize()));
}

// ---------------------------------------------------------------- start-up

void TQV17MainForm::FormCreate() {
    if (QApplication::windowIcon().isNull()) QApplication::setWindowIcon(ProgramIcon());
    UpdateCaption();
    SettingsStore settings;
    DeviceRecord empty;
    settingsOk_ = true;
    if (!settings.Open(QString::fromLatin1(kSettingsKey), false)) settingsOk_ = false;

    SessionSettings link;
    const int32_t clock = settings.ReadInt(QString::fromLatin1(kClockFreq), 0);
    link.clock = static_cast<uint32_t>(clock);
    if (clock < 0 || !ClockAccepted(static_cast<uint32_t>(clock))) settingsOk_ = false;
    const int32_t power = settings.ReadInt(QString::fromLatin1(kPwrCircuitVersion), 0);
    link.powerCircuit = static_cast<uint8_t>(power);
    if (power != 1 && power != 2) settingsOk_ = false;
    const uint16_t port =
        static_cast<uint16_t>(settings.ReadInt(QString::fromLatin1(kLprPort), 0) & 0xFFFF);
    link.portBase = port;
    // Any printer-port base, a PCI card's (0xD010) as well as the presets.
    if (!PortBaseAccepted(port)) settingsOk_ = false;
    language_ = static_cast<uint32_t>(
        settings.ReadInt(QString::fromLatin1(kLanguage), static_cast<int32_t>(LanguageOfLocale(QLocale::system().name()))));
    link.language = language_;
    session_->Configure(link);
    ApplyLanguage();

    // Our own setting: the simulated programmer unless told otherwise.
    const int32_t useSimulator = settings.ReadInt(QString::fromLatin1(kUseSimulator), 1);
    // The size the window had when it was closed last (never below the design size).
    const int32_t width = settings.ReadInt(QString::fromLatin1(kWindowWidth), 0);
    const int32_t height = settings.ReadInt(QString::fromLatin1(kWindowHeight), 0);
    if (width > 0 && height > 0) {
        resize(QSize(width, height).expandedTo(minimumSize()));
    } else if (QScreen* s = screen()) {
        // A first start: two thirds of the screen, so that the log shows
        // more than a few lines (the size is remembered from then on).
        resize((s->availableSize() * 2 / 3).expandedTo(minimumSize()));
    }
    settings.Close();

    ComboBox1->setCurrentIndex(0);
    ComboBox2->setCurrentIndex(0);
    ComboBox3->setCurrentIndex(0);

    // The port first, so that the first log line can say the simulator is used.
    OpenPort(port, useSimulator);

    session_->OpenCatalogue(options_.catalogueDir.toStdString(), Sink());

    if (session_->devices.loaded) {
        Log(QString::fromStdString(Format(MessageText(language_, 15), session_->devices.count)));
        SetStatusMessage(14);
        const uint8_t found = session_->ResetAndDetect();
        LogMessage(found == 0 ? 5 : 6);
        ChooseLastDevice();
    } else {
        Prompter::Current().Box(this, DeviceListFailedText(), QString::fromLatin1(kMessageCaption),
                                QMessageBox::Ok, QMessageBox::Warning);
        DisableForMissingList();
    }
    UpdateCaption();
}

void TQV17MainForm::OpenPort(int32_t lprPort, int32_t useSimulator) {
    std::string name = options_.port.trimmed().toStdString();
    if (name.empty()) name = useSimulator ? "sim" : "ppdev";
    std::string error;
    if (session_->OpenBackend(name, static_cast<uint16_t>(lprPort), error)) {
        if (session_->Simulated()) Log(SimulatorInUseText(language_));
        return;
    }
    portFailure_ = PortFailedText(language_, QString::fromStdString(session_->PortName()),
                                  QString::fromStdString(error));
    Log(portFailure_.section(QLatin1Char('\n'), 0, 0));
}

void TQV17MainForm::UpdateCaption() {
    QString caption = QString::fromLatin1(kCaptionPrefix) + QString::fromLatin1(ProgramVersionNumber());
    if (session_ && session_->Simulated()) caption += QString::fromLatin1(kSimulatorSuffix);
    if (deviceSelected_) caption += QStringLiteral(" - ") + DeviceInUse();
    if (session_ && session_->edits.Unsaved()) caption += QString::fromLatin1(kUnsavedMark);
    setWindowTitle(caption);
}

void TQV17MainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (firstRunShown_) return;
    firstRunShown_ = true;
    // After the window has appeared, not inside its show event.
    QTimer::singleShot(0, this, &TQV17MainForm::FormShow);
}

void TQV17MainForm::FormShow() {
    if (!DeviceListLoaded()) return;
    if (!portFailure_.isEmpty()) {
        const QString text = portFailure_;
        portFailure_.clear();
        Prompter::Current().Box(this, text, QString::fromLatin1(kMessageCaption), QMessageBox::Ok,
                                QMessageBox::Warning);
    }
    if (!settingsOk_) {
        if (auto* d = qobject_cast<QDialog*>(welcomeForm_)) {
            SetWelcomeLanguage(d, language_);
            Prompter::Current().Exec(*d);
        }
        if (auto* d = qobject_cast<QDialog*>(hconfigForm_)) Prompter::Current().Exec(*d);
        settingsOk_ = true;
    }
}

QString TQV17MainForm::CatalogueDir() const { return QString::fromStdString(session_->catalogueDirectory); }

// ---------------------------------------------------------------- log and status

LogSink* TQV17MainForm::Sink() { return pane_.get(); }

void TQV17MainForm::Log(const QString& line) { pane_->Append(line); }

QString TQV17MainForm::MessageOf(int code) const {
    return QString::fromUtf8(MessageText(language_, code));
}

void TQV17MainForm::LogMessage(int code) { Log(MessageOf(code)); }

void TQV17MainForm::ClearLog() { pane_->Clear(); }

void TQV17MainForm::FlushLog() { pane_->Flush(); }

void TQV17MainForm::SetStatus(const QString& text) {
    statusIn_ = nullptr;
    StatusPanel->setText(text);
}

void TQV17MainForm::SetStatusIn(std::function<QString(uint32_t)> text) {
    statusIn_ = std::move(text);
    StatusPanel->setText(statusIn_(language_));
}

void TQV17MainForm::SetStatusMessage(int code) {
    SetStatusIn([code](uint32_t language) { return QString::fromUtf8(MessageText(language, code)); });
}

QString TQV17MainForm::StatusText() const { return StatusPanel->text(); }

// ---------------------------------------------------------------- link

LinkContext& TQV17MainForm::Link() { return session_->link; }

bool TQV17MainForm::SimulatorInUse() const { return session_->Simulated(); }

VirtualKrt* TQV17MainForm::Simulator() const { return session_->Simulator(); }

bool TQV17MainForm::BlankSocketChip(QString& message) {
    if (Inert()) return false;
    std::string text;
    const bool blanked = session_->BlankSocket(text);
    message = QString::fromStdString(text);
    return blanked;
}

uint8_t TQV17MainForm::Send(LinkRequest& request, DeviceRecord& record) {
    return session_->Send(request, record);
}

uint8_t TQV17MainForm::Send(LinkRequest& request) {
    DeviceRecord none;
    return session_->Send(request, none);
}

bool TQV17MainForm::Inert() const { return worker_ != nullptr || closing_; }

// ---------------------------------------------------------------- remembered state

void TQV17MainForm::RememberWindow() {
    SettingsStore settings;
    if (settings.Open(QString::fromLatin1(kSettingsKey), true)) {
        settings.WriteInt(QString::fromLatin1(kWindowWidth), width());
        settings.WriteInt(QString::fromLatin1(kWindowHeight), height());
    }
    settings.Close();
    if (!deviceSelected_) return;
    QSettings names(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
    names.setValue(QString::fromLatin1(kLastDevice),
                   QStringList{QString::fromStdString(session_->record.type), maker_, deviceName_});
}

// The last device selected is chosen in the three boxes again; it is not
// loaded (that shows the parameter editor): Select does that in one click.
void TQV17MainForm::ChooseLastDevice() {
    QSettings names(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
    const QStringList last = names.value(QString::fromLatin1(kLastDevice)).toStringList();
    if (last.size() != 3) return;
    ChooseInLists(last[0], last[1], last[2]);
}

void TQV17MainForm::ChooseInLists(const QString& typeKey, const QString& maker, const QString& name) {
    for (int i = 1; i < ComboBox1->count(); ++i) {
        if (TypeKeyOf(ComboBox1->itemText(i)).compare(typeKey, Qt::CaseInsensitive) != 0) continue;
        ComboBox1->setCurrentIndex(i);
        ComboBox1Change();
        const int makerIndex = ComboBox2->findText(maker);
        if (makerIndex < 0) return;
        ComboBox2->setCurrentIndex(makerIndex);
        ComboBox2Change();
        // A number typed in another case names the same part.
        const int nameIndex = ComboBox3->findText(name, Qt::MatchFixedString);
        if (nameIndex >= 0) ComboBox3->setCurrentIndex(nameIndex);
        return;
    }
}

QMenu* TQV17MainForm::LogContextMenu() {
    QMenu* menu = Memo1->createStandardContextMenu();
    menu->addSeparator();
    QAction* save = menu->addAction(SaveLogMenuText(language_));
    save->setObjectName(QStringLiteral("SaveLog"));
    connect(save, &QAction::triggered, this, [this] {
        const QString name =
            Prompter::Current().SaveFileName(this, SaveLogMenuText(language_).remove(QLatin1Char('&')), kMainLogFilter);
        if (!name.isEmpty() && SaveLog(name)) RememberFolder(kMainLogFilter, name);
    });
    return menu;
}

bool TQV17MainForm::SaveLog(const QString& path) {
    FlushLog();
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(Memo1->toPlainText().toUtf8());
        file.write("\n");
        if (file.commit()) return true;
    }
    Prompter::Current().Box(this, SaveLogFailedText(language_, path, file.errorString()),
                            QString::fromLatin1(kMessageCaption), QMessageBox::Ok, QMessageBox::Warning);
    return false;
}

// ---------------------------------------------------------------- end

void TQV17MainForm::closeEvent(QCloseEvent* event) {
    // A close in the middle of an operation could leave a one-time or UV
    // part half programmed for good: only on the user's yes is it cancelled
    // (FormClose waits for it, powers down and resets).
    if (!worker_ && !formClosed_ && KeepUnsavedEdits()) {
        event->ignore();
        return;
    }
    if (worker_ && !formClosed_) {
        // No is the default: Enter must not abandon a write.
        const auto answer =
            Prompter::Current().Ask(this, QuitWhileRunningText(language_), QString::fromLatin1(kMessageCaption),
                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    FormClose();
    event->accept();
}

void TQV17MainForm::FormClose() {
    if (formClosed_) return;
    formClosed_ = true;
    closing_ = true;
    RememberWindow();
    SaveTemporaryProject();
    if (!DeviceListLoaded()) return;
    session_->link.CancelOperation();
    if (worker_) {
        // The operation notices the cancel at its next unit; wait for it so
        // that the reset below does not meet a running worker. The cancel is
        // repeated: one sent before the operation has begun would be lost.
        if (progress_->isVisible()) progress_->done(QDialog::Rejected);
        while (!worker_->wait(10)) session_->link.CancelOperation();
    }
    LinkRequest request;
    request.code = REQ_RESET;
    Send(request, session_->record);
    std::string ignored;
    session_->SaveSocket(ignored);
}

void TQV17MainForm::FormDestroy() {
    if (worker_) {
        session_->link.CancelOperation();
        worker_->wait();
        delete worker_;
        worker_ = nullptr;
    }
    if (paramEditor_) paramEditor_->SetRecord(nullptr);
    session_->range.onRewrite = nullptr;
}

}  // namespace krt
