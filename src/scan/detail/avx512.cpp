// Every kernel that needs AVX-512. Callers choose them through
// base/cpu_features.h; each gives exactly what its scalar counterpart gives.
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <string>

#include "scan/detail/simd.h"
#include "scan/detail/window_kernel.h"

namespace xoprex::scan_detail {
namespace {

// Zero-extending conversions in their zero-masked form: the plain forms start
// from an undefined register, which GCC 12 reports as possibly uninitialized
// at -O2 and above.
__attribute__((target("avx512f"))) inline __m512i widen8(__m128i bytes) {
    return _mm512_maskz_cvtepu8_epi64(0xFF, bytes);
}

// Sixteen class codes as 32-bit lanes.
__attribute__((target("avx512f"))) inline __m512i codes16(const uint8_t* at) {
    return _mm512_maskz_cvtepu8_epi32(0xFFFF, _mm_loadu_si128((const __m128i*)at));
}

__attribute__((target("avx512f,avx512bw"))) inline __m512i widen32(__m256i bytes) {
    return _mm512_maskz_cvtepu8_epi16(0xFFFFFFFF, bytes);
}

// The complements of 64 bytes from the table's first 128 entries (`low` and
// `high`; vpermi2b uses the low 7 bits, so bytes from 128 up, which have
// none, are masked out). False when one of the bytes has no complement.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline bool complement64(
    __m512i low, __m512i high, __m512i bytes, __m512i& complement) {
    complement = _mm512_maskz_permutex2var_epi8(_mm512_movepi8_mask(bytes) ^ ~__mmask64{0}, low,
                                                bytes, high);
    return _mm512_test_epi8_mask(complement, complement) == ~__mmask64{0};
}

// The letters of the 64 bytes of text[0..count) at `at` (0 past count);
// false for a byte that is not a base.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline bool lettersAt(
    const char* text, size_t count, size_t at, __m512i low, __m512i high, __m512i four,
    __m512i& letters) {
    const __mmask64 valid = at >= count        ? 0
                            : count - at >= 64 ? ~__mmask64{0}
                                               : (__mmask64{1} << (count - at)) - 1;
    const __m512i bytes = _mm512_maskz_loadu_epi8(valid, text + at);
    letters = _mm512_maskz_permutex2var_epi8(valid, low, bytes, high);
    return ((_mm512_movepi8_mask(bytes) | _mm512_cmpeq_epi8_mask(letters, four)) & valid) == 0;
}

}  // namespace

namespace simd {

// Class codes of 64 bytes at a time: a byte permute over two 64-entry
// slices of the class table for bytes below 128, another for the others.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void classifyBytes512(
    const std::array<uint8_t, 256>& classOf, const char* text, size_t count, uint8_t* out) {
    const __m512i t0 = _mm512_loadu_si512(classOf.data());
    const __m512i t1 = _mm512_loadu_si512(classOf.data() + 64);
    const __m512i t2 = _mm512_loadu_si512(classOf.data() + 128);
    const __m512i t3 = _mm512_loadu_si512(classOf.data() + 192);
    constexpr __mmask64 kAll = ~__mmask64{0};
    size_t i = 0;
    for (; i + 64 <= count; i += 64) {
        const __m512i bytes = _mm512_loadu_si512(text + i);
        const __m512i low = _mm512_maskz_permutex2var_epi8(kAll, t0, bytes, t1);
        const __m512i high = _mm512_maskz_permutex2var_epi8(kAll, t2, bytes, t3);
        _mm512_storeu_si512(out + i, _mm512_mask_blend_epi8(_mm512_movepi8_mask(bytes), low, high));
    }
    for (; i < count; ++i) {
        out[i] = classOf[static_cast<unsigned char>(text[i])];
    }
}

