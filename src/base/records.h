// Plain value records that travel between the stages of a search: one scored
// window or site (SiteHit) and one CDS feature of a GenBank record (GeneRecord).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

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
    int32_t position = 0;    // strand-dependent position (forward: 0-based start)
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

}  // namespace xoprex
