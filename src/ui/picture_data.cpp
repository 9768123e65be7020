#include "ui/picture_data.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "motif/cutoff.h"
#include "options/options_file.h"
#include "scan/integrative.h"

namespace xoprex::ui {

double positionInformation(const std::array<double, 4>& frequencies, double sites) {
    double entropy = 0.0;
    for (const double f : frequencies) {
        if (f > 0.0) {
            entropy -= f * std::log2(f);
        }
    }
    const double shortfall = sites > 0.0 ? 3.0 / (2.0 * std::numbers::ln2 * sites) : 0.0;
    return std::max(0.0, 2.0 - entropy - shortfall);
}

std::vector<LogoColumn> logoColumns(const MotifModel& model, bool reverse) {
    static constexpr char kBases[4] = {'A', 'C', 'G', 'T'};
    const std::size_t length = model.positions.size();
    std::vector<LogoColumn> columns(length);
    for (std::size_t l = 0; l < length; ++l) {
        const PositionRecord& position = model.positions[reverse ? length - 1 - l : l];
        std::array<double, 4> frequencies = position.frequencies;
        if (reverse) {
            std::reverse(frequencies.begin(), frequencies.end());  // A<->T, C<->G
        }
        const auto& n = position.counts;
        LogoColumn& column = columns[l];
        column.information = positionInformation(frequencies, n[0] + n[1] + n[2] + n[3]);
        for (int b = 0; b < 4; ++b) {
            column.letters[static_cast<std::size_t>(b)] = {kBases[b],
                                                           frequencies[b] * column.information};
        }
        std::stable_sort(
            column.letters.begin(), column.letters.end(),
            [](const LogoLetter& a, const LogoLetter& b) { return a.height < b.height; });
    }
    return columns;
}

ScoreHistogram scoreHistogram(const std::vector<double>& scores, int bins,
                              const std::vector<double>& alsoCover) {
    ScoreHistogram histogram;
    histogram.counts.assign(static_cast<std::size_t>(std::max(1, bins)), 0);
    if (scores.empty()) {
        return histogram;
    }
    double sum = 0.0;
    for (const double score : scores) {
        sum += score;
    }
    histogram.mean = sum / static_cast<double>(scores.size());
    double squares = 0.0;
    for (const double score : scores) {
        squares += (score - histogram.mean) * (score - histogram.mean);
    }
    histogram.deviation = std::sqrt(squares / static_cast<double>(scores.size()));

    double low = *std::min_element(scores.begin(), scores.end());
    double high = *std::max_element(scores.begin(), scores.end());
    for (const double value : alsoCover) {
        if (std::isfinite(value)) {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
    if (!(high > low)) {
        low -= 0.5;
        high += 0.5;
    }
    const auto count = static_cast<double>(histogram.counts.size());
    histogram.low = low;
    histogram.width = (high - low) / count;
    for (const double score : scores) {
        const auto bin = static_cast<std::size_t>(
            std::clamp(std::floor((score - low) / histogram.width), 0.0, count - 1.0));
        ++histogram.counts[bin];
    }
    return histogram;
}

double normalDensity(double x, double mean, double deviation) {
    if (!(deviation > 0.0)) {
        return 0.0;
    }
    const double z = (x - mean) / deviation;
    return std::exp(-0.5 * z * z) / (deviation * std::sqrt(2.0 * std::numbers::pi));
}

RunPictures loadRunPictures(const std::string& sequencePath, const std::string& collectionPath,
                            const std::string& optionsPath) {
    RunPictures pictures;
    if (!readOptionValuesFile(pictures.options, optionsPath).complete()) {
        applyBuiltInDefaults(pictures.options);
    }
    SequenceSet set = readSequences(sequencePath);
    // As the search: the genome's composition only for a target of one record.
    if (pictures.options.backgroundFromGenome && set.records.size() < 2) {
        computeBackgroundComposition(set.records.front());
    }
    const SequenceRecord& background = set.records.front();
    pictures.collection = loadCollection(collectionPath, background);
    scoreCollectionAndFixCutOff(pictures.collection, pictures.options, background);
    if (pictures.options.integrative) {
        relaxCutOff(pictures.options);
    }
    for (const SiteHit& site : pictures.collection.sites) {
        pictures.selfScores.push_back(site.score);
    }
    pictures.background.backgroundFrequencies = background.backgroundFrequencies;
    pictures.background.backgroundEntropy = background.backgroundEntropy;
    pictures.records.reserve(set.records.size());
    for (SequenceRecord& record : set.records) {
        pictures.records.push_back({record.format, record.name,
                                    static_cast<int64_t>(record.sequence.size()),
                                    std::move(record.genes)});
        std::string().swap(record.sequence);
    }
    return pictures;
}

}  // namespace xoprex::ui
