#include "regulon/regulation_model.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/cpu_features.h"

namespace xoprex {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kInverseSqrt2 = 0.70710678118654752440;
constexpr double kLogSqrt2Pi = 0.91893853320467274178;

// log Q(z), Q the standard normal's upper tail, without underflow: erfc
// while it is representable, the asymptotic series beyond.
double logUpperTail(double z) {
    if (z == kInfinity) {
        return -kInfinity;
    }
    if (z < 30.0) {
        return std::log(0.5 * std::erfc(z * kInverseSqrt2));
    }
    const double r = 1.0 / (z * z);
    return -0.5 * z * z - std::log(z) - kLogSqrt2Pi + std::log1p(r * (-1.0 + r * (3.0 - 15.0 * r)));
}

double logLowerTail(double z) {
    return logUpperTail(-z);
}

// log(1 - e^x) for x <= 0.
double logOneMinusExp(double x) {
    if (x == 0.0) {
        return -kInfinity;
    }
    return x > -0.6931471805599453 ? std::log(-std::expm1(x)) : std::log1p(-std::exp(x));
}

// log of the standard normal's mass over [a, b], a < b (either may be
// infinite).
double logNormalMass(double a, double b) {
    if (!(a < b)) {
        return -kInfinity;
    }
    if (a >= 0.0) {
        const double high = logUpperTail(a);
        const double low = logUpperTail(b);
        return high == -kInfinity ? -kInfinity : high + logOneMinusExp(low - high);
    }
    if (b <= 0.0) {
        const double high = logLowerTail(b);
        const double low = logLowerTail(a);
        return high == -kInfinity ? -kInfinity : high + logOneMinusExp(low - high);
    }
    return std::log1p(-(std::exp(logLowerTail(a)) + std::exp(logUpperTail(b))));
}

// log(e^x + e^y).
double logSumExp(double x, double y) {
    const double top = std::max(x, y);
    if (top == -kInfinity) {
        return -kInfinity;
    }
    return top + std::log1p(std::exp(std::min(x, y) - top));
}

// The best and the worst score a window of bases can reach, times `sign`.
std::pair<double, double> scoreRange(const NullModel& model, double sign) {
    double best = 0.0;
    double worst = 0.0;
    for (const auto& row : model.terms) {
        double high = -kInfinity;
        double low = kInfinity;
        for (size_t b = 0; b < 4; ++b) {
            if (model.background[b] > 0.0) {
                high = std::max(high, sign * row[b]);
                low = std::min(low, sign * row[b]);
            }
        }
        best += high;
        worst += low;
    }
    return {best, worst};
}

}  // namespace

SiteScoreFit siteScoreFit(const SiteCollection& collection, const NullModel& model) {
    SiteScoreFit fit;
    const auto [best, worst] = scoreRange(model, 1.0);
    const double floor = 1e-6 * std::max(std::fabs(best - worst), 1.0);
    if (collection.sites.size() >= 2) {
        const double count = static_cast<double>(collection.sites.size());
        double sum = 0.0;
        for (const SiteHit& site : collection.sites) {
            sum += site.score;
        }
        const double mean = sum / count;
        double variance = 0.0;
        for (const SiteHit& site : collection.sites) {
            variance += (site.score - mean) * (site.score - mean);
        }
        const double deviation = std::sqrt(variance / count);
        if (deviation > floor && std::isfinite(mean)) {
            return {mean, deviation, true};
        }
    }
    // Words drawn from the model: independent positions, so the means and
    // the variances of the positions' terms add up.
    fit.fromSites = false;
    double variance = 0.0;
    const size_t length = std::min(model.terms.size(), collection.model.positions.size());
    for (size_t l = 0; l < length; ++l) {
        const auto& frequencies = collection.model.positions[l].frequencies;
        double mean = 0.0;
        for (size_t b = 0; b < 4; ++b) {
            mean += frequencies[b] > 0.0 ? frequencies[b] * model.terms[l][b] : 0.0;
        }
        for (size_t b = 0; b < 4; ++b) {
            const double difference = model.terms[l][b] - mean;
            variance += frequencies[b] > 0.0 ? frequencies[b] * difference * difference : 0.0;
        }
        fit.mean += mean;
    }
    fit.deviation = std::max(std::sqrt(variance), floor);
    return fit;
}

