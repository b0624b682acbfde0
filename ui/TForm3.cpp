// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTexts.h"
#include "TForm3.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QFontDatabase>
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
#include "data/BufferChecksum.h"
#include "data/DataBuffer.h"
#include "session/BufferDigests.h"
#include "session/Session.h"

namespace krt {

namespace {

constexpr int kDumpWidth = 612;
// The design's 359 pixels, a row for Find, two for editing and the status line.
constexpr int kHeight = 359 + 32 + 32 + 30 + 22;
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
constexpr TextPair kDumpCaption{"バッファーのダンプ", "Buffer dump"};
constexpr TextPair kAsWords{"16bitとして扱う", "Show as 16-bit words"};
constexpr TextPair kDumpCloseButton{"閉じる", "Close"};
constexpr TextPair kFindPlaceholder{"DE AD か \"文字列\"", "DE AD or \"text\""};
constexpr TextPair kFoundAt{"%1 で一致", "At %1"};
constexpr TextPair kFoundWrapped{"%1 で一致（折り返し）", "At %1 (wrapped)"};
constexpr TextPair kNotFound{"見つかりません", "Not found"};
constexpr TextPair kBadPattern{"16進数か文字列を", "Type hex or text"};
constexpr TextPair kBadFuses{"ヒューズは 0 と 1 で", "Fuses are 0 and 1"};

// The edit rows' texts.
constexpr TextPair kRangeLabel{"範囲(&R)", "&Range"};
constexpr TextPair kFillButton{"埋める", "Fill"};
constexpr TextPair kCopyButton{"コピー先へ", "Copy to"};
constexpr TextPair kSwapButton{"H/L 交換", "Swap H/L"};
constexpr TextPair kReplaceButton{"置換", "Replace"};
constexpr TextPair kUndoButton{"元に戻す", "Undo"};
constexpr TextPair kRedoButton{"やり直し", "Redo"};
constexpr TextPair kEditHint{
    "開始と長さ (16進数、表示の単位)。値: 埋めるバイト列か文字列、コピー先のアドレス、検索欄のバイト列を置き換えるバイト列。"
    "ダンプのセルに 16 進数を、文字の列に文字を入力すると、バッファーが変わります。",
    "Start and length (hex, in the view's units). Value: the bytes or text to fill with, the address to copy to, "
    "or the bytes that replace the Find field's. Type hex digits over a cell, or characters in the text column, "
    "to change the buffer."};
constexpr TextPair kUnsavedEdits{
    "バッファーに保存していない変更があります。変更を捨てますか?",
    "The buffer has edits that are not saved. Discard them?"};

// Changed bytes are drawn in this colour until the next file load or chip read.
const QColor kChangedColour(0xC0, 0x00, 0x00);

bool IsHexText(const QString& text) {
    if (text.size() != 1) return false;
    const QChar c = text[0];
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}


}  // namespace

QString UnsavedEditsText(uint32_t language) { return TextIn(kUnsavedEdits, language); }

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
    Button1->setGeometry(kDumpWidth - 8 - 90, y, 90, 25);
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
    Label3->setGeometry(416, y2 + 3, kDumpWidth - 8 - 416, 18);
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
    const int y3 = y2 + 32;
    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(8, y3 + 3, 60, 18);
    Edit3 = new QLineEdit(QStringLiteral("000000"), this);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    Edit3->setGeometry(70, y3, 62, 24);
    Label4->setBuddy(Edit3);
    Edit4 = new QLineEdit(this);
    Edit4->setObjectName(QStringLiteral("Edit4"));
    Edit4->setGeometry(136, y3, 62, 24);
    Edit5 = new QLineEdit(QStringLiteral("FF"), this);
    Edit5->setObjectName(QStringLiteral("Edit5"));
    Edit5->setGeometry(202, y3, 114, 24);
    Button5 = new QPushButton(this);
    Button5->setObjectName(QStringLiteral("Button5"));
    Button5->setGeometry(320, y3, 68, 25);
    Button6 = new QPushButton(this);
    Button6->setObjectName(QStringLiteral("Button6"));
    Button6->setGeometry(390, y3, 72, 25);
    Button7 = new QPushButton(this);
    Button7->setObjectName(QStringLiteral("Button7"));
    Button7->setGeometry(464, y3, 70, 25);
    Button8 = new QPushButton(this);
    Button8->setObjectName(QStringLiteral("Button8"));
    Button8->setGeometry(536, y3, kDumpWidth - 8 - 536, 25);
    const int y4 = y3 + 32;
    Button9 = new QPushButton(this);
    Button9->setObjectName(QStringLiteral("Button9"));
    Button9->setGeometry(8, y4, 80, 25);
    Button10 = new QPushButton(this);
    Button10->setObjectName(QStringLiteral("Button10"));
    Button10->setGeometry(92, y4, 80, 25);
    Label5 = new QLabel(this);
    Label5->setObjectName(QStringLiteral("Label5"));
    // An edit's message may be long: it wraps onto a second line.
    Label5->setGeometry(178, y4 - 2, kDumpWidth - 8 - 178, 32);
    Label5->setWordWrap(true);
    Label5->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label6 = new QLabel(this);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setGeometry(8, y4 + 30, kDumpWidth - 16, 18);
    Label6->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (QPushButton* b : {Button5, Button6, Button7, Button8, Button9, Button10}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(Button5, &QPushButton::clicked, this, &TForm3::FillRange);
    connect(Button6, &QPushButton::clicked, this, &TForm3::CopyRange);
    connect(Button7, &QPushButton::clicked, this, &TForm3::SwapRange);
    connect(Button8, &QPushButton::clicked, this, &TForm3::ReplaceInRange);
    connect(Button9, &QPushButton::clicked, this, &TForm3::UndoEdit);
    connect(Button10, &QPushButton::clicked, this, &TForm3::RedoEdit);
    auto* undo = new QShortcut(QKeySequence::Undo, StringGrid1, nullptr, nullptr, Qt::WidgetShortcut);
    connect(undo, &QShortcut::activated, this, &TForm3::UndoEdit);
    // Both of the usual redo keys, whichever one the platform names Redo.
    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}) {
        auto* redo = new QShortcut(keys, StringGrid1, nullptr, nullptr, Qt::WidgetShortcut);
        connect(redo, &QShortcut::activated, this, &TForm3::RedoEdit);
    }
    // Typing goes into the current cell; a new cell starts a new byte.
    StringGrid1->installEventFilter(this);
    connect(StringGrid1, &QTableWidget::currentCellChanged, this, [this](int row, int column) {
        if (row != nibbleRow_ || column != nibbleColumn_) nibbles_ = 0;
        const bool textColumn = layout_.kind != DumpKind::Fuses && column == layout_.columns - 1;
        if (!textColumn) textCursor_.reset();
        else if (!textCursor_ || ByteOfCell(row, 1) != std::optional<uint32_t>(*textCursor_ & ~15u))
            textCursor_ = ByteOfCell(row, 1);
    });

    SetLanguage(language_);

    // The grid has no scroll bar of its own: its wheel turns ScrollBar1.
    StringGrid1->viewport()->installEventFilter(this);

    connect(ScrollBar1, &QScrollBar::valueChanged, this, &TForm3::ScrollBar1Change);
    connect(CheckBox1, &QCheckBox::clicked, this, &TForm3::CheckBox1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);

    setFixedSize(kDumpWidth, kHeight);
}

