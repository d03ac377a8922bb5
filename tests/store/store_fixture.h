// End-to-end helpers for the store tests: a fresh device with the store open, vObject
// text read and added through the public functions, and objects fetched and written
// back out as text.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "kova/kova.h"
#include "support/test_support.h"

namespace kova::testing {

// A device root of its own with the store open for the test's lifetime.
class OpenStore {
public:
    OpenStore() { EXPECT_EQ(KOVA_Open(), 0u); }
    ~OpenStore() { KOVA_Close(); }
    OpenStore(const OpenStore &) = delete;
    OpenStore &operator=(const OpenStore &) = delete;

    TempDevice device;
};

struct Added {
    uint32_t type;
    uint32_t result;
    std::string id;
};

// Reads the text as a file and adds every object from the callback.
inline std::vector<Added> add_text(const TempDevice &device, std::string_view text)
{
    write_file(device.path("in.vobj"), text);
    std::vector<Added> added;
    auto add = [](uint32_t type, ObjectRecord *record, uint32_t, void *context) {
        char id[KOVA_ID_CAPACITY] = "untouched";
        uint32_t result = KOVA_AddObject(type, record, id);
        static_cast<std::vector<Added> *>(context)->push_back({type, result, id});
    };
    EXPECT_EQ(KOVA_ReadObjects(device.wide_path("in.vobj").c_str(), add, &added), 0u);
    return added;
}

// The first object of the text as the reader delivers it, copied out of the callback
// by adding it nowhere: the callback runs fn on the record.
template <class Fn> void with_record(const TempDevice &device, std::string_view text, Fn fn)
{
    write_file(device.path("record.vobj"), text);
    auto call = [](uint32_t type, ObjectRecord *record, uint32_t, void *context) {
        (*static_cast<Fn *>(context))(type, *record);
    };
    EXPECT_EQ(KOVA_ReadObjects(device.wide_path("record.vobj").c_str(), call, &fn), 0u);
}

// The lines of text that start with prefix, joined by "|".
inline std::string lines_starting(const std::string &text, const std::string &prefix)
{
    std::istringstream in(text);
    std::string line, out;
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0) out += (out.empty() ? "" : "|") + line;
    return out;
}

// The object fetched by id and written out as a file; the fetch's result goes to result.
inline std::string fetch_text(const TempDevice &device, uint32_t type, const std::string &id,
                              uint32_t *result = nullptr)
{
    ObjectRecord record;
    uint32_t rc = KOVA_GetObjectById(type, id.c_str(), &record);
    if (result) *result = rc;
    if (rc != 0) return {};
    EXPECT_EQ(KOVA_WriteObject(type, &record, device.wide_path("out.vobj").c_str(), 1), 0u);
    return read_file(device.path("out.vobj"));
}

}  // namespace kova::testing
