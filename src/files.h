// File names and file sequences: naming conventions read from the
// "name_conv" table and expanded for a date through the "%" template
// language, the user's file requests (literal, partial, dated, latest,
// current with offsets), the start-up choice of the input file, the sequence
// of files for an animation, and small file utilities (paths, home
// directories, pipes and standard streams, the overwrite question).
#ifndef ZEM_FILES_H
#define ZEM_FILES_H

#include <cstdio>
#include <string>

#include "date.h"

// Every char* output of this module that receives a file name or template
// must hold at least FILE_NAME_LEN bytes; longer results are cut.
inline constexpr int FILE_NAME_LEN = 160;
// Key values keep at most FILE_KEY_LEN - 1 characters.
inline constexpr int FILE_KEY_LEN = 30;

// ---- Naming conventions -------------------------------------------------

// Selects the naming convention `name`: "none" clears it; "@template" is an
// inline template; ":k=value" suffixes set keys; otherwise the name is
// looked up in the name_conv table (exact, then leading-part match). Returns
// 1 when a convention was found, 0 when the name itself became the template.
int FILE_set_name(const char* name);
// Reads "late_off template header-template" into the current convention.
int FILE_set_name_conv(const char* str);
// Writes "late_off template header-template" (FILE_NAME_LEN*2+20 bytes suffice).
int FILE_get_name_conv(char* str);
// One-level save and restore of interval, templates and last file name.
int FILE_save_name_conv();
int FILE_restore_name_conv();
int FILE_set_late_off(int secs);
int FILE_get_late_off();
// The file interval when positive, else 100000.
int FILE_get_offset();
// Minimum size in bytes for the latest-file search (overrides the table's).
int FILE_set_min_size(int size);
int FILE_get_min_size();
// Key values by key character; at most 29 characters, blanks become "_".
int FILE_set_key(char key, const char* str);
// Copies the key's value into `str` (FILE_KEY_LEN bytes); returns its length.
int FILE_get_key(char key, char* str);
// 1: file requests carry extra information after "#", "-", "+" or ":".
int FILE_set_type(int type);
char* FILE_get_ext_info();
int FILE_set_ext_info(const char* info);
// 1: expand the header template instead of the file template.
int FILE_set_header(int header);
// Sets the last file name as a user-given name.
int FILE_set_filename(const char* name);
int FILE_get_filename(char* name);

// ---- Hour setting -------------------------------------------------

// Sets the requested hour setting (fields >= 0 fix a field, -9999
// leaves it to the date, other negatives give a step and offset).
int FILE_set_time(const Date* datim);
int FILE_get_time(Date* datim);
// Year, month, day, hour and minute of the request back to -9999.
int FILE_reset_time();

// ---- Names ----------------------------------------------------------------

// Expands the current template for `datim` (null: the last file date) into
// `out_file`. Returns 0, or 1 when no template applies and the literal file
// name (or a standard stream "-") was used.
int FILE_set_date(const Date* datim, char* out_file);
// Expands for `datim` + `offset` seconds; returns offset / FILE_get_offset().
int FILE_set_date_off(const Date* datim, int offset, char* out_file);
// Turns a user's file request into a file name of the convention: the
// request's digits fill the date codes they stand under, so a date text such
// as "2403051330" names that time's file (the template's leading path and
// text are kept); a key is taken from the request only where it is spelled
// there. Other requests are literal names. Returns 0, or 1 when the result
// is a literal or standard-stream name.
int FILE_set_file(const char* req, char* out);
// Names the current (or latest, "la") file of the convention, with offsets
// ("-3", "+1d", "la#20", "#202403051200"); `cur` null means "la". Returns
// the file time in seconds since 1970, rounded down to the file interval.
int FILE_set_current(const char* cur, char* filename);
// The date of the file last named or matched.
int FILE_get_date(Date* datim);

// ---- Start-up selection and sequences ------------------------------------

