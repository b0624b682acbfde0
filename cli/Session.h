// What one run of krt holds: the merged options, the programmer session
// (link, backend, simulated socket, device), the log on stdout and the trace.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "link/Link.h"
#include "session/Session.h"

namespace krt {

class VirtualKrt;

// The programmer session of this run and what krt adds around it.
class CliSession {
public:
    CliOptions options;
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
    // from the --sim-* options). False with a message in error.
    bool OpenPort(std::string& error);

    // The start-up on the link: codes 39, 43, 37, 45, then 1 and 2.
    // Returns the result of the detection request.
    uint8_t StartUp();
};

// A sink that prints each line to stdout as it is logged; any thread may call it.
std::unique_ptr<LogSink> MakeStdoutLog();

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

// With the simulator: prints on stderr each kind of protocol breach that
// was not printed yet.
void PrintBreaches(CliSession& session);

// With the simulator and --sim-chip: saves the chip when the run changed it.
bool SaveSimSocket(CliSession& session, std::string& error);

}  // namespace krt