// 64 bytes at a time: their letters by a byte permute over the table of the
// 128 bytes below 128 (A, C, G, T to 0..3, the others to 4; bytes from 128
// up have none), the next block's first two letters brought in by two more
// permutes over both blocks, and the word 16 x + 4 y + z with adds.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) bool baseWords512(const char* text,
                                                                         size_t count,
                                                                         uint8_t* words) {
    alignas(64) uint8_t table[128];
    alignas(64) uint8_t second[64];
    alignas(64) uint8_t third[64];
    std::fill(std::begin(table), std::end(table), uint8_t{4});
    table['A'] = 0;
    table['C'] = 1;
    table['G'] = 2;
    table['T'] = 3;
    for (uint8_t j = 0; j < 64; ++j) {
        second[j] = static_cast<uint8_t>(j + 1);
        third[j] = static_cast<uint8_t>(j + 2);
    }
    const __m512i low = _mm512_load_si512(table);
    const __m512i high = _mm512_load_si512(table + 64);
    const __m512i one = _mm512_load_si512(second);
    const __m512i two = _mm512_load_si512(third);
    const __m512i four = _mm512_set1_epi8(4);
    __m512i current;
    if (!lettersAt(text, count, 0, low, high, four, current)) {
        return false;
    }
    for (size_t i = 0; i < count; i += 64) {
        __m512i next;
        if (!lettersAt(text, count, i + 64, low, high, four, next)) {
            return false;
        }
        constexpr __mmask64 kAll = ~__mmask64{0};
        const __m512i y = _mm512_maskz_permutex2var_epi8(kAll, current, one, next);
        const __m512i z = _mm512_maskz_permutex2var_epi8(kAll, current, two, next);
        __m512i word = _mm512_add_epi8(current, current);
        word = _mm512_add_epi8(word, word);
        word = _mm512_add_epi8(word, y);
        word = _mm512_add_epi8(word, word);
        word = _mm512_add_epi8(word, word);
        _mm512_storeu_si512(words + i, _mm512_add_epi8(word, z));
        current = next;
    }
    return true;
}

// 64 bytes at a time: the complement of each byte from the table's first
// 128 entries (bytes from 128 up have none), the block reversed by a byte
// permute. A block holding a byte without complement goes through the
// scalar loop, so the dropping rule is the same.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void appendReverseComplement512(
    const std::array<char, 256>& table, const char* text, size_t n, std::string& out,
    void (*scalar)(const char*, size_t, std::string&)) {
    const __m512i low = _mm512_loadu_si512(table.data());
    const __m512i high = _mm512_loadu_si512(table.data() + 64);
    alignas(64) uint8_t reversed[64];
    for (int i = 0; i < 64; ++i) {
        reversed[i] = static_cast<uint8_t>(63 - i);
    }
    const __m512i reverse = _mm512_load_si512(reversed);
    alignas(64) char buffer[4096];
    size_t kept = 0;
    size_t end = n;
    for (; end >= 64; end -= 64) {
        const __m512i bytes = _mm512_loadu_si512(text + end - 64);
        __m512i complement;
        if (!complement64(low, high, bytes, complement)) {
            out.append(buffer, kept);
            kept = 0;
            scalar(text + end - 64, 64, out);
            continue;
        }
        _mm512_storeu_si512(buffer + kept,
                            _mm512_maskz_permutexvar_epi8(~__mmask64{0}, reverse, complement));
        kept += 64;
        if (kept == sizeof buffer) {
            out.append(buffer, kept);
            kept = 0;
        }
    }
    out.append(buffer, kept);
    scalar(text, end, out);
}

// The whole 64-byte blocks at the start of text[0..n) whose every byte has
// a complement: their length, and their complements written to `out` when
// it is given (it may be `text` itself).
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) size_t complementedBlocks512(
    const std::array<char, 256>& table, const char* text, size_t n, char* out) {
    const __m512i low = _mm512_loadu_si512(table.data());
    const __m512i high = _mm512_loadu_si512(table.data() + 64);
    size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        __m512i complement;
        if (!complement64(low, high, _mm512_loadu_si512(text + i), complement)) {
            break;
        }
        if (out != nullptr) {
            _mm512_storeu_si512(out + i, complement);
        }
    }
    return i;
}

// Reverses text[0..n) by swapping 64-byte blocks from both ends.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void reverse512(char* text, size_t n) {
    alignas(64) uint8_t reversed[64];
    for (int i = 0; i < 64; ++i) {
        reversed[i] = static_cast<uint8_t>(63 - i);
    }
    const __m512i reverse = _mm512_load_si512(reversed);
    size_t front = 0;
    size_t back = n;
    for (; back - front >= 128; front += 64, back -= 64) {
        const __m512i head = _mm512_loadu_si512(text + front);
        const __m512i tail = _mm512_loadu_si512(text + back - 64);
        _mm512_storeu_si512(text + front,
                            _mm512_maskz_permutexvar_epi8(~__mmask64{0}, reverse, tail));
        _mm512_storeu_si512(text + back - 64,
                            _mm512_maskz_permutexvar_epi8(~__mmask64{0}, reverse, head));
    }
    std::reverse(text + front, text + back);
}

