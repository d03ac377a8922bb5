#include "base/file.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace kova::base {
namespace {

using testing::TempDevice;

std::vector<std::string> read_lines(const TempDevice &device, const std::string &content)
{
    testing::write_file(device.path("lines.txt"), content);
    File file;
    std::u16string path = device.wide_path("lines.txt");
    EXPECT_EQ(file.open(path.c_str(), "rb"), 0);
    std::vector<std::string> lines;
    char buffer[kReadLineCapacity];
    while (read_line(buffer, file.get()) == 0) lines.emplace_back(buffer);
    return lines;
}

TEST(File, ReadLineCutsLineEndsAndLongLines)
{
    TempDevice device;
    struct Case {
        const char *name;
        std::string content;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"CR LF and LF endings", "a\r\nb\nc", {"a", "b", "c"}},
        {"a CR inside a line cuts it", "ab\rcd\n", {"ab"}},
        {"600 bytes come in pieces of 511", std::string(600, 'x'),
         {std::string(511, 'x'), std::string(89, 'x')}},
        {"empty file", "", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(read_lines(device, c.content), c.lines);
    }
}

TEST(File, WriteLineReportsAFullDevice)
{
    FILE *f = nullptr;
    ASSERT_EQ(open_file(&f, u"/dev/full", "w"), 0);
    EXPECT_EQ(write_line(f, "BEGIN:VCARD"), 1);
    std::fclose(f);
}

}  // namespace
}  // namespace kova::base
