#include "scan/sort.h"

#include <cstdint>
#include <vector>

#include "scan/detail/hit_order.h"

namespace xoprex {

using scan_detail::hitOrder;

void sortHits(const Options& options, RecordHits& out) {
    const auto& hits = out.hits;
    const std::vector<uint32_t> order = hitOrder(
        options, hits.size(), [&hits](size_t i) { return hits[i].score; },
        [&hits](size_t i) { return hits[i].position; });
    if (!order.empty()) {
        out.reorder(order);
    }
}

}  // namespace xoprex
