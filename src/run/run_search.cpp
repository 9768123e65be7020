#include "run/run_search.h"

#include <ctime>
#include <filesystem>

#include "motif/cutoff.h"
#include "motif/site_collection.h"
#include "options/options_file.h"
#include "report/reports.h"
#include "run/run_log.h"
#include "scan/integrative.h"
#include "scan/scan.h"
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

void readRunOptions(Options& options, const std::string& path, RunLog& log) {
    setDefaults(options, log);
    if (readOptionsFile(options, path, log)) {
        log.writeLine("Options read!");
        return;
    }
    setDefaults(options, log);
    log.writeLine("WARNING: options not read or read incorrectly. Running on default options.");
}

void throwIfCancelled(const SearchControl& control) {
    if (control.cancel != nullptr && control.cancel->load()) {
        throw SearchCancelled();
    }
}

// Scans, re-scores, sorts and annotates one record, reporting its share of
// the whole scan through the control.
void analyzeRecord(SequenceRecord& record, size_t index, size_t count,
                   const SiteCollection& collection, const Options& options, SiteHit& workingHit,
                   IntegrativeWindow& window, const SearchControl& control, RunLog& log) {
    const double sequenceNumber = static_cast<double>(index + 1);
    log.writeValue("Analyzing sequence: ", sequenceNumber);
    ScanControl scanControl;
    scanControl.cancel = control.cancel;
    if (control.onProgress) {
        scanControl.onProgress = [&control, index, count](double share) {
            control.onProgress((static_cast<double>(index) + share) / static_cast<double>(count));
        };
    }
    reserveHitCapacity(record, collection.model);
    scanRecord(record, collection, options, workingHit, window, scanControl);
    shrinkHitList(record);
    if (options.integrative) {
        record.globalMean = window.globalSum;
        rescoreHits(record, options);
    }
    log.writeValue("Sorting results for sequence: ", sequenceNumber);
    sortHits(options, record);
    annotateHits(record, options);
}

}  // namespace

std::string runSearch(const SearchInputs& inputs, const SearchControl& control) {
    const std::string runBaseName = inputs.outputFolder + inputs.sequenceTitle;
    const std::string reportPrefix = runBaseName + "_" + inputs.collectionTitle;
    RunLog log(runBaseName + ".log");
    if (control.onLine) {
        log.setObserver(control.onLine);
    }
    const ElapsedClock clock;

    Options options;
    readRunOptions(options, inputs.optionsPath, log);

    log.writeLine("Reading sequences...");
    SequenceSet set = readSequences(inputs.sequencePath);
    log.writeValue("Sequences read! - Time (s): ", clock.seconds());
    if (options.logResults) {
        writeSequenceLogs(set, runBaseName);
    }
    set.current = 0;
    if (options.backgroundFromGenome && set.records.size() < 2) {
        computeBackgroundComposition(set.records[set.current]);
    }

    log.writeLine("Reading site collection...");
    SiteCollection collection = loadCollection(inputs.collectionPath, set.records[set.current]);
    log.writeValue("Site collection read! - Time (s): ", clock.seconds());
    if (options.logResults) {
        writeCollectionLogs(collection, reportPrefix);
    }
    log.writeLine(" ");

    SiteHit workingHit(collection.siteLength);
    set.current = 0;
    scoreCollectionAndFixCutOff(collection, options, set.records[set.current], reportPrefix);
    IntegrativeWindow window(options);
    if (options.integrative) {
        relaxCutOff(options);
    }

    const size_t count = set.records.size();
    for (set.current = 0; set.current < count; ++set.current) {
        throwIfCancelled(control);
        SequenceRecord& record = set.records[set.current];
        analyzeRecord(record, set.current, count, collection, options, workingHit, window, control,
                      log);
        log.writeLine(record.description);
        log.writeValue("Sequence analyzed! - Time (s): ", clock.seconds());
        log.writeLine(" ");
    }
    set.current = 0;

    const std::string resultsName =
        resultsFileName(options, inputs.outputFolder, inputs.sequenceTitle, inputs.collectionTitle);
    log.writeJoined("Saving results to ", resultsName);
    writeResultsTable(options, set, resultsName);
    return resultsName;
}

std::string fileTitle(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

std::string folderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty()) {
        return "";
    }
    std::string folder = parent.string();
    if (folder.back() != std::filesystem::path::preferred_separator) {
        folder += std::filesystem::path::preferred_separator;
    }
    return folder;
}

}  // namespace xoprex
