#include "scan/detail/scan_loops.h"

#include "base/errors.h"

namespace xoprex::scan_detail {

void ProgressTicker::advance(size_t windows) {
    const std::lock_guard<std::mutex> lock(mutex_);
    done_ += static_cast<double>(windows);
    if (control_.cancel != nullptr && control_.cancel->load(std::memory_order_relaxed)) {
        throw SearchCancelled();
    }
    if (control_.onProgress) {
        control_.onProgress(std::min(1.0, done_ / total_));
    }
}

}  // namespace xoprex::scan_detail
