// Collection self-scoring and the cut-off: every site is scored against the
// model, and the threshold is taken literally or as a share of a normal
// distribution fitted to the self-scores. Never fails: unusable inputs leave
// the cut-off at 0.
#pragma once

#include <string>
#include <vector>

#include "motif/site_collection.h"
#include "options/options.h"
#include "seqio/sequence.h"

namespace xoprex {

// Standard normal quantile z with Phi(z) = p, for 0 < p < 1, to about 1e-13
// relative (Odeh-Evans start, Newton steps on Phi). p = 0 gives -inf, p = 1
// gives +inf, anything else outside [0, 1] (NaN included) gives NaN.
double normalQuantile(double p);

// Derives the cut-off from self-scores given their mean and population
// standard deviation; 0 when a check fails.
double computedCutOff(double mean, double deviation, double threshold, int method);

// The cut-off from the self-scores in collection order: the threshold itself
// when `literal`, otherwise the normal fit (mean, population standard
// deviation) through computedCutOff; 0 for an empty list.
double cutOffFromScores(const std::vector<double>& scores, double threshold, bool literal,
                        int method);

// Scores every site of the collection (each site's score is set) and sets
// options.cutOff from the self-scores.
void scoreCollectionAndFixCutOff(SiteCollection& collection, Options& options,
                                 const SequenceRecord& background);

}  // namespace xoprex
