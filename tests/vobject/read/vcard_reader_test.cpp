#include "vobject/read/vcard_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kova/kova.h"
#include "model/record.h"
#include "support/test_support.h"

namespace kova::vobject {
namespace {

using testing::LogReceiver;
using testing::TempDevice;

struct Delivered {
    uint32_t type;
    uint32_t status;
    std::string family;
    std::string version;
};

void collect(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    auto *out = static_cast<std::vector<Delivered> *>(context);
    const char *family = model::first_value(record->Contact.N);
    out->push_back({type, status, family ? family : "", record->Contact.Version});
}

TEST(VcardReader, DeliversOneContact)
{
    TempDevice device;
    LogReceiver log(device);
    testing::write_file(device.path("a.vcf"),
                        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John\r\nEND:VCARD\r\n");
    std::vector<Delivered> got;
    std::u16string path = device.wide_path("a.vcf");
    EXPECT_EQ(KOVA_ReadObjects(path.c_str(), collect, &got), 0u);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, 0u);
    EXPECT_EQ(got[0].status, 17u);
    EXPECT_EQ(got[0].family, "Doe");
    EXPECT_EQ(got[0].version, "2.1");
    EXPECT_TRUE(log.texts().empty());
}

}  // namespace
}  // namespace kova::vobject
