// Running out of memory through the public functions: each allocation is failed in turn,
// the library's own (model::allocate), C++'s operator new (replaced in this program) and
// SQLite's. Whatever fails, the answer is a result: 0 or 11 from a read or a write (with
// the record released), a terminated name (empty when a conversion ran out), and a store
// that holds the whole object or what it held before. LeakSanitizer watches the rest.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sstream>
#include <string>

#include "kova/kova.h"
#include "model/alloc.h"
#include "model/record.h"
#include "store/store_fixture.h"

namespace {

// Fails the n-th request from now, and every later one when sticky.
struct Failures {
    unsigned long fail_at = 0, count = 0;
    bool sticky = false;
    bool next()
    {
        ++count;
        if (fail_at == 0 || --fail_at > 0) return false;
        if (sticky) fail_at = 1;
        return true;
    }
};

Failures g_new, g_sqlite;
size_t g_new_limit = SIZE_MAX;  // operator new also fails every larger request

}  // namespace

// The replacements take their blocks from malloc and give them back with free, which GCC
// cannot see through.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void *operator new(size_t size, const std::nothrow_t &) noexcept
{
    return size > g_new_limit || g_new.next() ? nullptr : std::malloc(size ? size : 1);
}
void *operator new(size_t size)
{
    if (void *block = operator new(size, std::nothrow)) return block;
    throw std::bad_alloc();
}
void *operator new[](size_t size) { return operator new(size); }
void *operator new[](size_t size, const std::nothrow_t &tag) noexcept
{
    return operator new(size, tag);
}
void operator delete(void *block) noexcept { std::free(block); }
void operator delete[](void *block) noexcept { std::free(block); }
void operator delete(void *block, size_t) noexcept { std::free(block); }
void operator delete[](void *block, size_t) noexcept { std::free(block); }

namespace {

// SQLite's allocations, hooked before its first use.
sqlite3_mem_methods g_sqlite_system{};
const bool g_sqlite_hooked = [] {
    sqlite3_config(SQLITE_CONFIG_GETMALLOC, &g_sqlite_system);
    static sqlite3_mem_methods hooked = g_sqlite_system;
    hooked.xMalloc = [](int size) { return g_sqlite.next() ? nullptr : g_sqlite_system.xMalloc(size); };
    hooked.xRealloc = [](void *block, int size) {
        return g_sqlite.next() ? nullptr : g_sqlite_system.xRealloc(block, size);
    };
    return sqlite3_config(SQLITE_CONFIG_MALLOC, &hooked) == SQLITE_OK;
}();

}  // namespace

