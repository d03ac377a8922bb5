// ParseIsoDate, ParseMessageDate and MessageDateToFileTime on arbitrary text. A date
// that ParseIsoDate reads must format as local ISO text that reads back to itself.
#include <cmath>
#include <cstdint>
#include <string>

#include "convert/charset.h"
#include "convert/iso_date.h"
#include "convert/message_date.h"
#include "fuzz_support.h"

using namespace kova::convert;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kova::fuzz::scratch_dir();  // the time zone
    std::string text(reinterpret_cast<const char *>(data), size);
    DateValue iso = ParseIsoDate(text.c_str());
    ParseMessageDate(text.c_str());
    MessageDateToFileTime(text.c_str());
    if (iso.valid && iso.date != NoDate) {
        FormatIsoDate(iso.date, true, false);
        std::string local = narrow_system(FormatIsoDate(iso.date, true, true));
        // Years below 1000 are padded with blanks, which the parser's %4d does not
        // count; those are left out of the round trip.
        if (!local.empty() && local[0] != ' ' && local[0] != '-') {
            DateValue back = ParseIsoDate(local.c_str());
            if (!back.valid || std::fabs(back.date - iso.date) * 86400.0 > 1.0) __builtin_trap();
        }
    }
    return 0;
}
