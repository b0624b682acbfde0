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
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "catalogue/DeviceLoader.h"
#include "families/CreateFamily.h"
#include "sim/ChipFactory.h"
#include "sim/VirtualKrt.h"

namespace krt {
namespace {

constexpr uint32_t kPicWords = 0x400;

class PicCountingPort : public PortIo {
public:
    explicit PicCountingPort(VirtualKrt& sim) : sim_(sim) {}
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
    uint64_t accesses = 0;
    uint64_t busyPolls = 0;

private:
    VirtualKrt& sim_;
    uint8_t control_ = 0;
};

class PicBench {
public:
    PicBench() : counting(sim) {
        Catalogue catalogue;
        OpenCatalogue(std::string(KRT_SOURCE_DIR) + "/devices", nullptr, catalogue);
        LoadDeviceRecord(catalogue.list, catalogue.directory, "PIC", "Microchip", "PIC16F84", 1, nullptr, record);
        if (record.typecode != 4) {
            loaded = false;
            return;
        }
        link.port = &counting;
        link.clock = &sim;
        link.createFamily = &CreateFamily;
        for (auto [code, p] : {std::pair{39, 4000000}, {43, 2}, {37, 0x378}, {45, 1}, {1, 0}, {2, 0}}) {
            LinkRequest r;
            r.code = static_cast<uint8_t>(code);
            r.parameter = static_cast<uint32_t>(p);
            Dispatch(link, r, record);
        }
        buffer.assign(record.bufsize, 0x3F);
        for (size_t i = 0; i + 1 < 2 * kPicWords; i += 2) {
            buffer[i] = static_cast<uint8_t>((i * 5) & 0x3F);
            buffer[i + 1] = static_cast<uint8_t>(i * 3);
        }
        for (size_t i = 0x4000; i < buffer.size(); i += 2) buffer[i + 1] = 0xFF;
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
    PicCountingPort counting;
    LinkContext link;
    DeviceRecord record;
    std::vector<uint8_t> buffer;
    bool loaded = true;
};

void Report(benchmark::State& state, PicBench& b, uint8_t code, double minimum) {
    auto measure = [&](uint32_t words, uint64_t& accesses, uint64_t& virtualNs) {
        if (code == 5) b.Blank();
        b.counting.accesses = b.counting.busyPolls = 0;
        const uint64_t start = b.sim.VirtualNs();
        b.Run(code, words);
        virtualNs = b.sim.VirtualNs() - start;
        accesses = b.counting.accesses - b.counting.busyPolls;
    };
    uint64_t one = 0, all = 0, ns = 0;
    measure(1, one, ns);
    measure(kPicWords, all, ns);
    const double perWord = double(all - one) / double(kPicWords - 1);
    state.counters["per_word"] = perWord;
    state.counters["minimum"] = minimum;
    state.counters["ratio"] = perWord / minimum;
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
    Report(state, b, 5, 1308.0);
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
    Report(state, b, 4, 912.0);
}

BENCHMARK(BM_PicWrite16F84)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PicRead16F84)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace krt
