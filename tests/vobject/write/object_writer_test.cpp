#include "vobject/write/object_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/test_support.h"
#include "vobject/write/property_builder.h"

namespace kova::vobject {
namespace {

using testing::add;
using testing::TempDevice;
using Fill = void (*)(ObjectRecord &);

// Luid and Version sit at the same place in every variant.
ObjectRecord record_of(Fill fill, const char *version = "", const char *luid = "")
{
    ObjectRecord record;
    std::memset(&record, 0, sizeof record);
    std::strcpy(record.Contact.Version, version);
    std::strcpy(record.Contact.Luid, luid);
    if (fill) fill(record);
    return record;
}

// Full records give every list a value of its own, so that a list written under
// another name shows.
void full_contact(ObjectRecord &r)
{
    ContactRecord &c = r.Contact;
    add({{&c.N, ":Lind;Maja;~;Dr.;"}, {&c.FN, ":fn"}, {&c.Nickname, ":nick"}, {&c.Adr, "HOME:;;St"},
         {&c.Org, ":Acme;Sales"}, {&c.Title, ":title"}, {&c.Role, ":role"},
         {&c.Tel, "WORK;~;VOICE:1"}, {&c.Tel, "CELL:2"}, {&c.Url, ":url"},
         {&c.Email, "INTERNET:m@a"}, {&c.Email, ":m@b"}, {&c.Note, ":note"}, {&c.Bday, ":19800229"},
         {&c.Spouse, ":spouse"}, {&c.Anniversary, ":20010101"}, {&c.Children, ":kids"},
         {&c.Assistant, ":assistant"}});
}

// Due and Completed are set for an appointment and DtEnd for a task too: they must
// stay out.
void full_calendar(CalendarRecord &c, uint8_t kind)
{
    c.Kind = kind;
    add({{&c.Categories, ":cat"}, {&c.Completed, ":4"}, {&c.Description, ":desc"}, {&c.Due, ":3"},
         {&c.DtEnd, ":2"}, {&c.Priority, ":9"}, {&c.DtStart, ":1"}, {&c.Status, ":stat"},
         {&c.Summary, "CHARSET=UTF-8:sum"}, {&c.Class, ":PRIVATE"}});
    auto tail = [](auto &t) {
        add({{&t.DAlarm, ":0"}, {&t.RRule, ":D1 #2"}, {&t.ExDate, ":5"}, {&t.Attendee, ":a@x"}});
    };
    if (kind == KOVA_KIND_TASK) {
        tail(c.Task);
        return;
    }
    tail(c.Appointment);
    add({{&c.Appointment.Location, ":loc"}, {&c.Appointment.Attendee, "ROLE=OWNER:b@x"}});
    c.Appointment.AllDay = 1;
}

// The body breaks softly after each encoded line feed but the last; the summary has
// its flag clear and stays one line, whatever its parameter says.
void full_note(ObjectRecord &r)
{
    NoteRecord &n = r.Note;
    add({{&n.DCreated, ":1"}, {&n.LastModified, ":2"}, {&n.Categories, ":cat"}, {&n.Class, ":PUB"},
         {&n.Body, "ENCODING=QUOTED-PRINTABLE:Buy=0D=0Amilk=0D=0A=0D=0Aand eggs=0D=0A",
          KOVA_FLAG_QUOTED_PRINTABLE},
         {&n.Summary, "ENCODING=QUOTED-PRINTABLE:Shop=0D=0Alist"}});
}

// Sender text, Mime-Version and the chained part are never written.
void full_message(ObjectRecord &r)
{
    MessageRecord &m = r.Message;
    const std::pair<char *, const char *> fields[] = {{m.IrmcStatus, "UNREAD"}, {m.IrmcType, "MSG"},
        {m.Folder, "OUTBOX"}, {m.SenderText, "|s"}, {m.MimeVersion, "1.0"}, {m.ReturnPath, "r"},
        {m.Date, "Mon, 1 Jan 2024 10:00:00 +0000"}, {m.From, "a"}, {m.To, "b"}, {m.Cc, "c"},
        {m.ReplyTo, "d"}, {m.Subject, "Hi"}, {m.MainPart.ContentType, "text/plain"},
        {m.MainPart.ContentTransferEncoding, "8bit"}};
    for (const auto &[field, text] : fields) std::strcpy(field, text);
    m.MainPart.Text = model::copy_text("line 1\nline 2");
    m.MainPart.Next = static_cast<ContentPart *>(model::allocate_zeroed(sizeof(ContentPart)));
    m.MainPart.Next->Text = model::copy_text("part 2");
}

struct KindCase { const char *name; uint32_t type; Fill fill; const char *version, *luid, *file; };
const KindCase kKindCases[] = {
    {"empty contact", 0, nullptr, "2.1", "", "BEGIN:VCARD\nVERSION:2.1\nN:\nEND:VCARD\n"},
    {"empty appointment", 1, [](ObjectRecord &r) { r.Calendar.Kind = 1; }, "", "",
     "BEGIN:VCALENDAR\nVERSION:\nBEGIN:VEVENT\nSUMMARY:\nDESCRIPTION:\nDTSTART:\nDTEND:\n"
     "PRIORITY:\nX-BLUETOOTH-ALLDAYEVENT:FALSE\nEND:VEVENT\nEND:VCALENDAR\n"},
    {"empty task", 1, [](ObjectRecord &r) { r.Calendar.Kind = 2; }, "", "",
     "BEGIN:VCALENDAR\nVERSION:\nBEGIN:VTODO\nCATEGORIES:\nCOMPLETED:\nDESCRIPTION:\nDUE:\n"
     "PRIORITY:\nSTATUS:\nSUMMARY:\nEND:VTODO\nEND:VCALENDAR\n"},
    {"calendar without an item", 1, nullptr, "", "", "BEGIN:VCALENDAR\nVERSION:\nEND:VCALENDAR\n"},
    {"empty note", 2, nullptr, "", "", "BEGIN:VNOTE\nVERSION:\nBODY:\nEND:VNOTE\n"},
    {"empty message", 3, nullptr, "", "", "BEGIN:VMSG\nVERSION:\nX-IRMC-STATUS:\nX-IRMC-TYPE:\n"
     "X-BT-FOLDER:\nBEGIN:VENV\nBEGIN:VBODY\nFrom:\nTo:\nSubject:\n\nEND:VBODY\nEND:VENV\n"
     "END:VMSG\n"},
    {"full contact", 0, full_contact, "2.1", "2a", "BEGIN:VCARD\nVERSION:2.1\nN:Lind;Maja;;Dr.;\n"
     "FN:fn\nNICKNAME:nick\nBDAY:19800229\nADR;HOME:;;St\nORG:Acme;Sales\nTITLE:title\nROLE:role\n"
     "TEL;WORK;VOICE:1\nTEL;CELL:2\nURL:url\nEMAIL;INTERNET:m@a\nEMAIL:m@b\nNOTE:note\n"
     "X-SPOUSE:spouse\nX-ANNIVERSARY:20010101\nX-CHILDREN:kids\nX-ASSISTANT:assistant\n"
     "X-IRMC-LUID:2a\nEND:VCARD\n"},
    {"full appointment", 1, [](ObjectRecord &r) { full_calendar(r.Calendar, 1); }, "1.0", "7",
     "BEGIN:VCALENDAR\nVERSION:1.0\nBEGIN:VEVENT\nSUMMARY;CHARSET=UTF-8:sum\nDESCRIPTION:desc\n"
     "DTSTART:1\nDTEND:2\nCLASS:PRIVATE\nPRIORITY:9\nSTATUS:stat\nLOCATION:loc\nCATEGORIES:cat\n"
     "DALARM:0\nRRULE:D1 #2\nEXDATE:5\nATTENDEE:a@x\nATTENDEE;ROLE=OWNER:b@x\nX-IRMC-LUID:7\n"
     "X-BLUETOOTH-ALLDAYEVENT:TRUE\nEND:VEVENT\nEND:VCALENDAR\n"},
    {"full task", 1, [](ObjectRecord &r) { full_calendar(r.Calendar, 2); }, "1.0", "7",
     "BEGIN:VCALENDAR\nVERSION:1.0\nBEGIN:VTODO\nCATEGORIES:cat\nCLASS:PRIVATE\nCOMPLETED:4\n"
     "DESCRIPTION:desc\nDTSTART:1\nDUE:3\nPRIORITY:9\nSTATUS:stat\nSUMMARY;CHARSET=UTF-8:sum\n"
     "DALARM:0\nRRULE:D1 #2\nEXDATE:5\nATTENDEE:a@x\nX-IRMC-LUID:7\nEND:VTODO\nEND:VCALENDAR\n"},
    {"full note", 2, full_note, "1.1", "memo", "BEGIN:VNOTE\nVERSION:1.1\nDCREATED:1\n"
     "LAST-MODIFIED:2\nSUMMARY;ENCODING=QUOTED-PRINTABLE:Shop=0D=0Alist\n"
     "BODY;ENCODING=QUOTED-PRINTABLE:Buy=0D=0A=\nmilk=0D=0A=\n=0D=0A=\nand eggs=0D=0A\n"
     "CATEGORIES:cat\nCLASS:PUB\nX-IRMC-LUID:memo\nEND:VNOTE\n"},
    {"full message", 5, full_message, "1.1", "12", "BEGIN:VMSG\nVERSION:1.1\nX-IRMC-STATUS:UNREAD\n"
     "X-IRMC-TYPE:MSG\nX-IRMC-LUID:12\nX-BT-FOLDER:OUTBOX\nBEGIN:VENV\nBEGIN:VBODY\nReturn-Path:r\n"
     "Date:Mon, 1 Jan 2024 10:00:00 +0000\nFrom:a\nTo:b\nCc:c\nReply-To:d\nSubject:Hi\n"
     "Content-Type:text/plain\nContent-Transfer-Encoding:8bit\n\nline 1\nline 2\nEND:VBODY\n"
     "END:VENV\nEND:VMSG\n"},
};

// Each record is written once as it is and then once for each of its allocations,
// failed in turn: no leak, still 0, and the line that needed it missing or left
// unbroken. Every write replaces the file, so this shows overwriting too.
TEST(ObjectWriter, WritesEachKindInItsFixedOrderAndSurvivesFailedAllocations)
{
    TempDevice device;
    unsigned long allocations = 0;
    auto written = [&](const KindCase &c, unsigned long fail_at) {
        ObjectRecord record = record_of(c.fill, c.version, c.luid);
        unsigned long before = model::allocation_count();
        model::fail_allocation_after(fail_at);
        EXPECT_EQ(KOVA_WriteObject(c.type, &record, device.wide_path("out").c_str(), 1), 0u);
        model::fail_allocation_after(0);
        allocations = model::allocation_count() - before;
        return testing::read_file(device.path("out"));
    };
    for (const KindCase &c : kKindCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(written(c, 0), c.file);
        for (unsigned long n = 1, all = allocations; n <= all; ++n)
            EXPECT_NE(written(c, n), c.file) << "allocation " << n;
    }
}

// A file that cannot be opened gives 7 and leaves the record alone; an unknown type gives 16
// and writes nothing, though the open has emptied the file. On a full device each line is
// logged with its own message and the write still gives 0.
TEST(ObjectWriter, ReportsFileFailures)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    testing::write_file(device.path("out"), "OLD\n");
    ObjectRecord record = record_of([](ObjectRecord &r) {
        add({{&r.Contact.Tel, ":1"}, {&r.Contact.Note, ":a=0Ab", KOVA_FLAG_QUOTED_PRINTABLE}});
    }, "", "2a");
    EXPECT_EQ(KOVA_WriteObject(0, &record, device.wide_path("no/out").c_str(), 1), 7u);
    EXPECT_STREQ(model::first_value(record.Contact.Tel), "1");
    EXPECT_EQ(KOVA_WriteObject(6, &record, device.wide_path("out").c_str(), 1), 16u);
    EXPECT_EQ(testing::read_file(device.path("out")), "");
    EXPECT_EQ(KOVA_WriteObject(0, &record, u"/dev/full", 1), 0u);
    EXPECT_EQ(record.Contact.Tel, nullptr);  // released all the same
    const std::string card = "KOVA:  Unable to put vCard string to file";
    const std::string line = "KOVA:  Unable to put string to file";
    EXPECT_EQ(log.texts(), (std::vector<std::string>{
                               "KOVA:  Unable to open file '" + device.path("no/out") + "'", card,
                               card, "KOVA:  Unable to put 'N:' string to file", line,
                               "KOVA:  Unable to put folded string to file", line, card, card}));
}

// Read in any order, written back in the fixed one after what the file held: only the low
// byte of the overwrite switch counts. A property read without parameters carries one
// empty parameter text, which goes back out as a bare ';'.
constexpr std::string_view kReadCard =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nTEL;WORK;VOICE:+1 555\r\nN:Lind;Maja;;;\r\n"
    "X-IRMC-LUID:0000002a\r\nNOTE;ENCODING=QUOTED-PRINTABLE:first=0D=0A=\r\nsecond\r\n"
    "TITLE:A long\r\n folded title\r\nEND:VCARD\r\n";
constexpr std::string_view kWrittenFile =
    "OLD\nBEGIN:VCARD\nVERSION:2.1\nN;:Lind;Maja;;;\nTITLE;:A long folded title\n"
    "TEL;WORK;VOICE:+1 555\nNOTE;ENCODING=QUOTED-PRINTABLE:first=0D=0A=\nsecond\n"
    "X-IRMC-LUID:0000002a\nEND:VCARD\n";

TEST(ObjectWriter, AppendsWhatTheReaderRead)
{
    testing::TempDevice device;
    testing::write_file(device.path("in"), kReadCard);
    testing::write_file(device.path("out"), "OLD\n");
    std::u16string in = device.wide_path("in"), out = device.wide_path("out");
    auto write_back = [](uint32_t type, ObjectRecord *record, uint32_t, void *path) {
        KOVA_WriteObject(type, record, static_cast<std::u16string *>(path)->c_str(), 0x100);
    };
    EXPECT_EQ(KOVA_ReadObjects(in.c_str(), write_back, &out), 0u);
    EXPECT_EQ(testing::read_file(device.path("out")), kWrittenFile);
}

}  // namespace
}  // namespace kova::vobject
