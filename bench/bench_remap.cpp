// Remapping speed: a synthetic 5424 x 5424 full-disk geostationary image
// (satellite-view projection, 56 microradians per pixel, sub-point 0N 75W)
// onto a 2000 x 1500 Lambert conformal domain over North America, with
// navigation every 20th pixel or every pixel, bilinear or nearest. A second
// case remaps a real GVAR AREA file through its satellite navigation.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "flag.h"
#include "img_tool.h"
#include "mess.h"
#include "region.h"
#include "resrc.h"
#include "sat_read.h"
#include "sat_tool.h"

#include "bench_disk.h"

namespace {

// 32-bit FNV-1a of the remapped pixels: equal values in two builds show that
// a faster remapper still produces the same image.
double pixel_hash(const IMG_report& img)
{
    std::uint32_t h = 2166136261u;
    const std::size_t n = static_cast<std::size_t>(img.width) * static_cast<std::size_t>(img.height);
    for (std::size_t k = 0; k < n; ++k) h = (h ^ img.data[k]) * 16777619u;
    return static_cast<double>(h);
}

const std::vector<unsigned char>& disk_pixels()
{
    static const std::vector<unsigned char> px = [] {
        std::vector<unsigned char> v(static_cast<std::size_t>(kDisk) * kDisk);
        for (int i = 0; i < kDisk; ++i)
            for (int j = 0; j < kDisk; ++j)
                v[static_cast<std::size_t>(i) * kDisk + j] = disk_count(i, j, 0);
        return v;
    }();
    return px;
}

IMG_report disk_image()
{
    IMG_report img;
    IMG_init(&img);
    img.source = 59;
    img.width = img.height = kDisk;
    img.depth = img.bits_pixel = 8;
    img.bytes_line = kDisk;
    img.domain = disk_domain();
    const auto& px = disk_pixels();
    img.data = static_cast<unsigned char*>(std::malloc(px.size()));
    std::memcpy(img.data, px.data(), px.size());
    return img;
}

// Times SAT_remap_image of the disk onto the Lambert domain per pass;
// `fresh` drops the kept positions first, as for the first frame of a loop.
// Sets the pixel hash and the sampled non-zero counters.
void remap_disk_passes(benchmark::State& state, bool fresh)
{
    long nonzero = 0;
    double hash = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        IMG_report img = disk_image();
        Domain out = lambert_domain();
        if (fresh) SAT_remap_cache(0);
        SAT_remap_cache(1);
        state.ResumeTiming();
        SAT_remap_image(&img, &out);
        state.PauseTiming();
        nonzero = 0;
        for (int k = 0; k < kOutW * kOutH; k += 997) nonzero += img.data[k] != 0;
        hash = pixel_hash(img);
        IMG_free(&img);
        state.ResumeTiming();
    }
    state.counters["out_Mpix_per_s"] = benchmark::Counter(
        static_cast<double>(kOutW) * kOutH * 1e-6 * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
    state.counters["sampled_nonzero"] = static_cast<double>(nonzero);
    state.counters["pixel_hash"] = hash;
}

void BM_RemapDiskToLambert(benchmark::State& state)
{
    MESS_set_str("none");
    SAT_set_tran_sat(0);
    SAT_reset_params();
    SAT_params p{};
    SAT_get_params(&p);
    p.remap_inc = static_cast<int>(state.range(0));
    p.pix_ave = static_cast<int>(state.range(1));
    SAT_set_params(&p);
    remap_disk_passes(state, true);
}

// A loop frame whose navigation and domain equal the last one's: the
// remap reuses the source positions of every output pixel, and what is left
// is the sampling. Set against a plain copy of the output's bytes.
void BM_RemapDiskCached(benchmark::State& state)
{
    MESS_set_str("none");
    SAT_set_tran_sat(0);
    SAT_reset_params();
    SAT_remap_cache(0);
    SAT_remap_cache(1);
    {
        IMG_report warm = disk_image();
        Domain out = lambert_domain();
        SAT_remap_image(&warm, &out);
        IMG_free(&warm);
    }
    const int hits = SAT_remap_cache(1);
    remap_disk_passes(state, false);
    if (SAT_remap_cache(1) - hits != static_cast<int>(state.iterations())) state.SkipWithError("positions not reused");
}

void BM_MemcpyOutput(benchmark::State& state)
{
    std::vector<unsigned char> a(static_cast<std::size_t>(kOutW) * kOutH, 7), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
}

// The 1.4 MB GVAR water-vapour AREA file of the test data onto the built-in
// "us" region sized to a 1600 x 1200 window, through the satellite
// navigation (exact navigation is the iterative GVAR inverse).
void BM_RemapGvarToUs(benchmark::State& state)
{
    const std::string path = std::string(ZEM_BENCH_TESTDATA) + "/area/cmx3g8_wv_1998.260_0745_mcidas.ara";
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("test data not found");
        return;
    }
    std::string a0 = "bench", a1 = "-me", a2 = "none", a3 = "-ge", a4 = "1600x1200";
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), nullptr};
    const res_type keys[] = {RES_message, RES_geometry, RES_null};
    const res_type pos[] = {RES_filenames, RES_null};
    RES_init(5, argv, keys, pos);
    SAT_reset_params();
    SAT_set_tran_sat(1);
    FLAG_set(14, 51);
    IMG_report src;
    IMG_init(&src);
    if (SAT_read_file(path.c_str(), &src) != 1) {
        state.SkipWithError("cannot read the AREA file");
        return;
    }
    SAT_params p{};
    SAT_get_params(&p);
    p.remap_inc = static_cast<int>(state.range(0));
    SAT_set_params(&p);
    SAT_remap_cache(0);
    Domain us;
    DOM_get_def_region("us", &us);
    SAT_domain_image(&us);
    double hash = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        IMG_report img;
        IMG_init(&img);
        IMG_copy(&img, &src);
        Domain out = us;
        state.ResumeTiming();
        SAT_remap_image(&img, &out);
        state.PauseTiming();
        hash = pixel_hash(img);
        IMG_free(&img);
        state.ResumeTiming();
    }
    IMG_free(&src);
    state.counters["pixel_hash"] = hash;
    state.counters["out_Mpix_per_s"] = benchmark::Counter(
        static_cast<double>(us.nx) * us.ny * 1e-6 * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}

}  // namespace

// Arguments: remap_inc, pix_ave.
BENCHMARK(BM_RemapDiskToLambert)
    ->Args({20, 1})
    ->Args({20, 0})
    ->Args({1, 1})
    ->Args({1, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(BM_RemapDiskCached)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemcpyOutput)->Unit(benchmark::kMillisecond)->UseRealTime();

// Argument: remap_inc.
BENCHMARK(BM_RemapGvarToUs)->Arg(20)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
