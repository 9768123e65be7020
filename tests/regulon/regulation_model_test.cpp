// The regulation model's properties: evidence that grows with a site's
// score and with the number of sites, no underflow, the same answers on a
// turned-round score axis, densities that sum to one, and the fit of a
// model's own words.
#include "regulon/regulation_model.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace {

using xoprex::NullModel;
using xoprex::RegulationModel;
using xoprex::ScoreDistribution;
using xoprex::SiteScoreFit;

// A motif of `length` positions whose consensus letter scores 2 and the
// others between -3 and 0, as an information score would.
NullModel motifModel(size_t length, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> other(-3.0, 0.0);
    NullModel model;
    for (size_t l = 0; l < length; ++l) {
        std::array<double, 4> row{};
        const size_t consensus = random() % 4;
        for (size_t b = 0; b < 4; ++b) {
            row[b] = b == consensus ? 2.0 : other(random);
        }
        model.terms.push_back(row);
    }
    return model;
}

NullModel turnedRound(NullModel model) {
    for (auto& row : model.terms) {
        for (double& term : row) {
            term = -term;
        }
    }
    model.lowerIsBetter = !model.lowerIsBetter;
    return model;
}

// Background windows: scores of random words.
std::vector<double> backgroundScores(const NullModel& model, size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<double> scores;
    for (size_t w = 0; w < count; ++w) {
        double score = 0.0;
        for (const auto& row : model.terms) {
            score += row[random() % 4];
        }
        scores.push_back(score);
    }
    return scores;
}

constexpr size_t kLength = 16;
const SiteScoreFit kFit{27.0, 2.0, true};  // the best window scores 32

TEST(RegulationModel, EvidenceGrowsWithTheSiteScoreAndTheSites) {
    const NullModel model = motifModel(kLength, 1);
    const ScoreDistribution null(model);
    const RegulationModel regulation(null, model, kFit);
    const std::vector<double> background = backgroundScores(model, 800, 2);
    const double density = 1.0 / 800.0;
    // One window planted at scores rising a deviation at a time, from the
    // background's bulk up to the sites' mean (within a bin the null's
    // mass, exact, follows the few words of each score in the far tail).
    double before = -INFINITY;
    for (double score = kFit.mean - 12 * kFit.deviation; score <= kFit.mean;
         score += kFit.deviation) {
        std::vector<double> scores = background;
        scores[400] = score;
        const double evidence = regulation.logBayesFactor(scores, density);
        EXPECT_GE(evidence, before - 1e-9) << score;
        before = evidence;
    }
    // More windows at the sites' mean.
    before = -INFINITY;
    for (size_t sites = 0; sites <= 5; ++sites) {
        std::vector<double> scores = background;
        for (size_t s = 0; s < sites; ++s) {
            scores[100 * s + 7] = kFit.mean;
        }
        const double evidence = regulation.logBayesFactor(scores, density);
        EXPECT_GT(evidence, before) << sites;
        before = evidence;
    }
    // The background alone speaks against regulation; one site at the
    // sites' mean, for it.
    EXPECT_LT(regulation.logBayesFactor(background, density), 0.0);
    std::vector<double> planted = background;
    planted[3] = kFit.mean;
    EXPECT_GT(xoprex::posteriorProbability(regulation.logBayesFactor(planted, density), 0.05), 0.9);
}

TEST(RegulationModel, NeitherLikelihoodUnderflows) {
    const NullModel model = motifModel(kLength, 3);
    const ScoreDistribution null(model);
    const RegulationModel regulation(null, model, kFit);
    // Many windows, each at the best score, or each at the worst.
    for (const double score : {32.0, -48.0, 1e6, -1e6}) {
        const std::vector<double> scores(20000, score);
        const double evidence = regulation.logBayesFactor(scores, 1e-4);
        EXPECT_TRUE(std::isfinite(evidence)) << score;
        const double posterior = xoprex::posteriorProbability(evidence, 0.05);
        EXPECT_GE(posterior, 0.0);
        EXPECT_LE(posterior, 1.0);
    }
    EXPECT_EQ(xoprex::posteriorProbability(1e4, 0.05), 1.0);
    EXPECT_EQ(xoprex::posteriorProbability(-1e4, 0.05), 0.0);
    EXPECT_NEAR(xoprex::posteriorProbability(0.0, 0.05), 0.05, 1e-15);
    EXPECT_GT(xoprex::posteriorProbability(-700.0, 0.5), 0.0);
}

