// Whole-process speed, side by side with gdalwarp: the case of bench_remap
// (a 5424 x 5424 full-disk satellite-view image onto a 2000 x 1500 Lambert
// conformal grid over North America) as one orlo run that reads the file,
// remaps, colours, draws and writes a PNG frame, as one orlo run over a
// 10-file loop, and as one gdalwarp run (bilinear) over the same pixels.
// orlo runs without an X server (DISPLAY unset), so the frames are drawn by
// its off-screen workstation. After the runs the ratios are printed, and
// the time of each stage of a frame (read, remap, colour, display, encode)
// from one more run of each orlo case.
//
// The input files are made once in a scratch folder: ZEMIMG files for orlo
// and the same pixels as a raw file described by a VRT (geostationary
// projection, 56 microradian pixels) for gdalwarp.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "img_tool.h"
#include "mess.h"
#include "png.h"
#include "region.h"

#include "bench_disk.h"

namespace {

constexpr int kFrames = 10;
// Satellite height above the equator (m) and the scan step (radians) of the
// full disk; the grid of the ZEMIMG files has the same spacing in map units.
constexpr double kSatHeight = 35785863.0;
constexpr double kScan = 56e-6;

// Lambert conformal output: tangent at 25N, centred on 38N 95W, 3 km cells.
const char* const kOrloDomain = "lamb:38:-95:25:25,38,-95,2000,1500,0.03,0.03";

struct Scratch {
    std::string dir;
    std::vector<std::string> frames;  // ZEMIMG files
    std::string vrt;                  // gdalwarp input
    bool ok = false;
};

IMG_report disk_record(int shift)
{
    IMG_report img;
    IMG_init(&img);
    img.width = img.height = kDisk;
    img.depth = img.bits_pixel = 8;
    img.bytes_line = kDisk;
    std::snprintf(img.datim, sizeof img.datim, "1200 UTC 01 JAN 2020");
    std::snprintf(img.info, sizeof img.info, "Synthetic full disk %d", shift);
    img.domain = disk_domain();
    img.data = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(kDisk) * kDisk));
    for (int i = 0; i < kDisk; ++i)
        for (int j = 0; j < kDisk; ++j)
            img.data[static_cast<std::size_t>(i) * kDisk + j] =
                disk_count(i, j, shift);
    return img;
}

const Scratch& scratch()
{
    static Scratch s = [] {
        Scratch r;
        char tmpl[] = "/tmp/zem_bench_loop_XXXXXX";
        if (mkdtemp(tmpl) == nullptr) return r;
        r.dir = tmpl;
        MESS_set_str("none");
        for (int k = 0; k < kFrames; ++k) {
            IMG_report img = disk_record(k * 7);
            char name[64];
            std::snprintf(name, sizeof name, "/disk_%02d.img", k);
            r.frames.push_back(r.dir + name);
            // Version 4 header: the domain string keeps the scan-angle
            // switch of the satellite view, which the version 3 token drops.
            // Written by hand: the printed form rounds the spacing to four
            // decimals.
            const Domain& d = img.domain;
            char dom[256] = {0};
            std::snprintf(dom, sizeof dom, "sat:e:%g:%g:%g:%g:,%g,%g,%d,%d,%.9g,%.9g\n", d.plat, d.plon,
                          d.param[0], d.param[1], d.clat, d.clon, d.nx, d.ny, d.dx, d.dy);
            std::ofstream f(r.frames.back(), std::ios::binary);
            f << "ZEMIMG4\n" << img.datim << "\n" << img.info << "\n" << dom;
            f.write(reinterpret_cast<const char*>(img.data), static_cast<std::streamsize>(kDisk) * kDisk);
            if (!f) return r;
            if (k == 0) {
                std::ofstream raw(r.dir + "/disk.raw", std::ios::binary);
                raw.write(reinterpret_cast<const char*>(img.data), static_cast<std::streamsize>(kDisk) * kDisk);
            }
            IMG_free(&img);
        }
        const double cell = kScan * kSatHeight;
        const double half = cell * kDisk / 2.0;
        r.vrt = r.dir + "/disk.vrt";
        std::ofstream vrt(r.vrt);
        vrt << "<VRTDataset rasterXSize=\"" << kDisk << "\" rasterYSize=\"" << kDisk << "\">\n"
            << "  <SRS>+proj=geos +h=" << kSatHeight << " +lon_0=-75 +sweep=x +R=6371200 +units=m</SRS>\n"
            << "  <GeoTransform>" << -half << ", " << cell << ", 0, " << half << ", 0, " << -cell
            << "</GeoTransform>\n"
            << "  <VRTRasterBand dataType=\"Byte\" band=\"1\" subClass=\"VRTRawRasterBand\">\n"
            << "    <SourceFilename relativeToVRT=\"1\">disk.raw</SourceFilename>\n"
            << "    <ImageOffset>0</ImageOffset><PixelOffset>1</PixelOffset>"
            << "<LineOffset>" << kDisk << "</LineOffset>\n"
            << "  </VRTRasterBand>\n</VRTDataset>\n";
        r.ok = vrt.good();
        return r;
    }();
    return s;
}

