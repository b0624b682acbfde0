// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Log.h"

#include <cstdarg>
#include <cstdio>

namespace krt {

namespace {

std::string FormatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[256];
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(n));
    return out;
}

}  // namespace

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatV(format, args);
    va_end(args);
    return out;
}

void Log(LogSink* sink, const char* format, ...) {
    if (!sink) return;
    va_list args;
    va_start(args, format);
    const std::string line = FormatV(format, args);
    va_end(args);
    sink->line(line);
}

}  // namespace krt
