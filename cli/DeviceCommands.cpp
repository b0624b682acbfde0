// SPDX-License-Identifier: GPL-3.0-or-later
// The device operations of krt: read, write, verify, blank, erase, secure,
// option and auto, each doing what the window's Operation command does.
//
// A command loads the device from the catalogue, reads the data file into
// the buffer where the operation needs data, opens the port (with the
// simulator, puts the device's chip in its socket), runs the operation on a
// worker thread through Dispatch while this thread draws the progress and
// turns Ctrl-C (and SIGTERM, SIGHUP) into CancelOperation(), then logs the
// window's result message, sets the result indicator (request 13) and exits
// with the result code.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/Cli.h"
#include "cli/Session.h"
#include "catalogue/DeviceLoader.h"
#include "data/BufferChecksum.h"
#include "data/DataBuffer.h"
#include "data/DataFile.h"
#include "data/DataTransfer.h"
#include "base/Log.h"
#include "base/StatusMessages.h"
#include "base/TypeCodes.h"
#include "families/ZVEEPROM.h"
#include "session/Operations.h"

namespace krt {

namespace {

constexpr uint32_t kDefaultPermittedErrors = 100;

constexpr int kExitUnsupported = RESULT_UNSUPPORTED;

// SdpOff/SdpOn: the parallel EEPROM family's protection operation (no request code).
enum class Command { Read, Write, Verify, Blank, Erase, Secure, Option, Auto, SdpOff, SdpOn };

// The log of a running operation: the worker's lines and the main thread's
// progress bar meet here under one lock, so that a line never lands in the
// middle of the bar and lines keep their order.
class OperationConsole : public LogSink {
public:
    OperationConsole(LogSink* out, bool quiet)
        : out_(out), terminal_(isatty(STDERR_FILENO) == 1), quiet_(quiet) {}

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


// The window's buffer and range fields, for one run of krt.
struct DeviceWorkspace {
    DataBuffer buffer;
    OperationRange range;
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

// LoadDevice: list, parameter file, FillDeviceRecord, new buffer, ClearBuffer.
// A device the catalogue does not list is a usage error: unknownDevice is
// then set.
bool LoadDeviceForOperation(CliSession& session, const std::string& type, const std::string& maker,
                            const std::string& name, DeviceWorkspace& ws, LogSink* log, std::string& error,
                            bool& unknownDevice) {
    unknownDevice = false;
    const uint32_t language = session.options.language;
    Catalogue catalogue;
    if (!OpenCatalogue(session.options.catalogue, log, catalogue)) {
        error = "no device list (DEVICE.LST) found; name the catalogue with --catalogue DIR";
        return false;
    }
    DeviceLoadResult load = LoadDeviceRecord(catalogue.list, catalogue.directory, type, maker, name, language,
                                             log, session.record);
    if (!load.selected) {
        if (load.entry >= catalogue.list.count) {
            unknownDevice = true;
            error = "no device " + type + " " + maker + " " + name + " in the catalogue (see krt list)";
            const std::string closest = ClosestDevices(catalogue.list, type, maker, name);
            if (!closest.empty()) error += "; the closest part numbers: " + closest;
        }
        return false;
    }
    // Per-run overrides of the record's datasheet settings.
    if (session.options.waitMode >= 0) session.record.waitmode = session.options.waitMode;
    if (!ws.buffer.Allocate(session.record.bufsize)) {
        Log(log, "%s", MessageText(language, 19));
        return false;
    }
    ClearBuffer(ws.buffer, session.record, ws.range);
    return true;
}

// The data file into the buffer over the range, as File Open does.
bool ReadDataFileForOperation(CliSession& session, DeviceWorkspace& ws, const std::string& path, LogSink* log,
                              std::string& error) {
    TransferReport report = ReadDataFile(path, session.record, ws.buffer, ws.range, session.options.language, log,
                                         session.options.format);
    if (report.success) return true;
    error = path + ": " + report.messageBox;
    // The window's box says only "File not found."; the system says why.
    if (report.result == FILE_OPEN_FAILED) {
        const std::string why = InputFileProblem(path);
        if (!why.empty()) error += " (" + why + ")";
    }
    return false;
}

bool WriteDataFileForOperation(CliSession& session, DeviceWorkspace& ws, const std::string& path, LogSink* log,
                               std::string& error) {
    TransferReport report = WriteDataFile(path, session.record, ws.buffer, ws.range, session.options.language, log,
                                          session.options.format);
    if (report.success) return true;
    error = path + ": " + report.messageBox;
    return false;
}

struct OperationSetup {
    Command command;
    std::string type, maker, name, file;
    uint32_t start = 0;
    uint32_t length = 0;
    uint32_t permittedErrors = kDefaultPermittedErrors;
};

class DeviceRun {
public:
    DeviceRun(CliSession& session, OperationConsole& console, DeviceWorkspace& workspace,
              const OperationSetup& setup)
        : session_(session), console_(console), workspace_(workspace), setup_(setup) {}

