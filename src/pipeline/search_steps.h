// The steps runSearch puts in order: the run's outputs checked before
// anything is written, a record's topology and background, one scan of a
// record for every collection, the summary's counts, the G + C sample of
// the target and the one table of every collection. Each step fails as
// its parts do: InputError for a refused combination or name, OutputError
// for a file that cannot be written, SearchCancelled when asked to stop.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/records.h"
#include "base/run_log.h"
#include "motif/background_file.h"
#include "pipeline/collection_search.h"
#include "pipeline/progress.h"
#include "pipeline/run_search.h"

namespace xoprex {

// Hands a note to the front end, if it takes notes.
void note(const SearchControl& control, const std::string& text);

// Every name the run will write, checked against the inputs, each other and
// the file system (search_outputs.h), and the number of results tables the
// process may hold open at once.
void checkRunOutputs(const SearchInputs& inputs, const Options& options, const Searches& searches);

// The record's topology as the search scans it.
void applyTopology(SequenceRecord& record, TopologyRule rule);

// What the summary counts of a record's hits: the windows that passed (the
// hits and the windows the both-strand rule dropped), the hits, those
// holding other letters than bases, and those across the end of a record
// whose file does not say it is circular.
void countHits(SearchControl::Summary& summary, const RecordInfo& record, const RecordHits& found,
               Topology stated);

// The first record's background: a background file's, or with option 3 a
// one-record target's own composition; and a note of what was not applied.
void chooseBackground(SequenceRecord& first, bool severalRecords, const Options& options,
                      const std::optional<BackgroundFile>& file, const SearchControl& control);

// The G + C share of a sample of the target's bases (its first records, up
// to kSampledBases), against the background's.
class CompositionSample {
  public:
    void add(const std::string& text);
    // A note when the sample's G + C share is more than ten points from the
    // background's.
    void noteIfFar(const SequenceRecord& background, const SearchControl& control) const;

  private:
    static constexpr size_t kSampledBases = 4'000'000;
    size_t gc_ = 0;
    size_t at_ = 0;
};

// The one table of every collection's rows: to standard output and to its
// file, when asked for.
void writeOneTable(const SearchInputs& inputs, const Searches& searches,
                   const std::vector<Significance>& significance, const SearchControl& control);

// The hits of one record with every collection, sorted and annotated, as
// analyzeRecord gives them one collection after the other, from one scan of
// the record for them all (findHitsOfEach); the lines of the collection
// whose run log it is go to `log`.
std::vector<RecordHits> analyzeRecordWithEach(const SequenceRecord& record, size_t index,
                                              const Searches& searches, RunLog& log,
                                              LoopProgress& progress, const SearchControl& control,
                                              unsigned threads, bool skipAmbiguous);

}  // namespace xoprex
