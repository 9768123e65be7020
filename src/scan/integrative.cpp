#include "scan/integrative.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/cpu_features.h"
#include "base/errors.h"
#include "scan/detail/simd.h"
#include "seqio/sequence.h"

namespace xoprex {

IntegrativeWindow::IntegrativeWindow(const Options& options) {
    const int64_t x = options.upFar;
    const int64_t y = options.upNear;
    const int64_t i = options.downNear;
    const int64_t j = options.downFar;
    if (i < y) {
        throw InputError(
            InputProblem::Options, "",
            "Error: overlapping intervals for integration. Please check Options file!");
    }
    const int64_t half = std::max(std::llabs(x), std::llabs(j));
    // X = INT32_MIN would make W = 2^32 + 1, which no 32-bit size can hold.
    if (y <= x || 2 * half + 1 > static_cast<int64_t>(UINT32_MAX)) {
        throw InputError(InputProblem::Options, "",
                         "Error in upstream mean interval. Please check Options file!");
    }
    if (j <= i) {
        throw InputError(InputProblem::Options, "",
                         "Error in downstream mean interval. Please check Options file!");
    }
    upCount_ = static_cast<uint32_t>(y - x + 1);
    downCount_ = static_cast<uint32_t>(j - i + 1);
    w_ = static_cast<uint32_t>(2 * half + 1);
    h_ = (w_ - 1) / 2;
    upFirst_ = static_cast<uint32_t>(x + h_);
    upLast_ = static_cast<uint32_t>(y + h_);
    downFirst_ = static_cast<uint32_t>(i + h_);
    downLast_ = static_cast<uint32_t>(j + h_);
}

void IntegrativeWindow::beginPass() {
    globalSum = 0.0;
    localMean = 0.0;
    upMean = 0.0;
    downMean = 0.0;
    count_ = 0;
    base_ = 0;
}

void IntegrativeWindow::startFill() {
    count_ = 0;
    base_ = 0;
    if (scores_.empty()) {
        const size_t capacity = static_cast<size_t>(w_) + std::max<size_t>(w_, kBlock);
        scores_.assign(capacity, 0.0);
        byW_.assign(capacity, 0.0);
        byUp_.assign(capacity, 0.0);
        byDown_.assign(capacity, 0.0);
        byText_.assign(kBlock, 0.0);
    }
}

namespace {

void divideBlock(const double* in, size_t count, double divisor, double* out) {
    static const InstructionSet path = preferredInstructionSet();
    if (path == InstructionSet::Avx512) {
        scan_detail::simd::divide512(in, count, divisor, out);
    } else if (path == InstructionSet::Avx2) {
        scan_detail::simd::divide256(in, count, divisor, out);
    } else {
        for (size_t i = 0; i < count; ++i) {
            out[i] = in[i] / divisor;
        }
    }
}

}  // namespace

void IntegrativeWindow::quotients(size_t count, double textLength, bool global) {
    const size_t at = base_ + w_;
    const double* scanned = scores_.data() + at;
    divideBlock(scanned, count, static_cast<double>(w_), byW_.data() + at);
    divideBlock(scanned, count, static_cast<double>(upCount_), byUp_.data() + at);
    if (downCount_ != upCount_) {
        divideBlock(scanned, count, static_cast<double>(downCount_), byDown_.data() + at);
    }
    if (global) {
        divideBlock(scanned, count, textLength, byText_.data());
    }
}

void IntegrativeWindow::shiftQueue(size_t count) {
    base_ += count;
    if (base_ + w_ + kBlock <= scores_.size()) {
        return;
    }
    const size_t bytes = static_cast<size_t>(w_) * sizeof(double);
    std::memmove(scores_.data(), scores_.data() + base_, bytes);
    std::memmove(byW_.data(), byW_.data() + base_, bytes);
    std::memmove(byUp_.data(), byUp_.data() + base_, bytes);
    if (downCount_ != upCount_) {
        std::memmove(byDown_.data(), byDown_.data() + base_, bytes);
    }
    base_ = 0;
}

void IntegrativeWindow::finishFill() {
    localMean = localMean / static_cast<double>(w_);
    upMean = upMean / static_cast<double>(upCount_);
    downMean = downMean / static_cast<double>(downCount_);
}

void relaxCutOff(Options& options) {
    // Relaxing always admits more windows: a positive cut-off moves down
    // (divided by R) for higher-is-better methods and up (times R) for the
    // heterology indices; a negative one moves the other way, since dividing
    // a negative cut-off by R > 1 would make it stricter.
    const bool towardsZero = lowerIsBetter(options.method) == (options.cutOff < 0.0);
    if (towardsZero) {
        options.cutOff = options.cutOff / options.relaxation;
    } else {
        options.cutOff = options.cutOff * options.relaxation;
    }
}

void rescoreHits(RecordHits& out, const Options& options) {
    out.windowScores.clear();
    out.windowScores.reserve(out.hits.size());
    for (SiteHit& hit : out.hits) {
        out.windowScores.push_back(hit.score);
        double reference = out.globalMean;
        if (options.rescoreMethod == 2) {
            reference = hit.localMean;
        } else if (options.rescoreMethod == 3) {
            reference = hit.downMean;
        }
        double ratio = hit.upMean / reference;
        if (hit.upMean < 0.0 && reference < 0.0) {
            ratio = 1.0 / ratio;
        }
        hit.score = hit.score * ratio;
    }
}

}  // namespace xoprex
