// p-values of the scan's own scores and their q-values: every method in both
// directions against all 4,096 windows of a 6-base motif, the
// Benjamini-Hochberg values against their definition, and a p-value cut-off
// against the p-values of a run that keeps every window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "motif/score_distribution.h"
#include "motif/scoring.h"
#include "motif/site_collection.h"
#include "report/result_formats.h"
#include "temp_dir.h"

namespace xoprex {
namespace {

SiteCollection sixBaseCollection(const SequenceRecord& background) {
    SiteCollection collection;
    for (const char* text : {"TTGACA", "TTGACT", "ATGACA", "TTTACA", "TAGACA", "TTGATA"}) {
        SiteHit site(6);
        site.site = text;
        collection.sites.push_back(site);
    }
    collection.siteLength = 6;
    buildModel(collection, background);
    return collection;
}

TEST(Significance, EveryMethodAgainstAllWindowsOfASixBaseMotif) {
    SequenceRecord skewed;
    skewed.backgroundFrequencies = {0.35, 0.15, 0.15, 0.35};
    skewed.backgroundEntropy = 1.8812908992306927;
    for (const SequenceRecord& background : {SequenceRecord{}, skewed}) {
        const SiteCollection collection = sixBaseCollection(background);
        for (int method = 1; method <= 11; ++method) {
            const TermTable table(method, collection, background);
            const ScoreDistribution distribution(windowNullModel(method, collection, background));
            // Every word with its probability and the scan's own score.
            std::vector<std::pair<double, double>> words;  // score, probability
            std::string word(6, 'A');
            for (int code = 0; code < 4096; ++code) {
                double probability = 1.0;
                for (int l = 0; l < 6; ++l) {
                    const int base = (code >> (2 * l)) & 3;
                    word[static_cast<size_t>(l)] = "ACGT"[base];
                    probability *= background.backgroundFrequencies[static_cast<size_t>(base)];
                }
                words.emplace_back(table.score(word.data()), probability);
            }
            const bool lower = method == 2 || method == 3;
            for (const auto& [score, unused] : words) {
                double exact = 0.0;
                for (const auto& [other, probability] : words) {
                    exact += (lower ? other <= score : other >= score) ? probability : 0.0;
                }
                ASSERT_LE(std::fabs(distribution.tail(score) - exact), 1e-3 * exact)
                    << "method " << method << " score " << score;
            }
        }
    }
}

TEST(Significance, QValuesFollowTheirDefinition) {
    SequenceRecord uniform;
    const SiteCollection collection = sixBaseCollection(uniform);
    const ScoreDistribution distribution(windowNullModel(1, collection, uniform));
    std::vector<RecordResults> set;
    for (int r = 0; r < 3; ++r) {
        RecordHits& record = set.emplace_back().hits;
        record.windowsScored = 1000 * static_cast<size_t>(r + 1);
        for (int h = 0; h < 40; ++h) {
            SiteHit hit(6);
            hit.score = 2.0 + 0.37 * ((h * 7 + r * 13) % 23);  // ties included
            record.hits.push_back(hit);
        }
    }
    const Significance significance =
        significanceOf(set, {&distribution, &distribution, &distribution});
    const std::vector<double>& p = significance.pValues;
    ASSERT_EQ(p.size(), 120u);
    const double windows = 6000.0;
    for (size_t i = 0; i < p.size(); ++i) {
        // rank of i: hits with a smaller p-value, or an equal one earlier.
        // q_i = min over the hits ranked at or after i of p * M / rank.
        double q = 1.0;
        for (size_t j = 0; j < p.size(); ++j) {
            size_t rank = 1;
            for (size_t k = 0; k < p.size(); ++k) {
                rank += p[k] < p[j] || (p[k] == p[j] && k < j) ? 1 : 0;
            }
            const bool atOrAfter = p[j] > p[i] || (p[j] == p[i] && j >= i);
            if (atOrAfter) {
                q = std::min(q, p[j] * windows / static_cast<double>(rank));
            }
        }
        EXPECT_DOUBLE_EQ(significance.qValues[i], q) << i;
    }
}

// The windows a p-value cut-off keeps are exactly those of a run keeping
// every window whose p-value is at most the cut-off (the redundancy rule
// off, so that no window takes another's place).
TEST(Significance, PValueCutOffKeepsExactlyTheWindowsAtMostThatLikely) {
    testing::TempDir dir;
    const std::string search = std::string(XOPREX_CLI) + " search --sequence " + XOPREX_EXAMPLES +
                               "/pPCP1.fas --collection " + XOPREX_EXAMPLES +
                               "/crp_sites.txt --no-log --keep-redundant --method 5 --stdout tsv";
    const auto rows = [](const std::string& command) {
        std::vector<std::vector<std::string>> table;
        EXPECT_EQ(std::system((command + " > out.tsv 2> err.txt").c_str()), 0);
        std::istringstream in(testing::readFile("out.tsv"));
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#' || line.rfind("motif_id", 0) == 0) {
                continue;
            }
            std::vector<std::string> fields;
            std::istringstream row(line);
            for (std::string field; std::getline(row, field, '\t');) {
                fields.push_back(field);
            }
            table.push_back(fields);
        }
        return table;
    };
    const auto every = rows(search + " --literal --threshold -1e9");
    ASSERT_EQ(every.size(), 2u * 9609u);
    for (const double cut : {1e-3, 1e-4, 3e-6}) {
        std::ostringstream text;
        text << cut;
        std::map<std::string, int> expected;
        for (const auto& row : every) {
            if (std::stod(row[7]) <= cut) {   // p_value
                ++expected[row[3] + row[5]];  // start, strand
            }
        }
        std::map<std::string, int> kept;
        for (const auto& row : rows(search + " --pvalue " + text.str())) {
            ++kept[row[3] + row[5]];
        }
        EXPECT_EQ(kept, expected) << cut;
        EXPECT_FALSE(kept.empty());
    }
}

}  // namespace
}  // namespace xoprex
