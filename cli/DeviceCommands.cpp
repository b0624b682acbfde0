// SPDX-License-Identifier: GPL-3.0-or-later
// The device operations of krt: read, write, verify, blank, erase, secure,
// option and auto, each doing what the window's Operation command does.
//
// A command is a job for the session (session/Job.h): it loads the device,
// reads the data file into the buffer where the operation needs data, and
// runs the operation. krt adds its face: the port (with the simulator, the
// device's chip in its socket) opened before the operation, the progress
// drawn while a worker thread runs it, Ctrl-C (and SIGTERM, SIGHUP) turned
// into CancelOperation(), and the exit with the result code.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <strings.h>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "data/DataFile.h"
#include "base/Log.h"
#include "base/StatusMessages.h"
#include "base/TypeCodes.h"
#include "families/ZVEEPROM.h"
#include "session/Job.h"
#include "session/BufferDigests.h"
#include "session/Operations.h"
#include "cli/Terminal.h"

namespace krt {

namespace {

constexpr int kExitUnsupported = RESULT_UNSUPPORTED;

// SdpOff/SdpOn: the parallel EEPROM family's protection operation (no request code).
using Command = JobOperation;

// The log of a running operation: the worker's lines and the main thread's
// progress bar meet here under one lock, so that a line never lands in the
// middle of the bar and lines keep their order.
class OperationConsole : public LogSink {
public:
    OperationConsole(LogSink* out, bool quiet)
        : out_(out), terminal_(ControlSequencesWanted(STDERR_FILENO)), quiet_(quiet) {}

    void line(std::string_view utf8) override {
        std::lock_guard<std::mutex> lock(mutex_);
        EraseBar();
        if (out_) out_->line(utf8);
        std::cout.flush();
        std::fflush(stdout);
        lines_.emplace_back(utf8);
    }

    // Whether this line has been logged already (a save error the worker logged).
    bool Logged(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::find(lines_.begin(), lines_.end(), text) != lines_.end();
    }

    void Begin(const char* caption, uint32_t start, uint32_t total) {
        std::lock_guard<std::mutex> lock(mutex_);
        caption_ = caption;
        start_ = start;
        total_ = total == 0 ? 1 : total;
        lastPercent_ = -1;
        began_ = std::chrono::steady_clock::now();
    }

    void Progress(int32_t done) {
        std::lock_guard<std::mutex> lock(mutex_);
        Draw(done);
    }

