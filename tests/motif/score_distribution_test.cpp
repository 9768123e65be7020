// Property tests of ScoreDistribution against independent computations:
// enumeration of all words, a meet-in-the-middle count for L = 19, and a
// plain rounded-grid DP bracket.

#include "motif/score_distribution.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace xoprex {
namespace {

constexpr double kTol = ScoreDistribution::kMaxRelativeError;
constexpr double kInf = std::numeric_limits<double>::infinity();

// Kinds of term tables: real-valued, rounded to 0.01 (many real ties broken
// differently by double rounding), integers (exact sums), and palindromic
// (every word ties with its reverse complement in real arithmetic).
enum class Terms { kReal, kDecimal, kInteger, kPalindromic };

const std::array<double, 4> kUniform{0.25, 0.25, 0.25, 0.25};
const std::array<double, 4> kSkewed{0.1, 0.4, 0.4, 0.1};
const std::array<double, 4> kWithZero{0.5, 0.0, 0.2, 0.3};
const std::array<double, 4> kOneLetter{0.0, 0.0, 1.0, 0.0};

NullModel randomModel(std::size_t length, Terms kind, const std::array<double, 4>& background,
                      bool lower, std::mt19937_64& rng) {
    std::normal_distribution<double> normal(0.0, 2.0);
    std::uniform_real_distribution<double> offset(-50.0, 50.0);
    NullModel m;
    m.background = background;
    m.lowerIsBetter = lower;
    m.terms.resize(length);
    for (std::size_t l = 0; l < length; ++l) {
        const double shift = kind == Terms::kReal ? offset(rng) : 0.0;
        for (double& t : m.terms[l]) {
            const double x = normal(rng);
            switch (kind) {
                case Terms::kDecimal:
                    t = std::round(x * 100) / 100;
                    break;
                case Terms::kInteger:
                    t = std::round(x * 2);
                    break;
                default:
                    t = x + shift;
                    break;
            }
        }
    }
    if (kind == Terms::kPalindromic) {
        for (std::size_t l = 0; l < length / 2; ++l) {
            for (int b = 0; b < 4; ++b) m.terms[length - 1 - l][3 - b] = m.terms[l][b];
        }
    }
    return m;
}

// Log-odds matrix like those of real motifs.
NullModel motifModel(std::size_t length, const std::array<double, 4>& background, bool lower,
                     std::mt19937_64& rng) {
    std::gamma_distribution<double> gamma(0.5, 1.0);
    NullModel m;
    m.background = background;
    m.lowerIsBetter = lower;
    for (std::size_t l = 0; l < length; ++l) {
        std::array<double, 4> f{}, row{};
        double sum = 0;
        for (double& x : f) sum += (x = gamma(rng) + 1e-9);
        for (int b = 0; b < 4; ++b) {
            row[b] = std::log2((20 * f[b] / sum + 0.25) / (21 * 0.25));
        }
        m.terms.push_back(row);
    }
    return m;
}

double scoreOf(const NullModel& m, const std::vector<int>& word) {
    double s = 0.0;  // summed in position order, as the scanner does
    for (std::size_t l = 0; l < word.size(); ++l) s += m.terms[l][word[l]];
    return s;
}

// Exact distribution by enumerating all 4^L words.
class Enumeration {
  public:
    explicit Enumeration(const NullModel& m) {
        const std::size_t L = m.terms.size();
        const std::size_t n = std::size_t{1} << (2 * L);
        std::vector<std::pair<double, double>> words(n);
        std::vector<int> word(L, 0);
        for (std::size_t w = 0; w < n; ++w) {
            double p = 1;
            for (std::size_t l = 0; l < L; ++l) {
                word[l] = static_cast<int>((w >> (2 * l)) & 3);
                p *= m.background[word[l]];
            }
            words[w] = {scoreOf(m, word), p};
        }
        std::sort(words.begin(), words.end());
        scores_.resize(n);
        atLeast_.resize(n + 1, 0.0);
        long double acc = 0;
        for (std::size_t i = n; i-- > 0;) {
            scores_[i] = words[i].first;
            atLeast_[i] = static_cast<double>(acc += words[i].second);
        }
        total_ = static_cast<double>(acc);
    }

    const std::vector<double>& scores() const { return scores_; }  // sorted

