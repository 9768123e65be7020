// Implementation notes
// ====================
//
// Orientation.  Scores are handled "higher is better"; a lower-is-better
// model is served by negating every term.  Negation is exact and
// round-to-nearest is symmetric, so the scanner's double sum of the negated
// terms is exactly the negated double sum (up to the sign of a zero, which
// compares equal).  Below, S is the double score the scanner computes for a
// random window, S* the exact real sum of the same terms, P(s) = P(S >= s).
// Only letters with positive background take part: words with any other
// letter have probability 0.
//
// Rounding of the score.  The standard bound for recursive summation gives
// |S - S*| <= delta = gamma_L * sum_l max_b |T[l][b]|, gamma_n = n u/(1-n u),
// u = 2^-53 (the first addition 0.0 + T[0][x_0] is exact).
//
// Exact levels.  A dynamic programme over positions keeps the ascending list
// of distinct *double* partial sums with their probabilities: at position l
// each value v becomes fl(v + T[l][b]) with probability times p[b]; the
// letters' lists are ascending because rounded addition is monotone, so they
// are merged, adding up equal values.  The result is the exact distribution
// of S.  Restricted to a region [a, +inf), a prefix value v is dropped when
// reach_l(v) = fl(..fl(v + max_b T[l][b]) + ..) < a: reach is monotone in v
// and bounds every continuation (monotonicity of rounding), so the cut is
// exact and found by binary search.  Attempts are capped in list size and in
// work; a capped attempt is abandoned.
//
// Grid levels.  With eps = 2^e, letter b at position l gets an integer k near
// T/eps (chosen per position so that the residuals rho = T/eps - k are as
// close together as possible), and the DP computes the exact distribution of
// the integer K' = sum_l d[l][x_l], d = k - min_b k (a convolution with four
// taps per position).  With Koff = sum_l min_b k and R = sum_l rho[l][x_l]:
//     S* = eps (K' + Koff + R).
// R is bounded per word through its *loss* Lambda = K'max - K' (how far the
// word is from the best one): a word of loss Lambda only uses letters whose
// own loss fits, so R lies in [Rmin(Lambda), Rmax(Lambda)], where Rmin / Rmax
// are the smallest / largest sum of residuals over words of loss <= Lambda
// (a small knapsack DP over a coarsened loss axis; coarsening only loosens
// the bounds).  Deep in the tail few positions can deviate from the best
// letter, so the bracket gets much narrower than the worst case.  Then
//     K' + Rmin(K'max - K') >= s/eps - Koff + delta/eps  implies  S >= s,
//     S >= s  implies  K' + Rmax(K'max - K') >= s/eps - Koff - delta/eps.
// The first is monotone in K', giving a threshold tHi with
// G(tHi) <= P(s), G(t) = P(K' >= t); tLo, the smallest K' satisfying the
// second, gives P(s) <= G(tLo).  s/eps is exact (power-of-two scaling), the
// constants are rounded outwards once, the subtractions are rounded outwards
// with nextafter, and the residual bounds carry a margin that covers every
// remaining rounding, so the bracket holds for the doubles the scanner
// produces.  A grid level restricted to [a, +inf) drops DP bins that cannot
// reach the region (exact integer test).
//
// Probabilities.  All probabilities are sums of products of background
// values.  A DP step multiplies once and adds a few times, suffix sums add
// once per entry, so a computed probability has relative error at most
// (operations on its longest path) * u; level sizes are capped so that this
// stays below kProbError = 1e-7.  Gradual underflow adds an absolute error
// far below 1e-300 in total.
//
// Hierarchy and monotonicity.  Level 0 covers all scores; level j+1 covers
// [a_{j+1}, +inf), where a_{j+1} lies below the first score at which level j's
// own bracket is wider than the target.  Each level gives bounds lo_j(s),
// up_j(s) that are non-increasing in s, and lo_j(a_j) is a valid lower bound
// for every s < a_j too.  For s in the region of level j but not of j+1:
//     LO(s) = max( max_{k<=j} lo_k(s), max_{k>j} lo_k(a_k) ),
//     UP(s) = min_{k<=j} up_k(s),
//     tail(s) = LO/2 + UP/2   (rounded additions: monotone in both).
// As the regions are nested, LO and UP are non-increasing over all s, hence
// so is tail(); the hierarchy is a deterministic function of the model, so
// building it lazily changes no answer.  The terms lo_k(a_k), k > j, are
// bounded by up_{<=k-1}(a_k) (times 1 + kSlack for rounding), which each
// level stores: they are skipped, without changing the result, when that
// bound is below LO already.  UP - LO <= 2 tau LO on every region, so
// |tail(s) - P(s)| <= (tau + 5 kProbError) P(s) <= 1e-3 P(s).
//
// Focus.  With a focus f whose exact distribution over [f, +inf) fits the
// focus's work, tail(s) for s >= f is that exact tail E(s), and for s < f it
// is max(H(s), E(f)) with H the hierarchy's answer.  E(f) is within the
// bound of P(f) <= P(s), and H(s) of P(s), so the maximum is too; it is
// non-increasing below f and at least E(f) >= E(s') for every s' >= f, so
// tail() stays monotone.  Whether the focus is used depends only on the
// model, the focus and the tuning, never on the queries.
//
// Choosing the next level (performance only; any choice keeps the
// guarantee).  A grid level is refined by 2^bits, bits from how far its
// bracket misses the target where it fails.  The exact distribution of the
// region replaces the grid level when a coarse counting DP bounds its work
// below a fraction of the grid level's, or, capped, when partial sums are
// known to collide (rounded terms) or when refining stopped narrowing the
// bracket: ties of real sums broken only by double rounding, and single
// words near the top, are resolved by the exact distribution alone.

#include "motif/score_distribution.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <utility>