// 32-bit FNV-1a of the colours of a written PNG frame (0 when it cannot be
// read): equal values in two builds show that a faster orlo still draws
// the same picture, whatever the compression and the palette order.
std::uint32_t frame_hash(const std::string& path)
{
    IMG_report img;
    IMG_init(&img);
    std::uint32_t h = 2166136261u;
    if (PNG_read(path.c_str(), &img, 0) != 1 || img.colors == nullptr || img.depth != 8) {
        IMG_free(&img);
        return 0;
    }
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const int v = img.data[static_cast<std::size_t>(y) * img.bytes_line + x];
            const IMG_color c = v < img.num_colors ? img.colors[v] : IMG_color{0, 0, 0};
            for (float f : {c.r, c.g, c.b}) h = (h ^ static_cast<std::uint32_t>(f * 255.0f + 0.5f)) * 16777619u;
        }
    IMG_free(&img);
    return h;
}

// Mean wall time of each whole-process case, for the ratios at the end.
std::map<std::string, double>& means()
{
    static std::map<std::string, double> m;
    return m;
}

// Runs cmd per iteration; `made` is the file the command must write (checked
// after the runs, so that a run that drew nothing cannot pass for a fast one).
void run_process(benchmark::State& state, const std::string& key, const std::string& cmd, const std::string& made)
{
    if (!scratch().ok) {
        state.SkipWithError("cannot write the input files");
        return;
    }
    std::filesystem::remove(made);
    double total = 0.0;
    long n = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const int st = std::system(cmd.c_str());
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++n;
        if (st != 0) {
            state.SkipWithError(("command failed: " + cmd).c_str());
            return;
        }
    }
    if (!std::filesystem::exists(made)) {
        state.SkipWithError(("no output: " + made).c_str());
        return;
    }
    if (n > 0) means()[key] = total / static_cast<double>(n);
}

std::string orlo_cmd(int frames, const char* redirect = " >/dev/null 2>&1")
{
    const Scratch& s = scratch();
    std::string cmd = std::string(ZEM_BENCH_ORLO) + " -fp " + ZEM_BENCH_ETC +
                      " -me none -inp img -de d -ge 2000x1500 -pd " +
                      kOrloDomain + " -pp full,png:" + s.dir + "/out%i.png";
    for (int k = 0; k < frames; ++k) cmd += " " + s.frames[static_cast<std::size_t>(k)];
    return cmd + redirect;
}

