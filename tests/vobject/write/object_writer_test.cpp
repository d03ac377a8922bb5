// The line writer is tested through these objects: content lines, soft breaks and the
// failure messages of every kind all show in what the four writers produce.
#include "vobject/write/object_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/alloc.h"
#include "model/record.h"
#include "support/test_support.h"

namespace kova::vobject {
namespace {

// One node per occurrence, built from the text of its line after the name: parameters,
// ':', value components, each side split at ';', "~" for a null text.
//   {&c.Tel, "WORK;~;VOICE:1"}   parameters WORK, (null), VOICE; one component
// A null component only shows between two others: SetValue ignores a null text.
struct Occurrence { PropertyNode **list; std::string_view text; uint32_t flags = 0; };
void add(std::initializer_list<Occurrence> occurrences)
{
    for (const Occurrence &o : occurrences) {
        PropertyNode *node = model::AppendProperty(o.list);
        node->Flags = o.flags;
        bool in_values = o.text.front() == ':';
        std::string_view rest = o.text.substr(in_values ? 1 : 0);
        for (unsigned index = 0;;) {
            size_t end = rest.find_first_of(in_values ? ";" : ";:");
            std::string_view piece = rest.substr(0, end);
            char *copy = piece == "~" ? nullptr : model::copy_text(piece);
            if (in_values) model::SetValue(node, copy, index++);
            else model::AddParam(node, copy);
            if (end == std::string_view::npos) break;
            in_values = in_values || rest[end] == ':';
            rest.remove_prefix(end + 1);
        }
    }
}

using Fill = void (*)(ObjectRecord &);

// Luid and Version sit at the same place in every variant.
ObjectRecord record_of(Fill fill, const char *version, const char *luid)
{
    ObjectRecord record;
    std::memset(&record, 0, sizeof record);
    std::strcpy(record.Contact.Version, version);
    std::strcpy(record.Contact.Luid, luid);
    if (fill) fill(record);
    return record;
}

// Every list gets a value of its own, so that a list written under another name shows.
void contact(ObjectRecord &r)
{
    ContactRecord &c = r.Contact;
    add({{&c.N, ":Lind;Maja;~;Dr.;"}, {&c.FN, ":fn"}, {&c.Nickname, ":nick"}, {&c.Adr, "HOME:;;St"},
         {&c.Org, ":Acme;Sales"}, {&c.Title, ":title"}, {&c.Role, ":role"},
         {&c.Tel, "WORK;~;VOICE:1"}, {&c.Tel, "CELL:2"}, {&c.Url, ":url"}, {&c.Email, ":m@a"},
         {&c.Note, ":note"}, {&c.Bday, ":19800229"}, {&c.Spouse, ":spouse"},
         {&c.Anniversary, ":20010101"}, {&c.Children, ":kids"}, {&c.Assistant, ":assistant"}});
}

// Each kind holds lists only the other writes, which must stay out, and leaves some of
// its own empty: a required one still gives NAME:, an optional one nothing.
void calendar(CalendarRecord &c, uint8_t kind)
{
    c.Kind = kind;
    add({{&c.Description, ":desc"}, {&c.Priority, ":9"}, {&c.Summary, "CHARSET=UTF-8:sum"},
         {&c.Class, ":PRIVATE"}});
    auto tail = [](auto &t) {
        add({{&t.DAlarm, ":0"}, {&t.RRule, ":D1 #2"}, {&t.ExDate, ":5"}, {&t.Attendee, ":a@x"}});
    };
    if (kind == KOVA_KIND_TASK) {
        add({{&c.DtEnd, ":2"}});
        return tail(c.Task);
    }
    add({{&c.DtStart, ":1"}, {&c.Due, ":3"}, {&c.Completed, ":4"},
         {&c.Appointment.Location, ":loc"}});
    tail(c.Appointment);
    c.Appointment.AllDay = 1;
}

// The body breaks softly after each encoded line feed but the last; the summary has its
// flag clear and stays one line, whatever its parameter says.
void note(ObjectRecord &r)
{
    NoteRecord &n = r.Note;
    add({{&n.DCreated, ":1"}, {&n.LastModified, ":2"}, {&n.Categories, ":cat"}, {&n.Class, ":PUB"},
         {&n.Body, "ENCODING=QUOTED-PRINTABLE:a=0D=0A=0D=0Ab=0D=0A", KOVA_FLAG_QUOTED_PRINTABLE},
         {&n.Summary, "ENCODING=QUOTED-PRINTABLE:Shop=0D=0Alist"}});
}

// Sender text, Mime-Version and the chained part are never written. IrmcType and From go
// out although empty, Date and Cc do not.
void message(ObjectRecord &r)
{
    MessageRecord &m = r.Message;
    const std::pair<char *, const char *> fields[] = {{m.IrmcStatus, "UNREAD"},
        {m.Folder, "OUTBOX"}, {m.SenderText, "|s"}, {m.MimeVersion, "1.0"}, {m.ReturnPath, "r"},
        {m.To, "b"}, {m.ReplyTo, "d"}, {m.Subject, "Hi"}, {m.MainPart.ContentType, "text/plain"},
        {m.MainPart.ContentTransferEncoding, "8bit"}};
    for (const auto &[field, text] : fields) std::strcpy(field, text);
    m.MainPart.Text = model::copy_text("line 1\nline 2");
    m.MainPart.Next = static_cast<ContentPart *>(model::allocate_zeroed(sizeof(ContentPart)));
    m.MainPart.Next->Text = model::copy_text("second part");
}

// kind: the object kind as the log names it.
struct KindCase { const char *name, *kind; uint32_t type; Fill fill;
                  const char *version, *luid, *file; };
const KindCase kKindCases[] = {
    {"empty contact", "vCard", 0, nullptr, "2.1", "", "BEGIN:VCARD\nVERSION:2.1\nN:\nEND:VCARD\n"},
    {"no item", "vCalendar", 1, nullptr, "", "", "BEGIN:VCALENDAR\nVERSION:\nEND:VCALENDAR\n"},
    {"contact", "vCard", 0, contact, "2.1", "2a", "BEGIN:VCARD\nVERSION:2.1\nN:Lind;Maja;;Dr.;\n"
     "FN:fn\nNICKNAME:nick\nBDAY:19800229\nADR;HOME:;;St\nORG:Acme;Sales\nTITLE:title\nROLE:role\n"
     "TEL;WORK;VOICE:1\nTEL;CELL:2\nURL:url\nEMAIL:m@a\nNOTE:note\nX-SPOUSE:spouse\n"
     "X-ANNIVERSARY:20010101\nX-CHILDREN:kids\nX-ASSISTANT:assistant\nX-IRMC-LUID:2a\nEND:VCARD\n"},
    {"appointment", "vCalendar", 1, [](ObjectRecord &r) { calendar(r.Calendar, 1); }, "1.0", "7",
     "BEGIN:VCALENDAR\nVERSION:1.0\nBEGIN:VEVENT\nSUMMARY;CHARSET=UTF-8:sum\nDESCRIPTION:desc\n"
     "DTSTART:1\nDTEND:\nCLASS:PRIVATE\nPRIORITY:9\nLOCATION:loc\nDALARM:0\nRRULE:D1 #2\n"
     "EXDATE:5\nATTENDEE:a@x\nX-IRMC-LUID:7\nX-BLUETOOTH-ALLDAYEVENT:TRUE\nEND:VEVENT\n"
     "END:VCALENDAR\n"},
    {"task", "vCalendar", 1, [](ObjectRecord &r) { calendar(r.Calendar, 2); }, "1.0", "7",
     "BEGIN:VCALENDAR\nVERSION:1.0\nBEGIN:VTODO\nCATEGORIES:\nCLASS:PRIVATE\nCOMPLETED:\n"
     "DESCRIPTION:desc\nDUE:\nPRIORITY:9\nSTATUS:\nSUMMARY;CHARSET=UTF-8:sum\nDALARM:0\n"
     "RRULE:D1 #2\nEXDATE:5\nATTENDEE:a@x\nX-IRMC-LUID:7\nEND:VTODO\nEND:VCALENDAR\n"},
    {"empty note", "vNote", 2, nullptr, "", "", "BEGIN:VNOTE\nVERSION:\nBODY:\nEND:VNOTE\n"},
    {"note", "vNote", 2, note, "1.1", "memo", "BEGIN:VNOTE\nVERSION:1.1\nDCREATED:1\n"
     "LAST-MODIFIED:2\nSUMMARY;ENCODING=QUOTED-PRINTABLE:Shop=0D=0Alist\n"
     "BODY;ENCODING=QUOTED-PRINTABLE:a=0D=0A=\n=0D=0A=\nb=0D=0A\nCATEGORIES:cat\nCLASS:PUB\n"
     "X-IRMC-LUID:memo\nEND:VNOTE\n"},
    {"message", "vMessage", 5, message, "1.1", "12", "BEGIN:VMSG\nVERSION:1.1\n"
     "X-IRMC-STATUS:UNREAD\nX-IRMC-TYPE:\nX-IRMC-LUID:12\nX-BT-FOLDER:OUTBOX\nBEGIN:VENV\n"
     "BEGIN:VBODY\nReturn-Path:r\nFrom:\nTo:b\nReply-To:d\nSubject:Hi\nContent-Type:text/plain\n"
     "Content-Transfer-Encoding:8bit\n\nline 1\nline 2\nEND:VBODY\nEND:VENV\nEND:VMSG\n"},
};

// Each record is written once as it is, once to a full device and then with its first,
// second, ... allocation failed until the write needs fewer: always 0, no leak, and only
// the kind's own messages logged (a list line that cannot be built is dropped silently).
// Every write replaces the file.
TEST(ObjectWriter, WritesEachKindInItsFixedOrderAndLogsItsFailures)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    std::u16string out = device.wide_path("out");
    auto written = [&](const KindCase &c, const char16_t *path, unsigned long fail_at) {
        ObjectRecord record = record_of(c.fill, c.version, c.luid);
        model::fail_allocation_after(fail_at);
        EXPECT_EQ(KOVA_WriteObject(c.type, &record, path, 1), 0u);
        model::fail_allocation_after(0);
        return testing::read_file(device.path("out"));
    };
    for (const KindCase &c : kKindCases) {
        SCOPED_TRACE(c.name);
        const std::string whole = written(c, out.c_str(), 0), kind = c.kind;
        EXPECT_EQ(whole, c.file);
        written(c, u"/dev/full", 0);
        EXPECT_TRUE(log.saw("KOVA:  Unable to put " + kind + " string to file"));
        size_t seen = log.texts().size();
        unsigned long n = 1;
        while (written(c, out.c_str(), n) != whole) ++n;
        std::vector<std::string> texts = log.texts();
        std::set<std::string> logged(texts.begin() + seen, texts.end());
        logged.erase("KOVA:  KOVA_DeallocVMessage - Deallocating vMsg resources");  // a trace
        EXPECT_EQ(logged, std::set<std::string>{"KOVA:  Insufficient memory to generate " + kind +
                                                " string"});
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
