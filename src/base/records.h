// Plain value records that travel between the stages of a search: one scored
// window or site (SiteHit) and one CDS feature of a GenBank record (GeneRecord).
#pragma once

#include <cstdint>
#include <string>

#include "base/shared_text.h"

namespace xoprex {

// The class a hit has until it is annotated.
inline const SharedText& unknownSiteType() {
    static const SharedText type = SharedText::lasting("Unknown");
    return type;
}

struct SiteHit {
    SiteHit() = default;
    explicit SiteHit(int32_t length) : siteLength(length) {}

    // Restores every field to its creation value except siteLength.
    void reset() { *this = SiteHit(siteLength); }

    std::string site;  // window text as read on the scanned strand
    double score = 0.0;
    double upMean = 0.0;
    double downMean = 0.0;
    double localMean = 0.0;
    int32_t position = 0;    // strand-dependent position (forward: 0-based start)
    int32_t siteLength = 0;  // motif length L, fixed at creation
    int32_t distance = 0;
    uint32_t geneStart = 0;
    uint32_t geneEnd = 0;
    bool strand = false;  // true: sequence as read; false: reverse complement
    bool geneStrand = false;
    // Operator, Intragenic, Intergenic or Unknown. The class and gene texts
    // are shared with the other hits that repeat them (SharedText).
    SharedText type = unknownSiteType();
    SharedText geneTag;
    SharedText geneName;
    SharedText product;
};

struct GeneRecord {
    void reset() { *this = GeneRecord(); }

    int32_t begin = 0;  // start in reading direction (larger coordinate on complement)
    int32_t end = 0;
    bool sense = false;  // true: direct strand
    std::string locus;
    std::string gene;
    std::string product;
};

}  // namespace xoprex
