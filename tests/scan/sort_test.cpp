#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scan/scan.h"
#include "scan_test_support.h"

namespace xoprex {
namespace {

SiteHit hit(int32_t position, double score, bool strand = true) {
    SiteHit h(4);
    h.position = position;
    h.score = score;
    h.strand = strand;
    return h;
}

std::vector<double> scores(const SequenceRecord& record) {
    std::vector<double> out;
    for (const SiteHit& h : record.hits) {
        out.push_back(h.score);
    }
    return out;
}

std::vector<int32_t> positions(const SequenceRecord& record) {
    std::vector<int32_t> out;
    for (const SiteHit& h : record.hits) {
        out.push_back(h.position);
    }
    return out;
}

TEST(SortHits, ByScoreBestFirstFollowsTheMethodDirection) {
    SequenceRecord record;
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
        SequenceRecord record;
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
    SequenceRecord record;
    record.hits = {hit(40, 1.0), hit(-1, 2.0), hit(12, 3.0, false), hit(7, 4.0),
                   hit(12, 5.0, true)};
    Options options;
    options.sortByScore = false;
    sortHits(options, record);
    EXPECT_EQ(positions(record), (std::vector<int32_t>{7, 12, 12, 40, -1}));
}

TEST(ShrinkAndReserve, CapacityFollowsTheExpectedChanceMatches) {
    SequenceRecord record;
    record.sequence.assign(1000, 'A');
    MotifModel model;
    model.totalRelativeEntropy = 10.0;  // 4 * 1000 / 1024 -> 3
    reserveHitCapacity(record, model);
    EXPECT_GE(record.hits.capacity(), 3u);
    EXPECT_LT(record.hits.capacity(), 10u);
    model.totalRelativeEntropy = 0.0;  // 4000, capped at N
    reserveHitCapacity(record, model);
    EXPECT_EQ(record.hits.capacity(), 1000u);
    model.totalRelativeEntropy = -1e9;  // overflows to infinity: capped, no failure
    reserveHitCapacity(record, model);
    EXPECT_EQ(record.hits.capacity(), 1000u);
    SequenceRecord genome;
    genome.sequence.assign(2000000, 'A');
    model.totalRelativeEntropy = 1.0;  // two million expected: a bounded hint only
    reserveHitCapacity(genome, model);
    EXPECT_EQ(genome.hits.capacity(), 65536u);
    SequenceRecord other;
    other.sequence.assign(100, 'A');
    model.totalRelativeEntropy = std::numeric_limits<double>::quiet_NaN();
    reserveHitCapacity(other, model);
    EXPECT_EQ(other.hits.capacity(), 0u);

    record.hits.push_back(hit(1, 1.0));
    shrinkHitList(record);
    EXPECT_EQ(record.hits.size(), 1u);
    EXPECT_EQ(record.hits.capacity(), 1u);
    EXPECT_EQ(record.hits[0].position, 1);
}

}  // namespace
}  // namespace xoprex
