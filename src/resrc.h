// Resources: the named run-time parameters of the program. A declaration
// table says which resources a program accepts (name, command-line switch,
// environment variable, conversion); RES_init fills the store from built-in
// defaults, resource files along a path, the environment and the command
// line, in rising precedence; modules then look values up by name.
#ifndef ZEM_RESRC_H
#define ZEM_RESRC_H

// Conversion kinds: how a stored text is turned into a value.
enum DEF_convert {
    CV_none = 0,
    CV_bool = 1,
    CV_int = 2,
    CV_short = 3,
    CV_long = 4,
    CV_float = 5,
    CV_string = 6,
    CV_strcpy = 7,
    CV_path = 8,
    CV_mess = 9,
    CV_draw = 10,
    CV_current = 11,
    CV_hour = 12,
    CV_region = 13,
    CV_name = 14,
    CV_ingestor = 15,
    CV_file_param = 16,
    CV_device = 17,
    CV_plot_type = 18,
    CV_color = 19,
    CV_domain = 20,
    CV_strings = 21,
    CV_batch = 22,
    CV_help = 23
};

// Every resource key the package knows. A program hands RES_init a list of
// these, ended by RES_null. Numbers without a name (between RES_color_state
// and RES_sat_path) are reserved and declare nothing.
enum res_type {
    RES_null = 0,
    RES_help = 1,
    RES_batch,
    RES_message,
    RES_file_path,
    RES_data_path,
    RES_con_path,
    RES_grid_path,
    RES_raw_path,
    RES_image_path,
    RES_watch_path,   // 10
    RES_text_path,
    RES_model_path,
    RES_city_file,
    RES_map_file,
    RES_input,        // switch "inp" (this program's)
    RES_input_in,     // the same resource with switch "in" (sibling programs)
    RES_output,
    RES_name_conv,
    RES_in_file,      // switch "if"
    RES_in_file_inf,  // 20: the same resource with switch "inf"
    RES_out_file,
    RES_file_param,
    RES_current,
    RES_hour,
    RES_num_hour,
    RES_plot_domain,
    RES_grid_domain,
    RES_region,
    RES_stat_prior,
    RES_plot_type,    // 30
    RES_plot_scale,
    RES_plot_format,
    RES_plot_param,
    RES_draw,
    RES_label,
    RES_con_interval,
    RES_con_base,
    RES_font_list,
    RES_color_table,
    RES_color_text,   // 40
    RES_color_data,
    RES_color_map,
    RES_color_grid,
    RES_color_line,
    RES_color_fill,
    RES_device,
    RES_title,
    RES_icon,
    RES_background,
    RES_geometry,     // 50
    RES_filename,     // first positional argument only, copied
    RES_filenames,    // every positional argument, newline-separated
    // Keys of sibling programs of the package.
    RES_ingestor,
    RES_bull_file,
    RES_log_file,
    RES_decode_hour,
    RES_model,
    RES_grid_type,
    RES_grid_num,
    RES_identifier,   // 60
    RES_product,
    RES_forecast,
    RES_state,
    RES_time,
    RES_level,
    RES_variable,
    RES_object_param,
    RES_parameter,
    RES_table,
    RES_window_num,   // 70
    RES_command,
    RES_value,
    RES_color_cont,
    RES_color_vect,
    RES_color_barb,
    RES_color_stat,
    RES_color_wx,
    RES_color_label,
    RES_color_bar,
    RES_color_front,  // 80
    RES_color_high,
    RES_color_low,
    RES_color_county,
    RES_color_state,  // 84
    RES_sat_path = 114
};

// One declaration: where a resource comes from and how it is converted.
// `cmd` is the command-line switch; positional declarations have a null
// `cmd` and `pos` 1..9 (that argument only) or 10 (every positional
// argument). A table ends with a record whose `def` is null.
struct RES_defobj {
    const char* def;   // resource name ("" for an undeclared key)
    const char* env;   // environment variable name
    const char* cmd;   // command-line switch, null for positional arguments
    DEF_convert cvt;
    void* out;         // output of a decode-time conversion (null here)
    int* num;          // count output for CV_strings (null here)
    int pos;           // 0 for switches, else the argument position (10 = all)
};

