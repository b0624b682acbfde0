// The window program's link: the one LinkContext, the port backend it drives
// (the simulated programmer or the printer port) and, with the simulator, the
// chip in the socket, which follows the selected device and is kept per
// device in the user's data directory.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "link/Link.h"

namespace krt {

struct DeviceRecord;
class VirtualKrt;

class WindowLink {
public:
    explicit WindowLink(LogSink* log);
    ~WindowLink();

    LinkContext link;

    // Opens the backend. port is the --port text ("sim", "ppdev",
    // "ppdev:/dev/parportN", "direct"); empty chooses by useSimulator.
    // False with a text naming the port and the fix in error.
    bool Open(const QString& port, bool useSimulator, uint16_t portBase, QString& error);
    bool IsOpen() const { return link.port != nullptr; }
    bool Simulated() const { return simulated_; }
    // The port as the user knows it ("0x378 (/dev/parport0)", "simulator").
    QString PortName() const { return portName_; }

    // Dispatch on this link. Without an open port only the requests that
    // touch no hardware are performed; the others return 7 (KRT not found).
    uint8_t Send(LinkRequest& request, DeviceRecord& record);

    // The simulated socket: where the chips are kept, the chip of a device
    // (loaded from its file, or a blank one on first use), saving it after
    // an operation, and erasing or blanking it.
    void SetChipDirectory(const QString& dir) { chipDir_ = dir; }
    QString ChipDirectory() const { return chipDir_; }
    QString ChipFileFor(const DeviceRecord& record) const;
    bool InsertChipFor(const DeviceRecord& record, QString& message);
    bool SaveChip(QString& message);
    bool BlankChip(QString& message);
    bool SocketHasChip() const;
    VirtualKrt* Simulator() const { return sim_; }

private:
    std::unique_ptr<PortIo> port_;
    std::unique_ptr<Clock> clock_;
    std::shared_ptr<void> simOwner_;
    VirtualKrt* sim_ = nullptr;
    std::unique_ptr<DeviceRecord> socketDevice_;  // the device whose chip is in the socket
    QString socketFile_;
    bool simulated_ = false;
    QString portName_;
    QString chipDir_;
};

}  // namespace krt
