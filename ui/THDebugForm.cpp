// SPDX-License-Identifier: GPL-3.0-or-later
#include "THDebugForm.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QVBoxLayout>

#include <charconv>
#include <string>

#include "base/Hex.h"
#include "base/Texts.h"
#include "catalogue/DeviceRecord.h"
#include "link/Link.h"
#include "link/Protocol.h"
#include "session/Session.h"

namespace krt {

namespace {

// The window's texts: Japanese as designed, English ones of ours.
constexpr TextPair kDebugCaption{"ハードウェアデバッグ", "Hardware debug"};
constexpr TextPair kVppGroup{"Vpp電圧の調整(&A)", "&Adjust Vpp"};
constexpr TextPair kVccGroup{"Vcc電圧の調整(&B)", "Adjust Vcc (&B)"};
constexpr TextPair kAnyVoltage{"任意電圧", "Any voltage"};
constexpr TextPair kVppPins{"Vpp電圧ピン出力(&P)", "Vpp to &pins"};
constexpr TextPair kVccPins{"Vcc電圧ピン出力(&C)", "Vcc to pins (&C)"};
constexpr TextPair kSupplyOn{"電圧出力", "Supplies on"};
constexpr TextPair kSupplyOff{"出力停止", "Supplies off"};
constexpr TextPair kOutGroup{"KRTへ出力(&O)", "&Output to the KRT"};
constexpr TextPair kOut{"出力", "Output"};
constexpr TextPair kStrobeToo{"#STB信号も出す", "With #STB"};
constexpr TextPair kInGroup{"KRTから入力(&I)", "&Input from the KRT"};
constexpr TextPair kIn{"入力", "Input"};
constexpr TextPair kSend{"送信", "Send"};
constexpr TextPair kPinGroup{"プリンタポートとJTAGピンのチェック", "Printer port and JTAG pin check"};
constexpr TextPair kTdoEnable{"TDO許可(bit4)", "TDO enable(bit4)"};
constexpr TextPair kUnused5{"未使用(bit5)", "unused(bit5)"};
constexpr TextPair kKey6{"キー(bit6)", "key(bit6)"};
constexpr TextPair kUnused7{"未使用(bit7)", "unused(bit7)"};
constexpr TextPair kKrt1Out{"KRT1出力(ACK)", "KRT1 out(ACK)"};
constexpr TextPair kKeyBusy{"キー(BUSY)", "key(BUSY)"};
constexpr TextPair kKeyPe{"キー(PE)", "key(PE)"};
constexpr TextPair kReset{"リセット(&R)", "&Reset"};
constexpr TextPair kClose{"閉じる(&X)", "Close (&X)"};
constexpr TextPair kSentWithOperand{"コマンド%1(0x%2),%3を送信しました。 結果は「%4」です。",
                                    "Sent command %1 (0x%2), %3. The result is \"%4\"."};
constexpr TextPair kSent{"コマンド%1(0x%2)を送信しました。 結果は「%3」です。",
                         "Sent command %1 (0x%2). The result is \"%3\"."};
constexpr TextPair kPortSent{"パラレルポート(%1)に'%2'を送信しました。 結果は「%3」です。",
                             "Sent '%2' to the parallel port (%1). The result is \"%3\"."};
constexpr TextPair kByteRead{"KRTから1バイト読みました。 結果は「%1」です。",
                             "Read one byte from the KRT. The result is \"%1\"."};
constexpr TextPair kPinCheck{"データポートに%1を出力して、ステータス%2が返りました",
                             "Wrote %1 to the data port; the status is %2"};

}  // namespace

namespace {

QLabel* Indicator(QWidget* parent, const char* name) {
    auto* l = new QLabel(QStringLiteral("0"), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    l->setFixedSize(24, 20);
    return l;
}

QLabel* Named(QLabel* l, const char* name) {
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

// A decimal number in its shortest general form (9.5, 7.470703125).
QString ShortestNumber(double v) {
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::general);
    return QString::fromLatin1(text, static_cast<int>(r.ptr - text));
}

// The combo boxes take at most this many characters from the keyboard; the
// scroll bars write the whole number.
void LimitTyping(QComboBox* combo, int characters) {
    auto* validator = new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral(".{0,%1}").arg(characters)), combo);
    combo->lineEdit()->setValidator(validator);
}

uint32_t HexOf(const QLineEdit* edit) { return ParseHex(edit->text().toStdString()); }

}  // namespace

