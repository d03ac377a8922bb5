// The one allocation routine for everything a caller can reach from a record, and the
// one release routine. Tests can make the n-th allocation from now on fail, to walk
// every failure path of a parse or a build.
#pragma once

#include <cstddef>
#include <string_view>

namespace kova::model {

// Null for size 0 or when the heap is exhausted.
void *allocate(size_t size);
// Zeroed block; null as allocate.
void *allocate_zeroed(size_t size);
void *reallocate(void *block, size_t size);
// Does nothing for null.
void release(void *block);
// release for a block known to hold at least size bytes, such as a node of a record
// (no caller can have put anything smaller in its place): saves asking the heap.
void release_sized(void *block, size_t size);

// A NUL-terminated heap copy of text, or null.
char *copy_text(std::string_view text);

// While one lives, released blocks of up to 120 bytes are kept and handed out again by
// the allocation routines instead of going back to the C heap, which is slow for the
// few hundred small blocks a reader builds and releases for every object of a file.
// A kept block stays a live malloc block of at least the size asked for, so whoever
// ends up with it may free it; the last scope to end frees the blocks still kept.
// Scopes nest; the library's calls are serialised, so the keep is process-wide.
class RecyclingScope {
public:
    RecyclingScope();
    ~RecyclingScope();
    RecyclingScope(const RecyclingScope &) = delete;
    RecyclingScope &operator=(const RecyclingScope &) = delete;
};

// Test hook: the n-th allocation from now (1 = the next one) fails, and so does every
// later one when sticky is true. 0 switches failures off.
void fail_allocation_after(unsigned long n, bool sticky = false);
// Number of allocations made since the process started, for tests that count.
unsigned long allocation_count();

}  // namespace kova::model
