// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the data-file fuzz targets: runs a reader over bytes, and checks
// that what the writer makes of the buffer reads back into the same buffer.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "data/DataFile.h"

namespace krt::fuzz {

struct Discard : LogSink {
    void line(std::string_view) override {}
};

inline int ReadBytes(DataFile& f, const uint8_t* data, size_t size) {
    f.input = std::make_unique<std::istringstream>(std::string(reinterpret_cast<const char*>(data), size),
                                                   std::ios::in | std::ios::binary);
    return f.Read();
}

inline std::string WriteAll(DataFile& f) {
    auto out = std::make_unique<std::ostringstream>(std::ios::out | std::ios::binary);
    std::ostringstream* raw = out.get();
    f.output = std::move(out);
    if (f.Write() != 0) std::abort();
    return raw->str();
}

// Writes `buffer` in the format and reads it back: both must agree.
inline void RoundTrip(uint32_t format, std::vector<uint8_t>& buffer, uint32_t bytesPerWord, uint8_t typecode,
                      uint32_t lineNumber = 1) {
    DataFile w;
    w.format = format;
    w.buffer = buffer.data();
    w.bufsize = static_cast<uint32_t>(buffer.size());
    w.bytesPerWord = bytesPerWord;
    w.typecode = typecode;
    w.length = w.bufsize;
    w.LineNumber = lineNumber;
    const std::string text = WriteAll(w);
    std::vector<uint8_t> back(buffer.size(), 0x5A);
    DataFile r;
    r.format = format;
    r.buffer = back.data();
    r.bufsize = w.bufsize;
    r.bytesPerWord = bytesPerWord;
    r.typecode = typecode;
    Discard quiet;
    r.log = &quiet;
    const int result = ReadBytes(r, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (result != 0 || back != buffer) std::abort();
}

}  // namespace krt::fuzz
