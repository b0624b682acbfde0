// SPDX-License-Identifier: GPL-3.0-or-later
// Loading a device from the shipped catalogue: open the parameter file, find
// the section, then 28 lookups (35 on a GAL), each rescanning the file.
// Goal: a load takes well under a millisecond.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "catalogue/DeviceLoader.h"
#include "catalogue/FillDeviceRecord.h"
#include "catalogue/ParamFile.h"
#include "catalogue/TextLines.h"

namespace {

const std::string kDir = std::string(KRT_SOURCE_DIR) + "/devices";

struct Quiet : krt::LogSink {
    void line(std::string_view) override {}
};

// The list entry whose parameter file is the largest; of its devices the
// last section, which every lookup must scan past the others to reach.
int32_t LargestFileEntry(const krt::DeviceList& list) {
    int32_t best = 0;
    uintmax_t bestSize = 0;
    for (int32_t i = 0; i < list.count; ++i) {
        std::error_code ec;
        uintmax_t size = std::filesystem::file_size(kDir + "/" + list.files[i], ec);
        if (!ec && size >= bestSize) {
            bestSize = size;
            best = i;
        }
    }
    return best;
}

void LoadEntry(benchmark::State& state, const krt::Catalogue& catalogue, int32_t i) {
    const krt::DeviceList& list = catalogue.list;
    Quiet quiet;
    for (auto _ : state) {
        krt::DeviceRecord record;
        auto result = krt::LoadDeviceRecord(list, catalogue.directory, list.types[i], list.makers[i],
                                            list.names[i], 1, &quiet, record);
        if (!result.selected) state.SkipWithError("device did not load");
        benchmark::DoNotOptimize(record);
    }
    state.SetLabel(list.names[i] + " from " + list.files[i]);
}

void BM_LoadLargestParamFile(benchmark::State& state) {
    krt::Catalogue catalogue;
    if (!krt::OpenCatalogue(kDir, nullptr, catalogue)) return state.SkipWithError("no catalogue");
    LoadEntry(state, catalogue, LargestFileEntry(catalogue.list));
}
BENCHMARK(BM_LoadLargestParamFile)->Unit(benchmark::kMicrosecond);

void BM_LoadGal22V10(benchmark::State& state) {
    krt::Catalogue catalogue;
    if (!krt::OpenCatalogue(kDir, nullptr, catalogue)) return state.SkipWithError("no catalogue");
    LoadEntry(state, catalogue, catalogue.list.Find("GAL", "Lattice", "GAL22V10"));
}
BENCHMARK(BM_LoadGal22V10)->Unit(benchmark::kMicrosecond);

void BM_ReadDeviceList(benchmark::State& state) {
    const std::string path = kDir + "/DEVICE.LST";
    for (auto _ : state) {
        krt::DeviceList list(path);
        benchmark::DoNotOptimize(list.count);
    }
}
BENCHMARK(BM_ReadDeviceList)->Unit(benchmark::kMicrosecond);

}  // namespace
