#include "vobject/read/vcard_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "kova/kova.h"
#include "model/alloc.h"
#include "model/record.h"
#include "support/test_support.h"

namespace kova::vobject {
namespace {

using testing::LogReceiver;
using testing::TempDevice;

struct Delivered {
    uint32_t type;
    uint32_t status;
    std::vector<std::string> n;
    std::vector<std::string> tel_params;
    std::string version;
    std::string luid;
    size_t tel_count = 0;
};

std::vector<std::string> texts(const TextNode *list)
{
    std::vector<std::string> out;
    for (; list; list = list->Next) out.push_back(list->Text ? list->Text : "<null>");
    return out;
}

void collect(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    auto *out = static_cast<std::vector<Delivered> *>(context);
    const ContactRecord &c = record->Contact;
    Delivered d{type, status, {}, {}, c.Version, c.Luid};
    if (c.N) d.n = texts(c.N->Values);
    for (const PropertyNode *t = c.Tel; t; t = t->Next) {
        ++d.tel_count;
        for (const std::string &p : texts(t->Params)) d.tel_params.push_back(p);
    }
    out->push_back(d);
}

struct ReadRun {
    uint32_t result;
    std::vector<Delivered> delivered;
    std::vector<std::string> log;
};

ReadRun read_text(const std::string &content)
{
    TempDevice device;
    LogReceiver log(device);
    testing::write_file(device.path("in.vcf"), content);
    ReadRun run;
    std::u16string path = device.wide_path("in.vcf");
    run.result = KOVA_ReadObjects(path.c_str(), collect, &run.delivered);
    run.log = log.texts();
    return run;
}

constexpr const char *kMissing =
    "KOVA:  Error - vCard missing END tago or does not contain required VERSION or N properties";
constexpr const char *kBlank = "KOVA:  Warning - Parser encounted a blank line in vCard";
const std::string kJohn = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John\r\nEND:VCARD\r\n";

struct FileCase {
    const char *name;
    std::string content;
    uint32_t result;
    std::vector<uint32_t> statuses;  // one per callback
    std::vector<std::string> log;
};

TEST(VcardReader, FollowsTheReadingRules)
{
    const FileCase cases[] = {
        {"one vCard", kJohn, 0, {17}, {}},
        {"two vCards", kJohn + kJohn, 0, {17, 17}, {}},
        {"LF line ends", "BEGIN:VCARD\nVERSION:2.1\nN:Doe\nEND:VCARD\n", 0, {17}, {}},
        {"no line end after END", "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe\r\nEND:VCARD", 0, {17}, {}},
        {"version 3.0 is refused", "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe\r\nEND:VCARD\r\n", 19, {},
         {"KOVA:  Error - vCard version '3.0' is not supported"}},
        {"refused before N gives both messages",
         "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Doe\r\nEND:VCARD\r\n", 19, {},
         {"KOVA:  Error - vCard version '4.0' is not supported", kMissing}},
        {"version 2.0", "BEGIN:VCARD\r\nVERSION:2.0\r\nN:Doe\r\nEND:VCARD\r\n", 0, {17}, {}},
        {"version 1.0", "BEGIN:VCARD\r\nVERSION:1.0\r\nN:Doe\r\nEND:VCARD\r\n", 0, {17}, {}},
        {"no N", "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:x\r\nEND:VCARD\r\n", 19, {}, {kMissing}},
        {"no VERSION", "BEGIN:VCARD\r\nN:Doe\r\nEND:VCARD\r\n", 19, {}, {kMissing}},
        {"N only in a nested vCard still counts",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nAGENT:\r\nBEGIN:VCARD\r\nN:Agent\r\nEND:VCARD\r\n"
         "END:VCARD\r\n",
         0, {18}, {}},
        {"ends inside the vCard", "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe\r\n", 19, {}, {kMissing}},
        {"blank line warns and sticks", "BEGIN:VCARD\r\nVERSION:2.1\r\n\r\nN:Doe\r\nEND:VCARD\r\n" + kJohn,
         0, {18, 18}, {kBlank}},
        {"blank line between vCards ends the file", kJohn + "\r\n" + kJohn, 0, {17}, {}},
        {"a bad vCard after a good one", kJohn + "BEGIN:VCARD\r\nVERSION:2.1\r\nEND:VCARD\r\n" + kJohn,
         19, {17}, {kMissing}},
        {"lower-case property is unknown",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe\r\ntel:123\r\nEND:VCARD\r\n", 0, {18},
         {"KOVA:  Warning - Parser encountered unknown property: 'tel'"}},
        {"END value is not compared", "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe\r\nEND:VCALENDAR\r\n",
         0, {17}, {}},
        {"first line opens a VTODO", "BEGIN:VTODO\r\nEND:VTODO\r\n", 8, {}, {}},
        {"first line is VERSION", "VERSION:2.1\r\n" + kJohn, 8, {}, {}},
        {"object name in lower case", "BEGIN:vcard\r\n", 8, {}, {}},
        {"no colon on the first line", "BEGIN VCARD\r\n", 8, {}, {}},
        {"empty file", "", 8, {}, {}},
        {"BEGIN only as part of a longer name", "X-BEGIN:VCARD\r\nVERSION:2.1\r\nN:x\r\nEND:VCARD\r\n",
         19, {}, {"KOVA:  Error - vCard does not have a BEGIN tag"}},
        {"binary junk after the keyword", "BEGIN:VCARD\r\n\x01\x02\xff\xfe\r\n" + std::string(2, '\0'), 19, {},
         {kBlank, kMissing}},
    };
    for (const FileCase &c : cases) {
        SCOPED_TRACE(c.name);
        ReadRun run = read_text(c.content);
        EXPECT_EQ(run.result, c.result);
        std::vector<uint32_t> statuses;
        for (const Delivered &d : run.delivered) {
            EXPECT_EQ(d.type, 0u);
            statuses.push_back(d.status);
        }
        EXPECT_EQ(statuses, c.statuses);
        for (const std::string &line : c.log)
            EXPECT_NE(std::find(run.log.begin(), run.log.end(), line), run.log.end()) << line;
        if (c.log.empty()) {
            for (const std::string &line : run.log)
                EXPECT_EQ(line.find("Error"), std::string::npos) << line;
        }
    }
}

TEST(VcardReader, StoresValuesAndParameters)
{
    ReadRun run = read_text("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John;;;\r\n"
                        "X-IRMC-LUID:" + std::string(600, '7') + "\r\n"
                        "TEL;HOME;VOICE:123\r\nTEL;TYPE=WORK:456\r\nEND:VCARD\r\n");
    ASSERT_EQ(run.delivered.size(), 1u);
    const Delivered &d = run.delivered[0];
    EXPECT_EQ(d.n, (std::vector<std::string>{"Doe", "John", "", "", ""}));
    EXPECT_EQ(d.version, "2.1");
    EXPECT_EQ(d.luid, std::string(511, '7'));
    EXPECT_EQ(d.tel_count, 2u);
    EXPECT_EQ(d.tel_params, (std::vector<std::string>{"HOME", "VOICE", "TYPE=WORK"}));
}

TEST(VcardReader, MissingFileGivesSevenWithoutCallback)
{
    TempDevice device;
    std::vector<Delivered> got;
    std::u16string path = device.wide_path("none.vcf");
    EXPECT_EQ(KOVA_ReadObjects(path.c_str(), collect, &got), 7u);
    EXPECT_TRUE(got.empty());
}

TEST(VcardReader, NullCallbackOnlyValidates)
{
    TempDevice device;
    testing::write_file(device.path("in.vcf"), kJohn + kJohn);
    std::u16string path = device.wide_path("in.vcf");
    EXPECT_EQ(KOVA_ReadObjects(path.c_str(), nullptr, nullptr), 0u);
}

TEST(VcardReader, SurvivesDeepNestingAndLongLines)
{
    std::string deep = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe\r\n";
    for (int i = 0; i < 10000; ++i) deep += "BEGIN:VCARD\r\n";
    for (int i = 0; i < 10000; ++i) deep += "END:VCARD\r\n";
    deep += "END:VCARD\r\n";
    ReadRun run = read_text(deep);
    EXPECT_EQ(run.result, 0u);
    ASSERT_EQ(run.delivered.size(), 1u);

    std::string unclosed = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe\r\n";
    for (int i = 0; i < 10000; ++i) unclosed += "BEGIN:VCARD\r\n";
    EXPECT_EQ(read_text(unclosed).result, 19u);

    ReadRun long_note = read_text("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe\r\nNOTE:" +
                              std::string(10u << 20, 'n') + "\r\nEND:VCARD\r\n");
    EXPECT_EQ(long_note.result, 0u);
}

TEST(VcardReader, RandomBytesNeverCrash)
{
    std::mt19937 random(20261205);
    const std::string alphabet = "BEGIN:VCARD\r\n;=\\ \tEND:VERSION2.1N\x00\xff";
    for (int round = 0; round < 200; ++round) {
        std::string content = "BEGIN:VCARD\r\n";
        size_t length = random() % 400;
        for (size_t i = 0; i < length; ++i) content += alphabet[random() % alphabet.size()];
        uint32_t result = read_text(content).result;
        EXPECT_TRUE(result == 0 || result == 19) << result;
    }
}

TEST(VcardReader, MemoryFailuresEndCleanly)
{
    // Walk the allocations of a whole read; every one that fails must leave a result
    // from the table and nothing leaked (LeakSanitizer checks the latter).
    const std::string content = kJohn + "BEGIN:VCARD\r\nVERSION:2.1\r\nN:A;B\r\n"
                                        "TEL;HOME:1\r\nEND:VCARD\r\n";
    TempDevice device;
    testing::write_file(device.path("in.vcf"), content);
    std::u16string path = device.wide_path("in.vcf");
    for (unsigned long n = 1; n < 60; ++n) {
        SCOPED_TRACE(n);
        std::vector<Delivered> got;
        model::fail_allocation_after(n);
        uint32_t result = KOVA_ReadObjects(path.c_str(), collect, &got);
        model::fail_allocation_after(0);
        EXPECT_TRUE(result == 0 || result == 11 || result == 19) << result;
    }
}

TEST(VcardReader, LineThatCannotBeAllocatedIsSkippedWithAWarning)
{
    TempDevice device;
    LogReceiver log(device);
    testing::write_file(device.path("in.vcf"),
                        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe\r\nTEL:123\r\nEND:VCARD\r\n");
    std::u16string path = device.wide_path("in.vcf");
    bool found = false;
    // Whichever allocation is the TEL line's, failing it must drop that line alone.
    for (unsigned long n = 1; n < 40 && !found; ++n) {
        std::vector<Delivered> got;
        model::fail_allocation_after(n);
        uint32_t result = KOVA_ReadObjects(path.c_str(), collect, &got);
        model::fail_allocation_after(0);
        if (!log.saw("KOVA:  Memory allocation of 8 bytes failed in 'FileLine'")) continue;
        found = true;
        EXPECT_EQ(result, 0u);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].status, 18u);
        EXPECT_EQ(got[0].n, (std::vector<std::string>{"Doe"}));
        EXPECT_EQ(got[0].tel_count, 0u);
    }
    EXPECT_TRUE(found);
}

TEST(VcardReader, BufferFailureIsLogged)
{
    TempDevice device;
    LogReceiver log(device);
    testing::write_file(device.path("in.vcf"), kJohn);
    std::u16string path = device.wide_path("in.vcf");
    model::fail_allocation_after(1);  // the object loop's name buffer
    EXPECT_EQ(KOVA_ReadObjects(path.c_str(), collect, nullptr), 11u);
    EXPECT_TRUE(log.saw("KOVA:  Error - Memory allocation error"));
}

}  // namespace
}  // namespace kova::vobject
