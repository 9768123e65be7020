#include "cli/heap_restart.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <initializer_list>

namespace {

// The allocator's settings reserve tens of megabytes ahead: under a tight
// limit on the address space or the data segment they would make it fail
// (and the process abort) where the default settings still work.
bool roomForTheSettings() {
    constexpr rlim_t kNeeded = rlim_t{512} << 20;
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit limit{};
        if (getrlimit(resource, &limit) != 0) {
            return false;
        }
        if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < kNeeded) {
            return false;
        }
    }
    return true;
}

}  // namespace

void restartWithHugePageHeap(char** argv) {
    if (std::getenv("GLIBC_TUNABLES") != nullptr || !roomForTheSettings()) {
        return;
    }
    constexpr const char* kTunables =
        "glibc.malloc.hugetlb=1:glibc.malloc.arena_max=1:glibc.malloc.top_pad=33554432:"
        "glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456";
    if (setenv("GLIBC_TUNABLES", kTunables, 1) != 0) {
        return;
    }
    execv("/proc/self/exe", argv);
    unsetenv("GLIBC_TUNABLES");  // the restart failed: go on as we are
}
