// The eleven scoring methods, the per-window operation with its
// scratch fields, and the term table that must agree with it bit for bit.
#include "motif/scoring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "motif_test_support.h"

using namespace xoprex;
using motif_test::bitsOf;
using motif_test::makeCollection;

namespace {

const std::vector<std::string> kToyCollection = {"ACGT", "ACGA", "ACGC", "ACGG"};
constexpr double kLambda_ = 0.3010300099849701;

double score(int method, const std::string& text, SiteCollection& collection,
             const SequenceRecord& background = {}) {
    SiteHit window(static_cast<int32_t>(text.size()));
    window.site = text;
    window.score = 12345.0;  // must be overwritten
    scoreWindow(method, window, background, collection);
    return window.score;
}

std::string sixDigits(double value) {
    if (value == 0.0) {
        value = 0.0;  // no "-0"
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return buffer;
}

}  // namespace

// Reference scores of the collection ACGT, ACGA, ACGC, ACGG with the default
// background, to 6 significant digits.
TEST(ScoringMethods, ReferenceScoresOfTheToyCollection) {
    const struct {
        const char* window;
        const char* values[11];
    } rows[] = {
        {"ACGT",
         {"3.96578", "0", "0", "7.42827e-09", "7.93157", "6", "7.93157", "0", "3.96578", "-4.03422",
          "0.0780719"}},
        {"TTTT",
         {"-3", "4.82831", "9.65663", "-4.33157", "-6", "0", "-6", "-4.33157", "-3", "-47",
          "-2.08771"}},
        {"ACGN",
         {"3.96578", "0", "0", "0", "7.93157", "6", "7.93157", "0", "3.96578", "-4.03422", "0"}},
    };
    SiteCollection collection = makeCollection(kToyCollection);
    for (const auto& row : rows) {
        for (int method = 1; method <= 11; ++method) {
            EXPECT_EQ(sixDigits(score(method, row.window, collection)), row.values[method - 1])
                << "window " << row.window << " method " << method;
        }
    }
}

TEST(ScoringMethods, ConsensusScoresExactlyZeroWithHeterology) {
    SiteCollection collection = makeCollection({"ACGTT", "ACGTA", "TCGAA", "AGGTA"});
    EXPECT_EQ(score(2, "ACGTA", collection), 0.0);
    EXPECT_EQ(score(3, "ACGTA", collection), 0.0);
    EXPECT_GT(score(2, "TCGTA", collection), 0.0);
    EXPECT_GT(score(3, "TCGTA", collection), 0.0);
}

TEST(ScoringMethods, MethodsOutsideRangeScoreZero) {
    SiteCollection collection = makeCollection(kToyCollection);
    for (const int method : {0, 12, -1, 100}) {
        for (const char* window : {"ACGT", "TTTT", "NNNN", "xyz!"}) {
            EXPECT_EQ(score(method, window, collection), 0.0);
        }
    }
}

TEST(ScoringMethods, HandComputedTerms) {
    // N = 3, position 0 with f(A) = 2/3, f(C) = 1/3.
    SiteCollection collection = makeCollection({"AA", "AC", "CG"});
    const SequenceRecord background;
    const double n = 3.0;
    const double fA = 2.0 / 3.0;
    const double fC = 1.0 / 3.0;
    const auto g = [n](double f) { return (f + 1.0 / n) / (1.0 + 4.0 / n); };
    const auto log2b = [](double x) { return std::log10(x) / kLambda_; };
    const auto& p0 = collection.model.positions[0];
    EXPECT_DOUBLE_EQ(positionTerm(1, 0, 'C', collection, background), 2.0 + log2b(g(fC)));
    EXPECT_DOUBLE_EQ(positionTerm(2, 0, 'C', collection, background),
                     std::log((fA + 1.0 / n) / (fC + 1.0 / n)));
    EXPECT_DOUBLE_EQ(positionTerm(3, 0, 'C', collection, background),
                     p0.rsequence * std::log((fA + 1.0 / n) / (fC + 1.0 / n)));
    EXPECT_DOUBLE_EQ(positionTerm(5, 0, 'C', collection, background),
                     p0.rsequence * (2.0 + log2b(g(fC))));
    EXPECT_DOUBLE_EQ(positionTerm(6, 0, 'C', collection, background), p0.relativeEntropy * fC);
    EXPECT_DOUBLE_EQ(positionTerm(7, 0, 'C', collection, background),
                     p0.relativeEntropy * (2.0 + log2b(g(fC))));
    EXPECT_DOUBLE_EQ(positionTerm(9, 0, 'C', collection, background), log2b(g(fC) / 0.25));
    EXPECT_DOUBLE_EQ(positionTerm(10, 0, 'C', collection, background),
                     (g(fA) / g(fC)) * log2b(g(fC)));
    // Letter lookups: two-base codes average, three-base codes divide by 3,
    // U reads T, N and unknown letters 0.25 (position 0 has f(T) = 0).
    EXPECT_DOUBLE_EQ(positionTerm(6, 0, 'M', collection, background),
                     p0.relativeEntropy * (fA + fC) * 0.5);
    EXPECT_DOUBLE_EQ(positionTerm(6, 0, 'V', collection, background),
                     p0.relativeEntropy * (fA + fC + 0.0) / 3);
    EXPECT_EQ(positionTerm(6, 0, 'U', collection, background), 0.0);
    EXPECT_DOUBLE_EQ(positionTerm(6, 0, 'N', collection, background), p0.relativeEntropy * 0.25);
    EXPECT_DOUBLE_EQ(positionTerm(6, 0, '?', collection, background), p0.relativeEntropy * 0.25);
    // Iseq: U takes f(T) but the background 0.25.
    EXPECT_DOUBLE_EQ(positionTerm(9, 0, 'U', collection, background), log2b(g(0.0) / 0.25));
}

TEST(ScoringMethods, DifferentialUsesSiteWeightsAndNPlusOne) {
    // Position 0 counts A = 2, C = 1; the window letter is added as a fourth
    // site and q is divided by N + 1 = 4.
    SiteCollection collection = makeCollection({"AA", "AC", "CG"});
    const SequenceRecord background;
    const auto& p0 = collection.model.positions[0];
    const double eps = 1e-100;
    const auto rPrime = [&](std::array<double, 4> q) {
        double sum = 0.0;
        for (double v : q) sum += (v + eps) * (std::log10(v + eps) / kLambda_);
        return 2.0 + sum;
    };
    const double third = 0.3330000042915344;
    EXPECT_EQ(third, static_cast<double>(0.333f));
    EXPECT_DOUBLE_EQ(positionTerm(11, 0, 'G', collection, background) + p0.rsequence,
                     rPrime({2.0 / 4, 1.0 / 4, 1.0 / 4, 0.0}));
    EXPECT_DOUBLE_EQ(positionTerm(11, 0, 'B', collection, background) + p0.rsequence,
                     rPrime({2.0 / 4, (1.0 + third) / 4, third / 4, third / 4}));
    EXPECT_DOUBLE_EQ(positionTerm(11, 0, 'K', collection, background) + p0.rsequence,
                     rPrime({2.0 / 4, 1.0 / 4, 0.5 / 4, 0.5 / 4}));
    for (const unsigned char letter : {'U', 'N', 'X', '\0'}) {
        EXPECT_DOUBLE_EQ(positionTerm(11, 0, letter, collection, background) + p0.rsequence,
                         rPrime({2.25 / 4, 1.25 / 4, 0.25 / 4, 0.25 / 4}));
    }
    EXPECT_DOUBLE_EQ(positionTerm(4, 0, 'G', collection, background),
                     p0.rsequence * (rPrime({2.0 / 4, 1.0 / 4, 1.0 / 4, 0.0}) - p0.rsequence));
}

TEST(ScoringMethods, ScratchFieldsOfDifferentialMethods) {
    SiteCollection collection = makeCollection(kToyCollection);
    auto& positions = collection.model.positions;
    for (auto& record : positions) {
        record.windowRsequence = -1.0;
        record.windowRelativeEntropy = -1.0;
    }
    score(11, "ACGT", collection);
    for (int l = 0; l < 3; ++l) {
        EXPECT_EQ(positions[l].windowRsequence, positions[l].rsequence);
        EXPECT_EQ(positions[l].windowRelativeEntropy, -1.0);
    }
    EXPECT_EQ(sixDigits(positions[3].windowRsequence - positions[3].rsequence), "0.0780719");

    score(8, "TTTT", collection);
    EXPECT_NE(positions[0].windowRelativeEntropy, -1.0);
    double sum = 0.0;
    for (const auto& record : positions) {
        sum += record.relativeEntropy * (record.windowRelativeEntropy - record.relativeEntropy);
    }
    EXPECT_EQ(sixDigits(sum), "-4.33157");

    score(4, "ACGN", collection);  // N leaves R' = R at the all-equal position
    EXPECT_EQ(positions[3].windowRsequence, positions[3].rsequence);

    // Scoring never changes the stored model values.
    const SiteCollection fresh = makeCollection(kToyCollection);
    for (size_t l = 0; l < positions.size(); ++l) {
        EXPECT_EQ(positions[l].rsequence, fresh.model.positions[l].rsequence);
        EXPECT_EQ(positions[l].relativeEntropy, fresh.model.positions[l].relativeEntropy);
        EXPECT_EQ(positions[l].frequencies, fresh.model.positions[l].frequencies);
        EXPECT_EQ(positions[l].counts, fresh.model.positions[l].counts);
    }
}

TEST(ScoringMethods, CompositionBackgroundInIseq) {
    SiteCollection collection = makeCollection(kToyCollection);
    SequenceRecord background;
    background.sequence = "AAATTTCCGG";
    computeBackgroundComposition(background);
    const double g = (1.0 + 0.25) / 2.0;  // f(A) = 1 at position 0, N = 4
    EXPECT_DOUBLE_EQ(positionTerm(9, 0, 'A', collection, background),
                     std::log10(g / 0.3) / kLambda_);
    EXPECT_DOUBLE_EQ(positionTerm(9, 0, 'A', collection, SequenceRecord{}),
                     std::log10(g / 0.25) / kLambda_);
    // Method 1 adds the record's H, not the model's.
    EXPECT_DOUBLE_EQ(positionTerm(1, 0, 'A', collection, background),
                     background.backgroundEntropy + std::log10(g) / kLambda_);
}

// ---------------------------------------------------------------- table path

namespace {

// Collections and backgrounds covering plain letters, ambiguity codes,
// uncounted characters, a composition background and a zero probability.
struct Scenario {
    std::string name;
    SiteCollection collection;
    SequenceRecord background;
};

std::vector<Scenario> scenarios() {
    std::vector<Scenario> list;
    list.push_back({"toy", makeCollection(kToyCollection), SequenceRecord{}});

    SequenceRecord composition;
    composition.sequence = "AAATTTCCGGNRYAAX";
    computeBackgroundComposition(composition);
    list.push_back({"ambiguous",
                    makeCollection({"ACGTRYKMSWBDHVN-U", "TTGACAGTCAGCATGCA", "TAGATAATCGACTGCTA",
                                    "AAGACWGTCAGNATGCA"},
                                   composition),
                    composition});

    SequenceRecord zero;
    zero.sequence = "CCGGCGCGGC";
    computeBackgroundComposition(zero);
    list.push_back({"zero-probability", makeCollection({"ACGTA", "CCGTA", "GCGAA"}, zero), zero});

    SequenceRecord other;  // model built with the default, scored with another background
    other.backgroundFrequencies = {0.35, 0.15, 0.15, 0.35};
    other.backgroundEntropy = 1.88;
    list.push_back({"other-background", makeCollection({"TTGACA", "TTGACT", "TAGAAA"}), other});

    list.push_back(
        {"crp", loadCollection(std::string(XOPREX_EXAMPLES) + "/crp_sites.txt", SequenceRecord{}),
         SequenceRecord{}});
    return list;
}

}  // namespace

// Every method 0..12, every position, all 256 byte values: the table entry is
// the term, and a window holding that byte scores the same through both paths.
TEST(TermTable, ExhaustivelyBitIdentical) {
    for (Scenario& scenario : scenarios()) {
        SiteCollection& collection = scenario.collection;
        const int length = collection.siteLength;
        std::string base;
        for (const auto& record : collection.model.positions) {
            base += record.consensus;
        }
        for (int method = 0; method <= 12; ++method) {
            const TermTable table(method, collection, scenario.background);
            ASSERT_EQ(table.siteLength(), length);
            for (int l = 0; l < length; ++l) {
                for (int byte = 0; byte < 256; ++byte) {
                    const double term = positionTerm(method, l, static_cast<unsigned char>(byte),
                                                     collection, scenario.background);
                    ASSERT_EQ(bitsOf(table.row(l)[byte]), bitsOf(term));
                    ASSERT_TRUE(std::isfinite(term)) << scenario.name << " method " << method
                                                     << " position " << l << " byte " << byte;
                    if (method < 1 || method > 11) {
                        ASSERT_EQ(bitsOf(term), bitsOf(0.0));
                    }

                    SiteHit window(length);
                    std::string text = base;
                    text[static_cast<size_t>(l)] = static_cast<char>(byte);
                    window.site = text;
                    scoreWindow(method, window, scenario.background, collection);
                    ASSERT_EQ(bitsOf(window.score), bitsOf(table.score(window.site.data())))
                        << scenario.name << " method " << method << " position " << l << " byte "
                        << byte;
                }
            }
        }
    }
}

TEST(TermTable, RandomWindowsBitIdentical) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> anyByte(0, 255);
    const std::string letters = "ACGTACGTACGTACGTNRYKMSWBDHVU-x";
    std::uniform_int_distribution<size_t> pick(0, letters.size() - 1);
    for (Scenario& scenario : scenarios()) {
        SiteCollection& collection = scenario.collection;
        const int length = collection.siteLength;
        for (int method = 0; method <= 12; ++method) {
            const TermTable table(method, collection, scenario.background);
            for (int trial = 0; trial < 400; ++trial) {
                SiteHit window(length);
                std::string text;
                for (int l = 0; l < length; ++l) {
                    text +=
                        static_cast<char>(trial % 2 == 0 ? letters[pick(random)] : anyByte(random));
                }
                window.site = text;
                scoreWindow(method, window, scenario.background, collection);
                ASSERT_EQ(bitsOf(window.score), bitsOf(table.score(window.site.data())))
                    << scenario.name << " method " << method << " window " << window.site;
            }
        }
    }
}

TEST(TermTable, DefaultTableIsEmpty) {
    const TermTable table;
    EXPECT_EQ(table.siteLength(), 0);
    EXPECT_EQ(table.score(""), 0.0);
}

TEST(TermTable, ReferenceScoresThroughTheTable) {
    SiteCollection collection = makeCollection(kToyCollection);
    const TermTable table(10, collection, SequenceRecord{});
    EXPECT_EQ(sixDigits(table.score("TTTT")), "-47");
    EXPECT_EQ(sixDigits(table.score("ACGT")), "-4.03422");
}
