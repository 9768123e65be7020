#include "pipeline/regulon_search.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <stdexcept>

#include "base/errors.h"
#include "base/number_format.h"
#include "base/tasks.h"
#include "motif/count_matrix.h"
#include "motif/cutoff.h"
#include "motif/scoring.h"
#include "motif/site_collection.h"
#include "report/result_formats.h"
#include "report/result_schema.h"
#include "scan/integrative.h"

namespace xoprex {

// One collection's part: its model (made with its first operon), the term
// table of the records' background, and its rows.
struct RegulonRun::Collection {
    bool set = false;    // its model's inputs
    bool built = false;  // the model made, or found out of reach
    bool tried = false;  // asked for by an operon
    ModelInputs inputs;
    MadeModel made;
    std::vector<uint32_t> rowOrder;  // to put the rows in once their lines are written
    TermTable terms;
    std::array<double, 4> termsBackground{};
    bool hasTerms = false;
    size_t termsMade = 0;  // tells the workers' kernels when to be made again
    RegulonTable table;
};

namespace {

// The best window's p-value, to within 1% (none when out of reach).
void setBestPValue(const ScoreDistribution& distribution, RegulonRow& row) {
    if (!row.hasBest) {
        return;
    }
    try {
        row.bestPValue = distribution.roughPValue(row.bestScore, RegulationModel::kTailError);
    } catch (const std::length_error&) {
    } catch (const std::invalid_argument&) {
    }
}

std::string describeFit(const SiteScoreFit& fit, size_t sites) {
    std::string text = "normal, mean " + formatGeneralC(fit.mean, 8) + ", standard deviation " +
                       formatGeneralC(fit.deviation, 8);
    return text + (fit.fromSites ? " (the self-scores of " + std::to_string(sites) + " sites)"
                                 : " (the scores of words drawn from the model)");
}

// Whether a gene of the annotation lies beyond its record: it starts past
// the end, or is longer than the record (a gene across the origin of a
// circular record ends past it).
bool beyondRecord(const GeneRecord& gene, int64_t length) {
    const int64_t left = std::min(gene.begin, gene.end);
    const int64_t right = std::max(gene.begin, gene.end);
    return left > length || right - left >= length;
}

}  // namespace

std::vector<std::string> regulonOutputNames(const SearchInputs& inputs, const Searches& searches) {
    std::vector<std::string> names;
    if (inputs.regulon && !inputs.regulon->standardOutput) {
        for (const auto& search : searches) {
            names.push_back(regulonTableName(search->names.reportPrefix));
        }
    }
    return names;
}

RegulonRun::RegulonRun(const SearchInputs& inputs, size_t collections)
    : settings_(*inputs.regulon),
      targetPath_(inputs.sequencePath),
      skipAmbiguous_(inputs.skipAmbiguous) {
    if (!settings_.annotationPath.empty()) {
        annotation_ = std::make_unique<GeneAnnotation>(readGff3File(settings_.annotationPath));
    }
    for (size_t k = 0; k < collections; ++k) {
        collections_.push_back(std::make_unique<Collection>());
    }
}

RegulonRun::~RegulonRun() = default;

void RegulonRun::prepareRecord(SequenceRecord& record) {
    if (annotation_) {
        record.genes.clear();
        const auto found = annotation_->genes.find(record.name);
        if (found != annotation_->genes.end()) {
            matched_.insert(record.name);
            const auto length = static_cast<int64_t>(record.sequence.size());
            for (const AnnotatedGene& annotated : found->second) {
                if (beyondRecord(annotated.gene, length)) {
                    throw InputError(InputProblem::Format, annotation_->name,
                                     "Incorrect annotation file! - " + annotation_->name +
                                         ", line " + std::to_string(annotated.line) +
                                         ": the gene lies beyond the end of record " + record.name +
                                         " (" + std::to_string(length) + " bases) of " +
                                         targetPath_);
                }
                record.genes.push_back(annotated.gene);
            }
        }
    }
    anyGenes_ = anyGenes_ || !record.genes.empty();
    OperonRules rules;
    rules.maxGap = settings_.operonGap;
    rules.grouped = settings_.operons;
    operons_ = groupOperons(record.genes, static_cast<int64_t>(record.sequence.size()),
                            record.topology != Topology::Linear, rules);
    strands_.reset();
}

ModelInputs modelInputs(const SiteCollection& collection, const Options& options,
                        const SequenceRecord& background) {
    ModelInputs inputs;
    inputs.null = windowNullModel(options.method, collection, background);
    inputs.fit = siteScoreFit(collection, inputs.null);
    inputs.tuning.focus = options.cutOff;
    return inputs;
}

bool operator==(const ModelInputs& a, const ModelInputs& b) {
    return a.null.terms == b.null.terms && a.null.background == b.null.background &&
           a.null.lowerIsBetter == b.null.lowerIsBetter && a.fit.mean == b.fit.mean &&
           a.fit.deviation == b.fit.deviation && a.fit.fromSites == b.fit.fromSites &&
           a.tuning.focus == b.tuning.focus;
}

MadeModel makeModel(const ModelInputs& inputs) {
    MadeModel made;
    try {
        made.distribution = std::make_unique<ScoreDistribution>(inputs.null, inputs.tuning);
        made.model = std::make_unique<RegulationModel>(*made.distribution, inputs.null, inputs.fit);
    } catch (const std::length_error&) {
        made.distribution.reset();
    } catch (const std::invalid_argument&) {
        made.distribution.reset();
    }
    return made;
}

void RegulonRun::foreseeModels(const Searches& searches, const SearchInputs& inputs,
                               const SequenceRecord& background) {
    if (searches.size() > kPreparedSearches) {
        return;
    }
    // Everything the second thread reads is its own copy.
    std::vector<std::pair<std::optional<CountMatrix>, Options>> sources;
    std::vector<std::string> paths;
    for (const auto& search : searches) {
        std::error_code error;
        if (!search->matrix && !std::filesystem::is_regular_file(search->names.path, error)) {
            return;  // read once only (a pipe, standard input)
        }
        sources.emplace_back(search->matrix, search->options);
        paths.push_back(search->names.path);
    }
    foreseen_.resize(searches.size());
    foreseeing_.start([this, sources = std::move(sources), paths = std::move(paths),
                       rules = inputs.rules, background] {
        for (size_t k = 0; k < sources.size(); ++k) {
            try {
                const auto& [matrix, given] = sources[k];
                SiteCollection collection = matrix ? collectionFromMatrix(*matrix, background)
                                                   : loadCollection(paths[k], background, rules);
                Options options = given;
                scoreCollectionAndFixCutOff(collection, options, background);
                if (options.integrative) {
                    relaxCutOff(options);
                }
                foreseen_[k].first = modelInputs(collection, options, background);
                foreseen_[k].second = makeModel(foreseen_[k].first);
            } catch (...) {
                // The search reads the collection again, and says what is wrong.
                foreseen_[k].second = MadeModel();
            }
        }
    });
}

void RegulonRun::setModel(Collection& part, const CollectionSearch& search,
                          const SequenceRecord& background) {
    if (part.set) {
        return;
    }
    part.inputs = modelInputs(search.collection, search.options, background);
    part.set = true;
}

void RegulonRun::startModels(const Searches& searches, const SequenceRecord& background) {
    if (foreseeing_.running()) {
        foreseeing_.join();
    }
    for (size_t k = 0; k < searches.size(); ++k) {
        Collection& part = *collections_[k];
        setModel(part, *searches[k], background);
        if (k < foreseen_.size() && foreseen_[k].second.model != nullptr &&
            foreseen_[k].first == part.inputs) {
            part.made = std::move(foreseen_[k].second);
            part.built = true;
        }
    }
    foreseen_.clear();
    const bool built = std::all_of(collections_.begin(), collections_.end(),
                                   [](const auto& part) { return part->built; });
    // The models of a few collections are made beside the first record's
    // scan; those of many as their operons come, one at a time.
    if (!built && searches.size() <= kPreparedSearches) {
        modelling_.start([this] {
            for (const auto& part : collections_) {
                if (!part->built) {
                    part->made = makeModel(part->inputs);
                    part->built = true;
                }
            }
        });
    }
}

RegulonRun::Collection& RegulonRun::modelled(size_t k, CollectionSearch& search,
                                             const SequenceRecord& background,
                                             const SearchControl& control) {
    Collection& part = *collections_[k];
    if (part.tried) {
        return part;
    }
    part.tried = true;
    if (modelling_.running()) {
        modelling_.join();
    }
    setModel(part, search, background);
    if (!part.built) {
        part.made = makeModel(part.inputs);
        part.built = true;
    }
    if (part.made.model == nullptr && control.onNote) {
        control.onNote(search.names.title +
                       ": the distribution of its window scores is out of reach: the posteriors "
                       "of its operons are left empty");
    }
    if (collections_.size() > kKeptDistributions) {
        part.made.distribution.reset();  // made again for the p-values
    }
    return part;
}

// What one thread keeps while it scores promoter regions: its kernel over
// the collection's terms and its buffers.
struct RegulonRun::Worker {
    std::unique_ptr<WindowScores> scores;
    const TermTable* table = nullptr;
    size_t made = 0;
    RegionWindows region;
    std::vector<PositionRange> ranges;
    double density = -1.0;
    RegulationModel::WindowTerms terms;  // the model's window terms for `density`
    RegionEvidence evidence;             // of the collection being scored
};

bool RegulonRun::madeAhead(Collection& part, size_t before) {
    // The rows' lines are made beside them once their p-values are known
    // (the distribution kept), so that writing the sorted table only joins
    // them; else (and for every row from then on) as the table is written.
    RegulonTable& table = part.table;
    const bool lines = table.lines.size() == before &&
                       (part.made.distribution != nullptr || part.made.model == nullptr);
    if (!lines) {
        table.lines.clear();
    }
    return lines;
}

void RegulonRun::makeLine(RegulonTable& table, size_t row) {
    std::string& line = table.lines[row];
    line.reserve(kLineRoom);
    appendRegulonRow(line, table.rows[row], table.context);
}

RegulonRun::Collection& RegulonRun::setOutRows(const SequenceRecord& record, const RecordInfo& info,
                                               size_t k, CollectionSearch& search,
                                               const SequenceRecord& background,
                                               const SearchControl& control, unsigned workers) {
    Collection& part = modelled(k, search, background, control);
    const Options& options = search.options;
    if (!part.hasTerms || part.termsBackground != record.backgroundFrequencies) {
        part.terms = TermTable(options.method, search.collection, record);
        part.termsBackground = record.backgroundFrequencies;
        part.hasTerms = true;
        ++part.termsMade;
    }
    if (strands_ == nullptr) {
        strands_ = std::make_unique<RecordStrands>(record, info.uncomplemented.empty());
    }
    while (workers_.size() < workers) {
        workers_.push_back(std::make_unique<Worker>());
    }
    for (unsigned w = 0; w < workers; ++w) {
        Worker& worker = *workers_[w];
        if (worker.table != &part.terms || worker.made != part.termsMade) {
            worker.scores = std::make_unique<WindowScores>(part.terms);
            worker.table = &part.terms;
            worker.made = part.termsMade;
            worker.density = -1.0;
        }
        worker.evidence.model = part.made.model.get();
        worker.evidence.terms = [this, &worker,
                                 &part](size_t windows) -> const RegulationModel::WindowTerms& {
            const double density =
                settings_.siteDensity ? *settings_.siteDensity : 1.0 / static_cast<double>(windows);
            if (density != worker.density) {
                worker.terms = part.made.model->weighing(density);
                worker.density = density;
            }
            return worker.terms;
        };
    }
    RegulonTable& table = part.table;
    table.context.motifId = search.motifId();
    table.context.motifAltId = search.motifAltId();
    return part;
}

void RegulonRun::startRecord(const SequenceRecord& record, const RecordInfo& info,
                             CollectionSearch& search, const SequenceRecord& background,
                             const SearchControl& control, unsigned threads) {
    // Not while the model is still being made beside the scan.
    if (operons_.empty() || collections_.size() != 1 || threads < 2 ||
        operons_.size() < kThreadedOperons || modelling_.running()) {
        return;
    }
    Collection& part = setOutRows(record, info, 0, search, background, control, 2);
    RegulonTable& table = part.table;
    early_ = {&record, &info, &search, &part, table.rows.size()};
    table.rows.resize(early_.before + operons_.size());
    nextChunk_ = 0;
    if (!rowsJob_.start([this] { scoreChunks(1); })) {
        early_.part = nullptr;
        table.rows.resize(early_.before);
    }
}

void RegulonRun::scoreChunks(unsigned w) {
    const size_t count = operons_.size();
    const size_t chunks = (count + kOperonsPerTask - 1) / kOperonsPerTask;
    for (size_t chunk; (chunk = nextChunk_.fetch_add(1)) < chunks;) {
        const size_t end = std::min(count, (chunk + 1) * kOperonsPerTask);
        for (size_t j = chunk * kOperonsPerTask; j < end; ++j) {
            early_.part->table.rows[early_.before + j] =
                operonRow(*early_.record, *early_.info, j, *early_.search, *early_.part, nullptr,
                          *workers_[w]);
        }
    }
}

void RegulonRun::abandonRows() noexcept {
    if (rowsJob_.running()) {
        nextChunk_ = std::numeric_limits<size_t>::max() / 2;
        try {
            rowsJob_.join();
        } catch (...) {
        }
    }
    early_.part = nullptr;
}

void RegulonRun::addRecord(const SequenceRecord& record, const RecordInfo& info, size_t k,
                           CollectionSearch& search, const RecordHits& found,
                           const SequenceRecord& background, const SearchControl& control,
                           unsigned threads) {
    if (operons_.empty()) {
        return;
    }
    const HitPlaces hits(found.hits);
    if (early_.part != nullptr) {
        // Begun beside the scan: the rest here, then the sites its hits give.
        scoreChunks(0);
        rowsJob_.join();
        Collection& part = *early_.part;
        RegulonTable& table = part.table;
        const size_t before = early_.before;
        early_.part = nullptr;
        const int length = part.terms.siteLength();
        std::vector<PositionRange>& ranges = workers_.front()->ranges;
        for (size_t j = 0; j < operons_.size(); ++j) {
            const GeneRecord& first = record.genes[operons_[j].genes.front()];
            strands_->promoterRanges(first, search.options, length, ranges);
            table.rows[before + j].sites = hits.countIn(ranges);
        }
        // Their lines are made as the table is written, beside the search's
        // own writing.
        table.lines.clear();
        return;
    }
    const size_t count = operons_.size();
    // Threads pay only for records of many operons.
    const unsigned workers = count >= kThreadedOperons ? std::max(threads, 1u) : 1u;
    Collection& part = setOutRows(record, info, k, search, background, control, workers);
    RegulonTable& table = part.table;
    const size_t before = table.rows.size();
    const bool lines = madeAhead(part, before);
    table.rows.resize(before + count);
    table.lines.resize(lines ? before + count : 0);
    const size_t chunks = (count + kOperonsPerTask - 1) / kOperonsPerTask;
    runTasks(chunks, workers, [&](size_t chunk, unsigned w) {
        const size_t end = std::min(count, (chunk + 1) * kOperonsPerTask);
        for (size_t j = chunk * kOperonsPerTask; j < end; ++j) {
            RegulonRow& row = table.rows[before + j];
            row = operonRow(record, info, j, search, part, &hits, *workers_[w]);
            if (lines) {
                makeLine(table, before + j);
            }
        }
    });
}

RegulonRow RegulonRun::operonRow(const SequenceRecord& record, const RecordInfo& info, size_t j,
                                 const CollectionSearch& search, const Collection& part,
                                 const HitPlaces* hits, Worker& worker) const {
    const Options& options = search.options;
    const int length = part.terms.siteLength();
    const Operon& operon = operons_[j];
    const GeneRecord& first = record.genes[operon.genes.front()];
    std::vector<PositionRange>& ranges = worker.ranges;
    strands_->promoterRanges(first, options, length, ranges);
    RegionWindows& region = worker.region;
    scoreRegion(*strands_, ranges, *worker.scores, length, lowerIsBetter(options.method),
                skipAmbiguous_, part.made.model != nullptr ? &worker.evidence : nullptr, region);
    RegulonRow row;
    row.operon = operonsBefore_ + j + 1;
    row.record = info.name;
    row.recordNumber = info.number;
    row.forward = operon.forward;
    row.firstGeneStart = first.begin;
    row.locusTags.reserve(operon.genes.size());
    row.geneNames.reserve(operon.genes.size());
    row.products.reserve(operon.genes.size());
    for (const size_t g : operon.genes) {
        row.locusTags.push_back(record.genes[g].locus);
        row.geneNames.push_back(record.genes[g].gene);
        row.products.push_back(record.genes[g].product);
    }
    row.windows = region.count;
    row.sites = hits != nullptr ? hits->countIn(ranges) : 0;
    if (region.hasBest) {
        SiteHit best(length);
        best.position = region.bestPosition;
        best.strand = region.bestForward;
        const SiteSpan span = siteSpan(info, best);
        row.hasBest = true;
        row.bestStart = span.start;
        row.bestEnd = span.end;
        row.bestForward = region.bestForward;
        row.bestScore = region.bestScore;
        row.bestSite = region.bestSite;
        if (part.made.distribution != nullptr) {
            setBestPValue(*part.made.distribution, row);
        }
    }
    if (part.made.model != nullptr) {
        row.log10BayesFactor = region.count > 0 ? region.evidence / std::log(10.0) : 0.0;
        row.posterior =
            posteriorProbability(row.log10BayesFactor * std::log(10.0), settings_.prior);
    }
    return row;
}

void RegulonRun::finishRecord() {
    operonsBefore_ += operons_.size();
    operons_.clear();
    strands_.reset();
}

void RegulonRun::checkGenesFound(const SearchControl& control) const {
    if (!anyGenes_) {
        if (annotation_) {
            throw InputError(InputProblem::Format, annotation_->name,
                             "No gene of the annotation " + annotation_->name +
                                 " lies on a record of " + targetPath_ +
                                 ": its sequence names (column 1) must be the records' names");
        }
        throw InputError(InputProblem::Format, targetPath_,
                         "No record of " + targetPath_ +
                             " has genes: a regulon search needs GenBank records with CDS "
                             "features, or a GFF3 annotation (--annotation)");
    }
    if (annotation_ && control.onNote) {
        size_t unmatched = 0;
        std::string first;
        for (const auto& [seqid, genes] : annotation_->genes) {
            if (matched_.count(seqid) == 0) {
                first = unmatched == 0 || seqid < first ? seqid : first;
                ++unmatched;
            }
        }
        if (unmatched > 0) {
            control.onNote(std::to_string(unmatched) + " sequence" + (unmatched == 1 ? "" : "s") +
                           " of the annotation " + annotation_->name + " (" + first +
                           (unmatched > 1 ? ", ..." : "") + ") name no record of " + targetPath_ +
                           ": their genes are left out");
        }
    }
}

void RegulonRun::settle() {
    for (const auto& collection : collections_) {
        Collection& part = *collection;
        if (part.made.model != nullptr && part.made.distribution == nullptr) {
            // Let go after the model (many collections): made again for the
            // p-values of the best windows.
            part.made.distribution =
                std::make_unique<ScoreDistribution>(part.inputs.null, part.inputs.tuning);
            for (RegulonRow& row : part.table.rows) {
                setBestPValue(*part.made.distribution, row);
            }
            part.made.distribution.reset();
        }
        RegulonTable& table = part.table;
        std::vector<uint32_t> order = regulonRowOrder(table.rows);
        if (table.lines.size() != table.rows.size()) {
            // The rows in order, their lines made as the file is written.
            table.lines.clear();
            applyOrder(table.rows, order);
            continue;
        }
        // The lines made ahead in order now, for the file; the rows follow
        // once it is written (finishWriting), while the search writes its
        // own.
        applyOrder(table.lines, order);
        part.rowOrder = std::move(order);
    }
}

std::vector<const RegulonTable*> RegulonRun::tables() const {
    std::vector<const RegulonTable*> out;
    for (const auto& part : collections_) {
        out.push_back(&part->table);
    }
    return out;
}

void RegulonRun::startWriting(const SearchInputs& inputs, const Searches& searches) {
    std::vector<std::pair<std::string, const RegulonTable*>> files;
    for (size_t k = 0; k < searches.size(); ++k) {
        const CollectionSearch& search = *searches[k];
        Collection& part = *collections_[k];
        RegulonContext& context = part.table.context;
        context.commandLine = inputs.commandLine;
        context.targetPath = inputs.sequencePath;
        context.annotationPath = settings_.annotationPath;
        context.collectionPath = search.names.path;
        context.collectionTitle = search.names.title;
        context.motifId = search.motifId();
        context.motifAltId = search.motifAltId();
        context.method = search.options.method;
        context.cutOff = search.options.cutOff;
        context.model.emplace_back(regulon_comment::kOperons,
                                   settings_.operons
                                       ? "genes of one strand at most " +
                                             std::to_string(settings_.operonGap) + " bases apart"
                                       : "every gene alone");
        context.model.emplace_back(regulon_comment::kPromoter,
                                   std::to_string(search.options.promoterDistance) +
                                       " bases upstream of the first gene's start to " +
                                       std::to_string(search.options.inGeneDistance) +
                                       " into it (options 5 and 6)");
        if (part.tried) {
            context.model.emplace_back(
                regulon_comment::kSiteScores,
                describeFit(part.inputs.fit, search.collection.sites.size()));
        }
        if (part.made.model != nullptr) {
            context.model.emplace_back(
                regulon_comment::kBins,
                std::to_string(part.made.model->binCount() - 1) + " of width " +
                    formatGeneralC(part.made.model->binWidth(), 6) + " from " +
                    formatGeneralC(part.made.model->medianEdge(), 8) +
                    " (the background's median) to the best score, and one beyond the median");
        }
        context.model.emplace_back(regulon_comment::kSiteDensity,
                                   settings_.siteDensity ? formatGeneralC(*settings_.siteDensity, 6)
                                                         : "1 / the windows of the region");
        context.model.emplace_back(regulon_comment::kPrior, formatGeneralC(settings_.prior, 6));
        if (!settings_.standardOutput) {
            files.emplace_back(regulonTableName(search.names.reportPrefix), &part.table);
        }
    }
    const auto writeFiles = [this, files = std::move(files)] {
        settle();
        for (const auto& [path, table] : files) {
            OutputFile file(path);
            writeRegulonTables({table}, file);
            file.commit();
        }
    };
    if (!writing_.start(writeFiles)) {
        writeFiles();
    }
}

void RegulonRun::finishWriting(const Searches& searches, const SearchControl& control) {
    writing_.join();
    for (const auto& part : collections_) {
        if (!part->rowOrder.empty()) {
            applyOrder(part->table.rows, part->rowOrder);
            part->rowOrder.clear();
        }
    }
    std::vector<const RegulonTable*> tables;
    for (size_t k = 0; k < searches.size(); ++k) {
        const CollectionSearch& search = *searches[k];
        const Collection& part = *collections_[k];
        tables.push_back(&part.table);
        if (control.onRegulon) {
            SearchControl::RegulonSummary summary;
            summary.collection = search.names.title;
            summary.operons = part.table.rows.size();
            for (const RegulonRow& row : part.table.rows) {
                summary.expected += std::isnan(row.posterior) ? 0.0 : row.posterior;
                summary.aboveHalf += row.posterior > 0.5 ? 1 : 0;
            }
            summary.path = settings_.standardOutput ? std::string()
                                                    : regulonTableName(search.names.reportPrefix);
            summary.rows = &part.table.rows;
            control.onRegulon(summary);
        }
    }
    if (settings_.standardOutput) {
        StreamSink out(std::cout, "standard output");
        writeRegulonTables(tables, out);
    }
}

}  // namespace xoprex
