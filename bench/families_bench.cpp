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
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "catalogue/DeviceLoader.h"
#include "families/CreateFamily.h"
#include "sim/ChipFactory.h"
#include "sim/VirtualKrt.h"

namespace krt {
namespace {

constexpr uint32_t kWords = 0x8000;

// Counts what the link does to the port and the clock.
class CountingPort : public PortIo, public Clock {
public:
    explicit CountingPort(VirtualKrt& sim) : sim_(sim) {}
    uint8_t read(uint16_t address) override {
        ++accesses;
        const uint8_t v = sim_.read(address);
        if (address == sim_.PortBase() + 1 && !(control_ & 1) && !(v & 0x40)) ++busyPolls;
        return v;
    }
    void write(uint16_t address, uint8_t value) override {
        ++accesses;
        if (address == sim_.PortBase() + 2) control_ = value;
        sim_.write(address, value);
    }
    std::chrono::nanoseconds now() override { return sim_.now(); }
    void sleepMs(unsigned ms) override {
        sleptMs += ms;
        sim_.sleepMs(ms);
    }
    void Reset() { accesses = busyPolls = sleptMs = 0; }

    uint64_t accesses = 0;
    uint64_t busyPolls = 0;
    uint64_t sleptMs = 0;

private:
    VirtualKrt& sim_;
    uint8_t control_ = 0;
};

class Bench {
public:
    Bench() : counting(sim) {
        Catalogue catalogue;
        OpenCatalogue(std::string(KRT_SOURCE_DIR) + "/devices", nullptr, catalogue);
        LoadDeviceRecord(catalogue.list, catalogue.directory, "EPROM", "AMD", "27C256", 1, nullptr, record);
        if (record.maxsize != kWords) {
            loaded = false;
            return;
        }
        link.port = &counting;
        link.clock = &counting;
        link.createFamily = &CreateFamily;
        for (auto [code, p] : {std::pair{39, 4000000}, {43, 2}, {37, 0x378}, {45, 1}, {1, 0}, {2, 0}}) {
            LinkRequest r;
            r.code = static_cast<uint8_t>(code);
            r.parameter = static_cast<uint32_t>(p);
            Dispatch(link, r, record);
        }
        buffer.assign(record.bufsize, 0xFF);
        Blank();
    }

    void Blank() {
        std::string note;
        sim.InsertChip(MakeBlankChip(record, note));
    }

    uint8_t Run(uint8_t code, uint32_t length) {
        LinkRequest r;
        r.code = code;
        r.buffer = buffer.data();
        r.length = length;
        r.permittedErrorCount = 100;
        return Dispatch(link, r, record);
    }

    VirtualKrt sim;
    CountingPort counting;
    LinkContext link;
    DeviceRecord record;
    std::vector<uint8_t> buffer;
    bool loaded = true;
};

void Report(benchmark::State& state, Bench& b, uint8_t code, double minimum) {
    // One-address run: the fixed cost of power-up, address and power-down.
    if (code == 5) b.Blank();
    b.counting.Reset();
    b.Run(code, 1);
    const uint64_t one = b.counting.accesses - b.counting.busyPolls;
    if (code == 5) b.Blank();
    b.counting.Reset();
    b.Run(code, kWords);
    const uint64_t all = b.counting.accesses - b.counting.busyPolls;
    const double perAddress = double(all - one) / double(kWords - 1);
    state.counters["per_address"] = perAddress;
    state.counters["minimum"] = minimum;
    state.counters["ratio"] = perAddress / minimum;
    state.counters["busy_polls"] = double(b.counting.busyPolls) / kWords;
    state.counters["real_port_s"] = double(b.counting.accesses) * 1e-6 + double(b.counting.sleptMs) * 1e-3;
}

void BM_FamiliesRead27C256(benchmark::State& state) {
    Bench b;
    if (!b.loaded) {
        state.SkipWithError("27C256 not in the catalogue");
        return;
    }
    for (auto _ : state) {
        if (b.Run(4, kWords) != 0) state.SkipWithError("read failed");
    }
    Report(state, b, 4, 39.0);
}

void BM_FamiliesWrite27C256(benchmark::State& state) {
    Bench b;
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
    Report(state, b, 5, 58.0);
}

BENCHMARK(BM_FamiliesRead27C256)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FamiliesWrite27C256)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace krt
