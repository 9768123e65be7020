// The normal quantile, the cut-off and its checks, the collection
// self-scoring.
#include "motif/cutoff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "base/number_format.h"
#include "motif/scoring.h"
#include "motif_test_support.h"

using namespace xoprex;
using motif_test::makeCollection;

namespace {

void expectRelative(double actual, double expected, double tolerance = 1e-12) {
    EXPECT_LE(std::fabs(actual - expected), tolerance * std::fabs(expected))
        << "actual " << actual << " expected " << expected;
}

Options optionsFor(int method, double threshold, bool literal = false) {
    Options options;
    options.method = method;
    options.threshold = threshold;
    options.literalCutOff = literal;
    options.cutOff = -99.0;
    return options;
}

}  // namespace

// ---------------------------------------------------------------- quantile

TEST(NormalQuantile, KnownValues) {
    // Reference values: 60-digit roots of Phi(z) = p for the double p.
    const struct {
        double p;
        double z;
    } cases[] = {
        {0.975, 1.9599639845400539},         {1e-10, -6.3613409024040562},
        {0.05, -1.6448536269514727},         {0.95, 1.6448536269514723},
        {1e-300, -37.047096299361199},       {0.3, -0.52440051270804082},
        {1e-05, -4.2648907939228246},        {0.999, 3.0902323061678133},
        {0.25, -0.67448975019608174},        {0.2500001, -0.67448943550960707},
        {1e-20, -9.2623400897984076},        {0.8, 0.84162123357291436},
        {0.4999999, -2.5066282747031065e-7}, {0.5 + 0x1p-40, 2.2797651350911115e-12},
    };
    for (const auto& c : cases) {
        expectRelative(normalQuantile(c.p), c.z);
    }
    EXPECT_NEAR(normalQuantile(0.975), 1.959963984540054, 1e-14);
}

TEST(NormalQuantile, CentreAndSymmetry) {
    EXPECT_EQ(normalQuantile(0.5), 0.0);
    for (const double p : {1e-15, 0.001, 0.1, 0.2, 0.3, 0.4, 0.45, 0.49}) {
        EXPECT_EQ(normalQuantile(1.0 - p), -normalQuantile(1.0 - (1.0 - p))) << p;
        EXPECT_LT(normalQuantile(p), 0.0);
    }
    double previous = -std::numeric_limits<double>::infinity();
    for (int i = 1; i < 1000; ++i) {
        const double z = normalQuantile(i / 1000.0);
        EXPECT_GT(z, previous);
        previous = z;
    }
}

TEST(NormalQuantile, RoundTripThroughErfc) {
    for (double p = 1e-300; p < 0.5; p *= 7.3) {
        const double z = normalQuantile(p);
        // Phi's slope magnifies z's last-place error by about z squared.
        expectRelative(0.5 * std::erfc(-z / std::sqrt(2.0)), p, 1e-15 * (4.0 + z * z));
    }
}