    // An operation that did not succeed (canceled, stopped by errors) is
    // not shown as complete.
    void End(bool completed) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (completed) Draw(static_cast<int32_t>(total_));
        EraseBar();
        // On a terminal the bar gives way to the time the operation took.
        if (terminal_ && !quiet_ && !caption_.empty()) {
            std::fprintf(stderr, "%s %s\n", completed ? "Time taken:" : "Stopped after",
                         Duration(std::chrono::steady_clock::now() - began_).c_str());
            std::fflush(stderr);
        }
    }

private:
    // m:ss, or h:mm:ss from an hour on.
    static std::string Duration(std::chrono::steady_clock::duration elapsed) {
        const long long s = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
        if (s >= 3600) return Format("%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
        return Format("%lld:%02lld", s / 60, s % 60);
    }

    void Draw(int32_t done) {
        if (done < 0 || quiet_) return;
        const uint32_t d = static_cast<uint32_t>(done) > total_ ? total_ : static_cast<uint32_t>(done);
        const int percent = static_cast<int>(static_cast<uint64_t>(d) * 100 / total_);
        if (terminal_) {
            constexpr int kWidth = 30;
            const int filled = percent * kWidth / 100;
            std::string bar(static_cast<size_t>(filled), '#');
            bar.append(static_cast<size_t>(kWidth - filled), '.');
            // The time left, from the pace so far, once there is a pace.
            std::string left = "--:--";
            const auto elapsed = std::chrono::steady_clock::now() - began_;
            if (d > 0 && d < total_)
                left = Duration(elapsed * (total_ - d) / d);
            else if (d >= total_)
                left = "0:00";
            std::fprintf(stderr, "\r%s [%s] %3d%% %06X %u/%u left %s\033[K", caption_.c_str(), bar.c_str(), percent,
                         start_ + d, d, total_, left.c_str());
            std::fflush(stderr);
            barShown_ = true;
        } else if (percent / 10 != lastPercent_ / 10 || lastPercent_ < 0) {
            // Without a terminal: one plain line per ten percent.
            std::fprintf(stderr, "%s %3d%% %u/%u\n", caption_.c_str(), percent, d, total_);
            std::fflush(stderr);
        }
        lastPercent_ = percent;
    }

    void EraseBar() {
        if (!barShown_) return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        barShown_ = false;
    }

    LogSink* out_;
    bool terminal_;
    bool quiet_;
    std::mutex mutex_;
    std::string caption_;
    uint32_t start_ = 0;
    uint32_t total_ = 1;
    std::chrono::steady_clock::time_point began_;
    int lastPercent_ = -1;
    bool barShown_ = false;
    std::vector<std::string> lines_;
};


// Edit distance of two names, without regard to case.
size_t NameDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The catalogue's entries whose part numbers come closest to name (at most
// three, those of the same type and maker first among equals), as
// "TYPE MAKER NAME" joined by ", ".
std::string ClosestDevices(const DeviceList& list, const std::string& type, const std::string& maker,
                           const std::string& name) {
    struct Candidate {
        size_t score;
        int32_t entry;
    };
    std::vector<Candidate> candidates;
    for (int32_t i = 0; i < list.count; ++i) {
        const size_t i0 = static_cast<size_t>(i);
        size_t score = NameDistance(name, list.names[i0]) * 4;
        if (strcasecmp(list.types[i0].c_str(), type.c_str()) != 0) score += 2;
        if (strcasecmp(list.makers[i0].c_str(), maker.c_str()) != 0) score += 1;
        candidates.push_back({score, i});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& x, const Candidate& y) { return x.score < y.score; });
    std::string out;
    for (size_t k = 0; k < candidates.size() && k < 3; ++k) {
        const size_t e = static_cast<size_t>(candidates[k].entry);
        if (!out.empty()) out += ", ";
        out += list.types[e] + " " + list.makers[e] + " " + list.names[e];
    }
    return out;
}

bool ParseDecimal(const std::string& text, uint32_t& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v > 0xFFFFFFFFul || text[0] == '-') return false;
    value = static_cast<uint32_t>(v);
    return true;
}

// The krt face of a device job: the console for its lines and progress,
// Ctrl-C as cancel, the simulated socket and the start-up before the first
// operation, the chip file saved after the last.
class CommandFace final : public JobFace {
public:
    CommandFace(CliSession& session, OperationConsole& console, const char* name, Command command)
        : session_(session), console_(console), name_(name), command_(command) {}

    LogSink* Log() override { return &console_; }

    // A chip fault the device's chip does not take is refused before the
    // chip file is made or touched.
    int DeviceLoaded(const DeviceRecord& record) override { return CheckSimFaults(session_, record); }

    void FileWait(const std::function<void()>& step) override {
        // Standard input or a FIFO may wait for ever: a signal ends the wait.
        InterruptibleWait wait;
        step();
    }

    bool Interrupted() override { return ::krt::Interrupted(); }

    // krt asks nothing: the run is refused, naming the option that accepts it.
    int ConfirmFixedLevel(const std::string& question) override {
        ::krt::Log(&console_, "%s", question.c_str());
        std::fprintf(stderr, "krt: nothing was written or erased; --fixed-level goes on at 12.5 V\n");
        return kExitUsage;
    }

