#include "vobject/write/object_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/alloc.h"
#include "model/record.h"
#include "support/test_support.h"

namespace kova::vobject {
namespace {

using testing::LogReceiver;
using testing::TempDevice;

// Calls f with each ';'-separated piece of text.
void for_each_piece(std::string_view text, const std::function<void(std::string_view)> &f)
{
    while (true) {
        size_t end = text.find(';');
        f(text.substr(0, end));
        if (end == std::string_view::npos) return;
        text.remove_prefix(end + 1);
    }
}

// One occurrence with the parameters and value components given as they appear on a
// line; an empty parameter text adds no parameter.
void add(PropertyNode **list, std::string_view params, std::string_view values,
         uint32_t flags = 0)
{
    PropertyNode *node = model::AppendProperty(list);
    node->Flags = flags;
    if (!params.empty())
        for_each_piece(params,
                       [&](std::string_view p) { model::AddParam(node, model::copy_text(p)); });
    unsigned i = 0;
    for_each_piece(values,
                   [&](std::string_view v) { model::SetValue(node, model::copy_text(v), i++); });
}

struct Record {
    ObjectRecord r;
    Record() { std::memset(&r, 0, sizeof r); }
};

std::string write_to_file(const TempDevice &device, uint32_t type, ObjectRecord &record)
{
    std::u16string path = device.wide_path("out.vcf");
    EXPECT_EQ(KOVA_WriteObject(type, &record, path.c_str(), 1), 0u);
    return testing::read_file(device.path("out.vcf"));
}

void full_contact(ContactRecord &c)
{
    std::strcpy(c.Version, "2.1");
    std::strcpy(c.Luid, "0000002a");
    add(&c.N, "", "Lind;Maja;;Dr.;");
    add(&c.FN, "", "Maja Lind");
    add(&c.Nickname, "", "Mo");
    add(&c.Adr, "HOME", ";;Main St 1;Town;;12345;Land");
    add(&c.Org, "", "Acme;Sales");
    add(&c.Title, "", "Boss");
    add(&c.Role, "", "Lead");
    add(&c.Tel, "WORK;VOICE", "+1 555 0100");
    add(&c.Tel, "CELL", "+1 555 0199");
    add(&c.Url, "", "http://example.com");
    add(&c.Email, "INTERNET", "maja@example.com");
    add(&c.Email, "", "m@example.org");
    add(&c.Note, "ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1", "one=0D=0Atwo",
        KOVA_FLAG_QUOTED_PRINTABLE | KOVA_FLAG_CHARSET);
    add(&c.Bday, "", "19800229");
    add(&c.Spouse, "", "Jon");
    add(&c.Anniversary, "", "20010101");
    add(&c.Children, "", "Ann");
    add(&c.Assistant, "", "Bo");
}

constexpr std::string_view kFullContact =
    "BEGIN:VCARD\nVERSION:2.1\nN:Lind;Maja;;Dr.;\nFN:Maja Lind\nNICKNAME:Mo\nBDAY:19800229\n"
    "ADR;HOME:;;Main St 1;Town;;12345;Land\nORG:Acme;Sales\nTITLE:Boss\nROLE:Lead\n"
    "TEL;WORK;VOICE:+1 555 0100\nTEL;CELL:+1 555 0199\nURL:http://example.com\n"
    "EMAIL;INTERNET:maja@example.com\nEMAIL:m@example.org\n"
    "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1:one=0D=0A=\ntwo\nX-SPOUSE:Jon\n"
    "X-ANNIVERSARY:20010101\nX-CHILDREN:Ann\nX-ASSISTANT:Bo\nX-IRMC-LUID:0000002a\nEND:VCARD\n";

// Every list filled, including the ones the kind must not write.
void full_calendar(CalendarRecord &c, uint8_t kind)
{
    std::strcpy(c.Version, "1.0");
    std::strcpy(c.Luid, "00000007");
    c.Kind = kind;
    add(&c.Categories, "", "MEETING");
    add(&c.Completed, "", "20240102T100000Z");
    add(&c.Description, "", "Plan");
    add(&c.Due, "", "20240103T100000Z");
    add(&c.DtEnd, "", "20240101T110000Z");
    add(&c.Priority, "", "2");
    add(&c.DtStart, "", "20240101T100000Z");
    add(&c.Status, "", "NEEDS ACTION");
    add(&c.Summary, "CHARSET=UTF-8", "Review");
    add(&c.Class, "", "PRIVATE");
    if (kind == KOVA_KIND_TASK) {
        add(&c.Task.DAlarm, "", "20240101T093000Z");
        add(&c.Task.RRule, "", "D1 #2");
        add(&c.Task.ExDate, "", "20240102T100000Z");
        add(&c.Task.Attendee, "", "a@example.com");
        return;
    }
    add(&c.Appointment.Location, "", "Room 1");
    add(&c.Appointment.DAlarm, "", "20240101T093000Z");
    add(&c.Appointment.RRule, "", "W1 MO #4");
    add(&c.Appointment.ExDate, "", "20240108T100000Z");
    add(&c.Appointment.Attendee, "ROLE=OWNER", "a@example.com");
    add(&c.Appointment.Attendee, "", "b@example.com");
    c.Appointment.AllDay = 1;
}

void full_note(NoteRecord &n)
{
    std::strcpy(n.Version, "1.1");
    std::strcpy(n.Luid, "memo");
    add(&n.DCreated, "", "20240101T100000Z");
    add(&n.LastModified, "", "20240102T100000Z");
    add(&n.Categories, "", "WORK");
    add(&n.Class, "", "PUBLIC");
    add(&n.Body, "ENCODING=QUOTED-PRINTABLE", "a=0D=0Ab", KOVA_FLAG_QUOTED_PRINTABLE);
    add(&n.Summary, "", "Memo");
}

void full_message(MessageRecord &m)
{
    std::strcpy(m.Version, "1.1");
    std::strcpy(m.Luid, "12");
    std::strcpy(m.IrmcStatus, "UNREAD");
    std::strcpy(m.IrmcType, "MSG");
    std::strcpy(m.Folder, "INBOX");
    std::strcpy(m.SenderText, "|never@example.com");
    std::strcpy(m.MimeVersion, "1.0");
    std::strcpy(m.ReturnPath, "<r@example.com>");
    std::strcpy(m.Date, "Mon, 1 Jan 2024 10:00:00 +0000");
    std::strcpy(m.From, "a@example.com");
    std::strcpy(m.To, "b@example.com");
    std::strcpy(m.Cc, "c@example.com");
    std::strcpy(m.ReplyTo, "d@example.com");
    std::strcpy(m.Subject, "Hi");
    std::strcpy(m.MainPart.ContentType, "text/plain");
    std::strcpy(m.MainPart.ContentTransferEncoding, "8bit");
    m.MainPart.Text = model::copy_text("first line\nsecond line");
    auto *part = static_cast<ContentPart *>(model::allocate_zeroed(sizeof(ContentPart)));
    part->Text = model::copy_text("never written");
    m.MainPart.Next = part;
}

struct ObjectCase {
    const char *name;
    uint32_t type;
    std::function<void(ObjectRecord &)> fill;
    std::string_view file;
};
const ObjectCase kObjectCases[] = {
    {"empty contact", 0, [](ObjectRecord &r) { std::strcpy(r.Contact.Version, "2.1"); },
     "BEGIN:VCARD\nVERSION:2.1\nN:\nEND:VCARD\n"},
    {"empty contact with a LUID and no version", 0,
     [](ObjectRecord &r) { std::strcpy(r.Contact.Luid, "0000002a"); },
     "BEGIN:VCARD\nVERSION:\nN:\nX-IRMC-LUID:0000002a\nEND:VCARD\n"},
    {"full contact", 0, [](ObjectRecord &r) { full_contact(r.Contact); }, kFullContact},
    {"empty appointment", 1, [](ObjectRecord &r) { r.Calendar.Kind = 1; },
     "BEGIN:VCALENDAR\nVERSION:\nBEGIN:VEVENT\nSUMMARY:\nDESCRIPTION:\nDTSTART:\nDTEND:\n"
     "PRIORITY:\nX-BLUETOOTH-ALLDAYEVENT:FALSE\nEND:VEVENT\nEND:VCALENDAR\n"},
    {"empty task", 1, [](ObjectRecord &r) { r.Calendar.Kind = 2; },
     "BEGIN:VCALENDAR\nVERSION:\nBEGIN:VTODO\nCATEGORIES:\nCOMPLETED:\nDESCRIPTION:\nDUE:\n"
     "PRIORITY:\nSTATUS:\nSUMMARY:\nEND:VTODO\nEND:VCALENDAR\n"},
    {"calendar without an item", 1, [](ObjectRecord &r) { std::strcpy(r.Calendar.Version, "1.0"); },
     "BEGIN:VCALENDAR\nVERSION:1.0\nEND:VCALENDAR\n"},
    {"full appointment", 1, [](ObjectRecord &r) { full_calendar(r.Calendar, 1); },
     "BEGIN:VCALENDAR\nVERSION:1.0\nBEGIN:VEVENT\nSUMMARY;CHARSET=UTF-8:Review\n"
     "DESCRIPTION:Plan\nDTSTART:20240101T100000Z\nDTEND:20240101T110000Z\nCLASS:PRIVATE\n"
     "PRIORITY:2\nSTATUS:NEEDS ACTION\nLOCATION:Room 1\nCATEGORIES:MEETING\n"
     "DALARM:20240101T093000Z\nRRULE:W1 MO #4\nEXDATE:20240108T100000Z\n"
     "ATTENDEE;ROLE=OWNER:a@example.com\nATTENDEE:b@example.com\nX-IRMC-LUID:00000007\n"
     "X-BLUETOOTH-ALLDAYEVENT:TRUE\nEND:VEVENT\nEND:VCALENDAR\n"},
    {"full task", 1, [](ObjectRecord &r) { full_calendar(r.Calendar, 2); },
     "BEGIN:VCALENDAR\nVERSION:1.0\nBEGIN:VTODO\nCATEGORIES:MEETING\nCLASS:PRIVATE\n"
     "COMPLETED:20240102T100000Z\nDESCRIPTION:Plan\nDTSTART:20240101T100000Z\n"
     "DUE:20240103T100000Z\nPRIORITY:2\nSTATUS:NEEDS ACTION\nSUMMARY;CHARSET=UTF-8:Review\n"
     "DALARM:20240101T093000Z\nRRULE:D1 #2\nEXDATE:20240102T100000Z\n"
     "ATTENDEE:a@example.com\nX-IRMC-LUID:00000007\nEND:VTODO\nEND:VCALENDAR\n"},
    {"empty note", 2, [](ObjectRecord &r) { std::strcpy(r.Note.Version, "1.1"); },
     "BEGIN:VNOTE\nVERSION:1.1\nBODY:\nEND:VNOTE\n"},
    {"full note", 2, [](ObjectRecord &r) { full_note(r.Note); },
     "BEGIN:VNOTE\nVERSION:1.1\nDCREATED:20240101T100000Z\nLAST-MODIFIED:20240102T100000Z\n"
     "SUMMARY:Memo\nBODY;ENCODING=QUOTED-PRINTABLE:a=0D=0A=\nb\nCATEGORIES:WORK\n"
     "CLASS:PUBLIC\nX-IRMC-LUID:memo\nEND:VNOTE\n"},
    {"empty message", 3, [](ObjectRecord &r) { std::strcpy(r.Message.Version, "1.1"); },
     "BEGIN:VMSG\nVERSION:1.1\nX-IRMC-STATUS:\nX-IRMC-TYPE:\nX-BT-FOLDER:\nBEGIN:VENV\n"
     "BEGIN:VBODY\nFrom:\nTo:\nSubject:\n\nEND:VBODY\nEND:VENV\nEND:VMSG\n"},
    {"full message", 5, [](ObjectRecord &r) { full_message(r.Message); },
     "BEGIN:VMSG\nVERSION:1.1\nX-IRMC-STATUS:UNREAD\nX-IRMC-TYPE:MSG\nX-IRMC-LUID:12\n"
     "X-BT-FOLDER:INBOX\nBEGIN:VENV\nBEGIN:VBODY\nReturn-Path:<r@example.com>\n"
     "Date:Mon, 1 Jan 2024 10:00:00 +0000\nFrom:a@example.com\nTo:b@example.com\n"
     "Cc:c@example.com\nReply-To:d@example.com\nSubject:Hi\nContent-Type:text/plain\n"
     "Content-Transfer-Encoding:8bit\n\nfirst line\nsecond line\nEND:VBODY\nEND:VENV\n"
     "END:VMSG\n"},
};

TEST(ObjectWriter, WritesEachKindInItsFixedOrder)
{
    TempDevice device;
    for (const ObjectCase &c : kObjectCases) {
        SCOPED_TRACE(c.name);
        Record record;
        c.fill(record.r);
        EXPECT_EQ(write_to_file(device, c.type, record.r), c.file);
    }
}

struct ModeCase {
    const char *name;
    uint32_t overwrite;
    bool keeps_old;
};
const ModeCase kModeCases[] = {
    {"zero appends", 0, true},
    {"nonzero overwrites", 1, false},
    {"only the low byte counts", 0x100, true},
};

TEST(ObjectWriter, AppendsOrOverwrites)
{
    TempDevice device;
    std::u16string path = device.wide_path("out.vnt");
    for (const ModeCase &c : kModeCases) {
        SCOPED_TRACE(c.name);
        testing::write_file(device.path("out.vnt"), "OLD\n");
        Record record;
        std::strcpy(record.r.Note.Luid, "x");
        EXPECT_EQ(KOVA_WriteObject(2, &record.r, path.c_str(), c.overwrite), 0u);
        std::string note = "BEGIN:VNOTE\nVERSION:\nBODY:\nX-IRMC-LUID:x\nEND:VNOTE\n";
        EXPECT_EQ(testing::read_file(device.path("out.vnt")), c.keeps_old ? "OLD\n" + note : note);
    }
}

TEST(ObjectWriter, UnsupportedTypeWritesNothingAndKeepsTheRecord)
{
    TempDevice device;
    std::u16string path = device.wide_path("out.vcf");
    testing::write_file(device.path("out.vcf"), "OLD\n");
    Record record;
    add(&record.r.Contact.N, "", "Doe");
    EXPECT_EQ(KOVA_WriteObject(6, &record.r, path.c_str(), 1), 16u);
    EXPECT_EQ(testing::read_file(device.path("out.vcf")), "");
    ASSERT_NE(record.r.Contact.N, nullptr);
    model::ReleaseRecord(0, &record.r);
}

TEST(ObjectWriter, FileThatCannotBeOpenedLeavesTheRecordUntouched)
{
    TempDevice device;
    LogReceiver log(device);
    std::u16string path = device.wide_path("missing/out.vcf");
    Record record;
    add(&record.r.Contact.N, "", "Doe");
    std::strcpy(record.r.Contact.Version, "2.1");
    EXPECT_EQ(KOVA_WriteObject(0, &record.r, path.c_str(), 1), 7u);
    EXPECT_STREQ(model::first_value(record.r.Contact.N), "Doe");
    EXPECT_STREQ(record.r.Contact.Version, "2.1");
    EXPECT_EQ(log.texts(), std::vector<std::string>{"KOVA:  Unable to open file '" +
                                                    device.path("missing/out.vcf") + "'"});
    model::ReleaseRecord(0, &record.r);
}

TEST(ObjectWriter, FullDeviceLogsEveryLineAndStillSucceeds)
{
    TempDevice device;
    LogReceiver log(device);
    Record record;
    std::strcpy(record.r.Contact.Luid, "2a");
    add(&record.r.Contact.Tel, "", "1");
    add(&record.r.Contact.Note, "", "a=0Ab", KOVA_FLAG_QUOTED_PRINTABLE);
    EXPECT_EQ(KOVA_WriteObject(0, &record.r, u"/dev/full", 1), 0u);
    EXPECT_EQ(record.r.Contact.Tel, nullptr);  // released all the same
    const std::string card = "KOVA:  Unable to put vCard string to file";
    EXPECT_EQ(log.texts(), (std::vector<std::string>{
                               card, card, "KOVA:  Unable to put 'N:' string to file",
                               "KOVA:  Unable to put string to file",
                               "KOVA:  Unable to put folded string to file",
                               "KOVA:  Unable to put string to file", card, card}));

    // Fifteen lines, the blank line and the body among them, each logged once.
    Record message;
    message.r.Message.MainPart.Text = model::copy_text("body");
    EXPECT_EQ(KOVA_WriteObject(3, &message.r, u"/dev/full", 0), 0u);
    std::vector<std::string> expected(15, "KOVA:  Unable to put vMessage string to file");
    expected.push_back("KOVA:  KOVA_DeallocVMessage - Deallocating vMsg resources");
    std::vector<std::string> texts = log.texts();
    ASSERT_GE(texts.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 8, texts.end()), expected);
}

// Every allocation of a write failed in turn: no leak, no crash, still 0, and the
// line that needed it is missing or left unbroken.
TEST(ObjectWriter, SurvivesEachFailedAllocation)
{
    TempDevice device;
    Record clean;
    full_contact(clean.r.Contact);
    unsigned long before = model::allocation_count();
    ASSERT_EQ(write_to_file(device, 0, clean.r), kFullContact);
    unsigned long needed = model::allocation_count() - before;
    EXPECT_GT(needed, 20u);
    for (unsigned long n = 1; n <= needed; ++n) {
        SCOPED_TRACE(n);
        Record record;
        full_contact(record.r.Contact);
        model::fail_allocation_after(n);
        EXPECT_NE(write_to_file(device, 0, record.r), kFullContact);
        model::fail_allocation_after(0);
    }
}

void write_back(uint32_t type, ObjectRecord *record, uint32_t, void *context)
{
    KOVA_WriteObject(type, record, static_cast<std::u16string *>(context)->c_str(), 0);
}

// Read in any order and written back in the fixed one. A property read without
// parameters carries one empty parameter text, which goes back out as a bare ';'.
constexpr std::string_view kReadCards =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nTEL;WORK;VOICE:+1 555 0100\r\nN:Lind;Maja;;;\r\n"
    "X-IRMC-LUID:0000002a\r\n"
    "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1:first=0D=0A=\r\nsecond\r\n"
    "ADR;HOME:;;Street 1\\;2;Town;;;\r\nTITLE:A long\r\n folded title\r\nBDAY:19800101\r\n"
    "EMAIL;INTERNET:maja@example.com\r\nFN:Maja Lind\r\nORG:Acme\\, Inc;Sales\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8:\xC3\x98rsted;Hans\r\n"
    "EMAIL:h@example.com\r\nEMAIL:h2@example.com\r\nEND:VCARD\r\n";
constexpr std::string_view kWrittenCards =
    "BEGIN:VCARD\nVERSION:2.1\nN;:Lind;Maja;;;\nFN;:Maja Lind\nBDAY;:19800101\n"
    "ADR;HOME:;;Street 1\\;2;Town;;;\nORG;:Acme\\, Inc;Sales\nTITLE;:A long folded title\n"
    "TEL;WORK;VOICE:+1 555 0100\nEMAIL;INTERNET:maja@example.com\n"
    "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1:first=0D=0A=\nsecond\n"
    "X-IRMC-LUID:0000002a\nEND:VCARD\n"
    "BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=UTF-8:\xC3\x98rsted;Hans\nEMAIL;:h@example.com\n"
    "EMAIL;:h2@example.com\nEND:VCARD\n";

TEST(ObjectWriter, WritesBackWhatTheReaderRead)
{
    TempDevice device;
    testing::write_file(device.path("in.vcf"), kReadCards);
    std::u16string in = device.wide_path("in.vcf");
    std::u16string out = device.wide_path("out.vcf");
    EXPECT_EQ(KOVA_ReadObjects(in.c_str(), write_back, &out), 0u);
    EXPECT_EQ(testing::read_file(device.path("out.vcf")), kWrittenCards);

    // The written form reads back to the same records.
    std::u16string again = device.wide_path("again.vcf");
    EXPECT_EQ(KOVA_ReadObjects(out.c_str(), write_back, &again), 0u);
    EXPECT_EQ(testing::read_file(device.path("again.vcf")), kWrittenCards);
}

}  // namespace
}  // namespace kova::vobject
