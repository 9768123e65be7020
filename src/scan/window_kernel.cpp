#include "scan/window_kernel.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace xoprex {
namespace {

// Largest bound of one position; leaves room for rounding up (<= 255).
constexpr double kBoundRange = 250.0;
constexpr size_t kMaxFilteredLength = 65535 / 255;

// Zero-extending conversions in their zero-masked form: the plain forms start
// from an undefined register, which GCC 12 reports as possibly uninitialized
// at -O2 and above.
__attribute__((target("avx512f"))) inline __m512i widen8(__m128i bytes) {
    return _mm512_maskz_cvtepu8_epi64(0xFF, bytes);
}

__attribute__((target("avx512f,avx512bw"))) inline __m512i widen32(__m256i bytes) {
    return _mm512_maskz_cvtepu8_epi16(0xFFFFFFFF, bytes);
}

// Class codes of 64 bytes at a time: a byte permute over two 64-entry
// slices of the class table for bytes below 128, another for the others.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void classify512(
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

}  // namespace

WindowKernel::WindowKernel(const TermTable& table, InstructionSet path, bool useClasses)
    : table_(table), length_(table.siteLength()), path_(path) {
    if (!cpuSupports(path_)) {
        path_ = InstructionSet::Scalar;
    }
    // Letter classes: bytes whose terms are bit-identical at every position.
    std::vector<uint8_t> representative;
    classCount_ = 0;
    for (int byte = 0; byte < 256 && classCount_ <= 16; ++byte) {
        size_t k = 0;
        for (; k < classCount_; ++k) {
            bool same = true;
            for (int l = 0; l < length_ && same; ++l) {
                same = std::memcmp(&table.row(l)[byte], &table.row(l)[representative[k]],
                                   sizeof(double)) == 0;
            }
            if (same) {
                break;
            }
        }
        if (k == classCount_) {
            representative.push_back(static_cast<uint8_t>(byte));
            ++classCount_;
        }
        classOf_[static_cast<size_t>(byte)] = static_cast<uint8_t>(k);
    }
    if (!useClasses) {
        classCount_ = 17;
    }
    if (!usesClasses()) {
        return;
    }
    classTerms_.assign(static_cast<size_t>(length_) * 16, 0.0);
    for (int l = 0; l < length_; ++l) {
        for (size_t k = 0; k < classCount_; ++k) {
            classTerms_[static_cast<size_t>(l) * 16 + k] = table.row(l)[representative[k]];
        }
    }
    prepareFilter();
}

// Per position and class, an upper bound of (term - smallest term) in units
// of 1 / scale, rounded up; per direction (scores as they are, negated).
void WindowKernel::prepareFilter() {
    if (length_ <= 0 || static_cast<size_t>(length_) > kMaxFilteredLength) {
        return;
    }
    for (int direction = 0; direction < 2; ++direction) {
        Filter& filter = filters_[direction];
        const double sign = direction == 0 ? 1.0 : -1.0;
        std::vector<double> floors(static_cast<size_t>(length_));
        double widest = 0.0;
        double magnitude = 0.0;
        bool finite = true;
        for (int l = 0; l < length_; ++l) {
            double low = 0.0, high = 0.0, largest = 0.0;
            for (size_t k = 0; k < classCount_; ++k) {
                const double t = sign * classTerms_[static_cast<size_t>(l) * 16 + k];
                finite = finite && std::isfinite(t);
                low = k == 0 ? t : std::min(low, t);
                high = k == 0 ? t : std::max(high, t);
                largest = std::max(largest, std::fabs(t));
            }
            floors[static_cast<size_t>(l)] = low;
            widest = std::max(widest, high - low);
            magnitude += largest;
        }
        if (!finite || !(widest > 0.0) || !std::isfinite(widest) || !std::isfinite(magnitude)) {
            continue;
        }
        filter.scale = kBoundRange / widest;
        filter.bounds.assign(static_cast<size_t>(length_) * 16, 0);
        filter.floorSum = 0.0;
        for (int l = 0; l < length_; ++l) {
            const double low = floors[static_cast<size_t>(l)];
            filter.floorSum += low;
            for (size_t k = 0; k < classCount_; ++k) {
                const double t = sign * classTerms_[static_cast<size_t>(l) * 16 + k];
                const double q = std::ceil((t - low) * filter.scale);
                if (!(q >= 0.0 && q <= 255.0)) {
                    finite = false;
                }
                filter.bounds[static_cast<size_t>(l) * 16 + k] = static_cast<uint8_t>(q);
            }
        }
        // Rounding of the window sums and of the floor sum stays far below
        // this (at most L ulps of the summed magnitudes).
        filter.error = 1e-12 * (magnitude + 1.0);
        filter.usable = finite;
    }
}

