// The loops over one strand's windows, generic over the window scorer (any
// `scorer(const char* window) -> double`, with optional faster block paths)
// and over where the windows that pass go (the HitKeeper, or a thread's
// CandidateList that hands them to the keeper in order afterwards).
#pragma once

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <vector>

#include "scan/detail/hit_keeper.h"
#include "scan/detail/strand_text.h"
#include "scan/integrative.h"
#include "scan/scan.h"

namespace xoprex::scan_detail {

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
template <class Strand, class Scorer, class Keeper>
void scanPlainStrand(const Strand& strand, size_t begin, size_t end, const Scorer& scorer,
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
// window (start c - h - 1) of each step with the means before the slide;
// only windows starting below candidateEnd are kept.
// Scores are taken a block at a time straight into the neighbourhood's
// history, then slid through it. The global sum is added up only when keepGlobal is true.
template <class Strand, class Scorer, class Keeper>
void scanIntegrativeStrand(const Strand& strand, size_t n, size_t textLength, size_t end,
                           size_t candidateEnd, const Scorer& scorer, IntegrativeWindow& window,
                           Keeper& keeper, ProgressTicker& ticker, bool keepGlobal) {
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
                    if (passesCutOff(centre, cutOff, lower) && firstCentre + i < candidateEnd) {
                        keeper.keep(firstCentre + i, centre, local, up, down);
                    }
                });
        }
        ticker.advance(count);
        c += count;
    }
}

}  // namespace xoprex::scan_detail
