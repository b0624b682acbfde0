// The session's port backend, clock, trace and log, and the window's
// start-up on the link.
#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <mutex>

#include "cli/Session.h"
#include "cli/Settings.h"
#include "base/Log.h"
#include "sim/ChipFactory.h"
#include "sim/ChipFile.h"

namespace krt {

namespace {

// Prints each line to stdout, or to stderr once the data takes stdout.
class StreamLog final : public LogSink {
public:
    void line(std::string_view utf8) override {
        std::lock_guard<std::mutex> lock(mutex_);
        std::fwrite(utf8.data(), 1, utf8.size(), stream_);
        std::fputc('\n', stream_);
        std::fflush(stream_);
    }
    void ToStandardError() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::fflush(stream_);
        stream_ = stderr;
    }

private:
    std::mutex mutex_;
    std::FILE* stream_ = stdout;
};

volatile std::sig_atomic_t gInterrupted = 0;
int gGuards = 0;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction gPrevious[3];

extern "C" void OnSignal(int) { gInterrupted = 1; }

}  // namespace

std::unique_ptr<LogSink> MakeStdoutLog() { return std::make_unique<StreamLog>(); }

void LogToStandardError(CliSession& session) {
    if (auto* log = dynamic_cast<StreamLog*>(session.log.get())) log->ToStandardError();
}

SignalGuard::SignalGuard() {
    if (gGuards++ > 0) return;
    gInterrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Reset: a second signal ends krt at once. Restart: reads and writes go
    // on, the flag is looked at between them.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &gPrevious[i]);
}

SignalGuard::~SignalGuard() {
    if (--gGuards > 0) return;
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &gPrevious[i], nullptr);
}

bool Interrupted() { return gInterrupted != 0; }

int LockSimChip(CliSession& session) {
    const std::string& path = session.options.simChip;
    if (path.empty() || session.chipLock.Held()) return 0;
    ChipFileLock::Maker make;
    if (!session.record.name.empty()) {
        const DeviceRecord record = session.record;
        make = [record](const std::string& file, std::string& error) {
            std::string note;
            std::unique_ptr<Chip> blank = MakeBlankChip(record, note);
            if (!blank) return false;  // no chip model: no chip file
            return SaveChipFile(file, *blank, error);
        };
    }
    std::string error;
    switch (session.chipLock.Acquire(path, make, error)) {
    case ChipFileLock::Outcome::Locked: return 0;
    case ChipFileLock::Outcome::InUse:
        std::fprintf(stderr,
                     "krt: the chip file %s is in use by another run of krt (it is locked); "
                     "try again when that run has ended\n",
                     path.c_str());
        return kExitInUse;
    case ChipFileLock::Outcome::Failed: break;
    }
    std::fprintf(stderr, "krt: %s\n", error.c_str());
    return error.rfind("cannot create", 0) == 0 ? kExitCannotCreate : kExitNoInput;
}

LogSink* SessionLog(CliSession& session) {
    if (!session.log) session.log = MakeStdoutLog();
    return session.log.get();
}

std::string CliSession::NoPortProblem() const {
    if (!options.port.empty()) return {};
    const std::string settings = options.settings.empty() ? DefaultSettingsPath() : options.settings;
    return Format("no programmer port is chosen: give --port sim|ppdev|direct (sim is the simulated programmer), "
                  "or choose the port in the window's hardware configuration, whose settings%s%s krt reads",
                  settings.empty() ? "" : " in ", settings.c_str());
}

bool CliSession::OpenPort(std::string& error) {
    if (link.port) return true;  // already open
    openFailure = kExitUnavailable;
    error = NoPortProblem();
    if (!error.empty()) {
        openFailure = kExitUsage;
        return false;
    }
    if (!log) log = MakeStdoutLog();
    link.log = log.get();
    link.language = options.language;
    const bool simulated = options.port == "sim";
    if (simulated && !options.trace.empty() && SameFile(options.trace, options.simChip)) {
        error = Format("the trace file %s is the chip file of --sim-chip; name another file",
                       options.trace.c_str());
        openFailure = kExitUsage;
        return false;
    }
    // The chip file is locked before anything reads or writes it.
    if (simulated) {
        if (const int status = LockSimChip(*this)) {
            openFailure = status;
            error.clear();  // the message is on stderr
            return false;
        }
    }
    if (!options.trace.empty() && !traceFile) {
        std::FILE* file = std::fopen(options.trace.c_str(), "w");
        if (!file) {
            error = Format("cannot write the trace file %s: %s", options.trace.c_str(), std::strerror(errno));
            openFailure = kExitCannotCreate;
            return false;
        }
        traceFile = std::shared_ptr<std::FILE>(file, [](std::FILE* f) { std::fclose(f); });
        core.SetTrace(file);
    }
    if (!core.OpenBackend(options.port, options.portBase, error)) return false;
    if (core.Simulated() && !SetUpSimulator(*this, error)) {
        if (error.empty()) error = "the simulated programmer could not be set up";
        // The option parser checked the faults and revisions: what is left
        // is the chip file (another device's, not a chip file).
        openFailure = kExitNoInput;
        return false;
    }
    return true;
}

uint8_t CliSession::StartUp() {
    SessionSettings settings;
    settings.clock = options.clock;
    settings.powerCircuit = options.powerCircuit;
    settings.portBase = options.portBase;
    settings.language = options.language;
    return core.StartUp(settings);
}

}  // namespace krt
