// Satellite image ingest: the in-memory image record every reader fills, the
// reading entry point that dispatches on the input format, the buffered
// byte/nibble/sync reader, the AREA file reader and the GINI, TIFF and
// Unisys readers (the LRIT reader is lrit.h).
#ifndef ZEM_SAT_READ_H
#define ZEM_SAT_READ_H

#include <cstdint>
#include <cstdio>

#include "date.h"
#include "region.h"

// One colour-map entry, channels 0.0 to 1.0.
struct IMG_color {
    float r;
    float g;
    float b;
};

// A raster image in memory. `colors` and `data` are owned by the record and
// released by IMG_free (allocated with malloc/calloc, released with free).
struct IMG_report {
    int source;            // format or origin code (51 AREA, 53 GINI, 50 remapped, ...)
    int type;              // product code
    int version;           // format version of the source
    char datim[50];        // date/time label built from `date`
    Date date;             // nominal date; year -9999 = unknown
    char info[75];         // one-line description
    int width;             // pixels per line
    int height;            // lines
    int depth;             // bits of colour depth
    float xres, yres;      // element and line resolution
    float xoff, yoff;      // satellite element/line of the first pixel/line
    int bits_pixel;        // bits per stored pixel
    int bytes_line;        // bytes per image line
    int byte_order;        // 1 = most significant byte first
    int color_type;        // 1 = indexed (colors), 0 = direct (masks)
    int num_colors;        // entries in `colors`
    unsigned int red, grn, blu;  // channel masks of a direct-colour image
    IMG_color* colors;     // colour map, null when none
    int trans_color;       // transparent colour index, -1 = none
    Domain domain;         // map domain covered by the image (proj 9 = satellite scan)
    unsigned char* data;   // pixels, height lines of bytes_line bytes, top first
};

// Input format codes (values of the input-format flag, 14).
inline constexpr int kFormatImg = 50;     // the package's own image file
inline constexpr int kFormatArea = 51;    // AREA file
inline constexpr int kFormatAwip = 53;    // GINI
inline constexpr int kFormatAwipZ = 54;   // GINI with zlib-compressed body
inline constexpr int kFormatUnisys = 55;  // Unisys text-headed image
inline constexpr int kFormatTiff = 59;    // TIFF / GeoTIFF
inline constexpr int kFormatLrit = 60;    // LRIT

// AREA directory: 64 four-byte words at the start of the file. Offsets are
// bytes from the start of the directory. Words are unsigned unless marked.
// The comment text (words 24-31) is never byte-swapped.
struct MC_area_dir {
    std::uint32_t status;       //   0 not used
    std::uint32_t type;         //   4 4 for an AREA file (also tells the byte order)
    std::uint32_t satid;        //   8 sensor source number
    std::uint32_t ndate;        //  12 nominal date YYDDD or YYYDDD (year - 1900)
    std::uint32_t ntime;        //  16 nominal time HHMMSS
    std::int32_t lcor;          //  20 satellite line of the first image line
    std::int32_t ecor;          //  24 satellite element of the first element
    std::int32_t zcor;          //  28 not used
    std::uint32_t lsiz;         //  32 lines, 1..100000
    std::uint32_t esiz;         //  36 elements per line, 1..100000
    std::uint32_t zsiz;         //  40 bytes per element (1 or 2 decoded)
    std::uint32_t lres;         //  44 satellite lines per image line
    std::uint32_t eres;         //  48 satellite elements per image element
    std::uint32_t bands;        //  52
    std::uint32_t yzprefix;     //  56 prefix bytes before each line's pixels
    std::uint32_t projnum;      //  60
    std::uint32_t cdate;        //  64
    std::uint32_t ctime;        //  68
    std::uint32_t filtmap;      //  72 band map
    std::uint32_t imageid;      //  76
    std::uint32_t resvid[4];    //  80
    char comments[32];          //  96 text, becomes the image description
    std::uint32_t calkey;       // 128
    std::uint32_t navkey;       // 132 byte offset of the pixel data
    std::uint32_t navkey2;      // 136 not used: navigation follows the directory
    std::uint32_t lprefix;      // 140
    std::uint32_t pdl[8];       // 144
    std::uint32_t band8;        // 176
    std::uint32_t idate;        // 180
    std::uint32_t itime;        // 184
    std::uint32_t startscan;    // 188 first scan line (GOES navigation)
    std::uint32_t doclen;       // 192
    std::uint32_t callen;       // 196
    std::uint32_t levlen;       // 200
    char stype[4];              // 204 source type text
    char ctype[4];              // 208 calibration type text
    std::uint32_t reserved[11]; // 212
};
static_assert(sizeof(MC_area_dir) == 256, "AREA directory is 64 words");

