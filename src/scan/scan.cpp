#include "scan/scan.h"

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "run/run_search.h"
#include "scan/reverse_complement.h"
#include "scan/strand_scan.h"

namespace xoprex {

void reserveHitCapacity(SequenceRecord& record, const MotifModel& model) {
    // Four times the expected number of chance matches, N / 2^RE. Only a
    // hint (the scan grows the list to its exact size itself), so it is
    // capped at N and at kMaxReservedHits, and skipped when it is not a
    // usable number.
    const double n = static_cast<double>(record.sequence.size());
    const double expected = std::trunc(
        4.0 * std::exp(std::log(2.0) * (std::log10(n) / kLambda - model.totalRelativeEntropy)));
    if (!(expected >= 1.0)) {
        return;
    }
    constexpr double kMaxReservedHits = 65536.0;
    const size_t wanted = static_cast<size_t>(std::min({expected, n, kMaxReservedHits}));
    if (record.hits.capacity() < wanted) {
        record.hits.reserve(wanted);
    }
}

void reverseComplement(SequenceRecord& record) {
    record.sequence = reverseComplementText(record.sequence);
    record.forwardStrand = !record.forwardStrand;
}

namespace scan_detail {

void StrandText::assign(const char* text, size_t n, size_t wrap, size_t length) {
    text_ = text;
    n_ = n;
    stitchStart_ = n + 1 > length ? n + 1 - length : 0;
    stitch_.clear();
    for (size_t p = stitchStart_; p < n + wrap; ++p) {
        stitch_ += text[p < n ? p : p - n];
    }
}

void StrandText::copyWindow(size_t start, size_t length, std::string& site) const {
    if (start + length <= n_) {
        site.assign(text_ + start, length);
        return;
    }
    site.assign(text_ + start, n_ - start);
    site.append(text_, length - (n_ - start));
}

void adviseHugePages(void* data, size_t bytes) {
    // Large buffers written once from start to end: with 2 MB pages their
    // first touch costs a few page faults instead of hundreds. Only the
    // whole 2 MB stretches inside the buffer are advised; the advice is a
    // hint and its failure changes nothing.
    constexpr uintptr_t kHuge = uintptr_t{1} << 21;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHuge - 1);
    if (end > begin) {
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
}

std::string reverseStrand(const char* text, size_t n, size_t wrap) {
    std::string reverse;
    reverse.reserve(n + wrap);
    adviseHugePages(reverse.data(), reverse.capacity());
    reverseComplementInto(text, n, reverse);
    return reverse;
}

HitKeeper::HitKeeper(SequenceRecord& record, const Options& options, int32_t siteLength)
    : record_(record),
      siteLength_(siteLength),
      cutOff_(options.cutOff),
      lower_(xoprex::lowerIsBetter(options.method)),
      removeRedundant_(options.removeRedundant),
      fresh_(record.hits.empty()) {
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

void appendWrap(std::string& text, size_t wrap) {
    text.append(text.data(), std::min(wrap, text.size()));
}

void HitKeeper::detachStrand() {
    const size_t length = static_cast<size_t>(siteLength_);
    std::string site;
    for (Pending& pending : pending_) {
        if (pending.pass != pass_) {
            continue;
        }
        strands_[pass_]->copyWindow(pending.start, length, site);
        pending.start = detached_.size();
        pending.pass = kDetached;
        detached_ += site;
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
    hit.localMean = pending.localMean;
    hit.upMean = pending.upMean;
    hit.downMean = pending.downMean;
}

void HitKeeper::keep(size_t start, double score, double localMean, double upMean, double downMean) {
    const Pending hit{score, localMean, upMean, downMean, start, position(start), forward_, pass_};
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
        adviseHugePages(hits.data() + hits.size(),
                        (hits.capacity() - hits.size()) * sizeof(SiteHit));
    }
    for (const Pending& pending : pending_) {
        hits.emplace_back(siteLength_);
        fill(hits.back(), pending);
    }
    pending_.clear();
}

void ProgressTicker::advance(size_t windows) {
    const std::lock_guard<std::mutex> lock(mutex_);
    done_ += static_cast<double>(windows);
    if (control_.cancel != nullptr && control_.cancel->load(std::memory_order_relaxed)) {
        throw SearchCancelled();
    }
    if (control_.onProgress) {
        control_.onProgress(std::min(1.0, done_ / total_));
    }
}

}  // namespace scan_detail

void shrinkHitList(SequenceRecord& record) {
    if (record.hits.capacity() == record.hits.size()) {
        return;  // already exact
    }
    std::vector<SiteHit> exact;
    exact.reserve(record.hits.size());
    std::move(record.hits.begin(), record.hits.end(), std::back_inserter(exact));
    record.hits.swap(exact);
}

namespace {

// Moves hits[order[k]] to place k for every k, following the permutation's
// cycles, so each record moves about once and no second list is needed.
void applyOrder(std::vector<SiteHit>& hits, const std::vector<uint32_t>& order) {
    std::vector<bool> placed(hits.size(), false);
    for (size_t start = 0; start < hits.size(); ++start) {
        if (placed[start] || order[start] == start) {
            continue;
        }
        SiteHit moving = std::move(hits[start]);
        size_t at = start;
        while (true) {
            placed[at] = true;
            const size_t from = order[at];
            if (from == start) {
                hits[at] = std::move(moving);
                break;
            }
            hits[at] = std::move(hits[from]);
            at = from;
        }
    }
}

template <class Key, class Before>
void sortByKey(std::vector<SiteHit>& hits, Key key, Before before) {
    std::vector<std::pair<decltype(key(hits.front())), uint32_t>> keys;
    keys.reserve(hits.size());
    for (size_t i = 0; i < hits.size(); ++i) {
        keys.emplace_back(key(hits[i]), static_cast<uint32_t>(i));
    }
    // Ties keep list order: the same result as a stable sort of the records.
    std::sort(keys.begin(), keys.end(), [&before](const auto& a, const auto& b) {
        if (before(a.first, b.first)) {
            return true;
        }
        if (before(b.first, a.first)) {
            return false;
        }
        return a.second < b.second;
    });
    std::vector<uint32_t> order;
    order.reserve(keys.size());
    for (const auto& entry : keys) {
        order.push_back(entry.second);
    }
    applyOrder(hits, order);
}

}  // namespace

void sortHits(const Options& options, SequenceRecord& record) {
    auto& hits = record.hits;
    if (hits.size() < 2) {
        return;
    }
    if (!options.sortByScore) {
        sortByKey(
            hits, [](const SiteHit& hit) { return static_cast<uint32_t>(hit.position); },
            [](uint32_t a, uint32_t b) { return a < b; });
        return;
    }
    // Best first; a NaN score (possible after re-scoring) ranks after every
    // number so that the order stays a strict weak ordering.
    const bool lower = lowerIsBetter(options.method);
    sortByKey(
        hits, [](const SiteHit& hit) { return hit.score; },
        [lower](double a, double b) {
            if (std::isnan(a) || std::isnan(b)) {
                return !std::isnan(a) && std::isnan(b);
            }
            return lower ? a < b : a > b;
        });
}

}  // namespace xoprex
