#include "pipeline/run_search.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "base/file_names.h"
#include "base/run_log.h"
#include "base/tasks.h"
#include "motif/count_matrix.h"
#include "motif/cutoff.h"
#include "motif/score_distribution.h"
#include "motif/scoring.h"
#include "motif/site_collection.h"
#include "options/options_file.h"
#include "pipeline/guidance.h"
#include "report/collection_logs.h"
#include "report/reports.h"
#include "scan/annotation.h"
#include "scan/integrative.h"
#include "scan/reverse_complement.h"
#include "scan/scan.h"
#include "scan/sort.h"
#include "seqio/record_reader.h"
#include "seqio/sequence.h"

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

// The longest file name the file systems in use take.
constexpr size_t kMaxFileNameLength = 255;

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

// The run reader's lines: defaults, then the file, and the defaults again
// with a warning when the file was missing or incomplete.
void logFileReading(const OptionsReading& reading, RunLog& log) {
    log.writeLine("Setting options to default...");
    log.writeLine("Reading options...");
    if (!reading.opened) {
        log.writeLine("Options file could not be opened");
    }
    if (reading.complete()) {
        log.writeLine("Options read!");
        return;
    }
    log.writeLine("Setting options to default...");
    log.writeLine("WARNING: options not read or read incorrectly. Running on default options.");
}

// The log lines of the options: those of their source, and the options in
// effect when they are not simply the file's.
void logOptionsReading(const SearchInputs& inputs, const OptionsReading& reading,
                       const Options& options, RunLog& log) {
    const bool describe =
        inputs.optionsSource == OptionsSource::Factory || !inputs.optionSettings.empty();
    if (inputs.optionsSource == OptionsSource::Factory) {
        log.writeLine("Setting options to factory defaults...");
    } else {
        logFileReading(reading, log);
    }
    if (describe) {
        log.writeJoined("Options in effect: ", describeOptions(options));
    }
}

// The file of the results in `format`: the results table's name with the
// format's extension.
std::string resultsPath(const std::string& resultsName, ResultFormat format) {
    return resultsName.substr(0, resultsName.size() - 3) + formatExtension(format);
}

// The files one collection's search writes besides the run log and the
// sequence and gene logs.
std::vector<std::string> collectionOutputs(const SearchInputs& inputs,
                                           const std::string& reportPrefix,
                                           const std::string& resultsName, const Options& options) {
    std::vector<std::string> paths;
    for (const ResultFormat format : inputs.formats) {
        paths.push_back(resultsPath(resultsName, format));
    }
    if (options.logResults) {
        for (const char* suffix :
             {"_freq_table.csv", "_site_collection_log.txt", "__motif_score_log.csv"}) {
            paths.push_back(reportPrefix + suffix);
        }
    }
    return paths;
}

// The files every collection's search shares: the run log and the sequence
// and gene logs.
std::vector<std::string> sharedOutputs(const std::string& runBaseName, const Options& options) {
    std::vector<std::string> paths = {runBaseName + ".log"};
    if (options.logResults) {
        for (const char* suffix : {"_seq_log.txt", "_gene_log.csv"}) {
            paths.push_back(runBaseName + suffix);
        }
    }
    return paths;
}