// Bound sums below the threshold belong to windows that cannot pass. A
// passing window has (real) score > cutOff - error and floor sum within
// error, so its bound sum is at least scale * (cutOff - floorSum - 2 error)
// less a little rounding; the threshold stays two units below that.
WindowKernel::Bound WindowKernel::boundFor(double cutOff, bool lowerIsBetter) const {
    Bound bound;
    if (path_ == InstructionSet::Scalar || !usesClasses()) {
        return bound;
    }
    const Filter& filter = filters_[lowerIsBetter ? 1 : 0];
    const double cut = lowerIsBetter ? -cutOff : cutOff;
    if (!filter.usable || !std::isfinite(cut)) {
        return bound;
    }
    const double scaled = (cut - filter.floorSum) * filter.scale;
    if (!std::isfinite(scaled)) {
        return bound;  // out of range: leave the test to the exact path
    }
    const double threshold =
        std::floor(scaled - 2.0 * filter.scale * filter.error - 1e-9 * std::fabs(scaled) - 2.0);
    if (!(threshold >= 1.0)) {
        return bound;  // nothing could be rejected
    }
    bound.usable = true;
    bound.threshold = static_cast<uint32_t>(std::min(threshold, 65535.0));
    return bound;
}

void WindowKernel::classify(const char* text, size_t count) const {
    classes_.resize(count);
    if (path_ == InstructionSet::Avx512 && cpuHasByteShuffle()) {
        classify512(classOf_, text, count, classes_.data());
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        classes_[i] = classOf_[static_cast<unsigned char>(text[i])];
    }
}

void WindowKernel::block(const char* text, size_t count, double* out) const {
    if (count == 0) {
        return;
    }
    switch (path_) {
        case InstructionSet::Avx512:
            if (usesClasses()) {
                blockClasses512(text, count, out);
            } else {
                blockGather512(text, count, out);
            }
            return;
        case InstructionSet::Avx2:  // gathers lose to the scalar sum there
        case InstructionSet::Scalar:
            break;
    }
    for (size_t i = 0; i < count; ++i) {
        out[i] = table_.score(text + i);
    }
}

