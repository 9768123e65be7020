// Plain value records that travel between the stages of a search: one scored
// window or site (SiteHit), one CDS feature of a GenBank record (GeneRecord),
// the hits of one record with one collection (RecordHits), what the
// results show of a record once its text is let go (RecordInfo) and one
// operon of a regulon search (RegulonRow).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/shared_text.h"
#include "base/site_text.h"

namespace xoprex {

// The class of a hit: Unknown until it is annotated.
enum class SiteClass : uint8_t { Unknown, Operator, Intragenic, Intergenic };

// Its text in the results ("Unknown", "Operator", ...).
std::string_view siteClassText(SiteClass type);

// The gene a hit is related to, as the hit's row shows it. Immutable and
// shared by the hits related to the same gene: copying a hit copies a
// pointer. The default holds empty texts and zeros.
class HitGene {
  public:
    struct Fields {
        SharedText tag;
        SharedText name;
        SharedText product;
        uint32_t start = 0;
        uint32_t end = 0;
        bool sense = false;
    };

    HitGene() noexcept = default;
    explicit HitGene(Fields fields);
    HitGene(const HitGene& other) noexcept : block_(other.block_) { retain(); }
    HitGene(HitGene&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
    HitGene& operator=(HitGene other) noexcept {
        std::swap(block_, other.block_);
        return *this;
    }
    ~HitGene() { release(); }

    const Fields& fields() const noexcept;

  private:
    struct Block;
    void retain() const noexcept;
    void release() noexcept;

    Block* block_ = nullptr;
};

struct SiteHit {
    SiteHit() = default;
    explicit SiteHit(int32_t length) : siteLength(length) {}

    // Restores every field to its creation value except siteLength.
    void reset() { *this = SiteHit(siteLength); }

    SiteText site;  // window text as read on the scanned strand
    double score = 0.0;
    double upMean = 0.0;
    double downMean = 0.0;
    double localMean = 0.0;
    int64_t position = 0;    // strand-dependent position (forward: 0-based start)
    int32_t siteLength = 0;  // motif length L, fixed at creation
    int32_t distance = 0;
    bool strand = false;  // true: sequence as read; false: reverse complement
    SiteClass siteClass = SiteClass::Unknown;
    HitGene gene;  // the related gene's texts and coordinates

    // The annotation as the results table shows it.
    std::string_view type() const { return siteClassText(siteClass); }
    const SharedText& geneTag() const { return gene.fields().tag; }
    const SharedText& geneName() const { return gene.fields().name; }
    const SharedText& product() const { return gene.fields().product; }
    uint32_t geneStart() const { return gene.fields().start; }
    uint32_t geneEnd() const { return gene.fields().end; }
    bool geneStrand() const { return gene.fields().sense; }
};

struct GeneRecord {
    void reset() { *this = GeneRecord(); }

    int32_t begin = 0;  // start in reading direction (larger coordinate on complement)
    int32_t end = 0;
    bool sense = false;  // true: direct strand
    std::string locus;
    std::string gene;
    std::string product;
};

// The hits of one record with one collection, in list order, and what their
// scan counted. Every record's scan with every collection fills one of its
// own, so the record itself is only read.
struct RecordHits {
    std::vector<SiteHit> hits;
    // Empty, or each hit's own window score before integrative re-scoring,
    // in the hits' order (reorder keeps the two together).
    std::vector<double> windowScores;
    double globalMean = 0.0;  // integrative mode's global mean; 0 otherwise
    // The windows of both strands that count as tested: every window the
    // record has (with the scan's rules on topology and ambiguous letters).
    size_t windowsScored = 0;
    // The window scores of the windows that passed the cut-off but gave way
    // to their partner on the other strand (the both-strand rule, option 8).
    std::vector<double> droppedScores;

    // The window score of hit i, before any re-scoring.
    double windowScore(size_t i) const {
        return windowScores.empty() ? hits[i].score : windowScores[i];
    }
    // Moves hit order[k] (and its window score) to place k for every k;
    // `order` is a permutation of the hits' indices.
    void reorder(const std::vector<uint32_t>& order);
};

// What the results show of a target record once its text and genes are let
// go: its names, its length and background, and the bytes its reverse
// strand leaves out (for the forward coordinates of reverse-strand hits).
struct RecordInfo {
    size_t number = 0;  // the record's place in the target, from 1
    char format = 'F';  // 'F' FASTA, 'G' GenBank
    std::string description;
    std::string name;
    size_t length = 0;  // characters of the forward strand
    // Forward indices of the bytes without a complement, in increasing order
    // (usually none).
    std::vector<uint64_t> uncomplemented;
    std::array<double, 4> backgroundFrequencies{0.25, 0.25, 0.25, 0.25};  // A, C, G, T
    double backgroundEntropy = 2.0;
};

// One record's results with one collection. The record's part is shared by
// the results of every collection of a run.
struct RecordResults {
    std::shared_ptr<const RecordInfo> record;
    RecordHits hits;
};

// One operon of a regulon search, as its table shows it: its genes, the
// evidence of its promoter region and the posterior probability that the
// factor regulates it. Coordinates are 1-based on the forward strand, as in
// the TSV of the hits; a site across the origin of a circular record ends
// beyond the record's length.
struct RegulonRow {
    size_t operon = 0;  // its number in the order of the records and their genes, from 1
    std::string record;
    size_t recordNumber = 0;  // the record's place in the target, from 1
    bool forward = true;      // the strand of its genes
    int64_t firstGeneStart = 0;
    // Its genes in the direction of transcription, one entry each (empty
    // texts kept).
    std::vector<std::string> locusTags;
    std::vector<std::string> geneNames;
    std::vector<std::string> products;
    size_t windows = 0;  // windows of its promoter region scored, both strands
    // The best-scoring window of the region (none when it has no window).
    bool hasBest = false;
    int64_t bestStart = 0;
    int64_t bestEnd = 0;
    bool bestForward = true;
    double bestScore = std::numeric_limits<double>::quiet_NaN();
    double bestPValue = std::numeric_limits<double>::quiet_NaN();
    std::string bestSite;  // as read on its strand
    size_t sites = 0;      // hits of the search in the region
    // log10 P(D | regulated) / P(D | background), and the posterior
    // probability of regulation (NaN when the model is out of reach).
    double log10BayesFactor = std::numeric_limits<double>::quiet_NaN();
    double posterior = std::numeric_limits<double>::quiet_NaN();
};

// Moves items[order[k]] to place k for every k, following the permutation's
// cycles, so each item moves about once and no second list is needed.
template <class Item>
void applyOrder(std::vector<Item>& items, const std::vector<uint32_t>& order) {
    std::vector<bool> placed(items.size(), false);
    for (size_t start = 0; start < items.size(); ++start) {
        if (placed[start] || order[start] == start) {
            continue;
        }
        Item moving = std::move(items[start]);
        size_t at = start;
        while (true) {
            placed[at] = true;
            const size_t from = order[at];
            if (from == start) {
                items[at] = std::move(moving);
                break;
            }
            items[at] = std::move(items[from]);
            at = from;
        }
    }
}

}  // namespace xoprex
