// The file devices without an X server: the real GOES-8 picture written as
// PostScript, EPS, HP-GL/2, text metafile and CGM and opened by outside
// programs (Ghostscript, hp2xx, LibreOffice, a CGM element walker written
// here), metafile replay, broken metafiles and fonts, and stroke text
// measured against the Hershey source data.
#include "zem_test.h"

#include <regex>

#include "gks_colr.h"
#include "gks_fill.h"
#include "gks_line.h"
#include "gks_mark.h"
#include "gks_meta.h"
#include "gks_text.h"
#include "gks_tool.h"

namespace {

const std::string kEtc = ZEM_ETC_DIR;
const std::string kGoes = zt::testdata("area/cmx3g8_wv_1998.260_0745_mcidas.ara");

zt::RunResult orlo_on(const std::string& device) {
    return zt::run("env -u DISPLAY " + std::string(ORLO_BIN) + " -fp " + kEtc + " -pd us -pp bar -de " + device +
                   " " + kGoes);
}

// Dark pixels of a picture written by an outside program (-1 unreadable).
int dark_pixels(const std::string& png, int* w = nullptr, int* h = nullptr) {
    zt::Image img;
    if (IMG_read(png.c_str(), &img.rec, 0) <= 0) return -1;
    int n = 0;
    const int bpp = std::max(img.rec.bits_pixel / 8, 1);
    for (int y = 0; y < img.rec.height; ++y)
        for (int x = 0; x < img.rec.width; ++x) {
            const int v = zt::pixel(img.rec, x * bpp, y);
            const bool mapped = img.rec.colors && v < img.rec.num_colors;
            n += (mapped ? img.rec.colors[v].g * 255.0f : static_cast<float>(v)) < 128.0f;
        }
    if (w) *w = img.rec.width;
    if (h) *h = img.rec.height;
    return n;
}

// ---- CGM element walker (ISO 8632-3 binary encoding) ------------------------------
// Class and id of every element of the stream, or an empty list when the
// lengths (short form, long form in partitions, even padding) do not add up.
std::vector<std::pair<int, int>> walk_cgm(const zt::Bytes& b) {
    std::vector<std::pair<int, int>> out;
    std::size_t p = 0;
    auto word = [&](std::size_t at) { return (b[at] << 8) | b[at + 1]; };
    while (p + 2 <= b.size()) {
        const int h = word(p);
        out.emplace_back(h >> 12, (h >> 5) & 127);
        p += 2;
        for (bool more = (h & 31) == 31; more;) {
            if (p + 2 > b.size()) return {};
            more = word(p) & 0x8000;
            p += 2 + static_cast<std::size_t>(word(p) & 0x7FFF);
        }
        p += (h & 31) == 31 ? 0 : static_cast<std::size_t>(h & 31);
        p += p % 2;
    }
    return p == b.size() ? out : std::vector<std::pair<int, int>>{};
}

// ---- One GOES-8 plot per device, each opened by its consumer ----------------------------
struct DeviceCase {
    const char* name;
    const char* device;    // -de value; %s is the output file
    const char* must;      // text the file must hold
    const char* consumer;  // shell command; %s output file, %p picture it writes
    int pic_w, pic_h;      // size of that picture, 0 unchecked
};

std::string fill(std::string s, const std::string& out, const std::string& pic) {
    for (auto p = s.find("%s"); p != std::string::npos; p = s.find("%s")) s.replace(p, 2, out);
    for (auto p = s.find("%p"); p != std::string::npos; p = s.find("%p")) s.replace(p, 2, pic);
    return s;
}

#define GS "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r36 "
const DeviceCase kDevices[] = {
    {"letter", "p,%s", ".25 inch -8.25 inch translate", GS "-sPAPERSIZE=letter -sOutputFile=%p %s", 306, 396},
    {"eps", "p,%s,eps", "%%BoundingBox: 0 0 576 756", GS "-dEPSCrop -sOutputFile=%p %s", 288, 378},
    {"portrait_a4_colour", "p,%s,port,a4,color", ".25 inch .25 inch translate", GS "-sOutputFile=%p %s", 0, 0},
    {"scaled", "p,%s,scale=0.5,lwidth=3", "0.50 0.50 scale", GS "-sOutputFile=%p %s", 0, 0},
    {"hpgl_pcl", "h,%s", "\033%1B", "hp2xx -d 30 -D 30 -m png -f %p %s", 0, 0},
    {"hpgl_rot270", "h,%s,nopcl,rot=270", "IN;SP1;PA;\nRO270;\n", "hp2xx -d 30 -D 30 -m png -f %p %s", 0, 0},
    {"hpgl_lj_port", "h,%s,lj,port,a4", "RO90;\nRO90;\n", "hp2xx -d 30 -D 30 -m png -f %p %s", 0, 0},
    {"metafile", "m,%s", "ZEMMETA\n", "", 0, 0},
    {"cgm", "m,%s,cgm", "ZEMCGM-1.0", "", 0, 0},
};

class Devices : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(Devices, GoesPictureOpensInItsConsumer) {
    ZT_NEED_DATA(kGoes);
    const DeviceCase& c = GetParam();
    zt::TempDir dir;
    const std::string out = dir.file("plot.out"), pic = dir.file("plot.png");
    const zt::RunResult r = orlo_on(fill(c.device, out, pic));
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string body = zt::slurp(out);
    EXPECT_NE(body.find(c.must), std::string::npos) << c.name;
    if (*c.consumer) {
        const zt::RunResult v = zt::run(fill(c.consumer, out, pic));
        EXPECT_EQ(v.status, 0) << v.out;
        EXPECT_EQ(v.out.find("Error"), std::string::npos) << v.out;
        // hp2xx knows no screened vectors (SV); nothing else may be ignored.
        EXPECT_EQ(std::regex_search(v.out, std::regex("[A-RT-Z][A-Z]: ignored|S[A-UW-Z]: ignored")), false)
            << v.out;
        int w = 0, h = 0;
        EXPECT_GT(dark_pixels(pic, &w, &h), 500) << c.name << ": the consumer drew nothing";
        if (c.pic_w) {
            EXPECT_EQ(w * 1000 + h, c.pic_w * 1000 + c.pic_h) << "picture size";
        }
    }
    if (std::string(c.name) == "cgm") {
        // Every polyline of the text form is a POLYLINE element here.
        const zt::RunResult t = orlo_on("m," + dir.file("plot.meta"));
        const auto els = walk_cgm(zt::slurp_bytes(out));
        ASSERT_GT(els.size(), 8u) << "CGM lengths do not add up";
        EXPECT_EQ(els.front(), std::make_pair(0, 1));  // BEGIN METAFILE
        EXPECT_EQ(els.back(), std::make_pair(0, 2));   // END METAFILE
        const auto lines = std::count(els.begin(), els.end(), std::make_pair(4, 1));
        EXPECT_EQ(lines, zt::count_of(zt::slurp(dir.file("plot.meta")), "\nPL "));
        EXPECT_GT(lines, 10);
    }
}
INSTANTIATE_TEST_SUITE_P(Files, Devices, ::testing::ValuesIn(kDevices),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(Devices, CgmImportsIntoLibreOffice) {
    ZT_NEED_DATA(kGoes);
    if (!zt::have_tool("soffice")) GTEST_SKIP() << "LibreOffice (soffice) not installed";
    zt::TempDir dir;
    ASSERT_EQ(orlo_on("m," + dir.file("plot.cgm") + ",cgm").status, 0);
    const zt::RunResult r = zt::run("cd " + dir.path() + " && HOME=" + dir.path() +
                                    " timeout 180 soffice --headless --convert-to png plot.cgm");
    EXPECT_GT(dark_pixels(dir.file("plot.png")), 100) << r.out;
}

// The picture's metafile as the only map layer of the same plot: every
// polyline record comes back, point for point.
TEST(Devices, MetafileReplaysAsAMapLayer) {
    ZT_NEED_DATA(kGoes);
    zt::TempDir dir;
    const std::string a = dir.file("plot.meta"), b = dir.file("layer.meta");
    ASSERT_EQ(orlo_on("m," + a).status, 0);
    const zt::RunResult r = orlo_on("m," + b + " -mf mf:" + a);
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string first = zt::slurp(a), layer = zt::slurp(b);
    int records = 0, found = 0;
    for (auto p = first.find("\nPL "); p != std::string::npos; p = first.find("\nPL ", p + 1)) {
        auto e = p + 1;
        while ((e = first.find('\n', e + 1)) != std::string::npos && e + 1 < first.size() && first[e + 1] == ' ') {
        }
        ++records;
        found += layer.find(first.substr(p, e - p)) != std::string::npos;
    }
    EXPECT_GT(records, 100);
    EXPECT_EQ(found, records);
}

TEST(Devices, AppendAndPipe) {
    ZT_NEED_DATA(kGoes);
    zt::TempDir dir;
    const std::string f = dir.file("two.ps");
    ASSERT_EQ(orlo_on("p," + f).status, 0);
    ASSERT_EQ(orlo_on("p,+" + f).status, 0);
    const std::string two = zt::slurp(f);  // two plots on one page, one prologue
    EXPECT_EQ(std::vector<int>({zt::count_of(two, "%%ZEM Plot"), zt::count_of(two, "/inch {72 mul} def"),
                                zt::count_of(two, "showpage")}),
              std::vector<int>({2, 1, 1}));
    ASSERT_EQ(orlo_on("'p,|cat > " + dir.file("piped.ps") + "'").status, 0);
    EXPECT_EQ(zt::run(GS "-sOutputFile=" + dir.file("p.png") + " " + dir.file("piped.ps")).status, 0);
    EXPECT_GT(dark_pixels(dir.file("p.png")), 500);
}

TEST(Devices, UnwritableOutputExitsWithStatus4) {
    ZT_NEED_DATA(kGoes);
    const std::pair<const char*, const char*> cases[] = {
        {"p,/nonexistent/x.ps", "gopen_ws: unable to open postscript file"},
        {"h,/nonexistent/x.hpgl", "gopen_ws: unable to open HPGL file"},
        {"m,/nonexistent/x.meta", "gopen_ws: unable to open metafile"},
    };
    for (const auto& [dev, msg] : cases) {
        const zt::RunResult r = orlo_on(dev);
        EXPECT_EQ(r.status, 4) << dev;
        EXPECT_NE(r.out.find(msg), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("GPH_begin: Error opening workstation"), std::string::npos) << r.out;
    }
}

// ---- In-process kernel on a file workstation ------------------------------------------
class Kernel : public ::testing::Test {
protected:
    void SetUp() override {
        RES_put("file_path", kEtc.c_str());
        ASSERT_EQ(gopen_gks(nullptr, 0), 0);
    }
    void TearDown() override {
        if (gchk_graphics()) gclose_ws(1);
        gclose_gks();
    }
    void open(const std::string& conn, Gws_type type) { ASSERT_EQ(gopen_ws(1, conn.c_str(), type), 0); }
    std::string body(const std::string& f) {  // a text metafile past its header
        std::string s = zt::slurp(f);
        for (int i = 0; i < 4; ++i) s.erase(0, s.find('\n') + 1);
        return s;
    }
    zt::TempDir dir;
};

void draw_sample() {
    const Gcolr_rep red{1, 0, 0};
    gset_colr_rep(1, 7, &red);
    const Glim win{0, 10, 0, 8};
    gset_win(1, &win);
    gsel_norm_tran(1);
    gset_line_colr_ind(7);
    gset_linewidth(2.5f);
    gset_linetype(3);
    const Gpt line[] = {{1, 1}, {2, 3}, {4, 2}, {5, 5}, {9, 7}};
    gpolyline(5, line);
    gset_fill_colr_ind(7);
    gfill_area(4, line);
    gset_marker_type(4);
    gpolymarker(3, line);
    GPH_text_rotate(30);
    GPH_text_align(GCENTER_HOR, GHALF_VERT);
    gset_char_ht(0.5f);
    const Gpt at{5, 4};
    gtext(&at, "Alt 34 km");
    gmessage(1, "done");
}

TEST_F(Kernel, MetafileReplaysIntoTheSameRecords) {
    const std::string a = dir.file("a.meta"), b = dir.file("b.meta");
    open(a, 3);
    draw_sample();
    gclose_ws(1);
    open(b, 3);
    EXPECT_EQ(gread_metafile(a.c_str()), 0);
    gclose_ws(1);
    // The message is not replayed; every drawing record is.
    std::string want = body(a);
    want.erase(want.find("ME done\n"));
    EXPECT_EQ(body(b), want);
    EXPECT_EQ(zt::count_of(want, "\nPL 5 "), 1);
}

TEST_F(Kernel, BrokenMetafilesAreReportedAndSkipped) {
    struct Bad {
        std::string text;
        const char* message;  // "" none
        int good_lines;       // PL records replayed, -1 unchecked
    };
    const Bad cases[] = {
        {"ZEMMETA\nXYZZY 1 2 3\nPL 2 0,0 1,1\n", "", 1},
        {"ZEMMETA\nPL 3 0,0 1,1\n", "gread_metafile: bad PL record", 0},
        {"ZEMMETA\nPL 2000000000 0,0\nPL 2 0,0 1,1\n", "gread_metafile: bad PL record", 0},
        {"ZEMMETA\nTE_HGHT abc\nPL 2 0,0 1,1\n", "gread_metafile: bad TE_HGHT record", 1},
        {"ZEMMETA\nTE 0.5,0.5 " "\xff\xfe\x01 text\nVP 9 0 0 1 1\nFA -4\n", "bad FA record", 0},
        {"\x01\x02\x03\x04\x05\xff\xfe\n\xff", "", 0},
    };
    for (const Bad& c : cases) {
        zt::MessCapture mess;
        const std::string in = dir.file("bad.meta"), out = dir.file("out.meta");
        zt::spit(in, c.text);
        open(out, 3);
        EXPECT_EQ(gread_metafile(in.c_str()), 0);
        gclose_ws(1);
        EXPECT_NE(mess.text().find(c.message), std::string::npos) << c.text << "\n" << mess.text();
        if (c.good_lines >= 0) {
            EXPECT_EQ(zt::count_of(body(out), "PL 2 "), c.good_lines) << c.text;
        }
    }
    zt::MessCapture mess;
    open(dir.file("none.meta"), 3);
    gread_metafile(dir.file("missing.meta").c_str());
    EXPECT_NE(mess.text().find("gread_metafile: Unable to open image file: "), std::string::npos);
}

TEST_F(Kernel, BrokenFontFilesAreRefused) {
    open(dir.file("f.ps"), 4);
    const std::string good = zt::slurp(kEtc + "/modern.fnt");
    const std::string cases[] = {
        "",
        good.substr(0, good.size() / 2),                   // truncated in the strokes
        good.substr(0, good.rfind("-1")),                  // truncated in the offsets
        "255 10 20 300 40 254\n" + std::string(256 * 2, ' '),  // byte out of range
        [] {  // an offset past the strokes
            std::string t = "255 1 2 254 9";
            for (int i = 1; i < 256; ++i) t += " -1";
            return t;
        }(),
        "\x89PNG\r\n\x1a\n garbage",
    };
    for (const std::string& text : cases) {
        zt::MessCapture mess;
        zt::spit(dir.file("bad.fnt"), text);
        EXPECT_EQ(read_font(dir.file("bad.fnt").c_str()), -1) << text.substr(0, 40);
        EXPECT_NE(mess.text().find("read_font: unable to load font file: "), std::string::npos);
        const Gpt at{0.5f, 0.5f};
        gtext(&at, "AB");  // no font: nothing drawn, no crash
    }
}

// ---- Stroke text against the Hershey source ------------------------------------------------
struct Box {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    void add(float x, float y) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
    }
};

// The vertices of a string of the .jhf font in Hershey units, upright (y
// up, baseline y = 9 of the file at 0), glyphs side by side from the origin
// with the kernel's gap of a quarter of its 105-unit cap (5 Hershey units).
std::vector<std::pair<float, float>> hershey_points(const std::string& jhf, const std::string& s) {
    std::ifstream in(jhf);
    std::string all, line;
    while (std::getline(in, line)) all += line;
    std::vector<std::pair<float, float>> out;
    float pen = 0;
    for (char want : s) {
        std::size_t p = 0;
        for (int c = 32; p + 8 <= all.size() && c < want; ++c) p += 8 + 2 * std::stoul(all.substr(p + 5, 3));
        const std::string v = all.substr(p + 8, 2 * std::stoul(all.substr(p + 5, 3)));
        Box g;
        for (std::size_t k = 2; k + 1 < v.size(); k += 2)
            if (v.substr(k, 2) != " R") g.add(float(v[k] - 'R'), float(v[k + 1] - 'R'));
        for (std::size_t k = 2; k + 1 < v.size(); k += 2)
            if (v.substr(k, 2) != " R") out.emplace_back(pen + float(v[k] - 'R') - g.x0, 9.0f - float(v[k + 1] - 'R'));
        pen += g.x1 - g.x0 + 5;
    }
    return out;
}

struct TextCase {
    const char* name;
    int hor, vert;
    float angle, expan;
};
class StrokeText : public Kernel, public ::testing::WithParamInterface<TextCase> {};

TEST_P(StrokeText, BoundingBoxFollowsTheHersheyGlyphs) {
    const std::string jhf = "/usr/share/hershey-fonts/futural.jhf";
    ZT_NEED_DATA(jhf);
    const TextCase& c = GetParam();
    const std::string f = dir.file("t.ps");
    open(f, 4);
    const float h = 0.1f;  // world units of transform 0 (the unit square)
    gset_char_ht(h);
    gset_expan(c.expan);
    GPH_text_align(c.hor, c.vert);
    GPH_text_rotate(c.angle);
    const Gpt at{0.4f, 0.4f};
    ASSERT_EQ(gtext(&at, "AB"), 1);
    gclose_ws(1);
    // The drawn points, back in world units (575 points per unit here).
    const std::string ps = zt::slurp(f);
    std::istringstream in(ps.substr(ps.find("%%TE:")));
    Box got;
    std::string l;
    while (std::getline(in, l)) {
        float x, y;
        char op[4];
        if (std::sscanf(l.c_str(), "%f %f %3s", &x, &y, op) == 3) got.add(x / 575.0f, y / 575.0f);
    }
    // The same vertices placed by hand: cap height (21 units) = h.
    const auto pts = hershey_points(jhf, "AB");
    float width = 0;
    for (const auto& p : pts) width = std::max(width, p.first);
    const float u = h / 21.0f;
    const float dx = c.hor == GCENTER_HOR ? -width * c.expan / 2 : 0;
    const float dy = c.vert == GHALF_VERT ? -10.0f : 0;  // half height: 50 of 105 units
    const float a = c.angle * 3.14159265f / 180.0f;
    Box want;
    for (const auto& [hx, hy] : pts) {
        const float fx = hx * c.expan + dx, fy = hy + dy;
        want.add(at.x + u * (std::cos(a) * fx + std::sin(a) * fy), at.y + u * (-std::sin(a) * fx + std::cos(a) * fy));
    }
    for (auto [g, w] : {std::pair{got.x0, want.x0}, {got.x1, want.x1}, {got.y0, want.y0}, {got.y1, want.y1}})
        EXPECT_NEAR(g, w, 1.5f * u);
}
INSTANTIATE_TEST_SUITE_P(Text, StrokeText,
                         ::testing::Values(TextCase{"normal", GNORMAL_HOR, GNORMAL_VERT, 0, 1},
                                           TextCase{"centre_half", GCENTER_HOR, GHALF_VERT, 0, 1},
                                           TextCase{"wide", GNORMAL_HOR, GNORMAL_VERT, 0, 2},
                                           TextCase{"turned_90", GNORMAL_HOR, GNORMAL_VERT, 90, 1},
                                           TextCase{"centre_turned_30", GCENTER_HOR, GHALF_VERT, 30, 1.5f}),
                         [](const auto& i) { return std::string(i.param.name); });

TEST_F(Kernel, EveryListedFontDraws) {
    zt::MessCapture mess;
    const std::string f = dir.file("list.ps");
    open(f, 4);
    std::ifstream list(kEtc + "/zem.fnl");
    std::string name, file;
    int fonts = 0;
    while (list >> name >> file) {
        GPH_text_font(name.c_str());
        EXPECT_EQ(gget_font(), ++fonts) << name;
        const Gpt at{0.1f, 0.05f * static_cast<float>(fonts)};
        EXPECT_EQ(gtext(&at, "Zem 1998"), 1) << name;
    }
    gclose_ws(1);
    EXPECT_GE(fonts, 9);
    EXPECT_EQ(mess.text().find("font"), std::string::npos) << mess.text();
    const std::string ps = zt::slurp(f);
    EXPECT_EQ(zt::count_of(ps, "%%TE:"), fonts);
    EXPECT_GT(zt::count_of(ps, "stroke\n"), fonts * 8);  // at least one stroke per glyph
}

}  // namespace
