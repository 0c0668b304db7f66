// Date texts: sequence and label forms, month names, zone names; whatever
// reads is printed back and read again.
#include "date.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::quiet();
    const std::string s = fuzz::as_text(data, size);
    char out[256];
    Date d;
    DATE_init(&d);
    if (DATE_decode_seq(s.c_str(), &d) > 0) {
        DATE_make_seq(&d, out);
        DATE_make_label(&d, out);
        DATE_num_sec(&d);
    }
    DATE_init(&d);
    if (DATE_decode_label(s.c_str(), &d) == 0) {
        DATE_make_label(&d, out);
        DATE_decode_label(out, &d);
        DATE_num_sec(&d);
    }
    DATE_decode_month(s.c_str());
    DATE_set_TZ(s.c_str());
    DATE_set_TZ("GMT");
    return 0;
}
