// The keeping of the windows that passed as the record's hits, with the
// redundancy rule on them (declared in hit_keeper.h).
#include "scan/detail/hit_keeper.h"

#include "base/memory_hints.h"
#include "scan/detail/hit_order.h"
#include "seqio/sequence.h"

namespace xoprex::scan_detail {

HitKeeper::HitKeeper(RecordHits& out, const Options& options, int32_t siteLength,
                     const Options* sortedFor, bool skipAmbiguous)
    : out_(out),
      siteLength_(siteLength),
      cutOff_(options.cutOff),
      lower_(xoprex::lowerIsBetter(options.method)),
      removeRedundant_(options.removeRedundant),
      fresh_(out.hits.empty()),
      existing_(out.hits.size()),
      withMeans_(options.integrative),
      sortOptions_(sortedFor),
      skipAmbiguous_(skipAmbiguous) {
    if (removeRedundant_ && !fresh_) {
        index_.rebuild(out.hits);
    }
}

bool HitKeeper::allBases(const char* window) const {
    for (int32_t k = 0; k < siteLength_; ++k) {
        if (!isBase(window[k])) {
            return false;
        }
    }
    return true;
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

void HitKeeper::beginStrand(bool forward, size_t n, const std::vector<CandidateList>& lists) {
    ++pass_;
    forward_[pass_] = forward;
    strandLength_[pass_] = n;
    if (n > kStartMask && !long_) {
        // Starts beyond 31 bits from now on; those kept so far have none.
        entryHigh_.assign(entryCodes_.size(), 0);
        long_ = true;
    }
    // Room for every window of the strand, so that the entries do not grow
    // by doubling (compactEntries gives back what the rule dropped).
    size_t more = 0;
    for (const CandidateList& list : lists) {
        more += list.size();
    }
    entryScores_.reserve(entryScores_.size() + more);
    entryCodes_.reserve(entryCodes_.size() + more);
    if (long_) {
        entryHigh_.reserve(entryHigh_.size() + more);
    }
    if (withMeans_) {
        entryMeans_.reserve(entryMeans_.size() + more);
    }
    if (pass_ == 1 && fresh_ && removeRedundant_) {
        // The first pass's entries, all on one strand, in list order.
        firstPass_.forward = forward_[0];
        firstPass_.keys.reserve(entryCodes_.size());
        for (size_t e = 0; e < entryCodes_.size(); ++e) {
            firstPass_.keys.push_back(firstPass_.key(positionOf(0, entryStart(e))));
        }
    }
}

bool HitKeeper::strandOf(size_t listIndex) const {
    if (listIndex < existing_) {
        return out_.hits[listIndex].strand;
    }
    return forward_[entryPass(listIndex - existing_)];
}

double HitKeeper::scoreOf(size_t listIndex) const {
    return listIndex < existing_ ? out_.hits[listIndex].score : entryScores_[listIndex - existing_];
}

void HitKeeper::fill(SiteHit& hit, int pass, size_t start, double score, const WindowMeans& means,
                     const char* site) const {
    hit.site.assign(site, static_cast<size_t>(siteLength_));
    hit.position = positionOf(pass, start);
    hit.strand = forward_[pass];
    hit.score = score;
    hit.localMean = means.local;
    hit.upMean = means.up;
    hit.downMean = means.down;
}

void HitKeeper::appendEntry(size_t start, double score, const WindowMeans& means) {
    entryScores_.push_back(score);
    entryCodes_.push_back(codeOf(start));
    if (long_) {
        entryHigh_.push_back(highOf(start));
    }
    if (withMeans_) {
        entryMeans_.push_back(means);
    }
}

// The list was empty before the scan: the first pass's hits all lie on one
// strand, so none of them has a partner; a second-pass hit's partner can
// only be a first-pass hit still holding that strand (not yet replaced), and
// of the two positions it may hold, the lower list index comes first.
size_t HitKeeper::firstPassPartner(bool strand, int64_t position) {
    const int64_t at = position;
    const size_t below = firstPass_.find(at - siteLength_, lowCursor_);
    const size_t above = firstPass_.find(at + siteLength_, highCursor_);
    const auto usable = [&](size_t index) {
        return index != kNoPartner && strandOf(index) != strand;
    };
    if (usable(below) && (!usable(above) || below < above)) {
        return below;
    }
    return usable(above) ? above : kNoPartner;
}

// Entries at least this many make the keeper give memory back before the
// hits are made.
constexpr size_t kManyEntries = size_t{1} << 20;

// Entries fill their vectors exactly before the hits are made, so that a
// record keeping millions of windows holds the least while its hits are made.
void HitKeeper::compactEntries() {
    if (entryScores_.capacity() - entryScores_.size() >= kManyEntries / 8) {
        entryScores_.shrink_to_fit();
        entryCodes_.shrink_to_fit();
        entryHigh_.shrink_to_fit();
        entryMeans_.shrink_to_fit();
    }
}

// The heap hands back what the candidates and the sort used (freed by now;
// the heap keeps freed memory otherwise) before the hits take their room.
void HitKeeper::returnTemporaryMemory() {
    if (entryScores_.size() >= kManyEntries) {
        returnFreedMemory();
    }
}

// Puts the entries in the order of the sort, so that the hits are made in
// place (the entries are compact: moving them costs little).
void HitKeeper::sortEntries() {
    const std::vector<uint32_t> order = hitOrder(
        *sortOptions_, entryScores_.size(), [this](size_t e) { return entryScores_[e]; },
        [this](size_t e) { return positionOf(entryPass(e), entryStart(e)); });
    if (order.empty()) {
        return;
    }
    applyOrder(entryScores_, order);
    applyOrder(entryCodes_, order);
    if (long_) {
        applyOrder(entryHigh_, order);
    }
    if (withMeans_) {
        applyOrder(entryMeans_, order);
    }
}

void HitKeeper::reserveHits() {
    auto& hits = out_.hits;
    if (hits.capacity() < hits.size() + entryScores_.size()) {
        hits.reserve(hits.size() + entryScores_.size());
        prepareForWriting(hits.data() + hits.size(),
                          (hits.capacity() - hits.size()) * sizeof(SiteHit));
    }
}

void HitKeeper::release() {
    // Swapped with empty vectors: assigning {} would keep their storage.
    std::vector<int64_t>().swap(firstPass_.keys);
    std::vector<double>().swap(entryScores_);
    std::vector<uint32_t>().swap(entryCodes_);
    std::vector<uint32_t>().swap(entryHigh_);
    std::vector<WindowMeans>().swap(entryMeans_);
}

}  // namespace xoprex::scan_detail
