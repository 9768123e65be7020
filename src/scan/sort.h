// The order of a record's hits in the results.
#pragma once

#include "base/records.h"
#include "options/options.h"

namespace xoprex {

// Sorts by score (best first; NaN scores last) or by unsigned position
// (option 7), the window scores with their hits. Stable, so equal keys keep
// their list order.
void sortHits(const Options& options, RecordHits& out);

}  // namespace xoprex
