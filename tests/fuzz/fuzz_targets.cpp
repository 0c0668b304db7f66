// libFuzzer targets for every reader of outside data, one table entry each.
// Each executable fuzz_<name> is this file built with ZEM_FUZZ_TARGET set to
// <name> (see CMakeLists.txt here).
//
// The program ends itself where it is written to (a file request "exit",
// a start-up prompt that finds nothing): the executables are linked with
// --wrap=exit, so that such an end unwinds back here as an exception and
// the next input runs, instead of libFuzzer reporting the exit as a crash.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "colors.h"
#include "cty_read.h"
#include "date.h"
#include "def_read.h"
#include "files.h"
#include "gif.h"
#include "gks_meta.h"
#include "gks_text.h"
#include "gks_x11.h"
#include "img_tool.h"
#include "lrit.h"
#include "map.h"
#include "mess.h"
#include "png.h"
#include "region.h"
#include "resrc.h"
#include "sat_read.h"
#include "sat_tool.h"
#include "sat_tran.h"
#include "string.h"
#include "xdump.h"

namespace {

struct ProgramExit {
    int status;
};
bool g_in_input = false;

using Input = std::string_view;

// Messages go to the log only, and no log is open: nothing is printed.
void quiet() {
    MESS_set_out(MESS_OUT_LOG_ONLY);
    setenv("zembatch", "1", 1);
}

// The input as a per-process scratch file; its name.
std::string as_file(Input in, const char* ext = "") {
    const std::string name = "/tmp/zem_fuzz_" + std::to_string(getpid()) + ext;
    if (FILE* f = std::fopen(name.c_str(), "wb")) {
        std::fwrite(in.data(), 1, in.size(), f);
        std::fclose(f);
    }
    return name;
}
// The input up to its first NUL byte.
std::string as_text(Input in) {
    return std::string(in).c_str();
}

// Lines of the input (at most `n`; missing ones empty).
std::vector<std::string> lines(Input in, std::size_t n) {
    std::vector<std::string> out(n);
    const std::string all = as_text(in);
    for (std::size_t i = 0, p = 0; i < n && p <= all.size(); ++i) {
        const std::size_t nl = std::min(all.find('\n', p), all.size());
        out[i] = all.substr(p, nl - p);
        p = nl + 1;
    }
    return out;
}

void load_colours() {
    static bool done = false;
    if (!done) CLR_read_table(ZEM_ETC "/zem.clr");
    done = true;
}

template <class Reader>
void read_image(Input in, const char* ext, Reader reader) {
    const std::string name = as_file(in, ext);
    for (int type : {1, 0}) {
        IMG_report img;
        IMG_init(&img);
        reader(name.c_str(), &img, type);
        IMG_free(&img);
    }
}

// A satellite file read by one reader; a successful read is remapped onto
// a small latitude/longitude grid, as the display would do with it.
void read_sat(Input in, const char* ext, int (*reader)(const char*, IMG_report*)) {
    IMG_report img;
    IMG_init(&img);
    if (reader(as_file(in, ext).c_str(), &img) == 0 && img.data) {
        Domain grid;
        DOM_init(&grid);
        DOM_decode("latlon,40,-100,16,12,2,2", &grid);
        SAT_set_tran_sat(0);
        SAT_remap_image(&img, &grid);
    }
    IMG_free(&img);
}

// The kernel with workstation 1 of `type` writing to /dev/null (the
// output would only grow), opened once per process; false when it cannot be.
bool workstation(Gws_type type) {
    static const bool open = [type] {
        RES_put("file_path", ZEM_ETC);
        return gopen_gks(nullptr, 0) == 0 && gopen_ws(1, "/dev/null", type) == 0;
    }();
    return open;
}

// Map database files drawn on a world map, and the same bytes taken as a
// map list (pass prefixes, region blocks, size conditions, layer kinds).
void fuzz_map(Input in) {
    static const bool open = gopen_gks(nullptr, 0) == 0;
    (void)open;
    Domain d;
    DOM_decode("ll:0,0,0,361,181,1,1", &d);
    MAP_setup(&d);
    if (FILE* f = std::fopen(as_file(in, ".map").c_str(), "rb")) {
        MAP_map(f);
        std::fclose(f);
    }
    MAP_file(as_text(in).c_str());
    MAP_draw(7);
}

// The active navigation both ways at fixed points of the earth and the
// image, its row form and its map domain, as the display uses them.
void navigate() {
    const float lats[] = {0, 45, -60, 89.9f, 30}, lons[] = {0, -75, 140, 10, -179.9f};
    for (int i = 0; i < 5; ++i) {
        float lat = lats[i], lon = lons[i], lin = 0, ele = 0, ol, oe;
        AREA_tran(1, &lat, &lon, &lin, &ele);
        AREA_tran(-1, &lat, &lon, &lin, &ele);
        AREA_line_elem(1, lin, ele, &ol, &oe);
        AREA_line_elem(-1, lin, ele, &ol, &oe);
    }
    for (float l = -10; l < 2000; l += 397) {
        float lat = 0, lon = 0, lin = l, ele = l / 2;
        AREA_tran(-1, &lat, &lon, &lin, &ele);
        AREA_tran(1, &lat, &lon, &lin, &ele);
    }
    float line[5], elem[5];
    AREA_image_row(lats, lons, 5, line, elem);
    Domain d;
    DOM_init(&d);
    AREA_map_domain(&d);
}

void fuzz_area(Input in) {
    FILE* f = fmemopen(const_cast<char*>(in.data()), in.empty() ? 1 : in.size(), "rb");
    if (!f) return;
    if (in.empty()) std::fgetc(f);  // an empty stream
    MC_area area{};
    if (SAT_read_AREA(f, &area) == 0) {
        if (AREA_init(&area) == 0) navigate();
        SAT_free_AREA(&area);
    }
    std::fclose(f);
}

void fuzz_attrib(Input in) {
    load_colours();
    const std::string s = as_text(in);
    Gattribs a, b;
    ATTRIB_init(&a);
    ATTRIB_parse(s.c_str(), &a);
    ATTRIB_init(&b);
    ATTRIB_update(&b, &a);
    ATTR_parse_fill_pat(s.c_str());
    ATTR_parse_marker(s.c_str());
    ATTR_parse_style(s.c_str());
    CLR_get_ind(s.c_str());
}

void fuzz_clr(Input in) {
    CLR_clear_table();
    CLR_read_table(as_file(in, ".clr").c_str());
    for (int i = -1; i <= CLR_get_num(); ++i) {
        float r, g, b;
        CLR_get_rgb(i, &r, &g, &b);
        if (const char* s = CLR_get_name(i)) CLR_get_ind(s);
    }
    CLR_get_num_fill();
}

// An enhancement table from a file and as a list, applied to every count.
void fuzz_enhance(Input in) {
    load_colours();
    std::string list = as_text(in);
    std::replace(list.begin(), list.end(), '\n', ',');
    std::replace(list.begin(), list.end(), ' ', ',');
    for (const std::string& fill : {as_file(in, ".enh"), list}) {
        RES_put("color_fill", fill.c_str());
        SAT_reset_dither_mode();
        SAT_color_setup();
        IMG_report img;
        IMG_init(&img);
        img.width = img.bytes_line = 256;
        img.height = 1;
        img.depth = img.bits_pixel = 8;
        img.data = static_cast<unsigned char*>(std::malloc(256));
        for (int i = 0; i < 256; ++i) img.data[i] = static_cast<unsigned char>(i);
        SAT_color_image(&img);
        IMG_free(&img);
        for (int v = -1; v <= 256; ++v) {
            int l, s;
            SAT_get_color_ind(v);
            SAT_get_pixel_dither(v, &l, &s);
        }
    }
    int num = 0;
    SAT_decode_colors(as_text(in).c_str(), &num);
}

void fuzz_domain(Input in) {
    const std::string s = as_text(in);
    Domain d, e, r;
    DOM_init(&d);
    if (DOM_decode(s.c_str(), &d) == 1) {
        char out[512];
        DOM_sprint(&d, out, sizeof out);
        DOM_init(&e);
        DOM_decode(out, &e);
        DOM_aspect(&d);
    }
    DOM_init(&r);
    DOM_get_def_region(s.c_str(), &r);
}

void fuzz_region(Input in) {
    const std::string name = as_file(in, ".reg");
    DOM_read_menu(name.c_str());
    for (int i = -1; i <= DOM_get_num_regions(); ++i) DOM_get_region_name(i);
    char out[DOM_FIELD_SIZE];
    if (DOM_search_file(name.c_str(), nullptr, out) == 1) {
        Domain d;
        DOM_init(&d);
        DOM_decode(out, &d);
    }
    DOM_search_file(name.c_str(), "us", out);
}

void fuzz_places(Input in) {
    const int h = CTY_open(as_file(in, ".cty").c_str(), 0, 0);
    if (h < 0) return;
    CTY_data d;
    for (int n = 0; n < 1000000; ++n) {
        CTY_data_init(&d);
        if (CTY_read(h, &d) < 0) break;
    }
    const char* nm = nullptr;
    int count = 0;
    CTY_getinfo(h, &nm, &count);
    CTY_close(h);
}

void fuzz_resfile(Input in) {
    DEF_clr_tag();
    DEF_tag("x");
    if (DEF_open(as_file(in, ".cfg").c_str()) != 0) return;
    char key[DEF_LINE_LEN], value[DEF_LINE_LEN];
    for (int n = 0; n < 100000 && DEF_get(key, value) == 1; ++n) {
    }
    DEF_close();
}

// Command lines: the input's lines are the argument list of a full
// decoding with the display program's declarations. A "message" value may
// name log files, which the decoding creates: the target works in a
// scratch folder and skips inputs with a "/" (give libFuzzer absolute
// corpus and artifact paths; run_all.sh does).
void fuzz_cmdline(Input in) {
    // The display program's keys: the program keys up to geometry (without
    // the sibling programs' second switches) and the satellite path.
    static const std::vector<res_type> keys = [] {
        std::vector<res_type> k{RES_sat_path};
        for (int r = RES_help; r <= RES_geometry; ++r)
            if (r != RES_input_in && r != RES_in_file_inf) k.push_back(static_cast<res_type>(r));
        k.push_back(RES_null);
        return k;
    }();
    static const res_type pos[] = {RES_filenames, RES_null};
    static const bool moved = [] {
        char dir[] = "/tmp/zem_fuzz_cmdline_XXXXXX";
        return mkdtemp(dir) && chdir(dir) == 0;
    }();
    if (!moved) std::abort();
    if (in.size() > 4096 || in.find('/') != Input::npos) return;
    std::vector<std::string> words{"orlo", ""};
    for (char c : in) {
        if (c == '\n')
            words.emplace_back();
        else if (c != '\0')
            words.back() += c;
    }
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    RES_init(static_cast<int>(words.size()), argv.data(), keys.data(), pos);
    for (const char* name : {"plot_domain", "hour", "filenames", "color_fill", "draw"}) {
        int count = 0;
        char** values = nullptr;
        RES_get(name);
        if (RES_getvals(name, &count, &values) > 0) free_parsed_array(count, values);
    }
    MESS_reset();  // closes any log file the line opened
    quiet();
}

// A name on the first line, a convention table after it.
void fuzz_name_conv(Input in) {
    const std::size_t nl = in.find('\n');
    const std::string name = as_text(in.substr(0, nl));
    RES_put("name_conv", as_file(nl == Input::npos ? Input() : in.substr(nl + 1), ".conv").c_str());
    RES_put("sat_path", "/nonexistent");
    FILE_set_name(name.c_str());
    char out[FILE_NAME_LEN * 2 + 20];
    FILE_set_file("2403051330", out);
    FILE_get_name_conv(out);
    const Date d{2024, 3, 5, -9999, -9999, 13, 30, 0};  // year, month, day, jday, wday, hour, min, sec
    FILE_set_date(&d, out);
    FILE_set_name("none");
}

// File and current-file requests against the shipped conventions and an
// inline template: the input's lines are template, request and
// current-file text. A request of "exit" ends the program by design.
void fuzz_filereq(Input in) {
    const auto line = lines(in, 3);
    RES_put("name_conv", ZEM_ETC "/name_conv");
    RES_put("sat_path", "/nonexistent");
    RES_put("image_path", "/nonexistent");
    char out[FILE_NAME_LEN * 2 + 20];
    for (const std::string& conv : {std::string("sat_ir"), "@" + line[0], line[0]}) {
        FILE_set_name(conv.c_str());
        FILE_set_file(line[1].c_str(), out);
        FILE_set_current(line[2].c_str(), out);
        FILE_set_current(line[1].c_str(), out);
    }
    FILE_set_name("none");
}

void fuzz_date(Input in) {
    const std::string s = as_text(in);
    char out[256];
    Date d;
    DATE_init(&d);
    if (DATE_decode_seq(s.c_str(), &d) > 0) {
        DATE_make_seq(&d, out);
        DATE_make_label(&d, out);
        DATE_num_sec(&d);
    }
    DATE_init(&d);
    if (DATE_decode_label(s.c_str(), &d) == 0) {
        DATE_make_label(&d, out);
        DATE_decode_label(out, &d);
        DATE_num_sec(&d);
    }
    DATE_decode_month(s.c_str());
    DATE_set_TZ(s.c_str());
    DATE_set_TZ("GMT");
}

struct Target {
    const char* name;
    void (*run)(Input);
};
const Target kTargets[] = {
    {"area", fuzz_area},
    {"img",
     [](Input in) {
         IMG_set_read_wait(0);
         read_image(in, "", IMG_read);
     }},
    {"png", [](Input in) { read_image(in, ".png", PNG_read); }},
    {"xwd", [](Input in) { read_image(in, ".xwd", XWD_read); }},
    {"clr", fuzz_clr},
    {"enhance", fuzz_enhance},
    {"attrib", fuzz_attrib},
    {"domain", fuzz_domain},
    {"region", fuzz_region},
    {"places", fuzz_places},
    {"resfile", fuzz_resfile},
    {"cmdline", fuzz_cmdline},
    {"name_conv", fuzz_name_conv},
    {"filereq", fuzz_filereq},
    {"date", fuzz_date},
    {"gif", [](Input in) { read_image(in, ".gif", GIF_read); }},
    {"gini", [](Input in) { read_sat(in, ".gini", SAT_read_AWIP); }},
    {"tiff", [](Input in) { read_sat(in, ".tif", SAT_read_TIFF); }},
    {"unisys", [](Input in) { read_sat(in, ".uni", SAT_read_Unisys); }},
    {"lrit",
     [](Input in) {
         LRIT_set_assemble(1);  // sibling segments are looked for, and missed
         read_sat(in, ".lrit", SAT_read_LRIT);
     }},
    {"map", fuzz_map},
    // Text metafiles replayed onto a metafile workstation: every record
    // kind, broken counts and text, unknown keywords.
    {"metafile",
     [](Input in) {
         if (workstation(3)) gread_metafile(as_file(in, ".meta").c_str());
     }},
    // Stroke font files, then a string drawn with whatever was loaded.
    {"font",
     [](Input in) {
         if (!workstation(4)) return;
         read_font(as_file(in, ".fnt").c_str());
         const Gpt at{0.5f, 0.5f};
         gtext(&at, " !AZaz09~\x7f\xff");
     }},
};

const Target& target() {
    static const Target* const t = [] {
        for (const Target& t : kTargets)
            if (std::strcmp(t.name, ZEM_FUZZ_TARGET) == 0) return &t;
        std::fprintf(stderr, "no fuzz target named %s\n", ZEM_FUZZ_TARGET);
        std::abort();
    }();
    return *t;
}

}  // namespace

extern "C" [[noreturn]] void __real_exit(int status);

// Every call of exit in the program lands here (-Wl,--wrap=exit).
extern "C" void __wrap_exit(int status) {
    if (g_in_input) throw ProgramExit{status};
    __real_exit(status);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool once = (quiet(), true);
    (void)once;
    g_in_input = true;
    try {
        target().run(Input(reinterpret_cast<const char*>(data), size));
    } catch (const ProgramExit&) {
        // The program ended as it is written to; the next input goes on.
    }
    g_in_input = false;
    return 0;
}
