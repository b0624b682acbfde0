// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/BufferChecksum.h"

#include <algorithm>
#include <cstdio>

#include "base/TypeCodes.h"
#include "catalogue/DeviceRecord.h"
#include "data/DataBuffer.h"
#include "data/DataFile.h"

namespace krt {

namespace {

// The configuration word (2007h) of a PIC buffer.
constexpr uint32_t kPicConfigWordByte = kPicConfigByte + 14;

}  // namespace

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
    uint16_t sum = first < end ? ByteSum(buffer.data() + first, end - first) : 0;
    // A PIC's configuration word lies outside every range of program words;
    // without it a code-protected image and an open one would sum alike.
    if (SumHasConfigWord(record, buffer)) sum = static_cast<uint16_t>(sum + ByteSum(buffer.data() + kPicConfigWordByte, 2));
    if (SumHasDataEeprom(record, buffer))
        sum = static_cast<uint16_t>(sum + ByteSum(buffer.data() + kPicDataEepromByte, size - kPicDataEepromByte));
    return sum;
}

bool SumHasDataEeprom(const DeviceRecord& record, const DataBuffer& buffer) {
    return IsPicType(record.typecode) && buffer.Exists() && std::min(buffer.size(), record.bufsize) > kPicDataEepromByte;
}

std::string ChecksumMarks(const DeviceRecord& record, const DataBuffer& buffer) {
    std::string marks;
    if (SumHasConfigWord(record, buffer)) marks += kWithConfigWord;
    if (SumHasDataEeprom(record, buffer)) marks += kWithDataEeprom;
    return marks;
}

bool SumHasConfigWord(const DeviceRecord& record, const DataBuffer& buffer) {
    return IsPicType(record.typecode) && buffer.Exists() &&
           std::min(buffer.size(), record.bufsize) >= kPicConfigWordByte + 2;
}

std::string ChecksumText(const DeviceRecord& record, const DataBuffer& buffer, const OperationRange& range) {
    if (!buffer.Exists()) return {};
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(BufferChecksum(record, buffer, range)));
    return std::string(text) + ChecksumMarks(record, buffer);
}

std::string ChecksumLine(uint16_t checksum, uint32_t language, bool withConfigWord) {
    char text[48];
    std::snprintf(text, sizeof text, language == 0 ? "チェックサム: %04X" : "CheckSum: %04X",
                  static_cast<unsigned>(checksum));
    return withConfigWord ? std::string(text) + kWithConfigWord : std::string(text);
}

std::string ChecksumLine(uint16_t checksum, uint32_t language, const std::string& marks) {
    return ChecksumLine(checksum, language) + marks;
}

}  // namespace krt
