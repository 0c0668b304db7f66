// Display speed: colouring a 2000 x 1500 satellite image through the
// enhancement tables (SAT_color_image) and putting the coloured image into
// an X11 window (gload_image), which converts it to the screen's pixel
// format. Needs an X server: run under xvfb-run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "colors.h"
#include "gks_img.h"
#include "gks_tran.h"
#include "gks_x11.h"
#include "img_tool.h"
#include "mess.h"
#include "sat_read.h"
#include "sat_tool.h"

namespace {

constexpr int kW = 2000;
constexpr int kH = 1500;

// Counts of a plausible scene: smooth gradients with a few bright bands.
std::vector<unsigned char> scene()
{
    std::vector<unsigned char> v(static_cast<std::size_t>(kW) * kH);
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) {
            int c = 90 + (x * 60) / kW + (y * 40) / kH;
            if (((x + 2 * y) / 97) % 5 == 0)
                c += 90;
            v[static_cast<std::size_t>(y) * kW + x] = static_cast<unsigned char>(c > 255 ? 255 : c);
        }
    return v;
}

void fill_record(IMG_report* img, const std::vector<unsigned char>& counts)
{
    IMG_init(img);
    img->width = kW;
    img->height = kH;
    img->depth = 8;
    img->bits_pixel = 8;
    img->bytes_line = kW;
    img->source = kFormatArea;
    img->data = static_cast<unsigned char*>(std::malloc(counts.size()));
    std::memcpy(img->data, counts.data(), counts.size());
}

void BM_ColorImage(benchmark::State& state)
{
    MESS_set(0, 0);
    CLR_read_table(nullptr);
    SAT_color_setup();
    const auto counts = scene();
    IMG_report img;
    fill_record(&img, counts);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(img.data, counts.data(), counts.size());
        std::free(img.colors);
        img.colors = nullptr;
        img.num_colors = 0;
        state.ResumeTiming();
        SAT_color_image(&img);
        benchmark::DoNotOptimize(img.data);
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
    IMG_free(&img);
}
BENCHMARK(BM_ColorImage)->Unit(benchmark::kMillisecond);

void BM_LoadImage(benchmark::State& state)
{
    MESS_set(0, 0);
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no X server (run under xvfb-run)");
        return;
    }
    if (gopen_gks(nullptr, 0) != 0) {
        state.SkipWithError("kernel did not open");
        return;
    }
    gset_geometry("");
    gset_xsize(kW, kH);
    if (gopen_ws(1, "", 1) != 0) {
        state.SkipWithError("no window");
        gclose_gks();
        return;
    }
    CLR_read_table(nullptr);
    SAT_color_setup();
    const auto counts = scene();
    IMG_report img;
    fill_record(&img, counts);
    SAT_color_image(&img);
    const std::vector<unsigned char> coloured(img.data, img.data + counts.size());
    // The workstation window of the window's shape, so that the panel
    // covers all 2000 x 1500 pixels.
    const Glim unit{0, 1, 0, 1}, all{0, 1, 0, static_cast<float>(kH) / kW};
    gset_ws_win(1, &all);
    gset_win(2, &unit);
    gset_vp(2, &all);
    gsel_norm_tran(2);
    XRectangle vp{};
    gget_xviewport(&vp);
    state.counters["depth"] = gget_win_depth();
    state.counters["vp_w"] = vp.width;
    state.counters["vp_h"] = vp.height;
    for (auto _ : state) {
        // Colour-indexed screens rewrite the pixels in place.
        state.PauseTiming();
        std::memcpy(img.data, coloured.data(), coloured.size());
        state.ResumeTiming();
        gload_image(&img, 0, 0);
        gsync();  // include the server's work
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
    IMG_free(&img);
    gclose_ws(1);
    gclose_gks();
}
BENCHMARK(BM_LoadImage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
