// The order of a record's hits in the results.
#pragma once

#include "options/options.h"
#include "seqio/sequence.h"

namespace xoprex {

// Sorts by score (best first; NaN scores last) or by unsigned position
// (option 7). Stable, so equal keys keep their list order.
void sortHits(const Options& options, SequenceRecord& record);

}  // namespace xoprex
