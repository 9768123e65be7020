// The one place that asks the CPU what it can run. The vector kernels
// (window scoring, reverse complement, division of score blocks) pick their
// path from here, and every path gives the same results.
#pragma once

namespace xoprex {

enum class InstructionSet { Scalar, Avx2, Avx512 };

// True when the CPU runs `set` (Avx512: the F, BW and VL extensions).
bool cpuSupports(InstructionSet set);

// True when the CPU has the AVX-512 byte permutes (VBMI) on top of Avx512.
bool cpuHasByteShuffle();

// True when the CPU has the AVX-512 byte compress (VBMI2) on top of Avx512.
bool cpuHasByteCompress();

// The widest set the CPU runs. The environment variable XOPREX_KERNEL
// (scalar or avx2) asks for a narrower one, to compare paths on one
// machine; a set the CPU lacks is never chosen. Read once per process.
InstructionSet preferredInstructionSet();

}  // namespace xoprex