RegulationModel::RegulationModel(const ScoreDistribution& null, const NullModel& model,
                                 const SiteScoreFit& fit)
    : sign_(model.lowerIsBetter ? -1.0 : 1.0) {
    const auto [best, worst] = scoreRange(model, sign_);
    edge_ = sign_ * null.scoreWithTailAtLeast(0.5);
    if (!std::isfinite(edge_)) {
        edge_ = worst;
    }
    edge_ = std::min(edge_, best);
    width_ = fit.deviation / kBinsPerDeviation;
    size_t bins = 1;
    if (best > edge_) {
        const double needed = std::ceil((best - edge_) / width_);
        if (needed > static_cast<double>(kMaxBins)) {
            bins = kMaxBins;
            width_ = (best - edge_) / static_cast<double>(kMaxBins);
        } else {
            bins = std::max<size_t>(1, static_cast<size_t>(needed));
        }
    }
    inverseWidth_ = 1.0 / width_;
    lastBin_ = static_cast<double>(bins);
    // Null masses: bin 0 below the edge, bins 1 .. K above it.
    const auto tail = [&null, this](double g) { return null.roughTail(sign_ * g, kTailError); };
    std::vector<double> lowerTails(bins + 1);
    for (size_t k = 0; k < bins; ++k) {
        lowerTails[k] = tail(edgeAt(k));
    }
    std::vector<double> masses(bins + 1);
    masses[0] = 1.0 - lowerTails[0];
    for (size_t k = 1; k <= bins; ++k) {
        masses[k] = lowerTails[k - 1] - (k < bins ? lowerTails[k] : 0.0);
    }
    double smallest = kInfinity;
    for (const double mass : masses) {
        if (mass > 0.0) {
            smallest = std::min(smallest, mass);
        }
    }
    for (size_t k = 0; k <= bins; ++k) {
        if (!(masses[k] > 0.0)) {
            masses[k] = k > 0 && lowerTails[k - 1] > 0.0 ? lowerTails[k - 1] : smallest;
        }
    }
    // Site masses: the normal (mean and deviation turned to the axis) cut
    // at the best score.
    const double mean = sign_ * fit.mean;
    const auto z = [mean, &fit](double g) { return (g - mean) / fit.deviation; };
    const double logTotal = logLowerTail(z(best));
    logNull_.resize(bins + 1);
    logRatio_.resize(bins + 1);
    for (size_t k = 0; k <= bins; ++k) {
        const double from = k == 0 ? -kInfinity : edgeAt(k - 1);
        const double to = k == 0 ? edgeAt(0) : std::min(k < bins ? edgeAt(k) : best, best);
        const double logSite = logNormalMass(z(from), z(to)) - logTotal;
        logNull_[k] = std::log(masses[k]);
        logRatio_[k] = logSite - logNull_[k];
    }
}

size_t RegulationModel::binOf(double score) const {
    // Without branches (half the windows of a region fall on either side
    // of the median): below the edge 0, then floor((g - edge) / w) + 1 up
    // to the last bin. Not for NaN.
    const double steps = (sign_ * score - edge_) * inverseWidth_ + 1.0;
    return static_cast<size_t>(std::min(std::max(steps, 0.0), lastBin_));
}

std::vector<double> RegulationModel::windowTerms(double siteDensity) const {
    std::vector<double> terms(logRatio_.size());
    const double logDensity = std::log(siteDensity);
    const double logRest = std::log1p(-siteDensity);
    for (size_t k = 0; k < terms.size(); ++k) {
        terms[k] = logSumExp(logDensity + logRatio_[k], logRest);
    }
    return terms;
}

