// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the simulated programmer: register accesses per second through
// the PortIo interface (goal: at least 20 million), and a whole 27C256 read
// through the link's primitives, as the EPROM family does it.
#include <benchmark/benchmark.h>

#include <memory>

#include "link/Link.h"
#include "sim/chips/EpromChip.h"
#include "sim/VirtualKrt.h"

namespace {

using krt::VirtualKrt;

std::unique_ptr<VirtualKrt> MakeSim() {
    auto sim = std::make_unique<VirtualKrt>();
    krt::EpromElectrical facts;
    krt::LookUpEpromPart("27C256", facts);
    sim->InsertChip(std::make_unique<krt::EpromChip>("27C256", 0x8000, false, false, facts));
    return sim;
}

// The read loop of an EPROM on the bare registers: DLREAD, ready poll, eight
// read slots, INC; through a PortIo pointer as the link calls it.
void BM_SimRegisterAccesses(benchmark::State& state) {
    auto sim = MakeSim();
    krt::PortIo* port = sim.get();
    auto frame = [port](uint8_t b) {
        port->write(0x378, b);
        port->write(0x37A, 1);
        port->write(0x37A, 0);
    };
    frame(0x13);
    frame(0x28);  // outputs on
    const uint64_t before = sim->Accesses();
    for (auto _ : state) {
        frame(0x04);
        while (!(port->read(0x379) & 0x40)) {
        }
        uint8_t v = 0;
        for (int i = 0; i < 8; ++i) {
            port->write(0x378, 0);
            port->write(0x37A, 1);
            v = static_cast<uint8_t>((v >> 1) | ((port->read(0x379) & 0x40) ? 0 : 0x80));
            port->write(0x37A, 0);
        }
        benchmark::DoNotOptimize(v);
        frame(0x01);
    }
    state.counters["accesses/s"] =
        benchmark::Counter(static_cast<double>(sim->Accesses() - before), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SimRegisterAccesses);

// A 27C256 (32 KiB) read through LinkContext: about 1.3 million accesses.
void BM_SimRead27C256ThroughLink(benchmark::State& state) {
    auto sim = MakeSim();
    krt::LinkContext link;
    link.port = sim.get();
    link.clock = sim.get();
    link.portBase = 0x378;
    link.clockFrequency = 4e6;
    link.krt1Revision = 0x20;
    uint64_t accesses = 0;
    for (auto _ : state) {
        const uint64_t before = sim->Accesses();
        link.SetVcc(5.0f);
        link.SupplyOutput(true);
        link.DEVSET(0);
        link.SetTimer(0, 3);
        link.ALSET(0);
        link.AHSET(0);
        link.CSET(0);
        unsigned sum = 0;
        for (uint32_t a = 0; a < 0x8000; ++a) {
            link.DLREAD();
            link.WaitReady();
            sum += link.ReadReply();
            link.INC();
        }
        benchmark::DoNotOptimize(sum);
        accesses += sim->Accesses() - before;
    }
    state.counters["accesses/read"] =
        benchmark::Counter(static_cast<double>(accesses), benchmark::Counter::kAvgIterations);
    state.counters["accesses/s"] = benchmark::Counter(static_cast<double>(accesses), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SimRead27C256ThroughLink)->Unit(benchmark::kMillisecond);

}  // namespace
