// Map domains: the Domain record, projection codes and names, domain
// strings, the region file and its menu, the built-in regions, and the label
// priority that follows from a domain's size.
#ifndef ZEM_REGION_H
#define ZEM_REGION_H

#include "mess.h"

// Which part of the earth (or of a diagram) a plot covers and how it is
// projected. -9999 means unset in every field but `ellipse`.
struct Domain {
    int proj;        // projection code, -9999 = unset
    float plat;      // projection latitude (degrees), -9999 = use clat
    float plon;      // projection longitude (degrees), -9999 = use clon
    float param[5];  // projection parameters, -9999 when unset
    float clat;      // centre latitude
    float clon;      // centre longitude
    float dx;        // grid spacing, projection units
    float dy;
    int nx;          // grid points in x
    int ny;          // grid points in y
    int ellipse;     // 0 = spherical earth, 1 = ellipsoidal
};

// Projection codes (the `proj` field).
inline constexpr int DOM_PSTEREO = 1;
inline constexpr int DOM_LATLON = 2;
inline constexpr int DOM_MERC = 3;
inline constexpr int DOM_LAMB = 4;
inline constexpr int DOM_ORTHO = 5;
inline constexpr int DOM_GNOM = 6;
inline constexpr int DOM_MOLL = 7;
inline constexpr int DOM_LAMBAZ = 8;
inline constexpr int DOM_SAT = 9;
inline constexpr int DOM_XY = 20;
inline constexpr int DOM_XZ = 21;
inline constexpr int DOM_XLOGP = 22;
inline constexpr int DOM_POLAR = 23;
inline constexpr int DOM_CAT = 24;
inline constexpr int DOM_XP = 25;
inline constexpr int DOM_SKEWT = 40;
inline constexpr int DOM_STUVE = 41;
inline constexpr int DOM_EMA = 42;
inline constexpr int DOM_TEPH = 43;
inline constexpr int DOM_RTEPH = 44;
inline constexpr int DOM_ZOOM = 50;
inline constexpr int DOM_SIZE = 51;
inline constexpr int DOM_PIXEL = 99;

// Field codes of the domain-string templates (DOM_set_params); 0 ends a
// template.
inline constexpr int DOM_F_END = 0;
inline constexpr int DOM_F_PROJ = 1;
inline constexpr int DOM_F_PLON = 3;
inline constexpr int DOM_F_LOC = 4;
inline constexpr int DOM_F_CLAT = 5;
inline constexpr int DOM_F_CLON = 6;
inline constexpr int DOM_F_NX = 7;
inline constexpr int DOM_F_NY = 8;
inline constexpr int DOM_F_DX = 9;
inline constexpr int DOM_F_DY = 10;
inline constexpr int DOM_F_REGION = 11;

// One entry of the region menu. Entry 0 is "Return to previous menu"/"back";
// the entry after the last loaded region has a null name. The strings are
// owned by the region module and stay valid until the next DOM_read_menu.
struct MENU_item {
    const char* name;  // description, at most 20 characters, blanks for '_'
    const char* abbr;  // abbreviation, at most 5 characters
    int index;         // entry number
    int disp[2];       // disp[0]: the region file's menu flag
};

inline constexpr int DOM_MENU_SIZE = 20;
// Size a caller must give DOM_search_file's output (fields are cut at 79).
inline constexpr int DOM_FIELD_SIZE = 80;

// Set every field of `domain` unset (-9999), `ellipse` 0. Returns 0.
int DOM_init(Domain* domain);

// Decode a domain string into `domain`. Returns -9999 for a null, empty or
// "miss" string (domain unset), 1 for an explicit domain, 2 for a region name,
// -1 when no template matches ("DOM_decode: Invalid plot domain" warning),
// for an unknown region name and for a domain that cannot be drawn (centre
// beyond a pole, spacing or size not positive, Lambert standard latitudes
// symmetric about the equator), each with a warning that says why.
// After a -1 the fields hold whatever the last template read: test the result.
int DOM_decode(const char* str, Domain* domain);

// Match `count` split fields against one template of up to eight field codes
// (ended by 0) and store them in `domain`. Returns 0 on success, -1 when the
// field count differs from the template's length, else the failing code.
int DOM_set_params(int count, char** fields, Domain* domain, int c1, int c2,
                   int c3, int c4, int c5, int c6, int c7, int c8);

// Projection name to code by case-insensitive prefix; -1 for unknown/null,
// -9999 for "miss".
int DOM_proj_str(const char* name);

// The printed name of a projection code, or null for codes without one.
const char* DOM_proj_name(int proj);

// Fill a built-in region ("us", "ne", ..., "var" prompts for its centre).
// Returns 1, or 0 for an unknown name (code 1, 25x17, spacing 1.2, no centre).
int DOM_get_def_region(const char* name, Domain* domain);

// Copy the domain string of region `abbr` (null: the first region) of region
// file `file` into `out`, which holds DOM_FIELD_SIZE bytes. Returns 1 when
// found, 0 otherwise.
int DOM_search_file(const char* file, const char* abbr, char* out);

// Load the region menu from a region file. Returns 1, 0 when it cannot be
// opened.
int DOM_read_menu(const char* file);

// The domain from the resources "plot_domain" (flag 1, 3, 4) and "region";
// flag 4 falls back to entry 1 of the "zem.reg" menu. Returns the decoding's
// result, or 0 when nothing applied.
int DOM_get_region(Domain* domain, int flag);

// 1 when the two domains are equal (effective plat/plon), else 0.
int DOM_comp(const Domain* d1, const Domain* d2);
// 1 when the two domains share their projection, else 0.
int DOM_comp_proj(const Domain* d1, const Domain* d2);
// 1 when every field of the two domains is exactly the same (as given, not
// as it takes effect), else 0: the test for reusing work done on a domain.
int DOM_identical(const Domain* d1, const Domain* d2);

// Print `domain` as a domain string when `severity` is enabled. Returns 1
// when printed, else 0.
int DOM_print(M_type severity, const Domain* domain);

// Write the text DOM_print prints (with its line feed) into `out` of `size`
// bytes. Returns the length of the whole text (as snprintf does).
int DOM_sprint(const Domain* domain, char* out, int size);

// (nx-1)/(ny-1); 1.0 when nx or ny is below 2.
float DOM_aspect(const Domain* domain);

// Label priorities: the base priority from a map size (hundreds of km),
// adjusted by the "stat_prior" resource; and the location priority.
int DOM_set_base_prior(float size);
int DOM_set_prior(int prior);
int DOM_get_prior();
int DOM_set_loc_prior(int prior);
int DOM_get_loc_prior();

// List a region file: abbreviation and description of each line. Returns 1,
// 0 when it cannot be opened.
int DOM_print_file(const char* file);

// The menu entry's name, or null outside the menu or past its end.
const char* DOM_get_region_name(int entry);
// The whole menu (DOM_MENU_SIZE entries) and the count of regions loaded
// (the number of the first free entry).
const MENU_item* DOM_get_menu();
int DOM_get_num_regions();

#endif
