// Helpers shared by the fuzz targets: the input as a scratch file or as a
// NUL-terminated text, and messages kept off the screen so that libFuzzer's
// own output stays readable.
#ifndef ZEM_FUZZ_UTIL_H
#define ZEM_FUZZ_UTIL_H

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "mess.h"

namespace fuzz {

// Messages go to the log only, and no log is open: nothing is printed.
inline void reset_quiet()
{
    MESS_set_out(MESS_OUT_LOG_ONLY);
    setenv("zembatch", "1", 1);
}

inline void quiet()
{
    static bool done = false;
    if (done) return;
    done = true;
    reset_quiet();
}

// Writes the input to a per-process scratch file and returns its name.
inline const std::string& as_file(const std::uint8_t* data, std::size_t size,
                                  const char* ext = "")
{
    static std::string name;
    name = "/tmp/zem_fuzz_" + std::to_string(getpid()) + ext;
    if (FILE* f = std::fopen(name.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return name;
}

inline std::string as_text(const std::uint8_t* data, std::size_t size)
{
    return std::string(reinterpret_cast<const char*>(data), size).c_str();
}

}  // namespace fuzz

#endif
