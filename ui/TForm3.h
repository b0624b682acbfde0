// SPDX-License-Identifier: GPL-3.0-or-later
// The buffer dump window: the session's data buffer as bytes, as
// 16-bit words or as PLD fuse rows, with a jump field and the H/L SWAP that
// exchanges the bytes of every word in the live buffer. The rows come from
// data/DumpRows; this window copies them into its grid.
#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>

#include "data/DumpRows.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTableWidget;

namespace krt {

class Session;

// The question before unsaved edits of the buffer are lost (a file opened
// over them, the program closed).
QString UnsavedEditsText(uint32_t language);
// The File menu's items "Split..." and "Join..." (join true).
QString SplitJoinMenuText(uint32_t language, bool join);
// The caption's mark of unsaved edits.
inline constexpr char kUnsavedMark[] = " *";

class TForm3 : public QDialog {
    Q_OBJECT

public:
    explicit TForm3(Session& session, QWidget* parent = nullptr);

    // BinDump's part before showing: the window state from the session's
    // device record and buffer, and CheckBox1 checked and enabled exactly
    // when the record's wordaccess is set.
    void Prepare();

    // The window's two steps: lay the grid out, then fill it.
    void Setup();
    void Fill();

    const DumpLayout& Layout() const { return layout_; }

    // 0 Japanese, 1 English: the texts of the find row (the rest of the
    // window is the same in both languages).
    void SetLanguage(uint32_t language);

public slots:
    void ScrollBar1Change();
    void Edit1Exit();
    void CheckBox1Click();
    void Button2Click();
    void Button1Click();
    // Find: the next or the previous place of Edit2's bytes.
    void FindNext();
    void FindPrevious();
    // The session said the buffer changed (queued to this thread).
    void BufferChanged();
    // The edit row: over the range of Edit3 (start) and Edit4 (length), in
    // the view's units: fill with Edit5's bytes, copy to Edit5's address,
    // swap the bytes of every word, replace Edit2's bytes by Edit5's.
    void FillRange();
    void CopyRange();
    void SwapRange();
    void ReplaceInRange();
    void UndoEdit();
    void RedoEdit();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Find(bool forward);
    // A key typed over the grid's current cell: hexadecimal digits in the
    // byte and word columns, characters in the text column. True when taken.
    bool TypeIntoGrid(const QString& text);
    // The byte offset of a grid cell's first byte; nothing for the PLD view
    // and the header cells.
    std::optional<uint32_t> ByteOfCell(int row, int column) const;
    // Edit3 and Edit4 as a byte span; false after saying why in Label5.
    bool EditSpan(uint32_t& first, uint32_t& count);
    // After an edit: the grid, the status line, the title, and the
    // session's listeners (the main window's checksum box and caption).
    void Edited(bool ok, const std::string& error);
    void UpdateStatus();
    uint32_t BytesPerUnit() const;

    // Digits typed so far into the current cell (0 when none).
    int nibbles_ = 0;
    int nibbleRow_ = -1;
    int nibbleColumn_ = -1;
    // The next byte that a character typed into the text column replaces.
    std::optional<uint32_t> textCursor_;
    // Scrolls to the byte and makes its cell the current one.
    void ShowByte(uint32_t byte);

    Session& session_;
    uint32_t language_ = 1;
    // The byte of the last match; the next search starts after it.
    std::optional<uint32_t> found_;
    DumpSource source_;
    DumpLayout layout_;
    DumpPage page_;

public:
    // Controls, named as in the window's design.
    QTableWidget* StringGrid1 = nullptr;
    QScrollBar* ScrollBar1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button1 = nullptr;
    // The find row under them.
    QLabel* Label2 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* Button3 = nullptr;  // next
    QPushButton* Button4 = nullptr;  // previous
    QLabel* Label3 = nullptr;        // what the last search found
    // The edit row, its second row and the status line.
    QLabel* Label4 = nullptr;
    QLineEdit* Edit3 = nullptr;      // range start
    QLineEdit* Edit4 = nullptr;      // range length
    QLineEdit* Edit5 = nullptr;      // bytes, or the address to copy to
    QPushButton* Button5 = nullptr;  // fill
    QPushButton* Button6 = nullptr;  // copy to
    QPushButton* Button7 = nullptr;  // swap
    QPushButton* Button8 = nullptr;  // replace
    QPushButton* Button9 = nullptr;  // undo
    QPushButton* Button10 = nullptr; // redo
    QLabel* Label5 = nullptr;        // what the last edit did, or why it was refused
    QLabel* Label6 = nullptr;        // sum, CRC-32 and SHA-1 of the range
};

}  // namespace krt
