// Every kernel that needs AVX2. Callers choose them through
// base/cpu_features.h; each gives exactly what its scalar counterpart gives.
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "scan/detail/simd.h"
#include "scan/detail/window_kernel.h"

namespace xoprex::scan_detail {
namespace {

// Bit k set when byte k of sum is at most limit's.
__attribute__((target("avx2"))) inline uint64_t within(__m256i sum, __m256i limit) {
    return static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(sum, limit), sum)));
}

}  // namespace

namespace simd {

__attribute__((target("avx2,popcnt"))) size_t countBases256(const char* text, size_t n,
                                                            std::array<size_t, 4>& counts) {
    const __m256i letters[4] = {_mm256_set1_epi8('A'), _mm256_set1_epi8('C'), _mm256_set1_epi8('G'),
                                _mm256_set1_epi8('T')};
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i bytes = _mm256_loadu_si256((const __m256i*)(text + i));
        for (size_t b = 0; b < 4; ++b) {
            counts[b] += static_cast<size_t>(__builtin_popcount(
                static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, letters[b])))));
        }
    }
    return i;
}

__attribute__((target("avx2"))) void divide256(const double* in, size_t count, double divisor,
                                               double* out) {
    const __m256d by = _mm256_set1_pd(divisor);
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        _mm256_storeu_pd(out + i, _mm256_div_pd(_mm256_loadu_pd(in + i), by));
    }
    for (; i < count; ++i) {
        out[i] = in[i] / divisor;
    }
}

}  // namespace simd

// The filter's sums with AVX2: 32 windows per vector, two vectors per
// block of 64; "sum <= limit" is min(sum, limit) == sum.
__attribute__((target("avx2"))) void WindowKernel::survivors256(const uint8_t* codes, size_t count,
                                                                const uint8_t* rows,
                                                                uint64_t* masks) const {
    const size_t length = static_cast<size_t>(length_);
    const __m256i limit = _mm256_set1_epi8(static_cast<char>(kFilterLimit));
    for (size_t i = 0, b = 0; i < count; i += 64, ++b) {
        __m256i s0 = _mm256_setzero_si256(), s1 = _mm256_setzero_si256();
        for (size_t l = 0; l < length; ++l) {
            const __m256i row = _mm256_loadu_si256((const __m256i*)(rows + l * 64));
            const uint8_t* at = codes + i + l;
            s0 = _mm256_adds_epu8(s0,
                                  _mm256_shuffle_epi8(row, _mm256_loadu_si256((const __m256i*)at)));
            s1 = _mm256_adds_epu8(
                s1, _mm256_shuffle_epi8(row, _mm256_loadu_si256((const __m256i*)(at + 32))));
        }
        const auto low = static_cast<uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(s0, limit), s0)));
        const auto high = static_cast<uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(s1, limit), s1)));
        masks[b] = static_cast<uint64_t>(high) << 32 | low;
    }
}

__attribute__((target("avx2"))) void WindowKernel::bothSurvivors256(
    const uint8_t* codes, size_t count, const uint8_t* forwardRows, const uint8_t* reverseRows,
    uint64_t* forwardMasks, uint64_t* reverseMasks) const {
    const size_t length = static_cast<size_t>(length_);
    const __m256i limit = _mm256_set1_epi8(static_cast<char>(kFilterLimit));
    for (size_t i = 0, b = 0; i < count; i += 64, ++b) {
        forwardMasks[b] = 0;
        reverseMasks[b] = 0;
        for (size_t half = 0; half < 64; half += 32) {
            __m256i f = _mm256_setzero_si256(), r = _mm256_setzero_si256();
            for (size_t l = 0; l < length; ++l) {
                const __m256i c = _mm256_loadu_si256((const __m256i*)(codes + i + half + l));
                const __m256i fr = _mm256_loadu_si256((const __m256i*)(forwardRows + l * 64));
                const __m256i rr = _mm256_loadu_si256((const __m256i*)(reverseRows + l * 64));
                f = _mm256_adds_epu8(f, _mm256_shuffle_epi8(fr, c));
                r = _mm256_adds_epu8(r, _mm256_shuffle_epi8(rr, c));
            }
            forwardMasks[b] |= within(f, limit) << half;
            reverseMasks[b] |= within(r, limit) << half;
        }
    }
}

}  // namespace xoprex::scan_detail
