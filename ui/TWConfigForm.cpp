// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TWConfigForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/Hex.h"
#include "base/TypeCodes.h"
#include "ui/Prompter.h"

namespace krt {

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// How many characters a field takes when typed: every value within its
// bounds, as the user may write it, fits ("999.9us" and "50.0 ms" for a
// pulse width, "100" retries, "12.755" volts).
constexpr int kTimeTyping = 8;
constexpr int kRetryTyping = 3;
constexpr int kSupplyTyping = 6;

std::string Trimmed(const std::string& text) {
    size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = text.find_last_not_of(" \t");
    return text.substr(b, e - b + 1);
}

// Reads the decimal number at the start of text (sign, digits, fraction,
// exponent) without regard to the C locale, which Qt sets from the user's
// environment. Returns the number of characters taken; 0 when none.
size_t LeadingNumber(const std::string& text, double& value) {
    value = 0.0;
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    size_t numberStart = i;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    }
    if (digits == 0) return 0;
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) negativeExponent = text[j++] == '-';
        if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
            i = j;
        }
    }
    const char* first = text.data() + numberStart;
    auto [end, ec] = std::from_chars(first, text.data() + i, value);
    (void)end;
    if (ec == std::errc::result_out_of_range) value = negativeExponent ? 0.0 : HUGE_VAL;
    if (negative) value = -value;
    return i;
}

// A real number from an edit: the leading number; no number reads as 0, and
// one too large for a double as infinite (beyond every bound).
double RealValue(const QString& text) {
    double value = 0.0;
    LeadingNumber(Trimmed(text.toStdString()), value);
    return std::isnan(value) ? 0.0 : value;
}

double Bounded(double value, double high) {
    if (!(value > 0.0)) return 0.0;  // also catches a value that is not a number
    return value >= high ? high : value;
}

int32_t DecimalValue(const QString& text) {
    std::string s = Trimmed(text.toStdString());
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int64_t value = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        value = std::min<int64_t>(value * 10 + (s[i++] - '0'), INT32_MAX);
    }
    return static_cast<int32_t>(negative ? -value : value);
}

QString Hex(uint32_t value, int digits) {
    return QString::asprintf("%0*X", digits, value);
}

// Shortest text that reads back as the same number.
QString ShortestReal(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? QString::fromLatin1(buffer, end - buffer) : QStringLiteral("0");
}

QString GeneralReal(double value, int significant) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general,
                                   significant);
    return ec == std::errc() ? QString::fromLatin1(buffer, end - buffer) : QStringLiteral("0");
}

QLineEdit* ReadOnlyText(QWidget* parent, const char* name) {
    auto* text = new QLineEdit(parent);
    text->setObjectName(QString::fromLatin1(name));
    text->setReadOnly(true);
    // Shown values, not input: out of the tab chain but still selectable.
    text->setFocusPolicy(Qt::ClickFocus);
    return text;
}

}  // namespace

std::string TimeText(double seconds) {
    double shown;
    const char* unit;
    if (seconds < 1e-6) {
        shown = seconds * 1e9;
        unit = "ns";
    } else if (seconds < 0.001) {
        shown = seconds * 1e6;
        unit = "us";
    } else {
        shown = seconds * 1000;
        unit = "ms";
    }
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, shown, std::chars_format::fixed, 1);
    std::string text = ec == std::errc() ? std::string(buffer, end) : std::string("0.0");
    return text + unit;
}

double ParseTimeText(const std::string& text) {
    std::string compact;
    for (char c : text) {
        if (c != ' ' && c != '\t') compact += c;
    }
    double value = 0.0;
    size_t used = LeadingNumber(compact, value);
    if (used == 0 || !std::isfinite(value)) return 0.0;
    std::string unit = compact.substr(used);
    for (char& c : unit) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (unit == "ns") return value * 1e-9;
    if (unit == "us") return value * 1e-6;
    if (unit == "ms") return value * 0.001;
    if (unit == "s") return value;
    return 0.0;
}

