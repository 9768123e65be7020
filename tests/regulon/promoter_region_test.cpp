// The promoter region against the site annotation's operator test, window
// by window, and its windows' scores against the term table.
#include "regulon/promoter_region.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "motif/score_distribution.h"
#include "motif/scoring.h"
#include "motif/site_collection.h"
#include "random_text.h"
#include "regulon/regulation_model.h"
#include "scan/annotation.h"
#include "scan/reverse_complement.h"

namespace {

using xoprex::GeneRecord;
using xoprex::PositionRange;
using xoprex::RecordStrands;
using xoprex::RegulationModel;
using xoprex::SequenceRecord;
using xoprex::Topology;

std::set<std::pair<bool, int64_t>> placesOf(const std::vector<PositionRange>& ranges) {
    std::set<std::pair<bool, int64_t>> places;
    for (const PositionRange& range : ranges) {
        for (int64_t p = range.first; p <= range.last; ++p) {
            EXPECT_TRUE(places.emplace(range.forward, p).second) << "a window twice";
        }
    }
    return places;
}

// Every window of both strands is in the region exactly when the operator
// test calls it an operator of the gene by distance (on a circular record,
// at one of the positions the window has around the circle).
TEST(PromoterRegion, IsWhereTheOperatorTestSaysOperator) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 400; ++trial) {
        const int64_t n = 30 + static_cast<int64_t>(random() % 60);
        const int length = 1 + static_cast<int>(random() % 8);
        SequenceRecord record;
        record.sequence.assign(static_cast<size_t>(n), 'A');
        const bool circular = trial % 2 == 0;
        record.topology = circular ? Topology::Circular : Topology::Linear;
        xoprex::Options options;
        options.promoterDistance = static_cast<int32_t>(random() % 50) - 10;
        options.inGeneDistance = static_cast<int32_t>(random() % 50) - 10;
        GeneRecord gene;
        gene.sense = random() % 2 == 0;
        gene.begin = 1 + static_cast<int32_t>(random() % static_cast<uint32_t>(n));
        gene.end = gene.sense ? gene.begin + 10 : gene.begin - 10;
        const RecordStrands strands(
            record, xoprex::fullyComplementable(record.sequence.data(), record.sequence.size()));
        const auto places = placesOf(strands.promoterRanges(gene, options, length));
        for (const bool forward : {true, false}) {
            // The scan's positions: forward 0 .. N - 1 (circular) or
            // 0 .. N - L; reverse N - i for window i.
            const int64_t windows = circular ? n : n - length + 1;
            for (int64_t i = 0; i < std::max<int64_t>(windows, 0); ++i) {
                const int64_t position = forward ? i : n - i;
                bool operatorSite = false;
                for (int64_t turn = circular ? -2 : 0; turn <= (circular ? 2 : 0); ++turn) {
                    operatorSite =
                        operatorSite ||
                        xoprex::withinOperatorReach(
                            xoprex::distanceFromGeneStart(gene, position + turn * n), options);
                }
                EXPECT_EQ(places.count({forward, position}) == 1, operatorSite)
                    << "trial " << trial << " n " << n << " L " << length << " forward " << forward
                    << " position " << position;
            }
        }
    }
}

// The windows' texts are the strands' (reverse: the reverse complement,
// window N - p at position p), across the origin of a circular record.
TEST(PromoterRegion, WindowsReadTheStrands) {
    SequenceRecord record;
    record.sequence = "ACGTTGCAAGGCTTACCGATNNACGGTACAT";
    record.topology = Topology::Circular;
    const int64_t n = static_cast<int64_t>(record.sequence.size());
    const std::string reverse = xoprex::reverseComplementText(record.sequence);
    const std::string doubled = record.sequence + record.sequence;
    const std::string reverseDoubled = reverse + reverse;
    const RecordStrands strands(
        record, xoprex::fullyComplementable(record.sequence.data(), record.sequence.size()));
    std::string text;
    for (const bool forward : {true, false}) {
        const PositionRange range{forward, forward ? n - 3 : 1, forward ? n - 1 : 4};
        strands.rangeText(range, 6, text);
        const std::string expected = forward ? doubled.substr(static_cast<size_t>(n - 3), 8)
                                             : reverseDoubled.substr(static_cast<size_t>(n - 4), 9);
        EXPECT_EQ(text, expected) << forward;
    }
}

