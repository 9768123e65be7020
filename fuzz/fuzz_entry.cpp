// libFuzzer entry point of one harness; the build names it with
// XOPREX_FUZZ_HARNESS (a name of harnesses()).
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "harnesses.h"

namespace {

int (*harnessNamed(const char* name))(const uint8_t*, size_t) {
    for (const xoprex::fuzz::Harness& harness : xoprex::fuzz::harnesses()) {
        if (std::strcmp(harness.name, name) == 0) {
            return harness.run;
        }
    }
    std::cerr << "no fuzz harness named " << name << '\n';
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const auto run = harnessNamed(XOPREX_FUZZ_HARNESS);
    return run(data, size);
}
