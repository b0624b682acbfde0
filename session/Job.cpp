// SPDX-License-Identifier: GPL-3.0-or-later
// The one path of a job: device, file, range, operation, output.
#include "session/Job.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/Hex.h"
#include "base/Log.h"
#include "base/StatusMessages.h"
#include "base/TypeCodes.h"
#include "data/BufferChecksum.h"
#include "families/ZVEEPROM.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "session/SessionTexts.h"

namespace krt {

namespace {

bool SameJobText(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

// The record with the texts that name the entry taken out: what is left is
// how the chip is programmed.
DeviceRecord ProgrammingOf(DeviceRecord record) {
    record.name.clear();
    record.type.clear();
    record.manufacture.clear();
    record.note.clear();
    record.algol.clear();
    return record;
}

// The link's log is the face's while a step of the job logs.
class LogSwap {
public:
    LogSwap(LinkContext& link, LogSink* log) : link_(link), previous_(link.log) { link.log = log; }
    ~LogSwap() { link_.log = previous_; }
    LogSwap(const LogSwap&) = delete;
    LogSwap& operator=(const LogSwap&) = delete;

private:
    LinkContext& link_;
    LogSink* previous_;
};

bool IsDeviceOperation(JobOperation operation) {
    return (operation >= JobOperation::Read && operation <= JobOperation::SdpOn) || operation == JobOperation::Compare;
}

bool Stop(JobReport& report, JobStop stop) {
    report.stop = stop;
    return false;
}

}  // namespace

uint8_t JobFace::Drive(OperationWorker& work, FinishSignal& observer, const char* caption) {
    (void)caption;
    work.Run();
    return observer.result;
}

int JobFace::ConfirmFixedLevel(const std::string& question) {
    ::krt::Log(Log(), "%s", question.c_str());
    return 1;
}

void JobFace::ResultLine(const std::string& line, uint8_t result) {
    (void)result;
    ::krt::Log(Log(), "%s", line.c_str());
}

PartEntries FindPartEntries(const DeviceList& list, const std::string& catalogueDir, const std::string& part,
                            uint32_t language) {
    PartEntries found;
    for (int32_t i = 0; i < list.count; ++i)
        if (SameJobText(list.names[static_cast<size_t>(i)], part)) found.entries.push_back(i);
    if (found.entries.size() < 2) return found;
    std::vector<DeviceRecord> records;
    for (int32_t entry : found.entries) {
        const size_t i = static_cast<size_t>(entry);
        DeviceRecord record;
        const DeviceLoadResult load = LoadDeviceRecord(list, catalogueDir, list.types[i], list.makers[i],
                                                       list.names[i], language, nullptr, record);
        if (!load.selected) {
            found.alike = false;
            break;
        }
        records.push_back(ProgrammingOf(record));
        if (!(records.back() == records.front())) {
            found.alike = false;
            break;
        }
    }
    return found;
}

uint8_t JobRequestCode(JobOperation operation) {
    switch (operation) {
    case JobOperation::Read: return REQ_READ;
    case JobOperation::Write: return REQ_WRITE;
    case JobOperation::Verify: return REQ_VERIFY;
    case JobOperation::Blank: return REQ_BLANK_CHECK;
    case JobOperation::Erase: return REQ_ERASE;
    case JobOperation::Secure: return REQ_SECURE;
    case JobOperation::Option: return REQ_DEVICE_OPTION;
    default: return 0;
    }
}

std::string FileRefusedLine(const Job& job, const JobReport& report) {
    if (report.transfer.result == FILE_OPEN_FAILED && !report.transfer.detail.empty()) return report.transfer.detail;
    return job.file + ": " + report.transfer.messageBox;
}

bool JobNeedsFile(JobOperation operation) {
    switch (operation) {
    case JobOperation::Read:
    case JobOperation::Write:
    case JobOperation::Verify:
    case JobOperation::Compare:
    case JobOperation::Auto:
    case JobOperation::Sum:
    case JobOperation::Convert: return true;
    default: return false;
    }
}

bool JobChangesChip(JobOperation operation) {
    if (operation == JobOperation::Auto || operation == JobOperation::SdpOff || operation == JobOperation::SdpOn)
        return true;
    const OperationInfo* info = OperationOf(JobRequestCode(operation));
    return info && info->changesChip;
}

// ---------------------------------------------------------------- the session's steps

bool Session::OpenCatalogue(const std::string& dir, LogSink* log) {
    Catalogue catalogue;
    const bool opened = ::krt::OpenCatalogue(dir, log, catalogue);
    catalogueDirectory = catalogue.directory;
    devices = std::move(catalogue.list);
    return opened;
}

Session::DeviceLoad Session::LoadDevice(const std::string& type, const std::string& maker, const std::string& name,
                                        uint32_t language, LogSink* log, DataBuffer& blank) {
    DeviceLoad result;
    DeviceRecord fresh;
    result.load = LoadDeviceRecord(devices, catalogueDirectory, type, maker, name, language, log, fresh);
    record = std::move(fresh);
    if (!result.load.selected) return result;
    // The buffer is sized before anything else changes, so that a failure
    // to get the memory leaves the old buffer and range as they were.
    if (!blank.Allocate(record.bufsize)) {
        result.noMemory = true;
        record = DeviceRecord();
    }
    return result;
}

void Session::StartBlank(DataBuffer&& blank) {
    buffer = std::move(blank);
    ClearBuffer(buffer, record, range);
}

LinkRequest Session::RangeRequest(uint8_t code, uint32_t permittedErrors) {
    LinkRequest request = OperationRequest(code, range.Start(), range.Length(), permittedErrors, buffer);
    CutRange(request, record, buffer);
    return request;
}

// ---------------------------------------------------------------- a job

bool Session::PrepareJob(const Job& job, JobFace& face, JobReport& report) {
    LogSink* log = face.Log();
    const uint32_t language = link.language;
    // A job that cannot run touches nothing.
    if (job.file.empty() && JobNeedsFile(job.operation)) return Stop(report, JobStop::NoFile);
    if (!devices.loaded && !OpenCatalogue(job.catalogue, log)) return Stop(report, JobStop::NoCatalogue);

    // The device: by TYPE MAKER NAME, or by its part number.
    std::string type = job.type, maker = job.maker, name = job.name;
    if (!job.part.empty()) {
        const PartEntries found = FindPartEntries(devices, catalogueDirectory, job.part, language);
        report.entries = found.entries;
        if (found.entries.empty()) {
            report.load.entry = devices.count;
            return Stop(report, JobStop::UnknownDevice);
        }
        const size_t first = static_cast<size_t>(found.entries.front());
        if (!name.empty()) {
            bool named = false;
            for (int32_t entry : found.entries) {
                const size_t i = static_cast<size_t>(entry);
                named = named || (SameJobText(devices.types[i], type) && SameJobText(devices.makers[i], maker) &&
                                  SameJobText(devices.names[i], name));
            }
            if (!named) return Stop(report, JobStop::PartConflict);
        } else {
            if (!found.alike) return Stop(report, JobStop::PartAmbiguous);
            type = devices.types[first];
            maker = devices.makers[first];
            name = devices.names[first];
        }
    }
    // The same device as loaded keeps its record and buffer.
    const bool same = buffer.Exists() && SameJobText(record.type, type) && SameJobText(record.manufacture, maker) &&
                      SameJobText(record.name, name);
    if (!same) {
        DataBuffer blank;
        const DeviceLoad loaded = LoadDevice(type, maker, name, language, log, blank);
        report.load = loaded.load;
        if (!loaded.load.selected)
            return Stop(report, loaded.load.entry >= devices.count ? JobStop::UnknownDevice : JobStop::DeviceNotLoaded);
        if (loaded.noMemory) return Stop(report, JobStop::NoMemory);
        StartBlank(std::move(blank));
    }
    // The run's overrides of the record's datasheet settings.
    ApplyOverrides(job.overrides, record);
    if (const int status = face.DeviceLoaded(record)) {
        report.status = status;
        return Stop(report, JobStop::Face);
    }

    const bool deviceOperation = IsDeviceOperation(job.operation);
    const uint32_t maxsize = record.maxsize;
    if (job.operation == JobOperation::Convert) {
        // A conversion goes through the range as the fields commit it.
        if (!job.start.empty()) {
            range.start = job.start;
            range.CommitStart(maxsize);
        }
        if (!job.length.empty()) {
            range.length = job.length;
            range.CommitLength(maxsize);
        }
    }
    // A binary file fills the words from 0 to the end of the range asked
    // for: a length there asks for the cut of a file that is longer. A
    // length of 0 cuts nothing and is the operation's to refuse (2), as for
    // any other format.
    if (deviceOperation && !job.length.empty() && FormatFromName(job.file) == FORMAT_BINARY &&
        ParseHex(job.length) > 0) {
        const uint64_t end = uint64_t{ParseHex(job.start)} + ParseHex(job.length);
        if (end < maxsize) range.length = FormatHex6(static_cast<uint32_t>(end));
    }
    // The data file goes in over the whole device, as File Open reads it
    // right after the device was selected.
    // An explicit range is the user's consent to cut a longer binary file,
    // also a range that reaches the device's end.
    const bool explicitRange = !job.start.empty() || !job.length.empty();
    if (!job.file.empty() && job.operation != JobOperation::Read) {
        bool read = false;
        face.FileWait([&] {
            LogSwap swap(link, log);
            report.transfer = ReadDataFile(job.file, language, job.format, explicitRange,
                                           job.lengthOption.empty() ? nullptr : job.lengthOption.c_str());
            read = report.transfer.success;
        });
        if (face.Interrupted()) return Stop(report, JobStop::Interrupted);
        if (!read) {
            // The window's box says only "File not found."; the system says why.
            if (report.transfer.result == FILE_OPEN_FAILED) {
                const std::string why = InputFileProblem(job.file);
                if (!why.empty())
                    report.transfer.detail = Format(InLanguage(kInputFileText, language), job.file.c_str(), why.c_str());
            }
            return Stop(report, JobStop::FileRefused);
        }
    }
    // The range then takes the place of the user's edits of the fields: a
    // start alone runs to the end of the device, a length is taken as typed
    // (a range beyond the device is cut by the operation, which says so).
    if (job.operation != JobOperation::Convert) {
        if (!job.start.empty()) {
            const uint32_t start = ParseHex(job.start);
            range.start = FormatHex6(start);
            range.length = FormatHex6(start < maxsize ? maxsize - start : maxsize);
        }
        if (!job.length.empty()) range.length = FormatHex6(ParseHex(job.length));
    }
    report.checksum = Checksum();
    // The figure of the window's checksum box for the file as loaded.
    if ((deviceOperation && !job.file.empty() && job.operation != JobOperation::Read) ||
        job.operation == JobOperation::Sum)
        ::krt::Log(log, "%s", ChecksumLine(report.checksum, language, ChecksumMarks(record, buffer)).c_str());
    return true;
}

namespace {

// One job's operations on the programmer, through the face.
class JobSteps {
public:
    JobSteps(Session& session, const Job& job, JobFace& face) : session_(session), job_(job), face_(face) {}

