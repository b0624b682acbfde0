// SPDX-License-Identifier: GPL-3.0-or-later
// What an operation costs on a real programmer, one benchmark per family:
// the whole chip on the simulated programmer with the shipped catalogue and
// the settings krt starts with (clock 3.5 MHz, power circuit 2, the record
// as loaded: verify on), a blank chip of the record's kind, random data.
// docs/timing.md shows these rows.
//
// Reported per run (one iteration: the simulated time is deterministic):
//   sim_s     the simulator's virtual time of the operation (1 us per port
//             access, every sleep and chip delay): what `krt --port sim`
//             prints;
//   chip_s    the chip's own limit by its datasheet: the write cycles,
//             pulses and waits the operation cannot do without (each
//             benchmark says which);
//   ratio     sim_s / chip_s;
//   link_s    (serial EEPROMs) the link's own bound for reading the chip
//             back: every data bit costs a clock up (DLSET, 6 accesses), a
//             DLREAD (3), a ready read (1), eight read slots (32) and a
//             clock down (6): 48 us;
//   goal_s    the goal this row was given.
// Wall time is the benchmark's own time.
//
// Run: krt_bench --benchmark_filter=Timing
#include <random>
#include <string>

#include "BenchSupport.h"
#include "data/DataBuffer.h"
#include "sim/chips/EepromChip.h"
#include "sim/chips/FlashChip.h"
#include "sim/chips/Flash5vChip.h"
#include "sim/chips/GalChip.h"
#include "sim/chips/SerialEepromChips.h"

namespace krt {
namespace {

constexpr uint32_t kKrtClockHz = 3500000;
constexpr double kUs = 1e-6, kMs = 1e-3;
// One data bit read back over the serial buses, in port accesses of 1 us.
constexpr double kReadBitS = 48 * kUs;

struct Timing : bench::SimLink<> {
    Timing(const char* type, const char* maker, const char* name) {
        clockHz = kKrtClockHz;
        loaded = Load(type, maker, name);
        if (!loaded) return;
        Start(&sim);
        link.log = &lines;
        // The buffer as the window clears it for the device.
        DataBuffer cleared;
        OperationRange range;
        cleared.Allocate(record.bufsize);
        ClearBuffer(cleared, record, range);
        buffer.assign(cleared.data(), cleared.data() + cleared.size());
        Blank();
    }
    void Random(size_t bytes, uint8_t mask = 0xFF) {
        std::mt19937 random(22);
        for (size_t i = 0; i < bytes && i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(random() & mask);
    }
    // One operation over the whole device; its virtual seconds, or a skip.
    double Seconds(benchmark::State& state, uint8_t code) {
        const Measured m = Measure(code, record.maxsize);
        if (m.result != 0)
            state.SkipWithError(("result " + std::to_string(m.result) + ": " + lines.last).c_str());
        return double(m.virtualNs) * 1e-9;
    }
    template <class C>
    C* Socket() {
        return dynamic_cast<C*>(sim.SocketChip());
    }

    using Measured = bench::Measured;
    // The last line the operation logged, for a failure's message.
    struct LastLine : LogSink {
        void line(std::string_view utf8) override { last = utf8; }
        std::string last;
    } lines;
    bool loaded = false;
};

void TimingReport(benchmark::State& state, double simS, double chipS, double goalS, double linkS = 0) {
    state.counters["sim_s"] = simS;
    state.counters["chip_s"] = chipS;
    state.counters["ratio"] = simS / chipS;
    state.counters["goal_s"] = goalS;
    if (linkS > 0) state.counters["link_s"] = linkS;
}

bool Loaded(benchmark::State& state, const Timing& t) {
    if (!t.loaded) state.SkipWithError("device not in the catalogue");
    return t.loaded;
}

// AT28C256 write with verify: 512 page cycles at the datasheet's tWC
// maximum (10 ms). The simulated part ends its cycle in half of that, as
// DATA polling sees it.
void BM_TimingWriteAT28C256(benchmark::State& state) {
    Timing t("EEPROM", "Atmel", "AT28C256");
    if (!Loaded(state, t)) return;
    t.Random(t.record.bufsize);
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 5);
    EepromFacts facts;
    LookUpEepromPart("AT28C256", facts);
    const auto* chip = t.Socket<EepromChip>();
    TimingReport(state, s, double(chip ? chip->Cycles() : 0) * double(facts.cycleMaxNs) * 1e-9, 5.3);
}

// 24C256 write (a page per write cycle) and erase (FF a page per cycle):
// 512 cycles of tWR 5 ms; both read the whole chip back when verifying.
// Arg: 1 verify on (as loaded), 0 off (the editor's check box).
void Seeprom24C256(benchmark::State& state, uint8_t code) {
    Timing t("SEEPROM", "Atmel", "AT24C256");
    if (!Loaded(state, t)) return;
    t.record.verify = static_cast<uint8_t>(state.range(0));
    t.Random(t.record.bufsize);
    if (code == 7) t.Run(5, t.record.maxsize);  // a written chip to erase
    const uint64_t before = t.Socket<TwoWireEepromChip>()->WriteCycles();
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, code);
    TwoWireFacts facts;
    LookUpTwoWirePart("AT24C256", facts);
    const uint64_t cycles = t.Socket<TwoWireEepromChip>()->WriteCycles() - before;
    const double readBack = t.record.verify ? double(t.record.maxsize) * 8 * kReadBitS : 0;
    TimingReport(state, s, double(cycles) * double(facts.writeNs) * 1e-9, 10.0, readBack);
}
void BM_TimingWrite24C256(benchmark::State& state) { Seeprom24C256(state, 5); }
void BM_TimingErase24C256(benchmark::State& state) { Seeprom24C256(state, 7); }

// 93C66 write: 256 word writes of 2 ms; erase: one ERAL of 6 ms, then
// (verifying) the 4096 bits read back.
void BM_TimingWrite93C66(benchmark::State& state) {
    Timing t("SEEPROM", "Microchip", "93C66");
    if (!Loaded(state, t)) return;
    t.Random(t.record.bufsize);
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 5);
    ThreeWireFacts facts;
    LookUpThreeWirePart("93C66", facts);
    TimingReport(state, s, double(t.Socket<ThreeWireEepromChip>()->WriteCycles()) * double(facts.writeNs) * 1e-9, 1.0,
           double(t.record.maxsize) * 16 * kReadBitS);
}
void BM_TimingErase93C66(benchmark::State& state) {
    Timing t("SEEPROM", "Microchip", "93C66");
    if (!Loaded(state, t)) return;
    t.record.verify = static_cast<uint8_t>(state.range(0));
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 7);
    ThreeWireFacts facts;
    LookUpThreeWirePart("93C66", facts);
    TimingReport(state, s, double(facts.eraseAllNs) * 1e-9, 0.1,
           t.record.verify ? double(t.record.maxsize) * 16 * kReadBitS : 0);
}

