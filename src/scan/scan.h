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

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

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
    // Windows holding a letter other than A, C, G and T are neither hits nor
    // counted among the windows scored (in integrative mode their scores
    // still take part in their neighbours' means).
    bool skipAmbiguous = false;
};

// Capacity hint for the hits of a text of `textLength` characters:
// trunc(4 * N / 2^RE), capped at N and at 65536 entries (the scan grows the
// list to its exact size itself).
void reserveHitCapacity(RecordHits& out, size_t textLength, const MotifModel& model);

// Keeps a record's term table and kernel for the next record scanned with it
// (rebuilt when the method, collection or background differs). One cache
// serves one thread.
class ScanCache {
  public:
    ScanCache();
    ~ScanCache();
    ScanCache(const ScanCache&) = delete;
    ScanCache& operator=(const ScanCache&) = delete;
    ScanCache(ScanCache&&) = default;
    // What it keeps (defined by the scan), made on first use.
    struct Entry;
    Entry& entry();

  private:
    std::unique_ptr<Entry> entry_;
};

// Both strand passes over the circular record, whose text is only read:
// windows that pass the cut-off (relaxed, with the neighbourhood, in
// integrative mode) are appended to out.hits in window order, strand after
// strand, with the redundancy rule when option 8 is on (partners may be hits
// the list held before); out.windowsScored grows by the windows scored. Window
// i of a strand of N characters has position i on the forward pass, N - i on
// the reverse pass. A strand shorter than L (or than h + 1 in integrative
// mode) yields no windows. After the scan `window` holds the reverse pass's
// global sum. Progress goes to control.onProgress every 65536 windows;
// SearchCancelled (base/errors.h) is thrown when *control.cancel is true at
// such a point.
void scanRecord(const SequenceRecord& record, const SiteCollection& collection,
                const Options& options, IntegrativeWindow& window, RecordHits& out,
                const ScanControl& control = {}, ScanCache* cache = nullptr);

// Gives the list back the room it holds beyond its hits.
void shrinkHitList(RecordHits& hits);

// The hits of a record with one collection in the results' order: the scan
// into an empty `out`, then, in integrative mode, the global mean and the
// re-scoring (integrative.h), and the sort (sort.h). Annotating them against
// the record's genes (annotation.h) is the last step of a record.
void findHits(const SequenceRecord& record, const SiteCollection& collection,
              const Options& options, IntegrativeWindow& window, RecordHits& out,
              const ScanControl& control = {}, ScanCache* cache = nullptr);

// One collection's part of a scan of a record with several (findHitsOfEach):
// what findHits takes for it.
struct CollectionScan {
    const SiteCollection* collection = nullptr;
    const Options* options = nullptr;
    IntegrativeWindow* window = nullptr;
    RecordHits* out = nullptr;
    ScanCache* cache = nullptr;  // may be null
};

// The hits of a record with several collections at once: each scan's `out`
// (and window) as findHits gives them for its collection alone. The plain
// scans (not integrative) into empty lists of a record whose every byte has a
// complement share one pass over its text: each piece of it is read, and
// classified once for the collections whose letter classes agree, then
// filtered by each collection in turn; the other scans run one after the
// other. control.onProgress follows the share of all the scans' windows.
void findHitsOfEach(const SequenceRecord& record, const std::vector<CollectionScan>& scans,
                    const ScanControl& control = {});

// What the results need of a record once its text is let go (RecordInfo):
// its names (a record without a name is called "record_N", N its number
// from 1: `index` + 1), length, background, and the bytes of its text that
// have no complement.
RecordInfo recordInfo(const SequenceRecord& record, size_t index = 0);

// The numbers of A, C, G and T (upper case) in text[0..n).
std::array<size_t, 4> countBases(const char* text, size_t n);

}  // namespace xoprex
