#include "regulon/promoter_region.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

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
    // -G < distance < P, the distance B - position for a direct gene and
    // position - B for a complement one (B its start).
    const int64_t begin = gene.begin;
    const int64_t promoter = options.promoterDistance;
    const int64_t inGene = options.inGeneDistance;
    const int64_t lo = gene.sense ? begin - promoter + 1 : begin - inGene + 1;
    const int64_t hi = gene.sense ? begin + inGene - 1 : begin + promoter - 1;
    std::vector<PositionRange> ranges;
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
    return ranges;
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
        const __m128i base = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, a), _mm_cmpeq_epi8(bytes, c)),
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
size_t markAmbiguous(const char* text, size_t count, int length, double* scored) {
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
            scored[k] = std::numeric_limits<double>::quiet_NaN();
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

}  // namespace

void scoreRegion(const RecordStrands& strands, const std::vector<PositionRange>& ranges,
                 const WindowScores& scores, int length, bool lowerIsBetter, bool skipAmbiguous,
                 RegionWindows& region) {
    region.count = 0;
    region.hasBest = false;
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
        const size_t left = skipAmbiguous ? markAmbiguous(windows.text, count, length, scored) : 0;
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
        if (!region.hasBest ||
            (lowerIsBetter ? top < region.bestScore : top > region.bestScore)) {
            region.hasBest = true;
            region.bestScore = top;
            best = {&range, from, at};
        }
    }
    if (region.hasBest) {
        const PositionRange& range = *best.range;
        const auto count = static_cast<size_t>(range.last - range.first + 1);
        const size_t k = best.at < count ? best.at
                                         : firstAt(region.scores.data() + best.from, count,
                                                   region.bestScore);
        region.bestScore = region.scores[best.from + k];  // that window's own zero, +0 or -0
        region.bestForward = range.forward;
        region.bestPosition = range.forward ? range.first + static_cast<int64_t>(k)
                                            : range.last - static_cast<int64_t>(k);
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
