// SPDX-License-Identifier: GPL-3.0-or-later
// The device list DEVICE.LST: one line per device with its type key, maker,
// part number, type code and parameter file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/LogSink.h"

namespace krt {

class DeviceList {
public:
    // An empty list that did not load.
    DeviceList();
    // Reads the file; `loaded` tells whether it opened. Each empty field of
    // an entry is logged with its line number (language-independent text).
    explicit DeviceList(const std::string& path, LogSink* log = nullptr);

    // Parses the text of a list file (the same rules as a file); loaded.
    static DeviceList FromText(std::string_view text, LogSink* log = nullptr);

    int32_t count = 0;
    // Each array has count + 1 elements; the one at `count` is empty (code 0),
    // the answer of a failed lookup.
    std::vector<std::string> types;
    std::vector<std::string> makers;
    std::vector<uint8_t> codes;
    std::vector<std::string> files;
    bool loaded = false;
    std::vector<std::string> names;

    // First entry whose type, maker and name equal the arguments without
    // regard to case; `count` when there is none.
    int32_t Find(std::string_view type, std::string_view maker, std::string_view name) const;
    const std::string& FileOf(std::string_view type, std::string_view maker,
                              std::string_view name) const;
    uint8_t CodeOf(std::string_view type, std::string_view maker, std::string_view name) const;

    // Distinct makers of a type, told apart without regard to case, in the
    // order of their first appearance, in the form first met. There is no
    // cap at 99: the result grows as needed, so every maker reaches the box.
    std::vector<std::string> MakersOf(std::string_view type) const;
    // Distinct device names of a type and maker, the same way.
    std::vector<std::string> NamesOf(std::string_view type, std::string_view maker) const;
    // Distinct type keys in list order (for the command line's overview).
    std::vector<std::string> TypesOf() const;

private:
    void Parse(std::string_view text, LogSink* log);
    void Clear();
};

}  // namespace krt
