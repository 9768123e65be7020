// Exact-tail p-values of additive window scores under an i.i.d. background.
//
// A window x = x_0 .. x_{L-1} over {A,C,G,T} is scored the way the scanner
// does it, as a left-to-right double sum
//
//     score(x) = ((0.0 + T[0][x_0]) + T[1][x_1]) + ... + T[L-1][x_{L-1}]
//
// and the null model draws every letter independently, letter b with
// probability p[b].  ScoreDistribution answers tail probabilities of that
// score and turns a p-value cut-off into a score cut-off.  tail() refers to
// the *double* the scanner computes; pValue() and pValueCutOff() take scores
// that lie within tieTolerance() of each other as one score, so that two
// windows whose real sums tie (the same terms added in another order, say)
// get one p-value whatever the rounding of their double sums, and a p-value
// cut-off keeps or drops them together.
//
// Guarantee.  For every double s, tail(s) = q with |q - P(s)| <= 1e-3 * P(s),
// where P(s) is the exact tail probability.  This is a proven bound, not an
// estimate (floating-point rounding of scores and probabilities included);
// the only exception is gradual underflow: when P(s) < 1e-300 the error is
// additionally allowed an absolute 1e-300.  q is monotone in s, so a p-value
// cut-off is a score cut-off.
//
// How it works (details in score_distribution.cpp).  The answer comes from a
// short, deterministic hierarchy of "levels", each valid on a score region
// [a_j, +inf) with a_0 = -inf < a_1 <= a_2 <= ...:
//   * exact levels: the complete distribution of the double score over the
//     region, computed by a dynamic programme over distinct double partial
//     sums (exact enumeration when 4^L is small, or when the scores take few
//     distinct values, or in the extreme tail);
//   * grid levels: terms rounded to a grid of step 2^e give an integer
//     distribution whose tail brackets the true tail, widened by a proven
//     bound on the scanner's rounding error.
// Each level records where its bracket first becomes wider than the target;
// the next (finer or exact) level covers the region from there on.  Every
// level is built when a query first needs it (the finer ones typically for
// the deep tail, i.e. the scores of real hits).  With a focus (see the
// tuning), the scores from the focus up may instead come from one exact
// distribution of that region alone.  The proof of the bound and of
// monotonicity is in the notes of score_distribution.cpp.
//
// Thread safety: all const member functions may be called concurrently.  The
// lazy refinement is internally synchronised; results never depend on the
// order or timing of calls.  Each thread that builds levels keeps its six
// working buffers for reuse by later builds while each is at most 256 KB
// (1.5 MB in all); larger ones are released once a build ends.
//
// Cost (2-core x86-64 server, -O2; bench_pvalue): the constructor only
// checks the model; level 0 takes about 0.1 ms for L = 6 and 1 ms for
// L = 12..30; a lookup 50-150 ns; the cut-off of 1e-4 and the refinements
// for its hits take 10-25 ms for L = 19..30 once per model (more for L = 60,
// or when terms repeat so that many real sums tie: there a focus at the
// cut-off answers the hits from the exact tail beyond it instead).

#pragma once

#include <array>
#include <cstddef>
#include <limits>
#include <memory>
#include <vector>

namespace xoprex {

/// The score model and background of one scan.
struct NullModel {
    /// terms[l][b]: contribution of letter b (0=A, 1=C, 2=G, 3=T) at window
    /// position l; the window length is terms.size() (0 is allowed: every
    /// window scores 0.0).  Terms of letters with background 0 are never
    /// looked at; all others must be finite.
    std::vector<std::array<double, 4>> terms;
    /// background[b]: probability of letter b; each >= 0, summing to 1 within
    /// 1e-6 (used exactly as given, not renormalised).
    std::array<double, 4> background{0.25, 0.25, 0.25, 0.25};
    /// false: high scores are good, tail(s) = P(score >= s).
    /// true:  low scores are good,  tail(s) = P(score <= s).
    bool lowerIsBetter = false;
};

/// Result of ScoreDistribution::cutOffFor.
struct ScoreCutOff {
    /// Scores strictly beyond `score` pass: s > score (higher is better) or
    /// s < score (lower is better).  May be -inf / +inf (everything / nothing).
    double score;
    /// tail() of the least extreme passing score, i.e. the largest p-value a
    /// passing window can have (0 if no score passes).
    double tail;
};

/// Performance knobs.  The defaults suit production; results satisfy the
/// same guarantee for any values (they only move work between methods).
struct ScoreDistributionTuning {
    /// The constructor computes the whole distribution exactly when it has at
    /// most this many distinct scores (all 4^L windows for L <= 8, more when
    /// sums of rounded terms coincide); otherwise it builds a grid level.
    /// Also the least work granted to an exact attempt on a tail region.
    std::size_t exactValues = std::size_t{1} << 16;
    /// Bins of the level-0 grid; finer grid levels get at most 64 times more.
    std::size_t gridBins = std::size_t{1} << 16;
    /// A score around which most queries fall (a search's cut-off: its hits
    /// score beyond it), or NaN.  When set, the first query computes the
    /// exact distribution of the scores at least as extreme as the focus
    /// (given up, and ignored from then on, beyond focusWork merged entries
    /// or as soon as its partial sums hardly collide, where the grid levels
    /// do well) and answers those scores from it: for models whose sums tie often
    /// that is far cheaper than refining the whole hierarchy down from where
    /// the ties start.  Other scores are answered as without it (raised to at
    /// least the focus's own tail, which keeps tail() monotone).
    double focus = std::numeric_limits<double>::quiet_NaN();
    std::size_t focusWork = std::size_t{1} << 22;
};

/// For figures wanted only within a looser error (roughTail): the exact
/// attempt at the whole distribution is given up early, so a model whose
/// sums tie often costs a grid level (about a millisecond) rather than up
/// to a quarter of a second; the guarantee is the same.
inline ScoreDistributionTuning roughFigureTuning() {
    ScoreDistributionTuning tuning;
    tuning.exactValues = 256;
    return tuning;
}

class ScoreDistribution {
  public:
    /// Checks the model; the levels are built by the queries that need them
    /// (level 0 takes about 1 ms for L = 12..30, see the cost above).
    /// Throws std::invalid_argument if a term of a letter with positive
    /// background is not finite, if the largest possible |score| would exceed
    /// 1e300, or if the background has a negative or non-finite entry or does
    /// not sum to 1 within 1e-6.
    explicit ScoreDistribution(const NullModel& model, const ScoreDistributionTuning& tuning = {});
    ~ScoreDistribution();
    /// A moved-from object may only be destroyed or assigned to.
    ScoreDistribution(ScoreDistribution&&) noexcept;
    ScoreDistribution& operator=(ScoreDistribution&&) noexcept;
    ScoreDistribution(const ScoreDistribution&) = delete;
    ScoreDistribution& operator=(const ScoreDistribution&) = delete;

