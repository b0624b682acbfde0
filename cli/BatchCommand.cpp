// SPDX-License-Identifier: GPL-3.0-or-later
// krt batch: a production run of the same image into a series of chips, a
// serial number each (see session/Batch.h). krt waits for each chip: the
// programmer's pin check reads only the printer port's status lines (KRT1's
// ACK, the key loop, TDO and the supply), none of which sees the socket, so
// on a real programmer the user says with Enter that the next chip sits in
// it. On the simulator krt plays the user: with --sim-chip-dir each chip of
// the series has its own chip file there, put in the socket in turn.
//
// Ctrl-C between chips ends the batch with the chips done so far; during a
// chip it cancels the running operation as it does for krt auto, and the
// batch ends after that chip's log line.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Log.h"
#include "base/StatusMessages.h"
#include "cli/ChipFileLock.h"
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "data/BufferChecksum.h"
#include "session/Batch.h"
#include "session/Job.h"
#include "session/Operations.h"

namespace krt {

namespace {

class CliBatchFace final : public BatchFace {
public:
    CliBatchFace(CliSession& session, LogSink* out, const SimChipSeries* series)
        : session_(session), out_(out), series_(series) {}

    bool NextChip(uint32_t index) override {
        if (series_) {
            std::string error;
            if (!series_->Insert(session_.core, index, error)) {
                std::fprintf(stderr, "krt: chip %u: %s\n", index, error.c_str());
                failed_ = true;
                return false;
            }
            Log(out_, "chip %u: %s in the socket", index, SimChipSeries::FileName(index).c_str());
            return true;
        }
        std::fprintf(stderr, "Put chip %u in the socket and press Enter (Ctrl-D or Ctrl-C ends the batch): ", index);
        std::fflush(stderr);
        std::string line;
        InterruptibleWait wait;
        if (!std::getline(std::cin, line)) {
            std::fputc('\n', stderr);
            std::cin.clear();
            return false;
        }
        return !Interrupted();
    }

    uint8_t RunRequest(LinkRequest& request) override {
        const OperationInfo* info = OperationOf(request.code);
        Done observer;
        OperationWorker work(session_.core, request, session_.record, observer);
        std::thread worker([&work] { work.Run(); });
        {
            std::unique_lock<std::mutex> lock(observer.mutex);
            while (!observer.done) {
                observer.signal.wait_for(lock, std::chrono::milliseconds(50));
                if (observer.done) break;
                lock.unlock();
                if (Interrupted()) session_.link.CancelOperation();
                lock.lock();
            }
        }
        worker.join();
        if (info && !session_.options.quiet)
            Log(out_, "%s", ResultMessage(*info, observer.result, session_.link.language).c_str());
        return observer.result;
    }

    bool StopRequested() override { return Interrupted(); }

    void ChipStarted(uint32_t index, const std::string& serial) override {
        if (!serial.empty()) Log(out_, "chip %u: serial %s", index, serial.c_str());
    }

    void ChipFinished(const BatchChip& chip) override {
        Log(out_, "chip %u: %s (result %u, %s)", chip.index, chip.result == RESULT_OK ? "OK" : "FAILED", chip.result,
            ResultText(session_.link.language, chip.result).c_str());
    }

    bool Failed() const { return failed_; }

private:
    using Done = FinishSignal;