// Stops the run before anything is written when an output would replace
// one of its inputs, or could not be created under its name.
void checkOutputsSpareInputs(const std::vector<std::string>& outputs,
                             const std::vector<std::string>& inputs) {
    for (const std::string& output : outputs) {
        if (std::filesystem::path(output).filename().string().size() > kMaxFileNameLength) {
            throw OutputError(output,
                              "Cannot create " + output + ": " + std::strerror(ENAMETOOLONG));
        }
        for (const std::string& input : inputs) {
            if (!input.empty() && sameFile(output, input)) {
                throw InputError(InputProblem::Overwrite, output,
                                 "output " + output + " would overwrite input " + input);
            }
        }
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

// Progress of the record loop, in input bytes: a record's share of its
// windows moves the progress over the record's bytes. Reported only when it
// grows, one call at a time (a record may be scanned on several threads);
// each report also lets the run log flush lines it holds back.
class LoopProgress {
  public:
    LoopProgress(const SearchControl& control, size_t total, RunLog& log)
        : control_(control), total_(static_cast<double>(total)), log_(log) {}
    void startRecord(size_t from, size_t to) {
        const std::lock_guard<std::mutex> lock(mutex_);
        from_ = static_cast<double>(from);
        span_ = static_cast<double>(to - from);
    }
    void report(double share) {
        log_.flushIfStale();
        if (!control_.onProgress && !control_.onFigures) {
            return;
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        const double at = from_ + share * span_;
        if (control_.onProgress && total_ > 0.0) {
            const double value = std::min(1.0, at / total_);
            if (value > last_) {
                last_ = value;
                control_.onProgress(value);
            }
        }
        if (control_.onFigures && at > lastBytes_) {
            lastBytes_ = at;
            reportFigures();
        }
    }
    // A record is done, with its hits (of every collection).
    void recordDone(size_t hits) {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++records_;
        hits_ += hits;
        if (control_.onFigures) {
            reportFigures();
        }
    }

  private:
    void reportFigures() {
        control_.onFigures(
            {static_cast<size_t>(lastBytes_), static_cast<size_t>(total_), records_, hits_});
    }

    const SearchControl& control_;
    double total_;
    double from_ = 0.0;
    double span_ = 0.0;
    double last_ = -1.0;
    double lastBytes_ = 0.0;
    size_t records_ = 0;
    size_t hits_ = 0;
    std::mutex mutex_;
    RunLog& log_;
};

// Records shorter than this are scanned on one thread: a thread's share of
// a few kilobases does not repay its start-up and the fresh memory it touches.
constexpr size_t kThreadedLength = 64 * 1024;

// What every record's analysis shares.
struct RecordLoop {
    const SiteCollection& collection;
    const Options& options;
    const SearchControl& control;
    LoopProgress& progress;
    // The record's scan is the part-th of `parts` (one per collection).
    size_t part = 0;
    size_t parts = 1;
    // Whether every byte of the record's text has a complement (found once
    // for all the collections).
    bool complementable = true;

    void report(double share) const {
        progress.report((static_cast<double>(part) + share) / static_cast<double>(parts));
    }
};

// Scans, re-scores, sorts and annotates one record on `threads` threads.
void analyzeRecord(SequenceRecord& record, size_t index, const RecordLoop& loop,
                   SiteHit& workingHit, IntegrativeWindow& window, ScanCache& cache,
                   unsigned threads, RunLog* log) {
    const double sequenceNumber = static_cast<double>(index + 1);
    if (log != nullptr) {
        log->writeValue("Analyzing sequence: ", sequenceNumber);
    }
    ScanControl scanControl;
    scanControl.cancel = loop.control.cancel;
    scanControl.threads = threads;
    if (!loop.options.integrative) {
        scanControl.sortedFor = &loop.options;
    }
    // The text stays as read: for the next collection, or to be let go.
    scanControl.keepText = true;
    scanControl.complementable = &loop.complementable;
    scanControl.onProgress = [&loop](double share) { loop.report(share); };
    reserveHitCapacity(record, loop.collection.model);
    scanRecord(record, loop.collection, loop.options, workingHit, window, scanControl, &cache);
    // The scan's own share can stop short of 1 (integrative passes have
    // fewer candidates than windows).
    loop.report(1.0);
    shrinkHitList(record);
    if (loop.options.integrative) {
        record.globalMean = window.globalSum;
        rescoreHits(record, loop.options);
    }
    if (log != nullptr) {
        log->writeValue("Sorting results for sequence: ", sequenceNumber);
    }
    sortHits(loop.options, record);
    annotateHits(record, loop.options);
}

void writeRecordEnd(const SequenceRecord& record, const ElapsedClock& clock, RunLog& log) {
    log.writeLine(record.description);
    log.writeValue("Sequence analyzed! - Time (s): ", clock.seconds());
    log.writeLine(" ");
}

// After its analysis a record keeps what the results need: its hits, its
// names, its length and background; its text and genes go.
void releaseText(SequenceRecord& record) {
    std::string().swap(record.sequence);
    std::vector<GeneRecord>().swap(record.genes);
}

// The same for a record that other collections still scan: a copy of what
// the results need, the hits moved out.
SequenceRecord resultsPart(SequenceRecord& record) {
    SequenceRecord part;
    part.format = record.format;
    part.description = record.description;
    part.name = record.name;
    part.backgroundFrequencies = record.backgroundFrequencies;
    part.backgroundEntropy = record.backgroundEntropy;
    part.globalMean = record.globalMean;
    part.length = record.length;
    part.windowsScored = record.windowsScored;
    part.uncomplemented = record.uncomplemented;
    part.hits = std::move(record.hits);
    part.windowScores = std::move(record.windowScores);
    return part;
}

// Clears what a record's scan set, for the next collection's scan (the
// text stays as read: ScanControl::keepText).
void clearScan(SequenceRecord& record) {
    record.scanCount = 0;
    record.scanCursor = 0;
    record.hitCursor = 0;
    record.globalMean = 0.0;
    record.hits.clear();
    record.windowScores.clear();
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

// The distributions of the window scores of a run's records, one per
// background (the records of a many-record target share the uniform one).
class Distributions {
  public:
    // Each distribution is built around the cut-off the options hold by then
    // (the hits' scores lie beyond it), or around the score focusOnPValue set.
    Distributions(const Options& options, const SiteCollection& collection)
        : options_(options), collection_(collection) {}

    // Builds the distributions from now on around a score just short of a
    // p-value cut-off P: one whose tail is at least 2P by the coarsest level
    // of the distribution (the exact tail from there on, the cut-off among
    // it, then cost far less than the whole tail's finer levels).
    void focusOnPValue(const SequenceRecord& record, double p) {
        const ScoreDistribution guess(windowNullModel(options_.method, collection_, record));
        focus_ = guess.scoreWithTailAtLeast(2 * p);
    }

    // Starts building the distribution of `record`'s background on a second
    // thread, with the tail beyond the cut-off the options hold by now, so
    // that it is ready when the records are scanned; built here instead when
    // there is no second thread.
    void prepare(const SequenceRecord& record) {
        preparedBackground_ = record.backgroundFrequencies;
        auto build = [this, model = windowNullModel(options_.method, collection_, record),
                      tuning = tuningNow()] {
            prepared_ = std::make_unique<ScoreDistribution>(model, tuning);
            prepared_->tail(options_.cutOff);
        };
        if (!preparing_.start(build)) {
            build();
        }
        hasPrepared_ = true;
    }

    const ScoreDistribution& of(const SequenceRecord& record) {
        if (hasPrepared_) {
            hasPrepared_ = false;
            preparing_.join();
            built_.emplace_back(preparedBackground_, std::move(prepared_));
        }
        for (const auto& [background, distribution] : built_) {
            if (background == record.backgroundFrequencies) {
                return *distribution;
            }
        }
        built_.emplace_back(
            record.backgroundFrequencies,
            std::make_unique<ScoreDistribution>(
                windowNullModel(options_.method, collection_, record), tuningNow()));
        return *built_.back().second;
    }
    // Lets the distributions go; of() builds them again, with the same focus,
    // hence the same answers.
    void release() { built_.clear(); }

    std::vector<const ScoreDistribution*> ofEvery(const SequenceSet& set) {
        std::vector<const ScoreDistribution*> all;
        for (const SequenceRecord& record : set.records) {
            all.push_back(&of(record));
        }
        return all;
    }

  private:
    ScoreDistributionTuning tuningNow() const {
        ScoreDistributionTuning tuning;
        tuning.focus = focus_ ? *focus_ : options_.cutOff;
        return tuning;
    }

    const Options& options_;
    const SiteCollection& collection_;
    std::optional<double> focus_;
    bool hasPrepared_ = false;
    std::array<double, 4> preparedBackground_{};
    std::unique_ptr<ScoreDistribution> prepared_;
    BackgroundThread preparing_;
    std::vector<std::pair<std::array<double, 4>, std::unique_ptr<ScoreDistribution>>> built_;
};

// Searches of a run up to which each builds its distribution on a second
// thread while the records are scanned.
constexpr std::size_t kPreparedSearches = 2;
// Searches of a run up to which each keeps the distribution its p-value
// cut-off came from until its results are written (a megabyte or two each).
constexpr std::size_t kKeptDistributions = 32;

// Whether the run keeps its records (without their text) for results other
// than the results table, which is written as the records pass.
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

// A matrix ID as a title for file names: letters other than ASCII letters,
// digits and ". _ + -" become '_' ("F$ONE" -> "F_ONE"); an empty ID "matrix".
std::string matrixTitle(const std::string& id) {
    std::string title = id.empty() ? "matrix" : id;
    for (char& c : title) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '+' || c == '-';
        if (!kept) {
            c = '_';
        }
    }
    return title;
}

// One collection's search within the run: its model, options and cut-off,
// its results as they grow, and its scan's state.
struct CollectionSearch {
    CollectionSearch(const CollectionSource& source, const SearchInputs& inputs,
                     const Options& runOptions, std::optional<CountMatrix> countMatrix = {})
        : path(source.path),
          title(countMatrix ? matrixTitle(countMatrix->id) : source.title),
          options(runOptions),
          matrix(std::move(countMatrix)) {
        reportPrefix = inputs.outputFolder + inputs.sequenceTitle + "_" + title;
        resultsName = inputs.pValue ? resultsFileName(options, *inputs.pValue, inputs.outputFolder,
                                                      inputs.sequenceTitle, title)
                                    : resultsFileName(options, inputs.outputFolder,
                                                      inputs.sequenceTitle, title);
    }

    std::string path;
    std::string title;
    Options options;
    std::optional<CountMatrix> matrix;  // the collection's counts, for a matrix
    std::string reportPrefix;
    std::string resultsName;
    SiteCollection collection;
    std::unique_ptr<SiteHit> workingHit;
    std::unique_ptr<IntegrativeWindow> window;
    std::unique_ptr<Distributions> distributions;
    ScanCache cache;
    std::unique_ptr<ResultsTableWriter> table;
    SequenceSet set;  // the records kept for the other formats
    SearchControl::Summary summary;
};

// The collections of the run, in order: each file of sites, and each
// matrix of each file of matrices (read here, for their titles).
std::vector<std::unique_ptr<CollectionSearch>> collectionSearches(const SearchInputs& inputs,
                                                                  const Options& options) {
    std::vector<CollectionSource> sources = inputs.collections;
    if (sources.empty()) {
        sources.push_back({inputs.collectionPath, inputs.collectionTitle});
    }
    std::vector<std::unique_ptr<CollectionSearch>> searches;
    for (const CollectionSource& source : sources) {
        if (!source.matrices) {
            searches.push_back(std::make_unique<CollectionSearch>(source, inputs, options));
            continue;
        }
        if (!options.literalCutOff && !inputs.pValue) {
            throw InputError(InputProblem::Options, source.path,
                             "The count matrices of " + source.path +
                                 " have no sites to take a relative threshold from: give the "
                                 "cut-off score (--literal) or a p-value (--pvalue)");
        }
        for (CountMatrix& matrix : readMatrixFile(source.path)) {
            searches.push_back(
                std::make_unique<CollectionSearch>(source, inputs, options, std::move(matrix)));
        }
    }
    return searches;
}

// Writes the results in every format asked for; returns the results
// table's name, or the first file written without it.
std::string writeAllResults(const SearchInputs& inputs, const SearchControl& control,
                            CollectionSearch& search) {
    const Options& options = search.options;
    SequenceSet& set = search.set;
    ResultContext context;
    context.commandLine = inputs.commandLine;
    context.targetPath = inputs.sequencePath;
    context.collectionPath = search.path;
    context.collectionName = search.title;
    if (keepsRecords(inputs)) {
        context.bestScore = bestWindowScore(options.method, search.collection, set.records.front());
    }
    if (writesPValues(inputs)) {
        context.distributions = search.distributions->ofEvery(set);
    }
    std::string first;
    for (const ResultFormat format : inputs.formats) {
        const std::string path = resultsPath(search.resultsName, format);
        if (format == ResultFormat::Csv) {
            search.table->finish(options);
        } else {
            OutputFile file(path);  // whole or absent; only the results table is synced
            writeResults(format, context, options, set, file);
            file.commit();
        }
        if (control.onOutput) {
            control.onOutput(path);
        }
        if (first.empty() || format == ResultFormat::Csv) {
            first = path;
        }
    }
    if (inputs.standardOutput) {
        StreamSink out(std::cout, "standard output");
        writeResults(*inputs.standardOutput, context, options, set, out);
    }
    return first;
}

// Stops the run before anything is written when an output would replace
// one of its inputs or another output, or could not be created.
void checkOutputs(const SearchInputs& inputs, const std::string& runBaseName,
                  const Options& options,
                  const std::vector<std::unique_ptr<CollectionSearch>>& searches) {
    std::vector<std::string> outputs = sharedOutputs(runBaseName, options);
    for (const auto& search : searches) {
        for (const auto& other : searches) {
            if (other == search) {
                break;
            }
            if (other->title == search->title) {
                const std::string which =
                    other->path == search->path
                        ? "two collections of " + search->path
                        : "collections " + other->path + " and " + search->path;
                throw InputError(InputProblem::Overwrite, search->path,
                                 which + " have the same title, " + search->title +
                                     ": their results would replace each other");
            }
        }
        const std::vector<std::string> own =
            collectionOutputs(inputs, search->reportPrefix, search->resultsName, options);
        outputs.insert(outputs.end(), own.begin(), own.end());
    }
    std::vector<std::string> inputPaths = {inputs.sequencePath, inputs.optionsPath};
    for (const auto& search : searches) {
        inputPaths.push_back(search->path);
    }
    checkOutputsSpareInputs(outputs, inputPaths);
}

}  // namespace

std::string runSearch(const SearchInputs& inputs, const SearchControl& control) {
    const std::string runBaseName = inputs.outputFolder + inputs.sequenceTitle;
    OptionsReading reading;
    const Options runOptions = runSearchOptions(inputs, reading);
    const std::vector<std::unique_ptr<CollectionSearch>> searches =
        collectionSearches(inputs, runOptions);
    if (inputs.standardOutput && searches.size() > 1) {
        throw InputError(InputProblem::Options, searches.back()->path,
                         "Standard output takes the results of one collection; " +
                             searches.back()->path + " gives " + std::to_string(searches.size()));
    }
    checkOutputs(inputs, runBaseName, runOptions, searches);
    // The run log is that of the last collection's search.
    CollectionSearch& last = *searches.back();

    RunLog log(runBaseName + ".log", control.logEcho);
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
    // The first record comes alone: the background and the collection's
    // model depend on it, and whether a second record follows decides the
    // background's rule.
    PlacedRecord first;
    reader.next(first.record);
    first.to = reader.position();
    log.writeValue("Sequences read! - Time (s): ", clock.seconds());
    std::unique_ptr<SequenceLogs> sequenceLogs;
    if (runOptions.logResults) {
        sequenceLogs = std::make_unique<SequenceLogs>(runBaseName, first.record.format == 'G');
        sequenceLogs->add(first.record);
    }
    if (runOptions.backgroundFromGenome && !reader.more()) {
        computeBackgroundComposition(first.record);
    }

    for (const auto& search : searches) {
        const bool logged = search.get() == &last;
        if (logged) {
            log.writeLine("Reading site collection...");
        }
        search->collection = search->matrix
                                 ? collectionFromMatrix(*search->matrix, first.record)
                                 : loadCollection(search->path, first.record, inputs.rules);
        if (logged) {
            log.writeValue("Site collection read! - Time (s): ", clock.seconds());
        }
        if (search->options.logResults) {
            writeCollectionLogs(search->collection, search->reportPrefix);
        }
    }
    log.writeLine(" ");

    for (const auto& search : searches) {
        Options& options = search->options;
        search->workingHit = std::make_unique<SiteHit>(search->collection.siteLength);
        scoreCollectionAndFixCutOff(search->collection, options, first.record);
        search->distributions = std::make_unique<Distributions>(options, search->collection);
        std::optional<double> cutOffTail;  // the p-value of a cut-off taken from one
        if (inputs.pValue) {
            search->distributions->focusOnPValue(first.record, *inputs.pValue);
            const ScoreCutOff cut =
                search->distributions->of(first.record).cutOffFor(*inputs.pValue);
            options.cutOff = cut.score;
            options.literalCutOff = true;
            cutOffTail = cut.tail;
            if (searches.size() > kKeptDistributions) {
                // Hundreds of matrices: one distribution at a time, built
                // again when the p-values are written.
                search->distributions->release();
            }
        }
        if (options.logResults) {
            writeMotifScoreLog(search->collection, options, search->reportPrefix);
        }
        search->window = std::make_unique<IntegrativeWindow>(options);
        if (options.integrative) {
            relaxCutOff(options);
        }
        // A second thread each only for a few collections: the distributions
        // of hundreds of matrices would all be held at once.
        if (!inputs.pValue && writesPValues(inputs) && searches.size() <= kPreparedSearches) {
            search->distributions->prepare(first.record);
        }
        // What the cut-off means, known before any record is scanned.
        search->summary.collection = search->title;
        search->summary.cutOff = options.cutOff;
        if (control.onSummary) {
            search->summary.pValue = cutOffTail && !options.integrative
                                         ? *cutOffTail
                                         : cutOffPValue(search->collection, first.record,
                                                        options.cutOff, options.method);
        }
    }

    LoopProgress progress(control, reader.sizeHint(), log);
    const unsigned threads = resolveThreadCount(inputs.threads);
    std::vector<RecordLoop> loops;
    for (const auto& search : searches) {
        loops.push_back({search->collection, search->options, control, progress, loops.size(),
                         searches.size()});
        if (std::find(inputs.formats.begin(), inputs.formats.end(), ResultFormat::Csv) !=
            inputs.formats.end()) {
            search->table = std::make_unique<ResultsTableWriter>(
                resultsPath(search->resultsName, ResultFormat::Csv), threads);
        }
    }
    const bool keepRecords = keepsRecords(inputs);
    // Targets of thousands of small records write five lines each in quick
    // succession: flush them a few times a second rather than line by line.
    log.setFlushInterval(std::chrono::milliseconds(50));
    {
        RecordFeed feed(reader, first.to);
        PlacedRecord placed = std::move(first);
        for (size_t index = 0;; ++index) {
            throwIfCancelled(control);
            SequenceRecord& record = placed.record;
            if (index > 0 && sequenceLogs != nullptr) {
                sequenceLogs->add(record);
            }
            progress.startRecord(placed.from, placed.to);
            // Threads within a record pay only for long records.
            const unsigned recordThreads = record.sequence.size() >= kThreadedLength ? threads : 1;
            const bool complementable =
                fullyComplementable(record.sequence.data(), record.sequence.size());
            for (RecordLoop& loop : loops) {
                loop.complementable = complementable;
            }
            size_t recordHits = 0;
            for (size_t k = 0; k < searches.size(); ++k) {
                CollectionSearch& search = *searches[k];
                const bool logged = &search == &last;
                if (k > 0) {
                    clearScan(record);
                }
                analyzeRecord(record, index, loops[k], *search.workingHit, *search.window,
                              search.cache, recordThreads, logged ? &log : nullptr);
                if (logged) {
                    writeRecordEnd(record, clock, log);
                }
                if (search.table != nullptr) {
                    search.table->add(record);
                }
                search.summary.windows += static_cast<double>(record.windowsScored);
                search.summary.found += record.hits.size();
                recordHits += record.hits.size();
                if (keepRecords) {
                    if (logged) {
                        releaseText(record);
                        search.set.records.push_back(std::move(record));
                    } else {
                        search.set.records.push_back(resultsPart(record));
                    }
                }
            }
            progress.recordDone(recordHits);
            if (!feed.next(placed)) {
                break;
            }
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
            log.writeJoined("Saving results to ", search->resultsName);
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
