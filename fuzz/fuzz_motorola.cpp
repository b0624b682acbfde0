// SPDX-License-Identifier: GPL-3.0-or-later
// Motorola S reader over a small buffer, then a write/read round trip.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (uint32_t bytesPerWord : {1u, 2u}) {
        std::vector<uint8_t> buffer(bytesPerWord == 1 ? 0x301 : 0x800, 0xFF);
        krt::DataFile f;
        f.format = krt::FORMAT_MOTOROLA;
        f.buffer = buffer.data();
        f.bufsize = static_cast<uint32_t>(buffer.size());
        f.bytesPerWord = bytesPerWord;
        const int result = krt::fuzz::ReadBytes(f, data, size);
        if (result < 0 || result > 8) std::abort();
        if (bytesPerWord == 1 + size % 2) krt::fuzz::RoundTrip(krt::FORMAT_MOTOROLA, buffer, bytesPerWord, 0);
    }
    return 0;
}
