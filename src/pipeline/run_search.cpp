// The order of a search: options, outputs named and checked, the run log,
// the first record (its background and the collections' models depend on
// it), each collection's model and cut-off, then every record in turn with
// every collection, and last each collection's results.
#include "pipeline/run_search.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "base/file_names.h"
#include "base/run_log.h"
#include "base/tasks.h"
#include "motif/count_matrix.h"
#include "motif/cutoff.h"
#include "motif/scoring.h"
#include "motif/site_collection.h"
#include "options/options_file.h"
#include "pipeline/distributions.h"
#include "pipeline/guidance.h"
#include "pipeline/progress.h"
#include "pipeline/search_outputs.h"
#include "report/collection_logs.h"
#include "report/reports.h"
#include "scan/annotation.h"
#include "scan/integrative.h"
#include "scan/scan.h"
#include "seqio/record_reader.h"

namespace xoprex {
namespace {

class ElapsedClock {
  public:
    ElapsedClock() : start_(std::time(nullptr)) {}
    // Whole seconds since the run started, as a floating-point number.
    double seconds() const { return std::difftime(std::time(nullptr), start_); }

  private:
    std::time_t start_;
};

// The options as the run takes them from its source, with the command
// line's settings over them.
Options runSearchOptions(const SearchInputs& inputs, OptionsReading& reading) {
    Options options;
    if (inputs.optionsSource == OptionsSource::Factory) {
        options = factoryOptions();
    } else {
        const std::string& path = inputs.optionsPath;
        reading = readOptionValuesFile(options, path);
        if (inputs.optionsSource == OptionsSource::File && !reading.opened) {
            throw InputError(InputProblem::Unreadable, path,
                             "Options file could not be opened: " + path);
        }
        if (inputs.optionsSource == OptionsSource::File && !reading.complete()) {
            throw InputError(InputProblem::Options, path,
                             "Incomplete options file: " + path + " holds " +
                                 std::to_string(reading.values) + " of the 16 options");
        }
        if (!reading.complete()) {
            applyBuiltInDefaults(options);
        }
    }
    applySettings(options, inputs.optionSettings);
    return options;
}

// The log lines of the options: those of their source, and the options in
// effect when they are not simply the file's.
void logOptionsReading(const SearchInputs& inputs, const OptionsReading& reading,
                       const Options& options, RunLog& log) {
    if (inputs.optionsSource == OptionsSource::Factory) {
        log.writeLine("Setting options to factory defaults...");
    } else {
        for (const std::string& line : optionsReadingLines(reading)) {
            log.writeLine(line);
        }
    }
    if (inputs.optionsSource == OptionsSource::Factory || !inputs.optionSettings.empty()) {
        log.writeJoined("Options in effect: ", describeOptions(options));
    }
}

// A run log whose file could not be written fails the run.
void checkLog(RunLog& log) {
    const std::string failure = log.failure();
    if (!failure.empty()) {
        throw OutputError(log.fileName(), "Cannot write " + log.fileName() + ": " + failure);
    }
}

void throwIfCancelled(const SearchControl& control) {
    if (control.cancel != nullptr && control.cancel->load()) {
        throw SearchCancelled();
    }
}

bool writesFormat(const SearchInputs& inputs, ResultFormat format) {
    return std::find(inputs.formats.begin(), inputs.formats.end(), format) != inputs.formats.end();
}

// Whether the run keeps its records' results for results other than the
// results table, which is written as the records pass.
bool keepsRecords(const SearchInputs& inputs) {
    return inputs.standardOutput.has_value() ||
           std::any_of(inputs.formats.begin(), inputs.formats.end(),
                       [](ResultFormat f) { return f != ResultFormat::Csv; });
}

bool carriesPValues(ResultFormat format) {
    return format == ResultFormat::Tsv || format == ResultFormat::Gff3;
}

// Whether the run writes p-values (TSV or GFF3 results).
bool writesPValues(const SearchInputs& inputs) {
    return std::any_of(inputs.formats.begin(), inputs.formats.end(), carriesPValues) ||
           (inputs.standardOutput && carriesPValues(*inputs.standardOutput));
}

// One collection's search within the run: its names, model, options and
// cut-off, and its results as they grow.
struct CollectionSearch {
    CollectionSearch(const CollectionSource& source, const SearchInputs& inputs,
                     const Options& runOptions, std::optional<CountMatrix> countMatrix = {})
        : options(runOptions), matrix(std::move(countMatrix)) {
        const std::string title = matrix ? matrixTitle(matrix->id) : source.title;
        const OutputNaming naming{inputs.outputFolder, inputs.sequenceTitle, title};
        names = {source.path, title, resultsTableName(options, inputs.pValue, naming),
                 naming.reportPrefix()};
    }

