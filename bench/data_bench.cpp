// SPDX-License-Identifier: GPL-3.0-or-later
// 16 MiB through DataFile against srec_cat doing the same work, side by side:
// reading, writing and converting Intel HEX and Motorola S files. The
// conversion benchmarks time both in the same iteration and report
// srec_cat's time over ours as "ratio" (above 1: we are faster).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "data/DataFile.h"

namespace krt {
namespace {

namespace fs = std::filesystem;
constexpr uint32_t kDataSize = 16u << 20;

struct Files {
    fs::path dir;
    std::vector<uint8_t> image;
    bool srecCat = false;
    Files() {
        dir = fs::temp_directory_path() / ("krt-data-bench-" + std::to_string(getpid()));
        fs::create_directories(dir);
        image.resize(kDataSize);
        std::mt19937 random(1);
        for (auto& b : image) b = static_cast<uint8_t>(random());
        Write(dir / "in.hex", FORMAT_INTEL_HEX);
        Write(dir / "in.mot", FORMAT_MOTOROLA);
        Write(dir / "in.bin", FORMAT_BINARY);
        srecCat = std::system("command -v srec_cat >/dev/null 2>&1") == 0;
    }
    ~Files() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    int Write(const fs::path& p, uint32_t format) {
        DataFile f(p.string(), format);
        f.buffer = image.data();
        f.bufsize = kDataSize;
        f.length = kDataSize;
        return f.Write();
    }
    int Read(const fs::path& p, uint32_t format, std::vector<uint8_t>& into) {
        DataFile f(p.string(), format);
        f.buffer = into.data();
        f.bufsize = kDataSize;
        f.length = kDataSize;
        return f.Read();
    }
};

Files& SharedFiles() {
    static Files files;
    return files;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string Q(const fs::path& p) { return "'" + p.string() + "'"; }

void ReadOurs(benchmark::State& state, uint32_t format, const char* name) {
    Files& files = SharedFiles();
    std::vector<uint8_t> into(kDataSize);
    for (auto _ : state) {
        if (files.Read(files.dir / name, format, into) != FILE_OK) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(into.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDataSize);
}

void WriteOurs(benchmark::State& state, uint32_t format, const char* name) {
    Files& files = SharedFiles();
    for (auto _ : state)
        if (files.Write(files.dir / name, format) != FILE_OK) state.SkipWithError("write failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDataSize);
}

// srec_cat's half of the same transfer: text to binary (read), binary to text (write).
void SrecCat(benchmark::State& state, const std::string& arguments) {
    Files& files = SharedFiles();
    if (!files.srecCat) {
        state.SkipWithError("srec_cat is not installed (Debian: srecord)");
        return;
    }
    const std::string command = "cd " + Q(files.dir) + " && srec_cat " + arguments + " >/dev/null 2>&1";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("srec_cat failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDataSize);
}

// One conversion, ours then srec_cat's, timed separately.
void Convert(benchmark::State& state, const char* in, uint32_t inFormat, const char* out, uint32_t outFormat,
             const std::string& srecArguments) {
    Files& files = SharedFiles();
    if (!files.srecCat) {
        state.SkipWithError("srec_cat is not installed (Debian: srecord)");
        return;
    }
    std::vector<uint8_t> buffer(kDataSize);
    double ours = 0, theirs = 0;
    const std::string command = "cd " + Q(files.dir) + " && srec_cat " + srecArguments + " >/dev/null 2>&1";
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        std::fill(buffer.begin(), buffer.end(), 0xFF);  // the buffer cleared, as on a device load
        DataFile r(( files.dir / in).string(), inFormat);
        r.buffer = buffer.data();
        r.bufsize = kDataSize;
        r.length = kDataSize;
        const int read = r.Read();
        DataFile w((files.dir / out).string(), outFormat);
        w.buffer = buffer.data();
        w.bufsize = kDataSize;
        w.length = kDataSize;
        const int written = w.Write();
        const double mine = Seconds(t0);
        ours += mine;
        state.SetIterationTime(mine);
        if (read != FILE_OK || written != FILE_OK) state.SkipWithError("DataFile failed");
        auto t1 = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) state.SkipWithError("srec_cat failed");
        theirs += Seconds(t1);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_ms"] = 1000 * ours / n;
    state.counters["srec_cat_ms"] = 1000 * theirs / n;
    state.counters["ratio"] = ours > 0 ? theirs / ours : 0;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDataSize);
}

void BM_DataFile_ReadIntelHex16M(benchmark::State& s) { ReadOurs(s, FORMAT_INTEL_HEX, "in.hex"); }
void BM_SrecCat_ReadIntelHex16M(benchmark::State& s) { SrecCat(s, "in.hex -intel -o out-srec.bin -binary"); }
void BM_DataFile_WriteIntelHex16M(benchmark::State& s) { WriteOurs(s, FORMAT_INTEL_HEX, "out.hex"); }
void BM_SrecCat_WriteIntelHex16M(benchmark::State& s) { SrecCat(s, "in.bin -binary -o out-srec.hex -intel"); }
void BM_DataFile_ReadMotorola16M(benchmark::State& s) { ReadOurs(s, FORMAT_MOTOROLA, "in.mot"); }
void BM_SrecCat_ReadMotorola16M(benchmark::State& s) { SrecCat(s, "in.mot -motorola -o out-srec.bin -binary"); }
void BM_DataFile_WriteMotorola16M(benchmark::State& s) { WriteOurs(s, FORMAT_MOTOROLA, "out.mot"); }
void BM_SrecCat_WriteMotorola16M(benchmark::State& s) { SrecCat(s, "in.bin -binary -o out-srec.mot -motorola"); }
void BM_Convert_IntelHexToMotorola16M(benchmark::State& s) {
    Convert(s, "in.hex", FORMAT_INTEL_HEX, "conv.mot", FORMAT_MOTOROLA, "in.hex -intel -o conv-srec.mot -motorola");
}
void BM_Convert_MotorolaToIntelHex16M(benchmark::State& s) {
    Convert(s, "in.mot", FORMAT_MOTOROLA, "conv.hex", FORMAT_INTEL_HEX, "in.mot -motorola -o conv-srec.hex -intel");
}

BENCHMARK(BM_DataFile_ReadIntelHex16M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_SrecCat_ReadIntelHex16M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DataFile_WriteIntelHex16M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_SrecCat_WriteIntelHex16M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DataFile_ReadMotorola16M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_SrecCat_ReadMotorola16M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DataFile_WriteMotorola16M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_SrecCat_WriteMotorola16M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Convert_IntelHexToMotorola16M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(BM_Convert_MotorolaToIntelHex16M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

}  // namespace
}  // namespace krt