// Stage times that orlo prints per frame with zemtimes set, from one more
// run: the first frame's, and the mean of the later frames of a loop.
void print_stages(int frames)
{
    FILE* p = popen(("zemtimes=1 " + orlo_cmd(frames, " 2>&1 >/dev/null")).c_str(), "r");
    if (p == nullptr) return;
    double first[5] = {}, later[5] = {};
    int n = 0, frame = 0;
    char line[256];
    while (std::fgets(line, sizeof line, p) != nullptr) {
        double t[5];
        if (std::sscanf(line, "frame %d ms: read %lf remap %lf colour %lf display %lf encode %lf", &frame, &t[0],
                        &t[1], &t[2], &t[3], &t[4]) != 6)
            continue;
        for (int k = 0; k < 5; ++k) (frame == 0 ? first : later)[k] += t[k];
        n += frame != 0;
    }
    pclose(p);
    const char* fmt = "  %-26s read %5.1f  remap %5.1f  colour %5.1f  display %5.1f  encode %5.1f ms\n";
    std::printf(fmt, frames == 1 ? "frame:" : "loop, first frame:", first[0], first[1], first[2], first[3], first[4]);
    if (n > 0)
        std::printf(fmt, "loop, later frames (mean):", later[0] / n, later[1] / n, later[2] / n, later[3] / n,
                    later[4] / n);
}

void BM_OrloFrame(benchmark::State& state)
{
    run_process(state, "orlo_frame", orlo_cmd(1), scratch().dir + "/outwin.png");
}

void BM_OrloLoop10(benchmark::State& state)
{
    run_process(state, "orlo_loop", orlo_cmd(kFrames), scratch().dir + "/out09.png");
}

void BM_Gdalwarp(benchmark::State& state)
{
    // The same extent as the orlo domain: 2000 x 1500 cells of 3 km (map
    // units of 100 km) around the projected centre.
    const Scratch& s = scratch();
    const std::string cmd =
        "gdalwarp -q -overwrite -r bilinear -ts 2000 1500 -t_srs '+proj=lcc +lat_1=25 +lat_2=25 "
        "+lat_0=38 +lon_0=-95 +R=6371200 +units=m' -te -3000000 -2250000 3000000 2250000 " +
        s.vrt + " " + s.dir + "/warp.tif >/dev/null 2>&1";
    run_process(state, "gdalwarp", cmd, s.dir + "/warp.tif");
}

}  // namespace

BENCHMARK(BM_Gdalwarp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_OrloFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_OrloLoop10)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char** argv)
{
    // orlo runs without a display, unless ZEM_BENCH_WITH_X keeps it (to
    // time the window path). Unset here rather than through env(1), which
    // would add a program start to each orlo run and none to gdalwarp's.
    if (std::getenv("ZEM_BENCH_WITH_X") == nullptr) unsetenv("DISPLAY");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const auto& m = means();
    auto get = [&](const char* k) { return m.count(k) != 0U ? m.at(k) : 0.0; };
    const double warp = get("gdalwarp"), frame = get("orlo_frame"), loop = get("orlo_loop");
    std::printf("\nwhole processes (mean wall time): gdalwarp %.3f s, orlo frame %.3f s, orlo %d-frame loop %.3f s\n",
                warp, frame, kFrames, loop);
    if (warp > 0.0 && frame > 0.0)
        std::printf("orlo frame / gdalwarp = %.3f (goal <= 0.25)\n", frame / warp);
    if (frame > 0.0 && loop > 0.0)
        std::printf("orlo %d-frame loop / orlo frame = %.2f (goal <= 4)\n", kFrames, loop / frame);
    if (frame > 0.0 || loop > 0.0) {
        std::printf("stage times (one more run each, zemtimes=1):\n");
        if (frame > 0.0) print_stages(1);
        if (loop > 0.0) print_stages(kFrames);
    }
    const std::string dir = scratch().dir;
    if (frame > 0.0 || loop > 0.0)
        std::printf("pixel hashes: frame %08x, last loop frame %08x\n", frame_hash(dir + "/outwin.png"),
                    frame_hash(dir + "/out09.png"));
    // ZEM_BENCH_KEEP leaves the inputs and outputs to look at.
    if (std::getenv("ZEM_BENCH_KEEP") != nullptr)
        std::printf("files kept in %s\n", dir.c_str());
    else if (!dir.empty())
        std::filesystem::remove_all(dir);
    return 0;
}
