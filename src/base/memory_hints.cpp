#include "base/memory_hints.h"

#include <cstdint>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace xoprex {
namespace {

constexpr size_t kHugePage = size_t{1} << 21;
constexpr size_t kPage = size_t{1} << 12;
constexpr size_t kHintFrom = size_t{1} << 20;
#if defined(__linux__)
#if defined(MADV_POPULATE_WRITE)
constexpr int kPopulateWrite = MADV_POPULATE_WRITE;
#else
constexpr int kPopulateWrite = 23;  // Linux 5.14 and later
#endif
#endif

// Gives `advice` for the whole `unit`-sized pages inside [data, data + size).
// A refused request (an older kernel, say) changes nothing.
void advise(void* data, size_t size, size_t unit, [[maybe_unused]] int advice) {
    const auto begin = reinterpret_cast<uintptr_t>(data);
    const uintptr_t first = (begin + unit - 1) / unit * unit;
    const uintptr_t last = (begin + size) / unit * unit;
    if (last > first) {
#if defined(__linux__)
        madvise(reinterpret_cast<void*>(first), last - first, advice);
#endif
    }
}

}  // namespace

void askForHugePages(void* data, size_t size) {
#if defined(__linux__)
    if (size >= kHintFrom) {
        advise(data, size, kHugePage, MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)size;
#endif
}

void populate(void* data, size_t size) {
#if defined(__linux__)
    if (size >= kHintFrom) {
        advise(data, size, kPage, kPopulateWrite);
    }
#else
    (void)data;
    (void)size;
#endif
}

void prepareForWriting(void* data, size_t size) {
    askForHugePages(data, size);
    populate(data, size);
}

void returnFreedMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

void releasePages(void* data, size_t size) {
#if defined(__linux__)
    advise(data, size, kPage, MADV_DONTNEED);
#else
    (void)data;
    (void)size;
#endif
}

}  // namespace xoprex
