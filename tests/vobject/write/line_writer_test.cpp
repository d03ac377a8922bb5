#include "vobject/write/line_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "model/alloc.h"
#include "model/record.h"
#include "support/test_support.h"

namespace kova::vobject {
namespace {

using testing::LogReceiver;
using testing::TempDevice;

// A node built through the record helpers; nullptr stands for a null parameter text or
// a component left unset.
PropertyNode *add_node(PropertyNode **list, std::initializer_list<const char *> params,
                       std::initializer_list<const char *> values, uint32_t flags = 0)
{
    PropertyNode *node = model::AppendProperty(list);
    node->Flags = flags;
    for (const char *p : params) model::AddParam(node, p ? model::copy_text(p) : nullptr);
    unsigned i = 0;
    for (const char *v : values) {
        if (v) model::SetValue(node, model::copy_text(v), i);
        ++i;
    }
    return node;
}

std::string written(const std::function<void(FILE *)> &write)
{
    FILE *file = std::tmpfile();
    write(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(file);
    return text;
}

struct LineCase {
    const char *name;
    std::initializer_list<const char *> params;
    std::initializer_list<const char *> values;
    const char *line;
};
const LineCase kLineCases[] = {
    {"one value", {}, {"X"}, "NAME:X"},
    {"two bare parameters", {"HOME", "VOICE"}, {"value"}, "NAME;HOME;VOICE:value"},
    {"null parameter text is passed over", {"A", nullptr, "C"}, {"v"}, "NAME;A;C:v"},
    {"null middle component keeps its separator", {}, {"first", nullptr, "third"},
     "NAME:first;;third"},
    {"empty third and fifth of five", {}, {"family", "given", "", "prefix", ""},
     "NAME:family;given;;prefix;"},
    {"no values", {"CHARSET=UTF-8"}, {}, "NAME;CHARSET=UTF-8:"},
};

TEST(LineWriter, BuildsContentLines)
{
    for (const LineCase &c : kLineCases) {
        SCOPED_TRACE(c.name);
        PropertyNode *list = nullptr;
        PropertyNode *node = add_node(&list, c.params, c.values);
        std::string expected = c.line;
        EXPECT_EQ(build_line("NAME", node, nullptr), expected.size());
        std::vector<char> buffer(expected.size() + 1, '#');
        EXPECT_EQ(build_line("NAME", node, buffer.data()), expected.size());
        EXPECT_EQ(std::string(buffer.data()), expected);
        model::release_property_list(list);
    }
    EXPECT_EQ(build_line(nullptr, nullptr, nullptr), 0u);
}

struct FoldCase {
    const char *name;
    const char *line;
    bool quoted_printable;
    const char *file;
};
const FoldCase kFoldCases[] = {
    {"three line feeds, the last ending the value", "N:a=0D=0Ab=0D=0Ac=0D=0A", true,
     "N:a=0D=0A=\nb=0D=0A=\nc=0D=0A\n"},
    {"flag clear keeps one line", "N:a=0D=0Ab", false, "N:a=0D=0Ab\n"},
    {"one character after the line feed", "N:=0Ax", true, "N:=0A=\nx\n"},
    {"adjacent line feeds", "N:=0A=0Ax", true, "N:=0A=\n=0A=\nx\n"},
    {"empty line writes nothing", "", true, ""},
};

TEST(LineWriter, BreaksQuotedPrintableAfterEncodedLineFeeds)
{
    for (const FoldCase &c : kFoldCases) {
        SCOPED_TRACE(c.name);
        int result = -1;
        EXPECT_EQ(written([&](FILE *f) { result = write_folded(f, c.line, c.quoted_printable); }),
                  c.file);
        EXPECT_EQ(result, 0);
    }
}

TEST(LineWriter, WritesEveryOccurrenceOrTheRequiredBareLine)
{
    PropertyNode *tel = nullptr;
    add_node(&tel, {"WORK"}, {"1"});
    add_node(&tel, {}, {"2"});
    add_node(&tel, {"ENCODING=QUOTED-PRINTABLE"}, {"x=0Ay"}, KOVA_FLAG_QUOTED_PRINTABLE);
    EXPECT_EQ(written([&](FILE *f) { write_property(f, "TEL", tel, false); }),
              "TEL;WORK:1\nTEL:2\nTEL;ENCODING=QUOTED-PRINTABLE:x=0A=\ny\n");
    model::release_property_list(tel);

    EXPECT_EQ(written([](FILE *f) { write_property(f, "N", nullptr, true); }), "N:\n");
    EXPECT_EQ(written([](FILE *f) { write_property(f, "FN", nullptr, false); }), "");
    auto version = [](FILE *f) { write_fixed_line(f, ObjectKind::VCard, "VERSION", "", "2.1"); };
    EXPECT_EQ(written(version), "VERSION:2.1\n");
    EXPECT_EQ(written([](FILE *f) { write_fixed_line(f, ObjectKind::VNote, "X", "A;B", ""); }),
              "X;A;B:\n");
}

struct KindCase {
    ObjectKind kind;
    const char *no_memory;
    const char *no_write;
};
const KindCase kKindCases[] = {
    {ObjectKind::VCard, "KOVA:  Insufficient memory to generate vCard string",
     "KOVA:  Unable to put vCard string to file"},
    {ObjectKind::VCalendar, "KOVA:  Insufficient memory to generate vCalendar string",
     "KOVA:  Unable to put vCalendar string to file"},
    {ObjectKind::VMessage, "KOVA:  Insufficient memory to generate vMessage string",
     "KOVA:  Unable to put vMessage string to file"},
    {ObjectKind::VNote, "KOVA:  Insufficient memory to generate vNote string",
     "KOVA:  Unable to put vNote string to file"},
};

TEST(LineWriter, FixedLineFailuresLogTheKindsMessages)
{
    TempDevice device;
    LogReceiver log(device);
    FILE *full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    std::vector<std::string> expected;
    for (const KindCase &c : kKindCases) {
        SCOPED_TRACE(c.no_write);
        EXPECT_EQ(write_fixed_line(full, c.kind, "BEGIN", "", "X"), 1);
        model::fail_allocation_after(1);
        int result = 0;
        EXPECT_EQ(written([&](FILE *f) { result = write_fixed_line(f, c.kind, "A", "", "B"); }),
                  "");
        EXPECT_EQ(result, 1);
        expected.insert(expected.end(), {c.no_write, c.no_memory});
    }
    std::fclose(full);
    EXPECT_EQ(log.texts(), expected);
}

// A node's line that cannot be had is dropped, and a soft-break piece that cannot be
// had leaves the rest of the value on one line; neither is logged.
TEST(LineWriter, OutOfMemoryDropsQuietly)
{
    TempDevice device;
    LogReceiver log(device);
    PropertyNode *note = nullptr;
    add_node(&note, {}, {"a=0Ab=0Ac"}, KOVA_FLAG_QUOTED_PRINTABLE);
    add_node(&note, {}, {"next"});
    model::fail_allocation_after(1);
    EXPECT_EQ(written([&](FILE *f) { write_property(f, "NOTE", note, false); }), "NOTE:next\n");
    model::fail_allocation_after(3);
    EXPECT_EQ(written([&](FILE *f) { write_property(f, "NOTE", note, false); }),
              "NOTE:a=0A=\nb=0Ac\nNOTE:next\n");
    model::release_property_list(note);
    EXPECT_TRUE(log.texts().empty());
}

}  // namespace
}  // namespace kova::vobject