    int Connect() override {
        std::string error;
        if (!session_.OpenPort(error)) {
            if (!error.empty()) std::fprintf(stderr, "krt: %s\n", error.c_str());
            return session_.openFailure;
        }
        if (!PrepareSimSocket(session_, error)) {
            std::fprintf(stderr, "krt: %s\n", error.c_str());
            return kExitNoInput;
        }
        // A chip that this operation changes must be saved afterwards: say so
        // before, not after programming it.
        const std::string& chip = session_.options.simChip;
        if (session_.core.Simulated() && !chip.empty() && JobChangesChip(command_) && session_.core.SocketHasChip()) {
            const std::string problem = ChipFileSaveProblem(chip);
            if (!problem.empty()) {
                std::fprintf(stderr, "krt: the chip file %s could not be saved after the %s: %s\n", chip.c_str(),
                             name_, problem.c_str());
                return kExitCannotCreate;
            }
        }
        previousLog_ = session_.link.log;
        session_.link.log = &console_;
        const uint8_t detection = session_.StartUp();
        if (detection != RESULT_OK && !session_.options.force) {
            // Without a programmer every address would fail: a script could not
            // tell that from a bad chip.
            std::fprintf(stderr,
                         "krt: the %s was not run: the start-up found no programmer (port: %s; result %u, "
                         "%s). Check that the KRT is switched on, that its cable sits in the printer port, and "
                         "that --port and --port-base name that port; --force runs the operation anyway.\n",
                         name_, session_.core.PortName().c_str(), detection,
                         ResultText(session_.options.language, detection).c_str());
            session_.link.log = previousLog_;
            return detection;
        }
        return 0;
    }

    // The operation on a worker thread; this thread polls the progress and
    // passes Ctrl-C on as a cancel. With the simulator, the operation's
    // virtual time is the last line on stderr.
    uint8_t Drive(OperationWorker& work, FinishSignal& observer, const char* caption) override {
        console_.Begin(caption, session_.core.range.Start(), session_.core.range.Length());
        std::thread worker([&work] { work.Run(); });
        {
            std::unique_lock<std::mutex> lock(observer.mutex);
            while (!observer.done) {
                observer.signal.wait_for(lock, std::chrono::milliseconds(100));
                if (observer.done) break;
                lock.unlock();
                // Repeated while interrupted: a cancel that comes before the
                // family object is published would otherwise be lost.
                if (::krt::Interrupted()) session_.link.CancelOperation();
                console_.Progress(session_.link.OperationProgress());
                lock.lock();
            }
        }
        worker.join();
        console_.End(observer.result == RESULT_OK);
        PrintBreaches(session_);
        if (!observer.timeLine.empty() && !session_.options.quiet) std::fprintf(stderr, "%s\n", observer.timeLine.c_str());
        return observer.result;
    }

    void ResultLine(const std::string& line, uint8_t result) override {
        if (session_.options.quiet) {
            // What went wrong comes before the result line that sums it up.
            if (result != RESULT_OK) ReleaseLog(session_);
            LogResultLine(session_, line);
        } else {
            ::krt::Log(&console_, "%s", line.c_str());
        }
    }

    void Finish(JobReport& report) override {
        report.status = report.result;
        if (report.stop == JobStop::Interrupted) {
            std::fprintf(stderr, "krt: stopped by a signal while writing %s\n", file_.c_str());
            report.status = RESULT_CANCELED;
        } else if (report.stop == JobStop::OutputRefused) {
            std::fprintf(stderr, "krt: %s: %s\n", file_.c_str(), report.transfer.messageBox.c_str());
            report.status = kExitCannotCreate;
        }
        std::string error;
        if (!SaveSimSocket(session_, error)) {
            // The worker has logged it when it saved after the operation.
            if (!console_.Logged(error)) std::fprintf(stderr, "krt: %s\n", error.c_str());
            if (report.status == 0) report.status = kExitCannotCreate;
        }
        session_.link.log = previousLog_;
    }

    std::string file_;

private:
    CliSession& session_;
    OperationConsole& console_;
    const char* name_;
    Command command_;
    LogSink* previousLog_ = nullptr;
};

