// AREA navigation: conversions between satellite scan coordinates (line and
// element of the full-resolution satellite frame) and earth latitude and
// longitude for the navigation block of an AREA file. Spin-scan ("GOES")
// blocks use an orbit and spin model, three-axis ("GVAR") blocks the
// imager/sounder model with its attitude series; the map-projection blocks
// ("PS", "MSAT", "MOLL", "RECT", "MERC", "LAMB", "TANC") are linear grids of
// one of the projections of maptran.h.
//
// One navigation is active at a time: the last AREA_init wins. Angles are
// degrees at every public interface (longitude east-positive) unless a
// function says radians. Nothing here is reentrant.
#ifndef ZEM_SAT_TRAN_H
#define ZEM_SAT_TRAN_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "region.h"

struct MC_area;

// ===== Navigation block layouts =====
// Every block starts with a 4-character type text. 512-byte blocks hold that
// text, 119 signed 32-bit words (bytes 4..479, byte-swapped by the reader)
// and a 32-byte memo text (bytes 480..511, never swapped). Word numbers below
// count from 0 (word 0 is the type text). Packed angles DDDMMSS are degrees,
// minutes and seconds; longitudes in these blocks are positive WEST.

// Spin-scan satellite (GOES-1..7 era, VISSR/VAS). 512 bytes.
struct MC_nav_goes {
    char type[4];                //   0 w0   "GOES"
    std::uint32_t iddate;        //   4 w1   imaging date YYDDD (or YYYDDD)
    std::uint32_t itime;         //   8 w2   imaging time HHMMSS
    std::int32_t orbtyp;         //  12 w3   orbit type (not used)
    std::uint32_t edate;         //  16 w4   orbit epoch date YYMMDD
    std::uint32_t etime;         //  20 w5   orbit epoch time HHMMSS
    std::uint32_t semima;        //  24 w6   semi-major axis, km x 100 (4216400)
    std::uint32_t eccen;         //  28 w7   eccentricity x 1000000
    std::int32_t orbinc;         //  32 w8   inclination, degrees x 1000
    std::int32_t meana;          //  36 w9   mean anomaly, degrees x 1000
    std::int32_t perigee;        //  40 w10  argument of perigee, degrees x 1000
    std::int32_t asnode;         //  44 w11  right ascension of ascending node, degrees x 1000
    std::int32_t declin;         //  48 w12  spin-axis declination DDDMMSS
    std::int32_t rascen;         //  52 w13  spin-axis right ascension DDDMMSS
    std::uint32_t piclin;        //  56 w14  picture centre line
    std::uint32_t spinp;         //  60 w15  spin period, microseconds (600000)
    std::int32_t deglin;         //  64 w16  total sweep angle along lines DDDMMSS
    std::uint32_t lintot;        //  68 w17  total scan lines; sensors per scan x 100000 + lines
    std::int32_t degele;         //  72 w18  total sweep angle along elements DDDMMSS
    std::uint32_t eletot;        //  76 w19  total elements per line
    std::int32_t pitch;          //  80 w20  misalignment pitch DDDMMSS
    std::int32_t yaw;            //  84 w21  misalignment yaw DDDMMSS
    std::int32_t roll;           //  88 w22  misalignment roll DDDMMSS
    std::int32_t reserved1;      //  92 w23
    std::int32_t iajust;         //  96 w24  attitude adjustment (not used)
    std::int32_t iajtim;         // 100 w25  time of the adjustment (not used)
    std::int32_t reserved2;      // 104 w26
    std::int32_t iskew;          // 108 w27  skew (not used)
    std::int32_t reserved3;      // 112 w28
    std::int32_t beta[9];        // 116 w29..w37 beta counts and times (not used)
    std::int32_t gamma;          // 152 w38  element offset, elements x 100
    std::int32_t gamdot;         // 156 w39  element drift, elements per hour x 100
    std::int32_t reserved4[80];  // 160 w40..w119
    char memo[32];               // 480      memo text
};

