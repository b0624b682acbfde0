// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, layout, languages, the log pane and the orderly end of the
// main window.
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

// The client area below the menu bar.
constexpr int kClientWidth = 532;
constexpr int kClientHeight = 314;

QAction* NamedAction(QObject* parent, const char* name) {
    auto* a = new QAction(parent);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

// A menu item that runs an action and follows its enabled state. The
// action alone owns a shortcut (two owners make it ambiguous, and then it
// does nothing): the item shows it in its text (see ApplyLanguage).
QAction* MenuItem(QMenu* menu, const char* name, QAction* action) {
    QAction* item = NamedAction(menu, name);
    menu->addAction(item);
    if (action) {
        QObject::connect(item, &QAction::triggered, action, &QAction::trigger);
        QObject::connect(action, &QAction::enabledChanged, item, &QAction::setEnabled);
        item->setEnabled(action->isEnabled());
        item->setIcon(action->icon());
    }
    return item;
}

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
    setMinimumSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    resize(minimumSize());
}

TQV17MainForm::~TQV17MainForm() {
    if (!formClosed_) FormClose();
    FormDestroy();
}

// ---------------------------------------------------------------- layout

void TQV17MainForm::BuildActions() {
    struct Def {
        QAction** field;
        const char* name;
        const char* icon;
    };
    const Def defs[] = {
        {&FileNew1, "FileNew1", "new"},        {&FileOpen1, "FileOpen1", "open"},
        {&FileSave1, "FileSave1", "save"},      {&FileSaveAs1, "FileSaveAs1", "saveas"},
        {&FileExit1, "FileExit1", "exit"},      {&ProjectNew1, "ProjectNew1", "projectnew"},
        {&ProjectOpen1, "ProjectOpen1", "projectopen"},
        {&ProjectSave1, "ProjectSave1", "projectsave"},
        {&OpRead, "OpRead", "read"},            {&OpWrite, "OpWrite", "write"},
        {&OpVerify, "OpVerify", "verify"},      {&OpBlank, "OpBlank", "blank"},
        {&OpErase, "OpErase", "erase"},         {&OpSecure, "OpSecure", "secure"},
        {&OpAuto, "OpAuto", "auto"},            {&BinDump, "BinDump", "dump"},
        {&HardReset, "HardReset", "reset"},     {&HardConfig, "HardConfig", "config"},
        {&HelpContents1, "HelpContents1", "help"}, {&HelpAbout1, "HelpAbout1", "about"},
    };
    for (const auto& d : defs) {
        *d.field = NamedAction(this, d.name);
        (*d.field)->setIcon(CommandIcon(d.icon, style()));
        addAction(*d.field);
    }
    FileNew1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    FileOpen1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    FileSave1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    for (QAction* a : {FileNew1, FileOpen1, FileSave1}) a->setShortcutContext(Qt::WindowShortcut);

    connect(FileNew1, &QAction::triggered, this, &TQV17MainForm::FileNew1Execute);
    connect(FileOpen1, &QAction::triggered, this, &TQV17MainForm::FileOpen1Execute);
    connect(FileSave1, &QAction::triggered, this, &TQV17MainForm::FileSave1Execute);
    connect(FileSaveAs1, &QAction::triggered, this, &TQV17MainForm::FileSaveAs1Execute);
    connect(FileExit1, &QAction::triggered, this, &TQV17MainForm::FileExit1Execute);
    connect(OpRead, &QAction::triggered, this, &TQV17MainForm::OpReadExecute);
    connect(OpWrite, &QAction::triggered, this, &TQV17MainForm::OpWriteExecute);
    connect(OpVerify, &QAction::triggered, this, &TQV17MainForm::OpVerifyExecute);
    connect(OpBlank, &QAction::triggered, this, &TQV17MainForm::OpBlankExecute);
    connect(OpErase, &QAction::triggered, this, &TQV17MainForm::OpEraseExecute);
    connect(OpSecure, &QAction::triggered, this, &TQV17MainForm::OpSecureExecute);
    connect(OpAuto, &QAction::triggered, this, &TQV17MainForm::OpAutoExecute);
    connect(HardReset, &QAction::triggered, this, &TQV17MainForm::HardResetExecute);
    connect(HardConfig, &QAction::triggered, this, &TQV17MainForm::HardConfigExecute);
    connect(HelpAbout1, &QAction::triggered, this, &TQV17MainForm::HelpAbout1Execute);

    HardDebug = NamedAction(this, "HardDebug");
    addAction(HardDebug);
    FileMerge1 = NamedAction(this, "FileMerge1");
    FileMerge1->setIcon(FileOpen1->icon());
    addAction(FileMerge1);
    connect(FileMerge1, &QAction::triggered, this, &TQV17MainForm::FileMerge1Execute);
    connect(ProjectNew1, &QAction::triggered, this, &TQV17MainForm::ProjectNew1Execute);
    connect(ProjectOpen1, &QAction::triggered, this, &TQV17MainForm::ProjectOpen1Execute);
    connect(ProjectSave1, &QAction::triggered, this, &TQV17MainForm::ProjectSave1Execute);
}

