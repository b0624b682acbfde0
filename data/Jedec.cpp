// SPDX-License-Identifier: GPL-3.0-or-later
// JEDEC fuse-map files (JESD3): the fuse image is one byte (0 or 1) per fuse,
// the buffer index being the fuse number.
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

#include "data/DataBuffer.h"
#include "data/DataFile.h"
#include "data/TextIo.h"
#include "base/Log.h"

namespace krt {

namespace {

// The fuse checksum of fuses [0, count); the rest of the map counts as 0.
uint16_t FuseSum(const DataFile& file, uint32_t count) {
    if (file.typecode < 5 || file.typecode > 7 || file.buffer == nullptr) return 0;
    uint32_t sum = 0;
    for (uint32_t i = 0; i < count; ++i) sum += static_cast<uint32_t>(file.buffer[i]) << (i % 8);
    return static_cast<uint16_t>(sum);
}

}  // namespace

uint16_t FuseChecksum(const DataFile& file) { return FuseSum(file, file.bufsize); }

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// A fuse map is text: printable characters, blanks, line and page ends, and
// bytes of UTF-8 in notes; STX opens it and ETX ends it. Any other control
// byte is data of another kind (a binary image named as a fuse map).
bool IsMapText(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int NotText(DataFile& f, size_t at, char c) {
    f.jedecFault = DataFile::JedecFault::NotText;
    f.faultOffset = static_cast<uint32_t>(std::min<size_t>(at, UINT32_MAX));
    f.faultByte = static_cast<uint8_t>(c);
    return FILE_FORMAT_ERROR;
}

int BadFuseValue(DataFile& f, size_t at, char field, char c) {
    f.jedecFault = DataFile::JedecFault::FuseValue;
    f.faultOffset = static_cast<uint32_t>(std::min<size_t>(at, UINT32_MAX));
    f.faultByte = static_cast<uint8_t>(c);
    f.faultField = field;
    return FILE_FORMAT_ERROR;
}

int MissingFuseNumber(DataFile& f, size_t at) {
    f.jedecFault = DataFile::JedecFault::FuseNumber;
    f.faultOffset = static_cast<uint32_t>(std::min<size_t>(at, UINT32_MAX));
    f.faultField = 'L';
    return FILE_FORMAT_ERROR;
}

}  // namespace

int ReadJedec(DataFile& f) {
    f.count = 0;
    const std::string text((std::istreambuf_iterator<char>(*f.input)), std::istreambuf_iterator<char>());
    const size_t size = text.size();
    size_t pos = 0;
    int result = FILE_OK;

    // The design specification field, up to the first "*", says nothing we
    // use. A file without one is no fuse map (an empty file, a text).
    while (pos < size && text[pos] != '*') {
        if (!IsMapText(text[pos]) && text[pos] != 0x02) return NotText(f, pos, text[pos]);
        ++pos;
    }
    if (pos++ >= size) return FILE_FORMAT_ERROR;

    // A fuse map ends with ETX: a file without it was cut short (a copy
    // that did not finish), and its last fields cannot be trusted.
    bool ended = false;
    bool fusesGiven = false;  // an F or an L field: otherwise no fuse is defined
    bool fieldStart = true;
    while (result == FILE_OK && pos < size) {
        const char c = text[pos++];
        if (c == 0x03) {  // ETX: the transmission checksum is not read
            ended = true;
            break;
        }
        if (!IsMapText(c)) return NotText(f, pos - 1, c);
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E) continue;
        if (c == '*') { fieldStart = true; continue; }
        if (c == ' ') continue;
        const bool atFieldStart = fieldStart;
        fieldStart = false;
        switch (c) {
        case 'Q': {
            // The sub-letter; of the values only the fuse count (QF) is used:
            // a map for another device's fuse count is not this device's.
            if (pos >= size) break;
            if (text[pos++] != 'F') break;
            while (pos < size && IsBlank(text[pos])) ++pos;
            uint64_t n = 0;
            size_t digits = 0;
            while (pos < size && text[pos] >= '0' && text[pos] <= '9') {
                n = std::min<uint64_t>(n * 10 + static_cast<uint64_t>(text[pos] - '0'), UINT32_MAX);
                ++pos;
                ++digits;
            }
            if (digits == 0) return FILE_FORMAT_ERROR;
            f.fuseCountStated = true;
            f.statedFuses = static_cast<uint32_t>(n);
            if (!f.FuseCountFits(static_cast<uint32_t>(n))) return n > f.bufsize ? FILE_BEYOND_BUFFER : FILE_FORMAT_ERROR;
            break;
        }
        case 'F':
            // The default state of the fuses: 0 or 1, nothing else.
            if (pos < size) {
                const char v = text[pos++];
                if (v == '1') f.defaultFuseState = true;
                else if (v == '0') f.defaultFuseState = false;
                else return BadFuseValue(f, pos - 1, 'F', v);
            }
            if (f.buffer) std::fill(f.buffer, f.buffer + f.bufsize, static_cast<uint8_t>(f.defaultFuseState ? 1 : 0));
            fusesGiven = true;
            break;
        case 'G':
            if (pos < size) {
                const char v = text[pos++];
                if (v == '1') f.securityFlag = true;
                else if (v == '0') f.securityFlag = false;
            }
            break;
        case 'C': {
            // Four hexadecimal digits, at most, on the same line. A field with
            // none (end of stream, or a line end right after "C") is no map.
            size_t first = pos;
            while (pos < size && pos - first < 4 && !IsLineEnd(text[pos])) ++pos;
            if (pos == first) return FILE_FORMAT_ERROR;
            const uint32_t stated = ParseHex(std::string_view(text).substr(first, pos - first));
            const uint16_t computed = FuseSum(f, f.fuseCountStated ? std::min(f.statedFuses, f.bufsize) : f.bufsize);
            if (stated != computed) {
                Log(f.log, "メモリ内容=%04X ファイル記述=%04X", computed, stated);
                result = FILE_CHECKSUM_ERROR;
            }
            break;
        }
        case 'L': {
            // The fuse number is the whole decimal number that follows "L".
            const size_t field = pos - 1;
            while (pos < size && IsBlank(text[pos])) ++pos;
            if (pos >= size) return FILE_FORMAT_ERROR;
            fusesGiven = true;
            uint64_t n = 0;
            size_t digits = 0;
            while (pos < size && text[pos] >= '0' && text[pos] <= '9') {
                n = std::min<uint64_t>(n * 10 + static_cast<uint64_t>(text[pos] - '0'), UINT64_C(1) << 40);
                ++pos;
                ++digits;
            }
            // The number and the states are told apart by the blank between
            // them: "L 0101*" has no number (or no states), not fuse 101 of nothing.
            if (digits == 0 || pos >= size || !IsBlank(text[pos])) return MissingFuseNumber(f, field);
            const uint32_t countBefore = f.count;
            // Fuse digits up to "*", with blanks and line ends between
            // them; any other character (a 2, a "?") is no fuse state, and a
            // map that holds one describes nothing that can be programmed.
            while (result == FILE_OK && pos < size) {
                const char d = text[pos];
                if (d == '*' || d == 0x03) break;
                ++pos;
                if (IsBlank(d)) continue;
                if (!IsMapText(d)) return NotText(f, pos - 1, d);
                if (d != '0' && d != '1') return BadFuseValue(f, pos - 1, 'L', d);
                if (n >= f.bufsize) {
                    result = FILE_BEYOND_BUFFER;
                    break;
                }
                f.buffer[n++] = d == '1' ? 1 : 0;
                ++f.count;
            }
            if (result == FILE_OK && f.count == countBefore) return MissingFuseNumber(f, field);
            break;
        }
        default:
            // Any other field that begins with its identifier letter (a note
            // "N", test vectors "V", and so on) holds free text that may
            // contain the letters above: it is skipped whole.
            if (atFieldStart && c >= 'A' && c <= 'Z') {
                while (pos < size && text[pos] != '*' && text[pos] != 0x03) {
                    if (!IsMapText(text[pos])) return NotText(f, pos, text[pos]);
                    ++pos;
                }
            }
            break;
        }
    }
    if (result == FILE_OK && (!ended || !fusesGiven)) return FILE_FORMAT_ERROR;
    // A shorter map the device takes leaves its last fuses out: they are 0
    // (a power-down fuse disabled), whatever the default state.
    if (result == FILE_OK && f.fuseCountStated && f.statedFuses < f.bufsize && f.buffer)
        std::fill(f.buffer + f.statedFuses, f.buffer + f.bufsize, uint8_t{0});
    return result;
}

