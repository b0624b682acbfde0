// SPDX-License-Identifier: GPL-3.0-or-later
#include "THConfigForm.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include <charconv>
#include <cmath>
#include <string>

#include "DialogTexts.h"
#include "Prompter.h"
#include "SettingsStore.h"
#include "ShellServices.h"
#include "catalogue/DeviceRecord.h"
#include "link/Link.h"
#include "link/Protocol.h"
#include "platform/Platform.h"
#include "session/Session.h"

namespace krt {

namespace {

constexpr uint32_t kPortBases[3] = {888, 632, 956};  // 0x378, 0x278, 0x3BC

void SelectItem(QButtonGroup* group, int item) {
    QAbstractButton* button = group->button(item);
    if (button) {
        button->setChecked(true);
        return;
    }
    // No item: an exclusive group cannot uncheck its last button by itself.
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) b->setChecked(false);
    group->setExclusive(true);
}

}  // namespace

int THConfigForm::PortItem(uint32_t base) {
    for (int i = 0; i < 3; ++i) {
        if (kPortBases[i] == base) return i;
    }
    return -1;
}

uint32_t THConfigForm::PortOfItem(int item) { return item >= 0 && item < 3 ? kPortBases[item] : 0; }

uint32_t THConfigForm::PortOfText(const QString& text) {
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) digits = digits.mid(2);
    else if (digits.endsWith(QLatin1Char('h'), Qt::CaseInsensitive)) digits.chop(1);
    if (digits.isEmpty() || digits.size() > 4) return 0;
    bool ok = false;
    const uint32_t base = digits.toUInt(&ok, 16);
    return ok && PortBaseAccepted(base) ? base : 0;
}

QString THConfigForm::TextOfPort(uint32_t base) {
    return base ? QStringLiteral("0x") + QString::number(base, 16) : QString();
}

int THConfigForm::VersionItem(uint32_t version) { return version == 1 ? 0 : version == 2 ? 1 : -1; }

uint32_t THConfigForm::VersionOfItem(int item) { return item == 0 ? 1 : item == 1 ? 2 : 0; }

uint32_t THConfigForm::ClockOfText(const QString& text) {
    const std::string s = text.trimmed().toStdString();
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    size_t start = i, digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    }
    if (digits == 0) return 0;
    double mhz = 0.0;
    std::from_chars(s.data() + start, s.data() + i, mhz);
    if (negative) mhz = -mhz;
    // A tiny allowance keeps a typed 3.579545 from truncating to 3579544 Hz
    // through the binary fraction; values no counter could hold read as 0.
    const double hz = std::floor(mhz * 1000000.0 + 1e-6);
    if (!(hz >= 0.0) || hz > 4294967295.0) return 0;
    return static_cast<uint32_t>(hz);
}

QString THConfigForm::TextOfClock(uint32_t hz) { return QString::asprintf("%8.6f", hz * 0.000001); }

QString THConfigForm::TextOfRevision(uint32_t revision) {
    if (revision == 0) return QStringLiteral("-");
    return QString::asprintf("%X.%X", (revision >> 4) & 0xF, revision & 0xF);
}

uint32_t THConfigForm::DetectedVersion(uint32_t krt1Revision) {
    return krt1Revision == 0x20 ? 2 : krt1Revision == 0x10 ? 1 : 0;
}

