#include "cli/heap_settings.h"

#include <sys/resource.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

constexpr rlim_t kNeeded = rlim_t{512} << 20;

// Whether the process may reserve heap ahead: the limits on its address
// space and data segment (unlimited, at least kNeeded, or neither: no
// room), and whether either is set at all.
bool roomForTheSettings(bool& limited) {
    limited = false;
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit limit{};
        if (getrlimit(resource, &limit) != 0) {
            return false;
        }
        if (limit.rlim_cur != RLIM_INFINITY) {
            limited = true;
            if (limit.rlim_cur < kNeeded) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

void tuneHeapForScanning() {
#if defined(__GLIBC__)
    bool limited = false;
    if (std::getenv("GLIBC_TUNABLES") != nullptr || !roomForTheSettings(limited)) {
        return;
    }
    constexpr size_t kMiB = size_t{1} << 20;
    constexpr size_t kHugePage = 2 * kMiB;
    constexpr int kStep = 32 << 20;
    const int reserve = limited ? kStep : 512 << 20;
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, kStep);
    mallopt(M_TRIM_THRESHOLD, 1024 << 20);
    // The heap grows once by the reserve, and the pages it spans are marked
    // for huge pages; later growth is a step at a time.
    mallopt(M_TOP_PAD, reserve);
    const auto before = reinterpret_cast<uintptr_t>(sbrk(0));
    void* volatile grown = std::malloc(kMiB);  // volatile: the pair is not elided
    std::free(grown);
    const auto after = reinterpret_cast<uintptr_t>(sbrk(0));
    mallopt(M_TOP_PAD, kStep);
    const uintptr_t first = (before + kHugePage - 1) / kHugePage * kHugePage;
    const uintptr_t last = after / kHugePage * kHugePage;
    if (last > first) {
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#endif
}
