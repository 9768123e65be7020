// The scan of one record through the record's term table: the table is
// built once per record (with that record's background) and every window is
// scored by adding its terms in position order.
#include "motif/scoring.h"
#include "scan/scan.h"
#include "scan/strand_scan.h"

namespace xoprex {

void scanRecord(SequenceRecord& record, const SiteCollection& collection, const Options& options,
                SiteHit& workingHit, IntegrativeWindow& window, const ScanControl& control) {
    const TermTable table(options.method, collection, record);
    const auto scorer = [&table](const char* text) { return table.score(text); };
    scanRecordWith(record, collection.siteLength, scorer, options, workingHit, window, control);
}

}  // namespace xoprex