    // One request on a worker thread; this thread polls the progress and
    // passes Ctrl-C on as a cancel. With the simulator, the operation's
    // virtual time is the last line on stderr.
    uint8_t RunOperation(const OperationInfo& operation) {
        const LinkRequest request = OperationRequest(operation.code, setup_.start, setup_.length,
                                                     setup_.permittedErrors, workspace_.buffer);
        Done observer;
        OperationWorker work(session_.core, request, session_.record, observer);
        return Drive(work, observer, Message(operation.progress));
    }

    // The parallel EEPROM's protection command, run like a device operation.
    uint8_t RunProtection(bool enable) {
        Done observer;
        OperationWorker work(
            session_.core,
            [enable](LinkContext& link, DeviceRecord& record) { return RunProtectionOperation(link, record, enable); },
            session_.record, observer);
        return Drive(work, observer, "");
    }

    // Logs the result message of the operation table and sets the indicator.
    void Report(const OperationInfo& operation, uint8_t result) {
        const std::string line = ResultMessage(operation, result, session_.link.language);
        if (session_.options.quiet) {
            // What went wrong comes before the result line that sums it up.
            if (result != RESULT_OK) ReleaseLog(session_);
            LogResultLine(session_, line);
        } else {
            Log(&console_, "%s", line.c_str());
        }
        session_.core.ShowResult(result);
    }

    uint8_t Step(const OperationInfo& operation) {
        const uint8_t result = RunOperation(operation);
        Report(operation, result);
        return result;
    }

    void LogMessage(int number) { Log(&console_, "%s", Message(number)); }

    const char* Message(int number) const { return MessageText(session_.link.language, number); }

private:
    using Done = FinishSignal;

