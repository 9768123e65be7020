#include "pipeline/collection_search.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <unordered_set>
#include <utility>

#include "base/errors.h"
#include "base/file_names.h"
#include "base/number_format.h"
#include "base/tasks.h"
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

// Why a model has no p-values: its distribution of window scores does not
// fit the room set aside for it.
constexpr const char* kOutOfReach =
    "the p-values of its windows cannot be computed within the memory set aside for them (at "
    "most 16,777,216 distinct scores of a window)";

// What the formats say of a collection's results besides its rows.
ResultContext resultContext(const SearchInputs& inputs, const CollectionSearch& search,
                            const SequenceRecord& background) {
    ResultContext context;
    context.commandLine = inputs.commandLine;
    context.targetPath = inputs.sequencePath;
    context.collectionPath = search.names.path;
    context.collectionTitle = search.names.title;
    context.motifId = search.motifId();
    context.motifAltId = search.motifAltId();
    context.pValue = inputs.pValue;
    context.bestScore = bestWindowScore(search.options.method, search.collection, background);
    return context;
}

// The memory each collection's row spools keep before they go to temporary
// files: 32 MB, shared out among many collections.
size_t spoolMemory(size_t collections) {
    constexpr size_t kTotal = size_t{256} << 20;
    return std::clamp(kTotal / std::max<size_t>(collections, 1), size_t{1} << 20, size_t{32} << 20);
}

}  // namespace

bool writesFormat(const SearchInputs& inputs, ResultFormat format) {
    return std::find(inputs.formats.begin(), inputs.formats.end(), format) != inputs.formats.end();
}

ResultFormat outTableFormat(const SearchInputs& inputs) {
    ResultFormat format = ResultFormat::Tsv;
    const std::string extension = wideExtension(inputs.outTablePath);
    if (!formatNamed(extension, format) || format == ResultFormat::Csv) {
        format = ResultFormat::Tsv;
    }
    return format;
}

// The formats of the rows a collection makes as the records pass: those of
// its own files besides the results table, and those of the one table.
std::vector<ResultFormat> rowFormats(const SearchInputs& inputs) {
    std::vector<ResultFormat> formats;
    for (const ResultFormat format : inputs.formats) {
        if (format != ResultFormat::Csv) {
            formats.push_back(format);
        }
    }
    if (inputs.standardOutput) {
        formats.push_back(*inputs.standardOutput);
    }
    if (!inputs.outTablePath.empty()) {
        formats.push_back(outTableFormat(inputs));
    }
    return formats;
}

bool writesPValues(const SearchInputs& inputs) {
    const std::vector<ResultFormat> formats = rowFormats(inputs);
    return std::any_of(formats.begin(), formats.end(), carriesPValues);
}

Searches collectionSearches(const SearchInputs& inputs, const Options& options,
                            const SearchControl& control) {
    Searches searches;
    // Matrix IDs are told apart from each other and from the site lists'
    // titles: a later matrix of an ID already taken is renamed ID.2, ID.3.
    std::unordered_set<std::string> taken;
    for (const CollectionSource& source : inputs.collections) {
        if (!source.matrices) {
            taken.insert(source.title);
        }
    }
    std::vector<bool> selected(inputs.motifIds.size(), false);
    std::string matrixFiles;
    for (const CollectionSource& source : inputs.collections) {
        if (!source.matrices) {
            searches.push_back(std::make_unique<CollectionSearch>(source, inputs, options));
            continue;
        }
        matrixFiles += (matrixFiles.empty() ? "" : ", ") + source.path;
        std::vector<CountMatrix> matrices =
            readMatrixFile(source.path, MatrixReading{inputs.defaultSites});
        if (!inputs.motifIds.empty()) {
            std::erase_if(matrices, [&](const CountMatrix& matrix) {
                bool wanted = false;
                for (size_t k = 0; k < inputs.motifIds.size(); ++k) {
                    if (matrix.id == inputs.motifIds[k] || matrix.name == inputs.motifIds[k]) {
                        selected[k] = true;
                        wanted = true;
                    }
                }
                return !wanted;
            });
        }
        for (const std::string& renamed : renameDuplicateIds(matrices, taken, source.path)) {
            if (control.onNote) {
                control.onNote(renamed);
            }
        }
        for (CountMatrix& matrix : matrices) {
            if (matrix.sites.empty() && !options.literalCutOff && !inputs.pValue) {
                throw InputError(InputProblem::Options, source.path,
                                 "The count matrices of " + source.path +
                                     " have no sites to take a relative threshold from: give "
                                     "the cut-off score (--literal) or a p-value (--pvalue)");
            }
            searches.push_back(
                std::make_unique<CollectionSearch>(source, inputs, options, std::move(matrix)));
        }
    }
    for (size_t k = 0; k < inputs.motifIds.size(); ++k) {
        if (!selected[k]) {
            throw InputError(
                InputProblem::Options, "",
                "--motif " + inputs.motifIds[k] + " names no matrix of " +
                    (matrixFiles.empty() ? std::string("the --motifs files") : matrixFiles));
        }
    }
    return searches;
}

