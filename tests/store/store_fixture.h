// End-to-end helpers for the store tests: a fresh device with the store open, vObject
// text read and added through the public functions, and objects fetched and written
// back out as text.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "convert/clock_fixture.h"
#include "kova/kova.h"
#include "model/record.h"
#include "pim/outlook.h"
#include "support/test_support.h"

namespace kova::testing {

// A device root of its own with the store open for the test's lifetime.
class OpenStore {
public:
    OpenStore() { EXPECT_EQ(KOVA_Open(), 0u); }
    ~OpenStore() { KOVA_Close(); }
    OpenStore(const OpenStore &) = delete;
    OpenStore &operator=(const OpenStore &) = delete;

    TempDevice device;
};

struct Added {
    uint32_t type;
    uint32_t result;
    std::string id;
};

// Reads the text as a file and adds every object from the callback.
inline std::vector<Added> add_text(const TempDevice &device, std::string_view text)
{
    write_file(device.path("in.vobj"), text);
    std::vector<Added> added;
    auto add = [](uint32_t type, ObjectRecord *record, uint32_t, void *context) {
        char id[KOVA_ID_CAPACITY] = "untouched";
        uint32_t result = KOVA_AddObject(type, record, id);
        static_cast<std::vector<Added> *>(context)->push_back({type, result, id});
    };
    EXPECT_EQ(KOVA_ReadObjects(device.wide_path("in.vobj").c_str(), add, &added), 0u);
    return added;
}

// A record of the caller's own: the first object of the text, taken over from the reader
// (which lends its record only for the callback) as a caller that keeps it would.
struct Kept {
    bool taken = false;
    uint32_t type = 0;
    ObjectRecord record{};
};

inline Kept take_first(const TempDevice &device, std::string_view text)
{
    Kept kept;
    write_file(device.path("first.vobj"), text);
    auto take = [](uint32_t type, ObjectRecord *record, uint32_t, void *context) {
        auto &k = *static_cast<Kept *>(context);
        if (k.taken) return;
        k = {true, type, *record};
        std::memset(record, 0, sizeof *record);
    };
    EXPECT_EQ(KOVA_ReadObjects(device.wide_path("first.vobj").c_str(), take, &kept), 0u);
    EXPECT_TRUE(kept.taken);
    return kept;
}

inline bool all_zero(const ObjectRecord &record)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(&record);
    return std::all_of(bytes, bytes + sizeof record, [](unsigned char b) { return b == 0; });
}

// The record written out as a file (which releases it).
inline std::string text_of(const TempDevice &device, uint32_t type, ObjectRecord &record)
{
    EXPECT_EQ(KOVA_WriteObject(type, &record, device.wide_path("out.vobj").c_str(), 1), 0u);
    return read_file(device.path("out.vobj"));
}

// The object fetched by id and written out; without result, the fetch must succeed.
inline std::string fetch_text(const TempDevice &device, uint32_t type, const std::string &id,
                              uint32_t *result = nullptr)
{
    ObjectRecord record;
    uint32_t rc = KOVA_GetObjectById(type, id.c_str(), &record);
    if (result) {
        *result = rc;
    } else {
        EXPECT_EQ(rc, 0u) << id;
    }
    return rc == 0 ? text_of(device, type, record) : std::string();
}

// Adds the one object of the text: its type, result and id.
inline Added add_one(const TempDevice &device, std::string_view text)
{
    std::vector<Added> added = add_text(device, text);
    EXPECT_EQ(added.size(), 1u);
    return added.size() == 1 ? added[0] : Added{~0u, ~0u, "none added"};
}

// The id of the one object of the text, which must be added.
inline std::string add_id(const TempDevice &device, std::string_view text)
{
    Added added = add_one(device, text);
    EXPECT_EQ(added.result, 0u);
    return added.id;
}

// Adds the one object of the text and gives it back as written from the store.
inline std::string round_trip(OpenStore &store, std::string_view text, uint32_t type)
{
    return fetch_text(store.device, type, add_id(store.device, text));
}

// KOVA_FindObject on the first object of the text: the id found, or "none" (and the
// id buffer left as it was).
inline std::string find_id(const TempDevice &device, std::string_view text)
{
    Kept k = take_first(device, text);
    char id[KOVA_ID_CAPACITY] = "untouched";
    std::string found = KOVA_FindObject(k.type, &k.record, id) == 1 ? id : "none";
    if (found == "none") {
        EXPECT_STREQ(id, "untouched");
    }
    model::ReleaseRecord(k.type, &k.record);
    return found;
}