// The compare's listing into its file, or onto standard output.
bool WriteListing(const std::string& path, const std::string& listing) {
    errno = 0;
    if (path.empty() || path == kStandardStream)
        return std::fwrite(listing.data(), 1, listing.size(), stdout) == listing.size() && std::fflush(stdout) == 0;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(listing.data(), 1, listing.size(), f) == listing.size();
    return std::fclose(f) == 0 && written;
}

// The exit status of a device job that stopped before its operation ran,
// with why on stderr (and the window's "not selected" line in the log).
int StoppedStatus(CliSession& session, const Job& job, const JobReport& report, LogSink* log, const char* name) {
    auto notSelected = [&](int status) {
        ::krt::Log(log, "%s", MessageText(session.options.language, kMessageNotSelected));
        return status;
    };
    switch (report.stop) {
    case JobStop::NoCatalogue:
        std::fprintf(stderr, "krt: no device list (DEVICE.LST) found; name the catalogue with --catalogue DIR\n");
        return notSelected(kExitNoInput);
    case JobStop::UnknownDevice: {
        std::string error = "no device " + job.type + " " + job.maker + " " + job.name + " in the catalogue (see krt list)";
        const std::string closest = ClosestDevices(session.core.devices, job.type, job.maker, job.name);
        if (!closest.empty()) error += "; the closest part numbers: " + closest;
        std::fprintf(stderr, "krt: %s\n", error.c_str());
        return notSelected(kExitUsage);
    }
    case JobStop::NoMemory: ::krt::Log(log, "%s", MessageText(session.options.language, 19)); [[fallthrough]];
    case JobStop::DeviceNotLoaded: return notSelected(kExitNoInput);
    case JobStop::Face: return report.status;
    case JobStop::Interrupted:
        std::fprintf(stderr, "krt: stopped by a signal while reading %s; the %s was not run\n", job.file.c_str(), name);
        return RESULT_CANCELED;
    case JobStop::FileRefused:
        std::fprintf(stderr, "krt: %s\n", FileRefusedLine(job, report).c_str());
        return kExitNoInput;
    case JobStop::Unsupported:
        // An erase the programmer cannot give: the session has said why.
        if (job.operation == Command::Erase) return kExitUnsupported;
        // The window does nothing for other devices; krt says so instead of staying mute.
        std::fprintf(stderr, "krt: the device option exists only for GALs (type codes 5, 6 and 7)\n");
        return kExitUnsupported;
    default: return kExitUsage;
    }
}

// The job of a device command, from its words and the options.
Job DeviceJob(const CliOptions& o, const std::vector<std::string>& args, Command command) {
    Job job;
    job.type = args[0];
    job.maker = args[1];
    job.name = args[2];
    if (args.size() == 4) job.file = args[3];
    job.catalogue = o.catalogue;
    job.operation = command;
    job.format = o.format;
    job.start = o.start;
    job.length = o.length;
    job.lengthOption = "--length";
    job.overrides.waitMode = o.waitMode;
    job.overrides.pageWrite = o.pageWrite;
    job.overrides.byteWrite = o.byteWrite;
    job.overrides.idCheck = !o.noIdCheck;
    job.overrides.fixedLevel = o.fixedLevel;
    job.overrides.verify = !o.noVerify;
    job.overrides.changedOnly = o.changedOnly;
    return job;
}