void TQV17MainForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    // Seven menus in Japanese must fit the fixed width.
    bar->setStyleSheet(QStringLiteral("QMenuBar::item { padding: 2px 3px; margin: 0px; } QMenuBar { spacing: 0px; }"));

    File1 = bar->addMenu(QString());
    File1->setObjectName(QStringLiteral("File1"));
    FileNewItem = MenuItem(File1, "FileNewItem", FileNew1);
    FileOpenItem = MenuItem(File1, "FileOpenItem", FileOpen1);
    FileMergeItem = MenuItem(File1, "FileMergeItem", FileMerge1);
    FileSaveItem = MenuItem(File1, "FileSaveItem", FileSave1);
    FileSaveAsItem = MenuItem(File1, "FileSaveAsItem", FileSaveAs1);
    FileSplit1 = File1->addAction(QString());
    FileSplit1->setObjectName(QStringLiteral("FileSplit1"));
    FileJoin1 = File1->addAction(QString());
    FileJoin1->setObjectName(QStringLiteral("FileJoin1"));
    connect(FileSplit1, &QAction::triggered, this, &TQV17MainForm::FileSplit1Execute);
    connect(FileJoin1, &QAction::triggered, this, &TQV17MainForm::FileJoin1Execute);
    L1 = File1->addMenu(QString());
    L1->setObjectName(QStringLiteral("L1"));
    J1 = MenuItem(L1, "J1", nullptr);
    E1 = MenuItem(L1, "E1", nullptr);
    J1->setCheckable(true);
    E1->setCheckable(true);
    J1->setChecked(true);
    connect(J1, &QAction::triggered, this, &TQV17MainForm::J1Click);
    connect(E1, &QAction::triggered, this, &TQV17MainForm::E1Click);
    File1->addSeparator()->setObjectName(QStringLiteral("N1"));
    FileExitItem = MenuItem(File1, "FileExitItem", FileExit1);

    pu1 = bar->addMenu(QString());
    pu1->setObjectName(QStringLiteral("pu1"));
    shinki1 = MenuItem(pu1, "shinki1", ProjectNew1);
    Open1 = MenuItem(pu1, "Open1", ProjectOpen1);
    Save1 = MenuItem(pu1, "Save1", ProjectSave1);
    SaveAs1 = MenuItem(pu1, "SaveAs1", nullptr);
    N15 = MenuItem(pu1, "N15", nullptr);
    connect(SaveAs1, &QAction::triggered, this, &TQV17MainForm::ProjectSaveAs1Execute);
    connect(N15, &QAction::triggered, this, &TQV17MainForm::ProjectTemporaryExecute);

    N2 = bar->addMenu(QString());
    N2->setObjectName(QStringLiteral("N2"));
    T1 = MenuItem(N2, "T1", nullptr);
    V1 = MenuItem(N2, "V1", nullptr);
    T2 = MenuItem(N2, "T2", nullptr);
    N2->addSeparator()->setObjectName(QStringLiteral("N11"));
    N12 = MenuItem(N2, "N12", nullptr);
    N2->addSeparator();
    SdpOff1 = MenuItem(N2, "SdpOff1", nullptr);
    SdpOn1 = MenuItem(N2, "SdpOn1", nullptr);
    connect(SdpOff1, &QAction::triggered, this, &TQV17MainForm::SdpOffExecute);
    connect(SdpOn1, &QAction::triggered, this, &TQV17MainForm::SdpOnExecute);
    N2->addSeparator();
    Identify1 = MenuItem(N2, "Identify1", nullptr);
    connect(Identify1, &QAction::triggered, this, &TQV17MainForm::IdentifyExecute);
    CheckChip1 = MenuItem(N2, "CheckChip1", nullptr);
    connect(CheckChip1, &QAction::triggered, this, &TQV17MainForm::CheckChipExecute);
    connect(T1, &QAction::triggered, this, &TQV17MainForm::T1Click);
    connect(V1, &QAction::triggered, this, &TQV17MainForm::V1Click);
    connect(T2, &QAction::triggered, this, &TQV17MainForm::T2Click);
    connect(N12, &QAction::triggered, this, &TQV17MainForm::N12Click);

    O1 = bar->addMenu(QString());
    O1->setObjectName(QStringLiteral("O1"));
    N4 = MenuItem(O1, "N4", OpRead);
    K1 = MenuItem(O1, "K1", OpWrite);
    N5 = MenuItem(O1, "N5", OpVerify);
    N6 = MenuItem(O1, "N6", OpBlank);
    N7 = MenuItem(O1, "N7", OpErase);
    N8 = MenuItem(O1, "N8", OpSecure);
    N10 = MenuItem(O1, "N10", OpAuto);
    Compare1 = MenuItem(O1, "Compare1", nullptr);
    connect(Compare1, &QAction::triggered, this, &TQV17MainForm::OpCompareExecute);
    O1->addSeparator()->setObjectName(QStringLiteral("N9"));
    N16 = MenuItem(O1, "N16", nullptr);
    connect(N16, &QAction::triggered, this, &TQV17MainForm::N16Click);
    Batch1 = MenuItem(O1, "Batch1", nullptr);
    connect(Batch1, &QAction::triggered, this, &TQV17MainForm::BatchClick);

    B1 = bar->addMenu(QString());
    B1->setObjectName(QStringLiteral("B1"));
    D1 = MenuItem(B1, "D1", BinDump);

    N3 = bar->addMenu(QString());
    N3->setObjectName(QStringLiteral("N3"));
    N14 = MenuItem(N3, "N14", HardReset);
    N13 = MenuItem(N3, "N13", HardDebug);
    S1 = MenuItem(N3, "S1", HardConfig);

    Help1 = bar->addMenu(QString());
    Help1->setObjectName(QStringLiteral("Help1"));
    HelpContentsItem = MenuItem(Help1, "HelpContentsItem", HelpContents1);
    HelpAboutItem = MenuItem(Help1, "HelpAboutItem", HelpAbout1);
}

