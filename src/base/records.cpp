#include "base/records.h"

#include <atomic>
#include <utility>

namespace xoprex {

static_assert(sizeof(SiteHit) <= 88, "a hit stays within 88 bytes: genomes of hits are kept");

std::string_view siteClassText(SiteClass type) {
    switch (type) {
        case SiteClass::Operator:
            return "Operator";
        case SiteClass::Intragenic:
            return "Intragenic";
        case SiteClass::Intergenic:
            return "Intergenic";
        case SiteClass::Unknown:
            break;
    }
    return "Unknown";
}

struct HitGene::Block {
    std::atomic<uint32_t> references;
    Fields fields;
};

HitGene::HitGene(Fields fields) : block_(new Block{{1}, std::move(fields)}) {}

const HitGene::Fields& HitGene::fields() const noexcept {
    static const Fields kNone;
    return block_ == nullptr ? kNone : block_->fields;
}

void HitGene::retain() const noexcept {
    if (block_ != nullptr) {
        block_->references.fetch_add(1, std::memory_order_relaxed);
    }
}

void HitGene::release() noexcept {
    if (block_ != nullptr && block_->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete block_;
    }
    block_ = nullptr;
}

void RecordHits::reorder(const std::vector<uint32_t>& order) {
    applyOrder(hits, order);
    if (!windowScores.empty()) {
        applyOrder(windowScores, order);
    }
}

}  // namespace xoprex
