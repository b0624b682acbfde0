// SPDX-License-Identifier: GPL-3.0-or-later
// The figures users compare a ROM image against published lists with: the
// buffer's own 16-bit sum (the checksum box), and the CRC-32 (zlib's) and
// SHA-1 (GNU Nettle's) of the same bytes. The two digests cover exactly the
// bytes of the operation range (a PLD: its whole fuse map), so that they
// equal `crc32` and `sha1sum` of a binary file written from that range.
#pragma once

#include <cstdint>
#include <string>

namespace krt {

struct DeviceRecord;
class DataBuffer;
class OperationRange;

// The CRC-32 of IEEE 802.3 (as zip, gzip and `crc32` compute it).
uint32_t Crc32(const uint8_t* data, uint64_t count);
// The SHA-1 as 40 lower-case hexadecimal digits (as `sha1sum` prints it).
std::string Sha1Hex(const uint8_t* data, uint64_t count);

struct BufferDigests {
    bool exists = false;          // no buffer (no device loaded): nothing below is set
    uint16_t sum = 0;             // the checksum box's figure
    bool withConfigWord = false;  // the sum takes in a PIC's configuration word
    uint32_t crc32 = 0;
    std::string sha1;
    uint64_t first = 0;  // the byte span the digests cover
    uint64_t bytes = 0;
};

// The byte span of the range (device words times bytesPerWord, cut at the
// buffer's end); a PLD's is its whole fuse map.
void DigestSpan(const DeviceRecord& record, const DataBuffer& buffer, const OperationRange& range, uint64_t& first,
                uint64_t& bytes);

BufferDigests DigestsOf(const DeviceRecord& record, const DataBuffer& buffer, const OperationRange& range);

// "CRC-32: 1A2B3C4D" and "SHA-1: 40 digits" (the same in both languages).
std::string Crc32Line(const BufferDigests& digests);
std::string Sha1Line(const BufferDigests& digests);

// The members of a JSON object (without braces): "sum": "1A2B",
// "crc32": "1A2B3C4D", "sha1": "...", "bytes": N.
std::string DigestsJsonMembers(const BufferDigests& digests);

// krt read --json's document: {"file": ..., "start": "0000", "length":
// "8000", then the members above}; start and length in device words.
std::string DigestsJsonDocument(const std::string& file, const BufferDigests& digests, uint32_t start,
                                uint32_t length);

}  // namespace krt
