// TIFF/GeoTIFF reader over the real files: pixels against GDAL's own
// decoding (gdal_translate), navigation against gdaltransform, for strips
// and tiles, every compression of tiff/derived, big- and little-endian,
// latitude/longitude (area and point rasters), Mercator (1SP with a
// Jakarta prime meridian, 2SP) and web Mercator grids.

#include "readers_ref.h"

namespace {

struct TiffCase {
    const char* file;
    int proj;  // projection code of the image domain
};

const TiffCase kTiff[] = {
    {"tiff/tige04.tif", 2},          {"tiff/tigw04.tif", 2},
    {"tiff/mercator1sp.tif", 3},     {"tiff/mercator2sp.tif", 3},
    {"tiff/pixel_is_point_wgs84.tif", 2}, {"tiff/shade.tif", 3},
    {"tiff/derived/tige04_packbits.tif", 2}, {"tiff/derived/tige04_lzw.tif", 2},
    {"tiff/derived/tige04_deflate.tif", 2},  {"tiff/derived/tige04_tiled.tif", 2},
    {"tiff/derived/tige04_tiled_deflate.tif", 2},
};

class TiffFiles : public ::testing::TestWithParam<TiffCase> {};

TEST_P(TiffFiles, MatchGdal) {
    const std::string path = zt::testdata(GetParam().file);
    ZT_NEED_DATA(path);
    RR_NEED_TOOLS("gdal_translate", "gdaltransform");
    zt::TempDir dir;
    // GDAL's pixels, as a binary PGM.
    const std::string pgm = dir.file("ref.pgm");
    ASSERT_EQ(zt::run("gdal_translate -q -of PNM " + path + " " + pgm).status, 0);
    std::string ref = zt::slurp(pgm);
    // The pixels follow the third line feed of "P5\nW H\n255\n".
    for (int lines = 0; lines < 3 && !ref.empty(); ++lines) ref.erase(0, ref.find('\n') + 1);
    zt::MessCapture quiet;
    const rr::Read r(59, path);
    ASSERT_EQ(r.rc, 1);
    const IMG_report& img = r.img;
    const std::size_t n = std::size_t(img.width) * std::size_t(img.height);
    ASSERT_GE(ref.size(), n);
    EXPECT_EQ(ref.compare(0, n, reinterpret_cast<const char*>(img.data), n), 0) << "pixels differ";
    EXPECT_EQ(img.source, 59);
    ASSERT_EQ(img.domain.proj, GetParam().proj);

    // Pixel centres (GDAL counts from the corner of the first pixel).
    const std::vector<std::pair<int, int>> at = {{0, 0}, {img.width - 1, img.height - 1}, {img.width / 3, img.height / 2}};
    std::string in;
    for (auto [c, rw] : at) in += std::to_string(c + 0.5) + " " + std::to_string(rw + 0.5) + "\n";
    zt::spit(dir.file("pts.txt"), in);
    std::istringstream out(zt::run("(gdaltransform -t_srs EPSG:4326 " + path + " < " + dir.file("pts.txt") + " 2>/dev/null)").out);
    for (auto [c, rw] : at) {
        double lon = 0, lat = 0, z = 0;
        ASSERT_TRUE(out >> lon >> lat >> z);
        const auto [olat, olon] = rr::grid_latlon(img.domain, c, rw);
        const double coslat = std::cos(lat * M_PI / 180);
        const double err_m = std::hypot((olat - lat) * 111200, (olon - lon) * 111200 * coslat);
        const double pixel_m = img.domain.dy * (img.domain.proj == 2 ? 111200 : 100000 * coslat);
        EXPECT_LT(err_m, 0.1 * pixel_m) << c << "," << rw << ": orlo " << olat << "," << olon << " GDAL " << lat
                                        << "," << lon;
    }
}

INSTANTIATE_TEST_SUITE_P(Real, TiffFiles, ::testing::ValuesIn(kTiff),
                         [](const auto& i) { return rr::name_of(i.param.file); });

}  // namespace
