// The cut-off test and the keeping of the windows that pass it, with the
// redundancy rule (detail/redundancy.h) on them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "options/options.h"
#include "scan/detail/redundancy.h"
#include "scan/detail/strand_text.h"
#include "seqio/sequence.h"

namespace xoprex {

// The cut-off test: strictly below the cut-off for the heterology indices
// (methods 2 and 3), strictly above it for every other method. Equal scores
// and NaN never pass.
inline bool passesCutOff(double score, double cutOff, bool lowerIsBetterScore) {
    return lowerIsBetterScore ? score < cutOff : score > cutOff;
}

namespace scan_detail {

// Cut-off test and keeping of the windows of one record. Kept windows of
// both passes wait in a compact list (nothing allocated per hit beyond the
// list's growth) and become SiteHit records at the end of the scan, in list
// order or in the final sort order (see the constructor), with the hit list
// grown once to its exact size. A pass's text must
// stay readable until finish() or until detachStrand() has copied out the
// window texts of that pass's waiting hits. Redundancy partners may be
// records the list held before the scan or waiting entries; indices count
// both, in list order.
class HitKeeper {
  public:
    // With `sortedFor`, a list empty before the scan receives the hits in
    // the order sortHits(*sortedFor, ...) gives them (the same records, so
    // that sort then has nothing to do).
    HitKeeper(SequenceRecord& record, const Options& options, int32_t siteLength,
              const Options* sortedFor = nullptr);

    // Room for `more` kept windows (a hint: the waiting list and the
    // redundancy lookups are sized once instead of growing).
    void reserve(size_t more);
    // Starts the next pass (at most two per scan) over `strand`.
    void beginStrand(bool forward, size_t strandLength, const StrandText* strand) {
        pass_ = passes_++;
        forward_ = forward;
        strandLength_ = strandLength;
        strands_[pass_] = strand;
    }
    bool passes(double score) const { return passesCutOff(score, cutOff_, lower_); }
    double cutOff() const { return cutOff_; }
    bool lowerIsBetter() const { return lower_; }
    // Keeps the window starting at `start` of the current strand.
    void keep(size_t start, double score, double localMean, double upMean, double downMean);
    int32_t position(size_t start) const {
        return static_cast<int32_t>(forward_ ? start : strandLength_ - start);
    }
    // Copies the window texts of the current pass's waiting hits, so that
    // the pass's text may change before finish().
    void detachStrand();
    // Appends the waiting hits of both passes to the record.
    void finish();

  private:
    struct Pending {
        double score;
        size_t start;  // window start on its strand; once detached, offset in detached_
        size_t means;  // index in means_ (integrative scans); kNoMeans otherwise
        int32_t position;
        bool strand;
        uint8_t pass;  // which strand text holds the window; kDetached: detached_
    };
    static constexpr uint8_t kDetached = 2;
    static constexpr size_t kNoMeans = static_cast<size_t>(-1);
    struct Means {
        double local, up, down;
    };
    void fill(SiteHit& hit, const Pending& pending) const;
    void keepFresh(const Pending& hit);
    size_t firstPassPartner(const Pending& hit);

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

    SequenceRecord& record_;
    int32_t siteLength_;
    std::vector<Pending> pending_;  // sized by reserve() when the count is known
    double cutOff_;
    bool lower_;
    bool removeRedundant_;
    // Redundancy partners: through firstPass_ when the list was empty before
    // the scan (fresh_), through index_ otherwise.
    bool fresh_;
    RedundancyIndex index_;
    FirstPassKeys firstPass_;
    size_t lowCursor_ = 0;
    size_t highCursor_ = 0;
    const Options* sortOptions_;
    bool forward_ = true;
    uint8_t pass_ = 0;
    uint8_t passes_ = 0;
    size_t strandLength_ = 0;
    const StrandText* strands_[2] = {nullptr, nullptr};
    std::string detached_;      // window texts copied by detachStrand, back to back
    std::vector<Means> means_;  // the neighbourhood means of integrative scans
    bool integrative_;
};

}  // namespace scan_detail
}  // namespace xoprex
