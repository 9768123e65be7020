// The run's hits as the desktop reads them back: the TSV results (one row
// per hit, columns found by their header names (report/result_schema.h), so
// that columns added later or missing p- and q-values do no harm). Pure: no
// widgets.
#pragma once

#include <cstdint>
#include <istream>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "report/result_schema.h"

namespace xoprex::ui {

// A piece of a row's line.
struct TextSpan {
    uint32_t offset = 0;
    uint32_t size = 0;
};

struct HitRow {
    std::string line;    // the row as the file holds it, without its line end
    int32_t record = 0;  // index into HitTable::records
    int64_t start = 0;   // 1-based, inclusive, forward strand
    int64_t end = 0;
    bool forward = true;
    double score = 0.0;
    double pValue = std::numeric_limits<double>::quiet_NaN();  // NaN: not in the file
    double qValue = std::numeric_limits<double>::quiet_NaN();
    int64_t distance = 0;
    TextSpan site, type, geneTag, gene, product;

    std::string_view text(TextSpan span) const {
        return std::string_view(line).substr(span.offset, span.size);
    }
    // The gene's name, or its tag when it has no name.
    std::string_view nearestGene() const { return gene.size > 0 ? text(gene) : text(geneTag); }
};

struct HitTable {
    std::vector<std::string> comments;  // the '#' lines, as written
    std::string header;                 // the header row
    std::vector<std::string> records;   // record names in order of first hit
    std::vector<HitRow> rows;
    bool hasPValues = false;
    bool hasQValues = false;
};

// Reads the TSV results. Lines before the header that start with '#' are
// comments; a table without the columns record, start, end, strand and
// score gives no rows. Fields that are not numbers read as 0 (NaN for p-
// and q-values).
HitTable parseHitTable(std::istream& in);

// The summary figures of a results table (report/result_schema.h).
using xoprex::ResultsSummary;

}  // namespace xoprex::ui