__attribute__((target("avx512f,avx512bw"))) size_t countBases512(const char* text, size_t n,
                                                                 std::array<size_t, 4>& counts) {
    const __m512i letters[4] = {_mm512_set1_epi8('A'), _mm512_set1_epi8('C'), _mm512_set1_epi8('G'),
                                _mm512_set1_epi8('T')};
    size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m512i bytes = _mm512_loadu_si512(text + i);
        for (size_t b = 0; b < 4; ++b) {
            counts[b] += static_cast<size_t>(
                __builtin_popcountll(_mm512_cmpeq_epi8_mask(bytes, letters[b])));
        }
    }
    return i;
}

__attribute__((target("avx512f"))) void divide512(const double* in, size_t count, double divisor,
                                                  double* out) {
    const __m512d by = _mm512_set1_pd(divisor);
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        _mm512_storeu_pd(out + i, _mm512_div_pd(_mm512_loadu_pd(in + i), by));
    }
    for (; i < count; ++i) {
        out[i] = in[i] / divisor;
    }
}

}  // namespace simd

// Lanes are consecutive windows; each lane starts at +0.0 and adds its terms
// for positions 0, 1, ..., L - 1, exactly as the scalar sum does. The terms
// are looked up by the class codes of the text; for the reverse strand, at
// position l the code at offset L - 1 - l (its complement's terms).
__attribute__((target("avx512f,avx512bw,avx512vl"))) void WindowKernel::blockClasses512(
    const uint8_t* codes, size_t count, const double* terms, bool reverse, double* out) const {
    const size_t length = static_cast<size_t>(length_);
    const auto offset = [&](size_t l) { return reverse ? length - 1 - l : l; };
    size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        __m512d a0 = _mm512_setzero_pd(), a1 = _mm512_setzero_pd();
        __m512d a2 = _mm512_setzero_pd(), a3 = _mm512_setzero_pd();
        for (size_t l = 0; l < length; ++l) {
            const __m512d lo = _mm512_loadu_pd(terms + l * 16);
            const __m512d hi = _mm512_loadu_pd(terms + l * 16 + 8);
            const uint8_t* at = codes + i + offset(l);
            const __m512i i0 = widen8(_mm_loadl_epi64((const __m128i*)(at)));
            const __m512i i1 = widen8(_mm_loadl_epi64((const __m128i*)(at + 8)));
            const __m512i i2 = widen8(_mm_loadl_epi64((const __m128i*)(at + 16)));
            const __m512i i3 = widen8(_mm_loadl_epi64((const __m128i*)(at + 24)));
            a0 = _mm512_add_pd(a0, _mm512_permutex2var_pd(lo, i0, hi));
            a1 = _mm512_add_pd(a1, _mm512_permutex2var_pd(lo, i1, hi));
            a2 = _mm512_add_pd(a2, _mm512_permutex2var_pd(lo, i2, hi));
            a3 = _mm512_add_pd(a3, _mm512_permutex2var_pd(lo, i3, hi));
        }
        _mm512_storeu_pd(out + i, a0);
        _mm512_storeu_pd(out + i + 8, a1);
        _mm512_storeu_pd(out + i + 16, a2);
        _mm512_storeu_pd(out + i + 24, a3);
    }
    for (; i < count; ++i) {
        out[i] = reverse ? reverseScore(codes + i) : forwardScore(codes + i);
    }
}

// 64 windows a step, four sums of 16 lanes: each position's 16 class terms
// fill one register, which the class codes index (vpermd).
__attribute__((target("avx512f"))) void WindowKernel::blockFixed512(const uint8_t* codes,
                                                                    size_t count,
                                                                    const int32_t* terms,
                                                                    bool reverse,
                                                                    int32_t* out) const {
    const size_t length = static_cast<size_t>(length_);
    const auto offset = [&](size_t l) { return reverse ? length - 1 - l : l; };
    size_t i = 0;
    for (; i + 64 <= count; i += 64) {
        __m512i a0 = _mm512_setzero_si512(), a1 = _mm512_setzero_si512();
        __m512i a2 = _mm512_setzero_si512(), a3 = _mm512_setzero_si512();
        for (size_t l = 0; l < length; ++l) {
            const __m512i row = _mm512_loadu_si512(terms + l * 16);
            const uint8_t* at = codes + i + offset(l);
            a0 = _mm512_add_epi32(a0, _mm512_maskz_permutexvar_epi32(0xFFFF, codes16(at), row));
            a1 = _mm512_add_epi32(a1, _mm512_maskz_permutexvar_epi32(0xFFFF, codes16(at + 16), row));
            a2 = _mm512_add_epi32(a2, _mm512_maskz_permutexvar_epi32(0xFFFF, codes16(at + 32), row));
            a3 = _mm512_add_epi32(a3, _mm512_maskz_permutexvar_epi32(0xFFFF, codes16(at + 48), row));
        }
        _mm512_storeu_si512(out + i, a0);
        _mm512_storeu_si512(out + i + 16, a1);
        _mm512_storeu_si512(out + i + 32, a2);
        _mm512_storeu_si512(out + i + 48, a3);
    }
    for (; i < count; ++i) {
        int32_t sum = 0;
        for (size_t l = 0; l < length; ++l) {
            sum += terms[l * 16 + codes[i + offset(l)]];
        }
        out[i] = sum;
    }
}