namespace xoprex {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kUnitRoundoff = 0x1p-53;

// Bound on the relative rounding error of any computed probability (see the
// notes above); enforced by kMaxEntries.
constexpr double kProbError = 1e-7;
// Largest number of DP bins / list entries of one level.
constexpr std::size_t kMaxEntries = std::size_t{1} << 24;
// Accepted bracket half-width relative to its lower end.
constexpr double kTau = ScoreDistribution::kMaxRelativeError - 5 * kProbError;
// Covers (1 + kProbError) / (1 - kProbError) with room for rounding.
constexpr double kSlack = 1e-6;
// Margin, in bins, on residual bounds: covers the rounding of residuals and
// their sums (below 1e-12 bins for any sane length).
constexpr double kResidualMargin = 1e-6;
// Cells of the coarsened loss axis of the residual bounds.
constexpr std::int64_t kLossCells = 2048;
// Grid levels may have at most this many times the level-0 bins.
constexpr std::size_t kGridGrowth = 64;
// A finer grid level whose bracket at its failing score is wider than
// kNoGain times the coarser level's is taken as not helping there.
constexpr double kNoGain = 0.75;
// Refinement of a grid level relative to the previous one, in powers of 2.
constexpr int kMaxRefineBits = 8;
constexpr int kMaxLevels = 12;
// List size at which the full exact distribution checks for collisions.
constexpr std::size_t kProbeSize = 4096;
// A merged list longer than this share of its inputs' distinct sums shows
// prefixes whose sums hardly collide.
constexpr double kFewCollisions = 0.9;
// A merged entry of the exact DP costs some tens of grid DP multiply-adds;
// the exact distribution replaces a grid level when its work is at most the
// grid level's work / kExactCostRatio (being final, it also saves the levels
// a grid would still need).
constexpr double kExactCostRatio = 16;
// The same when a finer grid is not expected to help (see Level::exactNext).
constexpr double kExactCostRatioHopeless = 2;
// Bins of the grid that bounds the work of the exact DP.
constexpr std::int64_t kCountBins = 4096;

double nextUp(double x) {
    if (std::isnan(x) || x == kInf)
        return x;
    if (x == 0)
        return std::numeric_limits<double>::denorm_min();
    auto bits = std::bit_cast<std::uint64_t>(x);
    bits = x > 0 ? bits + 1 : bits - 1;
    return std::bit_cast<double>(bits);
}

double nextDown(double x) {
    return -nextUp(-x);
}

double ulpOf(double x) {
    return std::ldexp(1.0, std::ilogb(std::max(std::abs(x), 1.0)) - 52);
}

// Order-preserving map from non-NaN doubles to integers (-0.0 and +0.0 share
// a key, as they compare equal).
std::int64_t orderKey(double d) {
    const auto bits = std::bit_cast<std::uint64_t>(d);
    const auto magnitude = static_cast<std::int64_t>(bits & 0x7fffffffffffffffULL);
    return (bits >> 63) ? -magnitude : magnitude;
}

double fromOrderKey(std::int64_t k) {
    const std::uint64_t magnitude =
        k < 0 ? static_cast<std::uint64_t>(-k) : static_cast<std::uint64_t>(k);
    return std::bit_cast<double>(k < 0 ? magnitude | 0x8000000000000000ULL : magnitude);
}

// One position of the oriented model, letters of positive background only.
struct Column {
    std::array<double, 4> term{};
    double maxTerm = 0;
};

struct Bracket {
    double lo;
    double up;
};

// ---------------------------------------------------------------------------
// Exact DP helpers.

struct Entry {
    double value;
    double prob;
};

// Merges two ascending sequences given by accessors into `out`, adding the
// probabilities of equal values; returns the number of entries written, or
// limit + 1 as soon as the result would exceed `limit` entries (`out` must
// hold min(na + nb, limit + 1) entries).
template <class A, class B>
std::size_t mergeCombine(std::size_t na, A a, std::size_t nb, B b, Entry* out, std::size_t limit) {
    std::size_t i = 0, j = 0, k = 0;
    auto put = [&](const Entry& e) {
        if (k > 0 && out[k - 1].value == e.value) {
            out[k - 1].prob += e.prob;
            return true;
        }
        if (k == limit)
            return false;
        out[k++] = e;
        return true;
    };
    while (i < na && j < nb) {
        const Entry x = a(i), y = b(j);
        const bool takeA = x.value <= y.value;
        if (!put(takeA ? x : y))
            return limit + 1;
        i += takeA;
        j += !takeA;
    }
    for (; i < na; ++i) {
        if (!put(a(i)))
            return limit + 1;
    }
    for (; j < nb; ++j) {
        if (!put(b(j)))
            return limit + 1;
    }
    return k;
}

// Uninitialised storage for DP lists.
struct EntryBuffer {
    std::unique_ptr<Entry[]> data;
    std::size_t size = 0;
    std::size_t capacity = 0;

    // Makes room for n entries; the contents are lost.  Grows at least
    // twofold: the lists of an exact build grow column by column, and each
    // fresh block costs its page faults.
    void reset(std::size_t n) {
        size = 0;
        if (n > capacity) {
            const std::size_t grown = std::max(n, std::min(2 * capacity, kMaxEntries + 1));
            data.reset();
            data.reset(new Entry[grown]);
            capacity = grown;
        }
    }
};

// Working memory of the dynamic programmes, kept per thread from one build
// to the next while it is small: freshly allocated memory costs page faults.
// Buffers above kKeptBytes are released, so that a search that asks for a
// few distributions does not hold their working memory to its end.
constexpr std::size_t kKeptBytes = std::size_t{256} << 10;

struct Scratch {
    std::array<EntryBuffer, 4> lists;
    std::array<std::vector<double>, 2> bins;

    void trim() {
        for (EntryBuffer& b : lists) {
            if (b.capacity * sizeof(Entry) > kKeptBytes)
                b = EntryBuffer();
        }
        for (auto& v : bins) {
            if (v.capacity() * sizeof(double) > kKeptBytes)
                std::vector<double>().swap(v);
        }
    }
};

// This thread's scratch memory, trimmed when the guard goes out of scope.
class ScratchGuard {
  public:
    ScratchGuard() : scratch_(instance()) {}
    ~ScratchGuard() { scratch_.trim(); }
    ScratchGuard(const ScratchGuard&) = delete;
    ScratchGuard& operator=(const ScratchGuard&) = delete;
    Scratch* operator->() const { return &scratch_; }