    // P(S >= s) or P(S <= s).
    double tail(double s, bool lower) const {
        if (!lower) {
            return atLeast_[static_cast<std::size_t>(
                std::lower_bound(scores_.begin(), scores_.end(), s) - scores_.begin())];
        }
        const auto above = static_cast<std::size_t>(
            std::upper_bound(scores_.begin(), scores_.end(), s) - scores_.begin());
        return total_ - atLeast_[above];
    }

  private:
    std::vector<double> scores_;
    std::vector<double> atLeast_;
    double total_ = 0;
};

// Checks |q - p| <= kTol * p, reporting the first few violations of a case.
class RelativeChecker {
  public:
    explicit RelativeChecker(std::string name, double tolerance = kTol)
        : name_(std::move(name)), tolerance_(tolerance) {}
    void check(double s, double q, double p) {
        if (std::abs(q - p) <= tolerance_ * p)
            return;
        if (++failures_ <= 5) {
            ADD_FAILURE() << name_ << ": s=" << s << " tail=" << q << " exact=" << p;
        }
    }

  private:
    std::string name_;
    double tolerance_;
    int failures_ = 0;
};

// Non-increasing (higher is better) or non-decreasing (lower is better)
// tail over ascending scores.
void expectMonotone(const ScoreDistribution& d, std::vector<double> scores, bool lower,
                    const std::string& name) {
    std::sort(scores.begin(), scores.end());
    double previous = d.tail(scores.front());
    for (double s : scores) {
        const double q = d.tail(s);
        if (lower ? q < previous : q > previous) {
            ADD_FAILURE() << name << ": tail not monotone at s=" << s << " (" << previous
                          << " then " << q << ")";
            return;
        }
        previous = q;
    }
}

std::vector<double> withNeighbours(const std::vector<double>& scores) {
    std::vector<double> out;
    for (double s : scores) {
        out.insert(out.end(), {s, std::nextafter(s, -kInf), std::nextafter(s, kInf)});
    }
    return out;
}

struct Case {
    std::size_t length;
    Terms kind;
    std::array<double, 4> background;
    bool lower;
    ScoreDistributionTuning tuning;
    std::string name;
    // With a focus at this share of the words from the good end (0: none).
    double focusShare = 0;
};

// Small lengths with every kind and background, both directions, with the
// default tuning (exact enumeration for L = 6) and with a tiny tuning that
// forces grid levels and their refinements; L = 10 uses the grid levels
// with the default tuning.
std::vector<Case> smallCases(std::size_t length, bool forceGrid) {
    const ScoreDistributionTuning tiny{16, 64};
    std::vector<Case> cases;
    const std::array<std::pair<Terms, const char*>, 4> kinds{
        {{Terms::kReal, "real"},
         {Terms::kDecimal, "decimal"},
         {Terms::kInteger, "integer"},
         {Terms::kPalindromic, "palindromic"}}};
    const std::array<std::pair<std::array<double, 4>, const char*>, 4> backgrounds{
        {{kUniform, "uniform"},
         {kSkewed, "skewed"},
         {kWithZero, "with-zero"},
         {kOneLetter, "one-letter"}}};
    for (const auto& [kind, kindName] : kinds) {
        for (const auto& [background, bgName] : backgrounds) {
            for (bool lower : {false, true}) {
                std::ostringstream name;
                name << "L=" << length << " " << kindName << " " << bgName
                     << (lower ? " lower" : " higher") << (forceGrid ? " grid" : "");
                cases.push_back({length, kind, background, lower,
                                 forceGrid ? tiny : ScoreDistributionTuning{}, name.str()});
            }
        }
    }
    return cases;
}

// The case's tuning, with its focus placed among the model's scores.
ScoreDistributionTuning tuningOf(const Case& c, const std::vector<double>& sortedScores) {
    ScoreDistributionTuning tuning = c.tuning;
    if (c.focusShare > 0) {
        const auto fromEnd = static_cast<std::size_t>(c.focusShare * sortedScores.size());
        tuning.focus =
            c.lower ? sortedScores[fromEnd] : sortedScores[sortedScores.size() - 1 - fromEnd];
        tuning.focusWork = 1 << 14;
    }
    return tuning;
}

std::vector<Case> allSmallCases() {
    std::vector<Case> cases = smallCases(6, false);
    for (const Case& c : smallCases(6, true)) cases.push_back(c);
    for (const Case& c : smallCases(10, false)) {
        if (c.background != kOneLetter && (c.kind == Terms::kReal || c.kind == Terms::kDecimal)) {
            cases.push_back(c);
            // A focus deep in the tail (exact from there on) and one where
            // most words lie (beyond its work: dropped).
            for (double share : {0.002, 0.5}) {
                Case focused = c;
                focused.focusShare = share;
                focused.name += " focus " + std::to_string(share);
                cases.push_back(focused);
            }
        }
    }
    return cases;
}

TEST(ScoreDistribution, TailMatchesEnumerationOfAllWords) {
    std::mt19937_64 rng(20240601);
    for (const Case& c : allSmallCases()) {
        const NullModel m = randomModel(c.length, c.kind, c.background, c.lower, rng);
        const Enumeration exact(m);
        const ScoreDistributionTuning tuning = tuningOf(c, exact.scores());
        const ScoreDistribution d(m, tuning);
        ASSERT_EQ(d.length(), c.length);

        // Every word's score (all of them for L = 6, a sample for L = 10), its
        // neighbouring doubles, and scores beyond the extremes.
        std::vector<double> queries;
        const std::vector<double>& all = exact.scores();
        const std::size_t stride = all.size() <= 4096 ? 1 : 97;
        for (std::size_t i = 0; i < all.size(); i += stride) queries.push_back(all[i]);
        queries.push_back(all.back());
        queries = withNeighbours(queries);
        queries.insert(queries.end(), {all.front() - 1, all.back() + 1, -kInf, kInf});

        RelativeChecker checker(c.name);
        for (double s : queries) checker.check(s, d.tail(s), exact.tail(s, c.lower));
        expectMonotone(d, queries, c.lower, c.name);
        // The rough tail of a fresh distribution (built only as far as it
        // needs) keeps its looser bound.
        const ScoreDistribution fresh(m, tuning);
        RelativeChecker rough(c.name + " rough", 0.01);
        for (double s : queries) rough.check(s, fresh.roughTail(s, 0.01), exact.tail(s, c.lower));
    }
}

TEST(ScoreDistribution, CutOffSeparatesLikeTheTail) {
    std::mt19937_64 rng(7);
    for (const Case& c : allSmallCases()) {
        // Every word of L = 6; a sample of the words of L = 10 with a focus
        // deep in the tail (where the cut-off's search stays beyond it).
        if (c.length != 6 && !(c.focusShare > 0 && c.focusShare < 0.01 &&
                               c.kind == Terms::kDecimal && c.background == kUniform))
            continue;
        const NullModel m = randomModel(c.length, c.kind, c.background, c.lower, rng);
        const Enumeration exact(m);
        const ScoreDistribution d(m, tuningOf(c, exact.scores()));
        std::vector<double> scores;
        const std::size_t stride = c.length == 6 ? 1 : 211;
        for (std::size_t i = 0; i < exact.scores().size(); i += stride) {
            scores.push_back(exact.scores()[i]);
        }

        // Round numbers, and exact tails of some words (p-values sitting on a
        // step of the distribution) with their neighbouring doubles.
        std::vector<double> ps{0, 1e-6, 1e-4, 1e-3, 0.01, 0.05, 0.5, 1, 2};
        for (std::size_t i = 0; i < scores.size(); i += 401) {
            const double p = exact.tail(scores[i], c.lower);
            ps.insert(ps.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, 1.0)});
        }
        for (double p : ps) {
            // The guess of a focus for this cut-off.
            if (const double guess = d.scoreWithTailAtLeast(p); std::isfinite(guess)) {
                EXPECT_GE(exact.tail(guess, c.lower), p * (1 - 1e-12)) << c.name;
            }
            const ScoreCutOff cut = d.cutOffFor(p);
            auto passes = [&](double s) { return c.lower ? s < cut.score : s > cut.score; };
            int bad = 0;
            for (double s : scores) {
                const double q = d.tail(s);
                const double truth = exact.tail(s, c.lower);
                // The cut-off is the p-value cut-off on tail(), and hence on the
                // exact tail up to the relative error.
                const bool ok = passes(s) == (q <= p) && !(truth <= p / (1 + kTol) && !passes(s)) &&
                                !(truth > p / (1 - kTol) && passes(s));
                if (!ok && ++bad <= 3) {
                    ADD_FAILURE() << c.name << ": p=" << p << " cut=" << cut.score << " s=" << s
                                  << " tail=" << q << " exact=" << truth;
                }
            }
            // The reported tail is that of the least extreme passing score.
            const double boundary = std::nextafter(cut.score, c.lower ? -kInf : kInf);
            if (std::isfinite(cut.score)) {
                EXPECT_EQ(cut.tail, d.tail(boundary)) << c.name << " p=" << p;
                EXPECT_LE(cut.tail, p) << c.name;
                EXPECT_GT(d.tail(cut.score), p) << c.name;
            }
        }
    }
}

