#include "vobject/read/vnote_reader.h"

#include <gtest/gtest.h>

#include "vobject/read/read_fixture.h"

namespace kova::vobject {
namespace {

// " version=.. luid=.. BODY=a|b": the head, then every list in record order.
std::string note_line(const ObjectRecord &record)
{
    const NoteRecord &n = record.Note;
    return testing::field("version", n.Version) + testing::field("luid", n.Luid) +
           testing::nodes({{"DCREATED", n.DCreated}, {"LAST-MODIFIED", n.LastModified},
                           {"CATEGORIES", n.Categories}, {"CLASS", n.Class}, {"BODY", n.Body},
                           {"SUMMARY", n.Summary}});
}

std::string note(const std::string &body) { return "BEGIN:VNOTE\r\n" + body + "END:VNOTE\r\n"; }

const char *const kMissing =
    "KOVA:  Error - vNote missing END tag or does not contain required VERSION property";

const testing::ReadCase kCases[] = {
    {"every list, LUID, version 1.0; a body stays encoded, one component only",
     note("VERSION:1.0\r\nX-IRMC-LUID:42\r\nDCREATED:1\r\nLAST-MODIFIED:2\r\nCATEGORIES:c\r\n"
          "CLASS:PUBLIC\r\nBODY;ENCODING=QUOTED-PRINTABLE:Buy=0D=0Amilk;rest\r\nSUMMARY:s\r\n"), 0,
     {"2/17 version=1.0 luid=42 DCREATED=1 LAST-MODIFIED=2 CATEGORIES=c CLASS=PUBLIC "
      "BODY=Buy=0D=0Amilk(ENCODING=QUOTED-PRINTABLE) SUMMARY=s"}, {}},
    {"version 2.0", note("VERSION:2.0\r\n"), 19, {},
     {"KOVA:  Error - vNote version '2.0' is not supported"}},
    {"no VERSION, even with an END line", note("BODY:x\r\n"), 19, {}, {kMissing}},
    {"a nested block's lines are not the note's, its VERSION still counts; lower case is unknown",
     note("BEGIN:X\r\nVERSION:9.9\r\nBODY:in\r\nEND:X\r\nBODY:out\r\nbody:b\r\n"), 0,
     {"2/18 BODY=out"}, {"KOVA:  Warning - Parser encountered unknown property: 'body'"}},
    {"a blank line warns the next note too; each starts empty; blanks in BEGIN values go",
     note("VERSION:1.1\r\n\r\nX-IRMC-LUID:1\r\nBODY:a\r\nBODY:b\r\n") +
         "BEGIN: VNO TE\r\nVERSION:1.1\r\nEND:VNOTE\r\n", 0,
     {"2/18 version=1.1 luid=1 BODY=a|b", "2/18 version=1.1"},
     {"KOVA:  Warning - Parser encounted a blank line in vNote"}},
};

TEST(VnoteReader, ReadsNotesWithTheirStatusAndLog)
{
    testing::check_reads(kCases, note_line);
}

}  // namespace
}  // namespace kova::vobject
