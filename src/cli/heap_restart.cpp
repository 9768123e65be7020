#include "cli/heap_restart.h"

#include <unistd.h>

#include <cstdlib>

void restartWithHugePageHeap(char** argv) {
    if (std::getenv("GLIBC_TUNABLES") != nullptr) {
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
