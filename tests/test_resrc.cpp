// The resource store and its decoding: precedence of resource files, the
// environment and the command line; every command-line form; decode-time and
// typed conversions; flags and draw components; the help listing.
#include <gtest/gtest.h>

#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "date.h"
#include "def_read.h"
#include "files.h"
#include "flag.h"
#include "mess.h"
#include "region.h"
#include "res_fixture.h"
#include "resrc.h"
#include "string.h"

namespace {

using Precedence = ResTest;

// A value in .zemdef of the current directory, in the environment and on the
// command line: each later source replaces the earlier one.
TEST_F(Precedence, FileThenEnvironmentThenCommandLine)
{
    write(".zemdef", "# scratch resources\n*plot_domain: fromfile\norlo.title: filetitle\n");
    unsetenv("zemdefault");  // the built-in path list starts with "."
    run({});
    EXPECT_EQ(get("plot_domain"), "fromfile");
    EXPECT_EQ(get("title"), "filetitle");

    setenv("zemdomain", "fromenv", 1);
    run({});
    EXPECT_EQ(get("plot_domain"), "fromenv");

    run({"-pd", "fromcmd"});
    EXPECT_EQ(get("plot_domain"), "fromcmd");
    EXPECT_EQ(get("title"), "filetitle");
}

TEST_F(Precedence, EnvironmentNameForms)
{
    // zem<prog>.<res> before the declared name before zem<res>.
    setenv("zemplot_domain", "plain", 1);
    run({});
    EXPECT_EQ(get("plot_domain"), "plain");
    setenv("zemdomain", "declared", 1);
    run({});
    EXPECT_EQ(get("plot_domain"), "declared");
    setenv("zemorlo.plot_domain", "program", 1);
    run({});
    EXPECT_EQ(get("plot_domain"), "program");
}

TEST_F(Precedence, LaterFileOnThePathReplacesEarlier)
{
    write("a/.zemdef", "*title: from_a\n*label: only_a\n");
    write("b/zem.cfg", "*title: from_b\n");
    setenv("zemdefault", "a:b", 1);
    run({});
    EXPECT_EQ(get("title"), "from_b");
    EXPECT_EQ(get("label"), "only_a");
}

TEST_F(Precedence, DefaultSwitchNamesTheResourceFiles)
{
    write("elsewhere/my.res", "orlo.title: picked\n");
    write(".zemdef", "orlo.title: ignored\n");
    for (auto args : std::vector<std::vector<std::string>>{
             {"-df", "elsewhere/my.res"}, {"-default=elsewhere/my.res"},
             {"-defaults", "elsewhere/my.res"}}) {
        run(args);
        EXPECT_EQ(get("title"), "picked") << args[0];
        EXPECT_EQ(get("default"), "elsewhere/my.res");
        EXPECT_EQ(get("filename"), "<absent>") << "the file name is not positional";
    }
}

TEST_F(Precedence, NameSwitchChangesTheKeys)
{
    write(".zemdef",
          "orlo.title: base\nmyprog.title: renamed\norlo.x.title: tagged\n");
    run({});
    EXPECT_EQ(get("title"), "base");
    run({"-na", "myprog"});
    EXPECT_EQ(get("title"), "renamed");
    EXPECT_EQ(get("name"), "myprog");
    run({"-name=+x"});
    EXPECT_EQ(get("title"), "tagged");
    // The environment uses the same program part.
    setenv("zemorlo.x.title", "envtagged", 1);
    run({"-n", "+x"});
    EXPECT_EQ(get("title"), "envtagged");
}

using CommandLine = ResTest;

TEST_F(CommandLine, EverySwitchFormReachesPlotDomain)
{
    const std::vector<std::vector<std::string>> forms = {
        {"-pd", "us"}, {"-pd=us"}, {"-plot_domain", "us"}, {"-plot_d", "us"},
        {"--pd", "us"}, {"--plot_domain=us"}, {"-PD", "us"}, {"-p", "us"}};
    for (const auto& f : forms) {
        run(f);
        EXPECT_EQ(get("plot_domain"), "us") << f[0];
        EXPECT_EQ(get("filename"), "<absent>") << f[0];
    }
}

TEST_F(CommandLine, SwitchesWithoutValueGiveTheArgumentBack)
{
    run({"-ba", "file.dat"});
    EXPECT_EQ(FLAG_batch(), 1);
    EXPECT_EQ(get("batch"), "");
    EXPECT_EQ(get("filename"), "file.dat");

    run({"-ic", "pic.gif", "-h"});
    EXPECT_EQ(get("icon"), "");
    EXPECT_EQ(get("filename"), "pic.gif");
    EXPECT_EQ(FLAG_help(), 1);
    int icon = 0;
    EXPECT_EQ(RES_getval("icon", &icon, CV_bool), 1);
    EXPECT_EQ(icon, 1);
}

TEST_F(CommandLine, DashDigitIsAValue)
{
    run({"-ho", "-3"});
    EXPECT_EQ(get("hour"), "-3");
    Date t;
    FILE_get_time(&t);
    EXPECT_EQ(t.hour, -3);
    EXPECT_EQ(get("filename"), "<absent>");

    // "-" (standard input) is a value too, but another option is not.
    run({"-ti", "-", "-la", "-pd", "us"});
    EXPECT_EQ(get("title"), "-");
    EXPECT_EQ(get("label"), "");
    EXPECT_EQ(get("plot_domain"), "us");
}

// Only "-" and a letter stops an option from taking the next argument:
// "--" and "--x" begin with "-" and a non-letter, so they are values.
TEST_F(CommandLine, DoubleDashAfterAnOptionIsItsValue)
{
    run({"-la", "--pd", "us"});
    EXPECT_EQ(get("label"), "--pd");
    EXPECT_EQ(get("plot_domain"), "<absent>");
    EXPECT_EQ(get("filename"), "us");

    run({"-ti", "--", "a.dat"});
    EXPECT_EQ(get("title"), "--");
    EXPECT_EQ(get("filename"), "a.dat");

    // The first pass reads values the same way.
    write("--odd", "orlo.title: from_odd\n");
    run({"-df", "--odd"});
    EXPECT_EQ(get("default"), "--odd");
    EXPECT_EQ(get("title"), "from_odd");

    // A switch without value still gives "--x" back, where it is an option.
    run({"-ba", "--pd", "us"});
    EXPECT_EQ(FLAG_batch(), 1);
    EXPECT_EQ(get("plot_domain"), "us");
    // "--" alone after a switch is given back and then skipped.
    run({"-ic", "--", "b.dat"});
    EXPECT_EQ(get("icon"), "");
    EXPECT_EQ(get("filename"), "b.dat");
}

TEST_F(CommandLine, PositionalArguments)
{
    run({"a", "b"});
    EXPECT_EQ(get("filename"), "a\nb");
    run({"one,two", "--", "three"});
    EXPECT_EQ(get("filename"), "one,two\nthree");
    int n = 0;
    char** list = nullptr;
    ASSERT_EQ(RES_getvals("filename", &n, &list), 2);
    EXPECT_STREQ(list[0], "one,two");
    EXPECT_STREQ(list[1], "three");
    free_parsed_array(n, list);
    // A negative number alone is positional.
    run({"-5"});
    EXPECT_EQ(get("filename"), "-5");
}

TEST_F(CommandLine, PrefixRuleAndUndeclaredOptions)
{
    // "-in" is the switch of con_interval, "-inp" that of input.
    run({"-in", "5", "-inp", "area", "-if=awip_vis"});
    EXPECT_EQ(get("con_interval"), "5");
    EXPECT_EQ(get("input"), "area");
    EXPECT_EQ(get("in_file"), "awip_vis");
    // "col" is no switch or name; color_table is the first name it begins.
    run({"-col", "x.clr", "-zzz", "5", "-flag"});
    EXPECT_EQ(get("color_table"), "x.clr");
    EXPECT_EQ(get("zzz"), "5");
    EXPECT_EQ(get("flag"), "");
    // Long option names are cut at 49 characters.
    std::string longname(80, 'q');
    run({"-" + longname + "=v"});
    EXPECT_EQ(get(std::string(49, 'q').c_str()), "v");
}

TEST_F(CommandLine, ValueAfterEqualsKeepsEverything)
{
    run({"-ti=My title=x", "-pp", "zoom=2,bar"});
    EXPECT_EQ(get("title"), "My title=x");
    EXPECT_EQ(get("plot_param"), "zoom=2,bar");
}

using Conversions = ResTest;

TEST_F(Conversions, BatchQuietsMessagesUnlessALevelWasChosen)
{
    run({"-ba"});
    EXPECT_EQ(FLAG_get(FLAG_BATCH), 1);
    EXPECT_EQ(MESS_get(), 0xFFu);  // print, error and warn only
    MESS_reset();
    run({"-me", "debug", "-ba"});
    EXPECT_EQ(FLAG_batch(), 1);
    EXPECT_NE(MESS_get(), 0xFFu);
    EXPECT_TRUE(MESS_get() & M_debug);
}

TEST_F(Conversions, FlagsStartUnset)
{
    FLAG_set(FLAG_INPUT, 51);
    run({});
    for (int n = 0; n < FLAG_COUNT; ++n)
        EXPECT_EQ(FLAG_get(n), -9999) << n;
    EXPECT_EQ(FLAG_get(-1), 0);
    EXPECT_EQ(FLAG_get(30), 0);
    EXPECT_EQ(FLAG_set(30, 1), -1);
    EXPECT_EQ(FLAG_set(29, 7), 0);
    EXPECT_EQ(FLAG_getl(29), 7);
}

TEST_F(Conversions, FileParamAndPlotType)
{
    struct Case { const char* value; int flag15; };
    for (Case c : {Case{"over", 1}, Case{"CALC", 1}, Case{"recalc", 1}, Case{"app", 2},
                   Case{"use", 3}, Case{"reuse", 3}, Case{"bogus", -9999}}) {
        run({"-pf", c.value});
        EXPECT_EQ(FLAG_get(FLAG_FILE_PARAM), c.flag15) << c.value;
    }
    struct Type { const char* value; int flag11; };
    for (Type t : {Type{"raw", 0}, Type{"ln", 12}, Type{"dln", 13}, Type{"ndln", 14},
                   Type{"cf", 15}, Type{"lcf", 16}, Type{"value", 17}, Type{"gvalue", 17},
                   Type{"vect", 21}, Type{"barb", 22}, Type{"strm", 23}, Type{"Stream", 23},
                   Type{"an", 54}, Type{"number", 54}, Type{"pm", 55}, Type{"stuve", 61},
                   Type{"skewt", 62}, Type{"ema", 63}, Type{"teph", 64}, Type{"rteph", 65},
                   Type{"hodo", 69}, Type{"none", 99}, Type{"pie", -9999}}) {
        run({"-pl", t.value});
        EXPECT_EQ(FLAG_get(FLAG_PLOT_TYPE), t.flag11) << t.value;
    }
}

// The 13 draw components as a string of 0/1 digits, entries 0..12.
std::string components()
{
    std::string s;
    for (int i = 0; i < PLOT_COUNT; ++i)
        s += std::to_string(FLAG_getplot(i)) + (i < PLOT_COUNT - 1 ? "," : "");
    return s;
}

TEST_F(Conversions, DrawComponents)
{
    run({});
    EXPECT_EQ(components(), "1,1,1,1,1,1,1,1,1,1,1,1,1");
    // Entry 0 sums 1..6, entry 12 sums 0..11 (so the texts count twice).
    run({"-dr", "map,data"});
    EXPECT_EQ(components(), "0,0,0,0,0,0,0,1,1,0,0,0,2");
    run({"-dr=-map"});  // "-map" alone would be read as an option
    EXPECT_EQ(components(), "6,1,1,1,1,1,1,1,0,1,1,1,16");
    run({"-dr=text_ul,+grid,-text_ul,text_lr"});
    EXPECT_EQ(components(), "1,0,0,0,0,0,1,0,0,1,0,0,3");
    run({"-dr", "text"});
    EXPECT_EQ(components(), "6,1,1,1,1,1,1,0,0,0,0,1,13");
    run({"-dr", "none"});
    EXPECT_EQ(FLAG_getplot(PLOT_ALL), 0);
    run({"-dr", "all,-sum,-border"});
    EXPECT_EQ(components(), "6,1,1,1,1,1,1,1,1,1,0,0,15");
    EXPECT_EQ(FLAG_getplot(13), 0);
    EXPECT_EQ(FLAG_setplot(13, 1), -1);
}

TEST_F(Conversions, HourForms)
{
    struct Case {
        const char* value;
        int year, month, day, hour, min;
    };
    const int M = -9999;
    const Case cases[] = {
        {"#2024", 2024, M, M, M, M},
        {"#202403051745", 2024, 3, 5, 17, 45},
        {"#2024030517", 2024, 3, 5, 17, M},
        {"#202403x5", 2024, 3, M, M, M},
        {"030518", M, 3, 5, 18, M},
        {"0518", M, M, 5, 18, M},
        {"518", M, M, 5, 18, M},
        {"2d3:15", M, M, 2, 3, 15},
        {":30", M, M, M, M, 30},
        {"-:45", M, M, M, M, -45},
        {"12:30", M, M, M, 12, 30},
        {"6", M, M, M, 6, M},
        {"-3", M, M, M, -3, M},
        {"-0:30", M, M, M, M, -30},
    };
    for (const Case& c : cases) {
        run({"-ho", c.value});
        Date t;
        FILE_get_time(&t);
        EXPECT_EQ(t.year, c.year) << c.value;
        EXPECT_EQ(t.month, c.month) << c.value;
        EXPECT_EQ(t.day, c.day) << c.value;
        EXPECT_EQ(t.hour, c.hour) << c.value;
        EXPECT_EQ(t.min, c.min) << c.value;
        FILE_reset_time();
    }
}

TEST_F(Conversions, TypedLookups)
{
    run({"-pr=42", "-sc", "1.5", "-ti", "hello", "-cot", "0x1F", "-com", "+7", "-cod", "abc",
         "-fp", "/data/zem", "-dp", "none", "-de", "p,out.ps", "-la", "-12"});
    int i = -1;
    EXPECT_EQ(RES_getval("stat_prior", &i, CV_int), 1);
    EXPECT_EQ(i, 42);
    EXPECT_EQ(RES_getval("color_text", &i, CV_int), 1);
    EXPECT_EQ(i, 31) << "0x1F read as hexadecimal";
    EXPECT_EQ(RES_getval("color_map", &i, CV_int), 1);
    EXPECT_EQ(i, 7);
    i = 99;
    EXPECT_EQ(RES_getval("color_data", &i, CV_int), 1);
    EXPECT_EQ(i, 99) << "text that is no number leaves the output alone";
    EXPECT_EQ(RES_getval("label", &i, CV_color), 1);
    EXPECT_EQ(i, -12);

    short s = 5;
    EXPECT_EQ(RES_getval("label", &s, CV_short), 1);
    EXPECT_EQ(s, 5) << "short and long read only from a leading digit";
    long l = 0;
    EXPECT_EQ(RES_getval("stat_prior", &l, CV_long), 1);
    EXPECT_EQ(l, 42);

    float f = 0;
    EXPECT_EQ(RES_getval("plot_scale", &f, CV_float), 1);
    EXPECT_FLOAT_EQ(f, 1.5f);

    char* str = nullptr;
    EXPECT_EQ(RES_getval("title", &str, CV_string), 1);
    EXPECT_EQ(str, RES_get("title")) << "CV_string hands out the stored text";
    char buf[RES_STRCPY_LEN];
    EXPECT_EQ(RES_getval("title", buf, CV_strcpy), 1);
    EXPECT_STREQ(buf, "hello");

    char* path = nullptr;
    EXPECT_EQ(RES_getval("file_path", &path, CV_path), 1);
    ASSERT_NE(path, nullptr);
    EXPECT_STREQ(path, "/data/zem/");
    std::free(path);
    path = nullptr;
    EXPECT_EQ(RES_getval("data_path", &path, CV_path), 1);
    ASSERT_NE(path, nullptr);
    EXPECT_STREQ(path, "");
    std::free(path);

    char* devname = nullptr;
    EXPECT_EQ(RES_getval("device", &devname, CV_device), 1);
    EXPECT_EQ(FLAG_get(FLAG_WS_TYPE), 4);
    ASSERT_NE(devname, nullptr);
    EXPECT_STREQ(devname, "out.ps");
    // Trailing commas leave one field: no name is handed out.
    RES_put("device", "p,");
    devname = nullptr;
    EXPECT_EQ(RES_getval("device", &devname, CV_device), 1);
    EXPECT_EQ(devname, nullptr);
    EXPECT_EQ(FLAG_get(FLAG_WS_TYPE), 4);
    RES_put("device", "w,,0x2a");
    EXPECT_EQ(RES_getval("device", &devname, CV_device), 1);
    ASSERT_NE(devname, nullptr);
    EXPECT_STREQ(devname, ",0x2a");
    EXPECT_EQ(FLAG_get(FLAG_WS_TYPE), 6);

    // Absent resources and null outputs give 0 and touch nothing.
    i = 3;
    EXPECT_EQ(RES_getval("geometry", &i, CV_int), 0);
    EXPECT_EQ(i, 3);
    EXPECT_EQ(RES_getval("title", nullptr, CV_int), 0);
}

TEST_F(Conversions, BoolWords)
{
    struct Case { const char* value; int expect; };
    for (Case c : {Case{"true", 1}, Case{"ON", 1}, Case{"yes", 1}, Case{"false", 0},
                   Case{"Off", 0}, Case{"no", 0}, Case{"maybe", 7}}) {
        run({"-ic=" + std::string(c.value)});
        int b = 7;
        EXPECT_EQ(RES_getval("icon", &b, CV_bool), 1);
        EXPECT_EQ(b, c.expect) << c.value;
    }
}

TEST_F(Conversions, DevicesByFirstLetter)
{
    struct Case { const char* value; int type; };
    for (Case c : {Case{"m", 3}, Case{"M", 3}, Case{"p", 4}, Case{"P,x.ps", 4}, Case{"h", 5},
                   Case{"Q", 5}, Case{"w,123", 6}, Case{"d", 1}, Case{"", 1}}) {
        EXPECT_EQ(RES_set_device(c.value), c.type) << c.value;
        EXPECT_EQ(FLAG_get(FLAG_WS_TYPE), c.type) << c.value;
    }
}

TEST_F(Conversions, DomainGoesThroughTheDomainDecoder)
{
    run({"-pd", "us", "-re", "nonsense_region_name"});
    Domain d;
    DOM_init(&d);
    EXPECT_EQ(RES_getval("plot_domain", &d, CV_domain), 1);
    Domain direct;
    DOM_init(&direct);
    const int decoded = DOM_decode("us", &direct);
    EXPECT_EQ(d.proj, direct.proj);
    EXPECT_EQ(d.nx, direct.nx);
    EXPECT_FLOAT_EQ(d.clat, direct.clat);
    if (decoded > 0) {
        EXPECT_NE(d.proj, -9999);
    }
    Domain none;
    DOM_init(&none);
    EXPECT_EQ(RES_getval("grid_domain", &none, CV_domain), 0);
    EXPECT_EQ(none.proj, -9999);
}

TEST_F(Conversions, ZoneFromTheEnvironment)
{
    setenv("zemtz", "-EST:-5", 1);
    run({});
    EXPECT_EQ(DATE_get_tz_off(), -5 * 3600);
    Date d{2024, 3, 5, -9999, -9999, 17, 45, 0};
    char label[DATE_LABEL_LEN];
    DATE_make_label(&d, label);
    EXPECT_STREQ(label, "12:45 PM EST [1745Z]  5 MAR 24");
}

using Store = ResTest;

TEST_F(Store, NewAppendPutGet)
{
    run({});
    EXPECT_EQ(RES_get("nothing"), nullptr);
    EXPECT_EQ(RES_new(-9999, "k", "v1", CV_string), 0);
    EXPECT_EQ(get("k"), "v1");
    EXPECT_EQ(RES_new(-9999, "k", nullptr, CV_string), 0);
    EXPECT_EQ(get("k"), "");
    EXPECT_EQ(RES_append(-9999, "k", "x", CV_string), 0);
    EXPECT_EQ(get("k"), "x") << "appending to a value-less record replaces it";
    RES_append(-9999, "k", "y", CV_string);
    EXPECT_EQ(get("k"), "x\ny");
    RES_append(-9999, "k", nullptr, CV_string);
    EXPECT_EQ(get("k"), "x\ny");
    EXPECT_EQ(RES_put("K", "upper"), 0);
    EXPECT_EQ(get("K"), "upper") << "names are case-sensitive in the store";
    EXPECT_EQ(get("k"), "x\ny");
    // A text pointer stays valid while other resources are added.
    const char* p = RES_get("K");
    for (int i = 0; i < 200; ++i)
        RES_put(("more" + std::to_string(i)).c_str(), "v");
    EXPECT_STREQ(p, "upper");
}

TEST_F(Store, ListPrintsEveryRecordInInsertionOrder)
{
    run({"-ti", "T", "-ic"});
    RES_put("zzz", "last");
    MESS_set(1, 8);
    clear_log();
    RES_list();
    std::string out = messages();
    EXPECT_NE(out.find("default: .\n"), std::string::npos) << out;
    auto t = out.find("title: T\n");
    auto ic = out.find("icon:\n");
    auto z = out.find("zzz: last\n");
    ASSERT_NE(t, std::string::npos) << out;
    ASSERT_NE(ic, std::string::npos) << out;
    ASSERT_NE(z, std::string::npos) << out;
    EXPECT_LT(t, ic);
    EXPECT_LT(ic, z);
}

TEST_F(Store, ProgramName)
{
    run({}, "/opt/zem/bin/orlo");
    char buf[RES_PROG_LEN];
    EXPECT_STREQ(RES_get_progname(buf), "orlo");
    EXPECT_STREQ(RES_get_prog(), "/opt/zem/bin/orlo");
    char* m = RES_get_progname(nullptr);
    EXPECT_STREQ(m, "orlo");
    std::free(m);
    run({}, "plainname");
    EXPECT_STREQ(RES_get_progname(buf), "plainname");
    std::string huge = "/x/" + std::string(300, 'p');
    run({}, huge.c_str());
    EXPECT_EQ(std::strlen(RES_get_progname(buf)), static_cast<std::size_t>(RES_PROG_LEN - 1));
}

TEST_F(Store, EnterFillsDeclarations)
{
    RES_defobj d{};
    ASSERT_EQ(RES_enter(&d, RES_plot_domain), 0);
    EXPECT_STREQ(d.def, "plot_domain");
    EXPECT_STREQ(d.env, "zemdomain");
    EXPECT_STREQ(d.cmd, "pd");
    EXPECT_EQ(d.cvt, CV_domain);
    EXPECT_EQ(d.out, nullptr);
    ASSERT_EQ(RES_enter(&d, RES_input), 0);
    EXPECT_STREQ(d.cmd, "inp");
    ASSERT_EQ(RES_enter(&d, RES_filenames), 0);
    EXPECT_EQ(d.cmd, nullptr);
    EXPECT_EQ(d.pos, 10);
    EXPECT_EQ(d.cvt, CV_strings);
    ASSERT_EQ(RES_enter(&d, RES_sat_path), 0);
    EXPECT_STREQ(d.def, "sat_path");
    EXPECT_EQ(static_cast<int>(RES_sat_path), 114);
    // Every key of the program's list is declared.
    for (const res_type* k = kOrloKeys; *k != RES_null; ++k) {
        EXPECT_EQ(RES_enter(&d, *k), 0) << *k;
        EXPECT_NE(std::strlen(d.def), 0u);
    }
    clear_log();
    MESS_set(1, M_print);
    EXPECT_EQ(RES_enter(&d, static_cast<res_type>(100)), -1);
    EXPECT_STREQ(d.def, "");
    EXPECT_EQ(messages(), "100\n");
}

using Help = ResTest;

TEST_F(Help, ListingLineByLine)
{
    const std::vector<std::string> expected = {
        "orlo syntax (version:5.59-LINUX-X11)\n",
        "   orlo [options...]\n",
        "Keyed options...\n",
        " -df file    Resource/defaults file name\n",
        " -na name    Program name\n",
        " -h          Print this help\n",
        " -ba         Run program in batch mode\n",
        " -me level   Message level to be displayed:\n",
        "               none,print,error,warn,mess,out1,*out2,out3,out4,debug\n",
        " -fp path    File path\n",
        " -dp path    Raw data path\n",
        " -cp path    Converted data path\n",
        " -gp path    Gridded data path\n",
        " -rp path    Raw files path\n",
        " -ip path    Image file path\n",
        " -wp path    Watch file data path\n",
        " -tp path    Text file path\n",
        " -mp path    Model file path\n",
        " -sp path    Satellite file path\n",
        " -cf file    City database file name\n",
        " -mf file[,file]  Map database files\n",
        " -in type    Type of input\n",
        " -ou type    Type of output\n",
        " -nc type    Naming convention file name\n",
        " -if type    Input data file type\n",
        " -of type    Output file type\n",
        " -pf param   File parameters: use,calc,over,app\n",
        " -cu [hour]  Use current data file\n",
        " -ho hour    Actual hour of the file\n",
        " -nh hour[,step]  Number of hours to view\n",
        " -pd region or [proj],clat,clon[,nx,ny][,dx,dy]\n",
        "             Output plot domain\n",
        "               region=predefined region:\n",
        "                  us,ne,at,se,mw,sp,nw,sw,etc\n",
        "               proj=projection, clat=central latitude, clon=central longitude,\n",
        "               nx,ny=number of gridpoints and dx,dy=grid spacing\n",
        " -gd region or [proj],clat,clon[,nx,ny][,dx,dy]\n",
        "             Grid domain\n",
        "               region=predefined region:\n",
        "                  us,ne,at,se,mw,sp,nw,sw,etc\n",
        "               proj=projection, clat=central latitude, clon=central longitude,\n",
        "               nx,ny=number of gridpoints and dx,dy=grid spacing\n",
        " -re region or [proj],clat,clon[,nx,ny][,dx,dy]\n",
        "             Region to be used for plotting and gridding\n",
        "               region=predefined region:\n",
        "                  us,ne,at,se,mw,sp,nw,sw,etc\n",
        "               proj=projection, clat=central latitude, clon=central longitude,\n",
        "               nx,ny=number of gridpoints and dx,dy=grid spacing\n",
        "               us,ne,at,se,mw,sp,nw,sw,var\n",
        " -pr prior   Priority of stations used in the plot\n",
        " -pl type    Plot type: cf,lcf,ln,dln,ndln,value,none\n",
        " -sc scale   Text and wind vector scale factor\n",
        " -fm format  Numeric format\n",
        " -pp param   Plot parameters\n",
        " -dr param[,...]  Draw components: text,data,sum,map,none\n",
        " -la label   Plot labels\n",
        " -in intrvl  Contour interval\n",
        " -cb base    Color fill contour/vector base value\n",
        " -fl list    List of fonts to use\n",
        " -ct file    Color table file name\n",
        " -cot clr    Text color\n",
        " -cod clr    Data plotting color\n",
        " -com clr    line map color\n",
        " -cogr clr   grid color\n",
        " -coln clr   Lat-lon line color\n",
        " -cof clr[,...]  Fill contour colors\n",
        " -de dev[,name]  Output device: d,p,q,w,m\n",
        " -ti title   Window title\n",
        " -ic         Open window iconified\n",
        " -bg clr     Background color\n",
        " -ge wxh+x+y  Window geometry\n",
        "Positional options...\n",
        " file [file...]  Input file names\n",
    };
    run({"-h"});
    EXPECT_EQ(FLAG_help(), 1);
    clear_log();
    RES_help_print("orlo", kOrloKeys, kOrloPos);
    std::string out = messages();
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t nl = out.find('\n', start);
        lines.push_back(out.substr(start, nl - start + 1));
        start = nl + 1;
    }
    ASSERT_EQ(lines.size(), expected.size()) << out;
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
}

TEST_F(Help, OrloBinaryPrintsTheTitleFirst)
{
    std::string cmd = std::string("zemdefault=/nonexistent ") + ORLO_BIN + " -h 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p))
        out += buf;
    int status = pclose(p);
    if (out.find("This program plots satellite data") == std::string::npos)
        GTEST_SKIP() << "orlo does not print its help yet: " << out.substr(0, 200);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(out.rfind("orlo: This program plots satellite data\n", 0), 0u) << out;
    EXPECT_NE(out.find("orlo syntax (version:5.59-LINUX-X11)\n"), std::string::npos);
    EXPECT_NE(out.find(" file [file...]  Input file names\n"), std::string::npos);
}

}  // namespace
