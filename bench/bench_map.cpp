// Map background speed: the default background of the "us" domain (zem.map)
// in a 640 x 427 window and the default world background (cont.map and
// country.map) on a latitude-longitude map of the earth in 1600 x 1200,
// each one whole MAP_draw pass with the X server's work included. Needs an
// X server: run under xvfb-run.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "colors.h"
#include "gks_tran.h"
#include "gks_x11.h"
#include "map.h"
#include "mess.h"
#include "region.h"
#include "resrc.h"

namespace {

void draw_background(benchmark::State& state, const char* domain, int w, int h) {
    MESS_set(0, 0);
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no X server (run under xvfb-run)");
        return;
    }
    RES_put("file_path", ZEM_ETC_DIR);
    if (gopen_gks(nullptr, 0) != 0) {
        state.SkipWithError("kernel did not open");
        return;
    }
    gset_geometry("");
    gset_xsize(w, h);
    if (gopen_ws(1, "", 1) != 0) {
        state.SkipWithError("no window");
        gclose_gks();
        return;
    }
    CLR_read_table(nullptr);
    const Glim all{0, 1, 0, static_cast<float>(h) / static_cast<float>(w)};
    gset_ws_win(1, &all);
    gset_vp(2, &all);
    Domain d;
    DOM_decode(domain, &d);
    MAP_setup(&d);
    for (auto _ : state) {
        MAP_draw(6);
        gsync();
    }
    gclose_ws(1);
    gclose_gks();
}

void BM_UsBackground(benchmark::State& state) {
    draw_background(state, "ps:-97,39,-97,640,427,0.0864,0.0864", 640, 427);
}
BENCHMARK(BM_UsBackground)->Unit(benchmark::kMillisecond);

void BM_WorldBackground(benchmark::State& state) {
    draw_background(state, "ll:0,0,0,1600,1200,0.225,0.15", 1600, 1200);
}
BENCHMARK(BM_WorldBackground)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
