// The shape of content lines, soft breaks included, shows in the object writers'
// files; here is what only the line writer can show: how its failures are reported.
#include "vobject/write/line_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"
#include "vobject/write/property_builder.h"

namespace kova::vobject {
namespace {

template <class Write> std::string written(Write write)
{
    char text[256] = {};
    FILE *file = fmemopen(text, sizeof text - 1, "w");
    write(file);
    std::fclose(file);
    return text;
}

// A fixed line that cannot be written or built logs its kind's message and gives 1.
// Inside a property list a missing line buffer drops that occurrence, and a missing
// soft-break piece leaves the rest of the value on one line, both without a message.
TEST(LineWriter, LogsOnlyTheFailuresOfFixedLines)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    FILE *full = std::fopen("/dev/full", "w");
    std::vector<std::string> expected;
    const std::pair<ObjectKind, std::string> kinds[] = {{ObjectKind::VCard, "vCard"},
        {ObjectKind::VCalendar, "vCalendar"}, {ObjectKind::VMessage, "vMessage"},
        {ObjectKind::VNote, "vNote"}};
    for (const auto &[kind, name] : kinds) {
        EXPECT_EQ(write_fixed_line(full, kind, "BEGIN", "", "X"), 1);
        model::fail_allocation_after(1);
        EXPECT_EQ(write_fixed_line(full, kind, "BEGIN", "", "X"), 1);
        expected.push_back("KOVA:  Unable to put " + name + " string to file");
        expected.push_back("KOVA:  Insufficient memory to generate " + name + " string");
    }
    std::fclose(full);

    PropertyNode *note = nullptr;
    testing::add({{&note, ":a=0Ab=0Ac", KOVA_FLAG_QUOTED_PRINTABLE}, {&note, ":next"}});
    model::fail_allocation_after(1);
    EXPECT_EQ(written([&](FILE *f) { write_property(f, "NOTE", note, true); }), "NOTE:next\n");
    model::fail_allocation_after(3);
    EXPECT_EQ(written([&](FILE *f) { write_property(f, "NOTE", note, true); }),
              "NOTE:a=0A=\nb=0Ac\nNOTE:next\n");
    model::fail_allocation_after(1);
    EXPECT_EQ(written([](FILE *f) { write_property(f, "N", nullptr, true); }), "");
    model::release_property_list(note);
    EXPECT_EQ(log.texts(), expected);
}

}  // namespace
}  // namespace kova::vobject