void TForm3::SetLanguage(uint32_t language) {
    language_ = language;
    Label2->setText(TextIn(kFindLabel, language));
    Button3->setText(TextIn(kFindNext, language));
    Button4->setText(TextIn(kFindPrevious, language));
    Edit2->setToolTip(TextIn(kFindHint, language));
    Edit2->setPlaceholderText(TextIn(kFindPlaceholder, language));
    setWindowTitle(TextIn(kDumpCaption, language));
    CheckBox1->setText(TextIn(kAsWords, language));
    Button1->setText(TextIn(kDumpCloseButton, language));
    source_.katakana = language == 0;
    // A Japanese font shows byte 5C as a yen sign, as Japanese readers
    // expect; in English the cells take a Latin fixed font (a backslash).
    QFont cells = language == 0 ? QFont(QStringLiteral("ＭＳ ゴシック")) : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    cells.setPixelSize(12);
    cells.setStyleHint(QFont::Monospace);
    StringGrid1->setFont(cells);
    Label3->clear();
    Label4->setText(TextIn(kRangeLabel, language));
    Button5->setText(TextIn(kFillButton, language));
    Button6->setText(TextIn(kCopyButton, language));
    Button7->setText(TextIn(kSwapButton, language));
    Button8->setText(TextIn(kReplaceButton, language));
    Button9->setText(TextIn(kUndoButton, language));
    Button10->setText(TextIn(kRedoButton, language));
    for (QWidget* w : {static_cast<QWidget*>(Edit3), static_cast<QWidget*>(Edit4), static_cast<QWidget*>(Edit5)})
        w->setToolTip(TextIn(kEditHint, language));
    StringGrid1->setToolTip(TextIn(kEditHint, language));
    Label5->clear();
}

