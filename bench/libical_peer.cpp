#include "libical_peer.h"

#include <time.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#ifdef KOVA_HAVE_LIBICAL
#include <libical/vcc.h>
#endif

namespace kova::bench {

#ifdef KOVA_HAVE_LIBICAL

namespace {

long g_parse_errors = 0;

void count_error(char *) { ++g_parse_errors; }

double now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Offsets of the lines that open a top-level object; the benchmark files nest none of
// the same name, so every such line is one.
std::vector<size_t> object_starts(const std::string &text, const std::string &begin)
{
    std::vector<size_t> starts;
    for (size_t at = 0; (at = text.find(begin, at)) != std::string::npos; at += begin.size())
        if (at == 0 || text[at - 1] == '\n') starts.push_back(at);
    return starts;
}

long count_items(VObject *list, bool calendar)
{
    long count = 0;
    for (VObject *o = list; o; o = nextVObjectInList(o)) {
        if (!calendar) {
            ++count;
            continue;
        }
        VObjectIterator i;
        initPropIterator(&i, o);
        while (moreIteration(&i)) {
            const char *name = vObjectName(nextVObject(&i));
            if (std::strcmp(name, VCEventProp) == 0 || std::strcmp(name, VCTodoProp) == 0) ++count;
        }
        // The list is circular: stop when it comes round to the start.
        if (nextVObjectInList(o) == list) break;
    }
    return count;
}

}  // namespace

bool libical_available() { return true; }

bool libical_parse(const std::string &path, bool calendar, unsigned per_piece, double &seconds,
                   long &objects, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    std::vector<size_t> starts = object_starts(text, calendar ? "BEGIN:VCALENDAR" : "BEGIN:VCARD");
    starts.push_back(text.size());
    registerMimeErrorHandler(count_error);
    objects = 0;
    double start = now();
    for (size_t i = 0; i + 1 < starts.size(); i += per_piece) {
        size_t end = starts[std::min(i + per_piece, starts.size() - 1)];
        VObject *list = Parse_MIME(text.data() + starts[i], end - starts[i]);
        objects += count_items(list, calendar);
        cleanVObjects(list);
    }
    seconds = now() - start;
    cleanStrTbl();
    // Every piece ends with one "pop on empty Object Stack" report, whatever it holds:
    // only a piece that yields nothing counts as a failure.
    if (objects == 0) error = "parsed nothing (" + std::to_string(g_parse_errors) + " errors)";
    return true;
}

#else

bool libical_available() { return false; }

bool libical_parse(const std::string &, bool, unsigned, double &, long &, std::string &error)
{
    error = "libical not found at build time";
    return false;
}

#endif

}  // namespace kova::bench
