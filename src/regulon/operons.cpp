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

// Puts an operon's genes (in the order of their left ends; those from
// `shiftedFrom` on, joined across the origin, one record length further on)
// in the direction of transcription: the left ends rising on the direct
// strand, the right ends falling on the complement strand (genes nested in
// longer ones come after them).
void transcriptionOrder(Operon& operon, size_t shiftedFrom, int64_t length,
                        const std::vector<GeneRecord>& genes) {
    std::vector<size_t>& members = operon.genes;
    const auto key = [&](size_t k) {
        const int64_t shift = k >= shiftedFrom ? length : 0;
        const GeneRecord& gene = genes[members[k]];
        return operon.forward ? leftOf(gene) + shift : -(rightOf(gene) + shift);
    };
    // Most operons come in order, or (complement strand, no ties) in the
    // reverse order, which is then the only order.
    bool rising = true;
    bool falling = true;
    for (size_t k = 1; k < members.size(); ++k) {
        rising = rising && key(k - 1) <= key(k);
        falling = falling && key(k - 1) > key(k);
    }
    if (rising) {
        return;
    }
    if (falling) {
        std::reverse(members.begin(), members.end());
        return;
    }
    std::vector<size_t> order(members.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&key](size_t a, size_t b) { return key(a) < key(b); });
    std::vector<size_t> sorted;
    sorted.reserve(members.size());
    for (const size_t k : order) {
        sorted.push_back(members[k]);
    }
    members = std::move(sorted);
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
    std::vector<Operon> operons;
    int64_t right = 0;  // the last operon's right end so far
    for (const size_t g : order) {
        const GeneRecord& gene = genes[g];
        const bool joins = rules.grouped && !operons.empty() &&
                           operons.back().forward == gene.sense &&
                           leftOf(gene) - right - 1 <= rules.maxGap;
        if (!joins) {
            operons.push_back({gene.sense, {}});
            right = rightOf(gene);
        }
        operons.back().genes.push_back(g);
        right = std::max(right, rightOf(gene));
    }
    size_t shiftedFrom = static_cast<size_t>(-1);
    if (circular && rules.grouped && operons.size() >= 2 &&
        operons.front().forward == operons.back().forward) {
        Operon& last = operons.back();
        const Operon& first = operons.front();
        const int64_t firstLeft = leftOf(genes[first.genes.front()]) + length;
        if (firstLeft - right - 1 <= rules.maxGap) {
            shiftedFrom = last.genes.size();
            last.genes.insert(last.genes.end(), first.genes.begin(), first.genes.end());
            operons.erase(operons.begin());
        }
    }
    for (size_t k = 0; k < operons.size(); ++k) {
        transcriptionOrder(operons[k], k + 1 == operons.size() ? shiftedFrom : static_cast<size_t>(-1),
                           length, genes);
    }
    return operons;
}

}  // namespace xoprex