// Chooses the input file: positional names, then "current", then the latest
// file in batch mode, else prompting (up to 4 times, fewer when the input
// ends; exits with status 10 when nothing is found, 0 on "exit"). Returns 1
// when the file exists, 0 when a positional name does not.
int FILE_get_file(const char* prompt, char* outfile);
// The same without warnings, one prompt, returning 0 instead of exiting.
int FILE_get_file_only(const char* prompt, char* outfile);
// Lists the files of the convention (shell "ls -x" of a glob).
int FILE_list_file();
// Starts a sequence anchored at `datim` from the filename and num_hour
// resources. Returns the number of files expected (FILE_get_num_file).
int FILE_first(const Date* datim);
// The next name of the sequence into `file`; 1 while there is one, else 0.
int FILE_get_next(char* file);
// Step the sequence one interval forward or back from the current position
// and name that file; return the new offset in seconds.
int FILE_next_file(char* file);
int FILE_prev_file(char* file);
int FILE_get_num_file();
// The span of the current sequence in seconds (negative: back in time).
int FILE_get_num_hour();
// The span requested by the num_hour resource in seconds (def_hours without),
// bounded to +-1e9 s (about 31 years).
int FILE_num_hour();
// The step requested after the "," of num_hour in seconds (late_off without),
// bounded like the span.
int FILE_get_skip();
int FILE_get_nsecs();
int FILE_set_nsecs(int nsecs);
// Default span in hours when num_hour is not given.
int FILE_set_def_hours(int hours);
// Writes the sequence anchor date as "YYYYMMDDHHMM" into `str`; returns str.
char* FILE_print_first_date(char* str);

// ---- Utilities ------------------------------------------------------------

// 1 when the name begins with "/", "." or "~".
int FILE_fullpath(const char* name);
// path + "/" (when missing) + name into `out`, which holds FILE_NAME_LEN
// characters (longer results are cut); standard streams and full paths
// unchanged. Returns out.
char* FILE_add_path(const char* path, const char* name, char* out);
// The same join without a length limit, against the resource "file_path":
// where the run-time data files (regions, places, colours) are looked for.
std::string FILE_with_file_path(const char* name);
// A malloc'd copy of `path` ending in "/" (the caller frees it); null for null.
char* FILE_add_path_delim(const char* path);
// Replaces a leading "~" or "~user" by the home directory. Returns out.
char* FILE_add_user_path(const char* name, char* out);
// Opens standard streams ("-", "std", "stdn", ""), pipes ("|command") and
// files (home-expanded; missing directories created for "w" and "a" modes).
// Close the result with FILE_close.
FILE* FILE_open(const char* name, const char* mode);
// Closes what FILE_open returned: pclose for pipes, nothing for the standard
// streams (flushed only), fclose otherwise. Returns 0 or the close status.
int FILE_close(FILE* fp);
int FILE_exist(const char* name);
int FILE_is_stdio(const char* name);
int FILE_is_dir(const char* name);
int FILE_is_file(const char* name);
int FILE_is_fifo(const char* name);
int FILE_is_device(const char* name);
// Size in bytes, -1 when the file does not exist.
long FILE_size(const char* name);
// Modification time in seconds since 1970, -1 when the file does not exist.
long FILE_modtime(const char* name);
// Removes the file; 0 on success, -1 otherwise.
int FILE_delete(const char* name);
// Creates the missing directories of `path` with mode 0755. flag 0: `path` is
// a directory; flag 1: `path` names a file whose directories are made.
// Returns 0, -1 when a directory could not be made.
int FILE_make_dir(const char* path, int flag);
// Whether to write `name`: 1 overwrite, 2 append, 3 use the existing file,
// 0 do nothing (see the file_param resource).
int FILE_overwrite(const char* name, int flag);
// Package data kind from the first characters of the file: 11 ZEMSFC,
// 12 ZEMUPA, 5 ZEMRAW, 6 ZEMGRID, 8 ZEMMETA, 9 ZEMIMG, else -1. Only plain
// (home-expanded) files are read: never a "|" command or standard input.
// A name that does not open is tried again without its text from the
// first "-" on.
int FILE_type(const char* name);
// Back to the start-up state (convention, keys, hour setting,
// sequence, saved copies).
int FILE_reset();

#endif