TEST(RegulationModel, DensitiesSumToOne) {
    const NullModel model = motifModel(kLength, 4);
    const ScoreDistribution null(model);
    const RegulationModel regulation(null, model, kFit);
    double nullSum = 0.0;
    double siteSum = 0.0;
    for (size_t k = 0; k < regulation.binCount(); ++k) {
        nullSum += std::exp(regulation.logNullMass(k));
        siteSum += std::exp(regulation.logSiteMass(k));
    }
    EXPECT_NEAR(nullSum, 1.0, 3e-3);
    EXPECT_NEAR(siteSum, 1.0, 1e-9);
    EXPECT_NEAR(regulation.binWidth(), kFit.deviation / RegulationModel::kBinsPerDeviation, 1e-12);
}

// Lower is better: the same model on the turned-round axis gives the same
// evidence for the turned-round scores.
TEST(RegulationModel, LowerIsBetterIsTheSameModelTurnedRound) {
    const NullModel model = motifModel(kLength, 5);
    const NullModel turned = turnedRound(model);
    const ScoreDistribution null(model);
    const ScoreDistribution turnedNull(turned);
    const RegulationModel regulation(null, model, kFit);
    const RegulationModel turnedRegulation(turnedNull, turned, {-kFit.mean, kFit.deviation, true});
    std::vector<double> scores = backgroundScores(model, 500, 6);
    scores[10] = 26.0;
    scores[20] = 29.5;
    std::vector<double> negated;
    for (const double score : scores) {
        negated.push_back(-score);
    }
    const double evidence = regulation.logBayesFactor(scores, 0.002);
    EXPECT_NEAR(turnedRegulation.logBayesFactor(negated, 0.002), evidence,
                1e-2 * std::fabs(evidence) + 1e-2);
}

// Without sites, the fit is the mean and deviation of the scores of words
// drawn from the model's frequencies: every word of a short model weighed.
TEST(RegulationModel, ModelWordsFitMatchesEnumeration) {
    const NullModel model = motifModel(3, 8);
    xoprex::SiteCollection collection;
    collection.model.positions.resize(3);
    const double frequencies[3][4] = {
        {0.7, 0.1, 0.1, 0.1}, {0.0, 0.5, 0.5, 0.0}, {0.25, 0.25, 0.25, 0.25}};
    for (size_t l = 0; l < 3; ++l) {
        for (size_t b = 0; b < 4; ++b) {
            collection.model.positions[l].frequencies[b] = frequencies[l][b];
        }
    }
    double mean = 0.0;
    double square = 0.0;
    for (size_t word = 0; word < 64; ++word) {
        double weight = 1.0;
        double score = 0.0;
        for (size_t l = 0; l < 3; ++l) {
            const size_t b = (word >> (2 * l)) & 3;
            weight *= frequencies[l][b];
            score += model.terms[l][b];
        }
        mean += weight * score;
        square += weight * score * score;
    }
    const SiteScoreFit fit = xoprex::siteScoreFit(collection, model);
    EXPECT_FALSE(fit.fromSites);
    EXPECT_NEAR(fit.mean, mean, 1e-12);
    EXPECT_NEAR(fit.deviation, std::sqrt(square - mean * mean), 1e-9);
}

}  // namespace

