// Site annotation: each hit of a GenBank record is related to the nearest
// gene start of the record's gene table (detail/nearest_gene.h) and classed
// as operator, intragenic or intergenic, with its distance to that start.
#pragma once

#include "base/records.h"
#include "options/options.h"
#include "seqio/sequence.h"

namespace xoprex {

// Classes the record's hits against its genes (GenBank), or sets the
// "Unavailable" placeholders (FASTA records, GenBank records without genes).
void annotateHits(const SequenceRecord& record, RecordHits& out, const Options& options);

}  // namespace xoprex
