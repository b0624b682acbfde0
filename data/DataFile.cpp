// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/DataFile.h"

#include "base/TypeCodes.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <random>
#include <system_error>
#include <vector>

#include "data/TextIo.h"

namespace krt {

namespace {
// S0 record with the text "HDR" at address 0.
constexpr const char* kMotorolaHeader = "S00600004844521B";
}  // namespace

uint32_t FormatFromName(std::string_view fileName) {
    // Only the last component's extension counts: "dir.hex/data" is binary.
    size_t slash = fileName.find_last_of("/\\");
    std::string_view base = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    size_t dot = base.rfind('.');
    if (dot == std::string_view::npos) return FORMAT_BINARY;
    std::string ext(base.substr(dot));
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".hex") return FORMAT_INTEL_HEX;
    if (ext == ".hxl" || ext == ".hxh") return FORMAT_INTEL_SPLIT;
    if (ext == ".mot") return FORMAT_MOTOROLA;
    if (ext == ".jed") return FORMAT_JEDEC;
    return FORMAT_BINARY;
}

uint32_t FormatFromContent(std::string_view head) {
    size_t at = 0;
    while (at < head.size() && (head[at] == ' ' || head[at] == '\t' || head[at] == '\r' || head[at] == '\n')) ++at;
    const std::string_view text = head.substr(at);
    auto hexDigits = [&text](size_t from, size_t count) {
        if (text.size() < from + count) return false;
        for (size_t i = from; i < from + count; ++i)
            if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
        return true;
    };
    // The shortest record of each format: ":00000001FF", "S9030000FC".
    if (!text.empty() && text[0] == ':' && hexDigits(1, 10)) return FORMAT_INTEL_HEX;
    if (text.size() > 1 && text[0] == 'S' && text[1] >= '0' && text[1] <= '9' && hexDigits(2, 8))
        return FORMAT_MOTOROLA;
    if (!text.empty() && text[0] == '\x02') return FORMAT_JEDEC;
    const std::string_view sample = head.substr(0, 4096);
    const bool printable = std::all_of(sample.begin(), sample.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 || c == '\r' || c == '\n' || c == '\t' || c == '\x02' || c == '\x03';
    });
    if (printable && sample.find('*') != std::string_view::npos && sample.find("QF") != std::string_view::npos)
        return FORMAT_JEDEC;
    return FORMAT_BINARY;
}

uint32_t ChooseFormat(std::string_view fileName, uint32_t requested) {
    if (requested != FORMAT_BY_NAME) return requested;
    return fileName == kStandardStream ? FORMAT_BY_CONTENT : FormatFromName(fileName);
}

int DataFile::Dispatch(bool reading) {
    switch (format) {
    case FORMAT_BINARY: return reading ? ReadBinary() : WriteBinary();
    case FORMAT_MOTOROLA: return reading ? ReadMotorola() : WriteMotorola();
    case 2: case 3: case 4: case 5: return reading ? ReadIntelHex() : WriteIntelHex();
    case FORMAT_JEDEC: return reading ? ReadJedec(*this) : WriteJedec(*this);
    default: return FILE_FORMAT_ERROR;
    }
}

int DataFile::Read() {
    if (format > FORMAT_JEDEC && format != FORMAT_BY_CONTENT) return FILE_FORMAT_ERROR;
    if (!input && fileName == kStandardStream) {
        input = std::make_unique<std::istream>(std::cin.rdbuf());
    } else if (!input) {
        // Only regular files (and "-") are read: a FIFO without a writer
        // would block the open for ever, and a directory holds no data.
        std::error_code ec;
        const auto status = std::filesystem::status(fileName, ec);
        if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
            !std::filesystem::is_character_file(status))
            return FILE_OPEN_FAILED;
        auto stream = std::make_unique<std::ifstream>(fileName, std::ios::in | std::ios::binary);
        if (!stream->is_open()) return FILE_OPEN_FAILED;
        input = std::move(stream);
    }
    if (format == FORMAT_BY_CONTENT) {
        // Standard input cannot be read twice: it is taken whole, its
        // first bytes tell the format, and the reader reads the copy.
        std::string content{std::istreambuf_iterator<char>(*input), std::istreambuf_iterator<char>()};
        format = FormatFromContent(content);
        input = std::make_unique<std::istringstream>(std::move(content));
    }
    return Dispatch(true);
}