const CommandMnemonic* THDebugForm::CommandOf(const QString& name) {
    const std::string text = name.toStdString();
    for (const CommandMnemonic& c : kCommandMnemonics)
        if (text == c.name) return &c;
    return nullptr;
}

THDebugForm::THDebugForm(Session& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      session_(session) {
    setObjectName(QStringLiteral("HDebugForm"));
    setWindowTitle(QStringLiteral("ハードウェアデバッグ"));
    QFont f(QStringLiteral("ＭＳ ゴシック"));
    f.setPointSize(9);
    setFont(f);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(8, 8, 8, 0);
    top->setSpacing(6);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(8);
    top->addLayout(columns);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    left->setSpacing(6);
    right->setSpacing(6);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    // Supplies.
    auto voltageGroup = [this, left](const char* name, const QString& caption, const char* comboName,
                                     const QStringList& items, const char* barName, const char* labelName,
                                     const char* unitName, QComboBox*& combo, QScrollBar*& bar, QLabel*& label,
                                     QLabel*& unit) {
        auto* box = new QGroupBox(caption, this);
        box->setObjectName(QString::fromLatin1(name));
        auto* g = new QGridLayout(box);
        g->setContentsMargins(8, 4, 8, 6);
        g->setVerticalSpacing(4);
        combo = new QComboBox(box);
        combo->setObjectName(QString::fromLatin1(comboName));
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->addItems(items);
        label = Named(new QLabel(QStringLiteral("任意電圧"), box), labelName);
        unit = Named(new QLabel(QStringLiteral("V"), box), unitName);
        bar = new QScrollBar(Qt::Horizontal, box);
        bar->setObjectName(QString::fromLatin1(barName));
        bar->setRange(0, 255);
        bar->setSingleStep(1);
        bar->setPageStep(16);
        g->addWidget(combo, 0, 0);
        g->addWidget(unit, 0, 1);
        g->addWidget(label, 1, 0, 1, 2);
        g->addWidget(bar, 2, 0, 1, 2);
        left->addWidget(box);
        return box;
    };
    GroupBox1 = voltageGroup("GroupBox1", QStringLiteral("Vpp電圧の調整(&A)"), "ComboBox1",
                             {QStringLiteral("5"), QStringLiteral("12.5"), QStringLiteral("13.7"),
                              QStringLiteral("14.9"), QStringLiteral("16.1")},
                             "ScrollBar1", "Label1", "Label2", ComboBox1, ScrollBar1, Label1, Label2);
    LimitTyping(ComboBox1, 4);
    GroupBox2 = voltageGroup("GroupBox2", QStringLiteral("Vcc電圧の調整(&B)"), "ComboBox2",
                             {QStringLiteral("0"), QStringLiteral("3.3"), QStringLiteral("5"),
                              QStringLiteral("5.15"), QStringLiteral("6"), QStringLiteral("6.25")},
                             "ScrollBar2", "Label3", "Label4", ComboBox2, ScrollBar2, Label3, Label4);

    // The pin outputs of the supplies: shown, never used.
    auto* pins = new QHBoxLayout;
    RadioGroup1 = new QGroupBox(QStringLiteral("Vpp電圧ピン出力(&P)"), this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup2 = new QGroupBox(QStringLiteral("Vcc電圧ピン出力(&C)"), this);
    RadioGroup2->setObjectName(QStringLiteral("RadioGroup2"));
    for (QGroupBox* g : {RadioGroup1, RadioGroup2}) {
        g->setEnabled(false);
        g->setMinimumHeight(40);
        pins->addWidget(g);
    }
    left->addLayout(pins);
    auto* supplyButtons = new QHBoxLayout;
    Button1 = new QPushButton(QStringLiteral("電圧出力"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("出力停止"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    for (QPushButton* b : {Button1, Button2}) {
        b->setEnabled(false);
        supplyButtons->addWidget(b);
    }
    left->addLayout(supplyButtons);
    left->addStretch();

    // A raw byte to the data register.
    GroupBox3 = new QGroupBox(QStringLiteral("KRTへ出力(&O)"), this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    {
        auto* g = new QHBoxLayout(GroupBox3);
        g->setContentsMargins(8, 4, 8, 6);
        Edit1 = new QLineEdit(QStringLiteral("00"), GroupBox3);
        Edit1->setObjectName(QStringLiteral("Edit1"));
        Edit1->setMaxLength(2);
        Edit1->setFixedWidth(36);
        Button3 = new QPushButton(QStringLiteral("出力"), GroupBox3);
        Button3->setObjectName(QStringLiteral("Button3"));
        CheckBox1 = new QCheckBox(QStringLiteral("#STB信号も出す"), GroupBox3);
        CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
        CheckBox1->setChecked(true);
        CheckBox1->setEnabled(false);
        g->addWidget(Edit1);
        g->addWidget(Button3);
        g->addWidget(CheckBox1);
        g->addStretch();
    }
    right->addWidget(GroupBox3);

    // One byte from the programmer.
    GroupBox4 = new QGroupBox(QStringLiteral("KRTから入力(&I)"), this);
    GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
    {
        auto* g = new QHBoxLayout(GroupBox4);
        g->setContentsMargins(8, 4, 8, 6);
        Button4 = new QPushButton(QStringLiteral("入力"), GroupBox4);
        Button4->setObjectName(QStringLiteral("Button4"));
        StaticText1 = new QLabel(GroupBox4);
        StaticText1->setObjectName(QStringLiteral("StaticText1"));
        StaticText1->setFrameShape(QFrame::Panel);
        StaticText1->setFrameShadow(QFrame::Sunken);
        StaticText1->setFixedSize(36, 22);
        StaticText1->setAlignment(Qt::AlignCenter);
        g->addWidget(Button4);
        g->addWidget(StaticText1);
        g->addStretch();
    }
    right->addWidget(GroupBox4);

    // One programmer command.
    GroupBox5 = new QGroupBox(QStringLiteral("KRT command (&M)"), this);
    GroupBox5->setObjectName(QStringLiteral("GroupBox5"));
    {
        auto* g = new QHBoxLayout(GroupBox5);
        g->setContentsMargins(8, 4, 8, 6);
        ComboBox3 = new QComboBox(GroupBox5);
        ComboBox3->setObjectName(QStringLiteral("ComboBox3"));
        ComboBox3->setEditable(true);
        ComboBox3->setInsertPolicy(QComboBox::NoInsert);
        ComboBox3->setMaxVisibleItems(18);
        for (const CommandMnemonic& c : kCommandMnemonics) ComboBox3->addItem(QString::fromLatin1(c.name));
        ComboBox3->setMinimumContentsLength(9);
        Edit2 = new QLineEdit(QStringLiteral("00"), GroupBox5);
        Edit2->setObjectName(QStringLiteral("Edit2"));
        Edit2->setMaxLength(2);
        Edit2->setFixedWidth(36);
        Button5 = new QPushButton(QStringLiteral("送信"), GroupBox5);
        Button5->setObjectName(QStringLiteral("Button5"));
        g->addWidget(ComboBox3, 1);
        g->addWidget(Edit2);
        g->addWidget(Button5);
    }
    right->addWidget(GroupBox5);

    // The pin check.
    GroupBox6 = new QGroupBox(QStringLiteral("プリンタポートとJTAGピンのチェック"), this);
    GroupBox6->setObjectName(QStringLiteral("GroupBox6"));
    {
        auto* g = new QGridLayout(GroupBox6);
        g->setContentsMargins(8, 4, 8, 6);
        g->setHorizontalSpacing(6);
        g->setVerticalSpacing(2);
        const char* captions[8] = {"TDI(bit0)", "TCK(bit1)", "TMS(bit2)", "INHIBIT(bit3)",
                                   "TDO許可(bit4)", "未使用(bit5)", "キー(bit6)", "未使用(bit7)"};
        QCheckBox** boxes[8] = {&CheckBox2, &CheckBox3, &CheckBox4, &CheckBox5,
                                &CheckBox6, &CheckBox7, &CheckBox8, &CheckBox9};
        for (int i = 0; i < 8; ++i) {
            *boxes[i] = new QCheckBox(QString::fromUtf8(captions[i]), GroupBox6);
            (*boxes[i])->setObjectName(QStringLiteral("CheckBox%1").arg(i + 2));
            g->addWidget(*boxes[i], i / 4, i % 4);
            connect(*boxes[i], &QCheckBox::clicked, this, &THDebugForm::PinCheckClick);
        }
        const char* labels[5] = {"KRT1出力(ACK)", "キー(BUSY)", "キー(PE)", "TDO(SLCT)", "PWR(#ERROR)"};
        QLabel** names[5] = {&Label9, &Label10, &Label11, &Label12, &Label13};
        QLabel** values[5] = {&StaticText2, &StaticText3, &StaticText4, &StaticText5, &StaticText6};
        auto* indicators = new QHBoxLayout;
        indicators->setSpacing(4);
        for (int i = 0; i < 5; ++i) {
            *names[i] = new QLabel(QString::fromUtf8(labels[i]), GroupBox6);
            (*names[i])->setObjectName(QStringLiteral("Label%1").arg(9 + i));
            *values[i] = Indicator(GroupBox6, QStringLiteral("StaticText%1").arg(2 + i).toLatin1().constData());
            for (QLabel* l : {*names[i], *values[i]}) l->installEventFilter(this);
            indicators->addWidget(*names[i]);
            indicators->addWidget(*values[i]);
            indicators->addSpacing(6);
        }
        indicators->addStretch();
        g->addLayout(indicators, 2, 0, 1, 4);
    }
    top->addWidget(GroupBox6);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    Button6 = new QPushButton(QStringLiteral("リセット(&R)"), this);
    Button6->setObjectName(QStringLiteral("Button6"));
    Button7 = new QPushButton(QStringLiteral("閉じる(&X)"), this);
    Button7->setObjectName(QStringLiteral("Button7"));
    buttons->addWidget(Button6);
    buttons->addWidget(Button7);
    top->addLayout(buttons);
    // Enter presses no button of its own accord.
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel = new QLabel(StatusBar1);
    StatusPanel->setObjectName(QStringLiteral("StatusPanel"));
    StatusBar1->addWidget(StatusPanel, 1);
    top->addWidget(StatusBar1);

    connect(Button3, &QPushButton::clicked, this, &THDebugForm::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &THDebugForm::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &THDebugForm::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &THDebugForm::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &THDebugForm::Button7Click);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &THDebugForm::ScrollBar1Change);
    connect(ScrollBar2, &QScrollBar::valueChanged, this, &THDebugForm::ScrollBar2Change);

    FormCreate();

    // The combo boxes' change handlers hear the user (a choice from the list
    // or typing), not the texts that the scroll bars write.
    connect(ComboBox1, &QComboBox::activated, this, &THDebugForm::ComboBox1Change);
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, &THDebugForm::ComboBox1Change);
    connect(ComboBox2, &QComboBox::activated, this, &THDebugForm::ComboBox2Change);
    connect(ComboBox2->lineEdit(), &QLineEdit::textEdited, this, &THDebugForm::ComboBox2Change);
    connect(ComboBox3, &QComboBox::currentTextChanged, this, &THDebugForm::ComboBox3Change);

    // Typed names and voltages are taken as typed, not completed from the lists.
    for (QComboBox* c : {ComboBox1, ComboBox2, ComboBox3}) c->setCompleter(nullptr);

    setFixedSize(sizeHint().expandedTo(QSize(620, 0)));
}

void THDebugForm::FormCreate() {
    ComboBox1->setCurrentIndex(0);
    ComboBox2->setCurrentIndex(0);
    ComboBox3->setCurrentIndex(0);
    comboUpdate_ = false;
}

int THDebugForm::exec() {
    if (!CanOpen()) return QDialog::Rejected;
    return QDialog::exec();
}

void THDebugForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        ApplyLanguage();
        FormActivate();
    }
}

QString THDebugForm::Text(const TextPair& pair) const {
    return QString::fromUtf8(InLanguage(pair, session_.link.language));
}

void THDebugForm::ApplyLanguage() {
    setWindowTitle(Text(kDebugCaption));
    const std::pair<QWidget*, const TextPair*> texts[] = {
        {GroupBox1, &kVppGroup},  {GroupBox2, &kVccGroup},  {Label1, &kAnyVoltage},    {Label3, &kAnyVoltage},
        {RadioGroup1, &kVppPins}, {RadioGroup2, &kVccPins}, {Button1, &kSupplyOn},     {Button2, &kSupplyOff},
        {GroupBox3, &kOutGroup},  {Button3, &kOut},         {CheckBox1, &kStrobeToo},  {GroupBox4, &kInGroup},
        {Button4, &kIn},          {Button5, &kSend},        {GroupBox6, &kPinGroup},   {CheckBox6, &kTdoEnable},
        {CheckBox7, &kUnused5},   {CheckBox8, &kKey6},      {CheckBox9, &kUnused7},    {Label9, &kKrt1Out},
        {Label10, &kKeyBusy},     {Label11, &kKeyPe},       {Button6, &kReset},        {Button7, &kClose},
    };
    for (const auto& [widget, pair] : texts) {
        const QString text = Text(*pair);
        if (auto* box = qobject_cast<QGroupBox*>(widget)) box->setTitle(text);
        else if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setText(text);
        else if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(text);
    }
}

void THDebugForm::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible()) FormActivate();
}

