// The two strand passes over one circular record, generic over the window
// scorer so that the scan itself can be exercised with any scoring rule.
// scanRecord (scan.h) instantiates it with the record's TermTable.
//
// Pass 1 scans the text as stored, pass 2 its reverse complement. Each pass
// appends b = L (+ h in integrative mode) wrap characters so that windows
// run over the end into the start; pass 2 first removes the complement of
// pass 1's wrap. Window i of a strand of N characters has position i on the
// forward pass and N - i on the reverse pass. A strand shorter than L, or
// than h + 1 in integrative mode, yields no windows.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "options/options.h"
#include "run/records.h"
#include "scan/integrative.h"
#include "scan/redundancy.h"
#include "scan/scan.h"
#include "seqio/sequence.h"

namespace xoprex {

// The cut-off test: strictly below the cut-off for the heterology indices
// (methods 2 and 3), strictly above it for every other method. Equal scores
// and NaN never pass.
inline bool passesCutOff(double score, double cutOff, bool lowerIsBetterScore) {
    return lowerIsBetterScore ? score < cutOff : score > cutOff;
}

// Replaces the record's text by its reverse complement and flips
// forwardStrand.
void reverseComplement(SequenceRecord& record);

namespace scan_detail {

// Appends the wrap of the coming pass (first min(b, size) characters). On the
// reverse strand it first removes `complementedWrap` leading characters, the
// complement of the previous pass's wrap. Returns N, the strand length before
// the wrap, and on the forward strand sets complementedWrap to the number of
// wrap characters that survive the reverse complement.
size_t prepareStrand(SequenceRecord& record, size_t wrapLength, size_t& complementedWrap);

// Cut-off test and keeping of the windows of one record. Kept windows of the
// current pass wait in a compact list (no text copied, nothing allocated per
// hit beyond the list's growth) and become SiteHit records at the end of the
// pass, in order, with the hit list grown once. Redundancy partners may be
// finished records of the earlier pass or waiting entries of this one;
// indices count both, in list order.
class HitKeeper {
  public:
    HitKeeper(SequenceRecord& record, const Options& options, int32_t siteLength);

    void beginStrand(bool forward, size_t strandLength) {
        forward_ = forward;
        strandLength_ = strandLength;
    }
    bool passes(double score) const { return passesCutOff(score, cutOff_, lower_); }
    double cutOff() const { return cutOff_; }
    bool lowerIsBetter() const { return lower_; }
    // Keeps the window starting at `start` of the strand (text at `site`).
    void keep(const char* site, size_t start, double score, double localMean, double upMean,
              double downMean);
    int32_t position(size_t start) const {
        return static_cast<int32_t>(forward_ ? start : strandLength_ - start);
    }
    // Appends the waiting hits of the pass to the record; `text` is the
    // pass's text.
    void finishStrand(const char* text);

  private:
    struct Pending {
        double score, localMean, upMean, downMean;
        size_t start;
        int32_t position;
        bool strand;
    };
    void fill(SiteHit& hit, const Pending& pending, const char* text) const;

    SequenceRecord& record_;
    int32_t siteLength_;
    std::vector<Pending> pending_;
    RedundancyIndex index_;
    double cutOff_;
    bool lower_;
    bool removeRedundant_;
    bool forward_ = true;
    size_t strandLength_ = 0;
};

// Reports progress and honours cancellation every few thousand windows.
class ProgressTicker {
  public:
    ProgressTicker(const ScanControl& control, double totalWindows)
        : control_(control), total_(totalWindows > 0.0 ? totalWindows : 1.0) {}
    void advance(size_t windows);

