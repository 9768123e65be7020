#include "pipeline/progress.h"

#include <algorithm>

namespace xoprex {

void LoopProgress::startRecord(size_t from, size_t to) {
    const std::lock_guard<std::mutex> lock(mutex_);
    from_ = static_cast<double>(from);
    span_ = static_cast<double>(to - from);
}

void LoopProgress::report(double share) {
    log_.flushIfStale();
    if (!control_.onProgress && !control_.onFigures) {
        return;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    const double at = from_ + share * span_;
    if (control_.onProgress && total_ > 0.0) {
        const double value = std::min(1.0, at / total_);
        if (value > last_) {
            last_ = value;
            control_.onProgress(value);
        }
    }
    if (control_.onFigures && at > lastBytes_) {
        lastBytes_ = at;
        reportFigures();
    }
}

void LoopProgress::recordDone(size_t hits) {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++records_;
    hits_ += hits;
    if (control_.onFigures) {
        reportFigures();
    }
}

void LoopProgress::reportFigures() {
    control_.onFigures(
        {static_cast<size_t>(lastBytes_), static_cast<size_t>(total_), records_, hits_});
}

}  // namespace xoprex
