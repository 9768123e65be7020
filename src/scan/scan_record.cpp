// The scan of one record through the record's term table: every window is
// scored by adding its terms in position order, many windows at a time
// (WindowKernel), with results identical to one window at a time, on
// control.threads threads. Within a run the table depends only on the
// record's background, so a ScanCache reuses the table and kernel of the
// previous record when the background is the same (every record of a
// many-record target has the default one).
#include <array>
#include <memory>

#include "motif/scoring.h"
#include "scan/parallel_scan.h"
#include "scan/scan.h"
#include "scan/window_kernel.h"

namespace xoprex {

struct ScanCache::Entry {
    int method = 0;
    const SiteCollection* collection = nullptr;
    std::array<double, 4> frequencies{};
    double entropy = 0.0;
    TermTable table;
    std::unique_ptr<WindowKernel> kernel;

    bool matches(int m, const SiteCollection& c, const SequenceRecord& record) const {
        return method == m && collection == &c && frequencies == record.backgroundFrequencies &&
               entropy == record.backgroundEntropy;
    }
};

ScanCache::ScanCache() = default;
ScanCache::~ScanCache() = default;

namespace {

const WindowKernel& kernelFor(ScanCache::Entry& entry, int method, const SiteCollection& collection,
                              const SequenceRecord& record) {
    if (entry.kernel == nullptr || !entry.matches(method, collection, record)) {
        entry.kernel.reset();
        entry.method = method;
        entry.collection = &collection;
        entry.frequencies = record.backgroundFrequencies;
        entry.entropy = record.backgroundEntropy;
        entry.table = TermTable(method, collection, record);
        entry.kernel = std::make_unique<WindowKernel>(entry.table);
    }
    return *entry.kernel;
}

}  // namespace

void scanRecord(SequenceRecord& record, const SiteCollection& collection, const Options& options,
                SiteHit& workingHit, IntegrativeWindow& window, const ScanControl& control,
                ScanCache* cache) {
    ScanCache local;
    ScanCache& use = cache != nullptr ? *cache : local;
    if (use.entry_ == nullptr) {
        use.entry_ = std::make_unique<ScanCache::Entry>();
    }
    const WindowKernel& kernel = kernelFor(*use.entry_, options.method, collection, record);
    scanRecordThreaded(record, use.entry_->table.siteLength(), kernel, options, workingHit, window,
                       control);
}

}  // namespace xoprex
