#include "model/alloc.h"

#include <cstdlib>
#include <cstring>

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

}  // namespace

void *allocate(size_t size)
{
    if (size == 0 || should_fail()) return nullptr;
    return std::malloc(size);
}

// Records are built of many small nodes: malloc takes them from glibc's per-thread cache,
// which calloc passes by, and zeroing a few dozen bytes here costs next to nothing. The
// empty asm hides the block from the compiler, which would fuse malloc and memset back
// into calloc.
void *allocate_zeroed(size_t size)
{
    if (size == 0 || should_fail()) return nullptr;
    void *block = std::malloc(size);
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

void release(void *block) { std::free(block); }

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
