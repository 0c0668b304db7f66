// lrit_variant: rewrites a raw 8-bit LRIT segment in a form no public
// sample exists of, so that the reader's other paths can be tested from the
// real COMS files:
//
//   lrit_variant IN OUT jpeg [quality]  pixels recompressed with libjpeg
//                                       (compression flag 2; default 95)
//   lrit_variant IN OUT raw16           16-bit words holding count * 4 + 3
//   lrit_variant IN OUT mirror          CFAC and LFAC negated, columns and
//                                       lines stored in reverse order
//
// The header records are copied, with the image structure (and, for
// mirror, the navigation) record changed and the primary header's data
// length set to what follows the headers.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

bool load(const char* name, Bytes* out) {
    FILE* f = std::fopen(name, "rb");
    if (!f) return false;
    std::uint8_t buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
    std::fclose(f);
    return true;
}

Bytes jpeg(const Bytes& px, int w, int h, int quality) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(px.data() + std::size_t{c.next_scanline} * w);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(mem, mem + size);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: lrit_variant IN OUT jpeg [quality] | raw16 | mirror\n");
        return 2;
    }
    Bytes in;
    if (!load(argv[1], &in) || in.size() < 16 || in[0] != 0) {
        std::fprintf(stderr, "lrit_variant: %s is not an LRIT file\n", argv[1]);
        return 1;
    }
    const std::size_t hdr_len = be32(&in[4]);
    int w = 0, h = 0;
    std::size_t structure = 0, nav = 0;
    for (std::size_t p = 0; p + 3 <= hdr_len && p + 3 <= in.size();) {
        const std::size_t len = (std::size_t{in[p + 1]} << 8) | in[p + 2];
        if (len < 3) break;
        if (in[p] == 1) structure = p;
        if (in[p] == 2) nav = p;
        p += len;
    }
    if (structure == 0 || nav == 0 || in[structure + 3] != 8 || in[structure + 8] != 0) {
        std::fprintf(stderr, "lrit_variant: %s is not a raw 8-bit segment with navigation\n", argv[1]);
        return 1;
    }
    w = (in[structure + 4] << 8) | in[structure + 5];
    h = (in[structure + 6] << 8) | in[structure + 7];
    if (in.size() < hdr_len + std::size_t(w) * h) {
        std::fprintf(stderr, "lrit_variant: %s is truncated\n", argv[1]);
        return 1;
    }
    Bytes head(in.begin(), in.begin() + static_cast<long>(hdr_len));
    Bytes px(in.begin() + static_cast<long>(hdr_len), in.begin() + static_cast<long>(hdr_len + std::size_t(w) * h));
    Bytes data;
    const std::string mode = argv[3];
    if (mode == "jpeg") {
        head[structure + 8] = 2;
        data = jpeg(px, w, h, argc > 4 ? std::atoi(argv[4]) : 95);
    } else if (mode == "raw16") {
        head[structure + 3] = 16;
        for (std::uint8_t v : px) {
            const unsigned word = (unsigned{v} << 2) | 3u;
            data.push_back(static_cast<std::uint8_t>(word >> 8));
            data.push_back(static_cast<std::uint8_t>(word & 0xFF));
        }
    } else if (mode == "mirror") {
        for (int k = 0; k < 2; ++k) {
            std::uint8_t* f = &head[nav + 3 + 32 + 4 * static_cast<std::size_t>(k)];
            put32(f, static_cast<std::uint32_t>(-static_cast<std::int32_t>(be32(f))));
        }
        data.assign(px.rbegin(), px.rend());
    } else {
        std::fprintf(stderr, "lrit_variant: unknown mode %s\n", argv[3]);
        return 2;
    }
    // Primary header: data field length in bits, 8 bytes after the 4-byte
    // header length.
    const std::uint64_t bits = static_cast<std::uint64_t>(data.size()) * 8;
    for (int i = 0; i < 8; ++i) head[8 + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    FILE* out = std::fopen(argv[2], "wb");
    if (!out || std::fwrite(head.data(), 1, head.size(), out) != head.size() ||
        std::fwrite(data.data(), 1, data.size(), out) != data.size()) {
        std::fprintf(stderr, "lrit_variant: cannot write %s\n", argv[2]);
        if (out) std::fclose(out);
        return 1;
    }
    std::fclose(out);
    return 0;
}
