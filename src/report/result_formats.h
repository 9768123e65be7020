// The results in the formats other programs read, beside the results table:
//   TSV   '#' comment lines, one header row, one row per hit in the results
//         table's order, with 1-based inclusive forward-strand coordinates;
//         the motif's ID and alt ID first, the gene's fields empty for
//         records without genes;
//   BED6  0-based half-open coordinates, the motif's ID as the name, a score
//         from 0 (the cut-off) to 1000 (the best possible score); a site
//         across the origin of its record becomes two lines, NAME/1 and
//         NAME/2;
//   GFF3  one TF_binding_site feature per hit; a record with a site across
//         its origin gets a region feature with Is_circular=true, and the
//         site's end lies beyond the record's length.
// A hit's coordinates are those of its site on the forward strand: the site
// as read on its strand is the forward sequence at start..end, reverse-
// complemented on the reverse strand. A site that runs over the origin of
// its (circular) record has end > length. Texts keep their commas; tabs and
// line ends become blanks (GFF3 escapes what its columns require). Numbers
// take the exponent other programs expect (7.42148e-09).
//
// With their significance given, TSV rows and GFF3 features carry each
// hit's p-value (of its own window score, before any re-scoring) and q-value
// (Benjamini-Hochberg over the windows tested on both strands of every
// record, every window that passed the cut-off ranked, the both-strand rule
// aside).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/output_file.h"
#include "base/records.h"
#include "motif/score_distribution.h"
#include "options/options.h"
#include "report/result_schema.h"

namespace xoprex {

// Every hit's p-value and q-value, records in order, hits in list order.
struct Significance {
    std::vector<double> pValues;
    std::vector<double> qValues;
};

// What the formats say about the run besides its hits.
struct ResultContext {
    std::string commandLine;      // the command that ran the search
    std::string targetPath;       // the sequence file
    std::string collectionPath;   // the site collection file
    std::string collectionTitle;  // its title (GFF3 Name)
    // The motif the hits are of: a site list's title and no alt ID; a count
    // matrix's ID and name.
    std::string motifId;
    std::string motifAltId;
    std::optional<double> pValue;  // the p-value the cut-off was taken from
    double bestScore = 0.0;        // the best score a window can have (BED 1000)
    Significance significance;     // empty: no p-values to write
};

// The p-values of a collection's results under each record's distribution
// of window scores: those of the hits (records in order, hits in list order)
// and of the windows the both-strand rule dropped, and the windows tested.
struct PValues {
    std::vector<double> hits;
    std::vector<double> dropped;
    double windows = 0.0;
};
PValues pValuesOf(const std::vector<RecordResults>& results,
                  const std::vector<const ScoreDistribution*>& distributions);

// Benjamini-Hochberg over every window that passed the cut-off in all the
// sets together, M their windows tested summed: q_i = min over ranks k >= i
// (by p-value, ties in order) of p_k * M / k, at most 1. Returns the q-value
// of each set's hits.
std::vector<std::vector<double>> qValuesOf(const std::vector<const PValues*>& sets);

// The p-values and q-values of one collection's hits on their own.
Significance significanceOf(const std::vector<RecordResults>& results,
                            const std::vector<const ScoreDistribution*>& distributions);

// The forward-strand coordinates of a hit of a record: 1-based, inclusive,
// end > record.length for a site across the origin.
struct SiteSpan {
    int64_t start = 0;
    int64_t end = 0;
};
SiteSpan siteSpan(const RecordInfo& record, const SiteHit& hit);

// Writes the whole table of every record's hits in `format` (not Csv).
void writeResults(ResultFormat format, const ResultContext& context, const Options& options,
                  const std::vector<RecordResults>& results, TextSink& out);

}  // namespace xoprex
