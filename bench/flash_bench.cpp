// SPDX-License-Identifier: GPL-3.0-or-later
// Full 28F010 write and erase on the simulated programmer, through Dispatch
// as the window runs them.
//
// Reported per run:
//   per_byte       register accesses per byte inside the loops (busy polls
//                  of WaitReady not counted: they are the chip's or the
//                  programmer's time, not protocol), measured as the
//                  difference between a full-device run and a one-byte run;
//   minimum        the protocol's minimum for the loop at 1 us per access:
//                  a verified write is program set-up (DLSEND 6 + ready 1),
//                  the data write (DLSEND 6 + ready 1), the 10 us program
//                  pulse from the data strobe's end to the verify command's
//                  strobe (of which the verify DLSEND's first 4 accesses are
//                  part: 6 more reads + DLSEND 6 + ready 1), the 6 us verify
//                  time before the read's strobe (its first access part of
//                  it: 4 more reads + DLREAD 3 + ready 2 + eight read slots
//                  32) and INC 3: 71; an erase is the clearing (the same 71)
//                  and one erase-verify read per byte (DLSEND 6 + ready 1 +
//                  4 reads + DLREAD 3 + ready 2 + slots 32 + INC 3 = 51): 122;
//   ratio          per_byte / minimum (1.00: nothing wasted);
//   virtual_s      the simulated programmer's virtual time for the whole
//                  device: what the operation takes on real hardware (one
//                  microsecond per port access, the chip's and programmer's
//                  busy periods, the 10 ms erase pulses, the power-up pauses).
// Wall time is the benchmark's own time per iteration.
//
// Run: krt_bench --benchmark_filter=Flash
#include "BenchSupport.h"

namespace krt {
namespace {

class FlashBench : public bench::SimLink<> {
public:
    FlashBench() {
        Load("FLASH", "Intel", "P28F010");
        loaded = record.maxsize == 0x20000;
        Start(&sim);
        buffer.assign(record.bufsize, 0xFF);
        for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i * 7 + 1);
        Blank();
    }

    // Protocol accesses and virtual time of one run.
    uint8_t Run(uint8_t code, uint32_t length, DeviceRecord& rec, uint64_t& protocol, double& virtualS) {
        const bench::Measured m = Measure(code, length, rec);
        protocol = m.protocol;
        virtualS = double(m.virtualNs) * 1e-9;
        return m.result;
    }

    bool loaded = true;
};

// The write's one-byte run writes one byte; the erase's covers the whole
// device whatever the range, so its one-byte run is a record of one byte.
void FlashReport(benchmark::State& state, FlashBench& b, uint8_t code, double minimum) {
    const uint32_t size = b.record.maxsize;
    uint64_t one = 0, all = 0;
    double oneS = 0, allS = 0;
    DeviceRecord small = b.record;
    if (code == 7) small.maxsize = 1;
    b.Blank();
    b.Run(code, 1, small, one, oneS);
    b.Blank();
    b.Run(code, size, b.record, all, allS);
    const double perByte = double(all - one) / double(size - 1);
    bench::ReportPerUnit(state, "per_byte", perByte, minimum);
    state.counters["virtual_s"] = allS;
}

void BM_FlashWrite28F010(benchmark::State& state) {
    FlashBench b;
    if (!b.loaded) {
        state.SkipWithError("P28F010 not in the catalogue");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        b.Blank();
        state.ResumeTiming();
        uint64_t accesses;
        double s;
        if (b.Run(5, b.record.maxsize, b.record, accesses, s) != 0) state.SkipWithError("write failed");
    }
    FlashReport(state, b, 5, 71.0);
}

void BM_FlashErase28F010(benchmark::State& state) {
    FlashBench b;
    if (!b.loaded) {
        state.SkipWithError("P28F010 not in the catalogue");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        b.Blank();
        state.ResumeTiming();
        uint64_t accesses;
        double s;
        if (b.Run(7, b.record.maxsize, b.record, accesses, s) != 0) state.SkipWithError("erase failed");
    }
    FlashReport(state, b, 7, 122.0);
}

BENCHMARK(BM_FlashWrite28F010)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FlashErase28F010)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace krt
