#include "run/memory_hints.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace xoprex {
namespace {

constexpr size_t kHugePage = size_t{1} << 21;
constexpr size_t kPage = size_t{1} << 12;
constexpr size_t kPrepareFrom = size_t{1} << 20;
#if defined(__linux__)
#if defined(MADV_POPULATE_WRITE)
constexpr int kPopulateWrite = MADV_POPULATE_WRITE;
#else
constexpr int kPopulateWrite = 23;  // Linux 5.14 and later
#endif
#endif

}  // namespace

void askForHugePages(void* data, size_t size) {
#if defined(__linux__)
    if (size < kPrepareFrom) {
        return;
    }
    const auto begin = reinterpret_cast<uintptr_t>(data);
    const uintptr_t hugeFirst = (begin + kHugePage - 1) / kHugePage * kHugePage;
    const uintptr_t hugeLast = (begin + size) / kHugePage * kHugePage;
    if (hugeLast > hugeFirst) {
        madvise(reinterpret_cast<void*>(hugeFirst), hugeLast - hugeFirst, MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)size;
#endif
}

void populate(void* data, size_t size) {
#if defined(__linux__)
    if (size < kPrepareFrom) {
        return;
    }
    const auto begin = reinterpret_cast<uintptr_t>(data);
    const uintptr_t pageFirst = (begin + kPage - 1) / kPage * kPage;
    const uintptr_t pageLast = (begin + size) / kPage * kPage;
    if (pageLast > pageFirst) {
        // Fails harmlessly (EINVAL) on kernels older than 5.14.
        madvise(reinterpret_cast<void*>(pageFirst), pageLast - pageFirst, kPopulateWrite);
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

}  // namespace xoprex