    uint8_t Drive(OperationWorker& work, Done& observer, const char* caption) {
        console_.Begin(caption, setup_.start, setup_.length);
        std::thread worker([&work] { work.Run(); });
        {
            std::unique_lock<std::mutex> lock(observer.mutex);
            while (!observer.done) {
                observer.signal.wait_for(lock, std::chrono::milliseconds(100));
                if (observer.done) break;
                lock.unlock();
                // Repeated while interrupted: a cancel that comes before the
                // family object is published would otherwise be lost.
                if (Interrupted()) session_.link.CancelOperation();
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

    CliSession& session_;
    OperationConsole& console_;
    DeviceWorkspace& workspace_;
    const OperationSetup& setup_;
};

uint8_t CodeOf(Command c) {
    switch (c) {
    case Command::Read: return REQ_READ;
    case Command::Write: return REQ_WRITE;
    case Command::Verify: return REQ_VERIFY;
    case Command::Blank: return REQ_BLANK_CHECK;
    case Command::Erase: return REQ_ERASE;
    case Command::Secure: return REQ_SECURE;
    case Command::Option: return REQ_DEVICE_OPTION;
    case Command::Auto:
    case Command::SdpOff:
    case Command::SdpOn: break;
    }
    return REQ_WRITE;
}

bool NeedsFile(Command c) {
    return c == Command::Read || c == Command::Write || c == Command::Verify || c == Command::Auto;
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

bool ChangesChip(Command c) {
    if (c == Command::Auto) return true;
    const OperationInfo* operation = OperationOf(CodeOf(c));
    return operation && operation->changesChip;
}

int RunDeviceCommand(CliSession& session, const std::vector<std::string>& args, Command command,
                     const char* name) {
    const size_t needed = NeedsFile(command) ? 4 : 3;
    if (args.size() < needed || args.size() > 4) {
        std::fprintf(stderr, "krt: usage: krt %s TYPE MAKER NAME %s\n", name, needed == 4 ? "FILE" : "[FILE]");
        return kExitUsage;
    }
    OperationSetup setup;
    setup.command = command;
    setup.type = args[0];
    setup.maker = args[1];
    setup.name = args[2];
    if (args.size() == 4) setup.file = args[3];
    if (!session.options.errors.empty() && !ParseDecimal(session.options.errors, setup.permittedErrors)) {
        std::fprintf(stderr, "krt: --errors wants a decimal count, not \"%s\"\n", session.options.errors.c_str());
        return kExitUsage;
    }
    // Without a port chosen, nothing is loaded, read or run.
    if (const std::string problem = session.NoPortProblem(); !problem.empty()) {
        std::fprintf(stderr, "krt: %s\n", problem.c_str());
        return kExitUsage;
    }
    const bool simulated = session.options.port == "sim";
    // A read into the simulated chip's own file would replace the chip by its data.
    if (command == Command::Read && simulated && SameFile(setup.file, session.options.simChip)) {
        std::fprintf(stderr,
                     "krt: %s is the chip file of --sim-chip (%s); reading the chip into it would destroy "
                     "the chip: name another file\n",
                     setup.file.c_str(), session.options.simChip.c_str());
        return kExitUsage;
    }
    // The data goes to stdout: krt's own lines go to stderr.
    if (command == Command::Read && setup.file == kStandardStream) LogToStandardError(session);

    // From here on SIGTERM and SIGHUP are Ctrl-C: the run ends as after a
    // cancel, with the chip saved and no temporary file left.
    SignalGuard signals;
    if (!session.log) session.log = MakeStdoutLog();
    LogSink* out = session.log.get();
    OperationConsole console(out, session.options.quiet);

    // The device from the catalogue, a new buffer, ClearBuffer.
    DeviceWorkspace workspace;
    std::string error;
    bool unknownDevice = false;
    if (!LoadDeviceForOperation(session, setup.type, setup.maker, setup.name, workspace, &console, error,
                                unknownDevice)) {
        if (!error.empty()) std::fprintf(stderr, "krt: %s\n", error.c_str());
        Log(&console, "%s", MessageText(session.options.language, kMessageNotSelected));
        return unknownDevice ? kExitUsage : kExitNoInput;
    }
    if (session.options.pageWrite) session.record.pagewrite = 1;
    if (session.options.noIdCheck) session.record.idcheck = 0;
    if (session.options.changedOnly) session.record.changedonly = 1;
    if (session.options.byteWrite) session.record.pagewrite = 0;
    // A chip fault the device's chip does not take is refused before the
    // chip file is made or touched.
    if (const int status = CheckSimFaults(session, session.record)) return status;
    // The data file is opened as the window's File Open does right after the
    // device was selected: over the whole device. The range options then
    // take the place of the user's edits of the range fields.
    // A binary file fills the words from 0 to the end of the range asked
    // for: --length there asks for the cut of a file that is longer.
    if (!session.options.length.empty() && FormatFromName(setup.file) == FORMAT_BINARY) {
        const uint64_t end = uint64_t{ParseHex(session.options.start)} + ParseHex(session.options.length);
        if (end < session.record.maxsize) workspace.range.length = FormatHex6(static_cast<uint32_t>(end));
    }
    if (!setup.file.empty() && command != Command::Read) {
        bool read = false;
        {
            // Standard input may wait for a writer for ever: a signal ends the wait.
            InterruptibleWait wait;
            read = ReadDataFileForOperation(session, workspace, setup.file, &console, error);
        }
        if (Interrupted()) {
            std::fprintf(stderr, "krt: stopped by a signal while reading %s; the %s was not run\n",
                         setup.file.c_str(), name);
            return RESULT_CANCELED;
        }
        if (!read) {
            std::fprintf(stderr, "krt: %s\n", error.c_str());
            return kExitNoInput;
        }
    }

    // A start alone runs to the end of the device, as the fields read once
    // the start has been committed; a length is taken as typed (a range
    // beyond the device is cut by the operation, which says so). The option
    // parser has checked that both are hexadecimal numbers of 32 bits.
    const uint32_t maxsize = session.record.maxsize;
    if (!session.options.start.empty()) {
        const uint32_t start = ParseHex(session.options.start);
        workspace.range.start = FormatHex6(start);
        workspace.range.length = FormatHex6(start < maxsize ? maxsize - start : maxsize);
    }
    if (!session.options.length.empty()) workspace.range.length = FormatHex6(ParseHex(session.options.length));
    setup.start = workspace.range.Start();
    setup.length = workspace.range.Length();
    // The figure of the window's checksum box for the file as loaded.
    if (!setup.file.empty() && command != Command::Read)
        Log(&console, "%s",
            ChecksumLine(BufferChecksum(session.record, workspace.buffer, workspace.range), session.options.language,
                         SumHasConfigWord(session.record, workspace.buffer))
                .c_str());

    // The device option exists only for the PLDs with an ID row; the window
    // does nothing for other devices, and krt says so instead of staying mute.
    if (command == Command::Option && !HasDeviceOption(session.record.typecode)) {
        std::fprintf(stderr, "krt: the device option exists only for GAL16V8 and GAL20V8 (type codes 5 and 6)\n");
        return kExitUnsupported;
    }

    if (!session.OpenPort(error)) {
        if (!error.empty()) std::fprintf(stderr, "krt: %s\n", error.c_str());
        return session.openFailure;
    }
    if (!PrepareSimSocket(session, error)) {
        std::fprintf(stderr, "krt: %s\n", error.c_str());
        return kExitNoInput;
    }
    // A chip that this operation changes must be saved afterwards: say so
    // before, not after programming it.
    if (simulated && !session.options.simChip.empty() && ChangesChip(command) && session.core.SocketHasChip()) {
        const std::string problem = ChipFileSaveProblem(session.options.simChip);
        if (!problem.empty()) {
            std::fprintf(stderr, "krt: the chip file %s could not be saved after the %s: %s\n",
                         session.options.simChip.c_str(), name, problem.c_str());
            return kExitCannotCreate;
        }
    }
    LogSink* previousLog = session.link.log;
    session.link.log = &console;
    const uint8_t detection = session.StartUp();
    if (detection != RESULT_OK && !session.options.force) {
        // Without a programmer every address would fail: a script could not
        // tell that from a bad chip.
        std::fprintf(stderr,
                     "krt: the %s was not run: the start-up found no programmer (port: %s; result %u, "
                     "%s). Check that the KRT is switched on, that its cable sits in the printer port, and "
                     "that --port and --port-base name that port; --force runs the operation anyway.\n",
                     name, session.core.PortName().c_str(), detection,
                     ResultText(session.options.language, detection).c_str());
        session.link.log = previousLog;
        return detection;
    }

    DeviceRun run(session, console, workspace, setup);
    uint8_t result = 0;
    if (command == Command::Auto) {
        run.LogMessage(kMessageAutoConfirm);
        result = AutomaticWrite(
            session.link, [&run](const OperationInfo& step) {
                // A signal between two steps stops the run as the cancel would.
                if (Interrupted()) {
                    run.Report(step, RESULT_CANCELED);
                    return static_cast<uint8_t>(RESULT_CANCELED);
                }
                return run.Step(step);
            },
            [] { return true; });
        if (result == RESULT_OK) run.LogMessage(kMessageAutoDone);
    } else if (command == Command::SdpOff || command == Command::SdpOn) {
        // The family logs the state it observed; the result is the exit status.
        result = run.RunProtection(command == Command::SdpOn);
    } else {
        const OperationInfo& operation = *OperationOf(CodeOf(command));
        if (operation.confirm >= 0) run.LogMessage(operation.confirm);
        // A signal that came before the operation started cancels it.
        if (Interrupted()) {
            result = RESULT_CANCELED;
            run.Report(operation, result);
        } else {
            result = run.Step(operation);
        }
    }

    int status = result;
    if (command == Command::Read) {
        run.LogMessage(kMessageReadFinished);
        if (result == 0)
            Log(&console, "%s",
                ChecksumLine(BufferChecksum(session.record, workspace.buffer, workspace.range),
                             session.options.language, SumHasConfigWord(session.record, workspace.buffer))
                    .c_str());
        // A read that did not finish leaves the file as it was.
        bool written = true;
        if (result == 0) {
            // The open of a FIFO waits for a reader: a signal ends the wait.
            InterruptibleWait wait;
            written = WriteDataFileForOperation(session, workspace, setup.file, &console, error);
        }
        if (!written && Interrupted()) {
            std::fprintf(stderr, "krt: stopped by a signal while writing %s\n", setup.file.c_str());
            status = RESULT_CANCELED;
        } else if (!written) {
            std::fprintf(stderr, "krt: %s\n", error.c_str());
            status = kExitCannotCreate;
        }
    }
    if (!SaveSimSocket(session, error)) {
        // The worker has logged it when it saved after the operation.
        if (!console.Logged(error)) std::fprintf(stderr, "krt: %s\n", error.c_str());
        if (status == 0) status = kExitCannotCreate;
    }
    session.link.log = previousLog;
    return status;
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
    const bool known = a.size() == 4 && (a[0] == "off" || a[0] == "on") && strcasecmp(a[1].c_str(), "EEPROM") == 0;
    if (!known) {
        std::fprintf(stderr, "krt: usage: krt sdp off|on EEPROM MAKER NAME\n");
        return kExitUsage;
    }
    return RunDeviceCommand(s, {a.begin() + 1, a.end()}, a[0] == "on" ? Command::SdpOn : Command::SdpOff, "sdp");
}

}  // namespace

void RegisterDeviceCommands(std::vector<CliCommand>& table) {
    table.push_back({"read", "read TYPE MAKER NAME FILE [--start HEX] [--length HEX]",
                     "read the device into FILE (- for standard output)", &ReadCommand});
    table.push_back({"write", "write TYPE MAKER NAME FILE [--start HEX] [--length HEX] [--errors N]",
                     "program the device from FILE (- for standard input)", &WriteCommand});
    table.push_back({"verify", "verify TYPE MAKER NAME FILE [--start HEX] [--length HEX] [--errors N]",
                     "compare the device with FILE", &VerifyCommand});
    table.push_back({"blank", "blank TYPE MAKER NAME [--start HEX] [--length HEX] [--errors N]",
                     "check that the device is blank", &BlankCommand});
    table.push_back({"erase", "erase TYPE MAKER NAME", "erase the device", &EraseCommand});
    table.push_back({"secure", "secure TYPE MAKER NAME [FILE]", "set the device's security", &SecureCommand});
    table.push_back({"option", "option TYPE MAKER NAME", "read the device's ID (PLDs)", &OptionCommand});
    table.push_back({"auto", "auto TYPE MAKER NAME FILE [--errors N]",
                     "blank check, write and verify, as the automatic write", &AutoCommand});
    table.push_back({"sdp", "sdp off|on EEPROM MAKER NAME",
                     "parallel EEPROM: send the software data protection disable or enable sequence, then "
                     "report the state seen by a test write (its old value is put back)",
                     &SdpCommand});
}

}  // namespace krt
