// Helpers shared by the scan tests: records, options and simple scorers.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/records.h"
#include "motif/site_collection.h"
#include "options/options.h"
#include "scan/detail/redundancy.h"
#include "scan/detail/strand_scan.h"
#include "scan/integrative.h"
#include "scan/scan.h"
#include "seqio/sequence.h"

namespace xoprex::testing {

using namespace scan_detail;

inline SequenceRecord makeRecord(const std::string& text, char format = 'F') {
    SequenceRecord record;
    record.format = format;
    record.sequence = text;
    return record;
}

// The hits of one scan of the record.
inline RecordHits scanned(const SequenceRecord& record, const SiteCollection& collection,
                          const Options& options, IntegrativeWindow& window,
                          const ScanControl& control = {}) {
    RecordHits found;
    scanRecord(record, collection, options, window, found, control);
    return found;
}

inline Options plainOptions(int method, double cutOff) {
    Options options;
    options.method = method;
    options.cutOff = cutOff;
    options.removeRedundant = false;
    options.integrative = false;
    return options;
}

// Scores listed windows by their text; every other window scores `other`.
struct TableScorer {
    int length;
    std::map<std::string, double> scores;
    double other = 0.0;
    double operator()(const char* window) const {
        const auto found = scores.find(std::string(window, static_cast<size_t>(length)));
        return found == scores.end() ? other : found->second;
    }
};

// The window at `start` of a circular strand.
inline std::string circularWindow(const std::string& strand, size_t start, size_t length) {
    std::string window;
    for (size_t k = 0; k < length; ++k) {
        window += strand[(start + k) % strand.size()];
    }
    return window;
}

// The cut-off test and the redundancy rule as a plain list walk: a passing
// hit replaces its partner when it scores better, is dropped when it does
// not, and is appended when it has none.
inline void keepLiterally(std::vector<SiteHit>& hits, const SiteHit& hit, const Options& options,
                          bool lower) {
    if (!passesCutOff(hit.score, options.cutOff, lower)) {
        return;
    }
    const size_t partner = options.removeRedundant ? findPartnerByWalk(hits, hit) : kNoPartner;
    if (partner == kNoPartner) {
        hits.push_back(hit);
    } else if (lower ? hit.score < hits[partner].score : hit.score > hits[partner].score) {
        hits[partner] = hit;
    }
}

}  // namespace xoprex::testing
