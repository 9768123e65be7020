// Every kernel that needs AVX2. Callers choose them through
// base/cpu_features.h; each gives exactly what its scalar counterpart gives.
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "scan/detail/simd.h"
#include "scan/detail/window_kernel.h"

namespace xoprex::scan_detail {
namespace simd {

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

// The same with AVX2: 32 windows per step in two vectors of 16 sums; the
// unsigned comparison is max(sum, threshold) == sum.
__attribute__((target("avx2"))) void WindowKernel::candidates256(size_t count,
                                                                 const std::vector<uint8_t>& bounds,
                                                                 uint32_t threshold,
                                                                 std::vector<uint32_t>& out) const {
    const size_t length = static_cast<size_t>(length_);
    const uint8_t* codes = classes_.data();
    const __m256i limit = _mm256_set1_epi16(static_cast<short>(threshold));
    for (size_t i = 0; i < count; i += 32) {
        __m256i s0 = _mm256_setzero_si256(), s1 = _mm256_setzero_si256();
        for (size_t l = 0; l < length; ++l) {
            const __m256i table = _mm256_broadcastsi128_si256(
                _mm_loadu_si128((const __m128i*)(bounds.data() + l * 16)));
            const __m256i picked =
                _mm256_shuffle_epi8(table, _mm256_loadu_si256((const __m256i*)(codes + i + l)));
            s0 = _mm256_add_epi16(s0, _mm256_cvtepu8_epi16(_mm256_castsi256_si128(picked)));
            s1 = _mm256_add_epi16(s1, _mm256_cvtepu8_epi16(_mm256_extracti128_si256(picked, 1)));
        }
        const uint32_t low = static_cast<uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi16(_mm256_max_epu16(s0, limit), s0)));
        const uint32_t high = static_cast<uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi16(_mm256_max_epu16(s1, limit), s1)));
        // The last block runs over the codes' padding: its own windows only.
        const size_t windows = std::min<size_t>(32, count - i);
        for (uint32_t k = 0; k < 16 && k < windows; ++k) {
            if (low & (1u << (2 * k))) {
                out.push_back(static_cast<uint32_t>(i + k));
            }
        }
        for (uint32_t k = 0; k + 16 < windows; ++k) {
            if (high & (1u << (2 * k))) {
                out.push_back(static_cast<uint32_t>(i + 16 + k));
            }
        }
    }
}

}  // namespace xoprex::scan_detail