TWConfigForm::TWConfigForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("WConfigForm"));
    BuildControls();
    SetLanguage(language_);
    setFixedSize(476, 423);
    Fill();
}

QString TWConfigForm::Text(const TextPair& pair) const { return U(InLanguage(pair, language_)); }

void TWConfigForm::SetLanguage(uint32_t language) {
    language_ = language;
    setWindowTitle(Text(Texts::kCaption));
    for (const auto& [widget, pair] : captions_) {
        const QString text = Text(*pair);
        if (auto* box = qobject_cast<QGroupBox*>(widget)) box->setTitle(text);
        else if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setText(text);
        else if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(text);
    }
    for (const auto& [widget, pair] : tips_) {
        widget->setToolTip(Text(*pair));
        widget->setStatusTip(Text(*pair));
    }
    for (int i = 0; i < ComboWaitmode->count() && i < static_cast<int>(std::size(Texts::kWaitModes)); ++i)
        ComboWaitmode->setItemText(i, Text(Texts::kWaitModes[i]));
    FillNotes();
}

void TWConfigForm::BuildControls() {
    const QFontMetrics metrics = fontMetrics();
    // Room for the characters a field takes, and for a unit's wider letters.
    auto fieldWidth = [&](int characters) {
        return metrics.horizontalAdvance(QString(characters, u'0')) + (characters > 4 ? 18 : 12);
    };
    // Captions and tips are set by SetLanguage.
    auto caption = [&](auto* widget, const TextPair& text) {
        captions_.emplace_back(widget, &text);
        return widget;
    };
    auto edit = [&](const char* name, int characters, const TextPair& hint) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setMaxLength(characters);
        e->setFixedWidth(fieldWidth(characters));
        e->setProperty("krtLength", characters);
        tips_.emplace_back(e, &hint);
        connect(e, &QLineEdit::textChanged, this, &TWConfigForm::EditChange);
        return e;
    };
    // A caption in the window's language, or a text that is the same in both.
    auto label = [&](const TextPair& text, QWidget* buddy = nullptr) {
        auto* l = caption(new QLabel(this), text);
        if (buddy) l->setBuddy(buddy);
        return l;
    };
    auto fixedLabel = [&](const char* text) { return new QLabel(U(text), this); };

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(10, 8, 10, 8);
    top->setSpacing(6);

    // The device as the catalogue names it.
    auto* deviceGroup = caption(new QGroupBox(this), Texts::kDeviceGroup);
    auto* deviceGrid = new QGridLayout(deviceGroup);
    deviceGrid->setContentsMargins(8, 4, 8, 6);
    deviceGrid->setVerticalSpacing(3);
    TextType = ReadOnlyText(deviceGroup, "TextType");
    TextVendor = ReadOnlyText(deviceGroup, "TextVendor");
    TextName = ReadOnlyText(deviceGroup, "TextName");
    TextCode = ReadOnlyText(deviceGroup, "TextCode");
    TextCode->setFixedWidth(fieldWidth(2));
    TextMaxsize = ReadOnlyText(deviceGroup, "TextMaxsize");
    TextMaxsize->setFixedWidth(fieldWidth(8));
    TextPagesize = ReadOnlyText(deviceGroup, "TextPagesize");
    TextPagesize->setFixedWidth(fieldWidth(8));
    LabelBW1 = new QLabel(U(Texts::kUnitByte), deviceGroup);
    LabelBW1->setObjectName(QStringLiteral("LabelBW1"));
    LabelBW2 = new QLabel(U(Texts::kUnitByte), deviceGroup);
    LabelBW2->setObjectName(QStringLiteral("LabelBW2"));

    auto* codeRow = new QHBoxLayout;
    codeRow->addWidget(fixedLabel(Texts::kCodePrefix));
    codeRow->addWidget(TextCode);
    codeRow->addStretch();
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(TextMaxsize);
    sizeRow->addWidget(LabelBW1);
    sizeRow->addStretch();
    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(TextPagesize);
    pageRow->addWidget(LabelBW2);
    pageRow->addStretch();
    CheckPageWrite = caption(new QCheckBox(deviceGroup), Texts::kPageWrite);
    CheckPageWrite->setObjectName(QStringLiteral("CheckPageWrite"));
    tips_.emplace_back(CheckPageWrite, &Texts::kPageWriteTip);
    pageRow->addWidget(CheckPageWrite);

    deviceGrid->addWidget(label(Texts::kType), 0, 0);
    deviceGrid->addWidget(TextType, 0, 1);
    deviceGrid->addWidget(label(Texts::kVendor), 0, 2);
    deviceGrid->addWidget(TextVendor, 0, 3);
    deviceGrid->addWidget(label(Texts::kName), 1, 0);
    deviceGrid->addWidget(TextName, 1, 1);
    deviceGrid->addWidget(label(Texts::kCode), 1, 2);
    deviceGrid->addLayout(codeRow, 1, 3);
    deviceGrid->addWidget(label(Texts::kMaxsize), 2, 0);
    deviceGrid->addLayout(sizeRow, 2, 1);
    deviceGrid->addWidget(label(Texts::kPagesize), 2, 2);
    deviceGrid->addLayout(pageRow, 2, 3);
    deviceGrid->setColumnStretch(1, 1);
    deviceGrid->setColumnStretch(3, 1);
    top->addWidget(deviceGroup);

    // Pulses, retries and supplies on the left; masks and flags on the right.
    auto* middle = new QHBoxLayout;
    middle->setSpacing(8);
    top->addLayout(middle);
    auto* left = new QVBoxLayout;
    left->setSpacing(4);
    middle->addLayout(left);

    auto* timingGroup = caption(new QGroupBox(this), Texts::kTimingGroup);
    auto* timing = new QGridLayout(timingGroup);
    timing->setContentsMargins(8, 4, 8, 6);
    timing->setVerticalSpacing(3);
    EditTpw = edit("EditTpw", 6, Texts::kTpwTip);
    EditTpr = edit("EditTpr", 6, Texts::kTprTip);
    EditRetry = edit("EditRetry", 2, Texts::kRetryTip);
    timing->addWidget(label(Texts::kTpw, EditTpw), 0, 0);
    timing->addWidget(EditTpw, 0, 1);
    timing->addWidget(label(Texts::kTpr, EditTpr), 1, 0);
    timing->addWidget(EditTpr, 1, 1);
    timing->addWidget(label(Texts::kRetry, EditRetry), 2, 0);
    auto* retryRow = new QHBoxLayout;
    retryRow->addWidget(EditRetry);
    retryRow->addWidget(label(Texts::kRetryUnit));
    retryRow->addStretch();
    timing->addLayout(retryRow, 2, 1);
    timing->setColumnStretch(2, 1);
    left->addWidget(timingGroup);

    auto* supplyGroup = caption(new QGroupBox(this), Texts::kSupplyGroup);
    auto* supply = new QGridLayout(supplyGroup);
    supply->setContentsMargins(8, 4, 8, 6);
    supply->setVerticalSpacing(3);
    EditVccR = edit("EditVccR", 4, Texts::kVccReadTip);
    EditVppR = edit("EditVppR", 4, Texts::kVppReadTip);
    EditVccW = edit("EditVccW", 4, Texts::kVccWriteTip);
    EditVppW = edit("EditVppW", 4, Texts::kVppWriteTip);
    supply->addWidget(fixedLabel(Texts::kVcc), 0, 1, 1, 2, Qt::AlignHCenter);
    supply->addWidget(fixedLabel(Texts::kVpp), 0, 3, 1, 2, Qt::AlignHCenter);
    auto supplyRow = [&](int row, const TextPair& rowCaption, QLineEdit* vcc, QLineEdit* vpp) {
        supply->addWidget(label(rowCaption, vcc), row, 0);
        supply->addWidget(vcc, row, 1);
        supply->addWidget(fixedLabel(Texts::kVolt), row, 2);
        supply->addWidget(vpp, row, 3);
        supply->addWidget(fixedLabel(Texts::kVolt), row, 4);
    };
    supplyRow(1, Texts::kRead, EditVccR, EditVppR);
    supplyRow(2, Texts::kWrite, EditVccW, EditVppW);
    supply->setColumnStretch(5, 1);
    left->addWidget(supplyGroup);
    CheckIdCheck = caption(new QCheckBox(this), Texts::kIdCheck);
    CheckIdCheck->setObjectName(QStringLiteral("CheckIdCheck"));
    tips_.emplace_back(CheckIdCheck, &Texts::kIdCheckTip);
    left->addStretch();

    auto* right = new QVBoxLayout;
    right->setSpacing(2);  // the flags and four check boxes within the fixed height
    middle->addLayout(right);
    auto* flagsGroup = caption(new QGroupBox(this), Texts::kFlagsGroup);
    flagsGroup->setObjectName(QStringLiteral("GroupBox1"));
    auto* flags = new QGridLayout(flagsGroup);
    flags->setContentsMargins(8, 4, 8, 6);
    flags->setHorizontalSpacing(4);
    flags->setVerticalSpacing(3);
    const char* andNames[5] = {"EditAHAND", "EditAMAND", "EditALAND", "EditDHAND", "EditDLAND"};
    const char* orNames[5] = {"EditAHOR", "EditAMOR", "EditALOR", "EditDHOR", "EditDLOR"};
    QLineEdit* ands[5];
    QLineEdit* ors[5];
    for (int i = 0; i < 5; ++i) ands[i] = edit(andNames[i], 2, Texts::kAndTip);
    for (int i = 0; i < 5; ++i) ors[i] = edit(orNames[i], 2, Texts::kOrTip);
    flags->addWidget(fixedLabel(Texts::kAnd), 1, 0);
    flags->addWidget(fixedLabel(Texts::kOr), 2, 0);
    for (int i = 0; i < 5; ++i) {
        flags->addWidget(fixedLabel(Texts::kMaskColumns[i]), 0, i + 1, Qt::AlignHCenter);
        flags->addWidget(ands[i], 1, i + 1);
        flags->addWidget(ors[i], 2, i + 1);
    }
    EditAHAND = ands[0], EditAMAND = ands[1], EditALAND = ands[2], EditDHAND = ands[3], EditDLAND = ands[4];
    EditAHOR = ors[0], EditAMOR = ors[1], EditALOR = ors[2], EditDHOR = ors[3], EditDLOR = ors[4];
    right->addWidget(flagsGroup);

    CheckVerify = caption(new QCheckBox(this), Texts::kVerify);
    CheckVerify->setObjectName(QStringLiteral("CheckVerify"));
    CheckWordSize = caption(new QCheckBox(this), Texts::kWordSize);
    CheckWordSize->setObjectName(QStringLiteral("CheckWordSize"));
    CheckSwap = caption(new QCheckBox(this), Texts::kSwap);
    CheckSwap->setObjectName(QStringLiteral("CheckSwap"));
    for (QCheckBox* box : {CheckVerify, CheckWordSize, CheckSwap, CheckIdCheck, CheckPageWrite}) {
        connect(box, &QCheckBox::toggled, this, &TWConfigForm::EditChange);
    }
    connect(CheckWordSize, &QCheckBox::toggled, this, &TWConfigForm::CheckWordSizeClick);
    right->addWidget(CheckVerify);
    right->addWidget(CheckWordSize);
    right->addWidget(CheckSwap);
    CheckChangedOnly = caption(new QCheckBox(this), Texts::kChangedOnly);
    CheckChangedOnly->setObjectName(QStringLiteral("CheckChangedOnly"));
    tips_.emplace_back(CheckChangedOnly, &Texts::kChangedOnlyTip);
    connect(CheckChangedOnly, &QCheckBox::toggled, this, &TWConfigForm::EditChange);
    right->addWidget(CheckChangedOnly);

    ComboWaitmode = new QComboBox(this);
    ComboWaitmode->setObjectName(QStringLiteral("ComboWaitmode"));
    for (size_t i = 0; i < std::size(Texts::kWaitModes); ++i) ComboWaitmode->addItem(QString());
    tips_.emplace_back(ComboWaitmode, &Texts::kWaitModeTip);
    connect(ComboWaitmode, &QComboBox::currentIndexChanged, this, &TWConfigForm::EditChange);
    auto* waitRow = new QHBoxLayout;
    waitRow->addWidget(label(Texts::kWaitMode, ComboWaitmode));
    waitRow->addWidget(ComboWaitmode, 1);
    right->addLayout(waitRow);
    right->addStretch();

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setFocusPolicy(Qt::ClickFocus);
    tips_.emplace_back(Memo1, &Texts::kNotes);
    Memo1->setMinimumHeight(metrics.lineSpacing() * 3 + 10);
    top->addWidget(Memo1, 1);

    Button2 = caption(new QPushButton(this), Texts::kApply);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button1 = caption(new QPushButton(this), Texts::kClose);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2->setDefault(true);
    connect(Button2, &QPushButton::clicked, this, &TWConfigForm::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &TWConfigForm::Button1Click);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CheckIdCheck);  // in the buttons' row: the window's height is fixed
    buttons->addStretch();
    buttons->addWidget(Button2);
    buttons->addWidget(Button1);
    top->addLayout(buttons);

    // Reading order: timing and supplies, masks row by row, flags, buttons.
    QWidget* order[] = {EditTpw,   EditTpr,   EditRetry, EditVccR,    EditVppR,      EditVccW,
                        EditVppW,  EditAHAND, EditAMAND, EditALAND,   EditDHAND,     EditDLAND,
                        EditAHOR,  EditAMOR,  EditALOR,  EditDHOR,    EditDLOR,      CheckVerify,
                        CheckWordSize, CheckSwap, CheckChangedOnly, CheckPageWrite, ComboWaitmode, CheckIdCheck, Button2, Button1};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void TWConfigForm::SetRecord(DeviceRecord* record) { record_ = record; }

