// Contacts through the public functions: vCard text read, added from the callback,
// fetched by id and written back out.
#include "store/contact.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/alloc.h"
#include "model/record.h"
#include "store/store_fixture.h"

namespace kova::store {
namespace {

using testing::lines_starting;
using testing::OpenStore;

std::string vcard(const std::string &body)
{
    return "BEGIN:VCARD\r\nVERSION:2.1\r\n" + body + "END:VCARD\r\n";
}

// Adds one vCard and gives it back as written from the store.
std::string round_trip(OpenStore &store, const std::string &body)
{
    return testing::round_trip(store, vcard(body), KOVA_TYPE_CONTACT);
}

TEST(Contact, PhoneStyleVCardComesBackInTheStoreForm)
{
    OpenStore store;
    EXPECT_EQ(round_trip(store,
                         "N:Lind;Maja;Elin;Dr.;Jr.\r\nFN:Dr. Maja Lind\r\n"
                         "TEL;HOME;VOICE:+46 8 555 0101\r\nTEL;WORK;VOICE;PREF:+46 8 555 0100\r\n"
                         "TEL;CELL;WORK:+46 70 555 0199\r\nTEL;WORK;FAX:+46 8 555 0102\r\n"
                         "TEL;PREF:+46 8 555 0109\r\nEMAIL;INTERNET:maja@home.example\r\n"
                         "EMAIL;INTERNET;PREF:maja@work.example\r\nEMAIL;X400:c=se\r\n"
                         "ADR;WORK;ENCODING=QUOTED-PRINTABLE:;;Kajgatan 4=0D=0A=\r\n"
                         "Plan 2;Stockholm;;111 21;Sweden\r\nORG:Harbour Works;Design\r\n"
                         "TITLE:Architect\r\nURL:http://example.org/maja\r\nBDAY:19800229\r\n"
                         "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Caf=C3=A9 on Fridays\r\n"
                         "X-SPOUSE:Per\r\nX-ANNIVERSARY:20050611\r\nX-CHILDREN:Ada\r\n"
                         "X-ASSISTANT:Bo\r\nX-IRMC-LUID:0042\r\n"),
              "BEGIN:VCARD\nVERSION:2.1\nN:Lind;Maja;Elin;Dr.;Jr.\nFN:Lind, Maja\nBDAY:19800229\n"
              "ADR;WORK;ENCODING=QUOTED-PRINTABLE:;;Kajgatan 4=0D=0A=\n"
              "Plan 2;Stockholm;;111 21;Sweden\nORG:Harbour Works;Design\nTITLE:Architect\n"
              "TEL;HOME;VOICE:+46 8 555 0101\nTEL;WORK;VOICE:+46 8 555 0100\n"
              "TEL;WORK;FAX:+46 8 555 0102\nTEL;CELL:+46 70 555 0199\nURL:http://example.org/maja\n"
              "EMAIL;INTERNET;PREF:maja@work.example\nEMAIL;INTERNET:maja@home.example\n"
              "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Caf=C3=A9 on Fridays\n"
              "X-SPOUSE:Per\nX-ANNIVERSARY:20050611\nX-CHILDREN:Ada\nX-ASSISTANT:Bo\n"
              "X-IRMC-LUID:00000001\nEND:VCARD\n");
}

// Each vCard is the case's lines and then "N:X", so that a case's own N comes first.
struct RuleCase {
    const char *name;
    std::string lines;     // property lines of the vCard, CRLF-separated
    const char *prefix;    // which output lines to compare
    std::string expected;  // those lines, joined by "|"
};

const std::string kLongName(8000, 'x');

const RuleCase kRuleCases[] = {
    {"no type, VOICE alone and FAX alone are home", "TEL:1\r\nTEL;VOICE:2\r\nTEL;FAX:3\r\n", "TEL",
     "TEL;HOME;VOICE:1|TEL;HOME;VOICE:2|TEL;HOME;FAX:3"},
    {"HOME wins over WORK; a third home number is dropped",
     "TEL;HOME;WORK:1\r\nTEL;HOME:2\r\nTEL;HOME:3\r\n", "TEL", "TEL;HOME;VOICE:1|TEL;HOME;VOICE:2"},
    {"TYPE= parameters count too", "TEL;TYPE=WORK;TYPE=VOICE:1\r\n", "TEL", "TEL;WORK;VOICE:1"},
    {"work numbers and faxes fill their own slots",
     "TEL;WORK:1\r\nTEL;WORK:2\r\nTEL;WORK;FAX:3\r\nTEL;FAX:4\r\nTEL;WORK;FAX:5\r\n", "TEL",
     "TEL;WORK;VOICE:1|TEL;WORK;VOICE:2|TEL;HOME;FAX:4|TEL;WORK;FAX:3"},
    {"device numbers, first of each",
     "TEL;PAGER:1\r\nTEL;CAR:2\r\nTEL;X-ASSISTANT:3\r\nTEL;X-RADIO:4\r\nTEL;CELL:5\r\n"
     "TEL;CELL:6\r\n",
     "TEL", "TEL;CELL:5|TEL;PAGER:1|TEL;CAR:2|TEL;TYPE=X-ASSISTANT:3|TEL;TYPE=X-RADIO:4"},
    {"the last PREF first, then the other INTERNET addresses, three at most",
     "EMAIL;INTERNET;PREF:a@x\r\nEMAIL:z@x\r\nEMAIL;INTERNET;PREF:b@x\r\nEMAIL;INTERNET:c@x\r\n"
     "EMAIL;INTERNET:d@x\r\n",
     "EMAIL", "EMAIL;INTERNET;PREF:b@x|EMAIL;INTERNET:a@x|EMAIL;INTERNET:c@x"},
    {"a second home address is the business one if also work, else the other one",
     "ADR;HOME:;;S1;C1\r\nADR;HOME;WORK:;;S2\r\nADR;HOME:;;S3\r\n", "ADR",
     "ADR;HOME:;;S1;C1|ADR;WORK:;;S2|ADR:;;S3"},
    {"box, extended address and street joined by CR LF (the line goes on after =0A)",
     "ADR;POSTAL:PB 12;;Main St 1;Town\r\n", "ADR", "ADR;ENCODING=QUOTED-PRINTABLE:;;PB 12=0D=0A="},
    {"the first URL with a value", "URL:\r\nURL:http://b\r\nURL:http://c\r\n", "URL",
     "URL:http://b"},
    {"a name in Shift_JIS goes out in UTF-8",
     "N;CHARSET=SHIFT-JIS:\x8E\x52\x93\x63;\x91\xBE\x98\x59\r\n", "N;",
     "N;CHARSET=UTF-8:\xE5\xB1\xB1\xE7\x94\xB0;\xE5\xA4\xAA\xE9\x83\x8E"},
    {"escaped semicolon stays in its component", "N:Lind\\;Berg;Maja\r\n", "N:",
     "N:Lind\\;Berg;Maja"},
    {"bytes UTF-8 does not define", "N;CHARSET=UTF-8:\xFF\xFE;Maja\r\n", "N:", "N:??;Maja"},
    {"a long name", "N:" + kLongName + ";Maja\r\n", "N:", "N:" + kLongName + ";Maja"},
};

TEST(Contact, PropertiesGoIntoTheirSlotsAndComeBackOut)
{
    for (const RuleCase &c : kRuleCases) {
        SCOPED_TRACE(c.name);
        OpenStore store;
        EXPECT_EQ(lines_starting(round_trip(store, c.lines + "N:X\r\n"), c.prefix), c.expected);
    }
}

// The output code page is decided once per process, so this case has a test of its own.
TEST(Contact, NamesGoOutInTheConfiguredCharacterSet)
{
    OpenStore store;
    store.device.write_registry("[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General]\r\n"
                                "\"DefaultOutputCharset\"=\"shift-jis\"\r\n");
    std::string out = round_trip(
        store, "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=B1=B1=E7=94=B0;=E5=A4=AA=E9=83=8E\r\n");
    EXPECT_EQ(lines_starting(out, "N;"), "N;CHARSET=SHIFT-JIS:\x8E\x52\x93\x63;\x91\xBE\x98\x59");
}

TEST(Contact, ModifyChangesOnlyWhatTheRecordCarries)
{
    OpenStore store;
    const std::string id = testing::add_id(
        store.device, vcard("N:Lind;Maja\r\nTEL;HOME:1\r\nTEL;CELL:2\r\nORG:Harbour\r\n"
                            "EMAIL;INTERNET:m@x\r\nNOTE:keep\r\n"));
    EXPECT_EQ(testing::modify_text(store.device, id, vcard("N:Berg;Maja\r\nTEL;CELL:9\r\n")), 0u);
    // The FileAs that the first name derived follows the new one.
    EXPECT_EQ(lines_starting(testing::fetch_text(store.device, 0, id), "N:|FN|ORG|TEL|EMAIL|NOTE"),
              "N:Berg;Maja|FN:Berg, Maja|ORG:Harbour|TEL;HOME;VOICE:1|TEL;CELL:9|"
              "EMAIL;INTERNET;PREF:m@x|NOTE:keep");
}

// A record built by a caller, with the holes a reader never leaves.
TEST(Contact, RecordsWithNullTextsAndEmptyListsAreStored)
{
    OpenStore store;
    ObjectRecord record{};
    ContactRecord &c = record.Contact;
    PropertyNode *n = model::AppendProperty(&c.N);
    model::SetValue(n, model::copy_text("Maja"), 1);  // component 0 stays null
    model::AppendProperty(&c.Tel);                    // no parameters, no values
    PropertyNode *email = model::AppendProperty(&c.Email);
    model::AddParam(email, nullptr);
    model::SetValue(email, model::copy_text("m@x"), 0);
    model::AppendProperty(&c.Adr);
    model::AppendProperty(&c.Bday);
    char id[KOVA_ID_CAPACITY] = "";
    EXPECT_EQ(KOVA_AddObject(KOVA_TYPE_CONTACT, &record, id), 0u);
    model::ReleaseRecord(KOVA_TYPE_CONTACT, &record);
    EXPECT_EQ(testing::fetch_text(store.device, 0, id),
              "BEGIN:VCARD\nVERSION:2.1\nN:;Maja\nFN:Maja\nX-IRMC-LUID:00000001\nEND:VCARD\n");
}

TEST(Contact, IdChecks)
{
    OpenStore store;
    EXPECT_EQ(testing::add_id(store.device, vcard("N:Lind\r\n")), "00000001");
    struct IdCase {
        uint32_t type;
        const char *id;
        uint32_t get;     // KOVA_GetObjectById
        uint32_t modify;  // KOVA_ModifyObject with an empty contact record
    };
    const IdCase cases[] = {
        {0, nullptr, 9, 9},     {0, "", 9, 9},          {0, "zz", 9, 9},       {0, "1g", 9, 9},
        {0, "100000000", 9, 9}, {0, "0", 6, 6},         {0, "ffffffff", 6, 6}, {0, "00000001", 0, 0},
        {0, " 0x1 ", 0, 0},     {3, "zz", 9, 9},        {3, "1", 16, 6},       {2, "zz", 16, 10},
        {7, "1", 16, 16},       {7, "zz", 9, 9},
    };
    for (const IdCase &c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " " + (c.id ? c.id : "(null)"));
        ObjectRecord record;
        EXPECT_EQ(KOVA_GetObjectById(c.type, c.id, &record), c.get);
        if (c.get == 0) model::ReleaseRecord(c.type, &record);
        std::memset(&record, 0, sizeof record);
        EXPECT_EQ(KOVA_ModifyObject(c.type, c.id, &record), c.modify);
    }
}

}  // namespace
}  // namespace kova::store
