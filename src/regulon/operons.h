// Operons: the genes of a record grouped as they are likely transcribed
// together. Genes are taken in the order of their left ends (the lower
// coordinate; then the right end, then the table's order); a gene joins the
// operon before it when both lie on the same strand and the bases between
// the operon's right end so far and the gene's left end are at most
// `maxGap` (overlapping genes, a negative gap, always join). A gene of the
// other strand in between ends the operon. On a circular record the last
// operon and the first join across the origin when they lie on the same
// strand and the gap between them, counted over the origin, is at most
// `maxGap`. Without grouping every gene is an operon of its own. Nothing
// here fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/records.h"

namespace xoprex {

struct OperonRules {
    int64_t maxGap = 50;
    bool grouped = true;
};

struct Operon {
    bool forward = true;
    // Indices into the gene table, in the direction of transcription: the
    // first is the gene whose start the promoter lies before.
    std::vector<size_t> genes;
};

// The operons of the genes of a record of `length` bases, ordered by their
// leftmost gene (an operon joined across the origin comes last). A gene's
// extent runs from the lower of begin and end to the higher; a gene across
// the origin of a circular record ends beyond `length`.
std::vector<Operon> groupOperons(const std::vector<GeneRecord>& genes, int64_t length,
                                 bool circular, const OperonRules& rules);

}  // namespace xoprex
