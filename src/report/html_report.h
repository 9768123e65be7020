// The report of a run as one self-contained HTML page: the run's settings
// and command line, then per collection its cut-off and what it means, the
// logo of its model, the histogram of its self-scores with the normal fit,
// a genome map of the records with hits and a sortable table of the top
// hits; last an optional table of ranked operons. Pictures are inline SVG,
// styles inline CSS; the page loads nothing (no links, no scripts from
// elsewhere) and holds a few lines of script that sort the tables.
// Takes a plain RunReport (the pipeline fills it: pipeline/run_report.h);
// fails only as its sink does (OutputError).
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "base/output_file.h"
#include "base/records.h"
#include "motif/site_collection.h"

namespace xoprex {

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// A hit as the report shows it: 1-based inclusive forward-strand
// coordinates (end beyond the record's length for a site across its
// origin), its strand, score, p- and q-value (NaN when not computed) and
// the site as read on its strand.
struct ReportHit {
    std::string record;
    int64_t start = 0;
    int64_t end = 0;
    bool forward = true;
    double score = 0.0;
    double pValue = kNoValue;
    double qValue = kNoValue;
    std::string site;
};

// A record with hits: its name, length, genes (GenBank) and hits.
struct ReportRecord {
    std::string name;
    int64_t length = 0;
    std::vector<GeneRecord> genes;
    std::vector<ReportHit> hits;
};

struct ReportCollection {
    std::string title;
    std::string motifId;
    std::string motifAltId;
    std::string method;  // the score's label
    MotifModel model;
    std::vector<double> selfScores;  // empty for a count matrix
    double fitMean = 0.0;            // the normal fit of the self-scores
    double fitDeviation = 0.0;
    double cutOff = 0.0;
    double cutOffPValue = kNoValue;
    double windows = 0.0;   // tested, both strands
    double expected = 0.0;  // hits expected by chance: cutOffPValue * windows
    size_t passed = 0;      // windows that passed the cut-off
    size_t found = 0;       // hits, after the both-strand rule
    size_t records = 0;     // records searched
    std::vector<ReportRecord> recordsWithHits;
    // The best hits, by p-value (by score when the run computed no
    // p-values), at most kReportTopHits.
    std::vector<ReportHit> topHits;
    std::vector<std::string> outputs;  // the results files written
};

// A table of plain rows (numbers given as text sort as numbers).
struct ReportTable {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
};

struct RunReport {
    std::string version;
    std::string commandLine;  // empty for a desktop run
    std::string targetPath;
    std::vector<std::pair<std::string, std::string>> settings;  // label, value
    std::vector<ReportCollection> collections;
    ReportTable operons;  // ranked operons; none when empty
};

inline constexpr size_t kReportTopHits = 200;
// Records with hits drawn on a collection's map; the rest are counted.
inline constexpr size_t kReportMapTracks = 40;

void writeHtmlReport(const RunReport& report, TextSink& out);

}  // namespace xoprex
