// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/BufferDigests.h"

#include <nettle/sha1.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>

#include "base/TypeCodes.h"
#include "catalogue/DeviceRecord.h"
#include "data/BufferChecksum.h"
#include "data/DataBuffer.h"

namespace krt {

uint32_t Crc32(const uint8_t* data, uint64_t count) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes at most a uInt at a time.
    constexpr uint64_t kChunk = 1u << 30;
    while (count > 0) {
        const uint64_t n = std::min(count, kChunk);
        crc = crc32(crc, data, static_cast<uInt>(n));
        data += n;
        count -= n;
    }
    return static_cast<uint32_t>(crc);
}

std::string Sha1Hex(const uint8_t* data, uint64_t count) {
    sha1_ctx context;
    sha1_init(&context);
    constexpr uint64_t kChunk = 1u << 30;
    while (count > 0) {
        const uint64_t n = std::min(count, kChunk);
        sha1_update(&context, static_cast<size_t>(n), data);
        data += n;
        count -= n;
    }
    uint8_t digest[SHA1_DIGEST_SIZE];
    sha1_digest(&context, SHA1_DIGEST_SIZE, digest);
    std::string text;
    char pair[3];
    for (uint8_t byte : digest) {
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned>(byte));
        text += pair;
    }
    return text;
}

void DigestSpan(const DeviceRecord& record, const DataBuffer& buffer, const OperationRange& range, uint64_t& first,
                uint64_t& bytes) {
    first = 0;
    bytes = 0;
    if (!buffer.Exists()) return;
    const uint64_t size = std::min(buffer.size(), record.bufsize);
    if (IsGalType(record.typecode)) {
        bytes = size;
        return;
    }
    const uint64_t perWord = record.bytesPerWord ? record.bytesPerWord : 1;
    first = std::min<uint64_t>(uint64_t{range.Start()} * perWord, size);
    const uint64_t end = std::min<uint64_t>(first + uint64_t{range.Length()} * perWord, size);
    bytes = end > first ? end - first : 0;
}

BufferDigests DigestsOf(const DeviceRecord& record, const DataBuffer& buffer, const OperationRange& range) {
    BufferDigests d;
    if (!buffer.Exists()) return d;
    d.exists = true;
    d.sum = BufferChecksum(record, buffer, range);
    d.withConfigWord = SumHasConfigWord(record, buffer);
    DigestSpan(record, buffer, range, d.first, d.bytes);
    d.crc32 = Crc32(buffer.data() + d.first, d.bytes);
    d.sha1 = Sha1Hex(buffer.data() + d.first, d.bytes);
    return d;
}

std::string Crc32Line(const BufferDigests& digests) {
    char text[24];
    std::snprintf(text, sizeof text, "CRC-32: %08X", static_cast<unsigned>(digests.crc32));
    return text;
}

std::string Sha1Line(const BufferDigests& digests) { return "SHA-1: " + digests.sha1; }

std::string DigestsJsonMembers(const BufferDigests& digests) {
    char text[160];
    std::snprintf(text, sizeof text, "\"sum\": \"%04X%s\", \"crc32\": \"%08X\", \"sha1\": \"%s\", \"bytes\": %llu",
                  static_cast<unsigned>(digests.sum), digests.withConfigWord ? kWithConfigWord : "",
                  static_cast<unsigned>(digests.crc32), digests.sha1.c_str(),
                  static_cast<unsigned long long>(digests.bytes));
    return text;
}

std::string DigestsJsonDocument(const std::string& file, const BufferDigests& digests, uint32_t start,
                                uint32_t length) {
    std::string quoted = "\"";
    for (unsigned char c : file) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            quoted += escape;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    quoted += '"';
    char range[64];
    std::snprintf(range, sizeof range, "\"start\": \"%06X\", \"length\": \"%06X\", ", static_cast<unsigned>(start),
                  static_cast<unsigned>(length));
    return "{\"file\": " + quoted + ", " + range + DigestsJsonMembers(digests) + "}";
}

}  // namespace krt
