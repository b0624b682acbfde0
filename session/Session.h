// SPDX-License-Identifier: GPL-3.0-or-later
// One programmer session: what both faces (the window and krt) hold. It owns
// the link context and the port backend (opened by name), runs the start-up
// requests, holds the simulated socket, the device list, the device record,
// the data buffer and the operation range, and sends every request of the
// faces, so that a face only turns a user's wish into a call here.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "catalogue/DeviceList.h"
#include "catalogue/DeviceRecord.h"
#include "data/BufferEdits.h"
#include "data/DataBuffer.h"
#include "data/DataTransfer.h"
#include "data/Differences.h"
#include "link/Link.h"
#include "link/Protocol.h"
#include "platform/Platform.h"
#include "session/Job.h"
#include "sim/Chip.h"

namespace krt {

class VirtualKrt;

// The link settings that the start-up sends (from the settings store or the
// command line).
struct SessionSettings {
    uint32_t clock = 4000000;
    uint8_t powerCircuit = 2;
    uint16_t portBase = 0x378;
    uint32_t language = 1;
};

// The crystal clocks (Hz) that the start-up accepts from the settings; the
// configuration dialog refuses any other.
inline constexpr uint32_t kLowestClockHz = 450001;
inline constexpr uint32_t kHighestClockHz = 3500000;
inline constexpr bool ClockAccepted(uint32_t hz) { return hz >= kLowestClockHz && hz <= kHighestClockHz; }

class Session {
public:
    // Lines of the link and of the session go to log (may be null for now,
    // set later with SetLog).
    explicit Session(LogSink* log = nullptr);
    // Saves a simulated chip that changed and was not saved yet.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    LinkContext link;

    void SetLog(LogSink* log) { link.log = log; }
    LogSink* Log() const { return link.log; }

    // --- the port backend ---
    // Opens the backend named "sim", "ppdev", "ppdev:/dev/parportN" or
    // "direct" at the port base (0 means 0x378). False with a text that
    // names the port and the fix in error; nothing else is tried.
    bool OpenBackend(const std::string& name, uint16_t base, std::string& error);
    // Every register access of the backend is written to trace (set before
    // OpenBackend; the caller keeps the file open).
    void SetTrace(std::FILE* trace) { trace_ = trace; }
    bool IsOpen() const { return link.port != nullptr; }
    bool Simulated() const { return sim_ != nullptr; }
    // The port as the user knows it: "0x378 (/dev/parport0)", "simulator".
    const std::string& PortName() const { return portName_; }
    // The base the backend is now bound to.
    uint16_t BackendBase() const { return backendBase_; }
    VirtualKrt* Simulator() const { return sim_.get(); }

    // --- requests ---
    // Dispatch on this session's link. Without an open port only the
    // requests that touch no hardware are performed; the others return 7.
    // A port base changed with request 37 reaches the backend (reopened on
    // the new base) before the next request that needs the port.
    uint8_t Send(LinkRequest& request, DeviceRecord& record);
    uint8_t Send(LinkRequest& request) { return Send(request, record); }
    // A request with only a parameter; the result value goes to value.
    uint8_t Request(uint8_t code, uint32_t parameter = 0, uint32_t* value = nullptr);

    // The start-up: clock (39), power circuit (43), port base (37) and
    // language (45), then reset (1) and detection (2). Configure sends the
    // first four alone, ResetAndDetect the last two (the window opens its
    // port and reads the device list in between).
    void Configure(const SessionSettings& settings);
    uint8_t ResetAndDetect();
    uint8_t StartUp(const SessionSettings& settings);

    // Sets the result indicator after an operation: state 2 after success,
    // 1 after any failure. Returns the state sent.
    uint32_t ShowResult(uint8_t result);

    // --- what the faces work on ---
    DeviceList devices;
    std::string catalogueDirectory;
    DeviceRecord record;
    DataBuffer buffer;
    OperationRange range;
    // The dump window's edits of the buffer: undo, redo, changed bytes,
    // unsaved. Reset by a file load and a chip read.
    BufferEdits edits;

