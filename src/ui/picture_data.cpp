#include "ui/picture_data.h"

#include "motif/cutoff.h"
#include "options/options_file.h"
#include "scan/integrative.h"

namespace xoprex::ui {

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