// A region's bin counts and evidence, its count and its best window,
// against each window's text (rangeText) scored by the term table: the
// windows read straight from the record (the reverse strand from the
// forward text) as well as copied, across the origin, with ambiguity codes
// left out or scored, and records whose bytes have no complement; binned
// from fixed-point sums (with a long flat start of the terms and a short
// one) and with no model at all.
TEST(PromoterRegion, BinsAndBestAreThoseOfTheWindowsOwnScores) {
    std::mt19937 random(11);
    xoprex::SiteCollection collection;
    collection.siteLength = 6;
    for (const char* text : {"TGTGAT", "TGTGAC", "TTTGAT", "CGTGAA"}) {
        xoprex::SiteHit site(6);
        site.site = text;
        collection.sites.push_back(site);
    }
    xoprex::buildModel(collection, SequenceRecord());
    for (int trial = 0; trial < 300; ++trial) {
        const int method = 1 + trial % 11;
        SequenceRecord record;
        const char* letters = trial % 5 == 0 ? "ACGTACGTNacg" : "ACGTACGTACGTACGTNRY";
        record.sequence = xoprex::testing::randomText(40 + random() % 160, letters, trial);
        record.topology = trial % 2 == 0 ? Topology::Circular : Topology::Linear;
        const xoprex::TermTable table(method, collection, record);
        const xoprex::WindowScores scores(table);
        const xoprex::NullModel null = xoprex::windowNullModel(method, collection, record);
        const xoprex::ScoreDistribution distribution(null, xoprex::roughFigureTuning());
        const xoprex::RegulationModel model(distribution, null,
                                            xoprex::siteScoreFit(collection, null));
        xoprex::Options options;
        options.promoterDistance = static_cast<int32_t>(random() % 80);
        options.inGeneDistance = static_cast<int32_t>(random() % 40);
        GeneRecord gene;
        gene.sense = random() % 2 == 0;
        gene.begin = 1 + static_cast<int32_t>(random() % record.sequence.size());
        const RecordStrands strands(
            record, xoprex::fullyComplementable(record.sequence.data(), record.sequence.size()));
        const auto ranges = strands.promoterRanges(gene, options, 6);
        const bool skip = trial % 3 != 0;
        const bool lower = xoprex::lowerIsBetter(method);
        xoprex::RegionWindows binned;
        xoprex::RegionWindows plain;
        RegulationModel::WindowTerms terms;
        const xoprex::RegionEvidence weigh{
            &model, [&](size_t windows) -> const RegulationModel::WindowTerms& {
                terms = model.weighing(trial % 4 == 0 ? 1e-12 : 1.0 / static_cast<double>(windows));
                return terms;
            }};
        xoprex::scoreRegion(strands, ranges, scores, 6, lower, skip, &weigh, binned);
        xoprex::scoreRegion(strands, ranges, scores, 6, lower, skip, nullptr, plain);
        size_t k = 0;
        size_t count = 0;
        std::optional<std::pair<double, PositionRange>> best;
        std::string text;
        std::vector<uint32_t> counts(model.binCount(), 0);
        for (const PositionRange& range : ranges) {
            strands.rangeText(range, 6, text);
            for (int64_t w = 0; w <= range.last - range.first; ++w, ++k) {
                const std::string window = text.substr(static_cast<size_t>(w), 6);
                const bool left = skip && window.find_first_not_of("ACGT") != std::string::npos;
                const double score = table.score(window.data());
                if (left) {
                    continue;
                }
                ++counts[model.binOf(score)];
                ++count;
                if (!best || (lower ? score < best->first : score > best->first)) {
                    const int64_t at = range.forward ? range.first + w : range.last - w;
                    best = {score, {range.forward, at, at}};
                }
            }
        }
        if (count > 0) {
            RegulationModel::foldFlat(counts, terms.flat);
            EXPECT_EQ(binned.evidence, model.logBayesFactor(counts, terms.terms))
                << "trial " << trial;
        }
        EXPECT_EQ(binned.binCounts, counts) << "trial " << trial;
        for (const xoprex::RegionWindows* region : {&binned, &plain}) {
            EXPECT_EQ(region->count, count);
            ASSERT_EQ(region->hasBest, best.has_value()) << "trial " << trial;
            if (best) {
                EXPECT_EQ(region->bestScore, best->first);
                EXPECT_EQ(region->bestForward, best->second.forward) << "trial " << trial;
                EXPECT_EQ(region->bestPosition, best->second.first) << "trial " << trial;
                strands.rangeText(best->second, 6, text);
                EXPECT_EQ(region->bestSite, text);
            }
        }
    }
}

}  // namespace
