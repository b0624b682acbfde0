// SPDX-License-Identifier: GPL-3.0-or-later
#include "TForm3.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QTableWidget>

#include "base/Hex.h"
#include "base/Texts.h"
#include "session/Session.h"

namespace krt {

namespace {

constexpr int kWidth = 612;
// The design's 359 pixels and a row for Find.
constexpr int kHeight = 359 + 32;
// Rows of 16 pixels as the grid's design gives them, plus the grid line,
// which a Qt row holds inside its height.
constexpr int kRowHeight = 16 + 1;
constexpr int kGridRows = kDumpRows + 1;

// The find row's texts.
constexpr TextPair kFindLabel{"検索(&F)", "&Find"};
constexpr TextPair kFindNext{"次へ(&N)", "&Next"};
constexpr TextPair kFindPrevious{"前へ(&P)", "&Previous"};
constexpr TextPair kFindHint{
    "16進数のバイト列（DE AD）か文字列（\"DEAD\" のように引用符で囲むと文字列）。PLDでは 0 と 1 のヒューズ。F3 で次、Shift+F3 で前。",
    "Hex bytes (DE AD) or text (in double quotes it is always text). In the PLD view, fuses as 0 and 1. F3 next, "
    "Shift+F3 previous."};
// The window's own texts: the Japanese ones in Japanese, ours in English.
constexpr TextPair kCaption{"バッファーのダンプ", "Buffer dump"};
constexpr TextPair kAsWords{"16bitとして扱う", "Show as 16-bit words"};
constexpr TextPair kCloseButton{"閉じる", "Close"};
constexpr TextPair kFindPlaceholder{"DE AD か \"文字列\"", "DE AD or \"text\""};
constexpr TextPair kFoundAt{"%1 で一致", "At %1"};
constexpr TextPair kFoundWrapped{"%1 で一致（折り返し）", "At %1 (wrapped)"};
constexpr TextPair kNotFound{"見つかりません", "Not found"};
constexpr TextPair kBadPattern{"16進数か文字列を", "Type hex or text"};
constexpr TextPair kBadFuses{"ヒューズは 0 と 1 で", "Fuses are 0 and 1"};

QString T(const TextPair& pair, uint32_t language) { return QString::fromUtf8(InLanguage(pair, language)); }

}  // namespace

TForm3::TForm3(Session& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), session_(session) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("バッファーのダンプ"));
    QFont f(QStringLiteral("ＭＳ ゴシック"));
    f.setPointSize(9);
    setFont(f);

    StringGrid1 = new QTableWidget(kGridRows, kDumpMaxColumns, this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setWordWrap(false);
    StringGrid1->setTextElideMode(Qt::ElideNone);
    StringGrid1->verticalHeader()->setMinimumSectionSize(kRowHeight);
    StringGrid1->verticalHeader()->setDefaultSectionSize(kRowHeight);
    StringGrid1->horizontalHeader()->setMinimumSectionSize(1);
    QFont cells(QStringLiteral("ＭＳ ゴシック"));
    cells.setPixelSize(12);
    cells.setStyleHint(QFont::Monospace);
    StringGrid1->setFont(cells);
    // Row 0 and column 0 are the grid's fixed header cells.
    const QBrush fixed = palette().brush(QPalette::Button);
    for (int r = 0; r < kGridRows; ++r) {
        StringGrid1->setRowHeight(r, kRowHeight);
        for (int c = 0; c < kDumpMaxColumns; ++c) {
            auto* item = new QTableWidgetItem;
            item->setFlags(r == 0 || c == 0 ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (r == 0 || c == 0) item->setBackground(fixed);
            StringGrid1->setItem(r, c, item);
        }
    }
    StringGrid1->setGeometry(8, 8, 576, kGridRows * kRowHeight + 2 * StringGrid1->frameWidth());

    ScrollBar1 = new QScrollBar(Qt::Vertical, this);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setGeometry(586, 8, 18, StringGrid1->height());

    const int y = StringGrid1->geometry().bottom() + 12;
    Label1 = new QLabel(QStringLiteral("&Jump"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, y + 3, 36, 18);
    Edit1 = new QLineEdit(QStringLiteral("000000"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(6);
    Edit1->setGeometry(46, y, 70, 24);
    Edit1->installEventFilter(this);
    Label1->setBuddy(Edit1);

    CheckBox1 = new QCheckBox(QStringLiteral("16bitとして扱う"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(136, y + 2, 150, 20);

    Button2 = new QPushButton(QStringLiteral("H/L SWAP"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(320, y, 90, 25);
    Button1 = new QPushButton(QStringLiteral("閉じる"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(kWidth - 8 - 90, y, 90, 25);
    // Enter belongs to the jump field; Esc closes (the Cancel button).
    for (QPushButton* b : {Button1, Button2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    const int y2 = y + 32;
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(8, y2 + 3, 60, 18);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(70, y2, 150, 24);
    Edit2->installEventFilter(this);
    Label2->setBuddy(Edit2);
    Button3 = new QPushButton(this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(226, y2, 90, 25);
    Button4 = new QPushButton(this);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setGeometry(320, y2, 90, 25);
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(416, y2 + 3, kWidth - 8 - 416, 18);
    for (QPushButton* b : {Button3, Button4}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    auto* next = new QShortcut(QKeySequence(Qt::Key_F3), this);
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(next, &QShortcut::activated, this, &TForm3::FindNext);
    connect(previous, &QShortcut::activated, this, &TForm3::FindPrevious);
    connect(find, &QShortcut::activated, this, [this] {
        Edit2->setFocus();
        Edit2->selectAll();
    });
    connect(Button3, &QPushButton::clicked, this, &TForm3::FindNext);
    connect(Button4, &QPushButton::clicked, this, &TForm3::FindPrevious);
    connect(Edit2, &QLineEdit::textEdited, this, [this] { found_.reset(); });
    SetLanguage(language_);

    // The grid has no scroll bar of its own: its wheel turns ScrollBar1.
    StringGrid1->viewport()->installEventFilter(this);

    connect(ScrollBar1, &QScrollBar::valueChanged, this, &TForm3::ScrollBar1Change);
    connect(CheckBox1, &QCheckBox::clicked, this, &TForm3::CheckBox1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);

    setFixedSize(kWidth, kHeight);
}

void TForm3::SetLanguage(uint32_t language) {
    language_ = language;
    Label2->setText(T(kFindLabel, language));
    Button3->setText(T(kFindNext, language));
    Button4->setText(T(kFindPrevious, language));
    Edit2->setToolTip(T(kFindHint, language));
    Edit2->setPlaceholderText(T(kFindPlaceholder, language));
    setWindowTitle(T(kCaption, language));
    CheckBox1->setText(T(kAsWords, language));
    Button1->setText(T(kCloseButton, language));
    source_.katakana = language == 0;
    Label3->clear();
}

void TForm3::Prepare() {
    found_.reset();
    Label3->clear();
    source_ = DumpSourceOf(session_.record, session_.buffer);
    source_.katakana = language_ == 0;
    const bool words = session_.record.wordaccess != 0;
    CheckBox1->setChecked(words);
    CheckBox1->setEnabled(words);
}

void TForm3::Setup() {
    layout_ = DumpSetup(source_, CheckBox1->isChecked());
    {
        const QSignalBlocker quiet(ScrollBar1);
        ScrollBar1->setMinimum(0);
        ScrollBar1->setMaximum(static_cast<int>(std::min<uint32_t>(layout_.scrollMaximum, INT32_MAX)));
        ScrollBar1->setValue(0);
        ScrollBar1->setPageStep(16);
        ScrollBar1->setSingleStep(1);
    }
    Button2->setEnabled(CheckBox1->isChecked());
    StringGrid1->setColumnCount(layout_.columns);
    for (int c = 0; c < layout_.columns; ++c) StringGrid1->setColumnWidth(c, layout_.widths[static_cast<size_t>(c)]);
    // Items of columns that come back after a narrower view.
    const QBrush fixed = palette().brush(QPalette::Button);
    for (int r = 0; r < kGridRows; ++r)
        for (int c = 0; c < layout_.columns; ++c)
            if (!StringGrid1->item(r, c)) {
                auto* item = new QTableWidgetItem;
                item->setFlags(r == 0 || c == 0 ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                if (r == 0 || c == 0) item->setBackground(fixed);
                StringGrid1->setItem(r, c, item);
            }
    for (int c = 0; c < layout_.columns; ++c)
        StringGrid1->item(0, c)->setText(QString::fromStdString(layout_.headers[static_cast<size_t>(c)]));
}

void TForm3::Fill() {
    DumpFill(source_, layout_, static_cast<uint32_t>(std::max(ScrollBar1->value(), 0)), page_);
    StringGrid1->setUpdatesEnabled(false);
    for (int r = 0; r < kDumpRows; ++r) {
        const auto& row = page_.cells[static_cast<size_t>(r)];
        for (int c = 0; c < layout_.columns; ++c) {
            const QString text = QString::fromUtf8(row[static_cast<size_t>(c)]);
            QTableWidgetItem* item = StringGrid1->item(r + 1, c);
            if (item->text() != text) item->setText(text);
        }
    }
    StringGrid1->setUpdatesEnabled(true);
}

void TForm3::ScrollBar1Change() { Fill(); }

void TForm3::Edit1Exit() {
    const uint32_t position = DumpJumpPosition(layout_, source_, Edit1->text().toStdString());
    ScrollBar1->setValue(static_cast<int>(std::min<uint32_t>(position, INT32_MAX)));
    Fill();
}

void TForm3::CheckBox1Click() {
    Setup();
    Fill();
    Button2->setEnabled(CheckBox1->isChecked());
}

void TForm3::Button2Click() {
    if (!CheckBox1->isChecked()) return;
    // The live buffer: the next write or save uses the swapped words.
    SwapWordBytes(session_.buffer.Exists() ? session_.buffer.data() : nullptr, source_.size, layout_.units);
    Fill();
    session_.BufferChanged();
}

void TForm3::Button1Click() { close(); }

void TForm3::FindNext() { Find(true); }
void TForm3::FindPrevious() { Find(false); }

void TForm3::Find(bool forward) {
    const auto pattern = DumpFindPattern(Edit2->text().toStdString(), layout_.kind);
    if (!pattern) {
        Label3->setText(T(layout_.kind == DumpKind::Fuses ? kBadFuses : kBadPattern, language_));
        return;
    }
    // From the byte after (or before) the last match; first from the top
    // row shown.
    const uint32_t bytesPerUnit = layout_.kind == DumpKind::Words ? 2 : 1;
    uint32_t from = DumpFirstUnit(layout_, source_, static_cast<uint32_t>(std::max(ScrollBar1->value(), 0))) *
                    bytesPerUnit;
    if (found_) {
        if (forward) from = *found_ + 1;
        else from = *found_ == 0 ? (source_.size ? source_.size - 1 : 0) : *found_ - 1;
    }
    const auto at = DumpFind(source_, *pattern, from, forward);
    if (!at) {
        found_.reset();
        Label3->setText(T(kNotFound, language_));
        return;
    }
    const bool wrapped = forward ? *at < from : *at > from;
    found_ = at;
    const QString address = QString::fromStdString(FormatHex6(*at / bytesPerUnit));
    Label3->setText(T(wrapped ? kFoundWrapped : kFoundAt, language_).arg(address));
    ShowByte(*at);
}

void TForm3::ShowByte(uint32_t byte) {
    const uint32_t unit = layout_.kind == DumpKind::Words ? byte / 2 : byte;
    ScrollBar1->setValue(static_cast<int>(DumpPositionOf(layout_, source_, unit)));
    Fill();
    const uint32_t first = DumpFirstUnit(layout_, source_, static_cast<uint32_t>(ScrollBar1->value()));
    const uint32_t perRow = layout_.kind == DumpKind::Bytes   ? 16
                            : layout_.kind == DumpKind::Words ? 8
                                                              : std::max<uint32_t>(source_.lineLength, 1);
    if (unit < first) return;
    const uint32_t row = (unit - first) / perRow + 1;
    const uint32_t column = layout_.kind == DumpKind::Fuses ? 1 : (unit - first) % perRow + 1;
    if (row <= kDumpRows) StringGrid1->setCurrentCell(static_cast<int>(row), static_cast<int>(column));
}

void TForm3::BufferChanged() {
    if (!isVisible()) return;
    // The buffer is the same while the window is open (it is modal); its
    // contents changed.
    source_.buffer = session_.buffer.Exists() ? session_.buffer.data() : nullptr;
    source_.size = session_.buffer.Exists() ? std::min(session_.buffer.size(), session_.record.bufsize) : 0;
    Fill();
}

void TForm3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    Setup();
    Fill();
}

bool TForm3::eventFilter(QObject* watched, QEvent* event) {
    if (watched == StringGrid1->viewport() && event->type() == QEvent::Wheel) {
        QCoreApplication::sendEvent(ScrollBar1, event);
        return true;
    }
    if (watched == Edit2 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            FindNext();
            return true;
        }
    }
    if (watched == Edit1) {
        if (event->type() == QEvent::FocusOut) {
            Edit1Exit();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                Edit1Exit();
                return true;  // consumed
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace krt