// PIC16F84A write: 1024 program words of TPROG 8 ms. Read: no stated
// limit; the waits a read must make are 1 us from each command to its data
// and 1 us after the data, and after the increment command: 3 us for each
// of the 1024 words and 64 data bytes.
void BM_TimingWritePIC16F84A(benchmark::State& state) {
    Timing t("PIC", "Microchip", "PIC16F84A");
    if (!Loaded(state, t)) return;
    t.Random(2 * 1024);
    for (size_t i = 0; i < 2 * 1024; i += 2) t.buffer[i] &= 0x3F;  // 14-bit words, high byte first
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 5);
    TimingReport(state, s, 1024 * 8 * kMs, 12.0);
}
void BM_TimingReadPIC16F84A(benchmark::State& state) {
    Timing t("PIC", "Microchip", "PIC16F84A");
    if (!Loaded(state, t)) return;
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 4);
    TimingReport(state, s, (1024 + 64) * 3 * kUs, 1.6);
}

// 28F010 write: every program pulse of 10 us and the 6 us before its
// verify read. Erase: the same for programming every byte to 00 first,
// each erase pulse of 10 ms, and the 6 us before each erase-verify read.
void BM_TimingWrite28F010(benchmark::State& state) {
    Timing t("FLASH", "Intel", "P28F010");
    if (!Loaded(state, t)) return;
    t.Random(t.record.bufsize);
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 5);
    TimingReport(state, s, double(t.Socket<FlashChip>()->ProgramPulses()) * 16 * kUs, 10.7);
}
void BM_TimingErase28F010(benchmark::State& state) {
    Timing t("FLASH", "Intel", "P28F010");
    if (!Loaded(state, t)) return;
    t.Random(t.record.bufsize);
    t.Run(5, t.record.maxsize);  // a written chip to erase
    const FlashChip* chip = t.Socket<FlashChip>();
    const uint32_t pulses = chip->ProgramPulses(), erases = chip->ErasePulses();
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 7);
    const double chipS = double(chip->ProgramPulses() - pulses) * 16 * kUs +
                         double(chip->ErasePulses() - erases) * 10 * kMs + double(t.record.maxsize) * 6 * kUs;
    TimingReport(state, s, chipS, 17.3);
}

