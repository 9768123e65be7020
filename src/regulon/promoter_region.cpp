#include "regulon/promoter_region.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/cpu_features.h"
#include "regulon/regulation_model.h"
#include "scan/reverse_complement.h"

namespace xoprex {
namespace {

// The windows of a strand of `length` characters: positions from `lowest`
// on (the forward strand's from 0, the reverse strand's from 1, or from L
// when linear), `count` of them.
struct StrandWindows {
    int64_t lowest = 0;
    int64_t count = 0;
};

void addRanges(bool forward, int64_t lo, int64_t hi, const StrandWindows& windows, bool circular,
               std::vector<PositionRange>& ranges) {
    if (windows.count <= 0 || hi < lo) {
        return;
    }
    const int64_t highest = windows.lowest + windows.count - 1;
    if (!circular) {
        lo = std::max(lo, windows.lowest);
        hi = std::min(hi, highest);
        if (lo <= hi) {
            ranges.push_back({forward, lo, hi});
        }
        return;
    }
    if (hi - lo + 1 >= windows.count) {
        ranges.push_back({forward, windows.lowest, highest});
        return;
    }
    const int64_t from =
        windows.lowest + ((lo - windows.lowest) % windows.count + windows.count) % windows.count;
    const int64_t to = from + (hi - lo);
    if (to <= highest) {
        ranges.push_back({forward, from, to});
    } else {
        ranges.push_back({forward, from, highest});
        ranges.push_back({forward, windows.lowest, to - windows.count});
    }
}

bool isUpperBase(char c) {
    return c == 'A' || c == 'C' || c == 'G' || c == 'T';
}

// complementOf for every byte, at hand for the reverse strand's texts.
const std::array<char, 256>& complements() {
    static const std::array<char, 256> table = [] {
        std::array<char, 256> made{};
        for (size_t c = 0; c < 256; ++c) {
            made[c] = complementOf(static_cast<unsigned char>(c));
        }
        return made;
    }();
    return table;
}

}  // namespace

RecordStrands::RecordStrands(const SequenceRecord& record, bool complementable)
    : forward_(record.sequence), circular_(record.topology != Topology::Linear) {
    if (complementable) {
        reverseLength_ = static_cast<int64_t>(forward_.size());
    } else {
        reverse_ = reverseComplementText(forward_);
        reverseLength_ = static_cast<int64_t>(reverse_.size());
        built_ = true;
    }
}

std::vector<PositionRange> RecordStrands::promoterRanges(const GeneRecord& gene,
                                                         const Options& options, int length) const {
    std::vector<PositionRange> ranges;
    promoterRanges(gene, options, length, ranges);
    return ranges;
}

void RecordStrands::promoterRanges(const GeneRecord& gene, const Options& options, int length,
                                   std::vector<PositionRange>& ranges) const {
    ranges.clear();
    // -G < distance < P, the distance B - position for a direct gene and
    // position - B for a complement one (B its start).
    const int64_t begin = gene.begin;
    const int64_t promoter = options.promoterDistance;
    const int64_t inGene = options.inGeneDistance;
    const int64_t lo = gene.sense ? begin - promoter + 1 : begin - inGene + 1;
    const int64_t hi = gene.sense ? begin + inGene - 1 : begin + promoter - 1;
    // A circular strand of N characters has N windows: positions 0 .. N - 1
    // forward, 1 .. N reverse; a linear one N - L + 1: 0 .. N - L forward,
    // L .. N reverse. A strand shorter than L has none.
    const auto windowsOf = [this, length](int64_t n, bool forward) {
        if (n < length || length <= 0) {
            return StrandWindows{0, 0};
        }
        if (circular_) {
            return StrandWindows{forward ? 0 : 1, n};
        }
        return StrandWindows{forward ? 0 : length, n - length + 1};
    };
    addRanges(true, lo, hi, windowsOf(forwardLength(), true), circular_, ranges);
    addRanges(false, lo, hi, windowsOf(reverseLength_, false), circular_, ranges);
}

void RecordStrands::rangeText(const PositionRange& range, int length, std::string& out) const {
    const int64_t count = range.last - range.first + 1;
    const int64_t size = count + length - 1;
    out.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
    char* to = out.data();
    if (range.forward) {
        const int64_t n = forwardLength();
        if (range.first + size <= n) {
            std::memcpy(to, forward_.data() + range.first, static_cast<size_t>(size));
            return;
        }
        for (int64_t k = 0; k < size; ++k) {
            to[k] = forward_[static_cast<size_t>((range.first + k) % n)];
        }
        return;
    }
    // Position p of the reverse strand is its window M - p; its character
    // j is the complement of forward character M - 1 - j (when every byte
    // has a complement).
    const int64_t m = reverseLength_;
    const int64_t start = m - range.last;
    if (built_) {
        for (int64_t k = 0; k < size; ++k) {
            to[k] = reverse_[static_cast<size_t>((start + k) % m)];
        }
        return;
    }
    const std::array<char, 256>& complement = complements();
    for (int64_t k = 0; k < size; ++k) {
        const int64_t j = start + k < m ? start + k : (start + k) % m;
        to[k] = complement[static_cast<unsigned char>(forward_[static_cast<size_t>(m - 1 - j)])];
    }
}

RecordStrands::WindowsText RecordStrands::windowsText(const PositionRange& range, int length,
                                                      std::string& buffer) const {
    const int64_t n = forwardLength();
    if (range.forward && range.first >= 0 && range.last + length <= n) {
        return {forward_.data() + range.first, false};
    }
    // The reverse strand's window at position p lies over forward
    // characters p - L .. p - 1.
    if (!range.forward && !built_ && range.first >= length && range.last <= n) {
        return {forward_.data() + (range.first - length), true};
    }
    rangeText(range, length, buffer);
    return {buffer.data(), false};
}

namespace {

// Whether text[0 .. n) holds only A, C, G and T.
bool basesOnly(const char* text, size_t n) {
    size_t k = 0;
#ifdef __SSE2__
    const __m128i a = _mm_set1_epi8('A');
    const __m128i c = _mm_set1_epi8('C');
    const __m128i g = _mm_set1_epi8('G');
    const __m128i t = _mm_set1_epi8('T');
    for (; k + 16 <= n; k += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + k));
        const __m128i base =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, a), _mm_cmpeq_epi8(bytes, c)),
                         _mm_or_si128(_mm_cmpeq_epi8(bytes, g), _mm_cmpeq_epi8(bytes, t)));
        if (_mm_movemask_epi8(base) != 0xFFFF) {
            return false;
        }
    }
