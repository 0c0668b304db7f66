// Resources: declarations, the store, decoding of resource files, the
// environment and the command line, conversions, and the help listing.
//
// Precedence, lowest first: resource files along the path list (a later
// file replaces an earlier one), environment variables, the command line.
// Every step stores with RES_new, which replaces, so the last writer wins.
#include "resrc.h"

#include <cctype>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "date.h"
#include "def_read.h"
#include "files.h"
#include "flag.h"
#include "mess.h"
#include "mqueue.h"
#include "region.h"
#include "string.h"
#include "system.h"
#include "tools.h"

namespace {

// How a key's help lines look beyond the plain " -sw  text" line.
enum HelpKind { kHelpPlain, kHelpMessage, kHelpDomain, kHelpRegion };

// The fixed declaration of one key: what RES_enter copies, plus help text.
struct KeyInfo {
    res_type key;
    const char* def;
    const char* env;
    const char* cmd;    // null for positional keys
    int pos;            // argument position for positional keys (10 = all)
    DEF_convert cvt;
    const char* help_sw;
    const char* help;
    HelpKind kind;
};


// clang-format off
const KeyInfo kKeys[] = {
    {RES_help,         "help",         "zemhelp",      "h",    0, CV_help,       "-h",               "Print this help", kHelpPlain},
    {RES_batch,        "batch",        "zembatch",     "ba",   0, CV_batch,      "-ba",              "Run program in batch mode", kHelpPlain},
    {RES_message,      "message",      "zemmess",      "me",   0, CV_mess,       "-me level",        "Message level to be displayed:", kHelpMessage},
    {RES_file_path,    "file_path",    "zemfile",      "fp",   0, CV_path,       "-fp path",         "File path", kHelpPlain},
    {RES_data_path,    "data_path",    "zemdata",      "dp",   0, CV_path,       "-dp path",         "Raw data path", kHelpPlain},
    {RES_con_path,     "con_path",     "zemcon",       "cp",   0, CV_path,       "-cp path",         "Converted data path", kHelpPlain},
    {RES_grid_path,    "grid_path",    "zemgrid",      "gp",   0, CV_path,       "-gp path",         "Gridded data path", kHelpPlain},
    {RES_raw_path,     "raw_path",     "zemraw",       "rp",   0, CV_path,       "-rp path",         "Raw files path", kHelpPlain},
    {RES_image_path,   "image_path",   "zemimage",     "ip",   0, CV_string,     "-ip path",         "Image file path", kHelpPlain},
    {RES_watch_path,   "watch_path",   "zemwatch",     "wp",   0, CV_path,       "-wp path",         "Watch file data path", kHelpPlain},
    {RES_text_path,    "text_path",    "zemtext",      "tp",   0, CV_path,       "-tp path",         "Text file path", kHelpPlain},
    {RES_model_path,   "model_path",   "zemmpath",     "mp",   0, CV_path,       "-mp path",         "Model file path", kHelpPlain},
    {RES_sat_path,     "sat_path",     "zemsat",       "sp",   0, CV_path,       "-sp path",         "Satellite file path", kHelpPlain},
    {RES_city_file,    "city_file",    "zemcity",      "cf",   0, CV_string,     "-cf file",         "City database file name", kHelpPlain},
    {RES_map_file,     "map_file",     "zemmap",       "mf",   0, CV_string,     "-mf file[,file]",  "Map database files", kHelpPlain},
    {RES_input,        "input",        "zemin",        "inp",  0, CV_string,     "-in type",         "Type of input", kHelpPlain},
    {RES_input_in,     "input",        "zemin",        "in",   0, CV_string,     "-in type",         "Type of input", kHelpPlain},
    {RES_output,       "output",       "zemout",       "ou",   0, CV_string,     "-ou type",         "Type of output", kHelpPlain},
    {RES_name_conv,    "name_conv",    "zemnameconv",  "nc",   0, CV_name,       "-nc type",         "Naming convention file name", kHelpPlain},
    {RES_in_file,      "in_file",      "zeminfile",    "if",   0, CV_string,     "-if type",         "Input data file type", kHelpPlain},
    {RES_in_file_inf,  "in_file",      "zeminfile",    "inf",  0, CV_string,     "-inf type",        "Input data file type", kHelpPlain},
    {RES_out_file,     "out_file",     "zemoutfile",   "of",   0, CV_string,     "-of type",         "Output file type", kHelpPlain},
    {RES_file_param,   "file_param",   "zemfileparam", "pf",   0, CV_file_param, "-pf param",        "File parameters: use,calc,over,app", kHelpPlain},
    {RES_current,      "current",      "zemcurrent",   "cu",   0, CV_current,    "-cu [hour]",       "Use current data file", kHelpPlain},
    {RES_hour,         "hour",         "zemhour",      "ho",   0, CV_hour,       "-ho hour",         "Actual hour of the file", kHelpPlain},
    {RES_num_hour,     "num_hour",     "zemnumhour",   "nh",   0, CV_string,     "-nh hour[,step]",  "Number of hours to view", kHelpPlain},
    {RES_plot_domain,  "plot_domain",  "zemdomain",    "pd",   0, CV_domain,     "-pd region or [proj],clat,clon[,nx,ny][,dx,dy]", "Output plot domain", kHelpDomain},
    {RES_grid_domain,  "grid_domain",  "zemgrddomain", "gd",   0, CV_domain,     "-gd region or [proj],clat,clon[,nx,ny][,dx,dy]", "Grid domain", kHelpDomain},
    {RES_region,       "region",       "zemregion",    "re",   0, CV_region,     "-re region or [proj],clat,clon[,nx,ny][,dx,dy]", "Region to be used for plotting and gridding", kHelpRegion},
    {RES_stat_prior,   "stat_prior",   "zemprior",     "pr",   0, CV_int,        "-pr prior",        "Priority of stations used in the plot", kHelpPlain},
    {RES_plot_type,    "plot_type",    "zemplot",      "pl",   0, CV_plot_type,  "-pl type",         "Plot type: cf,lcf,ln,dln,ndln,value,none", kHelpPlain},
    {RES_plot_scale,   "plot_scale",   "zemscale",     "sc",   0, CV_float,      "-sc scale",        "Text and wind vector scale factor", kHelpPlain},
    {RES_plot_format,  "plot_format",  "zemformat",    "fm",   0, CV_string,     "-fm format",       "Numeric format", kHelpPlain},
    {RES_plot_param,   "plot_param",   "zempltparam",  "pp",   0, CV_string,     "-pp param",        "Plot parameters", kHelpPlain},
    {RES_draw,         "draw",         "zemdraw",      "dr",   0, CV_draw,       "-dr param[,...]",  "Draw components: text,data,sum,map,none", kHelpPlain},
    {RES_label,        "label",        "zemlabel",     "la",   0, CV_string,     "-la label",        "Plot labels", kHelpPlain},
    {RES_con_interval, "con_interval", "zemconint",    "in",   0, CV_float,      "-in intrvl",       "Contour interval", kHelpPlain},
    {RES_con_base,     "con_base",     "zemconbase",   "cb",   0, CV_float,      "-cb base",         "Color fill contour/vector base value", kHelpPlain},
    {RES_font_list,    "font_list",    "zemfontlist",  "fl",   0, CV_string,     "-fl list",         "List of fonts to use", kHelpPlain},
    {RES_color_table,  "color_table",  "zemclrtbl",    "ct",   0, CV_string,     "-ct file",         "Color table file name", kHelpPlain},
    {RES_color_text,   "color_text",   "zemclrtext",   "cot",  0, CV_string,     "-cot clr",         "Text color", kHelpPlain},
    {RES_color_data,   "color_data",   "zemclrdata",   "cod",  0, CV_string,     "-cod clr",         "Data plotting color", kHelpPlain},
    {RES_color_map,    "color_map",    "zemclrmap",    "com",  0, CV_string,     "-com clr",         "line map color", kHelpPlain},
    {RES_color_grid,   "color_grid",   "zemclrgrid",   "cogr", 0, CV_string,     "-cogr clr",        "grid color", kHelpPlain},
    {RES_color_line,   "color_line",   "zemclrln",     "coln", 0, CV_string,     "-coln clr",        "Lat-lon line color", kHelpPlain},
    {RES_color_fill,   "color_fill",   "zemclrfill",   "cof",  0, CV_string,     "-cof clr[,...]",   "Fill contour colors", kHelpPlain},
    {RES_device,       "device",       "zemdevice",    "de",   0, CV_device,     "-de dev[,name]",   "Output device: d,p,q,w,m", kHelpPlain},
    {RES_title,        "title",        "zemtitle",     "ti",   0, CV_string,     "-ti title",        "Window title", kHelpPlain},
    {RES_icon,         "icon",         "zemicon",      "ic",   0, CV_bool,       "-ic",              "Open window iconified", kHelpPlain},
    {RES_background,   "background",   "zemback",      "bg",   0, CV_string,     "-bg clr",          "Background color", kHelpPlain},
    {RES_geometry,     "geometry",     "zemgeometry",  "ge",   0, CV_string,     "-ge wxh+x+y",      "Window geometry", kHelpPlain},
    {RES_filename,     "filename",     "zemfilename",  nullptr, 1, CV_strcpy,    "file",             "Input file name", kHelpPlain},
    {RES_filenames,    "filename",     "zemfilename",  nullptr, 10, CV_strings,  "file [file...]",   "Input file names", kHelpPlain},
    // Sibling programs of the package.
    {RES_ingestor,     "ingestor",     "zemingestor",  "ing",  0, CV_ingestor,   "-ing type",        "Data ingestor", kHelpPlain},
    {RES_bull_file,    "bull_file",    "zembullfile",  "bf",   0, CV_string,     "-bf file",         "Bulletin file name", kHelpPlain},
    {RES_log_file,     "log_file",     "zemlogfile",   "lf",   0, CV_string,     "-lf file",         "Log file name", kHelpPlain},
    {RES_decode_hour,  "decode_hour",  "zemdechour",   "dh",   0, CV_string,     "-dh hour",         "Hours of data to decode", kHelpPlain},
    {RES_model,        "model",        "zemmodel",     "mo",   0, CV_string,     "-mo model",        "Model name", kHelpPlain},
    {RES_grid_type,    "grid_type",    "zemgridtype",  "gt",   0, CV_string,     "-gt type",         "Grid type", kHelpPlain},
    {RES_grid_num,     "grid_num",     "zemgridnum",   "gn",   0, CV_int,        "-gn num",          "Grid number", kHelpPlain},
    {RES_identifier,   "identifier",   "zemident",     "id",   0, CV_string,     "-id ident",        "Station identifier", kHelpPlain},
    {RES_product,      "product",      "zemproduct",   "prod", 0, CV_string,     "-prod name",       "Product name", kHelpPlain},
    {RES_forecast,     "forecast",     "zemforecast",  "fc",   0, CV_string,     "-fc hour[,...]",   "Forecast hours", kHelpPlain},
    {RES_state,        "state",        "zemstate",     "st",   0, CV_string,     "-st state",        "State", kHelpPlain},
    {RES_time,         "time",         "zemtime",      "tm",   0, CV_string,     "-tm time",         "Time", kHelpPlain},
    {RES_level,        "level",        "zemlevel",     "le",   0, CV_string,     "-le level[,...]",  "Vertical levels", kHelpPlain},
    {RES_variable,     "variable",     "zemvariable",  "va",   0, CV_string,     "-va var[,...]",    "Variables", kHelpPlain},
    {RES_object_param, "object_param", "zemobjparam",  "op",   0, CV_string,     "-op param",        "Object parameters", kHelpPlain},
    {RES_parameter,    "parameter",    "zemparameter", "pa",   0, CV_string,     "-pa param",        "Program parameters", kHelpPlain},
    {RES_table,        "table",        "zemtable",     "tb",   0, CV_string,     "-tb file",         "Table file name", kHelpPlain},
    {RES_window_num,   "window_num",   "zemwindow",    "wn",   0, CV_int,        "-wn num",          "Loop window number", kHelpPlain},
    {RES_command,      "command",      "zemcommand",   "cm",   0, CV_string,     "-cm command",      "Command", kHelpPlain},
    {RES_value,        "value",        "zemvalue",     "vl",   0, CV_string,     "-vl value",        "Value", kHelpPlain},
    {RES_color_cont,   "color_cont",   "zemclrcont",   "coc",  0, CV_string,     "-coc clr",         "Contour color", kHelpPlain},
    {RES_color_vect,   "color_vect",   "zemclrvect",   "cov",  0, CV_string,     "-cov clr",         "Vector color", kHelpPlain},
    {RES_color_barb,   "color_barb",   "zemclrbarb",   "cob",  0, CV_string,     "-cob clr",         "Wind barb color", kHelpPlain},
    {RES_color_stat,   "color_stat",   "zemclrstat",   "cos",  0, CV_string,     "-cos clr",         "Station plot color", kHelpPlain},
    {RES_color_wx,     "color_wx",     "zemclrwx",     "cow",  0, CV_string,     "-cow clr",         "Weather symbol color", kHelpPlain},
    {RES_color_label,  "color_label",  "zemclrlabel",  "cola", 0, CV_string,     "-cola clr",        "Label color", kHelpPlain},
    {RES_color_bar,    "color_bar",    "zemclrbar",    "coba", 0, CV_string,     "-coba clr",        "Color bar text color", kHelpPlain},
    {RES_color_front,  "color_front",  "zemclrfront",  "cofr", 0, CV_string,     "-cofr clr",        "Front color", kHelpPlain},
    {RES_color_high,   "color_high",   "zemclrhigh",   "cohi", 0, CV_string,     "-cohi clr",        "High center color", kHelpPlain},
    {RES_color_low,    "color_low",    "zemclrlow",    "colo", 0, CV_string,     "-colo clr",        "Low center color", kHelpPlain},
    {RES_color_county, "color_county", "zemclrcounty", "cocy", 0, CV_string,     "-cocy clr",        "County outline color", kHelpPlain},
    {RES_color_state,  "color_state",  "zemclrstate",  "cost", 0, CV_string,     "-cost clr",        "State outline color", kHelpPlain},
};
// clang-format on

const KeyInfo* find_key(res_type key)
{
    for (const auto& k : kKeys)
        if (k.key == key)
            return &k;
    return nullptr;
}

// One stored resource. Entries live on the heap so the text pointers that
// RES_get hands out stay put while other resources are added.
struct Entry {
    int index = kMissing;
    std::string name;
    bool has_data = false;
    std::string data;
    DEF_convert cvt = CV_string;
};

struct ResState {
    std::vector<std::unique_ptr<Entry>> store;  // first-insertion order
    std::vector<RES_defobj> table;              // built by RES_init
    RES_defobj* decl = nullptr;                 // table in use by RES_decode
    bool have_cl = false;
    int argc = 0;
    std::string prog;                           // argv[0]
};

ResState g_res;
char g_empty[1] = "";
char g_zem[4] = "ZEM";

Entry* find_entry(const char* name)
{
    if (!name)
        return nullptr;
    for (auto& e : g_res.store)
        if (e->name == name)
            return e.get();
    return nullptr;
}

// ---- Command-line scanning -------------------------------------------------

bool is_letter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

// Whether the argument after an option can be its value: anything that
// does not begin with "-" and a letter. So a negative number, "-" (standard
// input) and even "--" or "--x" are values; "-x" is the next option.
bool can_be_value(const char* next)
{
    if (!next)
        return false;
    return next[0] != '-' || !is_letter(next[1]);
}

struct Option {
    std::string name;
    const char* value = nullptr;
    bool from_next = false;
};

constexpr std::size_t kMaxOptName = 49;

// Splits "-name[=value]" (the dashes already skipped) and takes the next
// argument as value when there is no "=".
Option read_option(const char* body, int i, int argc, char** argv)
{
    Option opt;
    const char* eq = std::strchr(body, '=');
    std::size_t len = eq ? static_cast<std::size_t>(eq - body) : std::strlen(body);
    opt.name.assign(body, len < kMaxOptName ? len : kMaxOptName);
    if (eq) {
        opt.value = eq + 1;
    } else if (i + 1 < argc && can_be_value(argv[i + 1])) {
        opt.value = argv[i + 1];
        opt.from_next = true;
    }
    return opt;
}

// "n", "na", "nam", "name".
bool is_name_option(const std::string& name, bool any_case)
{
    if (name.empty() || name.size() > 4)
        return false;
    return any_case ? strnicmp("name", name.c_str(), static_cast<int>(name.size())) == 0
                    : std::strncmp("name", name.c_str(), name.size()) == 0;
}

bool is_default_option(const std::string& name, bool any_case)
{
    if (any_case)
        return strnicmp(name.c_str(), "default", 7) == 0 || strnicmp(name.c_str(), "df", 2) == 0;
    return std::strncmp(name.c_str(), "default", 7) == 0 || std::strncmp(name.c_str(), "df", 2) == 0;
}

bool takes_no_value(DEF_convert cvt)
{
    return cvt == CV_bool || cvt == CV_batch || cvt == CV_help;
}

// Step one: only -name and -default/-df act before the files are read,
// because they decide which files and which keys apply.
void first_pass(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!a || a[0] != '-' || !is_letter(a[1]))
            continue;
        Option opt = read_option(a + 1, i, argc, argv);
        if (opt.from_next)
            ++i;
        if (!opt.value)
            continue;
        if (is_name_option(opt.name, false)) {
            RES_new(kMissing, "name", opt.value, CV_string);
            DEF_name(opt.value);
        } else if (is_default_option(opt.name, false)) {
            RES_new(kMissing, "default", opt.value, CV_string);
        }
    }
}