// The evidence of a region is a sum over bins, the terms' flat start
// taken together: the same bits from the scores as from their bins counted
// in any order, within rounding of the plain sum over windows, for regions
// of every length with unscored windows (NaN), scores past either end of
// the bins and scores on the bins' edges. The flat start is the longest
// run of bin 0's term, and its counts fold into bin 0.
TEST(RegulationModel, EvidenceIsTheSameSumOfTheBinsWhateverCountedThem) {
    const NullModel model = motifModel(kLength, 3);
    const ScoreDistribution null(model);
    const RegulationModel regulation(null, model, kFit);
    std::mt19937 random(4);
    for (const double density : {1.0 / 500.0, 0.3, 1.0}) {
        const std::vector<double> terms = regulation.windowTerms(density);
        const size_t flat = RegulationModel::flatEnd(terms);
        for (size_t b = 0; b < terms.size(); ++b) {
            EXPECT_EQ(terms[b] == terms[0], b <= flat) << density << " bin " << b;
            if (b > flat) {
                break;
            }
        }
        for (size_t n : {0, 1, 3, 4, 5, 7, 8, 63, 500, 901}) {
            std::vector<double> scores = backgroundScores(model, n, static_cast<unsigned>(n));
            for (size_t w = 0; w < n; w += 1 + random() % 9) {
                const int kind = static_cast<int>(random() % 4);
                scores[w] = kind == 0   ? NAN
                            : kind == 1 ? 1e9 * (random() % 2 == 0 ? 1 : -1)
                            : kind == 2
                                ? regulation.medianEdge() +
                                      static_cast<double>(random() % 5) * regulation.binWidth()
                                : kFit.mean;
            }
            double plain = 0.0;
            std::vector<uint32_t> counts(regulation.binCount(), 0);
            for (const double score : scores) {
                if (!std::isnan(score)) {
                    plain += terms[regulation.binOf(score)];
                    ++counts[regulation.binOf(score)];
                }
            }
            const double evidence = regulation.logBayesFactor(scores, terms);
            EXPECT_EQ(regulation.logBayesFactor(counts, terms), evidence) << n;
            RegulationModel::foldFlat(counts, flat);
            EXPECT_EQ(regulation.logBayesFactor(counts, terms), evidence) << n;
            EXPECT_NEAR(evidence, plain, 1e-12 * (1.0 + std::fabs(plain))) << n;
        }
    }
}

// The sums surely in the flat start are a half-line of sums whose bracket
// (as bracketBins takes it) has both ends in bins 0 .. flat, for either
// direction of the scores.
TEST(RegulationModel, FlatSumsAreThoseWhoseBracketStaysInTheFlatStart) {
    const NullModel model = motifModel(kLength, 3);
    for (const bool lower : {false, true}) {
        const NullModel turned = lower ? turnedRound(model) : model;
        const ScoreDistribution null(turned);
        const RegulationModel regulation(null, turned, kFit);
        const double step = regulation.binWidth() / 8.0;
        const double slack = step / 16.0;
        const int span = 3;
        for (const size_t flat : {size_t{0}, size_t{5}, regulation.binCount() / 2}) {
            const RegulationModel::FlatSums sums = regulation.flatSums(flat, span, step, slack);
            ASSERT_TRUE(sums.any);
            EXPECT_EQ(sums.below, !lower);
            for (int64_t d = -40; d <= 40; ++d) {
                const int64_t sum = sums.limit + d;
                const auto value = static_cast<double>(sum);
                const bool inside =
                    std::max(regulation.binOf(value * step - slack),
                             regulation.binOf((value + span) * step + slack)) <= flat;
                EXPECT_EQ(inside, sums.below ? sum <= sums.limit : sum >= sums.limit)
                    << lower << " flat " << flat << " sum " << sum;
            }
        }
    }
}

// Bins of bracketed scores: a bin where both ends fall in it, undecided
// where they straddle an edge (steps coarse enough that many do), on the
// vector lanes and the scalar rest, for either direction of the scores.
TEST(RegulationModel, BracketsTakeTheBinOfBothEnds) {
    const NullModel model = motifModel(kLength, 3);
    const ScoreDistribution null(model);
    std::mt19937 random(9);
    for (const bool lower : {false, true}) {
        NullModel turned = model;
        turned.lowerIsBetter = lower;
        const ScoreDistribution turnedNull(turned);
        const RegulationModel regulation(lower ? turnedNull : null, turned, kFit);
        const double step = regulation.binWidth() / 8.0;
        const double slack = step / 16.0;
        const int span = 3;
        std::vector<int32_t> sums(1003);
        for (int32_t& sum : sums) {
            sum = static_cast<int32_t>(random() % 4000) - 2000 +
                  static_cast<int32_t>(regulation.medianEdge() / step);
        }
        std::vector<uint16_t> bins(sums.size());
        regulation.bracketBins(sums.data(), sums.size(), span, step, slack, bins.data());
        size_t undecided = 0;
        for (size_t i = 0; i < sums.size(); ++i) {
            const double sum = sums[i];
            const size_t low = regulation.binOf(sum * step - slack);
            const size_t high = regulation.binOf((sum + span) * step + slack);
            EXPECT_EQ(bins[i], low == high ? low : RegulationModel::kUndecided) << i;
            undecided += low == high ? 0 : 1;
        }
        EXPECT_GT(undecided, 0u);
    }
}
