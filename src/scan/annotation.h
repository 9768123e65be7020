// Site annotation: each hit of a GenBank record is related to the nearest
// gene start of the record's gene table (detail/nearest_gene.h) and classed
// as operator, intragenic or intergenic, with its distance to that start.
#pragma once

#include <cstdint>

#include "base/records.h"
#include "options/options.h"
#include "seqio/sequence.h"

namespace xoprex {

// The raw distance of a window's position (the scan's: a forward window's
// 0-based start, N - i for window i of the reverse strand of N characters)
// from a gene's start, in the gene's direction: positive upstream.
int64_t distanceFromGeneStart(const GeneRecord& gene, int64_t position);

// Whether a site at that raw distance is an operator of the gene by
// distance: -inGeneDistance < distance < promoterDistance (options 5, 6).
bool withinOperatorReach(int64_t distance, const Options& options);

// Classes the record's hits against its genes (GenBank, or FASTA records
// given genes of an annotation file), or sets the "Unavailable"
// placeholders (records without genes).
void annotateHits(const SequenceRecord& record, RecordHits& out, const Options& options);

}  // namespace xoprex
