#include "regulon/promoter_region.h"

#include <algorithm>

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

}  // namespace

RecordStrands::RecordStrands(const SequenceRecord& record)
    : forward_(record.sequence), circular_(record.topology != Topology::Linear) {
    if (fullyComplementable(forward_.data(), forward_.size())) {
        reverseLength_ = static_cast<int64_t>(forward_.size());
    } else {
        reverse_ = reverseComplementText(forward_);
        reverseLength_ = static_cast<int64_t>(reverse_.size());
        built_ = true;
    }
}

char RecordStrands::reverseAt(int64_t i) const {
    if (built_) {
        return reverse_[static_cast<size_t>(i)];
    }
    return complementOf(
        static_cast<unsigned char>(forward_[static_cast<size_t>(reverseLength_ - 1 - i)]));
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
    if (range.forward) {
        const int64_t n = forwardLength();
        for (int64_t k = 0; k < size; ++k) {
            out[static_cast<size_t>(k)] = forward_[static_cast<size_t>((range.first + k) % n)];
        }
        return;
    }
    // Position p of the reverse strand is its window M - p.
    const int64_t m = reverseLength_;
    const int64_t start = m - range.last;
    for (int64_t k = 0; k < size; ++k) {
        out[static_cast<size_t>(k)] = reverseAt((start + k) % m);
    }
}

RegionWindows scoreRegion(const RecordStrands& strands, const std::vector<PositionRange>& ranges,
                          const TermTable& terms, bool lowerIsBetter, bool skipAmbiguous) {
    RegionWindows region;
    const int length = terms.siteLength();
    std::string text;
    for (const PositionRange& range : ranges) {
        strands.rangeText(range, length, text);
        const int64_t count = range.last - range.first + 1;
        // Letters other than bases in the window at k.
        int64_t others = 0;
        for (int l = 0; l + 1 < length; ++l) {
            others += isUpperBase(text[static_cast<size_t>(l)]) ? 0 : 1;
        }
        for (int64_t k = 0; k < count; ++k) {
            const char* window = text.data() + k;
            others += isUpperBase(window[length - 1]) ? 0 : 1;
            const bool clean = others == 0;
            others -= isUpperBase(window[0]) ? 0 : 1;
            if (skipAmbiguous && !clean) {
                continue;
            }
            const double score = terms.score(window);
            region.scores.push_back(score);
            ++region.count;
            const bool better = !region.hasBest || (lowerIsBetter ? score < region.bestScore
                                                                  : score > region.bestScore);
            if (better) {
                region.hasBest = true;
                region.bestForward = range.forward;
                region.bestPosition = range.forward ? range.first + k : range.last - k;
                region.bestScore = score;
                region.bestSite.assign(window, static_cast<size_t>(length));
            }
        }
    }
    return region;
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
