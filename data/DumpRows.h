// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of the buffer dump window without the window: the
// view's columns and scroll range (Setup), the sixteen rows shown from a
// scroll position (Fill) and the byte exchange of every word (H/L SWAP).
// The window only copies these texts into its grid.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace krt {

struct DeviceRecord;
class DataBuffer;

enum class DumpKind { Bytes, Words, Fuses };

// The window state that the caller sets before showing the dump.
struct DumpSource {
    const uint8_t* buffer = nullptr;  // the data buffer (not owned)
    uint32_t size = 0;                // bytes of it that exist: nothing beyond is read
    uint32_t words = 0;               // bufsize / bytesPerWord
    bool wordsize = false;            // a 16-bit device
    uint8_t typecode = 0;
    uint16_t lineLength = 0;          // fuses per row of a PLD (LineNumber)
    // Bytes that stand for no memory of the chip and get no rows: a PIC's
    // between its configuration words and its data EEPROM. Empty when equal.
    uint32_t gapFirst = 0;
    uint32_t gapEnd = 0;
    // Bytes A1h to DFh as the half-width katakana of the Japanese code
    // page; without it (an English window) they are "." like other bytes
    // that stand for no character.
    bool katakana = true;
};

// The state of one device's buffer as BinDump passes it.
DumpSource DumpSourceOf(const DeviceRecord& record, const DataBuffer& buffer);

inline constexpr int kDumpRows = 16;      // grid rows 1 to 16
inline constexpr int kDumpMaxColumns = 18;

// What Setup decides: the view, the units shown, the scroll bar's maximum
// and the grid's columns.
struct DumpLayout {
    DumpKind kind = DumpKind::Bytes;
    uint32_t units = 0;
    uint32_t scrollMaximum = 0;
    int columns = 0;
    std::array<int, kDumpMaxColumns> widths{};
    std::array<std::string, kDumpMaxColumns> headers{};  // row 0; cell (0, 0) is "ADDR"
};

// Setup: asWords is CheckBox1 ("16bitとして扱う").
DumpLayout DumpSetup(const DumpSource& source, bool asWords);

// The unit that the first shown row starts at for a scroll position (the
// rows of a gap skipped).
uint32_t DumpFirstUnit(const DumpLayout& layout, const DumpSource& source, uint32_t position);

// Rows 1 to 16 of the grid, as UTF-8 texts: cells[row][column].
struct DumpPage {
    std::array<std::array<std::string, kDumpMaxColumns>, kDumpRows> cells;
};

// Fill: the rows shown from the scroll position.
void DumpFill(const DumpSource& source, const DumpLayout& layout, uint32_t position, DumpPage& page);

// The text form of one byte: printable ASCII as itself; 0xA1 to 0xDF as the
// half-width katakana that the window's Japanese code page shows for them;
// "." for control characters (0x00 to 0x1F, 0x7F) and for every other byte,
// which stands for no character on its own there.
const char* DumpCharacter(uint8_t byte);

// The scroll position that shows the rows of a unit: its own row first,
// but never past the last position (the scroll bar's maximum); a unit in
// the gap goes to the row after it.
uint32_t DumpPositionOf(const DumpLayout& layout, const DumpSource& source, uint32_t unit);

// The Jump field: a hexadecimal address in the byte and word views (its
// row, as the row labels show it), the decimal fuse number in the PLD view
// (whose row labels are decimal). Gives the scroll position.
uint32_t DumpJumpPosition(const DumpLayout& layout, const DumpSource& source, std::string_view text);

// Find's pattern as buffer bytes. In the PLD view: fuses as "0" and "1"
// (spaces ignored). Elsewhere: hexadecimal bytes ("DE AD", "DEAD"), when
// every space-separated group has an even number of hex digits; any other
// text, and any text in double quotes, is searched as characters (ASCII and
// the half-width katakana the text column shows). Nothing for an empty
// text or a character that no byte shows.
std::optional<std::vector<uint8_t>> DumpFindPattern(std::string_view text, DumpKind kind);

// The first byte index of the pattern in the buffer, forward from byte
// from (inclusive) or backward from it (a match starting at from or
// before), wrapping round the buffer's end. Nothing when it does not occur.
std::optional<uint32_t> DumpFind(const DumpSource& source, const std::vector<uint8_t>& pattern, uint32_t from,
                                 bool forward);

// H/L SWAP: exchanges bytes 2w and 2w + 1 for every w below units (only
// the pairs that lie inside size bytes).
void SwapWordBytes(uint8_t* buffer, uint32_t size, uint32_t units);

}  // namespace krt