    const char* Message(int number) const { return MessageText(session_.link.language, number); }
    void LogMessage(int number) { ::krt::Log(face_.Log(), "%s", Message(number)); }

    uint8_t Drive(OperationWorker& work, FinishSignal& observer, const char* caption) {
        return face_.Drive(work, observer, caption);
    }

    void Report(const OperationInfo& operation, uint8_t result) {
        face_.ResultLine(ResultMessage(operation, result, session_.link.language), result);
        session_.ShowResult(result);
    }

    uint8_t Step(const OperationInfo& operation) {
        const LinkRequest request = OperationRequest(operation.code, session_.range.Start(), session_.range.Length(),
                                                     job_.permittedErrors, session_.buffer);
        FinishSignal observer;
        OperationWorker work(session_, request, session_.record, observer);
        const uint8_t result = Drive(work, observer, Message(operation.progress));
        Report(operation, result);
        return result;
    }

    uint8_t Protection(bool enable) {
        FinishSignal observer;
        OperationWorker work(
            session_,
            [enable](LinkContext& link, DeviceRecord& record) { return RunProtectionOperation(link, record, enable); },
            session_.record, observer);
        return Drive(work, observer, "");
    }

    uint8_t Run() {
        switch (job_.operation) {
        case JobOperation::Auto: {
            LogMessage(kMessageAutoConfirm);
            const uint8_t result = AutomaticWrite(
                session_.link,
                [this](const OperationInfo& step) {
                    // A stop between two steps ends the run as the cancel would.
                    if (face_.Interrupted()) {
                        Report(step, RESULT_CANCELED);
                        return static_cast<uint8_t>(RESULT_CANCELED);
                    }
                    return Step(step);
                },
                [] { return true; }, face_.Log(), session_.link.language);
            if (result == RESULT_OK) LogMessage(kMessageAutoDone);
            return result;
        }
        case JobOperation::Compare: return Compare();
        case JobOperation::SdpOff:
        case JobOperation::SdpOn:
            // The family logs the state it observed.
            return Protection(job_.operation == JobOperation::SdpOn);
        default: break;
        }
        const OperationInfo& operation = *OperationOf(JobRequestCode(job_.operation));
        if (operation.confirm >= 0) LogMessage(operation.confirm);
        // A stop that came before the operation started cancels it.
        if (face_.Interrupted()) {
            Report(operation, RESULT_CANCELED);
            return RESULT_CANCELED;
        }
        return Step(operation);
    }

