// SPDX-License-Identifier: GPL-3.0-or-later
// Parameter-file parsing and FillDeviceRecord: the first byte is the type
// code, the text up to the first LF is the device name, the rest is the file.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "catalogue/FillDeviceRecord.h"
#include "catalogue/ParamFile.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t typecode = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t lf = rest.find('\n');
    const std::string device(rest.substr(0, lf == std::string_view::npos ? rest.size() : lf));
    const std::string_view text = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);

    krt::ParamFile file = krt::ParamFile::FromText(text, device);
    Check((file.status() & ~uint32_t{krt::ParamFile::kDeviceMissing}) == 0);
    krt::DeviceRecord record;
    krt::FillDeviceRecord(record, file, typecode, "EPROM", "Maker", device);
    Check(record.retry >= 1 && record.pagesize >= 1 && record.waitmode == 4 && record.verify == 1);
    Check(std::isfinite(record.VppR) && std::isfinite(record.VccR) && std::isfinite(record.VppW) &&
          std::isfinite(record.VccW) && std::isfinite(record.tpw) && std::isfinite(record.tpr));
    Check(record.note.size() <= 254 && record.algol.size() <= 254 && record.type.size() <= 254);
    Check(record.bytesPerWord == (record.wordsize ? 2 : 1));
    std::string reason;
    if (krt::CheckDeviceRecord(record, reason)) {
        Check(uint64_t{record.maxsize} * record.bytesPerWord <= record.bufsize || typecode == 4);
        Check(record.bufsize <= krt::kMaxDeviceBufferBytes);
    } else {
        Check(!reason.empty());
    }
    // Lookups of keys made from the text itself.
    for (const std::string& token : krt::ParamTokens(text.substr(0, 300))) {
        std::string value;
        if (file.FindValue(token, value)) Check(value.size() <= 254);
    }
    return 0;
}
