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

// Units in one row of the view.
uint64_t UnitsPerRow(const DumpLayout& l, const DumpSource& s) {
    switch (l.kind) {
    case DumpKind::Bytes: return 16;
    case DumpKind::Words: return 8;
    case DumpKind::Fuses: return std::max<uint32_t>(s.lineLength, 1);
    }
    return 16;
}

struct Span {
    uint64_t first, end;  // units
};

// The spans of the view in its units, cut at the view's units.
std::array<Span, 3> SpansOf(const DumpLayout& l, const DumpSource& s, int& count) {
    std::array<Span, 3> out{};
    if (s.spanCount == 0 || l.kind == DumpKind::Fuses) {
        out[0] = {0, l.units};
        count = 1;
        return out;
    }
    const uint32_t perUnit = l.kind == DumpKind::Words ? 2 : 1;
    count = 0;
    for (int i = 0; i < s.spanCount && i < 3; ++i) {
        const auto& [first, end] = s.spans[static_cast<size_t>(i)];
        const uint64_t f = first / perUnit;
        const uint64_t e = std::min<uint64_t>(end / perUnit, l.units);
        if (e > f) out[static_cast<size_t>(count++)] = {f, e};
    }
    return out;
}

uint64_t RowsOf(const Span& span, uint64_t perRow) { return (span.end - span.first + perRow - 1) / perRow; }

// The row that shows a unit; a unit between spans gives the next span's
// first row, one past them all the row count.
uint64_t RowOfUnit(const DumpLayout& l, const DumpSource& s, uint64_t unit) {
    int count = 0;
    const auto spans = SpansOf(l, s, count);
    const uint64_t perRow = UnitsPerRow(l, s);
    uint64_t rows = 0;
    for (int i = 0; i < count; ++i) {
        const Span& span = spans[static_cast<size_t>(i)];
        if (unit < span.first) return rows;
        if (unit < span.end) return rows + (unit - span.first) / perRow;
        rows += RowsOf(span, perRow);
    }
    return rows;
}

// The first unit of a row and the end of its span, or nothing past the last row.
std::optional<Span> RowAt(const DumpLayout& l, const DumpSource& s, uint64_t row) {
    int count = 0;
    const auto spans = SpansOf(l, s, count);
    const uint64_t perRow = UnitsPerRow(l, s);
    for (int i = 0; i < count; ++i) {
        const Span& span = spans[static_cast<size_t>(i)];
        const uint64_t rows = RowsOf(span, perRow);
        if (row < rows) return Span{span.first + row * perRow, span.end};
        row -= rows;
    }
    return std::nullopt;
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
        // Program memory as the chip has it (whole rows), then the ID and
        // configuration words, then the data EEPROM.
        const uint64_t program = uint64_t{record.maxsize} * perWord;
        const auto programEnd = static_cast<uint32_t>(std::min<uint64_t>((program + 15) / 16 * 16, kPicConfigByte));
        s.spans[0] = {0, programEnd};
        s.spans[1] = {kPicConfigByte, kPicConfigEnd};
        s.spans[2] = {kPicDataEepromByte, kPicBufferBytes};
        s.spanCount = 3;
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
    // The last position shows the last row on the grid's last row, not a
    // page of empty rows past it.
    const uint32_t rows = DumpRowCount(l, s);
    l.scrollMaximum = rows > kDumpRows ? rows - kDumpRows : 0;
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
    // Only matches that lie in the rows shown count.
    auto inRows = [&](const uint8_t* at) {
        return DumpBytesInRows(s, static_cast<uint64_t>(at - begin), pattern.size());
    };
    auto searchForward = [&](const uint8_t* from, const uint8_t* to) {
        const uint8_t* at = std::search(from, to, pattern.begin(), pattern.end());
        while (at != to && !inRows(at)) at = std::search(at + 1, to, pattern.begin(), pattern.end());
        return at == to ? end : at;
    };
    auto searchBackward = [&](const uint8_t* stop) {
        const uint8_t* at = std::find_end(begin, stop, pattern.begin(), pattern.end());
        while (at != stop && !inRows(at)) {
            const uint8_t* before = at + pattern.size() - 1;
            at = before > begin ? std::find_end(begin, before, pattern.begin(), pattern.end()) : stop;
            if (at == before) at = stop;
        }
        return at == stop ? end : at;
    };
    if (forward) {
        hit = searchForward(start, end);
        if (hit == end) hit = searchForward(begin, end);
    } else {
        // A match that starts at from or before it ends by from + its size.
        const uint8_t* stop = begin + std::min<uint64_t>(uint64_t{from} + pattern.size(), s.size);
        hit = searchBackward(stop);
        if (hit == end) hit = searchBackward(end);
    }
    if (hit == end) return std::nullopt;
    return static_cast<uint32_t>(hit - begin);
}

