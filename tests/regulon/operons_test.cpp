// Operons on hand-made gene layouts: strands, gaps, overlaps, nested genes
// and genes across the origin, one case a row.
#include "regulon/operons.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using xoprex::GeneRecord;
using xoprex::groupOperons;
using xoprex::Operon;
using xoprex::OperonRules;

// A gene from its left and right ends and strand.
GeneRecord gene(int32_t left, int32_t right, bool forward) {
    GeneRecord made;
    made.sense = forward;
    made.begin = forward ? left : right;
    made.end = forward ? right : left;
    return made;
}

struct Layout {
    const char* name;
    std::vector<GeneRecord> genes;
    int64_t length;
    bool circular;
    bool grouped;
    // Each operon's genes in transcription order, operons in their order.
    std::vector<std::vector<size_t>> operons;
};

TEST(Operons, GroupHandMadeLayouts) {
    const std::vector<Layout> layouts = {
        {"50 bases apart join",
         {gene(100, 300, true), gene(351, 500, true)},
         10000,
         false,
         true,
         {{0, 1}}},
        {"51 bases apart part",
         {gene(100, 300, true), gene(352, 500, true)},
         10000,
         false,
         true,
         {{0}, {1}}},
        {"overlapping genes join",
         {gene(100, 300, true), gene(290, 500, true)},
         10000,
         false,
         true,
         {{0, 1}}},
        {"a gene of the other strand between parts them",
         {gene(100, 300, true), gene(310, 400, false), gene(410, 600, true)},
         10000,
         false,
         true,
         {{0}, {1}, {2}}},
        {"neighbours on other strands part",
         {gene(100, 300, true), gene(310, 500, false)},
         10000,
         false,
         true,
         {{0}, {1}}},
        {"a complement operon starts at its right end",
         {gene(100, 300, false), gene(320, 500, false), gene(2000, 2300, true)},
         10000,
         false,
         true,
         {{1, 0}, {2}}},
        {"a nested gene and the gap from the operon's right end",
         {gene(100, 1000, true), gene(200, 400, true), gene(1030, 1200, true)},
         10000,
         false,
         true,
         {{0, 1, 2}}},
        {"complement genes ending together keep the table's order",
         {gene(100, 1000, false), gene(200, 1000, false), gene(1020, 1100, false)},
         10000,
         false,
         true,
         {{2, 0, 1}}},
        {"table order does not matter",
         {gene(5000, 5200, true), gene(100, 300, true), gene(320, 400, true)},
         10000,
         false,
         true,
         {{1, 2}, {0}}},
        {"direct genes join across the origin",
         {gene(9800, 9990, true), gene(20, 300, true), gene(5000, 5500, true)},
         10000,
         true,
         true,
         {{2}, {0, 1}}},
        {"not on a linear record",
         {gene(9800, 9990, true), gene(20, 300, true), gene(5000, 5500, true)},
         10000,
         false,
         true,
         {{1}, {2}, {0}}},
        {"complement genes across the origin start after it",
         {gene(9800, 9990, false), gene(20, 300, false), gene(5000, 5500, true)},
         10000,
         true,
         true,
         {{2}, {1, 0}}},
        {"a gene running over the origin joins the first",
         {gene(180, 400, true), gene(9900, 10150, true), gene(5000, 5500, false)},
         10000,
         true,
         true,
         {{2}, {1, 0}}},
        {"the gap across the origin counts",
         {gene(9800, 9900, true), gene(60, 300, true)},
         10000,
         true,
         true,
         {{1}, {0}}},
        {"one operon alone does not join itself", {gene(20, 9990, true)}, 10000, true, true, {{0}}},
        {"without grouping every gene alone",
         {gene(100, 300, true), gene(310, 500, true), gene(9990, 10000, true)},
         10000,
         true,
         false,
         {{0}, {1}, {2}}},
        {"no genes", {}, 10000, true, true, {}},
    };
    for (const Layout& layout : layouts) {
        OperonRules rules;
        rules.maxGap = 50;
        rules.grouped = layout.grouped;
        const std::vector<Operon> operons =
            groupOperons(layout.genes, layout.length, layout.circular, rules);
        std::vector<std::vector<size_t>> found;
        for (const Operon& operon : operons) {
            found.push_back(operon.genes);
            EXPECT_EQ(operon.forward, layout.genes[operon.genes.front()].sense) << layout.name;
        }
        EXPECT_EQ(found, layout.operons) << layout.name;
    }
}

}  // namespace