namespace {

namespace fs = std::filesystem;

// Creates a new, empty file beside target that no other writer uses.
bool CreateTemporaryBeside(const fs::path& target, fs::path& temporary) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    fs::path dir = target.parent_path();
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%012llx.tmp",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        fs::path candidate = dir / ("." + target.filename().string() + suffix);
        // "x": fails when the name exists, so two saves never share a file.
        if (std::FILE* f = std::fopen(candidate.c_str(), "wbx")) {
            std::fclose(f);
            temporary = candidate;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

}  // namespace

int DataFile::Write() {
    if (format > FORMAT_JEDEC) return FILE_FORMAT_ERROR;
    if (output) {
        int result = Dispatch(false);
        output->flush();
        return output->good() ? result : FILE_CREATE_FAILED;
    }

    if (fileName == kStandardStream) {
        output = std::make_unique<std::ostream>(std::cout.rdbuf());
        const int result = Dispatch(false);
        output->flush();
        const bool good = output->good();
        output.reset();
        return good ? result : FILE_CREATE_FAILED;
    }

    std::error_code ec;
    fs::path target(fileName);
    // Saving through a symbolic link replaces the file it points to and
    // keeps the link.
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::read_symlink(target, ec);
        if (!ec) target = resolved.is_absolute() ? resolved : target.parent_path() / resolved;
    }
    if (fs::is_directory(target, ec)) {
        errno = EISDIR;
        return FILE_CREATE_FAILED;
    }
    // Only a regular file (or a new path) is replaced by renaming a new file
    // over it. Anything else that exists (a device node, a FIFO) is written
    // in place: renaming over it would destroy it.
    const fs::file_status targetStatus = fs::status(target, ec);
    if (!ec && fs::exists(targetStatus) && !fs::is_regular_file(targetStatus)) {
        auto stream = std::make_unique<std::ofstream>(target, std::ios::out | std::ios::binary | std::ios::trunc);
        if (!stream->is_open()) return FILE_CREATE_FAILED;
        std::ofstream* file = stream.get();
        output = std::move(stream);
        const int result = Dispatch(false);
        file->flush();
        bool written = file->good();
        file->close();
        written = written && !file->fail();
        output.reset();
        return written ? result : FILE_CREATE_FAILED;
    }
    // A file the user may not write stays as it is, although the rename
    // below could replace it: opening it for appending changes nothing.
    if (fs::exists(target, ec)) {
        std::FILE* probe = std::fopen(target.c_str(), "ab");
        if (!probe) return FILE_CREATE_FAILED;
        std::fclose(probe);
    }

    fs::path temporary;
    if (!CreateTemporaryBeside(target, temporary)) return FILE_CREATE_FAILED;
    auto stream = std::make_unique<std::ofstream>(temporary, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!stream->is_open()) {
        fs::remove(temporary, ec);
        return FILE_CREATE_FAILED;
    }
    std::ofstream* file = stream.get();
    output = std::move(stream);
    int result = Dispatch(false);
    file->flush();
    bool written = file->good();
    file->close();
    written = written && !file->fail();
    output.reset();
    if (result == FILE_FORMAT_ERROR || !written) {
        fs::remove(temporary, ec);
        return written ? result : FILE_CREATE_FAILED;
    }
    // The new file keeps the permissions of the one it replaces.
    fs::file_status old = fs::status(target, ec);
    if (!ec && fs::exists(old)) fs::permissions(temporary, old.permissions(), ec);
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return FILE_CREATE_FAILED;
    }
    return result;
}

// --- Intel HEX ---

// Where PIC tools put the data EEPROM in Intel HEX files (64 bytes as words).
constexpr uint64_t kPicDataEepromStart = kPicDataEepromByte;
constexpr uint64_t kPicDataEepromEnd = kPicBufferBytes;

namespace {

// A data record of gpasm's INHX16: the byte count counts words, so the line
// holds 4 digits per count and its checksum sums the words' bytes.
bool IsWordRecord(std::string_view line, int n) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    if (n <= 0 || line.size() != 11 + 4 * static_cast<size_t>(n) || HexByte(line, 7) != 0) return false;
    unsigned sum = 0;
    for (size_t at = 1; at + 1 < line.size(); at += 2) {
        const int b = HexByte(line, at);
        if (b < 0) return false;
        sum += static_cast<unsigned>(b);
    }
    return (sum & 0xFF) == 0;
}

