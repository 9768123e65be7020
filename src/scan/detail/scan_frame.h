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
    // the order sortHits(*sortedFor, ...) gives them.
    ScanFrame(size_t textSize, int32_t siteLength, const Options& options,
              const IntegrativeWindow& window, const ScanControl& control, RecordHits& out,
              const Options* sortedFor)
        : length(siteLength > 0 ? static_cast<size_t>(siteLength) : 0),
          halfWidth(options.integrative ? window.halfWidth() : 0),
          wrap(length + halfWidth),
          minimum(options.integrative ? halfWidth + 1 : 0),
          keeper(out, options, siteLength, sortedFor),
          ticker(control, 2.0 * static_cast<double>(textSize)) {
        ticker.advance(0);
    }

    // Whether a strand of n characters has windows (at least L characters,
    // and h + 1 in integrative mode), and the windows it has.
    bool scannable(size_t n) const { return length > 0 && n >= length && n >= minimum; }
    size_t windowCount(size_t n) const { return scannable(n) ? textLength(n) - length : 0; }
    // Characters of the strand's virtual text, wrap included.
    size_t textLength(size_t n) const { return n + std::min(wrap, n); }

    const size_t length;     // L
    const size_t halfWidth;  // h in integrative mode, else 0
    const size_t wrap;       // L + h
    const size_t minimum;    // shortest strand with windows beyond L
    HitKeeper keeper;
    ProgressTicker ticker;
};

}  // namespace xoprex::scan_detail