double RegulationModel::logBayesFactor(const std::vector<double>& scores,
                                       const std::vector<double>& terms) const {
    std::vector<uint32_t> counts(binCount(), 0);
    for (const double score : scores) {
        if (!std::isnan(score)) {
            ++counts[binOf(score)];
        }
    }
    return logBayesFactor(counts, terms);
}

double RegulationModel::logBayesFactor(const std::vector<uint32_t>& counts,
                                       const std::vector<double>& terms) const {
    WindowTerms weighed;
    weighed.terms = terms;
    weighed.flat = flatEnd(terms);
    std::vector<uint32_t> folded = counts;
    foldFlat(folded, weighed.flat);
    return evidence(folded, weighed);
}

namespace {

// Adds the terms of the bins from b on that hold windows, sixteen bins an
// instruction, up to the last whole sixteen before `end`; returns where it
// stopped.
__attribute__((target("avx512f"))) size_t heldSum512(const uint32_t* counts, size_t b, size_t end,
                                                     const double* terms, double& sum) {
    for (; b + 16 <= end; b += 16) {
        const __m512i sixteen = _mm512_loadu_si512(counts + b);
        for (unsigned held = _mm512_test_epi32_mask(sixteen, sixteen); held != 0;
             held &= held - 1) {
            const size_t bin = b + static_cast<size_t>(__builtin_ctz(held));
            sum += static_cast<double>(counts[bin]) * terms[bin];
        }
    }
    return b;
}

}  // namespace

double RegulationModel::evidence(const std::vector<uint32_t>& counts, const WindowTerms& terms) {
    double sum = static_cast<double>(counts[0]) * terms.terms[0];
    size_t b = terms.flat + 1;
    if (preferredInstructionSet() == InstructionSet::Avx512) {
        b = heldSum512(counts.data(), b, counts.size(), terms.terms.data(), sum);
    }
    for (; b < counts.size(); ++b) {
        if (counts[b] != 0) {
            sum += static_cast<double>(counts[b]) * terms.terms[b];
        }
    }
    return sum;
}

RegulationModel::WindowTerms RegulationModel::weighing(double siteDensity) const {
    WindowTerms made;
    made.terms = windowTerms(siteDensity);
    made.flat = flatEnd(made.terms);
    return made;
}

size_t RegulationModel::flatEnd(const std::vector<double>& terms) {
    size_t flat = 0;
    while (flat + 1 < terms.size() &&
           std::memcmp(&terms[flat + 1], &terms[0], sizeof(double)) == 0) {
        ++flat;
    }
    return flat;
}

void RegulationModel::foldFlat(std::vector<uint32_t>& counts, size_t flat) {
    for (size_t b = 1; b <= flat && b < counts.size(); ++b) {
        counts[0] += counts[b];
        counts[b] = 0;
    }
}

RegulationModel::FlatSums RegulationModel::flatSums(size_t flat, int span, double step,
                                                    double slack) const {
    // Both ends of the bracket in bins 0 .. flat: a condition monotone in
    // the sum (binOf is monotone in the score), found by halving.
    const auto inFlat = [&](int64_t sum) {
        const auto value = static_cast<double>(sum);
        return std::max(binOf(value * step - slack),
                        binOf((value + static_cast<double>(span)) * step + slack)) <= flat;
    };
    FlatSums found;
    found.below = sign_ > 0.0;
    int64_t lo = std::numeric_limits<int32_t>::min() / 2;
    int64_t hi = std::numeric_limits<int32_t>::max() / 2;
    if (!inFlat(found.below ? lo : hi)) {
        return found;  // no sum in reach
    }
    found.any = true;
    // The condition holds at one end (lo when below, hi otherwise): the
    // last sum from that end for which it does.
    while (hi - lo > 1) {
        const int64_t middle = lo + (hi - lo) / 2;
        if (inFlat(middle) == found.below) {
            lo = middle;
        } else {
            hi = middle;
        }
    }
    found.limit =
        static_cast<int32_t>(found.below ? (inFlat(hi) ? hi : lo) : (inFlat(lo) ? lo : hi));
    return found;
}

