#include "model/alloc.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>

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

namespace kova::model {
namespace {

unsigned long g_fail_at = 0;  // 0: never
bool g_sticky = false;
unsigned long g_count = 0;

bool should_fail()
{
    ++g_count;
    if (g_fail_at == 0) return false;
    if (g_fail_at == 1) {
        if (!g_sticky) g_fail_at = 0;
        return true;
    }
    --g_fail_at;
    return false;
}

// The kept blocks, in buckets by usable size: bucket i holds blocks of at least 8*i
// bytes. A kept block is poisoned for AddressSanitizer, so that a use after its release
// is still caught.
constexpr size_t kKeptSize = 128;
constexpr size_t kBuckets = kKeptSize / 8 + 1;
constexpr unsigned kPerBucket = 256;  // beyond it, blocks go back to the heap

struct Bucket {
    unsigned count;
    void *blocks[kPerBucket];
};

struct Keep {
    unsigned scopes;
    Bucket buckets[kBuckets];
};

Keep g_keep;

void *take_kept(size_t size)
{
    if (g_keep.scopes == 0 || size > kKeptSize) return nullptr;
    // glibc's usable sizes are 24, 40, 56, ...: three buckets always reach the next one.
    size_t first = (size + 7) / 8;
    for (size_t i = first; i < first + 3 && i < kBuckets; ++i) {
        Bucket &b = g_keep.buckets[i];
        if (b.count == 0) continue;
        void *block = b.blocks[--b.count];
        KOVA_UNPOISON(block, size);
        return block;
    }
    return nullptr;
}

bool keep(void *block)
{
    if (g_keep.scopes == 0) return false;
    size_t usable = malloc_usable_size(block);
    if (usable > kKeptSize) return false;
    Bucket &b = g_keep.buckets[usable / 8];
    if (b.count == kPerBucket) return false;
    KOVA_POISON(block, usable);
    b.blocks[b.count++] = block;
    return true;
}

void *heap_block(size_t size)
{
    if (void *block = take_kept(size)) return block;
    return std::malloc(size);
}

}  // namespace

RecyclingScope::RecyclingScope() { ++g_keep.scopes; }

RecyclingScope::~RecyclingScope()
{
    if (--g_keep.scopes != 0) return;
    for (Bucket &b : g_keep.buckets) {
        while (b.count) {
            void *block = b.blocks[--b.count];
            KOVA_UNPOISON(block, malloc_usable_size(block));
            std::free(block);
        }
    }
}

void *allocate(size_t size)
{
    if (size == 0 || should_fail()) return nullptr;
    return heap_block(size);
}

// Records are built of many small nodes: malloc takes them from glibc's per-thread cache,
// which calloc passes by, and zeroing a few dozen bytes here costs next to nothing. The
// empty asm hides the block from the compiler, which would fuse malloc and memset back
// into calloc.
void *allocate_zeroed(size_t size)
{
    if (size == 0 || should_fail()) return nullptr;
    void *block = heap_block(size);
    if (!block) return nullptr;
    asm("" : "+r"(block));
    std::memset(block, 0, size);
    return block;
}

void *reallocate(void *block, size_t size)
{
    if (size == 0 || should_fail()) return nullptr;
    return std::realloc(block, size);
}

void release(void *block)
{
    if (block && !keep(block)) std::free(block);
}

char *copy_text(std::string_view text)
{
    char *copy = static_cast<char *>(allocate(text.size() + 1));
    if (!copy) return nullptr;
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

void fail_allocation_after(unsigned long n, bool sticky)
{
    g_fail_at = n;
    g_sticky = sticky;
}

unsigned long allocation_count() { return g_count; }

}  // namespace kova::model
