// The palette of a written PNG frame: the first 256 distinct colours in
// raster order keep their colour, later new ones take the colour of index
// 0 (the first pixel's). Pictures of a million pixels and more are indexed
// in two halves at once, so each case is that big and places its colours
// across the halves: the first half (rows 0-511) holds colours 0 .. A-1,
// all within its first row; the second half alternates old colours 0 .. O-1
// with N new ones (A, A+1, ... in order of appearance).
#include "zem_test.h"

#include <cstring>

#include "png.h"

namespace {

constexpr int kSide = 1024;

struct PaletteCase {
    const char* name;
    int old_colours;   // A
    int old_reused;    // O
    int new_colours;   // N
};

const PaletteCase kCases[] = {
    {"new_colours_fill_the_palette", 200, 40, 100},  // 56 of the new ones fit
    {"second_half_beyond_a_palette", 200, 200, 100}, // the same, 300 values in the second half
    {"first_half_beyond_a_palette", 300, 30, 20},    // none fit
    {"everything_fits", 100, 100, 50},
};

unsigned rgb_of(int k) { return static_cast<unsigned>((k % 256) << 16 | (k / 256) << 8 | 7); }

class PaletteSplit : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(PaletteSplit, FirstColoursKeptLaterOnesTakeIndexZero) {
    MESS_set_str("none");
    const int a = GetParam().old_colours, o = GetParam().old_reused, n = GetParam().new_colours;
    zt::Image im;
    im.rec.width = im.rec.height = kSide;
    im.rec.depth = 24;
    im.rec.bits_pixel = 32;
    im.rec.bytes_line = 4 * kSide;
    im.rec.byte_order = 0;  // as the off-screen picture is read back
    im.rec.red = 0xFF0000;
    im.rec.grn = 0xFF00;
    im.rec.blu = 0xFF;
    std::vector<int> colour(static_cast<std::size_t>(kSide) * kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const int k = y < kSide / 2 ? (y * kSide + x) % a
                          : x % 2 == 0  ? (x / 2) % o
                                        : a + ((y - kSide / 2) * (kSide / 2) + x / 2) % n;
            colour[static_cast<std::size_t>(y) * kSide + x] = k;
        }
    im.rec.data = static_cast<unsigned char*>(std::malloc(colour.size() * 4));
    for (std::size_t i = 0; i < colour.size(); ++i)  // bytes B G R 0, least significant first
        for (int b = 0; b < 4; ++b) im.rec.data[4 * i + b] = static_cast<unsigned char>(rgb_of(colour[i]) >> (8 * b));
    zt::TempDir dir;
    const std::string path = dir.file("frame.png");
    ASSERT_EQ(PNG_write(path.c_str(), &im.rec), 1);

    zt::Image back;
    ASSERT_EQ(PNG_read(path.c_str(), &back.rec, 0), 1);
    ASSERT_EQ(back.rec.depth, 8);
    const int room = 256 - std::min(a, 256);  // palette entries left for the new colours
    int wrong = 0, kept = 0;
    for (std::size_t i = 0; i < colour.size(); ++i) {
        const int k = colour[i];
        const bool fits = k < a ? k < 256 : k - a < room;
        const zt::Rgb c = zt::rgb_at(back.rec, static_cast<int>(i % kSide), static_cast<int>(i / kSide));
        wrong += static_cast<unsigned>(c.r << 16 | c.g << 8 | c.b) != (fits ? rgb_of(k) : rgb_of(0));
        kept += fits;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(kept, kSide);
}

INSTANTIATE_TEST_SUITE_P(Cases, PaletteSplit, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
