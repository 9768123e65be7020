// The cut-off test, the windows that pass it, and their keeping as hits with
// the redundancy rule (detail/redundancy.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/records.h"
#include "options/options.h"
#include "scan/detail/redundancy.h"

namespace xoprex::scan_detail {

// The cut-off test: strictly below the cut-off for the heterology indices
// (methods 2 and 3), strictly above it for every other method. Equal scores
// and NaN never pass.
inline bool passesCutOff(double score, double cutOff, bool lowerIsBetterScore) {
    return lowerIsBetterScore ? score < cutOff : score > cutOff;
}

// The neighbourhood means of a window (integrative scans).
struct WindowMeans {
    double local = 0.0, up = 0.0, down = 0.0;
};

// Windows of one strand that passed the cut-off, gathered by a scanning
// thread in window order: 12 bytes a window (and the means in integrative
// scans), since a record may keep every window.
class CandidateList {
  public:
    CandidateList(double cutOff, bool lowerIsBetterScore, bool withMeans)
        : cutOff_(cutOff), lower_(lowerIsBetterScore), withMeans_(withMeans) {}
    double cutOff() const { return cutOff_; }
    bool lowerIsBetter() const { return lower_; }
    void keep(size_t start, double score, double localMean, double upMean, double downMean) {
        starts.push_back(static_cast<uint32_t>(start));
        scores.push_back(score);
        if (withMeans_) {
            means.push_back(WindowMeans{localMean, upMean, downMean});
        }
    }
    size_t size() const { return starts.size(); }

    std::vector<uint32_t> starts;  // window starts on the strand
    std::vector<double> scores;
    std::vector<WindowMeans> means;  // integrative scans only

  private:
    double cutOff_;
    bool lower_;
    bool withMeans_;
};

// Turns the windows that passed into the record's hits: strand after strand,
// each strand's windows in order, a window without a redundancy partner is
// added to the list, one with a partner takes the partner's place when it
// scores strictly better and is dropped otherwise. Partners may be hits the
// list held before the scan. The rule runs on compact entries; the hits
// (SiteHit records with their texts) are made once at the end, at the
// list's exact size, so that a record keeping every window holds no more
// than its hits and their entries at any time.
class HitKeeper {
  public:
    // With `sortedFor`, a list empty before the scan receives its hits in the
    // order sortHits(*sortedFor, ...) gives them.
    // With `skipAmbiguous`, windows holding a letter other than A, C, G and
    // T are passed over.
    HitKeeper(RecordHits& out, const Options& options, int32_t siteLength,
              const Options* sortedFor = nullptr, bool skipAmbiguous = false);

    double cutOff() const { return cutOff_; }
    bool lowerIsBetter() const { return lower_; }

    // Applies the rule to the windows of `lists` (in order) of a strand of n
    // characters; `text.window(start)` reads a window (for hits the list
    // held before the scan, replaced in place). At most two strands per scan.
    template <class Text>
    void keepStrand(bool forward, size_t n, const Text& text,
                    const std::vector<CandidateList>& lists) {
        beginStrand(forward, n, lists);
        for (const CandidateList& list : lists) {
            for (size_t i = 0; i < list.size(); ++i) {
                if (skipAmbiguous_ && !allBases(text.window(list.starts[i]))) {
                    continue;
                }
                const WindowMeans means = list.means.empty() ? WindowMeans{} : list.means[i];
                keep(list.starts[i], list.scores[i], means,
                     [&](uint32_t start) { return text.window(start); });
            }
        }
    }

    // Makes the hits of the entries, reading their windows from the first
    // and second strand's texts.
    template <class First, class Second>
    void finish(const First& first, const Second& second) {
        std::vector<int64_t>().swap(firstPass_.keys);
        compactEntries();
        if (sortOptions_ != nullptr && fresh_) {
            sortEntries();
        }
        returnTemporaryMemory();
        reserveHits();
        auto& hits = out_.hits;
        for (size_t e = 0; e < entryScores_.size(); ++e) {
            const uint32_t code = entryCodes_[e];
            const uint32_t start = code & kStartMask;
            const int pass = code >> kPassShift;
            hits.emplace_back(siteLength_);
            fill(hits.back(), pass, start, entryScores_[e],
                 entryMeans_.empty() ? WindowMeans{} : entryMeans_[e],
                 pass == 0 ? first.window(start) : second.window(start));
        }
        release();
    }