__attribute__((target("avx512f,avx512bw,avx512vl"))) void WindowKernel::blockGather512(
    const char* text, size_t count, double* out) const {
    const size_t length = static_cast<size_t>(length_);
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m512d a = _mm512_setzero_pd();
        for (size_t l = 0; l < length; ++l) {
            const __m512i idx = widen8(_mm_loadl_epi64((const __m128i*)(text + i + l)));
            a = _mm512_add_pd(a, _mm512_mask_i64gather_pd(_mm512_setzero_pd(), 0xFF, idx,
                                                          table_.row(static_cast<int>(l)), 8));
        }
        _mm512_storeu_pd(out + i, a);
    }
    for (; i < count; ++i) {
        out[i] = table_.score(text + i);
    }
}

// 64 windows per step: each offset's class codes pick the bounds from a row
// (a byte shuffle within 128-bit lanes, which hold the same 16 bounds), and
// saturating byte adds sum them; windows whose sum stays within the limit
// survive.
__attribute__((target("avx512f,avx512bw"))) void WindowKernel::survivors512(const uint8_t* codes,
                                                                            size_t count,
                                                                            const uint8_t* rows,
                                                                            uint64_t* masks) const {
    const size_t length = static_cast<size_t>(length_);
    const __m512i limit = _mm512_set1_epi8(static_cast<char>(kFilterLimit));
    for (size_t i = 0, b = 0; i < count; i += 64, ++b) {
        __m512i s0 = _mm512_setzero_si512(), s1 = _mm512_setzero_si512();
        size_t l = 0;
        // Two sums side by side, so the adds do not wait on each other.
        for (; l + 2 <= length; l += 2) {
            const __m512i r0 = _mm512_loadu_si512(rows + l * 64);
            const __m512i r1 = _mm512_loadu_si512(rows + l * 64 + 64);
            s0 = _mm512_adds_epu8(s0, _mm512_shuffle_epi8(r0, _mm512_loadu_si512(codes + i + l)));
            s1 = _mm512_adds_epu8(s1,
                                  _mm512_shuffle_epi8(r1, _mm512_loadu_si512(codes + i + l + 1)));
        }
        if (l < length) {
            const __m512i r0 = _mm512_loadu_si512(rows + l * 64);
            s0 = _mm512_adds_epu8(s0, _mm512_shuffle_epi8(r0, _mm512_loadu_si512(codes + i + l)));
        }
        masks[b] = _mm512_cmple_epu8_mask(_mm512_adds_epu8(s0, s1), limit);
    }
}

// Both strands at once, two blocks of 64 windows per step: each offset's
// codes, loaded once, pick the forward and the reverse bounds, and each row
// of bounds, loaded once, serves both blocks.
__attribute__((target("avx512f,avx512bw"))) void WindowKernel::bothSurvivors512(
    const uint8_t* codes, size_t count, const uint8_t* forwardRows, const uint8_t* reverseRows,
    uint64_t* forwardMasks, uint64_t* reverseMasks) const {
    const size_t length = static_cast<size_t>(length_);
    const size_t blocks = (count + 63) / 64;
    const __m512i limit = _mm512_set1_epi8(static_cast<char>(kFilterLimit));
    for (size_t b = 0; b < blocks; b += 2) {
        const uint8_t* at = codes + 64 * b;
        __m512i f0 = _mm512_setzero_si512(), r0 = _mm512_setzero_si512();
        __m512i f1 = _mm512_setzero_si512(), r1 = _mm512_setzero_si512();
        for (size_t l = 0; l < length; ++l) {
            __m512i forward = _mm512_loadu_si512(forwardRows + l * 64);
            __m512i reverse = _mm512_loadu_si512(reverseRows + l * 64);
            __m512i c0 = _mm512_loadu_si512(at + l);
            __m512i c1 = _mm512_loadu_si512(at + 64 + l);
            // Each vector is loaded once: without these marks the compiler
            // folds a load into every shuffle that reads it, and the loads,
            // not the shuffles, then set the pace.
            asm("" : "+v"(forward), "+v"(reverse), "+v"(c0), "+v"(c1));
            f0 = _mm512_adds_epu8(f0, _mm512_shuffle_epi8(forward, c0));
            r0 = _mm512_adds_epu8(r0, _mm512_shuffle_epi8(reverse, c0));
            f1 = _mm512_adds_epu8(f1, _mm512_shuffle_epi8(forward, c1));
            r1 = _mm512_adds_epu8(r1, _mm512_shuffle_epi8(reverse, c1));
        }
        forwardMasks[b] = _mm512_cmple_epu8_mask(f0, limit);
        reverseMasks[b] = _mm512_cmple_epu8_mask(r0, limit);
        if (b + 1 < blocks) {
            forwardMasks[b + 1] = _mm512_cmple_epu8_mask(f1, limit);
            reverseMasks[b + 1] = _mm512_cmple_epu8_mask(r1, limit);
        }
    }
}

