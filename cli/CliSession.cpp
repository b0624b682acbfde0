// SPDX-License-Identifier: GPL-3.0-or-later
// The session's port backend, clock, trace and log, and the window's
// start-up on the link.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "cli/CliSession.h"
#include "cli/ChipFileLock.h"
#include "cli/Settings.h"
#include "base/Log.h"
#include "link/Protocol.h"
#include "sim/ChipFactory.h"
#include "sim/ChipFile.h"

namespace krt {

namespace {

// The first reason a write to stdout failed (0: none yet), kept because
// the stream's error flag stays while errno moves on.
std::atomic<int> gStdoutErrno{0};

void NoteStdoutError(int e) {
    int none = 0;
    gStdoutErrno.compare_exchange_strong(none, e ? e : EIO);
}

// Prints each line to stdout, or to stderr once the data takes stdout.
// While held (--quiet), lines are kept instead, to be printed only when
// the command fails.
class StreamLog final : public LogSink {
public:
    void line(std::string_view utf8) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (held_) {
            kept_.emplace_back(utf8);
            return;
        }
        Print(utf8);
    }
    void Hold() {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = true;
    }
    // Prints the kept lines in order; the log stays held.
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& kept : kept_) Print(kept);
        kept_.clear();
    }
    // Printed whether held or not.
    void Always(std::string_view utf8) {
        std::lock_guard<std::mutex> lock(mutex_);
        Print(utf8);
    }
    void ToStandardError() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::fflush(stream_);
        stream_ = stderr;
    }

private:
    void Print(std::string_view utf8) {
        errno = 0;
        const bool written = std::fwrite(utf8.data(), 1, utf8.size(), stream_) == utf8.size() &&
                             std::fputc('\n', stream_) != EOF && std::fflush(stream_) == 0;
        if (!written && stream_ == stdout) NoteStdoutError(errno);
    }

    std::mutex mutex_;
    std::FILE* stream_ = stdout;
    bool held_ = false;
    std::vector<std::string> kept_;
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

void HoldLog(CliSession& session) {
    if (auto* log = dynamic_cast<StreamLog*>(session.log.get())) log->Hold();
}

void ReleaseLog(CliSession& session) {
    if (auto* log = dynamic_cast<StreamLog*>(session.log.get())) log->Release();
}

void LogResultLine(CliSession& session, std::string_view line) {
    if (auto* log = dynamic_cast<StreamLog*>(session.log.get())) log->Always(line);
    else if (session.log) session.log->line(line);
}

bool IsDeviceOperation(const std::string& command) {
    for (const char* name : {"read", "write", "verify", "blank", "erase", "secure", "option", "auto", "sdp"})
        if (command == name) return true;
    return false;
}

void PrintCommandCounts(CliSession& session) {
    std::string counts;
    uint64_t total = 0;
    for (const CommandMnemonic& m : kCommandMnemonics) {
        const uint64_t n = session.link.commandCounts[m.opcode];
        if (n == 0) continue;
        total += n;
        counts += Format("  %-8s %llu\n", m.name, static_cast<unsigned long long>(n));
    }
    std::fprintf(stderr, "Programmer commands sent: %llu\n%s", static_cast<unsigned long long>(total), counts.c_str());
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

namespace {

// Installs the handlers of the outermost guard, with or without restart.
void InstallHandlers(bool restart) {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | (restart ? SA_RESTART : 0);
    for (int signal : kSignals) sigaction(signal, &action, nullptr);
}

}  // namespace

InterruptibleWait::InterruptibleWait() : active_(gGuards > 0 && !gInterrupted) {
    if (active_) InstallHandlers(false);
}

InterruptibleWait::~InterruptibleWait() {
    // After a signal the handler has reset itself: a second one ends krt.
    if (active_ && !gInterrupted) InstallHandlers(true);
}

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

int FinishOutputs(CliSession& session, int status) {
    std::string problem;
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    if (!flushed) NoteStdoutError(errno);
    if (!flushed || std::ferror(stdout)) {
        // A failed write of the data on stdout was reported by its command,
        // which then failed; without a reason of its own it is not repeated.
        const int e = gStdoutErrno.load();
        if (e != 0 || status == 0)
            problem = Format("cannot write standard output: %s", std::strerror(e ? e : EIO));
    }
    if (std::FILE* trace = session.traceFile.get()) {
        errno = 0;
        if (std::fflush(trace) != 0 || std::ferror(trace)) {
            const int e = errno ? errno : EIO;
            std::fprintf(stderr, "krt: cannot write the trace file %s: %s\n", session.options.trace.c_str(),
                         std::strerror(e));
            if (status == 0) status = kExitCannotCreate;
        }
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "krt: %s\n", problem.c_str());
        if (status == 0) status = kExitCannotCreate;
    }
    return status;
}

