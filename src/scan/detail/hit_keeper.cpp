// The cut-off test's keeping of windows, the redundancy rule on them and
// their hand-over as SiteHit records (declared in hit_keeper.h).
#include "scan/detail/hit_keeper.h"

#include <algorithm>
#include <cstring>

#include "base/memory_hints.h"
#include "scan/detail/hit_order.h"

namespace xoprex::scan_detail {

HitKeeper::HitKeeper(SequenceRecord& record, const Options& options, int32_t siteLength,
                     const Options* sortedFor)
    : record_(record),
      siteLength_(siteLength),
      cutOff_(options.cutOff),
      lower_(xoprex::lowerIsBetter(options.method)),
      removeRedundant_(options.removeRedundant),
      fresh_(record.hits.empty()),
      sortOptions_(sortedFor),
      integrative_(options.integrative) {
    if (removeRedundant_ && !fresh_) {
        index_.rebuild(record.hits);
    }
}

void HitKeeper::reserve(size_t more) {
    pending_.reserve(pending_.size() + more);
    if (!removeRedundant_) {
        return;
    }
    if (!fresh_) {
        index_.reserve(more);
    } else if (pass_ == 0) {
        firstPass_.keys.reserve(firstPass_.keys.size() + more);
    }
}

size_t HitKeeper::FirstPassKeys::find(int64_t position, size_t& cursor) const {
    const int64_t wanted = key(position);
    while (cursor > 0 && keys[cursor - 1] >= wanted) {
        --cursor;
    }
    while (cursor < keys.size() && keys[cursor] < wanted) {
        ++cursor;
    }
    return cursor < keys.size() && keys[cursor] == wanted ? cursor : kNoPartner;
}

void HitKeeper::detachStrand() {
    const size_t length = static_cast<size_t>(siteLength_);
    size_t count = 0;
    for (const Pending& pending : pending_) {
        count += pending.pass == pass_ ? 1 : 0;
    }
    size_t at = detached_.size();
    detached_.resize(at + count * length);
    for (Pending& pending : pending_) {
        if (pending.pass != pass_) {
            continue;
        }
        std::memcpy(detached_.data() + at, strands_[pass_]->window(pending.start), length);
        pending.start = at;
        pending.pass = kDetached;
        at += length;
    }
    strands_[pass_] = nullptr;
}

void HitKeeper::fill(SiteHit& hit, const Pending& pending) const {
    const size_t length = static_cast<size_t>(siteLength_);
    if (pending.pass == kDetached) {
        hit.site.assign(detached_, pending.start, length);
    } else {
        strands_[pending.pass]->copyWindow(pending.start, length, hit.site);
    }
    hit.position = pending.position;
    hit.strand = pending.strand;
    hit.score = pending.score;
    if (pending.means != kNoMeans) {
        const Means& means = means_[pending.means];
        hit.localMean = means.local;
        hit.upMean = means.up;
        hit.downMean = means.down;
    }
}

void HitKeeper::keep(size_t start, double score, double localMean, double upMean, double downMean) {
    Pending hit{score, start, kNoMeans, position(start), forward_, pass_};
    if (integrative_) {
        hit.means = means_.size();
        means_.push_back(Means{localMean, upMean, downMean});
    }
    if (!removeRedundant_) {
        pending_.push_back(hit);
        return;
    }
    if (fresh_) {
        keepFresh(hit);
        return;
    }
    const size_t finished = record_.hits.size();
    const size_t partner = index_.findPartner(hit.strand, hit.position, siteLength_);
    if (partner == kNoPartner) {
        pending_.push_back(hit);
        index_.appended(finished + pending_.size() - 1, hit.strand, hit.position);
        return;
    }
    // The partner is overwritten with every field of the new hit when the
    // new hit scores strictly better; otherwise the new hit is dropped.
    const bool inList = partner < finished;
    const double earlier =
        inList ? record_.hits[partner].score : pending_[partner - finished].score;
    if (!(lower_ ? score < earlier : score > earlier)) {
        return;
    }
    if (inList) {
        SiteHit& target = record_.hits[partner];
        index_.replaced(partner, target.strand, target.position, hit.strand, hit.position);
        target.reset();
        fill(target, hit);
    } else {
        Pending& target = pending_[partner - finished];
        index_.replaced(partner, target.strand, target.position, hit.strand, hit.position);
        target = hit;
    }
}

// The list was empty before the scan: the first pass's hits all lie on one
// strand, so none of them has a partner; a second-pass hit's partner can
// only be a first-pass hit still holding that strand (not yet replaced), and
// of the two positions it may hold, the lower list index comes first.
void HitKeeper::keepFresh(const Pending& hit) {
    if (pass_ == 0) {
        if (pending_.empty()) {
            firstPass_.forward = hit.strand;
        }
        pending_.push_back(hit);
        firstPass_.keys.push_back(firstPass_.key(hit.position));
        return;
    }
    const size_t partner = firstPassPartner(hit);
    if (partner == kNoPartner) {
        pending_.push_back(hit);
        return;
    }
    Pending& target = pending_[partner];
    if (lower_ ? hit.score < target.score : hit.score > target.score) {
        target = hit;
    }
}

size_t HitKeeper::firstPassPartner(const Pending& hit) {
    const int64_t position = hit.position;
    const size_t below = firstPass_.find(position - siteLength_, lowCursor_);
    const size_t above = firstPass_.find(position + siteLength_, highCursor_);
    const auto usable = [&](size_t index) {
        return index != kNoPartner && pending_[index].strand != hit.strand;
    };
    if (usable(below) && (!usable(above) || below < above)) {
        return below;
    }
    return usable(above) ? above : kNoPartner;
}

void HitKeeper::finish() {
    auto& hits = record_.hits;
    if (hits.capacity() < hits.size() + pending_.size()) {
        hits.reserve(hits.size() + pending_.size());
        prepareForWriting(hits.data() + hits.size(),
                          (hits.capacity() - hits.size()) * sizeof(SiteHit));
    }
    std::vector<uint32_t> order;
    if (sortOptions_ != nullptr && hits.empty()) {
        order = hitOrder(
            *sortOptions_, pending_.size(), [this](size_t i) { return pending_[i].score; },
            [this](size_t i) { return pending_[i].position; });
    }
    if (order.empty()) {
        for (const Pending& pending : pending_) {
            hits.emplace_back(siteLength_);
            fill(hits.back(), pending);
        }
    } else {
        // The hits are taken out of order: their texts are first copied in
        // list order (one pass along the strand), and the records and texts
        // read a few places ahead are fetched early.
        if (strands_[pass_] != nullptr) {
            detachStrand();
        }
        constexpr size_t kAhead = 8;
        for (size_t k = 0; k < order.size(); ++k) {
            if (k + 2 * kAhead < order.size()) {
                __builtin_prefetch(&pending_[order[k + 2 * kAhead]]);
            }
            if (k + kAhead < order.size()) {
                __builtin_prefetch(detached_.data() + pending_[order[k + kAhead]].start);
            }
            hits.emplace_back(siteLength_);
            fill(hits.back(), pending_[order[k]]);
        }
    }
    pending_.clear();
    means_.clear();
}

}  // namespace xoprex::scan_detail
