// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's menus and toolbar: every menu item, its action, its
// shortcut and its texts. Each menu's commands are in a file of their own:
// File (MainFile), Project (MainProject), Device (MainDevice), Operation
// (MainOperations), Bin, Hardware and Help (MainViews).
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include "Icons.h"
#include "TBatchForm.h"
#include "TForm3.h"
#include "TQV17MainForm.h"
#include "WindowTexts.h"

namespace krt {

namespace {

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

// Every menu's and toolbar action's text and hint in the current language.
void TQV17MainForm::ApplyMenuTexts() {
    const uint32_t l = language_;
    auto t = [l](WindowText w) { return WindowTextOf(l, w); };
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
}

}  // namespace krt
