// Attribute strings (colour, style, width, marker, fill) over the default
// colour table, and the single-attribute parsers.
#include "colors.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    static bool table = false;
    if (!table) {
        table = true;
        CLR_read_table(ZEM_ETC "/zem.clr");
    }
    const std::string s = fuzz::as_text(data, size);
    Gattribs a;
    ATTRIB_init(&a);
    ATTRIB_parse(s.c_str(), &a);
    Gattribs b;
    ATTRIB_init(&b);
    ATTRIB_update(&b, &a);
    ATTR_parse_fill_pat(s.c_str());
    ATTR_parse_marker(s.c_str());
    ATTR_parse_style(s.c_str());
    CLR_get_ind(s.c_str());
    return 0;
}
