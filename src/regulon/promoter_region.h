// The promoter region of an operon and what its windows show. The region
// is every window, on either strand, that the site annotation would call an
// operator of the operon's first gene by distance (scan/annotation.h:
// -inGeneDistance < distance < promoterDistance, the distance measured from
// the window's position as the scan gives it), so P + G - 1 positions a
// strand for promoter distance P and in-gene distance G. On a linear record
// the region is clipped to the windows the record has; on a circular one it
// runs across the origin (the distance counted around it), and covers a
// strand whole when it is at least as long. Nothing here fails but memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/records.h"
#include "motif/scoring.h"
#include "options/options.h"
#include "regulon/regulation_model.h"
#include "scan/window_scores.h"
#include "seqio/sequence.h"

namespace xoprex {

// Windows of one strand by their positions, first to last inclusive.
struct PositionRange {
    bool forward = true;
    int64_t first = 0;
    int64_t last = 0;
};

// A record's two strands as the promoter regions read them: the forward
// text, and the reverse strand (its N characters are the record's less
// those without a complement, scan/reverse_complement.h) read from the
// forward text, or built once when some byte has no complement.
class RecordStrands {
  public:
    // `record` must outlive this; `complementable`: every byte of it has a
    // complement (as RecordInfo::uncomplemented tells).
    RecordStrands(const SequenceRecord& record, bool complementable);

    bool circular() const { return circular_; }
    int64_t forwardLength() const { return static_cast<int64_t>(forward_.size()); }
    int64_t reverseLength() const { return reverseLength_; }

    // The ranges of the operator windows of `length` characters of `gene`
    // (at most two a strand).
    std::vector<PositionRange> promoterRanges(const GeneRecord& gene, const Options& options,
                                              int length) const;
    // The same into `ranges` (its room kept).
    void promoterRanges(const GeneRecord& gene, const Options& options, int length,
                        std::vector<PositionRange>& ranges) const;

    // The text of the range's windows of `length` characters, window after
    // window overlapping (count + length - 1 characters), into `out`; the
    // windows in order of their start on the strand read (falling positions
    // on the reverse strand).
    void rangeText(const PositionRange& range, int length, std::string& out) const;

    // Where the range's windows of `length` characters are scored from: the
    // record's own text when they lie within it (for the reverse strand the
    // forward text under them, `reverse` set: window i of it is the range's
    // window count - 1 - i, read with WindowScores::scoreReverse), else
    // rangeText into `buffer`.
    struct WindowsText {
        const char* text = nullptr;
        bool reverse = false;
    };
    WindowsText windowsText(const PositionRange& range, int length, std::string& buffer) const;

  private:
    const std::string& forward_;
    std::string reverse_;  // built only when some byte has no complement
    int64_t reverseLength_ = 0;
    bool circular_ = false;
    bool built_ = false;
};

// What the windows of a region show.
struct RegionWindows {
    size_t count = 0;
    // The best-scoring window (the first of equals, forward strand first).
    bool hasBest = false;
    bool bestForward = true;
    int64_t bestPosition = 0;
    double bestScore = 0.0;
    std::string bestSite;
    // Weighed (RegionEvidence): the windows counted by bin, those of the
    // terms' flat start all in bin 0 (RegulationModel::foldFlat), and their
    // evidence, log P(D | R) - log P(D | B) (0 without windows).
    std::vector<uint32_t> binCounts;
    double evidence = 0.0;
    // What the scoring reuses from region to region.
    std::string text;
    std::vector<std::string> texts;
    std::vector<int32_t> sums;
    std::vector<double> scores;
    std::vector<uint32_t> others;
    std::vector<int32_t> otherSums;
    std::vector<uint16_t> otherBins;
    struct FlatCache {
        const RegulationModel* model = nullptr;
        size_t flat = 0;
        int span = 0;
        double step = 0.0;
        double slack = 0.0;
        RegulationModel::FlatSums sums;
    } flatCache;
};

// How the windows of a region are weighed: the model's bins, and the window
// terms (RegulationModel::weighing) for a region of so many windows.
struct RegionEvidence {
    const RegulationModel* model = nullptr;
    std::function<const RegulationModel::WindowTerms&(size_t windows)> terms;
};

// Scores the windows of the ranges of `length` characters into `region`
// (its buffers kept for the next region; `lowerIsBetter` says which end is
// best): their count, the best, and when weighed their bins and evidence.
// Windows holding letters other than A, C, G, T are left out when
// `skipAmbiguous`. Where the kernel has fixed-point sums, a window is
// scored exactly only when its bounds straddle a bin's edge or it may be
// the best, and binned only when its bounds leave the terms' flat start:
// the counts, the evidence and the best are those of the exact scores all
// the same.
void scoreRegion(const RecordStrands& strands, const std::vector<PositionRange>& ranges,
                 const WindowScores& scores, int length, bool lowerIsBetter, bool skipAmbiguous,
                 const RegionEvidence* weigh, RegionWindows& region);

// The hits of a record by strand and position, to count those in a region.
class HitPlaces {
  public:
    explicit HitPlaces(const std::vector<SiteHit>& hits);
    size_t countIn(const std::vector<PositionRange>& ranges) const;

  private:
    std::vector<int64_t> forward_;
    std::vector<int64_t> reverse_;
};

}  // namespace xoprex
