#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/utf16.h"
#include "kova/kova.h"
#include "support/test_support.h"

namespace kova::api {
namespace {

std::string text_of(uint32_t code) { return base::utf16_to_utf8(KOVA_CodeToString(code)); }

TEST(Api, CodeTexts)
{
    struct Case {
        uint32_t code;
        const char *text;
    };
    const Case cases[] = {
        {0, "OK"},
        {1, "General failure"},
        {2, "Unknown KOVA error, code=2"},
        {3, "The object store is not opened"},
        {4, "Reached the end-of-store"},
        {5, "Unknown KOVA error, code=5"},
        {6, "The object was not found"},
        {7, "Could not open the file"},
        {8, "The stream of data does not contain a valid object"},
        {9, "The object id is invalid"},
        {10, "The object is missing a required field"},
        {11, "Unknown KOVA error, code=11"},
        {12, "Unknown KOVA error, code=12"},
        {13, "Unknown KOVA error, code=13"},
        {14, "General PIM Error"},
        {15, "The PIM is not opened"},
        {16, "The type is not supported"},
        {17, "Parsing successful"},
        {18, "Parsing warning"},
        {19, "Parsing error"},
        {20, "Unknown KOVA error, code=20"},
        {0xFFFFFFFFu, "Unknown KOVA error, code=-1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(text_of(c.code), c.text);
    }
}

TEST(Api, UnknownCodesShareOneBuffer)
{
    const char16_t *first = KOVA_CodeToString(11);
    const char16_t *second = KOVA_CodeToString(12);
    EXPECT_EQ(first, second);
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
    EXPECT_EQ(KOVA_AddObject(0, &record, id), 15u);
    EXPECT_STREQ(id, "x");  // 15 returns before the id is written
    EXPECT_EQ(KOVA_FindObject(0, &record, id), 0u);
}

TEST(Api, OpenAndCloseAnswerOk)
{
    testing::TempDevice device;
    EXPECT_EQ(KOVA_Open(), 0u);
    EXPECT_EQ(KOVA_Open(), 0u);
    EXPECT_EQ(KOVA_Close(), 0u);
}

}  // namespace
}  // namespace kova::api
