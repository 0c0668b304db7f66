// File requests and current-file requests against the shipped
// conventions and an inline template taken from the input: the input's
// lines are template, request and current-file text.
#include <string>

#include "files.h"
#include "fuzz_util.h"
#include "resrc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    std::string all = fuzz::as_text(data, size);
    std::string line[3];
    for (int i = 0, p = 0; i < 3; ++i) {
        std::size_t nl = all.find('\n', static_cast<std::size_t>(p));
        line[i] = all.substr(static_cast<std::size_t>(p), nl == std::string::npos
                                                              ? std::string::npos
                                                              : nl - static_cast<std::size_t>(p));
        if (nl == std::string::npos) break;
        p = static_cast<int>(nl + 1);
    }
    // A request of "exit" ends the program by design.
    for (auto& l : line)
        if (l.find("exit") != std::string::npos) return 0;
    RES_put("name_conv", ZEM_ETC "/name_conv");
    RES_put("sat_path", "/nonexistent");
    RES_put("image_path", "/nonexistent");
    char out[FILE_NAME_LEN * 2 + 20];
    for (const std::string& conv : {std::string("sat_ir"), "@" + line[0], line[0]}) {
        FILE_set_name(conv.c_str());
        FILE_set_file(line[1].c_str(), out);
        FILE_set_current(line[2].c_str(), out);
        FILE_set_current(line[1].c_str(), out);
    }
    FILE_set_name("none");
    return 0;
}