    // --- the workspace steps of both faces ---
    // The device list of the catalogue folder dir (empty: where it is
    // found by default) into devices (not loaded when none was found or it
    // did not open: false); its line errors go to log.
    bool OpenCatalogue(const std::string& dir, LogSink* log);
    // A device from the catalogue: the record is replaced by the loaded one
    // (an empty record when the load fails) and a blank buffer of its size
    // is made in blank. Without memory for it, noMemory is set and the
    // record is emptied; the buffer in use stays as it was either way.
    struct DeviceLoad {
        DeviceLoadResult load;
        bool noMemory = false;
        bool Loaded() const { return load.selected && !noMemory; }
    };
    DeviceLoad LoadDevice(const std::string& type, const std::string& maker, const std::string& name,
                          uint32_t language, LogSink* log, DataBuffer& blank);
    // A device change's new buffer: blank takes the buffer's place and is
    // cleared for the record, and the range becomes the whole device.
    void StartBlank(DataBuffer&& blank);
    // The request of a device operation over the range, cut at the end of
    // the device and of the buffer (the window's operations).
    LinkRequest RangeRequest(uint8_t code, uint32_t permittedErrors);
    // A job, end to end (see session/Job.h): the device loaded or kept,
    // the file read, the range set, the operation run through the face,
    // a read's output written. The face adds its own steps and says why a
    // job stopped from the report.
    JobReport RunJob(const Job& job, JobFace& face);
    // Its steps before the operation alone (device, file, range); false
    // when the job stopped there (report.stop says where).
    bool PrepareJob(const Job& job, JobFace& face, JobReport& report);
    // A data file into the buffer over the range, in the language given
    // (format: by name, or a format code). A refused file leaves the buffer
    // as it was.
    // cutConsented: the range was given explicitly, so a longer binary file
    // is cut at its end; lengthOption: the option named in the advice (see
    // ::krt::ReadDataFile).
    TransferReport ReadDataFile(const std::string& name, uint32_t language, uint32_t format = FORMAT_BY_NAME,
                                bool cutConsented = false, const char* lengthOption = nullptr);
    // The last data file again after a device change, into the new device's
    // blank buffer. When the file does not fit the new device the buffer
    // stays blank, and the log says so.
    TransferReport ReloadDataFile(const std::string& name, uint32_t language);
    // File > Open: the file into the device's blank buffer (the range stays),
    // so that no byte of an earlier file is left; with merge, the file is
    // laid over the buffer as it is (File > Merge). The log says which. A
    // refused file leaves the buffer as it was.
    TransferReport OpenDataFile(const std::string& name, uint32_t language, bool merge);
    TransferReport WriteDataFile(const std::string& name, uint32_t language, uint32_t format = FORMAT_BY_NAME);
    // The figure of the window's checksum box and of krt sum: the buffer's
    // checksum over the range as it stands (for a PLD, its fuse checksum).
    uint16_t Checksum() const;
    // "%04X" of it; empty while there is no buffer (no device loaded).
    std::string ChecksumText() const;

    // Compare, for both faces: read runs the chip's read over the range into
    // the buffer; the words that differ from the buffer as it was are listed
    // in differences, and the buffer holds its own image again afterwards,
    // whatever the read's result. RESULT_ERRORS when words differ, else the
    // read's result.
    uint8_t CompareWithChip(const std::function<uint8_t()>& read, DifferenceList& differences);

    // Called on the thread that changed the buffer (an operation's worker,
    // or the face after a file was read); the views over the buffer listen here.
    void SetBufferListener(std::function<void()> listener) { bufferListener_ = std::move(listener); }
    void BufferChanged() const {
        if (bufferListener_) bufferListener_();
    }

    // --- the simulated socket ---
    // Puts the chip of the device in the socket: the one of the chip file
    // at path (made blank and saved there when the file does not exist), or
    // a blank chip when path is empty. A chip of this device already in the
    // socket from the same file stays. A device without a chip model leaves
    // the socket empty and says why in note (true). False with error when
    // the file cannot be used (another device's chip, unreadable).
    bool LoadSocket(const DeviceRecord& device, const std::string& path, std::string& note, std::string& error);
    // Puts an already made chip in the socket, saved to path after changes.
    void InsertSocketChip(std::unique_ptr<Chip> chip, const std::string& path);
    // Saves the chip when it changed since it was loaded or last saved.
    bool SaveSocket(std::string& error);
    // UV-erases the chip in the socket (a fresh blank chip of the same
    // device takes the place of one that cannot be erased) and saves it; a
    // short text for the user in message.
    bool BlankSocket(std::string& message);
    bool SocketHasChip() const;
    // Before an operation: when the socket's chip file was changed on disk
    // since it was loaded or saved here (another program, krt, worked on
    // it), and the chip here has no unsaved change, loads the chip from it
    // again. True with a line for the user in note when it did; false with
    // error when the changed file cannot be used (the chip stays).
    bool ReloadSocketIfChanged(std::string& note, std::string& error);
    // The chip file name of a device, for a directory that keeps one per device.
    static std::string ChipFileName(const DeviceRecord& device);

    // Virtual time of the simulated programmer, in ns (0 without one).
    uint64_t VirtualNs() const;

private:
    bool OpenPort(uint16_t base, std::string& error);
    void Rebase();
    void ReleasePort();
    void PortFailed(const std::string& line);

    std::string kind_;    // "sim", "ppdev" or "direct"
    std::string device_;  // ppdev:DEVICE
    std::string portName_;
    uint16_t backendBase_ = 0;
    bool rebasePending_ = false;
    bool portFailed_ = false;  // an access failed in the running request
    std::FILE* trace_ = nullptr;
    std::unique_ptr<PortIo> port_;
    std::unique_ptr<Clock> clock_;
    std::shared_ptr<VirtualKrt> sim_;
    std::unique_ptr<DeviceRecord> socketDevice_;
    std::string socketFile_;
    // The chip file's size and modification time when last loaded or saved.
    struct FileStamp {
        bool exists = false;
        uintmax_t size = 0;
        int64_t time = 0;
        bool operator==(const FileStamp&) const = default;
    };
    static FileStamp StampOf(const std::string& path);
    FileStamp socketStamp_;
    std::function<void()> bufferListener_;
};

}  // namespace krt
