// SPDX-License-Identifier: GPL-3.0-or-later
// Full 27C256 read and write on the simulated programmer, through Dispatch
// as the window runs them.
//
// Reported per run:
//   per_address       register accesses per address inside the loop (busy
//                     polls of WaitReady not counted: they are the pulse's
//                     time, not protocol), measured as the difference between
//                     a full-device run and a one-address run;
//   minimum           the protocol's minimum for that loop: a byte read is
//                     DLREAD (3) + one status read (1) + eight read slots (32)
//                     + INC (3) = 39; a verified byte write is the pulse timer
//                     (TIMLOSET, TIMHISET: 12) + DLSEND (6) + one ready read
//                     (1) + the read-back (36) + INC (3) = 58;
//   ratio             per_address / minimum (1.00: nothing wasted);
//   busy_polls        status reads that found the programmer busy, per address;
//   real_port_s       what the same accesses at 1 us each plus the sleeps
//                     would take on a real printer port.
// Wall time is the benchmark's own time per iteration.
//
// Run: krt_bench --benchmark_filter=Families
#include "BenchSupport.h"

namespace krt {
namespace {

constexpr uint32_t kWords = 0x8000;

class FamilyBench : public bench::SimLink<> {
public:
    FamilyBench() {
        Load("EPROM", "AMD", "27C256");
        if (record.maxsize != kWords) {
            loaded = false;
            return;
        }
        Start();
        buffer.assign(record.bufsize, 0xFF);
        Blank();
    }

    bool loaded = true;
};

void FamilyReport(benchmark::State& state, FamilyBench& b, uint8_t code, double minimum) {
    // One-address run: the fixed cost of power-up, address and power-down.
    if (code == 5) b.Blank();
    b.counting.Reset();
    b.Run(code, 1);
    const uint64_t one = b.counting.Protocol();
    if (code == 5) b.Blank();
    b.counting.Reset();
    b.Run(code, kWords);
    const uint64_t all = b.counting.Protocol();
    const double perAddress = double(all - one) / double(kWords - 1);
    bench::ReportPerUnit(state, "per_address", perAddress, minimum);
    state.counters["busy_polls"] = double(b.counting.busyPolls) / kWords;
    state.counters["real_port_s"] = b.counting.RealPortSeconds();
}

void BM_FamiliesRead27C256(benchmark::State& state) {
    FamilyBench b;
    if (!b.loaded) {
        state.SkipWithError("27C256 not in the catalogue");
        return;
    }
    for (auto _ : state) {
        if (b.Run(4, kWords) != 0) state.SkipWithError("read failed");
    }
    FamilyReport(state, b, 4, 39.0);
}

void BM_FamiliesWrite27C256(benchmark::State& state) {
    FamilyBench b;
    if (!b.loaded) {
        state.SkipWithError("27C256 not in the catalogue");
        return;
    }
    for (size_t i = 0; i < b.buffer.size(); ++i) b.buffer[i] = static_cast<uint8_t>(i * 7);
    for (auto _ : state) {
        state.PauseTiming();
        b.Blank();
        state.ResumeTiming();
        if (b.Run(5, kWords) != 0) state.SkipWithError("write failed");
    }
    FamilyReport(state, b, 5, 58.0);
}

BENCHMARK(BM_FamiliesRead27C256)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FamiliesWrite27C256)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace krt