int find_option_decl(const std::string& name)
{
    const RES_defobj* t = g_res.decl;
    auto usable = [](const RES_defobj& d) { return d.def[0] != '\0' && d.cmd != nullptr; };
    for (int k = 0; t[k].def; ++k)
        if (usable(t[k]) && stricmp(t[k].cmd, name.c_str()) == 0)
            return k;
    for (int k = 0; t[k].def; ++k)
        if (usable(t[k]) && stricmp(t[k].def, name.c_str()) == 0)
            return k;
    for (int k = 0; t[k].def; ++k)
        if (usable(t[k]) && strnicmp(t[k].def, name.c_str(), static_cast<int>(name.size())) == 0)
            return k;
    return -1;
}

int find_positional_decl(int counter)
{
    const RES_defobj* t = g_res.decl;
    for (int k = 0; t[k].def; ++k)
        if (!t[k].cmd && t[k].def[0] && t[k].pos == counter)
            return k;
    for (int k = 0; t[k].def; ++k)
        if (!t[k].cmd && t[k].def[0] && t[k].pos == 10)
            return k;
    return -1;
}

// The loop window attached through a "#n" path entry: its queue and our
// connection, kept until the end of decoding so that command-line settings
// reach it too.
struct WindowLink {
    int qid = -1;
    int conn = -1;
};
WindowLink g_window;

