// SPDX-License-Identifier: GPL-3.0-or-later
// Full PIC16F84 write and read on the simulated programmer, through Dispatch
// as the window runs them.
//
// Reported per run:
//   per_word      register accesses per program word inside the loop (busy
//                 polls of WaitReady not counted: they are the fetch's time,
//                 not protocol), measured as the difference between a
//                 1024-word run and a one-word run;
//   minimum       the protocol's minimum for the loop: a command costs the
//                 timer (TIMLOSET, TIMHISET), CSET, DLSET, DHSET and two
//                 DHSET per command bit, 34 frames = 102 accesses; a load
//                 adds 16 clocks of two DHSET (192); a read adds CSET twice,
//                 16 clocks and per data bit DLREAD (3), one ready read (1)
//                 and eight read slots (32): 810 in all. A word read is read
//                 + increment = 912; a word written is load (294) + begin
//                 programming (102) + read (810) + increment (102) = 1308;
//   ratio         per_word / minimum (1.00: nothing wasted);
//   sim_real_s    the virtual time of the whole operation: what it takes on
//                 a real programmer (1 us per port access, every wait);
// Wall time is the benchmark's own time per iteration.
//
// Run: krt_bench --benchmark_filter=Pic
#include "BenchSupport.h"

namespace krt {
namespace {

constexpr uint32_t kPicWords = 0x400;

class PicBench : public bench::SimLink<> {
public:
    PicBench() {
        Load("PIC", "Microchip", "PIC16F84");
        if (record.typecode != 4) {
            loaded = false;
            return;
        }
        Start(&sim);
        buffer.assign(record.bufsize, 0x3F);
        for (size_t i = 0; i + 1 < 2 * kPicWords; i += 2) {
            buffer[i] = static_cast<uint8_t>((i * 5) & 0x3F);
            buffer[i + 1] = static_cast<uint8_t>(i * 3);
        }
        for (size_t i = 0x4000; i < buffer.size(); i += 2) buffer[i + 1] = 0xFF;
        Blank();
    }

    bool loaded = true;
};

void PicReport(benchmark::State& state, PicBench& b, uint8_t code, double minimum) {
    auto measure = [&](uint32_t words, uint64_t& accesses, uint64_t& virtualNs) {
        if (code == 5) b.Blank();
        const bench::Measured m = b.Measure(code, words);
        virtualNs = m.virtualNs;
        accesses = m.protocol;
    };
    uint64_t one = 0, all = 0, ns = 0;
    measure(1, one, ns);
    measure(kPicWords, all, ns);
    const double perWord = double(all - one) / double(kPicWords - 1);
    bench::ReportPerUnit(state, "per_word", perWord, minimum);
    state.counters["sim_real_s"] = double(ns) * 1e-9;
}

void BM_PicWrite16F84(benchmark::State& state) {
    PicBench b;
    if (!b.loaded) {
        state.SkipWithError("PIC16F84 not in the catalogue");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        b.Blank();
        state.ResumeTiming();
        if (b.Run(5, kPicWords) != 0) state.SkipWithError("write failed");
    }
    PicReport(state, b, 5, 1308.0);
}

void BM_PicRead16F84(benchmark::State& state) {
    PicBench b;
    if (!b.loaded) {
        state.SkipWithError("PIC16F84 not in the catalogue");
        return;
    }
    for (auto _ : state) {
        if (b.Run(4, kPicWords) != 0) state.SkipWithError("read failed");
    }
    PicReport(state, b, 4, 912.0);
}

BENCHMARK(BM_PicWrite16F84)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PicRead16F84)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace krt
