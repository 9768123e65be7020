#include "scan/detail/redundancy.h"

#include <gtest/gtest.h>

#include <random>

namespace xoprex {
namespace {

using namespace scan_detail;

SiteHit hitAt(bool strand, int32_t position, double score, int32_t length = 6) {
    SiteHit hit(length);
    hit.strand = strand;
    hit.position = position;
    hit.score = score;
    hit.site = strand ? "FORWRD" : "REVERS";
    return hit;
}

TEST(Redundancy, ReverseHitPairsWithForwardHitLBasesBeforeOrAfter) {
    for (const int32_t forwardPosition : {14, 26}) {  // q - L and q + L for q = 20
        std::vector<SiteHit> hits{hitAt(true, 3, 9.0), hitAt(true, forwardPosition, 5.0)};
        RedundancyIndex index(hits);
        EXPECT_EQ(resolveRedundant(hits, index, hitAt(false, 20, 4.0), false),
                  RedundancyOutcome::Dropped);
        EXPECT_EQ(resolveRedundant(hits, index, hitAt(false, 20, 5.0), false),
                  RedundancyOutcome::Dropped);  // equal scores keep the earlier hit
        EXPECT_EQ(resolveRedundant(hits, index, hitAt(false, 20, 6.0), false),
                  RedundancyOutcome::Replaced);
        ASSERT_EQ(hits.size(), 2u);
        EXPECT_FALSE(hits[1].strand);
        EXPECT_EQ(hits[1].position, 20);
        EXPECT_EQ(hits[1].site, "REVERS");
    }
}

TEST(Redundancy, LowerIsBetterForTheHeterologyIndices) {
    std::vector<SiteHit> hits{hitAt(true, 10, 2.0)};
    RedundancyIndex index(hits);
    EXPECT_EQ(resolveRedundant(hits, index, hitAt(false, 16, 3.0), true),
              RedundancyOutcome::Dropped);
    EXPECT_EQ(resolveRedundant(hits, index, hitAt(false, 16, 1.0), true),
              RedundancyOutcome::Replaced);
    EXPECT_EQ(hits[0].score, 1.0);
    // Same strand or other distances are no partners.
    EXPECT_EQ(resolveRedundant(hits, index, hitAt(false, 22, 0.5), true),
              RedundancyOutcome::Appended);
    EXPECT_EQ(resolveRedundant(hits, index, hitAt(true, 7, 0.1), true),
              RedundancyOutcome::Appended);
    EXPECT_EQ(hits.size(), 3u);
}

TEST(Redundancy, FirstPartnerInListOrderWins) {
    // Two candidates: q + L comes first in the list, so it is the partner.
    std::vector<SiteHit> hits{hitAt(true, 26, 5.0), hitAt(true, 14, 1.0)};
    RedundancyIndex index(hits);
    EXPECT_EQ(index.findPartner(false, 20, 6), 0u);
    EXPECT_EQ(resolveRedundant(hits, index, hitAt(false, 20, 4.0), false),
              RedundancyOutcome::Dropped);
}

// The index must return exactly what the literal walk returns, through any
// mix of appends and in-place replacements, including duplicate keys.
TEST(Redundancy, IndexAgreesWithTheWalkOnRandomHitLists) {
    std::mt19937_64 random(20240611);
    for (int trial = 0; trial < 200; ++trial) {
        const int32_t length = 1 + static_cast<int32_t>(random() % 6);
        const int32_t span = 5 + static_cast<int32_t>(random() % 60);
        const bool lower = random() % 2 == 0;
        std::vector<SiteHit> hits;
        RedundancyIndex index;
        // Half the trials size the index up front (part way through, so the
        // table is rehashed with entries in it); answers must not change.
        const bool reserved = trial % 2 == 1;
        for (int step = 0; step < 400; ++step) {
            if (reserved && step == 100) {
                index.reserve(1000);
            }
            const SiteHit hit = hitAt(random() % 2 == 0, static_cast<int32_t>(random() % span) - 3,
                                      static_cast<double>(random() % 7), length);
            const size_t expected = findPartnerByWalk(hits, hit);
            ASSERT_EQ(index.findPartner(hit.strand, hit.position, hit.siteLength), expected)
                << "trial " << trial << " step " << step;
            const size_t sizeBefore = hits.size();
            const double partnerScore = expected == kNoPartner ? 0.0 : hits[expected].score;
            const int32_t partnerPosition = expected == kNoPartner ? 0 : hits[expected].position;
            const RedundancyOutcome outcome = resolveRedundant(hits, index, hit, lower);
            if (expected == kNoPartner) {
                ASSERT_EQ(outcome, RedundancyOutcome::Appended);
                ASSERT_EQ(hits.size(), sizeBefore + 1);
            } else {
                const bool better = lower ? hit.score < partnerScore : hit.score > partnerScore;
                ASSERT_EQ(outcome,
                          better ? RedundancyOutcome::Replaced : RedundancyOutcome::Dropped);
                ASSERT_EQ(hits.size(), sizeBefore);
                ASSERT_EQ(hits[expected].position, better ? hit.position : partnerPosition);
            }
        }
        // A rebuilt index answers like the maintained one.
        const RedundancyIndex rebuilt(hits);
        for (int32_t position = -10; position < span + 10; ++position) {
            for (const bool strand : {true, false}) {
                ASSERT_EQ(rebuilt.findPartner(strand, position, length),
                          index.findPartner(strand, position, length));
            }
        }
    }
}

}  // namespace
}  // namespace xoprex
