// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/ParamFile.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>

#include "catalogue/TextLines.h"

namespace krt {

namespace {

bool IsTrailingSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// One token from pos (see ParamTokens); pos ends after it and its TAB.
std::string_view NextToken(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    std::size_t start = pos;
    while (pos < line.size() && line[pos] != '\t') ++pos;
    std::size_t end = pos;
    if (pos < line.size()) ++pos;
    while (end > start && IsTrailingSpace(line[end - 1])) --end;
    return line.substr(start, end - start);
}

std::string_view SkipLeadingSpace(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsTrailingSpace(text[i])) ++i;
    return text.substr(i);
}

// The C-notation number at the start of text (locale-independent, so a
// decimal comma locale never changes a voltage). Sets used to the number of
// characters taken; 0 when there is no number. Infinities and NaN are not
// numbers here: a supply or pulse width must be finite.
double LeadingReal(std::string_view text, std::size_t& used) {
    used = 0;
    std::size_t i = 0;
    if (i < text.size() && text[i] == '+') {
        ++i;
        if (i < text.size() && text[i] == '-') return 0.0;  // "+-1" is not a number
    }
    double value = 0.0;
    const char* first = text.data() + i;
    auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), value,
                                     std::chars_format::general);
    if (ptr == first) return 0.0;
    used = static_cast<std::size_t>(ptr - text.data());
    if (ec == std::errc::result_out_of_range || !std::isfinite(value)) return 0.0;
    return value;
}

}  // namespace

std::vector<std::string> ParamTokens(std::string_view line) {
    std::vector<std::string> tokens;
    std::size_t pos = 0;
    while (pos < line.size()) {
        std::string_view token = NextToken(line, pos);
        if (token.empty() && pos >= line.size()) break;
        tokens.emplace_back(token);
    }
    return tokens;
}

uint32_t ParamHexValue(std::string_view text) { return HexDigitsValue(text); }

int32_t ParamDecimalValue(std::string_view text) {
    text = SkipLeadingSpace(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Out-of-range numbers saturate instead of wrapping.
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) value = int64_t{1} << 32;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

double ParamRealValue(std::string_view text) {
    std::size_t used = 0;
    return LeadingReal(SkipLeadingSpace(text), used);
}

double ParamTimeValue(std::string_view text) {
    text = SkipLeadingSpace(text);
    std::size_t used = 0;
    double value = LeadingReal(text, used);
    std::string_view unit = text.substr(used);
    if (EqualsNoCase(unit, "ns")) return value * 1e-9;
    if (EqualsNoCase(unit, "us")) return value * 1e-6;
    if (EqualsNoCase(unit, "ms")) return value * 0.001;
    return value;  // "s", no unit, or any other text: seconds
}

bool ParamBoolValue(std::string_view text) {
    return EqualsNoCase(text, "true") || EqualsNoCase(text, "on") || EqualsNoCase(text, "yes");
}

ParamFile::ParamFile(const std::string& path, const std::string& device)
    : device_(device), path_(path) {
    std::string text;
    if (!ReadWholeFile(path, text)) {
        if (!path.empty()) status_ |= kOpenFailedNamed;
        status_ |= kOpenFailed;
        return;
    }
    Open(text);
}

ParamFile ParamFile::FromText(std::string_view text, const std::string& device) {
    ParamFile file;
    file.device_ = device;
    file.Open(text);
    return file;
}

void ParamFile::Open(std::string_view text) {
    try {
        lines_ = SplitCatalogueLines(text);
    } catch (const std::bad_alloc&) {
        lines_.clear();
        status_ |= kNoMemory;
        return;
    }
    if (SectionStart() > lines_.size()) status_ |= kDeviceMissing;
}

std::size_t ParamFile::SectionStart() const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::size_t pos = 0;
        if (!EqualsNoCase(NextToken(lines_[i], pos), "device")) continue;
        if (EqualsNoCase(NextToken(lines_[i], pos), device_)) return i + 1;
    }
    return lines_.size() + 1;
}

bool ParamFile::FindValue(std::string_view key, std::string& value) {
    // A key that was not found marks the status, but it does not silence the
    // lookups after it: only a file or section that is not there does.
    if ((status_ & ~uint32_t{kKeyMissing}) == 0) {
        for (std::size_t i = SectionStart(); i < lines_.size(); ++i) {
            std::size_t pos = 0;
            std::string_view first = NextToken(lines_[i], pos);
            if (EqualsNoCase(first, "device")) break;
            if (EqualsNoCase(first, key)) {
                value.assign(NextToken(lines_[i], pos));
                return true;
            }
        }
    }
    status_ |= kKeyMissing;
    return false;
}

bool ParamFile::ReadHexByte(uint8_t& field, std::string_view key, uint8_t fallback) {
    std::string value;
    bool found = FindValue(key, value);
    field = found ? static_cast<uint8_t>(ParamHexValue(value) & 0xFF) : fallback;
    return found;
}

bool ParamFile::ReadHex(uint32_t& field, std::string_view key, uint32_t fallback) {
    std::string value;
    bool found = FindValue(key, value);
    field = found ? ParamHexValue(value) : fallback;
    return found;
}

bool ParamFile::ReadReal(double& field, std::string_view key, double fallback) {
    std::string value;
    bool found = FindValue(key, value);
    field = found ? ParamRealValue(value) : fallback;
    return found;
}

bool ParamFile::ReadDecimal(int32_t& field, std::string_view key, int32_t fallback) {
    std::string value;
    bool found = FindValue(key, value);
    field = found ? ParamDecimalValue(value) : fallback;
    return found;
}

int32_t ParamFile::ReadDecimal(std::string_view key, int32_t fallback) {
    int32_t value = fallback;
    ReadDecimal(value, key, fallback);
    return value;
}

bool ParamFile::ReadBool(uint8_t& field, std::string_view key, uint8_t fallback) {
    std::string value;
    if (!FindValue(key, value)) {
        field = fallback;
        return false;
    }
    if (!ParamBoolValue(value)) return false;
    field = 1;
    return true;
}

bool ParamFile::ReadTime(double& field, std::string_view key, double fallback) {
    std::string value;
    bool found = FindValue(key, value);
    field = found ? ParamTimeValue(value) : fallback;
    return found;
}

bool ParamFile::ReadString(std::string& field, std::string_view key, std::string_view fallback) {
    std::string value;
    bool found = FindValue(key, value);
    field.assign(found ? std::string_view(value) : fallback);
    return found;
}

}  // namespace krt
