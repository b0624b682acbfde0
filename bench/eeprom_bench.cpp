// SPDX-License-Identifier: GPL-3.0-or-later
// A full AT28C256 write with verify on the simulated programmer, in each
// wait mode, through Dispatch as the window runs it.
//
// Reported per run:
//   per_page     register accesses per 64-byte page, the chip's own time
//                left out (status reads that found the programmer busy, and
//                the read cycles that found the chip in its write cycle),
//                measured as the difference between a full-device run and
//                a one-page run;
//   minimum      the protocol's minimum for that loop: the page write (the
//                address after two discarded replies: 82; the strobe timer:
//                12; 64 DLSEND: 384; 63 INC between them: 189; the INC
//                after them: 3), the completion wait's last look (timer 12
//                + WAITTIM 3 + one ready read 1; busy flag: timer 12 + one
//                DHREAD fetch 36; toggle bit: timer 12 + two fetches 72;
//                polling: timer 12 + one fetch 36; 20 ms sleep: 0), and the
//                page verify (address 82, timer 12, 64 x (DLREAD 3, ready 1,
//                reply 32, INC 3) = 2496);
//   ratio        per_page / minimum (1.00: nothing wasted);
//   real_hw_s    virtual time of the full write: what it takes on a real
//                programmer (1 us per register access, every sleep and wait);
//   chip_limit_s 512 page write cycles at the model's write-cycle time;
//   vs_chip      real_hw_s / chip_limit_s.
// Wall time is the benchmark's own time per iteration.
//
// Run: krt_bench --benchmark_filter=Eeprom
#include "BenchSupport.h"
#include "sim/chips/EepromChip.h"

namespace krt {
namespace {

constexpr uint32_t kBytes = 0x8000;
constexpr uint32_t kPage = 64;
constexpr uint64_t kFetchAccesses = 36;  // DLREAD/DHREAD frame, one ready read, eight slots

// Also counts the fetches that found the chip in its write cycle.
class EepromCountingPort : public bench::CountingPort {
public:
    using CountingPort::CountingPort;
    uint64_t Protocol() const { return CountingPort::Protocol() - busyFetches * kFetchAccesses; }
    void Reset() {
        CountingPort::Reset();
        busyFetches = 0;
    }

    uint64_t busyFetches = 0;

protected:
    void Wrote(uint16_t address, uint8_t value) override {
        VirtualKrt& sim = Sim();
        if (address == sim.PortBase()) data_ = value;
        if (address == sim.PortBase() + 2) {
            const uint8_t control = Control();
            // A fetch that finds the chip in its write cycle (or starts it,
            // ending the byte-load window) is the chip's time.
            if ((value & 1) && !(control & 1) && !operand_ && (data_ == 0x04 || data_ == 0x05)) {
                auto* chip = dynamic_cast<EepromChip*>(sim.SocketChip());
                if (chip && chip->Busy(sim.VirtualNs())) ++busyFetches;
            }
            if ((value & 1) && !(control & 1)) operand_ = !operand_ && data_ >= 0x08 && data_ <= 0x13;
        }
    }

private:
    uint8_t data_ = 0;
    bool operand_ = false;
};

struct Run {
    uint64_t protocol = 0;
    uint64_t virtualNs = 0;
    uint8_t result = 0xFF;
};

Run WriteOnce(const DeviceRecord& record, uint32_t length, const std::vector<uint8_t>& image) {
    bench::SimLink<EepromCountingPort> b;
    b.record = record;
    b.Blank();
    b.Start();
    b.buffer = image;
    const bench::Measured m = b.Measure(5, length);
    Run run;
    run.result = m.result;
    run.protocol = m.protocol;
    run.virtualNs = m.virtualNs;
    return run;
}

void EepromWrite(benchmark::State& state) {
    const uint8_t mode = static_cast<uint8_t>(state.range(0));
    DeviceRecord record;
    bench::LoadRecord("EEPROM", "Atmel", "AT28C256", record);
    if (record.maxsize != kBytes) {
        state.SkipWithError("AT28C256 not in the catalogue");
        return;
    }
    record.waitmode = mode;
    std::vector<uint8_t> image(kBytes);
    for (uint32_t a = 0; a < kBytes; ++a) image[a] = static_cast<uint8_t>(a * 7 + (a >> 8));

    Run full;
    for (auto _ : state) {
        full = WriteOnce(record, kBytes, image);
        if (full.result != 0) state.SkipWithError("the write failed");
    }
    const Run one = WriteOnce(record, kPage, image);
    static constexpr uint64_t kWaitMinimum[5] = {16, 48, 84, 48, 0};
    const double minimum = 82 + 12 + 6.0 * kPage + 3.0 * (kPage - 1) + 3 + kWaitMinimum[mode] + 82 + 12 + 39.0 * kPage;
    const double perPage = double(full.protocol - one.protocol) / double(kBytes / kPage - 1);
    EepromFacts facts;
    LookUpEepromPart("AT28C256", facts);
    const double cycleS = double(facts.cycleMaxNs / 2) * 1e-9;
    const double chipLimit = double(kBytes / kPage) * cycleS;
    bench::ReportPerUnit(state, "per_page", perPage, minimum);
    state.counters["real_hw_s"] = double(full.virtualNs) * 1e-9;
    state.counters["chip_limit_s"] = chipLimit;
    state.counters["vs_chip"] = double(full.virtualNs) * 1e-9 / chipLimit;
}
// Mode 1 is left out: the AT28C256 has no RDY/BUSY pin.
BENCHMARK(EepromWrite)->Arg(0)->Arg(2)->Arg(3)->Arg(4)->ArgName("waitmode")->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace krt
