// SPDX-License-Identifier: GPL-3.0-or-later
// Production runs: the same image programmed into a series of chips, each
// with its own serial number patched into the image, one log line per chip
// and the next serial kept beside the log, so that a batch that was stopped
// goes on where it ended. Both faces (krt batch and the window's Batch
// dialog) drive a Batch; they only supply how to wait for the next chip and
// how to run one operation request.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/Link.h"
#include "link/Protocol.h"

namespace krt {

class Session;
class Chip;

enum class SerialEncoding : uint8_t { Le, Be, Bcd, Ascii };

// Where and how the serial goes into the image. The address is a byte
// offset in the buffer (as the data file's addresses of a byte-wide part).
struct SerialFormat {
    bool used = false;
    uint32_t address = 0;
    uint32_t width = 0;  // bytes
    bool startGiven = false;
    uint64_t start = 0;
    uint64_t step = 1;
    bool stepGiven = false;
    SerialEncoding encoding = SerialEncoding::Le;
};

// "ADDR:WIDTH[:START[:STEP]][:le|be|bcd|ascii]": ADDR hexadecimal, the
// others decimal; little-endian binary by default. False with a reason.
bool ParseSerialFormat(std::string_view text, SerialFormat& format, std::string& error);
// The format back as text, with its START.
std::string SerialFormatText(const SerialFormat& format);
// The serial's bytes; false when the value does not fit the width.
bool EncodeSerial(const SerialFormat& format, uint64_t value, std::vector<uint8_t>& bytes);

// The small file beside the log: the serial's place, the next serial and
// the next chip's index. A chip's serial is counted here as used before the
// chip is programmed, so that no chip ever carries a serial the file would
// hand out again.
struct BatchState {
    std::string serial;  // SerialFormatText of the place, empty without a serial
    uint64_t nextSerial = 0;
    uint32_t nextIndex = 1;
};
// Whether the serial format given would start the series of the state anew
// (a START other than the next serial, or a STEP other than the kept one)
// after chips already took serials of it: the log would then hold the same
// serial twice, or two interleaved lines would collide. True with the reason
// naming the last serial used. The window warns with it; krt batch refuses
// unless --restart-series is given.
bool RestartsUsedSeries(const BatchState& state, const SerialFormat& given, std::string& reason);
std::string BatchStatePath(const std::string& logPath);
// False when the file is missing (error empty) or unreadable / not in its form.
bool ReadBatchState(const std::string& path, BatchState& state, std::string& error);
// Written to a temporary file and renamed over, so a crash leaves the old or the new.
bool WriteBatchState(const std::string& path, const BatchState& state, std::string& error);

struct BatchSettings {
    bool automatic = true;  // blank check, write, verify; else write and verify
    uint32_t count = 0;     // 0: until the face ends it
    SerialFormat serial;
    std::string logPath;  // empty: no log and no state file
    bool stopOnFailure = false;
    bool force = false;  // the serial may overwrite file data
    // How the refusal of a serial over file data tells the user to allow it
    // (the front end's own option or control).
    std::string allowOverwrite = "give --force";
    bool restartSeries = false;  // a START may begin again a series the log already used
    uint32_t permittedErrors = 100;
};

// What one chip of the batch came to.
struct BatchChip {
    uint32_t index = 0;
    std::string time;  // UTC, ISO 8601
    std::string serial;  // as decimal digits; empty without a serial
    uint16_t fileChecksum = 0;
    bool chipChecksumRead = false;
    uint16_t chipChecksum = 0;
    uint8_t result = 0;
    double seconds = 0;
};
// The log's JSON line of a chip (without the line end).
std::string BatchLogLine(const BatchChip& chip, const std::string& device);

struct BatchSummary {
    uint32_t done = 0;
    uint32_t failed = 0;
    std::string firstSerial, lastSerial;
    double seconds = 0;
    uint8_t worst = 0;  // the highest result code of the chips
    bool stoppedByFailure = false;
    bool stopped = false;  // the face asked to stop (Ctrl-C, a signal, Stop): the batch did not end as planned
    std::string problem;  // the batch could not go on (log or state not written, serial overflow)
};

// What a face supplies.
class BatchFace {
public:
    virtual ~BatchFace() = default;
    // Returns once chip index sits in the socket; false: the user ends the batch.
    virtual bool NextChip(uint32_t index) = 0;
    // Runs one operation request on the session (its result code).
    virtual uint8_t RunRequest(LinkRequest& request) = 0;
    // Asked between chips and between the steps of a chip.
    virtual bool StopRequested() { return false; }
    virtual void ChipStarted(uint32_t index, const std::string& serial) {
        (void)index;
        (void)serial;
    }
    virtual void ChipFinished(const BatchChip& chip) { (void)chip; }
};

class Batch {
public:
    // The session holds the device, the range and the buffer with the file.
    Batch(Session& session, BatchSettings settings);

    // Checks the serial's place against the image and the range, and takes
    // the state file: resumes its serial, step and index, or restarts at the
    // START given (only with restartSeries once the series has numbered a
    // chip). False with a reason (nothing was written).
    bool Prepare(std::string& error);
    BatchSummary Run(BatchFace& face);

    // After Prepare: the next chip's serial and index.
    uint64_t NextSerial() const { return nextSerial_; }
    uint32_t NextIndex() const { return nextIndex_; }
    uint16_t FileChecksum() const { return fileChecksum_; }
    std::string SerialText(uint64_t value) const;
    const BatchSettings& Settings() const { return settings_; }

private:
    BatchChip RunChip(BatchFace& face, uint32_t index, uint64_t serial, std::string& problem);
    uint8_t Operation(BatchFace& face, uint8_t code);
    bool Append(const BatchChip& chip, std::string& error);
    bool SaveState(std::string& error) const;
    bool LogWritable(std::string& error) const;

    Session& session_;
    BatchSettings settings_;
    std::string device_;
    uint16_t fileChecksum_ = 0;
    uint64_t nextSerial_ = 0;
    uint32_t nextIndex_ = 1;
};

// The simulator plays the operator: chip index comes from its own chip file
// in a directory, and one chip may carry a fault (as krt's --sim-fault names
// them) so that the series has a bad chip.
struct SimChipSeries {
    std::string directory;
    uint32_t badChip = 0;  // 0: none
    std::string badFault = "dead-cells:0";
    static std::string FileName(uint32_t index);
    // Puts chip index in the simulated socket. False with a reason.
    bool Insert(Session& session, uint32_t index, std::string& error) const;
};

}  // namespace krt
