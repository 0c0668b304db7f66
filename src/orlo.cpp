// orlo: the satellite image display program. Declares the resources the
// program accepts, fixes the input format and the requested domain, finds
// the input file and its date, and hands over to the plot loop.
#include <malloc.h>

#include <cstdio>

#include "date.h"
#include "files.h"
#include "flag.h"
#include "mess.h"
#include "plt_tool.h"
#include "region.h"
#include "resrc.h"
#include "sat_read.h"
#include "sat_tool.h"
#include "tools.h"

namespace {

// Resource keys in help order; 0 ends each list.
res_type res_key[] = {
    RES_help,        RES_batch,       RES_message,     RES_file_path,   RES_data_path,
    RES_con_path,    RES_grid_path,   RES_raw_path,    RES_image_path,  RES_watch_path,
    RES_text_path,   RES_model_path,  RES_sat_path,    RES_city_file,   RES_map_file,
    RES_input,       RES_output,      RES_name_conv,   RES_in_file,     RES_out_file,
    RES_file_param,  RES_current,     RES_hour,        RES_num_hour,    RES_plot_domain,
    RES_grid_domain, RES_region,      RES_stat_prior,  RES_plot_type,   RES_plot_scale,
    RES_plot_format, RES_plot_param,  RES_draw,        RES_label,       RES_con_interval,
    RES_con_base,    RES_font_list,   RES_color_table, RES_color_text,  RES_color_data,
    RES_color_map,   RES_color_grid,  RES_color_line,  RES_color_fill,  RES_device,
    RES_title,       RES_icon,        RES_background,  RES_geometry,    RES_null,
};
res_type res_pos[] = {RES_filenames, RES_null};

constexpr int kInputFormats[] = {kFormatImg,    kFormatArea, kFormatAwip, kFormatAwipZ,
                                 kFormatUnisys, kFormatTiff, kFormatLrit};

bool known_format(int code)
{
    for (int f : kInputFormats)
        if (f == code) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    // Every frame of a loop allocates and frees buffers of the same large
    // sizes (image, remapped image, picture): keep them in the heap instead
    // of returning them to the system, so that later frames reuse pages that
    // are already mapped.
    mallopt(M_MMAP_THRESHOLD, 512 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
    // The helper threads (file reading, remapping, compression) would each
    // get a heap of their own, in pages never touched before; with one heap
    // for all they reuse what the main thread has freed, such as the image
    // read before the remap.
    mallopt(M_ARENA_MAX, 1);
    RES_init(argc, argv, res_key, res_pos);
    if (FLAG_help()) {
        char prog[RES_PROG_LEN] = {};
        RES_get_progname(prog);
        MESS_print(M_print, "%s: This program plots satellite data\n", prog);
        RES_help_print(prog, res_key, res_pos);
        return 0;
    }

    SAT_in_file();

    // A set plot_domain replaces the region domain completely: the decoder
    // resets the record before filling it.
    Domain domain;
    DOM_init(&domain);
    const int region = RES_getval("region", &domain, CV_domain);
    const int plot_domain = RES_getval("plot_domain", &domain, CV_domain);
    if ((plot_domain != 0 ? plot_domain : region) < 0) {
        MESS_print(M_error, "orlo: no plot: the plot domain cannot be drawn\n");
        return 10;
    }

    VAR_set_type(0, 11);
    MESS_print_prog("SATELLITE IMAGE DISPLAY");

    if (!known_format(FLAG_get(14))) return 0;

    char filename[FILE_NAME_LEN] = {};
    FILE_get_file("Enter the satellite filename: ", filename);
    Date datim;
    FILE_get_date(&datim);
    SAT_set_date(&datim);

    SAT_plot(&domain);
    return 0;
}
