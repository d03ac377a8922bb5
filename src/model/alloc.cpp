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

// The kept blocks, in classes by usable size: a block of class c holds at least 16*c-8
// bytes, which are glibc's usable sizes (24, 40, 56, ...), so that one class serves a
// request. Classes 0 and 1 (under 24 bytes, which glibc never hands out) are never
// asked for. A kept block is poisoned for AddressSanitizer, so that a use after its
// release is still caught.
constexpr size_t kKeptSize = 120;
constexpr size_t kClasses = (kKeptSize + 8) / 16 + 1;
constexpr unsigned kPerClass = 256;  // beyond it, blocks go back to the heap

struct Bucket {
    unsigned count;
    void *blocks[kPerClass];
};

struct Keep {
    unsigned scopes;
    Bucket buckets[kClasses];
};

Keep g_keep;

__attribute__((always_inline)) inline void *take_kept(size_t size)
{
    if (g_keep.scopes == 0 || size > kKeptSize) return nullptr;
    size_t c = (size + 23) / 16;  // the least class with 16*c-8 >= size
    Bucket &b = g_keep.buckets[c < 2 ? 2 : c];
    if (b.count == 0) return nullptr;
    void *block = b.blocks[--b.count];
    KOVA_UNPOISON(block, size);
    return block;
}

bool keep(void *block, size_t usable)
{
    if (usable > kKeptSize) return false;
    Bucket &b = g_keep.buckets[(usable + 8) / 16];
    if (b.count == kPerClass) return false;
    KOVA_POISON(block, usable);
    b.blocks[b.count++] = block;
    return true;
}

__attribute__((always_inline)) inline void *heap_block(size_t size)
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
    if (!block) return;
    if (g_keep.scopes == 0 || !keep(block, malloc_usable_size(block))) std::free(block);
}

void release_sized(void *block, size_t size)
{
    if (!block) return;
    if (g_keep.scopes == 0 || !keep(block, size)) std::free(block);
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
