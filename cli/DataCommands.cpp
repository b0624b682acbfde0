// SPDX-License-Identifier: GPL-3.0-or-later
// krt convert: a data file through the device's buffer into another file,
// with the messages of the window's File commands. Needs no programmer: no
// port is opened and the link is not started.
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/DeviceLoader.h"
#include "cli/Cli.h"
#include "cli/Session.h"
#include "data/BufferChecksum.h"
#include "data/DataBuffer.h"
#include "data/DataFile.h"
#include "data/DataTransfer.h"
#include "base/Log.h"
#include "base/StatusMessages.h"
#include "session/BufferDigests.h"

namespace krt {

namespace {

constexpr int kExitCatalogue = 2;
constexpr int kExitDevice = 1;
// A failed file transfer exits with its result code plus this.
constexpr int kFileExitBase = 10;

// The message box of the window, on stderr.
void ShowBox(const TransferReport& report) {
    std::fprintf(stderr, "krt: %s\n", report.messageBox.c_str());
}

int RunConvert(CliSession& session, const std::vector<std::string>& args) {
    if (args.size() != 5) {
        std::fprintf(stderr, "krt: usage: krt convert TYPE MAKER NAME IN OUT [--start HEX] [--length HEX]\n");
        return kExitUsage;
    }
    // The chip file of --sim-chip is no place for data.
    if (SameFile(args[4], session.options.simChip)) {
        std::fprintf(stderr, "krt: %s is the chip file of --sim-chip (%s); name another file\n", args[4].c_str(),
                     session.options.simChip.c_str());
        return kExitUsage;
    }
    // The data goes to stdout: krt's own lines go to stderr.
    if (args[4] == kStandardStream) LogToStandardError(session);
    LogSink* log = SessionLog(session);
    const uint32_t language = session.options.language;

    Catalogue catalogue;
    if (!OpenCatalogue(session.options.catalogue, log, catalogue)) {
        std::fprintf(stderr, "krt: no device catalogue (DEVICE.LST) found; name it with --catalogue DIR\n");
        return kExitCatalogue;
    }
    DeviceRecord& record = session.record;
    const DeviceLoadResult load = LoadDeviceRecord(catalogue.list, catalogue.directory, args[0], args[1], args[2],
                                                   language, log, record);
    if (!load.selected) {
        if (load.entry >= catalogue.list.count)
            std::fprintf(stderr, "krt: no device %s %s %s in the catalogue (see krt list)\n", args[0].c_str(),
                         args[1].c_str(), args[2].c_str());
        return kExitDevice;
    }

    // As the window does on a device load: a new buffer, cleared, the range
    // set to the whole device; then the range fields as typed and committed.
    DataBuffer buffer;
    if (!buffer.Allocate(record.bufsize)) {
        std::fprintf(stderr, "krt: %s\n", MessageText(language, 19));
        return kFileExitBase + FILE_INTERNAL_ERROR;
    }
    OperationRange range;
    ClearBuffer(buffer, record, range);
    if (!session.options.start.empty()) {
        range.start = session.options.start;
        range.CommitStart(record.maxsize);
    }
    if (!session.options.length.empty()) {
        range.length = session.options.length;
        range.CommitLength(record.maxsize);
    }

    const TransferReport read = ReadDataFile(args[3], record, buffer, range, language, log, session.options.format);
    if (!read.success) {
        ShowBox(read);
        // The window's box says only "File not found."; the system says why.
        if (read.result == FILE_OPEN_FAILED) {
            const std::string why = InputFileProblem(args[3]);
            if (!why.empty()) std::fprintf(stderr, "krt: %s: %s\n", args[3].c_str(), why.c_str());
        }
        return kFileExitBase + read.result;
    }
    const TransferReport written = WriteDataFile(args[4], record, buffer, range, language, log, session.options.format);
    if (!written.success) {
        ShowBox(written);
        return kFileExitBase + written.result;
    }
    return 0;
}

// krt sum: the checksum that the window's checksum box shows after the
// device is chosen and FILE is opened (over the range of --start/--length as
// the write command takes them, else the whole device).
int RunSum(CliSession& session, const std::vector<std::string>& args) {
    if (args.size() != 4) {
        std::fprintf(stderr, "krt: usage: krt sum TYPE MAKER NAME FILE [--start HEX] [--length HEX]\n");
        return kExitUsage;
    }
    LogSink* log = SessionLog(session);
    const uint32_t language = session.options.language;
    Catalogue catalogue;
    if (!OpenCatalogue(session.options.catalogue, log, catalogue)) {
        std::fprintf(stderr, "krt: no device catalogue (DEVICE.LST) found; name it with --catalogue DIR\n");
        return kExitCatalogue;
    }
    DeviceRecord& record = session.record;
    const DeviceLoadResult load = LoadDeviceRecord(catalogue.list, catalogue.directory, args[0], args[1], args[2],
                                                   language, log, record);
    if (!load.selected) {
        if (load.entry >= catalogue.list.count)
            std::fprintf(stderr, "krt: no device %s %s %s in the catalogue (see krt list)\n", args[0].c_str(),
                         args[1].c_str(), args[2].c_str());
        return kExitDevice;
    }
    // The window's steps and its checksum rule, through the same session.
    DataBuffer& buffer = session.core.buffer;
    OperationRange& range = session.core.range;
    if (!buffer.Allocate(record.bufsize)) {
        std::fprintf(stderr, "krt: %s\n", MessageText(language, 19));
        return kFileExitBase + FILE_INTERNAL_ERROR;
    }
    ClearBuffer(buffer, record, range);
    session.core.SetLog(log);
    const TransferReport read = session.core.ReadDataFile(args[3], language, session.options.format);
    if (!read.success) {
        ShowBox(read);
        return kFileExitBase + read.result;
    }
    if (!session.options.start.empty()) {
        const uint32_t start = ParseHex(session.options.start);
        range.start = FormatHex6(start);
        range.length = FormatHex6(start < record.maxsize ? record.maxsize - start : record.maxsize);
    }
    if (!session.options.length.empty()) range.length = FormatHex6(ParseHex(session.options.length));
    Log(log, "%s", ChecksumLine(session.core.Checksum(), language, SumHasConfigWord(record, buffer)).c_str());
    if (session.options.crc32 || session.options.sha1) {
        const BufferDigests digests = DigestsOf(record, buffer, range);
        if (session.options.crc32) Log(log, "%s", Crc32Line(digests).c_str());
        if (session.options.sha1) Log(log, "%s", Sha1Line(digests).c_str());
    }
    return 0;
}

}  // namespace

void RegisterDataCommands(std::vector<CliCommand>& table) {
    table.push_back({"convert", "convert TYPE MAKER NAME IN OUT",
                     "load the device, clear its buffer, read IN, write OUT (formats by extension: "
                     ".hex .hxl .hxh Intel HEX, .mot Motorola S, .jed JEDEC, else binary; - is standard "
                     "input or output, in binary; --start/--length "
                     "set the range in words); no programmer needed. Exit 0, 1 device not loaded, "
                     "2 no catalogue, else 10 + the file result: 11 IN not found, 12 format incorrect, "
                     "13 internal error, 15 checksum wrong, 16 data beyond the device, 17 OUT not created",
                     RunConvert});
    table.push_back({"sum", "sum TYPE MAKER NAME FILE [--crc32] [--sha1]",
                     "print FILE's checksum as the window's checksum box shows it once FILE is opened for "
                     "the device: the 16-bit sum of the bytes over the range (--start/--length, else the "
                     "whole device), for GAL devices the JEDEC fuse checksum; --crc32 and --sha1 add the "
                     "CRC-32 and SHA-1 of the range's bytes; no programmer needed. Exit codes as convert",
                     RunSum});
}

}  // namespace krt
