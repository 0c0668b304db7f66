// Command lines: the input, split at newlines, becomes the argument list of
// a full resource decoding with the display program's declarations.
// A "message" value may name log files, which the decoding creates: the
// target works in a scratch folder of its own and skips inputs with a "/"
// (which could name a file elsewhere), so give libFuzzer absolute corpus
// and artifact paths (run_all.sh does).
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "resrc.h"
#include "string.h"

namespace {
const res_type kKeys[] = {
    RES_help, RES_batch, RES_message, RES_file_path, RES_data_path, RES_con_path,
    RES_grid_path, RES_raw_path, RES_image_path, RES_watch_path, RES_text_path,
    RES_model_path, RES_sat_path, RES_city_file, RES_map_file, RES_input, RES_output,
    RES_name_conv, RES_in_file, RES_out_file, RES_file_param, RES_current, RES_hour,
    RES_num_hour, RES_plot_domain, RES_grid_domain, RES_region, RES_stat_prior,
    RES_plot_type, RES_plot_scale, RES_plot_format, RES_plot_param, RES_draw, RES_label,
    RES_con_interval, RES_con_base, RES_font_list, RES_color_table, RES_color_text,
    RES_color_data, RES_color_map, RES_color_grid, RES_color_line, RES_color_fill,
    RES_device, RES_title, RES_icon, RES_background, RES_geometry, RES_null};
const res_type kPos[] = {RES_filenames, RES_null};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    static bool moved = false;
    if (!moved) {
        moved = true;
        char dir[] = "/tmp/zem_fuzz_cmdline_XXXXXX";
        if (!mkdtemp(dir) || chdir(dir) != 0) std::abort();
    }
    if (size > 4096) return 0;
    for (std::size_t i = 0; i < size; ++i)
        if (data[i] == '/') return 0;
    std::vector<std::string> words{"orlo"};
    std::string cur;
    for (std::size_t i = 0; i < size; ++i) {
        char c = static_cast<char>(data[i]);
        if (c == '\n') {
            words.push_back(cur);
            cur.clear();
        } else if (c != '\0') {
            cur += c;
        }
    }
    words.push_back(cur);
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    RES_init(static_cast<int>(words.size()), argv.data(), kKeys, kPos);
    int count = 0;
    char** values = nullptr;
    for (const char* name : {"plot_domain", "hour", "filenames", "color_fill", "draw"}) {
        RES_get(name);
        if (RES_getvals(name, &count, &values) > 0) {
            free_parsed_array(count, values);
        }
        values = nullptr;
    }
    MESS_reset();  // closes any log file the line opened
    fuzz::reset_quiet();
    return 0;
}
