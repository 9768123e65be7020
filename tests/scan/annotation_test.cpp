#include "scan/annotation.h"

#include <gtest/gtest.h>

#include "scan/scan.h"
#include "scan_test_support.h"

namespace xoprex {
namespace {

using namespace scan_detail;

GeneRecord gene(int32_t begin, int32_t end, bool sense, const std::string& tag) {
    GeneRecord g;
    g.begin = begin;
    g.end = end;
    g.sense = sense;
    g.locus = tag;
    g.gene = tag + "_name";
    g.product = tag + " product";
    return g;
}

// Annotates one hit at `position` against `genes` (P = 200, G = 50).
SiteHit annotate(const std::vector<GeneRecord>& genes, int32_t position) {
    SequenceRecord record = testing::makeRecord(std::string(10000, 'A'), 'G');
    record.genes = genes;
    SiteHit hit(6);
    hit.position = position;
    RecordHits found;
    found.hits = {hit};
    Options options;
    options.promoterDistance = 200;
    options.inGeneDistance = 50;
    annotateHits(record, found, options);
    return found.hits[0];
}

TEST(Annotation, OperatorWindowBoundaries) {
    const std::vector<GeneRecord> forward{gene(1000, 1500, true, "fw")};
    SiteHit hit = annotate(forward, 801);  // d = 199
    EXPECT_EQ(hit.type(), "Operator");
    EXPECT_EQ(hit.distance, -199);
    EXPECT_EQ(hit.geneTag(), "fw");
    EXPECT_EQ(hit.geneName(), "fw_name");
    EXPECT_EQ(hit.product(), "fw product");
    EXPECT_EQ(hit.geneStart(), 1000u);
    EXPECT_EQ(hit.geneEnd(), 1500u);
    EXPECT_TRUE(hit.geneStrand());
    hit = annotate(forward, 800);  // d = 200
    EXPECT_EQ(hit.type(), "Intergenic");
    EXPECT_EQ(hit.distance, -200);
    hit = annotate(forward, 1049);  // d = -49
    EXPECT_EQ(hit.type(), "Operator");
    EXPECT_EQ(hit.distance, 49);
    hit = annotate(forward, 1050);  // d = -50: inside the gene
    EXPECT_EQ(hit.type(), "Intragenic");
    EXPECT_EQ(hit.distance, 50);

    const std::vector<GeneRecord> complement{gene(3000, 2000, false, "cp")};
    hit = annotate(complement, 3199);  // upstream of a complementary gene
    EXPECT_EQ(hit.type(), "Operator");
    EXPECT_EQ(hit.distance, -199);
    EXPECT_FALSE(hit.geneStrand());
    hit = annotate(complement, 2900);
    EXPECT_EQ(hit.type(), "Intragenic");
    EXPECT_EQ(hit.distance, 100);
}

TEST(Annotation, IntragenicInTheGeneBeforeTheNearest) {
    const std::vector<GeneRecord> genes{gene(100, 3000, true, "long"),
                                        gene(2000, 2500, true, "next")};
    const SiteHit hit = annotate(genes, 1500);  // nearest start: 2000 (d = 500)
    EXPECT_EQ(hit.type(), "Intragenic");
    EXPECT_EQ(hit.geneTag(), "long");
    EXPECT_EQ(hit.distance, 1400);
    EXPECT_EQ(hit.geneStart(), 100u);
}

TEST(Annotation, StartAndEndCoordinatesAreNotInsideTheGene) {
    const std::vector<GeneRecord> forward{gene(100, 1500, true, "a"), gene(2000, 2500, true, "b")};
    SiteHit hit = annotate(forward, 1500);
    EXPECT_EQ(hit.type(), "Intergenic");
    EXPECT_EQ(hit.geneTag(), "b");
    EXPECT_EQ(hit.distance, -500);
    hit = annotate(forward, 1499);
    EXPECT_EQ(hit.type(), "Intragenic");
    EXPECT_EQ(hit.distance, 1399);

    const std::vector<GeneRecord> reverse{gene(1500, 100, false, "c"), gene(2000, 2500, true, "d")};
    hit = annotate(reverse, 100);
    EXPECT_EQ(hit.type(), "Intergenic");
    EXPECT_EQ(hit.geneTag(), "c");
    EXPECT_EQ(hit.distance, 1400);
    hit = annotate(reverse, 101);
    EXPECT_EQ(hit.type(), "Intragenic");
    EXPECT_EQ(hit.distance, 1399);
}

TEST(Annotation, NearestGeneWalk) {
    // The walk stops once a gene lies further than the best: the close start
    // of the third gene is never reached.
    SiteHit hit = annotate(
        {gene(100, 140, true, "a"), gene(5000, 6000, true, "b"), gene(160, 400, true, "c")}, 150);
    EXPECT_EQ(hit.geneTag(), "a");
    EXPECT_EQ(hit.type(), "Intergenic");
    EXPECT_EQ(hit.distance, 50);
    // A later gene at the same distance does not replace the best.
    hit = annotate({gene(100, 150, true, "a"), gene(300, 400, true, "b")}, 200);
    EXPECT_EQ(hit.geneTag(), "a");
    EXPECT_EQ(hit.distance, 100);
    // A gene whose start is not above the best gene's start always takes over.
    hit = annotate({gene(500, 900, true, "a"), gene(0, 0, true, "zero")}, 480);
    EXPECT_EQ(hit.geneTag(), "zero");
    EXPECT_EQ(hit.distance, 480);
    // Genes past a closer one keep the closer one.
    hit = annotate(
        {gene(100, 200, true, "a"), gene(700, 800, true, "b"), gene(1200, 1300, true, "c")}, 650);
    EXPECT_EQ(hit.geneTag(), "b");
    EXPECT_EQ(hit.type(), "Operator");
    EXPECT_EQ(hit.distance, -50);
}

TEST(Annotation, RecordsWithoutGenesGetPlaceholders) {
    for (const char format : {'F', 'G'}) {
        SequenceRecord record = testing::makeRecord("ACGTACGT", format);
        SiteHit hit(4);
        hit.position = 3;
        RecordHits found;
        found.hits = {hit, hit};
        annotateHits(record, found, Options{});
        for (const SiteHit& h : found.hits) {
            EXPECT_EQ(h.type(), "Unknown");
            EXPECT_EQ(h.distance, 0);
            EXPECT_EQ(h.geneTag(), "Unavailable");
            EXPECT_EQ(h.geneName(), "Unavailable");
            EXPECT_EQ(h.product(), "Unavailable");
            EXPECT_EQ(h.geneStart(), 0u);
            EXPECT_EQ(h.geneEnd(), 0u);
            EXPECT_FALSE(h.geneStrand());
        }
    }
}

}  // namespace
}  // namespace xoprex
