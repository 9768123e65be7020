// Every kernel that needs AVX2. Callers choose them through
// base/cpu_features.h; each gives exactly what its scalar counterpart gives.
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
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

// The filter's sums for both strands, 32 windows per vector and two vectors
// per block of 64: row k of each strand's bounds (64 bytes apart, 16 bounds
// in each 16-byte lane) looked up by the codes at offset stride * k.
__attribute__((target("avx2"))) void bothSums256(const uint8_t* codes, size_t count, size_t rows,
                                                 size_t stride, const uint8_t* forwardRows,
                                                 const uint8_t* reverseRows, uint8_t limitValue,
                                                 uint64_t* forwardMasks, uint64_t* reverseMasks) {
    const __m256i limit = _mm256_set1_epi8(static_cast<char>(limitValue));
    for (size_t i = 0, b = 0; i < count; i += 64, ++b) {
        forwardMasks[b] = 0;
        reverseMasks[b] = 0;
        for (size_t half = 0; half < 64; half += 32) {
            __m256i f = _mm256_setzero_si256(), r = _mm256_setzero_si256();
            for (size_t k = 0; k < rows; ++k) {
                const __m256i c =
                    _mm256_loadu_si256((const __m256i*)(codes + i + half + stride * k));
                const __m256i fr = _mm256_loadu_si256((const __m256i*)(forwardRows + k * 64));
                const __m256i rr = _mm256_loadu_si256((const __m256i*)(reverseRows + k * 64));
                f = _mm256_adds_epu8(f, _mm256_shuffle_epi8(fr, c));
                r = _mm256_adds_epu8(r, _mm256_shuffle_epi8(rr, c));
            }
            forwardMasks[b] |= within(f, limit) << half;
            reverseMasks[b] |= within(r, limit) << half;
        }
    }
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

// 32 bytes at a time: each byte's letter by a byte shuffle on its low four
// bits, checked against the letter those four bits stand for (A, C, G and T
// differ in them), then the words 4 x + y in place.
__attribute__((target("avx2"))) bool baseWords256(const char* text, size_t count, uint8_t* words) {
    alignas(32) uint8_t letterOf[32] = {};
    alignas(32) uint8_t byteOf[32];
    std::fill(std::begin(byteOf), std::end(byteOf), uint8_t{0xFF});
    byteOf[15] = byteOf[31] = 0;  // a byte that low four bits 15 never stand for
    const char bases[] = {'A', 'C', 'G', 'T'};
    for (uint8_t x = 0; x < 4; ++x) {
        const auto low = static_cast<uint8_t>(bases[x] & 15);
        letterOf[low] = letterOf[low + 16] = x;
        byteOf[low] = byteOf[low + 16] = static_cast<uint8_t>(bases[x]);
    }
    const __m256i letters = _mm256_load_si256((const __m256i*)letterOf);
    const __m256i expected = _mm256_load_si256((const __m256i*)byteOf);
    const __m256i lowBits = _mm256_set1_epi8(15);
    const size_t whole = (count + 31) / 32 * 32;
    size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m256i bytes = _mm256_loadu_si256((const __m256i*)(text + i));
        const __m256i low = _mm256_and_si256(bytes, lowBits);
        const __m256i same = _mm256_cmpeq_epi8(bytes, _mm256_shuffle_epi8(expected, low));
        if (_mm256_movemask_epi8(same) != -1) {
            return false;
        }
        _mm256_storeu_si256((__m256i*)(words + i), _mm256_shuffle_epi8(letters, low));
    }
    for (; i < count; ++i) {
        const auto byte = static_cast<uint8_t>(text[i]);
        if (byteOf[byte & 15] != byte) {
            return false;
        }
        words[i] = letterOf[byte & 15];
    }
    std::fill(words + count, words + whole + 32, uint8_t{0});
    for (i = 0; i < whole; i += 32) {
        __m256i x = _mm256_loadu_si256((const __m256i*)(words + i));
        const __m256i y = _mm256_loadu_si256((const __m256i*)(words + i + 1));
        x = _mm256_add_epi8(x, x);
        x = _mm256_add_epi8(x, x);
        _mm256_storeu_si256((__m256i*)(words + i), _mm256_add_epi8(x, y));
    }
    return true;
}

// A byte is one of the letters when the bits its low four bits allow (0x4?
// bit 0, 0x5? bit 1) include the one of its high four bits.
__attribute__((target("avx2"))) size_t complementableBlocks256(const char* text, size_t n) {
    alignas(32) uint8_t byLow[32] = {};
    alignas(32) uint8_t byHigh[32] = {};
    for (const char letter :
         {'A', 'C', 'G', 'T', 'B', 'V', 'D', 'H', 'K', 'M', 'R', 'Y', 'S', 'W', 'N', 'X'}) {
        const auto byte = static_cast<uint8_t>(letter);
        const auto bit = static_cast<uint8_t>(1 << ((byte >> 4) - 4));
        byLow[byte & 15] |= bit;
        byLow[(byte & 15) + 16] |= bit;
    }
    byHigh[4] = byHigh[20] = 1;
    byHigh[5] = byHigh[21] = 2;
    const __m256i low = _mm256_load_si256((const __m256i*)byLow);
    const __m256i high = _mm256_load_si256((const __m256i*)byHigh);
    const __m256i nibble = _mm256_set1_epi8(15);
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i bytes = _mm256_loadu_si256((const __m256i*)(text + i));
        const __m256i allowed = _mm256_shuffle_epi8(low, _mm256_and_si256(bytes, nibble));
        const __m256i wanted =
            _mm256_shuffle_epi8(high, _mm256_and_si256(_mm256_srli_epi16(bytes, 4), nibble));
        const __m256i none =
            _mm256_cmpeq_epi8(_mm256_and_si256(allowed, wanted), _mm256_setzero_si256());
        if (_mm256_movemask_epi8(none) != 0) {
            break;
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
    bothSums256(codes, count, static_cast<size_t>(length_), 1, forwardRows, reverseRows,
                kFilterLimit, forwardMasks, reverseMasks);
}

// The word filter's sums with words of two bases: ceil(L / 2) rows of 16
// bounds (in each 16-byte lane), one byte shuffle each per strand and 32
// windows.
void WindowKernel::wordSurvivors256(const uint8_t* words, size_t count, const uint8_t* forwardRows,
                                    const uint8_t* reverseRows, uint64_t* forwardMasks,
                                    uint64_t* reverseMasks) const {
    bothSums256(words, count, (static_cast<size_t>(length_) + 1) / 2, 2, forwardRows, reverseRows,
                kFilterLimit, forwardMasks, reverseMasks);
}

}  // namespace xoprex::scan_detail