uint8_t THDebugForm::Send(uint8_t code, uint32_t parameter, uint32_t* value) {
    LinkRequest request;
    request.code = code;
    request.parameter = parameter;
    DeviceRecord empty;
    const uint8_t result = session_.Send(request, empty);
    if (value) *value = request.resultValue;
    return result;
}

QString THDebugForm::Result(uint8_t result) const {
    return QString::fromStdString(ResultText(session_.link.language, result));
}

void THDebugForm::SetStatus(const QString& text) { StatusPanel->setText(text); }

QString THDebugForm::StatusText() const { return StatusPanel->text(); }

void THDebugForm::FormActivate() {
    uint32_t version = 0;
    Send(REQ_GET_POWER_CIRCUIT, 0, &version);
    if (version == 1) {
        ScrollBar1->setEnabled(false);
        ScrollBar2->setEnabled(false);
    } else if (version == 2) {
        ScrollBar1->setEnabled(true);
        ScrollBar2->setEnabled(true);
    }
}

void THDebugForm::ComboBox3Change() {
    if (const CommandMnemonic* c = CommandOf(ComboBox3->currentText())) Edit2->setEnabled(c->operand);
}

void THDebugForm::Button5Click() {
    const uint32_t operand = Edit2->isEnabled() ? HexOf(Edit2) : 0;
    const QString name = ComboBox3->currentText();
    const CommandMnemonic* c = CommandOf(name);
    const uint8_t code = c ? c->request : static_cast<uint8_t>(REQ_RESET);
    const unsigned opcode = c ? c->opcode : 0x00;
    const uint8_t result = Send(code, operand);
    if (Edit2->isEnabled())
        SetStatus(Text(kSentWithOperand)
                      .arg(name, QString::asprintf("%02X", opcode), QString::asprintf("%02X", operand),
                           Result(result)));
    else
        SetStatus(Text(kSent)
                      .arg(name, QString::asprintf("%02X", opcode), Result(result)));
}