  private:
    const ScanControl& control_;
    double total_;
    double done_ = 0.0;
};

inline constexpr size_t kWindowsPerTick = size_t{1} << 16;

// A scorer may offer faster paths than one call per window:
//   block(text, count, out): the scores of the windows at text + 0..count-1;
//   passing(text, count, cutOff, lower, keep): keep(i, score) for each of
//   those windows that passes the cut-off, in increasing i.
template <class Scorer>
concept BlockScorer = requires(const Scorer& s, const char* t, double* out) {
    s.block(t, size_t{0}, out);
};
template <class Scorer>
concept FilteringScorer = requires(const Scorer& s, const char* t) {
    s.passing(t, size_t{0}, 0.0, false, [](size_t, double) {});
};

template <bool kLower, class Scorer>
void scanPlainWindows(const char* text, size_t first, size_t stop, const Scorer& scorer,
                      double cutOff, HitKeeper& keeper) {
    for (size_t c = first; c < stop; ++c) {
        const double score = scorer(text + c);
        if (kLower ? score < cutOff : score > cutOff) {
            keeper.keep(text + c, c, score, 0.0, 0.0, 0.0);
        }
    }
}

template <class Scorer>
void scanPlainStrand(const char* text, size_t end, const Scorer& scorer, HitKeeper& keeper,
                     ProgressTicker& ticker) {
    const double cutOff = keeper.cutOff();
    const bool lower = keeper.lowerIsBetter();
    for (size_t c = 0; c < end;) {
        const size_t stop = end - c > kWindowsPerTick ? c + kWindowsPerTick : end;
        if constexpr (FilteringScorer<Scorer>) {
            scorer.passing(text + c, stop - c, cutOff, lower, [&](size_t i, double score) {
                keeper.keep(text + c + i, c + i, score, 0.0, 0.0, 0.0);
            });
        } else if (lower) {
            scanPlainWindows<true>(text, c, stop, scorer, cutOff, keeper);
        } else {
            scanPlainWindows<false>(text, c, stop, scorer, cutOff, keeper);
        }
        ticker.advance(stop - c);
        c = stop;
    }
}

// Integrative pass over a strand of n characters held in text[0..textLength):
// fill the W windows starting at circular offsets -h..h, then slide over the
// windows at h + 1 .. end - 1, testing the centre window (start c - h - 1) of
// each step with the means before the slide. Scores are taken a block at a
// time into `block`, then slid through the neighbourhood.
template <class Scorer>
void scanIntegrativeStrand(const char* text, size_t n, size_t textLength, size_t end,
                           const Scorer& scorer, IntegrativeWindow& window, HitKeeper& keeper,
                           ProgressTicker& ticker, std::vector<double>& block) {
    const size_t h = window.halfWidth();
    const size_t w = window.size();
    window.startFill();
    for (size_t k = 0; k < w; ++k) {
        window.fillAppend(scorer(text + (k < h ? n - h + k : k - h)));
    }
    window.finishFill();
    const double divisor = static_cast<double>(textLength);
    const double cutOff = keeper.cutOff();
    const bool lower = keeper.lowerIsBetter();
    for (size_t c = h + 1; c < end;) {
        const size_t count = std::min(end - c, kWindowsPerTick);
        block.resize(count);
        if constexpr (BlockScorer<Scorer>) {
            scorer.block(text + c, count, block.data());
        } else {
            for (size_t i = 0; i < count; ++i) {
                block[i] = scorer(text + c + i);
            }
        }
        const size_t firstCentre = c - h - 1;
        window.slideMany(block.data(), count, divisor,
                         [&](size_t i, double centre, double local, double up, double down) {
                             if (passesCutOff(centre, cutOff, lower)) {
                                 const size_t start = firstCentre + i;
                                 keeper.keep(text + start, start, centre, local, up, down);
                             }
                         });
        ticker.advance(count);
        c += count;
    }
}

}  // namespace scan_detail

// Both passes with `scorer(const char* window) -> double` scoring the
// siteLength characters at its argument.
template <class Scorer>
void scanRecordWith(SequenceRecord& record, int32_t siteLength, const Scorer& scorer,
                    const Options& options, SiteHit& workingHit, IntegrativeWindow& window,
                    const ScanControl& control = {}) {
    const bool integrative = options.integrative;
    const size_t length = siteLength > 0 ? static_cast<size_t>(siteLength) : 0;
    const size_t h = integrative ? window.halfWidth() : 0;
    const size_t wrap = length + h;
    scan_detail::HitKeeper keeper(record, options, siteLength);
    scan_detail::ProgressTicker ticker(control, 2.0 * static_cast<double>(record.sequence.size()));
    ticker.advance(0);
    size_t complementedWrap = wrap;
    for (int pass = 0; pass < 2; ++pass) {
        const bool forward = record.forwardStrand;
        const size_t n = scan_detail::prepareStrand(record, wrap, complementedWrap);
        const size_t textLength = record.sequence.size();
        record.scanCount = 0;
        record.scanCursor = 0;
        workingHit.reset();
        keeper.beginStrand(forward, n);
        if (integrative) {
            window.beginPass();
        }
        const bool scannable = length > 0 && n >= length && (!integrative || n >= h + 1);
        std::vector<double> block;
        if (scannable) {
            const size_t end = textLength - length;
            const char* text = record.sequence.data();
            if (integrative) {
                scan_detail::scanIntegrativeStrand(text, n, textLength, end, scorer, window, keeper,
                                                   ticker, block);
            } else {
                scan_detail::scanPlainStrand(text, end, scorer, keeper, ticker);
            }
            record.scanCount = static_cast<int32_t>(end);
            record.scanCursor = end;
            workingHit.strand = forward;
            workingHit.score = scorer(text + end - 1);  // the last window taken
        }
        keeper.finishStrand(record.sequence.data());
        if (record.forwardStrand) {
            reverseComplement(record);
        }
    }
}

}  // namespace xoprex
