// SPDX-License-Identifier: GPL-3.0-or-later
// What one run of krt holds around the programmer session (session/Session.h):
// the merged options and its console (the log on stdout, the trace).
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/ChipFileLock.h"
#include "cli/Cli.h"
#include "link/Link.h"
#include "session/Session.h"

namespace krt {

class VirtualKrt;
class Chip;

// The programmer session of this run and what krt adds around it.
class CliSession {
public:
    CliOptions options;
    // The chip file of --sim-chip, locked for the run; released after the
    // session below has saved the chip for the last time.
    ChipFileLock chipLock;
    Session core;
    LinkContext& link = core.link;
    DeviceRecord& record = core.record;  // the loaded device (empty until a device command loads one)
    std::unique_ptr<LogSink> log;        // prints each line to stdout as it is logged
    std::shared_ptr<std::FILE> traceFile;  // --trace: closed when the session ends
    size_t breachesPrinted = 0;          // how many breach lines are on stderr already

    CliSession() = default;
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    // The simulated programmer with --port sim, else null.
    VirtualKrt* Simulator() const { return core.Simulator(); }

    // Opens the port backend named by the options (with --port sim, built
    // from the --sim-* options, the chip file locked first). False with a
    // message in error and the exit status in openFailure.
    bool OpenPort(std::string& error);
    int openFailure = kExitUnavailable;
    // The exit status when the simulator could not be set up.
    int setUpFailure = kExitNoInput;

    // Empty when a port is chosen (--port or the settings); else the usage
    // error that names the choices.
    std::string NoPortProblem() const;

    // The start-up on the link: codes 39, 43, 37, 45, then 1 and 2.
    // Returns the result of the detection request.
    uint8_t StartUp();
};

// A sink that prints each line to stdout as it is logged; any thread may call it.
std::unique_ptr<LogSink> MakeStdoutLog();

// When the data of the command goes to standard output ("-"): the
// session's lines go to stderr from now on, if they were going to stdout.
void LogToStandardError(CliSession& session);

// --quiet: from now on the session's log keeps its lines instead of printing
// them; ReleaseLog prints what it kept (a command that failed shows why);
// LogResultLine prints the operation's result line in any case.
void HoldLog(CliSession& session);
void ReleaseLog(CliSession& session);
void LogResultLine(CliSession& session, std::string_view line);
// The commands that run a device operation (the ones --quiet quiets).
bool IsDeviceOperation(const std::string& command);

// --verbose: how often each programmer command was sent in this run, on stderr.
void PrintCommandCounts(CliSession& session);

// What `output`, a file the command is about to write, would replace among
// the files the run holds or reads: the chip file of --sim-chip, the trace,
// compare's listing, the settings, the project and `inputs` (the command's
// own input files), under any name or through a link. `role` is the
// output's own option, not compared with itself. Empty when none, else the
// words for "OUT is ...".
std::string OutputClash(const CliOptions& options, const std::string& output, const char* role,
                        const std::vector<std::string>& inputs = {});
// The same refused on stderr ("name another file"): 0, or the usage status.
int RefuseOutputClash(const CliOptions& options, const std::string& output, const char* role,
                      const std::vector<std::string>& inputs = {});

// With --sim-chip: locks the chip file for the run (see ChipFileLock). With
// a device loaded in session.record, a missing chip file is made for it
// under the lock. 0, or the exit status with the message on stderr.
int LockSimChip(CliSession& session);

// SIGINT, SIGTERM and SIGHUP while a guard lives: the first sets the flag
// that Interrupted() reads (a running device operation is then canceled,
// and krt ends as after the cancel: power down, chip saved, no temporary
// files left); a second one ends krt at once. Guards nest; the outermost
// installs the handlers and restores the previous ones.
class SignalGuard {
public:
    SignalGuard();
    ~SignalGuard();
    SignalGuard(const SignalGuard&) = delete;
    SignalGuard& operator=(const SignalGuard&) = delete;
};
bool Interrupted();

// While one lives (inside a guard), the first signal also ends a system call
// that waits (a read of standard input, the open of a FIFO): it fails with
// EINTR and the caller looks at Interrupted(). Outside, reads and writes are
// restarted and the flag is looked at between them.
class InterruptibleWait {
public:
    InterruptibleWait();
    ~InterruptibleWait();
    InterruptibleWait(const InterruptibleWait&) = delete;
    InterruptibleWait& operator=(const InterruptibleWait&) = delete;

private:
    bool active_;
};

// At the end of a run: flushes standard output and the trace and checks
// that every write to them went through. A failed one is named on stderr
// with the system's reason; a run that had succeeded then ends with 73,
// one that had failed keeps its own status.
int FinishOutputs(CliSession& session, int status);

// The session's log, made to print on stdout when it has none yet.
LogSink* SessionLog(CliSession& session);

// Sets up the simulated programmer the session opened from the options
// (--sim-revisions, --sim-fault, --sim-chip) and prints its banner to
// stderr. Supplied by the simulator's command file.
bool SetUpSimulator(CliSession& session, std::string& error);

// With the simulator: puts the chip of session.record in the socket (from
// --sim-chip FILE, created blank when missing; a file of another device is
// refused with a message), or a blank chip without --sim-chip. Keeps a chip
// that is already the record's. Without the simulator it does nothing.
bool PrepareSimSocket(CliSession& session, std::string& error);

// With the simulator: 0 when every chip fault of --sim-fault fits the chip
// of the device (a blank one is tried), or probe, a chip that the check
// may change (null: the socket stays empty); else 64 with the fault and
// why on stderr.
int CheckSimFaults(CliSession& session, const DeviceRecord& record);
int CheckSimFaults(CliSession& session, Chip* probe);

// With the simulator: prints on stderr each kind of protocol breach that
// was not printed yet.
void PrintBreaches(CliSession& session);

// With the simulator and --sim-chip: saves the chip when the run changed it.
bool SaveSimSocket(CliSession& session, std::string& error);

}  // namespace krt