  private:
    static Scratch& instance() {
        thread_local Scratch scratch;
        return scratch;
    }
    Scratch& scratch_;
};

// ---------------------------------------------------------------------------
// Grid DP helpers.

// Two doubles, unaligned; lane-wise arithmetic rounds exactly like scalar
// code, so results do not depend on vectorisation.
typedef double Vec2 __attribute__((vector_size(16), aligned(8), may_alias));

// out[j] = sum_i src[i][j] * prob[i], i = 0..K-1 in order, j in [0, n).
template <int K>
void combine(const std::array<const double*, 4>& src, const std::array<double, 4>& prob,
             double* out, std::size_t n) {
    std::size_t j = 0;
    const Vec2 p0 = {prob[0], prob[0]}, p1 = {prob[1], prob[1]}, p2 = {prob[2], prob[2]},
               p3 = {prob[3], prob[3]};
    for (; j + 2 <= n; j += 2) {
        Vec2 acc = *reinterpret_cast<const Vec2*>(src[0] + j) * p0;
        if constexpr (K > 1)
            acc += *reinterpret_cast<const Vec2*>(src[1] + j) * p1;
        if constexpr (K > 2)
            acc += *reinterpret_cast<const Vec2*>(src[2] + j) * p2;
        if constexpr (K > 3)
            acc += *reinterpret_cast<const Vec2*>(src[3] + j) * p3;
        *reinterpret_cast<Vec2*>(out + j) = acc;
    }
    for (; j < n; ++j) {
        double acc = src[0][j] * prob[0];
        if constexpr (K > 1)
            acc += src[1][j] * prob[1];
        if constexpr (K > 2)
            acc += src[2][j] * prob[2];
        if constexpr (K > 3)
            acc += src[3][j] * prob[3];
        out[j] = acc;
    }
}

// One DP step: next[j] = sum_i prob[i] * cur[j + offset[i]], reading zero
// outside cur.  The output is cut into segments on which the set of letters
// with a source in range is fixed, so the inner loops need no bounds checks.
void convolveStep(const std::vector<double>& cur, int letters, const std::array<double, 4>& probs,
                  const std::array<std::int64_t, 4>& offset, std::vector<double>& next) {
    const auto n = static_cast<std::int64_t>(next.size());
    const auto m = static_cast<std::int64_t>(cur.size());
    std::array<std::int64_t, 4> from{}, to{};  // letter i in range on [from, to)
    std::array<std::int64_t, 10> cuts{0, n};
    int cutCount = 2;
    for (int i = 0; i < letters; ++i) {
        from[i] = std::clamp(-offset[i], std::int64_t{0}, n);
        to[i] = std::clamp(m - offset[i], from[i], n);
        cuts[cutCount++] = from[i];
        cuts[cutCount++] = to[i];
    }
    for (int i = 1; i < cutCount; ++i) {  // insertion sort, at most 10 cuts
        for (int k = i; k > 0 && cuts[k] < cuts[k - 1]; --k) std::swap(cuts[k], cuts[k - 1]);
    }
    for (int c = 0; c + 1 < cutCount; ++c) {
        const std::int64_t a = cuts[c], b = cuts[c + 1];
        if (a == b)
            continue;
        std::array<const double*, 4> src{};
        std::array<double, 4> prob{};
        int k = 0;
        for (int i = 0; i < letters; ++i) {
            if (from[i] <= a && b <= to[i]) {
                src[k] = cur.data() + (a + offset[i]);
                prob[k++] = probs[i];
            }
        }
        double* out = next.data() + a;
        const auto len = static_cast<std::size_t>(b - a);
        switch (k) {
            case 0:
                std::fill(out, out + len, 0.0);
                break;
            case 1:
                combine<1>(src, prob, out, len);
                break;
            case 2:
                combine<2>(src, prob, out, len);
                break;
            case 3:
                combine<3>(src, prob, out, len);
                break;
            default:
                combine<4>(src, prob, out, len);
                break;
        }
    }
}

// ---------------------------------------------------------------------------
// Levels.

// Tail bounds of a grid level (see the notes above), in K' coordinates.
struct Grid {
    int exponent = 0;        // eps = 2^exponent
    double invEps = 1;       // 2^-exponent
    double cLo = 0;          // xLo = s/eps - cLo <= s/eps - Koff - delta/eps
    double cHi = 0;          // xHi = s/eps - cHi >= s/eps - Koff + delta/eps
    std::int64_t tBase = 0;  // G(t) = g[t - tBase] for tBase <= t <= kTop + 1
    std::int64_t kTop = 0;   // K'max
    std::vector<double> g;
    // Residual bounds by loss: cell c = Lambda >> lossShift; beyond the table
    // the global bounds apply.  Margins included.
    int lossShift = 0;
    std::vector<double> rMin, rMax;
    double rMinAll = 0, rMaxAll = 0;
    // reachBefore[c] = max of k + rMaxAt(k) over tBase <= k < (first k of
    // cell c), i.e. over the cells of larger index.
    std::vector<double> reachBefore;

    double tailAt(std::int64_t t) const {  // G(t)
        if (t > kTop)
            return 0.0;
        return g[static_cast<std::size_t>(std::max(t, tBase) - tBase)];
    }

    std::size_t cell(std::int64_t k) const {
        return static_cast<std::size_t>(std::max<std::int64_t>(kTop - k, 0) >> lossShift);
    }
    double rMinAt(std::int64_t k) const {
        const std::size_t c = cell(k);
        return c < rMin.size() ? rMin[c] : rMinAll;
    }
    double rMaxAt(std::int64_t k) const {
        const std::size_t c = cell(k);
        return c < rMax.size() ? rMax[c] : rMaxAll;
    }

    // v rounded down into [tBase, kTop + 1].
    std::int64_t clampK(double v) const {
        if (!(v > static_cast<double>(tBase)))
            return tBase;
        if (!(v < static_cast<double>(kTop + 1)))
            return kTop + 1;
        return static_cast<std::int64_t>(v);
    }

    // Smallest k >= tBase with k + rMinAt(k) >= y (kTop + 1 if none): words
    // with K' >= it surely reach the score.  The predicate is monotone in k.
    std::int64_t firstSure(double y) const {
        auto sure = [&](std::int64_t k) {
            return k > kTop || static_cast<double>(k) + rMinAt(k) >= y;
        };
        const double top = rMin.empty() ? rMinAll : rMin[0];
        std::int64_t a = clampK(std::floor(y - top) - 1);
        std::int64_t b = clampK(std::ceil(y - rMinAll) + 1);
        if (sure(a))
            a = tBase;
        if (!sure(b))
            b = kTop + 1;
        if (sure(a))
            return a;
        while (b - a > 1) {
            const std::int64_t mid = a + (b - a) / 2;
            (sure(mid) ? b : a) = mid;
        }
        return b;
    }

    // max over tBase <= j <= k of j + rMaxAt(j), for k in [tBase, kTop].
    double reachUpTo(std::int64_t k) const {
        const std::size_t c = cell(k);
        if (c >= rMax.size())
            return static_cast<double>(k) + rMaxAll;
        return std::max(reachBefore[c], static_cast<double>(k) + rMax[c]);
    }

    // Smallest k >= tBase with k + rMaxAt(k) >= y (kTop + 1 if none): words
    // with smaller K' cannot reach the score.  Found by bisection on the
    // running maximum reachUpTo, which has the same first success.
    std::int64_t firstPossible(double y) const {
        auto possible = [&](std::int64_t k) { return k > kTop || reachUpTo(k) >= y; };
        const double top = rMax.empty() ? rMaxAll : rMax[0];
        std::int64_t a = clampK(std::floor(y - rMaxAll) - 1);
        std::int64_t b = clampK(std::ceil(y - top) + 1);
        if (possible(a))
            a = tBase;
        if (!possible(b))
            b = kTop + 1;
        if (possible(a))
            return a;
        while (b - a > 1) {
            const std::int64_t mid = a + (b - a) / 2;
            (possible(mid) ? b : a) = mid;
        }
        return b;
    }

    std::int64_t tLo(double s) const { return firstPossible(nextDown(s * invEps - cLo)); }

    Bracket bracket(double s) const {
        const double x = s * invEps;  // exact: power-of-two scaling
        return {tailAt(firstSure(nextUp(x - cHi))), tailAt(firstPossible(nextDown(x - cLo)))};
    }
};

// A level of the hierarchy: tail bounds valid for scores in [start, +inf).
struct Level {
    bool exact = false;
    double start = -kInf;
    Grid grid;  // grid levels
    // Exact levels: distinct scores >= start, ascending, and
    // tails[i] = P(S >= values[i]), tails.back() = 0.
    std::vector<double> values;
    std::vector<double> tails;

    // Links to the next level.
    double floorLo = 0;  // lo at `start`: a lower bound for all s < start
    bool last = true;    // bracket within target on the whole region
    double nextStart = kInf;
    double capUp = kInf;     // upper bound at `start` from the coarser levels
    double upAtNext = 0;     // upper bound at nextStart: min(up, capUp)
    int refineBits = 0;      // suggested refinement of the next grid level
    bool exactNext = false;  // a finer grid would not help: next level exact