void THDebugForm::Button3Click() {
    uint32_t base = 0;
    Send(REQ_GET_PORT_BASE, 0, &base);
    const uint32_t byte = HexOf(Edit1);
    const uint8_t result = Send(REQ_PORT_WRITE_DATA, byte);
    SetStatus(Text(kPortSent)
                  .arg(QString::asprintf("%X", base), QString::asprintf("%02X", byte), Result(result)));
}

void THDebugForm::Button4Click() {
    uint32_t value = 0;
    const uint8_t result = Send(REQ_READ_REPLY, 0, &value);
    StaticText1->setText(QString::asprintf("%02X", value));
    SetStatus(Text(kByteRead).arg(Result(result)));
}

void THDebugForm::PinCheckClick() {
    const QCheckBox* boxes[8] = {CheckBox2, CheckBox3, CheckBox4, CheckBox5,
                                 CheckBox6, CheckBox7, CheckBox8, CheckBox9};
    uint32_t value = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (boxes[bit]->isChecked()) value |= 1u << bit;
    Send(REQ_PORT_WRITE_DATA, value);
    uint32_t status = 0;
    Send(REQ_PORT_READ_STATUS, 0, &status);
    SetStatus(Text(kPinCheck).arg(QString::asprintf("%02X", value), QString::asprintf("%02X", status)));
    auto bit = [status](int n) { return (status >> n) & 1u ? QStringLiteral("1") : QStringLiteral("0"); };
    StaticText2->setText(bit(6));
    StaticText3->setText((status >> 7) & 1u ? QStringLiteral("0") : QStringLiteral("1"));
    StaticText4->setText(bit(5));
    StaticText5->setText(bit(4));
    StaticText6->setText(bit(3));
}

