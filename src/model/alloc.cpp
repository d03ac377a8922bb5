#include "model/alloc.h"

#include <cstdlib>
#include <cstring>

#include "model/heap.h"

namespace kova::model {

heap::State heap::g_state;

RecyclingScope::RecyclingScope() { ++heap::g_state.scopes; }

RecyclingScope::~RecyclingScope()
{
    if (--heap::g_state.scopes != 0) return;
    for (heap::Class &k : heap::g_state.classes) {
        while (k.count) {
            void *block = k.blocks[--k.count];
            KOVA_UNPOISON(block, malloc_usable_size(block));
            std::free(block);
        }
    }
}

void *allocate(size_t size) { return heap::allocate(size); }

// Records are built of many small nodes: malloc takes them from glibc's per-thread cache,
// which calloc passes by, and zeroing a few dozen bytes here costs next to nothing. The
// empty asm hides the block from the compiler, which would fuse malloc and memset back
// into calloc.
void *allocate_zeroed(size_t size)
{
    void *block = heap::allocate(size);
    if (!block) return nullptr;
    asm("" : "+r"(block));
    std::memset(block, 0, size);
    return block;
}

void *reallocate(void *block, size_t size)
{
    if (size == 0 || heap::should_fail()) return nullptr;
    return std::realloc(block, size);
}

void release(void *block) { heap::release(block); }

void release_sized(void *block, size_t size) { heap::release_sized(block, size); }

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
    heap::g_state.fail_at = n;
    heap::g_state.sticky = sticky;
}

unsigned long allocation_count() { return heap::g_state.count; }

}  // namespace kova::model
