// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/DumpRows.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/Hex.h"
#include "base/TypeCodes.h"

#include "catalogue/DeviceRecord.h"
#include "data/DataBuffer.h"

namespace krt {

namespace {

bool IsPld(uint8_t typecode) { return typecode >= 5 && typecode <= 7; }

// Hexadecimal digits without printf: Fill runs on every scroll step.
constexpr char kHex[] = "0123456789ABCDEF";

void AppendHex2(std::string& out, uint8_t v) {
    out.push_back(kHex[v >> 4]);
    out.push_back(kHex[v & 15]);
}

std::string Hex6(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(v));
    return text;
}

struct CharacterTable {
    std::array<std::array<char, 4>, 256> text{};
    CharacterTable() {
        for (int b = 0; b < 256; ++b) {
            auto& t = text[static_cast<size_t>(b)];
            if (b >= 0x20 && b < 0x7F) {
                t[0] = static_cast<char>(b);
            } else if (b >= 0xA1 && b <= 0xDF) {
                // U+FF61 to U+FF9F in UTF-8.
                const unsigned cp = 0xFF61u + static_cast<unsigned>(b - 0xA1);
                t[0] = static_cast<char>(0xE0 | (cp >> 12));
                t[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                t[2] = static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                t[0] = '.';
            }
        }
    }
};

const CharacterTable& Characters() {
    static const CharacterTable table;
    return table;
}

// The text column: 16 bytes from byte index first, "." past the last byte
// shown (limit), three spaces after the eighth.
std::string TextColumn(const DumpSource& s, uint64_t first, uint64_t limit) {
    std::string out;
    out.reserve(40);
    const CharacterTable& table = Characters();
    for (uint64_t i = 0; i < 16; ++i) {
        const uint64_t at = first + i;
        const uint8_t b = at < limit ? s.buffer[at] : 0;
        if (at < limit && !s.katakana && b >= 0xA1 && b <= 0xDF) out.push_back('.');
        else if (at < limit) out += table.text[b].data();
        else out.push_back('.');
        if (i == 7) out += "   ";
    }
    return out;
}

// Units that one scroll step moves by, and units that the 16 rows show.
uint64_t UnitsPerStep(const DumpLayout& l, const DumpSource& s) {
    return l.kind == DumpKind::Fuses ? std::max<uint32_t>(s.lineLength, 1) : 16;
}

uint64_t UnitsPerPage(const DumpLayout& l, const DumpSource& s) {
    switch (l.kind) {
    case DumpKind::Bytes: return uint64_t{16} * kDumpRows;
    case DumpKind::Words: return uint64_t{8} * kDumpRows;
    case DumpKind::Fuses: return uint64_t{std::max<uint32_t>(s.lineLength, 1)} * kDumpRows;
    }
    return 16;
}

// The gap in the layout's units: bytes, or words in the 16-bit view.
void GapUnits(const DumpSource& s, const DumpLayout& l, uint64_t& first, uint64_t& length) {
    const uint32_t perUnit = l.kind == DumpKind::Words ? 2 : 1;
    first = s.gapFirst / perUnit;
    length = s.gapEnd > s.gapFirst && l.kind != DumpKind::Fuses ? (s.gapEnd - s.gapFirst) / perUnit : 0;
}

// A row's first unit counted without the gap, moved past it.
uint64_t PastGap(const DumpSource& s, const DumpLayout& l, uint64_t unit) {
    uint64_t first, length;
    GapUnits(s, l, first, length);
    return length != 0 && unit >= first ? unit + length : unit;
}

}  // namespace

DumpSource DumpSourceOf(const DeviceRecord& record, const DataBuffer& buffer) {
    DumpSource s;
    s.buffer = buffer.Exists() ? buffer.data() : nullptr;
    s.size = buffer.Exists() ? std::min(buffer.size(), record.bufsize) : 0;
    const uint32_t perWord = record.bytesPerWord ? record.bytesPerWord : 1;
    s.words = record.bufsize / perWord;
    s.wordsize = record.wordsize != 0;
    s.typecode = record.typecode;
    s.lineLength = static_cast<uint16_t>(std::clamp<int32_t>(record.LineNumber, 0, 0xFFFF));
    if (IsPicType(record.typecode) && record.bufsize >= kPicBufferBytes) {
        s.gapFirst = kPicConfigEnd;
        s.gapEnd = kPicDataEepromByte;
    }
    return s;
}

const char* DumpCharacter(uint8_t byte) { return Characters().text[byte].data(); }

DumpLayout DumpSetup(const DumpSource& s, bool asWords) {
    DumpLayout l;
    l.units = (!asWords && s.wordsize) ? s.words * 2 : s.words;
    l.widths.fill(0);
    for (auto& h : l.headers) h.clear();
    if (IsPld(s.typecode)) {
        l.kind = DumpKind::Fuses;
        l.columns = 2;
        l.widths[0] = 40;
        l.widths[1] = 500;
    } else if (!asWords) {
        l.kind = DumpKind::Bytes;
        l.columns = 18;
        l.widths[0] = 50;
        for (int c = 1; c <= 16; ++c) {
            l.widths[static_cast<size_t>(c)] = 24;
            l.headers[static_cast<size_t>(c)] = "+" + std::to_string(c - 1);
        }
        l.widths[17] = 120;
    } else {
        l.kind = DumpKind::Words;
        l.columns = 10;
        l.widths[0] = 50;
        for (int c = 1; c <= 8; ++c) {
            l.widths[static_cast<size_t>(c)] = 36;
            l.headers[static_cast<size_t>(c)] = "+" + std::to_string(c - 1);
        }
        l.widths[9] = 120;
    }
    l.headers[0] = "ADDR";
    // The last position shows the last unit on the grid's last row, not a
    // page of empty rows past it; the gap's rows are not shown.
    const uint64_t step = UnitsPerStep(l, s);
    const uint64_t page = UnitsPerPage(l, s);
    uint64_t gapFirst, gapLength;
    GapUnits(s, l, gapFirst, gapLength);
    const uint64_t shown = gapLength != 0 && l.units >= gapFirst + gapLength ? l.units - gapLength : l.units;
    l.scrollMaximum = shown > page ? static_cast<uint32_t>((shown - page + step - 1) / step) : 0;
    return l;
}


uint32_t DumpJumpPosition(const DumpLayout& l, const DumpSource& s, std::string_view text) {
    if (l.kind != DumpKind::Fuses) return DumpPositionOf(l, s, ParseHex(text));
    // The leading decimal number; a text without one reads as fuse 0.
    uint64_t fuse = 0;
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        fuse = std::min<uint64_t>(fuse * 10 + static_cast<uint64_t>(text[i] - '0'), UINT32_MAX);
    return DumpPositionOf(l, s, static_cast<uint32_t>(fuse));
}

std::optional<std::vector<uint8_t>> DumpFindPattern(std::string_view text, DumpKind kind) {
    auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    std::vector<uint8_t> bytes;
    if (kind == DumpKind::Fuses) {
        for (char c : text) {
            if (c == '0' || c == '1') bytes.push_back(static_cast<uint8_t>(c - '0'));
            else if (!isSpace(c)) return std::nullopt;
        }
        if (bytes.empty()) return std::nullopt;
        return bytes;
    }
    const bool quoted = text.size() >= 2 && text.front() == '"' && text.back() == '"';
    if (!quoted) {
        bool hex = !text.empty();
        size_t group = 0;
        for (size_t i = 0; i <= text.size() && hex; ++i) {
            if (i == text.size() || isSpace(text[i])) {
                hex = group % 2 == 0;
                group = 0;
            } else if (std::isxdigit(static_cast<unsigned char>(text[i]))) {
                ++group;
            } else {
                hex = false;
            }
        }
        if (hex) {
            int high = -1;
            for (char c : text) {
                if (isSpace(c)) continue;
                const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::toupper(c) - 'A' + 10);
                if (high < 0) {
                    high = v;
                } else {
                    bytes.push_back(static_cast<uint8_t>(high * 16 + v));
                    high = -1;
                }
            }
            return bytes;
        }
    } else {
        text = text.substr(1, text.size() - 2);
    }
    // Characters: printable ASCII, and the half-width katakana U+FF61 to
    // U+FF9F (three UTF-8 bytes) as the bytes 0xA1 to 0xDF.
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            bytes.push_back(c);
            ++i;
            continue;
        }
        if (c == 0xEF && i + 2 < text.size()) {
            const unsigned cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                                (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
            if (cp >= 0xFF61 && cp <= 0xFF9F) {
                bytes.push_back(static_cast<uint8_t>(0xA1 + (cp - 0xFF61)));
                i += 3;
                continue;
            }
        }
        return std::nullopt;
    }
    if (bytes.empty()) return std::nullopt;
    return bytes;
}