// A CV_strcpy output buffer must hold RES_STRCPY_LEN bytes; longer values
// are cut.
inline constexpr int RES_STRCPY_LEN = 160;
// The name buffer given to RES_get_progname must hold RES_PROG_LEN bytes.
inline constexpr int RES_PROG_LEN = 64;

// ---- Start-up ----------------------------------------------------------------

// Resets the flags (-9999) and draw components (1), empties the store,
// builds the declaration table from the RES_null-ended key list followed by
// the RES_null-ended positional list (either may be null), decodes the
// command line, environment and resource files, and applies "zemtz" to the
// date display zone. Returns 1.
int RES_init(int argc, char** argv, const res_type* res_key, const res_type* res_pos);
// The decoding proper (resource files, environment, two command-line
// passes, decode-time conversions) with `def_table` as declarations; the
// table must outlive the run. Returns 0.
int RES_decode(const char* progname, const char* res_class, int argc, char** argv,
               RES_defobj* def_table);
// Fills `obj` with the fixed declaration of `key`; an undeclared key gets
// an empty name and its number is printed. Returns 0, -1 for an undeclared key.
int RES_enter(RES_defobj* obj, res_type key);
// Empties the store (the declaration table stays). Returns 0.
int RES_clear();

// ---- Store -------------------------------------------------------------------

// Inserts or replaces (a new name goes to the end). `data` is copied; null
// stays null (a switch without a value). Returns 0, -1 out of memory.
int RES_new(int index, const char* name, const char* data, DEF_convert cvt);
// Like RES_new for a new name; for an existing name, a non-null `data` is
// appended after a line feed (or replaces a null value).
int RES_append(int index, const char* name, const char* data, DEF_convert cvt);
// RES_new(-9999, name, value, CV_string).
int RES_put(const char* name, const char* value);
// The stored text; "" when stored without a value; null when absent. Valid
// until the resource is set again.
char* RES_get(const char* name);
// Converts the stored value into `data` (its type depends on `cvt`: int*,
// short*, long*, float*, char** for CV_string/CV_path/CV_device, a
// RES_STRCPY_LEN buffer for CV_strcpy, Domain* for CV_domain/CV_region).
// Returns 0 when the resource is absent or `data` is null, else the
// conversion's result.
int RES_getval(const char* name, void* data, DEF_convert cvt);
// Splits the value into a list: at line feeds for a CV_strings resource, at
// commas otherwise. Returns the count, 0 when absent. Free the list with
// free_parsed_array(count, list).
int RES_getvals(const char* name, int* paramc, char*** paramv);
// One conversion (see RES_getval). With a null `out` only the decode-time
// conversions act (batch, help, message, hour, file_param, plot_type, draw).
int RES_conv_data(const char* data, void* out, DEF_convert cvt);
// Prints every stored resource as "name: value" at level 8. Returns 0.
int RES_list();

// ---- Program name and help ---------------------------------------------------

// Remembers the command line. Returns 0.
int RES_setCL(int argc, char** argv);
// argv[0], or null before RES_setCL.
char* RES_get_prog();
// The text after the last "/" of argv[0] ("ZEM" without one), copied into
// `prog` (RES_PROG_LEN bytes) or, when `prog` is null, into a malloc'd
// string the caller frees. Returns the copy ("ZEM" when allocation fails).
char* RES_get_progname(char* prog);
// Prints the help listing for the key lists. Returns 0.
int RES_help_print(const char* name, const res_type* res_key, const res_type* res_pos);
// Prints the help lines of one key. Returns 0, -1 for an undeclared key.
int RES_help_item(res_type res);
// Workstation type from the first letter of a device text (3 m, 4 p, 5 h/q,
// 6 w, else 1); sets flag 2 and returns it.
int RES_set_device(const char* str);

#endif
