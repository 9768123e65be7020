// Genome scan entry points used by the run: strand scan with the cut-off test
// and the redundancy rule, integrative neighbourhood, sort and annotation.
// The helpers' own headers in this folder describe each step.
#pragma once

#include <atomic>
#include <functional>

#include "motif/site_collection.h"
#include "options/options.h"
#include "run/records.h"
#include "seqio/sequence.h"

namespace xoprex {

class IntegrativeWindow;

struct ScanControl {
    std::function<void(double)> onProgress;  // share of this record's windows, 0..1
    const std::atomic<bool>* cancel = nullptr;
};

// Capacity hint for the record's hits: trunc(4 * N / 2^RE), capped.
void reserveHitCapacity(SequenceRecord& record, const MotifModel& model);

// Both strand passes over the circular record: hits that pass the cut-off
// (relaxed, with the neighbourhood, in integrative mode) are kept in
// record.hits, with the redundancy rule when option 8 is on. Leaves the
// record's text reverse-complemented with its wrap characters.
void scanRecord(SequenceRecord& record, const SiteCollection& collection, const Options& options,
                SiteHit& workingHit, IntegrativeWindow& window, const ScanControl& control = {});

void shrinkHitList(SequenceRecord& record);

// Sorts by score (best first) or by unsigned position (option 7).
void sortHits(const Options& options, SequenceRecord& record);

// Classes hits against the record's genes (GenBank) or sets placeholders.
void annotateHits(SequenceRecord& record, const Options& options);

// Integrative mode.
void relaxCutOff(Options& options);
void rescoreHits(SequenceRecord& record, const Options& options);

}  // namespace xoprex