// Where the data, the listing and krt's own lines go: stdout is left to the
// data of a read to "-", to compare's listing and to read's --json document.
// 0, or the exit status of a refusal.
int ChooseOutputStreams(CliSession& session, const Job& job, Command command) {
    if (command == Command::Read && job.file == kStandardStream) {
        if (BinaryToTerminalRefused(isatty(STDOUT_FILENO) == 1, job.format, session.options.force)) {
            std::fprintf(stderr, "krt: %s\n", kBinaryToTerminalText);
            return kExitUsage;
        }
        // The data goes to stdout: krt's own lines go to stderr.
        LogToStandardError(session);
    }
    // compare without -o: the listing alone on stdout.
    if (command == Command::Compare && (session.options.list.empty() || session.options.list == kStandardStream))
        LogToStandardError(session);
    // read --json: the figures of what was read as one JSON document on stdout.
    if (command == Command::Read && session.options.json) {
        if (job.file == kStandardStream) {
            std::fprintf(stderr, "krt: read --json prints its document on standard output: name a FILE, not -\n");
            return kExitUsage;
        }
        LogToStandardError(session);
    }
    return 0;
}

// After the job: compare's listing and read's --json document; the job's
// status, or the status of a listing that could not be written.
int ReportOutputs(CliSession& session, const Job& job, Command command, const JobReport& report,
                  OperationConsole& console, int status) {
    if (command == Command::Compare && report.ran &&
        (report.result == RESULT_OK || report.result == RESULT_ERRORS)) {
        const std::string listing = FormatDifferences(report.differences, session.record.bytesPerWord,
                                                      "... and %llu more differences");
        if (!WriteListing(session.options.list, listing)) {
            std::fprintf(stderr, "krt: %s: cannot write the listing: %s\n", session.options.list.c_str(),
                         std::strerror(errno ? errno : EIO));
            return kExitCannotCreate;
        }
        ::krt::Log(&console, "%llu differences", static_cast<unsigned long long>(report.differences.total));
    }
    // read --json: the figures of what was read as one JSON document on stdout.
    if (command == Command::Read && session.options.json && status == 0)
        std::printf("%s\n", DigestsJsonDocument(job.file, DigestsOf(session.record, session.core.buffer,
                                                                     session.core.range),
                                               session.core.range.Start(), session.core.range.Length())
                                .c_str());
    return status;
}

int RunDeviceCommand(CliSession& session, const std::vector<std::string>& args, Command command,
                     const char* name) {
    const size_t needed = JobNeedsFile(command) ? 4 : 3;
    if (args.size() < needed || args.size() > 4) {
        std::fprintf(stderr, "krt: usage: krt %s TYPE MAKER NAME %s\n", name, needed == 4 ? "FILE" : "[FILE]");
        return kExitUsage;
    }
    Job job = DeviceJob(session.options, args, command);
    if (!session.options.errors.empty() && !ParseDecimal(session.options.errors, job.permittedErrors)) {
        std::fprintf(stderr, "krt: --errors wants a decimal count, not \"%s\"\n", session.options.errors.c_str());
        return kExitUsage;
    }
    // Without a port chosen, nothing is loaded, read or run.
    if (const std::string problem = session.NoPortProblem(); !problem.empty()) {
        std::fprintf(stderr, "krt: %s\n", problem.c_str());
        return kExitUsage;
    }
    // A read into a file the run holds (the simulated chip's own above all)
    // would destroy it; so would compare's listing over any of them or
    // over the file it compares with.
    if (command == Command::Read)
        if (const int refused = RefuseOutputClash(session.options, job.file, "")) return refused;
    if (command == Command::Compare && session.options.list != kStandardStream && !session.options.list.empty())
        if (const int refused = RefuseOutputClash(session.options, session.options.list, "-o", {job.file}))
            return refused;
    if (const int status = ChooseOutputStreams(session, job, command)) return status;

    // From here on SIGTERM and SIGHUP are Ctrl-C: the run ends as after a
    // cancel, with the chip saved and no temporary file left.
    SignalGuard signals;
    OperationConsole console(SessionLog(session), session.options.quiet);
    CommandFace face(session, console, name, command);
    face.file_ = job.file;
    session.link.language = session.options.language;
    const JobReport report = session.core.RunJob(job, face);
    const int status = report.ran ? report.status : StoppedStatus(session, job, report, &console, name);
    return ReportOutputs(session, job, command, report, console, status);
}

