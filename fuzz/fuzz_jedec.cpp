// SPDX-License-Identifier: GPL-3.0-or-later
// JEDEC reader at the three GAL sizes, then a write/read round trip of the
// fuse image with the checksum verified.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    struct Layout {
        uint32_t fuses, lineNumber;
        uint8_t typecode;
    };
    static const Layout layouts[] = {{2194, 32, 5}, {2706, 40, 6}, {5892, 0, 7}};
    const size_t tripLayout = size % 3;
    for (size_t k = 0; k < 3; ++k) {
        const Layout& l = layouts[k];
        std::vector<uint8_t> fuses(l.fuses, 0);
        krt::DataFile f;
        f.format = krt::FORMAT_JEDEC;
        f.buffer = fuses.data();
        f.bufsize = l.fuses;
        f.typecode = l.typecode;
        krt::fuzz::Discard quiet;
        f.log = &quiet;
        const int result = krt::fuzz::ReadBytes(f, data, size);
        // A file that is not a fuse map of this size is refused (2, 5, 6).
        if (result != 0 && result != 2 && result != 5 && result != 6) std::abort();
        for (uint8_t v : fuses)
            if (v > 1) std::abort();
        if (k == tripLayout) krt::fuzz::RoundTrip(krt::FORMAT_JEDEC, fuses, 1, l.typecode, l.lineNumber);
    }
    return 0;
}