// Ends the conversation with the attached window ("quit" and its reply).
void end_window_link()
{
    if (g_window.conn < 0)
        return;
    MQ_put(g_window.qid, g_window.conn, "quit");
    MQ_reply(g_window.qid, g_window.conn, nullptr);
    g_window = WindowLink{};
}

// A setting of ours for the attached window, answered by one reply.
void send_to_window(const char* name, const char* value)
{
    if (g_window.conn < 0)
        return;
    MQ_put(g_window.qid, g_window.conn, "set res %s %s", name, value ? value : "");
    MQ_reply(g_window.qid, g_window.conn, nullptr);
}

void second_pass(int argc, char** argv)
{
    int counter = 0;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!a)
            continue;
        if (std::strcmp(a, "--") == 0)
            continue;
        const char* body = nullptr;
        if (a[0] == '-' && is_letter(a[1]))
            body = a + 1;
        else if (a[0] == '-' && a[1] == '-' && is_letter(a[2]))
            body = a + 2;

        if (!body) {
            ++counter;
            int k = find_positional_decl(counter);
            if (k < 0)
                continue;
            const RES_defobj& d = g_res.decl[k];
            if (d.pos == 10 && counter >= 2)
                RES_append(k, d.def, a, d.cvt);
            else
                RES_new(k, d.def, a, d.cvt);
            continue;
        }

        Option opt = read_option(body, i, argc, argv);
        if (opt.from_next)
            ++i;
        if (is_name_option(opt.name, true) || is_default_option(opt.name, true))
            continue;
        int k = find_option_decl(opt.name);
        if (k < 0) {
            RES_new(kMissing, opt.name.c_str(), opt.value, CV_string);
            send_to_window(opt.name.c_str(), opt.value);
            continue;
        }
        const RES_defobj& d = g_res.decl[k];
        if (opt.from_next && takes_no_value(d.cvt)) {
            --i;  // a switch: the next argument is not its value
            opt.value = nullptr;
        }
        RES_new(k, d.def, opt.value, d.cvt);
        send_to_window(d.def, opt.value);
    }
}

