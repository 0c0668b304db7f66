// Place files: one place per line, white-space separated:
//   name state country id flag lat lon elevation wmo count
// e.g. "Denver CO US KDEN *2* 39.75 -104.87 1611 72565 0". The flag word is
// the label priority digit, with an optional leading "*" (statistical
// guidance) and trailing "*" (upper-air station). One file is open at a time.
#include "cty_read.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "files.h"
#include "mess.h"
#include "resrc.h"
#include "string.h"
#include "tools.h"

namespace {

constexpr int kHandle = 0;
constexpr long kBytesPerPlace = 59;  // typical line length, for the estimate
constexpr int kMaxEstimate = 4000;
constexpr std::size_t kLineMax = 512;
constexpr float kHighestElevation = 9000.0f;  // above: the file's missing mark

struct CtyFile {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> fp{nullptr, FILE_close};
    std::string name;
    int count = 0;
};

CtyFile g_cty;

}  // namespace

int CTY_data_init(CTY_data* data) {
    if (data == nullptr) return -1;
    std::memset(data, 0, sizeof *data);
    data->mos = ' ';
    data->ua = ' ';
    data->lat = kMissingF;
    data->lon = kMissingF;
    data->el = kMissingF;
    data->wmo = kMissing;
    return 0;
}

int CTY_open(const char* file, int mode, int /*type*/) {
    if (file == nullptr) return -1;
    if (mode != 0) {
        MESS_print(M_warn, "CTY_open: writing place files not built yet\n");
        return -1;
    }
    try {
        CTY_close(kHandle);
        g_cty.fp.reset(FILE_open(file, "r"));
        if (!g_cty.fp) return -1;
        g_cty.name = file;
        long size = -1;
        if (std::fseek(g_cty.fp.get(), 0, SEEK_END) == 0) {
            size = std::ftell(g_cty.fp.get());
            std::rewind(g_cty.fp.get());
        }
        g_cty.count = size > 0 ? static_cast<int>(std::min<long>(size / kBytesPerPlace, kMaxEstimate)) : 0;
        return kHandle;
    } catch (const std::bad_alloc&) {
        g_cty.fp.reset();
        return -1;
    }
}

int CTY_open_file(const char* file, int* count) {
    const char* res = RES_get("city_file");
    if (res != nullptr && *res != '\0') {
        if (std::strcmp(res, "none") == 0) return -1;
        file = res;
    }
    if (file == nullptr || *file == '\0') file = "sao.cty";
    std::string full;
    try {
        full = FILE_with_file_path(file);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    const int h = CTY_open(full.c_str(), 0, 0);
    if (h < 0) {
        MESS_print(M_warn, "CTY_open_file: Database file not found: %s\n", full.c_str());
        return -1;
    }
    if (count != nullptr) *count = g_cty.count;
    return h;
}

int CTY_read(int handle, CTY_data* data) {
    if (handle != kHandle || !g_cty.fp || data == nullptr) return -1;
    std::string line;
    std::string flag_word;
    try {
        if (!read_text_line(g_cty.fp.get(), line, kLineMax)) return -1;
        flag_word.assign(kLineMax + 1, '\0');
    } catch (const std::bad_alloc&) {
        return -1;
    }
    CTY_data_init(data);
    // The flag word is read whole, however long, so that the position behind
    // it is not taken from the flag word's tail.
    static_assert(kLineMax == 512, "the flag word's width below is kLineMax");
    char* const flag = flag_word.data();
    const int n = std::sscanf(line.c_str(), "%20s %2s %2s %9s %512s %f %f %f %d %d", data->name,
                              data->state, data->region, data->id, flag, &data->lat, &data->lon,
                              &data->el, &data->wmo, &data->num);
    const char* f = flag;
    if (*f == '*') {
        data->mos = '*';
        ++f;
    }
    if (*f >= '0' && *f <= '9') {
        data->prior = *f - '0';
        ++f;
    }
    if (*f == '*') data->ua = '*';
    if (data->el > kHighestElevation) data->el = kMissingF;
    return n < 0 ? 0 : n;
}

int CTY_rewind(int handle) {
    if (handle != kHandle || !g_cty.fp) return -1;
    std::rewind(g_cty.fp.get());
    return 0;
}

int CTY_close(int handle) {
    if (handle != kHandle) return -1;
    g_cty.fp.reset();
    g_cty.name.clear();
    g_cty.count = 0;
    return 0;
}

int CTY_getinfo(int handle, const char** name, int* count) {
    if (handle != kHandle || !g_cty.fp) return -1;
    if (name != nullptr) *name = g_cty.name.c_str();
    if (count != nullptr) *count = g_cty.count;
    return 0;
}
