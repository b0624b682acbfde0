// SPDX-License-Identifier: GPL-3.0-or-later
// Where the lines meant for the user go. Every layer logs through this seam;
// the window hands lines to its own thread, the command line prints them,
// tests collect them.
#pragma once

#include <string_view>

namespace krt {

// One line for the user, UTF-8. Any thread may call it.
struct LogSink {
    virtual ~LogSink() = default;
    virtual void line(std::string_view utf8) = 0;
};

}  // namespace krt
