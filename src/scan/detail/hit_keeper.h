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
// thread in increasing window order: 12 bytes a window (and the means in
// integrative scans), since a record may keep every window. Starts are kept
// in 32 bits relative to the list's first one, so a list spans fewer than
// 2^32 windows (fits tells whether a start may still join it).
class CandidateList {
  public:
    CandidateList(double cutOff, bool lowerIsBetterScore, bool withMeans)
        : cutOff_(cutOff), lower_(lowerIsBetterScore), withMeans_(withMeans) {}
    double cutOff() const { return cutOff_; }
    bool lowerIsBetter() const { return lower_; }
    bool fits(size_t start) const { return offsets_.empty() || start - base_ <= UINT32_MAX; }
    void keep(size_t start, double score, double localMean, double upMean, double downMean) {
        if (offsets_.empty()) {
            base_ = start;
        }
        keepAt(static_cast<uint32_t>(start - base_), score, localMean, upMean, downMean);
    }
    // An empty list's first start; then keepAt(start - base, ...).
    void startAt(size_t base) { base_ = base; }
    void keepAt(uint32_t offset, double score, double localMean, double upMean, double downMean) {
        offsets_.push_back(offset);
        scores_.push_back(score);
        if (withMeans_) {
            means_.push_back(WindowMeans{localMean, upMean, downMean});
        }
    }
    size_t size() const { return offsets_.size(); }
    size_t start(size_t i) const { return base_ + offsets_[i]; }
    double score(size_t i) const { return scores_[i]; }
    WindowMeans means(size_t i) const { return withMeans_ ? means_[i] : WindowMeans{}; }

  private:
    double cutOff_;
    bool lower_;
    bool withMeans_;
    size_t base_ = 0;
    std::vector<uint32_t> offsets_;  // window starts less base_
    std::vector<double> scores_;
    std::vector<WindowMeans> means_;  // integrative scans only
};

// The windows of one strand in increasing order as one scanning thread keeps
// them, in as many lists as their span needs (a new one 2^32 windows after
// the current one's first).
class CandidateLists {
  public:
    CandidateLists(std::vector<CandidateList>& lists, const CandidateList& empty)
        : lists_(lists), empty_(empty) {}
    double cutOff() const { return empty_.cutOff(); }
    bool lowerIsBetter() const { return empty_.lowerIsBetter(); }
    // Out of line: the integrative slide's loop, which calls it, keeps its
    // running means in registers only without the vectors' code inside.
    [[gnu::noinline]] void keep(size_t start, double score, double localMean, double upMean,
                                double downMean) {
        if (start >= end_) {
            open(start);
        }
        current_->keepAt(static_cast<uint32_t>(start - base_), score, localMean, upMean, downMean);
    }

  private:
    void open(size_t start) {
        lists_.push_back(empty_);
        current_ = &lists_.back();
        current_->startAt(start);
        base_ = start;
        end_ = start + UINT32_MAX < start ? SIZE_MAX : start + UINT32_MAX;
    }

    std::vector<CandidateList>& lists_;
    CandidateList empty_;
    CandidateList* current_ = nullptr;
    size_t base_ = 0;
    size_t end_ = 0;  // the first start the current list cannot take
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
                const size_t start = list.start(i);
                if (skipAmbiguous_ && !allBases(text.window(start))) {
                    continue;
                }
                keep(start, list.score(i), list.means(i),
                     [&](size_t at) { return text.window(at); });
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
            const size_t start = entryStart(e);
            const int pass = entryPass(e);
            hits.emplace_back(siteLength_);
            fill(hits.back(), pass, start, entryScores_[e],
                 entryMeans_.empty() ? WindowMeans{} : entryMeans_[e],
                 pass == 0 ? first.window(start) : second.window(start));
        }
        release();
    }

  private:
    // An entry's pass and start: the pass in the top bit of its code, the
    // start's low 31 bits below it, and on strands of 2^31 characters or
    // more the start's higher bits in entryHigh_.
    static constexpr uint32_t kPassShift = 31;
    static constexpr uint32_t kStartMask = (uint32_t{1} << kPassShift) - 1;
    int entryPass(size_t e) const { return static_cast<int>(entryCodes_[e] >> kPassShift); }
    size_t entryStart(size_t e) const {
        const size_t low = entryCodes_[e] & kStartMask;
        return long_ ? low | static_cast<size_t>(entryHigh_[e]) << kPassShift : low;
    }
    uint32_t codeOf(size_t start) const {
        return static_cast<uint32_t>(start & kStartMask) | static_cast<uint32_t>(pass_)
                                                               << kPassShift;
    }
    uint32_t highOf(size_t start) const { return static_cast<uint32_t>(start >> kPassShift); }

    bool allBases(const char* window) const;

    template <class Window>
    void keep(size_t start, double score, const WindowMeans& means, Window window);
    void beginStrand(bool forward, size_t n, const std::vector<CandidateList>& lists);
    int64_t positionOf(int pass, size_t start) const {
        return static_cast<int64_t>(forward_[pass] ? start : strandLength_[pass] - start);
    }
    bool strandOf(size_t listIndex) const;
    double scoreOf(size_t listIndex) const;
    void fill(SiteHit& hit, int pass, size_t start, double score, const WindowMeans& means,
              const char* site) const;
    void appendEntry(size_t start, double score, const WindowMeans& means);
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
    // The entries: score, pass and window start (entryPass, entryStart),
    // means.
    std::vector<double> entryScores_;
    std::vector<uint32_t> entryCodes_;
    std::vector<uint32_t> entryHigh_;      // when long_
    bool long_ = false;                    // a strand of 2^31 characters or more
    std::vector<WindowMeans> entryMeans_;  // integrative scans only
    bool withMeans_;
    const Options* sortOptions_;
    bool skipAmbiguous_;
};

template <class Window>
void HitKeeper::keep(size_t start, double score, const WindowMeans& means, Window window) {
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
        index_.replaced(partner, strandOf(partner), positionOf(entryPass(e), entryStart(e)), strand,
                        position);
    }
    entryScores_[e] = score;
    entryCodes_[e] = codeOf(start);
    if (long_) {
        entryHigh_[e] = highOf(start);
    }
    if (withMeans_) {
        entryMeans_[e] = means;
    }
}

}  // namespace xoprex::scan_detail
