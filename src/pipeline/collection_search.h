// One collection's search within a run: its names, model, options and
// cut-off, its distributions, and its results as they grow; and the steps a
// run takes with each (the cut-off, a record's hits, the results written).
// Invalid input raises InputError, an output that cannot be written
// OutputError, as runSearch says.
#pragma once

#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/records.h"
#include "base/run_log.h"
#include "motif/count_matrix.h"
#include "motif/site_collection.h"
#include "pipeline/distributions.h"
#include "pipeline/progress.h"
#include "pipeline/run_search.h"
#include "pipeline/search_outputs.h"
#include "report/html_report.h"
#include "report/reports.h"
#include "report/result_formats.h"
#include "scan/integrative.h"
#include "scan/scan.h"

namespace xoprex {

// Whether the run writes the format to a file of each collection; writes
// p-values (TSV or GFF3 results, files or the one table); and the format of
// the one table written to outTablePath.
bool writesFormat(const SearchInputs& inputs, ResultFormat format);
bool writesPValues(const SearchInputs& inputs);
ResultFormat outTableFormat(const SearchInputs& inputs);

// One collection of the run, from its source (a file of sites, or one
// matrix of a file of matrices, titled by its ID).
struct CollectionSearch {
    CollectionSearch(const CollectionSource& source, const SearchInputs& inputs,
                     const Options& runOptions, std::optional<CountMatrix> countMatrix = {})
        : options(runOptions),
          matrix(std::move(countMatrix)),
          keepsReport(!inputs.reportPath.empty()) {
        const std::string title = matrix ? matrixTitle(matrix->id) : source.title;
        const OutputNaming naming{inputs.outputFolder, inputs.sequenceTitle, title};
        names = {source.path, title, resultsTableName(options, inputs.pValue, naming),
                 naming.reportPrefix()};
    }

    // The motif its rows name: a matrix's ID and name; a site list's title
    // and no alt ID.
    std::string motifId() const { return matrix ? matrix->id : names.title; }
    std::string motifAltId() const { return matrix ? matrix->name : std::string(); }

    NamedCollection names;
    Options options;
    std::optional<CountMatrix> matrix;  // the collection's counts, for a matrix
    bool keepsReport = false;           // the records with hits, for the run's report
    SiteCollection collection;
    std::unique_ptr<IntegrativeWindow> window;
    std::unique_ptr<Distributions> distributions;
    ScanCache cache;
    std::unique_ptr<ResultsTableWriter> table;
    std::unique_ptr<ResultRows> rows;  // the formats besides the results table
    SearchControl::Summary summary;
    // For the run's report: the records with hits as they passed, with
    // their genes (their hits in the order of the rows), and the rows'
    // p-values and q-values.
    // A p-value cut-off's score and tail (none when out of reach), and the
    // p-value of the best window when no window can pass it (NaN otherwise).
    std::optional<ScoreCutOff> pValueCut;
    double bestPValue = std::numeric_limits<double>::quiet_NaN();
    std::vector<ReportRecord> reportRecords;
    size_t recordsSearched = 0;
    Significance significance;
};
using Searches = std::vector<std::unique_ptr<CollectionSearch>>;

// The collections of the run, in order: each file of sites, and each
// matrix of each file of matrices (read here, for their titles; only those
// inputs.motifIds names, when it names any), a matrix whose ID another
// collection has renamed ID.2, ID.3 (with a note). Raises InputError for an
// ID that names no matrix and for a matrix without sites and without a
// cut-off it can take (a literal one or a p-value).
Searches collectionSearches(const SearchInputs& inputs, const Options& options,
                            const SearchControl& control);

// Each collection's cut-off (from its self-scores, or the score of a p-value
// cut-off against `background`, the run's: those of several collections
// found on up to `threads` threads), its motif score log, its integrative
// window and relaxation, its distributions and its rows for the formats
// besides the results table. Raises InputError for the first collection (in
// order) whose p-value cut-off is out of reach.
void fixCutOffs(const Searches& searches, const SearchInputs& inputs,
                const SequenceRecord& background, unsigned threads, const SearchControl& control);

// What the collection's cut-off means: its p-value (summary.pValue), from
// the p-value cut-off or to within 1% (NaN when out of reach). Computed once
// the records are scanned, so that the scan starts without waiting for it.
void summarizeCutOff(CollectionSearch& search, const SequenceRecord& background);

// The hits of one record (the index-th) with the collection, sorted and
// annotated; the k-th of `count` scans of the record for the progress. The
// record's lines go to `log` when it is not null.
RecordHits analyzeRecord(const SequenceRecord& record, size_t index, CollectionSearch& search,
                         LoopProgress& progress, size_t k, size_t count,
                         const SearchControl& control, unsigned threads, bool skipAmbiguous,
                         RunLog* log);

// The p-values of the collection's kept rows under the run's background
// (its distributions, built again if they were let go); none, with a note,
// when the model's distribution is out of reach (a motif of hundreds of
// positions, say).
PValues resultPValues(CollectionSearch& search, const SequenceRecord& background,
                      const SearchControl& control);
// A window score's p-value now (NaN when the distribution is out of reach).
double pValueNow(CollectionSearch& search, const SequenceRecord& background, double score);

// Writes the collection's own files in every format asked for, the TSV and
// GFF3 with `significance`; returns the results table's name, or the first
// file written without it.
std::string writeAllResults(const SearchInputs& inputs, const SearchControl& control,
                            CollectionSearch& search, const Significance& significance);

}  // namespace xoprex