    Bracket bracket(double s) const {
        if (!exact)
            return grid.bracket(s);
        // Branch-free lower_bound: index of the first value >= s.
        const double* base = values.data();
        std::size_t n = values.size();
        while (n > 1) {
            const std::size_t half = n / 2;
            base = base[half - 1] < s ? base + half : base;
            n -= half;
        }
        const auto i = static_cast<std::size_t>(base - values.data()) + (n == 1 && *base < s);
        return {tails[i], tails[i]};
    }
};

// Integer terms and residuals of a grid level, before its DP.
struct GridPlan {
    Grid grid;
    std::vector<std::array<std::int64_t, 4>> d;  // d[l][i] = k - min k >= 0
    std::vector<std::array<double, 4>> rho;      // residuals, in bins
    std::vector<std::int64_t> dMax;
    std::size_t bins = 0;  // width of the DP
};

}  // namespace

class ScoreDistribution::Impl {
  public:
    Impl(const NullModel& model, const ScoreDistributionTuning& tuning);

    std::size_t length() const { return columns_.size(); }
    bool lowerIsBetter() const { return lowerIsBetter_; }
    double tailHigh(double s) const;
    double roughTailHigh(double s, double relativeError) const;
    ScoreCutOff cutOffHigh(double p) const;
    double scoreWithTailAtLeast(double p) const;

  private:
    // A hierarchy of levels over the region [start, +inf) of its level 0.
    struct Chain {
        double start = -kInf;
        // Whether partial sums are known to collide (the full exact
        // distribution failed for its size, not for lack of collisions);
        // assumed when unknown.
        bool sumsCollide = true;
        std::array<std::atomic<const Level*>, kMaxLevels> levels{};
    };

    double chainTail(Chain& c, double s) const;
    double roughChainTail(Chain& c, double s, double relativeError) const;
    const Level& level(Chain& c, int j) const;
    std::unique_ptr<Level> buildFirst(Chain& c) const;
    bool focusUsable() const;
    std::unique_ptr<Level> build(const Chain& c, int j) const;
    std::unique_ptr<Level> buildExact(double start, std::size_t maxValues, std::size_t maxWork,
                                      bool* fewCollisions = nullptr,
                                      bool probeRegion = false) const;
    std::optional<GridPlan> planGrid(int exponent, double start, std::size_t maxBins,
                                     bool residualTables = true) const;
    double exactWorkBound(double start) const;
    std::unique_ptr<Level> runGrid(GridPlan&& plan, double start) const;
    void link(const Chain& c, Level& lv, int j) const;
    double reach(std::size_t from, double v) const;

    std::vector<Column> columns_;
    int letters_ = 0;               // letters with positive background
    std::array<double, 4> prob_{};  // their probabilities
    bool lowerIsBetter_ = false;
    ScoreDistributionTuning tuning_;
    double delta_ = 0;  // |S - S*| <= delta_ for every window
    double range_ = 0;  // sum over positions of max - min term
    // Give up the full exact distribution early when partial sums hardly
    // collide (see buildExact).
    bool probeExact_ = false;

    // Every score, and the scores from the focus up (start +inf: no focus).
    // Each builds its levels, level 0 included, when a query first needs them.
    mutable Chain whole_;
    mutable Chain focused_;
    // The focused chain is used when its level 0, built by the first query,
    // is the exact distribution (within the focus's work); else the focus is
    // dropped.
    mutable std::once_flag focusOnce_;
    mutable bool focusOn_ = false;

    mutable std::mutex mutex_;
    mutable std::vector<std::unique_ptr<Level>> owned_;
};

ScoreDistribution::Impl::Impl(const NullModel& model, const ScoreDistributionTuning& tuning)
    : lowerIsBetter_(model.lowerIsBetter), tuning_(tuning) {
    double total = 0;
    std::array<int, 4> letter{};
    for (int b = 0; b < 4; ++b) {
        const double p = model.background[b];
        if (!std::isfinite(p) || p < 0) {
            throw std::invalid_argument("background probabilities must be finite and >= 0");
        }
        total += p;
        if (p > 0) {
            letter[letters_] = b;
            prob_[letters_++] = p;
        }
    }
    if (!(std::abs(total - 1.0) <= 1e-6)) {
        throw std::invalid_argument("background probabilities must sum to 1");
    }

    const double sign = lowerIsBetter_ ? -1.0 : 1.0;
    double sumAbs = 0;
    double distinctWords = 1;  // distinct scores if no two sums collided
    columns_.reserve(model.terms.size());
    for (const auto& row : model.terms) {
        Column c;
        c.maxTerm = -kInf;
        double minTerm = kInf, maxAbs = 0;
        int distinct = 0;
        for (int i = 0; i < letters_; ++i) {
            const double t = sign * row[letter[i]];
            if (!std::isfinite(t)) {
                throw std::invalid_argument("score terms must be finite");
            }
            c.term[i] = t;
            c.maxTerm = std::max(c.maxTerm, t);
            minTerm = std::min(minTerm, t);
            maxAbs = std::max(maxAbs, std::abs(t));
            distinct += std::find(c.term.begin(), c.term.begin() + i, t) == c.term.begin() + i;
        }
        sumAbs += maxAbs;
        range_ += c.maxTerm - minTerm;
        distinctWords *= distinct;
        columns_.push_back(c);
    }
    if (!(sumAbs <= 1e300)) {
        throw std::invalid_argument("score terms too large");
    }
    const double nu = static_cast<double>(columns_.size()) * kUnitRoundoff;
    delta_ = nu / (1 - nu) * sumAbs * (1 + 1e-6);
    probeExact_ = distinctWords > static_cast<double>(tuning_.exactValues);
    focused_.start = std::isnan(tuning_.focus) ? kInf : sign * tuning_.focus;
}

// Level 0 of a chain: the exact distribution of all scores when they take
// few distinct values, else a grid.
std::unique_ptr<Level> ScoreDistribution::Impl::buildFirst(Chain& c) const {
    const double a = c.start;
    bool fewCollisions = false;
    std::unique_ptr<Level> first = buildExact(a, tuning_.exactValues, kMaxEntries, &fewCollisions);
    c.sumsCollide = !fewCollisions;
    if (!first) {
        // Power-of-two step giving at most about gridBins bins.
        const double wanted =
            range_ / static_cast<double>(std::max<std::size_t>(tuning_.gridBins, 1));
        if (std::optional<GridPlan> plan = planGrid(std::ilogb(wanted) + 1, a, kMaxEntries)) {
            first = runGrid(std::move(*plan), a);
        }
    }
    if (!first)
        first = buildExact(a, kMaxEntries, kMaxEntries);
    if (!first)
        throw std::length_error("score distribution too large");
    return first;
}

// The largest double score reachable from partial score v at position `from`.
double ScoreDistribution::Impl::reach(std::size_t from, double v) const {
    for (std::size_t l = from; l < columns_.size(); ++l) {
        v = v + columns_[l].maxTerm;
    }
    return v;
}

