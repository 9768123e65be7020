// The regulon part of a search (SearchInputs::regulon): the records' genes
// (their own, or an annotation file's), their operons, and for every
// collection each operon's promoter region scored and its posterior
// probability of regulation (regulon/regulation_model.h), gathered as the
// records pass and written at the end. Raises InputError for a bad
// annotation file, a gene of it beyond its record, and a target none of
// whose records has genes; the writers raise OutputError.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/tasks.h"
#include "pipeline/collection_search.h"
#include "motif/score_distribution.h"
#include "pipeline/run_search.h"
#include "regulon/operons.h"
#include "regulon/promoter_region.h"
#include "regulon/regulation_model.h"
#include "report/regulon_table.h"
#include "seqio/gff3_reader.h"

namespace xoprex {

// The names of the regulon tables of the run (none when they go to
// standard output), for the checks before anything is written.
std::vector<std::string> regulonOutputNames(const SearchInputs& inputs, const Searches& searches);

// What a collection's model is made from: the null model of its window
// scores, the fit of its self-scores and the distribution's tuning. The bins'
// null masses and the best windows' p-values are wanted to within 1%: the
// model's distribution is its own, cheaper than the p-values' one (its tail
// beyond the cut-off exact, the rest a grid). Equal inputs make equal models.
struct ModelInputs {
    NullModel null;
    SiteScoreFit fit;
    ScoreDistributionTuning tuning = roughFigureTuning();
};
bool operator==(const ModelInputs& a, const ModelInputs& b);
ModelInputs modelInputs(const SiteCollection& collection, const Options& options,
                        const SequenceRecord& background);

// A model and its distribution, or neither when out of reach.
struct MadeModel {
    std::unique_ptr<ScoreDistribution> distribution;
    std::unique_ptr<RegulationModel> model;
};
MadeModel makeModel(const ModelInputs& inputs);

class RegulonRun {
  public:
    // Reads the annotation file, if any.
    RegulonRun(const SearchInputs& inputs, size_t collections);
    ~RegulonRun();
    RegulonRun(const RegulonRun&) = delete;
    RegulonRun& operator=(const RegulonRun&) = delete;

    // Before the first record is read, when every record's background is
    // known (`background`: the uniform one or a background file's) and the
    // cut-offs need no p-value distribution: the models of a few
    // collections, from a reading of their own, on a second thread while
    // the record is read. startModels keeps those whose inputs prove the
    // same as the search's; a model foreseen wrong is only time lost.
    void foreseeModels(const Searches& searches, const SearchInputs& inputs,
                       const SequenceRecord& background);

    // Sets about the collections' models once their cut-offs are fixed (a
    // few of them on a second thread, while the first record is scanned).
    void startModels(const Searches& searches, const SequenceRecord& background);

    // Gives the record its genes from the annotation, and groups them into
    // operons (its topology decided); before the record is scanned.
    void prepareRecord(SequenceRecord& record);

    // With one collection, before the record is scanned: its operons scored
    // on a second thread beside the scan (for a record of many operons and
    // `threads` of at least 2), addRecord then taking its share and the
    // sites. abandonRows stops and waits for that thread (when the scan
    // fails: before the record goes).
    void startRecord(const SequenceRecord& record, const RecordInfo& info,
                     CollectionSearch& search, const SequenceRecord& background,
                     const SearchControl& control, unsigned threads);
    void abandonRows() noexcept;

    // The record's operons with the k-th collection, its hits found; on up
    // to `threads` threads for a record of many operons (the rows are the
    // same whatever the count).
    void addRecord(const SequenceRecord& record, const RecordInfo& info, size_t k,
                   CollectionSearch& search, const RecordHits& found,
                   const SequenceRecord& background, const SearchControl& control,
                   unsigned threads);

    // Once every collection has had the record.
    void finishRecord();

    // After the last record: InputError when no record had genes; a note
    // for sequences of the annotation that no record matched.
    void checkGenesFound(const SearchControl& control) const;

    // Each collection's table, settled (the p-values of the best windows, to
    // within 1%, the posteriors and the order of the rows) and its file
    // written on a second thread from startWriting on, while the search
    // writes its own; finishWriting waits for them (raising what they
    // raised), gives each summary and writes the one table on standard
    // output.
    void startWriting(const SearchInputs& inputs, const Searches& searches);
    void finishWriting(const Searches& searches, const SearchControl& control);

    // Each collection's table, in the order of the collections (complete
    // once settled).
    std::vector<const RegulonTable*> tables() const;

    struct Collection;

  private:
    // Operons of a record from which its regions are scored on several
    // threads, and of one task.
    static constexpr size_t kThreadedOperons = 64;
    static constexpr size_t kOperonsPerTask = 32;
    // Room for most rows' lines at once.
    static constexpr size_t kLineRoom = 384;

    struct Worker;
    void settle();
    static void setModel(Collection& part, const CollectionSearch& search,
                         const SequenceRecord& background);
    Collection& modelled(size_t k, CollectionSearch& search, const SequenceRecord& background,
                         const SearchControl& control);
    RegulonRow operonRow(const SequenceRecord& record, const RecordInfo& info, size_t j,
                         const CollectionSearch& search, const Collection& part,
                         const HitPlaces* hits, Worker& worker) const;
    Collection& setOutRows(const SequenceRecord& record, const RecordInfo& info, size_t k,
                           CollectionSearch& search, const SequenceRecord& background,
                           const SearchControl& control, unsigned workers);
    void scoreChunks(unsigned worker);
    static bool madeAhead(Collection& part, size_t before);
    static void makeLine(RegulonTable& table, size_t row);

    const RegulonSettings settings_;
    std::string targetPath_;
    bool skipAmbiguous_ = false;
    std::unique_ptr<GeneAnnotation> annotation_;
    std::unordered_set<std::string> matched_;
    std::vector<std::unique_ptr<Collection>> collections_;
    // The record being searched.
    std::vector<Operon> operons_;
    std::unique_ptr<RecordStrands> strands_;
    std::vector<std::unique_ptr<Worker>> workers_;
    size_t operonsBefore_ = 0;
    bool anyGenes_ = false;
    std::vector<std::pair<ModelInputs, MadeModel>> foreseen_;
    // The rows begun beside the scan (startRecord): what they read, and
    // where they start in the table.
    struct Early {
        const SequenceRecord* record = nullptr;
        const RecordInfo* info = nullptr;
        const CollectionSearch* search = nullptr;
        Collection* part = nullptr;
        size_t before = 0;
    } early_;
    std::atomic<size_t> nextChunk_{0};
    // Last: joined before the collections they build or write go.
    BackgroundThread foreseeing_;
    BackgroundThread modelling_;
    BackgroundThread writing_;
    BackgroundThread rowsJob_;
};

}  // namespace xoprex