int CompareCommand(CliSession& s, const std::vector<std::string>& a) {
    return RunDeviceCommand(s, a, Command::Compare, "compare");
}
int ReadCommand(CliSession& s, const std::vector<std::string>& a) { return RunDeviceCommand(s, a, Command::Read, "read"); }
int WriteCommand(CliSession& s, const std::vector<std::string>& a) { return RunDeviceCommand(s, a, Command::Write, "write"); }
int VerifyCommand(CliSession& s, const std::vector<std::string>& a) { return RunDeviceCommand(s, a, Command::Verify, "verify"); }
int BlankCommand(CliSession& s, const std::vector<std::string>& a) { return RunDeviceCommand(s, a, Command::Blank, "blank"); }
int EraseCommand(CliSession& s, const std::vector<std::string>& a) { return RunDeviceCommand(s, a, Command::Erase, "erase"); }
int SecureCommand(CliSession& s, const std::vector<std::string>& a) { return RunDeviceCommand(s, a, Command::Secure, "secure"); }
int OptionCommand(CliSession& s, const std::vector<std::string>& a) { return RunDeviceCommand(s, a, Command::Option, "option"); }
int AutoCommand(CliSession& s, const std::vector<std::string>& a) { return RunDeviceCommand(s, a, Command::Auto, "auto"); }
int SdpCommand(CliSession& s, const std::vector<std::string>& a) {
    const bool known = a.size() == 4 && (a[0] == "off" || a[0] == "on") &&
                       (strcasecmp(a[1].c_str(), "EEPROM") == 0 || strcasecmp(a[1].c_str(), "FLASH5V") == 0);
    if (!known) {
        std::fprintf(stderr, "krt: usage: krt sdp off|on EEPROM|FLASH5V MAKER NAME\n");
        return kExitUsage;
    }
    return RunDeviceCommand(s, {a.begin() + 1, a.end()}, a[0] == "on" ? Command::SdpOn : Command::SdpOff, "sdp");
}

}  // namespace

void RegisterDeviceCommands(std::vector<CliCommand>& table) {
    table.push_back({"read", "read TYPE MAKER NAME FILE [--start HEX] [--length HEX] [--json]",
                     "read the device into FILE (- for standard output)", &ReadCommand});
    table.push_back({"write", "write TYPE MAKER NAME FILE [--start HEX] [--length HEX] [--errors N]",
                     "program the device from FILE (- for standard input)", &WriteCommand});
    table.push_back({"verify", "verify TYPE MAKER NAME FILE [--start HEX] [--length HEX] [--errors N]",
                     "compare the device with FILE", &VerifyCommand});
    table.push_back({"compare", "compare TYPE MAKER NAME FILE [--start HEX] [--length HEX] [-o LIST]",
                     "read the device and list every word that differs from FILE: address, chip, file (the first "
                     "1000, then a count of the rest); exit status 0 when equal, 3 when they differ",
                     &CompareCommand});
    table.push_back({"blank", "blank TYPE MAKER NAME [--start HEX] [--length HEX] [--errors N]",
                     "check that the device is blank", &BlankCommand});
    table.push_back({"erase", "erase TYPE MAKER NAME", "erase the device", &EraseCommand});
    table.push_back({"secure", "secure TYPE MAKER NAME [FILE]", "set the device's security", &SecureCommand});
    table.push_back({"option", "option TYPE MAKER NAME", "read the device's ID (PLDs)", &OptionCommand});
    table.push_back({"auto", "auto TYPE MAKER NAME FILE [--errors N]",
                     "blank check, write and verify, as the automatic write", &AutoCommand});
    table.push_back({"sdp", "sdp off|on EEPROM|FLASH5V MAKER NAME",
                     "parallel EEPROM and page-mode 5 V flash: send the software data protection disable or enable sequence, then "
                     "report the state seen by a test write (its old value is put back)",
                     &SdpCommand});
}

}  // namespace krt