void TQV17MainForm::BuildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    // Twenty buttons must fit the fixed width without an overflow arrow.
    ToolBar1->setStyleSheet(QStringLiteral("QToolBar { spacing: 0px; padding: 0px; }"
                                           "QToolButton { padding: 1px; margin: 0px; }"));
    ToolBar1->toggleViewAction()->setEnabled(false);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    // Buttons in groups; the separators count in the numbering of the buttons.
    QAction* const order[] = {FileNew1, FileOpen1, FileSave1, nullptr,
                              ProjectNew1, ProjectOpen1, ProjectSave1, nullptr,
                              OpRead, OpWrite, OpVerify, OpBlank, OpErase, OpSecure, OpAuto, nullptr,
                              BinDump, nullptr,
                              HardReset, HardConfig, nullptr,
                              HelpContents1, HelpAbout1, nullptr,
                              FileExit1};
    int number = 1;
    for (QAction* a : order) {
        const QString name = QStringLiteral("ToolButton%1").arg(number++);
        if (!a) {
            ToolBar1->addSeparator()->setObjectName(name);
            continue;
        }
        ToolBar1->addAction(a);
        if (QWidget* w = ToolBar1->widgetForAction(a)) w->setObjectName(name);
    }
}

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
        SetStatus(MessageOf(14));
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

void TQV17MainForm::DisableForMissingList() {
    for (QAction* a : {FileNewItem, FileOpenItem, FileSaveItem, FileSaveAsItem, FileNew1,
                       FileOpen1, FileSave1, FileSaveAs1, FileMerge1, FileMergeItem})
        a->setEnabled(false);
    for (QMenu* m : {pu1, N2, O1, B1, N3, Help1}) {
        m->setEnabled(false);
        m->menuAction()->setEnabled(false);
    }
    // The actions too, so that no shortcut reaches them.
    for (QAction* a : {OpRead, OpWrite, OpVerify, OpBlank, OpErase, OpSecure, OpAuto, BinDump,
                       HardReset, HardConfig, HardDebug, HelpContents1, HelpAbout1})
        a->setEnabled(false);
    ToolBar1->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{
             ComboBox1, ComboBox2, ComboBox3, ComboBox4, ComboBox5, ComboBox6, Edit1, Label1,
             Label2, Label3, Label4, Label5, Label6, Label7, Label8, Memo1, GroupBox1, GroupBox2,
             Button1})
        w->setEnabled(false);
}

QString TQV17MainForm::CatalogueDir() const { return QString::fromStdString(session_->catalogueDirectory); }

// ---------------------------------------------------------------- languages