    NamedCollection names;
    Options options;
    std::optional<CountMatrix> matrix;  // the collection's counts, for a matrix
    SiteCollection collection;
    std::unique_ptr<IntegrativeWindow> window;
    std::unique_ptr<Distributions> distributions;
    ScanCache cache;
    std::unique_ptr<ResultsTableWriter> table;
    std::vector<RecordResults> results;  // kept for the formats besides the table
    SearchControl::Summary summary;
};
using Searches = std::vector<std::unique_ptr<CollectionSearch>>;

// The collections of the run, in order: each file of sites, and each
// matrix of each file of matrices (read here, for their titles).
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

void checkOutputs(const SearchInputs& inputs, const Options& options, const Searches& searches) {
    std::vector<NamedCollection> named;
    std::vector<std::string> inputPaths = {inputs.sequencePath, inputs.optionsPath};
    for (const auto& search : searches) {
        named.push_back(search->names);
        inputPaths.push_back(search->names.path);
    }
    checkSearchOutputs(named, inputs.outputFolder + inputs.sequenceTitle, inputs.formats,
                       options.logResults, inputPaths);
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
        const ScoreCutOff cut = search.distributions->of(background).cutOffFor(*inputs.pValue);
        options.cutOff = cut.score;
        options.literalCutOff = true;
        cutOffTail = cut.tail;
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
    if (control.onSummary) {
        search.summary.pValue =
            cutOffTail && !options.integrative
                ? *cutOffTail
                : cutOffPValue(search.collection, background, options.cutOff, options.method);
    }
}

// Records shorter than this are scanned on one thread: a thread's share of
// a few kilobases does not repay its start-up and the fresh memory it touches.
constexpr size_t kThreadedLength = 64 * 1024;

// The hits of one record with one collection, sorted and annotated; the
// k-th of `count` scans of the record for the progress.
RecordHits analyzeRecord(const SequenceRecord& record, size_t index, CollectionSearch& search,
                         LoopProgress& progress, size_t k, size_t count,
                         const SearchControl& control, unsigned threads, RunLog* log) {
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

void writeRecordEnd(const SequenceRecord& record, const ElapsedClock& clock, RunLog& log) {
    log.writeLine(record.description);
    log.writeValue("Sequence analyzed! - Time (s): ", clock.seconds());
    log.writeLine(" ");
}

// A record with where it lies in the input.
struct PlacedRecord {
    SequenceRecord record;
    size_t from = 0;
    size_t to = 0;
};

// The records of a target in input order, each with where it lies in the
// input. (Reading ahead on a second thread does not pay: reading is a fifth
// of the work, and the records freed by another thread than the one that
// allocated them cost glibc's allocator its arenas' locks.)
class RecordFeed {
  public:
    RecordFeed(RecordReader& reader, size_t start) : reader_(reader), from_(start) {}

    // The next record; false at the end. An error of the input is raised
    // once the records before it have been taken.
    bool next(PlacedRecord& placed) {
        if (!reader_.more() || !reader_.next(placed.record)) {
            return false;
        }
        placed.from = from_;
        placed.to = from_ = reader_.position();
        return true;
    }

  private:
    RecordReader& reader_;
    size_t from_;
};

// Writes the results in every format asked for; returns the results
// table's name, or the first file written without it.
std::string writeAllResults(const SearchInputs& inputs, const SearchControl& control,
                            CollectionSearch& search) {
    const Options& options = search.options;
    ResultContext context;
    context.commandLine = inputs.commandLine;
    context.targetPath = inputs.sequencePath;
    context.collectionPath = search.names.path;
    context.collectionTitle = search.names.title;
    if (keepsRecords(inputs)) {
        SequenceRecord first;
        first.backgroundFrequencies = search.results.front().record->backgroundFrequencies;
        first.backgroundEntropy = search.results.front().record->backgroundEntropy;
        context.bestScore = bestWindowScore(options.method, search.collection, first);
    }
    if (writesPValues(inputs)) {
        context.distributions = search.distributions->ofEvery(search.results);
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

}  // namespace

std::optional<SettingsProblem> checkSettings(const SearchInputs& inputs, const Options& options) {
    if (inputs.collections.empty()) {
        return SettingsProblem{"--collection, --collections or --motifs is required", "", true};
    }
    const auto readsStandardInput = [](const CollectionSource& source) {
        return isStandardInput(source.path);
    };
    if (std::count_if(inputs.collections.begin(), inputs.collections.end(), readsStandardInput) +
            (isStandardInput(inputs.sequencePath) ? 1 : 0) >
        1) {
        return SettingsProblem{"standard input (-) can be only one of the inputs", "", true};
    }
    if (inputs.collections.size() > 1 && inputs.standardOutput) {
        return SettingsProblem{
            "--stdout takes one collection; with several, write files with --format", "", true};
    }
    for (const CollectionSource& source : inputs.collections) {
        if (source.matrices && !options.literalCutOff && !inputs.pValue) {
            return SettingsProblem{
                "The count matrices of " + source.path +
                    " have no sites to take a relative threshold from: give the cut-off score "
                    "(--literal) or a p-value (--pvalue)",
                source.path, false};
        }
    }
    return std::nullopt;
}

std::string runSearch(const SearchInputs& inputs, const SearchControl& control) {
    const std::string runBaseName = inputs.outputFolder + inputs.sequenceTitle;
    OptionsReading reading;
    const Options runOptions = runSearchOptions(inputs, reading);
    if (const std::optional<SettingsProblem> problem = checkSettings(inputs, runOptions)) {
        throw InputError(problem->usage ? InputProblem::Usage : InputProblem::Options,
                         problem->path, problem->message);
    }
    const Searches searches = collectionSearches(inputs, runOptions);
    checkOutputs(inputs, runOptions, searches);
    // The run log is that of the last collection's search.
    CollectionSearch& last = *searches.back();

    RunLog log(runLogName(runBaseName), control.logEcho);
    if (control.onLine) {
        log.setObserver(control.onLine);
    }
    const ElapsedClock clock;
    logOptionsReading(inputs, reading, runOptions, log);
    if (control.onWarning) {
        for (const std::string& warning : questionableOptions(runOptions)) {
            control.onWarning(warning);
        }
    }

    log.writeLine("Reading sequences...");
    RecordReader reader(inputs.sequencePath, inputs.rules);
    // The first record comes alone: the background and the collections'
    // models depend on it, and whether a second record follows decides the
    // background's rule.
    PlacedRecord placed;
    reader.next(placed.record);
    placed.to = reader.position();
    const SequenceRecord& first = placed.record;
    log.writeValue("Sequences read! - Time (s): ", clock.seconds());
    std::unique_ptr<SequenceLogs> sequenceLogs;
    if (runOptions.logResults) {
        sequenceLogs = std::make_unique<SequenceLogs>(runBaseName, first.format == 'G');
    }
    if (runOptions.backgroundFromGenome && !reader.more()) {
        computeBackgroundComposition(placed.record);
    }

    for (const auto& search : searches) {
        const bool logged = search.get() == &last;
        if (logged) {
            log.writeLine("Reading site collection...");
        }
        search->collection = search->matrix
                                 ? collectionFromMatrix(*search->matrix, first)
                                 : loadCollection(search->names.path, first, inputs.rules);
        if (logged) {
            log.writeValue("Site collection read! - Time (s): ", clock.seconds());
        }
        if (search->options.logResults) {
            writeCollectionLogs(search->collection, search->names.reportPrefix);
        }
    }
    log.writeLine(" ");
    // The background of the first record, kept for the cut-offs once the
    // record itself has gone on.
    SequenceRecord background;
    background.backgroundFrequencies = first.backgroundFrequencies;
    background.backgroundEntropy = first.backgroundEntropy;
    for (const auto& search : searches) {
        fixCutOff(*search, inputs, background, searches.size(), control);
    }

    LoopProgress progress(control, reader.sizeHint(), log);
    const unsigned threads = resolveThreadCount(inputs.threads);
    for (const auto& search : searches) {
        if (writesFormat(inputs, ResultFormat::Csv)) {
            search->table = std::make_unique<ResultsTableWriter>(
                resultsPath(search->names.resultsName, ResultFormat::Csv), threads);
        }
    }
    const bool keepRecords = keepsRecords(inputs);
    // Targets of thousands of small records write five lines each in quick
    // succession: flush them a few times a second rather than line by line.
    log.setFlushInterval(std::chrono::milliseconds(50));
    RecordFeed feed(reader, placed.to);
    for (size_t index = 0;; ++index) {
        throwIfCancelled(control);
        const SequenceRecord& record = placed.record;
        if (sequenceLogs != nullptr) {
            sequenceLogs->add(record);
        }
        progress.startRecord(placed.from, placed.to);
        // Threads within a record pay only for long records.
        const unsigned recordThreads = record.sequence.size() >= kThreadedLength ? threads : 1;
        // What every collection's results show of the record.
        const auto info = std::make_shared<const RecordInfo>(recordInfo(record));
        size_t recordHits = 0;
        for (size_t k = 0; k < searches.size(); ++k) {
            CollectionSearch& search = *searches[k];
            RunLog* const searchLog = &search == &last ? &log : nullptr;
            RecordHits found = analyzeRecord(record, index, search, progress, k, searches.size(),
                                             control, recordThreads, searchLog);
            if (searchLog != nullptr) {
                writeRecordEnd(record, clock, log);
            }
            if (search.table != nullptr) {
                search.table->add(*info, found);
            }
            search.summary.windows += static_cast<double>(found.windowsScored);
            search.summary.found += found.hits.size();
            recordHits += found.hits.size();
            if (keepRecords) {
                search.results.push_back({info, std::move(found)});
            }
        }
        progress.recordDone(recordHits);
        if (!feed.next(placed)) {
            break;
        }
    }
    log.setFlushInterval(std::chrono::milliseconds(0));
    if (sequenceLogs != nullptr) {
        sequenceLogs->commit();
    }

    std::string written;
    for (const auto& search : searches) {
        const bool logged = search.get() == &last;
        if (logged) {
            log.writeJoined("Saving results to ", search->names.resultsName);
            checkLog(log);
        }
        const std::string path = writeAllResults(inputs, control, *search);
        search->distributions.reset();  // written: its p-values are not needed again
        if (written.empty()) {
            written = path;
        }
        if (logged) {
            checkLog(log);
        }
        if (control.onSummary) {
            search->summary.expected = search->summary.pValue * search->summary.windows;
            control.onSummary(search->summary);
        }
    }
    return written;
}

}  // namespace xoprex