// Exact tail for long windows by meet in the middle: prefixes of the first
// `split` positions against suffixes of the rest, both sorted by score.  A
// pair whose prefix + suffix is more than 1e-9 (far beyond double rounding)
// away from the threshold is decided by that sum; the few pairs closer to it
// are re-scored exactly as the scanner does.
class HalvesReference {
  public:
    HalvesReference(const NullModel& m, std::size_t split)
        : model_(m),
          split_(split),
          prefixes_(halve(m, 0, split)),
          suffixes_(halve(m, split, m.terms.size())) {
        suffixAtLeast_.assign(suffixes_.size() + 1, 0.0);
        for (std::size_t j = suffixes_.size(); j-- > 0;) {
            suffixAtLeast_[j] = suffixAtLeast_[j + 1] + suffixes_[j].prob;
        }
    }

    // P(S >= threshold).
    double atLeast(double threshold) const {
        long double total = 0;
        std::size_t sure = 0, near = 0;  // first suffix clearly / possibly reaching
        std::vector<int> word(model_.terms.size());
        for (std::size_t i = prefixes_.size(); i-- > 0;) {
            const Half& pre = prefixes_[i];
            while (sure < suffixes_.size() &&
                   suffixes_[sure].score < threshold + 1e-9 - pre.score) {
                ++sure;
            }
            while (near < suffixes_.size() &&
                   suffixes_[near].score < threshold - 1e-9 - pre.score) {
                ++near;
            }
            long double p = suffixAtLeast_[sure];
            for (std::size_t j = near; j < sure; ++j) {
                decode(pre.word, 0, split_, word);
                decode(suffixes_[j].word, split_, word.size(), word);
                if (scoreOf(model_, word) >= threshold)
                    p += suffixes_[j].prob;
            }
            total += p * pre.prob;
        }
        return static_cast<double>(total);
    }