// The exact distribution of S over [start, +inf), or null when a cap is
// hit.  With start = -inf and probeExact_, also gives up (setting
// *fewCollisions) once the partial sums are seen to hardly collide.
std::unique_ptr<Level> ScoreDistribution::Impl::buildExact(double start, std::size_t maxValues,
                                                           std::size_t maxWork, bool* fewCollisions,
                                                           bool probeRegion) const {
    ScratchGuard scratch;
    EntryBuffer& cur = scratch->lists[0];
    EntryBuffer& next = scratch->lists[1];
    EntryBuffer& tmpA = scratch->lists[2];
    EntryBuffer& tmpB = scratch->lists[3];
    cur.reset(1);
    cur.data[0] = {0.0, 1.0};
    cur.size = 1;
    double words = 1;
    std::size_t work = 0;
    for (std::size_t l = 0; l < columns_.size(); ++l) {
        const Entry* src = cur.data.get();
        std::size_t n = cur.size;
        if (start > -kInf) {
            // Skip prefixes whose best continuation stays below `start`.
            const Entry* keep = std::partition_point(
                src, src + n, [&](const Entry& e) { return reach(l, e.value) < start; });
            n -= static_cast<std::size_t>(keep - src);
            src = keep;
        }
        work += static_cast<std::size_t>(letters_) * n;
        if (work > maxWork)
            return nullptr;
        // Merge the letters' lists {fl(v + term), prob * p}, adding up equal
        // values.  No intermediate result can be larger than the final one, so
        // all merges stop at the cap.
        const Column& c = columns_[l];
        auto shifted = [&](int i) {
            return [src, t = c.term[i], p = prob_[i]](std::size_t k) {
                return Entry{src[k].value + t, src[k].prob * p};
            };
        };
        auto stored = [](const EntryBuffer& b) {
            return [d = b.data.get()](std::size_t k) { return d[k]; };
        };
        const std::size_t cap = std::min(static_cast<std::size_t>(letters_) * n, maxValues);
        next.reset(cap + 1);
        switch (letters_) {
            case 1:
                next.size = mergeCombine(n, shifted(0), 0, shifted(0), next.data.get(), cap);
                break;
            case 2:
                next.size = mergeCombine(n, shifted(0), n, shifted(1), next.data.get(), cap);
                break;
            case 3:
                tmpA.reset(std::min(2 * n, cap) + 1);
                tmpA.size = mergeCombine(n, shifted(0), n, shifted(1), tmpA.data.get(), cap);
                if (tmpA.size > cap)
                    return nullptr;
                next.size =
                    mergeCombine(tmpA.size, stored(tmpA), n, shifted(2), next.data.get(), cap);
                break;
            default:
                tmpA.reset(std::min(2 * n, cap) + 1);
                tmpB.reset(std::min(2 * n, cap) + 1);
                tmpA.size = mergeCombine(n, shifted(0), n, shifted(1), tmpA.data.get(), cap);
                if (tmpA.size > cap)
                    return nullptr;
                tmpB.size = mergeCombine(n, shifted(2), n, shifted(3), tmpB.data.get(), cap);
                if (tmpB.size > cap)
                    return nullptr;
                next.size = mergeCombine(tmpA.size, stored(tmpA), tmpB.size, stored(tmpB),
                                         next.data.get(), cap);
                break;
        }
        if (next.size > maxValues)
            return nullptr;
        // An attempt on a region (a focus) gives up as soon as the prefixes'
        // sums are seen to hardly collide beyond the ties of the column's own
        // terms: then the lists only grow towards the cap.
        if (probeRegion && n > kProbeSize) {
            int distinct = 0;
            for (int i = 0; i < letters_; ++i) {
                distinct +=
                    std::find(c.term.begin(), c.term.begin() + i, c.term[i]) == c.term.begin() + i;
            }
            if (static_cast<double>(next.size) >
                kFewCollisions * static_cast<double>(distinct) * static_cast<double>(n)) {
                return nullptr;
            }
        }
        std::swap(cur, next);
        // Full distribution of a model that would exceed the cap without
        // collisions: continue only while a good share of the sums collide
        // (typical of rounded or integer terms), so that a hopeless attempt
        // stops early.
        if (start == -kInf && probeExact_) {
            words *= letters_;
            if (cur.size > kProbeSize && 2 * static_cast<double>(cur.size) > words) {
                if (fewCollisions)
                    *fewCollisions = true;
                return nullptr;
            }
        }
    }
    const Entry* begin = cur.data.get();
    const Entry* keep = std::partition_point(begin, begin + cur.size,
                                             [&](const Entry& e) { return e.value < start; });
    const auto n = static_cast<std::size_t>(begin + cur.size - keep);

    auto lv = std::make_unique<Level>();
    lv->exact = true;
    lv->start = start;
    lv->values.resize(n);
    lv->tails.assign(n + 1, 0.0);
    for (std::size_t i = n; i-- > 0;) {
        lv->values[i] = keep[i].value;
        lv->tails[i] = lv->tails[i + 1] + keep[i].prob;
    }
    return lv;
}