bool TWConfigForm::HasIdentity(const std::string& type) {
    const QString t = QString::fromStdString(type).toUpper();
    return t == QLatin1String("PIC") || t == QLatin1String("FLASH") || t == QLatin1String("GAL");
}

void TWConfigForm::SetEdit(QLineEdit* edit, int length, const QString& text) {
    // The limit is for typing and admits every value within the field's
    // bounds as the user may type it; a longer value (500.0ns from a
    // parameter file) is shown whole, not cut.
    edit->setMaxLength(std::max(length, static_cast<int>(text.size())));
    edit->setText(text);
}

void TWConfigForm::Fill() {
    static const DeviceRecord kEmpty;
    const DeviceRecord& r = record_ ? *record_ : kEmpty;
    filling_ = true;

    TextType->setText(QString::fromStdString(r.type));
    TextVendor->setText(QString::fromStdString(r.manufacture));
    TextName->setText(QString::fromStdString(r.name));
    TextCode->setText(Hex(r.typecode, 2));
    TextMaxsize->setText(Hex(r.maxsize, 4));
    if (r.pagesize > 1) {
        TextPagesize->setText(Hex(r.pagesize, 4));
        TextPagesize->setEnabled(true);
    } else {
        TextPagesize->setText(U(Texts::kNotApplicable));
        TextPagesize->setEnabled(false);
    }

    SetEdit(EditTpw, kTimeTyping, QString::fromStdString(TimeText(r.tpw)));
    SetEdit(EditTpr, kTimeTyping, QString::fromStdString(TimeText(r.tpr)));
    SetEdit(EditRetry, kRetryTyping, QString::number(r.retry));
    SetEdit(EditVccR, kSupplyTyping, ShortestReal(r.VccR));
    SetEdit(EditVccW, kSupplyTyping, ShortestReal(r.VccW));
    SetEdit(EditVppR, kSupplyTyping, ShortestReal(r.VppR));
    SetEdit(EditVppW, kSupplyTyping, GeneralReal(r.VppW, 4));
    SetEdit(EditAHAND, 2, Hex(r.ahand, 2));
    SetEdit(EditAMAND, 2, Hex(r.amand, 2));
    SetEdit(EditALAND, 2, Hex(r.aland, 2));
    SetEdit(EditDHAND, 2, Hex(r.dhand, 2));
    SetEdit(EditDLAND, 2, Hex(r.dland, 2));
    SetEdit(EditAHOR, 2, Hex(r.ahor, 2));
    SetEdit(EditAMOR, 2, Hex(r.amor, 2));
    SetEdit(EditALOR, 2, Hex(r.alor, 2));
    SetEdit(EditDHOR, 2, Hex(r.dhor, 2));
    SetEdit(EditDLOR, 2, Hex(r.dlor, 2));

    FillNotes();

    CheckWordSize->setChecked(r.wordaccess != 0);
    CheckWordSize->setEnabled(r.bwalt != 0);

    // The box shows the record's mode for every device, so that applying
    // keeps it; only a device with a choice of wait modes may change it.
    ComboWaitmode->setCurrentIndex(r.waitmode <= 4 ? r.waitmode : 0);
    ComboWaitmode->setEnabled(HasWaitModeChoice(r.typecode));

    CheckVerify->setChecked(r.verify != 0);

    // Only the PIC, the 28F flash and the GAL can say what they are; for the
    // others the box keeps the record's value, disabled.
    CheckIdCheck->setChecked(r.idcheck != 0);
    CheckIdCheck->setEnabled(HasIdentity(r.type));
    // Page write is a choice of two-wire serial EEPROMs only; other devices
    // show their record's value, disabled, and applying keeps it.
    CheckPageWrite->setChecked(r.pagewrite != 0);
    CheckPageWrite->setEnabled(IsTwoWireType(r.typecode));
    // Only the EEPROM families read a page before writing it.
    const QString type = QString::fromStdString(r.type).toUpper();
    CheckChangedOnly->setChecked(r.changedonly != 0);
    CheckChangedOnly->setEnabled(type == QLatin1String("EEPROM") || type == QLatin1String("SEEPROM"));

    // The swap box keeps the record's value while disabled, so that applying
    // cannot carry another device's choice over.
    CheckSwap->setChecked(r.swap != 0);
    if (r.wordaccess) {
        CheckSwap->setEnabled(true);
        LabelBW1->setText(U(Texts::kUnitWord));
        LabelBW2->setText(U(Texts::kUnitWord));
    } else {
        CheckSwap->setEnabled(false);
        LabelBW1->setText(U(Texts::kUnitByte));
        LabelBW2->setText(U(Texts::kUnitByte));
    }
    filling_ = false;
}

