// What one run of krt holds: the merged options, the one link context, the
// port backend, the clock, the log on stdout, and (with --port sim) the
// simulated programmer.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "link/Link.h"

namespace krt {

class VirtualKrt;

class CliSession {
public:
    CliOptions options;
    LinkContext link;
    DeviceRecord record;                 // the loaded device (empty until a device command loads one)
    std::unique_ptr<PortIo> port;        // the backend (possibly wrapped by the tracer)
    std::unique_ptr<Clock> clock;
    std::unique_ptr<LogSink> log;        // prints each line to stdout as it is logged
    VirtualKrt* sim = nullptr;           // non-null with --port sim; owned through port/clock holders
    std::shared_ptr<void> simOwner;      // keeps the simulator alive
    std::shared_ptr<std::FILE> traceFile;  // --trace: closed when the session ends

    // Opens the port backend named by the options and wires the link's seams.
    // Returns false with a message in error when the port cannot be opened.
    bool OpenPort(std::string& error);

    // The window's start-up on the link: codes 39, 43, 37, 45, then 1 and 2.
    // Returns the result of the detection request.
    uint8_t StartUp();
};

// A sink that prints each line to stdout as it is logged; any thread may call it.
std::unique_ptr<LogSink> MakeStdoutLog();

// The session's log, made to print on stdout when it has none yet.
LogSink* SessionLog(CliSession& session);

// Builds the simulated programmer from the options (--sim-revisions,
// --sim-fault, --sim-chip), prints its banner to stderr and installs it as
// the session's port and clock. Supplied by the simulator's command file.
bool SetUpSimulator(CliSession& session, std::string& error);

// With the simulator: puts the chip of session.record in the socket (from
// --sim-chip FILE, created blank when missing; a file of another device is
// refused with a message), or a blank chip without --sim-chip. Keeps a chip
// that is already the record's. Without the simulator it does nothing.
bool PrepareSimSocket(CliSession& session, std::string& error);

// With the simulator and --sim-chip: saves the chip when the run changed it.
bool SaveSimSocket(CliSession& session, std::string& error);

}  // namespace krt