void TQV17MainForm::ApplyLanguage() {
    const uint32_t l = language_;
    auto t = [l](WindowText w) { return WindowTextOf(l, w); };
    UseQtTranslations(l);

    QFont f = font();
    f.setFamily(l == 0 ? QStringLiteral("ＭＳ ゴシック") : QStringLiteral("Arial"));
    // The window's design size: 9 points, as the fixed layout expects.
    f.setPointSize(9);
    setFont(f);
    // The menus take the window's font too (some styles give them their own).
    menuBar()->setFont(f);
    for (QMenu* m : menuBar()->findChildren<QMenu*>()) m->setFont(f);

    Label8->setText(t(WindowText::Label8));
    if (paramEditor_) paramEditor_->SetLanguage(l);
    struct Hint {
        QAction* action;
        WindowText text;
    };
    const Hint hints[] = {
        {OpRead, WindowText::ToolButton9Hint},     {OpWrite, WindowText::ToolButton10Hint},
        {OpVerify, WindowText::ToolButton11Hint},  {OpBlank, WindowText::ToolButton12Hint},
        {OpErase, WindowText::ToolButton13Hint},   {OpSecure, WindowText::ToolButton14Hint},
        {OpAuto, WindowText::ToolButton15Hint},    {BinDump, WindowText::ToolButton17Hint},
        {HardReset, WindowText::ToolButton19Hint}, {HardConfig, WindowText::ToolButton20Hint},
    };
    for (const auto& h : hints) h.action->setToolTip(t(h.text));

    GroupBox1->setTitle(t(WindowText::GroupBox1));
    Label5->setText(t(WindowText::Label5));
    Label6->setText(t(WindowText::Label6));
    Label7->setText(t(WindowText::Label7));

    ComboBox1->clear();
    ComboBox1->addItem(t(WindowText::ComboBox1Placeholder));
    for (int i = 0; i < kDeviceTypeCount; ++i) ComboBox1->addItem(DeviceTypeItem(l, i));
    ComboBox2->clear();
    ComboBox2->addItem(t(WindowText::ComboBox2Placeholder));
    ComboBox3->clear();
    ComboBox3->addItem(t(WindowText::ComboBox3Placeholder));
    ComboBox1->setCurrentIndex(0);
    ComboBox2->setCurrentIndex(0);
    ComboBox3->setCurrentIndex(0);
    typeKey_.clear();
    // The device in use stays in use: the lists show it again in the new
    // language, and its range, buffer and checksum stay its own.
    if (deviceSelected_) ChooseInLists(selectedTypeKey_, selectedMaker_, deviceName_);

    Button1->setText(t(WindowText::Button1));
    GroupBox2->setTitle(t(WindowText::GroupBox2));
    Label1->setText(t(WindowText::Label1));
    Label2->setText(t(WindowText::Label2));
    Label3->setText(t(WindowText::Label3));
    Label4->setText(t(WindowText::Label4));

    File1->setTitle(t(WindowText::File1));
    File1->setToolTip(t(WindowText::File1Hint));
    File1->menuAction()->setToolTip(t(WindowText::File1Hint));
    struct Item {
        QAction* action;
        WindowText text;
    };
    const Item items[] = {
        {FileNewItem, WindowText::FileNewItem}, {FileOpenItem, WindowText::FileOpenItem},
        {FileSaveItem, WindowText::FileSaveItem}, {FileSaveAsItem, WindowText::FileSaveAsItem},
        {J1, WindowText::J1}, {E1, WindowText::E1}, {FileExitItem, WindowText::FileExitItem},
        {shinki1, WindowText::shinki1}, {Open1, WindowText::Open1}, {Save1, WindowText::Save1},
        {SaveAs1, WindowText::SaveAs1}, {N15, WindowText::N15},
        {T1, WindowText::T1}, {V1, WindowText::V1}, {T2, WindowText::T2}, {N12, WindowText::N12},
        {SdpOff1, WindowText::SdpOff}, {SdpOn1, WindowText::SdpOn}, {Identify1, WindowText::Identify},
        {CheckChip1, WindowText::CheckChip},
        {Compare1, WindowText::Compare},
        {FileMergeItem, WindowText::FileMergeItem},
        {N4, WindowText::N4}, {K1, WindowText::K1}, {N5, WindowText::N5}, {N6, WindowText::N6},
        {N7, WindowText::N7}, {N8, WindowText::N8}, {N10, WindowText::N10}, {N16, WindowText::N16},
        {D1, WindowText::D1}, {N14, WindowText::N14}, {N13, WindowText::N13}, {S1, WindowText::S1},
        {HelpContentsItem, WindowText::HelpContentsItem}, {HelpAboutItem, WindowText::HelpAboutItem},
    };
    for (const auto& i : items) i.action->setText(t(i.text));
    // A menu shows the text after a tab as the item's shortcut.
    for (auto [item, action] : {std::pair{FileNewItem, FileNew1}, {FileOpenItem, FileOpen1}, {FileSaveItem, FileSave1}})
        item->setText(item->text() + QLatin1Char('\t') + action->shortcut().toString(QKeySequence::NativeText));
    // The actions carry the menu texts as well, for the toolbar buttons' names.
    const Item actions[] = {
        {FileNew1, WindowText::FileNewItem}, {FileOpen1, WindowText::FileOpenItem},
        {FileSave1, WindowText::FileSaveItem}, {FileSaveAs1, WindowText::FileSaveAsItem},
        {FileExit1, WindowText::FileExitItem}, {ProjectNew1, WindowText::shinki1},
        {ProjectOpen1, WindowText::Open1}, {ProjectSave1, WindowText::Save1},
        {OpRead, WindowText::N4}, {OpWrite, WindowText::K1}, {OpVerify, WindowText::N5},
        {OpBlank, WindowText::N6}, {OpErase, WindowText::N7}, {OpSecure, WindowText::N8},
        {OpAuto, WindowText::N10}, {BinDump, WindowText::D1}, {HardReset, WindowText::N14},
        {HardConfig, WindowText::S1}, {HardDebug, WindowText::N13}, {HelpContents1, WindowText::Help1},
        {HelpAbout1, WindowText::HelpAboutItem}, {FileMerge1, WindowText::FileMergeItem},
    };
    for (const auto& a : actions) {
        const QString tip = a.action->toolTip();
        a.action->setText(t(a.text));
        a.action->setIconText(QString(t(a.text)).remove(QLatin1Char('&')));
        // setText resets a tool tip that was never set explicitly only.
        if (!tip.isEmpty()) a.action->setToolTip(tip);
    }
    for (const auto& h : hints) h.action->setToolTip(t(h.text));
    L1->setTitle(t(WindowText::L1));
    pu1->setTitle(t(WindowText::pu1));
    N2->setTitle(t(WindowText::N2));
    O1->setTitle(t(WindowText::O1));
    Batch1->setText(BatchMenuText(l));
    FileSplit1->setText(SplitJoinMenuText(l, false));
    FileJoin1->setText(SplitJoinMenuText(l, true));
    B1->setTitle(t(WindowText::B1));
    N3->setTitle(t(WindowText::N3));
    Help1->setTitle(t(WindowText::Help1));
    J1->setChecked(l == 0);
    E1->setChecked(l != 0);
    if (auto* d = qobject_cast<QDialog*>(hconfigForm_)) SetHConfigLanguage(d, l);
    ShowDeviceInUse();
    // The menu bar's height follows the font; the client area's design
    // size stays the smallest.
    setMinimumSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    if (width() < minimumWidth() || height() < minimumHeight()) resize(size().expandedTo(minimumSize()));
}