// 27C256 write: one 100 us pulse for each byte that is not FF (the
// simulated part takes its data at the first pulse).
void BM_TimingWrite27C256(benchmark::State& state) {
    Timing t("EPROM", "AMD", "27C256");
    if (!Loaded(state, t)) return;
    t.Random(t.record.bufsize);
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 5);
    uint32_t programmed = 0;
    for (uint32_t a = 0; a < t.record.maxsize; ++a) programmed += t.buffer[a] != 0xFF;
    TimingReport(state, s, double(programmed) * 100 * kUs, 5.6);
}

// GAL22V10 erase, then write: each power-up into edit mode waits 100 ms
// with Vcc on and 20 ms after Vpp; the erase pulse is 100 ms; the write
// strobes 44 array rows, the signature row and the configuration row for
// 40 ms each (the PES's algorithm 2).
void BM_TimingEraseWriteGAL22V10(benchmark::State& state) {
    Timing t("GAL", "Lattice", "GAL22V10");
    if (!Loaded(state, t)) return;
    t.Random(t.record.bufsize, 0x01);
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 7) + t.Seconds(state, 5);
    TimingReport(state, s, 2 * 120 * kMs + 100 * kMs + 46 * 40 * kMs, 4.5);
}

// Atmel ATF erase, then write, with the catalogue's values. The floor:
// the pulses (one erase of erasepulse, tpw for each row the chip took),
// the waits (erase: the identity read's power-up of galsettle and
// galentry, the rise to the programming level of galentry, galdown, and
// the read-back's power-up; write: the same without the read-back; the
// erase row's settling, 1 ms, or 100 ms and 1 ms per serially addressed
// row read on a 22V10), and the port: every fuse shifted in once (4 DLSET
// of 6 accesses: 24 us) and read out twice, by the write's row read-back
// and by the erase's check (6 DLSET/DHSET and a sampled DLREAD: 72 us).
void AtfEraseWrite(benchmark::State& state, const char* name, double goalS) {
    Timing t("GAL", "Atmel", name);
    if (!Loaded(state, t)) return;
    t.Random(t.record.bufsize, 0x01);
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 7) + t.Seconds(state, 5);
    const DeviceRecord& r = t.record;
    const auto* chip = t.Socket<GalChip>();
    const double powerUp = r.galsettle + r.galentry;
    const bool serial = r.typecode == 7;
    const double waits = 2 * (powerUp + r.galentry + r.galdown) + powerUp +
                         (serial ? 0.1 + double(r.LineNumber) * kMs : 1 * kMs);
    const double pulses = r.erasepulse + double(chip ? chip->ProgramStrobes() : 0) * r.tpw;
    const double port = double(r.maxsize) * (24 + 72 + 72) * kUs;
    TimingReport(state, s, waits + pulses + port, goalS);
}
void BM_TimingEraseWriteATF16V8B(benchmark::State& state) { AtfEraseWrite(state, "ATF16V8B", 2.09); }
void BM_TimingEraseWriteATF22V10C(benchmark::State& state) { AtfEraseWrite(state, "ATF22V10C", 3.19); }

