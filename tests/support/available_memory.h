// The memory the system could give a new program, for tests that need
// gigabytes and are skipped without them.
#pragma once

#include <cstddef>
#include <fstream>
#include <string>

namespace xoprex::testing {

// MemAvailable of /proc/meminfo, in bytes (0 when it cannot be read).
inline size_t availableMemory() {
    std::ifstream info("/proc/meminfo");
    std::string key;
    size_t kilobytes = 0;
    while (info >> key >> kilobytes) {
        if (key == "MemAvailable:") {
            return kilobytes * 1024;
        }
        info.ignore(256, '\n');
    }
    return 0;
}

}  // namespace xoprex::testing
