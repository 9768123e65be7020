#include "scan/scan.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>

#include "run/memory_hints.h"
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

// Place keys of the sort: an unsigned integer per entry whose increasing
// order is the order of sortHits. Scores: best first, equal scores (0 and
// -0 included) share a key, NaN comes after every number.
uint64_t scoreKey(double score, bool lowerIsBetterScore) {
    if (std::isnan(score)) {
        return UINT64_MAX;
    }
    const uint64_t bits = std::bit_cast<uint64_t>(score == 0.0 ? 0.0 : score);
    // Increasing with the value: negative numbers have their bits flipped,
    // positive ones their sign bit set.
    const uint64_t increasing = (bits >> 63) != 0 ? ~bits : bits | (uint64_t{1} << 63);
    return lowerIsBetterScore ? increasing : ~increasing;
}

// The stable order of the entries by their place keys: order[k] is the
// entry that goes to place k (equal keys keep list order). Empty when the
// entries are in order already. A least-significant-digit radix sort, 11
// bits a pass, passing over digits that every key shares.
std::vector<uint32_t> stableOrder(const std::vector<uint64_t>& keys) {
    if (std::is_sorted(keys.begin(), keys.end())) {
        return {};
    }
    const size_t count = keys.size();
    std::vector<uint32_t> from(count), to(count);
    for (size_t i = 0; i < count; ++i) {
        from[i] = static_cast<uint32_t>(i);
    }
    constexpr int kBits = 11;
    constexpr size_t kBuckets = size_t{1} << kBits;
    std::vector<size_t> starts(kBuckets);
    for (int shift = 0; shift < 64; shift += kBits) {
        const auto digit = [&keys, shift](uint32_t index) {
            return (keys[index] >> shift) & (kBuckets - 1);
        };
        std::fill(starts.begin(), starts.end(), 0);
        for (const uint32_t index : from) {
            ++starts[digit(index)];
        }
        if (starts[digit(from.front())] == count) {
            continue;  // every key has this digit
        }
        size_t next = 0;
        for (size_t& start : starts) {
            next += std::exchange(start, next);
        }
        for (const uint32_t index : from) {
            to[starts[digit(index)]++] = index;
        }
        from.swap(to);
    }
    return from;
}

// The order of sortHits for `count` entries with scoreOf(i) and
// positionOf(i): best score first (NaN last) or increasing unsigned
// position (option 7). Empty when they are in order already.
template <class ScoreOf, class PositionOf>
std::vector<uint32_t> hitOrder(const Options& options, size_t count, ScoreOf scoreOf,
                               PositionOf positionOf) {
    if (count < 2) {
        return {};
    }
    std::vector<uint64_t> keys(count);
    if (options.sortByScore) {
        const bool lower = lowerIsBetter(options.method);
        for (size_t i = 0; i < count; ++i) {
            keys[i] = scoreKey(scoreOf(i), lower);
        }
    } else {
        for (size_t i = 0; i < count; ++i) {
            keys[i] = static_cast<uint32_t>(positionOf(i));
        }
    }
    return stableOrder(keys);
}

}  // namespace

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

std::string reverseStrand(const char* text, size_t n, size_t wrap) {
    std::string reverse;
    reverse.reserve(n + wrap);
    askForHugePages(reverse.data(), reverse.capacity());
    reverseComplementInto(text, n, reverse);
    return reverse;
}

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
    const size_t more = std::min(wrap, text.size());
    if (text.capacity() < text.size() + more) {
        // A new string with exactly the room needed: a growing string would
        // double its storage, which thousands of short records would keep.
        std::string wrapped;
        wrapped.reserve(text.size() + more);
        wrapped.append(text);
        wrapped.append(text, 0, more);
        text.swap(wrapped);
        return;
    }
    text.append(text.data(), more);
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

void sortHits(const Options& options, SequenceRecord& record) {
    auto& hits = record.hits;
    const std::vector<uint32_t> order = hitOrder(
        options, hits.size(), [&hits](size_t i) { return hits[i].score; },
        [&hits](size_t i) { return hits[i].position; });
    if (!order.empty()) {
        applyOrder(hits, order);
    }
}

}  // namespace xoprex
