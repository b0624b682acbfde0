// SPDX-License-Identifier: GPL-3.0-or-later
// The dump window's rows at the end of a 16 MiB buffer: what one scroll step
// or jump costs before the grid is painted (goal: under 5 ms), and the
// checksum box's sum over the whole buffer.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "catalogue/DeviceRecord.h"
#include "data/BufferChecksum.h"
#include "data/DataBuffer.h"
#include "data/DumpRows.h"

namespace krt {
namespace {

constexpr uint32_t kDumpSize = 16u << 20;

struct Image {
    DeviceRecord record;
    DataBuffer buffer;
    OperationRange range;
    Image() {
        record.maxsize = record.bufsize = kDumpSize;
        record.bytesPerWord = 1;
        buffer.Allocate(kDumpSize);
        std::mt19937 random(1);
        for (uint32_t i = 0; i < kDumpSize; ++i) buffer[i] = static_cast<uint8_t>(random());
        range.Reset(kDumpSize);
    }
};

Image& SharedImage() {
    static Image image;
    return image;
}

void BM_DumpFillAtTheEnd(benchmark::State& state) {
    Image& image = SharedImage();
    const bool words = state.range(0) != 0;
    if (words) {
        image.record.wordsize = 1;
        image.record.bytesPerWord = 2;
    }
    const DumpSource source = DumpSourceOf(image.record, image.buffer);
    const DumpLayout layout = DumpSetup(source, words);
    DumpPage page;
    uint32_t step = 0;
    for (auto _ : state) {
        // The last page, alternating with the one above it: one scroll step.
        DumpFill(source, layout, layout.scrollMaximum - 16 - (step++ & 1), page);
        benchmark::DoNotOptimize(page.cells[15][0].data());
    }
    image.record.wordsize = 0;
    image.record.bytesPerWord = 1;
}
BENCHMARK(BM_DumpFillAtTheEnd)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ChecksumOfSixteenMegabytes(benchmark::State& state) {
    Image& image = SharedImage();
    for (auto _ : state) benchmark::DoNotOptimize(BufferChecksum(image.record, image.buffer, image.range));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDumpSize);
}
BENCHMARK(BM_ChecksumOfSixteenMegabytes)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace krt