    CliSession& session_;
    LogSink* out_;
    const SimChipSeries* series_;
    bool failed_ = false;
};

int BatchCommand(CliSession& session, const std::vector<std::string>& args) {
    const CliOptions& o = session.options;
    if (args.size() != 5 || (args[0] != "auto" && args[0] != "write")) {
        std::fprintf(stderr, "krt: usage: krt batch auto|write TYPE MAKER NAME FILE [--count N] "
                             "[--serial ADDR:WIDTH:START[:STEP][:le|be|bcd|ascii]] [--log FILE] "
                             "[--stop-on-failure] [--force] [--restart-series]\n");
        return kExitUsage;
    }
    BatchSettings settings;
    settings.automatic = args[0] == "auto";
    settings.count = o.batchCount;
    settings.logPath = o.batchLog;
    settings.stopOnFailure = o.stopOnFailure;
    settings.force = o.force;
    settings.restartSeries = o.restartSeries;
    if (!o.errors.empty()) settings.permittedErrors = static_cast<uint32_t>(std::stoul(o.errors));
    std::string error;
    if (!o.batchSerial.empty() && !ParseSerialFormat(o.batchSerial, settings.serial, error)) {
        std::fprintf(stderr, "krt: %s, not \"%s\"\n", error.c_str(), o.batchSerial.c_str());
        return kExitUsage;
    }
    const bool simulated = o.port == "sim";
    SimChipSeries series;
    if (simulated) {
        // Without a user at the socket the simulator needs the chips and an end.
        if (o.simChipDir.empty() || o.batchCount == 0 || !o.simChip.empty()) {
            std::fprintf(stderr, "krt: a batch on the simulator takes its chips from --sim-chip-dir DIR "
                                 "(one chip file each, not --sim-chip) and needs --count N\n");
            return kExitUsage;
        }
        series.directory = o.simChipDir;
        series.badChip = o.simBadChip;
        if (!o.simBadFault.empty()) series.badFault = o.simBadFault;
    } else if (!o.simChipDir.empty() || o.simBadChip != 0) {
        std::fprintf(stderr, "krt: --sim-chip-dir and --sim-bad-chip are for the simulator (--port sim)\n");
        return kExitUsage;
    }

    SignalGuard signals;
    if (!session.log) session.log = MakeStdoutLog();
    LogSink* out = session.log.get();
    const uint32_t language = o.language;

    // The device and the file, as File Open reads it over the whole device.
    Job job;
    job.type = args[1];
    job.maker = args[2];
    job.name = args[3];
    job.file = args[4];
    job.catalogue = o.catalogue;
    job.start = o.start;
    job.length = o.length;
    job.lengthOption = "--length";
    // The per-run overrides hold for every chip of the batch, as for one run.
    job.overrides.pageWrite = o.pageWrite;
    job.overrides.byteWrite = o.byteWrite;
    job.overrides.waitMode = o.waitMode;
    job.overrides.verify = !o.noVerify;
    job.overrides.changedOnly = o.changedOnly;
    Session& core = session.core;
    core.link.language = language;
    LogJobFace jobFace(out);
    JobReport prepared;
    if (!core.PrepareJob(job, jobFace, prepared)) {
        switch (prepared.stop) {
        case JobStop::NoCatalogue:
            std::fprintf(stderr, "krt: no device list (DEVICE.LST) found; name the catalogue with --catalogue DIR\n");
            return kExitNoInput;
        case JobStop::NoMemory: Log(out, "%s", MessageText(language, 19)); return kExitUnavailable;
        case JobStop::FileRefused:
            std::fprintf(stderr, "krt: %s\n", FileRefusedLine(job, prepared).c_str());
            return kExitNoInput;
        default:
            std::fprintf(stderr, "krt: no device %s %s %s in the catalogue (see krt list)\n", args[1].c_str(),
                         args[2].c_str(), args[3].c_str());
            return prepared.stop == JobStop::UnknownDevice ? kExitUsage : kExitNoInput;
        }
    }

    Batch batch(core, settings);
    // What Prepare says (a state that lags its log) goes to the run's lines.
    if (!core.link.log) core.link.log = out;
    if (!batch.Prepare(error)) {
        std::fprintf(stderr, "krt: %s\n", error.c_str());
        return kExitUsage;
    }
    Log(out, "%s", ChecksumLine(batch.FileChecksum(), language).c_str());
    if (settings.serial.used || batch.NextIndex() > 1)
        Log(out, "batch: next chip %u%s%s", batch.NextIndex(), settings.serial.used ? ", serial " : "",
            batch.SerialText(batch.NextSerial()).c_str());

    if (!session.OpenPort(error)) {
        if (!error.empty()) std::fprintf(stderr, "krt: %s\n", error.c_str());
        return session.openFailure;
    }
    LogSink* previousLog = session.link.log;
    session.link.log = out;
    const uint8_t detection = session.StartUp();
    if (detection != RESULT_OK) {
        // A batch never runs without a programmer: every chip would fail.
        std::fprintf(stderr, "krt: the batch was not run: the start-up found no programmer (port: %s; result %u, %s)\n",
                     core.PortName().c_str(), detection, ResultText(language, detection).c_str());
        session.link.log = previousLog;
        return detection;
    }

    CliBatchFace face(session, out, simulated ? &series : nullptr);
    const BatchSummary summary = batch.Run(face);
    session.link.log = previousLog;

    Log(out, "batch: %u chips done, %u failed%s%s%s%s, %.1f s", summary.done, summary.failed,
        summary.firstSerial.empty() ? "" : ", serials ", summary.firstSerial.c_str(),
        summary.firstSerial.empty() ? "" : " to ", summary.lastSerial.c_str(), summary.seconds);
    if (summary.stoppedByFailure) Log(out, "batch: stopped at the first failure (--stop-on-failure)");
    // A stopped batch ends 1 whatever its chips came to, so that a script
    // tells it from a batch that ran its course.
    if (summary.stopped)
        Log(out, "batch: stopped by the user; the next chip is %u%s%s", batch.NextIndex(),
            settings.serial.used ? ", serial " : "", batch.SerialText(batch.NextSerial()).c_str());
    int status = summary.stopped ? static_cast<int>(RESULT_CANCELED) : summary.worst;
    if (!summary.problem.empty()) {
        std::fprintf(stderr, "krt: %s\n", summary.problem.c_str());
        if (status == 0) status = kExitCannotCreate;
    }
    if (face.Failed() && status == 0) status = kExitNoInput;
    if (!SaveSimSocket(session, error) && status == 0) status = kExitCannotCreate;
    return status;
}

}  // namespace

void RegisterBatchCommands(std::vector<CliCommand>& table) {
    table.push_back({"batch",
                     "batch auto|write TYPE MAKER NAME FILE [--count N] "
                     "[--serial ADDR:WIDTH:START[:STEP][:le|be|bcd|ascii]] [--log FILE] [--stop-on-failure] "
                     "[--force] [--restart-series]",
                     "program a series of chips from FILE, a serial number each, one JSON log line per chip "
                     "(the next serial is kept in FILE.state beside the log; --force lets the serial overwrite "
                     "file data; a START that would number again serials the log used needs --restart-series)",
                     &BatchCommand});
}

}  // namespace krt
