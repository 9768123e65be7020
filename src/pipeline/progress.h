// Progress of a search's record loop, in input bytes: a record's share of its
// windows (summed over the collections that scan it) moves the progress over
// the record's bytes. Reported through SearchControl only when it grows, one
// call at a time (a record may be scanned on several threads); each report
// also lets the run log flush lines it holds back. Nothing here fails.
#pragma once

#include <cstddef>
#include <mutex>

#include "base/run_log.h"
#include "pipeline/run_search.h"

namespace xoprex {

class LoopProgress {
  public:
    LoopProgress(const SearchControl& control, size_t total, RunLog& log)
        : control_(control), total_(static_cast<double>(total)), log_(log) {}
    // The record now scanned lies at bytes from .. to of the input.
    void startRecord(size_t from, size_t to);
    // The share (0..1) of the record's scans done.
    void report(double share);
    // A record is done, with its hits (of every collection).
    void recordDone(size_t hits);

  private:
    void reportFigures();

    const SearchControl& control_;
    double total_;
    double from_ = 0.0;
    double span_ = 0.0;
    double last_ = -1.0;
    double lastBytes_ = 0.0;
    size_t records_ = 0;
    size_t hits_ = 0;
    std::mutex mutex_;
    RunLog& log_;
};

}  // namespace xoprex