void TWConfigForm::FillNotes() {
    static const DeviceRecord kEmpty;
    const DeviceRecord& r = record_ ? *record_ : kEmpty;
    auto format = [this](const TextPair& pair, unsigned value) {
        return QString::asprintf(InLanguage(pair, language_), value);
    };
    Memo1->clear();
    if (IsTwoWireType(r.typecode)) Memo1->appendPlainText(format(Texts::kControlCode, r.controlcode));
    if (IsThreeWireType(r.typecode)) Memo1->appendPlainText(format(Texts::kAddressLength, r.addrlen));
    if (!r.note.empty()) Memo1->appendPlainText(Text(Texts::kNote) + QString::fromStdString(r.note));
    if (!r.algol.empty()) Memo1->appendPlainText(Text(Texts::kAlgorithm) + QString::fromStdString(r.algol));
}

bool TWConfigForm::Apply() {
    if (!record_) return true;
    // A voltage the programmer cannot supply is refused rather than cut to
    // the bound: 99 V typed for Vpp is a slip, not a wish for 21 V.
    struct Supply {
        QLineEdit* edit;
        double high;
        const TextPair& tip;
    };
    for (const Supply& s : {Supply{EditVccR, 7.5, Texts::kVccReadTip}, Supply{EditVppR, 21.0, Texts::kVppReadTip},
                            Supply{EditVccW, 7.5, Texts::kVccWriteTip}, Supply{EditVppW, 21.0, Texts::kVppWriteTip}}) {
        const double v = RealValue(s.edit->text());
        if (!(v > s.high) && !(v < 0.0)) continue;
        const QString text = QString::asprintf(InLanguage(Texts::kSupplyRefused, language_),
                                               InLanguage(s.tip, language_), s.edit->text().trimmed().toUtf8().constData());
        Prompter::Current().Box(this, text, windowTitle(), QMessageBox::Ok, QMessageBox::Warning);
        s.edit->setFocus();
        s.edit->selectAll();
        return false;
    }
    DeviceRecord& r = *record_;
    r.VccR = Bounded(RealValue(EditVccR->text()), 7.5);
    r.VppR = Bounded(RealValue(EditVppR->text()), 21.0);
    r.VccW = Bounded(RealValue(EditVccW->text()), 7.5);
    r.VppW = Bounded(RealValue(EditVppW->text()), 21.0);
    r.retry = std::clamp(DecimalValue(EditRetry->text()), 0, 100);
    auto boundedTime = [](const QString& text) {
        double t = ParseTimeText(text.toStdString());
        if (!(t > 1e-6)) return 1e-6;
        return t >= 0.05 ? 0.05 : t;
    };
    r.tpw = boundedTime(EditTpw->text());
    r.tpr = boundedTime(EditTpr->text());
    r.wordaccess = CheckWordSize->isChecked() ? 1 : 0;
    auto mask = [](QLineEdit* e) { return static_cast<uint8_t>(ParseHex(e->text().toStdString()) & 0xFF); };
    r.ahand = mask(EditAHAND);
    r.amand = mask(EditAMAND);
    r.aland = mask(EditALAND);
    r.dhand = mask(EditDHAND);
    r.dland = mask(EditDLAND);
    r.ahor = mask(EditAHOR);
    r.amor = mask(EditAMOR);
    r.alor = mask(EditALOR);
    r.dhor = mask(EditDHOR);
    r.dlor = mask(EditDLOR);
    int mode = ComboWaitmode->currentIndex();
    r.waitmode = static_cast<uint8_t>(mode >= 1 && mode <= 4 ? mode : 0);
    r.verify = CheckVerify->isChecked() ? 1 : 0;
    r.swap = CheckSwap->isChecked() ? 1 : 0;
    r.idcheck = CheckIdCheck->isChecked() ? 1 : 0;
    r.pagewrite = CheckPageWrite->isChecked() ? 1 : 0;
    r.changedonly = CheckChangedOnly->isChecked() ? 1 : 0;
    Fill();
    modified_ = false;
    return true;
}

