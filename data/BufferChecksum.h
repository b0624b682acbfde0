// SPDX-License-Identifier: GPL-3.0-or-later
// The figure of the checksum box and of krt's checksum lines: the 16-bit sum of the buffer's bytes over the
// operation range (for a PIC, with its configuration word), or, for the PLDs (type codes 5 to 7), the JEDEC fuse
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

// Whether the sum takes in a PIC's configuration word (2007h) besides the
// range: it does whenever the buffer holds that word.
bool SumHasConfigWord(const DeviceRecord& record, const DataBuffer& buffer);

// What the checksum box and krt say after the figure when the
// configuration word is in it.
inline constexpr char kWithConfigWord[] = " +CFG";

// Whether the sum takes in a PIC's data EEPROM (from 2100h) besides the
// range: it does whenever the buffer holds it, so that two images that
// differ only there do not sum alike.
bool SumHasDataEeprom(const DeviceRecord& record, const DataBuffer& buffer);
inline constexpr char kWithDataEeprom[] = " +EE";
// What follows the figure: kWithConfigWord, kWithDataEeprom, as they apply.
std::string ChecksumMarks(const DeviceRecord& record, const DataBuffer& buffer);

// "%04X" of the checksum, followed by kWithConfigWord when the
// configuration word is in it; empty when no buffer exists (no device loaded).
std::string ChecksumText(const DeviceRecord& record, const DataBuffer& buffer, const OperationRange& range);

// The line that krt prints: "CheckSum: 1A2B" (Japanese "チェックサム: 1A2B").
// withConfigWord adds kWithConfigWord.
std::string ChecksumLine(uint16_t checksum, uint32_t language, bool withConfigWord = false);
// The same line with the marks of ChecksumMarks.
std::string ChecksumLine(uint16_t checksum, uint32_t language, const std::string& marks);

}  // namespace krt
