#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>

#include "base/utf16.h"
#include "kova/kova.h"
#include "support/test_support.h"

namespace kova::api {
namespace {

std::string text_of(uint32_t code) { return base::utf16_to_utf8(KOVA_CodeToString(code)); }

TEST(Api, CodeTexts)
{
    const char *const kTexts[] = {"OK", "General failure", nullptr,
                                  "The object store is not opened", "Reached the end-of-store",
                                  nullptr, "The object was not found", "Could not open the file",
                                  "The stream of data does not contain a valid object",
                                  "The object id is invalid",
                                  "The object is missing a required field", nullptr, nullptr,
                                  nullptr, "General PIM Error", "The PIM is not opened",
                                  "The type is not supported", "Parsing successful",
                                  "Parsing warning", "Parsing error", nullptr};
    for (uint32_t code = 0; code < std::size(kTexts); ++code)
        EXPECT_EQ(text_of(code), kTexts[code] ? kTexts[code]
                                              : "Unknown KOVA error, code=" + std::to_string(code));
    EXPECT_EQ(text_of(0xFFFFFFFFu), "Unknown KOVA error, code=-1");
    const char16_t *first = KOVA_CodeToString(11);  // unknown codes share one buffer
    EXPECT_EQ(KOVA_CodeToString(12), first);
    EXPECT_EQ(base::utf16_to_utf8(first), "Unknown KOVA error, code=12");
}

TEST(Api, StoreOperationsWithoutAnOpenStore)
{
    ObjectRecord record;
    std::memset(&record, 0x11, sizeof record);
    char id[KOVA_ID_CAPACITY] = "x";
    EXPECT_EQ(KOVA_GetObjectById(0, nullptr, &record), 9u);
    EXPECT_EQ(record.Contact.ObjectClass, 0x11111111u);  // null id: record not looked at
    EXPECT_EQ(KOVA_GetObjectById(0, "1", nullptr), 1u);
    EXPECT_EQ(KOVA_GetObjectById(0, "1", &record), 15u);
    EXPECT_EQ(KOVA_ModifyObject(0, "1", &record), 15u);
    EXPECT_EQ(KOVA_AddObject(0, &record, id), 15u);
    EXPECT_STREQ(id, "x");  // 15 returns before the id is written
    EXPECT_EQ(KOVA_FindObject(0, &record, id), 0u);
    EXPECT_STREQ(id, "x");
}

// A callback that reads another file gets that file's objects, and its own object is
// still whole when the inner read returns.
TEST(Api, ACallbackMayReadAnotherFile)
{
    testing::TempDevice device;
    testing::write_file(device.path("outer.vcf"),
                        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Outer;One\r\nEND:VCARD\r\n"
                        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Outer;Two\r\nEND:VCARD\r\n");
    testing::write_file(device.path("inner.vcf"), "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Inner\r\nEND:VCARD\r\n");
    struct Seen {
        std::u16string inner;
        std::string names;
    } seen{device.wide_path("inner.vcf"), ""};
    auto family = [](ObjectRecord *record) {
        const PropertyNode *n = record->Contact.N;
        return std::string(n && n->Values && n->Values->Text ? n->Values->Text : "?");
    };
    static auto *family_of = +family;
    KOVA_ReaderCallback outer = [](uint32_t, ObjectRecord *record, uint32_t, void *context) {
        auto &seen = *static_cast<Seen *>(context);
        KOVA_ReaderCallback inner = [](uint32_t, ObjectRecord *r, uint32_t, void *c) {
            static_cast<Seen *>(c)->names += family_of(r) + ",";
        };
        EXPECT_EQ(KOVA_ReadObjects(seen.inner.c_str(), inner, &seen), 0u);
        seen.names += family_of(record) + ";";
    };
    EXPECT_EQ(KOVA_ReadObjects(device.wide_path("outer.vcf").c_str(), outer, &seen), 0u);
    EXPECT_EQ(seen.names, "Inner,Outer;Inner,Outer;");
}

}  // namespace
}  // namespace kova::api