// Three-axis satellite (GOES-8 onward imager and sounder), 2560 bytes: the
// type text and 639 words. The attitude series are 55 words each: 3 words
// of exponential term (amplitude x 1e7, time constant minutes x 100,
// constant x 1e7), the number of sinusoids, 15 amplitude/phase pairs
// (x 1e7), the number of monomial sinusoids, then 4 x (order, monomial
// order, 3 values x 1e7). Angles are radians x 1e7. Words 127, 255, 383,
// 511 hold the text "MORE" in real files.
struct MC_nav_gvar {
    char sttype[4];              //    0 w0    "GVAR"
    std::int32_t idntfr;         //    4 w1    block identifier
    std::int32_t imcact;         //    8 w2    IMC active flags (bit 7: on-board IMC on)
    std::int32_t reserved1[2];   //   12 w3..4
    std::int32_t reflon;         //   20 w5    reference longitude (-13089969 = 75 W)
    std::int32_t refdis;         //   24 w6    reference radial distance from nominal, km x 1e7
    std::int32_t reflat;         //   28 w7    reference latitude
    std::int32_t refyaw;         //   32 w8    reference orbit yaw
    std::int32_t ratrol;         //   36 w9    reference attitude roll
    std::int32_t ratptc;         //   40 w10   reference attitude pitch
    std::int32_t ratyaw;         //   44 w11   reference attitude yaw
    std::uint32_t etime[2];      //   48 w12..13 epoch time, binary-coded decimal
                                 //            (0x19982601 0x00000000 = 1998 day 260 10:00)
    std::int32_t edtime;         //   56 w14   delta from epoch, minutes x 100
    std::int32_t imcrol;         //   60 w15   IMC roll
    std::int32_t imcptc;         //   64 w16   IMC pitch
    std::int32_t imcyaw;         //   68 w17   IMC yaw
    std::int32_t ldr[13];        //   72 w18..30  longitude series
    std::int32_t rddr[11];       //  124 w31..41  radial distance series (km x 1e7)
    std::int32_t dgl[9];         //  168 w42..50  geocentric latitude series
    std::int32_t doy[9];         //  204 w51..59  orbit yaw series
    std::int32_t solinc;         //  240 w60   daily solar rate
    std::int32_t exptim;         //  244 w61   exponential start time from epoch, minutes x 100
    std::int32_t raawds[55];     //  248 w62..116  roll attitude series
    std::int32_t reserved2[10];  //  468 w117..126
    std::int32_t more1;          //  508 w127  0x4D4F5245 ("MORE" read as a word)
    std::int32_t reserved3;      //  512 w128
    std::int32_t paawds[55];     //  516 w129..183 pitch attitude series
    std::int32_t yaawds[55];     //  736 w184..238 yaw attitude series
    std::int32_t reserved4[16];  //  956 w239..254
    std::int32_t more2;          // 1020 w255  0x4D4F5245
    std::int32_t reserved5;      // 1024 w256
    std::int32_t rmawds[55];     // 1028 w257..311 roll misalignment series
    std::int32_t pmawds[55];     // 1248 w312..366 pitch misalignment series
    std::int32_t imgday;         // 1468 w367  image day YYYDDD (year - 1900): 98260
    std::int32_t imgtm;          // 1472 w368  image time: hour x 1e7 + minute x 1e5 + ms
    std::int32_t imgsnd;         // 1476 w369  instrument: 1 imager, 2 sounder
    std::int32_t reserved6[9];   // 1480 w370..378
    std::int32_t iofnc;          // 1516 w379  nadir north-south cycles
    std::int32_t iofec;          // 1520 w380  nadir east-west cycles
    std::int32_t iofni;          // 1524 w381  nadir north-south increments
    std::int32_t iofei;          // 1528 w382  nadir east-west increments
    std::int32_t more3;          // 1532 w383  0x4D4F5245
    std::int32_t reserved7[256]; // 1536 w384..639
};

// Polar stereographic ("PS"); the same layout carries "MSAT" (Meteosat)
// blocks, whose slots are read under other meanings (see AREA_map_domain).
struct MC_nav_ps {
    char type[4];                //   0 w0  "PS  " or "MSAT"
    std::int32_t npline;         //   4 w1  satellite line of the pole
    std::int32_t npelem;         //   8 w2  satellite element of the pole
    std::int32_t stdlat;         //  12 w3  standard latitude, degrees x 10000
    std::int32_t spacing;        //  16 w4  grid spacing at the standard latitude, metres
    std::int32_t nrmlon;         //  20 w5  normal (vertical) longitude, degrees x 10000, west +
    std::int32_t equrad;         //  24 w6  equatorial radius, metres (6371200)
    std::int32_t eccent;         //  28 w7  eccentricity x 1000000
    std::int32_t words[112];     //  32 w8..w119
    char memo[32];               // 480
};