// Images that leave most of the chip alone. Blank words of the file are
// not programmed where the chip is blank (after the automatic write's
// blank check without a look, in a plain write after reading them), and a
// parallel EEPROM with changedonly reads each page and writes only those
// that differ. chip_s: the pulses of the words that carry data (27C512:
// 100 us each; 28F010: 16 us each), the one page cycle (AT28C256: 10 ms),
// the 256 PIC words of 8 ms.
// 27C512, 16 KB of code and the rest FF, on a blank chip: Arg 1 `auto`
// (blank check, write, verify), 0 write.
void BM_TimingSparse27C512(benchmark::State& state) {
    Timing t("EPROM", "AMD", "27C512");
    if (!Loaded(state, t)) return;
    t.Random(16 * 1024);
    const bool automatic = state.range(0) != 0;
    double s = 0;
    for (auto _ : state) {
        t.link.automaticWrite = automatic;
        s = automatic ? t.Seconds(state, 9) + t.Seconds(state, 5) + t.Seconds(state, 6) : t.Seconds(state, 5);
        t.link.automaticWrite = false;
    }
    TimingReport(state, s, 16 * 1024 * 100 * kUs, automatic ? 9.0 : 6.5);
}
// 28F010, its first quarter random and the rest FF, write on a blank chip.
void BM_TimingSparse28F010(benchmark::State& state) {
    Timing t("FLASH", "Intel", "P28F010");
    if (!Loaded(state, t)) return;
    t.Random(t.record.maxsize / 4);
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 5);
    TimingReport(state, s, double(t.record.maxsize / 4) * 16 * kUs, 4.0);
}
// AT28C256 holding a random image, rewritten with one byte changed; Arg:
// changedonly.
void BM_TimingOnePageAT28C256(benchmark::State& state) {
    Timing t("EEPROM", "Atmel", "AT28C256");
    if (!Loaded(state, t)) return;
    t.Random(t.record.bufsize);
    auto* chip = t.Socket<EepromChip>();
    for (uint32_t a = 0; a < t.record.maxsize; ++a) chip->SetCell(a, t.buffer[a]);
    t.buffer[0x1234] ^= 0x01;
    t.record.changedonly = static_cast<uint8_t>(state.range(0));
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 5);
    TimingReport(state, s, 10 * kMs, 1.5);
}
// PIC16F84A, its first 256 program words random and the rest 3FFF, write
// on a blank chip.
void BM_TimingSparsePIC16F84A(benchmark::State& state) {
    Timing t("PIC", "Microchip", "PIC16F84A");
    if (!Loaded(state, t)) return;
    t.Random(2 * 256);
    for (size_t i = 0; i < 2 * 256; i += 2) t.buffer[i] &= 0x3F;
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 5);
    TimingReport(state, s, 256 * 8 * kMs, 11.0);
}
// 5 V flash. The protocol's floor for a byte program sequence, per byte:
// the four bus write cycles with their address latches (12 commands of two
// frames, 72 port accesses), the program time (14 us typical on the
// SST39SF010A), and one read of the byte (DLREAD, the 3 us fetch, eight
// reply slots: 38 accesses), which both ends the wait and verifies it; plus
// the power-up every write takes (500 ms supplies, 300 ms socket) and the
// product ID (two 10 ms pauses).
constexpr double kPowerUpAndIdS = 0.82;
void BM_TimingWriteSST39SF010A(benchmark::State& state) {
    Timing t("FLASH5V", "SST", "SST39SF010A");
    if (!Loaded(state, t)) return;
    t.Random(t.record.bufsize);
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 5);
    const double floorS = kPowerUpAndIdS + double(t.Socket<Flash5vChip>()->Programs()) * (72 + 14 + 38) * kUs;
    TimingReport(state, s, floorS, 1.3 * floorS);
}
// Chip erase: the datasheet's 70 ms after the power-up and the ID; the
// goal is a tenth more of the erase.
void BM_TimingEraseSST39SF010A(benchmark::State& state) {
    Timing t("FLASH5V", "SST", "SST39SF010A");
    if (!Loaded(state, t)) return;
    t.Random(t.record.bufsize);
    t.Run(5, t.record.maxsize);
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 7);
    TimingReport(state, s, kPowerUpAndIdS + 70 * kMs, kPowerUpAndIdS + 77 * kMs);
}
// AT29C010A: 1024 sector cycles of 10 ms.
void BM_TimingWriteAT29C010A(benchmark::State& state) {
    Timing t("FLASH5V", "Atmel", "AT29C010A");
    if (!Loaded(state, t)) return;
    t.Random(t.record.bufsize);
    double s = 0;
    for (auto _ : state) s = t.Seconds(state, 5);
    const double chipS = kPowerUpAndIdS + double(t.Socket<Flash5vChip>()->Programs()) * 10 * kMs;
    TimingReport(state, s, chipS, 1.3 * chipS);
}

BENCHMARK(BM_TimingWriteAT28C256)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingWrite24C256)->Arg(1)->Arg(0)->ArgName("verify")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingErase24C256)->Arg(1)->Arg(0)->ArgName("verify")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingWrite93C66)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingErase93C66)->Arg(1)->Arg(0)->ArgName("verify")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingWritePIC16F84A)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingReadPIC16F84A)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingWrite28F010)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingErase28F010)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingWrite27C256)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingEraseWriteGAL22V10)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingEraseWriteATF16V8B)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingEraseWriteATF22V10C)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingSparse27C512)->Arg(1)->Arg(0)->ArgName("auto")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingSparse28F010)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingOnePageAT28C256)->Arg(1)->Arg(0)->ArgName("changedonly")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingSparsePIC16F84A)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingWriteSST39SF010A)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingEraseSST39SF010A)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TimingWriteAT29C010A)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace krt