#endif
    for (; k < n; ++k) {
        if (!isUpperBase(text[k])) {
            return false;
        }
    }
    return true;
}

// Marks the windows of `text` holding letters other than bases as left out
// (NaN); returns how many.
template <class Mark>
size_t markAmbiguous(const char* text, size_t count, int length, Mark mark) {
    if (basesOnly(text, count + static_cast<size_t>(length) - 1)) {
        return 0;
    }
    size_t marked = 0;
    size_t others = 0;
    for (int l = 0; l + 1 < length; ++l) {
        others += isUpperBase(text[static_cast<size_t>(l)]) ? 0 : 1;
    }
    for (size_t k = 0; k < count; ++k) {
        others += isUpperBase(text[k + static_cast<size_t>(length) - 1]) ? 0 : 1;
        if (others != 0) {
            mark(k);
            ++marked;
        }
        others -= isUpperBase(text[k]) ? 0 : 1;
    }
    return marked;
}

// The best of scored[0 .. count), count > 0, none NaN (the scores of
// finite terms).
double bestOf(const double* scored, size_t count, bool lowerIsBetter) {
    const auto better = [lowerIsBetter](double a, double b) {
        return lowerIsBetter ? std::min(a, b) : std::max(a, b);
    };
    double best = scored[0];
    size_t k = 1;
#ifdef __SSE2__
    // Two pairs of running extremes, so the comparisons do not wait on
    // each other.
    if (count >= 4) {
        __m128d a = _mm_loadu_pd(scored);
        __m128d b = _mm_loadu_pd(scored + 2);
        for (k = 4; k + 4 <= count; k += 4) {
            const __m128d x = _mm_loadu_pd(scored + k);
            const __m128d y = _mm_loadu_pd(scored + k + 2);
            a = lowerIsBetter ? _mm_min_pd(a, x) : _mm_max_pd(a, x);
            b = lowerIsBetter ? _mm_min_pd(b, y) : _mm_max_pd(b, y);
        }
        double lanes[4];
        _mm_storeu_pd(lanes, a);
        _mm_storeu_pd(lanes + 2, b);
        best = better(better(lanes[0], lanes[1]), better(lanes[2], lanes[3]));
    }
#endif
    for (; k < count; ++k) {
        best = better(best, scored[k]);
    }
    return best;
}

