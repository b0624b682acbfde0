// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window offers the windows it opens (the configuration
// dialog, the debug window): the session's link, its requests and the
// simulated socket.
#pragma once

#include <QString>
#include <cstdint>

namespace krt {

class LinkContext;
struct LinkRequest;

class ShellServices {
public:
    virtual ~ShellServices() = default;
    // The process's link context; requests go through Dispatch on it.
    virtual LinkContext& Link() = 0;
    // Sends one request through the program's session (a port base changed
    // this way reaches the hardware before the next request that needs it).
    virtual uint8_t Send(LinkRequest& request) = 0;
    // True when this run drives the simulated programmer.
    virtual bool SimulatorInUse() const = 0;
    // Erases (UV) or blanks the chip now in the simulated socket and saves
    // it; false when no simulator is in use or the socket is empty. A short
    // text for the user comes back in message.
    virtual bool BlankSocketChip(QString& message) = 0;
    // True while a device operation's worker exists: windows then start nothing.
    virtual bool OperationRunning() const = 0;
};

}  // namespace krt
