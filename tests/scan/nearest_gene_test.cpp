// The indexed nearest-gene search against the literal walk on random gene
// tables: sorted and unsorted, overlapping, complement genes (start above
// end), equal starts, negative and very large coordinates, and hits on and
// around every start and end.
#include "scan/detail/nearest_gene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

namespace xoprex {
namespace {

using namespace scan_detail;

std::vector<GeneRecord> randomGenes(std::mt19937_64& random, int shape) {
    const size_t count = 1 + random() % 60;
    std::vector<GeneRecord> genes(count);
    int32_t cursor = static_cast<int32_t>(random() % 500);
    for (GeneRecord& gene : genes) {
        const int32_t length = 1 + static_cast<int32_t>(random() % 400);
        // Mostly increasing starts with overlaps, repeats and jumps back.
        const int step = static_cast<int>(random() % 10);
        cursor += step == 0   ? 0
                  : step == 1 ? -static_cast<int32_t>(random() % 300)
                              : static_cast<int32_t>(random() % 600);
        gene.sense = random() % 2 == 0;
        gene.begin = gene.sense ? cursor : cursor + length;
        gene.end = gene.sense ? cursor + length : cursor;
        if (shape == 1 && random() % 15 == 0) {
            gene.begin = -static_cast<int32_t>(random() % 1000);  // above every start, unsigned
        }
        if (shape == 2 && random() % 20 == 0) {
            gene.begin = INT32_MAX - static_cast<int32_t>(random() % 3);
        }
    }
    if (shape == 3) {
        std::shuffle(genes.begin(), genes.end(), random);
    }
    if (shape == 4) {
        std::sort(genes.begin(), genes.end(),
                  [](const GeneRecord& a, const GeneRecord& b) { return a.begin < b.begin; });
    }
    return genes;
}

std::vector<int32_t> probePositions(const std::vector<GeneRecord>& genes, std::mt19937_64& random) {
    std::vector<int32_t> positions{0, -1, INT32_MIN, INT32_MAX};
    for (const GeneRecord& gene : genes) {
        for (const int32_t at : {gene.begin, gene.end}) {
            for (int64_t delta = -2; delta <= 2; ++delta) {
                const int64_t p = static_cast<int64_t>(at) + delta;
                if (p >= INT32_MIN && p <= INT32_MAX) {
                    positions.push_back(static_cast<int32_t>(p));
                }
            }
        }
        // Half-way between this start and the others: equal distances.
        for (const GeneRecord& other : genes) {
            positions.push_back(
                static_cast<int32_t>((static_cast<int64_t>(gene.begin) + other.begin) / 2));
        }
    }
    for (int i = 0; i < 50; ++i) {
        positions.push_back(static_cast<int32_t>(random() % 40000) - 1000);
    }
    return positions;
}

TEST(NearestGene, IndexAgreesWithTheLiteralWalk) {
    std::mt19937_64 random(2024);
    size_t compared = 0;
    for (int table = 0; table < 1500; ++table) {
        const std::vector<GeneRecord> genes = randomGenes(random, table % 5);
        const NearestGeneIndex index(genes);
        for (const int32_t position : probePositions(genes, random)) {
            for (const int64_t textLength : {int64_t{0}, int64_t{50}, int64_t{30000}}) {
                int64_t walkBest = 0, indexBest = 0;
                const size_t walk = nearestGeneByWalk(genes, position, textLength, walkBest);
                const size_t found = index.find(position, textLength, indexBest);
                ASSERT_EQ(walk, found) << "table " << table << " position " << position;
                ASSERT_EQ(walkBest, indexBest) << "table " << table << " position " << position;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 1000000u);
}

TEST(NearestGene, WalkRulesOnSmallTables) {
    // Sorted forward genes: the nearest start wins; at equal distance the
    // earlier gene stays.
    std::vector<GeneRecord> genes(3);
    genes[0].begin = 100, genes[1].begin = 200, genes[2].begin = 300;
    for (GeneRecord& gene : genes) {
        gene.sense = true;
    }
    const NearestGeneIndex index(genes);
    int64_t best = 0;
    EXPECT_EQ(index.find(240, 1000, best), 1u);
    EXPECT_EQ(best, -40);
    EXPECT_EQ(index.find(250, 1000, best), 1u);  // 200 and 300 tie
    EXPECT_EQ(best, -50);
    EXPECT_EQ(index.find(290, 1000, best), 2u);
    EXPECT_EQ(best, 10);
    // A later gene with a lower start always takes over, even when farther.
    genes.push_back(GeneRecord{});
    genes[3].begin = 10;
    genes[3].sense = false;
    const NearestGeneIndex withLower(genes);
    EXPECT_EQ(withLower.find(305, 1000, best), 3u);
    EXPECT_EQ(best, 295);
}

}  // namespace
}  // namespace xoprex