    uint8_t Compare() {
        const OperationInfo& read = *OperationOf(REQ_READ);
        return session_.CompareWithChip(
            [&] {
                if (!face_.Interrupted()) return Step(read);
                Report(read, RESULT_CANCELED);
                return static_cast<uint8_t>(RESULT_CANCELED);
            },
            differences);
    }

    DifferenceList differences;

private:
    Session& session_;
    const Job& job_;
    JobFace& face_;
};

}  // namespace

uint8_t Session::CompareWithChip(const std::function<uint8_t()>& read, DifferenceList& differences) {
    // The read takes the chip's image as the loaded one; the user's edits
    // (undo, the changed bytes, unsaved) belong to the image put back.
    const std::vector<uint8_t> image(buffer.data(), buffer.data() + buffer.size());
    BufferEdits kept = edits;
    const uint8_t result = read();
    differences = {};
    if (result == RESULT_OK)
        differences = ListDifferences(buffer.data(), image.data(), buffer.size(), range.Start(), range.Length(),
                                      record.bytesPerWord);
    std::copy(image.begin(), image.end(), buffer.data());
    edits = std::move(kept);
    BufferChanged();
    if (result != RESULT_OK) return result;
    return differences.total == 0 ? RESULT_OK : RESULT_ERRORS;
}

JobReport Session::RunJob(const Job& job, JobFace& face) {
    JobReport report;
    if (!PrepareJob(job, face, report)) return report;
    LogSink* log = face.Log();
    const uint32_t language = link.language;
    if (job.operation == JobOperation::Convert) {
        LogSwap swap(link, log);
        report.transfer = WriteDataFile(job.output, language, job.format);
        if (!report.transfer.success) report.stop = JobStop::OutputRefused;
        return report;
    }
    if (!IsDeviceOperation(job.operation)) return report;
    // The device option exists only for the PLDs with an ID row.
    if (job.operation == JobOperation::Option && !HasDeviceOption(record.typecode)) {
        report.stop = JobStop::Unsupported;
        return report;
    }
    // An erase that needs a high voltage on A9 is refused before the
    // programmer is even asked: nothing reaches the socket.
    if (job.operation == JobOperation::Erase && record.a9erase > 0.0) {
        ::krt::Log(log, "%s", EraseRefusedLine(record, language).c_str());
        report.stop = JobStop::Unsupported;
        return report;
    }
    if (const int status = face.Connect()) {
        report.status = status;
        report.stop = JobStop::Face;
        return report;
    }
    const bool programs = job.operation == JobOperation::Write || job.operation == JobOperation::Erase ||
                          job.operation == JobOperation::Auto || job.operation == JobOperation::Secure;
    if (programs && !record.galpart.empty() && link.FixedSupplyLevels() && !job.overrides.fixedLevel) {
        const std::string question = Format(InLanguage(kFixedLevelQuestionText, language), record.name.c_str());
        if (const int status = face.ConfirmFixedLevel(question)) {
            report.status = status;
            report.stop = JobStop::Face;
            return report;
        }
    }
    const uint64_t started = VirtualNs();
    JobSteps steps(*this, job, face);
    report.result = steps.Run();
    report.differences = std::move(steps.differences);
    report.ran = true;
    report.virtualNs = VirtualNs() - started;
    if (job.operation == JobOperation::Read) {
        steps.LogMessage(kMessageReadFinished);
        report.checksum = Checksum();
        if (report.result == RESULT_OK) {
            ::krt::Log(log, "%s", ChecksumLine(report.checksum, language, ChecksumMarks(record, buffer)).c_str());
            // A read that did not finish leaves the file as it was.
            bool written = false;
            face.FileWait([&] {
                LogSwap swap(link, log);
                report.transfer = WriteDataFile(job.file, language, job.format);
                written = report.transfer.success;
            });
            if (!written) report.stop = face.Interrupted() ? JobStop::Interrupted : JobStop::OutputRefused;
        }
    }
    face.Finish(report);
    return report;
}

void ApplyOverrides(const JobOverrides& o, DeviceRecord& record) {
    if (o.waitMode >= 0) record.waitmode = static_cast<uint8_t>(o.waitMode);
    if (o.pageWrite) record.pagewrite = 1;
    if (!o.idCheck) record.idcheck = 0;
    if (o.changedOnly) record.changedonly = 1;
    if (o.byteWrite) record.pagewrite = 0;
    if (!o.verify) record.verify = 0;
}

JobOverrides OverridesOf(const DeviceRecord& datasheet, const DeviceRecord& inUse) {
    JobOverrides o;
    if (inUse.waitmode != datasheet.waitmode) o.waitMode = inUse.waitmode;
    if (inUse.pagewrite != datasheet.pagewrite) (inUse.pagewrite ? o.pageWrite : o.byteWrite) = true;
    o.idCheck = inUse.idcheck != 0 || datasheet.idcheck == 0;
    o.changedOnly = inUse.changedonly != 0 && datasheet.changedonly == 0;
    o.verify = inUse.verify != 0 || datasheet.verify == 0;
    return o;
}

}  // namespace krt