// The first k with scored[k] == value, or count.
size_t firstAt(const double* scored, size_t count, double value) {
    size_t k = 0;
#ifdef __SSE2__
    const __m128d wanted = _mm_set1_pd(value);
    for (; k + 4 <= count; k += 4) {
        const int hits = _mm_movemask_pd(_mm_cmpeq_pd(_mm_loadu_pd(scored + k), wanted)) |
                         _mm_movemask_pd(_mm_cmpeq_pd(_mm_loadu_pd(scored + k + 2), wanted)) << 2;
        if (hits != 0) {
            return k + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
        }
    }
#endif
    for (; k < count && scored[k] != value; ++k) {
    }
    return k;
}

// The first of the best scores of scored[0 .. count) that are not NaN, or
// count when all are.
size_t firstBestScored(const double* scored, size_t count, bool lowerIsBetter) {
    size_t at = count;
    for (size_t k = 0; k < count; ++k) {
        const double score = scored[k];
        if (!std::isnan(score) &&
            (at == count || (lowerIsBetter ? score < scored[at] : score > scored[at]))) {
            at = k;
        }
    }
    return at;
}

// The evidence of the region's counted windows, its counts folded.
void weighCounts(const RegionEvidence& weigh, RegionWindows& region) {
    region.evidence = 0.0;
    if (region.count == 0) {
        return;
    }
    const RegulationModel::WindowTerms& terms = weigh.terms(region.count);
    RegulationModel::foldFlat(region.binCounts, terms.flat);
    region.evidence = RegulationModel::evidence(region.binCounts, terms);
}

// Every window scored exactly; the bins from the scores.
void scoreExactly(const RecordStrands& strands, const std::vector<PositionRange>& ranges,
                  const WindowScores& scores, int length, bool lowerIsBetter, bool skipAmbiguous,
                  const RegionEvidence* weigh, RegionWindows& region) {
    region.scores.clear();
    struct {
        const PositionRange* range = nullptr;
        size_t from = 0;  // its first score
        size_t at = 0;    // its best window, when known
    } best;
    for (const PositionRange& range : ranges) {
        const RecordStrands::WindowsText windows = strands.windowsText(range, length, region.text);
        const auto count = static_cast<size_t>(range.last - range.first + 1);
        const size_t from = region.scores.size();
        region.scores.resize(from + count);
        double* const scored = region.scores.data() + from;
        if (windows.reverse) {
            scores.scoreReverse(windows.text, count, scored);
        } else {
            scores.score(windows.text, count, scored);
        }
        // A window holding letters other than bases is left out: NaN.
        const size_t left =
            skipAmbiguous ? markAmbiguous(windows.text, count, length,
                                          [scored](size_t k) {
                                              scored[k] = std::numeric_limits<double>::quiet_NaN();
                                          })
                          : 0;
        if (windows.reverse) {
            std::reverse(scored, scored + count);
        }
        region.count += count - left;
        // The range's best; where it lies only once the region's best is known.
        double top = 0.0;
        size_t at = count;
        if (left == 0) {
            top = bestOf(scored, count, lowerIsBetter);
        } else {
            at = firstBestScored(scored, count, lowerIsBetter);
            if (at == count) {
                continue;
            }
            top = scored[at];
        }
        if (!region.hasBest || (lowerIsBetter ? top < region.bestScore : top > region.bestScore)) {
            region.hasBest = true;
            region.bestScore = top;
            best = {&range, from, at};
        }
    }
    if (region.hasBest) {
        const PositionRange& range = *best.range;
        const auto count = static_cast<size_t>(range.last - range.first + 1);
        const size_t k = best.at < count
                             ? best.at
                             : firstAt(region.scores.data() + best.from, count, region.bestScore);
        region.bestScore = region.scores[best.from + k];  // that window's own zero, +0 or -0
        region.bestForward = range.forward;
        region.bestPosition = range.forward ? range.first + static_cast<int64_t>(k)
                                            : range.last - static_cast<int64_t>(k);
    }
    if (weigh != nullptr) {
        const RegulationModel& model = *weigh->model;
        region.binCounts.assign(model.binCount(), 0);
        for (const double score : region.scores) {
            if (!std::isnan(score)) {
                ++region.binCounts[model.binOf(score)];
            }
        }
        weighCounts(*weigh, region);
    }
}

