// Reading speed of the satellite readers on real files: a plain GINI image
// (tige04.gini, 1.6 MB), a zlib-compressed one (TIGN02, 1.1 MB of streams
// inflating to 1.5 MB) and a COMS full disk joined from its ten LRIT
// segments (4.9 MB). Bytes per second count the file bytes read; the
// counter "Mpix/s" the pixels delivered.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "flag.h"
#include "img_tool.h"
#include "lrit.h"
#include "mess.h"
#include "sat_read.h"

namespace {

const std::string kData = ZEM_BENCH_TESTDATA;

void read_file(benchmark::State& state, int format, const std::string& rel, bool join, int files) {
    const std::string path = kData + "/" + rel;
    if (!std::filesystem::exists(path)) {
        state.SkipWithError(("test data not found: " + path).c_str());
        return;
    }
    MESS_set_str("error");
    FLAG_set(14, format);
    LRIT_set_assemble(join ? 1 : 0);
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path)) * files;
    std::int64_t pixels = 0;
    for (auto _ : state) {
        IMG_report img;
        IMG_init(&img);
        if (SAT_read_file(path.c_str(), &img) != 1) {
            state.SkipWithError("read failed");
            break;
        }
        pixels += static_cast<std::int64_t>(img.width) * img.height;
        IMG_free(&img);
    }
    state.SetBytesProcessed(bytes * state.iterations());
    state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsRate);
}

void BM_GiniPlain(benchmark::State& s) { read_file(s, kFormatAwip, "gini/tige04.gini", false, 1); }
void BM_GiniZlib(benchmark::State& s) { read_file(s, kFormatAwipZ, "gini/TIGN02", false, 1); }
void BM_LritFullDisk(benchmark::State& s) {
    read_file(s, kFormatLrit, "lrit/IMG_FD_01_IR1_20120101_024020_01.lrit", true, 10);
}

BENCHMARK(BM_GiniPlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GiniZlib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LritFullDisk)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
