// Window dumps of a 15-bit screen (5-5-5 pixels in 16 bits) write PNG files
// with the screen's colours.
#include <cstdint>
#include <vector>

#include "img_tool.h"
#include "png.h"
#include "zem_test.h"

namespace {

TEST(PngDepth, FifteenBitScreenDumpKeepsColours)
{
    struct Px {
        std::uint16_t v;  // 0RRRRRGGGGGBBBBB
        int r, g, b;      // at least these, and at most 7 above them
    };
    const Px px[] = {{0x7C00, 248, 0, 0}, {0x03E0, 0, 248, 0}, {0x001F, 0, 0, 248},
                     {0x7FFF, 248, 248, 248}, {0x0000, 0, 0, 0}, {0x4210, 128, 128, 128}};
    constexpr int n = sizeof px / sizeof px[0];
    for (int order : {0, 1}) {
        SCOPED_TRACE(order ? "most significant byte first" : "least significant byte first");
        IMG_report img;
        IMG_init(&img);
        img.width = n;
        img.height = 1;
        img.depth = 15;
        img.bits_pixel = 16;
        img.bytes_line = 2 * n + 4;  // padded rows
        img.byte_order = order;
        img.color_type = 0;
        img.red = 0x7C00;
        img.grn = 0x03E0;
        img.blu = 0x001F;
        img.data = static_cast<unsigned char*>(std::calloc(static_cast<std::size_t>(img.bytes_line), 1));
        for (int k = 0; k < n; ++k) {
            img.data[2 * k + (order ? 1 : 0)] = static_cast<unsigned char>(px[k].v & 0xFF);
            img.data[2 * k + (order ? 0 : 1)] = static_cast<unsigned char>(px[k].v >> 8);
        }
        zt::TempDir dir;
        const std::string out = dir.file("d15.png");
        zt::MessCapture cap;
        MESS_set(0, M_warn);
        EXPECT_EQ(PNG_write(out.c_str(), &img), 1) << cap.text();
        IMG_free(&img);
        // Read back by python's zlib, independent of the program's reader:
        // palette and 8-bit indices of the one row.
        const zt::RunResult r = zt::python(R"(
import sys, struct, zlib
d = open(sys.argv[1], 'rb').read(); p = 8; plte = b''; idat = b''
while p < len(d):
    n, t = struct.unpack('>I4s', d[p:p+8]); body = d[p+8:p+8+n]; p += 12 + n
    if t == b'PLTE': plte = body
    if t == b'IDAT': idat += body
row = zlib.decompress(idat)[1:]
print(' '.join('%d,%d,%d' % tuple(plte[3*i:3*i+3]) for i in row))
)", out);
        std::istringstream got(r.out);
        for (int k = 0; k < n; ++k) {
            int rr = -1, gg = -1, bb = -1;
            char c1 = 0, c2 = 0;
            ASSERT_TRUE(got >> rr >> c1 >> gg >> c2 >> bb) << r.out;
            EXPECT_TRUE(rr >= px[k].r && rr <= px[k].r + 7 && gg >= px[k].g && gg <= px[k].g + 7 &&
                        bb >= px[k].b && bb <= px[k].b + 7)
                << "pixel " << k << ": " << rr << "," << gg << "," << bb;
        }
    }
}

}  // namespace
