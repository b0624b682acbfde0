// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/BufferEdits.h"

#include <algorithm>
#include <cstdio>

#include "data/DataBuffer.h"

namespace krt {

namespace {

// The texts of refused edits: [code][language], Japanese first.
enum EditText { kNoBuffer, kBeyond, kEmptyPattern, kOddPattern, kBadWidth, kSizesDiffer, kRangeWords };

constexpr const char* kEditTexts[][2] = {
    {"バッファーがありません (デバイスが選択されていません)", "there is no buffer (no device is selected)"},
    {"%06X から %X バイトはバッファー (%X バイト) を超えます。何も変えませんでした",
     "%X bytes from %06X reach beyond the buffer (%X bytes); nothing was changed"},
    {"パターンが空です", "the pattern is empty"},
    {"16ビットのデバイスでは、パターンは偶数バイトでなければなりません (%u バイトでした)。何も変えませんでした",
     "on a 16-bit device the pattern must have an even number of bytes (it had %u); nothing was changed"},
    {"スワップするワードは 2 か 4 バイトです", "the words to swap have 2 or 4 bytes"},
    {"置換する文字列は検索する文字列と同じ長さでなければなりません (%u と %u バイト)",
     "the replacement must be as long as what it replaces (%u and %u bytes)"},
    {"範囲 (%X バイト) はワード (%u バイト) の倍数ではありません", "the range (%X bytes) is not a multiple of the word (%u bytes)"},
};

template <typename... Args>
std::string Text(EditText code, uint32_t language, Args... args) {
    const char* format = kEditTexts[code][language == 0 ? 0 : 1];
    if constexpr (sizeof...(Args) == 0) {
        return format;  // a text without arguments is not a format
    } else {
        char text[400];
        std::snprintf(text, sizeof text, format, args...);
        return text;
    }
}

}  // namespace

void BufferEdits::Reset(const DataBuffer& buffer) {
    loaded_.assign(buffer.data(), buffer.data() + (buffer.Exists() ? buffer.size() : 0));
    undo_.clear();
    redo_.clear();
    savedAt_ = 0;
    savedValid_ = true;
}

bool BufferEdits::InBuffer(const DataBuffer& buffer, uint64_t first, uint64_t count, std::string& error,
                           uint32_t language) const {
    if (!buffer.Exists()) {
        error = Text(kNoBuffer, language);
        return false;
    }
    if (first + count > buffer.size()) {
        // The beyond message names the count first in English, the start first in Japanese.
        error = language == 0 ? Text(kBeyond, 0, static_cast<unsigned>(first), static_cast<unsigned>(count),
                                     static_cast<unsigned>(buffer.size()))
                              : Text(kBeyond, 1, static_cast<unsigned>(count), static_cast<unsigned>(first),
                                     static_cast<unsigned>(buffer.size()));
        return false;
    }
    return true;
}

void BufferEdits::Apply(DataBuffer& buffer, uint32_t at, std::vector<uint8_t> after, bool merge) {
    // A buffer of another size than the one loaded (another device) starts
    // a new history.
    if (loaded_.size() != buffer.size()) Reset(buffer);
    Step step;
    step.at = at;
    step.before.assign(buffer.data() + at, buffer.data() + at + after.size());
    std::copy(after.begin(), after.end(), buffer.data() + at);
    step.after = std::move(after);
    redo_.clear();
    if (merge && !undo_.empty() && undo_.back().at == at && undo_.back().after.size() == step.after.size() &&
        undo_.size() != savedAt_) {
        undo_.back().after = std::move(step.after);
        return;
    }
    // The saved state can no longer be reached by undoing once it lies in
    // the steps that this one replaces in redo.
    if (savedValid_ && savedAt_ > undo_.size()) savedValid_ = false;
    undo_.push_back(std::move(step));
}

bool BufferEdits::Write(DataBuffer& buffer, uint32_t at, const std::vector<uint8_t>& bytes, std::string& error,
                        uint32_t language, bool merge) {
    if (!InBuffer(buffer, at, bytes.size(), error, language)) return false;
    if (bytes.empty()) return true;
    Apply(buffer, at, bytes, merge);
    return true;
}

bool BufferEdits::Fill(DataBuffer& buffer, uint32_t first, uint32_t count, const std::vector<uint8_t>& pattern,
                       bool wordWide, std::string& error, uint32_t language) {
    if (pattern.empty()) {
        error = Text(kEmptyPattern, language);
        return false;
    }
    if (wordWide && pattern.size() % 2 != 0) {
        error = Text(kOddPattern, language, static_cast<unsigned>(pattern.size()));
        return false;
    }
    if (!InBuffer(buffer, first, count, error, language)) return false;
    std::vector<uint8_t> after(count);
    for (uint32_t i = 0; i < count; ++i) after[i] = pattern[i % pattern.size()];
    if (count) Apply(buffer, first, std::move(after), false);
    return true;
}

bool BufferEdits::Copy(DataBuffer& buffer, uint32_t first, uint32_t count, uint32_t to, std::string& error,
                       uint32_t language) {
    if (!InBuffer(buffer, first, count, error, language) || !InBuffer(buffer, to, count, error, language))
        return false;
    if (count) Apply(buffer, to, std::vector<uint8_t>(buffer.data() + first, buffer.data() + first + count), false);
    return true;
}

bool BufferEdits::Swap(DataBuffer& buffer, uint32_t first, uint32_t count, uint32_t width, std::string& error,
                       uint32_t language) {
    if (width != 2 && width != 4) {
        error = Text(kBadWidth, language);
        return false;
    }
    if (count % width != 0) {
        error = Text(kRangeWords, language, static_cast<unsigned>(count), static_cast<unsigned>(width));
        return false;
    }
    if (!InBuffer(buffer, first, count, error, language)) return false;
    std::vector<uint8_t> after(buffer.data() + first, buffer.data() + first + count);
    for (size_t i = 0; i < after.size(); i += width)
        std::reverse(after.begin() + static_cast<std::ptrdiff_t>(i),
                     after.begin() + static_cast<std::ptrdiff_t>(i + width));
    if (count) Apply(buffer, first, std::move(after), false);
    return true;
}

bool BufferEdits::Replace(DataBuffer& buffer, uint32_t first, uint32_t count, const std::vector<uint8_t>& find,
                          const std::vector<uint8_t>& replacement, uint32_t& replaced, std::string& error,
                          uint32_t language) {
    replaced = 0;
    if (find.empty()) {
        error = Text(kEmptyPattern, language);
        return false;
    }
    if (replacement.size() != find.size()) {
        error = Text(kSizesDiffer, language, static_cast<unsigned>(replacement.size()),
                     static_cast<unsigned>(find.size()));
        return false;
    }
    if (!InBuffer(buffer, first, count, error, language)) return false;
    std::vector<uint8_t> after(buffer.data() + first, buffer.data() + first + count);
    for (size_t i = 0; i + find.size() <= after.size();) {
        if (std::equal(find.begin(), find.end(), after.begin() + static_cast<std::ptrdiff_t>(i))) {
            std::copy(replacement.begin(), replacement.end(), after.begin() + static_cast<std::ptrdiff_t>(i));
            ++replaced;
            i += find.size();
        } else {
            ++i;
        }
    }
    if (replaced) Apply(buffer, first, std::move(after), false);
    return true;
}

bool BufferEdits::Undo(DataBuffer& buffer) {
    if (undo_.empty() || loaded_.size() != buffer.size()) return false;
    Step step = std::move(undo_.back());
    undo_.pop_back();
    std::copy(step.before.begin(), step.before.end(), buffer.data() + step.at);
    redo_.push_back(std::move(step));
    return true;
}

bool BufferEdits::Redo(DataBuffer& buffer) {
    if (redo_.empty() || loaded_.size() != buffer.size()) return false;
    Step step = std::move(redo_.back());
    redo_.pop_back();
    std::copy(step.after.begin(), step.after.end(), buffer.data() + step.at);
    undo_.push_back(std::move(step));
    return true;
}

bool BufferEdits::Changed(const DataBuffer& buffer, uint32_t byte) const {
    return loaded_.size() == buffer.size() && byte < loaded_.size() && buffer[byte] != loaded_[byte];
}

}  // namespace krt
