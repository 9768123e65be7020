#include "scan/sort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "scan/scan.h"
#include "scan_test_support.h"

namespace xoprex {
namespace {

using namespace scan_detail;

SiteHit hit(int32_t position, double score, bool strand = true) {
    SiteHit h(4);
    h.position = position;
    h.score = score;
    h.strand = strand;
    return h;
}

std::vector<double> scores(const RecordHits& record) {
    std::vector<double> out;
    for (const SiteHit& h : record.hits) {
        out.push_back(h.score);
    }
    return out;
}

std::vector<int32_t> positions(const RecordHits& record) {
    std::vector<int32_t> out;
    for (const SiteHit& h : record.hits) {
        out.push_back(h.position);
    }
    return out;
}

TEST(SortHits, ByScoreBestFirstFollowsTheMethodDirection) {
    RecordHits record;
    record.hits = {hit(5, 1.5), hit(1, 9.25), hit(3, -2.0), hit(7, 4.0)};
    Options options;
    options.sortByScore = true;
    options.method = 1;
    sortHits(options, record);
    EXPECT_EQ(scores(record), (std::vector<double>{9.25, 4.0, 1.5, -2.0}));
    options.method = 2;
    sortHits(options, record);
    EXPECT_EQ(scores(record), (std::vector<double>{-2.0, 1.5, 4.0, 9.25}));
    options.method = 3;
    record.hits.push_back(hit(2, 0.0));
    sortHits(options, record);
    EXPECT_EQ(scores(record), (std::vector<double>{-2.0, 0.0, 1.5, 4.0, 9.25}));
}

TEST(SortHits, NaNScoresGoLastWhateverTheDirection) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const int method : {1, 2}) {
        RecordHits record;
        record.hits = {hit(0, nan), hit(1, 2.0), hit(2, -inf), hit(3, nan), hit(4, inf)};
        Options options;
        options.sortByScore = true;
        options.method = method;
        sortHits(options, record);
        const auto sorted = scores(record);
        EXPECT_TRUE(std::isnan(sorted[3]) && std::isnan(sorted[4]));
        EXPECT_EQ(sorted[1], 2.0);
        EXPECT_EQ(sorted[0], method == 1 ? inf : -inf);
    }
}

TEST(SortHits, ByPositionComparesUnsignedAndIgnoresTheStrand) {
    RecordHits record;
    record.hits = {hit(40, 1.0), hit(-1, 2.0), hit(12, 3.0, false), hit(7, 4.0),
                   hit(12, 5.0, true)};
    Options options;
    options.sortByScore = false;
    sortHits(options, record);
    EXPECT_EQ(positions(record), (std::vector<int32_t>{7, 12, 12, 40, -1}));
}

TEST(SortHits, EqualKeysKeepTheirListOrder) {
    RecordHits record;
    for (int i = 0; i < 50; ++i) {
        SiteHit h = hit(i % 5, static_cast<double>(i % 3), i % 2 == 0);
        h.distance = i;  // marks the list order
        record.hits.push_back(h);
    }
    Options options;
    for (const bool byScore : {false, true}) {
        options.sortByScore = byScore;
        RecordHits sorted = record;
        sortHits(options, sorted);
        for (size_t i = 1; i < sorted.hits.size(); ++i) {
            const SiteHit& a = sorted.hits[i - 1];
            const SiteHit& b = sorted.hits[i];
            const bool tie = byScore ? a.score == b.score : a.position == b.position;
            if (tie) {
                EXPECT_LT(a.distance, b.distance);
            } else {
                EXPECT_TRUE(byScore ? a.score > b.score : a.position < b.position);
            }
        }
    }
}

TEST(SortHits, SameOrderAsAStableSortOfTheRecords) {
    std::mt19937 random(77);
    for (int trial = 0; trial < 20; ++trial) {
        RecordHits record;
        // Scores of both signs with many ties, both zeros, infinities,
        // subnormal and huge values.
        const double special[] = {0.0,
                                  -0.0,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  4.9e-324,
                                  -1e-310,
                                  1e300,
                                  -1e300};
        for (int i = 0; i < 1000; ++i) {
            const double score = random() % 10 == 0
                                     ? special[random() % 8]
                                     : static_cast<double>(random() % 40) / 4.0 - 5.0;
            SiteHit h = hit(static_cast<int32_t>(random() % 300) - 20, score, random() % 2 == 0);
            h.distance = i;
            record.hits.push_back(h);
        }
        for (const int method : {1, 2}) {
            for (const bool byScore : {false, true}) {
                Options options;
                options.method = method;
                options.sortByScore = byScore;
                RecordHits sorted = record;
                sortHits(options, sorted);
                std::vector<SiteHit> expected = record.hits;
                std::stable_sort(expected.begin(), expected.end(),
                                 [&](const SiteHit& a, const SiteHit& b) {
                                     if (!byScore) {
                                         return static_cast<uint32_t>(a.position) <
                                                static_cast<uint32_t>(b.position);
                                     }
                                     return method == 2 ? a.score < b.score : a.score > b.score;
                                 });
                for (size_t i = 0; i < expected.size(); ++i) {
                    ASSERT_EQ(sorted.hits[i].distance, expected[i].distance);
                }
            }
        }
    }
}

TEST(ShrinkAndReserve, CapacityFollowsTheExpectedChanceMatches) {
    RecordHits record;
    MotifModel model;
    model.totalRelativeEntropy = 10.0;  // 4 * 1000 / 1024 -> 3
    reserveHitCapacity(record, 1000, model);
    EXPECT_GE(record.hits.capacity(), 3u);
    EXPECT_LT(record.hits.capacity(), 10u);
    model.totalRelativeEntropy = 0.0;  // 4000, capped at N
    reserveHitCapacity(record, 1000, model);
    EXPECT_EQ(record.hits.capacity(), 1000u);
    model.totalRelativeEntropy = -1e9;  // overflows to infinity: capped, no failure
    reserveHitCapacity(record, 1000, model);
    EXPECT_EQ(record.hits.capacity(), 1000u);
    RecordHits genome;
    model.totalRelativeEntropy = 1.0;  // two million expected: a bounded hint only
    reserveHitCapacity(genome, 2000000, model);
    EXPECT_EQ(genome.hits.capacity(), 65536u);
    RecordHits other;
    model.totalRelativeEntropy = std::numeric_limits<double>::quiet_NaN();
    reserveHitCapacity(other, 100, model);
    EXPECT_EQ(other.hits.capacity(), 0u);

    record.hits.push_back(hit(1, 1.0));
    shrinkHitList(record);
    EXPECT_EQ(record.hits.size(), 1u);
    EXPECT_EQ(record.hits.capacity(), 1u);
    EXPECT_EQ(record.hits[0].position, 1);
}

}  // namespace
}  // namespace xoprex
