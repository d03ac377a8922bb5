#include "vobject/read/vnote_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "kova/kova.h"
#include "model/alloc.h"
#include "support/test_support.h"

namespace kova::vobject {
namespace {

// A note as "type/status version=... BODY=a|b[flags] ...", lists in record order.
void collect(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    const NoteRecord &n = record->Note;
    std::string out = std::to_string(type) + "/" + std::to_string(status) + " version=" + n.Version;
    if (n.Luid[0]) out += std::string(" luid=") + n.Luid;
    const std::pair<const char *, const PropertyNode *> lists[] = {
        {"DCREATED", n.DCreated}, {"LAST-MODIFIED", n.LastModified}, {"CATEGORIES", n.Categories},
        {"CLASS", n.Class}, {"BODY", n.Body}, {"SUMMARY", n.Summary}};
    for (const auto &[name, list] : lists) {
        if (list) out += std::string(" ") + name + "=";
        for (const PropertyNode *p = list; p; p = p->Next) {
            out += std::string(p == list ? "" : "|") + (p->Values ? p->Values->Text : "(none)");
            if (p->Flags) out += "[" + std::to_string(p->Flags) + "]";
        }
    }
    static_cast<std::vector<std::string> *>(context)->push_back(out);
}

struct Outcome {
    uint32_t result;
    std::vector<std::string> notes;
    std::vector<std::string> log;
};

Outcome read(const std::string &text)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    testing::write_file(device.path("n.vnt"), text);
    Outcome out{};
    FILE *stream = std::fopen(device.path("n.vnt").c_str(), "rb");
    out.result = base::to_code(read_vnotes(stream, collect, &out.notes));
    std::fclose(stream);
    out.log = log.texts();
    return out;
}

std::string note(const std::string &body) { return "BEGIN:VNOTE\r\n" + body + "END:VNOTE\r\n"; }

const char *const kMissing =
    "KOVA:  Error - vNote missing END tag or does not contain required VERSION property";

struct NoteCase {
    const char *name;
    std::string input;
    uint32_t result;
    std::vector<std::string> notes;
    std::vector<std::string> log;
};

const NoteCase kCases[] = {
    {"one note", note("VERSION:1.1\r\nBODY:Buy milk\r\n"), 17,
     {"2/17 version=1.1 BODY=Buy milk"}, {}},
    {"every list, LUID, version 1.0",
     note("VERSION:1.0\r\nX-IRMC-LUID:42\r\nDCREATED:1\r\nLAST-MODIFIED:2\r\nCATEGORIES:c\r\n"
          "CLASS:PUBLIC\r\nBODY:b\r\nSUMMARY:s\r\n"), 17,
     {"2/17 version=1.0 luid=42 DCREATED=1 LAST-MODIFIED=2 CATEGORIES=c CLASS=PUBLIC BODY=b "
      "SUMMARY=s"}, {}},
    {"version 2.0", note("VERSION:2.0\r\n"), 19, {},
     {"KOVA:  Error - vNote version '2.0' is not supported"}},
    {"no VERSION, even with an END line", note("BODY:x\r\n"), 19, {}, {kMissing}},
    {"no END line", "BEGIN:VNOTE\r\nVERSION:1.1\r\nBODY:x\r\n", 19, {}, {kMissing}},
    {"quoted-printable stays encoded and flagged; one component only",
     note("VERSION:1.1\r\nBODY;ENCODING=QUOTED-PRINTABLE:Line 1=0D=0ALine 2;rest\r\n"), 17,
     {"2/17 version=1.1 BODY=Line 1=0D=0ALine 2[1]"}, {}},
    {"a lower-case name is unknown", note("VERSION:1.1\r\nSUMMARY:s\r\nbody:b\r\n"), 18,
     {"2/18 version=1.1 SUMMARY=s"},
     {"KOVA:  Warning - Parser encountered unknown property: 'body'"}},
    {"a nested block's lines are not the note's, its VERSION still counts",
     note("BEGIN:X\r\nVERSION:9.9\r\nBODY:in\r\nEND:X\r\nBODY:out\r\n"), 17,
     {"2/17 version= BODY=out"}, {}},
    {"a blank line in the first note warns the second too; each starts empty",
     note("VERSION:1.1\r\n\r\nX-IRMC-LUID:1\r\nBODY:a\r\nBODY:b\r\n") + note("VERSION:1.1\r\n"), 18,
     {"2/18 version=1.1 luid=1 BODY=a|b", "2/18 version=1.1"},
     {"KOVA:  Warning - Parser encounted a blank line in vNote"}},
    {"a file that opens no vNote", "BEGIN:VCARD\r\nVERSION:1.1\r\nEND:VCARD\r\n", 19, {},
     {"KOVA:  Error - vNote does not have a BEGIN tag"}},
};

TEST(VnoteReader, ReadsNotesWithTheirStatusAndLog)
{
    for (const NoteCase &c : kCases) {
        SCOPED_TRACE(c.name);
        Outcome out = read(c.input);
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.notes, c.notes);
        EXPECT_EQ(out.log, c.log);
    }
}

// The dispatch only asks for "BEGIN" somewhere in the first name; the note reader asks
// for the name itself.
TEST(VnoteReader, FirstLineWithAPrefixedBeginIsNoNote)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    testing::write_file(device.path("n.vnt"), "XBEGIN:VNOTE\r\nVERSION:1.1\r\nEND:VNOTE\r\n");
    std::vector<std::string> notes;
    std::u16string path = device.wide_path("n.vnt");
    EXPECT_EQ(KOVA_ReadObjects(path.c_str(), collect, &notes), 19u);
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(log.texts(),
              std::vector<std::string>{"KOVA:  Error - vNote does not have a BEGIN tag"});
}

TEST(VnoteReader, SurvivesEachAllocationFailing)
{
    const std::string text = note("VERSION:1.1\r\nBODY;CHARSET=UTF-8:a;b\r\nSUMMARY:s\r\n") +
                             note("VERSION:1.1\r\n");
    unsigned long before = model::allocation_count();
    ASSERT_EQ(read(text).result, 17u);
    unsigned long needed = model::allocation_count() - before;
    for (unsigned long n = 1; n <= needed; ++n) {
        SCOPED_TRACE(n);
        model::fail_allocation_after(n);
        Outcome out = read(text);
        model::fail_allocation_after(0);
        EXPECT_TRUE(out.result == 11 || (out.result >= 17 && out.result <= 19));
    }
}

}  // namespace
}  // namespace kova::vobject
