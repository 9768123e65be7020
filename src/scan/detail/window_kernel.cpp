#include "scan/detail/window_kernel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "scan/detail/simd.h"

namespace xoprex::scan_detail {
namespace {

// Largest bound of one position; leaves room for rounding up (<= 255).
constexpr double kBoundRange = 250.0;
constexpr size_t kMaxFilteredLength = 65535 / 255;

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
        simd::classifyBytes512(classOf_, text, count, classes_.data());
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
    // The vector loops take whole blocks of 64 windows: the codes of the
    // last one run on over padding of class 0, whose windows they drop.
    classes_.resize((count + 63) / 64 * 64 + static_cast<size_t>(length_) - 1, 0);
    const Filter& filter = filters_[lowerIsBetter ? 1 : 0];
    if (path_ == InstructionSet::Avx512) {
        candidates512(count, filter.bounds, bound.threshold, out);
    } else {
        candidates256(count, filter.bounds, bound.threshold, out);
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

}  // namespace xoprex::scan_detail