namespace {

// binOf of eight scores, by its operations (the masked forms throughout, so
// that no lane starts undefined).
__attribute__((target("avx2,avx512f,avx512vl"))) __m256i binsOf512(__m512d score, __m512d signs,
                                                                   __m512d edges, __m512d inverse,
                                                                   __m512d last) {
    constexpr __mmask8 all = 0xFF;
    const __m512d at = _mm512_maskz_add_pd(
        all,
        _mm512_maskz_mul_pd(
            all, _mm512_maskz_sub_pd(all, _mm512_maskz_mul_pd(all, signs, score), edges), inverse),
        _mm512_set1_pd(1.0));
    return _mm512_maskz_cvttpd_epi32(
        all, _mm512_maskz_min_pd(all, _mm512_maskz_max_pd(all, at, _mm512_setzero_pd()), last));
}

// bracketBins eight windows an instruction, each end through binsOf512.
__attribute__((target("avx2,avx512f,avx512vl"))) void bracketBins512(
    const int32_t* sums, size_t count, double span, double step, double slack, double sign,
    double edge, double inverseWidth, double lastBin, uint16_t* bins) {
    constexpr __mmask8 all = 0xFF;
    const __m512d steps = _mm512_set1_pd(step);
    const __m512d spans = _mm512_set1_pd(span);
    const __m512d slacks = _mm512_set1_pd(slack);
    const __m512d signs = _mm512_set1_pd(sign);
    const __m512d edges = _mm512_set1_pd(edge);
    const __m512d inverse = _mm512_set1_pd(inverseWidth);
    const __m512d last = _mm512_set1_pd(lastBin);
    const __m256i undecided = _mm256_set1_epi32(RegulationModel::kUndecided);
    for (size_t i = 0; i + 8 <= count; i += 8) {
        const __m512d sum = _mm512_maskz_cvtepi32_pd(
            all, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + i)));
        const __m512d low = _mm512_maskz_sub_pd(all, _mm512_maskz_mul_pd(all, sum, steps), slacks);
        const __m512d high = _mm512_maskz_add_pd(
            all, _mm512_maskz_mul_pd(all, _mm512_maskz_add_pd(all, sum, spans), steps), slacks);
        const __m256i a = binsOf512(low, signs, edges, inverse, last);
        const __m256i b = binsOf512(high, signs, edges, inverse, last);
        const __m256i bin = _mm256_blendv_epi8(undecided, a, _mm256_cmpeq_epi32(a, b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bins + i),
                         _mm256_maskz_cvtepi32_epi16(all, bin));
    }
}

}  // namespace

void RegulationModel::bracketBins(const int32_t* sums, size_t count, int span, double step,
                                  double slack, uint16_t* bins) const {
    size_t i = 0;
    if (preferredInstructionSet() == InstructionSet::Avx512) {
        bracketBins512(sums, count, static_cast<double>(span), step, slack, sign_, edge_,
                       inverseWidth_, lastBin_, bins);
        i = count / 8 * 8;
    }
    for (; i < count; ++i) {
        const double sum = static_cast<double>(sums[i]);
        const size_t low = binOf(sum * step - slack);
        const size_t high = binOf((sum + static_cast<double>(span)) * step + slack);
        bins[i] = low == high ? static_cast<uint16_t>(low) : kUndecided;
    }
}

double posteriorProbability(double logBayesFactor, double prior) {
    const double logOdds = logBayesFactor + std::log(prior) - std::log1p(-prior);
    if (std::isnan(logOdds)) {
        return logOdds;
    }
    if (logOdds >= 0.0) {
        return 1.0 / (1.0 + std::exp(-logOdds));
    }
    const double odds = std::exp(logOdds);
    return odds / (1.0 + odds);
}

}  // namespace xoprex
