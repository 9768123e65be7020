#include "regulon/operons.h"

#include <algorithm>
#include <numeric>

namespace xoprex {
namespace {

int64_t leftOf(const GeneRecord& gene) {
    return std::min(gene.begin, gene.end);
}
int64_t rightOf(const GeneRecord& gene) {
    return std::max(gene.begin, gene.end);
}

// An operon as it is built: its genes from left to right, with their
// coordinates unwrapped (the genes after the origin of an operon joined
// across it lie one record length further on).
struct Building {
    bool forward = true;
    std::vector<size_t> genes;
    std::vector<int64_t> shift;
    int64_t right = 0;  // the right end so far
};

Operon finished(const Building& building, const std::vector<GeneRecord>& genes) {
    std::vector<size_t> order(building.genes.size());
    std::iota(order.begin(), order.end(), size_t{0});
    // Transcription order: the left ends rising on the direct strand, the
    // right ends falling on the complement strand (genes nested in longer
    // ones come after them).
    const auto before = [&](size_t a, size_t b) {
        const GeneRecord& ga = genes[building.genes[a]];
        const GeneRecord& gb = genes[building.genes[b]];
        if (building.forward) {
            return leftOf(ga) + building.shift[a] < leftOf(gb) + building.shift[b];
        }
        return rightOf(ga) + building.shift[a] > rightOf(gb) + building.shift[b];
    };
    // Most operons come in order, or (complement strand, no ties) in the
    // reverse order, which is then the only order.
    const auto strictly = [&before](const std::vector<size_t>& o) {
        return std::adjacent_find(o.begin(), o.end(), [&before](size_t a, size_t b) {
                   return !before(a, b);
               }) == o.end();
    };
    if (!std::is_sorted(order.begin(), order.end(), before)) {
        std::reverse(order.begin(), order.end());
        if (!strictly(order)) {
            std::iota(order.begin(), order.end(), size_t{0});
            std::stable_sort(order.begin(), order.end(), before);
        }
    }
    Operon operon;
    operon.forward = building.forward;
    for (const size_t k : order) {
        operon.genes.push_back(building.genes[k]);
    }
    return operon;
}

}  // namespace

std::vector<Operon> groupOperons(const std::vector<GeneRecord>& genes, int64_t length,
                                 bool circular, const OperonRules& rules) {
    std::vector<size_t> order(genes.size());
    std::iota(order.begin(), order.end(), size_t{0});
    const auto leftFirst = [&genes](size_t a, size_t b) {
        const int64_t la = leftOf(genes[a]);
        const int64_t lb = leftOf(genes[b]);
        return la != lb ? la < lb : rightOf(genes[a]) < rightOf(genes[b]);
    };
    if (!std::is_sorted(order.begin(), order.end(), leftFirst)) {  // annotations come sorted
        std::stable_sort(order.begin(), order.end(), leftFirst);
    }
    std::vector<Building> built;
    for (const size_t g : order) {
        const GeneRecord& gene = genes[g];
        const bool joins = rules.grouped && !built.empty() && built.back().forward == gene.sense &&
                           leftOf(gene) - built.back().right - 1 <= rules.maxGap;
        if (!joins) {
            built.push_back({gene.sense, {}, {}, rightOf(gene)});
        }
        Building& operon = built.back();
        operon.genes.push_back(g);
        operon.shift.push_back(0);
        operon.right = std::max(operon.right, rightOf(gene));
    }
    if (circular && rules.grouped && built.size() >= 2 &&
        built.front().forward == built.back().forward) {
        Building& last = built.back();
        const Building& first = built.front();
        const int64_t firstLeft = leftOf(genes[first.genes.front()]) + length;
        if (firstLeft - last.right - 1 <= rules.maxGap) {
            for (const size_t g : first.genes) {
                last.genes.push_back(g);
                last.shift.push_back(length);
            }
            built.erase(built.begin());
        }
    }
    std::vector<Operon> operons;
    operons.reserve(built.size());
    for (const Building& building : built) {
        operons.push_back(finished(building, genes));
    }
    return operons;
}

}  // namespace xoprex
