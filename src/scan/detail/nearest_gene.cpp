#include "scan/detail/nearest_gene.h"

#include <algorithm>
#include <cstdlib>

namespace xoprex::scan_detail {
namespace {

// Continues the walk at gene `next` with the best gene `chosen`, its
// distance `best` and the last distance `last`.
size_t continueWalk(const std::vector<GeneRecord>& genes, int64_t position, size_t next,
                    size_t chosen, int64_t last, int64_t& best) {
    for (size_t g = next; g < genes.size(); ++g) {
        if (std::llabs(last) > std::llabs(best)) {
            break;
        }
        last = geneDistance(genes[g], position);
        if (static_cast<uint32_t>(genes[chosen].begin) < static_cast<uint32_t>(genes[g].begin)) {
            if (std::llabs(last) < std::llabs(best)) {
                chosen = g;
                best = last;
            }
        } else {
            chosen = g;
            best = last;
        }
    }
    return chosen;
}

}  // namespace

size_t nearestGeneByWalk(const std::vector<GeneRecord>& genes, int64_t position, int64_t textLength,
                         int64_t& best) {
    best = textLength;
    return continueWalk(genes, position, 0, 0, 0, best);
}

NearestGeneIndex::NearestGeneIndex(const std::vector<GeneRecord>& genes) : genes_(genes) {
    int64_t maximum = 0;
    for (const GeneRecord& gene : genes) {
        if (gene.begin < 0) {
            break;  // unsigned and signed order part here
        }
        maximum = std::max<int64_t>(maximum, gene.begin);
        prefixMax_.push_back(maximum);
    }
}

size_t NearestGeneIndex::find(int64_t position, int64_t textLength, int64_t& best) const {
    // Genes 0 .. taken - 1 are all taken by the walk (see the header).
    const size_t taken = static_cast<size_t>(
        std::upper_bound(prefixMax_.begin(), prefixMax_.end(), static_cast<int64_t>(position)) -
        prefixMax_.begin());
    if (taken == 0) {
        return nearestGeneByWalk(genes_, position, textLength, best);
    }
    const size_t chosen = taken - 1;
    best = geneDistance(genes_[chosen], position);
    return continueWalk(genes_, position, taken, chosen, best, best);
}

}  // namespace xoprex::scan_detail
