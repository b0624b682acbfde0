#include "WindowLink.h"

#include <QDir>
#include <QRegularExpression>

#include "catalogue/DeviceRecord.h"
#include "families/CreateFamily.h"
#include "platform/Platform.h"
#include "sim/ChipFactory.h"
#include "sim/ChipFile.h"
#include "sim/VirtualKrt.h"

namespace krt {

namespace {

// Requests that touch no hardware: they may run without an open port.
bool NeedsNoPort(uint8_t code) { return code == 0 || (code >= 37 && code <= 46) || code == 3 || code > 46; }

QString HexBase(uint16_t base) { return QStringLiteral("0x") + QString::number(base, 16).toUpper(); }

}  // namespace

WindowLink::WindowLink(LogSink* log) {
    link.log = log;
    link.createFamily = &CreateFamily;
}

WindowLink::~WindowLink() {
    QString ignored;
    SaveChip(ignored);
    link.port = nullptr;
    link.clock = nullptr;
}

bool WindowLink::Open(const QString& port, bool useSimulator, uint16_t portBase, QString& error) {
    QString kind = port.trimmed().toLower();
    QString device;
    if (kind.startsWith(QStringLiteral("ppdev:"))) {
        device = port.trimmed().mid(6);
        kind = QStringLiteral("ppdev");
    }
    if (kind.isEmpty()) kind = useSimulator ? QStringLiteral("sim") : QStringLiteral("ppdev");
    // The registers answer at the configured base; with none configured yet
    // the link's reset falls back to 0x378, and so does the port here.
    const uint16_t base = portBase ? portBase : 0x378;

    if (kind == QStringLiteral("sim")) {
        auto sim = std::make_shared<VirtualKrt>(base);
        sim_ = sim.get();
        simOwner_ = sim;
        link.port = sim_;
        link.clock = sim_;
        simulated_ = true;
        portName_ = QStringLiteral("simulator");
        return true;
    }
    std::string why;
    std::unique_ptr<PortIo> io;
    if (kind == QStringLiteral("ppdev")) {
        portName_ = device.isEmpty() ? HexBase(base) : QStringLiteral("%1 (%2)").arg(HexBase(base), device);
        io = OpenPpdevPort(base, device.toStdString(), why);
    } else if (kind == QStringLiteral("direct")) {
        portName_ = HexBase(base) + QStringLiteral(" (direct I/O)");
        io = OpenDirectPort(base, why);
    } else {
        portName_ = port;
        error = QStringLiteral("unknown --port \"%1\": use sim, ppdev, ppdev:/dev/parportN or direct").arg(port);
        return false;
    }
    if (!io) {
        error = QString::fromStdString(why);
        return false;
    }
    port_ = std::move(io);
    clock_ = MakeSystemClock();
    link.port = port_.get();
    link.clock = clock_.get();
    return true;
}

uint8_t WindowLink::Send(LinkRequest& request, DeviceRecord& record) {
    if (!IsOpen() && !NeedsNoPort(request.code)) return 7;
    // The simulated programmer has the crystal the settings say it has, so
    // that pulse times come out as configured (whoever set the frequency).
    if (sim_) {
        const auto hz = static_cast<uint32_t>(request.code == 39 ? request.parameter : link.clockFrequency);
        if (hz != 0 && hz != sim_->CrystalHz()) sim_->SetCrystalHz(hz);
    }
    return Dispatch(link, request, record);
}

QString WindowLink::ChipFileFor(const DeviceRecord& record) const {
    QString name = QString::fromStdString(record.type + "-" + record.manufacture + "-" + record.name);
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return QDir(chipDir_).filePath(name + QStringLiteral(".chip"));
}

bool WindowLink::SocketHasChip() const { return sim_ && sim_->SocketChip(); }

bool WindowLink::InsertChipFor(const DeviceRecord& record, QString& message) {
    if (!sim_) return false;
    SaveChip(message);
    sim_->RemoveChip();
    socketDevice_.reset();
    socketFile_.clear();
    QDir().mkpath(chipDir_);
    const QString path = ChipFileFor(record);
    std::string note;
    // Devices without a chip model leave the socket empty; say so.
    if (!MakeBlankChip(record, note)) {
        message = QString::fromStdString(note);
        return false;
    }
    std::unique_ptr<Chip> chip;
    std::string error;
    if (!LoadOrCreateChipFile(path.toStdString(), record, chip, error)) {
        message = QString::fromStdString(error);
        return false;
    }
    chip->ClearChanged();
    sim_->InsertChip(std::move(chip));
    socketDevice_ = std::make_unique<DeviceRecord>(record);
    socketFile_ = path;
    message.clear();
    return true;
}

bool WindowLink::SaveChip(QString& message) {
    if (!sim_ || !sim_->SocketChip() || socketFile_.isEmpty()) return true;
    Chip* chip = sim_->SocketChip();
    if (!chip->Changed()) return true;
    std::string error;
    if (!SaveChipFile(socketFile_.toStdString(), *chip, error)) {
        message = QString::fromStdString(error);
        return false;
    }
    chip->ClearChanged();
    return true;
}

bool WindowLink::BlankChip(QString& message) {
    if (!sim_ || !sim_->SocketChip() || !socketDevice_) {
        message = QStringLiteral("The simulated socket is empty.");
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
            message = QString::fromStdString(note);
            return false;
        }
        sim_->RemoveChip();
        sim_->InsertChip(std::move(blank));
        chip = sim_->SocketChip();
    }
    std::string error;
    if (!SaveChipFile(socketFile_.toStdString(), *chip, error)) {
        message = QString::fromStdString(error);
        return false;
    }
    chip->ClearChanged();
    message = QString::fromStdString(chip->Describe()) + QStringLiteral(": blank");
    return true;
}

}  // namespace krt
