// Plot driver: decoding of the input, output and plot-parameter resources,
// and the orlo program's help and exit statuses.
#include <gtest/gtest.h>


#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "colors.h"
#include "driver_run.h"
#include "files.h"
#include "flag.h"
#include "resrc.h"
#include "sat_read.h"
#include "sat_tool.h"

namespace {

const res_type kKeys[] = {RES_message, RES_input, RES_in_file, RES_out_file, RES_plot_param,
                          RES_null};
const res_type kPos[] = {RES_filenames, RES_null};

// Runs the resource decoder on a command line built from `args`.
void decode(std::vector<std::string> args)
{
    args.insert(args.begin(), "orlo");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    RES_init(static_cast<int>(args.size()), argv.data(), kKeys, kPos);
}

// The convention text the file module holds after FILE_set_name(name).
std::string conv_of(const char* name)
{
    FILE_set_name(name);
    std::array<char, FILE_NAME_LEN * 2 + 20> buf{};
    FILE_get_name_conv(buf.data());
    return buf.data();
}

std::string current_conv()
{
    std::array<char, FILE_NAME_LEN * 2 + 20> buf{};
    FILE_get_name_conv(buf.data());
    return buf.data();
}

class DriverDecode : public ::testing::Test {
protected:
    void SetUp() override
    {
        SAT_reset_params();
        SAT_set_tran_sat(1);
        decode({"-me", "none"});
    }
};

struct InFileCase {
    const char* in_file;
    int format;          // expected flag 14
    const char* conv;    // convention it must select
};

TEST_F(DriverDecode, InFileSelectsFormatAndConvention)
{
    // Expected codes from the input-format table; conventions as the
    // in_file rules name them.
    const InFileCase cases[] = {
        {"awipz_vis", kFormatAwipZ, "vis"}, {"awip_vis", kFormatAwip, "vis"},
        {"ir", kFormatArea, "sat_ir"},       {"wv", kFormatArea, "sat_wv"},
        {"area", kFormatArea, "sat_vis"},    {"tiff_abc", kFormatTiff, "abc"},
        {"lrit_fd", kFormatLrit, "fd"},      {"my_conv", kFormatArea, "my_conv"},
        // Words and prefixes are matched without regard to case; "unis"
        // is the four-character prefix of "unisat".
        {"unis_ab", kFormatUnisys, "ab"},    {"IMG", kFormatArea, "sat_img"},
        {"Awip_ir", kFormatAwip, "ir"},      {"LRIT", kFormatLrit, "sat_vis"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in_file);
        decode({"-if", c.in_file});
        SAT_in_file();
        EXPECT_EQ(FLAG_get(14), c.format);
        std::string got = current_conv();
        EXPECT_EQ(got, conv_of(c.conv));
        if (std::string(c.conv) != "sat_vis") {
            EXPECT_NE(got, conv_of("sat_vis"));
        }
    }
}

TEST_F(DriverDecode, IrKeepsFormatGivenByInput)
{
    decode({"-inp", "awip", "-if", "ir"});
    SAT_in_file();
    EXPECT_EQ(FLAG_get(14), kFormatAwip);
    EXPECT_EQ(current_conv(), conv_of("sat_ir"));

    decode({"-inp", "img"});
    SAT_in_file();
    EXPECT_EQ(FLAG_get(14), kFormatImg);
    EXPECT_EQ(current_conv(), conv_of("sat_img"));

    decode({"-inp", "bogus"});
    SAT_in_file();
    EXPECT_EQ(FLAG_get(14), kFormatArea);

    // Every input word, compared whole and without regard to case; the
    // codes are those of the input-format table.
    const std::pair<const char*, int> words[] = {
        {"area", kFormatArea},   {"AWIPZ", kFormatAwipZ}, {"awip", kFormatAwip},
        {"UniSat", kFormatUnisys}, {"tiff", kFormatTiff}, {"lrit", kFormatLrit},
        {"img", kFormatImg},     {"awi", kFormatArea},    {"tiffs", kFormatArea},
    };
    for (const auto& [word, code] : words) {
        SCOPED_TRACE(word);
        decode({"-inp", word});
        SAT_in_file();
        EXPECT_EQ(FLAG_get(14), code);
    }
    // The last of several values decides.
    decode({"-inp", "tiff,lrit"});
    SAT_in_file();
    EXPECT_EQ(FLAG_get(14), kFormatLrit);
}

struct OutCase {
    const char* out_file;
    int result;
    const char* conv;  // null: no output convention
};

TEST_F(DriverDecode, OutFileResultAndConvention)
{
    const OutCase cases[] = {
        {"imgz", 2, "sat_img"}, {"img_xyz", 1, "xyz"},  {"imgz_abc", 2, "abc"},
        {"img", 1, "sat_img"},  {"none", 0, nullptr},   {"gif:name", 0, nullptr},
        {"myconv", 1, "myconv"}, {"imgz,none", 2, "sat_img"}, {"img_a,imgz_b", 2, "b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out_file);
        decode({"-of", c.out_file});
        FILE_set_name("sat_vis");
        const std::string before = current_conv();
        EXPECT_EQ(SAT_out_file(), c.result);
        if (c.conv != nullptr)
            EXPECT_EQ(current_conv(), conv_of(c.conv));
        else
            EXPECT_EQ(current_conv(), before);
    }
    decode({});
    EXPECT_EQ(SAT_out_file(), 0);
}

SAT_params decoded(const char* plot_param)
{
    decode({"-pp", plot_param});
    SAT_plot_param();
    SAT_params p{};
    SAT_get_params(&p);
    return p;
}

TEST_F(DriverDecode, PlotParamKeywords)
{
    SAT_params p = SAT_params{};
    SAT_get_params(&p);
    EXPECT_EQ(p.remap_inc, 20);  // start-up default
    p.remap_inc = 5;
    SAT_set_params(&p);
    EXPECT_EQ(decoded("remap").remap_inc, 20);
    EXPECT_EQ(decoded("remap=7").remap_inc, 7);
    EXPECT_EQ(decoded("remap=0").remap_inc, 0);

    p = decoded("zoom=2,bar");
    EXPECT_FLOAT_EQ(p.zoom, 2.0f);
    EXPECT_EQ(p.bar, 1);
    EXPECT_EQ(decoded("irbar").bar, 2);
    EXPECT_EQ(decoded("no_pixave").pix_ave, 0);
    EXPECT_EQ(decoded("over").over, 1);
    EXPECT_EQ(decoded("pixoff=-12").pix_off, -12);
    EXPECT_EQ(decoded("refresh").refresh, 1);

    p = decoded("minlon=-120.5,maxlon=-60");
    EXPECT_FLOAT_EQ(p.min_lon, -120.5f);
    EXPECT_FLOAT_EQ(p.max_lon, -60.0f);

    decoded("tran_zem");
    EXPECT_EQ(SAT_get_tran_sat(), 0);
    decoded("tran_sat");
    EXPECT_EQ(SAT_get_tran_sat(), 1);

    p = decoded("fill=3");
    EXPECT_EQ(p.fill, ATTR_parse_fill_pat("3"));
}

TEST_F(DriverDecode, PlotParamUnknownAndPartialWordsChangeNothing)
{
    SAT_params before{};
    SAT_get_params(&before);
    SAT_params p = decoded("refreshed,remix,zo,nothing");
    EXPECT_EQ(p.refresh, 0);  // "refresh" must be the whole value
    EXPECT_EQ(p.remap_inc, before.remap_inc);
    EXPECT_FLOAT_EQ(p.zoom, before.zoom);
}

TEST_F(DriverDecode, CutoffTable)
{
    SAT_params p = decoded("cutoff=0:100:200");
    EXPECT_EQ(p.cutbase, 0);
    EXPECT_EQ(p.numcut, 2);
    EXPECT_EQ(p.cutoff[0], 0);
    EXPECT_EQ(p.cutoff[1], 100);
    EXPECT_EQ(p.cutoff[2], 200);
    EXPECT_EQ(p.cutoff[3], 256);

    p = decoded("cutoff=5:60:120:180");
    EXPECT_EQ(p.cutbase, 5);
    EXPECT_EQ(p.numcut, 3);
    EXPECT_EQ(p.cutoff[3], 180);
    EXPECT_EQ(p.cutoff[4], 256);
}

// ---- The program itself ----

TEST(OrloProgram, HelpPrintsTitleAndListingAndExitsZero)
{
    RunResult r = run_orlo("-h");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("orlo: This program plots satellite data\n", 0), 0u) << r.out;
    // The listing follows: the syntax line and some of the program's keys.
    EXPECT_NE(r.out.find("orlo syntax"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Plot parameters"), std::string::npos);
    EXPECT_NE(r.out.find("Window geometry"), std::string::npos);
    EXPECT_NE(r.out.find("Input file names"), std::string::npos);
}

}  // namespace
