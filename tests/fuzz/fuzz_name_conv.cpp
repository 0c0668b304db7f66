// Naming-convention tables: the first input line names the convention to
// select, the rest is the table file. The selected convention then names
// files for a request, the latest file and a fixed date.
#include <cstring>
#include <string>

#include "date.h"
#include "files.h"
#include "fuzz_util.h"
#include "resrc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    const std::string all(reinterpret_cast<const char*>(data), size);
    const std::size_t nl = all.find('\n');
    const std::string name = all.substr(0, nl).c_str();
    const std::string table = nl == std::string::npos ? "" : all.substr(nl + 1);
    const std::string& path = fuzz::as_file(
        reinterpret_cast<const std::uint8_t*>(table.data()), table.size(), ".conv");
    RES_put("name_conv", path.c_str());
    RES_put("sat_path", "/nonexistent");
    FILE_set_name(name.c_str());
    char out[FILE_NAME_LEN * 2 + 20];
    FILE_set_file("2403051330", out);
    FILE_get_name_conv(out);
    Date d;
    DATE_init(&d);
    d.year = 2024; d.month = 3; d.day = 5; d.hour = 13; d.min = 30;
    FILE_set_date(&d, out);
    FILE_set_name("none");
    return 0;
}