// A microcontroller's program words end at maxsize; its buffer goes on to
// the configuration words at 2000h (byte 4000h). Data in between has no
// place on the chip.
bool BeyondPicProgram(const DataFile& f, uint64_t target) {
    return f.typecode == 4 && f.maxsize != 0 && target >= uint64_t{f.maxsize} * 2 && target < 0x4000;
}

}  // namespace

int DataFile::ReadIntelHex() {
    LineReader lines(*input);
    std::string_view line;
    int result = FILE_OK;
    uint64_t base = 0;
    uint64_t lowest = start;
    uint64_t highest = 0;
    bool stored = false;
    bool recordSeen = false;
    const bool wordWide = bytesPerWord == 2;
    while (lines.Next(line)) {
        if (line.empty() || line[0] != ':') continue;
        recordSeen = true;
        if (line.size() < 11) { result = FILE_FORMAT_ERROR; break; }
        int n = HexByte(line, 1), ah = HexByte(line, 3), al = HexByte(line, 5), type = HexByte(line, 7);
        if (n < 0 || ah < 0 || al < 0 || type < 0) { result = FILE_FORMAT_ERROR; break; }
        // The data and the checksum byte must lie inside the line.
        if (11 + 2 * static_cast<size_t>(n) > line.size()) {
            wordAddressed = IsWordRecord(line, n);
            result = FILE_FORMAT_ERROR;
            break;
        }
        unsigned sum = static_cast<unsigned>(n + ah + al + type);
        const uint32_t address = static_cast<uint32_t>(ah << 8 | al);
        if (typecode != 4 && address < lowest) lowest = address;

        if (type == 0x01) break;
        if (type == 0x03 || type == 0x05) continue;  // start addresses: nothing to store
        if (type == 0x02 || type == 0x04) {
            if (n < 2) { result = FILE_FORMAT_ERROR; break; }
            int hi = HexByte(line, 9), lo = HexByte(line, 11);
            if (hi < 0 || lo < 0) { result = FILE_FORMAT_ERROR; break; }
            bool bad = false;
            for (int i = 0; i <= n && !bad; ++i) {
                int b = HexByte(line, 9 + 2 * static_cast<size_t>(i));
                bad = b < 0;
                sum += static_cast<unsigned>(b);
            }
            if (bad) { result = FILE_FORMAT_ERROR; break; }
            const uint64_t value = static_cast<uint64_t>(hi << 8 | lo);
            // 02: segment base (value x 16); 04: linear base (value x 65536).
            base = type == 0x02 ? value << 4 : value << 16;
            if (sum & 0xFF) result = FILE_CHECKSUM_ERROR;
            continue;
        }
        if (type != 0x00) continue;

        const uint64_t recordBase = base + address;
        const char* digits = line.data() + 9;
        bool bad = false;
        for (int i = 0; i < n; ++i, digits += 2) {
            int hi = HexDigit(digits[0]), lo = HexDigit(digits[1]);
            if (hi < 0 || lo < 0) { bad = true; break; }
            const uint8_t value = static_cast<uint8_t>(hi << 4 | lo);
            sum += value;
            uint64_t target = recordBase + static_cast<uint64_t>(i);
            if (typecode == 4 && target >= kPicDataEepromStart && target < kPicDataEepromEnd &&
                bufsize < kPicDataEepromEnd) {
                // Data EEPROM of a buffer too short to hold it: left out, and not an error.
                if (target % 2 == 0) ++dataEepromBytes;
                continue;
            }
            if (target >= bufsize || BeyondPicProgram(*this, target)) { result = FILE_BEYOND_BUFFER; continue; }
            if (wordWide) {
                // Low byte first in the file, high byte first in the buffer:
                // the byte at an even address is a word's low byte, whatever
                // its place in the record.
                target = (target % 2 == 0) ? target + 1 : target - 1;
                if (target >= bufsize) { result = FILE_BEYOND_BUFFER; continue; }
            }
            buffer[target] = value;
            if (typecode != 4 || recordBase < 0x4000) {
                if (!stored || target > highest) highest = target;
                stored = true;
            }
        }
        if (bad) { result = FILE_FORMAT_ERROR; break; }
        int check = HexByte(line, 9 + 2 * static_cast<size_t>(n));
        if (check < 0) { result = FILE_FORMAT_ERROR; break; }
        sum += static_cast<unsigned>(check);
        if (sum & 0xFF) {
            // A record that only sums up as words is no broken record but a
            // file in another format: say which, rather than "check sum".
            if (IsWordRecord(line, n)) {
                wordAddressed = true;
                result = FILE_FORMAT_ERROR;
                break;
            }
            result = FILE_CHECKSUM_ERROR;
        }
    }
    const uint32_t perWord = bytesPerWord ? bytesPerWord : 1;
    count = (stored && highest >= lowest) ? static_cast<uint32_t>((highest - lowest + 1) / perWord) : 0;
    // A file without a single record (a text, a file of NULs) is no HEX file.
    if (!recordSeen && result == FILE_OK) return FILE_FORMAT_ERROR;
    return result;
}