int WriteJedec(DataFile& f) {
    TextOut out(*f.output);
    char line[64];
    out.Char(0x02);
    out.Text("FUSE MAP DUMP (JEDEC STANDARD FORMAT). Auto generated by KRTWIN\n");
    out.Text("DEVICE ");
    out.Text(f.deviceName);
    out.Text("*\n");
    // Fuses that exist: never beyond the buffer.
    const uint32_t fuses = f.buffer ? std::min(f.length, f.bufsize) : 0;
    std::snprintf(line, sizeof line, "QP%u*\n", static_cast<unsigned>(f.PinNumber));
    out.Text(line);
    // QF is the device's fuse count, whatever the range: the fuses the range
    // leaves out are those of the F field, and the checksum below is that of
    // the map so described, so that the file reads back (here and in other
    // JEDEC readers) as the map it describes.
    const uint32_t total = f.buffer ? f.bufsize : 0;
    std::snprintf(line, sizeof line, "QF%u*\n", static_cast<unsigned>(total));
    out.Text(line);
    out.Text(f.securityFlag ? "G1*\n" : "G0*\n");
    out.Text(f.defaultFuseState ? "F1*\n" : "F0*\n");
    // A device without a line length (LineNumber 0) gets all fuses on one line.
    const uint32_t perLine = f.LineNumber ? f.LineNumber : std::max<uint32_t>(fuses, 1);
    f.count = 0;
    for (uint32_t i = 0; i < fuses; ++i) {
        if (i % perLine == 0) {
            std::snprintf(line, sizeof line, "L%04u ", static_cast<unsigned>(i));
            out.Text(line);
        }
        const uint8_t v = f.buffer[i];
        out.Char(v == 1 ? '1' : v == 0 ? '0' : '?');
        ++f.count;
        if ((i + 1) % perLine == 0) out.Text("*\n");
    }
    if (fuses % perLine != 0) out.Text("*\n");
    // The checksum field ends in "*" like every field: readers that follow
    // the standard (MAME's jedutil) refuse a file without it.
    // Only the fuses written count; the others are at the F value, 0.
    std::snprintf(line, sizeof line, "C%04X*\n", static_cast<unsigned>(FuseSum(f, fuses)));
    out.Text(line);
    out.Char(0x03);
    out.Text("0000\n");
    return out.Good() ? FILE_OK : FILE_CREATE_FAILED;
}

}  // namespace krt
