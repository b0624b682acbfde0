// SPDX-License-Identifier: GPL-3.0-or-later
// The data buffer (the one image of the device's contents) and the operation
// range (start, end and length in device words, kept as the hexadecimal texts
// that the window shows and that operations and file transfers parse).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Hex.h"

namespace krt {

struct DeviceRecord;

// The blank image of one device: PLDs (type codes 5 to 7) clear to 0x00,
// the microcontroller (type code 4) to the word 0x3FFF (bytes 3F FF), all
// others to 0xFF.
void FillBlank(uint8_t* buffer, uint32_t bufsize, uint8_t typecode);

// The three range fields and the busy flag that keeps a rewrite of the fields
// from starting a second normalisation. The window shows the texts; it calls
// a commit when a field loses the focus or Enter is pressed in it, after
// storing the field's text here.
class OperationRange {
public:
    std::string start = "000000";
    std::string end = "FFFFFF";
    std::string length = "------";

    // Called while the busy flag is set, after the three texts have been
    // rewritten; the window copies them into its fields here.
    std::function<void(const OperationRange&)> onRewrite;

    bool Busy() const { return busy_; }

    uint32_t Start() const { return ParseHex(start); }
    uint32_t End() const { return ParseHex(end); }
    uint32_t Length() const { return ParseHex(length); }

    // Normalise after an edit of one field; maxsize is the device's size in
    // words. Each does nothing while the fields are being rewritten, and
    // nothing when no device is loaded (maxsize 0).
    void CommitStart(uint32_t maxsize);
    void CommitEnd(uint32_t maxsize);
    void CommitLength(uint32_t maxsize);

    // Start 0, end maxsize - 1, length maxsize.
    void Reset(uint32_t maxsize);

    // Writes start, end and length in that order with the busy flag set.
    void Rewrite(uint32_t s, uint32_t e, uint32_t n);

private:
    bool busy_ = false;
};

// The buffer of the loaded device. No buffer exists before the first device
// is loaded.
class DataBuffer {
public:
    bool Exists() const { return exists_; }
    uint8_t* data() { return bytes_.data(); }
    const uint8_t* data() const { return bytes_.data(); }
    uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
    uint8_t& operator[](uint32_t i) { return bytes_[i]; }
    uint8_t operator[](uint32_t i) const { return bytes_[i]; }

    // Replaces the buffer with one of bufsize bytes (contents undefined until
    // cleared). Returns false, keeping the old buffer, when memory runs out.
    bool Allocate(uint32_t bufsize);
    void Release();

private:
    std::vector<uint8_t> bytes_;
    bool exists_ = false;
};

// Fills the buffer with the device's blank value and resets the range to the
// whole device. Does nothing when maxsize is 0 or no buffer exists.
void ClearBuffer(DataBuffer& buffer, const DeviceRecord& record, OperationRange& range);

}  // namespace krt