namespace {

// Microcontroller buffers (type code 4) get one more 8-byte record from
// position 2000h after the main loop, but only for the bytes the loop did
// not write already: a record that repeated them would make other tools
// refuse the file (overlapping or redundant data).
// The next byte of a microcontroller buffer that a writer saves from p on:
// the bytes between the configuration words and the data EEPROM stand for
// no memory of the chip, and other tools warn of records there.
// So do the bytes between the last program word (maxsize, when known) and
// the configuration words at byte 4000h, which the readers refuse as data
// beyond the device.
uint32_t SkipPicGap(const DataFile& f, uint32_t p) {
    if (f.typecode != 4) return p;
    const uint32_t programEnd = f.maxsize != 0 ? std::min<uint32_t>(f.maxsize * 2, kPicConfigByte) : kPicConfigByte;
    if (p >= programEnd && p < kPicConfigByte) return std::min(f.bufsize, kPicConfigByte);
    if (p < kPicConfigEnd || p >= kPicDataEepromByte) return p;
    return std::min(f.bufsize, kPicDataEepromByte);
}

// How many bytes from p a writer's record takes: at most 16, and never across
// the start of a gap.
uint32_t RecordBytes(const DataFile& f, uint32_t p) {
    uint32_t n = std::min<uint32_t>(16, f.bufsize - p);
    if (f.typecode == 4 && p < kPicConfigEnd) n = std::min(n, kPicConfigEnd - p);
    if (f.typecode == 4 && f.maxsize != 0 && p < f.maxsize * 2) n = std::min(n, f.maxsize * 2 - p);
    return n;
}

uint32_t PicExtraRecordBytes(const DataFile& f) {
    constexpr uint32_t kAt = 0x2000, kBytes = 8;
    if (f.typecode != 4 || f.bufsize < kAt + kBytes || f.start <= kAt) return 0;
    return std::min(kBytes, f.start - kAt);
}

void IntelDataRecord(DataFile& f, TextOut& out, uint32_t p, uint32_t n) {
    out.Char(':');
    out.Hex2(n);
    out.Hex4(p & 0xFFFF);
    out.Hex2(0);
    unsigned sum = n + (p & 0xFF) + ((p >> 8) & 0xFF);
    const bool wordWide = f.bytesPerWord == 2;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t index = p + i;
        uint8_t value;
        if (wordWide) {
            // Each word goes low byte first; a word cut by the buffer's end
            // lends a blank byte rather than one from beyond it.
            uint32_t source = (index % 2 == 0) ? index + 1 : index - 1;
            value = source < f.bufsize ? f.buffer[source] : 0xFF;
        } else {
            value = f.buffer[index];
        }
        sum += value;
        out.Hex2(value);
    }
    out.Hex2((256 - (sum & 0xFF)) & 0xFF);
    out.EndLine();
    f.count += wordWide ? n / 2 : n;
}

}  // namespace

