// Running out of memory through the public functions and the value conversions: each
// allocation is failed in turn, both the library's own (model::allocate) and C++'s
// operator new, which this test program replaces. Whatever fails, the result is a result:
// 0 or 11 from a read or a write (with the record released), a measured and terminated
// name (empty when a conversion ran out), an empty text from ValueToText and
// MessageBodyToText, and the node unchanged by TextToValue. LeakSanitizer watches the rest.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <sstream>
#include <utility>
#include <string>
#include <vector>

#include "convert/value_text.h"
#include "kova/kova.h"
#include "model/alloc.h"
#include "model/record.h"
#include "pim/outlook.h"
#include "support/test_support.h"

namespace {

// operator new fails the n-th request from now (and every later one when sticky), and
// every request larger than the limit.
struct NewFailures {
    unsigned long fail_at = 0;
    bool sticky = false;
    unsigned long count = 0;
    size_t limit = SIZE_MAX;
} g_new;

bool new_fails(size_t size)
{
    ++g_new.count;
    if (size > g_new.limit) return true;
    if (g_new.fail_at == 0) return false;
    if (g_new.fail_at == 1) {
        if (!g_new.sticky) g_new.fail_at = 0;
        return true;
    }
    --g_new.fail_at;
    return false;
}

}  // namespace

// The replacements take their blocks from malloc and give them back with free, which GCC
// cannot see through.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void *operator new(size_t size)
{
    void *block = new_fails(size) ? nullptr : std::malloc(size ? size : 1);
    if (!block) throw std::bad_alloc();
    return block;
}
void *operator new[](size_t size) { return operator new(size); }
void *operator new(size_t size, const std::nothrow_t &) noexcept
{
    return new_fails(size) ? nullptr : std::malloc(size ? size : 1);
}
void *operator new[](size_t size, const std::nothrow_t &tag) noexcept
{
    return operator new(size, tag);
}
void operator delete(void *block) noexcept { std::free(block); }
void operator delete[](void *block) noexcept { std::free(block); }
void operator delete(void *block, size_t) noexcept { std::free(block); }
void operator delete[](void *block, size_t) noexcept { std::free(block); }

namespace {

// SQLite's own allocations go through the same count, installed before its first use.
struct SqliteFailures {
    sqlite3_mem_methods system{};
    unsigned long fail_at = 0;
    bool sticky = false;
    unsigned long count = 0;
} g_sqlite;

bool sqlite_fails()
{
    ++g_sqlite.count;
    if (g_sqlite.fail_at == 0) return false;
    if (g_sqlite.fail_at == 1) {
        if (!g_sqlite.sticky) g_sqlite.fail_at = 0;
        return true;
    }
    --g_sqlite.fail_at;
    return false;
}

const bool g_sqlite_hooked = [] {
    sqlite3_config(SQLITE_CONFIG_GETMALLOC, &g_sqlite.system);
    static sqlite3_mem_methods hooked = g_sqlite.system;
    hooked.xMalloc = [](int size) { return sqlite_fails() ? nullptr : g_sqlite.system.xMalloc(size); };
    hooked.xRealloc = [](void *block, int size) {
        return sqlite_fails() ? nullptr : g_sqlite.system.xRealloc(block, size);
    };
    return sqlite3_config(SQLITE_CONFIG_MALLOC, &hooked) == SQLITE_OK;
}();

}  // namespace

