// The scan of one record: both strands with the cut-off test and the
// redundancy rule, and in integrative mode the neighbourhood (integrative.h).
// The other steps of a record have their own headers: sort.h (the order of
// the hits), annotation.h (their classes against the genes). The inside of
// the scan lives in detail/:
//   strand_scan.h                   the two passes, on one thread or several
//   scan_frame.h, scan_loops.h      what both share; the loops over a strand
//   strand_text.h                   a strand as read, with its wrap
//   hit_keeper.h, redundancy.h      the cut-off test and the partner rule
//   hit_order.h                     the sort's keys, shared with the keeper
//   window_kernel.h, simd.h         exact block scoring and the filter
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
    // (nothing re-scores them in between): the scan makes the hits of a list
    // that was empty in that order already, which saves moving every hit.
    const Options* sortedFor = nullptr;
    // Leaves the record's text as it was (no wrap, forwardStrand unchanged)
    // instead of turning it into the reverse strand, so that the record can
    // be scanned again (with another collection) or simply let go; the
    // working hit is then left reset. The hits are the same.
    bool keepText = false;
    // Whether every byte of the record's text has a complement, when the
    // caller knows it already (one text scanned with several collections).
    const bool* complementable = nullptr;
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

}  // namespace xoprex