int DataFile::WriteIntelHex() {
    // Split names (.hxl, .hxh) are written as ordinary Intel HEX, so that they
    // read back into the same buffer as they are read: like .hex.
    TextOut out(*output);
    // Segment records (02) reach 1 MiB; bigger buffers need linear records (04).
    const bool linear = bufsize > 0x100000;
    uint32_t upper = 0;
    auto selectBase = [&](uint32_t p) {
        if (!linear) {
            uint32_t bits = (p >> 16) & 0xF;
            if (bits == upper) return;
            upper = bits;
            out.Text(":02000002");
            out.Hex4((p >> 4) & 0xF000);
            out.Hex2((256 - (4 + ((p >> 12) & 0xF0))) & 0xFF);
        } else {
            uint32_t bits = p >> 16;
            if (bits == upper) return;
            upper = bits;
            out.Text(":02000004");
            out.Hex4(bits);
            out.Hex2((256 - ((6 + (bits >> 8) + bits) & 0xFF)) & 0xFF);
        }
        out.EndLine();
    };
    for (uint32_t p = SkipPicGap(*this, start); p < bufsize; p = SkipPicGap(*this, p)) {
        selectBase(p);
        const uint32_t n = RecordBytes(*this, p);
        IntelDataRecord(*this, out, p, n);
        p += n;
    }
    if (const uint32_t n = PicExtraRecordBytes(*this)) {
        selectBase(0x2000);
        IntelDataRecord(*this, out, 0x2000, n);
    }
    out.Text(":00000001FF");
    out.EndLine();
    return out.Good() ? FILE_OK : FILE_CREATE_FAILED;
}

// --- Motorola S ---

int DataFile::ReadMotorola() {
    LineReader lines(*input);
    std::string_view line;
    int result = FILE_OK;
    uint64_t highest = 0;
    bool stored = false;
    bool recordSeen = false;
    while (lines.Next(line)) {
        if (line.size() < 2 || line[0] != 'S' || line[1] < '0' || line[1] > '9') continue;
        recordSeen = true;
        const int type = line[1] - '0';
        if (type < 1 || type > 3) continue;
        if (line.size() < 4) { result = FILE_FORMAT_ERROR; break; }
        const int n = HexByte(line, 2);
        if (n < 0) { result = FILE_FORMAT_ERROR; break; }
        // Address bytes, data and checksum must lie inside the record and the line.
        const int dataBytes = n - 2 - type;
        if (dataBytes < 0 || 4 + 2 * static_cast<size_t>(n) > line.size()) { result = FILE_FORMAT_ERROR; break; }
        unsigned sum = static_cast<unsigned>(n);
        uint64_t address = 0;
        bool bad = false;
        for (int i = 0; i <= type; ++i) {
            int b = HexByte(line, 4 + 2 * static_cast<size_t>(i));
            if (b < 0) { bad = true; break; }
            sum += static_cast<unsigned>(b);
            address = address << 8 | static_cast<uint64_t>(b);
        }
        if (bad) { result = FILE_FORMAT_ERROR; break; }
        const char* digits = line.data() + 4 + 2 * (type + 1);
        for (int i = 0; i < dataBytes; ++i, digits += 2) {
            int hi = HexDigit(digits[0]), lo = HexDigit(digits[1]);
            if (hi < 0 || lo < 0) { bad = true; break; }
            const uint8_t value = static_cast<uint8_t>(hi << 4 | lo);
            sum += value;
            uint64_t target = address + static_cast<uint64_t>(i);
            if (target >= bufsize || BeyondPicProgram(*this, target)) { result = FILE_BEYOND_BUFFER; continue; }
            buffer[target] = value;
            if (!stored || target > highest) highest = target;
            stored = true;
        }
        if (bad) { result = FILE_FORMAT_ERROR; break; }
        int check = HexByte(line, 4 + 2 * static_cast<size_t>(n - 1));
        if (check < 0) { result = FILE_FORMAT_ERROR; break; }
        sum += static_cast<unsigned>(check) + 1;
        if (sum & 0xFF) result = FILE_CHECKSUM_ERROR;
    }
    const uint32_t perWord = bytesPerWord ? bytesPerWord : 1;
    count = stored ? static_cast<uint32_t>((highest + 1) / perWord) : 0;
    if (!recordSeen && result == FILE_OK) return FILE_FORMAT_ERROR;
    return result;
}

