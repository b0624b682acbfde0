// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the data-file tests: in-memory transfers and a log collector.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/DataFile.h"
#include "link/PortIo.h"

namespace krt::test {

struct LogLines : LogSink {
    std::vector<std::string> lines;
    void line(std::string_view utf8) override { lines.emplace_back(utf8); }
};

struct Device {
    uint32_t bufsize = 0x8000;
    uint32_t bytesPerWord = 1;
    uint8_t typecode = 0;
};

inline DataFile MemoryFile(std::vector<uint8_t>& buffer, uint32_t format, uint32_t bytesPerWord = 1,
                           uint8_t typecode = 0) {
    DataFile f;
    f.format = format;
    f.buffer = buffer.data();
    f.bufsize = static_cast<uint32_t>(buffer.size());
    f.bytesPerWord = bytesPerWord;
    f.typecode = typecode;
    return f;
}

// Reads `text` through the format's reader into `buffer`.
inline int ReadText(DataFile& f, const std::string& text) {
    f.input = std::make_unique<std::istringstream>(text, std::ios::in | std::ios::binary);
    return f.Read();
}

// Runs the format's writer and returns what it wrote.
inline std::string WriteText(DataFile& f, int* result = nullptr) {
    auto out = std::make_unique<std::ostringstream>(std::ios::out | std::ios::binary);
    std::ostringstream* raw = out.get();
    f.output = std::move(out);
    int r = f.Write();
    if (result) *result = r;
    return raw->str();
}

inline std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void Spit(const std::filesystem::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
}

// A fresh directory under the build tree for one test.
inline std::filesystem::path ScratchDir(const std::string& name) {
    std::filesystem::path dir = std::filesystem::path(KRT_BINARY_DIR) / "test-scratch" / "data" / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace krt::test
