#include "vobject/read/vnote_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/status.h"
#include "kova/kova.h"
#include "model/alloc.h"
#include "support/test_support.h"

namespace kova::vobject {
namespace {

using base::Status;
using testing::LogReceiver;
using testing::TempDevice;

// "BODY=a|b" for every list that is set, in record order; flags in brackets when set.
std::string render(const NoteRecord &n)
{
    std::string out = "version=" + std::string(n.Version);
    if (n.Luid[0]) out += std::string(" luid=") + n.Luid;
    const std::pair<const char *, const PropertyNode *> lists[] = {
        {"DCREATED", n.DCreated}, {"LAST-MODIFIED", n.LastModified},
        {"CATEGORIES", n.Categories}, {"CLASS", n.Class},
        {"BODY", n.Body}, {"SUMMARY", n.Summary}};
    for (const auto &[name, list] : lists) {
        if (!list) continue;
        out += std::string(" ") + name + "=";
        for (const PropertyNode *p = list; p; p = p->Next) {
            if (p != list) out += '|';
            if (p->Values && p->Values->Text) out += p->Values->Text;
            if (p->Flags) out += "[" + std::to_string(p->Flags) + "]";
        }
    }
    return out;
}

struct Note {
    uint32_t type;
    uint32_t status;
    std::string text;
};

struct Outcome {
    Status result;
    std::vector<Note> notes;
    std::vector<std::string> log;
};

void collect(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    static_cast<std::vector<Note> *>(context)->push_back({type, status, render(record->Note)});
}

Outcome read(const std::string &text)
{
    TempDevice device;
    LogReceiver log(device);
    testing::write_file(device.path("n.vnt"), text);
    Outcome out{Status::Ok, {}, {}};
    FILE *stream = std::fopen(device.path("n.vnt").c_str(), "rb");
    out.result = read_vnotes(stream, collect, &out.notes);
    std::fclose(stream);
    out.log = log.texts();
    return out;
}

std::string note(const std::string &body) { return "BEGIN:VNOTE\r\n" + body + "END:VNOTE\r\n"; }

constexpr const char *kMissing =
    "KOVA:  Error - vNote missing END tag or does not contain required VERSION property";

struct NoteCase {
    const char *name;
    std::string input;
    Status result;
    std::vector<Note> notes;
    std::vector<std::string> log;
};

const NoteCase kCases[] = {
    {"one note",
     note("VERSION:1.1\r\nBODY:Buy milk\r\n"),
     Status::Parsed,
     {{2, 17, "version=1.1 BODY=Buy milk"}},
     {}},
    {"every list, LUID and version 1.0",
     note("VERSION:1.0\r\nX-IRMC-LUID:42\r\nDCREATED:20030101T000000Z\r\n"
          "LAST-MODIFIED:20030102T000000Z\r\nCATEGORIES:Home\r\nCLASS:PUBLIC\r\nBODY:b\r\n"
          "SUMMARY:s\r\n"),
     Status::Parsed,
     {{2, 17, "version=1.0 luid=42 DCREATED=20030101T000000Z LAST-MODIFIED=20030102T000000Z "
              "CATEGORIES=Home CLASS=PUBLIC BODY=b SUMMARY=s"}},
     {}},
    {"version 2.0",
     note("VERSION:2.0\r\nBODY:x\r\n"),
     Status::ParseError,
     {},
     {"KOVA:  Error - vNote version '2.0' is not supported"}},
    {"no VERSION, even with an END line",
     note("BODY:x\r\n"),
     Status::ParseError,
     {},
     {kMissing}},
    {"no END line",
     "BEGIN:VNOTE\r\nVERSION:1.1\r\nBODY:x\r\n",
     Status::ParseError,
     {},
     {kMissing}},
    {"quoted-printable stays encoded and flagged; one component only",
     note("VERSION:1.1\r\nBODY;ENCODING=QUOTED-PRINTABLE:Line 1=0D=0ALine 2;rest\r\n"),
     Status::Parsed,
     {{2, 17, "version=1.1 BODY=Line 1=0D=0ALine 2[1]"}},
     {}},
    {"a lower-case name is unknown",
     note("VERSION:1.1\r\nSUMMARY:s\r\nbody:b\r\n"),
     Status::ParsedWithWarning,
     {{2, 18, "version=1.1 SUMMARY=s"}},
     {"KOVA:  Warning - Parser encountered unknown property: 'body'"}},
    {"a nested block's lines are not the note's, but its VERSION counts as seen",
     note("BEGIN:X\r\nVERSION:9.9\r\nBODY:inner\r\nEND:X\r\nBODY:outer\r\n"),
     Status::Parsed,
     {{2, 17, "version= BODY=outer"}},
     {}},
    {"a blank line in the first note warns the second too",
     note("VERSION:1.1\r\n\r\nBODY:a\r\n") + note("VERSION:1.1\r\nBODY:b\r\n"),
     Status::ParsedWithWarning,
     {{2, 18, "version=1.1 BODY=a"}, {2, 18, "version=1.1 BODY=b"}},
     {"KOVA:  Warning - Parser encounted a blank line in vNote"}},
    {"each note starts from an empty record",
     note("VERSION:1.1\r\nX-IRMC-LUID:1\r\nBODY:a\r\nBODY:b\r\n") + note("VERSION:1.1\r\n"),
     Status::Parsed,
     {{2, 17, "version=1.1 luid=1 BODY=a|b"}, {2, 17, "version=1.1"}},
     {}},
    {"a file that opens no vNote",
     "BEGIN:VCARD\r\nVERSION:1.1\r\nEND:VCARD\r\n",
     Status::ParseError,
     {},
     {"KOVA:  Error - vNote does not have a BEGIN tag"}},
};

TEST(VnoteReader, ReadsNotesWithTheirStatusAndLog)
{
    for (const NoteCase &c : kCases) {
        SCOPED_TRACE(c.name);
        Outcome out = read(c.input);
        EXPECT_EQ(out.result, c.result);
        ASSERT_EQ(out.notes.size(), c.notes.size());
        for (size_t i = 0; i < c.notes.size(); ++i) {
            EXPECT_EQ(out.notes[i].type, c.notes[i].type);
            EXPECT_EQ(out.notes[i].status, c.notes[i].status);
            EXPECT_EQ(out.notes[i].text, c.notes[i].text);
        }
        EXPECT_EQ(out.log, c.log);
    }
}

// The dispatch only asks for "BEGIN" somewhere in the first name; the note reader asks
// for the name itself.
TEST(VnoteReader, FirstLineWithAPrefixedBeginIsNoNote)
{
    TempDevice device;
    LogReceiver log(device);
    testing::write_file(device.path("n.vnt"), "XBEGIN:VNOTE\r\nVERSION:1.1\r\nEND:VNOTE\r\n");
    std::vector<Note> notes;
    std::u16string path = device.wide_path("n.vnt");
    EXPECT_EQ(KOVA_ReadObjects(path.c_str(), collect, &notes), 19u);
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(log.texts(),
              std::vector<std::string>{"KOVA:  Error - vNote does not have a BEGIN tag"});
}

TEST(VnoteReader, SurvivesEachAllocationFailing)
{
    const std::string text =
        note("VERSION:1.1\r\nBODY;CHARSET=UTF-8:a;b\r\nSUMMARY:s\r\n") + note("VERSION:1.1\r\n");
    unsigned long before = model::allocation_count();
    ASSERT_EQ(read(text).result, Status::Parsed);
    unsigned long needed = model::allocation_count() - before;
    for (unsigned long n = 1; n <= needed; ++n) {
        SCOPED_TRACE(n);
        model::fail_allocation_after(n);
        Outcome out = read(text);
        model::fail_allocation_after(0);
        EXPECT_TRUE(out.result == Status::Parsed || out.result == Status::ParsedWithWarning ||
                    out.result == Status::ParseError || out.result == Status::OutOfMemory);
    }
}

}  // namespace
}  // namespace kova::vobject