namespace {

// The word filter's sums for both strands: `groups` rows of 64 bounds per
// strand, one byte permute each per block of 64 windows; with a known
// number of rows (up to 8, motifs of up to 24 positions) every row stays in
// a register.
template <size_t kGroups>
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void wordSums512(
    const uint8_t* words, size_t count, size_t groups, const uint8_t* forwardRows,
    const uint8_t* reverseRows, uint8_t limitValue, uint64_t* forwardMasks,
    uint64_t* reverseMasks) {
    const size_t rows = kGroups > 0 ? kGroups : groups;
    __m512i forward[kGroups > 0 ? kGroups : 1], reverse[kGroups > 0 ? kGroups : 1];
    if constexpr (kGroups > 0) {
        for (size_t g = 0; g < kGroups; ++g) {
            forward[g] = _mm512_loadu_si512(forwardRows + g * 64);
            reverse[g] = _mm512_loadu_si512(reverseRows + g * 64);
        }
    }
    const __m512i limit = _mm512_set1_epi8(static_cast<char>(limitValue));
    constexpr __mmask64 kAll = ~__mmask64{0};
    const size_t blocks = (count + 63) / 64;
    for (size_t b = 0; b < blocks; ++b) {
        const uint8_t* at = words + 64 * b;
        __m512i f = _mm512_setzero_si512(), r = _mm512_setzero_si512();
        for (size_t g = 0; g < rows; ++g) {
            const __m512i word = _mm512_loadu_si512(at + 3 * g);
            if constexpr (kGroups > 0) {
                f = _mm512_adds_epu8(f, _mm512_maskz_permutexvar_epi8(kAll, word, forward[g]));
                r = _mm512_adds_epu8(r, _mm512_maskz_permutexvar_epi8(kAll, word, reverse[g]));
            } else {
                f = _mm512_adds_epu8(f, _mm512_maskz_permutexvar_epi8(
                                            kAll, word, _mm512_loadu_si512(forwardRows + g * 64)));
                r = _mm512_adds_epu8(r, _mm512_maskz_permutexvar_epi8(
                                            kAll, word, _mm512_loadu_si512(reverseRows + g * 64)));
            }
        }
        forwardMasks[b] = _mm512_cmple_epu8_mask(f, limit);
        reverseMasks[b] = _mm512_cmple_epu8_mask(r, limit);
    }
}

}  // namespace

void WindowKernel::wordSurvivors512(const uint8_t* words, size_t count, const uint8_t* forwardRows,
                                    const uint8_t* reverseRows, uint64_t* forwardMasks,
                                    uint64_t* reverseMasks) const {
    using Sums = void (*)(const uint8_t*, size_t, size_t, const uint8_t*, const uint8_t*, uint8_t,
                          uint64_t*, uint64_t*);
    static constexpr Sums kSums[] = {wordSums512<0>, wordSums512<1>, wordSums512<2>,
                                     wordSums512<3>, wordSums512<4>, wordSums512<5>,
                                     wordSums512<6>, wordSums512<7>, wordSums512<8>};
    const size_t groups = (static_cast<size_t>(length_) + 2) / 3;
    kSums[groups < std::size(kSums) ? groups : 0](words, count, groups, forwardRows, reverseRows,
                                                  kFilterLimit, forwardMasks, reverseMasks);
}

}  // namespace xoprex::scan_detail
