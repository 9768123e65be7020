// What a threshold means before a search runs: the cut-off score it gives
// for a site collection, the p-value of that score (how often a window of
// random sequence drawn from the background scores at least as well) and
// the windows of random sequence expected to pass per megabase of both
// strands. The command line prints the run's own figures at its end; the
// desktop program calls this as the user changes the threshold.
#pragma once

#include <string>

#include "motif/site_collection.h"
#include "options/options.h"
#include "seqio/sequence.h"

namespace xoprex {

// The p-values shown are within this relative error of the exact ones.
inline constexpr double kGuidanceError = 0.01;

struct ThresholdGuidance {
    double cutOff = 0.0;
    double pValue = 0.0;               // within kGuidanceError
    double expectedPerMegabase = 0.0;  // 2,000,000 windows times the p-value
};

// For a loaded collection (its model built against `background`), the
// options' method, threshold and literal switch, and the background's base
// probabilities. Integrative relaxation is not applied.
ThresholdGuidance thresholdGuidance(SiteCollection& collection, const Options& options,
                                    const SequenceRecord& background);

// The p-value of a cut-off (that of the least extreme score that passes it)
// within kGuidanceError, for a collection whose model is built against
// `background`.
double cutOffPValue(const SiteCollection& collection, const SequenceRecord& background,
                    double cutOff, int method);

// The same from the collection's file, against the uniform background (or
// `background` when given). Raises InputError for a collection that cannot
// be loaded.
ThresholdGuidance thresholdGuidance(const std::string& collectionPath, const Options& options,
                                    const SequenceRecord* background = nullptr);

}  // namespace xoprex