// Tangent-cone Lambert ("TANC").
struct MC_nav_tanc {
    char type[4];                //   0 w0  "TANC"
    std::int32_t npline;         //   4 w1  satellite line of the pole x 10000
    std::int32_t npelem;         //   8 w2  satellite element of the pole x 10000
    std::int32_t spacing;        //  12 w3  km per pixel x 10000
    std::int32_t stdlat;         //  16 w4  standard (tangent) latitude, degrees x 10000
    std::int32_t stdlon;         //  20 w5  standard longitude, degrees x 10000, west +
    std::int32_t words[114];     //  24 w6..w119
    char memo[32];               // 480
};

// Generic 512-byte block ("MOLL", "RECT", "MERC", "LAMB"): words[i] is word
// i + 1. Meanings used here (word numbers from 0):
//  MERC: w1 line of the equator, w2 element of the normal longitude,
//        w4 spacing (m), w5 normal longitude x 10000 (west +), w6 radius (m).
//  LAMB: w1/w2 line/element of the pole, w3/w4 standard latitudes x 10000,
//        w5 spacing (m), w6 normal longitude x 10000 (west +), w7 radius (m),
//        w11 projection latitude x 10000.
//  RECT: w1 a reference line and w2 its latitude, w3 a reference element and
//        w4 its longitude (west +), w5 degrees per element, w6 degrees per
//        line; w11..w14 decimal exponents of w2, w4, w5, w6 (0 means 4).
//  MOLL: w1/w2 line/element of the centre, w3 resolution, w4 centre
//        longitude x 10000 (west +); w14 = 0x4B4D5050 ("KMPP") marks w6 as
//        km per pixel x 1000.
struct MC_nav {
    char type[4];                //   0 w0
    std::int32_t words[119];     //   4 w1..w119
    char memo[32];               // 480
};

static_assert(sizeof(MC_nav_goes) == 512, "GOES block is 512 bytes");
static_assert(sizeof(MC_nav_gvar) == 2560, "GVAR block is 2560 bytes");
static_assert(sizeof(MC_nav_ps) == 512, "PS block is 512 bytes");
static_assert(sizeof(MC_nav_tanc) == 512, "TANC block is 512 bytes");
static_assert(sizeof(MC_nav) == 512, "generic block is 512 bytes");
static_assert(offsetof(MC_nav_goes, gamma) == 152, "GOES gamma is word 38");
static_assert(offsetof(MC_nav_gvar, imgday) == 1468, "GVAR image day is word 367");
static_assert(offsetof(MC_nav_gvar, iofnc) == 1516, "GVAR nadir cycles are word 379");

// ===== Spin-scan records =====

// A time: date YYDDD (or YYYDDD) and hours of the day.
struct datim {
    int date;
    double tim;
};

// An angle with its sine and cosine.
struct angle {
    double ang;
    double sin;
    double cos;
};

// A cartesian point (km) and a spherical one (degrees, degrees, km).
struct pt {
    double x;
    double y;
    double z;
};
struct sp_pt {
    double lat;
    double lon;
    double hgt;
};

// Orbit elements of a spin-scan satellite.
struct goes_orbit {
    int sat_type;
    int anom_type;     // 0: anomaly is the mean anomaly, else the true anomaly
    int sec_ord;       // 0: pure Kepler orbit, 1: with secular perturbations
    int epoch_date;    // YYMMDD
    int epoch_time;    // HHMMSS
    double semi_maj;   // km
    double eccent;
    double inclin;     // degrees
    double anomaly;    // degrees
    double perigee;    // degrees
    double asc_node;   // degrees
    double period;     // minutes (output)
    double anom_per;   // minutes (output)
    double nodal_per;  // minutes (output)
};

// Scan geometry and attitude of a spin-scan satellite.
struct goes_navigate {
    int num_lines;     // total lines (sensors per scan x 100000 + lines)
    double deg_line;   // degrees covered by all lines
    int num_elem;      // elements per line
    double deg_elem;   // degrees per spin covered by all elements
    double spin_rate;  // hours per spin
    double declin;     // spin axis, degrees
    double right_asc;  // spin axis, degrees
    int center_line;
    double prec_rate;  // precession; 0 here
    double prec_dir;
    double pitch;      // misalignment, degrees
    double yaw;
    double roll;
};

