#include "scan/redundancy.h"

namespace xoprex {

uint64_t RedundancyIndex::key(bool strand, int64_t position) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(position)) << 1) | (strand ? 1u : 0u);
}

void RedundancyIndex::rebuild(const std::vector<SiteHit>& hits) {
    head_.clear();
    next_.clear();
    next_.reserve(hits.size());
    for (size_t i = 0; i < hits.size(); ++i) {
        appended(i, hits[i]);
    }
}

size_t RedundancyIndex::firstWith(bool strand, int64_t position) const {
    if (position < INT32_MIN || position > INT32_MAX) {
        return kNoPartner;
    }
    const auto found = head_.find(key(strand, position));
    return found == head_.end() ? kNoPartner : found->second;
}

size_t RedundancyIndex::findPartner(bool strand, int32_t position, int32_t length) const {
    const size_t above = firstWith(!strand, static_cast<int64_t>(position) + length);
    const size_t below = firstWith(!strand, static_cast<int64_t>(position) - length);
    return above < below ? above : below;  // kNoPartner is the largest size_t
}

void RedundancyIndex::insert(uint32_t index, uint64_t k) {
    auto [slot, fresh] = head_.try_emplace(k, index);
    if (fresh) {
        next_[index] = kEnd;
        return;
    }
    if (index < slot->second) {
        next_[index] = slot->second;
        slot->second = index;
        return;
    }
    uint32_t at = slot->second;
    while (next_[at] != kEnd && next_[at] < index) {
        at = next_[at];
    }
    next_[index] = next_[at];
    next_[at] = index;
}

void RedundancyIndex::remove(uint32_t index, uint64_t k) {
    const auto slot = head_.find(k);
    if (slot == head_.end()) {
        return;
    }
    if (slot->second == index) {
        if (next_[index] == kEnd) {
            head_.erase(slot);
        } else {
            slot->second = next_[index];
        }
        return;
    }
    uint32_t at = slot->second;
    while (next_[at] != kEnd && next_[at] != index) {
        at = next_[at];
    }
    if (next_[at] == index) {
        next_[at] = next_[index];
    }
}

void RedundancyIndex::appended(size_t index, const SiteHit& hit) {
    if (next_.size() <= index) {
        next_.resize(index + 1, kEnd);
    }
    insert(static_cast<uint32_t>(index), key(hit.strand, hit.position));
}

void RedundancyIndex::replaced(size_t index, const SiteHit& before, const SiteHit& after) {
    remove(static_cast<uint32_t>(index), key(before.strand, before.position));
    insert(static_cast<uint32_t>(index), key(after.strand, after.position));
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

}  // namespace xoprex
