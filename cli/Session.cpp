// The session's port backend, clock, trace and log, and the window's
// start-up on the link.
#include <cstdio>
#include <mutex>

#include "cli/Session.h"
#include "base/Log.h"
#include "platform/Platform.h"

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
    const std::string& name = options.port;
    if (name == "sim") {
        if (!SetUpSimulator(*this, error)) {
            if (error.empty()) error = "the simulated programmer could not be set up";
            return false;
        }
    } else if (name == "ppdev" || name.rfind("ppdev:", 0) == 0) {
        const std::string device = name.size() > 6 ? name.substr(6) : std::string();
        port = OpenPpdevPort(options.portBase, device, error);
        if (!port) return false;
    } else if (name == "direct") {
        port = OpenDirectPort(options.portBase, error);
        if (!port) return false;
    } else {
        error = "unknown port \"" + name + "\" (sim, ppdev[:/dev/parportN] or direct)";
        return false;
    }
    if (!clock) clock = MakeSystemClock();
    if (!options.trace.empty()) {
        std::FILE* file = std::fopen(options.trace.c_str(), "w");
        if (!file) {
            error = Format("cannot write the trace file %s", options.trace.c_str());
            port.reset();
            return false;
        }
        traceFile = std::shared_ptr<std::FILE>(file, [](std::FILE* f) { std::fclose(f); });
        port = MakeTracingPort(std::move(port), file);
    }
    if (!log) log = MakeStdoutLog();
    link.port = port.get();
    link.clock = clock.get();
    link.log = log.get();
    return true;
}

uint8_t CliSession::StartUp() {
    auto send = [this](uint8_t code, uint32_t parameter) {
        LinkRequest request;
        request.code = code;
        request.parameter = parameter;
        DeviceRecord empty;
        return Dispatch(link, request, empty);
    };
    send(39, options.clock);
    send(43, options.powerCircuit);
    send(37, options.portBase);
    send(45, options.language);
    send(1, 0);
    return send(2, 0);
}

}  // namespace krt
