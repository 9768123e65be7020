// The two strand passes over one circular text, on control.threads threads
// (one included), generic over the window scorer so that the scan itself can
// be exercised with any scoring rule. scanRecord (scan.h) instantiates it
// with the record's term table.
//
// Pass 1 scans the text as given, pass 2 its reverse complement. Window i of
// a strand of N characters has position i on the forward pass and N - i on
// the reverse pass. A strand shorter than L, or than h + 1 in integrative
// mode, yields no windows.
//
// Both strands are scanned before any window becomes a hit: the windows
// that pass gather in compact candidate lists (plain mode: the windows cut
// into chunks, scored on the threads side by side; integrative mode: the
// running means are sequential along a strand, so the two strands run side
// by side, each with its own neighbourhood, the caller's taking the reverse
// one so that it ends holding that pass's global sum). When every byte of
// the text has a complement, a plain scan with the record's kernel scores
// both strands in one pass over the forward text (the kernel scores a
// window's reverse complement from its forward letters), and the other
// scans read the reverse strand from the forward text a block at a time
// (ReverseStrandReader); otherwise the reverse strand is copied first. Then the HitKeeper turns the
// candidates into hits strand after strand, in window order, so the redundancy rule (which depends
// on list order) sees the same sequence whatever the thread count, and the hit list is allocated
// once at its exact size.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/tasks.h"
#include "scan/detail/scan_frame.h"
#include "scan/detail/window_kernel.h"
#include "scan/reverse_complement.h"

namespace xoprex::scan_detail {

// One strand of a scan.
struct StrandJob {
    bool forward = true;
    size_t n = 0;             // characters of the strand
    size_t textLength = 0;    // with the wrap
    size_t end = 0;           // windows 0 .. end - 1 are scored
    size_t candidateEnd = 0;  // windows 0 .. candidateEnd - 1 may become hits
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
    job.candidateEnd = frame.candidateEnd(job.n);
    if (job.scannable) {
        job.text.assign(text.data(), job.n, job.textLength - job.n, frame.length);
    }
}

inline constexpr size_t kWindowsPerChunk = size_t{1} << 17;

// Both strands of a scan and the windows they kept.
struct StrandScan {
    StrandScan(ScanFrame& scanFrame, unsigned threadCount, bool integrative)
        : frame(scanFrame), threads(std::max(1u, threadCount)), withMeans(integrative) {}

    ScanFrame& frame;
    unsigned threads;
    bool withMeans;
    StrandJob jobs[2];
    // The reverse strand: read from the forward text (readBackwards), or a
    // copy of its own.
    bool readBackwards = false;
    std::string reverse;
    std::vector<CandidateList> found[2];  // per strand, in window order