std::optional<GridPlan> ScoreDistribution::Impl::planGrid(int exponent, double start,
                                                          std::size_t maxBins,
                                                          bool residualTables) const {
    const std::size_t L = columns_.size();
    GridPlan plan;
    Grid& gr = plan.grid;
    gr.exponent = exponent;
    gr.invEps = std::ldexp(1.0, -exponent);
    plan.d.resize(L);
    plan.rho.resize(L);
    plan.dMax.resize(L);
    std::int64_t kOff = 0, kTop = 0;
    double rLo = 0, rHi = 0;
    for (std::size_t l = 0; l < L; ++l) {
        std::array<double, 4> a{}, f{};
        std::array<int, 4> order{};
        for (int i = 0; i < letters_; ++i) {
            a[i] = columns_[l].term[i] * gr.invEps;  // exact: power-of-two scaling
            if (!(std::abs(a[i]) < 0x1p52))
                return std::nullopt;
            f[i] = a[i] - std::floor(a[i]);  // fractional part (approximate)
            order[i] = i;
        }
        for (int i = 1; i < letters_; ++i) {  // insertion sort by f
            for (int m = i; m > 0 && f[order[m]] < f[order[m - 1]]; --m) {
                std::swap(order[m], order[m - 1]);
            }
        }
        // Cut the circle of fractional parts at its widest gap: the residuals
        // then span 1 - gap instead of up to 1.
        int cut = 0;
        double widest = -1;
        for (int i = 0; i < letters_; ++i) {
            const double below = i == 0 ? f[order[letters_ - 1]] - 1 : f[order[i - 1]];
            if (f[order[i]] - below > widest) {
                widest = f[order[i]] - below;
                cut = i;
            }
        }
        const double threshold = f[order[cut]];
        std::array<std::int64_t, 4> k{};
        std::int64_t kMin = std::numeric_limits<std::int64_t>::max(), dMax = 0;
        double rhoMin = kInf, rhoMax = -kInf;
        for (int i = 0; i < letters_; ++i) {
            const double fl = std::floor(a[i]) - (f[i] < threshold ? 1.0 : 0.0);
            k[i] = static_cast<std::int64_t>(fl);
            plan.rho[l][i] = a[i] - fl;  // in about [0, 2), tiny rounding error
            rhoMin = std::min(rhoMin, plan.rho[l][i]);
            rhoMax = std::max(rhoMax, plan.rho[l][i]);
            kMin = std::min(kMin, k[i]);
        }
        for (int i = 0; i < letters_; ++i) {
            plan.d[l][i] = k[i] - kMin;
            dMax = std::max(dMax, plan.d[l][i]);
        }
        plan.dMax[l] = dMax;
        kTop += dMax;
        if (__builtin_add_overflow(kOff, kMin, &kOff))
            return std::nullopt;
        rLo += rhoMin;
        rHi += rhoMax;
    }
    if (kTop > (std::int64_t{1} << 40))
        return std::nullopt;
    gr.kTop = kTop;
    const long double deltaBins = static_cast<long double>(delta_ * gr.invEps);
    gr.cLo = nextUp(static_cast<double>(static_cast<long double>(kOff) + deltaBins));
    gr.cHi = nextDown(static_cast<double>(static_cast<long double>(kOff) - deltaBins));
    // The margin also covers rounding of k + r for k up to kTop.
    const double margin =
        kResidualMargin + 4 * ulpOf(static_cast<double>(kTop) + 8.0 * static_cast<double>(L) + 8);
    gr.rMinAll = rLo - margin;
    gr.rMaxAll = rHi + margin;

    // Region: with the global residual bounds tLo is smaller than with the
    // loss-dependent ones, so tBase is a valid lower end for every s >= start.
    if (start > -kInf)
        gr.tBase = gr.tLo(start);
    plan.bins = static_cast<std::size_t>(kTop - gr.tBase + 1);
    if (plan.bins > std::min(maxBins, kMaxEntries))
        return std::nullopt;
    if (!residualTables)
        return plan;

    // Residual bounds by loss over the region's loss range [0, kTop - tBase]:
    // knapsack over positions on the loss axis coarsened by 2^lossShift
    // (floor of each letter's loss: sums of floors stay below the floor of
    // the sum, so every word of loss <= Lambda is counted in cell
    // Lambda >> lossShift or below).
    const std::int64_t depth = std::max<std::int64_t>(kTop - gr.tBase, 0);
    while ((depth >> gr.lossShift) >= kLossCells) ++gr.lossShift;
    const auto cells = static_cast<std::size_t>((depth >> gr.lossShift) + 1);
    std::vector<double> hi(cells, -kInf), lo(cells, kInf), nextHi, nextLo;
    hi[0] = lo[0] = 0;
    for (std::size_t l = 0; l < L; ++l) {
        nextHi.assign(cells, -kInf);
        nextLo.assign(cells, kInf);
        for (int i = 0; i < letters_; ++i) {
            const auto step = static_cast<std::size_t>(std::min<std::int64_t>(
                (plan.dMax[l] - plan.d[l][i]) >> gr.lossShift, static_cast<std::int64_t>(cells)));
            const double r = plan.rho[l][i];
            for (std::size_t c = 0; c + step < cells; ++c) {
                nextHi[c + step] = std::max(nextHi[c + step], hi[c] + r);
                nextLo[c + step] = std::min(nextLo[c + step], lo[c] + r);
            }
        }
        hi.swap(nextHi);
        lo.swap(nextLo);
    }
    gr.rMax.resize(cells);
    gr.rMin.resize(cells);
    double runMax = -kInf, runMin = kInf;
    for (std::size_t c = 0; c < cells; ++c) {  // "loss <= Lambda"
        runMax = std::max(runMax, hi[c]);
        runMin = std::min(runMin, lo[c]);
        gr.rMax[c] = std::min(runMax + margin, gr.rMaxAll);
        gr.rMin[c] = std::max(runMin - margin, gr.rMinAll);
    }
    gr.reachBefore.assign(cells, -kInf);
    for (std::size_t c = cells - 1; c-- > 0;) {
        // Largest k of cell c + 1, if in the region.
        const std::int64_t last = kTop - (static_cast<std::int64_t>(c + 1) << gr.lossShift);
        gr.reachBefore[c] = gr.reachBefore[c + 1];
        if (last >= gr.tBase) {
            gr.reachBefore[c] =
                std::max(gr.reachBefore[c], static_cast<double>(last) + gr.rMax[c + 1]);
        }
    }
    return plan;
}

// Runs the grid DP of `plan` with per-letter weights, keeping only partial
// sums that can still reach K' >= plan.grid.tBase.  Before each position l,
// onPrefixes(cur) sees the weights of the length-l prefixes that can.  On
// return cur[k - tBase] is the weight of final K' = k, for k in
// [tBase, kTop] (empty if no word reaches tBase).
template <class F>
void forwardDp(const GridPlan& plan, int letters, const std::array<double, 4>& weight,
               F&& onPrefixes, std::vector<double>& cur, std::vector<double>& next) {
    const std::size_t L = plan.d.size();
    const std::int64_t tBase = plan.grid.tBase;
    std::vector<std::int64_t> restMax(L + 1, 0);  // sum of dMax over [l, L)
    for (std::size_t l = L; l-- > 0;) restMax[l] = restMax[l + 1] + plan.dMax[l];

    std::int64_t lo = 0, hi = 0;  // cur[k - lo] for k in [lo, hi]
    cur.assign(1, 1.0);
    if (tBase > restMax[0]) {
        cur.clear();
        return;
    }
    for (std::size_t l = 0; l < L; ++l) {
        onPrefixes(cur);
        const std::int64_t nHi = hi + plan.dMax[l];
        const std::int64_t nLo = std::max(lo, tBase - restMax[l + 1]);
        next.resize(static_cast<std::size_t>(nHi - nLo + 1));
        std::array<std::int64_t, 4> offset{};  // next[j] draws on cur[j + offset]
        for (int i = 0; i < letters; ++i) offset[i] = nLo - lo - plan.d[l][i];
        convolveStep(cur, letters, weight, offset, next);
        cur.swap(next);
        lo = nLo;
        hi = nHi;
    }
    // Here lo == max(tBase, 0) == tBase and hi == kTop.
}

std::unique_ptr<Level> ScoreDistribution::Impl::runGrid(GridPlan&& plan, double start) const {
    ScratchGuard scratch;
    std::vector<double>& dist = scratch->bins[0];
    forwardDp(
        plan, letters_, prob_, [](const std::vector<double>&) {}, dist, scratch->bins[1]);
    auto lv = std::make_unique<Level>();
    lv->start = start;
    lv->grid = std::move(plan.grid);
    Grid& gr = lv->grid;
    if (dist.empty()) {
        gr.tBase = gr.kTop + 1;
        gr.g.assign(1, 0.0);
        return lv;
    }
    gr.g.assign(dist.size() + 1, 0.0);  // suffix sums
    for (std::size_t i = dist.size(); i-- > 0;) gr.g[i] = gr.g[i + 1] + dist[i];
    return lv;
}