// Lanes are consecutive windows; each lane starts at +0.0 and adds its terms
// for positions 0, 1, ..., L - 1, exactly as the scalar sum does.
__attribute__((target("avx512f,avx512bw,avx512vl"))) void WindowKernel::blockClasses512(
    const char* text, size_t count, double* out) const {
    const size_t length = static_cast<size_t>(length_);
    classify(text, count + length - 1);
    const uint8_t* codes = classes_.data();
    const double* terms = classTerms_.data();
    size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        __m512d a0 = _mm512_setzero_pd(), a1 = _mm512_setzero_pd();
        __m512d a2 = _mm512_setzero_pd(), a3 = _mm512_setzero_pd();
        for (size_t l = 0; l < length; ++l) {
            const __m512d lo = _mm512_loadu_pd(terms + l * 16);
            const __m512d hi = _mm512_loadu_pd(terms + l * 16 + 8);
            const uint8_t* at = codes + i + l;
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
    for (; i + 8 <= count; i += 8) {
        __m512d a = _mm512_setzero_pd();
        for (size_t l = 0; l < length; ++l) {
            const __m512i idx = widen8(_mm_loadl_epi64((const __m128i*)(codes + i + l)));
            a = _mm512_add_pd(a, _mm512_permutex2var_pd(_mm512_loadu_pd(terms + l * 16), idx,
                                                        _mm512_loadu_pd(terms + l * 16 + 8)));
        }
        _mm512_storeu_pd(out + i, a);
    }
    for (; i < count; ++i) {
        out[i] = table_.score(text + i);
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

void WindowKernel::candidates(const char* text, size_t count, double cutOff, bool lowerIsBetter,
                              std::vector<uint32_t>& out) const {
    out.clear();
    const Bound bound = boundFor(cutOff, lowerIsBetter);
    if (!bound.usable) {
        for (size_t i = 0; i < count; ++i) {
            out.push_back(static_cast<uint32_t>(i));
        }
        return;
    }
    classify(text, count + static_cast<size_t>(length_) - 1);
    const Filter& filter = filters_[lowerIsBetter ? 1 : 0];
    if (path_ == InstructionSet::Avx512) {
        candidates512(count, filter.bounds, bound.threshold, out);
    } else {
        candidates256(count, filter.bounds, bound.threshold, out);
    }
}

// 32 windows per vector: the class codes pick each position's byte bound
// (pshufb within 128-bit lanes holding the 16 bounds), widened to 16 bits and
// summed; windows whose sum reaches the threshold are candidates.
__attribute__((target("avx512f,avx512bw,avx512vl"))) void WindowKernel::candidates512(
    size_t count, const std::vector<uint8_t>& bounds, uint32_t threshold,
    std::vector<uint32_t>& out) const {
    const size_t length = static_cast<size_t>(length_);
    const uint8_t* codes = classes_.data();
    const __m512i limit = _mm512_set1_epi16(static_cast<short>(threshold));
    size_t i = 0;
    for (; i + 64 <= count; i += 64) {
        __m512i s0 = _mm512_setzero_si512(), s1 = _mm512_setzero_si512();
        for (size_t l = 0; l < length; ++l) {
            const __m256i table = _mm256_broadcastsi128_si256(
                _mm_loadu_si128((const __m128i*)(bounds.data() + l * 16)));
            const __m256i c0 = _mm256_loadu_si256((const __m256i*)(codes + i + l));
            const __m256i c1 = _mm256_loadu_si256((const __m256i*)(codes + i + l + 32));
            s0 = _mm512_add_epi16(s0, widen32(_mm256_shuffle_epi8(table, c0)));
            s1 = _mm512_add_epi16(s1, widen32(_mm256_shuffle_epi8(table, c1)));
        }
        uint64_t keep = _mm512_cmpge_epu16_mask(s0, limit);
        keep |= static_cast<uint64_t>(_mm512_cmpge_epu16_mask(s1, limit)) << 32;
        while (keep != 0) {
            out.push_back(static_cast<uint32_t>(i + static_cast<size_t>(__builtin_ctzll(keep))));
            keep &= keep - 1;
        }
    }
    candidatesTail(i, count, bounds, threshold, out);
}

// The same with AVX2: 32 windows per step in two vectors of 16 sums; the
// unsigned comparison is max(sum, threshold) == sum.
__attribute__((target("avx2"))) void WindowKernel::candidates256(size_t count,
                                                                 const std::vector<uint8_t>& bounds,
                                                                 uint32_t threshold,
                                                                 std::vector<uint32_t>& out) const {
    const size_t length = static_cast<size_t>(length_);
    const uint8_t* codes = classes_.data();
    const __m256i limit = _mm256_set1_epi16(static_cast<short>(threshold));
    size_t i = 0;
    for (; i + 32 <= count; i += 32) {
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
        for (uint32_t k = 0; k < 16; ++k) {
            if (low & (1u << (2 * k))) {
                out.push_back(static_cast<uint32_t>(i + k));
            }
        }
        for (uint32_t k = 0; k < 16; ++k) {
            if (high & (1u << (2 * k))) {
                out.push_back(static_cast<uint32_t>(i + 16 + k));
            }
        }
    }
    candidatesTail(i, count, bounds, threshold, out);
}

void WindowKernel::candidatesTail(size_t first, size_t count, const std::vector<uint8_t>& bounds,
                                  uint32_t threshold, std::vector<uint32_t>& out) const {
    const size_t length = static_cast<size_t>(length_);
    const uint8_t* codes = classes_.data();
    for (size_t i = first; i < count; ++i) {
        uint32_t sum = 0;
        for (size_t l = 0; l < length; ++l) {
            sum += bounds[l * 16 + codes[i + l]];
        }
        if (sum >= threshold) {
            out.push_back(static_cast<uint32_t>(i));
        }
    }
}

void WindowKernel::passingList(const char* text, size_t count, double cutOff,
                               bool lowerIsBetter) const {
    passed_.clear();
    const Bound bound = boundFor(cutOff, lowerIsBetter);
    if (bound.usable) {
        candidates(text, count, cutOff, lowerIsBetter, candidates_);
        for (const uint32_t i : candidates_) {
            const double score = table_.score(text + i);
            if (lowerIsBetter ? score < cutOff : score > cutOff) {
                passed_.emplace_back(i, score);
            }
        }
        return;
    }
    scores_.resize(count);
    block(text, count, scores_.data());
    for (size_t i = 0; i < count; ++i) {
        const double score = scores_[i];
        if (lowerIsBetter ? score < cutOff : score > cutOff) {
            passed_.emplace_back(static_cast<uint32_t>(i), score);
        }
    }
}

}  // namespace xoprex
