#include "vobject/read/vcard_reader.h"

#include <gtest/gtest.h>

#include "vobject/read/read_fixture.h"

namespace kova::vobject {
namespace {

// " version=.. luid=.. N=Doe,John TEL=123(HOME)": the head, then every list in record order.
std::string contact_line(const ObjectRecord &record)
{
    const ContactRecord &c = record.Contact;
    return testing::field("version", c.Version) + testing::field("luid", c.Luid) +
           testing::nodes({{"N", c.N}, {"FN", c.FN}, {"NICKNAME", c.Nickname}, {"ADR", c.Adr},
                           {"ORG", c.Org}, {"TITLE", c.Title}, {"ROLE", c.Role}, {"TEL", c.Tel},
                           {"URL", c.Url}, {"EMAIL", c.Email}, {"NOTE", c.Note}, {"BDAY", c.Bday},
                           {"X-SPOUSE", c.Spouse}, {"X-ANNIVERSARY", c.Anniversary},
                           {"X-CHILDREN", c.Children}, {"X-ASSISTANT", c.Assistant}});
}

constexpr const char *kMissing =
    "KOVA:  Error - vCard missing END tago or does not contain required VERSION or N properties";
const std::string kJohn = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John\r\nEND:VCARD\r\n";
const char *const kJohnRead = "0/17 version=2.1 N=Doe,John";
const std::string kDoe = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe\r\n";  // still open

const testing::ReadCase kCases[] = {
    {"every list with its components; LUID cut at 511",
     "BEGIN:VCARD\r\nVERSION:2.1\r\nX-IRMC-LUID:" + std::string(600, '7') +
         "\r\nN:a;b;c;d;e;f\r\nFN:f;x\r\nNICKNAME:n\r\nADR:1;2;3;4;5;6;7;8\r\nORG:o;u;x\r\n"
         "TITLE:t\r\nROLE:r\r\nTEL;HOME;VOICE:123\r\nTEL;TYPE=WORK:456\r\nURL:u\r\nEMAIL:e\r\n"
         "NOTE:a\\;b;c\r\nBDAY:b\r\nX-SPOUSE:s\r\nX-ANNIVERSARY:y\r\nX-CHILDREN:c\r\n"
         "X-ASSISTANT:a\r\nEND:VCARD\r\n", 0,
     {"0/17 version=2.1 luid=" + std::string(511, '7') +
      " N=a,b,c,d,e FN=f NICKNAME=n ADR=1,2,3,4,5,6,7 ORG=o,u TITLE=t ROLE=r "
      "TEL=123(HOME;VOICE)|456(TYPE=WORK) URL=u EMAIL=e NOTE=a\\;b BDAY=b X-SPOUSE=s "
      "X-ANNIVERSARY=y X-CHILDREN=c X-ASSISTANT=a"}, {}},
    {"LF line ends, any BEGIN value, no line end after the last END",
     kJohn + "BEGIN:VNOTE\nVERSION:2.0\nN:Doe\nEND:VNOTE\nBEGIN:VCARD\r\nVERSION:1.0\r\nN:Doe\r\n"
             "END:VCARD", 0, {kJohnRead, "0/17 version=2.0 N=Doe", "0/17 version=1.0 N=Doe"}, {}},
    {"a version refused before N gives both messages", "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe\r\n",
     19, {}, {"KOVA:  Error - vCard version '3.0' is not supported", kMissing}},
    // A lower-case name is unknown, and the END value is not compared.
    {"an N only in a nested vCard counts but is not kept",
     "BEGIN:VCARD\r\nVERSION:2.1\r\nAGENT:\r\nBEGIN:VCARD\r\nN:Agent\r\nEND:VCARD\r\ntel:1\r\n"
     "END:VCALENDAR\r\n", 0, {"0/18 version=2.1"},
     {"KOVA:  Warning - Parser encountered unknown property: 'AGENT'",
      "KOVA:  Warning - Parser encountered unknown property: 'tel'"}},
    {"a blank line warns this vCard and every later one",
     "BEGIN:VCARD\r\nVERSION:2.1\r\n\r\nN:Doe\r\nEND:VCARD\r\n" + kJohn, 0,
     {"0/18 version=2.1 N=Doe", "0/18 version=2.1 N=Doe,John"},
     {"KOVA:  Warning - Parser encounted a blank line in vCard"}},
    {"a blank line between vCards ends the file", kJohn + "\r\n" + kJohn, 0, {kJohnRead}, {}},
    {"a vCard that ends inside after a good one", kJohn + kDoe, 19, {kJohnRead}, {kMissing}},
    {"BEGIN only as part of a longer name", "X-BEGIN:VCARD\r\nVERSION:2.1\r\nN:x\r\nEND:VCARD\r\n",
     19, {}, {"KOVA:  Error - vCard does not have a BEGIN tag"}},
    {"object name in lower case", "BEGIN:vcard\r\n", 8, {}, {}},
};

TEST(VcardReader, ReadsVcardsWithTheirStatusAndLog)
{
    testing::check_reads(kCases, contact_line);
}

TEST(VcardReader, MissingFileGivesSevenWithoutACallback)
{
    testing::TempDevice device;
    std::u16string missing = device.wide_path("none.vcf");
    EXPECT_EQ(KOVA_ReadObjects(missing.c_str(), testing::collect, nullptr), 7u);
}

// One failure loses only the TEL line: it is skipped with a warning.
TEST(VcardReader, SurvivesEachAllocationFailing)
{
    const testing::ReadOutcome tel_lost = {
        0, {kJohnRead, "0/18 version=2.1 N=Doe"},
        {"KOVA:  Memory allocation of 13 bytes failed in 'FileLine'"}};
    int seen = 0;
    for (const testing::ReadOutcome &out : testing::walk_allocation_failures(
             kJohn + kDoe + "TEL;HOME:123\r\nEND:VCARD\r\n", contact_line))
        seen += out.result == 0 && out.objects == tel_lost.objects && out.log == tel_lost.log;
    EXPECT_EQ(seen, 1);
}

}  // namespace
}  // namespace kova::vobject
