// area_variant: rewrites an AREA file in another of its physical variants,
// so that every variant the reader accepts can be tested from the files
// that exist in public.
//
//   area_variant IN OUT host      numeric words in this machine's byte order
//   area_variant IN OUT reversed  numeric words byte-reversed
//   area_variant IN OUT big       big-endian words      (host or reversed)
//   area_variant IN OUT little    little-endian words   (host or reversed)
//   area_variant IN OUT sync      sync-framed stream with nibble-coded lines
//
// For host/reversed output from a host-order or byte-reversed input, only
// the directory words (not the comment text) and the navigation block words
// (not its type text or memo) are swapped; everything from the data offset
// on is copied byte for byte, whatever it holds (raw pixels, a PNG stream,
// trailing records). A sync-framed input, and every sync-framed output, are
// built from the pixels as the reader decodes them (one byte per pixel).
//
// Sync-framed layout written here: marker, 256-byte directory (big-endian
// words), marker, navigation block (big-endian words), then per image line
// (numbered from 0): marker, 4-byte big-endian line number, 2-byte
// bit-depth code 8, 2-byte count of coded bytes, the nibble codes.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sat_read.h"
#include "tools.h"

namespace {

constexpr std::uint8_t kMarker[8] = {0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF};

struct NavKind {
    const char* name;
    std::size_t match;
    std::size_t bytes;
};
constexpr NavKind kNavKinds[] = {
    {"GOES", 4, 512}, {"GVAR", 4, 2560}, {"PS", 2, 512},   {"MOLL", 4, 512}, {"MSAT", 4, 512},
    {"RECT", 4, 512}, {"MERC", 4, 512},  {"LAMB", 4, 512}, {"TANC", 4, 512},
};

bool read_all(const char* name, std::vector<std::uint8_t>& out) {
    FILE* f = std::fopen(name, "rb");
    if (!f) return false;
    std::uint8_t buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return true;
}

bool write_all(const char* name, const std::vector<std::uint8_t>& data) {
    FILE* f = std::fopen(name, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

void reverse_words(std::uint8_t* p, std::size_t nwords) {
    for (std::size_t i = 0; i < nwords; ++i, p += 4) {
        std::swap(p[0], p[3]);
        std::swap(p[1], p[2]);
    }
}

// Reverses the numeric directory words: all but the comment (words 24-31)
// and the source and calibration type texts (words 51 and 52).
void reverse_directory(std::uint8_t* d) {
    reverse_words(d, 24);
    reverse_words(d + 128, 19);
    reverse_words(d + 212, 11);
}

// Navigation block size at `p` (0 when it is of no known type).
std::size_t nav_size(const std::uint8_t* p, std::size_t avail) {
    for (const NavKind& k : kNavKinds)
        if (avail >= k.bytes && std::memcmp(p, k.name, k.match) == 0) return k.bytes;
    return 0;
}

// Swaps the numeric words of the directory and of the navigation block of
// a plain (non-sync) file image in place.
void swap_plain(std::vector<std::uint8_t>& f) {
    reverse_directory(f.data());
    const std::size_t nb = f.size() > 256 ? nav_size(f.data() + 256, f.size() - 256) : 0;
    if (nb) reverse_words(f.data() + 260, nb == 2560 ? 639 : 119);
}

// Appends a big-endian value of `n` bytes.
void put_be(std::vector<std::uint8_t>& o, std::uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) o.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Nibble codes of one line: absolute values (0, high, low), steps of -6..+6
// and repeats of 1 to 3.
std::vector<std::uint8_t> encode_line(const std::uint8_t* px, std::size_t n) {
    std::vector<std::uint8_t> nib;
    int run = -1;
    std::size_t i = 0;
    while (i < n) {
        const int v = px[i];
        if (run >= 0 && v == run) {
            std::size_t k = 1;
            while (k < 3 && i + k < n && px[i + k] == run) ++k;
            nib.push_back(static_cast<std::uint8_t>(12 + k));
            i += k;
            continue;
        }
        int d = v - run;
        if (run >= 0) d = ((d + 128) & 0xFF) - 128;  // shortest step modulo 256
        if (run >= 0 && d >= -6 && d <= 6) {
            nib.push_back(static_cast<std::uint8_t>(d < 0 ? 2 * (7 + d) - 1 : 2 * (7 - d)));
        } else {
            nib.push_back(0);
            nib.push_back(static_cast<std::uint8_t>(v >> 4));
            nib.push_back(static_cast<std::uint8_t>(v & 0x0F));
        }
        run = v;
        ++i;
    }
    // An odd count ends in a pad nibble the reader never reaches: it stops
    // once the line is full. The marker search for the next line starts on
    // that half-read byte, so it must not be 0x00 (a marker's first byte,
    // whose failed match would swallow the real marker's first byte).
    if (nib.size() % 2) nib.push_back(0xF);
    std::vector<std::uint8_t> bytes;
    for (std::size_t k = 0; k < nib.size(); k += 2)
        bytes.push_back(static_cast<std::uint8_t>((nib[k] << 4) | nib[k + 1]));
    return bytes;
}

// The directory block of `area` as big-endian (to_big) or host-order words.
std::vector<std::uint8_t> directory_bytes(const MC_area& a, bool reversed) {
    std::vector<std::uint8_t> d(256);
    std::memcpy(d.data(), a.dir, 256);
    if (reversed) reverse_directory(d.data());
    return d;
}

std::vector<std::uint8_t> nav_bytes(const MC_area& a, bool reversed) {
    const void* p = a.navg ? static_cast<const void*>(a.navg)
                  : a.navgv ? static_cast<const void*>(a.navgv)
                  : a.navps ? static_cast<const void*>(a.navps)
                  : a.navtanc ? static_cast<const void*>(a.navtanc)
                  : static_cast<const void*>(a.nav);
    if (!p) return {};
    const std::size_t nb = a.navgv ? 2560 : 512;
    std::vector<std::uint8_t> n(nb);
    std::memcpy(n.data(), p, nb);
    if (reversed) reverse_words(n.data() + 4, nb == 2560 ? 639 : 119);
    return n;
}

// Builds a file from a decoded AREA: sync-framed, or plain in the given order.
std::vector<std::uint8_t> build(MC_area& a, bool sync, bool reversed) {
    MC_area_dir& d = *a.dir;
    const std::vector<std::uint8_t> nav0 = nav_bytes(a, false);
    d.zsiz = 1;
    d.yzprefix = 0;
    // Data offset from the start of the directory.
    d.navkey = static_cast<std::uint32_t>(256 + (sync ? 8 : 0) + nav0.size());
    std::vector<std::uint8_t> o;
    if (sync) {
        const bool to_big = host_little_endian() == 1;
        o.insert(o.end(), kMarker, kMarker + 8);
        auto dir = directory_bytes(a, to_big);
        o.insert(o.end(), dir.begin(), dir.end());
        o.insert(o.end(), kMarker, kMarker + 8);
        auto nav = nav_bytes(a, to_big);
        o.insert(o.end(), nav.begin(), nav.end());
        for (std::uint32_t l = 0; l < d.lsiz; ++l) {
            const auto coded = encode_line(a.image + static_cast<std::size_t>(l) * d.esiz, d.esiz);
            if (coded.size() > 0xFFFF) return {};
            o.insert(o.end(), kMarker, kMarker + 8);
            put_be(o, l, 4);
            put_be(o, 8, 2);
            put_be(o, static_cast<std::uint32_t>(coded.size()), 2);
            o.insert(o.end(), coded.begin(), coded.end());
        }
        return o;
    }
    auto dir = directory_bytes(a, reversed);
    o.insert(o.end(), dir.begin(), dir.end());
    auto nav = nav_bytes(a, reversed);
    o.insert(o.end(), nav.begin(), nav.end());
    o.insert(o.end(), a.image, a.image + static_cast<std::size_t>(d.esiz) * d.lsiz);
    return o;
}

int usage() {
    std::fprintf(stderr, "usage: area_variant IN OUT host|reversed|big|little|sync\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return usage();
    const std::string mode = argv[3];
    const bool little_host = host_little_endian() == 1;
    bool sync = false, reversed = false;
    if (mode == "host") reversed = false;
    else if (mode == "reversed") reversed = true;
    else if (mode == "big") reversed = little_host;
    else if (mode == "little") reversed = !little_host;
    else if (mode == "sync") sync = true;
    else return usage();

    std::vector<std::uint8_t> raw;
    if (!read_all(argv[1], raw)) {
        std::fprintf(stderr, "area_variant: cannot read %s\n", argv[1]);
        return 1;
    }
    std::uint32_t w1 = 0;
    if (raw.size() >= 8) std::memcpy(&w1, raw.data() + 4, 4);
    const bool in_host = w1 == 4u;
    const bool in_reversed = w1 == 0x04000000u;

    std::vector<std::uint8_t> out;
    if (!sync && (in_host || in_reversed) && raw.size() >= 256) {
        out = raw;
        if (in_reversed != reversed) swap_plain(out);
    } else {
        FILE* f = std::fopen(argv[1], "rb");
        MC_area area{};
        if (!f || SAT_read_AREA(f, &area) != 0) {
            if (f) std::fclose(f);
            std::fprintf(stderr, "area_variant: %s is not a readable AREA file\n", argv[1]);
            return 1;
        }
        std::fclose(f);
        out = build(area, sync, reversed);
        SAT_free_AREA(&area);
        if (out.empty()) {
            std::fprintf(stderr, "area_variant: a line does not fit the sync-framed form\n");
            return 1;
        }
    }
    if (!write_all(argv[2], out)) {
        std::fprintf(stderr, "area_variant: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