void TQV17MainForm::SetLanguage(uint32_t language) {
    if (Inert()) {
        // Keep the check marks as they were.
        J1->setChecked(language_ == 0);
        E1->setChecked(language_ != 0);
        return;
    }
    language_ = language;
    SettingsStore settings;
    if (settings.Open(QString::fromLatin1(kSettingsKey), true))
        settings.WriteInt(QString::fromLatin1(kLanguage), static_cast<int32_t>(language));
    settings.Close();
    ApplyLanguage();
    DeviceRecord empty;
    LinkRequest request;
    request.code = REQ_SET_LANGUAGE;
    request.parameter = language;
    Send(request, empty);
}

void TQV17MainForm::J1Click() { SetLanguage(0); }
void TQV17MainForm::E1Click() { SetLanguage(1); }

// ---------------------------------------------------------------- log and status

LogSink* TQV17MainForm::Sink() { return pane_.get(); }

void TQV17MainForm::Log(const QString& line) { pane_->Append(line); }

QString TQV17MainForm::MessageOf(int code) const {
    return QString::fromUtf8(MessageText(language_, code));
}

void TQV17MainForm::LogMessage(int code) { Log(MessageOf(code)); }

void TQV17MainForm::ClearLog() { pane_->Clear(); }

void TQV17MainForm::FlushLog() { pane_->Flush(); }

void TQV17MainForm::SetStatus(const QString& text) { StatusPanel->setText(text); }

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
        const QString name = Prompter::Current().SaveFileName(this, SaveLogMenuText(language_).remove(QLatin1Char('&')),
                                                              QStringLiteral("log (*.log *.txt);;all files (*)"));
        if (!name.isEmpty()) SaveLog(name);
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

void TQV17MainForm::FileExit1Execute() { close(); }

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
