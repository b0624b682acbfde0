// SPDX-License-Identifier: GPL-3.0-or-later
// The dump window's edit row: Fill, Copy to, Swap H/L and Replace over the
// range typed in hex, undo and redo; each edit goes through the session's
// BufferEdits, and a refused one says why under the row.
#include <QLabel>
#include <QLineEdit>
#include <optional>

#include "TForm3.h"
#include "WindowTexts.h"
#include "base/Texts.h"
#include "session/Session.h"

namespace krt {

namespace {

constexpr TextPair kReplacedCount{"%1 か所を置換しました", "Replaced %1"};
constexpr TextPair kBadValue{"値に 16進数か文字列を", "Type hex bytes or text as the value"};
constexpr TextPair kBadNumber{"範囲は 16進数で", "The range is in hex"};
constexpr TextPair kOutsideRows{"範囲がデバイスのメモリーの外にあります。何も変えませんでした",
                                "The range lies outside the device's memory; nothing was changed"};

// A hexadecimal field: a number, or nothing for an empty or foreign text.
std::optional<uint32_t> HexField(const QLineEdit* edit) {
    bool ok = false;
    const uint32_t value = edit->text().trimmed().toUInt(&ok, 16);
    if (!ok) return std::nullopt;
    return value;
}

}  // namespace

bool TForm3::EditSpan(uint32_t& first, uint32_t& count) {
    const auto start = HexField(Edit3);
    const auto length = HexField(Edit4);
    if (!start || !length) {
        Label5->setText(TextIn(kBadNumber, language_));
        return false;
    }
    first = *start * BytesPerUnit();
    count = *length * BytesPerUnit();
    return InRows(first, count);
}

bool TForm3::InRows(uint64_t first, uint64_t count) {
    if (DumpBytesInRows(source_, first, count)) return true;
    Label5->setText(TextIn(kOutsideRows, language_));
    return false;
}

void TForm3::Edited(bool ok, const std::string& error) {
    if (!ok) {
        Label5->setText(QString::fromUtf8(error));
        return;
    }
    if (!error.empty()) Label5->setText(QString::fromUtf8(error));
    Fill();
    UpdateStatus();
    session_.BufferChanged();
}

void TForm3::FillRange() {
    uint32_t first = 0, count = 0;
    if (!EditSpan(first, count)) return;
    const auto pattern = DumpFindPattern(Edit5->text().toStdString(), DumpKind::Bytes);
    if (!pattern) {
        Label5->setText(TextIn(kBadValue, language_));
        return;
    }
    std::string error;
    Label5->clear();
    Edited(session_.edits.Fill(session_.buffer, first, count, *pattern, source_.wordsize, error, language_), error);
}

void TForm3::CopyRange() {
    uint32_t first = 0, count = 0;
    if (!EditSpan(first, count)) return;
    const auto to = HexField(Edit5);
    if (!to) {
        Label5->setText(TextIn(kBadNumber, language_));
        return;
    }
    if (!InRows(uint64_t{*to} * BytesPerUnit(), count)) return;
    std::string error;
    Label5->clear();
    Edited(session_.edits.Copy(session_.buffer, first, count, *to * BytesPerUnit(), error, language_), error);
}

void TForm3::SwapRange() {
    uint32_t first = 0, count = 0;
    if (!EditSpan(first, count)) return;
    std::string error;
    Label5->clear();
    Edited(session_.edits.Swap(session_.buffer, first, count, 2, error, language_), error);
}

void TForm3::ReplaceInRange() {
    uint32_t first = 0, count = 0;
    if (!EditSpan(first, count)) return;
    const auto find = DumpFindPattern(Edit2->text().toStdString(), DumpKind::Bytes);
    const auto replacement = DumpFindPattern(Edit5->text().toStdString(), DumpKind::Bytes);
    if (!find || !replacement) {
        Label5->setText(TextIn(kBadValue, language_));
        return;
    }
    std::string error;
    uint32_t replaced = 0;
    const bool ok =
        session_.edits.Replace(session_.buffer, first, count, *find, *replacement, replaced, error, language_);
    Edited(ok, ok ? TextIn(kReplacedCount, language_).arg(replaced).toStdString() : error);
}

void TForm3::UndoEdit() {
    Label5->clear();
    if (session_.edits.Undo(session_.buffer)) Edited(true, {});
}

void TForm3::RedoEdit() {
    Label5->clear();
    if (session_.edits.Redo(session_.buffer)) Edited(true, {});
}

}  // namespace krt
