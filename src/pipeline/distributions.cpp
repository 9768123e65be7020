#include "pipeline/distributions.h"

#include "motif/scoring.h"

namespace xoprex {

void Distributions::focusOnPValue(const SequenceRecord& background, double p) {
    const ScoreDistribution guess(windowNullModel(method_, collection_, background));
    focus_ = guess.scoreWithTailAtLeast(2 * p);
}

void Distributions::prepare(const SequenceRecord& background, double cutOff) {
    preparedBackground_ = background.backgroundFrequencies;
    // Everything the second thread reads is its own copy.
    auto build = [this, model = windowNullModel(method_, collection_, background),
                  tuning = tuning(), cutOff] {
        prepared_ = std::make_unique<ScoreDistribution>(model, tuning);
        prepared_->tail(cutOff);
    };
    if (!preparing_.start(build)) {
        build();
    }
    hasPrepared_ = true;
}

const ScoreDistribution& Distributions::of(const SequenceRecord& background) {
    if (hasPrepared_) {
        hasPrepared_ = false;
        preparing_.join();
        built_.emplace_back(preparedBackground_, std::move(prepared_));
    }
    for (const auto& [frequencies, distribution] : built_) {
        if (frequencies == background.backgroundFrequencies) {
            return *distribution;
        }
    }
    built_.emplace_back(background.backgroundFrequencies,
                        std::make_unique<ScoreDistribution>(
                            windowNullModel(method_, collection_, background), tuning()));
    return *built_.back().second;
}

std::vector<const ScoreDistribution*> Distributions::ofEvery(
    const std::vector<RecordResults>& results) {
    std::vector<const ScoreDistribution*> all;
    SequenceRecord background;
    for (const RecordResults& result : results) {
        background.backgroundFrequencies = result.record->backgroundFrequencies;
        background.backgroundEntropy = result.record->backgroundEntropy;
        all.push_back(&of(background));
    }
    return all;
}

ScoreDistributionTuning Distributions::tuning() const {
    ScoreDistributionTuning tuning;
    if (focus_) {
        tuning.focus = *focus_;
    }
    return tuning;
}

}  // namespace xoprex
