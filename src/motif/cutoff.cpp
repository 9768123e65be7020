#include "motif/cutoff.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "motif/scoring.h"

namespace xoprex {
namespace {

constexpr double kInverseSqrt2Pi = 0.3989422804014326;  // 1 / sqrt(2 pi)
constexpr double kInverseSqrt2 = 0.70710678118654752440;

// Odeh and Evans (1974), algorithm AS 70: rational approximation of the
// normal quantile for 0 < pp <= 0.5 (absolute error about 1.5e-8). The
// original gives up below 1e-20; here y is formed as sqrt(-2 ln pp), which
// stays finite for every positive double, so the start is usable down to the
// smallest doubles and Newton's method does the rest.
double odehEvans(double pp) {
    if (pp == 0.5) {
        return 0.0;
    }
    constexpr double p0 = -0.322232431088, p1 = -1.0, p2 = -0.342242088547, p3 = -0.204231210245e-1,
                     p4 = -0.453642210148e-4;
    constexpr double q0 = 0.993484626060e-1, q1 = 0.588581570495, q2 = 0.531103462366,
                     q3 = 0.103537752850, q4 = 0.38560700634e-2;
    const double y = std::sqrt(-2.0 * std::log(pp));
    const double x = y + ((((y * p4 + p3) * y + p2) * y + p1) * y + p0) /
                             ((((y * q4 + q3) * y + q2) * y + q1) * y + q0);
    return -x;  // pp <= 0.5: the lower tail
}

// Phi(x) - pp for x <= 0 and 0 < pp <= 0.5, evaluated without cancellation:
// in the lower tail through erfc, which keeps full relative accuracy however
// small Phi is; near the centre through erf against pp - 0.5 (exact there),
// so quantiles close to 0 are also found to full relative accuracy.
// (The C library's erf and erfc, accurate to about one unit in the last
// place, stand in for Cody's rational approximations; that is what the 1e-13
// stopping rule needs.)
double phiResidual(double x, double pp) {
    if (pp > 0.25) {
        return 0.5 * std::erf(x * kInverseSqrt2) - (pp - 0.5);
    }
    return 0.5 * std::erfc(-x * kInverseSqrt2) - pp;
}

// Lower-tail quantile x <= 0 with Phi(x) = pp, 0 < pp <= 0.5.
double lowerTailQuantile(double pp) {
    const double start = odehEvans(pp);
    double x = start;
    for (int step = 0; step < 100; ++step) {
        const double density = kInverseSqrt2Pi * std::exp(-x * x / 2.0);
        const double delta = phiResidual(x, pp) / density;
        if (!std::isfinite(delta)) {
            return start;
        }
        x -= delta;
        if (delta == 0.0 || std::fabs(delta / x) < 1e-13) {
            return x;
        }
    }
    return start;
}

// z with Phi(z) = p, where q = 1 - p is given separately so that an upper
// tail given as a small q keeps its precision. Callers check 0 < p, q <= 1.
double quantileOfTails(double p, double q) {
    const double pp = p < q ? p : q;
    const double x = lowerTailQuantile(pp);
    return p <= q ? x : -x;
}

}  // namespace

double normalQuantile(double p) {
    if (p == 0.0) {
        return -std::numeric_limits<double>::infinity();
    }
    if (p == 1.0) {
        return std::numeric_limits<double>::infinity();
    }
    if (!(p > 0.0 && p < 1.0)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return quantileOfTails(p, 1.0 - p);
}

double computedCutOff(double mean, double deviation, double threshold, int method) {
    double p;
    double q;
    if (lowerIsBetter(method)) {
        p = threshold;
        q = 1.0 - threshold;
    } else {
        p = 1.0 - threshold;
        q = threshold;
    }
    // The four checks, in order; NaN fails every one.
    if (!(p > 0.0 && p <= 1.0)) {
        return 0.0;
    }
    if (!(q > 0.0 && q <= 1.0)) {
        return 0.0;
    }
    if (!(std::fabs(p + q - 1.0) <= 3.0 * DBL_EPSILON)) {
        return 0.0;
    }
    if (!(deviation > 0.0)) {
        return 0.0;
    }
    return mean + deviation * quantileOfTails(p, q);
}

double cutOffFromScores(const std::vector<double>& scores, double threshold, bool literal,
                        int method) {
    if (literal) {
        return threshold;
    }
    if (scores.empty()) {
        return 0.0;
    }
    const double count = static_cast<double>(scores.size());
    double sum = 0.0;
    for (const double score : scores) {
        sum += score;
    }
    const double mean = sum / count;
    double variance = 0.0;
    for (const double score : scores) {
        const double difference = score - mean;
        variance += difference * difference;
    }
    const double deviation = std::sqrt(variance / count);
    return computedCutOff(mean, deviation, threshold, method);
}

void scoreCollectionAndFixCutOff(SiteCollection& collection, Options& options,
                                 const SequenceRecord& background) {
    std::vector<double> scores;
    scores.reserve(collection.sites.size());
    for (SiteHit& site : collection.sites) {
        scoreWindow(options.method, site, background, collection);
        scores.push_back(site.score);
    }
    options.cutOff =
        cutOffFromScores(scores, options.threshold, options.literalCutOff, options.method);
}

}  // namespace xoprex
