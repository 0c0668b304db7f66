// area_make: writes an AREA sample file from a text description.
//
//   area_make DESCRIPTION OUTPUT     (DESCRIPTION "-" reads standard input)
//
// The description format is written out in area_writer.h. Example, a
// 100 x 120 polar stereographic image with its pole at line 50, element 60:
//
//   lines 100
//   elements 120
//   nav PS
//   npline 50
//   npelem 60
//   stdlat 600000
//   spacing 10000
//   nrmlon 1050000
//   equrad 6371200
//
// Exit status 0 when written, 1 on a description or write error, 2 on a
// usage error.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "area_writer.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: area_make DESCRIPTION OUTPUT\n");
        return 2;
    }
    std::string in_name = argv[1];
    std::ostringstream text;
    if (in_name == "-") {
        text << std::cin.rdbuf();
    } else {
        std::ifstream in(in_name);
        if (!in) {
            std::fprintf(stderr, "area_make: cannot read %s\n", in_name.c_str());
            return 1;
        }
        text << in.rdbuf();
    }
    std::string err;
    if (!area_make_file(text.str(), argv[2], &err)) {
        std::fprintf(stderr, "area_make: %s: %s\n", in_name.c_str(), err.c_str());
        return 1;
    }
    return 0;
}
