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
#include <vector>

#include "base/errors.h"
#include "base/run_log.h"
#include "base/tasks.h"
#include "motif/background_file.h"
#include "motif/site_collection.h"
#include "pipeline/collection_search.h"
#include "pipeline/progress.h"
#include "pipeline/regulon_search.h"
#include "pipeline/run_report.h"
#include "pipeline/search_outputs.h"
#include "pipeline/search_settings.h"
#include "pipeline/search_steps.h"
#include "report/collection_logs.h"
#include "report/reports.h"
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

// Records shorter than this are scanned on one thread: a thread's share of
// a few kilobases does not repay its start-up and the fresh memory it touches.
constexpr size_t kThreadedLength = 64 * 1024;

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

}  // namespace

std::string runSearch(const SearchInputs& inputs, const SearchControl& control) {
    const std::string runBaseName = inputs.outputFolder + inputs.sequenceTitle;
    OptionsReading reading;
    const Options runOptions = searchOptions(inputs, reading);
    if (const std::optional<SettingsProblem> problem = checkSettings(inputs)) {
        throw InputError(problem->usage ? InputProblem::Usage : InputProblem::Options,
                         problem->path, problem->message);
    }
    const Searches searches = collectionSearches(inputs, runOptions, control);
    checkRunOutputs(inputs, runOptions, searches);
    std::unique_ptr<RegulonRun> regulon;
    if (inputs.regulon) {
        regulon = std::make_unique<RegulonRun>(inputs, searches.size());
    }
    std::optional<BackgroundFile> backgroundFile;
    if (!inputs.backgroundPath.empty()) {
        backgroundFile = readBackgroundFile(inputs.backgroundPath);
        if (backgroundFile->higherOrderLines > 0) {
            note(control, "the background file's " +
                              std::to_string(backgroundFile->higherOrderLines) +
                              " lines of higher orders are passed over: the bases are drawn "
                              "independently");
        }
    }
    // The run log is that of the last collection's search.
    CollectionSearch& last = *searches.back();

    RunLog log(inputs.runLogFile ? runLogName(runBaseName) : std::string(), control.logEcho);
    checkLog(log);  // a run log that cannot be created fails the run at once
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

    if (regulon != nullptr && !runOptions.backgroundFromGenome && !inputs.pValue) {
        // The background every record gets is known before the first is read.
        SequenceRecord known;
        if (backgroundFile) {
            applyBackground(known, *backgroundFile);
        }
        regulon->foreseeModels(searches, inputs, known);
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
    chooseBackground(placed.record, reader.more(), runOptions, backgroundFile, control);

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
    const unsigned threads = resolveThreadCount(inputs.threads);
    fixCutOffs(searches, inputs, background, threads, control);
    if (regulon != nullptr) {
        regulon->startModels(searches, background);
    }

    LoopProgress progress(control, reader.sizeHint(), log);
    for (const auto& search : searches) {
        if (writesFormat(inputs, ResultFormat::Csv)) {
            search->table = std::make_unique<ResultsTableWriter>(
                resultsPath(search->names.resultsName, ResultFormat::Csv), threads);
        }
    }
    // Targets of thousands of small records write five lines each in quick
    // succession: flush them a few times a second rather than line by line.
    log.setFlushInterval(std::chrono::milliseconds(50));
    RecordFeed feed(reader, placed.to);
    CompositionSample composition;
    for (size_t index = 0;; ++index) {
        throwIfCancelled(control);
        const Topology stated = placed.record.topology;
        applyTopology(placed.record, inputs.topology);
        if (backgroundFile && index > 0) {
            applyBackground(placed.record, *backgroundFile);
        }
        if (regulon != nullptr) {
            regulon->prepareRecord(placed.record);
        }
        composition.add(placed.record.sequence);
        const SequenceRecord& record = placed.record;
        if (sequenceLogs != nullptr) {
            sequenceLogs->add(record);
        }
        progress.startRecord(placed.from, placed.to);
        // Threads within a record pay only for long records.
        const unsigned recordThreads = record.sequence.size() >= kThreadedLength ? threads : 1;
        // What every collection's results show of the record.
        const auto info = std::make_shared<const RecordInfo>(recordInfo(record, index));
        size_t recordHits = 0;
        // One collection: its operons scored beside the scan.
        if (regulon != nullptr && searches.size() == 1) {
            regulon->startRecord(record, *info, *searches.front(), background, control,
                                 recordThreads);
        }
        struct RowsGuard {
            RegulonRun* run;
            ~RowsGuard() {
                if (run != nullptr) {
                    run->abandonRows();  // a scan that failed: before the record goes
                }
            }
        } rowsGuard{regulon.get()};
        // Several collections: one scan of the record for them all.
        std::vector<RecordHits> each;
        if (searches.size() > 1) {
            each = analyzeRecordWithEach(record, index, searches, log, progress, control,
                                         recordThreads, inputs.skipAmbiguous);
        }
        for (size_t k = 0; k < searches.size(); ++k) {
            CollectionSearch& search = *searches[k];
            RunLog* const searchLog = &search == &last ? &log : nullptr;
            RecordHits found =
                searches.size() > 1
                    ? std::move(each[k])
                    : analyzeRecord(record, index, search, progress, k, searches.size(), control,
                                    recordThreads, inputs.skipAmbiguous, searchLog);
            if (searchLog != nullptr) {
                writeRecordEnd(record, clock, log);
            }
            if (search.table != nullptr) {
                search.table->add(*info, found);
            }
            countHits(search.summary, *info, found, stated);
            recordHits += found.hits.size();
            if (regulon != nullptr) {
                regulon->addRecord(record, *info, k, search, found, background, control,
                                   recordThreads);
            }
            if (search.rows != nullptr) {
                search.rows->add(*info, found, [&search, &background](double score) {
                    return pValueNow(search, background, score);
                });
            }
            if (search.keepsReport) {
                keepForReport(search, *info, record, found);
            }
        }
        progress.recordDone(recordHits);
        if (regulon != nullptr) {
            regulon->finishRecord();
        }
        if (!feed.next(placed)) {
            break;
        }
    }
    log.setFlushInterval(std::chrono::milliseconds(0));
    if (sequenceLogs != nullptr) {
        sequenceLogs->commit();
    }
    if (const size_t left = reader.recordsLeft(); left > 0) {
        note(control, std::to_string(left) + " more GenBank record" + (left == 1 ? "" : "s") +
                          " of " + inputs.sequencePath +
                          " not searched: only the first is, unless --all-records");
    }
    composition.noteIfFar(background, control);
    if (regulon != nullptr) {
        regulon->checkGenesFound(control);
    }

    // Each collection's p-values and q-values: on its own, or with every
    // collection's together.
    std::vector<PValues> tests;
    std::vector<Significance> significance(searches.size());
    if (writesPValues(inputs)) {
        for (const auto& search : searches) {
            tests.push_back(resultPValues(*search, background, control));
            search->rows->release();
            if (searches.size() > kKeptDistributions) {
                search->distributions->release();
            }
        }
        std::vector<const PValues*> all;
        for (size_t k = 0; k < searches.size(); ++k) {
            all.push_back(&tests[k]);
            if (!inputs.pooledQValues && !searches[k]->rows->overflowed()) {
                significance[k].qValues = std::move(qValuesOf({&tests[k]}).front());
            }
        }
        if (inputs.pooledQValues) {
            std::vector<std::vector<double>> pooled = qValuesOf(all);
            for (size_t k = 0; k < searches.size(); ++k) {
                if (!searches[k]->rows->overflowed()) {
                    significance[k].qValues = std::move(pooled[k]);
                }
            }
        }
        for (size_t k = 0; k < searches.size(); ++k) {
            significance[k].pValues = std::move(tests[k].hits);
            if (searches[k]->rows->overflowed()) {
                note(control, searches[k]->names.title + ": more than " +
                                  std::to_string(inputs.maxStoredHits) +
                                  " windows passed the cut-off: their q-values are left empty "
                                  "(--max-stored-hits raises the limit)");
            }
        }
    }

    if (regulon != nullptr) {
        regulon->startWriting(inputs, searches);
    }
    std::string written;
    for (size_t k = 0; k < searches.size(); ++k) {
        CollectionSearch& search = *searches[k];
        const bool logged = &search == &last;
        if (logged) {
            log.writeJoined("Saving results to ", search.names.resultsName);
            checkLog(log);
        }
        const std::string path = writeAllResults(inputs, control, search, significance[k]);
        if (search.keepsReport) {
            search.significance = significance[k];
        }
        search.distributions.reset();  // written: its p-values are not needed again
        if (written.empty()) {
            written = path;
        }
        if (logged) {
            checkLog(log);
        }
        if (control.onSummary || search.keepsReport) {
            summarizeCutOff(search, background);
        }
        if (control.onSummary) {
            search.summary.expected = search.summary.pValue * search.summary.windows;
            control.onSummary(search.summary);
        }
    }
    writeOneTable(inputs, searches, significance, control);
    if (regulon != nullptr) {
        regulon->finishWriting(searches, control);
    }
    writeRunReport(inputs, searches,
                   regulon != nullptr ? regulon->tables() : std::vector<const RegulonTable*>{});
    if (regulon != nullptr && control.endsProcess) {
        // Held from a static pointer: memory the process keeps to its end,
        // not lost.
        static auto* const kept = new std::vector<std::unique_ptr<RegulonRun>>();
        kept->push_back(std::move(regulon));
    }
    return written;
}

}  // namespace xoprex