// Step five: resource files and directories along the path list.
// The folder a resource-path entry reads from: the entry itself when it is
// a folder, else the folder of the file it names ("." for none).
std::string folder_of(const char* entry)
{
    if (entry == nullptr || *entry == '\0') return ".";
    if (FILE_is_dir(entry)) return entry;
    const char* slash = std::strrchr(entry, '/');
    if (slash == nullptr) return ".";
    return slash == entry ? std::string("/") : std::string(entry, slash);
}

// True when any folder of a colon-separated list exists.
bool any_folder(const char* list)
{
    std::string rest = list;
    for (std::size_t start = 0; start <= rest.size();) {
        std::size_t colon = rest.find(':', start);
        if (colon == std::string::npos) colon = rest.size();
        const std::string one = rest.substr(start, colon - start);
        if (!one.empty() && FILE_is_dir(one.c_str())) return true;
        start = colon + 1;
    }
    return false;
}

struct FilePathOrigin {
    int index = -1;
    DEF_convert cvt = CV_none;
    std::string dir;
};

// Path entry "#n": every declared resource is asked of loop window n; the
// window's values are adopted, and the values we have where the window has
// none are sent to it.
void exchange_with_window(const char* window)
{
    end_window_link();
    int qid = -1;
    const int conn = MQ_attach_window(window, &qid);
    if (conn < 0)
        return;
    for (int k = 0; g_res.decl[k].def; ++k)
        if (g_res.decl[k].def[0])
            MQ_put(qid, conn, "query res %s", g_res.decl[k].def);
    int sets = 0;
    for (int k = 0; g_res.decl[k].def; ++k) {
        const RES_defobj& d = g_res.decl[k];
        if (!d.def[0])
            continue;
        bool got = false;
        MQ_reply(qid, conn, [&](const char* value) {
            RES_new(k, d.def, value, d.cvt);
            got = true;
        });
        const char* mine = got ? nullptr : RES_get(d.def);
        if (mine) {
            MQ_put(qid, conn, "set res %s %s", d.def, mine);
            ++sets;
        }
    }
    std::signal(SIGALRM, SIG_IGN);
    for (int i = 0; i < sets; ++i)
        MQ_reply(qid, conn, nullptr);
    g_window = WindowLink{qid, conn};
}

