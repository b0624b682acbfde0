// SPDX-License-Identifier: GPL-3.0-or-later
// krt check: is the chip in the socket what its label says? The session's
// chip check (session/ChipCheck.h) on a worker thread, Ctrl-C passed on as a
// cancel, the report on stdout (or as JSON with --json).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "base/Log.h"
#include "base/StatusMessages.h"
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "session/ChipCheck.h"
#include "session/Job.h"
#include "session/Operations.h"

namespace krt {

namespace {

// The device loaded and the programmer made ready (port, simulated socket,
// start-up); 0 or the exit status.
int PrepareCheck(CliSession& session, const std::vector<std::string>& args, LogSink* log) {
    Job job;
    job.type = args[0];
    job.maker = args[1];
    job.name = args[2];
    job.catalogue = session.options.catalogue;
    LogJobFace face(log);
    JobReport prepared;
    session.link.language = session.options.language;
    if (!session.core.PrepareJob(job, face, prepared)) {
        if (prepared.stop == JobStop::NoCatalogue) {
            std::fprintf(stderr, "krt: no device list (DEVICE.LST) found; name the catalogue with --catalogue DIR\n");
            return kExitNoInput;
        }
        if (prepared.stop == JobStop::UnknownDevice) {
            std::fprintf(stderr, "krt: no device %s %s %s in the catalogue (see krt list)\n", job.type.c_str(),
                         job.maker.c_str(), job.name.c_str());
            return kExitUsage;
        }
        return kExitNoInput;
    }
    if (!ChipCheckApplies(session.record)) {
        std::fprintf(stderr, "krt: %s\n", "the chip check knows byte-wide parallel EEPROMs and flash, serial "
                                          "EEPROMs, EPROMs, OTP PROMs, static RAMs, PICs and GALs");
        return RESULT_UNSUPPORTED;
    }
    if (const int refused = CheckSimFaults(session, session.record)) return refused;
    std::string error;
    if (!session.OpenPort(error)) {
        if (!error.empty()) std::fprintf(stderr, "krt: %s\n", error.c_str());
        return session.openFailure;
    }
    if (!PrepareSimSocket(session, error)) {
        std::fprintf(stderr, "krt: %s\n", error.c_str());
        return kExitNoInput;
    }
    const uint8_t detection = session.StartUp();
    if (detection != RESULT_OK && !session.options.force) {
        std::fprintf(stderr, "krt: the check was not run: the start-up found no programmer (port: %s; result %u, %s)\n",
                     session.core.PortName().c_str(), detection,
                     ResultText(session.options.language, detection).c_str());
        return detection;
    }
    return 0;
}

int RunCheck(CliSession& session, const std::vector<std::string>& args) {
    if (args.size() != 3) {
        std::fprintf(stderr, "krt: usage: krt check TYPE MAKER NAME [--keep FILE] [--json]\n");
        return kExitUsage;
    }
    if (const std::string problem = session.NoPortProblem(); !problem.empty()) {
        std::fprintf(stderr, "krt: %s\n", problem.c_str());
        return kExitUsage;
    }
    // --json: the document alone on stdout.
    if (session.options.json) LogToStandardError(session);
    LogSink* log = SessionLog(session);
    SignalGuard signals;
    if (const int status = PrepareCheck(session, args, log)) return status;

    ChipCheckOptions options;
    options.language = session.options.language;
    options.keepFile = session.options.keep;
    options.log = log;
    options.stopRequested = [] { return Interrupted(); };
    ChipCheckReport report;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        report = CheckChip(session.core, options);
        done.store(true);
    });
    while (!done.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (Interrupted()) session.link.CancelOperation();
    }
    worker.join();
    PrintBreaches(session);
    std::string error;
    int status = report.ExitStatus();
    if (!SaveSimSocket(session, error)) {
        std::fprintf(stderr, "krt: %s\n", error.c_str());
        if (status == 0) status = kExitCannotCreate;
    }
    if (session.core.Simulated())
        std::fprintf(stderr, "%s (%s %.3f s)\n", VirtualTimeLine(report.virtualNs, session.options.language).c_str(),
                     session.options.language == 0 ? "うち書き戻し" : "of which writing back",
                     static_cast<double>(report.restoreNs) / 1e9);
    if (session.options.json) std::printf("%s\n", CheckReportJson(session.record, report).c_str());
    return status;
}

}  // namespace

void RegisterCheckCommands(std::vector<CliCommand>& table) {
    table.push_back(
        {"check", "check TYPE MAKER NAME [--keep FILE] [--json]",
         "tell whether the chip in the socket is what its label says, a line ok, suspect or failed each: the "
         "product ID, device ID or electronic signature (28F and 5 V flash, PIC16F84A, GALs); whether every address line reaches a cell of its own (marks at 0 and at each "
         "power-of-two address: a smaller chip under a larger label); the write cycle or chip erase against the "
         "datasheet's maximum; for EPROMs and OTP PROMs, bits that read differently over several reads and an "
         "image that repeats at a power-of-two size; for static RAMs, a March C- test naming each failing address "
         "and bit. A chip that is written is read and kept first (--keep FILE, "
         "else NAME-before-check.bin in ~/.local/share/krtwin) and written back and verified afterwards. A check "
         "cannot tell a good fake that answers every test, nor a chip's endurance or retention. Exit 0 all ok, "
         "3 a check suspect or failed",
         &RunCheck});
}

}  // namespace krt