// ===== Three-axis records =====

// A monomial sinusoid of an attitude series.
struct mono_sin {
    int ord;
    int mord;
    double sinus[3];
};

// One attitude series.
struct ang_wds {
    double expn[3];    // amplitude, time constant (minutes), constant
    int nsinus;        // 0..15
    double sinus[30];  // amplitude/phase pairs
    int nmsin;         // 0..4
    mono_sin msin[4];
};

// The three-axis navigation record, converted from MC_nav_gvar.
struct gvar_navigate {
    char sttype[4];
    int idntfr;
    int imcact;
    double reflon, refdis, reflat, refyaw;
    double ratrol, ratptc, ratyaw;
    double epoch;      // minutes since 1950-01-01 00:00
    double edtime;
    double imcrol, imcptc, imcyaw;
    double ldr[13];
    double rddr[11];
    double dgl[9];
    double doy[9];
    double solinc;
    double exptim;
    ang_wds raawds, paawds, yaawds, rmawds, pmawds;
    double imgtim;     // minutes since 1950
    int imgsnd;        // 0 imager, 1 sounder
};

// ===== Entry points =====

// Navigation kinds reported by AREA_get_kind.
inline constexpr int AREA_NAV_NONE = 0;
inline constexpr int AREA_NAV_SPIN = 1;   // "GOES"
inline constexpr int AREA_NAV_GVAR = 2;   // "GVAR"
inline constexpr int AREA_NAV_MAP = 3;    // map-projection blocks (AREA_map_tran)

// Sets the active navigation from `area` (directory and navigation block):
// the image-to-satellite mapping always, the spin-scan or three-axis state
// for "GOES"/"GVAR" blocks, the projection grid for map blocks. Returns 0;
// -1 with a warning "AREA_init: ..." when `area` or its directory is
// missing or the block holds values no navigation can use (zero scales,
// orbits inside the earth, unknown instrument); the kind is then 0 and
// AREA_tran does nothing.
int AREA_init(MC_area* area);

// type 1: satellite line/element -> lat/lon; type 2: lat/lon -> satellite
// line/element; type 3: sub-satellite point into lat/lon (spin-scan: also
// its line/element). Spin-scan: -1 with -9999 outputs for a ray missing the
// earth (1) or a hidden point (2); a type 2 result outside the frame gives
// -9999 outputs and 0. Three-axis: 0, -9999 outputs off the earth. With no
// satellite navigation (kind 0 or map blocks) returns 0 and changes nothing.
// Any other type returns -1 and changes nothing.
int AREA_tran(int type, float* lat, float* lon, float* lin, float* ele);

// type 1: image line/element -> satellite line/element; any other type the
// reverse. Returns 0.
int AREA_line_elem(int type, float ilin, float iele, float* olin, float* oele);

// Row form for bulk callers such as the image remapper: image line and
// element (AREA_tran type 2 followed by AREA_line_elem type 2, with exactly
// their results) of n earth points; -9999 both where the navigation gives
// none (off the earth, outside the frame, missing input, no satellite
// navigation). Returns the number of points located.
int AREA_image_row(const float* lat, const float* lon, int n, float* line, float* elem);

// Sets the image-to-satellite mapping (first line, first element, lines and
// elements per image pixel). A zero resolution is taken as 1. Returns 0.
int AREA_set_res(float ilcor, float iecor, float ilres, float ieres);
// The active navigation as bytes: the block given to AREA_init, its kind
// and the current image grid (AREA_set_res). Equal keys navigate every
// point alike, so results computed under one may be reused under the other.
std::vector<unsigned char> AREA_nav_key();

// Satellite position (km) at `sattim`: coord 0 earth-fixed, else inertial.
// Uses the orbit of the last "GOES" AREA_init. Returns 0, -1 when no
// spin-scan navigation is active (sat is then zeroed).
int AREA_pos(datim* sattim, int coord, pt* sat);

// Switches the orbit model of the active spin-scan navigation: anom_type 0
// reads the block's anomaly as the mean anomaly, any other value as the
// true anomaly; sec_ord 0 is a pure Kepler orbit, any other value adds the
// secular perturbations of perigee, node and mean motion. AREA_init always
// starts with (0, 0). Returns 0; -1 when no spin-scan navigation is active
// or the perturbed mean motion would not be positive (nothing changed).
int AREA_set_orbit_model(int anom_type, int sec_ord);

