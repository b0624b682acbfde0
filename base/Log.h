// SPDX-License-Identifier: GPL-3.0-or-later
// printf-style logging through a LogSink.
#pragma once

#include <string>

#include "base/LogSink.h"

namespace krt {

// Formats like printf; never truncates.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Appends one formatted line to the sink. A null sink drops the line.
void Log(LogSink* sink, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace krt
