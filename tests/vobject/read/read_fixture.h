// What the reader tests share: a text read through KOVA_ReadObjects, as a caller reads
// it, with what the callback saw and the exact log lines; tables of such reads; and a
// walk that fails every allocation of a read in turn.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "kova/kova.h"
#include "model/alloc.h"
#include "support/test_support.h"

namespace kova::testing {

// What a reader test shows of a delivered record; the callback puts "type/status" before.
using Describe = std::string (*)(const ObjectRecord &record);

// The log leaves out the release trace that every message gives.
struct ReadOutcome { uint32_t result = 0; std::vector<std::string> objects, log; };
struct Collector { Describe describe; std::vector<std::string> *objects; };

inline void collect(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    auto *c = static_cast<Collector *>(context);
    c->objects->push_back(std::to_string(type) + "/" + std::to_string(status) +
                          c->describe(*record));
}

// A null describe reads without a callback.
inline ReadOutcome read_text(const std::string &text, Describe describe)
{
    TempDevice device;
    LogReceiver log(device);
    write_file(device.path("in.txt"), text);
    ReadOutcome out;
    Collector collector{describe, &out.objects};
    out.result = KOVA_ReadObjects(device.wide_path("in.txt").c_str(), describe ? collect : nullptr,
                                  &collector);
    for (const std::string &line : log.texts())
        if (line != "KOVA:  KOVA_DeallocVMessage - Deallocating vMsg resources")
            out.log.push_back(line);
    return out;
}

struct ReadCase {
    const char *name;
    std::string input;
    uint32_t result;
    std::vector<std::string> objects, log;
};

// Each case is read again without a callback, which must not change the result.
template <size_t N> void check_reads(const ReadCase (&cases)[N], Describe describe)
{
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.name);
        ReadOutcome out = read_text(c.input, describe);
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.objects, c.objects);
        EXPECT_EQ(out.log, c.log);
        EXPECT_EQ(read_text(c.input, nullptr).result, c.result);
    }
}

// Fails each allocation of a clean read in turn, alone and then together with every
// later one. Each read must end with 0, 11 or 19; LeakSanitizer sees any leak. The
// first allocation is the object loop's name buffer. Returns the single failures.
inline std::vector<ReadOutcome> walk_allocation_failures(const std::string &text,
                                                         Describe describe)
{
    unsigned long before = model::allocation_count();
    EXPECT_EQ(read_text(text, describe).result, 0u);
    unsigned long needed = model::allocation_count() - before;
    std::vector<ReadOutcome> single;
    for (bool sticky : {false, true}) {
        for (unsigned long n = 1; n <= needed; ++n) {
            SCOPED_TRACE(std::to_string(n) + (sticky ? " and later" : " alone"));
            model::fail_allocation_after(n, sticky);
            ReadOutcome out = read_text(text, describe);
            model::fail_allocation_after(0);
            EXPECT_TRUE(out.result == 0 || out.result == 11 || out.result == 19) << out.result;
            if (!sticky) single.push_back(out);
        }
    }
    EXPECT_EQ(single.at(0).result, 11u);
    EXPECT_EQ(single.at(0).log, std::vector<std::string>{"KOVA:  Error - Memory allocation error"});
    return single;
}

// " name=text" for a fixed array that holds text, else nothing.
inline std::string field(const char *name, const char *text)
{
    return text[0] ? std::string(" ") + name + "=" + text : std::string();
}

// The texts of a list joined by separator; a missing text shows as "(null)".
inline std::string join(const TextNode *list, const char *separator)
{
    std::string out;
    for (const TextNode *t = list; t; t = t->Next)
        out += (t == list ? "" : separator) + std::string(t->Text ? t->Text : "(null)");
    return out;
}

// " NAME=a,b(P1;P2)|c" for each list that has nodes: each node's components and its
// parameter texts unless it has only the empty one.
using Lists = std::vector<std::pair<const char *, const PropertyNode *>>;
inline std::string nodes(const Lists &lists)
{
    std::string out;
    for (const auto &[name, list] : lists) {
        for (const PropertyNode *p = list; p; p = p->Next) {
            std::string params = join(p->Params, ";");
            out += (p == list ? std::string(" ") + name + "=" : "|") + join(p->Values, ",") +
                   (params.empty() ? "" : "(" + params + ")");
        }
    }
    return out;
}

inline std::string repeat(const std::string &text, int count)
{
    std::string out;
    while (count-- > 0) out += text;
    return out;
}

}  // namespace kova::testing
