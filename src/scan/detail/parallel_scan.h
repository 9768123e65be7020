// The two strand passes of scanRecordWith (detail/strand_scan.h) on several
// threads, with the same hits in the same order.
//
// Plain mode: the windows of each strand are cut into chunks, each chunk is
// scored and filtered on its own (every thread with its own copy of the
// scorer); between the strands the text is reverse-complemented in place.
// Integrative mode: the running means are sequential along a strand, so the
// forward and reverse passes run side by side, each with its own
// neighbourhood; the caller's neighbourhood takes the reverse pass, so it
// ends holding that pass's global sum as in the sequential scan. When every
// byte of the text has a complement, the reverse pass reads the forward
// text a block at a time (ReverseStrandReader) and the text is reversed in
// place afterwards; otherwise the reverse strand is copied first.
//
// Either way the threads only gather the windows that pass the cut-off; the
// HitKeeper then takes them in strand and window order, so the redundancy
// rule (which depends on list order) sees exactly the sequence of the
// one-thread scan. The record ends in the same state as after scanRecordWith.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "base/tasks.h"
#include "scan/detail/scan_frame.h"
#include "scan/detail/strand_scan.h"

namespace xoprex {
namespace scan_detail {

// One strand of a threaded scan.
struct StrandJob {
    bool forward = true;
    size_t n = 0;           // characters of the strand
    size_t textLength = 0;  // with the wrap
    size_t end = 0;         // windows 0 .. end - 1
    bool scannable = false;
    StrandText text;
};

inline void prepareJob(StrandJob& job, const std::string& text, bool forward,
                       const ScanFrame& frame) {
    job.forward = forward;
    job.n = text.size();
    job.textLength = frame.textLength(job.n);
    job.scannable = frame.scannable(job.n);
    job.end = frame.windowCount(job.n);
    if (job.scannable) {
        job.text.assign(text.data(), job.n, job.textLength - job.n, frame.length);
    }
}

inline constexpr size_t kWindowsPerChunk = size_t{1} << 17;

inline size_t chunkCount(const StrandJob& job) {
    return (job.end + kWindowsPerChunk - 1) / kWindowsPerChunk;
}

// Both strands of a threaded scan and the windows they kept.
struct ThreadedScan {
    ThreadedScan(ScanFrame& scanFrame, unsigned threadCount)
        : frame(scanFrame), threads(threadCount) {}

    ScanFrame& frame;
    unsigned threads;
    StrandJob jobs[2];
    std::string reverse;                  // integrative: the reverse strand's own copy
    bool reverseCopied = false;           // record.sequence takes `reverse` at the end
    std::vector<CandidateList> found[2];  // plain: one list per chunk