std::optional<uint32_t> DumpFind(const DumpSource& s, const std::vector<uint8_t>& pattern, uint32_t from,
                                 bool forward) {
    if (!s.buffer || pattern.empty() || pattern.size() > s.size) return std::nullopt;
    const uint8_t* begin = s.buffer;
    const uint8_t* end = s.buffer + s.size;
    const uint8_t* start = begin + std::min(from, s.size);
    const uint8_t* hit = end;
    if (forward) {
        hit = std::search(start, end, pattern.begin(), pattern.end());
        if (hit == end) hit = std::search(begin, end, pattern.begin(), pattern.end());
    } else {
        // A match that starts at from or before it ends by from + its size.
        const uint8_t* stop = begin + std::min<uint64_t>(uint64_t{from} + pattern.size(), s.size);
        hit = std::find_end(begin, stop, pattern.begin(), pattern.end());
        if (hit == stop) hit = std::find_end(begin, end, pattern.begin(), pattern.end());
    }
    if (hit == end) return std::nullopt;
    return static_cast<uint32_t>(hit - begin);
}

uint32_t DumpFirstUnit(const DumpLayout& l, const DumpSource& s, uint32_t position) {
    const uint64_t step = l.kind == DumpKind::Fuses ? std::max<uint32_t>(s.lineLength, 1) : 16;
    return static_cast<uint32_t>(std::min<uint64_t>(PastGap(s, l, uint64_t{position} * step), UINT32_MAX));
}

