#include "pipeline/collection_search.h"

#include <algorithm>
#include <utility>

#include "base/errors.h"
#include "base/number_format.h"
#include "motif/cutoff.h"
#include "motif/scoring.h"
#include "pipeline/guidance.h"
#include "report/collection_logs.h"
#include "scan/annotation.h"

namespace xoprex {
namespace {

bool carriesPValues(ResultFormat format) {
    return format == ResultFormat::Tsv || format == ResultFormat::Gff3;
}

}  // namespace

bool writesFormat(const SearchInputs& inputs, ResultFormat format) {
    return std::find(inputs.formats.begin(), inputs.formats.end(), format) != inputs.formats.end();
}

// Whether the run keeps its records' results for results other than the
// results table, which is written as the records pass, or for the report.
bool keepsRecords(const SearchInputs& inputs) {
    return inputs.standardOutput.has_value() || !inputs.reportPath.empty() ||
           std::any_of(inputs.formats.begin(), inputs.formats.end(),
                       [](ResultFormat f) { return f != ResultFormat::Csv; });
}

// Whether the run computes its hits' p-values: for TSV or GFF3 results,
// and for the report when the run cuts at a p-value (its distributions are
// built anyway; without, their cost would be the report's).
bool writesPValues(const SearchInputs& inputs) {
    return (inputs.pValue && !inputs.reportPath.empty()) ||
           std::any_of(inputs.formats.begin(), inputs.formats.end(), carriesPValues) ||
           (inputs.standardOutput && carriesPValues(*inputs.standardOutput));
}

Searches collectionSearches(const SearchInputs& inputs, const Options& options) {
    Searches searches;
    for (const CollectionSource& source : inputs.collections) {
        if (!source.matrices) {
            searches.push_back(std::make_unique<CollectionSearch>(source, inputs, options));
            continue;
        }
        for (CountMatrix& matrix : readMatrixFile(source.path)) {
            searches.push_back(
                std::make_unique<CollectionSearch>(source, inputs, options, std::move(matrix)));
        }
    }
    if (inputs.standardOutput && searches.size() > 1) {
        throw InputError(InputProblem::Options, searches.back()->names.path,
                         "Standard output takes the results of one collection; " +
                             searches.back()->names.path + " gives " +
                             std::to_string(searches.size()));
    }
    return searches;
}

// The collection's cut-off (from its self-scores, or the score of a p-value
// cut-off), its logs, its integrative window and relaxation, its
// distributions, and what the cut-off means.
void fixCutOff(CollectionSearch& search, const SearchInputs& inputs,
               const SequenceRecord& background, size_t searchCount, const SearchControl& control) {
    Options& options = search.options;
    scoreCollectionAndFixCutOff(search.collection, options, background);
    search.distributions = std::make_unique<Distributions>(options.method, search.collection);
    std::optional<double> cutOffTail;  // the p-value of a cut-off taken from one
    if (inputs.pValue) {
        search.distributions->focusOnPValue(background, *inputs.pValue);
        const ScoreDistribution& distribution = search.distributions->of(background);
        const ScoreCutOff cut = distribution.pValueCutOff(*inputs.pValue);
        options.cutOff = cut.score;
        options.literalCutOff = true;
        cutOffTail = cut.tail;
        const double best = bestWindowScore(options.method, search.collection, background);
        const bool reachable = lowerIsBetter(options.method) ? best < cut.score : best > cut.score;
        if (!reachable && control.onNote) {
            control.onNote(search.names.title + ": no window can reach the p-value cut-off " +
                           formatGeneralC(*inputs.pValue) + "; its best has p-value " +
                           formatGeneralC(distribution.pValue(best)));
        }
        if (searchCount > kKeptDistributions) {
            // Hundreds of matrices: one distribution at a time, built again
            // when the p-values are written.
            search.distributions->release();
        }
    }
    if (options.logResults) {
        writeMotifScoreLog(search.collection, options, search.names.reportPrefix);
    }
    search.window = std::make_unique<IntegrativeWindow>(options);
    if (options.integrative) {
        relaxCutOff(options);
    }
    if (!inputs.pValue) {
        search.distributions->focusOn(options.cutOff);
        // A second thread each only for a few collections: the distributions
        // of hundreds of matrices would all be held at once.
        if (writesPValues(inputs) && searchCount <= kPreparedSearches) {
            search.distributions->prepare(background, options.cutOff);
        }
    }
    search.summary.collection = search.names.title;
    search.summary.cutOff = options.cutOff;
    if (control.onSummary || !inputs.reportPath.empty()) {
        search.summary.pValue =
            cutOffTail && !options.integrative
                ? *cutOffTail
                : cutOffPValue(search.collection, background, options.cutOff, options.method);
    }
}

// The hits of one record with one collection, sorted and annotated; the
// k-th of `count` scans of the record for the progress.
RecordHits analyzeRecord(const SequenceRecord& record, size_t index, CollectionSearch& search,
                         LoopProgress& progress, size_t k, size_t count,
                         const SearchControl& control, unsigned threads, bool skipAmbiguous,
                         RunLog* log) {
    const double sequenceNumber = static_cast<double>(index + 1);
    if (log != nullptr) {
        log->writeValue("Analyzing sequence: ", sequenceNumber);
    }
    const auto report = [&progress, k, count](double share) {
        progress.report((static_cast<double>(k) + share) / static_cast<double>(count));
    };
    ScanControl scanControl;
    scanControl.cancel = control.cancel;
    scanControl.threads = threads;
    scanControl.skipAmbiguous = skipAmbiguous;
    scanControl.onProgress = report;
    RecordHits found;
    findHits(record, search.collection, search.options, *search.window, found, scanControl,
             &search.cache);
    // The scan's own share can stop short of 1 (integrative passes have
    // fewer candidates than windows).
    report(1.0);
    if (log != nullptr) {
        log->writeValue("Sorting results for sequence: ", sequenceNumber);
    }
    annotateHits(record, found, search.options);
    if (search.keepsGenes && !found.hits.empty() && !record.genes.empty()) {
        search.genesOfRecords.emplace(index, record.genes);
    }
    return found;
}

// Writes the results in every format asked for; returns the results
// table's name, or the first file written without it.
PValues resultPValues(CollectionSearch& search) {
    return pValuesOf(search.results, search.distributions->ofEvery(search.results));
}

std::string writeAllResults(const SearchInputs& inputs, const SearchControl& control,
                            CollectionSearch& search, const Significance& significance) {
    const Options& options = search.options;
    ResultContext context;
    context.commandLine = inputs.commandLine;
    context.targetPath = inputs.sequencePath;
    context.collectionPath = search.names.path;
    context.collectionTitle = search.names.title;
    context.motifId = search.matrix ? search.matrix->id : search.names.title;
    context.motifAltId = search.matrix ? search.matrix->name : std::string();
    context.pValue = inputs.pValue;
    if (keepsRecords(inputs)) {
        SequenceRecord first;
        first.backgroundFrequencies = search.results.front().record->backgroundFrequencies;
        first.backgroundEntropy = search.results.front().record->backgroundEntropy;
        context.bestScore = bestWindowScore(options.method, search.collection, first);
    }
    context.significance = significance;
    if (!inputs.reportPath.empty()) {
        search.significance = significance;
    }
    std::string first;
    for (const ResultFormat format : inputs.formats) {
        const std::string path = resultsPath(search.names.resultsName, format);
        if (format == ResultFormat::Csv) {
            search.table->finish(options);
        } else {
            OutputFile file(path);  // whole or absent; only the results table is synced
            writeResults(format, context, options, search.results, file);
            file.commit();
        }
        if (control.onOutput) {
            control.onOutput(format, path);
        }
        if (first.empty() || format == ResultFormat::Csv) {
            first = path;
        }
    }
    if (inputs.standardOutput) {
        StreamSink out(std::cout, "standard output");
        writeResults(*inputs.standardOutput, context, options, search.results, out);
    }
    return first;
}

}  // namespace xoprex
