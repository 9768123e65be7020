// p-values of tied scores: words whose real-valued scores tie (the same terms
// summed in another order) get one p-value, the tail of their real-valued
// score, and a p-value cut-off keeps or drops them together. Every 6-base
// word is scored as the scan scores it, and its p-value is compared with the
// exact sum of the probabilities of the words scoring at least as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "motif/score_distribution.h"
#include "motif/scoring.h"
#include "motif_test_support.h"
#include "options/options.h"

namespace xoprex {
namespace {

// Twenty E-box sites of six bases: columns A4 C16, A19 G1, C, G, T, G.
std::vector<std::string> eBoxSites() {
    std::vector<std::string> sites;
    for (int i = 0; i < 20; ++i) {
        sites.push_back(std::string(i < 4 ? "A" : "C") + (i < 19 ? "A" : "G") + "CGTG");
    }
    return sites;
}

// The uniform background with its entropy of 2 bits, as searches take it, or
// a skewed one with its entropy.
SequenceRecord backgroundOf(const std::array<double, 4>& p) {
    SequenceRecord record;
    if (p == record.backgroundFrequencies) {
        return record;
    }
    record.backgroundFrequencies = p;
    double entropy = 0.0;
    for (const double f : p) {
        entropy -= f * std::log10(f) / kLambda;
    }
    record.backgroundEntropy = entropy;
    return record;
}

struct Word {
    std::string text;
    double score = 0.0;        // as the scan sums it
    long double exact = 0.0L;  // the same terms summed in one fixed order, finely
    double probability = 0.0;  // under the background
};

std::vector<Word> everyWord(int method, const SiteCollection& collection,
                            const SequenceRecord& background) {
    const TermTable table(method, collection, background);
    std::vector<Word> words;
    for (int code = 0; code < 4096; ++code) {
        Word word;
        std::vector<double> terms;
        word.probability = 1.0;
        for (int l = 0; l < 6; ++l) {
            const int base = (code >> (2 * (5 - l))) & 3;
            word.text += "ACGT"[base];
            terms.push_back(table.row(l)[static_cast<unsigned char>("ACGT"[base])]);
            word.probability *= background.backgroundFrequencies[static_cast<size_t>(base)];
        }
        word.score = table.score(word.text.c_str());
        std::sort(terms.begin(), terms.end());
        for (const double term : terms) {
            word.exact += term;
        }
        words.push_back(word);
    }
    return words;
}

TEST(PValueTies, EveryWordAgainstTheExactSumOfWordProbabilities) {
    const std::array<std::array<double, 4>, 2> backgrounds = {
        std::array<double, 4>{0.25, 0.25, 0.25, 0.25}, {0.35, 0.15, 0.15, 0.35}};
    for (const int method : {1, 2, 9}) {
        for (const auto& p : backgrounds) {
            const SequenceRecord background = backgroundOf(p);
            const SiteCollection collection = motif_test::makeCollection(eBoxSites(), background);
            const ScoreDistribution distribution(windowNullModel(method, collection, background));
            const double tolerance = distribution.tieTolerance();
            const bool lower = lowerIsBetter(method);
            const std::vector<Word> words = everyWord(method, collection, background);
            double worst = 0.0;
            size_t tiedPairs = 0;
            for (const Word& word : words) {
                double exact = 0.0;
                for (const Word& other : words) {
                    const long double gap =
                        lower ? word.exact - other.exact : other.exact - word.exact;
                    exact += gap >= -tolerance ? other.probability : 0.0;
                }
                const double got = distribution.pValue(word.score);
                worst = std::max(worst, std::fabs(got - exact) / exact);
                for (const Word& other : words) {
                    if (other.exact == word.exact && other.score != word.score) {
                        ++tiedPairs;
                        ASSERT_EQ(distribution.pValue(other.score), got) << word.text;
                    }
                }
            }
            EXPECT_LE(worst, ScoreDistribution::kMaxRelativeError)
                << "method " << method << " background " << p[0];
            std::cout << "method " << method << ", background A " << p[0] << ": 4096 words, "
                      << tiedPairs << " tied pairs with unequal doubles, largest relative error "
                      << worst << '\n';
        }
    }
}

// Method 1 (Ri) with the uniform background: the twelve words scoring
// 6.0765684819442 tie, and all 4,096 words give 19 as likely or likelier.
TEST(PValueTies, TiedWordsShareOnePValueAndACutOff) {
    const SequenceRecord uniform = backgroundOf({0.25, 0.25, 0.25, 0.25});
    const SiteCollection collection = motif_test::makeCollection(eBoxSites(), uniform);
    const ScoreDistribution distribution(windowNullModel(1, collection, uniform));
    const std::vector<Word> words = everyWord(1, collection, uniform);
    size_t tied = 0;
    for (const Word& word : words) {
        if (std::fabs(word.score - 6.0765684819442) < 1e-12) {
            ++tied;
            EXPECT_NEAR(distribution.pValue(word.score), 19.0 / 4096, 19.0 / 4096 * 1e-3)
                << word.text;
        }
    }
    EXPECT_EQ(tied, 12u);
    // Every p-value as a cut-off: a word passes exactly when its p-value is
    // at most the cut-off, so tied words pass or fail together.
    std::vector<double> pValues;
    for (const Word& word : words) {
        pValues.push_back(distribution.pValue(word.score));
    }
    std::sort(pValues.begin(), pValues.end());
    pValues.erase(std::unique(pValues.begin(), pValues.end()), pValues.end());
    for (const double p : pValues) {
        const ScoreCutOff cut = distribution.pValueCutOff(p);
        for (const Word& word : words) {
            ASSERT_EQ(word.score > cut.score, distribution.pValue(word.score) <= p)
                << word.text << " at " << p;
        }
    }
}

}  // namespace
}  // namespace xoprex