  private:
    static constexpr uint32_t kPassShift = 31;

    bool allBases(const char* window) const;
    static constexpr uint32_t kStartMask = (uint32_t{1} << kPassShift) - 1;

    template <class Window>
    void keep(uint32_t start, double score, const WindowMeans& means, Window window);
    void beginStrand(bool forward, size_t n, const std::vector<CandidateList>& lists);
    int64_t positionOf(int pass, uint32_t start) const {
        return static_cast<int64_t>(forward_[pass] ? start : strandLength_[pass] - start);
    }
    bool strandOf(size_t listIndex) const;
    double scoreOf(size_t listIndex) const;
    void fill(SiteHit& hit, int pass, uint32_t start, double score, const WindowMeans& means,
              const char* site) const;
    void appendEntry(uint32_t start, double score, const WindowMeans& means);
    void compactEntries();
    void sortEntries();
    void returnTemporaryMemory();
    void reserveHits();
    size_t firstPassPartner(bool strand, int64_t position);
    void release();

    // Positions of the first pass's hits, as keys in increasing order (the
    // pass's windows come in order, so its positions are strictly monotonic:
    // increasing on the forward strand, decreasing on the reverse). Lookups
    // walk a cursor from where the previous lookup ended.
    struct FirstPassKeys {
        std::vector<int64_t> keys;
        bool forward = true;
        int64_t key(int64_t position) const { return forward ? position : -position; }
        // Index of `position` among the first pass's hits, or kNoPartner.
        size_t find(int64_t position, size_t& cursor) const;
    };

    RecordHits& out_;
    int32_t siteLength_;
    double cutOff_;
    bool lower_;
    bool removeRedundant_;
    // Redundancy partners: through firstPass_ when the list was empty before
    // the scan (fresh_), through index_ otherwise. List indices count the
    // hits held before the scan (existing_), then the entries.
    bool fresh_;
    size_t existing_;
    RedundancyIndex index_;
    FirstPassKeys firstPass_;
    size_t lowCursor_ = 0;
    size_t highCursor_ = 0;
    int pass_ = -1;
    bool forward_[2] = {true, false};
    size_t strandLength_[2] = {0, 0};
    // The entries: score, window start with its pass in the top bit, means.
    std::vector<double> entryScores_;
    std::vector<uint32_t> entryCodes_;
    std::vector<WindowMeans> entryMeans_;  // integrative scans only
    bool withMeans_;
    const Options* sortOptions_;
    bool skipAmbiguous_;
};

template <class Window>
void HitKeeper::keep(uint32_t start, double score, const WindowMeans& means, Window window) {
    if (!removeRedundant_ || (fresh_ && pass_ == 0)) {
        appendEntry(start, score, means);  // no partner possible
        return;
    }
    const bool strand = forward_[pass_];
    const int64_t position = positionOf(pass_, start);
    const size_t partner = fresh_ ? firstPassPartner(strand, position)
                                  : index_.findPartner(strand, position, siteLength_);
    if (partner == kNoPartner) {
        appendEntry(start, score, means);
        if (!fresh_) {
            index_.appended(existing_ + entryScores_.size() - 1, strand, position);
        }
        return;
    }
    // The partner takes every field of the new hit when the new hit scores
    // strictly better; otherwise the new hit is dropped. Either way one of
    // the two passing windows gives way.
    const double earlier = scoreOf(partner);
    if (!(lower_ ? score < earlier : score > earlier)) {
        out_.droppedScores.push_back(score);
        return;
    }
    out_.droppedScores.push_back(earlier);
    if (partner < existing_) {
        SiteHit& target = out_.hits[partner];
        index_.replaced(partner, target.strand, target.position, strand, position);
        target.reset();
        fill(target, pass_, start, score, means, window(start));
        return;
    }
    const size_t e = partner - existing_;
    if (!fresh_) {
        index_.replaced(partner, strandOf(partner),
                        positionOf(entryCodes_[e] >> kPassShift, entryCodes_[e] & kStartMask),
                        strand, position);
    }
    entryScores_[e] = score;
    entryCodes_[e] = start | static_cast<uint32_t>(pass_) << kPassShift;
    if (withMeans_) {
        entryMeans_[e] = means;
    }
}

}  // namespace xoprex::scan_detail
