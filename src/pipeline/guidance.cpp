#include "pipeline/guidance.h"

#include <cmath>
#include <limits>

#include "motif/cutoff.h"
#include "motif/score_distribution.h"
#include "motif/scoring.h"

namespace xoprex {

double cutOffPValue(const SiteCollection& collection, const SequenceRecord& background,
                    double cutOff, int method) {
    // A figure to show needs neither the finer levels of the tail nor the
    // exact distribution of a model whose sums tie often (a few milliseconds
    // instead of up to a quarter of a second).
    const ScoreDistribution distribution(windowNullModel(method, collection, background),
                                         roughFigureTuning());
    // The windows that pass score strictly beyond the cut-off; the p-value
    // of the cut-off is that of the least extreme score that passes.
    const double towards = lowerIsBetter(method) ? -std::numeric_limits<double>::infinity()
                                                 : std::numeric_limits<double>::infinity();
    return distribution.roughPValue(std::nextafter(cutOff, towards), kGuidanceError);
}

ThresholdGuidance thresholdGuidance(SiteCollection& collection, const Options& options,
                                    const SequenceRecord& background) {
    Options scored = options;
    scoreCollectionAndFixCutOff(collection, scored, background);
    ThresholdGuidance guidance;
    guidance.cutOff = scored.cutOff;
    guidance.pValue = cutOffPValue(collection, background, scored.cutOff, options.method);
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
