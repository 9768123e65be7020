// The two strand passes over one circular record, generic over the window
// scorer so that the scan itself can be exercised with any scoring rule.
// scanRecord (scan.h) instantiates it with the record's TermTable.
//
// Pass 1 scans the text as stored, pass 2 its reverse complement. Windows
// run over the end of a strand into its start: the strand is read as if its
// first b = L (+ h in integrative mode) characters were appended to it (at
// most N of them), which gives the windows at 0 .. N + b - L - 1. Those that
// cross the end are read from a short stitched copy of the strand's end and
// start, so the long text is never copied for the wrap. After both passes the
// record's text is the reverse complement of the sequence followed by its own
// first b characters. Window i of a strand of N characters has position i on
// the forward pass and N - i on the reverse pass. A strand shorter than L, or
// than h + 1 in integrative mode, yields no windows.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/records.h"
#include "options/options.h"
#include "scan/integrative.h"
#include "scan/redundancy.h"
#include "scan/reverse_complement.h"
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

// One strand as the scan reads it: text[0..n) followed (virtually) by its
// first `wrap` characters. Windows starting before stitchStart lie inside
// text; the others are read from `stitch`, which holds the virtual text from
// stitchStart on.
class StrandText {
  public:
    void assign(const char* text, size_t n, size_t wrap, size_t length);
    const char* window(size_t start) const {
        return start < stitchStart_ ? text_ + start : stitch_.data() + (start - stitchStart_);
    }
    // Splits [first, stop) at stitchStart: calls run(pointer, first, count)
    // for each part, pointer being the first window's text.
    template <class Run>
    void forRanges(size_t first, size_t stop, Run&& run) const {
        if (first < stitchStart_) {
            const size_t inside = std::min(stop, stitchStart_);
            run(text_ + first, first, inside - first);
            first = inside;
        }
        if (first < stop) {
            run(stitch_.data() + (first - stitchStart_), first, stop - first);
        }
    }
    // Copies the window starting at `start` (< n) into `site`.
    void copyWindow(size_t start, size_t length, std::string& site) const;

  private:
    const char* text_ = nullptr;
    size_t n_ = 0;
    size_t stitchStart_ = 0;
    std::string stitch_;
};

// The text of the reverse pass: the reverse complement of text[0..n), with
// room for the wrap.
std::string reverseStrand(const char* text, size_t n, size_t wrap);

// The reverse strand of text[0..n), read a stretch at a time instead of
// being copied whole: position j < n holds the complement of text[n - 1 - j]
// and the strand goes on with its own first characters (the wrap). Only for
// texts whose every byte has a complement (fullyComplementable), so that no
// byte is dropped and the strand has n characters. Offers StrandText's
// reading interface; the texts it hands out live in its own buffer until the
// next call, so each thread needs its own reader.
class ReverseStrandReader {
  public:
    ReverseStrandReader(const char* text, size_t n, size_t length)
        : text_(text), n_(n), length_(length) {}
    const char* window(size_t start) const { return windows(start, 1); }
    template <class Run>
    void forRanges(size_t first, size_t stop, Run&& run) const {
        run(windows(first, stop - first), first, stop - first);
    }

  private:
    // The characters of the windows starting at first .. first + count - 1.
    const char* windows(size_t first, size_t count) const;

    const char* text_;
    size_t n_;
    size_t length_;
    mutable std::string buffer_;
};
// Appends the text's own first min(wrap, size) characters to it (the state
// a scanned record's text is left in).
void appendWrap(std::string& text, size_t wrap);

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

// Reports progress and honours cancellation every few thousand windows.
// Several scanning threads may share one ticker: calls are serialised.
class ProgressTicker {
  public:
    ProgressTicker(const ScanControl& control, double totalWindows)
        : control_(control), total_(totalWindows > 0.0 ? totalWindows : 1.0) {}
    void advance(size_t windows);

  private:
    const ScanControl& control_;
    double total_;
    double done_ = 0.0;
    std::mutex mutex_;
};

// Windows that passed the cut-off, gathered by one scanning thread and
// handed to the HitKeeper in order afterwards. Offers the keeper's
// interface to the strand loops.
struct Candidate {
    size_t start;
    double score, localMean, upMean, downMean;
};
class CandidateList {
  public:
    CandidateList(double cutOff, bool lowerIsBetterScore)
        : cutOff_(cutOff), lower_(lowerIsBetterScore) {}
    double cutOff() const { return cutOff_; }
    bool lowerIsBetter() const { return lower_; }
    void keep(size_t start, double score, double localMean, double upMean, double downMean) {
        items.push_back(Candidate{start, score, localMean, upMean, downMean});
    }
    std::vector<Candidate> items;