namespace kova::api {
namespace {

using testing::Kept;
using testing::store_rows;
using testing::take_first;
using testing::TempDevice;

enum class Source { Model, New, Sqlite };
const char *const kSourceNames[] = {"model allocation ", "operator new ", "SQLite allocation "};

unsigned long allocations(Source source)
{
    if (source == Source::Model) return model::allocation_count();
    return source == Source::New ? g_new.count : g_sqlite.count;
}

void arm(Source source, unsigned long n, bool sticky)
{
    if (source == Source::Model) {
        model::fail_allocation_after(n, sticky);
    } else {
        Failures &f = source == Source::New ? g_new : g_sqlite;
        f.fail_at = n;
        f.sticky = sticky;
    }
}

// Runs prepare, run and check once to fill the caches, once to count run's allocations,
// then with each of them failing in turn, alone and together with every later one. Only
// run is failed; check sees each outcome after the failures are switched off.
template <class Prepare, class Run, class Check>
void fail_each(Source source, Prepare prepare, Run run, Check check)
{
    prepare();
    run();
    check();
    prepare();
    unsigned long before = allocations(source);
    run();
    unsigned long needed = allocations(source) - before;
    check();
    ASSERT_GT(needed, 0u);
    for (bool sticky : {false, true}) {
        for (unsigned long n = 1; n <= needed; ++n) {
            SCOPED_TRACE(kSourceNames[static_cast<int>(source)] + std::to_string(n) +
                         (sticky ? " and later" : " alone"));
            prepare();
            arm(source, n, sticky);
            run();
            arm(source, 0, false);
            check();
        }
    }
}

const std::string kContact =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lind;Maja;;Dr.;\r\n"
    "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Maja Lind=C3=A9n\\;=0D=0Ajr\r\n"
    "TEL;WORK:+46 8 555 0100\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John;Q;Mr.;III\r\nEND:VCARD\r\n";
const std::string kCalendar =
    "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nSUMMARY;CHARSET=ISO-8859-1:M\xf6te\r\n"
    "LOCATION:Room 4\r\nDTSTART:20260105T090000Z\r\nRRULE:W1 MO #4\r\n"
    "EXDATE:20260112T090000Z\r\nEND:VEVENT\r\nBEGIN:VTODO\r\nSUMMARY:Task\r\n"
    "END:VTODO\r\nEND:VCALENDAR\r\n";
const std::string kNote =
    "BEGIN:VNOTE\r\nVERSION:1.1\r\nBODY:Shopping list\r\nSUMMARY:Shopping for Sunday\r\nEND:VNOTE\r\n";
const std::string kMessage =
    "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\nFrom:ann@example.org\r\n"
    "Subject:Hi\r\nContent-Type:multipart/mixed; boundary=b\r\n\r\n--b\r\n"
    "Content-Type:text/plain; charset=UTF-8\r\nContent-Transfer-Encoding:quoted-printable\r\n"
    "\r\nHej p=C3=A5 dig\r\n--b\r\n\r\nsecond\r\n--b--\r\nEND:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n";
const std::string kFiles[] = {kContact, kCalendar, kNote, kMessage};

// Whether a name cut into 8 units holds exactly the units it claims (or 7), terminated.
bool name_terminated(uint32_t type, ObjectRecord *record)
{
    char16_t text[8];
    std::fill(std::begin(text), std::end(text), u'x');
    uint32_t shown = std::min(KOVA_GetObjectName(type, record, text, 8), 7u);
    return text[shown] == u'\0' && std::char_traits<char16_t>::find(text, shown, u'\0') == nullptr;
}

TEST(OutOfMemory, ReadObjectsAnswersZeroOrElevenAndKeepsNamesTerminated)
{
    TempDevice device;
    std::u16string path = device.wide_path("in.txt");
    auto note = [](uint32_t type, ObjectRecord *record, uint32_t, void *terminated) {
        *static_cast<bool *>(terminated) &= name_terminated(type, record);
    };
    for (const std::string &file : kFiles) {
        testing::write_file(device.path("in.txt"), file);
        for (Source source : {Source::Model, Source::New}) {
            uint32_t result = 0;
            bool terminated = true;
            fail_each(
                source, [&] { terminated = true; },
                [&] { result = KOVA_ReadObjects(path.c_str(), note, &terminated); },
                [&] {
                    EXPECT_TRUE(result == 0 || result == 11 || result == 19) << result;
                    EXPECT_TRUE(terminated);
                });
        }
    }
}

TEST(OutOfMemory, WriteObjectAnswersZeroOrElevenAndReleasesTheRecord)
{
    TempDevice device;
    std::u16string path = device.wide_path("out.txt");
    for (const std::string &file : kFiles) {
        for (Source source : {Source::Model, Source::New}) {
            Kept kept;
            uint32_t result = 0;
            fail_each(
                source, [&] { kept = take_first(device, file); },
                [&] { result = KOVA_WriteObject(kept.type, &kept.record, path.c_str(), 1); },
                [&] {
                    EXPECT_TRUE(result == 0 || result == 11) << result;
                    // Notes and messages are left to LeakSanitizer.
                    EXPECT_TRUE(kept.type > KOVA_TYPE_CALENDAR || testing::all_zero(kept.record));
                });
        }
    }
}

TEST(OutOfMemory, GetObjectNameGivesTheWholeNameOrAnEmptyOne)
{
    TempDevice device;
    for (const std::string &file : kFiles) {
        Kept kept = take_first(device, file);
        char16_t whole[256], text[256];
        uint32_t length = KOVA_GetObjectName(kept.type, &kept.record, whole, 256), got = 0;
        ASSERT_GT(length, 0u);
        fail_each(
            Source::New, [&] { std::fill(std::begin(text), std::end(text), u'x'); },
            [&] { got = KOVA_GetObjectName(kept.type, &kept.record, text, 256); },
            [&] {
                EXPECT_EQ(std::u16string(text), got ? std::u16string(whole, length) : u"");
            });
        model::ReleaseRecord(kept.type, &kept.record);
    }
}

TEST(OutOfMemory, AHundredMegabyteNameThatCannotBeConvertedIsEmpty)
{
    ObjectRecord record{};
    model::SetValue(model::AppendProperty(&record.Contact.FN),
                    model::copy_text(std::string(100u << 20, 'a')), 0);
    model::SetValue(model::AppendProperty(&record.Contact.N), model::copy_text("Doe"), 0);
    char16_t name[16] = u"kept";
    g_new_limit = 64u << 20;
    uint32_t length = KOVA_GetObjectName(KOVA_TYPE_CONTACT, &record, name, 16);
    g_new_limit = SIZE_MAX;
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(name[0], u'\0');
    model::ReleaseRecord(KOVA_TYPE_CONTACT, &record);
}

// Every row of every table of the store, to see that nothing stored changed; an item
// that a failed add took out again may leave its id among the deleted ones.
std::string dump_store()
{
    std::istringstream tables(store_rows("SELECT name FROM sqlite_master WHERE type = 'table' "
                                         "AND name <> 'deleted_items' ORDER BY name"));
    std::string out, table;
    while (std::getline(tables, table)) {
        table.pop_back();  // the "|"
        out += "[" + table + "]" + store_rows("SELECT * FROM \"" + table + "\" ORDER BY rowid");
    }
    return out;
}

const std::string kDoe = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John;Q;Mr.;III\r\n"
                         "TEL;CELL:+1 555 0100\r\nNOTE:Kept as it was\r\nEND:VCARD\r\n";
const std::string kDoeChanged = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John;Q;Mr.;III\r\n"
                                "TEL;CELL:+1 555 0199\r\nNOTE;CHARSET=UTF-8:Chang\xc3\xa9\x64\r\n"
                                "EMAIL;INTERNET:john@example.org\r\nEND:VCARD\r\n";

// An open store with a contact, an appointment, a task and a message in it.
struct Stored : testing::OpenStore {
    std::string contact = testing::add_id(device, kDoe),
                appointment = testing::add_text(device, kCalendar).at(0).id,
                message = testing::add_id(device, kMessage);
};

TEST(OutOfMemory, AddingStoresTheWholeObjectOrNothing)
{
    Stored store;
    for (const std::string &file : {kContact, kCalendar, kMessage}) {
        for (Source source : {Source::New, Source::Sqlite}) {
            Kept kept;
            std::string before, whole;  // whole: the object as the first add stored it
            uint32_t result = 0;
            char id[KOVA_ID_CAPACITY];
            fail_each(
                source,
                [&] {
                    kept = take_first(store.device, file);
                    before = dump_store();
                    std::strcpy(id, "untouched");
                },
                [&] { result = KOVA_AddObject(kept.type, &kept.record, id); },
                [&] {
                    model::ReleaseRecord(kept.type, &kept.record);
                    if (result != 0) {
                        EXPECT_TRUE(result == 11 || result == 14) << result;
                        EXPECT_STREQ(id, "");
                        EXPECT_EQ(dump_store(), before);
                        return;
                    }
                    EXPECT_NE(dump_store(), before);
                    if (kept.type == KOVA_TYPE_CALENDAR) return;  // its conversion has its own tests
                    std::string text =
                        kept.type == KOVA_TYPE_CONTACT
                            ? testing::fetch_text(store.device, KOVA_TYPE_CONTACT, id)
                            : store_rows("SELECT Flags, Date, Body, (SELECT group_concat(Name || "
                                         "':' || Value, '|') FROM message_headers h WHERE h.Id = "
                                         "m.Id) FROM messages m ORDER BY Id DESC LIMIT 1");
                    size_t luid = text.find("X-IRMC-LUID:");  // the one line that differs
                    if (luid != std::string::npos) text.erase(luid, 21);
                    if (whole.empty()) whole = text;
                    EXPECT_EQ(text, whole);
                });
        }
    }
}

TEST(OutOfMemory, ModifyingChangesTheWholeObjectOrNothing)
{
    Stored store;
    auto put = [&](const std::string &text) {
        EXPECT_EQ(testing::modify_text(store.device, store.contact, text), 0u);
        return testing::fetch_text(store.device, KOVA_TYPE_CONTACT, store.contact);
    };
    const std::string whole = put(kDoeChanged);
    const std::string unchanged = put(kDoe);  // the e-mail address that kDoe lacks stays
    ASSERT_NE(whole, unchanged);
    for (Source source : {Source::New, Source::Sqlite}) {  // a put allocates nothing of the model's
        Kept kept;
        std::string before;
        uint32_t result = 0;
        fail_each(
            source,
            [&] {
                put(kDoe);
                kept = take_first(store.device, kDoeChanged);
                before = dump_store();
            },
            [&] { result = KOVA_ModifyObject(KOVA_TYPE_CONTACT, store.contact.c_str(), &kept.record); },
            [&] {
                model::ReleaseRecord(kept.type, &kept.record);
                std::string now = testing::fetch_text(store.device, KOVA_TYPE_CONTACT, store.contact);
                if (result == 0) {
                    EXPECT_EQ(now, whole);
                    return;
                }
                EXPECT_TRUE(result == 11 || result == 14) << result;
                EXPECT_EQ(now, unchanged);
                EXPECT_EQ(dump_store(), before);
            });
    }
}

TEST(OutOfMemory, FindingAnswersFoundOrNotAndChangesNothing)
{
    Stored store;
    for (Source source : {Source::New, Source::Sqlite}) {  // a search allocates nothing of the model's
        Kept kept;
        std::string before;
        uint32_t found = 0;
        char id[KOVA_ID_CAPACITY];
        fail_each(
            source,
            [&] {
                kept = take_first(store.device, kDoe);
                before = dump_store();
                std::strcpy(id, "untouched");
            },
            [&] { found = KOVA_FindObject(KOVA_TYPE_CONTACT, &kept.record, id); },
            [&] {
                model::ReleaseRecord(kept.type, &kept.record);
                EXPECT_LE(found, 1u);
                EXPECT_EQ(id, found == 1 ? store.contact : "untouched");
                EXPECT_EQ(dump_store(), before);
            });
    }
}

TEST(OutOfMemory, FetchingFillsTheWholeRecordOrLeavesItEmpty)
{
    Stored store;
    for (uint32_t type : {KOVA_TYPE_CONTACT, KOVA_TYPE_CALENDAR}) {
        const std::string &id = type == KOVA_TYPE_CONTACT ? store.contact : store.appointment;
        const std::string whole = testing::fetch_text(store.device, type, id);
        for (Source source : {Source::New, Source::Sqlite, Source::Model}) {
            // The appointment conversion is tested for its own allocations.
            if (source == Source::Model && type != KOVA_TYPE_CONTACT) continue;
            ObjectRecord record;
            uint32_t result = 0;
            fail_each(
                source, [&] { std::memset(&record, 0, sizeof record); },
                [&] { result = KOVA_GetObjectById(type, id.c_str(), &record); },
                [&] {
                    if (result == 0) {
                        EXPECT_EQ(testing::text_of(store.device, type, record), whole);
                    } else {
                        EXPECT_EQ(result, 11u);
                        EXPECT_TRUE(testing::all_zero(record));
                    }
                });
        }
    }
}

}  // namespace
}  // namespace kova::api