void TForm3::Prepare() {
    found_.reset();
    Label3->clear();
    source_ = DumpSourceOf(session_.record, session_.buffer);
    source_.katakana = language_ == 0;
    const bool words = session_.record.wordaccess != 0;
    CheckBox1->setChecked(words);
    CheckBox1->setEnabled(words);
    nibbles_ = 0;
    textCursor_.reset();
    Label5->clear();
    // A 16-bit part fills whole words: a value of an odd number of bytes
    // (the first "FF") becomes the part's blank word.
    const auto fill = DumpFindPattern(Edit5->text().toStdString(), DumpKind::Bytes);
    if (source_.wordsize && (!fill || fill->size() % 2 != 0)) {
        uint8_t blank[2];
        FillBlank(blank, 2, session_.record.typecode);
        Edit5->setText(QString::asprintf("%02X%02X", blank[0], blank[1]));
    }
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
    Edit3->setText(QStringLiteral("000000"));
    // The edit range: the whole buffer, or a PIC's program memory.
    const uint32_t editBytes = source_.spanCount != 0 ? std::min(source_.spans[0].second, source_.size) : source_.size;
    Edit4->setText(QString::fromStdString(FormatHex6(source_.buffer ? editBytes / BytesPerUnit() : 0)));
    nibbles_ = 0;
    UpdateStatus();
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
            // A cell with a byte that differs from the one loaded.
            bool changed = false;
            if (c > 0 && c < layout_.columns - 1 && !text.isEmpty())
                if (const auto byte = ByteOfCell(r + 1, c))
                    for (uint32_t i = 0; i < BytesPerUnit(); ++i)
                        changed = changed || session_.edits.Changed(session_.buffer, *byte + i);
            const QBrush brush = changed ? QBrush(kChangedColour) : QBrush();
            if (item->foreground() != brush) item->setForeground(brush);
        }
    }
    StringGrid1->setUpdatesEnabled(true);
}

uint32_t TForm3::BytesPerUnit() const { return layout_.kind == DumpKind::Words ? 2 : 1; }

std::optional<uint32_t> TForm3::ByteOfCell(int row, int column) const {
    if (layout_.kind == DumpKind::Fuses || row < 1 || row > kDumpRows || column < 1 || column >= layout_.columns)
        return std::nullopt;
    // The row's label is its first unit (a PIC's bytes between its memories
    // get no rows); a blank row or cell lies outside the device.
    const auto& cells = page_.cells[static_cast<size_t>(row - 1)];
    if (cells[0].empty() || (column < layout_.columns - 1 && cells[static_cast<size_t>(column)].empty()))
        return std::nullopt;
    uint64_t unit = ParseHex(cells[0]);
    const uint32_t textColumn = static_cast<uint32_t>(layout_.columns - 1);
    if (static_cast<uint32_t>(column) < textColumn) unit += static_cast<uint32_t>(column - 1);
    return static_cast<uint32_t>(unit * BytesPerUnit());
}

bool TForm3::TypeIntoGrid(const QString& text) {
    const int row = StringGrid1->currentRow();
    const int column = StringGrid1->currentColumn();
    if (layout_.kind == DumpKind::Fuses || text.size() != 1) return false;
    std::string error;
    const bool textColumn = column == layout_.columns - 1;
    if (textColumn) {
        const QChar c = text[0];
        if (c.unicode() < 0x20 || c.unicode() > 0x7E || !textCursor_) return false;
        if (!InRows(*textCursor_, 1)) return true;
        const bool ok = session_.edits.Write(session_.buffer, *textCursor_,
                                             {static_cast<uint8_t>(c.unicode())}, error, language_);
        if (ok) {
            ++*textCursor_;
            // Past the row's last byte: the next row's text.
            if (*textCursor_ % 16 == 0) {
                const uint32_t cursor = *textCursor_;
                if (row < kDumpRows) {
                    StringGrid1->setCurrentCell(row + 1, column);
                } else {
                    // One scroll step is one row.
                    ScrollBar1->setValue(ScrollBar1->value() + 1);
                    StringGrid1->setCurrentCell(row, column);
                }
                // The next row's first byte (after a PIC's gap, its next memory).
                textCursor_ = ByteOfCell(StringGrid1->currentRow(), 1);
                if (!textCursor_ || *textCursor_ < cursor) textCursor_ = cursor;
            }
        }
        Edited(ok, error);
        return true;
    }
    if (!IsHexText(text)) return false;
    const auto byte = ByteOfCell(row, column);
    if (!byte) return false;
    if (row != nibbleRow_ || column != nibbleColumn_) nibbles_ = 0;
    nibbleRow_ = row;
    nibbleColumn_ = column;
    // The word view's cell holds two bytes: four digits, high byte first.
    const uint32_t digits = BytesPerUnit() * 2;
    const uint32_t at = *byte + static_cast<uint32_t>(nibbles_) / 2;
    const uint8_t digit = static_cast<uint8_t>(text.toUInt(nullptr, 16));
    const uint8_t old = at < session_.buffer.size() ? session_.buffer[at] : 0;
    const uint8_t value = nibbles_ % 2 == 0 ? static_cast<uint8_t>(digit << 4 | (old & 0x0F))
                                            : static_cast<uint8_t>((old & 0xF0) | digit);
    // The second digit of a byte completes the step the first began.
    const bool ok = session_.edits.Write(session_.buffer, at, {value}, error, language_, nibbles_ % 2 == 1);
    if (!ok) {
        nibbles_ = 0;
        Edited(false, error);
        return true;
    }
    ++nibbles_;
    if (static_cast<uint32_t>(nibbles_) == digits) {
        // The cell is done: on to the next one.
        nibbles_ = 0;
        const int last = layout_.columns - 2;
        if (column < last) {
            StringGrid1->setCurrentCell(row, column + 1);
        } else if (row < kDumpRows) {
            StringGrid1->setCurrentCell(row + 1, 1);
        } else {
            ScrollBar1->setValue(ScrollBar1->value() + 1);
            StringGrid1->setCurrentCell(row, 1);
        }
        nibbleRow_ = StringGrid1->currentRow();
        nibbleColumn_ = StringGrid1->currentColumn();
    }
    Edited(true, error);
    return true;
}

