// The distributions of the window scores of one collection's search, one per
// background (the records of a many-record target share the uniform one),
// for the p-values of its hits and of its cut-off. Each is built around a
// focus score (the hits' scores lie beyond it; ScoreDistributionTuning): the
// cut-off, or a score just short of a p-value cut-off. Nothing here fails
// but what ScoreDistribution raises (a model it cannot take) and memory.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "base/records.h"
#include "base/tasks.h"
#include "motif/score_distribution.h"
#include "motif/site_collection.h"
#include "seqio/sequence.h"

namespace xoprex {

// Searches of a run up to which each builds its distribution on a second
// thread while the records are scanned.
inline constexpr std::size_t kPreparedSearches = 2;
// Searches of a run up to which each keeps the distribution its p-value
// cut-off came from until its results are written (a megabyte or two each);
// beyond, each lets it go and builds it again for its p-values.
inline constexpr std::size_t kKeptDistributions = 32;

class Distributions {
  public:
    Distributions(int method, const SiteCollection& collection)
        : method_(method), collection_(collection) {}
    Distributions(const Distributions&) = delete;
    Distributions& operator=(const Distributions&) = delete;

    // Builds the distributions from now on around `score`.
    void focusOn(double score) { focus_ = score; }

    // Builds the distributions from now on around a score just short of a
    // p-value cut-off P: one whose tail is at least 2P by the coarsest level
    // of the distribution (the exact tail from there on, the cut-off among
    // it, then cost far less than the whole tail's finer levels).
    void focusOnPValue(const SequenceRecord& background, double p);

    // Starts building the distribution of `background`'s background around
    // the focus on a second thread, with the tail beyond `cutOff`, so that
    // it is ready when the records are scanned; built here instead when
    // there is no second thread.
    void prepare(const SequenceRecord& background, double cutOff);

    // The distribution of `background`'s background.
    const ScoreDistribution& of(const SequenceRecord& background);
    // Those of every record's background, in order.
    std::vector<const ScoreDistribution*> ofEvery(const std::vector<RecordResults>& results);

    // Lets the distributions go; of() builds them again, with the same focus,
    // hence the same answers.
    void release() { built_.clear(); }

  private:
    ScoreDistributionTuning tuning() const;

    int method_;
    const SiteCollection& collection_;
    std::optional<double> focus_;
    bool hasPrepared_ = false;
    std::array<double, 4> preparedBackground_{};
    std::unique_ptr<ScoreDistribution> prepared_;
    BackgroundThread preparing_;
    std::vector<std::pair<std::array<double, 4>, std::unique_ptr<ScoreDistribution>>> built_;
};

}  // namespace xoprex
