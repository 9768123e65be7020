#include "scan/detail/redundancy.h"

namespace xoprex::scan_detail {

uint64_t RedundancyIndex::key(bool strand, int64_t position) {
    // Positions lie far within +-2^61, so the key of every one differs from
    // the empty slot's (all bits set).
    constexpr int64_t kMiddle = int64_t{1} << 61;
    return static_cast<uint64_t>(position + kMiddle) << 1 | (strand ? 1u : 0u);
}

void RedundancyIndex::rebuild(const std::vector<SiteHit>& hits) {
    slots_.clear();
    used_ = 0;
    shift_ = 64;
    next_.clear();
    next_.reserve(hits.size());
    for (size_t i = 0; i < hits.size(); ++i) {
        appended(i, hits[i]);
    }
}

namespace {

size_t slotOf(uint64_t key, int shift) {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> shift);
}

}  // namespace

const RedundancyIndex::Slot* RedundancyIndex::find(uint64_t k) const {
    if (slots_.empty()) {
        return nullptr;
    }
    const size_t mask = slots_.size() - 1;
    for (size_t at = slotOf(k, shift_);; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.key == k) {
            return &slot;
        }
        if (slot.key == kEmptyKey) {
            return nullptr;
        }
    }
}

void RedundancyIndex::reserve(size_t more) {
    next_.reserve(next_.size() + more);
    // Keys are at most one per entry; the table stays at most half full.
    size_t capacity = slots_.empty() ? 64 : slots_.size();
    while (capacity < 2 * (used_ + more)) {
        capacity *= 2;
    }
    if (capacity > slots_.size()) {
        grow(capacity);
    }
}

void RedundancyIndex::grow(size_t capacity) {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(capacity, Slot{kEmptyKey, kEnd});
    shift_ = 64 - __builtin_ctzll(capacity);
    const size_t mask = capacity - 1;
    for (const Slot& slot : old) {
        if (slot.key == kEmptyKey) {
            continue;
        }
        size_t at = slotOf(slot.key, shift_);
        while (slots_[at].key != kEmptyKey) {
            at = (at + 1) & mask;
        }
        slots_[at] = slot;
    }
}

RedundancyIndex::Slot& RedundancyIndex::findOrAdd(uint64_t k) {
    if (2 * (used_ + 1) > slots_.size()) {
        grow(slots_.empty() ? 64 : slots_.size() * 2);
    }
    const size_t mask = slots_.size() - 1;
    size_t at = slotOf(k, shift_);
    while (slots_[at].key != k && slots_[at].key != kEmptyKey) {
        at = (at + 1) & mask;
    }
    if (slots_[at].key == kEmptyKey) {
        slots_[at] = Slot{k, kEnd};
        ++used_;
    }
    return slots_[at];
}

size_t RedundancyIndex::firstWith(bool strand, int64_t position) const {
    const Slot* slot = find(key(strand, position));
    return slot == nullptr || slot->head == kEnd ? kNoPartner : slot->head;
}

size_t RedundancyIndex::findPartner(bool strand, int64_t position, int32_t length) const {
    const size_t above = firstWith(!strand, static_cast<int64_t>(position) + length);
    const size_t below = firstWith(!strand, static_cast<int64_t>(position) - length);
    return above < below ? above : below;  // kNoPartner is the largest size_t
}

void RedundancyIndex::insert(uint32_t index, uint64_t k) {
    Slot& slot = findOrAdd(k);
    if (slot.head == kEnd || index < slot.head) {
        next_[index] = slot.head;
        slot.head = index;
        return;
    }
    uint32_t at = slot.head;
    while (next_[at] != kEnd && next_[at] < index) {
        at = next_[at];
    }
    next_[index] = next_[at];
    next_[at] = index;
}

void RedundancyIndex::remove(uint32_t index, uint64_t k) {
    Slot* slot = const_cast<Slot*>(find(k));
    if (slot == nullptr || slot->head == kEnd) {
        return;
    }
    if (slot->head == index) {
        slot->head = next_[index];
        return;
    }
    uint32_t at = slot->head;
    while (next_[at] != kEnd && next_[at] != index) {
        at = next_[at];
    }
    if (next_[at] == index) {
        next_[at] = next_[index];
    }
}

void RedundancyIndex::appended(size_t index, bool strand, int64_t position) {
    if (next_.size() <= index) {
        next_.resize(index + 1, kEnd);
    }
    insert(static_cast<uint32_t>(index), key(strand, position));
}

void RedundancyIndex::replaced(size_t index, bool strandBefore, int64_t positionBefore,
                               bool strandAfter, int64_t positionAfter) {
    remove(static_cast<uint32_t>(index), key(strandBefore, positionBefore));
    insert(static_cast<uint32_t>(index), key(strandAfter, positionAfter));
}

RedundancyOutcome resolveRedundant(std::vector<SiteHit>& hits, RedundancyIndex& index,
                                   const SiteHit& hit, bool lowerIsBetterScore) {
    const size_t partner = index.findPartner(hit.strand, hit.position, hit.siteLength);
    if (partner == kNoPartner) {
        hits.push_back(hit);
        index.appended(hits.size() - 1, hits.back());
        return RedundancyOutcome::Appended;
    }
    SiteHit& earlier = hits[partner];
    const bool better = lowerIsBetterScore ? hit.score < earlier.score : hit.score > earlier.score;
    if (!better) {
        return RedundancyOutcome::Dropped;
    }
    index.replaced(partner, earlier, hit);
    earlier = hit;
    return RedundancyOutcome::Replaced;
}

size_t findPartnerByWalk(const std::vector<SiteHit>& hits, const SiteHit& hit) {
    const int64_t above = static_cast<int64_t>(hit.position) + hit.siteLength;
    const int64_t below = static_cast<int64_t>(hit.position) - hit.siteLength;
    for (size_t i = 0; i < hits.size(); ++i) {
        const SiteHit& entry = hits[i];
        if (entry.strand != hit.strand && (entry.position == above || entry.position == below)) {
            return i;
        }
    }
    return kNoPartner;
}

}  // namespace xoprex::scan_detail
