#include "scan/sort.h"

#include <cstdint>
#include <vector>

#include "scan/detail/hit_order.h"

namespace xoprex {

void sortHits(const Options& options, SequenceRecord& record) {
    auto& hits = record.hits;
    const std::vector<uint32_t> order = hitOrder(
        options, hits.size(), [&hits](size_t i) { return hits[i].score; },
        [&hits](size_t i) { return hits[i].position; });
    if (!order.empty()) {
        applyOrder(hits, order);
        if (record.windowScores.size() == order.size()) {
            applyOrder(record.windowScores, order);
        }
    }
}

}  // namespace xoprex
