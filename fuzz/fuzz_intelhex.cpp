// SPDX-License-Identifier: GPL-3.0-or-later
// Intel HEX reader: byte-wide, word-wide and microcontroller layouts over
// small buffers (odd and even sizes), then a write/read round trip.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    struct Layout {
        uint32_t bufsize, bytesPerWord;
        uint8_t typecode;
    };
    static const Layout layouts[] = {{0x301, 1, 0}, {0x800, 2, 0x18}, {0x4010, 2, 4}};
    // Every layout reads the input; one of them, by the input's size, also
    // makes the round trip (writing is the slow half).
    const size_t tripLayout = size % 3;
    for (size_t k = 0; k < 3; ++k) {
        const Layout& l = layouts[k];
        std::vector<uint8_t> buffer(l.bufsize, 0xFF);
        krt::DataFile f;
        f.format = krt::FORMAT_INTEL_HEX;
        f.buffer = buffer.data();
        f.bufsize = l.bufsize;
        f.bytesPerWord = l.bytesPerWord;
        f.typecode = l.typecode;
        const int result = krt::fuzz::ReadBytes(f, data, size);
        if (result < 0 || result > 8) std::abort();
        if (k == tripLayout) krt::fuzz::RoundTrip(krt::FORMAT_INTEL_HEX, buffer, l.bytesPerWord, l.typecode);
    }
    return 0;
}