    /// Window length L.
    std::size_t length() const;

    /// Tail probability of score s: P(score >= s) if higher is better,
    /// P(score <= s) if lower is better; within relative error 1e-3 (see the
    /// guarantee above).  Any double is accepted: s need not be achievable
    /// (e.g. the score of a window containing N).  Non-increasing in s (higher
    /// is better) / non-decreasing in s (lower is better) over all doubles.
    /// Returns NaN for NaN.  Usually well under a microsecond; the first query
    /// that reaches a not yet refined part of the tail builds that refinement
    /// (milliseconds), later queries reuse it.  Throws std::length_error only
    /// if a refinement would need more than 2^24 distinct scores or bins
    /// (not seen for realistic models; std::bad_alloc likewise).
    double tail(double s) const;

    /// tail(s) within a looser relative error (at least kMaxRelativeError),
    /// for a figure that is only shown: it refines the hierarchy only until
    /// a bracket is that narrow at s, which for deep tails of models whose
    /// sums tie often is far cheaper. Not monotone in s; NaN for NaN.
    double roughTail(double s, double relativeError) const;

    /// A score whose tail is at least p, from the coarsest level alone (a
    /// few milliseconds): where a p-value cut-off p' < p lies beyond, a
    /// focus for finding it.  The least extreme score (-inf or +inf) when
    /// no score is known to have such a tail.
    double scoreWithTailAtLeast(double p) const;

    /// Score cut-off equivalent to the p-value cut-off `p`: for every finite
    /// double s,   tail(s) <= p   <=>   s passes result.score strictly.
    /// It is obtained by bisection over the ordered set of doubles on tail()
    /// itself, which is monotone: with s* the least extreme double such that
    /// tail(s*) <= p, result.score is the neighbouring double of s* on the
    /// failing side (nextafter), and result.tail = tail(s*).  p >= tail(-inf)
    /// (higher is better) yields -inf: every finite score passes.
    /// Throws std::invalid_argument if p is NaN or negative.
    /// Costs about 64 tail() calls (plus the refinements they need).
    ScoreCutOff cutOffFor(double p) const;

    /// Scores closer than this count as one score: (4 L + 32) * 2^-53 times
    /// the largest |score| a window of the model can reach, T (the sum over
    /// positions of the largest |term|).  The scanner's double sum of L terms
    /// lies within gamma(L - 1) * T of the real sum of its terms (gamma(n) =
    /// n u / (1 - n u), u = 2^-53), so two orders of the same terms differ by
    /// at most 2 gamma(L - 1) T; terms that are equal in real arithmetic but
    /// computed by other formulas (a product of frequencies against a sum of
    /// their logarithms) are each within 8 u of their real values. The
    /// tolerance is twice the sum of both bounds: windows whose real sums tie
    /// always count as tied, and distinct real sums are merged only when they
    /// are that close.
    double tieTolerance() const { return tolerance_; }

    /// The p-value of a window scoring s: the tail of the least extreme
    /// score tied with it, tail(s - tieTolerance()) (tail(s + ...) when lower
    /// is better).  Within kMaxRelativeError of the tail of the real-valued
    /// score, sums closer than the tolerance counted as equal.
    double pValue(double s) const;
    /// The same within a looser relative error (roughTail).
    double roughPValue(double s, double relativeError) const;

    /// Score cut-off equivalent to the p-value cut-off p under pValue(): for
    /// every finite double s,   pValue(s) <= p   <=>   s passes result.score
    /// strictly, so windows that tie pass or fail together; result.tail is
    /// the p-value of the least extreme passing score.
    ScoreCutOff pValueCutOff(double p) const;

    /// The relative error bound of tail().
    static constexpr double kMaxRelativeError = 1e-3;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
    double tolerance_ = 0.0;
};

}  // namespace xoprex
