#include "store/note.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "model/record.h"
#include "pim/rich_ink.h"
#include "support/test_support.h"
#include "vobject/read/line_reader.h"

namespace kova::store {
namespace {

namespace fs = std::filesystem;

// A note record as the vNote reader builds it, UTF-8 values; released at the end.
struct Note {
    explicit Note(const char *summary, const char *body = nullptr)
    {
        vobject::FillProperty(summary, "CHARSET=UTF-8", 1, model::AppendProperty(&record.Summary));
        if (body)
            vobject::FillProperty(body, "CHARSET=UTF-8", 1, model::AppendProperty(&record.Body));
    }
    ~Note() { model::ReleaseRecord(2, reinterpret_cast<ObjectRecord *>(&record)); }
    Note(const Note &) = delete;
    NoteRecord record{};
};

std::set<std::string> entries(const std::string &folder)
{
    std::set<std::string> names;
    for (const auto &entry : fs::recursive_directory_iterator(folder))
        names.insert(entry.path().lexically_relative(folder).string());
    return names;
}

std::string create_failed(const std::string &path)
{
    return "KOVA:  pol_PutNote Error - Unable to create file '" + path + "'";
}

// First, while the note control is not registered in this process.
TEST(Note, NeedsTheNoteControl)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    fs::create_directory(device.path("Documents"));
    Note note("x", "body");
    pol_PutNote(note.record);
    EXPECT_EQ(log.texts(), std::vector<std::string>{"KOVA:  Unable to create RICHINK control"});
    EXPECT_TRUE(fs::is_empty(device.path("Documents")));
}

TEST(Note, CleansTheNameIntoTheDocumentsFolder)
{
    testing::TempDevice device;
    const std::string n260(260, 'n');
    const struct {
        const char *name;
        std::u16string summary;
        std::string file;
    } kCases[] = {
        {"colon, slash, question mark go, blanks stay", u"Trip: Oslo/Bergen? 2 days",
         "Trip OsloBergen 2 days"},
        {"only forbidden characters", u"\\/:*?<>|\"", ""},
        {"controls go", u"a\tb\r\nc\x7f\x85\u00a0d", "abc\u00a0d"},
        {"letters outside ASCII stay", u"Caf\u00e9 \u00c6r\u00f8 \u6771\u4eac", "Café Ærø 東京"},
        {"a pair stays, a lone surrogate goes", u"\U0001F389\xd800x", "🎉x"},
        {"separators between dots", u"..\\../..", "......"},
        {"300 characters", std::u16string(300, u'n'), n260},
        {"260 counted after cleaning", std::u16string(40, u':') + std::u16string(300, u'n'), n260},
        {"a pair that would pass 260", std::u16string(259, u'n') + u"\U0001F600", n260.substr(1)},
    };
    for (const auto &c : kCases)
        EXPECT_EQ(note_path(c.summary), device.path("Documents/" + c.file + ".pwi")) << c.name;
}

TEST(Note, WritesTheBodyAsAnInkDocument)
{
    testing::TempDevice device;
    fs::create_directory(device.path("Documents"));
    pim::InitRichInkDLL();
    std::string long_body, long_ending = " ";
    for (int i = 0; i < 3000; ++i) long_body += "\xc3\xa9", long_ending += "\\u233?";
    const struct {
        const char *name;
        const char *body;
        std::string ending;
    } kCases[] = {
        {"absent", nullptr, "\\f0 }"},
        {"non-ASCII", "K\xc3\xa4se", " K\\u228?se}"},
        {"in several pieces each way", long_body.c_str(), long_ending + "}"},
    };
    const std::string file = device.path("Documents/Shopping list.pwi");
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        Note note("Shopping: list", c.body);
        pol_PutNote(note.record);
        std::string ink = testing::read_file(file);
        EXPECT_EQ(ink.rfind("{\\rtf1", 0), 0u) << ink;  // replaced, not appended to
        ASSERT_GE(ink.size(), c.ending.size());
        EXPECT_EQ(ink.substr(ink.size() - c.ending.size()), c.ending);
    }
    EXPECT_EQ(entries(device.root()),
              (std::set<std::string>{"Documents", "Documents/Shopping list.pwi"}));
}

TEST(Note, LogsAFileItCannotCreateAndWritesNothing)
{
    const std::string too_long(300, 'n');  // 260 bytes and ".pwi" pass NAME_MAX
    const struct {
        const char *name;
        const char *summary;
        void (*prepare)(const testing::TempDevice &);
        std::set<std::string> after;
    } kCases[] = {
        {"no documents folder", "x", [](const testing::TempDevice &) {}, {"registry.reg"}},
        {"documents folder is a file", "x",
         [](const testing::TempDevice &d) { testing::write_file(d.path("Documents"), "file"); },
         {"registry.reg", "Documents"}},
        {"name too long for the file system", too_long.c_str(),
         [](const testing::TempDevice &d) { fs::create_directory(d.path("Documents")); },
         {"registry.reg", "Documents"}},
        {"a link in the file's place", "x",
         [](const testing::TempDevice &d) {
             fs::create_directory(d.path("Documents"));
             testing::write_file(d.path("outside"), "keep");
             fs::create_symlink("../outside", d.path("Documents/x.pwi"));
         },
         {"registry.reg", "Documents", "Documents/x.pwi", "outside"}},
    };
    pim::InitRichInkDLL();
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        testing::TempDevice device;
        testing::LogReceiver log(device);
        c.prepare(device);
        Note note(c.summary, "body");
        pol_PutNote(note.record);
        std::string path = note_path(testing::widen(c.summary));
        EXPECT_EQ(log.texts(), std::vector<std::string>{create_failed(path)});
        EXPECT_EQ(entries(device.root()), c.after);
        if (c.after.count("outside")) {
            EXPECT_EQ(testing::read_file(device.path("outside")), "keep");
        }
    }
}

}  // namespace
}  // namespace kova::store