// Calls near(k), k rising, for each k < count with sums[k] >= from
// (`below`: sums[k] <= from).
template <class Near>
__attribute__((target("avx2"))) void eachNear256(const int32_t* sums, size_t count, int32_t from,
                                                 bool below, Near near) {
    // a > b on 32-bit lanes; sums[k] >= from is sums[k] > from - 1.
    const __m256i bound = _mm256_set1_epi32(below ? from + 1 : from - 1);
    size_t k = 0;
    for (; k + 8 <= count; k += 8) {
        const __m256i eight = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + k));
        const __m256i in =
            below ? _mm256_cmpgt_epi32(bound, eight) : _mm256_cmpgt_epi32(eight, bound);
        auto mask = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(in)));
        for (; mask != 0; mask &= mask - 1) {
            near(k + static_cast<size_t>(__builtin_ctz(mask)));
        }
    }
    for (; k < count; ++k) {
        if (below ? sums[k] <= from : sums[k] >= from) {
            near(k);
        }
    }
}

template <class Near>
void eachNear(const int32_t* sums, size_t count, int32_t from, bool below, Near near) {
    if (preferredInstructionSet() != InstructionSet::Scalar) {
        eachNear256(sums, count, from, below, near);
        return;
    }
    for (size_t k = 0; k < count; ++k) {
        if (below ? sums[k] <= from : sums[k] >= from) {
            near(k);
        }
    }
}

// The largest (smallest, `lowest`) of the sixteen lanes.
__attribute__((target("avx512f"))) int32_t extremeOfLanes(__m512i lanes, bool lowest) {
    alignas(64) int32_t each[16];
    _mm512_store_si512(each, lanes);
    int32_t extreme = each[0];
    for (const int32_t lane : each) {
        extreme = lowest ? std::min(extreme, lane) : std::max(extreme, lane);
    }
    return extreme;
}

// What one pass over a range's sums finds: how many lie within the terms'
// flat start, the others (their indices), and the extreme of them all,
// left-out ones aside.

struct SplitSums {
    size_t flat = 0;
    int32_t extreme = 0;
    bool any = false;
};

struct SumsSplitter {
    const RegulationModel::FlatSums& flat;
    int32_t leftOut;
    bool lowest;  // the extreme is the smallest sum

    bool inFlat(int32_t sum) const {
        return flat.any && (flat.below ? sum <= flat.limit : sum >= flat.limit);
    }
    int32_t neutral() const {
        return lowest ? std::numeric_limits<int32_t>::max() : std::numeric_limits<int32_t>::min();
    }
    int32_t better(int32_t a, int32_t b) const { return lowest ? std::min(a, b) : std::max(a, b); }

    // Sums k .. count - 1.
    void rest(const int32_t* sums, size_t k, size_t count, SplitSums& split, uint32_t*& out) const {
        for (; k < count; ++k) {
            const int32_t sum = sums[k];
            if (sum == leftOut) {
                continue;
            }
            split.extreme = better(split.extreme, sum);
            split.any = true;
            if (inFlat(sum)) {
                ++split.flat;
            } else {
                *out++ = static_cast<uint32_t>(k);
            }
        }
    }

    __attribute__((target("avx512f"))) void pass512(const int32_t* sums, size_t count,
                                                    SplitSums& split, uint32_t*& out) const {
        const __m512i limit = _mm512_set1_epi32(flat.limit);
        const __m512i left = _mm512_set1_epi32(leftOut);
        const __m512i step = _mm512_set1_epi32(16);
        const __m512i none = _mm512_set1_epi32(neutral());
        __m512i index = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        __m512i all = none;
        size_t k = 0;
        for (; k + 16 <= count; k += 16) {
            const __m512i block = _mm512_loadu_si512(sums + k);
            const __mmask16 kept = _mm512_cmpneq_epi32_mask(block, left);
            const __mmask16 within = !flat.any    ? __mmask16{0}
                                     : flat.below ? _mm512_cmple_epi32_mask(block, limit)
                                                  : _mm512_cmpge_epi32_mask(block, limit);
            split.flat +=
                static_cast<size_t>(__builtin_popcount(static_cast<unsigned>(within & kept)));
            const auto others = static_cast<__mmask16>(kept & ~within);
            _mm512_mask_compressstoreu_epi32(out, others, index);
            out += __builtin_popcount(static_cast<unsigned>(others));
            index = _mm512_add_epi32(index, step);
            const __m512i counted = _mm512_mask_mov_epi32(none, kept, block);
            all = lowest ? _mm512_maskz_min_epi32(0xFFFF, all, counted)
                         : _mm512_maskz_max_epi32(0xFFFF, all, counted);
            split.any = split.any || kept != 0;
        }
        split.extreme = better(split.extreme, extremeOfLanes(all, lowest));
        rest(sums, k, count, split, out);
    }