// Navigation block layouts; the navigation module (sat_tran.h) defines them.
struct MC_nav_goes;
struct MC_nav_gvar;
struct MC_nav_ps;
struct MC_nav_tanc;
struct MC_nav;

// Size in bytes of the navigation blocks.
inline constexpr int kNavBlockBytes = 512;
inline constexpr int kNavGvarBytes = 2560;

// An AREA file in memory. `dir` and the one navigation block set are owned
// (malloc'd; SAT_free_AREA releases them). `image` is lsiz lines of esiz
// bytes, malloc'd; SAT_read_file hands it to the IMG_report.
struct MC_area {
    MC_area_dir* dir;
    char type[5];            // "GOES", "GVAR", "PS", "MOLL", "MSAT", "RECT",
                             // "MERC", "LAMB", "TANC" or "" for none of these
    MC_nav_goes* navg;       // GOES
    MC_nav_gvar* navgv;      // GVAR (2560 bytes)
    MC_nav_ps* navps;        // PS and MSAT
    MC_nav_tanc* navtanc;    // TANC
    MC_nav* nav;             // MOLL, RECT, MERC, LAMB
    unsigned char* image;    // pixels
    void* priv;              // reserved, never touched by the reader
};

// Reads the file `filename` in the input format of flag 14 into `image`.
// Returns 1 when an image is ready to plot, 0 otherwise (failure, or an AREA
// "output" mode did the work). On 0 the record owns no pixel buffer from
// this call.
int SAT_read_file(const char* filename, IMG_report* image);

// Bit shift applied to AREA pixel values (plot_param "shift"). Returns 0.
int SAT_set_bit_shift(int val);

// Reads an AREA file from an open stream into `area` (which it clears
// first). 0 on success, -1 on failure with nothing left allocated.
int SAT_read_AREA(FILE* file, MC_area* area);

// Releases the directory, navigation block and pixel buffer of `area` and
// clears the pointers. Safe on a cleared record.
int SAT_free_AREA(MC_area* area);

// Buffered reader over the stream of the last SAT_read_AREA (or of
// SAT_reader_open). getword: next 4 bytes in host order (0 when fewer are
// left); getbyte: next byte or -1; getnib: next nibble, high one first, or
// -1; getsync: 1 marker consumed, 0 none within 1024 attempts, -1 end.
unsigned int getword();
int getbyte();
int getnib();
int getsync();

// Points the buffered reader at `file` (not owned) and empties its buffer;
// a null stream makes every getter report end of input. Returns 0.
int SAT_reader_open(FILE* file);
// Bytes whose both nibbles getnib has consumed since the last
// SAT_reader_open (or the last line start of the sync-framed decoder).
int SAT_reader_nib_bytes();

// Run-wide state used by remapping and colour enhancement.
int SAT_get_tran_sat();          // 1 = navigate through the satellite, 0 = grid
int SAT_set_tran_sat(int val);   // returns the previous value
int SAT_get_imager_source();     // format code of the last image read (51 at start)
int SAT_get_imager_type();       // 0 after AREA, record type after GINI/Unisys

// Readers of the other satellite formats. Each clears `report`, fills it
// with the pixels, text, date and image domain of the file and returns 0,
// or prints why it cannot and returns -1 with no buffer left.
// GINI, plain or zlib-compressed (told apart by the bytes), raw or
// PNG-coded body, with or without a WMO heading:
int SAT_read_AWIP(const char* filename, IMG_report* report);
// Unisys text-headed image; the resource "grid_domain" replaces its domain:
int SAT_read_Unisys(const char* filename, IMG_report* report);
// TIFF of any strip or tile layout and compression libtiff decodes, one
// band of 8 or 16 bits; GeoTIFF latitude/longitude and Mercator grids:
int SAT_read_TIFF(const char* filename, IMG_report* report);

#endif