// The rows that sql gives on the store's database, a line each, columns ended by "|".
inline std::string store_rows(const std::string &sql)
{
    std::string out;
    sqlite3 *db = nullptr;
    if (sqlite3_open(pim::store_path().c_str(), &db) == SQLITE_OK)
        sqlite3_exec(
            db, sql.c_str(),
            [](void *text, int n, char **values, char **) {
                auto &rows = *static_cast<std::string *>(text);
                for (int i = 0; i < n; ++i) rows += std::string(values[i] ? values[i] : "-") + "|";
                rows += "\n";
                return 0;
            },
            &out, nullptr);
    sqlite3_close(db);
    return out;
}

// A vCalendar holding one item ("VEVENT" or "VTODO") made of the property lines.
inline std::string vcalendar(const std::string &item, const std::string &lines)
{
    return "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:" + item + "\r\n" + lines + "END:" + item +
           "\r\nEND:VCALENDAR\r\n";
}

// KOVA_ModifyObject on the id with the first object of the text; its result.
inline uint32_t modify_text(const TempDevice &device, const std::string &id, std::string_view text)
{
    Kept k = take_first(device, text);
    uint32_t result = KOVA_ModifyObject(k.type, id.c_str(), &k.record);
    model::ReleaseRecord(k.type, &k.record);
    return result;
}

// An open store for items of one kind ("VEVENT" or "VTODO") in a local time of UTC+2
// without summer time, with its log.
struct CalendarStore {
    explicit CalendarStore(std::string kind) : item(std::move(kind)) { convert::use_zone("UTC-2"); }
    std::string item;
    OpenStore store;
    LogReceiver log{store.device};

    std::string text(const std::string &lines) const { return vcalendar(item, lines); }
    std::string round_trip(const std::string &lines)
    {
        return testing::round_trip(store, text(lines), KOVA_TYPE_CALENDAR);
    }
    std::string fetch(const std::string &id) { return fetch_text(store.device, KOVA_TYPE_CALENDAR, id); }
    // What the conversions logged, one line each: entry traces and the reader's
    // remarks left out.
    std::string reported()
    {
        std::string out;
        for (const std::string &line : log.texts())
            if (line.rfind("KOVA:  POL_", 0) != 0 && line.rfind("KOVA:  KOVA_", 0) != 0 &&
                line.rfind("KOVA:  Warning - vCal", 0) != 0)
                out += line + "\n";
        return out;
    }
};

constexpr const char *kOneTime =
    "KOVA:  The Extended Rule Grammar could not be translated to an\n"
    "       Outlook Recurrence pattern. Item will be sent as One-time.\n";
constexpr const char *kTooEarly =
    "KOVA:  DALARM 'Reminder date/time' is more than 45 days before the START date.\n";

// One case of a calendar table: the item's property lines, the output lines expected
// (those that start with one of the table's prefixes, joined by "|") and the log.
struct LineCase {
    const char *name;
    std::string lines;
    const char *expected;
    std::string log;  // what the conversions logged, as CalendarStore::reported gives it
};

// The lines of text that start with one of the prefixes ("DTSTART|DTEND"), in the
// text's order, joined by "|".
inline std::string lines_starting(const std::string &text, const std::string &prefixes)
{
    std::vector<std::string> wanted;
    std::istringstream names(prefixes);
    for (std::string prefix; std::getline(names, prefix, '|');) wanted.push_back(prefix);
    std::istringstream in(text);
    std::string line, out;
    while (std::getline(in, line))
        for (const std::string &prefix : wanted)
            if (line.rfind(prefix, 0) == 0) {
                out += (out.empty() ? "" : "|") + line;
                break;
            }
    return out;
}

// Each case's lines go into an item ("VEVENT" or "VTODO") between head and tail, which
// is added in a store of its own and written back.
template <size_t N>
void expect_cases(const std::string &item, const LineCase (&cases)[N], const std::string &head,
                  const std::string &tail, const char *prefixes)
{
    for (const LineCase &k : cases) {
        SCOPED_TRACE(k.name);
        CalendarStore c(item);
        std::string out = c.round_trip(head + k.lines + "\r\n" + tail);
        EXPECT_EQ(lines_starting(out, prefixes), k.expected);
        EXPECT_EQ(c.reported(), k.log);
    }
}

}  // namespace kova::testing