namespace {

void MotorolaRecord(DataFile& f, TextOut& out, uint32_t p, uint32_t n, bool wide) {
    const uint32_t addressBytes = wide ? 4 : 3;
    out.Char('S');
    out.Char(wide ? '3' : '2');
    out.Hex2(n + addressBytes + 1);
    unsigned sum = n + addressBytes + 1;
    for (uint32_t i = addressBytes; i-- > 0;) {
        uint32_t b = (p >> (8 * i)) & 0xFF;
        out.Hex2(b);
        sum += b;
    }
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t value = f.buffer[p + i];
        sum += value;
        out.Hex2(value);
    }
    out.Hex2(~sum & 0xFF);
    out.EndLine();
    f.count += n;
}

}  // namespace

int DataFile::WriteMotorola() {
    TextOut out(*output);
    // A header record first ("HDR"), as other tools expect; readers skip it.
    out.Text(kMotorolaHeader);
    out.EndLine();
    // S2 records carry 24-bit addresses; only a buffer beyond 16 MiB needs S3.
    const bool wide = bufsize > 0x1000000;
    for (uint32_t p = SkipPicGap(*this, start); p < bufsize; p = SkipPicGap(*this, p)) {
        const uint32_t n = RecordBytes(*this, p);
        MotorolaRecord(*this, out, p, n, wide);
        p += n;
    }
    if (const uint32_t n = PicExtraRecordBytes(*this)) MotorolaRecord(*this, out, 0x2000, n, wide);
    out.Text(wide ? "S70500000000FA" : "S804000000FB");
    out.EndLine();
    return out.Good() ? FILE_OK : FILE_CREATE_FAILED;
}

// --- binary ---

namespace {

// The byte range of a binary transfer, cut to the buffer. Returns false when
// the range as given does not fit.
bool BinaryRange(const DataFile& f, uint64_t& offset, uint64_t& bytes) {
    const uint64_t perWord = f.bytesPerWord ? f.bytesPerWord : 1;
    offset = static_cast<uint64_t>(f.start) * perWord;
    bytes = static_cast<uint64_t>(f.length) * perWord;
    if (offset + bytes <= f.bufsize) return true;
    bytes = offset < f.bufsize ? f.bufsize - offset : 0;
    return false;
}

}  // namespace

int DataFile::ReadBinary() {
    uint64_t offset, bytes;
    // A range beyond the buffer gives 6; the part that fits is read.
    const bool fits = BinaryRange(*this, offset, bytes);
    uint64_t got = 0;
    if (bytes > 0) {
        input->read(reinterpret_cast<char*>(buffer + offset), static_cast<std::streamsize>(bytes));
        got = static_cast<uint64_t>(input->gcount());
    }
    const uint32_t perWord = bytesPerWord ? bytesPerWord : 1;
    count = static_cast<uint32_t>(got / perWord);
    if (typecode >= 5 && typecode <= 7) {
        // A fuse image holds one bit per byte.
        uint64_t end = std::min<uint64_t>(bufsize, std::max<uint64_t>(length, offset + got));
        for (uint64_t i = 0; i < end; ++i) buffer[i] &= 1;
    }
    if (!fits) return FILE_BEYOND_BUFFER;
    if (got == 0) return FILE_FORMAT_ERROR;
    if (got < bytes) return FILE_SHORT;
    // More in the file than the range took: a range that stops short of the
    // device's end asked for the cut; one that runs to the end did not, and
    // the rest of the file has no place on the device.
    fileLonger = input->peek() != std::char_traits<char>::eof();
    if (fileLonger) {
        const uint64_t perDevice = maxsize ? std::min<uint64_t>(uint64_t{maxsize} * perWord, bufsize) : bufsize;
        if (offset + bytes >= perDevice && !cutConsented) return FILE_BEYOND_BUFFER;
    }
    return FILE_OK;
}

int DataFile::WriteBinary() {
    uint64_t offset, bytes;
    const bool fits = BinaryRange(*this, offset, bytes);
    if (bytes > 0) output->write(reinterpret_cast<const char*>(buffer + offset), static_cast<std::streamsize>(bytes));
    const uint32_t perWord = bytesPerWord ? bytesPerWord : 1;
    count = static_cast<uint32_t>(bytes / perWord);
    if (!output->good()) return FILE_CREATE_FAILED;
    return fits ? FILE_OK : FILE_BEYOND_BUFFER;
}

bool DataFile::FuseCountFits(uint32_t n) const {
    if (n == bufsize) return true;
    for (uint32_t shorter : shorterFuseCounts)
        if (n == shorter && shorter < bufsize) return true;
    return false;
}

}  // namespace krt
