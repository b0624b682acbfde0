// SPDX-License-Identifier: GPL-3.0-or-later
// The link's cost over a port that does nothing: one frame and one
// ReadReply through LinkContext, against the same register accesses made
// directly on the port. The link's overhead should stay under 10%.
#include <benchmark/benchmark.h>

#include "link/Link.h"

namespace {

// Kept out of line so that neither side can see through the port.
class NullPort final : public krt::PortIo {
public:
    __attribute__((noinline)) uint8_t read(uint16_t address) override {
        benchmark::DoNotOptimize(address);
        return 0x40;
    }
    __attribute__((noinline)) void write(uint16_t address, uint8_t value) override {
        benchmark::DoNotOptimize(address);
        benchmark::DoNotOptimize(value);
    }
};

krt::PortIo* OpaquePort(NullPort& port) {
    krt::PortIo* p = &port;
    benchmark::DoNotOptimize(p);
    return p;
}

void BM_DirectFrame(benchmark::State& state) {
    NullPort port;
    krt::PortIo* p = OpaquePort(port);
    uint16_t base = 0x378;
    benchmark::DoNotOptimize(base);
    uint8_t byte = 0;
    for (auto _ : state) {
        p->write(base, byte);
        p->write(static_cast<uint16_t>(base + 2), 0x01);
        p->write(static_cast<uint16_t>(base + 2), 0x00);
        ++byte;
    }
}
BENCHMARK(BM_DirectFrame);

void BM_LinkFrame(benchmark::State& state) {
    NullPort port;
    krt::LinkContext link;
    link.port = OpaquePort(port);
    link.portBase = 0x378;
    uint8_t byte = 0;
    for (auto _ : state) {
        link.SendFrame(byte);
        ++byte;
    }
}
BENCHMARK(BM_LinkFrame);

void BM_DirectReadReply(benchmark::State& state) {
    NullPort port;
    krt::PortIo* p = OpaquePort(port);
    uint16_t base = 0x378;
    benchmark::DoNotOptimize(base);
    for (auto _ : state) {
        unsigned value = 0;
        for (int slot = 0; slot < 8; ++slot) {
            p->write(base, 0x00);
            p->write(static_cast<uint16_t>(base + 2), 0x01);
            const unsigned bit = (p->read(static_cast<uint16_t>(base + 1)) & 0x40) ? 0u : 1u;
            value = (value >> 1) | (bit << 7);
            p->write(static_cast<uint16_t>(base + 2), 0x00);
        }
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_DirectReadReply);

void BM_LinkReadReply(benchmark::State& state) {
    NullPort port;
    krt::LinkContext link;
    link.port = OpaquePort(port);
    link.portBase = 0x378;
    for (auto _ : state) {
        uint8_t value = link.ReadReply();
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_LinkReadReply);

}  // namespace
