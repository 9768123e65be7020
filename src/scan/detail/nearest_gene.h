// The nearest-gene walk of the site annotation (annotation.h), literal and
// indexed.
//
// The walk (nearestGeneByWalk) visits the genes in table order with the
// best raw distance D (initially the text length) and the best gene
// (initially the first): a gene whose start is not above the best gene's
// start (unsigned) always takes over; one above it only when strictly
// closer; the walk stops before a gene once the last distance is farther
// than D. It costs up to one step per gene for every hit.
//
// NearestGeneIndex returns the same gene and distance faster. While every
// start seen so far is non-negative and at most the hit's position p, the
// walk takes every gene: a gene whose start is not above the best one's is
// taken unconditionally, and one above it lies between the best start and
// p, so strictly closer. (Each taken gene leaves the last distance equal to
// D, so the walk never stops there.) The index keeps the running maximum of
// the starts over the leading non-negative ones; a binary search finds the
// longest such prefix with maximum <= p, the walk resumes after it with the
// prefix's last gene as best, and goes on step by step as before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/records.h"

namespace xoprex::scan_detail {

// Raw distance of a position from a gene's start, in the gene's direction:
// start - position for a direct-strand gene, position - start for a
// complementary one, so a positive distance lies upstream.
inline int64_t geneDistance(const GeneRecord& gene, int64_t position) {
    const int64_t start = gene.begin;
    return gene.sense ? start - position : position - start;
}

// Index of the nearest gene of a non-empty table; `best` receives its raw
// distance (start - position for a direct gene, position - start otherwise).
size_t nearestGeneByWalk(const std::vector<GeneRecord>& genes, int64_t position, int64_t textLength,
                         int64_t& best);

class NearestGeneIndex {
  public:
    // `genes` must stay unchanged while the index is used.
    explicit NearestGeneIndex(const std::vector<GeneRecord>& genes);
    // The same result as nearestGeneByWalk on the table.
    size_t find(int64_t position, int64_t textLength, int64_t& best) const;

  private:
    const std::vector<GeneRecord>& genes_;
    std::vector<int64_t> prefixMax_;  // max start of genes 0..k, while all are >= 0
};

}  // namespace xoprex::scan_detail