namespace kova::api {
namespace {

using testing::TempDevice;

enum class Source { Model, New, Sqlite };

unsigned long allocations(Source source)
{
    if (source == Source::Model) return model::allocation_count();
    return source == Source::New ? g_new.count : g_sqlite.count;
}

void arm(Source source, unsigned long n, bool sticky)
{
    if (source == Source::Model) model::fail_allocation_after(n, sticky);
    else if (source == Source::New) g_new.fail_at = n, g_new.sticky = sticky;
    else g_sqlite.fail_at = n, g_sqlite.sticky = sticky;
}

const char *source_name(Source source)
{
    return source == Source::Model ? "model allocation " : source == Source::New ? "operator new " : "SQLite allocation ";
}

// Runs run(prepare()) once to fill the caches, once to count its allocations, then with
// each of them failing in turn, alone and together with every later one. Only run() is
// failed; check() sees each outcome after the failures are switched off.
template <class Prepare, class Run, class Check>
void fail_each(Source source, Prepare prepare, Run run, Check check)
{
    auto input = prepare();
    check(run(input));
    input = prepare();
    unsigned long before = allocations(source);
    auto outcome = run(input);
    unsigned long needed = allocations(source) - before;
    check(outcome);
    ASSERT_GT(needed, 0u);
    for (bool sticky : {false, true}) {
        for (unsigned long n = 1; n <= needed; ++n) {
            SCOPED_TRACE(source_name(source) + std::to_string(n) + (sticky ? " and later" : " alone"));
            input = prepare();
            arm(source, n, sticky);
            outcome = run(input);
            arm(source, 0, false);
            check(outcome);
        }
    }
}

struct Nothing {};
template <class Run, class Check> void fail_each(Source source, Run run, Check check)
{
    fail_each(source, [] { return Nothing{}; }, [&](Nothing) { return run(); }, check);
}

constexpr Source kSources[] = {Source::Model, Source::New};

const std::string kContact =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lind;Maja;;Dr.;\r\n"
    "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Maja Lind=C3=A9n\\;=0D=0Ajr\r\n"
    "TEL;WORK:+46 8 555 0100\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John;Q;Mr.;III\r\nEND:VCARD\r\n";
const std::string kCalendar =
    "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nSUMMARY;CHARSET=ISO-8859-1:M\xf6te\r\n"
    "LOCATION:Room 4\r\nRRULE:W1 MO #4\r\nEND:VEVENT\r\nBEGIN:VTODO\r\nSUMMARY:Task\r\n"
    "END:VTODO\r\nEND:VCALENDAR\r\n";
const std::string kNote = "BEGIN:VNOTE\r\nVERSION:1.1\r\nBODY:Shopping list\r\nSUMMARY:Shopping for Sunday\r\nEND:VNOTE\r\n";
const std::string kMessage =
    "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\nFrom:ann@example.org\r\n"
    "Subject:Hi\r\nContent-Type:multipart/mixed; boundary=b\r\n\r\n--b\r\n"
    "Content-Type:text/plain; charset=UTF-8\r\nContent-Transfer-Encoding:quoted-printable\r\n"
    "\r\nHej p=C3=A5 dig\r\n--b\r\n\r\nsecond\r\n--b--\r\nEND:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n";
const std::string kFiles[] = {kContact, kCalendar, kNote, kMessage};

constexpr uint32_t kNameUnits = 8;

// What a caller sees of one name: the length returned and whether the buffer holds
// exactly that many units of it (or size-1 when cut), terminated.
struct Name {
    uint32_t length = 0;
    bool consistent = false;
    char16_t text[kNameUnits] = {};
};

Name name_of(uint32_t type, ObjectRecord *record)
{
    Name name;
    std::fill(std::begin(name.text), std::end(name.text), u'x');
    name.length = KOVA_GetObjectName(type, record, name.text, kNameUnits);
    uint32_t shown = name.length < kNameUnits ? name.length : kNameUnits - 1;
    name.consistent = name.text[shown] == u'\0' &&
                      std::char_traits<char16_t>::find(name.text, shown, u'\0') == nullptr;
    return name;
}

// Filled by the reader callback without allocating, so that only the reader's own
// allocations are failed.
struct Delivered {
    unsigned objects = 0;
    bool names_consistent = true;
};

void note_object(uint32_t type, ObjectRecord *record, uint32_t, void *context)
{
    auto &seen = *static_cast<Delivered *>(context);
    ++seen.objects;
    seen.names_consistent = seen.names_consistent && name_of(type, record).consistent;
}

TEST(OutOfMemory, ReadObjectsAnswersZeroOrElevenAndKeepsNamesTerminated)
{
    TempDevice device;
    for (const std::string &file : kFiles) {
        testing::write_file(device.path("in.txt"), file);
        std::u16string path = device.wide_path("in.txt");
        for (Source source : kSources) {
            struct Outcome { uint32_t result; Delivered seen; };
            fail_each(
                source,
                [&] {
                    Outcome out{};
                    out.result = KOVA_ReadObjects(path.c_str(), note_object, &out.seen);
                    return out;
                },
                [](const Outcome &out) {
                    EXPECT_TRUE(out.result == 0 || out.result == 11 || out.result == 19)
                        << out.result;
                    EXPECT_TRUE(out.seen.names_consistent);
                });
        }
    }
}

struct Kept {
    bool taken = false;
    uint32_t type = 0;
    ObjectRecord record{};
};

// The reader lends its record; this takes the lists of the first object over, as a
// caller that keeps the object would, so that it can be used after the read.
void take_over(uint32_t type, ObjectRecord *record, uint32_t, void *context)
{
    auto &kept = *static_cast<Kept *>(context);
    if (kept.taken) return;
    kept = {true, type, *record};
    std::memset(record, 0, sizeof *record);
}

Kept first_object(const TempDevice &device, const std::string &text)
{
    Kept kept;
    testing::write_file(device.path("object.txt"), text);
    EXPECT_EQ(KOVA_ReadObjects(device.wide_path("object.txt").c_str(), take_over, &kept), 0u);
    return kept;
}

bool all_zero(const ObjectRecord &record)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(&record);
    return std::all_of(bytes, bytes + sizeof record, [](unsigned char b) { return b == 0; });
}

TEST(OutOfMemory, WriteObjectAnswersZeroOrElevenAndReleasesTheRecord)
{
    TempDevice device;
    std::u16string out_path = device.wide_path("out.txt");
    for (const std::string &file : kFiles) {
        for (Source source : kSources) {
            struct Outcome { uint32_t result; bool released; };
            fail_each(
                source,
                [&] { return first_object(device, file); },
                [&](Kept &kept) {
                    Outcome out{};
                    out.result = KOVA_WriteObject(kept.type, &kept.record, out_path.c_str(), 1);
                    // Contacts and calendar items come back zeroed; LeakSanitizer sees
                    // to the notes and messages.
                    out.released = kept.type > KOVA_TYPE_CALENDAR || all_zero(kept.record);
                    return out;
                },
                [](const Outcome &out) {
                    EXPECT_TRUE(out.result == 0 || out.result == 11) << out.result;
                    EXPECT_TRUE(out.released);
                });
        }
    }
}

TEST(OutOfMemory, GetObjectNameGivesTheWholeNameOrAnEmptyOne)
{
    TempDevice device;
    for (const std::string &file : kFiles) {
        Kept kept = first_object(device, file);
        char16_t whole[256];
        uint32_t length = KOVA_GetObjectName(kept.type, &kept.record, whole, 256);
        ASSERT_GT(length, 0u);
        struct Outcome { uint32_t length; char16_t text[256]; };
        fail_each(
            Source::New,
            [&] {
                Outcome out{};
                std::fill(std::begin(out.text), std::end(out.text), u'x');
                out.length = KOVA_GetObjectName(kept.type, &kept.record, out.text, 256);
                return out;
            },
            [&](const Outcome &out) {
                if (out.length == 0) EXPECT_EQ(out.text[0], u'\0');
                else EXPECT_EQ(std::u16string(out.text), std::u16string(whole, length));
            });
        model::ReleaseRecord(kept.type, &kept.record);
    }
}

TEST(OutOfMemory, AHundredMegabyteNameThatCannotBeConvertedIsEmpty)
{
    ObjectRecord record{};
    PropertyNode *fn = model::AppendProperty(&record.Contact.FN);
    model::SetValue(fn, model::copy_text(std::string(100u << 20, 'a')), 0);
    model::SetValue(model::AppendProperty(&record.Contact.N), model::copy_text("Doe"), 0);
    g_new.limit = 64u << 20;
    char16_t name[16];
    std::fill(std::begin(name), std::end(name), u'x');
    uint32_t length = KOVA_GetObjectName(KOVA_TYPE_CONTACT, &record, name, 16);
    std::u16string text = u"kept";
    convert::ValueToText(fn, 0, text);
    g_new.limit = SIZE_MAX;
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(name[0], u'\0');
    EXPECT_TRUE(text.empty());
    model::ReleaseRecord(KOVA_TYPE_CONTACT, &record);
}

// Flags, parameters, values and code page of a node, to see whether it changed.
std::string dump(const PropertyNode &node)
{
    std::string out = std::to_string(node.Flags) + "/" + std::to_string(node.CodePage);
    for (const TextNode *t = node.Params; t; t = t->Next) out += " p:" + std::string(t->Text ? t->Text : "-");
    for (const TextNode *t = node.Values; t; t = t->Next) out += " v:" + std::string(t->Text ? t->Text : "-");
    return out;
}

TEST(OutOfMemory, ConversionsGiveEmptyTextOrLeaveTheNodeAlone)
{
    TempDevice device;
    PropertyNode value{};
    model::AddParam(&value, model::copy_text("CHARSET=UTF-8"));
    model::AddParam(&value, model::copy_text("ENCODING=QUOTED-PRINTABLE"));
    value.Flags = KOVA_FLAG_CHARSET | KOVA_FLAG_QUOTED_PRINTABLE;
    model::SetValue(&value, model::copy_text("caf=C3=A9 \\; a=0D=0Ab"), 0);
    const std::u16string whole_value = u"caf\u00e9 ; a\r\nb";
    const char *body = "Hej p=C3=A5 dig=0D=0A";
    const std::u16string whole_body = u"Hej p\u00e5 dig\r\n";

    fail_each(
        Source::New,
        [&] {
            std::u16string out[2];
            value.CodePage = 0;
            convert::ValueToText(&value, 0, out[0]);
            convert::MessageBodyToText(body, "text/plain; charset=UTF-8", "quoted-printable", out[1]);
            return std::pair(std::move(out[0]), std::move(out[1]));
        },
        [&](const std::pair<std::u16string, std::u16string> &out) {
            EXPECT_TRUE(out.first.empty() || out.first == whole_value);
            EXPECT_TRUE(out.second.empty() || out.second == whole_body);
        });

    // A second component that needs both a charset and quoted-printable, on a node
    // that already holds one.
    PropertyNode stored{};
    model::SetValue(&stored, model::copy_text("first"), 0);
    const std::string before = dump(stored);
    for (Source source : kSources) {
        fail_each(
            source,
            [] {
                PropertyNode node{};
                model::SetValue(&node, model::copy_text("first"), 0);
                return node;
            },
            [](PropertyNode &node) {
                convert::TextToValue(u"caf\u00e9;\nx", &node, convert::kAllowQuotedPrintable, 2);
                return node;
            },
            [&](PropertyNode node) {
                std::string seen = dump(node);
                model::release_text_list(node.Params);
                model::release_text_list(node.Values);
                EXPECT_TRUE(seen == before || seen == "9/65001 p:CHARSET=UTF-8 "
                                                      "p:ENCODING=QUOTED-PRINTABLE v:first v:- "
                                                      "v:caf=C3=A9=5C=3B=0Ax")
                    << seen;
            });
    }
    model::release_text_list(stored.Values);
    model::release_text_list(value.Params);
    model::release_text_list(value.Values);
}


// The rows that sql gives on the store, a line each, columns ended by "|".
std::string store_rows(const std::string &sql)
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

// Every row of every table of the store, to see that nothing stored changed.
std::string dump_store()
{
    std::istringstream tables(
        store_rows("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
    std::string out, table;
    while (std::getline(tables, table)) {
        table.pop_back();  // the "|"
        out += "[" + table + "]" + store_rows("SELECT * FROM \"" + table + "\" ORDER BY rowid");
    }
    return out;
}

// The newest message's flags, date, body and headers.
std::string last_message()
{
    return store_rows("SELECT Flags, Date, Body, (SELECT group_concat(Name || ':' || Value, '|') "
                      "FROM message_headers h WHERE h.Id = m.Id) FROM messages m "
                      "ORDER BY Id DESC LIMIT 1");
}

// The record written out as text (which releases it).
std::string text_of(const TempDevice &device, uint32_t type, ObjectRecord &record)
{
    EXPECT_EQ(KOVA_WriteObject(type, &record, device.wide_path("fetched.txt").c_str(), 1), 0u);
    return testing::read_file(device.path("fetched.txt"));
}

std::string fetched_text(const TempDevice &device, uint32_t type, const std::string &id)
{
    ObjectRecord record;
    EXPECT_EQ(KOVA_GetObjectById(type, id.c_str(), &record), 0u);
    return text_of(device, type, record);
}

const std::string kDoe = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John;Q;Mr.;III\r\n"
                         "TEL;CELL:+1 555 0100\r\nNOTE:Kept as it was\r\nEND:VCARD\r\n";
const std::string kDoeChanged = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John;Q;Mr.;III\r\n"
                                "TEL;CELL:+1 555 0199\r\nNOTE;CHARSET=UTF-8:Chang\xc3\xa9\x64\r\n"
                                "EMAIL;INTERNET:john@example.org\r\nEND:VCARD\r\n";

// A device with the store open and a contact, an appointment and a message in it.
struct Stored {
    Stored()
    {
        EXPECT_EQ(KOVA_Open(), 0u);
        contact = add(kDoe);
        appointment = add(kCalendar);
        message = add(kMessage);
    }
    ~Stored() { KOVA_Close(); }
    std::string add(const std::string &text)
    {
        Kept kept = first_object(device, text);
        char id[KOVA_ID_CAPACITY] = "";
        EXPECT_EQ(KOVA_AddObject(kept.type, &kept.record, id), 0u);
        model::ReleaseRecord(kept.type, &kept.record);
        return id;
    }
    TempDevice device;
    std::string contact, appointment, message;
};

// A record of the caller's to hand to an operation, and the store as it was before.
struct Input {
    Input(Kept k, std::string b) : kept(k), before(std::move(b)) {}
    ~Input() { model::ReleaseRecord(kept.type, &kept.record); }
    Input(const Input &) = delete;
    Input &operator=(const Input &) = delete;
    Kept kept;
    std::string before;
};

TEST(OutOfMemory, AddingStoresTheWholeObjectOrNothing)
{
    Stored store;
    for (const std::string &file : {kContact, kCalendar, kMessage}) {
        for (Source source : {Source::New, Source::Sqlite}) {
            struct Outcome { uint32_t result; std::shared_ptr<Input> in; char id[KOVA_ID_CAPACITY]; };
            std::string whole;  // the contact as the first add stored it
            fail_each(
                source,
                [&] {
                    auto out = std::make_shared<Outcome>();
                    out->in = std::make_shared<Input>(first_object(store.device, file), dump_store());
                    std::strcpy(out->id, "untouched");
                    return out;
                },
                [&](std::shared_ptr<Outcome> &out) {
                    out->result = KOVA_AddObject(out->in->kept.type, &out->in->kept.record, out->id);
                    return out;
                },
                [&](const std::shared_ptr<Outcome> &out) {
                    if (out->result != 0) {
                        EXPECT_TRUE(out->result == 11 || out->result == 14) << out->result;
                        EXPECT_STREQ(out->id, "");
                        EXPECT_EQ(dump_store(), out->in->before);
                        return;
                    }
                    EXPECT_NE(dump_store(), out->in->before);
                    std::string text;
                    if (out->in->kept.type == KOVA_TYPE_CONTACT) {
                        text = fetched_text(store.device, KOVA_TYPE_CONTACT, out->id);
                    } else if (out->in->kept.type >= KOVA_TYPE_MESSAGE) {
                        text = last_message();
                    } else {
                        return;  // the appointment conversion has tests of its own
                    }
                    std::string luid = "X-IRMC-LUID:" + std::string(out->id) + "\n";
                    if (text.find(luid) != std::string::npos) text.erase(text.find(luid), luid.size());
                    if (whole.empty()) whole = text;
                    EXPECT_EQ(text, whole);
                });
        }
    }
}

TEST(OutOfMemory, ModifyingChangesTheWholeObjectOrNothing)
{
    Stored store;
    Kept changed = first_object(store.device, kDoeChanged);
    ASSERT_EQ(KOVA_ModifyObject(KOVA_TYPE_CONTACT, store.contact.c_str(), &changed.record), 0u);
    model::ReleaseRecord(changed.type, &changed.record);
    const std::string whole = fetched_text(store.device, KOVA_TYPE_CONTACT, store.contact);
    // Put back as each round starts: the e-mail address that kDoe lacks stays.
    Kept original = first_object(store.device, kDoe);
    ASSERT_EQ(KOVA_ModifyObject(KOVA_TYPE_CONTACT, store.contact.c_str(), &original.record), 0u);
    model::ReleaseRecord(original.type, &original.record);
    const std::string unchanged = fetched_text(store.device, KOVA_TYPE_CONTACT, store.contact);
    ASSERT_NE(whole, unchanged);
    // Putting a record onto an item allocates nothing of the model's.
    for (Source source : {Source::New, Source::Sqlite}) {
        struct Outcome { uint32_t result; std::shared_ptr<Input> in; };
        fail_each(
            source,
            [&] {
                Kept original = first_object(store.device, kDoe);
                EXPECT_EQ(KOVA_ModifyObject(KOVA_TYPE_CONTACT, store.contact.c_str(), &original.record), 0u);
                model::ReleaseRecord(original.type, &original.record);
                return std::make_shared<Input>(first_object(store.device, kDoeChanged), dump_store());
            },
            [&](std::shared_ptr<Input> &in) {
                return Outcome{KOVA_ModifyObject(KOVA_TYPE_CONTACT, store.contact.c_str(), &in->kept.record), in};
            },
            [&](const Outcome &out) {
                std::string now = fetched_text(store.device, KOVA_TYPE_CONTACT, store.contact);
                if (out.result == 0) {
                    EXPECT_EQ(now, whole);
                } else {
                    EXPECT_TRUE(out.result == 11 || out.result == 14) << out.result;
                    EXPECT_EQ(now, unchanged);
                    EXPECT_EQ(dump_store(), out.in->before);
                }
            });
    }
}

TEST(OutOfMemory, FindingAnswersFoundOrNotAndChangesNothing)
{
    Stored store;
    // The search allocates nothing of the model's.
    for (Source source : {Source::New, Source::Sqlite}) {
        struct Outcome { uint32_t found; std::shared_ptr<Input> in; char id[KOVA_ID_CAPACITY]; };
        fail_each(
            source,
            [&] {
                auto out = std::make_shared<Outcome>();
                out->in = std::make_shared<Input>(first_object(store.device, kDoe), dump_store());
                std::strcpy(out->id, "untouched");
                return out;
            },
            [&](std::shared_ptr<Outcome> &out) {
                out->found = KOVA_FindObject(KOVA_TYPE_CONTACT, &out->in->kept.record, out->id);
                return out;
            },
            [&](const std::shared_ptr<Outcome> &out) {
                EXPECT_EQ(out->id, out->found == 1 ? store.contact : "untouched");
                EXPECT_LE(out->found, 1u);
                EXPECT_EQ(dump_store(), out->in->before);
            });
    }
}

TEST(OutOfMemory, FetchingFillsTheWholeRecordOrLeavesItEmpty)
{
    Stored store;
    for (uint32_t type : {KOVA_TYPE_CONTACT, KOVA_TYPE_CALENDAR}) {
        const std::string &id = type == KOVA_TYPE_CONTACT ? store.contact : store.appointment;
        const std::string whole = fetched_text(store.device, type, id);
        // The appointment conversion is tested for its own allocations.
        std::vector<Source> sources = {Source::New, Source::Sqlite};
        if (type == KOVA_TYPE_CONTACT) sources.push_back(Source::Model);
        for (Source source : sources) {
            struct Outcome { uint32_t result; std::shared_ptr<ObjectRecord> record; };
            fail_each(
                source,
                [&] { return Outcome{0, std::make_shared<ObjectRecord>()}; },
                [&](Outcome &out) {
                    out.result = KOVA_GetObjectById(type, id.c_str(), out.record.get());
                    return out;
                },
                [&](const Outcome &out) {
                    if (out.result == 0) {
                        EXPECT_EQ(text_of(store.device, type, *out.record), whole);
                    } else {
                        EXPECT_EQ(out.result, 11u);
                        EXPECT_TRUE(all_zero(*out.record));
                    }
                });
        }
    }
}

}  // namespace
}  // namespace kova::api