void read_files(const char* list)
{
    FilePathOrigin file_path_from;
    int count = 0;
    char** paths = nullptr;
    const char* value = list ? list : ".:/home/zem/etc:/usr/local/zem/etc";
    parse_string(value, ':', &count, &paths);
    DEF_clr_tag();
    // An empty list still reads the default file (".zemdef").
    const int n = count > 0 ? count : 1;
    for (int p = 0; p < n; ++p) {
        const char* entry = count > 0 ? paths[p] : nullptr;
        if (entry && entry[0] == '+') {
            DEF_tag(entry + 1);
            continue;
        }
        if (entry && entry[0] == '#') {
            exchange_with_window(entry + 1);
            continue;
        }
        if (DEF_open(entry) != 0)
            continue;
        char name[DEF_LINE_LEN];
        char val[DEF_LINE_LEN];
        while (DEF_get(name, val) == 1) {
            bool matched = false;
            for (int k = 0; g_res.decl[k].def; ++k) {
                const RES_defobj& d = g_res.decl[k];
                if (!d.def[0] || !DEF_cmp(d.def, name))
                    continue;
                MESS_print(M_debug, "RESRC: %s=%s\n", d.def, val);
                RES_new(k, d.def, val, d.cvt);
                if (std::strcmp(d.def, "file_path") == 0) {
                    file_path_from = {k, d.cvt, folder_of(entry)};
                }
                matched = true;
            }
            if (!matched && DEF_valid(name)) {
                const char* last = DEF_parse_name(name);
                if (last && *last)
                    RES_new(kMissing, last, val, CV_string);
            }
        }
        DEF_close();
    }
    free_parsed_array(count, paths);
    // A resource file whose file_path names no folder here (a run from a
    // checkout with -df etc, before anything is installed) falls back to
    // the resource file's own folder, where the package data lies beside it.
    const char* fp = RES_get("file_path");
    if (file_path_from.index >= 0 && fp != nullptr && !any_folder(fp)) {
        MESS_print(M_debug, "RESRC: file_path %s not found, using %s\n", fp, file_path_from.dir.c_str());
        RES_new(file_path_from.index, "file_path", file_path_from.dir.c_str(), file_path_from.cvt);
    }
}

void read_environment()
{
    for (int k = 0; g_res.decl[k].def; ++k) {
        const RES_defobj& d = g_res.decl[k];
        if (!d.def[0])
            continue;
        if (const char* v = DEF_env(d.def, d.env))
            RES_new(k, d.def, v, d.cvt);
    }
}

void decode_conversions()
{
    // Conversions may print or set other modules' state but never touch the
    // store; work on a snapshot anyway so the order is fixed.
    struct Job {
        std::string data;
        bool has_data;
        int index;
        DEF_convert cvt;
    };
    std::vector<Job> jobs;
    for (const auto& e : g_res.store)
        if (!is_missing(e->index))
            jobs.push_back({e->data, e->has_data, e->index, e->cvt});
    for (const auto& j : jobs) {
        const RES_defobj& d = g_res.decl[j.index];
        const char* data = j.has_data ? j.data.c_str() : nullptr;
        if (j.cvt == CV_strings && d.num) {
            int count = 0;
            char** list = nullptr;
            parse_string(data, '\n', &count, &list);
            *d.num = count;
            if (d.out)
                *static_cast<char***>(d.out) = list;
            else
                free_parsed_array(count, list);
            continue;
        }
        RES_conv_data(data, d.out, j.cvt);
    }
}

// ---- Decode-time conversions ------------------------------------------------

struct Word {
    const char* word;
    int value;
};

const Word kFileParams[] = {{"over", 1}, {"calc", 1}, {"recalc", 1}, {"app", 2},
                            {"use", 3},  {"reuse", 3}};

const Word kPlotTypes[] = {{"raw", 0},    {"ln", 12},     {"dln", 13},    {"ndln", 14},
                           {"cf", 15},    {"lcf", 16},    {"value", 17},  {"gvalue", 17},
                           {"vect", 21},  {"barb", 22},   {"strm", 23},   {"stream", 23},
                           {"an", 54},    {"number", 54}, {"pm", 55},     {"stuve", 61},
                           {"skewt", 62}, {"ema", 63},    {"teph", 64},   {"rteph", 65},
                           {"hodo", 69},  {"none", 99}};