uint32_t DumpRowCount(const DumpLayout& l, const DumpSource& s) {
    return static_cast<uint32_t>(std::min<uint64_t>(RowOfUnit(l, s, UINT64_MAX), UINT32_MAX));
}

bool DumpBytesInRows(const DumpSource& s, uint64_t firstByte, uint64_t count) {
    if (s.spanCount == 0) return true;
    const uint64_t end = firstByte + count;
    for (int i = 0; i < s.spanCount && i < 3; ++i) {
        const auto& [first, last] = s.spans[static_cast<size_t>(i)];
        if (firstByte >= first && end <= last) return true;
    }
    return false;
}

uint32_t DumpFirstUnit(const DumpLayout& l, const DumpSource& s, uint32_t position) {
    const auto row = RowAt(l, s, position);
    return row ? static_cast<uint32_t>(std::min<uint64_t>(row->first, UINT32_MAX)) : l.units;
}

uint32_t DumpPositionOf(const DumpLayout& l, const DumpSource& s, uint32_t unit) {
    return static_cast<uint32_t>(std::min<uint64_t>(RowOfUnit(l, s, unit), l.scrollMaximum));
}

void DumpFill(const DumpSource& s, const DumpLayout& l, uint32_t position, DumpPage& page) {
    for (auto& row : page.cells)
        for (auto& cell : row) cell.clear();
    for (int r = 0; r < kDumpRows; ++r) {
        // Rows past the last one stay blank.
        const auto at = RowAt(l, s, uint64_t{position} + static_cast<uint64_t>(r));
        if (!at) break;
        auto& row = page.cells[static_cast<size_t>(r)];
        const uint64_t u = at->first;
        switch (l.kind) {
        case DumpKind::Bytes: {
            // Units past the buffer or the span are shown as past the end.
            const uint64_t limit = std::min<uint64_t>(at->end, s.buffer ? s.size : 0);
            row[0] = Hex6(static_cast<uint32_t>(u));
            for (uint64_t i = 0; i < 16; ++i)
                if (u + i < limit) AppendHex2(row[1 + i], s.buffer[u + i]);
            row[17] = TextColumn(s, u, limit);
            break;
        }
        case DumpKind::Words: {
            const uint64_t limit = std::min<uint64_t>(at->end, s.buffer ? s.size / 2 : 0);
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
            break;
        }
        case DumpKind::Fuses: {
            const uint64_t line = std::max<uint32_t>(s.lineLength, 1);
            const uint64_t limit = std::min<uint64_t>(at->end, s.buffer ? s.size : 0);
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
            break;
        }
        }
    }
}

void SwapWordBytes(uint8_t* buffer, uint32_t size, uint32_t units) {
    if (!buffer) return;
    const uint64_t pairs = std::min<uint64_t>(units, size / 2);
    for (uint64_t w = 0; w < pairs; ++w) std::swap(buffer[2 * w], buffer[2 * w + 1]);
}

}  // namespace krt