void THDebugForm::ScrollBar1Change() {
    if (comboUpdate_) return;
    const double volts = ScrollBar1->value() / 256.0 * 19.0;
    ComboBox1->setEditText(ShortestNumber(volts));
    bool ok = false;
    const double back = ComboBox1->currentText().toDouble(&ok);
    // Without a port no supply can be set (the requests say so with result 7).
    if (ok && session_.IsOpen()) session_.link.SetVpp(static_cast<float>(back));
}

void THDebugForm::ScrollBar2Change() {
    if (comboUpdate_) return;
    const double volts = ScrollBar2->value() / 256.0 * 7.5;
    ComboBox2->setEditText(ShortestNumber(volts));
    bool ok = false;
    const double back = ComboBox2->currentText().toDouble(&ok);
    if (ok && session_.IsOpen()) session_.link.SetVcc(static_cast<float>(back));
}

namespace {

// The scroll bar's place of a voltage typed or chosen in a combo box; a
// text that is no number leaves it.
void MoveTo(QScrollBar* bar, const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok) return;
    const double position = v / 21.5 * 255.0;
    bar->setValue(position >= 255.0 ? 255 : position <= 0.0 ? 0 : static_cast<int>(position));
}

}  // namespace

void THDebugForm::ComboBox1Change() {
    comboUpdate_ = true;
    MoveTo(ScrollBar1, ComboBox1->currentText());
    comboUpdate_ = false;
}

void THDebugForm::ComboBox2Change() {
    comboUpdate_ = true;
    MoveTo(ScrollBar2, ComboBox2->currentText());
    comboUpdate_ = false;
}

void THDebugForm::Button6Click() { Send(REQ_RESET); }

void THDebugForm::Button7Click() { close(); }

bool THDebugForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        for (QLabel* l : {Label9, Label10, Label11, Label12, Label13, StaticText2, StaticText3, StaticText4,
                          StaticText5, StaticText6})
            if (watched == l) {
                PinCheckClick();
                return true;
            }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace krt