namespace {

// The collection's self-scores and its cut-off from them, its distributions
// and, for a p-value cut-off, the score of that cut-off: what each
// collection can find on its own thread.
void scoreAndCutAtPValue(CollectionSearch& search, const SearchInputs& inputs,
                         const SequenceRecord& background, size_t searchCount) {
    Options& options = search.options;
    scoreCollectionAndFixCutOff(search.collection, options, background);
    search.distributions = std::make_unique<Distributions>(options.method, search.collection);
    if (!inputs.pValue) {
        return;
    }
    try {
        search.distributions->focusOnPValue(background, *inputs.pValue);
        const ScoreDistribution& distribution = search.distributions->of(background);
        search.pValueCut = distribution.pValueCutOff(*inputs.pValue);
        const double best = bestWindowScore(options.method, search.collection, background);
        const bool reachable = lowerIsBetter(options.method) ? best < search.pValueCut->score
                                                             : best > search.pValueCut->score;
        if (!reachable) {
            search.bestPValue = distribution.pValue(best);
        }
    } catch (const std::length_error&) {
        search.pValueCut.reset();
    } catch (const std::invalid_argument&) {
        search.pValueCut.reset();
    }
    if (searchCount > kKeptDistributions) {
        // Hundreds of matrices: one distribution at a time, built again
        // when the p-values are written.
        search.distributions->release();
    }
}

// The collection's cut-off (scoreAndCutAtPValue found it), its logs, its
// integrative window and relaxation, its distributions and its rows.
void fixCutOff(CollectionSearch& search, const SearchInputs& inputs,
               const SequenceRecord& background, size_t searchCount, const SearchControl& control) {
    Options& options = search.options;
    if (inputs.pValue) {
        if (!search.pValueCut) {
            throw InputError(InputProblem::Options, search.names.path,
                             search.names.title + ": " + kOutOfReach +
                                 ": give a literal cut-off (--literal --threshold) instead of "
                                 "--pvalue");
        }
        options.cutOff = search.pValueCut->score;
        options.literalCutOff = true;
        if (!std::isnan(search.bestPValue) && control.onNote) {
            control.onNote(search.names.title + ": no window can reach the p-value cut-off " +
                           formatGeneralC(*inputs.pValue) + "; its best has p-value " +
                           formatGeneralC(search.bestPValue));
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
    const std::vector<ResultFormat> formats = rowFormats(inputs);
    if (!formats.empty()) {
        search.rows =
            std::make_unique<ResultRows>(formats, resultContext(inputs, search, background),
                                         options, inputs.maxStoredHits, spoolMemory(searchCount));
    }
    search.summary.collection = search.names.title;
    search.summary.cutOff = options.cutOff;
}

}  // namespace

void fixCutOffs(const Searches& searches, const SearchInputs& inputs,
                const SequenceRecord& background, unsigned threads, const SearchControl& control) {
    // The distributions of p-value cut-offs cost milliseconds each: those of
    // many matrices are found side by side.
    runTasks(searches.size(), inputs.pValue && searches.size() > 1 ? threads : 1,
             [&](size_t k, unsigned) {
                 scoreAndCutAtPValue(*searches[k], inputs, background, searches.size());
             });
    for (const auto& search : searches) {
        fixCutOff(*search, inputs, background, searches.size(), control);
    }
}

void summarizeCutOff(CollectionSearch& search, const SequenceRecord& background) {
    const Options& options = search.options;
    try {
        search.summary.pValue =
            search.pValueCut && !options.integrative
                ? search.pValueCut->tail
                : cutOffPValue(search.collection, background, options.cutOff, options.method);
    } catch (const std::length_error&) {
        search.summary.pValue = std::numeric_limits<double>::quiet_NaN();
    } catch (const std::invalid_argument&) {
        search.summary.pValue = std::numeric_limits<double>::quiet_NaN();
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
    return found;
}

PValues resultPValues(CollectionSearch& search, const SequenceRecord& background,
                      const SearchControl& control) {
    if (search.rows == nullptr) {
        return {};
    }
    try {
        return search.rows->pValues(
            [&](double score) { return search.distributions->of(background).pValue(score); });
    } catch (const std::length_error&) {
    } catch (const std::invalid_argument&) {
    }
    if (control.onNote) {
        control.onNote(search.names.title + ": " + kOutOfReach +
                       ": its p-values and q-values are left empty");
    }
    return search.rows->pValues({});
}

double pValueNow(CollectionSearch& search, const SequenceRecord& background, double score) {
    try {
        return search.distributions->of(background).pValue(score);
    } catch (const std::length_error&) {
    } catch (const std::invalid_argument&) {
    }
    return std::numeric_limits<double>::quiet_NaN();
}

std::string writeAllResults(const SearchInputs& inputs, const SearchControl& control,
                            CollectionSearch& search, const Significance& significance) {
    std::string first;
    for (const ResultFormat format : inputs.formats) {
        const std::string path = resultsPath(search.names.resultsName, format);
        if (format == ResultFormat::Csv) {
            search.table->finish(search.options);
        } else {
            OutputFile file(path);  // whole or absent; only the results table is synced
            writeTable(format, {search.rows.get()}, {significance}, file);
            file.commit();
        }
        if (control.onOutput) {
            control.onOutput(format, path);
        }
        if (first.empty() || format == ResultFormat::Csv) {
            first = path;
        }
    }
    return first;
}

}  // namespace xoprex