void TForm3::UpdateStatus() {
    const BufferDigests digests = DigestsOf(session_.record, session_.buffer, session_.range);
    QString title = TextIn(kDumpCaption, language_);
    if (session_.edits.Unsaved()) title += QString::fromLatin1(kUnsavedMark);
    if (windowTitle() != title) setWindowTitle(title);
    Button9->setEnabled(session_.edits.CanUndo());
    Button10->setEnabled(session_.edits.CanRedo());
    if (!digests.exists) {
        Label6->clear();
        return;
    }
    Label6->setText(QString::fromStdString(ChecksumLine(digests.sum, language_, digests.withConfigWord) + "  " +
                                           Crc32Line(digests) + "  " + Sha1Line(digests)));
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
    // One step of the undo stack, as every other edit.
    std::string error;
    Edited(session_.edits.Swap(session_.buffer, 0, std::min<uint32_t>(source_.size, layout_.units * 2) & ~1u, 2,
                               error, language_),
           error);
}

void TForm3::Button1Click() { close(); }

void TForm3::FindNext() { Find(true); }
void TForm3::FindPrevious() { Find(false); }

void TForm3::Find(bool forward) {
    const auto pattern = DumpFindPattern(Edit2->text().toStdString(), layout_.kind);
    if (!pattern) {
        Label3->setText(TextIn(layout_.kind == DumpKind::Fuses ? kBadFuses : kBadPattern, language_));
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
        Label3->setText(TextIn(kNotFound, language_));
        return;
    }
    const bool wrapped = forward ? *at < from : *at > from;
    found_ = at;
    const QString address = QString::fromStdString(FormatHex6(*at / bytesPerUnit));
    Label3->setText(TextIn(wrapped ? kFoundWrapped : kFoundAt, language_).arg(address));
    ShowByte(*at);
}

void TForm3::ShowByte(uint32_t byte) {
    const uint32_t unit = layout_.kind == DumpKind::Words ? byte / 2 : byte;
    ScrollBar1->setValue(static_cast<int>(DumpPositionOf(layout_, source_, unit)));
    Fill();
    const uint32_t perRow = layout_.kind == DumpKind::Bytes   ? 16
                            : layout_.kind == DumpKind::Words ? 8
                                                              : std::max<uint32_t>(source_.lineLength, 1);
    // The row whose label starts the unit's row (rows of a PIC skip the
    // bytes between its memories, so the rows are found by their labels).
    for (int row = 1; row <= kDumpRows; ++row) {
        const std::string& label = page_.cells[static_cast<size_t>(row - 1)][0];
        if (label.empty()) break;
        const uint64_t first = layout_.kind == DumpKind::Fuses ? std::stoull(label) : ParseHex(label);
        if (unit < first || unit >= first + perRow) continue;
        const uint64_t column = layout_.kind == DumpKind::Fuses ? 1 : unit - first + 1;
        StringGrid1->setCurrentCell(row, static_cast<int>(column));
        return;
    }
}

void TForm3::BufferChanged() {
    if (!isVisible()) return;
    // The buffer is the same while the window is open (it is modal); its
    // contents changed.
    source_.buffer = session_.buffer.Exists() ? session_.buffer.data() : nullptr;
    source_.size = session_.buffer.Exists() ? std::min(session_.buffer.size(), session_.record.bufsize) : 0;
    Fill();
    UpdateStatus();
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
    if (watched == StringGrid1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) &&
            TypeIntoGrid(key->text()))
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
