// What the results window's pictures show, computed without widgets: the
// sequence logo of the motif model, the histogram of the collection's
// self-scores with its fitted normal curve, and the target's records with
// their genes, read again for the genome map.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/records.h"
#include "motif/site_collection.h"
#include "options/options.h"
#include "seqio/sequence.h"

namespace xoprex::ui {

// ---- sequence logo

struct LogoLetter {
    char base = 'A';
    double height = 0.0;  // bits
};

// One position of the logo: its information content in bits and the four
// letters, each as tall as its frequency times that content, lowest first
// (the most frequent letter is drawn on top).
struct LogoColumn {
    double information = 0.0;
    std::array<LogoLetter, 4> letters{};
};

// The information content of a position of `sites` sites: 2 - H bits (H the
// Shannon entropy of the frequencies), less the expected entropy shortfall
// of so small a sample, 3 / (2 ln 2 n), and never below 0.
double positionInformation(const std::array<double, 4>& frequencies, double sites);

// The logo of the model, read on the forward strand or, with `reverse`, on
// the reverse strand (positions from the last, bases complemented).
std::vector<LogoColumn> logoColumns(const MotifModel& model, bool reverse);

// ---- self-scores

struct ScoreHistogram {
    double low = 0.0;    // left edge of the first bin
    double width = 1.0;  // of every bin
    std::vector<int> counts;
    double mean = 0.0;
    double deviation = 0.0;  // population standard deviation
};

// `bins` equal bins spanning the scores (and `alsoCover`, when given, so
// the cut-off line lands on the axis), with the scores' mean and population
// standard deviation.
ScoreHistogram scoreHistogram(const std::vector<double>& scores, int bins,
                              const std::vector<double>& alsoCover = {});

// The normal density of mean and deviation at x (0 for a zero deviation).
double normalDensity(double x, double mean, double deviation);

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
