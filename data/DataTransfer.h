// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a data file into the buffer and writing the buffer to one, with the
// log lines, message-box texts and status-line texts of the File commands.
// The window shows the box and the status text; krt prints them.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/DeviceRecord.h"
#include "data/DataBuffer.h"
#include "data/DataFile.h"
#include "base/LogSink.h"

namespace krt {

struct TransferReport {
    int result = 0;          // the DataFile result code
    uint32_t count = 0;      // words (fuses, bytes for Motorola S writes) transferred
    bool success = false;    // a read: the data-loaded flag; a write: the file was written
    int messageCode = -1;    // status message for a message box, or -1 for none
    std::string messageBox;  // its text in the chosen language
    std::string statusText;  // the status line after success
    // Why the file was refused, or what of it was left out, when the box's
    // text alone does not say (logged already; the window adds it to the box).
    std::string detail;
};

// Reads `name` (format by extension, standard input by its first bytes,
// unless `format` names one) into the buffer over the range's start and
// length. The buffer is not cleared first. Logs message 8 on success.
// A file that is refused leaves the buffer as it was. With cutConsented a
// binary file longer than the range is cut at the range's end, also when
// the range reaches the device's end. lengthOption names the option that
// sets the length (krt's), for the advice when a binary file is too large;
// null: the window's words.
TransferReport ReadDataFile(const std::string& name, const DeviceRecord& record, DataBuffer& buffer,
                            const OperationRange& range, uint32_t language, LogSink* log,
                            uint32_t format = FORMAT_BY_NAME, bool cutConsented = false,
                            const char* lengthOption = nullptr);

// The status line after `name` was read or written, in the language given
// (a window says it again when its language changes).
std::string TransferStatusText(const std::string& name, bool written, uint32_t language);

// Writes the buffer to `name` (format by extension, standard output binary,
// unless `format` names one); the file is replaced only when it has been
// written completely.
TransferReport WriteDataFile(const std::string& name, const DeviceRecord& record, const DataBuffer& buffer,
                             const OperationRange& range, uint32_t language, LogSink* log,
                             uint32_t format = FORMAT_BY_NAME);

}  // namespace krt
