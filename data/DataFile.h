// SPDX-License-Identifier: GPL-3.0-or-later
// One transfer between the data buffer and a data file: Intel HEX (also under
// the split-file names .hxl and .hxh), Motorola S, JEDEC fuse maps and raw
// binary. The file name's extension picks the format.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/LogSink.h"

namespace krt {

// Format codes.
enum DataFormat : uint32_t {
    FORMAT_BINARY = 0,
    FORMAT_MOTOROLA = 1,
    FORMAT_INTEL_HEX = 2,
    FORMAT_INTEL_SPLIT = 3,
    FORMAT_JEDEC = 6,
};

// Result codes of reading and writing.
enum DataFileResult : int {
    FILE_OK = 0,
    FILE_OPEN_FAILED = 1,      // reading: the file failed to open
    FILE_FORMAT_ERROR = 2,     // format incorrect, or a format code outside the table
    FILE_INTERNAL_ERROR = 3,
    FILE_SHORT = 4,            // binary file shorter than the range (success)
    FILE_CHECKSUM_ERROR = 5,   // a record's (or the fuse map's) checksum is wrong
    FILE_BEYOND_BUFFER = 6,    // data beyond the buffer; writing: range beyond it (success)
    FILE_CREATE_FAILED = 7,    // writing: the file could not be created or completed
    FILE_STOPPED_AT_08 = 8,    // kept for the table: start/extended records no longer stop a read
};

// The file name that stands for standard input (reading) or standard
// output (writing), as command-line users expect.
inline constexpr const char* kStandardStream = "-";

// Format code for a file name: the extension, turned to lower case.
uint32_t FormatFromName(std::string_view fileName);

// Not a file's format but how to find it: by the name's extension, and for
// standard input by its first bytes (FormatFromContent).
inline constexpr uint32_t FORMAT_BY_NAME = 0xFFFFFFFFu;
// The format read from the data itself (DataFile::Read then decides).
inline constexpr uint32_t FORMAT_BY_CONTENT = 0xFFFFFFFEu;

// The format of data that begins with `head`, as a named file's is told by
// its extension: a record mark (':' then hexadecimal digits) is Intel HEX,
// 'S' with a record digit and hexadecimal digits is Motorola S, the
// start-of-text character or a text with a fuse count (QF) ended by '*' is
// JEDEC, anything else is binary.
uint32_t FormatFromContent(std::string_view head);

// The format for a transfer: `requested` when it names one, else by the name
// (standard input: by its content).
uint32_t ChooseFormat(std::string_view fileName, uint32_t requested);

class DataFile {
public:
    uint32_t count = 0;
    uint32_t format = FORMAT_BINARY;
    std::string fileName;
    // Either may be set by the caller before Read/Write (tests, fuzzing);
    // otherwise Read and Write open fileName.
    std::unique_ptr<std::istream> input;
    std::unique_ptr<std::ostream> output;
    uint8_t checksum = 0;
    uint32_t start = 0;
    uint32_t length = 0;
    uint32_t bufsize = 0;
    uint8_t* buffer = nullptr;
    uint32_t bytesPerWord = 1;
    uint8_t typecode = 0;
    // JEDEC only.
    std::string deviceName;
    uint16_t PinNumber = 0;
    uint32_t LineNumber = 1;
    bool securityFlag = false;
    bool defaultFuseState = false;
    // Where the JEDEC reader reports a checksum mismatch.
    LogSink* log = nullptr;
    // Microcontroller (type code 4) Intel HEX reads: data-EEPROM bytes of the
    // file (byte addresses 4200h-427Fh, one EEPROM byte in the low byte of
    // each word) that were left out because the buffer ends before them.
    uint32_t dataEepromBytes = 0;
    // Program words of a microcontroller (type code 4); 0: not known. Data
    // for words from here up to the configuration words at 2000h lies beyond
    // the chip, as data beyond the buffer does.
    uint32_t maxsize = 0;
    // Intel HEX: the file's records count words (gpasm's INHX16), not bytes.
    bool wordAddressed = false;
    // JEDEC: the fuse count of the file's QF field, when it has one.
    bool fuseCountStated = false;
    uint32_t statedFuses = 0;
    // JEDEC: shorter fuse counts the device also takes (a power-down or
    // signature fuse left out); the buffer's fuses after them keep the F value.
    std::vector<uint32_t> shorterFuseCounts;
    bool FuseCountFits(uint32_t n) const;
    // Binary: the file holds more bytes than the range took.
    bool fileLonger = false;
    // Binary: the range was given by the user (krt --start/--length), so a
    // longer file is cut at its end even when it reaches the device's end.
    bool cutConsented = false;
    // JEDEC: what made a read refuse the file as no fuse map (FILE_FORMAT_ERROR):
    // a byte no text holds, or a fuse value other than 0 or 1 in an F or L
    // field, an L field without its fuse number or its fuse states; where
    // (the offset in the file), and the byte and the field.
    enum class JedecFault : uint8_t { None, NotText, FuseValue, FuseNumber };
    JedecFault jedecFault = JedecFault::None;
    uint32_t faultOffset = 0;
    uint8_t faultByte = 0;
    char faultField = 0;

    DataFile() = default;
    DataFile(std::string name, uint32_t formatCode) : format(formatCode), fileName(std::move(name)) {}

    // Opens the input (binary mode) unless one is set, and reads by format.
    int Read();
    // Writes by format. A file is written to a temporary file in the same
    // directory and renamed over the target only when all of it is written,
    // so that a failed save leaves the old file as it was.
    int Write();

    int ReadIntelHex();
    int ReadMotorola();
    int ReadBinary();
    int WriteIntelHex();
    int WriteMotorola();
    int WriteBinary();

private:
    int Dispatch(bool reading);
};

// JEDEC fuse maps (format code 6), on the DataFile's open streams.
int ReadJedec(DataFile& file);
int WriteJedec(DataFile& file);
// Sum of every fuse byte shifted left by (index mod 8), over the whole buffer,
// 16 bits wrapping; 0 for devices that are not PLDs (type codes 5 to 7).
uint16_t FuseChecksum(const DataFile& file);

}  // namespace krt
