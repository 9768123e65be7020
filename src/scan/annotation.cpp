// Site annotation. Raw distances follow the gene's direction (geneDistance);
// a hit's stored distance is -d.
#include "scan/annotation.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "scan/detail/nearest_gene.h"

namespace xoprex {

using scan_detail::geneDistance;
using scan_detail::NearestGeneIndex;
namespace {

uint32_t unsignedOf(int32_t value) {
    return static_cast<uint32_t>(value);
}

// The genes that hits are related to, as hits show them: made once per gene
// and shared by its hits.
class HitGenes {
  public:
    explicit HitGenes(const std::vector<GeneRecord>& genes) : genes_(genes), made_(genes.size()) {}
    void copyInto(size_t g, SiteHit& hit) {
        Made& made = made_[g];
        if (!made.made) {
            const GeneRecord& gene = genes_[g];
            made.gene = HitGene({gene.locus, gene.gene, gene.product, unsignedOf(gene.begin),
                                 unsignedOf(gene.end), gene.sense});
            made.made = true;
        }
        hit.gene = made.gene;
    }

  private:
    struct Made {
        HitGene gene;
        bool made = false;
    };
    const std::vector<GeneRecord>& genes_;
    std::vector<Made> made_;
};

// What hits of records without a gene table show.
const HitGene& unavailableGene() {
    static const HitGene gene({"Unavailable", "Unavailable", "Unavailable", 0, 0, false});
    return gene;
}

// Closest start among the genes that strictly enclose the position, looking
// at most at three genes from the one before `nearest`.
bool enclosingGene(const std::vector<GeneRecord>& genes, size_t nearest, int64_t position,
                   int64_t textLength, size_t& found, int64_t& distance) {
    distance = textLength;
    bool any = false;
    const size_t first = nearest > 0 ? nearest - 1 : 0;
    const uint32_t at = unsignedOf(position);
    for (size_t g = first; g < genes.size() && g < first + 3; ++g) {
        const GeneRecord& gene = genes[g];
        const uint32_t start = unsignedOf(gene.begin);
        const uint32_t end = unsignedOf(gene.end);
        const bool inside = gene.sense ? (start < at && at < end) : (end < at && at < start);
        if (!inside) {
            continue;
        }
        const int64_t d = geneDistance(gene, position);
        if (std::llabs(d) < std::llabs(distance)) {
            distance = d;
            found = g;
            any = true;
        }
    }
    return any;
}

void annotateHit(SiteHit& hit, const std::vector<GeneRecord>& genes, const NearestGeneIndex& index,
                 HitGenes& texts, int64_t textLength, const Options& options) {
    int64_t best = 0;
    const size_t nearest = index.find(hit.position, textLength, best);
    texts.copyInto(nearest, hit);
    hit.distance = static_cast<int32_t>(-best);
    hit.siteClass = SiteClass::Intergenic;
    if (withinOperatorReach(best, options)) {
        hit.siteClass = SiteClass::Operator;
        return;
    }
    size_t enclosing = 0;
    int64_t distance = 0;
    if (enclosingGene(genes, nearest, hit.position, textLength, enclosing, distance)) {
        texts.copyInto(enclosing, hit);
        hit.distance = static_cast<int32_t>(-distance);
        hit.siteClass = SiteClass::Intragenic;
    }
}

}  // namespace

int64_t distanceFromGeneStart(const GeneRecord& gene, int64_t position) {
    return geneDistance(gene, position);
}

bool withinOperatorReach(int64_t distance, const Options& options) {
    return distance < options.promoterDistance &&
           distance > -static_cast<int64_t>(options.inGeneDistance);
}

void annotateHits(const SequenceRecord& record, RecordHits& out, const Options& options) {
    // Records without a gene table (FASTA without an annotation, GenBank
    // without CDS features) get placeholders; type and distance keep their
    // initial values.
    if (record.genes.empty()) {
        for (SiteHit& hit : out.hits) {
            hit.gene = unavailableGene();
        }
        return;
    }
    const int64_t textLength = static_cast<int64_t>(record.sequence.size());
    const NearestGeneIndex index(record.genes);
    HitGenes texts(record.genes);
    for (SiteHit& hit : out.hits) {
        annotateHit(hit, record.genes, index, texts, textLength, options);
    }
}

}  // namespace xoprex
