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
#include <functional>
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

// Reading answers 0 or 11 (19 when what is left of an object is no longer one) with
// every name it lends terminated; writing answers 0 or 11 and releases the record.
TEST(OutOfMemory, ReadingAndWritingAnswerZeroOrEleven)
{
    TempDevice device;
    const std::u16string in = device.wide_path("in.txt"), out = device.wide_path("out.txt");
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
                [&] { result = KOVA_ReadObjects(in.c_str(), note, &terminated); },
                [&] {
                    EXPECT_TRUE(result == 0 || result == 11 || result == 19) << result;
                    EXPECT_TRUE(terminated);
                });
            Kept kept;
            fail_each(
                source, [&] { kept = take_first(device, file); },
                [&] { result = KOVA_WriteObject(kept.type, &kept.record, out.c_str(), 1); },
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

// Adding, modifying and finding, each on a record of its own made from text. Every
// allocation of the call fails in turn: a call that is done (0) leaves the same outcome
// each time; one that is not answers 11 or 14, leaves the id as it says and the store as
// it was.
TEST(OutOfMemory, StoreOperationsDoTheirWholeWorkOrNothing)
{
    Stored store;
    const std::string &doe = store.contact;
    auto contact_text = [&](const std::string &id) {
        std::string text = testing::fetch_text(store.device, KOVA_TYPE_CONTACT, id);
        size_t luid = text.find("X-IRMC-LUID:");  // the one line that differs between adds
        return luid == std::string::npos ? text : text.erase(luid, 21);
    };
    auto newest_message = [](const std::string &) {
        return store_rows("SELECT Flags, Date, Body, (SELECT group_concat(Name || ':' || Value, "
                          "'|') FROM message_headers h WHERE h.Id = m.Id) FROM messages m "
                          "ORDER BY Id DESC LIMIT 1");
    };
    auto add = [](Kept &k, char *id) { return KOVA_AddObject(k.type, &k.record, id); };
    const struct {
        const char *name;
        std::string text;
        std::function<uint32_t(Kept &, char *id)> run;
        std::function<std::string(const std::string &id)> outcome;
        const char *id_on_failure;
        bool changes = true;
    } kOperations[] = {
        {"add a contact", kContact, add, contact_text, ""},
        // The appointment's conversion has tests of its own; here only nothing-or-all.
        {"add an appointment", kCalendar, add, [](const std::string &) { return ""; }, ""},
        {"add a message", kMessage, add, newest_message, ""},
        {"modify a contact", kDoeChanged,
         [&](Kept &k, char *) { return KOVA_ModifyObject(k.type, doe.c_str(), &k.record); },
         [&](const std::string &) { return contact_text(doe); }, "untouched"},
        {"find a contact", kDoe,
         [](Kept &k, char *id) { return KOVA_FindObject(k.type, &k.record, id) == 1 ? 0u : 11u; },
         [&](const std::string &id) { return id == doe ? "the contact" : id; }, "untouched",
         false},
    };
    for (const auto &op : kOperations) {
        for (Source source : {Source::New, Source::Sqlite}) {  // none of these allocates models
            SCOPED_TRACE(op.name);
            Kept kept;
            std::string before, whole;
            uint32_t result = 0;
            char id[KOVA_ID_CAPACITY];
            fail_each(
                source,
                [&] {
                    // Modifying starts from the contact as it was added.
                    EXPECT_EQ(testing::modify_text(store.device, doe, kDoe), 0u);
                    kept = take_first(store.device, op.text);
                    before = dump_store();
                    std::strcpy(id, "untouched");
                },
                [&] { result = op.run(kept, id); },
                [&] {
                    model::ReleaseRecord(kept.type, &kept.record);
                    if (result != 0) {
                        EXPECT_TRUE(result == 11 || result == 14) << result;
                        EXPECT_STREQ(id, op.id_on_failure);
                        EXPECT_EQ(dump_store(), before);
                        return;
                    }
                    EXPECT_EQ(dump_store() != before, op.changes);
                    std::string outcome = op.outcome(id);
                    if (whole.empty()) whole = outcome;
                    EXPECT_EQ(outcome, whole);
                });
        }
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