// Upper bound on the work (merged list entries) of buildExact(start): the
// number of prefixes, per position, that may still reach `start`, counted by
// a coarse grid DP with unit weights.
double ScoreDistribution::Impl::exactWorkBound(double start) const {
    const double wanted = range_ / static_cast<double>(kCountBins);
    std::optional<GridPlan> plan = planGrid(std::ilogb(wanted) + 1, start, kMaxEntries, false);
    if (!plan)
        return kInf;
    double work = 0;
    ScratchGuard scratch;
    forwardDp(
        *plan, letters_, {1.0, 1.0, 1.0, 1.0},
        [&](const std::vector<double>& prefixes) {
            for (double c : prefixes) work += c;
        },
        scratch->bins[0], scratch->bins[1]);
    return work * letters_;
}

// Fills the links of level j (all levels below j exist).
void ScoreDistribution::Impl::link(const Chain& c, Level& lv, int j) const {
    lv.capUp = j == 0 ? kInf : c.levels[j - 1].load(std::memory_order_relaxed)->upAtNext;
    lv.floorLo = lv.bracket(lv.start).lo;
    lv.last = true;
    if (lv.exact)
        return;
    const Grid& gr = lv.grid;

    // For a score s with tLo(s) = t, xLo(s) <= reachUpTo(t) and
    // xHi(s) <= xLo(s) + spread, so tHi(s) <= firstSure(reachUpTo(t) + spread),
    // non-decreasing in t: tracked with one forward pointer.
    const double spread =
        (gr.cLo - gr.cHi) +
        8 * ulpOf(static_cast<double>(gr.kTop) + std::abs(gr.rMaxAll) + std::abs(gr.rMinAll) + 8);
    std::int64_t sure = gr.tBase;
    for (std::int64_t t = gr.tBase; t <= gr.kTop; ++t) {
        const double target = nextUp(gr.reachUpTo(t) + spread);
        while (sure <= gr.kTop && !(static_cast<double>(sure) + gr.rMinAt(sure) >= target)) {
            ++sure;
        }
        const double up = gr.tailAt(t), lo = gr.tailAt(sure);
        if (up - lo <= 2 * kTau * lo)
            continue;

        // First failure at t.  The next level starts below every score whose
        // tLo reaches t.
        const double eps = std::ldexp(1.0, gr.exponent);
        double s = t > gr.tBase ? (static_cast<double>(t - 1) + gr.rMaxAt(t - 1) + gr.cLo) * eps
                                : lv.start;
        while (s > lv.start && !(gr.tLo(s) < t)) s = nextDown(s - eps);
        lv.last = false;
        lv.nextStart = std::max(lv.start, s);
        const double ratio = (up - lo) / (2 * kTau * lo);
        // No sure mass at all (single words near the top), no progress over the
        // previous level, or a bracket at the failure hardly narrower than the
        // previous level's (ties of real sums that only the doubles break):
        // only the exact distribution resolves these.
        lv.exactNext = lo == 0 || lv.nextStart == lv.start;
        if (!lv.exactNext && j > 0) {
            const Level& prev = *c.levels[j - 1].load(std::memory_order_relaxed);
            double sF = lv.nextStart;  // a failing score
            for (int i = 0; i < 64 && gr.tLo(sF) < t; ++i) sF = nextUp(sF + eps);
            const Bracket now = lv.bracket(sF), before = prev.bracket(sF);
            lv.exactNext = !prev.exact && (now.up - now.lo) * before.lo >
                                              kNoGain * (before.up - before.lo) * now.lo;
        }
        lv.refineBits =
            lo > 0 && ratio < 0x1p20
                ? std::clamp(static_cast<int>(std::ceil(std::log2(ratio))) + 1, 1, kMaxRefineBits)
                : kMaxRefineBits;
        lv.upAtNext = std::min(lv.bracket(lv.nextStart).up, lv.capUp);
        return;
    }
}

std::unique_ptr<Level> ScoreDistribution::Impl::build(const Chain& c, int j) const {
    const Level& prev = *c.levels[j - 1].load(std::memory_order_relaxed);
    const double start = prev.nextStart;
    // A finer grid, except in the last slot, which must be final.
    std::optional<GridPlan> plan;
    if (j + 1 < kMaxLevels) {
        const std::size_t maxBins =
            std::min(kMaxEntries, kGridGrowth * std::max<std::size_t>(tuning_.gridBins, 1));
        for (int bits = prev.refineBits; !plan && bits >= 1; --bits) {
            plan = planGrid(prev.grid.exponent - bits, start, maxBins);
        }
    }
    // The exact distribution instead when it is cheaper: for sure if its work
    // bound says so; otherwise a capped try if partial sums collide, or with a
    // larger cap if refining stopped helping.
    std::unique_ptr<Level> lv;
    if (!plan) {
        lv = buildExact(start, kMaxEntries, kMaxEntries);
    } else {
        const double gridWork = static_cast<double>(plan->bins * columns_.size()) * letters_;
        const double cap =
            std::max(gridWork / (prev.exactNext ? kExactCostRatioHopeless : kExactCostRatio),
                     static_cast<double>(tuning_.exactValues));
        if (prev.exactNext || c.sumsCollide || exactWorkBound(start) <= cap) {
            // A try for colliding sums stops as soon as they are seen not to.
            lv = buildExact(start, kMaxEntries, static_cast<std::size_t>(cap), nullptr,
                            !prev.exactNext);
        }
        if (!lv)
            lv = runGrid(std::move(*plan), start);
    }
    if (!lv)
        throw std::length_error("score distribution too large");
    return lv;
}

const Level& ScoreDistribution::Impl::level(Chain& c, int j) const {
    if (const Level* lv = c.levels[j].load(std::memory_order_acquire))
        return *lv;
    std::lock_guard<std::mutex> lock(mutex_);
    if (const Level* lv = c.levels[j].load(std::memory_order_relaxed))
        return *lv;
    std::unique_ptr<Level> lv = j == 0 ? buildFirst(c) : build(c, j);
    link(c, *lv, j);
    owned_.push_back(std::move(lv));
    c.levels[j].store(owned_.back().get(), std::memory_order_release);
    return *owned_.back();
}

bool ScoreDistribution::Impl::focusUsable() const {
    std::call_once(focusOnce_, [this] {
        if (focused_.start == kInf)
            return;
        std::unique_ptr<Level> first =
            buildExact(focused_.start, kMaxEntries, tuning_.focusWork, nullptr, true);
        if (!first)
            return;
        link(focused_, *first, 0);
        std::lock_guard<std::mutex> lock(mutex_);
        owned_.push_back(std::move(first));
        focused_.levels[0].store(owned_.back().get(), std::memory_order_release);
        focusOn_ = true;
    });
    return focusOn_;
}

double ScoreDistribution::Impl::tailHigh(double s) const {
    if (std::isnan(s))
        return s;
    if (!focusUsable())
        return chainTail(whole_, s);
    // From the focus up, the focused chain; below it, the whole chain's
    // answer raised to the focused chain's at the focus.  Each is within the
    // target where it answers; the raise keeps tail() monotone and stays
    // within the target, as it is at most the target above P(focus) <= P(s).
    if (s >= focused_.start)
        return chainTail(focused_, s);
    return std::max(chainTail(whole_, s), chainTail(focused_, focused_.start));
}

