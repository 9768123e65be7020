// What the one-thread and the threaded drivers of a record's scan share
// around the two strand passes: the sizes, the keeper of the hits and the
// progress.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "scan/detail/hit_keeper.h"
#include "scan/detail/scan_loops.h"
#include "scan/detail/strand_text.h"
#include "scan/integrative.h"
#include "scan/scan.h"

namespace xoprex::scan_detail {

class ScanFrame {
  public:
    // The hits go to `out`; with `sortedFor`, an empty list receives them in
    // the order sortHits(*sortedFor, ...) gives them. A linear text has no
    // windows across its end.
    ScanFrame(size_t textSize, int32_t siteLength, const Options& options,
              const IntegrativeWindow& window, const ScanControl& control, RecordHits& out,
              const Options* sortedFor, bool linearText)
        : length(siteLength > 0 ? static_cast<size_t>(siteLength) : 0),
          halfWidth(options.integrative ? window.halfWidth() : 0),
          wrap(length + halfWidth),
          minimum(options.integrative ? halfWidth + 1 : 0),
          linear(linearText),
          keeper(out, options, siteLength, sortedFor, control.skipAmbiguous),
          ticker(control, 2.0 * static_cast<double>(textSize)) {}

    // Whether a strand of n characters has windows (at least L characters,
    // and h + 1 in integrative mode).
    bool scannable(size_t n) const { return length > 0 && n >= length && n >= minimum; }
    // The windows a pass scores: every start of the circle, plus the h
    // windows beyond in integrative mode, whose neighbourhood runs around
    // the circle; a linear strand's plain pass only those within it.
    size_t windowCount(size_t n) const {
        if (!scannable(n)) {
            return 0;
        }
        return linear && halfWidth == 0 ? n - length + 1 : textLength(n) - length;
    }
    // The windows that may become hits start below this: all the pass
    // scores in plain mode; in integrative mode those at 0 .. n - 2 (the
    // window at n - 1 only takes part in other windows' means), within the
    // strand when it is linear.
    size_t candidateEnd(size_t n) const {
        if (!scannable(n) || halfWidth == 0) {
            return windowCount(n);
        }
        return linear ? std::min(n - 1, n - length + 1) : n - 1;
    }
    // The windows the strand has (those counted as tested): n around a
    // circle, n - L + 1 within a linear strand.
    size_t existingWindows(size_t n) const {
        if (!scannable(n)) {
            return 0;
        }
        return linear ? n - length + 1 : n;
    }
    // Characters of the strand's virtual text, wrap included.
    size_t textLength(size_t n) const { return n + std::min(wrap, n); }

    const size_t length;     // L
    const size_t halfWidth;  // h in integrative mode, else 0
    const size_t wrap;       // L + h
    const size_t minimum;    // shortest strand with windows beyond L
    const bool linear;       // no window across the strand's end
    HitKeeper keeper;
    ProgressTicker ticker;
};

}  // namespace xoprex::scan_detail