std::string OutputClash(const CliOptions& options, const std::string& output, const char* role,
                        const std::vector<std::string>& inputs) {
    const std::pair<const char*, const std::string*> held[] = {
        {"--sim-chip", &options.simChip},           {"--trace", &options.trace},     {"-o", &options.list},
        {"--settings", &options.settings}, {"--project", &options.project},
    };
    static const char* const kWords[] = {"the chip file of --sim-chip", "the trace file of --trace",
                                         "the listing of -o", "the settings file of --settings",
                                         "the project file of --project"};
    for (size_t i = 0; i < std::size(held); ++i)
        if (std::strcmp(held[i].first, role) != 0 && SameFile(output, *held[i].second))
            return Format("%s (%s)", kWords[i], held[i].second->c_str());
    for (const std::string& input : inputs)
        if (SameFile(output, input)) return "the input file of the command (" + input + ")";
    return {};
}

int RefuseOutputClash(const CliOptions& options, const std::string& output, const char* role,
                      const std::vector<std::string>& inputs) {
    const std::string clash = OutputClash(options, output, role, inputs);
    if (clash.empty()) return 0;
    std::fprintf(stderr, "krt: %s is %s; writing it would destroy that file: name another file\n", output.c_str(),
                 clash.c_str());
    return kExitUsage;
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
    if (const std::string clash = OutputClash(options, options.trace, "--trace"); !clash.empty()) {
        error = Format("the trace file %s is %s; name another file", options.trace.c_str(), clash.c_str());
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
        std::FILE* file = nullptr;
        {
            // The open of a FIFO waits for a reader; a signal ends the wait.
            InterruptibleWait wait;
            file = std::fopen(options.trace.c_str(), "w");
        }
        if (!file && Interrupted()) {
            error = Format("stopped by a signal while opening the trace file %s", options.trace.c_str());
            openFailure = RESULT_CANCELED;
            return false;
        }
        if (!file) {
            error = Format("cannot write the trace file %s: %s", options.trace.c_str(), std::strerror(errno));
            openFailure = kExitCannotCreate;
            return false;
        }
        traceFile = std::shared_ptr<std::FILE>(file, [](std::FILE* f) { std::fclose(f); });
        core.SetTrace(file);
    }
    if (!core.OpenBackend(options.port, options.portBase, error)) {
        // The backends' messages serve the window too and name no option;
        // krt says which of its options change the port.
        if (!simulated)
            error += "\n(krt: --port ppdev, --port ppdev:/dev/parportN or --port direct chooses the backend, "
                     "--port-base HEX the address, --port sim the simulator)";
        return false;
    }
    if (core.Simulated() && !SetUpSimulator(*this, error)) {
        if (error.empty() && setUpFailure == kExitNoInput) error = "the simulated programmer could not be set up";
        // The option parser checked the revisions and the faults' words:
        // what is left is the chip file (another device's, not a chip file)
        // and a fault that the chip does not take.
        openFailure = setUpFailure;
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
