// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/DeviceList.h"

#include <cctype>

#include "catalogue/CatalogueTexts.h"
#include "catalogue/TextLines.h"
#include "base/Log.h"

namespace krt {

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

bool IsBlank(const std::string& line) {
    for (char c : line)
        if (!std::isspace(static_cast<unsigned char>(c))) return false;
    return true;
}

bool IsEntry(const std::string& line) { return !(line.empty() || line[0] == '#' || IsBlank(line)); }

// Takes one field from pos: control characters before it are skipped (never
// past the line end); it runs to the next comma or the end; a TAB ends its
// value. pos ends after the terminating comma.
std::string TakeField(const std::string& line, std::size_t& pos) {
    while (pos < line.size() && IsControl(static_cast<unsigned char>(line[pos]))) ++pos;
    std::size_t start = pos;
    while (pos < line.size() && line[pos] != ',') ++pos;
    std::string field = line.substr(start, pos - start);
    std::size_t tab = field.find('\t');
    if (tab != std::string::npos) field.resize(tab);
    if (pos < line.size()) ++pos;  // the comma
    return field;
}

void AppendDistinct(std::vector<std::string>& out, const std::string& value) {
    for (const std::string& seen : out)
        if (EqualsNoCase(seen, value)) return;
    out.push_back(value);
}

}  // namespace

DeviceList::DeviceList() { Clear(); }

DeviceList::DeviceList(const std::string& path, LogSink* log) {
    Clear();
    std::string text;
    if (!ReadWholeFile(path, text)) return;
    Parse(text, log);
}

DeviceList DeviceList::FromText(std::string_view text, LogSink* log) {
    DeviceList list;
    list.Parse(text, log);
    return list;
}

void DeviceList::Clear() {
    count = 0;
    types.assign(1, "");
    makers.assign(1, "");
    codes.assign(1, 0);
    files.assign(1, "");
    names.assign(1, "");
    loaded = false;
}

void DeviceList::Parse(std::string_view text, LogSink* log) {
    Clear();
    loaded = true;
    const std::vector<std::string> lines = SplitCatalogueLines(text);
    int32_t entries = 0;
    for (const std::string& line : lines)
        if (IsEntry(line)) ++entries;
    for (auto* column : {&types, &makers, &files, &names}) {
        column->clear();
        column->reserve(static_cast<std::size_t>(entries) + 1);
    }
    codes.clear();
    codes.reserve(static_cast<std::size_t>(entries) + 1);
    int lineNumber = 0;
    for (const std::string& line : lines) {
        ++lineNumber;
        if (!IsEntry(line)) continue;
        std::size_t pos = 0;
        std::string field[5];
        for (std::string& f : field) {
            f = TakeField(line, pos);
            if (f.empty()) Log(log, CatalogueTextOf(1, CatalogueText::ListLineError), lineNumber);
        }
        types.push_back(field[0]);
        makers.push_back(field[1]);
        names.push_back(field[2]);
        codes.push_back(static_cast<uint8_t>(HexDigitsValue(field[3]) & 0xFF));
        files.push_back(field[4]);
    }
    count = entries;
    types.emplace_back();
    makers.emplace_back();
    names.emplace_back();
    codes.push_back(0);
    files.emplace_back();
}

int32_t DeviceList::Find(std::string_view type, std::string_view maker, std::string_view name) const {
    for (int32_t i = 0; i < count; ++i)
        if (EqualsNoCase(types[i], type) && EqualsNoCase(makers[i], maker) &&
            EqualsNoCase(names[i], name))
            return i;
    return count;
}

const std::string& DeviceList::FileOf(std::string_view type, std::string_view maker,
                                      std::string_view name) const {
    return files[Find(type, maker, name)];
}

uint8_t DeviceList::CodeOf(std::string_view type, std::string_view maker,
                           std::string_view name) const {
    return codes[Find(type, maker, name)];
}

std::vector<std::string> DeviceList::MakersOf(std::string_view type) const {
    std::vector<std::string> out;
    for (int32_t i = 0; i < count; ++i)
        if (EqualsNoCase(types[i], type)) AppendDistinct(out, makers[i]);
    return out;
}

std::vector<std::string> DeviceList::NamesOf(std::string_view type, std::string_view maker) const {
    std::vector<std::string> out;
    for (int32_t i = 0; i < count; ++i)
        if (EqualsNoCase(types[i], type) && EqualsNoCase(makers[i], maker))
            AppendDistinct(out, names[i]);
    return out;
}

std::vector<std::string> DeviceList::TypesOf() const {
    std::vector<std::string> out;
    for (int32_t i = 0; i < count; ++i) AppendDistinct(out, types[i]);
    return out;
}

}  // namespace krt
