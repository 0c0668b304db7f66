// Broken, truncated and oversized inputs of every image reader, kept under
// tests/data/bad/ and named for what they break. The table there
// (expect.txt) names for each file the reader, the status it must return
// and a text its messages must hold; no row may leave a pixel buffer
// behind, and the sanitizer build turns any stray read into a failure.
#include "zem_test.h"

#include <cctype>
#include <cstring>
#include <map>

#include "files.h"
#include "flag.h"
#include "gif.h"
#include "gks_meta.h"
#include "png.h"
#include "sat_tran.h"
#include "tools.h"
#include "xdump.h"

namespace {

enum class Reader { area, read_file, zem, img, png, xwd, xwd_depth8, area_domain, file_request, gif, metafile };

struct BadFile {
    std::string file;
    Reader reader;
    int format;  // SAT_read_file's input format
    int status;
    std::string message;
};
void PrintTo(const BadFile& c, std::ostream* os) { *os << c.file; }

// The rows of tests/data/bad/expect.txt: file | reader | status | message.
std::vector<BadFile> expectations() {
    const std::map<std::string, Reader> readers = {
        {"area", Reader::area}, {"read_file", Reader::read_file}, {"zem", Reader::zem}, {"img", Reader::img},
        {"png", Reader::png},   {"xwd", Reader::xwd},             {"xwd_depth8", Reader::xwd_depth8},
        {"area_domain", Reader::area_domain}, {"file_request", Reader::file_request}, {"gif", Reader::gif},
        {"metafile", Reader::metafile}};
    const std::map<std::string, int> formats = {
        {"gini", kFormatAwip}, {"unisys", kFormatUnisys}, {"tiff", kFormatTiff}, {"lrit", kFormatLrit}};
    std::vector<BadFile> rows;
    for (const auto& f : zt::cases("bad/expect.txt")) {
        const bool sat = formats.count(f.at(1)) > 0;
        rows.push_back({f[0], sat ? Reader::read_file : readers.at(f[1]), sat ? formats.at(f[1]) : kFormatArea,
                        std::stoi(f.at(2)), f.size() > 3 ? f[3] : ""});
    }
    return rows;
}

std::string bad(const std::string& name) { return std::string(ZEM_TEST_DATA) + "/bad/" + name; }

// Runs the row's reader over `path`; its status. `said` gets everything
// printed through the message module and on standard error (the XWD
// reader's).
int read_bad(const std::string& path, const BadFile& row, std::string* said) {
    const Reader reader = row.reader;
    zt::MessCapture cap;
    ::testing::internal::CaptureStderr();
    IMG_report img;
    IMG_init(&img);
    MC_area a{};
    int rc = 0;
    std::string extra;  // what the reader hands back, after its messages
    switch (reader) {
        case Reader::area:
            rc = zt::read_area(path, &a);
            EXPECT_TRUE(!a.dir && !a.image);
            break;
        case Reader::area_domain:  // the map domain of the navigation block
            rc = zt::read_area(path, &a);
            rc += AREA_init(&a);
            rc += AREA_map_domain(&img.domain);
            extra = zt::domain_text(img.domain);
            SAT_free_AREA(&a);
            break;
        case Reader::file_request: {  // the first line a naming convention, the second a request
            const std::string text = zt::slurp(path);
            const std::size_t nl = text.find('\n');
            FILE_set_name(text.substr(0, nl).c_str());
            std::vector<char> name(FILE_NAME_LEN * 2 + 20);
            rc = FILE_set_current(text.substr(nl + 1, text.find('\n', nl + 1) - nl - 1).c_str(), name.data());
            extra = name.data();
            FILE_set_name("none");
            break;
        }
        case Reader::read_file:
            RES_clear();
            FLAG_set(14, row.format);
            rc = SAT_read_file(path.c_str(), &img);
            if (rc > 0) IMG_free(&img);
            break;
        case Reader::gif:
            rc = GIF_read(path.c_str(), &img, 0);
            for (int k = 0; rc > 0 && k < 8; ++k) extra += (k ? " " : "") + std::to_string(img.data[k]);
            for (int k = 0; rc > 0 && k < img.width * img.height && img.data[k] == img.data[k % 8]; ++k)
                if (k == img.width * img.height - 1) extra += " over all";
            IMG_free(&img);
            break;
        case Reader::metafile: {
            zt::TempDir out;
            rc = gopen_gks(nullptr, 0) + gopen_ws(1, out.file("replay.meta").c_str(), 3) + gread_metafile(path.c_str());
            gclose_ws(1);
            gclose_gks();
            break;
        }
        case Reader::zem: rc = IMG_read_zem(path.c_str(), &img, 0); break;
        case Reader::img:
            IMG_set_read_wait(0);  // a short compressed body: do not wait for more
            rc = IMG_read(path.c_str(), &img, 0);
            IMG_set_read_wait(1);
            break;
        case Reader::png: rc = PNG_read(path.c_str(), &img, 0); break;
        case Reader::xwd_depth8: img.depth = 8; [[fallthrough]];
        case Reader::xwd: rc = XWD_read(path.c_str(), &img, 0); break;
    }
    // The image module's own and the satellite readers free before they
    // return; the PNG and XWD readers leave it to the image module.
    EXPECT_TRUE(!img.data || reader == Reader::png || reader == Reader::xwd || reader == Reader::xwd_depth8);
    IMG_free(&img);
    *said = cap.text() + ::testing::internal::GetCapturedStderr() + extra;
    return rc;
}

class BadInput : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadInput, FailsWithItsMessage) {
    const BadFile& c = GetParam();
    ASSERT_TRUE(c.file.rfind("no_such_file", 0) == 0 || std::filesystem::exists(bad(c.file))) << "missing";
    std::string said;
    EXPECT_EQ(read_bad(bad(c.file), c, &said), c.status);
    EXPECT_TRUE(c.message.empty() ? said.empty() : said.find(c.message) != std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(Files, BadInput, ::testing::ValuesIn(expectations()), [](const auto& info) {
    std::string n = std::to_string(info.index) + "_" + info.param.file;
    for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return n;
});

TEST(BadInput, TableIsThere) { EXPECT_GE(expectations().size(), 50u); }

}  // namespace