bool TWConfigForm::FormCloseQuery() {
    if (!modified_) return true;
    auto answer = Prompter::Current().Box(this, Text(Texts::kCloseQuestion), Text(Texts::kCloseCaption),
                                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                          QMessageBox::Question);
    if (answer == QMessageBox::Yes) return Apply();
    return answer == QMessageBox::No;
}

void TWConfigForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        modified_ = false;
        QScreen* s = screen();
        if (s) move(s->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
}

// Escape, the close button and the title bar's close all come here.
void TWConfigForm::reject() {
    if (FormCloseQuery()) QDialog::reject();
}

void TWConfigForm::Button2Click() { Apply(); }

void TWConfigForm::Button1Click() { reject(); }

void TWConfigForm::EditChange() {
    if (!filling_) modified_ = true;
}

void TWConfigForm::CheckWordSizeClick() {
    if (filling_) return;
    DeviceRecord empty;
    const DeviceRecord& r = record_ ? *record_ : empty;
    // Only a device that allows both accesses lets the user change it.
    if (!r.bwalt && CheckWordSize->isChecked() != (r.wordaccess != 0)) {
        const bool was = filling_;
        filling_ = true;
        CheckWordSize->setChecked(r.wordaccess != 0);
        filling_ = was;
    }
}

}  // namespace krt
