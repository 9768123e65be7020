// What the one-thread and the threaded drivers of a record's scan share
// around the two strand passes: the sizes, the keeper of the hits, the
// progress, the record's text before the first pass, and the record's state
// after the last.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "scan/detail/hit_keeper.h"
#include "scan/detail/scan_loops.h"
#include "scan/detail/strand_text.h"
#include "scan/integrative.h"
#include "scan/scan.h"

namespace xoprex::scan_detail {

// A strand pass once it is over.
struct PassEnd {
    bool forward = true;
    size_t n = 0;    // characters of the strand
    size_t end = 0;  // windows 0 .. end - 1 were scanned
    bool scannable = false;
    const StrandText* text = nullptr;
};

class ScanFrame {
  public:
    // Readies the record for its first pass: a text already reversed by an
    // earlier scan loses the wrap it carries.
    ScanFrame(SequenceRecord& record, int32_t siteLength, const Options& options,
              const IntegrativeWindow& window, const ScanControl& control)
        : length(siteLength > 0 ? static_cast<size_t>(siteLength) : 0),
          halfWidth(options.integrative ? window.halfWidth() : 0),
          wrap(length + halfWidth),
          minimum(options.integrative ? halfWidth + 1 : 0),
          keeper(record, options, siteLength, control.sortedFor),
          ticker(control, 2.0 * static_cast<double>(record.sequence.size())),
          record_(record) {
        ticker.advance(0);
        if (!record.forwardStrand) {
            record.sequence.erase(0, std::min(wrap, record.sequence.size()));
        }
    }

    // Whether a strand of n characters has windows (at least L characters,
    // and h + 1 in integrative mode), and the windows it has.
    bool scannable(size_t n) const { return length > 0 && n >= length && n >= minimum; }
    size_t windowCount(size_t n) const { return scannable(n) ? textLength(n) - length : 0; }
    // Characters of the strand's virtual text, wrap included.
    size_t textLength(size_t n) const { return n + std::min(wrap, n); }

    // Leaves the record as a scan does: the working hit and the cursor on
    // the last pass's last window, and the text (the reverse strand,
    // `reverseText` when the driver kept it apart) followed by its wrap.
    template <class Scorer>
    void finish(const PassEnd& last, const Scorer& scorer, SiteHit& workingHit,
                std::string* reverseText = nullptr) {
        workingHit.reset();
        record_.scanCount = 0;
        record_.scanCursor = 0;
        if (last.scannable) {
            record_.scanCount = static_cast<int32_t>(last.end);
            record_.scanCursor = last.end;
            workingHit.strand = last.forward;
            workingHit.position = static_cast<int32_t>(
                last.forward ? last.end - 1
                             : static_cast<int64_t>(last.n) - static_cast<int64_t>(last.end - 1));
            workingHit.score = scorer(last.text->window(last.end - 1));
        }
        if (reverseText != nullptr) {
            record_.sequence = std::move(*reverseText);
        }
        appendWrap(record_.sequence, wrap);
        record_.forwardStrand = last.forward;
    }

    // The same when the text stays as it was: the cursor on the last
    // pass's last window, the working hit reset.
    void finishKeepingText(size_t lastEnd, bool lastScannable) {
        record_.scanCount = lastScannable ? static_cast<int32_t>(lastEnd) : 0;
        record_.scanCursor = lastScannable ? lastEnd : 0;
    }

    const size_t length;     // L
    const size_t halfWidth;  // h in integrative mode, else 0
    const size_t wrap;       // L + h
    const size_t minimum;    // shortest strand with windows beyond L
    HitKeeper keeper;
    ProgressTicker ticker;

  private:
    SequenceRecord& record_;
};

}  // namespace xoprex::scan_detail
