// The real machine behind the link's seams: printer-port backends and the
// system clock. Opening a backend never falls back to another one; a failure
// is a message that names the port and what to do about it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "link/PortIo.h"

namespace krt {

// Linux ppdev. With an empty device, opens the /dev/parportN whose base
// address (in /proc/sys/dev/parport/parportN/base-addr) equals base. The
// data, status and control registers are base, base + 1 and base + 2; other
// addresses read 0xFF and ignore writes. Returns null with error set.
std::unique_ptr<PortIo> OpenPpdevPort(uint16_t base, const std::string& device, std::string& error);

// Finds the parport whose base address is base, looking under procRoot
// (normally /proc/sys/dev/parport) and naming the device under devRoot
// (normally /dev). Returns the device path, or empty with error set.
std::string FindParportDevice(uint16_t base, const std::string& procRoot,
                              const std::string& devRoot, std::string& error);

// Direct I/O with ioperm and inb/outb at the absolute addresses base to
// base + 2 (x86 only; needs CAP_SYS_RAWIO). Returns null with error set.
std::unique_ptr<PortIo> OpenDirectPort(uint16_t base, std::string& error);

// Steady clock; sleeps for real.
std::unique_ptr<Clock> MakeSystemClock();

// Wraps a port and writes every access to out as one line, "W 0378 0A" or
// "R 0379 40". The tracer owns the inner port, not the file.
std::unique_ptr<PortIo> MakeTracingPort(std::unique_ptr<PortIo> inner, std::FILE* out);

}  // namespace krt
