// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated programmer on the command line: --port sim builds a
// VirtualKrt from the --sim-* options, installs it as the session's port and
// clock and names it on stderr; the device commands put their chip in its
// socket and save it afterwards; krt sim-erase puts the chip file under UV
// light.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/DeviceRecord.h"
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "sim/ChipFactory.h"
#include "sim/ChipFile.h"
#include "sim/SimTexts.h"
#include "sim/VirtualKrt.h"

namespace krt {

namespace {

constexpr int kSimExitUnsupported = 9;  // the result code "Unsupported operation in this device"


}  // namespace

bool PrepareSimSocket(CliSession& session, std::string& error) {
    std::string note;
    if (!session.core.LoadSocket(session.record, session.options.simChip, note, error)) return false;
    // No model for this kind of device yet: the operation meets an empty socket.
    if (!note.empty()) std::fprintf(stderr, "krt: %s\n", note.c_str());
    return true;
}

void PrintBreaches(CliSession& session) {
    VirtualKrt* sim = session.Simulator();
    if (!sim) return;
    const std::vector<std::string> lines = sim->BreachLines();
    for (size_t i = session.breachesPrinted; i < lines.size(); ++i) std::fprintf(stderr, "krt: %s\n", lines[i].c_str());
    session.breachesPrinted = std::max(session.breachesPrinted, lines.size());
}

bool SaveSimSocket(CliSession& session, std::string& error) { return session.core.SaveSocket(error); }

int CheckSimFaults(CliSession& session, Chip* probe) {
    std::string error;
    if (session.options.port != "sim" || VirtualKrt::CheckChipFaults(session.options.simFaults, probe, error))
        return 0;
    std::fprintf(stderr, "krt: --sim-fault: %s\n", error.c_str());
    return kExitUsage;
}

int CheckSimFaults(CliSession& session, const DeviceRecord& record) {
    std::string note;
    std::unique_ptr<Chip> probe = MakeBlankChip(record, note);
    return CheckSimFaults(session, probe.get());
}

bool SetUpSimulator(CliSession& session, std::string& error) {
    const CliOptions& options = session.options;
    VirtualKrt* sim = session.Simulator();
    // The crystal matches the host's clock setting unless a fault says otherwise.
    sim->SetCrystalHz(options.clock);
    if (!options.simRevisions.empty() && !sim->ApplyRevisions(options.simRevisions, error)) return false;
    for (const std::string& fault : options.simFaults)
        if (!sim->ApplyFault(fault, error)) return false;

    std::string socket;
    if (session.record.name.empty() && (options.simChip.empty() || !ChipFileExists(options.simChip))) {
        // No chip in the socket: a chip fault would do nothing.
        if (const int status = CheckSimFaults(session, nullptr)) {
            session.setUpFailure = status;
            error.clear();
            return false;
        }
    }
    if (!session.record.name.empty()) {
        if (!PrepareSimSocket(session, error)) return false;
    } else if (!options.simChip.empty() && ChipFileExists(options.simChip)) {
        std::unique_ptr<Chip> chip, probe;
        if (!LoadChipFile(options.simChip, chip, error)) return false;
        // The faults are tried on a copy, so that a refused run leaves the chip as it was.
        if (!options.simFaults.empty() && LoadChipFile(options.simChip, probe, error)) {
            if (const int status = CheckSimFaults(session, probe.get())) {
                session.setUpFailure = status;
                error.clear();
                return false;
            }
        }
        session.core.InsertSocketChip(std::move(chip), options.simChip);
    } else if (!options.simChip.empty()) {
        // The pending chip file is named instead of "empty".
        char text[600];
        std::snprintf(text, sizeof text, options.language == 0 ? kSimTextChipFileLaterJa : kSimTextChipFileLater,
                      options.simChip.c_str());
        socket = text;
    }
    const std::string banner = sim->Banner(options.language, socket);
    if (!session.options.quiet) std::fprintf(stderr, "%s\n", banner.c_str());
    return true;
}

namespace {

int SimEraseCommand(CliSession& session, const std::vector<std::string>& args) {
    (void)args;
    const std::string& path = session.options.simChip;
    if (path.empty()) {
        std::fprintf(stderr, "krt: %s\n", kSimTextEraseNeedsChip);
        return kExitUsage;
    }
    if (!ChipFileExists(path)) {
        std::fprintf(stderr, "krt: ");
        std::fprintf(stderr, kSimTextNoChipFile, path.c_str());
        std::fprintf(stderr, "\n");
        return kExitNoInput;
    }
    if (const int status = LockSimChip(session)) return status;
    std::unique_ptr<Chip> chip;
    std::string error;
    if (!LoadChipFile(path, chip, error)) {
        std::fprintf(stderr, "krt: %s\n", error.c_str());
        return kExitNoInput;
    }
    std::string reason;
    if (!chip->UvErase(reason)) {
        std::fprintf(stderr, "krt: ");
        std::fprintf(stderr, kSimTextEraseRefused, path.c_str(), reason.c_str());
        std::fprintf(stderr, "\n");
        return kSimExitUnsupported;
    }
    if (!SaveChipFile(path, *chip, error)) {
        std::fprintf(stderr, "krt: %s\n", error.c_str());
        return kExitCannotCreate;
    }
    std::printf(kSimTextErased, path.c_str(), chip->Describe().c_str());
    std::printf("\n");
    return 0;
}

}  // namespace

void RegisterSimCommands(std::vector<CliCommand>& table) {
    table.push_back({"sim-erase", "sim-erase",
                     "UV-erase the simulated chip of --sim-chip FILE (a one-time PROM refuses)",
                     &SimEraseCommand});
}

}  // namespace krt
