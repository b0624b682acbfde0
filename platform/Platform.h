// SPDX-License-Identifier: GPL-3.0-or-later
// The real machine behind the link's seams: printer-port backends and the
// system clock. Opening a backend never falls back to another one; a failure
// is a message that names the port and what to do about it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "link/PortIo.h"

namespace krt {

// The port bases every backend, the settings and both faces accept: where
// on-board ports (0x378, 0x278, 0x3BC) and PCI/PCIe/ExpressCard ports
// (0xD010, 0xE000...) live; the registers take four addresses.
inline constexpr uint32_t kLowestPortBase = 0x100;
inline constexpr uint32_t kHighestPortBase = 0xFFF8;
inline constexpr bool PortBaseAccepted(uint32_t base) {
    return base >= kLowestPortBase && base <= kHighestPortBase && base % 4 == 0;
}

// Told when a register access fails under a running request (the card was
// removed, the driver refused); line says what failed and what to do. Called
// on the thread that touched the port, each time an access fails.
using PortFaultHandler = std::function<void(const std::string& line)>;

// Linux ppdev. With an empty device, opens the /dev/parportN whose base
// address (in /proc/sys/dev/parport/parportN/base-addr) equals base. The
// data, status and control registers are base, base + 1 and base + 2; other
// addresses read 0xFF and ignore writes. The port is claimed for the life of
// the returned object; a claim that another holder keeps waiting fails after
// Kernel().claimBound with a message that names the holder when the kernel
// shows it. Returns null with error set.
std::unique_ptr<PortIo> OpenPpdevPort(uint16_t base, const std::string& device, std::string& error,
                                      PortFaultHandler onFault = {});

// Finds the parport whose base address is base, looking under procRoot
// (normally /proc/sys/dev/parport) and naming the device under devRoot
// (normally /dev). Returns the device path, or empty with error set.
std::string FindParportDevice(uint16_t base, const std::string& procRoot,
                              const std::string& devRoot, std::string& error);

// Direct I/O with ioperm and inb/outb at the absolute addresses base to
// base + 2 (x86 only; needs CAP_SYS_RAWIO). The permission belongs to a
// thread: every thread that touches the port asks for it on its first
// access. Returns null with error set.
std::unique_ptr<PortIo> OpenDirectPort(uint16_t base, std::string& error, PortFaultHandler onFault = {});

// Opens each of the standard descriptors 0, 1 and 2 that is closed on
// /dev/null, so that no file the program opens later takes its number. Both
// programs call it before anything else.
void OpenStandardDescriptors();

// Steady clock; sleeps for real.
std::unique_ptr<Clock> MakeSystemClock();

// Wraps a port and writes every access to out as one line, "W 0378 0A" or
// "R 0379 40". The tracer owns the inner port, not the file.
std::unique_ptr<PortIo> MakeTracingPort(std::unique_ptr<PortIo> inner, std::FILE* out);

}  // namespace krt
