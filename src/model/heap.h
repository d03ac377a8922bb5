// The state behind the allocation routines of alloc.h, with their fast paths inline, so
// that the record helpers of this module build and release nodes without a call for
// each. For model/ only: everyone else goes through alloc.h.
#pragma once

#include <malloc.h>

#include <cstddef>
#include <cstdlib>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KOVA_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(KOVA_ASAN)
#include <sanitizer/asan_interface.h>
#define KOVA_POISON(block, size) ASAN_POISON_MEMORY_REGION(block, size)
#define KOVA_UNPOISON(block, size) ASAN_UNPOISON_MEMORY_REGION(block, size)
#else
#define KOVA_POISON(block, size) ((void)(block), (void)(size))
#define KOVA_UNPOISON(block, size) ((void)(block), (void)(size))
#endif

namespace kova::model::heap {

// The kept blocks of a RecyclingScope, in classes by usable size: a block of class c
// holds at least 16*c-8 bytes, which are glibc's usable sizes (24, 40, 56, ...), so that
// one class serves a request. Classes 0 and 1 (under 24 bytes, which glibc never hands
// out) are never asked for. A kept block is poisoned for AddressSanitizer, so that a use
// after its release is still caught.
constexpr size_t kKeptSize = 120;
constexpr size_t kClasses = (kKeptSize + 8) / 16 + 1;
constexpr unsigned kPerClass = 256;  // beyond it, blocks go back to the heap

struct Class {
    unsigned count;
    void *blocks[kPerClass];
};

struct State {
    unsigned long fail_at;  // the test hook: 0 never, else the allocation that fails
    bool sticky;
    unsigned long count;  // allocations so far
    unsigned scopes;
    Class classes[kClasses];
};

extern State g_state;

// Counts the allocation and tells whether the test hook fails it.
inline bool should_fail()
{
    ++g_state.count;
    if (g_state.fail_at == 0) return false;
    if (g_state.fail_at == 1) {
        if (!g_state.sticky) g_state.fail_at = 0;
        return true;
    }
    --g_state.fail_at;
    return false;
}

inline void *take_kept(size_t size)
{
    if (g_state.scopes == 0 || size > kKeptSize) return nullptr;
    size_t c = (size + 23) / 16;  // the least class with 16*c-8 >= size
    Class &k = g_state.classes[c < 2 ? 2 : c];
    if (k.count == 0) return nullptr;
    void *block = k.blocks[--k.count];
    KOVA_UNPOISON(block, size);
    return block;
}

// Keeps a block of at least usable bytes while a scope lives; false when it is not kept.
inline bool keep(void *block, size_t usable)
{
    if (g_state.scopes == 0 || usable > kKeptSize) return false;
    Class &k = g_state.classes[(usable + 8) / 16];
    if (k.count == kPerClass) return false;
    KOVA_POISON(block, usable);
    k.blocks[k.count++] = block;
    return true;
}

// alloc.h's allocate, release_sized and release.
inline void *allocate(size_t size)
{
    if (size == 0 || should_fail()) return nullptr;
    if (void *block = take_kept(size)) return block;
    return std::malloc(size);
}

inline void release_sized(void *block, size_t size)
{
    if (block && !keep(block, size)) std::free(block);
}

inline void release(void *block)
{
    if (!block) return;
    // The heap is asked for the size only while a scope may keep the block.
    if (g_state.scopes == 0 || !keep(block, malloc_usable_size(block))) std::free(block);
}

}  // namespace kova::model::heap