    CandidateList emptyList() const {
        return CandidateList(frame.keeper.cutOff(), frame.keeper.lowerIsBetter(), withMeans);
    }
    // Prepares the reverse strand's job over the copy (when the forward text
    // cannot be read backwards).
    void copyReverse(const std::string& forwardText) {
        reverse = reverseStrand(forwardText.data(), forwardText.size(), frame.wrap);
        prepareJob(jobs[1], reverse, !jobs[0].forward, frame);
    }
    ReverseStrandReader backwardsReader(const std::string& forwardText) const {
        return ReverseStrandReader(forwardText.data(), jobs[0].n, frame.length);
    }
    const StrandJob& reverseJob() const { return readBackwards ? jobs[0] : jobs[1]; }
};

// Plain mode: the windows of one strand in chunks, side by side; textOf(worker)
// is the strand's text as that worker reads it.
template <class Scorer, class TextOf>
void scanStrandChunks(StrandScan& scan, const StrandJob& job, TextOf textOf, int strand,
                      std::vector<Scorer>& scorers) {
    const size_t chunks = (job.end + kWindowsPerChunk - 1) / kWindowsPerChunk;
    scan.found[strand].assign(chunks, scan.emptyList());
    runTasks(chunks, scan.threads, [&](size_t chunk, unsigned worker) {
        const size_t begin = chunk * kWindowsPerChunk;
        const size_t stop = std::min(job.end, begin + kWindowsPerChunk);
        scanPlainStrand(textOf(worker), begin, stop, scorers[worker], scan.found[strand][chunk],
                        scan.frame.ticker);
    });
}

template <class Scorer>
void scanPlain(StrandScan& scan, const std::string& forwardText, const Scorer& scorer) {
    std::vector<Scorer> scorers(scan.threads, scorer);
    scanStrandChunks(
        scan, scan.jobs[0], [&](unsigned) -> const StrandText& { return scan.jobs[0].text; }, 0,
        scorers);
    if (scan.readBackwards) {
        // A reader's texts live in its own buffer: one reader per thread.
        std::vector<ReverseStrandReader> readers(scan.threads, scan.backwardsReader(forwardText));
        scanStrandChunks(
            scan, scan.jobs[0],
            [&](unsigned worker) -> const ReverseStrandReader& { return readers[worker]; }, 1,
            scorers);
    } else {
        scan.copyReverse(forwardText);
        scanStrandChunks(
            scan, scan.jobs[1], [&](unsigned) -> const StrandText& { return scan.jobs[1].text; }, 1,
            scorers);
    }
}

// One of the plain scans of a text whose every byte has a complement that
// scanPlainBothEach runs in one pass (the kernel scores a window's reverse
// complement from its forward letters).
struct PairScan {
    StrandScan* scan = nullptr;
    const WindowKernel* kernel = nullptr;
    // Set by the pass: the scan's filter and windows.
    const WindowKernel::CutFilter* filter = nullptr;
    size_t end = 0;     // windows 0 .. end - 1
    size_t inside = 0;  // windows 0 .. inside - 1 lie within the text
    size_t last = 0;    // N - L, the last window within the text
};

// The scans, both strands each, in one pass over the text on `threads`
// threads (strand_pairs.cpp): chunks of forward windows side by side, each
// keeping the windows that pass on the forward strand and the reverse
// windows whose letters they complement, progress going to `ticker`.
void scanPlainBothEach(std::span<PairScan> scans, const std::string& text, unsigned threads,
                       ProgressTicker& ticker);

// Integrative mode: both strands side by side.
template <class Scorer>
void scanIntegrative(StrandScan& scan, const std::string& forwardText, const Scorer& scorer,
                     IntegrativeWindow& window) {
    IntegrativeWindow forwardWindow = window;
    for (auto& lists : scan.found) {
        lists.clear();
    }
    if (!scan.readBackwards) {
        scan.copyReverse(forwardText);
    }
    runTasks(2, scan.threads, [&](size_t strand, unsigned) {
        IntegrativeWindow& neighbourhood = strand == 0 ? forwardWindow : window;
        neighbourhood.beginPass();
        const Scorer local = scorer;
        CandidateLists kept(scan.found[strand], scan.emptyList());
        const auto scanWith = [&](const StrandJob& job, const auto& text) {
            if (job.scannable) {
                scanIntegrativeStrand(text, job.n, job.textLength, job.end, job.candidateEnd, local,
                                      neighbourhood, kept, scan.frame.ticker, strand == 1);
            }
        };
        if (strand == 0) {
            scanWith(scan.jobs[0], scan.jobs[0].text);
        } else if (scan.readBackwards) {
            // The reverse strand's job differs from the forward one only in
            // its direction and text.
            scanWith(scan.jobs[0], scan.backwardsReader(forwardText));
        } else {
            scanWith(scan.jobs[1], scan.jobs[1].text);
        }
    });
}

// The candidates of both strands become hits, strand after strand; each
// strand's lists are released once the rule has run over them.
template <class ReverseText>
void keepFound(StrandScan& scan, const ReverseText& reverseText) {
    HitKeeper& keeper = scan.frame.keeper;
    const StrandJob& forward = scan.jobs[0];
    keeper.keepStrand(forward.forward, forward.n, forward.text, scan.found[0]);
    std::vector<CandidateList>().swap(scan.found[0]);
    keeper.keepStrand(!forward.forward, scan.reverseJob().n, reverseText, scan.found[1]);
    std::vector<CandidateList>().swap(scan.found[1]);
    keeper.finish(forward.text, reverseText);
}

// The windows of both strands that count as tested (RecordHits::windowsScored).
inline size_t windowsTested(const StrandScan& scan, const std::string& forwardText,
                            bool skipAmbiguous) {
    const ScanFrame& frame = scan.frame;
    const StrandJob& forward = scan.jobs[0];
    const StrandJob& reverse = scan.reverseJob();
    const size_t forwardWindows = frame.existingWindows(forward.n);
    const size_t reverseWindows = frame.existingWindows(reverse.n);
    if (!skipAmbiguous) {
        return forwardWindows + reverseWindows;
    }
    const size_t clean =
        cleanWindowCount(forwardText.data(), forward.n, frame.length, forwardWindows);
    // Read backwards, the reverse strand's windows hold the complements of
    // the forward windows' letters; a copy of its own may be shorter.
    return clean + (scan.readBackwards ? clean
                                       : cleanWindowCount(scan.reverse.data(), reverse.n,
                                                          frame.length, reverseWindows));
}

// Both passes over `text` with `scorer(const char* window) -> double`
// scoring the siteLength characters at its argument (copied once per
// thread): the hits that pass are appended to out.hits (in window order,
// strand after strand; with `sortedFor`, an empty list receives them in the
// order sortHits(*sortedFor, ...) gives them), and the windows tested are
// added to out.windowsScored. A `linear` text has no windows across its end.
// The text is only read.
template <class Scorer>
void scanTextWith(const std::string& text, int32_t siteLength, const Scorer& scorer,
                  const Options& options, IntegrativeWindow& window, RecordHits& out,
                  const ScanControl& control = {}, const Options* sortedFor = nullptr,
                  bool linear = false) {
    ScanFrame frame(text.size(), siteLength, options, window, control, out, sortedFor, linear);
    StrandScan scan(frame, control.threads, options.integrative);
    prepareJob(scan.jobs[0], text, true, frame);
    // Without bytes that the reverse complement drops, the reverse strand
    // has the forward strand's length and is read from the forward text.
    scan.readBackwards = fullyComplementable(text.data(), text.size());
    if (options.integrative) {
        scanIntegrative(scan, text, scorer, window);
    } else if constexpr (std::is_same_v<Scorer, WindowKernel>) {
        if (scan.readBackwards && scorer.scoresBothStrands()) {
            PairScan one{&scan, &scorer};
            scanPlainBothEach({&one, 1}, text, scan.threads, frame.ticker);
        } else {
            scanPlain(scan, text, scorer);
        }
    } else {
        scanPlain(scan, text, scorer);
    }
    if (scan.readBackwards) {
        keepFound(scan, scan.backwardsReader(text));
    } else {
        keepFound(scan, scan.jobs[1].text);
    }
    out.windowsScored += windowsTested(scan, text, control.skipAmbiguous);
}

}  // namespace xoprex::scan_detail
