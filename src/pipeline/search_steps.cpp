#include "pipeline/search_steps.h"

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "base/errors.h"
#include "pipeline/regulon_search.h"
#include "pipeline/search_outputs.h"
#include "report/result_formats.h"
#include "scan/annotation.h"
#include "scan/scan.h"

namespace xoprex {

void note(const SearchControl& control, const std::string& text) {
    if (control.onNote) {
        control.onNote(text);
    }
}

void checkRunOutputs(const SearchInputs& inputs, const Options& options, const Searches& searches) {
    std::vector<NamedCollection> named;
    std::vector<std::string> inputPaths = {inputs.sequencePath, inputs.optionsPath,
                                           inputs.backgroundPath};
    inputPaths.insert(inputPaths.end(), inputs.otherInputs.begin(), inputs.otherInputs.end());
    if (inputs.regulon) {
        inputPaths.push_back(inputs.regulon->annotationPath);
    }
    for (const CollectionSource& source : inputs.collections) {
        inputPaths.push_back(source.path);
    }
    for (const auto& search : searches) {
        named.push_back(search->names);
    }
    std::vector<std::string> runFiles = {inputs.outTablePath, inputs.reportPath};
    const std::vector<std::string> regulonTables = regulonOutputNames(inputs, searches);
    runFiles.insert(runFiles.end(), regulonTables.begin(), regulonTables.end());
    checkSearchOutputs(named, inputs.outputFolder + inputs.sequenceTitle, inputs.formats,
                       options.logResults, inputs.runLogFile, runFiles, inputPaths);
    // Each collection's results table is written as the records pass, its
    // file open from the start: thousands of matrices may need more files
    // than the system lets one process hold.
    rlimit files{};
    constexpr size_t kOtherFiles = 64;  // inputs, logs, temporaries, the system's own
    if (writesFormat(inputs, ResultFormat::Csv) && ::getrlimit(RLIMIT_NOFILE, &files) == 0 &&
        files.rlim_cur != RLIM_INFINITY && searches.size() + kOtherFiles > files.rlim_cur) {
        throw InputError(InputProblem::Usage, "",
                         std::to_string(searches.size()) +
                             " collections would each hold their results table open, more files "
                             "than this process may hold (" +
                             std::to_string(files.rlim_cur) +
                             ", ulimit -n): write one table of every collection with --stdout "
                             "or --out-table instead, or search fewer at a time");
    }
}

void applyTopology(SequenceRecord& record, TopologyRule rule) {
    switch (rule) {
        case TopologyRule::Circular:
            record.topology = Topology::Circular;
            break;
        case TopologyRule::Linear:
            record.topology = Topology::Linear;
            break;
        case TopologyRule::Auto:
            if (record.topology == Topology::Unstated) {
                record.topology = Topology::Linear;
            }
            break;
    }
}

void countHits(SearchControl::Summary& summary, const RecordInfo& record, const RecordHits& found,
               Topology stated) {
    summary.windows += static_cast<double>(found.windowsScored);
    summary.passed += found.hits.size() + found.droppedScores.size();
    summary.found += found.hits.size();
    for (const SiteHit& hit : found.hits) {
        const std::string_view site = hit.site.view();
        summary.ambiguous += std::all_of(site.begin(), site.end(), isBase) ? 0 : 1;
        if (stated != Topology::Circular &&
            siteSpan(record, hit).end > static_cast<int64_t>(record.length)) {
            ++summary.acrossEnds;
        }
    }
}

void chooseBackground(SequenceRecord& first, bool severalRecords, const Options& options,
                      const std::optional<BackgroundFile>& file, const SearchControl& control) {
    if (file) {
        applyBackground(first, *file);
        if (options.backgroundFromGenome) {
            note(control,
                 "the background file replaces option 3 (the background from the "
                 "target's composition)");
        }
    } else if (options.backgroundFromGenome && severalRecords) {
        note(control,
             "option 3 (the background from the target's composition) applies to "
             "targets of one record only: the records of this one are scored against "
             "the uniform background (--bgfile gives them another)");
    } else if (options.backgroundFromGenome) {
        computeBackgroundComposition(first);
    }
}

void writeOneTable(const SearchInputs& inputs, const Searches& searches,
                   const std::vector<Significance>& significance, const SearchControl& control) {
    std::vector<ResultRows*> sets;
    for (const auto& search : searches) {
        sets.push_back(search->rows.get());
    }
    if (!inputs.outTablePath.empty()) {
        OutputFile file(inputs.outTablePath);
        const ResultFormat format = outTableFormat(inputs);
        writeTable(format, sets, significance, file);
        file.commit();
        if (control.onOutput) {
            control.onOutput(format, inputs.outTablePath);
        }
    }
    if (inputs.standardOutput) {
        StreamSink out(std::cout, "standard output");
        writeTable(*inputs.standardOutput, sets, significance, out);
    }
}

void CompositionSample::add(const std::string& text) {
    if (at_ + gc_ >= kSampledBases) {
        return;
    }
    const std::array<size_t, 4> counts = countBases(text.data(), text.size());
    gc_ += counts[1] + counts[2];
    at_ += counts[0] + counts[3];
}

void CompositionSample::noteIfFar(const SequenceRecord& background,
                                  const SearchControl& control) const {
    if (at_ + gc_ == 0) {
        return;
    }
    const double target = static_cast<double>(gc_) / static_cast<double>(at_ + gc_);
    const auto& p = background.backgroundFrequencies;
    const double assumed = (p[1] + p[2]) / (p[0] + p[1] + p[2] + p[3]);
    if (std::fabs(target - assumed) > 0.10) {
        note(control, "the target is " + std::to_string(std::lround(100 * target)) +
                          "% G + C and the background " +
                          std::to_string(std::lround(100 * assumed)) +
                          "%: the hits expected by chance assume that background "
                          "(--bgfile FILE or --background genome give another)");
    }
}

std::vector<RecordHits> analyzeRecordWithEach(const SequenceRecord& record, size_t index,
                                              const Searches& searches, RunLog& log,
                                              LoopProgress& progress, const SearchControl& control,
                                              unsigned threads, bool skipAmbiguous) {
    const double sequenceNumber = static_cast<double>(index + 1);
    log.writeValue("Analyzing sequence: ", sequenceNumber);
    ScanControl scanControl;
    scanControl.cancel = control.cancel;
    scanControl.threads = threads;
    scanControl.skipAmbiguous = skipAmbiguous;
    scanControl.onProgress = [&progress](double share) { progress.report(share); };
    std::vector<RecordHits> each(searches.size());
    std::vector<CollectionScan> scans;
    for (size_t k = 0; k < searches.size(); ++k) {
        CollectionSearch& search = *searches[k];
        scans.push_back(
            {&search.collection, &search.options, search.window.get(), &each[k], &search.cache});
    }
    findHitsOfEach(record, scans, scanControl);
    progress.report(1.0);
    log.writeValue("Sorting results for sequence: ", sequenceNumber);
    for (size_t k = 0; k < searches.size(); ++k) {
        annotateHits(record, each[k], searches[k]->options);
    }
    return each;
}

}  // namespace xoprex