// Copies the orbit of the active spin-scan navigation, with its derived
// periods (minutes) filled in, into `orb`. Returns 0, -1 when none.
int AREA_get_orbit(goes_orbit* orb);

// The active navigation kind (AREA_NAV_ constants).
int AREA_get_kind();

// Map-projection blocks. type 1: satellite line/element -> lat/lon; type 2:
// lat/lon -> satellite line/element. Returns 0 when converted; -1 with -9999
// outputs when the point is not visible in the projection, when no map
// block is active, or for another type. Positions are not limited to the
// image frame.
int AREA_map_tran(int type, float* lat, float* lon, float* lin, float* ele);

// The projection of the active map block as a Domain (proj, plat, plon,
// param, ellipse; centre, size and spacing unset). Returns 0, -1 when no map
// block is active (domain is then cleared).
int AREA_map_domain(Domain* domain);

// ===== Date, angle and geometry helpers (pure functions) =====

// Days in the year (years below 50 are 20xx, 50..199 are 1900 + year).
int numyr(int year);
// Signed days from date1 to date2 (YYDDD or YYYDDD).
int numdy(int date1, int date2);
// Minutes from (date1, time1 hours) to (date2, time2 hours).
double timdif(int date1, double time1, int date2, double time2);
// type 1: YYMMDD -> YYDDD; else YYDDD -> YYMMDD (day clamped to the year).
int mdcon(int type, int date);
// DDDMMSS (or HHMMSS) to decimal degrees (hours), and back to the nearest
// second.
double int2deg(int ang);
int deg2int(double ang);
// type 1: geodetic to geocentric latitude; else the reverse (degrees).
double geolat(int type, double lat);
// type 1: cartesian to latitude, longitude (degrees) and length; other
// types do nothing. Returns 0.
int sphere_cvt(int type, pt* pnt, sp_pt* sph);
// Nearest integer, halves away from zero.
int rnd(double x);

// ===== Three-axis navigation =====

// Computes the derived state of the loaded three-axis record for its image
// time. Returns 0.
int GVAR_init();
// Resets the instrument constants (0 imager, 1 sounder) and, when all four
// are non-zero, the scan bounds from the nadir cycles and increments.
// Returns 0, -1 for an unknown instrument (nothing changed).
int set_gvar_con(int instr, int nadnsc, int nadnsi, int nadewc, int nadewi);
// Instrument line/element -> lat/lon (degrees). 0, or -1 when the line of
// sight misses the earth (-9999 outputs).
int sat2earth(float line, float elem, float* lat, float* lon);
// lat/lon (degrees) -> instrument line/element. 0, or -1 with -9999 outputs
// for a latitude outside -90..90 or a point hidden from the satellite.
int earth2sat(float lat, float lon, float* line, float* elem);
// Radians per line and per pixel of the current instrument.
double elev_delta();
double scan_delta();
// Elevation (radians) of a line, scan angle of a pixel, and the reverse.
double elev_line(int instr, double line);
double scan_angle(int instr, double pixel);
int elev_scan2line_pix(float elev, float scan, float* line, float* elem);
// Instrument angles (radians) -> geodetic lat/lon (radians); 0, or 1 with
// -9999 outputs when the view misses the earth.
int lpoint(float elev, float scan, float* lat, float* lon);
// lat/lon (radians) -> instrument angles (radians); 0, or 1 with -9999
// outputs for a point on the far side.
int gpoint(float lat, float lon, float* elev, float* scan);
// Value of an attitude series at solar angle wa (radians) and time te
// (minutes from the exponential start).
double gatt(ang_wds parms, double wa, double te);
// Fills `words` from 55 block words. Counts beyond the table sizes are
// clamped. Returns 0.
int gatt_init(ang_wds* words, int* data);
// at = a x R(roll, pitch, yaw), the small-angle attitude matrix. Returns 0.
int inst2e(double roll, double pitch, double yaw, double a[3][3], double at[3][3]);
// Minutes since 1950-01-01 00:00 of a two-word BCD epoch / of a date.
double time50(unsigned int* epoch);
double timex(int year, int day, int hour, int min, float sec);
// Sub-satellite point of the three-axis navigation, degrees.
int GVAR_subpoint(float* lat, float* lon);

#endif
