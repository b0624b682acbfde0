// SPDX-License-Identifier: GPL-3.0-or-later
// What the link benchmarks share: a port that counts the link's register
// accesses on the simulated programmer, and the set-up of a link to it
// (catalogue record, start-up requests, chip insertion, running one
// operation and measuring its accesses and virtual time).
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/DeviceLoader.h"
#include "families/CreateFamily.h"
#include "sim/ChipFactory.h"
#include "sim/VirtualKrt.h"

namespace krt::bench {

// Counts what the link does to the port and the clock: every register
// access, the status reads that found the programmer busy, and the sleeps.
class CountingPort : public PortIo, public Clock {
public:
    explicit CountingPort(VirtualKrt& sim) : sim_(sim) {}
    virtual ~CountingPort() = default;

    uint8_t read(uint16_t address) override {
        ++accesses;
        const uint8_t v = sim_.read(address);
        if (address == sim_.PortBase() + 1 && !(control_ & 1) && !(v & 0x40)) ++busyPolls;
        return v;
    }
    void write(uint16_t address, uint8_t value) override {
        ++accesses;
        sim_.write(address, value);
        Wrote(address, value);
        if (address == sim_.PortBase() + 2) control_ = value;
    }
    std::chrono::nanoseconds now() override { return sim_.now(); }
    void sleepMs(unsigned ms) override {
        sleptMs += ms;
        sim_.sleepMs(ms);
    }
    // Accesses that are the protocol's, not the programmer's busy time.
    uint64_t Protocol() const { return accesses - busyPolls; }
    void Reset() { accesses = busyPolls = sleptMs = 0; }
    // What the same accesses at 1 us each plus the sleeps take on a real port.
    double RealPortSeconds() const { return double(accesses) * 1e-6 + double(sleptMs) * 1e-3; }

    uint64_t accesses = 0;
    uint64_t busyPolls = 0;
    uint64_t sleptMs = 0;

protected:
    // Called after each write reached the programmer, before the control
    // register's copy takes the new value.
    virtual void Wrote(uint16_t /*address*/, uint8_t /*value*/) {}
    VirtualKrt& Sim() { return sim_; }
    uint8_t Control() const { return control_; }

private:
    VirtualKrt& sim_;
    uint8_t control_ = 0;
};

// Fills `record` from the catalogue in the source tree; true when selected.
inline bool LoadRecord(const char* type, const char* maker, const char* name, DeviceRecord& record) {
    Catalogue catalogue;
    OpenCatalogue(std::string(KRT_SOURCE_DIR) + "/devices", nullptr, catalogue);
    return LoadDeviceRecord(catalogue.list, catalogue.directory, type, maker, name, 1, nullptr, record).selected;
}

// One operation's counts: its result, protocol accesses and virtual time.
struct Measured {
    uint8_t result = 0xFF;
    uint64_t protocol = 0;
    uint64_t virtualNs = 0;
};

// A link on the simulated programmer through a counting port.
template <class Port = CountingPort>
struct SimLink {
    SimLink() : counting(sim) {}
    SimLink(const SimLink&) = delete;
    SimLink& operator=(const SimLink&) = delete;

    bool Load(const char* type, const char* maker, const char* name) { return LoadRecord(type, maker, name, record); }

    // Connects the link and sends the window's start-up requests.
    // `clock`: the counting port (sleeps counted) or the simulator itself.
    void Start(Clock* clock) {
        link.port = &counting;
        link.clock = clock;
        link.createFamily = &CreateFamily;
        sim.SetCrystalHz(clockHz);
        for (auto [code, p] : {std::pair{39, int(clockHz)}, {43, 2}, {37, 0x378}, {45, 1}, {1, 0}, {2, 0}}) {
            LinkRequest r;
            r.code = static_cast<uint8_t>(code);
            r.parameter = static_cast<uint32_t>(p);
            Dispatch(link, r, record);
        }
    }
    void Start() { Start(&counting); }

    // A blank chip of the record's kind in the socket.
    void Blank() {
        std::string note;
        sim.InsertChip(MakeBlankChip(record, note));
    }

    uint8_t Run(uint8_t code, uint32_t length, DeviceRecord& r) {
        LinkRequest q;
        q.code = code;
        q.buffer = buffer.data();
        q.length = length;
        q.permittedErrorCount = 100;
        return Dispatch(link, q, r);
    }
    uint8_t Run(uint8_t code, uint32_t length) { return Run(code, length, record); }

    // Runs one operation from a reset count.
    Measured Measure(uint8_t code, uint32_t length, DeviceRecord& r) {
        counting.Reset();
        const uint64_t start = sim.VirtualNs();
        Measured m;
        m.result = Run(code, length, r);
        m.protocol = counting.Protocol();
        m.virtualNs = sim.VirtualNs() - start;
        return m;
    }
    Measured Measure(uint8_t code, uint32_t length) { return Measure(code, length, record); }

    // The programmer's crystal, told to the link as the window's setting.
    uint32_t clockHz = VirtualKrt::kDefaultCrystalHz;
    VirtualKrt sim;
    Port counting;
    LinkContext link;
    DeviceRecord record;
    std::vector<uint8_t> buffer;
};

// The usual counters of a per-unit loop measured against its minimum.
inline void ReportPerUnit(benchmark::State& state, const char* name, double perUnit, double minimum) {
    state.counters[name] = perUnit;
    state.counters["minimum"] = minimum;
    state.counters["ratio"] = perUnit / minimum;
}

}  // namespace krt::bench
