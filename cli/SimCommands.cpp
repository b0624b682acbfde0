// The simulated programmer on the command line: --port sim builds a
// VirtualKrt from the --sim-* options, installs it as the session's port and
// clock and names it on stderr; the device commands put their chip in its
// socket and save it afterwards; krt sim-erase puts the chip file under UV
// light.
#include <strings.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/DeviceRecord.h"
#include "cli/Cli.h"
#include "cli/Session.h"
#include "sim/ChipFactory.h"
#include "sim/ChipFile.h"
#include "sim/SimTexts.h"
#include "sim/VirtualKrt.h"

namespace krt {

namespace {

constexpr int kExitUnsupported = 9;  // the result code "Unsupported operation in this device"

// The session owns its port and clock through unique_ptrs; these forward to
// the one shared simulator so that it lives as long as either is used.
class SimPort final : public PortIo {
public:
    explicit SimPort(std::shared_ptr<VirtualKrt> sim) : sim_(std::move(sim)) {}
    uint8_t read(uint16_t address) override { return sim_->read(address); }
    void write(uint16_t address, uint8_t value) override { sim_->write(address, value); }

private:
    std::shared_ptr<VirtualKrt> sim_;
};

class SimClock final : public Clock {
public:
    explicit SimClock(std::shared_ptr<VirtualKrt> sim) : sim_(std::move(sim)) {}
    std::chrono::nanoseconds now() override { return sim_->now(); }
    void sleepMs(unsigned ms) override { sim_->sleepMs(ms); }

private:
    std::shared_ptr<VirtualKrt> sim_;
};

// Held in session.simOwner. When the session ends it saves a chip that
// changed and was not saved yet, so that no programming is lost even when a
// command forgets SaveSimSocket.
struct SimHolder {
    std::shared_ptr<VirtualKrt> sim;
    std::string chipPath;
    ~SimHolder() {
        Chip* chip = sim ? sim->SocketChip() : nullptr;
        if (chipPath.empty() || !chip || !chip->Changed()) return;
        std::string error;
        if (!SaveChipFile(chipPath, *chip, error)) std::fprintf(stderr, "krt: %s\n", error.c_str());
    }
};

bool SameText(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

}  // namespace

bool PrepareSimSocket(CliSession& session, std::string& error) {
    VirtualKrt* sim = session.sim;
    const DeviceRecord& record = session.record;
    if (!sim || record.name.empty()) return true;
    if (Chip* chip = sim->SocketChip();
        chip && SameText(chip->DeviceName(), record.name) && SameText(chip->Kind(), record.type))
        return true;
    const std::string& path = session.options.simChip;
    std::unique_ptr<Chip> chip;
    if (!path.empty() && ChipFileExists(path)) {
        if (!LoadOrCreateChipFile(path, record, chip, error)) return false;
    } else {
        std::string note;
        chip = MakeBlankChip(record, note);
        if (!chip) {
            // No model for this kind of device yet: the operation meets an empty socket.
            std::fprintf(stderr, "krt: %s\n", note.c_str());
        } else if (!path.empty() && !SaveChipFile(path, *chip, error)) {
            return false;
        }
    }
    sim->InsertChip(std::move(chip));
    return true;
}

bool SaveSimSocket(CliSession& session, std::string& error) {
    VirtualKrt* sim = session.sim;
    Chip* chip = sim ? sim->SocketChip() : nullptr;
    if (!chip || session.options.simChip.empty() || !chip->Changed()) return true;
    if (!SaveChipFile(session.options.simChip, *chip, error)) return false;
    chip->ClearChanged();
    return true;
}

bool SetUpSimulator(CliSession& session, std::string& error) {
    const CliOptions& options = session.options;
    auto sim = std::make_shared<VirtualKrt>(options.portBase);
    // The crystal matches the host's clock setting unless a fault says otherwise.
    sim->SetCrystalHz(options.clock);
    if (!options.simRevisions.empty() && !sim->ApplyRevisions(options.simRevisions, error)) return false;
    for (const std::string& fault : options.simFaults)
        if (!sim->ApplyFault(fault, error)) return false;

    auto holder = std::make_shared<SimHolder>();
    holder->sim = sim;
    holder->chipPath = options.simChip;
    session.sim = sim.get();
    session.simOwner = holder;
    session.port = std::make_unique<SimPort>(sim);
    session.clock = std::make_unique<SimClock>(sim);

    std::string socket;
    if (!session.record.name.empty()) {
        if (!PrepareSimSocket(session, error)) return false;
    } else if (!options.simChip.empty() && ChipFileExists(options.simChip)) {
        std::unique_ptr<Chip> chip;
        if (!LoadChipFile(options.simChip, chip, error)) return false;
        sim->InsertChip(std::move(chip));
    } else if (!options.simChip.empty()) {
        char text[600];
        std::snprintf(text, sizeof text, kSimTextChipFileLater, options.simChip.c_str());
        socket = text;
    }
    std::string banner = sim->Banner();
    if (!socket.empty()) {
        // Name the pending chip file instead of "empty".
        const std::string empty = kSimTextEmptySocket;
        size_t at = banner.find("socket: " + empty);
        if (at != std::string::npos) banner.replace(at + 8, empty.size(), socket);
    }
    std::fprintf(stderr, "%s\n", banner.c_str());
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
        return kExitUnsupported;
    }
    if (!SaveChipFile(path, *chip, error)) {
        std::fprintf(stderr, "krt: %s\n", error.c_str());
        return kExitNoInput;
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
