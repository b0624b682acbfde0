// SPDX-License-Identifier: GPL-3.0-or-later
// The krt command line: one parser for the global options, one table of
// commands. Each subsystem contributes its commands through a Register*
// function in its own source file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/DeviceRecord.h"
#include "link/Link.h"

namespace krt {

// Exit statuses beside the result codes 0 to 9 (as sysexits.h numbers them).
// The device commands also end with result 7 when the start-up found no
// programmer (without --force they then do not run).
inline constexpr int kExitUsage = 64;
// An input file (a data file, the settings, the chip file) is missing, cannot
// be read or is not in its format.
inline constexpr int kExitNoInput = 66;
inline constexpr int kExitUnavailable = 69;
// With --sim-strict: the simulated programmer saw a breach of the wire protocol.
inline constexpr int kExitProtocolBreach = 70;
// A fault of krt itself (an exception nothing else caught), said as one.
inline constexpr int kExitSoftware = 70;
// An output file (the data file of a read, the chip file) cannot be written.
inline constexpr int kExitCannotCreate = 73;
// The chip file is in use by another run (it is locked).
inline constexpr int kExitInUse = 75;

// Every exit status of krt and what it means: the one table that krt --help
// prints (and so the man page) and that the README's table is checked against.
struct ExitStatusRow {
    const char* status;
    const char* meaning;
};
inline constexpr ExitStatusRow kExitStatuses[] = {
    {"0", "success"},
    {"1 to 9", "the request's result code, as the result texts say; a device command whose start-up found "
               "no programmer stops with 7 without running, unless --force is given; compare stops with 3 "
               "(the verify's errors) when the chip and the file differ, check with 3 when a check is suspect "
               "or failed"},
    {"2", "also: the catalogue (DEVICE.LST) cannot be opened"},
    {"11 to 17", "convert and sum: 10 + the file result: 11 input not found, 12 format incorrect, "
                 "13 internal error, 15 checksum wrong, 16 data beyond the device, 17 output not created"},
    {"64", "usage error: an unknown command or option, an option value that is not a number in its range, "
           "a device the catalogue does not list or lists several times with different parameters, "
           "a simulator fault the chip does not take, a read into the chip file, no port chosen, "
           "binary data to a terminal, a project value that its option would refuse, an output that is the "
           "chip file, another file of the run or another output of the command"},
    {"66", "an input file is missing, unreadable or not in its format (a data file, the settings, "
           "the chip file, a project, a batch's log), or a directory, a FIFO or a socket where a file is read"},
    {"69", "the port cannot be opened"},
    {"70", "with --sim-strict: the simulated programmer saw a breach of the wire protocol (each kind is "
           "named on stderr); also a fault of krt itself, said as an internal error"},
    {"73", "an output cannot be written: the data file of a read, the chip file, the trace, standard output"},
    {"75", "the chip file is in use by another run of krt"},
};

// The clock frequencies the window's settings accept, and so krt --clock.
inline constexpr uint32_t kMinClockHz = 450001;
inline constexpr uint32_t kMaxClockHz = 3500000;

// Global options after the settings store and the command line are merged.
struct CliOptions {
    // sim | ppdev[:/dev/parportN] | direct; empty until --port or the
    // settings choose one: krt never falls back to the simulator unasked.
    std::string port;
    uint16_t portBase = 0x378;
    uint32_t clock = kMaxClockHz;
    uint8_t powerCircuit = 2;
    uint32_t language = 1;          // 0 Japanese, 1 English
    std::string trace;              // --trace FILE
    std::string list;               // compare: -o LIST, the listing's file (else standard output)
    std::string settings;           // --settings FILE (else the window's settings file)
    std::string project;            // --project FILE
    std::string catalogue;          // --catalogue DIR
    std::string simChip;            // --sim-chip FILE
    std::string simRevisions;       // --sim-revisions HEX,HEX
    std::vector<std::string> simFaults;  // --sim-fault NAME[:ARGS], repeatable
    bool simStrict = false;         // --sim-strict
    // Operation options shared by the device commands; the option parser
    // has checked each (a number that fits 32 bits).
    std::string start;              // --start HEX
    std::string length;             // --length HEX
    std::string errors;             // --errors N
    bool noIdCheck = false;         // --no-id-check: no identity read before a write or erase
    bool fixedLevel = false;        // --fixed-level: an ATF part at a fixed 12.5 V
    bool noVerify = false;          // --no-verify: write and erase without reading the chip back
    bool pageWrite = false;         // --page-write: two-wire serial EEPROMs write a page per cycle
    bool changedOnly = false;       // --changed-only: EEPROMs write only the pages that differ
    bool force = false;             // --force: device operations without a programmer found
    bool json = false;              // --json: list and info print JSON on stdout
    std::string keep;               // check --keep FILE: where the chip's content is kept
    std::string find;               // --find TEXT: list the entries whose part number contains it
    bool findGiven = false;         // --find was given (an empty TEXT lists every entry)
    int waitMode = -1;              // --wait-mode: the record's waitmode for this run (-1: the record's own)
    bool byteWrite = false;         // --byte-write: two-wire serial EEPROMs write a byte per cycle
    bool quiet = false;             // --quiet: device operations print only the result line and errors
    bool verbose = false;           // --verbose: the count of each programmer command at the end
    uint32_t format = 0xFFFFFFFFu;  // --format: a data format code; else by name (FORMAT_BY_NAME)
    // krt batch.
    uint32_t batchCount = 0;        // --count N (0: until ended)
    std::string batchSerial;        // --serial ADDR:WIDTH[:START[:STEP]][:ENC]
    std::string batchLog;           // --log FILE
    bool stopOnFailure = false;     // --stop-on-failure
    bool restartSeries = false;     // --restart-series: a START may begin the log's series again
    std::string simChipDir;         // --sim-chip-dir DIR: one chip file per chip of a batch
    uint32_t simBadChip = 0;        // --sim-bad-chip N[:FAULT]: chip N of the batch is bad
    std::string simBadFault;
    // krt sum (and the JSON of info and read): the digests beside the sum.
    bool crc32 = false;             // --crc32
    bool sha1 = false;              // --sha1
    // krt split and join.
    std::string even;               // --even FILE: lane 0
    std::string odd;                // --odd FILE: lane 1
    uint32_t ways = 0;              // --ways N (0: two, or as many as the files named)
    uint32_t laneBytes = 1;         // --bytes N: bytes per lane word (1, 2 or 4)
    bool swap = false;              // --swap: the other byte order
};

class CliSession;

// A command returns its exit status.
using CliHandler = int (*)(CliSession& session, const std::vector<std::string>& args);

struct CliCommand {
    const char* name;
    const char* synopsis;   // e.g. "cmd MNEMONIC [HEX]"
    const char* help;       // one line for --help
    CliHandler run;
};

void RegisterLinkCommands(std::vector<CliCommand>& table);
void RegisterSimCommands(std::vector<CliCommand>& table);
void RegisterCatalogueCommands(std::vector<CliCommand>& table);
void RegisterDataCommands(std::vector<CliCommand>& table);
void RegisterDeviceCommands(std::vector<CliCommand>& table);
void RegisterSelftestCommands(std::vector<CliCommand>& table);
void RegisterCompletionCommands(std::vector<CliCommand>& table);
void RegisterBatchCommands(std::vector<CliCommand>& table);
void RegisterIdentifyCommands(std::vector<CliCommand>& table);
void RegisterCheckCommands(std::vector<CliCommand>& table);
void RegisterSplitJoinCommands(std::vector<CliCommand>& table);

// The option and command names, for the shell completion.
std::vector<std::string> OptionNames();
std::vector<std::string> CommandNames();

// Runs krt with its arguments (without the program name); returns the exit status.
int RunCli(const std::vector<std::string>& args);

}  // namespace krt