    SplitSums operator()(const int32_t* sums, size_t count, std::vector<uint32_t>& others) const {
        SplitSums split;
        split.extreme = neutral();
        others.resize(count);
        uint32_t* out = others.data();
        if (preferredInstructionSet() == InstructionSet::Avx512) {
            pass512(sums, count, split, out);
        } else {
            rest(sums, 0, count, split, out);
        }
        others.resize(static_cast<size_t>(out - others.data()));
        return split;
    }
};

// The windows binned from their fixed-point sums: only those whose bounds
// straddle a bin's edge, and those that may be the best, scored exactly;
// those whose bounds lie in the terms' flat start only counted.
void binFromSums(const RecordStrands& strands, const std::vector<PositionRange>& ranges,
                 const WindowScores& scores, int length, bool lowerIsBetter, bool skipAmbiguous,
                 const RegionEvidence& weigh, RegionWindows& region) {
    constexpr int32_t kLeftOut = std::numeric_limits<int32_t>::min();  // no sum comes near
    const RegulationModel& model = *weigh.model;
    const double step = scores.fixedStep();
    const double slack = scores.fixedSlack();
    // A window scoring at least as well as the one of the extreme sum has a
    // sum within this of it: (S + L) step + slack >= extreme step - slack.
    const int64_t reach = length + static_cast<int64_t>(std::ceil(2.0 * slack / step)) + 1;
    // First every range's sums, for the region's count (its terms depend
    // on it).
    struct Part {
        RecordStrands::WindowsText windows;
        size_t from = 0;
        size_t count = 0;
        size_t left = 0;
    };
    std::array<Part, 4> parts;
    if (region.texts.size() < ranges.size()) {
        region.texts.resize(ranges.size());
    }
    size_t total = 0;
    for (const PositionRange& range : ranges) {
        total += static_cast<size_t>(range.last - range.first + 1);
    }
    region.sums.resize(total);
    size_t from = 0;
    for (size_t r = 0; r < ranges.size(); ++r) {
        const PositionRange& range = ranges[r];
        Part& part = parts[r];
        part.windows = strands.windowsText(range, length, region.texts[r]);
        part.from = from;
        part.count = static_cast<size_t>(range.last - range.first + 1);
        from += part.count;
        int32_t* const sums = region.sums.data() + part.from;
        scores.fixedSums(part.windows.text, part.count, part.windows.reverse, sums);
        part.left = skipAmbiguous ? markAmbiguous(part.windows.text, part.count, length,
                                                  [sums](size_t k) { sums[k] = kLeftOut; })
                                  : 0;
        if (part.windows.reverse) {
            std::reverse(sums, sums + part.count);
        }
        region.count += part.count - part.left;
    }
    const size_t bins = model.binCount();
    region.binCounts.assign(bins, 0);
    region.evidence = 0.0;
    if (region.count == 0) {
        return;
    }
    const RegulationModel::WindowTerms& terms = weigh.terms(region.count);
    RegionWindows::FlatCache& cache = region.flatCache;
    if (cache.model != &model || cache.flat != terms.flat || cache.span != length ||
        cache.step != step || cache.slack != slack) {
        cache = {&model, terms.flat, length,
                 step,   slack,      model.flatSums(terms.flat, length, step, slack)};
    }
    const SumsSplitter splitter{cache.sums, kLeftOut, lowerIsBetter};
    size_t flatCount = 0;
    for (size_t r = 0; r < ranges.size(); ++r) {
        const PositionRange& range = ranges[r];
        const Part& part = parts[r];
        const size_t count = part.count;
        if (part.left == count) {
            continue;
        }
        const int32_t* const sums = region.sums.data() + part.from;
        // Window k as read: on the reverse strand, the forward text's window
        // count - 1 - k.
        const auto scoreOf = [&](size_t k) {
            const RecordStrands::WindowsText& windows = part.windows;
            return scores.scoreOne(windows.text + (windows.reverse ? count - 1 - k : k),
                                   windows.reverse);
        };
        const SplitSums split = splitter(sums, count, region.others);
        flatCount += split.flat;
        const size_t rest = region.others.size();
        if (rest > 0) {
            region.otherSums.resize(rest);
            region.otherBins.resize(rest);
            for (size_t j = 0; j < rest; ++j) {
                region.otherSums[j] = sums[region.others[j]];
            }
            model.bracketBins(region.otherSums.data(), rest, length, step, slack,
                              region.otherBins.data());
            for (size_t j = 0; j < rest; ++j) {
                const uint16_t bracketed = region.otherBins[j];
                ++region.binCounts[bracketed != RegulationModel::kUndecided
                                       ? bracketed
                                       : model.binOf(scoreOf(region.others[j]))];
            }
        }
        // The best: the first of the best exact scores among the windows
        // that may reach it; only among the others when no window of the
        // flat start may.
        const auto bound = static_cast<int32_t>(lowerIsBetter ? int64_t{split.extreme} + reach
                                                              : int64_t{split.extreme} - reach);
        const auto near = [&](size_t k) {
            const double score = scoreOf(k);
            if (!region.hasBest ||
                (lowerIsBetter ? score < region.bestScore : score > region.bestScore)) {
                region.hasBest = true;
                region.bestScore = score;
                region.bestForward = range.forward;
                region.bestPosition = range.forward ? range.first + static_cast<int64_t>(k)
                                                    : range.last - static_cast<int64_t>(k);
            }
        };
        const RegulationModel::FlatSums& flat = cache.sums;
        if (!flat.any || (flat.below && !lowerIsBetter && bound > flat.limit) ||
            (!flat.below && lowerIsBetter && bound < flat.limit)) {
            for (const uint32_t k : region.others) {
                if (lowerIsBetter ? sums[k] <= bound : sums[k] >= bound) {
                    near(k);
                }
            }
        } else {
            eachNear(sums, count, bound, lowerIsBetter, [&](size_t k) {
                if (sums[k] != kLeftOut) {
                    near(k);
                }
            });
        }
    }
    region.binCounts[0] += static_cast<uint32_t>(flatCount);
    RegulationModel::foldFlat(region.binCounts, terms.flat);
    region.evidence = RegulationModel::evidence(region.binCounts, terms);
}

}  // namespace

