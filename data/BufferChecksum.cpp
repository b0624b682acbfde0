#include "data/BufferChecksum.h"

#include <algorithm>
#include <cstdio>

#include "base/TypeCodes.h"
#include "catalogue/DeviceRecord.h"
#include "data/DataBuffer.h"
#include "data/DataFile.h"

namespace krt {

uint16_t ByteSum(const uint8_t* data, uint64_t count) {
    // 32-bit partial sums cannot overflow within 2^24 bytes.
    uint32_t sum = 0;
    uint64_t i = 0;
    while (i < count) {
        const uint64_t end = std::min<uint64_t>(count, i + (uint64_t{1} << 24));
        uint32_t part = 0;
        for (; i < end; ++i) part += data[i];
        sum += part;
    }
    return static_cast<uint16_t>(sum);
}

uint16_t BufferChecksum(const DeviceRecord& record, const DataBuffer& buffer, const OperationRange& range) {
    if (!buffer.Exists()) return 0;
    const uint32_t size = std::min(buffer.size(), record.bufsize);
    if (IsGalType(record.typecode)) {
        DataFile fuses;
        fuses.typecode = record.typecode;
        fuses.buffer = const_cast<uint8_t*>(buffer.data());
        fuses.bufsize = size;
        return FuseChecksum(fuses);
    }
    const uint64_t perWord = record.bytesPerWord ? record.bytesPerWord : 1;
    const uint64_t first = uint64_t{range.Start()} * perWord;
    const uint64_t end = std::min<uint64_t>(first + uint64_t{range.Length()} * perWord, size);
    if (first >= end) return 0;
    return ByteSum(buffer.data() + first, end - first);
}

std::string ChecksumText(const DeviceRecord& record, const DataBuffer& buffer, const OperationRange& range) {
    if (!buffer.Exists()) return {};
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(BufferChecksum(record, buffer, range)));
    return text;
}

std::string ChecksumLine(uint16_t checksum, uint32_t language) {
    char text[48];
    std::snprintf(text, sizeof text, language == 0 ? "チェックサム: %04X" : "CheckSum: %04X",
                  static_cast<unsigned>(checksum));
    return text;
}

}  // namespace krt
