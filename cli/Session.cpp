// The session's port backend, clock, trace and log, and the window's
// start-up on the link.
#include <cstdio>
#include <mutex>

#include "cli/Session.h"
#include "base/Log.h"

namespace krt {

namespace {

class StdoutLog final : public LogSink {
public:
    void line(std::string_view utf8) override {
        std::lock_guard<std::mutex> lock(mutex_);
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

private:
    std::mutex mutex_;
};

}  // namespace

std::unique_ptr<LogSink> MakeStdoutLog() { return std::make_unique<StdoutLog>(); }

LogSink* SessionLog(CliSession& session) {
    if (!session.log) session.log = MakeStdoutLog();
    return session.log.get();
}

bool CliSession::OpenPort(std::string& error) {
    if (link.port) return true;  // already open
    if (!log) log = MakeStdoutLog();
    link.log = log.get();
    link.language = options.language;
    if (!options.trace.empty() && !traceFile) {
        std::FILE* file = std::fopen(options.trace.c_str(), "w");
        if (!file) {
            error = Format("cannot write the trace file %s", options.trace.c_str());
            return false;
        }
        traceFile = std::shared_ptr<std::FILE>(file, [](std::FILE* f) { std::fclose(f); });
        core.SetTrace(file);
    }
    if (!core.OpenBackend(options.port, options.portBase, error)) return false;
    if (core.Simulated() && !SetUpSimulator(*this, error)) {
        if (error.empty()) error = "the simulated programmer could not be set up";
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