  private:
    double cutOff_;
    bool lower_;
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

// out[i] = the score of the window at text + i, for i < count.
template <class Scorer>
void scoreWindows(const Scorer& scorer, const char* text, size_t count, double* out) {
    if constexpr (BlockScorer<Scorer>) {
        scorer.block(text, count, out);
    } else {
        for (size_t i = 0; i < count; ++i) {
            out[i] = scorer(text + i);
        }
    }
}

template <bool kLower, class Scorer, class Keeper>
void scanPlainWindows(const char* text, size_t first, size_t count, const Scorer& scorer,
                      double cutOff, Keeper& keeper) {
    for (size_t i = 0; i < count; ++i) {
        const double score = scorer(text + i);
        if (kLower ? score < cutOff : score > cutOff) {
            keeper.keep(first + i, score, 0.0, 0.0, 0.0);
        }
    }
}

// The windows at begin .. end - 1 of a plain (not integrative) pass.
template <class Scorer, class Keeper>
void scanPlainStrand(const StrandText& strand, size_t begin, size_t end, const Scorer& scorer,
                     Keeper& keeper, ProgressTicker& ticker) {
    const double cutOff = keeper.cutOff();
    const bool lower = keeper.lowerIsBetter();
    const auto run = [&](const char* text, size_t first, size_t count) {
        if constexpr (FilteringScorer<Scorer>) {
            scorer.passing(text, count, cutOff, lower, [&](size_t i, double score) {
                keeper.keep(first + i, score, 0.0, 0.0, 0.0);
            });
        } else if (lower) {
            scanPlainWindows<true>(text, first, count, scorer, cutOff, keeper);
        } else {
            scanPlainWindows<false>(text, first, count, scorer, cutOff, keeper);
        }
    };
    for (size_t c = begin; c < end;) {
        const size_t stop = end - c > kWindowsPerTick ? c + kWindowsPerTick : end;
        strand.forRanges(c, stop, run);
        ticker.advance(stop - c);
        c = stop;
    }
}

// Integrative pass over a strand of n characters whose virtual text has
// textLength characters: fill the W windows starting at circular offsets
// -h..h, then slide over the windows at h + 1 .. end - 1, testing the centre
// window (start c - h - 1) of each step with the means before the slide.
// Scores are taken a block at a time straight into the neighbourhood's
// history, then slid through it. The global sum is added up only when keepGlobal is true.
template <class Strand, class Scorer, class Keeper>
void scanIntegrativeStrand(const Strand& strand, size_t n, size_t textLength, size_t end,
                           const Scorer& scorer, IntegrativeWindow& window, Keeper& keeper,
                           ProgressTicker& ticker, bool keepGlobal) {
    const size_t h = window.halfWidth();
    const size_t w = window.size();
    window.startFill();
    for (size_t k = 0; k < w; ++k) {
        window.fillAppend(scorer(strand.window(k < h ? n - h + k : k - h)));
    }
    window.finishFill();
    const double divisor = static_cast<double>(textLength);
    const double cutOff = keeper.cutOff();
    const bool lower = keeper.lowerIsBetter();
    // Sub-blocks small enough that the scores and their quotients stay in
    // the core's cache between scoring, division and slide; the scores are
    // written straight behind the queue.
    constexpr size_t kSlideBlock = IntegrativeWindow::kBlock;
    for (size_t c = h + 1; c < end;) {
        const size_t count = std::min(end - c, kWindowsPerTick);
        for (size_t sub = c; sub < c + count; sub += kSlideBlock) {
            const size_t part = std::min(c + count - sub, kSlideBlock);
            double* incoming = window.incoming();
            strand.forRanges(sub, sub + part, [&](const char* text, size_t first, size_t run) {
                scoreWindows(scorer, text, run, incoming + (first - sub));
            });
            const size_t firstCentre = sub - h - 1;
            window.slideIncoming(
                part, divisor, keepGlobal,
                [&](size_t i, double centre, double local, double up, double down) {
                    if (passesCutOff(centre, cutOff, lower)) {
                        keeper.keep(firstCentre + i, centre, local, up, down);
                    }
                });
        }
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
    scan_detail::HitKeeper keeper(record, options, siteLength, control.sortedFor);
    scan_detail::ProgressTicker ticker(control, 2.0 * static_cast<double>(record.sequence.size()));
    ticker.advance(0);
    scan_detail::StrandText strands[2];
    if (!record.forwardStrand) {
        // A text already reversed by an earlier scan carries its wrap.
        record.sequence.erase(0, std::min(wrap, record.sequence.size()));
    }
    for (int pass = 0; pass < 2; ++pass) {
        const bool forward = record.forwardStrand;
        const std::string& text = record.sequence;
        const size_t n = text.size();
        const size_t textLength = n + std::min(wrap, n);
        record.scanCount = 0;
        record.scanCursor = 0;
        workingHit.reset();
        scan_detail::StrandText& strand = strands[pass];
        keeper.beginStrand(forward, n, &strand);
        if (integrative) {
            window.beginPass();
        }
        const bool scannable = length > 0 && n >= length && (!integrative || n >= h + 1);
        if (scannable) {
            const size_t end = textLength - length;
            strand.assign(text.data(), n, textLength - n, length);
            if (integrative) {
                // Only the last pass's global sum is kept.
                scan_detail::scanIntegrativeStrand(strand, n, textLength, end, scorer, window,
                                                   keeper, ticker, pass == 1);
            } else {
                scan_detail::scanPlainStrand(strand, 0, end, scorer, keeper, ticker);
            }
            record.scanCount = static_cast<int32_t>(end);
            record.scanCursor = end;
            // The working hit ends the pass holding the last window taken.
            workingHit.strand = forward;
            workingHit.position = static_cast<int32_t>(
                forward ? end - 1 : static_cast<int64_t>(n) - static_cast<int64_t>(end - 1));
            workingHit.score = scorer(strand.window(end - 1));
        }
        if (pass == 0) {
            // The first pass's hits take their texts along; then the text
            // turns into its reverse complement in its own storage.
            keeper.detachStrand();
            reverseComplementInPlace(record.sequence);
            record.forwardStrand = !record.forwardStrand;
        }
    }
    keeper.finish();
    scan_detail::appendWrap(record.sequence, wrap);
}

}  // namespace xoprex
