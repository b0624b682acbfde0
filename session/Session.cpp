// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/Session.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <strings.h>

#include "base/Log.h"
#include "data/BufferChecksum.h"
#include "families/CreateFamily.h"
#include "platform/Platform.h"
#include "platform/SystemCalls.h"
#include "session/SessionTexts.h"
#include "sim/ChipFactory.h"
#include "sim/ChipFile.h"
#include "sim/VirtualKrt.h"

namespace krt {

namespace {

// The registers answer at the configured base; with none configured yet
// the link's reset falls back to 0x378, and so does the port.
uint16_t EffectiveBase(uint16_t base) { return base ? base : 0x378; }

std::string HexBase(uint16_t base) { return Format("0x%X", static_cast<unsigned>(base)); }

// Forwards to the one shared simulator, so that port and clock keep it alive.
class SimPort final : public PortIo {
public:
    explicit SimPort(std::shared_ptr<VirtualKrt> sim) : sim_(std::move(sim)) {}
    uint8_t read(uint16_t address) override { return sim_->read(address); }
    void write(uint16_t address, uint8_t value) override { sim_->write(address, value); }

private:
    std::shared_ptr<VirtualKrt> sim_;
};

// The same programmer at another base: settings, faults and the chip in
// its socket go over to a simulator that answers at the new base.
bool SameText(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

}  // namespace

Session::Session(LogSink* log) {
    link.log = log;
    link.createFamily = &CreateFamily;
}

Session::~Session() {
    std::string ignored;
    SaveSocket(ignored);
    link.port = nullptr;
    link.clock = nullptr;
}

// ---------------------------------------------------------------- backend

bool Session::OpenBackend(const std::string& name, uint16_t base, std::string& error) {
    std::string kind = name;
    std::string device;
    if (kind.rfind("ppdev:", 0) == 0) {
        device = kind.substr(6);
        kind = "ppdev";
    }
    std::transform(kind.begin(), kind.end(), kind.begin(), [](unsigned char c) { return std::tolower(c); });
    if (kind != "sim" && kind != "ppdev" && kind != "direct") {
        portName_ = name;
        error = Format(InLanguage(kUnknownPortText, link.language), name.c_str());
        return false;
    }
    kind_ = kind;
    device_ = device;
    return OpenPort(EffectiveBase(base), error);
}

bool Session::OpenPort(uint16_t base, std::string& error) {
    std::unique_ptr<PortIo> io;
    std::shared_ptr<VirtualKrt> sim;
    std::unique_ptr<Clock> clock;
    std::string name;
    if (kind_ == "sim") {
        // The same simulated programmer (chip, faults, time) answers at the new base.
        if (sim_) sim_->SetPortBase(base);
        sim = sim_ ? sim_ : std::make_shared<VirtualKrt>(base);
        io = std::make_unique<SimPort>(sim);
        name = "simulator";
    } else {
        // A claimed port is let go before the new one is claimed: on the
        // same device the new claim would wait for the old one for ever.
        ReleasePort();
        PortFaultHandler onFault = [this](const std::string& line) { PortFailed(line); };
        if (kind_ == "ppdev") {
            name = device_.empty() ? HexBase(base) : HexBase(base) + " (" + device_ + ")";
            io = OpenPpdevPort(base, device_, error, std::move(onFault));
        } else {
            name = HexBase(base) + " (direct I/O)";
            io = OpenDirectPort(base, error, std::move(onFault));
        }
        if (!io) {
            portName_ = name;
            return false;
        }
        clock = Kernel().MakeClock();
    }
    if (trace_) io = MakeTracingPort(std::move(io), trace_);
    link.port = nullptr;
    link.clock = nullptr;
    port_ = std::move(io);
    if (sim) {
        sim_ = sim;
        clock_.reset();
    } else {
        clock_ = std::move(clock);
    }
    link.port = port_.get();
    link.clock = sim_ ? static_cast<Clock*>(sim_.get()) : clock_.get();
    portName_ = name;
    backendBase_ = base;
    rebasePending_ = false;
    return true;
}

// The backend stays bound to the base it was opened at: a new base in the
// link context reaches the hardware only by opening the backend again.
void Session::Rebase() {
    rebasePending_ = false;
    const uint16_t base = EffectiveBase(link.portBase);
    if (base == backendBase_ || kind_.empty()) return;
    std::string error;
    if (OpenPort(base, error)) {
        if (sim_) ::krt::Log(link.log, InLanguage(kRebasedText, link.language), static_cast<unsigned>(base));
        return;
    }
    // The old base is no longer the user's choice: requests that need the
    // port now fail as without a programmer, until the base is changed again.
    ReleasePort();
    backendBase_ = base;
    ::krt::Log(link.log, InLanguage(kRebaseFailedText, link.language), static_cast<unsigned>(base), error.c_str());
}

void Session::ReleasePort() {
    link.port = nullptr;
    link.clock = nullptr;
    port_.reset();
    clock_.reset();
}

// An access failed under the running request: it ends with result 4 (the
// families stop as when the programmer stays busy), with one line.
void Session::PortFailed(const std::string& line) {
    link.readyTimedOut = true;
    if (portFailed_) return;
    portFailed_ = true;
    ::krt::Log(link.log, "%s", line.c_str());
}

// ---------------------------------------------------------------- requests

uint8_t Session::Send(LinkRequest& request, DeviceRecord& device) {
    const uint8_t code = request.code;
    const bool needsPort = RequestNeedsPort(code) || IsDeviceOperation(code);
    if (rebasePending_ && needsPort) Rebase();
    if (!IsOpen() && RequestNeedsPort(code)) return RESULT_NOT_FOUND;
    // The simulated programmer has the crystal the settings say it has, so
    // that pulse times come out as configured (whoever set the frequency).
    if (sim_) {
        const auto hz = static_cast<uint32_t>(code == REQ_SET_CLOCK ? request.parameter : link.clockFrequency);
        if (hz != 0 && hz != sim_->CrystalHz()) sim_->SetCrystalHz(hz);
    }
    portFailed_ = false;
    uint8_t result = Dispatch(link, request, device);
    if (portFailed_ && result == RESULT_OK) result = RESULT_FATAL;
    if (code == REQ_SET_PORT_BASE && !kind_.empty() && EffectiveBase(link.portBase) != backendBase_)
        rebasePending_ = true;
    return result;
}

uint8_t Session::Request(uint8_t code, uint32_t parameter, uint32_t* value) {
    LinkRequest request;
    request.code = code;
    request.parameter = parameter;
    DeviceRecord none;
    const uint8_t result = Send(request, none);
    if (value) *value = request.resultValue;
    return result;
}

void Session::Configure(const SessionSettings& settings) {
    Request(REQ_SET_CLOCK, settings.clock);
    Request(REQ_SET_POWER_CIRCUIT, settings.powerCircuit);
    Request(REQ_SET_PORT_BASE, settings.portBase);
    Request(REQ_SET_LANGUAGE, settings.language);
}

uint8_t Session::ResetAndDetect() {
    Request(REQ_RESET);
    return Request(REQ_DETECT);
}

uint8_t Session::StartUp(const SessionSettings& settings) {
    Configure(settings);
    return ResetAndDetect();
}

uint32_t Session::ShowResult(uint8_t result) {
    const uint32_t state = result == RESULT_OK ? INDICATOR_OK : INDICATOR_FAILED;
    Request(REQ_RESULT_INDICATOR, state);
    return state;
}

// ---------------------------------------------------------------- workspace

TransferReport Session::ReadDataFile(const std::string& name, uint32_t language, uint32_t format,
                                     bool cutConsented, const char* lengthOption) {
    TransferReport report =
        ::krt::ReadDataFile(name, record, buffer, range, language, link.log, format, cutConsented, lengthOption);
    // The file as loaded is what the dump's edits are measured against.
    if (report.success) edits.Reset(buffer);
    return report;
}

TransferReport Session::ReloadDataFile(const std::string& name, uint32_t language) {
    TransferReport report = ReadDataFile(name, language);
    if (!report.success)
        ::krt::Log(link.log, InLanguage(kReloadFailedText, language), name.c_str(), record.name.c_str(),
                   report.messageBox.c_str());
    return report;
}

TransferReport Session::OpenDataFile(const std::string& name, uint32_t language, bool merge) {
    if (merge || !buffer.Exists()) {
        TransferReport report = ReadDataFile(name, language);
        if (report.success && merge) ::krt::Log(link.log, InLanguage(kMergedText, language), name.c_str());
        return report;
    }
    DataBuffer before = buffer;
    FillBlank(buffer.data(), buffer.size(), record.typecode);
    TransferReport report = ReadDataFile(name, language);
    if (!report.success) {
        buffer = std::move(before);
        return report;
    }
    ::krt::Log(link.log, InLanguage(kOpenedOnBlankText, language), record.name.c_str());
    return report;
}

TransferReport Session::WriteDataFile(const std::string& name, uint32_t language, uint32_t format) {
    TransferReport report = ::krt::WriteDataFile(name, record, buffer, range, language, link.log, format);
    if (report.success) edits.MarkSaved();
    return report;
}

uint16_t Session::Checksum() const { return BufferChecksum(record, buffer, range); }

std::string Session::ChecksumText() const { return ::krt::ChecksumText(record, buffer, range); }

// ---------------------------------------------------------------- socket

std::string Session::ChipFileName(const DeviceRecord& device) {
    std::string name = device.type + "-" + device.manufacture + "-" + device.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') c = '_';
    return name + ".chip";
}

bool Session::SocketHasChip() const { return sim_ && sim_->SocketChip(); }

bool Session::LoadSocket(const DeviceRecord& device, const std::string& path, std::string& note,
                         std::string& error) {
    note.clear();
    if (!sim_ || device.name.empty()) return true;
    if (Chip* chip = sim_->SocketChip(); chip && path == socketFile_ && SameText(chip->DeviceName(), device.name) &&
                                         SameText(chip->Kind(), device.type))
        return true;
    SaveSocket(error);
    error.clear();
    sim_->RemoveChip();
    socketDevice_.reset();
    socketFile_.clear();
    // Devices without a chip model leave the socket empty; say so.
    std::unique_ptr<Chip> chip = MakeBlankChip(device, note);
    if (!chip) return true;
    if (!path.empty() && !LoadOrCreateChipFile(path, device, chip, error)) return false;
    chip->ClearChanged();
    sim_->InsertChip(std::move(chip));
    link.blankChecked = {};
    socketDevice_ = std::make_unique<DeviceRecord>(device);
    socketFile_ = path;
    socketStamp_ = StampOf(path);
    return true;
}

Session::FileStamp Session::StampOf(const std::string& path) {
    FileStamp stamp;
    if (path.empty()) return stamp;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return stamp;
    const auto time = std::filesystem::last_write_time(path, ec);
    if (ec) return stamp;
    stamp.exists = true;
    stamp.size = size;
    stamp.time = static_cast<int64_t>(time.time_since_epoch().count());
    return stamp;
}

bool Session::ReloadSocketIfChanged(std::string& note, std::string& error) {
    note.clear();
    error.clear();
    Chip* chip = sim_ ? sim_->SocketChip() : nullptr;
    if (!chip || !socketDevice_ || socketFile_.empty() || chip->Changed()) return false;
    const FileStamp now = StampOf(socketFile_);
    // A file that went away is made again at the next save.
    if (!now.exists || now == socketStamp_) return false;
    // The file must still hold this device's chip; one that does not is
    // refused with a message naming both.
    std::unique_ptr<Chip> fresh;
    if (!LoadOrCreateChipFile(socketFile_, *socketDevice_, fresh, error) || !fresh) return false;
    fresh->ClearChanged();
    sim_->RemoveChip();
    sim_->InsertChip(std::move(fresh));
    link.blankChecked = {};  // another chip: what the blank check saw is not on it
    socketStamp_ = now;
    note = Format(InLanguage(kSocketReloadedText, link.language), socketFile_.c_str());
    return true;
}

void Session::InsertSocketChip(std::unique_ptr<Chip> chip, const std::string& path) {
    if (!sim_) return;
    sim_->RemoveChip();
    socketDevice_.reset();
    sim_->InsertChip(std::move(chip));
    link.blankChecked = {};
    socketFile_ = path;
}

bool Session::SaveSocket(std::string& error) {
    Chip* chip = sim_ ? sim_->SocketChip() : nullptr;
    if (!chip || socketFile_.empty() || !chip->Changed()) return true;
    if (!SaveChipFile(socketFile_, *chip, error)) return false;
    chip->ClearChanged();
    socketStamp_ = StampOf(socketFile_);
    return true;
}

bool Session::BlankSocket(std::string& message) {
    if (!sim_ || !sim_->SocketChip() || !socketDevice_) {
        message = InLanguage(kSocketEmptyText, link.language);
        return false;
    }
    std::string reason;
    Chip* chip = sim_->SocketChip();
    if (!chip->UvErase(reason)) {
        // No window (an OTP, an electrically erasable part): a fresh blank
        // chip of the same device takes its place.
        std::string note;
        auto blank = MakeBlankChip(*socketDevice_, note);
        if (!blank) {
            message = note;
            return false;
        }
        sim_->RemoveChip();
        sim_->InsertChip(std::move(blank));
        chip = sim_->SocketChip();
    }
    if (!socketFile_.empty() && !SaveChipFile(socketFile_, *chip, message)) return false;
    socketStamp_ = StampOf(socketFile_);
    chip->ClearChanged();
    message = Format(InLanguage(kSocketBlankText, link.language), chip->Describe().c_str());
    return true;
}

uint64_t Session::VirtualNs() const { return sim_ ? sim_->VirtualNs() : 0; }

}  // namespace krt
