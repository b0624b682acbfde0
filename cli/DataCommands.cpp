// SPDX-License-Identifier: GPL-3.0-or-later
// krt convert: a data file through the device's buffer into another file,
// with the messages of the window's File commands. Needs no programmer: no
// port is opened and the link is not started.
#include <cstdio>
#include <unistd.h>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "data/DataFile.h"
#include "base/Log.h"
#include "base/StatusMessages.h"
#include "session/Job.h"
#include "cli/Terminal.h"
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

// A job that needs no programmer, from the words TYPE MAKER NAME FILE.
Job FileJob(const CliSession& session, const std::vector<std::string>& args, JobOperation operation) {
    Job job;
    job.type = args[0];
    job.maker = args[1];
    job.name = args[2];
    job.file = args[3];
    job.catalogue = session.options.catalogue;
    job.operation = operation;
    job.format = session.options.format;
    job.start = session.options.start;
    job.length = session.options.length;
    job.lengthOption = "--length";
    return job;
}

// The exit status of convert and sum, with the window's box on stderr
// when a file was refused.
int FileJobStatus(const Job& job, const JobReport& report, uint32_t language) {
    switch (report.stop) {
    case JobStop::None: return 0;
    case JobStop::NoCatalogue:
        std::fprintf(stderr, "krt: no device catalogue (DEVICE.LST) found; name it with --catalogue DIR\n");
        return kExitCatalogue;
    case JobStop::UnknownDevice:
        std::fprintf(stderr, "krt: no device %s %s %s in the catalogue (see krt list)\n", job.type.c_str(),
                     job.maker.c_str(), job.name.c_str());
        return kExitDevice;
    case JobStop::NoMemory:
        std::fprintf(stderr, "krt: %s\n", MessageText(language, 19));
        return kFileExitBase + FILE_INTERNAL_ERROR;
    case JobStop::FileRefused:
        std::fprintf(stderr, "krt: %s\n", FileRefusedLine(job, report).c_str());
        return kFileExitBase + report.transfer.result;
    case JobStop::OutputRefused:
        ShowBox(report.transfer);
        return kFileExitBase + report.transfer.result;
    default: return kExitDevice;
    }
}

int RunConvert(CliSession& session, const std::vector<std::string>& args) {
    if (args.size() != 5) {
        std::fprintf(stderr, "krt: usage: krt convert TYPE MAKER NAME IN OUT [--start HEX] [--length HEX]\n");
        return kExitUsage;
    }
    // The chip file of --sim-chip is no place for data.
    if (const int refused = RefuseOutputClash(session.options, args[4], "")) return refused;
    if (args[4] == kStandardStream) {
        if (BinaryToTerminalRefused(isatty(STDOUT_FILENO) == 1, session.options.format, session.options.force)) {
            std::fprintf(stderr, "krt: %s\n", kBinaryToTerminalText);
            return kExitUsage;
        }
        // The data goes to stdout: krt's own lines go to stderr.
        LogToStandardError(session);
    }
    // As the window does on a device load: a new buffer, cleared, the range
    // set to the whole device; then the range fields as typed and committed,
    // IN read over them and OUT written.
    Job job = FileJob(session, args, JobOperation::Convert);
    job.output = args[4];
    LogJobFace face(SessionLog(session));
    session.link.language = session.options.language;
    return FileJobStatus(job, session.core.RunJob(job, face), session.options.language);
}

// krt sum: the checksum that the window's checksum box shows after the
// device is chosen and FILE is opened (over the range of --start/--length as
// the write command takes them, else the whole device).
int RunSum(CliSession& session, const std::vector<std::string>& args) {
    if (args.size() != 4) {
        std::fprintf(stderr, "krt: usage: krt sum TYPE MAKER NAME FILE [--start HEX] [--length HEX]\n");
        return kExitUsage;
    }
    // The window's steps and its checksum rule, through the same session.
    const Job job = FileJob(session, args, JobOperation::Sum);
    LogJobFace face(SessionLog(session));
    session.link.language = session.options.language;
    const int status = FileJobStatus(job, session.core.RunJob(job, face), session.options.language);
    if (status == 0 && (session.options.crc32 || session.options.sha1)) {
        const BufferDigests digests = DigestsOf(session.record, session.core.buffer, session.core.range);
        if (session.options.crc32) Log(SessionLog(session), "%s", Crc32Line(digests).c_str());
        if (session.options.sha1) Log(SessionLog(session), "%s", Sha1Line(digests).c_str());
    }
    return status;
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
