// SPDX-License-Identifier: GPL-3.0-or-later
// GAL16V8 and GAL22V10 write (every row read back) and verify on the
// simulated programmer, through Dispatch as the window runs them, and the
// erase plus write of a GAL22V10 in simulated real-hardware time.
//
// Reported per run:
//   write_row, read_row  register accesses per array row inside the loops
//                        (busy polls of WaitReady not counted: they are the
//                        pulse's time), measured as the difference between a
//                        run over the device's rows and one over a single row;
//   write_min, read_min  the minimum for the family's loops, one frame being 3
//                        accesses, a command with operand 6, a reply 32, a
//                        ready read 1 (see RowMinimum);
//   write_ratio, read_ratio  measured / minimum (1.00: nothing beyond the protocol);
//   hw_write_s, hw_verify_s  the simulated real-hardware time of the operation
//                        (1 us per access, every sleep and pulse);
//   hw_erase_write_s     erase plus write, beside a popular USB programmer's
//                        published 5.6 s for a GAL22V10 (0.83 s erase, 4.75 s
//                        programming).
// Wall time is the benchmark's own time per iteration (goal: under 1 s).
//
// Run: krt_bench --benchmark_filter=Gal
#include "BenchSupport.h"

namespace krt {
namespace {

// The protocol's loops in accesses.
constexpr double kCmd = 6, kFetch = 3 + 1 + 32;
constexpr double kLines = 2 * kCmd;  // SetRow or ApplyLines: DLSET and DHSET
double ShiftIn(int n, bool program, bool serial) {
    double a = kCmd + kLines + n * 4 * kCmd + (serial ? kLines : 0);
    if (program) a += 2 * kCmd + kCmd + 1 + kLines;  // pulse timer, DLSEND, ready, P/V low
    return a;
}
double ShiftOut(int n) {
    return kCmd + kLines + 2 * kCmd + kFetch + kCmd + 2 * kCmd + (n - 1) * (2 * kLines + 2 * kCmd + kFetch);
}
// One array row at its first attempt (write) and as Read reads it.
double RowMinimum(bool serial, int columns, bool write) {
    if (!serial) return write ? kLines + ShiftIn(columns, true, false) + ShiftOut(columns) : kLines + ShiftOut(64);
    const int n = columns + 6;
    return write ? kLines + ShiftIn(n, true, true) + ShiftOut(n) : kLines + ShiftIn(6, false, true) + ShiftOut(n);
}

class GalBench : public bench::SimLink<> {
public:
    explicit GalBench(const char* name) {
        loaded = Load("GAL", "Lattice", name);
        Start();
        buffer.assign(record.bufsize, 0);
        for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>((i * 7 / 3) & 1);
        Blank();
    }
    uint8_t Run(uint8_t code, DeviceRecord& r) { return SimLink::Run(code, r.maxsize, r); }
    // Protocol accesses and simulated nanoseconds of one operation.
    // A cut record compares rows it did not write: only whole runs must succeed.
    std::pair<uint64_t, uint64_t> Measure(uint8_t code, DeviceRecord& r) {
        if (code == 5) Blank();
        const bench::Measured m = SimLink::Measure(code, r.maxsize, r);
        if (m.result != 0 && &r == &record) failed = true;
        return {m.protocol, m.virtualNs};
    }

    bool loaded = false;
    bool failed = false;
};

void RunGal(benchmark::State& state, const char* name) {
    GalBench b(name);
    if (!b.loaded) return state.SkipWithError("device not in the catalogue");
    for (auto _ : state) {
        state.PauseTiming();
        b.Blank();
        state.ResumeTiming();
        if (b.Run(5, b.record) != 0 || b.Run(6, b.record) != 0) state.SkipWithError("write or verify failed");
    }
    const bool serial = b.record.typecode == 7;
    // The same device cut to one line: the difference is the cost of the other rows.
    DeviceRecord one = b.record;
    one.LineNumber = 1;
    const auto [writeOne, unusedW] = b.Measure(5, one);
    const auto [readOne, unusedR] = b.Measure(6, one);
    const auto [writeAll, writeNs] = b.Measure(5, b.record);
    const auto [readAll, verifyNs] = b.Measure(6, b.record);
    (void)unusedW;
    (void)unusedR;
    const double rows = b.record.LineNumber - 1;
    const double writeRow = double(writeAll - writeOne) / rows;
    const double readRow = double(readAll - readOne) / rows;
    const double writeMin = RowMinimum(serial, b.record.ArrayLen, true);
    const double readMin = RowMinimum(serial, b.record.ArrayLen, false);
    state.counters["write_row"] = writeRow;
    state.counters["write_min"] = writeMin;
    state.counters["write_ratio"] = writeRow / writeMin;
    state.counters["read_row"] = readRow;
    state.counters["read_min"] = readMin;
    state.counters["read_ratio"] = readRow / readMin;
    state.counters["hw_write_s"] = double(writeNs) * 1e-9;
    state.counters["hw_verify_s"] = double(verifyNs) * 1e-9;
    const auto [eraseAcc, eraseNs] = b.Measure(7, b.record);
    (void)eraseAcc;
    state.counters["hw_erase_s"] = double(eraseNs) * 1e-9;
    state.counters["hw_erase_write_s"] = double(eraseNs + writeNs) * 1e-9;
    if (b.failed) state.SkipWithError("an operation failed");
}

void BM_GalWriteVerify16V8(benchmark::State& state) { RunGal(state, "GAL16V8"); }
void BM_GalWriteVerify22V10(benchmark::State& state) { RunGal(state, "GAL22V10"); }

BENCHMARK(BM_GalWriteVerify16V8)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GalWriteVerify22V10)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace krt
