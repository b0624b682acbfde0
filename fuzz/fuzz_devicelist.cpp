// SPDX-License-Identifier: GPL-3.0-or-later
// DEVICE.LST parsing: any text must parse, every query must stay inside the
// arrays, and the failed-lookup entry must stay empty.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "catalogue/DeviceList.h"

namespace {

struct CountingLog : krt::LogSink {
    size_t lines = 0;
    void line(std::string_view) override { ++lines; }
};

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CountingLog log;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const krt::DeviceList list = krt::DeviceList::FromText(text, &log);
    const size_t n = static_cast<size_t>(list.count) + 1;
    Check(list.loaded && list.count >= 0);
    Check(list.types.size() == n && list.makers.size() == n && list.names.size() == n &&
          list.codes.size() == n && list.files.size() == n);
    Check(list.types.back().empty() && list.makers.back().empty() && list.names.back().empty() &&
          list.files.back().empty() && list.codes.back() == 0);
    Check(log.lines <= 5 * static_cast<size_t>(list.count));
    for (int32_t i = 0; i < list.count; ++i) {
        Check(list.types[i].size() <= 254 && list.files[i].size() <= 254);
        const int32_t found = list.Find(list.types[i], list.makers[i], list.names[i]);
        Check(found <= i);
        Check(list.CodeOf(list.types[i], list.makers[i], list.names[i]) == list.codes[found]);
        if (i < 8) {
            const auto makers = list.MakersOf(list.types[i]);
            Check(!makers.empty());
            Check(!list.NamesOf(list.types[i], list.makers[i]).empty());
        }
    }
    Check(list.Find("\x01no such type", "", "") == list.count);
    return 0;
}
