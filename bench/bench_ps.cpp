// PostScript speed: a 2000 x 1500 coloured picture written as the hex image
// of a PostScript page (gload_image on the PostScript workstation), grey and
// colour. Bytes processed are the bytes written to the file.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "gks_img.h"
#include "gks_tran.h"
#include "gks_x11.h"
#include "img_tool.h"
#include "mess.h"
#include "sat_read.h"

namespace {

constexpr int kW = 2000;
constexpr int kH = 1500;

void BM_PostScriptImage(benchmark::State& state)
{
    MESS_set(0, 0);
    const bool colour = state.range(0) != 0;
    if (colour)
        setenv("zemps_param", "color", 1);
    else
        unsetenv("zemps_param");
    const std::string out = "/tmp/zem_bench_" + std::to_string(getpid()) + ".ps";
    // A page whose drawing area is 2000 x 1500 points, filled by the panel.
    const std::string conn = out + ",sz=28.28x21.34";
    gopen_gks(nullptr, 0);
    if (gopen_ws(1, conn.c_str(), 4) != 0) {
        state.SkipWithError("cannot open the PostScript workstation");
        return;
    }
    const Glim ndc{0.0f, 1.0f, 0.0f, 0.75f};
    gset_ws_win(1, &ndc);
    gset_vp(2, &ndc);
    gset_win(2, &ndc);
    gsel_norm_tran(2);
    std::vector<unsigned char> pix(static_cast<std::size_t>(kW) * kH);
    for (std::size_t i = 0; i < pix.size(); ++i) pix[i] = static_cast<unsigned char>((i * 7 + i / kW) % 256);
    std::vector<IMG_color> colors(256);
    for (int i = 0; i < 256; ++i) colors[static_cast<std::size_t>(i)] = {i / 255.0f, (255 - i) / 255.0f, 0.5f};
    IMG_report img;
    IMG_init(&img);
    img.width = kW;
    img.height = kH;
    img.depth = img.bits_pixel = 8;
    img.bytes_line = kW;
    img.num_colors = 256;
    img.colors = colors.data();
    img.data = pix.data();
    for (auto _ : state) gload_image(&img, 0, 0);
    img.colors = nullptr;
    img.data = nullptr;
    gclose_ws(1);
    gclose_gks();
    struct stat st{};
    stat(out.c_str(), &st);
    state.SetBytesProcessed(static_cast<std::int64_t>(st.st_size));
    state.counters["bytes_per_picture"] = static_cast<double>(st.st_size) / static_cast<double>(state.iterations());
    unlink(out.c_str());
}
BENCHMARK(BM_PostScriptImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