// Draw words and the component they switch (-1: all of them).
const Word kDrawWords[] = {{"all", PLOT_ALL},      {"text_ul", PLOT_TEXT_UL},
                           {"text_uc", PLOT_TEXT_UC}, {"text_ur", PLOT_TEXT_UR},
                           {"text_ll", PLOT_TEXT_LL}, {"text_lc", PLOT_TEXT_LC},
                           {"text_lr", PLOT_TEXT_LR}, {"sum", PLOT_SUM},
                           {"data", PLOT_DATA},       {"grid", PLOT_GRID},
                           {"map", PLOT_MAP}};

template <std::size_t N>
const Word* lookup(const Word (&table)[N], const char* word)
{
    for (const auto& w : table)
        if (stricmp(w.word, word) == 0)
            return &w;
    return nullptr;
}

// Applies each comma-separated word found in `table` to flag `flag`; the
// last known word wins, unknown words change nothing.
template <std::size_t N>
void set_flag_words(const char* value, const Word (&table)[N], int flag)
{
    int count = 0;
    char** list = nullptr;
    parse_string(value, ',', &count, &list);
    for (int i = 0; i < count; ++i)
        if (const Word* w = lookup(table, list[i]))
            FLAG_set(flag, w->value);
    free_parsed_array(count, list);
}

void convert_draw(const char* value)
{
    int count = 0;
    char** list = nullptr;
    parse_string(value, ',', &count, &list);
    for (int i = 0; i < count; ++i) {
        const char* item = list[i];
        int on = 1;
        if (*item == '+' || *item == '-') {
            on = *item == '+' ? 1 : 0;
            ++item;
        } else if (i == 0) {
            // A list that starts without a sign names what to draw.
            FLAG_resetplot(0);
        }
        if (stricmp(item, "none") == 0) {
            FLAG_setplot(PLOT_ALL, 0);
        } else if (stricmp(item, "text") == 0) {
            FLAG_setplot(PLOT_TEXT, on);
            FLAG_setplot(PLOT_BORDER, on);
        } else if (strnicmp(item, "bord", 4) == 0) {
            FLAG_setplot(PLOT_BORDER, on);
        } else if (const Word* w = lookup(kDrawWords, item)) {
            FLAG_setplot(w->value, on);
        }
    }
    free_parsed_array(count, list);
}

// Reads up to `width` digits; false when no digit follows.
bool read_group(const char*& p, int width, int& out)
{
    if (!std::isdigit(static_cast<unsigned char>(*p)))
        return false;
    int v = 0;
    for (int n = 0; n < width && std::isdigit(static_cast<unsigned char>(*p)); ++n, ++p)
        v = v * 10 + (*p - '0');
    out = v;
    return true;
}

void convert_hour(const char* v)
{
    Date d;
    DATE_init(&d);
    const std::size_t len = std::strlen(v);
    const bool colon = std::strchr(v, ':') != nullptr;
    const bool digit0 = std::isdigit(static_cast<unsigned char>(v[0])) != 0;
    if (v[0] == '#') {
        const char* p = v + 1;
        if (read_group(p, 4, d.year) && read_group(p, 2, d.month) && read_group(p, 2, d.day) &&
            read_group(p, 2, d.hour))
            read_group(p, 2, d.min);
    } else if (len == 6 && !colon) {
        std::sscanf(v, "%2d%2d%2d", &d.month, &d.day, &d.hour);
    } else if (len == 4 && digit0 && !colon) {
        std::sscanf(v, "%2d%2d", &d.day, &d.hour);
    } else if (len == 3 && digit0 && !colon) {
        std::sscanf(v, "%1d%2d", &d.day, &d.hour);
    } else if (std::strchr(v, 'd')) {
        std::sscanf(v, "%dd%d:%d", &d.day, &d.hour, &d.min);
    } else if (v[0] == ':') {
        std::sscanf(v, ":%d", &d.min);
    } else if (v[0] == '-' && v[1] == ':') {
        int m = 0;
        if (std::sscanf(v + 2, "%d", &m) == 1)
            d.min = -m;
    } else {
        std::sscanf(v, "%d:%d", &d.hour, &d.min);
        // "-0:30": thirty minutes back, not hour zero.
        if (v[0] == '-' && d.hour == 0) {
            d.hour = kMissing;
            if (!is_missing(d.min))
                d.min = -d.min;
        }
    }
    FILE_set_time(&d);
}

long clamp_long(long v, long lo, long hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace

// ---- Declarations ------------------------------------------------------------

int RES_enter(RES_defobj* obj, res_type key)
{
    if (!obj)
        return -1;
    const KeyInfo* k = find_key(key);
    if (!k) {
        *obj = RES_defobj{g_empty, g_empty, nullptr, CV_none, nullptr, nullptr, 0};
        MESS_print(M_print, "%d\n", static_cast<int>(key));
        return -1;
    }
    *obj = RES_defobj{k->def, k->env, k->cmd, k->cvt, nullptr, nullptr, k->pos};
    return 0;
}

int RES_init(int argc, char** argv, const res_type* res_key, const res_type* res_pos)
{
    FLAG_reset(kMissing);
    FLAG_resetplot(1);
    RES_clear();
    try {
        g_res.table.clear();
        for (const res_type* list : {res_key, res_pos}) {
            for (const res_type* k = list; k && *k != RES_null; ++k) {
                RES_defobj obj{};
                RES_enter(&obj, *k);
                g_res.table.push_back(obj);
            }
        }
        g_res.table.push_back(RES_defobj{nullptr, nullptr, nullptr, CV_none, nullptr, nullptr, 0});
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "RES_init: out of memory\n");
        return 1;
    }
    RES_decode(argc > 0 && argv ? argv[0] : nullptr, "Zem", argc, argv, g_res.table.data());
    if (const char* tz = std::getenv("zemtz"))
        DATE_set_TZ(tz);
    return 1;
}

