#include "scan/scan.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <utility>

#include "base/errors.h"
#include "base/memory_hints.h"
#include "scan/hit_order.h"
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

std::string reverseStrand(const char* text, size_t n, size_t wrap) {
    std::string reverse;
    reverse.reserve(n + wrap);
    askForHugePages(reverse.data(), reverse.capacity());
    reverseComplementInto(text, n, reverse);
    return reverse;
}

const char* ReverseStrandReader::windows(size_t first, size_t count) const {
    const size_t stop = first + count + length_ - 1;
    buffer_.clear();
    // Strand positions a .. b - 1 (below n) are text[n - b .. n - a) reversed
    // and complemented; positions from n on repeat the strand's start.
    const auto append = [&](size_t a, size_t b) {
        appendReverseComplementOf(text_ + (n_ - b), b - a, buffer_);
    };
    if (first < n_) {
        append(first, std::min(stop, n_));
    }
    if (stop > n_) {
        append(std::max(first, n_) - n_, stop - n_);
    }
    return buffer_.data();
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
