// GIF writing speed: a 2000 x 1500 8-bit picture through GIF_write (palette
// pass, LZW coding, file) and through GIF_encode alone (indices to bytes in
// memory). Bytes processed are the picture's pixels; the "ratio" counter is
// file size over pixels.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gif.h"
#include "img_tool.h"
#include "mess.h"

namespace {

constexpr int kW = 2000;
constexpr int kH = 1500;

// A scene with the texture of an infrared picture (smooth gradients, bright
// bands, a few levels of noise), or pure noise over 256 levels, the coder's
// worst case.
std::vector<unsigned char> scene(bool noise)
{
    std::vector<unsigned char> v(static_cast<std::size_t>(kW) * kH);
    unsigned seed = 12345;
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) {
            seed = seed * 1103515245u + 12345u;
            int c = noise ? static_cast<int>(seed >> 24)
                          : 90 + (x * 60) / kW + (y * 40) / kH + static_cast<int>(seed >> 30);
            if (!noise && ((x + 2 * y) / 97) % 5 == 0) c += 90;
            v[static_cast<std::size_t>(y) * kW + x] = static_cast<unsigned char>(c > 255 ? 255 : c);
        }
    return v;
}

void BM_GifWrite(benchmark::State& state)
{
    MESS_set(0, 0);
    const auto pixels = scene(state.range(0) != 0);
    const std::string file = "/tmp/bench_gif_" + std::to_string(getpid()) + ".gif";
    long size = 0;
    for (auto _ : state) {
        IMG_report img;
        IMG_init(&img);
        img.width = img.bytes_line = kW;
        img.height = kH;
        img.depth = img.bits_pixel = 8;
        img.data = static_cast<unsigned char*>(std::malloc(pixels.size()));
        std::memcpy(img.data, pixels.data(), pixels.size());
        if (GIF_write(file.c_str(), &img) != 1) state.SkipWithError("GIF_write failed");
        IMG_free(&img);
        if (FILE* f = std::fopen(file.c_str(), "rb")) {
            std::fseek(f, 0, SEEK_END);
            size = std::ftell(f);
            std::fclose(f);
        }
    }
    std::remove(file.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kW * kH);
    state.counters["ratio"] = static_cast<double>(size) / (kW * kH);
}
BENCHMARK(BM_GifWrite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_GifEncode(benchmark::State& state)
{
    const auto pixels = scene(state.range(0) != 0);
    std::vector<std::uint8_t> rgb(256 * 3);
    for (int i = 0; i < 256; ++i) rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = static_cast<std::uint8_t>(i);
    GIF_picture pic;
    pic.width = kW;
    pic.height = kH;
    pic.index = pixels.data();
    pic.rgb = rgb.data();
    pic.num_colors = 256;
    std::vector<std::uint8_t> out;
    for (auto _ : state) {
        GIF_encode(pic, false, &out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kW * kH);
    state.counters["ratio"] = static_cast<double>(out.size()) / (kW * kH);
}
BENCHMARK(BM_GifEncode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