THConfigForm::THConfigForm(ShellServices& shell, QWidget* parent) : QDialog(parent), shell_(shell) {
    setObjectName(QStringLiteral("HConfigForm"));
    auto T = [this](DialogText t) { return DialogTextOf(language_, t); };
    setWindowTitle(T(DialogText::HConfigCaption));

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(10, 10, 10, 10);
    top->setSpacing(8);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(10);
    top->addLayout(columns);

    // Left: how the programmer is attached and built.
    auto* left = new QVBoxLayout;
    columns->addLayout(left, 1);
    auto radioGroup = [this, left](const char* name, DialogText caption,
                                   std::initializer_list<DialogText> items, QButtonGroup*& group) {
        auto* box = new QGroupBox(DialogTextOf(language_, caption), this);
        box->setObjectName(QString::fromLatin1(name));
        auto* layout = new QVBoxLayout(box);
        layout->setSpacing(2);
        group = new QButtonGroup(box);
        int id = 0;
        for (DialogText item : items) {
            auto* radio = new QRadioButton(DialogTextOf(language_, item), box);
            radio->setObjectName(QStringLiteral("%1Item%2").arg(QLatin1String(name)).arg(id));
            group->addButton(radio, id++);
            layout->addWidget(radio);
        }
        left->addWidget(box);
        return box;
    };
    RadioGroup1 = radioGroup("RadioGroup1", DialogText::RadioGroup1,
                             {DialogText::Port378, DialogText::Port278, DialogText::Port3BC},
                             RadioGroup1Items);
    RadioGroup2 = radioGroup("RadioGroup2", DialogText::RadioGroup2, {DialogText::Ver1, DialogText::Ver2},
                             RadioGroup2Items);
    RadioGroup1->setToolTip(QString::fromUtf8("KRTをつないだプリンタポートのベースアドレス"));
    EditPortBase = new QLineEdit(RadioGroup1);
    EditPortBase->setObjectName(QStringLiteral("EditPortBase"));
    EditPortBase->setMaxLength(6);
    EditPortBase->setFixedWidth(EditPortBase->fontMetrics().horizontalAdvance(QStringLiteral("0xFFF8")) + 16);
    EditPortBase->installEventFilter(this);
    LabelPortBase = new QLabel(RadioGroup1);
    LabelPortBase->setObjectName(QStringLiteral("LabelPortBase"));
    LabelPortBase->setEnabled(false);
    LabelPortBase->setWordWrap(true);
    RadioGroup1->layout()->addWidget(EditPortBase);
    RadioGroup1->layout()->addWidget(LabelPortBase);
    RadioGroup2->setToolTip(QString::fromUtf8("組み立てたKRTの電源回路の版"));
    left->addStretch();
    connect(RadioGroup1Items, &QButtonGroup::idClicked, this, &THConfigForm::RadioGroup1Click);
    connect(RadioGroup2Items, &QButtonGroup::idClicked, this, &THConfigForm::RadioGroup2Click);

    // Right: the crystal and the units' revisions.
    auto* right = new QVBoxLayout;
    columns->addLayout(right, 1);
    GroupBox1 = new QGroupBox(T(DialogText::GroupBox1), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* clockColumn = new QVBoxLayout(GroupBox1);
    clockColumn->setSpacing(2);
    auto* clockRow = new QHBoxLayout;
    clockColumn->addLayout(clockRow);
    Edit1 = new QLineEdit(T(DialogText::Edit1Initial), GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(6);
    Edit1->setFixedWidth(Edit1->fontMetrics().horizontalAdvance(QStringLiteral("00.0000000")) + 12);
    Edit1->setToolTip(QString::fromUtf8("KRTの水晶発振器の周波数 (MHz)"));
    Edit1->installEventFilter(this);
    // Return in the field acts as OK, which sends the clock first (see eventFilter).
    Label2 = new QLabel(T(DialogText::Label2), GroupBox1);
    Label2->setObjectName(QStringLiteral("Label2"));
    clockRow->addWidget(Edit1);
    clockRow->addWidget(Label2);
    clockRow->addStretch();
    LabelClockRange = new QLabel(GroupBox1);
    LabelClockRange->setObjectName(QStringLiteral("LabelClockRange"));
    LabelClockRange->setEnabled(false);
    clockColumn->addWidget(LabelClockRange);
    right->addWidget(GroupBox1);

    auto* revisions = new QGridLayout;
    revisions->setContentsMargins(4, 6, 4, 0);
    revisions->setVerticalSpacing(6);
    auto revisionText = [this](const char* name) {
        auto* text = new QLabel(this);
        text->setObjectName(QString::fromLatin1(name));
        text->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        text->setMinimumWidth(48);
        text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return text;
    };
    Label1 = new QLabel(T(DialogText::Label1), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    StaticText1 = revisionText("StaticText1");
    Label3 = new QLabel(T(DialogText::Label3), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    StaticText2 = revisionText("StaticText2");
    revisions->addWidget(Label1, 0, 0);
    revisions->addWidget(StaticText1, 0, 1);
    revisions->addWidget(Label3, 1, 0);
    revisions->addWidget(StaticText2, 1, 1);
    revisions->setColumnStretch(2, 1);
    right->addLayout(revisions);
    right->addStretch();

    // Below the system's controls: which programmer this program drives.
    GroupConnection = new QGroupBox(this);
    GroupConnection->setObjectName(QStringLiteral("GroupConnection"));
    auto* connection = new QGridLayout(GroupConnection);
    connection->setVerticalSpacing(4);
    ConnectionItems = new QButtonGroup(GroupConnection);
    RadioSimulator = new QRadioButton(GroupConnection);
    RadioSimulator->setObjectName(QStringLiteral("RadioSimulator"));
    RadioPrinterPort = new QRadioButton(GroupConnection);
    RadioPrinterPort->setObjectName(QStringLiteral("RadioPrinterPort"));
    ConnectionItems->addButton(RadioSimulator, 1);
    ConnectionItems->addButton(RadioPrinterPort, 0);
    connect(ConnectionItems, &QButtonGroup::idClicked, this, &THConfigForm::RadioConnectionClick);
    LabelConnection = new QLabel(GroupConnection);
    LabelConnection->setObjectName(QStringLiteral("LabelConnection"));
    LabelConnection->setEnabled(false);
    ButtonBlankChip = new QPushButton(GroupConnection);
    ButtonBlankChip->setObjectName(QStringLiteral("ButtonBlankChip"));
    ButtonBlankChip->setAutoDefault(false);
    connect(ButtonBlankChip, &QPushButton::clicked, this, &THConfigForm::ButtonBlankChipClick);
    LabelBlankChip = new QLabel(GroupConnection);
    LabelBlankChip->setObjectName(QStringLiteral("LabelBlankChip"));
    LabelBlankChip->setWordWrap(true);
    connection->addWidget(RadioSimulator, 0, 0);
    connection->addWidget(RadioPrinterPort, 0, 1);
    connection->addWidget(LabelConnection, 0, 2);
    connection->addWidget(ButtonBlankChip, 1, 0, 1, 2, Qt::AlignLeft);
    connection->addWidget(LabelBlankChip, 1, 2);
    connection->setColumnStretch(2, 1);
    top->addWidget(GroupConnection);

    Button1 = new QPushButton(T(DialogText::Button1), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &THConfigForm::Button1Click);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    top->addLayout(buttons);

    setTabOrder(RadioGroup1Items->button(0), EditPortBase);
    setTabOrder(EditPortBase, RadioGroup2Items->button(0));
    setTabOrder(RadioGroup2Items->button(0), Edit1);
    setTabOrder(Edit1, RadioSimulator);
    setTabOrder(RadioSimulator, ButtonBlankChip);
    setTabOrder(ButtonBlankChip, Button1);

    SetLanguage(language_);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void THConfigForm::SetLanguage(uint32_t language) {
    language_ = language;
    auto T = [this](DialogText t) { return DialogTextOf(language_, t); };
    setWindowTitle(T(DialogText::HConfigCaption));
    RadioGroup1->setTitle(T(DialogText::RadioGroup1));
    RadioGroup2->setTitle(T(DialogText::RadioGroup2));
    RadioGroup2Items->button(0)->setText(T(DialogText::Ver1));
    RadioGroup2Items->button(1)->setText(T(DialogText::Ver2));
    GroupBox1->setTitle(T(DialogText::GroupBox1));
    Label1->setText(T(DialogText::Label1));
    Label3->setText(T(DialogText::Label3));
    RadioGroup1->setToolTip(T(DialogText::PortTip));
    RadioGroup2->setToolTip(T(DialogText::VersionTip));
    Edit1->setToolTip(T(DialogText::ClockTip));
    GroupConnection->setTitle(T(DialogText::ConnectionGroup));
    RadioSimulator->setText(T(DialogText::RadioSimulator));
    RadioPrinterPort->setText(T(DialogText::RadioPrinterPort));
    LabelConnection->setText(T(DialogText::ConnectionHint));
    ButtonBlankChip->setText(T(DialogText::ButtonBlankChip));
    ButtonBlankChip->setToolTip(T(DialogText::BlankChipHint));
    LabelClockRange->setText(ClockRangeText(DialogText::ClockRange));
    LabelPortBase->setText(T(DialogText::PortBaseHint));
    EditPortBase->setToolTip(T(DialogText::PortBaseHint));
    UpdateConnectionGroup();
}

QString THConfigForm::ClockRangeText(DialogText text) const {
    return DialogTextOf(language_, text).arg(TextOfClock(kLowestClockHz), TextOfClock(kHighestClockHz));
}

void THConfigForm::RefuseClock() {
    if (refusing_) return;
    refusing_ = true;
    Prompter::Current().Box(this, ClockRangeText(DialogText::ClockRefused), windowTitle(), QMessageBox::Ok,
                            QMessageBox::Warning);
    refusing_ = false;
    Edit1->setFocus();
    Edit1->selectAll();
}

uint32_t THConfigForm::Request(uint8_t code, uint32_t value) {
    LinkRequest request;
    request.code = code;
    request.parameter = value;
    shell_.Send(request);
    return request.resultValue;
}

void THConfigForm::WriteSetting(const char* name, int32_t value) {
    // A store that cannot be written leaves the value to the link for this run.
    SettingsStore store;
    if (store.Open(QString::fromLatin1(kSettingsKey), true)) store.WriteInt(QString::fromLatin1(name), value);
    store.Close();
}

void THConfigForm::FormActivate() {
    const uint32_t krt1 = Request(REQ_GET_KRT1_REVISION);
    StaticText1->setText(TextOfRevision(krt1));
    StaticText2->setText(TextOfRevision(Request(REQ_GET_KRT2_REVISION)));
    // A first run has no clock and no power circuit yet: the usual crystal
    // and the circuit that detection implies are chosen for the user to confirm.
    if (Request(REQ_GET_CLOCK) == 0) Request(REQ_SET_CLOCK, kUsualClockHz);
    const uint32_t version = Request(REQ_GET_POWER_CIRCUIT);
    if (version != 1 && version != 2 && DetectedVersion(krt1) != 0) Request(REQ_SET_POWER_CIRCUIT, DetectedVersion(krt1));
    const QString clock = TextOfClock(Request(REQ_GET_CLOCK));
    // The limit is for typing; the shown value is never cut.
    Edit1->setMaxLength(std::max(6, static_cast<int>(clock.size())));
    Edit1->setText(clock);
    const uint32_t base = Request(REQ_GET_PORT_BASE);
    SelectItem(RadioGroup1Items, PortItem(base));
    EditPortBase->setText(TextOfPort(base));
    EditPortBase->setModified(false);
    SelectItem(RadioGroup2Items, VersionItem(Request(REQ_GET_POWER_CIRCUIT)));

    SettingsStore store;
    store.Open(QString::fromLatin1(kSettingsKey), false);
    // Absent, the program starts on the simulated programmer.
    const int32_t useSimulator = store.ReadInt(QString::fromLatin1(kUseSimulator), 1);
    store.Close();
    SelectItem(ConnectionItems, useSimulator ? 1 : 0);
    UpdateConnectionGroup();
}

void THConfigForm::UpdateConnectionGroup() {
    const bool simulator = shell_.SimulatorInUse();
    ButtonBlankChip->setEnabled(simulator && !shell_.OperationRunning());
    // Without the simulator the label says why the button is off; otherwise
    // it keeps the last blanking's message.
    if (!simulator) LabelBlankChip->setText(DialogTextOf(language_, DialogText::SimulatorNotInUse));
    else if (!blankMessageShown_) LabelBlankChip->clear();
}

void THConfigForm::RadioGroup1Click() {
    const uint32_t base = PortOfItem(RadioGroup1Items->checkedId());
    WriteSetting(kLprPort, static_cast<int32_t>(base));
    Request(REQ_SET_PORT_BASE, base);
    EditPortBase->setText(TextOfPort(base));
    EditPortBase->setModified(false);
}

bool THConfigForm::EditPortBaseExit() {
    if (refusing_) return false;
    const uint32_t base = PortOfText(EditPortBase->text());
    if (base == 0) {
        refusing_ = true;
        Prompter::Current().Box(this, DialogTextOf(language_, DialogText::PortBaseRefused),
                                QString::fromLatin1(kMessageCaption), QMessageBox::Ok, QMessageBox::Warning);
        refusing_ = false;
        EditPortBase->setFocus();
        EditPortBase->selectAll();
        return false;
    }
    WriteSetting(kLprPort, static_cast<int32_t>(base));
    Request(REQ_SET_PORT_BASE, base);
    SelectItem(RadioGroup1Items, PortItem(base));
    EditPortBase->setText(TextOfPort(base));
    EditPortBase->setModified(false);
    return true;
}

void THConfigForm::RadioGroup2Click() {
    const uint32_t version = VersionOfItem(RadioGroup2Items->checkedId());
    WriteSetting(kPwrCircuitVersion, static_cast<int32_t>(version));
    Request(REQ_SET_POWER_CIRCUIT, version);
}

bool THConfigForm::Edit1Exit() {
    if (refusing_) return false;
    const uint32_t hz = ClockOfText(Edit1->text());
    if (!ClockAccepted(hz)) {
        RefuseClock();
        return false;
    }
    Request(REQ_SET_CLOCK, hz);
    Edit1->setModified(false);
    return true;
}

void THConfigForm::Button1Click() {
    if (closing_ || refusing_) return;
    // A frequency typed and confirmed with Return or Escape has not left the
    // edit yet. The dialog stays open on a clock that the start-up would
    // refuse, the one it was opened with included.
    if ((Edit1->isModified() || ClockOfText(Edit1->text()) != Request(REQ_GET_CLOCK)) && !Edit1Exit()) return;
    if (EditPortBase->isModified() && !EditPortBaseExit()) return;
    if (!ClockAccepted(Request(REQ_GET_CLOCK))) {
        RefuseClock();
        return;
    }
    // A version left unchosen would be saved as 0, which the start-up
    // refuses: the first-run windows would then return at every start.
    const uint32_t version = Request(REQ_GET_POWER_CIRCUIT);
    if (RadioGroup2Items->checkedId() < 0 || (version != 1 && version != 2)) {
        refusing_ = true;
        Prompter::Current().Box(this, DialogTextOf(language_, DialogText::VersionRequired), windowTitle(),
                                QMessageBox::Ok, QMessageBox::Warning);
        refusing_ = false;
        RadioGroup2->setFocus();
        return;
    }
    closing_ = true;
    SettingsStore store;
    if (store.Open(QString::fromLatin1(kSettingsKey), true)) {
        store.WriteInt(QString::fromLatin1(kClockFreq), static_cast<int32_t>(Request(REQ_GET_CLOCK)));
        store.WriteInt(QString::fromLatin1(kLprPort), static_cast<int32_t>(Request(REQ_GET_PORT_BASE)));
        store.WriteInt(QString::fromLatin1(kPwrCircuitVersion), static_cast<int32_t>(Request(REQ_GET_POWER_CIRCUIT)));
    }
    store.Close();
    QDialog::accept();
    closing_ = false;
}

void THConfigForm::reject() { Button1Click(); }

void THConfigForm::RadioConnectionClick() {
    const bool simulator = ConnectionItems->checkedId() == 1;
    WriteSetting(kUseSimulator, simulator ? 1 : 0);
    emit PortChoiceChanged(simulator);
}

void THConfigForm::ButtonBlankChipClick() {
    if (!shell_.SimulatorInUse() || shell_.OperationRunning()) return;
    // No is the default: Enter must not erase the chip.
    const auto answer = Prompter::Current().Ask(this, DialogTextOf(language_, DialogText::BlankChipQuestion),
                                                QString::fromLatin1(kMessageCaption),
                                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
    QString message;
    const bool blanked = shell_.BlankSocketChip(message);
    LabelBlankChip->setText(message);
    blankMessageShown_ = true;
    if (blanked) emit SocketChipBlanked();
}

void THConfigForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        // The link carries the language the main window last chose.
        SetLanguage(shell_.Link().language);
        // The blanking's message speaks of the chip as it was then: an
        // operation since may have written it, so a new showing starts
        // without it.
        blankMessageShown_ = false;
        FormActivate();
        if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
}

void THConfigForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible()) FormActivate();
    QDialog::changeEvent(event);
}

bool THConfigForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == EditPortBase && isVisible() && !closing_ && !refusing_) {
        // As the clock: leaving the field sends an accepted base, OK refuses another.
        if (event->type() == QEvent::FocusOut && EditPortBase->isModified() && PortOfText(EditPortBase->text()))
            EditPortBaseExit();
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                Button1Click();
                return true;
            }
        }
    }
    if (watched == Edit1 && isVisible() && !closing_ && !refusing_) {
        // Leaving the field sends a clock the start-up accepts; another is
        // refused (with its message) by OK, not by a change of focus.
        if (event->type() == QEvent::FocusOut && Edit1->isModified() && ClockAccepted(ClockOfText(Edit1->text())))
            Edit1Exit();
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                Button1Click();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace krt
