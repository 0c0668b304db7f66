// File requests as the driver makes them: a file named on the command line
// keeps its date (so a sequence steps from it), and existing files whose
// names look like latest/current requests are opened as named.
#include <string>
#include <vector>

#include "date.h"
#include "files.h"
#include "flag.h"
#include "resrc.h"
#include "tools.h"
#include "zem_test.h"

namespace {

struct WalkCase {
    const char* request;                 // relative to the scratch folder unless it starts with '/'
    const char* num_hour;                // "" for none
    std::vector<std::string> files;      // files made first
    std::vector<std::string> sequence;   // names the walk gives (relative), in order
    int hour, minute;                    // file date read from the request
};

class FilesWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(FilesWalk, RequestGivesNamesAndDate)
{
    const WalkCase& c = GetParam();
    SCOPED_TRACE(c.request);
    zt::TempDir dir(true);
    MESS_reset();
    RES_clear();
    FILE_reset();
    unsetenv("zemcurtime");
    for (const auto& f : c.files) zt::spit(dir.file(f), std::string(3000, 'x'));
    RES_put("sat_path", dir.path().c_str());
    if (*c.num_hour) RES_put("num_hour", c.num_hour);
    FILE_set_name("@%S/ir/%y%m%d%h%15n.area");
    const std::string req = c.request[0] == '/' ? dir.path() + c.request : c.request;
    RES_put("filename", req.c_str());

    char out[FILE_NAME_LEN] = {};
    EXPECT_EQ(FILE_set_file(req.c_str(), out), 1) << "an existing file is taken as named";
    EXPECT_EQ(std::string(out), req);
    Date d{};
    FILE_get_date(&d);
    EXPECT_EQ(d.hour, c.hour);
    EXPECT_EQ(d.min, c.minute);
    FILE_first(&d);
    std::vector<std::string> got;
    while (got.size() < 10 && FILE_get_next(out) != 0) {
        std::string n = out;
        if (n.rfind(dir.path() + "/", 0) == 0) n = n.substr(dir.path().size() + 1);
        got.push_back(n);
    }
    EXPECT_EQ(got, c.sequence);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, FilesWalk,
    ::testing::Values(
        // A full path with a half-hour span: the three files up to it.
        WalkCase{"/ir/2403051400.area", "-0:30",
                 {"ir/2403051330.area", "ir/2403051345.area", "ir/2403051400.area"},
                 {"ir/2403051330.area", "ir/2403051345.area", "ir/2403051400.area"}, 14, 0},
        // A relative name alone, and its date for the saved image's name.
        WalkCase{"ir/2403051345.area", "", {"ir/2403051345.area"}, {"ir/2403051345.area"}, 13, 45},
        // Names that begin like "latest", "current" and "#date" requests.
        WalkCase{"latest_ir.area", "", {"latest_ir.area"}, {"latest_ir.area"}, kMissing, kMissing},
        WalkCase{"cumulus.area", "", {"cumulus.area"}, {"cumulus.area"}, kMissing, kMissing},
        WalkCase{"#12.area", "", {"#12.area"}, {"#12.area"}, kMissing, kMissing},
        WalkCase{"LAST.area", "", {"LAST.area"}, {"LAST.area"}, kMissing, kMissing}));

}  // namespace

// Listing the files of a convention matches names in the program: a path
// with blanks lists its files, and shell text in it is never run.
TEST(FilesList, PathWithBlanksAndShellText)
{
    zt::TempDir dir(true);
    MESS_reset();
    RES_clear();
    FILE_reset();
    const std::string sat = dir.file("a b;touch pwned");
    for (const char* f : {"ir/2403051330.area", "ir/2403051345.area", "ir/notes.txt"})
        zt::spit(sat + "/" + f, "x");
    RES_put("sat_path", sat.c_str());
    FILE_set_name("@%S/ir/%y%m%d%h%15n.area");
    zt::MessCapture cap;
    MESS_set(0, M_print | M_warn);
    EXPECT_EQ(FILE_list_file(), 0);
    const std::string text = cap.text();
    EXPECT_EQ(zt::count_of(text, ".area"), 2) << text;
    EXPECT_EQ(zt::count_of(text, sat + "/ir/2403051345.area"), 1) << text;
    EXPECT_FALSE(std::filesystem::exists(dir.file("pwned")));
}
