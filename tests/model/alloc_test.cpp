#include "model/alloc.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kova::model {
namespace {

// Inside a scope a released small block comes back for the next request it can hold, and
// holds what is asked; nested scopes keep it until the outermost ends. LeakSanitizer sees
// a block that the last scope failed to free.
TEST(Alloc, RecyclingScopeHandsReleasedBlocksOutAgain)
{
    RecyclingScope outer;
    void *node = allocate(24);
    void *text = allocate(104);
    void *big = allocate(4096);
    {
        RecyclingScope inner;
        release(node);
        release(text);
        release(big);
    }
    void *again = allocate(24);
    EXPECT_EQ(again, node);
    void *second = allocate(90);  // text's class serves up to its size
    EXPECT_EQ(second, text);
    std::memset(second, 'x', 90);
    release_sized(again, 24);
    void *third = allocate(17);  // a 24-byte block holds 17 bytes
    EXPECT_EQ(third, again);
    release(third);
    release(second);
}

// The test hook fails the same allocations whether or not a scope hands out kept blocks.
TEST(Alloc, FailsTheNthAllocationInsideAScope)
{
    RecyclingScope scope;
    release(allocate(24));
    unsigned long before = allocation_count();
    fail_allocation_after(2);
    void *first = allocate(24);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(allocate(24), nullptr);
    EXPECT_EQ(allocation_count() - before, 2u);
    release(first);
}

}  // namespace
}  // namespace kova::model