int RES_decode(const char* progname, const char* res_class, int argc, char** argv,
               RES_defobj* def_table)
{
    (void)res_class;  // the class name would key X-style resources; unused
    static RES_defobj empty_table[1] = {{nullptr, nullptr, nullptr, CV_none, nullptr, nullptr, 0}};
    g_res.decl = def_table ? def_table : empty_table;
    if (!argv)
        argc = 0;
    RES_setCL(argc, argv);
    DEF_name(nullptr);
    if (argc > 0 && argv[0])
        DEF_prog(nullptr);
    else
        DEF_prog(progname ? progname : "ZEM");

    try {
        if (const char* dflt = std::getenv("zemdefault"))
            RES_new(kMissing, "default", dflt, CV_string);
        first_pass(argc, argv);
        // The path list is copied: reading the files may replace "default".
        const char* dflt = RES_get("default");
        const std::string list = dflt ? dflt : "";
        read_files(dflt ? list.c_str() : nullptr);
        read_environment();
        second_pass(argc, argv);
        end_window_link();
        decode_conversions();
    } catch (const std::bad_alloc&) {
        DEF_close();
        MESS_print(M_error, "RES_decode: out of memory\n");
    }
    return 0;
}

int RES_clear()
{
    g_res.store.clear();
    return 0;
}

// ---- Store --------------------------------------------------------------------