uint32_t DumpPositionOf(const DumpLayout& l, const DumpSource& s, uint32_t unit) {
    uint64_t gapFirst, gapLength;
    GapUnits(s, l, gapFirst, gapLength);
    uint64_t u = unit;
    if (gapLength != 0 && u >= gapFirst) u = u >= gapFirst + gapLength ? u - gapLength : gapFirst;
    return static_cast<uint32_t>(std::min<uint64_t>(u / UnitsPerStep(l, s), l.scrollMaximum));
}

void DumpFill(const DumpSource& s, const DumpLayout& l, uint32_t position, DumpPage& page) {
    for (auto& row : page.cells)
        for (auto& cell : row) cell.clear();
    const uint64_t first = DumpFirstUnit(l, s, position);
    // Rows counted from the scroll position, the gap's rows skipped.
    const uint64_t unmapped = l.kind == DumpKind::Fuses ? first : uint64_t{position} * 16;
    switch (l.kind) {
    case DumpKind::Bytes: {
        // Units past the buffer are shown as past the end, whatever the record says.
        const uint64_t limit = std::min<uint64_t>(l.units, s.buffer ? s.size : 0);
        for (int r = 0; r < kDumpRows; ++r) {
            auto& row = page.cells[static_cast<size_t>(r)];
            const uint64_t u = PastGap(s, l, unmapped + uint64_t{16} * static_cast<uint64_t>(r));
            row[0] = Hex6(static_cast<uint32_t>(u));
            for (uint64_t i = 0; i < 16; ++i)
                if (u + i < limit) AppendHex2(row[1 + i], s.buffer[u + i]);
            row[17] = TextColumn(s, u, limit);
        }
        break;
    }
    case DumpKind::Words: {
        const uint64_t limit = std::min<uint64_t>(l.units, s.buffer ? s.size / 2 : 0);
        for (int r = 0; r < kDumpRows; ++r) {
            auto& row = page.cells[static_cast<size_t>(r)];
            const uint64_t u = PastGap(s, l, unmapped + uint64_t{8} * static_cast<uint64_t>(r));
            row[0] = Hex6(static_cast<uint32_t>(u));
            for (uint64_t i = 0; i < 8; ++i) {
                const uint64_t w = u + i;
                if (w >= limit) continue;
                std::string& cell = row[1 + i];
                AppendHex2(cell, s.buffer[2 * w]);
                cell.push_back('-');
                AppendHex2(cell, s.buffer[2 * w + 1]);
            }
            row[9] = TextColumn(s, 2 * u, 2 * limit);
        }
        break;
    }
    case DumpKind::Fuses: {
        const uint64_t line = std::max<uint32_t>(s.lineLength, 1);
        const uint64_t limit = std::min<uint64_t>(l.units, s.buffer ? s.size : 0);
        for (int r = 0; r < kDumpRows; ++r) {
            auto& row = page.cells[static_cast<size_t>(r)];
            const uint64_t u = first + line * static_cast<uint64_t>(r);
            if (u >= l.units) continue;  // rows that start beyond the fuses are blank
            row[0] = std::to_string(u);
            std::string& fuses = row[1];
            fuses.reserve(line + line / 8);
            for (uint64_t i = 0; i < line; ++i) {
                const uint64_t f = u + i;
                if (f < limit) {
                    if (s.buffer[f] == 0) fuses.push_back('0');
                    else if (s.buffer[f] == 1) fuses.push_back('1');
                }
                if (i % 8 == 7) fuses.push_back(' ');
            }
        }
        break;
    }
    }
}

void SwapWordBytes(uint8_t* buffer, uint32_t size, uint32_t units) {
    if (!buffer) return;
    const uint64_t pairs = std::min<uint64_t>(units, size / 2);
    for (uint64_t w = 0; w < pairs; ++w) std::swap(buffer[2 * w], buffer[2 * w + 1]);
}

}  // namespace krt
