// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/PartSearch.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

namespace krt {

namespace {

// The letters the makers print before the catalogue's part number, where
// the catalogue's number leaves them out (AMD's 27C256 is marked
// AM27C256, TI's TMS27C256 is in the catalogue whole).
struct MakerPrefix {
    const char* prefix;
    const char* maker;
};
constexpr MakerPrefix kMakerPrefixes[] = {
    {"AM", "AMD"}, {"D", "Intel"}, {"P", "Intel"}, {"N", "Intel"}, {"TN", "Intel"}, {"TMS", "TI"},
};

std::string Upper(const std::string& text) {
    std::string out;
    for (unsigned char c : text)
        if (!std::isspace(c)) out += static_cast<char>(std::toupper(c));
    return out;
}

bool IsDigit(const std::string& s, size_t i) { return i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); }

// Where `number` stands inside `marking` with no digit joined to it; npos when nowhere.
size_t StandsAt(const std::string& marking, const std::string& number) {
    for (size_t at = marking.find(number); at != std::string::npos; at = marking.find(number, at + 1)) {
        const bool digitBefore = at > 0 && IsDigit(marking, at - 1);
        if (!digitBefore && !IsDigit(marking, at + number.size())) return at;
    }
    return std::string::npos;
}

bool PrefixNamesMaker(const std::string& prefix, const std::string& maker) {
    for (const MakerPrefix& p : kMakerPrefixes)
        if (prefix == p.prefix && strcasecmp(maker.c_str(), p.maker) == 0) return true;
    return false;
}

}  // namespace

PartSearch SearchParts(const DeviceList& list, const std::string& text) {
    PartSearch found;
    const std::string wanted = Upper(text);
    if (wanted.empty()) return found;
    for (int32_t i = 0; i < list.count; ++i)
        if (Upper(list.names[static_cast<size_t>(i)]).find(wanted) != std::string::npos) found.entries.push_back(i);
    if (!found.entries.empty()) return found;

    size_t longest = 0;
    std::vector<std::pair<int32_t, size_t>> inside;  // entry, where its number starts
    for (int32_t i = 0; i < list.count; ++i) {
        const std::string number = Upper(list.names[static_cast<size_t>(i)]);
        if (number.size() < longest || number.empty()) continue;
        const size_t at = StandsAt(wanted, number);
        if (at == std::string::npos) continue;
        if (number.size() > longest) inside.clear();
        longest = number.size();
        inside.emplace_back(i, at);
    }
    if (inside.empty()) return found;
    // Stable: the makers the prefix names first, each group in list order.
    std::stable_sort(inside.begin(), inside.end(), [&](const auto& a, const auto& b) {
        auto named = [&](const std::pair<int32_t, size_t>& e) {
            return PrefixNamesMaker(wanted.substr(0, e.second), list.makers[static_cast<size_t>(e.first)]);
        };
        return named(a) && !named(b);
    });
    for (const auto& [entry, at] : inside) found.entries.push_back(entry);
    found.marking = true;
    found.number = list.names[static_cast<size_t>(inside.front().first)];
    return found;
}

}  // namespace krt
