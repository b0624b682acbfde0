// SPDX-License-Identifier: GPL-3.0-or-later
// The edits a user makes to the data buffer in the dump window: bytes typed
// over, a range filled with a pattern, a range copied to another address,
// the bytes of every word in a range swapped, a byte string replaced by
// another. Each is one step of the undo stack; the bytes that differ from
// the buffer as last loaded (a file opened, a chip read) are marked as
// changed; whether edits are unsaved is kept for the window's title and its
// questions. A refused edit says why and changes nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace krt {

class DataBuffer;

class BufferEdits {
public:
    // The buffer as it now stands is the one loaded: no byte is changed,
    // nothing to undo, nothing unsaved.
    void Reset(const DataBuffer& buffer);
    // The buffer was saved to a file: the edits are no longer unsaved.
    void MarkSaved() { savedAt_ = undo_.size(); savedValid_ = true; }

    // Each returns false with the reason in error (0 Japanese, 1 English)
    // and the buffer untouched when the edit does not fit.
    // Bytes at a byte offset; merge folds this write into the last step when
    // that wrote the same offset (the second digit typed into a cell).
    bool Write(DataBuffer& buffer, uint32_t at, const std::vector<uint8_t>& bytes, std::string& error,
               uint32_t language, bool merge = false);
    // count bytes from first, the pattern repeated. wordWide: a 16-bit
    // device, whose words a pattern of an odd length would tear.
    bool Fill(DataBuffer& buffer, uint32_t first, uint32_t count, const std::vector<uint8_t>& pattern, bool wordWide,
              std::string& error, uint32_t language);
    // count bytes from first to to (the ranges may overlap).
    bool Copy(DataBuffer& buffer, uint32_t first, uint32_t count, uint32_t to, std::string& error, uint32_t language);
    // Reverses the bytes of every word of width bytes (2 or 4) in the range.
    bool Swap(DataBuffer& buffer, uint32_t first, uint32_t count, uint32_t width, std::string& error,
              uint32_t language);
    // Every occurrence of find in the range, left to right without overlap,
    // becomes replacement (of the same length). The number replaced goes to
    // replaced; none is no error.
    bool Replace(DataBuffer& buffer, uint32_t first, uint32_t count, const std::vector<uint8_t>& find,
                 const std::vector<uint8_t>& replacement, uint32_t& replaced, std::string& error, uint32_t language);

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    bool Undo(DataBuffer& buffer);
    bool Redo(DataBuffer& buffer);

    // The byte differs from the buffer as last loaded.
    bool Changed(const DataBuffer& buffer, uint32_t byte) const;
    // Edits since the last load or save.
    bool Unsaved() const { return !savedValid_ || undo_.size() != savedAt_; }

private:
    struct Step {
        uint32_t at = 0;
        std::vector<uint8_t> before;
        std::vector<uint8_t> after;
    };
    // Checks that [first, first + count) lies in the buffer.
    bool InBuffer(const DataBuffer& buffer, uint64_t first, uint64_t count, std::string& error,
                  uint32_t language) const;
    void Apply(DataBuffer& buffer, uint32_t at, std::vector<uint8_t> after, bool merge);

    std::vector<uint8_t> loaded_;
    std::vector<Step> undo_;
    std::vector<Step> redo_;
    size_t savedAt_ = 0;
    bool savedValid_ = true;
};

}  // namespace krt
