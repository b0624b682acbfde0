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

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Find(bool forward);
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
};

}  // namespace krt
