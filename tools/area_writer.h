// AREA sample writer: turns a small text description into the bytes of an
// AREA file (64-word directory, navigation block, one band of pixels) so
// that every navigation type can be exercised without a real file.
//
// Description format: one item per line, a keyword and its value separated
// by blanks; '#' starts a comment; keywords are case-sensitive.
//
//   order big|little|native   byte order of the numeric words (default big)
//   lines N                   directory lsiz (image height, default 10)
//   elements N                directory esiz (image width, default 10)
//   zsiz 1|2                  bytes per pixel (2: the pixel value is the high
//                             byte of a big-endian 16-bit value)
//   satid, ndate, ntime, lcor, ecor, lres, eres, startscan, yzprefix N
//                             the directory words of those names
//   dir<N> V                  directory word N (0..23 or 32..63) set to V
//   comment TEXT              the 32-character comment (rest of the line)
//   nav TYPE                  navigation type text: GOES GVAR PS MSAT MOLL
//                             RECT MERC LAMB TANC, or any 1..4 characters
//                             for a block the reader does not know
//   w<N> V                    navigation word N (from 0; word 0 is the type
//                             text) set to V; up to 639 for GVAR, 119 else
//   <field> V                 a named navigation word of the chosen type, as
//                             named in sat_tran.h (e.g. "iddate", "reflon",
//                             "npline", "etime1"); an array name (ldr,
//                             rddr, dgl, doy, raawds, ...) sets its first
//                             word; must follow "nav"
//   memo TEXT                 the 32-byte memo of a 512-byte block
//   pattern ramp|zero|constant V|checker N
//                             pixel values: ramp = (line + element) mod 256
//                             (both from 0), checker = squares of N pixels
//                             alternating 0 and 255 (default ramp)
//
// Values are decimal integers, optionally signed, or hexadecimal with 0x.
// The pixel data start right after the navigation block (navkey =
// 256 + 512, or 256 + 2560 for GVAR).
#ifndef ZEM_TOOLS_AREA_WRITER_H
#define ZEM_TOOLS_AREA_WRITER_H

#include <cstdint>
#include <string>
#include <vector>

struct AreaDesc {
    enum class Order { big, little, native };
    Order order = Order::big;
    std::uint32_t dir[64] = {};      // directory words (comment/text words ignored)
    std::string comment;             // up to 32 characters
    std::string nav_type;            // empty: no navigation block
    std::vector<std::int64_t> nav;   // navigation words, [0] unused
    std::string memo;                // up to 32 characters
    enum class Pattern { ramp, zero, constant, checker };
    Pattern pattern = Pattern::ramp;
    int pattern_value = 0;
};

// Parses a description. false with a message naming the line on error.
bool area_desc_parse(const std::string& text, AreaDesc* out, std::string* err);

// The file bytes of a description. false with a message when the sizes are
// unusable (no lines, more than 100000, a pixel buffer over 256 MB).
bool area_desc_bytes(const AreaDesc& desc, std::vector<std::uint8_t>* out, std::string* err);

// Parses `text` and writes the file `path`. false with a message on error.
bool area_make_file(const std::string& text, const std::string& path, std::string* err);

#endif
