// The scan of one record through the record's term table: every window is
// scored by adding its terms in position order, many windows at a time
// (WindowKernel), with results identical to one window at a time, on
// control.threads threads. Within a run the table depends only on the
// record's background, so a ScanCache reuses the table and kernel of the
// previous record when the background is the same (every record of a
// many-record target has the default one).
#include "scan/scan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <memory>

#include "motif/scoring.h"
#include "scan/detail/strand_scan.h"
#include "scan/detail/window_kernel.h"

namespace xoprex {

void reserveHitCapacity(SequenceRecord& record, const MotifModel& model) {
    // Four times the expected number of chance matches, N / 2^RE. Only a
    // hint (the scan grows the list to its exact size itself), so it is
    // capped at N and at kMaxReservedHits, and skipped when it is not a
    // usable number.
    const double n = static_cast<double>(record.sequence.size());
    const double expected = std::trunc(
        4.0 * std::exp(std::log(2.0) * (std::log10(n) / kLambda - model.totalRelativeEntropy)));
    if (!(expected >= 1.0)) {
        return;
    }
    constexpr double kMaxReservedHits = 65536.0;
    const size_t wanted = static_cast<size_t>(std::min({expected, n, kMaxReservedHits}));
    if (record.hits.capacity() < wanted) {
        record.hits.reserve(wanted);
    }
}

void shrinkHitList(SequenceRecord& record) {
    if (record.hits.capacity() == record.hits.size()) {
        return;  // already exact
    }
    std::vector<SiteHit> exact;
    exact.reserve(record.hits.size());
    std::move(record.hits.begin(), record.hits.end(), std::back_inserter(exact));
    record.hits.swap(exact);
}

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
    scanRecordWith(record, use.entry_->table.siteLength(), kernel, options, workingHit, window,
                   control);
}

}  // namespace xoprex
