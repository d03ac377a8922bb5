// What was read goes into the store and comes back out: each object that KOVA_ReadObjects
// delivers is added, found again, modified by its id, fetched as a contact and as a
// calendar item, and each fetched record is written and the file read again. The store
// stays open across inputs, as a caller keeps it, and is thrown away every few hundred
// inputs so that it does not grow without bound.
//
// Beyond "no crash, no leak", what must hold: an add that answers 0 gives an id that
// fetches its object again (eight hex digits for everything but notes), a fetched
// record writes as 0, and what was written reads back as one object.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "kova/kova.h"
#include "model/record.h"

namespace {

using kova::fuzz::scratch_path;
using kova::fuzz::widen_ascii;

constexpr unsigned kInputsPerStore = 256;

void check(bool condition)
{
    if (!condition) __builtin_trap();
}

bool is_object_id(const char *id)
{
    if (std::strlen(id) != 8) return false;
    for (const char *c = id; *c; ++c)
        if (!((*c >= '0' && *c <= '9') || (*c >= 'a' && *c <= 'f'))) return false;
    return true;
}

// Drops the store and the note files and opens a fresh one.
void fresh_store()
{
    KOVA_Close();
    const std::string &root = kova::fuzz::scratch_dir();
    for (const char *name : {"pim.db", "pim.db-wal", "pim.db-shm"})
        std::remove((root + "/" + name).c_str());
    std::error_code ec;
    std::filesystem::remove_all(root + "/Documents", ec);
    check(KOVA_Open() == KOVA_OK);
}

unsigned count_objects(const std::u16string &path)
{
    unsigned objects = 0;
    uint32_t rc = KOVA_ReadObjects(
        path.c_str(), [](uint32_t, ObjectRecord *, uint32_t, void *n) { ++*static_cast<unsigned *>(n); },
        &objects);
    return rc == KOVA_OK ? objects : 0;
}

// Fetches the id as a contact and as a calendar item; each record that comes back is
// written out and read in again. Returns the result for the type it was stored as.
uint32_t fetch_and_write(uint32_t stored_type, const char *id)
{
    static const std::u16string out = widen_ascii(scratch_path("fetched.vobject"));
    uint32_t stored_result = KOVA_NOT_FOUND;
    for (uint32_t type : {KOVA_TYPE_CONTACT, KOVA_TYPE_CALENDAR}) {
        ObjectRecord record;
        uint32_t rc = KOVA_GetObjectById(type, id, &record);
        if (type == stored_type) stored_result = rc;
        if (rc != KOVA_OK) {
            kova::model::ReleaseRecord(type, &record);  // a failed fetch must hold nothing
            continue;
        }
        // A calendar record without a Kind writes a VCALENDAR with nothing inside.
        bool whole = type == KOVA_TYPE_CONTACT || record.Calendar.Kind != 0;
        check(KOVA_WriteObject(type, &record, out.c_str(), 1) == KOVA_OK);
        if (whole) check(count_objects(out) == 1);
    }
    return stored_result;
}

struct Stored {
    uint32_t type;
    std::string id;
};

// Fetching waits until the read is over: the readers share one working record, so a
// read inside the callback would take the outer object's.
void on_object(uint32_t type, ObjectRecord *record, uint32_t, void *context)
{
    // Notes answer with their name, or leave the buffer alone when they have none.
    char id[KOVA_ID_CAPACITY];
    std::memset(id, 'x', sizeof id);
    id[sizeof id - 1] = '\0';
    uint32_t added = KOVA_AddObject(type, record, id);
    if (type != KOVA_TYPE_NOTE && added == KOVA_OK) check(is_object_id(id));
    else if (type != KOVA_TYPE_NOTE && added != KOVA_PIM_NOT_OPENED) check(id[0] == '\0');

    char found[KOVA_ID_CAPACITY];
    std::memset(found, 'x', sizeof found);
    found[sizeof found - 1] = '\0';
    if (KOVA_FindObject(type, record, found) == 1 && type != KOVA_TYPE_NOTE)
        check(is_object_id(found));

    if (added != KOVA_OK) return;
    KOVA_ModifyObject(type, id, record);
    static_cast<std::vector<Stored> *>(context)->push_back({type, id});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string input = scratch_path("input.vobject");
    static unsigned inputs = 0;
    if (inputs++ % kInputsPerStore == 0) fresh_store();
    kova::fuzz::write_bytes(input, data, size);
    std::vector<Stored> stored;
    KOVA_ReadObjects(widen_ascii(input).c_str(), on_object, &stored);
    for (const Stored &object : stored) {
        uint32_t fetched = fetch_and_write(object.type, object.id.c_str());
        if (object.type == KOVA_TYPE_CONTACT || object.type == KOVA_TYPE_CALENDAR)
            check(fetched == KOVA_OK);
    }
    return 0;
}
