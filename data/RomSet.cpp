// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/RomSet.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <numeric>

#include "data/DataFile.h"

namespace krt {

namespace {

// The texts of splitting and joining: [code][language], Japanese first.
enum RomSetText {
    kBadLayout,
    kNotMultiple,
    kJoinSizesDiffer,
    kNoData,
    kFuseMap,
    kTooLarge,
    kCannotRead,
    kBadFormat,
    kCannotWrite,
    kNoLanes,
};

constexpr const char* kRomSetTexts[][2] = {
    {"分割数は 2 から 16、ワードのバイト数は 1、2 または 4 です",
     "the number of chips is 2 to 16, and a chip's word has 1, 2 or 4 bytes"},
    {"%llu バイトのイメージは %u 個のチップ (%u バイトのワード) に分けられません: サイズは %u の倍数でなければなりません",
     "the image of %llu bytes does not split into %u chips of %u-byte words: its size must be a multiple of %u"},
    {"ファイルのサイズが違います: %s は %llu バイト、%s は %llu バイトです。結合しませんでした",
     "the files differ in size: %s has %llu bytes, %s has %llu; nothing was joined"},
    {"%s にデータがありません", "%s holds no data"},
    {"%s は JEDEC ヒューズマップです: 分割と結合はバイナリ、インテル HEX、モトローラ S のファイルを扱います",
     "%s is a JEDEC fuse map: split and join take binary, Intel HEX and Motorola S files"},
    {"%s のデータは 16 MiB を超えています", "%s has data beyond 16 MiB"},
    {"%s を読めません", "%s cannot be read"},
    {"%s の形式が正しくないか、チェックサムが違います", "%s is not in its format, or a record's checksum is wrong"},
    {"%s を書けません", "%s cannot be written"},
    {"チップ %u 個にはファイルが %u 個要ります (%zu 個ではなく)", "%u chips want %u files, not %zu"},
};

const char* RomSetTextOf(RomSetText code, uint32_t language) { return kRomSetTexts[code][language == 0 ? 0 : 1]; }

template <typename... Args>
std::string Format(RomSetText code, uint32_t language, Args... args) {
    char text[512];
    std::snprintf(text, sizeof text, RomSetTextOf(code, language), args...);
    return text;
}

// The width of the words that --swap reverses.
uint32_t SwapWidth(const RomSetLayout& layout) { return std::max<uint32_t>(layout.bytes, 2); }

void ReverseWords(std::vector<uint8_t>& image, uint32_t width) {
    for (size_t i = 0; i + width <= image.size(); i += width)
        std::reverse(image.begin() + static_cast<std::ptrdiff_t>(i),
                     image.begin() + static_cast<std::ptrdiff_t>(i + width));
}

// The period of the interleave, and of the swap when there is one.
uint64_t Period(const RomSetLayout& layout) {
    const uint64_t period = uint64_t{layout.ways} * layout.bytes;
    return layout.swap ? std::lcm(period, uint64_t{SwapWidth(layout)}) : period;
}

}  // namespace

std::string RomSetLayoutProblem(const RomSetLayout& layout, uint32_t language) {
    const bool good = layout.ways >= 2 && layout.ways <= 16 &&
                      (layout.bytes == 1 || layout.bytes == 2 || layout.bytes == 4);
    return good ? std::string() : RomSetTextOf(kBadLayout, language);
}

bool SplitImage(const std::vector<uint8_t>& image, const RomSetLayout& layout,
                std::vector<std::vector<uint8_t>>& lanes, std::string& error, uint32_t language) {
    error = RomSetLayoutProblem(layout, language);
    if (!error.empty()) return false;
    const uint64_t period = Period(layout);
    if (image.empty() || image.size() % period != 0) {
        error = Format(kNotMultiple, language, static_cast<unsigned long long>(image.size()), layout.ways,
                       layout.bytes, static_cast<unsigned>(period));
        return false;
    }
    std::vector<uint8_t> ordered = image;
    if (layout.swap) ReverseWords(ordered, SwapWidth(layout));
    const size_t stride = size_t{layout.ways} * layout.bytes;
    std::vector<std::vector<uint8_t>> out(layout.ways);
    for (auto& lane : out) lane.reserve(ordered.size() / layout.ways);
    for (size_t k = 0; k < ordered.size(); k += stride)
        for (uint32_t j = 0; j < layout.ways; ++j) {
            const auto from = ordered.begin() + static_cast<std::ptrdiff_t>(k + size_t{j} * layout.bytes);
            out[j].insert(out[j].end(), from, from + layout.bytes);
        }
    lanes = std::move(out);
    return true;
}

bool JoinImages(const std::vector<std::vector<uint8_t>>& lanes, const std::vector<std::string>& names,
                const RomSetLayout& layout, std::vector<uint8_t>& image, std::string& error, uint32_t language) {
    error = RomSetLayoutProblem(layout, language);
    if (!error.empty()) return false;
    if (lanes.size() != layout.ways) {
        error = Format(kNoLanes, language, layout.ways, layout.ways, lanes.size());
        return false;
    }
    auto name = [&names](size_t i) { return i < names.size() ? names[i].c_str() : "?"; };
    for (size_t i = 1; i < lanes.size(); ++i)
        if (lanes[i].size() != lanes[0].size()) {
            error = Format(kJoinSizesDiffer, language, name(0), static_cast<unsigned long long>(lanes[0].size()), name(i),
                           static_cast<unsigned long long>(lanes[i].size()));
            return false;
        }
    const uint64_t total = uint64_t{lanes[0].size()} * layout.ways;
    if (lanes[0].empty() || lanes[0].size() % layout.bytes != 0 || total % Period(layout) != 0) {
        error = Format(kNotMultiple, language, static_cast<unsigned long long>(total), layout.ways, layout.bytes,
                       static_cast<unsigned>(Period(layout)));
        return false;
    }
    std::vector<uint8_t> out;
    out.reserve(total);
    for (size_t k = 0; k < lanes[0].size(); k += layout.bytes)
        for (const auto& lane : lanes)
            out.insert(out.end(), lane.begin() + static_cast<std::ptrdiff_t>(k),
                       lane.begin() + static_cast<std::ptrdiff_t>(k + layout.bytes));
    if (layout.swap) ReverseWords(out, SwapWidth(layout));
    image = std::move(out);
    return true;
}

bool ReadImageFile(const std::string& name, uint32_t format, std::vector<uint8_t>& image, std::string& error,
                   uint32_t language) {
    const uint32_t chosen = ChooseFormat(name, format);
    if (chosen == FORMAT_JEDEC) {
        error = Format(kFuseMap, language, name.c_str());
        return false;
    }
    if (chosen == FORMAT_BINARY) {
        std::ifstream in(name, std::ios::in | std::ios::binary);
        if (!in.is_open()) {
            error = Format(kCannotRead, language, name.c_str());
            return false;
        }
        std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad()) {
            error = Format(kCannotRead, language, name.c_str());
            return false;
        }
        if (bytes.empty()) {
            error = Format(kNoData, language, name.c_str());
            return false;
        }
        image = std::move(bytes);
        return true;
    }
    std::vector<uint8_t> buffer(kRomSetMaxImage, 0xFF);
    DataFile file(name, chosen);
    file.buffer = buffer.data();
    file.bufsize = kRomSetMaxImage;
    file.length = kRomSetMaxImage;
    const int result = file.Read();
    if (result == FILE_OPEN_FAILED) {
        error = Format(kCannotRead, language, name.c_str());
        return false;
    }
    if (result == FILE_BEYOND_BUFFER) {
        error = Format(kTooLarge, language, name.c_str());
        return false;
    }
    if (result != FILE_OK) {
        error = Format(kBadFormat, language, name.c_str());
        return false;
    }
    if (file.count == 0) {
        error = Format(kNoData, language, name.c_str());
        return false;
    }
    buffer.resize(file.count);
    image = std::move(buffer);
    return true;
}

bool WriteImageFile(const std::string& name, uint32_t format, const std::vector<uint8_t>& image,
                    std::string& error, uint32_t language) {
    const uint32_t chosen = ChooseFormat(name, format);
    if (chosen == FORMAT_JEDEC) {
        error = Format(kFuseMap, language, name.c_str());
        return false;
    }
    std::vector<uint8_t> bytes = image;
    DataFile file(name, chosen);
    file.buffer = bytes.data();
    file.bufsize = static_cast<uint32_t>(bytes.size());
    file.length = file.bufsize;
    if (file.Write() != FILE_OK) {
        error = Format(kCannotWrite, language, name.c_str());
        return false;
    }
    return true;
}

}  // namespace krt