  private:
    struct Half {
        double score;
        double prob;
        std::size_t word;
        bool operator<(const Half& o) const { return score < o.score; }
    };

    static void decode(std::size_t w, std::size_t from, std::size_t to, std::vector<int>& word) {
        for (std::size_t l = from; l < to; ++l) {
            word[l] = static_cast<int>((w >> (2 * (l - from))) & 3);
        }
    }

    static std::vector<Half> halve(const NullModel& m, std::size_t from, std::size_t to) {
        const std::size_t n = std::size_t{1} << (2 * (to - from));
        std::vector<Half> out(n);
        for (std::size_t w = 0; w < n; ++w) {
            double s = 0, p = 1;
            for (std::size_t l = from; l < to; ++l) {
                const auto b = (w >> (2 * (l - from))) & 3;
                s += m.terms[l][b];
                p *= m.background[b];
            }
            out[w] = {s, p, w};
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    const NullModel& model_;
    std::size_t split_;
    std::vector<Half> prefixes_, suffixes_;
    std::vector<double> suffixAtLeast_;
};

// Plain rounded-grid DP: every term rounded down gives P_down <= P(S >= s),
// every term rounded up gives P_up >= P(S >= s).
double gridBound(const NullModel& m, double s, bool up) {
    constexpr double kEps = 1.0 / 64;
    std::vector<std::vector<long>> k(m.terms.size());
    long lo = 0;
    for (std::size_t l = 0; l < m.terms.size(); ++l) {
        for (double t : m.terms[l]) {
            k[l].push_back(static_cast<long>(up ? std::ceil(t / kEps) : std::floor(t / kEps)));
        }
        lo += *std::min_element(k[l].begin(), k[l].end());
    }
    std::vector<double> dist{1.0};  // dist[i] = P(sum of k = lo + i)
    long offset = 0;                // running minimum of the partial sums
    for (std::size_t l = 0; l < m.terms.size(); ++l) {
        const long kMin = *std::min_element(k[l].begin(), k[l].end());
        const long kMax = *std::max_element(k[l].begin(), k[l].end());
        std::vector<double> next(dist.size() + static_cast<std::size_t>(kMax - kMin), 0.0);
        for (std::size_t i = 0; i < dist.size(); ++i) {
            for (int b = 0; b < 4; ++b) {
                next[i + static_cast<std::size_t>(k[l][b] - kMin)] += dist[i] * m.background[b];
            }
        }
        dist.swap(next);
        offset += kMin;
    }
    // Margin for the double rounding of the scanner's sum.
    const double threshold = up ? s - 1e-9 : s + 1e-9;
    const long first = static_cast<long>(std::ceil(threshold / kEps)) - offset;
    double p = 0;
    for (long i = std::max(first, 0L); i < static_cast<long>(dist.size()); ++i) {
        p += dist[static_cast<std::size_t>(i)];
    }
    return p;
}

TEST(ScoreDistribution, Length19WithinBracketAndReference) {
    std::mt19937_64 rng(19);
    for (const auto& background : {kUniform, kSkewed}) {
        for (bool lower : {false, true}) {
            const NullModel m = motifModel(19, background, lower, rng);
            const ScoreDistribution d(m);
            // Reference and bracket in "higher is better" form.
            NullModel high = m;
            if (lower) {
                for (auto& row : high.terms) {
                    for (double& t : row) t = -t;
                }
            }
            const HalvesReference reference(high, 9);

            // Scores of windows drawn from tilted backgrounds (p-values from the
            // bulk down to the top word), plus the best window.
            std::vector<double> queries;
            std::vector<int> word(19);
            for (double theta : {0.0, 0.5, 1.0, 2.0, 4.0, 16.0}) {
                for (int rep = 0; rep < 6; ++rep) {
                    for (std::size_t l = 0; l < 19; ++l) {
                        std::array<double, 4> w{};
                        for (int b = 0; b < 4; ++b) {
                            w[b] = high.background[b] * std::exp2(theta * high.terms[l][b]);
                        }
                        word[l] = std::discrete_distribution<int>(w.begin(), w.end())(rng);
                    }
                    queries.push_back(scoreOf(high, word));
                }
            }
            RelativeChecker checker(std::string("L=19") + (lower ? " lower" : " higher"));
            for (double sHigh : withNeighbours(queries)) {
                const double s = lower ? -sHigh : sHigh;
                const double q = d.tail(s);
                checker.check(s, q, reference.atLeast(sHigh));
                EXPECT_GE(q, gridBound(high, sHigh, false) * (1 - kTol)) << "s=" << s;
                EXPECT_LE(q, gridBound(high, sHigh, true) * (1 + kTol)) << "s=" << s;
            }
        }
    }
}

TEST(ScoreDistribution, TailIsMonotoneForLongWindows) {
    std::mt19937_64 rng(3);
    for (std::size_t length : {19, 30, 60}) {
        for (bool lower : {false, true}) {
            for (bool forceGrid : {false, true}) {
                if (forceGrid && length != 19)
                    continue;
                const NullModel m = motifModel(length, kSkewed, lower, rng);
                const ScoreDistribution d(
                    m, forceGrid ? ScoreDistributionTuning{64, 4096} : ScoreDistributionTuning{});
                double lo = 0, hi = 0;
                for (const auto& row : m.terms) {
                    lo += *std::min_element(row.begin(), row.end());
                    hi += *std::max_element(row.begin(), row.end());
                }
                std::uniform_real_distribution<double> uniform(lo - 1, hi + 1);
                std::uniform_real_distribution<double> top(hi - 0.2 * (hi - lo), hi);
                std::vector<double> scores;
                for (int i = 0; i < 3000; ++i) scores.push_back(uniform(rng));
                for (int i = 0; i < 3000; ++i) scores.push_back(top(rng));
                std::vector<int> word(length);
                std::uniform_int_distribution<int> letter(0, 3);
                for (int i = 0; i < 3000; ++i) {
                    for (int& b : word) b = letter(rng);
                    scores.push_back(scoreOf(m, word));
                }
                expectMonotone(d, withNeighbours(scores), lower,
                               "L=" + std::to_string(length) + (lower ? " lower" : " higher") +
                                   (forceGrid ? " grid" : ""));
            }
        }
    }
}

// Refinements are built lazily by whichever query needs them first; the
// answers must not depend on that order, nor on concurrent callers.
TEST(ScoreDistribution, AnswersDoNotDependOnQueryOrderOrThreads) {
    std::mt19937_64 rng(11);
    // A motif-like model, and one with rounded terms and a focus in its tail
    // (the focus's exact level is built by whichever thread asks first).
    const NullModel motif = motifModel(30, kSkewed, false, rng);
    const NullModel rounded = randomModel(19, Terms::kDecimal, kSkewed, false, rng);
    for (const NullModel* model : {&motif, &rounded}) {
        const NullModel& m = *model;
        const std::size_t length = m.terms.size();
        std::vector<double> scores;
        std::vector<int> word(length);
        for (double theta : {0.0, 1.0, 3.0}) {
            for (int i = 0; i < 2000; ++i) {
                for (std::size_t l = 0; l < length; ++l) {
                    std::array<double, 4> w{};
                    for (int b = 0; b < 4; ++b)
                        w[b] = m.background[b] * std::exp2(theta * m.terms[l][b]);
                    word[l] = std::discrete_distribution<int>(w.begin(), w.end())(rng);
                }
                scores.push_back(scoreOf(m, word));
            }
        }
        std::sort(scores.begin(), scores.end());
        ScoreDistributionTuning tuning;
        if (model == &rounded) {
            tuning.focus = scores[scores.size() * 9 / 10];
        }
        const ScoreDistribution ascending(m, tuning);
        std::vector<double> expected;
        for (double s : scores) expected.push_back(ascending.tail(s));

        const ScoreDistribution shared(m, tuning);
        std::vector<double> forward(scores.size()), backward(scores.size());
        std::thread other([&] {
            for (std::size_t i = scores.size(); i-- > 0;) backward[i] = shared.tail(scores[i]);
        });
        for (std::size_t i = 0; i < scores.size(); ++i) forward[i] = shared.tail(scores[i]);
        other.join();
        EXPECT_EQ(forward, expected);
        EXPECT_EQ(backward, expected);
    }
}

TEST(ScoreDistribution, RejectsInvalidInput) {
    NullModel m;
    m.terms = {{1, 2, 3, 4}, {0, 0, 1, 1}};
    m.background = {0.3, 0.3, 0.3, 0.3};
    EXPECT_THROW(ScoreDistribution{m}, std::invalid_argument);
    m.background = {0.5, 0.6, -0.1, 0.0};
    EXPECT_THROW(ScoreDistribution{m}, std::invalid_argument);
    m.background = {0.5, 0.5, 0.0, 0.0};
    m.terms[1][1] = std::nan("");
    EXPECT_THROW(ScoreDistribution{m}, std::invalid_argument);
    m.terms[1][1] = 0;
    m.terms[1][3] = kInf;  // letter of background 0: never used
    const ScoreDistribution d(m);
    EXPECT_EQ(d.tail(2.5), 0.0);  // scores 1 and 2, probability 1/2 each
    EXPECT_EQ(d.tail(2.0), 0.5);
    EXPECT_EQ(d.tail(1.0), 1.0);
    EXPECT_TRUE(std::isnan(d.tail(std::nan(""))));
    EXPECT_THROW(d.cutOffFor(-1), std::invalid_argument);
    EXPECT_THROW(d.cutOffFor(std::nan("")), std::invalid_argument);

    const ScoreDistribution empty(NullModel{});  // every window scores 0.0
    EXPECT_EQ(empty.tail(0.0), 1.0);
    EXPECT_EQ(empty.tail(1e-300), 0.0);
    EXPECT_EQ(empty.cutOffFor(0.5).score, 0.0);
}

}  // namespace
}  // namespace xoprex