int RES_new(int index, const char* name, const char* data, DEF_convert cvt)
{
    if (!name)
        return -1;
    try {
        Entry* e = find_entry(name);
        if (!e) {
            auto fresh = std::make_unique<Entry>();
            fresh->name = name;
            g_res.store.push_back(std::move(fresh));
            e = g_res.store.back().get();
        }
        e->index = index;
        e->cvt = cvt;
        e->has_data = data != nullptr;
        e->data = data ? data : "";
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return 0;
}

int RES_append(int index, const char* name, const char* data, DEF_convert cvt)
{
    Entry* e = find_entry(name);
    if (!e)
        return RES_new(index, name, data, cvt);
    if (!data)
        return 0;
    try {
        if (e->has_data)
            e->data += "\n";
        e->data += data;
        e->has_data = true;
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return 0;
}

int RES_put(const char* name, const char* value)
{
    return RES_new(kMissing, name, value, CV_string);
}

char* RES_get(const char* name)
{
    Entry* e = find_entry(name);
    if (!e)
        return nullptr;
    return e->has_data ? e->data.data() : g_empty;
}

int RES_getval(const char* name, void* data, DEF_convert cvt)
{
    Entry* e = find_entry(name);
    if (!e || !data)
        return 0;
    return RES_conv_data(e->has_data ? e->data.data() : nullptr, data, cvt);
}

int RES_getvals(const char* name, int* paramc, char*** paramv)
{
    if (paramc)
        *paramc = 0;
    if (paramv)
        *paramv = nullptr;
    Entry* e = find_entry(name);
    if (!e || !e->has_data || !paramc || !paramv)
        return 0;
    char delim = e->cvt == CV_strings ? '\n' : ',';
    parse_string(e->data.c_str(), delim, paramc, paramv);
    return *paramc;
}

int RES_conv_data(const char* data, void* out, DEF_convert cvt)
{
    switch (cvt) {
    case CV_batch:
        FLAG_set(FLAG_BATCH, 1);
        // Batch runs are quiet unless the user chose a level.
        if (!MESS_check_set())
            MESS_set(0, 255);
        return 1;
    case CV_help:
        FLAG_set(FLAG_HELP, 1);
        return 1;
    case CV_bool:
        if (out) {
            int* b = static_cast<int*>(out);
            if (!data || stricmp(data, "true") == 0 || stricmp(data, "on") == 0 ||
                stricmp(data, "yes") == 0)
                *b = 1;
            else if (stricmp(data, "false") == 0 || stricmp(data, "off") == 0 ||
                     stricmp(data, "no") == 0)
                *b = 0;
            return 1;
        }
        break;
    default:
        break;
    }
    if (!data)
        return 0;

    switch (cvt) {
    case CV_mess:
        MESS_set_str(data);
        return 1;
    case CV_hour:
        convert_hour(data);
        return 1;
    case CV_file_param:
        set_flag_words(data, kFileParams, FLAG_FILE_PARAM);
        return 1;
    case CV_plot_type:
        set_flag_words(data, kPlotTypes, FLAG_PLOT_TYPE);
        return 1;
    case CV_draw:
        convert_draw(data);
        return 1;
    default:
        break;
    }
    if (!out)
        return 0;

    const char c0 = data[0];
    const bool digit0 = std::isdigit(static_cast<unsigned char>(c0)) != 0;
    switch (cvt) {
    case CV_int:
        if (digit0 || c0 == '-' || c0 == '+') {
            bool hex = data[1] == 'x' || data[1] == 'X';
            long v = std::strtol(data, nullptr, hex ? 16 : 10);
            *static_cast<int*>(out) = static_cast<int>(clamp_long(v, INT_MIN, INT_MAX));
        }
        return 1;
    case CV_short:
        if (digit0)
            *static_cast<short*>(out) =
                static_cast<short>(clamp_long(std::strtol(data, nullptr, 10), SHRT_MIN, SHRT_MAX));
        return 1;
    case CV_long:
        if (digit0)
            *static_cast<long*>(out) = std::strtol(data, nullptr, 10);
        return 1;
    case CV_float:
        *static_cast<float*>(out) = std::strtof(data, nullptr);
        return 1;
    case CV_color:
        *static_cast<int*>(out) =
            static_cast<int>(clamp_long(std::strtol(data, nullptr, 10), INT_MIN, INT_MAX));
        return 1;
    case CV_string:
    case CV_strings:
    case CV_current:
    case CV_name:
    case CV_ingestor:
        *static_cast<const char**>(out) = data;
        return 1;
    case CV_strcpy: {
        char* dst = static_cast<char*>(out);
        std::size_t n = std::strlen(data);
        if (n > static_cast<std::size_t>(RES_STRCPY_LEN - 1))
            n = static_cast<std::size_t>(RES_STRCPY_LEN - 1);
        std::memcpy(dst, data, n);
        dst[n] = '\0';
        return 1;
    }
    case CV_path:
        if (stricmp(data, "none") == 0) {
            char* s = static_cast<char*>(std::calloc(1, 1));
            *static_cast<char**>(out) = s;
        } else {
            *static_cast<char**>(out) = FILE_add_path_delim(data);
        }
        return 1;
    case CV_region:
    case CV_domain:
        // -1 tells the caller that the domain was refused (and why, printed).
        return DOM_decode(data, static_cast<Domain*>(out)) == -1 ? -1 : 1;
    case CV_device: {
        RES_set_device(data);
        // A name only when a second field is left once trailing commas are
        // dropped (the field splitting of parse_string): "p," names nothing.
        const char* comma = std::strchr(data, ',');
        if (comma && comma[std::strspn(comma, ",")] != '\0')
            *static_cast<const char**>(out) = comma + 1;
        return 1;
    }
    default:
        return 0;
    }
}

int RES_list()
{
    for (const auto& e : g_res.store) {
        if (e->has_data)
            MESS_print(8, "%s: %s\n", e->name.c_str(), e->data.c_str());
        else
            MESS_print(8, "%s:\n", e->name.c_str());
    }
    return 0;
}

// ---- Program name and help ------------------------------------------------------

int RES_setCL(int argc, char** argv)
{
    g_res.argc = argc;
    g_res.have_cl = argc > 0 && argv && argv[0];
    g_res.prog = g_res.have_cl ? argv[0] : "";
    return 0;
}

char* RES_get_prog()
{
    return g_res.have_cl ? g_res.prog.data() : nullptr;
}

char* RES_get_progname(char* prog)
{
    const char* base = "ZEM";
    if (g_res.have_cl) {
        const char* slash = std::strrchr(g_res.prog.c_str(), '/');
        base = slash ? slash + 1 : g_res.prog.c_str();
    }
    std::size_t n = std::strlen(base);
    if (!prog) {
        prog = static_cast<char*>(std::malloc(n + 1));
        if (!prog)
            return g_zem;
        std::memcpy(prog, base, n + 1);
        return prog;
    }
    if (n > static_cast<std::size_t>(RES_PROG_LEN - 1))
        n = static_cast<std::size_t>(RES_PROG_LEN - 1);
    std::memcpy(prog, base, n);
    prog[n] = '\0';
    return prog;
}

int RES_help_print(const char* name, const res_type* res_key, const res_type* res_pos)
{
    const char* prog = name ? name : "";
    MESS_print(M_print, "%s syntax (version:%s)\n", prog, ZEM_version());
    MESS_print(M_print, "   %s [options...]\n", prog);
    MESS_print(M_print, "Keyed options...\n");
    MESS_print(M_print, " %-10s  Resource/defaults file name\n", "-df file");
    MESS_print(M_print, " %-10s  Program name\n", "-na name");
    for (const res_type* k = res_key; k && *k != RES_null; ++k)
        RES_help_item(*k);
    MESS_print(M_print, "Positional options...\n");
    for (const res_type* k = res_pos; k && *k != RES_null; ++k)
        RES_help_item(*k);
    return 0;
}

int RES_help_item(res_type res)
{
    const KeyInfo* k = find_key(res);
    if (!k) {
        MESS_print(M_print, "%d\n", static_cast<int>(res));
        return -1;
    }
    if (k->kind == kHelpDomain || k->kind == kHelpRegion) {
        MESS_print(M_print, " %-10s\n", k->help_sw);
        MESS_print(M_print, "             %s\n", k->help);
        MESS_print(M_print, "               region=predefined region:\n");
        MESS_print(M_print, "                  us,ne,at,se,mw,sp,nw,sw,etc\n");
        MESS_print(M_print,
                   "               proj=projection, clat=central latitude, clon=central longitude,\n");
        MESS_print(M_print, "               nx,ny=number of gridpoints and dx,dy=grid spacing\n");
        if (k->kind == kHelpRegion)
            MESS_print(M_print, "               us,ne,at,se,mw,sp,nw,sw,var\n");
        return 0;
    }
    MESS_print(M_print, " %-10s  %s\n", k->help_sw, k->help);
    if (k->kind == kHelpMessage)
        MESS_print(M_print,
                   "               none,print,error,warn,mess,out1,*out2,out3,out4,debug\n");
    return 0;
}

int RES_set_device(const char* str)
{
    int type = 1;
    switch (str ? str[0] : '\0') {
    case 'm': case 'M': type = 3; break;
    case 'p': case 'P': type = 4; break;
    case 'h': case 'H': case 'q': case 'Q': type = 5; break;
    case 'w': case 'W': type = 6; break;
    default: type = 1; break;
    }
    FLAG_set(FLAG_WS_TYPE, type);
    return type;
}
