// SPDX-License-Identifier: GPL-3.0-or-later
// What a user asks for, in the user's terms, and the one path that runs it:
// load the device (or keep it), read the data file into the buffer, set the
// range, run the operation on the worker, write a read's output, and hand
// back one report. Every face builds jobs (each krt command, krt batch, a
// project file) and prints or shows the report; the rules of each step are
// written here once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/Differences.h"

#include "catalogue/DeviceList.h"
#include "catalogue/DeviceLoader.h"
#include "data/DataFile.h"
#include "data/DataTransfer.h"

namespace krt {

class Session;
class OperationWorker;
struct FinishSignal;
struct OperationInfo;
struct LogSink;

// What the job does once the device is loaded.
enum class JobOperation : uint8_t {
    None,     // only load the device (and read the file, when one is named)
    Read,
    Write,
    Verify,
    Blank,
    Erase,
    Secure,
    Option,
    Auto,     // blank check, write, verify
    SdpOff,   // the parallel EEPROM's protection sequences
    SdpOn,
    Sum,      // the checksum of the file over the range
    Convert,  // the file through the buffer into the output file
    Compare,  // the chip read into a scratch buffer and compared with the file over the range
};

// The run's overrides of the device record's own settings.
struct JobOverrides {
    int waitMode = -1;         // the record's waitmode for this run (-1: the record's own)
    bool pageWrite = false;    // two-wire serial EEPROMs write a page per cycle
    bool byteWrite = false;    // two-wire serial EEPROMs write a byte per cycle
    bool idCheck = true;       // false: no identity read before a write or erase
    bool verify = true;        // a write is followed by its verify where the family does so
    bool changedOnly = false;  // write only the words that differ from the chip
    bool fixedLevel = false;   // an ATF part may be programmed at a fixed 12.5 V
};

struct Job {
    // The device by TYPE MAKER NAME, or by its part number alone (part).
    // Both may be given when they name the same entry.
    std::string type, maker, name;
    std::string part;
    // The catalogue's folder when the session has no device list yet
    // (empty: where it is found by default).
    std::string catalogue;
    JobOperation operation = JobOperation::None;
    std::string file;                  // the data file ("-": the standard stream)
    uint32_t format = FORMAT_BY_NAME;  // its format code, or by name
    std::string output;                // convert: the file written
    // The range as typed, hexadecimal (empty: the whole device from 0).
    std::string start, length;
    // The face's name for the length, for the advice on a binary file larger
    // than the device (krt: "--length"; empty: the window's words).
    std::string lengthOption;
    uint32_t permittedErrors = 100;
    JobOverrides overrides;
};

// The overrides put on a record as a run sees them, and the overrides that
// turn the datasheet's record into the one in use (what a project keeps).
void ApplyOverrides(const JobOverrides& overrides, DeviceRecord& record);
JobOverrides OverridesOf(const DeviceRecord& datasheet, const DeviceRecord& inUse);

// Where a job stopped before its end, for the face to say why.
enum class JobStop : uint8_t {
    None,             // ran to its end; the result tells how the operation went
    NoCatalogue,      // no device list was found
    UnknownDevice,    // the catalogue does not list the device
    PartConflict,     // the part number and TYPE MAKER NAME name different entries
    PartAmbiguous,    // the part number is listed with different programming
    DeviceNotLoaded,  // the parameter file failed its load or its checks
    NoMemory,         // no memory for the device's buffer
    NoFile,           // the operation needs a data file and none is named
    FileRefused,      // the data file was refused (transfer says why)
    Interrupted,      // a signal ended a wait for a file
    Unsupported,      // the device option of a device without one
    OutputRefused,    // a read's or a conversion's output was not written
    Face,             // the face stopped it (status is its exit status)
};

struct JobReport {
    JobStop stop = JobStop::None;
    int status = 0;             // JobStop::Face: the face's status; else free for the face
    uint8_t result = 0;         // the operation's result (auto: the last step's)
    bool ran = false;           // an operation was run
    DeviceLoadResult load;      // the device load
    std::vector<int32_t> entries;  // PartAmbiguous: the entries of the part number
    TransferReport transfer;    // the file step that stopped the job
    uint16_t checksum = 0;      // the buffer's checksum over the range at the end
    uint64_t virtualNs = 0;     // the simulated programmer's time of the operations
    DifferenceList differences; // compare: the words where the chip and the file differ
};

// What a face adds to a job's run. Every call comes on the thread that
// called Session::RunJob.
struct JobFace {
    virtual ~JobFace() = default;
    // Where the job's lines go (the device load, the files, the operations).
    virtual LogSink* Log() = 0;
    // The device is loaded with the overrides applied: 0 goes on, any other
    // value stops the job with that status.
    virtual int DeviceLoaded(const DeviceRecord& record) {
        (void)record;
        return 0;
    }
    // A file step that may wait for ever (standard input, a FIFO) runs in
    // here, so that the face can end the wait.
    virtual void FileWait(const std::function<void()>& step) { step(); }
    // True when the user asked to stop (a signal, a cancel between steps).
    virtual bool Interrupted() { return false; }
    // Before the first operation: the programmer made ready (port, socket,
    // start-up). 0 goes on, else the status to stop with.
    virtual int Connect() { return 0; }
    // A write or erase of an ATF part on a programmer with fixed levels only,
    // not accepted beforehand: the face asks (the text says why). 0 goes
    // on, else the status to stop with; by default the line and 1.
    virtual int ConfirmFixedLevel(const std::string& question);
    // Runs the worker to its end (the operation's caption for its progress);
    // returns its result. The default runs it on this thread.
    virtual uint8_t Drive(OperationWorker& work, FinishSignal& observer, const char* caption);
    // The result line of one operation (the indicator is the job's).
    virtual void ResultLine(const std::string& line, uint8_t result);
    // After the operations ran (and a read's output was written or not):
    // the face's last steps (the chip file saved).
    virtual void Finish(JobReport& report) { (void)report; }
};

// A face that adds nothing: the job's lines go to log, the operations run
// on the calling thread.
class LogJobFace final : public JobFace {
public:
    explicit LogJobFace(LogSink* log) : log_(log) {}
    LogSink* Log() override { return log_; }

private:
    LogSink* log_;
};

// The entries of the catalogue whose part number is `part`, without regard
// to case, and whether they load the same programming record (they then
// program the chip alike and the first is as good as any).
struct PartEntries {
    std::vector<int32_t> entries;
    bool alike = true;
};
PartEntries FindPartEntries(const DeviceList& list, const std::string& catalogueDir, const std::string& part,
                            uint32_t language);

// Why the data file `path` cannot be read, in the system's words (empty
// when it can be opened, and for "-", the standard stream). A FIFO or a
// socket is refused before anything waits on it.
std::string InputFileProblem(const std::string& path);

// The one line that says why a job stopped at its data file
// (JobStop::FileRefused): a file that cannot be opened is named with the
// system's reason, any other with the window's message box. Every face
// prints this line.
std::string FileRefusedLine(const Job& job, const JobReport& report);

// Whether an operation of the job needs the data file in the buffer first.
bool JobNeedsFile(JobOperation operation);
// Whether it may change what the chip holds.
bool JobChangesChip(JobOperation operation);
// The request code of a single operation (0 for the others).
uint8_t JobRequestCode(JobOperation operation);

}  // namespace krt