TEST(NormalQuantile, OutsideOpenInterval) {
    EXPECT_EQ(normalQuantile(0.0), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(normalQuantile(1.0), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(normalQuantile(-0.5)));
    EXPECT_TRUE(std::isnan(normalQuantile(1.5)));
    EXPECT_TRUE(std::isnan(normalQuantile(std::nan(""))));
}

// ---------------------------------------------------------------- cut-off

TEST(CutOff, SelfScoresOneToFour) {
    const std::vector<double> scores = {1, 2, 3, 4};
    const double s = std::sqrt(1.25);
    EXPECT_EQ(formatGeneral(s), "1.11803");
    // Higher is better: p = 0.05.
    const double higher = cutOffFromScores(scores, 0.95, false, 1);
    EXPECT_EQ(formatGeneral(higher), "0.660998");
    expectRelative(higher, 2.5 - 1.6448536269514722 * s, 1e-13);
    EXPECT_EQ(computedCutOff(2.5, s, 0.95, 5), higher);
    // Methods 2 and 3: p = 0.95.
    const double lower = cutOffFromScores(scores, 0.95, false, 2);
    EXPECT_EQ(formatGeneral(lower), "4.339");
    EXPECT_EQ(cutOffFromScores(scores, 0.95, false, 3), lower);
    // Single-precision threshold as the options file holds it.
    EXPECT_EQ(formatGeneral(cutOffFromScores(scores, static_cast<double>(0.95f), false, 1)),
              "0.660998");
}

TEST(CutOff, HalfGivesTheMean) {
    for (int method = 0; method <= 12; ++method) {
        EXPECT_EQ(cutOffFromScores({1, 2, 3, 4}, 0.5, false, method), 2.5) << method;
        EXPECT_EQ(computedCutOff(-3.25, 0.7, 0.5, method), -3.25) << method;
    }
}

TEST(CutOff, Literal) {
    EXPECT_EQ(cutOffFromScores({1, 2, 3, 4}, 7.5, true, 1), 7.5);
    EXPECT_EQ(cutOffFromScores({1, 1}, -2.0, true, 2), -2.0);
    EXPECT_EQ(cutOffFromScores({}, 7.5, true, 1), 7.5);
    EXPECT_EQ(cutOffFromScores({1, 2, 3, 4}, 7.5, false, 1), 0.0);
}

TEST(CutOff, ChecksLeaveZero) {
    for (const int method : {1, 2, 3, 5, 9}) {
        for (const double t : {0.0, 1.0, -0.1, 1.5, 7.5, -1e-300, std::nan(""),
                               std::numeric_limits<double>::infinity()}) {
            EXPECT_EQ(cutOffFromScores({1, 2, 3, 4}, t, false, method), 0.0) << method << " " << t;
        }
        EXPECT_EQ(cutOffFromScores({3, 3, 3}, 0.8, false, method), 0.0);  // s = 0
        EXPECT_EQ(cutOffFromScores({3}, 0.8, false, method), 0.0);
        EXPECT_EQ(cutOffFromScores({}, 0.8, false, method), 0.0);
        EXPECT_EQ(computedCutOff(1.0, std::nan(""), 0.8, method), 0.0);
        EXPECT_EQ(computedCutOff(1.0, -1.0, 0.8, method), 0.0);
    }
    // Just inside the interval still works.
    EXPECT_LT(cutOffFromScores({1, 2, 3, 4}, 1e-12, false, 2), 0.0);
    EXPECT_GT(cutOffFromScores({1, 2, 3, 4}, 1e-12, false, 1), 4.0);
}

TEST(CutOff, TailFollowsBetterIsLower) {
    const double s = 2.0;
    for (int method = 0; method <= 12; ++method) {
        const double cut = computedCutOff(10.0, s, 0.9, method);
        if (method == 2 || method == 3) {
            expectRelative(cut, 10.0 + s * 1.2815515655446004);
        } else {
            expectRelative(cut, 10.0 - s * 1.2815515655446004);
        }
    }
}

// ---------------------------------------------------------------- self-scoring

TEST(SelfScoring, ToyCollectionHasZeroDeviation) {
    SiteCollection collection = makeCollection({"ACGT", "ACGA", "ACGC", "ACGG"});
    Options options = optionsFor(1, static_cast<double>(0.8f));
    scoreCollectionAndFixCutOff(collection, options, SequenceRecord{});
    EXPECT_EQ(options.cutOff, 0.0);
    for (const auto& site : collection.sites) {
        EXPECT_EQ(formatGeneral(site.score), "3.96578");
    }
    EXPECT_EQ(collection.sites[0].score, collection.sites[3].score);
}

TEST(SelfScoring, ScoresWrittenIntoSitesAndUsedForCutOff) {
    SiteCollection collection = makeCollection({"TTGACA", "TTGACT", "TAGAAA", "CTGATA", "TTTACA"});
    for (const int method : {1, 2, 4, 8, 10}) {
        Options options = optionsFor(method, 0.8);
        scoreCollectionAndFixCutOff(collection, options, SequenceRecord{});
        std::vector<double> scores;
        for (const auto& site : collection.sites) {
            SiteHit copy = site;
            scoreWindow(method, copy, SequenceRecord{}, collection);
            EXPECT_EQ(site.score, copy.score);
            scores.push_back(site.score);
        }
        EXPECT_EQ(options.cutOff, cutOffFromScores(scores, 0.8, false, method));
        EXPECT_NE(options.cutOff, 0.0) << method;
    }
}

TEST(SelfScoring, LiteralCutOff) {
    SiteCollection collection = makeCollection({"ACGT", "ACGA"});
    Options options = optionsFor(5, 7.5, true);
    scoreCollectionAndFixCutOff(collection, options, SequenceRecord{});
    EXPECT_EQ(options.cutOff, 7.5);
    options = optionsFor(5, 7.5, false);
    scoreCollectionAndFixCutOff(collection, options, SequenceRecord{});
    EXPECT_EQ(options.cutOff, 0.0);
}