    CandidateList emptyList() const {
        return CandidateList(frame.keeper.cutOff(), frame.keeper.lowerIsBetter());
    }
    void buildReverse(const std::string& forwardText) {
        reverse = reverseStrand(forwardText.data(), forwardText.size(), frame.wrap);
        reverseCopied = true;
        prepareJob(jobs[1], reverse, !jobs[0].forward, frame);
    }
};

inline size_t keptCount(const ThreadedScan& scan, int strand) {
    size_t kept = 0;
    for (const CandidateList& list : scan.found[strand]) {
        kept += list.items.size();
    }
    return kept;
}

// Hands the windows one strand kept to the keeper, in window order.
inline void keepFound(const ThreadedScan& scan, int strand, HitKeeper& keeper) {
    const StrandJob& job = scan.jobs[strand];
    keeper.beginStrand(job.forward, job.n, &job.text);
    for (const CandidateList& list : scan.found[strand]) {
        for (const Candidate& c : list.items) {
            keeper.keep(c.start, c.score, c.localMean, c.upMean, c.downMean);
        }
    }
}

// Between the strands of a threaded scan: the forward hits take their texts
// along, the record's text turns into its reverse complement in its own
// storage, and the reverse strand's job reads it.
inline void reverseInPlace(ThreadedScan& scan, SequenceRecord& record, HitKeeper& keeper) {
    keeper.detachStrand();
    reverseComplementInPlace(record.sequence);
    prepareJob(scan.jobs[1], record.sequence, !scan.jobs[0].forward, scan.frame);
}

template <class Scorer>
void scanStrandChunks(ThreadedScan& scan, int strand, std::vector<Scorer>& scorers,
                      ProgressTicker& ticker) {
    StrandJob& job = scan.jobs[strand];
    const size_t chunks = chunkCount(job);
    scan.found[strand].assign(chunks, scan.emptyList());
    runTasks(chunks, scan.threads, [&](size_t chunk, unsigned worker) {
        const size_t begin = chunk * kWindowsPerChunk;
        const size_t stop = std::min(job.end, begin + kWindowsPerChunk);
        scanPlainStrand(job.text, begin, stop, scorers[worker], scan.found[strand][chunk], ticker);
    });
}

// Plain mode: the forward chunks, then the record's text turns into its
// reverse complement in its own storage (the forward hits having taken their
// texts along), then the reverse chunks.
template <class Scorer>
void scanPlainThreaded(ThreadedScan& scan, SequenceRecord& record, const Scorer& scorer,
                       HitKeeper& keeper, ProgressTicker& ticker) {
    std::vector<Scorer> scorers(scan.threads, scorer);
    scanStrandChunks(scan, 0, scorers, ticker);
    keeper.reserve(keptCount(scan, 0));
    keepFound(scan, 0, keeper);
    reverseInPlace(scan, record, keeper);
    scanStrandChunks(scan, 1, scorers, ticker);
    keeper.reserve(keptCount(scan, 1));
    keepFound(scan, 1, keeper);
}

// Integrative mode: both passes side by side.
template <class Scorer>
void scanIntegrativeThreaded(ThreadedScan& scan, SequenceRecord& record, const Scorer& scorer,
                             IntegrativeWindow& window, HitKeeper& keeper, ProgressTicker& ticker) {
    IntegrativeWindow forwardWindow = window;
    for (auto& lists : scan.found) {
        lists.assign(1, scan.emptyList());
    }
    // Without bytes that the reverse complement drops, the reverse strand
    // has the forward strand's length and is read from the forward text.
    const bool readBackwards = fullyComplementable(record.sequence.data(), record.sequence.size());
    runTasks(2, scan.threads, [&](size_t strand, unsigned) {
        IntegrativeWindow& neighbourhood = strand == 0 ? forwardWindow : window;
        neighbourhood.beginPass();
        const Scorer local = scorer;
        const auto scanWith = [&](const StrandJob& job, const auto& text) {
            if (job.scannable) {
                scanIntegrativeStrand(text, job.n, job.textLength, job.end, local, neighbourhood,
                                      scan.found[strand].front(), ticker, strand == 1);
            }
        };
        if (strand == 0 || readBackwards) {
            // The reverse strand's job differs from the forward one only in
            // its direction and text.
            const StrandJob& job = scan.jobs[0];
            if (strand == 0) {
                scanWith(job, job.text);
            } else {
                scanWith(job,
                         ReverseStrandReader(record.sequence.data(), job.n, scan.frame.length));
            }
            return;
        }
        scan.buildReverse(record.sequence);
        scanWith(scan.jobs[1], scan.jobs[1].text);
    });
    keeper.reserve(keptCount(scan, 0) + keptCount(scan, 1));
    keepFound(scan, 0, keeper);
    if (readBackwards) {
        reverseInPlace(scan, record, keeper);
    }
    keepFound(scan, 1, keeper);
}

}  // namespace scan_detail

// scanRecordWith on control.threads threads (one thread: scanRecordWith
// itself). The scorer is copied once per thread.
template <class Scorer>
void scanRecordThreaded(SequenceRecord& record, int32_t siteLength, const Scorer& scorer,
                        const Options& options, SiteHit& workingHit, IntegrativeWindow& window,
                        const ScanControl& control = {}) {
    if (control.threads <= 1) {
        scanRecordWith(record, siteLength, scorer, options, workingHit, window, control);
        return;
    }
    scan_detail::ScanFrame frame(record, siteLength, options, window, control);
    scan_detail::ThreadedScan scan(frame, control.threads);
    scan_detail::prepareJob(scan.jobs[0], record.sequence, record.forwardStrand, frame);
    if (options.integrative) {
        scan_detail::scanIntegrativeThreaded(scan, record, scorer, window, frame.keeper,
                                             frame.ticker);
    } else {
        scan_detail::scanPlainThreaded(scan, record, scorer, frame.keeper, frame.ticker);
    }
    const scan_detail::StrandJob& last = scan.jobs[1];
    frame.finish({last.forward, last.n, last.end, last.scannable, &last.text}, scorer, workingHit,
                 scan.reverseCopied ? &scan.reverse : nullptr);
}

}  // namespace xoprex
