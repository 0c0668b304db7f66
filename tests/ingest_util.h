// Helpers shared by the ingest tests: temporary files, message capture,
// and builders of small AREA files in each physical variant, written here
// byte by byte (independently of the reader under test).
#ifndef ZEM_TESTS_INGEST_UTIL_H
#define ZEM_TESTS_INGEST_UTIL_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "flag.h"
#include "mess.h"
#include "resrc.h"
#include "sat_read.h"

namespace ingest_test {

using Bytes = std::vector<std::uint8_t>;

// A private temporary folder removed at the end of the test.
class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/zem_ingest_XXXXXX";
        const char* p = mkdtemp(tmpl);
        path_ = p ? p : "/tmp";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline void write_file(const std::string& name, const Bytes& data) {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline Bytes read_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string read_text(const std::string& name) {
    const Bytes b = read_file(name);
    return std::string(b.begin(), b.end());
}

// Captures every message printed while it lives (levels print..out2,
// which include warn).
class MessCapture {
public:
    explicit MessCapture(const std::string& file) : file_(file) {
        MESS_file(file_.c_str(), "w");
    }
    ~MessCapture() { MESS_file_close(); }
    std::string text() {
        MESS_file_close();
        std::string t = read_text(file_);
        MESS_file(file_.c_str(), "a");
        return t;
    }

private:
    std::string file_;
};

inline void put32(Bytes& b, std::size_t off, std::uint32_t v, bool big) {
    for (int i = 0; i < 4; ++i)
        b[off + i] = static_cast<std::uint8_t>(big ? v >> (24 - 8 * i) : v >> (8 * i));
}

inline bool host_is_little() {
    const std::uint16_t one = 1;
    std::uint8_t first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// The fields of a small synthetic AREA file.
struct AreaFields {
    std::uint32_t ndate = 124065;   // 2024 day 65
    std::uint32_t ntime = 134500;
    std::int32_t lcor = 1001;
    std::int32_t ecor = 2001;
    std::uint32_t lsiz = 3;
    std::uint32_t esiz = 4;
    std::uint32_t zsiz = 1;
    std::uint32_t lres = 2;
    std::uint32_t eres = 4;
    std::uint32_t yzprefix = 0;
    std::uint32_t filtmap = 0x10;
    std::uint32_t startscan = 0;
    std::uint32_t satid = 70;
    std::string comments = "SYNTHETIC TEST AREA";
    std::string nav = "GOES";     // navigation type text ("" for none)
    std::size_t nav_bytes = 512;
    std::uint32_t navkey = 0;     // 0: right after the navigation block
    Bytes data;                   // bytes from the data offset on
};

// Navigation word i (1-based after the type text) of the synthetic blocks.
inline std::uint32_t nav_word(std::size_t i) { return static_cast<std::uint32_t>(1000 * i + 7); }

// A host-order (big = false on a little-endian host) or big-endian AREA
// file: directory, navigation block, data.
inline Bytes make_area(const AreaFields& s, bool big) {
    const std::size_t nb = s.nav.empty() ? 0 : s.nav_bytes;
    Bytes f(256 + nb, 0);
    put32(f, 4, 4, big);
    put32(f, 8, s.satid, big);
    put32(f, 12, s.ndate, big);
    put32(f, 16, s.ntime, big);
    put32(f, 20, static_cast<std::uint32_t>(s.lcor), big);
    put32(f, 24, static_cast<std::uint32_t>(s.ecor), big);
    put32(f, 32, s.lsiz, big);
    put32(f, 36, s.esiz, big);
    put32(f, 40, s.zsiz, big);
    put32(f, 44, s.lres, big);
    put32(f, 48, s.eres, big);
    put32(f, 56, s.yzprefix, big);
    put32(f, 72, s.filtmap, big);
    std::string c = s.comments;
    c.resize(32, ' ');
    std::memcpy(f.data() + 96, c.data(), 32);
    put32(f, 132, s.navkey ? s.navkey : static_cast<std::uint32_t>(256 + nb), big);
    put32(f, 188, s.startscan, big);
    std::memcpy(f.data() + 204, "VISR", 4);
    std::memcpy(f.data() + 208, "BRIT", 4);
    if (nb) {
        std::memcpy(f.data() + 256, s.nav.data(), std::min<std::size_t>(4, s.nav.size()));
        const std::size_t words = nb == 2560 ? 639 : 119;
        for (std::size_t i = 1; i <= words; ++i) put32(f, 256 + 4 * i, nav_word(i), big);
        if (nb == 512) std::memcpy(f.data() + 256 + 480, "MEMO TEXT", 9);
    }
    if (s.navkey > f.size()) f.resize(s.navkey, 0);
    f.insert(f.end(), s.data.begin(), s.data.end());
    return f;
}

inline const Bytes kMarker = {0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF};

// One line record of a sync-framed stream: marker, line number, bit-depth
// code, count of coded bytes, then the nibbles packed two per byte.
inline void add_sync_line(Bytes& out, std::uint32_t num, std::uint16_t depth,
                          const std::vector<int>& nibbles) {
    out.insert(out.end(), kMarker.begin(), kMarker.end());
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(num >> (8 * i)));
    // An odd count is padded with 0xF: the decoder stops before the pad once
    // the line is full, and the half-read byte, which the next marker search
    // starts on, must not look like the start of a marker (0x00).
    std::vector<int> n = nibbles;
    if (n.size() % 2) n.push_back(0xF);
    const std::size_t count = n.size() / 2;
    out.push_back(static_cast<std::uint8_t>(depth >> 8));
    out.push_back(static_cast<std::uint8_t>(depth));
    out.push_back(static_cast<std::uint8_t>(count >> 8));
    out.push_back(static_cast<std::uint8_t>(count));
    for (std::size_t k = 0; k < n.size(); k += 2)
        out.push_back(static_cast<std::uint8_t>((n[k] << 4) | n[k + 1]));
}

// Head of a sync-framed stream: marker, big-endian directory, marker,
// navigation block. Lines follow.
inline Bytes make_sync_head(AreaFields s) {
    s.data.clear();
    const std::size_t nb = s.nav.empty() ? 0 : s.nav_bytes;
    s.navkey = static_cast<std::uint32_t>(256 + 8 + nb);
    Bytes plain = make_area(s, true);
    plain.resize(256 + nb);
    Bytes out(kMarker);
    out.insert(out.end(), plain.begin(), plain.begin() + 256);
    out.insert(out.end(), kMarker.begin(), kMarker.end());
    out.insert(out.end(), plain.begin() + 256, plain.end());
    return out;
}

// Reads `name` with SAT_read_AREA; the caller frees the record.
inline int read_area_file(const std::string& name, MC_area* area) {
    FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) return -2;
    const int rc = SAT_read_AREA(f, area);
    std::fclose(f);
    return rc;
}

// Runs a shell command; its exit status.
inline int run(const std::string& cmd) {
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

}  // namespace ingest_test

#endif
