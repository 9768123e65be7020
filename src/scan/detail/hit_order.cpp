#include "scan/detail/hit_order.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

namespace xoprex::scan_detail {

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
    // A few entries (a record's usual hits) are sorted directly: the radix
    // passes cost their buckets whatever the count.
    constexpr size_t kFew = 256;
    if (count <= kFew) {
        std::stable_sort(from.begin(), from.end(),
                         [&keys](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
        return from;
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

}  // namespace xoprex::scan_detail
