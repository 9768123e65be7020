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
#include <functional>
#include <map>
#include <memory>
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

// One collection's rows in the formats other programs read (TSV, BED,
// GFF3), made as the records pass so that nothing of a record is kept once
// its rows are made: the text goes to a spool per format (in memory up to
// `spoolMemory` bytes, in a temporary file beyond), and each hit's p-value
// and q-value to a place filled in when the rows are written out, from the
// window scores kept for them (8 bytes a hit, and a score for each window
// the both-strand rule dropped, which the q-values rank too). Once more than
// `maxStoredTests` such scores would be kept, no more are: the rows made from
// then on carry their p-value at once and every row of the collection leaves
// its q-value empty. A temporary file that cannot be written raises
// OutputError.
class ResultRows {
  public:
    ResultRows(const std::vector<ResultFormat>& formats, ResultContext context,
               const Options& options, size_t maxStoredTests, size_t spoolMemory = 32u << 20);
    ~ResultRows();
    ResultRows(const ResultRows&) = delete;
    ResultRows& operator=(const ResultRows&) = delete;

    // Makes the rows of a record's hits. `pValueNow` gives a window score's
    // p-value, asked only beyond the limit (empty: no p-values to write).
    void add(const RecordInfo& record, const RecordHits& hits,
             const std::function<double(double)>& pValueNow);

    // Whether the limit was passed (the q-values stay empty).
    bool overflowed() const { return overflowed_; }
    // The p-values of the hits kept (in order) and of the windows the
    // both-strand rule dropped, with the windows tested: what q-values are
    // computed from.
    PValues pValues(const std::function<double(double)>& pValue) const;
    // Lets the kept scores go (once their p-values are taken).
    void release();

    const ResultContext& context() const { return context_; }
    const Options& options() const { return options_; }

  private:
    friend void writeTable(ResultFormat, const std::vector<ResultRows*>&,
                           const std::vector<Significance>&, TextSink&);
    class Spool;
    struct CircularRecord {
        CircularRecord(size_t n, std::string s, uint64_t l)
            : number(n), name(std::move(s)), length(l) {}
        size_t number;
        std::string name;
        uint64_t length;
    };
    static void fillNow(std::string& text, size_t from, const std::string& pText);

    ResultContext context_;
    Options options_;
    size_t maxStoredTests_;
    std::map<ResultFormat, std::unique_ptr<Spool>> spools_;
    std::unique_ptr<Spool> regions_;  // GFF3's sequence regions, one a record
    std::vector<CircularRecord> circular_;
    std::vector<double> hitScores_;
    std::vector<double> droppedScores_;
    double windows_ = 0.0;
    bool overflowed_ = false;
};

// Writes the rows of several collections as one table in `format`: one
// header (for TSV the comment lines of every collection, for GFF3 the
// records' regions once), then each collection's rows in turn, with the
// p-values and q-values of `significance` (one entry per collection, in its
// hits' order; empty or missing: none, or only those written at once) in
// their places. GFF3 features are numbered through the whole table.
void writeTable(ResultFormat format, const std::vector<ResultRows*>& sets,
                const std::vector<Significance>& significance, TextSink& out);

// The whole table of one collection's kept results in `format` (not Csv),
// with context.significance.
void writeResults(ResultFormat format, const ResultContext& context, const Options& options,
                  const std::vector<RecordResults>& results, TextSink& out);

}  // namespace xoprex
