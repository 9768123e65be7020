// The two strand passes over one circular record on one thread, generic over
// the window scorer so that the scan itself can be exercised with any scoring
// rule. scanRecord (scan.h) instantiates it with the record's term table.
//
// Pass 1 scans the text as stored, pass 2 its reverse complement. After both
// passes the record's text is the reverse complement of the sequence
// followed by its own first b characters (b = L, plus h in integrative mode).
// Window i of a strand of N characters has position i on the forward pass
// and N - i on the reverse pass. A strand shorter than L, or than h + 1 in
// integrative mode, yields no windows.
#pragma once

#include <cstdint>

#include "scan/detail/scan_frame.h"
#include "scan/reverse_complement.h"

namespace xoprex {

// Both passes with `scorer(const char* window) -> double` scoring the
// siteLength characters at its argument.
template <class Scorer>
void scanRecordWith(SequenceRecord& record, int32_t siteLength, const Scorer& scorer,
                    const Options& options, SiteHit& workingHit, IntegrativeWindow& window,
                    const ScanControl& control = {}) {
    scan_detail::ScanFrame frame(record, siteLength, options, window, control);
    scan_detail::StrandText strands[2];
    scan_detail::PassEnd last;
    for (int pass = 0; pass < 2; ++pass) {
        const std::string& text = record.sequence;
        const size_t n = text.size();
        scan_detail::StrandText& strand = strands[pass];
        frame.keeper.beginStrand(record.forwardStrand, n, &strand);
        if (options.integrative) {
            window.beginPass();
        }
        last = {record.forwardStrand, n, frame.windowCount(n), frame.scannable(n), &strand};
        if (last.scannable) {
            const size_t textLength = frame.textLength(n);
            strand.assign(text.data(), n, textLength - n, frame.length);
            if (options.integrative) {
                // Only the last pass's global sum is kept.
                scan_detail::scanIntegrativeStrand(strand, n, textLength, last.end, scorer, window,
                                                   frame.keeper, frame.ticker, pass == 1);
            } else {
                scan_detail::scanPlainStrand(strand, 0, last.end, scorer, frame.keeper,
                                             frame.ticker);
            }
        }
        if (pass == 0) {
            // The first pass's hits take their texts along; then the text
            // turns into its reverse complement in its own storage.
            frame.keeper.detachStrand();
            reverseComplementInPlace(record.sequence);
            record.forwardStrand = !record.forwardStrand;
        }
    }
    frame.finish(last, scorer, workingHit);
}

}  // namespace xoprex