double ScoreDistribution::Impl::chainTail(Chain& c, double s) const {
    int j = 0;
    const Level* lv = &level(c, 0);
    while (!lv->last && s >= lv->nextStart) lv = &level(c, ++j);
    const Bracket b = lv->bracket(s);
    double lo = b.lo;
    const double up = std::min(b.up, lv->capUp);
    // Lower bounds of the finer levels at their region starts.
    while (!lv->last && lv->upAtNext * (1 + kSlack) > lo) {
        lv = &level(c, ++j);
        lo = std::max(lo, lv->floorLo);
    }
    return 0.5 * lo + 0.5 * up;
}

// Every level's bracket is valid on its whole region [start, +inf), only
// wider than the target beyond nextStart: the first level whose bracket at s
// is narrow enough answers, and the finer levels are built only as needed.
double ScoreDistribution::Impl::roughTailHigh(double s, double relativeError) const {
    if (std::isnan(s))
        return s;
    return roughChainTail(focusUsable() && s >= focused_.start ? focused_ : whole_, s,
                          relativeError);
}

double ScoreDistribution::Impl::roughChainTail(Chain& c, double s, double relativeError) const {
    const double tau = std::max(relativeError - 5 * kProbError, kTau);
    for (int j = 0;; ++j) {
        const Level& lv = level(c, j);
        const Bracket b = lv.bracket(s);
        const double up = std::min(b.up, lv.capUp);
        if (lv.last || s < lv.nextStart || up - b.lo <= 2 * tau * b.lo)
            return 0.5 * b.lo + 0.5 * up;
    }
}

// Bisection over the range of the scores on the lower bound of level 0 of
// the whole chain: no refinement, and the score found has a tail at least p.
double ScoreDistribution::Impl::scoreWithTailAtLeast(double p) const {
    double lo = 0.0, hi = 0.0;  // the lowest and the highest score
    for (const Column& c : columns_) {
        lo = lo + *std::min_element(c.term.begin(), c.term.begin() + letters_);
        hi = hi + c.maxTerm;
    }
    const Level& first = level(whole_, 0);
    if (!(first.bracket(lo).lo >= p))
        return -kInf;
    for (int i = 0; i < 64; ++i) {
        const double mid = lo + (hi - lo) / 2;
        if (mid <= lo || mid >= hi)
            break;
        (first.bracket(mid).lo >= p ? lo : hi) = mid;
    }
    return lo;
}

ScoreCutOff ScoreDistribution::Impl::cutOffHigh(double p) const {
    if (std::isnan(p) || p < 0) {
        throw std::invalid_argument("p-value cut-off must be >= 0");
    }
    // Invariant: tail(fromOrderKey(lo)) > p >= tail(fromOrderKey(hi)).
    std::int64_t lo = orderKey(-kInf), hi = orderKey(kInf);
    if (focusUsable() && tailHigh(focused_.start) > p) {
        // The cut-off lies beyond the focus: the bisection stays there.
        lo = orderKey(focused_.start);
    } else {
        const double all = tailHigh(-kInf);
        if (all <= p)
            return {-kInf, all};
    }
    auto gap = [&] {  // hi - lo without signed overflow
        return static_cast<std::uint64_t>(hi) - static_cast<std::uint64_t>(lo);
    };
    while (gap() > 1) {
        const auto mid = static_cast<std::int64_t>(static_cast<std::uint64_t>(lo) + gap() / 2);
        (tailHigh(fromOrderKey(mid)) <= p ? hi : lo) = mid;
    }
    return {fromOrderKey(lo), tailHigh(fromOrderKey(hi))};
}

namespace {

// (4 L + 32) units of 2^-53 times the sum over positions of the largest
// |term| of a letter the background can draw (see tieTolerance()).
double tieToleranceOf(const NullModel& model) {
    double largest = 0.0;
    for (const auto& terms : model.terms) {
        double position = 0.0;
        for (int b = 0; b < 4; ++b) {
            if (model.background[static_cast<size_t>(b)] > 0.0) {
                position = std::max(position, std::fabs(terms[static_cast<size_t>(b)]));
            }
        }
        largest += position;
    }
    const double length = static_cast<double>(model.terms.size());
    return (4.0 * length + 32.0) * std::ldexp(1.0, -53) * largest;
}

}  // namespace

ScoreDistribution::ScoreDistribution(const NullModel& model, const ScoreDistributionTuning& tuning)
    : impl_(std::make_unique<Impl>(model, tuning)), tolerance_(tieToleranceOf(model)) {}

ScoreDistribution::~ScoreDistribution() = default;
ScoreDistribution::ScoreDistribution(ScoreDistribution&&) noexcept = default;
ScoreDistribution& ScoreDistribution::operator=(ScoreDistribution&&) noexcept = default;

std::size_t ScoreDistribution::length() const {
    return impl_->length();
}

double ScoreDistribution::tail(double s) const {
    return impl_->tailHigh(impl_->lowerIsBetter() ? -s : s);
}

double ScoreDistribution::roughTail(double s, double relativeError) const {
    return impl_->roughTailHigh(impl_->lowerIsBetter() ? -s : s, relativeError);
}

double ScoreDistribution::scoreWithTailAtLeast(double p) const {
    const double high = impl_->scoreWithTailAtLeast(p);
    return impl_->lowerIsBetter() ? -high : high;
}

ScoreCutOff ScoreDistribution::cutOffFor(double p) const {
    const ScoreCutOff high = impl_->cutOffHigh(p);
    return impl_->lowerIsBetter() ? ScoreCutOff{-high.score, high.tail} : high;
}

// In the high orientation (higher is better) a score h stands for the tie
// whose least extreme score is h - tolerance.
double ScoreDistribution::pValue(double s) const {
    const double high = impl_->lowerIsBetter() ? -s : s;
    return impl_->tailHigh(high - tolerance_);
}

double ScoreDistribution::roughPValue(double s, double relativeError) const {
    const double high = impl_->lowerIsBetter() ? -s : s;
    return impl_->roughTailHigh(high - tolerance_, relativeError);
}

ScoreCutOff ScoreDistribution::pValueCutOff(double p) const {
    const ScoreCutOff exact = impl_->cutOffHigh(p);
    // tail(t) <= p <=> t > exact.score, and pValue(h) = tail(h - tolerance):
    // the cut-off is the greatest h with h - tolerance <= exact.score, found
    // from exact.score + tolerance by stepping over the doubles that round
    // to the other side.
    double cut = exact.score;
    double tail = exact.tail;
    if (std::isfinite(cut) && tolerance_ > 0.0) {
        constexpr double kUp = std::numeric_limits<double>::infinity();
        const auto tied = [this](double h) { return h - tolerance_; };
        double h = cut + tolerance_;
        while (tied(h) > cut) {
            h = std::nextafter(h, -kUp);
        }
        while (tied(std::nextafter(h, kUp)) <= cut) {
            h = std::nextafter(h, kUp);
        }
        cut = h;
        tail = impl_->tailHigh(tied(std::nextafter(h, kUp)));
    }
    return impl_->lowerIsBetter() ? ScoreCutOff{-cut, tail} : ScoreCutOff{cut, tail};
}

}  // namespace xoprex
