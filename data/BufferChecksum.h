// The figure of the checksum box and of krt's checksum lines: the 16-bit sum of the buffer's bytes over the
// operation range, or, for the PLDs (type codes 5 to 7), the JEDEC fuse
// checksum of the whole fuse map, so that a chip, a file and
// another programmer's figure can be compared.
#pragma once

#include <cstdint>
#include <string>

namespace krt {

struct DeviceRecord;
class DataBuffer;
class OperationRange;

// The range is in device words (bytesPerWord bytes each) and is cut at the
// end of the buffer; a buffer that does not exist sums to 0.
uint16_t BufferChecksum(const DeviceRecord& record, const DataBuffer& buffer, const OperationRange& range);

// The sum of bytes [first, first + count) of data, 16 bits wrapping.
uint16_t ByteSum(const uint8_t* data, uint64_t count);

// "%04X" of the checksum; empty when no buffer exists (no device loaded).
std::string ChecksumText(const DeviceRecord& record, const DataBuffer& buffer, const OperationRange& range);

// The line that krt prints: "CheckSum: 1A2B" (Japanese "チェックサム: 1A2B").
std::string ChecksumLine(uint16_t checksum, uint32_t language);

}  // namespace krt
