// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/DataBuffer.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "base/TypeCodes.h"
#include "catalogue/DeviceRecord.h"

namespace krt {

void FillBlank(uint8_t* buffer, uint32_t bufsize, uint8_t typecode) {
    if (buffer == nullptr || bufsize == 0) return;
    if (typecode >= 5 && typecode <= 7) {
        std::fill(buffer, buffer + bufsize, uint8_t{0x00});
    } else if (typecode == 4) {
        for (uint32_t i = 0; i + 1 < bufsize; i += 2) {
            buffer[i] = 0x3F;
            buffer[i + 1] = 0xFF;
        }
        if (bufsize % 2) buffer[bufsize - 1] = 0x3F;
        // Data-EEPROM words hold one byte: blank is 00FFh.
        for (uint32_t i = kPicDataEepromByte; i + 1 < bufsize && i < kPicBufferBytes; i += 2) {
            buffer[i] = static_cast<uint8_t>(kPicBlankDataWord >> 8);
            buffer[i + 1] = static_cast<uint8_t>(kPicBlankDataWord);
        }
    } else {
        std::fill(buffer, buffer + bufsize, uint8_t{0xFF});
    }
}

void OperationRange::Rewrite(uint32_t s, uint32_t e, uint32_t n) {
    busy_ = true;
    start = FormatHex6(s);
    end = FormatHex6(e);
    length = FormatHex6(n);
    if (onRewrite) onRewrite(*this);
    busy_ = false;
}

void OperationRange::Reset(uint32_t maxsize) {
    Rewrite(0, maxsize - 1, maxsize);
}

void OperationRange::CommitStart(uint32_t maxsize) {
    if (busy_ || maxsize == 0) return;
    uint32_t s = Start(), e = End(), n = Length();
    if (s > e) e = s + n - 1;
    if (s >= maxsize) s = maxsize - 1;
    if (e >= maxsize) e = maxsize - 1;
    // A derived end below the start (a length of 0, or one that wraps) would
    // give a length of 4 billion words; the end becomes the start instead.
    if (e < s) e = s;
    Rewrite(s, e, e - s + 1);
}

void OperationRange::CommitEnd(uint32_t maxsize) {
    if (busy_ || maxsize == 0) return;
    uint32_t s = Start(), e = End();
    if (s > e) e = s;
    if (e >= maxsize) e = maxsize - 1;
    // A start beyond the device leaves the end below it; keep the range a
    // single word rather than a wrapped length.
    if (e < s) e = s;
    Rewrite(s, e, e - s + 1);
}

void OperationRange::CommitLength(uint32_t maxsize) {
    if (busy_ || maxsize == 0) return;
    uint32_t s = Start(), n = Length();
    if (n > maxsize) n = maxsize;
    // A start at or beyond the device end leaves no words to cover: the
    // length is bounded to 0 instead of wrapping around.
    if (static_cast<uint64_t>(s) + n > maxsize) n = s >= maxsize ? 0 : maxsize - s;
    Rewrite(s, s + n - 1, n);
}

bool DataBuffer::Allocate(uint32_t bufsize) {
    try {
        std::vector<uint8_t> fresh(bufsize);
        bytes_.swap(fresh);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    exists_ = true;
    return true;
}

void DataBuffer::Release() {
    std::vector<uint8_t>().swap(bytes_);
    exists_ = false;
}

void ClearBuffer(DataBuffer& buffer, const DeviceRecord& record, OperationRange& range) {
    if (record.maxsize == 0 || !buffer.Exists()) return;
    FillBlank(buffer.data(), buffer.size(), record.typecode);
    range.Reset(record.maxsize);
}

}  // namespace krt
