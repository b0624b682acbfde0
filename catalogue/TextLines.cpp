// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/TextLines.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <new>

namespace krt {

std::vector<std::string> SplitCatalogueLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        std::size_t stop = end;
        if (stop > pos && text[stop - 1] == '\r') --stop;
        std::string_view line = text.substr(pos, stop - pos);
        if (line.size() > kMaxCatalogueLine) line = line.substr(0, kMaxCatalogueLine);
        lines.emplace_back(line);
        pos = next;
    }
    return lines;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    text.clear();
    if (path.empty()) return false;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char chunk[4096];
    bool ok = true;
    for (;;) {
        std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        text.append(chunk, n);
        if (n < sizeof chunk) {
            ok = !std::ferror(f);
            break;
        }
    }
    std::fclose(f);
    return ok;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

uint32_t HexDigitsValue(std::string_view text) {
    uint32_t value = 0;
    for (char c : text) {
        uint32_t digit;
        if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
        else continue;
        value = (value << 4) | digit;
    }
    return value;
}

}  // namespace krt
