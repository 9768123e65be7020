// Genome scan entry points used by the run: strand scan with the cut-off test
// and the redundancy rule, integrative neighbourhood, sort and annotation.
// The helpers' own headers in this folder describe each step:
//   strand_scan.h        the two passes (wrap, positions, cut-off test)
//   window_kernel.h      exact block scoring and the conservative filter
//   redundancy.h         the partner rule and its index
//   reverse_complement.h the complement table
//   integrative.h        the neighbourhood and its running means
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "base/records.h"
#include "motif/site_collection.h"
#include "options/options.h"
#include "seqio/sequence.h"

namespace xoprex {

class IntegrativeWindow;

struct ScanControl {
    std::function<void(double)> onProgress;  // share of this record's windows, 0..1
    const std::atomic<bool>* cancel = nullptr;
    // Threads for this record (at least 1). With more than one, the strands
    // and chunks of a strand are scored in parallel and the kept windows are
    // handed to the cut-off and redundancy steps in the sequential order, so
    // the hits are the same whatever the count. onProgress is then called
    // from the scanning threads, one call at a time, with growing shares.
    unsigned threads = 1;
    // When the hits go to sortHits with these options right after the scan
    // (nothing re-scores them in between): the scan hands a list that was
    // empty over in that order already, which saves moving every record.
    const Options* sortedFor = nullptr;
};

// Capacity hint for the record's hits: trunc(4 * N / 2^RE), capped at N and
// at 65536 entries (the scan grows the list to its exact size itself).
void reserveHitCapacity(SequenceRecord& record, const MotifModel& model);

// Both strand passes over the circular record: hits that pass the cut-off
// (relaxed, with the neighbourhood, in integrative mode) are kept in
// record.hits, with the redundancy rule when option 8 is on. Window i of a
// strand of N characters has position i on the forward pass, N - i on the
// reverse pass. Leaves the record's text reverse-complemented with its wrap
// characters. A strand shorter than L (or than h + 1 in integrative mode)
// yields no windows. Progress goes to control.onProgress every 65536
// windows; SearchCancelled (base/errors.h) is thrown when *control.cancel
// is true at such a point.
//
// `cache`, when given, keeps the record's term table and kernel for the next
// record scanned with it (rebuilt when the method, collection or background
// differs). One cache serves one thread.
class ScanCache {
  public:
    ScanCache();
    ~ScanCache();
    ScanCache(const ScanCache&) = delete;
    ScanCache& operator=(const ScanCache&) = delete;
    ScanCache(ScanCache&&) = default;
    struct Entry;

  private:
    friend void scanRecord(SequenceRecord&, const SiteCollection&, const Options&, SiteHit&,
                           IntegrativeWindow&, const ScanControl&, ScanCache*);
    std::unique_ptr<Entry> entry_;
};

void scanRecord(SequenceRecord& record, const SiteCollection& collection, const Options& options,
                SiteHit& workingHit, IntegrativeWindow& window, const ScanControl& control = {},
                ScanCache* cache = nullptr);

void shrinkHitList(SequenceRecord& record);

// Sorts by score (best first; NaN scores last) or by unsigned position
// (option 7). Stable, so equal keys keep their list order.
void sortHits(const Options& options, SequenceRecord& record);

// Classes hits against the record's genes (GenBank), or sets the
// "Unavailable" placeholders (FASTA records, GenBank records without genes).
void annotateHits(SequenceRecord& record, const Options& options);

// Integrative mode. relaxCutOff moves the cut-off by the relaxation R so that
// more windows pass: times R for methods 2 and 3, divided by R otherwise; a
// negative cut-off takes the other operation (dividing it by R would make it
// stricter). rescoreHits multiplies each score by upMean over the chosen
// reference (global mean, local mean or down mean; the reciprocal when both
// are negative).
void relaxCutOff(Options& options);
void rescoreHits(SequenceRecord& record, const Options& options);

}  // namespace xoprex
