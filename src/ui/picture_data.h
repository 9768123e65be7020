// What the results window's pictures are drawn from, read again from the
// run's inputs: the options, the collection scored against the run's
// background (for the logo and the self-scores) and the target's records
// with their genes (for the genome map). The pictures themselves are
// described by report/pictures.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/records.h"
#include "motif/site_collection.h"
#include "options/options.h"
#include "report/pictures.h"
#include "seqio/sequence.h"

namespace xoprex::ui {

// ---- genome map

struct RecordLayout {
    char format = 'F';  // 'F' FASTA, 'G' GenBank
    std::string name;
    int64_t length = 0;
    std::vector<GeneRecord> genes;
};

// What the pictures need from the run's inputs: the options the run read,
// the collection scored against the run's background (every site's score
// set, options.cutOff the run's), and the target's records without their
// sequences.
struct RunPictures {
    Options options;
    SiteCollection collection;
    std::vector<double> selfScores;
    std::vector<RecordLayout> records;
    // The background the collection was scored against (no sequence).
    SequenceRecord background;
};

// Reads the inputs as the search read them (InputError when one cannot be
// read). An options file that cannot be read gives the built-in defaults,
// as for the desktop search.
RunPictures loadRunPictures(const std::string& sequencePath, const std::string& collectionPath,
                            const std::string& optionsPath);

}  // namespace xoprex::ui
