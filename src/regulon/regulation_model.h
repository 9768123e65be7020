// The posterior probability that a factor regulates an operon, from the
// scores of the windows of its promoter region (the data D, both strands).
//
//   B (background): each score follows the exact null distribution of window
//     scores under the background, the one the p-values use
//     (motif/score_distribution.h).
//   R (regulated): each score follows a f_site + (1 - a) f_B, where f_site is
//     the normal curve fitted to the collection's self-scores (mean m,
//     population standard deviation s, as the relative cut-off takes them)
//     and a the chance that a window of a regulated region is a site.
//   P(R | D) = P(D | R) p / (P(D | R) p + P(D | B) (1 - p)), p the prior
//     share of regulated operons; the windows are taken as independent.
//
// Both densities are evaluated on the same score bins: bins of s / 8 from
// the null's median up to the best score a window can reach (at most 4096
// bins; wider when the range needs more), and one bin for every score on the
// worse side of the median, where f_site is negligible and the null's tail,
// known to 1e-3 of itself, could not tell narrow bins apart. f_B of a bin is
// its null mass (a difference of tails), f_site the normal's mass over it
// (through the normal's tails, in logarithms), taken within the scores a
// window can reach (the normal cut at the best score). A bin whose null mass
// comes out 0 (a score no window of bases takes, or the rounding of two
// tails) takes the null tail from its lower edge on, an upper bound of its
// mass. Everything is computed in logarithms (log-sum-exp), so neither
// likelihood underflows.
//
// The score axis is the method's: for the heterology indices (lower is
// better) the fit and the null are taken on the same axis, turned round.
// A collection without sites (count matrices), or whose self-scores do not
// spread (one site, or identical ones), takes instead the mean and standard
// deviation of the scores of words drawn from its own model (each position's
// letter drawn from its frequencies), which the terms give exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "motif/score_distribution.h"
#include "motif/site_collection.h"

namespace xoprex {

struct SiteScoreFit {
    double mean = 0.0;
    double deviation = 0.0;
    bool fromSites = true;  // the self-scores; false: words drawn from the model
};

// The fit of the collection's self-scores (their scores set, as the cut-off
// stage leaves them), or of the model's words (above), for the terms of
// `model` (motif/scoring.h windowNullModel). A deviation that comes out 0
// is taken as 1e-6 of the score range.
SiteScoreFit siteScoreFit(const SiteCollection& collection, const NullModel& model);

// The bins and each bin's log-likelihood ratio log(f_site / f_B). Once
// made, it is only read: threads may share it.
class RegulationModel {
  public:
    static constexpr size_t kMaxBins = 4096;
    static constexpr double kBinsPerDeviation = 8.0;
    // The null's tails are taken to within this share of themselves
    // (ScoreDistribution::roughTail): the p-values' 1e-3 would refine the
    // distribution's levels over the whole range of the bins, tens of
    // megabytes, for masses whose logarithms move by less than 0.02.
    static constexpr double kTailError = 1e-2;

    // Raises what ScoreDistribution::tail raises (std::length_error for a
    // model out of its reach).
    RegulationModel(const ScoreDistribution& null, const NullModel& model, const SiteScoreFit& fit);

    // Each bin's log(a f_site / f_B + 1 - a), `siteDensity` the a above
    // (0 < a <= 1): what one window scoring there adds.
    std::vector<double> windowTerms(double siteDensity) const;
    // The same with the end of their flat start (flatEnd).
    struct WindowTerms {
        std::vector<double> terms;
        size_t flat = 0;
    };
    WindowTerms weighing(double siteDensity) const;
    // log P(D | R) - log P(D | B) (natural logarithms) of the window scores
    // (NaN ones left out), with the window terms of the site density.
    double logBayesFactor(const std::vector<double>& scores,
                          const std::vector<double>& terms) const;
    double logBayesFactor(const std::vector<double>& scores, double siteDensity) const {
        return logBayesFactor(scores, windowTerms(siteDensity));
    }
    // The same of windows counted by bin (counts[b] windows in bin b,
    // binCount() entries). The sum is taken by bins, not by windows: the
    // windows of the terms' flat start (flatEnd) together, their count times
    // bin 0's term, then every other bin's count times its term, bins
    // rising. So the same counts give the same bits whatever counted them,
    // and in whatever order.
    double logBayesFactor(const std::vector<uint32_t>& counts,
                          const std::vector<double>& terms) const;
    // The last bin of the terms' flat start: bins 0 .. flatEnd(terms) have
    // bin 0's term, bit for bit (where the site's curve is too small to
    // move log(1 - a)). Folds the counts of those bins into bin 0.
    static size_t flatEnd(const std::vector<double>& terms);
    static void foldFlat(std::vector<uint32_t>& counts, size_t flat);
    // logBayesFactor of counts already folded (foldFlat) at terms.flat.
    static double evidence(const std::vector<uint32_t>& counts, const WindowTerms& terms);

    // The sums, bracketed as for bracketBins, whose both ends fall in bins
    // 0 .. flat: those at most `limit` (`below`: the higher the sum, the
    // higher the bin) or at least it; none when `any` is false.
    struct FlatSums {
        int32_t limit = 0;
        bool below = true;
        bool any = false;
    };
    FlatSums flatSums(size_t flat, int span, double step, double slack) const;

    // The bins of scores known only within [sum step - slack, (sum + span)
    // step + slack], or kUndecided where the two ends fall in different
    // bins (binOf is monotone in the score, so where they agree the score's
    // bin is theirs).
    static constexpr uint16_t kUndecided = 0xFFFE;
    void bracketBins(const int32_t* sums, size_t count, int span, double step, double slack,
                     uint16_t* bins) const;

    // The bins, for the tables' comment lines and the tests: bin 0 holds the
    // scores worse than the median's edge, bin k >= 1 those from
    // edge + (k - 1) w on (the last one every better score); a score is
    // placed by floor((score - edge) / w + 1), computed with 1 / w.
    size_t binCount() const { return logRatio_.size(); }
    double binWidth() const { return width_; }
    double medianEdge() const { return sign_ * edge_; }
    size_t binOf(double score) const;
    double logNullMass(size_t bin) const { return logNull_[bin]; }
    double logSiteMass(size_t bin) const { return logRatio_[bin] + logNull_[bin]; }

  private:
    double edgeAt(size_t k) const { return edge_ + static_cast<double>(k) * width_; }

    double sign_ = 1.0;   // scores times sign_: higher is better
    double edge_ = 0.0;   // the median's edge, on that axis
    double width_ = 1.0;  // of bins 1 .. K
    double inverseWidth_ = 1.0;
    double lastBin_ = 1.0;
    std::vector<double> logNull_;
    std::vector<double> logRatio_;
};

// P(R | D) from log P(D | R) / P(D | B) and the prior p (0 < p < 1),
// through the log odds; NaN for NaN.
double posteriorProbability(double logBayesFactor, double prior);

}  // namespace xoprex
