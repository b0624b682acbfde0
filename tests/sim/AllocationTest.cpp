// SPDX-License-Identifier: GPL-3.0-or-later
// Ten million frames through the simulated programmer, with a chip in the
// socket, reads, pulses and supply changes, must not allocate: the register
// path is the hot path of every operation.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "SimWire.h"
#include "sim/chips/EpromChip.h"

namespace {
std::atomic<long> g_allocations{0};
}

// The replacement pair allocates with malloc and frees with free; GCC's
// mismatch analysis cannot see that they belong together.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace krt {
namespace {

using namespace simtest;

TEST(SimAllocation, TenMillionFramesAllocateNothing) {
    VirtualKrt k;
    k.SetRevisions(0x10, 0x10);
    auto chip = std::make_unique<EpromChip>("27C256", 0x8000, false, false, EpromElectrical{});
    chip->SetPulsesPerCell(2);
    k.InsertChip(std::move(chip));
    std::string error;
    ASSERT_TRUE(k.ApplyFault("weak-cells:10,20@3", error));
    Wire w(k);
    w.Cmd(DEVSET, 0);
    w.Timer(0x00, 0x02);

    // The counter sees allocations at all.
    const long probe = g_allocations.load();
    auto* vec = new std::vector<int>(10);
    delete vec;
    ASSERT_GE(g_allocations.load() - probe, 2);

    const long before = g_allocations.load();
    while (k.Frames() < 10'000'000) {
        w.Volt(0x08);
        w.Address(0);
        for (int i = 0; i < 64; ++i) {
            w.Cmd(DLSEND, static_cast<uint8_t>(i));
            w.WaitReady();
            w.Cmd(DLREAD);
            w.WaitReady();
            (void)w.Reply();
            w.Cmd(INC);
        }
        w.Volt(0x60);
        w.Cmd(REVREAD);
        (void)w.Reply();
        w.Cmd(WAITTIM);
        w.WaitReady();
    }
    EXPECT_EQ(g_allocations.load() - before, 0);
    EXPECT_GE(k.Frames(), 10'000'000u);
}

}  // namespace
}  // namespace krt
