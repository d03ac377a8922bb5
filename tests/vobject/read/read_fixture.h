// What the reader tests share: a text read through KOVA_ReadObjects, as a caller reads
// it, with what the callback saw and the exact log lines; tables of such reads; and a
// walk that fails every allocation of a read in turn.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "kova/kova.h"
#include "model/alloc.h"
#include "support/test_support.h"

namespace kova::testing {

// What a reader test shows of a delivered record; the callback puts "type/status" before.
using Describe = std::string (*)(const ObjectRecord &record);

struct ReadOutcome { uint32_t result = 0; std::vector<std::string> objects, log; };
using Seen = std::pair<Describe, std::vector<std::string> *>;

inline void collect(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    auto *seen = static_cast<Seen *>(context);
    seen->second->push_back(std::to_string(type) + "/" + std::to_string(status) +
                            seen->first(*record));
}

// A null describe reads without a callback. The log leaves out the release trace that
// every message gives.
inline ReadOutcome read_text(const std::string &text, Describe describe)
{
    TempDevice device;
    LogReceiver log(device);
    write_file(device.path("in.txt"), text);
    ReadOutcome out;
    Seen seen{describe, &out.objects};
    out.result = KOVA_ReadObjects(device.wide_path("in.txt").c_str(), describe ? collect : nullptr,
                                  &seen);
    for (const std::string &line : log.texts())
        if (line != "KOVA:  KOVA_DeallocVMessage - Deallocating vMsg resources")
            out.log.push_back(line);
    return out;
}

struct ReadCase { const char *name; std::string input; uint32_t result;
                  std::vector<std::string> objects, log; };

// Fails each allocation of a clean read in turn, alone and then together with every
// later one; LeakSanitizer sees any leak. A read that ends with 11 logs the allocation
// error last, and one that logs it last ends with 11 unless it still delivered (a
// vMessage drops what its embedded vCards return). It ends with 19 only after a logged
// failure: one that leaves no log line loses a text, never the read. Returns the single
// failures.
constexpr const char *kOutOfMemory = "KOVA:  Error - Memory allocation error";
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
            bool logged = std::any_of(out.log.begin(), out.log.end(), [](const std::string &l) {
                return l.find("Memory allocation") != std::string::npos; });
            bool oom = !out.log.empty() && out.log.back() == kOutOfMemory;
            EXPECT_TRUE(out.result == 11 ? oom : !oom || !out.objects.empty()) << out.result;
            EXPECT_TRUE(out.result == 0 || out.result == 11 || (out.result == 19 && logged))
                << out.result;
            if (!sticky) single.push_back(out);
        }
    }
    return single;
}

// Each case is read again without a callback, which must not change the result, and one
// that reads with 0 again with each of its allocations failing.
template <size_t N> void check_reads(const ReadCase (&cases)[N], Describe describe)
{
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.name);
        ReadOutcome out = read_text(c.input, describe);
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.objects, c.objects);
        EXPECT_EQ(out.log, c.log);
        EXPECT_EQ(read_text(c.input, nullptr).result, c.result);
        if (c.result == 0) walk_allocation_failures(c.input, describe);
    }
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

}  // namespace kova::testing