void scoreRegion(const RecordStrands& strands, const std::vector<PositionRange>& ranges,
                 const WindowScores& scores, int length, bool lowerIsBetter, bool skipAmbiguous,
                 const RegionEvidence* weigh, RegionWindows& region) {
    region.count = 0;
    region.hasBest = false;
    region.evidence = 0.0;
    // (At most two ranges a strand, as promoterRanges gives them.)
    if (weigh != nullptr && scores.hasFixedSums() && ranges.size() <= 4) {
        binFromSums(strands, ranges, scores, length, lowerIsBetter, skipAmbiguous, *weigh, region);
    } else {
        scoreExactly(strands, ranges, scores, length, lowerIsBetter, skipAmbiguous, weigh, region);
    }
    if (region.hasBest) {
        const PositionRange window{region.bestForward, region.bestPosition, region.bestPosition};
        strands.rangeText(window, length, region.bestSite);
    }
}

HitPlaces::HitPlaces(const std::vector<SiteHit>& hits) {
    for (const SiteHit& hit : hits) {
        (hit.strand ? forward_ : reverse_).push_back(hit.position);
    }
    std::sort(forward_.begin(), forward_.end());
    std::sort(reverse_.begin(), reverse_.end());
}

size_t HitPlaces::countIn(const std::vector<PositionRange>& ranges) const {
    size_t count = 0;
    for (const PositionRange& range : ranges) {
        const std::vector<int64_t>& places = range.forward ? forward_ : reverse_;
        count += static_cast<size_t>(std::upper_bound(places.begin(), places.end(), range.last) -
                                     std::lower_bound(places.begin(), places.end(), range.first));
    }
    return count;
}

}  // namespace xoprex
