// SPDX-License-Identifier: GPL-3.0-or-later
// Full 24C256 and 93C66 reads and writes on the simulated programmer,
// through Dispatch as the window runs them.
//
// Reported per run:
//   per_unit      register accesses per byte (24C256) or word (93C66) inside
//                 the loop, busy polls of WaitReady not counted, measured as
//                 the difference between a full-device run and a one-unit
//                 run (one page on the two-wire bus) on a chip whose write
//                 cycle takes no time, so that no acknowledge polling hides
//                 in the count;
//   minimum       the protocol's cost of the loop's sequence (a command with
//                 operand is 6 accesses, without 3, a reply 32, one status
//                 read after each fetch):
//                 24C256 read, per page of 64: addressing 642, repeated start
//                 and read select 234, 64 bytes of 414, stop 30; per byte
//                 27402 / 64 = 428.16;
//                 24C256 byte write: addressing 642, data byte 204, stop 30 =
//                 876, and its read-back (the record's verify flag), a random
//                 read of one byte: 642 + 234 + 414 + 30 = 1320; 2196 in all;
//                 24C256 page write, per page: 642 + 64 x 204 + 30 = 13728,
//                 and its read-back, one page read of 27402: per byte
//                 41130 / 64 = 642.66;
//                 93C66 read: select 6, 11 bits of 12, 17 clocks and 16
//                 samples 780, deselect 6 = 924;
//                 93C66 write: write enable 144, write 336, the ready poll 48,
//                 the read-back 924 = 1452;
//   ratio         per_unit / minimum (1.00: nothing wasted). The minima
//                 count a DLSET or CSET for every line step of the
//                 sequence; the family leaves out those that would load the
//                 value the register holds already (a data bit equal to the
//                 one before, the clock already low before a stop), so the
//                 two-wire ratios come out below 1;
//   write_cycles  the chip's write cycles in the full run (the chip's own
//                 limit: 32768 byte writes or 512 page writes);
//   chip_limit_s  those cycles at the datasheet's write time;
//   real_port_s   what the full run on the real chip would take on a real
//                 printer port (1 us per access plus the sleeps).
// Wall time is the benchmark's own time per iteration, on the real chip.
//
// Run: krt_bench --benchmark_filter=Seeprom
#include "BenchSupport.h"
#include "sim/chips/SerialEepromChips.h"

namespace krt {
namespace {

class SeepBench : public bench::SimLink<> {
public:
    SeepBench(const char* maker, const char* name, bool pageWrite) {
        loaded = Load("SEEPROM", maker, name);
        record.pagewrite = pageWrite;
        Start();
        buffer.resize(record.bufsize);
        for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i * 7 + 3);
        Insert(false);
    }

    // A blank chip; `instant`: one whose write cycles take no time.
    void Insert(bool instant) {
        if (record.typecode == 3) {
            TwoWireFacts facts;
            LookUpTwoWirePart(record.name, facts);
            if (instant) facts.writeNs = 0;
            writeNs = facts.writeNs;
            sim.InsertChip(std::make_unique<TwoWireEepromChip>(record.name, facts));
        } else {
            ThreeWireFacts facts;
            LookUpThreeWirePart(record.name, facts);
            if (instant) facts.writeNs = 0;
            writeNs = facts.writeNs;
            sim.InsertChip(std::make_unique<ThreeWireEepromChip>(record.name, facts));
        }
    }

    uint64_t WriteCycles() {
        Chip* chip = sim.SocketChip();
        if (auto* two = dynamic_cast<TwoWireEepromChip*>(chip)) return two->WriteCycles();
        return dynamic_cast<ThreeWireEepromChip*>(chip)->WriteCycles();
    }

    uint64_t writeNs = 0;
    bool loaded = false;
};

void Measure(benchmark::State& state, const char* maker, const char* name, uint8_t code, bool pageWrite,
             double minimum) {
    SeepBench b(maker, name, pageWrite);
    if (!b.loaded) {
        state.SkipWithError("device not in the catalogue");
        return;
    }
    const uint32_t units = b.record.maxsize;
    uint64_t cycles = 0;
    for (auto _ : state) {
        state.PauseTiming();
        b.Insert(false);
        b.counting.Reset();
        state.ResumeTiming();
        if (b.Run(code, units) != 0) state.SkipWithError("operation failed");
        state.PauseTiming();
        cycles = b.WriteCycles();
        state.counters["real_port_s"] = b.counting.RealPortSeconds();
        state.ResumeTiming();
    }
    state.counters["write_cycles"] = double(cycles);
    state.counters["chip_limit_s"] = double(cycles) * double(b.writeNs) * 1e-9;
    // The protocol count, on a chip that is never busy.
    const uint32_t one = b.record.typecode == 3 ? b.record.pagesize : 1;
    b.Insert(true);
    const uint64_t small = b.Measure(code, one).protocol;
    b.Insert(true);
    const uint64_t all = b.Measure(code, units).protocol;
    const double perUnit = double(all - small) / double(units - one);
    bench::ReportPerUnit(state, "per_unit", perUnit, minimum);
}

void BM_SeepromRead24C256(benchmark::State& s) { Measure(s, "Atmel", "AT24C256", 4, false, 27402.0 / 64); }
void BM_SeepromWrite24C256Bytes(benchmark::State& s) { Measure(s, "Atmel", "AT24C256", 5, false, 876.0 + 1320.0); }
void BM_SeepromWrite24C256Pages(benchmark::State& s) {
    Measure(s, "Atmel", "AT24C256", 5, true, (13728.0 + 27402.0) / 64);
}
void BM_SeepromRead93C66(benchmark::State& s) { Measure(s, "Microchip", "93C66", 4, false, 924.0); }
void BM_SeepromWrite93C66(benchmark::State& s) { Measure(s, "Microchip", "93C66", 5, false, 1452.0); }

BENCHMARK(BM_SeepromRead24C256)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SeepromWrite24C256Bytes)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SeepromWrite24C256Pages)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SeepromRead93C66)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SeepromWrite93C66)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace krt
