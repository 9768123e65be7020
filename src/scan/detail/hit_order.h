// The order of the hits: best score first (NaN last) or increasing unsigned
// position, ties in list order. The sort works on one unsigned place key per
// entry, so the same order can be computed for the scan's waiting hits and
// for a finished hit list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/records.h"
#include "options/options.h"

namespace xoprex::scan_detail {

// Place key of a score: increasing keys are the sort's order (best first
// for the method's direction); equal scores, 0 and -0 included, share a key;
// NaN comes after every number.
uint64_t scoreKey(double score, bool lowerIsBetterScore);

// Place key of a position: its unsigned 32-bit value.
inline uint64_t positionKey(int64_t position) {
    // Within the first 2 Gb (every position of a record that short) the
    // unsigned 32-bit value, as the results table writes positions.
    return position >= 0 && position > INT32_MAX ? static_cast<uint64_t>(position)
                                                 : static_cast<uint32_t>(position);
}

// The stable order of the entries by their place keys: order[k] is the
// entry that goes to place k (equal keys keep list order; applyOrder in
// base/records.h moves them there). Empty when the entries are in order
// already.
std::vector<uint32_t> stableOrder(const std::vector<uint64_t>& keys);

// The order sortHits gives `count` entries with scoreOf(i) and
// positionOf(i) (option 7 picks the key). Empty when they are in order.
template <class ScoreOf, class PositionOf>
std::vector<uint32_t> hitOrder(const Options& options, size_t count, ScoreOf scoreOf,
                               PositionOf positionOf) {
    const bool lower = lowerIsBetter(options.method);
    const auto keyOf = [&](size_t i) {
        return options.sortByScore ? scoreKey(scoreOf(i), lower) : positionKey(positionOf(i));
    };
    // Entries already in order need no keys (a record may hold millions).
    size_t i = 1;
    while (i < count && keyOf(i - 1) <= keyOf(i)) {
        ++i;
    }
    if (i >= count) {
        return {};
    }
    std::vector<uint64_t> keys(count);
    for (size_t k = 0; k < count; ++k) {
        keys[k] = keyOf(k);
    }
    return stableOrder(keys);
}

}  // namespace xoprex::scan_detail
