// SPDX-License-Identifier: GPL-3.0-or-later
// The chip check: what can be told about the chip in the socket against its
// catalogue entry, for both faces. Each finding is a line, ok, suspect or
// failed, with its evidence:
// - identity (28F and 5 V flash, PIC16F84A, GALs): the identifier, device ID or
//   electronic signature is the part's own, another part's, or blank;
// - capacity (parallel and serial EEPROMs, 28F and 5 V flash, the PIC's
//   program memory): a mark at address 0 and one at each power-of-two
//   address; a line whose mark lands on address 0 reaches no cell of its own;
// - write cycle (EEPROMs) and chip erase (5 V flash), timed by the family's
//   own completion wait, against the catalogue's maximum;
// - EPROMs and OTP PROMs, which cannot be written without cost: the chip
//   read several times, every bit that reads differently named, and an
//   image that repeats at a power-of-two size pointed out;
// - static RAMs: a March C- test naming each failing address and bit.
// Before anything is written, the whole chip is read and kept in a file;
// afterwards it is written back and verified. A check that stops on the way
// leaves the file and says how to write it back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "session/Session.h"

namespace krt {

enum class CheckVerdict : uint8_t { Ok, Suspect, Failed };

struct CheckLine {
    std::string check;     // "identity", "capacity", "write-cycle", "erase", "stability", "repeat", "restore"
    CheckVerdict verdict = CheckVerdict::Ok;
    std::string evidence;  // in the language asked
};

struct ChipCheckReport {
    // RESULT_OK when every check ran; RESULT_UNSUPPORTED for a device no check
    // applies to; the programmer's result (7, 8 ...) or RESULT_CANCELED when
    // the check stopped on the way.
    uint8_t result = 0;
    std::vector<CheckLine> lines;  // a chip that could not be restored comes first
    std::string keptFile;          // where the chip's content was kept (empty: nothing written)
    std::string restoreCommand;    // the krt line that writes it back
    bool restored = false;         // written back and verified
    uint64_t virtualNs = 0;        // the whole check
    uint64_t restoreNs = 0;        // of which the write-back and its verify

    bool AllOk() const;
    // 0 every check ok, 3 a check suspect or failed, else the result.
    int ExitStatus() const;
};

struct ChipCheckOptions {
    uint32_t language = 1;
    std::string keepFile;  // empty: KeptFileFor(record)
    // Asked between steps; true ends the check (the chip is left as it is,
    // the kept file stays).
    std::function<bool()> stopRequested;
    // Each finding as it is made, and the kept file's line (may be null).
    LogSink* log = nullptr;
};

// The default kept file: "<NAME>-before-check.bin" in the user's data folder
// ($XDG_DATA_HOME/krtwin, else ~/.local/share/krtwin).
std::string KeptFileFor(const DeviceRecord& record);

// Whether the check knows the device's family.
bool ChipCheckApplies(const DeviceRecord& record);

// Runs the check on session.record with the chip in the socket (the port
// open, the start-up done).
ChipCheckReport CheckChip(Session& session, const ChipCheckOptions& options);

// One line of a report as the faces print it: "ok       capacity: ...".
std::string CheckLineText(const CheckLine& line, uint32_t language);
// The report as one JSON document (for scripts).
std::string CheckReportJson(const DeviceRecord& record, const ChipCheckReport& report);

}  // namespace krt
