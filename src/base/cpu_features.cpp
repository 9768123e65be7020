#include "base/cpu_features.h"

#include <cstdlib>
#include <string>

namespace xoprex {
namespace {

bool hasAvx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl");
}

InstructionSet widestSupported() {
    if (const char* wanted = std::getenv("XOPREX_KERNEL")) {
        const std::string name(wanted);
        if (name == "scalar") {
            return InstructionSet::Scalar;
        }
        if (name == "avx2" && cpuSupports(InstructionSet::Avx2)) {
            return InstructionSet::Avx2;
        }
    }
    if (cpuSupports(InstructionSet::Avx512)) {
        return InstructionSet::Avx512;
    }
    if (cpuSupports(InstructionSet::Avx2)) {
        return InstructionSet::Avx2;
    }
    return InstructionSet::Scalar;
}

}  // namespace

bool cpuSupports(InstructionSet set) {
    static const bool avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    static const bool avx512 = hasAvx512();
    switch (set) {
        case InstructionSet::Scalar:
            return true;
        case InstructionSet::Avx2:
            return avx2;
        case InstructionSet::Avx512:
            return avx512;
    }
    return false;
}

bool cpuHasByteShuffle() {
    static const bool supported = cpuSupports(InstructionSet::Avx512) && [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512vbmi") != 0;
    }();
    return supported;
}

bool cpuHasByteCompress() {
    static const bool supported = cpuSupports(InstructionSet::Avx512) && [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512vbmi2") != 0;
    }();
    return supported;
}

InstructionSet preferredInstructionSet() {
    static const InstructionSet set = widestSupported();
    return set;
}

}  // namespace xoprex
