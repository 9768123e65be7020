#include "pipeline/guidance.h"

#include <cmath>
#include <limits>

#include "motif/cutoff.h"
#include "motif/score_distribution.h"
#include "motif/scoring.h"

namespace xoprex {

ThresholdGuidance thresholdGuidance(SiteCollection& collection, const Options& options,
                                    const SequenceRecord& background) {
    Options scored = options;
    scoreCollectionAndFixCutOff(collection, scored, background);
    const ScoreDistribution distribution(windowNullModel(options.method, collection, background));
    ThresholdGuidance guidance;
    guidance.cutOff = scored.cutOff;
    // The windows that pass score strictly beyond the cut-off; the p-value
    // of the cut-off is that of the least extreme score that passes.
    const bool lower = lowerIsBetter(options.method);
    guidance.pValue = distribution.tail(
        std::nextafter(scored.cutOff, lower ? -std::numeric_limits<double>::infinity()
                                            : std::numeric_limits<double>::infinity()));
    guidance.expectedPerMegabase = guidance.pValue * 2e6;
    return guidance;
}

ThresholdGuidance thresholdGuidance(const std::string& collectionPath, const Options& options,
                                    const SequenceRecord* background) {
    const SequenceRecord uniform;
    const SequenceRecord& from = background != nullptr ? *background : uniform;
    SiteCollection collection = loadCollection(collectionPath, from);
    return thresholdGuidance(collection, options, from);
}

}  // namespace xoprex
