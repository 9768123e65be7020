// The scan of one record through the record's term table: the table is
// built once per record (with that record's background) and every window is
// scored by adding its terms in position order, many windows at a time
// (WindowKernel), with results identical to one window at a time, on
// control.threads threads.
#include "motif/scoring.h"
#include "scan/parallel_scan.h"
#include "scan/scan.h"
#include "scan/window_kernel.h"

namespace xoprex {

void scanRecord(SequenceRecord& record, const SiteCollection& collection, const Options& options,
                SiteHit& workingHit, IntegrativeWindow& window, const ScanControl& control) {
    const TermTable table(options.method, collection, record);
    const WindowKernel kernel(table);
    scanRecordThreaded(record, table.siteLength(), kernel, options, workingHit, window, control);
}

}  // namespace xoprex
